#pragma once

#include <QByteArray>
#include <QtGlobal>

class QIODevice;

// The WAV layout the program reads and writes: 16 kHz mono 16-bit PCM, and the chunks ffmpeg puts
// before the samples. Pure functions over bytes.
namespace WavFormat {

// The 44-byte header of a file of dataBytes bytes of 16 kHz mono 16-bit samples.
QByteArray header(qint64 dataBytes);
// Those samples (an odd last byte dropped) as the bytes of a whole WAV file.
QByteArray ofPcm(const QByteArray &pcm);

// Where the samples of a RIFF/WAVE file begin: the chunks before them (fmt, an INFO list of any size)
// are walked from the start of the device, which is left at the first sample when the chunk is found.
struct DataChunk
{
    bool found = false;
    qint64 sizeAt = 0; // the chunk's size field
    qint64 start = 0; // the first sample
    quint32 size = 0; // as the field says: a placeholder while ffmpeg still writes the file
    int blockAlign = 1; // from the fmt chunk when it precedes the data
};
DataChunk findDataChunk(QIODevice *device);

} // namespace WavFormat
