#pragma once

#include <QString>

class QSharedMemory;

// Takes the single-instance segment. Returns an empty text when this process now holds it, otherwise
// the message to show: "程序已经启动！" when another copy runs, "程序启动错误！" for any other failure.
// A segment left behind by a crashed copy is removed first, so a crash never blocks later starts.
QString acquireInstanceGuard(QSharedMemory &guard);
