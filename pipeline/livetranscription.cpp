#include "pipeline/livetranscription.h"

#include "library/librarypaths.h"
#include "pipeline/document.h"
#include "pipeline/localspeechservice.h"
#include "pipeline/networkfailure.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"
#include "pipeline/transcriptwriter.h"
#include "pipeline/voiceprofile.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QtEndian>

namespace {
constexpr int tokenTimeoutMs = 8000;
constexpr int serviceEndGraceMs = 500;
// The decoder may put a last word's end a few frames past the audio's end: no malformed reply.
constexpr qint64 replyMarginMs = 100;
} // namespace

GrowingWav::GrowingWav(const QString &path)
    : file(path)
{ }

QByteArray GrowingWav::readNew()
{
    if (!file.isOpen() && !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QByteArray();
    if (readPos < 0) {
        file.seek(0);
        const QByteArray head = file.read(4096);
        if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
            return QByteArray();
        // ffmpeg puts a LIST chunk before "data"; the sizes are placeholders until it finishes.
        int at = 12;
        while (at + 8 <= head.size()) {
            const quint32 size = qFromLittleEndian<quint32>(head.constData() + at + 4);
            if (head.mid(at, 4) == "data") {
                readPos = at + 8;
                break;
            }
            at += 8 + int(size) + int(size & 1);
        }
        if (readPos < 0)
            return QByteArray();
    }
    const qint64 available = (file.size() - readPos) & ~qint64(1);
    if (available <= 0 || !file.seek(readPos))
        return QByteArray();
    const QByteArray bytes = file.read(available);
    readPos += bytes.size();
    return bytes;
}

LiveTranscription::LiveTranscription(
    const Options &options, LocalSpeechService *sharedService, QString *sharedToken, QObject *parent)
    : QObject(parent)
    , opts(options)
    , service(sharedService)
    , token(sharedToken)
    , http(new QtHttpClass(this))
    , pollTimer(new QTimer(this))
    , tokenWait(new QTimer(this))
{
    connect(http, &QtHttpClass::sigReplyFinish, this, &LiveTranscription::onReply);
    connect(http, &QtHttpClass::sigReplyError, this, &LiveTranscription::onReplyError);
    connect(pollTimer, &QTimer::timeout, this, &LiveTranscription::poll);
    tokenWait->setSingleShot(true);
    connect(tokenWait, &QTimer::timeout, this, [this] { fail(tr("获取访问令牌超时。")); });
    if (service) {
        connect(service, &LocalSpeechService::ready, this, &LiveTranscription::onServiceReady);
        connect(service, &LocalSpeechService::stopped, this, [this] {
            if (active && connected)
                fail(tr("本机语音识别服务意外停止。"));
        });
    }
}

LiveTranscription::~LiveTranscription()
{
    for (QObject *child : children())
        child->disconnect(this);
    abortRequests();
}

void LiveTranscription::start(const QString &path, const QString &recognitionLanguage)
{
    ++generation;
    active = false;
    abortRequests();
    http->transferTimeoutMs = opts.requestTimeoutMs;
    http->setCaFile(opts.service.caFile);
    recordingPath = path;
    language = recognitionLanguage;
    words = UserWordList::read(opts.wordsFile.isEmpty() ? UserWordList::storedPath(opts.dataDir) : opts.wordsFile)
                .parsed.entries;
    voice = VoiceProfile::voiceOf(opts.dataDir);
    wav = std::make_unique<GrowingWav>(path);
    cutter = UtteranceCutter();
    pieces.clear();
    emitted = 0;
    samplesRead = 0;
    active = true;
    failed = false;
    connected = false;
    recordingOver = false;
    pollTimer->start(opts.pollMs);
    if (service && LocalSpeechService::isLocalDeployment(opts.service)) {
        waitingForService = true;
        service->ensureRunning();
    } else {
        waitingForService = true;
        onServiceReady(true);
    }
}

void LiveTranscription::poll()
{
    const QByteArray pcm = wav ? wav->readNew() : QByteArray();
    if (pcm.isEmpty())
        return;
    samplesRead += pcm.size() / 2;
    take(cutter.feed(pcm));
}

void LiveTranscription::take(const QVector<UtteranceCutter::Utterance> &utterances)
{
    for (const UtteranceCutter::Utterance &utterance : utterances) {
        Piece piece;
        piece.startMs = utterance.startMs();
        piece.lengthMs = utterance.lengthMs();
        piece.pcm = utterance.pcm;
        pieces.append(piece);
    }
    sendPending();
}

void LiveTranscription::onServiceReady(bool ok)
{
    if (!active || !waitingForService)
        return;
    waitingForService = false;
    if (!ok) {
        fail(tr("无法启动语音识别服务。"));
        return;
    }
    // A service started anew knows nothing of the tokens an earlier one issued.
    if (service && service->startedNewChild())
        token->clear();
    if (token->isEmpty()) {
        http->httpGet(SpeechProtocol::TokenRequest, opts.service.tokenUrl());
        tokenWait->start(tokenTimeoutMs);
        return;
    }
    connected = true;
    sendPending();
}

void LiveTranscription::sendPending()
{
    if (!connected || failed)
        return;
    for (int i = 0; i < pieces.size() && inFlight < opts.requestsAtOnce; ++i) {
        if (!pieces.at(i).sent)
            send(i);
    }
}

void LiveTranscription::send(int index)
{
    Piece &piece = pieces[index];
    piece.sent = true;
    ++inFlight;
    http->httpPost(SpeechProtocol::recognitionRequestId(index), opts.service.recognitionUrl(),
        SpeechProtocol::buildRecognitionBodyOf(
            SpeechProtocol::wavOfPcm(piece.pcm), *token, opts.machineId, language, words, voice));
}

void LiveTranscription::onReply(int id, const QByteArray &body)
{
    if (!active || failed)
        return;
    if (id == SpeechProtocol::TokenRequest) {
        tokenWait->stop();
        const SpeechProtocol::TokenReply reply = SpeechProtocol::decodeTokenReply(body);
        if (!reply.ok || reply.accessToken.isEmpty()) {
            fail(tr("获取访问令牌失败。"));
            return;
        }
        *token = reply.accessToken;
        connected = true;
        sendPending();
        return;
    }
    const int index = SpeechProtocol::segmentOfRequest(id);
    if (index < 0 || index >= pieces.size() || !pieces.at(index).sent || pieces.at(index).done)
        return;
    --inFlight;
    onRecognised(index, body);
}

void LiveTranscription::onRecognised(int index, const QByteArray &body)
{
    const qint64 lengthMs = pieces.at(index).lengthMs;
    const SpeechProtocol::RecognitionOutcome outcome
        = SpeechProtocol::decodeRecognitionReply(body, lengthMs + replyMarginMs);
    using Outcome = SpeechProtocol::RecognitionOutcome;
    // A cough or a click between sentences is an utterance without words, no failure.
    const bool noWords = outcome.kind == Outcome::Fail
        && (outcome.errNo == SpeechErrors::NoSpeech || outcome.errNo == SpeechErrors::AudioTooShort);
    if (outcome.kind == Outcome::Retry) {
        const quint64 sentBy = generation;
        QTimer::singleShot(opts.retryPauseMs, this, [this, sentBy, index] {
            if (sentBy != generation || failed || !active)
                return;
            send(index);
        });
        return;
    }
    if (outcome.kind != Outcome::Success && !noWords) {
        if (outcome.errNo == SpeechErrors::AuthenticationFailed)
            token->clear();
        if (outcome.kind == Outcome::Fail)
            fail(outcome.message);
        else if (outcome.kind == Outcome::Ignored)
            fail(tr("语音服务器返回了无法识别的错误码 %1。").arg(outcome.errNoText));
        else
            fail(tr("语音服务器的应答无法解析。"));
        return;
    }
    Piece &piece = pieces[index];
    piece.done = true;
    piece.pcm.clear();
    if (outcome.kind == Outcome::Success && outcome.hasText) {
        piece.text = outcome.text;
        piece.sentences = SpeechProtocol::sentencesOrWholeSegment(outcome, lengthMs);
    }
    emitInOrder();
    sendPending();
    endIfDone();
}

void LiveTranscription::emitInOrder()
{
    while (emitted < pieces.size() && pieces.at(emitted).done) {
        const Piece &piece = pieces.at(emitted++);
        if (!piece.text.isEmpty())
            emit textRecognised(piece.text, piece.startMs + piece.lengthMs);
    }
}

void LiveTranscription::onReplyError(int id, const QByteArray &)
{
    if (!active || failed)
        return;
    if (service && service->childEnded(serviceEndGraceMs)) {
        fail(tr("本机语音识别服务意外停止。"));
        return;
    }
    fail(SpeechProtocol::networkFailureMessage(id, http->lastFailure()));
}

void LiveTranscription::fail(const QString &reason)
{
    if (failed || !active)
        return;
    failed = true;
    tokenWait->stop();
    pollTimer->stop();
    abortRequests();
    if (recordingOver) {
        endIfDone();
        return;
    }
    emit interrupted(tr("边录边转已停止。%1\n录音仍在继续，不受影响；已识别的文字保留在文本区。录音结束后，"
                        "可以在录音列表中照常转换这段录音。")
                         .arg(reason));
}

void LiveTranscription::finish()
{
    if (!active)
        return;
    recordingOver = true;
    pollTimer->stop();
    if (!failed) {
        poll();
        take(cutter.finish());
    }
    endIfDone();
}

void LiveTranscription::endIfDone()
{
    if (!recordingOver || !active)
        return;
    if (!failed) {
        for (const Piece &piece : qAsConst(pieces)) {
            if (!piece.done)
                return;
        }
    }
    active = false;
    QString message;
    writeDocument(&message);
    emit ended(message);
}

bool LiveTranscription::writeDocument(QString *message)
{
    QStringList texts;
    QVector<QVector<TimedSentence>> sentences;
    QVector<qint64> starts;
    // Only what the view shows: text in order, up to the first utterance still unanswered.
    for (int i = 0; i < emitted; ++i) {
        if (pieces.at(i).text.isEmpty())
            continue;
        texts << pieces.at(i).text;
        sentences << pieces.at(i).sentences;
        starts << pieces.at(i).startMs;
    }
    if (texts.isEmpty())
        return false;
    const TranscriptWriter::Written written
        = TranscriptWriter::write(opts.dataDir, opts.documentDir, recordingPath, texts, sentences, starts, {});
    if (!written.ok) {
        emit documentNotWritten(
            recordingPath, written.path, Timings::recordFor(recordingPath, Document::textOf(texts), sentences, starts));
        if (message)
            *message = tr("无法保存文本文档“%1”（%2）。录音已保存，可以在录音列表中照常转换这段录音。")
                           .arg(LibraryPaths::fileName(written.path), written.error);
        return false;
    }
    emit documentWritten(recordingPath, written.path);
    return true;
}

void LiveTranscription::finishForClose()
{
    if (!active)
        return;
    pollTimer->stop();
    active = false;
    abortRequests();
    const QSignalBlocker quiet(this);
    writeDocument(nullptr);
}

QStringList LiveTranscription::texts() const
{
    QStringList shown;
    for (int i = 0; i < emitted; ++i) {
        if (!pieces.at(i).text.isEmpty())
            shown << pieces.at(i).text;
    }
    return shown;
}

void LiveTranscription::abortRequests()
{
    inFlight = 0;
    for (QNetworkReply *reply : http->manager->findChildren<QNetworkReply *>()) {
        if (reply->isRunning())
            reply->abort();
    }
}
