// Operation 5180, the least-squares inverse (Wiener) filter, through RunOp
// with the recording test host.  The reference solves the same normal
// equations by Gaussian elimination for every delay:
//   r(k) = sum_{n=k..N-1} h(n) h(n-k),  c(k) = sum_{n=k..N-1} d_D(n) h(n-k)
//   sum_j r(|i-j|) f(j) = c(i),  E(D) = sum_n (d_D(n) - sum_{j<=n} f(j) h(n-j))^2
// and keeps the first delay of least E.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "ops/spectral/model_files.h"
#include "ops/spectral/models.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;
using namespace qf::test::models;

namespace {

using Vector = std::vector<double>;

// Solves A x = b by elimination with partial pivoting.
Vector eliminate(std::vector<Vector> a, Vector b) {
    const std::size_t n = b.size();
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < n; ++row)
            if (std::fabs(a[row][col]) > std::fabs(a[pivot][col])) pivot = row;
        std::swap(a[col], a[pivot]);
        std::swap(b[col], b[pivot]);
        for (std::size_t row = col + 1; row < n; ++row) {
            const double m = a[row][col] / a[col][col];
            for (std::size_t k = col; k < n; ++k) a[row][k] -= m * a[col][k];
            b[row] -= m * b[col];
        }
    }
    Vector x(n);
    for (std::size_t i = n; i-- > 0;) {
        double s = b[i];
        for (std::size_t k = i + 1; k < n; ++k) s -= a[i][k] * x[k];
        x[i] = s / a[i][i];
    }
    return x;
}

struct Design {
    Vector f;
    std::size_t delay = 0;
    double error = 0;
};

Design referenceDesign(const Vector& h, const Vector& d) {
    const std::size_t n = h.size();
    std::vector<Vector> r(n, Vector(n));
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            const std::size_t k = i > j ? i - j : j - i;
            for (std::size_t m = k; m < n; ++m) r[i][j] += h[m] * h[m - k];
        }
    const std::size_t step = std::max<std::size_t>(1, n / 256);
    Design best;
    for (std::size_t delay = 0; delay < n; delay += step) {
        Vector shifted(n, 0.0), c(n, 0.0);
        for (std::size_t i = delay; i < n; ++i) shifted[i] = d[i - delay];
        for (std::size_t k = 0; k < n; ++k)
            for (std::size_t m = k; m < n; ++m) c[k] += shifted[m] * h[m - k];
        const Vector f = eliminate(r, c);
        double e = 0;
        for (std::size_t i = 0; i < n; ++i) {
            double y = 0;
            for (std::size_t j = 0; j <= i; ++j) y += f[j] * h[i - j];
            e += (shifted[i] - y) * (shifted[i] - y);
        }
        if (delay == 0 || e < best.error) best = {f, delay, e};
    }
    return best;
}

Vector unitSample(std::size_t n, std::size_t at) {
    Vector v(n, 0.0);
    v[at] = 1.0;
    return v;
}

std::vector<float> asFloats(const Vector& v) {
    return std::vector<float>(v.begin(), v.end());
}

class Wiener : public OperationTest {
  protected:
    int32_t design(const std::string& h, const std::string& d, const std::string& out = "f.tim") {
        return run(QF_OP_WIENER, h, out, {[this, out](CommandBlock& b, const HostCall& call) {
                       EXPECT_EQ(call.name, "stdGet123Files");
                       EXPECT_EQ(call.args.at(0), "Wiener Filter");
                       setEntry(b.out, dir, out);
                       return 0;
                   }},
                   d);
    }
    std::vector<float> taps() { return floats("f.tim"); }
};

}  // namespace

TEST_F(Wiener, AnImpulseInvertsToItself) {
    put("h.tim", real32File(asFloats(unitSample(64, 0)), 11025.0));
    ASSERT_EQ(design("h.tim", "h.tim"), 0);
    EXPECT_EQ(taps(), asFloats(unitSample(64, 0)));
    const Parsed p = get("f.tim");
    EXPECT_EQ(p.field("Remark"), "h(n) of FIR Least-Squares Inverse Filter from [h.tim]");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(p.rate(), 11025.0);
    EXPECT_EQ(described(), "[f.tim] = Wiener Filter from [h.tim]");
}

TEST_F(Wiener, MatchesTheNormalEquationsSolvedByEliminationAtTheBestDelay) {
    Noise noise(17);
    for (const auto& [n, seed] : {std::pair{12, 1}, {9, 2}, {20, 3}}) {
        SCOPED_TRACE(n);
        Vector h(n), d(n);
        for (int i = 0; i < n; ++i) {
            h[i] = static_cast<float>(std::pow(0.6, i) * (1 + noise.next()));
            d[i] = static_cast<float>(noise.next() + (i == seed ? 1.0 : 0.0));
        }
        put("h.tim", real32File(asFloats(h)));
        put("d.tim", real32File(asFloats(d)));
        ASSERT_EQ(design("h.tim", "d.tim"), 0);
        const Design want = referenceDesign(h, d);
        const std::vector<float> f = taps();
        ASSERT_EQ(f.size(), static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(f[i], want.f[i], 1e-6 * (1 + std::fabs(want.f[i]))) << i;

        // The same through the design routines on the doubles.
        WienerWork w;
        ASSERT_TRUE(w.start(n));
        w.h = h;
        w.d = d;
        wienerAutocorrelation(w);
        EXPECT_EQ(static_cast<std::size_t>(wienerDesign(w)), want.delay);
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(w.f[i], want.f[i], 1e-9 * (1 + std::fabs(want.f[i])));
        EXPECT_NEAR(wienerSolve(w, static_cast<int32_t>(want.delay)), want.error,
                    1e-9 * (1 + want.error));
    }
}

TEST_F(Wiener, DelaysAreTriedInStepsOfAFraction256OfTheLength) {
    // h = unit sample at 3, d = unit sample at 0: r = (1, 0, ...), so
    // f(k) = d_D(k + 3) and E(D) = 1 for D < 3, 0 from D = 3 on.  With one
    // step per delay D = 3 wins (tap 0); with N = 520 the step is 2 and D = 4
    // wins (tap 1).
    for (const auto& [n, tap] : {std::pair{200, 0}, {520, 1}}) {
        SCOPED_TRACE(n);
        put("h.tim", real32File(asFloats(unitSample(n, 3))));
        put("d.tim", real32File(asFloats(unitSample(n, 0))));
        ASSERT_EQ(design("h.tim", "d.tim"), 0);
        EXPECT_EQ(taps(), asFloats(unitSample(n, tap)));
    }
}

TEST_F(Wiener, TheInverseOfAMinimumPhaseFirIsNearADelayedImpulse) {
    Vector h(64, 0.0);
    h[0] = 1.0;
    h[1] = 0.5;
    h[2] = 0.2;
    put("h.tim", real32File(asFloats(h)));
    put("d.tim", real32File(asFloats(unitSample(64, 0))));
    ASSERT_EQ(design("h.tim", "d.tim"), 0);
    const std::vector<float> f = taps();
    Vector y(64, 0.0);
    for (int n = 0; n < 64; ++n)
        for (int j = 0; j <= n; ++j) y[n] += f[j] * h[n - j];
    std::size_t peak = 0;
    for (std::size_t n = 1; n < y.size(); ++n)
        if (std::fabs(y[n]) > std::fabs(y[peak])) peak = n;
    for (std::size_t n = 0; n < y.size(); ++n) EXPECT_NEAR(y[n], n == peak ? 1.0 : 0.0, 1e-6) << n;
}

TEST_F(Wiener, SilenceLeavesTheTapsAtZero) {
    // r(0) = 0: nothing to solve.
    put("h.tim", real32File(std::vector<float>(32, 0.0f)));
    put("d.tim", real32File(asFloats(unitSample(32, 0))));
    ASSERT_EQ(design("h.tim", "d.tim"), 0);
    EXPECT_EQ(taps(), std::vector<float>(32, 0.0f));
}

TEST_F(Wiener, LongSignalsAreCutWithANotice) {
    // 16-bit words enter as fractions: h = 0x4000 (1/2) then zeros inverts
    // d = 1/4 to 1/2.
    std::vector<int16_t> h(3000, 0);
    h[0] = 0x4000;
    put("h.tim", int16File(h));
    std::vector<float> d(100, 0.0f);
    d[0] = 0.25f;
    put("d.tim", real32File(d));
    ASSERT_EQ(design("h.tim", "d.tim"), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Number of samples in 'h.tim' exceed 2048.  Only the first 2048 samples will be "
              "used.");
    const std::vector<float> f = taps();
    ASSERT_EQ(f.size(), 100u);
    EXPECT_EQ(f[0], 0.5f);

    // A desired response longer than the system is cut to it.
    put("long.tim", real32File(std::vector<float>(3000, 0.0f)));
    put("s.tim", real32File(asFloats(unitSample(50, 0))));
    ASSERT_EQ(design("s.tim", "long.tim"), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Number of samples in 'long.tim' exceed 2048.  Only the first 2048 samples will be "
              "used.");
    EXPECT_EQ(taps().size(), 50u);
    put("d60.tim", real32File(std::vector<float>(60, 0.0f)));
    ASSERT_EQ(design("s.tim", "d60.tim"), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "There are more samples in the desired response then in the system response.  "
              "Extra samples ignored.");
    EXPECT_EQ(taps().size(), 50u);
}

TEST_F(Wiener, InputsThatCannotBeUsedAreReportedAndAskedAgain) {
    put("x.tim", real32File(std::vector<float>(20, 0.5f)));
    put("f.tim", complexFile());
    put("m.tim", realtimeFile(ramp(40), 2, -1.0, 1.0));
    put("one.tim", realtimeFile(ramp(40), 1, -1.0, 1.0));
    const std::string channels =
        "'m.tim' is a multi-channel signal.  Only single channel signal is supported.";
    const struct {
        const char* h;
        const char* d;
        std::string message;
    } cases[] = {
        {"none.tim", "x.tim", "Error reading 'none.tim'."},
        {"x.tim", "nod.tim", "Error reading 'nod.tim'."},
        {"f.tim", "x.tim", "Input signal must be time signal."},
        {"x.tim", "f.tim", "Input signal must be time signal."},
        {"m.tim", "x.tim", channels},
        {"x.tim", "m.tim", channels},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TestHost::instance().reset();
        EXPECT_EQ(run(QF_OP_WIENER, c.h, "out.tim",
                      {[](CommandBlock&, const HostCall&) { return 0; },
                       [](CommandBlock&, const HostCall&) { return 1; }},
                      c.d),
                  1);
        EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), c.message);
        EXPECT_EQ(TestHost::instance().count("stdGet123Files"), 2);
        EXPECT_FALSE(exists("out.tim"));
    }
    // A one-channel recording is a time signal like any other.
    ASSERT_EQ(design("one.tim", "one.tim"), 0);
    EXPECT_EQ(taps().size(), 40u);
}

TEST_F(Wiener, ScriptLinesRoundTripAndAcceptTheNotices) {
    put("h.tim", real32File(asFloats(unitSample(30, 0))));
    put("long.tim", real32File(std::vector<float>(2100, 0.0f)));
    put("f.tim", complexFile());
    const std::string sub = dir + "my dir/";
    block.opCode = QF_OP_WIENER;
    setEntry(block.in1, dir, "h.tim");
    setEntry(block.in2, sub, "d 1.tim");
    setEntry(block.out, dir, "inverse.tim");
    const std::string line = writtenLine(block, dir + "w.scr");
    EXPECT_EQ(line, "5180 G(Z)=1/H(Z)              " + dir + " h.tim " + escaped(sub) +
                        " d*1.tim " + dir + " inverse.tim\r\n");
    const std::string head = "5180 G(Z)=1/H(Z)              " + dir + " ";
    const std::pair<std::string, int32_t> cases[] = {
        {head + "h.tim " + dir + " h.tim " + dir + " o.tim", 0},
        {head + "long.tim " + dir + " h.tim " + dir + " o.tim", 0},  // h cut to 2048
        {head + "h.tim " + dir + " long.tim " + dir + " o.tim", 0},  // d cut to 2048
        {head + "f.tim " + dir + " h.tim " + dir + " o.tim", 2},
        {head + "h.tim " + dir + " h.tim " + dir, 1},
    };
    for (const auto& [text, result] : cases)
        EXPECT_EQ(readLine(block, QF_OP_WIENER, text), result) << text;
    ASSERT_EQ(readLine(block, QF_OP_WIENER,
                       head + "h.tim " + dir + " h.tim " + escaped(sub) + " o*1.tim"),
              0);
    EXPECT_STREQ(block.out.p, sub.c_str());
    EXPECT_STREQ(block.out.n, "o 1.tim");
}
