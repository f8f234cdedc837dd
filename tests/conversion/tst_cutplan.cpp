#include "pipeline/audioprep.h"
#include "pipeline/cutplan.h"
#include "pipeline/wavformat.h"

#include <QBuffer>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

// `seconds` of a loud tone (RMS about 5600) with the quiet spans "start-end@rms" (milliseconds) of a
// quieter tone, as little-endian 16-bit PCM at 16 kHz.
QByteArray pcmWithPauses(int seconds, const QString &pauses)
{
    QVector<qint16> samples(seconds * 16000);
    QVector<double> level(samples.size(), 8000.0);
    for (const QString &pause : pauses.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int start = pause.section(QLatin1Char('-'), 0, 0).toInt() * 16;
        const int end = pause.section(QLatin1Char('-'), 1).section(QLatin1Char('@'), 0, 0).toInt() * 16;
        const double rms = pause.contains(QLatin1Char('@')) ? pause.section(QLatin1Char('@'), 1).toDouble() : 0.0;
        for (int i = start; i < end && i < level.size(); ++i)
            level[i] = rms * std::sqrt(2.0);
    }
    for (int i = 0; i < samples.size(); ++i)
        samples[i] = qint16(std::lround(level[i] * std::sin(i * 0.37)));
    QByteArray pcm;
    for (const qint16 sample : samples)
        pcm.append(char(sample & 0xFF)).append(char((sample >> 8) & 0xFF));
    return pcm;
}

QByteArray wavOf(const QByteArray &pcm)
{
    return AudioPrep::wavHeader(pcm.size()) + pcm;
}

} // namespace

Q_DECLARE_METATYPE(QVector<qint64>)

class TestCutPlan : public QObject
{
    Q_OBJECT

private slots:
    void envelope();
    void cuts_data();
    void cuts();
    void fitsDuration_data();
    void fitsDuration();
    void dataChunk_data();
    void dataChunk();
    void shortFileFirstCut_data();
    void shortFileFirstCut();
    void segmentMuxerArguments_data();
    void segmentMuxerArguments();
    void segmentsJoinedAreTheInput_data();
    void segmentsJoinedAreTheInput();
};

void TestCutPlan::envelope()
{
    const QByteArray pcm = pcmWithPauses(1, QStringLiteral("500-1000"));
    const QVector<quint32> envelope = CutPlan::energyEnvelope(pcm.constData(), pcm.size() - 2); // a partial window
    QCOMPARE(envelope.size(), 100);
    QVERIFY(std::abs(double(envelope.first()) - 32e6) < 2e6); // a tone's mean square is half its peak's square
    QCOMPARE(envelope.at(60), quint32(0));
    QCOMPARE(CutPlan::energyEnvelope(pcm.constData(), 0).size(), 0);
}

void TestCutPlan::cuts_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("pauses");
    QTest::addColumn<int>("firstAfter");
    QTest::addColumn<QVector<qint64>>("cuts");

    QTest::newRow("within a minute: no cut") << 60 << "" << 0 << QVector<qint64> {};
    QTest::newRow("no pause: every 60 s") << 130 << "" << 0 << QVector<qint64> {6000, 12000};
    QTest::newRow("a pause in the last 15 s: its middle, to 100 ms")
        << 70 << "50000-50500" << 0 << QVector<qint64> {5040};
    QTest::newRow("a pause 14 s before the limit") << 70 << "46000-46500" << 0 << QVector<qint64> {4640};
    QTest::newRow("a pause before the last 15 s is not used") << 70 << "40000-41000" << 0 << QVector<qint64> {6000};
    QTest::newRow("the quieter of two pauses") << 70 << "48000-48600@300 55000-55500" << 0 << QVector<qint64> {5540};
    QTest::newRow("a soft pause, 20 dB down, counts") << 70 << "52000-52300@500" << 0 << QVector<qint64> {5220};
    QTest::newRow("a dip of 9 dB is no pause") << 70 << "52000-52400@2000" << 0 << QVector<qint64> {6000};
    QTest::newRow("a pause too short for the stretch") << 70 << "52000-52150" << 0 << QVector<qint64> {6000};
    QTest::newRow("the next limit counts from the cut")
        << 130 << "50000-50500 105000-105500" << 0 << QVector<qint64> {5040, 10540};
    QTest::newRow("a pause across the limit gives the limit") << 70 << "59900-60400" << 0 << QVector<qint64> {6000};
    // A longer file's first segment: the first pause after 10 s, then minutes counted from it.
    QTest::newRow("first: where the first pause after 10 s begins")
        << 70 << "5000-5500 12000-12500 30000-31000" << 1000 << QVector<qint64> {1230};
    QTest::newRow("first: none before the limit, then as any other")
        << 70 << "5000-5500" << 1000 << QVector<qint64> {6000};
    QTest::newRow("first: the next cut counts from it")
        << 130 << "11000-11500 65000-65500" << 1000 << QVector<qint64> {1130, 6540, 12540};
    QTest::newRow("first: a gap between words is no pause")
        << 70 << "10500-10800 20000-20600" << 1000 << QVector<qint64> {2030};
    QTest::newRow("first: no sentence's pause within 15 s, the first shorter one")
        << 70 << "10500-10800 40000-40600" << 1000 << QVector<qint64> {1070};
    QTest::newRow("first: within a minute, no cut") << 60 << "11000-11500" << 1000 << QVector<qint64> {};
}

void TestCutPlan::cuts()
{
    QFETCH(int, seconds);
    QFETCH(QString, pauses);
    QFETCH(int, firstAfter);
    QFETCH(QVector<qint64>, cuts);
    const QByteArray pcm = pcmWithPauses(seconds, pauses);
    const QVector<quint32> envelope = CutPlan::energyEnvelope(pcm.constData(), pcm.size());
    const QVector<qint64> planned = CutPlan::planCutsInPauses(
        envelope, CutPlan::limitCentis, CutPlan::searchCentis, CutPlan::stretchCentis, firstAfter);
    QVERIFY2(planned == cuts,
        qPrintable(QStringLiteral("planned %1")
                       .arg(QStringList([&] {
                           QStringList items;
                           for (const qint64 cut : planned)
                               items << QString::number(cut);
                           return items;
                       }())
                                .join(QLatin1Char(',')))));
    QVERIFY(CutPlan::fitsDuration(planned, envelope.size()));
    // Read from a file as the preparation reads it: the same envelope, after a header with a LIST chunk.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("source_16k.wav")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray wav = wavOf(pcm);
    wav.insert(12, QByteArray("LIST\x05\0\0\0abcde\0", 14)); // an odd size is padded
    file.write(wav);
    file.close();
    QCOMPARE(CutPlan::envelopeOfFile(file.fileName(), true), envelope);
    qint64 previous = 0;
    for (const qint64 cut : planned + QVector<qint64> {envelope.size()}) {
        QVERIFY(cut - previous <= CutPlan::limitCentis);
        QVERIFY(cut > previous);
        previous = cut;
    }
}

void TestCutPlan::fitsDuration_data()
{
    QTest::addColumn<QVector<qint64>>("cuts");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<bool>("fits");
    QTest::newRow("no cut, within a minute") << QVector<qint64> {} << qint64(6000) << true;
    QTest::newRow("no cut, over a minute") << QVector<qint64> {} << qint64(6001) << false;
    QTest::newRow("cuts in pauses") << QVector<qint64> {1230, 6520} << qint64(9000) << true;
    QTest::newRow("a segment over a minute") << QVector<qint64> {1230, 7240} << qint64(9000) << false;
    QTest::newRow("the rest over a minute") << QVector<qint64> {1230} << qint64(7300) << false;
    QTest::newRow("a cut at the end") << QVector<qint64> {5000} << qint64(5000) << false;
    QTest::newRow("not ascending") << QVector<qint64> {5000, 4000} << qint64(9000) << false;
}

void TestCutPlan::fitsDuration()
{
    QFETCH(QVector<qint64>, cuts);
    QFETCH(qint64, duration);
    QFETCH(bool, fits);
    QCOMPARE(CutPlan::fitsDuration(cuts, duration), fits);
}

// Where the samples begin, through whatever chunks come before them: the one walker every reader uses.
void TestCutPlan::dataChunk_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("found");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<int>("blockAlign");
    const QByteArray pcm(3200, '\x01');
    const QByteArray ours = WavFormat::ofPcm(pcm);
    const auto chunk = [](const QByteArray &id, const QByteArray &body) {
        QByteArray bytes = id;
        const quint32 size = quint32(body.size());
        bytes.append(reinterpret_cast<const char *>(&size), 4).append(body);
        return body.size() % 2 ? bytes + '\0' : bytes;
    };
    // ffmpeg's header: fmt, then an INFO list (long when the source had long tags), then the data.
    const auto withList
        = [&](int listBytes) { return ours.left(36) + chunk("LIST", QByteArray(listBytes, 'x')) + ours.mid(36); };
    QTest::newRow("ours: 44 bytes") << ours << true << qint64(44) << 2;
    QTest::newRow("a list before the data") << withList(26) << true << qint64(44 + 34) << 2;
    QTest::newRow("an odd list, padded") << withList(25) << true << qint64(44 + 34) << 2;
    QTest::newRow("a list of 10 kB (long tags)") << withList(10000) << true << qint64(44 + 10008) << 2;
    QTest::newRow("no data chunk yet") << ours.left(36) << false << qint64(0) << 2;
    QTest::newRow("not RIFF") << QByteArray("RIFX") + ours.mid(4) << false << qint64(0) << 1;
    QTest::newRow("empty") << QByteArray() << false << qint64(0) << 1;
}

void TestCutPlan::dataChunk()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, found);
    QFETCH(qint64, start);
    QFETCH(int, blockAlign);
    QBuffer device(&file);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const WavFormat::DataChunk data = WavFormat::findDataChunk(&device);
    QCOMPARE(data.found, found);
    QCOMPARE(data.blockAlign, blockAlign);
    if (!found)
        return;
    QCOMPARE(data.start, start);
    QCOMPARE(device.pos(), start);
    QCOMPARE(data.size, quint32(3200));
    QCOMPARE(file.mid(int(data.start)), QByteArray(3200, '\x01'));
}

void TestCutPlan::shortFileFirstCut_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("pauses");
    QTest::addColumn<QVector<qint64>>("cuts");
    // A file within a minute gets the same first segment as a longer one, and nothing more.
    QTest::newRow("55 s, a pause after 10 s") << 55 << "5000-5500 11000-11500 30000-31000" << QVector<qint64> {1130};
    QTest::newRow("55 s, no sentence's pause: the first shorter one")
        << 55 << "10500-10800 40000-40600" << QVector<qint64> {1070};
    QTest::newRow("55 s, no pause: whole") << 55 << "" << QVector<qint64> {};
    QTest::newRow("60 s, as before a minute") << 60 << "11000-11500" << QVector<qint64> {1130};
    QTest::newRow("10 s: too short for a first segment") << 10 << "9000-9500" << QVector<qint64> {};
}

void TestCutPlan::shortFileFirstCut()
{
    QFETCH(int, seconds);
    QFETCH(QString, pauses);
    QFETCH(QVector<qint64>, cuts);
    const QByteArray pcm = pcmWithPauses(seconds, pauses);
    const QVector<quint32> envelope = CutPlan::energyEnvelope(pcm.constData(), pcm.size());
    QCOMPARE(CutPlan::planCutsInPauses(envelope, CutPlan::limitCentis, CutPlan::searchCentis, CutPlan::stretchCentis,
                 CutPlan::firstSegmentCentis, /*shortToo=*/true),
        cuts);
}

void TestCutPlan::segmentMuxerArguments_data()
{
    QTest::addColumn<QVector<qint64>>("cuts");
    QTest::addColumn<int>("firstIndex");
    QTest::addColumn<QStringList>("arguments");

    const QStringList input = {"-nostdin", "-y", "-i", "/d/myTmpWAVFiles/source_16k.wav", "-af"};
    const QStringList head = input + QStringList {"asetnsamples=n=1600", "-acodec", "pcm_s16le", "-f", "segment"};
    const QStringList tail = {"-reset_timestamps", "1", "/d/myTmpWAVFiles/%d.wav"};
    QTest::newRow("no cut: one segment") << QVector<qint64> {} << 0
                                         << head + QStringList {"-segment_time", "86400"} + tail;
    QTest::newRow("cuts in hundredths") << QVector<qint64> {5040, 10500, 16010} << 0
                                        << head + QStringList {"-segment_times", "50.40,105.00,160.10"} + tail;
    QTest::newRow("past an hour") << QVector<qint64> {360000 + 10} << 0
                                  << head + QStringList {"-segment_times", "3600.10"} + tail;
    // The first segment cut already: the muxer starts at its cut, by samples, and numbers from 1.
    const QStringList trimmed = input
        + QStringList {"atrim=start_sample=201600,asetpts=PTS-STARTPTS,asetnsamples=n=1600", "-acodec", "pcm_s16le",
            "-f", "segment"};
    QTest::newRow("from the second segment") << QVector<qint64> {
        1260, 7200} << 1 << trimmed + QStringList {"-segment_times", "59.40", "-segment_start_number", "1"} + tail;
    QTest::newRow("from the second, the last") << QVector<qint64> {
        1260} << 1 << trimmed + QStringList {"-segment_time", "86400", "-segment_start_number", "1"} + tail;
}

void TestCutPlan::segmentMuxerArguments()
{
    QFETCH(QVector<qint64>, cuts);
    QFETCH(int, firstIndex);
    QFETCH(QStringList, arguments);
    QCOMPARE(AudioPrep::segmentMuxerArguments("/d/myTmpWAVFiles/source_16k.wav", "/d/myTmpWAVFiles", cuts, firstIndex),
        arguments);
}

void TestCutPlan::segmentsJoinedAreTheInput_data()
{
    QTest::addColumn<int>("firstIndex");
    QTest::newRow("every segment by the muxer") << 0;
    // As when the first segment went out while the rest was transcoded.
    QTest::newRow("the first one cut before") << 1;
}

// One ffmpeg process cuts where the plan says; the segments joined are the input, sample for sample.
void TestCutPlan::segmentsJoinedAreTheInput()
{
    QFETCH(int, firstIndex);
    QTemporaryDir dir;
    const QByteArray pcm = pcmWithPauses(130, QStringLiteral("50000-50500 105000-105500"));
    const QString input = dir.filePath(QStringLiteral("source_16k.wav"));
    QFile file(input);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(wavOf(pcm));
    file.close();
    const QVector<qint64> cuts = CutPlan::planCutsInPauses(CutPlan::energyEnvelope(pcm.constData(), pcm.size()));
    QCOMPARE(cuts.size(), 2);

    QProcess ffmpeg;
    if (firstIndex > 0) {
        QFile first(dir.filePath(QStringLiteral("0.wav")));
        QVERIFY(first.open(QIODevice::WriteOnly));
        first.write(wavOf(pcm.left(int(cuts[0] * 320))));
    }
    ffmpeg.start(QStringLiteral("ffmpeg"), AudioPrep::segmentMuxerArguments(input, dir.path(), cuts, firstIndex));
    QVERIFY(ffmpeg.waitForFinished(60000));
    QCOMPARE(ffmpeg.exitCode(), 0);
    QByteArray joined;
    for (int k = 0; k <= cuts.size(); ++k) {
        QFile segment(dir.filePath(QStringLiteral("%1.wav").arg(k)));
        QVERIFY(segment.open(QIODevice::ReadOnly));
        const QByteArray bytes = segment.readAll();
        const int data = bytes.indexOf("data") + 8; // ffmpeg's header carries a LIST chunk
        const QByteArray samples = bytes.mid(data);
        const qint64 expected = (k < cuts.size() ? cuts[k] : 13000) - (k > 0 ? cuts[k - 1] : 0);
        QCOMPARE(qint64(samples.size()), expected * 320);
        joined += samples;
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("%1.wav").arg(cuts.size() + 1))));
    QVERIFY(joined == pcm);
}

QTEST_GUILESS_MAIN(TestCutPlan)
#include "tst_cutplan.moc"
