#pragma once

#include "app/appstate.h"

#include <QString>

// Runs the program in a test's own folder: the executable's folder and the user's files both there,
// as for a copy run from a folder the user may write to.
inline void useAppFolder(const QString &folder)
{
    AppState::appDir = folder;
    AppState::dataDir = folder;
}
