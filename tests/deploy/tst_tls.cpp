#include "conversiontestutil.h"

#include "common/speechtestutil.h"
#include "common/testmain.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>

using namespace ConversionTest;

namespace {

// HAProxy with deploy/haproxy.cfg's limits and TLS options in front of one backend, on three ports: TLS
// with a certificate of authority "a", TLS with one of authority "b" (made by deploy/make-certificates.sh),
// and plain HTTP. It logs every request line on standard error.
struct Balancer
{
    enum Port { TlsA, TlsB, Plain };

    Balancer(const QString &folder, QString backend)
        : folder(folder)
    {
        for (const char *authority : {"/a", "/b"}) {
            QProcess script;
            script.start(QUILLORA_SOURCE_DIR "/deploy/make-certificates.sh", {folder + authority, "127.0.0.1"});
            if (!script.waitForFinished(60000) || script.exitCode() != 0)
                return;
        }
        QFile original(QUILLORA_SOURCE_DIR "/deploy/haproxy.cfg");
        QFile config(folder + "/haproxy.cfg");
        if (!original.open(QIODevice::ReadOnly) || !config.open(QIODevice::WriteOnly))
            return;
        for (const QString &line : QString::fromUtf8(original.readAll()).split('\n')) {
            QStringList words = line.split(' ', Qt::SkipEmptyParts);
            if (words.value(0) == "bind") {
                for (int k = TlsA; k <= Plain; ++k) {
                    words[1] = QStringLiteral("127.0.0.1:%1").arg(ports[k]);
                    words[words.indexOf("crt") + 1] = folder + (k == TlsA ? "/a" : "/b") + "/server.pem";
                    config.write("    " + (k == Plain ? words.mid(0, 2) : words).join(' ').toUtf8() + '\n');
                }
            } else if (words.value(0) == "server") {
                if (!backend.isEmpty()) // one server line in place of all
                    config.write("    server backend " + backend.toUtf8() + " check\n");
                backend.clear();
            } else {
                config.write(line.toUtf8() + '\n');
                if (words.value(0) == "global" || words.value(0) == "defaults")
                    config.write(words.value(0) == "global" ? "    log stderr format raw local0\n"
                                                            : "    log global\n    option httplog\n");
            }
        }
        config.close();
        haproxy.start("haproxy", {"-db", "-f", config.fileName()});
        QElapsedTimer clock;
        clock.start();
        while (!ready && clock.elapsed() < 30000 && haproxy.waitForStarted(10000)) {
            QTcpSocket probe;
            probe.connectToHost("127.0.0.1", ports[Plain]);
            ready = probe.waitForConnected(1000);
            QTest::qWait(ready ? 0 : 100);
        }
    }
    ~Balancer()
    {
        haproxy.terminate();
        if (!haproxy.waitForFinished(5000))
            haproxy.kill();
        haproxy.waitForFinished(5000);
    }
    QString log() { return logText += QString::fromUtf8(haproxy.readAllStandardError()); }

    QString folder;
    const quint16 ports[3]
        = {SpeechTestUtil::freeLoopbackPort(), SpeechTestUtil::freeLoopbackPort(), SpeechTestUtil::freeLoopbackPort()};
    bool ready = false;
    QProcess haproxy;
    QString logText;
};

} // namespace

// Quillora and a speech service behind a TLS balancer: a conversion through it, and each way a connection
// can fail to be trusted or to match, ending the run before any credential or audio is sent.
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
    f.window->testSeams.serviceHost = QStringLiteral("https://127.0.0.1:%1").arg(balancer.ports[Balancer::TlsA]);
    f.window->testSeams.caFile = balancer.folder + "/a/ca.pem";
    f.window->languageBox->setCurrentText("中文近场"); // a service elsewhere offers every language
    QVERIFY(makeNoiseWav(f.media.filePath("talk.wav"), 16000 * 3));
    f.addTask(f.media.filePath("talk.wav"));

    f.window->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 60000));
    QCOMPARE(f.notices, QStringList {"文件已经全部转换完成！"});
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
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("caFile"); // in the balancer's folder; empty: the system's store
    QTest::addColumn<QString>("message"); // its start, %1 the host
    const QString untrusted
        = "无法验证语音服务器 %1 的证书（签发它的机构不受信任）。连接已中断，未发送任何音频或凭据。";
    QTest::newRow("another authority's certificate") << "https" << int(Balancer::TlsB) << "a/ca.pem" << untrusted;
    QTest::newRow("authority not in the system's store") << "https" << int(Balancer::TlsA) << "" << untrusted;
    QTest::newRow("authority file missing") << "https" << int(Balancer::TlsA) << "missing.pem"
                                            << "无法验证语音服务器 %1 的证书：部署配置中的证书文件";
    QTest::newRow("https to a plain HTTP port") << "https" << int(Balancer::Plain) << "a/ca.pem"
                                                << "无法与语音服务器 %1 建立加密连接，该端口可能不支持 https。";
    QTest::newRow("http to a TLS port") << "http" << int(Balancer::TlsA) << "a/ca.pem"
                                        << "语音服务器 %1 未作应答就断开了连接。如果它只接受加密连接，"
                                           "请在部署配置中把地址写成 https://%1。";
}

void TestTls::refused()
{
    QFETCH(QString, scheme);
    QFETCH(int, port);
    QFETCH(QString, caFile);
    QFETCH(QString, message);
    Fixture f;
    Balancer balancer(f.media.filePath("tls"), f.server.hostAndPort());
    QVERIFY2(balancer.ready, qPrintable(balancer.log()));
    const QString host = QStringLiteral("127.0.0.1:%1").arg(balancer.ports[port]);
    f.window->accessToken.clear();
    f.window->testSeams.serviceHost = scheme + "://" + host;
    f.window->testSeams.caFile = caFile.isEmpty() ? QString() : balancer.folder + "/" + caFile;
    QVERIFY(makeNoiseWav(f.media.filePath("talk.wav"), 16000));
    f.addTask(f.media.filePath("talk.wav"));

    QElapsedTimer clock;
    clock.start();
    f.window->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 30000));
    // Told at once, well before the token request would time out (8 s): never a hang.
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(f.notices.size(), 1);
    QVERIFY2(f.notices.first().startsWith(message.arg(host)), qPrintable(f.notices.first()));
    QVERIFY(f.window->accessToken.isEmpty());
    QCOMPARE(f.read("myWordFiles/talk.txt"), QByteArray("<missing>"));
    // Only the balancer's health checks reached the service, and the balancer saw no request line.
    for (const ScriptedServer::Request &request : qAsConst(f.server.requests))
        QCOMPARE(request.path, QByteArray("/healthz"));
    QTest::qWait(200);
    QVERIFY2(
        !balancer.log().contains(" /oauth/") && !balancer.log().contains(" /server_api"), qPrintable(balancer.log()));
}

QUILLORA_TEST_MAIN(TestTls)
#include "tst_tls.moc"
