// FIR kernels against references written here: the sample-by-sample delay
// line sum of the direct form, exact integer (__int128) sums for the
// fixed-point taps, the double-precision convolution for overlap-save and
// the lattice's polynomial for the FIR lattice.
#include <gtest/gtest.h>

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

// The direct form as written: the delay line moved by one for every
// sample, then y = scale x sum_k h[k] d[k] with each product in double and
// the sum rounded to float after every addition.
template <typename H>
std::vector<float> delayLineSums(const std::vector<H>& h, const std::vector<float>& x,
                                 float scale) {
    std::vector<float> d(h.size(), 0.0f), y;
    for (float v : x) {
        for (std::size_t k = d.size(); k-- > 1;) d[k] = d[k - 1];
        if (!d.empty()) d[0] = v;
        float sum = 0.0f;
        for (std::size_t k = 0; k < h.size(); ++k)
            sum = static_cast<float>(sum + static_cast<double>(h[k]) * static_cast<double>(d[k]));
        y.push_back(sum * scale);
    }
    return y;
}

// The exact convolution in double.
template <typename H>
std::vector<double> convolution(const std::vector<H>& h, double scale,
                                const std::vector<float>& x) {
    std::vector<double> y(x.size(), 0.0);
    for (std::size_t n = 0; n < x.size(); ++n)
        for (std::size_t k = 0; k < h.size() && k <= n; ++k) y[n] += h[k] * scale * x[n - k];
    return y;
}

template <typename H>
std::vector<H> taps(int32_t n, uint32_t seed, double amplitude) {
    Lcg r(seed);
    std::vector<H> h(static_cast<std::size_t>(n));
    for (H& v : h) v = static_cast<H>(amplitude * r.uniform());
    return h;
}

TEST(FirDirectForm, FloatSumsMatchTheDelayLineSumBitForBit) {
    // Eight outputs are summed side by side; pieces of 1, 100, 4095 and 3
    // samples cross the kernel's own 4096-sample passes.
    const std::vector<float> x = floatSignal(9000, 7);
    for (int32_t t : {1, 2, 7, 8, 9, 33, 63, 64, 200}) {
        SCOPED_TRACE(t);
        const auto q15 = taps<int16_t>(t, t, 32767);
        const auto q23 = taps<int32_t>(t, t + 1, 8388607);
        const auto fl = taps<float>(t, t + 2, 1.0);
        auto k15 = makeKernel(*memoryFilter(kFirQ15, q15), {'s', 'e'});
        auto k23 = makeKernel(*memoryFilter(kFirQ23, q23), {'s', 'e'});
        auto kfl = makeKernel(*memoryFilter(kFirFloat, fl), {'s', 'e'});
        EXPECT_EQ(runInPieces(*k15, x), delayLineSums(q15, x, 0x1p-15f));
        EXPECT_EQ(runInPieces(*k23, x), delayLineSums(q23, x, 0x1p-23f));
        EXPECT_EQ(runInPieces(*kfl, x), delayLineSums(fl, x, 1.0f));
        // And the sums are the convolution to single precision.
        EXPECT_LT(relativeError(runInPieces(*makeKernel(*memoryFilter(kFirFloat, fl), {}), x),
                                convolution(fl, 1.0, x)),
                  1e-5);
    }
}

// (64, acc) sums of exact products converted to (16,15) by the model.
template <typename H>
std::vector<int16_t> exactFixedSums(const std::vector<H>& h, const std::vector<int16_t>& x,
                                    FxModes m) {
    const int acc = sizeof(H) == 2 ? 31 : 47;
    const int tapFrac = sizeof(H) == 2 ? 15 : 23;
    std::vector<int16_t> y;
    for (std::size_t n = 0; n < x.size(); ++n) {
        fx::i128 s = 0;
        for (std::size_t k = 0; k < h.size() && k <= n; ++k)
            s += (static_cast<fx::i128>(h[k]) * x[n - k]) << (acc - tapFrac - 15);
        y.push_back(static_cast<int16_t>(fx::convert(static_cast<int64_t>(s), acc, 16, 15, m)));
    }
    return y;
}

TEST(FirDirectForm, FixedPointTapsGiveTheExactSumsConvertedByTheModes) {
    const std::vector<int16_t> x = wordSignal(5000, 3);
    for (FxModes m : kModes) {
        SCOPED_TRACE(std::string(1, m.overflow) + m.rounding);
        for (int32_t t : {1, 5, 64, 300}) {
            // Large taps overflow the 16-bit result: saturation or wrap.
            const auto q15 = taps<int16_t>(t, 11 * t, t < 64 ? 32767 : 3000);
            const auto q23 = taps<int32_t>(t, 13 * t, t < 64 ? 8388607 : 400000);
            EXPECT_EQ(runInPieces(*makeKernel(*memoryFilter(kFirQ15, q15), m), x),
                      exactFixedSums(q15, x, m));
            EXPECT_EQ(runInPieces(*makeKernel(*memoryFilter(kFirQ23, q23), m), x),
                      exactFixedSums(q23, x, m));
        }
    }
}

TEST(FirDirectForm, SumsBeyondTwoToThe53FollowTheDoublePrecisionAdditions) {
    // 32-bit taps of up to 2^31 make (64,47) products near 2^55; 300 of them
    // reach 2^63, where a double sum rounds and the stored sum wraps.  Each
    // addition is the double sum of the two integers, truncated, with its
    // low 64 bits kept; then the conversion to (16,15).
    std::vector<int32_t> h(300, INT32_MAX);
    h[7] = -INT32_MAX, h[100] = 1234567, h[250] = INT32_MIN;
    std::vector<int16_t> x = wordSignal(400, 5);
    for (std::size_t i = 0; i < 200; ++i) x[i] = -32768;
    const double two64 = std::ldexp(1.0, 64), two63 = std::ldexp(1.0, 63);
    for (FxModes m : kModes) {
        std::vector<int16_t> expected;
        for (std::size_t n = 0; n < x.size(); ++n) {
            int64_t acc = 0;
            for (std::size_t k = 0; k < h.size() && k <= n; ++k) {
                const int64_t p = 512 * (int64_t{h[k]} * x[n - k]);
                double v = std::fmod(static_cast<double>(acc) + static_cast<double>(p), two64);
                if (v >= two63) v -= two64;
                if (v < -two63) v += two64;
                acc = static_cast<int64_t>(v);
            }
            expected.push_back(static_cast<int16_t>(fx::convert(acc, 47, 16, 15, m)));
        }
        EXPECT_EQ(runInPieces(*makeKernel(*memoryFilter(kFirQ23, h), m), x), expected);
    }
}

TEST(FirDirectForm, ImpulseThroughQ15TapsRoundsToEven) {
    // 32767 x 16384 = 16383.5 and 32767 x 8192 = 8191.75 in Q15 units.
    auto k = makeKernel(*memoryFilter(kFirQ15, std::vector<int16_t>{16384, 8192}), {'s', 'e'});
    const std::vector<int16_t> x = {32767, 0, 0, 0};
    std::vector<int16_t> y(4);
    k->run(x.data(), y.data(), 4);
    EXPECT_EQ(y, (std::vector<int16_t>{16384, 8192, 0, 0}));
}

TEST(FirDirectForm, FloatTapsOnWordsSumInSinglePrecisionAndKeepTheLow16Bits) {
    const std::vector<float> h = {0.5f, -1.25f, 3.0f};
    const std::vector<int16_t> x = wordSignal(300, 9);
    std::vector<int16_t> expected;
    for (std::size_t n = 0; n < x.size(); ++n) {
        float s = 0.0f;
        for (std::size_t k = 0; k < h.size() && k <= n; ++k)
            s = s + static_cast<float>(x[n - k]) * h[k];
        // Truncated toward zero; the low 16 bits kept (3 x 32767 wraps).
        expected.push_back(static_cast<int16_t>(static_cast<int32_t>(s)));
    }
    EXPECT_EQ(runInPieces(*makeKernel(*memoryFilter(kFirFloat, h), {'s', 'e'}), x), expected);
}

TEST(OverlapSave, BlockGeometryFollowsTheTapCount) {
    struct Case {
        int32_t taps, size, block;
    } const cases[] = {{64, 256, 193}, {65, 512, 448}, {255, 1024, 770}, {1023, 4096, 3074}};
    for (const Case& c : cases) {
        const filter::OverlapSave os(*memoryFilter(kFirFloat, std::vector<float>(c.taps, 0.0f)));
        EXPECT_EQ(os.fftSize(), c.size) << c.taps;
        EXPECT_EQ(os.blockLength(), c.block) << c.taps;
    }
    EXPECT_FALSE(filter::usesOverlapSave(*memoryFilter(kFirFloat, std::vector<float>(63, 0.0f))));
    EXPECT_TRUE(filter::usesOverlapSave(*memoryFilter(kFirQ15, std::vector<int16_t>(64, 0))));
    EXPECT_FALSE(filter::usesOverlapSave(*memoryFilter(kFirLattice, std::vector<float>(99, 0.0f))));
}

// Overlap-save over a signal in blocks of at most L samples.
std::vector<float> overlapSave(const LoadedFilter& f, const std::vector<float>& x,
                               int32_t* blocks) {
    filter::OverlapSave os(f);
    std::vector<float> y(x.size());
    for (std::size_t at = 0; at < x.size();) {
        const auto n =
            std::min<std::size_t>(static_cast<std::size_t>(os.blockLength()), x.size() - at);
        os.block(x.data() + at, y.data() + at, static_cast<int32_t>(n));
        at += n;
    }
    if (blocks) *blocks = os.blocks();
    return y;
}

TEST(OverlapSave, AgreesWithTheConvolutionAndTheDirectFormInSinglePrecision) {
    const std::vector<float> x = floatSignal(1000, 21);
    for (int32_t t : {64, 100, 255}) {
        SCOPED_TRACE(t);
        const auto h = taps<float>(t, 3 * t, 0.2);
        int32_t blocks = 0;
        const std::vector<float> y = overlapSave(*memoryFilter(kFirFloat, h), x, &blocks);
        EXPECT_LT(relativeError(y, convolution(h, 1.0, x)), 2e-6);
        const std::vector<float> direct = delayLineSums(h, x, 1.0f);
        EXPECT_LT(relativeError(y, std::vector<double>(direct.begin(), direct.end())), 2e-6);
        if (t == 64) {
            EXPECT_EQ(blocks, 6);  // 5 blocks of 193 and one of 35
        }
    }
    // Q15 and Q23 taps enter as h 2^-15 and h 2^-23: the same spectrum as
    // float taps of those values, so the same outputs.
    const auto q15 = taps<int16_t>(80, 5, 32767);
    const auto q23 = taps<int32_t>(80, 6, 8388607);
    std::vector<float> f15, f23;
    for (int16_t v : q15) f15.push_back(std::ldexp(static_cast<float>(v), -15));
    for (int32_t v : q23)
        f23.push_back(static_cast<float>(std::ldexp(static_cast<double>(v), -23)));
    EXPECT_EQ(overlapSave(*memoryFilter(kFirQ15, q15), x, nullptr),
              overlapSave(*memoryFilter(kFirFloat, f15), x, nullptr));
    // (24-bit taps are exact in a float only when their low bits allow it.)
    std::vector<double> e23 = convolution(q23, 0x1p-23, x);
    EXPECT_LT(relativeError(overlapSave(*memoryFilter(kFirQ23, q23), x, nullptr), e23), 2e-6);
}

// FIR lattice: A_0 = B_0 = 1, A_m = A_{m-1} + k z^-1 B_{m-1},
// B_m = k A_{m-1} + z^-1 B_{m-1}; the filter is A_P(z).
std::vector<double> latticePolynomial(const std::vector<float>& kappa) {
    std::vector<double> a = {1.0}, b = {1.0};
    for (float k : kappa) {
        std::vector<double> na(a.size() + 1, 0.0), nb(a.size() + 1, 0.0);
        for (std::size_t j = 0; j < a.size(); ++j) {
            na[j] += a[j];
            na[j + 1] += k * b[j];
            nb[j] += k * a[j];
            nb[j + 1] += b[j];
        }
        a = na, b = nb;
    }
    return a;
}

TEST(FirLattice, IsTheFirFilterOfItsStepUpPolynomial) {
    // By hand: kappa = {0.5, -0.25} gives 1 + 0.375 z^-1 - 0.25 z^-2.
    auto small = makeKernel(*memoryFilter(kFirLattice, std::vector<float>{0.5f, -0.25f}), {});
    const std::vector<float> impulse = {1, 0, 0, 0};
    EXPECT_EQ(runInPieces(*small, impulse), (std::vector<float>{1.0f, 0.375f, -0.25f, 0.0f}));
    // 16-bit samples are integers; the result is truncated.
    auto words = makeKernel(*memoryFilter(kFirLattice, std::vector<float>{0.5f, -0.25f}), {});
    EXPECT_EQ(runInPieces(*words, std::vector<int16_t>{1000, 0, 0, -3}),
              (std::vector<int16_t>{1000, 375, -250, -3}));

    const std::vector<float> kappa = {0.9f, -0.5f, 0.3f, 0.7f, -0.2f, 0.1f};
    const std::vector<float> x = floatSignal(2000, 4);
    const std::vector<double> a = latticePolynomial(kappa);
    const std::vector<double> xd(x.begin(), x.end());
    EXPECT_LT(relativeError(runInPieces(*makeKernel(*memoryFilter(kFirLattice, kappa), {}), x),
                            differenceEquation(a, {1.0}, xd)),
              1e-5);
}

TEST(FilterKernels, OnlyFilterStructuresHaveKernels) {
    EXPECT_EQ(makeKernel(*memoryFilter(14, std::vector<float>(4, 0.0f), 1), {}), nullptr);
    EXPECT_NE(makeKernel(*memoryFilter(kFirFloat, std::vector<float>{}), {}), nullptr);
    // No taps: every output is 0.
    auto none = makeKernel(*memoryFilter(kFirQ15, std::vector<int16_t>{}), {'s', 'e'});
    EXPECT_EQ(runInPieces(*none, std::vector<int16_t>{5, -7, 9}), (std::vector<int16_t>{0, 0, 0}));
}

}  // namespace
}  // namespace qf::test
