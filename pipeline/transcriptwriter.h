#pragma once

#include "pipeline/speakermodel.h"
#include "pipeline/timedtext.h"

#include <QStringList>

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

// Writes recognised text as the document of its source file, by the same rules for a conversion and
// a live recording: named after the source, atomic, remembered as the program's, with its timings.
namespace TranscriptWriter {

struct Written
{
    bool ok = false;
    QString path; // where it went, or where it could not be written
    QString namedPath; // where it would have gone had no changed or foreign document been in the way
    QString error; // why it could not be written
};

// Who says each word of the sentences, in order over all of them (speakers from 1), and their names.
struct Speakers
{
    QVector<int> wordSpeaker;
    QVector<bool> wordUncertain;
    QStringList names;
    QString labelSuffix;
    std::vector<SpeakerModel::Stats> voices; // kept in the record, for naming them later
};

// Never replaces a document in `taken` (written earlier by the same run) nor one the user wrote or
// changed: a numbered name is taken instead. Segment k's sentences have times from segmentStartsMs[k].
// With speakers (two or more), the document is in paragraphs by turn and the record keeps who said what.
Written write(const QString &dataDir, const QString &folder, const QString &sourcePath, const QStringList &texts,
    const QVector<QVector<TimedSentence>> &segmentSentences, const QVector<qint64> &segmentStartsMs,
    const QSet<QString> &taken, const Speakers *speakers = nullptr);

} // namespace TranscriptWriter
