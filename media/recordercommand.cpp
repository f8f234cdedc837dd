#include "media/recordercommand.h"

namespace RecorderCommand {

QString recordingFilePath(const QString &dataDir, const QDateTime &start)
{
    return dataDir + QStringLiteral("/myWAVFiles/") + start.toString(QStringLiteral("yyMMdd_hhmmss"))
        + QStringLiteral(".wav");
}

CaptureDevices::Device deviceNamed(const QString &name, const QStringList &listedNames, const QStringList &listedRealms)
{
    const int index = listedNames.indexOf(name);
    if (index >= 0 && index < listedRealms.size())
        return {name, listedRealms.at(index)};
    return {name, CaptureDevices::fallbackRealm()};
}

QStringList arguments(const CaptureDevices::Device &device, const QString &outputPath)
{
    return CaptureDevices::inputArguments(device)
        + QStringList {
            QStringLiteral("-ar"), QStringLiteral("16000"), QStringLiteral("-ac"), QStringLiteral("1"), outputPath};
}

} // namespace RecorderCommand
