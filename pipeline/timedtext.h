#pragma once

#include <QString>
#include <QVector>

// Recognised text with its times in milliseconds: from a segment's start in a reply, from the source
// file's start in a document's timings.
struct TimedWord
{
    QString text; // as it reads in the document ("Mr.", "end.")
    qint64 startMs = 0;
    qint64 endMs = 0;
    // How the user's corrections made this word: as recognised, written over recognised words (their span
    // is this word's), or written where nothing was recognised (its times are a guess).
    enum class Edit { None, Replaced, Inserted };
    Edit edit = Edit::None;
};

struct TimedSentence
{
    QString text;
    qint64 startMs = 0;
    qint64 endMs = 0;
    QVector<TimedWord> words; // empty when only the sentence's span is known
    int speaker = 0; // who says it, from 1; 0 when speakers were not told apart
    bool uncertain = false; // the speaker was taken from the neighbouring turn
    bool lostWords = false; // the user deleted recognised words of it: its audio holds speech its text lacks
};
