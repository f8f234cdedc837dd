#include "pipeline/cutplan.h"

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

} // namespace

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

QVector<qint64> planCutsInPauses(const QVector<quint32> &envelope, qint64 limit, qint64 search, qint64 stretch)
{
    QVector<qint64> cuts;
    const qint64 total = envelope.size();
    stretch = std::max<qint64>(1, std::min(stretch, search));
    qint64 from = 0;
    while (total - from > limit) {
        const qint64 hi = from + limit; // the cut may lie at most here
        const qint64 lo = std::max(from + 1, hi - search);
        const quint32 median = medianOf(envelope.mid(int(lo), int(hi - lo)));
        const quint64 pauseMean = std::max<quint64>(silenceFloor, median / 100);
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
        // On a whole packet of the cutting process; the stretch is longer than a packet, so still inside it.
        const qint64 middle = bestStart + stretch / 2;
        const qint64 cut = pause ? std::min(hi, (middle + cutStepCentis / 2) / cutStepCentis * cutStepCentis) : hi;
        cuts.append(cut);
        from = cut;
    }
    return cuts;
}

QVector<qint64> planCutsEvery(qint64 durationCentis, qint64 limit)
{
    QVector<qint64> cuts;
    for (qint64 cut = limit; cut < durationCentis; cut += limit)
        cuts.append(cut);
    return cuts;
}

} // namespace CutPlan
