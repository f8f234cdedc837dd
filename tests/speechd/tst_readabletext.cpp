#include "speechd/readabletext.h"

#include <QStringList>
#include <QtTest>

using speechd::makeReadable;
using speechd::TimedWord;
using speechd::Utterance;

namespace {

// "hello@0-300 world@350-700 | again@2000-2400": words with their times, "|" between utterances.
std::vector<Utterance> utterancesOf(const QString &written)
{
    std::vector<Utterance> utterances;
    for (const QString &part : written.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        Utterance words;
        for (const QString &item : part.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList wordAndTimes = item.split(QLatin1Char('@'));
            const QStringList times = wordAndTimes.at(1).split(QLatin1Char('-'));
            words.push_back(TimedWord {wordAndTimes.at(0).toStdString(), times.at(0).toInt(), times.at(1).toInt()});
        }
        utterances.push_back(words);
    }
    return utterances;
}

} // namespace

class TestReadableText : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void decoderWords_data();
    void decoderWords();
};

void TestReadableText::rules_data()
{
    QTest::addColumn<QString>("utterances");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("spans"); // each sentence's start-end

    QTest::newRow("nothing") << ""
                             << ""
                             << "";
    QTest::newRow("one word") << "yes@100-400"
                              << "Yes."
                              << "100-400";
    QTest::newRow("capital and full stop") << "the@0-100 cat@100-400 sat@400-700"
                                           << "The cat sat."
                                           << "0-700";
    QTest::newRow("utterance end ends a sentence") << "it@0-100 rains@100-500 | we@600-700 stay@700-900"
                                                   << "It rains. We stay."
                                                   << "0-500 600-900";
    QTest::newRow("a frame both utterances claim goes to the first")
        << "it@0-100 rains@100-510 | we@500-700 stay@700-900"
        << "It rains. We stay."
        << "0-510 510-900";
    QTest::newRow("pause just under the threshold") << "it@0-100 rains@349-500"
                                                    << "It rains."
                                                    << "0-500";
    QTest::newRow("pause at the threshold ends a sentence") << "it@0-100 rains@350-500"
                                                            << "It. Rains."
                                                            << "0-100 350-500";
    QTest::newRow("i and its contractions")
        << "i@0-100 think@100-300 i'm@300-400 sure@400-600 i'll@600-700 say@700-800 i've@800-900 won@900-1000"
        << "I think I'm sure I'll say I've won."
        << "0-1000";
    QTest::newRow("words beginning with i stay") << "is@0-100 it@100-200 ice@200-300"
                                                 << "Is it ice."
                                                 << "0-300";
    QTest::newRow("titles and the name after them")
        << "ask@0-100 mr@100-200 john@200-300 and@300-400 mrs@400-500 dashwood@500-600 or@600-700 dr@700-800 "
           "lee@800-900 and@900-1000 ms@1000-1100 gray@1100-1200"
        << "Ask Mr. John and Mrs. Dashwood or Dr. Lee and Ms. Gray."
        << "0-1200";
    QTest::newRow("a title at the end gets no second stop") << "call@0-100 the@100-200 dr@200-300"
                                                            << "Call the Dr."
                                                            << "0-300";
    QTest::newRow("a pause of two seconds begins a paragraph") << "one@0-300 | two@2300-2600 | three@2700-3000"
                                                               << "One.\n\nTwo. Three."
                                                               << "0-300 2300-2600 2700-3000";
    QTest::newRow("just under two seconds does not") << "one@0-300 | two@2299-2600"
                                                     << "One. Two."
                                                     << "0-300 2299-2600";
}

void TestReadableText::rules()
{
    QFETCH(QString, utterances);
    QFETCH(QString, text);
    QFETCH(QString, spans);

    const speechd::ReadableText readable = makeReadable(utterancesOf(utterances), 250, 2000);
    QCOMPARE(QString::fromStdString(readable.text), text);
    QStringList gotSpans;
    for (const speechd::Sentence &sentence : readable.sentences) {
        gotSpans << QStringLiteral("%1-%2").arg(sentence.startMs).arg(sentence.endMs);
        QStringList words;
        for (const TimedWord &word : sentence.words)
            words << QString::fromStdString(word.text);
        // A cue made of a sentence's words reads as the sentence.
        QCOMPARE(words.join(QLatin1Char(' ')), QString::fromStdString(sentence.text));
    }
    QCOMPARE(gotSpans.join(QLatin1Char(' ')), spans);
}

void TestReadableText::decoderWords_data()
{
    QTest::addColumn<QString>("decoderWord");
    QTest::addColumn<QString>("spoken");

    QTest::newRow("plain") << "hello"
                           << "hello";
    QTest::newRow("pronunciation variant") << "read(2)"
                                           << "read";
    QTest::newRow("contraction") << "i'm"
                                 << "i'm";
    QTest::newRow("silence") << "<sil>"
                             << "";
    QTest::newRow("utterance start") << "<s>"
                                     << "";
    QTest::newRow("utterance end") << "</s>"
                                   << "";
    QTest::newRow("noise") << "[NOISE]"
                           << "";
    QTest::newRow("breath") << "++BREATH++"
                            << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestReadableText::decoderWords()
{
    QFETCH(QString, decoderWord);
    QFETCH(QString, spoken);
    QCOMPARE(QString::fromStdString(speechd::spokenWord(decoderWord.toUtf8().constData())), spoken);
}

QTEST_GUILESS_MAIN(TestReadableText)
#include "tst_readabletext.moc"
