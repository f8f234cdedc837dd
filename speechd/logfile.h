#pragma once

#include <string>

// The service's log (the request lines and every message on standard error) in a file of bounded size:
// standard error itself is pointed at the file, so nothing written there reaches a terminal.
namespace speechd {

// Appends standard error to path from now on; once the file holds maxBytes it becomes path + ".1"
// (replacing the one before) and a new file is begun. False with the reason in error.
bool logToFile(const std::string &path, long long maxBytes, std::string &error);
// Begins the next file when the current one is full; nothing when standard error is not a log file.
// Safe to call from every thread after a line was written.
void rotateLogIfFull();

} // namespace speechd
