#include "ui/widget.h"

#include "app/appstate.h"
#include "library/mylistwidget.h"
#include "media/clocktext.h"
#include "media/recordercommand.h"
#include "ui/notice.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

namespace {
constexpr int clockTickMs = 500;
constexpr int stopWaitMs = 30000;

QStringList itemTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

void refuseRecording(Widget *window, const QString &message)
{
    Notice::information(window, message);
    // Nothing is recording, so the button must not offer to stop it.
    const QSignalBlocker blocker(window->recordBtn);
    window->recordBtn->setChecked(false);
}
} // namespace

QString Widget::secondsToClock(int seconds) const
{
    return ClockText::recordClock(seconds);
}

void Widget::sltSetRecordTime()
{
    recordSeconds = int((QDateTime::currentMSecsSinceEpoch() - recordStartMs) / 1000);
    recordTimeLabel->setText(secondsToClock(recordSeconds));
}

void Widget::slotBeginRecord(bool checked)
{
    if (checked) {
        if (deviceName.isEmpty()) {
            refuseRecording(this, QStringLiteral("没有检测到录音设备！"));
            return;
        }
        const QString path = RecorderCommand::recordingFilePath(AppState::dataDir, QDateTime::currentDateTime());
        // ffmpeg would not overwrite it and wait for an answer instead: the user would speak into
        // nothing, and the stop would register the earlier file a second time.
        if (QFileInfo::exists(path)) {
            refuseRecording(this, QStringLiteral("录音文件已存在，请稍后再试！"));
            return;
        }
        recordFilePath = path;
        const CaptureDevices::Device device
            = RecorderCommand::deviceNamed(deviceName, itemTexts(deviceCombo), deviceRealms);
        recordProcess->start(
            QStringLiteral("ffmpeg"), RecorderCommand::arguments(device, recordFilePath), QIODevice::ReadWrite);
        recordBtn->setToolTip(QStringLiteral("停止录制"));
        recordStartMs = QDateTime::currentMSecsSinceEpoch();
        recordTimer->start(clockTickMs);
        return;
    }

    // The window waits here on purpose: the file must be complete before it is offered for playing
    // and converting. "q" lets ffmpeg finish the file; terminate covers an ffmpeg that is not reading.
    if (recordProcess->state() != QProcess::NotRunning) {
        recordProcess->write("q");
        recordProcess->terminate();
        if (!recordProcess->waitForFinished(stopWaitMs)) {
            // Left running it would hold the device and the file and refuse the next recording.
            recordProcess->kill();
            recordProcess->waitForFinished(1000);
        }
    }
    if (recordTimer->isActive())
        recordTimer->stop();
    recordBtn->setToolTip(QStringLiteral("开始录制"));

    if (!QFileInfo(recordFilePath).isFile()) {
        Notice::information(this, QStringLiteral("录音失败，没有生成录音文件！"));
        return;
    }

    const QString fileName = QFileInfo(recordFilePath).fileName();
    appendLibraryFile(QStringLiteral("wav"), recordFilePath);
    audioCombo->insertItem(0, fileName);
    audioCombo->setCurrentIndex(0);
    if (!taskFiles.contains(recordFilePath))
        taskFiles.insert(0, recordFilePath);
    if (!wavBtn->isChecked())
        wavBtn->setChecked(true);
}
