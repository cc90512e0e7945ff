// Export (1150) through RunOp: the bytes and lines of every format code
// per input type, the WAVE header, assembler data, recordings as " , "
// lines, FIR coefficient files read back by a parser written here from the
// file's description, refusals that leave an existing file alone, the
// script line, and a WAVE round trip through import.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "ops/io/io_files.h"
#include "script/lines.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;
using namespace qf::test::io;

namespace {

class Export : public OperationTest {
  protected:
    int32_t exportAs(const std::string& in, const std::string& out, int32_t format,
                     bool assembler = false) {
        return run(QF_OP_EXPORT, in, out, [format, assembler](CommandBlock& b, const HostCall&) {
            paramInt(b, QF_P_IO_FORMAT) = format;
            paramInt(b, QF_P_EXPORT_ASSEMBLER) = assembler ? 1 : 0;
            return 0;
        });
    }
    std::string bytes(const std::string& name) { return readFile(dir + name); }
    std::string error() { return TestHost::instance().lastMessage(QF_MSG_ERROR); }
};

std::string complexFile(const std::vector<double>& parts) {
    const Header h{.type = "CREAL128RECT(W)",
                   .count = static_cast<int32_t>(parts.size() / 2),
                   .extra = line("Frame size", std::to_string(parts.size() / 2)) +
                            line("Frame interval", "0") + line("Window function", "Rectangular")};
    return headerBytes(h) + rawBytes(parts);
}

// A filter coefficient file as the filter reader takes it: the first two
// lines name it, line 3 holds the rate from column 29, then the tap count,
// the bit count and the shift count on lines 4, 6 and 8, and one tap a line
// whose second field is its hexadecimal value.
struct Fir {
    bool valid = false;
    double rate = 0.0;
    bool hertz = false;
    int taps = 0, bits = 0, shift = 0;
    std::vector<int32_t> coefficients;
};
Fir readFir(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    Fir f;
    if (lines.size() < 9 || lines[0].compare(0, 23, "FILTER COEFFICIENT FILE") != 0 ||
        lines[1].compare(1, 9, "IR DESIGN") != 0 || lines[1][0] != 'F')
        return f;
    f.valid = true;
    f.rate = std::strtod(lines[2].c_str() + 28, nullptr);
    f.hertz = lines[2].find("HERTZ") != std::string::npos;
    f.taps = std::atoi(lines[3].c_str());
    f.bits = std::atoi(lines[5].c_str());
    f.shift = std::atoi(lines[7].c_str());
    for (std::size_t i = 9; i < lines.size(); ++i) {
        unsigned long v = 0;
        if (std::sscanf(lines[i].c_str(), " %*s %lx", &v) != 1) continue;
        f.coefficients.push_back(f.bits == 16 ? static_cast<int16_t>(v & 0xFFFF)
                                              : static_cast<int32_t>(static_cast<uint32_t>(v)));
    }
    return f;
}

// y[n] = sum_k h[k] x[n - k], in units of the taps' fraction.
std::vector<double> convolve(const std::vector<double>& h, const std::vector<double>& x) {
    std::vector<double> y(x.size(), 0.0);
    for (std::size_t n = 0; n < x.size(); ++n)
        for (std::size_t k = 0; k < h.size() && k <= n; ++k) y[n] += h[k] * x[n - k];
    return y;
}

}  // namespace

TEST_F(Export, MinusOneInEachSixteenBitForm) {
    put("x.tim", int16File({-1, -1, -1}));
    const auto thrice = [](const std::string& s) { return s + s + s; };
    const struct {
        int32_t format;
        std::string expected;
    } cases[] = {
        {0, thrice(std::string("\xff\xff", 2))},
        {1, thrice("    -1\r\n")},
        {2, thrice("FFFF\r\n")},
        {5, "RIFF" + le32(39) + "WAVEfmt " + le32(16) + fmtBlock(1, 8000, 8) + "data" + le32(3) +
                "\x7f\x7f\x7f"},
        {6, wave(1, 8000, 16, thrice(std::string("\xff\xff", 2)))},
        {11, thrice("-3.0517578e-005\r\n")},
        {13, thrice("-3.05175781250000e-005\r\n")},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(exportAs("x.tim", "x.out", c.format), 0) << c.format;
        EXPECT_EQ(bytes("x.out"), c.expected) << c.format;
    }
    EXPECT_EQ(described(), "[x.tim] exported to [x.out]");
}

TEST_F(Export, FloatsBecomeWordsByTheOverflowMode) {
    put("f.tim", real32File({1.0f, -0.5f, 0.0f}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(exportAs("f.tim", "s.txt", 2), 0);
    EXPECT_EQ(bytes("s.txt"), "7FFF\r\nC000\r\n0000\r\n");
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(exportAs("f.tim", "w.txt", 2), 0);
    EXPECT_EQ(bytes("w.txt"), "8000\r\nC000\r\n0000\r\n");
    ASSERT_EQ(exportAs("f.tim", "w.raw", 0), 0);
    EXPECT_EQ(bytes("w.raw"), std::string("\x00\x80\x00\xc0\x00\x00", 6));
    // Text and bit patterns take the float itself.
    ASSERT_EQ(exportAs("f.tim", "f.txt", 11), 0);
    EXPECT_EQ(bytes("f.txt"), " 1.0000000e+000\r\n-5.0000000e-001\r\n 0.0000000e+000\r\n");
    ASSERT_EQ(exportAs("f.tim", "b.txt", 12), 0);
    EXPECT_EQ(bytes("b.txt"), "0000\r\n3f80\r\n0000\r\nbf00\r\n0000\r\n0000\r\n");
}

TEST_F(Export, HalfAsFloatAndDoubleBitPatterns) {
    put("x.tim", int16File({16384, 0, 0}));
    ASSERT_EQ(exportAs("x.tim", "s.txt", 12), 0);
    EXPECT_EQ(bytes("s.txt").substr(0, 12), "0000\r\n3f00\r\n");
    ASSERT_EQ(exportAs("x.tim", "d.txt", 14), 0);
    EXPECT_EQ(bytes("d.txt").substr(0, 24), "0000\r\n0000\r\n0000\r\n3FE0\r\n");
    ASSERT_EQ(exportAs("x.tim", "e.txt", 11), 0);
    EXPECT_EQ(bytes("e.txt").substr(0, 17), " 5.0000000e-001\r\n");
}

TEST_F(Export, SixteenBitWaveHeader) {
    const std::vector<int16_t> v = {0, 1, -1, 32767, -32768};
    put("x.tim", int16File(v, 22050.0));
    ASSERT_EQ(exportAs("x.tim", "x.wav", 6), 0);
    const std::string b = bytes("x.wav");
    ASSERT_EQ(b.size(), 44u + 10u);
    const std::string header = std::string("RIFF") + le32(36 + 10) + "WAVEfmt " + le32(16) +
                               le16(1) + le16(1) + le32(22050) + le32(44100) + le16(2) + le16(16) +
                               "data" + le32(10);
    EXPECT_EQ(b.substr(0, 44), header);
    EXPECT_EQ(waveWords(b), v);
}

TEST_F(Export, RecordingsKeepTheirChannels) {
    put("r.tim", realtimeFile({1, -1, 2, -2, 16384, 0}, 2, -1.0, 1.0));
    ASSERT_EQ(exportAs("r.tim", "r.wav", 6), 0);
    const std::string b = bytes("r.wav");
    EXPECT_EQ(b.substr(22, 2), le16(2));         // channels
    EXPECT_EQ(b.substr(28, 4), le32(8000 * 4));  // byte rate
    EXPECT_EQ(b.substr(32, 2), le16(4));         // block align
    const struct {
        int32_t format;
        std::string expected;
    } cases[] = {
        {1, "     1 ,     -1\r\n     2 ,     -2\r\n 16384 ,      0\r\n"},
        {2, "0001 , FFFF\r\n0002 , FFFE\r\n4000 , 0000\r\n"},
        {11, " 0.0000305 , -0.0000305\r\n 0.0000610 , -0.0000610\r\n 0.5000000 ,  0.0000000\r\n"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(exportAs("r.tim", "r.txt", c.format, true), 0);  // no assembler data here
        EXPECT_EQ(bytes("r.txt"), c.expected) << c.format;
    }
}

TEST_F(Export, ComplexValuesAsTextAndBits) {
    put("c.tim", complexFile({0.5, -0.25, 1.0, 2.0, 0.0, 0.0}));
    ASSERT_EQ(exportAs("c.tim", "c.txt", 11), 0);
    EXPECT_EQ(bytes("c.txt"),
              " 5.0000000e-001 -2.5000000e-001\r\n 1.0000000e+000  2.0000000e+000\r\n"
              " 0.0000000e+000  0.0000000e+000\r\n");
    ASSERT_EQ(exportAs("c.tim", "d.txt", 13), 0);
    EXPECT_EQ(bytes("d.txt").substr(0, 47), " 5.00000000000000e-001 -2.50000000000000e-001\r\n");
    ASSERT_EQ(exportAs("c.tim", "s.txt", 12), 0);
    EXPECT_EQ(bytes("s.txt").substr(0, 24), "0000\r\n3f00\r\n0000\r\nbe80\r\n");
}

TEST_F(Export, AssemblerDataSection) {
    put("x.tim", int16File({-1, 2, 0}));
    ASSERT_EQ(exportAs("x.tim", "coef.dat", 2, true), 0);
    EXPECT_EQ(bytes("coef.dat"),
              "        .section .data\r\n"
              "        .global   coef\r\n"
              "        .align    2\r\n"
              "coef:\r\n"
              "        .hword 0xFFFF\r\n"
              "        .hword 0x0002\r\n"
              "        .hword 0x0000\r\n");
    ASSERT_EQ(exportAs("x.tim", "coef.s", 12, true), 0);
    // -1 and 2 as the floats -2^-15 (B8000000) and 2^-14 (38800000).
    EXPECT_EQ(bytes("coef.s").substr(76, 92),
              "        .hword 0x0000\r\n        .hword 0xb800\r\n"
              "        .hword 0x0000\r\n        .hword 0x3880\r\n");
}

TEST_F(Export, FirCoefficientFileOfSixteenBitTaps) {
    const std::vector<int16_t> taps = {-1, 16384, 32767, -32768, 5};
    put("h.tim", int16File(taps, 8000.0));
    ASSERT_EQ(exportAs("h.tim", "h.flt", 10), 0);
    const std::string text = bytes("h.flt");
    const std::string head =
        "FILTER COEFFICIENT FILE\r\n"
        "FIR DESIGN\r\n"
        "SAMPLING FREQUENCY            8.0000000E+003 HERTZ\r\n"
        "   5                  /* number of taps in decimal     */\r\n"
        "0005                  /* number of taps in hexadecimal */\r\n"
        "  16                  /* number of bits in quantized coefficients (dec) */\r\n"
        "0010                  /* number of bits in quantized coefficients (hex) */\r\n"
        "   0                  /* shift count in decimal     */\r\n"
        "0000                  /* shift count in hexadecimal */\r\n"
        "        -1 FFFFFFFF  /* coefficient of tap     0 */\r\n"
        "      16384 00004000  /* coefficient of tap     1 */\r\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const Fir f = readFir(text);
    ASSERT_TRUE(f.valid);
    EXPECT_TRUE(f.hertz);
    EXPECT_EQ(f.rate, 8000.0);
    EXPECT_EQ(f.taps, 5);
    EXPECT_EQ(f.bits, 16);
    EXPECT_EQ(f.shift, 0);
    EXPECT_EQ(f.coefficients, (std::vector<int32_t>{-1, 16384, 32767, -32768, 5}));

    // Filtering with the loaded taps is the direct convolution with the
    // exported samples.
    std::vector<double> h, loaded, x = {1, 0, 0, 2, -1, 0.5, 0, 0};
    for (int16_t t : taps) h.push_back(t / 32768.0);
    for (int32_t t : f.coefficients) loaded.push_back(t / 32768.0);
    EXPECT_EQ(convolve(loaded, x), convolve(h, x));
}

TEST_F(Export, FirCoefficientFileOfTwentyFourBitTaps) {
    put("h.tim", real32File({0.5f, -0.25f, 1.0f / 3.0f}, 1000.0));
    ASSERT_EQ(exportAs("h.tim", "h.flt", 10), 0);
    const std::string text = bytes("h.flt");
    EXPECT_NE(
        text.find("0003                 /* number of taps in hexadecimal */\r\n"
                  "  24                  /* number of bits in quantized coefficients (dec) */\r\n"
                  "0018                  /* number of bits in quantized coefficients (hex) */\r\n"),
        std::string::npos);
    EXPECT_NE(text.find("    4194304 00400000  /* coefficient of tap     0 */\r\n"
                        "   -2097152 FFE00000  /* coefficient of tap     1 */\r\n"
                        "    2796202 002AAAAA  /* coefficient of tap     2 */\r\n"),
              std::string::npos);
    const Fir f = readFir(text);
    ASSERT_TRUE(f.valid);
    EXPECT_EQ(f.rate, 1000.0);
    EXPECT_EQ(f.bits, 24);
    // (1/3 as a float) * 2^23 = 2796202.67, truncated.
    EXPECT_EQ(f.coefficients, (std::vector<int32_t>{4194304, -2097152, 2796202}));
}

// Taps that are not finite: infinities saturate to the 32-bit ends, a NaN
// is 0 (converting it was undefined).
TEST_F(Export, FirTapsOfInfinitiesAndNaNs) {
    put("h.tim", real32File({INFINITY, NAN, -INFINITY, 0.5f}, 1000.0));
    ASSERT_EQ(exportAs("h.tim", "h.flt", 10), 0);
    EXPECT_NE(bytes("h.flt").find("    2147483647 7FFFFFFF  /* coefficient of tap     0 */\r\n"
                                  "         0 00000000  /* coefficient of tap     1 */\r\n"
                                  "   -2147483648 80000000  /* coefficient of tap     2 */\r\n"
                                  "    4194304 00400000  /* coefficient of tap     3 */\r\n"),
              std::string::npos)
        << bytes("h.flt");
}

TEST_F(Export, RefusalsLeaveAnExistingFileAlone) {
    put("c.tim", complexFile({0.5, -0.25, 1.0, 2.0, 0.0, 0.0}));
    put("r.tim", realtimeFile({1, 2, 3, 4}, 2, -1.0, 1.0));
    put("x.tim", int16File({1, 2, 3}));
    put("old.dat", "keep me");
    const struct {
        const char* input;
        int32_t format;
    } cases[] = {{"c.tim", 0}, {"c.tim", 6}, {"r.tim", 10}, {"x.tim", 3}, {"x.tim", 8}};
    for (const auto& c : cases) {
        EXPECT_EQ(exportAs(c.input, "old.dat", c.format), 1) << c.input << " " << c.format;
        EXPECT_EQ(error(), "'" + std::string(c.input) + "' cannot be exported in format " +
                               std::to_string(c.format) + ".");
        EXPECT_EQ(bytes("old.dat"), "keep me");
    }
    EXPECT_EQ(exportAs("x.tim", "old.dat", QF_FORMAT_BY_EXTENSION), 1);
    EXPECT_EQ(error(),
              "The format of 'old.dat' cannot be told from its name; choose a format code.");
    EXPECT_EQ(exportAs("missing.tim", "old.dat", 1), 1);
    EXPECT_EQ(bytes("old.dat"), "keep me");
}

TEST_F(Export, SixteenBitWaveRoundTrip) {
    std::vector<int16_t> v;
    for (int i = 0; i < 5000; ++i) v.push_back(static_cast<int16_t>((i * 7919) % 65536 - 32768));
    put("x.tim", int16File(v, 16000.0));
    ASSERT_EQ(exportAs("x.tim", "x.wav", 6), 0);
    ASSERT_EQ(run(QF_OP_IMPORT, "x.wav", "y.tim",
                  [this](CommandBlock& b, const HostCall&) {
                      setEntry(b.in1, dir, "x.wav");
                      paramInt(b, QF_P_IO_FORMAT) = 6;
                      return 0;
                  }),
              0);
    Parsed p = get("y.tim");
    EXPECT_DOUBLE_EQ(p.rate(), 16000.0);
    EXPECT_EQ(int16Records(p), v);
}

TEST_F(Export, ScriptLineCarriesTheFormatOnly) {
    runtime().block = &block;
    block.opCode = QF_OP_EXPORT;
    setEntry(block.in1, "/w/", "x.tim");
    setEntry(block.out, "/w/", "x.dat");
    paramInt(block, QF_P_IO_FORMAT) = 2;
    paramInt(block, QF_P_EXPORT_ASSEMBLER) = 1;
    const OperationDescription& d = *describe(QF_OP_EXPORT);
    EXPECT_EQ(describedScriptLine(d, block),
              "1150 Export                   /w/ x.tim 2 /w/ x.dat\r\n");
    ASSERT_TRUE(readDescribedFields(d, block, "1150 Export  /a/ b.tim 14 /c/ d.txt"));
    EXPECT_EQ(paramInt(block, QF_P_IO_FORMAT), 14);
    EXPECT_EQ(paramInt(block, QF_P_EXPORT_ASSEMBLER), 0);  // a replay writes plain data
    EXPECT_FALSE(readDescribedFields(d, block, "1150 Export  /a/ b.tim /c/ d.txt"));
}
