#include "audiotestutil.h"
#include "common/scriptedserver.h"

#include "pipeline/conversionengine.h"
#include "pipeline/speechprotocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace ConversionTest;

namespace {

// An engine over a data folder of its own, speaking to a scripted service, presented by nothing but
// lists: the task list it converts and what its signals said.
struct EngineRun
{
    explicit EngineRun(ScriptedServer &server, const QString &dataDir = QString())
        : engine(options(server, dataDir.isEmpty() ? data.path() : dataDir))
    {
        engine.accessToken() = QStringLiteral("test-token");
        QObject::connect(&engine, &ConversionEngine::progressText, [this](const QString &text) { progress << text; });
        QObject::connect(&engine, &ConversionEngine::documentWritten, [this](const QString &task, const QString &doc) {
            documents << doc;
            tasks.removeOne(task);
        });
        QObject::connect(
            &engine, &ConversionEngine::taskMissing, [this](const QString &task) { tasks.removeOne(task); });
        QObject::connect(&engine, &ConversionEngine::runEnded, [this](const QString &message, bool fileWasStarted) {
            messages << message;
            lastEndStartedFile = fileWasStarted;
        });
    }

    static ConversionEngine::Options options(ScriptedServer &server, const QString &dataDir)
    {
        ConversionEngine::Options options;
        options.service = defaultDeploymentConfig();
        options.service.tokenHost = server.hostAndPort();
        options.service.apiHost = server.hostAndPort();
        options.service.parallelRequests = 1;
        options.dataDir = dataDir;
        options.documentDir = dataDir + QStringLiteral("/myWordFiles");
        options.appDir = dataDir;
        options.machineId = QStringLiteral("engine-test");
        options.retryPauseUnitMs = 20;
        return options;
    }

    bool start(const QString &language = QStringLiteral("英文"))
    {
        return engine.start(language, [this] { return tasks.value(0); });
    }
    bool waitEnded(int timeoutMs = 60000)
    {
        return QTest::qWaitFor([this] { return !engine.isRunning(); }, timeoutMs);
    }
    QString dataDir() const { return engine.options().dataDir; }

    QTemporaryDir data;
    ConversionEngine engine;
    QStringList tasks;
    QStringList progress;
    QStringList messages; // one per end of a run
    QStringList documents;
    bool lastEndStartedFile = false;
};

QString noiseTask(const QTemporaryDir &media, const QString &name, qint64 samples)
{
    const QString path = media.filePath(name);
    return makeNoiseWav(path, samples) ? path : QString();
}

QByteArray devPidField(const QString &language)
{
    return QByteArray("\"dev_pid\" : ") + QByteArray::number(SpeechProtocol::devPidForLanguage(language));
}

} // namespace

// The run without a window: what it sends, what it writes and how it ends, told only by its signals.
class TestEngine : public QObject
{
    Q_OBJECT
private slots:
    void failCodes_data();
    void failCodes();
    void replyForASegmentNotInFlight();
    void languageFixedWhenTheRunStarts();
};

void TestEngine::failCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("3301") << 3301 << "语音识别结果实际为空！";
    QTest::newRow("3302") << 3302 << "鉴权失败！";
    QTest::newRow("3303") << 3303 << "语音服务器后端繁忙，或是音频质量过低！";
    QTest::newRow("3307") << 3307 << "语音服务器后端识别出错！";
    QTest::newRow("3309") << 3309 << "服务端无法将音频转为pcm格式，可能是音频格式问题！";
    QTest::newRow("3313") << 3313 << "语音服务器解析超时！";
    QTest::newRow("3314") << 3314 << "音频长度过短！";
    QTest::newRow("3315") << 3315 << "语音服务器处理超时！";
    QTest::newRow("3316") << 3316 << "音频转为pcm失败！";
}

void TestEngine::failCodes()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    ScriptedServer server;
    EngineRun run(server);
    server.recognitionReplies.enqueue(ScriptedServer::errNo(code));
    const QString task = noiseTask(run.data, "f.wav", 160000);
    run.tasks << task;
    QVERIFY(run.start());
    QVERIFY(run.waitEnded());
    QCOMPARE(run.messages, QStringList {message});
    QVERIFY(run.lastEndStartedFile); // the window enables its close-document button again
    QCOMPARE(run.tasks, QStringList {task});
    QCOMPARE(server.recognitionRequests().size(), 1);
}

void TestEngine::replyForASegmentNotInFlight()
{
    ScriptedServer server;
    EngineRun run(server);
    ConversionEngine::Options options = run.engine.options();
    options.service.parallelRequests = 0; // automatic: as many as the service has workers
    run.engine.setOptions(options);
    server.healthWorkers = 2;
    server.recognitionReplies << ScriptedServer::silence() << ScriptedServer::silence();
    run.tasks << noiseTask(run.data, "odd.wav", 16000LL * 185);
    QVERIFY(run.start());
    QTRY_COMPARE_WITH_TIMEOUT(server.recognitionRequests().size(), 2, 30000);
    const QString progress = run.progress.last();
    QSignalSpy recognised(&run.engine, &ConversionEngine::segmentRecognised);
    for (int segment : {2, 3, 40})
        run.engine.slotReadJson(
            SpeechProtocol::recognitionRequestId(segment), "{\"err_no\": 0, \"result\": [\"stray\"]}");
    QCOMPARE(run.progress.last(), progress);
    QCOMPARE(recognised.count(), 0);
    QVERIFY(run.engine.isRunning());
    run.engine.stop();
}

void TestEngine::languageFixedWhenTheRunStarts()
{
    ScriptedServer server;
    EngineRun run(server);
    server.recognitionReplies.enqueue(ScriptedServer::silence()); // the first segment waits for the test
    run.tasks << noiseTask(run.data, "talk.wav", 16000LL * 125);
    QVERIFY(run.start(QStringLiteral("英文")));
    QTRY_VERIFY_WITH_TIMEOUT(!server.recognitionRequests().isEmpty(), 30000);
    // Asked again mid-run in another language: refused, and the run goes on in its own.
    QVERIFY(!run.start(QStringLiteral("中文近场")));
    QCOMPARE(run.engine.language(), QStringLiteral("英文"));
    server.answerHeld(ScriptedServer::json(R"({"err_no": 0, "result": ["held"]})"));
    QVERIFY(run.waitEnded());
    QCOMPARE(run.messages, QStringList {"文件已经全部转换完成！"});
    const QList<ScriptedServer::Request> requests = server.recognitionRequests();
    QCOMPARE(requests.size(), 3);
    for (const ScriptedServer::Request &request : requests)
        QVERIFY2(request.body.contains(devPidField(QStringLiteral("英文"))), request.body.left(200).constData());
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
