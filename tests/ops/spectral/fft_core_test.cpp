// FFT core: transforms against a naive long-double DFT and against a literal
// pass-after-pass transform (bit for bit), windows against hand-worked values
// and an independent Bessel function, and the frame plan and frame loading
// against the worked examples of the FFT operation.
#include "ops/spectral/fft_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace qf {
namespace {

using Complex = std::vector<double>;  // interleaved re, im

Complex randomSignal(int32_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    Complex x(2 * static_cast<size_t>(n));
    for (double& v : x) v = dist(rng);
    return x;
}

// Naive DFT in long double, X[k] = sum_n x[n] e^(sign 2 pi i n k / M), interleaved.
Complex naiveDft(const Complex& x, double sign) {
    const size_t m = x.size() / 2;
    const long double pi = 3.141592653589793238462643383279503L;
    std::vector<long double> cosT(m), sinT(m);
    for (size_t r = 0; r < m; ++r) {
        cosT[r] = std::cos(2 * pi * r / m);
        sinT[r] = sign * std::sin(2 * pi * r / m);
    }
    Complex out;
    for (size_t k = 0; k < m; ++k) {
        long double re = 0, im = 0;
        for (size_t n = 0, r = 0; n < m; ++n, r = r + k < m ? r + k : r + k - m) {  // r = nk mod M
            re += x[2 * n] * cosT[r] - x[2 * n + 1] * sinT[r];
            im += x[2 * n] * sinT[r] + x[2 * n + 1] * cosT[r];
        }
        out.insert(out.end(), {static_cast<double>(re), static_cast<double>(im)});
    }
    return out;
}

// max |a - b| / max |b| over all parts.
double relativeError(const Complex& a, const Complex& b) {
    double err = 0, ref = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        err = std::max(err, std::fabs(a[i] - b[i]));
        ref = std::max(ref, std::fabs(b[i]));
    }
    return err / ref;
}

// The transform written out literally, one pass over the whole array after
// another (no multiplication at m = 0), with the twiddles of the rotation
// recurrence and the counting bit reversal.  sign -1 forward, +1 inverse
// (unscaled).  std::complex multiplies as re = ac - bd, im = ad + bc.
void literalTransform(Complex& v, double sign) {
    auto* x = reinterpret_cast<std::complex<double>*>(v.data());
    const int32_t m = static_cast<int32_t>(v.size() / 2);
    const double theta = 4.0 * std::atan(1.0) / std::max(m / 2, 1);
    const std::complex<double> step(std::cos(theta), sign < 0 ? -std::sin(theta) : std::sin(theta));
    std::vector<std::complex<double>> tw{step};  // tw[k - 1] = W^k
    while (static_cast<int32_t>(tw.size()) < m / 2 - 1) tw.push_back(tw.back() * step);
    for (int32_t half = m / 2, stride = 1; half >= 1; half /= 2, stride *= 2)
        for (int32_t mm = 0; mm < half; ++mm)
            for (int32_t j = mm; j < m; j += 2 * half) {
                const std::complex<double> a = x[j], b = x[j + half];
                x[j] = a + b;
                x[j + half] = mm == 0 ? a - b : (a - b) * tw[mm * stride - 1];
            }
    for (int32_t i = 1, j = 0; i <= m - 2; ++i) {
        int32_t k = m / 2;
        for (; k <= j; k /= 2) j -= k;
        j += k;
        if (i < j) std::swap(x[i], x[j]);
    }
}

FftWorkspace workspaceFor(int32_t n) {
    FftWorkspace ws;
    EXPECT_EQ(ws.allocate(n), 0);
    return ws;
}

// fftForward for sign -1, fftInverse for +1, over the whole workspace size.
int32_t transform(FftWorkspace& ws, Complex& x, double sign) {
    return sign < 0 ? fftForward(ws, x.data(), ws.stages) : fftInverse(ws, x.data(), ws.stages);
}

// ---- Transforms ---------------------------------------------------------

TEST(FftCoreTransform, KnownTransforms) {
    // An impulse gives a flat spectrum, exactly.
    for (int32_t n : {1, 2, 4, 32, 256, 1024, 4096, 1 << 16}) {
        FftWorkspace ws = workspaceFor(n);
        Complex x(2 * static_cast<size_t>(n), 0.0);
        x[0] = 1.0;
        ASSERT_EQ(fftForward(ws, x.data(), ws.stages), 0);
        for (size_t i = 0; i < x.size(); ++i) ASSERT_EQ(x[i], i % 2 ? 0.0 : 1.0) << n << " " << i;
    }
}

TEST(FftCoreTransform, ForwardAndScaledInverseMatchNaiveDft) {
    // Larger sizes run the same passes; they are held bit for bit to the
    // literal transform below.
    for (int32_t n : {2, 4, 8, 16, 32, 64, 128, 512, 1024, 2048, 4096})
        for (double sign : {-1.0, +1.0}) {
            FftWorkspace ws = workspaceFor(n);
            Complex x = randomSignal(n, 1000 + n);
            Complex expected = naiveDft(x, sign);
            if (sign > 0)
                for (double& v : expected) v /= n;
            ASSERT_EQ(transform(ws, x, sign), 0);
            EXPECT_LT(relativeError(x, expected), 1e-9) << "n=" << n << " " << sign;
        }
}

TEST(FftCoreTransform, BitIdenticalToPassAfterPassTransform) {
    for (int32_t stages = 0; stages <= 17; ++stages) {
        const int32_t n = 1 << stages;
        FftWorkspace ws = workspaceFor(n);
        const Complex x = randomSignal(n, 4000 + n);
        for (double sign : {-1.0, +1.0}) {
            Complex y = x, expected = x;
            literalTransform(expected, sign);
            if (sign > 0)
                for (double& v : expected) v = v * (1.0 / n);
            ws.buildTwiddles = true;
            ASSERT_EQ(transform(ws, y, sign), 0);
            for (size_t i = 0; i < y.size(); ++i)
                ASSERT_EQ(y[i], expected[i]) << "n=" << n << " sign " << sign << " i=" << i;
        }
    }
}

TEST(FftCoreTransform, TwiddleTableAndBuildFlag) {
    const int32_t n = 64;
    FftWorkspace ws = workspaceFor(n);
    // A fresh signal through fftInverse (`inverse`) or fftForward against the naive DFT.
    auto expectTransform = [&](bool inverse, uint64_t seed, double sign, double scale) {
        Complex x = randomSignal(n, seed);
        Complex expected = naiveDft(x, sign);
        for (double& v : expected) v *= scale;
        ASSERT_EQ(transform(ws, x, inverse ? 1.0 : -1.0), 0);
        EXPECT_LT(relativeError(x, expected), 1e-12) << seed;
    };

    expectTransform(false, 6000, -1.0, 1.0);
    EXPECT_TRUE(ws.buildTwiddles);  // the forward transform leaves the flag set
    expectTransform(true, 6004, +1.0, 1.0 / n);
    EXPECT_FALSE(ws.buildTwiddles);  // the inverse clears it

    // With the flag clear the table is used as it stands: a second inverse
    // frame is still an inverse transform, and a forward call transforms with
    // the inverse twiddles (no scaling).  Setting the flag restores the table.
    expectTransform(true, 6001, +1.0, 1.0 / n);
    expectTransform(false, 6002, +1.0, 1.0);
    ws.buildTwiddles = true;
    expectTransform(false, 6003, -1.0, 1.0);
}

TEST(FftCoreWorkspace, StagesAllocateReleaseAndSizeMismatch) {
    const int32_t stages[][2] = {{32, 5},    {1024, 10}, {1048576, 20}, {1, 0},
                                 {1000, -1}, {0, -1},    {-32, -1}};
    for (const auto& c : stages) EXPECT_EQ(fftStagesOf(c[0]), c[1]) << c[0];
    FftWorkspace ws;
    for (int32_t bad : {1000, 0, -64}) EXPECT_EQ(ws.allocate(bad), 1) << bad;
    EXPECT_FALSE(ws.allocated());
    // Transforms of another size than the workspace's are refused untouched.
    Complex x = randomSignal(8, 7000);
    const Complex before = x;
    EXPECT_EQ(fftForward(ws, x.data(), 3), 1);
    ASSERT_EQ(ws.allocate(2048), 0);
    EXPECT_EQ(fftForward(ws, x.data(), 3), 1);
    EXPECT_EQ(fftInverse(ws, x.data(), 3), 1);
    EXPECT_EQ(x, before);
    EXPECT_TRUE(ws.buildTwiddles);  // allocation sets the build flag
    ws.release();
    EXPECT_FALSE(ws.allocated());
}

// ---- Windows ------------------------------------------------------------

std::vector<double> window(int32_t number, int32_t n) {
    std::vector<double> w(static_cast<size_t>(n), -7.0);
    EXPECT_EQ(computeWindow(number, n, w.data()), 0);
    return w;
}

TEST(FftCoreWindow, HandWorkedValues) {
    // Index i of an N-point window lies x = |(N - 1) / 2 - i| from the centre,
    // h = N / 2.  Mirror images are covered by AllWindowsSymmetricAndBounded.
    const double c4 = std::sqrt(0.5), e = 1e-15;  // cos(pi / 4); the usual tolerance
    struct Case {
        int32_t number, n;
        double tolerance;                                // 0: exact
        std::vector<std::pair<int32_t, double>> points;  // index, value
    } const cases[] = {
        // Hanning, even N: 0.5 + 0.5 cos(pi x / 4) = cos^2(pi x / 8) at x = 3.5, 0.5.
        {kWindowHanning, 8, e, {{0, 0.03806023374435663}, {3, 0.9619397662556434}}},
        {kWindowHanning, 9, e, {{0, 0.0}, {2, 0.5}}},  // odd N: x = 4, 2
        // Cosine sums at N = 9: the ends are at x = h, where cos(k pi) = (-1)^k.
        {kWindowHamming, 9, e, {{0, 0.53836 - 0.46164}, {8, 0.07672}}},
        {kWindowBlackman, 9, e, {{0, 0.0}}},
        {kWindowExactBlackman, 9, e, {{0, 0.42659071 - 0.49656062 + 0.07684867}}},
        // x = 1 of h = 4: cos(pi/2) = 0 in the last term.
        {kWindowMin3Terms, 9, e, {{3, 0.4243801 + 0.4973406 * c4}}},
        {kWindowMin3Terms, 9, e, {{0, 0.4243801 - 0.4973406 + 0.07828793}}},
        {kWindowMin4Terms, 9, e, {{0, 0.3635819 - 0.4891775 + 0.1365995 - 0.0106411}}},
        // x = 2 of h = 4: cos(pi/2) = 0, cos(pi) = -1, cos(3 pi / 2) = 0.
        {kWindowMin4Terms, 9, e, {{2, 0.3635819 - 0.1365995}}},
        // Even N = 4 (h = 2): x = 0.5 and 1.5.
        {kWindowHamming, 4, e, {{1, 0.53836 + 0.46164 * c4}, {0, 0.53836 - 0.46164 * c4}}},
        // Exponential families at N = 9: index 8 is x = 4, index 6 is x = 2.
        {kWindowGaussian30, 9, e, {{8, std::exp(-4.5)}, {6, std::exp(-1.125)}}},
        // x = 3.5 of h = 4: (3.5 * 3.5 / 4)^2 / 2 = 4.689453125.
        {kWindowGaussian35, 8, e, {{7, std::exp(-4.689453125)}}},
        {kWindowPoisson30, 9, e, {{0, std::exp(-3.0)}, {7, std::exp(-2.25)}}},
        {kWindowCauchy40, 9, e, {{8, 1.0 / 17.0}, {6, 0.2}}},
        {kWindowCauchy50, 9, e, {{0, 1.0 / 26.0}, {2, 1.0 / 7.25}}},
        // Triangular, even N: x = 0.5, 1.5, ...; odd N: x = 0, 1, ...
        {kWindowTriangular, 8, 0, {{0, 0.125}, {1, 0.375}, {2, 0.625}, {3, 0.875}}},
        {kWindowTriangular, 7, e, {{0, 0.0}, {1, 1.0 / 3}, {2, 2.0 / 3}, {3, 1.0}}},
    };
    for (const Case& c : cases) {
        const std::vector<double> w = window(c.number, c.n);
        for (const auto& [i, v] : c.points)
            EXPECT_NEAR(w[i], v, c.tolerance)
                << "window " << c.number << " of " << c.n << " [" << i << "]";
    }
}

TEST(FftCoreWindow, BesselSeriesAndKaiserAgainstIndependentBessel) {
    const double pi = std::acos(-1.0);
    EXPECT_EQ(besselI0(0.0), 1.0);
    for (double z : {0.5, 1.0, 3.0, 3.0 * pi, 3.5 * pi})
        EXPECT_NEAR(besselI0(z) / std::cyl_bessel_i(0.0, z), 1.0, 1e-13) << z;
    for (int32_t n : {9, 16, 101}) {
        for (int32_t number : {kWindowKaiser30, kWindowKaiser35}) {
            const double alpha = number == kWindowKaiser30 ? 3.0 : 3.5;
            const std::vector<double> w = window(number, n);
            const double h = n / 2;
            const double norm = std::cyl_bessel_i(0.0, pi * alpha);
            for (int32_t i = 0; i < n; ++i) {
                const double x = std::fabs((n - 1) / 2.0 - i);  // distance from the centre
                const double r = std::min(x / h, 1.0);
                const double expected =
                    std::cyl_bessel_i(0.0, pi * alpha * std::sqrt(1 - r * r)) / norm;
                EXPECT_NEAR(w[i], expected, 1e-12) << n << " " << number << " " << i;
            }
        }
    }
}

TEST(FftCoreWindow, AllWindowsSymmetricAndBounded) {
    for (int32_t number = 0; number < kWindowCount; ++number) {
        // The cosine sums never exceed 1, not even by rounding.
        const bool cosineSum = number >= kWindowHanning && number <= kWindowMin4Terms;
        const double top = cosineSum ? 1.0 : 1.0 + 1e-15;
        for (int32_t n : {1, 2, 3, 8, 9, 32, 33, 1024, 1025}) {
            const std::vector<double> w = window(number, n);
            for (int32_t i = 0; i < n; ++i) {
                ASSERT_EQ(w[i], w[n - 1 - i]) << number << " " << n << " " << i;
                ASSERT_TRUE(std::isfinite(w[i])) << number << " " << n << " " << i;
                ASSERT_GE(w[i], -1e-15) << number << " " << n << " " << i;
                ASSERT_LE(w[i], top) << number << " " << n << " " << i;
            }
            // An odd window's centre is 1 (the minimum 3-term coefficients sum
            // to 1.00000863, but its centre is stored as 1.0).
            if (n % 2 == 1) {
                ASSERT_NEAR(w[n / 2], 1.0, 1e-15) << number << " " << n;
            }
            // Values fall off from the centre.
            for (int32_t i = 0; i + 1 < (n + 1) / 2; ++i) ASSERT_LE(w[i], w[i + 1] + 1e-15);
        }
    }
}

TEST(FftCoreWindow, RectangularAndUnknownNumbersFillOnes) {
    for (int32_t number : {int32_t{kWindowRectangular}, -1, 16, 1000}) {
        std::vector<double> w(8, 0.0);
        EXPECT_EQ(computeWindow(number, 8, w.data()), number == kWindowRectangular ? 0 : 1);
        for (double v : w) EXPECT_EQ(v, 1.0) << number;
    }
    EXPECT_EQ(computeWindow(kWindowHanning, 0, nullptr), 0);
}

// ---- Frame plan and frame loading ------------------------------------

TEST(FftCoreFrames, PlanForEverySignOfTheIntervalWithoutOverflow) {
    // Count, the start of one frame, and the samples of that frame that lie
    // inside the signal (the rest is padding).
    struct Case {
        int32_t length, size, interval;
        int64_t count, frame, start;
        int32_t samples;
    } const cases[] = {
        {4000, 1024, 256, 13, 12, 3072, 928},  // (4000 - 1024 + 255) / 256 + 1; padded
        {4000, 1024, 1024, 4, 3, 3072, 928},
        {4000, 1024, 4000, 2, 1, 4000, 0},
        {4096, 1024, 1024, 4, 3, 3072, 1024},
        {1000, 1024, -300, 1, 0, 0, 1000},  // start limited to L - N, then to 0
        {1000, 256, -100, 1, 0, 100, 256},
        {1000, 256, -900, 1, 0, 744, 256},
        {4000, 1024, 0, 1, 0, 0, 1024},
        {100, 512, 1024, 1, 0, 0, 100},  // L <= N
        {1024, 1024, 64, 1, 0, 0, 1024},
        {1025, 1024, 64, 2, 1, 64, 961},
        {INT32_MAX, 32, INT32_MIN, 1, 0, int64_t{INT32_MAX} - 32, 32},
        {INT32_MAX, 32, INT32_MAX, 2, 1, INT32_MAX, 0},
        {INT32_MAX, 32, 1, int64_t{INT32_MAX} - 31, int64_t{INT32_MAX} - 32,
         int64_t{INT32_MAX} - 32, 32},
    };
    for (const Case& c : cases) {
        const FftFramePlan p = fftFramePlan(c.length, c.size, c.interval);
        SCOPED_TRACE(testing::Message() << c.length << " " << c.size << " " << c.interval);
        EXPECT_EQ(p.count, c.count);
        EXPECT_EQ(p.start(c.frame), c.start);
        EXPECT_EQ(fftFrameSamples(c.length, c.size, p.start(c.frame)), c.samples);
    }
}

TEST(FftCoreFrames, SamplesAreQ15OrFloatsWindowedThenPadded) {
    EXPECT_EQ(fftSampleValue(int16_t{-32768}), -1.0);
    EXPECT_EQ(fftSampleValue(int16_t{16384}), 0.5);
    EXPECT_EQ(fftSampleValue(int16_t{32767}), 32767.0 / 32768.0);
    EXPECT_EQ(fftSampleValue(1.25f), 1.25);

    const std::vector<double> w = window(kWindowHanning, 8);
    const int16_t samples[3] = {-32768, 32767, 0};
    std::vector<double> frame(16, 9.0);
    fftLoadSamples(frame.data(), 2, samples, 3, w.data());
    EXPECT_EQ(frame[4], -1.0 * w[2]);
    EXPECT_EQ(frame[5], 0.0);
    EXPECT_EQ(frame[6], (32767.0 / 32768.0) * w[3]);
    EXPECT_EQ(frame[8], 0.0);
    EXPECT_EQ(frame[3], 9.0);  // points outside the run are left alone
    EXPECT_EQ(frame[10], 9.0);
    fftZeroPad(frame.data(), 1, 8);  // points 1 ... 7 of the frame
    std::vector<double> padded(16, 0.0);
    padded[0] = padded[1] = 9.0;
    EXPECT_EQ(frame, padded);
}

}  // namespace
}  // namespace qf
