#include "media/wavheader.h"

#include <QFile>
#include <QtEndian>

namespace WavHeader {

namespace {

quint32 le32(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

bool writeLe32(QFile &file, qint64 at, quint32 value)
{
    uchar bytes[4];
    qToLittleEndian(value, bytes);
    return file.seek(at) && file.write(reinterpret_cast<const char *>(bytes), 4) == 4;
}

} // namespace

qint64 repair(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return -1;
    const qint64 size = file.size();
    // ffmpeg puts fmt and an INFO list before the data; a few kilobytes hold any header it writes.
    const QByteArray head = file.read(4096);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return -1;
    int blockAlign = 1;
    int at = 12;
    while (at + 8 <= head.size()) {
        const QByteArray id = head.mid(at, 4);
        const quint32 chunkSize = le32(head, at + 4);
        if (id == "fmt " && at + 22 <= head.size())
            blockAlign = qMax(1, int(qFromLittleEndian<quint16>(head.constData() + at + 20)));
        if (id == "data") {
            const qint64 dataStart = at + 8;
            const qint64 audio = (size - dataStart) / blockAlign * blockAlign;
            const quint32 riffSize = quint32(qMin<qint64>(dataStart + audio - 8, 0xffffffffLL));
            const quint32 dataSize = quint32(qMin<qint64>(audio, 0xffffffffLL));
            if (le32(head, 4) != riffSize && !writeLe32(file, 4, riffSize))
                return -1;
            if (chunkSize != dataSize && !writeLe32(file, at + 4, dataSize))
                return -1;
            return audio;
        }
        if (chunkSize > quint32(head.size()))
            break;
        at += 8 + int(chunkSize) + int(chunkSize & 1);
    }
    return -1;
}

} // namespace WavHeader
