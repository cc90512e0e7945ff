// The signal generators 2010-2140 run through RunOp with their dialogs
// answered by the test host.  Expected samples are worked out here from the
// defining formulas (a sine, a chirp's closed-form phase, the 15-bit
// generator x <- 214013 x + 2531011, r = (x >> 16) & 0x7FFF), never taken
// from an earlier run.
#include "ops/generate/generators.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/engine.h"
#include "core/operation.h"
#include "ops/time/signal_bytes.h"
#include "script/lines.h"

using namespace qf;
using namespace qf::gen;
using namespace qf::test;
using namespace qf::test::sig;

namespace {

using GP = GeneratorParams;

// The 15-bit generator written out again, from the engine's start-up state 1.
struct Lcg {
    uint32_t x = 1;
    int32_t next() {
        x = x * 214013u + 2531011u;
        return static_cast<int32_t>((x >> 16) & 0x7FFF);
    }
};

GP baseParams() {
    GP p{};
    p.frequencyUnit = 'h', p.phaseUnit = 'r', p.outputType = kOutputReal32;
    p.amplitude = 1.0, p.rate = 8000.0, p.frequency = 1000.0, p.sampleCount = 16;
    return p;
}

// A swept sine from 100 to 1000 Hz.
GP sweepParams(double rate, int32_t length, int32_t count, int32_t log) {
    GP p = baseParams();
    p.frequency = 100.0, p.endFrequency = 1000.0, p.rate = rate;
    p.sweepLength = length, p.sweepCount = count, p.sweepLog = log;
    return p;
}

class Generators : public OperationTest {
  protected:
    void SetUp() override {
        OperationTest::SetUp();
        runtime().randomState = 1;  // as at engine start
    }

    // Runs generator `code` into dir + name; the dialog answer writes p and,
    // if `checked`, gives the operation's check of it as the dialog result.
    int32_t generate(int32_t code, const std::string& name, const GP& p, bool checked = false) {
        std::memset(&block, 0, sizeof block);
        const std::string d = dir;
        TestHost::instance().answer([d, name, p, checked](CommandBlock& b, const HostCall&) {
            setEntry(b.out, d, name);
            generatorParams(b) = p;
            return checked ? findOperation(b.opCode)->checkParams(0) : 0;
        });
        block.opCode = code;
        return RunOp(&block);
    }

    // Calls the check of `code` on the given parameters.
    int32_t check(int32_t code, const GP& p) {
        block.opCode = code;
        generatorParams(block) = p;
        runtime().block = &block;
        return findOperation(code)->checkParams(0);
    }
};

}  // namespace

// Dialogs and parameter checks

// Each of the eleven asks its own dialog with its title, proposing
// "output.tim".
TEST_F(Generators, ElevenCodesAskTheirOwnDialogs) {
    const struct {
        int32_t code;
        const char *dialog, *title;
    } cases[] = {
        {2010, "getSweptSineParams", "Generating Sinusoidal Wave"},
        {2015, "getSweptSineParams", "Generating Swept Sine Wave"},
        {2020, "getSweptSineParams", "Generating Square Wave"},
        {2030, "getSweptSineParams", "Generating Triangular Wave"},
        {2050, "getImpuParams", "Generating Unit Sample"},
        {2060, "getImpuParams", "Generating Unit Step"},
        {2090, "getWinFunctParams", "Generating Window Function"},
        {2110, "getSincFunctParams", "Generating Sinc Function"},
        {2120, "getRampFunctParams", "Generating Ramp Function"},
        {2130, "getExpFunctParams", "Generating Exp. Function"},
        {2140, "getNoiseFunctParams", "Generating Noise Function"},
    };
    for (const auto& c : cases) {
        std::memset(&block, 0, sizeof block);
        std::string seenName;
        TestHost::instance().answer([&seenName](CommandBlock& b, const HostCall&) {
            seenName = b.out.n;
            return 1;  // cancel
        });
        block.opCode = c.code;
        EXPECT_EQ(RunOp(&block), 1);
        const auto calls = TestHost::instance().callsNamed(c.dialog);
        ASSERT_FALSE(calls.empty()) << c.code;
        EXPECT_EQ(calls.back().args[0], c.title);
        EXPECT_EQ(seenName, "output.tim");
    }
}

TEST_F(Generators, ChecksRefuseEachBadParameterWithItsCode) {
    const struct {
        const char* name;
        int32_t code;
        void (*set)(GP&);
        int32_t expected;
    } cases[] = {
        {"valid", 2010, [](GP&) {}, 0},
        {"negative delay", 2050, [](GP& p) { p.delay = -1; }, 60},
        {"negative amplitude", 2010, [](GP& p) { p.amplitude = -0.5; }, 80},
        {"16-bit 1.5", 2010, [](GP& p) { p.outputType = kOutputInteger16, p.amplitude = 1.5; }, 81},
        {"float amplitude 1.5", 2010, [](GP& p) { p.amplitude = 1.5; }, 0},
        {"negative offset", 2010, [](GP& p) { p.offset = -0.1; }, 90},
        {"16-bit 0.75 + 0.5", 2010,
         [](GP& p) { p.outputType = kOutputInteger16, p.amplitude = 0.75, p.offset = 0.5; }, 91},
        {"zero rate", 2120, [](GP& p) { p.rate = 0.0; }, 100},
        {"zero frequency, periodic", 2020, [](GP& p) { p.frequency = 0.0; }, 110},
        {"zero frequency, ramp", 2120, [](GP& p) { p.frequency = 0.0; }, 0},
        {"end frequency at half the rate", 2015, [](GP& p) { p.endFrequency = 4000.0; }, 112},
        {"end frequency below half", 2015, [](GP& p) { p.endFrequency = 3999.0; }, 0},
        {"frequency at half the rate", 2030, [](GP& p) { p.frequency = 4000.0; }, 111},
        {"frequency just below half", 2020,
         [](GP& p) { p.frequency = std::nextafter(4000.0, 0.0); }, 0},
        {"first failure wins", 2010, [](GP& p) { p.delay = -1, p.rate = -1.0; }, 60},
        // NaN and infinities are refused before the comparisons they would slip through.
        {"NaN rate", 2090, [](GP& p) { p.rate = NAN; }, 101},
        {"infinite rate", 2010, [](GP& p) { p.rate = INFINITY; }, 101},
        {"NaN amplitude", 2050, [](GP& p) { p.amplitude = NAN; }, 82},
        {"infinite amplitude", 2130, [](GP& p) { p.amplitude = INFINITY; }, 82},
        {"NaN offset", 2010, [](GP& p) { p.offset = NAN; }, 92},
        {"NaN frequency", 2020, [](GP& p) { p.frequency = NAN; }, 113},
        {"NaN end frequency", 2015, [](GP& p) { p.endFrequency = NAN; }, 113},
        {"infinite phase", 2030, [](GP& p) { p.phase = -INFINITY; }, 120},
        {"NaN ramp end", 2120, [](GP& p) { p.rampEnd = NAN; }, 121},
        {"infinite decay", 2130, [](GP& p) { p.decay = INFINITY; }, 122},
        {"uniform noise low > high", 2140,
         [](GP& p) { p.noiseType = kUniformNoise, p.noiseParam1[1] = 1, p.noiseParam2[1] = -1; },
         130},
        {"uniform noise NaN bound", 2010,
         [](GP& p) { p.noiseType = kUniformNoise, p.noiseParam2[1] = NAN; }, 130},
        {"uniform noise low = high", 2140,
         [](GP& p) { p.noiseType = kUniformNoise, p.noiseParam1[1] = p.noiseParam2[1] = 0.5; }, 0},
        {"normal noise negative variance", 2140,
         [](GP& p) { p.noiseType = kNormalNoise, p.noiseParam2[2] = -1; }, 131},
        {"normal noise infinite mean", 2140,
         [](GP& p) { p.noiseType = kNormalNoise, p.noiseParam1[2] = INFINITY; }, 131},
        // Fields a generator does not use are not looked at.
        {"NaN phase, window", 2090, [](GP& p) { p.phase = NAN, p.frequency = NAN; }, 0},
        {"NaN decay, sine", 2010, [](GP& p) { p.decay = NAN, p.rampStart = NAN; }, 0},
        {"NaN uniform bounds, no noise", 2010, [](GP& p) { p.noiseParam1[1] = NAN; }, 0},
    };
    for (const auto& c : cases) {
        GP p = baseParams();
        c.set(p);
        EXPECT_EQ(check(c.code, p), c.expected) << c.name;
    }
}

// A refused check (the host dialog runs it and gives up), a noise dialog
// left at "No noise", an unsupported type or an impossible count: no file.
TEST_F(Generators, NothingIsGeneratedFromUnusableParameters) {
    const struct {
        const char* name;
        int32_t code;
        void (*set)(GP&);
        int32_t expected;
        bool checked;    // the dialog runs the check and gives up on a refusal
        bool cancelled;  // the operation code becomes 9999
    } cases[] = {
        {"refused", 2010, [](GP& p) { p.frequency = 4000.0; }, 111, true, true},
        {"no noise", 2140, [](GP& p) { p.noiseType = kNoNoise; }, 1, false, true},
        {"complex", 2010, [](GP& p) { p.outputType = 8; }, 1, false, false},
        {"negative count", 2010, [](GP& p) { p.sampleCount = -3; }, 1, false, false},
        // 10^10 samples do not fit a 32-bit count
        {"big", 2015, [](GP& p) { p = sweepParams(8000, 100000, 100000, 0); }, 1, false, false},
    };
    for (const auto& c : cases) {
        GP p = baseParams();
        c.set(p);
        EXPECT_EQ(generate(c.code, "x.tim", p, c.checked), c.expected) << c.name;
        EXPECT_FALSE(exists("x.tim")) << c.name;
        EXPECT_EQ(status().busy, 'n') << c.name;
        EXPECT_TRUE(!c.cancelled || block.opCode == 9999) << c.name;
    }
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Cannot generate 100000 sweeps of 100000 samples.");
}

// Periodic generators

TEST_F(Generators, FloatSineFollowsAmplitudePhaseOffsetAndUnitsAndIsDescribed) {
    GP p = baseParams();
    p.amplitude = 2.5, p.offset = 0.25, p.phase = 30.0, p.phaseUnit = 'd';
    p.frequency = 440.0, p.sampleCount = 50;
    ASSERT_EQ(generate(2010, "s.tim", p), 0);
    Parsed f = get("s.tim");
    EXPECT_EQ(f.count(), 50);
    EXPECT_EQ(f.values({"Record type number", "Remark", "Signal frequency", "Sampling rate"}),
              (Texts{"REAL32", "Sine Wave", "440 Hz", "8000 Hz"}));
    EXPECT_EQ(described(), "[s.tim] = Sine Wave of 440 Hz at 8000 Hz sampling rate.");
    EXPECT_EQ(status().busy, 'n');
    EXPECT_STREQ(block.in1.n, "s.tim");  // the proposed input of the next operation
    std::vector<double> expected;
    for (int i = 0; i < 50; ++i)
        expected.push_back(2.5 * std::sin(2 * M_PI * 440.0 * i / 8000.0 - M_PI / 6) + 0.25);
    expectNear(real32Records(f), expected, 1e-6);

    // Radian units convert the header but not the phase step.
    p = baseParams();
    p.frequencyUnit = 'r', p.rate = 1.0, p.sampleCount = 4;
    p.frequency = 0.25;  // w0 = 2 pi 0.25 / 1 = pi / 2 in any unit mode
    ASSERT_EQ(generate(2010, "r.tim", p), 0);
    Parsed r = get("r.tim");
    EXPECT_NEAR(std::atof(r.field("Sampling rate").c_str()), 2 * M_PI, 1e-5);
    EXPECT_NEAR(std::atof(r.field("Signal frequency").c_str()), 0.25 / (2 * M_PI), 1e-6);
    expectNear(real32Records(r), {0.0, 1.0, 0.0, -1.0}, 1e-7);
}

TEST_F(Generators, Int16SinePeaksAtPlusAndMinus32767InBinaryAndText) {
    GP p = baseParams();
    p.outputType = kOutputInteger16, p.sampleCount = 8;
    p.frequency = 2000.0;  // a quarter of the rate: 0, peak, 0, trough, ...
    const std::vector<int16_t> expected{0, 32767, 0, -32767, 0, 32767, 0, -32767};
    ASSERT_EQ(generate(2010, "s.tim", p), 0);
    EXPECT_EQ(words("s.tim"), expected);
    EXPECT_EQ(get("s.tim").field("Record type number"), "INTEGER16");
    status().outputFormat = 'a';
    ASSERT_EQ(generate(2010, "a.tim", p), 0);
    EXPECT_FALSE(get("a.tim").binary);
    EXPECT_EQ(words("a.tim"), expected);
}

TEST_F(Generators, SquareAndTriangleAtHandPoints) {
    using XV = std::pair<double, double>;  // x, g(x)
    // -0.5 + 2 pi lies in the second half of the square's period.
    const XV square[] = {{0.0, 1.0}, {M_PI, -1.0}, {2 * M_PI + 0.5, 1.0}, {-0.5, -1.0}};
    const XV triangle[] = {
        {M_PI / 4, 0.5}, {M_PI / 2, 1.0}, {M_PI, 0.0}, {3 * M_PI / 2, -1.0}, {7 * M_PI / 4, -0.5}};
    GeneratorState s;
    for (auto [x, v] : square) EXPECT_EQ(squareValue(s, x), v) << x;
    for (auto [x, v] : triangle) EXPECT_NEAR(triangleValue(s, x), v, 1e-15) << x;

    // Through the operation at a quarter of the rate.
    GP p = baseParams();
    p.frequency = 2000.0, p.sampleCount = 8;
    ASSERT_EQ(generate(2020, "q.tim", p), 0);
    EXPECT_EQ(floats("q.tim"), (std::vector<float>{1, 1, -1, -1, 1, 1, -1, -1}));
    EXPECT_EQ(get("q.tim").field("Remark"), "Square Wave");
    ASSERT_EQ(generate(2030, "t.tim", p), 0);
    EXPECT_EQ(get("t.tim").field("Remark"), "Triangular Wave");
    expectNear(floats("t.tim"), {0, 1, 0, -1, 0, 1, 0, -1}, 1e-6);
}

TEST_F(Generators, SweepsRunFrom100To1000HzLinearlyOrLogarithmically) {
    GP p = sweepParams(2048.0, 1000, 3, 0);
    p.sampleCount = 5;  // replaced by sweepLength x sweepCount
    ASSERT_EQ(generate(2015, "w.tim", p), 0);
    Parsed f = get("w.tim");
    EXPECT_EQ(f.count(), 3000);
    EXPECT_EQ(f.field("Remark"), "Swept Sine Wave - linear type");
    const std::vector<float> v = real32Records(f);
    ASSERT_EQ(v.size(), 3000u);
    // Closed form of a linear chirp over k = 1 ... L: phase x(k) = (b k + a) k
    // with a = f1 w, b = (f2 - f1) w / 2L, w = 2 pi / fs; its frequency
    // f1 + (f2 - f1) k / L is 1000 Hz at k = L.
    const double w = 2 * M_PI / 2048.0, a = 100.0 * w, b = 900.0 / 2000.0 * w;
    for (int k = 1; k <= 1000; ++k) ASSERT_NEAR(v[k - 1], std::sin((b * k + a) * k), 2e-6) << k;
    // Each sweep starts again at 100 Hz, continuing the phase where the
    // previous one stopped (reduced to one turn).
    const double psi = std::fmod((1000 * b + a) * 1000, 2 * M_PI);
    EXPECT_NEAR(v[1000], std::sin(b + a + psi), 1e-6);
    EXPECT_NEAR(v[1001], std::sin((2 * b + a) * 2 + psi), 1e-6);

    ASSERT_EQ(generate(2015, "l.tim", sweepParams(8000.0, 50, 1, 1)), 0);
    EXPECT_EQ(get("l.tim").field("Remark"), "Swept Sine Wave - log type");
    const std::vector<float> l = floats("l.tim");
    ASSERT_EQ(l.size(), 50u);
    // x(k) = (c ln k + d) k with c = (f2 - f1) / ln L and d = f1 - c, so that
    // dx/dk = c ln k + f1 runs from f1 at k = 1 to f2 at k = L.
    const double w8 = 2 * M_PI / 8000.0, c = 900.0 / std::log(50.0), d = 100.0 - c;
    for (int k = 1; k <= 50; ++k)
        EXPECT_NEAR(l[k - 1], std::sin((c * std::log(k) + d) * k * w8), 2e-6) << k;
}

// Noise

TEST_F(Generators, PoissonAddsNothingAndNormalNoiseComesInCosineSinePairs) {
    // Noise ignores amplitude and offset; Poisson draws no random numbers.
    GP p = baseParams();
    p.noiseType = kPoissonNoise, p.amplitude = 0.5, p.offset = 0.25, p.sampleCount = 4;
    ASSERT_EQ(generate(2140, "p.tim", p), 0);
    EXPECT_EQ(floats("p.tim"), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(runtime().randomState, 1u);

    p.noiseType = kNormalNoise, p.sampleCount = 5;
    p.noiseParam1[2] = 0.5, p.noiseParam2[2] = 2.0;  // mean, variance
    ASSERT_EQ(generate(2140, "g.tim", p), 0);
    EXPECT_EQ(get("g.tim").field("Remark"), "Noise Function - Normal");
    Lcg g;
    std::vector<double> expected;
    for (int pair = 0; pair < 3; ++pair) {
        const double rho = std::sqrt((std::log(32768.0) - std::log(g.next() + 1.0)) * 2.0 * 2.0);
        const double theta = g.next() * (2 * M_PI / 32768);
        expected.insert(expected.end(), {rho * std::cos(theta) + 0.5, rho * std::sin(theta) + 0.5});
    }
    expected.resize(5);
    expectNear(floats("g.tim"), expected, 1e-5);
}

TEST_F(Generators, UniformNoiseStartsWith41AndOverTheTopWrapsOrClipsByGenerator) {
    // 1 * 214013 + 2531011 = 2745024; 2745024 >> 16 = 41.
    EXPECT_EQ(EngineRuntime{}.randomState, 1u);
    EXPECT_EQ(nextRandom(), 41);
    runtime().randomState = 1;
    GP p = baseParams();
    p.noiseType = kUniformNoise, p.noiseParam1[1] = 0.0, p.noiseParam2[1] = 1.0, p.sampleCount = 3;
    ASSERT_EQ(generate(2140, "n.tim", p), 0);
    EXPECT_EQ(get("n.tim").field("Remark"), "Noise Function - Uniform");
    // The generator is never reseeded: the next run continues the sequence.
    ASSERT_EQ(generate(2140, "n2.tim", p), 0);
    Lcg g;
    for (const char* name : {"n.tim", "n2.tim"}) {
        const std::vector<float> v = floats(name);
        ASSERT_EQ(v.size(), 3u);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(v[i], static_cast<float>(g.next() * 3.05185e-5)) << name << i;
    }

    // Sine of amplitude 1 at a quarter of the rate, plus uniform noise in
    // [0, 0.5): the peaks pass full scale and trunc(v * 32767) is clipped or
    // keeps its low 16 bits.
    p.outputType = kOutputInteger16, p.frequency = 2000.0, p.sampleCount = 8;
    p.noiseParam2[1] = 0.5;
    for (char mode : {'s', 'w'}) {
        status().overflowMode = mode;
        Lcg r{runtime().randomState};
        ASSERT_EQ(generate(2010, "n16.tim", p), 0);
        const std::vector<int16_t> v = words("n16.tim");
        ASSERT_EQ(v.size(), 8u);
        for (int i = 0; i < 8; ++i) {
            const double x = std::sin(i * M_PI / 2) + r.next() * (0.5 * 3.05185e-5);
            const int64_t t = static_cast<int64_t>(x * 32767.0);
            EXPECT_EQ(v[i], mode == 's' ? std::clamp<int64_t>(t, -32768, 32767)
                                        : static_cast<int16_t>(t & 0xFFFF))
                << mode << i;
        }
        EXPECT_TRUE(mode == 's' ? v[1] == 32767 && v[5] == 32767 : v[1] < 0 && v[5] < 0) << mode;
    }
    // An aperiodic generator clips whatever the overflow mode ('w') says.
    p.delay = 0, p.sampleCount = 4;
    ASSERT_EQ(generate(2060, "step.tim", p), 0);
    EXPECT_EQ(words("step.tim"), std::vector<int16_t>(4, 32767));
}

// Aperiodic generators

TEST_F(Generators, UnitSampleAndStep) {
    const struct {
        int32_t code, delay;
        const char* remark;
        std::vector<float> expected;
    } cases[] = {
        {2050, 0, "Impulse", {0.75f, 0, 0, 0, 0}},
        {2050, 5, "Impulse", {0, 0, 0, 0, 0}},  // at or past the end: nothing but zeros
        {2060, 2, "Step Function", {0, 0, 0.75f, 0.75f, 0.75f}},
    };
    GP p = baseParams();
    p.amplitude = 0.75, p.sampleCount = 5;
    for (const auto& c : cases) {
        p.delay = c.delay;
        ASSERT_EQ(generate(c.code, "u.tim", p), 0);
        EXPECT_EQ(floats("u.tim"), c.expected) << c.code << " " << c.delay;
        EXPECT_EQ(get("u.tim").field("Remark"), c.remark);
        EXPECT_EQ(get("u.tim").field("Signal frequency"), "0 Hz");
    }
}

TEST_F(Generators, WindowSincRampAndExponential) {
    GP p = baseParams();
    p.windowNumber = 0, p.sampleCount = 6;
    p.amplitude = 0.5;  // not applied
    ASSERT_EQ(generate(2090, "win.tim", p), 0);
    EXPECT_EQ(floats("win.tim"), (std::vector<float>(6, 1.0f)));
    EXPECT_EQ(get("win.tim").field("Remark"), "Window Function - Rectangular");
    EXPECT_EQ(described(),
              "[win.tim] = Window Function - Rectangular of 1000 Hz at 8000 Hz sampling rate.");

    p.windowNumber = 1, p.sampleCount = 9;
    ASSERT_EQ(generate(2090, "han.tim", p), 0);
    EXPECT_EQ(get("han.tim").field("Remark"), "Window Function - Hanning");
    const std::vector<float> h = floats("han.tim");
    ASSERT_EQ(h.size(), 9u);
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(h[i] == h[8 - i] && h[i] >= 0 && h[i] <= 1) << i;

    p = baseParams();
    p.sampleCount = 5, p.sincCenter = 2;
    p.rate = 1000.0;  // step = 500 pi / 1000 = pi / 2
    ASSERT_EQ(generate(2110, "sinc.tim", p), 0);
    EXPECT_EQ(get("sinc.tim").field("Remark"), "Sinc Function");
    // sin(x) / x at x = -pi, -pi/2, 0, pi/2, pi
    expectNear(floats("sinc.tim"), {0.0, 2.0 / M_PI, 1.0, 2.0 / M_PI, 0.0}, 1e-7);
    EXPECT_EQ(floats("sinc.tim")[2], 1.0f);

    p.rampStart = -1.0, p.rampEnd = 1.0, p.sampleCount = 4;
    ASSERT_EQ(generate(2120, "ramp.tim", p), 0);
    // step (1 - -1) / 4: the last sample stays one step short of the end.
    EXPECT_EQ(floats("ramp.tim"), (std::vector<float>{-1.0f, -0.5f, 0.0f, 0.5f}));
    EXPECT_EQ(get("ramp.tim").field("Remark"), "Ramp Function");

    p.amplitude = 0.5, p.decay = 0.5, p.sampleCount = 3;
    ASSERT_EQ(generate(2130, "exp.tim", p), 0);
    EXPECT_EQ(get("exp.tim").field("Remark"), "Exponential Function");
    expectNear(floats("exp.tim"), {0.5, 0.5 * std::exp(-0.5), 0.5 * std::exp(-1.0)}, 1e-7);

    // exp(-100) = 3.7e-44 is below the smallest normal float: it becomes 0.
    p.amplitude = 1.0, p.decay = 100.0, p.sampleCount = 2;
    ASSERT_EQ(generate(2130, "tiny.tim", p), 0);
    EXPECT_EQ(floats("tiny.tim"), (std::vector<float>{1.0f, 0.0f}));
}

// Script lines

namespace {

class GeneratorScript : public Generators {
  protected:
    std::string write(int32_t code, const GP& p, const std::string& outDir,
                      const std::string& outName) {
        std::memset(&block, 0, sizeof block);
        block.opCode = code;
        setEntry(block.out, outDir, outName);
        generatorParams(block) = p;
        return lineWritten();
    }
    // Reads a line into a cleared block, or (fresh false) into the block
    // the last line left.
    int32_t read(int32_t code, const std::string& line, bool fresh = true) {
        if (fresh) std::memset(&block, 0, sizeof block);
        block.opCode = code;
        return lineRead(line);
    }
};

}  // namespace

TEST_F(GeneratorScript, SineLineHasTheFixedLayout) {
    GP p = baseParams();
    p.phaseUnit = 'd', p.frequency = 440.0, p.sampleCount = 1000, p.phase = 90.0;
    p.amplitude = 0.5, p.offset = 0.25, p.outputType = kOutputInteger16;
    p.noiseType = kUniformNoise, p.noiseParam1[1] = -0.125, p.noiseParam2[1] = 0.125;
    // code, the 18-character name, seven blanks, directory and name with '*'
    // for blanks, then the fields
    EXPECT_EQ(write(2010, p, "/data/my dir/", "my sine.tim"),
              std::string("2010 ") + "Sinusoidal        " + "       " +
                  "/data/my*dir/ my*sine.tim hdb 440 8000 1000 90 0.5 0.25 0 1 -0.125 0.125\r\n");
}

TEST_F(GeneratorScript, EveryLayoutSurvivesWriteAndRead) {
    GP p{};
    p.frequencyUnit = 'h', p.outputType = kOutputReal32, p.rate = 22050.0;
    p.noiseType = kNormalNoise, p.noiseParam1[2] = 0.5, p.noiseParam2[2] = 0.0625;
    p.frequency = 50.0, p.endFrequency = 5000.0, p.phase = -45.0, p.amplitude = 0.75;
    p.offset = 0.125, p.sweepLength = 300, p.sweepCount = 4, p.sweepLog = 1;
    p.sampleCount = 1200, p.delay = 17, p.windowNumber = 13, p.sincCenter = 256;
    p.rampStart = -2.5, p.rampEnd = 7.25, p.decay = 0.015625;

    // The fields each line carries back besides the unit, type, rate and noise.
    const struct {
        int32_t code;
        std::vector<double GP::*> reals;
        std::vector<int32_t GP::*> ints;
    } cases[] = {
        {2010, {&GP::frequency, &GP::phase, &GP::amplitude, &GP::offset}, {&GP::sampleCount}},
        {2015,
         {&GP::frequency, &GP::endFrequency, &GP::phase, &GP::amplitude, &GP::offset},
         {&GP::sweepLength, &GP::sweepCount, &GP::sweepLog}},
        {2020, {}, {&GP::sampleCount}},
        {2030, {}, {&GP::sampleCount}},
        {2050, {&GP::amplitude}, {&GP::delay, &GP::sampleCount}},
        {2060, {}, {&GP::sampleCount}},
        {2090, {}, {&GP::windowNumber}},
        {2110, {}, {&GP::sincCenter}},
        {2120, {&GP::rampStart, &GP::rampEnd}, {}},
        {2130, {&GP::amplitude, &GP::decay}, {}},
        {2140, {}, {&GP::sampleCount}},
    };
    for (const auto& c : cases) {
        p.phaseUnit = c.code == 2015 ? 'r' : 'd';
        const std::string line = write(c.code, p, dir + "a b/", "out file.tim");
        EXPECT_TRUE(line.ends_with("\r\n")) << line;
        status().outputFormat = 'a';  // the line says 'b'
        ASSERT_EQ(read(c.code, line), 0) << line;
        EXPECT_EQ(status().outputFormat, 'b');
        EXPECT_STREQ(block.out.n, "out file.tim");
        EXPECT_EQ(std::string(block.out.p), dir + "a b/");
        const GP& q = generatorParams(block);
        EXPECT_EQ(q.frequencyUnit, 'h') << c.code;
        EXPECT_TRUE(c.code > 2015 || q.phaseUnit == p.phaseUnit) << c.code;  // sines only
        for (auto f : {&GP::outputType, &GP::noiseType}) EXPECT_EQ(q.*f, p.*f) << c.code;
        EXPECT_TRUE(q.noiseParam1[2] == 0.5 && q.noiseParam2[2] == 0.0625) << c.code;
        EXPECT_EQ(q.rate, p.rate) << c.code;
        for (auto f : c.reals) EXPECT_EQ(q.*f, p.*f) << c.code;
        for (auto f : c.ints) EXPECT_EQ(q.*f, p.*f) << c.code;
    }
}

TEST_F(GeneratorScript, ShortLinesAreMalformedAndBadParametersAreErrors) {
    const std::string good =
        "2050 Unit_Sample              /tmp/ u.tim hb 8000 100 5 1 2 0 0 0\r\n";
    EXPECT_EQ(read(2050, good), 0);
    EXPECT_EQ(generatorParams(block).delay, 5);
    EXPECT_EQ(read(2050, "2050 Unit_Sample              /tmp/ u.tim hb 8000 100 5 1 2 0 0"), 1);
    // The format letter is stored as written.
    EXPECT_EQ(read(2050, "2050 Unit_Sample       /tmp/ u.tim hx 8000 100 5 1 2 0 0 0"), 0);
    EXPECT_EQ(status().outputFormat, 'x');
    // delay -5 fails the check: a parameter error
    EXPECT_EQ(read(2050, "2050 Unit_Sample       /tmp/ u.tim hb 8000 100 -5 1 2 0 0 0"), 2);
    // So do a NaN rate, an infinite amplitude and uniform noise from 1 down to -1.
    for (const char* line : {"2050 Unit_Sample       /tmp/ u.tim hb nan 100 5 1 2 0 0 0",
                             "2050 Unit_Sample       /tmp/ u.tim hb 8000 100 5 inf 2 0 0 0",
                             "2050 Unit_Sample       /tmp/ u.tim hb 8000 100 5 1 2 1 1 -1"})
        EXPECT_EQ(read(2050, line), 2) << line;
    // noise type 6 is taken modulo 4: normal noise with its two values
    EXPECT_EQ(read(2140, "2140 NoiseFunction     /tmp/ n.tim ha 8000 10 2 6 0.5 2"), 0);
    const GP& p = generatorParams(block);
    EXPECT_EQ(p.noiseType, 2);
    EXPECT_EQ(p.noiseParam1[2], 0.5);
    EXPECT_EQ(p.noiseParam2[2], 2.0);
    EXPECT_EQ(status().outputFormat, 'a');
}

TEST_F(GeneratorScript, FieldsALineLacksKeepTheLastLinesValues) {
    // A float sine of amplitude 2 and frequency 100 ...
    ASSERT_EQ(read(2010, "2010 Sinusoidal  /tmp/ s.tim hrb 100 8000 64 0 2 0.5 2 0 0 0"), 0);
    // ... leaves both in the block: a unit sample line carries its own
    // amplitude, a 16-bit window line none, so the amplitude of 2 still
    // fails the 16-bit check.
    ASSERT_EQ(read(2050, "2050 Unit_Sample  /tmp/ u.tim hb 8000 100 5 0.5 2 0 0 0", false), 0);
    EXPECT_EQ(generatorParams(block).frequency, 100.0);
    EXPECT_EQ(generatorParams(block).offset, 0.5);
    ASSERT_EQ(read(2010, "2010 Sinusoidal  /tmp/ s.tim hrb 100 8000 64 0 2 0 2 0 0 0"), 0);
    EXPECT_EQ(read(2090, "2090 WindowFunction  /tmp/ w.tim hb 1 8000 64 0 0 0 0", false), 2);
}

TEST_F(GeneratorScript, ReplayedLineGeneratesTheSignal) {
    GP p = baseParams();
    p.sampleCount = 4, p.frequency = 2000.0;  // a quarter of the rate
    ASSERT_EQ(read(2010, write(2010, p, dir, "replayed.tim")), 0);
    OperationRecord* r = findOperation(2010);
    ASSERT_EQ(r->execute(0, r), 0);
    expectNear(floats("replayed.tim"), {0, 1, 0, -1}, 1e-7);
}
