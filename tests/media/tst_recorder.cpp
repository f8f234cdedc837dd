#include "audiofiles.h"
#include "common/smalldisk.h"
#include "common/testmain.h"
#include "common/windowfixture.h"
#include "media/recorder.h"
#include "media/recordercommand.h"
#include "pulsefixture.h"
#include "ui/library/mylistwidget.h"
#include "ui/widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <memory>

// Records from a virtual microphone of a private PulseAudio daemon that hears a 440 Hz tone.
class TestRecorder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void recordingIsRegisteredAndPlays();
    void clockKeepsLastTimeUntilFirstTick();
    void clockCountsWhileAMessageIsUp();
    void failedRecordingIsNotRegistered_data();
    void failedRecordingIsNotRegistered();
    void takenFileNameIsNotRecordedInto();
    void closingWhileRecordingKeepsTheFile();
    void fullDiskStopsTheRecording();
    // Last: it kills the PulseAudio daemon the others record from, and starts a new one.
    void lostDeviceStopsTheRecording();

private:
    PulseFixture pulse;
    WindowFixture fixture;
    QTemporaryDir &appDir = fixture.appDir;
    QStringList &messages = fixture.notices;
};

void TestRecorder::initTestCase()
{
    QVERIFY(appDir.isValid());
    QVERIFY2(pulse.start(), qPrintable(pulse.error()));
    QVERIFY2(pulse.startTone(440), qPrintable(pulse.error()));
}

void TestRecorder::cleanupTestCase()
{
    pulse.stop();
}

void TestRecorder::recordingIsRegisteredAndPlays()
{
    // An earlier recording in the folder: the new one is listed after it.
    const QString earlier = appDir.path() + QStringLiteral("/myWAVFiles/000101_000000.wav");
    QVERIFY(QDir().mkpath(appDir.path() + QStringLiteral("/myWAVFiles")));
    QVERIFY(AudioFiles::makeTone(earlier, 0.5));
    Widget window;
    QCOMPARE(window.wavFiles, QStringList {earlier});
    QCOMPARE(window.deviceName, QStringLiteral("virtmic"));
    // Another task is selected before the recording; the recording must take its place at the top.
    const QString otherTask = appDir.path() + QStringLiteral("/other.wav");
    window.taskFiles.append(otherTask);
    window.audioCombo->addItem(QStringLiteral("other.wav"));
    messages.clear();

    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    QElapsedTimer elapsed;
    elapsed.start();
    window.recordBtn->click();
    QVERIFY(window.recordBtn->isChecked());
    QCOMPARE(window.recordBtn->toolTip(), QStringLiteral("停止录制"));
    QVERIFY(window.recorder->recordTimer()->isActive());
    QCOMPARE(window.recorder->recordTimer()->interval(), 500);
    QTRY_COMPARE_WITH_TIMEOUT(window.recorder->recordProcess()->state(), QProcess::Running, 3000);

    // The clock follows the wall clock in 500 ms ticks.
    QTRY_COMPARE_WITH_TIMEOUT(window.recordTimeLabel->text(), QStringLiteral("00:00:01"), 2500);
    QTRY_COMPARE_WITH_TIMEOUT(window.recordTimeLabel->text(), QStringLiteral("00:00:03"), 3000);
    QElapsedTimer stopping;
    stopping.start();
    window.recordBtn->click();
    const qint64 stopWaitMs = stopping.elapsed();
    const double recordedSeconds = elapsed.elapsed() / 1000.0;
    const QDateTime after = QDateTime::currentDateTime();
    // The window does not wait for ffmpeg to finish the file; the button does, disabled.
    QVERIFY2(stopWaitMs < 500, qPrintable(QString::number(stopWaitMs)));
    QVERIFY(!window.recordBtn->isEnabled());
    QCOMPARE(window.recordTimeLabel->text(), QStringLiteral("00:00:03"));
    QTRY_VERIFY_WITH_TIMEOUT(window.recordBtn->isEnabled(), 10000);

    QVERIFY(messages.isEmpty());
    QVERIFY(!window.recordBtn->isChecked());
    QCOMPARE(window.recordBtn->toolTip(), QStringLiteral("开始录制"));
    QVERIFY(!window.recorder->recordTimer()->isActive());
    QCOMPARE(window.recorder->recordProcess()->state(), QProcess::NotRunning);
    QCOMPARE(window.recordTimeLabel->text(), QStringLiteral("00:00:03"));

    const QString path = window.recorder->recordFilePath();
    const QFileInfo info(path);
    QCOMPARE(info.absolutePath(), appDir.path() + QStringLiteral("/myWAVFiles"));
    const QDateTime named
        = QDateTime::fromString(info.completeBaseName(), QStringLiteral("yyMMdd_hhmmss")).addYears(100);
    QVERIFY2(named >= before && named <= after, qPrintable(info.fileName()));
    QCOMPARE(info.suffix(), QStringLiteral("wav"));

    const AudioFiles::Facts facts = AudioFiles::measure(path);
    qInfo("recorded %.2f s in %.2f s, mean volume %.1f dB; the stop click returned after %lld ms", facts.seconds,
        recordedSeconds, facts.meanVolumeDb, stopWaitMs);
    QCOMPARE(facts.sampleRate, 16000);
    QCOMPARE(facts.channels, 1);
    QVERIFY2(facts.seconds >= recordedSeconds - 0.7 && facts.seconds <= recordedSeconds + 0.6,
        qPrintable(QStringLiteral("%1 s recorded in %2 s").arg(facts.seconds).arg(recordedSeconds)));
    QVERIFY2(facts.meanVolumeDb > -40, qPrintable(QString::number(facts.meanVolumeDb)));

    QCOMPARE(window.wavFiles, QStringList({earlier, path}));
    QCOMPARE(window.wavList->count(), 2);
    QCOMPARE(window.wavList->item(1)->text(), info.fileName());
    QCOMPARE(window.audioCombo->itemText(0), info.fileName());
    QCOMPARE(window.audioCombo->currentIndex(), 0);
    QCOMPARE(window.taskFiles, QStringList({path, otherTask}));
    QVERIFY(window.wavBtn->isChecked());

    // The new recording is what the player plays, through to its end.
    QSignalSpy finished(&window.mediaObject, &Phonon::MediaObject::finished);
    window.playBtn->click();
    QCOMPARE(window.playFilePath, path);
    QVERIFY(window.playStarted);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, int(recordedSeconds * 1000) + 6000);
    QVERIFY(!window.playStarted);
    QVERIFY(window.pauseBtn->isHidden());
    QVERIFY(!window.playBtn->isHidden());
}

void TestRecorder::clockKeepsLastTimeUntilFirstTick()
{
    Widget window;
    const int recordingsBefore = window.wavFiles.size();
    window.recordTimeLabel->setText(QStringLiteral("00:00:07"));
    window.recordBtn->click();
    QCOMPARE(window.recordTimeLabel->text(), QStringLiteral("00:00:07"));
    QTRY_COMPARE_WITH_TIMEOUT(window.recordTimeLabel->text(), QStringLiteral("00:00:00"), 1500);
    QTRY_COMPARE_WITH_TIMEOUT(window.recordTimeLabel->text(), QStringLiteral("00:00:01"), 2000);
    // On a busy machine ffmpeg may take longer than the clock's first second to open its output.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(window.recorder->recordFilePath()), 5000);
    window.recordBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(window.recordBtn->isEnabled(), 10000);
    QCOMPARE(window.wavFiles.size(), recordingsBefore + 1);
    QVERIFY(QFileInfo(window.wavFiles.last()).isFile());
}

// A box the recording's start brings up (live text refused for a language the local service lacks)
// stays up for seconds; the clock counts them, as the file does.
void TestRecorder::clockCountsWhileAMessageIsUp()
{
    Widget window;
    window.liveCheck->setChecked(true);
    window.languageBox->setCurrentIndex(0); // 中文近场: our own service recognises English only
    Notice::setTestHook([this](const QString &text) {
        messages << text;
        QTest::qWait(3000); // a modal box's own event loop, until the user closes it
        return QMessageBox::Ok;
    });
    messages.clear();
    window.recordBtn->click();
    QCOMPARE(messages.size(), 1);
    // Three seconds went by under the box: the clock has counted them.
    QTRY_COMPARE_WITH_TIMEOUT(window.recordTimeLabel->text(), QStringLiteral("00:00:04"), 2000);
    window.recordBtn->click();
    Notice::setTestHook([this](const QString &text) {
        messages << text;
        return fixture.answer;
    });
    const QString path = window.recorder->recordFilePath();
    const double seconds = AudioFiles::measure(path).seconds;
    qInfo("clock %s for a file of %.2f s", qPrintable(window.recordTimeLabel->text()), seconds);
    QVERIFY2(qAbs(seconds - 4.3) < 1.0, qPrintable(QString::number(seconds)));
    window.liveCheck->setChecked(false);
    QFile::remove(path);
}

void TestRecorder::failedRecordingIsNotRegistered_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("withoutFfmpeg");
    QTest::addColumn<QString>("message");
    QTest::newRow("device nobody listed")
        << "no_such_source" << false << "录音失败：无法打开录音设备“no_such_source”。没有保存任何录音。";
    QTest::newRow("ffmpeg not installed") << "virtmic" << true << "录音失败，没有找到录音程序 ffmpeg！";
}

void TestRecorder::failedRecordingIsNotRegistered()
{
    QFETCH(QString, device);
    QFETCH(bool, withoutFfmpeg);
    QFETCH(QString, message);
    Widget window;
    window.deviceName = device;
    const QStringList wavFiles = window.wavFiles;
    const QStringList taskFiles = window.taskFiles;
    const int comboItems = window.audioCombo->count();
    messages.clear();

    QTemporaryDir emptyPath;
    const QByteArray savedPath = qgetenv("PATH");
    if (withoutFfmpeg)
        qputenv("PATH", emptyPath.path().toLocal8Bit());
    QElapsedTimer clicked;
    clicked.start();
    window.recordBtn->click();
    qputenv("PATH", savedPath);
    // Said at once, not when the user presses stop: the button is back to start.
    QTRY_COMPARE_WITH_TIMEOUT(messages, QStringList {message}, 5000);
    qInfo("told after %lld ms", clicked.elapsed());
    QVERIFY(!QFileInfo::exists(window.recorder->recordFilePath()));
    QCOMPARE(window.wavFiles, wavFiles);
    QCOMPARE(window.wavList->count(), wavFiles.size());
    QCOMPARE(window.taskFiles, taskFiles);
    QCOMPARE(window.audioCombo->count(), comboItems);
    QCOMPARE(window.recordBtn->toolTip(), QStringLiteral("开始录制"));
    QVERIFY(!window.recordBtn->isChecked());
    QVERIFY(!window.recorder->recordTimer()->isActive());
}

void TestRecorder::takenFileNameIsNotRecordedInto()
{
    // Recordings already named for this second and the next ones, as a quick stop and start would leave;
    // a minute of them, so that a busy machine building the window still clicks within it.
    QVERIFY(QDir().mkpath(appDir.path() + QStringLiteral("/myWAVFiles")));
    const QString tone = appDir.path() + QStringLiteral("/tone.wav");
    QVERIFY(AudioFiles::makeTone(tone, 0.2));
    QStringList taken;
    const QDateTime now = QDateTime::currentDateTime();
    for (int second = -1; second <= 60; ++second) {
        // The recording of an earlier test may hold one of these names already.
        const QString path = RecorderCommand::recordingFilePath(appDir.path(), now.addSecs(second));
        if (QFileInfo::exists(path))
            continue;
        taken.append(path);
        QVERIFY(QFile::copy(tone, taken.last()));
    }
    Widget window;
    const QStringList wavFiles = window.wavFiles;
    messages.clear();

    window.recordBtn->click();

    QCOMPARE(messages, QStringList {QStringLiteral("录音文件已存在，请稍后再试！")});
    QVERIFY(!window.recordBtn->isChecked());
    QCOMPARE(window.recordBtn->toolTip(), QStringLiteral("开始录制"));
    QCOMPARE(window.recorder->recordProcess()->state(), QProcess::NotRunning);
    QVERIFY(!window.recorder->recordTimer()->isActive());
    QCOMPARE(window.wavFiles, wavFiles);
    QVERIFY(window.taskFiles.isEmpty());
    QCOMPARE(window.audioCombo->count(), 0);
    for (const QString &path : qAsConst(taken))
        QFile::remove(path);
    QFile::remove(tone);
}

// Closing the window while recording finishes the file as the stop button does, within seconds; the
// next start lists it.
void TestRecorder::closingWhileRecordingKeepsTheFile()
{
    auto window = std::make_unique<Widget>();
    window->recordBtn->click();
    // ffmpeg writes its output in blocks of 256 KiB: the file may still be empty on disk meanwhile.
    QTRY_COMPARE_WITH_TIMEOUT(window->recordTimeLabel->text(), QStringLiteral("00:00:03"), 6000);
    const QString path = window->recorder->recordFilePath();
    QElapsedTimer closing;
    closing.start();
    window->slotClose();
    const qint64 closeMs = closing.elapsed();
    qInfo("closing while recording took %lld ms", closeMs);
    QVERIFY2(closeMs < 5000, qPrintable(QString::number(closeMs)));
    window.reset();

    qint64 audio = 0;
    QVERIFY(AudioFiles::headerSizesRight(path, &audio));
    QVERIFY(audio > 32000);
    QVERIFY(AudioFiles::measure(path).seconds > 1.0);
    Widget next;
    QVERIFY(next.wavFiles.contains(path));
    QFile::remove(path);
}

// A full recordings folder ends the recording at once with a message; the audio before is kept whole.
void TestRecorder::fullDiskStopsTheRecording()
{
    if (!SmallDisk::available())
        QSKIP("mounting a small file system needs root and a mount namespace of the test's own");
    SmallDisk::Mount disk(appDir.path() + QStringLiteral("/myWAVFiles"), 96);
    QVERIFY(disk.mounted());
    Widget window;
    messages.clear();
    window.recordBtn->click();
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 1, 20000);
    qInfo("%s", qUtf8Printable(messages.first()));

    const QString path = window.recorder->recordFilePath();
    QVERIFY2(messages.first().startsWith(QStringLiteral("录音已停止：磁盘空间已满，无法继续写入文件夹“%1”。已保存 ")
                                             .arg(QFileInfo(path).absolutePath())),
        qPrintable(messages.first()));
    QVERIFY(messages.first().endsWith(QStringLiteral("的录音“%1”。").arg(QFileInfo(path).fileName())));
    QVERIFY(!window.recordBtn->isChecked());
    QCOMPARE(window.recordBtn->toolTip(), QStringLiteral("开始录制"));
    QVERIFY(!window.recorder->recordTimer()->isActive());
    QVERIFY(AudioFiles::headerSizesRight(path));
    QVERIFY(AudioFiles::measure(path).seconds > 1.0);
    QCOMPARE(window.wavFiles.last(), path);
    QCOMPARE(window.taskFiles.first(), path);
}

void TestRecorder::lostDeviceStopsTheRecording()
{
    Widget window;
    messages.clear();
    window.recordBtn->click();
    QTRY_COMPARE_WITH_TIMEOUT(window.recordTimeLabel->text(), QStringLiteral("00:00:03"), 6000);
    const QString path = window.recorder->recordFilePath();
    QVERIFY(::kill(pid_t(pulse.daemonPid()), SIGKILL) == 0);
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 1, 10000);
    qInfo("%s", qUtf8Printable(messages.first()));

    QVERIFY2(
        messages.first().startsWith(QStringLiteral("录音已停止：录音设备“virtmic”已断开或音频服务已停止。已保存 ")),
        qPrintable(messages.first()));
    QVERIFY(!window.recordBtn->isChecked());
    QVERIFY(!window.recorder->recordTimer()->isActive());
    QVERIFY(AudioFiles::headerSizesRight(path));
    QCOMPARE(window.wavFiles.last(), path);
    QCOMPARE(window.taskFiles.first(), path);
    pulse.stop();
    QVERIFY2(pulse.start() && pulse.startTone(440), qPrintable(pulse.error()));
}

QUILLORA_TEST_MAIN(TestRecorder, {}, SmallDisk::enterPrivateMounts)
#include "tst_recorder.moc"
