#include "library/atomicfile.h"

#include <QSaveFile>

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

} // namespace AtomicFile
