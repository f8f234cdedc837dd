#include "common/timedsentences.h"
#include "pipeline/wordalign.h"

#include <QtTest>

using TimedSentences::sentencesOf;
using TimedSentences::writtenOf;

class TestWordAlign : public QObject
{
    Q_OBJECT

private slots:
    void realigned_data();
    void realigned();
    void lookups_data();
    void lookups();
    void longTranscriptKeepsUnchangedWords();
};

void TestWordAlign::realigned_data()
{
    QTest::addColumn<QString>("timed"); // the record before the edit
    QTest::addColumn<QString>("text"); // the document after it
    QTest::addColumn<QString>("expected");

    const QString two = "Hi@100-400 there.@400-900; Go@2000-2300 on.@2300-2800";
    QTest::newRow("unchanged, new line ends") << two << "Hi there.\n\nGo on.\n" << two;
    QTest::newRow("replaced one for one") << two << "Hi where. Go on."
                                          << "Hi@100-400 where.@400-900; Go@2000-2300 on.@2300-2800";
    QTest::newRow("replaced two by one: its span") << two << "Hello. Go on."
                                                   << "Hello.@100-900; Go@2000-2300 on.@2300-2800";
    QTest::newRow("one replaced by two: shared by length")
        << two << "Hi there. Go away now."
        << "Hi@100-400 there.@400-900; Go@2000-2300 away@2300-2550 now.@2550-2800";
    QTest::newRow("inserted between neighbours")
        << two << "Hi there. Well, Go on."
        << "Hi@100-400 there.@400-900 Well,@900-2000; Go@2000-2300 on.@2300-2800";
    QTest::newRow("inserted at the start") << two << "Oh Hi there. Go on."
                                           << "Oh@100-100 Hi@100-400 there.@400-900; Go@2000-2300 on.@2300-2800";
    QTest::newRow("inserted at the end") << two << "Hi there. Go on. Bye"
                                         << "Hi@100-400 there.@400-900; Go@2000-2300 on.@2300-2800 Bye@2800-2800";
    QTest::newRow("deleted, a whole sentence") << two << "Go on."
                                               << "Go@2000-2300 on.@2300-2800";
    QTest::newRow("deleted inside") << two << "Hi there. on."
                                    << "Hi@100-400 there.@400-900; on.@2300-2800";
    QTest::newRow("all changed") << two << "a b c d"
                                 << "a@100-400 b@400-900; c@2000-2300 d@2300-2800";
    QTest::newRow("all changed, fewer") << two << "x"
                                        << "x@100-2800";
    QTest::newRow("emptied") << two << " \n"
                             << "";
    QTest::newRow("no timed words") << ""
                                    << "Hi there."
                                    << "";
    QTest::newRow("sentence without word times") << "=One two three@0-1200"
                                                 << "One too three"
                                                 << "One@0-342 too@342-685 three@685-1200";
}

void TestWordAlign::realigned()
{
    QFETCH(QString, timed);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QVector<TimedSentence> result = WordAlign::realigned(sentencesOf(timed), text);
    QCOMPARE(writtenOf(result), expected);
    for (const TimedSentence &sentence : result) {
        QVERIFY(sentence.startMs <= sentence.endMs);
        QCOMPARE(sentence.startMs, sentence.words.first().startMs);
        QCOMPARE(sentence.endMs, sentence.words.last().endMs);
    }
}

void TestWordAlign::lookups_data()
{
    QTest::addColumn<int>("offset"); // in "Hi there.\n\nGo on."
    QTest::addColumn<int>("word");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<int>("spoken");

    QTest::newRow("start of the first word") << 0 << 0 << qint64(100) << 0;
    QTest::newRow("end of a word is still it") << 9 << 1 << qint64(899) << 1;
    QTest::newRow("between paragraphs: the next word") << 10 << 2 << qint64(1500) << 1;
    QTest::newRow("past the end: the last word") << 40 << 3 << qint64(99000) << 3;
    QTest::newRow("before any speech") << 12 << 2 << qint64(50) << -1;
}

void TestWordAlign::lookups()
{
    QFETCH(int, offset);
    QFETCH(int, word);
    QFETCH(qint64, ms);
    QFETCH(int, spoken);
    const WordAlign::Timeline timeline(
        "Hi there.\n\nGo on.", sentencesOf("Hi@100-400 there.@400-900; Go@2000-2300 on.@2300-2800"));
    QCOMPARE(timeline.wordAt(offset), word);
    QCOMPARE(timeline.wordAtTime(ms), spoken);
    QCOMPARE(WordAlign::Timeline("no times", {}).wordAt(0), -1);
}

// Two corrections far apart in 30,000 words: every other word keeps its own times.
void TestWordAlign::longTranscriptKeepsUnchangedWords()
{
    QVector<TimedSentence> sentences(3000);
    QStringList words;
    for (int s = 0; s < sentences.size(); ++s) {
        for (int w = 0; w < 10; ++w) {
            const int i = s * 10 + w;
            sentences[s].words.append({QStringLiteral("w%1").arg(i % 97), i * 360LL, i * 360LL + 300});
            words << sentences[s].words.last().text;
        }
        sentences[s].startMs = sentences[s].words.first().startMs;
        sentences[s].endMs = sentences[s].words.last().endMs;
    }
    words[100] = QStringLiteral("fixed");
    words.removeAt(29000);
    const QVector<WordAlign::Placed> placed = WordAlign::place(words, sentences);
    QCOMPARE(placed.size(), words.size());
    for (int i = 0; i < placed.size(); ++i) {
        const int old = i < 29000 ? i : i + 1;
        QCOMPARE(placed.at(i).startMs, old * 360LL);
        QCOMPARE(placed.at(i).sentence, old / 10);
    }
}

QTEST_GUILESS_MAIN(TestWordAlign)
#include "tst_wordalign.moc"
