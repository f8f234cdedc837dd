#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace speechd {

// Access tokens that carry their own expiry and a random part, signed with HMAC-SHA256 under a token
// key. Nothing is remembered: every instance given the same key accepts every other's tokens, and a
// restarted instance accepts the tokens it issued before. Thread-safe (no mutable state).
class TokenSigner
{
public:
    static const size_t minimumKeyBytes = 32;

    TokenSigner(std::string key, std::chrono::seconds lifetime);

    // A fresh token valid for the lifetime from now; empty if the system's random source fails.
    std::string issue() const;
    // Signed with this key, unaltered and not expired.
    bool isValid(const std::string &token) const;
    std::chrono::seconds lifetime() const { return tokenLifetime; }

private:
    const std::string key;
    const std::chrono::seconds tokenLifetime;
};

// The token format, as pure functions of their inputs: "EXPIRY.RANDOM.MAC", EXPIRY in decimal Unix
// milliseconds, RANDOM lower-case hex, MAC the lower-case hex HMAC-SHA256 of "EXPIRY.RANDOM" under the
// key. Milliseconds, so that a lifetime of a second is a second and not anything up to two.
std::string signToken(const std::string &key, int64_t expiryUnixMs, const std::string &randomHex);
// True only for a token signToken made under this key whose expiry is after nowUnixMs.
bool checkToken(const std::string &key, const std::string &token, int64_t nowUnixMs);

// Bytes from the system's random source; false if it fails.
bool fillRandom(unsigned char *buffer, size_t length);
std::string randomHex(size_t bytes);

} // namespace speechd
