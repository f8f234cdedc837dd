// The service's request handling, fed arbitrary input. The first byte picks what is exercised:
//   0: a recognition body, where "@TOKEN@" stands for a token the service issued (so the fuzzer gets past
//      the token check); 1: the WAV reader and Base64 decoder on raw bytes; 2: the token endpoint with
//      grant type, client id and secret separated by NUL bytes.
#include "speechd/recognizer.h"
#include "speechd/requesthandler.h"
#include "speechd/tokenstore.h"
#include "speechd/wavaudio.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

struct Service
{
    speechd::TokenStore tokens {std::chrono::seconds(3600)};
    std::unique_ptr<speechd::DecodeQueue> queue;
    std::unique_ptr<speechd::RequestHandler> handler;
    std::string token;

    Service()
    {
        std::vector<std::unique_ptr<speechd::Recognizer>> recognizers;
        recognizers.push_back(std::make_unique<speechd::Recognizer>());
        if (!recognizers.back()->load(SPEECHD_MODEL_DIR))
            __builtin_trap();
        queue = std::make_unique<speechd::DecodeQueue>(std::move(recognizers), 4);
        handler = std::make_unique<speechd::RequestHandler>(
            speechd::Credentials {"FuzzClientId000000000001", "FuzzClientSecret0000000000000001"}, tokens, *queue);
        token = tokens.issue();
    }
};

Service &service()
{
    static Service instance;
    return instance;
}

void replaceAll(std::string &text, const std::string &from, const std::string &to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

bool validJsonReply(const speechd::Reply &reply)
{
    return !reply.body.empty() && reply.body.front() == '{' && reply.body.back() == '}';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    Service &s = service();
    std::string input(reinterpret_cast<const char *>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0: {
        replaceAll(input, "@TOKEN@", s.token);
        const speechd::Reply reply = s.handler->recognize(input);
        if (reply.status != 200 || !validJsonReply(reply) || reply.errNo < 0)
            __builtin_trap();
        break;
    }
    case 1: {
        std::vector<int16_t> samples;
        if (speechd::readPcm16kMono(input.data(), input.size(), samples) && samples.size() * 2 > input.size())
            __builtin_trap(); // more samples than bytes
        std::string bytes;
        if (speechd::decodeBase64(input, bytes) && bytes.size() > input.size())
            __builtin_trap();
        break;
    }
    default: {
        const size_t first = input.find('\0');
        const size_t second = first == std::string::npos ? first : input.find('\0', first + 1);
        const std::string grant = input.substr(0, first);
        const std::string id = first == std::string::npos ? std::string() : input.substr(first + 1, second - first - 1);
        const std::string secret = second == std::string::npos ? std::string() : input.substr(second + 1);
        const speechd::Reply reply = s.handler->token(grant, id, secret);
        if (!validJsonReply(reply))
            __builtin_trap();
        break;
    }
    }
    return 0;
}
