#include "common/speechtestutil.h"

#include "pipeline/conversionengine.h"
#include "pipeline/runtexts.h"
#include "pipeline/subtitles.h"
#include "pipeline/timings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace SpeechTestUtil;

// A file of more than a minute converted by the engine through our own speech service: the
// document's timings hold each sentence where it is spoken in the file, and its subtitles read whole.
class TestTimedConversion : public QObject
{
    Q_OBJECT
private slots:
    void subtitlesStartAtTheSpokenSentences();
};

void TestTimedConversion::subtitlesStartAtTheSpokenSentences()
{
    const QStringList sentences = everydaySentences();
    QTemporaryDir dir;
    const SpokenSentences spoken = speakSentences(dir.path(), sentences, QVector<double>(sentences.size(), 4.5));
    QVERIFY(spoken.ok);
    QVERIFY2(
        spoken.onsetsMs.last() > 62000, qPrintable(QStringLiteral("last onset %1 ms").arg(spoken.onsetsMs.last())));
    const QString task = dir.filePath(QStringLiteral("spoken sentences.wav"));
    {
        QFile file(task);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(wavBytes(spoken.pcm)) > 0);
    }

    SpeechServiceProcess service;
    QVERIFY2(service.start(), qPrintable(service.log()));
    ConversionEngine::Options options;
    options.service = service.config();
    options.dataDir = dir.filePath(QStringLiteral("data"));
    options.appDir = options.dataDir;
    options.machineId = QStringLiteral("timed-test");
    ConversionEngine engine(options);
    QStringList tasks {task};
    QString document;
    QStringList ends;
    connect(&engine, &ConversionEngine::documentWritten, this, [&](const QString &done, const QString &path) {
        tasks.removeOne(done);
        document = path;
    });
    connect(&engine, &ConversionEngine::runEnded, this,
        [&](const ConversionEngine::RunEnd &end) { ends << RunTexts::endMessage(end); });
    QVERIFY(engine.start(QStringLiteral("英文"), [&tasks] { return tasks.value(0); }));
    QVERIFY(QTest::qWaitFor([&engine] { return !engine.isRunning(); }, 600000));
    QCOMPARE(ends, QStringList {"文件已经全部转换完成！"});

    QFile text(document);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QString documentText = QString::fromLocal8Bit(text.readAll());
    Timings::Record record;
    QVERIFY(Timings::read(options.dataDir, document, &record));
    QCOMPARE(record.sourcePath, task);
    QCOMPARE(record.textChecksum, Timings::checksumOf(documentText));
    QVERIFY2(wordEditDistance(spoken.words, normalizedWords(documentText)) * 2 <= spoken.words.size(),
        qPrintable(documentText));

    const QVector<Subtitles::Cue> cues = Subtitles::buildCues(record.sentences);
    const QString srt = dir.filePath(QStringLiteral("spoken sentences.srt"));
    QFile srtFile(srt);
    QVERIFY(srtFile.open(QIODevice::WriteOnly));
    srtFile.write(Subtitles::fileText(cues, Subtitles::SubRip));
    srtFile.close();
    QCOMPARE(cuesFfmpegReads(srt), cues.size());
    qInfo("%s\n%s", qPrintable(documentText), Subtitles::fileText(cues, Subtitles::SubRip).constData());
    for (const qint64 onset : spoken.onsetsMs) {
        qint64 nearest = onset;
        for (const Subtitles::Cue &cue : cues)
            nearest = qMin(nearest, qAbs(cue.startMs - onset));
        QVERIFY2(
            nearest <= 300, qPrintable(QStringLiteral("onset %1 ms: nearest cue %2 ms away").arg(onset).arg(nearest)));
    }
}

QTEST_GUILESS_MAIN(TestTimedConversion)
#include "tst_timedconversion.moc"
