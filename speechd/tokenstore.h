#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace speechd {

// The access tokens this service issued, each valid for a fixed lifetime. Thread-safe.
class TokenStore
{
public:
    using Clock = std::chrono::steady_clock;

    explicit TokenStore(std::chrono::seconds lifetime, size_t capacity = 100000);

    // A fresh token from the system's random source; empty if that source fails.
    std::string issue();
    bool isValid(const std::string &token);
    std::chrono::seconds lifetime() const { return tokenLifetime; }

private:
    void dropExpired(Clock::time_point now);

    const std::chrono::seconds tokenLifetime;
    const size_t capacity;
    std::mutex mutex;
    std::unordered_map<std::string, Clock::time_point> expiry;
    std::deque<std::string> issueOrder; // oldest first, to forget tokens without scanning
};

} // namespace speechd
