// Live text of a recording fed in real time through a PulseAudio virtual microphone: latency from the
// end of each utterance to its text in the view, the window's longest stall, the recorder's file
// against wall-clock time with live text off and on, and the word error rate of the live document
// against converting the same recording afterwards. bench/live_bench.sh builds and runs it.
#include "benchutil.h"
#include "common/speechtestutil.h"
#include "common/windowfixture.h"
#include "media/recorder.h"
#include "pipeline/livetranscription.h"
#include "pulsefixture.h"
#include "ui/widget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>

#include <sys/resource.h>

using namespace SpeechTestUtil;

namespace {

// User and system time this process has used so far.
qint64 processCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

QStringList wordsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? normalizedWords(QString::fromLocal8Bit(file.readAll())) : QStringList();
}

double percentile(QVector<qint64> values, double p)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, int(p * values.size())));
}

struct Recording
{
    qint64 wallMs = 0; // from the click that started it to the click that stopped it
    qint64 fileMs = 0;
    QString path;
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int copies = argc > 1 ? std::max(1, atoi(argv[1])) : 6;
    const QStringList passage = everydaySentences();
    QStringList sentences;
    QVector<double> pauses;
    const double pauseCycle[] = {0.8, 1.5, 2.5, 1.0, 2.0, 1.2, 0.9};
    for (int c = 0; c < copies; ++c) {
        for (const QString &sentence : passage) {
            sentences << sentence;
            pauses << pauseCycle[sentences.size() % 7];
        }
    }
    QTemporaryDir media;
    const SpokenSentences spoken = speakSentences(media.path(), sentences, pauses);
    const QString speech = media.filePath(QStringLiteral("speech.wav"));
    QFile speechFile(speech);
    if (!spoken.ok || !speechFile.open(QIODevice::WriteOnly))
        return std::fprintf(stderr, "no speech\n"), 1;
    speechFile.write(wavBytes(QByteArray(32000, '\0') + spoken.pcm));
    speechFile.close();
    const qint64 speechMs = 1000 + spoken.pcm.size() / 32;

    PulseFixture pulse;
    SpeechServiceProcess service;
    if (!pulse.start() || !service.start())
        return std::fprintf(stderr, "no microphone or service: %s\n", qPrintable(pulse.error())), 1;
    WindowFixture fixture;
    QElapsedTimer wall;
    wall.start();

    const auto record = [&](bool liveOn, qint64 lengthMs, QVector<QPair<qint64, qint64>> *texts, qint64 *stallMs,
                            qint64 *stopStallMs, qint64 *originMs, double *cpuPercent) {
        Recording result;
        Widget *window = fixture.start();
        window->testSeams.serviceHost = service.hostAndPort();
        window->testSeams.clientId = testClientId();
        window->testSeams.clientSecret = testClientSecret();
        window->languageBox->setCurrentIndex(window->languageBox->findData(QStringLiteral("英文")));
        window->liveCheck->setChecked(liveOn);
        const qint64 clickedAt = wall.elapsed();
        window->recordBtn->click();
        const QString path = window->recorder->recordFilePath();
        // ffmpeg takes a moment to open the microphone.
        BenchUtil::runUntil([] { return false; }, 1500);
        if (liveOn) {
            QObject::connect(window->live, &LiveTranscription::textRecognised, window,
                [&wall, texts](const QString &, qint64 endMs) {
                    texts->append({wall.elapsed(), endMs});
                });
        }
        pulse.startSpeech(speech);
        BenchUtil::StallMeter stalls;
        *originMs = std::numeric_limits<qint64>::max();
        QTimer origin;
        QObject::connect(&origin, &QTimer::timeout, [&] {
            // Sample 0 of the recording was captured no later than now minus what has been read of it.
            if (window->live && window->live->isActive())
                *originMs = std::min(*originMs, wall.elapsed() - window->live->audioReadMs());
        });
        origin.start(5);
        const qint64 cpuBefore = processCpuMs();
        QElapsedTimer recording;
        recording.start();
        BenchUtil::runUntil([] { return false; }, int(lengthMs));
        *cpuPercent = 100.0 * double(processCpuMs() - cpuBefore) / double(std::max<qint64>(1, recording.elapsed()));
        *stallMs = stalls.worstMs;
        BenchUtil::StallMeter stopStalls;
        window->recordBtn->click();
        result.wallMs = wall.elapsed() - clickedAt;
        // The stop returns at once; the file is final when the record button is usable again.
        BenchUtil::runUntil([window] { return window->recordBtn->isEnabled(); }, 40000);
        result.path = path;
        result.fileMs = (QFileInfo(path).size() - 44) / 32;
        if (liveOn)
            BenchUtil::runUntil([window] { return !window->wordFilePath.isEmpty(); }, 60000);
        *stopStallMs = stopStalls.worstMs;
        return result;
    };

    // The first capture after the daemon starts loses a second or more: take that loss first.
    QVector<QPair<qint64, qint64>> unused;
    qint64 offStall = 0, offStopStall = 0, offOrigin = 0;
    double cpuOn = 0, cpuOff = 0;
    record(false, 3000, &unused, &offStall, &offStopStall, &offOrigin, &cpuOff);

    QVector<QPair<qint64, qint64>> texts;
    qint64 stall = 0, stopStall = 0, originMs = 0;
    const Recording on = record(true, speechMs + 1500, &texts, &stall, &stopStall, &originMs, &cpuOn);
    const QStringList liveWords = wordsOf(fixture.window->wordFilePath);
    const QString liveRecording = on.path;

    // The same capture with live text off, for as long as the speech.
    const Recording off = record(false, speechMs + 1500, &unused, &offStall, &offStopStall, &offOrigin, &cpuOff);

    QVector<qint64> latencies;
    const qint64 tailMs = UtteranceCutter().tailMs;
    for (const auto &text : texts)
        latencies << text.first - (originMs + text.second - tailMs);

    // The live recording converted afterwards, as from the list.
    Widget *window = fixture.window.get();
    window->taskFiles = QStringList {liveRecording};
    window->audioCombo->clear();
    window->audioCombo->addItem(QFileInfo(liveRecording).fileName());
    fixture.notices.clear();
    window->slotBeginCover();
    BenchUtil::runUntil([&fixture] { return !fixture.notices.isEmpty(); }, 900000);
    const QStringList convertedWords = wordsOf(window->wordFilePath);

    const double liveWer = 100.0 * wordEditDistance(spoken.words, liveWords) / spoken.words.size();
    const double convertedWer = 100.0 * wordEditDistance(spoken.words, convertedWords) / spoken.words.size();
    std::printf("speech fed: %.1f s, %d sentences, pauses 0.8-2.5 s; %d texts shown live\n", speechMs / 1000.0,
        int(sentences.size()), int(texts.size()));
    std::printf("latency from utterance end to text in the view: median %.0f ms, p95 %.0f ms, max %.0f ms "
                "(targets 2000 / 4000)\n",
        percentile(latencies, 0.5), percentile(latencies, 0.95), percentile(latencies, 1.0));
    std::printf("longest window stall while recording: live on %lld ms, live off %lld ms (target < 50)\n",
        qint64(stall), qint64(offStall));
    std::printf("window process CPU while recording (its own threads, not ffmpeg's nor the service's): live on "
                "%.1f %%, live off %.1f %% of one core\n",
        cpuOn, cpuOff);
    std::printf("longest stall at stop (the recorder waits for ffmpeg to finish the file): live on %lld ms, "
                "live off %lld ms\n",
        qint64(stopStall), qint64(offStopStall));
    std::printf("recorder's file against wall clock: live on %lld of %lld ms (short by %lld), live off %lld of "
                "%lld ms (short by %lld)\n",
        on.fileMs, on.wallMs, on.wallMs - on.fileMs, off.fileMs, off.wallMs, off.wallMs - off.fileMs);
    std::printf("word error rate: live document %.1f %%, converted afterwards %.1f %% (difference %.1f points; "
                "target within 3); conversion said \"%s\"\n",
        liveWer, convertedWer, liveWer - convertedWer, qPrintable(fixture.notices.value(0)));
    return 0;
}
