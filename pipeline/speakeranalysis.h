#pragma once

#include "pipeline/speakermodel.h"

#include <QString>
#include <QVector>

#include <atomic>
#include <vector>

// Who spoke when, from the audio alone: cepstra of the recognised words, change points by BIC over
// sliding windows, agglomerative clustering of the segments by BIC, and a re-segmentation of the words
// against the clusters' models. The frames live in a file on disk while it runs; memory holds a window
// of them and a summary per segment, whatever the recording's length.
namespace SpeakerAnalysis {

struct Span
{
    qint64 startMs = 0;
    qint64 endMs = 0;
};

struct Settings
{
    int speakers = 0; // 0: as many as the voices tell apart
    int changeWindowFrames = 100; // each side of a candidate change
    int changeStepFrames = 10;
    double changeLambda = 1.0;
    double clusterLambda = 3.0;
    double switchPenalty = 60; // log-likelihood a change of speaker must win in re-segmentation
    int iterations = 2;
    qint64 minTurnMs = 1000; // a turn with less speech takes its neighbour's speaker, marked uncertain
    double minSpeakerShare = 0.08; // a cluster with less of the speech is no speaker of its own
    qint64 minSpeechMs = 3000; // less speech than this is not analysed
};

enum class Outcome { Labelled, OneSpeaker, TooShort, Unreadable, Cancelled };

struct Result
{
    Outcome outcome = Outcome::Unreadable;
    int speakers = 0;
    QVector<int> spanSpeaker; // 1-based, numbered by first appearance; 0 when not labelled
    QVector<bool> spanUncertain;
    std::vector<SpeakerModel::Stats> voices; // voices[k]: the frames of speaker k + 1
};

using Cancel = std::atomic<bool>;

// The cepstra of every frame inside a span (spans ascending, not overlapping), written to featurePath
// in order; frameCounts[i] frames belong to span i. False when the audio cannot be read or written.
bool extractFeatures(const QString &audioPath, bool wav, const QVector<Span> &spans, const QString &featurePath,
    QVector<int> *frameCounts, const Cancel *cancel = nullptr);

Result analyseFeatures(const QString &featurePath, const QVector<Span> &spans, const QVector<int> &frameCounts,
    const Settings &settings, const Cancel *cancel = nullptr);

// Both steps; the feature file is removed afterwards.
Result analyse(const QString &audioPath, bool wav, const QVector<Span> &spans, const QString &featurePath,
    const Settings &settings, const Cancel *cancel = nullptr);

// The turn rules over spans already labelled (0-based clusters): a span without frames takes the label
// before it (else after); a run of spans with less than minTurnMs of speech takes the label of the
// neighbouring run its spans score better with (scores[span][cluster], summed log-likelihoods), and is
// marked uncertain. Pure: the table tests exercise it.
void applyTurnRules(const QVector<Span> &spans, const QVector<int> &frameCounts,
    const std::vector<std::vector<double>> &scores, qint64 minTurnMs, QVector<int> *labels, QVector<bool> *uncertain);

// The best path of labels over spans: each span scored per cluster, a change of label costing penalty.
QVector<int> viterbi(const std::vector<std::vector<double>> &scores, double penalty);

} // namespace SpeakerAnalysis
