#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// Preparing a task file for recognition: the ffmpeg argument lists, the probe's duration and the
// segment plan. Pure functions; the window's preparation slots call them.
namespace AudioPrep {

// Longest segment the service accepts, in hundredths of a second and in samples at 16 kHz.
constexpr int segmentCentis = 6000;
constexpr int segmentSeconds = 60;

// The path without the extension of its file name ("/a.b/c" stays "/a.b/c", not "/a").
QString basePath(const QString &taskPath);
// The run's transcoded file: in the temporary folder, under a name no segment takes, so that it can
// never be a file of the user's ("talk_16k.wav" beside "talk.mp3" may well be one).
QString transcodedPath(const QString &appDir);
// The same name in a run's own folder.
QString transcodedPathIn(const QString &folder);
// The suffix of the file name, lower case; empty when the name has no ".".
QString lowerSuffix(const QString &taskPath);
// Raw PCM tasks are probed and cut as they are.
bool skipsTranscode(const QString &taskPath);

// Segment k of the temporary folder: dataDir + "/myTmpWAVFiles/<k>.wav".
QString segmentPath(const QString &dataDir, int index);
// Segment k of a run's own folder: folder + "/<k>.wav".
QString segmentPathIn(const QString &folder, int index);

// k for a segment path ".../<k>.wav"; -1 for any other name.
int segmentIndexOf(const QString &segmentPath);

// ffmpeg's diagnostics say a write failed because the disk is full.
bool reportsFullDisk(const QByteArray &ffmpegErrors);

// Arguments after the program. A path that begins with "-" would be read as an option.
QStringList transcodeArguments(const QString &taskPath, const QString &outputPath);
QStringList probeArguments(const QString &taskPath);
// Re-encoding the cut (instead of copying packets) makes every segment exactly 60 s and the joined
// segments equal to the input sample for sample. The last one is bounded too: the probe truncates the
// duration to hundredths, and a tail of a few milliseconds past a whole minute must not push a segment
// over the 60 s a recognition request may carry.
QStringList cutArguments(const QString &inputPath, const QString &dataDir, int index);
// The same cut written to outputPath.
QStringList cutArgumentsTo(const QString &inputPath, const QString &outputPath, int index);
// One ffmpeg process cutting the transcoded file at cutsCentis (ascending) into folder/0.wav,
// folder/1.wav, ...: 100 ms packets put every cut (a multiple of 10) exactly on its sample, so the
// segments joined are the input byte for byte.
// firstIndex > 0: the segments before it exist already; the muxer begins at cut firstIndex - 1 and
// writes folder/<firstIndex>.wav, ...
// listed: the muxer also names each segment ("3.wav") on a line of its standard output once it has
// written it whole.
QStringList segmentMuxerArguments(const QString &inputPath, const QString &folder, const QVector<qint64> &cutsCentis,
    int firstIndex = 0, bool listed = false);

// A 44-byte header of a 16 kHz mono 16-bit PCM WAV holding dataBytes of samples.
QByteArray wavHeader(qint64 dataBytes);

// The duration line of the probe's whole output, in hundredths of a second; -1 when the output has no
// "Duration: HH:MM:SS[.ff]" line (a missing or unreadable file, or an unknown duration).
qint64 parseDurationCentis(const QString &probeOutput);

struct SegmentPlan
{
    bool copyWhole = false; // under 60 s: the file itself is the only segment
    int count = 0;
};
SegmentPlan planSegments(qint64 durationCentis);

// "33.3": a share in per cent with one decimal.
QString percentText(int done, int total);

} // namespace AudioPrep
