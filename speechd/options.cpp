#include "speechd/options.h"

#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace speechd {

namespace {

bool parseNumber(const std::string &text, long long minimum, long long maximum, long long &value)
{
    if (text.empty() || text.size() > 18)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    value = std::atoll(text.c_str());
    return value >= minimum && value <= maximum;
}

} // namespace

int defaultWorkerCount(unsigned onlineCores, unsigned affinityCores)
{
    unsigned cores = onlineCores;
    if (affinityCores > 0 && (cores == 0 || affinityCores < cores))
        cores = affinityCores;
    return int(std::clamp(cores, 1u, unsigned(maxDefaultWorkers)));
}

int defaultWorkerCount()
{
    // hardware_concurrency counts every core online; taskset or a cpuset may allow this process fewer.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    const unsigned affinity = sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? unsigned(CPU_COUNT(&allowed)) : 0;
    return defaultWorkerCount(std::thread::hardware_concurrency(), affinity);
}

bool splitHostPort(const std::string &text, std::string &host, int &port)
{
    std::string portText;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos)
            return false;
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':')
                return false;
            portText = text.substr(close + 2);
        }
    } else {
        const size_t colon = text.rfind(':');
        host = text.substr(0, colon);
        if (colon != std::string::npos)
            portText = text.substr(colon + 1);
    }
    long long value = 80;
    if (!portText.empty() && !parseNumber(portText, 0, 65535, value))
        return false;
    port = int(value);
    return !host.empty();
}

const char *usageText()
{
    return "usage: quillora-speechd [--listen ADDR:PORT] [--client-id ID] [--client-secret SECRET] "
           "[--model-dir DIR] [--queue N] [--workers N] [--token-lifetime SECONDS] "
           "[--token-key-file PATH] [--log-file PATH] [--log-file-bytes N]\n"
           "       quillora-speechd --help | --version\n";
}

bool parseArguments(const std::vector<std::string> &arguments, Options &options, std::string &error)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string &name = arguments[i];
        if (name == "--help" || name == "-h" || name == "--version") {
            options.action = name == "--version" ? Options::Action::ShowVersion : Options::Action::ShowUsage;
            return true;
        }
        if (i + 1 >= arguments.size()) {
            error = "unknown option or missing value: " + name;
            return false;
        }
        const std::string &value = arguments[++i];
        long long number = 0;
        if (name == "--listen") {
            if (!splitHostPort(value, options.host, options.port)) {
                error = "--listen needs ADDR:PORT, not " + value;
                return false;
            }
        } else if (name == "--client-id") {
            options.credentials.clientId = value;
        } else if (name == "--client-secret") {
            options.credentials.clientSecret = value;
        } else if (name == "--model-dir") {
            options.modelDir = value;
        } else if (name == "--queue" && parseNumber(value, 0, 1000, number)) {
            options.queueCapacity = int(number);
        } else if (name == "--workers" && parseNumber(value, 1, 64, number)) {
            options.workers = int(number);
        } else if (name == "--token-key-file") {
            options.tokenKeyFile = value;
        } else if (name == "--log-file") {
            options.logFile = value;
        } else if (name == "--log-file-bytes" && parseNumber(value, 1, 1LL << 40, number)) {
            options.logFileBytes = number;
        } else if (name == "--token-lifetime" && parseNumber(value, 1, 1LL << 40, number)) {
            options.tokenLifetimeSeconds = number;
        } else {
            error = "unknown option or bad value: " + name + " " + value;
            return false;
        }
    }
    return true;
}

} // namespace speechd
