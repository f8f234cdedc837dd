#pragma once

#include <QByteArray>
#include <QVector>

// Cuts a stream of 16 kHz mono 16-bit PCM, fed in chunks of any size, into utterances at the speaker's
// pauses, by the energy of 20 ms frames against a floor that follows the room's noise. Each utterance
// keeps a little audio before its first loud frame so that a soft first syllable is not lost; one
// that runs on without a pause is cut at its quietest frame once it reaches the longest length.
class UtteranceCutter
{
public:
    struct Utterance
    {
        qint64 startSample = 0; // from the first sample fed
        QByteArray pcm;
        qint64 startMs() const { return startSample / 16; }
        qint64 lengthMs() const { return pcm.size() / 32; }
    };

    static constexpr int sampleRate = 16000;
    static constexpr int frameSamples = 320; // 20 ms
    int pauseMs = 500; // this much quiet ends an utterance
    int leadInMs = 300; // kept before the first loud frame
    int tailMs = 200; // kept after the last loud frame
    int longestMs = 20000; // no utterance is longer

    // The utterances the new samples completed, in order.
    QVector<Utterance> feed(const QByteArray &pcm);
    // The end of the stream: what was being said, if anything. The cutter starts afresh.
    QVector<Utterance> finish();

    // Loudness of one frame in dB below full scale (-100 for digital silence).
    static double frameDb(const char *samples, int count);

private:
    qint64 bufferEndFrame() const { return bufferStartFrame + buffer.size() / frameBytes; }
    void takeFrame(QVector<Utterance> *out);
    void emitUntil(qint64 endFrame, QVector<Utterance> *out);
    void dropBefore(qint64 frame);
    bool isLoud(double db);

    static constexpr int frameBytes = frameSamples * 2;
    QByteArray buffer; // whole frames from bufferStartFrame on, then a partial frame
    QVector<double> levels; // dB of each whole frame in buffer
    qint64 bufferStartFrame = 0;
    qint64 nextFrame = 0; // the first frame not yet judged
    qint64 utteranceStart = -1; // frame; -1 while nobody speaks
    qint64 lastLoudFrame = -1;
    double noiseFloorDb = -60.0;
};
