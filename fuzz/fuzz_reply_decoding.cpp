// The client's decoding of whatever a service answers: it must never crash, whatever the bytes.
#include "pipeline/speechprotocol.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), int(size));
    const SpeechProtocol::TokenReply token = SpeechProtocol::decodeTokenReply(body);
    if (!token.ok && !token.accessToken.isEmpty())
        __builtin_trap(); // a token out of a reply that did not parse
    const SpeechProtocol::RecognitionOutcome outcome = SpeechProtocol::decodeRecognitionReply(body);
    if (outcome.kind == SpeechProtocol::RecognitionOutcome::Fail && outcome.message.isEmpty())
        __builtin_trap(); // every failure has a message to show
    if (outcome.kind != SpeechProtocol::RecognitionOutcome::Success && outcome.hasText)
        __builtin_trap();
    return 0;
}
