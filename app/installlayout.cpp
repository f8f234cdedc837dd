#include "app/installlayout.h"

#include "app/appstate.h"
#include "deploymentdefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTextCodec>

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillora"));
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLORA_APP_ID));
}

bool keepsFilesBeside(const QString &appDir, const QString &installPrefix, bool writable, bool buildFolder)
{
    const QString folder = QDir::cleanPath(appDir);
    const QString prefix = QDir::cleanPath(installPrefix);
    const bool installed = !prefix.isEmpty() && prefix != QLatin1String("/")
        && (folder == prefix || folder.startsWith(prefix + QLatin1Char('/')));
    return writable && (buildFolder || !installed);
}

QString dataDirFor(const QString &appDir)
{
    // access(2) as this user: a folder owned by root, or on a read-only file system, is not writable.
    // A build folder is where CMake configured it.
    const QString canonical = QFileInfo(appDir).canonicalFilePath();
    if (keepsFilesBeside(canonical.isEmpty() ? appDir : canonical,
            QFileInfo(QStringLiteral(QUILLORA_INSTALL_PREFIX)).canonicalFilePath(), QFileInfo(appDir).isWritable(),
            QFileInfo::exists(appDir + QStringLiteral("/CMakeCache.txt"))))
        return appDir;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void prepareCoreApplication()
{
    // Qt 5 reads every literal as UTF-8; the locale codec is the one left to install. On Linux it is
    // UTF-8 whatever LANG says, so Chinese text, documents and file names never turn into "?".
#ifdef Q_OS_WIN
    QTextCodec::setCodecForLocale(QTextCodec::codecForLocale());
#else
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
#endif
    nameApplication();
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLORA_VERSION));
    locateFolders();
}

void locateFolders()
{
    AppState::appDir = QCoreApplication::applicationDirPath().replace(QLatin1Char('\\'), QLatin1Char('/'));
    AppState::dataDir = dataDirFor(AppState::appDir);
}

QString makeDataDir(const QString &dataDir)
{
    if (!dataDir.isEmpty())
        QDir().mkpath(dataDir);
    const QFileInfo folder(dataDir);
    if (!dataDir.isEmpty() && folder.isDir() && folder.isWritable())
        return QString();
    return QCoreApplication::translate("InstallLayout", "无法创建或写入数据文件夹：%1").arg(dataDir);
}

QString speechServiceProgram(const QString &appDir)
{
    const QString beside = appDir + QStringLiteral("/quillora-speechd");
    const QString installed
        = QDir::cleanPath(appDir + QStringLiteral("/" QUILLORA_SPEECHD_FROM_BINDIR "/quillora-speechd"));
    if (!QFileInfo(beside).isExecutable() && QFileInfo(installed).isExecutable())
        return installed;
    return beside;
}
