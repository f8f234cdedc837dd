#include "pipeline/subtitles.h"

#include "pipeline/timings.h"

#include <algorithm>

namespace Subtitles {

namespace {

// Words wrapped into lines of at most lineChars; empty when they need more lines than allowed or a
// word is longer than a line.
QStringList wrapped(const QStringList &words, const Limits &limits)
{
    QStringList lines;
    for (const QString &word : words) {
        if (word.size() > limits.lineChars)
            return QStringList();
        if (!lines.isEmpty() && lines.last().size() + 1 + word.size() <= limits.lineChars)
            lines.last() += QLatin1Char(' ') + word;
        else
            lines.append(word);
    }
    return lines.size() <= limits.lines ? lines : QStringList();
}

void appendCues(const TimedSentence &sentence, const Limits &limits, QVector<Cue> &cues)
{
    QStringList texts;
    Cue cue;
    for (const TimedWord &word : Timings::timedWords(sentence)) {
        const QStringList lines = wrapped(texts + QStringList(word.text), limits);
        if (!texts.isEmpty() && (lines.isEmpty() || word.endMs - cue.startMs > limits.cueMs)) {
            cues.append(cue);
            texts.clear();
        }
        if (texts.isEmpty())
            cue.startMs = word.startMs;
        cue.speaker = sentence.speaker;
        texts.append(word.text);
        cue.lines = wrapped(texts, limits);
        if (cue.lines.isEmpty()) // one word too long for every line: it stands alone
            cue.lines = texts;
        cue.endMs = std::min(word.endMs, cue.startMs + limits.cueMs);
    }
    if (!texts.isEmpty())
        cues.append(cue);
}

// Each cue ends gapMs before the next begins; a cue that would vanish moves the next one instead.
void separate(QVector<Cue> &cues, const Limits &limits)
{
    for (int i = 1; i < cues.size(); ++i) {
        Cue &previous = cues[i - 1];
        Cue &cue = cues[i];
        if (cue.startMs - previous.endMs >= limits.gapMs)
            continue;
        if (cue.startMs - limits.gapMs > previous.startMs) {
            previous.endMs = cue.startMs - limits.gapMs;
        } else {
            const qint64 length = std::max<qint64>(1, cue.endMs - cue.startMs);
            cue.startMs = previous.endMs + limits.gapMs;
            cue.endMs = std::max(cue.endMs, cue.startMs + std::min(length, limits.cueMs));
        }
    }
}

} // namespace

QVector<Cue> buildCues(const QVector<TimedSentence> &sentences, const Limits &limits)
{
    QVector<Cue> cues;
    for (const TimedSentence &sentence : sentences)
        appendCues(sentence, limits, cues);
    separate(cues, limits);
    return cues;
}

QString timestamp(qint64 ms, Format format)
{
    ms = std::max<qint64>(0, ms);
    return QStringLiteral("%1:%2:%3%4%5")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(format == SubRip ? QLatin1Char(',') : QLatin1Char('.'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

QByteArray fileText(const QVector<Cue> &cues, Format format, const QStringList &names, const QString &labelSuffix)
{
    QString text = format == WebVtt ? QStringLiteral("WEBVTT\n\n") : QString();
    int speaker = 0;
    for (int i = 0; i < cues.size(); ++i) {
        if (format == SubRip)
            text += QString::number(i + 1) + QLatin1Char('\n');
        QStringList lines = cues[i].lines;
        const QString name = cues[i].speaker > 0 ? names.value(cues[i].speaker - 1) : QString();
        if (!name.isEmpty() && !lines.isEmpty()) {
            if (format == WebVtt)
                lines.first().prepend(QStringLiteral("<v %1>").arg(name));
            else if (cues[i].speaker != speaker)
                lines.first().prepend(name + labelSuffix);
        }
        speaker = cues[i].speaker;
        text += timestamp(cues[i].startMs, format) + QStringLiteral(" --> ") + timestamp(cues[i].endMs, format)
            + QLatin1Char('\n') + lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n");
    }
    return text.toUtf8();
}

QByteArray fileText(const Timings::Record &record, Format format)
{
    return fileText(buildCues(record.sentences), format, record.speakerNames, record.labelSuffix);
}

Format formatForPath(const QString &path)
{
    return path.endsWith(QLatin1String(".vtt"), Qt::CaseInsensitive) ? WebVtt : SubRip;
}

QString dialogFilter()
{
    return QStringLiteral("SubRip (*.srt);;WebVTT (*.vtt)");
}

} // namespace Subtitles
