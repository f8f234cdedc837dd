#include "common/timedsentences.h"
#include "pipeline/runprogress.h"
#include "pipeline/subtitles.h"
#include "pipeline/timings.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using Subtitles::Cue;
using TimedSentences::sentencesOf;

namespace {

QString cuesText(const QVector<Cue> &cues)
{
    QStringList items;
    for (const Cue &cue : cues)
        items << QStringLiteral("%1-%2 %3").arg(cue.startMs).arg(cue.endMs).arg(cue.lines.join(QLatin1Char('/')));
    return items.join(QStringLiteral("; "));
}

QString words(int count, qint64 msEach, const QString &word = QStringLiteral("word"))
{
    QStringList items;
    for (int i = 0; i < count; ++i)
        items << QStringLiteral("%1@%2-%3").arg(word).arg(i * msEach).arg((i + 1) * msEach);
    return items.join(QLatin1Char(' '));
}

} // namespace

class TestSubtitles : public QObject
{
    Q_OBJECT

private slots:
    void cues_data();
    void cues();
    void cueRulesHoldOnLongSpeech();
    void speakerLabels_data();
    void speakerLabels();
    void timestamps_data();
    void timestamps();
    void ffmpegReadsEveryCue_data();
    void ffmpegReadsEveryCue();
    void record_data();
    void record();
    void recordShiftsEachSegment();
    void progressKeepsPlanAndTimes_data();
    void progressKeepsPlanAndTimes();
};

void TestSubtitles::cues_data()
{
    QTest::addColumn<QString>("sentences");
    QTest::addColumn<QString>("cues");

    QTest::newRow("nothing") << ""
                             << "";
    QTest::newRow("one short sentence") << "Hi@100-400 there.@400-900"
                                        << "100-900 Hi there.";
    QTest::newRow("each sentence its own cue, 40 ms apart") << "Hi.@0-500; Go.@500-900"
                                                            << "0-460 Hi.; 500-900 Go.";
    QTest::newRow("a wide gap is kept") << "Hi.@0-500; Go.@2000-2400"
                                        << "0-500 Hi.; 2000-2400 Go.";
    // Nine five-letter words and spaces are 53 characters: the line breaks after the seventh.
    QTest::newRow("two lines of at most 42")
        << words(9, 300, QStringLiteral("abcde")) << "0-2700 abcde abcde abcde abcde abcde abcde abcde/abcde abcde";
    QTest::newRow("a third line starts a new cue")
        << words(15, 300, QStringLiteral("abcde"))
        << "0-4160 abcde abcde abcde abcde abcde abcde abcde/abcde abcde abcde abcde abcde abcde abcde; "
           "4200-4500 abcde";
    QTest::newRow("at most 7 s a cue") << words(8, 1000, QStringLiteral("ab"))
                                       << "0-6960 ab ab ab ab ab ab ab; 7000-8000 ab";
    QTest::newRow("a word longer than a line stands alone")
        << QStringLiteral("a@0-100 %1@100-600 b@600-700").arg(QString(50, QLatin1Char('x')))
        << QStringLiteral("0-60 a; 100-560 %1; 600-700 b").arg(QString(50, QLatin1Char('x')));
    QTest::newRow("a word longer than 7 s is cut to 7 s") << "Long.@0-9000"
                                                          << "0-7000 Long.";
    // Spread by length (with a space): "seven" ends at 34/49 of the span, "eight" would end past 7 s.
    QTest::newRow("no word times: spread over the span")
        << "=one two three four five six seven eight nine ten@0-10000"
        << "0-6898 one two three four five six seven; 6938-10000 eight nine ten";
    QTest::newRow("overlapping sentences are pushed apart") << "Hi.@0-500; Go.@10-300"
                                                            << "0-500 Hi.; 540-830 Go.";
}

void TestSubtitles::cues()
{
    QFETCH(QString, sentences);
    QFETCH(QString, cues);
    QCOMPARE(cuesText(Subtitles::buildCues(sentencesOf(sentences))), cues);
}

void TestSubtitles::cueRulesHoldOnLongSpeech()
{
    // Words of every length at every pace: the limits hold for each cue and between each pair.
    QVector<TimedSentence> sentences;
    qint64 at = 0;
    for (int s = 0; s < 40; ++s) {
        TimedSentence sentence;
        sentence.startMs = at;
        for (int w = 0; w < 5 + s % 17; ++w) {
            TimedWord word {QString((w * 7 + s) % 13 + 1, QLatin1Char('a' + w % 26)), at, at + 80 + (w * 37 + s) % 900};
            at = word.endMs + (w % 4 == 0 ? 0 : 20);
            sentence.words.append(word);
        }
        sentence.endMs = at;
        sentences.append(sentence);
    }
    const QVector<Cue> cues = Subtitles::buildCues(sentences);
    QVERIFY(cues.size() > 40);
    for (int i = 0; i < cues.size(); ++i) {
        QVERIFY(cues[i].endMs > cues[i].startMs);
        QVERIFY(cues[i].endMs - cues[i].startMs <= 7000);
        QVERIFY(cues[i].lines.size() <= 2);
        for (const QString &line : cues[i].lines)
            QVERIFY2(line.size() <= 42, qPrintable(line));
        if (i > 0)
            QVERIFY(cues[i].startMs - cues[i - 1].endMs >= 40);
    }
}

void TestSubtitles::timestamps_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("srt");
    QTest::addColumn<QString>("vtt");
    QTest::newRow("zero") << qint64(0) << "00:00:00,000"
                          << "00:00:00.000";
    QTest::newRow("every field") << qint64(3723456) << "01:02:03,456"
                                 << "01:02:03.456";
    QTest::newRow("past a day of hours") << qint64(100 * 3600000LL + 59999) << "100:00:59,999"
                                         << "100:00:59.999";
    QTest::newRow("negative clamps") << qint64(-5) << "00:00:00,000"
                                     << "00:00:00.000";
}

void TestSubtitles::timestamps()
{
    QFETCH(qint64, ms);
    QFETCH(QString, srt);
    QFETCH(QString, vtt);
    QCOMPARE(Subtitles::timestamp(ms, Subtitles::SubRip), srt);
    QCOMPARE(Subtitles::timestamp(ms, Subtitles::WebVtt), vtt);
}

void TestSubtitles::ffmpegReadsEveryCue_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("SubRip") << ".srt";
    QTest::newRow("WebVTT") << ".vtt";
}

void TestSubtitles::ffmpegReadsEveryCue()
{
    QFETCH(QString, suffix);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("talk") + suffix);
    const QVector<Cue> cues = Subtitles::buildCues(
        sentencesOf(QStringLiteral("Héllo@0-400 wörld.@400-900; =%1@1500-20000; End.@61000-61500")
                        .arg(QStringLiteral("one two three four five six seven eight nine ten eleven twelve"))));
    const QByteArray text = Subtitles::fileText(cues, Subtitles::formatForPath(path));
    QVERIFY(!text.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(text.startsWith("WEBVTT\n\n"), suffix == QLatin1String(".vtt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();

    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-i"), path,
            QStringLiteral("-f"), QStringLiteral("srt"), QStringLiteral("-")});
    QVERIFY(ffmpeg.waitForFinished(30000));
    QCOMPARE(ffmpeg.exitCode(), 0);
    const QString read = QString::fromUtf8(ffmpeg.readAllStandardOutput());
    QCOMPARE(read.count(QStringLiteral(" --> ")), cues.size());
    for (const Cue &cue : cues) {
        QVERIFY2(read.contains(Subtitles::timestamp(cue.startMs, Subtitles::SubRip) + QStringLiteral(" --> ")
                     + Subtitles::timestamp(cue.endMs, Subtitles::SubRip)),
            qPrintable(read));
        QVERIFY(read.contains(cue.lines.first()));
    }
}

void TestSubtitles::record_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("readable");

    Timings::Record good;
    good.sourcePath = QStringLiteral("/music/talk.mp3");
    good.textChecksum = Timings::checksumOf(QStringLiteral("Hi."));
    good.sentences = sentencesOf(QStringLiteral("Hi.@100-400"));
    const QByteArray json = Timings::toJson(good);
    QTest::newRow("written record") << json << true;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("truncated") << json.left(json.size() / 2) << false;
    QTest::newRow("not an object") << QByteArray("[1,2]") << false;
    QTest::newRow("another version") << QByteArray(json).replace("\"version\":1", "\"version\":2") << false;
    QTest::newRow("no source") << QByteArray(json).replace("\"source\"", "\"sauce\"") << false;
    QTest::newRow("time as text") << QByteArray(json).replace("\"start\":100", "\"start\":\"100\"") << false;
    QTest::newRow("end before start") << QByteArray(json).replace("\"end\":400", "\"end\":50") << false;
    QTest::newRow("fractional time") << QByteArray(json).replace("\"start\":100", "\"start\":100.5") << false;
    Timings::Record labelled = good;
    labelled.sentences[0].speaker = 2;
    labelled.sentences[0].uncertain = true;
    labelled.speakerNames = QStringList {QStringLiteral("Speaker 1"), QStringLiteral("Speaker 2")};
    labelled.labelSuffix = QStringLiteral(": ");
    const QByteArray withSpeakers = Timings::toJson(labelled);
    QTest::newRow("with speakers") << withSpeakers << true;
    QTest::newRow("speaker beyond the names")
        << QByteArray(withSpeakers).replace("\"speaker\":2", "\"speaker\":3") << false;
    QTest::newRow("speaker as text") << QByteArray(withSpeakers).replace("\"speaker\":2", "\"speaker\":\"2\"") << false;
}

void TestSubtitles::record()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, readable);
    Timings::Record record;
    QCOMPARE(Timings::fromJson(json, &record), readable);
    if (readable) {
        QCOMPARE(record.sourcePath, QStringLiteral("/music/talk.mp3"));
        QCOMPARE(record.sentences.size(), 1);
        QCOMPARE(record.sentences[0].words[0].startMs, 100);
        QCOMPARE(record.textChecksum, Timings::checksumOf(QStringLiteral("Hi.")));
        QCOMPARE(Timings::toJson(record), json); // nothing of it lost, speakers included
    }
}

void TestSubtitles::speakerLabels_data()
{
    QTest::addColumn<QString>("sentences");
    QTest::addColumn<QVector<int>>("speakers");
    QTest::addColumn<QString>("srt");
    QTest::addColumn<QString>("vtt");
    QTest::newRow("each turn labelled once in SubRip, every cue a voice in WebVTT")
        << "Hi.@0-500; Yes.@1000-1500; And@2000-2200 you?@2200-2500" << QVector<int> {1, 1, 2}
        << "1\n00:00:00,000 --> 00:00:00,500\nSpeaker 1: Hi.\n\n2\n00:00:01,000 --> 00:00:01,500\nYes.\n\n"
           "3\n00:00:02,000 --> 00:00:02,500\nSpeaker 2: And you?\n\n"
        << "WEBVTT\n\n00:00:00.000 --> 00:00:00.500\n<v Speaker 1>Hi.\n\n00:00:01.000 --> 00:00:01.500\n<v "
           "Speaker 1>Yes.\n\n00:00:02.000 --> 00:00:02.500\n<v Speaker 2>And you?\n\n";
    QTest::newRow("no speakers, no labels")
        << "Hi.@0-500" << QVector<int> {0} << "1\n00:00:00,000 --> 00:00:00,500\nHi.\n\n"
        << "WEBVTT\n\n00:00:00.000 --> 00:00:00.500\nHi.\n\n";
}

void TestSubtitles::speakerLabels()
{
    QFETCH(QString, sentences);
    QFETCH(QVector<int>, speakers);
    QFETCH(QString, srt);
    QFETCH(QString, vtt);
    Timings::Record record;
    record.sentences = sentencesOf(sentences);
    for (int i = 0; i < record.sentences.size(); ++i)
        record.sentences[i].speaker = speakers.at(i);
    if (speakers.contains(1))
        record.speakerNames = QStringList {QStringLiteral("Speaker 1"), QStringLiteral("Speaker 2")};
    record.labelSuffix = QStringLiteral(": ");
    QCOMPARE(QString::fromUtf8(Subtitles::fileText(record, Subtitles::SubRip)), srt);
    QCOMPARE(QString::fromUtf8(Subtitles::fileText(record, Subtitles::WebVtt)), vtt);
}

void TestSubtitles::recordShiftsEachSegment()
{
    QTemporaryDir dataDir;
    const QVector<QVector<TimedSentence>> segments {
        sentencesOf(QStringLiteral("One.@100-500")), {}, sentencesOf(QStringLiteral("Two@0-200 three.@200-700"))};
    const Timings::Record record = Timings::recordFor(
        QStringLiteral("/a/talk.mp3"), QStringLiteral("One.\n\nTwo three.\n"), segments, {0, 58000, 116500});
    QCOMPARE(
        cuesText(Subtitles::buildCues(record.sentences)), QStringLiteral("100-500 One.; 116500-117200 Two three."));

    const QString document = dataDir.filePath(QStringLiteral("myWordFiles/talk.txt"));
    QString error;
    QVERIFY2(Timings::write(dataDir.path(), document, record, &error), qPrintable(error));
    QVERIFY(Timings::recordPath(dataDir.path(), document).startsWith(dataDir.path() + "/.quillora/timings/"));
    Timings::Record back;
    QVERIFY(Timings::read(dataDir.path(), document, &back));
    QCOMPARE(Timings::toJson(back), Timings::toJson(record));
    QVERIFY(!Timings::exists(dataDir.path(), document + QStringLiteral(".other")));
}

void TestSubtitles::progressKeepsPlanAndTimes_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("cuts");
    QTest::addColumn<QString>("times"); // each segment's cues, "|" between segments

    RunProgress progress(RunProgress::FileIdentity {QStringLiteral("/a/talk.mp3"), 10, 20}, QStringLiteral("英文"), 2);
    progress.setDone(0, true, QStringLiteral("Hi."));
    progress.setSentences(0, sentencesOf(QStringLiteral("Hi.@100-400")));
    progress.setCuts({5730});
    const QByteArray written = progress.toJson();
    QTest::newRow("written with plan and times") << written << "5730"
                                                 << "100-400 Hi.|";
    QTest::newRow("a record of before: texts only")
        << QByteArray(R"({"path":"/a/talk.mp3","size":10,"modified":20,"language":"英文","segments":["Hi.",null]})")
        << ""
        << "|";
    QTest::newRow("unreadable times are dropped")
        << QByteArray(written).replace("\"start\":100", "\"start\":\"x\"") << "5730"
        << "|";
    QTest::newRow("unreadable plan is dropped") << QByteArray(written).replace("[5730]", "[\"x\"]") << ""
                                                << "100-400 Hi.|";
}

// A resumed run keeps the cuts and the times of the segments done before; a record without them still reads.
void TestSubtitles::progressKeepsPlanAndTimes()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, cuts);
    QFETCH(QString, times);
    RunProgress progress;
    QVERIFY(RunProgress::fromJson(json, &progress));
    QCOMPARE(progress.texts(), QStringList {QStringLiteral("Hi.")});
    QStringList gotCuts;
    for (const qint64 cut : progress.cuts())
        gotCuts << QString::number(cut);
    QCOMPARE(gotCuts.join(QLatin1Char(',')), cuts);
    QStringList gotTimes;
    for (int k = 0; k < progress.segmentCount(); ++k)
        gotTimes << cuesText(Subtitles::buildCues(progress.sentences(k)));
    QCOMPARE(gotTimes.join(QLatin1Char('|')), times);
}

QTEST_GUILESS_MAIN(TestSubtitles)
#include "tst_subtitles.moc"
