#pragma once

#include "library/taskintake.h"
#include "pipeline/conversionengine.h"
#include "pipeline/timeleft.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QString>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QPushButton;
class SpeakerChoice;
struct TaskBarLayout;

// The task bar: the task list and its selector, the language and speakers a run uses, the run's
// controls, its progress on the start button and the time it has left. It presents the run of the
// engine it is given; starting a run (which needs the open document), playing the selected task and
// closing the document are asked for by signals.
class TaskPane : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(TaskPane)

public:
    // The bar lies under the record bar across rightPanel; the language and speakers are remembered in
    // the settings file.
    TaskPane(ConversionEngine *engine, const QString &settingsPath, QWidget *rightPanel);

    QPushButton *const uploadBtn; // puts files chosen in a dialog on the task list
    QLineEdit *const taskLineEdit; // audioCombo's read-only line edit with the placeholder
    QComboBox *const audioCombo; // task selector: one entry per task, its file name, its path as data
    QComboBox *const languageBox; // recognition language, remembered between runs; fixed while one runs
    SpeakerChoice *const speakerChoice; // whether and how many speakers a run tells apart, the same way
    QPushButton *const clearListBtn; // empties the task list
    QPushButton *const beginCoverBtn; // starts a conversion; shows its progress as its text
    QPushButton *const stopCoverBtn; // enabled while a conversion runs
    QPushButton *const closeWordBtn; // asks to save the document in the view and hide the view
    QLabel *const timeLeftLabel; // while a run has measured its pace
    QStringList taskFiles; // full paths of the tasks, newest first

    // Each entry of audioCombo carries its task's full path in this role: two tasks may share a name.
    static constexpr int taskPathRole = Qt::UserRole + 1;
    // Puts path at the head of taskFiles and its name at the end of audioCombo, unless already a task.
    // Only a regular file this user may read becomes one: otherwise the reason, naming it.
    QString addTask(const QString &path);
    // Adds what the sorting rules take as tasks; what they refuse, and why, is named in one message.
    void addTaskFiles(const QStringList &paths, TaskIntake::Origin origin);
    void chooseTaskFiles(); // the open dialog's files become tasks
    // A new recording: its entry first and selected, its task at the head of the list.
    void addRecording(const QString &path);
    void insertTaskEntry(int index, const QString &task);
    QString selectedTask() const; // the task of audioCombo's current entry, or empty
    // The index of a task's entry in audioCombo (the entry carrying its path), or -1.
    int taskEntry(const QString &task) const;
    // Takes a task off taskFiles and its entry off audioCombo; nothing when the path is no task.
    void removeTask(const QString &task);
    // A renamed task keeps its place in taskFiles and its entry's place in audioCombo.
    void renameTask(const QString &oldPath, const QString &newPath);
    void clearTasks(); // not while a run takes its tasks from the list

    QString languageCode() const; // the language chosen, as the engine takes it
    // The run begins with the chosen language: the list, language and speakers stay as they are until it ends.
    void startRun();
    void endRun(); // the controls as they are between runs
    // The end's message, naming the file a failure concerns unless the message does.
    void tellRunEnd(const ConversionEngine::RunEnd &end);
    // Progress is the start button's text; every change is announced for those who follow the run.
    void setStartButtonText(const QString &text);
    // A file of the run has segmentsDone of segmentCount recognised: the estimate follows.
    void showTimeLeft(const QString &task, int segmentsDone, int segmentCount);
    void hideTimeLeft(); // the run is over

    // One row, or two on a narrow bar; the bar keeps its place under the record bar.
    void placeIn(const TaskBarLayout &bar);

signals:
    void uploadRequested();
    void clearRequested();
    void startRequested();
    void stopRequested();
    void closeDocumentRequested();
    void selectedTaskChanged(const QString &entryText); // the text of the entry now current
    void startButtonTextChanged(const QString &text);

private:
    void createControls();
    void restoreLanguage();
    void connectEngine();

    ConversionEngine *const engine;
    const QString settingsPath;
    TimeLeftEstimator timeLeft;
    QElapsedTimer runClock;
    QString conversionTask; // the file the run converts, until its document is written: failures name it
};
