#include "pipeline/speakerturns.h"

#include "pipeline/timings.h"

#include <algorithm>

namespace SpeakerTurns {

QStringList Labels::names(int speakers) const
{
    QStringList result;
    for (int i = 1; i <= speakers; ++i)
        result << nameFormat.arg(i);
    return result;
}

QVector<SpeakerAnalysis::Span> wordSpans(const QVector<TimedSentence> &sentences)
{
    QVector<SpeakerAnalysis::Span> spans;
    qint64 reached = 0;
    for (const TimedSentence &sentence : sentences) {
        for (const TimedWord &word : Timings::timedWords(sentence)) {
            // Overlapping or out-of-order times give the word what is left after the one before.
            const qint64 start = std::max(reached, word.startMs);
            const qint64 end = std::max(start, word.endMs);
            spans.append({start, end});
            reached = end;
        }
    }
    return spans;
}

QVector<TimedSentence> labelled(
    const QVector<TimedSentence> &sentences, const QVector<int> &wordSpeaker, const QVector<bool> &wordUncertain)
{
    QVector<TimedSentence> result;
    int index = 0;
    for (const TimedSentence &sentence : sentences) {
        const QVector<TimedWord> words = Timings::timedWords(sentence);
        const bool hadWords = !sentence.words.isEmpty();
        int partStart = result.size();
        for (const TimedWord &word : words) {
            const int speaker = wordSpeaker.value(index);
            const bool uncertain = wordUncertain.value(index);
            ++index;
            if (result.size() == partStart || result.last().speaker != speaker) {
                TimedSentence part;
                part.text = word.text;
                part.startMs = word.startMs;
                part.endMs = word.endMs;
                part.speaker = speaker;
                result.append(part);
            } else {
                result.last().text += QLatin1Char(' ') + word.text;
                result.last().endMs = std::max(result.last().endMs, word.endMs);
            }
            if (hadWords)
                result.last().words.append(word);
            result.last().uncertain = result.last().uncertain || uncertain;
        }
        if (result.size() == partStart + 1 && !hadWords) {
            // One speaker throughout: the sentence stays as it was, span and all.
            const TimedSentence part = result.last();
            result.last() = sentence;
            result.last().speaker = part.speaker;
            result.last().uncertain = part.uncertain;
        } else if (result.size() == partStart + 1) {
            result.last().text = sentence.text;
            result.last().startMs = sentence.startMs;
            result.last().endMs = sentence.endMs;
        }
        partStart = result.size();
    }
    return result;
}

QString documentText(const QVector<TimedSentence> &sentences, const QStringList &names, const QString &suffix)
{
    QString text;
    int speaker = -1;
    for (const TimedSentence &sentence : sentences) {
        if (sentence.speaker != speaker) {
            if (!text.isEmpty())
                text += QStringLiteral("\n\n");
            speaker = sentence.speaker;
            if (speaker > 0)
                text += names.value(speaker - 1) + suffix;
        } else {
            text += QLatin1Char(' ');
        }
        text += sentence.text;
    }
    return text.isEmpty() ? text : text + QLatin1Char('\n');
}

QString maskedLabels(const QString &text, const QStringList &names, const QString &suffix)
{
    if (names.isEmpty())
        return text;
    QString masked = text;
    const QString trimmedSuffix = suffix.trimmed();
    for (int at = 0; at < masked.size();) {
        const bool paragraphStart
            = at == 0 || (at >= 2 && masked.at(at - 1) == QLatin1Char('\n') && masked.at(at - 2) == QLatin1Char('\n'));
        if (paragraphStart) {
            for (const QString &name : names) {
                const QString label = name + trimmedSuffix;
                if (!name.isEmpty() && masked.midRef(at, label.size()) == label) {
                    for (int i = at; i < at + label.size(); ++i)
                        masked[i] = QLatin1Char(' ');
                    break;
                }
            }
        }
        const int next = masked.indexOf(QLatin1Char('\n'), at);
        if (next < 0)
            break;
        at = next + 1;
    }
    return masked;
}

} // namespace SpeakerTurns
