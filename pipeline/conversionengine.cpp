#include "pipeline/conversionengine.h"

#include "library/atomicfile.h"
#include "library/librarypaths.h"
#include "pipeline/audioprep.h"
#include "pipeline/document.h"
#include "pipeline/localspeechservice.h"
#include "pipeline/networkfailure.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/runfolder.h"
#include "pipeline/timings.h"
#include "pipeline/transcriptwriter.h"
#include "pipeline/voiceprofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <cstdlib>

namespace {
const QString englishLanguage = QStringLiteral("英文");
}

ConversionEngine::ConversionEngine(const Options &options, QObject *parent)
    : QObject(parent)
    , opts(options)
    , runOpts(options)
    , http(new QtHttpClass(this))
    , tokenWait(new QTimer(this))
    , stallWatch(new QTimer(this))
{
    bodyBuilder.setMaxThreadCount(1);
    speakerWatch = new QFutureWatcher<SpeakerAnalysis::Result>(this);
    createProcesses();
    connect(http, &QtHttpClass::sigReplyFinish, this, &ConversionEngine::slotReadJson);
    connect(http, &QtHttpClass::sigReplyError, this, &ConversionEngine::slotReadJsonError);
    connect(tokenWait, &QTimer::timeout, this, &ConversionEngine::sltTokenTimeout);
    stallWatch->setSingleShot(true);
    connect(stallWatch, &QTimer::timeout, this, &ConversionEngine::onStalled);
}

ConversionEngine::~ConversionEngine()
{
    // Nothing of a run under way may report any more: neither its children nor its replies.
    for (QObject *child : children())
        child->disconnect(this);
    ++runGeneration;
    killProcesses();
    for (QProcess *process : {probe, transcoder, cutter})
        process->waitForFinished(2000);
    cancelSpeakers();
    speakerWatch->waitForFinished();
    folder.reset();
}

void ConversionEngine::setOptions(const Options &options)
{
    opts = options;
}

QString ConversionEngine::allConvertedMessage()
{
    return tr("文件已经全部转换完成！");
}

QString ConversionEngine::languageRefusal(const QString &language) const
{
    if (!LocalSpeechService::isLocalDeployment(opts.service) || language == englishLanguage)
        return QString();
    return tr("本机自带的离线语音服务只能识别英文。请选择“英文”，或配置在线语音服务后再转换其他语言。");
}

int ConversionEngine::requestBoundMs(const Options &options)
{
    if (options.requestTimeoutMs > 0)
        return options.requestTimeoutMs;
    return LocalSpeechService::isLocalDeployment(options.service) ? localRequestBoundMs : remoteRequestBoundMs;
}

bool ConversionEngine::start(const QString &language, NextTask tasks)
{
    if (isRunning() || !languageRefusal(language).isEmpty())
        return false;
    ++runGeneration;
    runOpts = opts;
    runLanguage = language;
    runWords = UserWordList::read(
        runOpts.wordsFile.isEmpty() ? UserWordList::storedPath(runOpts.dataDir) : runOpts.wordsFile)
                   .parsed.entries;
    runVoice = VoiceProfile::voiceOf(runOpts.dataDir);
    nextTask = std::move(tasks);
    fileRun = FileRun();
    runDocuments.clear();
    divertedNotes.clear();
    http->transferTimeoutMs = requestBoundMs(runOpts);
    serviceChecked = false;
    fileWasStarted = false;
    stage = Stage::CheckingService;
    advance();
    return true;
}

void ConversionEngine::stop()
{
    endRun(QString());
}

void ConversionEngine::advance()
{
    if (!nextTask || nextTask().isEmpty()) {
        // The list can also have been emptied while the service or the token was on its way.
        endRun(tr("请先添加需要转换的文件！"), false);
        return;
    }
    if (!serviceChecked) {
        stage = Stage::CheckingService;
        setProgress(token.isEmpty() ? tr("认证中...") : tr("转换中..."));
        checkSpeechService();
        return;
    }
    if (token.isEmpty()) {
        stage = Stage::Token;
        setProgress(tr("认证中..."));
        requestToken();
        return;
    }
    setProgress(tr("转换中..."));
    startFile();
}

void ConversionEngine::endRun(const QString &message, bool fileStarted)
{
    // A new generation first: whatever the old run left under way is stale from here on.
    ++runGeneration;
    stage = Stage::Idle;
    tokenWait->stop();
    stallWatch->stop();
    serviceStalled = false;
    killProcesses();
    cancelSpeakers();
    // Only what this run made: its own folder.
    folder.reset();
    uploads.clear();
    if (!requestsInFlight.isEmpty()) {
        requestsInFlight.clear();
        for (QNetworkReply *reply : http->manager->findChildren<QNetworkReply *>()) {
            if (reply->isRunning())
                reply->abort();
        }
    }
    nextTask = nullptr;
    QString said = message;
    if (!said.isEmpty() && !divertedNotes.isEmpty())
        said += QLatin1Char('\n') + divertedNotes.join(QLatin1Char('\n'));
    // Last: the presenter may show a message in a loop of its own, or start the next run at once.
    emit runEnded(said, fileStarted);
}

void ConversionEngine::setProgress(const QString &text)
{
    emit progressText(text);
}

QString ConversionEngine::documentFolder() const
{
    return runOpts.documentDir.isEmpty() ? runOpts.dataDir + QStringLiteral("/myWordFiles") : runOpts.documentDir;
}

QString ConversionEngine::progressRecordPath(const QString &taskPath) const
{
    return RunProgress::recordPath(runOpts.dataDir + QStringLiteral("/.quillora/progress"), taskPath);
}

QString ConversionEngine::runFolder() const
{
    return folder ? folder->path() : QString();
}

bool ConversionEngine::prepareRunFolder()
{
    if (folder) {
        folder->clear();
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

void ConversionEngine::startFile()
{
    const QString task = nextTask();
    if (task.isEmpty()) {
        endRun(fileWasStarted ? allConvertedMessage() : tr("请先添加需要转换的文件！"), fileWasStarted);
        return;
    }
    if (!prepareRunFolder()) {
        endPreparation(QByteArray());
        return;
    }
    // A folder or a named pipe is there but is no file: the next check says so.
    if (!QFileInfo::exists(task)) {
        emit taskMissing(task);
        endRun(
            tr("找不到文件“%1”，它可能已被移动或删除，已将其从任务列表中移除。").arg(QDir::toNativeSeparators(task)));
        return;
    }
    const QString unreadable = LibraryPaths::unreadableReason(task, QDir::toNativeSeparators(task));
    if (!unreadable.isEmpty()) {
        emit taskMissing(task);
        endRun(unreadable + tr("已将其从任务列表中移除。"));
        return;
    }
    fileRun = FileRun();
    fileRun.taskPath = task;
    fileRun.sourcePath = task;
    fileWasStarted = true;
    stage = Stage::Preparing;
    emit fileStarted(task);
    convertAudioFormat();
}

void ConversionEngine::finishFile()
{
    const QString task = fileRun.taskPath;
    if (!fileRun.progress.anyText()) {
        // Not one segment held speech: there is nothing to keep, and no empty document is written.
        QFile::remove(progressRecordPath(task));
        endRun(SpeechProtocol::failMessageForErrNo(SpeechErrors::NoSpeech));
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
        endRun(tr("无法保存文本文档“%1”（%2），该文件仍保留在任务列表中。")
                   .arg(LibraryPaths::fileName(documentPath), written.error));
        return;
    }
    runDocuments.insert(documentPath);
    if (documentPath != written.namedPath)
        divertedNotes << Document::keptNotice(written.namedPath, documentPath);
    QFile::remove(progressRecordPath(task));
    if (!fileRun.transcodedPath.isEmpty())
        QFile::remove(fileRun.transcodedPath);
    fileRun = FileRun();
    const quint64 generation = runGeneration;
    emit documentWritten(task, documentPath);
    if (generation == runGeneration)
        startFile();
}

qint64 ConversionEngine::segmentStartMs(int segment) const
{
    return segment <= 0 ? 0 : fileRun.cuts.value(segment - 1, fileRun.durationCentis) * 10;
}

qint64 ConversionEngine::segmentLengthMs(int segment) const
{
    const bool last = segment >= fileRun.cuts.size();
    const qint64 end = last ? fileRun.durationCentis * 10 : fileRun.cuts.at(segment) * 10;
    return std::max<qint64>(0, end - segmentStartMs(segment));
}

void ConversionEngine::sendPending()
{
    if (stage != Stage::Uploading)
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
        && QFile::exists(AudioPrep::segmentPathIn(runFolder(), segmentIndex)));
    if (pendingSegments.isEmpty() && segmentIndex >= segments)
        finishFile();
}

void ConversionEngine::showUploadProgress()
{
    // The waiting notice stays until the service answers again, whatever else the run gets on with.
    if (serviceStalled)
        return;
    const int done = fileRun.progress.doneCount();
    setProgress(tr("转写:%1%").arg(AudioPrep::percentText(done, segments)));
}

void ConversionEngine::sendSegment(int segment, const QString &path)
{
    uploads.insert(segment, path);
    const quint64 generation = runGeneration;
    auto *built = new QFutureWatcher<QByteArray>(this);
    connect(built, &QFutureWatcherBase::finished, this, [this, built, generation, segment] {
        const QByteArray body = built->result();
        built->deleteLater();
        // A body of a run that has ended, or of a segment no longer waiting to be sent, is dropped.
        if (generation == runGeneration && isRunning() && uploads.contains(segment))
            sendRequest(SpeechProtocol::recognitionRequestId(segment), body);
    });
    // Copies for the builder's thread: the run's members may change while it works.
    built->setFuture(QtConcurrent::run(&bodyBuilder,
        [path, token = token, machineId = runOpts.machineId, language = runLanguage, words = runWords,
            voice = runVoice] {
            return SpeechProtocol::buildRecognitionBody(path, token, machineId, language, words, voice);
        }));
}

void ConversionEngine::sendRequest(int id, const QByteArray &body)
{
    requestsInFlight.insert(id, runGeneration);
    if (!stallWatch->isActive())
        stallWatch->start(runOpts.stallNoticeMs);
    if (id == SpeechProtocol::TokenRequest)
        http->httpGet(id, runOpts.service.tokenUrl());
    else if (id == SpeechProtocol::HealthRequest)
        http->httpGet(id, runOpts.service.healthUrl());
    else
        http->httpPost(id, runOpts.service.recognitionUrl(), body);
}

bool ConversionEngine::takeCurrentReply(int id)
{
    const auto request = requestsInFlight.constFind(id);
    if (request == requestsInFlight.cend() || request.value() != runGeneration || !isRunning())
        return false;
    requestsInFlight.erase(request);
    serviceStalled = false;
    // Any answer is progress: the wait for the next one starts afresh.
    if (requestsInFlight.isEmpty())
        stallWatch->stop();
    else
        stallWatch->start(runOpts.stallNoticeMs);
    return true;
}

void ConversionEngine::onStalled()
{
    if (!isRunning() || requestsInFlight.isEmpty())
        return;
    serviceStalled = true;
    setProgress(tr("等待语音服务响应..."));
}

void ConversionEngine::slotReadJson(int id, const QByteArray &body)
{
    if (!takeCurrentReply(id))
        return;
    if (id == SpeechProtocol::TokenRequest) {
        onTokenReply(body);
        return;
    }
    if (id == SpeechProtocol::HealthRequest) {
        onHealthReply(body);
        return;
    }
    const int segment = SpeechProtocol::segmentOfRequest(id);
    if (!uploads.contains(segment))
        return;

    // The decoder may put a last word's end a few frames past a segment's end (and the probe truncates the
    // duration to hundredths): that much is no malformed reply.
    const qint64 margin = 100;
    const SpeechProtocol::RecognitionOutcome outcome
        = SpeechProtocol::decodeRecognitionReply(body, segmentLengthMs(segment) + margin);
    switch (segmentOutcome(segment, outcome)) {
    case SpeechProtocol::RecognitionOutcome::Success:
        keepSegmentText(segment, outcome);
        sendPending();
        break;
    case SpeechProtocol::RecognitionOutcome::Retry:
        retrySegment(segment);
        break;
    case SpeechProtocol::RecognitionOutcome::Fail:
        // A rejected token is useless to every later run: ask for a new one next time.
        if (outcome.errNo == SpeechErrors::AuthenticationFailed)
            token.clear();
        endRun(outcome.message);
        break;
    case SpeechProtocol::RecognitionOutcome::Ignored:
        endRun(tr("语音服务器返回了无法识别的错误码 %1，转换已停止！").arg(outcome.errNoText));
        break;
    case SpeechProtocol::RecognitionOutcome::Unparsable:
        endRun(tr("语音服务器的应答无法解析，转换已停止！"));
        break;
    }
}

void ConversionEngine::retrySegment(int segment)
{
    // The segment keeps its place among those in flight and is sent again alone after the pause;
    // the others go on meanwhile.
    const int seconds = std::rand() % 10 + 1;
    setProgress(tr("重申请: %1秒").arg(seconds));
    const quint64 generation = runGeneration;
    QTimer::singleShot(seconds * runOpts.retryPauseUnitMs, this, [this, generation, segment] {
        if (!isRunning() || generation != runGeneration || !uploads.contains(segment))
            return;
        showUploadProgress();
        sendSegment(segment, uploads.value(segment));
    });
}

SpeechProtocol::RecognitionOutcome::Kind ConversionEngine::segmentOutcome(
    int segment, const SpeechProtocol::RecognitionOutcome &outcome) const
{
    if (outcome.kind != SpeechProtocol::RecognitionOutcome::Fail)
        return outcome.kind;
    // One segment without speech (a long pause, a silent ending) adds no text; the file goes on.
    if (outcome.errNo == SpeechErrors::NoSpeech)
        return SpeechProtocol::RecognitionOutcome::Success;
    // The last of several segments holds what remains after the whole minutes, possibly a fraction of a
    // second: "too short" for it means no words, not a file that cannot be converted.
    if (outcome.errNo == SpeechErrors::AudioTooShort && segments > 1 && segment == segments - 1)
        return SpeechProtocol::RecognitionOutcome::Success;
    return outcome.kind;
}

void ConversionEngine::keepSegmentText(int segment, const SpeechProtocol::RecognitionOutcome &outcome)
{
    const QString path = uploads.take(segment);
    pendingSegments.removeOne(path);
    const bool hasText = outcome.kind == SpeechProtocol::RecognitionOutcome::Success && outcome.hasText;
    const bool inOrder = fileRun.progress.texts().size() == fileRun.progress.textsBefore(segment);
    fileRun.progress.setDone(segment, hasText, outcome.text);
    fileRun.progress.setSentences(segment,
        hasText ? SpeechProtocol::sentencesOrWholeSegment(outcome, segmentLengthMs(segment))
                : QVector<TimedSentence>());
    if (hasText && inOrder)
        emit segmentRecognised(outcome.text);
    else if (hasText)
        emit transcriptReplaced(fileRun.progress.texts()); // the view keeps segment order, as the document does
    // The first segment's text may come back before the plan is known: it is kept once it is.
    if (!fileRun.headOnly)
        keepRecord();
    QFile::remove(path);
    if (!fileRun.headOnly)
        emit fileProgress(fileRun.taskPath, fileRun.progress.doneCount(), segments);
}

void ConversionEngine::keepRecord()
{
    // Kept after every segment, so that a stop, a failure or a crash costs only the segments under way.
    // A record that cannot be written costs a resume, not the run.
    const QString record = progressRecordPath(fileRun.taskPath);
    QDir().mkpath(QFileInfo(record).path());
    AtomicFile::write(record, fileRun.progress.toJson(), nullptr);
}

void ConversionEngine::slotReadJsonError(int id, const QByteArray &body)
{
    if (!takeCurrentReply(id))
        return;
    if (service && service->childEnded(serviceEndGraceMs)) {
        onSpeechServiceStopped();
        return;
    }
    const NetworkFailure &failure = http->lastFailure();
    if (failure.timedOut && LocalSpeechService::isLocalDeployment(runOpts.service))
        endRun(tr("本机语音识别服务在 %1 秒内没有响应，转换已停止，请稍后重新开始转换！").arg(failure.timeoutSeconds()),
            id != SpeechProtocol::TokenRequest && id != SpeechProtocol::HealthRequest);
    else if (id == SpeechProtocol::TokenRequest)
        endRun(SpeechProtocol::networkFailureMessage(id, http->lastFailure()), false);
    else if (id == SpeechProtocol::HealthRequest)
        onHealthReply(body); // a service still loading answers 503 with its worker count
    else
        endRun(SpeechProtocol::networkFailureMessage(id, http->lastFailure()));
}
