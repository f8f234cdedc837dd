#include "speechd/vocabulary.h"

#include <err.h>
#include <logmath.h>
#include <ngram_model.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <unordered_set>

namespace speechd {

namespace {

bool readWords(const std::string &languageModelPath, std::unordered_set<std::string> &words)
{
    // The library logs to stderr unless told otherwise; the decoders' own -logfn comes later.
    err_set_logfp(nullptr);
    logmath_t *logmath = logmath_init(1.0001, 0, 0);
    ngram_model_t *model = ngram_model_read(nullptr, languageModelPath.c_str(), NGRAM_AUTO, logmath);
    if (model) {
        const uint32 unigrams = ngram_model_get_counts(model)[0];
        for (uint32 i = 0; i < unigrams; ++i)
            words.insert(ngram_word(model, int32(i)));
        ngram_model_free(model);
    }
    logmath_free(logmath);
    return !words.empty();
}

} // namespace

NamelessFile::~NamelessFile()
{
    if (fd >= 0)
        close(fd);
}

bool NamelessFile::write(const std::string &content)
{
    const char *folder = std::getenv("TMPDIR");
    std::string name = std::string(folder && *folder ? folder : "/tmp") + "/quillora-speechd-dict-XXXXXX";
    fd = mkstemp(&name[0]);
    if (fd < 0)
        return false;
    unlink(name.c_str());
    if (content.empty() || ::write(fd, content.data(), content.size()) != ssize_t(content.size()))
        return false;
    filePath = "/proc/self/fd/" + std::to_string(fd);
    return true;
}

bool VocabularyDictionary::prepare(const std::string &languageModelPath, const std::string &dictionaryPath)
{
    std::unordered_set<std::string> words;
    std::ifstream in(dictionaryPath);
    if (!in || !readWords(languageModelPath, words))
        return false;
    std::stringstream dictionary;
    dictionary << in.rdbuf();
    const std::string kept
        = keepKnownWords(dictionary.str(), [&words](const std::string &word) { return words.count(word) > 0; });
    return file.write(kept);
}

} // namespace speechd
