#include "pipeline/conversionengine.h"

#include "pipeline/audioprep.h"
#include "pipeline/cutplan.h"
#include "platform/ffmpegprogram.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <QVariant>

namespace {

const char *const generationProperty = "quilloraRunGeneration";
// Below this, a failed write into the temporary folder is taken for a full disk.
const qint64 nearlyFullBytes = 4 * 1024 * 1024;

} // namespace

void ConversionEngine::createProcesses()
{
    // The probe's diagnostics are read as its standard output.
    probe = new QProcess(this);
    probe->setProcessChannelMode(QProcess::MergedChannels);
    connect(probe, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
        &ConversionEngine::slotGetAudioLengthFinish);
    connect(probe, &QProcess::readyRead, this, &ConversionEngine::onReadOutput);
    cutter = new QProcess(this);
    connect(
        cutter, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &ConversionEngine::slotCutAudioFinish);
    transcoder = new QProcess(this);
    connect(transcoder, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
        &ConversionEngine::slotConvertAudioFormatFinish);
    for (QProcess *process : {probe, cutter, transcoder})
        connect(process, &QProcess::errorOccurred, this, &ConversionEngine::onFfmpegError);
}

void ConversionEngine::killProcesses()
{
    for (QProcess *process : {transcoder, probe, cutter}) {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    }
}

QString ConversionEngine::tmpFolder() const
{
    return runOpts.dataDir + QStringLiteral("/myTmpWAVFiles");
}

void ConversionEngine::startFfmpeg(QProcess *process, const QStringList &arguments)
{
    const QString program = ffmpegProgram(runOpts.appDir);
    if (program.isEmpty()) {
        endRun(QStringLiteral("找不到 ffmpeg 程序，无法处理音频，请先安装 ffmpeg！"));
        return;
    }
    if (process->state() != QProcess::NotRunning) {
        // A stopped run's child was killed but not yet reaped; its finish belongs to the old generation.
        process->kill();
        process->waitForFinished(2000);
    }
    process->setProperty(generationProperty, runGeneration);
    process->start(program, arguments, QIODevice::ReadOnly);
}

bool ConversionEngine::isCurrentProcess(QProcess *process) const
{
    return isRunning() && process->property(generationProperty).toULongLong() == runGeneration;
}

void ConversionEngine::onFfmpegError()
{
    auto *process = qobject_cast<QProcess *>(sender());
    if (!process || process->error() != QProcess::FailedToStart || !isCurrentProcess(process))
        return;
    endRun(QStringLiteral("无法启动 ffmpeg 程序，请检查 ffmpeg 是否安装完好！"));
}

bool ConversionEngine::preparationFailed(QProcess *process)
{
    // ffmpeg reports a write that failed for a full disk, yet may still exit with 0.
    const QByteArray errors = process->readAllStandardError();
    const bool failed = process->exitStatus() != QProcess::NormalExit || process->exitCode() != 0;
    if (!failed && !AudioPrep::reportsFullDisk(errors))
        return false;
    endPreparation(errors);
    return true;
}

void ConversionEngine::endPreparation(const QByteArray &errors)
{
    const QStorageInfo storage(tmpFolder());
    if (AudioPrep::reportsFullDisk(errors) || (storage.isValid() && storage.bytesAvailable() < nearlyFullBytes)) {
        endRun(QStringLiteral("磁盘空间已满，无法在文件夹“%1”中写入音频，请清理磁盘后再试！")
                   .arg(QDir::toNativeSeparators(tmpFolder())));
        return;
    }
    endRun(QStringLiteral("出现异常，请核验音频后再试！"));
}

void ConversionEngine::convertAudioFormat()
{
    setProgress(QStringLiteral("预处理..."));
    const QString task = fileRun.taskPath;
    if (AudioPrep::skipsTranscode(task)) {
        getAudioLength();
        return;
    }
    fileRun.transcodedPath = AudioPrep::transcodedPathIn(runFolder());
    startFfmpeg(transcoder, AudioPrep::transcodeArguments(task, fileRun.transcodedPath));
}

void ConversionEngine::slotConvertAudioFormatFinish()
{
    if (!isCurrentProcess(transcoder) || preparationFailed(transcoder))
        return;
    fileRun.sourcePath = fileRun.transcodedPath;
    getAudioLength();
}

void ConversionEngine::getAudioLength()
{
    fileRun.probeOutput.clear();
    startFfmpeg(probe, AudioPrep::probeArguments(fileRun.sourcePath));
}

void ConversionEngine::onReadOutput()
{
    const QByteArray piece = probe->readAll();
    if (isCurrentProcess(probe))
        fileRun.probeOutput += piece;
}

void ConversionEngine::slotGetAudioLengthFinish()
{
    if (!isCurrentProcess(probe))
        return;
    fileRun.probeOutput += probe->readAll();
    const qint64 centis = AudioPrep::parseDurationCentis(QString::fromLocal8Bit(fileRun.probeOutput));
    fileRun.probeOutput.clear();
    if (centis < 0) {
        endRun(QStringLiteral("出现异常，请核验音频后再试！"));
        return;
    }

    const AudioPrep::SegmentPlan plan = AudioPrep::planSegments(centis);
    pendingSegments.clear();
    segments = plan.count;
    fileRun.durationCentis = centis;
    fileRun.cuts = CutPlan::planCutsEvery(centis);
    segmentIndex = 0;
    resumeProgress();
    const QString first = AudioPrep::segmentPathIn(runFolder(), 0);
    if (plan.copyWhole) {
        QFile::remove(first);
        if (!QFile::copy(fileRun.sourcePath, first)) {
            endPreparation(QByteArray());
            return;
        }
        pendingSegments << first;
        beginUploads();
        return;
    }
    stage = Stage::Cutting;
    pendingSegments << first;
    startFfmpeg(cutter, AudioPrep::cutArgumentsTo(fileRun.sourcePath, first, 0));
}

void ConversionEngine::slotCutAudioFinish()
{
    if (!isCurrentProcess(cutter) || preparationFailed(cutter))
        return;
    const int k = ++segmentIndex;
    setProgress(QStringLiteral("分割:%1%").arg(AudioPrep::percentText(k, segments)));
    if (k >= segments) {
        beginUploads();
        return;
    }
    const QString next = AudioPrep::segmentPathIn(runFolder(), k);
    pendingSegments << next;
    startFfmpeg(cutter, AudioPrep::cutArgumentsTo(fileRun.sourcePath, next, k));
}

void ConversionEngine::resumeProgress()
{
    const RunProgress::FileIdentity identity = RunProgress::identityOf(fileRun.taskPath);
    QFile record(progressRecordPath(fileRun.taskPath));
    RunProgress kept;
    if (record.open(QIODevice::ReadOnly) && RunProgress::fromJson(record.readAll(), &kept)
        && kept.continues(identity, runLanguage, segments)) {
        fileRun.progress = kept;
        fileRun.progress.setCuts(fileRun.cuts);
        if (!kept.texts().isEmpty())
            emit transcriptReplaced(kept.texts());
        return;
    }
    fileRun.progress = RunProgress(identity, runLanguage, segments);
    fileRun.progress.setCuts(fileRun.cuts);
}

void ConversionEngine::beginUploads()
{
    // Segments an earlier attempt already recognised are not sent again.
    QStringList pending;
    for (const QString &segment : qAsConst(pendingSegments)) {
        if (fileRun.progress.isDone(AudioPrep::segmentIndexOf(segment)))
            QFile::remove(segment);
        else
            pending << segment;
    }
    pendingSegments = pending;
    stage = Stage::Uploading;
    emit fileProgress(fileRun.taskPath, fileRun.progress.doneCount(), segments);
    sendPending();
}
