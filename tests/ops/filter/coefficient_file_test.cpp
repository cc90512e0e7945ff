// The coefficient file reader against files written by hand from the
// format's description: every status code, every record type and its
// layout, the units of the rate, the fixed-point tap shifts, the columns
// and the whole-line comparisons; each file read with LF and with CR LF
// line ends.
#include "ops/filter/coefficient_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/engine_test.h"

namespace qf::test {
namespace {

// Lines joined with LF (or CR LF).
std::string lines(const std::vector<std::string>& v, bool crlf) {
    std::string s;
    for (const std::string& l : v) s += l + (crlf ? "\r\n" : "\n");
    return s;
}

// An FIR file's header: line 2, the rate line, T, B and (fixed point) S.
std::vector<std::string> firHeader(const std::string& design, const std::string& rateLine,
                                   const std::string& taps, const std::string& bits,
                                   const std::string* shift = nullptr) {
    std::vector<std::string> v = {"FILTER COEFFICIENT FILE",
                                  design,
                                  rateLine,
                                  taps + "                  /* number of taps in decimal     */",
                                  "0003                  /* number of taps in hexadecimal */",
                                  bits + "                  /* number of bits (dec) */",
                                  "0010                  /* number of bits (hex) */"};
    if (shift) {
        v.push_back(*shift + "                  /* shift count in decimal     */");
        v.push_back("0000                  /* shift count in hexadecimal */");
    }
    return v;
}
const std::string kHertz = "SAMPLING FREQUENCY            8.0000000E+003 HERTZ";

// An IIR file's header: rate lines, P, K, B, the quantization and structure.
std::vector<std::string> iirHeader(const std::string& quantization, const std::string& structure,
                                   int order, int sections, int bits,
                                   const std::string& unit = "FREQUENCIES IN HERTZ",
                                   const std::string& rate = "8.0000000E+003") {
    auto counted = [](const char* label, int v) {
        char b[80];
        std::snprintf(b, sizeof b, "%-21s %4d     %04Xh", label, v, v);
        return std::string(b);
    };
    return {"FILTER COEFFICIENT FILE",
            "IIR DESIGN",
            "BUTTERWORTH LOWPASS",
            "BILINEAR TRANSFORMATION",
            "PASSBAND EDGE                1.0000000E+003",
            "STOPBAND EDGE                2.0000000E+003",
            "",
            unit,
            "SAMPLING FREQUENCY          " + rate,
            "",
            counted("FILTER ORDER", order),
            counted("NUMBER OF SECTIONS", sections),
            counted("QUANTIZATION BITS", bits),
            quantization,
            structure};
}
const std::string kFixed = "QUANTIZATION TYPE - FRACTIONAL FIXED POINT";
const std::string kFloating = "QUANTIZATION TYPE - FLOATING POINT";
const std::string kCascade1 = "COEFFICIENTS SCALED FOR CASCADE FORM I";
const std::string kCascade2 = "COEFFICIENTS SCALED FOR CASCADE FORM II";
const std::string kFloatImpl = "COEFFICIENTS SCALED FOR FLOATING POINT IMPLEMENTATION";
const std::string kParallel = "COEFFICIENTS SCALED FOR PARALLEL FORM I (TRANSPOSE FORM)";
const std::string kLattice = "COEFFICIENTS SCALED FOR LATTICE STRUCTURE";

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class CoefficientFile : public EngineTest {
  protected:
    // Writes the file with both line ends, reads it each time and checks the
    // status; returns the result of the last read into `f`.
    int32_t load(const std::vector<std::string>& text, LoadedFilter& f, int32_t status) {
        int32_t r = -1;
        for (bool crlf : {false, true}) {
            writeFile(dir + "c.flt", lines(text, crlf));
            nameNpath e{};
            setEntry(e, dir, "c.flt");
            r = readFilterFile(e, f);
            EXPECT_EQ(r, status) << (crlf ? "CR LF" : "LF");
            EXPECT_EQ(f.loaded(), status == kFilterLoaded);
        }
        return r;
    }
    int32_t load(const std::vector<std::string>& text, int32_t status) {
        LoadedFilter f;
        return load(text, f, status);
    }
};

TEST_F(CoefficientFile, FloatingPointFirFilesLoadTheirTapsAndRate) {
    LoadedFilter f;
    // Values after blank lines; the rest of a value's line is not read.
    load(
        firHeader("FIR DESIGN FLOATING POINT", kHertz, "   3", "  32") +
            std::vector<std::string>{"  0.25  /* tap 0 */", "", "  -5E-1", "1.5e-1 and more words"},
        f, kFilterLoaded);
    EXPECT_EQ(f.type(), kFirFloat);
    EXPECT_EQ(f.records(), 3);
    EXPECT_EQ(f.bits, 32);
    EXPECT_EQ(f.d.samplingRate, 8000.0);
    EXPECT_EQ(std::vector<float>(f.data<float>(), f.data<float>() + 3),
              (std::vector<float>{0.25f, -0.5f, 0.15f}));
    EXPECT_STREQ(f.d.file.n, "c.flt");
    EXPECT_EQ(std::string(f.d.file.p), dir);

    // Only the first 23 characters of line 1 count; FLOATING POINT and
    // LATTICE anywhere in line 2 make an FIR lattice; no HERTZ: an angular
    // rate, divided by 2 pi.
    std::vector<std::string> t =
        firHeader("FIR DESIGN, FLOATING POINT, LATTICE",
                  "SAMPLING FREQUENCY           6.283185307179586E+03", "   2", "  32") +
        std::vector<std::string>{"0.5", "-0.25"};
    t[0] = "FILTER COEFFICIENT FILE written by hand";
    load(t, f, kFilterLoaded);
    EXPECT_EQ(f.type(), kFirLattice);
    EXPECT_EQ(f.records(), 2);
    EXPECT_DOUBLE_EQ(f.d.samplingRate, 1000.0);

    // A rate or bit count that cannot be read is 0; floating-point taps do
    // not need the bits.
    load(firHeader("FIR DESIGN FLOATING POINT", "RATE 8000 HERTZ", "   1", "  ??") +
             std::vector<std::string>{"1"},
         f, kFilterLoaded);
    EXPECT_EQ(f.d.samplingRate, 0.0);
    EXPECT_EQ(f.bits, 0);
}

TEST_F(CoefficientFile, FixedPointFirTapsAreTheHexWordsShiftedWithinTheirWidth) {
    const std::vector<std::string> taps16 = {"        -1 FFFFFFFF  /* coefficient of tap     0 */",
                                             "     16384 00004000  /* coefficient of tap     1 */",
                                             "    -32768 FFFF8000  /* coefficient of tap     2 */",
                                             "      8191 1FFF"};
    struct Case {
        const char* shift;
        std::vector<uint16_t> words;
    } const cases16[] = {
        {"   0", {0xFFFF, 0x4000, 0x8000, 0x1FFF}}, {"   2", {0xFFFC, 0x0000, 0x0000, 0x7FFC}},
        {"  -1", {0xFFFF, 0x2000, 0xC000, 0x0FFF}}, {"  20", {0, 0, 0, 0}},
        {" -20", {0xFFFF, 0, 0xFFFF, 0}},
    };
    for (const Case& c : cases16) {
        SCOPED_TRACE(c.shift);
        const std::string shift = c.shift;
        LoadedFilter f;
        load(firHeader("FIR DESIGN", kHertz, "   4", "  16", &shift) + taps16, f, kFilterLoaded);
        ASSERT_EQ(f.type(), kFirQ15);
        EXPECT_EQ(f.shift, std::stoi(c.shift));
        const auto* w = reinterpret_cast<const uint16_t*>(f.data<int16_t>());
        EXPECT_EQ(std::vector<uint16_t>(w, w + 4), c.words);
    }
    // 24-bit taps are 32-bit words, shifted within 32 bits.
    const std::string shift = "  -4";
    LoadedFilter f;
    load(firHeader("FIR DESIGN", kHertz, "   3", "  24", &shift) +
             std::vector<std::string>{"   8388607 007FFFFF  /* coefficient of tap     0 */",
                                      "  -8388608 FF800000", "   0 0x7FFFFFF0"},
         f, kFilterLoaded);
    ASSERT_EQ(f.type(), kFirQ23);
    EXPECT_EQ(f.bits, 24);
    EXPECT_EQ(std::vector<int32_t>(f.data<int32_t>(), f.data<int32_t>() + 3),
              (std::vector<int32_t>{0x7FFFF, -0x80000, 0x7FFFFFF}));
}

TEST_F(CoefficientFile, ReadsFirFilesAsTheExportOperationWritesThem) {
    // INTEGER16 taps, then REAL32 samples as 24-bit taps, in the export's
    // own line formats.
    std::string text = "FILTER COEFFICIENT FILE\nFIR DESIGN\n";
    char b[128];
    std::snprintf(b, sizeof b, "SAMPLING FREQUENCY           % 14.7E HERTZ\n", 44100.0);
    text += b;
    std::snprintf(b, sizeof b, "%4ld                  /* number of taps in decimal     */\n", 3L);
    text += b;
    std::snprintf(b, sizeof b, "%04lx                  /* number of taps in hexadecimal */\n", 3L);
    text += b;
    text +=
        "  16                  /* number of bits in quantized coefficients (dec) */\n"
        "0010                  /* number of bits in quantized coefficients (hex) */\n"
        "   0                  /* shift count in decimal     */\n"
        "0000                  /* shift count in hexadecimal */\n";
    const int16_t values[3] = {-300, 32767, -32768};
    for (long i = 0; i < 3; ++i) {
        std::snprintf(b, sizeof b, "     % 5d %08lX  /* coefficient of tap  %4ld */\n", values[i],
                      static_cast<unsigned long>(static_cast<uint32_t>(int32_t{values[i]})), i);
        text += b;
    }
    writeFile(dir + "e.flt", text);
    nameNpath e{};
    setEntry(e, dir, "e.flt");
    LoadedFilter f;
    ASSERT_EQ(readFilterFile(e, f), kFilterLoaded);
    EXPECT_EQ(f.type(), kFirQ15);
    EXPECT_EQ(f.d.samplingRate, 44100.0);
    EXPECT_EQ(std::vector<int16_t>(f.data<int16_t>(), f.data<int16_t>() + 3),
              std::vector<int16_t>(values, values + 3));

    text =
        "FILTER COEFFICIENT FILE\nFIR DESIGN\n"
        "SAMPLING FREQUENCY            8.0000000E+003 HERTZ\n"
        "   2                  /* number of taps in decimal     */\n"
        "0002                 /* number of taps in hexadecimal */\n"
        "  24                  /* number of bits in quantized coefficients (dec) */\n"
        "0018                  /* number of bits in quantized coefficients (hex) */\n"
        "   0                  /* shift count in decimal     */\n"
        "0000                  /* shift count in hexadecimal */\n";
    for (long i = 0; i < 2; ++i) {
        const long v = i == 0 ? 4194304L : -8388608L;  // 0.5 and -1.0 times 2^23
        std::snprintf(b, sizeof b, "   % 7ld %08lX  /* coefficient of tap  %4ld */\n", v,
                      static_cast<unsigned long>(static_cast<uint32_t>(v)), i);
        text += b;
    }
    writeFile(dir + "e.flt", text);
    ASSERT_EQ(readFilterFile(e, f), kFilterLoaded);
    EXPECT_EQ(f.type(), kFirQ23);
    EXPECT_EQ(std::vector<int32_t>(f.data<int32_t>(), f.data<int32_t>() + 2),
              (std::vector<int32_t>{4194304, -8388608}));
}

TEST_F(CoefficientFile, IirFilesLoadTheRecordTypeOfTheirCombination) {
    // 16-bit forms: gain shift and gain come first in the file, a section's
    // shift before its coefficients; the records hold c0 ... c4, then shift.
    const std::vector<std::string> q15Values = {"1",   "16384", "-2",  "100",
                                                "200", "300",   "400", "-500"};
    for (auto [structure, type] :
         {std::pair{kCascade1, kIirCascade1Q15}, std::pair{kCascade2, kIirCascade2Q15}}) {
        LoadedFilter f;
        load(iirHeader(kFixed, structure, 2, 1, 16) + q15Values, f, kFilterLoaded);
        ASSERT_EQ(f.type(), type);
        EXPECT_EQ(f.records(), 1);
        EXPECT_EQ(f.bits, 16);
        EXPECT_EQ(f.d.samplingRate, 8000.0);
        EXPECT_EQ(f.headerWords[0], 16384);
        EXPECT_EQ(f.headerWords[1], 1);
        const SectionQ15& s = f.data<SectionQ15>()[0];
        EXPECT_EQ(std::vector<int16_t>(s.c, s.c + 5),
                  (std::vector<int16_t>{100, 200, 300, 400, -500}));
        EXPECT_EQ(s.shift, -2);
    }
    // Parallel: gain shift, gain, second gain, second gain shift.
    LoadedFilter f;
    load(iirHeader(kFixed, kParallel, 4, 2, 16) +
             std::vector<std::string>{"2", "1000", "2000", "3", "0", "1", "2", "3", "4", "5", "1",
                                      "6", "7", "8", "9", "70000"},
         f, kFilterLoaded);
    ASSERT_EQ(f.type(), kIirParallelQ15);
    EXPECT_EQ(std::vector<int32_t>(f.headerWords, f.headerWords + 4),
              (std::vector<int32_t>{1000, 2, 2000, 3}));
    EXPECT_EQ(f.data<SectionQ15>()[1].shift, 1);
    EXPECT_EQ(f.data<SectionQ15>()[1].c[4], 70000 - 65536);  // "%hd" keeps 16 bits

    // 24-bit forms: c0 ... c4 as 32-bit words.
    const std::vector<std::string> q23Values = {"-1",       "4194304", "3", "8388607",
                                                "-8388608", "1",       "2", "-3"};
    for (auto [structure, type] :
         {std::pair{kCascade1, kIirCascade1Q23}, std::pair{kCascade2, kIirCascade2Q23}}) {
        load(iirHeader(kFixed, structure, 2, 1, 24) + q23Values, f, kFilterLoaded);
        ASSERT_EQ(f.type(), type);
        EXPECT_EQ(f.headerWords[0], 4194304);
        EXPECT_EQ(f.headerWords[1], -1);
        const SectionQ23& s = f.data<SectionQ23>()[0];
        EXPECT_EQ(std::vector<int32_t>(s.c, s.c + 5),
                  (std::vector<int32_t>{8388607, -8388608, 1, 2, -3}));
        EXPECT_EQ(s.shift, 3);
    }
    load(iirHeader(kFixed, kParallel, 2, 1, 24) + std::vector<std::string>{"-1", "4194304",
                                                                           "-4194304", "2", "0",
                                                                           "1", "2", "3", "4", "5"},
         f, kFilterLoaded);
    ASSERT_EQ(f.type(), kIirParallelQ23);
    EXPECT_EQ(std::vector<int32_t>(f.headerWords, f.headerWords + 4),
              (std::vector<int32_t>{4194304, -1, -4194304, 2}));

    // Floating-point sections (block floating point is floating point too):
    // the gain, then four floats per section.
    for (const std::string& q :
         {kFloating, std::string("QUANTIZATION TYPE - BLOCK FLOATING POINT")}) {
        load(iirHeader(q, kFloatImpl, 4, 2, 32, "FREQUENCIES IN RADIANS",
                       "5.0265482457436690E+004") +
                 std::vector<std::string>{"0.5", "1", "2", "3", "4", "-1", "-2", "-3", "-4.5"},
             f, kFilterLoaded);
        ASSERT_EQ(f.type(), kIirFloatSections);
        EXPECT_EQ(f.gain, 0.5f);
        EXPECT_EQ(f.data<SectionFloat>()[1].c[3], -4.5f);
        EXPECT_DOUBLE_EQ(f.d.samplingRate, 8000.0);
    }
    // Lattice of order 4: the gain and 2 x 4 + 1 floats; 4 records.
    std::vector<std::string> lattice = {"2.5"};
    for (int i = 0; i < 9; ++i) lattice.push_back(std::to_string(i) + ".5");
    load(iirHeader(kFixed, kLattice, 4, 2, 16) + lattice, f, kFilterLoaded);
    ASSERT_EQ(f.type(), kIirLattice);
    EXPECT_EQ(f.records(), 4);
    EXPECT_EQ(f.gain, 2.5f);
    EXPECT_EQ(f.data<float>()[8], 8.5f);
    EXPECT_EQ(f.d.bufferBytes, 9 * 4);
    // One value short.
    lattice.pop_back();
    load(iirHeader(kFloating, kLattice, 4, 2, 16) + lattice, kFilterNotCoefficients);
}

TEST_F(CoefficientFile, EveryRefusalHasItsStatus) {
    const std::vector<std::string> floats = {"0.5", "0.25", "0.125"};
    const std::string zero = "   0";
    struct Case {
        const char* what;
        std::vector<std::string> text;
        int32_t status;
    } const cases[] = {
        {"empty file", {}, kFilterNotCoefficients},
        {"COEFFICIENTS with a final S",
         std::vector<std::string>{"FILTER COEFFICIENTS FILE", "FIR DESIGN FLOATING POINT"},
         kFilterNotCoefficients},
        {"line 2 not IR DESIGN",
         {"FILTER COEFFICIENT FILE", "FIR  DESIGN"},
         kFilterNotCoefficients},
        {"header only",
         {"FILTER COEFFICIENT FILE", "FIR DESIGN FLOATING POINT"},
         kFilterNotCoefficients},
        {"fewer taps than announced",
         firHeader("FIR DESIGN FLOATING POINT", kHertz, "   4", "  32") + floats,
         kFilterNotCoefficients},
        {"a tap that is not a number",
         firHeader("FIR DESIGN FLOATING POINT", kHertz, "   3", "  32") +
             std::vector<std::string>{"0.5", "half", "0.5"},
         kFilterNotCoefficients},
        {"a hex tap that is not hex",
         firHeader("FIR DESIGN", kHertz, "   1", "  16", &zero) + std::vector<std::string>{"1 XYZ"},
         kFilterNotCoefficients},
        {"2^31 taps", firHeader("FIR DESIGN FLOATING POINT", kHertz, "2147483648", "  32") + floats,
         kFilterNotCoefficients},
        {"a negative tap count",
         firHeader("FIR DESIGN FLOATING POINT", kHertz, "  -3", "  32") + floats,
         kFilterNotCoefficients},
        {"more taps than any filter",
         firHeader("FIR DESIGN FLOATING POINT", kHertz, "1048577", "  32") + floats,
         kFilterNotCoefficients},
        {"12-bit fixed-point taps", firHeader("FIR DESIGN", kHertz, "   3", "  12", &zero) + floats,
         kFilterBadBits},
        {"fixed-point lattice",
         firHeader("FIR DESIGN LATTICE", kHertz, "   3", "  16", &zero) + floats,
         kFilterUnsupported},
        {"floating point cascade I", iirHeader(kFloating, kCascade1, 2, 1, 32) + floats,
         kFilterUnsupported},
        {"floating point cascade II", iirHeader(kFloating, kCascade2, 2, 1, 32) + floats,
         kFilterUnsupported},
        {"floating point parallel", iirHeader(kFloating, kParallel, 2, 1, 32) + floats,
         kFilterUnsupported},
        {"fixed point, floating implementation", iirHeader(kFixed, kFloatImpl, 2, 1, 16) + floats,
         kFilterUnsupported},
        {"20-bit cascade", iirHeader(kFixed, kCascade1, 2, 1, 20) + floats, kFilterUnsupported},
        {"parallel form II",
         iirHeader(kFixed, "COEFFICIENTS SCALED FOR PARALLEL FORM II", 2, 1, 16) + floats,
         kFilterNotCoefficients},
        {"quantization line with a trailing blank",
         iirHeader(kFixed + " ", kCascade1, 2, 1, 16) + floats, kFilterNotCoefficients},
        {"structure line in lower case",
         iirHeader(kFixed, "coefficients scaled for cascade form i", 2, 1, 16) + floats,
         kFilterNotCoefficients},
        {"fewer section values than announced", iirHeader(kFixed, kCascade1, 2, 2, 16) + floats,
         kFilterNotCoefficients},
        {"2^31 sections", iirHeader(kFixed, kCascade1, 2, 2, 16) + floats, kFilterNotCoefficients},
        {"no section count", iirHeader(kFixed, kCascade1, 2, 2, 16) + floats,
         kFilterNotCoefficients},
        {"no order for a lattice", iirHeader(kFloating, kLattice, 2, 2, 16) + floats,
         kFilterNotCoefficients},
        {"no bit count for a fixed-point cascade", iirHeader(kFixed, kCascade1, 2, 2, 16) + floats,
         kFilterUnsupported},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> text = c.text;
        const std::string what = c.what;
        if (what == "2^31 sections") text[11] = "NUMBER OF SECTIONS    2147483648     80000000h";
        if (what == "no section count") text[11] = "NUMBER OF SECTIONS";
        if (what == "no order for a lattice") text[10] = "FILTER ORDER IS FOUR";
        if (what == "no bit count for a fixed-point cascade") text[12] = "QUANTIZATION BITS    ?";
        load(text, c.status);
    }
    // The unsupported bit count is logged.
    EXPECT_NE(readFile(home + "quillfen.log").find("12-bit FIR coefficients not supported.\r\n"),
              std::string::npos);
}

TEST_F(CoefficientFile, AMissingFileIsReportedAndAFailureEndsTheBusyMark) {
    nameNpath e{};
    setEntry(e, dir, "none.flt");
    LoadedFilter f;
    status().busy = 'y';
    EXPECT_EQ(readFilterFile(e, f), kFilterNotFound);
    EXPECT_EQ(status().busy, 'n');
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR), "Did not find " + dir + "none.flt");

    // A loaded filter leaves the mark as it is; loading again replaces it.
    writeFile(dir + "ok.flt", lines(firHeader("FIR DESIGN FLOATING POINT", kHertz, "   1", "  32") +
                                        std::vector<std::string>{"1"},
                                    false));
    setEntry(e, dir, "ok.flt");
    status().busy = 'y';
    ASSERT_EQ(readFilterFile(e, f), kFilterLoaded);
    EXPECT_EQ(status().busy, 'y');
    ASSERT_EQ(readFilterFile(e, f), kFilterLoaded);
    EXPECT_EQ(f.records(), 1);
    status().busy = 'n';
}

}  // namespace
}  // namespace qf::test
