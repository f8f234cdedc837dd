#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include "pipeline/speakermodel.h"
#include "pipeline/timedtext.h"

#include <vector>

class QJsonArray;
class QJsonValue;

// A document's sentences and words with their times from the start of the source file, kept in the
// program's own data (the text folder's clean-up at start deletes everything there but documents):
// one record per document path, <dataDir>/.quillora/timings/<SHA-1 of the path>.json. Renaming,
// copying or deleting the document does the same to its record.
namespace Timings {

struct Record
{
    QString sourcePath; // the audio or video file the document was converted from
    QString textChecksum; // of the document text the times describe
    QVector<TimedSentence> sentences;
    // Who the sentences' speakers are (speaker k is speakerNames[k - 1]) and what follows a name in the
    // document's labels; empty when speakers were not told apart.
    QStringList speakerNames;
    QString labelSuffix;
    // voices[k - 1]: the statistics of speaker k's voice, so that naming the speaker later can remember
    // it; empty for records written before they were kept (or whose voices were unreadable).
    std::vector<SpeakerModel::Stats> voices;
};

QVector<TimedSentence> shiftedSentences(QVector<TimedSentence> sentences, qint64 offsetMs);
// The document's record from each segment's sentences (times from that segment's start) and the
// segments' starts in the source.
Record recordFor(const QString &sourcePath, const QString &documentText,
    const QVector<QVector<TimedSentence>> &segmentSentences, const QVector<qint64> &segmentStartsMs);
QString checksumOf(const QString &documentText);
// The sentence's words, or its text's words spread over its span by length when it has no word times.
QVector<TimedWord> timedWords(const TimedSentence &sentence);

// Sentences as JSON: [{"text","start","end","words":[{"word","start","end"}]}], with "speaker" and
// "uncertain" where speakers were told apart (readers that know neither ignore them); false for anything else.
QJsonArray sentencesToJson(const QVector<TimedSentence> &sentences);
bool sentencesFromJson(const QJsonValue &json, QVector<TimedSentence> *sentences);

// A voice's statistics as JSON: {"frames", "sum": [12], "products": [78]}; false for anything that is not
// finite statistics of at least two frames.
QJsonValue statsToJson(const SpeakerModel::Stats &stats);
bool statsFromJson(const QJsonValue &json, SpeakerModel::Stats *stats);

// "voices" beside "speakers" when they were kept; a record whose voices do not fit its speakers reads
// without them, the rest of it intact.
QByteArray toJson(const Record &record);
// False for anything that is not a complete, well-formed record: such a record counts as absent.
bool fromJson(const QByteArray &json, Record *record);

QString recordPath(const QString &dataDir, const QString &documentPath);
// Written atomically; false with the reason in *error.
bool write(const QString &dataDir, const QString &documentPath, const Record &record, QString *error);
bool read(const QString &dataDir, const QString &documentPath, Record *record);
bool exists(const QString &dataDir, const QString &documentPath);

// What the list operations do to a document's record. Nothing happens when it has none.
void remove(const QString &dataDir, const QString &documentPath);
bool copy(const QString &dataDir, const QString &fromDocument, const QString &toDocument);
bool move(const QString &dataDir, const QString &fromDocument, const QString &toDocument);
// A renamed source: every record that names it follows the new name.
void renameSource(const QString &dataDir, const QString &fromSource, const QString &toSource);

} // namespace Timings
