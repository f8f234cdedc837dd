#include "media/clocktext.h"
#include "media/playerstate.h"
#include "media/recordercommand.h"
#include "media/wavheader.h"
#include "platform/capturedevices.h"

#include <QTemporaryDir>
#include <QtTest>

class TestMediaText : public QObject
{
    Q_OBJECT

private slots:
    void recordClock_data();
    void recordClock();
    void playTime_data();
    void playTime();
    void recordingFilePath_data();
    void recordingFilePath();
    void recorderArguments_data();
    void recorderArguments();
    void deviceNamed_data();
    void deviceNamed();
    void pulseSources_data();
    void pulseSources();
    void selectedTask_data();
    void selectedTask();
    void resumeFromStart_data();
    void resumeFromStart();
    void playbackVerdict_data();
    void playbackVerdict();
    void wavHeaderRepair_data();
    void wavHeaderRepair();
};

void TestMediaText::recordClock_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "00:00:00";
    QTest::newRow("single digit") << qint64(9) << "00:00:09";
    QTest::newRow("two digits") << qint64(10) << "00:00:10";
    QTest::newRow("last of first minute") << qint64(59) << "00:00:59";
    QTest::newRow("one minute") << qint64(60) << "00:01:00";
    QTest::newRow("minute and seconds") << qint64(65) << "00:01:05";
    QTest::newRow("last of first hour") << qint64(3599) << "00:59:59";
    QTest::newRow("one hour") << qint64(3600) << "01:00:00";
    QTest::newRow("ten hours") << qint64(36000) << "10:00:00";
    QTest::newRow("last of the day") << qint64(86399) << "23:59:59";
    QTest::newRow("one day wraps") << qint64(86400) << "00:00:00";
    QTest::newRow("25 h 1 min 1 s") << qint64(25 * 3600 + 61) << "01:01:01";
    QTest::newRow("wall clock set back") << qint64(-5) << "00:00:00";
}

void TestMediaText::recordClock()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(ClockText::recordClock(seconds), text);
}

void TestMediaText::playTime_data()
{
    QTest::addColumn<qint64>("currentMs");
    QTest::addColumn<qint64>("totalMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing loaded") << qint64(0) << qint64(0) << "";
    QTest::newRow("start of media") << qint64(0) << qint64(2000) << "00:00:00 / 00:00:02";
    QTest::newRow("fractions cut off") << qint64(65900) << qint64(3723000) << "00:01:05 / 01:02:03";
    QTest::newRow("just below a second") << qint64(999) << qint64(1999) << "00:00:00 / 00:00:01";
    QTest::newRow("total unknown") << qint64(1500) << qint64(0) << "00:00:01";
    QTest::newRow("no source yet, total -1") << qint64(0) << qint64(-1) << "";
    QTest::newRow("playing, total -1") << qint64(2500) << qint64(-1) << "00:00:02";
    QTest::newRow("at the end") << qint64(3000) << qint64(3000) << "00:00:03 / 00:00:03";
    QTest::newRow("past a day") << qint64(0) << qint64(90000000) << "00:00:00 / 25:00:00";
}

void TestMediaText::playTime()
{
    QFETCH(qint64, currentMs);
    QFETCH(qint64, totalMs);
    QFETCH(QString, text);
    QCOMPARE(ClockText::playTime(currentMs, totalMs), text);
}

void TestMediaText::recordingFilePath_data()
{
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QString>("path");
    QTest::newRow("morning") << "/opt/app" << QDateTime(QDate(2026, 12, 6), QTime(5, 31, 7))
                             << "/opt/app/myWAVFiles/261206_053107.wav";
    QTest::newRow("last second of the year")
        << "/opt/app" << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << "/opt/app/myWAVFiles/261231_235959.wav";
    QTest::newRow("afternoon is 24-hour") << "/home/u/Quillora" << QDateTime(QDate(2027, 1, 2), QTime(14, 0, 0))
                                          << "/home/u/Quillora/myWAVFiles/270102_140000.wav";
}

void TestMediaText::recordingFilePath()
{
    QFETCH(QString, appDir);
    QFETCH(QDateTime, start);
    QFETCH(QString, path);
    QCOMPARE(RecorderCommand::recordingFilePath(appDir, start), path);
}

void TestMediaText::recorderArguments_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("realm");
    QTest::addColumn<QStringList>("arguments");
    const QString out = QStringLiteral("/a b/myWAVFiles/261206_053107.wav");
    QTest::newRow("pulse source") << "virtmic" << CaptureDevices::pulseRealm
                                  << QStringList {"-f", "pulse", "-i", "virtmic", "-ar", "16000", "-ac", "1", out};
    QTest::newRow("alsa name") << "hw:CARD=PCH,DEV=0" << CaptureDevices::alsaRealm
                               << QStringList {
                                      "-f", "alsa", "-i", "hw:CARD=PCH,DEV=0", "-ar", "16000", "-ac", "1", out};
    QTest::newRow("directshow name kept whole")
        << "麦克风 (USB \"Audio\")" << CaptureDevices::directShowRealm
        << QStringList {"-f", "dshow", "-i", "audio=麦克风 (USB \"Audio\")", "-ar", "16000", "-ac", "1", out};
    QTest::newRow("unknown realm opens as alsa")
        << "x"
        << "" << QStringList {"-f", "alsa", "-i", "x", "-ar", "16000", "-ac", "1", out};
}

void TestMediaText::recorderArguments()
{
    QFETCH(QString, name);
    QFETCH(QString, realm);
    QFETCH(QStringList, arguments);
    QCOMPARE(RecorderCommand::arguments({name, realm}, QStringLiteral("/a b/myWAVFiles/261206_053107.wav")), arguments);
}

void TestMediaText::deviceNamed_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("realm");
    QTest::newRow("first listing of a name wins") << "virtmic" << CaptureDevices::pulseRealm;
    QTest::newRow("alsa plugin named pulse") << "pulse" << CaptureDevices::alsaRealm;
    QTest::newRow("never listed") << "elsewhere" << CaptureDevices::fallbackRealm();
    QTest::newRow("case differs") << "VIRTMIC" << CaptureDevices::fallbackRealm();
}

void TestMediaText::deviceNamed()
{
    QFETCH(QString, name);
    QFETCH(QString, realm);
    const QStringList names {"virtmic", "pulse", "virtmic"};
    const QStringList realms {CaptureDevices::pulseRealm, CaptureDevices::alsaRealm, CaptureDevices::alsaRealm};
    const CaptureDevices::Device device = RecorderCommand::deviceNamed(name, names, realms);
    QCOMPARE(device.name, name);
    QCOMPARE(device.realm, realm);
}

void TestMediaText::pulseSources_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("names");
    const QByteArray monitor = R"({"name":"nullsink.monitor","monitor_source":"nullsink",
        "properties":{"device.class":"monitor"}})";
    const QByteArray remap = R"({"name":"virtmic","monitor_source":"","properties":{"device.class":"filter"}})";
    const QByteArray card = R"({"name":"alsa_input.pci-0000_00_1f.3.analog-stereo","monitor_source":"",
        "properties":{"device.class":"sound"}})";
    QTest::newRow("monitors left out, order kept") << "[" + monitor + "," + card + "," + remap
            + "]" << QStringList {"alsa_input.pci-0000_00_1f.3.analog-stereo", "virtmic"};
    QTest::newRow("monitor told by class only")
        << QByteArray(R"([{"name":"m","properties":{"device.class":"monitor"}},{"name":"n"}])") << QStringList {"n"};
    QTest::newRow("same name twice kept") << "[" + remap + "," + remap + "]" << QStringList {"virtmic", "virtmic"};
    QTest::newRow("no sources") << QByteArray("[]") << QStringList {};
    QTest::newRow("nameless entry skipped") << QByteArray(R"([{"index":3},{"name":"x"}])") << QStringList {"x"};
    QTest::newRow("not json") << QByteArray("Connection failure: Connection refused") << QStringList {};
    QTest::newRow("object instead of list") << QByteArray(R"({"name":"virtmic"})") << QStringList {};
}

void TestMediaText::pulseSources()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, names);
    const QList<CaptureDevices::Device> devices = CaptureDevices::parsePulseSources(json);
    QStringList found;
    for (const CaptureDevices::Device &device : devices) {
        found.append(device.name);
        QCOMPARE(device.realm, CaptureDevices::pulseRealm);
    }
    QCOMPARE(found, names);
}

void TestMediaText::selectedTask_data()
{
    QTest::addColumn<QStringList>("taskFiles");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("index");
    QTest::newRow("longer name earlier is not taken")
        << QStringList {"/w/myWAVFiles/ba.wav", "/w/myWAVFiles/a.wav"} << "a.wav" << 1;
    QTest::newRow("first of two equal names") << QStringList {"/x/a.wav", "/y/a.wav"} << "a.wav" << 0;
    QTest::newRow("folder name is not a file name") << QStringList {"/a.wav/b.wav"} << "a.wav" << -1;
    QTest::newRow("case matters") << QStringList {"/w/A.wav"} << "a.wav" << -1;
    QTest::newRow("empty selection matches nothing") << QStringList {"/w/a.wav"} << "" << -1;
    QTest::newRow("no tasks") << QStringList {} << "a.wav" << -1;
    QTest::newRow("chinese name") << QStringList {"/w/会议 记录.mp3"} << "会议 记录.mp3" << 0;
    QTest::newRow("path without folder") << QStringList {"a.wav"} << "a.wav" << 0;
}

void TestMediaText::selectedTask()
{
    QFETCH(QStringList, taskFiles);
    QFETCH(QString, selected);
    QFETCH(int, index);
    QCOMPARE(PlayerState::selectedTaskIndex(taskFiles, selected), index);
}

void TestMediaText::resumeFromStart_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("current");
    QTest::addColumn<bool>("fromStart");
    QTest::newRow("at the end") << qint64(2000) << qint64(2000) << true;
    QTest::newRow("both unknown") << qint64(0) << qint64(0) << true;
    QTest::newRow("mid-way") << qint64(2000) << qint64(900) << false;
    QTest::newRow("stopped at 0") << qint64(2000) << qint64(0) << false;
}

void TestMediaText::resumeFromStart()
{
    QFETCH(qint64, total);
    QFETCH(qint64, current);
    QFETCH(bool, fromStart);
    QCOMPARE(PlayerState::resumeFromStart(total, current), fromStart);
}

void TestMediaText::playbackVerdict_data()
{
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<bool>("reached");
    QTest::addColumn<qint64>("current");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("verdict");
    const int playing = int(PlayerState::Verdict::Playing);
    const int ended = int(PlayerState::Verdict::Ended);
    const int notPlayable = int(PlayerState::Verdict::NotPlayable);
    QTest::newRow("stopped before it ever played") << true << false << qint64(0) << qint64(-1) << notPlayable;
    QTest::newRow("stopped after playing: a drag to the end") << true << true << qint64(0) << qint64(0) << ended;
    QTest::newRow("playing at the end") << false << true << qint64(3600000) << qint64(3600000) << ended;
    QTest::newRow("playing past the end") << false << true << qint64(2010) << qint64(2000) << ended;
    QTest::newRow("playing before the end") << false << true << qint64(1999) << qint64(2000) << playing;
    QTest::newRow("total not known yet") << false << false << qint64(0) << qint64(0) << playing;
}

void TestMediaText::playbackVerdict()
{
    QFETCH(bool, stopped);
    QFETCH(bool, reached);
    QFETCH(qint64, current);
    QFETCH(qint64, total);
    QFETCH(int, verdict);
    QCOMPARE(int(PlayerState::verdict(stopped, reached, current, total)), verdict);
}

void TestMediaText::wavHeaderRepair_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("audio"); // -1: left alone
    QTest::addColumn<QByteArray>("repaired");
    auto wav = [](quint32 riff, quint32 data, const QByteArray &samples) {
        QByteArray bytes("RIFF");
        bytes += QByteArray(reinterpret_cast<const char *>(&riff), 4);
        bytes += QByteArray("WAVEfmt \x10\0\0\0\x01\0\x01\0\x80\x3e\0\0\0\x7d\0\0\x02\0\x10\0", 28);
        bytes += QByteArray("LIST\x04\0\0\0INFO", 12) + "data";
        bytes += QByteArray(reinterpret_cast<const char *>(&data), 4);
        return bytes + samples;
    };
    const QByteArray samples(1000, 'a');
    QTest::newRow("placeholders of a killed ffmpeg")
        << wav(0xffffffff, 0xffffffff, samples) << qint64(1000) << wav(1048, 1000, samples);
    QTest::newRow("already right") << wav(1048, 1000, samples) << qint64(1000) << wav(1048, 1000, samples);
    QTest::newRow("half a sample at the end")
        << wav(0, 0, samples + "b") << qint64(1000) << wav(1048, 1000, samples + "b");
    QTest::newRow("no audio") << wav(0xffffffff, 0xffffffff, {}) << qint64(0) << wav(48, 0, {});
    QTest::newRow("not a wav file") << QByteArray("ID3\x03 an mp3") << qint64(-1) << QByteArray("ID3\x03 an mp3");
}

void TestMediaText::wavHeaderRepair()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, audio);
    QFETCH(QByteArray, repaired);
    QTemporaryDir dir;
    QFile out(dir.filePath("x.wav"));
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    QCOMPARE(WavHeader::repair(dir.filePath("x.wav")), audio);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), repaired);
}

QTEST_GUILESS_MAIN(TestMediaText)
#include "tst_mediatext.moc"
