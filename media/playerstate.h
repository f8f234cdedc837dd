#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Decisions of the player that depend only on values.
namespace PlayerState {

// Index in taskFiles of the task whose file name (the text after the last "/") is exactly the
// selected text, the first such task; -1 when none is.
int selectedTaskIndex(const QStringList &taskFiles, const QString &selectedName);

// Resuming at the end position would end at once: start again from 0.
bool resumeFromStart(qint64 totalMs, qint64 currentMs);

// What a player asked to play is doing, judged a moment after it stopped or reached the end: a
// source that stops before it ever played is not playable; one that stops after playing, or sits at
// its end, has ended (a seek or drag to the end may bring no finished()).
enum class Verdict { Playing, Ended, NotPlayable };
Verdict verdict(bool stoppedOrFailed, bool reachedPlaying, qint64 currentMs, qint64 totalMs);

} // namespace PlayerState
