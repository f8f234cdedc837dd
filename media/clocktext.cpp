#include "media/clocktext.h"

namespace ClockText {

namespace {
constexpr qint64 secondsPerDay = 86400;

QString hhmmss(qint64 seconds)
{
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds / 60 % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

QString recordClock(qint64 seconds)
{
    return hhmmss(qMax<qint64>(seconds, 0) % secondsPerDay);
}

QString playTime(qint64 currentMs, qint64 totalMs)
{
    // The media framework reports -1 for a time it does not know yet.
    currentMs = qMax<qint64>(currentMs, 0);
    totalMs = qMax<qint64>(totalMs, 0);
    if (currentMs == 0 && totalMs == 0)
        return QString();
    QString text = hhmmss(currentMs / 1000);
    if (totalMs != 0)
        text += QStringLiteral(" / ") + hhmmss(totalMs / 1000);
    return text;
}

} // namespace ClockText
