// FIR kernels: the direct form in float and in fixed point, overlap-save
// FFT convolution, and the FIR lattice.
//
// Direct form.  With the delay line d[k] = x(n-k) (zero before the signal),
//   y(n) = sum_{k=0}^{T-1} h[k] d[k]      summed in the order k = 0, 1, ...
// The delay line is not moved sample by sample: the last T - 1 samples stay
// in front of the samples of the current piece, so d[k] of output i is
// line[i - k].  Float sums are formed for sixteen outputs at a time, each
// output keeping its own accumulator and its own order of additions, so
// every result is the one the sample-by-sample sum gives (a sum rounded to
// float and held in a double is that float exactly).
//
// Fixed-point sums.  The products (16,15)x(16,15) -> (64,31) are 2 h x and
// (32,23)x(16,15) -> (64,47) are 512 h x, exact in a double; a sum of them
// formed in double (as fxAdd forms it) equals the integer sum as long as no
// partial sum exceeds 2^53 in magnitude.  The kernel adds the integers and
// falls back to fxMul/fxAdd for an output whose partial sums go beyond
// that, so the result is always the primitives' result.
//
// FIR lattice, reflection coefficients kappa[0 ... P-1]:
//   f[0] = g[0] = x
//   f[i+1] = kappa[i] z[i] + f[i];  g[i+1] = kappa[i] f[i] + z[i];  z[i] = g[i]
//   y = f[P]
#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

#include "ops/filter/kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qf::filter {

namespace {

constexpr int32_t kChunk = 4096;   // samples filtered per pass over the taps
constexpr int32_t kTogether = 16;  // outputs summed side by side
constexpr int64_t kExactSum = int64_t{1} << 53;

// The scale of a float output: taps are Q15, Q23 or plain floats.
float tapScale(int32_t type) {
    return type == kFirQ15 ? 0x1p-15f : type == kFirQ23 ? 0x1p-23f : 1.0f;
}

// One float sum step: the sum rounded to float after adding the double
// product, sum = float(sum + h d), kept as a double.
inline double sumStep(double sum, double h, double d) {
    return static_cast<double>(static_cast<float>(sum + h * d));
}

#if defined(__SSE2__)
// kTogether outputs side by side, two per register.
template <typename H>
void togetherSums(const H* h, int32_t taps, const double* at, double* acc) {
    __m128d s[kTogether / 2];
    for (__m128d& v : s) v = _mm_setzero_pd();
    for (int32_t k = 0; k < taps; ++k) {
        const __m128d hk = _mm_set1_pd(static_cast<double>(h[k]));
        const double* d = at - k;
        for (int32_t r = 0; r < kTogether / 2; ++r)
            s[r] = _mm_cvtps_pd(
                _mm_cvtpd_ps(_mm_add_pd(s[r], _mm_mul_pd(hk, _mm_loadu_pd(d + 2 * r)))));
    }
    for (int32_t r = 0; r < kTogether / 2; ++r) _mm_storeu_pd(acc + 2 * r, s[r]);
}
#else
template <typename H>
void togetherSums(const H* h, int32_t taps, const double* at, double* acc) {
    for (int32_t j = 0; j < kTogether; ++j) acc[j] = 0.0;
    for (int32_t k = 0; k < taps; ++k) {
        const double hk = static_cast<double>(h[k]);
        for (int32_t j = 0; j < kTogether; ++j) acc[j] = sumStep(acc[j], hk, at[j - k]);
    }
}
#endif

// Float sums of one piece: y[i] = scale x sum_k h[k] line[i - k], the
// samples held as doubles (exactly their float values).
template <typename H>
void floatSums(const H* h, int32_t taps, const double* line, float* y, int32_t n, float scale) {
    int32_t i = 0;
    double acc[kTogether];
    for (; i + kTogether <= n; i += kTogether) {
        togetherSums(h, taps, line + i, acc);
        for (int32_t j = 0; j < kTogether; ++j) y[i + j] = static_cast<float>(acc[j]) * scale;
    }
    for (; i < n; ++i) {
        double sum = 0.0;
        for (int32_t k = 0; k < taps; ++k)
            sum = sumStep(sum, static_cast<double>(h[k]), line[i - k]);
        y[i] = static_cast<float>(sum) * scale;
    }
}

// The exact product of a tap and a sample in the accumulator format.
inline int64_t product(int16_t h, int16_t x) {
    return 2 * int64_t{h} * x;  // (16,15)x(16,15) -> (64,31)
}
inline int64_t product(int32_t h, int16_t x) {
    return 512 * (int64_t{h} * x);  // (32,23)x(16,15) -> (64,47)
}

template <typename H>
constexpr int kTapWidth = sizeof(H) == 2 ? 16 : 32;
template <typename H>
constexpr int kTapFrac = sizeof(H) == 2 ? 15 : 23;
template <typename H>
constexpr int kAccFrac = sizeof(H) == 2 ? 31 : 47;

// One fixed-point output: the sum of h[k] line[-k] in (64, kAccFrac),
// converted to (16,15).
template <typename H>
int16_t fixedOutput(const H* h, int32_t taps, const int16_t* line, FxModes modes) {
    int64_t acc = 0;
    bool exact = true;
    for (int32_t k = 0; k < taps; ++k) {
        acc += product(h[k], line[-k]);
        if (acc > kExactSum || acc < -kExactSum) {
            exact = false;
            break;
        }
    }
    if (!exact) {
        acc = 0;
        for (int32_t k = 0; k < taps; ++k) {
            int64_t p = 0;
            fxMul(&h[k], kTapWidth<H>, kTapFrac<H>, &line[-k], 16, 15, &p, 64, kAccFrac<H>);
            fxAdd(&acc, 64, kAccFrac<H>, &p, 64, kAccFrac<H>, &acc, 64, kAccFrac<H>);
        }
    }
    int16_t y = 0;
    fxConvert(&acc, 64, kAccFrac<H>, &y, 16, 15, modes);
    return y;
}

// The delay line of one sample type: the last T - 1 samples, then room for
// a piece.
template <typename S>
class DelayLine {
  public:
    explicit DelayLine(int32_t taps)
        : keep_(std::max(taps - 1, 0)), line_(static_cast<std::size_t>(keep_ + kChunk), S{}) {}
    // Puts m samples (m <= kChunk) after the kept ones; returns the place of
    // the first (line[-k] is k samples earlier).
    template <typename X>
    const S* load(const X* x, int32_t m) {
        std::copy(x, x + m, line_.begin() + keep_);
        return line_.data() + keep_;
    }
    // Keeps the last T - 1 samples after a piece of m.
    void advance(int32_t m) {
        std::copy(line_.begin() + m, line_.begin() + m + keep_, line_.begin());
    }

  private:
    int32_t keep_;
    std::vector<S> line_;
};

template <typename H>
class FirDirect final : public FilterKernel {
  public:
    FirDirect(const LoadedFilter& f, FxModes modes)
        : taps_(f.data<H>(), f.data<H>() + f.records()),
          scale_(tapScale(f.type())),
          modes_(modes),
          samples_(f.records()),
          words_(f.records()) {}

    void run(const float* x, float* y, int32_t n) override {
        const int32_t t = static_cast<int32_t>(taps_.size());
        for (int32_t done = 0; done < n;) {
            const int32_t m = std::min(n - done, kChunk);
            floatSums(taps_.data(), t, samples_.load(x + done, m), y + done, m, scale_);
            samples_.advance(m);
            done += m;
        }
    }

    void run(const int16_t* x, int16_t* y, int32_t n) override {
        const int32_t t = static_cast<int32_t>(taps_.size());
        for (int32_t done = 0; done < n;) {
            const int32_t m = std::min(n - done, kChunk);
            const int16_t* line = words_.load(x + done, m);
            for (int32_t i = 0; i < m; ++i) y[done + i] = wordOutput(t, line + i);
            words_.advance(m);
            done += m;
        }
    }

  private:
    int16_t wordOutput(int32_t t, const int16_t* at) const {
        if constexpr (std::is_same_v<H, float>) {
            float acc = 0.0f;
            for (int32_t k = 0; k < t; ++k) acc = acc + static_cast<float>(at[-k]) * taps_[k];
            return storeWord(acc);
        } else {
            return fixedOutput(taps_.data(), t, at, modes_);
        }
    }

    std::vector<H> taps_;
    float scale_;
    FxModes modes_;
    DelayLine<double> samples_;  // float samples, as doubles
    DelayLine<int16_t> words_;
};

class FirLattice final : public FloatStepKernel<FirLattice> {
  public:
    explicit FirLattice(const LoadedFilter& f)
        : kappa_(f.data<float>(), f.data<float>() + f.records()),
          z_(kappa_.size() + 1, 0.0f),
          f_(kappa_.size() + 1, 0.0f),
          g_(kappa_.size() + 1, 0.0f) {}

    // One sample through the lattice.
    float step(float x) {
        const std::size_t p = kappa_.size();
        f_[0] = g_[0] = x;
        for (std::size_t i = 0; i < p; ++i) {
            f_[i + 1] = kappa_[i] * z_[i] + f_[i];
            g_[i + 1] = kappa_[i] * f_[i] + z_[i];
            z_[i] = g_[i];
        }
        return f_[p];
    }

  private:
    std::vector<float> kappa_, z_, f_, g_;
};

}  // namespace

// ---- Overlap-save -------------------------------------------------------

OverlapSave::OverlapSave(const LoadedFilter& filter) : taps_(filter.records()) {
    size_ = 1;
    while (size_ < 4 * static_cast<int64_t>(taps_)) size_ *= 2;
    stages_ = fftStagesOf(size_);
    if (forward_.allocate(size_) != 0 || inverse_.allocate(size_) != 0) throw std::bad_alloc();
    response_.assign(2 * static_cast<std::size_t>(size_), 0.0);
    overlap_.assign(2 * static_cast<std::size_t>(std::max(taps_ - 1, 0)), 0.0);
    const int32_t type = filter.type();
    for (int32_t k = 0; k < taps_; ++k) {
        double h = 0.0;
        if (type == kFirQ15)
            h = filter.data<int16_t>()[k] * 0x1p-15;
        else if (type == kFirQ23)
            h = filter.data<int32_t>()[k] * 0x1p-23;
        else
            h = filter.data<float>()[k];
        response_[2 * static_cast<std::size_t>(k)] = h;
    }
    fftForward(forward_, response_.data(), stages_);
    // The work array starts as zeros: no samples before the signal.
}

void OverlapSave::block(const float* x, float* y, int32_t n) {
    const std::size_t m = static_cast<std::size_t>(taps_ - 1);
    const std::size_t l = static_cast<std::size_t>(blockLength());
    const std::size_t p = static_cast<std::size_t>(size_);
    double* w = forward_.work.data();
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        w[2 * (m + i)] = x[i];
        w[2 * (m + i) + 1] = 0.0;
    }
    std::fill(w + 2 * (m + static_cast<std::size_t>(n)), w + 2 * p, 0.0);
    std::copy(w + 2 * l, w + 2 * (l + m), overlap_.begin());

    forward_.buildTwiddles = true;
    fftForward(forward_, w, stages_);
    const double* h = response_.data();
    for (std::size_t k = 0; k < 2 * p; k += 2) {
        const double wr = w[k], wi = w[k + 1], hr = h[k], hi = h[k + 1];
        w[k] = wr * hr - wi * hi;
        w[k + 1] = wr * hi + wi * hr;
    }
    inverse_.buildTwiddles = true;
    fftInverse(inverse_, w, stages_);

    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
        y[i] = static_cast<float>(w[2 * (m + i)]);
    std::copy(overlap_.begin(), overlap_.end(), w);
    ++blocks_;
}

// ---- Factory ------------------------------------------------------------

std::unique_ptr<FilterKernel> makeFirKernel(const LoadedFilter& f, FxModes modes) {
    switch (f.type()) {
        case kFirQ15:
            return std::make_unique<FirDirect<int16_t>>(f, modes);
        case kFirQ23:
            return std::make_unique<FirDirect<int32_t>>(f, modes);
        case kFirFloat:
            return std::make_unique<FirDirect<float>>(f, modes);
        case kFirLattice:
            return std::make_unique<FirLattice>(f);
        default:
            return nullptr;
    }
}

bool usesOverlapSave(const LoadedFilter& f) {
    const int32_t t = f.type();
    return (t == kFirQ15 || t == kFirQ23 || t == kFirFloat) && f.records() >= kOverlapSaveTaps;
}

}  // namespace qf::filter
