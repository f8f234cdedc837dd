#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QStringList>

#include "app/appstate.h"
#include "ui/widget.h"

class QTcpServer;
class QTcpSocket;
class QWidget;

namespace ConversionTest {

// Runs ffmpeg to completion (tests may block); false when it failed.
bool runFfmpeg(const QStringList &arguments);
// A 16 kHz mono 16-bit WAV of exactly `samples` samples of noise, so every sample differs.
bool makeNoiseWav(const QString &path, qint64 samples);
// The PCM bytes of a WAV's data chunk (the header's chunks walked, not assumed 44 bytes long).
QByteArray wavData(const QString &path);

// Every text the start button shows during a run, in order.
class ButtonTexts : public QObject
{
    Q_OBJECT
public:
    explicit ButtonTexts(Widget *widget);
    QStringList texts;
    // The texts with runs of the same text folded into one.
    QStringList distinct() const;
};

// Message boxes answered at once; their texts are kept.
class Notices
{
public:
    Notices();
    ~Notices();
    QStringList texts;
};

// A scripted speech service on loopback: answers the token path and the recognition path from
// queues, records every request, can stay silent.
class ScriptedServer : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        bool silent = false; // accept the request and never answer
    };
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QByteArray body;
    };

    explicit ScriptedServer(QObject *parent = nullptr);
    ~ScriptedServer() override;
    QString hostAndPort() const;

    QQueue<Reply> tokenReplies; // when empty: a token
    QQueue<Reply> recognitionReplies; // when empty: success with the text "segment <n>"
    // When empty queue: a text made from the request's audio instead ("words <digest>"), so the same
    // segment gets the same text in whatever order segments arrive.
    bool textFromAudio = false;
    // Holds this many recognition requests unanswered, then answers them all, the latest first.
    int holdBatch = 0;
    int healthWorkers = 1; // the "workers" GET /healthz reports
    int mostInFlight = 0; // the most recognition requests that were waiting for an answer at once
    QList<Request> requests;
    QList<Request> recognitionRequests() const;
    int tokenRequestCount() const;
    // Answers the oldest request that a silent reply left waiting.
    void answerHeld(const Reply &reply);

    static Reply json(const QByteArray &body) { return Reply {200, body, false}; }
    static Reply errNo(int code);
    static Reply silence() { return Reply {200, QByteArray(), true}; }
    // The text textFromAudio answers for a request body.
    static QString textForBody(const QByteArray &body);

signals:
    void requestReceived();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    static void write(QTcpSocket *socket, const Reply &reply);

    QTcpServer *server = nullptr;
    QList<QPointer<QTcpSocket>> held;
    QList<QPointer<QTcpSocket>> waiting; // requests a silent reply has not answered
    QList<QPair<QPointer<QTcpSocket>, Reply>> batch; // held by holdBatch
    int unanswered = 0;
    Reply recognitionReply(const Request &request, int recognised);
};

} // namespace ConversionTest

Q_DECLARE_METATYPE(ConversionTest::ScriptedServer::Reply)

#include <QTemporaryDir>
#include <memory>

namespace ConversionTest {

// A main window in a fresh application folder, speaking to a scripted service, with a token already
// held (so no token exchange unless a test clears it) and short retry pauses.
struct Fixture
{
    // appFolder: an application folder that outlives the fixture (a resumed run's); a fresh one otherwise.
    explicit Fixture(const QString &appFolder = QString());
    ~Fixture();
    // Puts a task at the head of the list as the upload button does.
    void addTask(const QString &path);
    QString tmpFolder() const;
    QString appPath() const { return AppState::appDir; }
    QStringList segmentFiles() const; // myTmpWAVFiles, in index order
    bool idle() const;

    QTemporaryDir appDir;
    QTemporaryDir media;
    ScriptedServer server;
    Notices notices;
    std::unique_ptr<Widget> widget;
};

} // namespace ConversionTest
