#pragma once

#include <QStringList>

// False when this process now holds the single-instance guard and may go on; true when it must stop
// (another copy runs, or the guard cannot be made), after telling the user in the message dialog.
bool checkSingleInstance();

// False when the user's data folder exists or was just made; true when the program must stop, after
// telling the user which folder it could not create (also on standard error).
bool checkDataFolder();

// Start-up steps that need the application object: locale codec, application font, desktop sizes,
// the program's name, the application and data folders.
void prepareApplication();

// The desktop sizes and every screen's areas into AppState; start-up keeps them current afterwards.
void measureScreens();

// Reads the deployment in force, so that its problems, and a speech service on another machine reached
// over plain HTTP (credentials in clear text), are told once on standard error at start.
void reportDeployment();

// Before the application object: false, after one line on standard error, when there is no display to
// show the window on. From then until displayReached(), a display that cannot be reached (a DISPLAY
// nobody answers) ends the program with exit status 1 and that line, instead of the toolkit's abort.
bool checkDisplay(const QStringList &arguments);
void displayReached();
