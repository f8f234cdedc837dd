#pragma once

#include <QString>
#include <QWidget>

#include <phonon/AudioOutput>
#include <phonon/MediaObject>
#include <phonon/Path>

class QLabel;
class QPushButton;
class QTimer;
namespace Phonon {
class SeekSlider;
}

// The player on the record bar: play and pause taking turns in one place, stop, the seek slider and
// the clock, over the media object it owns. What to play is the window's to say (the selected task, a
// document's source); the pane plays it, follows it and tells the user when it cannot.
class PlayerPane : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(PlayerPane)

public:
    explicit PlayerPane(QWidget *recordBar);

    QPushButton *const playBtn;
    QPushButton *const pauseBtn; // shown instead of playBtn while playing
    QPushButton *const stopBtn;
    Phonon::SeekSlider *const seekSlider;
    QLabel *const playTimeLabel;
    Phonon::MediaObject mediaObject;
    Phonon::AudioOutput audioOutput;
    Phonon::Path audioPath;
    QString playFilePath; // the file last given to the player
    bool playStarted = false; // a source is loaded in the player
    bool playbackWanted = false; // play was pressed and neither pause, stop nor the end came since

    // Places the slider and the clock, given in the record bar's coordinates.
    void placeIn(const QRect &seekSliderInBar, const QRect &playClockInBar);
    void showPlayButton(bool play); // play shown, or pause while playback is asked for
    QString playRefusal(const QString &path) const; // why path cannot be given to the player, or empty
    void loadAndPlay(const QString &path); // path becomes the player's file and plays from its start
    void resume(); // the loaded source plays on, from the start when it stood at its end
    // Plays task from its start unless it cannot be played (said in a message); false then.
    bool playTask(const QString &task);
    void reset(); // another task was selected: the next play looks it up afresh
    void stop(); // stopBtn
    void pause(); // pauseBtn
    void updateCurrentTime(); // playback clock
    void playend();

signals:
    void playRequested(); // playBtn

private:
    void onPlayerStateChanged(Phonon::State newState);
    void checkPlayback(); // ends playback that failed to start or reached the end without finished()

    bool playReached = false; // the loaded source has played (or paused) at least once
    QTimer *const playCheckTimer; // a moment after a doubtful state: the source failed or ended
};
