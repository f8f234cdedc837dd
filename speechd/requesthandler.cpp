#include "speechd/requesthandler.h"

#include "pipeline/speecherrors.h"

#include "speechd/decodervariant.h"
#include "speechd/recognizer.h"
#include "speechd/tokensigner.h"
#include "speechd/voicetransform.h"
#include "speechd/wavaudio.h"

#include <json/json.h>

#include <cstdio>
#include <exception>
#include <memory>

namespace speechd {

namespace {

std::string compactJson(const Json::Value &value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

Json::Value sentencesMember(const ReadableText &readable)
{
    Json::Value sentences(Json::arrayValue);
    for (const Sentence &sentence : readable.sentences) {
        Json::Value item(Json::objectValue);
        item["text"] = sentence.text;
        item["start"] = sentence.startMs;
        item["end"] = sentence.endMs;
        Json::Value &words = item["words"] = Json::Value(Json::arrayValue);
        for (const TimedWord &word : sentence.words) {
            Json::Value timed(Json::objectValue);
            timed["word"] = word.text;
            timed["start"] = word.startMs;
            timed["end"] = word.endMs;
            words.append(timed);
        }
        sentences.append(item);
    }
    return sentences;
}

Reply recognitionAnswer(int errNo, const std::string &message, const ReadableText *readable = nullptr,
    const std::vector<std::string> &unpronounced = {})
{
    Json::Value root(Json::objectValue);
    root["err_no"] = errNo;
    root["err_msg"] = message;
    if (!unpronounced.empty()) {
        Json::Value &named = root["unpronounced_words"] = Json::Value(Json::arrayValue);
        for (const std::string &text : unpronounced)
            named.append(text);
    }
    if (readable) {
        root["result"] = Json::Value(Json::arrayValue);
        root["result"].append(readable->text);
        root["sentences"] = sentencesMember(*readable);
    }
    Reply reply;
    reply.body = compactJson(root);
    reply.errNo = errNo;
    return reply;
}

Reply tokenError(int status, const char *error, const char *description)
{
    Json::Value root(Json::objectValue);
    root["error"] = error;
    root["error_description"] = description;
    Reply reply;
    reply.status = status;
    reply.body = compactJson(root);
    return reply;
}

// Compares in time that depends only on the lengths, so a wrong secret reveals nothing by timing.
bool sameSecret(const std::string &given, const std::string &expected)
{
    unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (size_t i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ expected[i % (expected.empty() ? 1 : expected.size())]);
    return difference == 0 && !expected.empty();
}

bool parseObject(const std::string &body, Json::Value &root)
{
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        if (!reader->parse(body.data(), body.data() + body.size(), &root, &errors))
            return false;
    } catch (const std::exception &) {
        return false; // nesting deeper than the reader's stack limit
    }
    return root.isObject();
}

bool isIntEqual(const Json::Value &value, int expected)
{
    return value.isInt() && value.asInt() == expected;
}

int base64Value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

bool decodeBase64(const std::string &text, std::string &bytes)
{
    return decodeBase64(text.data(), text.size(), bytes);
}

bool decodeBase64(const char *text, size_t size, std::string &bytes)
{
    bytes.clear();
    if (size % 4 != 0)
        return false;
    bytes.reserve(size / 4 * 3);
    for (size_t i = 0; i < size; i += 4) {
        const bool last = i + 4 == size;
        int values[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const unsigned char c = static_cast<unsigned char>(text[i + k]);
            if (c == '=' && last && k >= 2) {
                values[k] = 0;
                ++padding;
                continue;
            }
            if (padding > 0)
                return false; // data after padding
            values[k] = base64Value(c);
            if (values[k] < 0)
                return false;
        }
        const unsigned group
            = unsigned(values[0]) << 18 | unsigned(values[1]) << 12 | unsigned(values[2]) << 6 | unsigned(values[3]);
        bytes += char(group >> 16);
        if (padding < 2)
            bytes += char(group >> 8 & 0xFF);
        if (padding < 1)
            bytes += char(group & 0xFF);
    }
    return true;
}

RequestHandler::RequestHandler(Credentials credentials, const TokenSigner &tokens, DecodeQueue &decoder)
    : credentials(std::move(credentials))
    , tokens(tokens)
    , decoder(decoder)
{ }

Reply RequestHandler::token(const std::string &grantType, const std::string &clientId, const std::string &clientSecret)
{
    if (grantType != "client_credentials")
        return tokenError(400, "unsupported_grant_type", "grant_type must be client_credentials");
    // Evaluate both comparisons so the time taken does not tell which one failed.
    const bool idMatches = sameSecret(clientId, credentials.clientId);
    const bool secretMatches = sameSecret(clientSecret, credentials.clientSecret);
    if (!idMatches || !secretMatches)
        return tokenError(401, "invalid_client", "unknown client id or client secret");

    const std::string accessToken = tokens.issue();
    if (accessToken.empty())
        return tokenError(500, "server_error", "no random source");
    Json::Value root(Json::objectValue);
    root["access_token"] = accessToken;
    root["expires_in"] = Json::Int64(tokens.lifetime().count());
    root["scope"] = "audio_voice_assistant_get";
    Reply reply;
    reply.body = compactJson(root);
    return reply;
}

Reply RequestHandler::recognize(const std::string &body)
{
    Json::Value root;
    if (!parseObject(body, root))
        return recognitionAnswer(SpeechErrors::NotPcm, "request is not a JSON object");

    const Json::Value &token = root["token"];
    if (!token.isString() || !tokens.isValid(token.asString()))
        return recognitionAnswer(
            SpeechErrors::AuthenticationFailed, "authentication failed: token not issued here or expired");

    DecoderVariant variant;
    std::string wordsError;
    if (!parseUserWords(root["words"], variant.words, wordsError))
        return recognitionAnswer(SpeechErrors::NotPcm, wordsError);
    const Json::Value &mllr = root["mllr"];
    std::string mllrProblem;
    if (!mllr.isNull() && (!mllr.isString() || !VoiceTransform::isWellFormed(mllr.asString(), &mllrProblem)))
        return recognitionAnswer(SpeechErrors::NotPcm,
            "mllr is not a voice transform: " + (mllrProblem.empty() ? std::string("not a string") : mllrProblem));
    if (mllr.isString())
        variant.mllr = mllr.asString();

    const Json::Value &format = root["format"];
    if (!format.isString() || format.asString() != "wav")
        return recognitionAnswer(SpeechErrors::NotPcm, "format must be wav");
    if (!isIntEqual(root["rate"], requiredSampleRate))
        return recognitionAnswer(SpeechErrors::NotPcm, "rate must be 16000");
    if (!isIntEqual(root["channel"], 1))
        return recognitionAnswer(SpeechErrors::NotPcm, "channel must be 1");
    const Json::Value &speech = root["speech"];
    const Json::Value &len = root["len"];
    // Read in place: a full segment is 2.5 MB of Base64, and every copy adds to the peak memory.
    const char *speechBegin = nullptr;
    const char *speechEnd = nullptr;
    std::string audio;
    if (!speech.isString() || !speech.getString(&speechBegin, &speechEnd)
        || !decodeBase64(speechBegin, size_t(speechEnd - speechBegin), audio))
        return recognitionAnswer(SpeechErrors::NotPcm, "speech is not Base64");
    if (!len.isInt() || len.asInt() < 0 || size_t(len.asInt()) != audio.size())
        return recognitionAnswer(SpeechErrors::NotPcm, "len does not match the decoded speech");
    std::vector<int16_t> samples;
    if (!readPcm16kMono(audio.data(), audio.size(), samples))
        return recognitionAnswer(SpeechErrors::NotPcm, "speech is not a 16 kHz mono 16-bit PCM WAV");
    std::string().swap(audio);

    if (samples.size() < minimumSamples)
        return recognitionAnswer(SpeechErrors::AudioTooShort, "audio shorter than 0.3 s");

    const Json::Value &devPid = root["dev_pid"];
    const int language = devPid.isNull() ? defaultDevPid : (devPid.isInt() ? devPid.asInt() : -1);
    if (language != englishDevPid)
        return recognitionAnswer(SpeechErrors::RecognitionError,
            "language " + std::to_string(language) + " is not available offline; only English (1737) is");
    root = Json::Value(); // the Base64 is not needed while the request waits for the decoder

    Decoded decoded;
    if (!decoder.decode(std::move(samples), variant, decoded))
        return recognitionAnswer(SpeechErrors::RetryLater, "recognition queue is full, try again");
    if (decoded.variantFailed)
        return recognitionAnswer(SpeechErrors::RecognitionError,
            variant.mllr.empty() ? "cannot build a decoder with these words"
                                 : "cannot build a decoder with these words and this voice transform");
    const ReadableText readable = makeReadable(decoded.utterances);
    if (readable.text.empty())
        return recognitionAnswer(SpeechErrors::NoSpeech, "no speech recognised", nullptr, decoded.unpronounced);
    return recognitionAnswer(0, "success.", &readable, decoded.unpronounced);
}

Reply RequestHandler::health()
{
    const QueueStatus status = decoder.status();
    const bool ready = status.readyWorkers >= status.workers;
    // Written by hand: the members keep this order, which the JSON writer (sorting keys) would not.
    char body[128];
    std::snprintf(body, sizeof body, "{\"status\":\"%s\",\"workers\":%zu,\"queued\":%zu,\"capacity\":%zu}",
        ready ? "ok" : "loading", status.workers, status.queued, status.capacity);
    Reply reply;
    reply.status = ready ? 200 : 503;
    reply.body = body;
    return reply;
}

} // namespace speechd
