#include "common/testmain.h"
#include "conversiontestutil.h"

#include "pipeline/audioprep.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace ConversionTest;

// Preparing task files with the real ffmpeg: transcode, probe, segments, up to the first request.
class TestPreparation : public QObject
{
    Q_OBJECT
private slots:
    void segments_data();
    void segments();
    void pcmTaskIsProbedAsItIs();
    void probeOutputInPieces();
    void ffmpegUnavailable_data();
    void ffmpegUnavailable();
    void unreadableAudio();
    void stopDuringTranscodeThenRestart();
    void transcodeCutShortLeavesNoFile_data();
    void transcodeCutShortLeavesNoFile();

private:
    static bool waitForRequest(Fixture &f, int count = 1)
    {
        (void)QTest::qWaitFor([&] { return f.server.recognitionRequests().size() >= count || f.idle(); }, 60000);
        return f.server.recognitionRequests().size() >= count;
    }
    // Lets the run that waits for its first answer go on to its end: the audio its requests carried.
    static QList<QByteArray> audioSent(Fixture &f)
    {
        f.server.answerHeld(ScriptedServer::json(R"({"err_no": 0, "result": ["held"]})"));
        (void)QTest::qWaitFor([&] { return f.idle(); }, 60000);
        QTemporaryDir scratch;
        QList<QByteArray> audio;
        for (const ScriptedServer::Request &request : f.server.recognitionRequests())
            audio << requestAudio(request.body, scratch.path());
        return audio;
    }
};

void TestPreparation::segments_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("samples");
    QTest::addColumn<QList<qint64>>("segmentSamples");

    const qint64 full = 960000;
    QTest::newRow("125.5 s in three") << "talk.wav" << qint64(2008000) << QList<qint64> {full, full, 88000};
    QTest::newRow("60.5 s keeps its last half second") << "half.wav" << qint64(968000) << QList<qint64> {full, 8000};
    QTest::newRow("exactly 60 s is one cut") << "minute.wav" << qint64(960000) << QList<qint64> {full};
    QTest::newRow("30 s is copied whole") << "short.wav" << qint64(480000) << QList<qint64> {480000};
    QTest::newRow("spaces, quotes, chinese")
        << "my \"会议\" 录音 1.wav" << qint64(1120000) << QList<qint64> {full, 160000};
    QTest::newRow("leading dash") << "-x.wav" << qint64(1040000) << QList<qint64> {full, 80000};
}

void TestPreparation::segments()
{
    QFETCH(QString, name);
    QFETCH(qint64, samples);
    QFETCH(QList<qint64>, segmentSamples);

    Fixture f;
    f.server.recognitionReplies.enqueue(ScriptedServer::silence());
    const QString source = f.media.filePath(name);
    QVERIFY(makeNoiseWav(source, samples));
    f.addTask(source);

    ButtonTexts texts(f.window.get());
    f.window->slotBeginCover();
    QVERIFY(waitForRequest(f));
    QCOMPARE(f.notices, QStringList());

    const int count = segmentSamples.size();
    // Segments are sent as they are cut: recognition begins with the first.
    QCOMPARE(texts.distinct(), QStringList({"转换中...", "预处理...", "转写:0.0%"}));

    // The task stays the user's file; the transcoded file is the run's own, in the temporary folder.
    const QString transcoded = AudioPrep::transcodedPathIn(f.window->conversionEngine->runFolder());
    QCOMPARE(f.window->taskFiles, QStringList {source});
    QVERIFY(f.window->audioCombo->findText(name) >= 0);
    QVERIFY(!QFile::exists(AudioPrep::basePath(source) + "_16k.wav"));
    QCOMPARE(f.window->conversionEngine->segmentCount(), count);

    // The folder holds the segments cut and not yet recognised, and at most the one being cut.
    const QStringList files = f.segmentFiles();
    const QStringList pending = f.window->conversionEngine->segmentFileList();
    QVERIFY(!pending.isEmpty());
    QCOMPARE(files.mid(0, pending.size()), pending);
    QVERIFY(files.size() <= pending.size() + 1);
    QCOMPARE(wavData(files.first()).size(), int(segmentSamples.first()) * 2);
    QVERIFY(wavData(files.first()) == wavData(transcoded).left(int(segmentSamples.first()) * 2));

    // Sample for sample: no segment above 60 s, nothing lost or doubled at the joins or at the end.
    const QList<QByteArray> sent = audioSent(f);
    QCOMPARE(sent.size(), count);
    QByteArray joined;
    for (int k = 0; k < count; ++k) {
        QCOMPARE(qint64(sent[k].size()) / 2, segmentSamples[k]);
        joined += sent[k];
    }
    QVERIFY(joined == wavData(source));
    QVERIFY(f.idle());
}

void TestPreparation::pcmTaskIsProbedAsItIs()
{
    Fixture f;
    f.server.recognitionReplies.enqueue(ScriptedServer::silence());
    const QString source = f.media.filePath("x.PCM");
    QVERIFY(makeNoiseWav(f.media.filePath("x.wav"), 1000000));
    QVERIFY(QFile::rename(f.media.filePath("x.wav"), source));
    f.addTask(source);

    f.window->slotBeginCover();
    QVERIFY(waitForRequest(f));
    QCOMPARE(f.window->taskFiles, QStringList {source});
    QVERIFY(!QFile::exists(f.media.filePath("x_16k.wav")));
    QCOMPARE(f.segmentFiles().size(), 2);
    const QList<QByteArray> sent = audioSent(f);
    QCOMPARE(sent.size(), 2);
    QVERIFY(sent[0] + sent[1] == wavData(source));
}

void TestPreparation::probeOutputInPieces()
{
    // The probe's first piece of output has no duration line; the line arrives a moment later.
    Fixture f;
    f.server.recognitionReplies.enqueue(ScriptedServer::silence());
    QFile wrapper(f.appDir.filePath("ffmpeg"));
    QVERIFY(wrapper.open(QIODevice::WriteOnly));
    wrapper.write("#!/bin/sh\n"
                  "if [ \"$#\" -eq 3 ]; then printf 'ffmpeg version test\\n  configuration: none\\n'; sleep 0.4; fi\n"
                  "exec ffmpeg \"$@\"\n");
    wrapper.close();
    QVERIFY(wrapper.setPermissions(wrapper.permissions() | QFileDevice::ExeUser));

    const QString source = f.media.filePath("pieces.wav");
    QVERIFY(makeNoiseWav(source, 1200000));
    f.addTask(source);
    QSignalSpy reads(f.window->lengthProcess, &QProcess::readyRead);
    f.window->slotBeginCover();
    QVERIFY(waitForRequest(f));
    // The first segment may be on its way before the probe has run: the cutter makes the second.
    (void)QTest::qWaitFor([&] { return f.segmentFiles().size() == 2 || f.idle(); }, 30000);
    QVERIFY2(reads.count() >= 2, "the probe's output should have come in more than one piece");
    QCOMPARE(f.notices, QStringList());
    QCOMPARE(f.segmentFiles().size(), 2);
    f.window->slotStopCover();
}

void TestPreparation::ffmpegUnavailable_data()
{
    QTest::addColumn<bool>("brokenLocal");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << false << "找不到 ffmpeg 程序，无法处理音频，请先安装 ffmpeg！";
    QTest::newRow("fails to start") << true << "无法启动 ffmpeg 程序，请检查 ffmpeg 是否安装完好！";
}

void TestPreparation::ffmpegUnavailable()
{
    QFETCH(bool, brokenLocal);
    QFETCH(QString, message);

    Fixture f;
    const QString source = f.media.filePath("a.wav");
    QVERIFY(makeNoiseWav(source, 16000));
    f.addTask(source);
    const QByteArray path = qgetenv("PATH");
    if (brokenLocal) {
        QFile local(f.appDir.filePath("ffmpeg"));
        QVERIFY(local.open(QIODevice::WriteOnly));
        local.write("#!/nonexistent/interpreter\n");
        local.close();
        QVERIFY(local.setPermissions(local.permissions() | QFileDevice::ExeUser));
    } else {
        qputenv("PATH", f.appDir.path().toUtf8() + "/nothing-here");
    }
    f.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(f.notices, QStringList {message}, 5000);
    qputenv("PATH", path);
    QVERIFY(f.idle());
    QVERIFY(f.window->closeWordBtn->isEnabled());
    QCOMPARE(f.window->taskFiles, QStringList {source});
}

void TestPreparation::unreadableAudio()
{
    Fixture f;
    const QString source = f.media.filePath("not audio.mp3");
    QFile file(source);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is not audio at all\n");
    file.close();
    f.addTask(source);
    f.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(f.notices, QStringList {"出现异常，请核验音频后再试！"}, 10000);
    QVERIFY(f.idle());
    QCOMPARE(f.window->taskFiles, QStringList {source});
    QCOMPARE(f.server.recognitionRequests().size(), 0);
}

void TestPreparation::stopDuringTranscodeThenRestart()
{
    // A stopped run's transcode must not be taken as a step of the run started right after it.
    Fixture f;
    f.server.recognitionReplies.enqueue(ScriptedServer::silence());
    const QString source = f.media.filePath("long.mp3");
    QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=44100:duration=600", "-ac", "2", "-b:a",
        "128k", source}));
    f.addTask(source);
    f.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(f.window->convertProcess->state(), QProcess::Running, 5000);
    f.window->slotStopCover();
    QVERIFY(f.idle());
    f.window->slotBeginCover();
    QVERIFY(waitForRequest(f));
    // The first segment is on its way before the transcode ends: the plan follows it.
    (void)QTest::qWaitFor([&] { return f.window->conversionEngine->segmentCount() > 0 || f.idle(); }, 30000);
    QCOMPARE(f.notices, QStringList());
    QCOMPARE(f.window->conversionEngine->segmentCount(), 10);
    QCOMPARE(wavData(f.segmentFiles().first()).size(), 60 * 16000 * 2);
    f.window->slotStopCover();
}

void TestPreparation::transcodeCutShortLeavesNoFile_data()
{
    QTest::addColumn<QByteArray>("afterWriting"); // what the transcode does once its output exists
    // How a run that waits on it ends: the stop button; the program's process group told to end (SIGTERM and
    // SIGCONT), then the stop; the window closed.
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QStringList>("notices");
    QTest::newRow("stopped") << QByteArray("exec sleep 30") << "stop" << QStringList();
    QTest::newRow("failed") << QByteArray("exit 1") << QString() << QStringList {"出现异常，请核验音频后再试！"};
    QTest::newRow("told to end, as by timeout") << QByteArray("exec sleep 30") << "signal" << QStringList();
    QTest::newRow("window closed") << QByteArray("exec sleep 30") << "close" << QStringList();
}

void TestPreparation::transcodeCutShortLeavesNoFile()
{
    QFETCH(QByteArray, afterWriting);
    QFETCH(QString, ending);
    const bool toldToEnd = ending == QLatin1String("signal");
    QFETCH(QStringList, notices);
    Fixture f;
    // A transcode that has begun its output and then hangs or fails.
    QFile wrapper(f.appDir.filePath("ffmpeg"));
    QVERIFY(wrapper.open(QIODevice::WriteOnly));
    wrapper.write("#!/bin/sh\nfor a; do last=$a; done\n"
                  "case \" $* \" in *\" -y \"*) printf partial > \"$last\"; "
        + afterWriting + ";; esac\nexec ffmpeg \"$@\"\n");
    wrapper.close();
    QVERIFY(wrapper.setPermissions(wrapper.permissions() | QFileDevice::ExeUser));
    const QString source = f.media.filePath("cut short.wav");
    QVERIFY(makeNoiseWav(source, 16000));
    f.addTask(source);
    // The test and its children in a group of their own, so that signalling the group reaches nothing else.
    if (toldToEnd)
        QVERIFY(::getpgid(0) == ::getpid() || ::setpgid(0, 0) == 0);

    f.window->slotBeginCover();
    QString partial;
    if (notices.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(
            QFile::exists(partial = AudioPrep::transcodedPathIn(f.window->conversionEngine->runFolder())), 5000);
        if (toldToEnd) {
            // A terminal's Ctrl+C or hang-up, `timeout` and the session's end signal the whole process group (the
            // last two continue it too); the program's own handler then stops the run. This test is that program.
            struct sigaction handled = {}, kept = {};
            handled.sa_handler = [](int) {};
            QVERIFY(::sigaction(SIGTERM, &handled, &kept) == 0);
            ::kill(0, SIGTERM);
            ::kill(0, SIGCONT);
            QTest::qWait(500);
            ::sigaction(SIGTERM, &kept, nullptr);
        }
        if (ending == QLatin1String("close"))
            f.window->slotClose();
        else
            f.window->slotStopCover();
    }
    QTRY_VERIFY_WITH_TIMEOUT(f.idle(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(f.window->convertProcess->state(), QProcess::NotRunning, 5000);
    QCOMPARE(f.notices, notices);
    QVERIFY(partial.isEmpty() || !QFile::exists(partial));
    QCOMPARE(f.tmpFilesLeft(), QStringList());
    QCOMPARE(f.window->taskFiles, QStringList {source});
}

QUILLORA_TEST_MAIN(TestPreparation)
#include "tst_preparation.moc"
