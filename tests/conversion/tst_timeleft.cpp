#include "pipeline/timeleft.h"

#include <QtTest>

class TestTimeLeft : public QObject
{
    Q_OBJECT

private slots:
    void estimate_data();
    void estimate();
    void text_data();
    void text();
};

// Each progress report is "task bytes done count ms"; each queued task "suffix bytes".
void TestTimeLeft::estimate_data()
{
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QStringList>("queued");
    QTest::addColumn<bool>("known");
    QTest::addColumn<qint64>("fileMs");
    QTest::addColumn<qint64>("totalMs");

    QTest::newRow("nothing recognised yet")
        << QStringList {"a.wav 1000 0 10 0"} << QStringList {"wav 500"} << false << qint64(0) << qint64(0);
    QTest::newRow("first segment") << QStringList {"a.wav 1000 0 10 0", "a.wav 1000 1 10 2000"} << QStringList() << true
                                   << qint64(18000) << qint64(18000);
    QTest::newRow("queued, same suffix: its pace per byte")
        << QStringList {"a.wav 1000 0 10 0", "a.wav 1000 1 10 2000"} << QStringList {"WAV 500"} << true << qint64(18000)
        << qint64(28000);
    QTest::newRow("queued, suffix not met: the pace of all")
        << QStringList {"a.wav 1000 0 10 0", "a.wav 1000 1 10 2000"} << QStringList {"mp3 100"} << true << qint64(18000)
        << qint64(20000);
    QTest::newRow("resumed: paced from where it was first seen")
        << QStringList {"a.wav 1000 4 10 0", "a.wav 1000 6 10 3000"} << QStringList() << true << qint64(6000)
        << qint64(6000);
    QTest::newRow("resumed, no segment since") << QStringList {"a.wav 1000 4 10 0", "a.wav 1000 4 10 3000"}
                                               << QStringList() << false << qint64(0) << qint64(0);
    QTest::newRow("finished files keep their pace per suffix")
        << QStringList {"a.wav 1000 0 2 0", "a.wav 1000 2 2 4000", "b.mp3 100 0 4 5000", "b.mp3 100 1 4 6000"}
        << QStringList {"wav 500", "mp3 50", "flac 10"} << true << qint64(3000) << qint64(3000 + 2000 + 2000 + 73);
    QTest::newRow("last segment done") << QStringList {"a.wav 1000 0 3 0", "a.wav 1000 3 3 900"}
                                       << QStringList {"wav 1000"} << true << qint64(0) << qint64(900);
    QTest::newRow("empty file gives no pace per byte")
        << QStringList {"a.wav 0 0 2 0", "a.wav 0 1 2 1000"} << QStringList {"wav 1000"} << true << qint64(1000)
        << qint64(1000);
}

void TestTimeLeft::estimate()
{
    QFETCH(QStringList, reports);
    QFETCH(QStringList, queued);
    TimeLeftEstimator estimator;
    for (const QString &report : reports) {
        const QStringList p = report.split(' ');
        estimator.progress(p[0], p[1].toLongLong(), p[2].toInt(), p[3].toInt(), p[4].toLongLong());
    }
    QList<TimeLeftEstimator::QueuedFile> files;
    for (const QString &file : queued)
        files.append({file.section(' ', 0, 0), file.section(' ', 1).toLongLong()});
    const TimeLeftEstimator::Estimate estimate = estimator.estimate(files);
    QTEST(estimate.known, "known");
    QTEST(estimate.fileMs, "fileMs");
    QTEST(estimate.totalMs, "totalMs");

    // A new run starts from nothing.
    estimator.reset();
    QVERIFY(!estimator.estimate(files).known);
}

void TestTimeLeft::text_data()
{
    QTest::addColumn<bool>("known");
    QTest::addColumn<qint64>("fileMs");
    QTest::addColumn<qint64>("totalMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("unknown") << false << qint64(5000) << qint64(5000) << QString();
    QTest::newRow("seconds rounded up") << true << qint64(200) << qint64(59001) << "文件剩余 00:01\n全部剩余 01:00";
    QTest::newRow("nothing left") << true << qint64(0) << qint64(0) << "文件剩余 00:00\n全部剩余 00:00";
    QTest::newRow("an hour and more") << true << qint64(61000) << qint64(3599200) << "文件剩余 01:01\n全部剩余 1:00:00";
    QTest::newRow("many hours") << true << qint64(3600000) << qint64(36061000) << "文件剩余 1:00:00\n全部剩余 10:01:01";
}

void TestTimeLeft::text()
{
    QFETCH(bool, known);
    QFETCH(qint64, fileMs);
    QFETCH(qint64, totalMs);
    TimeLeftEstimator::Estimate estimate;
    estimate.known = known;
    estimate.fileMs = fileMs;
    estimate.totalMs = totalMs;
    QTEST(TimeLeft::text(estimate), "text");
}

QTEST_GUILESS_MAIN(TestTimeLeft)
#include "tst_timeleft.moc"
