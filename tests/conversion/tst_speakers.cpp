#include "common/timedsentences.h"
#include "dialogue.h"
#include "pipeline/diarizationscore.h"
#include "pipeline/speakeranalysis.h"
#include "pipeline/speakerturns.h"
#include "pipeline/timings.h"
#include "pipeline/voiceprofiles.h"
#include "pipeline/wordalign.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

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
    void renameSpeaker_data();
    void renameSpeaker();
    void voicesInAudio_data();
    void voicesInAudio();
    void namedVoices_data();
    void namedVoices();
    void profileStore_data();
    void profileStore();
    void recordVoices_data();
    void recordVoices();

private:
    // A voice of Dialogue::voices() speaking the pool's sentences from `first`, summed over its first
    // upToMs (0: all 20 s); synthesised once per test run.
    SpeakerModel::Stats voice(int index, int first, qint64 upToMs = 0);
    std::map<std::tuple<int, int, qint64>, SpeakerModel::Stats> voices;
    QTemporaryDir voiceDir;
};

SpeakerModel::Stats TestSpeakers::voice(int index, int first, qint64 upToMs)
{
    const auto key = std::make_tuple(index, first, upToMs);
    if (!voices.count(key)) {
        const QString wav = voiceDir.filePath(QStringLiteral("voice-%1-%2.wav").arg(index).arg(first));
        if (!QFile::exists(wav)) {
            const Dialogue::Made made
                = Dialogue::monologue(Dialogue::voices().at(index), first, 20000, wav, voiceDir.filePath("pieces"));
            if (!made.ok)
                qFatal("%s", qPrintable(made.error));
        }
        voices[key] = Dialogue::voiceOf(wav, upToMs, voiceDir.filePath("features"));
    }
    return voices[key];
}

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

void TestSpeakers::renameSpeaker_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("speakers"); // named by the suffix's language: "说话人 %1" or "Speaker %1"
    QTest::addColumn<QString>("clicked"); // the first place of this in the text is where the user asks
    QTest::addColumn<int>("speaker"); // whose turn that is
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("renamedText"); // when there is no problem
    QTest::addColumn<int>("labels"); // of the speaker renamed

    const QString talk = "说话人 1：甲说。\n\n说话人 2：乙说。\n\n说话人 1：甲又说。\n";
    QTest::newRow("every label of the speaker, clicked on a label")
        << talk << "：" << 2 << "说话人 1" << 1 << "王经理"
        << "none"
        << "王经理：甲说。\n\n说话人 2：乙说。\n\n王经理：甲又说。\n"
        << 2;
    QTest::newRow("clicked within a turn") << talk << "：" << 2 << "乙说" << 2 << "李总"
                                           << "none"
                                           << "说话人 1：甲说。\n\n李总：乙说。\n\n说话人 1：甲又说。\n"
                                           << 1;
    QTest::newRow("spaces around the name dropped") << talk << "：" << 2 << "甲又" << 1 << "  王经理 "
                                                    << "none"
                                                    << "王经理：甲说。\n\n说话人 2：乙说。\n\n王经理：甲又说。\n"
                                                    << 2;
    QTest::newRow("a name within a paragraph or after one line break is no label")
        << "说话人 1：我叫说话人 1：好。\n说话人 1：续。\n"
        << "：" << 1 << "续" << 1 << "甲"
        << "none"
        << "甲：我叫说话人 1：好。\n说话人 1：续。\n"
        << 1;
    QTest::newRow("speaker 1 is not speaker 10") << "说话人 10：十。\n\n说话人 1：一。\n"
                                                 << "：" << 10 << "一" << 1 << "甲"
                                                 << "none"
                                                 << "说话人 10：十。\n\n甲：一。\n"
                                                 << 1;
    QTest::newRow("the view's raw text, paragraphs by U+2029")
        << QString("Speaker 1: Hi.\u2029\u2029Speaker 2: Hello.\u2029\u2029Speaker 2: Bye.") << ": " << 2 << "Bye" << 2
        << "Ann"
        << "none" << QString("Speaker 1: Hi.\u2029\u2029Ann: Hello.\u2029\u2029Ann: Bye.") << 2;
    QTest::newRow("before the first label: nobody's turn") << "前言。\n\n说话人 1：甲说。\n"
                                                           << "：" << 1 << "前言" << 0 << "甲"
                                                           << "none"
                                                           << "前言。\n\n说话人 1：甲说。\n"
                                                           << 0;
    QTest::newRow("the same name again changes nothing") << talk << "：" << 2 << "甲说" << 1 << "说话人 1"
                                                         << "none" << talk << 2;
    QTest::newRow("empty") << talk << "：" << 2 << "甲说" << 1 << " \t "
                           << "empty"
                           << "" << 0;
    QTest::newRow("a line break") << talk << "：" << 2 << "甲说" << 1 << "王\n经理"
                                  << "line break"
                                  << "" << 0;
    QTest::newRow("a line break at the end") << talk << "：" << 2 << "甲说" << 1 << "王经理\r\n"
                                             << "line break"
                                             << "" << 0;
    QTest::newRow("the label's suffix") << talk << "：" << 2 << "甲说" << 1 << "王：经理"
                                        << "suffix"
                                        << "" << 0;
    QTest::newRow("the English suffix without its space") << "Speaker 1: Hi.\n"
                                                          << ": " << 2 << "Hi" << 1 << "Dr: Who"
                                                          << "suffix"
                                                          << "" << 0;
    QTest::newRow("another speaker's name") << talk << "：" << 2 << "甲说" << 1 << " 说话人 2"
                                            << "taken"
                                            << "" << 0;
}

void TestSpeakers::renameSpeaker()
{
    QFETCH(QString, text);
    QFETCH(QString, suffix);
    QFETCH(int, speakers);
    QFETCH(QString, clicked);
    QFETCH(QString, name);
    QFETCH(QString, renamedText);
    const SpeakerTurns::Labels format {suffix.trimmed() == "：" ? "说话人 %1" : "Speaker %1", suffix};
    const QStringList names = format.names(speakers);
    const int speaker = SpeakerTurns::speakerAt(SpeakerTurns::labelsIn(text, names, suffix), text.indexOf(clicked));
    QTEST(speaker, "speaker");
    if (speaker == 0)
        return;
    const QMap<SpeakerTurns::NameProblem, QString> problems {{SpeakerTurns::NameProblem::None, "none"},
        {SpeakerTurns::NameProblem::Empty, "empty"}, {SpeakerTurns::NameProblem::LineBreak, "line break"},
        {SpeakerTurns::NameProblem::Suffix, "suffix"}, {SpeakerTurns::NameProblem::Taken, "taken"}};
    QTEST(problems.value(SpeakerTurns::nameProblem(names, speaker, name, suffix)), "problem");
    if (renamedText.isEmpty())
        return;
    const SpeakerTurns::Renamed renamed = SpeakerTurns::renamed(text, names, suffix, speaker, name);
    QCOMPARE(renamed.text, renamedText);
    QTEST(int(renamed.offsets.size()), "labels");
    QCOMPARE(renamed.names.at(speaker - 1), name.trimmed());
    // The new labels are found as labels again, where the old names were.
    QVector<int> found;
    const int grown = renamed.name.size() - renamed.oldLength;
    for (const SpeakerTurns::Label &label : SpeakerTurns::labelsIn(renamed.text, renamed.names, suffix)) {
        if (label.speaker == speaker)
            found << label.offset - grown * found.size();
    }
    QCOMPARE(found, renamed.offsets);
}

void TestSpeakers::voicesInAudio_data()
{
    QTest::addColumn<int>("voices");
    QTest::addColumn<int>("asked");
    QTest::addColumn<qint64>("speechUpToMs"); // only spans starting before this are given; 0: all
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("found");
    QTest::addColumn<QVector<int>>("cast"); // indexes into Dialogue::voices(); empty: the first ones
    QTest::addColumn<int>("turns"); // of 3-8 s; 16: of 3-10 s
    QTest::newRow("one voice: nothing to label")
        << 1 << 0 << qint64(0) << int(SpeakerAnalysis::Outcome::OneSpeaker) << 1 << QVector<int>() << 6;
    QTest::newRow("two voices") << 2 << 0 << qint64(0) << int(SpeakerAnalysis::Outcome::Labelled) << 2 << QVector<int>()
                                << 6;
    QTest::newRow("two voices, three asked")
        << 2 << 3 << qint64(0) << int(SpeakerAnalysis::Outcome::Labelled) << 2 << QVector<int>() << 6;
    QTest::newRow("under 3 s of speech") << 2 << 0 << qint64(2000) << int(SpeakerAnalysis::Outcome::TooShort) << 0
                                         << QVector<int>() << 6;
    // Once taken for one voice: the first turns' group grew until no short turn could leave it.
    QTest::newRow("a man and a woman in sixteen short turns")
        << 2 << 0 << qint64(0) << int(SpeakerAnalysis::Outcome::Labelled) << 2 << QVector<int> {1, 5} << 16;
}

// Real synthesised speech through the whole analysis: sphinxbase's cepstra, clustering, re-segmentation.
void TestSpeakers::voicesInAudio()
{
    QFETCH(int, voices);
    QFETCH(int, asked);
    QFETCH(qint64, speechUpToMs);
    QFETCH(int, outcome);
    QFETCH(int, found);
    QFETCH(QVector<int>, cast);
    QFETCH(int, turns);
    QTemporaryDir dir;
    Dialogue::Plan plan;
    plan.speakers = voices;
    plan.turns = turns;
    plan.minTurnMs = 3000;
    plan.maxTurnMs = turns > 6 ? 10000 : 8000;
    for (int voice : cast)
        plan.cast << Dialogue::voices().at(voice);
    if (!cast.isEmpty())
        plan.seed = 12;
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

void TestSpeakers::namedVoices_data()
{
    QTest::addColumn<QVector<int>>("enrolled"); // voices named in an earlier file (its sentences from the first)
    QTest::addColumn<QStringList>("profileNames");
    QTest::addColumn<QVector<int>>("inFile"); // the later file's voices, other sentences
    QTest::addColumn<qint64>("speechMs"); // of each voice in the later file; 0: 20 s
    QTest::addColumn<QStringList>("names");

    const QStringList one {QStringLiteral("王经理")};
    QTest::newRow("the named voice in another recording")
        << QVector<int> {0} << one << QVector<int> {0, 2} << qint64(0) << QStringList {"王经理", "说话人 1"};
    QTest::newRow("other voices stay numbered")
        << QVector<int> {0} << one << QVector<int> {1, 2} << qint64(0) << QStringList {"说话人 1", "说话人 2"};
    QTest::newRow("each named voice by its name")
        << QVector<int> {0, 2} << QStringList {"王经理", "李总"} << QVector<int> {2, 1, 0} << qint64(0)
        << QStringList {"李总", "说话人 1", "王经理"};
    QTest::newRow("a near voice is someone else")
        << QVector<int> {0} << one << QVector<int> {5} << qint64(0) << QStringList {"说话人 1"};
    QTest::newRow("a named voice in ten seconds")
        << QVector<int> {1} << one << QVector<int> {1, 3} << qint64(10000) << QStringList {"王经理", "说话人 1"};
    QTest::newRow("two seconds are too little to be anyone")
        << QVector<int> {1} << one << QVector<int> {1} << qint64(2000) << QStringList {"说话人 1"};
    QTest::newRow("a profile named like a number: the numbers pass it over") << QVector<int> {
        0} << QStringList {"说话人 1"} << QVector<int> {1, 0} << qint64(0) << QStringList {"说话人 2", "说话人 1"};
}

// Real synthesised voices through the analysis's cepstra and sums, then the rule a conversion names by.
void TestSpeakers::namedVoices()
{
    QFETCH(QVector<int>, enrolled);
    QFETCH(QStringList, profileNames);
    QFETCH(QVector<int>, inFile);
    QFETCH(qint64, speechMs);
    QFETCH(QStringList, names);
    QTemporaryDir dataDir;
    VoiceProfiles store(dataDir.path());
    for (int i = 0; i < enrolled.size(); ++i)
        QCOMPARE(store.add(profileNames.at(i), voice(enrolled.at(i), 0)), VoiceProfiles::Change::Done);
    QString error;
    QVERIFY2(store.save(&error), qPrintable(error));
    std::vector<SpeakerModel::Stats> file;
    for (int index : inFile)
        file.push_back(voice(index, 10, speechMs));
    const SpeakerTurns::Labels labels {QStringLiteral("说话人 %1"), QStringLiteral("：")};
    QCOMPARE(VoiceProfiles::speakerNames(dataDir.path(), file, labels), names);
    // One profile names one voice: the same person twice in a file (a microphone changed) is named where
    // the voice is nearer, here the very recording it was named from.
    if (enrolled.size() == 1 && names.contains(profileNames.first())) {
        file = {voice(enrolled.first(), 10, speechMs), voice(enrolled.first(), 0)};
        QCOMPARE(VoiceProfiles::speakerNames(dataDir.path(), file, labels),
            QStringList({labels.nameFormat.arg(profileNames.first() == labels.nameFormat.arg(1) ? 2 : 1),
                profileNames.first()}));
    }
}

void TestSpeakers::profileStore_data()
{
    // Steps "add|name|voice", "rename|from|to", "remove|name", "name|speaker|name" (naming a speaker of a
    // document whose record keeps voices 0 and 1 as speakers 1 and 2), "name old|speaker|name" (a record
    // written before voices were kept); each reloaded from the folder after it.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QVector<int>>("changes");
    QTest::addColumn<QString>("profiles"); // name=voices merged, "|" between profiles

    using C = VoiceProfiles::Change;
    const auto changes = [](std::initializer_list<C> list) {
        QVector<int> result;
        for (C change : list)
            result << int(change);
        return result;
    };
    QTest::newRow("named once") << QStringList {"add|王经理|0"} << changes({C::Done}) << "王经理=0";
    QTest::newRow("the same voice named twice counts once")
        << QStringList {"add|王经理|0", "add|王经理|0"} << changes({C::Done, C::Unchanged}) << "王经理=0";
    QTest::newRow("another voice under the same name merges")
        << QStringList {"add|王经理|0", "add|王经理|1"} << changes({C::Done, C::Done}) << "王经理=0+1";
    QTest::newRow("names are kept simplified")
        << QStringList {"add| 王 经理\n|0", "add|王 经理|1"} << changes({C::Done, C::Done}) << "王 经理=0+1";
    QTest::newRow("an empty name is refused") << QStringList {"add|  |0"} << changes({C::EmptyName}) << "";
    QTest::newRow("renamed") << QStringList {"add|A|0", "rename|A|B", "rename|B|B"}
                             << changes({C::Done, C::Done, C::Unchanged}) << "B=0";
    QTest::newRow("renamed onto another's name is refused")
        << QStringList {"add|A|0", "add|B|1", "rename|A|B"} << changes({C::Done, C::Done, C::NameTaken}) << "A=0|B=1";
    QTest::newRow("renamed to nothing, or one that is not there")
        << QStringList {"add|A|0", "rename|A| ", "rename|X|Y"} << changes({C::Done, C::EmptyName, C::Missing}) << "A=0";
    QTest::newRow("removed") << QStringList {"add|A|0", "add|B|1", "remove|A", "remove|A"}
                             << changes({C::Done, C::Done, C::Done, C::Missing}) << "B=1";
    QTest::newRow("naming a document's speaker remembers its voice")
        << QStringList {"name|2|王经理"} << changes({C::Done}) << "王经理=1";
    QTest::newRow("a slip corrected moves the voice")
        << QStringList {"name|1|王经里", "name|1|王经理"} << changes({C::Done, C::Done}) << "王经理=0";
    QTest::newRow("a voice moved out of a shared profile")
        << QStringList {"name|1|A", "name|2|A", "name|2|B", "name|2|B"}
        << changes({C::Done, C::Done, C::Done, C::Unchanged}) << "A=0|B=1";
    QTest::newRow("a record without voices names no one") << QStringList {"name old|1|A", "name|3|A", "name|1| "}
                                                          << changes({C::Missing, C::Missing, C::EmptyName}) << "";
}

void TestSpeakers::profileStore()
{
    QFETCH(QStringList, steps);
    QFETCH(QVector<int>, changes);
    QFETCH(QString, profiles);
    QTemporaryDir dataDir;
    const std::vector<SpeakerModel::Stats> stored {voice(0, 0), voice(1, 0)};
    // The documents' records as a conversion leaves them, through the file.
    Timings::Record record;
    record.sourcePath = dataDir.filePath("talk.wav");
    record.sentences = TimedSentences::sentencesOf(QStringLiteral("Hi.@0-300; Hello.@600-900"));
    record.sentences[0].speaker = 1;
    record.sentences[1].speaker = 2;
    record.speakerNames = QStringList {"说话人 1", "说话人 2"};
    record.labelSuffix = QStringLiteral("：");
    Timings::Record old = record;
    record.voices = stored;
    QString error;
    QVERIFY(Timings::write(dataDir.path(), "/docs/talk.txt", record, &error));
    QVERIFY(Timings::write(dataDir.path(), "/docs/old.txt", old, &error));
    QVERIFY(Timings::read(dataDir.path(), "/docs/talk.txt", &record));
    QVERIFY(Timings::read(dataDir.path(), "/docs/old.txt", &old));
    QCOMPARE(record.voices.size(), size_t(2));
    QVERIFY(old.voices.empty());
    for (int i = 0; i < steps.size(); ++i) {
        const QStringList step = steps.at(i).split(QLatin1Char('|'));
        VoiceProfiles store(dataDir.path());
        QVERIFY(store.load(&error));
        VoiceProfiles::Change change;
        if (step[0] == "add")
            change = store.add(step[1], stored.at(size_t(step[2].toInt())));
        else if (step[0] == "rename")
            change = store.rename(step[1], step[2]);
        else if (step[0] == "remove")
            change = store.remove(step[1]);
        else
            change = VoiceProfiles::rememberSpeaker(
                dataDir.path(), step[0] == "name" ? record : old, step[1].toInt(), step[2], &error);
        QCOMPARE(int(change), changes.at(i));
        if (!step[0].startsWith("name"))
            QVERIFY2(store.save(&error), qPrintable(error));
    }
    VoiceProfiles store(dataDir.path());
    QVERIFY2(store.load(&error), qPrintable(error));
    QStringList found;
    for (const VoiceProfiles::Profile &profile : store.profiles()) {
        QStringList merged;
        SpeakerModel::Stats expected;
        for (int v = 0; v < int(stored.size()); ++v) {
            if (profile.voices.contains(VoiceProfiles::fingerprint(stored[size_t(v)]))) {
                merged << QString::number(v);
                expected.add(stored[size_t(v)]);
            }
        }
        found << profile.name + "=" + merged.join('+');
        // The statistics are the voices' own sums, nothing lost in the file.
        QCOMPARE(profile.stats.count, expected.count);
        for (int d = 0; d < SpeakerModel::dims; ++d)
            QVERIFY(qAbs(profile.stats.sum[size_t(d)] - expected.sum[size_t(d)]) <= 1e-6 * expected.count);
    }
    QCOMPARE(found.join('|'), profiles);
}

void TestSpeakers::recordVoices_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<int>("voices");

    Timings::Record record;
    record.sourcePath = QStringLiteral("/music/talk.mp3");
    record.sentences = TimedSentences::sentencesOf(QStringLiteral("Hi.@0-300; Hello.@600-900"));
    record.sentences[1].speaker = 2;
    record.speakerNames = QStringList {"Speaker 1", "Speaker 2"};
    record.labelSuffix = QStringLiteral(": ");
    const QByteArray without = Timings::toJson(record);
    record.voices = {voice(0, 0, 3000), voice(1, 0, 3000)};
    const QByteArray with = Timings::toJson(record);
    QTest::newRow("voices kept") << with << true << 2;
    QTest::newRow("a record from before voices were kept") << without << true << 0;
    QByteArray more = with;
    more.replace(R"("speakers":["Speaker 1","Speaker 2"])", R"("speakers":["Speaker 1","Speaker 2","3"])");
    QTest::newRow("voices that do not fit the speakers: read without them") << more << true << 0;
    QTest::newRow("a voice's numbers as text: read without them")
        << QByteArray(with).replace(R"("sum":[)", R"("sum":["1",)") << true << 0;
    Timings::Record oneFrame = record;
    oneFrame.voices[1].count = 1;
    QTest::newRow("a voice of one frame: read without them") << Timings::toJson(oneFrame) << true << 0;
}

// The voices are one more member of the record: old records read as before, and a reader that does not
// know them finds the record it knows.
void TestSpeakers::recordVoices()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, readable);
    QFETCH(int, voices);
    Timings::Record record;
    QCOMPARE(Timings::fromJson(json, &record), readable);
    QCOMPARE(int(record.voices.size()), voices);
    QCOMPARE(record.sentences.value(1).speaker, 2);
    QVERIFY(record.speakerNames.size() >= 2);
    if (voices > 0) {
        QCOMPARE(Timings::toJson(record), json);
        QJsonObject root = QJsonDocument::fromJson(json).object();
        root.remove(QStringLiteral("voices"));
        record.voices.clear();
        QCOMPARE(QJsonDocument(root).toJson(QJsonDocument::Compact), Timings::toJson(record));
    }
}

QTEST_GUILESS_MAIN(TestSpeakers)
#include "tst_speakers.moc"
