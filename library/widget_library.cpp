#include "ui/widget.h"

#include "app/appstate.h"
#include "library/filedialogfilter.h"
#include "library/librarypaths.h"
#include "library/mylistwidget.h"
#include "ui/notice.h"

#include <QComboBox>
#include <QDir>
#include <QFile>

QStringList &Widget::libraryPaths(const QString &kind)
{
    return kind == QLatin1String("wav") ? wavFiles : wordFiles;
}

MyListWidget *Widget::libraryList(const QString &kind)
{
    return kind == QLatin1String("wav") ? wavList : wordList;
}

void Widget::appendLibraryFile(const QString &kind, const QString &path)
{
    libraryPaths(kind).append(path);
    libraryList(kind)->addItem(LibraryPaths::fileName(path));
}

QString Widget::addTask(const QString &path)
{
    // A named pipe as a task would hang whoever opens it: the player, the transcoder.
    const QString refusal = LibraryPaths::unreadableReason(path, path);
    if (!refusal.isEmpty())
        return refusal;
    if (LibraryPaths::addTask(taskFiles, path))
        audioCombo->addItem(LibraryPaths::fileName(path));
    return QString();
}

void Widget::addTasks(const QStringList &paths)
{
    QStringList refusals;
    for (const QString &path : paths) {
        const QString refusal = addTask(path);
        if (!refusal.isEmpty())
            refusals << refusal;
    }
    if (!refusals.isEmpty())
        Notice::information(this, QStringLiteral("以下文件未添加到任务：\n") + refusals.join(QLatin1Char('\n')));
}

int Widget::taskEntry(const QString &task) const
{
    // On Linux "a.wav" and "A.wav" are two different files, and two entries.
    return audioCombo->findText(LibraryPaths::fileName(task), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void Widget::removeTask(const QString &task)
{
    // An entry of the same name belongs to another task when this path is none.
    if (!taskFiles.contains(task))
        return;
    const int entry = taskEntry(task);
    if (entry >= 0)
        audioCombo->removeItem(entry);
    taskFiles.removeOne(task);
}

void Widget::renameTask(const QString &oldPath, const QString &newPath)
{
    if (!LibraryPaths::replaceTask(taskFiles, oldPath, newPath))
        return;
    const int entry = taskEntry(oldPath);
    if (entry >= 0) {
        audioCombo->removeItem(entry);
        audioCombo->insertItem(entry, LibraryPaths::fileName(newPath), QVariant());
    }
}

void Widget::makeFolders()
{
    // One level each; a folder that cannot be made shows when something is written into it.
    for (const char *name : {"/myWordFiles", "/myWAVFiles", "/myTmpWAVFiles"}) {
        const QString path = AppState::dataDir + QLatin1String(name);
        if (!QDir(path).exists())
            QDir().mkdir(path);
    }
}

void Widget::loadWavList()
{
    const QStringList paths = LibraryPaths::folderFiles(AppState::dataDir + QStringLiteral("/myWAVFiles"));
    for (const QString &path : paths)
        appendLibraryFile(QStringLiteral("wav"), path);
}

void Widget::loadWordList()
{
    const QStringList paths = LibraryPaths::folderFiles(AppState::dataDir + QStringLiteral("/myWordFiles"));
    // Whatever else the user keeps here stays on disk, unlisted; only the program's own leftovers go.
    for (const QString &path : paths) {
        if (LibraryPaths::isDocument(path))
            appendLibraryFile(QStringLiteral("word"), path);
        else if (LibraryPaths::isUnfinishedWrite(path))
            QFile::remove(path);
    }
}

void Widget::slotAddWav()
{
    const QList<QListWidgetItem *> items = wavList->selectedItems();
    QStringList paths;
    for (const QListWidgetItem *item : items) {
        const QString path = LibraryPaths::locate(wavFiles, item->text());
        if (!path.isEmpty())
            paths << path;
    }
    addTasks(paths);
}

void Widget::slotLoadWav()
{
    const QStringList chosen
        = Notice::getOpenFileNames(nullptr, QStringLiteral("打开"), QString(), FileDialogFilter::openFilesFilter());
    // Only the platform's own separator is turned into "/": on Linux a backslash is part of a name.
    QStringList paths;
    for (const QString &path : chosen)
        paths << QDir::fromNativeSeparators(path);
    addTasks(paths);
}
