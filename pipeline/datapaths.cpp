#include "pipeline/datapaths.h"

namespace DataPaths {

QString documents(const QString &dataDir)
{
    return dataDir + QStringLiteral("/myWordFiles");
}

QString recordings(const QString &dataDir)
{
    return dataDir + QStringLiteral("/myWAVFiles");
}

QString temporary(const QString &dataDir)
{
    return dataDir + QStringLiteral("/myTmpWAVFiles");
}

QString own(const QString &dataDir)
{
    return dataDir + QStringLiteral("/.quillora");
}

QString settings(const QString &dataDir)
{
    return own(dataDir) + QStringLiteral("/settings.ini");
}

QString progressRecords(const QString &dataDir)
{
    return own(dataDir) + QStringLiteral("/progress");
}

} // namespace DataPaths
