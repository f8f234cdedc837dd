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

QString settings(const QString &dataDir)
{
    return dataDir + QStringLiteral("/.quillora/settings.ini");
}

QString progressRecords(const QString &dataDir)
{
    return dataDir + QStringLiteral("/.quillora/progress");
}

} // namespace DataPaths
