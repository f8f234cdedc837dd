#include "pipeline/audioprep.h"

#include "pipeline/wavformat.h"

#include <QRegularExpression>

#include <algorithm>

namespace AudioPrep {

namespace {

int fileNameStart(const QString &path)
{
    return path.lastIndexOf(QLatin1Char('/')) + 1;
}

QString safeArgument(const QString &path)
{
    return path.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + path : path;
}

} // namespace

QString basePath(const QString &taskPath)
{
    const int dot = taskPath.lastIndexOf(QLatin1Char('.'));
    return dot < fileNameStart(taskPath) ? taskPath : taskPath.left(dot);
}

QString transcodedPath(const QString &appDir)
{
    return transcodedPathIn(appDir + QStringLiteral("/myTmpWAVFiles"));
}

QString transcodedPathIn(const QString &folder)
{
    return folder + QStringLiteral("/source_16k.wav");
}

QString lowerSuffix(const QString &taskPath)
{
    const int dot = taskPath.lastIndexOf(QLatin1Char('.'));
    return dot < fileNameStart(taskPath) ? QString() : taskPath.mid(dot + 1).toLower();
}

bool skipsTranscode(const QString &taskPath)
{
    return lowerSuffix(taskPath) == QLatin1String("pcm");
}

QString segmentPath(const QString &dataDir, int index)
{
    return segmentPathIn(dataDir + QStringLiteral("/myTmpWAVFiles"), index);
}

QString segmentPathIn(const QString &folder, int index)
{
    return folder + QStringLiteral("/%1.wav").arg(index);
}

int segmentIndexOf(const QString &segmentPath)
{
    bool ok = false;
    const int index = segmentPath.mid(fileNameStart(segmentPath)).section(QLatin1Char('.'), 0, 0).toInt(&ok);
    return ok ? index : -1;
}

bool reportsFullDisk(const QByteArray &ffmpegErrors)
{
    return ffmpegErrors.contains("No space left on device");
}

QStringList transcodeArguments(const QString &taskPath, const QString &outputPath)
{
    return {QStringLiteral("-nostdin"), QStringLiteral("-y"), QStringLiteral("-i"), safeArgument(taskPath),
        QStringLiteral("-acodec"), QStringLiteral("pcm_s16le"), QStringLiteral("-ac"), QStringLiteral("1"),
        QStringLiteral("-ar"), QStringLiteral("16000"), safeArgument(outputPath)};
}

QStringList probeArguments(const QString &taskPath)
{
    return {QStringLiteral("-nostdin"), QStringLiteral("-i"), safeArgument(taskPath)};
}

QStringList cutArguments(const QString &inputPath, const QString &dataDir, int index)
{
    return cutArgumentsTo(inputPath, segmentPath(dataDir, index), index);
}

QStringList cutArgumentsTo(const QString &inputPath, const QString &outputPath, int index)
{
    // Seeking before the input is cheaper for late segments; decoding keeps the start exact.
    return {QStringLiteral("-nostdin"), QStringLiteral("-ss"), QString::number(index * segmentSeconds),
        QStringLiteral("-i"), safeArgument(inputPath), QStringLiteral("-acodec"), QStringLiteral("pcm_s16le"),
        QStringLiteral("-t"), QString::number(segmentSeconds), safeArgument(outputPath)};
}

QStringList segmentMuxerArguments(
    const QString &inputPath, const QString &folder, const QVector<qint64> &cutsCentis, int firstIndex, bool listed)
{
    const qint64 startCentis = firstIndex > 0 ? cutsCentis.value(firstIndex - 1) : 0;
    QStringList times;
    for (int k = std::max(0, firstIndex); k < cutsCentis.size(); ++k) {
        const qint64 cut = cutsCentis.at(k) - startCentis;
        times << QStringLiteral("%1.%2").arg(cut / 100).arg(cut % 100, 2, 10, QLatin1Char('0'));
    }
    // Trimmed by samples, not seeked by time, so the first segment written starts exactly at its cut.
    QString filters = QStringLiteral("asetnsamples=n=1600");
    if (firstIndex > 0)
        filters.prepend(QStringLiteral("atrim=start_sample=%1,asetpts=PTS-STARTPTS,").arg(startCentis * 160));
    QStringList arguments = {QStringLiteral("-nostdin"), QStringLiteral("-y"), QStringLiteral("-i"),
        safeArgument(inputPath), QStringLiteral("-af"), filters, QStringLiteral("-acodec"), QStringLiteral("pcm_s16le"),
        QStringLiteral("-f"), QStringLiteral("segment")};
    // Without a cut the muxer would still cut, every 2 s by default.
    if (times.isEmpty())
        arguments << QStringLiteral("-segment_time") << QStringLiteral("86400");
    else
        arguments << QStringLiteral("-segment_times") << times.join(QLatin1Char(','));
    if (firstIndex > 0)
        arguments << QStringLiteral("-segment_start_number") << QString::number(firstIndex);
    if (listed)
        arguments << QStringLiteral("-segment_list") << QStringLiteral("pipe:1") << QStringLiteral("-segment_list_type")
                  << QStringLiteral("flat");
    arguments << QStringLiteral("-reset_timestamps") << QStringLiteral("1")
              << safeArgument(folder + QStringLiteral("/%d.wav"));
    return arguments;
}

QByteArray wavHeader(qint64 dataBytes)
{
    return WavFormat::header(dataBytes);
}

qint64 parseDurationCentis(const QString &probeOutput)
{
    static const QRegularExpression durationLine(
        QStringLiteral("Duration:\\s*(\\d+):(\\d{1,2}):(\\d{1,2})(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = durationLine.match(probeOutput);
    if (!match.hasMatch())
        return -1;
    const qint64 hours = match.captured(1).toLongLong();
    const qint64 minutes = match.captured(2).toLongLong();
    const qint64 seconds = match.captured(3).toLongLong();
    // Hundredths as printed; a longer fraction is cut, a single digit means tenths.
    const QString fraction = (match.captured(4) + QStringLiteral("00")).left(2);
    return ((hours * 60 + minutes) * 60 + seconds) * 100 + fraction.toLongLong();
}

SegmentPlan planSegments(qint64 durationCentis)
{
    SegmentPlan plan;
    if (durationCentis < segmentCentis) {
        plan.copyWhole = true;
        plan.count = 1;
        return plan;
    }
    plan.count = int((durationCentis + segmentCentis - 1) / segmentCentis);
    return plan;
}

QString percentText(int done, int total)
{
    return QString::number(total > 0 ? done * 100.0 / total : 0.0, 'f', 1);
}

} // namespace AudioPrep
