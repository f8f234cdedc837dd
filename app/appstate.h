#pragma once

#include <QFont>
#include <QLockFile>
#include <QString>

#include <memory>

// What start-up measured, process-wide; nothing changes it afterwards.
namespace AppState {
extern int screenWidth;
extern int screenHeight;
extern int availableHeight;
extern QString machineId;
extern QFont appFont;
extern std::unique_ptr<QLockFile> instanceGuard; // held while this copy runs
extern QString appDir; // the executable's folder: our other programs and a deployment file beside it
extern QString dataDir; // the user's files: the three working folders and the test recording
} // namespace AppState
