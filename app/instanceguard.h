#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// One copy of the program per user: a lock file in the user's runtime folder. The lock names the
// process holding it, so a copy that crashed or was killed never blocks a later start, and each user
// has a lock of their own.

// Folder of the lock: the runtime folder when there is one, else the user's cache folder.
QString instanceLockFolder(const QString &runtimeFolder, const QString &cacheFolder);

// The lock file in the folder chosen for this user and process.
QString instanceLockPath();

// Makes the lock at instanceLockPath() and takes it. Returns an empty text when this process now holds it, otherwise
// the message to show: "程序已经启动！" when another copy of this user runs, "程序启动错误！" for any other failure.
QString acquireInstanceGuard(std::unique_ptr<QLockFile> &guard);
