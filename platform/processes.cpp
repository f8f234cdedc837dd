#include "platform/processes.h"

#include <QProcess>

void killRunningProcesses(const QList<QProcess *> &processes)
{
    for (QProcess *process : processes) {
        if (process && process->state() != QProcess::NotRunning)
            process->kill();
    }
}
