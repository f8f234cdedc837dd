#include "pipeline/utterancecutter.h"

#include <QtEndian>
#include <QtTest>

#include <cmath>

using Utterance = UtteranceCutter::Utterance;
using Span = QPair<qint64, qint64>; // ms

// Generated PCM: a 250 Hz "voice" (whole periods in a frame) of the given amplitudes, separated by silence or faint
// noise.
class TestUtteranceCutter : public QObject
{
    Q_OBJECT

private slots:
    void cutsAtPauses_data();
    void cutsAtPauses();
};

namespace {

// pieces: (milliseconds, amplitude) pairs; amplitude 0 is digital silence, below 100 faint noise.
QByteArray signalOf(const QList<QPair<int, int>> &pieces, QList<Span> *loudSpans)
{
    QByteArray pcm;
    qint64 at = 0;
    quint32 noise = 12345;
    for (const auto &piece : pieces) {
        const int samples = piece.first * 16;
        if (piece.second >= 100)
            loudSpans->append({at, at + piece.first});
        for (int i = 0; i < samples; ++i) {
            noise = noise * 1103515245u + 12345u;
            double value = piece.second >= 100 ? piece.second * std::sin(2 * M_PI * 250 * (at * 16 + i) / 16000.0)
                                               : double(int(noise >> 16) % (piece.second + 1)) - piece.second / 2;
            char bytes[2];
            qToLittleEndian<qint16>(qint16(value), bytes);
            pcm.append(bytes, 2);
        }
        at += piece.first;
    }
    return pcm;
}

} // namespace

void TestUtteranceCutter::cutsAtPauses_data()
{
    QTest::addColumn<QList<QPair<int, int>>>("pieces");
    QTest::addColumn<int>("expected"); // utterances
    QTest::addColumn<qint64>("firstStartMs"); // where the first utterance begins; -1: no utterance
    QTest::addColumn<qint64>("firstEndMs"); // where it ends, when that is the point; -1: not checked

    using P = QPair<int, int>;
    QTest::newRow("long pause") << QList<P> {{800, 0}, {2000, 8000}, {1500, 0}, {1800, 8000}, {700, 0}} << 2
                                << qint64(500) << qint64(-1);
    QTest::newRow("pause just long enough")
        << QList<P> {{400, 0}, {1500, 8000}, {600, 0}, {1500, 8000}} << 2 << qint64(100) << qint64(-1);
    QTest::newRow("breath inside a sentence")
        << QList<P> {{400, 0}, {1500, 8000}, {200, 0}, {1500, 8000}} << 1 << qint64(100) << qint64(-1);
    QTest::newRow("pauses in room noise")
        << QList<P> {{1000, 40}, {1200, 3000}, {900, 40}, {1200, 3000}, {900, 40}} << 2 << qint64(700) << qint64(-1);
    QTest::newRow("silence only") << QList<P> {{10000, 0}} << 0 << qint64(-1) << qint64(-1);
    QTest::newRow("room noise only") << QList<P> {{10000, 60}} << 0 << qint64(-1) << qint64(-1);
    QTest::newRow("start in mid-word") << QList<P> {{900, 8000}, {1000, 0}, {1000, 8000}} << 2 << qint64(0)
                                       << qint64(1100);
    QTest::newRow("stream ends mid-word")
        << QList<P> {{500, 0}, {1000, 8000}, {1000, 0}, {700, 8000}} << 2 << qint64(200) << qint64(-1);
    // 50 s without a pause: cut where it is quietest (a softer stretch at 15 s), never past 20 s.
    QTest::newRow("no pause at all") << QList<P> {{15000, 8000}, {100, 1500}, {34900, 8000}} << 3 << qint64(0)
                                     << qint64(15000);
}

void TestUtteranceCutter::cutsAtPauses()
{
    using Pieces = QList<QPair<int, int>>;
    QFETCH(Pieces, pieces);
    QFETCH(int, expected);
    QFETCH(qint64, firstStartMs);
    QFETCH(qint64, firstEndMs);
    QList<Span> loud;
    const QByteArray pcm = signalOf(pieces, &loud);

    // Fed in uneven chunks, odd byte counts included, as a growing file gives them.
    UtteranceCutter cutter;
    QVector<Utterance> got;
    for (int at = 0, step = 1; at < pcm.size(); ++step) {
        const int size = std::min(pcm.size() - at, 777 * step % 5000 + 1);
        got += cutter.feed(pcm.mid(at, size));
        at += size;
    }
    got += cutter.finish();

    QCOMPARE(got.size(), expected);
    if (expected == 0)
        return;
    QCOMPARE(got.first().startMs(), firstStartMs);
    if (firstEndMs >= 0)
        QCOMPARE(got.first().startMs() + got.first().lengthMs(), firstEndMs);
    for (int i = 0; i < got.size(); ++i) {
        const Utterance &u = got.at(i);
        QVERIFY2(u.lengthMs() <= cutter.longestMs, qPrintable(QString::number(u.lengthMs())));
        if (i > 0)
            QVERIFY(u.startMs() >= got.at(i - 1).startMs() + got.at(i - 1).lengthMs());
        // The stream's own samples, not a copy shifted by a frame.
        QCOMPARE(u.pcm, pcm.mid(int(u.startSample * 2), u.pcm.size()));
    }
    // Nothing said is lost: every loud stretch lies inside the utterances.
    for (const Span &span : loud) {
        for (qint64 t = span.first; t < span.second; t += 10) {
            const bool covered = std::any_of(got.cbegin(), got.cend(),
                [t](const Utterance &u) { return u.startMs() <= t && t < u.startMs() + u.lengthMs(); });
            QVERIFY2(covered, qPrintable(QStringLiteral("%1 ms is in no utterance").arg(t)));
        }
    }
}

QTEST_GUILESS_MAIN(TestUtteranceCutter)
#include "tst_utterancecutter.moc"
