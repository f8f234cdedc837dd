#include "pipeline/speakermodel.h"

#include <cmath>

namespace SpeakerModel {

namespace {

constexpr double notPositive = 1e30;

int pairIndex(int row, int column) // row <= column
{
    return row * dims - row * (row - 1) / 2 + (column - row);
}

// Covariance of the stats, the floor added to its diagonal.
std::array<double, dims * dims> covariance(const Stats &stats, const Floor &floor)
{
    std::array<double, dims * dims> c {};
    const double n = stats.count;
    for (int i = 0; i < dims; ++i) {
        for (int j = i; j < dims; ++j) {
            const double value
                = stats.products[size_t(pairIndex(i, j))] / n - stats.sum[size_t(i)] / n * stats.sum[size_t(j)] / n;
            c[size_t(i * dims + j)] = value;
            c[size_t(j * dims + i)] = value;
        }
        c[size_t(i * dims + i)] += floor.variance[size_t(i)];
    }
    return c;
}

// In-place Cholesky (lower triangle); false when the matrix is not positive definite.
bool cholesky(std::array<double, dims * dims> &a)
{
    for (int j = 0; j < dims; ++j) {
        double d = a[size_t(j * dims + j)];
        for (int k = 0; k < j; ++k)
            d -= a[size_t(j * dims + k)] * a[size_t(j * dims + k)];
        if (!(d > 0))
            return false;
        const double root = std::sqrt(d);
        a[size_t(j * dims + j)] = root;
        for (int i = j + 1; i < dims; ++i) {
            double s = a[size_t(i * dims + j)];
            for (int k = 0; k < j; ++k)
                s -= a[size_t(i * dims + k)] * a[size_t(j * dims + k)];
            a[size_t(i * dims + j)] = s / root;
        }
    }
    return true;
}

} // namespace

void Stats::add(const Frame &frame)
{
    count += 1;
    int p = 0;
    for (int i = 0; i < dims; ++i) {
        sum[size_t(i)] += frame[size_t(i)];
        for (int j = i; j < dims; ++j)
            products[size_t(p++)] += double(frame[size_t(i)]) * frame[size_t(j)];
    }
}

void Stats::remove(const Frame &frame)
{
    count -= 1;
    int p = 0;
    for (int i = 0; i < dims; ++i) {
        sum[size_t(i)] -= frame[size_t(i)];
        for (int j = i; j < dims; ++j)
            products[size_t(p++)] -= double(frame[size_t(i)]) * frame[size_t(j)];
    }
}

void Stats::add(const Stats &other)
{
    count += other.count;
    for (int i = 0; i < dims; ++i)
        sum[size_t(i)] += other.sum[size_t(i)];
    for (int p = 0; p < pairs; ++p)
        products[size_t(p)] += other.products[size_t(p)];
}

void Stats::subtract(const Stats &other)
{
    count -= other.count;
    for (int i = 0; i < dims; ++i)
        sum[size_t(i)] -= other.sum[size_t(i)];
    for (int p = 0; p < pairs; ++p)
        products[size_t(p)] -= other.products[size_t(p)];
}

Floor floorFor(const Stats &all, double share)
{
    Floor floor;
    if (all.count < 2)
        return floor;
    for (int i = 0; i < dims; ++i) {
        const double mean = all.sum[size_t(i)] / all.count;
        const double variance = all.products[size_t(pairIndex(i, i))] / all.count - mean * mean;
        floor.variance[size_t(i)] = std::max(1e-6, share * variance);
    }
    return floor;
}

double logDet(const Stats &stats, const Floor &floor)
{
    if (stats.count < 2)
        return notPositive;
    std::array<double, dims *dims> c = covariance(stats, floor);
    if (!cholesky(c))
        return notPositive;
    double result = 0;
    for (int i = 0; i < dims; ++i)
        result += 2 * std::log(c[size_t(i * dims + i)]);
    return result;
}

double parameterCount()
{
    return dims + pairs;
}

double deltaBic(const Stats &a, const Stats &b, const Floor &floor, double lambda)
{
    Stats both = a;
    both.add(b);
    const double n = both.count;
    return 0.5 * (n * logDet(both, floor) - a.count * logDet(a, floor) - b.count * logDet(b, floor))
        - lambda * 0.5 * parameterCount() * std::log(n);
}

Gaussian::Gaussian(const Stats &stats, const Floor &floor)
{
    if (stats.count < 2)
        return;
    std::array<double, dims *dims> l = covariance(stats, floor);
    if (!cholesky(l))
        return;
    double logDeterminant = 0;
    for (int i = 0; i < dims; ++i) {
        mean[size_t(i)] = stats.sum[size_t(i)] / stats.count;
        logDeterminant += 2 * std::log(l[size_t(i * dims + i)]);
    }
    // Invert the lower triangle column by column.
    lowerInverse.fill(0);
    for (int column = 0; column < dims; ++column) {
        for (int i = column; i < dims; ++i) {
            double s = i == column ? 1.0 : 0.0;
            for (int k = column; k < i; ++k)
                s -= l[size_t(i * dims + k)] * lowerInverse[size_t(k * dims + column)];
            lowerInverse[size_t(i * dims + column)] = s / l[size_t(i * dims + i)];
        }
    }
    constant = -0.5 * (dims * std::log(2 * M_PI) + logDeterminant);
    valid = true;
}

double Gaussian::logLikelihood(const Frame &frame) const
{
    std::array<double, dims> centred;
    for (int i = 0; i < dims; ++i)
        centred[size_t(i)] = frame[size_t(i)] - mean[size_t(i)];
    double distance = 0;
    for (int i = 0; i < dims; ++i) {
        double z = 0;
        for (int k = 0; k <= i; ++k)
            z += lowerInverse[size_t(i * dims + k)] * centred[size_t(k)];
        distance += z * z;
    }
    return constant - 0.5 * distance;
}

double Gaussian::meanLogLikelihood(const Stats &stats) const
{
    if (stats.count <= 0)
        return 0;
    // Second moment of the frames about this model's mean.
    std::array<double, dims * dims> s {};
    const double n = stats.count;
    for (int i = 0; i < dims; ++i) {
        for (int j = i; j < dims; ++j) {
            const double m2 = stats.products[size_t(pairIndex(i, j))] / n;
            const double value = m2 - stats.sum[size_t(i)] / n * mean[size_t(j)]
                - mean[size_t(i)] * stats.sum[size_t(j)] / n + mean[size_t(i)] * mean[size_t(j)];
            s[size_t(i * dims + j)] = value;
            s[size_t(j * dims + i)] = value;
        }
    }
    // trace(L^-1 S L^-T): the squared norms of the rows of L^-1 under S.
    double trace = 0;
    for (int i = 0; i < dims; ++i) {
        for (int a = 0; a <= i; ++a) {
            for (int b = 0; b <= i; ++b)
                trace += lowerInverse[size_t(i * dims + a)] * s[size_t(a * dims + b)]
                    * lowerInverse[size_t(i * dims + b)];
        }
    }
    return constant - 0.5 * trace;
}

} // namespace SpeakerModel
