#include "speechd/userwords.h"

#include "pipeline/userwordrules.h"

extern "C" {
#include <flite/cst_lexicon.h>
#include <flite/flite.h>
cst_lexicon *cmu_lex_init(void);
}

#include <json/json.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <set>
#include <tuple>

namespace speechd {

namespace {

size_t codePoints(const std::string &text)
{
    return size_t(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Outer white space dropped, inner runs made one space.
std::string collapseSpaces(const std::string &text)
{
    std::string collapsed;
    for (char c : text) {
        if (isSpace(c)) {
            if (!collapsed.empty() && collapsed.back() != ' ')
                collapsed += ' ';
        } else {
            collapsed += c;
        }
    }
    if (!collapsed.empty() && collapsed.back() == ' ')
        collapsed.pop_back();
    return collapsed;
}

std::string lowerAscii(std::string text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

std::vector<std::string> splitOn(const std::string &text, const char *separators)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (std::strchr(separators, c)) {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

bool isModelPhone(const std::string &phone)
{
    for (const char *known : UserWordRules::phones) {
        if (phone == known)
            return true;
    }
    return false;
}

std::string entryName(size_t index)
{
    return "words[" + std::to_string(index) + "]";
}

} // namespace

std::string normalisePhones(const std::string &phones)
{
    std::string normal;
    size_t count = 0;
    for (std::string phone : splitOn(phones, " \t")) {
        phone.erase(
            std::remove_if(phone.begin(), phone.end(), [](char c) { return c >= '0' && c <= '9'; }), phone.end());
        for (char &c : phone)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        if (!isModelPhone(phone) || ++count > UserWordRules::maxPhones)
            return std::string();
        normal += (normal.empty() ? "" : " ") + phone;
    }
    return normal;
}

bool parseUserWords(const Json::Value &member, std::vector<UserWord> &words, std::string &error)
{
    words.clear();
    if (member.isNull())
        return true;
    if (!member.isArray()) {
        error = "words must be an array";
        return false;
    }
    if (member.size() > UserWordRules::maxEntries) {
        error = "words has " + std::to_string(member.size()) + " entries; at most "
            + std::to_string(UserWordRules::maxEntries) + " are allowed";
        return false;
    }
    std::set<std::pair<std::string, std::string>> seen;
    for (Json::ArrayIndex i = 0; i < member.size(); ++i) {
        const Json::Value &item = member[i];
        UserWord word;
        if (item.isString()) {
            word.text = item.asString();
        } else if (item.isObject() && item["text"].isString()
            && (item["phones"].isNull() || item["phones"].isString())) {
            word.text = item["text"].asString();
            word.phones = item["phones"].isString() ? item["phones"].asString() : std::string();
        } else {
            error = entryName(i)
                + " must be a string or an object with a string \"text\" and an optional string \"phones\"";
            return false;
        }
        word.text = collapseSpaces(word.text);
        if (word.text.empty() || word.text.find('\0') != std::string::npos) {
            error = entryName(i) + " is empty";
            return false;
        }
        if (codePoints(word.text) > UserWordRules::maxTextCharacters) {
            error
                = entryName(i) + " is longer than " + std::to_string(UserWordRules::maxTextCharacters) + " characters";
            return false;
        }
        if (!collapseSpaces(word.phones).empty()) {
            const std::string phones = normalisePhones(word.phones);
            if (phones.empty()) {
                error = entryName(i) + ": phones \"" + word.phones + "\" are not up to "
                    + std::to_string(UserWordRules::maxPhones) + " phones of the model (AA AE AH ... ZH)";
                return false;
            }
            word.phones = phones;
        } else {
            word.phones.clear();
        }
        if (seen.insert({word.text, word.phones}).second)
            words.push_back(word);
    }
    std::sort(words.begin(), words.end(),
        [](const UserWord &a, const UserWord &b) { return std::tie(a.text, a.phones) < std::tie(b.text, b.phones); });
    return true;
}

ResolvedWords resolveUserWords(const std::vector<UserWord> &words,
    const std::function<std::string(const std::string &)> &dictionaryPhones,
    const std::function<std::string(const std::string &)> &letterToSound)
{
    ResolvedWords resolved;
    for (const UserWord &word : words) {
        DictionaryWord entry;
        entry.text = word.text;
        entry.name = lowerAscii(word.text);
        std::replace(entry.name.begin(), entry.name.end(), ' ', '_');
        entry.phones = word.phones;
        if (entry.phones.empty() && dictionaryPhones(entry.name).empty()) {
            // A phrase, or a word the dictionary lacks: its pieces spoken one after another.
            std::string phones;
            for (const std::string &piece : splitOn(lowerAscii(word.text), " -")) {
                std::string piecePhones = dictionaryPhones(piece);
                if (piecePhones.empty())
                    piecePhones = letterToSound(piece);
                if (piecePhones.empty()) {
                    phones.clear();
                    break;
                }
                phones += (phones.empty() ? "" : " ") + piecePhones;
            }
            if (phones.empty()) {
                resolved.unpronounced.push_back(word.text);
                continue;
            }
            entry.phones = phones;
        }
        resolved.words.push_back(entry);
    }
    return resolved;
}

std::vector<std::string> displayWords(const std::string &text)
{
    return splitOn(text, " ");
}

std::string fliteLetterToSound(const std::string &word)
{
    // Only a-z and apostrophes: the rules read other bytes as silence or garbage.
    if (word.empty()
        || !std::all_of(word.begin(), word.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '\''; })
        || std::none_of(word.begin(), word.end(), [](char c) { return c != '\''; }))
        return std::string();
    static std::mutex mutex;
    static cst_lexicon *lexicon = nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    if (!lexicon) {
        flite_init();
        lexicon = cmu_lex_init();
    }
    cst_val *phones = lex_lookup(lexicon, word.c_str(), nullptr, nullptr);
    std::string mapped;
    for (const cst_val *v = phones; v; v = val_cdr(v)) {
        std::string phone = val_string(val_car(v));
        phone.erase(
            std::remove_if(phone.begin(), phone.end(), [](char c) { return c >= '0' && c <= '9'; }), phone.end());
        // flite's reduced vowels; the model has none.
        if (phone == "ax")
            phone = "ah";
        else if (phone == "axr")
            phone = "er";
        else if (phone == "pau")
            continue;
        mapped += (mapped.empty() ? "" : " ") + phone;
    }
    delete_val(phones);
    return normalisePhones(mapped);
}

} // namespace speechd
