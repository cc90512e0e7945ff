// The shared dialogs and checks as the time-domain operations use them:
// messages, "ask again" loops, remembered constants, and script lines
// written and read back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "core/frame.h"
#include "core/operation.h"
#include "ops/time/signal_bytes.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

using FrameDialogs = OperationTest;

TEST_F(FrameDialogs, InertOperationShowsNoDialogAndWritesNothing) {
    // 4090 shows no dialog and, with a readable input, does nothing.
    put("x.tim", int16File(ramp(4)));
    EXPECT_EQ(run(4090, "x.tim", "y.tim"), 0);
    EXPECT_EQ(TestHost::instance().count("stdGet123Files"), 0);
    EXPECT_FALSE(exists("y.tim"));
}

TEST_F(FrameDialogs, FactorsAreTakenAsMagnitudesEvenBeyondThirtyTwoBits) {
    put("x.tim", int16File(ramp(10)));
    ASSERT_EQ(run(4030, "x.tim", "d.tim", with(-3)), 0);
    EXPECT_EQ(words("d.tim"), (std::vector<int16_t>{0, 3, 6}));
    // The most negative factor has no magnitude in 32 bits: the largest
    // factor stands for it, and nothing of 10 samples is left.
    run(4030, "x.tim", "d.tim", with(INT32_MIN));
    EXPECT_EQ(paramInt(block, QF_PARAM_OFFSET), INT32_MAX);
    EXPECT_NE(messages(QF_MSG_NOTICE).at(0).find("factor of 2147483647"), std::string::npos);
    // A shift whose output count passes 32 bits makes nothing.
    EXPECT_EQ(run(3070, "x.tim", "s.tim", with(INT32_MAX)), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Out of working memory.  Operation aborted.");
    EXPECT_FALSE(exists("s.tim"));
}

TEST_F(FrameDialogs, DecimationByOneEndsTheOperation) {
    put("x.tim", int16File(ramp(10)));
    EXPECT_EQ(run(4030, "x.tim", "d.tim", with(1)), 102);
    EXPECT_EQ(block.opCode, 9999);
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (Texts{"Decimation factor should be 2, for which every other "
                     "sample is dropped, or larger."}));
    EXPECT_FALSE(exists("d.tim"));
}

TEST_F(FrameDialogs, LargeDecimationIsNotedAndGoesOn) {
    put("x.tim", int16File(ramp(300)));
    ASSERT_EQ(run(4030, "x.tim", "d.tim", with(100)), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (Texts{"Note that a decimation factor of 100 causes 99.0000% of "
                     "spectral information to be removed."}));
    EXPECT_EQ(words("d.tim"), (std::vector<int16_t>{0, 100, 200}));
}

TEST_F(FrameDialogs, LargeInterpolationIsNotedAndAskedAgain) {
    put("x.tim", int16File({1, 2, 3}));
    const DialogAnswer first = [](CommandBlock& b, const HostCall& call) {
        EXPECT_EQ(call.args,
                  (Texts{"Interpolation", ".tim", "Input file", "factor", ".tim", "Output file"}));
        EXPECT_EQ(paramInt(b, QF_PARAM_OFFSET), 2);  // the start-up value
        paramInt(b, QF_PARAM_OFFSET) = 100;
        return 0;
    };
    ASSERT_EQ(run(4040, "x.tim", "i.tim", {first, with(1), with(2)}), 0);
    EXPECT_EQ(TestHost::instance().count("stdGet2FilesNk"), 3);
    EXPECT_EQ(
        messages(QF_MSG_NOTICE),
        (Texts{"Note that a interpolation factor of 100 causes 99 zeros to be inserted between "
               "orignially adjacent samples.",
               "Interpolation factor should be 2, for which one zero is inserted after every "
               "sample, or larger."}));
    EXPECT_EQ(words("i.tim"), (std::vector<int16_t>{1, 0, 2, 0, 3, 0}));
}

TEST_F(FrameDialogs, QuantizingToZeroOrSixteenBitsIsAskedAgain) {
    put("x.tim", int16File({0x1234, 0x7FFF, -1}));
    ASSERT_EQ(run(3230, "x.tim", "q.tim", {with(0), with(16), with(4)}), 0);
    const std::string bits = "Number of bits to be masked must between 1 and 15.";
    EXPECT_EQ(messages(QF_MSG_NOTICE), (Texts{bits, bits}));
    EXPECT_EQ(words("q.tim"), (std::vector<int16_t>{0x1000, 0x7000, -4096}));
    // Floats are refused, asked again, then cancelled.
    put("f.tim", real32File({0.5f, 0.25f, 0.125f}));
    EXPECT_EQ(run(3230, "f.tim", "r.tim", with(8)), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Number type for masking must be fractional fixed point number.");
}

TEST_F(FrameDialogs, LeftShiftLeavingTooFewSamplesIsAskedAgain) {
    put("x.tim", int16File(ramp(10)));
    ASSERT_EQ(run(3070, "x.tim", "s.tim", {with(-8), with(-7)}), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (Texts{"Left shift 'x.tim' by 8 will leave less than three "
                     "samples in the result.  Reduce the amount of shift."}));
    EXPECT_EQ(words("s.tim"), (std::vector<int16_t>{7, 8, 9}));
}

TEST_F(FrameDialogs, ConstantsAreRememberedFromTheLastAcceptedValue) {
    put("x.tim", int16File(ramp(20)));
    const DialogAnswer negate = [](CommandBlock& b, const HostCall& call) {
        EXPECT_EQ(call.args,
                  (Texts{"Negate and add", ".tim", "-X(t)", "+ constant", ".tim", "= Y(t)"}));
        EXPECT_EQ(paramDouble(b, QF_PARAM_OFFSET), 0.0);
        paramDouble(b, QF_PARAM_OFFSET) = 0.75;
        return 0;
    };
    ASSERT_EQ(run(3025, "x.tim", "y.tim", negate), 0);
    ASSERT_EQ(run(4030, "x.tim", "d.tim", with(5)), 0);
    // Each dialog opens on its own operation's last value.
    const std::pair<int32_t, double> seeds[] = {{3025, 0.75}, {3015, 0.0}, {4030, 5}, {4040, 2}};
    for (auto [code, seeded] : seeds) {
        double seen = -1;
        run(code, "x.tim", "y.tim", [&seen, code](CommandBlock& b, const HostCall&) {
            seen = code < 4000 ? paramDouble(b, QF_PARAM_OFFSET) : paramInt(b, QF_PARAM_OFFSET);
            return 1;  // cancel
        });
        EXPECT_EQ(seen, seeded) << code;
    }
}

TEST_F(FrameDialogs, ShortInputForTheDelayIsReportedAndAskedAgain) {
    put("x.tim", int16File(ramp(4)));
    EXPECT_EQ(run(3240, "x.tim", "d.tim", with(5)), 1);
    EXPECT_EQ(messages(QF_MSG_ERROR), (Texts{"'" + dir + "x.tim' must have at least 5 points."}));
}

TEST_F(FrameDialogs, UnsupportedTypeForAFunctionIsReportedAndAskedAgain) {
    put("c.tim", complexFile());
    EXPECT_EQ(run(3110, "c.tim", "s.tim", with(1.0, 1.0)), 1);
    EXPECT_EQ(messages(QF_MSG_ERROR), (Texts{"'" + dir + "c.tim' has an unsupported type."}));
    auto dialogs = TestHost::instance().callsNamed("stdGet123Files");
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].args,
              (Texts{"Sine", ".tim", "X(t)", ".tim", "A*sin(a*X(t))", "(null)", "(null)", "32"}));
}

// Script lines

namespace {

class ScriptLines : public SpacedLines {
  protected:
    void SetUp() override {
        SpacedLines::SetUp();
        writeFile(spaced + "in put.tim", int16File(ramp(10, 1)));
        writeFile(spaced + "other.tim", int16File({1, 2, 3}));
    }
    // "%04d %s       " (the code, the script name padded to 18, seven
    // blanks), then the spaced input, `fields` and the spaced output, with
    // '*' for blanks in the names.
    std::string lineOf(int code, const std::string& name, const std::string& fields) const {
        std::string n = name;
        n.resize(18, ' ');
        return std::to_string(code) + " " + n + "       " + star + " in*put.tim " + fields + star +
               " out*file.tim";
    }
};

}  // namespace

TEST_F(ScriptLines, EachLayoutRoundTripsNamesWithBlanks) {
    const struct {
        int32_t code;
        const char* name;
        void (*set)(CommandBlock&);
        std::string fields;  // between the input and the output
    } cases[] = {
        {3015, "AdditionK", [](CommandBlock& b) { paramDouble(b, QF_PARAM_OFFSET) = 0.25; },
         "           0.25 "},
        {3110, "Sine",
         [](CommandBlock& b) {
             paramDouble(b, QF_PARAM_OFFSET) = -1.5, paramDouble(b, QF_PARAM_OFFSET + 8) = 0.001;
         },
         "           -1.5           0.001 "},
        {3100, "Extract",
         [](CommandBlock& b) {
             paramInt(b, QF_PARAM_OFFSET) = 2, paramInt(b, QF_PARAM_OFFSET + 4) = 5;
         },
         "2 5 "},
        {3220, "Join", [](CommandBlock&) {}, star + " other.tim "},
        {3230, "QuantizeFixedPt", [](CommandBlock& b) { paramInt(b, QF_PARAM_OFFSET) = 7; }, "7 "},
        {3090, "Flip", [](CommandBlock&) {}, ""},
        {6060, "Int_Float_Cvt", [](CommandBlock&) {}, ""},
    };
    for (const auto& c : cases) {
        prepare(c.code);
        c.set(block);
        const std::string line = lineWritten();
        EXPECT_EQ(line, lineOf(c.code, c.name, c.fields) + "\r\n");
        // Read back into a block with the names and parameters cleared.
        unsigned char* params = reinterpret_cast<unsigned char*>(&block) + QF_PARAM_OFFSET;
        const std::vector<unsigned char> set(params, params + 16);
        std::memset(params, 0, 16);
        std::memset(&block.in1, 0, sizeof block.in1);
        std::memset(&block.in2, 0, sizeof block.in2);
        std::memset(&block.out, 0, sizeof block.out);
        ASSERT_EQ(lineRead(line), 0) << line;
        EXPECT_EQ(std::vector<unsigned char>(params, params + 16), set) << c.code;
        EXPECT_EQ(std::string(block.in1.p) + block.in1.n + "|" + block.out.p + block.out.n,
                  spaced + "in put.tim|" + spaced + "out file.tim");
        if (c.code == 3220) {
            EXPECT_STREQ(block.in2.n, "other.tim");
        }
    }
}

TEST_F(ScriptLines, MissingFieldIsMalformedAndFailingCheckIsAParameterError) {
    const auto cut = [](const std::string& l) { return l.substr(0, l.rfind(' ')); };
    const std::pair<std::string, int32_t> cases[] = {
        {cut(lineOf(3240, "Difference", "2 ")), 1},  // no output
        {lineOf(3240, "Difference", "20 "), 2},      // ten samples cannot give a delay of 20
        {lineOf(3240, "Difference", "3 "), 0},
        {lineOf(3230, "QuantizeFixedPt", "0 "), 2},
        {lineOf(4030, "Decimation", "1 "), 2},
        {lineOf(4030, "Decimation", "x "), 1},
        {lineOf(3100, "Extract", "10 0 "), 2},
        // a line ends with its output: more fields make it malformed
        {lineOf(3015, "AdditionK", "0.5 ") + " ./ c.tim", 1},
        {lineOf(3090, "Flip", "") + " ./ c.tim", 1},
    };
    for (const auto& [line, expected] : cases) {
        prepare(std::stoi(line));
        EXPECT_EQ(lineRead(line), expected) << line;
    }
    // A length past the end is cut and accepted.
    prepare(3100);
    ASSERT_EQ(lineRead(lineOf(3100, "Extract", "8 5 ")), 0);
    EXPECT_EQ(paramInt(block, QF_PARAM_OFFSET + 4), 2);
}
