// Frame file operations 5110 (average), 5120 (decompose), 5160 (compose)
// and 5170 (per-bin reciprocal) through RunOp on hand-written frame files,
// against values worked out from their definitions.
#include "ops/spectral/frames.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "spectral_files.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;
using namespace qf::test::spectral;

namespace {

const std::string kFloatTypes = "Supported number types are complex 32-bit floating point.";

class FrameOps : public OperationTest {
  protected:
    // A dialog answer that puts an int32 at `offset`.
    static DialogAnswer set(int32_t offset, int32_t value) {
        return [=](CommandBlock& b, const HostCall&) {
            paramInt(b, offset) = value;
            return 0;
        };
    }
    static DialogAnswer set(int32_t size, int32_t interval, int) {
        return [=](CommandBlock& b, const HostCall&) {
            paramInt(b, QF_P_COMPOSE_SIZE) = size;
            paramInt(b, QF_P_COMPOSE_INTERVAL) = interval;
            return 0;
        };
    }
    std::vector<Complex> bins(const std::string& name) { return spectral::bins(get(name)); }
    std::vector<Complex> randomBins(std::size_t count, uint32_t seed) {
        Noise noise{seed};
        std::vector<Complex> v(count);
        for (Complex& c : v) c = Complex(noise.next(), noise.next());
        return v;
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// 5110

TEST_F(FrameOps, AverageOfGroupsOfFrames) {
    const int32_t n = 8;
    const std::vector<Complex> in = randomBins(10 * n, 1);
    put("in.fre", frameFile(in, n, 4, "Hamming", 4000.0));
    struct Case {
        int32_t k, groups, perGroup;
        const char* remark;
    } const cases[] = {
        {3, 4, 3, "3 FFT frames average of in.fre"},  // the fourth group holds one frame
        {0, 1, 10, "10 FFT frames average of in.fre"},
        {20, 1, 20, "20 FFT frames average of in.fre"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.k);
        ASSERT_EQ(run(QF_OP_FRAME_AVERAGE, "in.fre", "avg.fre", set(QF_P_AVERAGE_FRAMES, c.k)), 0);
        const Parsed p = get("avg.fre");
        EXPECT_EQ(p.values({"Remark", "Frame size", "Frame interval", "Window function"}),
                  (Texts{c.remark, "8", "4", "Hamming"}));
        EXPECT_DOUBLE_EQ(p.rate(), 4000.0);
        const std::vector<Complex> out = spectral::bins(p);
        ASSERT_EQ(out.size(), static_cast<std::size_t>(c.groups * n));
        for (int32_t g = 0; g < c.groups; ++g) {
            for (int32_t k = 0; k < n; ++k) {
                double power = 0.0;
                int frames = 0;
                for (int32_t h = g * c.perGroup; h < std::min(10, (g + 1) * c.perGroup); ++h) {
                    power += std::norm(in[h * n + k]);
                    ++frames;
                }
                EXPECT_NEAR(out[g * n + k].real(), std::sqrt(power) / frames, 1e-14);
                EXPECT_EQ(out[g * n + k].imag(), 0.0);
            }
        }
    }
    EXPECT_EQ(described(), "[avg.fre] = FFT of [in.fre]");
}

TEST_F(FrameOps, AverageRefusesOtherTypesAndNegativeCounts) {
    put("in.fre", frameFile(randomBins(16, 2), 8, 8));
    put("w.fre", wordFrameFile(std::vector<int16_t>(16, 0), 8));
    // Each refusal asks again; the second dialog is cancelled.
    const struct {
        const char* in;
        int32_t k;
        std::string message;
    } cases[] = {
        {"w.fre", 0, kFloatTypes},
        {"missing.fre", 0, "Error reading 'missing.fre'."},
        {"in.fre", -1, "The number of frames to average cannot be negative."},
    };
    for (const auto& c : cases) {
        TestHost::instance().reset();
        EXPECT_NE(run(QF_OP_FRAME_AVERAGE, c.in, "avg.fre", set(QF_P_AVERAGE_FRAMES, c.k)), 0);
        EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), c.message);
        EXPECT_EQ(TestHost::instance().count("stdGet123Files"), 2);
        EXPECT_FALSE(exists("avg.fre"));
    }
    // A script line is taken without the check; the run refuses.
    const std::string line =
        "5110 FrameAverateFFT          " + dir + " in.fre -2 " + dir + " a.fre";
    const OperationRecord* r = findOperation(QF_OP_FRAME_AVERAGE);
    runtime().block = &block;
    block.opCode = QF_OP_FRAME_AVERAGE;
    EXPECT_EQ(r->readScriptLine(0, line.c_str(), r->checkParams), 0);
    EXPECT_EQ(paramInt(block, QF_P_AVERAGE_FRAMES), -2);
    EXPECT_EQ(r->execute(0, const_cast<OperationRecord*>(r)), 1);
    EXPECT_FALSE(exists("a.fre"));
}

TEST_F(FrameOps, FrameFileOperationsProposeTheFrameFileOfATimeSignal) {
    put("in.fre", frameFile(randomBins(8, 3), 8, 8));
    std::string seen;
    ASSERT_EQ(run(QF_OP_SPECTRUM_RECIPROCAL, "in.tim", "r.fre",
                  [&seen](CommandBlock& b, const HostCall& call) {
                      seen = std::string(b.in1.n) + " " + call.args[0] + " " + call.args[1] + " " +
                             call.args[2] + " " + call.args[3] + " " + call.args[4];
                      return 0;
                  }),
              0);
    EXPECT_EQ(seen, "in.fre Reciprocate FFT .fre Input .fre Output");
}

// ---------------------------------------------------------------------------
// 5120

TEST_F(FrameOps, DecomposeWritesRealAndImaginaryPartsBesideTheOutputName) {
    const std::vector<Complex> in = {{0.5, -0.25},    {3.5e33, -3.5e33}, {1e-34, -1e-34},
                                     {2e-33, -2e-33}, {1e300, -1e300},   {-7.0, 1.0 / 3.0},
                                     {0.0, -0.0},     {1.5, 2.5}};
    put("Y.fre", frameFile(in, 4, 4, "Rectangular", 500.0));
    ASSERT_EQ(run(QF_OP_DECOMPOSE, "Y.fre", "out.tim"), 0);
    EXPECT_FALSE(exists("out.tim"));
    // Parts beyond 3.4028236e+33 are held there, below 1.17549435e-33 they are 0.
    const float big = 3.4028236e+33f;
    const std::vector<float> re = {0.5f, big, 0.0f, 2e-33f, big, -7.0f, 0.0f, 1.5f};
    const std::vector<float> im = {-0.25f, -big, 0.0f, -2e-33f, -big, 1.0f / 3.0f, 0.0f, 2.5f};
    const Parsed pr = get("outr.tim"), pi = get("outi.tim");
    EXPECT_EQ(real32Records(pr), re);
    EXPECT_EQ(real32Records(pi), im);
    EXPECT_EQ(pr.field("Remark"), "Real part of Y.fre");
    EXPECT_EQ(pi.field("Remark"), "Imaginary part of Y.fre");
    EXPECT_EQ(pr.field("Record type number"), "REAL32");
    EXPECT_DOUBLE_EQ(pi.rate(), 500.0);
    EXPECT_EQ(described(), "[Y.fre] decomposed to [outr.tim] and [outi.tim]");
    // Both are shown; the imaginary part is the next input.
    EXPECT_STREQ(block.in1.n, "outi.tim");
    EXPECT_EQ(block.out.n[0], '\0');

    // 16-bit complex words give 16-bit signals of the two words.
    put("w.fre", wordFrameFile({100, -200, 32767, -32768, 0, 5, -1, 1}, 2));
    ASSERT_EQ(run(QF_OP_DECOMPOSE, "w.fre", "w.tim"), 0);
    EXPECT_EQ(words("wr.tim"), (std::vector<int16_t>{100, 32767, 0, -1}));
    EXPECT_EQ(words("wi.tim"), (std::vector<int16_t>{-200, -32768, 5, 1}));
    EXPECT_EQ(get("wr.tim").field("Record type number"), "INTEGER16");
}

TEST_F(FrameOps, DecomposeNamesWithoutRoomOrWithoutAnExtension) {
    put("Y.fre", frameFile(randomBins(4, 4), 4, 4));
    // A name that cannot take one more character: the character before the
    // '.' is replaced.
    const std::string stem(250, 'a');
    ASSERT_EQ(run(QF_OP_DECOMPOSE, "Y.fre", stem + "Z.tim"), 0);
    EXPECT_TRUE(exists(stem + "x.tim"));
    EXPECT_TRUE(exists(stem + "y.tim"));
    // Without a '.' nothing is written and nothing is said; so too for a
    // name too long for one more character whose only '.' comes first.
    TestHost::instance().reset();
    EXPECT_EQ(run(QF_OP_DECOMPOSE, "Y.fre", "plain"), 1);
    EXPECT_EQ(run(QF_OP_DECOMPOSE, "Y.fre", "." + std::string(254, 'b')), 1);
    EXPECT_TRUE(messages(-1).empty());
    EXPECT_FALSE(exists("plain"));
    // A refused run leaves both earlier parts as they were: a script line is
    // read without the check, and the run refuses a time signal.
    put("t.fre", real32File({1.0f, 2.0f, 3.0f}));
    put("or.tim", "older real part");
    put("oi.tim", "older imaginary part");
    const OperationRecord* r = findOperation(QF_OP_DECOMPOSE);
    runtime().block = &block;
    block.opCode = QF_OP_DECOMPOSE;
    const std::string line = "5120 DecomposeFFT_XjY         " + dir + " t.fre " + dir + " o.tim";
    ASSERT_EQ(r->readScriptLine(0, line.c_str(), r->checkParams), 0);
    EXPECT_EQ(r->execute(0, const_cast<OperationRecord*>(r)), 1);
    EXPECT_EQ(readFile(dir + "or.tim"), "older real part");
    EXPECT_EQ(readFile(dir + "oi.tim"), "older imaginary part");
    // A frame file of another type is asked for again.
    EXPECT_NE(run(QF_OP_DECOMPOSE, "t.fre", "o.tim"), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Supported number types are complex 16-bit fractional fixed point and 32-bit "
              "floating point.");
}

// ---------------------------------------------------------------------------
// 5160

TEST_F(FrameOps, ComposeFillsWholeFramesFromBothSignals) {
    Noise noise{6};
    std::vector<float> re(100);
    for (float& v : re) v = static_cast<float>(noise.next());
    std::vector<int16_t> im(300);
    for (int16_t& w : im) w = static_cast<int16_t>(noise.next() * 32768.0);
    im[0] = -32768;
    put("r.tim", real32File(re, 8000.0));
    put("i.tim", int16File(im, 16000.0));
    ASSERT_EQ(run(QF_OP_COMPOSE, "r.tim", "c.fre", set(256, 128, 0), "i.tim"), 0);
    const Parsed p = get("c.fre");
    EXPECT_EQ(p.values({"Frame size", "Frame interval", "Window function", "Remark"}),
              (Texts{"256", "128", "Rectangular", "FFT[(r.tim)+j(i.tim)]"}));
    EXPECT_DOUBLE_EQ(p.rate(), 8000.0);
    const std::vector<Complex> out = spectral::bins(p);
    ASSERT_EQ(out.size(), 512u);
    for (std::size_t k = 0; k < out.size(); ++k) {
        EXPECT_EQ(out[k].real(), k < 100 ? re[k] : 0.0) << k;
        EXPECT_EQ(out[k].imag(), k < 300 ? im[k] / 32768.0 : 0.0) << k;
    }
    EXPECT_EQ(out[0].imag(), -1.0);
    EXPECT_EQ(described(), "[c.fre] combined from [r.tim] and [i.tim]");
}

TEST_F(FrameOps, ComposeTakesTheFftValuesInAnInteractiveRun) {
    put("r.tim", real32File(std::vector<float>(300, 1.0f)));
    put("i.tim", real32File(std::vector<float>(5, 2.0f)));
    qfenStatus->fftSize = 64;
    qfenStatus->fftInterval = 32;
    std::vector<int32_t> seen;
    ASSERT_EQ(run(
                  QF_OP_COMPOSE, "r.tim", "c.fre",
                  [&seen](CommandBlock& b, const HostCall&) {
                      seen = {paramInt(b, QF_P_COMPOSE_SIZE), paramInt(b, QF_P_COMPOSE_INTERVAL)};
                      return 0;
                  },
                  "i.tim"),
              0);
    EXPECT_EQ(seen, (std::vector<int32_t>{64, 32}));
    EXPECT_EQ(get("c.fre").count(), 320);  // 300 rounded up to whole frames of 64
    // The FFT's own values are not changed by it.
    EXPECT_EQ(qfenStatus->fftSize, 64);
}

TEST_F(FrameOps, ComposeRefusesWhatItCannotCompose) {
    put("r.tim", real32File(std::vector<float>(10, 1.0f)));
    put("short.tim", real32File({1.0f, 2.0f}));
    put("rec.tim", realtimeFile(std::vector<int16_t>(20, 0), 2, -1.0, 1.0));
    put("f.fre", frameFile(randomBins(8, 5), 4, 4));
    const struct {
        const char *real, *imag;
        int32_t size;
        std::string message;
    } cases[] = {
        {"missing.tim", "r.tim", 16, "Error reading 'missing.tim'."},
        {"r.tim", "missing.tim", 16, "Error reading 'missing.tim'."},
        {"r.tim", "short.tim", 16, "At least one signal must have 3 or more samples."},
        {"rec.tim", "r.tim", 16,
         "'rec.tim' is multi-channel signal.  Please convert the required channel into a single "
         "channel signal."},
        {"r.tim", "rec.tim", 16,
         "'rec.tim' is multi-channel signal.  Please convert the required channel into a single "
         "channel signal."},
        {"r.tim", "f.fre", 16, "'f.fre' has an unsupported data type."},
        {"r.tim", "r.tim", 0, "The frame size must be at least 1."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TestHost::instance().reset();
        EXPECT_NE(run(QF_OP_COMPOSE, c.real, "c.fre", set(c.size, 16, 0), c.imag), 0);
        EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), c.message);
        EXPECT_EQ(TestHost::instance().count("stdGet123Files"), 2);
        EXPECT_FALSE(exists("c.fre"));
    }
}

TEST_F(FrameOps, ComposeScriptLineCarriesTheSizesInHexadecimal) {
    block.opCode = QF_OP_COMPOSE;
    setEntry(block.in1, dir, "r.tim");
    setEntry(block.in2, dir, "i.tim");
    setEntry(block.out, dir, "c.fre");
    paramInt(block, QF_P_COMPOSE_SIZE) = 256;
    paramInt(block, QF_P_COMPOSE_INTERVAL) = -1;
    int32_t read = -1;
    const std::string text = scriptRoundTrip(block, dir, read);
    EXPECT_EQ(text, "5160 ComposeFFT_XjY           " + dir + " r.tim " + dir +
                        " i.tim 100 ffffffff " + dir + " c.fre\r\n");
    // Taken without the check: neither file exists.
    EXPECT_EQ(read, 0);
    EXPECT_EQ(paramInt(block, QF_P_COMPOSE_SIZE), 256);
    EXPECT_EQ(paramInt(block, QF_P_COMPOSE_INTERVAL), -1);
    EXPECT_STREQ(block.in2.n, "i.tim");

    const std::string head = "5160 ComposeFFT_XjY    ./ r.tim ./ i.tim ";
    const std::pair<std::string, int32_t> lines[] = {
        {head + "0x40 20 ./ c.fre", 0}, {head + "40 20 ./", 1},
        {head + "4g 20 ./ c.fre", 1},   {head + "1ffffffff 20 ./ c.fre", 1},
        {head + "-40 20 ./ c.fre", 1},
    };
    for (const auto& [line, result] : lines) {
        EXPECT_EQ(composeReadScriptLine(0, line.c_str(), nullptr), result) << line;
        if (result == 0) {
            EXPECT_EQ(paramInt(block, QF_P_COMPOSE_SIZE), 64);
        }
    }
}

// ---------------------------------------------------------------------------
// 5170

TEST_F(FrameOps, ReciprocalOfEveryBinWithZerosRepeatingTheBinBefore) {
    const std::vector<Complex> in = {{0.0, 0.0}, {2.0, 0.0},  {0.0, 0.0},  {1.0, 1.0},
                                     {0.0, 0.0}, {3.0, -4.0}, {-0.0, 0.0}, {0.0, 0.5}};
    put("h.fre", frameFile(in, 4, 2, "Blackman", 1000.0));
    ASSERT_EQ(run(QF_OP_SPECTRUM_RECIPROCAL, "h.fre", "g.fre"), 0);
    const Parsed p = get("g.fre");
    const std::vector<Complex> expected = {{1.0, 0.0},           {0.5, 0.0},  {0.5, 0.0},
                                           {0.5, -0.5},          {0.5, -0.5}, {3.0 / 25, 4.0 / 25},
                                           {3.0 / 25, 4.0 / 25}, {0.0, -2.0}};
    EXPECT_EQ(spectral::bins(p), expected);
    EXPECT_EQ(p.values({"Remark", "Frame size", "Frame interval", "Window function"}),
              (Texts{"[g.fre] = 1 / [h.fre]", "4", "2", "Blackman"}));
    EXPECT_EQ(described(), "[g.fre] = 1 / [h.fre]");

    put("w.fre", wordFrameFile(std::vector<int16_t>(8, 1), 4));
    EXPECT_NE(run(QF_OP_SPECTRUM_RECIPROCAL, "w.fre", "x.fre"), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), kFloatTypes);
    EXPECT_FALSE(exists("x.fre"));
}

TEST_F(FrameOps, ScriptLinesOfTheFrameOperations) {
    const struct {
        int32_t code;
        int32_t k;
        std::string line;
    } cases[] = {
        {QF_OP_FRAME_AVERAGE, 3,
         "5110 FrameAverateFFT          " + dir + " a*b.fre 3 " + dir + " o.fre\r\n"},
        {QF_OP_DECOMPOSE, 0,
         "5120 DecomposeFFT_XjY         " + dir + " a*b.fre " + dir + " o.fre\r\n"},
        {QF_OP_SPECTRUM_RECIPROCAL, 0,
         "5170 G(Z)=1/H(Z)              " + dir + " a*b.fre " + dir + " o.fre\r\n"},
    };
    for (const auto& c : cases) {
        std::memset(&block, 0, sizeof block);
        block.opCode = c.code;
        setEntry(block.in1, dir, "a b.fre");
        setEntry(block.out, dir, "o.fre");
        paramInt(block, QF_P_AVERAGE_FRAMES) = c.k;
        int32_t read = -1;
        EXPECT_EQ(scriptRoundTrip(block, dir, read), c.line);
        EXPECT_EQ(read, 0) << c.code;  // taken though the file does not exist
        EXPECT_STREQ(block.in1.n, "a b.fre");
        EXPECT_EQ(paramInt(block, QF_P_AVERAGE_FRAMES), c.k);
        const OperationRecord* r = findOperation(c.code);
        EXPECT_EQ(r->readScriptLine(0, c.line.substr(0, c.line.rfind(' ')).c_str(), nullptr), 1);
    }
}
