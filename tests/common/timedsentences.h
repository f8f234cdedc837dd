#pragma once

#include "pipeline/timedtext.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Timed sentences written compactly for the tables of the tests, and back.
namespace TimedSentences {

// "a@0-300 b@300-600; =Some text@1000-9000": sentences by ";", each its words with times, or after "="
// a sentence's text and span without word times.
inline QVector<TimedSentence> sentencesOf(const QString &written)
{
    QVector<TimedSentence> sentences;
    for (const QString &part : written.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        TimedSentence sentence;
        const QString item = part.trimmed();
        auto span = [](const QString &times, qint64 *start, qint64 *end) {
            *start = times.section(QLatin1Char('-'), 0, 0).toLongLong();
            *end = times.section(QLatin1Char('-'), 1, 1).toLongLong();
        };
        if (item.startsWith(QLatin1Char('='))) {
            sentence.text = item.mid(1).section(QLatin1Char('@'), 0, 0);
            span(item.section(QLatin1Char('@'), 1), &sentence.startMs, &sentence.endMs);
        } else {
            QStringList texts;
            for (const QString &w : item.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                TimedWord word;
                word.text = w.section(QLatin1Char('@'), 0, 0);
                span(w.section(QLatin1Char('@'), 1), &word.startMs, &word.endMs);
                sentence.words.append(word);
                texts << word.text;
            }
            sentence.text = texts.join(QLatin1Char(' '));
            sentence.startMs = sentence.words.first().startMs;
            sentence.endMs = sentence.words.last().endMs;
        }
        sentences.append(sentence);
    }
    return sentences;
}

// Sentences in the form sentencesOf reads, every word with its times.
inline QString writtenOf(const QVector<TimedSentence> &sentences)
{
    QStringList parts;
    for (const TimedSentence &sentence : sentences) {
        QStringList words;
        for (const TimedWord &word : sentence.words)
            words << QStringLiteral("%1@%2-%3").arg(word.text).arg(word.startMs).arg(word.endMs);
        parts << words.join(QLatin1Char(' '));
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace TimedSentences
