#include "pipeline/timings.h"

#include "library/atomicfile.h"
#include "pipeline/datapaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cmath>

namespace Timings {

namespace {

const int recordVersion = 1;
// A word's edit and a sentence's lost words are written only when there are any.
const QString editKey = QStringLiteral("edit");
const QString replacedEdit = QStringLiteral("replaced");
const QString insertedEdit = QStringLiteral("inserted");
const QString lostKey = QStringLiteral("lost");
const QString voicesKey = QStringLiteral("voices");

QJsonObject spanObject(const QString &key, const QString &text, qint64 startMs, qint64 endMs)
{
    return QJsonObject {{key, text}, {QStringLiteral("start"), startMs}, {QStringLiteral("end"), endMs}};
}

bool readSpan(const QJsonValue &value, const QString &key, QString *text, qint64 *startMs, qint64 *endMs)
{
    const QJsonObject object = value.toObject();
    const QJsonValue start = object.value(QStringLiteral("start"));
    const QJsonValue end = object.value(QStringLiteral("end"));
    if (!value.isObject() || !object.value(key).isString() || !start.isDouble() || !end.isDouble())
        return false;
    *text = object.value(key).toString();
    *startMs = qint64(start.toDouble());
    *endMs = qint64(end.toDouble());
    return *startMs >= 0 && *startMs <= *endMs && double(*startMs) == start.toDouble()
        && double(*endMs) == end.toDouble();
}

template <size_t size> QJsonArray numbers(const std::array<double, size> &values)
{
    QJsonArray array;
    for (double value : values)
        array.append(value);
    return array;
}

template <size_t size> bool readNumbers(const QJsonValue &json, std::array<double, size> *values)
{
    const QJsonArray array = json.toArray();
    if (!json.isArray() || array.size() != int(size))
        return false;
    for (size_t i = 0; i < size; ++i) {
        const QJsonValue value = array.at(int(i));
        if (!value.isDouble() || !std::isfinite(value.toDouble()))
            return false;
        (*values)[i] = value.toDouble();
    }
    return true;
}

} // namespace

QJsonValue statsToJson(const SpeakerModel::Stats &stats)
{
    return QJsonObject {{QStringLiteral("frames"), stats.count}, {QStringLiteral("sum"), numbers(stats.sum)},
        {QStringLiteral("products"), numbers(stats.products)}};
}

bool statsFromJson(const QJsonValue &json, SpeakerModel::Stats *stats)
{
    const QJsonObject object = json.toObject();
    SpeakerModel::Stats read;
    read.count = object.value(QStringLiteral("frames")).toDouble();
    if (!json.isObject() || !std::isfinite(read.count) || read.count < 2
        || !readNumbers(object.value(QStringLiteral("sum")), &read.sum)
        || !readNumbers(object.value(QStringLiteral("products")), &read.products))
        return false;
    *stats = read;
    return true;
}

QVector<TimedSentence> shiftedSentences(QVector<TimedSentence> sentences, qint64 offsetMs)
{
    for (TimedSentence &sentence : sentences) {
        sentence.startMs += offsetMs;
        sentence.endMs += offsetMs;
        for (TimedWord &word : sentence.words) {
            word.startMs += offsetMs;
            word.endMs += offsetMs;
        }
    }
    return sentences;
}

QVector<TimedWord> timedWords(const TimedSentence &sentence)
{
    if (!sentence.words.isEmpty())
        return sentence.words;
    const QStringList texts = sentence.text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    qint64 totalChars = 0;
    for (const QString &text : texts)
        totalChars += text.size() + 1;
    QVector<TimedWord> words;
    qint64 chars = 0;
    const qint64 span = sentence.endMs - sentence.startMs;
    for (const QString &text : texts) {
        TimedWord word;
        word.text = text;
        word.startMs = sentence.startMs + span * chars / totalChars;
        chars += text.size() + 1;
        word.endMs = sentence.startMs + span * chars / totalChars;
        words.append(word);
    }
    return words;
}

QString checksumOf(const QString &documentText)
{
    return QString::fromLatin1(QCryptographicHash::hash(documentText.toUtf8(), QCryptographicHash::Sha256).toHex());
}

Record recordFor(const QString &sourcePath, const QString &documentText,
    const QVector<QVector<TimedSentence>> &segmentSentences, const QVector<qint64> &segmentStartsMs)
{
    Record record;
    record.sourcePath = sourcePath;
    record.textChecksum = checksumOf(documentText);
    for (int i = 0; i < segmentSentences.size() && i < segmentStartsMs.size(); ++i)
        record.sentences += shiftedSentences(segmentSentences.at(i), segmentStartsMs.at(i));
    return record;
}

QJsonArray sentencesToJson(const QVector<TimedSentence> &sentences)
{
    QJsonArray array;
    for (const TimedSentence &sentence : sentences) {
        QJsonObject item = spanObject(QStringLiteral("text"), sentence.text, sentence.startMs, sentence.endMs);
        QJsonArray words;
        for (const TimedWord &word : sentence.words) {
            QJsonObject wordItem = spanObject(QStringLiteral("word"), word.text, word.startMs, word.endMs);
            if (word.edit != TimedWord::Edit::None)
                wordItem.insert(editKey, word.edit == TimedWord::Edit::Replaced ? replacedEdit : insertedEdit);
            words.append(wordItem);
        }
        item.insert(QStringLiteral("words"), words);
        if (sentence.speaker > 0) {
            item.insert(QStringLiteral("speaker"), sentence.speaker);
            if (sentence.uncertain)
                item.insert(QStringLiteral("uncertain"), true);
        }
        if (sentence.lostWords)
            item.insert(lostKey, true);
        array.append(item);
    }
    return array;
}

bool sentencesFromJson(const QJsonValue &json, QVector<TimedSentence> *sentences)
{
    if (!json.isArray())
        return false;
    QVector<TimedSentence> read;
    for (const QJsonValue &item : json.toArray()) {
        TimedSentence sentence;
        if (!readSpan(item, QStringLiteral("text"), &sentence.text, &sentence.startMs, &sentence.endMs)
            || !item.toObject().value(QStringLiteral("words")).isArray())
            return false;
        for (const QJsonValue &wordItem : item.toObject().value(QStringLiteral("words")).toArray()) {
            TimedWord word;
            if (!readSpan(wordItem, QStringLiteral("word"), &word.text, &word.startMs, &word.endMs))
                return false;
            const QJsonValue edit = wordItem.toObject().value(editKey);
            if (edit == replacedEdit)
                word.edit = TimedWord::Edit::Replaced;
            else if (edit == insertedEdit)
                word.edit = TimedWord::Edit::Inserted;
            else if (!edit.isUndefined())
                return false;
            sentence.words.append(word);
        }
        const QJsonValue speaker = item.toObject().value(QStringLiteral("speaker"));
        if (!speaker.isUndefined()
            && (!speaker.isDouble() || speaker.toInt() < 1 || speaker.toDouble() != speaker.toInt()))
            return false;
        sentence.speaker = speaker.toInt();
        sentence.uncertain = item.toObject().value(QStringLiteral("uncertain")).toBool();
        const QJsonValue lost = item.toObject().value(lostKey);
        if (!lost.isUndefined() && !lost.isBool())
            return false;
        sentence.lostWords = lost.toBool();
        read.append(sentence);
    }
    *sentences = read;
    return true;
}

QByteArray toJson(const Record &record)
{
    QJsonObject root {{QStringLiteral("version"), recordVersion}, {QStringLiteral("source"), record.sourcePath},
        {QStringLiteral("textSha256"), record.textChecksum},
        {QStringLiteral("sentences"), sentencesToJson(record.sentences)}};
    if (!record.speakerNames.isEmpty()) {
        root.insert(QStringLiteral("speakers"), QJsonArray::fromStringList(record.speakerNames));
        root.insert(QStringLiteral("labelSuffix"), record.labelSuffix);
        if (record.voices.size() == size_t(record.speakerNames.size())) {
            QJsonArray voices;
            for (const SpeakerModel::Stats &voice : record.voices)
                voices.append(statsToJson(voice));
            root.insert(voicesKey, voices);
        }
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

bool fromJson(const QByteArray &json, Record *record)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    const QJsonObject root = document.object();
    Record read;
    if (error.error != QJsonParseError::NoError || !document.isObject()
        || root.value(QStringLiteral("version")).toInt() != recordVersion
        || !root.value(QStringLiteral("source")).isString() || !root.value(QStringLiteral("textSha256")).isString()
        || !sentencesFromJson(root.value(QStringLiteral("sentences")), &read.sentences))
        return false;
    read.sourcePath = root.value(QStringLiteral("source")).toString();
    read.textChecksum = root.value(QStringLiteral("textSha256")).toString();
    for (const QJsonValue &name : root.value(QStringLiteral("speakers")).toArray())
        read.speakerNames << name.toString();
    read.labelSuffix = root.value(QStringLiteral("labelSuffix")).toString();
    // The voices only serve naming later: without them the record still times its document.
    const QJsonArray voices = root.value(voicesKey).toArray();
    for (const QJsonValue &voice : voices) {
        SpeakerModel::Stats stats;
        if (voices.size() != read.speakerNames.size() || !statsFromJson(voice, &stats)) {
            read.voices.clear();
            break;
        }
        read.voices.push_back(stats);
    }
    for (const TimedSentence &sentence : read.sentences) {
        if (sentence.speaker > read.speakerNames.size())
            return false;
    }
    *record = read;
    return true;
}

QString recordPath(const QString &dataDir, const QString &documentPath)
{
    const QByteArray digest = QCryptographicHash::hash(documentPath.toUtf8(), QCryptographicHash::Sha1).toHex();
    return DataPaths::own(dataDir) + QStringLiteral("/timings/") + QString::fromLatin1(digest)
        + QStringLiteral(".json");
}

bool write(const QString &dataDir, const QString &documentPath, const Record &record, QString *error)
{
    const QString path = recordPath(dataDir, documentPath);
    if (!QDir().mkpath(QFileInfo(path).path())) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(QFileInfo(path).path());
        return false;
    }
    return AtomicFile::write(path, toJson(record), error);
}

bool read(const QString &dataDir, const QString &documentPath, Record *record)
{
    QFile file(recordPath(dataDir, documentPath));
    if (documentPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    return fromJson(file.readAll(), record);
}

bool exists(const QString &dataDir, const QString &documentPath)
{
    Record record;
    return read(dataDir, documentPath, &record);
}

void remove(const QString &dataDir, const QString &documentPath)
{
    QFile::remove(recordPath(dataDir, documentPath));
}

bool copy(const QString &dataDir, const QString &fromDocument, const QString &toDocument)
{
    Record record;
    if (!read(dataDir, fromDocument, &record))
        return false;
    return write(dataDir, toDocument, record, nullptr);
}

bool move(const QString &dataDir, const QString &fromDocument, const QString &toDocument)
{
    if (!copy(dataDir, fromDocument, toDocument))
        return false;
    remove(dataDir, fromDocument);
    return true;
}

void renameSource(const QString &dataDir, const QString &fromSource, const QString &toSource)
{
    const QDir folder(DataPaths::own(dataDir) + QStringLiteral("/timings"));
    for (const QString &name : folder.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        QFile file(folder.filePath(name));
        Record record;
        if (!file.open(QIODevice::ReadOnly) || !fromJson(file.readAll(), &record) || record.sourcePath != fromSource)
            continue;
        file.close();
        record.sourcePath = toSource;
        AtomicFile::write(file.fileName(), toJson(record), nullptr);
    }
}

} // namespace Timings
