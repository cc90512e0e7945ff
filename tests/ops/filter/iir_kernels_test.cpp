// IIR kernels: the fixed-point forms step by step against the integer model
// of fixed_model.h, and every structure against the difference equation of
// the transfer function it implements (in double, as scipy's lfilter
// would), within the error its number format allows.
//
//   cascade I and II, parallel sections:
//     H(z) = 2^sh (c0 + c1 z^-1 + c2 z^-2) / (1 - 2^sh c3 z^-1 - 2^sh c4 z^-2)
//   floating-point sections:  H(z) = (1 + c0 z^-1 + c1 z^-2) / (1 - c2 z^-1 - c3 z^-2)
//   IIR lattice: 1 / A_P(z) with the step-up polynomial of kappa, ladder
//     taps gamma: Y = g sum_m gamma[m] z^-m A_m(1/z) / A_P(z) X
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "ops/filter/filter_test_support.h"
#include "ops/filter/fixed_model.h"
#include "ops/filter/kernels.h"

namespace qf::test {
namespace {

using filter::makeKernel;

constexpr FxModes kModes[] = {{'s', 'e'}, {'s', 'r'}, {'w', 'e'}, {'w', 't'}};

// ---- Fixed-point forms, step by step ------------------------------------

// The formats of a fixed-point filter: coefficients and states (width,
// fraction bits), the accumulator's fraction bits, the register width.
struct Forms {
    int coefFrac, stateWidth, stateFrac, accFrac, registerWidth;
};
constexpr Forms kQ15{15, 16, 15, 31, 32};
constexpr Forms kQ23{23, 32, 23, 47, 48};

struct Section {
    std::array<int64_t, 5> c;
    int shift;
};

class Model {
  public:
    Model(Forms f, int64_t gain, int gainShift, std::vector<Section> s, FxModes m)
        : f_(f), sections_(std::move(s)), state_(sections_.size()), m_(m) {
        gain_ = fx::scale(gain, f.coefFrac, 64, f.accFrac, gainShift, m);
    }

    int16_t cascade1(int16_t x) {
        const int A = f_.accFrac, C = f_.coefFrac, S = f_.stateFrac, W = f_.stateWidth;
        int64_t a = fx::mul(gain_, A, x, 15, 64, A);
        for (std::size_t i = 0; i < sections_.size(); ++i) {
            const auto& c = sections_[i].c;
            const int sh = sections_[i].shift;
            auto& s = state_[i];
            const int64_t y = fx::add(
                s[0], S, fx::scale(fx::mul(c[0], C, a, A, 64, A), A, 64, A, sh, m_), A, 64, A);
            int64_t t =
                fx::add(fx::mul(c[1], C, a, A, 64, A), A, fx::mul(c[3], C, y, A, 64, A), A, 64, A);
            t = fx::add(fx::scale(t, A, 64, A, sh, m_), A, s[1], S, 64, A);
            s[0] = fx::convert(t, A, W, S, m_);
            t = fx::add(fx::mul(c[2], C, a, A, 64, A), A, fx::mul(c[4], C, y, A, 64, A), A, 64, A);
            s[1] = fx::convert(fx::scale(t, A, 64, A, sh, m_), A, W, S, m_);
            a = fx::convert(y, A, 64, A, m_);
        }
        return static_cast<int16_t>(fx::convert(a, A, 16, 15, m_));
    }

    int16_t cascade2(int16_t x) {
        const int A = f_.accFrac, C = f_.coefFrac, S = f_.stateFrac, W = f_.stateWidth,
                  R = f_.registerWidth;
        int64_t a = fx::mul(gain_, A, x, 15, 64, A);
        for (std::size_t i = 0; i < sections_.size(); ++i) {
            const auto& c = sections_[i].c;
            const int sh = sections_[i].shift;
            auto& s = state_[i];  // w1, w2
            int64_t t = fx::add(fx::mul(c[3], C, s[0], S, 64, A), A,
                                fx::mul(c[4], C, s[1], S, 64, A), A, 64, A);
            const int64_t w =
                fx::limit(fx::add(a, A, fx::scale(t, A, 64, A, sh, m_), A, 64, A), A, 64, A, R, m_);
            t = fx::add(fx::mul(c[0], C, w, A, 64, A), A, fx::mul(c[1], C, s[0], S, 64, A), A, 64,
                        A);
            t = fx::add(t, A, fx::mul(c[2], C, s[1], S, 64, A), A, 64, A);
            a = fx::limit(fx::scale(t, A, 64, A, sh, m_), A, 64, A, R, m_);
            s[1] = s[0];
            s[0] = fx::convert(w, A, W, S, m_);
        }
        return static_cast<int16_t>(fx::convert(a, A, 16, 15, m_));
    }

    std::vector<int16_t> run(bool form1, const std::vector<int16_t>& x) {
        std::vector<int16_t> y;
        for (int16_t v : x) y.push_back(form1 ? cascade1(v) : cascade2(v));
        return y;
    }

  private:
    Forms f_;
    std::vector<Section> sections_;
    std::vector<std::array<int64_t, 2>> state_;
    FxModes m_;
    int64_t gain_ = 0;
};

// Parallel form I: products and S in (P, sumFrac), gains in (G, gainFrac),
// Q23 filters take x as (32,23).
std::vector<int16_t> parallelModel(bool q23, const int64_t (&header)[4],
                                   const std::vector<Section>& sections,
                                   const std::vector<int16_t>& x, FxModes m) {
    const int C = q23 ? 23 : 15, X = C, S = C, SW = q23 ? 32 : 16;
    const int P = q23 ? 47 : 27, PW = q23 ? 64 : 32, G = q23 ? 47 : 15, GW = q23 ? 64 : 32;
    const int64_t g1 = fx::scale(header[0], C, GW, G, static_cast<int>(header[1]), m);
    const int64_t g2 = fx::scale(header[2], C, GW, G, static_cast<int>(header[3]), m);
    std::array<int64_t, 3> h{};
    std::vector<std::array<int64_t, 2>> st(sections.size());
    std::vector<int16_t> y;
    for (int16_t v : x) {
        h = {q23 ? fx::convert(v, 15, 32, 23, m) : v, h[0], h[1]};
        int64_t sum = 0;
        for (std::size_t i = 0; i < sections.size(); ++i) {
            const auto& c = sections[i].c;
            int64_t p = fx::mul(c[0], C, h[0], X, PW, P);
            p = fx::add(p, P, fx::mul(c[1], C, h[1], X, PW, P), P, PW, P);
            p = fx::add(p, P, fx::mul(c[2], C, h[2], X, PW, P), P, PW, P);
            p = fx::add(p, P, fx::mul(c[3], C, st[i][0], S, PW, P), P, PW, P);
            p = fx::add(p, P, fx::mul(c[4], C, st[i][1], S, PW, P), P, PW, P);
            const int64_t vv = fx::scale(p, P, PW, P, sections[i].shift, m);
            st[i][1] = st[i][0];
            st[i][0] = fx::convert(vv, P, SW, S, m);
            sum = fx::add(sum, P, vv, P, PW, P);
        }
        y.push_back(static_cast<int16_t>(
            fx::add(fx::mul(sum, P, g2, G, PW, P), P, fx::mul(g1, G, h[0], X, PW, P), P, 16, 15)));
    }
    return y;
}

// Records of the Q15 and Q23 section types.
std::vector<SectionQ15> q15Records(const std::vector<Section>& s) {
    std::vector<SectionQ15> r;
    for (const Section& x : s)
        r.push_back({{static_cast<int16_t>(x.c[0]), static_cast<int16_t>(x.c[1]),
                      static_cast<int16_t>(x.c[2]), static_cast<int16_t>(x.c[3]),
                      static_cast<int16_t>(x.c[4])},
                     static_cast<int16_t>(x.shift)});
    return r;
}
std::vector<SectionQ23> q23Records(const std::vector<Section>& s) {
    std::vector<SectionQ23> r;
    for (const Section& x : s)
        r.push_back({{static_cast<int32_t>(x.c[0]), static_cast<int32_t>(x.c[1]),
                      static_cast<int32_t>(x.c[2]), static_cast<int32_t>(x.c[3]),
                      static_cast<int32_t>(x.c[4])},
                     static_cast<int16_t>(x.shift),
                     0});
    return r;
}

// Two biquads in Q15 or Q23 (shift 1: coefficients up to 2 in magnitude):
// a 2nd-order Butterworth low-pass at fs/8 and a band-pass of peak gain 1.
std::vector<Section> twoBiquads(int frac, int extraShift = 0) {
    const double one = std::ldexp(1.0, frac);
    auto q = [one](double v) { return static_cast<int64_t>(std::lround(v * one)); };
    // b = 0.0976, 0.1953, 0.0976; a = 1, -0.9428, 0.3333, stored halved.
    const double k = std::tan(3.14159265358979323846 / 8), n = 1 / (1 + std::sqrt(2.0) * k + k * k);
    const double b0 = k * k * n, a1 = 2 * (k * k - 1) * n,
                 a2 = (1 - std::sqrt(2.0) * k + k * k) * n;
    return {{{q(b0 / 2), q(b0), q(b0 / 2), q(-a1 / 2), q(-a2 / 2)}, 1 + extraShift},
            {{q(0.25), q(0.0), q(-0.25), q(1.2 / 2), q(-0.5 / 2)}, 1}};
}

// The transfer function of the sections, times `gain`, in double.
std::vector<double> sectionsReference(const std::vector<Section>& s, int frac, double gain,
                                      std::vector<double> x) {
    for (double& v : x) v *= gain;
    for (const Section& sec : s) {
        const double f = std::ldexp(1.0, sec.shift - frac);
        x = differenceEquation({sec.c[0] * f, sec.c[1] * f, sec.c[2] * f},
                               {1.0, -sec.c[3] * f, -sec.c[4] * f}, x);
    }
    return x;
}

template <typename V>
std::vector<double> asDouble(const std::vector<V>& v, double scale = 1.0) {
    std::vector<double> d;
    for (V x : v) d.push_back(static_cast<double>(x) * scale);
    return d;
}

TEST(CascadeForms, StepByStepAsTheFixedPointModelSays) {
    const std::vector<int16_t> x = wordSignal(3000, 8, 12000);
    for (bool form1 : {true, false}) {
        for (bool q23 : {false, true}) {
            for (FxModes m : kModes) {
                SCOPED_TRACE(std::string(form1 ? "I " : "II ") + (q23 ? "Q23 " : "Q15 ") +
                             m.overflow + m.rounding);
                const std::vector<Section> s = twoBiquads(q23 ? 23 : 15);
                // Gain 0.75 x 2^1: a gain above 1 that the states must carry.
                const int64_t gain = q23 ? 6291456 : 24576;
                auto filter =
                    q23 ? memoryFilter(form1 ? kIirCascade1Q23 : kIirCascade2Q23, q23Records(s))
                        : memoryFilter(form1 ? kIirCascade1Q15 : kIirCascade2Q15, q15Records(s));
                filter->headerWords[0] = static_cast<int32_t>(gain);
                filter->headerWords[1] = 1;
                Model model(q23 ? kQ23 : kQ15, gain, 1, s, m);
                EXPECT_EQ(runInPieces(*makeKernel(*filter, m), x), model.run(form1, x));
            }
        }
    }
}

TEST(CascadeForms, ImplementTheSectionsTransferFunction) {
    // Gain 1/2 (16384) x 2^0; the output against the double difference
    // equations within a few units of the last place.
    const std::vector<int16_t> x = wordSignal(2000, 12, 8000);
    for (int32_t type : {kIirCascade1Q15, kIirCascade2Q15, kIirCascade1Q23, kIirCascade2Q23}) {
        SCOPED_TRACE(type);
        const bool q23 = type == kIirCascade1Q23 || type == kIirCascade2Q23;
        const std::vector<Section> s = twoBiquads(q23 ? 23 : 15);
        auto filter = q23 ? memoryFilter(type, q23Records(s)) : memoryFilter(type, q15Records(s));
        filter->headerWords[0] = q23 ? 4194304 : 16384;
        const std::vector<int16_t> y = runInPieces(*makeKernel(*filter, {'s', 'e'}), x);
        const std::vector<double> e = sectionsReference(s, q23 ? 23 : 15, 0.5, asDouble(x));
        double worst = 0;
        for (std::size_t n = 0; n < y.size(); ++n) worst = std::max(worst, std::abs(y[n] - e[n]));
        EXPECT_LT(worst, q23 ? 2.0 : 40.0);  // Q15 states round every sample
    }
}

TEST(ParallelForm, StepByStepAsTheFixedPointModelSaysAndSumsItsSections) {
    const std::vector<int16_t> x = wordSignal(3000, 14, 6000);
    for (bool q23 : {false, true}) {
        const int frac = q23 ? 23 : 15;
        const std::vector<Section> s = twoBiquads(frac);
        // G1 = 0.25 x 2^0 (the direct path), G2 = 0.5 x 2^1.
        const int64_t header[4] = {int64_t{1} << (frac - 2), 0, int64_t{1} << (frac - 1), 1};
        for (FxModes m : kModes) {
            SCOPED_TRACE(std::string(q23 ? "Q23 " : "Q15 ") + m.overflow + m.rounding);
            auto filter = q23 ? memoryFilter(kIirParallelQ23, q23Records(s))
                              : memoryFilter(kIirParallelQ15, q15Records(s));
            for (int i = 0; i < 4; ++i) filter->headerWords[i] = static_cast<int32_t>(header[i]);
            const std::vector<int16_t> y = runInPieces(*makeKernel(*filter, m), x);
            EXPECT_EQ(y, parallelModel(q23, header, s, x, m));
            if (m.overflow != 's' || m.rounding != 'e') continue;
            // y = G2 sum of the sections + G1 x.
            std::vector<double> e(x.size(), 0.0);
            for (const Section& sec : s) {
                const std::vector<double> part = sectionsReference({sec}, frac, 1.0, asDouble(x));
                for (std::size_t n = 0; n < e.size(); ++n) e[n] += part[n];
            }
            double worst = 0;
            for (std::size_t n = 0; n < y.size(); ++n)
                worst = std::max(worst, std::abs(y[n] - (e[n] * 1.0 + 0.25 * x[n])));
            EXPECT_LT(worst, q23 ? 2.0 : 60.0);
        }
    }
}

TEST(FixedPointIir, FloatSamplesEnterAsQ15WordsAndLeaveTimesTheFloatOf1Over32767) {
    EXPECT_EQ(filter::q15FromFloatSample(1.5f, 's'), 32767);
    EXPECT_EQ(filter::q15FromFloatSample(1.5f, 'w'), -16386);  // low 16 bits of 49150
    EXPECT_EQ(filter::q15FromFloatSample(-1.0f, 's'), -32767);
    EXPECT_EQ(filter::q15FromFloatSample(-1.00001f, 's'), -32768);
    EXPECT_EQ(filter::q15FromFloatSample(0.5f, 'w'), 16383);  // 16383.5 truncated
    EXPECT_EQ(filter::q15FromFloatSample(-0.5f, 's'), -16383);
    EXPECT_EQ(filter::floatFromQ15Result(32767), 32767 * 3.0518509e-05f);

    // No sections and a gain of 1/2 x 2^1 hand the sample through.
    for (int32_t type : {kIirCascade1Q15, kIirCascade2Q15, kIirParallelQ15}) {
        auto f = memoryFilter(type, std::vector<SectionQ15>{});
        f->headerWords[0] = 16384, f->headerWords[1] = 1;
        f->headerWords[2] = 16384, f->headerWords[3] = 1;  // parallel: G2 (S is 0)
        if (type == kIirParallelQ15) f->headerWords[2] = 0;
        for (char overflow : {'s', 'w'}) {
            auto k = makeKernel(*f, {overflow, 'e'});
            const std::vector<float> y = runInPieces(*k, std::vector<float>{1.5f, -0.25f});
            const float first = overflow == 's' ? 32767 * 3.0518509e-05f : -16386 * 3.0518509e-05f;
            EXPECT_EQ(y, (std::vector<float>{first, -8191 * 3.0518509e-05f})) << type;
        }
    }
}

// ---- Floating-point forms -------------------------------------------------

TEST(FloatSections, AreTheirDifferenceEquationsWithLimitedStates) {
    const std::vector<SectionFloat> s = {{{0.5f, 0.25f, 1.2f, -0.5f}}, {{-1.0f, 0.3f, 0.4f, 0.1f}}};
    auto f = memoryFilter(kIirFloatSections, s);
    f->gain = 0.75f;
    const std::vector<float> x = floatSignal(3000, 30);
    std::vector<double> e = asDouble(x, 0.75);
    for (const SectionFloat& c : s)
        e = differenceEquation({1.0, c.c[0], c.c[1]}, {1.0, -c.c[2], -c.c[3]}, e);
    EXPECT_LT(relativeError(runInPieces(*makeKernel(*f, {}), x), e), 1e-5);

    // 16-bit samples are integers; the result saturates in mode 's' and
    // keeps its low 16 bits otherwise.
    auto big = memoryFilter(kIirFloatSections, std::vector<SectionFloat>{{{0, 0, 0, 0}}});
    big->gain = 3.0f;
    const std::vector<int16_t> w = {10000, -12000, 5};
    EXPECT_EQ(runInPieces(*makeKernel(*big, {'s', 'e'}), w),
              (std::vector<int16_t>{30000, -32768, 15}));
    EXPECT_EQ(runInPieces(*makeKernel(*big, {'w', 'e'}), w),
              (std::vector<int16_t>{30000, static_cast<int16_t>(-36000 + 65536), 15}));

    // A state below 1e-36 is set to 0; one beyond 1e37 is held at 1e37.
    auto tiny = memoryFilter(kIirFloatSections, std::vector<SectionFloat>{{{1, 0, 0, 0}}});
    tiny->gain = 1.0f;
    EXPECT_EQ(runInPieces(*makeKernel(*tiny, {}), std::vector<float>{1e-37f, 0.0f}),
              (std::vector<float>{1e-37f, 0.0f}));  // w1 was cleared
    auto huge = memoryFilter(kIirFloatSections, std::vector<SectionFloat>{{{1, 0, 0, 0}}});
    huge->gain = 1e30f;
    EXPECT_EQ(runInPieces(*makeKernel(*huge, {}), std::vector<float>{1e8f, 0.0f}),
              (std::vector<float>{1e30f * 1e8f, 1e37f}));
}

// gamma and kappa of a lattice as the direct form N(z) / A_P(z).
void latticeDirectForm(const std::vector<float>& gamma, const std::vector<float>& kappa, double g,
                       std::vector<double>& num, std::vector<double>& den) {
    const std::size_t p = kappa.size();
    std::vector<std::vector<double>> a = {{1.0}};
    for (std::size_t m = 1; m <= p; ++m) {
        std::vector<double> next(m + 1, 0.0);
        for (std::size_t j = 0; j <= m; ++j) {
            const double prev = j < m ? a[m - 1][j] : 0.0;
            const double rev = (m - j) < m ? a[m - 1][m - j] : 0.0;
            next[j] = prev + kappa[m - 1] * rev;
        }
        a.push_back(next);
    }
    num.assign(p + 1, 0.0);
    for (std::size_t m = 0; m <= p; ++m)
        for (std::size_t j = 0; j <= m; ++j) num[j] += g * gamma[m] * a[m][m - j];
    den = a[p];
}

TEST(IirLattice, IsTheLatticeLadderTransferFunction) {
    // Order 1 by hand: kappa 0.5, gamma {1, 0}: 1 / (1 + 0.5 z^-1).
    auto one = memoryFilter(kIirLattice, std::vector<float>{1.0f, 0.0f, 0.5f}, 3);
    one->gain = 1.0f;
    EXPECT_EQ(one->records(), 1);
    EXPECT_EQ(runInPieces(*makeKernel(*one, {}), std::vector<float>{1, 0, 0, 0}),
              (std::vector<float>{1.0f, -0.5f, 0.25f, -0.125f}));

    const std::vector<float> gamma = {0.3f, -0.2f, 0.5f, 0.1f, 0.05f};
    const std::vector<float> kappa = {0.6f, -0.4f, 0.3f, -0.2f};
    std::vector<float> values = gamma;
    values.insert(values.end(), kappa.begin(), kappa.end());
    auto f = memoryFilter(kIirLattice, values);
    f->gain = 2.0f;
    EXPECT_EQ(f->records(), 4);
    std::vector<double> num, den;
    latticeDirectForm(gamma, kappa, 2.0, num, den);
    const std::vector<float> x = floatSignal(2000, 40);
    EXPECT_LT(relativeError(runInPieces(*makeKernel(*f, {}), x),
                            differenceEquation(num, den, asDouble(x))),
              1e-5);
    // 16-bit samples as integers, results truncated.
    const std::vector<int16_t> w = wordSignal(500, 41, 1000);
    const std::vector<double> ew = differenceEquation(num, den, asDouble(w));
    const std::vector<int16_t> yw = runInPieces(*makeKernel(*f, {}), w);
    for (std::size_t n = 0; n < w.size(); ++n) EXPECT_NEAR(yw[n], std::trunc(ew[n]), 1.0) << n;
}

}  // namespace
}  // namespace qf::test
