#include <QProcess>
#include <QSharedMemory>
#include <QtTest>

#include <csignal>

// Starts the real program. A second copy must refuse to start while one runs, and a copy killed
// with SIGKILL must not block the next start.
class TestStartup : public QObject
{
    Q_OBJECT

    QString program() const { return QStringLiteral(QUILLORA_BINARY_DIR "/quillora"); }

    void startCopy(QProcess &process)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QUILLORA_DISMISS_STARTUP_MESSAGE", "1");
        process.setProcessEnvironment(env);
        process.setProgram(program());
        process.start();
        QVERIFY(process.waitForStarted(10000));
    }

    // A copy that got the guard keeps running; one that did not prints its message and exits.
    void expectRefused()
    {
        QProcess second;
        startCopy(second);
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(second.readAllStandardOutput()).trimmed(), QStringLiteral("程序已经启动！"));
    }

    void expectKeepsRunning(QProcess &process)
    {
        startCopy(process);
        QVERIFY2(!process.waitForFinished(3000), "a copy that should hold the guard exited");
    }

    static void removeOrphanGuard()
    {
        QSharedMemory probe(QStringLiteral("KestrelOpened"));
        if (probe.attach())
            probe.detach();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(program()), "build the quillora executable first");
        removeOrphanGuard();
    }

    void secondCopyRefusedThenCrashRecovered()
    {
        QProcess first;
        expectKeepsRunning(first);
        expectRefused();

        first.kill(); // SIGKILL: no destructor runs, the segment is left behind
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::CrashExit);

        QProcess after;
        expectKeepsRunning(after);
        expectRefused();
        after.kill();
        QVERIFY(after.waitForFinished(10000));
    }

    void endSignalsCloseTheWindow_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    // Told to end, the program closes as its close button does (which removes a left-over test
    // recording) and exits normally.
    void endSignalsCloseTheWindow()
    {
        QFETCH(int, signalNumber);
        const QString leftover = QStringLiteral(QUILLORA_BINARY_DIR "/recordTest.wav");
        QFile file(leftover);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QProcess copy;
        expectKeepsRunning(copy);
        ::kill(pid_t(copy.processId()), signalNumber);
        QVERIFY(copy.waitForFinished(10000));
        QCOMPARE(copy.exitStatus(), QProcess::NormalExit);
        QCOMPARE(copy.exitCode(), 0);
        QVERIFY(!QFile::exists(leftover));
    }

    void cleanupTestCase() { removeOrphanGuard(); }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
