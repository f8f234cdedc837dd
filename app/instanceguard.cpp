#include "app/instanceguard.h"

#include <QSharedMemory>

QString acquireInstanceGuard(QSharedMemory &guard)
{
    {
        // Attaching and detaching removes a segment nobody holds any more (its owner was killed);
        // a live owner stays attached, so its segment survives.
        QSharedMemory probe(guard.key());
        if (probe.attach())
            probe.detach();
    }
    if (guard.create(1, QSharedMemory::ReadWrite))
        return QString();
    if (guard.error() == QSharedMemory::AlreadyExists)
        return QStringLiteral("程序已经启动！");
    return QStringLiteral("程序启动错误！");
}
