#include "pipeline/wavformat.h"

#include <QIODevice>
#include <QtEndian>

namespace WavFormat {

QByteArray header(qint64 dataBytes)
{
    QByteArray bytes;
    const auto put = [&bytes](quint32 value, int count) {
        for (int i = 0; i < count; ++i)
            bytes.append(char((value >> (8 * i)) & 0xff));
    };
    const quint32 rate = 16000;
    bytes.append("RIFF");
    put(quint32(36 + dataBytes), 4);
    bytes.append("WAVEfmt ");
    put(16, 4);
    put(1, 2); // PCM
    put(1, 2); // mono
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(16, 2);
    bytes.append("data");
    put(quint32(dataBytes), 4);
    return bytes;
}

QByteArray ofPcm(const QByteArray &pcm)
{
    const int size = pcm.size() & ~1;
    QByteArray wav;
    wav.reserve(44 + size);
    wav.append(header(size));
    wav.append(pcm.constData(), size);
    return wav;
}

DataChunk findDataChunk(QIODevice *device)
{
    DataChunk chunk;
    if (!device->seek(0))
        return chunk;
    const QByteArray riff = device->read(12);
    if (riff.size() != 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return chunk;
    for (;;) {
        const qint64 at = device->pos();
        const QByteArray head = device->read(8);
        if (head.size() != 8)
            return chunk;
        const quint32 size = qFromLittleEndian<quint32>(head.constData() + 4);
        if (head.startsWith("data")) {
            chunk.found = true;
            chunk.sizeAt = at + 4;
            chunk.start = at + 8;
            chunk.size = size;
            return chunk;
        }
        if (head.startsWith("fmt ")) {
            const QByteArray format = device->read(16);
            if (format.size() == 16)
                chunk.blockAlign = qMax(1, int(qFromLittleEndian<quint16>(format.constData() + 12)));
        }
        if (!device->seek(at + 8 + qint64(size) + qint64(size & 1)))
            return chunk;
    }
}

} // namespace WavFormat
