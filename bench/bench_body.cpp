// Time to build the recognition request body for a full 60-second segment (16 kHz mono 16-bit WAV).
#include "pipeline/speechprotocol.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("segment.wav"));
    {
        const quint32 samples = 60 * 16000;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QDataStream out(&file);
        out.setByteOrder(QDataStream::LittleEndian);
        out.writeRawData("RIFF", 4);
        out << quint32(36 + 2 * samples);
        out.writeRawData("WAVEfmt ", 8);
        out << quint32(16) << quint16(1) << quint16(1) << quint32(16000) << quint32(32000) << quint16(2) << quint16(16);
        out.writeRawData("data", 4);
        out << quint32(2 * samples);
        for (quint32 i = 0; i < samples; ++i)
            out << qint16(8000 * std::sin(i * 0.05) + (i * 7919 % 2001) - 1000);
    }

    std::vector<double> ms;
    qsizetype bodySize = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QByteArray body = SpeechProtocol::buildRecognitionBody(
            path, QStringLiteral("0123456789abcdef"), QStringLiteral("00-11-22-33-44-55"), QStringLiteral("英文"));
        ms.push_back(timer.nsecsElapsed() / 1e6);
        bodySize = body.size();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("body building, 60 s segment (%lld bytes of WAV, %lld bytes of body), %d runs: median %.2f ms, "
                "max %.2f ms\n",
        static_cast<long long>(QFile(path).size()), static_cast<long long>(bodySize), runs, ms[ms.size() / 2],
        ms.back());
    return 0;
}
