#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include "pipeline/timedtext.h"

namespace Timings {
struct Record;
}

// Subtitle cues from timed sentences, and the SubRip and WebVTT files made of them.
namespace Subtitles {

struct Limits
{
    int lineChars = 42;
    int lines = 2;
    qint64 cueMs = 7000;
    qint64 gapMs = 40;
};

struct Cue
{
    qint64 startMs = 0;
    qint64 endMs = 0;
    QStringList lines;
    int speaker = 0; // the sentence's; a cue never spans two sentences, so never two speakers
};

// Cues in order, never overlapping and at least gapMs apart; a cue never spans two sentences and is
// split between words by their times. A sentence without word times has its words spread over its
// span by their lengths.
QVector<Cue> buildCues(const QVector<TimedSentence> &sentences, const Limits &limits = Limits());

enum Format { SubRip, WebVtt };
// "HH:MM:SS,mmm" for SubRip, "HH:MM:SS.mmm" for WebVTT.
QString timestamp(qint64 ms, Format format);
// UTF-8 without a byte-order mark, line feeds. With speakers' names (speaker k is names[k - 1]), WebVTT
// cues carry a voice span "<v name>" and a SubRip cue whose speaker differs from the cue before begins
// with the label (name + labelSuffix).
QByteArray fileText(const QVector<Cue> &cues, Format format, const QStringList &names = QStringList(),
    const QString &labelSuffix = QString());
// The subtitles of a document's record, its speakers' names included.
QByteArray fileText(const Timings::Record &record, Format format);
// WebVTT for a name ending in ".vtt" (any case), else SubRip.
Format formatForPath(const QString &path);
// The save dialog's filters: SubRip first.
QString dialogFilter();

} // namespace Subtitles
