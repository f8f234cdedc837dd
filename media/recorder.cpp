#include "media/recorder.h"

#include "app/appstate.h"

#include "library/librarypaths.h"
#include "media/recordercommand.h"
#include "media/wavheader.h"
#include "platform/ffmpegprogram.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {
constexpr int clockTickMs = 500;
constexpr int stopWaitMs = 30000;
constexpr int closeWaitMs = 3000;
constexpr int killWaitMs = 1000;
constexpr int logLimit = 16384;
} // namespace

Recorder::Recorder(QObject *parent)
    : QObject(parent)
    , process(new QProcess(this))
    , clock(new QTimer(this))
    , stopDeadline(new QTimer(this))
{
    stopDeadline->setSingleShot(true);
    connect(stopDeadline, &QTimer::timeout, this, &Recorder::onStopDeadline);
    connect(process, &QProcess::readyReadStandardError, this, [this] {
        ffmpegLog += QString::fromLocal8Bit(process->readAllStandardError());
        if (ffmpegLog.size() > 2 * logLimit)
            ffmpegLog = ffmpegLog.right(logLimit);
    });
    connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &Recorder::onProcessEnded);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || !isRecording() || stopping)
            return;
        clock->stop();
        emit failed(tr("录音失败，无法启动录音程序 ffmpeg！"));
    });
}

Recorder::~Recorder()
{
    finishForClose();
}

void Recorder::start(const CaptureDevices::Device &device, const QString &dataDir)
{
    const QString path = RecorderCommand::recordingFilePath(dataDir, QDateTime::currentDateTime());
    // ffmpeg would not overwrite it and wait for an answer instead: the user would speak into
    // nothing, and the stop would register the earlier file a second time.
    if (QFileInfo::exists(path)) {
        emit failed(tr("录音文件已存在，请稍后再试！"));
        return;
    }
    const QString program = ffmpegProgram(AppState::appDir);
    if (program.isEmpty()) {
        emit failed(tr("录音失败，没有找到录音程序 ffmpeg！"));
        return;
    }
    filePath = path;
    deviceName = device.name;
    ffmpegLog.clear();
    ending = false;
    process->start(program, RecorderCommand::arguments(device, filePath, flushEachPacket), QIODevice::ReadWrite);
    // Before anyone hears of the start: what they do then (a message box) is recording time too.
    recordTime.start();
    clock->start(clockTickMs);
    emit started();
}

bool Recorder::isRecording() const
{
    return clock->isActive() || stopping;
}

void Recorder::endProcess(int waitMs)
{
    stopDeadline->stop();
    if (process->state() == QProcess::NotRunning)
        return;
    ending = true;
    process->write("q");
    if (!process->waitForFinished(waitMs)) {
        // ffmpeg finishes the file on SIGTERM as on "q"; left running it would hold the device and the
        // file and refuse the next recording.
        process->terminate();
        if (!process->waitForFinished(killWaitMs)) {
            process->kill();
            process->waitForFinished(killWaitMs);
        }
    }
}

qint64 Recorder::keepFile()
{
    const qint64 audio = WavHeader::repair(filePath);
    if (audio <= 0)
        QFile::remove(filePath);
    return audio;
}

void Recorder::stop()
{
    if (stopping)
        return;
    if (process->state() == QProcess::NotRunning) {
        completeStop();
        return;
    }
    // The recording's time ends now; the file is complete only once ffmpeg has ended, and is offered
    // for playing and converting then.
    clock->stop();
    stopping = true;
    ending = true;
    process->write("q");
    stopDeadline->start(stopWaitMs);
}

void Recorder::onStopDeadline()
{
    // ffmpeg finishes the file on SIGTERM as on "q"; left running it would hold the device and the
    // file and refuse the next recording.
    if (process->state() == QProcess::NotRunning)
        return;
    if (!terminated) {
        terminated = true;
        process->terminate();
        stopDeadline->start(killWaitMs);
    } else {
        process->kill();
    }
}

void Recorder::completeStop()
{
    stopping = false;
    terminated = false;
    stopDeadline->stop();
    clock->stop();
    if (!QFileInfo(filePath).isFile()) {
        emit failed(tr("录音失败，没有生成录音文件！"));
        return;
    }
    if (keepFile() <= 0) {
        emit failed(tr("录音失败，没有录到任何声音，空文件已删除！"));
        return;
    }
    emit finished(filePath);
}

void Recorder::finishForClose()
{
    if (!isRecording())
        return;
    // A stop under way is finished here without its signals.
    stopping = false;
    terminated = false;
    endProcess(closeWaitMs);
    clock->stop();
    keepFile();
}

void Recorder::onProcessEnded()
{
    if (stopping) {
        completeStop();
        return;
    }
    // Ended by this side, or after the recording was over: finishForClose() sees to the file.
    if (ending || !isRecording())
        return;
    ffmpegLog += QString::fromLocal8Bit(process->readAllStandardError());
    clock->stop();
    const RecorderCommand::EndCause cause = RecorderCommand::endCause(ffmpegLog);
    const qint64 kept = QFileInfo(filePath).isFile() ? keepFile() : 0;
    const QString message = RecorderCommand::endMessage(
        cause, QFileInfo(filePath).absolutePath(), deviceName, kept, LibraryPaths::fileName(filePath));
    if (kept > 0)
        emit finished(filePath);
    emit failed(message);
}

int Recorder::elapsedSeconds() const
{
    return recordTime.isValid() ? int(recordTime.elapsed() / 1000) : 0;
}
