#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class VoiceAdaptation;

// "适应我的声音": adapts the recogniser to the user's voice from their corrected documents, in the
// background with a progress bar that can be cancelled; names the adaptation in force and takes it back
// to the model as it ships. Not modal: the window goes on working meanwhile.
class VoiceAdaptationDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(VoiceAdaptationDialog)

public:
    // documents: the text documents to learn from, asked for when a run starts.
    VoiceAdaptationDialog(const QString &dataDir, std::function<QStringList()> documents, QWidget *parent = nullptr);

    VoiceAdaptation *adaptation() const { return job; }
    QPushButton *const adaptBtn;
    QPushButton *const cancelBtn;
    QPushButton *const resetBtn;
    QProgressBar *const progressBar;
    QLabel *const profileLabel; // the adaptation in force
    QLabel *const messageLabel; // how the last run or removal went

private:
    void start();
    void reset();
    void showProfile();
    void setRunning(bool running);

    const QString dataDir;
    std::function<QStringList()> documents;
    VoiceAdaptation *const job;
};
