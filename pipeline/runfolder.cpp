#include "pipeline/runfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString runPrefix = QStringLiteral("run-");
// A folder being made: locked under this name first, then renamed, so no run folder is ever unlocked.
const QString newPrefix = QStringLiteral(".new-");
const char *const lockName = "/owner.lock";

int openLock(const QString &folder, int flags)
{
    return ::open(QFile::encodeName(folder + QLatin1String(lockName)).constData(), flags | O_CLOEXEC, 0600);
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// The pid in ".new-<pid>-XXXXXX"; -1 for any other name.
qint64 makerPid(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.new-(\\d+)-"));
    const QRegularExpressionMatch match = pattern.match(name);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace

RunFolder::RunFolder(const QString &tmpFolder)
{
    QDir().mkpath(tmpFolder);
    const QString pid = QString::number(QCoreApplication::applicationPid());
    QTemporaryDir made(tmpFolder + QLatin1Char('/') + newPrefix + pid + QStringLiteral("-XXXXXX"));
    if (!made.isValid())
        return;
    const int fd = openLock(made.path(), O_RDWR | O_CREAT);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    const QString name = QFileInfo(made.path()).fileName().mid(newPrefix.size());
    const QString path = tmpFolder + QLatin1Char('/') + runPrefix + name;
    if (!QDir().rename(made.path(), path)) {
        ::close(fd);
        return;
    }
    made.setAutoRemove(false);
    folder = path;
    lockFd = fd;
}

RunFolder::~RunFolder()
{
    if (!folder.isEmpty())
        QDir(folder).removeRecursively();
    if (lockFd >= 0)
        ::close(lockFd);
}

void RunFolder::clear()
{
    QDir dir(folder);
    for (const QFileInfo &entry : dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else if (QLatin1Char('/') + entry.fileName() != QLatin1String(lockName))
            dir.remove(entry.fileName());
    }
}

bool RunFolder::ownedByLivingRun(const QString &folder)
{
    const int fd = openLock(folder, O_RDONLY);
    if (fd < 0)
        return false; // made by no run of ours, or its lock is gone: nobody can own it
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

void RunFolder::clearAbandoned(const QString &tmpFolder)
{
    QDir tmp(tmpFolder);
    const auto entries
        = tmp.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (!entry.isDir() || entry.isSymLink()) {
            tmp.remove(name);
        } else if (name.startsWith(runPrefix)) {
            if (!ownedByLivingRun(entry.filePath()))
                QDir(entry.filePath()).removeRecursively();
        } else if (name.startsWith(newPrefix) && !processAlive(makerPid(name))) {
            QDir(entry.filePath()).removeRecursively();
        }
    }
}
