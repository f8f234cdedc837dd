#include "pipeline/cutplan.h"

#include "pipeline/wavformat.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>

namespace CutPlan {

namespace {

// Mean square of a window at or below this is near digital silence (an RMS of 64, -54 dBFS).
const quint32 silenceFloor = 64 * 64;

quint32 medianOf(QVector<quint32> values)
{
    if (values.isEmpty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values.at(values.size() / 2);
}

// The mean square a stretch may have at most to count as a pause in audio of that median loudness.
quint64 pauseMeanFor(quint32 median)
{
    return std::max<quint64>(silenceFloor, median / 100);
}

// On a whole packet of the cutting process; the stretch is longer than a packet, so still inside it.
qint64 onPacket(qint64 centis)
{
    return (centis + cutStepCentis / 2) / cutStepCentis * cutStepCentis;
}

} // namespace

bool seekToWavData(QFile &file)
{
    return WavFormat::findDataChunk(&file).found;
}

QVector<quint32> energyEnvelope(const char *pcm, qint64 bytes)
{
    const qint64 samples = bytes / 2;
    QVector<quint32> envelope;
    envelope.reserve(int((samples + samplesPerWindow - 1) / samplesPerWindow));
    const auto *data = reinterpret_cast<const unsigned char *>(pcm);
    for (qint64 start = 0; start < samples; start += samplesPerWindow) {
        const qint64 end = std::min(samples, start + samplesPerWindow);
        quint64 sum = 0;
        for (qint64 i = start; i < end; ++i) {
            const qint64 value = qint16(quint16(data[2 * i] | data[2 * i + 1] << 8));
            sum += quint64(value * value);
        }
        envelope.append(quint32(sum / quint64(end - start)));
    }
    return envelope;
}

QVector<quint32> envelopeOfFile(const QString &path, bool wav)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || (wav && !seekToWavData(file)))
        return {};
    QVector<quint32> envelope;
    const qint64 piece = samplesPerWindow * 2 * 4096; // whole windows, 1.3 MB
    for (;;) {
        const QByteArray bytes = file.read(piece);
        if (bytes.isEmpty())
            break;
        envelope += energyEnvelope(bytes.constData(), bytes.size());
    }
    return envelope;
}

QByteArray samplesOfFile(const QString &path, bool wav, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || (wav && !seekToWavData(file)))
        return {};
    return file.read(bytes);
}

QVector<qint64> planCutsInPauses(
    const QVector<quint32> &envelope, qint64 limit, qint64 search, qint64 stretch, qint64 firstAfter, bool shortToo)
{
    QVector<qint64> cuts;
    const qint64 total = envelope.size();
    stretch = std::max<qint64>(1, std::min(stretch, search));
    qint64 from = 0;
    const qint64 first = std::max(stretch, firstPauseCentis);
    const qint64 end = std::min(limit, total);
    if (firstAfter > 0 && (total > limit || shortToo) && firstAfter + first <= end) {
        const quint64 pauseMean = pauseMeanFor(medianOf(envelope.mid(int(firstAfter), int(limit - firstAfter))));
        // The start of the first run of `length` windows after firstAfter, ending by `end`, that is a pause.
        const auto firstPause = [&](qint64 length, qint64 end) -> qint64 {
            quint64 sum = 0;
            for (qint64 i = firstAfter; i < firstAfter + length; ++i)
                sum += envelope.at(int(i));
            for (qint64 start = firstAfter; start + length <= end; ++start) {
                if (start > firstAfter)
                    sum = sum + envelope.at(int(start + length - 1)) - envelope.at(int(start - 1));
                if (sum <= pauseMean * quint64(length))
                    return start;
            }
            return -1;
        };
        // A sentence's pause soon after firstAfter, else any pause a cut may take: a short first segment
        // is what brings the first words back quickly.
        qint64 length = first;
        qint64 start = firstPause(first, std::min(end, firstAfter + search + first));
        if (start < 0) {
            length = stretch;
            start = firstPause(stretch, end);
        }
        if (start >= 0 && onPacket(start + length / 2) < total) {
            from = std::min(limit, onPacket(start + length / 2));
            cuts.append(from);
        }
    }
    while (total - from > limit) {
        const qint64 hi = from + limit; // the cut may lie at most here
        const qint64 lo = std::max(from + 1, hi - search);
        const quint32 median = medianOf(envelope.mid(int(lo), int(hi - lo)));
        const quint64 pauseMean = pauseMeanFor(median);
        quint64 sum = 0;
        for (qint64 i = lo; i < lo + stretch; ++i)
            sum += envelope.at(int(i));
        quint64 best = sum;
        qint64 bestStart = lo;
        for (qint64 start = lo + 1; start + stretch <= hi; ++start) {
            sum += envelope.at(int(start + stretch - 1));
            sum -= envelope.at(int(start - 1));
            if (sum <= best) { // the latest of equally quiet stretches keeps segments long
                best = sum;
                bestStart = start;
            }
        }
        const bool pause = best <= pauseMean * quint64(stretch);
        const qint64 cut = pause ? std::min(hi, onPacket(bestStart + stretch / 2)) : hi;
        cuts.append(cut);
        from = cut;
    }
    return cuts;
}

bool fitsDuration(const QVector<qint64> &cuts, qint64 durationCentis, qint64 limit)
{
    qint64 from = 0;
    for (const qint64 cut : cuts) {
        if (cut <= from || cut - from > limit)
            return false;
        from = cut;
    }
    return from < durationCentis && durationCentis - from <= limit;
}

QVector<qint64> planCutsEvery(qint64 durationCentis, qint64 limit)
{
    QVector<qint64> cuts;
    for (qint64 cut = limit; cut < durationCentis; cut += limit)
        cuts.append(cut);
    return cuts;
}

} // namespace CutPlan
