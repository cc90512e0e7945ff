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

namespace {

class Arithmetic : public OperationTest {};

std::vector<int16_t> words(const Parsed& p) {
    return int16Records(p);
}
std::vector<float> floats(const Parsed& p) {
    return real32Records(p);
}

}  // namespace

TEST_F(Arithmetic, AddingSixteenBitSignalsWrapsInEitherMode) {
    put("a.tim", int16File({0x7FFF, 0x4000, -32768, 100}));
    put("b.tim", int16File({1, 0x4000, -1, -300}));
    for (char mode : {'s', 'w'}) {
        qfenStatus->overflowMode = mode;
        ASSERT_EQ(run(3010, "a.tim", "sum.tim", nullptr, "b.tim"), 0);
        Parsed p = get("sum.tim");
        EXPECT_EQ(p.field("Record type number"), "INTEGER16");
        EXPECT_EQ(words(p), (std::vector<int16_t>{-32768, -32768, 32767, -200})) << mode;
        EXPECT_EQ(p.field("Remark"), "a.tim+b.tim");
    }
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION),
              "[sum.tim] = [a.tim] + [b.tim]");
}

TEST_F(Arithmetic, LongerInputIsCopiedBeyondTheShorter) {
    std::vector<int16_t> a(100), b(150);
    for (int i = 0; i < 100; ++i) a[i] = static_cast<int16_t>(i);
    for (int i = 0; i < 150; ++i) b[i] = static_cast<int16_t>(1000 + i);
    put("a.tim", int16File(a));
    put("b.tim", int16File(b));
    ASSERT_EQ(run(3010, "a.tim", "sum.tim", nullptr, "b.tim"), 0);
    std::vector<int16_t> y = words(get("sum.tim"));
    ASSERT_EQ(y.size(), 150u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(y[i], 1000 + 2 * i) << i;
    for (int i = 100; i < 150; ++i) EXPECT_EQ(y[i], 1000 + i) << i;
    // The difference copies the longer second input unchanged (not negated).
    ASSERT_EQ(run(3020, "a.tim", "diff.tim", nullptr, "b.tim"), 0);
    y = words(get("diff.tim"));
    ASSERT_EQ(y.size(), 150u);
    EXPECT_EQ(y[0], -1000);
    EXPECT_EQ(y[99], -1000);
    EXPECT_EQ(y[149], 1149);
}

TEST_F(Arithmetic, MixedTypesGiveFloatAndDifferentRatesAreNoted) {
    put("a.tim", int16File({16384, -32768, 8192, -16384}, 8000.0));
    put("b.tim", real32File({0.25f, 0.5f, 1.0f}, 16000.0));
    ASSERT_EQ(run(3010, "a.tim", "sum.tim", nullptr, "b.tim"), 0);
    Parsed p = get("sum.tim");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(floats(p), (std::vector<float>{0.75f, -0.5f, 1.25f, -0.5f}));
    EXPECT_DOUBLE_EQ(p.rate(), 8000.0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "'a.tim' and 'b.tim' have different sampling rate.");
}

TEST_F(Arithmetic, AddConstantWrapsSixteenBitAndAddsFloat) {
    put("x.tim", int16File({0, 0x7000, -0x2000}));
    for (char mode : {'s', 'w'}) {
        qfenStatus->overflowMode = mode;
        ASSERT_EQ(run(3015, "x.tim", "y.tim", withDouble(0.25)), 0);
        // 0.25 is 8192; 28672 + 8192 = 36864 wraps to -28672.
        EXPECT_EQ(words(get("y.tim")), (std::vector<int16_t>{8192, -28672, 0}));
    }
    EXPECT_EQ(get("y.tim").field("Remark"), "x.tim+0.25");
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION), "[y.tim] = [x.tim] + 0.25");

    put("f.tim", real32File({1.0f, -2.0f, 0.5f}));
    ASSERT_EQ(run(3015, "f.tim", "g.tim", withDouble(1.5)), 0);
    Parsed p = get("g.tim");
    EXPECT_EQ(floats(p), (std::vector<float>{2.5f, -0.5f, 2.0f}));
    EXPECT_EQ(p.field("Remark"), "f.tim+1");  // integer part for float outputs
}

TEST_F(Arithmetic, MultiplyByConstantOnSixteenBitWords) {
    put("x.tim", int16File({0x4000, -0x4000, 0x0001}));
    ASSERT_EQ(run(3035, "x.tim", "half.tim", withDouble(0.5)), 0);
    EXPECT_EQ(words(get("half.tim")), (std::vector<int16_t>{0x2000, -0x2000, 0}));
    ASSERT_EQ(run(3035, "x.tim", "twice.tim", withDouble(2.0)), 0);
    // 0.5 * 2.0 = 1.0 does not fit: 32768 wraps to -32768.
    EXPECT_EQ(words(get("twice.tim")), (std::vector<int16_t>{-32768, -32768, 2}));
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION), "[twice.tim] = [x.tim] * 2");
    EXPECT_EQ(get("twice.tim").field("Remark"), "x.tim*2");
}

TEST_F(Arithmetic, NegateAndAddIsConstantMinusSample) {
    put("x.tim", real32File({1.0f, -0.5f, 0.25f}));
    ASSERT_EQ(run(3025, "x.tim", "y.tim", withDouble(0.25)), 0);
    Parsed p = get("y.tim");
    EXPECT_EQ(floats(p), (std::vector<float>{-0.75f, 0.75f, 0.0f}));
    EXPECT_EQ(p.field("Remark"), "x.tim-0");
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION), "[y.tim] = [x.tim] - 0.25");
    // 16-bit: 0.25 - 0.5 = -0.25.
    put("w.tim", int16File({0x4000, -32768, 0}));
    ASSERT_EQ(run(3025, "w.tim", "v.tim", withDouble(0.25)), 0);
    EXPECT_EQ(words(get("v.tim")), (std::vector<int16_t>{-0x2000, -24576, 0x2000}));
}

TEST_F(Arithmetic, JoinConvertsSixteenBitByOneOver32767) {
    put("a.tim", int16File({32767, -32768, 0}));
    put("b.tim", real32File({0.5f, -2.0f, 7.0f}, 4000.0));
    ASSERT_EQ(run(3220, "a.tim", "j.tim", nullptr, "b.tim"), 0);
    Parsed p = get("j.tim");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(p.count(), 6);
    std::vector<float> y = floats(p);
    ASSERT_EQ(y.size(), 6u);
    EXPECT_EQ(y[0], 1.0f);  // exactly
    EXPECT_NEAR(y[1], -32768.0 / 32767.0, 1e-6);
    EXPECT_EQ(y[2], 0.0f);
    EXPECT_EQ(y[3], 0.5f);
    EXPECT_EQ(y[4], -2.0f);
    EXPECT_EQ(y[5], 7.0f);
    EXPECT_EQ(p.field("Remark"), "a.tim&b.tim");
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION), "[j.tim] = [a.tim] & [b.tim]");

    // Same types are copied unchanged.
    put("c.tim", int16File({5, 6, 7, 8}));
    ASSERT_EQ(run(3220, "c.tim", "k.tim", nullptr, "a.tim"), 0);
    EXPECT_EQ(words(get("k.tim")), (std::vector<int16_t>{5, 6, 7, 8, 32767, -32768, 0}));
}

TEST_F(Arithmetic, ReciprocalOfFloatsAndOfZero) {
    timeops::resetReciprocalSign();
    put("x.tim", real32File({0.5f, -4.0f, 8.0f}));
    ASSERT_EQ(run(3040, "x.tim", "r.tim", withDouble(2.0)), 0);
    EXPECT_EQ(floats(get("r.tim")), (std::vector<float>{4.0f, -0.5f, 0.25f}));
    EXPECT_EQ(get("r.tim").field("Remark"), "1/(x.tim)");
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION), "[r.tim] = 1/([x.tim])");

    // 1/0 takes the sign of the last nonzero input, positive before any.
    put("z.tim", real32File({0.0f, -2.0f, 0.0f, 4.0f, 0.0f}));
    ASSERT_EQ(run(3040, "z.tim", "q.tim", withDouble(1.0)), 0);
    EXPECT_EQ(floats(get("q.tim")), (std::vector<float>{FLT_MAX, -0.5f, -FLT_MAX, 0.25f, FLT_MAX}));
    // The sign is remembered from one run to the next.
    put("n.tim", real32File({2.0f, 1.0f, -1.0f}));
    put("zz.tim", real32File({0.0f, 0.0f, 0.0f}));
    ASSERT_EQ(run(3040, "n.tim", "rn.tim", withDouble(1.0)), 0);
    ASSERT_EQ(run(3040, "zz.tim", "rz.tim", withDouble(1.0)), 0);
    EXPECT_EQ(floats(get("rz.tim")), (std::vector<float>{-FLT_MAX, -FLT_MAX, -FLT_MAX}));
}

TEST_F(Arithmetic, ReciprocalOfSixteenBitSaturatesOrWraps) {
    // A = 0.25: 0.5 -> 0.25 * 2 = 0.5; 0.25 -> 1.0 (too large); -0.5 -> -0.5.
    put("x.tim", int16File({0x4000, 0x2000, -0x4000}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(3040, "x.tim", "s.tim", withDouble(0.25)), 0);
    EXPECT_EQ(words(get("s.tim")), (std::vector<int16_t>{16384, 32767, -16384}));
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(run(3040, "x.tim", "w.tim", withDouble(0.25)), 0);
    EXPECT_EQ(words(get("w.tim")), (std::vector<int16_t>{16384, -32768, -16384}));
}

TEST_F(Arithmetic, SquareScalesBothTypes) {
    put("x.tim", int16File({0x4000, -32768, -0x2000}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(3050, "x.tim", "y.tim", withDouble(1.0)), 0);
    // 0.25 -> 8192; (-1)^2 = 1 saturates; 0.0625 -> 2048.
    EXPECT_EQ(words(get("y.tim")), (std::vector<int16_t>{8192, 32767, 2048}));
    EXPECT_EQ(get("y.tim").field("Remark"), "(x.tim)^2");
    put("f.tim", real32File({2.0f, -0.5f, 0.0f}));
    ASSERT_EQ(run(3050, "f.tim", "g.tim", withDouble(3.0)), 0);
    EXPECT_EQ(floats(get("g.tim")), (std::vector<float>{12.0f, 0.75f, 0.0f}));
}

TEST_F(Arithmetic, ElementaryFunctionsWithOuterAndInnerScale) {
    put("f.tim", real32File({0.0f, 1.0f, 0.5f}));
    ASSERT_EQ(run(3200, "f.tim", "e.tim", withDoubles(2.0, -1.0)), 0);
    std::vector<float> y = floats(get("e.tim"));
    ASSERT_EQ(y.size(), 3u);
    EXPECT_EQ(y[0], 2.0f);
    EXPECT_NEAR(y[1], 0.73575888, 1e-7);  // 2 / e
    EXPECT_NEAR(y[2], 1.21306132, 1e-6);  // 2 / sqrt(e)
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION), "[e.tim] = exp([f.tim])");

    ASSERT_EQ(run(3130, "f.tim", "t.tim", withDoubles(1.0, 1.0)), 0);
    y = floats(get("t.tim"));
    EXPECT_NEAR(y[1], 1.55740772, 1e-6);  // tan 1
    EXPECT_NEAR(y[2], 0.54630249, 1e-7);  // tan 0.5
    EXPECT_EQ(get("t.tim").field("Remark"), "tan(f.tim)");

    ASSERT_EQ(run(3110, "f.tim", "s.tim", withDoubles(-3.0, 2.0)), 0);
    y = floats(get("s.tim"));
    EXPECT_EQ(y[0], 0.0f);
    EXPECT_NEAR(y[1], -2.72789228, 1e-6);  // -3 sin 2
    EXPECT_NEAR(y[2], -2.52441295, 1e-6);  // -3 sin 1

    // 16-bit: y = 32768 * A * cos(x * a / 32768).
    put("w.tim", int16File({0, 0x4000, -32768}));
    ASSERT_EQ(run(3120, "w.tim", "c.tim", withDoubles(0.5, 1.0)), 0);
    // cos 0.5 = 0.8775825619: 16384 * 0.8775825619 = 14378.11; cos(-1) = 0.5403023059.
    EXPECT_EQ(words(get("c.tim")), (std::vector<int16_t>{16384, 14378, 8852}));
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION), "[c.tim] = cos([w.tim])");
}

TEST_F(Arithmetic, SquareRootKeepsTheSign) {
    put("f.tim", real32File({-4.0f, 9.0f, 0.0f, 0.25f}));
    ASSERT_EQ(run(3060, "f.tim", "r.tim", withDouble(1.0)), 0);
    Parsed p = get("r.tim");
    EXPECT_EQ(floats(p), (std::vector<float>{-2.0f, 3.0f, 0.0f, 0.5f}));
    EXPECT_EQ(p.field("Remark"), "Sqrt(f.tim)");
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION), "[r.tim] = sqrt ([f.tim])");
    auto dialogs = TestHost::instance().callsNamed("stdGet123Files");
    ASSERT_FALSE(dialogs.empty());
    EXPECT_EQ(dialogs.back().args,
              (std::vector<std::string>{"Square Root", ".tim", "X(t)", ".tim", "a*sqrt(X(t))",
                                        "(null)", "(null)", "32"}));

    // 0.25 -> 0.5; -0.25 -> -0.5; -1 -> -1; A = 2 on 0.5: 2 * 0.7071 * 32768 = 46340.95.
    put("w.tim", int16File({0x2000, -0x2000, -32768}));
    ASSERT_EQ(run(3060, "w.tim", "v.tim", withDouble(1.0)), 0);
    EXPECT_EQ(words(get("v.tim")), (std::vector<int16_t>{16384, -16384, -32768}));
    put("h.tim", int16File({0x4000, 0x4000, 0x4000}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(3060, "h.tim", "s.tim", withDouble(2.0)), 0);
    EXPECT_EQ(words(get("s.tim"))[0], 32767);
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(run(3060, "h.tim", "u.tim", withDouble(2.0)), 0);
    EXPECT_EQ(words(get("u.tim"))[0], 46340 - 65536);
}

TEST_F(Arithmetic, SquareRootRefusesRecordingsWithSeveralChannels) {
    put("m.tim", realtimeFile({1, 2, 3, 4, 5, 6}, 2, -1.0, 1.0));
    EXPECT_EQ(run(3060, "m.tim", "r.tim", withDouble(1.0)), 1);  // asked again, then cancelled
    EXPECT_EQ(
        messages(QF_MSG_NOTICE),
        (std::vector<std::string>{"Please demultiplex signal before performing operations."}));
    EXPECT_FALSE(exists("r.tim"));
    // An unreadable input is reported and asked again as well.
    EXPECT_EQ(run(3060, "missing.tim", "r.tim", withDouble(1.0)), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), "Error reading 'missing.tim'.");
}

TEST_F(Arithmetic, SingleChannelRecordingIsReadAsSixteenBit) {
    put("r.tim", realtimeFile({0x4000, -0x4000, 0}, 1, -1.0, 1.0));
    ASSERT_EQ(run(3035, "r.tim", "y.tim", withDouble(0.5)), 0);
    Parsed p = get("y.tim");
    EXPECT_EQ(p.field("Record type number"), "INTEGER16");
    EXPECT_EQ(words(p), (std::vector<int16_t>{0x2000, -0x2000, 0}));
}

TEST_F(Arithmetic, TwoRecordingsGiveSixteenBitWords) {
    put("a.tim", realtimeFile({100, 200, 300}, 1, -1.0, 1.0));
    put("b.tim", realtimeFile({1, 2, 3}, 1, -1.0, 1.0));
    ASSERT_EQ(run(3020, "a.tim", "d.tim", nullptr, "b.tim"), 0);
    Parsed p = get("d.tim");
    EXPECT_EQ(p.field("Record type number"), "INTEGER16");
    EXPECT_EQ(words(p), (std::vector<int16_t>{99, 198, 297}));
}

TEST_F(Arithmetic, FloatRemarkShowsTheConstantAsA32BitWhole) {
    put("f.tim", real32File({0.0f, 1.0f, 2.0f}));
    ASSERT_EQ(run(3035, "f.tim", "g.tim", withDouble(-7.9)), 0);
    EXPECT_EQ(get("g.tim").field("Remark"), "f.tim*-7");
    ASSERT_EQ(run(3015, "f.tim", "h.tim", withDouble(1e12)), 0);
    EXPECT_EQ(get("h.tim").field("Remark"), "f.tim+2147483647");
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION), "[h.tim] = [f.tim] + 1e+012");
}

TEST_F(Arithmetic, KernelsRefuseOtherRecordTypes) {
    Header h;
    h.type = "CINT32RECT(W)";
    h.count = 4;
    h.extra = line("Frame size", "4") + line("Frame interval", "4") +
              line("Window function", "Rectangular");
    put("c.tim", headerBytes(h) + rawBytes(std::vector<int16_t>(8, 0)));
    EXPECT_EQ(run(3070, "c.tim", "s.tim", withInt(1)), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR), "Unknown data type.");
    EXPECT_FALSE(exists("s.tim"));
    EXPECT_EQ(run(3015, "c.tim", "k.tim", withDouble(1.0)), 1);
    EXPECT_FALSE(exists("k.tim"));
}
