// The signal generators 2010-2140 run through RunOp with their dialogs
// answered by the test host.  Expected samples are worked out here from the
// defining formulas (a sine, a chirp's closed-form phase, the 15-bit
// generator x <- 214013 x + 2531011, r = (x >> 16) & 0x7FFF), never taken
// from an earlier run.
#include "ops/generate/generators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/engine.h"
#include "core/operation.h"
#include "ops/time/signal_bytes.h"

using namespace qf;
using namespace qf::gen;
using namespace qf::test;
using namespace qf::test::sig;

namespace {

// The 15-bit generator written out again, starting from the engine's
// start-up state 1.
struct Lcg {
    uint32_t x = 1;
    int32_t next() {
        x = x * 214013u + 2531011u;
        return static_cast<int32_t>((x >> 16) & 0x7FFF);
    }
};

// trunc(v * 32767) as a 16-bit word: clipped, or its low 16 bits.
int16_t clipped(double v) {
    const double t = std::trunc(v * 32767.0);
    if (t >= 32767.0) return 32767;
    if (t <= -32768.0) return -32768;
    return static_cast<int16_t>(t);
}
int16_t wrapped(double v) {
    const int64_t t = static_cast<int64_t>(v * 32767.0);
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(t) & 0xFFFF));
}

GeneratorParams baseParams() {
    GeneratorParams p{};
    p.frequencyUnit = 'h';
    p.phaseUnit = 'r';
    p.outputType = kOutputReal32;
    p.amplitude = 1.0;
    p.rate = 8000.0;
    p.frequency = 1000.0;
    p.sampleCount = 16;
    return p;
}

class Generators : public OperationTest {
  protected:
    void SetUp() override {
        OperationTest::SetUp();
        status().overflowMode = 's';
        status().outputFormat = 'b';
        runtime().randomState = 1;  // as at engine start
    }
    void TearDown() override {
        status().overflowMode = 's';
        status().outputFormat = 'b';
        OperationTest::TearDown();
    }

    // Runs generator `code` into dir + name; the dialog answer writes p.
    int32_t generate(int32_t code, const std::string& name, const GeneratorParams& p) {
        std::memset(&block, 0, sizeof block);
        const std::string d = dir;
        TestHost::instance().answer([d, name, p](CommandBlock& b, const HostCall&) {
            setEntry(b.out, d, name);
            generatorParams(b) = p;
            return 0;
        });
        block.opCode = code;
        return RunOp(&block);
    }
    std::vector<float> floats(const std::string& name) { return real32Records(get(name)); }
    std::vector<int16_t> words(const std::string& name) { return int16Records(get(name)); }

    // Calls the check of `code` on the given parameters.
    int32_t check(int32_t code, const GeneratorParams& p) {
        block.opCode = code;
        generatorParams(block) = p;
        runtime().block = &block;
        return findOperation(code)->checkParams(0);
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Layout and registration

TEST(GeneratorLayout, FieldsSitAtTheirParameterOffsets) {
    CommandBlock b{};
    GeneratorParams& p = generatorParams(b);
    p.outputType = 2;
    p.noiseType = 1;
    p.sampleCount = 1000;
    p.delay = 7;
    p.phase = 0.25;
    p.rate = 8000.0;
    p.noiseParam1[2] = -0.5;
    p.noiseParam2[1] = 0.75;
    p.frequencyUnit = 'h';
    p.phaseUnit = 'd';
    const auto* raw = reinterpret_cast<const unsigned char*>(&b);
    EXPECT_EQ(raw[13008], 'h');
    EXPECT_EQ(raw[13009], 'd');
    EXPECT_EQ(paramInt(b, 13008 + 4), 2);
    EXPECT_EQ(paramInt(b, 13008 + 16), 1);
    EXPECT_EQ(paramInt(b, 13008 + 24), 1000);
    EXPECT_EQ(paramInt(b, 13008 + 36), 7);
    EXPECT_EQ(paramDouble(b, 13008 + 40), 0.25);
    EXPECT_EQ(paramDouble(b, 13008 + 64), 8000.0);
    EXPECT_EQ(paramDouble(b, 13008 + 112 + 2 * 8), -0.5);
    EXPECT_EQ(paramDouble(b, 13008 + 168 + 1 * 8), 0.75);
}

TEST_F(Generators, ElevenCodesShareHandlersAndDifferInTheirKernel) {
    const int32_t periodic[] = {2010, 2015, 2020, 2030};
    const int32_t aperiodic[] = {2050, 2060, 2090, 2110, 2120, 2130};
    const OperationRecord* first = findOperation(2010);
    ASSERT_NE(first, nullptr);
    for (int32_t code : {2010, 2015, 2020, 2030, 2050, 2060, 2090, 2110, 2120, 2130, 2140}) {
        const OperationRecord* r = findOperation(code);
        ASSERT_NE(r, nullptr) << code;
        EXPECT_EQ(r->getParams, first->getParams);
        EXPECT_EQ(r->checkParams, first->checkParams);
        EXPECT_EQ(r->execute, first->execute);
        EXPECT_EQ(r->readScriptLine, first->readScriptLine);
        EXPECT_EQ(r->writeScriptLine, first->writeScriptLine);
        EXPECT_EQ(r->prepareOutput, defaultPrepareOutput);
        EXPECT_EQ(r->release, defaultRelease);
    }
    for (int32_t code : periodic) EXPECT_EQ(findOperation(code)->compute, periodicCompute);
    for (int32_t code : aperiodic) EXPECT_EQ(findOperation(code)->compute, aperiodicCompute);
    EXPECT_EQ(findOperation(2140)->compute, noiseCompute);
}

TEST_F(Generators, DialogsGetTheirTitlesAndTheOutputDefaultsToOutputTim) {
    struct Case {
        int32_t code;
        const char* dialog;
        const char* title;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
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

// ---------------------------------------------------------------------------
// Parameter checks

TEST_F(Generators, ChecksRefuseEachBadParameterWithItsCode) {
    GeneratorParams p = baseParams();
    EXPECT_EQ(check(2010, p), 0);

    GeneratorParams q = p;
    q.delay = -1;
    EXPECT_EQ(check(2050, q), 60);
    q = p;
    q.amplitude = -0.5;
    EXPECT_EQ(check(2010, q), 80);
    q = p;
    q.outputType = kOutputInteger16;
    q.amplitude = 1.5;
    EXPECT_EQ(check(2010, q), 81);
    q.outputType = kOutputReal32;
    EXPECT_EQ(check(2010, q), 0);  // floats may exceed 1
    q = p;
    q.offset = -0.1;
    EXPECT_EQ(check(2010, q), 90);
    q = p;
    q.outputType = kOutputInteger16;
    q.amplitude = 0.75;
    q.offset = 0.5;
    EXPECT_EQ(check(2010, q), 91);
    q = p;
    q.rate = 0.0;
    EXPECT_EQ(check(2120, q), 100);
    q = p;
    q.frequency = 0.0;
    EXPECT_EQ(check(2020, q), 110);
    EXPECT_EQ(check(2120, q), 0);  // only the periodic generators need a frequency
    q = p;
    q.endFrequency = 4000.0;
    EXPECT_EQ(check(2015, q), 112);
    q.endFrequency = 3999.0;
    EXPECT_EQ(check(2015, q), 0);

    // The first failing condition wins.
    q = p;
    q.delay = -1;
    q.rate = -1.0;
    EXPECT_EQ(check(2010, q), 60);
}

TEST_F(Generators, FrequencyAtHalfTheRateIsRefusedJustBelowAccepted) {
    GeneratorParams p = baseParams();
    p.rate = 8000.0;
    p.frequency = 4000.0;
    for (int32_t code : {2010, 2015, 2020, 2030}) EXPECT_EQ(check(code, p), 111) << code;
    p.frequency = std::nextafter(4000.0, 0.0);
    p.endFrequency = 1000.0;
    for (int32_t code : {2010, 2015, 2020, 2030}) EXPECT_EQ(check(code, p), 0) << code;
}

// A host dialog that runs the check and gives up on a refusal: nothing is
// generated.
TEST_F(Generators, RefusedParametersGenerateNothing) {
    GeneratorParams p = baseParams();
    p.frequency = 4000.0;
    const std::string d = dir;
    TestHost::instance().answer([d, p](CommandBlock& b, const HostCall&) {
        setEntry(b.out, d, "nyq.tim");
        generatorParams(b) = p;
        return findOperation(b.opCode)->checkParams(0);
    });
    std::memset(&block, 0, sizeof block);
    block.opCode = 2010;
    EXPECT_EQ(RunOp(&block), 111);
    EXPECT_FALSE(exists("nyq.tim"));
    EXPECT_EQ(block.opCode, 9999);
}

// ---------------------------------------------------------------------------
// Periodic generators

TEST_F(Generators, SineHeaderRemarkAndDescription) {
    GeneratorParams p = baseParams();
    p.sampleCount = 8;
    ASSERT_EQ(generate(2010, "s.tim", p), 0);
    Parsed f = get("s.tim");
    EXPECT_EQ(f.count(), 8);
    EXPECT_EQ(f.field("Record type number"), "REAL32");
    EXPECT_EQ(f.field("Remark"), "Sine Wave");
    EXPECT_EQ(f.field("Signal frequency"), "1000 Hz");
    EXPECT_EQ(f.field("Sampling rate"), "8000 Hz");
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION),
              "[s.tim] = Sine Wave of 1000 Hz at 8000 Hz sampling rate.");
    EXPECT_EQ(status().busy, 'n');
    // The result is the proposed input of the next operation.
    EXPECT_STREQ(block.in1.n, "s.tim");
}

TEST_F(Generators, FloatSineFollowsAmplitudePhaseAndOffset) {
    GeneratorParams p = baseParams();
    p.amplitude = 2.5;
    p.offset = 0.25;
    p.phase = 30.0;
    p.phaseUnit = 'd';
    p.frequency = 440.0;
    p.sampleCount = 50;
    ASSERT_EQ(generate(2010, "s.tim", p), 0);
    const std::vector<float> v = floats("s.tim");
    ASSERT_EQ(v.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        const double expected = 2.5 * std::sin(2 * M_PI * 440.0 * i / 8000.0 - M_PI / 6) + 0.25;
        EXPECT_NEAR(v[i], expected, 1e-6) << i;
    }
}

TEST_F(Generators, Int16SinePeaksAtPlusAndMinus32767) {
    GeneratorParams p = baseParams();
    p.outputType = kOutputInteger16;
    p.frequency = 2000.0;  // a quarter of the rate: 0, peak, 0, trough, ...
    p.sampleCount = 8;
    ASSERT_EQ(generate(2010, "s.tim", p), 0);
    EXPECT_EQ(words("s.tim"), (std::vector<int16_t>{0, 32767, 0, -32767, 0, 32767, 0, -32767}));
    EXPECT_EQ(get("s.tim").field("Record type number"), "INTEGER16");
}

TEST_F(Generators, RadianUnitsConvertTheHeaderButNotThePhaseStep) {
    GeneratorParams p = baseParams();
    p.frequencyUnit = 'r';
    p.rate = 1.0;
    p.frequency = 0.25;  // w0 = 2 pi 0.25 / 1 = pi / 2 in any unit mode
    p.sampleCount = 4;
    ASSERT_EQ(generate(2010, "r.tim", p), 0);
    Parsed f = get("r.tim");
    EXPECT_NEAR(std::atof(f.field("Sampling rate").c_str()), 2 * M_PI, 1e-5);
    EXPECT_NEAR(std::atof(f.field("Signal frequency").c_str()), 0.25 / (2 * M_PI), 1e-6);
    const std::vector<float> v = floats("r.tim");
    ASSERT_EQ(v.size(), 4u);
    EXPECT_NEAR(v[1], 1.0, 1e-7);
    EXPECT_NEAR(v[3], -1.0, 1e-7);
}

TEST_F(Generators, SquareAndTriangleAtHandPoints) {
    GeneratorState s;
    EXPECT_EQ(squareValue(s, 0.0), 1.0);
    EXPECT_EQ(squareValue(s, M_PI), -1.0);
    EXPECT_EQ(squareValue(s, -0.5), -1.0);  // -0.5 + 2 pi lies in the second half
    EXPECT_EQ(squareValue(s, 2 * M_PI + 0.5), 1.0);
    EXPECT_NEAR(triangleValue(s, M_PI / 4), 0.5, 1e-15);
    EXPECT_NEAR(triangleValue(s, M_PI / 2), 1.0, 1e-15);
    EXPECT_NEAR(triangleValue(s, M_PI), 0.0, 1e-15);
    EXPECT_NEAR(triangleValue(s, 3 * M_PI / 2), -1.0, 1e-15);
    EXPECT_NEAR(triangleValue(s, 7 * M_PI / 4), -0.5, 1e-15);

    // Through the operation: a quarter-rate square is +1 +1 -1 -1 ...
    GeneratorParams p = baseParams();
    p.frequency = 2000.0;
    p.sampleCount = 8;
    ASSERT_EQ(generate(2020, "q.tim", p), 0);
    EXPECT_EQ(floats("q.tim"), (std::vector<float>{1, 1, -1, -1, 1, 1, -1, -1}));
    EXPECT_EQ(get("q.tim").field("Remark"), "Square Wave");
    ASSERT_EQ(generate(2030, "t.tim", p), 0);
    const std::vector<float> t = floats("t.tim");
    const float expected[] = {0, 1, 0, -1, 0, 1, 0, -1};
    ASSERT_EQ(t.size(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(t[i], expected[i], 1e-6) << i;
    EXPECT_EQ(get("t.tim").field("Remark"), "Triangular Wave");
}

TEST_F(Generators, LinearSweepRunsFrom100To1000HzOverEachSweep) {
    GeneratorParams p = baseParams();
    p.frequency = 100.0;
    p.endFrequency = 1000.0;
    p.rate = 2048.0;
    p.sweepLength = 1000;
    p.sweepCount = 1;
    p.sampleCount = 5;  // replaced by sweepLength x sweepCount
    ASSERT_EQ(generate(2015, "w.tim", p), 0);
    Parsed f = get("w.tim");
    EXPECT_EQ(f.count(), 1000);
    EXPECT_EQ(f.field("Remark"), "Swept Sine Wave - linear type");
    const std::vector<float> v = floats("w.tim");
    ASSERT_EQ(v.size(), 1000u);
    // Closed form of a linear chirp over k = 1 ... L: phase 2 pi / fs (f1 k +
    // (f2 - f1) k^2 / 2L); its frequency f1 + (f2 - f1) k / L is 1000 Hz at k = L.
    const double f1 = 100, f2 = 1000, L = 1000, fs = 2048;
    for (int i = 0; i < 1000; ++i) {
        const double k = i + 1;
        const double phase = 2 * M_PI / fs * (f1 * k + (f2 - f1) * k * k / (2 * L));
        ASSERT_NEAR(v[i], std::sin(phase), 2e-6) << i;
    }
}

TEST_F(Generators, ThreeSweepsOfAThousandWriteThreeThousandRecords) {
    GeneratorParams p = baseParams();
    p.frequency = 100.0;
    p.endFrequency = 1000.0;
    p.rate = 2048.0;
    p.sweepLength = 1000;
    p.sweepCount = 3;
    ASSERT_EQ(generate(2015, "w3.tim", p), 0);
    EXPECT_EQ(get("w3.tim").count(), 3000);
    const std::vector<float> v = floats("w3.tim");
    ASSERT_EQ(v.size(), 3000u);
    // Each sweep starts again at 100 Hz, continuing the phase where the
    // previous one stopped (reduced to one turn).
    const double a = 100.0 * 2 * M_PI / 2048.0;
    const double b = 900.0 / 2000.0 * 2 * M_PI / 2048.0;
    const double xEnd = (1000 * b + a) * 1000;
    const double psi = std::fmod(xEnd, 2 * M_PI);
    EXPECT_NEAR(v[1000], std::sin(b + a + psi), 1e-6);
    EXPECT_NEAR(v[1001], std::sin((2 * b + a) * 2 + psi), 1e-6);
}

TEST_F(Generators, LogSweepFollowsTheLogarithmicPhase) {
    GeneratorParams p = baseParams();
    p.frequency = 100.0;
    p.endFrequency = 1000.0;
    p.rate = 8000.0;
    p.sweepLength = 50;
    p.sweepCount = 1;
    p.sweepLog = 1;
    ASSERT_EQ(generate(2015, "l.tim", p), 0);
    EXPECT_EQ(get("l.tim").field("Remark"), "Swept Sine Wave - log type");
    const std::vector<float> v = floats("l.tim");
    ASSERT_EQ(v.size(), 50u);
    // x(k) = (b ln k + a) k with b = (f2 - f1) / ln L and a = f1 - b, so that
    // dx/dk = b ln k + f1 runs from f1 at k = 1 to f2 at k = L.
    const double w = 2 * M_PI / 8000.0;
    const double b = 900.0 / std::log(50.0);
    const double a = 100.0 - b;
    for (int i = 0; i < 50; ++i) {
        const double k = i + 1;
        EXPECT_NEAR(v[i], std::sin((b * std::log(k) + a) * k * w), 2e-6) << i;
    }
}

// ---------------------------------------------------------------------------
// Noise

TEST_F(Generators, FirstUniformValueAfterStartUsesRandomInteger41) {
    // 1 * 214013 + 2531011 = 2745024; 2745024 >> 16 = 41.
    EXPECT_EQ(EngineRuntime{}.randomState, 1u);
    EXPECT_EQ(nextRandom(), 41);
    runtime().randomState = 1;

    GeneratorParams p = baseParams();
    p.noiseType = kUniformNoise;
    p.noiseParam1[1] = 0.0;
    p.noiseParam2[1] = 1.0;
    p.sampleCount = 3;
    ASSERT_EQ(generate(2140, "n.tim", p), 0);
    const std::vector<float> v = floats("n.tim");
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0], static_cast<float>(41 * 3.05185e-5));
    Lcg g;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(v[i], static_cast<float>(g.next() * 3.05185e-5));
    EXPECT_EQ(get("n.tim").field("Remark"), "Noise Function - Uniform");

    // The generator is never reseeded: the next run continues the sequence.
    ASSERT_EQ(generate(2140, "n2.tim", p), 0);
    const std::vector<float> w = floats("n2.tim");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(w[i], static_cast<float>(g.next() * 3.05185e-5));
}

TEST_F(Generators, NormalNoiseComesInCosineSinePairs) {
    GeneratorParams p = baseParams();
    p.noiseType = kNormalNoise;
    p.noiseParam1[2] = 0.5;  // mean
    p.noiseParam2[2] = 2.0;  // variance
    p.sampleCount = 5;
    ASSERT_EQ(generate(2140, "g.tim", p), 0);
    const std::vector<float> v = floats("g.tim");
    ASSERT_EQ(v.size(), 5u);
    Lcg g;
    std::vector<double> expected;
    while (expected.size() < 5) {
        const int32_t r1 = g.next();
        const int32_t r2 = g.next();
        const double rho = std::sqrt((std::log(32768.0) - std::log(r1 + 1.0)) * 2.0 * 2.0);
        const double theta = r2 * (2 * M_PI / 32768);
        expected.push_back(rho * std::cos(theta) + 0.5);
        expected.push_back(rho * std::sin(theta) + 0.5);
    }
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(v[i], expected[i], 1e-5) << i;
    EXPECT_EQ(get("g.tim").field("Remark"), "Noise Function - Normal");
}

TEST_F(Generators, NoiseTypeNoneChosenInTheNoiseDialogGeneratesNothing) {
    GeneratorParams p = baseParams();
    p.noiseType = kNoNoise;
    EXPECT_EQ(generate(2140, "none.tim", p), 1);
    EXPECT_FALSE(exists("none.tim"));
    EXPECT_EQ(block.opCode, 9999);
}

TEST_F(Generators, NoiseIgnoresAmplitudeAndOffsetAndPoissonAddsNothing) {
    GeneratorParams p = baseParams();
    p.noiseType = kPoissonNoise;
    p.amplitude = 0.5;
    p.offset = 0.25;
    p.sampleCount = 4;
    ASSERT_EQ(generate(2140, "p.tim", p), 0);
    EXPECT_EQ(floats("p.tim"), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(runtime().randomState, 1u);  // no random numbers drawn
}

TEST_F(Generators, UniformNoiseOverTheTopWrapsOrClipsByGenerator) {
    // Sine of amplitude 1 at a quarter of the rate, plus uniform noise in
    // [0, 0.5): the peaks pass full scale.
    GeneratorParams p = baseParams();
    p.outputType = kOutputInteger16;
    p.frequency = 2000.0;
    p.sampleCount = 8;
    p.noiseType = kUniformNoise;
    p.noiseParam1[1] = 0.0;
    p.noiseParam2[1] = 0.5;

    auto expectedSine = [](uint32_t seed, bool clip) {
        Lcg g;
        g.x = seed;
        std::vector<int16_t> out;
        for (int i = 0; i < 8; ++i) {
            const double v = std::sin(i * M_PI / 2) + g.next() * (0.5 * 3.05185e-5);
            out.push_back(clip ? clipped(v) : wrapped(v));
        }
        return out;
    };

    uint32_t seed = runtime().randomState;
    ASSERT_EQ(generate(2010, "clip.tim", p), 0);
    std::vector<int16_t> c = words("clip.tim");
    EXPECT_EQ(c, expectedSine(seed, true));
    EXPECT_EQ(c[1], 32767);
    EXPECT_EQ(c[5], 32767);

    status().overflowMode = 'w';
    seed = runtime().randomState;
    ASSERT_EQ(generate(2010, "wrap.tim", p), 0);
    std::vector<int16_t> w = words("wrap.tim");
    EXPECT_EQ(w, expectedSine(seed, false));
    EXPECT_LT(w[1], 0);
    EXPECT_LT(w[5], 0);

    // An aperiodic generator clips whatever the overflow mode says.
    p.amplitude = 1.0;
    p.delay = 0;
    p.sampleCount = 4;
    seed = runtime().randomState;
    ASSERT_EQ(generate(2060, "step.tim", p), 0);
    Lcg g;
    g.x = seed;
    std::vector<int16_t> expected;
    for (int i = 0; i < 4; ++i) expected.push_back(clipped(1.0 + g.next() * (0.5 * 3.05185e-5)));
    EXPECT_EQ(words("step.tim"), expected);
    for (int16_t s : words("step.tim")) EXPECT_EQ(s, 32767);
}

// ---------------------------------------------------------------------------
// Aperiodic generators

TEST_F(Generators, UnitSampleAndStep) {
    GeneratorParams p = baseParams();
    p.amplitude = 0.75;
    p.sampleCount = 5;
    p.delay = 0;
    ASSERT_EQ(generate(2050, "u0.tim", p), 0);
    EXPECT_EQ(floats("u0.tim"), (std::vector<float>{0.75f, 0, 0, 0, 0}));
    EXPECT_EQ(get("u0.tim").field("Remark"), "Impulse");
    EXPECT_EQ(get("u0.tim").field("Signal frequency"), "0 Hz");

    p.delay = 5;  // at or past the end: nothing but zeros
    ASSERT_EQ(generate(2050, "u5.tim", p), 0);
    EXPECT_EQ(floats("u5.tim"), (std::vector<float>{0, 0, 0, 0, 0}));
    p.delay = 99;
    ASSERT_EQ(generate(2050, "u99.tim", p), 0);
    EXPECT_EQ(floats("u99.tim"), (std::vector<float>{0, 0, 0, 0, 0}));

    p.delay = 2;
    ASSERT_EQ(generate(2060, "st.tim", p), 0);
    EXPECT_EQ(floats("st.tim"), (std::vector<float>{0, 0, 0.75f, 0.75f, 0.75f}));
    EXPECT_EQ(get("st.tim").field("Remark"), "Step Function");

    p.outputType = kOutputInteger16;
    p.amplitude = 1.0;
    p.delay = 1;
    ASSERT_EQ(generate(2050, "ui.tim", p), 0);
    EXPECT_EQ(words("ui.tim"), (std::vector<int16_t>{0, 32767, 0, 0, 0}));
}

TEST_F(Generators, RectangularWindowIsAllOnes) {
    GeneratorParams p = baseParams();
    p.windowNumber = 0;
    p.sampleCount = 6;
    p.amplitude = 0.5;  // not applied
    ASSERT_EQ(generate(2090, "win.tim", p), 0);
    EXPECT_EQ(floats("win.tim"), (std::vector<float>(6, 1.0f)));
    EXPECT_EQ(get("win.tim").field("Remark"), "Window Function - Rectangular");
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION),
              "[win.tim] = Window Function - Rectangular of 1000 Hz at 8000 Hz sampling rate.");

    p.windowNumber = 1;
    p.sampleCount = 9;
    ASSERT_EQ(generate(2090, "han.tim", p), 0);
    EXPECT_EQ(get("han.tim").field("Remark"), "Window Function - Hanning");
    const std::vector<float> h = floats("han.tim");
    ASSERT_EQ(h.size(), 9u);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(h[i], h[8 - i]) << i;  // symmetric
        EXPECT_LE(h[i], 1.0f);
        EXPECT_GE(h[i], 0.0f);
    }
}

TEST_F(Generators, SincRampAndExponential) {
    GeneratorParams p = baseParams();
    p.rate = 1000.0;  // step = 500 pi / 1000 = pi / 2
    p.sampleCount = 5;
    p.sincCenter = 2;
    ASSERT_EQ(generate(2110, "sinc.tim", p), 0);
    const std::vector<float> s = floats("sinc.tim");
    ASSERT_EQ(s.size(), 5u);
    EXPECT_NEAR(s[0], 0.0, 1e-7);         // sin(-pi) / -pi
    EXPECT_NEAR(s[1], 2.0 / M_PI, 1e-7);  // sin(-pi/2) / (-pi/2)
    EXPECT_EQ(s[2], 1.0f);
    EXPECT_NEAR(s[3], 2.0 / M_PI, 1e-7);
    EXPECT_EQ(get("sinc.tim").field("Remark"), "Sinc Function");

    p.rampStart = -1.0;
    p.rampEnd = 1.0;
    p.sampleCount = 4;
    ASSERT_EQ(generate(2120, "ramp.tim", p), 0);
    // step (1 - -1) / 4: the last sample stays one step short of the end.
    EXPECT_EQ(floats("ramp.tim"), (std::vector<float>{-1.0f, -0.5f, 0.0f, 0.5f}));
    EXPECT_EQ(get("ramp.tim").field("Remark"), "Ramp Function");

    p.amplitude = 0.5;
    p.decay = 0.5;
    p.sampleCount = 3;
    ASSERT_EQ(generate(2130, "exp.tim", p), 0);
    const std::vector<float> e = floats("exp.tim");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0], 0.5f);
    EXPECT_FLOAT_EQ(e[1], static_cast<float>(0.5 * std::exp(-0.5)));
    EXPECT_FLOAT_EQ(e[2], static_cast<float>(0.5 * std::exp(-1.0)));
    EXPECT_EQ(get("exp.tim").field("Remark"), "Exponential Function");

    // exp(-100) = 3.7e-44 is below the smallest normal float: it becomes 0.
    p.amplitude = 1.0;
    p.decay = 100.0;
    p.sampleCount = 2;
    ASSERT_EQ(generate(2130, "tiny.tim", p), 0);
    EXPECT_EQ(floats("tiny.tim"), (std::vector<float>{1.0f, 0.0f}));
}

TEST_F(Generators, OnlyInteger16AndReal32AreGenerated) {
    GeneratorParams p = baseParams();
    p.outputType = 8;
    EXPECT_EQ(generate(2010, "c.tim", p), 1);
    EXPECT_FALSE(exists("c.tim"));
    EXPECT_EQ(status().busy, 'n');
}

TEST_F(Generators, ImpossibleSampleCountsLeaveNoFile) {
    GeneratorParams p = baseParams();
    p.frequency = 100.0;
    p.endFrequency = 200.0;
    p.sweepLength = 100000;
    p.sweepCount = 100000;  // 10^10 samples do not fit a 32-bit count
    EXPECT_EQ(generate(2015, "big.tim", p), 1);
    EXPECT_FALSE(exists("big.tim"));
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Cannot generate 100000 sweeps of 100000 samples.");
    p.sampleCount = -3;
    EXPECT_EQ(generate(2010, "neg.tim", p), 1);
    EXPECT_FALSE(exists("neg.tim"));
    EXPECT_EQ(status().busy, 'n');
}

TEST_F(Generators, TextOutputFormatIsHonoured) {
    status().outputFormat = 'a';
    GeneratorParams p = baseParams();
    p.outputType = kOutputInteger16;
    p.frequency = 2000.0;
    p.sampleCount = 4;
    ASSERT_EQ(generate(2010, "a.tim", p), 0);
    Parsed f = get("a.tim");
    EXPECT_FALSE(f.binary);
    EXPECT_EQ(int16Records(f), (std::vector<int16_t>{0, 32767, 0, -32767}));
}

// ---------------------------------------------------------------------------
// Script lines

namespace {

class GeneratorScript : public Generators {
  protected:
    std::string write(int32_t code, const GeneratorParams& p, const std::string& outDir,
                      const std::string& outName) {
        std::memset(&block, 0, sizeof block);
        block.opCode = code;
        setEntry(block.out, outDir, outName);
        generatorParams(block) = p;
        runtime().block = &block;
        const std::string path = dir + "line.scr";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        EXPECT_EQ(findOperation(code)->writeScriptLine(0, f), 0);
        std::fclose(f);
        return readFile(path);
    }
    // Reads a line into a cleared block, or (fresh false) into the block
    // the last line left.
    int32_t read(int32_t code, const std::string& line, bool fresh = true) {
        if (fresh) std::memset(&block, 0, sizeof block);
        block.opCode = code;
        runtime().block = &block;
        OperationRecord* r = findOperation(code);
        return r->readScriptLine(0, line.c_str(), r->checkParams);
    }
};

}  // namespace

TEST_F(GeneratorScript, SineLineHasTheFixedLayout) {
    GeneratorParams p = baseParams();
    p.phaseUnit = 'd';
    p.frequency = 440.0;
    p.sampleCount = 1000;
    p.phase = 90.0;
    p.amplitude = 0.5;
    p.offset = 0.25;
    p.outputType = kOutputInteger16;
    p.noiseType = kUniformNoise;
    p.noiseParam1[1] = -0.125;
    p.noiseParam2[1] = 0.125;
    // code, the 18-character name, seven blanks, directory and name with '*'
    // for blanks, then the fields
    EXPECT_EQ(write(2010, p, "/data/my dir/", "my sine.tim"),
              std::string("2010 ") + "Sinusoidal        " + "       " +
                  "/data/my*dir/ my*sine.tim hdb 440 8000 1000 90 0.5 0.25 0 1 -0.125 0.125\r\n");
}

TEST_F(GeneratorScript, EveryLayoutSurvivesWriteAndRead) {
    GeneratorParams base{};
    base.frequencyUnit = 'h';
    base.outputType = kOutputReal32;
    base.rate = 22050.0;
    base.sampleCount = 512;
    base.noiseType = kNormalNoise;
    base.noiseParam1[2] = 0.5;
    base.noiseParam2[2] = 0.0625;

    struct Case {
        int32_t code;
        void (*set)(GeneratorParams&);
    };
    const Case cases[] = {
        {2010,
         [](GeneratorParams& p) {
             p.phaseUnit = 'd';
             p.frequency = 1234.5;
             p.phase = -45.0;
             p.amplitude = 0.75;
             p.offset = 0.125;
         }},
        {2015,
         [](GeneratorParams& p) {
             p.phaseUnit = 'r';
             p.frequency = 50.0;
             p.endFrequency = 5000.0;
             p.sweepLength = 300;
             p.sweepCount = 4;
             p.phase = 1.5;
             p.amplitude = 0.5;
             p.offset = 0.25;
             p.sweepLog = 1;
             p.sampleCount = 1200;
         }},
        {2020, [](GeneratorParams& p) { p.frequency = 100.0, p.amplitude = 1.0; }},
        {2030, [](GeneratorParams& p) { p.frequency = 100.0, p.amplitude = 1.0; }},
        {2050, [](GeneratorParams& p) { p.delay = 17, p.amplitude = 0.25; }},
        {2060, [](GeneratorParams& p) { p.delay = 3, p.amplitude = 1.0; }},
        {2090, [](GeneratorParams& p) { p.windowNumber = 13; }},
        {2110, [](GeneratorParams& p) { p.sincCenter = 256; }},
        {2120, [](GeneratorParams& p) { p.rampStart = -2.5, p.rampEnd = 7.25; }},
        {2130, [](GeneratorParams& p) { p.amplitude = 0.875, p.decay = 0.015625; }},
        {2140, [](GeneratorParams&) {}},
    };
    for (const Case& c : cases) {
        GeneratorParams p = base;
        c.set(p);
        const std::string line = write(c.code, p, dir + "a b/", "out file.tim");
        ASSERT_GE(line.size(), 2u);
        EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
        status().outputFormat = 'a';  // the line says 'b'
        ASSERT_EQ(read(c.code, line), 0) << line;
        EXPECT_EQ(status().outputFormat, 'b');
        EXPECT_STREQ(block.out.n, "out file.tim");
        EXPECT_EQ(std::string(block.out.p), dir + "a b/");
        const GeneratorParams& q = generatorParams(block);
        EXPECT_EQ(q.frequencyUnit, 'h') << c.code;
        EXPECT_EQ(q.outputType, p.outputType);
        EXPECT_EQ(q.noiseType, p.noiseType);
        EXPECT_EQ(q.noiseParam1[2], 0.5);
        EXPECT_EQ(q.noiseParam2[2], 0.0625);
        EXPECT_EQ(q.rate, p.rate) << c.code;
        switch (c.code) {
            case 2010:
                EXPECT_EQ(q.phaseUnit, 'd');
                EXPECT_EQ(q.frequency, 1234.5);
                EXPECT_EQ(q.phase, -45.0);
                EXPECT_EQ(q.amplitude, 0.75);
                EXPECT_EQ(q.offset, 0.125);
                EXPECT_EQ(q.sampleCount, 512);
                break;
            case 2015:
                EXPECT_EQ(q.phaseUnit, 'r');
                EXPECT_EQ(q.frequency, 50.0);
                EXPECT_EQ(q.endFrequency, 5000.0);
                EXPECT_EQ(q.sweepLength, 300);
                EXPECT_EQ(q.sweepCount, 4);
                EXPECT_EQ(q.phase, 1.5);
                EXPECT_EQ(q.amplitude, 0.5);
                EXPECT_EQ(q.offset, 0.25);
                EXPECT_EQ(q.sweepLog, 1);
                break;
            case 2050:
                EXPECT_EQ(q.delay, 17);
                EXPECT_EQ(q.amplitude, 0.25);
                EXPECT_EQ(q.sampleCount, 512);
                break;
            case 2090:
                EXPECT_EQ(q.windowNumber, 13);
                break;
            case 2110:
                EXPECT_EQ(q.sincCenter, 256);
                break;
            case 2120:
                EXPECT_EQ(q.rampStart, -2.5);
                EXPECT_EQ(q.rampEnd, 7.25);
                break;
            case 2130:
                EXPECT_EQ(q.amplitude, 0.875);
                EXPECT_EQ(q.decay, 0.015625);
                break;
            default:
                EXPECT_EQ(q.sampleCount, 512);
                break;
        }
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
    // noise type 6 is taken modulo 4: normal noise with its two values
    EXPECT_EQ(read(2140, "2140 NoiseFunction     /tmp/ n.tim ha 8000 10 2 6 0.5 2"), 0);
    const GeneratorParams& p = generatorParams(block);
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

TEST_F(GeneratorScript, ReplayedLineGeneratesTheSameSignal) {
    GeneratorParams p = baseParams();
    p.sampleCount = 32;
    p.frequency = 250.0;
    ASSERT_EQ(generate(2010, "direct.tim", p), 0);
    std::string line = write(2010, p, dir, "replayed.tim");
    ASSERT_EQ(read(2010, line), 0);
    OperationRecord* r = findOperation(2010);
    ASSERT_EQ(r->execute(0, r), 0);
    EXPECT_EQ(floats("replayed.tim"), floats("direct.tim"));
}
