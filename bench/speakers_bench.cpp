// Who said what on synthesised dialogues with known turns: the diarization error rate (0.25 s collar,
// best mapping of labels) and the share of sentences with the right speaker, for 2, 3 and 4 speakers;
// and the analysis's time and peak memory on a 60-minute file.
#include "benchutil.h"
#include "dialogue.h"

#include "pipeline/speakeranalysis.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

// The reference sentences, each labelled by the hypothesis speaker of most of its spans' time.
QVector<DiarizationScore::Segment> labelledSentences(
    const QVector<DiarizationScore::Segment> &sentences, const QVector<DiarizationScore::Segment> &hypothesis)
{
    QVector<DiarizationScore::Segment> labelled;
    for (DiarizationScore::Segment sentence : sentences) {
        QMap<int, qint64> spoken;
        for (const DiarizationScore::Segment &h : hypothesis)
            spoken[h.speaker]
                += std::max<qint64>(0, std::min(h.endMs, sentence.endMs) - std::max(h.startMs, sentence.startMs));
        sentence.speaker = 0;
        qint64 most = 0;
        for (auto it = spoken.cbegin(); it != spoken.cend(); ++it) {
            if (it.value() > most) {
                most = it.value();
                sentence.speaker = it.key();
            }
        }
        labelled.append(sentence);
    }
    return labelled;
}

int dialogues(const QString &scratch, int seeds, const SpeakerAnalysis::Settings &base)
{
    std::printf("speakers  asked  seed  length  found  DER     missed  false  confusion  right sentences\n");
    for (int speakers = 2; speakers <= 4; ++speakers) {
        DiarizationScore::Score sum;
        double share = 0;
        for (int seed = 1; seed <= seeds; ++seed) {
            Dialogue::Plan plan;
            plan.speakers = speakers;
            plan.turns = 24;
            plan.seed = quint32(seed * 100 + speakers);
            const QString wav = scratch + QStringLiteral("/dialogue-%1-%2.wav").arg(speakers).arg(seed);
            const Dialogue::Made made = Dialogue::make(plan, wav, scratch);
            if (!made.ok) {
                std::fprintf(stderr, "%s\n", qPrintable(made.error));
                return 1;
            }
            const QVector<SpeakerAnalysis::Span> spans = Dialogue::loudSpans(wav);
            for (int asked : {0, speakers}) {
                SpeakerAnalysis::Settings settings = base;
                settings.speakers = asked;
                const SpeakerAnalysis::Result result
                    = SpeakerAnalysis::analyse(wav, true, spans, scratch + QStringLiteral("/features"), settings);
                const QVector<DiarizationScore::Segment> hypothesis = Dialogue::segmentsOf(spans, result.spanSpeaker);
                const DiarizationScore::Score score = DiarizationScore::score(made.sentences, hypothesis);
                const double right = DiarizationScore::rightSpeakerShare(
                    made.sentences, labelledSentences(made.sentences, hypothesis), score.mapping);
                std::printf("%8d  %5s  %4d  %5.0fs  %5d  %5.1f%%  %5.1f%%  %4.1f%%  %8.1f%%  %6.1f%% of %d\n", speakers,
                    asked ? qPrintable(QString::number(asked)) : "auto", seed, made.durationMs / 1000.0,
                    result.speakers, 100 * score.errorRate(), 100.0 * score.missedMs / score.speechMs,
                    100.0 * score.falseAlarmMs / score.speechMs, 100.0 * score.confusionMs / score.speechMs,
                    100 * right, made.sentences.size());
                if (asked == 0) {
                    sum.speechMs += score.speechMs;
                    sum.missedMs += score.missedMs;
                    sum.falseAlarmMs += score.falseAlarmMs;
                    sum.confusionMs += score.confusionMs;
                    share += right / seeds;
                }
            }
        }
        std::printf("%d speakers, auto, all seeds: DER %.1f%%, right sentences %.1f%%\n", speakers,
            100 * sum.errorRate(), 100 * share);
    }
    return 0;
}

int hour(const QString &scratch, const SpeakerAnalysis::Settings &settings)
{
    Dialogue::Plan plan;
    plan.speakers = 3;
    plan.turns = 60;
    plan.seed = 7;
    const QString piece = scratch + QStringLiteral("/piece.wav");
    const Dialogue::Made made = Dialogue::make(plan, piece, scratch);
    const QString wav = scratch + QStringLiteral("/hour.wav");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
            QStringLiteral("-stream_loop"), QStringLiteral("-1"), QStringLiteral("-i"), piece, QStringLiteral("-t"),
            QStringLiteral("3600"), wav});
    if (!made.ok || !ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0)
        return 1;
    const QVector<SpeakerAnalysis::Span> spans = Dialogue::loudSpans(wav);
    const qint64 before = BenchUtil::peakMemoryKiB();
    QElapsedTimer clock;
    clock.start();
    const SpeakerAnalysis::Result result
        = SpeakerAnalysis::analyse(wav, true, spans, scratch + QStringLiteral("/features"), settings);
    const double seconds = clock.elapsed() / 1000.0;
    std::printf("60-minute file, %d spans: analysis %.1f s (%d speakers found), peak memory %lld MiB (%lld MiB "
                "before it)\n",
        spans.size(), seconds, result.speakers, BenchUtil::peakMemoryKiB() / 1024, before / 1024);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir scratch;
    SpeakerAnalysis::Settings settings;
    // Tuning by hand: name=value after the mode.
    for (const QString &arg : args.mid(2)) {
        const QString name = arg.section(QLatin1Char('='), 0, 0);
        const double value = arg.section(QLatin1Char('='), 1).toDouble();
        if (name == QLatin1String("changeLambda"))
            settings.changeLambda = value;
        else if (name == QLatin1String("clusterLambda"))
            settings.clusterLambda = value;
        else if (name == QLatin1String("switchPenalty"))
            settings.switchPenalty = value;
        else if (name == QLatin1String("share"))
            settings.minSpeakerShare = value;
        else if (name == QLatin1String("window"))
            settings.changeWindowFrames = int(value);
        else if (name == QLatin1String("seeds"))
            continue;
    }
    int seeds = 2;
    for (const QString &arg : args.mid(2)) {
        if (arg.startsWith(QLatin1String("seeds=")))
            seeds = arg.mid(6).toInt();
    }
    const QString mode = args.value(1, QStringLiteral("dialogues"));
    std::printf("$ %s\n", qPrintable(args.join(QLatin1Char(' '))));
    return mode == QLatin1String("hour") ? hour(scratch.path(), settings) : dialogues(scratch.path(), seeds, settings);
}
