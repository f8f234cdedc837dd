#include "media/playerstate.h"

namespace PlayerState {

int selectedTaskIndex(const QStringList &taskFiles, const QString &selectedName)
{
    if (selectedName.isEmpty())
        return -1;
    for (int i = 0; i < taskFiles.size(); ++i) {
        const QString &path = taskFiles.at(i);
        if (path.mid(path.lastIndexOf(QLatin1Char('/')) + 1) == selectedName)
            return i;
    }
    return -1;
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
