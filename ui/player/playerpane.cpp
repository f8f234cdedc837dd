#include "ui/player/playerpane.h"

#include "library/librarypaths.h"
#include "media/clocktext.h"
#include "media/playerstate.h"
#include "ui/controls.h"
#include "ui/notice.h"
#include "ui/theme.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <phonon/MediaSource>
#include <phonon/SeekSlider>

namespace {
// A backend that cannot load a source goes back to stopped without an error; a valid one passes
// through stopped on its way to playing within milliseconds.
constexpr int playCheckMs = 1500;
// Where the pane begins on the record bar: its controls keep their places on the bar.
constexpr int paneX = 315;
} // namespace

PlayerPane::PlayerPane(QWidget *recordBar)
    : QWidget(recordBar)
    , playBtn(Controls::button(this, tr("播放"), Theme::playButton))
    , pauseBtn(Controls::button(this, tr("暂停"), Theme::pauseButton))
    , stopBtn(Controls::button(this, tr("停止"), Theme::stopButton))
    , seekSlider(new Phonon::SeekSlider(this))
    , playTimeLabel(
          Controls::label(this, QRect(), QString::fromUtf8(Theme::playClock), QStringLiteral("00:00:00 / 00:00:00")))
    , playCheckTimer(new QTimer(this))
{
    setGeometry(paneX, 0, recordBar->width() - paneX, 50);
    playBtn->setGeometry(315 - paneX, 7, 36, 36);
    connect(playBtn, &QPushButton::clicked, this, &PlayerPane::playRequested);
    pauseBtn->setGeometry(315 - paneX, 7, 36, 36);
    pauseBtn->hide();
    connect(pauseBtn, &QPushButton::clicked, this, &PlayerPane::pause);
    stopBtn->setGeometry(363 - paneX, 13, 24, 24);
    connect(stopBtn, &QPushButton::clicked, this, &PlayerPane::stop);
    seekSlider->setOrientation(Qt::Horizontal);
    seekSlider->setMediaObject(&mediaObject);
    seekSlider->setStyleSheet(QString::fromUtf8(Theme::seekSlider));
    placeIn(QRect(403, 18, 271, 16), QRect(680, 12, 140, 26));

    audioPath = Phonon::createPath(&mediaObject, &audioOutput);
    connect(&mediaObject, &Phonon::MediaObject::totalTimeChanged, this, &PlayerPane::updateCurrentTime);
    connect(&mediaObject, &Phonon::MediaObject::tick, this, &PlayerPane::updateCurrentTime);
    connect(&mediaObject, &Phonon::MediaObject::finished, this, &PlayerPane::playend);
    connect(&mediaObject, &Phonon::MediaObject::stateChanged, this, &PlayerPane::onPlayerStateChanged);
    // The back end's streaming thread waits, for up to the rest of the file, for a next source once it
    // has read a file to its end; a seek meanwhile (the slider, a word, a skip) blocks the window until
    // then. Asking again for playing ends that wait: we never queue a next source.
    connect(&mediaObject, &Phonon::MediaObject::aboutToFinish, this, [this] {
        if (mediaObject.state() == Phonon::PlayingState)
            mediaObject.play();
    });
    playCheckTimer->setSingleShot(true);
    playCheckTimer->setInterval(playCheckMs);
    connect(playCheckTimer, &QTimer::timeout, this, &PlayerPane::checkPlayback);
    connect(&mediaObject, &Phonon::MediaObject::tick, this, [this](qint64 current) {
        if (playbackWanted && current >= mediaObject.totalTime() && mediaObject.totalTime() > 0
            && !playCheckTimer->isActive())
            playCheckTimer->start();
    });
}

void PlayerPane::placeIn(const QRect &seekSliderInBar, const QRect &playClockInBar)
{
    const QRect bar = parentWidget()->rect();
    setGeometry(paneX, 0, bar.width() - paneX, bar.height());
    seekSlider->setGeometry(seekSliderInBar.translated(-paneX, 0));
    playTimeLabel->setGeometry(playClockInBar.translated(-paneX, 0));
}

void PlayerPane::onPlayerStateChanged(Phonon::State newState)
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

void PlayerPane::checkPlayback()
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
            window(), tr("无法播放“%1”：文件为空、已损坏或格式不受支持！").arg(LibraryPaths::fileName(playFilePath)));
        return;
    }
}

void PlayerPane::showPlayButton(bool play)
{
    // Exactly one of the two shares the place: pause while playback is asked for, play otherwise.
    pauseBtn->setVisible(!play);
    playBtn->setVisible(play);
}

void PlayerPane::reset()
{
    playStarted = false;
    playbackWanted = false;
    if (playBtn->isHidden())
        showPlayButton(true);
    mediaObject.stop();
}

void PlayerPane::resume()
{
    if (PlayerState::resumeFromStart(mediaObject.totalTime(), mediaObject.currentTime()))
        mediaObject.seek(0);
    mediaObject.play();
    playbackWanted = true;
    showPlayButton(false);
}

bool PlayerPane::playTask(const QString &task)
{
    const QString refusal = playRefusal(task);
    if (!refusal.isEmpty()) {
        playFilePath = task;
        Notice::information(window(), refusal);
        return false;
    }
    loadAndPlay(task);
    playbackWanted = true;
    showPlayButton(false);
    return true;
}

QString PlayerPane::playRefusal(const QString &path) const
{
    // Checked before the backend sees it: opening a named pipe would hang the window, and a
    // missing or empty file would only leave the player silent.
    QString refusal = LibraryPaths::unreadableReason(path, LibraryPaths::fileName(path));
    if (refusal.isEmpty() && QFileInfo(path).size() == 0)
        refusal = tr("无法播放“%1”：文件为空！").arg(LibraryPaths::fileName(path));
    return refusal;
}

void PlayerPane::loadAndPlay(const QString &path)
{
    playFilePath = path;
    playReached = false;
    mediaObject.setCurrentSource(Phonon::MediaSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())));
    mediaObject.play();
    playStarted = true;
}

void PlayerPane::stop()
{
    playbackWanted = false;
    mediaObject.stop();
    showPlayButton(true);
}

void PlayerPane::pause()
{
    playbackWanted = false;
    showPlayButton(true);
    if (mediaObject.state() == Phonon::PlayingState)
        mediaObject.pause();
}

void PlayerPane::updateCurrentTime()
{
    playTimeLabel->setText(ClockText::playTime(mediaObject.currentTime(), mediaObject.totalTime()));
}

void PlayerPane::playend()
{
    playbackWanted = false;
    showPlayButton(true);
    playStarted = false;
    mediaObject.stop();
}
