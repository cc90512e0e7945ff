// Import (1140) through RunOp, each format code on hand-built files: text
// splitting, saturation and wrapping, raw bytes, WAVE files with extra
// format bytes and foreign chunks, malformed WAVE files, complex data and
// its frame rule, floating-point limits and bit patterns, the script line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cfloat>
#include <functional>
#include <string>
#include <vector>

#include "ops/io/io_files.h"
#include "script/lines.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;
using namespace qf::test::io;

namespace {

struct Complex {
    double re, im;
};

class Import : public OperationTest {
  protected:
    // The import dialog: the input file (RunOp proposed a ".tim" name), the
    // format, channels and rate, and whatever `more` sets.
    int32_t import(const std::string& in, int32_t format, int32_t channels = 1,
                   double rate = 8000.0, std::function<void(CommandBlock&)> more = {}) {
        const std::string d = dir;
        return run(QF_OP_IMPORT, in, "out.tim",
                   [d, in, format, channels, rate, more](CommandBlock& b, const HostCall&) {
                       setEntry(b.in1, d, in);
                       paramDouble(b, QF_P_IMPORT_RATE) = rate;
                       paramInt(b, QF_P_IO_FORMAT) = format;
                       paramInt(b, QF_P_IMPORT_CHANNELS) = channels;
                       if (more) more(b);
                       return 0;
                   });
    }
    static std::function<void(CommandBlock&)> complexFrames(int32_t frame) {
        return [frame](CommandBlock& b) {
            paramInt(b, QF_P_IMPORT_COMPLEX) = 1;
            paramInt(b, QF_P_IMPORT_FRAME_SIZE) = frame;
            paramInt(b, QF_P_IMPORT_FRAME_INTERVAL) = frame / 2;
            paramInt(b, QF_P_IMPORT_WINDOW) = 1;
        };
    }
    std::vector<Complex> complexRecords() {
        const Parsed p = get("out.tim");
        std::vector<Complex> v(p.data.size() / sizeof(Complex));
        std::memcpy(v.data(), p.data.data(), v.size() * sizeof(Complex));
        return v;
    }
    std::string error() { return TestHost::instance().lastMessage(QF_MSG_ERROR); }
};

}  // namespace

TEST_F(Import, DecimalTextTwoValuesALineIsARecording) {
    std::string text;
    for (int i = 0; i < 10; ++i) text += std::to_string(i) + ", " + std::to_string(-i) + "\r\n";
    put("in.txt", text);
    ASSERT_EQ(import("in.txt", 1, 2, 1000.0), 0);
    Parsed p = get("out.tim");
    EXPECT_EQ(
        p.values({"Record type number", "Number of channels", "Ch1  range gain source", "Remark"}),
        (Texts{"REALTIMEINT16", "2", "-1 1 1", "Imported from 'in.txt'"}));
    EXPECT_DOUBLE_EQ(p.rate(), 1000.0);
    std::vector<int16_t> expected;
    for (int i = 0; i < 10; ++i) expected.insert(expected.end(), {int16_t(i), int16_t(-i)});
    EXPECT_EQ(int16Records(p), expected);
    EXPECT_EQ(described(), "[in.txt] imported to [out.tim]");
}

TEST_F(Import, TextFieldsQuotesMissingValuesAndEndMarks) {
    // Quotes count as blanks, runs of blanks and commas separate, a missing
    // value is 0, a line starting with 0x1A does not count.
    put("in.txt", "'7' \"8\" 9\n  1,,2\n5\n\x1a\n");
    ASSERT_EQ(import("in.txt", 1, 3), 0);
    EXPECT_EQ(words("out.tim"), (std::vector<int16_t>{7, 8, 9, 1, 2, 0, 5, 0, 0}));
    // One value a line gives INTEGER16.
    put("one.txt", "4\n-4\n");
    ASSERT_EQ(import("one.txt", 1), 0);
    EXPECT_EQ(get("out.tim").field("Record type number"), "INTEGER16");
}

TEST_F(Import, DecimalAndHexadecimalValuesSaturateOrWrap) {
    put("dec.txt", "40000\n-40000\n32767\n-32768\n99999999999\n");
    put("hex.txt", "FFFF\n8000\n7FFF\n10000\n-1\n");
    const struct {
        const char* file;
        int32_t format;
        char mode;
        std::vector<int16_t> expected;
    } cases[] = {
        {"dec.txt", 1, 's', {32767, -32768, 32767, -32768, 32767}},
        // 40000 - 65536, -40000 + 65536; a value past 32 bits stops at 2^31 - 1.
        {"dec.txt", 1, 'w', {-25536, 25536, 32767, -32768, -1}},
        {"hex.txt", 2, 's', {-1, -32768, 32767, 32767, -1}},
        {"hex.txt", 2, 'w', {-1, -32768, 32767, 0, -1}},
    };
    for (const auto& c : cases) {
        qfenStatus->overflowMode = c.mode;
        ASSERT_EQ(import(c.file, c.format), 0);
        EXPECT_EQ(words("out.tim"), c.expected) << c.file << " " << c.mode;
    }
}

TEST_F(Import, HexadecimalWordsOneAfterAnother) {
    // Code 3: eight words a line, M lines of them.
    put("w.txt", "0001 0002 0003 0004 0005 0006 0007 0008\nFFFF 8000 7FFF 0 1 2 3 4\n");
    ASSERT_EQ(import("w.txt", 3), 0);
    EXPECT_EQ(words("out.tim"),
              (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 7, 8, -1, -32768, 32767, 0, 1, 2, 3, 4}));
}

TEST_F(Import, RawBytesAndWords) {
    put("raw.bin", std::string("\x01\x80\xff\x7f\x00\x00", 6));
    const struct {
        int32_t format;
        std::vector<int16_t> expected;
    } cases[] = {
        {0, {int16_t(0x8001), 0x7fff, 0}},
        {7, {256, -32768, -256, 32512, 0, 0}},                   // signed byte * 256
        {8, {-32512, 0, 32512, -256, -32768, -32768}},           // (byte - 128) * 256
        {9, {int16_t(0x8001 - 32768), 0x7fff - 32768, -32768}},  // word - 32768
        {55, {int16_t(0x8001), 0x7fff, 0}},                      // a code not listed: raw words
    };
    for (const auto& c : cases) {
        ASSERT_EQ(import("raw.bin", c.format), 0) << c.format;
        EXPECT_EQ(words("out.tim"), c.expected) << c.format;
    }
    // Two channels of raw words.
    ASSERT_EQ(import("raw.bin", 0, 2), 0);
    EXPECT_EQ(get("out.tim").field("Number of channels"), "2");
}

TEST_F(Import, EightBitWaveTakesTheFilesRate) {
    put("s.wav", wave(1, 11025, 8, std::string("\x80\xff\x00\x81", 4)));
    ASSERT_EQ(import("s.wav", 5, 1, 0.0), 0);  // rate 0: the file's
    Parsed p = get("out.tim");
    EXPECT_EQ(p.field("Record type number"), "REALTIMEINT16");
    EXPECT_EQ(p.field("Number of channels"), "1");
    EXPECT_DOUBLE_EQ(p.rate(), 11025.0);
    EXPECT_EQ(int16Records(p), (std::vector<int16_t>{0, 127 * 256, -32768, 256}));
    // A rate given in the block stands.
    ASSERT_EQ(import("s.wav", 6, 1, 8000.0), 0);
    EXPECT_DOUBLE_EQ(get("out.tim").rate(), 8000.0);
}

TEST_F(Import, WaveWithExtraFormatBytesAndForeignChunks) {
    const std::vector<int16_t> samples = {1, -1, 1000, -1000, 32767, -32768};
    const std::string data = chunk("data", pcm16(samples));
    const struct {
        const char* what;
        std::string file;
    } cases[] = {
        {"18-byte fmt", riff(chunk("fmt ", fmtBlock(2, 44100, 16, std::string(2, '\0'))) + data)},
        {"LIST first", riff(chunk("LIST", "INFOISFT\x03\0\0\0abc") +
                            chunk("fmt ", fmtBlock(2, 44100, 16)) + data)},
        {"fact between",
         riff(chunk("fmt ", fmtBlock(2, 44100, 16)) + chunk("fact", le32(3)) + data)},
        {"extensible",
         riff(chunk("fmt ", fmtBlock(2, 44100, 16, std::string(24, '\0'), 0xFFFE)) + data)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        put("s.wav", c.file);
        ASSERT_EQ(import("s.wav", 5, 1, 0.0), 0);
        Parsed p = get("out.tim");
        EXPECT_EQ(p.field("Number of channels"), "2");
        EXPECT_DOUBLE_EQ(p.rate(), 44100.0);
        EXPECT_EQ(int16Records(p), samples);
    }
}

TEST_F(Import, MalformedWaveFilesAreRefusedWithoutOutput) {
    const std::string good = wave(1, 8000, 16, pcm16({1, 2, 3, 4}));
    std::string zeroAlign = good;
    zeroAlign[32] = zeroAlign[33] = '\0';  // block align
    std::string longData = good;
    longData[40] = '\x40';  // a data chunk past the end of the file
    const std::string invalid = "'" + dir + "s.wav' is not a valid Windows WAVE file.";
    const std::string unreadable = "Error reading Windows WAVE file '" + dir + "s.wav'";
    const struct {
        const char* what;
        std::string file;
        std::string message;
    } cases[] = {
        {"not RIFF", "RIFX" + good.substr(4), invalid},
        {"no data chunk", riff(chunk("fmt ", fmtBlock(1, 8000, 16))), invalid},
        {"short fmt",
         riff(chunk("fmt ", fmtBlock(1, 8000, 16).substr(0, 14)) + chunk("data", pcm16({1, 2}))),
         invalid},
        {"block align 0", zeroAlign, invalid},
        {"data past the end", longData, unreadable},
        {"cut in the header", good.substr(0, 10), unreadable},
        {"24-bit samples", wave(1, 8000, 24, std::string(6, '\0')),
         "'" + dir + "s.wav' holds 24-bit samples; import it as an audio file (format 20)."},
        {"empty", "", "Unable to open '" + dir + "s.wav'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        put("s.wav", c.file);
        EXPECT_EQ(import("s.wav", 5, 1, 0.0), 1);
        EXPECT_EQ(error(), c.message);
        EXPECT_FALSE(exists("out.tim"));
    }
    EXPECT_EQ(import("none.wav", 5), 1);
    EXPECT_EQ(error(), "Unable to open '" + dir + "none.wav'");
}

TEST_F(Import, ComplexEntriesMustFillWholeFrames) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += std::to_string(i) + " " + std::to_string(-i) + "\n";
    put("c.txt", text);
    EXPECT_EQ(import("c.txt", 1, 1, 8000.0, complexFrames(256)), 1);
    EXPECT_EQ(error(),
              "The number of complex entries is not a multiple of the\nFFT frame size. The file "
              "import operation cannot continue.\nPlease correct the input data to import this "
              "file");
    EXPECT_FALSE(exists("out.tim"));
    EXPECT_EQ(import("c.txt", 1, 1, 8000.0, complexFrames(0)), 1);  // no frame size at all

    ASSERT_EQ(import("c.txt", 1, 1, 8000.0, complexFrames(250)), 0);
    Parsed p = get("out.tim");
    EXPECT_EQ(p.values({"Record type number", "Frame size", "Frame interval", "Window function"}),
              (Texts{"CREAL128RECT(W)", "250", "125", "Hanning"}));
    const std::vector<Complex> z = complexRecords();
    ASSERT_EQ(z.size(), 1000u);
    EXPECT_EQ(z[999].re, 999.0);  // the 16-bit integer value, not a fraction
    EXPECT_EQ(z[999].im, -999.0);
}

TEST_F(Import, ComplexTextWithItsHeader) {
    std::string text;
    for (int i = 1; i <= 7; ++i) text += "header line " + std::to_string(i) + "\r\n";
    text += "Number of points \"N\" 3\r\n";
    for (int i = 9; i <= 31; ++i) text += "more header\r\n";
    text += "1.5 -2.0\r\n0 0.25\r\n-1e-3 4\r\n";
    put("c.txt", text);
    ASSERT_EQ(import("c.txt", 4), 0);
    Parsed p = get("out.tim");
    EXPECT_EQ(p.values({"Frame size", "Frame interval", "Window function"}),
              (Texts{"3", "0", "Rectangular"}));
    const std::vector<Complex> z = complexRecords();
    ASSERT_EQ(z.size(), 3u);
    EXPECT_EQ(z[0].re, 1.5);
    EXPECT_EQ(z[0].im, -2.0);
    EXPECT_EQ(z[2].re, -1e-3);
}

TEST_F(Import, FloatingPointTextIsLimitedToTheFloatRange) {
    put("f.txt", "1e39\n-1e39\n1e-40\n-0.25\n0.1\n");
    for (int32_t code : {11, 13}) {
        ASSERT_EQ(import("f.txt", code), 0);
        Parsed p = get("out.tim");
        EXPECT_EQ(p.field("Record type number"), "REAL32");
        EXPECT_EQ(real32Records(p), (std::vector<float>{FLT_MAX, -FLT_MAX, 0.0f, -0.25f, 0.1f}))
            << code;
    }
    // Complex pairs keep double precision.
    put("c.txt", "0.1 -1e300\n");
    ASSERT_EQ(import("c.txt", 13, 1, 8000.0, complexFrames(1)), 0);
    const std::vector<Complex> z = complexRecords();
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].re, 0.1);
    EXPECT_EQ(z[0].im, -3.4028234663852886e+38);
}

TEST_F(Import, BitPatternsOfFloatsAndDoubles) {
    // 0.5f = 3F000000, -0.5 = BFE0000000000000, 1e300 beyond the float range.
    put("s.txt", "0000\n3F00\n0000\nBF00\n");
    ASSERT_EQ(import("s.txt", 12), 0);
    EXPECT_EQ(floats("out.tim"), (std::vector<float>{0.5f, -0.5f}));
    put("d.txt",
        "0000\n0000\n0000\n3FE0\n0000\n0000\n0000\nBFE0\n"
        "2B3A\nA3DE\nE8AD\n7E37\n");
    ASSERT_EQ(import("d.txt", 14), 0);
    EXPECT_EQ(floats("out.tim"), (std::vector<float>{0.5f, -0.5f, FLT_MAX}));
    // Complex: each part from its words, kept as a double.
    ASSERT_EQ(import("d.txt", 14, 1, 8000.0, complexFrames(1)), 0);
    const std::vector<Complex> z = complexRecords();
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].re, 0.5);
    EXPECT_EQ(z[0].im, -0.5);
}

TEST_F(Import, ComplexWordsEndingEarlyAreRefused) {
    put("w.txt", "0001\n0002\n\n\n");  // four lines: two records, but two words only
    EXPECT_EQ(import("w.txt", 2, 1, 8000.0, complexFrames(1)), 1);
    EXPECT_EQ(error(),
              "A premature End Of File has been encountered\nThe file import operation cannot "
              "continue.\nPlease correct the input data to import this file");
    EXPECT_FALSE(exists("out.tim"));
    put("w.txt", "0001\nFFFF\n");
    ASSERT_EQ(import("w.txt", 2, 1, 8000.0, complexFrames(1)), 0);
    const std::vector<Complex> z = complexRecords();
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].re, 1.0);
    EXPECT_EQ(z[0].im, -1.0);
}

TEST_F(Import, BadParametersAreRefused) {
    put("in.txt", "1 2\n");
    put("in.dat", "1 2\n");
    put("empty.txt", "\x1a\n");
    const struct {
        const char* file;
        int32_t format, channels;
        std::string message;
    } cases[] = {
        {"in.txt", 1, 0, "The number of channels (values per line) must be at least 1."},
        {"in.txt", 1, 33, "'" + dir + "in.txt' has 33 channels; a recording holds at most 32."},
        {"in.dat", QF_FORMAT_BY_EXTENSION, 1,
         "The format of 'in.dat' cannot be told from its name; choose a format code."},
        {"empty.txt", 1, 1, "Nothing to import from '" + dir + "empty.txt'."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(import(c.file, c.format, c.channels), 1);
        EXPECT_EQ(error(), c.message);
        EXPECT_FALSE(exists("out.tim"));
    }
}

TEST_F(Import, ScriptLineCarriesRateFormatAndChannelsOnly) {
    runtime().block = &block;
    block.opCode = QF_OP_IMPORT;
    setEntry(block.in1, "/data/", "in.txt");
    setEntry(block.out, "/work/", "out.tim");
    paramDouble(block, QF_P_IMPORT_RATE) = 8000.0;
    paramInt(block, QF_P_IO_FORMAT) = 1;
    paramInt(block, QF_P_IMPORT_CHANNELS) = 2;
    paramInt(block, QF_P_IMPORT_COMPLEX) = 1;
    paramInt(block, QF_P_IMPORT_FRAME_SIZE) = 256;
    const OperationDescription& d = *describe(QF_OP_IMPORT);
    EXPECT_EQ(describedScriptLine(d, block),
              "1140 Import                   /data/ in.txt            8000 1 2 /work/ out.tim\r\n");
    CommandBlock read{};
    paramInt(read, QF_P_IMPORT_COMPLEX) = 1;
    paramInt(read, QF_P_IMPORT_FRAME_SIZE) = 64;
    ASSERT_TRUE(readDescribedFields(d, read, "1140 Import  /a/ b.txt 44100 5 1 /c/ d.tim"));
    EXPECT_EQ(paramDouble(read, QF_P_IMPORT_RATE), 44100.0);
    EXPECT_EQ(paramInt(read, QF_P_IO_FORMAT), 5);
    EXPECT_EQ(paramInt(read, QF_P_IMPORT_CHANNELS), 1);
    EXPECT_EQ(paramInt(read, QF_P_IMPORT_COMPLEX), 0);  // not on the line: plain data
    EXPECT_EQ(paramInt(read, QF_P_IMPORT_FRAME_SIZE), 0);
    EXPECT_FALSE(readDescribedFields(d, read, "1140 Import  /a/ b.txt 44100 5 /c/ d.tim"));
}

TEST_F(Import, ReplayedImportLine) {
    put("in.txt", "1\n2\n3\n");
    put("s.scr", "1140 Import             ./ in.txt 500 1 1 ./ r.tim\r\n");
    ASSERT_EQ(::chdir(dir.c_str()), 0);  // "./" is the folder the replay starts in
    ASSERT_EQ(run(QF_OP_RUN_SCRIPT, "", "s.scr"), 0);
    EXPECT_EQ(words("r.tim"), (std::vector<int16_t>{1, 2, 3}));
    EXPECT_DOUBLE_EQ(get("r.tim").rate(), 500.0);
}
