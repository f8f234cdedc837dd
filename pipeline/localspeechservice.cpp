#include "pipeline/localspeechservice.h"

#include "app/appstate.h"
#include "app/installlayout.h"
#include "pipeline/datapaths.h"
#include "platform/processes.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

namespace {

const int pollIntervalMs = 200;
const int probeTimeoutMs = 1000;
const int joinTimeoutMs = 5000; // a service of ours answers its health at once, even while loading

} // namespace

bool LocalSpeechService::isLoopbackHost(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

LocalSpeechService::LocalSpeechService(QObject *parent)
    : LocalSpeechService(deploymentConfig(), parent)
{ }

LocalSpeechService::LocalSpeechService(const DeploymentConfig &config, QObject *parent)
    : QObject(parent)
    , config(config)
    , programFolder(AppState::appDir)
    , pollTimer(new QTimer(this))
    , logFile(
          AppState::dataDir.isEmpty() ? QString() : DataPaths::own(AppState::dataDir) + QStringLiteral("/speechd.log"))
{
    pollTimer->setSingleShot(true);
    connect(pollTimer, &QTimer::timeout, this, &LocalSpeechService::probe);
}

LocalSpeechService::~LocalSpeechService()
{
    stopChild();
}

bool LocalSpeechService::isLocalDeployment(const DeploymentConfig &config)
{
    // Our own service speaks plain HTTP only: an https endpoint on this machine is something else.
    const ServiceHost token = parseServiceHost(config.tokenHost);
    const ServiceHost api = parseServiceHost(config.apiHost);
    return token.valid && api.valid && !token.tls && !api.tls && isLoopbackHost(token.host) && token.host == api.host
        && token.port == api.port;
}

QStringList LocalSpeechService::unencryptedRemoteHosts(const DeploymentConfig &config)
{
    QStringList hosts;
    for (const QString &setting : {config.tokenHost, config.apiHost}) {
        const ServiceHost host = parseServiceHost(setting);
        if (host.valid && !host.tls && !isLoopbackHost(host.host) && !hosts.contains(host.hostAndPort))
            hosts << host.hostAndPort;
    }
    return hosts;
}

void LocalSpeechService::warnOfUnencryptedHosts(const DeploymentConfig &config)
{
    const QStringList hosts = unencryptedRemoteHosts(config);
    if (hosts.isEmpty())
        return;
    std::fprintf(stderr,
        "quillora: the speech service at %s is reached over plain HTTP: the client id and secret and the "
        "access token travel unencrypted; write https:// before the host in token_host and api_host\n",
        qUtf8Printable(hosts.join(QStringLiteral(" and "))));
}

bool LocalSpeechService::ownsRunningChild() const
{
    return child && child->state() != QProcess::NotRunning;
}

void LocalSpeechService::ensureRunning()
{
    if (state != State::Idle)
        return; // the start in progress will report
    if (!isLocalDeployment(config)) {
        QTimer::singleShot(0, this, [this] { emit ready(true); });
        return;
    }
    state = State::Probing;
    startedByLastCheck = false;
    lastFailure = Failure::None;
    holder = PortHolder::Holder();
    probe();
}

void LocalSpeechService::dropProbe()
{
    if (!probeSocket)
        return;
    probeSocket->disconnect(this);
    probeSocket->abort();
    probeSocket->deleteLater();
    probeSocket = nullptr;
}

void LocalSpeechService::probe()
{
    dropProbe();
    probeSocket = new QTcpSocket(this);
    connect(probeSocket, &QTcpSocket::connected, this, &LocalSpeechService::onProbeAnswered);
    connect(probeSocket, &QTcpSocket::errorOccurred, this, &LocalSpeechService::onProbeFailed);
    // A refused loopback connection fails at once; this only guards against a listener that never
    // completes the connection (its backlog full). abort() reports no error, so the time-out is the failure.
    QTimer::singleShot(probeTimeoutMs, probeSocket, [this, socket = probeSocket] {
        if (socket != probeSocket || socket->state() == QAbstractSocket::UnconnectedState)
            return;
        socket->abort();
        onProbeFailed();
    });
    const ServiceHost api = parseServiceHost(config.apiHost);
    probeSocket->connectToHost(api.host, quint16(api.port));
}

void LocalSpeechService::onProbeAnswered()
{
    // What answers while our child starts may be another client's child, which won the port: ours ends.
    if (state == State::Starting && child
        && PortHolder::holderOf(quint16(parseServiceHost(config.apiHost).port)).pid != child->processId()) {
        join();
        return;
    }
    finish(true);
}

void LocalSpeechService::onProbeFailed()
{
    if (state == State::Probing) {
        startChild();
        return;
    }
    if (state != State::Starting)
        return;
    if (QDateTime::currentMSecsSinceEpoch() >= startDeadlineMs) {
        stopChild();
        lastFailure = Failure::NotStarted;
        finish(false);
        return;
    }
    pollTimer->start(pollIntervalMs);
}

void LocalSpeechService::startChild()
{
    stopChild();
    state = State::Starting;
    startDeadlineMs = QDateTime::currentMSecsSinceEpoch() + startTimeoutMs;

    const ServiceHost api = parseServiceHost(config.apiHost);
    startedByLastCheck = true;
    // The service must not outlive us, however we end: a killed window would leave it running for good.
    child = newChildEndingWithParent(this);
    child->setProgram(speechServiceProgram(programFolder));
    // The child must listen where we will call and accept the credentials we will present.
    QStringList arguments {QStringLiteral("--listen"), api.host + QLatin1Char(':') + QString::number(api.port),
        QStringLiteral("--client-id"), config.clientId, QStringLiteral("--client-secret"), config.clientSecret};
    if (logFile.isEmpty()) {
        child->setProcessChannelMode(QProcess::ForwardedChannels);
    } else {
        // What it says before it has read its options goes there too.
        QDir().mkpath(QFileInfo(logFile).path());
        child->setStandardOutputFile(QProcess::nullDevice());
        child->setStandardErrorFile(logFile, QIODevice::Append);
        arguments << QStringLiteral("--log-file") << logFile << QStringLiteral("--log-file-bytes")
                  << QString::number(logFileBytes);
    }
    child->setArguments(arguments);
    connect(child, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && state == State::Starting) {
            lastFailure = Failure::NotStarted;
            finish(false);
        }
    });
    connect(child, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, [this] {
        if (state == State::Starting)
            join();
        else
            emit stopped();
    });
    child->start();
    pollTimer->start(pollIntervalMs);
}

void LocalSpeechService::join()
{
    state = State::Joining;
    pollTimer->stop();
    // It lost the port, or is about to: not ours to wait for. Maybe in its own signal: deleted later.
    child->disconnect(this);
    if (child->state() != QProcess::NotRunning) {
        child->kill();
        child->waitForFinished(1000);
    }
    child->deleteLater();
    child = nullptr;
    dropProbe();
    probeSocket = new QTcpSocket(this);
    QTcpSocket *socket = probeSocket;
    const ServiceHost api = parseServiceHost(config.apiHost);
    connect(socket, &QTcpSocket::connected, this, [socket, api] {
        socket->write("GET /healthz HTTP/1.1\r\nHost: " + api.hostAndPort.toUtf8() + "\r\nConnection: close\r\n\r\n");
    });
    connect(socket, &QTcpSocket::readyRead, this,
        [socket] { socket->setProperty("reply", socket->property("reply").toByteArray() + socket->readAll()); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        // Our service closes the connection once it has answered.
        const bool answered = error == QAbstractSocket::RemoteHostClosedError;
        onJoinEnded(socket->property("reply").toByteArray() + socket->readAll(), answered);
    });
    QTimer::singleShot(joinTimeoutMs, socket, [this, socket] {
        if (socket == probeSocket)
            onJoinEnded(socket->property("reply").toByteArray() + socket->readAll(), true);
    });
    socket->connectToHost(api.host, quint16(api.port));
}

void LocalSpeechService::onJoinEnded(const QByteArray &reply, bool connected)
{
    if (state != State::Joining)
        return;
    if (connected && isOurHealthReply(reply)) {
        startedByLastCheck = true; // a service we have no token of
        finish(true);
        return;
    }
    const ServiceHost api = parseServiceHost(config.apiHost);
    holder = PortHolder::holderOf(quint16(api.port));
    // A socket bound and not listening is in no table the kernel shows, yet the port is taken.
    const QHostAddress address = api.host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
        ? QHostAddress(QHostAddress::LocalHost)
        : QHostAddress(api.host);
    QTcpServer tryPort;
    const bool taken = holder.found || connected
        || (!tryPort.listen(address, quint16(api.port)) && tryPort.serverError() == QAbstractSocket::AddressInUseError);
    tryPort.close();
    lastFailure = taken ? Failure::PortHeld : Failure::NotStarted;
    finish(false);
}

bool LocalSpeechService::isOurHealthReply(const QByteArray &reply)
{
    const int headEnd = reply.indexOf("\r\n\r\n");
    const QList<QByteArray> statusLine = reply.left(reply.indexOf("\r\n")).split(' ');
    if (headEnd < 0 || statusLine.size() < 2 || !statusLine.first().startsWith("HTTP/1.")
        || (statusLine.at(1) != "200" && statusLine.at(1) != "503"))
        return false;
    const QJsonObject body = QJsonDocument::fromJson(reply.mid(headEnd + 4)).object();
    const QString status = body.value(QStringLiteral("status")).toString();
    return (status == QLatin1String("ok") || status == QLatin1String("loading"))
        && body.value(QStringLiteral("workers")).toInt() > 0;
}

QString LocalSpeechService::portHeldMessage() const
{
    if (lastFailure != Failure::PortHeld)
        return QString();
    QString who = tr("其他程序");
    if (holder.pid > 0)
        who = tr("程序 %1（进程号 %2，用户 %3）").arg(holder.program).arg(holder.pid).arg(holder.user);
    else if (!holder.user.isEmpty())
        who = tr("用户 %1 的其他程序").arg(holder.user);
    return tr(
        "无法启动本机语音识别服务：端口 %1 已被%2占用。请关闭该程序，或在 quillora.ini 中为语音服务改用其他端口。")
        .arg(parseServiceHost(config.apiHost).hostAndPort, who);
}

void LocalSpeechService::finish(bool ok)
{
    state = State::Idle;
    pollTimer->stop();
    dropProbe();
    emit ready(ok);
}

void LocalSpeechService::stopChild()
{
    if (!child)
        return;
    child->disconnect(this);
    if (child->state() != QProcess::NotRunning) {
        child->terminate();
        if (!child->waitForFinished(3000)) {
            child->kill();
            child->waitForFinished(1000);
        }
    }
    delete child;
    child = nullptr;
}
