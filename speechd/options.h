#pragma once

#include "speechd/requesthandler.h"

#include <string>
#include <vector>

namespace speechd {

struct Options
{
    std::string host;
    int port = 0; // 0: any free port, reported on the "listening on" line
    Credentials credentials;
    std::string modelDir;
    int queueCapacity = 8;
    int workers = 1;
    long long tokenLifetimeSeconds = 30LL * 24 * 3600;
};

// Overrides `options` (already filled from the deployment configuration) from the command line.
// False with a message in `error` for an unknown option, a missing value or a bad number.
bool parseArguments(const std::vector<std::string> &arguments, Options &options, std::string &error);

// "host:port", "[v6]:port" or "host" (port 80) into its parts; false when the port is no number.
bool splitHostPort(const std::string &text, std::string &host, int &port);

} // namespace speechd
