#include "speechd/recognizer.h"

#include <pocketsphinx.h>

namespace speechd {

namespace {
const size_t blockSamples = 2048;
// Speech without a pause still ends an utterance after this long: the search's memory grows with
// the utterance, and a 60-second segment of unbroken speech would otherwise be one utterance.
const size_t maxUtteranceSamples = 20 * 16000;
} // namespace

Recognizer::~Recognizer()
{
    if (decoder)
        ps_free(decoder);
    if (config)
        cmd_ln_free_r(config);
}

bool Recognizer::load(const std::string &modelDir)
{
    const std::string hmm = modelDir + "/en-us/en-us";
    const std::string lm = modelDir + "/en-us/en-us.lm.bin";
    const std::string dict = modelDir + "/en-us/cmudict-en-us.dict";
    // Without -logfn the library writes pages of diagnostics to stderr. Skipping the second (flat
    // lexicon) pass and capping active HMMs per frame roughly halves the decoding time; measured on
    // spoken English the word error rate moved by under one point.
    const char *argv[] = {"-hmm", hmm.c_str(), "-lm", lm.c_str(), "-dict", dict.c_str(), "-logfn", "/dev/null",
        "-fwdflat", "no", "-maxhmmpf", "5000"};
    config = cmd_ln_parse_r(nullptr, ps_args(), int(sizeof argv / sizeof argv[0]), const_cast<char **>(argv), TRUE);
    if (!config)
        return false;
    decoder = ps_init(config);
    return decoder != nullptr;
}

std::string Recognizer::decode(const int16_t *samples, size_t count)
{
    std::string text;
    auto takeHypothesis = [&] {
        ps_end_utt(decoder);
        int32 score = 0;
        const char *hypothesis = ps_get_hyp(decoder, &score);
        if (hypothesis && *hypothesis) {
            if (!text.empty())
                text += ' ';
            text += hypothesis;
        }
    };

    if (!decoder || ps_start_utt(decoder) < 0)
        return text;
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
            takeHypothesis();
            ps_start_utt(decoder);
            inSpeech = false;
            utteranceSamples = 0;
        }
    }
    takeHypothesis();
    return text;
}

DecodeQueue::DecodeQueue(std::vector<std::unique_ptr<Recognizer>> recognizers, size_t capacity)
    : recognizers(std::move(recognizers))
    , capacity(capacity)
{
    for (const auto &recognizer : this->recognizers)
        workers.emplace_back(&DecodeQueue::work, this, recognizer.get());
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
        job.result.set_value(std::string());
}

bool DecodeQueue::decode(std::vector<int16_t> samples, std::string &text)
{
    std::future<std::string> result;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping || waiting.size() >= capacity + idleWorkers)
            return false;
        waiting.push_back(Job {std::move(samples), {}});
        result = waiting.back().result.get_future();
    }
    wake.notify_one();
    text = result.get();
    return true;
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
        job.result.set_value(recognizer->decode(job.samples.data(), job.samples.size()));
        lock.lock();
    }
}

} // namespace speechd
