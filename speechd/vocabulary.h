#pragma once

#include <string>

namespace speechd {

// A temporary file without a name, which the decoders open as /proc/self/fd/N while this object lives:
// nothing is left behind, however the process ends.
class NamelessFile
{
public:
    NamelessFile() = default;
    ~NamelessFile();
    NamelessFile(const NamelessFile &) = delete;
    NamelessFile &operator=(const NamelessFile &) = delete;

    // False when the file cannot be made or written, or content is empty.
    bool write(const std::string &content);
    // Empty unless write succeeded.
    const std::string &path() const { return filePath; }

private:
    int fd = -1;
    std::string filePath;
};

// The model's pronunciation dictionary cut down to the words its language model knows. The n-gram
// search never enters a word the language model lacks, so the text is the same; but each decoder keeps
// its own copy of the dictionary and of the structures built from it, and the 62,000 unused words cost
// about 12 MB per worker. The cut dictionary is a nameless temporary file that lives as long as this object.
class VocabularyDictionary
{
public:
    // False when the language model or the dictionary cannot be read or the file cannot be written.
    bool prepare(const std::string &languageModelPath, const std::string &dictionaryPath);
    // Empty unless prepare succeeded.
    const std::string &path() const { return file.path(); }

private:
    NamelessFile file;
};

// The dictionary's lines ("WORD PHONES", alternatives as "WORD(2) PHONES") whose word is known.
template <typename IsKnown> std::string keepKnownWords(const std::string &dictionary, IsKnown isKnown)
{
    std::string kept;
    size_t start = 0;
    while (start < dictionary.size()) {
        size_t end = dictionary.find('\n', start);
        end = end == std::string::npos ? dictionary.size() : end + 1;
        const size_t wordEnd = dictionary.find_first_of(" \t(", start);
        if (wordEnd != std::string::npos && wordEnd < end && isKnown(dictionary.substr(start, wordEnd - start)))
            kept.append(dictionary, start, end - start);
        start = end;
    }
    return kept;
}

} // namespace speechd
