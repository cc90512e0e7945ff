// FFT core: transforms against a naive long-double DFT and against a literal
// pass-after-pass transform (bit for bit), windows against hand-worked values
// and an independent Bessel function, and the frame plan and frame loading
// against the worked examples of the FFT operation.
#include "ops/spectral/fft_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
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

// Naive DFT in long double: X[k] = sum_n x[n] e^(sign 2 pi i n k / M).
Complex naiveDft(const Complex& x, double sign) {
    const size_t m = x.size() / 2;
    const long double pi = 3.141592653589793238462643383279503L;
    std::vector<long double> cosT(m), sinT(m);
    for (size_t r = 0; r < m; ++r) {
        cosT[r] = std::cos(2 * pi * r / m);
        sinT[r] = sign * std::sin(2 * pi * r / m);
    }
    Complex out(2 * m);
    for (size_t k = 0; k < m; ++k) {
        long double re = 0, im = 0;
        for (size_t n = 0; n < m; ++n) {
            const size_t r = (n * k) % m;
            re += x[2 * n] * cosT[r] - x[2 * n + 1] * sinT[r];
            im += x[2 * n] * sinT[r] + x[2 * n + 1] * cosT[r];
        }
        out[2 * k] = static_cast<double>(re);
        out[2 * k + 1] = static_cast<double>(im);
    }
    return out;
}

// One bin of the forward DFT in long double.
void naiveBin(const Complex& x, size_t k, double& re, double& im) {
    const size_t m = x.size() / 2;
    const long double pi = 3.141592653589793238462643383279503L;
    long double sr = 0, si = 0;
    for (size_t n = 0; n < m; ++n) {
        const long double a = -2 * pi * static_cast<long double>((n * k) % m) / m;
        sr += x[2 * n] * std::cos(a) - x[2 * n + 1] * std::sin(a);
        si += x[2 * n] * std::sin(a) + x[2 * n + 1] * std::cos(a);
    }
    re = static_cast<double>(sr);
    im = static_cast<double>(si);
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
// another, with the twiddles of the rotation recurrence and the counting bit
// reversal.  sign -1 forward, +1 inverse (unscaled).
void literalTransform(Complex& x, double sign) {
    const int32_t m = static_cast<int32_t>(x.size() / 2);
    std::vector<double> tw(m > 1 ? m : 2);
    if (m / 2 - 1 >= 1) {
        const double theta = 4.0 * std::atan(1.0) / (m / 2);
        const double cs = std::cos(theta);
        const double sn = sign < 0 ? -std::sin(theta) : std::sin(theta);
        double c = cs, s = sn;
        for (int32_t k = 1; k <= m / 2 - 1; ++k) {
            tw[2 * (k - 1)] = c;
            tw[2 * (k - 1) + 1] = s;
            const double c2 = c * cs - s * sn;
            const double s2 = c * sn + s * cs;
            c = c2;
            s = s2;
        }
    }
    int32_t half = m;
    int32_t stride = 1;
    for (int32_t stage = 0; (1 << stage) < m; ++stage) {
        half = half / 2;
        for (int32_t j = 0; j < m; j += 2 * half) {
            const double ar = x[2 * j], ai = x[2 * j + 1];
            const double br = x[2 * (j + half)], bi = x[2 * (j + half) + 1];
            x[2 * j] = ar + br;
            x[2 * j + 1] = ai + bi;
            x[2 * (j + half)] = ar - br;
            x[2 * (j + half) + 1] = ai - bi;
        }
        for (int32_t mm = 1; mm < half; ++mm) {
            const double wr = tw[2 * (mm * stride - 1)];
            const double wi = tw[2 * (mm * stride - 1) + 1];
            for (int32_t j = mm; j < m; j += 2 * half) {
                const double ar = x[2 * j], ai = x[2 * j + 1];
                const double br = x[2 * (j + half)], bi = x[2 * (j + half) + 1];
                x[2 * j] = ar + br;
                x[2 * j + 1] = ai + bi;
                const double dr = ar - br, di = ai - bi;
                x[2 * (j + half)] = dr * wr - di * wi;
                x[2 * (j + half) + 1] = dr * wi + di * wr;
            }
        }
        stride = stride * 2;
    }
    int32_t j = 0;
    for (int32_t i = 1; i <= m - 2; ++i) {
        int32_t k = m / 2;
        while (k <= j) {
            j = j - k;
            k = k / 2;
        }
        j = j + k;
        if (i < j) {
            std::swap(x[2 * i], x[2 * j]);
            std::swap(x[2 * i + 1], x[2 * j + 1]);
        }
    }
}

FftWorkspace workspaceFor(int32_t n) {
    FftWorkspace ws;
    EXPECT_EQ(ws.allocate(n), 0);
    return ws;
}

// ---- Transforms ---------------------------------------------------------

TEST(FftCoreTransform, ImpulseGivesFlatSpectrum) {
    for (int32_t n : {1, 2, 4, 32, 256, 1024, 4096, 1 << 16}) {
        FftWorkspace ws = workspaceFor(n);
        Complex x(2 * static_cast<size_t>(n), 0.0);
        x[0] = 1.0;
        ASSERT_EQ(fftForward(ws, x.data(), ws.stages), 0);
        for (int32_t k = 0; k < n; ++k) {
            ASSERT_EQ(x[2 * k], 1.0) << "n=" << n << " bin " << k;
            ASSERT_EQ(x[2 * k + 1], 0.0) << "n=" << n << " bin " << k;
        }
    }
}

TEST(FftCoreTransform, ForwardMatchesNaiveDft) {
    for (int32_t n : {2, 4, 8, 16, 32, 64, 128, 512, 1024, 2048, 4096}) {
        FftWorkspace ws = workspaceFor(n);
        Complex x = randomSignal(n, 1000 + n);
        const Complex expected = naiveDft(x, -1.0);
        ASSERT_EQ(fftForward(ws, x.data(), ws.stages), 0);
        EXPECT_LT(relativeError(x, expected), 1e-9) << "n=" << n;
    }
}

TEST(FftCoreTransform, InverseMatchesScaledNaiveDft) {
    for (int32_t n : {2, 8, 64, 1024, 4096}) {
        FftWorkspace ws = workspaceFor(n);
        Complex x = randomSignal(n, 2000 + n);
        Complex expected = naiveDft(x, +1.0);
        for (double& v : expected) v /= n;
        ASSERT_EQ(fftInverse(ws, x.data(), ws.stages), 0);
        EXPECT_LT(relativeError(x, expected), 1e-9) << "n=" << n;
    }
}

TEST(FftCoreTransform, LargeTransformsMatchNaiveBins) {
    for (int32_t n : {1 << 15, 1 << 17}) {
        FftWorkspace ws = workspaceFor(n);
        Complex x = randomSignal(n, 3000 + n);
        const Complex input = x;
        ASSERT_EQ(fftForward(ws, x.data(), ws.stages), 0);
        double peak = 0;
        for (double v : x) peak = std::max(peak, std::fabs(v));
        for (size_t k : {size_t{0}, size_t{1}, size_t{3}, size_t{777}, size_t(n / 2 - 1),
                         size_t(n / 2), size_t(n / 2 + 5), size_t(n - 1)}) {
            double re = 0, im = 0;
            naiveBin(input, k, re, im);
            EXPECT_LT(std::fabs(x[2 * k] - re) / peak, 1e-9) << "n=" << n << " bin " << k;
            EXPECT_LT(std::fabs(x[2 * k + 1] - im) / peak, 1e-9) << "n=" << n << " bin " << k;
        }
    }
}

TEST(FftCoreTransform, BitIdenticalToPassAfterPassTransform) {
    for (int32_t stages = 0; stages <= 17; ++stages) {
        const int32_t n = 1 << stages;
        FftWorkspace ws = workspaceFor(n);
        Complex x = randomSignal(n, 4000 + n);
        Complex forward = x;
        literalTransform(forward, -1.0);
        Complex y = x;
        ASSERT_EQ(fftForward(ws, y.data(), stages), 0);
        for (size_t i = 0; i < y.size(); ++i)
            ASSERT_EQ(y[i], forward[i]) << "n=" << n << " i=" << i;

        Complex inverse = x;
        literalTransform(inverse, +1.0);
        for (double& v : inverse) v = v * (1.0 / n);
        ws.buildTwiddles = true;
        ASSERT_EQ(fftInverse(ws, x.data(), stages), 0);
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(x[i], inverse[i]) << "n=" << n << " i=" << i;
    }
}

TEST(FftCoreTransform, InverseUndoesForward) {
    for (int32_t n : {32, 1024, 1 << 16}) {
        FftWorkspace ws = workspaceFor(n);
        const Complex x = randomSignal(n, 5000 + n);
        Complex y = x;
        ASSERT_EQ(fftForward(ws, y.data(), ws.stages), 0);
        ws.buildTwiddles = true;
        ASSERT_EQ(fftInverse(ws, y.data(), ws.stages), 0);
        // The recurrence's twiddles drift by about k ulps along the table.
        EXPECT_LT(relativeError(y, x), n <= 1024 ? 1e-12 : 1e-10) << "n=" << n;
    }
}

TEST(FftCoreTransform, ComplexExponentialGivesOneBin) {
    const int32_t n = 256;
    const int32_t k0 = 37;
    FftWorkspace ws = workspaceFor(n);
    Complex x(2 * n);
    const double pi = std::acos(-1.0);
    for (int32_t i = 0; i < n; ++i) {
        x[2 * i] = std::cos(2 * pi * k0 * i / n);
        x[2 * i + 1] = std::sin(2 * pi * k0 * i / n);
    }
    ASSERT_EQ(fftForward(ws, x.data(), ws.stages), 0);
    for (int32_t k = 0; k < n; ++k) {
        EXPECT_NEAR(x[2 * k], k == k0 ? n : 0.0, 1e-10) << k;
        EXPECT_NEAR(x[2 * k + 1], 0.0, 1e-10) << k;
    }
}

TEST(FftCoreTransform, TwiddleTableAndBuildFlag) {
    const int32_t n = 64;
    FftWorkspace ws = workspaceFor(n);
    EXPECT_TRUE(ws.buildTwiddles);
    ASSERT_EQ(ws.twiddle.size(), size_t(n));  // n/2 entries of two doubles
    const double theta = std::acos(-1.0) / (n / 2);

    Complex x = randomSignal(n, 6000);
    ASSERT_EQ(fftForward(ws, x.data(), ws.stages), 0);
    EXPECT_TRUE(ws.buildTwiddles);  // the forward transform leaves the flag set
    for (int32_t k = 1; k < n / 2; ++k) {
        EXPECT_NEAR(ws.twiddle[2 * (k - 1)], std::cos(k * theta), 1e-14);
        EXPECT_NEAR(ws.twiddle[2 * (k - 1) + 1], -std::sin(k * theta), 1e-14);
    }

    ASSERT_EQ(fftInverse(ws, x.data(), ws.stages), 0);
    EXPECT_FALSE(ws.buildTwiddles);  // the inverse clears it
    for (int32_t k = 1; k < n / 2; ++k)
        EXPECT_NEAR(ws.twiddle[2 * (k - 1) + 1], std::sin(k * theta), 1e-14);

    // With the flag clear the table is used as it stands: a second inverse
    // frame is still an inverse transform ...
    Complex y = randomSignal(n, 6001);
    Complex expected = naiveDft(y, +1.0);
    for (double& v : expected) v /= n;
    ASSERT_EQ(fftInverse(ws, y.data(), ws.stages), 0);
    EXPECT_LT(relativeError(y, expected), 1e-12);
    // ... and a forward call without setting the flag transforms with the
    // inverse twiddles (no scaling).
    Complex z = randomSignal(n, 6002);
    const Complex unscaled = naiveDft(z, +1.0);
    ASSERT_EQ(fftForward(ws, z.data(), ws.stages), 0);
    EXPECT_LT(relativeError(z, unscaled), 1e-12);
    // Setting the flag restores the forward table.
    ws.buildTwiddles = true;
    Complex w = randomSignal(n, 6003);
    const Complex forward = naiveDft(w, -1.0);
    ASSERT_EQ(fftForward(ws, w.data(), ws.stages), 0);
    EXPECT_LT(relativeError(w, forward), 1e-12);
}

TEST(FftCoreTransform, MismatchedSizeIsRefused) {
    FftWorkspace ws;
    Complex x = randomSignal(8, 7000);
    const Complex before = x;
    EXPECT_EQ(fftForward(ws, x.data(), 3), 1);  // nothing allocated
    ASSERT_EQ(ws.allocate(16), 0);
    EXPECT_EQ(fftForward(ws, x.data(), 3), 1);
    EXPECT_EQ(fftInverse(ws, x.data(), 3), 1);
    EXPECT_EQ(x, before);
}

TEST(FftCoreWorkspace, AllocateAndRelease) {
    FftWorkspace ws;
    EXPECT_FALSE(ws.allocated());
    EXPECT_EQ(ws.allocate(1000), 1);
    EXPECT_EQ(ws.allocate(0), 1);
    EXPECT_EQ(ws.allocate(-64), 1);
    EXPECT_FALSE(ws.allocated());
    ASSERT_EQ(ws.allocate(2048), 0);
    EXPECT_EQ(ws.size, 2048);
    EXPECT_EQ(ws.stages, 11);
    EXPECT_EQ(ws.window.size(), 2048u);
    EXPECT_EQ(ws.work.size(), 4096u);
    EXPECT_EQ(ws.twiddle.size(), 2048u);
    EXPECT_TRUE(ws.buildTwiddles);
    ws.release();
    EXPECT_FALSE(ws.allocated());
    EXPECT_TRUE(ws.window.empty());
    EXPECT_TRUE(ws.work.empty());
}

TEST(FftCoreWorkspace, StagesOfSizes) {
    EXPECT_EQ(fftStagesOf(32), 5);
    EXPECT_EQ(fftStagesOf(1024), 10);
    EXPECT_EQ(fftStagesOf(1048576), 20);
    EXPECT_EQ(fftStagesOf(1), 0);
    EXPECT_EQ(fftStagesOf(1000), -1);
    EXPECT_EQ(fftStagesOf(0), -1);
    EXPECT_EQ(fftStagesOf(-32), -1);
}

// ---- Windows ------------------------------------------------------------

std::vector<double> window(int32_t number, int32_t n) {
    std::vector<double> w(static_cast<size_t>(n), -7.0);
    EXPECT_EQ(computeWindow(number, n, w.data()), 0);
    return w;
}

TEST(FftCoreWindow, RectangularIsAllOnes) {
    for (double v : window(kWindowRectangular, 8)) EXPECT_EQ(v, 1.0);
}

TEST(FftCoreWindow, HanningEvenLength) {
    const std::vector<double> w = window(kWindowHanning, 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(w[i], w[7 - i]);
        EXPECT_GT(w[i], 0.0);
    }
    EXPECT_EQ(w[3], w[4]);
    // 0.5 + 0.5 cos(pi x / 4) = cos^2(pi x / 8) at x = 3.5 and 0.5.
    EXPECT_NEAR(w[0], 0.03806023374435663, 1e-15);
    EXPECT_NEAR(w[3], 0.9619397662556434, 1e-15);
}

TEST(FftCoreWindow, HanningOddLength) {
    const std::vector<double> w = window(kWindowHanning, 9);
    EXPECT_EQ(w[0], 0.0);
    EXPECT_EQ(w[8], 0.0);
    EXPECT_EQ(w[4], 1.0);
    EXPECT_NEAR(w[2], 0.5, 1e-15);  // x = 2: 0.5 + 0.5 cos(pi / 2)
    EXPECT_NEAR(w[6], 0.5, 1e-15);
}

TEST(FftCoreWindow, CosineSumValues) {
    // N = 9: the ends are at x = h, where cos(k pi) = (-1)^k.
    std::vector<double> w = window(kWindowHamming, 9);
    EXPECT_NEAR(w[0], 0.53836 - 0.46164, 1e-15);  // 0.07672
    EXPECT_NEAR(w[8], 0.07672, 1e-15);
    EXPECT_NEAR(w[4], 1.0, 1e-15);
    w = window(kWindowBlackman, 9);
    EXPECT_NEAR(w[0], 0.0, 1e-15);
    EXPECT_NEAR(w[4], 1.0, 1e-15);
    w = window(kWindowExactBlackman, 9);
    EXPECT_NEAR(w[0], 0.42659071 - 0.49656062 + 0.07684867, 1e-15);
    w = window(kWindowMin3Terms, 9);
    EXPECT_EQ(w[4], 1.0);  // the coefficients sum to 1.00000863: stored as 1.0
    EXPECT_NEAR(w[3], 0.4243801 + 0.4973406 * std::cos(std::acos(-1.0) / 4) + 0.07828793 * 0.0,
                1e-15);  // x = 1 of h = 4: cos(pi/2) = 0 in the last term
    EXPECT_NEAR(w[0], 0.4243801 - 0.4973406 + 0.07828793, 1e-15);
    w = window(kWindowMin4Terms, 9);
    EXPECT_NEAR(w[0], 0.3635819 - 0.4891775 + 0.1365995 - 0.0106411, 1e-15);
    // x = 2 of h = 4: cos(pi/2) = 0, cos(pi) = -1, cos(3 pi / 2) = 0.
    EXPECT_NEAR(w[2], 0.3635819 - 0.1365995, 1e-15);
    // Even N = 4 (h = 2): x = 0.5 and 1.5 for Hamming.
    w = window(kWindowHamming, 4);
    EXPECT_NEAR(w[1], 0.53836 + 0.46164 * std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(w[0], 0.53836 - 0.46164 * std::sqrt(0.5), 1e-15);
}

TEST(FftCoreWindow, CosineSumsNeverExceedOne) {
    for (int32_t number = kWindowHanning; number <= kWindowMin4Terms; ++number)
        for (int32_t n : {1, 3, 9, 33, 1025})
            for (double v : window(number, n)) EXPECT_LE(v, 1.0) << number;
}

TEST(FftCoreWindow, ExponentialFamilies) {
    // N = 9: h = 4, index 8 is x = 4 and index 6 is x = 2.
    std::vector<double> w = window(kWindowGaussian30, 9);
    EXPECT_NEAR(w[8], std::exp(-4.5), 1e-15);
    EXPECT_NEAR(w[6], std::exp(-1.125), 1e-15);
    EXPECT_EQ(w[4], 1.0);
    w = window(kWindowGaussian35, 8);  // x = 3.5: (3.5 * 3.5 / 4)^2 / 2 = 4.689453125
    EXPECT_NEAR(w[7], std::exp(-4.689453125), 1e-15);
    w = window(kWindowPoisson30, 9);
    EXPECT_NEAR(w[0], std::exp(-3.0), 1e-15);
    EXPECT_NEAR(w[7], std::exp(-2.25), 1e-15);
    w = window(kWindowPoisson40, 9);
    EXPECT_NEAR(w[8], std::exp(-4.0), 1e-15);
    w = window(kWindowCauchy40, 9);
    EXPECT_NEAR(w[8], 1.0 / 17.0, 1e-15);
    EXPECT_NEAR(w[6], 0.2, 1e-15);
    w = window(kWindowCauchy50, 9);
    EXPECT_NEAR(w[0], 1.0 / 26.0, 1e-15);
    EXPECT_NEAR(w[2], 1.0 / 7.25, 1e-15);
}

TEST(FftCoreWindow, TriangularRunsOfX) {
    // Even N: x = 0.5, 1.5, ...; odd N: x = 0, 1, ...
    const std::vector<double> even = window(kWindowTriangular, 8);
    const double expectEven[8] = {0.125, 0.375, 0.625, 0.875, 0.875, 0.625, 0.375, 0.125};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(even[i], expectEven[i]) << i;
    const std::vector<double> odd = window(kWindowTriangular, 7);
    const double expectOdd[7] = {0.0, 1.0 / 3, 2.0 / 3, 1.0, 2.0 / 3, 1.0 / 3, 0.0};
    for (int i = 0; i < 7; ++i) EXPECT_NEAR(odd[i], expectOdd[i], 1e-15) << i;
}

TEST(FftCoreWindow, KaiserAgainstIndependentBessel) {
    const double pi = std::acos(-1.0);
    for (int32_t n : {9, 16, 101}) {
        for (int32_t number : {kWindowKaiser30, kWindowKaiser35}) {
            const double alpha = number == kWindowKaiser30 ? 3.0 : 3.5;
            const std::vector<double> w = window(number, n);
            const double h = n / 2;
            const double x0 = n % 2 == 0 ? 0.5 : 0.0;
            const double norm = std::cyl_bessel_i(0.0, pi * alpha);
            for (int32_t i = 0; i < n; ++i) {
                const double x = std::fabs((n - 1) / 2.0 - i);  // distance from the centre
                ASSERT_NEAR(x, x0 + std::floor(x), 1e-12);
                const double r = std::min(x / h, 1.0);
                const double expected =
                    std::cyl_bessel_i(0.0, pi * alpha * std::sqrt(1 - r * r)) / norm;
                EXPECT_NEAR(w[i], expected, 1e-12) << n << " " << number << " " << i;
            }
        }
    }
}

TEST(FftCoreWindow, BesselSeries) {
    EXPECT_EQ(besselI0(0.0), 1.0);
    for (double z : {0.5, 1.0, 3.0, 3.0 * std::acos(-1.0), 3.5 * std::acos(-1.0)})
        EXPECT_NEAR(besselI0(z) / std::cyl_bessel_i(0.0, z), 1.0, 1e-13) << z;
}

TEST(FftCoreWindow, AllWindowsSymmetricAndBounded) {
    for (int32_t number = 0; number < kWindowCount; ++number) {
        for (int32_t n : {1, 2, 3, 8, 9, 32, 33, 1024}) {
            const std::vector<double> w = window(number, n);
            for (int32_t i = 0; i < n; ++i) {
                ASSERT_EQ(w[i], w[n - 1 - i]) << number << " " << n << " " << i;
                ASSERT_TRUE(std::isfinite(w[i])) << number << " " << n << " " << i;
                ASSERT_GE(w[i], -1e-15) << number << " " << n << " " << i;
                ASSERT_LE(w[i], 1.0 + 1e-15) << number << " " << n << " " << i;
            }
            // Values fall off from the centre.
            for (int32_t i = 0; i + 1 < (n + 1) / 2; ++i) ASSERT_LE(w[i], w[i + 1] + 1e-15);
        }
    }
}

TEST(FftCoreWindow, OnePointWindowIsItsCentre) {
    EXPECT_EQ(window(kWindowHanning, 1)[0], 1.0);
    EXPECT_EQ(window(kWindowTriangular, 1)[0], 1.0);
    EXPECT_EQ(window(kWindowGaussian30, 1)[0], 1.0);
    EXPECT_EQ(window(kWindowCauchy50, 1)[0], 1.0);
    EXPECT_NEAR(window(kWindowKaiser35, 1)[0], 1.0, 1e-15);
    EXPECT_EQ(window(kWindowMin3Terms, 1)[0], 1.0);
}

TEST(FftCoreWindow, UnknownNumberFillsOnes) {
    for (int32_t number : {-1, 16, 1000}) {
        std::vector<double> w(8, 0.0);
        EXPECT_EQ(computeWindow(number, 8, w.data()), 1);
        for (double v : w) EXPECT_EQ(v, 1.0);
    }
    EXPECT_EQ(computeWindow(kWindowHanning, 0, nullptr), 0);
}

// ---- Frame plan and frame loading ------------------------------------

TEST(FftCoreFrames, PlanForEverySignOfTheInterval) {
    FftFramePlan p = fftFramePlan(4000, 1024, 256);
    EXPECT_EQ(p.count, 13);  // (4000 - 1024 + 255) / 256 + 1
    EXPECT_EQ(p.start(0), 0);
    EXPECT_EQ(p.start(12), 3072);
    EXPECT_EQ(fftFrameSamples(4000, 1024, p.start(12)), 928);  // padded from the end
    EXPECT_EQ(fftFrameSamples(4000, 1024, p.start(11)), 1024);

    p = fftFramePlan(4000, 1024, 1024);
    EXPECT_EQ(p.count, 4);
    EXPECT_EQ(p.start(3), 3072);
    p = fftFramePlan(4000, 1024, 4000);
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(p.start(1), 4000);
    EXPECT_EQ(fftFrameSamples(4000, 1024, p.start(1)), 0);
    p = fftFramePlan(4096, 1024, 1024);
    EXPECT_EQ(p.count, 4);

    p = fftFramePlan(1000, 1024, -300);  // start limited to L - N, then to 0
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.start(0), 0);
    EXPECT_EQ(fftFrameSamples(1000, 1024, 0), 1000);
    p = fftFramePlan(1000, 256, -100);
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.start(0), 100);
    p = fftFramePlan(1000, 256, -900);
    EXPECT_EQ(p.start(0), 744);

    p = fftFramePlan(4000, 1024, 0);
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.start(0), 0);
    p = fftFramePlan(100, 256, 64);  // L <= N
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.start(0), 0);
    p = fftFramePlan(1024, 1024, 64);
    EXPECT_EQ(p.count, 1);
    p = fftFramePlan(1025, 1024, 64);
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(fftFrameSamples(1025, 1024, p.start(1)), 961);
}

TEST(FftCoreFrames, PlanExtremesDoNotOverflow) {
    FftFramePlan p = fftFramePlan(INT32_MAX, 32, INT32_MIN);
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.start(0), int64_t{INT32_MAX} - 32);
    p = fftFramePlan(INT32_MAX, 32, INT32_MAX);
    EXPECT_EQ(p.count, 2);
    p = fftFramePlan(INT32_MAX, 32, 1);
    EXPECT_EQ(p.count, int64_t{INT32_MAX} - 31);
    EXPECT_EQ(fftFrameSamples(INT32_MAX, 32, p.start(p.count - 1)), 32);
}

TEST(FftCoreFrames, SixteenBitSamplesAreQ15) {
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
}

TEST(FftCoreFrames, ShortFloatSignalIsWindowedThenPadded) {
    // 100 REAL32 samples, N = 512, Hanning: 100 windowed samples, 412 zeros.
    const int32_t n = 512;
    std::vector<float> signal(100);
    for (int i = 0; i < 100; ++i) signal[i] = 0.01f * (i + 1);
    FftWorkspace ws = workspaceFor(n);
    ASSERT_EQ(computeWindow(kWindowHanning, n, ws.window.data()), 0);
    const FftFramePlan plan = fftFramePlan(100, n, 1024);
    ASSERT_EQ(plan.count, 1);
    const int32_t count = fftFrameSamples(100, n, plan.start(0));
    ASSERT_EQ(count, 100);
    std::vector<double> frame(2 * n, 5.0);
    fftLoadSamples(frame.data(), 0, signal.data(), count, ws.window.data());
    fftZeroPad(frame.data(), count, n);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(frame[2 * i], static_cast<double>(signal[i]) * ws.window[i]);
        EXPECT_EQ(frame[2 * i + 1], 0.0);
    }
    for (int i = 100; i < n; ++i) {
        EXPECT_EQ(frame[2 * i], 0.0);
        EXPECT_EQ(frame[2 * i + 1], 0.0);
    }
}

TEST(FftCoreFrames, FloatImpulseFrameGivesFlatSpectrum) {
    const int32_t n = 256;
    FftWorkspace ws = workspaceFor(n);
    ASSERT_EQ(computeWindow(kWindowRectangular, n, ws.window.data()), 0);
    std::vector<float> signal(300, 0.0f);
    signal[0] = 1.0f;
    std::vector<double> frame(2 * n);
    fftLoadSamples(frame.data(), 0, signal.data(), n, ws.window.data());
    ASSERT_EQ(fftForward(ws, frame.data(), ws.stages), 0);
    for (int32_t k = 0; k < n; ++k) {
        EXPECT_EQ(frame[2 * k], 1.0);
        EXPECT_EQ(frame[2 * k + 1], 0.0);
    }
}

}  // namespace
}  // namespace qf
