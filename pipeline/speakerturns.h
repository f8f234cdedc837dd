#pragma once

#include "pipeline/speakeranalysis.h"
#include "pipeline/timedtext.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The speakers of a document: the words' speakers laid onto its sentences, the text in paragraphs by
// turn with each turn's label, and the labels found again in a text the user edited.
namespace SpeakerTurns {

// How the front end writes a speaker: names "Speaker %1" / "说话人 %1", a label is the name and its suffix.
struct Labels
{
    QString nameFormat = QStringLiteral("Speaker %1");
    QString suffix = QStringLiteral(": ");
    QStringList names(int speakers) const;
};

// Every word of the sentences (timedWords) as a span, ascending and not overlapping.
QVector<SpeakerAnalysis::Span> wordSpans(const QVector<TimedSentence> &sentences);

// The sentences with each word's speaker (from 1), in word order over all sentences; a sentence spoken
// by two is split where the speaker changes, and a part with an uncertain word is uncertain.
QVector<TimedSentence> labelled(
    const QVector<TimedSentence> &sentences, const QVector<int> &wordSpeaker, const QVector<bool> &wordUncertain);

// The document: a paragraph per turn beginning with its speaker's label (names[speaker - 1] + suffix),
// sentences joined by spaces, paragraphs by an empty line, a line feed at the end.
QString documentText(const QVector<TimedSentence> &sentences, const QStringList &names, const QString &suffix);

// A speaker's label in a text: the name, then the suffix without its spaces.
struct Label
{
    int offset = 0; // of the name
    int nameLength = 0;
    int length = 0; // name and suffix
    int speaker = 0; // from 1
};
// The labels at the start of a paragraph (a line after an empty line, or the first), in text order. Lines
// end in '\n' or, in a text view's raw text, in U+2029.
QVector<Label> labelsIn(const QString &text, const QStringList &names, const QString &suffix);
// Whose turn holds the offset: the speaker of the last label starting at or before it; 0 before the first.
int speakerAt(const QVector<Label> &labels, int offset);

// text with every label at the start of a paragraph replaced by spaces, so the words that remain are the
// spoken ones at the same offsets.
QString maskedLabels(const QString &text, const QStringList &names, const QString &suffix);

// Why a speaker cannot take a name (surrounding spaces aside): none, or what the user must change.
enum class NameProblem { None, Empty, LineBreak, Suffix, Taken };
NameProblem nameProblem(const QStringList &names, int speaker, const QString &name, const QString &suffix);

// Every label of one speaker given another name: the text and the names after it, and where the old
// names were in the text (ascending), each oldLength long, so a view can make the same edits.
struct Renamed
{
    QString text;
    QStringList names;
    QVector<int> offsets;
    int oldLength = 0;
    QString name; // the new name, without surrounding spaces
};
Renamed renamed(const QString &text, const QStringList &names, const QString &suffix, int speaker, const QString &name);

} // namespace SpeakerTurns
