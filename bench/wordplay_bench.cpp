// What playing a document's words costs on a 3-hour transcript (30,000 words) with a 3-hour source:
// the answer to a Ctrl+click (until the player plays at the word), one highlight update, the timeline
// rebuilt after an edit, saving with two corrections (alignment and both files), and the longest
// event-loop stall while the highlight follows 10 s of playback.
#include "benchutil.h"

#include "../tests/media/pulsefixture.h"
#include "common/windowfixture.h"
#include "media/phononbackend.h"

#include "pipeline/timings.h"
#include "ui/library/mylistwidget.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace BenchUtil;

namespace {

constexpr int wordCount = 30000;
constexpr qint64 wordMs = 360;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

double worst(const std::vector<double> &values)
{
    return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

// Sentences of ten words, a paragraph every five sentences; word i from i * 360 ms for 300 ms.
QString makeDocument(QVector<TimedSentence> *sentences)
{
    QString text;
    for (int i = 0; i < wordCount; ++i) {
        if (i % 10 == 0)
            sentences->append(TimedSentence());
        TimedWord word {QStringLiteral("word%1").arg(i % 500), i * wordMs, i * wordMs + 300};
        if (i % 10 == 9)
            word.text += QLatin1Char('.');
        TimedSentence &sentence = sentences->last();
        sentence.words.append(word);
        sentence.text += (sentence.text.isEmpty() ? QString() : QStringLiteral(" ")) + word.text;
        sentence.startMs = sentence.words.first().startMs;
        sentence.endMs = word.endMs;
        text += word.text + (i % 50 == 49 ? QStringLiteral("\n\n") : QStringLiteral(" "));
    }
    return text.trimmed() + QLatin1Char('\n');
}

QPoint pointOf(QTextEdit *view, int offset)
{
    QTextCursor at(view->document());
    at.setPosition(offset + 1);
    return view->cursorRect(at).center();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PulseFixture pulse;
    if (!pulse.start()) {
        std::fprintf(stderr, "PulseAudio: %s\n", qPrintable(pulse.error()));
        return 1;
    }
    WindowFixture fixture;
    const QString source = fixture.appDir.filePath(QStringLiteral("three-hours.wav"));
    QElapsedTimer clock;
    clock.start();
    if (QProcess::execute(QStringLiteral("ffmpeg"),
            {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=220:sample_rate=8000", "-t",
                QString::number(wordCount * wordMs / 1000), "-ac", "1", source})
        != 0)
        return 1;
    std::printf(
        "source: %d s of 8 kHz mono WAV, made in %.1f s\n", int(wordCount * wordMs / 1000), clock.elapsed() / 1000.0);

    QVector<TimedSentence> sentences;
    const QString text = makeDocument(&sentences);
    fixture.write(QStringLiteral("myWordFiles/lecture.txt"), text.toUtf8());
    const QString document = fixture.path(QStringLiteral("myWordFiles/lecture.txt"));
    Timings::Record record {source, Timings::checksumOf(text), sentences};
    Timings::write(AppState::dataDir, document, record, nullptr);
    Widget *w = fixture.start();
    w->resize(1024, 728);
    clock.restart();
    w->slotWordOpen(w->wordList->findItems(QStringLiteral("lecture.txt"), Qt::MatchExactly).value(0));
    std::printf("document: %d words, %d characters, opened in %lld ms\n", wordCount, int(text.size()), clock.elapsed());
    const QVector<WordAlign::TextWord> words = WordAlign::splitWords(text);

    std::vector<double> handlerMs, answerMs;
    for (const int word : {15000, 2000, 27000, 9000, 21000}) {
        // Scrolled to the word as a reader would be, then clicked.
        QTextCursor at(w->wordTextEdit->document());
        at.setPosition(words.at(word).offset);
        w->wordTextEdit->setTextCursor(at);
        w->wordTextEdit->ensureCursorVisible();
        const QPoint point = pointOf(w->wordTextEdit, words.at(word).offset);
        clock.restart();
        QTest::mouseClick(w->wordTextEdit->viewport(), Qt::LeftButton, Qt::ControlModifier, point);
        handlerMs.push_back(clock.nsecsElapsed() / 1e6);
        const qint64 start = word * wordMs;
        runUntil(
            [&] {
                return w->mediaObject.state() == Phonon::PlayingState && w->pendingSeekMs < 0
                    && qAbs(w->mediaObject.currentTime() - start) < 300;
            },
            10000);
        answerMs.push_back(clock.nsecsElapsed() / 1e6);
        runUntil([] { return false; }, 300);
    }
    std::printf("Ctrl+click to playing at the word: median %.1f ms, worst %.1f ms (the click's own handling: "
                "median %.2f ms, worst %.2f ms; 5 clicks)\n",
        median(answerMs), worst(answerMs), median(handlerMs), worst(handlerMs));

    std::vector<double> highlightMs;
    for (int i = 0; i < 200; ++i) {
        w->spokenOffset = -1; // as when the next word is reached
        clock.restart();
        w->updateSpokenWord();
        highlightMs.push_back(clock.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }
    std::printf("highlight update (new word): median %.3f ms, worst %.3f ms (200 updates)\n", median(highlightMs),
        worst(highlightMs));

    {
        StallMeter stalls;
        runUntil([] { return false; }, 10000);
        std::printf("longest event-loop stall while following 10 s of playback: %lld ms\n", stalls.worstMs);
    }

    // Typing while following: the first update after an edit rebuilds the word timeline.
    QTextCursor edit(w->wordTextEdit->document());
    edit.setPosition(words.at(100).offset);
    edit.insertText(QStringLiteral("inserted "));
    clock.restart();
    w->viewTimeline();
    std::printf("word timeline rebuilt after an edit: %.1f ms\n", clock.nsecsElapsed() / 1e6);

    edit.setPosition(words.at(29000).offset + 10);
    edit.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    edit.insertText(QStringLiteral("corrected"));
    const QString edited = w->wordTextEdit->toPlainText();
    clock.restart();
    const QVector<TimedSentence> aligned = WordAlign::realigned(sentences, edited);
    const double alignMs = clock.nsecsElapsed() / 1e6;
    clock.restart();
    const QString failure = w->writeOpenDocument();
    const double saveMs = clock.nsecsElapsed() / 1e6;
    Timings::Record saved;
    const bool written = Timings::read(AppState::dataDir, document, &saved)
        && saved.textChecksum == Timings::checksumOf(edited) && failure.isEmpty();
    std::printf("save with two corrections: alignment %.1f ms, document and timings written in %.1f ms (%s, %d "
                "sentences)\n",
        alignMs, saveMs, written ? "record matches" : "RECORD MISSING", int(aligned.size()));
    w->stopBtn->click();
    std::printf("command: bench/wordplay_bench.sh\n");
    return written ? 0 : 1;
}
