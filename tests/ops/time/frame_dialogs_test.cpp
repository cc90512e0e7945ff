// The shared dialogs and checks as the time-domain operations use them:
// messages, "ask again" loops, remembered constants, the registration, and
// script lines written and read back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "core/frame.h"
#include "core/operation.h"
#include "ops/time/signal_bytes.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

namespace {

class FrameDialogs : public OperationTest {
  protected:
    std::vector<int16_t> ramp(int n) {
        std::vector<int16_t> v(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = static_cast<int16_t>(i);
        return v;
    }
    // Queues one more dialog answer setting the integer parameter.
    void thenInt(int32_t v) { TestHost::instance().answer(withInt(v)); }
};

}  // namespace

TEST_F(FrameDialogs, EveryOperationIsRegistered) {
    for (int32_t code : {3015, 3025, 3035, 3040, 3050, 3060, 3070, 3090, 3100, 3110, 3120,
                         3130, 3200, 3220, 3230, 3240, 4030, 4040, 4090, 6050, 6060})
        EXPECT_NE(findOperation(code), nullptr) << code;
    const OperationRecord* inert = findOperation(4090);
    ASSERT_NE(inert, nullptr);
    EXPECT_EQ(inert->getParams, &twoFileDialog);
    EXPECT_EQ(inert->checkParams, &singleInputCheck);
    EXPECT_EQ(inert->execute, &defaultExecute);
    // 4090 shows no dialog and, with a readable input, does nothing.
    put("x.tim", int16File(ramp(4)));
    TestHost::instance().reset();
    EXPECT_EQ(run(4090, "x.tim", "y.tim"), 0);
    EXPECT_EQ(TestHost::instance().count("stdGet123Files"), 0);
    EXPECT_FALSE(exists("y.tim"));
}

TEST_F(FrameDialogs, DecimationFactorIsTakenAsItsMagnitude) {
    put("x.tim", int16File(ramp(10)));
    ASSERT_EQ(run(4030, "x.tim", "d.tim", withInt(-3)), 0);
    EXPECT_EQ(int16Records(get("d.tim")), (std::vector<int16_t>{0, 3, 6}));
}

TEST_F(FrameDialogs, FactorsBeyondThirtyTwoBitsAreHandled) {
    put("x.tim", int16File(ramp(10)));
    // The most negative factor has no magnitude in 32 bits: the largest
    // factor stands for it, and nothing of 10 samples is left.
    TestHost::instance().answer([](CommandBlock& b, const HostCall&) {
        paramInt(b, QF_PARAM_OFFSET) = INT32_MIN;
        return 0;
    });
    setEntry(block.in1, dir, "x.tim");
    setEntry(block.out, dir, "d.tim");
    block.opCode = 4030;
    RunOp(&block);
    EXPECT_EQ(paramInt(block, QF_PARAM_OFFSET), INT32_MAX);
    EXPECT_NE(messages(QF_MSG_NOTICE).at(0).find("factor of 2147483647"), std::string::npos);
    // A shift whose output count passes 32 bits makes nothing.
    EXPECT_EQ(run(3070, "x.tim", "s.tim", withInt(INT32_MAX)), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Out of working memory.  Operation aborted.");
    EXPECT_FALSE(exists("s.tim"));
}

TEST_F(FrameDialogs, DecimationByOneEndsTheOperation) {
    put("x.tim", int16File(ramp(10)));
    EXPECT_EQ(run(4030, "x.tim", "d.tim", withInt(1)), 102);
    EXPECT_EQ(block.opCode, 9999);
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (std::vector<std::string>{"Decimation factor should be 2, for which every other "
                                        "sample is dropped, or larger."}));
    EXPECT_FALSE(exists("d.tim"));
}

TEST_F(FrameDialogs, LargeDecimationIsNotedAndGoesOn) {
    put("x.tim", int16File(ramp(300)));
    ASSERT_EQ(run(4030, "x.tim", "d.tim", withInt(100)), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (std::vector<std::string>{"Note that a decimation factor of 100 causes 99.0000% of "
                                        "spectral information to be removed."}));
    EXPECT_EQ(int16Records(get("d.tim")), (std::vector<int16_t>{0, 100, 200}));
    // The factor is remembered for the next dialog.
    TestHost::instance().answer([](CommandBlock& b, const HostCall&) {
        EXPECT_EQ(paramInt(b, QF_PARAM_OFFSET), 100);
        return 1;
    });
    setEntry(block.in1, dir, "x.tim");
    block.opCode = 4030;
    EXPECT_EQ(RunOp(&block), 1);
}

TEST_F(FrameDialogs, LargeInterpolationIsNotedAndAskedAgain) {
    put("x.tim", int16File({1, 2, 3}));
    setEntry(block.in1, dir, "x.tim");
    setEntry(block.out, dir, "i.tim");
    TestHost::instance().answer([](CommandBlock& b, const HostCall& call) {
        EXPECT_EQ(call.args, (std::vector<std::string>{"Interpolation", ".tim", "Input file",
                                                       "factor", ".tim", "Output file"}));
        EXPECT_EQ(paramInt(b, QF_PARAM_OFFSET), 2);  // the start-up value
        paramInt(b, QF_PARAM_OFFSET) = 100;
        return 0;
    });
    thenInt(1);
    thenInt(2);
    block.opCode = 4040;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(TestHost::instance().count("stdGet2FilesNk"), 3);
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (std::vector<std::string>{
                  "Note that a interpolation factor of 100 causes 99 zeros to be inserted between "
                  "orignially adjacent samples.",
                  "Interpolation factor should be 2, for which one zero is inserted after every "
                  "sample, or larger."}));
    EXPECT_EQ(int16Records(get("i.tim")), (std::vector<int16_t>{1, 0, 2, 0, 3, 0}));
}

TEST_F(FrameDialogs, QuantizingToZeroOrSixteenBitsIsAskedAgain) {
    put("x.tim", int16File({0x1234, 0x7FFF, -1}));
    setEntry(block.in1, dir, "x.tim");
    setEntry(block.out, dir, "q.tim");
    thenInt(0);
    thenInt(16);
    thenInt(4);
    block.opCode = 3230;
    ASSERT_EQ(RunOp(&block), 0);
    const std::string bits = "Number of bits to be masked must between 1 and 15.";
    EXPECT_EQ(messages(QF_MSG_NOTICE), (std::vector<std::string>{bits, bits}));
    EXPECT_EQ(int16Records(get("q.tim")), (std::vector<int16_t>{0x1000, 0x7000, -4096}));
}

TEST_F(FrameDialogs, QuantizingFloatsIsRefused) {
    put("f.tim", real32File({0.5f, 0.25f, 0.125f}));
    EXPECT_EQ(run(3230, "f.tim", "q.tim", withInt(8)), 1);  // asked again, then cancelled
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (std::vector<std::string>{
                  "Number type for masking must be fractional fixed point number."}));
}

TEST_F(FrameDialogs, LeftShiftLeavingTooFewSamplesIsAskedAgain) {
    put("x.tim", int16File(ramp(10)));
    setEntry(block.in1, dir, "x.tim");
    setEntry(block.out, dir, "s.tim");
    thenInt(-8);
    thenInt(-7);
    block.opCode = 3070;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (std::vector<std::string>{"Left shift 'x.tim' by 8 will leave less than three "
                                        "samples in the result.  Reduce the amount of shift."}));
    EXPECT_EQ(int16Records(get("s.tim")), (std::vector<int16_t>{7, 8, 9}));
}

TEST_F(FrameDialogs, ConstantsAreRememberedFromTheLastAcceptedValue) {
    put("x.tim", int16File(ramp(4)));
    TestHost::instance().answer([](CommandBlock& b, const HostCall& call) {
        EXPECT_EQ(call.args, (std::vector<std::string>{"Negate and add", ".tim", "-X(t)",
                                                       "+ constant", ".tim", "= Y(t)"}));
        EXPECT_EQ(paramDouble(b, QF_PARAM_OFFSET), 0.0);
        paramDouble(b, QF_PARAM_OFFSET) = 0.75;
        return 0;
    });
    setEntry(block.in1, dir, "x.tim");
    setEntry(block.out, dir, "y.tim");
    block.opCode = 3025;
    ASSERT_EQ(RunOp(&block), 0);
    for (auto [code, seeded] :
         std::vector<std::pair<int32_t, double>>{{3025, 0.75}, {3015, 0.0}, {3035, 1.0}}) {
        TestHost::instance().answer([seeded](CommandBlock& b, const HostCall&) {
            EXPECT_EQ(paramDouble(b, QF_PARAM_OFFSET), seeded);
            return 1;
        });
        setEntry(block.in1, dir, "x.tim");
        block.opCode = code;
        EXPECT_EQ(RunOp(&block), 1) << code;
    }
    for (auto [code, seeded] :
         std::vector<std::pair<int32_t, int32_t>>{{3070, 10}, {3230, 3}, {4030, 2}, {4040, 2}}) {
        TestHost::instance().answer([seeded](CommandBlock& b, const HostCall&) {
            EXPECT_EQ(paramInt(b, QF_PARAM_OFFSET), seeded);
            return 1;
        });
        setEntry(block.in1, dir, "x.tim");
        block.opCode = code;
        EXPECT_EQ(RunOp(&block), 1) << code;
    }
}

TEST_F(FrameDialogs, ShortInputForTheDelayIsReportedAndAskedAgain) {
    put("x.tim", int16File(ramp(4)));
    EXPECT_EQ(run(3240, "x.tim", "d.tim", withInt(5)), 1);
    EXPECT_EQ(messages(QF_MSG_ERROR),
              (std::vector<std::string>{"'" + dir + "x.tim' must have at least 5 points."}));
}

TEST_F(FrameDialogs, UnsupportedTypeForAFunctionIsReportedAndAskedAgain) {
    Header h;
    h.type = "CINT32RECT(W)";
    h.count = 4;
    h.extra = line("Frame size", "4") + line("Frame interval", "4") +
              line("Window function", "Rectangular");
    put("c.tim", headerBytes(h) + rawBytes(std::vector<int16_t>(8, 0)));
    EXPECT_EQ(run(3110, "c.tim", "s.tim", withDoubles(1.0, 1.0)), 1);
    EXPECT_EQ(messages(QF_MSG_ERROR),
              (std::vector<std::string>{"'" + dir + "c.tim' has an unsupported type."}));
    auto dialogs = TestHost::instance().callsNamed("stdGet123Files");
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].args,
              (std::vector<std::string>{"Sine", ".tim", "X(t)", ".tim", "A*sin(a*X(t))", "(null)",
                                        "(null)", "32"}));
}

// ---------------------------------------------------------------------------
// Script lines

namespace {

class ScriptLines : public OperationTest {
  protected:
    void SetUp() override {
        OperationTest::SetUp();
        spaced = dir + "my data/";
        ::mkdir(spaced.c_str(), 0755);
        writeFile(spaced + "in put.tim", int16File({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        writeFile(spaced + "other.tim", int16File({1, 2, 3}));
    }
    // Writes the script line of the current block's operation.
    std::string written() {
        const OperationRecord* r = findOperation(qf::block().opCode);
        if (r == nullptr) return "(no record)";
        std::string path = dir + "line.scr";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        r->writeScriptLine(0, f);
        std::fclose(f);
        return readFile(path);
    }
    int32_t readBack(const std::string& line) {
        const OperationRecord* r = findOperation(qf::block().opCode);
        return r->readScriptLine(0, line.c_str(), r->checkParams);
    }
    // A block naming the spaced files, made the current block.
    void prepare(int32_t code) {
        std::memset(&block, 0, sizeof block);
        setEntry(block.in1, spaced, "in put.tim");
        setEntry(block.in2, spaced, "other.tim");
        setEntry(block.out, spaced, "out file.tim");
        block.opCode = code;
        qf::runtime().block = &block;
    }
    // "%04d %s       ": the code, the script name padded to 18, seven blanks.
    static std::string head(int code, const std::string& name) {
        std::string n = name;
        n.resize(18, ' ');
        return std::to_string(code) + " " + n + "       ";
    }
    std::string star() const {
        std::string s = spaced;
        for (char& c : s)
            if (c == ' ') c = '*';
        return s;
    }
    std::string spaced;
};

}  // namespace

TEST_F(ScriptLines, ConstantLineRoundTripsNamesWithBlanks) {
    prepare(3015);
    paramDouble(block, QF_PARAM_OFFSET) = 0.25;
    const std::string line = written();
    EXPECT_EQ(line, head(3015, "AdditionK") + star() + " in*put.tim            0.25 " + star() +
                        " out*file.tim\r\n");
    std::memset(&block.in1, 0, sizeof block.in1);
    std::memset(&block.out, 0, sizeof block.out);
    paramDouble(block, QF_PARAM_OFFSET) = 0.0;
    ASSERT_EQ(readBack(line), 0);
    EXPECT_STREQ(block.in1.p, spaced.c_str());
    EXPECT_STREQ(block.in1.n, "in put.tim");
    EXPECT_STREQ(block.out.p, spaced.c_str());
    EXPECT_STREQ(block.out.n, "out file.tim");
    EXPECT_EQ(paramDouble(block, QF_PARAM_OFFSET), 0.25);
    // A constant line ends with its output: more fields make it malformed.
    EXPECT_EQ(readBack(head(3015, "AdditionK") + "./ a.tim 0.5 ./ b.tim ./ c.tim"), 1);
    prepare(3090);
    EXPECT_NE(readBack(head(3090, "Flip") + "./ a.tim ./ b.tim ./ c.tim"), 1);  // not malformed
}

TEST_F(ScriptLines, EachLayoutRoundTrips) {
    prepare(3110);
    paramDouble(block, QF_PARAM_OFFSET) = -1.5;
    paramDouble(block, QF_PARAM_OFFSET + 8) = 0.001;
    std::string line = written();
    EXPECT_EQ(line, head(3110, "Sine") + star() + " in*put.tim            -1.5 " +
                        "          0.001 " + star() + " out*file.tim\r\n");
    paramDouble(block, QF_PARAM_OFFSET) = 0;
    paramDouble(block, QF_PARAM_OFFSET + 8) = 0;
    ASSERT_EQ(readBack(line), 0);
    EXPECT_EQ(paramDouble(block, QF_PARAM_OFFSET), -1.5);
    EXPECT_EQ(paramDouble(block, QF_PARAM_OFFSET + 8), 0.001);

    prepare(3100);
    paramInt(block, QF_PARAM_OFFSET) = 2;
    paramInt(block, QF_PARAM_OFFSET + 4) = 5;
    line = written();
    EXPECT_EQ(line,
              head(3100, "Extract") + star() + " in*put.tim 2 5 " + star() + " out*file.tim\r\n");
    paramInt(block, QF_PARAM_OFFSET) = 0;
    ASSERT_EQ(readBack(line), 0);
    EXPECT_EQ(paramInt(block, QF_PARAM_OFFSET), 2);
    EXPECT_EQ(paramInt(block, QF_PARAM_OFFSET + 4), 5);
    // A length past the end is cut and accepted.
    ASSERT_EQ(
        readBack(head(3100, "Extract") + star() + " in*put.tim 8 5 " + star() + " out*file.tim"),
        0);
    EXPECT_EQ(paramInt(block, QF_PARAM_OFFSET + 4), 2);

    prepare(3220);
    line = written();
    EXPECT_EQ(line, head(3220, "Join") + star() + " in*put.tim " + star() + " other.tim " + star() +
                        " out*file.tim\r\n");
    std::memset(&block.in2, 0, sizeof block.in2);
    ASSERT_EQ(readBack(line), 0);
    EXPECT_STREQ(block.in2.n, "other.tim");

    prepare(3230);
    paramInt(block, QF_PARAM_OFFSET) = 7;
    line = written();
    EXPECT_EQ(line, head(3230, "QuantizeFixedPt") + star() + " in*put.tim 7 " + star() +
                        " out*file.tim\r\n");
    ASSERT_EQ(readBack(line), 0);

    prepare(3090);
    line = written();
    EXPECT_EQ(line, head(3090, "Flip") + star() + " in*put.tim " + star() + " out*file.tim\r\n");
    ASSERT_EQ(readBack(line), 0);

    prepare(6060);
    line = written();
    EXPECT_EQ(line,
              head(6060, "Int_Float_Cvt") + star() + " in*put.tim " + star() + " out*file.tim\r\n");
    ASSERT_EQ(readBack(line), 0);
}

TEST_F(ScriptLines, MissingFieldIsMalformedAndFailingCheckIsAParameterError) {
    prepare(3240);
    EXPECT_EQ(readBack(head(3240, "Difference") + star() + " in*put.tim 2 " + star()), 1);
    // Ten samples cannot give a delay of 20.
    EXPECT_EQ(
        readBack(head(3240, "Difference") + star() + " in*put.tim 20 " + star() + " out*file.tim"),
        2);
    EXPECT_EQ(
        readBack(head(3240, "Difference") + star() + " in*put.tim 3 " + star() + " out*file.tim"),
        0);
    prepare(3230);
    EXPECT_EQ(readBack(head(3230, "QuantizeFixedPt") + star() + " in*put.tim 0 " + star() +
                       " out*file.tim"),
              2);
    prepare(4030);
    EXPECT_EQ(
        readBack(head(4030, "Decimation") + star() + " in*put.tim 1 " + star() + " out*file.tim"),
        2);
    EXPECT_EQ(
        readBack(head(4030, "Decimation") + star() + " in*put.tim x " + star() + " out*file.tim"),
        1);
    prepare(3100);
    EXPECT_EQ(
        readBack(head(3100, "Extract") + star() + " in*put.tim 10 0 " + star() + " out*file.tim"),
        2);
}
