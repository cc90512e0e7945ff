// The engine's printf: three-digit exponents, fixed-width record fields and
// ordinary printf behaviour for everything else, against hand-written text.
#include "signal/numfmt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace qf {
namespace {

std::string rec(double v, int precision) {
    char b[64];
    int n = fmtRecordExp(b, v, precision);
    return std::string(b, static_cast<std::size_t>(n));
}

TEST(NumFmt, ExponentFormHasThreeDigits) {
    EXPECT_EQ(fmtString("% 14.7E", 1.0), " 1.0000000E+000");
    EXPECT_EQ(fmtString("% 14.7E", 0.0), " 0.0000000E+000");
    EXPECT_EQ(fmtString("% 14.7E", -0.0), "-0.0000000E+000");
    EXPECT_EQ(fmtString("% 14.7E", -1.5), "-1.5000000E+000");
    EXPECT_EQ(fmtString("% 14.7E", 0.001), " 1.0000000E-003");
    EXPECT_EQ(fmtString("% 14.7E", 1.0e100), " 1.0000000E+100");
    EXPECT_EQ(fmtString("% 14.7E", -2.5e-300), "-2.5000000E-300");
    EXPECT_EQ(fmtString("% 22.15lE", 0.1), " 1.000000000000000E-001");
    EXPECT_EQ(fmtString("% 22.15lE", -1.0 / 3.0), "-3.333333333333333E-001");
    EXPECT_EQ(fmtString("%e", 12345.0), "1.234500e+004");
    EXPECT_EQ(fmtString("%.2e", 0.0), "0.00e+000");
}

TEST(NumFmt, RoundingCarriesIntoTheExponent) {
    // 9.999999951 rounds up to ten at eight significant digits.
    EXPECT_EQ(fmtString("% 14.7E", 9.999999951), " 1.0000000E+001");
    // The float nearest 9.99999995 is ten itself.
    EXPECT_EQ(fmtString("% 14.7E", static_cast<double>(9.99999995f)), " 1.0000000E+001");
    // The double nearest 9.99999995 lies just below the tie and rounds down.
    EXPECT_EQ(fmtString("% 14.7E", 9.99999995), " 9.9999999E+000");
    EXPECT_EQ(fmtString("% 14.7E", 9.99999996), " 1.0000000E+001");
    EXPECT_EQ(fmtString("% 14.7E", -99.999999951), "-1.0000000E+002");
    EXPECT_EQ(fmtString("%lg", 999999.5), "1e+006");
}

TEST(NumFmt, Subnormals) {
    EXPECT_EQ(fmtString("% 22.15lE", 4.9406564584124654e-324), " 4.940656458412465E-324");
    EXPECT_EQ(fmtString("%lg", 4.9406564584124654e-324), "4.94066e-324");
    EXPECT_EQ(fmtString("% 14.7E", static_cast<double>(std::numeric_limits<float>::denorm_min())),
              " 1.4012985E-045");
}

TEST(NumFmt, GeneralFormSixDigits) {
    EXPECT_EQ(fmtString("%lg", 1000000.0), "1e+006");
    EXPECT_EQ(fmtString("%lg", 8000.0), "8000");
    EXPECT_EQ(fmtString("%lg", 0.0), "0");
    EXPECT_EQ(fmtString("%lg", 44100.0), "44100");
    EXPECT_EQ(fmtString("%lg", 123456.0), "123456");
    EXPECT_EQ(fmtString("%lg", 1234567.0), "1.23457e+006");
    EXPECT_EQ(fmtString("%lg", 0.0001), "0.0001");
    EXPECT_EQ(fmtString("%lg", 0.00001), "1e-005");
    EXPECT_EQ(fmtString("%lg", -2.5), "-2.5");
    EXPECT_EQ(fmtString("%G", 1e-10), "1E-010");
    EXPECT_EQ(fmtString("%.4lg", 3.14159265), "3.142");
    EXPECT_EQ(fmtString("%.4lg", 31415.9265), "3.142e+004");
    EXPECT_EQ(fmtString("%.0g", 26.0), "3e+001");
    EXPECT_EQ(fmtString("%.0g", 25.0), "2e+001");  // exact tie, to even
    EXPECT_EQ(fmtString("%g", 1e300), "1e+300");
}

TEST(NumFmt, WidthAndFlagsAfterWidening) {
    EXPECT_EQ(fmtString("% 15.9lg", 1e10), "         1e+010");
    EXPECT_EQ(fmtString("%4.1lg", 1e10), "1e+010");
    EXPECT_EQ(fmtString("%15.9lg", 0.5), "            0.5");
    EXPECT_EQ(fmtString("% 15.9lg", 0.5), "            0.5");
    EXPECT_EQ(fmtString("%15.3e", 1.0), "     1.000e+000");
    EXPECT_EQ(fmtString("%-12.1e|", 1.0), "1.0e+000    |");
    EXPECT_EQ(fmtString("%012.1e", -1.0), "-0001.0e+000");
    EXPECT_EQ(fmtString("%014.1e", -1.0), "-000001.0e+000");
    EXPECT_EQ(fmtString("% 012.1e", 1.0), " 0001.0e+000");
    EXPECT_EQ(fmtString("%+.1e", 1.0), "+1.0e+000");
    EXPECT_EQ(fmtString("%*.*e", 12, 1, 1.0), "    1.0e+000");
    EXPECT_EQ(fmtString("%-*g|", 5, 1.0), "1    |");
    EXPECT_EQ(fmtString("%#g", 1.0), "1.00000");
    EXPECT_EQ(fmtString("%#.3g", 1e6), "1.00e+006");
    EXPECT_EQ(fmtString("%7.4lf", 3.14159265), " 3.1416");
    EXPECT_EQ(fmtString("%f", 1e20), "100000000000000000000.000000");
    EXPECT_EQ(fmtString("%Le", 1.5L), "1.500000e+000");
    EXPECT_EQ(fmtString("%.3Le", 1e4000L), "1.000e+4000");
}

TEST(NumFmt, NonFiniteValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(fmtString("%g", inf), "inf");
    EXPECT_EQ(fmtString("%E", -inf), "-INF");
    EXPECT_EQ(fmtString("%08.2f", inf), "     inf");
    EXPECT_EQ(fmtString("%e", std::fabs(nan)), "nan");
    // Record fields keep their width.
    EXPECT_EQ(rec(inf, 7), "            INF");
    EXPECT_EQ(rec(-inf, 7), "           -INF");
    EXPECT_EQ(rec(std::fabs(nan), 7), "            NAN");
    EXPECT_EQ(rec(inf, 15).size(), 23u);
}

TEST(NumFmt, RecordFields) {
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
    EXPECT_EQ(fmtString("%d|%5d|%-5d|%05d", -12, 42, 42, -42), "-12|   42|42   |-0042");
    EXPECT_EQ(fmtString("%ld %lld", 1234567890123L, -5LL), "1234567890123 -5");
    EXPECT_EQ(fmtString("%x %X %04X %08lX", 255u, 255u, 0xABu, 0xDEADBEEFul),
              "ff FF 00AB DEADBEEF");
    EXPECT_EQ(fmtString("%04hX", static_cast<unsigned short>(0xFFFF)), "FFFF");
    EXPECT_EQ(fmtString("%.4hX", -1), "FFFF");
    EXPECT_EQ(fmtString("%.4hX", 0x2A), "002A");
    EXPECT_EQ(fmtString("%hhd", 300), "44");
    EXPECT_EQ(fmtString("%zu %zd", static_cast<std::size_t>(7), static_cast<std::ptrdiff_t>(-7)),
              "7 -7");
    EXPECT_EQ(fmtString("%s%s", "/data/", "a.tim"), "/data/a.tim");
    EXPECT_EQ(fmtString("[%6s][%-6s][%.2s]", "ab", "ab", "abcdef"), "[    ab][ab    ][ab]");
    EXPECT_EQ(fmtString("%c%c%3c", 'o', 'k', '!'), "ok  !");
    EXPECT_EQ(fmtString("100%% %d", 5), "100% 5");
    EXPECT_EQ(fmtString("%p", static_cast<void*>(nullptr)), "(nil)");
    const char* volatile none = nullptr;
    EXPECT_EQ(fmtString("%s", none), "(null)");
}

TEST(NumFmt, TruncatesLikeSnprintf) {
    char b[8];
    std::memset(b, 'x', sizeof b);
    EXPECT_EQ(fmt(b, sizeof b, "%s %lg", "abcdef", 1e6), 13);
    EXPECT_STREQ(b, "abcdef ");
    EXPECT_EQ(fmt(nullptr, 0, "%d", 12345), 5);
    char one[1] = {'x'};
    EXPECT_EQ(fmt(one, 1, "abc"), 3);
    EXPECT_EQ(one[0], '\0');
    std::string longText(3000, 'q');
    EXPECT_EQ(fmtString("<%s>", longText.c_str()).size(), 3002u);
}

TEST(NumFmt, WritesToStreams) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fmtFile(f, "Sampling rate         : %lg Hz\r\n", 1e6), 35);
    std::rewind(f);
    char b[64] = {};
    ASSERT_EQ(std::fread(b, 1, sizeof b, f), 35u);
    EXPECT_STREQ(b, "Sampling rate         : 1e+006 Hz\r\n");
    std::fclose(f);
}

}  // namespace
}  // namespace qf
