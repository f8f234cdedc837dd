#include "media/recorder.h"

#include "app/appstate.h"

#include "media/recordercommand.h"
#include "platform/ffmpegprogram.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace {
constexpr int clockTickMs = 500;
constexpr int stopWaitMs = 30000;
constexpr int killWaitMs = 1000;
} // namespace

Recorder::Recorder(QObject *parent)
    : QObject(parent)
    , process(new QProcess(this))
    , clock(new QTimer(this))
{ }

void Recorder::start(const CaptureDevices::Device &device, const QString &dataDir)
{
    const QString path = RecorderCommand::recordingFilePath(dataDir, QDateTime::currentDateTime());
    // ffmpeg would not overwrite it and wait for an answer instead: the user would speak into
    // nothing, and the stop would register the earlier file a second time.
    if (QFileInfo::exists(path)) {
        emit failed(QStringLiteral("录音文件已存在，请稍后再试！"));
        return;
    }
    filePath = path;
    const QString program = ffmpegProgram(AppState::appDir);
    if (!program.isEmpty())
        process->start(program, RecorderCommand::arguments(device, filePath), QIODevice::ReadWrite);
    emit started();
    recordStartMs = QDateTime::currentMSecsSinceEpoch();
    clock->start(clockTickMs);
}

void Recorder::stop()
{
    // The window waits here on purpose: the file must be complete before it is offered for playing
    // and converting. "q" lets ffmpeg finish the file; terminate covers an ffmpeg that is not reading.
    if (process->state() != QProcess::NotRunning) {
        process->write("q");
        process->terminate();
        if (!process->waitForFinished(stopWaitMs)) {
            // Left running it would hold the device and the file and refuse the next recording.
            process->kill();
            process->waitForFinished(killWaitMs);
        }
    }
    if (clock->isActive())
        clock->stop();
    if (!QFileInfo(filePath).isFile()) {
        emit failed(QStringLiteral("录音失败，没有生成录音文件！"));
        return;
    }
    emit finished(filePath);
}

int Recorder::elapsedSeconds() const
{
    return int((QDateTime::currentMSecsSinceEpoch() - recordStartMs) / 1000);
}
