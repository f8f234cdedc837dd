#include "speechd/tokensigner.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include <sys/random.h>

#include <cerrno>

namespace speechd {

namespace {

const size_t randomBytes = 16;
const size_t macHexLength = 64;

// Wall-clock time: instances on different machines must agree on when a token expires.
int64_t unixNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string macHex(const std::string &key, const std::string &payload)
{
    const QByteArray mac = QMessageAuthenticationCode::hash(
        QByteArray::fromStdString(payload), QByteArray::fromStdString(key), QCryptographicHash::Sha256);
    return mac.toHex().toStdString();
}

// Compares in time that depends only on the length, so a forged MAC reveals nothing by timing.
bool sameBytes(const std::string &given, const std::string &expected)
{
    if (given.size() != expected.size())
        return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ expected[i]);
    return difference == 0;
}

bool parseExpiry(const std::string &text, int64_t &value)
{
    if (text.empty() || text.size() > 18 || (text.size() > 1 && text[0] == '0'))
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

} // namespace

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

std::string randomHex(size_t bytes)
{
    std::string random(bytes, '\0');
    if (!fillRandom(reinterpret_cast<unsigned char *>(&random[0]), bytes))
        return std::string();
    return QByteArray::fromStdString(random).toHex().toStdString();
}

std::string signToken(const std::string &key, int64_t expiryUnixMs, const std::string &randomHex)
{
    const std::string payload = std::to_string(expiryUnixMs) + '.' + randomHex;
    return payload + '.' + macHex(key, payload);
}

bool checkToken(const std::string &key, const std::string &token, int64_t nowUnixMs)
{
    const size_t macDot = token.rfind('.');
    if (macDot == std::string::npos || token.size() - macDot - 1 != macHexLength)
        return false;
    const std::string payload = token.substr(0, macDot);
    if (!sameBytes(token.substr(macDot + 1), macHex(key, payload)))
        return false;
    // The MAC holds, so the payload is one this key signed; only its expiry is left to read.
    int64_t expiry = 0;
    return parseExpiry(payload.substr(0, payload.find('.')), expiry) && nowUnixMs < expiry;
}

TokenSigner::TokenSigner(std::string key, std::chrono::seconds lifetime)
    : key(std::move(key))
    , tokenLifetime(lifetime)
{ }

std::string TokenSigner::issue() const
{
    const std::string random = randomHex(randomBytes);
    if (random.empty())
        return std::string();
    return signToken(key, unixNowMs() + tokenLifetime.count() * 1000, random);
}

bool TokenSigner::isValid(const std::string &token) const
{
    return checkToken(key, token, unixNowMs());
}

} // namespace speechd
