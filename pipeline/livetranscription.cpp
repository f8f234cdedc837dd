#include "pipeline/livetranscription.h"

#include "library/librarypaths.h"
#include "pipeline/document.h"
#include "pipeline/speechclient.h"
#include "pipeline/speechprotocol.h"
#include "pipeline/transcriptwriter.h"
#include "pipeline/voiceprofile.h"
#include "pipeline/wavformat.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

GrowingWav::GrowingWav(const QString &path)
    : file(path)
{ }

QByteArray GrowingWav::readNew()
{
    if (!file.isOpen() && !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QByteArray();
    if (readPos < 0) {
        // ffmpeg puts a LIST chunk before "data"; the sizes are placeholders until it finishes.
        const WavFormat::DataChunk data = WavFormat::findDataChunk(&file);
        if (!data.found)
            return QByteArray();
        readPos = data.start;
    }
    const qint64 available = (file.size() - readPos) & ~qint64(1);
    if (available <= 0 || !file.seek(readPos))
        return QByteArray();
    const QByteArray bytes = file.read(available);
    readPos += bytes.size();
    return bytes;
}

LiveTranscription::LiveTranscription(const Options &options, SpeechClient *sharedClient, QObject *parent)
    : QObject(parent)
    , opts(options)
    , client(sharedClient)
{
    connect(client, &SpeechClient::ready, this,
        [this](bool ok, int, const SpeechResult &failure) { onServiceReady(ok, failure); });
    connect(client, &SpeechClient::serviceStopped, this, [this] {
        if (active && connected)
            fail(tr("本机语音识别服务意外停止。"));
    });
}

LiveTranscription::~LiveTranscription()
{
    if (client)
        client->disconnect(this);
    abortRequests();
}

void LiveTranscription::start(const QString &path, const QString &recognitionLanguage)
{
    ++generation;
    active = false;
    abortRequests();
    SpeechClient::Options clientOptions = client->options();
    clientOptions.service = opts.service;
    clientOptions.requestTimeoutMs = opts.requestTimeoutMs;
    client->setOptions(clientOptions);
    recordingPath = path;
    recognition = SpeechProtocol::RecognitionOptions();
    recognition.machineId = opts.machineId;
    recognition.language = recognitionLanguage;
    recognition.words
        = UserWordList::read(opts.wordsFile.isEmpty() ? UserWordList::storedPath(opts.dataDir) : opts.wordsFile)
              .parsed.entries;
    recognition.voiceTransform = VoiceProfile::voiceOf(opts.dataDir);
    wav = std::make_unique<GrowingWav>(path);
    cutter = UtteranceCutter();
    pieces.clear();
    emitted = 0;
    samplesRead = 0;
    active = true;
    failed = false;
    connected = false;
    recordingOver = false;
    watchRecording();
    waitingForService = true;
    client->prepare(/*wantWorkers=*/false);
}

void LiveTranscription::watchRecording()
{
    delete watcher;
    // Told by the file system each time the recorder writes; the folder until the file is there.
    watcher = new QFileSystemWatcher({QFileInfo(recordingPath).absolutePath()}, this);
    connect(watcher, &QFileSystemWatcher::fileChanged, this, &LiveTranscription::poll);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &LiveTranscription::poll);
    poll();
}

void LiveTranscription::stopWatching()
{
    delete watcher;
    watcher = nullptr;
}

void LiveTranscription::poll()
{
    if (watcher && watcher->files().isEmpty() && QFile::exists(recordingPath))
        watcher->addPath(recordingPath);
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

void LiveTranscription::onServiceReady(bool ok, const SpeechResult &failure)
{
    if (!active || !waitingForService)
        return;
    waitingForService = false;
    if (!ok) {
        fail(failureReason(failure));
        return;
    }
    connected = true;
    sendPending();
}

void LiveTranscription::sendPending()
{
    if (!connected || failed)
        return;
    for (int i = 0; i < pieces.size() && requests.size() < opts.requestsAtOnce; ++i) {
        if (!pieces.at(i).sent)
            send(i);
    }
}

void LiveTranscription::send(int index)
{
    Piece &piece = pieces[index];
    piece.sent = true;
    SpeechRequest *sent = client->recognise(
        QString(), WavFormat::ofPcm(piece.pcm), recognition, piece.lengthMs, opts.retryPauseMs, /*randomPause=*/false);
    requests.insert(index, sent);
    const quint64 sentBy = generation;
    connect(sent, &SpeechRequest::finished, this, [this, index, sentBy](const SpeechResult &result) {
        if (sentBy != generation || !active || failed)
            return;
        requests.remove(index);
        onRecognised(index, result);
    });
}

void LiveTranscription::onRecognised(int index, const SpeechResult &result)
{
    if (index < 0 || index >= pieces.size() || pieces.at(index).done)
        return;
    if (result.kind != SpeechResult::Answered) {
        fail(failureReason(result));
        return;
    }
    const qint64 lengthMs = pieces.at(index).lengthMs;
    const SpeechProtocol::RecognitionOutcome &outcome = result.outcome;
    using Outcome = SpeechProtocol::RecognitionOutcome;
    // A cough or a click between sentences is an utterance without words, no failure.
    const bool noWords = outcome.kind == Outcome::Fail
        && (outcome.errNo == SpeechErrors::NoSpeech || outcome.errNo == SpeechErrors::AudioTooShort);
    if (outcome.kind != Outcome::Success && !noWords) {
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

QString LiveTranscription::failureReason(const SpeechResult &result) const
{
    switch (result.kind) {
    case SpeechResult::ServiceNotStarted:
        return result.portHeld.isEmpty() ? tr("无法启动语音识别服务。") : result.portHeld;
    case SpeechResult::ServiceStopped:
        return tr("本机语音识别服务意外停止。");
    case SpeechResult::ServiceLost:
        return tr("正在使用的本机语音识别服务已随启动它的程序退出，且无法另行启动。");
    case SpeechResult::TokenTimeout:
        return tr("获取访问令牌超时。");
    case SpeechResult::TokenUnparsable:
        return tr("获取访问令牌失败。");
    case SpeechResult::Answered:
        return tr("语音服务器的应答无法解析。");
    case SpeechResult::NetworkError:
    case SpeechResult::LocalTimeout:
        break;
    }
    return SpeechProtocol::networkFailureMessage(result.requestId, result.network);
}

void LiveTranscription::emitInOrder()
{
    while (emitted < pieces.size() && pieces.at(emitted).done) {
        const Piece &piece = pieces.at(emitted++);
        if (!piece.text.isEmpty())
            emit textRecognised(piece.text, piece.startMs + piece.lengthMs);
    }
}

void LiveTranscription::fail(const QString &reason)
{
    if (failed || !active)
        return;
    failed = true;
    stopWatching();
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
    stopWatching();
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
    stopWatching();
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
    const auto under = requests;
    requests.clear();
    for (const QPointer<SpeechRequest> &request : under) {
        if (request)
            request->abort();
    }
}
