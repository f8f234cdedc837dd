#include "pipeline/voiceprofile.h"

#include "library/atomicfile.h"
#include "pipeline/datapaths.h"
#include "speechd/voicetransform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace VoiceProfile {

namespace {

const QString transformKey = QStringLiteral("mllr");
const QString speechKey = QStringLiteral("speechMs");
const QString sentencesKey = QStringLiteral("sentences");
const QString dateKey = QStringLiteral("date");

} // namespace

QString path(const QString &dataDir)
{
    return DataPaths::own(dataDir) + QStringLiteral("/voice.json");
}

QByteArray toJson(const Profile &profile)
{
    const QJsonObject root {{transformKey, QString::fromLatin1(profile.transform)}, {speechKey, profile.speechMs},
        {sentencesKey, profile.sentences}, {dateKey, profile.date.toString(Qt::ISODate)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool fromJson(const QByteArray &json, Profile *profile)
{
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(json, &error).object();
    if (error.error != QJsonParseError::NoError || !root.value(transformKey).isString()
        || !root.value(speechKey).isDouble() || !root.value(sentencesKey).isDouble())
        return false;
    Profile read;
    read.transform = root.value(transformKey).toString().toLatin1();
    read.speechMs = qint64(root.value(speechKey).toDouble());
    read.sentences = root.value(sentencesKey).toInt();
    read.date = QDate::fromString(root.value(dateKey).toString(), Qt::ISODate);
    if (!VoiceTransform::isWellFormed(read.transform.toStdString()) || read.speechMs <= 0 || read.sentences <= 0
        || !read.date.isValid())
        return false;
    *profile = read;
    return true;
}

bool read(const QString &dataDir, Profile *profile)
{
    QFile file(path(dataDir));
    if (file.size() > 4 * qint64(VoiceTransform::maximumBytes) || !file.open(QIODevice::ReadOnly))
        return false;
    return fromJson(file.readAll(), profile);
}

QByteArray voiceOf(const QString &dataDir)
{
    Profile profile;
    return read(dataDir, &profile) ? profile.transform : QByteArray();
}

bool write(const QString &dataDir, const Profile &profile, QString *error)
{
    if (!QDir().mkpath(QFileInfo(path(dataDir)).absolutePath())) {
        *error = QStringLiteral("cannot make %1").arg(QFileInfo(path(dataDir)).absolutePath());
        return false;
    }
    return AtomicFile::write(path(dataDir), toJson(profile), error);
}

bool remove(const QString &dataDir, QString *error)
{
    QFile file(path(dataDir));
    if (!file.exists() || file.remove())
        return true;
    *error = file.errorString();
    return false;
}

} // namespace VoiceProfile
