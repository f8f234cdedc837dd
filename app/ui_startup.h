#pragma once

// False when this process now holds the single-instance guard and may go on; true when it must stop
// (another copy runs, or the guard cannot be made), after telling the user in the message dialog.
bool checkSingleInstance();

// Start-up steps that need the application object: locale codec, application font, desktop sizes,
// application directory.
void prepareApplication();
