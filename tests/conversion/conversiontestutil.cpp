#include "conversiontestutil.h"

#include "common/appfolders.h"
#include "pipeline/audioprep.h"
#include "ui/notice.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

#include <algorithm>

namespace ConversionTest {

bool runFfmpeg(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("ffmpeg"), QStringList {"-nostdin", "-loglevel", "error", "-y"} + arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool makeNoiseWav(const QString &path, qint64 samples)
{
    return runFfmpeg({"-f", "lavfi", "-i", "anoisesrc=sample_rate=16000:amplitude=0.3:seed=7", "-af",
        QStringLiteral("atrim=end_sample=%1").arg(samples), "-ac", "1", "-acodec", "pcm_s16le", path});
}

QByteArray wavData(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray all = file.readAll();
    if (all.size() < 12 || !all.startsWith("RIFF") || all.mid(8, 4) != "WAVE")
        return QByteArray();
    int pos = 12;
    while (pos + 8 <= all.size()) {
        const QByteArray id = all.mid(pos, 4);
        const quint32 size = qFromLittleEndian<quint32>(all.constData() + pos + 4);
        if (id == "data") {
            // A stream-written header may leave the size unset: the data runs to the end.
            if (size == 0 || size == 0xFFFFFFFFu || pos + 8 + qint64(size) > all.size())
                return all.mid(pos + 8);
            return all.mid(pos + 8, int(size));
        }
        pos += 8 + int(size) + int(size & 1);
    }
    return QByteArray();
}

ButtonTexts::ButtonTexts(Widget *widget)
{
    connect(widget, &Widget::startButtonTextChanged, this, [this](const QString &text) { texts << text; });
}

QStringList ButtonTexts::distinct() const
{
    QStringList folded;
    for (const QString &text : texts) {
        if (folded.isEmpty() || folded.last() != text)
            folded << text;
    }
    return folded;
}

Notices::Notices()
{
    Notice::setTestHook([this](const QString &text) {
        texts << text;
        return QMessageBox::Ok;
    });
}

Notices::~Notices()
{
    Notice::setTestHook(nullptr);
}

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

QString ScriptedServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(server->serverPort());
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

ScriptedServer::Reply ScriptedServer::recognitionReply(const Request &request, int recognised)
{
    if (!recognitionReplies.isEmpty())
        return recognitionReplies.dequeue();
    const QString text = textFromAudio ? textForBody(request.body) : QStringLiteral("segment %1").arg(recognised);
    return json(QStringLiteral("{\"err_no\": 0, \"result\": [\"%1\"]}").arg(text).toUtf8());
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

void ScriptedServer::write(QTcpSocket *socket, const Reply &reply)
{
    const QByteArray reason = reply.status == 200 ? "OK" : "Error";
    socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason
        + "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n"
        + reply.body);
}

ScriptedServer::Reply ScriptedServer::errNo(int code)
{
    return json(QStringLiteral("{\"err_no\": %1, \"err_msg\": \"scripted\"}").arg(code).toUtf8());
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
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        int length = 0;
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toInt();
        }
        if (buffer.size() < headerEnd + 4 + length)
            break;
        Request request;
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        const bool token = request.path.startsWith("/oauth/2.0/token");
        const int recognised = recognitionRequests().size();
        requests << request;

        Reply reply;
        if (token)
            reply = tokenReplies.isEmpty() ? json("{\"access_token\": \"scripted-token\", \"expires_in\": 2592000}")
                                           : tokenReplies.dequeue();
        else if (request.path == "/healthz")
            reply = json(QStringLiteral("{\"status\":\"ok\",\"workers\":%1,\"queued\":0,\"capacity\":16}")
                             .arg(healthWorkers)
                             .toUtf8());
        else
            reply = recognitionReply(request, recognised);
        const bool recognition = request.path == "/server_api";
        if (recognition)
            mostInFlight = std::max(mostInFlight, ++unanswered);
        if (recognition && holdBatch > 0) {
            batch << qMakePair(QPointer<QTcpSocket>(socket), reply);
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
            write(socket, reply);
        }
        emit requestReceived();
    }
    socket->setProperty("buffer", buffer);
}

} // namespace ConversionTest

#include "app/appstate.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>

namespace ConversionTest {

Fixture::Fixture(const QString &appFolder)
{
    useAppFolder(appFolder.isEmpty() ? appDir.path() : appFolder);
    widget.reset(new Widget);
    widget->testSeams.serviceHost = server.hostAndPort();
    widget->accessToken = QStringLiteral("test-token");
    widget->testSeams.retryPauseUnitMs = 20;
    widget->testSeams.parallelRequests = 1; // one at a time unless a test asks for more
    // The scripted service listens on loopback, where only English is offered.
    widget->languageBox->setCurrentText(QStringLiteral("英文"));
}

Fixture::~Fixture()
{
    widget.reset();
}

void Fixture::addTask(const QString &path)
{
    widget->taskFiles.prepend(path);
    widget->audioCombo->addItem(path.mid(path.lastIndexOf('/') + 1));
}

QString Fixture::tmpFolder() const
{
    return AppState::appDir + QStringLiteral("/myTmpWAVFiles");
}

QStringList Fixture::segmentFiles() const
{
    QStringList files;
    for (int k = 0; QFile::exists(AudioPrep::segmentPath(AppState::appDir, k)); ++k)
        files << AudioPrep::segmentPath(AppState::appDir, k);
    return files;
}

bool Fixture::idle() const
{
    return widget->beginCoverBtn->isEnabled() && widget->beginCoverBtn->text() == QStringLiteral("开始转换")
        && !widget->stopCoverBtn->isEnabled();
}

} // namespace ConversionTest
