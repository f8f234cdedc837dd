#include "app/appstate.h"
#include "common/speechtestutil.h"
#include "pipeline/localspeechservice.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace SpeechTestUtil;

namespace {

DeploymentConfig configAt(const QString &tokenHost, const QString &apiHost)
{
    DeploymentConfig config = defaultDeploymentConfig();
    config.tokenHost = tokenHost;
    config.apiHost = apiHost;
    config.clientId = testClientId();
    config.clientSecret = testClientSecret();
    return config;
}

DeploymentConfig loopbackConfig(quint16 port)
{
    const QString host = QStringLiteral("127.0.0.1:%1").arg(port);
    return configAt(host, host);
}

bool answersAt(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(2000);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A TCP socket bound to a free loopback port and not listening: the port is taken, yet refuses connections.
int boundSocket(quint16 *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return -1;
    *port = ntohs(address.sin_port);
    return fd;
}

bool writeScript(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class TestLocalSpeechService : public QObject
{
    Q_OBJECT

private slots:
    void isLocal_data();
    void isLocal();
    void unencryptedRemoteHosts_data();
    void unencryptedRemoteHosts();
    void remoteDeploymentIsReadyAtOnce();
    void runningServiceIsUsed();
    void startsTheServiceAndEndsIt();
    void failedStart_data();
    void failedStart();
    void secondCallWhileStartingReportsOnce();
    void listenerThatNeverCompletesIsNotAwaitedForever();
    void socketTable_data();
    void socketTable();
    void healthReply_data();
    void healthReply();
    void portHeldByAnotherProgramIsNamed_data();
    void portHeldByAnotherProgramIsNamed();
};

void TestLocalSpeechService::isLocal_data()
{
    QTest::addColumn<QString>("tokenHost");
    QTest::addColumn<QString>("apiHost");
    QTest::addColumn<bool>("local");
    QTest::newRow("default loopback") << "127.0.0.1:8808"
                                      << "127.0.0.1:8808" << true;
    QTest::newRow("localhost") << "localhost:9000"
                               << "localhost:9000" << true;
    QTest::newRow("ipv6 loopback") << "[::1]:8808"
                                   << "[::1]:8808" << true;
    QTest::newRow("loopback default port") << "127.0.0.1"
                                           << "127.0.0.1:80" << true;
    QTest::newRow("other loopback address") << "127.0.0.2:8808"
                                            << "127.0.0.2:8808" << true;
    QTest::newRow("endpoints on two ports") << "127.0.0.1:8808"
                                            << "127.0.0.1:8809" << false;
    QTest::newRow("remote api host") << "127.0.0.1:8808"
                                     << "speech.example.com" << false;
    QTest::newRow("remote hosts") << "speech.example.com"
                                  << "speech.example.com" << false;
    QTest::newRow("lan address") << "192.168.1.20:8808"
                                 << "192.168.1.20:8808" << false;
    QTest::newRow("name that starts like loopback") << "127.0.0.1.example.com"
                                                    << "127.0.0.1.example.com" << false;
    QTest::newRow("empty") << ""
                           << "" << false;
    QTest::newRow("explicit http loopback") << "http://127.0.0.1:8808"
                                            << "127.0.0.1:8808" << true;
    QTest::newRow("https loopback is a balancer, not ours") << "https://127.0.0.1:8443"
                                                            << "https://127.0.0.1:8443" << false;
    QTest::newRow("https token, plain api") << "https://127.0.0.1:8808"
                                            << "127.0.0.1:8808" << false;
}

void TestLocalSpeechService::unencryptedRemoteHosts_data()
{
    QTest::addColumn<QString>("tokenHost");
    QTest::addColumn<QString>("apiHost");
    QTest::addColumn<QStringList>("hosts");
    QTest::newRow("loopback, remote over https") << "localhost:8808"
                                                 << "https://speech.example" << QStringList();
    QTest::newRow("remote over http, once") << "speech.example:8808"
                                            << "http://speech.example:8808" << QStringList {"speech.example:8808"};
    QTest::newRow("token encrypted, api not") << "https://speech.example"
                                              << "10.0.0.5" << QStringList {"10.0.0.5"};
}

void TestLocalSpeechService::unencryptedRemoteHosts()
{
    QFETCH(QString, tokenHost);
    QFETCH(QString, apiHost);
    QFETCH(QStringList, hosts);
    QCOMPARE(LocalSpeechService::unencryptedRemoteHosts(configAt(tokenHost, apiHost)), hosts);
}

void TestLocalSpeechService::isLocal()
{
    QFETCH(QString, tokenHost);
    QFETCH(QString, apiHost);
    QFETCH(bool, local);
    QCOMPARE(LocalSpeechService::isLocalDeployment(configAt(tokenHost, apiHost)), local);
}

void TestLocalSpeechService::remoteDeploymentIsReadyAtOnce()
{
    QTemporaryDir empty; // a remote deployment never looks for the executable
    AppState::appDir = empty.path();
    LocalSpeechService service(configAt("speech.example.com", "speech.example.com"));
    QSignalSpy ready(&service, &LocalSpeechService::ready);
    service.ensureRunning();
    QCOMPARE(ready.size(), 0); // queued, so a caller connecting afterwards still hears it
    QVERIFY(ready.wait(1000));
    QCOMPARE(ready.first().first().toBool(), true);
    QVERIFY(!service.ownsRunningChild());
}

void TestLocalSpeechService::runningServiceIsUsed()
{
    SpeechServiceProcess running;
    QVERIFY(running.start());
    QTemporaryDir empty;
    AppState::appDir = empty.path();
    LocalSpeechService service(running.config());
    QSignalSpy ready(&service, &LocalSpeechService::ready);
    service.ensureRunning();
    QVERIFY(ready.wait(5000));
    QCOMPARE(ready.first().first().toBool(), true);
    QVERIFY(!service.ownsRunningChild());
}

void TestLocalSpeechService::startsTheServiceAndEndsIt()
{
    AppState::appDir = QStringLiteral(QUILLORA_BINARY_DIR);
    QTemporaryDir data;
    AppState::dataDir = data.path();
    const QString log = data.filePath(QStringLiteral(".quillora/speechd.log"));
    const quint16 port = freeLoopbackPort();
    QVERIFY(port != 0);
    const DeploymentConfig config = loopbackConfig(port);
    {
        LocalSpeechService service(config);
        QSignalSpy ready(&service, &LocalSpeechService::ready);
        QElapsedTimer call;
        call.start();
        service.ensureRunning();
        QVERIFY2(call.elapsed() < 1000, "ensureRunning must not wait for the service");
        QVERIFY(ready.wait(30000));
        QCOMPARE(ready.first().first().toBool(), true);
        QVERIFY(service.ownsRunningChild());

        // The child accepts the configured credentials.
        QtHttpClass client;
        QSignalSpy finished(&client, &QtHttpClass::sigReplyFinish);
        client.httpGet(SpeechProtocol::TokenRequest, config.tokenUrl());
        QVERIFY(finished.wait(10000));
        QVERIFY(!SpeechProtocol::decodeTokenReply(finished.first().at(1).toByteArray()).accessToken.isEmpty());
        // Its log goes to the data folder, not to our standard error.
        QTRY_VERIFY_WITH_TIMEOUT(readAll(log).contains("GET /oauth/2.0/token 200"), 5000);

        // Asking again uses the child already running.
        ready.clear();
        service.ensureRunning();
        QVERIFY(ready.wait(5000));
        QCOMPARE(ready.first().first().toBool(), true);
    }
    QVERIFY(!answersAt(port));
    AppState::dataDir.clear();
}

void TestLocalSpeechService::failedStart_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no executable at all
    QTest::addColumn<int>("reportWithinMs");
    QTest::newRow("no executable") << QByteArray() << 3000;
    QTest::newRow("exits at once") << QByteArray("#!/bin/sh\nexit 1\n") << 3000;
    QTest::newRow("never answers") << QByteArray("#!/bin/sh\nexec sleep 60\n") << 5000;
}

void TestLocalSpeechService::failedStart()
{
    QFETCH(QByteArray, script);
    QFETCH(int, reportWithinMs);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!script.isEmpty())
        QVERIFY(writeScript(dir.filePath(QStringLiteral("quillora-speechd")), script));
    AppState::appDir = dir.path();

    LocalSpeechService service(loopbackConfig(freeLoopbackPort()));
    service.startTimeoutMs = 1500;
    QSignalSpy ready(&service, &LocalSpeechService::ready);
    service.ensureRunning();
    QVERIFY(ready.wait(reportWithinMs));
    QCOMPARE(ready.first().first().toBool(), false);
    // A child that never answered is not left behind.
    QVERIFY(!service.ownsRunningChild());
}

void TestLocalSpeechService::secondCallWhileStartingReportsOnce()
{
    AppState::appDir = QStringLiteral(QUILLORA_BINARY_DIR);
    LocalSpeechService service(loopbackConfig(freeLoopbackPort()));
    QSignalSpy ready(&service, &LocalSpeechService::ready);
    service.ensureRunning();
    service.ensureRunning();
    QVERIFY(ready.wait(30000));
    QTest::qWait(300);
    QCOMPARE(ready.size(), 1);
    QCOMPARE(ready.first().first().toBool(), true);
}

void TestLocalSpeechService::listenerThatNeverCompletesIsNotAwaitedForever()
{
    // A listener whose backlog is full drops new connection attempts: the probe neither connects nor fails.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(listener >= 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), length) == 0);
    QVERIFY(::listen(listener, 0) == 0);
    QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    const quint16 port = ntohs(address.sin_port);
    QTcpSocket filler; // never accepted, so it keeps the backlog full
    filler.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(filler.waitForConnected(2000));

    QTemporaryDir empty; // no executable: once the probe gives up, the start fails at once
    AppState::appDir = empty.path();
    LocalSpeechService service(loopbackConfig(port));
    QSignalSpy ready(&service, &LocalSpeechService::ready);
    service.ensureRunning();
    const bool reported = ready.wait(5000);
    ::close(listener);
    QVERIFY(reported);
    QCOMPARE(ready.first().first().toBool(), false);
}

void TestLocalSpeechService::socketTable_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("sockets"); // "port state uid inode" each, joined by ";"
    const QByteArray head
        = "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout "
          "inode\n";
    QTest::newRow("listening on loopback") << head
            + "   0: 0100007F:2268 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 4242 1 "
              "0000000000000000 100 0 0 10 0\n"
                                           << "8808 10 1000 4242";
    QTest::newRow("ipv6, bound only") << head
            + "   3: 00000000000000000000000001000000:1F90 00000000000000000000000000000000:0000 07 "
              "00000000:00000000 00:00000000 00000000     0        0 77 1 0000000000000000 100 0 0 10 0\n"
                                      << "8080 7 0 77";
    QTest::newRow("the head alone") << head << QString();
    QTest::newRow("a cut line left out") << head + "   1: 0100007F:2268 00000000:0000 0A\n" << QString();
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestLocalSpeechService::socketTable()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, sockets);
    QStringList parsed;
    for (const PortHolder::Socket &socket : PortHolder::parseSockets(table))
        parsed << QStringLiteral("%1 %2 %3 %4").arg(socket.port).arg(socket.state).arg(socket.uid).arg(socket.inode);
    QCOMPARE(parsed.join(';'), sockets);
}

void TestLocalSpeechService::healthReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("ours");
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 60\r\n\r\n";
    QTest::newRow("ready") << head + R"({"status":"ok","workers":2,"queued":0,"capacity":8})" << true;
    QTest::newRow("still loading") << "HTTP/1.1 503 Service Unavailable\r\n\r\n"
            + QByteArray(R"({"status":"loading","workers":2})")
                                   << true;
    QTest::newRow("a web page") << head + "<html>hello</html>" << false;
    QTest::newRow("not found") << QByteArray("HTTP/1.1 404 Not Found\r\n\r\n{\"status\":\"ok\",\"workers\":1}")
                               << false;
    QTest::newRow("json of another kind") << head + R"({"status":"ok"})" << false;
    QTest::newRow("no head") << QByteArray(R"({"status":"ok","workers":2})") << false;
    QTest::newRow("nothing") << QByteArray() << false;
}

void TestLocalSpeechService::healthReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, ours);
    QCOMPARE(LocalSpeechService::isOurHealthReply(reply), ours);
}

void TestLocalSpeechService::portHeldByAnotherProgramIsNamed_data()
{
    QTest::addColumn<bool>("listening"); // else bound only, which no table shows
    QTest::addColumn<bool>("named"); // the holder's process is named
    QTest::newRow("listening, never answering") << true << true;
    QTest::newRow("bound, not listening") << false << false;
}

// The port taken by something that is not our service: the message names the address and the holder.
void TestLocalSpeechService::portHeldByAnotherProgramIsNamed()
{
    QFETCH(bool, listening);
    QFETCH(bool, named);
    quint16 port = 0;
    const int fd = boundSocket(&port);
    QVERIFY(fd >= 0);
    QTcpSocket filler; // never accepted: every later connection attempt waits
    if (listening) {
        QVERIFY(::listen(fd, 0) == 0);
        filler.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(filler.waitForConnected(2000));
    }
    AppState::appDir = QStringLiteral(QUILLORA_BINARY_DIR);
    LocalSpeechService service(loopbackConfig(port));
    QSignalSpy ready(&service, &LocalSpeechService::ready);
    service.ensureRunning();
    const bool reported = ready.wait(30000);
    ::close(fd);
    QVERIFY(reported);
    QCOMPARE(ready.first().first().toBool(), false);
    QCOMPARE(service.failure(), LocalSpeechService::Failure::PortHeld);
    const QString message = service.portHeldMessage();
    QVERIFY2(message.contains(QStringLiteral("端口 127.0.0.1:%1 已被").arg(port)), qPrintable(message));
    const QString pid = QString::number(QCoreApplication::applicationPid());
    QCOMPARE(service.portHolder().pid, named ? QCoreApplication::applicationPid() : 0);
    QVERIFY2(named ? message.contains("进程号 " + pid) && message.contains("tst_localspeech")
                   : message.contains("已被其他程序占用"),
        qPrintable(message));
    QVERIFY(!service.ownsRunningChild());
}

QTEST_GUILESS_MAIN(TestLocalSpeechService)
#include "tst_localspeechservice.moc"
