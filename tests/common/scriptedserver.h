#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>

#include <functional>

class QTcpServer;
class QTcpSocket;

// A small HTTP server on loopback whose answers the test scripts. It records every request whole. By
// default it plays the speech service: the token path answers with a token, the recognition path with
// "segment <n>" for its n-th request, each from its queue first. A test may answer every request its
// own way instead, keep answers back until several requests have arrived, or leave one unanswered.
class ScriptedServer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ScriptedServer)

public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        bool silent = false; // accept the request and answer only when answerHeld() is called
    };
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QByteArray head; // request line and headers, lower-cased
        QByteArray body;
    };

    explicit ScriptedServer(QObject *parent = nullptr); // listens at once on a free port
    ~ScriptedServer() override;
    bool isListening() const;
    QString hostAndPort() const;
    QString url(const QString &path) const;

    QQueue<Reply> tokenReplies; // when empty: a token
    QQueue<Reply> recognitionReplies; // when empty: success with the text "segment <n>"
    std::function<Reply(const Request &)> answer; // when set, answers every request instead
    int holdUntil = 1; // answers wait until this many requests have arrived
    // With an empty queue, recognition answers a text made from the request's audio ("words <digest>"),
    // so the same segment gets the same text in whatever order segments arrive.
    bool textFromAudio = false;
    // Holds this many recognition requests unanswered, then answers them all, the latest first.
    int holdBatch = 0;
    int healthWorkers = 1; // the "workers" GET /healthz reports
    int mostInFlight = 0; // the most recognition requests waiting for an answer at once
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
    Reply scriptedReply(const Request &request);
    static void write(QTcpSocket *socket, const Reply &reply);

    QTcpServer *server = nullptr;
    QList<QPointer<QTcpSocket>> held;
    QList<QPointer<QTcpSocket>> waiting; // requests a silent reply has not answered
    QList<QPair<QPointer<QTcpSocket>, Reply>> pending; // answers kept back until holdUntil requests
    QList<QPair<QPointer<QTcpSocket>, Reply>> batch; // recognition answers kept back by holdBatch
    int unanswered = 0; // recognition requests not answered yet
};

Q_DECLARE_METATYPE(ScriptedServer::Reply)
