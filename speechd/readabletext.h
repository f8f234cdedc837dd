#pragma once

#include <string>
#include <vector>

namespace speechd {

// One recognised word and where it lies, in milliseconds from the start of the decoded audio.
struct TimedWord
{
    std::string text;
    int startMs = 0;
    int endMs = 0;
};

// The words of one decoder utterance, fillers and silences left out.
using Utterance = std::vector<TimedWord>;

struct Sentence
{
    std::string text; // the readable words joined by spaces
    int startMs = 0;
    int endMs = 0;
    bool startsParagraph = false;
    std::vector<TimedWord> words; // in their readable form ("Mr.", "I'm", "end.")
};

struct ReadableText
{
    std::vector<Sentence> sentences;
    std::string text; // sentences joined by spaces, paragraphs by an empty line
};

// A pause between words at least this long ends a sentence. Measured on espeak-ng speech
// (bench/sentence_pauses.py): gaps inside a sentence reach 210 ms, those at a full stop 270 ms and more.
constexpr int sentencePauseMs = 250;
// A pause at least this long between sentences begins a new paragraph.
constexpr int paragraphPauseMs = 2000;

// Sentences from the decoder's lower-case words: one ends with each utterance and at each pause of
// sentencePauseMs or more; each begins with a capital and ends with a full stop; "i" and its
// contractions are capitalised, titles ("mr" -> "Mr.") read as titles and the word after one too.
ReadableText makeReadable(
    const std::vector<Utterance> &utterances, int pauseMs = sentencePauseMs, int paragraphMs = paragraphPauseMs);

// The decoder's spelling of a word without its pronunciation variant ("read(2)" -> "read"); empty for
// fillers and silences ("<sil>", "<s>", "[NOISE]", "++BREATH++").
std::string spokenWord(const char *decoderWord);

} // namespace speechd
