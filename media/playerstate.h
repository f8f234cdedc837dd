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

} // namespace PlayerState
