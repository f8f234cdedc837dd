#pragma once

#include "speechd/userwords.h"

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace speechd {

class Recognizer;

// What one request asks of its decoder beyond the workers' own: the user's words and their voice. A variant decoder is
// built for it and serves that variant's requests only, so one user's words never reach another's text.
// Every member joins the key.
struct DecoderVariant
{
    std::vector<UserWord> words; // in parseUserWords' canonical order
    std::string mllr; // the user's voice adaptation, as VoiceTransform::isWellFormed accepts it; empty: none

    bool isDefault() const { return words.empty() && mllr.empty(); }
    // A hash of every member: requests with equal variants share a decoder.
    std::string key() const;
};

// Built variant decoders kept for the next request of the same variant, least recently used first out.
// A decoder taken is out of the cache until it is given back, so no two threads ever share one.
class VariantCache
{
public:
    explicit VariantCache(size_t capacity);
    VariantCache(const VariantCache &) = delete;
    VariantCache &operator=(const VariantCache &) = delete;
    ~VariantCache();

    // The decoder kept for the key, or null.
    std::unique_ptr<Recognizer> take(const std::string &key);
    // Keeps the decoder as the most recently used; drops the least recently used beyond the capacity.
    void giveBack(const std::string &key, std::unique_ptr<Recognizer> recognizer);
    size_t size();

private:
    const size_t capacity;
    std::mutex mutex;
    std::list<std::pair<std::string, std::unique_ptr<Recognizer>>> entries; // most recently used first
};

} // namespace speechd
