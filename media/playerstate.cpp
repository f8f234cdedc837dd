#include "media/playerstate.h"

#include "library/librarypaths.h"

namespace PlayerState {

int selectedTaskIndex(const QStringList &taskFiles, const QString &selectedName)
{
    return LibraryPaths::entryTask(taskFiles, QString(), selectedName);
}

bool resumeFromStart(qint64 totalMs, qint64 currentMs)
{
    return totalMs == currentMs;
}

Verdict verdict(bool stoppedOrFailed, bool reachedPlaying, qint64 currentMs, qint64 totalMs)
{
    if (stoppedOrFailed)
        return reachedPlaying ? Verdict::Ended : Verdict::NotPlayable;
    return totalMs > 0 && currentMs >= totalMs ? Verdict::Ended : Verdict::Playing;
}

} // namespace PlayerState
