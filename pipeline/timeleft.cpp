#include "pipeline/timeleft.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>

namespace {
QString suffixOf(const QString &path)
{
    const QString name = path.section(QLatin1Char('/'), -1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : name.mid(dot + 1).toLower();
}

QString clock(qint64 ms)
{
    const qint64 seconds = (std::max<qint64>(ms, 0) + 999) / 1000;
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds = QStringLiteral("%1:%2")
                                       .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours ? QStringLiteral("%1:").arg(hours) + minutesSeconds : minutesSeconds;
}
} // namespace

void TimeLeftEstimator::progress(const QString &task, qint64 bytes, int done, int count, qint64 nowMs)
{
    if (task != current.task || current.task.isEmpty()) {
        const double ms = projectedMs(current);
        if (ms >= 0 && current.bytes > 0) {
            Pace &pace = measured[current.suffix];
            pace.ms += ms;
            pace.bytes += current.bytes;
        }
        current = FileClock();
        current.task = task;
        current.suffix = suffixOf(task);
        current.bytes = bytes;
        current.firstDone = done;
        current.firstMs = nowMs;
    }
    current.done = done;
    current.count = count;
    current.lastMs = nowMs;
}

double TimeLeftEstimator::projectedMs(const FileClock &file)
{
    const int measuredSegments = file.done - file.firstDone;
    if (measuredSegments <= 0 || file.count <= 0)
        return -1;
    return double(file.lastMs - file.firstMs) / measuredSegments * file.count;
}

double TimeLeftEstimator::msPerByte(const QString &suffix) const
{
    Pace same = measured.value(suffix);
    Pace all;
    for (const Pace &pace : measured) {
        all.ms += pace.ms;
        all.bytes += pace.bytes;
    }
    const double ms = projectedMs(current);
    if (ms >= 0 && current.bytes > 0) {
        all.ms += ms;
        all.bytes += current.bytes;
        if (current.suffix == suffix) {
            same.ms += ms;
            same.bytes += current.bytes;
        }
    }
    const Pace &pace = same.bytes > 0 ? same : all;
    return pace.bytes > 0 ? pace.ms / pace.bytes : 0;
}

TimeLeftEstimator::Estimate TimeLeftEstimator::estimate(const QList<QueuedFile> &queued) const
{
    Estimate estimate;
    const double whole = projectedMs(current);
    if (whole < 0)
        return estimate;
    estimate.known = true;
    estimate.fileMs = std::llround(whole / current.count * (current.count - current.done));
    double total = double(estimate.fileMs);
    for (const QueuedFile &file : queued)
        total += file.bytes * msPerByte(file.suffix.toLower());
    estimate.totalMs = std::llround(total);
    return estimate;
}

void TimeLeftEstimator::reset()
{
    current = FileClock();
    measured.clear();
}

namespace TimeLeft {
QString text(const TimeLeftEstimator::Estimate &estimate)
{
    if (!estimate.known)
        return QString();
    return QCoreApplication::translate("TimeLeft", "文件剩余 %1\n全部剩余 %2")
        .arg(clock(estimate.fileMs), clock(estimate.totalMs));
}
} // namespace TimeLeft
