#include "ui/record/recordpane.h"

#include "app/appstate.h"
#include "media/clocktext.h"
#include "media/recorder.h"
#include "media/recordercommand.h"
#include "pipeline/datapaths.h"
#include "platform/capturedevices.h"
#include "ui/controls.h"
#include "ui/notice.h"
#include "ui/theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QTimer>

namespace {
const QString liveKey = QStringLiteral("liveTranscription");

QString settingsPath()
{
    return DataPaths::settings(AppState::dataDir);
}

QStringList itemTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}
} // namespace

RecordPane::RecordPane(Recorder *recorder, QWidget *clockParent)
    : QLabel(clockParent)
    // Narrower than the design's, to leave room for the live-text check box beside the record button.
    , deviceCombo(Controls::comboBox(this, QRect(10, 10, 90, 30)))
    , recordBtn(Controls::button(this, tr("开始录制"), Theme::recordButton))
    , liveCheck(new QCheckBox(tr("边录边转"), this))
    // Over the record bar, between the record and the play button.
    , recordTimeLabel(Controls::label(
          clockParent, QRect(223, 4, 76, 42), QString::fromUtf8(Theme::recordClock), QStringLiteral("00:00:00")))
    , recorder(recorder)
{
    setGeometry(0, 0, clockParent->width(), 50);
    setStyleSheet(QString::fromUtf8(Theme::strip));
    connect(deviceCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this](int index) { slotAudioDeviceChanged(deviceCombo->itemText(index)); });
    recordBtn->setCheckable(true);
    recordBtn->setGeometry(186, 13, 24, 24);
    connect(recordBtn, &QPushButton::toggled, this, &RecordPane::slotBeginRecord);

    liveCheck->setGeometry(104, 10, 80, 30);
    liveCheck->setStyleSheet(QString::fromUtf8(Theme::liveCheck));
    liveCheck->setToolTip(
        Notice::wrappingToolTip(tr("录音时同时识别，说话的文字随即显示在文本区，录音结束后写成文档")));
    liveCheck->setChecked(QSettings(settingsPath(), QSettings::IniFormat).value(liveKey, false).toBool());
    connect(liveCheck, &QCheckBox::toggled, this,
        [](bool on) { QSettings(settingsPath(), QSettings::IniFormat).setValue(liveKey, on); });

    connect(recorder, &Recorder::started, this, &RecordPane::onRecordingStarted);
    connect(recorder, &Recorder::finished, this, &RecordPane::onRecordingFinished);
    connect(recorder, &Recorder::failed, this, &RecordPane::onRecordingFailed);
    connect(recorder->recordTimer(), &QTimer::timeout, this, &RecordPane::sltSetRecordTime);
}

void RecordPane::getAudioDev()
{
    const QList<CaptureDevices::Device> devices = CaptureDevices::available();
    for (const CaptureDevices::Device &device : devices) {
        if (device.name == QLatin1String("default"))
            continue;
        // The realm goes in first: adding the first item makes it current, and the recorder may look.
        deviceRealms.append(device.realm);
        deviceCombo->insertItem(deviceCombo->count(), device.name);
    }
}

void RecordPane::slotAudioDeviceChanged(const QString &text)
{
    deviceName = text;
}

void RecordPane::onRecordingStarted()
{
    recordBtn->setToolTip(tr("停止录制"));
    emit recordingStarted();
}

void RecordPane::onRecordingFinished(const QString &path)
{
    recordBtn->setEnabled(true);
    recordBtn->setToolTip(tr("开始录制"));
    emit recordingFinished(path);
}

void RecordPane::onRecordingFailed(const QString &message)
{
    recordBtn->setEnabled(true);
    recordBtn->setToolTip(tr("开始录制"));
    emit recordingFailed(message);
    Notice::information(window(), message);
    // Nothing is recording, so the button must not offer to stop it.
    const QSignalBlocker blocker(recordBtn);
    recordBtn->setChecked(false);
}

void RecordPane::sltSetRecordTime()
{
    recordTimeLabel->setText(ClockText::recordClock(recorder->elapsedSeconds()));
}

void RecordPane::slotBeginRecord(bool checked)
{
    if (!checked) {
        recorder->stop();
        // Until ffmpeg has finished the file nothing can record into the device or the folder.
        recordBtn->setEnabled(!recorder->isStopping());
        return;
    }
    if (deviceName.isEmpty()) {
        onRecordingFailed(tr("没有检测到录音设备！"));
        return;
    }
    recorder->setFollowed(followedWhen && followedWhen());
    recorder->start(RecorderCommand::deviceNamed(deviceName, itemTexts(deviceCombo), deviceRealms), AppState::dataDir);
}
