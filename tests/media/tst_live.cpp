#include "common/smalldisk.h"
#include "common/speechtestutil.h"
#include "common/testmain.h"
#include "common/windowfixture.h"
#include "media/recorder.h"
#include "pipeline/livetranscription.h"
#include "pipeline/timings.h"
#include "pulsefixture.h"
#include "ui/widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

using namespace SpeechTestUtil;

// Live text of recordings from a virtual microphone that hears espeak-ng English, recognised by our
// own speech service.
class TestLive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textAppearsWhileRecording();
    void stopMidUtteranceKeepsItsWords();
    void closingWritesTheTextSoFar();
    void fullDiskKeepsTheText();
    // Last: it stops the service the others use.
    void serviceStoppedMidRecording();

private:
    // The speech as a file the microphone hears, after a second of silence.
    QString speechFile(
        const QString &name, const QStringList &sentences, const QVector<double> &pauses, SpokenSentences *spoken);
    Widget *startRecording(const QString &speech);
    QStringList documentWords(Widget *window) const;

    PulseFixture pulse;
    SpeechServiceProcess service;
    WindowFixture fixture;
    QTemporaryDir media;
    QElapsedTimer speaking; // since the speech began playing
};

void TestLive::initTestCase()
{
    QVERIFY2(pulse.start(), qPrintable(pulse.error()));
    QVERIFY2(service.start(), qPrintable(service.log()));
    // Off until the user turns it on; the recorder is then as it always was.
    QVERIFY(!fixture.start()->liveCheck->isChecked());
}

QString TestLive::speechFile(
    const QString &name, const QStringList &sentences, const QVector<double> &pauses, SpokenSentences *spoken)
{
    *spoken = speakSentences(media.path(), sentences, pauses);
    const QString path = media.filePath(name + QStringLiteral(".wav"));
    QFile file(path);
    if (!spoken->ok || !file.open(QIODevice::WriteOnly))
        return QString();
    file.write(wavBytes(QByteArray(32000, '\0') + spoken->pcm));
    return path;
}

Widget *TestLive::startRecording(const QString &speech)
{
    Widget *window = fixture.start();
    window->testSeams.serviceHost = service.hostAndPort();
    window->testSeams.clientId = testClientId();
    window->testSeams.clientSecret = testClientSecret();
    window->languageBox->setCurrentIndex(window->languageBox->findData(QStringLiteral("英文")));
    window->liveCheck->setChecked(true);
    fixture.notices.clear();
    window->recordBtn->click();
    // ffmpeg takes a moment to open the microphone: the speech begins once the file grows.
    if (!window->live || !QTest::qWaitFor([window] { return window->live->audioReadMs() > 200; }, 10000))
        return nullptr;
    if (!window->recorder->isRecording() || !pulse.startSpeech(speech))
        return nullptr;
    speaking.start();
    return window;
}

QStringList TestLive::documentWords(Widget *window) const
{
    QFile file(window->wordFilePath);
    return file.open(QIODevice::ReadOnly) ? normalizedWords(QString::fromLocal8Bit(file.readAll())) : QStringList();
}

void TestLive::textAppearsWhileRecording()
{
    SpokenSentences spoken;
    const QString speech = speechFile(QStringLiteral("three"),
        {QStringLiteral("Please open the window because it is very warm in this room."),
            QStringLiteral("The train to London leaves at half past seven every morning."),
            QStringLiteral("We walked along the river and watched the boats go by.")},
        {2.0, 2.0, 1.5}, &spoken);
    QVERIFY(!speech.isEmpty());
    Widget *window = startRecording(speech);
    QVERIFY(window);

    // The first sentence is in the view while the recording goes on.
    QTRY_VERIFY_WITH_TIMEOUT(!window->wordTextEdit->toPlainText().trimmed().isEmpty(), 15000);
    QVERIFY(window->recorder->isRecording());
    QVERIFY(!window->wordTextEdit->isHidden());
    QVERIFY(window->wordFilePath.isEmpty());
    QTest::qWait(int(std::max<qint64>(0, 1000 + spoken.pcm.size() / 32 - speaking.elapsed())));
    window->recordBtn->click();
    const QString recording = window->recorder->recordFilePath();
    // The stop returns at once; the recording is listed once ffmpeg has finished the file.
    QTRY_VERIFY_WITH_TIMEOUT(window->recordBtn->isEnabled(), 10000);
    QVERIFY(window->wavFiles.contains(recording));

    // The view belongs to the document named after the recording, written with its timings.
    QTRY_VERIFY_WITH_TIMEOUT(!window->wordFilePath.isEmpty(), 20000);
    const QString document = AppState::dataDir + QStringLiteral("/myWordFiles/")
        + QFileInfo(recording).completeBaseName() + QStringLiteral(".txt");
    QCOMPARE(window->wordFilePath, document);
    QVERIFY(window->wordFiles.contains(document));
    const QStringList words = documentWords(window);
    QCOMPARE(normalizedWords(window->wordTextEdit->toPlainText()), words);
    const double wer = double(wordEditDistance(spoken.words, words)) / spoken.words.size();
    QVERIFY2(wer < 0.5, qPrintable(QStringLiteral("WER %1: %2").arg(wer).arg(words.join(' '))));
    Timings::Record record;
    QVERIFY(Timings::read(AppState::dataDir, document, &record));
    QCOMPARE(record.sourcePath, recording);
    QVERIFY(record.sentences.size() >= 3);
    for (int i = 1; i < record.sentences.size(); ++i)
        QVERIFY(record.sentences.at(i).startMs >= record.sentences.at(i - 1).endMs);
    QVERIFY2(fixture.notices.isEmpty(), qPrintable(fixture.notices.join('\n')));
    QVERIFY(window->closeWordBtn->isEnabled());
}

void TestLive::stopMidUtteranceKeepsItsWords()
{
    SpokenSentences spoken;
    const QString speech = speechFile(QStringLiteral("long"),
        {QStringLiteral("Please open the window because it is very warm in this room and the children want to "
                        "play outside with their mother.")},
        {0.0}, &spoken);
    QVERIFY(!speech.isEmpty());
    Widget *window = startRecording(speech);
    QVERIFY(window);
    // Stopped in the middle of the sentence, before any pause could end it.
    QTest::qWait(int(1000 + spoken.onsetsMs.value(0) + 2500 - speaking.elapsed()));
    QVERIFY(window->wordTextEdit->toPlainText().trimmed().isEmpty());
    window->recordBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->wordFilePath.isEmpty(), 20000);
    const QStringList words = documentWords(window);
    const QStringList opening = normalizedWords(QStringLiteral("please open the window because"));
    const int heard = int(
        std::count_if(opening.cbegin(), opening.cend(), [&words](const QString &w) { return words.contains(w); }));
    QVERIFY2(heard >= 2, qPrintable(words.join(' ')));
    QVERIFY(!words.contains(QStringLiteral("mother")));
    QVERIFY(fixture.notices.isEmpty());
}

void TestLive::closingWritesTheTextSoFar()
{
    SpokenSentences spoken;
    const QString speech = speechFile(QStringLiteral("closed"),
        {QStringLiteral("The weather is nice today and we will go for a walk."),
            QStringLiteral("Our teacher told us a story about a small town by the sea.")},
        {2.0, 2.0}, &spoken);
    QVERIFY(!speech.isEmpty());
    Widget *window = startRecording(speech);
    QVERIFY(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window->wordTextEdit->toPlainText().trimmed().isEmpty(), 15000);
    const QString shown = window->wordTextEdit->toPlainText();
    const QString recording = window->recorder->recordFilePath();
    window->slotClose();
    // The file as a close leaves it, and the text shown so far as its document, for the next start.
    QVERIFY(QFileInfo(recording).size() > 44);
    QFile document(AppState::dataDir + QStringLiteral("/myWordFiles/") + QFileInfo(recording).completeBaseName()
        + QStringLiteral(".txt"));
    QVERIFY(document.open(QIODevice::ReadOnly));
    QCOMPARE(normalizedWords(QString::fromLocal8Bit(document.readAll())), normalizedWords(shown));
    QVERIFY(fixture.notices.isEmpty());
    // Remembered for the next start, like the language.
    QVERIFY(fixture.start()->liveCheck->isChecked());
}

// The disk fills while recording: the recording stops, the document cannot be written, and the text
// stays in the view belonging to it; a save while the disk is full says so, and once there is room
// the corrected text is written there with its timings.
void TestLive::fullDiskKeepsTheText()
{
    if (!SmallDisk::available())
        QSKIP("mounting a small file system needs root and a mount namespace of the test's own");
    SpokenSentences spoken;
    const QString speech = speechFile(QStringLiteral("full"),
        {QStringLiteral("The weather is nice today and we will go for a walk."),
            QStringLiteral("Our teacher told us a story about a small town by the sea.")},
        {2.0, 2.0}, &spoken);
    QVERIFY(!speech.isEmpty());
    SmallDisk::Mount disk(fixture.appPath(), 16384);
    QVERIFY(disk.mounted());
    Widget *window = startRecording(speech);
    QVERIFY(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window->wordTextEdit->toPlainText().trimmed().isEmpty(), 45000);
    const QString recording = window->recorder->recordFilePath();
    QVERIFY(disk.fill());

    QTRY_COMPARE_WITH_TIMEOUT(fixture.notices.size(), 2, 20000);
    // The recording's message and the document's, in the order their ends arrive.
    const QString stopped = fixture.notices.filter(QStringLiteral("录音已停止：磁盘空间已满")).value(0);
    const QString document = fixture.path("myWordFiles/" + QFileInfo(recording).completeBaseName() + ".txt");
    const QString unsaved
        = fixture.notices.filter(QStringLiteral("无法保存文本文档“%1”").arg(QFileInfo(document).fileName())).value(0);
    QVERIFY2(!stopped.isEmpty() && unsaved.contains(QStringLiteral("按“关闭文档”（Ctrl+W）即可保存")),
        qPrintable(fixture.notices.join('\n')));
    QVERIFY(!QFile::exists(document));
    QCOMPARE(window->wordFilePath, document);
    QTextCursor end(window->wordTextEdit->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("Corrected."));
    const QString corrected = window->wordTextEdit->toPlainText();

    window->closeWordBtn->click();
    QCOMPARE(fixture.notices.value(2),
        QStringLiteral("文档保存失败：磁盘空间已满，“%1”未能保存！").arg(QFileInfo(document).fileName()));
    QVERIFY(!window->wordTextEdit->isHidden());
    QVERIFY(disk.drain());
    window->closeWordBtn->click();
    QCOMPARE(fixture.notices.size(), 3);
    QVERIFY(window->wordTextEdit->isHidden());
    QFile written(document);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(written.readAll()), corrected);
    QVERIFY(window->wordFiles.contains(document));
    Timings::Record record;
    QVERIFY(Timings::read(AppState::dataDir, document, &record));
    QCOMPARE(record.sourcePath, recording);
    QCOMPARE(record.textChecksum, Timings::checksumOf(corrected));
    fixture.window.reset();
}

void TestLive::serviceStoppedMidRecording()
{
    SpokenSentences spoken;
    const QString speech = speechFile(QStringLiteral("interrupted"),
        {QStringLiteral("My brother bought a new car last week and drove it to the city."),
            QStringLiteral("She likes to read books about history and science in the evening.")},
        {2.5, 2.0}, &spoken);
    QVERIFY(!speech.isEmpty());
    Widget *window = startRecording(speech);
    QVERIFY(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window->wordTextEdit->toPlainText().trimmed().isEmpty(), 15000);
    const QString firstText = window->wordTextEdit->toPlainText();
    service.stop();

    // The next utterance finds no service: a message, the text kept, the recording untouched.
    QTRY_VERIFY_WITH_TIMEOUT(!fixture.notices.isEmpty(), 20000);
    QVERIFY2(fixture.notices.first().contains(QStringLiteral("边录边转已停止")), qPrintable(fixture.notices.first()));
    QVERIFY(fixture.notices.first().contains(QStringLiteral("录音仍在继续")));
    QVERIFY(window->recorder->isRecording());
    QCOMPARE(window->wordTextEdit->toPlainText(), firstText);
    const qint64 heardMs = window->live->audioReadMs();
    QTest::qWait(3000);
    window->recordBtn->click();
    const QString recording = window->recorder->recordFilePath();
    // The stop returns at once; the recording is listed once ffmpeg has finished the file.
    QTRY_VERIFY_WITH_TIMEOUT(window->recordBtn->isEnabled(), 10000);
    QVERIFY(window->wavFiles.contains(recording));
    QCOMPARE(fixture.notices.size(), 1);
    // The whole recording, not the part before the failure: 32000 bytes a second after the header.
    const qint64 recordedMs = QFileInfo(recording).size() / 32;
    QVERIFY2(recordedMs > heardMs + 2500,
        qPrintable(QStringLiteral("%1 ms recorded, %2 ms when live text stopped").arg(recordedMs).arg(heardMs)));
    // The text so far is the document.
    QTRY_VERIFY_WITH_TIMEOUT(!window->wordFilePath.isEmpty(), 5000);
    QCOMPARE(documentWords(window), normalizedWords(firstText));
}

QUILLORA_TEST_MAIN(TestLive, {}, SmallDisk::enterPrivateMounts)
#include "tst_live.moc"
