#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "speechd/decodervariant.h"
#include "speechd/readabletext.h"

struct ps_decoder_s;
struct cmd_ln_s;
struct fe_s;

namespace speechd {

// One English PocketSphinx decoder. Loading the model takes about half a second, so it is loaded once;
// a decoder is not thread-safe, so each worker thread owns its own.
class Recognizer
{
public:
    Recognizer() = default;
    ~Recognizer();
    Recognizer(const Recognizer &) = delete;
    Recognizer &operator=(const Recognizer &) = delete;

    // modelDir holds en-us/ (acoustic model), en-us/en-us.lm.bin and en-us/cmudict-en-us.dict;
    // dictionaryPath, when given, replaces the last (see VocabularyDictionary).
    bool load(const std::string &modelDir, const std::string &dictionaryPath = std::string());
    static std::string languageModelPath(const std::string &modelDir);
    static std::string dictionaryPath(const std::string &modelDir);

    // A new decoder loaded as this one was, knowing the variant's words as well: each with its pronunciation
    // (see resolveUserWords); the words new to the language model share a unigram model interpolated with it.
    // Null on failure.
    std::unique_ptr<Recognizer> variant(const DecoderVariant &variant) const;
    // The variant's entries that got no pronunciation.
    const std::vector<std::string> &unpronounced() const { return unpronouncedWords; }

    // Streams the audio in small blocks and ends an utterance whenever speech stops, which keeps the
    // search small; the utterances' words joined by spaces. The result depends on these samples only,
    // not on what this decoder heard before.
    std::string decode(const int16_t *samples, size_t count);
    // The same decoding with each utterance's words and their times, fillers and silences left out.
    std::vector<Utterance> decodeTimed(const int16_t *samples, size_t count);

private:
    // Starts the decoder afresh for one request: noise estimate reset, cepstral mean taken from the
    // request's own speech (the model's when it has none).
    void startRequest(const int16_t *samples, size_t count);
    bool speechCepstralMean(const int16_t *samples, size_t count, std::vector<float> &mean);
    // Ends the utterance and appends its words.
    void takeUtterance(std::vector<Utterance> &utterances);
    bool start(const std::string &modelDir, const std::string &dictionary, bool withLanguageModel);
    bool useWordsLanguageModel(const std::vector<std::string> &newWords);
    bool useVoiceTransform(const std::string &transform);
    // A user's entry in the words the user wrote it with, the word's time shared by their lengths.
    void appendAsWritten(const TimedWord &word, Utterance &words) const;

    std::string loadedModelDir;
    std::string loadedDictionary;
    std::unordered_map<std::string, std::string> writtenForms; // dictionary name -> the user's text
    std::vector<std::string> unpronouncedWords;
    cmd_ln_s *config = nullptr;
    ps_decoder_s *decoder = nullptr;
    fe_s *meanFrontEnd = nullptr; // a second front end, only to measure a request's cepstral mean
    std::vector<float> modelCepstralMean;
};

// What a queue is doing, for health checks.
struct QueueStatus
{
    size_t workers = 0; // decoding workers this queue was made for
    size_t readyWorkers = 0; // those whose model is loaded
    size_t queued = 0; // requests waiting for a worker
    size_t capacity = 0; // requests that may wait
};

// What a worker gives back for one request.
struct Decoded
{
    std::vector<Utterance> utterances;
    std::vector<std::string> unpronounced; // the variant's entries without a pronunciation
    bool variantFailed = false; // the variant's decoder could not be built
};

// Decoding outside the HTTP threads: worker threads, each with its own recognizer, take jobs from a
// queue that holds at most `capacity` waiting jobs.
class DecodeQueue
{
public:
    // A queue for `workers` workers, added one by one as their models load; requests wait meanwhile.
    // Each cached variant decoder holds a whole model (about 85 MB); rebuilding one takes 1 to 2 s.
    static const size_t defaultCachedVariants = 4;

    DecodeQueue(size_t workers, size_t capacity, size_t cachedVariants = defaultCachedVariants);
    DecodeQueue(std::vector<std::unique_ptr<Recognizer>> recognizers, size_t capacity,
        size_t cachedVariants = defaultCachedVariants);
    ~DecodeQueue();
    DecodeQueue(const DecodeQueue &) = delete;
    DecodeQueue &operator=(const DecodeQueue &) = delete;

    // Blocks the calling thread until a worker has decoded the samples. False, at once, when the queue
    // is full.
    bool decode(std::vector<int16_t> samples, std::vector<Utterance> &utterances);
    // The same with the request's decoder variant: the worker takes the variant's decoder from the cache,
    // or builds it, and keeps it there afterwards.
    bool decode(std::vector<int16_t> samples, const DecoderVariant &variant, Decoded &decoded);
    // How many variant decoders were built so far.
    size_t variantBuilds() const { return builtVariants; }

    // Starts a worker thread that decodes with `recognizer`.
    void addWorker(std::unique_ptr<Recognizer> recognizer);
    QueueStatus status();

private:
    struct Job
    {
        std::vector<int16_t> samples;
        DecoderVariant variant;
        std::promise<Decoded> result;
    };

    void work(Recognizer *recognizer);
    Decoded decodeJob(Recognizer *recognizer, const Job &job);

    const size_t expectedWorkers;
    const size_t capacity;
    std::vector<std::unique_ptr<Recognizer>> recognizers;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> waiting;
    bool stopping = false;
    size_t idleWorkers = 0; // workers waiting for a job: what they will take at once needs no queue room
    std::vector<std::thread> workers;
    VariantCache variants;
    std::atomic<size_t> builtVariants {0};
};

} // namespace speechd
