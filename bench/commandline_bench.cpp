// Prints the command line's figures beside the window's: the wall time of one 10-minute English conversion
// through each, against the same speech service in one run; the longest event-loop stall of the window's
// run; and the program's peak memory for a 4- and a 20-minute file through each.
#include "benchutil.h"
#include "conversiontestutil.h"

#include "common/programcopy.h"
#include "common/speechtestutil.h"

#include <QApplication>
#include <QTest>

#include <cstdio>

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
    qint64 stallMs = -1;
    const Outcome window = throughWindow(service.hostAndPort(), ten, &stallMs);
    const Outcome cli = throughCommandLine(service.hostAndPort(), ten);
    std::printf("10-minute English MP3, our own service, automatic parallel requests:\n"
                "  window        wall %7.1f s   longest event-loop stall %lld ms (goal <= 20)   %s\n"
                "  command line  wall %7.1f s   peak memory %.1f MB   %s\n"
                "  command line / window: %.3f (goal <= 1.05)\n",
        window.wallSeconds, stallMs, qUtf8Printable(window.messages), cli.wallSeconds, cli.peakKiB / 1024.0,
        qUtf8Printable(cli.messages), cli.wallSeconds / window.wallSeconds);
}

void peakMemory(const QString &passageWav, const QString &folder)
{
    // A scripted service answers at once, so the figures are the program's own, not the decoders' pace.
    ScriptedServer server;
    server.healthWorkers = 2;
    const int minutes[2] = {4, 20};
    Outcome cli[2];
    Outcome window[2];
    for (int i = 0; i < 2; ++i) {
        const QString file = englishMp3(folder, passageWav, minutes[i] * 60);
        cli[i] = throughCommandLine(server.hostAndPort(), file);
        window[i] = windowProcess(server.hostAndPort(), file);
        server.requests.clear(); // the bodies it keeps are this process's, not the program's
        std::printf("peak memory, %2d-minute MP3: command line %.1f MB (%s), window %.1f MB (%s)\n", minutes[i],
            cli[i].peakKiB / 1024.0, qUtf8Printable(cli[i].messages), window[i].peakKiB / 1024.0,
            qUtf8Printable(window[i].messages));
    }
    const double span = minutes[1] - minutes[0];
    std::printf("growth per minute of audio: command line %.0f kB, window %.0f kB (goal <= 50 kB; peak <= 120 MB)\n",
        (cli[1].peakKiB - cli[0].peakKiB) / span, (window[1].peakKiB - window[0].peakKiB) / span);
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
