#pragma once

#include <QFont>
#include <QList>
#include <QLockFile>
#include <QRect>
#include <QString>

#include <memory>

// What start-up measured, process-wide; nothing changes it afterwards.
namespace AppState {
extern int screenWidth;
extern int screenHeight;
extern int availableHeight;
// Each screen's geometry and the part of it the desktop's panels leave free, in desktop coordinates,
// the primary screen first; kept current while the program runs. Empty: only the sizes above are known.
struct Screen
{
    QRect geometry;
    QRect available;
};
extern QList<Screen> screens;
extern QString machineId;
extern QFont appFont;
extern std::unique_ptr<QLockFile> instanceGuard; // held while this copy runs
extern QString appDir; // the executable's folder: our other programs and a deployment file beside it
extern QString dataDir; // the user's files: the three working folders and the test recording
} // namespace AppState
