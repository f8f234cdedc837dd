#pragma once

#include <QString>

// Where this program finds its own parts and keeps the user's files, for a copy run from its build
// folder or a portable folder as much as for one installed under /usr.

// Names the program to the platform before any folder is looked up: the user data folder
// (~/.local/share/Quillora) and the window class both follow this name.
void nameApplication();

// Whether the user's files are kept beside the executable in appDir: only for a build folder
// (buildFolder) or a portable copy this user may write to, never for a copy installed under
// installPrefix, where even root keeps them in the per-user data folder.
bool keepsFilesBeside(const QString &appDir, const QString &installPrefix, bool writable, bool buildFolder);

// The folder holding the user's files (myWAVFiles, myWordFiles, myTmpWAVFiles, the test recording):
// the executable's folder when keepsFilesBeside, otherwise the user's own data folder.
QString dataDirFor(const QString &appDir);

// Start-up steps every mode needs, window or command line, once the application object exists: the
// locale codec, the program's name and version, the application and data folders.
void prepareCoreApplication();

// Sets AppState::appDir from the executable's location and AppState::dataDir by dataDirFor.
void locateFolders();

// Creates dataDir with any missing parents. Empty when it is a folder afterwards, otherwise the
// message for the user, naming the path.
QString makeDataDir(const QString &dataDir);

// The speech service beside the executable, else in the installed helper folder (libexec/quillora
// next to bin/); the path beside the executable when neither exists, so the start fails as before.
QString speechServiceProgram(const QString &appDir);
