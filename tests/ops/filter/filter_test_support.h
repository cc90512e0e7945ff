// Helpers of the filter tests: filters made in memory, deterministic test
// signals, and reference filters written the textbook way (difference
// equations in double, polynomials of lattices).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "ops/filter/coefficient_file.h"
#include "ops/filter/kernels.h"
#include "signal/access.h"

namespace qf::test {

// A filter of `type` with the given records (a vector of records of the
// type, or of floats for the lattices) and header values.
template <typename T>
std::unique_ptr<LoadedFilter> memoryFilter(int32_t type, const std::vector<T>& values,
                                           int32_t count = -1) {
    auto f = std::make_unique<LoadedFilter>();
    const int32_t n = count >= 0 ? count : static_cast<int32_t>(values.size());
    EXPECT_EQ(sigOpenMemory(f->d, type, n), 0);
    if (!values.empty()) std::memcpy(f->d.buffer, values.data(), values.size() * sizeof(T));
    f->d.samplingRate = 8000.0;
    return f;
}

// A deterministic pseudo-random sequence.
class Lcg {
  public:
    explicit Lcg(uint32_t seed) : s_(seed) {}
    uint32_t next() { return s_ = s_ * 1664525u + 1013904223u; }
    // Uniform in [-1, 1).
    double uniform() { return static_cast<int32_t>(next()) / 2147483648.0; }
    int32_t below(int32_t n) {
        return static_cast<int32_t>((next() >> 8) % static_cast<uint32_t>(n));
    }

  private:
    uint32_t s_;
};

inline std::vector<float> floatSignal(int32_t n, uint32_t seed, double amplitude = 1.0) {
    Lcg r(seed);
    std::vector<float> x(static_cast<std::size_t>(n));
    for (float& v : x) v = static_cast<float>(amplitude * r.uniform());
    return x;
}
inline std::vector<int16_t> wordSignal(int32_t n, uint32_t seed, int32_t amplitude = 32768) {
    Lcg r(seed);
    std::vector<int16_t> x(static_cast<std::size_t>(n));
    for (int16_t& v : x) v = static_cast<int16_t>(r.below(2 * amplitude) - amplitude);
    return x;
}

// Runs a kernel over a signal in pieces of the given lengths (the rest in
// one last piece), as the file walk hands it windows.
template <typename S>
std::vector<S> runInPieces(filter::FilterKernel& k, const std::vector<S>& x,
                           std::vector<int32_t> pieces = {1, 100, 4095, 3}) {
    std::vector<S> y(x.size());
    std::size_t at = 0;
    for (int32_t p : pieces) {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(p), x.size() - at);
        k.run(x.data() + at, y.data() + at, static_cast<int32_t>(n));
        at += n;
    }
    if (at < x.size()) k.run(x.data() + at, y.data() + at, static_cast<int32_t>(x.size() - at));
    return y;
}

// y = B(z)/A(z) x in double, a[0] = 1 (the difference equation
// y(n) = sum b[k] x(n-k) - sum_{k>=1} a[k] y(n-k)).
inline std::vector<double> differenceEquation(const std::vector<double>& b,
                                              const std::vector<double>& a,
                                              const std::vector<double>& x) {
    std::vector<double> y(x.size(), 0.0);
    for (std::size_t n = 0; n < x.size(); ++n) {
        double s = 0.0;
        for (std::size_t k = 0; k < b.size() && k <= n; ++k) s += b[k] * x[n - k];
        for (std::size_t k = 1; k < a.size() && k <= n; ++k) s -= a[k] * y[n - k];
        y[n] = s;
    }
    return y;
}

// Largest |e[i] - v[i]| relative to the largest |e[i]| (1 when all are 0).
template <typename V>
double relativeError(const std::vector<V>& v, const std::vector<double>& e) {
    double worst = 0.0, scale = 0.0;
    for (std::size_t i = 0; i < e.size(); ++i) {
        worst = std::max(worst, std::abs(static_cast<double>(v[i]) - e[i]));
        scale = std::max(scale, std::abs(e[i]));
    }
    return worst / (scale > 0 ? scale : 1.0);
}

}  // namespace qf::test
