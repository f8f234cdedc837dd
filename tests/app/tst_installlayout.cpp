#include "app/appstate.h"
#include "app/deployment.h"
#include "app/installlayout.h"
#include "common/speechtestutil.h"
#include "pipeline/localspeechservice.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

const QFileDevice::Permissions everyoneReadsAndRuns = QFileDevice::ReadOwner | QFileDevice::WriteOwner
    | QFileDevice::ExeOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
    | QFileDevice::ExeOther;
const QFileDevice::Permissions everyoneWrites
    = everyoneReadsAndRuns | QFileDevice::WriteGroup | QFileDevice::WriteOther;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

// Where an installed or portable copy keeps the user's files, finds its speech service and reads its
// deployment, on real folders.
class TestInstallLayout : public QObject
{
    Q_OBJECT

private slots:
    void keepsFilesBeside_data();
    void keepsFilesBeside();
    void dataFolderRule_data();
    void dataFolderRule();
    void makeDataDir_data();
    void makeDataDir();
    void installedServiceStarts();
    void deploymentFile_data();
    void deploymentFile();
    void caFile_data();
    void caFile();
};

void TestInstallLayout::keepsFilesBeside_data()
{
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("buildFolder");
    QTest::addColumn<bool>("beside");
    QTest::newRow("installed, run as root") << "/usr/bin"
                                            << "/usr" << true << false << false;
    QTest::newRow("installed, ordinary user") << "/usr/bin"
                                              << "/usr" << false << false << false;
    QTest::newRow("installed helper folder") << "/usr/libexec/quillora"
                                             << "/usr" << true << false << false;
    QTest::newRow("prefix given with a slash") << "/opt/q/bin"
                                               << "/opt/q/" << true << false << false;
    QTest::newRow("portable copy") << "/opt/quillora"
                                   << "/usr" << true << false << true;
    QTest::newRow("portable copy, read-only") << "/opt/quillora"
                                              << "/usr" << false << false << false;
    QTest::newRow("a sibling of the prefix") << "/usr2/bin"
                                             << "/usr" << true << false << true;
    QTest::newRow("build folder") << "/home/u/quillora/build"
                                  << "/usr" << true << true << true;
    QTest::newRow("build folder under the prefix") << "/usr/src/quillora/build"
                                                   << "/usr" << true << true << true;
    QTest::newRow("build folder, read-only") << "/home/u/quillora/build"
                                             << "/usr" << false << true << false;
    QTest::newRow("prefix /: only the other facts count") << "/bin"
                                                          << "/" << true << false << true;
}

void TestInstallLayout::keepsFilesBeside()
{
    QFETCH(QString, appDir);
    QFETCH(QString, prefix);
    QFETCH(bool, writable);
    QFETCH(bool, buildFolder);
    QFETCH(bool, beside);
    QCOMPARE(::keepsFilesBeside(appDir, prefix, writable, buildFolder), beside);
}

void TestInstallLayout::dataFolderRule_data()
{
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<bool>("beside");
    QTest::newRow("executable folder writable: beside it") << true << true;
    QTest::newRow("executable folder read-only: user data folder") << false << false;
}

// The probe runs the start-up rule on a copy of itself. Root may write anywhere, so as root the copy
// runs as the unprivileged user nobody, to whom a root-owned 0755 folder is really read-only.
void TestInstallLayout::dataFolderRule()
{
    QFETCH(bool, folderWritable);
    QFETCH(bool, beside);
    const bool asRoot = geteuid() == 0;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (asRoot && setpriv.isEmpty())
        QSKIP("running as root without setpriv to drop to an unprivileged user");

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QFile::setPermissions(root.path(), everyoneReadsAndRuns));
    const QString folder = root.filePath(QStringLiteral("copy"));
    const QString home = root.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(home));
    const QString probe = folder + QStringLiteral("/datadirprobe");
    QVERIFY(QFile::copy(QStringLiteral(DATADIR_PROBE), probe));
    QVERIFY(QFile::setPermissions(probe, everyoneReadsAndRuns));
    QVERIFY(QFile::setPermissions(folder, folderWritable ? everyoneWrites : everyoneReadsAndRuns));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    process.setProcessEnvironment(env);
    if (asRoot)
        process.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", probe});
    else
        process.start(probe, QStringList());
    QVERIFY(process.waitForFinished(10000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    const QString dataDir = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    QCOMPARE(dataDir, beside ? folder : home + QStringLiteral("/.local/share/Quillora"));
}

void TestInstallLayout::makeDataDir_data()
{
    QTest::addColumn<QString>("dataDir"); // under a fresh temporary folder
    QTest::addColumn<QString>("fileInTheWay"); // relative to the same folder; empty for none
    QTest::addColumn<bool>("made");
    QTest::newRow("missing with its parents") << "home/.local/share/Quillora"
                                              << "" << true;
    QTest::newRow("already there") << "."
                                   << "" << true;
    QTest::newRow("a file where the folder goes") << "share/Quillora"
                                                  << "share/Quillora" << false;
    QTest::newRow("a file where a parent goes") << "home/.local/share/Quillora"
                                                << "home/.local" << false;
}

void TestInstallLayout::makeDataDir()
{
    QFETCH(QString, dataDir);
    QFETCH(QString, fileInTheWay);
    QFETCH(bool, made);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    if (!fileInTheWay.isEmpty())
        QVERIFY(writeFile(root.filePath(fileInTheWay), "not a folder"));
    const QString path = QDir::cleanPath(root.filePath(dataDir));

    const QString message = ::makeDataDir(path);
    if (made) {
        QCOMPARE(message, QString());
        QVERIFY(QFileInfo(path).isDir());
    } else {
        QVERIFY2(message.endsWith(path), qUtf8Printable(message)); // the user is told which folder
        QVERIFY(QFileInfo(root.filePath(fileInTheWay)).isFile()); // and nothing of theirs was removed
    }
}

// An installed copy (bin/ beside libexec/quillora/) starts the service from the helper folder.
void TestInstallLayout::installedServiceStarts()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("bin"))));
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("libexec/quillora"))));
    QVERIFY(QFile::link(QStringLiteral(QUILLORA_BINARY_DIR "/quillora-speechd"),
        root.filePath(QStringLiteral("libexec/quillora/quillora-speechd"))));
    AppState::appDir = root.filePath(QStringLiteral("bin"));

    const QString host = QStringLiteral("127.0.0.1:%1").arg(SpeechTestUtil::freeLoopbackPort());
    DeploymentConfig config = defaultDeploymentConfig();
    config.tokenHost = host;
    config.apiHost = host;
    LocalSpeechService service(config);
    QSignalSpy ready(&service, &LocalSpeechService::ready);
    service.ensureRunning();
    QVERIFY(ready.wait(30000));
    QCOMPARE(ready.first().first().toBool(), true);
    QVERIFY(service.ownsRunningChild());
}

void TestInstallLayout::deploymentFile_data()
{
    // Contents of the file beside the executable and of the system's: "-" none, "/" a folder in its place.
    QTest::addColumn<QByteArray>("beside");
    QTest::addColumn<QByteArray>("system");
    QTest::addColumn<QString>("apiHost");
    QTest::addColumn<QString>("problemFile"); // "beside", "system" or empty
    const QByteArray defaults = defaultDeploymentConfig().apiHost.toUtf8();
    const QByteArray system("[service]\napi_host=system.example:81\n");
    QTest::newRow("neither") << QByteArray("-") << QByteArray("-") << QString(defaults) << "";
    QTest::newRow("system only") << QByteArray("-") << system << "system.example:81"
                                 << "";
    QTest::newRow("beside first") << QByteArray("[service]\napi_host=beside.example:82\n") << system
                                  << "beside.example:82"
                                  << "";
    QTest::newRow("beside unreadable") << QByteArray("/") << system << QString(defaults) << "beside";
    QTest::newRow("beside not INI") << QByteArray("[service\napi_host=x:1\n") << system << QString(defaults)
                                    << "beside";
    QTest::newRow("system port out of range")
        << QByteArray("-") << QByteArray("[service]\napi_host=h:99999\n") << QString(defaults) << "system";
    QTest::newRow("system token host with a path")
        << QByteArray("-") << QByteArray("[service]\ntoken_host=h:80/oauth\n") << QString(defaults) << "system";
    QTest::newRow("beside https") << QByteArray("[service]\napi_host=https://secure.example:8443\n") << system
                                  << "https://secure.example:8443"
                                  << "";
    QTest::newRow("system scheme other than http")
        << QByteArray("-") << QByteArray("[service]\napi_host=ftp://h:21\n") << QString(defaults) << "system";
    QTest::newRow("beside https with a path")
        << QByteArray("[service]\ntoken_host=https://h/oauth\n") << system << QString(defaults) << "beside";
}

void TestInstallLayout::deploymentFile()
{
    QFETCH(QByteArray, beside);
    QFETCH(QByteArray, system);
    QFETCH(QString, apiHost);
    QFETCH(QString, problemFile);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QStringList files {
        root.filePath(QStringLiteral("bin/quillora.ini")), root.filePath(QStringLiteral("etc/quillora/quillora.ini"))};
    const QByteArray contents[] = {beside, system};
    for (int i = 0; i < 2; ++i) {
        if (contents[i] == "/")
            QVERIFY(QDir().mkpath(files.at(i)));
        else if (contents[i] != "-")
            QVERIFY(writeFile(files.at(i), contents[i]));
    }

    QString problem;
    const DeploymentConfig config = loadFirstDeploymentConfig(files, &problem);
    QCOMPARE(config.apiHost, apiHost);
    if (problemFile.isEmpty()) {
        QCOMPARE(problem, QString());
    } else {
        QVERIFY2(problem.startsWith(files.at(problemFile == "beside" ? 0 : 1)), qUtf8Printable(problem));
        QVERIFY(!problem.contains(QLatin1Char('\n')));
        QCOMPARE(config.tokenHost, defaultDeploymentConfig().tokenHost); // nothing half-read
    }
}

void TestInstallLayout::caFile_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("caFile"); // "<folder>" stands for the deployment file's folder
    QTest::newRow("none") << QByteArray() << QString();
    QTest::newRow("relative path") << QByteArray("ca_file=certs/../tls/ca.pem") << "<folder>/tls/ca.pem";
    QTest::newRow("absolute path") << QByteArray("ca_file=/etc/quillora/ca.pem") << "/etc/quillora/ca.pem";
}

void TestInstallLayout::caFile()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, caFile);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString ini = root.filePath(QStringLiteral("quillora.ini"));
    QVERIFY(writeFile(ini, "[service]\napi_host=https://h:8443\n" + line + "\n"));
    QString problem;
    const DeploymentConfig config = loadFirstDeploymentConfig({ini}, &problem);
    QCOMPARE(problem, QString());
    QCOMPARE(config.caFile, QString(caFile).replace(QStringLiteral("<folder>"), root.path()));
}

QTEST_GUILESS_MAIN(TestInstallLayout)
#include "tst_installlayout.moc"
