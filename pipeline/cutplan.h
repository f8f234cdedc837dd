#pragma once

#include <QByteArray>
#include <QVector>

class QFile;

// Where to cut 16 kHz mono 16-bit PCM into segments of at most a minute: in a pause near the end of
// each minute rather than through a word. Times in hundredths of a second (one envelope window each).
namespace CutPlan {

constexpr int samplesPerWindow = 160; // 10 ms at 16 kHz
constexpr qint64 limitCentis = 6000; // the longest segment a request may carry
constexpr qint64 searchCentis = 1500; // how far before the limit a pause is looked for
constexpr qint64 stretchCentis = 30; // the length of stretch whose loudness is compared
// Cuts fall on multiples of 100 ms, the packets of the one ffmpeg process that cuts: ten times fewer
// packets than 10 ms ones cut an hour in 0.5 s instead of 1.9 s.
constexpr qint64 cutStepCentis = 10;
// A longer file's first segment ends at the first pause after this, so its text comes back quickly.
constexpr qint64 firstSegmentCentis = 1000;
// The first cut waits for a pause as long as one that ends a sentence, not a gap between words.
constexpr qint64 firstPauseCentis = 50;

// The mean square of each 10 ms window of little-endian 16-bit samples (a last partial window too).
QVector<quint32> energyEnvelope(const char *pcm, qint64 bytes);

// The file positioned at the first sample of its WAV data chunk (its header's chunks walked).
bool seekToWavData(QFile &file);

// The envelope of a file's samples read in pieces: a WAV's data chunk (its header's chunks walked; ffmpeg
// writes a LIST chunk first), or raw PCM from the start. Empty when it cannot be read.
QVector<quint32> envelopeOfFile(const QString &path, bool wav);

// Up to `bytes` of a file's samples from the start of its data, as envelopeOfFile reads them; of a file
// still being written, what it holds so far. Empty when it cannot be read.
QByteArray samplesOfFile(const QString &path, bool wav, qint64 bytes);

// firstAfter > 0: the first cut is the middle of the first firstPauseCentis after firstAfter that are a pause,
// where one begins within search of firstAfter; else of the first stretch after firstAfter that is a pause,
// where there is one before the limit. The cuts, ascending, each the middle (to cutStepCentis) of the quietest stretch
// in the last searchCentis before the limit counted from the previous cut; the limit itself where that stretch is no
// pause (not 20 dB below the searched audio's median, nor near digital silence). No cut for audio within one limit,
// unless shortToo: then audio within a limit that has such a first pause is cut there too, so that its first
// words come back without waiting for the whole of it.
QVector<qint64> planCutsInPauses(const QVector<quint32> &envelope, qint64 limit = limitCentis,
    qint64 search = searchCentis, qint64 stretch = stretchCentis, qint64 firstAfter = 0, bool shortToo = false);

// The cuts, ascending, make segments of at most limit of a file that long: a kept plan still fits it.
bool fitsDuration(const QVector<qint64> &cuts, qint64 durationCentis, qint64 limit = limitCentis);

// Cuts every limit, as without an envelope.
QVector<qint64> planCutsEvery(qint64 durationCentis, qint64 limit = limitCentis);

} // namespace CutPlan
