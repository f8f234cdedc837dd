// Prints the conversion figures: preparation of a 60-minute MP3 against one bare ffmpeg transcode, and a
// 10-minute English conversion through our own speech service against the service's own decoding time,
// with the longest event-loop stall and the process's peak memory.
#include "benchutil.h"
#include "conversiontestutil.h"

#include "common/speechtestutil.h"
#include "pipeline/conversionengine_p.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>

using namespace BenchUtil;
using namespace ConversionTest;

namespace {

bool waitIdle(Fixture &f, int ms)
{
    return runUntil([&] { return f.idle(); }, ms);
}

// Preparation now overlaps recognition: it runs from start until the cutter has written the last segment,
// with the scripted service answering at once, so the cutter is held only for the moment a request takes.
void preparation(int minutes)
{
    Fixture f;
    f.window->testSeams.parallelRequests = 2; // as many as the service here has workers
    const QString mp3 = f.media.filePath(QStringLiteral("hour.mp3"));
    std::printf("making a %d-minute 44.1 kHz stereo MP3 ...\n", minutes);
    std::fflush(stdout);
    if (!runFfmpeg({"-f", "lavfi", "-i",
            QStringLiteral("anoisesrc=sample_rate=44100:amplitude=0.2:duration=%1").arg(minutes * 60), "-ac", "2",
            "-b:a", "128k", mp3})) {
        std::printf("could not make the MP3\n");
        return;
    }
    QElapsedTimer clock;
    clock.start();
    if (!runFfmpeg({"-i", mp3, "-acodec", "pcm_s16le", "-ac", "1", "-ar", "16000",
            f.media.filePath(QStringLiteral("bare.wav"))})) {
        std::printf("bare transcode failed\n");
        return;
    }
    const double bare = clock.elapsed() / 1000.0;
    QFile::remove(f.media.filePath(QStringLiteral("bare.wav")));

    // The scripted service runs in this process: the requests it keeps would count as the program's memory.
    int requests = 0;
    QObject::connect(&f.server, &ScriptedServer::requestReceived, [&] {
        requests += int(f.server.recognitionRequests().size());
        f.server.requests.clear();
    });
    f.addTask(mp3);
    QProcess *cutter = ConversionEngineTestAccess::cutProcess(f.window->conversionEngine);
    bool cut = false;
    QObject::connect(cutter, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), [&] { cut = true; });
    clock.restart();
    f.window->slotBeginCover();
    (void)runUntil([&] { return requests > 0 || f.idle(); }, 600000);
    const double firstRequest = clock.elapsed() / 1000.0;
    (void)runUntil([&] { return cut || f.idle(); }, 600000);
    const double prepared = clock.elapsed() / 1000.0;
    const int segments = f.window->conversionEngine->segmentCount();
    f.window->slotStopCover();
    std::printf("preparation of %d min MP3: first request after %.2f s; transcode + probe + plan + %d segments cut "
                "%.2f s, bare ffmpeg transcode %.2f s, ratio %.2f (goal <= 2.5)\n",
        minutes, firstRequest, segments, prepared, bare, prepared / bare);
}

// One conversion of the MP3 with `parallel` requests at once (0: automatic); returns the wall time.
double convertOnce(SpeechTestUtil::SpeechServiceProcess &service, const QString &mp3, double audioSeconds, int parallel)
{
    Fixture f;
    f.useSpeechService(service.hostAndPort());
    f.window->testSeams.parallelRequests = parallel;
    f.window->languageBox->setCurrentText(QStringLiteral("英文"));
    f.addTask(mp3);
    const int logStart = service.log().size(); // only this conversion's requests count below

    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    f.window->slotBeginCover();
    if (!waitIdle(f, 3600000))
        return -1;
    const double wall = clock.elapsed() / 1000.0;

    const ServiceTime decoded = serviceTimeInLog(service.log().mid(logStart));
    const double decodeMs = decoded.decodeMs;
    const int requests = decoded.requests;
    std::printf("conversion of %.1f s of English MP3, %s: wall %.1f s, %d requests (%d at once), service time "
                "%.1f s summed over requests; longest event-loop stall %lld ms (goal <= 50); messages: %s\n",
        audioSeconds, parallel == 1 ? "one request at a time" : "automatic", wall, requests,
        f.window->conversionEngine->parallelRequests(), decodeMs / 1000.0, stalls.worstMs,
        qPrintable(f.notices.join(QStringLiteral(" | "))));
    return wall;
}

void conversion(int repeats)
{
    SpeechTestUtil::SpeechServiceProcess service;
    if (!service.start()) {
        std::printf("the speech service did not start: %s\n", qPrintable(service.log()));
        return;
    }
    QTemporaryDir media;
    QFile text(QStringLiteral(QUILLORA_SOURCE_DIR "/tests/conversion/fixtures/english-passage.txt"));
    if (!text.open(QIODevice::ReadOnly))
        return;
    const QString passage = QString::fromUtf8(text.readAll()).simplified();
    QStringList copies;
    for (int i = 0; i < repeats; ++i)
        copies << passage;
    const QString wav = SpeechTestUtil::makeEnglishWav(media.path(), QStringLiteral("english"), copies.join(' '));
    const QString mp3 = media.filePath(QStringLiteral("english.mp3"));
    if (wav.isEmpty() || !runFfmpeg({"-i", wav, "-ar", "44100", "-ac", "2", "-b:a", "128k", mp3}))
        return;
    const double audioSeconds = wavData(wav).size() / 32000.0;
    QFile::remove(wav);

    const double one = convertOnce(service, mp3, audioSeconds, 1);
    const double automatic = convertOnce(service, mp3, audioSeconds, 0);
    std::printf("automatic / one at a time: %.2f (goal <= 0.6)\n", automatic / one);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int minutes = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 60;
    const int repeats = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 4;
    if (minutes > 0)
        preparation(minutes);
    if (repeats > 0)
        conversion(repeats);
    std::printf("peak memory of the Quillora process: %.1f MB (goal <= 120)\n", peakMemoryKiB() / 1024.0);
    return 0;
}
