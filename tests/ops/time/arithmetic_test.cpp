// Arithmetic between signals and with constants, the elementary functions
// and the square root, run through RunOp on hand-written signal files.
// Expected samples are worked out by hand from the 16-bit fractional format
// (w stands for w / 32768).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "ops/time/kernels.h"
#include "ops/time/signal_bytes.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

using Arithmetic = OperationTest;

TEST_F(Arithmetic, AddingSixteenBitSignalsWrapsInEitherMode) {
    put("a.tim", int16File({0x7FFF, 0x4000, -32768, 100}));
    put("b.tim", int16File({1, 0x4000, -1, -300}));
    for (char mode : {'s', 'w'}) {
        qfenStatus->overflowMode = mode;
        ASSERT_EQ(run(3010, "a.tim", "sum.tim", nullptr, "b.tim"), 0);
        Parsed p = get("sum.tim");
        EXPECT_EQ(p.field("Record type number"), "INTEGER16");
        EXPECT_EQ(int16Records(p), (Words{-32768, -32768, 32767, -200})) << mode;
        EXPECT_EQ(p.field("Remark"), "a.tim+b.tim");
    }
    EXPECT_EQ(described(), "[sum.tim] = [a.tim] + [b.tim]");
}

TEST_F(Arithmetic, LongerInputIsCopiedBeyondTheShorter) {
    put("a.tim", int16File({1, 2, 3}));
    put("b.tim", int16File({10, 20, 30, 40, 50}));
    ASSERT_EQ(run(3010, "a.tim", "sum.tim", nullptr, "b.tim"), 0);
    EXPECT_EQ(words("sum.tim"), (Words{11, 22, 33, 40, 50}));
    // The difference copies the longer second input unchanged (not negated).
    ASSERT_EQ(run(3020, "a.tim", "diff.tim", nullptr, "b.tim"), 0);
    EXPECT_EQ(words("diff.tim"), (Words{-9, -18, -27, 40, 50}));
}

TEST_F(Arithmetic, MixedTypesGiveFloatAndDifferentRatesAreNoted) {
    put("a.tim", int16File({16384, -32768, 8192, -16384}, 8000.0));
    put("b.tim", real32File({0.25f, 0.5f, 1.0f}, 16000.0));
    ASSERT_EQ(run(3010, "a.tim", "sum.tim", nullptr, "b.tim"), 0);
    Parsed p = get("sum.tim");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(real32Records(p), (Floats{0.75f, -0.5f, 1.25f, -0.5f}));
    EXPECT_DOUBLE_EQ(p.rate(), 8000.0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "'a.tim' and 'b.tim' have different sampling rate.");
}

TEST_F(Arithmetic, AddConstantWrapsSixteenBitAndAddsFloat) {
    put("x.tim", int16File({0, 0x7000, -0x2000}));
    for (char mode : {'s', 'w'}) {
        qfenStatus->overflowMode = mode;
        ASSERT_EQ(run(3015, "x.tim", "y.tim", with(0.25)), 0);
        // 0.25 is 8192; 28672 + 8192 = 36864 wraps to -28672.
        EXPECT_EQ(words("y.tim"), (Words{8192, -28672, 0}));
    }
    EXPECT_EQ(get("y.tim").field("Remark"), "x.tim+0.25");
    EXPECT_EQ(described(), "[y.tim] = [x.tim] + 0.25");

    put("f.tim", real32File({1.0f, -2.0f, 0.5f}));
    ASSERT_EQ(run(3015, "f.tim", "g.tim", with(1.5)), 0);
    Parsed p = get("g.tim");
    EXPECT_EQ(real32Records(p), (Floats{2.5f, -0.5f, 2.0f}));
    EXPECT_EQ(p.field("Remark"), "f.tim+1.5");
}

TEST_F(Arithmetic, MultiplyByConstantOnSixteenBitWords) {
    put("x.tim", int16File({0x4000, -0x4000, 0x0001}));
    ASSERT_EQ(run(3035, "x.tim", "half.tim", with(0.5)), 0);
    EXPECT_EQ(words("half.tim"), (Words{0x2000, -0x2000, 0}));
    ASSERT_EQ(run(3035, "x.tim", "twice.tim", with(2.0)), 0);
    // 0.5 * 2.0 = 1.0 does not fit: 32768 wraps to -32768.
    EXPECT_EQ(words("twice.tim"), (Words{-32768, -32768, 2}));
    EXPECT_EQ(described(), "[twice.tim] = [x.tim] * 2");
    EXPECT_EQ(get("twice.tim").field("Remark"), "x.tim*2");
}

TEST_F(Arithmetic, NegateAndAddIsConstantMinusSample) {
    put("x.tim", real32File({1.0f, -0.5f, 0.25f}));
    ASSERT_EQ(run(3025, "x.tim", "y.tim", with(0.25)), 0);
    Parsed p = get("y.tim");
    EXPECT_EQ(real32Records(p), (Floats{-0.75f, 0.75f, 0.0f}));
    EXPECT_EQ(p.field("Remark"), "x.tim-0.25");
    EXPECT_EQ(described(), "[y.tim] = 0.25 - [x.tim]");
    // 16-bit: 0.25 - 0.5 = -0.25.
    put("w.tim", int16File({0x4000, -32768, 0}));
    ASSERT_EQ(run(3025, "w.tim", "v.tim", with(0.25)), 0);
    EXPECT_EQ(words("v.tim"), (Words{-0x2000, -24576, 0x2000}));
}

TEST_F(Arithmetic, JoinConvertsSixteenBitByOneOver32767) {
    put("a.tim", int16File({32767, -32768, 0}));
    put("b.tim", real32File({0.5f, -2.0f, 7.0f}, 4000.0));
    ASSERT_EQ(run(3220, "a.tim", "j.tim", nullptr, "b.tim"), 0);
    Parsed p = get("j.tim");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(p.count(), 6);
    std::vector<float> y = real32Records(p);
    ASSERT_EQ(y.size(), 6u);
    EXPECT_NEAR(y[1], -32768.0 / 32767.0, 1e-6);
    y[1] = 0;  // checked above; 32767 gives 1 exactly
    EXPECT_EQ(y, (Floats{1.0f, 0, 0, 0.5f, -2.0f, 7.0f}));
    EXPECT_EQ(p.field("Remark"), "a.tim&b.tim");
    EXPECT_EQ(described(), "[j.tim] = [a.tim] & [b.tim]");

    // Same types are copied unchanged.
    put("c.tim", int16File({5, 6, 7, 8}));
    ASSERT_EQ(run(3220, "c.tim", "k.tim", nullptr, "a.tim"), 0);
    EXPECT_EQ(words("k.tim"), (Words{5, 6, 7, 8, 32767, -32768, 0}));
}

TEST_F(Arithmetic, ReciprocalOfFloatsAndOfZero) {
    put("x.tim", real32File({0.5f, -4.0f, 8.0f}));
    ASSERT_EQ(run(3040, "x.tim", "r.tim", with(2.0)), 0);
    EXPECT_EQ(floats("r.tim"), (Floats{4.0f, -0.5f, 0.25f}));
    EXPECT_EQ(get("r.tim").field("Remark"), "1/(x.tim)");
    EXPECT_EQ(described(), "[r.tim] = 1/([x.tim])");

    // 1/0 takes the sign of the last nonzero input, positive before any.
    put("z.tim", real32File({0.0f, -2.0f, 0.0f, 4.0f, 0.0f}));
    ASSERT_EQ(run(3040, "z.tim", "q.tim", with(1.0)), 0);
    EXPECT_EQ(floats("q.tim"), (Floats{FLT_MAX, -0.5f, -FLT_MAX, 0.25f, FLT_MAX}));
    // The sign is remembered from one run to the next.
    put("n.tim", real32File({2.0f, 1.0f, -1.0f}));
    put("zz.tim", real32File({0.0f, 0.0f, 0.0f}));
    ASSERT_EQ(run(3040, "n.tim", "rn.tim", with(1.0)), 0);
    ASSERT_EQ(run(3040, "zz.tim", "rz.tim", with(1.0)), 0);
    EXPECT_EQ(floats("rz.tim"), (Floats{-FLT_MAX, -FLT_MAX, -FLT_MAX}));
}

TEST_F(Arithmetic, ReciprocalOfSixteenBitSaturatesOrWraps) {
    // A = 0.25: 0.5 -> 0.25 * 2 = 0.5; 0.25 -> 1.0 (too large); -0.5 -> -0.5.
    put("x.tim", int16File({0x4000, 0x2000, -0x4000}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(3040, "x.tim", "s.tim", with(0.25)), 0);
    EXPECT_EQ(words("s.tim"), (Words{16384, 32767, -16384}));
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(run(3040, "x.tim", "w.tim", with(0.25)), 0);
    EXPECT_EQ(words("w.tim"), (Words{16384, -32768, -16384}));
}

TEST_F(Arithmetic, SquareScalesBothTypes) {
    put("x.tim", int16File({0x4000, -32768, -0x2000}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(3050, "x.tim", "y.tim", with(1.0)), 0);
    // 0.25 -> 8192; (-1)^2 = 1 saturates; 0.0625 -> 2048.
    EXPECT_EQ(words("y.tim"), (Words{8192, 32767, 2048}));
    EXPECT_EQ(get("y.tim").field("Remark"), "(x.tim)^2");
    put("f.tim", real32File({2.0f, -0.5f, 0.0f}));
    ASSERT_EQ(run(3050, "f.tim", "g.tim", with(3.0)), 0);
    EXPECT_EQ(floats("g.tim"), (Floats{12.0f, 0.75f, 0.0f}));
}

TEST_F(Arithmetic, ElementaryFunctionsWithOuterAndInnerScale) {
    put("f.tim", real32File({0.0f, 1.0f, 0.5f}));
    ASSERT_EQ(run(3200, "f.tim", "e.tim", with(2.0, -1.0)), 0);
    expectNear(floats("e.tim"), {2.0, 2.0 / M_E, 2.0 / std::sqrt(M_E)}, 1e-6);
    EXPECT_EQ(described(), "[e.tim] = exp([f.tim])");

    ASSERT_EQ(run(3130, "f.tim", "t.tim", with(1.0, 1.0)), 0);
    expectNear(floats("t.tim"), {0.0, std::tan(1.0), std::tan(0.5)}, 1e-6);
    EXPECT_EQ(get("t.tim").field("Remark"), "tan(f.tim)");

    ASSERT_EQ(run(3110, "f.tim", "s.tim", with(-3.0, 2.0)), 0);
    expectNear(floats("s.tim"), {0.0, -3 * std::sin(2.0), -3 * std::sin(1.0)}, 1e-6);

    // 16-bit: y = 32768 * A * cos(x * a / 32768).
    put("w.tim", int16File({0, 0x4000, -32768}));
    ASSERT_EQ(run(3120, "w.tim", "c.tim", with(0.5, 1.0)), 0);
    // cos 0.5 = 0.8775825619: 16384 * 0.8775825619 = 14378.11; cos(-1) = 0.5403023059.
    EXPECT_EQ(words("c.tim"), (Words{16384, 14378, 8852}));
    EXPECT_EQ(described(), "[c.tim] = cos([w.tim])");
}

TEST_F(Arithmetic, SquareRootKeepsTheSign) {
    put("f.tim", real32File({-4.0f, 9.0f, 0.0f, 0.25f}));
    ASSERT_EQ(run(3060, "f.tim", "r.tim", with(1.0)), 0);
    Parsed p = get("r.tim");
    EXPECT_EQ(real32Records(p), (Floats{-2.0f, 3.0f, 0.0f, 0.5f}));
    EXPECT_EQ(p.field("Remark"), "Sqrt(f.tim)");
    EXPECT_EQ(described(), "[r.tim] = sqrt ([f.tim])");
    auto dialogs = TestHost::instance().callsNamed("stdGet123Files");
    ASSERT_FALSE(dialogs.empty());
    EXPECT_EQ(dialogs.back().args, (Texts{"Square Root", ".tim", "X(t)", ".tim", "a*sqrt(X(t))",
                                          "(null)", "(null)", "32"}));

    // 0.25 -> 0.5; -0.25 -> -0.5; -1 -> -1; A = 2 on 0.5: 2 * 0.7071 * 32768 = 46340.95.
    put("w.tim", int16File({0x2000, -0x2000, -32768}));
    ASSERT_EQ(run(3060, "w.tim", "v.tim", with(1.0)), 0);
    EXPECT_EQ(words("v.tim"), (Words{16384, -16384, -32768}));
    put("h.tim", int16File({0x4000, 0x4000, 0x4000}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(3060, "h.tim", "s.tim", with(2.0)), 0);
    EXPECT_EQ(words("s.tim"), Words(3, 32767));
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(run(3060, "h.tim", "u.tim", with(2.0)), 0);
    EXPECT_EQ(words("u.tim"), Words(3, 46340 - 65536));
}

TEST_F(Arithmetic, SquareRootRefusesRecordingsWithSeveralChannels) {
    put("m.tim", realtimeFile({1, 2, 3, 4, 5, 6}, 2, -1.0, 1.0));
    EXPECT_EQ(run(3060, "m.tim", "r.tim", with(1.0)), 1);  // asked again, then cancelled
    EXPECT_EQ(messages(QF_MSG_NOTICE),
              (Texts{"Please demultiplex signal before performing operations."}));
    EXPECT_FALSE(exists("r.tim"));
    // An unreadable input is reported and asked again as well.
    EXPECT_EQ(run(3060, "missing.tim", "r.tim", with(1.0)), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), "Error reading 'missing.tim'.");
}

TEST_F(Arithmetic, SingleChannelRecordingsAreReadAsSixteenBit) {
    put("a.tim", realtimeFile({0x4000, -0x4000, 300}, 1, -1.0, 1.0));
    put("b.tim", realtimeFile({1, 2, 3}, 1, -1.0, 1.0));
    ASSERT_EQ(run(3035, "a.tim", "y.tim", with(0.5)), 0);
    Parsed p = get("y.tim");
    EXPECT_EQ(p.field("Record type number"), "INTEGER16");
    EXPECT_EQ(int16Records(p), (Words{0x2000, -0x2000, 150}));
    ASSERT_EQ(run(3020, "a.tim", "d.tim", nullptr, "b.tim"), 0);
    EXPECT_EQ(get("d.tim").field("Record type number"), "INTEGER16");
    EXPECT_EQ(words("d.tim"), (Words{0x4000 - 1, -0x4000 - 2, 297}));
}

TEST_F(Arithmetic, RemarkShowsTheConstantToFourDigitsForEveryType) {
    put("f.tim", real32File({0.0f, 1.0f, 2.0f}));
    ASSERT_EQ(run(3035, "f.tim", "g.tim", with(-7.9)), 0);
    EXPECT_EQ(get("g.tim").field("Remark"), "f.tim*-7.9");
    ASSERT_EQ(run(3035, "f.tim", "g.tim", with(0.5)), 0);
    EXPECT_EQ(get("g.tim").field("Remark"), "f.tim*0.5");
    ASSERT_EQ(run(3015, "f.tim", "h.tim", with(1e12)), 0);
    EXPECT_EQ(get("h.tim").field("Remark"), "f.tim+1e+012");
    EXPECT_EQ(described(), "[h.tim] = [f.tim] + 1e+012");
}

TEST_F(Arithmetic, KernelsRefuseOtherRecordTypes) {
    put("c.tim", complexFile());
    EXPECT_EQ(run(3070, "c.tim", "s.tim", with(1)), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR), "Unknown data type.");
    EXPECT_FALSE(exists("s.tim"));
    EXPECT_EQ(run(3015, "c.tim", "k.tim", with(1.0)), 1);
    EXPECT_FALSE(exists("k.tim"));
}
