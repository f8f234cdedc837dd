#include "common/speechhttp.h"
#include "common/speechtestutil.h"
#include "pipeline/audioprep.h"
#include "pipeline/cutplan.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"
#include "pipeline/subtitles.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace SpeechTestUtil;

namespace {

QString writeWav(const QString &path, const QByteArray &pcm)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(wavBytes(pcm)) < 0)
        return QString();
    return path;
}

// A WAV file sent as one segment through the program's own client, its reply decoded.
SpeechProtocol::RecognitionOutcome recognise(
    const SpeechServiceProcess &service, const QString &token, const QString &wav, qint64 segmentMs = -1)
{
    QtHttpClass client;
    QSignalSpy finished(&client, &QtHttpClass::sigReplyFinish);
    client.httpPost(SpeechProtocol::RecognitionRequest, service.config().recognitionUrl(),
        SpeechProtocol::buildRecognitionBody(wav, token, QStringLiteral("00-11-22-33-44-55"), QStringLiteral("英文")));
    if (!finished.wait(120000))
        return SpeechProtocol::RecognitionOutcome();
    return SpeechProtocol::decodeRecognitionReply(finished.first().at(1).toByteArray(), segmentMs);
}

// The recognised words of a WAV file, lower case without punctuation, with times.
QVector<TimedWord> recognisedWords(const SpeechServiceProcess &service, const QString &token, const QString &wav)
{
    QVector<TimedWord> words;
    for (const TimedSentence &sentence : recognise(service, token, wav).sentences) {
        for (TimedWord word : sentence.words) {
            word.text = normalizedWords(word.text).value(0);
            words.append(word);
        }
    }
    return words;
}

} // namespace

class TestSpeechdSentences : public QObject
{
    Q_OBJECT

private slots:
    void sentencesStartAtTheirOnsets();
    void wordAcrossTheMinuteIsRecognisedWhole();
};

// Sentences spoken one by one and joined with known pauses, sent as one segment through the
// program's own client: each recognised sentence starts where its speech does, the text reads as
// sentences and paragraphs, and the subtitles made of it are read whole by ffmpeg.
void TestSpeechdSentences::sentencesStartAtTheirOnsets()
{
    const QStringList sentences = {
        "Please open the window because it is very warm in this room.",
        "My brother bought a new car last week and drove it to the city.",
        "The train to London leaves at half past seven every morning.",
        "She likes to read books about history and science in the evening.",
    };
    QTemporaryDir dir;
    const SpokenSentences spoken = speakSentences(dir.path(), sentences, {0.8, 2.6, 1.2, 0.0});
    QVERIFY(spoken.ok);
    const QByteArray &pcm = spoken.pcm;
    const QVector<qint64> &onsets = spoken.onsetsMs;
    const QStringList &reference = spoken.words;
    const qint64 segmentMs = pcm.size() / 32;
    QVERIFY(segmentMs < 60000);
    const QString segment = writeWav(dir.filePath(QStringLiteral("0.wav")), pcm);
    QVERIFY(!segment.isEmpty());

    SpeechServiceProcess service;
    QVERIFY2(service.start(), qPrintable(service.log()));
    QNetworkAccessManager network;
    const QString token = fetchToken(network, service);
    QVERIFY(!token.isEmpty());
    const SpeechProtocol::RecognitionOutcome outcome = recognise(service, token, segment, segmentMs);
    QCOMPARE(outcome.kind, SpeechProtocol::RecognitionOutcome::Success);
    QVERIFY(outcome.hasTimes);
    qInfo("result[0]: %s", qPrintable(outcome.text));

    QStringList texts;
    for (const TimedSentence &sentence : outcome.sentences) {
        qInfo("%lld-%lld %s", sentence.startMs, sentence.endMs, qPrintable(sentence.text));
        QVERIFY(sentence.text.at(0).isUpper());
        QVERIFY(sentence.text.endsWith(QLatin1Char('.')));
        texts << sentence.text;
    }
    for (const qint64 onset : onsets) {
        qint64 nearest = segmentMs;
        for (const TimedSentence &sentence : outcome.sentences)
            nearest = qMin(nearest, qAbs(sentence.startMs - onset));
        QVERIFY2(nearest <= 300,
            qPrintable(QStringLiteral("onset %1 ms: nearest sentence %2 ms away").arg(onset).arg(nearest)));
    }
    // The text is the sentences, with an empty line at the one pause of over two seconds.
    QCOMPARE(outcome.text.count(QStringLiteral("\n\n")), 1);
    QCOMPARE(QString(outcome.text).replace(QStringLiteral("\n\n"), QStringLiteral(" ")), texts.join(QLatin1Char(' ')));
    const int distance = wordEditDistance(reference, normalizedWords(outcome.text));
    QVERIFY2(distance * 2 <= reference.size(), qPrintable(outcome.text));

    const QString srt = dir.filePath(QStringLiteral("talk.srt"));
    const QVector<Subtitles::Cue> cues = Subtitles::buildCues(outcome.sentences);
    QVERIFY(cues.size() >= 4);
    QFile srtFile(srt);
    QVERIFY(srtFile.open(QIODevice::WriteOnly));
    srtFile.write(Subtitles::fileText(cues, Subtitles::SubRip));
    srtFile.close();
    QCOMPARE(cuesFfmpegReads(srt), cues.size());
    qInfo("%s", Subtitles::fileText(cues, Subtitles::SubRip).left(400).constData());
}

// A word whose middle lies at 60 s: cut at 60 s it is split in two, cut in the pause before its sentence
// it is recognised whole.
void TestSpeechdSentences::wordAcrossTheMinuteIsRecognisedWhole()
{
    const QString word = QStringLiteral("weather");
    QTemporaryDir dir;
    SpeechServiceProcess service;
    QVERIFY2(service.start(), qPrintable(service.log()));
    QNetworkAccessManager network;
    const QString token = fetchToken(network, service);
    QVERIFY(!token.isEmpty());

    const QString sentenceWav = makeEnglishWav(
        dir.path(), QStringLiteral("target"), QStringLiteral("The weather is nice today and we will go for a walk."));
    const QByteArray sentence = pcmOfWav(sentenceWav);
    qint64 wordMiddleMs = -1;
    for (const TimedWord &recognised : recognisedWords(service, token, sentenceWav)) {
        if (recognised.text == word)
            wordMiddleMs = (recognised.startMs + recognised.endMs) / 2;
    }
    QVERIFY2(wordMiddleMs > 0, "the word is recognised in its sentence alone");

    // Other speech, half-second pauses, up to about 50 s; then silence that puts the word's middle at 60 s.
    const QByteArray filler = pcmOfWav(makeEnglishWav(dir.path(), QStringLiteral("filler"),
        QStringLiteral("Please open the window because it is very warm in this room. My brother bought a new car.")));
    QByteArray pcm;
    while (pcm.size() / 32 + filler.size() / 32 + 500 < 50000)
        pcm += filler + QByteArray(16000, '\0');
    pcm += QByteArray(int((60000 - wordMiddleMs) * 32 - pcm.size()), '\0');
    pcm += sentence + filler;
    const QString source = writeWav(dir.filePath(QStringLiteral("source_16k.wav")), pcm);

    const QVector<qint64> inPauses = CutPlan::planCutsInPauses(CutPlan::energyEnvelope(pcm.constData(), pcm.size()));
    QCOMPARE(inPauses.size(), 1);
    QVERIFY(inPauses.first() < 6000 - wordMiddleMs / 10);
    const QVector<QVector<qint64>> plans = {CutPlan::planCutsEvery(pcm.size() / 320), inPauses};
    QVector<int> found;
    for (int plan = 0; plan < plans.size(); ++plan) {
        const QString folder = dir.filePath(QStringLiteral("plan%1").arg(plan));
        QVERIFY(QDir().mkpath(folder));
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"), AudioPrep::segmentMuxerArguments(source, folder, plans[plan]));
        QVERIFY(ffmpeg.waitForFinished(60000));
        QCOMPARE(ffmpeg.exitCode(), 0);
        // The segment after the cut: the first second of it holds the word, whole or its second half.
        const QVector<TimedWord> words = recognisedWords(service, token, folder + QStringLiteral("/1.wav"));
        QStringList texts;
        for (const TimedWord &recognised : words)
            texts << recognised.text;
        qInfo("cut at %.2f s: %s", plans[plan].first() / 100.0, qPrintable(texts.join(QLatin1Char(' '))));
        found << int(texts.mid(0, 4).contains(word));
    }
    QCOMPARE(found, (QVector<int> {0, 1})); // split at 60 s, whole when cut in the pause
}

QTEST_GUILESS_MAIN(TestSpeechdSentences)
#include "tst_speechdsentences.moc"
