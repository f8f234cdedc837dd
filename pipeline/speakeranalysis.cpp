#include "pipeline/speakeranalysis.h"

#include "pipeline/cutplan.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/err.h>
#include <sphinxbase/fe.h>

namespace SpeakerAnalysis {

using SpeakerModel::Frame;
using SpeakerModel::Stats;

namespace {

constexpr int frameMs = 10;
constexpr int framesPerRead = 4096;

bool cancelled(const Cancel *cancel)
{
    return cancel && cancel->load();
}

// Every frame of the feature file in order, with the span it belongs to.
bool forEachFrame(const QString &featurePath, const QVector<int> &frameCounts, const Cancel *cancel,
    const std::function<void(int span, const Frame &frame)> &visit)
{
    QFile file(featurePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    std::vector<Frame> block(framesPerRead);
    int span = 0;
    int leftInSpan = frameCounts.value(0);
    for (;;) {
        if (cancelled(cancel))
            return false;
        const qint64 bytes = file.read(reinterpret_cast<char *>(block.data()), qint64(block.size() * sizeof(Frame)));
        if (bytes <= 0)
            return bytes == 0;
        for (size_t i = 0; i < size_t(bytes) / sizeof(Frame); ++i) {
            while (leftInSpan == 0 && span + 1 < frameCounts.size())
                leftInSpan = frameCounts.at(++span);
            visit(span, block[i]);
            --leftInSpan;
        }
    }
}

// Frame indices (into the file) where the speaker seems to change: the peaks of a positive BIC between
// the window before and the window after, no two within one window.
std::vector<qint64> changeFrames(const QString &featurePath, const QVector<int> &frameCounts,
    const SpeakerModel::Floor &floor, const Settings &settings, const Cancel *cancel)
{
    const int w = settings.changeWindowFrames;
    const qint64 ringSize = 2 * w + 1;
    std::vector<Frame> ring(static_cast<size_t>(ringSize));
    std::vector<std::pair<qint64, double>> candidates; // frame, positive BIC
    Stats left, right;
    qint64 r = 0;
    forEachFrame(featurePath, frameCounts, cancel, [&](int, const Frame &frame) {
        // Candidate t = r - w + 1: left is [t - w, t), right [t, t + w).
        ring[size_t(r % ringSize)] = frame;
        right.add(frame);
        if (r - w >= 0) {
            const Frame &moving = ring[size_t((r - w) % ringSize)];
            right.remove(moving);
            left.add(moving);
        }
        if (r - 2 * w >= 0)
            left.remove(ring[size_t((r - 2 * w) % ringSize)]);
        const qint64 t = r - w + 1;
        if (r >= 2 * w - 1 && t % settings.changeStepFrames == 0) {
            const double value = SpeakerModel::deltaBic(left, right, floor, settings.changeLambda);
            if (value > 0)
                candidates.emplace_back(t, value);
        }
        ++r;
    });
    std::vector<qint64> peaks;
    for (size_t i = 0; i < candidates.size(); ++i) {
        bool highest = true;
        for (size_t j = i; j-- > 0 && candidates[i].first - candidates[j].first <= w;)
            highest = highest && candidates[j].second < candidates[i].second;
        for (size_t j = i + 1; j < candidates.size() && candidates[j].first - candidates[i].first <= w; ++j)
            highest = highest && candidates[j].second <= candidates[i].second;
        if (highest)
            peaks.push_back(candidates[i].first);
    }
    return peaks;
}

double pairBic(
    const Stats &a, double logDetA, const Stats &b, double logDetB, const SpeakerModel::Floor &floor, double lambda)
{
    Stats both = a;
    both.add(b);
    const double n = both.count;
    return 0.5 * (n * SpeakerModel::logDet(both, floor) - a.count * logDetA - b.count * logDetB)
        - lambda * 0.5 * SpeakerModel::parameterCount() * std::log(n);
}

// Agglomerative clustering: the pair whose merge the criterion likes best is merged until the
// criterion prefers them apart (wanted 0) or wanted clusters are left. Returns each input's cluster.
std::vector<int> cluster(const std::vector<Stats> &segments, const SpeakerModel::Floor &floor, const Settings &settings,
    const Cancel *cancel)
{
    const int n = int(segments.size());
    std::vector<Stats> stats = segments;
    std::vector<double> logDets(static_cast<size_t>(n));
    std::vector<int> owner(static_cast<size_t>(n));
    std::vector<bool> alive(size_t(n), true);
    for (int i = 0; i < n; ++i) {
        logDets[size_t(i)] = SpeakerModel::logDet(stats[size_t(i)], floor);
        owner[size_t(i)] = i;
    }
    const auto bic = [&](int i, int j) {
        return pairBic(
            stats[size_t(i)], logDets[size_t(i)], stats[size_t(j)], logDets[size_t(j)], floor, settings.clusterLambda);
    };
    // best[i]: the lowest criterion of i with any later alive cluster, and which.
    std::vector<double> best(size_t(n), std::numeric_limits<double>::max());
    std::vector<int> partner(size_t(n), -1);
    const auto refresh = [&](int i) {
        best[size_t(i)] = std::numeric_limits<double>::max();
        partner[size_t(i)] = -1;
        for (int j = i + 1; j < n; ++j) {
            if (!alive[size_t(j)])
                continue;
            const double value = bic(i, j);
            if (value < best[size_t(i)]) {
                best[size_t(i)] = value;
                partner[size_t(i)] = j;
            }
        }
    };
    for (int i = 0; i < n; ++i)
        refresh(i);
    int left = n;
    while (left > 1 && !cancelled(cancel)) {
        int a = -1;
        for (int i = 0; i < n; ++i) {
            if (alive[size_t(i)] && partner[size_t(i)] >= 0 && (a < 0 || best[size_t(i)] < best[size_t(a)]))
                a = i;
        }
        if (a < 0)
            break;
        const bool enough = settings.speakers > 0 ? left <= settings.speakers : best[size_t(a)] > 0;
        if (enough)
            break;
        const int b = partner[size_t(a)];
        stats[size_t(a)].add(stats[size_t(b)]);
        logDets[size_t(a)] = SpeakerModel::logDet(stats[size_t(a)], floor);
        alive[size_t(b)] = false;
        for (int &o : owner) {
            if (o == b)
                o = a;
        }
        --left;
        for (int i = 0; i < n; ++i) {
            if (!alive[size_t(i)])
                continue;
            if (i == a || partner[size_t(i)] == a || partner[size_t(i)] == b) {
                refresh(i);
            } else if (i < a) {
                const double value = bic(i, a);
                if (value < best[size_t(i)]) {
                    best[size_t(i)] = value;
                    partner[size_t(i)] = a;
                }
            }
        }
    }
    return owner;
}

} // namespace

bool extractFeatures(const QString &audioPath, bool wav, const QVector<Span> &spans, const QString &featurePath,
    QVector<int> *frameCounts, const Cancel *cancel)
{
    QFile audio(audioPath);
    if (!audio.open(QIODevice::ReadOnly) || (wav && !CutPlan::seekToWavData(audio)))
        return false;
    QFile out(featurePath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    static const bool quiet = (err_set_logfp(nullptr), true);
    (void)quiet;
    cmd_ln_t *config = cmd_ln_init(
        nullptr, fe_get_args(), TRUE, "-samprate", "16000", "-remove_silence", "no", "-remove_noise", "no", nullptr);
    if (!config)
        return false;
    // The front end takes a reference of its own to the configuration; ours goes now, whether or not it was made.
    fe_t *fe = fe_init_auto_r(config);
    cmd_ln_free_r(config);
    if (!fe)
        return false;
    const int ceps = fe_get_output_size(fe);
    const int capacity = 512;
    mfcc_t **cepstra = static_cast<mfcc_t **>(ckd_calloc_2d(size_t(capacity), size_t(ceps), sizeof(mfcc_t)));
    frameCounts->fill(0, spans.size());
    fe_start_utt(fe);
    qint64 frameIndex = 0;
    int span = 0;
    QByteArray frames;
    bool ok = true;
    const auto take = [&](int count) {
        for (int f = 0; f < count; ++f, ++frameIndex) {
            const qint64 ms = frameIndex * frameMs;
            while (span < spans.size() && spans.at(span).endMs <= ms)
                ++span;
            if (span >= spans.size() || spans.at(span).startMs > ms)
                continue;
            Frame frame;
            for (int i = 0; i < SpeakerModel::dims; ++i)
                frame[size_t(i)] = float(MFCC2FLOAT(cepstra[f][i + 1]));
            frames.append(reinterpret_cast<const char *>(frame.data()), int(sizeof(Frame)));
            ++(*frameCounts)[span];
        }
        if (frames.size() >= (1 << 16)) {
            ok = ok && out.write(frames) == frames.size();
            frames.clear();
        }
    };
    QByteArray samples;
    while (ok && span < spans.size()) {
        if (cancelled(cancel)) {
            ok = false;
            break;
        }
        samples = audio.read(2 * 16000 * 4);
        if (samples.size() < 2)
            break;
        const int16 *pcm = reinterpret_cast<const int16 *>(samples.constData());
        size_t left = size_t(samples.size() / 2);
        while (left > 0) {
            int32 count = capacity;
            if (fe_process_frames(fe, &pcm, &left, cepstra, &count, nullptr) < 0) {
                ok = false;
                break;
            }
            take(count);
            if (count == 0)
                break;
        }
    }
    int32 last = 0;
    fe_end_utt(fe, cepstra[0], &last);
    take(last);
    ckd_free_2d(cepstra);
    fe_free(fe);
    ok = ok && out.write(frames) == frames.size() && out.flush();
    return ok;
}

QVector<int> viterbi(const std::vector<std::vector<double>> &scores, double penalty)
{
    const int spans = int(scores.size());
    if (spans == 0)
        return {};
    const int k = int(scores.front().size());
    std::vector<double> cost(size_t(k), 0), next(static_cast<size_t>(k));
    std::vector<int> back(size_t(spans) * size_t(k), 0);
    for (int c = 0; c < k; ++c)
        cost[size_t(c)] = scores[0][size_t(c)];
    for (int s = 1; s < spans; ++s) {
        int leader = int(std::max_element(cost.begin(), cost.end()) - cost.begin());
        for (int c = 0; c < k; ++c) {
            const double stay = cost[size_t(c)];
            const double come = cost[size_t(leader)] - penalty;
            const bool switched = leader != c && come > stay;
            next[size_t(c)] = (switched ? come : stay) + scores[size_t(s)][size_t(c)];
            back[size_t(s) * size_t(k) + size_t(c)] = switched ? leader : c;
        }
        cost.swap(next);
    }
    QVector<int> labels(spans);
    int c = int(std::max_element(cost.begin(), cost.end()) - cost.begin());
    for (int s = spans - 1; s >= 0; --s) {
        labels[s] = c;
        c = back[size_t(s) * size_t(k) + size_t(c)];
    }
    return labels;
}

void applyTurnRules(const QVector<Span> &spans, const QVector<int> &frameCounts,
    const std::vector<std::vector<double>> &scores, qint64 minTurnMs, QVector<int> *labels, QVector<bool> *uncertain)
{
    const int n = labels->size();
    uncertain->fill(false, n);
    // Spans without frames carry no evidence: the label before them (or after, at the start).
    int previous = -1;
    for (int i = 0; i < n; ++i) {
        if (frameCounts.value(i) > 0)
            previous = (*labels)[i];
        else
            (*labels)[i] = previous; // -1 until the first span with frames
    }
    for (int i = n - 1, after = 0; i >= 0; --i) {
        if ((*labels)[i] < 0)
            (*labels)[i] = after;
        else if (frameCounts.value(i) > 0)
            after = (*labels)[i];
    }
    struct Run
    {
        int first;
        int last; // inclusive
        qint64 speechMs;
    };
    for (;;) {
        std::vector<Run> runs;
        for (int i = 0; i < n; ++i) {
            const qint64 ms = spans.at(i).endMs - spans.at(i).startMs;
            if (runs.empty() || (*labels)[i] != (*labels)[runs.back().last])
                runs.push_back({i, i, ms});
            else {
                runs.back().last = i;
                runs.back().speechMs += ms;
            }
        }
        if (runs.size() < 2)
            return;
        size_t shortest = 0;
        for (size_t r = 1; r < runs.size(); ++r) {
            if (runs[r].speechMs < runs[shortest].speechMs)
                shortest = r;
        }
        const Run run = runs[shortest];
        if (run.speechMs >= minTurnMs)
            return;
        // The neighbour whose voice these spans resemble more.
        const auto evidence = [&](int label) {
            double sum = 0;
            for (int i = run.first; i <= run.last; ++i)
                sum += size_t(i) < scores.size() && size_t(label) < scores[size_t(i)].size()
                    ? scores[size_t(i)][size_t(label)]
                    : 0;
            return sum;
        };
        int target;
        if (shortest == 0)
            target = (*labels)[runs[1].first];
        else if (shortest + 1 == runs.size())
            target = (*labels)[runs[shortest - 1].first];
        else {
            const int before = (*labels)[runs[shortest - 1].first];
            const int after = (*labels)[runs[shortest + 1].first];
            target = evidence(after) > evidence(before) ? after : before;
        }
        for (int i = run.first; i <= run.last; ++i) {
            (*labels)[i] = target;
            (*uncertain)[i] = true;
        }
    }
}

Result analyseFeatures(const QString &featurePath, const QVector<Span> &spans, const QVector<int> &frameCounts,
    const Settings &settings, const Cancel *cancel)
{
    Result result;
    Stats all;
    if (!forEachFrame(featurePath, frameCounts, cancel, [&all](int, const Frame &frame) { all.add(frame); })) {
        result.outcome = cancelled(cancel) ? Outcome::Cancelled : Outcome::Unreadable;
        return result;
    }
    if (all.count * frameMs < settings.minSpeechMs) {
        result.outcome = Outcome::TooShort;
        return result;
    }
    const SpeakerModel::Floor floor = SpeakerModel::floorFor(all);

    // Segments: runs of spans between the change points, each moved to the nearest span boundary.
    const int n = spans.size();
    std::vector<qint64> offsets(size_t(n) + 1, 0);
    for (int i = 0; i < n; ++i)
        offsets[size_t(i) + 1] = offsets[size_t(i)] + frameCounts.value(i);
    std::vector<int> spanSegment(size_t(n), 0);
    {
        std::vector<int> starts;
        for (qint64 t : changeFrames(featurePath, frameCounts, floor, settings, cancel)) {
            const int at = int(std::lower_bound(offsets.begin(), offsets.end(), t) - offsets.begin());
            const int nearer = (at > 0 && t - offsets[size_t(at) - 1] < offsets[size_t(at)] - t) ? at - 1 : at;
            if (nearer > 0 && nearer < n && (starts.empty() || starts.back() < nearer))
                starts.push_back(nearer);
        }
        int segment = 0;
        qint64 segmentFrames = 0;
        size_t nextStart = 0;
        for (int i = 0; i < n; ++i) {
            if (nextStart < starts.size() && starts[nextStart] == i) {
                ++nextStart;
                // A stretch too short to model joins the one before.
                if (segmentFrames >= settings.changeWindowFrames / 2) {
                    ++segment;
                    segmentFrames = 0;
                }
            }
            spanSegment[size_t(i)] = segment;
            segmentFrames += frameCounts.value(i);
        }
    }
    if (cancelled(cancel)) {
        result.outcome = Outcome::Cancelled;
        return result;
    }
    const int segmentCount = n == 0 ? 0 : spanSegment.back() + 1;
    std::vector<Stats> segments(static_cast<size_t>(segmentCount));
    forEachFrame(featurePath, frameCounts, cancel,
        [&](int span, const Frame &frame) { segments[size_t(spanSegment[size_t(span)])].add(frame); });
    // Neighbours first: merging adjacent segments of one voice leaves the global clustering far fewer. A
    // segment joins the group before it only when it sounds like that group and like the segment just
    // before it too: against a group grown long alone, the penalty outweighs what a turn of a few seconds
    // can gain, and one group would swallow every voice of a dialogue of short turns.
    std::vector<int> segmentGroup(size_t(segmentCount), 0);
    std::vector<Stats> groups;
    for (int s = 0; s < segmentCount; ++s) {
        const auto alike = [&](const Stats &before) {
            return SpeakerModel::deltaBic(before, segments[size_t(s)], floor, settings.clusterLambda) < 0;
        };
        if (!groups.empty() && alike(groups.back()) && alike(segments[size_t(s) - 1]))
            groups.back().add(segments[size_t(s)]);
        else
            groups.push_back(segments[size_t(s)]);
        segmentGroup[size_t(s)] = int(groups.size()) - 1;
    }
    const std::vector<int> owner = cluster(groups, floor, settings, cancel);

    // The clusters as models; one with too little of the speech is no voice of its own.
    std::vector<int> ids;
    std::vector<Stats> clusters;
    for (size_t g = 0; g < groups.size(); ++g) {
        auto found = std::find(ids.begin(), ids.end(), owner[g]);
        if (found == ids.end()) {
            ids.push_back(owner[g]);
            clusters.push_back(groups[g]);
        } else {
            clusters[size_t(found - ids.begin())].add(groups[g]);
        }
    }
    for (bool merged = true; merged && clusters.size() > 1;) {
        merged = false;
        const auto smallest = std::min_element(
            clusters.begin(), clusters.end(), [](const Stats &a, const Stats &b) { return a.count < b.count; });
        if (smallest->count >= settings.minSpeakerShare * all.count)
            break;
        size_t into = 0;
        double lowest = std::numeric_limits<double>::max();
        for (size_t c = 0; c < clusters.size(); ++c) {
            if (&clusters[c] == &*smallest)
                continue;
            const double value = SpeakerModel::deltaBic(clusters[c], *smallest, floor, settings.clusterLambda);
            if (value < lowest) {
                lowest = value;
                into = c;
            }
        }
        clusters[into].add(*smallest);
        clusters.erase(smallest);
        merged = true;
    }

    // Re-segmentation: every span scored against each model, the best path through them, the models
    // learnt again from it.
    QVector<int> labels;
    std::vector<std::vector<double>> scores;
    for (int iteration = 0; iteration <= settings.iterations; ++iteration) {
        std::vector<SpeakerModel::Gaussian> models;
        for (const Stats &stats : clusters)
            models.emplace_back(stats, floor);
        scores.assign(size_t(n), std::vector<double>(models.size(), 0.0));
        if (!forEachFrame(featurePath, frameCounts, cancel, [&](int span, const Frame &frame) {
                for (size_t c = 0; c < models.size(); ++c)
                    scores[size_t(span)][c] += models[c].isValid() ? models[c].logLikelihood(frame) : -1e6;
            })) {
            result.outcome = cancelled(cancel) ? Outcome::Cancelled : Outcome::Unreadable;
            return result;
        }
        labels = viterbi(scores, settings.switchPenalty);
        if (iteration == settings.iterations)
            break;
        std::vector<Stats> learnt(clusters.size());
        forEachFrame(featurePath, frameCounts, cancel,
            [&](int span, const Frame &frame) { learnt[size_t(labels[span])].add(frame); });
        for (size_t c = 0; c < clusters.size(); ++c) {
            if (learnt[c].count > SpeakerModel::parameterCount())
                clusters[c] = learnt[c];
        }
        // Voices the re-segmentation made alike are one after all, however many were asked for: merged,
        // and the passes begin again.
        size_t a = 0, b = 0;
        double lowest = 0;
        for (size_t i = 0; i < clusters.size(); ++i) {
            for (size_t j = i + 1; j < clusters.size(); ++j) {
                const double value = SpeakerModel::deltaBic(clusters[i], clusters[j], floor, settings.clusterLambda);
                if (value < lowest) {
                    lowest = value;
                    a = i;
                    b = j;
                }
            }
        }
        // A voice the passes left with too little of the speech is no speaker of its own.
        const auto smallest = std::min_element(
            clusters.begin(), clusters.end(), [](const Stats &x, const Stats &y) { return x.count < y.count; });
        if (lowest >= 0 && clusters.size() > 1 && smallest->count < settings.minSpeakerShare * all.count) {
            b = size_t(smallest - clusters.begin());
            double nearest = std::numeric_limits<double>::max();
            for (size_t i = 0; i < clusters.size(); ++i) {
                const double value = i == b
                    ? nearest
                    : SpeakerModel::deltaBic(clusters[i], clusters[b], floor, settings.clusterLambda);
                if (value < nearest) {
                    nearest = value;
                    a = i;
                }
            }
            lowest = -1;
        }
        if (lowest < 0) {
            if (a > b)
                std::swap(a, b);
            clusters[a].add(clusters[b]);
            clusters.erase(clusters.begin() + long(b));
            iteration = -1;
        }
    }
    applyTurnRules(spans, frameCounts, scores, settings.minTurnMs, &labels, &result.spanUncertain);

    // Numbered by first appearance.
    std::vector<int> number(clusters.size(), 0);
    int speakers = 0;
    result.spanSpeaker.resize(n);
    for (int i = 0; i < n; ++i) {
        int &id = number[size_t(labels[i])];
        if (id == 0)
            id = ++speakers;
        result.spanSpeaker[i] = id;
    }
    result.speakers = speakers;
    result.voices.assign(size_t(speakers), Stats());
    forEachFrame(featurePath, frameCounts, cancel,
        [&](int span, const Frame &frame) { result.voices[size_t(result.spanSpeaker[span] - 1)].add(frame); });
    if (cancelled(cancel)) {
        result.outcome = Outcome::Cancelled;
        return result;
    }
    result.outcome = speakers > 1 ? Outcome::Labelled : Outcome::OneSpeaker;
    return result;
}

Result analyse(const QString &audioPath, bool wav, const QVector<Span> &spans, const QString &featurePath,
    const Settings &settings, const Cancel *cancel)
{
    QVector<int> frameCounts;
    Result result;
    if (extractFeatures(audioPath, wav, spans, featurePath, &frameCounts, cancel))
        result = analyseFeatures(featurePath, spans, frameCounts, settings, cancel);
    else
        result.outcome = cancelled(cancel) ? Outcome::Cancelled : Outcome::Unreadable;
    QFile::remove(featurePath);
    return result;
}

} // namespace SpeakerAnalysis
