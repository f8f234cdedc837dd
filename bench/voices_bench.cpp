// Named voices found again: profiles enrolled from one recording of each synthesised voice, matched
// against other recordings (other sentences) of the same and of other voices. Prints the distances, the
// miss and false-match rates of single voices for thresholds around the chosen one, and what the
// conversion's naming does with the voices the analysis finds in two-speaker dialogues.
#include "dialogue.h"

#include "pipeline/speakeranalysis.h"
#include "pipeline/voiceprofiles.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

using SpeakerModel::Stats;

struct Trial
{
    double distance;
    bool same;
};

// The six dialogue voices and three near ones: the same espeak-ng voices at another pitch (and speed).
QVector<Dialogue::Voice> identities()
{
    QVector<Dialogue::Voice> all = Dialogue::voices();
    all << Dialogue::Voice {QStringLiteral("en-us+f2"), 70, 165}
        << Dialogue::Voice {QStringLiteral("en-us+m3"), 55, 150}
        << Dialogue::Voice {QStringLiteral("en-gb+f4"), 60, 150};
    return all;
}

QString nameOf(const Dialogue::Voice &voice)
{
    return QStringLiteral("%1/p%2/s%3").arg(voice.name).arg(voice.pitch).arg(voice.speed);
}

// The reference speaker each found speaker spoke most of the time with.
std::map<int, int> truthOf(
    const QVector<DiarizationScore::Segment> &reference, const QVector<DiarizationScore::Segment> &hypothesis)
{
    std::map<int, std::map<int, qint64>> overlap;
    for (const DiarizationScore::Segment &h : hypothesis) {
        for (const DiarizationScore::Segment &r : reference)
            overlap[h.speaker][r.speaker]
                += std::max<qint64>(0, std::min(h.endMs, r.endMs) - std::max(h.startMs, r.startMs));
    }
    std::map<int, int> truth;
    for (const auto &[found, with] : overlap)
        truth[found] = std::max_element(with.begin(), with.end(), [](const auto &a, const auto &b) {
            return a.second < b.second;
        })->first;
    return truth;
}

void printRates(const char *what, const std::vector<Trial> &trials, const QVector<double> &thresholds)
{
    std::vector<double> same, other;
    for (const Trial &trial : trials)
        (trial.same ? same : other).push_back(trial.distance);
    std::sort(same.begin(), same.end());
    std::sort(other.begin(), other.end());
    std::printf("%s: same voice %zu pairs, distance %.2f..%.2f (median %.2f); other voices %zu pairs, %.2f..%.2f "
                "(median %.2f)\n",
        what, same.size(), same.front(), same.back(), same[same.size() / 2], other.size(), other.front(), other.back(),
        other[other.size() / 2]);
    for (double t : thresholds) {
        const auto under = [t](const std::vector<double> &values) {
            return double(std::lower_bound(values.begin(), values.end(), t) - values.begin());
        };
        std::printf("  threshold %.2f%s: misses %5.1f%% (%d of %zu), false matches %5.1f%% (%d of %zu)\n", t,
            t == VoiceMatch::threshold ? " (chosen)" : "         ", 100 * (1 - under(same) / same.size()),
            int(same.size() - under(same)), same.size(), 100 * under(other) / other.size(), int(under(other)),
            other.size());
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    const QString dir = scratch.path();
    qint64 enrolMs = 30000;
    QVector<qint64> testLengths {5000, 10000, 20000};
    QVector<double> thresholds {0.3, 0.4, 0.5, 0.6, 0.8, 1.0};
    for (const QString &arg : app.arguments().mid(1)) {
        if (arg.startsWith(QLatin1String("enrol=")))
            enrolMs = arg.mid(6).toLongLong() * 1000;
        else if (arg.startsWith(QLatin1String("thresholds="))) {
            thresholds.clear();
            for (const QString &value : arg.mid(11).split(QLatin1Char(',')))
                thresholds << value.toDouble();
        }
    }
    std::printf("$ %s\n", qPrintable(app.arguments().join(QLatin1Char(' '))));
    const QVector<Dialogue::Voice> voices = identities();
    const int enrolled = 4; // the dialogues' strangers: two distinct voices and the three near ones
    // Two recordings of each voice with other sentences: A from the pool's first, B from its eleventh.
    std::vector<Stats> recordingA, recordingB;
    std::map<qint64, std::vector<Stats>> partA, partB;
    for (int i = 0; i < voices.size(); ++i) {
        const QString a = dir + QStringLiteral("/a%1.wav").arg(i), b = dir + QStringLiteral("/b%1.wav").arg(i);
        for (const Dialogue::Made &made :
            {Dialogue::monologue(voices[i], 0, enrolMs, a, dir), Dialogue::monologue(voices[i], 10, enrolMs, b, dir)}) {
            if (!made.ok) {
                std::fprintf(stderr, "%s\n", qPrintable(made.error));
                return 1;
            }
        }
        const QString features = dir + QStringLiteral("/features");
        recordingA.push_back(Dialogue::voiceOf(a, 0, features));
        recordingB.push_back(Dialogue::voiceOf(b, 0, features));
        for (qint64 ms : testLengths) {
            partA[ms].push_back(Dialogue::voiceOf(a, ms, features));
            partB[ms].push_back(Dialogue::voiceOf(b, ms, features));
        }
    }
    std::printf("%d voices, profiles from %lld s of speech, matched against the other recording's first seconds\n",
        voices.size(), enrolMs / 1000);
    for (qint64 ms : testLengths) {
        std::vector<Trial> trials;
        int right = 0, missed = 0, wrong = 0;
        // Enrolled from A and tried with B, and the other way round.
        for (int way = 0; way < 2; ++way) {
            const std::vector<Stats> &profiles = way == 0 ? recordingA : recordingB;
            const std::vector<Stats> &tried = way == 0 ? partB[ms] : partA[ms];
            for (size_t v = 0; v < tried.size(); ++v) {
                for (size_t p = 0; p < profiles.size(); ++p)
                    trials.push_back({VoiceMatch::distance(tried[v], profiles[p]), v == p});
                // The rule itself, the voice alone in its file, every voice enrolled.
                const int found = VoiceMatch::match({tried[v]}, profiles).value(0);
                (found == int(v) ? right : found < 0 ? missed : wrong) += 1;
            }
        }
        const QByteArray title = QStringLiteral("%1 s tried").arg(ms / 1000).toUtf8();
        printRates(title.constData(), trials, thresholds);
        std::printf("  the rule at %.2f, each voice alone against all %d profiles: %d named right, %d missed, %d "
                    "named wrong\n",
            VoiceMatch::threshold, voices.size(), right, missed, wrong);
    }
    // Closest different voices, for the record.
    std::vector<std::tuple<double, int, int>> nearest;
    for (int v = 0; v < voices.size(); ++v) {
        for (int p = 0; p < voices.size(); ++p) {
            if (v != p)
                nearest.emplace_back(
                    VoiceMatch::distance(partB[testLengths.last()][size_t(v)], recordingA[size_t(p)]), v, p);
        }
    }
    std::sort(nearest.begin(), nearest.end());
    for (size_t i = 0; i < nearest.size() && std::get<0>(nearest[i]) < 2 * VoiceMatch::threshold; ++i)
        std::printf("  nearest other voices: %s vs %s: %.2f\n", qPrintable(nameOf(voices[std::get<1>(nearest[i])])),
            qPrintable(nameOf(voices[std::get<2>(nearest[i])])), std::get<0>(nearest[i]));

    // Dialogues of every pair of voices, the first four enrolled from A: each voice the analysis finds is
    // named by the rule as a conversion names it.
    const std::vector<Stats> profiles(recordingA.begin(), recordingA.begin() + enrolled);
    int found = 0, right = 0, missed = 0, wrong = 0, unlabelled = 0;
    const int distinct = Dialogue::voices().size(); // voices from here on are near ones
    int strangers[2] = {0, 0}, strangersNamed[2] = {0, 0}; // distinct, near
    quint32 seed = 1;
    for (int i = 0; i < voices.size(); ++i) {
        for (int j = i + 1; j < voices.size(); ++j) {
            Dialogue::Plan plan;
            plan.cast = {voices[i], voices[j]};
            plan.turns = 16;
            plan.minTurnMs = 3000;
            plan.maxTurnMs = 10000;
            plan.firstSentence = -1;
            plan.seed = seed++;
            const QString wav = dir + QStringLiteral("/dialogue.wav");
            const Dialogue::Made made = Dialogue::make(plan, wav, dir);
            if (!made.ok)
                return 1;
            const QVector<SpeakerAnalysis::Span> spans = Dialogue::loudSpans(wav);
            const SpeakerAnalysis::Result result = SpeakerAnalysis::analyse(
                wav, true, spans, dir + QStringLiteral("/features"), SpeakerAnalysis::Settings());
            if (result.outcome != SpeakerAnalysis::Outcome::Labelled) {
                std::printf("  not told apart: %s with %s (outcome %d, %lld ms)\n", qPrintable(nameOf(voices[i])),
                    qPrintable(nameOf(voices[j])), int(result.outcome), made.durationMs);
                ++unlabelled;
                continue;
            }
            const std::map<int, int> truth = truthOf(made.sentences, Dialogue::segmentsOf(spans, result.spanSpeaker));
            const QVector<int> named = VoiceMatch::match(result.voices, profiles);
            for (int k = 0; k < named.size(); ++k) {
                const int identity = truth.count(k + 1) ? (truth.at(k + 1) == 1 ? i : j) : -1;
                ++found;
                if (identity >= enrolled) {
                    ++strangers[identity >= distinct];
                    strangersNamed[identity >= distinct] += named[k] >= 0;
                } else {
                    (named[k] == identity ? right : named[k] < 0 ? missed : wrong) += 1;
                }
            }
        }
    }
    std::printf(
        "%d two-voice dialogues (16 turns of 3-10 s), %d of the %d voices enrolled, threshold %.2f: %d not told "
        "apart; %d voices found: enrolled ones named right %d, left numbered %d, named wrong %d; distinct "
        "strangers named %d of %d, near ones %d of %d\n",
        int(seed - 1), enrolled, voices.size(), VoiceMatch::threshold, unlabelled, found, right, missed, wrong,
        strangersNamed[0], strangers[0], strangersNamed[1], strangers[1]);
    return 0;
}
