#pragma once

#include <QList>

class QProcess;

// Ends by force, without waiting, each of these child processes that still runs. Only our own
// children are touched, never other programs' processes of the same name.
void killRunningProcesses(const QList<QProcess *> &processes);
