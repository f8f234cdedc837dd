#include "audiofiles.h"
#include "common/testmain.h"
#include "common/windowfixture.h"
#include "pulsefixture.h"
#include "ui/widget.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

// Plays real files through Phonon's GStreamer backend into a private PulseAudio null sink.
class TestPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void playsSelectedFileToTheEnd();
    void pauseAndResume();
    void stopThenPlayResumesTheLoadedFile();
    void selectionChangeResetsThePlayer();
    void clearListEmptiesTasksAndResets();
    void nothingPlaysWithoutAnExactMatch_data();
    void nothingPlaysWithoutAnExactMatch();
    void timeLabelFollowsTheMedia();
    void resumeAtTheEndStartsAgain();
    void unplayableFileSaysWhy_data();
    void unplayableFileSaysWhy();
    void seekToTheEndEndsPlayback();
    void twoTasksOfOneName_data();
    void twoTasksOfOneName();

private:
    // Tasks ba.wav then a.wav; the selector lists them in the same order.
    void addTasks();
    // With both tasks listed, selects a.wav and plays it until the backend reports playing.
    bool playLongTone();
    bool showsPlay() const { return !window->playBtn->isHidden() && window->pauseBtn->isHidden(); }
    bool showsPause() const { return window->playBtn->isHidden() && !window->pauseBtn->isHidden(); }

    PulseFixture pulse;
    WindowFixture fixture;
    QTemporaryDir &dir = fixture.appDir;
    QString longTone; // a.wav, 2 s
    QString shortTone; // ba.wav, 1 s
    std::unique_ptr<Widget> &window = fixture.window;
};

void TestPlayer::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY2(pulse.start(), qPrintable(pulse.error()));
    QDir().mkpath(dir.path() + QStringLiteral("/media"));
    longTone = dir.path() + QStringLiteral("/media/a.wav");
    shortTone = dir.path() + QStringLiteral("/media/ba.wav");
    QVERIFY(AudioFiles::makeTone(longTone, 2.0, 440));
    QVERIFY(AudioFiles::makeTone(shortTone, 1.0, 880));
}

void TestPlayer::init()
{
    window = std::make_unique<Widget>();
}

void TestPlayer::cleanup()
{
    window.reset();
}

void TestPlayer::addTasks()
{
    window->taskFiles = QStringList {shortTone, longTone};
    window->audioCombo->addItems({QStringLiteral("ba.wav"), QStringLiteral("a.wav")});
}

bool TestPlayer::playLongTone()
{
    addTasks();
    window->audioCombo->setCurrentIndex(1);
    window->playBtn->click();
    return QTest::qWaitFor([this] { return window->mediaObject.state() == Phonon::PlayingState; }, 3000)
        && window->playFilePath == longTone;
}

void TestPlayer::playsSelectedFileToTheEnd()
{
    addTasks();
    window->audioCombo->setCurrentIndex(1);
    QSignalSpy finished(&window->mediaObject, &Phonon::MediaObject::finished);
    window->playBtn->click();
    // ba.wav comes first in the task list and contains "a.wav", but a.wav is what is selected.
    QCOMPARE(window->playFilePath, longTone);
    QVERIFY(window->playStarted);
    QVERIFY(showsPause());
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PlayingState, 3000);
    QCOMPARE(window->mediaObject.totalTime(), qint64(2000));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 7000);
    QVERIFY(!window->playStarted);
    QVERIFY(showsPlay());

    // After the end the next play looks the source up again and starts from the beginning.
    window->playBtn->click();
    QVERIFY(window->playStarted);
    QCOMPARE(window->playFilePath, longTone);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PlayingState, 3000);
    QVERIFY(window->mediaObject.currentTime() < 1500);
    window->stopBtn->click();
}

void TestPlayer::pauseAndResume()
{
    QVERIFY(playLongTone());
    QTRY_VERIFY_WITH_TIMEOUT(window->mediaObject.currentTime() > 300, 3000);

    window->pauseBtn->click();
    QVERIFY(showsPlay());
    QVERIFY(window->playStarted);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PausedState, 3000);
    const qint64 pausedAt = window->mediaObject.currentTime();
    QTest::qWait(400);
    QVERIFY(qAbs(window->mediaObject.currentTime() - pausedAt) < 100);

    window->playBtn->click();
    QVERIFY(showsPause());
    QCOMPARE(window->playFilePath, longTone);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PlayingState, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(window->mediaObject.currentTime() > pausedAt + 200, 3000);
    window->stopBtn->click();
}

void TestPlayer::stopThenPlayResumesTheLoadedFile()
{
    QVERIFY(playLongTone());

    window->stopBtn->click();
    QVERIFY(showsPlay());
    QVERIFY(window->playStarted);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::StoppedState, 3000);

    // Resuming does not look at the task list again: the loaded file plays even though its task is gone.
    window->taskFiles = QStringList {shortTone};
    window->playBtn->click();
    QVERIFY(showsPause());
    QCOMPARE(window->playFilePath, longTone);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PlayingState, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.totalTime(), qint64(2000), 3000);
    window->stopBtn->click();
}

void TestPlayer::selectionChangeResetsThePlayer()
{
    QVERIFY(playLongTone());

    window->audioCombo->setCurrentIndex(0);
    QVERIFY(!window->playStarted);
    QVERIFY(showsPlay());
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::StoppedState, 3000);

    window->playBtn->click();
    QCOMPARE(window->playFilePath, shortTone);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PlayingState, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.totalTime(), qint64(1000), 3000);
    window->stopBtn->click();
}

void TestPlayer::clearListEmptiesTasksAndResets()
{
    QVERIFY(playLongTone());

    window->clearListBtn->click();
    QVERIFY(window->taskFiles.isEmpty());
    QCOMPARE(window->audioCombo->count(), 0);
    QVERIFY(!window->playStarted);
    QVERIFY(showsPlay());
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::StoppedState, 3000);

    // With no task left, play does nothing at all.
    window->playBtn->click();
    QVERIFY(showsPlay());
    QVERIFY(!window->playStarted);
}

void TestPlayer::nothingPlaysWithoutAnExactMatch_data()
{
    QTest::addColumn<QStringList>("taskNames");
    QTest::addColumn<QString>("selected");
    QTest::newRow("only a longer name contains it") << QStringList {"ba.wav"} << "a.wav";
    QTest::newRow("differs in case") << QStringList {"A.wav"} << "a.wav";
}

void TestPlayer::nothingPlaysWithoutAnExactMatch()
{
    QFETCH(QStringList, taskNames);
    QFETCH(QString, selected);
    for (const QString &name : taskNames)
        window->taskFiles.append(dir.path() + QStringLiteral("/media/") + name);
    window->audioCombo->addItem(selected);
    window->playBtn->click();
    QVERIFY(showsPlay());
    QVERIFY(!window->playStarted);
    QVERIFY(window->playFilePath.isEmpty());
}

void TestPlayer::timeLabelFollowsTheMedia()
{
    QCOMPARE(window->playTimeLabel->text(), QStringLiteral("00:00:00 / 00:00:00"));
    window->updateCurrentTime();
    QCOMPARE(window->playTimeLabel->text(), QString());

    addTasks();
    window->audioCombo->setCurrentIndex(1);
    QStringList shown;
    connect(
        &window->mediaObject, &Phonon::MediaObject::tick, this, [&] { shown.append(window->playTimeLabel->text()); });
    window->playBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(shown.contains(QStringLiteral("00:00:01 / 00:00:02")), 5000);
    const QRegularExpression form(QStringLiteral("^(00:00:0[0-2]( / 00:00:02)?)?$"));
    for (const QString &text : qAsConst(shown))
        QVERIFY2(form.match(text).hasMatch(), qPrintable(text));
    window->stopBtn->click();
}

void TestPlayer::resumeAtTheEndStartsAgain()
{
    QVERIFY(playLongTone());
    window->pauseBtn->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PausedState, 3000);
    window->mediaObject.seek(window->mediaObject.totalTime());
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.currentTime(), window->mediaObject.totalTime(), 3000);
    QVERIFY(window->playStarted);
    window->playBtn->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PlayingState, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(window->mediaObject.currentTime() > 0, 3000);
    QVERIFY(window->mediaObject.currentTime() < 1500);
    window->stopBtn->click();
}

void TestPlayer::unplayableFileSaysWhy_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("deleted task") << "deleted"
                                  << "文件“x.wav”不存在或已被删除！";
    QTest::newRow("empty file") << "empty"
                                << "无法播放“x.wav”：文件为空！";
    QTest::newRow("not audio") << "garbage"
                               << "无法播放“x.wav”：文件为空、已损坏或格式不受支持！";
    QTest::newRow("named pipe") << "fifo"
                                << "“x.wav”不是普通文件（如文件夹、命名管道或设备），无法使用！";
}

// A task that cannot play says why and leaves the player ready to play; a pipe is never opened.
void TestPlayer::unplayableFileSaysWhy()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    const QString path = dir.path() + "/media/x.wav";
    QFile::remove(path);
    if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (kind == "garbage")
            file.write(QByteArray(5000, 'g'));
    }
    window->taskFiles = QStringList {path};
    window->audioCombo->addItem("x.wav");
    if (kind == "deleted")
        QVERIFY(QFile::remove(path));
    fixture.notices.clear();

    window->playBtn->click();
    QTRY_COMPARE_WITH_TIMEOUT(fixture.notices, QStringList {message}, 5000);
    QVERIFY(showsPlay());
    QVERIFY(!window->playStarted);
    QVERIFY(!window->playbackWanted);
    QFile::remove(path);
}

// A seek to the very end while playing ends playback as the end of the media does.
void TestPlayer::seekToTheEndEndsPlayback()
{
    QVERIFY(playLongTone());
    fixture.notices.clear();
    window->mediaObject.seek(window->mediaObject.totalTime());
    QTRY_VERIFY_WITH_TIMEOUT(showsPlay(), 4000);
    QVERIFY(!window->playStarted);
    QVERIFY(fixture.notices.isEmpty());
    // The next play starts the file again from its beginning.
    window->playBtn->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PlayingState, 3000);
    QVERIFY(window->mediaObject.currentTime() < 1500);
    window->stopBtn->click();
}

// Two tasks named x.wav in two folders, added through the upload rules: each entry plays its own
// file, and taking one task off the list leaves the other's entry.
void TestPlayer::twoTasksOfOneName_data()
{
    QTest::addColumn<int>("selected"); // entry index: 0 is the first added, folder a
    QTest::addColumn<int>("removed"); // -1: none; else 0 (a) or 1 (b)
    QTest::addColumn<QString>("plays"); // folder of the file played
    QTest::newRow("first selected") << 0 << -1 << "a";
    QTest::newRow("second selected") << 1 << -1 << "b";
    QTest::newRow("first removed, the other plays") << 0 << 0 << "b";
    QTest::newRow("second removed, the other plays") << 0 << 1 << "a";
}

void TestPlayer::twoTasksOfOneName()
{
    QFETCH(int, selected);
    QFETCH(int, removed);
    QFETCH(QString, plays);
    QStringList paths;
    for (const char *folder : {"a", "b"}) {
        QVERIFY(QDir().mkpath(dir.filePath(folder)));
        paths << dir.filePath(QStringLiteral("%1/x.wav").arg(folder));
        QVERIFY(AudioFiles::makeTone(paths.last(), folder == QLatin1String("a") ? 2.0 : 1.0, 440));
    }
    Notice::setNextFileNames({paths.at(0)});
    window->uploadBtn->click();
    Notice::setNextFileNames({paths.at(1)});
    window->uploadBtn->click();
    QCOMPARE(window->audioCombo->count(), 2);
    QCOMPARE(window->audioCombo->itemText(0), window->audioCombo->itemText(1));
    if (removed >= 0) {
        window->removeTask(paths.at(removed));
        QCOMPARE(window->audioCombo->count(), 1);
        QCOMPARE(window->taskFiles, QStringList({paths.at(1 - removed)}));
    }
    window->audioCombo->setCurrentIndex(selected);
    window->playBtn->click();
    const QString expected = dir.filePath(plays + QStringLiteral("/x.wav"));
    QCOMPARE(window->playFilePath, expected);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PlayingState, 3000);
    QCOMPARE(window->mediaObject.totalTime(), qint64(plays == QLatin1String("a") ? 2000 : 1000));
    window->stopBtn->click();
}

QUILLORA_TEST_MAIN(TestPlayer)
#include "tst_player.moc"
