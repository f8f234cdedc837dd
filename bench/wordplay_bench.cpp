// What playing a document's words costs on a 3-hour transcript (30,000 words) with a 3-hour source
// (8 kHz WAV; an MP3 with the argument "mp3"; or the file named): the answer to a Ctrl+click (until the
// player plays at the word, and until its tone is heard in the sink), one highlight update, the timeline
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
#include <ctime>
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

// The words clicked, and the ten-minute pieces of the source that sound: those holding them.
const int clickedWords[] = {15000, 2000, 27000, 9000, 21000};
constexpr int pieceSeconds = 600;

bool ffmpeg(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("ffmpeg"), QStringList {"-nostdin", "-loglevel", "error", "-y"} + arguments)
        == 0;
}

// Silence, with a tone in the pieces that hold a clicked word: one silent and one sounding piece
// encoded, then copied end to end (encoding three hours of MP3 would take longer than the bench).
bool makeSource(const QString &folder, bool mp3, const QString &path)
{
    const QStringList format = mp3 ? QStringList {"-ar", "44100", "-ac", "2", "-b:a", "128k"}
                                   : QStringList {"-ar", "8000", "-ac", "1", "-c:a", "pcm_s16le"};
    const QString suffix = mp3 ? QStringLiteral(".mp3") : QStringLiteral(".wav");
    const QString silent = folder + QStringLiteral("/silent") + suffix;
    const QString tone = folder + QStringLiteral("/tone") + suffix;
    const QString seconds = QString::number(pieceSeconds);
    if (!ffmpeg(QStringList {"-f", "lavfi", "-i", "anullsrc", "-t", seconds} + format + QStringList {silent})
        || !ffmpeg(
            QStringList {"-f", "lavfi", "-i", "sine=frequency=440", "-t", seconds} + format + QStringList {tone}))
        return false;
    QFile list(folder + QStringLiteral("/pieces.txt"));
    if (!list.open(QIODevice::WriteOnly))
        return false;
    for (int piece = 0; piece * pieceSeconds < wordCount * wordMs / 1000; ++piece) {
        bool sounds = false;
        for (const int word : clickedWords)
            sounds = sounds || word * wordMs / 1000 / pieceSeconds == piece;
        list.write(QStringLiteral("file '%1'\n").arg(sounds ? tone : silent).toUtf8());
    }
    list.close();
    return ffmpeg({"-f", "concat", "-safe", "0", "-i", list.fileName(), "-c", "copy", path});
}

// What reaches the sound server's sink: when a tone is first heard after arm().
class SoundWatch
{
public:
    SoundWatch()
    {
        QObject::connect(&capture, &QProcess::readyReadStandardOutput, [this] {
            const QByteArray bytes = capture.readAllStandardOutput();
            const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData());
            int loudest = 0;
            for (int i = 0; i < bytes.size() / 2; ++i)
                loudest = std::max(loudest, std::abs(int(samples[i])));
            if (loudest > 1000) {
                lastLoud.restart();
                if (armed.isValid() && heard < 0)
                    heard = armed.nsecsElapsed() / 1e6;
            }
        });
        lastLoud.start();
        capture.start(QStringLiteral("parec"),
            {"--device=nullsink.monitor", "--format=s16le", "--rate=8000", "--channels=1", "--latency-msec=10",
                "--raw"});
    }
    ~SoundWatch()
    {
        capture.kill();
        capture.waitForFinished();
    }
    void arm()
    {
        heard = -1;
        armed.start();
    }
    double heardMs() const { return heard; }
    qint64 silentForMs() const { return lastLoud.elapsed(); }

private:
    QProcess capture;
    QElapsedTimer armed;
    QElapsedTimer lastLoud;
    double heard = -1;
};

QPoint pointOf(QTextEdit *view, int offset)
{
    QTextCursor at(view->document());
    at.setPosition(offset + 1);
    return view->cursorRect(at).center();
}

} // namespace

// CPU time this process has used, every thread counted.
static double processCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

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
    // "mp3": the source is an MP3 as users bring them (44.1 kHz stereo, 128 kbit/s) instead of 8 kHz WAV;
    // a path: that file (3 hours or more).
    const QString choice = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const bool mp3 = choice == QLatin1String("mp3");
    WindowFixture fixture;
    QString source
        = fixture.appDir.filePath(mp3 ? QStringLiteral("three-hours.mp3") : QStringLiteral("three-hours.wav"));
    QElapsedTimer clock;
    clock.start();
    const bool made = choice.isEmpty() || mp3 ? makeSource(fixture.appDir.path(), mp3, source) : true;
    if (!choice.isEmpty() && !mp3)
        source = QFileInfo(choice).absoluteFilePath();
    if (!made)
        return 1;
    std::printf("source: %s (%s), ready in %.1f s\n", qPrintable(QFileInfo(source).fileName()),
        mp3                    ? "44.1 kHz stereo MP3 at 128 kbit/s"
            : choice.isEmpty() ? "8 kHz mono WAV"
                               : "given",
        clock.elapsed() / 1000.0);
    SoundWatch sound;

    QVector<TimedSentence> sentences;
    const QString text = makeDocument(&sentences);
    fixture.write(QStringLiteral("myWordFiles/lecture.txt"), text.toUtf8());
    const QString document = fixture.path(QStringLiteral("myWordFiles/lecture.txt"));
    Timings::Record record;
    record.sourcePath = source;
    record.textChecksum = Timings::checksumOf(text);
    record.sentences = sentences;
    Timings::write(AppState::dataDir, document, record, nullptr);
    Widget *w = fixture.start();
    w->resize(1024, 728);
    clock.restart();
    w->slotWordOpen(w->wordList->findItems(QStringLiteral("lecture.txt"), Qt::MatchExactly).value(0));
    std::printf("document: %d words, %d characters, opened in %lld ms\n", wordCount, int(text.size()), clock.elapsed());
    const QVector<WordAlign::TextWord> words = WordAlign::splitWords(text);

    std::vector<double> handlerMs, answerMs, playingMs, seekMs, soundMs;
    for (const int word : clickedWords) {
        // From silence: a tone sounds only where the clicked words are.
        w->slotPause();
        w->mediaObject.seek(0);
        runUntil([&] { return sound.silentForMs() > 300; }, 3000);
        // Scrolled to the word as a reader would be, then clicked.
        QTextCursor at(w->wordTextEdit->document());
        at.setPosition(words.at(word).offset);
        w->wordTextEdit->setTextCursor(at);
        w->wordTextEdit->ensureCursorVisible();
        const QPoint point = pointOf(w->wordTextEdit, words.at(word).offset);
        clock.restart();
        sound.arm();
        QTest::mouseClick(w->wordTextEdit->viewport(), Qt::LeftButton, Qt::ControlModifier, point);
        handlerMs.push_back(clock.nsecsElapsed() / 1e6);
        const qint64 start = word * wordMs;
        double playing = -1;
        double seekAsked = -1;
        runUntil(
            [&] {
                const bool isPlaying = w->mediaObject.state() == Phonon::PlayingState;
                if (isPlaying && playing < 0)
                    playing = clock.nsecsElapsed() / 1e6;
                if (w->pendingSeekMs < 0 && seekAsked < 0)
                    seekAsked = clock.nsecsElapsed() / 1e6;
                return isPlaying && w->pendingSeekMs < 0 && qAbs(w->mediaObject.currentTime() - start) < 300;
            },
            10000);
        answerMs.push_back(clock.nsecsElapsed() / 1e6);
        playingMs.push_back(playing);
        seekMs.push_back(answerMs.back() - seekAsked);
        runUntil([&] { return sound.heardMs() >= 0; }, 10000);
        soundMs.push_back(sound.heardMs());
        std::printf("  click at %lld s: playing after %.0f ms, seek asked at %.0f ms, at the word after %.0f ms, "
                    "heard after %.0f ms\n",
            start / 1000, playing, seekAsked, answerMs.back(), soundMs.back());
        runUntil([] { return false; }, 300);
    }
    std::printf("Ctrl+click to playing at the word: median %.1f ms, worst %.1f ms (the click's own handling: "
                "median %.2f ms, worst %.2f ms; 5 clicks)\n",
        median(answerMs), worst(answerMs), median(handlerMs), worst(handlerMs));
    std::printf("of which: first click's load to playing %.0f ms; from asking the seek to the word: median %.0f ms, "
                "worst %.0f ms\n",
        playingMs.front(), median(seekMs), worst(seekMs));
    std::printf(
        "Ctrl+click to the word heard in the sound server's sink: first click %.0f ms, the others median %.0f ms, "
        "worst %.0f ms (-1: not heard within 10 s)\n",
        soundMs.front(), median({soundMs.begin() + 1, soundMs.end()}), worst({soundMs.begin() + 1, soundMs.end()}));

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
        const double cpuBefore = processCpuSeconds();
        runUntil([] { return false; }, 10000);
        std::printf("longest event-loop stall while following 10 s of playback: %lld ms; the window's process used "
                    "%.1f %% of one core meanwhile (playback, highlight and all)\n",
            stalls.worstMs, (processCpuSeconds() - cpuBefore) * 10.0);
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
    std::printf("command: bench/wordplay_bench.sh %s\n", qPrintable(choice));
    return written ? 0 : 1;
}
