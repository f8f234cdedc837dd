#include "common/timedsentences.h"
#include "dialogue.h"
#include "pipeline/diarizationscore.h"
#include "pipeline/speakeranalysis.h"
#include "pipeline/speakerturns.h"
#include "pipeline/wordalign.h"

#include <QTemporaryDir>
#include <QtTest>

using DiarizationScore::Segment;

namespace {

// "1@0-10000 2@10000-20000": speaker@start-end in milliseconds.
QVector<Segment> segmentsOf(const QString &written)
{
    QVector<Segment> segments;
    for (const QString &item : written.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString times = item.section(QLatin1Char('@'), 1);
        segments.append({times.section(QLatin1Char('-'), 0, 0).toLongLong(),
            times.section(QLatin1Char('-'), 1).toLongLong(), item.section(QLatin1Char('@'), 0, 0).toInt()});
    }
    return segments;
}

} // namespace

class TestSpeakers : public QObject
{
    Q_OBJECT

private slots:
    void errorRate_data();
    void errorRate();
    void rightSentences();
    void turnRules_data();
    void turnRules();
    void turnText_data();
    void turnText();
    void voicesInAudio_data();
    void voicesInAudio();
};

void TestSpeakers::errorRate_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("hypothesis");
    QTest::addColumn<qint64>("speechMs");
    QTest::addColumn<qint64>("missedMs");
    QTest::addColumn<qint64>("falseAlarmMs");
    QTest::addColumn<qint64>("confusionMs");

    QTest::newRow("same turns under other labels")
        << "1@0-10000 2@10000-20000"
        << "7@0-10000 3@10000-20000" << qint64(19000) << qint64(0) << qint64(0) << qint64(0);
    // Collars of 0.25 s at 0, 10 s and 20 s leave 19 s scored; one label for both is half of it wrong.
    QTest::newRow("two voices taken for one") << "1@0-10000 2@10000-20000"
                                              << "5@0-20000" << qint64(19000) << qint64(0) << qint64(0) << qint64(9500);
    QTest::newRow("second half missed") << "1@0-10000"
                                        << "1@0-5000" << qint64(9500) << qint64(4750) << qint64(0) << qint64(0);
    QTest::newRow("silence called speech")
        << "1@0-4000"
        << "1@0-4000 2@6000-8000" << qint64(3500) << qint64(0) << qint64(2000) << qint64(0);
    QTest::newRow("change late within the collar")
        << "1@0-5000 2@5000-10000"
        << "1@0-5200 2@5200-10000" << qint64(9000) << qint64(0) << qint64(0) << qint64(0);
    QTest::newRow("change late beyond the collar")
        << "1@0-5000 2@5000-10000"
        << "1@0-6250 2@6250-10000" << qint64(9000) << qint64(0) << qint64(0) << qint64(1000);
    // Labels map one to one: the third hypothesis speaker has no reference speaker left.
    QTest::newRow("one voice split in two")
        << "1@0-10000 2@10000-20000"
        << "1@0-6000 3@6000-10000 2@10000-20000" << qint64(19000) << qint64(0) << qint64(0) << qint64(3750);
    QTest::newRow("overlapping reference speakers count twice")
        << "1@0-10000 2@5000-10000"
        << "1@0-10000" << qint64(13500) << qint64(4500) << qint64(0) << qint64(0);
    QTest::newRow("nothing said") << ""
                                  << "" << qint64(0) << qint64(0) << qint64(0) << qint64(0);
}

void TestSpeakers::errorRate()
{
    QFETCH(QString, reference);
    QFETCH(QString, hypothesis);
    QFETCH(qint64, speechMs);
    QFETCH(qint64, missedMs);
    QFETCH(qint64, falseAlarmMs);
    QFETCH(qint64, confusionMs);
    const DiarizationScore::Score score = DiarizationScore::score(segmentsOf(reference), segmentsOf(hypothesis));
    QCOMPARE(score.speechMs, speechMs);
    QCOMPARE(score.missedMs, missedMs);
    QCOMPARE(score.falseAlarmMs, falseAlarmMs);
    QCOMPARE(score.confusionMs, confusionMs);
    if (speechMs > 0)
        QCOMPARE(score.errorRate(), double(missedMs + falseAlarmMs + confusionMs) / double(speechMs));
}

void TestSpeakers::rightSentences()
{
    const QVector<Segment> reference = segmentsOf(QStringLiteral("1@0-5000 2@5000-10000"));
    const DiarizationScore::Score score
        = DiarizationScore::score(reference, segmentsOf(QStringLiteral("4@0-5000 9@5000-10000")));
    // The middle sentence is mostly the first speaker's: labelled with the second, it is wrong.
    QCOMPARE(DiarizationScore::rightSpeakerShare(
                 reference, segmentsOf(QStringLiteral("4@0-2000 4@3000-6000 9@7000-9000")), score.mapping),
        1.0);
    QCOMPARE(DiarizationScore::rightSpeakerShare(
                 reference, segmentsOf(QStringLiteral("4@0-2000 9@3000-6000 9@7000-9000")), score.mapping),
        2.0 / 3);
}

void TestSpeakers::turnRules_data()
{
    QTest::addColumn<QVector<int>>("labels");
    QTest::addColumn<QVector<int>>("frames");
    QTest::addColumn<QVector<int>>("favoured"); // the cluster each span's frames score best with
    QTest::addColumn<QVector<int>>("expected");
    QTest::addColumn<QVector<int>>("uncertain"); // span indices

    // Every span lasts 500 ms; a turn needs 1000 ms.
    QTest::newRow("short interjection takes the turn around it")
        << QVector<int> {0, 0, 0, 1, 0, 0} << QVector<int> {50, 50, 50, 50, 50, 50} << QVector<int> {0, 0, 0, 1, 0, 0}
        << QVector<int> {0, 0, 0, 0, 0, 0} << QVector<int> {3};
    QTest::newRow("short first turn takes the next")
        << QVector<int> {1, 0, 0, 0} << QVector<int> {50, 50, 50, 50} << QVector<int> {1, 0, 0, 0}
        << QVector<int> {0, 0, 0, 0} << QVector<int> {0};
    QTest::newRow("turn of a second stays")
        << QVector<int> {0, 0, 1, 1, 0, 0} << QVector<int> {50, 50, 50, 50, 50, 50} << QVector<int> {0, 0, 1, 1, 0, 0}
        << QVector<int> {0, 0, 1, 1, 0, 0} << QVector<int> {};
    QTest::newRow("between two voices, the one it sounds like")
        << QVector<int> {0, 0, 1, 2, 2} << QVector<int> {50, 50, 50, 50, 50} << QVector<int> {0, 0, 2, 2, 2}
        << QVector<int> {0, 0, 2, 2, 2} << QVector<int> {2};
    QTest::newRow("span without frames follows the one before")
        << QVector<int> {0, 0, 1, 0, 0} << QVector<int> {50, 50, 0, 50, 50} << QVector<int> {0, 0, 0, 0, 0}
        << QVector<int> {0, 0, 0, 0, 0} << QVector<int> {};
    QTest::newRow("leading spans without frames follow the first with frames")
        << QVector<int> {1, 0, 0} << QVector<int> {0, 50, 50} << QVector<int> {1, 0, 0} << QVector<int> {0, 0, 0}
        << QVector<int> {};
    QTest::newRow("one short speaker alone stays")
        << QVector<int> {1} << QVector<int> {50} << QVector<int> {1} << QVector<int> {1} << QVector<int> {};
}

void TestSpeakers::turnRules()
{
    QFETCH(QVector<int>, labels);
    QFETCH(QVector<int>, frames);
    QFETCH(QVector<int>, favoured);
    QFETCH(QVector<int>, expected);
    QFETCH(QVector<int>, uncertain);
    QVector<SpeakerAnalysis::Span> spans;
    std::vector<std::vector<double>> scores;
    for (int i = 0; i < labels.size(); ++i) {
        spans.append({i * 500, (i + 1) * 500});
        scores.push_back(std::vector<double>(3, -100.0));
        scores.back()[size_t(favoured.at(i))] = -10.0;
    }
    QVector<bool> marked;
    SpeakerAnalysis::applyTurnRules(spans, frames, scores, 1000, &labels, &marked);
    QCOMPARE(labels, expected);
    QVector<int> markedSpans;
    for (int i = 0; i < marked.size(); ++i) {
        if (marked.at(i))
            markedSpans.append(i);
    }
    QCOMPARE(markedSpans, uncertain);
}

void TestSpeakers::turnText_data()
{
    QTest::addColumn<QString>("sentences");
    QTest::addColumn<QVector<int>>("wordSpeakers");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("edited"); // the document as the user saved it; empty: unchanged
    QTest::addColumn<QString>("speakersAfter"); // each realigned sentence: its speaker and text

    QTest::newRow("a paragraph per turn")
        << "How@0-300 are@300-600 you?@600-900; Fine.@1200-1500; Thanks.@1800-2100" << QVector<int> {1, 1, 1, 2, 2}
        << "说话人 1：How are you?\n\n说话人 2：Fine. Thanks.\n"
        << ""
        << "1 How are you?|2 Fine.|2 Thanks.";
    QTest::newRow("a sentence spoken by two is split at the change")
        << "Yes@0-300 right@300-600 so@600-900 then?@900-1200" << QVector<int> {1, 1, 2, 2}
        << "说话人 1：Yes right\n\n说话人 2：so then?\n"
        << ""
        << "1 Yes right|2 so then?";
    QTest::newRow("an edited word keeps its sentence's speaker")
        << "How@0-300 are@300-600 you?@600-900; Fine.@1200-1500" << QVector<int> {1, 1, 1, 2}
        << "说话人 1：How are you?\n\n说话人 2：Fine.\n"
        << "说话人 1：How were you?\n\n说话人 2：Fine.\n"
        << "1 How were you?|2 Fine.";
    QTest::newRow("a renamed label is still no word")
        << "Hi.@0-300; Hello.@600-900" << QVector<int> {1, 2} << "说话人 1：Hi.\n\n说话人 2：Hello.\n"
        << "说话人 1：Hi.\n\n说话人 2：Hello there.\n"
        << "1 Hi.|2 Hello there.";
    QTest::newRow("a sentence without word times")
        << "=Good morning all.@0-3000; Hi.@3500-3800" << QVector<int> {1, 1, 1, 2}
        << "说话人 1：Good morning all.\n\n说话人 2：Hi.\n"
        << ""
        << "1 Good morning all.|2 Hi.";
}

void TestSpeakers::turnText()
{
    QFETCH(QString, sentences);
    QFETCH(QVector<int>, wordSpeakers);
    QFETCH(QString, document);
    QFETCH(QString, edited);
    QFETCH(QString, speakersAfter);
    const QVector<TimedSentence> timed = TimedSentences::sentencesOf(sentences);
    QCOMPARE(SpeakerTurns::wordSpans(timed).size(), wordSpeakers.size());
    const QVector<TimedSentence> labelled
        = SpeakerTurns::labelled(timed, wordSpeakers, QVector<bool>(wordSpeakers.size(), false));
    const QStringList names = SpeakerTurns::Labels {QStringLiteral("说话人 %1"), QStringLiteral("：")}.names(2);
    QCOMPARE(SpeakerTurns::documentText(labelled, names, QStringLiteral("：")), document);
    // What the view's saving does: the labels are masked, the words realigned.
    const QString saved = edited.isEmpty() ? document : edited;
    const QVector<TimedSentence> realigned
        = WordAlign::realigned(labelled, SpeakerTurns::maskedLabels(saved, names, QStringLiteral("：")));
    QStringList after;
    for (const TimedSentence &sentence : realigned)
        after << QStringLiteral("%1 %2").arg(sentence.speaker).arg(sentence.text);
    QCOMPARE(after.join(QLatin1Char('|')), speakersAfter);
}

void TestSpeakers::voicesInAudio_data()
{
    QTest::addColumn<int>("voices");
    QTest::addColumn<int>("asked");
    QTest::addColumn<qint64>("speechUpToMs"); // only spans starting before this are given; 0: all
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("found");
    QTest::newRow("one voice: nothing to label")
        << 1 << 0 << qint64(0) << int(SpeakerAnalysis::Outcome::OneSpeaker) << 1;
    QTest::newRow("two voices") << 2 << 0 << qint64(0) << int(SpeakerAnalysis::Outcome::Labelled) << 2;
    QTest::newRow("two voices, three asked") << 2 << 3 << qint64(0) << int(SpeakerAnalysis::Outcome::Labelled) << 2;
    QTest::newRow("under 3 s of speech") << 2 << 0 << qint64(2000) << int(SpeakerAnalysis::Outcome::TooShort) << 0;
}

// Real synthesised speech through the whole analysis: sphinxbase's cepstra, clustering, re-segmentation.
void TestSpeakers::voicesInAudio()
{
    QFETCH(int, voices);
    QFETCH(int, asked);
    QFETCH(qint64, speechUpToMs);
    QFETCH(int, outcome);
    QFETCH(int, found);
    QTemporaryDir dir;
    Dialogue::Plan plan;
    plan.speakers = voices;
    plan.turns = 6;
    plan.minTurnMs = 3000;
    plan.maxTurnMs = 8000;
    const Dialogue::Made made = Dialogue::make(plan, dir.filePath("talk.wav"), dir.filePath("pieces"));
    QVERIFY2(made.ok, qPrintable(made.error));
    QVector<SpeakerAnalysis::Span> spans = Dialogue::loudSpans(dir.filePath("talk.wav"));
    if (speechUpToMs > 0) {
        while (!spans.isEmpty() && spans.last().startMs >= speechUpToMs)
            spans.removeLast();
        spans.last().endMs = std::min(spans.last().endMs, speechUpToMs);
    }
    SpeakerAnalysis::Settings settings;
    settings.speakers = asked;
    const SpeakerAnalysis::Result result
        = SpeakerAnalysis::analyse(dir.filePath("talk.wav"), true, spans, dir.filePath("features"), settings);
    QCOMPARE(int(result.outcome), outcome);
    QCOMPARE(result.speakers, found);
    QVERIFY(!QFile::exists(dir.filePath("features")));
    if (found > 1) {
        const DiarizationScore::Score score
            = DiarizationScore::score(made.sentences, Dialogue::segmentsOf(spans, result.spanSpeaker));
        QVERIFY2(score.errorRate() < 0.15, qPrintable(QString::number(score.errorRate())));
    }
}

QTEST_GUILESS_MAIN(TestSpeakers)
#include "tst_speakers.moc"
