#pragma once

#include "app/deployment.h"
#include "pipeline/speechprotocol.h"
#include "pipeline/timedtext.h"
#include "pipeline/timings.h"
#include "pipeline/userwordlist.h"
#include "pipeline/utterancecutter.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class QFileSystemWatcher;
class SpeechClient;
class SpeechRequest;
struct SpeechResult;

// The samples a WAV file gains while another process writes it, from its data chunk on.
class GrowingWav
{
public:
    explicit GrowingWav(const QString &path);
    // Whole samples written since the last call; nothing until the header is there.
    QByteArray readNew();

private:
    QFile file;
    qint64 readPos = -1; // in the file; -1 until the data chunk is found
};

// Text of a recording while it is made: reads the recorder's growing file (never its process) each time
// the file system says it grew, cuts
// it into utterances at pauses, sends each as an ordinary recognition request, and when the recording
// is over writes the document named after it. A failure of the service ends the live text, never the
// recording. Widget-free: it speaks only through its signals.
class LiveTranscription : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(LiveTranscription)

public:
    struct Options
    {
        DeploymentConfig service;
        QString dataDir; // .quillora/ (document and timing records) lives here
        QString documentDir;
        QString machineId;
        int requestTimeoutMs = 60000; // a request without progress fails after this long
        int retryPauseMs = 1000; // before a request the service asked to repeat is sent again
        int requestsAtOnce = 2;
        QString wordsFile; // the user's words sent with every request; empty: the stored list in dataDir
    };
    // The client (its service and token) is shared with the conversion run.
    LiveTranscription(const Options &options, SpeechClient *client, QObject *parent = nullptr);
    ~LiveTranscription() override;

    // Options apply from the next start.
    void setOptions(const Options &options) { opts = options; }
    // Follows the recording at recordingPath (ffmpeg flushing each packet) in `language`.
    void start(const QString &recordingPath, const QString &language);
    // The recording is over and its file complete: the rest is recognised, the document written,
    // then ended().
    void finish();
    // The window closes: what was recognised so far is written at once; no signal follows.
    void finishForClose();
    bool isActive() const { return active; }
    bool hasFailed() const { return failed; }
    QStringList texts() const; // recognised so far, in order
    qint64 audioReadMs() const { return samplesRead / 16; }

signals:
    // The next utterance's text, in order; endMs is where the utterance ended in the recording.
    void textRecognised(const QString &text, qint64 endMs);
    // Live text has stopped for this recording (the message says why); the recording goes on.
    void interrupted(const QString &message);
    void documentWritten(const QString &recordingPath, const QString &documentPath);
    // The document could not be written at documentPath (ended() says why): its text is what the view
    // shows, and timings the record it would have had.
    void documentNotWritten(const QString &recordingPath, const QString &documentPath, const Timings::Record &timings);
    // Over, after finish(): the message is empty unless the document could not be written.
    void ended(const QString &message);

private:
    struct Piece
    {
        qint64 startMs = 0;
        qint64 lengthMs = 0;
        QByteArray pcm;
        bool sent = false;
        bool done = false;
        QString text;
        QVector<TimedSentence> sentences;
    };

    void watchRecording();
    void stopWatching();
    void poll();
    void take(const QVector<UtteranceCutter::Utterance> &utterances);
    void onServiceReady(bool ok, const SpeechResult &failure);
    void onRecognised(int piece, const SpeechResult &result);
    void sendPending();
    void send(int piece);
    void emitInOrder();
    void fail(const QString &reason);
    QString failureReason(const SpeechResult &result) const;
    void endIfDone();
    bool writeDocument(QString *message);
    void abortRequests();

    Options opts;
    QPointer<SpeechClient> client; // may go before us: the window owns both
    QFileSystemWatcher *watcher = nullptr; // the recording grows: its new samples are read
    UtteranceCutter cutter;
    std::unique_ptr<GrowingWav> wav;
    QString recordingPath;
    // Who asks, the language, the user's words and voice adaptation, as they were when the recording started.
    SpeechProtocol::RecognitionOptions recognition;
    QVector<Piece> pieces;
    int emitted = 0; // pieces shown, in order
    QHash<int, QPointer<SpeechRequest>> requests; // piece -> its request under way
    qint64 samplesRead = 0;
    quint64 generation = 0; // a reply or pause of an earlier recording is dropped
    bool active = false;
    bool waitingForService = false;
    bool connected = false; // service answers and the token is in hand
    bool failed = false;
    bool recordingOver = false;
};
