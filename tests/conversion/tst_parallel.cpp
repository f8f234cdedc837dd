#include "conversiontestutil.h"

#include "app/deployment.h"
#include "common/testmain.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

using namespace ConversionTest;

// Several segments of a file recognised at once: the document is the one a one-at-a-time run writes,
// whatever order the answers come in, and a run still ends exactly once.
class TestParallel : public QObject
{
    Q_OBJECT
private slots:
    void parallelRequestsSetting_data();
    void parallelRequestsSetting();
    void sameDocumentAtOnceAsOneByOne();
    void answersInReverseOrder();
    void retryOfOneSegment();
    void failureWhileOthersAreInFlight_data();
    void failureWhileOthersAreInFlight();
    void stopWithSeveralInFlight();

private:
    // 3 min 5 s of noise: four segments, the last a short one.
    static QString fourSegments(Fixture &f, const QString &name)
    {
        const QString path = f.media.filePath(name);
        return makeNoiseWav(path, 16000LL * 185) ? path : QString();
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static bool waitIdle(Fixture &f)
    {
        return QTest::qWaitFor([&] { return f.idle(); }, 60000);
    }
    static QString documentOf(const QString &name) { return AppState::appDir + "/myWordFiles/" + name; }
    // Converts a copy of the same audio with the service reporting `workers`; returns the document.
    static QByteArray convertWith(int workers, int holdBatch, int *mostInFlight);
};

void TestParallel::parallelRequestsSetting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("valid");
    QTest::newRow("automatic") << "0" << 0 << true;
    QTest::newRow("one at a time") << "1" << 1 << true;
    QTest::newRow("four, spaced") << " 4 " << 4 << true;
    QTest::newRow("negative") << "-2" << 0 << false;
    QTest::newRow("not a number") << "many" << 0 << false;
    QTest::newRow("empty") << "" << 0 << false;
}

void TestParallel::parallelRequestsSetting()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(bool, valid);
    bool parsedValid = !valid;
    QCOMPARE(parseParallelRequests(text, &parsedValid), value);
    QCOMPARE(parsedValid, valid);

    // The same through the deployment file.
    QTemporaryDir dir;
    {
        QSettings ini(dir.filePath("quillora.ini"), QSettings::IniFormat);
        ini.setValue("service/parallel_requests", text);
    }
    QCOMPARE(loadDeploymentConfig(dir.filePath("quillora.ini")).parallelRequests, value);
}

QByteArray TestParallel::convertWith(int workers, int holdBatch, int *mostInFlight)
{
    Fixture f;
    f.window->testSeams.parallelRequests = 0; // automatic: as many as the service has workers
    f.server.textFromAudio = true;
    f.server.healthWorkers = workers;
    f.server.holdBatch = holdBatch;
    f.addTask(fourSegments(f, "talk.wav"));
    f.window->slotBeginCover();
    if (!waitIdle(f) || f.notices != QStringList {"文件已经全部转换完成！"}) {
        qWarning() << "not converted:" << f.notices << f.window->beginCoverBtn->text() << f.server.requests.size();
        return "<not converted>";
    }
    if (f.server.recognitionRequests().size() != 4)
        return "<not four requests>";
    *mostInFlight = f.server.mostInFlight;
    return readFile(documentOf("talk.txt"));
}

void TestParallel::sameDocumentAtOnceAsOneByOne()
{
    int oneAtATime = 0;
    int atOnce = 0;
    const QByteArray single = convertWith(1, 0, &oneAtATime);
    QCOMPARE(single.count("words "), 4);
    QCOMPARE(oneAtATime, 1);
    // Three held until all three are there: the run finishes only if it really sends three at once.
    QCOMPARE(convertWith(3, 3, &atOnce), single);
    QCOMPARE(atOnce, 3);
}

void TestParallel::answersInReverseOrder()
{
    int unused = 0;
    const QByteArray inOrder = convertWith(1, 0, &unused);
    QCOMPARE(convertWith(4, 4, &unused), inOrder);

    Fixture f;
    f.window->testSeams.parallelRequests = 0; // automatic: as many as the service has workers
    f.server.textFromAudio = true;
    f.server.healthWorkers = 3;
    f.server.holdBatch = 3;
    f.addTask(fourSegments(f, "view.wav"));
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    // The view shows the text in segment order too.
    QCOMPARE(f.window->wordTextEdit->toPlainText(), QString::fromUtf8(readFile(documentOf("view.txt"))));
}

void TestParallel::retryOfOneSegment()
{
    Fixture f;
    f.window->testSeams.parallelRequests = 0; // automatic: as many as the service has workers
    f.server.textFromAudio = true;
    f.server.healthWorkers = 3;
    f.server.recognitionReplies << ScriptedServer::errNo(3304);
    ButtonTexts texts(f.window.get());
    f.addTask(fourSegments(f, "retry.wav"));
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices, QStringList {"文件已经全部转换完成！"});
    QCOMPARE(f.server.recognitionRequests().size(), 5);
    QCOMPARE(readFile(documentOf("retry.txt")).count("words "), 4);
    QVERIFY(std::any_of(
        texts.texts.cbegin(), texts.texts.cend(), [](const QString &t) { return t.startsWith("重申请: "); }));
    QCOMPARE(texts.texts.filter("转写:").last(), QString("转写:100.0%"));
}

void TestParallel::failureWhileOthersAreInFlight_data()
{
    QTest::addColumn<ScriptedServer::Reply>("failure");
    QTest::addColumn<QString>("message");
    QTest::newRow("fail code") << ScriptedServer::errNo(3303) << "语音服务器后端繁忙，或是音频质量过低！";
    QTest::newRow("all instances down") << ScriptedServer::Reply {503, "<html>503 Service Unavailable</html>", false}
                                        << "转换失败，请检查网络信号是否充足！";
}

// The first failure ends the run once: one message, the others aborted, no document.
void TestParallel::failureWhileOthersAreInFlight()
{
    QFETCH(ScriptedServer::Reply, failure);
    QFETCH(QString, message);
    Fixture f;
    f.window->testSeams.parallelRequests = 0; // automatic: as many as the service has workers
    f.server.healthWorkers = 3;
    f.server.recognitionReplies << ScriptedServer::silence() << failure << ScriptedServer::silence();
    const QString task = fourSegments(f, "fail.wav");
    f.addTask(task);
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.server.recognitionRequests().size(), 3);
    QCOMPARE(f.notices, QStringList {message});
    f.server.answerHeld(ScriptedServer::json("{\"err_no\": 0, \"result\": [\"late\"]}"));
    QTest::qWait(200);
    QCOMPARE(f.notices.size(), 1);
    QVERIFY(!QFile::exists(documentOf("fail.txt")));
    QCOMPARE(f.window->taskFiles, QStringList {task});
}

void TestParallel::stopWithSeveralInFlight()
{
    Fixture f;
    f.window->testSeams.parallelRequests = 0; // automatic: as many as the service has workers
    f.server.healthWorkers = 3;
    f.server.recognitionReplies << ScriptedServer::silence() << ScriptedServer::silence() << ScriptedServer::silence();
    f.addTask(fourSegments(f, "stop.wav"));
    f.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(f.server.recognitionRequests().size(), 3, 30000);
    f.window->slotStopCover();
    QVERIFY(f.idle());
    f.server.answerHeld(ScriptedServer::json("{\"err_no\": 0, \"result\": [\"late\"]}"));
    QTest::qWait(200);
    QCOMPARE(f.notices, QStringList());
    QVERIFY(!f.window->wordTextEdit->toPlainText().contains("late"));

    // The next run sends all four again: none was recognised.
    f.server.textFromAudio = true;
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.server.recognitionRequests().size(), 7);
    QCOMPARE(readFile(documentOf("stop.txt")).count("words "), 4);
}

QUILLORA_TEST_MAIN(TestParallel)
#include "tst_parallel.moc"
