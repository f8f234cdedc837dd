#include "common/scriptedserver.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

ScriptedServer::ScriptedServer(QObject *parent)
    : QObject(parent)
    , server(new QTcpServer(this))
{
    server->listen(QHostAddress::LocalHost, 0);
    connect(server, &QTcpServer::newConnection, this, &ScriptedServer::onNewConnection);
}

ScriptedServer::~ScriptedServer()
{
    for (const QPointer<QTcpSocket> &socket : held) {
        if (socket)
            socket->abort();
    }
}

bool ScriptedServer::isListening() const
{
    return server->isListening();
}

QString ScriptedServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(server->serverPort());
}

QString ScriptedServer::url(const QString &path) const
{
    return QStringLiteral("http://") + hostAndPort() + path;
}

QList<ScriptedServer::Request> ScriptedServer::recognitionRequests() const
{
    QList<Request> found;
    for (const Request &request : requests) {
        if (request.path == "/server_api")
            found << request;
    }
    return found;
}

int ScriptedServer::tokenRequestCount() const
{
    return int(std::count_if(requests.cbegin(), requests.cend(),
        [](const Request &request) { return request.path.startsWith("/oauth/2.0/token"); }));
}

QString ScriptedServer::textForBody(const QByteArray &body)
{
    const int start = body.indexOf("\"speech\"");
    const QByteArray speech = start < 0 ? body : body.mid(start, body.indexOf('\n', start) - start);
    return QStringLiteral("words %1")
        .arg(QString::fromLatin1(QCryptographicHash::hash(speech, QCryptographicHash::Sha1).toHex().left(8)));
}

void ScriptedServer::answerHeld(const Reply &reply)
{
    while (!waiting.isEmpty()) {
        QPointer<QTcpSocket> socket = waiting.takeFirst();
        --unanswered;
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            write(socket, reply);
            return;
        }
    }
}

ScriptedServer::Reply ScriptedServer::errNo(int code)
{
    return json(QStringLiteral("{\"err_no\": %1, \"err_msg\": \"scripted\"}").arg(code).toUtf8());
}

void ScriptedServer::write(QTcpSocket *socket, const Reply &reply)
{
    const QByteArray reason = reply.status == 200 ? "OK" : "Error";
    socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason
        + "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n"
        + reply.body);
}

ScriptedServer::Reply ScriptedServer::scriptedReply(const Request &request)
{
    if (answer)
        return answer(request);
    if (request.path.startsWith("/oauth/2.0/token"))
        return tokenReplies.isEmpty() ? json("{\"access_token\": \"scripted-token\", \"expires_in\": 2592000}")
                                      : tokenReplies.dequeue();
    if (request.path == "/healthz")
        return json(QStringLiteral("{\"status\":\"ok\",\"workers\":%1,\"queued\":0,\"capacity\":16}")
                        .arg(healthWorkers)
                        .toUtf8());
    if (!recognitionReplies.isEmpty())
        return recognitionReplies.dequeue();
    const int recognised = recognitionRequests().size() - 1;
    const QString text = textFromAudio ? textForBody(request.body) : QStringLiteral("segment %1").arg(recognised);
    return json(QStringLiteral("{\"err_no\": 0, \"result\": [\"%1\"]}").arg(text).toUtf8());
}

void ScriptedServer::onNewConnection()
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        held << socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    }
}

void ScriptedServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    forever
    {
        const int headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            break;
        const QByteArray head = buffer.left(headerEnd);
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        int length = 0;
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toInt();
        }
        if (buffer.size() < headerEnd + 4 + length)
            break;
        const Request request {
            requestLine.value(0), requestLine.value(1), head.toLower(), buffer.mid(headerEnd + 4, length)};
        buffer.remove(0, headerEnd + 4 + length);
        requests << request;

        const Reply reply = scriptedReply(request);
        const bool recognition = request.path == "/server_api";
        if (recognition)
            mostInFlight = std::max(mostInFlight, ++unanswered);
        if (recognition && holdBatch > 0) {
            batch.append({socket, reply});
            if (batch.size() == holdBatch) {
                holdBatch = 0;
                while (!batch.isEmpty()) {
                    const auto held = batch.takeLast();
                    --unanswered;
                    if (held.first)
                        write(held.first, held.second);
                }
            }
        } else if (reply.silent) {
            waiting << socket;
        } else {
            unanswered -= recognition ? 1 : 0;
            pending.append({socket, reply});
        }
        if (requests.size() >= holdUntil) {
            for (const auto &answerNow : qAsConst(pending)) {
                if (answerNow.first)
                    write(answerNow.first, answerNow.second);
            }
            pending.clear();
        }
        emit requestReceived();
    }
    socket->setProperty("buffer", buffer);
}
