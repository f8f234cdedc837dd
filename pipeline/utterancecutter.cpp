#include "pipeline/utterancecutter.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {
constexpr double quietestLoudDb = -45.0; // nothing quieter than this counts as speech
constexpr double aboveFloorDb = 12.0;
constexpr double floorRisePerFrameDb = 0.02; // 1 dB a second: speech lasting minutes does not become the floor
constexpr double loudestFloorDb = -35.0; // noisier than this is no room to record in: speech stays loud
constexpr int frameMs = 20;
} // namespace

double UtteranceCutter::frameDb(const char *samples, int count)
{
    if (count <= 0)
        return -100.0;
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        const double s = qFromLittleEndian<qint16>(samples + 2 * i);
        sum += s * s;
    }
    const double mean = sum / count;
    if (mean < 1.0)
        return -100.0;
    return std::max(-100.0, 10.0 * std::log10(mean / (32768.0 * 32768.0)));
}

bool UtteranceCutter::isLoud(double db)
{
    const bool loud = db > std::max(quietestLoudDb, noiseFloorDb + aboveFloorDb);
    noiseFloorDb = db < noiseFloorDb ? db : std::min(loudestFloorDb, noiseFloorDb + floorRisePerFrameDb);
    return loud;
}

QVector<UtteranceCutter::Utterance> UtteranceCutter::feed(const QByteArray &pcm)
{
    buffer.append(pcm);
    QVector<Utterance> out;
    while (nextFrame < bufferEndFrame())
        takeFrame(&out);
    return out;
}

void UtteranceCutter::takeFrame(QVector<Utterance> *out)
{
    const qint64 frame = nextFrame++;
    const int offset = int(frame - bufferStartFrame) * frameBytes;
    const double db = frameDb(buffer.constData() + offset, frameSamples);
    levels.append(db);
    const bool loud = isLoud(db);
    const qint64 leadFrames = leadInMs / frameMs;
    if (utteranceStart < 0) {
        if (!loud) {
            dropBefore(frame + 1 - leadFrames);
            return;
        }
        utteranceStart = std::max(bufferStartFrame, frame - leadFrames);
    }
    if (loud)
        lastLoudFrame = frame;
    if ((frame - lastLoudFrame) * frameMs >= pauseMs) {
        emitUntil(std::min(frame + 1, lastLoudFrame + 1 + tailMs / frameMs), out);
        utteranceStart = -1;
        dropBefore(frame + 1 - leadFrames);
        return;
    }
    const qint64 longestFrames = longestMs / frameMs;
    if (frame + 1 - utteranceStart < longestFrames)
        return;
    // Nobody paused: cut at the quietest frame of the second half, the start of the next utterance.
    qint64 cut = frame;
    double quietest = levels.at(int(frame - bufferStartFrame));
    for (qint64 f = utteranceStart + longestFrames / 2; f <= frame; ++f) {
        const double level = levels.at(int(f - bufferStartFrame));
        if (level < quietest) {
            quietest = level;
            cut = f;
        }
    }
    emitUntil(cut, out);
    utteranceStart = cut;
    dropBefore(cut);
}

void UtteranceCutter::emitUntil(qint64 endFrame, QVector<Utterance> *out)
{
    if (endFrame <= utteranceStart)
        return;
    Utterance utterance;
    utterance.startSample = utteranceStart * frameSamples;
    utterance.pcm
        = buffer.mid(int(utteranceStart - bufferStartFrame) * frameBytes, int(endFrame - utteranceStart) * frameBytes);
    out->append(utterance);
}

void UtteranceCutter::dropBefore(qint64 frame)
{
    const qint64 drop = std::min(frame, nextFrame) - bufferStartFrame;
    if (drop <= 0)
        return;
    buffer.remove(0, int(drop) * frameBytes);
    levels.remove(0, int(drop));
    bufferStartFrame += drop;
}

QVector<UtteranceCutter::Utterance> UtteranceCutter::finish()
{
    QVector<Utterance> out;
    if (utteranceStart >= 0) {
        // The partial frame at the end belongs to what was being said.
        const qint64 end = std::min(nextFrame, lastLoudFrame + 1 + tailMs / frameMs);
        emitUntil(end, &out);
        if (end == nextFrame && !out.isEmpty())
            out.last().pcm.append(buffer.mid(int(nextFrame - bufferStartFrame) * frameBytes));
    }
    buffer.clear();
    levels.clear();
    bufferStartFrame = nextFrame = 0;
    utteranceStart = lastLoudFrame = -1;
    noiseFloorDb = -60.0;
    return out;
}
