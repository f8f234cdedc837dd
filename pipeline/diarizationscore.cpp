#include "pipeline/diarizationscore.h"

#include <QSet>

#include <algorithm>
#include <vector>

namespace DiarizationScore {

namespace {

QVector<int> speakersOf(const QVector<Segment> &segments)
{
    QVector<int> speakers;
    for (const Segment &segment : segments) {
        if (!speakers.contains(segment.speaker))
            speakers.append(segment.speaker);
    }
    std::sort(speakers.begin(), speakers.end());
    return speakers;
}

// The one-to-one mapping of hypothesis to reference speakers with the most time in common, by dynamic
// programming over the subsets of reference speakers taken.
QMap<int, int> bestMapping(
    const QVector<int> &hyp, const QVector<int> &ref, const std::vector<std::vector<qint64>> &overlap)
{
    const int r = std::min(ref.size(), 16);
    const size_t subsets = size_t(1) << r;
    // best[h][mask]: the most overlap of hypothesis speakers h.. with reference speakers outside mask.
    std::vector<std::vector<qint64>> best(size_t(hyp.size()) + 1, std::vector<qint64>(subsets, 0));
    std::vector<std::vector<int>> choice(size_t(hyp.size()), std::vector<int>(subsets, -1));
    for (int h = hyp.size() - 1; h >= 0; --h) {
        for (size_t mask = 0; mask < subsets; ++mask) {
            qint64 value = best[size_t(h) + 1][mask];
            int chosen = -1;
            for (int j = 0; j < r; ++j) {
                if (mask & (size_t(1) << j))
                    continue;
                const qint64 with = overlap[size_t(h)][size_t(j)] + best[size_t(h) + 1][mask | (size_t(1) << j)];
                if (with > value) {
                    value = with;
                    chosen = j;
                }
            }
            best[size_t(h)][mask] = value;
            choice[size_t(h)][mask] = chosen;
        }
    }
    QMap<int, int> mapping;
    size_t mask = 0;
    for (int h = 0; h < hyp.size(); ++h) {
        const int j = choice[size_t(h)][mask];
        if (j >= 0) {
            mapping.insert(hyp.at(h), ref.at(j));
            mask |= size_t(1) << j;
        }
    }
    return mapping;
}

} // namespace

Score score(const QVector<Segment> &reference, const QVector<Segment> &hypothesis, qint64 collarMs, qint64 stepMs)
{
    Score result;
    qint64 endMs = 0;
    for (const Segment &segment : reference + hypothesis)
        endMs = std::max(endMs, segment.endMs);
    const qint64 steps = (endMs + stepMs - 1) / stepMs;
    const QVector<int> refSpeakers = speakersOf(reference);
    const QVector<int> hypSpeakers = speakersOf(hypothesis);
    // Per step: which speakers talk (bit sets), and whether it lies in a collar.
    std::vector<quint32> ref(size_t(steps), 0), hyp(size_t(steps), 0);
    std::vector<bool> collar(size_t(steps), false);
    const auto mark = [&](const QVector<Segment> &segments, const QVector<int> &speakers, std::vector<quint32> &bits) {
        for (const Segment &segment : segments) {
            const quint32 bit = quint32(1) << std::min(31, int(speakers.indexOf(segment.speaker)));
            for (qint64 s = segment.startMs / stepMs; s * stepMs < segment.endMs && s < steps; ++s) {
                const qint64 middle = s * stepMs + stepMs / 2;
                if (middle >= segment.startMs && middle < segment.endMs)
                    bits[size_t(s)] |= bit;
            }
        }
    };
    mark(reference, refSpeakers, ref);
    mark(hypothesis, hypSpeakers, hyp);
    for (const Segment &segment : reference) {
        for (qint64 edge : {segment.startMs, segment.endMs}) {
            for (qint64 s = std::max<qint64>(0, (edge - collarMs) / stepMs); s < steps && s * stepMs < edge + collarMs;
                 ++s) {
                const qint64 middle = s * stepMs + stepMs / 2;
                if (middle >= edge - collarMs && middle < edge + collarMs)
                    collar[size_t(s)] = true;
            }
        }
    }
    std::vector<std::vector<qint64>> overlap(
        size_t(hypSpeakers.size()), std::vector<qint64>(size_t(refSpeakers.size()), 0));
    for (qint64 s = 0; s < steps; ++s) {
        if (collar[size_t(s)])
            continue;
        for (int h = 0; h < hypSpeakers.size(); ++h) {
            for (int r = 0; r < refSpeakers.size(); ++r) {
                if ((hyp[size_t(s)] >> h & 1) && (ref[size_t(s)] >> r & 1))
                    overlap[size_t(h)][size_t(r)] += stepMs;
            }
        }
    }
    result.mapping = bestMapping(hypSpeakers, refSpeakers, overlap);
    for (qint64 s = 0; s < steps; ++s) {
        if (collar[size_t(s)])
            continue;
        const int nRef = __builtin_popcount(ref[size_t(s)]);
        const int nHyp = __builtin_popcount(hyp[size_t(s)]);
        int correct = 0;
        for (int h = 0; h < hypSpeakers.size(); ++h) {
            if (!(hyp[size_t(s)] >> h & 1) || !result.mapping.contains(hypSpeakers.at(h)))
                continue;
            const int r = refSpeakers.indexOf(result.mapping.value(hypSpeakers.at(h)));
            if (ref[size_t(s)] >> r & 1)
                ++correct;
        }
        result.speechMs += nRef * stepMs;
        result.missedMs += std::max(0, nRef - nHyp) * stepMs;
        result.falseAlarmMs += std::max(0, nHyp - nRef) * stepMs;
        result.confusionMs += (std::min(nRef, nHyp) - correct) * stepMs;
    }
    return result;
}

double rightSpeakerShare(
    const QVector<Segment> &reference, const QVector<Segment> &sentences, const QMap<int, int> &mapping)
{
    if (sentences.isEmpty())
        return 0;
    int right = 0;
    for (const Segment &sentence : sentences) {
        QMap<int, qint64> spoken;
        for (const Segment &segment : reference) {
            const qint64 common = std::min(segment.endMs, sentence.endMs) - std::max(segment.startMs, sentence.startMs);
            if (common > 0)
                spoken[segment.speaker] += common;
        }
        int most = -1;
        qint64 mostMs = 0;
        for (auto it = spoken.cbegin(); it != spoken.cend(); ++it) {
            if (it.value() > mostMs) {
                most = it.key();
                mostMs = it.value();
            }
        }
        if (most >= 0 && mapping.value(sentence.speaker, -1) == most)
            ++right;
    }
    return double(right) / sentences.size();
}

} // namespace DiarizationScore
