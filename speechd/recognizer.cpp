#include "speechd/recognizer.h"

#include <cmn.h>
#include <fe.h>
#include <feat.h>
#include <ngram_model.h>
#include <pocketsphinx.h>

#include "speechd/vocabulary.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

static_assert(sizeof(mfcc_t) == sizeof(float), "the cepstral mean is kept as floats");

namespace speechd {

namespace {
const size_t blockSamples = 2048;
// Speech without a pause still ends an utterance after this long: the search's memory grows with
// the utterance, and a 60-second segment of unbroken speech would otherwise be one utterance.
const size_t maxUtteranceSamples = 20 * 16000;
// Segment frames count from the start of the stream, silence dropped before speech included.
const int msPerFrame = 10;
// The share of the new words' own model in the interpolated language model (bench/words_bench.sh).
const float newWordsWeight = 0.3f;
// Alternative pronunciations the user writes for a word the dictionary has are numbered from here, clear
// of the dictionary's own "(2)", "(3)".
const int firstUserVariant = 50;
} // namespace

Recognizer::~Recognizer()
{
    if (meanFrontEnd)
        fe_free(meanFrontEnd);
    if (decoder)
        ps_free(decoder);
    if (config)
        cmd_ln_free_r(config);
}

std::string Recognizer::languageModelPath(const std::string &modelDir)
{
    return modelDir + "/en-us/en-us.lm.bin";
}

std::string Recognizer::dictionaryPath(const std::string &modelDir)
{
    return modelDir + "/en-us/cmudict-en-us.dict";
}

bool Recognizer::load(const std::string &modelDir, const std::string &dictionaryPath)
{
    loadedModelDir = modelDir;
    loadedDictionary = dictionaryPath;
    return start(modelDir, dictionaryPath.empty() ? Recognizer::dictionaryPath(modelDir) : dictionaryPath, true);
}

bool Recognizer::start(const std::string &modelDir, const std::string &dict, bool withLanguageModel)
{
    const std::string hmm = modelDir + "/en-us/en-us";
    const std::string lm = languageModelPath(modelDir);
    // Without -logfn the library writes pages of diagnostics to stderr. Skipping the second (flat
    // lexicon) pass and capping active HMMs per frame roughly halves the decoding time; measured on
    // spoken English the word error rate moved by under one point.
    // -mmap maps the mixture weights read-only, so the workers' decoders share one copy of them; the
    // library offers no sharing of the rest (the language model keeps per-decoder caches).
    std::vector<const char *> argv = {"-hmm", hmm.c_str(), "-dict", dict.c_str(), "-logfn", "/dev/null", "-fwdflat",
        "no", "-maxhmmpf", "5000", "-mmap", "yes"};
    if (withLanguageModel) {
        argv.push_back("-lm");
        argv.push_back(lm.c_str());
    }
    config = cmd_ln_parse_r(nullptr, ps_args(), int(argv.size()), const_cast<char **>(argv.data()), TRUE);
    if (!config)
        return false;
    decoder = ps_init(config);
    if (!decoder)
        return false;
    // ps_init has added the model's front-end parameters to the configuration; the second front end
    // computes exactly the decoder's features. It takes its own reference to the configuration.
    meanFrontEnd = fe_init_auto_r(ps_get_config(decoder));
    cmn_t *cmn = ps_get_feat(decoder)->cmn_struct;
    if (!meanFrontEnd || !cmn || fe_get_output_size(meanFrontEnd) != cmn->veclen)
        return false;
    modelCepstralMean.resize(size_t(cmn->veclen));
    cmn_live_get(cmn, reinterpret_cast<mfcc_t *>(modelCepstralMean.data()));
    return true;
}

namespace {

// Drops our reference to a model that another holder (a model set, a search) took its own of; whether
// they take one differs between library versions, so the count tells.
void releaseIfHeld(ngram_model_t *model)
{
    if (model && ngram_model_free(ngram_model_retain(model)) > 1)
        ngram_model_free(model);
}

} // namespace

std::unique_ptr<Recognizer> Recognizer::variant(const DecoderVariant &variant) const
{
    const auto dictionaryPhones = [this](const std::string &name) {
        char *phones = ps_lookup_word(decoder, name.c_str());
        const std::string found = phones ? phones : "";
        std::free(phones);
        return found;
    };
    const ResolvedWords resolved = resolveUserWords(variant.words, dictionaryPhones, fliteLetterToSound);
    auto built = std::make_unique<Recognizer>();
    built->loadedModelDir = loadedModelDir;
    built->loadedDictionary = loadedDictionary;
    built->unpronouncedWords = resolved.unpronounced;

    // The new words join a copy of the dictionary: the user's own pronunciation of a word the dictionary has
    // becomes an alternative of it, any other a word of its own.
    // The model the base decoder was loaded with: the library names that search "_default". (Asking for the
    // current search's name instead, ps_get_search, leaks the library's hash iterator on every call.)
    ngram_model_t *lm = ps_get_lm(decoder, "_default");
    int variantNumber = firstUserVariant;
    std::string added;
    std::vector<std::string> newWords;
    for (const DictionaryWord &word : resolved.words) {
        built->writtenForms[word.name] = word.text;
        if (word.phones.empty())
            continue; // the dictionary's word as it is
        std::string name = word.name;
        if (!dictionaryPhones(name).empty())
            name += "(" + std::to_string(variantNumber++) + ")";
        else if (lm && ngram_wid(lm, name.c_str()) == ngram_unknown_wid(lm))
            newWords.push_back(name);
        added += name + " " + word.phones + "\n";
    }
    std::ifstream in(loadedDictionary.empty() ? dictionaryPath(loadedModelDir) : loadedDictionary);
    std::stringstream dictionary;
    dictionary << in.rdbuf();
    std::string text = dictionary.str();
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    NamelessFile merged;
    if (text.empty() || !merged.write(text + added) || !built->start(loadedModelDir, merged.path(), newWords.empty()))
        return nullptr;
    if (!newWords.empty() && !built->useWordsLanguageModel(newWords))
        return nullptr;
    if (!variant.mllr.empty() && !built->useVoiceTransform(variant.mllr))
        return nullptr;
    return built;
}

bool Recognizer::useVoiceTransform(const std::string &transform)
{
    // The library reads a transform from a file only; the decoder owns what it reads.
    NamelessFile file;
    if (!file.write(transform))
        return false;
    ps_mllr_t *mllr = ps_mllr_read(file.path().c_str());
    return mllr && ps_update_mllr(decoder, mllr) == mllr;
}

bool Recognizer::useWordsLanguageModel(const std::vector<std::string> &newWords)
{
    // The n-gram model's tables cannot take words it was not built with (ngram_model_add_word makes its
    // searches read past their ends), so the new words get a unigram model of their own, interpolated with it.
    std::string arpa = "\\data\\\nngram 1=" + std::to_string(newWords.size()) + "\n\n\\1-grams:\n";
    const std::string probability = std::to_string(-std::log10(double(newWords.size())));
    for (const std::string &word : newWords)
        arpa += probability + " " + word + "\n";
    arpa += "\n\\end\\\n";
    NamelessFile wordsFile;
    if (!wordsFile.write(arpa))
        return false;
    logmath_t *logmath = ps_get_logmath(decoder);
    ngram_model_t *models[2]
        = {ngram_model_read(config, languageModelPath(loadedModelDir).c_str(), NGRAM_AUTO, logmath),
            ngram_model_read(config, wordsFile.path().c_str(), NGRAM_ARPA, logmath)};
    const char *names[2] = {"model", "words"};
    const float weights[2] = {1.0f - newWordsWeight, newWordsWeight};
    ngram_model_t *set = models[0] && models[1]
        ? ngram_model_set_init(config, models, const_cast<char **>(names), weights, 2)
        : nullptr;
    for (ngram_model_t *model : models) {
        if (!set && model)
            ngram_model_free(model);
        releaseIfHeld(set ? model : nullptr);
    }
    const bool used = set && ps_set_lm(decoder, "words", set) == 0 && ps_set_search(decoder, "words") == 0;
    releaseIfHeld(set);
    return used;
}

void Recognizer::appendAsWritten(const TimedWord &word, Utterance &words) const
{
    const auto written = writtenForms.find(word.text);
    if (written == writtenForms.end()) {
        words.push_back(word);
        return;
    }
    const std::vector<std::string> pieces = displayWords(written->second);
    size_t letters = 0;
    for (const std::string &piece : pieces)
        letters += piece.size();
    const int span = word.endMs - word.startMs;
    size_t before = 0;
    for (const std::string &piece : pieces) {
        TimedWord timed;
        timed.text = piece;
        timed.startMs = word.startMs + int(int64_t(span) * int64_t(before) / int64_t(letters));
        before += piece.size();
        timed.endMs = word.startMs + int(int64_t(span) * int64_t(before) / int64_t(letters));
        words.push_back(timed);
    }
}

bool Recognizer::speechCepstralMean(const int16_t *samples, size_t count, std::vector<float> &mean)
{
    const size_t blockFrames = 256;
    const size_t width = modelCepstralMean.size();
    std::vector<mfcc_t> cepstra(blockFrames * width);
    std::vector<mfcc_t *> rows(blockFrames);
    for (size_t i = 0; i < blockFrames; ++i)
        rows[i] = &cepstra[i * width];
    std::vector<double> sum(width, 0.0);
    size_t frames = 0;
    auto add = [&](int32 produced) {
        for (int32 f = 0; f < produced; ++f) {
            for (size_t c = 0; c < width; ++c)
                sum[c] += rows[size_t(f)][c];
        }
        frames += size_t(produced);
    };

    fe_start_stream(meanFrontEnd); // forgets the noise level of the previous request
    fe_start_utt(meanFrontEnd);
    const int16 *cursor = samples;
    size_t remaining = count;
    while (remaining > 0) {
        int32 produced = int32(blockFrames);
        const size_t before = remaining;
        if (fe_process_frames(meanFrontEnd, &cursor, &remaining, rows.data(), &produced, nullptr) < 0)
            break;
        add(produced);
        if (produced == 0 && remaining == before)
            break;
    }
    int32 last = 0;
    fe_end_utt(meanFrontEnd, rows[0], &last);
    add(last);
    if (frames == 0)
        return false;
    mean.resize(width);
    for (size_t c = 0; c < width; ++c)
        mean[c] = float(sum[c] / double(frames));
    return true;
}

void Recognizer::startRequest(const int16_t *samples, size_t count)
{
    // The noise estimate and the live cepstral mean adapt to everything a decoder hears: left alone,
    // a request's text would depend on the requests this worker decoded before it (and so on which
    // worker or instance took it). Both start from this request's own audio instead.
    ps_start_stream(decoder);
    std::vector<float> mean;
    if (!speechCepstralMean(samples, count, mean))
        mean = modelCepstralMean;
    cmn_live_set(ps_get_feat(decoder)->cmn_struct, reinterpret_cast<const mfcc_t *>(mean.data()));
}

std::string Recognizer::decode(const int16_t *samples, size_t count)
{
    std::string text;
    for (const Utterance &utterance : decodeTimed(samples, count)) {
        for (const TimedWord &word : utterance) {
            if (!text.empty())
                text += ' ';
            text += word.text;
        }
    }
    return text;
}

void Recognizer::takeUtterance(std::vector<Utterance> &utterances)
{
    ps_end_utt(decoder);
    Utterance words;
    for (ps_seg_t *seg = ps_seg_iter(decoder); seg; seg = ps_seg_next(seg)) {
        const std::string word = spokenWord(ps_seg_word(seg));
        if (word.empty())
            continue;
        int startFrame = 0;
        int endFrame = 0;
        ps_seg_frames(seg, &startFrame, &endFrame);
        TimedWord timed;
        timed.text = word;
        timed.startMs = startFrame * msPerFrame;
        timed.endMs = (endFrame + 1) * msPerFrame;
        appendAsWritten(timed, words);
    }
    if (!words.empty())
        utterances.push_back(words);
}

std::vector<Utterance> Recognizer::decodeTimed(const int16_t *samples, size_t count)
{
    std::vector<Utterance> utterances;
    if (!decoder)
        return utterances;
    startRequest(samples, count);
    if (ps_start_utt(decoder) < 0)
        return utterances;
    bool inSpeech = false;
    size_t utteranceSamples = 0;
    for (size_t offset = 0; offset < count; offset += blockSamples) {
        const size_t block = count - offset < blockSamples ? count - offset : blockSamples;
        ps_process_raw(decoder, samples + offset, block, FALSE, FALSE);
        utteranceSamples += block;
        const bool speaking = ps_get_in_speech(decoder) != 0;
        if (speaking)
            inSpeech = true;
        if ((inSpeech && !speaking) || utteranceSamples >= maxUtteranceSamples) {
            takeUtterance(utterances);
            ps_start_utt(decoder);
            inSpeech = false;
            utteranceSamples = 0;
        }
    }
    takeUtterance(utterances);
    return utterances;
}

DecodeQueue::DecodeQueue(size_t workers, size_t capacity, size_t cachedVariants)
    : expectedWorkers(workers)
    , capacity(capacity)
    , variants(cachedVariants)
{ }

DecodeQueue::DecodeQueue(std::vector<std::unique_ptr<Recognizer>> recognizers, size_t capacity, size_t cachedVariants)
    : DecodeQueue(recognizers.size(), capacity, cachedVariants)
{
    for (auto &recognizer : recognizers)
        addWorker(std::move(recognizer));
}

void DecodeQueue::addWorker(std::unique_ptr<Recognizer> recognizer)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (stopping)
        return;
    recognizers.push_back(std::move(recognizer));
    workers.emplace_back(&DecodeQueue::work, this, recognizers.back().get());
}

QueueStatus DecodeQueue::status()
{
    std::lock_guard<std::mutex> lock(mutex);
    QueueStatus status;
    status.workers = expectedWorkers;
    status.readyWorkers = workers.size();
    status.queued = waiting.size();
    status.capacity = capacity;
    return status;
}

DecodeQueue::~DecodeQueue()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread &worker : workers)
        worker.join();
    // Anyone still waiting gets an empty result rather than a broken promise.
    for (Job &job : waiting)
        job.result.set_value(Decoded());
}

bool DecodeQueue::decode(std::vector<int16_t> samples, std::vector<Utterance> &utterances)
{
    Decoded decoded;
    if (!decode(std::move(samples), DecoderVariant(), decoded))
        return false;
    utterances = std::move(decoded.utterances);
    return true;
}

bool DecodeQueue::decode(std::vector<int16_t> samples, const DecoderVariant &variant, Decoded &decoded)
{
    std::future<Decoded> result;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping || waiting.size() >= capacity + idleWorkers)
            return false;
        waiting.push_back(Job {std::move(samples), variant, {}});
        result = waiting.back().result.get_future();
    }
    wake.notify_one();
    decoded = result.get();
    return true;
}

Decoded DecodeQueue::decodeJob(Recognizer *recognizer, const Job &job)
{
    Decoded decoded;
    if (job.variant.isDefault()) {
        decoded.utterances = recognizer->decodeTimed(job.samples.data(), job.samples.size());
        return decoded;
    }
    const std::string key = job.variant.key();
    std::unique_ptr<Recognizer> variant = variants.take(key);
    if (!variant) {
        const auto started = std::chrono::steady_clock::now();
        variant = recognizer->variant(job.variant);
        ++builtVariants;
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        std::fprintf(stderr, "quillora-speechd: %s a decoder for %zu words%s in %.2f s\n",
            variant ? "built" : "failed to build", job.variant.words.size(),
            job.variant.mllr.empty() ? "" : " and a voice", took.count());
    }
    if (!variant) {
        decoded.variantFailed = true;
        return decoded;
    }
    decoded.utterances = variant->decodeTimed(job.samples.data(), job.samples.size());
    decoded.unpronounced = variant->unpronounced();
    variants.giveBack(key, std::move(variant));
    return decoded;
}

void DecodeQueue::work(Recognizer *recognizer)
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        ++idleWorkers;
        wake.wait(lock, [this] { return stopping || !waiting.empty(); });
        --idleWorkers;
        if (stopping)
            return;
        Job job = std::move(waiting.front());
        waiting.pop_front();
        lock.unlock();
        job.result.set_value(decodeJob(recognizer, job));
        lock.lock();
    }
}

} // namespace speechd
