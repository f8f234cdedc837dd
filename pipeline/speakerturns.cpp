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

namespace {
bool lineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QChar::ParagraphSeparator;
}
} // namespace

QVector<Label> labelsIn(const QString &text, const QStringList &names, const QString &suffix)
{
    QVector<Label> labels;
    if (names.isEmpty())
        return labels;
    const QString trimmedSuffix = suffix.trimmed();
    for (int at = 0; at < text.size();) {
        if (at == 0 || (at >= 2 && lineBreak(text.at(at - 1)) && lineBreak(text.at(at - 2)))) {
            for (int i = 0; i < names.size(); ++i) {
                const QString &name = names.at(i);
                if (!name.isEmpty() && text.midRef(at, name.size()) == name
                    && text.midRef(at + name.size(), trimmedSuffix.size()) == trimmedSuffix) {
                    labels.append({at, int(name.size()), int(name.size() + trimmedSuffix.size()), i + 1});
                    break;
                }
            }
        }
        const auto next = std::find_if(text.cbegin() + at, text.cend(), lineBreak);
        if (next == text.cend())
            break;
        at = int(next - text.cbegin()) + 1;
    }
    return labels;
}

int speakerAt(const QVector<Label> &labels, int offset)
{
    const auto after = std::upper_bound(
        labels.cbegin(), labels.cend(), offset, [](int at, const Label &l) { return at < l.offset; });
    return after == labels.cbegin() ? 0 : (after - 1)->speaker;
}

QString maskedLabels(const QString &text, const QStringList &names, const QString &suffix)
{
    QString masked = text;
    for (const Label &label : labelsIn(text, names, suffix))
        masked.replace(label.offset, label.length, QString(label.length, QLatin1Char(' ')));
    return masked;
}

NameProblem nameProblem(const QStringList &names, int speaker, const QString &name, const QString &suffix)
{
    if (std::any_of(name.cbegin(), name.cend(),
            [](QChar c) { return lineBreak(c) || c == QLatin1Char('\r') || c == QChar::LineSeparator; }))
        return NameProblem::LineBreak;
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return NameProblem::Empty;
    if (!suffix.trimmed().isEmpty() && trimmed.contains(suffix.trimmed()))
        return NameProblem::Suffix;
    for (int i = 0; i < names.size(); ++i) {
        if (i != speaker - 1 && names.at(i) == trimmed)
            return NameProblem::Taken;
    }
    return NameProblem::None;
}

Renamed renamed(const QString &text, const QStringList &names, const QString &suffix, int speaker, const QString &name)
{
    Renamed result {text, names, {}, int(names.value(speaker - 1).size()), name.trimmed()};
    if (speaker < 1 || speaker > names.size())
        return result;
    for (const Label &label : labelsIn(text, names, suffix)) {
        if (label.speaker == speaker)
            result.offsets.append(label.offset);
    }
    // From the end, so the offsets still to be replaced stay where they were.
    for (auto at = result.offsets.crbegin(); at != result.offsets.crend(); ++at)
        result.text.replace(*at, result.oldLength, result.name);
    result.names[speaker - 1] = result.name;
    return result;
}

} // namespace SpeakerTurns
