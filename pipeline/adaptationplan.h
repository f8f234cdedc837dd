#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include "pipeline/timedtext.h"

// What adapting the acoustic model to the user's voice trains on and how the tools are asked, as pure
// functions; pipeline/voiceadaptation.* runs them.
namespace AdaptationPlan {

// One stretch of audio and the words spoken in it, lower case, as the dictionary spells them.
struct Utterance
{
    QString audioPath;
    qint64 startMs = -1; // -1: the whole file
    qint64 endMs = -1;
    QString transcript;
};

// Sentences longer than this are not used: the tools' alignment needs memory by length.
constexpr qint64 longestUtteranceMs = 60000;
// Silence kept before and after a sentence's words, where no other sentence's word is.
constexpr qint64 marginMs = 150;

// A written word as the dictionary spells it: lower case, surrounding punctuation gone ("Mr." -> "mr",
// "window." -> "window", "don't" stays). Empty when what remains is not letters and inner apostrophes
// (a number, a symbol): nobody can say from the text how that was spoken.
QString dictionarySpelling(const QString &word);
// The sentence's words so spelt, joined by spaces; empty when one of them has no spelling.
QString transcriptOf(const QVector<TimedWord> &words);

// The sentences of a document's timings that its audio and its corrected text agree on:
// - the user corrected the document (a word replaced or inserted, or recognised words deleted), and the
//   sentence lies at or before the last sentence corrected: the user read that far;
// - every word of the sentence was heard there: kept or written over recognised words, none inserted
//   where nothing was recognised, no recognised word of it deleted (its audio holds no speech the text
//   lacks);
// - each word has a spelling, and the sentence lasts at most longestUtteranceMs.
// The span is its words' with marginMs either side, never reaching into a neighbouring sentence's words.
QVector<Utterance> agreedSentences(const QString &audioPath, const QVector<TimedSentence> &sentences);

// The pronunciation dictionary's words (its first column, variants' "(2)" dropped).
QSet<QString> dictionaryWords(const QByteArray &dictionary);
bool isPronounceable(const QString &transcript, const QSet<QString> &words);

// The model's mixture weights, which it keeps quantised in `sendump`, as the float file the training
// tools read (what sphinxtrain's sendump.py writes). Empty when the data is not a sendump.
QByteArray mixtureWeightsFromSendump(const QByteArray &sendump);

// The tools' command lines. The features keep every frame (the tool drops silence unless told), so
// frame numbers are times. modelDir holds the model with mdef.txt and mixture_weights beside it; the
// features and the counts live in workDir.
QStringList transcodeArguments(const QString &audioPath, const QString &rawPath);
QStringList featureArguments(const QString &modelDir, const QString &controlFile, const QString &workDir);
QStringList countArguments(const QString &modelDir, const QString &dictionary, const QString &workDir);
QStringList solveArguments(const QString &modelDir, const QString &workDir, const QString &transformPath);
// The control file (a features file, its first and last frame, the utterance's id) and the transcript
// file the counting tool reads, for utterances with their spans whose audio was transcoded to the
// numbered raw files (rawIndex[i] for utterance i).
QString utteranceId(int index); // "u00007"
QByteArray controlFile(const QVector<Utterance> &utterances, const QVector<int> &rawIndex);
QByteArray transcriptFile(const QVector<Utterance> &utterances);
// The ids of the utterances the counting tool could not align with their text, from its standard output.
QStringList unalignedUtterances(const QString &countOutput);
// How many utterances the counting tool has gone through, from its standard output so far.
int countedUtterances(const QString &countOutput);

} // namespace AdaptationPlan
