#pragma once

#include "pipeline/diarizationscore.h"
#include "pipeline/speakeranalysis.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Test dialogues from synthesised voices with known turns: espeak-ng speaks each turn in its speaker's
// voice, the turns are joined with pauses (or none) and ffmpeg makes the 16 kHz mono WAV of it.
namespace Dialogue {

struct Voice
{
    QString name; // espeak-ng voice and variant, "en-us+f2"
    int pitch = 50;
    int speed = 160;
};
// Distinct voices for up to six speakers.
QVector<Voice> voices();

struct Plan
{
    int speakers = 2;
    int turns = 20;
    quint32 seed = 1;
    qint64 minTurnMs = 1500, maxTurnMs = 15000;
    qint64 minPauseMs = 200, maxPauseMs = 1500;
    double noPauseShare = 0.15; // turns that follow the one before without any pause
    QVector<Voice> cast; // speaker k's voice is cast[k - 1]; empty: voices()
    int firstSentence = -1; // the first sentence of the pool spoken; -1: chosen by the seed
};

struct Made
{
    bool ok = false;
    QString error;
    QVector<DiarizationScore::Segment> turns; // each turn from its first sentence to its last, speakers from 1
    QVector<DiarizationScore::Segment> sentences; // each sentence as spoken, with its speaker: the reference
    qint64 durationMs = 0;
};

// Writes the dialogue to wavPath (scratch: a folder for the pieces).
Made make(const Plan &plan, const QString &wavPath, const QString &scratch);

// One voice speaking the pool's sentences from `first` for about lengthMs (two turns with a pause).
Made monologue(const Voice &voice, int first, qint64 lengthMs, const QString &wavPath, const QString &scratch);

// The statistics of all the voices the analysis finds in the first upToMs of the file's loud spans
// (0: all of them), as a conversion sums them.
SpeakerModel::Stats voiceOf(const QString &wavPath, qint64 upToMs, const QString &featurePath);

// Speech spans found from the audio's loudness (10 ms windows, gaps under 150 ms joined): what the
// recogniser's words would give, without recognising.
QVector<SpeakerAnalysis::Span> loudSpans(const QString &wavPath);

// The hypothesis as scoring takes it: each span with its speaker.
QVector<DiarizationScore::Segment> segmentsOf(
    const QVector<SpeakerAnalysis::Span> &spans, const QVector<int> &speakers);

} // namespace Dialogue
