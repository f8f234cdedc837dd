#include "ui/widget.h"

#include "app/appstate.h"
#include "library/filedialogfilter.h"
#include "library/librarypaths.h"
#include "library/mylistwidget.h"
#include "ui/notice.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTextEdit>
#include <QUrl>
#include <algorithm>

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
    addTaskFiles(paths, TaskIntake::Origin::Dialog);
}

void Widget::slotLoadWav()
{
    const QStringList chosen
        = Notice::getOpenFileNames(nullptr, QStringLiteral("打开"), QString(), FileDialogFilter::openFilesFilter());
    addTaskFiles(chosen, TaskIntake::Origin::Dialog);
}

void Widget::addTaskFiles(const QStringList &paths, TaskIntake::Origin origin)
{
    // What cannot be a task whatever its name (missing, a pipe, unreadable, an undecodable name) says
    // why; a dropped folder is looked into; the rest follows the suffix rules.
    QStringList refusals;
    QStringList candidates;
    for (const QString &given : paths) {
        const QString path = QDir::fromNativeSeparators(given);
        const QString reason = origin == TaskIntake::Origin::Drop && QFileInfo(path).isDir()
            ? QString()
            : LibraryPaths::unreadableReason(path, path);
        if (reason.isEmpty())
            candidates << path;
        else
            refusals << reason;
    }
    const TaskIntake::Sorted sorted = TaskIntake::sortPaths(candidates, origin);
    for (const QString &path : sorted.tasks) {
        const QString reason = addTask(path);
        if (!reason.isEmpty())
            refusals << reason;
    }
    QStringList parts;
    if (!sorted.refused.isEmpty())
        parts << QStringLiteral("以下文件不是音频或视频文件，未添加到任务：\n")
                + sorted.refused.join(QLatin1Char('\n'));
    if (!refusals.isEmpty())
        parts << QStringLiteral("以下文件未添加到任务：\n") + refusals.join(QLatin1Char('\n'));
    if (!parts.isEmpty())
        Notice::information(this, parts.join(QStringLiteral("\n\n")));
}

namespace {
// The local files and folders a drag carries; other addresses are kept as they are, to be refused.
QStringList droppedPaths(const QMimeData *data)
{
    QStringList paths;
    if (data && data->hasUrls()) {
        for (const QUrl &url : data->urls())
            paths << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    }
    return paths;
}

bool carriesLocalFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}
} // namespace

void Widget::dragEnterEvent(QDragEnterEvent *event)
{
    if (carriesLocalFiles(event->mimeData()))
        event->acceptProposedAction();
}

void Widget::dragMoveEvent(QDragMoveEvent *event)
{
    if (carriesLocalFiles(event->mimeData()))
        event->acceptProposedAction();
}

void Widget::dropEvent(QDropEvent *event)
{
    if (!carriesLocalFiles(event->mimeData()))
        return;
    event->acceptProposedAction();
    addTaskFiles(droppedPaths(event->mimeData()), TaskIntake::Origin::Drop);
}

bool Widget::takeFileDrop(QEvent *event)
{
    // Files dropped on the text view become tasks, not their paths typed into the document.
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!carriesLocalFiles(drag->mimeData()))
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (!carriesLocalFiles(drop->mimeData()))
            return false;
        dropEvent(drop);
        return true;
    }
    default:
        return false;
    }
}
