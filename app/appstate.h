#pragma once

#include <QFont>
#include <QSharedMemory>
#include <QString>

// What start-up measured, process-wide; nothing changes it afterwards.
namespace AppState {
extern int screenWidth;
extern int screenHeight;
extern int availableHeight;
extern QString machineId;
extern QFont appFont;
extern QSharedMemory instanceGuard;
extern QString appDir; // the executable's folder: our other programs and a deployment file beside it
extern QString dataDir; // the user's files: the three working folders and the test recording
} // namespace AppState
