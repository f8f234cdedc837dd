#include "speechd/tokenstore.h"

#include <sys/random.h>

#include <cerrno>

namespace speechd {

namespace {

bool fillRandom(unsigned char *buffer, size_t length)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t got = getrandom(buffer + done, length - done, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(got);
    }
    return true;
}

} // namespace

TokenStore::TokenStore(std::chrono::seconds lifetime, size_t capacity)
    : tokenLifetime(lifetime)
    , capacity(capacity)
{ }

std::string TokenStore::issue()
{
    unsigned char random[32];
    if (!fillRandom(random, sizeof random))
        return std::string();
    static const char hex[] = "0123456789abcdef";
    std::string token;
    token.reserve(2 * sizeof random);
    for (unsigned char byte : random) {
        token += hex[byte >> 4];
        token += hex[byte & 15];
    }

    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    dropExpired(now);
    // Bounded memory however many tokens clients ask for: the oldest are forgotten first.
    while (issueOrder.size() >= capacity) {
        expiry.erase(issueOrder.front());
        issueOrder.pop_front();
    }
    expiry[token] = now + tokenLifetime;
    issueOrder.push_back(token);
    return token;
}

bool TokenStore::isValid(const std::string &token)
{
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = expiry.find(token);
    return found != expiry.end() && now < found->second;
}

void TokenStore::dropExpired(Clock::time_point now)
{
    // Every token has the same lifetime, so issue order is expiry order.
    while (!issueOrder.empty()) {
        const auto found = expiry.find(issueOrder.front());
        if (found != expiry.end() && now < found->second)
            break;
        if (found != expiry.end())
            expiry.erase(found);
        issueOrder.pop_front();
    }
}

} // namespace speechd
