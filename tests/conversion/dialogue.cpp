#include "dialogue.h"

#include "pipeline/audioprep.h"
#include "pipeline/cutplan.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <random>

namespace Dialogue {

namespace {

const int synthRate = 22050;

const char *const sentencePool[] = {
    "The weather is nice today and we will go for a walk.",
    "My brother bought a new car last week.",
    "The train to London leaves at half past seven every morning.",
    "She likes to read books about history and science.",
    "Please open the window because it is warm in here.",
    "They opened the shop early because many people were waiting.",
    "We should finish the report before the meeting on Friday.",
    "Can you send me the numbers from the last quarter?",
    "I think the new plan will save us a lot of time.",
    "The children played in the garden until it was dark.",
    "Our team will present the results to the board next month.",
    "He forgot his umbrella and got wet on the way home.",
    "Let us meet at the station at nine o'clock.",
    "The price of coffee has gone up again this year.",
    "I agree with you, but we need more data first.",
    "What time does the museum open on Sunday?",
    "The doctor said I should walk every day.",
    "Our office moves to the third floor in June.",
    "Yes, that is exactly what I wanted to hear.",
    "No, I do not think that is a good idea.",
};

// espeak-ng's 22.05 kHz samples of a text; empty on failure.
QByteArray speak(const Voice &voice, const QString &text, const QString &scratch)
{
    const QString path = scratch + QStringLiteral("/piece.wav");
    QProcess espeak;
    espeak.start(QStringLiteral("espeak-ng"),
        {QStringLiteral("-v"), voice.name, QStringLiteral("-p"), QString::number(voice.pitch), QStringLiteral("-s"),
            QString::number(voice.speed), QStringLiteral("-w"), path, text});
    if (!espeak.waitForFinished(60000) || espeak.exitCode() != 0)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !CutPlan::seekToWavData(file))
        return {};
    QByteArray samples = file.readAll();
    // Trim the synthesiser's own silence at both ends, so the turn's times are its speech.
    const auto *pcm = reinterpret_cast<const qint16 *>(samples.constData());
    qint64 count = samples.size() / 2, first = 0, last = count;
    while (first < count && std::abs(pcm[first]) < 200)
        ++first;
    while (last > first && std::abs(pcm[last - 1]) < 200)
        --last;
    return samples.mid(int(first * 2), int((last - first) * 2));
}

qint64 msOf(qint64 samples)
{
    return samples * 1000 / synthRate;
}

} // namespace

QVector<Voice> voices()
{
    return {{QStringLiteral("en-us+f2"), 55, 165}, {QStringLiteral("en-us+m3"), 35, 150},
        {QStringLiteral("en-gb+f4"), 75, 175}, {QStringLiteral("en-us+m7"), 50, 140},
        {QStringLiteral("en-gb+m1"), 60, 185}, {QStringLiteral("en-us+f1"), 45, 155}};
}

Made make(const Plan &plan, const QString &wavPath, const QString &scratch)
{
    Made made;
    QDir().mkpath(scratch);
    std::mt19937 random(plan.seed);
    const QVector<Voice> all = plan.cast.isEmpty() ? voices() : plan.cast;
    QByteArray audio;
    int sentence = int(random() % 20);
    if (plan.firstSentence >= 0)
        sentence = plan.firstSentence;
    int previous = -1;
    for (int t = 0; t < plan.turns; ++t) {
        int speaker = int(random() % quint32(plan.speakers));
        if (speaker == previous)
            speaker = (speaker + 1 + int(random() % quint32(std::max(1, plan.speakers - 1)))) % plan.speakers;
        previous = speaker;
        const qint64 pauseMs = t == 0 ? 500
            : (std::uniform_real_distribution<double>(0, 1)(random) < plan.noPauseShare)
            ? 0
            : plan.minPauseMs + qint64(random() % quint32(plan.maxPauseMs - plan.minPauseMs + 1));
        audio.append(QByteArray(int(pauseMs * synthRate / 1000) * 2, '\0'));
        // One sentence after another until the turn is long enough, within its bounds.
        const qint64 wantMs = plan.minTurnMs + qint64(random() % quint32(plan.maxTurnMs - plan.minTurnMs + 1));
        const qint64 turnStart = audio.size() / 2;
        for (;;) {
            const QByteArray spoken
                = speak(all.at(speaker), QString::fromLatin1(sentencePool[sentence++ % 20]), scratch);
            if (spoken.isEmpty()) {
                made.error = QStringLiteral("espeak-ng failed");
                return made;
            }
            const qint64 nowMs = msOf(audio.size() / 2 - turnStart);
            if (nowMs > 0 && nowMs + msOf(spoken.size() / 2) > plan.maxTurnMs)
                break;
            if (nowMs > 0)
                audio.append(QByteArray(int(synthRate * 3 / 10) * 2, '\0')); // a full stop's pause
            const qint64 start = audio.size() / 2;
            audio.append(spoken);
            made.sentences.append({msOf(start), msOf(audio.size() / 2), speaker + 1});
            if (msOf(audio.size() / 2 - turnStart) >= wantMs)
                break;
        }
        made.turns.append({msOf(turnStart), msOf(audio.size() / 2), speaker + 1});
    }
    audio.append(QByteArray(synthRate / 2 * 2, '\0'));
    const QString raw = scratch + QStringLiteral("/dialogue.raw");
    QFile rawFile(raw);
    if (!rawFile.open(QIODevice::WriteOnly) || rawFile.write(audio) != audio.size()) {
        made.error = QStringLiteral("cannot write %1").arg(raw);
        return made;
    }
    rawFile.close();
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
            QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-ar"), QString::number(synthRate),
            QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-i"), raw, QStringLiteral("-ar"),
            QStringLiteral("16000"), wavPath});
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0) {
        made.error = QString::fromLocal8Bit(ffmpeg.readAllStandardError());
        return made;
    }
    QFile::remove(raw);
    made.durationMs = msOf(audio.size() / 2);
    made.ok = true;
    return made;
}

Made monologue(const Voice &voice, int first, qint64 lengthMs, const QString &wavPath, const QString &scratch)
{
    Plan plan;
    plan.speakers = 1;
    plan.cast = {voice};
    plan.turns = 2;
    plan.minTurnMs = plan.maxTurnMs = lengthMs / 2;
    plan.firstSentence = first;
    return make(plan, wavPath, scratch);
}

SpeakerModel::Stats voiceOf(const QString &wavPath, qint64 upToMs, const QString &featurePath)
{
    QVector<SpeakerAnalysis::Span> spans = loudSpans(wavPath);
    while (upToMs > 0 && !spans.isEmpty() && spans.last().startMs >= upToMs)
        spans.removeLast();
    if (upToMs > 0 && !spans.isEmpty())
        spans.last().endMs = std::min(spans.last().endMs, upToMs);
    SpeakerAnalysis::Settings settings;
    settings.minSpeechMs = 0;
    SpeakerModel::Stats all;
    for (const SpeakerModel::Stats &voice :
        SpeakerAnalysis::analyse(wavPath, true, spans, featurePath, settings).voices)
        all.add(voice);
    return all;
}

QVector<SpeakerAnalysis::Span> loudSpans(const QString &wavPath)
{
    const QVector<quint32> envelope = CutPlan::envelopeOfFile(wavPath, true);
    QVector<SpeakerAnalysis::Span> spans;
    for (int i = 0; i < envelope.size(); ++i) {
        if (envelope.at(i) < 100 * 100)
            continue;
        const qint64 ms = qint64(i) * 10;
        if (!spans.isEmpty() && ms - spans.last().endMs < 150)
            spans.last().endMs = ms + 10;
        else
            spans.append({ms, ms + 10});
    }
    return spans;
}

QVector<DiarizationScore::Segment> segmentsOf(const QVector<SpeakerAnalysis::Span> &spans, const QVector<int> &speakers)
{
    QVector<DiarizationScore::Segment> segments;
    for (int i = 0; i < spans.size() && i < speakers.size(); ++i) {
        if (speakers.at(i) <= 0)
            continue;
        // One speaker's words with short pauses between them are one stretch of their speech.
        if (!segments.isEmpty() && segments.last().speaker == speakers.at(i)
            && spans.at(i).startMs - segments.last().endMs < 500)
            segments.last().endMs = spans.at(i).endMs;
        else
            segments.append({spans.at(i).startMs, spans.at(i).endMs, speakers.at(i)});
    }
    return segments;
}

} // namespace Dialogue
