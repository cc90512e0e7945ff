// Operation 4007, the LMS adaptive filter, through RunOp with the recording
// test host: the update written out by hand for a few samples, the single
// tap that converges to 1, system identification of a known FIR, the three
// outputs and their displays, checks and the script line.
//   u = (x(n), ..., x(n-L+1)), y = w.u, e = d(n) - y, w <- w + mu e u (n < K)
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <csignal>
#include <string>
#include <vector>

#include "core/engine.h"
#include "ops/spectral/model_files.h"
#include "ops/spectral/models.h"
#include "signal/access.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;
using namespace qf::test::models;

namespace {

std::vector<std::string> g_shown;

int32_t recordShown(int32_t, OperationRecord*) {
    g_shown.push_back(block().out.n);
    return 0;
}

std::vector<float> noise(int n, uint32_t seed) {
    Noise source(seed);
    std::vector<float> v;
    for (int i = 0; i < n; ++i) v.push_back(static_cast<float>(source.next()));
    return v;
}

class Lms : public OperationTest {
  protected:
    struct Settings {
        int32_t taps = 4;
        double step = 0.05;
        int32_t adapt = INT32_MAX;
        int32_t normalise = 0;
    };
    // The dialog: outputs y.tim, e.tim and w.tim (w in `wDir` when given).
    DialogAnswer answer(const Settings& s, const std::string& wDir = "") {
        return [=, this](CommandBlock& b, const HostCall& call) {
            EXPECT_EQ(call.name, "getLMSParameters");
            setEntry(b.out, dir, "y.tim");
            setEntry(b.out2, dir, "e.tim");
            setEntry(b.out3, wDir.empty() ? dir : wDir, "w.tim");
            paramInt(b, QF_P_LMS_TAPS) = s.taps;
            paramDouble(b, QF_P_LMS_STEP) = s.step;
            paramInt(b, QF_P_LMS_ADAPT) = s.adapt;
            paramInt(b, QF_P_LMS_NORMALISE) = s.normalise;
            return 0;
        };
    }
    int32_t filter(const std::string& x, const std::string& d, const Settings& s) {
        return run(QF_OP_LMS, x, "y.tim", {answer(s)}, d);
    }
};

}  // namespace

TEST_F(Lms, WithoutAdaptationTheOutputIsZeroAndTheErrorIsTheDesiredSignal) {
    const std::vector<float> x = noise(300, 1), d = noise(300, 2);
    put("x.tim", real32File(x, 11025.0));
    put("d.tim", real32File(d, 8000.0));
    ASSERT_EQ(filter("x.tim", "d.tim", {.taps = 3, .step = 0.5, .adapt = 0}), 0);
    EXPECT_EQ(floats("y.tim"), std::vector<float>(300, 0.0f));
    EXPECT_EQ(floats("e.tim"), d);
    EXPECT_EQ(floats("w.tim"), std::vector<float>(3, 0.0f));

    const struct {
        const char* file;
        const char* remark;
        int32_t count;
    } outputs[] = {{"y.tim", "LMS filter(x.tim)", 300},
                   {"e.tim", "LMS filter - error signal(x.tim)", 300},
                   {"w.tim", "LMS filter - coefficients(x.tim)", 3}};
    for (const auto& o : outputs) {
        const Parsed p = get(o.file);
        EXPECT_EQ(p.field("Remark"), o.remark);
        EXPECT_EQ(p.field("Record type number"), "REAL32");
        EXPECT_EQ(p.count(), o.count);
        EXPECT_EQ(p.rate(), 11025.0);  // the rates of x
    }
    EXPECT_EQ(described(), "[y.tim] = LMS of [x.tim]");
    const std::string log = readFile(home + "quillfen.log");
    for (const char* l : {"OP      ^^^^^ in1  = x.tim\r\n", "OP      ^^^^^ in2  = d.tim\r\n",
                          "OP      ^^^^^ out  = y.tim\r\n", "OP      ^^^^^ out2 = e.tim\r\n",
                          "OP      ^^^^^ out3 = w.tim\r\n", "OP   $$$ coeff update 299 e(299) = "})
        EXPECT_NE(log.find(l), std::string::npos) << l;
}

TEST_F(Lms, TheUpdateWrittenOutForThreeSamples) {
    // Dyadic values keep every single-precision step exact.  L = 2, mu = 1/4.
    put("x.tim", real32File({0.5f, -0.25f, 0.75f}));
    put("d.tim", real32File({0.25f, 0.5f, -0.5f}));
    ASSERT_EQ(filter("x.tim", "d.tim", {.taps = 2, .step = 0.25}), 0);
    // n = 0: u = (1/2, 0), y = 0, e = 1/4, w = (1/4 * 1/4 * 1/2, 0).
    double w0 = 0.25 * 0.25 * 0.5, w1 = 0.0;
    const double y0 = 0.0, e0 = 0.25;
    // n = 1: u = (-1/4, 1/2).
    const double y1 = w0 * -0.25 + w1 * 0.5, e1 = 0.5 - y1;
    w0 += 0.25 * e1 * -0.25;
    w1 += 0.25 * e1 * 0.5;
    // n = 2: u = (3/4, -1/4).
    const double y2 = w0 * 0.75 + w1 * -0.25, e2 = -0.5 - y2;
    w0 += 0.25 * e2 * 0.75;
    w1 += 0.25 * e2 * -0.25;
    EXPECT_EQ(floats("y.tim"), (std::vector<float>{float(y0), float(y1), float(y2)}));
    EXPECT_EQ(floats("e.tim"), (std::vector<float>{float(e0), float(e1), float(e2)}));
    EXPECT_EQ(floats("w.tim"), (std::vector<float>{float(w0), float(w1)}));
    EXPECT_EQ(float(w0), w0);  // the hand values are exact in single precision
}

TEST_F(Lms, OneTapOnAConstantConvergesToOne) {
    // x = d = 1/2: w(n+1) = w(n) + 1/2 * 1/2 (1 - w(n)) * 1/2, so
    // w(n) = 1 - (7/8)^n and e(n) = (7/8)^n / 2.
    put("x.tim", real32File(std::vector<float>(200, 0.5f)));
    ASSERT_EQ(filter("x.tim", "x.tim", {.taps = 1, .step = 0.5}), 0);
    const std::vector<float> e = floats("e.tim");
    ASSERT_EQ(e.size(), 200u);
    for (int n : {0, 1, 5, 20, 60}) EXPECT_NEAR(e[n], 0.5 * std::pow(0.875, n), 1e-7) << n;
    EXPECT_NEAR(floats("w.tim").at(0), 1.0f, 1e-6);
    EXPECT_NEAR(e.back(), 0.0f, 1e-6);  // within float rounding of 1/2
}

TEST_F(Lms, NormalisedStepOnSilenceKeepsTheTapsAtZero) {
    const std::vector<float> d = noise(100, 5);
    put("x.tim", real32File(std::vector<float>(100, 0.0f)));
    put("d.tim", real32File(d));
    ASSERT_EQ(filter("x.tim", "d.tim", {.taps = 4, .step = 3.0, .normalise = 1}), 0);
    EXPECT_EQ(floats("w.tim"), std::vector<float>(4, 0.0f));
    EXPECT_EQ(floats("e.tim"), d);
    // P = 0 gives mu_n = 0.1 / 0.1 = 1.
    EXPECT_NE(readFile(home + "quillfen.log").find("e(99) = "), std::string::npos);
    EXPECT_NE(readFile(home + "quillfen.log").find("adaptParam = 1$$$"), std::string::npos);
}

TEST_F(Lms, IdentifiesAKnownFourTapSystem) {
    // d = h * x for h = (0.5, -0.3, 0.2, 0.1); with fixed and normalised steps
    // the taps settle on h.
    const double h[4] = {0.5, -0.3, 0.2, 0.1};
    const std::vector<float> x = noise(4000, 11);
    std::vector<float> d(x.size());
    for (std::size_t n = 0; n < x.size(); ++n) {
        double s = 0;
        for (std::size_t k = 0; k < 4 && k <= n; ++k) s += h[k] * x[n - k];
        d[n] = static_cast<float>(s);
    }
    put("x.tim", real32File(x));
    put("d.tim", real32File(d));
    for (int32_t normalise : {0, 1}) {
        SCOPED_TRACE(normalise);
        ASSERT_EQ(filter("x.tim", "d.tim", {.taps = 4, .step = 0.5, .normalise = normalise}), 0);
        const std::vector<float> w = floats("w.tim");
        ASSERT_EQ(w.size(), 4u);
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(w[k], h[k], 1e-3) << k;
        EXPECT_NEAR(floats("e.tim").back(), 0.0f, 1e-4);
    }
}

TEST_F(Lms, SixteenBitSamplesEnterAsFractionsAndAShortDesiredSignalEndsInZeros) {
    std::vector<int16_t> xw, dw;
    std::vector<float> xf, df;
    Noise source(21);
    for (int n = 0; n < 120; ++n) {
        xw.push_back(static_cast<int16_t>(source.next() * 60000));
        xf.push_back(xw.back() / 32768.0f);
    }
    for (int n = 0; n < 80; ++n) {
        dw.push_back(static_cast<int16_t>(source.next() * 60000));
        df.push_back(dw.back() / 32768.0f);
    }
    put("xw.tim", int16File(xw));
    put("dw.tim", int16File(dw));
    put("xf.tim", real32File(xf));
    // d past its end reads as zeros.
    std::vector<float> padded = df;
    padded.resize(120, 0.0f);
    put("df.tim", real32File(padded));
    ASSERT_EQ(filter("xw.tim", "dw.tim", {.taps = 5, .step = 0.2}), 0);
    const std::vector<float> y = floats("y.tim"), e = floats("e.tim"), w = floats("w.tim");
    ASSERT_EQ(y.size(), 120u);
    ASSERT_EQ(filter("xf.tim", "df.tim", {.taps = 5, .step = 0.2}), 0);
    EXPECT_EQ(floats("y.tim"), y);
    EXPECT_EQ(floats("e.tim"), e);
    EXPECT_EQ(floats("w.tim"), w);
}

TEST_F(Lms, ShowsItsThreeOutputsInTurn) {
    OperationRecord display = operationTemplate(QF_OP_WAVEFORM_DISPLAY);
    display.execute = recordShown;
    registerOperation(&display);
    g_shown.clear();
    put("x.tim", real32File(noise(50, 3)));
    ASSERT_EQ(filter("x.tim", "x.tim", {}), 0);
    EXPECT_EQ(g_shown, (std::vector<std::string>{"y.tim", "e.tim", "w.tim"}));
    EXPECT_STREQ(block.in1.n, "y.tim");  // out was restored, then proposed
    EXPECT_EQ(block.out.n[0], '\0');
}

TEST_F(Lms, BadInputsAndTapsAreReportedAndAskedAgain) {
    put("x.tim", real32File(noise(50, 3)));
    put("f.tim", complexFile());
    const struct {
        const char* x;
        const char* d;
        int32_t taps;
        std::string message;
    } cases[] = {
        {"none.tim", "x.tim", 4, "Error reading 'none.tim'."},
        {"f.tim", "x.tim", 4, "'f.tim' has an unsupported data type."},
        {"x.tim", "nod.tim", 4, "Error reading 'nod.tim'."},
        {"x.tim", "f.tim", 4, "'f.tim' has an unsupported data type."},
        {"x.tim", "x.tim", 0, "The LMS filter needs at least one tap."},
        {"x.tim", "x.tim", -3, "The LMS filter needs at least one tap."},
        // A delay line of 2^31 - 1 taps would ask for 16 GiB before any check.
        {"x.tim", "x.tim", 65537, "The LMS filter takes at most 65536 taps."},
        {"x.tim", "x.tim", INT32_MAX, "The LMS filter takes at most 65536 taps."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TestHost::instance().reset();
        EXPECT_EQ(
            run(QF_OP_LMS, c.x, "y.tim",
                {answer({.taps = c.taps}), [](CommandBlock&, const HostCall&) { return 1; }}, c.d),
            1);
        EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), c.message);
        EXPECT_EQ(TestHost::instance().count("getLMSParameters"), 2);
        for (const char* out : {"y.tim", "e.tim", "w.tim"}) EXPECT_FALSE(exists(out)) << out;
    }
}

TEST_F(Lms, AnOutputThatCannotBeCompletedLeavesEveryFileAsItWas) {
    put("x.tim", real32File(noise(1000, 3)));
    put("y.tim", "an older y");
    put("e.tim", "an older e");
    // A third output in a folder that does not exist is refused as it opens.
    EXPECT_EQ(run(QF_OP_LMS, "x.tim", "y.tim", {answer({}, dir + "no such dir/")}, "x.tim"), 1);
    EXPECT_EQ(readFile(dir + "y.tim"), "an older y");
    EXPECT_EQ(readFile(dir + "e.tim"), "an older e");

    // The third output (8000 taps, one window written as the run ends) is
    // larger than a file may grow: the first two keep their older contents.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 16384;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t r =
        run(QF_OP_LMS, "x.tim", "y.tim", {answer({.taps = 8000, .adapt = 0})}, "x.tim");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(readFile(dir + "y.tim"), "an older y");
    EXPECT_EQ(readFile(dir + "e.tim"), "an older e");
    EXPECT_FALSE(exists("w.tim"));
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Error writing output file '" + dir + "w.tim': File too large.");
    EXPECT_EQ(qfenStatus->busy, 'n');
    int leftovers = 0;
    for (const char* f : {"y.tim", "e.tim", "w.tim"})
        leftovers += fileExists(sigTemporaryPath([&] {
            nameNpath e{};
            setEntry(e, dir, f);
            return e;
        }()));
    EXPECT_EQ(leftovers, 0);
}

TEST_F(Lms, ScriptLinesRoundTripWithTheStepAsAFloat) {
    put("x.tim", real32File(noise(50, 3)));
    const std::string sub = dir + "a b/";
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    put("a b/d 1.tim", real32File(noise(50, 4)));
    block.opCode = QF_OP_LMS;
    setEntry(block.in1, dir, "x.tim");
    setEntry(block.in2, sub, "d 1.tim");
    setEntry(block.out, dir, "y.tim");
    setEntry(block.out2, sub, "e 1.tim");
    setEntry(block.out3, dir, "w.tim");
    paramInt(block, QF_P_LMS_TAPS) = 8;
    paramDouble(block, QF_P_LMS_STEP) = 0.1;
    paramInt(block, QF_P_LMS_ADAPT) = 40;
    paramInt(block, QF_P_LMS_NORMALISE) = 1;
    runtime().block = &block;
    ASSERT_EQ(findOperation(QF_OP_LMS)->checkParams(0), 0);
    EXPECT_EQ(paramDouble(block, QF_P_LMS_STEP), static_cast<double>(0.1f));  // as it runs
    const std::string line = writtenLine(block, dir + "l.scr");
    EXPECT_EQ(line, "4007 LMSfilter          " + dir + " x.tim " + escaped(sub) +
                        " d*1.tim 0.1 8 40 1 " + dir + " y.tim " + escaped(sub) + " e*1.tim " +
                        dir + " w.tim\r\n");
    ASSERT_EQ(readLine(block, QF_OP_LMS, line), 0);
    EXPECT_STREQ(block.in2.p, sub.c_str());
    EXPECT_STREQ(block.in2.n, "d 1.tim");
    EXPECT_STREQ(block.out2.n, "e 1.tim");
    EXPECT_STREQ(block.out3.n, "w.tim");
    EXPECT_EQ(paramInt(block, QF_P_LMS_TAPS), 8);
    EXPECT_EQ(paramInt(block, QF_P_LMS_ADAPT), 40);
    EXPECT_EQ(paramInt(block, QF_P_LMS_NORMALISE), 1);
    EXPECT_EQ(paramDouble(block, QF_P_LMS_STEP), static_cast<double>(0.1f));

    const std::string head = "4007 LMSfilter          " + dir + " x.tim " + dir + " x.tim ";
    const std::pair<std::string, int32_t> cases[] = {
        {head + "0.1 8 40 1 " + dir + " y.tim " + dir + " e.tim " + dir, 1},  // 13 fields
        {head + "0.1 8 x 1 " + dir + " y.tim " + dir + " e.tim " + dir + " w.tim", 1},
        {head + "0.1 0 40 1 " + dir + " y.tim " + dir + " e.tim " + dir + " w.tim", 2},
    };
    for (const auto& [text, result] : cases) EXPECT_EQ(readLine(block, QF_OP_LMS, text), result);

    // A replay takes "./" as the script's folder for all three outputs.
    put("r.scr",
        "4007 LMSfilter          ./ x.tim ./ x.tim 0.05 2 1000 0 ./ ry.tim ./ re.tim "
        "./ rw.tim\n");
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    std::memset(&block, 0, sizeof block);
    TestHost::instance().answer([this](CommandBlock& b, const HostCall&) {
        setEntry(b.out, dir, "r.scr");
        return 0;
    });
    block.opCode = QF_OP_RUN_SCRIPT;
    ASSERT_EQ(RunOp(&block), 0) << TestHost::instance().lastMessage();
    EXPECT_STREQ(block.out2.p, dir.c_str());
    EXPECT_STREQ(block.out3.p, dir.c_str());
    EXPECT_EQ(get("rw.tim").count(), 2);
    EXPECT_EQ(get("re.tim").count(), 50);
}

TEST_F(Lms, EscStopsEachModelRunAndLeavesNoOutput) {
    put("x.tim", real32File(noise(600, 8)));
    put("y.tim", "an older y");
    TestHost::instance().keyState[0x1B] = static_cast<int16_t>(0x8000);
    const int32_t lms = filter("x.tim", "x.tim", {});
    const int32_t lpc =
        run(QF_OP_LPC_ANALYSIS, "x.tim", "x.lpc", [this](CommandBlock& b, const HostCall&) {
            setEntry(b.out, dir, "x.lpc");
            paramInt(b, QF_P_LPC_ORDER) = 4;
            paramInt(b, QF_P_LPC_FRAME) = 100;
            paramInt(b, QF_P_LPC_INTERVAL) = 50;
            paramInt(b, QF_P_LPC_FFT_SIZE) = 64;
            return 0;
        });
    const int32_t wiener = run(QF_OP_WIENER, "x.tim", "g.tim", nullptr, "x.tim");
    TestHost::instance().keyState[0x1B] = 0;
    EXPECT_NE(lms, 0);
    EXPECT_NE(lpc, 0);
    EXPECT_NE(wiener, 0);
    EXPECT_EQ(readFile(dir + "y.tim"), "an older y");
    for (const char* f : {"e.tim", "w.tim", "x.lpc", "x.fre", "g.tim"})
        EXPECT_FALSE(exists(f)) << f;
}
