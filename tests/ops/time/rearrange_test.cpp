// Shifting, flipping, masking, delay differences, decimation, interpolation
// and extraction, run through RunOp on hand-written signal files.
#include <gtest/gtest.h>

#include "ops/time/signal_bytes.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

using Rearrange = OperationTest;

TEST_F(Rearrange, DecimationByThreeKeepsEveryThirdSample) {
    put("x.tim", int16File(ramp(10), 9000.0));
    ASSERT_EQ(run(4030, "x.tim", "d.tim", with(3)), 0);
    Parsed p = get("d.tim");
    EXPECT_EQ(int16Records(p), (std::vector<int16_t>{0, 3, 6}));
    EXPECT_DOUBLE_EQ(p.rate(), 3000.0);
    EXPECT_EQ(p.field("Remark"), "x.tim(n/3)");
    EXPECT_EQ(described(), "[d.tim] = [x.tim](n/3)");
}

TEST_F(Rearrange, InterpolationByTwoInsertsZeros) {
    put("x.tim", int16File({1, 2, 3}, 8000.0));
    ASSERT_EQ(run(4040, "x.tim", "i.tim", with(2)), 0);
    Parsed p = get("i.tim");
    EXPECT_EQ(int16Records(p), (std::vector<int16_t>{1, 0, 2, 0, 3, 0}));
    EXPECT_DOUBLE_EQ(p.rate(), 16000.0);
    EXPECT_EQ(described(), "[i.tim] = [x.tim](n*2)");
    put("f.tim", real32File({0.5f, -1.5f, 2.0f}));
    ASSERT_EQ(run(4040, "f.tim", "g.tim", with(3)), 0);
    EXPECT_EQ(floats("g.tim"), (std::vector<float>{0.5f, 0, 0, -1.5f, 0, 0, 2.0f, 0, 0}));
}

TEST_F(Rearrange, ShiftLeftDropsAndShiftRightPrependsZeros) {
    put("x.tim", int16File(ramp(10)));
    ASSERT_EQ(run(3070, "x.tim", "l.tim", with(-2)), 0);
    Parsed p = get("l.tim");
    EXPECT_EQ(int16Records(p), ramp(8, 2));
    EXPECT_EQ(p.field("Remark"), "2<-x.tim");
    EXPECT_EQ(described(), "[l.tim] = 2 <- [x.tim]");

    ASSERT_EQ(run(3070, "x.tim", "r.tim", with(3)), 0);
    p = get("r.tim");
    EXPECT_EQ(int16Records(p), (std::vector<int16_t>{0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(p.field("Remark"), "x.tim->3");
    EXPECT_EQ(described(), "[r.tim] = [x.tim] -> 3");
}

TEST_F(Rearrange, FlipReversesAcrossWindows) {
    // 10000 floats span three windows of 4096 records.
    std::vector<float> x(10000);
    for (int i = 0; i < 10000; ++i) x[static_cast<std::size_t>(i)] = static_cast<float>(i) * 0.5f;
    put("x.tim", real32File(x));
    ASSERT_EQ(run(3090, "x.tim", "y.tim"), 0);
    std::vector<float> y = floats("y.tim");
    ASSERT_EQ(y.size(), 10000u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(y[static_cast<std::size_t>(i)], static_cast<float>(9999 - i) * 0.5f) << i;
    EXPECT_EQ(get("y.tim").field("Remark"), "(x.tim)(t-T)");
    EXPECT_EQ(described(), "[y.tim] = ([x.tim])(t-T)");
}

TEST_F(Rearrange, MaskingKeepsTheTopBits) {
    put("x.tim", int16File({0x1234, 0x1235, -1}));
    ASSERT_EQ(run(3230, "x.tim", "q8.tim", with(8)), 0);
    EXPECT_EQ(words("q8.tim"), (std::vector<int16_t>{0x1200, 0x1200, -256}));
    EXPECT_EQ(get("q8.tim").field("Remark"), "x.tim quantized to 8 bits");
    EXPECT_EQ(described(), "x.tim quantized to 8 bits");
    ASSERT_EQ(run(3230, "x.tim", "q15.tim", with(15)), 0);
    EXPECT_EQ(words("q15.tim"), (std::vector<int16_t>{0x1234, 0x1234, -2}));
}

TEST_F(Rearrange, DifferenceByADelay) {
    put("x.tim", int16File({1, 3, 6, 10}));
    ASSERT_EQ(run(3240, "x.tim", "d.tim", with(1)), 0);
    Parsed p = get("d.tim");
    EXPECT_EQ(int16Records(p), (std::vector<int16_t>{2, 3, 4}));
    EXPECT_EQ(p.field("Remark"), "x.tim(t)-x.tim(t-1)");
    EXPECT_EQ(described(), "[d.tim] = [x.tim](t)-[x.tim](t-d)");

    put("f.tim", real32File({1.0f, 3.0f, 6.0f, 10.0f, 15.0f}));
    ASSERT_EQ(run(3240, "f.tim", "g.tim", with(2)), 0);
    EXPECT_EQ(floats("g.tim"), (std::vector<float>{5.0f, 7.0f, 9.0f}));
}

TEST_F(Rearrange, DifferenceSaturatesOrWrapsByTheMode) {
    // d = 2: -32768 - 32767 = -65535, 32767 + 32768 = 65535, 0 + 32768 = 32768.
    put("x.tim", int16File({32767, -32768, -32768, 32767, 0}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(3240, "x.tim", "s.tim", with(2)), 0);
    EXPECT_EQ(words("s.tim"), (std::vector<int16_t>{-32768, 32767, 32767}));
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(run(3240, "x.tim", "w.tim", with(2)), 0);
    EXPECT_EQ(words("w.tim"), (std::vector<int16_t>{1, -1, -32768}));
}

TEST_F(Rearrange, NegativeDelayCannotSizeItsStore) {
    put("x.tim", int16File(ramp(6)));
    EXPECT_EQ(run(3240, "x.tim", "d.tim", with(-1)), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Out of working memory.  Operation aborted.");
    EXPECT_FALSE(exists("d.tim"));
}

TEST_F(Rearrange, ExtractionToTheEnd) {
    put("x.tim", int16File(ramp(100), 500.0));
    ASSERT_EQ(run(3100, "x.tim", "e.tim", with(10, 0)), 0);  // skip 10, length 0: to the end
    EXPECT_EQ(TestHost::instance().count("dspExtractGetPara"), 1);
    Parsed p = get("e.tim");
    EXPECT_EQ(int16Records(p), ramp(90, 10));
    EXPECT_DOUBLE_EQ(p.rate(), 500.0);
    EXPECT_EQ(p.field("Remark"), "(x.tim)[10..99]");
    EXPECT_EQ(messages(QF_MSG_DESCRIPTION),
              (Texts{"Extraction completed.", "[e.tim] = part [10..99] of [x.tim]"}));

    // Too long: cut to what is there, with a notice, and done.
    ASSERT_EQ(run(3100, "x.tim", "g.tim", with(95, 10)), 0);
    EXPECT_EQ(words("g.tim"), ramp(5, 95));
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Insufficient samples in 'x.tim'.  Length to copy truncated to 5.");

    // Skipping everything is asked again; then a valid answer goes on.
    TestHost::instance().reset();
    ASSERT_EQ(run(3100, "x.tim", "h.tim", {with(100, 0), with(98, 0)}), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              Texts{"Skipping more samples (100) than are samples (100) in 'x.tim'."});
    EXPECT_EQ(words("h.tim"), ramp(2, 98));

    // Negative values are refused and asked again (here: cancelled).
    EXPECT_EQ(run(3100, "x.tim", "k.tim", with(-1, 0)), 1);
    EXPECT_FALSE(exists("k.tim"));
}
