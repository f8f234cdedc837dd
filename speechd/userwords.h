#pragma once

#include <functional>
#include <string>
#include <vector>

namespace Json {
class Value;
}

namespace speechd {

// One entry of a request's "words": a word or a phrase as the user writes it, and the pronunciation
// the user wrote for it (CMU phones separated by spaces), if any.
struct UserWord
{
    std::string text;
    std::string phones;
    bool operator==(const UserWord &other) const { return text == other.text && phones == other.phones; }
};

// Reads the "words" member of a recognition request. An absent or null member is an empty list. False,
// with a message naming the entry, when it is not an array of at most 1,000 strings or {"text","phones"}
// objects, a text is empty or longer than 64 characters, or a pronunciation names a phone the model lacks.
// The list comes back without repeats, in a canonical order, so the same set gives the same key.
bool parseUserWords(const Json::Value &member, std::vector<UserWord> &words, std::string &error);

// Upper case phones without stress marks, separated by single spaces; empty when one is not a model phone.
std::string normalisePhones(const std::string &phones);

// A word the decoder will know: its dictionary name, pronunciation and the text it stands for.
struct DictionaryWord
{
    std::string name; // lower case, a phrase's words joined by '_'
    std::string phones; // empty: the dictionary's own pronunciation is kept
    std::string text; // as the user wrote it
};

struct ResolvedWords
{
    std::vector<DictionaryWord> words;
    std::vector<std::string> unpronounced; // texts that got no pronunciation, in the list's order
};

// Which pronunciation each entry gets: the user's when written; else, for a single word the dictionary
// knows, the dictionary's; else each word of it from the dictionary or, failing that, from letter-to-sound
// rules. An entry with a word neither gives is unpronounced. dictionaryPhones and letterToSound return
// empty when they have nothing.
ResolvedWords resolveUserWords(const std::vector<UserWord> &words,
    const std::function<std::string(const std::string &)> &dictionaryPhones,
    const std::function<std::string(const std::string &)> &letterToSound);

// The words a dictionary name stands for in the text ("new_york" of "New York" gives "New", "York").
std::vector<std::string> displayWords(const std::string &text);

// CMU phones from flite's lexicon and letter-to-sound rules, mapped to the model's phone set; empty for a
// word whose letters give none (digits, letters outside a-z). Thread-safe.
std::string fliteLetterToSound(const std::string &word);

} // namespace speechd
