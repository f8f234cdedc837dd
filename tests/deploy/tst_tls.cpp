#include "conversiontestutil.h"

#include "common/speechtestutil.h"
#include "common/testmain.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>

using namespace ConversionTest;

namespace {

const int tokenTimeoutMs = 8000;

// deploy/make-certificates.sh: a private authority and a server certificate for 127.0.0.1 in folder.
bool makeCertificates(const QString &folder)
{
    QProcess script;
    script.start(QStringLiteral(QUILLORA_SOURCE_DIR "/deploy/make-certificates.sh"), {folder, "127.0.0.1"});
    return script.waitForFinished(60000) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

// HAProxy with deploy/haproxy.cfg's limits and TLS options in front of one backend, on three ports: TLS
// with the certificate of authority "a", TLS with one of authority "b", and plain HTTP. Its log (one line
// per request, with the request line) goes to standard error, which is kept.
class Balancer
{
public:
    Balancer(const QString &folder, const QString &backend)
        : folder(folder)
    {
        if (!makeCertificates(folder + "/a") || !makeCertificates(folder + "/b"))
            return;
        QFile templateFile(QStringLiteral(QUILLORA_SOURCE_DIR "/deploy/haproxy.cfg"));
        if (!templateFile.open(QIODevice::ReadOnly))
            return;
        QStringList lines;
        for (const QString &line : QString::fromUtf8(templateFile.readAll()).split('\n')) {
            const QString stripped = line.trimmed();
            if (stripped.startsWith("bind ")) {
                lines << bindLine(stripped, tlsPort, folder + "/a/server.pem")
                      << bindLine(stripped, otherTlsPort, folder + "/b/server.pem")
                      << QStringLiteral("    bind 127.0.0.1:%1").arg(plainPort);
            } else if (stripped.startsWith("server ")) {
                if (!lines.last().trimmed().startsWith("server "))
                    lines << "    server backend " + backend + " check";
            } else {
                lines << line;
                if (stripped == "global")
                    lines << "    log stderr format raw local0";
                else if (stripped == "defaults")
                    lines << "    log global"
                          << "    option httplog";
            }
        }
        QFile config(folder + "/haproxy.cfg");
        if (!config.open(QIODevice::WriteOnly) || config.write(lines.join('\n').toUtf8() + '\n') < 0)
            return;
        config.close();
        haproxy.start(QStringLiteral("haproxy"), {"-db", "-f", config.fileName()});
        if (!haproxy.waitForStarted(10000))
            return;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 30000 && haproxy.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), plainPort);
            if (probe.waitForConnected(1000)) {
                ready = true;
                return;
            }
            QTest::qWait(100);
        }
    }
    ~Balancer()
    {
        haproxy.terminate();
        if (!haproxy.waitForFinished(5000))
            haproxy.kill();
        haproxy.waitForFinished(5000);
    }

    QString log()
    {
        logText += QString::fromUtf8(haproxy.readAllStandardError());
        return logText;
    }
    QString caFile(const QString &authority) const { return folder + "/" + authority + "/ca.pem"; }

    QString folder;
    const quint16 tlsPort = SpeechTestUtil::freeLoopbackPort();
    const quint16 otherTlsPort = SpeechTestUtil::freeLoopbackPort();
    const quint16 plainPort = SpeechTestUtil::freeLoopbackPort();
    bool ready = false;

private:
    static QString bindLine(const QString &templateLine, quint16 port, const QString &certificate)
    {
        QStringList words = templateLine.split(' ', Qt::SkipEmptyParts);
        words[1] = QStringLiteral("127.0.0.1:%1").arg(port);
        words[words.indexOf("crt") + 1] = certificate;
        return "    " + words.join(' ');
    }

    QProcess haproxy;
    QString logText;
};

} // namespace

// Quillora talking to a speech service behind a TLS balancer: a conversion through it, and each way a
// connection can fail to be trusted or to match, ending the run before any credential or audio is sent.
class TestTls : public QObject
{
    Q_OBJECT
private slots:
    void conversionThroughTheBalancer();
    void refused_data();
    void refused();
};

void TestTls::conversionThroughTheBalancer()
{
    Fixture f;
    Balancer balancer(f.media.filePath("tls"), f.server.hostAndPort());
    QVERIFY2(balancer.ready, qPrintable(balancer.log()));
    f.window->accessToken.clear();
    f.window->testSeams.serviceHost = QStringLiteral("https://127.0.0.1:%1").arg(balancer.tlsPort);
    f.window->testSeams.caFile = balancer.caFile("a");
    f.window->languageBox->setCurrentText(QStringLiteral("中文近场")); // a service elsewhere offers every language
    const QString task = f.media.filePath("talk.wav");
    QVERIFY(makeNoiseWav(task, 16000 * 3));
    f.addTask(task);

    f.window->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 60000));
    QCOMPARE(f.notices, QStringList {QStringLiteral("文件已经全部转换完成！")});
    QCOMPARE(f.read("myWordFiles/talk.txt").trimmed(), QByteArray("segment 0"));
    // Both exchanges went through the balancer's TLS port to the service behind it.
    QCOMPARE(f.server.tokenRequestCount(), 1);
    QCOMPARE(f.server.recognitionRequests().size(), 1);
    QVERIFY(f.server.recognitionRequests().first().body.contains("\"dev_pid\" : 1537"));
    QTRY_VERIFY_WITH_TIMEOUT(balancer.log().contains("GET /oauth/2.0/token?grant_type=client_credentials"), 5000);
}

void TestTls::refused_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("port"); // "tls", "other" (authority b's certificate) or "plain"
    QTest::addColumn<QString>("caFile"); // "a", "b", "missing" or "" (the system's store)
    QTest::addColumn<QString>("message"); // with %1 for the host
    QTest::newRow("certificate from another authority") << "https"
                                                        << "other"
                                                        << "a" << QStringLiteral("无法验证语音服务器 %1 的证书（");
    QTest::newRow("authority unknown to the system's store") << "https"
                                                             << "tls"
                                                             << "" << QStringLiteral("无法验证语音服务器 %1 的证书（");
    QTest::newRow("authority file missing")
        << "https"
        << "tls"
        << "missing" << QStringLiteral("无法验证语音服务器 %1 的证书：部署配置中的证书文件");
    QTest::newRow("https to a plain HTTP port")
        << "https"
        << "plain"
        << "a" << QStringLiteral("无法与语音服务器 %1 建立加密连接，该端口可能不支持 https。");
    QTest::newRow("http to a TLS port") << "http"
                                        << "tls"
                                        << "a"
                                        << QStringLiteral("语音服务器 %1 未作应答就断开了连接。如果它只接受加密连接，"
                                                          "请在部署配置中把地址写成 https://%1。");
}

void TestTls::refused()
{
    QFETCH(QString, scheme);
    QFETCH(QString, port);
    QFETCH(QString, caFile);
    QFETCH(QString, message);
    Fixture f;
    Balancer balancer(f.media.filePath("tls"), f.server.hostAndPort());
    QVERIFY2(balancer.ready, qPrintable(balancer.log()));
    const quint16 number = port == "tls" ? balancer.tlsPort
        : port == "other"                ? balancer.otherTlsPort
                                         : balancer.plainPort;
    const QString host = QStringLiteral("127.0.0.1:%1").arg(number);
    f.window->accessToken.clear();
    f.window->testSeams.serviceHost = scheme + "://" + host;
    f.window->testSeams.caFile = caFile.isEmpty() ? QString() : balancer.caFile(caFile);
    const QString task = f.media.filePath("talk.wav");
    QVERIFY(makeNoiseWav(task, 16000));
    f.addTask(task);

    QElapsedTimer clock;
    clock.start();
    f.window->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 30000));
    // Told at once, well before the token request would have timed out: never a hang.
    QVERIFY2(clock.elapsed() < tokenTimeoutMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(f.notices.size(), 1);
    qInfo("%s", qUtf8Printable(f.notices.first()));
    QVERIFY2(f.notices.first().startsWith(message.arg(host)), qPrintable(f.notices.first()));
    QVERIFY(f.window->accessToken.isEmpty());
    QCOMPARE(f.read("myWordFiles/talk.txt"), QByteArray("<missing>"));
    // Nothing but the balancer's health checks reached the service; the balancer saw no request line.
    for (const ScriptedServer::Request &request : qAsConst(f.server.requests))
        QCOMPARE(request.path, QByteArray("/healthz"));
    QTest::qWait(200);
    QVERIFY2(!balancer.log().contains("/oauth/2.0/token"), qPrintable(balancer.log()));
    QVERIFY(!balancer.log().contains("/server_api"));
}

QUILLORA_TEST_MAIN(TestTls)
#include "tst_tls.moc"
