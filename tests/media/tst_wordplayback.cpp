#include "audiofiles.h"
#include "common/testmain.h"
#include "common/windowfixture.h"
#include "pulsefixture.h"

#include "pipeline/timings.h"
#include "ui/library/mylistwidget.h"
#include "ui/theme.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

namespace {
const QStringList spoken = {"zero", "one", "two", "three", "four", "five", "six", "seven"};
const QString documentText = QStringLiteral("Zero one two three.\n\nFour five six seven.\n");
} // namespace

// The document view and the player together, through Phonon's GStreamer backend into a private
// PulseAudio null sink: eight spoken words one second apart, and the document of them with their times.
class TestWordPlayback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void ctrlClickPlaysFromTheWord_data();
    void ctrlClickPlaysFromTheWord();
    void highlightFollowsPauseSeekAndStop();
    void seekWhilePlaying();
    void anotherTaskTakesThePlayerBack();
    void untimedDocumentPlaysNothing_data();
    void untimedDocumentPlaysNothing();

private:
    // Opens count.txt, whose record says word i was spoken from i s to i s + 0.6 s.
    void openDocument(const QString &source);
    QPoint wordPoint(int word) const; // the middle of the view's word, in the viewport
    QString highlighted() const; // the text under the spoken word's highlight
    bool playingAt(qint64 ms) const; // playing, within 0.3 s of ms

    PulseFixture pulse;
    WindowFixture fixture;
    QString source;
    std::unique_ptr<Widget> &window = fixture.window;
};

void TestWordPlayback::initTestCase()
{
    QVERIFY2(pulse.start(), qPrintable(pulse.error()));
    source = fixture.appDir.filePath(QStringLiteral("count.wav"));
    QVERIFY(AudioFiles::makeSpokenWords(source, spoken, 1.0));
    QVERIFY(qAbs(AudioFiles::measure(source).seconds - 8.0) < 0.05);
}

void TestWordPlayback::init()
{
    fixture.notices.clear();
    fixture.start();
}

void TestWordPlayback::cleanup()
{
    window.reset();
}

void TestWordPlayback::openDocument(const QString &recordSource)
{
    QVERIFY(fixture.write(QStringLiteral("myWordFiles/count.txt"), documentText.toUtf8()));
    Timings::Record record;
    record.sourcePath = recordSource;
    record.textChecksum = Timings::checksumOf(documentText);
    for (int s = 0; s < 2; ++s) {
        TimedSentence sentence;
        for (int i = 4 * s; i < 4 * s + 4; ++i)
            sentence.words.append(
                {documentText.simplified().split(QLatin1Char(' ')).at(i), i * 1000LL, i * 1000LL + 600});
        sentence.startMs = sentence.words.first().startMs;
        sentence.endMs = sentence.words.last().endMs;
        record.sentences.append(sentence);
    }
    QVERIFY(Timings::write(AppState::dataDir, fixture.path(QStringLiteral("myWordFiles/count.txt")), record, nullptr));
    window->loadWordList();
    window->slotWordOpen(window->wordList->findItems(QStringLiteral("count.txt"), Qt::MatchExactly).value(0));
    QVERIFY(!window->wordTextEdit->isHidden());
}

QPoint TestWordPlayback::wordPoint(int word) const
{
    const int offset = documentText.indexOf(spoken.at(word), 0, Qt::CaseInsensitive) + 1;
    QTextCursor at(window->wordTextEdit->document());
    at.setPosition(offset);
    return window->wordTextEdit->cursorRect(at).center();
}

QString TestWordPlayback::highlighted() const
{
    for (const QTextEdit::ExtraSelection &selection : window->wordTextEdit->extraSelections()) {
        if (selection.format.background().color() == QColor(Theme::spokenWordColour))
            return selection.cursor.selectedText();
    }
    return QString();
}

bool TestWordPlayback::playingAt(qint64 ms) const
{
    return window->mediaObject.state() == Phonon::PlayingState && window->pendingSeekMs < 0
        && qAbs(window->mediaObject.currentTime() - ms) <= 300;
}

void TestWordPlayback::ctrlClickPlaysFromTheWord_data()
{
    QTest::addColumn<int>("word");
    QTest::newRow("third word") << 2;
    QTest::newRow("first of the second paragraph") << 4;
    QTest::newRow("last word") << 7;
}

void TestWordPlayback::ctrlClickPlaysFromTheWord()
{
    QFETCH(int, word);
    openDocument(source);
    QTest::mouseClick(window->wordTextEdit->viewport(), Qt::LeftButton, Qt::ControlModifier, wordPoint(word));
    QCOMPARE(window->playFilePath, source);
    QVERIFY(window->pauseBtn->isVisibleTo(window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(window->mediaObject.state() == Phonon::PlayingState && window->pendingSeekMs < 0
            && window->mediaObject.currentTime() > 0,
        5000);
    QVERIFY2(playingAt(word * 1000), qPrintable(QString::number(window->mediaObject.currentTime())));
    QCOMPARE(highlighted().toLower().remove('.'), spoken.at(word));
    QTRY_VERIFY(window->playTimeLabel->text().startsWith(QStringLiteral("00:00:0%1 / 00:00:08").arg(word)));
    // Nothing of the text changed, and nothing can be undone.
    QCOMPARE(window->wordTextEdit->toPlainText(), documentText);
    QVERIFY(!window->wordTextEdit->document()->isUndoAvailable());
    window->stopBtn->click();
}

void TestWordPlayback::highlightFollowsPauseSeekAndStop()
{
    openDocument(source);
    QTest::mouseClick(window->wordTextEdit->viewport(), Qt::LeftButton, Qt::ControlModifier, wordPoint(1));
    QTRY_VERIFY_WITH_TIMEOUT(playingAt(1000), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(highlighted(), QStringLiteral("one"), 3000);

    // F4 at the caret pauses; the highlight stays where playback is.
    QApplication::setActiveWindow(window.get());
    window->wordTextEdit->setFocus();
    QTRY_VERIFY(window->wordTextEdit->hasFocus());
    QTest::keyClick(window->wordTextEdit, Qt::Key_F4);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.state(), Phonon::PausedState, 3000);
    QCOMPARE(highlighted(), QStringLiteral("one"));
    QTest::keyClick(window->wordTextEdit, Qt::Key_Right, Qt::AltModifier);
    QTRY_COMPARE_WITH_TIMEOUT(highlighted(), QStringLiteral("six"), 3000);
    QTest::keyClick(window->wordTextEdit, Qt::Key_Left, Qt::AltModifier);
    QTRY_COMPARE_WITH_TIMEOUT(highlighted(), QStringLiteral("one"), 3000);

    window->stopBtn->click();
    QTRY_COMPARE_WITH_TIMEOUT(highlighted(), QString(), 3000);
    // F4 plays again from the word at the caret, the one clicked.
    QTest::keyClick(window->wordTextEdit, Qt::Key_F4);
    QTRY_VERIFY_WITH_TIMEOUT(playingAt(1000), 5000);
    // The end of the media takes the highlight away.
    QTRY_VERIFY_WITH_TIMEOUT(!window->playStarted, 12000);
    QCOMPARE(highlighted(), QString());
    QCOMPARE(window->wordTextEdit->toPlainText(), documentText);
}

// Once the back end has read the whole file it waits for a next source; a seek then must not wait with it.
void TestWordPlayback::seekWhilePlaying()
{
    openDocument(source);
    QTest::mouseClick(window->wordTextEdit->viewport(), Qt::LeftButton, Qt::ControlModifier, wordPoint(0));
    QTRY_VERIFY_WITH_TIMEOUT(playingAt(1000), 5000);
    for (int word : {6, 2}) {
        QElapsedTimer answered;
        answered.start();
        QTest::mouseClick(window->wordTextEdit->viewport(), Qt::LeftButton, Qt::ControlModifier, wordPoint(word));
        QVERIFY2(answered.elapsed() < 1000, qPrintable(QString::number(answered.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(playingAt(word * 1000 + 300), 2000);
    }
    window->stopBtn->click();
}

void TestWordPlayback::anotherTaskTakesThePlayerBack()
{
    const QString tone = fixture.appDir.filePath(QStringLiteral("tone.wav"));
    QVERIFY(AudioFiles::makeTone(tone, 2.0));
    openDocument(source);
    QTest::mouseClick(window->wordTextEdit->viewport(), Qt::LeftButton, Qt::ControlModifier, wordPoint(3));
    QTRY_VERIFY_WITH_TIMEOUT(playingAt(3000), 5000);
    QCOMPARE(window->addTask(tone), QString());
    window->audioCombo->setCurrentIndex(window->audioCombo->count() - 1);
    QVERIFY(!window->playerOnDocument);
    QCOMPARE(highlighted(), QString());
    window->playBtn->click();
    QCOMPARE(window->playFilePath, tone);
    QTRY_COMPARE_WITH_TIMEOUT(window->mediaObject.totalTime(), qint64(2000), 5000);
    window->stopBtn->click();
}

void TestWordPlayback::untimedDocumentPlaysNothing_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("notices");
    QTest::newRow("source gone: said once, naming it")
        << "source gone" << QStringList {"无法播放原音频：找不到文件“/nonexistent/count.wav”，它可能已被移动或删除。"};
    QTest::newRow("text changed elsewhere: the record counts as none, said once")
        << "text changed"
        << QStringList {
               "“count.txt”在别处被修改过，它的时间信息描述的是修改前的文字：不能再从词语播放，也不能导出字幕。"
               "重新转换原音频可以得到新的时间信息。"};
    QTest::newRow("no record") << "no record" << QStringList();
}

void TestWordPlayback::untimedDocumentPlaysNothing()
{
    QFETCH(QString, change);
    QFETCH(QStringList, notices);
    const QString document = fixture.path(QStringLiteral("myWordFiles/count.txt"));
    if (change == "source gone") {
        openDocument(QStringLiteral("/nonexistent/count.wav"));
    } else {
        openDocument(source);
        if (change == "no record")
            Timings::remove(AppState::dataDir, document);
        else
            QVERIFY(fixture.write(QStringLiteral("myWordFiles/count.txt"), "Zero one two.\n"));
        window->slotWordOpen(window->wordList->findItems(QStringLiteral("count.txt"), Qt::MatchExactly).value(0));
    }
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(window->wordTextEdit->viewport(), Qt::LeftButton, Qt::ControlModifier, wordPoint(1));
    QTest::keyClick(window->wordTextEdit, Qt::Key_F4);
    QCOMPARE(fixture.notices, notices);
    QVERIFY(!window->playStarted);
    QVERIFY(window->playFilePath.isEmpty());
    QCOMPARE(highlighted(), QString());
}

QUILLORA_TEST_MAIN(TestWordPlayback)
#include "tst_wordplayback.moc"
