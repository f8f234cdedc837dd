#include "speechd/decodervariant.h"

#include "speechd/recognizer.h"

#include <cstdint>
#include <cstdio>

namespace speechd {

namespace {

// FNV-1a over the members with their lengths, so no two different lists write the same bytes.
struct Hash
{
    uint64_t value = 1469598103934665603ull;
    void add(const std::string &text)
    {
        const std::string sized = std::to_string(text.size()) + ':' + text;
        for (unsigned char c : sized) {
            value ^= c;
            value *= 1099511628211ull;
        }
    }
};

} // namespace

std::string DecoderVariant::key() const
{
    Hash words1;
    Hash words2;
    words2.value ^= 0x9E3779B97F4A7C15ull;
    for (const UserWord &word : words) {
        words1.add(word.text);
        words1.add(word.phones);
        words2.add(word.text);
        words2.add(word.phones);
    }
    words1.add(mllr);
    words2.add(mllr);
    char key[40];
    std::snprintf(key, sizeof key, "w%016llx%016llx", static_cast<unsigned long long>(words1.value),
        static_cast<unsigned long long>(words2.value));
    return key;
}

VariantCache::VariantCache(size_t capacity)
    : capacity(capacity)
{ }

VariantCache::~VariantCache() = default;

std::unique_ptr<Recognizer> VariantCache::take(const std::string &key)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->first == key) {
            std::unique_ptr<Recognizer> recognizer = std::move(it->second);
            entries.erase(it);
            return recognizer;
        }
    }
    return nullptr;
}

void VariantCache::giveBack(const std::string &key, std::unique_ptr<Recognizer> recognizer)
{
    std::unique_ptr<Recognizer> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex);
        entries.emplace_front(key, std::move(recognizer));
        if (entries.size() > capacity) {
            dropped = std::move(entries.back().second);
            entries.pop_back();
        }
    }
    // dropped is freed here, outside the lock: freeing a decoder takes a while.
}

size_t VariantCache::size()
{
    std::lock_guard<std::mutex> lock(mutex);
    return entries.size();
}

} // namespace speechd
