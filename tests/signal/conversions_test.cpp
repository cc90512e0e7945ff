// Whole-file conversions: text <-> binary (6050) and fixed <-> float (6060),
// on hand-written signal files.  Expected values follow from the formats:
// a 16-bit word w is w / 32768; a recording's word with range r and gain g
// is u * r / g / 65535 (r >= 0, u unsigned) or s * (-r) / g / 32768.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/operation.h"
#include "ops/time/signal_bytes.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

namespace {

class Conversions : public OperationTest {
  protected:
    // Writes `bytes` as in.tim, runs `code` into out.tim and reads the result.
    Parsed convert(int32_t code, const std::string& bytes) {
        put("in.tim", bytes);
        std::remove((dir + "out.tim").c_str());
        EXPECT_EQ(run(code, "in.tim", "out.tim"), 0) << code;
        return get("out.tim");
    }
    std::string output() { return readFile(dir + "out.tim"); }
    // The arguments of every file dialog so far.
    std::vector<Texts> dialogs() {
        std::vector<Texts> out;
        for (const HostCall& c : TestHost::instance().callsNamed("stdGet123Files"))
            out.push_back(c.args);
        return out;
    }
};

}  // namespace

TEST_F(Conversions, TextAndBinaryKeepTheValues) {
    const Floats x = {1.0f, -0.5f, 0.1f, 3.14159274f, 1e-20f, -123456.7f, 0.0f};
    Parsed t = convert(6050, real32File(x, 22050.0));
    EXPECT_FALSE(t.binary);
    EXPECT_EQ(t.values({"File format", "Record type number", "Remark"}),
              (Texts{"ASCII", "REAL32", "test signal"}));
    EXPECT_EQ(t.count(), 7);
    EXPECT_DOUBLE_EQ(t.rate(), 22050.0);
    ASSERT_EQ(t.data.size(), 7u * 17u);
    EXPECT_EQ(t.data.substr(0, 34), " 1.0000000E+000\r\n-5.0000000E-001\r\n");
    EXPECT_EQ(described(), "Convert 'in.tim' to ASCII and stored in 'out.tim'.");

    Parsed c = convert(6050, output());
    EXPECT_TRUE(c.binary);
    EXPECT_EQ(c.field("File format"), "Binary");
    EXPECT_EQ(c.data, rawBytes(x));
    EXPECT_EQ(described(), "Convert 'in.tim' to binary and stored in 'out.tim'.");
    // One file dialog per run.
    const Texts asked{"ASCII <-> Binary", ".tim",   "Input file", ".tim.fre",
                      "Output file",      "(null)", "(null)",     "32"};
    EXPECT_EQ(dialogs(), (std::vector<Texts>{asked, asked}));
    // Text 16-bit words become binary words.
    Parsed p = convert(6050, int16File({-1, -32768, 0x1234}, 8000.0, false));
    EXPECT_TRUE(p.binary);
    EXPECT_EQ(int16Records(p), (Words{-1, -32768, 0x1234}));
    // A recording becomes 16-bit text words, unchanged.
    Parsed w = convert(6050, realtimeFile({5, -6, 7}, 1, 10.0, 2.0));
    EXPECT_EQ(w.field("Record type number"), "INTEGER16");
    EXPECT_FALSE(w.binary);
    EXPECT_EQ(w.data, "0005\r\nFFFA\r\n0007\r\n");
}

TEST_F(Conversions, FixedAndFloatWords) {
    const std::string floats = real32File({1.0f, 0.5f, -1.0f, -0.25f, -1.5f});
    qfenStatus->overflowMode = 's';
    Parsed p = convert(6060, floats);
    EXPECT_EQ(p.field("Record type number"), "INTEGER16");
    EXPECT_EQ(int16Records(p), (Words{32767, 16384, -32768, -8192, -32768}));
    EXPECT_EQ(described(), "Convert 'in.tim' to integer and stored in 'out.tim'.");
    // Wrapping: 32768 keeps its low 16 bits, -32768; -49152 becomes 16384.
    qfenStatus->overflowMode = 'w';
    EXPECT_EQ(int16Records(convert(6060, floats)), (Words{-32768, 16384, -32768, -8192, 16384}));
    const Texts asked{"Fixed <-> float", ".tim",   "Input file", ".tim",
                      "Output file",     "(null)", "(null)",     "32"};
    EXPECT_EQ(dialogs(), (std::vector<Texts>{asked, asked}));
    // Back to floats, written as text by the output format.
    qfenStatus->outputFormat = 'a';
    Parsed f = convert(6060, int16File({16384, -32768, 1, 32767}, 1000.0));
    EXPECT_FALSE(f.binary);
    EXPECT_EQ(f.field("Record type number"), "REAL32");
    EXPECT_EQ(f.field("Remark"), "test signal");
    EXPECT_DOUBLE_EQ(f.rate(), 1000.0);
    EXPECT_EQ(real32Records(f), (Floats{0.5f, -1.0f, 1.0f / 32768.0f, 32767.0f / 32768.0f}));
    EXPECT_EQ(described(), "Convert 'in.tim' to float and stored in 'out.tim'.");
}

TEST_F(Conversions, RecordingChannels) {
    // Unipolar, range 10, gain 2: 0xFFFF -> 5.0; 0x8000 -> 32768 * 5 / 65535.
    Parsed p = convert(6060, realtimeFile({-1, 0, -32768}, 1, 10.0, 2.0));
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    Floats y = real32Records(p);
    ASSERT_EQ(y.size(), 3u);
    EXPECT_EQ(y[0], 5.0f);
    EXPECT_EQ(y[1], 0.0f);
    EXPECT_FLOAT_EQ(y[2], 2.5000381f);
    // Bipolar, range -10, gain 2: -1 -> -5 / 32768; -32768 -> -5.
    EXPECT_EQ(real32Records(convert(6060, realtimeFile({-1, 0, -32768}, 1, -10.0, 2.0))),
              (Floats{-0.000152587890625f, 0.0f, -5.0f}));
    // The default calibration (-1, 1) is the 16-bit fractional value.
    EXPECT_EQ(real32Records(convert(6060, realtimeFile({16384, -8192, 1}, 1, -1.0, 1.0))),
              (Floats{0.5f, -0.25f, 1.0f / 32768.0f}));
    // Several channels: RunOp's input check refuses them before anything runs.
    convert(6060, realtimeFile({1, 2, 3, 4, 5, 6}, 2, -1.0, 1.0));
    EXPECT_FALSE(exists("out.tim"));
    // Run directly (as a script does), the operation ends with 1.
    setEntry(block.in1, dir, "in.tim");
    setEntry(block.out, dir, "out.tim");
    block.opCode = 6060;
    qf::runtime().block = &block;
    OperationRecord rec = *findOperation(6060);
    EXPECT_EQ(rec.execute(0, &rec), 1);
    EXPECT_FALSE(exists("out.tim"));
}

TEST_F(Conversions, ComplexFramesKeepTheirFrameFields) {
    const Header h{.type = "CINT32RECT(W)",
                   .count = 4,
                   .extra = line("Frame size", "4") + line("Frame interval", "2") +
                            line("Window function", "Hanning")};
    const Words parts = {16384, -16384, 0, -32768, 1, 2, 32767, 0};
    Parsed p = convert(6060, headerBytes(h) + rawBytes(parts));
    EXPECT_EQ(p.values({"Record type number", "Frame size", "Frame interval", "Window function"}),
              (Texts{"CREAL128RECT(W)", "4", "2", "Hanning"}));
    EXPECT_EQ(p.data, rawBytes(std::vector<double>{0.5, -0.5, 0.0, -1.0, 1.0 / 32768, 2.0 / 32768,
                                                   32767.0 / 32768, 0.0}));
    // And back: each part times 32768.
    Parsed q = convert(6060, output());
    EXPECT_EQ(q.field("Record type number"), "CINT32RECT(W)");
    EXPECT_EQ(q.data, rawBytes(parts));
}
