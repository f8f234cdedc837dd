#include "ui/widget.h"

#include "media/clocktext.h"
#include "media/playerstate.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include <phonon/MediaSource>

namespace {
// Exactly one of the two shares the place: pause while playback is asked for, play otherwise.
void showPlayButton(Widget *window, bool play)
{
    window->pauseBtn->setVisible(!play);
    window->playBtn->setVisible(play);
}
} // namespace

void Widget::createPlayer()
{
    audioPath = Phonon::createPath(&mediaObject, &audioOutput);
    connect(&mediaObject, &Phonon::MediaObject::totalTimeChanged, this, &Widget::updateCurrentTime);
    connect(&mediaObject, &Phonon::MediaObject::tick, this, &Widget::updateCurrentTime);
    connect(&mediaObject, &Phonon::MediaObject::finished, this, &Widget::playend);
}

void Widget::slotOpenWav()
{
    taskFiles.clear();
    audioCombo->clear();
}

void Widget::slotAudioChanged(QString text)
{
    if (text == playFilePath)
        return;
    playStarted = false;
    if (playBtn->isHidden())
        showPlayButton(this, true);
    mediaObject.stop();
}

void Widget::slotPlay()
{
    if (taskFiles.isEmpty())
        return;
    if (playStarted) {
        if (PlayerState::resumeFromStart(mediaObject.totalTime(), mediaObject.currentTime()))
            mediaObject.seek(0);
        mediaObject.play();
    } else {
        const int index = PlayerState::selectedTaskIndex(taskFiles, audioCombo->currentText());
        // Playing some other file than the one selected would mislead; with no match there is nothing to play.
        if (index < 0)
            return;
        playFilePath = taskFiles.at(index);
        mediaObject.setCurrentSource(
            Phonon::MediaSource(QUrl::fromLocalFile(QFileInfo(playFilePath).absoluteFilePath())));
        mediaObject.play();
        playStarted = true;
    }
    showPlayButton(this, false);
}

void Widget::slotForward()
{
    mediaObject.stop();
    showPlayButton(this, true);
}

void Widget::slotPause()
{
    showPlayButton(this, true);
    if (mediaObject.state() == Phonon::PlayingState)
        mediaObject.pause();
}

void Widget::updateCurrentTime()
{
    playTimeLabel->setText(ClockText::playTime(mediaObject.currentTime(), mediaObject.totalTime()));
}

void Widget::playend()
{
    showPlayButton(this, true);
    playStarted = false;
    mediaObject.stop();
}
