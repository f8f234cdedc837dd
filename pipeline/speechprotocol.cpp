#include "pipeline/speechprotocol.h"

#include "pipeline/languages.h"
#include "pipeline/wavformat.h"

#include <QCoreApplication>
#include <QFile>

#include <json/json.h>

#include <algorithm>
#include <exception>

namespace SpeechProtocol {

namespace {

struct ErrorRow
{
    int errNo;
    const char *message; // UTF-8
};

const ErrorRow errorTable[] = {
    {3301, QT_TRANSLATE_NOOP("SpeechProtocol", "语音识别结果实际为空！")},
    {3302, QT_TRANSLATE_NOOP("SpeechProtocol", "鉴权失败！")},
    {3303, QT_TRANSLATE_NOOP("SpeechProtocol", "语音服务器后端繁忙，或是音频质量过低！")},
    {3307, QT_TRANSLATE_NOOP("SpeechProtocol", "语音服务器后端识别出错！")},
    {3309, QT_TRANSLATE_NOOP("SpeechProtocol", "服务端无法将音频转为pcm格式，可能是音频格式问题！")},
    {3313, QT_TRANSLATE_NOOP("SpeechProtocol", "语音服务器解析超时！")},
    {3314, QT_TRANSLATE_NOOP("SpeechProtocol", "音频长度过短！")},
    {3315, QT_TRANSLATE_NOOP("SpeechProtocol", "语音服务器处理超时！")},
    {3316, QT_TRANSLATE_NOOP("SpeechProtocol", "音频转为pcm失败！")},
};

// The 8-bit text the locale codec makes of a string (the codec start-up installs for C strings).
std::string localBytes(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// The reply up to its first NUL, parsed leniently with comments collected. A reply whose root is not an
// object has none of the members we read, and reading members of a non-object would throw, so it counts
// as unparsable too. The reader throws on nesting deeper than its stack limit: that is a parse failure.
bool parseReply(const QByteArray &body, Json::Value &root)
{
    const int nul = body.indexOf('\0');
    const QByteArray text = nul < 0 ? body : body.left(nul);
    try {
        Json::Reader reader;
        if (!reader.parse(text.constData(), text.constData() + text.size(), root, true))
            return false;
    } catch (const std::exception &) {
        return false;
    }
    return root.isObject();
}

QString utf8String(const Json::Value &value)
{
    const std::string text = value.asString();
    return QString::fromUtf8(text.data(), int(text.size()));
}

bool readSpan(const Json::Value &item, qint64 &startMs, qint64 &endMs)
{
    if (!item.isObject() || !item["start"].isInt64() || !item["end"].isInt64())
        return false;
    startMs = item["start"].asInt64();
    endMs = item["end"].asInt64();
    return startMs >= 0 && startMs <= endMs;
}

// Each sentence and word: an object with a string and a span inside its container, in order.
bool decodeSentences(const Json::Value &member, qint64 segmentMs, QVector<TimedSentence> &sentences)
{
    if (!member.isArray())
        return false;
    qint64 previousEnd = 0;
    for (const Json::Value &item : member) {
        TimedSentence sentence;
        if (!readSpan(item, sentence.startMs, sentence.endMs) || !item["text"].isString() || !item["words"].isArray()
            || sentence.startMs < previousEnd || (segmentMs >= 0 && sentence.endMs > segmentMs))
            return false;
        sentence.text = utf8String(item["text"]);
        qint64 wordEnd = sentence.startMs;
        for (const Json::Value &wordItem : item["words"]) {
            TimedWord word;
            if (!readSpan(wordItem, word.startMs, word.endMs) || !wordItem["word"].isString() || word.startMs < wordEnd
                || word.endMs > sentence.endMs)
                return false;
            word.text = utf8String(wordItem["word"]);
            wordEnd = word.endMs;
            sentence.words.append(word);
        }
        previousEnd = sentence.endMs;
        sentences.append(sentence);
    }
    return true;
}

} // namespace

int devPidForLanguage(const QString &language)
{
    return Languages::devPidOf(language);
}

QString languageDisplayName(const QString &language)
{
    return Languages::displayName(language);
}

QString failMessageForErrNo(int errNo)
{
    for (const ErrorRow &row : errorTable) {
        if (row.errNo == errNo)
            return QCoreApplication::translate("SpeechProtocol", row.message);
    }
    return QString();
}

QByteArray buildRecognitionBody(const QString &segmentPath, const RecognitionOptions &options)
{
    // An unreadable segment is still sent; the service then reports the problem.
    QByteArray audio;
    QFile file(segmentPath);
    if (file.open(QIODevice::ReadOnly))
        audio = file.readAll();
    return buildRecognitionBodyOf(std::move(audio), options);
}

QByteArray buildRecognitionBody(const QString &segmentPath, const QString &accessToken, const QString &machineId,
    const QString &language, const QVector<UserWordEntry> &words, const QByteArray &voiceTransform)
{
    return buildRecognitionBody(
        segmentPath, RecognitionOptions {accessToken, machineId, language, words, voiceTransform});
}

QByteArray wavOfPcm(const QByteArray &pcm)
{
    return WavFormat::ofPcm(pcm);
}

QByteArray buildRecognitionBodyOf(QByteArray audio, const QString &accessToken, const QString &machineId,
    const QString &language, const QVector<UserWordEntry> &words, const QByteArray &voiceTransform)
{
    return buildRecognitionBodyOf(
        std::move(audio), RecognitionOptions {accessToken, machineId, language, words, voiceTransform});
}

QByteArray buildRecognitionBodyOf(QByteArray audio, const RecognitionOptions &options)
{
    Json::Value root(Json::objectValue);
    root["format"] = "wav";
    root["rate"] = 16000;
    const int devPid = devPidForLanguage(options.language);
    if (devPid >= 0)
        root["dev_pid"] = devPid;
    root["channel"] = 1;
    root["token"] = localBytes(options.accessToken);
    root["cuid"] = localBytes(options.machineId);
    // The length of the bytes actually sent, so that "len" always agrees with "speech".
    root["len"] = Json::Int(audio.size());
    root["speech"] = "";
    if (!options.words.isEmpty()) {
        Json::Value &list = root["words"] = Json::Value(Json::arrayValue);
        for (const UserWordEntry &word : options.words) {
            if (word.phones.isEmpty()) {
                list.append(word.text.toStdString());
            } else {
                Json::Value entry(Json::objectValue);
                entry["text"] = word.text.toStdString();
                entry["phones"] = word.phones.toStdString();
                list.append(entry);
            }
        }
    }
    if (!options.voiceTransform.isEmpty())
        root["mllr"] = options.voiceTransform.toStdString();

    // The 2.5 MB of Base64 of a full segment needs no escaping, so it is spliced into the writer's text
    // rather than copied through the JSON value and the writer: same bytes, a fraction of the time. The
    // marker cannot occur inside another member's string, where every quote is escaped.
    Json::StyledWriter writer;
    const std::string text = writer.write(root);
    static const std::string marker = "\"speech\" : \"";
    const size_t at = text.find(marker);
    if (at == std::string::npos)
        return QByteArray();
    const size_t split = at + marker.size();
    const QByteArray speech = audio.toBase64();
    audio.clear();
    // The writer escapes everything outside ASCII, so converting its text through the locale codec and
    // back to UTF-8 would give the same bytes; the copy is skipped.
    QByteArray body;
    body.reserve(int(text.size()) + speech.size());
    body.append(text.data(), int(split));
    body.append(speech);
    body.append(text.data() + split, int(text.size() - split));
    return body;
}

TokenReply decodeTokenReply(const QByteArray &body)
{
    TokenReply reply;
    Json::Value root;
    if (!parseReply(body, root))
        return reply;
    reply.ok = true;
    const Json::Value &token = root["access_token"];
    if (token.isConvertibleTo(Json::stringValue))
        reply.accessToken = utf8String(token);
    return reply;
}

int recognitionRequestId(int segment)
{
    return RecognitionRequest + segment;
}

int segmentOfRequest(int id)
{
    return id >= RecognitionRequest ? id - RecognitionRequest : -1;
}

int decodeHealthWorkers(const QByteArray &body)
{
    Json::Value root;
    if (!parseReply(body, root) || !root["workers"].isInt())
        return 0;
    return std::max(0, root["workers"].asInt());
}

RecognitionOutcome decodeRecognitionReply(const QByteArray &body, qint64 segmentMs)
{
    RecognitionOutcome outcome;
    Json::Value root;
    if (!parseReply(body, root))
        return outcome;

    const Json::Value &errNo = root["err_no"];
    Json::StreamWriterBuilder compact;
    compact["indentation"] = "";
    outcome.errNoText = QString::fromStdString(Json::writeString(compact, errNo));
    if (!errNo.isConvertibleTo(Json::intValue)) {
        // A code that is no integer matches no row of the table.
        outcome.kind = RecognitionOutcome::Ignored;
        return outcome;
    }
    outcome.errNo = errNo.asInt();
    const Json::Value &unpronounced = root["unpronounced_words"];
    if (unpronounced.isArray()) {
        for (const Json::Value &word : unpronounced) {
            if (word.isString())
                outcome.unpronounced << utf8String(word);
        }
    }

    if (outcome.errNo == 0) {
        outcome.kind = RecognitionOutcome::Success;
        const Json::Value &result = root["result"];
        if (result.isArray() && !result.empty() && result[0].isConvertibleTo(Json::stringValue)) {
            outcome.hasText = true;
            outcome.text = utf8String(result[0]);
        }
        if (outcome.hasText && root.isMember("sentences")) {
            outcome.hasTimes = decodeSentences(root["sentences"], segmentMs, outcome.sentences);
            if (!outcome.hasTimes)
                outcome.sentences.clear();
        }
        return outcome;
    }
    if (outcome.errNo == SpeechErrors::RetryLater) {
        outcome.kind = RecognitionOutcome::Retry;
        return outcome;
    }
    outcome.message = failMessageForErrNo(outcome.errNo);
    outcome.kind = outcome.message.isEmpty() ? RecognitionOutcome::Ignored : RecognitionOutcome::Fail;
    return outcome;
}

QVector<TimedSentence> sentencesOrWholeSegment(const RecognitionOutcome &outcome, qint64 segmentMs)
{
    if (outcome.hasTimes)
        return outcome.sentences;
    if (!outcome.hasText || outcome.text.trimmed().isEmpty())
        return {};
    TimedSentence whole;
    whole.text = outcome.text.trimmed();
    whole.endMs = std::max<qint64>(0, segmentMs);
    return {whole};
}

} // namespace SpeechProtocol
