#include "speechd/recognizer.h"

#include <cmn.h>
#include <fe.h>
#include <feat.h>
#include <pocketsphinx.h>

static_assert(sizeof(mfcc_t) == sizeof(float), "the cepstral mean is kept as floats");

namespace speechd {

namespace {
const size_t blockSamples = 2048;
// Speech without a pause still ends an utterance after this long: the search's memory grows with
// the utterance, and a 60-second segment of unbroken speech would otherwise be one utterance.
const size_t maxUtteranceSamples = 20 * 16000;
// Segment frames count from the start of the stream, silence dropped before speech included.
const int msPerFrame = 10;
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
    const std::string hmm = modelDir + "/en-us/en-us";
    const std::string lm = languageModelPath(modelDir);
    const std::string dict = dictionaryPath.empty() ? Recognizer::dictionaryPath(modelDir) : dictionaryPath;
    // Without -logfn the library writes pages of diagnostics to stderr. Skipping the second (flat
    // lexicon) pass and capping active HMMs per frame roughly halves the decoding time; measured on
    // spoken English the word error rate moved by under one point.
    // -mmap maps the mixture weights read-only, so the workers' decoders share one copy of them; the
    // library offers no sharing of the rest (the language model keeps per-decoder caches).
    const char *argv[] = {"-hmm", hmm.c_str(), "-lm", lm.c_str(), "-dict", dict.c_str(), "-logfn", "/dev/null",
        "-fwdflat", "no", "-maxhmmpf", "5000", "-mmap", "yes"};
    config = cmd_ln_parse_r(nullptr, ps_args(), int(sizeof argv / sizeof argv[0]), const_cast<char **>(argv), TRUE);
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
        words.push_back(timed);
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

DecodeQueue::DecodeQueue(size_t workers, size_t capacity)
    : expectedWorkers(workers)
    , capacity(capacity)
{ }

DecodeQueue::DecodeQueue(std::vector<std::unique_ptr<Recognizer>> recognizers, size_t capacity)
    : DecodeQueue(recognizers.size(), capacity)
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
        job.result.set_value(std::vector<Utterance>());
}

bool DecodeQueue::decode(std::vector<int16_t> samples, std::vector<Utterance> &utterances)
{
    std::future<std::vector<Utterance>> result;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping || waiting.size() >= capacity + idleWorkers)
            return false;
        waiting.push_back(Job {std::move(samples), {}});
        result = waiting.back().result.get_future();
    }
    wake.notify_one();
    utterances = result.get();
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
        job.result.set_value(recognizer->decodeTimed(job.samples.data(), job.samples.size()));
        lock.lock();
    }
}

} // namespace speechd
