#include "ui/widget.h"

#include "ui/player/playerpane.h"
#include "ui/tasks/taskpane.h"

void Widget::connectPlayer()
{
    connect(playerPane, &PlayerPane::playRequested, this, &Widget::slotPlay);
}

void Widget::slotOpenWav()
{
    taskPane->clearTasks();
}

void Widget::slotAudioChanged(QString text)
{
    if (text == playFilePath)
        return;
    playerOnDocument = false;
    playerPane->reset();
    updateSpokenWord();
}

void Widget::slotPlay()
{
    // A loaded source resumes whatever the task list holds now: the view may have given it.
    if (taskFiles.isEmpty() && !playStarted)
        return;
    if (playStarted) {
        playerPane->resume();
        return;
    }
    const QString task = taskPane->selectedTask();
    // Playing some other file than the one selected would mislead; with no match there is nothing to play.
    if (task.isEmpty())
        return;
    if (playerPane->playRefusal(task).isEmpty())
        playerOnDocument = false;
    playerPane->playTask(task);
}

void Widget::slotForward()
{
    playerPane->stop();
}

void Widget::slotPause()
{
    playerPane->pause();
}

void Widget::updateCurrentTime()
{
    playerPane->updateCurrentTime();
}

void Widget::playend()
{
    playerPane->playend();
}
