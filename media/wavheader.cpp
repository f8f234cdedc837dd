#include "media/wavheader.h"

#include "pipeline/wavformat.h"

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
    const WavFormat::DataChunk data = WavFormat::findDataChunk(&file);
    if (!data.found)
        return -1;
    const qint64 audio = (size - data.start) / data.blockAlign * data.blockAlign;
    const quint32 riffSize = quint32(qMin<qint64>(data.start + audio - 8, 0xffffffffLL));
    const quint32 dataSize = quint32(qMin<qint64>(audio, 0xffffffffLL));
    file.seek(4);
    const QByteArray riffField = file.read(4);
    if ((riffField.size() != 4 || le32(riffField, 0) != riffSize) && !writeLe32(file, 4, riffSize))
        return -1;
    if (data.size != dataSize && !writeLe32(file, data.sizeAt, dataSize))
        return -1;
    return audio;
}

} // namespace WavHeader
