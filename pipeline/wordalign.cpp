#include "pipeline/wordalign.h"

#include "pipeline/timings.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace WordAlign {

namespace {

// Beyond this many edits between two saves the rest of the changed stretch counts as one replacement,
// which keeps memory and time bounded on a long transcript.
constexpr int maxEdits = 2000;

struct OldWord
{
    QString text;
    qint64 startMs = 0;
    qint64 endMs = 0;
    int sentence = 0;
    TimedWord::Edit edit = TimedWord::Edit::None;
};

QVector<OldWord> flatten(const QVector<TimedSentence> &sentences)
{
    QVector<OldWord> words;
    for (int s = 0; s < sentences.size(); ++s) {
        for (const TimedWord &word : Timings::timedWords(sentences.at(s)))
            words.append({word.text, word.startMs, word.endMs, s, word.edit});
    }
    return words;
}

// Myers' greedy diff of a against b; for each element of b the index in a of its equal, or -1. Leaves
// everything unmatched when more than maxEdits edits would be needed.
std::vector<int> middleMatches(const std::vector<int> &a, const std::vector<int> &b)
{
    const int n = int(a.size());
    const int m = int(b.size());
    std::vector<int> match(size_t(m), -1);
    const int limit = std::min(n + m, maxEdits);
    std::vector<int> v(size_t(2 * limit + 3), 0);
    const int mid = limit + 1;
    std::vector<std::vector<int>> trace; // v over k in [-d, d] at the start of round d
    int found = -1;
    for (int d = 0; d <= limit && found < 0; ++d) {
        trace.emplace_back(v.begin() + (mid - d), v.begin() + (mid + d + 1));
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[mid + k - 1] < v[mid + k + 1])) ? v[mid + k + 1] : v[mid + k - 1] + 1;
            int y = x - k;
            while (x < n && y < m && a[size_t(x)] == b[size_t(y)])
                ++x, ++y;
            v[mid + k] = x;
            if (x >= n && y >= m) {
                found = d;
                break;
            }
        }
    }
    if (found < 0)
        return match;
    int x = n;
    int y = m;
    for (int d = found; d >= 0; --d) {
        const std::vector<int> &round = trace[size_t(d)];
        const auto at = [&](int k) { return round[size_t(k + d)]; };
        const int k = x - y;
        const int previousK = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? k + 1 : k - 1;
        const int previousX = d == 0 ? 0 : at(previousK);
        const int previousY = d == 0 ? 0 : previousX - previousK;
        while (x > previousX && y > previousY) {
            --x, --y;
            match[size_t(y)] = x;
        }
        x = previousX;
        y = previousY;
    }
    return match;
}

// For each new word the index of the old word it is unchanged from, or -1.
std::vector<int> matches(const QVector<OldWord> &old, const QStringList &words)
{
    QHash<QString, int> ids;
    const auto id = [&ids](const QString &text) { return ids.insert(text, ids.value(text, ids.size())).value(); };
    std::vector<int> a, b;
    a.reserve(size_t(old.size()));
    b.reserve(size_t(words.size()));
    for (const OldWord &word : old)
        a.push_back(id(word.text));
    for (const QString &word : words)
        b.push_back(id(word));
    // Most saves change a few words: the common ends are matched without the diff.
    size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix
        && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    std::vector<int> result(b.size(), -1);
    for (size_t i = 0; i < prefix; ++i)
        result[i] = int(i);
    for (size_t i = 0; i < suffix; ++i)
        result[b.size() - 1 - i] = int(a.size() - 1 - i);
    const std::vector<int> inner = middleMatches(std::vector<int>(a.begin() + long(prefix), a.end() - long(suffix)),
        std::vector<int>(b.begin() + long(prefix), b.end() - long(suffix)));
    for (size_t i = 0; i < inner.size(); ++i)
        result[prefix + i] = inner[i] < 0 ? -1 : inner[i] + int(prefix);
    return result;
}

// New words [from, to) spread over a span by their lengths, all in one sentence unless given per word.
void spread(const QStringList &words, int from, int to, qint64 startMs, qint64 endMs, QVector<Placed> &placed)
{
    TimedSentence span;
    span.text = QStringList(words.mid(from, to - from)).join(QLatin1Char(' '));
    span.startMs = startMs;
    span.endMs = std::max(startMs, endMs);
    const QVector<TimedWord> times = Timings::timedWords(span);
    for (int i = 0; i < times.size() && from + i < to; ++i) {
        placed[from + i].startMs = times.at(i).startMs;
        placed[from + i].endMs = times.at(i).endMs;
    }
}

// New words [from, to) in place of old words [oldFrom, oldTo), which may be none (an insertion).
void fillBlock(const QVector<OldWord> &old, const QStringList &words, int from, int to, int oldFrom, int oldTo,
    QVector<Placed> &placed)
{
    const int oldCount = oldTo - oldFrom;
    const int count = to - from;
    if (oldCount == count) {
        for (int i = 0; i < count; ++i)
            placed[from + i] = {old.at(oldFrom + i).startMs, old.at(oldFrom + i).endMs, old.at(oldFrom + i).sentence,
                TimedWord::Edit::Replaced};
        return;
    }
    if (oldCount > 0) {
        spread(words, from, to, old.at(oldFrom).startMs, old.at(oldTo - 1).endMs, placed);
        for (int i = 0; i < count; ++i) {
            placed[from + i].sentence = old.at(oldFrom + int(qint64(i) * oldCount / count)).sentence;
            placed[from + i].edit = TimedWord::Edit::Replaced;
        }
        return;
    }
    const bool hasPrevious = from > 0;
    const bool hasNext = oldTo < old.size();
    const qint64 nextStart = hasNext ? old.at(oldTo).startMs : placed[from - 1].endMs;
    const qint64 previousEnd = hasPrevious ? placed[from - 1].endMs : nextStart;
    spread(words, from, to, previousEnd, std::max(previousEnd, nextStart), placed);
    const int sentence = hasPrevious ? placed[from - 1].sentence : old.at(oldTo).sentence;
    for (int i = from; i < to; ++i) {
        placed[i].sentence = sentence;
        placed[i].edit = TimedWord::Edit::Inserted;
    }
}

QStringList textsOf(const QString &text, const QVector<TextWord> &words)
{
    QStringList texts;
    texts.reserve(words.size());
    for (const TextWord &word : words)
        texts.append(text.mid(word.offset, word.length));
    return texts;
}

} // namespace

QVector<TextWord> splitWords(const QString &text)
{
    QVector<TextWord> words;
    int start = -1;
    for (int i = 0; i <= text.size(); ++i) {
        const bool space = i == text.size() || text.at(i).isSpace();
        if (!space && start < 0)
            start = i;
        else if (space && start >= 0) {
            words.append({start, i - start});
            start = -1;
        }
    }
    return words;
}

QVector<Placed> place(const QStringList &newWords, const QVector<TimedSentence> &sentences, QSet<int> *lostIn)
{
    const QVector<OldWord> old = flatten(sentences);
    if (old.isEmpty())
        return {};
    const std::vector<int> match = matches(old, newWords);
    QVector<Placed> placed(newWords.size());
    const auto deleted = [&](int from, int to) {
        for (int i = from; lostIn && i < to; ++i)
            lostIn->insert(old.at(i).sentence);
    };
    int oldNext = 0;
    for (int j = 0; j < newWords.size();) {
        if (match[size_t(j)] >= 0) {
            const OldWord &word = old.at(match[size_t(j)]);
            placed[j] = {word.startMs, word.endMs, word.sentence, word.edit};
            deleted(oldNext, match[size_t(j)]);
            oldNext = match[size_t(j)] + 1;
            ++j;
            continue;
        }
        int end = j;
        while (end < newWords.size() && match[size_t(end)] < 0)
            ++end;
        const int oldEnd = end < newWords.size() ? match[size_t(end)] : old.size();
        fillBlock(old, newWords, j, end, oldNext, oldEnd, placed);
        oldNext = oldEnd;
        j = end;
    }
    deleted(oldNext, old.size());
    return placed;
}

QVector<TimedSentence> realigned(const QVector<TimedSentence> &sentences, const QString &text)
{
    const QStringList words = textsOf(text, splitWords(text));
    QSet<int> lost;
    const QVector<Placed> placed = place(words, sentences, &lost);
    QVector<TimedSentence> result;
    for (int i = 0; i < placed.size(); ++i) {
        const TimedWord word {words.at(i), placed.at(i).startMs, placed.at(i).endMs, placed.at(i).edit};
        const int from = placed.at(i).sentence;
        if (i == 0 || from != placed.at(i - 1).sentence) {
            // The sentence's speaker stays with the words that are left of it.
            const TimedSentence &old = sentences.at(from);
            TimedSentence placedSentence {word.text, word.startMs, word.endMs, {word}, old.speaker, old.uncertain};
            placedSentence.lostWords = old.lostWords || lost.contains(from);
            result.append(placedSentence);
            continue;
        }
        TimedSentence &sentence = result.last();
        sentence.text += QLatin1Char(' ') + word.text;
        sentence.endMs = std::max(sentence.endMs, word.endMs);
        sentence.words.append(word);
    }
    return result;
}

Timeline::Timeline(const QString &text, const QVector<TimedSentence> &sentences)
    : m_words(splitWords(text))
    , m_times(place(textsOf(text, m_words), sentences))
{
    if (m_times.isEmpty())
        m_words.clear();
}

int Timeline::wordAt(int offset) const
{
    if (m_words.isEmpty())
        return -1;
    const auto found = std::lower_bound(m_words.cbegin(), m_words.cend(), offset,
        [](const TextWord &word, int at) { return word.offset + word.length < at; });
    return found == m_words.cend() ? m_words.size() - 1 : int(found - m_words.cbegin());
}

int Timeline::wordAtTime(qint64 ms) const
{
    const auto found = std::upper_bound(
        m_times.cbegin(), m_times.cend(), ms, [](qint64 at, const Placed &word) { return at < word.startMs; });
    return int(found - m_times.cbegin()) - 1;
}

} // namespace WordAlign
