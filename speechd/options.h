#pragma once

#include "speechd/requesthandler.h"

#include <string>
#include <vector>

namespace speechd {

// Decoding workers when --workers is not given: one per core this process may run on, at most
// maxDefaultWorkers (each holds its own model, so more cost memory for little gain).
const int maxDefaultWorkers = 4;
int defaultWorkerCount();
// The rule itself: the smaller of the cores online and the cores in the affinity mask (0: unknown),
// between 1 and maxDefaultWorkers.
int defaultWorkerCount(unsigned onlineCores, unsigned affinityCores);

struct Options
{
    enum class Action { Serve, ShowUsage, ShowVersion };
    Action action = Action::Serve; // --help and --version answer and end without serving
    std::string host;
    int port = 0; // 0: any free port, reported on the "listening on" line
    Credentials credentials;
    std::string modelDir;
    int queueCapacity = 8;
    int workers = defaultWorkerCount();
    long long tokenLifetimeSeconds = 30LL * 24 * 3600;
    std::string tokenKeyFile; // empty: a random key made at start
    std::string logFile; // empty: the log goes to standard error
    long long logFileBytes = 1024 * 1024; // a full log file becomes logFile + ".1"
};

// The usage text --help prints, and an unknown option is answered with.
const char *usageText();

// Overrides `options` (already filled from the deployment configuration) from the command line.
// False with a message in `error` for an unknown option, a missing value or a bad number. --help
// (-h) or --version anywhere sets `action` and ends the parse.
bool parseArguments(const std::vector<std::string> &arguments, Options &options, std::string &error);

// "host:port", "[v6]:port" or "host" (port 80) into its parts; false when the port is no number.
bool splitHostPort(const std::string &text, std::string &host, int &port);

} // namespace speechd
