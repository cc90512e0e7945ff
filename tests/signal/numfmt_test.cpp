// The engine's printf: three-digit exponents, fixed-width record fields and
// ordinary printf behaviour for everything else, against hand-written text.
#include "signal/numfmt.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace qf {
namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::fabs(std::numeric_limits<double>::quiet_NaN());
const double kMinSub = 4.9406564584124654e-324;  // the smallest subnormal

std::string rec(double v, int precision) {
    char b[64];
    int n = fmtRecordExp(b, v, precision);
    return std::string(b, static_cast<std::size_t>(n));
}

// Values and their texts under one format.
using Shown = std::pair<double, const char*>;

TEST(NumFmt, ExponentsHaveThreeDigits) {
    // 9.999999951 rounds up to ten at eight significant digits; the float
    // nearest 9.99999995 is ten itself; the double nearest 9.99999995 lies
    // just below the tie and rounds down.
    const double tenF = 9.99999995f, denormF = std::numeric_limits<float>::denorm_min();
    const Shown e7[] = {
        {1.0, " 1.0000000E+000"},        {0.0, " 0.0000000E+000"},
        {-0.0, "-0.0000000E+000"},       {-1.5, "-1.5000000E+000"},
        {0.001, " 1.0000000E-003"},      {1.0e100, " 1.0000000E+100"},
        {-2.5e-300, "-2.5000000E-300"},  {9.999999951, " 1.0000000E+001"},
        {tenF, " 1.0000000E+001"},       {9.99999995, " 9.9999999E+000"},
        {9.99999996, " 1.0000000E+001"}, {-99.999999951, "-1.0000000E+002"},
        {denormF, " 1.4012985E-045"},
    };
    for (auto [v, text] : e7) EXPECT_EQ(fmtString("% 14.7E", v), text) << v;
    EXPECT_EQ(fmtString("% 22.15lE", 0.1), " 1.000000000000000E-001");
    EXPECT_EQ(fmtString("% 22.15lE", -1.0 / 3.0), "-3.333333333333333E-001");
    EXPECT_EQ(fmtString("% 22.15lE", kMinSub), " 4.940656458412465E-324");
    EXPECT_EQ(fmtString("%e|%.2e", 12345.0, 0.0), "1.234500e+004|0.00e+000");
    // The general form keeps six significant digits.
    const Shown lg[] = {
        {1000000.0, "1e+006"}, {8000.0, "8000"},          {0.0, "0"},
        {44100.0, "44100"},    {123456.0, "123456"},      {1234567.0, "1.23457e+006"},
        {0.0001, "0.0001"},    {0.00001, "1e-005"},       {-2.5, "-2.5"},
        {999999.5, "1e+006"},  {kMinSub, "4.94066e-324"},
    };
    for (auto [v, text] : lg) EXPECT_EQ(fmtString("%lg", v), text) << v;
    EXPECT_EQ(fmtString("%G|%g", 1e-10, 1e300), "1E-010|1e+300");
    EXPECT_EQ(fmtString("%.4lg|%.4lg", 3.14159265, 31415.9265), "3.142|3.142e+004");
    EXPECT_EQ(fmtString("%.0g|%.0g", 26.0, 25.0), "3e+001|2e+001");  // an exact tie, to even
}

TEST(NumFmt, WidthAndFlagsAfterWidening) {
    EXPECT_EQ(fmtString("% 15.9lg|%4.1lg", 1e10, 1e10), "         1e+010|1e+010");
    EXPECT_EQ(fmtString("%15.9lg|% 15.9lg", 0.5, 0.5), "            0.5|            0.5");
    EXPECT_EQ(fmtString("%15.3e|%-12.1e|", 1.0, 1.0), "     1.000e+000|1.0e+000    |");
    EXPECT_EQ(fmtString("%012.1e|%014.1e", -1.0, -1.0), "-0001.0e+000|-000001.0e+000");
    EXPECT_EQ(fmtString("% 012.1e|%+.1e", 1.0, 1.0), " 0001.0e+000|+1.0e+000");
    EXPECT_EQ(fmtString("%*.*e|%-*g|", 12, 1, 1.0, 5, 1.0), "    1.0e+000|1    |");
    EXPECT_EQ(fmtString("%#g|%#.3g", 1.0, 1e6), "1.00000|1.00e+006");
    EXPECT_EQ(fmtString("%7.4lf|%f", 3.14159265, 1e20), " 3.1416|100000000000000000000.000000");
    EXPECT_EQ(fmtString("%Le|%.3Le", 1.5L, 1e4000L), "1.500000e+000|1.000e+4000");
}

TEST(NumFmt, NonFiniteValuesAndRecordFields) {
    EXPECT_EQ(fmtString("%g|%E|%08.2f|%e", kInf, -kInf, kInf, kNan), "inf|-INF|     inf|nan");
    // Record fields keep their width.
    EXPECT_EQ(rec(kInf, 7), "            INF");
    EXPECT_EQ(rec(-kInf, 7), "           -INF");
    EXPECT_EQ(rec(kNan, 7), "            NAN");
    EXPECT_EQ(rec(kInf, 15).size(), 23u);
    EXPECT_EQ(rec(1.0, 7), " 1.0000000E+000");
    EXPECT_EQ(rec(-1.2345678, 7), "-1.2345678E+000");
    EXPECT_EQ(rec(9.999999951, 7), " 1.0000000E+001");
    EXPECT_EQ(rec(0.0, 15), " 0.000000000000000E+000");
    // The subnormal nearest 1e-310 is 9.99999999999996944...e-311.
    EXPECT_EQ(rec(-1e-310, 15), "-9.999999999999969E-311");
    EXPECT_EQ(rec(1.7976931348623157e308, 15), " 1.797693134862316E+308");
    for (double v : {1.0, -3.5e-7, 6.02e23, 1e-300})
        EXPECT_EQ(rec(v, 7), fmtString("% 14.7E", v)) << v;
}

TEST(NumFmt, IntegersStringsAndCharacters) {
    EXPECT_EQ(fmtString("%d|%5d|%-5d|%05d|%hhd", -12, 42, 42, -42, 300),
              "-12|   42|42   |-0042|44");
    EXPECT_EQ(
        fmtString("%ld %lld %zu %zd", 1234567890123L, -5LL, std::size_t{7}, std::ptrdiff_t{-7}),
        "1234567890123 -5 7 -7");
    EXPECT_EQ(fmtString("%x %X %04X %08lX", 255u, 255u, 0xABu, 0xDEADBEEFul),
              "ff FF 00AB DEADBEEF");
    EXPECT_EQ(fmtString("%04hX|%.4hX|%.4hX", static_cast<unsigned short>(0xFFFF), -1, 0x2A),
              "FFFF|FFFF|002A");
    EXPECT_EQ(fmtString("%s%s|[%6s][%-6s][%.2s]", "/data/", "a.tim", "ab", "ab", "abcdef"),
              "/data/a.tim|[    ab][ab    ][ab]");
    EXPECT_EQ(fmtString("%c%c%3c|100%% %d", 'o', 'k', '!', 5), "ok  !|100% 5");
    const char* volatile none = nullptr;
    EXPECT_EQ(fmtString("%p|%s", static_cast<void*>(nullptr), none), "(nil)|(null)");
}

TEST(NumFmt, TruncatesLikeSnprintfAndWritesToStreams) {
    char b[8];
    std::memset(b, 'x', sizeof b);
    EXPECT_EQ(fmt(b, sizeof b, "%s %lg", "abcdef", 1e6), 13);
    EXPECT_STREQ(b, "abcdef ");
    EXPECT_EQ(fmt(nullptr, 0, "%d", 12345), 5);
    char one[1] = {'x'};
    EXPECT_EQ(fmt(one, 1, "abc"), 3);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(fmtString("<%s>", std::string(3000, 'q').c_str()).size(), 3002u);

    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fmtFile(f, "Sampling rate         : %lg Hz\r\n", 1e6), 35);
    std::rewind(f);
    char line[64];
    EXPECT_EQ(std::string(line, std::fread(line, 1, sizeof line, f)),
              "Sampling rate         : 1e+006 Hz\r\n");
    std::fclose(f);
}

// parseReal reads what strtod reads in the "C" locale.
TEST(NumFmt, NumbersReadAsStrtodReadsThem) {
    const char* texts[] = {"1.5",     "-2.25e3",  "+7",    ".5",    "5.",        "1e",  "1e+",
                           "0x1p4",   "-0X.8",    "0x",    "inf",   "-Infinity", "nan", "1e400",
                           "-1e-400", "4.9e-324", "12abc", "00012", "1,5"};
    for (const char* t : texts) {
        char* strtodEnd = nullptr;
        const double expected = std::strtod(t, &strtodEnd);
        double v = -99.0;
        const char* end = parseReal(t, t + std::strlen(t), v);
        ASSERT_NE(end, nullptr) << t;
        EXPECT_EQ(end - t, strtodEnd - t) << t;
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(v)) << t;
        else
            EXPECT_EQ(std::bit_cast<uint64_t>(v), std::bit_cast<uint64_t>(expected)) << t;
    }
    for (const char* t : {"", "-", "+-1", "abc", " 1", "e5"}) {
        double v = -99.0;
        EXPECT_EQ(parseReal(t, t + std::strlen(t), v), nullptr) << t;
        EXPECT_EQ(v, -99.0) << t;
    }
    float f = 0.0f;
    const char* big = "1e39";
    EXPECT_EQ(parseReal(big, big + 4, f), big + 4);
    EXPECT_EQ(f, std::numeric_limits<float>::infinity());
}

}  // namespace
}  // namespace qf
