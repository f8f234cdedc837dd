#include "conversiontestutil.h"

#include "common/testmain.h"

#include "pipeline/audioprep.h"
#include "pipeline/document.h"
#include "ui/library/mylistwidget.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace ConversionTest;

// Nothing the user has is lost and no run is left hanging, whatever the disk, the service or the user
// does: full disks, silent segments, name clashes, stops, kills and resumed runs.
class TestNothingLost : public QObject
{
    Q_OBJECT
private slots:
    void fullDisk_data();
    void fullDisk();
    void unfinishedRunLeavesDocument_data();
    void unfinishedRunLeavesDocument();
    void segmentsWithoutSpeech_data();
    void segmentsWithoutSpeech();
    void usersOwnFilesAreNotTheRuns();
    void sameBaseNameInOneRun();
    void languageTheServiceCannotRecognise();
    void missingTaskFile();
    void resume_data();
    void resume();
    void changedFileStartsAfresh();
    void editsSavedBeforeTheRun_data();
    void editsSavedBeforeTheRun();
    void listKeptWhileRunning();

private:
    static QString makeTask(const QString &folder, const QString &name, qint64 samples)
    {
        const QString path = folder + '/' + name;
        if (name.endsWith(".mp3")) {
            const QString wav = path + ".source.wav";
            const bool ok = makeNoiseWav(wav, samples) && runFfmpeg({"-i", wav, "-b:a", "64k", path});
            QFile::remove(wav);
            return ok ? path : QString();
        }
        return makeNoiseWav(path, samples) ? path : QString();
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static bool writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static bool waitIdle(Fixture &f, int ms = 60000)
    {
        return QTest::qWaitFor([&] { return f.idle(); }, ms);
    }
    static QString documentOf(const QString &name) { return AppState::appDir + "/myWordFiles/" + name; }
    static ScriptedServer::Reply text(const QString &words)
    {
        return ScriptedServer::json(QStringLiteral("{\"err_no\": 0, \"result\": [\"%1\"]}").arg(words).toUtf8());
    }
    // The document of five segments "s0" to "s4" converted without a break.
    static QByteArray uninterruptedDocument(const QString &taskName);
};

const qint64 fiveSegments = 16000LL * (4 * 60 + 5);
// The test's own mount namespace, where a file system it mounts is seen by nobody else.
bool privateMounts = false;

void TestNothingLost::fullDisk_data()
{
    QTest::addColumn<QString>("fullFolder");
    QTest::addColumn<QString>("message");
    QTest::newRow("documents") << "myWordFiles"
                               << "无法保存文本文档“full.txt”";
    QTest::newRow("temporary files") << "myTmpWAVFiles"
                                     << "磁盘空间已满，无法在文件夹“%1”中写入音频";
}

// On a real, small file system that is full: the earlier document stays whole and the task stays.
void TestNothingLost::fullDisk()
{
    QFETCH(QString, fullFolder);
    QFETCH(QString, message);
    if (!privateMounts)
        QSKIP("mounting a small file system needs root and a mount namespace of the test's own");
    Fixture f;
    const QString folder = f.appPath() + '/' + fullFolder;
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", folder}) != 0)
        QSKIP("cannot mount a file system here");
    struct Unmount
    {
        QString folder;
        ~Unmount() { QProcess::execute("umount", {folder}); }
    } unmount {folder};

    const QString document = documentOf("full.txt");
    if (fullFolder == "myWordFiles") {
        QVERIFY(writeFile(document, "earlier text\n"));
        QVERIFY(Document::remember(AppState::dataDir, document, "earlier text\n"));
    }
    // Filled by something else: a folder of its own, which the run's clean-up of its files leaves alone.
    QVERIFY(QDir(folder).mkdir("other"));
    QFile filler(folder + "/other/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) { }
    filler.close();

    const QString task = makeTask(f.media.path(), "full.mp3", 16000 * 3);
    f.addTask(task);
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices.size(), 1);
    const QString expected = message.contains("%1") ? message.arg(folder) : message;
    QVERIFY2(f.notices.first().startsWith(expected), qPrintable(f.notices.first()));
    QCOMPARE(f.window->taskFiles, QStringList {task});
    if (fullFolder == "myWordFiles") {
        QCOMPARE(readFile(document), QByteArray("earlier text\n"));
        // Closing the view must not put an empty text in its place either.
        f.window->slotCloseWord();
        QCOMPARE(readFile(document), QByteArray("earlier text\n"));
    }
}

void TestNothingLost::unfinishedRunLeavesDocument_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("stopped") << true;
    QTest::newRow("failed") << false;
}

// A run that does not write its document leaves the earlier one, and the list, as they were.
void TestNothingLost::unfinishedRunLeavesDocument()
{
    QFETCH(bool, stop);
    Fixture f;
    const QString document = documentOf("talk.txt");
    QVERIFY(writeFile(document, "the earlier transcript\n"));
    f.window->loadWordList();
    QCOMPARE(f.window->wordList->count(), 1);
    f.server.recognitionReplies << text("first minute")
                                << (stop ? ScriptedServer::silence() : ScriptedServer::errNo(3303));
    f.addTask(makeTask(f.media.path(), "talk.wav", 16000 * 90));
    f.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(f.server.recognitionRequests().size(), 2, 30000);
    if (stop)
        f.window->slotStopCover();
    QVERIFY(waitIdle(f));
    QVERIFY(f.window->wordTextEdit->toPlainText().contains("first minute"));
    f.window->slotCloseWord();
    QCOMPARE(readFile(document), QByteArray("the earlier transcript\n"));
    QCOMPARE(f.window->wordList->count(), 1);

    // A new document enters the list when it is written, not when its run starts.
    Fixture g;
    g.server.recognitionReplies << ScriptedServer::silence();
    g.addTask(makeTask(g.media.path(), "new.wav", 16000));
    g.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(g.server.recognitionRequests().size(), 1, 30000);
    QCOMPARE(g.window->wordList->count(), 0);
    g.server.answerHeld(text("words"));
    QVERIFY(waitIdle(g));
    QCOMPARE(g.window->wordList->count(), 1);
}

void TestNothingLost::segmentsWithoutSpeech_data()
{
    QTest::addColumn<QList<int>>("codes"); // err_no of segments 0, 1, 2; 0 gives "s<k>"
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("silent middle minute") << QList<int> {0, 3301, 0} << QByteArray("s0\n\ns2\n");
    QTest::newRow("silent ending") << QList<int> {0, 0, 3301} << QByteArray("s0\n\ns1\n");
    QTest::newRow("all silent") << QList<int> {3301, 3301, 3301} << QByteArray("<missing>");
}

void TestNothingLost::segmentsWithoutSpeech()
{
    QFETCH(QList<int>, codes);
    QFETCH(QByteArray, document);
    Fixture f;
    for (int k = 0; k < codes.size(); ++k)
        f.server.recognitionReplies << (codes[k] ? ScriptedServer::errNo(codes[k])
                                                 : text(QStringLiteral("s%1").arg(k)));
    f.addTask(makeTask(f.media.path(), "pause.wav", 16000 * 150));
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.server.recognitionRequests().size(), 3);
    QCOMPARE(readFile(documentOf("pause.txt")), document);
    const bool written = document != "<missing>";
    QCOMPARE(f.notices, QStringList {written ? "文件已经全部转换完成！" : "语音识别结果实际为空！"});
    QCOMPARE(f.window->taskFiles.size(), written ? 0 : 1);
}

// "talk_16k.wav" beside "talk.mp3" is the user's; whatever the run does, it stays, and the task, the
// document and the folder keep the user's names.
void TestNothingLost::usersOwnFilesAreNotTheRuns()
{
    Fixture f;
    const QString task = makeTask(f.media.path(), "talk.mp3", 16000 * 2);
    const QString own = f.media.filePath("talk_16k.wav");
    QVERIFY(writeFile(own, "the user's own recording"));
    f.server.recognitionReplies << ScriptedServer::errNo(3303) << ScriptedServer::silence() << text("done");
    f.addTask(task);
    for (int attempt = 0; attempt < 2; ++attempt) {
        f.window->slotBeginCover();
        if (attempt == 1) {
            QTRY_COMPARE_WITH_TIMEOUT(f.server.recognitionRequests().size(), 2, 30000);
            f.window->slotStopCover();
        }
        QVERIFY(waitIdle(f));
        QCOMPARE(f.window->taskFiles, QStringList {task});
        QCOMPARE(f.window->audioCombo->itemText(0), QString("talk.mp3"));
    }
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(readFile(documentOf("talk.txt")), QByteArray("done\n"));
    QCOMPARE(readFile(own), QByteArray("the user's own recording"));
    QCOMPARE(QDir(f.media.path()).entryList(QDir::Files), QStringList({"talk.mp3", "talk_16k.wav"}));
    QCOMPARE(QDir(f.tmpFolder()).entryList(QDir::Files), QStringList());
}

void TestNothingLost::sameBaseNameInOneRun()
{
    Fixture f;
    QVERIFY(writeFile(documentOf("talk.txt"), "from an earlier run\n"));
    QVERIFY(Document::remember(AppState::dataDir, documentOf("talk.txt"), "from an earlier run\n"));
    f.server.recognitionReplies << text("the mp3") << text("the wav");
    f.addTask(makeTask(f.media.path(), "talk.wav", 16000));
    f.addTask(makeTask(f.media.path(), "talk.mp3", 16000));
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices, QStringList {"文件已经全部转换完成！"});
    QCOMPARE(readFile(documentOf("talk.txt")), QByteArray("the mp3\n"));
    QCOMPARE(readFile(documentOf("talk (2).txt")), QByteArray("the wav\n"));
    QCOMPARE(f.window->wordList->count(), 2);
}

void TestNothingLost::languageTheServiceCannotRecognise()
{
    QTemporaryDir app;
    {
        Fixture f(app.path());
        f.window->languageBox->setCurrentText(QStringLiteral("粤语"));
        f.addTask(makeTask(f.media.path(), "yue.wav", 16000));
        f.window->slotBeginCover();
        QCOMPARE(f.notices.size(), 1);
        QVERIFY2(f.notices.first().contains("只能识别英文"), qPrintable(f.notices.first()));
        QVERIFY(f.idle());
        QCOMPARE(f.server.requests.size(), 0);
    }
    // The choice is remembered: the next start shows it again.
    Widget next;
    QCOMPARE(next.languageBox->currentText(), QString("粤语"));
}

void TestNothingLost::missingTaskFile()
{
    Fixture f;
    const QString gone = makeTask(f.media.path(), "gone.wav", 16000);
    const QString kept = makeTask(f.media.path(), "kept.wav", 16000);
    f.addTask(kept);
    f.addTask(gone);
    QVERIFY(QFile::remove(gone));
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices.size(), 1);
    QVERIFY2(f.notices.first().contains(gone), qPrintable(f.notices.first()));
    QCOMPARE(f.window->taskFiles, QStringList {kept});
    QCOMPARE(f.window->audioCombo->count(), 1);
    QCOMPARE(f.server.recognitionRequests().size(), 0);
}

QByteArray TestNothingLost::uninterruptedDocument(const QString &taskName)
{
    Fixture f;
    for (int k = 0; k < 5; ++k)
        f.server.recognitionReplies << text(QStringLiteral("s%1").arg(k));
    f.addTask(makeTask(f.media.path(), taskName, fiveSegments));
    f.window->slotBeginCover();
    if (!waitIdle(f))
        return "<not finished>";
    return readFile(documentOf(QFileInfo(taskName).completeBaseName() + ".txt"));
}

void TestNothingLost::resume_data()
{
    QTest::addColumn<bool>("kill");
    QTest::newRow("stopped") << false;
    QTest::newRow("window killed") << true;
}

// Two of five segments are recognised, then the run ends; the next run sends only the other three and
// writes the document an uninterrupted run writes.
void TestNothingLost::resume()
{
    QFETCH(bool, kill);
    const QByteArray expected = uninterruptedDocument("long.mp3");
    QCOMPARE(expected, QByteArray("s0\n\ns1\n\ns2\n\ns3\n\ns4\n"));

    QTemporaryDir app;
    QTemporaryDir media;
    const QString task = makeTask(media.path(), "long.mp3", fiveSegments);
    QVERIFY(!task.isEmpty());
    ScriptedServer server;
    server.recognitionReplies << text("s0") << text("s1") << ScriptedServer::silence();
    if (kill) {
        // The same window in a process of its own, ended by SIGKILL once the third segment is on its way.
        QProcess window;
        window.setProcessChannelMode(QProcess::ForwardedChannels);
        window.start(QCoreApplication::applicationFilePath(), {"--convert", app.path(), task, server.hostAndPort()});
        QTRY_COMPARE_WITH_TIMEOUT(server.recognitionRequests().size(), 3, 60000);
        ::kill(pid_t(window.processId()), SIGKILL);
        QVERIFY(window.waitForFinished(5000));
    } else {
        Fixture f(app.path());
        f.server.recognitionReplies = server.recognitionReplies;
        f.addTask(task);
        f.window->slotBeginCover();
        QTRY_COMPARE_WITH_TIMEOUT(f.server.recognitionRequests().size(), 3, 60000);
        f.window->slotStopCover();
        QVERIFY(f.idle());
    }

    Fixture g(app.path());
    for (int k = 2; k < 5; ++k)
        g.server.recognitionReplies << text(QStringLiteral("s%1").arg(k));
    g.addTask(task);
    ButtonTexts texts(g.window.get());
    g.window->slotBeginCover();
    QVERIFY(waitIdle(g));
    QCOMPARE(g.server.recognitionRequests().size(), 3);
    QCOMPARE(readFile(documentOf("long.txt")), expected);
    QVERIFY(texts.texts.contains("转写:40.0%"));
    QVERIFY(!texts.texts.contains("转写:0.0%"));
    QCOMPARE(QDir(app.path() + "/.quillora/progress").entryList(QDir::Files), QStringList());
}

void TestNothingLost::changedFileStartsAfresh()
{
    Fixture f;
    const QString task = makeTask(f.media.path(), "edit.wav", 16000 * 90);
    f.server.recognitionReplies << text("old first") << ScriptedServer::silence();
    f.addTask(task);
    f.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(f.server.recognitionRequests().size(), 2, 30000);
    f.window->slotStopCover();

    QVERIFY(makeNoiseWav(task, 16000 * 91)); // the user edited the recording meanwhile
    f.server.recognitionReplies.clear();
    f.server.recognitionReplies << text("new first") << text("new second");
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.server.recognitionRequests().size(), 4);
    QCOMPARE(readFile(documentOf("edit.txt")), QByteArray("new first\n\nnew second\n"));
}

void TestNothingLost::editsSavedBeforeTheRun_data()
{
    QTest::addColumn<bool>("writable");
    QTest::newRow("saved") << true;
    QTest::newRow("cannot be saved") << false;
}

// The view's edits are written before a run takes the view, and the run then keeps that document; a
// failed save keeps the run from starting. Root writes everywhere: that press is made as nobody.
void TestNothingLost::editsSavedBeforeTheRun()
{
    QFETCH(bool, writable);
    Fixture f;
    f.server.recognitionReplies << text("frist run") << text("second run");
    const QString task = makeTask(f.media.path(), "talk.wav", 16000);
    f.addTask(task);
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    f.window->wordTextEdit->setPlainText("first run, corrected\n");
    f.notices.clear();
    f.addTask(task);
    const bool dropped = !writable && ::geteuid() == 0;
    if (!writable) {
        QVERIFY(QFile::setPermissions(f.appPath(), QFileDevice::Permissions(0x7755)));
        QVERIFY(QFile::setPermissions(documentOf(""), QFileDevice::Permissions(0x5555)));
    }
    if (dropped)
        QVERIFY(::setresuid(65534, 65534, 0) == 0);
    f.window->slotBeginCover();
    if (dropped)
        QVERIFY(::setresuid(0, 0, 0) == 0);
    QVERIFY(waitIdle(f));
    if (writable) {
        QCOMPARE(readFile(documentOf("talk.txt")), QByteArray("first run, corrected\n"));
        QCOMPARE(readFile(documentOf("talk (2).txt")), QByteArray("second run\n"));
        QCOMPARE(f.notices,
            QStringList {
                "文件已经全部转换完成！\n“talk.txt”已被修改或不是本程序写入的，为免覆盖，新的文本已保存为“talk "
                "(2).txt”。"});
        return;
    }
    QCOMPARE(f.notices, QStringList {"文档保存失败：没有写入“talk.txt”的权限！\n为免丢失文档中的修改，转换没有开始。"});
    QCOMPARE(readFile(documentOf("talk.txt")), QByteArray("frist run\n"));
    QCOMPARE(f.window->wordTextEdit->toPlainText(), QString("first run, corrected\n"));
    QCOMPARE(f.window->taskFiles, QStringList {task});
    QCOMPARE(f.server.recognitionRequests().size(), 1);
}

// The list a run takes its tasks from cannot be cleared under it, so the end message is true.
void TestNothingLost::listKeptWhileRunning()
{
    Fixture f;
    f.server.recognitionReplies << ScriptedServer::silence();
    f.addTask(makeTask(f.media.path(), "b.wav", 16000));
    f.addTask(makeTask(f.media.path(), "a.wav", 16000));
    f.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(f.server.recognitionRequests().size(), 1, 30000);
    QVERIFY(!f.window->clearListBtn->isEnabled());
    f.window->slotOpenWav();
    QCOMPARE(f.window->taskFiles.size(), 2);
    f.server.answerHeld(text("a"));
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices, QStringList {"文件已经全部转换完成！"});
    QCOMPARE(readFile(documentOf("a.txt")), QByteArray("a\n"));
    QCOMPARE(f.window->taskFiles, QStringList());
    QVERIFY(QFile::exists(documentOf("b.txt")));
    QVERIFY(f.window->clearListBtn->isEnabled());
}

// "--convert APP TASK HOST": a window that converts TASK in the application folder APP against the
// scripted service at HOST, and runs until it is killed.
static int convertInWindow(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ConversionTest::Fixture f(QString::fromLocal8Bit(argv[2]));
    f.window->testSeams.serviceHost = QString::fromLocal8Bit(argv[4]);
    f.addTask(QString::fromLocal8Bit(argv[3]));
    f.window->slotBeginCover();
    return app.exec();
}

// Before any thread exists: a mount namespace cannot be entered by a threaded process.
static void enterPrivateMounts()
{
    privateMounts = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0
        && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

QUILLORA_TEST_MAIN(TestNothingLost, {{"--convert", 5, convertInWindow}}, enterPrivateMounts)
#include "tst_nothinglost.moc"
