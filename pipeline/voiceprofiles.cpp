#include "pipeline/voiceprofiles.h"

#include "library/atomicfile.h"
#include "pipeline/datapaths.h"
#include "pipeline/timings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <limits>
#include <tuple>

namespace {

const int storeVersion = 1;
const qint64 largestStore = 16 << 20; // thousands of names; anything larger is not ours

// The stats as if they had count frames with the same mean and covariance.
SpeakerModel::Stats scaled(const SpeakerModel::Stats &stats, double count)
{
    SpeakerModel::Stats result = stats;
    const double factor = count / stats.count;
    result.count = count;
    for (double &value : result.sum)
        value *= factor;
    for (double &value : result.products)
        value *= factor;
    return result;
}

} // namespace

QString VoiceProfiles::path(const QString &dataDir)
{
    return DataPaths::own(dataDir) + QStringLiteral("/speakers.json");
}

QString VoiceProfiles::cleanName(const QString &typed)
{
    return typed.simplified();
}

QString VoiceProfiles::fingerprint(const SpeakerModel::Stats &voice)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(reinterpret_cast<const char *>(&voice.count), int(sizeof voice.count));
    hash.addData(reinterpret_cast<const char *>(voice.sum.data()), int(sizeof voice.sum));
    hash.addData(reinterpret_cast<const char *>(voice.products.data()), int(sizeof voice.products));
    return QString::fromLatin1(hash.result().toHex().left(16));
}

VoiceProfiles::VoiceProfiles(const QString &dataDir)
    : dataDir(dataDir)
{ }

bool VoiceProfiles::load(QString *error)
{
    list.clear();
    unreadable = false;
    QFile file(path(dataDir));
    if (!file.exists())
        return true;
    const auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        list.clear();
        unreadable = true;
        return false;
    };
    if (file.size() > largestStore || !file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(file.fileName()));
    QJsonParseError parse;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &parse).object();
    if (parse.error != QJsonParseError::NoError || root.value(QStringLiteral("version")).toInt() != storeVersion
        || !root.value(QStringLiteral("profiles")).isArray())
        return fail(QStringLiteral("%1 is not a list of voices").arg(file.fileName()));
    for (const QJsonValue &item : root.value(QStringLiteral("profiles")).toArray()) {
        const QJsonObject object = item.toObject();
        Profile profile;
        profile.name = cleanName(object.value(QStringLiteral("name")).toString());
        for (const QJsonValue &voice : object.value(QStringLiteral("voices")).toArray())
            profile.voices << voice.toString();
        if (profile.name.isEmpty() || indexOf(profile.name) >= 0
            || !Timings::statsFromJson(object.value(QStringLiteral("stats")), &profile.stats))
            return fail(QStringLiteral("%1 has a voice without a name or statistics").arg(file.fileName()));
        list.append(profile);
    }
    return true;
}

bool VoiceProfiles::save(QString *error) const
{
    if (unreadable) {
        if (error)
            *error = QStringLiteral("%1 is not a list of voices; left as it is").arg(path(dataDir));
        return false;
    }
    QJsonArray profiles;
    for (const Profile &profile : list)
        profiles.append(QJsonObject {{QStringLiteral("name"), profile.name},
            {QStringLiteral("stats"), Timings::statsToJson(profile.stats)},
            {QStringLiteral("voices"), QJsonArray::fromStringList(profile.voices)}});
    const QJsonObject root {{QStringLiteral("version"), storeVersion}, {QStringLiteral("profiles"), profiles}};
    const QString folder = QFileInfo(path(dataDir)).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot make %1").arg(folder);
        return false;
    }
    return AtomicFile::write(path(dataDir), QJsonDocument(root).toJson(QJsonDocument::Indented), error);
}

QStringList VoiceProfiles::names() const
{
    QStringList result;
    for (const Profile &profile : list)
        result << profile.name;
    return result;
}

int VoiceProfiles::indexOf(const QString &name) const
{
    const QString cleaned = cleanName(name);
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).name == cleaned)
            return i;
    }
    return -1;
}

VoiceProfiles::Change VoiceProfiles::add(const QString &name, const SpeakerModel::Stats &voice)
{
    const QString cleaned = cleanName(name);
    if (cleaned.isEmpty())
        return Change::EmptyName;
    if (voice.count < 2)
        return Change::Missing;
    const QString print = fingerprint(voice);
    const int at = indexOf(cleaned);
    if (at < 0) {
        list.append({cleaned, voice, {print}});
        return Change::Done;
    }
    Profile &profile = list[at];
    if (profile.voices.contains(print))
        return Change::Unchanged;
    profile.stats.add(voice);
    profile.voices << print;
    return Change::Done;
}

VoiceProfiles::Change VoiceProfiles::rename(const QString &from, const QString &to)
{
    const int at = indexOf(from);
    const QString cleaned = cleanName(to);
    if (at < 0)
        return Change::Missing;
    if (cleaned.isEmpty())
        return Change::EmptyName;
    if (cleaned == list.at(at).name)
        return Change::Unchanged;
    if (indexOf(cleaned) >= 0)
        return Change::NameTaken;
    list[at].name = cleaned;
    return Change::Done;
}

VoiceProfiles::Change VoiceProfiles::remove(const QString &name)
{
    const int at = indexOf(name);
    if (at < 0)
        return Change::Missing;
    list.removeAt(at);
    return Change::Done;
}

QStringList VoiceProfiles::speakerNames(const std::vector<SpeakerModel::Stats> &voices,
    const QVector<Profile> &profiles, const SpeakerTurns::Labels &labels)
{
    std::vector<SpeakerModel::Stats> known;
    for (const Profile &profile : profiles)
        known.push_back(profile.stats);
    const QVector<int> matched = VoiceMatch::match(voices, known);
    QStringList names;
    for (int profile : matched)
        names << (profile >= 0 ? profiles.at(profile).name : QString());
    int number = 0;
    for (QString &name : names) {
        while (name.isEmpty()) {
            const QString numbered = labels.nameFormat.arg(++number);
            if (!names.contains(numbered))
                name = numbered;
        }
    }
    return names;
}

QStringList VoiceProfiles::speakerNames(
    const QString &dataDir, const std::vector<SpeakerModel::Stats> &voices, const SpeakerTurns::Labels &labels)
{
    VoiceProfiles store(dataDir);
    store.load(); // an unreadable store names no one: every speaker is numbered
    return speakerNames(voices, store.profiles(), labels);
}

VoiceProfiles::Change VoiceProfiles::rememberSpeaker(
    const QString &dataDir, const Timings::Record &record, int speaker, const QString &name, QString *error)
{
    if (cleanName(name).isEmpty())
        return Change::EmptyName;
    if (speaker < 1 || size_t(speaker) > record.voices.size())
        return Change::Missing;
    VoiceProfiles store(dataDir);
    if (!store.load(error))
        return Change::NotSaved;
    const SpeakerModel::Stats &voice = record.voices[size_t(speaker) - 1];
    const QString print = fingerprint(voice);
    const QString cleaned = cleanName(name);
    // Filed under another name before (a slip corrected, a wrong guess put right): it leaves that one,
    // and a profile of nothing else goes with it.
    bool moved = false;
    for (int i = store.list.size() - 1; i >= 0; --i) {
        Profile &profile = store.list[i];
        if (profile.name == cleaned || !profile.voices.contains(print))
            continue;
        profile.voices.removeAll(print);
        profile.stats.subtract(voice);
        if (profile.voices.isEmpty())
            store.list.removeAt(i);
        moved = true;
    }
    const Change change = store.add(cleaned, voice);
    if ((change == Change::Done || moved) && !store.save(error))
        return Change::NotSaved;
    return moved ? Change::Done : change;
}

namespace VoiceMatch {

double distance(const SpeakerModel::Stats &a, const SpeakerModel::Stats &b)
{
    if (a.count < 2 || b.count < 2)
        return std::numeric_limits<double>::infinity();
    // Each as a thousand frames: the mixture weighs them alike, whatever their lengths.
    const double each = 1000;
    const SpeakerModel::Stats left = scaled(a, each);
    const SpeakerModel::Stats right = scaled(b, each);
    SpeakerModel::Stats both = left;
    both.add(right);
    const SpeakerModel::Floor floor = SpeakerModel::floorFor(both);
    return SpeakerModel::logDet(both, floor)
        - 0.5 * (SpeakerModel::logDet(left, floor) + SpeakerModel::logDet(right, floor));
}

QVector<int> match(
    const std::vector<SpeakerModel::Stats> &voices, const std::vector<SpeakerModel::Stats> &profiles, double threshold)
{
    std::vector<std::tuple<double, int, int>> pairs; // distance, voice, profile
    for (size_t v = 0; v < voices.size(); ++v) {
        if (voices[v].count < minFrames)
            continue;
        for (size_t p = 0; p < profiles.size(); ++p) {
            const double d = distance(voices[v], profiles[p]);
            if (d < threshold)
                pairs.emplace_back(d, int(v), int(p));
        }
    }
    std::sort(pairs.begin(), pairs.end());
    QVector<int> matched(int(voices.size()), -1);
    std::vector<bool> used(profiles.size(), false);
    for (const auto &[d, v, p] : pairs) {
        (void)d;
        if (matched[v] >= 0 || used[size_t(p)])
            continue;
        matched[v] = p;
        used[size_t(p)] = true;
    }
    return matched;
}

} // namespace VoiceMatch
