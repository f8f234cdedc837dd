// Prints the command line's figures beside the window's: the wall time of one 10-minute English conversion
// through each, against the same speech service in one run; the longest event-loop stall of the window's
// run; and the program's peak memory for a 4- and a 20-minute file through each.
#include "benchutil.h"
#include "conversiontestutil.h"

#include "common/programcopy.h"
#include "common/speechtestutil.h"

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace BenchUtil;
using namespace ConversionTest;

namespace {

struct Outcome
{
    double wallSeconds = -1;
    qint64 peakKiB = -1;
    QString messages;
};

// `seconds` of the English passage spoken again and again, as a 44.1 kHz stereo MP3.
QString englishMp3(const QString &folder, const QString &passageWav, int seconds)
{
    const QString mp3 = QStringLiteral("%1/english-%2s.mp3").arg(folder).arg(seconds);
    const bool made = runFfmpeg({"-stream_loop", "-1", "-i", passageWav, "-t", QString::number(seconds), "-ar", "44100",
        "-ac", "2", "-b:a", "128k", mp3});
    return made ? mp3 : QString();
}

// Runs a process to its end on a live event loop (the scripted service may be in this process), reading
// its peak memory every 20 ms meanwhile.
Outcome runProcess(QProcess &process)
{
    Outcome outcome;
    QElapsedTimer clock;
    clock.start();
    if (!process.waitForStarted(10000))
        return outcome;
    const QString pid = QString::number(process.processId());
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { outcome.peakKiB = qMax(outcome.peakKiB, peakMemoryKiB(pid)); });
    poll.start(20);
    if (!runUntil([&] { return process.state() == QProcess::NotRunning; }, 3600000))
        return outcome;
    outcome.wallSeconds = clock.elapsed() / 1000.0;
    outcome.messages = QString::fromUtf8(process.readAllStandardError()).trimmed().section('\n', -1)
        + QStringLiteral(" (exit %1)").arg(process.exitCode());
    return outcome;
}

Outcome throughCommandLine(const QString &serviceHost, const QString &file)
{
    ProgramCopy program(serviceHost, 0);
    QProcess process;
    program.start(process, {"--convert", "--language", "en", file});
    return runProcess(process);
}

// The window in this process, so that its event loop's stalls are seen.
Outcome throughWindow(const QString &serviceHost, const QString &file, qint64 *stallMs)
{
    Fixture f;
    f.useSpeechService(serviceHost);
    f.window->testSeams.parallelRequests = 0;
    f.addTask(file);
    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    f.window->slotBeginCover();
    Outcome outcome;
    if (!runUntil([&] { return f.idle(); }, 3600000))
        return outcome;
    outcome.wallSeconds = clock.elapsed() / 1000.0;
    outcome.messages = f.notices.join(QStringLiteral(" | "));
    *stallMs = stalls.worstMs;
    return outcome;
}

// The window in a process of its own ("--window FILE HOST"), so that its peak memory is its alone.
Outcome windowProcess(const QString &serviceHost, const QString &file)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), {"--window", file, serviceHost});
    Outcome outcome = runProcess(process);
    outcome.messages = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return outcome;
}

int windowChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    Fixture f;
    f.window->testSeams.serviceHost = QString::fromLocal8Bit(argv[3]);
    f.window->testSeams.parallelRequests = 0;
    f.addTask(QString::fromLocal8Bit(argv[2]));
    f.window->slotBeginCover();
    const bool done = runUntil([&] { return f.idle(); }, 3600000);
    std::printf("%s\n", qUtf8Printable(done ? f.notices.join(QStringLiteral(" | ")) : QStringLiteral("unfinished")));
    return 0;
}

void wallTimes(const QString &passageWav, const QString &folder)
{
    SpeechTestUtil::SpeechServiceProcess service;
    if (!service.start()) {
        std::printf("the speech service did not start: %s\n", qPrintable(service.log()));
        return;
    }
    const QString ten = englishMp3(folder, passageWav, 600);
    const QString warmUp = englishMp3(folder, passageWav, 5);
    if (ten.isEmpty() || warmUp.isEmpty())
        return;
    throughCommandLine(service.hostAndPort(), warmUp); // the service's models are loaded before timing
    std::printf("10-minute English MP3, our own service, automatic parallel requests (the order alternates):\n");
    double sums[2] = {0, 0}; // window, command line
    qint64 worstStallMs = 0;
    for (int round = 0; round < 2; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool window = (round + turn) % 2 == 0;
            qint64 stallMs = -1;
            const Outcome run = window ? throughWindow(service.hostAndPort(), ten, &stallMs)
                                       : throughCommandLine(service.hostAndPort(), ten);
            sums[window ? 0 : 1] += run.wallSeconds;
            worstStallMs = qMax(worstStallMs, stallMs);
            std::printf("  %-12s wall %6.1f s   %s\n", window ? "window" : "command line", run.wallSeconds,
                window ? qUtf8Printable(
                    QStringLiteral("longest event-loop stall %1 ms   %2").arg(stallMs).arg(run.messages))
                       : qUtf8Printable(run.messages));
            std::fflush(stdout);
        }
    }
    std::printf("  wall, two runs each: window %.1f s, command line %.1f s, command line / window %.3f (goal <= 1.05); "
                "longest stall of the window's runs %lld ms (goal <= 20)\n",
        sums[0], sums[1], sums[1] / sums[0], worstStallMs);
}

// The lowest of three peaks: how requests happen to overlap moves a single peak by a few MB.
qint64 lowestPeak(const std::function<Outcome()> &run, QString *range)
{
    QList<qint64> peaks;
    for (int i = 0; i < 3; ++i)
        peaks << run().peakKiB;
    std::sort(peaks.begin(), peaks.end());
    *range = QStringLiteral("%1-%2 MB").arg(peaks.first() / 1024.0, 0, 'f', 1).arg(peaks.last() / 1024.0, 0, 'f', 1);
    return peaks.first();
}

void peakMemory(const QString &passageWav, const QString &folder)
{
    // A scripted service answers at once, so the figures are the program's own, not the decoders' pace.
    ScriptedServer server;
    server.healthWorkers = 2;
    const int minutes[2] = {4, 20};
    qint64 cli[2];
    qint64 window[2];
    for (int i = 0; i < 2; ++i) {
        const QString file = englishMp3(folder, passageWav, minutes[i] * 60);
        QString cliRange;
        QString windowRange;
        // The bodies the server keeps are this process's memory, not the program's.
        cli[i] = lowestPeak(
            [&] {
                server.requests.clear();
                return throughCommandLine(server.hostAndPort(), file);
            },
            &cliRange);
        window[i] = lowestPeak(
            [&] {
                server.requests.clear();
                return windowProcess(server.hostAndPort(), file);
            },
            &windowRange);
        std::printf(
            "peak memory, %2d-minute MP3, lowest of 3 (range): command line %.1f MB (%s), window %.1f MB (%s)\n",
            minutes[i], cli[i] / 1024.0, qUtf8Printable(cliRange), window[i] / 1024.0, qUtf8Printable(windowRange));
    }
    const double span = minutes[1] - minutes[0];
    std::printf("growth per minute of audio: command line %.0f kB, window %.0f kB (goal <= 50 kB; peak <= 120 MB)\n",
        (cli[1] - cli[0]) / span, (window[1] - window[0]) / span);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && qstrcmp(argv[1], "--window") == 0)
        return windowChild(argc, argv);
    QApplication app(argc, argv);
    QTemporaryDir folder;
    QFile text(QStringLiteral(QUILLORA_SOURCE_DIR "/tests/conversion/fixtures/english-passage.txt"));
    if (!folder.isValid() || !text.open(QIODevice::ReadOnly))
        return 1;
    const QString passage
        = SpeechTestUtil::makeEnglishWav(folder.path(), QStringLiteral("passage"), QString::fromUtf8(text.readAll()));
    if (passage.isEmpty())
        return 1;
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (only != QLatin1String("memory"))
        wallTimes(passage, folder.path());
    if (only != QLatin1String("wall"))
        peakMemory(passage, folder.path());
    return 0;
}
