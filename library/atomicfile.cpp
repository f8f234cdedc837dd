#include "library/atomicfile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace AtomicFile {

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (ok)
        ok = file.write(bytes) == bytes.size() && file.commit();
    if (!ok) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
    }
    return ok;
}

Failure failureOf(const QString &path, const QString &error)
{
    // QSaveFile keeps no error number; its text is the system's own for that number, or its own
    // words for a file it may not replace.
    for (int number : {ENOSPC, EDQUOT}) {
        if (error == qt_error_string(number))
            return Failure::DiskFull;
    }
    const QFileInfo file(path);
    if ((file.exists() && !file.isWritable()) || !QFileInfo(file.absolutePath()).isWritable())
        return Failure::Permission;
    for (int number : {EACCES, EPERM, EROFS}) {
        if (error == qt_error_string(number))
            return Failure::Permission;
    }
    return Failure::Other;
}

} // namespace AtomicFile
