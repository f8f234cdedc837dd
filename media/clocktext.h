#pragma once

#include <QString>
#include <QtGlobal>

// Texts of the record clock and the playback time label, always hh:mm:ss.
namespace ClockText {

// Whole seconds of a recording; a day or more starts again from 00:00:00, a negative count
// (the wall clock set back) reads 00:00:00.
QString recordClock(qint64 seconds);

// "current / total" from milliseconds, fractions of a second cut off; the empty text while both are 0,
// no " / total" part while the total is unknown (0, or -1 as Phonon reports it). Hours past a day
// keep counting (25:00:00).
QString playTime(qint64 currentMs, qint64 totalMs);

} // namespace ClockText
