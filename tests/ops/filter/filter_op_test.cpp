// Operation 4005 through RunOp with the recording test host: the proposed
// names and the remembered filter file, the dialog, every check result and
// its messages, the output file, the trace lines, overlap-save, the
// multi-channel refusal and the script line.
#include "ops/filter/filter_op.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/engine.h"
#include "ops/filter/filter_test_support.h"
#include "ops/time/signal_bytes.h"
#include "script/lines.h"

namespace qf::test {
namespace {

using namespace sig;

// An FIR coefficient file: floating point (taps as text) or Q15 (words).
std::string floatFir(const std::vector<std::string>& taps, const std::string& rate = "8000",
                     const char* design = "FIR DESIGN FLOATING POINT") {
    char line[96];
    std::snprintf(line, sizeof line, "SAMPLING FREQUENCY           %s HERTZ\r\n", rate.c_str());
    std::string s = "FILTER COEFFICIENT FILE\r\n" + std::string(design) + "\r\n" + line;
    s += std::to_string(taps.size()) + "   /* taps */\r\n0000\r\n  32\r\n0020\r\n";
    for (const std::string& t : taps) s += t + "\r\n";
    return s;
}
std::string q15Fir(const std::vector<int16_t>& taps, int bits = 16) {
    std::string s =
        "FILTER COEFFICIENT FILE\nFIR DESIGN\n"
        "SAMPLING FREQUENCY            8.0000000E+003 HERTZ\n" +
        std::to_string(taps.size()) + "\n0000\n" + std::to_string(bits) + "\n0010\n   0\n0000\n";
    for (int16_t t : taps) {
        char b[64];
        std::snprintf(b, sizeof b, "  %6d %08X\n", t,
                      static_cast<unsigned>(static_cast<int32_t>(t)));
        s += b;
    }
    return s;
}
// An IIR file of the given quantization and structure lines and values.
std::string iirFile(const std::string& quantization, const std::string& structure, int order,
                    int sections, int bits, const std::vector<std::string>& values) {
    char counts[3][64];
    const int v[3] = {order, sections, bits};
    for (int i = 0; i < 3; ++i)
        std::snprintf(counts[i], sizeof counts[i], "%-21s %d %Xh\n", "N", v[i], v[i]);
    std::string s =
        "FILTER COEFFICIENT FILE\nIIR DESIGN\n\n\n\n\n\nHERTZ\n"
        "SAMPLING FREQUENCY           8000\n\n";
    s += std::string(counts[0]) + counts[1] + counts[2] + quantization + "\n" + structure + "\n";
    for (const std::string& x : values) s += x + "\n";
    return s;
}

class FilterOp : public OperationTest {
  protected:
    // Filters `signal` with `coefficients` into `out` as a user would: the
    // signal is the current input; the dialog names the coefficient file
    // and the output.  More answers follow for a dialog shown again.
    int32_t filter(const std::string& coefficients, const std::string& signal,
                   const std::string& out, int extraAnswers = 0) {
        setEntry(block.in1, dir, signal);
        const std::string d = dir;
        TestHost::instance().answer([=](CommandBlock& b, const HostCall&) {
            setEntry(b.in1, d, coefficients);
            setEntry(b.out, d, out);
            return 0;
        });
        for (int i = 0; i < extraAnswers; ++i) TestHost::instance().answerOk();
        block.opCode = QF_OP_FILTER;
        return RunOp(&block);
    }
    std::string log() { return readFile(home + "quillfen.log"); }
};

TEST_F(FilterOp, ProposesTheSignalAndTheLastFilterAndWritesTheFilteredSignal) {
    put("s.tim", real32File({1.0f, 0.0f, 0.0f, 0.0f, 2.0f}, 8000.0));
    put("lp.flt", floatFir({"0.25", "0.5", "0.25"}));
    Texts seen;
    setEntry(block.in1, dir, "s.tim");
    TestHost::instance().answer([&](CommandBlock& b, const HostCall&) {
        seen = {b.in1.n, b.in2.n, b.in2.p};
        setEntry(b.in1, dir, "lp.flt");
        setEntry(b.out, dir, "y.tim");
        return 0;
    });
    block.opCode = QF_OP_FILTER;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(seen, (Texts{"", "s.tim", dir}));  // no filter used yet
    EXPECT_EQ(TestHost::instance().callsNamed("stdGet123Files").back().args,
              (Texts{"Filtering Signal", ".flt", "Coefficients", ".tim", "Signal File", ".tim",
                     "= Output file", "32"}));
    const Parsed p = get("y.tim");
    EXPECT_EQ(p.field("Remark"), "s.tim filter by lp.flt");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(p.rate(), 8000.0);
    EXPECT_EQ(real32Records(p), (Floats{0.25f, 0.5f, 0.25f, 0.0f, 0.5f}));
    EXPECT_EQ(described(), "[y.tim] = [s.tim] filtered by [lp.flt]");
    EXPECT_STREQ(block.in1.n, "y.tim");  // the result is the next input

    // The next filtering proposes the filter used last.
    TestHost::instance().answer([&](CommandBlock& b, const HostCall&) {
        seen = {b.in1.n, b.in2.n};
        setEntry(b.out, dir, "z.tim");
        return 0;
    });
    block.opCode = QF_OP_FILTER;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(seen, (Texts{"lp.flt", "y.tim"}));
    EXPECT_EQ(floats("z.tim"), (Floats{0.0625f, 0.25f, 0.375f, 0.25f, 0.1875f}));
    EXPECT_TRUE(messages(QF_MSG_NOTICE).empty());
}

TEST_F(FilterOp, SixteenBitSignalsAndRecordingsGiveSixteenBitOutputs) {
    // Q15 taps 16384 and 8192 on an impulse of 32767, rounding to even.
    put("q.flt", q15Fir({16384, 8192}));
    put("i.tim", int16File({32767, 0, 0, 0}));
    qfenStatus->roundingMode = 'e';
    ASSERT_EQ(filter("q.flt", "i.tim", "o.tim"), 0);
    EXPECT_EQ(words("o.tim"), (Words{16384, 8192, 0, 0}));
    put("r.tim", realtimeFile({32767, 0, 0, 0}, 1, -1.0, 1.0));
    ASSERT_EQ(filter("q.flt", "r.tim", "ro.tim"), 0);
    EXPECT_EQ(get("ro.tim").field("Record type number"), "INTEGER16");
    EXPECT_EQ(words("ro.tim"), (Words{16384, 8192, 0, 0}));
}

TEST_F(FilterOp, FloatSamplesEnterFixedPointIirFiltersByTheOverflowMode) {
    // No sections, gain 1/2 x 2^1: the Q15 word of each sample comes out.
    put("pass.flt", iirFile("QUANTIZATION TYPE - FRACTIONAL FIXED POINT",
                            "COEFFICIENTS SCALED FOR CASCADE FORM II", 0, 0, 16, {"1", "16384"}));
    put("x.tim", real32File({1.5f, 0.5f, -2.0f}));
    const float c = 3.0518509e-05f;
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(filter("pass.flt", "x.tim", "s.tim"), 0);
    EXPECT_EQ(floats("s.tim"), (Floats{32767 * c, 16383 * c, -32768 * c}));
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(filter("pass.flt", "x.tim", "w.tim"), 0);
    EXPECT_EQ(floats("w.tim"), (Floats{-16386 * c, 16383 * c, 2 * c}));  // -65534 wraps to 2
}

TEST_F(FilterOp, EachCheckResultHasItsMessageAndLeavesNoOutput) {
    put("s.tim", real32File({1, 2, 3, 4}));
    put("lp.flt", floatFir({"0.5", "0.5"}));
    put("b12.flt", q15Fir({1, 2, 3}, 12));
    put("f.fre", complexFile());
    std::vector<int16_t> many(8192, 1);
    put("t8192.flt", q15Fir(many));
    struct Case {
        const char* filter;
        const char* signal;
        Texts notices;
    } const cases[] = {
        {"none.flt", "s.tim", {"Error reading 'none.flt'."}},
        {"lp.flt", "none.tim", {"Error reading 'none.tim'."}},
        {"lp.flt",
         "f.fre",
         {"'f.fre' has an unsupported number type.  Currently supports only 16-bit fixed point and "
          "32-bit floating point number types."}},
        {"b12.flt",
         "s.tim",
         {"FIR floating point coefficients must have 16-bit or 24-bit quantization."}},
        {"t8192.flt",
         "s.tim",
         {"Maximum number of filter taps is 8191 or less",
          "'t8192.flt' exceeds the maximum number of filter taps of 8191.  Please use a smaller "
          "filter."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter + std::string(" ") + c.signal);
        TestHost::instance().reset();
        put("out.tim", "an earlier file");
        // The dialog is shown again; the second time it is cancelled.
        EXPECT_NE(filter(c.filter, c.signal, "out.tim"), 0);
        EXPECT_EQ(messages(QF_MSG_NOTICE), c.notices);
        EXPECT_EQ(TestHost::instance().count("stdGet123Files"), 2);
        EXPECT_EQ(readFile(dir + "out.tim"), "an earlier file");
    }
    // 8191 taps are accepted.
    many.pop_back();
    put("t8191.flt", q15Fir(many));
    put("w.tim", int16File(std::vector<int16_t>(10, 100)));
    ASSERT_EQ(filter("t8191.flt", "w.tim", "out.tim"), 0);
    EXPECT_EQ(words("out.tim")[9], 0);  // 10 x 100 x 1 / 32768 rounds to 0
    setEntry(block.in1, dir, "t8191.flt");
    setEntry(block.in2, dir, "w.tim");
    runtime().block = &block;
    EXPECT_EQ(filterCheckParams(0), 0);
}

TEST_F(FilterOp, ADifferentSamplingRateIsAWarningAndTheRunGoesOn) {
    put("s.tim", real32File({1, 0, 0}, 1000.0));
    put("lp8k.flt", floatFir({"1.0"}, "8000"));
    ASSERT_EQ(filter("lp8k.flt", "s.tim", "o.tim"), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (Texts{"Signal and filter have different sampling rate. Resulting passband may not "
                     "corresponding to filter design."}));
    EXPECT_EQ(floats("o.tim"), (Floats{1, 0, 0}));

    // A rate given as an angular frequency is the same rate, to rounding.
    TestHost::instance().reset();
    put("w.flt", floatFir({"1.0"}, "6.283185307179586E+03", "FIR DESIGN FLOATING POINT"));
    const std::string hz = readFile(dir + "w.flt");
    put("w.flt", hz.substr(0, hz.find(" HERTZ")) + hz.substr(hz.find(" HERTZ") + 6));
    ASSERT_EQ(filter("w.flt", "s.tim", "p.tim"), 0);
    EXPECT_TRUE(messages(QF_MSG_NOTICE).empty());
    EXPECT_TRUE(sameSamplingRate(1000.0, 6.283185307179586E+03 / 6.283185307179586));
    EXPECT_FALSE(sameSamplingRate(1000.0, 1000.001));
}

TEST_F(FilterOp, ARecordingOfSeveralChannelsIsRefusedAsTheSignalOnly) {
    put("m.tim", realtimeFile({1, 2, 3, 4, 5, 6}, 2, -1.0, 1.0));
    put("lp.flt", floatFir({"1.0"}));
    ASSERT_EQ(filter("lp.flt", "m.tim", "o.tim"), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (Texts{"'m.tim' is a multi-channel signal.  Please demultiplex the signal and work "
                     "with the component signals."}));
    EXPECT_FALSE(exists("o.tim"));
}

TEST_F(FilterOp, KernelsLeaveTheirTraceLinesAndLongFloatFirsUseOverlapSave) {
    const std::vector<float> x = floatSignal(1000, 3);
    put("x.tim", real32File(x));
    // 63 taps, and the same taps with a 64th of zero.
    std::vector<std::string> taps;
    for (int k = 0; k < 63; ++k) taps.push_back(std::to_string(0.01 * (k % 7) - 0.02));
    put("t63.flt", floatFir(taps));
    taps.push_back("0");
    put("t64.flt", floatFir(taps));

    ASSERT_EQ(filter("t63.flt", "x.tim", "d.tim"), 0);
    EXPECT_EQ(filterOverlapSaveBlocks(), 0);
    EXPECT_NE(log().find("OP $$enter$$ case fir4REAL4\r\nOP           flt->noRecord = 63\r\n"
                         "OP           flt->p.p2 [0] = -0.02\r\n"),
              std::string::npos);
    ASSERT_EQ(filter("t64.flt", "x.tim", "o.tim"), 0);
    EXPECT_EQ(filterOverlapSaveBlocks(), 6);  // 5 blocks of 193 and one of 35
    EXPECT_EQ(messages(QF_MSG_DESCRIPTION),
              (Texts{"[d.tim] = [x.tim] filtered by [t63.flt]",
                     "Accelerating FIR filtering using overlap-save FFT",
                     "[o.tim] = [x.tim] filtered by [t64.flt]"}));
    const Floats direct = floats("d.tim"), fast = floats("o.tim");
    EXPECT_LT(relativeError(fast, std::vector<double>(direct.begin(), direct.end())), 2e-6);

    // The lattices' trace lines.
    put("fl.flt", floatFir({"0.5", "-0.25"}, "8000", "FIR DESIGN FLOATING POINT LATTICE"));
    ASSERT_EQ(filter("fl.flt", "x.tim", "fl.tim"), 0);
    EXPECT_NE(log().find("OP $$enter$$ dspFilterFIRLattice\r\nOP           order = 2\r\n"
                         "OP           kappa[0] = 0.5\r\nOP           kappa[1] = -0.25\r\n"),
              std::string::npos);
    put("il.flt",
        iirFile("QUANTIZATION TYPE - FLOATING POINT", "COEFFICIENTS SCALED FOR LATTICE STRUCTURE",
                1, 1, 32, {"2", "1", "0.5", "0.25"}));
    ASSERT_EQ(filter("il.flt", "x.tim", "il.tim"), 0);
    EXPECT_NE(log().find("OP $$enter$$ dspFilterIIRLattice\r\nOP           order = 1\r\n"
                         "OP           gain  = 2\r\nOP           gamma[0] = 1\r\n"
                         "OP           kappa[0] = 0.25\r\n"),
              std::string::npos);
}

TEST_F(FilterOp, ScriptLinesRoundTripAndTheRateWarningIsAccepted) {
    const std::string sub = dir + "my dir/";
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    put("my dir/s.tim", real32File({1, 2, 3}, 1000.0));
    put("my dir/lp.flt", floatFir({"1"}, "8000"));
    block.opCode = QF_OP_FILTER;
    setEntry(block.in1, sub, "lp.flt");
    setEntry(block.in2, sub, "s.tim");
    setEntry(block.out, sub, "o.tim");
    runtime().block = &block;
    std::FILE* f = std::fopen((dir + "l.scr").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(genericWriteScriptLine(0, f), 0);
    std::fclose(f);
    std::string escaped = sub;
    std::replace(escaped.begin(), escaped.end(), ' ', '*');
    const std::string line = readFile(dir + "l.scr");
    EXPECT_EQ(line, "4005 Perform_filtering        " + escaped + " lp.flt " + escaped + " s.tim " +
                        escaped + " o.tim\r\n");

    std::memset(&block, 0, sizeof block);
    block.opCode = QF_OP_FILTER;
    // The rates differ (99): the line is taken.
    EXPECT_EQ(genericReadScriptLine(0, line.c_str(), filterCheckParams), 0);
    EXPECT_EQ(std::string(block.in1.p) + block.in1.n + "|" + block.in2.n + "|" + block.out.n,
              sub + "lp.flt|s.tim|o.tim");
    const std::string head = "4005 Perform_filtering        " + escaped + " ";
    EXPECT_EQ(genericReadScriptLine(0, (head + "lp.flt " + escaped).c_str(), filterCheckParams), 1);
    EXPECT_EQ(genericReadScriptLine(
                  0, (head + "no.flt " + escaped + " s.tim " + escaped + " o.tim").c_str(),
                  filterCheckParams),
              2);
}

}  // namespace
}  // namespace qf::test
