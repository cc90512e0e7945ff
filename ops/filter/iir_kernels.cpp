// IIR kernels: cascade forms I and II and parallel form I in fixed point,
// floating-point sections and the IIR lattice.
//
// Fixed-point forms (every product fxMul, every sum fxAdd, every x 2^sh
// fxScale, register limits fxLimit, narrowing fxConvert; formats (w, f)):
//
//   Q15 filters: coefficients and states (16,15), accumulator (64,31),
//                register 32 bits
//   Q23 filters: coefficients and states (32,23), accumulator (64,47),
//                register 48 bits
//   gain G = gain x 2^(gain shift) in the accumulator format; a = G x
//
//   cascade I, per section (s0, s1):       cascade II, per section (w1, w2):
//     y  = s0 + (c0 a) 2^sh                  w  = limit(a + (c3 w1 + c4 w2) 2^sh)
//     s0 = state((c1 a + c3 y) 2^sh + s1)    a  = limit((c0 w + c1 w1 + c2 w2) 2^sh)
//     s1 = state((c2 a + c4 y) 2^sh)         w2 = w1;  w1 = state(w)
//     a  = y
//   output (16,15) from a
//
//   parallel I: input history x0, x1, x2, per section (s0, s1):
//     v  = (c0 x0 + c1 x1 + c2 x2 + c3 s0 + c4 s1) 2^sh
//     s1 = s0;  s0 = state(v);  S = S + v
//     y  = S G2 + G1 x0, added straight into (16,15)
//   Q15: products and S (32,27), G1 and G2 (32,15); Q23: x converted to
//   (32,23), products and S (64,47), G1 and G2 (64,47)
//
// Floating-point sections, gain g, per section (w1, w2):
//   a = g x;  w = a + c2 w1 + c3 w2;  a = w + c0 w1 + c1 w2;  w2 = w1;
//   w1 = w limited to +-1e37, 0 when |w| < 1e-36
// IIR lattice of order P, gain g, gamma[0 ... P], kappa[0 ... P-1]:
//   f[0] = g x;  for i = 0 ... P-1, k = kappa[P-1-i]:
//     f[i+1] = f[i] - k b[i+1];  b[i] = k f[i+1] + b[i+1]   (b of the last sample)
//   b[P] = f[P];  y = sum_{j=0}^{P} b[j] gamma[P-j]
#include <array>
#include <cmath>
#include <vector>

#include "ops/filter/kernels.h"

namespace qf::filter {

namespace {

FxOperand q(int16_t& v, int frac) {
    return FxOperand{&v, 16, frac};
}
FxOperand q(int32_t& v, int frac) {
    return FxOperand{&v, 32, frac};
}
FxOperand q(int64_t& v, int frac) {
    return FxOperand{&v, 64, frac};
}

// A fixed-point kernel works on Q15 words; float samples enter and leave
// through the Q15 conversions.
class FixedKernel : public FilterKernel {
  public:
    explicit FixedKernel(FxModes modes) : modes_(modes) {}
    void run(const int16_t* x, int16_t* y, int32_t n) override {
        for (int32_t i = 0; i < n; ++i) y[i] = step(x[i]);
    }
    void run(const float* x, float* y, int32_t n) override {
        for (int32_t i = 0; i < n; ++i)
            y[i] = floatFromQ15Result(step(q15FromFloatSample(x[i], modes_.overflow)));
    }

  protected:
    virtual int16_t step(int16_t x) = 0;
    FxModes modes_;
};

struct Q15 {
    using Coef = int16_t;
    using State = int16_t;
    using Section = SectionQ15;
    static constexpr int kCoef = 15, kState = 15, kAcc = 31, kRegister = 32;
};
struct Q23 {
    using Coef = int32_t;
    using State = int32_t;
    using Section = SectionQ23;
    static constexpr int kCoef = 23, kState = 23, kAcc = 47, kRegister = 48;
};

// Sections, their two state words each, and the gain G in the
// accumulator format.
template <typename F>
class SectionKernel : public FixedKernel {
  protected:
    using Coef = typename F::Coef;
    using State = typename F::State;

    SectionKernel(const LoadedFilter& f, FxModes modes)
        : FixedKernel(modes),
          sections_(f.data<typename F::Section>(), f.data<typename F::Section>() + f.records()),
          state_(sections_.size(), std::array<State, 2>{}) {
        Coef g = static_cast<Coef>(f.headerWords[0]);
        fxScale(q(g, F::kCoef), q(gain_, F::kAcc), f.headerWords[1], modes_);
    }

    // a = G x, x a Q15 word.
    int64_t gained(int16_t x) {
        int64_t a = 0;
        fxMul(q(gain_, F::kAcc), q(x, 15), q(a, F::kAcc));
        return a;
    }
    int16_t result(int64_t& a) {
        int16_t y = 0;
        fxConvert(q(a, F::kAcc), q(y, 15), modes_);
        return y;
    }

    std::vector<typename F::Section> sections_;
    std::vector<std::array<State, 2>> state_;
    int64_t gain_ = 0;
};

template <typename F>
class CascadeForm1 final : public SectionKernel<F> {
  public:
    CascadeForm1(const LoadedFilter& f, FxModes modes) : SectionKernel<F>(f, modes) {}

  private:
    int16_t step(int16_t x) override {
        constexpr int A = F::kAcc, C = F::kCoef, S = F::kState;
        const FxModes m = this->modes_;
        int64_t a = this->gained(x);
        for (std::size_t i = 0; i < this->sections_.size(); ++i) {
            auto sec = this->sections_[i];
            auto& s = this->state_[i];
            const int sh = sec.shift;
            int64_t y = 0, t = 0, u = 0;
            fxMul(q(sec.c[0], C), q(a, A), q(t, A));
            fxScale(q(t, A), q(t, A), sh, m);
            fxAdd(q(s[0], S), q(t, A), q(y, A));

            fxMul(q(sec.c[1], C), q(a, A), q(t, A));
            fxMul(q(sec.c[3], C), q(y, A), q(u, A));
            fxAdd(q(t, A), q(u, A), q(t, A));
            fxScale(q(t, A), q(t, A), sh, m);
            fxAdd(q(t, A), q(s[1], S), q(t, A));
            fxConvert(q(t, A), q(s[0], S), m);

            fxMul(q(sec.c[2], C), q(a, A), q(t, A));
            fxMul(q(sec.c[4], C), q(y, A), q(u, A));
            fxAdd(q(t, A), q(u, A), q(t, A));
            fxScale(q(t, A), q(t, A), sh, m);
            fxConvert(q(t, A), q(s[1], S), m);

            fxConvert(q(y, A), q(a, A), m);
        }
        return this->result(a);
    }
};

template <typename F>
class CascadeForm2 final : public SectionKernel<F> {
  public:
    CascadeForm2(const LoadedFilter& f, FxModes modes) : SectionKernel<F>(f, modes) {}

  private:
    int16_t step(int16_t x) override {
        constexpr int A = F::kAcc, C = F::kCoef, S = F::kState, R = F::kRegister;
        const FxModes m = this->modes_;
        int64_t a = this->gained(x);
        for (std::size_t i = 0; i < this->sections_.size(); ++i) {
            auto sec = this->sections_[i];
            auto& s = this->state_[i];  // w1, w2
            const int sh = sec.shift;
            int64_t w = 0, t = 0, u = 0;
            fxMul(q(sec.c[3], C), q(s[0], S), q(t, A));
            fxMul(q(sec.c[4], C), q(s[1], S), q(u, A));
            fxAdd(q(t, A), q(u, A), q(t, A));
            fxScale(q(t, A), q(t, A), sh, m);
            fxAdd(q(a, A), q(t, A), q(w, A));
            fxLimit(q(w, A), q(w, A), R, m);

            fxMul(q(sec.c[0], C), q(w, A), q(t, A));
            fxMul(q(sec.c[1], C), q(s[0], S), q(u, A));
            fxAdd(q(t, A), q(u, A), q(t, A));
            fxMul(q(sec.c[2], C), q(s[1], S), q(u, A));
            fxAdd(q(t, A), q(u, A), q(t, A));
            fxScale(q(t, A), q(t, A), sh, m);
            fxLimit(q(t, A), q(a, A), R, m);

            s[1] = s[0];
            fxConvert(q(w, A), q(s[0], S), m);
        }
        return this->result(a);
    }
};

// Formats of the parallel form.
struct ParallelQ15 {
    using Coef = int16_t;
    using Sample = int16_t;  // input history
    using Sum = int32_t;     // products and S
    using Gain = int32_t;
    using State = int16_t;
    using Section = SectionQ15;
    static constexpr int kCoef = 15, kSample = 15, kSum = 27, kGain = 15, kState = 15;
};
struct ParallelQ23 {
    using Coef = int32_t;
    using Sample = int32_t;
    using Sum = int64_t;
    using Gain = int64_t;
    using State = int32_t;
    using Section = SectionQ23;
    static constexpr int kCoef = 23, kSample = 23, kSum = 47, kGain = 47, kState = 23;
};

template <typename F>
class ParallelForm1 final : public FixedKernel {
  public:
    ParallelForm1(const LoadedFilter& f, FxModes modes)
        : FixedKernel(modes),
          sections_(f.data<typename F::Section>(), f.data<typename F::Section>() + f.records()),
          state_(sections_.size(), std::array<typename F::State, 2>{}) {
        typename F::Coef g1 = static_cast<typename F::Coef>(f.headerWords[0]);
        typename F::Coef g2 = static_cast<typename F::Coef>(f.headerWords[2]);
        fxScale(q(g1, F::kCoef), q(gain1_, F::kGain), f.headerWords[1], modes_);
        fxScale(q(g2, F::kCoef), q(gain2_, F::kGain), f.headerWords[3], modes_);
    }

  private:
    int16_t step(int16_t x) override {
        constexpr int C = F::kCoef, X = F::kSample, P = F::kSum, S = F::kState, G = F::kGain;
        const FxModes m = modes_;
        typename F::Sample in{};
        if constexpr (sizeof(typename F::Sample) == 2)
            in = x;
        else
            fxConvert(q(x, 15), q(in, X), m);
        history_[2] = history_[1];
        history_[1] = history_[0];
        history_[0] = in;
        typename F::Sum sum = 0;
        for (std::size_t i = 0; i < sections_.size(); ++i) {
            auto sec = sections_[i];
            auto& s = state_[i];
            typename F::Sum p = 0, t = 0, v = 0;
            fxMul(q(sec.c[0], C), q(history_[0], X), q(p, P));
            fxMul(q(sec.c[1], C), q(history_[1], X), q(t, P));
            fxAdd(q(p, P), q(t, P), q(p, P));
            fxMul(q(sec.c[2], C), q(history_[2], X), q(t, P));
            fxAdd(q(p, P), q(t, P), q(p, P));
            fxMul(q(sec.c[3], C), q(s[0], S), q(t, P));
            fxAdd(q(p, P), q(t, P), q(p, P));
            fxMul(q(sec.c[4], C), q(s[1], S), q(t, P));
            fxAdd(q(p, P), q(t, P), q(p, P));
            fxScale(q(p, P), q(v, P), sec.shift, m);
            s[1] = s[0];
            fxConvert(q(v, P), q(s[0], S), m);
            fxAdd(q(sum, P), q(v, P), q(sum, P));
        }
        typename F::Sum p1 = 0, p2 = 0;
        fxMul(q(sum, P), q(gain2_, G), q(p1, P));
        fxMul(q(gain1_, G), q(history_[0], X), q(p2, P));
        int16_t y = 0;
        fxAdd(q(p1, P), q(p2, P), q(y, 15));
        return y;
    }

    std::vector<typename F::Section> sections_;
    std::vector<std::array<typename F::State, 2>> state_;
    std::array<typename F::Sample, 3> history_{};
    typename F::Gain gain1_ = 0, gain2_ = 0;
};

class FloatSections final : public FilterKernel {
  public:
    FloatSections(const LoadedFilter& f, FxModes modes)
        : sections_(f.data<SectionFloat>(), f.data<SectionFloat>() + f.records()),
          state_(sections_.size(), std::array<float, 2>{}),
          gain_(f.gain),
          overflow_(modes.overflow) {}

    void run(const float* x, float* y, int32_t n) override {
        for (int32_t i = 0; i < n; ++i) y[i] = step(x[i]);
    }
    void run(const int16_t* x, int16_t* y, int32_t n) override {
        for (int32_t i = 0; i < n; ++i) {
            const float a = step(static_cast<float>(x[i]));
            if (overflow_ != 's')
                y[i] = storeWord(a);
            else if (a >= 32767.0f)
                y[i] = 32767;
            else if (a < -32768.0f)
                y[i] = -32768;
            else
                y[i] = storeWord(a);
        }
    }

  private:
    float step(float x) {
        float a = gain_ * x;
        for (std::size_t i = 0; i < sections_.size(); ++i) {
            const float* c = sections_[i].c;
            float& w1 = state_[i][0];
            float& w2 = state_[i][1];
            float w = a + c[2] * w1 + c[3] * w2;
            a = w + c[0] * w1 + c[1] * w2;
            w2 = w1;
            if (w > 1e37f)
                w = 1e37f;
            else if (w < -1e37f)
                w = -1e37f;
            if (std::fabs(w) < 1e-36f) w = 0.0f;
            w1 = w;
        }
        return a;
    }

    std::vector<SectionFloat> sections_;
    std::vector<std::array<float, 2>> state_;
    float gain_;
    char overflow_;
};

class IirLattice final : public FloatStepKernel<IirLattice> {
  public:
    explicit IirLattice(const LoadedFilter& f)
        : order_(static_cast<std::size_t>(f.records())),
          gamma_(f.data<float>(), f.data<float>() + order_ + 1),
          kappa_(f.data<float>() + order_ + 1, f.data<float>() + 2 * order_ + 1),
          f_(order_ + 1, 0.0f),
          b_(order_ + 1, 0.0f),
          gain_(f.gain) {}

    // One sample through the lattice.
    float step(float x) {
        const std::size_t p = order_;
        f_[0] = gain_ * x;
        for (std::size_t i = 0; i < p; ++i) {
            const float k = kappa_[p - 1 - i];
            f_[i + 1] = f_[i] - k * b_[i + 1];
            b_[i] = k * f_[i + 1] + b_[i + 1];
        }
        b_[p] = f_[p];
        float y = 0.0f;
        for (std::size_t j = 0; j <= p; ++j) y = y + b_[j] * gamma_[p - j];
        return y;
    }

  private:
    std::size_t order_;
    std::vector<float> gamma_, kappa_, f_, b_;
    float gain_;
};

}  // namespace

std::unique_ptr<FilterKernel> makeIirKernel(const LoadedFilter& f, FxModes modes) {
    switch (f.type()) {
        case kIirCascade1Q15:
            return std::make_unique<CascadeForm1<Q15>>(f, modes);
        case kIirCascade1Q23:
            return std::make_unique<CascadeForm1<Q23>>(f, modes);
        case kIirCascade2Q15:
            return std::make_unique<CascadeForm2<Q15>>(f, modes);
        case kIirCascade2Q23:
            return std::make_unique<CascadeForm2<Q23>>(f, modes);
        case kIirParallelQ15:
            return std::make_unique<ParallelForm1<ParallelQ15>>(f, modes);
        case kIirParallelQ23:
            return std::make_unique<ParallelForm1<ParallelQ23>>(f, modes);
        case kIirFloatSections:
            return std::make_unique<FloatSections>(f, modes);
        case kIirLattice:
            return std::make_unique<IirLattice>(f);
        default:
            return nullptr;
    }
}

}  // namespace qf::filter
