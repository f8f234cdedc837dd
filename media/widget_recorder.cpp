#include "ui/widget.h"

#include "app/appstate.h"
#include "library/librarypaths.h"
#include "media/clocktext.h"
#include "media/recorder.h"
#include "media/recordercommand.h"
#include "ui/notice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

namespace {
QStringList itemTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}
} // namespace

void Widget::createRecorder()
{
    recorder = new Recorder(this);
    connect(recorder, &Recorder::started, this, &Widget::onRecordingStarted);
    connect(recorder, &Recorder::finished, this, &Widget::onRecordingFinished);
    connect(recorder, &Recorder::failed, this, &Widget::onRecordingFailed);
}

QString Widget::secondsToClock(int seconds) const
{
    return ClockText::recordClock(seconds);
}

void Widget::onRecordingStarted()
{
    recordBtn->setToolTip(tr("停止录制"));
    if (liveCheck->isChecked())
        startLive();
}

void Widget::onRecordingFinished(const QString &path)
{
    recordBtn->setToolTip(tr("开始录制"));
    appendLibraryFile(QStringLiteral("wav"), path);
    audioCombo->insertItem(0, LibraryPaths::fileName(path));
    audioCombo->setCurrentIndex(0);
    if (!taskFiles.contains(path))
        taskFiles.insert(0, path);
    if (!wavBtn->isChecked())
        wavBtn->setChecked(true);
    finishLive();
}

void Widget::onRecordingFailed(const QString &message)
{
    recordBtn->setToolTip(tr("开始录制"));
    finishLive();
    Notice::information(this, message);
    // Nothing is recording, so the button must not offer to stop it.
    const QSignalBlocker blocker(recordBtn);
    recordBtn->setChecked(false);
}

void Widget::sltSetRecordTime()
{
    recordTimeLabel->setText(secondsToClock(recorder->elapsedSeconds()));
}

void Widget::slotBeginRecord(bool checked)
{
    if (!checked) {
        recorder->stop();
        return;
    }
    if (deviceName.isEmpty()) {
        onRecordingFailed(tr("没有检测到录音设备！"));
        return;
    }
    recorder->setFollowed(liveWanted());
    recorder->start(RecorderCommand::deviceNamed(deviceName, itemTexts(deviceCombo), deviceRealms), AppState::dataDir);
}
