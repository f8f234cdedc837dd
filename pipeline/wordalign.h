#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include "pipeline/timedtext.h"

// Keeps a document's word times through edits of its text, and finds the word at a place in the text
// or at a moment of the recording. Words are the text's runs between white space.
namespace WordAlign {

struct TextWord
{
    int offset = 0; // in the text, in characters
    int length = 0;
};
QVector<TextWord> splitWords(const QString &text);

// The times of one word of an edited text and the sentence of the old timings it now belongs to.
struct Placed
{
    qint64 startMs = 0;
    qint64 endMs = 0;
    int sentence = 0;
    TimedWord::Edit edit = TimedWord::Edit::None;
};

// A word-level diff of the new words against the timed words: unchanged words keep their times,
// replaced words take the span of what they replace, inserted words share the time between their
// neighbours, deleted words drop out. Empty when the old timings have no words at all.
// lostIn, when given, receives the old sentences that lost recognised words outright.
QVector<Placed> place(
    const QStringList &newWords, const QVector<TimedSentence> &sentences, QSet<int> *lostIn = nullptr);

// The timings of text after it was edited from the text the sentences describe; sentences whose
// words were all deleted drop out. Each word and sentence remembers how it was edited, across saves.
QVector<TimedSentence> realigned(const QVector<TimedSentence> &sentences, const QString &text);

// Word lookups in a text against its timings, both ways, by binary search.
class Timeline
{
public:
    Timeline() = default;
    Timeline(const QString &text, const QVector<TimedSentence> &sentences);

    bool isEmpty() const { return m_words.isEmpty(); }
    int size() const { return m_words.size(); }
    // The word under a character offset: the first word ending at or after it (the last word past
    // the end); -1 when the text has no word.
    int wordAt(int offset) const;
    // The word being spoken at ms: the last one starting at or before it; -1 before the first.
    int wordAtTime(qint64 ms) const;
    TextWord word(int index) const { return m_words.at(index); }
    qint64 startMs(int index) const { return m_times.at(index).startMs; }

private:
    QVector<TextWord> m_words;
    QVector<Placed> m_times;
};

} // namespace WordAlign
