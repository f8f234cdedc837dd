// What choosing the cuts costs for 60 minutes of 16 kHz mono PCM: the energy envelope and the plan.
// Usage: bench_cutplan [RUNS] [FILE.wav]; without a file, 60 minutes of a tone with a pause every 7 s.
// bench_cutplan --cuts FILE.wav prints the planned cuts in seconds, comma-separated (for cut_wer.py).
#include "pipeline/cutplan.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    const bool cutsOnly = argc > 2 && QByteArray(argv[1]) == "--cuts";
    const int runs = argc > 1 && !cutsOnly ? std::max(1, atoi(argv[1])) : 5;
    QByteArray pcm;
    if (argc > 2) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        pcm = file.readAll();
        pcm.remove(0, pcm.indexOf("data") + 8);
        if (cutsOnly) {
            const QVector<qint64> cuts
                = CutPlan::planCutsInPauses(CutPlan::energyEnvelope(pcm.constData(), pcm.size()));
            for (int i = 0; i < cuts.size(); ++i)
                std::printf("%s%lld.%02lld", i ? "," : "", cuts[i] / 100, cuts[i] % 100);
            std::printf("\n");
            return 0;
        }
    } else {
        const qint64 samples = 3600LL * 16000;
        pcm.resize(int(samples * 2));
        for (qint64 i = 0; i < samples; ++i) {
            const bool pause = i % (7 * 16000) < 8000;
            const qint16 value = pause ? 0 : qint16(8000 * std::sin(double(i) * 0.37));
            pcm[int(2 * i)] = char(value & 0xFF);
            pcm[int(2 * i + 1)] = char((value >> 8) & 0xFF);
        }
    }
    std::vector<double> envelopeMs, planMs;
    int cuts = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const QVector<quint32> envelope = CutPlan::energyEnvelope(pcm.constData(), pcm.size());
        envelopeMs.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        cuts = CutPlan::planCutsInPauses(envelope).size();
        planMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(envelopeMs.begin(), envelopeMs.end());
    std::sort(planMs.begin(), planMs.end());
    std::printf("PCM: %.1f minutes (%.0f MB), %d cuts\n", pcm.size() / 32000.0 / 60, pcm.size() / 1e6, cuts);
    std::printf("envelope: median %.1f ms, plan: median %.1f ms (%d runs)\n", envelopeMs[envelopeMs.size() / 2],
        planMs[planMs.size() / 2], runs);
    std::printf("command: bench/cutplan_bench.sh\n");
    return 0;
}
