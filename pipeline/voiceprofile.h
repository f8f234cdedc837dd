#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// The user's adaptation of the acoustic model to their voice, kept in the program's own data:
// <dataDir>/.quillora/voice.json, the transform and what it was made from, written whole or not at all.
namespace VoiceProfile {

struct Profile
{
    QByteArray transform; // as VoiceTransform::isWellFormed accepts it
    qint64 speechMs = 0; // of the sentences it was estimated from
    int sentences = 0;
    QDate date; // when it was made
};

QString path(const QString &dataDir);
QByteArray toJson(const Profile &profile);
// False for anything that is not a complete profile with a well-formed transform.
bool fromJson(const QByteArray &json, Profile *profile);

// False when there is none or it cannot be used: conversions then go without.
bool read(const QString &dataDir, Profile *profile);
// Replaces the stored profile atomically; false with the reason in *error, the old one untouched.
bool write(const QString &dataDir, const Profile &profile, QString *error);
// The stored transform, or nothing: what the user's requests carry.
QByteArray voiceOf(const QString &dataDir);
// Back to the model as it ships; false with the reason when the file stays.
bool remove(const QString &dataDir, QString *error);

} // namespace VoiceProfile
