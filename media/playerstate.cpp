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

} // namespace PlayerState
