#include "ui/widget.h"

#include "app/appstate.h"
#include "library/filedialogfilter.h"
#include "library/librarypaths.h"
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

QString Widget::addTask(const QString &path)
{
    // A named pipe as a task would hang whoever opens it: the player, the transcoder.
    const QString refusal = LibraryPaths::unreadableReason(path, path);
    if (!refusal.isEmpty())
        return refusal;
    if (LibraryPaths::addTask(taskFiles, path))
        insertTaskEntry(audioCombo->count(), path);
    return QString();
}

void Widget::insertTaskEntry(int index, const QString &task)
{
    audioCombo->insertItem(index, LibraryPaths::fileName(task));
    audioCombo->setItemData(index, task, taskPathRole);
}

QString Widget::selectedTask() const
{
    const int index = audioCombo->currentIndex();
    const int task = LibraryPaths::entryTask(
        taskFiles, audioCombo->itemData(index, taskPathRole).toString(), audioCombo->itemText(index));
    return taskFiles.value(task);
}

int Widget::taskEntry(const QString &task) const
{
    QStringList paths;
    QStringList names;
    for (int i = 0; i < audioCombo->count(); ++i) {
        paths << audioCombo->itemData(i, taskPathRole).toString();
        names << audioCombo->itemText(i);
    }
    return LibraryPaths::taskEntry(paths, names, task);
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
        insertTaskEntry(entry, newPath);
    }
}

void Widget::slotLoadWav()
{
    const QStringList chosen
        = Notice::getOpenFileNames(nullptr, tr("打开"), QString(), FileDialogFilter::openFilesFilter());
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
        parts << tr("以下文件不是音频或视频文件，未添加到任务：\n") + sorted.refused.join(QLatin1Char('\n'));
    if (!refusals.isEmpty())
        parts << tr("以下文件未添加到任务：\n") + refusals.join(QLatin1Char('\n'));
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
