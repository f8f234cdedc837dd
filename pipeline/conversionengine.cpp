#include "pipeline/conversionengine_p.h"

#include "library/atomicfile.h"
#include "library/librarypaths.h"
#include "pipeline/audioprep.h"
#include "pipeline/datapaths.h"
#include "pipeline/languages.h"
#include "pipeline/localspeechservice.h"
#include "pipeline/runfolder.h"
#include "pipeline/speechclient_p.h"
#include "pipeline/timings.h"
#include "pipeline/transcriptwriter.h"
#include "pipeline/voiceprofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>

ConversionEngine::ConversionEngine(const Options &options, SpeechClient *client, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<ConversionEnginePrivate>(this, options, client))
{
    qRegisterMetaType<ConversionEngine::Progress>();
    qRegisterMetaType<ConversionEngine::RunEnd>();
}

ConversionEngine::~ConversionEngine() = default;

bool ConversionEngine::refusesLanguage(const QString &language) const
{
    return LocalSpeechService::isLocalDeployment(d->opts.service) && Languages::codeOf(language) != QLatin1String("en");
}

bool ConversionEngine::start(const QString &language, NextTask tasks)
{
    if (d->isRunning() || refusesLanguage(language))
        return false;
    ++d->runGeneration;
    d->runOpts = d->opts;
    d->runLanguage = Languages::codeOf(language);
    d->runWords = UserWordList::read(
        d->runOpts.wordsFile.isEmpty() ? UserWordList::storedPath(d->runOpts.dataDir) : d->runOpts.wordsFile)
                      .parsed.entries;
    d->runVoice = VoiceProfile::voiceOf(d->runOpts.dataDir);
    d->nextTask = std::move(tasks);
    d->fileRun = ConversionEnginePrivate::FileRun();
    d->runDocuments.clear();
    d->renamed.clear();
    d->speakersNotes.clear();
    d->useClientOptions(d->runOpts);
    d->serviceChecked = false;
    d->fileWasStarted = false;
    d->step = ConversionEnginePrivate::Step::CheckingService;
    d->advance();
    return true;
}

void ConversionEngine::stop()
{
    d->endRun(Outcome::Stopped);
}

bool ConversionEngine::isRunning() const
{
    return d->isRunning();
}

QString ConversionEngine::language() const
{
    return d->runLanguage;
}

void ConversionEngine::setOptions(const Options &options)
{
    d->opts = options;
    if (!d->isRunning())
        d->useClientOptions(options);
}

const ConversionEngine::Options &ConversionEngine::options() const
{
    return d->opts;
}

SpeechClient *ConversionEngine::speechClient() const
{
    return d->client;
}

int ConversionEngine::segmentCount() const
{
    return d->segments;
}

QStringList ConversionEngine::segmentFileList() const
{
    return d->pendingSegments;
}

int ConversionEngine::parallelRequests() const
{
    return d->requestsAtOnce;
}

QString ConversionEngine::runFolder() const
{
    return d->folder ? d->folder->path() : QString();
}

int ConversionEngine::requestBoundMs(const Options &options)
{
    return SpeechClient::requestBoundMs(options.service, options.requestTimeoutMs);
}

void ConversionEngineTestAccess::deliverReply(ConversionEngine *engine, int id, const QByteArray &body)
{
    SpeechClientTestAccess::deliver(engine->d->requests.value(SpeechProtocol::segmentOfRequest(id)), body);
}

void ConversionEngineTestAccess::deliverError(ConversionEngine *engine, int id)
{
    SpeechClientTestAccess::deliver(engine->d->requests.value(SpeechProtocol::segmentOfRequest(id)), QByteArray());
}

ConversionEnginePrivate::ConversionEnginePrivate(
    ConversionEngine *engine, const ConversionEngine::Options &options, SpeechClient *sharedClient)
    : q(engine)
    , opts(options)
    , runOpts(options)
    , client(sharedClient ? sharedClient : new SpeechClient({options.service, options.appDir, 0}, this))
    , stallWatch(new QTimer(this))
{
    speakerWatch = new QFutureWatcher<SpeakerAnalysis::Result>(this);
    createProcesses();
    stallWatch->setSingleShot(true);
    connect(stallWatch, &QTimer::timeout, this, &ConversionEnginePrivate::onStalled);
    connect(client, &SpeechClient::ready, this, &ConversionEnginePrivate::onClientReady);
    connect(client, &SpeechClient::serviceStopped, this, &ConversionEnginePrivate::onSpeechServiceStopped);
}

ConversionEnginePrivate::~ConversionEnginePrivate()
{
    // Nothing of a run under way may report any more: neither its children nor its replies.
    client->disconnect(this);
    for (QObject *child : children())
        child->disconnect(this);
    ++runGeneration;
    abortUploads();
    killProcesses();
    for (QProcess *process : {probe, transcoder, cutter})
        process->waitForFinished(2000);
    cancelSpeakers();
    speakerWatch->waitForFinished();
    folder.reset();
}

void ConversionEnginePrivate::useClientOptions(const ConversionEngine::Options &options)
{
    SpeechClient::Options clientOptions = client->options();
    clientOptions.service = options.service;
    clientOptions.appDir = options.appDir;
    clientOptions.requestTimeoutMs = options.requestTimeoutMs;
    client->setOptions(clientOptions);
}

void ConversionEnginePrivate::advance()
{
    if (!nextTask || nextTask().isEmpty()) {
        // The list can also have been emptied while the service or the token was on its way.
        endRun(Outcome::NothingToConvert, false);
        return;
    }
    if (!serviceChecked) {
        step = Step::CheckingService;
        setProgress(client->hasToken() ? Stage::Starting : Stage::Authenticating);
        checkSpeechService();
        return;
    }
    setProgress(Stage::Starting);
    startFile();
}

void ConversionEnginePrivate::endRun(Outcome outcome, bool fileStarted)
{
    RunEnd end;
    end.outcome = outcome;
    end.fileWasStarted = fileStarted;
    if (fileStarted)
        end.task = fileRun.taskPath;
    endRun(end);
}

void ConversionEnginePrivate::endRun(RunEnd end)
{
    // A new generation first: whatever the old run left under way is stale from here on.
    ++runGeneration;
    step = Step::Idle;
    stallWatch->stop();
    serviceStalled = false;
    killProcesses();
    cancelSpeakers();
    // Only what this run made: its own folder.
    folder.reset();
    abortUploads();
    nextTask = nullptr;
    if (end.outcome != Outcome::Stopped) {
        end.renamed = renamed;
        end.speakersNotes = speakersNotes;
    }
    // Last: the presenter may show a message in a loop of its own, or start the next run at once.
    emit q->runEnded(end);
}

void ConversionEnginePrivate::setProgress(Stage stage, int retrySeconds)
{
    ConversionEngine::Progress progress;
    progress.stage = stage;
    progress.task = fileRun.taskPath;
    progress.segmentsDone = fileRun.progress.doneCount();
    progress.segmentCount = segments;
    progress.retrySeconds = retrySeconds;
    emit q->progressChanged(progress);
}

QString ConversionEnginePrivate::documentFolder() const
{
    return runOpts.documentDir.isEmpty() ? DataPaths::documents(runOpts.dataDir) : runOpts.documentDir;
}

QString ConversionEnginePrivate::progressRecordPath(const QString &taskPath) const
{
    return RunProgress::recordPath(DataPaths::progressRecords(runOpts.dataDir), taskPath);
}

bool ConversionEnginePrivate::prepareRunFolder()
{
    if (folder) {
        clearFolder();
        return true;
    }
    // What no living run owns goes: folders of runs that died, loose files of older versions.
    RunFolder::clearAbandoned(tmpFolder());
    folder = std::make_unique<RunFolder>(tmpFolder());
    if (folder->isValid())
        return true;
    folder.reset();
    return false;
}

void ConversionEnginePrivate::clearFolder()
{
    folder->clear();
}

void ConversionEnginePrivate::startFile()
{
    const QString task = nextTask();
    if (task.isEmpty()) {
        endRun(fileWasStarted ? Outcome::AllConverted : Outcome::NothingToConvert, fileWasStarted);
        return;
    }
    if (!prepareRunFolder()) {
        endPreparation(QByteArray());
        return;
    }
    // A folder or a named pipe is there but is no regular file: the reason says so.
    const bool exists = QFileInfo::exists(task);
    if (!exists || !LibraryPaths::unreadableReason(task, task).isEmpty()) {
        RunEnd end;
        end.outcome = exists ? Outcome::TaskUnreadable : Outcome::TaskMissing;
        end.fileWasStarted = true;
        end.task = task;
        emit q->taskMissing(task);
        endRun(end);
        return;
    }
    fileRun = FileRun();
    fileRun.taskPath = task;
    fileRun.sourcePath = task;
    fileWasStarted = true;
    step = Step::Preparing;
    emit q->fileStarted(task);
    convertAudioFormat();
}

void ConversionEnginePrivate::finishFile()
{
    const QString task = fileRun.taskPath;
    if (!fileRun.progress.anyText()) {
        // Not one segment held speech: there is nothing to keep, and no empty document is written.
        QFile::remove(progressRecordPath(task));
        RunEnd end;
        end.outcome = Outcome::ServiceError;
        end.errNo = SpeechErrors::NoSpeech;
        end.fileWasStarted = true;
        end.task = task;
        endRun(end);
        return;
    }
    QVector<QVector<TimedSentence>> sentences;
    QVector<qint64> starts;
    for (int k = 0; k < segments; ++k) {
        sentences << fileRun.progress.sentences(k);
        starts << segmentStartMs(k);
    }
    if (runOpts.speakers >= 0 && !fileRun.speakersDone) {
        if (!fileRun.speakersAnalysing)
            analyseSpeakers(Timings::recordFor(task, QString(), sentences, starts).sentences);
        return;
    }
    const TranscriptWriter::Written written = TranscriptWriter::write(runOpts.dataDir, documentFolder(), task,
        fileRun.progress.texts(), sentences, starts, runDocuments, &fileRun.speakers);
    const QString documentPath = written.path;
    if (!written.ok) {
        RunEnd end;
        end.outcome = Outcome::DocumentNotSaved;
        end.fileWasStarted = true;
        end.task = task;
        end.path = documentPath;
        end.detail = written.error;
        endRun(end);
        return;
    }
    runDocuments.insert(documentPath);
    const bool divert = documentPath != written.namedPath;
    if (divert)
        renamed.append({written.namedPath, documentPath});
    QFile::remove(progressRecordPath(task));
    if (!fileRun.transcodedPath.isEmpty())
        QFile::remove(fileRun.transcodedPath);
    fileRun = FileRun();
    const quint64 generation = runGeneration;
    emit q->documentWritten(task, documentPath, divert);
    if (generation == runGeneration)
        startFile();
}

qint64 ConversionEnginePrivate::segmentStartMs(int segment) const
{
    return segment <= 0 ? 0 : fileRun.cuts.value(segment - 1, fileRun.durationCentis) * 10;
}

qint64 ConversionEnginePrivate::segmentLengthMs(int segment) const
{
    const bool last = segment >= fileRun.cuts.size();
    const qint64 end = last ? fileRun.durationCentis * 10 : fileRun.cuts.at(segment) * 10;
    return std::max<qint64>(0, end - segmentStartMs(segment));
}

void ConversionEnginePrivate::sendPending()
{
    if (step != Step::Uploading)
        return;
    showUploadProgress();
    // pendingSegments keeps every segment until it is recognised; those not yet in flight go next.
    for (int i = 0; i < pendingSegments.size() && uploads.size() < requestsAtOnce; ++i) {
        const int segment = AudioPrep::segmentIndexOf(pendingSegments.at(i));
        if (!uploads.contains(segment))
            sendSegment(segment, pendingSegments.at(i));
    }
    // Held once it has begun the segment after those waiting, so that one is ready when a request ends.
    pauseCutter(segmentIndex < segments && pendingSegments.size() >= requestsAtOnce
        && QFile::exists(AudioPrep::segmentPathIn(q->runFolder(), segmentIndex)));
    if (pendingSegments.isEmpty() && segmentIndex >= segments)
        finishFile();
}

void ConversionEnginePrivate::showUploadProgress()
{
    // The waiting notice stays until the service answers again, whatever else the run gets on with.
    if (serviceStalled)
        return;
    setProgress(Stage::Transcribing);
}

void ConversionEnginePrivate::sendSegment(int segment, const QString &path)
{
    uploads.insert(segment, path);
    if (!stallWatch->isActive())
        stallWatch->start(runOpts.stallNoticeMs);
    SpeechProtocol::RecognitionOptions base;
    base.machineId = runOpts.machineId;
    base.language = runLanguage;
    base.words = runWords;
    base.voiceTransform = runVoice;
    SpeechRequest *request = client->recognise(
        path, QByteArray(), base, segmentLengthMs(segment), runOpts.retryPauseUnitMs, /*randomPause=*/true);
    requests.insert(segment, request);
    connect(request, &SpeechRequest::retrying, this, [this](int seconds) {
        answered();
        setProgress(Stage::Retrying, seconds);
    });
    connect(request, &SpeechRequest::finished, this, [this, segment, request](const SpeechResult &result) {
        if (requests.value(segment) != request)
            return;
        requests.remove(segment);
        answered();
        onSegmentDone(segment, result);
    });
}

void ConversionEnginePrivate::answered()
{
    serviceStalled = false;
    // Any answer is progress: the wait for the next one starts afresh.
    if (requests.isEmpty())
        stallWatch->stop();
    else
        stallWatch->start(runOpts.stallNoticeMs);
}

void ConversionEnginePrivate::onStalled()
{
    if (!isRunning() || requests.isEmpty())
        return;
    serviceStalled = true;
    setProgress(Stage::Waiting);
}

void ConversionEnginePrivate::onSegmentDone(int segment, const SpeechResult &result)
{
    if (!isRunning() || !uploads.contains(segment))
        return;
    if (result.kind != SpeechResult::Answered) {
        endWithSpeechFailure(result, true);
        return;
    }
    using Outcome = SpeechProtocol::RecognitionOutcome;
    const Outcome &outcome = result.outcome;
    // One segment without speech (a long pause, a silent ending) adds no text; the file goes on. The last
    // of several segments holds what remains after the whole minutes, possibly a fraction of a second:
    // "too short" for it means no words, not a file that cannot be converted.
    const bool noWords = outcome.kind == Outcome::Fail
        && (outcome.errNo == SpeechErrors::NoSpeech
            || (outcome.errNo == SpeechErrors::AudioTooShort && segments > 1 && segment == segments - 1));
    if (outcome.kind == Outcome::Success || noWords) {
        keepSegmentText(segment, outcome);
        sendPending();
        return;
    }
    RunEnd end;
    end.fileWasStarted = true;
    end.task = fileRun.taskPath;
    end.errNo = outcome.errNo;
    end.detail = outcome.errNoText;
    end.outcome = outcome.kind == Outcome::Fail ? ConversionEngine::Outcome::ServiceError
        : outcome.kind == Outcome::Ignored      ? ConversionEngine::Outcome::UnknownErrNo
                                                : ConversionEngine::Outcome::UnparsableReply;
    endRun(end);
}

void ConversionEnginePrivate::keepSegmentText(int segment, const SpeechProtocol::RecognitionOutcome &outcome)
{
    const QString path = uploads.take(segment);
    pendingSegments.removeOne(path);
    const bool hasText = outcome.kind == SpeechProtocol::RecognitionOutcome::Success && outcome.hasText;
    const bool inOrder = fileRun.progress.texts().size() == fileRun.progress.textsBefore(segment);
    const qint64 lengthMs = segmentLengthMs(segment);
    fileRun.progress.setDone(segment, hasText, outcome.text);
    fileRun.progress.setSentences(
        segment, hasText ? SpeechProtocol::sentencesOrWholeSegment(outcome, lengthMs) : QVector<TimedSentence>());
    if (hasText && inOrder)
        emit q->segmentRecognised(outcome.text);
    else if (hasText)
        emit q->transcriptReplaced(fileRun.progress.texts()); // the view keeps segment order, as the document does
    // The first segment's text may come back before the plan is known: it is kept once it is.
    if (!fileRun.headOnly)
        keepRecord();
    QFile::remove(path);
    if (!fileRun.headOnly)
        emit q->fileProgress(fileRun.taskPath, fileRun.progress.doneCount(), segments);
}

void ConversionEnginePrivate::keepRecord()
{
    // Kept after every segment, so that a stop, a failure or a crash costs only the segments under way.
    // A record that cannot be written costs a resume, not the run.
    const QString record = progressRecordPath(fileRun.taskPath);
    QDir().mkpath(QFileInfo(record).path());
    AtomicFile::write(record, fileRun.progress.toJson(), nullptr);
}

void ConversionEnginePrivate::abortUploads()
{
    const auto under = requests;
    requests.clear();
    uploads.clear();
    for (const QPointer<SpeechRequest> &request : under) {
        if (request)
            request->abort();
    }
}
