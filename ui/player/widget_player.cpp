#include "ui/widget.h"

#include "library/librarypaths.h"
#include "media/clocktext.h"
#include "media/playerstate.h"
#include "ui/notice.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <phonon/MediaSource>

namespace {
// A backend that cannot load a source goes back to stopped without an error; a valid one passes
// through stopped on its way to playing within milliseconds.
constexpr int playCheckMs = 1500;
} // namespace

void Widget::createPlayer()
{
    audioPath = Phonon::createPath(&mediaObject, &audioOutput);
    connect(&mediaObject, &Phonon::MediaObject::totalTimeChanged, this, &Widget::updateCurrentTime);
    connect(&mediaObject, &Phonon::MediaObject::tick, this, &Widget::updateCurrentTime);
    connect(&mediaObject, &Phonon::MediaObject::finished, this, &Widget::playend);
    connect(&mediaObject, &Phonon::MediaObject::stateChanged, this, &Widget::onPlayerStateChanged);
    // The back end's streaming thread waits, for up to the rest of the file, for a next source once it
    // has read a file to its end; a seek meanwhile (the slider, a word, a skip) blocks the window until
    // then. Asking again for playing ends that wait: we never queue a next source.
    connect(&mediaObject, &Phonon::MediaObject::aboutToFinish, this, [this] {
        if (mediaObject.state() == Phonon::PlayingState)
            mediaObject.play();
    });
    playCheckTimer = new QTimer(this);
    playCheckTimer->setSingleShot(true);
    playCheckTimer->setInterval(playCheckMs);
    connect(playCheckTimer, &QTimer::timeout, this, &Widget::checkPlayback);
    connect(&mediaObject, &Phonon::MediaObject::tick, this, [this](qint64 current) {
        if (playbackWanted && current >= mediaObject.totalTime() && mediaObject.totalTime() > 0
            && !playCheckTimer->isActive())
            playCheckTimer->start();
    });
}

void Widget::onPlayerStateChanged(Phonon::State newState)
{
    if (newState == Phonon::PlayingState || newState == Phonon::PausedState)
        playReached = true;
    if (!playbackWanted)
        return;
    if (newState == Phonon::ErrorState)
        checkPlayback();
    else if (newState == Phonon::StoppedState)
        playCheckTimer->start();
}

void Widget::checkPlayback()
{
    playCheckTimer->stop();
    if (!playbackWanted)
        return;
    const Phonon::State state = mediaObject.state();
    const bool stopped = state == Phonon::StoppedState || state == Phonon::ErrorState;
    switch (PlayerState::verdict(stopped, playReached, mediaObject.currentTime(), mediaObject.totalTime())) {
    case PlayerState::Verdict::Playing:
        return;
    case PlayerState::Verdict::Ended:
        playend();
        return;
    case PlayerState::Verdict::NotPlayable:
        playend();
        Notice::information(
            this, tr("无法播放“%1”：文件为空、已损坏或格式不受支持！").arg(LibraryPaths::fileName(playFilePath)));
        return;
    }
}

void Widget::showPlayButton(bool play)
{
    // Exactly one of the two shares the place: pause while playback is asked for, play otherwise.
    pauseBtn->setVisible(!play);
    playBtn->setVisible(play);
}

void Widget::slotOpenWav()
{
    if (runActive())
        return;
    taskFiles.clear();
    audioCombo->clear();
}

void Widget::slotAudioChanged(QString text)
{
    if (text == playFilePath)
        return;
    playStarted = false;
    playbackWanted = false;
    playerOnDocument = false;
    if (playBtn->isHidden())
        showPlayButton(true);
    mediaObject.stop();
    updateSpokenWord();
}

void Widget::slotPlay()
{
    // A loaded source resumes whatever the task list holds now: the view may have given it.
    if (taskFiles.isEmpty() && !playStarted)
        return;
    if (playStarted) {
        if (PlayerState::resumeFromStart(mediaObject.totalTime(), mediaObject.currentTime()))
            mediaObject.seek(0);
        mediaObject.play();
    } else {
        const QString task = selectedTask();
        // Playing some other file than the one selected would mislead; with no match there is nothing to play.
        if (task.isEmpty())
            return;
        const QString refusal = playRefusal(task);
        if (!refusal.isEmpty()) {
            playFilePath = task;
            Notice::information(this, refusal);
            return;
        }
        playerOnDocument = false;
        loadAndPlay(task);
    }
    playbackWanted = true;
    showPlayButton(false);
}

QString Widget::playRefusal(const QString &path) const
{
    // Checked before the backend sees it: opening a named pipe would hang the window, and a
    // missing or empty file would only leave the player silent.
    QString refusal = LibraryPaths::unreadableReason(path, LibraryPaths::fileName(path));
    if (refusal.isEmpty() && QFileInfo(path).size() == 0)
        refusal = tr("无法播放“%1”：文件为空！").arg(LibraryPaths::fileName(path));
    return refusal;
}

void Widget::loadAndPlay(const QString &path)
{
    playFilePath = path;
    playReached = false;
    mediaObject.setCurrentSource(Phonon::MediaSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())));
    mediaObject.play();
    playStarted = true;
}

void Widget::slotForward()
{
    playbackWanted = false;
    mediaObject.stop();
    showPlayButton(true);
}

void Widget::slotPause()
{
    playbackWanted = false;
    showPlayButton(true);
    if (mediaObject.state() == Phonon::PlayingState)
        mediaObject.pause();
}

void Widget::updateCurrentTime()
{
    playTimeLabel->setText(ClockText::playTime(mediaObject.currentTime(), mediaObject.totalTime()));
}

void Widget::playend()
{
    playbackWanted = false;
    showPlayButton(true);
    playStarted = false;
    mediaObject.stop();
}
