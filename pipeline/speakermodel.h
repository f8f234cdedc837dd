#pragma once

#include <array>
#include <vector>

// The statistics a speaker's voice is judged by: cepstral frames summarised as a full-covariance
// Gaussian. Sums are kept rather than frames, so segments and clusters merge exactly and the hour's
// frames never have to be held at once.
namespace SpeakerModel {

constexpr int dims = 12; // cepstra 1-12: c0 is loudness, which says more about the microphone than the voice
constexpr int pairs = dims * (dims + 1) / 2;
using Frame = std::array<float, dims>;

struct Stats
{
    double count = 0;
    std::array<double, dims> sum {};
    std::array<double, pairs> products {}; // upper triangle of the sum of outer products, row by row

    void add(const Frame &frame);
    void remove(const Frame &frame);
    void add(const Stats &other);
    void subtract(const Stats &other);
};

// Covariance regularisation: floor added to each variance, so short stretches do not give singular
// matrices. Chosen per file from the file's own spread.
struct Floor
{
    std::array<double, dims> variance {};
};
Floor floorFor(const Stats &all, double share = 0.01);

// log|covariance| of the stats (count > 1); a very large value for a matrix that is not positive.
double logDet(const Stats &stats, const Floor &floor);

// The criterion for "one voice or two": positive when modelling a and b apart pays for its extra
// parameters (weighted by lambda), the larger the surer.
double deltaBic(const Stats &a, const Stats &b, const Floor &floor, double lambda);
double parameterCount();

// A Gaussian ready to score frames.
class Gaussian
{
public:
    Gaussian() = default;
    Gaussian(const Stats &stats, const Floor &floor);
    bool isValid() const { return valid; }
    double logLikelihood(const Frame &frame) const;
    // Mean log-likelihood per frame of frames summarised by stats (exact, from the sums).
    double meanLogLikelihood(const Stats &stats) const;

private:
    bool valid = false;
    std::array<double, dims> mean {};
    std::array<double, dims * dims> lowerInverse {}; // L^-1 where covariance = L L^T
    double constant = 0;
};

} // namespace SpeakerModel
