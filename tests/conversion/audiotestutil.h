#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Audio for the conversion tests, made and read with the real ffmpeg; widget-free.
namespace ConversionTest {

// Runs ffmpeg to completion (tests may block); false when it failed.
bool runFfmpeg(const QStringList &arguments);
// A 16 kHz mono 16-bit WAV of exactly `samples` samples of noise, so every sample differs.
bool makeNoiseWav(const QString &path, qint64 samples);
// The PCM bytes of a WAV's data chunk (the header's chunks walked, not assumed 44 bytes long).
QByteArray wavData(const QString &path);

// The audio a recognition request carried: the data chunk of its Base64 WAV, unpacked in scratchFolder.
QByteArray requestAudio(const QByteArray &body, const QString &scratchFolder);

} // namespace ConversionTest
