#pragma once

#include <QLabel>
#include <QString>
#include <QStringList>

class MyListWidget;
class QListWidgetItem;
class QPushButton;

// The left panel: the page buttons "音频文件" and "文本文档" and the two file lists behind them, with
// the full paths behind their items (paired by file name) and the list operations. It asks for tasks,
// documents and renames elsewhere by signals; the files and folders of the lists are its own.
class LibraryPane : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(LibraryPane)

public:
    // dataDir holds the working folders; the lists are filled from them at once.
    LibraryPane(const QString &dataDir, QWidget *parent);

    QPushButton *const wavBtn; // page button showing wavList
    QPushButton *const addWavBtn; // puts the selected recordings on the task list
    QPushButton *const txtBtn; // page button showing wordList
    MyListWidget *const wavList;
    MyListWidget *const wordList;

    QStringList &libraryPaths(const QString &kind); // kind "wav" or "word"
    MyListWidget *libraryList(const QString &kind);
    // The first path of the kind whose file name is name exactly, or empty.
    QString locate(const QString &kind, const QString &name);
    // Appends path to the library list of kind ("wav" or "word") and its file name to the list widget.
    void appendLibraryFile(const QString &kind, const QString &path);
    void makeFolders(); // myWordFiles, myWAVFiles, myTmpWAVFiles under the data folder
    void loadWavList();
    void loadWordList();
    void showWavPage(bool checked);
    void showTxtPage(bool checked);
    void addSelectedRecordings(); // addWavBtn
    void delFile(const QString &kind, const QString &name);
    void saveFileAs(const QString &kind, const QString &name);
    void renameFile(const QString &kind, const QString &name);
    bool hasTimings(const QString &documentName); // a readable timing record that describes the document
    // Writes the document's cues as SubRip or WebVTT where a save dialog says.
    void exportSubtitles(const QString &documentName);

signals:
    void tasksRequested(const QStringList &paths); // the selected recordings, for the task list
    void documentOpenRequested(QListWidgetItem *item);
    void recordingRemoved(const QString &path);
    void recordingRenamed(const QString &oldPath, const QString &newPath);
    void documentRemoved(const QString &path);
    void documentRenamed(const QString &oldPath, const QString &newPath);

private:
    const QString dataDir;
    QStringList wavFiles; // full paths behind wavList, paired with its items by file name
    QStringList wordFiles; // full paths behind wordList, paired with its items by file name
};
