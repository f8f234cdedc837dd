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
// input is how the recording is ended.
QStringList arguments(const CaptureDevices::Device &device, const QString &outputPath);

} // namespace RecorderCommand
