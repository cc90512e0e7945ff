// Shifting, flipping, masking, delay differences, decimation, interpolation
// and extraction, run through RunOp on hand-written signal files.
#include <gtest/gtest.h>

#include "ops/time/signal_bytes.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

namespace {

class Rearrange : public OperationTest {
  protected:
    static std::vector<int16_t> ramp(int n, int first = 0) {
        std::vector<int16_t> v(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            v[static_cast<std::size_t>(i)] = static_cast<int16_t>(first + i);
        return v;
    }
    std::string description() { return TestHost::instance().lastMessage(QF_MSG_DESCRIPTION); }
};

}  // namespace

TEST_F(Rearrange, DecimationByThreeKeepsEveryThirdSample) {
    put("x.tim", int16File(ramp(10), 9000.0));
    ASSERT_EQ(run(4030, "x.tim", "d.tim", withInt(3)), 0);
    Parsed p = get("d.tim");
    EXPECT_EQ(int16Records(p), (std::vector<int16_t>{0, 3, 6}));
    EXPECT_DOUBLE_EQ(p.rate(), 3000.0);
    EXPECT_EQ(p.field("Remark"), "x.tim(n/3)");
    EXPECT_EQ(description(), "[d.tim] = [x.tim](n/3)");
}

TEST_F(Rearrange, InterpolationByTwoInsertsZeros) {
    put("x.tim", int16File({1, 2, 3}, 8000.0));
    ASSERT_EQ(run(4040, "x.tim", "i.tim", withInt(2)), 0);
    Parsed p = get("i.tim");
    EXPECT_EQ(int16Records(p), (std::vector<int16_t>{1, 0, 2, 0, 3, 0}));
    EXPECT_DOUBLE_EQ(p.rate(), 16000.0);
    EXPECT_EQ(description(), "[i.tim] = [x.tim](n*2)");
    put("f.tim", real32File({0.5f, -1.5f, 2.0f}));
    ASSERT_EQ(run(4040, "f.tim", "g.tim", withInt(3)), 0);
    EXPECT_EQ(real32Records(get("g.tim")),
              (std::vector<float>{0.5f, 0, 0, -1.5f, 0, 0, 2.0f, 0, 0}));
}

TEST_F(Rearrange, ShiftLeftDropsAndShiftRightPrependsZeros) {
    put("x.tim", int16File(ramp(10)));
    ASSERT_EQ(run(3070, "x.tim", "l.tim", withInt(-2)), 0);
    Parsed p = get("l.tim");
    EXPECT_EQ(int16Records(p), ramp(8, 2));
    EXPECT_EQ(p.field("Remark"), "2<-x.tim");
    EXPECT_EQ(description(), "[l.tim] = 2 <- [x.tim]");

    ASSERT_EQ(run(3070, "x.tim", "r.tim", withInt(3)), 0);
    p = get("r.tim");
    std::vector<int16_t> expected = {0, 0, 0};
    for (int16_t v : ramp(10)) expected.push_back(v);
    EXPECT_EQ(int16Records(p), expected);
    EXPECT_EQ(p.field("Remark"), "x.tim->3");
    EXPECT_EQ(description(), "[r.tim] = [x.tim] -> 3");
}

TEST_F(Rearrange, FlipReversesAcrossWindows) {
    // 10000 floats span three windows of 4096 records.
    std::vector<float> x(10000);
    for (int i = 0; i < 10000; ++i) x[static_cast<std::size_t>(i)] = static_cast<float>(i) * 0.5f;
    put("x.tim", real32File(x));
    ASSERT_EQ(run(3090, "x.tim", "y.tim"), 0);
    std::vector<float> y = real32Records(get("y.tim"));
    ASSERT_EQ(y.size(), 10000u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(y[static_cast<std::size_t>(i)], static_cast<float>(9999 - i) * 0.5f) << i;
    EXPECT_EQ(get("y.tim").field("Remark"), "(x.tim)(t-T)");
    EXPECT_EQ(description(), "[y.tim] = ([x.tim])(t-T)");
}

TEST_F(Rearrange, MaskingKeepsTheTopBits) {
    put("x.tim", int16File({0x1234, 0x1235, -1}));
    ASSERT_EQ(run(3230, "x.tim", "q8.tim", withInt(8)), 0);
    EXPECT_EQ(int16Records(get("q8.tim")), (std::vector<int16_t>{0x1200, 0x1200, -256}));
    EXPECT_EQ(get("q8.tim").field("Remark"), "x.tim quantized to 8 bits");
    EXPECT_EQ(description(), "x.tim quantized to 8 bits");
    ASSERT_EQ(run(3230, "x.tim", "q15.tim", withInt(15)), 0);
    EXPECT_EQ(int16Records(get("q15.tim")), (std::vector<int16_t>{0x1234, 0x1234, -2}));
}

TEST_F(Rearrange, DifferenceByADelay) {
    put("x.tim", int16File({1, 3, 6, 10}));
    ASSERT_EQ(run(3240, "x.tim", "d.tim", withInt(1)), 0);
    Parsed p = get("d.tim");
    EXPECT_EQ(int16Records(p), (std::vector<int16_t>{2, 3, 4}));
    EXPECT_EQ(p.field("Remark"), "x.tim(t)-x.tim(t-1)");
    EXPECT_EQ(description(), "[d.tim] = [x.tim](t)-[x.tim](t-d)");

    put("f.tim", real32File({1.0f, 3.0f, 6.0f, 10.0f, 15.0f}));
    ASSERT_EQ(run(3240, "f.tim", "g.tim", withInt(2)), 0);
    EXPECT_EQ(real32Records(get("g.tim")), (std::vector<float>{5.0f, 7.0f, 9.0f}));
}

TEST_F(Rearrange, DifferenceSaturatesOrWrapsByTheMode) {
    // d = 2: -32768 - 32767 = -65535, 32767 + 32768 = 65535, 0 + 32768 = 32768.
    put("x.tim", int16File({32767, -32768, -32768, 32767, 0}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(3240, "x.tim", "s.tim", withInt(2)), 0);
    EXPECT_EQ(int16Records(get("s.tim")), (std::vector<int16_t>{-32768, 32767, 32767}));
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(run(3240, "x.tim", "w.tim", withInt(2)), 0);
    EXPECT_EQ(int16Records(get("w.tim")), (std::vector<int16_t>{1, -1, -32768}));
}

TEST_F(Rearrange, NegativeDelayCannotSizeItsStore) {
    put("x.tim", int16File(ramp(6)));
    EXPECT_EQ(run(3240, "x.tim", "d.tim", withInt(-1)), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Out of working memory.  Operation aborted.");
    EXPECT_FALSE(exists("d.tim"));
}

TEST_F(Rearrange, ExtractionToTheEnd) {
    put("x.tim", int16File(ramp(100), 500.0));
    auto skipAndLength = [](int32_t s, int32_t n) {
        return [s, n](CommandBlock& b, const HostCall& call) {
            EXPECT_EQ(call.name, "dspExtractGetPara");
            paramInt(b, QF_PARAM_OFFSET) = s;
            paramInt(b, QF_PARAM_OFFSET + 4) = n;
            return 0;
        };
    };
    ASSERT_EQ(run(3100, "x.tim", "e.tim", skipAndLength(10, 0)), 0);
    Parsed p = get("e.tim");
    EXPECT_EQ(int16Records(p), ramp(90, 10));
    EXPECT_DOUBLE_EQ(p.rate(), 500.0);
    EXPECT_EQ(p.field("Remark"), "(x.tim)[10..99]");
    auto said = messages(QF_MSG_DESCRIPTION);
    ASSERT_GE(said.size(), 2u);
    EXPECT_EQ(said[said.size() - 2], "Extraction completed.");
    EXPECT_EQ(said.back(), "[e.tim] = part [10..99] of [x.tim]");

    ASSERT_EQ(run(3100, "x.tim", "f.tim", skipAndLength(20, 5)), 0);
    EXPECT_EQ(int16Records(get("f.tim")), ramp(5, 20));

    // Too long: cut to what is there, with a notice, and done.
    ASSERT_EQ(run(3100, "x.tim", "g.tim", skipAndLength(95, 10)), 0);
    EXPECT_EQ(int16Records(get("g.tim")), ramp(5, 95));
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Insufficient samples in 'x.tim'.  Length to copy truncated to 5.");

    // Skipping everything is asked again; then a valid answer goes on.
    TestHost::instance().reset();
    setEntry(block.in1, dir, "x.tim");
    setEntry(block.out, dir, "h.tim");
    TestHost::instance().answer(skipAndLength(100, 0));
    TestHost::instance().answer(skipAndLength(98, 0));
    block.opCode = 3100;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(TestHost::instance().messages(QF_MSG_NOTICE),
              (std::vector<std::string>{
                  "Skipping more samples (100) than are samples (100) in 'x.tim'."}));
    EXPECT_EQ(int16Records(get("h.tim")), ramp(2, 98));

    // Negative values are refused and asked again (here: cancelled).
    EXPECT_EQ(run(3100, "x.tim", "k.tim", skipAndLength(-1, 0)), 1);
    EXPECT_FALSE(exists("k.tim"));
}
