#include "pipeline/localspeechservice.h"

#include "app/appstate.h"
#include "app/installlayout.h"
#include "platform/processes.h"

#include <QDateTime>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

namespace {

const int pollIntervalMs = 200;
const int probeTimeoutMs = 1000;

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

bool LocalSpeechService::childEnded(int graceMs)
{
    if (!child)
        return false;
    return child->state() == QProcess::NotRunning || child->waitForFinished(graceMs);
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
    probe();
}

void LocalSpeechService::probe()
{
    if (probeSocket) {
        probeSocket->disconnect(this);
        probeSocket->abort();
        probeSocket->deleteLater();
    }
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
    child->setArguments({QStringLiteral("--listen"), api.host + QLatin1Char(':') + QString::number(api.port),
        QStringLiteral("--client-id"), config.clientId, QStringLiteral("--client-secret"), config.clientSecret});
    child->setProcessChannelMode(childLogShown ? QProcess::ForwardedChannels : QProcess::ForwardedOutputChannel);
    if (!childLogShown)
        child->setStandardErrorFile(QProcess::nullDevice());
    connect(child, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && state == State::Starting)
            finish(false);
    });
    connect(child, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, [this] {
        if (state == State::Starting)
            finish(false);
        else
            emit stopped();
    });
    child->start();
    pollTimer->start(pollIntervalMs);
}

void LocalSpeechService::finish(bool ok)
{
    state = State::Idle;
    pollTimer->stop();
    if (probeSocket) {
        probeSocket->disconnect(this);
        probeSocket->abort();
        probeSocket->deleteLater();
        probeSocket = nullptr;
    }
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
