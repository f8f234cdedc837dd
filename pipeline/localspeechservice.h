#pragma once

#include "app/deployment.h"
#include "platform/portholder.h"

#include <QObject>
#include <QStringList>

class QProcess;
class QTcpSocket;
class QTimer;

// Our own offline speech service, started on demand when the deployment points at loopback and
// nothing answers there yet.
class LocalSpeechService : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(LocalSpeechService)

public:
    explicit LocalSpeechService(QObject *parent = nullptr);
    // For a configuration other than the one in force (tests use a free port).
    explicit LocalSpeechService(const DeploymentConfig &config, QObject *parent = nullptr);
    ~LocalSpeechService() override; // ends the child it started, if any

    // Both endpoints on the same loopback host and port: the service we ship can stand in for them.
    static bool isLocalDeployment(const DeploymentConfig &config);
    static bool isLoopbackHost(const QString &host);
    // The endpoints' host[:port] (each once) reached over plain HTTP on another machine: what they
    // are sent, credentials included, anyone on the path can read.
    static QStringList unencryptedRemoteHosts(const DeploymentConfig &config);
    // Says once on standard error that those hosts are reached in clear text; nothing when none is.
    static void warnOfUnencryptedHosts(const DeploymentConfig &config);

    // Never blocks. If the deployment is local and nothing answers at its address, starts
    // speechServiceProgram of the program folder as a child and polls (bounded) until it answers.
    // Emits ready(true) when the service answers (at once, via a queued emit, if it already does or the
    // deployment is remote), ready(false) when it could not be started or never answered.
    void ensureRunning();

    // Where the service's program is looked for; the program's own folder unless told.
    void setProgramFolder(const QString &folder) { programFolder = folder; }
    // Where the child's log goes, kept to two files of 1 MiB (path and path.1), never to a terminal: the
    // data folder's .quillora/speechd.log unless told; empty: our own standard error.
    void setLogFile(const QString &path) { logFile = path; }
    static constexpr int logFileBytes = 1024 * 1024;

    // Why the last ensureRunning reported false. Clients racing to start the service (windows and command
    // lines, of any user) are no failure: the child that loses the port ends, and its client uses the
    // service that won. PortHeld: the port is held by a program that is not our service.
    enum class Failure { None, NotStarted, PortHeld };
    Failure failure() const { return lastFailure; }
    PortHolder::Holder portHolder() const { return holder; }
    // For PortHeld: the message naming the address and what holds it; empty otherwise.
    QString portHeldMessage() const;
    // A whole reply to GET /healthz as our service gives it, while its models load too.
    static bool isOurHealthReply(const QByteArray &reply);
    // How long ensureRunning waits for a child it started to answer.
    int startTimeoutMs = 15000;
    // True while the child this instance started is running.
    bool ownsRunningChild() const;
    // The last ensureRunning found a service new to us (its own child, or the one another client started
    // meanwhile): tokens of an earlier service are worthless to it.
    bool startedNewChild() const { return startedByLastCheck; }

signals:
    void ready(bool ok);
    // The child this instance started ended while nobody was waiting for it to start.
    void stopped();

private:
    enum class State { Idle, Probing, Starting, Joining };

    void probe();
    void onProbeAnswered();
    void onProbeFailed();
    void startChild();
    // Our child ended before it answered: another client's may have the port. Asks what answers there.
    void join();
    void onJoinEnded(const QByteArray &reply, bool connected);
    void finish(bool ok);
    void stopChild();
    void dropProbe();

    DeploymentConfig config;
    QString programFolder;
    State state = State::Idle;
    QProcess *child = nullptr;
    QTcpSocket *probeSocket = nullptr;
    QTimer *pollTimer = nullptr;
    qint64 startDeadlineMs = 0;
    bool startedByLastCheck = false;
    QString logFile;
    Failure lastFailure = Failure::None;
    PortHolder::Holder holder;
};
