#include "pipeline/runprogress.h"

#include "pipeline/timings.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

RunProgress::FileIdentity RunProgress::identityOf(const QString &path)
{
    const QFileInfo info(path);
    FileIdentity identity;
    identity.path = path;
    if (info.exists()) {
        identity.size = info.size();
        identity.modifiedMs = info.lastModified().toMSecsSinceEpoch();
    }
    return identity;
}

RunProgress::RunProgress(const FileIdentity &file, const QString &language, int segmentCount)
    : file(file)
    , language(language)
    , done(segmentCount, false)
    , hasText(segmentCount, false)
    , segmentSentences(segmentCount)
{
    for (int k = 0; k < segmentCount; ++k)
        segmentTexts << QString();
}

bool RunProgress::continues(const FileIdentity &other, const QString &otherLanguage, int otherCount) const
{
    return file.size >= 0 && file == other && language == otherLanguage && segmentCount() == otherCount;
}

int RunProgress::doneCount() const
{
    return int(std::count(done.cbegin(), done.cend(), true));
}

void RunProgress::setDone(int segment, bool withText, const QString &text)
{
    if (segment < 0 || segment >= done.size())
        return;
    done[segment] = true;
    hasText[segment] = withText;
    segmentTexts[segment] = withText ? text : QString();
}

void RunProgress::setSentences(int segment, const QVector<TimedSentence> &sentences)
{
    if (segment >= 0 && segment < segmentSentences.size())
        segmentSentences[segment] = sentences;
}

bool RunProgress::anyText() const
{
    return hasText.contains(true);
}

QStringList RunProgress::texts() const
{
    QStringList result;
    for (int k = 0; k < done.size(); ++k) {
        if (done.at(k) && hasText.at(k))
            result << segmentTexts.at(k);
    }
    return result;
}

int RunProgress::textsBefore(int segment) const
{
    int count = 0;
    for (int k = 0; k < segment && k < done.size(); ++k)
        count += done.at(k) && hasText.at(k) ? 1 : 0;
    return count;
}

QByteArray RunProgress::toJson() const
{
    QJsonArray segments;
    for (int k = 0; k < done.size(); ++k) {
        if (!done.at(k))
            segments.append(QJsonValue::Null);
        else if (!hasText.at(k))
            segments.append(false); // recognised, no speech
        else
            segments.append(segmentTexts.at(k));
    }
    QJsonObject object {{QStringLiteral("path"), file.path}, {QStringLiteral("size"), double(file.size)},
        {QStringLiteral("modified"), double(file.modifiedMs)}, {QStringLiteral("language"), language},
        {QStringLiteral("segments"), segments}};
    QJsonArray cuts;
    for (const qint64 cut : cutsCentis)
        cuts.append(double(cut));
    object.insert(QStringLiteral("cuts"), cuts);
    QJsonArray times;
    for (const QVector<TimedSentence> &sentences : segmentSentences)
        times.append(Timings::sentencesToJson(sentences));
    object.insert(QStringLiteral("times"), times);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool RunProgress::fromJson(const QByteArray &json, RunProgress *progress)
{
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    const QJsonValue segments = object.value(QStringLiteral("segments"));
    if (!object.value(QStringLiteral("path")).isString() || !object.value(QStringLiteral("size")).isDouble()
        || !object.value(QStringLiteral("modified")).isDouble() || !object.value(QStringLiteral("language")).isString()
        || !segments.isArray())
        return false;
    FileIdentity identity;
    identity.path = object.value(QStringLiteral("path")).toString();
    identity.size = qint64(object.value(QStringLiteral("size")).toDouble());
    identity.modifiedMs = qint64(object.value(QStringLiteral("modified")).toDouble());
    const QJsonArray array = segments.toArray();
    RunProgress result(identity, object.value(QStringLiteral("language")).toString(), array.size());
    for (int k = 0; k < array.size(); ++k) {
        const QJsonValue value = array.at(k);
        if (value.isString())
            result.setDone(k, true, value.toString());
        else if (value.isBool() && !value.toBool())
            result.setDone(k, false, QString());
        else if (!value.isNull())
            return false;
    }
    // Records without a plan or times, or with unreadable ones, keep their texts.
    for (const QJsonValue &cut : object.value(QStringLiteral("cuts")).toArray()) {
        if (!cut.isDouble()) {
            result.cutsCentis.clear();
            break;
        }
        result.cutsCentis.append(qint64(cut.toDouble()));
    }
    const QJsonArray times = object.value(QStringLiteral("times")).toArray();
    for (int k = 0; k < times.size() && k < array.size(); ++k) {
        QVector<TimedSentence> sentences;
        if (Timings::sentencesFromJson(times.at(k), &sentences))
            result.segmentSentences[k] = sentences;
    }
    *progress = result;
    return true;
}

QString RunProgress::recordPath(const QString &folder, const QString &taskPath)
{
    const QByteArray digest = QCryptographicHash::hash(taskPath.toUtf8(), QCryptographicHash::Sha1).toHex();
    return folder + QLatin1Char('/') + QString::fromLatin1(digest) + QStringLiteral(".json");
}
