#pragma once

#include <QStringList>

// quillora --adapt AUDIO TEXT ...: adapts the user's voice profile from the pairs, without a window, in
// the application made by the caller. Progress and the outcome go to standard error; returns the exit
// status (0 adapted, 1 failed with the previous profile kept, 128 + a signal when stopped).
int runAdaptCommand(const QStringList &pairs);
