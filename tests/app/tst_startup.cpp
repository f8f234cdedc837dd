#include <QProcess>
#include <QSharedMemory>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

// Starts the real program. A second copy must refuse to start while one runs, and a copy killed
// with SIGKILL must not block the next start.
class TestStartup : public QObject
{
    Q_OBJECT

    QString program() const { return QStringLiteral(QUILLORA_BINARY_DIR "/quillora"); }

    // Every copy finds its user's runtime folder under this temporary folder, as a machine without
    // $XDG_RUNTIME_DIR has them under /tmp, apart from the copies other tests run meanwhile.
    QTemporaryDir tmp;

    // asUser: a user id to run the copy as, with a home folder of its own; -1 for this test's user.
    void startCopy(QProcess &process, int asUser = -1)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QUILLORA_DISMISS_STARTUP_MESSAGE", "1");
        env.insert("TMPDIR", tmp.path());
        env.remove("XDG_RUNTIME_DIR");
        if (asUser >= 0) {
            const QString home = tmp.path() + QStringLiteral("/home-%1").arg(asUser);
            QVERIFY(
                QDir().mkpath(home) && ::chown(QFile::encodeName(home).constData(), uid_t(asUser), gid_t(asUser)) == 0);
            env.insert("HOME", home);
            env.remove("XDG_DATA_HOME");
            env.remove("XDG_CACHE_HOME");
            process.setProgram(QStandardPaths::findExecutable("setpriv"));
            process.setArguments({QStringLiteral("--reuid=%1").arg(asUser), QStringLiteral("--regid=%1").arg(asUser),
                "--clear-groups", program()});
        } else {
            process.setProgram(program());
        }
        process.setProcessEnvironment(env);
        process.start();
        QVERIFY(process.waitForStarted(10000));
    }

    // A copy that got the guard keeps running; one that did not prints its message and exits.
    void expectRefused(int asUser = -1)
    {
        QProcess second;
        startCopy(second, asUser);
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(second.readAllStandardOutput()).trimmed(), QStringLiteral("程序已经启动！"));
    }

    void expectKeepsRunning(QProcess &process, int asUser = -1)
    {
        startCopy(process, asUser);
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
        QVERIFY(tmp.isValid());
        QVERIFY(QFile::setPermissions(tmp.path(), QFileDevice::Permissions(0x7777)));
    }

    // Each user has a guard of their own: one user's running (or killed) copy never refuses another's.
    void anotherUserIsNotLockedOut()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("starting a copy as another user needs root and setpriv");
        const int nobody = 65534;
        QProcess first;
        expectKeepsRunning(first);
        QProcess other;
        expectKeepsRunning(other, nobody);
        expectRefused(nobody);
        first.kill();
        other.kill();
        QVERIFY(first.waitForFinished(10000) && other.waitForFinished(10000));
        QProcess again;
        expectKeepsRunning(again, nobody);
        again.kill();
        QVERIFY(again.waitForFinished(10000));
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
