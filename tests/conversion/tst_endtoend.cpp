#include "conversiontestutil.h"

#include "common/testmain.h"

#include "common/speechtestutil.h"
#include "pipeline/audioprep.h"
#include "pipeline/localspeechservice.h"
#include "pipeline/speechclient_p.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTextCodec>

#include <csignal>

using namespace ConversionTest;

// Spoken English through the whole chain: ffmpeg, our own speech service, a document.
class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void englishMp3BecomesADocument();
    void serviceThatCannotStart();
    void severalAtOnceWriteTheSameDocument();
    void serviceThatStopsAnswering();
    void serviceStartedAgainAfterItDied();
    void serviceEndsWithTheWindow();
    void serviceOfAnotherProgramEndsMidRun_data();
    void serviceOfAnotherProgramEndsMidRun();

private:
    SpeechTestUtil::SpeechServiceProcess service;
    QString passage;
};

void TestEndToEnd::initTestCase()
{
    QFile text(QStringLiteral(QUILLORA_SOURCE_DIR "/tests/conversion/fixtures/english-passage.txt"));
    QVERIFY(text.open(QIODevice::ReadOnly));
    passage = QString::fromUtf8(text.readAll()).simplified();
    QVERIFY2(service.start(), qPrintable(service.log()));
}

void TestEndToEnd::englishMp3BecomesADocument()
{
    Fixture f;
    f.useSpeechService(service.hostAndPort());
    f.window->languageBox->setCurrentText(QStringLiteral("英文"));

    const QString wav = SpeechTestUtil::makeEnglishWav(f.media.path(), QStringLiteral("spoken"), passage);
    QVERIFY(!wav.isEmpty());
    const QString mp3 = f.media.filePath(QStringLiteral("spoken passage.mp3"));
    QVERIFY(runFfmpeg({"-i", wav, "-ar", "44100", "-ac", "2", "-b:a", "128k", mp3}));
    QVERIFY(QFile::remove(wav));
    f.addTask(mp3);
    // On a busy machine a segment may take longer than the wait before the run says it waits for the
    // service; this test follows a run whose every answer is on time.
    f.window->testSeams.stallNoticeMs = 600000;

    ButtonTexts texts(f.window.get());
    QElapsedTimer clock;
    clock.start();
    f.window->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 600000));
    qInfo("conversion of the 153.5 s passage took %.1f s", clock.elapsed() / 1000.0);

    QCOMPARE(f.notices, QStringList {QStringLiteral("文件已经全部转换完成！")});
    // Recognition begins with the first segment cut and counts up to the whole file, a step per segment.
    QStringList expected {"认证中...", "转换中...", "预处理..."};
    const int count = f.window->conversionEngine->segmentCount();
    QVERIFY(count >= 3);
    for (int k = 0; k <= count; ++k)
        expected << QStringLiteral("转写:%1%").arg(AudioPrep::percentText(k, count));
    QCOMPARE(texts.distinct(), expected << "开始转换");

    QFile document(f.appDir.path() + QStringLiteral("/myWordFiles/spoken passage.txt"));
    QVERIFY(document.open(QIODevice::ReadOnly));
    const QString recognised = QTextCodec::codecForLocale()->toUnicode(document.readAll());
    const QStringList reference = SpeechTestUtil::normalizedWords(passage);
    const QStringList hypothesis = SpeechTestUtil::normalizedWords(recognised);
    const double wer = double(SpeechTestUtil::wordEditDistance(reference, hypothesis)) / reference.size();
    qInfo("word error rate %.1f%% (%lld reference words, %lld recognised)", wer * 100, qint64(reference.size()),
        qint64(hypothesis.size()));
    QVERIFY2(wer <= 0.5, qPrintable(recognised));

    QVERIFY(!QFile::exists(AudioPrep::transcodedPath(f.appPath())));
    QVERIFY(!QFile::exists(AudioPrep::basePath(mp3) + "_16k.wav"));
    QCOMPARE(QDir(f.tmpFolder()).entryList(QDir::Files), QStringList());
    QVERIFY(f.window->taskFiles.isEmpty());
}

void TestEndToEnd::serviceThatCannotStart()
{
    // A loopback deployment where nothing answers and no service program lies beside the application.
    Fixture f;
    f.window->accessToken.clear();
    f.window->testSeams.serviceHost = QStringLiteral("127.0.0.1:%1").arg(SpeechTestUtil::freeLoopbackPort());
    f.addTask(f.media.filePath(QStringLiteral("never-read.wav")));
    f.window->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 30000));
    QCOMPARE(f.notices, QStringList {QStringLiteral("无法启动语音识别服务，请检查程序安装是否完整！")});
    QVERIFY(f.window->accessToken.isEmpty());
}

// Four sentences, each padded to a minute: N = 1 and N = 3 at once write byte-identical documents.
void TestEndToEnd::severalAtOnceWriteTheSameDocument()
{
    QTemporaryDir media;
    const QStringList sentences {"The first minute is about the weather.", "The second one talks about trains.",
        "Here the third minute begins.", "And this is the end."};
    QStringList parts;
    for (int k = 0; k < sentences.size(); ++k) {
        const QString spoken
            = SpeechTestUtil::makeEnglishWav(media.path(), QStringLiteral("part%1").arg(k), sentences[k]);
        QVERIFY(!spoken.isEmpty());
        parts << spoken;
    }
    // Each sentence padded with silence to a whole minute (the last to half a minute).
    const QString four = media.filePath("four minutes.wav");
    QString filter;
    for (int k = 0; k < parts.size(); ++k)
        filter += QStringLiteral("[%1]apad=whole_dur=%2[p%1];").arg(k).arg(k + 1 < parts.size() ? 60 : 30);
    for (int k = 0; k < parts.size(); ++k)
        filter += QStringLiteral("[p%1]").arg(k);
    filter += QStringLiteral("concat=n=%1:v=0:a=1").arg(parts.size());
    QStringList arguments;
    for (const QString &part : parts)
        arguments << "-i" << part;
    QVERIFY(runFfmpeg(arguments + QStringList {"-filter_complex", filter, "-ar", "16000", "-ac", "1", four}));

    QByteArray documents[2];
    const int atOnce[2] = {1, 3};
    for (int run = 0; run < 2; ++run) {
        Fixture f;
        f.useSpeechService(service.hostAndPort());
        f.window->testSeams.parallelRequests = atOnce[run];
        f.addTask(four);
        f.window->slotBeginCover();
        QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 600000));
        QCOMPARE(f.notices, QStringList {QStringLiteral("文件已经全部转换完成！")});
        // The first segment ends in the pause after the first sentence, the others before each minute.
        QCOMPARE(f.window->conversionEngine->segmentCount(), 5);
        QFile document(f.appPath() + QStringLiteral("/myWordFiles/four minutes.txt"));
        QVERIFY(document.open(QIODevice::ReadOnly));
        documents[run] = document.readAll();
    }
    QVERIFY(!documents[0].isEmpty());
    QCOMPARE(documents[1], documents[0]);
}

// The window's own service, in an application folder that holds the service program.
struct OwnServiceFixture : Fixture
{
    OwnServiceFixture()
    {
        QFile::link(QStringLiteral(QUILLORA_BINARY_DIR "/quillora-speechd"), appPath() + "/quillora-speechd");
        useSpeechService(QStringLiteral("127.0.0.1:%1").arg(SpeechTestUtil::freeLoopbackPort()));
    }
    void killService() { QProcess::execute("pkill", {"-KILL", "-f", appPath() + "/quillora-speechd"}); }
    bool serviceRunning() { return QProcess::execute("pgrep", {"-f", appPath() + "/quillora-speechd"}) == 0; }
};

// Our own service stopped by a signal: the window says that the run waits for it, and the run ends
// with a message naming it once the request bound has passed.
void TestEndToEnd::serviceThatStopsAnswering()
{
    Fixture f;
    f.useSpeechService(service.hostAndPort());
    f.window->testSeams.stallNoticeMs = 1000;
    f.window->testSeams.requestTimeoutMs = 4000;
    const QString wav = SpeechTestUtil::makeEnglishWav(f.media.path(), QStringLiteral("stalled"), passage);
    QVERIFY(!wav.isEmpty());
    f.addTask(wav);
    ButtonTexts texts(f.window.get());
    f.window->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return texts.texts.contains(QStringLiteral("转写:0.0%")); }, 120000));
    struct Resume
    {
        qint64 pid;
        ~Resume() { ::kill(pid_t(pid), SIGCONT); }
    } resume {service.pid()};
    QCOMPARE(::kill(pid_t(resume.pid), SIGSTOP), 0);
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 30000));
    const QStringList shown = texts.distinct();
    QCOMPARE(shown.mid(shown.indexOf(QStringLiteral("转写:0.0%"))),
        (QStringList {"转写:0.0%", "等待语音服务响应...", "开始转换"}));
    QCOMPARE(f.notices, QStringList {"本机语音识别服务在 4 秒内没有响应，转换已停止，请稍后重新开始转换！"});
    QCOMPARE(f.window->taskFiles, QStringList {wav});
}

void TestEndToEnd::serviceStartedAgainAfterItDied()
{
    OwnServiceFixture f;
    const QString sentence = SpeechTestUtil::makeEnglishWav(f.media.path(), "sentence", "Good morning everyone.");
    QVERIFY(!sentence.isEmpty());
    for (int round = 0; round < 2; ++round) {
        f.addTask(sentence);
        f.window->slotBeginCover();
        QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 120000));
        QCOMPARE(f.notices.takeFirst(), QStringLiteral("文件已经全部转换完成！"));
        QVERIFY(f.serviceRunning());
        f.killService(); // the next start finds nothing answering and starts the service again
        QTRY_VERIFY_WITH_TIMEOUT(!f.serviceRunning(), 5000);
    }

    // Dying in the middle of a run is said as such, not as a network failure.
    const QString longer = SpeechTestUtil::makeEnglishWav(f.media.path(), "longer", passage);
    f.addTask(longer);
    f.window->slotBeginCover();
    QTRY_VERIFY_WITH_TIMEOUT(f.window->beginCoverBtn->text().startsWith(QStringLiteral("转写:")), 120000);
    f.killService();
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 30000));
    QCOMPARE(f.notices.size(), 1);
    QVERIFY2(f.notices.first().contains(QStringLiteral("语音识别服务意外停止")), qPrintable(f.notices.first()));
    QCOMPARE(f.window->taskFiles, QStringList {longer});
}

// However the window ends, SIGKILL included, the service it started ends with it.
void TestEndToEnd::serviceEndsWithTheWindow()
{
    QTemporaryDir app;
    QVERIFY(QFile::link(QStringLiteral(QUILLORA_BINARY_DIR "/quillora-speechd"), app.filePath("quillora-speechd")));
    QProcess window;
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.start(QCoreApplication::applicationFilePath(), {"--start-service", app.path()});
    QVERIFY(window.waitForReadyRead(60000));
    QCOMPARE(window.readAllStandardOutput().trimmed(), QByteArray("ready"));
    const auto serviceRunning = [&] {
        return QProcess::execute("pgrep", {"-f", app.filePath("quillora-speechd")}) == 0;
    };
    QVERIFY(serviceRunning());
    window.kill();
    QVERIFY(window.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!serviceRunning(), 5000);
}

// The window in another program owns the service the run uses; that program ends mid-run. The run
// starts a service of its own and goes on from the segments it had; where none can be started, it says
// that the service went away with its owner.
void TestEndToEnd::serviceOfAnotherProgramEndsMidRun_data()
{
    QTest::addColumn<bool>("canStartOne");
    QTest::addColumn<QStringList>("notices");
    QTest::newRow("a service of its own") << true << QStringList {"文件已经全部转换完成！"};
    QTest::newRow("none can be started")
        << false
        << QStringList {"正在使用的本机语音识别服务已随启动它的程序退出，且本程序无法另行启动该服务，转换已中断。"
                        "已识别的部分已保留，请检查程序安装是否完整后重新开始转换。"};
}

void TestEndToEnd::serviceOfAnotherProgramEndsMidRun()
{
    QFETCH(bool, canStartOne);
    QFETCH(QStringList, notices);
    QTemporaryDir ownerApp;
    QVERIFY(
        QFile::link(QStringLiteral(QUILLORA_BINARY_DIR "/quillora-speechd"), ownerApp.filePath("quillora-speechd")));
    const int port = SpeechTestUtil::freeLoopbackPort();
    QProcess owner;
    owner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    owner.start(QCoreApplication::applicationFilePath(), {"--start-service", ownerApp.path(), QString::number(port)});
    QVERIFY(owner.waitForReadyRead(60000));
    QCOMPARE(owner.readAllStandardOutput().trimmed(), QByteArray("ready"));

    Fixture f;
    if (canStartOne)
        QVERIFY(
            QFile::link(QStringLiteral(QUILLORA_BINARY_DIR "/quillora-speechd"), f.appPath() + "/quillora-speechd"));
    f.useSpeechService(QStringLiteral("127.0.0.1:%1").arg(port));
    const QString wav = SpeechTestUtil::makeEnglishWav(f.media.path(), QStringLiteral("owned"), passage);
    QVERIFY(!wav.isEmpty());
    f.addTask(wav);
    QList<int> done;
    QObject::connect(f.window->conversionEngine, &ConversionEngine::fileProgress,
        [&](const QString &, int segmentsDone) { done << segmentsDone; });
    f.window->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return (!done.isEmpty() && done.last() >= 1) || f.idle(); }, 120000));
    QVERIFY(!f.idle());
    owner.kill(); // its service ends with it
    QVERIFY(owner.waitForFinished(5000));
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 180000));
    QCOMPARE(f.notices, notices);
    if (!canStartOne) {
        QCOMPARE(f.window->taskFiles, QStringList {wav});
        return;
    }
    QCOMPARE(f.window->taskFiles, QStringList());
    // Counted on from where it was, one segment after another, to the last.
    QCOMPARE(done.last(), f.window->conversionEngine->segmentCount());
    for (int i = 1; i < done.size(); ++i)
        QCOMPARE(done.at(i), done.at(i - 1) + 1);
    QVERIFY(QFile::exists(f.appDir.path() + QStringLiteral("/myWordFiles/owned.txt")));
}

// "--start-service APP [PORT]": the window's speech service started from APP on PORT (a free port unless
// given); prints "ready" once it answers and runs until killed.
static int startServiceAndWait(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Fixture f(QString::fromLocal8Bit(argv[2]));
    const int port = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : SpeechTestUtil::freeLoopbackPort();
    f.useSpeechService(QStringLiteral("127.0.0.1:%1").arg(port));
    f.window->conversionEngine->setOptions(f.window->engineOptions());
    LocalSpeechService *service = SpeechClientTestAccess::speechService(f.window->conversionEngine->speechClient());
    QObject::connect(service, &LocalSpeechService::ready, [](bool ok) {
        fputs(ok ? "ready\n" : "failed\n", stdout);
        fflush(stdout);
    });
    service->ensureRunning();
    return app.exec();
}

QUILLORA_TEST_MAIN(
    TestEndToEnd, {{"--start-service", 3, startServiceAndWait}, {"--start-service", 4, startServiceAndWait}})
#include "tst_endtoend.moc"
