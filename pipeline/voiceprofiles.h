#pragma once

#include "pipeline/speakermodel.h"
#include "pipeline/speakerturns.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

namespace Timings {
struct Record;
}

// The voices the user has named: each name with the statistics of the speech it was given to, kept in
// the program's own data, <dataDir>/.quillora/speakers.json, written whole or not at all. (Not the
// recogniser's adaptation to the user's own voice, which is voice.json beside it.) A later file's
// speaker whose voice matches one is labelled with its name.
class VoiceProfiles
{
public:
    struct Profile
    {
        QString name;
        SpeakerModel::Stats stats;
        // Fingerprints of the files' voices merged into it: naming the same voice twice counts it once,
        // and a voice named again under another name leaves this one.
        QStringList voices;
    };
    enum class Change { Done, Unchanged, EmptyName, NameTaken, Missing, NotSaved };

    static QString path(const QString &dataDir);
    // A name as the user typed it, as it is kept: white space simplified (a label is one line); empty
    // when nothing is left.
    static QString cleanName(const QString &typed);
    static QString fingerprint(const SpeakerModel::Stats &voice);

    explicit VoiceProfiles(const QString &dataDir);
    // None stored is an empty list and true. False, the list empty, when the file cannot be read or is
    // not one this program wrote; save then refuses to replace it.
    bool load(QString *error = nullptr);
    bool save(QString *error = nullptr) const;

    const QVector<Profile> &profiles() const { return list; }
    QStringList names() const;
    int indexOf(const QString &name) const; // the cleaned name, exactly; -1 when none has it

    // Adds a profile, or merges the voice into the one of that name (Unchanged when it holds it already).
    Change add(const QString &name, const SpeakerModel::Stats &voice);
    // NameTaken when another profile has the new name: two people are not merged by a typing slip.
    Change rename(const QString &from, const QString &to);
    Change remove(const QString &name);

    // The names of a file's speakers (voices[k - 1] is speaker k's): a matched profile's name, the rest
    // numbered by labels from 1 without gaps (a number whose name a profile took is passed over).
    static QStringList speakerNames(const std::vector<SpeakerModel::Stats> &voices, const QVector<Profile> &profiles,
        const SpeakerTurns::Labels &labels);
    // The same with the profiles stored in dataDir: what a conversion names its speakers with.
    static QStringList speakerNames(
        const QString &dataDir, const std::vector<SpeakerModel::Stats> &voices, const SpeakerTurns::Labels &labels);

    // The user named speaker (from 1) of a document: its voice in the record goes to the profile of that
    // name (out of any other it was filed under). Missing when the record kept no voice for it, NotSaved
    // with the reason in *error when the store could not be read or written.
    static Change rememberSpeaker(const QString &dataDir, const Timings::Record &record, int speaker,
        const QString &name, QString *error = nullptr);

private:
    bool unreadable = false; // a file there that load could not take: not to be written over
    QString dataDir;
    QVector<Profile> list;
};

// The matching rule. Two voices are compared as Gaussians by the log-likelihood ratio of "one voice"
// against "two" with both given equal weight: log|Σ of the equal mixture| − (log|Σa| + log|Σb|) / 2,
// 0 for the same statistics, symmetric, and independent of how much speech either has.
namespace VoiceMatch {

double distance(const SpeakerModel::Stats &a, const SpeakerModel::Stats &b);
// Chosen with bench/voices_bench.sh: no different voice under it there, few of the same over it.
constexpr double threshold = 0.5;
// A voice with less speech (10 ms frames) is too uncertain to be anyone's.
constexpr double minFrames = 300;

// For each voice, the profile (index) it matches or -1: the pairs under threshold, nearest first, each
// voice and each profile taken at most once.
QVector<int> match(const std::vector<SpeakerModel::Stats> &voices, const std::vector<SpeakerModel::Stats> &profiles,
    double threshold = VoiceMatch::threshold);

} // namespace VoiceMatch
