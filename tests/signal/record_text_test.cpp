// Record fields in their fixed layouts against the C library: the written
// text of a large random sample of floats and doubles (and the hard cases)
// against printf's, the values read back against strtof and strtod, and
// the fields a strict reader accepts and refuses.  Every float is checked
// by the check-real32-text target.
#include "signal/record_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace qf {
namespace {

// printf's field with the exponent widened to three digits: the reference.
std::string printfField(double v, int precision) {
    char t[64];
    std::snprintf(t, sizeof t, precision == 7 ? "% 14.7E" : "% 22.15E", v);
    std::string s = t;
    const std::size_t e = s.find('E');
    if (e != std::string::npos && s.size() - (e + 2) < 3)
        s.insert(e + 2, 3 - (s.size() - (e + 2)), '0');
    return s;
}

std::string field32(float v) {
    char b[kReal32FieldWidth];
    putReal32Field(b, v);
    return std::string(b, sizeof b);
}

std::string field64(double v) {
    char b[kReal64FieldWidth];
    putReal64Field(b, v);
    return std::string(b, sizeof b);
}

uint32_t bits(float v) {
    return std::bit_cast<uint32_t>(v);
}

// Floats whose digits are hard to get right: zeros, the ends of the range,
// subnormals, powers of ten and of two, and values at or next to a tie of
// the eighth digit.
std::vector<float> hardFloats() {
    std::vector<float> v = {0.0f,        -0.0f,        FLT_MIN,          -FLT_MIN, FLT_MAX,
                            -FLT_MAX,    FLT_TRUE_MIN, 2 * FLT_TRUE_MIN, 1.0f,     0.1f,
                            0.3f,        9.99999995f,  99999999.0f,      1e-45f,   3.4e38f,
                            16777216.0f, 16777217.0f,  0.125f,           1.5e-39f, 123456789.0f};
    for (int e = -45; e <= 38; ++e) {
        const float p = std::pow(10.0f, static_cast<float>(e));
        v.insert(v.end(), {p, std::nextafter(p, 0.0f), std::nextafter(p, INFINITY)});
    }
    for (int e = -149; e <= 127; e += 7) v.push_back(std::ldexp(1.0f, e));
    // 1.00000005 lies between floats; 1 + 2^-23 prints as a tie at eight digits
    // only in decimal text, so both neighbours of small integers + 0.5e-7 steps.
    for (float x = 1.0f; x < 1.00001f; x = std::nextafter(x, 2.0f)) v.push_back(x);
    return v;
}

TEST(RecordText, Real32FieldsArePrintfsBytes) {
    for (float v : hardFloats()) ASSERT_EQ(field32(v), printfField(v, 7)) << std::hexfloat << v;
    std::mt19937 rng(2024);
    for (int i = 0; i < (1 << 18); ++i) {
        const float v = std::bit_cast<float>(static_cast<uint32_t>(rng()));
        if (!std::isfinite(v)) continue;
        ASSERT_EQ(field32(v), printfField(v, 7)) << std::hex << bits(v);
    }
    // The values a signal holds most: uniform in [-1, 1).
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int i = 0; i < (1 << 16); ++i) {
        const float v = unit(rng);
        ASSERT_EQ(field32(v), printfField(v, 7)) << v;
    }
}

TEST(RecordText, Real64FieldsArePrintfsBytes) {
    std::vector<double> hard = {
        0.0,       -0.0,    DBL_MIN, DBL_MAX, DBL_TRUE_MIN,           0.1,
        1.0 / 3.0, 1e22,    1e23,    5e-324,  1.7976931348623157e308, 9.9999999999999995e15,
        0.5,       2.5e-17, 1e-40,   1e40};
    for (int e = -320; e <= 308; e += 3) hard.push_back(std::pow(10.0, e));
    for (double v : hard) ASSERT_EQ(field64(v), printfField(v, 15)) << std::hexfloat << v;
    std::mt19937_64 rng(7);
    for (int i = 0; i < (1 << 17); ++i) {
        double v = std::bit_cast<double>(rng());
        if (i % 2)
            v = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 240) - 170);
        if (!std::isfinite(v)) continue;
        ASSERT_EQ(field64(v), printfField(v, 15)) << std::hexfloat << v;
    }
}

TEST(RecordText, NonFiniteValuesAndWords) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(field32(inf), "            INF");
    EXPECT_EQ(field32(-inf), "           -INF");
    // 0/0 on this machine has its sign bit set; every NaN is written alike.
    EXPECT_EQ(field32(nan), "            NAN");
    EXPECT_EQ(field32(-nan), "            NAN");
    EXPECT_EQ(field64(-static_cast<double>(inf)), "                   -INF");
    EXPECT_EQ(field64(static_cast<double>(nan)), "                    NAN");
    char w[4];
    putHex16Field(w, -1);
    EXPECT_EQ(std::string(w, 4), "FFFF");
    putHex16Field(w, 0x0A5B);
    EXPECT_EQ(std::string(w, 4), "0A5B");
}

// Written fields read back to the float strtof reads from the same text,
// and texts in the written layout (random digits, every decade, the ties
// of the float grid) to strtof's float.
TEST(RecordText, Real32FieldsReadAsStrtofReadsThem) {
    auto read = [](const std::string& t) {
        float v = -7.0f;
        EXPECT_TRUE(readReal32Field(t.data(), t.data() + t.size(), v)) << t;
        return v;
    };
    std::mt19937 rng(11);
    for (int i = 0; i < (1 << 17); ++i) {
        const float v = std::bit_cast<float>(static_cast<uint32_t>(rng()));
        if (!std::isfinite(v)) continue;
        const std::string t = field32(v);
        ASSERT_EQ(bits(read(t)), bits(std::strtof(t.c_str(), nullptr))) << t;
    }
    char t[32];
    for (int i = 0; i < (1 << 17); ++i) {
        const int exponent = static_cast<int>(rng() % 91) - 50;
        std::snprintf(t, sizeof t, "%c%u.%07uE%c%03d", rng() % 2 ? '-' : ' ',
                      static_cast<unsigned>(1 + rng() % 9), static_cast<unsigned>(rng() % 10000000),
                      exponent < 0 ? '-' : '+', std::abs(exponent));
        ASSERT_EQ(bits(read(t)), bits(std::strtof(t, nullptr))) << t;
    }
    // 1 + 2^-24 (halfway between 1 and the next float) and its neighbours
    // in eight digits.
    for (const char* tie : {" 1.0000000E+000", " 1.0000001E+000", " 1.6777217E+007",
                            " 3.4028236E+038", "-1.4012985E-045", " 7.0064923E-046"})
        EXPECT_EQ(bits(read(tie)), bits(std::strtof(tie, nullptr))) << tie;
}

TEST(RecordText, StrictFields) {
    const std::pair<const char*, float> accepted[] = {
        {" 1.5000000E+000", 1.5f},      {"-2.5000000E-001", -0.25f},
        {"            1.5", 1.5f},      {"   +1.5e2       ", 150.0f},
        {"              .5", 0.5f},     {"            INF", INFINITY},
        {"           -inf", -INFINITY}, {" 1.0000000E+050", INFINITY},
        {"-1.0000000E-050", -0.0f},
    };
    for (const auto& [text, value] : accepted) {
        float v = 0.0f;
        EXPECT_TRUE(readReal32Field(text, text + std::strlen(text), v)) << text;
        EXPECT_EQ(bits(v), bits(value)) << text;
    }
    float nan = 0.0f;
    const char* nanText = "            NAN";
    EXPECT_TRUE(readReal32Field(nanText, nanText + 15, nan));
    EXPECT_TRUE(std::isnan(nan));
    // Letters, an empty field, a decimal comma, two numbers, two signs, hex.
    for (const char* text :
         {"  abc          ", "               ", "            1,5", "         1.5 2.",
          "          +-1.5", "          0x1p3", "1.5x", " 1.0000000E+0O0", ""}) {
        float v = 3.0f;
        EXPECT_FALSE(readReal32Field(text, text + std::strlen(text), v)) << text;
        EXPECT_EQ(v, 3.0f) << text;
        double d = 3.0;
        EXPECT_FALSE(readReal64Field(text, text + std::strlen(text), d)) << text;
    }
    const std::pair<const char*, int16_t> words[] = {
        {"FFFF", -1}, {"8000", -32768}, {"7fff", 32767}, {"  7f", 127}, {"0x1F", 31}, {"-001", -1}};
    for (const auto& [text, value] : words) {
        int16_t v = 0;
        EXPECT_TRUE(readHex16Field(text, text + 4, v)) << text;
        EXPECT_EQ(v, value) << text;
    }
    for (const char* text : {"zzzz", "12G4", "    ", "1 2 ", "0x  ", "+-12"}) {
        int16_t v = 5;
        EXPECT_FALSE(readHex16Field(text, text + 4, v)) << text;
        EXPECT_EQ(v, 5) << text;
    }
}

}  // namespace
}  // namespace qf
