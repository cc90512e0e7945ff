// Whole-file conversions: text <-> binary (6050) and fixed <-> float (6060),
// on hand-written signal files.  Expected values follow from the formats:
// a 16-bit word w is w / 32768; a recording's word with range r and gain g
// is u * r / g / 65535 (r >= 0, u unsigned) or s * (-r) / g / 32768.
#include <gtest/gtest.h>

#include <cstring>

#include "core/operation.h"
#include "ops/time/signal_bytes.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

namespace {

class Conversions : public OperationTest {};

}  // namespace

TEST_F(Conversions, BinaryFloatsSurviveTextAndBack) {
    const std::vector<float> x = {1.0f, -0.5f, 0.1f, 3.14159274f, 1e-20f, -123456.7f, 0.0f};
    put("a.tim", real32File(x, 22050.0));
    ASSERT_EQ(run(6050, "a.tim", "b.tim"), 0);
    const std::string text = readFile(dir + "b.tim");
    Parsed t = parse(text);
    EXPECT_FALSE(t.binary);
    EXPECT_EQ(t.field("File format"), "ASCII");
    EXPECT_EQ(t.field("Record type number"), "REAL32");
    EXPECT_EQ(t.field("Remark"), "test signal");
    EXPECT_EQ(t.count(), 7);
    EXPECT_DOUBLE_EQ(t.rate(), 22050.0);
    ASSERT_EQ(t.data.size(), 7u * 17u);
    EXPECT_EQ(t.data.substr(0, 17), " 1.0000000E+000\r\n");
    EXPECT_EQ(t.data.substr(17, 17), "-5.0000000E-001\r\n");
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION),
              "Convert 'a.tim' to ASCII and stored in 'b.tim'.");

    ASSERT_EQ(run(6050, "b.tim", "c.tim"), 0);
    Parsed c = get("c.tim");
    EXPECT_TRUE(c.binary);
    EXPECT_EQ(c.field("File format"), "Binary");
    ASSERT_EQ(c.data.size(), x.size() * 4);
    EXPECT_EQ(std::memcmp(c.data.data(), x.data(), c.data.size()), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION),
              "Convert 'b.tim' to binary and stored in 'c.tim'.");
}

TEST_F(Conversions, TextWordsBecomeBinaryWords) {
    put("t.tim", int16File({-1, -32768, 0x1234}, 8000.0, false));
    ASSERT_EQ(run(6050, "t.tim", "b.tim"), 0);
    Parsed p = get("b.tim");
    EXPECT_TRUE(p.binary);
    EXPECT_EQ(int16Records(p), (std::vector<int16_t>{-1, -32768, 0x1234}));
}

TEST_F(Conversions, RecordingBecomesSixteenBitWordsUnchanged) {
    put("r.tim", realtimeFile({5, -6, 7}, 1, 10.0, 2.0));
    ASSERT_EQ(run(6050, "r.tim", "w.tim"), 0);
    Parsed p = get("w.tim");
    EXPECT_EQ(p.field("Record type number"), "INTEGER16");
    EXPECT_FALSE(p.binary);
    EXPECT_EQ(p.data, "0005\r\nFFFA\r\n0007\r\n");
}

TEST_F(Conversions, FloatToSixteenBitFollowsTheOverflowMode) {
    put("f.tim", real32File({1.0f, 0.5f, -1.0f, -0.25f, -1.5f}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(run(6060, "f.tim", "s.tim"), 0);
    Parsed p = get("s.tim");
    EXPECT_EQ(p.field("Record type number"), "INTEGER16");
    EXPECT_EQ(int16Records(p), (std::vector<int16_t>{32767, 16384, -32768, -8192, -32768}));
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION),
              "Convert 'f.tim' to integer and stored in 's.tim'.");
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(run(6060, "f.tim", "w.tim"), 0);
    // 32768 keeps its low 16 bits: -32768; -49152 becomes 16384.
    EXPECT_EQ(int16Records(get("w.tim")),
              (std::vector<int16_t>{-32768, 16384, -32768, -8192, 16384}));
}

TEST_F(Conversions, SixteenBitToFloatAndTheOutputFormat) {
    put("w.tim", int16File({16384, -32768, 1, 32767}, 1000.0));
    qfenStatus->outputFormat = 'a';
    ASSERT_EQ(run(6060, "w.tim", "f.tim"), 0);
    Parsed p = get("f.tim");
    EXPECT_FALSE(p.binary);
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(p.field("Remark"), "test signal");
    EXPECT_DOUBLE_EQ(p.rate(), 1000.0);
    EXPECT_EQ(real32Records(p),
              (std::vector<float>{0.5f, -1.0f, 1.0f / 32768.0f, 32767.0f / 32768.0f}));
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION),
              "Convert 'w.tim' to float and stored in 'f.tim'.");
}

TEST_F(Conversions, CalibratedRecordingChannels) {
    // Unipolar, range 10, gain 2: 0xFFFF -> 5.0; 0x8000 -> 32768 * 5 / 65535.
    put("u.tim", realtimeFile({-1, 0, -32768}, 1, 10.0, 2.0));
    ASSERT_EQ(run(6060, "u.tim", "uf.tim"), 0);
    Parsed p = get("uf.tim");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    std::vector<float> y = real32Records(p);
    ASSERT_EQ(y.size(), 3u);
    EXPECT_EQ(y[0], 5.0f);
    EXPECT_EQ(y[1], 0.0f);
    EXPECT_FLOAT_EQ(y[2], 2.5000381f);
    // Bipolar, range -10, gain 2: -1 -> -5 / 32768; -32768 -> -5.
    put("b.tim", realtimeFile({-1, 0, -32768}, 1, -10.0, 2.0));
    ASSERT_EQ(run(6060, "b.tim", "bf.tim"), 0);
    EXPECT_EQ(real32Records(get("bf.tim")), (std::vector<float>{-0.000152587890625f, 0.0f, -5.0f}));
    // The default calibration (-1, 1) is the 16-bit fractional value.
    put("d.tim", realtimeFile({16384, -8192, 1}, 1, -1.0, 1.0));
    ASSERT_EQ(run(6060, "d.tim", "df.tim"), 0);
    EXPECT_EQ(real32Records(get("df.tim")), (std::vector<float>{0.5f, -0.25f, 1.0f / 32768.0f}));
}

TEST_F(Conversions, RecordingWithSeveralChannelsIsNotConverted) {
    put("m.tim", realtimeFile({1, 2, 3, 4, 5, 6}, 2, -1.0, 1.0));
    // Through RunOp the input check refuses it before anything runs.
    EXPECT_EQ(run(6060, "m.tim", "mf.tim"), 0);
    EXPECT_FALSE(exists("mf.tim"));
    // Run directly (as a script does), the operation ends with 1.
    setEntry(block.in1, dir, "m.tim");
    setEntry(block.out, dir, "mf.tim");
    block.opCode = 6060;
    qf::runtime().block = &block;
    OperationRecord rec = *findOperation(6060);
    EXPECT_EQ(rec.execute(0, &rec), 1);
    EXPECT_FALSE(exists("mf.tim"));
}

TEST_F(Conversions, ComplexFramesKeepTheirFrameFields) {
    Header h;
    h.type = "CINT32RECT(W)";
    h.count = 4;
    h.extra =
        line("Frame size", "4") + line("Frame interval", "2") + line("Window function", "Hanning");
    put("c.tim",
        headerBytes(h) + rawBytes(std::vector<int16_t>{16384, -16384, 0, -32768, 1, 2, 32767, 0}));
    ASSERT_EQ(run(6060, "c.tim", "d.tim"), 0);
    Parsed p = get("d.tim");
    EXPECT_EQ(p.field("Record type number"), "CREAL128RECT(W)");
    EXPECT_EQ(p.field("Frame size"), "4");
    EXPECT_EQ(p.field("Frame interval"), "2");
    EXPECT_EQ(p.field("Window function"), "Hanning");
    ASSERT_EQ(p.data.size(), 4u * 16u);
    std::vector<double> v(8);
    std::memcpy(v.data(), p.data.data(), 64);
    EXPECT_EQ(v, (std::vector<double>{0.5, -0.5, 0.0, -1.0, 1.0 / 32768, 2.0 / 32768,
                                      32767.0 / 32768, 0.0}));
    // And back: each part times 32768.
    ASSERT_EQ(run(6060, "d.tim", "e.tim"), 0);
    Parsed q = get("e.tim");
    EXPECT_EQ(q.field("Record type number"), "CINT32RECT(W)");
    std::vector<int16_t> w(8);
    ASSERT_EQ(q.data.size(), 16u);
    std::memcpy(w.data(), q.data.data(), 16);
    EXPECT_EQ(w, (std::vector<int16_t>{16384, -16384, 0, -32768, 1, 2, 32767, 0}));
}

TEST_F(Conversions, DialogTexts) {
    put("f.tim", real32File({1.0f, 2.0f, 3.0f}));
    ASSERT_EQ(run(6050, "f.tim", "g.tim"), 0);
    ASSERT_EQ(run(6060, "f.tim", "h.tim"), 0);
    auto dialogs = TestHost::instance().callsNamed("stdGet123Files");
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].args,
              (std::vector<std::string>{"ASCII <-> Binary", ".tim", "Input file", ".tim.fre",
                                        "Output file", "(null)", "(null)", "32"}));
    EXPECT_EQ(dialogs[1].args,
              (std::vector<std::string>{"Fixed <-> float", ".tim", "Input file", ".tim",
                                        "Output file", "(null)", "(null)", "32"}));
}
