#include "media/recordercommand.h"

#include "media/clocktext.h"

#include <QCoreApplication>

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

QStringList arguments(const CaptureDevices::Device &device, const QString &outputPath, bool flushEachPacket)
{
    QStringList output {QStringLiteral("-ar"), QStringLiteral("16000"), QStringLiteral("-ac"), QStringLiteral("1")};
    if (flushEachPacket)
        output << QStringLiteral("-flush_packets") << QStringLiteral("1");
    return CaptureDevices::inputArguments(device) + output + QStringList {outputPath};
}

EndCause endCause(const QString &ffmpegLog)
{
    if (ffmpegLog.contains(QLatin1String("No space left on device"))
        || ffmpegLog.contains(QLatin1String("Disk quota exceeded")))
        return EndCause::DiskFull;
    // ffmpeg describes its output once the input is open; without it the device never delivered.
    if (!ffmpegLog.contains(QLatin1String("Output #0")))
        return EndCause::DeviceUnavailable;
    return EndCause::DeviceLost;
}

QString endMessage(
    EndCause cause, const QString &folder, const QString &device, qint64 keptAudioBytes, const QString &fileName)
{
    QString text;
    switch (cause) {
    case EndCause::DiskFull:
        text = QCoreApplication::translate("RecorderCommand", "录音已停止：磁盘空间已满，无法继续写入文件夹“%1”。")
                   .arg(folder);
        break;
    case EndCause::DeviceLost:
        text = QCoreApplication::translate("RecorderCommand", "录音已停止：录音设备“%1”已断开或音频服务已停止。")
                   .arg(device);
        break;
    case EndCause::DeviceUnavailable:
        text = QCoreApplication::translate("RecorderCommand", "录音失败：无法打开录音设备“%1”。").arg(device);
        break;
    }
    // 16 kHz mono, 16 bits: 32000 bytes a second.
    const double seconds = keptAudioBytes / 32000.0;
    const QString length = seconds < 60
        ? QCoreApplication::translate("RecorderCommand", "%1 秒").arg(seconds, 0, 'f', 1)
        : ClockText::recordClock(qint64(seconds)) + QLatin1Char(' ');
    if (keptAudioBytes > 0)
        return text + QCoreApplication::translate("RecorderCommand", "已保存 %1的录音“%2”。").arg(length, fileName);
    return text + QCoreApplication::translate("RecorderCommand", "没有保存任何录音。");
}

} // namespace RecorderCommand
