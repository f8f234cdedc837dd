#pragma once

#include <string>

namespace speechd {

class DecodeQueue;
class TokenSigner;

struct Credentials
{
    std::string clientId;
    std::string clientSecret;
};

struct Reply
{
    int status = 200;
    std::string body; // JSON
    int errNo = -1; // the recognition answer's err_no, for the log; -1 when there is none
};

// What the service answers, independent of the HTTP server so that tests and fuzz targets drive it
// directly. Thread-safe: the HTTP threads share one instance.
class RequestHandler
{
public:
    static const int englishDevPid = 1737;
    static const int defaultDevPid = 1537; // what a request without dev_pid asks for
    static const size_t minimumSamples = 4800; // 0.3 s at 16 kHz

    RequestHandler(Credentials credentials, const TokenSigner &tokens, DecodeQueue &decoder);

    // GET /oauth/2.0/token; a missing parameter is passed as empty.
    Reply token(const std::string &grantType, const std::string &clientId, const std::string &clientSecret);
    // POST /server_api with its body.
    Reply recognize(const std::string &body);
    // GET /healthz: 200 {"status":"ok","workers":N,"queued":K,"capacity":C} once every worker's model is
    // loaded, 503 with "status":"loading" before. N counts the workers the service was started with, K the
    // recognition requests waiting for one, C how many may wait.
    Reply health();

private:
    Credentials credentials;
    const TokenSigner &tokens;
    DecodeQueue &decoder;
};

// Strict standard Base64 (RFC 4648 alphabet, padded, no whitespace); false on anything else.
bool decodeBase64(const std::string &text, std::string &bytes);
bool decodeBase64(const char *text, size_t size, std::string &bytes);

} // namespace speechd
