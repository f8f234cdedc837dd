#include "speechd/readabletext.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace speechd {

namespace {

struct Title
{
    const char *spoken;
    const char *written;
};

const Title titles[] = {
    {"mr", "Mr."},
    {"mrs", "Mrs."},
    {"ms", "Ms."},
    {"dr", "Dr."},
    {"prof", "Prof."},
    {"rev", "Rev."},
};

const char *titleFor(const std::string &word)
{
    for (const Title &title : titles) {
        if (word == title.spoken)
            return title.written;
    }
    return nullptr;
}

void capitalise(std::string &word)
{
    if (!word.empty())
        word[0] = char(std::toupper(static_cast<unsigned char>(word[0])));
}

// "i", "i'm", "i'll", "i've", "i'd": the pronoun and its contractions.
bool isFirstPerson(const std::string &word)
{
    return word == "i" || (word.size() > 2 && word[0] == 'i' && word[1] == '\'');
}

std::vector<Utterance> splitAtPauses(const std::vector<Utterance> &utterances, int pauseMs)
{
    std::vector<Utterance> pieces;
    int previousEnd = 0;
    for (const Utterance &utterance : utterances) {
        Utterance piece;
        for (TimedWord word : utterance) {
            // The decoder may give a frame to both ends of an utterance boundary; times stay in order.
            word.startMs = std::max(word.startMs, previousEnd);
            word.endMs = std::max(word.endMs, word.startMs);
            previousEnd = word.endMs;
            if (!piece.empty() && word.startMs - piece.back().endMs >= pauseMs) {
                pieces.push_back(piece);
                piece.clear();
            }
            piece.push_back(word);
        }
        if (!piece.empty())
            pieces.push_back(piece);
    }
    return pieces;
}

Sentence sentenceOf(const Utterance &words)
{
    Sentence sentence;
    sentence.startMs = words.front().startMs;
    sentence.endMs = words.back().endMs;
    bool afterTitle = false;
    for (const TimedWord &spoken : words) {
        TimedWord word = spoken;
        if (const char *title = titleFor(word.text)) {
            word.text = title;
            afterTitle = true;
        } else {
            if (isFirstPerson(word.text) || afterTitle)
                capitalise(word.text);
            afterTitle = false;
        }
        sentence.words.push_back(word);
    }
    capitalise(sentence.words.front().text);
    std::string &last = sentence.words.back().text;
    if (last.back() != '.')
        last += '.';
    for (const TimedWord &word : sentence.words) {
        if (!sentence.text.empty())
            sentence.text += ' ';
        sentence.text += word.text;
    }
    return sentence;
}

} // namespace

ReadableText makeReadable(const std::vector<Utterance> &utterances, int pauseMs, int paragraphMs)
{
    ReadableText readable;
    for (const Utterance &piece : splitAtPauses(utterances, pauseMs)) {
        Sentence sentence = sentenceOf(piece);
        if (!readable.sentences.empty()) {
            sentence.startsParagraph = sentence.startMs - readable.sentences.back().endMs >= paragraphMs;
            readable.text += sentence.startsParagraph ? "\n\n" : " ";
        }
        readable.text += sentence.text;
        readable.sentences.push_back(sentence);
    }
    return readable;
}

std::string spokenWord(const char *decoderWord)
{
    if (!decoderWord || !*decoderWord || std::strchr("<[+", decoderWord[0]))
        return std::string();
    std::string word(decoderWord);
    const size_t variant = word.find('(');
    if (variant != std::string::npos && variant > 0 && word.back() == ')')
        word.resize(variant);
    return word;
}

} // namespace speechd
