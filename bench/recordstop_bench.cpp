// The window's longest stall while a recording stops: records a tone from a PulseAudio virtual
// microphone for a few seconds, presses stop, and measures the event loop's lateness from the click
// until the file is final (the record button usable again). bench/recordstop_bench.sh runs it.
#include "benchutil.h"
#include "common/windowfixture.h"
#include "media/recorder.h"
#include "pulsefixture.h"
#include "ui/widget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int seconds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    PulseFixture pulse;
    if (!pulse.start() || !pulse.startTone())
        return std::fprintf(stderr, "no microphone: %s\n", qPrintable(pulse.error())), 1;
    WindowFixture fixture;
    Widget *window = fixture.start();
    qint64 worstStall = 0;
    qint64 worstClick = 0;
    qint64 worstFinal = 0;
    for (int round = 0; round < rounds; ++round) {
        window->recordBtn->click();
        BenchUtil::runUntil([] { return false; }, seconds * 1000);
        BenchUtil::StallMeter stalls;
        QElapsedTimer clock;
        clock.start();
        window->recordBtn->click();
        const qint64 clickMs = clock.elapsed();
        const bool final = BenchUtil::runUntil(
            [window] { return window->recordBtn->isEnabled() && !window->recorder->isRecording(); }, 40000);
        const qint64 finalMs = clock.elapsed();
        BenchUtil::runUntil([] { return false; }, 30); // the stall meter's last tick
        std::printf("round %d: the click returned after %lld ms, the file was final after %lld ms (%s, %lld bytes), "
                    "longest stall %lld ms\n",
            round + 1, clickMs, finalMs, final ? "finished" : "NOT FINISHED",
            QFileInfo(window->recorder->recordFilePath()).size(), stalls.worstMs);
        worstStall = std::max(worstStall, stalls.worstMs);
        worstClick = std::max(worstClick, clickMs);
        worstFinal = std::max(worstFinal, finalMs);
    }
    std::printf("stopping a %d s recording, %d rounds: longest GUI stall %lld ms, longest click %lld ms, file final "
                "within %lld ms\n",
        seconds, rounds, worstStall, worstClick, worstFinal);
    return 0;
}
