#include "common/speechhttp.h"
#include "common/speechtestutil.h"

#include <QFile>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using namespace SpeechTestUtil;

namespace {

const QString speechd = QStringLiteral(QUILLORA_BINARY_DIR "/quillora-speechd");

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

int errNoOf(const HttpAnswer &answer)
{
    return answer.json().value(QStringLiteral("err_no")).toInt(-1);
}

} // namespace

// Several service processes: what they share through the token key, how each starts.
class TestSpeechdInstances : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answersWithoutServing_data();
    void answersWithoutServing();
    void badKeyFileStopsTheStart_data();
    void badKeyFileStopsTheStart();
    void unloadableModelEndsTheService();
    void tokensAcrossInstances();
    void healthWhileLoadingAndAfter();
    void takenPortIsNotShared();
    void logFileIsBounded();

private:
    QTemporaryDir dir;
    QNetworkAccessManager network;
    QByteArray spokenWav;
};

void TestSpeechdInstances::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString path = makeEnglishWav(dir.path(), QStringLiteral("morning"), QStringLiteral("Good morning."));
    QVERIFY(!path.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    spokenWav = file.readAll();
}

void TestSpeechdInstances::answersWithoutServing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutPattern");
    QTest::addColumn<QString>("stderrPattern");
    QTest::newRow("--help") << QStringList {"--help"} << 0 << "^usage: quillora-speechd \\[--listen"
                            << "^$";
    QTest::newRow("-h after other options") << QStringList {"--queue", "3", "-h"} << 0 << "^usage: "
                                            << "^$";
    QTest::newRow("--version") << QStringList {"--version"} << 0 << "^quillora-speechd \\d+\\.\\d+\n$"
                               << "^$";
    QTest::newRow("unknown option") << QStringList {"--port", "80"} << 2 << "^$"
                                    << "unknown option.*\nusage: quillora-speechd";
}

// Asked for its usage or version, the service says it and ends at once, without listening.
void TestSpeechdInstances::answersWithoutServing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutPattern);
    QFETCH(QString, stderrPattern);
    QProcess process;
    process.start(speechd, arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(QRegularExpression(stdoutPattern).match(out).hasMatch(), qPrintable(out));
    QVERIFY2(QRegularExpression(stderrPattern).match(err).hasMatch(), qPrintable(err));
}

void TestSpeechdInstances::badKeyFileStopsTheStart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // no file is made for "missing", a folder for "folder"
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing" << QByteArray() << "does not exist";
    QTest::newRow("empty") << "empty" << QByteArray() << "holds 0 bytes";
    QTest::newRow("too short") << "short" << QByteArray("SecretKeyMaterial0123456789abcd") << "holds 31 bytes";
    QTest::newRow("a folder") << "folder" << QByteArray() << "cannot be read";
}

void TestSpeechdInstances::badKeyFileStopsTheStart()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path = dir.filePath(QStringLiteral("bad-") + name);
    if (name == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (name != QLatin1String("missing"))
        QVERIFY(writeFile(path, content));

    QProcess process;
    process.start(
        speechd, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--token-key-file"), path});
    QVERIFY(process.waitForFinished(30000));
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY2(errors.contains(QStringLiteral("token key file ") + path) && errors.contains(reason), qPrintable(errors));
    QVERIFY2(!errors.contains(QStringLiteral("listening on")), qPrintable(errors));
    if (!content.isEmpty())
        QVERIFY(!errors.contains(QString::fromLatin1(content.left(12))));
}

void TestSpeechdInstances::unloadableModelEndsTheService()
{
    // The listener is up before the models load; a model that fails still ends the service with status 1.
    QProcess process;
    process.start(speechd,
        {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--model-dir"),
            dir.filePath("none")});
    QVERIFY(process.waitForFinished(30000));
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(errors.contains(QStringLiteral("cannot load the English model")), qPrintable(errors));
}

void TestSpeechdInstances::tokensAcrossInstances()
{
    // Printable keys, so the logs can be searched for them.
    const QByteArray key = QByteArray("SharedKey-").append(QByteArray(40, 'q'));
    const QByteArray otherKey = QByteArray("OtherKey-").append(QByteArray(40, 'z'));
    QVERIFY(writeFile(dir.filePath("shared.key"), key));
    QVERIFY(writeFile(dir.filePath("other.key"), otherKey));
    SpeechServiceProcess a, b, c;
    for (auto [service, file] : {std::pair {&a, "shared.key"}, {&b, "shared.key"}, {&c, "other.key"}})
        QVERIFY2(service->start({QStringLiteral("--workers"), QStringLiteral("1"), QStringLiteral("--token-key-file"),
                     dir.filePath(file)}),
            qPrintable(service->log()));

    const QString fromA = fetchToken(network, a);
    const QString fromC = fetchToken(network, c);
    QVERIFY(!fromA.isEmpty() && !fromC.isEmpty());
    const QByteArray tooShort = requestBody(fromA, silentWav(0.2));
    // 3314 (audio too short) means the token passed: it is checked first.
    QCOMPARE(errNoOf(exchange(network, recognitionUrl(a.hostAndPort()), &tooShort)), 3314);
    QCOMPARE(errNoOf(exchange(network, recognitionUrl(b.hostAndPort()), &tooShort)), 3314);
    QCOMPARE(errNoOf(exchange(network, recognitionUrl(c.hostAndPort()), &tooShort)), 3302);
    const QByteArray spokenWithC = requestBody(fromC, spokenWav);
    QCOMPARE(errNoOf(exchange(network, recognitionUrl(a.hostAndPort()), &spokenWithC)), 3302);
    const HttpAnswer atC = exchange(network, recognitionUrl(c.hostAndPort()), &spokenWithC);
    QCOMPARE(errNoOf(atC), 0);
    const QByteArray spokenWithA = requestBody(fromA, spokenWav);
    const HttpAnswer atB = exchange(network, recognitionUrl(b.hostAndPort()), &spokenWithA);
    QCOMPARE(errNoOf(atB), 0);
    // The same words from any instance.
    QCOMPARE(
        atB.json().value("result").toArray().at(0).toString(), atC.json().value("result").toArray().at(0).toString());

    for (SpeechServiceProcess *service : {&a, &b, &c}) {
        const QString log = service->log();
        QVERIFY(
            !log.contains(QString::fromLatin1(key.left(12))) && !log.contains(QString::fromLatin1(otherKey.left(12))));
        QVERIFY(!log.contains(QString::fromLatin1(QByteArray(40, 'q'))));
    }
}

void TestSpeechdInstances::healthWhileLoadingAndAfter()
{
    // Three models take seconds to load; the listener answers from the start.
    SpeechServiceProcess service;
    QVERIFY2(service.start(
                 {QStringLiteral("--workers"), QStringLiteral("3"), QStringLiteral("--queue"), QStringLiteral("5")}),
        qPrintable(service.log()));
    const QString healthUrl = QStringLiteral("http://%1/healthz").arg(service.hostAndPort());
    const HttpAnswer loading = exchange(network, healthUrl);
    QCOMPARE(loading.status, 503);
    QCOMPARE(loading.json().value("status").toString(), QStringLiteral("loading"));
    QCOMPARE(loading.json().value("workers").toInt(), 3);
    QCOMPARE(loading.json().value("capacity").toInt(), 5);

    // A token meanwhile, and a recognition request that waits for the first model rather than failing.
    const QString token = fetchToken(network, service);
    QVERIFY(!token.isEmpty());
    const QByteArray body = requestBody(token, spokenWav);
    QCOMPARE(errNoOf(exchange(network, recognitionUrl(service.hostAndPort()), &body)), 0);

    HttpAnswer ready;
    QTRY_VERIFY_WITH_TIMEOUT((ready = exchange(network, healthUrl)).status == 200, 30000);
    QCOMPARE(ready.body, QByteArray(R"({"status":"ok","workers":3,"queued":0,"capacity":5})"));
    QCOMPARE(ready.json().size(), 4);
    // Health checks come every second from a balancer: they stay out of the log, the requests do not.
    QVERIFY(!service.log().contains(QStringLiteral("/healthz")));
    QVERIFY(service.log().contains(QStringLiteral("POST /server_api 200 err_no=0")));
}

void TestSpeechdInstances::takenPortIsNotShared()
{
    // Two instances on one port would each get some of its connections, with different token keys.
    SpeechServiceProcess first;
    QVERIFY2(first.start({QStringLiteral("--workers"), QStringLiteral("1")}), qPrintable(first.log()));
    QProcess second;
    second.start(
        speechd, {QStringLiteral("--listen"), first.hostAndPort(), QStringLiteral("--workers"), QStringLiteral("1")});
    QVERIFY(second.waitForFinished(30000));
    const QString errors = QString::fromLocal8Bit(second.readAllStandardError());
    QCOMPARE(second.exitCode(), 1);
    QVERIFY2(errors.contains(QStringLiteral("cannot listen on ") + first.hostAndPort()), qPrintable(errors));
}

// Told to log to a file, the service writes nothing on its standard error, and keeps the file near its
// size: a full file becomes the one before and a new one is begun.
void TestSpeechdInstances::logFileIsBounded()
{
    const QString log = dir.filePath(QStringLiteral("bounded.log"));
    const int limit = 1000;
    const quint16 port = freeLoopbackPort();
    const QString hostAndPort = QStringLiteral("127.0.0.1:%1").arg(port);
    QProcess service;
    service.start(speechd,
        {QStringLiteral("--listen"), hostAndPort, QStringLiteral("--workers"), QStringLiteral("1"),
            QStringLiteral("--client-id"), testClientId(), QStringLiteral("--client-secret"), testClientSecret(),
            QStringLiteral("--log-file"), log, QStringLiteral("--log-file-bytes"), QString::number(limit)});
    QVERIFY(service.waitForStarted(10000));
    QVERIFY(waitUntilHealthy(network, hostAndPort));
    for (int i = 0; i < 30; ++i)
        QVERIFY(!fetchToken(network, hostAndPort).isEmpty());
    service.terminate();
    QVERIFY(service.waitForFinished(10000));
    QCOMPARE(service.readAllStandardError(), QByteArray());
    QFile current(log);
    QFile before(log + QStringLiteral(".1"));
    QVERIFY(current.open(QIODevice::ReadOnly) && before.open(QIODevice::ReadOnly));
    const QByteArray older = before.readAll();
    int line = 0;
    for (const QByteArray &text : older.split('\n'))
        line = std::max(line, int(text.size()) + 1);
    // Each file ends at the first line that took it past the limit.
    QVERIFY2(older.size() >= limit && older.size() < limit + line, qPrintable(QString::number(older.size())));
    QVERIFY(current.size() < limit + line);
    QVERIFY2(older.contains("GET /oauth/2.0/token 200") && older.count('\n') >= 5, older.constData());
}

QTEST_GUILESS_MAIN(TestSpeechdInstances)
#include "tst_speechdinstances.moc"
