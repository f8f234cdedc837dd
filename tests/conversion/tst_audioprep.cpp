#include "pipeline/audioprep.h"
#include "pipeline/document.h"
#include "platform/ffmpegprogram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

// The pure parts of preparing a task: names, ffmpeg argument lists, the probe's duration, the plan.
class TestAudioPrep : public QObject
{
    Q_OBJECT
private slots:
    void paths_data();
    void paths();
    void transcodeArguments_data();
    void transcodeArguments();
    void cutArguments_data();
    void cutArguments();
    void probeArguments();
    void duration_data();
    void duration();
    void plan_data();
    void plan();
    void percent_data();
    void percent();
    void ffmpegProgram();
    void documentName_data();
    void documentName();
    void documentWrite();
    void documentWriteFailureKeepsOld();
};

void TestAudioPrep::paths_data()
{
    QTest::addColumn<QString>("task");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("skip");

    QTest::newRow("mp3") << "/a/talk.mp3"
                         << "/a/talk"
                         << "mp3" << false;
    QTest::newRow("two dots") << "/a/talk.x.wav"
                              << "/a/talk.x"
                              << "wav" << false;
    QTest::newRow("no dot") << "/a/talk"
                            << "/a/talk"
                            << "" << false;
    QTest::newRow("dot only in folder") << "/a.b/talk"
                                        << "/a.b/talk"
                                        << "" << false;
    QTest::newRow("upper PCM") << "/a/x.PCM"
                               << "/a/x"
                               << "pcm" << true;
    QTest::newRow("pcm") << "/a/x.pcm"
                         << "/a/x"
                         << "pcm" << true;
    QTest::newRow("pcm in folder only") << "/a/x.pcm/y.wav"
                                        << "/a/x.pcm/y"
                                        << "wav" << false;
    QTest::newRow("chinese") << "/音频/会议 一.mp3"
                             << "/音频/会议 一"
                             << "mp3" << false;
}

void TestAudioPrep::paths()
{
    QFETCH(QString, task);
    QFETCH(QString, base);
    QFETCH(QString, suffix);
    QFETCH(bool, skip);
    QCOMPARE(AudioPrep::basePath(task), base);
    QCOMPARE(AudioPrep::lowerSuffix(task), suffix);
    QCOMPARE(AudioPrep::skipsTranscode(task), skip);
}

void TestAudioPrep::transcodeArguments_data()
{
    QTest::addColumn<QString>("task");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("plain") << "/a/b.mp3"
                           << QStringList {"-nostdin", "-y", "-i", "/a/b.mp3", "-acodec", "pcm_s16le", "-ac", "1",
                                  "-ar", "16000", "/t/source_16k.wav"};
    QTest::newRow("spaces and quotes") << "/a/my \"best\" talk.mp3"
                                       << QStringList {"-nostdin", "-y", "-i", "/a/my \"best\" talk.mp3", "-acodec",
                                              "pcm_s16le", "-ac", "1", "-ar", "16000", "/t/source_16k.wav"};
    QTest::newRow("relative leading dash") << "-x.mp3"
                                           << QStringList {"-nostdin", "-y", "-i", "./-x.mp3", "-acodec", "pcm_s16le",
                                                  "-ac", "1", "-ar", "16000", "/t/source_16k.wav"};
}

void TestAudioPrep::transcodeArguments()
{
    QFETCH(QString, task);
    QFETCH(QStringList, arguments);
    QCOMPARE(AudioPrep::transcodeArguments(task, "/t/source_16k.wav"), arguments);
}

void TestAudioPrep::cutArguments_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("arguments");

    const QString in = "/a/b_16k.wav";
    QTest::newRow("first") << 0
                           << QStringList {"-nostdin", "-ss", "0", "-i", in, "-acodec", "pcm_s16le", "-t", "60",
                                  "/d/myTmpWAVFiles/0.wav"};
    QTest::newRow("second starts at 60") << 1
                                         << QStringList {"-nostdin", "-ss", "60", "-i", in, "-acodec", "pcm_s16le",
                                                "-t", "60", "/d/myTmpWAVFiles/1.wav"};
    QTest::newRow("index 59") << 59
                              << QStringList {"-nostdin", "-ss", "3540", "-i", in, "-acodec", "pcm_s16le", "-t", "60",
                                     "/d/myTmpWAVFiles/59.wav"};
}

void TestAudioPrep::cutArguments()
{
    QFETCH(int, index);
    QFETCH(QStringList, arguments);
    QCOMPARE(AudioPrep::cutArguments("/a/b_16k.wav", "/d", index), arguments);
}

void TestAudioPrep::probeArguments()
{
    QCOMPARE(AudioPrep::probeArguments("/a/-b.wav"), (QStringList {"-nostdin", "-i", "/a/-b.wav"}));
    QCOMPARE(AudioPrep::probeArguments("-b.wav"), (QStringList {"-nostdin", "-i", "./-b.wav"}));
}

void TestAudioPrep::duration_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<qint64>("centis");

    const QString head = "Input #0, wav, from 'x.wav':\n  Metadata:\n    encoder         : Lavf59.27.100\n";
    const QString tail = ", bitrate: 256 kb/s\n  Stream #0:0: Audio: pcm_s16le, 16000 Hz, mono\n";
    QTest::newRow("59.99") << head + "  Duration: 00:00:59.99" + tail << qint64(5999);
    QTest::newRow("60.00") << head + "  Duration: 00:01:00.00" + tail << qint64(6000);
    QTest::newRow("125.50") << head + "  Duration: 00:02:05.50" + tail << qint64(12550);
    QTest::newRow("61.50") << head + "  Duration: 00:01:01.50" + tail << qint64(6150);
    QTest::newRow("one hour") << head + "  Duration: 01:00:00.00" + tail << qint64(360000);
    QTest::newRow("tenths") << "Duration: 00:00:10.5, start" << qint64(1050);
    QTest::newRow("thousandths cut") << "Duration: 00:00:10.129, start" << qint64(1012);
    QTest::newRow("no fraction") << "Duration: 00:00:10, start" << qint64(1000);
    QTest::newRow("no duration") << head + "x.wav: No such file or directory\n" << qint64(-1);
    QTest::newRow("unknown duration") << head + "  Duration: N/A, start: 0.000000" << qint64(-1);
    QTest::newRow("lower case word") << "duration: 00:00:10.00" << qint64(-1);
    QTest::newRow("empty") << QString() << qint64(-1);
    QTest::newRow("first line counts") << "Duration: 00:00:02.00\nDuration: 00:00:09.00" << qint64(200);
}

void TestAudioPrep::duration()
{
    QFETCH(QString, output);
    QFETCH(qint64, centis);
    QCOMPARE(AudioPrep::parseDurationCentis(output), centis);
}

void TestAudioPrep::plan_data()
{
    QTest::addColumn<qint64>("centis");
    QTest::addColumn<bool>("copyWhole");
    QTest::addColumn<int>("count");

    QTest::newRow("empty file") << qint64(0) << true << 1;
    QTest::newRow("30 s") << qint64(3000) << true << 1;
    QTest::newRow("59.99 s") << qint64(5999) << true << 1;
    QTest::newRow("60.00 s") << qint64(6000) << false << 1;
    QTest::newRow("60.01 s keeps its hundredth") << qint64(6001) << false << 2;
    QTest::newRow("60.50 s keeps its half second") << qint64(6050) << false << 2;
    QTest::newRow("61.50 s") << qint64(6150) << false << 2;
    QTest::newRow("125.50 s") << qint64(12550) << false << 3;
    QTest::newRow("180.00 s") << qint64(18000) << false << 3;
    QTest::newRow("one hour") << qint64(360000) << false << 60;
}

void TestAudioPrep::plan()
{
    QFETCH(qint64, centis);
    QFETCH(bool, copyWhole);
    QFETCH(int, count);
    const AudioPrep::SegmentPlan plan = AudioPrep::planSegments(centis);
    QCOMPARE(plan.copyWhole, copyWhole);
    QCOMPARE(plan.count, count);
    // The segments cover the duration and none is longer than 60 s.
    QVERIFY(qint64(plan.count) * AudioPrep::segmentCentis >= centis);
    QVERIFY(qint64(plan.count - 1) * AudioPrep::segmentCentis < qMax<qint64>(centis, 1));
}

void TestAudioPrep::percent_data()
{
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("text");

    QTest::newRow("none") << 0 << 3 << "0.0";
    QTest::newRow("third") << 1 << 3 << "33.3";
    QTest::newRow("two thirds") << 2 << 3 << "66.7";
    QTest::newRow("all") << 3 << 3 << "100.0";
    QTest::newRow("one of one") << 1 << 1 << "100.0";
    QTest::newRow("no segments") << 0 << 0 << "0.0";
}

void TestAudioPrep::percent()
{
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(QString, text);
    QCOMPARE(AudioPrep::percentText(done, total), text);
}

void TestAudioPrep::ffmpegProgram()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString onPath = ::ffmpegProgram(dir.path());
    QVERIFY2(QFileInfo(onPath).isExecutable(), qPrintable(onPath));

    // One in the application directory wins over PATH, but only when it can be run.
    QFile local(dir.filePath("ffmpeg"));
    QVERIFY(local.open(QIODevice::WriteOnly));
    local.write("#!/bin/sh\n");
    local.close();
    QCOMPARE(::ffmpegProgram(dir.path()), onPath);
    QVERIFY(local.setPermissions(local.permissions() | QFileDevice::ExeUser));
    QCOMPARE(::ffmpegProgram(dir.path()), dir.filePath("ffmpeg"));
}

void TestAudioPrep::documentName_data()
{
    QTest::addColumn<QString>("task");
    QTest::addColumn<QString>("name");

    QTest::newRow("mp3") << "/a/talk.mp3"
                         << "talk.txt";
    QTest::newRow("transcoded") << "/a/b_16k.wav"
                                << "b_16k.txt";
    QTest::newRow("no dot") << "/a.b/talk"
                            << "talk.txt";
    QTest::newRow("two dots") << "/a/x.y.wav"
                              << "x.y.txt";
    QTest::newRow("chinese with quotes") << "/a/会议 \"一\".mp3"
                                         << "会议 \"一\".txt";
}

void TestAudioPrep::documentName()
{
    QFETCH(QString, task);
    QFETCH(QString, name);
    QCOMPARE(Document::fileNameFor(task), name);
    QCOMPARE(Document::pathFor("/app", task), "/app/myWordFiles/" + name);
}

void TestAudioPrep::documentWrite()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.txt");
    QString error;
    QVERIFY(Document::write(path, QString::fromUtf8("第一段\n\n second\n"), &error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QTextCodec::codecForLocale()->fromUnicode(QString::fromUtf8("第一段\n\n second\n")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {"a.txt"});
}

void TestAudioPrep::documentWriteFailureKeepsOld()
{
    QTemporaryDir dir;
    // A folder where the document should go cannot be replaced by a file, even by root.
    QVERIFY(QDir(dir.path()).mkdir("a.txt"));
    QString error;
    QVERIFY(!Document::write(dir.filePath("a.txt"), "text", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(dir.filePath("a.txt")).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestAudioPrep)
#include "tst_audioprep.moc"
