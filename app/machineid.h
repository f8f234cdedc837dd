#pragma once

#include "platform/networkadapters.h"

#include <QList>
#include <QString>

// The machine identifier: the first qualifying adapter's address bytes as lower-case hex without
// leading zeros, joined by "-" (00-1C-42-0A-3F-05 gives 0-1c-42-a-3f-5). Empty when none qualifies.
QString machineIdFromAdapters(const QList<NetworkAdapter> &adapters);

// The identifier of this machine, from the platform's adapter list.
QString readMachineId();
