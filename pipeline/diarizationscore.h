#pragma once

#include <QMap>
#include <QVector>

// Scoring who-spoke-when against a reference, as the standard diarization scoring does: missed speech,
// false alarm and speaker confusion over the reference's speech, with a collar around each reference
// boundary left unscored and the labels mapped one to one so that they agree the most.
namespace DiarizationScore {

struct Segment
{
    qint64 startMs = 0;
    qint64 endMs = 0;
    int speaker = 0;
};

struct Score
{
    qint64 speechMs = 0; // scored reference speech (overlapping speakers each counted)
    qint64 missedMs = 0;
    qint64 falseAlarmMs = 0;
    qint64 confusionMs = 0;
    QMap<int, int> mapping; // hypothesis speaker -> reference speaker
    double errorRate() const
    {
        return speechMs > 0 ? double(missedMs + falseAlarmMs + confusionMs) / double(speechMs) : 0.0;
    }
};

constexpr qint64 standardCollarMs = 250;

// Times are scored in steps of stepMs.
Score score(const QVector<Segment> &reference, const QVector<Segment> &hypothesis, qint64 collarMs = standardCollarMs,
    qint64 stepMs = 10);

// The share of the hypothesis's segments (sentences) whose speaker, mapped, is the reference speaker
// who speaks most of their time.
double rightSpeakerShare(
    const QVector<Segment> &reference, const QVector<Segment> &sentences, const QMap<int, int> &mapping);

} // namespace DiarizationScore
