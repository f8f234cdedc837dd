#include "ui/widget.h"

#include "ui/tasks/taskpane.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

void Widget::connectTaskBar()
{
    TaskPane *pane = taskPane;
    connect(pane, &TaskPane::uploadRequested, this, &Widget::slotLoadWav);
    connect(pane, &TaskPane::selectedTaskChanged, this, &Widget::slotAudioChanged);
    connect(pane, &TaskPane::clearRequested, this, &Widget::slotOpenWav);
    connect(pane, &TaskPane::startRequested, this, &Widget::slotBeginCover);
    connect(pane, &TaskPane::stopRequested, this, &Widget::slotStopCover);
    connect(pane, &TaskPane::closeDocumentRequested, this, &Widget::slotCloseWord);
    connect(pane, &TaskPane::startButtonTextChanged, this, &Widget::startButtonTextChanged);
}

QString Widget::addTask(const QString &path)
{
    return taskPane->addTask(path);
}

void Widget::removeTask(const QString &task)
{
    taskPane->removeTask(task);
}

void Widget::slotLoadWav()
{
    taskPane->chooseTaskFiles();
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
    taskPane->addTaskFiles(droppedPaths(event->mimeData()), TaskIntake::Origin::Drop);
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
