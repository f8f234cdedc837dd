#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Real audio files for the media tests, made and measured with ffmpeg.
namespace AudioFiles {

// A 16 kHz mono sine tone of the given length.
bool makeTone(const QString &path, double seconds, int frequencyHz = 440);

// Each word spoken by espeak-ng, padded with silence to secondsEach, one after another: word i begins
// at i * secondsEach.
bool makeSpokenWords(const QString &path, const QStringList &words, double secondsEach);

struct Facts
{
    int sampleRate = 0;
    int channels = 0;
    double seconds = -1;
    double meanVolumeDb = -1000; // ffmpeg's volumedetect; -91 dB is digital silence
};

Facts measure(const QString &path);

// The RIFF size and the data chunk's size of a WAV file agree with the file's length (the data
// chunk last, as ffmpeg writes it); the audio bytes in *audioBytes.
bool headerSizesRight(const QString &path, qint64 *audioBytes = nullptr);

} // namespace AudioFiles
