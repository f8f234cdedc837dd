// Prints how soon the first words come back through our own speech service for a long MP3 of read English
// (from pressing start to the first request leaving and to the first recognised text), and the whole
// conversion's wall time against the preparation it replaced: transcode, probe, then one ffmpeg process per
// 60 s cut, every segment cut before the first request leaves.
#include "benchutil.h"
#include "conversiontestutil.h"

#include "common/speechhttp.h"
#include "common/speechtestutil.h"
#include "pipeline/audioprep.h"
#include "pipeline/conversionengine.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/runtexts.h"
#include "pipeline/speechclient_p.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <cstdio>

using namespace BenchUtil;
using namespace ConversionTest;
using SpeechTestUtil::SpeechServiceProcess;

namespace {

struct FirstWords
{
    double requestS = -1; // the first recognition request has left
    double textS = -1; // the first recognised text has come back
    double wallS = -1; // the whole file converted (only when waited for)
    int segments = 0;
    int atOnce = 0;
    QString ended; // how the run ended when it ended before any text came
};

bool recognitionInFlight(ConversionEngine *engine)
{
    const auto replies
        = SpeechClientTestAccess::httpClient(engine->speechClient())->manager->findChildren<QNetworkReply *>();
    return std::any_of(replies.begin(), replies.end(),
        [](QNetworkReply *reply) { return reply->url().path() == QLatin1String("/server_api"); });
}

// One conversion of mp3 through the service; stops at the first text unless whole.
FirstWords convert(SpeechServiceProcess &service, const QString &mp3, bool whole)
{
    Fixture f;
    f.useSpeechService(service.hostAndPort());
    f.window->testSeams.parallelRequests = 0;
    f.window->languageBox->setCurrentText(QStringLiteral("英文"));
    f.addTask(mp3);
    ConversionEngine *engine = f.window->conversionEngine;
    FirstWords result;
    QElapsedTimer clock;
    const auto textCame = [&] {
        if (result.textS < 0)
            result.textS = clock.elapsed() / 1000.0;
    };
    QObject::connect(engine, &ConversionEngine::segmentRecognised, textCame);
    QObject::connect(engine, &ConversionEngine::transcriptReplaced, textCame);
    QObject::connect(engine, &ConversionEngine::runEnded, [&](const ConversionEngine::RunEnd &end) {
        if (result.textS < 0)
            result.ended = RunTexts::endMessage(end);
    });
    clock.start();
    f.window->slotBeginCover();
    if (runUntil([&] { return recognitionInFlight(engine) || f.idle(); }, 600000))
        result.requestS = clock.elapsed() / 1000.0;
    (void)runUntil([&] { return result.textS >= 0 || f.idle(); }, 600000);
    if (whole && runUntil([&] { return f.idle(); }, 7200000))
        result.wallS = clock.elapsed() / 1000.0;
    result.segments = engine->segmentCount();
    result.atOnce = engine->parallelRequests();
    if (!f.idle())
        f.window->slotStopCover();
    (void)runUntil([&] { return f.idle(); }, 10000);
    return result;
}

// The service finishes what a stopped run left it before the next run is timed.
void letServiceSettle(SpeechServiceProcess &service)
{
    // A stopped run's requests are still decoded (a minute's segment takes ten seconds or more).
    QThread::msleep(15000);
    QString before;
    do {
        before = service.log();
        QThread::msleep(3000);
    } while (service.log() != before);
}

// The former path: ffmpeg transcodes, probes, then cuts every minute one process at a time; then every
// segment is sent, atOnce requests at a time. Returns the wall time, or -1.
double formerConversion(SpeechServiceProcess &service, const QString &mp3, int atOnce, double *preparedS)
{
    QTemporaryDir work;
    QElapsedTimer clock;
    clock.start();
    const QString wav = AudioPrep::transcodedPathIn(work.path());
    if (!runFfmpeg(AudioPrep::transcodeArguments(mp3, wav).mid(1)))
        return -1;
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(QStringLiteral("ffmpeg"), AudioPrep::probeArguments(wav));
    probe.waitForFinished(-1);
    const qint64 centis = AudioPrep::parseDurationCentis(QString::fromLocal8Bit(probe.readAll()));
    const int count = AudioPrep::planSegments(centis).count;
    QStringList segments;
    for (int k = 0; k < count; ++k) {
        segments << AudioPrep::segmentPathIn(work.path(), k);
        if (!runFfmpeg(AudioPrep::cutArgumentsTo(wav, segments.last(), k).mid(1)))
            return -1;
    }
    *preparedS = clock.elapsed() / 1000.0;

    QNetworkAccessManager network;
    const QString token = SpeechTestUtil::fetchToken(network, service);
    const QString url = SpeechTestUtil::recognitionUrl(service.hostAndPort());
    int next = 0;
    int answered = 0;
    bool failed = false;
    std::function<void()> sendNext = [&] {
        if (next >= segments.size())
            return;
        QFile segment(segments.at(next++));
        if (!segment.open(QIODevice::ReadOnly)) {
            failed = true;
            return;
        }
        QNetworkRequest request {QUrl(url)};
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        QNetworkReply *reply = network.post(request, SpeechTestUtil::requestBody(token, segment.readAll()));
        QObject::connect(reply, &QNetworkReply::finished, [&, reply] {
            failed = failed || reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200;
            reply->deleteLater();
            ++answered;
            sendNext();
        });
    };
    for (int i = 0; i < std::max(1, atOnce); ++i)
        sendNext();
    if (!runUntil([&] { return answered == segments.size() || failed; }, 7200000) || failed)
        return -1;
    return clock.elapsed() / 1000.0;
}

QString makeEnglishMp3(const QString &folder, const QString &passageWav, int seconds)
{
    // The passage looped, as a listener's long recording of read English.
    const QString mp3 = folder + QStringLiteral("/english-%1s.mp3").arg(seconds);
    if (!runFfmpeg({"-stream_loop", "-1", "-i", passageWav, "-t", QString::number(seconds), "-ar", "44100", "-ac", "2",
            "-b:a", "128k", mp3}))
        return QString();
    return mp3;
}

// Requests the service answered since its log was logStart long, and the decoding time it spent on them.
QString serviceTime(SpeechServiceProcess &service, int logStart)
{
    const ServiceTime decoded = serviceTimeInLog(service.log().mid(logStart));
    return QStringLiteral("%1 requests, service time %2 s summed")
        .arg(decoded.requests)
        .arg(decoded.decodeMs / 1000.0, 0, 'f', 1);
}

// Of the runs that gave a value (-1: none came).
double median(QVector<double> values)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return v < 0; }), values.end());
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // "55s": seconds rather than minutes, for a file within a minute.
    const QString firstArgument = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("60");
    const bool inSeconds = firstArgument.endsWith(QLatin1Char('s'));
    const int firstSeconds = firstArgument.chopped(inSeconds ? 1 : 0).toInt() * (inSeconds ? 1 : 60);
    const QString firstLength = inSeconds ? QStringLiteral("%1-second").arg(firstSeconds)
                                          : QStringLiteral("%1-minute").arg(firstSeconds / 60);
    const int wallMinutes = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10;
    const int runs = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 3;

    SpeechServiceProcess service;
    QNetworkAccessManager network;
    if (!service.start() || !SpeechTestUtil::waitUntilHealthy(network, service.hostAndPort())) {
        std::printf("the speech service did not start: %s\n", qPrintable(service.log()));
        return 1;
    }
    QTemporaryDir media;
    QFile text(QStringLiteral(QUILLORA_SOURCE_DIR "/tests/conversion/fixtures/english-passage.txt"));
    if (!text.open(QIODevice::ReadOnly))
        return 1;
    const QString passage
        = SpeechTestUtil::makeEnglishWav(media.path(), QStringLiteral("passage"), QString::fromUtf8(text.readAll()));
    if (passage.isEmpty())
        return 1;

    if (firstSeconds > 0 && runs > 0) {
        const QString mp3 = makeEnglishMp3(media.path(), passage, firstSeconds);
        QVector<double> requests, texts;
        for (int run = 0; run < runs && !mp3.isEmpty(); ++run) {
            const FirstWords first = convert(service, mp3, false);
            requests << first.requestS;
            texts << first.textS;
            std::printf("%s English MP3, run %d: first request after %.2f s, first text after %.2f s "
                        "(%s, %d requests at once)\n",
                qPrintable(firstLength), run + 1, first.requestS, first.textS,
                first.segments > 0 ? qPrintable(QStringLiteral("%1 segments").arg(first.segments))
                                   : "before the rest of the file was planned",
                first.atOnce);
            if (first.textS < 0)
                std::printf(
                    "  no text came: %s\n", first.ended.isEmpty() ? "the run had not ended" : qPrintable(first.ended));
            std::fflush(stdout);
            letServiceSettle(service);
        }
        std::printf("median of %d runs: first request %.2f s, first text %.2f s (goal <= 5)\n", int(texts.size()),
            median(requests), median(texts));
    }

    if (wallMinutes > 0) {
        const QString mp3 = makeEnglishMp3(media.path(), passage, wallMinutes * 60);
        if (mp3.isEmpty())
            return 1;
        // Now, former, former, now: a load that other work puts on the machine meanwhile falls on both alike.
        double nowSum = 0;
        double formerSum = 0;
        int atOnce = 0;
        for (const bool current : {true, false, false, true}) {
            const int logStart = service.log().size();
            if (current) {
                const FirstWords now = convert(service, mp3, true);
                atOnce = now.atOnce;
                nowSum += now.wallS;
                std::printf("whole conversion of a %d-minute English MP3: %.1f s (first text after %.2f s, %d "
                            "segments, %d requests at once; %s)\n",
                    wallMinutes, now.wallS, now.textS, now.segments, now.atOnce,
                    qPrintable(serviceTime(service, logStart)));
            } else {
                double prepared = -1;
                const double former = formerConversion(service, mp3, atOnce, &prepared);
                formerSum += former;
                std::printf("former path (transcode, probe, one ffmpeg per 60 s cut, then %d requests at once): "
                            "%.1f s, of which preparation %.2f s; %s\n",
                    atOnce, former, prepared, qPrintable(serviceTime(service, logStart)));
            }
            std::fflush(stdout);
            letServiceSettle(service);
        }
        std::printf("now / former, summed over two runs each: %.3f (goal <= 1)\n", nowSum / formerSum);
    }
    return 0;
}
