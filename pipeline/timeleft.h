#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QtGlobal>

// How long a conversion run has left, from the pace this run has kept. The file under way is
// projected from its own segments: the time per segment since the file was first seen, times the
// segments still to go. A task still waiting has not been probed, so its length is unknown; it is
// projected from its size: the milliseconds per byte this run measured on files of the same suffix
// (the file under way included), or, for a suffix not met yet in this run, on all files so far.
class TimeLeftEstimator
{
public:
    struct QueuedFile
    {
        QString suffix; // without the dot, any case
        qint64 bytes = 0;
    };
    struct Estimate
    {
        bool known = false; // false until the file under way has finished a segment since first seen
        qint64 fileMs = 0;
        qint64 totalMs = 0; // the file under way and every queued file
    };

    // `task` (of `bytes` bytes) has `done` of `count` segments recognised at `nowMs` (any clock that
    // only goes forward). A task other than the last one seen starts a new file; the last one's pace
    // is kept for the queued files' projection.
    void progress(const QString &task, qint64 bytes, int done, int count, qint64 nowMs);
    Estimate estimate(const QList<QueuedFile> &queued) const;
    void reset();

private:
    struct FileClock
    {
        QString task;
        QString suffix;
        qint64 bytes = 0;
        int firstDone = 0;
        qint64 firstMs = 0;
        int done = 0;
        int count = 0;
        qint64 lastMs = 0;
    };
    struct Pace
    {
        double ms = 0;
        qint64 bytes = 0;
    };
    // The projected time of the whole file; negative while its pace is unknown.
    static double projectedMs(const FileClock &file);
    double msPerByte(const QString &suffix) const;

    FileClock current;
    QHash<QString, Pace> measured; // suffix (lower case) -> files finished in this run
};

namespace TimeLeft {
// "文件剩余 mm:ss" over "全部剩余 mm:ss" (h:mm:ss from an hour), seconds rounded up; empty when unknown.
QString text(const TimeLeftEstimator::Estimate &estimate);
} // namespace TimeLeft
