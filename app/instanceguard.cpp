#include "app/instanceguard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString instanceLockFolder(const QString &runtimeFolder, const QString &cacheFolder)
{
    // Qt gives no runtime folder when $XDG_RUNTIME_DIR belongs to someone else.
    return runtimeFolder.isEmpty() ? cacheFolder : runtimeFolder;
}

QString instanceLockPath()
{
    const QString folder = instanceLockFolder(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
    return folder + QStringLiteral("/KestrelOpened.lock");
}

QString acquireInstanceGuard(std::unique_ptr<QLockFile> &guard)
{
    const QString path = instanceLockPath();
    QDir().mkpath(QFileInfo(path).path());
    guard = std::make_unique<QLockFile>(path);
    // Only a holder that no longer runs makes the lock stale, however long a live copy has held it.
    guard->setStaleLockTime(0);
    if (guard->tryLock(0))
        return QString();
    if (guard->error() == QLockFile::LockFailedError)
        return QCoreApplication::translate("InstanceGuard", "程序已经启动！");
    return QCoreApplication::translate("InstanceGuard", "程序启动错误！");
}
