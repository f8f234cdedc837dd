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
    const qint64 segmentMs = 60000;
    const SpeechProtocol::RecognitionOutcome outcome = SpeechProtocol::decodeRecognitionReply(body, segmentMs);
    if (outcome.kind == SpeechProtocol::RecognitionOutcome::Fail && outcome.message.isEmpty())
        __builtin_trap(); // every failure has a message to show
    if (outcome.kind != SpeechProtocol::RecognitionOutcome::Success && outcome.hasText)
        __builtin_trap();
    if (!outcome.hasTimes && !outcome.sentences.isEmpty())
        __builtin_trap(); // times kept from a malformed member
    qint64 previousEnd = 0;
    for (const TimedSentence &sentence : outcome.sentences) {
        if (sentence.startMs < previousEnd || sentence.endMs < sentence.startMs || sentence.endMs > segmentMs)
            __builtin_trap(); // accepted times that are out of order or beyond the segment
        for (const TimedWord &word : sentence.words) {
            if (word.startMs < sentence.startMs || word.endMs > sentence.endMs || word.endMs < word.startMs)
                __builtin_trap();
        }
        previousEnd = sentence.endMs;
    }
    for (const TimedSentence &sentence : SpeechProtocol::sentencesOrWholeSegment(outcome, segmentMs)) {
        if (sentence.endMs > segmentMs)
            __builtin_trap();
    }
    return 0;
}
