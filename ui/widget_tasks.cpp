#include "ui/widget.h"

#include "ui/tasks/taskpane.h"

#include <QDropEvent>

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

void Widget::dragEnterEvent(QDragEnterEvent *event)
{
    if (TaskIntake::carriesLocalFiles(event->mimeData()))
        event->acceptProposedAction();
}

void Widget::dragMoveEvent(QDragMoveEvent *event)
{
    if (TaskIntake::carriesLocalFiles(event->mimeData()))
        event->acceptProposedAction();
}

void Widget::dropEvent(QDropEvent *event)
{
    if (!TaskIntake::carriesLocalFiles(event->mimeData()))
        return;
    event->acceptProposedAction();
    taskPane->addTaskFiles(TaskIntake::droppedPaths(event->mimeData()), TaskIntake::Origin::Drop);
}
