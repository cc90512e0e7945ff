// Smoothing, sample and hold, mapping, the difference equation, linear
// combination, product, logarithm and real to whole, run through RunOp on
// hand-written signal files.  Expected samples are worked out by hand from
// the 16-bit fractional format (w stands for w / 32768; (32, 19) words hold
// v x 524288) or, for the difference equation, by a naive recursion and an
// integer model of the fixed-point arithmetic written here.
#include "ops/time/own_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "ops/time/signal_bytes.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

using OwnOps = OperationTest;

// ---------------------------------------------------------------------------
// Smoothing

TEST_F(OwnOps, SmoothingAveragesTheNextNSamplesAndShrinksAtTheEnd) {
    put("x.tim", real32File({1, 2, 3, 4, 5}, 500.0));
    const DialogAnswer n2 = [](CommandBlock& b, const HostCall& call) {
        EXPECT_EQ(call.args, (Texts{"Smooth", ".tim", "X(t)", ".tim", "{Xt+..Xt+d}/d", "(null)",
                                    "(null)", "32"}));
        EXPECT_EQ(paramInt(b, QF_P_SMOOTH_LENGTH), 10);  // the start-up length
        paramInt(b, QF_P_SMOOTH_LENGTH) = 2;
        return 0;
    };
    ASSERT_EQ(run(3260, "x.tim", "y.tim", n2), 0);
    Parsed p = get("y.tim");
    EXPECT_EQ(real32Records(p), (Floats{1.5f, 2.5f, 3.5f, 4.5f, 5.0f}));
    EXPECT_EQ(p.field("Remark"), "Smooth{x.tim(t)..(t+2)}");
    EXPECT_DOUBLE_EQ(p.rate(), 500.0);
    EXPECT_EQ(described(), "[y.tim] = smooth ([x.tim]) over 2 samples");

    // Fewer samples than N: every output is the mean of what is left.
    put("s.tim", real32File({3, 6, 9}));
    ASSERT_EQ(run(3260, "s.tim", "t.tim", with(5)), 0);
    EXPECT_EQ(floats("t.tim"), (Floats{6.0f, 7.5f, 9.0f}));
}

TEST_F(OwnOps, SmoothingSixteenBitTruncatesTowardZero) {
    // N = 3: 7/3, 5/3, 1/3, -7/3, -5/3, then (-4 + 1)/2 and 1/1.
    put("x.tim", int16File({1, 2, 4, -1, -2, -4, 1}));
    ASSERT_EQ(run(3260, "x.tim", "y.tim", with(3)), 0);
    EXPECT_EQ(words("y.tim"), (Words{2, 1, 0, -2, -1, -1, 1}));
}

TEST_F(OwnOps, SmoothingReadsNoRecordPastTheInput) {
    // 8194 words fill one 8192-record window and two records of the next;
    // two words after the declared count must never be read, nor whatever
    // the window buffer still holds past the end.
    std::vector<int16_t> x(8194, 1000);
    x[8192] = 30;
    x[8193] = 60;
    std::string bytes = int16File(x) + rawBytes(Words{30000, 30000});
    put("x.tim", bytes);
    ASSERT_EQ(run(3260, "x.tim", "y.tim", with(3)), 0);
    const Words y = words("y.tim");
    ASSERT_EQ(y.size(), 8194u);
    EXPECT_EQ(y[8189], 1000);
    EXPECT_EQ(y[8190], 676);  // (1000 + 1000 + 30) / 3
    EXPECT_EQ(y[8191], 363);  // (1000 + 30 + 60) / 3
    EXPECT_EQ(y[8192], 45);   // (30 + 60) / 2
    EXPECT_EQ(y[8193], 60);
}

// ---------------------------------------------------------------------------
// Sample and hold

TEST_F(OwnOps, SampleAndHoldKeepsTheValueAtEachUpwardCrossing) {
    put("d.tim", int16File({10, 20, 30, 40, 50}, 1000.0));
    put("c.tim", int16File({-1, 1, 1, -1, 1}, 1000.0));
    const DialogAnswer files = [](CommandBlock&, const HostCall& call) {
        EXPECT_EQ(call.args,
                  (Texts{"Sample/Hold", ".tim", "data", ".tim", "clock", ".tim", "S/H", "32"}));
        return 0;
    };
    ASSERT_EQ(run(3270, "d.tim", "s.tim", files, "c.tim"), 0);
    Parsed p = get("s.tim");
    EXPECT_EQ(int16Records(p), (Words{10, 10, 10, 40, 40}));
    EXPECT_EQ(p.field("Remark"), "{d.tim} S/H clock(c.tim)");
    EXPECT_EQ(described(), "[s.tim] = [d.tim] sample and hold by clock [c.tim]");
}

TEST_F(OwnOps, SampleAndHoldOfMixedTypesGivesFloat) {
    // 16-bit data, float clock (0.0 counts as non-negative); the clock is
    // longer, so the data's count is taken.
    put("d.tim", int16File({16384, 8192, -16384, 4096}));
    put("c.tim", real32File({-0.5f, 0.0f, -1.0f, 2.0f, -3.0f}));
    ASSERT_EQ(run(3270, "d.tim", "s.tim", nullptr, "c.tim"), 0);
    Parsed p = get("s.tim");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(real32Records(p), (Floats{0.5f, 0.5f, -0.5f, -0.5f}));

    // Float data, 16-bit clock: the data are copied as they are; the held
    // value is 0 before the first crossing.
    put("f.tim", real32File({1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f}));
    put("k.tim", int16File({5, -1, 5, -3, -3, 7}));
    ASSERT_EQ(run(3270, "f.tim", "h.tim", nullptr, "k.tim"), 0);
    EXPECT_EQ(floats("h.tim"), (Floats{0.0f, 2.5f, 2.5f, 2.5f, 5.5f, 5.5f}));
}

// ---------------------------------------------------------------------------
// Map and saturate

TEST_F(OwnOps, MappingMinusOneToOneOntoZeroToOneClips) {
    put("x.tim", real32File({-2.0f, -1.0f, -0.5f, 0.0f, 0.5f, 1.0f, 3.0f}));
    // X1 = 1, Y1 = 1, X2 = -1, Y2 = 0 in block order.
    ASSERT_EQ(run(3280, "x.tim", "m.tim", with(1.0, 1.0, -1.0, 0.0)), 0);
    EXPECT_EQ(TestHost::instance().count("dspLinearRngMapGetPara"), 1);
    Parsed p = get("m.tim");
    EXPECT_EQ(real32Records(p), (Floats{0.0f, 0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 1.0f}));
    EXPECT_EQ(p.field("Remark"), "MAP(x.tim)");
    EXPECT_EQ(described(), "[m.tim] = [x.tim] map with (1,1):(-1,0)");

    // X1 = X2: slope 1 and a step from Y2 to Y1.
    ASSERT_EQ(run(3280, "x.tim", "s.tim", with(0.0, 1.0, 0.0, -1.0)), 0);
    EXPECT_EQ(floats("s.tim"), (Floats{-1, -1, -1, 1, 1, 1, 1}));
}

TEST_F(OwnOps, MappingSixteenBitWordsByTheOverflowMode) {
    // Same map: X1 saturates to 32767, X2 = -32768, Y1 = 32768, Y2 = 0,
    // slope 0.5; trunc((x + 32768) / 2) between.
    put("x.tim", int16File({-32768, -16384, -1, 0, 1, 16384, 32767}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(3280, "x.tim", "s.tim", with(1.0, 1.0, -1.0, 0.0)), 0);
    EXPECT_EQ(words("s.tim"), (Words{0, 8192, 16383, 16384, 16384, 24576, 32767}));
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(run(3280, "x.tim", "w.tim", with(1.0, 1.0, -1.0, 0.0)), 0);
    EXPECT_EQ(words("w.tim"), (Words{0, 8192, 16383, 16384, 16384, 24576, -32768}));

    // Levels beyond one word: (0.5, -2) and (-0.5, 2), slope -4.  Y1 is
    // -65536 and Y2 65536: they saturate, or wrap to 0.
    put("y.tim", int16File({20000, 4096, 0, -20000}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(3280, "y.tim", "a.tim", with(0.5, -2.0, -0.5, 2.0)), 0);
    EXPECT_EQ(words("a.tim"), (Words{-32768, -16384, 0, 32767}));
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(run(3280, "y.tim", "b.tim", with(0.5, -2.0, -0.5, 2.0)), 0);
    EXPECT_EQ(words("b.tim"), (Words{0, -16384, 0, 0}));
}

// ---------------------------------------------------------------------------
// Difference equation

namespace {

struct DiffEq {
    double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0, y1 = 0, y2 = 0;
};

// The dialog's answer: the seven doubles from 13008 on.
DialogAnswer coefficients(const DiffEq& e) {
    return [e](CommandBlock& b, const HostCall&) {
        const double v[7] = {e.b0, e.b1, e.b2, e.a1, e.a2, e.y1, e.y2};
        std::memcpy(reinterpret_cast<unsigned char*>(&b) + QF_PARAM_OFFSET, v, sizeof v);
        return 0;
    };
}

// The recursion in long double, term by term.
std::vector<double> recursion(const DiffEq& e, const Floats& x) {
    std::vector<double> y;
    long double x1 = 0, x2 = 0, y1 = e.y1, y2 = e.y2;
    for (float v : x) {
        const long double yn =
            e.b0 * (long double)v + e.b1 * x1 + e.b2 * x2 - e.a1 * y1 - e.a2 * y2;
        x2 = x1, x1 = v, y2 = y1, y1 = yn;
        y.push_back(static_cast<double>(yn));
    }
    return y;
}

// The 16-bit path as integers: (32, 15) coefficients, each product
// truncated toward zero and every sum kept to 32 bits.
Words fixedModel(const DiffEq& e, const Words& x, char overflow) {
    auto q15 = [](double v) { return static_cast<int64_t>(std::trunc(v * 32768.0)); };
    auto wrap32 = [](__int128 v) { return static_cast<int64_t>(static_cast<int32_t>(v)); };
    auto term = [&](int64_t c, int64_t v) { return wrap32((__int128)c * v / 32768); };
    const int64_t b0 = q15(e.b0), b1 = q15(e.b1), b2 = q15(e.b2), a1 = q15(e.a1), a2 = q15(e.a2);
    int64_t x1 = 0, x2 = 0, y1 = q15(e.y1), y2 = q15(e.y2);
    Words y;
    for (int16_t v : x) {
        int64_t s = wrap32(term(b0, v) + term(b1, x1));
        s = wrap32(s + term(b2, x2));
        s = wrap32(s - term(a1, y1));
        s = wrap32(s - term(a2, y2));
        x2 = x1, x1 = v, y2 = y1, y1 = s;
        if (overflow == 's')
            y.push_back(static_cast<int16_t>(std::clamp<int64_t>(s, -32768, 32767)));
        else
            y.push_back(static_cast<int16_t>(static_cast<uint16_t>(s & 0xFFFF)));
    }
    return y;
}

}  // namespace

TEST_F(OwnOps, AccumulatorIsMarginalAndSumsTheInput) {
    put("x.tim", real32File({1, 2, 3, 4}));
    ASSERT_EQ(run(3290, "x.tim", "y.tim", coefficients({.b0 = 1, .a1 = -1, .y1 = 0.5})), 0);
    Parsed p = get("y.tim");
    EXPECT_EQ(real32Records(p), (Floats{1.5f, 3.5f, 6.5f, 10.5f}));
    EXPECT_EQ(p.field("Remark"), "Diff Eqn (x.tim)");
    EXPECT_EQ(described(), "[y.tim] = difference eqn. ([x.tim])");
    EXPECT_TRUE(messages(QF_MSG_NOTICE).empty());
    auto dialogs = TestHost::instance().callsNamed("stdGet123Files");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].args, (Texts{"Difference Equation", ".tim", "x(n)", ".tim", "y(n)",
                                      "(null)", "(null)", "32"}));

    // a2 = 1 is marginal too: y(n) = x(n) - y(n-2) rings without a notice.
    put("i.tim", real32File({1, 0, 0, 0, 0}));
    ASSERT_EQ(run(3290, "i.tim", "r.tim", coefficients({.b0 = 1, .a2 = 1})), 0);
    EXPECT_EQ(floats("r.tim"), (Floats{1, 0, -1, 0, 1}));
    EXPECT_TRUE(messages(QF_MSG_NOTICE).empty());
}

TEST_F(OwnOps, StabilityVerdicts) {
    const struct {
        double a1, a2;
        char verdict;
    } cases[] = {{0, 1, 'c'},       {0, -1, 'c'},     {0, 1.2, 'n'},   {0, -1.2, 'n'},
                 {1, 0, 'c'},       {-1, 0, 'c'},     {1.5, 0.4, 'n'}, {1.5, 0.6, 'y'},
                 {-1.8, 0.81, 'y'}, {0.5, -0.6, 'n'}, {0, 0, 'y'}};
    for (const auto& c : cases)
        EXPECT_EQ(timeops::diffEqStability(c.a1, c.a2), c.verdict) << c.a1 << " " << c.a2;
}

TEST_F(OwnOps, UnstableSystemIsNotedAndLimitedToTenToThe37) {
    // y(n) = x(n) + 100 y(n-1) - 1.2 y(n-2): |a2| > 1.
    const DiffEq e{.b0 = 1, .a1 = -100, .a2 = 1.2};
    put("x.tim", real32File({1e30f, 0, 0, 0, 0, 0}));
    ASSERT_EQ(run(3290, "x.tim", "y.tim", coefficients(e)), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE), (Texts{"The difference equation represents an unstable "
                                              "system.  Largest values limited to 1e37."}));
    const Floats y = floats("y.tim");
    ASSERT_EQ(y.size(), 6u);
    // 1e30, 1e32, 1e34 - 1.2e30, 1e36 - 2.4e32 + ..., then limited.
    const std::vector<double> free = recursion(e, {1e30f, 0, 0, 0});
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(y[i] / free[i], 1.0, 1e-6) << i;
    EXPECT_EQ(y[4], 1e37f);
    EXPECT_EQ(y[5], 1e37f);

    put("n.tim", real32File({-1e30f, 0, 0, 0, 0, 0}));
    ASSERT_EQ(run(3290, "n.tim", "z.tim", coefficients(e)), 0);
    EXPECT_EQ(floats("z.tim").back(), -1e37f);
}

TEST_F(OwnOps, FloatRecursionMatchesANaiveOneForRandomStableSystems) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int trial = 0; trial < 6; ++trial) {
        // Poles r e^(+-j theta) inside the unit circle.
        const double r = 0.2 + 0.75 * (u(rng) + 1) / 2, theta = 3.0 * (u(rng) + 1) / 2;
        const DiffEq e{.b0 = u(rng),
                       .b1 = u(rng),
                       .b2 = u(rng),
                       .a1 = -2 * r * std::cos(theta),
                       .a2 = r * r,
                       .y1 = u(rng),
                       .y2 = u(rng)};
        ASSERT_EQ(timeops::diffEqStability(e.a1, e.a2), 'y');
        Floats x(600);
        for (float& v : x) v = static_cast<float>(u(rng));
        put("x.tim", real32File(x));
        ASSERT_EQ(run(3290, "x.tim", "y.tim", coefficients(e)), 0);
        const Floats y = floats("y.tim");
        const std::vector<double> want = recursion(e, x);
        ASSERT_EQ(y.size(), want.size());
        for (std::size_t i = 0; i < y.size(); ++i)
            ASSERT_NEAR(y[i], want[i], 1e-5 * (1 + std::fabs(want[i]))) << trial << " " << i;
    }
}

TEST_F(OwnOps, SixteenBitRecursionMatchesAnIntegerModel) {
    std::mt19937 rng(777);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::uniform_int_distribution<int> w(-12000, 12000);
    std::vector<DiffEq> systems = {
        // A resonance whose outputs pass the 16-bit range: saturation and
        // wrapping differ, the 32-bit recursion does not.
        {.b0 = 0.9, .a1 = -1.6, .a2 = 0.8, .y1 = 0.25, .y2 = -0.125}};
    for (int i = 0; i < 4; ++i) {
        const double r = 0.3 + 0.6 * (u(rng) + 1) / 2, theta = 3.0 * (u(rng) + 1) / 2;
        systems.push_back({.b0 = u(rng) / 2,
                           .b1 = u(rng) / 2,
                           .b2 = u(rng) / 2,
                           .a1 = -2 * r * std::cos(theta),
                           .a2 = r * r,
                           .y1 = u(rng) / 4,
                           .y2 = u(rng) / 4});
    }
    Words x(400);
    for (int16_t& v : x) v = static_cast<int16_t>(w(rng));
    put("x.tim", int16File(x));
    for (const DiffEq& e : systems) {
        for (char mode : {'s', 'w'}) {
            qfenStatus->overflowMode = mode;
            ASSERT_EQ(run(3290, "x.tim", "y.tim", coefficients(e)), 0);
            EXPECT_EQ(words("y.tim"), fixedModel(e, x, mode)) << e.b0 << " " << mode;
        }
    }
    // The resonance does overflow 16 bits somewhere.
    const Words s = fixedModel(systems[0], x, 's');
    EXPECT_NE(std::find(s.begin(), s.end(), int16_t{32767}), s.end());
}

// ---------------------------------------------------------------------------
// Linear combination

TEST_F(OwnOps, LinearCombinationOfFloatsCopiesTheLongerTail) {
    put("a.tim", real32File({1, 2, 3}));
    put("b.tim", real32File({0.5f, 0.25f, 4, 8, 16}));
    const DialogAnswer abc = [](CommandBlock& b, const HostCall& call) {
        EXPECT_EQ(call.args, (Texts{"Linear Combination", ".tim", "a * Input 1", ".tim",
                                    "+ b * Input 2", ".tim", "+ c = Output", "32"}));
        paramDouble(b, QF_P_COMBINE_A) = 2.0;
        paramDouble(b, QF_P_COMBINE_B) = -1.0;
        paramDouble(b, QF_P_COMBINE_C) = 0.5;
        return 0;
    };
    ASSERT_EQ(run(3300, "a.tim", "c.tim", abc, "b.tim"), 0);
    Parsed p = get("c.tim");
    EXPECT_EQ(real32Records(p), (Floats{2.0f, 4.25f, 2.5f, 8.0f, 16.0f}));
    EXPECT_EQ(p.field("Remark"), "2*a.tim+-1*b.tim+0.5");
    EXPECT_EQ(described(), "[c.tim] = 2 * [a.tim] + -1 * [b.tim] + 0.5");
}

TEST_F(OwnOps, LinearCombinationOfMixedTypesScalesTheTail) {
    // 16-bit a (longer) and float b: a x1 + b x2 + c, then a x1 + c.
    put("a.tim", int16File({16384, -32768, 8192, 4096}));
    put("b.tim", real32File({1.0f, 2.0f, -4.0f}));
    ASSERT_EQ(run(3300, "a.tim", "c.tim", with(1.0, 0.5, 0.25), "b.tim"), 0);
    Parsed p = get("c.tim");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(real32Records(p), (Floats{1.25f, 0.25f, -1.5f, 0.375f}));
}

TEST_F(OwnOps, LinearCombinationOfSixteenBitWordsInNineteenFractionBits) {
    // (32, 19) coefficients: 0.3 is 157286, so 100 * 0.3 is 479 (of 2^-19),
    // 29 as a word, not 30.  32767 + 32767 wraps; the longer b is copied.
    put("a.tim", int16File({16384, 32767, 100, -100}));
    put("b.tim", int16File({-32768, 32767, 0, 0, 1234}));
    ASSERT_EQ(run(3300, "a.tim", "c.tim", with(0.5, 0.25, 0.125), "b.tim"), 0);
    // 0.25 - 0.25 + 0.125; 0.5 * 32767 -> 262136 and 0.25 * 32767 -> 131068,
    // + 65536 = 458740 -> 28671; 50 and -50 of 2^-15 (+ 4096).
    EXPECT_EQ(words("c.tim"), (Words{4096, 28671, 4146, 4046, 1234}));
    ASSERT_EQ(run(3300, "a.tim", "d.tim", with(1.0, 1.0, 0.0), "b.tim"), 0);
    EXPECT_EQ(words("d.tim")[1], -2);  // 65534 wraps
    ASSERT_EQ(run(3300, "a.tim", "e.tim", with(0.3, 1e-9, 0.0), "b.tim"), 0);
    const Words e = words("e.tim");
    EXPECT_EQ(e[2], 29);
    EXPECT_EQ(e[3], -29);
}

TEST_F(OwnOps, LinearCombinationWithBZeroReadsOneInput) {
    // No second file exists: b = 0 does not read it.
    put("x.tim", int16File({16384, -32768, 0}, 2000.0));
    ASSERT_EQ(run(3300, "x.tim", "y.tim", with(0.5, 0.0, 0.25), "absent.tim"), 0);
    Parsed p = get("y.tim");
    EXPECT_EQ(p.field("Record type number"), "INTEGER16");
    EXPECT_EQ(int16Records(p), (Words{16384, -8192, 8192}));  // 0.25 + 0.25, -0.5 + 0.25, 0.25
    EXPECT_EQ(p.field("Remark"), "0.5*x.tim+0*0+0.25");
    EXPECT_EQ(described(), "[y.tim] = 0.5 * [x.tim] + 0 * [0] + 0.25");
    EXPECT_TRUE(messages(QF_MSG_ERROR).empty());

    put("f.tim", real32File({1.0f, -3.0f, 0.5f}));
    ASSERT_EQ(run(3300, "f.tim", "g.tim", with(-2.0, 0.0, 1.0), "absent.tim"), 0);
    EXPECT_EQ(floats("g.tim"), (Floats{-1.0f, 7.0f, 0.0f}));
}

// ---------------------------------------------------------------------------
// Product of two signals

TEST_F(OwnOps, ProductOfFloatsAndOfSixteenBitWords) {
    put("a.tim", real32File({0.5f, -1.0f, 3.0f}));
    put("b.tim", real32File({4.0f, 0.25f, -2.0f, 7.0f}));
    ASSERT_EQ(run(3030, "a.tim", "p.tim", with(2.0), "b.tim"), 0);
    Parsed p = get("p.tim");
    EXPECT_EQ(real32Records(p), (Floats{4.0f, -0.5f, -12.0f, 7.0f}));
    EXPECT_EQ(p.field("Remark"), "2*a.tim*b.tim");
    EXPECT_EQ(described(), "[p.tim] = 2 * [a.tim] * [b.tim]");

    // a = 1: 0.5 * 0.5; (-1) * (-1) = 1 wraps.  a = 0.3 (157286 of 2^-19):
    // 10000 * 157286 / 2^15 = 47999, * 10000 / 2^19 = 915.  The longer
    // second input is copied.
    put("x.tim", int16File({16384, -32768, 10000, 10000}));
    put("z.tim", int16File({16384, -32768, 10000, -10000, 77}));
    ASSERT_EQ(run(3030, "x.tim", "q.tim", with(1.0), "z.tim"), 0);
    EXPECT_EQ(words("q.tim"), (Words{8192, -32768, 3051, -3051, 77}));
    ASSERT_EQ(run(3030, "x.tim", "r.tim", with(0.3), "z.tim"), 0);
    const Words r = words("r.tim");
    EXPECT_EQ(r[2], 915);
    EXPECT_EQ(r[3], -915);
}

TEST_F(OwnOps, ProductOfMixedTypes) {
    // 16-bit x float x a / 32768; the longer 16-bit tail becomes x a / 32768.
    put("a.tim", int16File({16384, 8192, 4096, 4096}));
    put("b.tim", real32File({2.0f, -4.0f, 0.5f}));
    ASSERT_EQ(run(3030, "a.tim", "p.tim", with(3.0), "b.tim"), 0);
    Parsed p = get("p.tim");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(real32Records(p), (Floats{3.0f, -3.0f, 0.1875f, 0.375f}));
    // The float input first: the same products.
    ASSERT_EQ(run(3030, "b.tim", "q.tim", with(3.0), "a.tim"), 0);
    EXPECT_EQ(floats("q.tim"), (Floats{3.0f, -3.0f, 0.1875f, 0.375f}));
}

// ---------------------------------------------------------------------------
// Logarithm and real to whole

TEST_F(OwnOps, LogarithmOfZerosAndOfFractions) {
    put("x.tim", real32File({0.0f, 100.0f, -0.001f, 1e-11f}));
    ASSERT_EQ(run(3310, "x.tim", "y.tim", with(20.0, -10.0)), 0);
    Parsed p = get("y.tim");
    expectNear(real32Records(p), {-200.0, 40.0, -60.0, -200.0}, 1e-4);
    EXPECT_EQ(p.field("Remark"), "20*log10(x.tim)");
    EXPECT_EQ(described(), "[y.tim] = 20 * log10 ([x.tim])");

    // 16-bit zeros give L itself; other words are fractions.
    put("w.tim", int16File({0, 16384, -32768}));
    ASSERT_EQ(run(3310, "w.tim", "v.tim", with(20.0, -10.0)), 0);
    p = get("v.tim");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    expectNear(real32Records(p), {-10.0, 20 * std::log10(0.5), 0.0}, 1e-5);

    // L = 32.5 passes the check and is used as 32.
    ASSERT_EQ(run(3310, "x.tim", "l.tim", with(1.0, 32.5)), 0);
    EXPECT_EQ(floats("l.tim"), (Floats{32.0f, 32.0f, 32.0f, 32.0f}));
}

TEST_F(OwnOps, RealToWholeInEachRoundingMode) {
    const struct {
        char mode;
        Floats x, y;
    } cases[] = {
        {'e',
         {0.5f, 1.5f, -1.5f, 2.5f, 3.5f, -2.5f, 1.2f, -1.7f, 0.49999997f},
         {0, 2, -2, 2, 4, -2, 1, -2, 0}},
        {'r', {-1.5f, 0.5f, 2.5f, -2.5f, 1.2f}, {-1, 1, 3, -2, 1}},
        {'t', {1.9f, -1.1f, 2.0f, -0.5f}, {1, -2, 2, -1}},
    };
    for (const auto& c : cases) {
        qfenStatus->roundingMode = c.mode;
        put("x.tim", real32File(c.x));
        ASSERT_EQ(run(3320, "x.tim", "y.tim"), 0);
        EXPECT_EQ(floats("y.tim"), c.y) << c.mode;
    }
    EXPECT_EQ(get("y.tim").field("Remark"), "int(x.tim)");
    EXPECT_EQ(described(), "[y.tim] = int ([x.tim])");
}
