// The checks, messages and script lines of smoothing, sample and hold,
// mapping, the difference equation, linear combination, product, logarithm
// and real to whole: each refused input or parameter, what is asked again
// and what goes on, and every script line written and read back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "core/operation.h"
#include "ops/time/signal_bytes.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

namespace {

class OwnDialogs : public OperationTest {
  protected:
    // Runs `code` with `answer` once; the dialog asked again is cancelled.
    Texts noticesOf(int32_t code, const std::string& in1, const std::string& in2,
                    DialogAnswer answer, int32_t expected = 1) {
        TestHost::instance().reset();
        if (!answer) answer = [](CommandBlock&, const HostCall&) { return 0; };
        EXPECT_EQ(run(code, in1, "out.tim", {answer}, in2), expected) << code;
        return messages(QF_MSG_NOTICE);
    }
};

}  // namespace

TEST_F(OwnDialogs, SmoothingLengthOutsideTheRangeIsSetToItsLimitAndAskedAgain) {
    put("x.tim", int16File(sig::ramp(20)));
    std::vector<int32_t> seen;
    auto answer = [&seen](int32_t n) {
        return [&seen, n](CommandBlock& b, const HostCall&) {
            seen.push_back(paramInt(b, QF_P_SMOOTH_LENGTH));
            paramInt(b, QF_P_SMOOTH_LENGTH) = n;
            return 0;
        };
    };
    ASSERT_EQ(run(3260, "x.tim", "y.tim", {answer(1), answer(20000), answer(4)}), 0);
    EXPECT_EQ(seen, (std::vector<int32_t>{10, 2, 16380}));
    const std::string range = "N must be between 2 and 16380 inclusive.";
    EXPECT_EQ(messages(QF_MSG_NOTICE), (Texts{range, range}));
    EXPECT_EQ(words("y.tim")[0], 1);  // (0 + 1 + 2 + 3) / 4
    // The next dialog opens on the last length accepted.
    seen.clear();
    run(3260, "x.tim", "y.tim", {answer(0)});
    EXPECT_EQ(seen.front(), 4);
}

TEST_F(OwnDialogs, UnreadableUnsupportedAndMultiChannelInputsAreAskedAgain) {
    put("ok.tim", int16File(sig::ramp(8)));
    put("c.tim", complexFile());
    put("r.tim", realtimeFile(sig::ramp(8), 2, -1, 1));
    // Parameters each check accepts once the inputs are fine.
    const DialogAnswer valid = [](CommandBlock& b, const HostCall&) {
        unsigned char* p = reinterpret_cast<unsigned char*>(&b) + QF_PARAM_OFFSET;
        std::memset(p, 0, 64);
        const int32_t code = b.opCode;
        if (code == 3260) paramInt(b, QF_P_SMOOTH_LENGTH) = 3;
        if (code == 3280) paramDouble(b, QF_P_MAP_X1) = 1.0;
        if (code == 3300) paramDouble(b, QF_P_COMBINE_B) = 1.0;
        if (code == 3310) paramDouble(b, QF_P_LOG_ZERO) = -10.0;
        return 0;
    };
    const std::string plain = "Please demultiplex signal before performing operations.";
    const struct {
        int32_t code;
        bool named;  // the multi-channel message names the file
    } singles[] = {{3260, false}, {3280, false}, {3290, false}, {3310, true}, {3320, false}};
    for (const auto& s : singles) {
        EXPECT_EQ(noticesOf(s.code, "absent.tim", "", valid), Texts{"Error reading 'absent.tim'."});
        EXPECT_EQ(noticesOf(s.code, "c.tim", "", valid),
                  Texts{"'c.tim' has an unsupported data type."});
        EXPECT_EQ(
            noticesOf(s.code, "r.tim", "", valid),
            Texts{s.named ? "Please demultiplex 'r.tim' before performing operations." : plain});
    }
    const struct {
        int32_t code;
        bool named;
    } pairs[] = {{3270, false}, {3300, true}, {3030, true}};
    for (const auto& p : pairs) {
        EXPECT_EQ(noticesOf(p.code, "absent.tim", "ok.tim", valid),
                  Texts{"Error reading 'absent.tim'."});
        EXPECT_EQ(noticesOf(p.code, "ok.tim", "gone.tim", valid),
                  Texts{"Error reading 'gone.tim'."});
        EXPECT_EQ(noticesOf(p.code, "ok.tim", "c.tim", valid),
                  Texts{"'c.tim' has an unsupported data type."});
        EXPECT_EQ(
            noticesOf(p.code, "ok.tim", "r.tim", valid),
            Texts{p.named ? "Please demultiplex 'r.tim' before performing operations." : plain});
    }
    EXPECT_FALSE(exists("out.tim"));
}

TEST_F(OwnDialogs, MapLimitsAreCheckedAgainstEachOtherAndTheWordRange) {
    put("w.tim", int16File({0, 100, -100}));
    put("f.tim", real32File({0.0f, 3.0f, -3.0f}));
    EXPECT_EQ(noticesOf(3280, "f.tim", "", with(-1.0, 0.0, 1.0, 1.0)),
              Texts{"X1 (-1) should be larger than X2 (1)"});
    EXPECT_EQ(noticesOf(3280, "w.tim", "", with(2.0, 1.0, -1.0, 0.0)),
              Texts{"X1 (2) or/and X2 (-1) are out of range for fractional fixed point numbers."});
    EXPECT_EQ(noticesOf(3280, "w.tim", "", with(0.5, 1.0, -1.5, 0.0)),
              Texts{"X1 (0.5) or/and X2 (-1.5) are out of range for fractional fixed point "
                    "numbers."});
    // Floats take any limits.
    EXPECT_TRUE(noticesOf(3280, "f.tim", "", with(2.0, 1.0, -2.0, -1.0), 0).empty());
    EXPECT_EQ(floats("out.tim"), (std::vector<float>{0.0f, 1.0f, -1.0f}));
}

TEST_F(OwnDialogs, LogarithmOfZeroMustLieWithinThirtyTwo) {
    put("x.tim", real32File({0.0f, 0.0f, 0.0f}));
    const std::string text =
        "log(0) is the value to return for zero or very small number.  It should be between -32 "
        "and 32.";
    for (double l : {33.0, -33.0, 1e300, std::nan("")})
        EXPECT_EQ(noticesOf(3310, "x.tim", "", with(1.0, l)), Texts{text}) << l;
    EXPECT_TRUE(noticesOf(3310, "x.tim", "", with(2.0, -32.9), 0).empty());
    EXPECT_EQ(floats("out.tim"), (std::vector<float>(3, -64.0f)));  // a L with L = -32
}

TEST_F(OwnDialogs, RealToWholeRefusesSixteenBitWords) {
    put("w.tim", int16File({1, 2, 3}));
    EXPECT_EQ(noticesOf(3320, "w.tim", "", nullptr),
              Texts{"This operation remove the fractional part of the floating point numbers "
                    "and operates only on floating point numbers."});
    auto dialogs = TestHost::instance().callsNamed("stdGet123Files");
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].args,
              (Texts{"RealToWhole", ".tim", "X", ".tim", "int(X)", "(null)", "(null)", "32"}));
}

TEST_F(OwnDialogs, DifferentRatesAreNotedAndTheRunGoesOn) {
    put("a.tim", real32File({1.0f, 2.0f, 0.5f}, 8000.0));
    put("b.tim", real32File({3.0f, 4.0f, 2.0f}, 11025.0));
    const std::string note = "'a.tim' and 'b.tim' have different sampling rates.";
    EXPECT_EQ(noticesOf(3300, "a.tim", "b.tim", with(1.0, 1.0, 0.0), 0), Texts{note});
    EXPECT_DOUBLE_EQ(get("out.tim").rate(), 8000.0);
    EXPECT_EQ(noticesOf(3030, "a.tim", "b.tim", with(1.0), 0), Texts{note});
    EXPECT_EQ(floats("out.tim"), (std::vector<float>{3.0f, 8.0f, 1.0f}));
    auto dialogs = TestHost::instance().callsNamed("stdGet123Files");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].args, (Texts{"Multiply Two Signals", ".tim", "a * Input 1", ".tim",
                                      "* Input 2", ".tim", "= Output file", "32"}));
    // Sample and hold takes the data's rate without a word.
    EXPECT_TRUE(noticesOf(3270, "a.tim", "b.tim", nullptr, 0).empty());
}

TEST_F(OwnDialogs, LogarithmDialogLabels) {
    put("x.tim", real32File({1.0f, 10.0f, 100.0f}));
    noticesOf(3310, "x.tim", "", with(1.0, -10.0), 0);
    auto dialogs = TestHost::instance().callsNamed("stdGet123Files");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].args,
              (Texts{"Log10", ".tim", "X", ".tim", "a*log10(|X|)", "(null)", "(null)", "32"}));
}

// ---------------------------------------------------------------------------
// Script lines

namespace {

// "% 15.9lg" of a number written without an exponent.
std::string d15(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "% 15.9g", v);
    return b;
}

class OwnLines : public SpacedLines {
  protected:
    void SetUp() override {
        SpacedLines::SetUp();
        writeFile(spaced + "in put.tim", real32File({1, 2, 3, 4}, 8000.0));
        writeFile(spaced + "other.tim", real32File({1, 2, 3}, 8000.0));
        writeFile(spaced + "fast.tim", real32File({1, 2, 3}, 16000.0));
    }

  public:
    // The code, the name padded to 18 and seven blanks.
    static std::string head(int code, std::string name) {
        name.resize(18, ' ');
        return std::to_string(code) + " " + name + "       ";
    }
    std::string in1() const { return star + " in*put.tim"; }
    std::string in2() const { return star + " other.tim"; }
    std::string out() const { return star + " out*file.tim"; }
};

}  // namespace

TEST_F(OwnLines, EveryLayoutRoundTripsNamesWithBlanks) {
    // The fields after the head: I, J and O the spaced in1, in2 and out,
    // % the next of `doubles` as "% 15.9lg", anything else as it stands.
    const struct {
        int32_t code;
        const char* name;
        std::vector<double> doubles;  // from 13008 on (3260: its length instead)
        const char* fields;
    } cases[] = {
        {3260, "Smooth", {}, "I 7 O"},
        {3270, "SampleNHold", {}, "I J O"},
        {3280, "Map_and_Saturate", {1.0, 0.5, -1.0, -0.5}, "I % % % % O"},
        {3290, "Difference_Eqn", {0.25, -0.5, 0.125, -1.5, 0.5625, 0.001, -2}, "I % % % % % % % O"},
        {3300, "Linear_Combo", {2.5, -0.75, 1}, "% I % J % O"},
        {3300, "Linear_Combo", {2.5, 0, 1}, "% I % . 0 % O"},
        {3030, "Multiplication", {-3}, "% I J O"},
        {3310, "Log10", {20, -12.5}, "I % O %"},
        {3320, "Real_To_Whole_Cvt", {}, "I O"},
    };
    for (const auto& c : cases) {
        std::string line = head(c.code, c.name);
        std::size_t next = 0;
        std::istringstream fields(c.fields);
        for (std::string f; fields >> f;) {
            if (line.back() != ' ') line += ' ';
            line += f == "I"   ? in1()
                    : f == "J" ? in2()
                    : f == "O" ? out()
                    : f == "%" ? d15(c.doubles.at(next++))
                               : f;
        }
        SCOPED_TRACE(c.code);
        prepare(c.code);
        if (c.code == 3260) paramInt(block, QF_P_SMOOTH_LENGTH) = 7;
        for (std::size_t i = 0; i < c.doubles.size(); ++i)
            paramDouble(block, QF_PARAM_OFFSET + 8 * static_cast<int>(i)) = c.doubles[i];
        ASSERT_EQ(lineWritten(), line + "\r\n");

        unsigned char* params = reinterpret_cast<unsigned char*>(&block) + QF_PARAM_OFFSET;
        const std::vector<unsigned char> set(params, params + 56);
        std::memset(params, 0, 56);
        std::memset(&block.in1, 0, 3 * sizeof block.in1);
        ASSERT_EQ(lineRead(line), 0) << line;
        EXPECT_EQ(std::vector<unsigned char>(params, params + 56), set);
        EXPECT_EQ(std::string(block.in1.p) + block.in1.n + "|" + block.out.p + block.out.n,
                  spaced + "in put.tim|" + spaced + "out file.tim");
        if (line.find(" . 0 ") == std::string::npos &&
            line.find("other.tim") != std::string::npos) {
            EXPECT_EQ(std::string(block.in2.p) + block.in2.n, spaced + "other.tim");
        }
    }
}

TEST_F(OwnLines, MalformedLinesAndParameterErrors) {
    const std::pair<std::string, int32_t> cases[] = {
        {head(3260, "Smooth") + in1() + " 1 " + out(), 2},  // N below 2
        {head(3260, "Smooth") + in1() + " 3 " + star, 1},   // the output's name missing
        {head(3310, "Log10") + in1() + " 1 " + out() + " 40", 2},
        {head(3310, "Log10") + in1() + " 1 " + out(), 1},  // no L
        {head(3280, "Map_and_Saturate") + in1() + " -1 0 1 1 " + out(), 2},
        {head(3290, "Difference_Eqn") + in1() + " 1 0 0 0 0 0 " + out(), 1},
        // Unstable: noted in a dialog, run in a script.
        {head(3290, "Difference_Eqn") + in1() + " 1 0 0 0 1.2 0 0 " + out(), 0},
        // Different rates: the run goes on, in a script too.
        {head(3300, "Linear_Combo") + "1 " + in1() + " 1 " + star + " fast.tim 0 " + out(), 0},
        {head(3030, "Multiplication") + "1 " + in1() + " " + star + " fast.tim " + out(), 0},
        {head(3030, "Multiplication") + "1 " + in1() + " " + star + " gone.tim " + out(), 2},
        // b = 0: the second file is neither needed nor read.
        {head(3300, "Linear_Combo") + "1 " + in1() + " 0 . 0 0 " + out(), 0},
        {head(3300, "Linear_Combo") + "1 " + in1() + " 1 . 0 0 " + out(), 2},
    };
    for (const auto& [line, expected] : cases) {
        prepare(std::stoi(line));
        EXPECT_EQ(lineRead(line), expected) << line;
    }
}

TEST_F(OwnLines, RecordedCombinationWithBZeroReplaysWithoutASecondFile) {
    put("x.tim", real32File({1.0f, -3.0f, 0.5f}));
    TestHost::instance().answer([this](CommandBlock& b, const HostCall&) {
        setEntry(b.out, dir, "s.scr");
        return 0;
    });
    block.opCode = QF_OP_RECORD_START;
    ASSERT_EQ(RunOp(&block), 0);
    ASSERT_EQ(run(3300, "x.tim", "y.tim", with(-2.0, 0.0, 1.0), "nothing.tim"), 0);
    block.opCode = QF_OP_RECORD_STOP;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(readFile(dir + "s.scr"), head(3300, "Linear_Combo") + d15(-2) + " " + dir +
                                           " x.tim " + d15(0) + " . 0 " + d15(1) + " " + dir +
                                           " y.tim\r\n");

    std::remove((dir + "y.tim").c_str());
    TestHost::instance().answer([this](CommandBlock& b, const HostCall&) {
        setEntry(b.out, dir, "s.scr");
        return 0;
    });
    block.opCode = QF_OP_RUN_SCRIPT;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(floats("y.tim"), (std::vector<float>{-1.0f, 7.0f, 0.0f}));
}
