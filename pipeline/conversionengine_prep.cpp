#include "pipeline/conversionengine_p.h"

#include "pipeline/audioprep.h"
#include "pipeline/cutplan.h"
#include "pipeline/datapaths.h"
#include "platform/ffmpegprogram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QProcess>
#include <QStorageInfo>
#include <QTimer>
#include <QVariant>
#include <QtConcurrent>

#include <signal.h>
#include <unistd.h>

namespace {

const char *const generationProperty = "quilloraRunGeneration";
// Below this, a failed write into the temporary folder is taken for a full disk.
const qint64 nearlyFullBytes = 4 * 1024 * 1024;

// ffmpeg in a process group of its own: a signal that tells the program to end (Ctrl+C, a hang-up, timeout, the
// session ending, or the hang-up an orphaned group with a held cutter gets) must not end ffmpeg first, where its
// exit would read as audio it could not cut; the program ends the run, and its children, itself.
class FfmpegProcess : public QProcess
{
public:
    using QProcess::QProcess;

protected:
    void setupChildProcess() override { ::setpgid(0, 0); }
};

} // namespace

void ConversionEnginePrivate::createProcesses()
{
    // The probe's diagnostics are read as its standard output.
    probe = new FfmpegProcess(this);
    probe->setProcessChannelMode(QProcess::MergedChannels);
    connect(probe, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
        &ConversionEnginePrivate::slotGetAudioLengthFinish);
    connect(probe, &QProcess::readyRead, this, &ConversionEnginePrivate::onReadOutput);
    cutter = new FfmpegProcess(this);
    connect(cutter, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
        &ConversionEnginePrivate::slotCutAudioFinish);
    // The muxer names each segment on its standard output once the segment is complete.
    connect(cutter, &QProcess::readyReadStandardOutput, this, &ConversionEnginePrivate::onSegmentListed);
    transcoder = new FfmpegProcess(this);
    connect(transcoder, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
        &ConversionEnginePrivate::slotConvertAudioFormatFinish);
    for (QProcess *process : {probe, cutter, transcoder})
        connect(process, &QProcess::errorOccurred, this, [this, process] { onFfmpegError(process); });
}

void ConversionEnginePrivate::killProcesses()
{
    delete transcodeWatch;
    transcodeWatch = nullptr;
    cutterPaused = false;
    for (QProcess *process : {transcoder, probe, cutter}) {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    }
}

QString ConversionEnginePrivate::tmpFolder() const
{
    return DataPaths::temporary(runOpts.dataDir);
}

void ConversionEnginePrivate::startFfmpeg(QProcess *process, const QStringList &arguments)
{
    const QString program = ffmpegProgram(runOpts.appDir);
    if (program.isEmpty()) {
        endRun(Outcome::FfmpegMissing);
        return;
    }
    if (process->state() != QProcess::NotRunning) {
        // A stopped run's child was killed but not yet reaped: its finish belongs to the old generation, and
        // this one starts once it has come, without waiting for it here.
        process->kill();
        const quint64 generation = runGeneration;
        auto *ended = new QMetaObject::Connection;
        *ended = connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this, process, program, arguments, generation, ended] {
                disconnect(*ended);
                delete ended;
                if (generation != runGeneration || !isRunning())
                    return;
                process->setProperty(generationProperty, runGeneration);
                process->start(program, arguments, QIODevice::ReadOnly);
            });
        return;
    }
    process->setProperty(generationProperty, runGeneration);
    process->start(program, arguments, QIODevice::ReadOnly);
}

bool ConversionEnginePrivate::isCurrentProcess(QProcess *process) const
{
    return isRunning() && process->property(generationProperty).toULongLong() == runGeneration;
}

void ConversionEnginePrivate::onFfmpegError(QProcess *process)
{
    if (process->error() != QProcess::FailedToStart || !isCurrentProcess(process))
        return;
    endRun(Outcome::FfmpegNotStarted);
}

bool ConversionEnginePrivate::preparationFailed(QProcess *process)
{
    // ffmpeg reports a write that failed for a full disk, yet may still exit with 0.
    const QByteArray errors = process->readAllStandardError();
    const bool failed = process->exitStatus() != QProcess::NormalExit || process->exitCode() != 0;
    if (!failed && !AudioPrep::reportsFullDisk(errors))
        return false;
    endPreparation(errors);
    return true;
}

void ConversionEnginePrivate::endPreparation(const QByteArray &errors)
{
    const QStorageInfo storage(tmpFolder());
    if (AudioPrep::reportsFullDisk(errors) || (storage.isValid() && storage.bytesAvailable() < nearlyFullBytes)) {
        RunEnd end;
        end.outcome = Outcome::DiskFull;
        end.fileWasStarted = true;
        end.task = fileRun.taskPath;
        end.path = tmpFolder();
        endRun(end);
        return;
    }
    endRun(Outcome::BadAudio);
}

void ConversionEnginePrivate::convertAudioFormat()
{
    setProgress(Stage::Preparing);
    const QString task = fileRun.taskPath;
    if (AudioPrep::skipsTranscode(task)) {
        getAudioLength();
        return;
    }
    fileRun.transcodedPath = AudioPrep::transcodedPathIn(q->runFolder());
    startFfmpeg(transcoder, AudioPrep::transcodeArguments(task, fileRun.transcodedPath));
    // A resumed run cuts by its kept plan; any other sends its first segment while the rest is transcoded.
    RunProgress kept;
    fileRun.headStart = isRunning() && !readKeptProgress(&kept);
    if (!fileRun.headStart)
        return;
    // Told by the file system each time the transcode grows, until the first segment can be cut.
    transcodeWatch = new QFileSystemWatcher({q->runFolder()}, this);
    connect(transcodeWatch, &QFileSystemWatcher::directoryChanged, this, &ConversionEnginePrivate::onTranscodeGrown);
    connect(transcodeWatch, &QFileSystemWatcher::fileChanged, this, &ConversionEnginePrivate::onTranscodeGrown);
    onTranscodeGrown();
}

void ConversionEnginePrivate::onTranscodeGrown()
{
    if (!transcodeWatch || !isCurrentProcess(transcoder))
        return;
    if (transcodeWatch->files().isEmpty() && QFile::exists(fileRun.transcodedPath))
        transcodeWatch->addPath(fileRun.transcodedPath);
    cutHeadSegment();
}

void ConversionEnginePrivate::cutHeadSegment()
{
    // A minute and a window past it place the first cut exactly where the whole file would.
    const qint64 needed = (CutPlan::limitCentis + 1) * CutPlan::samplesPerWindow * 2;
    if (!fileRun.headStart || QFileInfo(fileRun.transcodedPath).size() < needed)
        return;
    const QByteArray pcm = CutPlan::samplesOfFile(fileRun.transcodedPath, true, needed);
    if (pcm.size() < needed)
        return;
    transcodeWatch->deleteLater();
    transcodeWatch = nullptr;
    fileRun.headStart = false;
    const QVector<qint64> cuts = CutPlan::planCutsInPauses(CutPlan::energyEnvelope(pcm.constData(), pcm.size()),
        CutPlan::limitCentis, CutPlan::searchCentis, CutPlan::stretchCentis, CutPlan::firstSegmentCentis);
    if (cuts.isEmpty())
        return;
    const QString path = AudioPrep::segmentPathIn(q->runFolder(), 0);
    const QByteArray samples = pcm.left(int(cuts.first() * CutPlan::samplesPerWindow * 2));
    QFile segment(path);
    if (!segment.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || segment.write(AudioPrep::wavHeader(samples.size()) + samples) != samples.size() + 44 || !segment.flush()) {
        segment.remove(); // the cutter makes it with the rest
        return;
    }
    segment.close();
    fileRun.headCut = cuts.first();
    fileRun.headOnly = true;
    fileRun.cuts = {fileRun.headCut};
    fileRun.progress = RunProgress(RunProgress::identityOf(fileRun.taskPath), runLanguage, 1);
    segments = 0;
    pendingSegments = QStringList {path};
    segmentIndex = 1;
    sendSegment(0, path);
}

void ConversionEnginePrivate::slotConvertAudioFormatFinish()
{
    if (!isCurrentProcess(transcoder))
        return;
    delete transcodeWatch;
    transcodeWatch = nullptr;
    fileRun.headStart = false;
    if (preparationFailed(transcoder))
        return;
    fileRun.sourcePath = fileRun.transcodedPath;
    getAudioLength();
}

void ConversionEnginePrivate::getAudioLength()
{
    fileRun.probeOutput.clear();
    startFfmpeg(probe, AudioPrep::probeArguments(fileRun.sourcePath));
}

void ConversionEnginePrivate::onReadOutput()
{
    const QByteArray piece = probe->readAll();
    if (isCurrentProcess(probe))
        fileRun.probeOutput += piece;
}

void ConversionEnginePrivate::slotGetAudioLengthFinish()
{
    if (!isCurrentProcess(probe))
        return;
    fileRun.probeOutput += probe->readAll();
    const qint64 centis = AudioPrep::parseDurationCentis(QString::fromLocal8Bit(fileRun.probeOutput));
    fileRun.probeOutput.clear();
    if (centis < 0) {
        endRun(Outcome::BadAudio);
        return;
    }

    fileRun.durationCentis = centis;
    if (fileRun.headCut > 0) {
        planCuts(); // the first segment is on its way
        return;
    }
    pendingSegments.clear();
    segmentIndex = 0;
    RunProgress kept;
    const bool anyKept = readKeptProgress(&kept);
    if (AudioPrep::planSegments(centis).copyWhole && anyKept && kept.segmentCount() == 1) {
        copyWholeFile(&kept);
        return;
    }
    if (anyKept) {
        // A record from before plans were kept was cut every minute.
        const QVector<qint64> cuts
            = kept.cuts().isEmpty() && kept.segmentCount() > 1 ? CutPlan::planCutsEvery(centis) : kept.cuts();
        if (kept.segmentCount() == cuts.size() + 1 && CutPlan::fitsDuration(cuts, centis)) {
            fileRun.cuts = cuts;
            segments = int(cuts.size()) + 1;
            useProgress(&kept);
            startCutting();
            return;
        }
    }
    planCuts();
}

bool ConversionEnginePrivate::readKeptProgress(RunProgress *kept) const
{
    QFile record(progressRecordPath(fileRun.taskPath));
    return record.open(QIODevice::ReadOnly) && RunProgress::fromJson(record.readAll(), kept)
        && kept->continues(RunProgress::identityOf(fileRun.taskPath), runLanguage, kept->segmentCount());
}

void ConversionEnginePrivate::useProgress(const RunProgress *kept)
{
    fileRun.progress = kept ? *kept : RunProgress(RunProgress::identityOf(fileRun.taskPath), runLanguage, segments);
    fileRun.progress.setCuts(fileRun.cuts);
    if (kept && !kept->texts().isEmpty())
        emit q->transcriptReplaced(kept->texts());
}

void ConversionEnginePrivate::planCuts()
{
    // An hour of audio is 115 MB to read and measure: off this thread.
    step = Step::Cutting;
    const quint64 generation = runGeneration;
    const QString source = fileRun.sourcePath;
    const bool wav = !AudioPrep::skipsTranscode(fileRun.taskPath);
    const qint64 centis = fileRun.durationCentis;
    const qint64 head = fileRun.headCut;
    auto *planned = new QFutureWatcher<QVector<qint64>>(this);
    connect(planned, &QFutureWatcherBase::finished, this, [this, planned, generation] {
        const QVector<qint64> cuts = planned->result();
        planned->deleteLater();
        if (generation != runGeneration || !isRunning())
            return;
        // A short file without a pause to cut its first words off at is sent whole, as it is.
        if (cuts.isEmpty() && AudioPrep::planSegments(fileRun.durationCentis).copyWhole) {
            copyWholeFile(nullptr);
            return;
        }
        fileRun.cuts = cuts;
        segments = int(cuts.size()) + 1;
        const RunProgress headProgress = fileRun.progress;
        useProgress(nullptr);
        if (fileRun.headOnly) {
            fileRun.headOnly = false;
            if (headProgress.isDone(0)) {
                fileRun.progress.setDone(0, headProgress.anyText(), headProgress.texts().value(0));
                fileRun.progress.setSentences(0, headProgress.sentences(0));
                keepRecord();
            }
        }
        startCutting();
    });
    planned->setFuture(QtConcurrent::run([source, wav, centis, head] {
        const QVector<quint32> envelope = CutPlan::envelopeOfFile(source, wav);
        if (head > 0) {
            // The first segment is cut already: the others follow its cut as they would in a whole plan.
            QVector<qint64> cuts {head};
            const QVector<qint64> rest = envelope.size() > head ? CutPlan::planCutsInPauses(envelope.mid(int(head)))
                                                                : CutPlan::planCutsEvery(centis - head);
            for (const qint64 cut : rest)
                cuts << head + cut;
            if (CutPlan::fitsDuration(cuts, centis))
                return cuts;
            cuts = {head};
            for (const qint64 cut : CutPlan::planCutsEvery(centis - head))
                cuts << head + cut;
            return cuts;
        }
        const QVector<qint64> cuts = CutPlan::planCutsInPauses(envelope, CutPlan::limitCentis, CutPlan::searchCentis,
            CutPlan::stretchCentis, CutPlan::firstSegmentCentis, /*shortToo=*/true);
        // Audio that could not be read whole is cut every minute, as without a plan.
        return CutPlan::fitsDuration(cuts, centis) ? cuts : CutPlan::planCutsEvery(centis);
    }));
}

void ConversionEnginePrivate::copyWholeFile(const RunProgress *kept)
{
    fileRun.cuts.clear();
    segments = 1;
    pendingSegments.clear();
    useProgress(kept);
    const QString first = AudioPrep::segmentPathIn(q->runFolder(), 0);
    QFile::remove(first);
    if (!QFile::copy(fileRun.sourcePath, first)) {
        endPreparation(QByteArray());
        return;
    }
    pendingSegments << first;
    segmentIndex = 1;
    slotBeginUpload();
}

void ConversionEnginePrivate::startCutting()
{
    // Segments are sent as they are cut: uploads begin with the cutter.
    step = Step::Uploading;
    cutterPaused = false;
    cutterList.clear();
    startFfmpeg(cutter,
        AudioPrep::segmentMuxerArguments(
            fileRun.sourcePath, q->runFolder(), fileRun.cuts, fileRun.headCut > 0 ? 1 : 0, /*listed=*/true));
    if (!isRunning())
        return;
    emit q->fileProgress(fileRun.taskPath, fileRun.progress.doneCount(), segments);
    showUploadProgress();
    collectCutSegments(-1);
}

void ConversionEnginePrivate::onSegmentListed()
{
    cutterList += cutter->readAllStandardOutput();
    if (!isCurrentProcess(cutter))
        return;
    int listed = -1;
    for (int end = cutterList.indexOf('\n'); end >= 0; end = cutterList.indexOf('\n')) {
        const QString name = QString::fromLocal8Bit(cutterList.left(end)).trimmed();
        cutterList.remove(0, end + 1);
        listed = std::max(listed, AudioPrep::segmentIndexOf(name));
    }
    if (listed >= 0)
        collectCutSegments(listed);
}

void ConversionEnginePrivate::collectCutSegments(int completeUpTo)
{
    // The muxer names a segment once it has written it whole; every one before it is complete too.
    while (segmentIndex < segments && segmentIndex <= completeUpTo) {
        const QString path = AudioPrep::segmentPathIn(q->runFolder(), segmentIndex);
        if (fileRun.progress.isDone(segmentIndex))
            QFile::remove(path); // recognised by an earlier attempt
        else
            pendingSegments << path;
        ++segmentIndex;
    }
    sendPending();
}

void ConversionEnginePrivate::pauseCutter(bool pause)
{
    // The folder holds no more than the segments the requests need: the cutter waits for them.
    if (pause == cutterPaused || cutter->state() != QProcess::Running || !isCurrentProcess(cutter))
        return;
    cutterPaused = pause;
    ::kill(pid_t(cutter->processId()), pause ? SIGSTOP : SIGCONT);
}

void ConversionEnginePrivate::slotCutAudioFinish()
{
    if (!isCurrentProcess(cutter))
        return;
    cutterPaused = false;
    if (preparationFailed(cutter))
        return;
    // Whatever the list said last, every segment is complete once the muxer has ended.
    onSegmentListed();
    if (isRunning())
        collectCutSegments(segments);
}

void ConversionEnginePrivate::slotBeginUpload()
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
    segmentIndex = segments;
    step = Step::Uploading;
    emit q->fileProgress(fileRun.taskPath, fileRun.progress.doneCount(), segments);
    sendPending();
}
