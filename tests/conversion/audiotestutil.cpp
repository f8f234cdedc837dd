#include "audiotestutil.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>

namespace ConversionTest {

bool runFfmpeg(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("ffmpeg"), QStringList {"-nostdin", "-loglevel", "error", "-y"} + arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool makeNoiseWav(const QString &path, qint64 samples)
{
    return runFfmpeg({"-f", "lavfi", "-i", "anoisesrc=sample_rate=16000:amplitude=0.3:seed=7", "-af",
        QStringLiteral("atrim=end_sample=%1").arg(samples), "-ac", "1", "-acodec", "pcm_s16le", path});
}

QByteArray wavData(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray all = file.readAll();
    if (all.size() < 12 || !all.startsWith("RIFF") || all.mid(8, 4) != "WAVE")
        return QByteArray();
    int pos = 12;
    while (pos + 8 <= all.size()) {
        const QByteArray id = all.mid(pos, 4);
        const quint32 size = qFromLittleEndian<quint32>(all.constData() + pos + 4);
        if (id == "data") {
            // A stream-written header may leave the size unset: the data runs to the end.
            if (size == 0 || size == 0xFFFFFFFFu || pos + 8 + qint64(size) > all.size())
                return all.mid(pos + 8);
            return all.mid(pos + 8, int(size));
        }
        pos += 8 + int(size) + int(size & 1);
    }
    return QByteArray();
}

QByteArray requestAudio(const QByteArray &body, const QString &scratchFolder)
{
    const QByteArray marker = "\"speech\" : \"";
    const int start = body.indexOf(marker) + marker.size();
    const QByteArray wav = QByteArray::fromBase64(body.mid(start, body.indexOf('"', start) - start));
    QFile file(scratchFolder + QStringLiteral("/request.wav"));
    if (!file.open(QIODevice::WriteOnly) || file.write(wav) != wav.size())
        return QByteArray();
    file.close();
    return wavData(file.fileName());
}

} // namespace ConversionTest
