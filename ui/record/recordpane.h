#pragma once

#include <QLabel>
#include <QString>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QPushButton;
class Recorder;

// The record bar: the capture-device selector, the record button, the live-text check box and the
// record clock, presenting the recorder it is given. It says when a recording starts and what it
// gave; the library, the task list and the live text are the window's.
class RecordPane : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(RecordPane)

public:
    // The clock lies over the bar in clockParent (the bar's own parent), so it is made there.
    RecordPane(Recorder *recorder, QWidget *clockParent);

    QComboBox *const deviceCombo; // capture devices
    QPushButton *const recordBtn; // checked while recording; disabled while a stopped recording is finished
    QCheckBox *const liveCheck; // "边录边转": the text of a recording appears while it is made
    QLabel *const recordTimeLabel; // the record clock
    QString deviceName; // the chosen capture device
    QStringList deviceRealms; // how each deviceCombo item is opened, in item order

    // Whether the next recording is followed by a reader as it grows (live text); none is unset.
    void setFollowedWhen(std::function<bool()> followed) { followedWhen = std::move(followed); }
    void getAudioDev(); // fills deviceCombo, once, at construction
    void slotAudioDeviceChanged(const QString &text);
    void sltSetRecordTime(); // record clock tick
    void slotBeginRecord(bool checked); // recordBtn: checked starts a recording, unchecked stops it

signals:
    void recordingStarted();
    void recordingFinished(const QString &path); // the file is final and holds audio
    void recordingFailed(const QString &message); // shown already

private:
    void onRecordingStarted();
    void onRecordingFinished(const QString &path);
    void onRecordingFailed(const QString &message);

    Recorder *const recorder;
    std::function<bool()> followedWhen;
};
