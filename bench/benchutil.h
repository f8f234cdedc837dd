#pragma once

// What the conversion benchmarks measure: event-loop stalls, peak memory, and a real event loop to wait in.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QRegularExpression>
#include <QTimer>

#include <functional>

namespace BenchUtil {

// The peak resident memory (VmHWM) of a process, in KiB; -1 when it cannot be read.
inline qint64 peakMemoryKiB(const QString &pid = QStringLiteral("self"))
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression hwm(QStringLiteral("VmHWM:\\s*(\\d+) kB"));
    const QRegularExpressionMatch match = hwm.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// Lateness of a 10 ms timer: how long the event loop was kept from running it.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, this, [this] {
            const qint64 late = clock.restart() - 10;
            worstMs = qMax(worstMs, late);
        });
        clock.start();
        timer.start(10);
    }
    qint64 worstMs = 0;

private:
    QTimer timer;
    QElapsedTimer clock;
};

// Runs a real event loop, as the program does, until done() holds or ms pass. (QTest::qWaitFor sleeps
// 10 ms between rounds, which would add its own delay to every step of the chain being measured.)
inline bool runUntil(const std::function<bool()> &done, int ms)
{
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start(1);
    loop.exec();
    return done();
}

// The recognition requests a speech service's log shows answered, and the decoding time it spent on them.
struct ServiceTime
{
    int requests = 0;
    double decodeMs = 0;
};
inline ServiceTime serviceTimeInLog(const QString &log)
{
    ServiceTime time;
    static const QRegularExpression line(QStringLiteral("POST /server_api 200 err_no=0 .* (\\d+)ms"));
    for (const QString &entry : log.split('\n')) {
        const QRegularExpressionMatch match = line.match(entry);
        if (match.hasMatch()) {
            time.decodeMs += match.captured(1).toDouble();
            ++time.requests;
        }
    }
    return time;
}

} // namespace BenchUtil
