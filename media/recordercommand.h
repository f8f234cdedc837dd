#pragma once

#include "platform/capturedevices.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// What the recorder hands to ffmpeg and where the recording goes.
namespace RecorderCommand {

// dataDir/myWAVFiles/yyMMdd_hhmmss.wav, named by the local start time.
QString recordingFilePath(const QString &dataDir, const QDateTime &start);

// The device the selector's entry stands for: the listed realm of that name, or the platform's
// fallback realm for a name that was never listed.
CaptureDevices::Device deviceNamed(
    const QString &name, const QStringList &listedNames, const QStringList &listedRealms);

// ffmpeg's arguments: capture input, 16 kHz mono, the output path. No -nostdin: "q" on standard
// input is how the recording is ended. flushEachPacket puts every packet in the file as it comes, for
// a reader following the growing file; the samples are the same.
QStringList arguments(const CaptureDevices::Device &device, const QString &outputPath, bool flushEachPacket = false);

// Why a recording's ffmpeg ended before it was asked to, read from what it printed.
enum class EndCause { DiskFull, DeviceLost, DeviceUnavailable };
EndCause endCause(const QString &ffmpegLog);

// The message for a recording that ended on its own: the cause, then how much was kept (keptSeconds
// of audio in file fileName) or that nothing was.
QString endMessage(
    EndCause cause, const QString &folder, const QString &device, qint64 keptAudioBytes, const QString &fileName);

} // namespace RecorderCommand
