// Fixed-point primitives and Q15 conversions against hand-worked values and
// exact integer (__int128) references.
#include "signal/fixedpoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/engine.h"

namespace qf {
namespace {

constexpr FxModes kSat{'s', 't'};
constexpr FxModes kWrap{'w', 't'};

// Restores the status record's modes when a test has changed them.
struct ModesGuard {
    char overflow = status().overflowMode;
    char rounding = status().roundingMode;
    ~ModesGuard() {
        status().overflowMode = overflow;
        status().roundingMode = rounding;
    }
};

int64_t load64(const uint32_t (&w)[2]) {
    return fxLoad(FxOperand{const_cast<uint32_t*>(w), 64, 0});
}

// Truncating division toward zero of an exact integer by 2^k (k >= 0).
__int128 shiftTrunc(__int128 n, int k) {
    __int128 d = static_cast<__int128>(1) << k;
    return n / d;  // C++ division truncates toward zero
}

// Two's complement reduction of n to w bits.
int64_t wrapRef(__int128 n, int w) {
    __int128 m = static_cast<__int128>(1) << w;
    __int128 r = n % m;
    if (r < 0) r += m;
    if (r >= m / 2) r -= m;
    return static_cast<int64_t>(r);
}

// Nearest integer to n / 2^k with ties to even.
__int128 shiftEven(__int128 n, int k) {
    __int128 d = static_cast<__int128>(1) << k;
    __int128 q = n / d, rem = n % d;
    if (rem < 0) {
        q -= 1;
        rem += d;
    }
    if (2 * rem > d || (2 * rem == d && (q & 1) != 0)) q += 1;
    return q;
}

TEST(FixedPointStorage, WordsByWidth) {
    int16_t h = -5;
    EXPECT_EQ(fxLoad(FxOperand{&h, 16, 15}), -5);
    EXPECT_EQ(fxLoad(FxOperand{&h, 9, 0}), -5);  // narrow widths read the whole word
    int32_t l = -100000;
    EXPECT_EQ(fxLoad(FxOperand{&l, 17, 0}), -100000);
    EXPECT_EQ(fxLoad(FxOperand{&l, 32, 0}), -100000);

    uint32_t w[2] = {5u, 0xFFFFFFFFu};  // low word first
    EXPECT_EQ(load64(w), -4294967296LL + 5);
    uint32_t wide[2] = {0u, 1u};
    EXPECT_EQ(fxLoad(FxOperand{wide, 33, 0}), 4294967296LL);
}

TEST(FixedPointStorage, StoreTruncatesAndKeepsLowBits) {
    uint32_t w[2] = {};
    FxOperand r64{w, 64, 0};
    fxStore(r64, -1.0);
    EXPECT_EQ(w[0], 0xFFFFFFFFu);
    EXPECT_EQ(w[1], 0xFFFFFFFFu);
    fxStore(r64, -4294967301.0);  // -(2^32 + 5)
    EXPECT_EQ(w[0], 0xFFFFFFFBu);
    EXPECT_EQ(w[1], 0xFFFFFFFEu);
    fxStore(r64, -2.75);  // toward zero
    EXPECT_EQ(load64(w), -2);
    fxStore(r64, -std::ldexp(1.0, 63));
    EXPECT_EQ(load64(w), std::numeric_limits<int64_t>::min());
    fxStore(r64, std::ldexp(1.0, 63));  // wraps
    EXPECT_EQ(load64(w), std::numeric_limits<int64_t>::min());
    fxStore(r64, std::ldexp(3.0, 70));  // beyond 64 bits: low bits are all zero
    EXPECT_EQ(load64(w), 0);
    fxStore(r64, std::nan(""));
    EXPECT_EQ(load64(w), 0);

    int16_t h = 0;
    fxStore(FxOperand{&h, 16, 15}, 32768.9);
    EXPECT_EQ(h, -32768);
    fxStore(FxOperand{&h, 16, 15}, -65537.0);
    EXPECT_EQ(h, -1);
    fxStore(FxOperand{&h, 12, 11}, 2048.0);  // 12-bit register, sign-extended
    EXPECT_EQ(h, -2048);
    fxStore(FxOperand{&h, 12, 11}, 4095.0);
    EXPECT_EQ(h, -1);
    int32_t l = 0;
    fxStore(FxOperand{&l, 24, 23}, 8388608.0);  // 2^23
    EXPECT_EQ(l, -8388608);
    fxStore(FxOperand{&l, 32, 0}, 4294967296.0 + 7.0);
    EXPECT_EQ(l, 7);
}

TEST(FixedPointAddSub, WrapsWhateverTheMode) {
    ModesGuard guard;
    int16_t a = 0x7FFF, b = 0x0001, r = 0;
    status().overflowMode = 's';
    fxAdd(&a, 16, 15, &b, 16, 15, &r, 16, 15);
    EXPECT_EQ(r, -32768);
    status().overflowMode = 'w';
    r = 0;
    fxAdd(&a, 16, 15, &b, 16, 15, &r, 16, 15);
    EXPECT_EQ(r, -32768);

    int16_t lo = -32768;
    fxSub(&lo, 16, 15, &b, 16, 15, &r, 16, 15);
    EXPECT_EQ(r, 32767);
}

TEST(FixedPointAddSub, AlignsFractionCounts) {
    int16_t half = 0x4000;               // 0.5 in (16,15)
    int32_t oneAndHalf = 3 * (1 << 18);  // 1.5 in (32,19)
    int32_t r32 = 0;
    fxAdd(FxOperand{&half, 16, 15}, FxOperand{&oneAndHalf, 32, 19}, FxOperand{&r32, 32, 19});
    EXPECT_EQ(r32, 2 << 19);
    fxSub(FxOperand{&half, 16, 15}, FxOperand{&oneAndHalf, 32, 19}, FxOperand{&r32, 32, 19});
    EXPECT_EQ(r32, -(1 << 19));
    int16_t r16 = 1;
    fxAdd(FxOperand{&half, 16, 15}, FxOperand{&oneAndHalf, 32, 19}, FxOperand{&r16, 16, 15});
    EXPECT_EQ(r16, 0);  // 2.0 = 65536 in (16,15) wraps to 0
    // Into fewer fraction bits: -0.75 (32,19) + 0 to (16,0) truncates to 0,
    // -1.75 to -1.
    int32_t m = -(7 << 17);  // -1.75 (32,19)
    int16_t zero = 0;
    fxAdd(FxOperand{&m, 32, 19}, FxOperand{&zero, 16, 15}, FxOperand{&r16, 16, 0});
    EXPECT_EQ(r16, -1);
}

TEST(FixedPointAddSub, AccumulatorMayShareTheResult) {
    uint32_t acc[2] = {};
    int32_t prod = -1000;
    for (int i = 0; i < 5; ++i)
        fxAdd(FxOperand{acc, 64, 31}, FxOperand{&prod, 32, 31}, FxOperand{acc, 64, 31});
    EXPECT_EQ(load64(acc), -5000);
}

TEST(FixedPointAddSub, MatchesExactReference) {
    const int32_t values[] = {0,          1,           -1,        12345,     -12345,
                              0x3FFFFFFF, -0x40000000, INT32_MAX, INT32_MIN, 77777777};
    for (int32_t x : values) {
        for (int32_t y : values) {
            int32_t r = 0;
            fxAdd(FxOperand{&x, 32, 15}, FxOperand{&y, 32, 15}, FxOperand{&r, 32, 15});
            EXPECT_EQ(r, wrapRef(static_cast<__int128>(x) + y, 32)) << x << " + " << y;
            fxSub(FxOperand{&x, 32, 15}, FxOperand{&y, 32, 15}, FxOperand{&r, 32, 15});
            EXPECT_EQ(r, wrapRef(static_cast<__int128>(x) - y, 32)) << x << " - " << y;
        }
    }
}

TEST(FixedPointMul, HandWorkedValues) {
    int16_t half = 0x4000;
    int32_t oneAndHalf = 3 * (1 << 18);
    int32_t r = 0;
    fxMul(&half, 16, 15, &oneAndHalf, 32, 19, &r, 32, 19);
    EXPECT_EQ(r, 3 << 17);  // 0.75 in (32,19)

    int16_t a = -3, b = 0x4000, r16 = 0;  // -3 x 0.5 = -1.5 ulp, truncated to -1
    fxMul(&a, 16, 15, &b, 16, 15, &r16, 16, 15);
    EXPECT_EQ(r16, -1);
    // A constant c enters as (32,15): 0.5 x 0.5 = 0.25; 0.5 x 2.0 = 1.0 wraps.
    int32_t cHalf = 16384, cTwo = 2 * 32768;
    fxMul(&b, 16, 15, &cHalf, 32, 15, &r16, 16, 15);
    EXPECT_EQ(r16, 0x2000);
    fxMul(&b, 16, 15, &cTwo, 32, 15, &r16, 16, 15);
    EXPECT_EQ(r16, -32768);  // 1.0 wraps
}

TEST(FixedPointMul, MatchesExactReference) {
    const int16_t values[] = {0, 1, -1, 0x4000, -0x4000, 32767, -32768, 12345, -23456, 3};
    for (int16_t x : values) {
        for (int16_t y : values) {
            __int128 p = static_cast<__int128>(x) * y;
            uint32_t wide[2] = {};
            fxMul(&x, 16, 15, &y, 16, 15, wide, 64, 31);  // one more fraction bit
            EXPECT_EQ(load64(wide), static_cast<int64_t>(2 * p));
            int32_t r32 = 0;
            fxMul(&x, 16, 15, &y, 16, 15, &r32, 32, 15);
            EXPECT_EQ(r32, wrapRef(shiftTrunc(p, 15), 32)) << x << " * " << y;
            int16_t r16 = 0;
            fxMul(&x, 16, 15, &y, 16, 15, &r16, 16, 15);
            EXPECT_EQ(r16, wrapRef(shiftTrunc(p, 15), 16)) << x << " * " << y;
        }
    }
}

TEST(FixedPointDiv, RealQuotientTruncated) {
    int16_t quarter = 8192, threeQuarters = 24576, r = 0;
    fxDiv(&quarter, 16, 15, &threeQuarters, 16, 15, &r, 16, 15);
    EXPECT_EQ(r, 10922);  // 1/3 x 32768 = 10922.67
    int16_t negQuarter = -8192;
    fxDiv(&negQuarter, 16, 15, &threeQuarters, 16, 15, &r, 16, 15);
    EXPECT_EQ(r, -10922);
    // 1.5 (32,19) / 0.5 (16,15) = 3.0 into (32,15)
    int32_t oneAndHalf = 3 * (1 << 18), r32 = 0;
    int16_t half = 0x4000;
    fxDiv(&oneAndHalf, 32, 19, &half, 16, 15, &r32, 32, 15);
    EXPECT_EQ(r32, 3 * 32768);
    // 0.5 / 0.25 = 2.0 wraps in (16,15)
    fxDiv(&half, 16, 15, &quarter, 16, 15, &r, 16, 15);
    EXPECT_EQ(r, 0);
    // A zero divisor stores 0 rather than an undefined conversion.
    int16_t zero = 0;
    r = 7;
    fxDiv(&half, 16, 15, &zero, 16, 15, &r, 16, 15);
    EXPECT_EQ(r, 0);
    fxDiv(&zero, 16, 15, &zero, 16, 15, &r, 16, 15);
    EXPECT_EQ(r, 0);
}

TEST(FixedPointConvert, OverflowModes) {
    int32_t x = 3 * (1 << 22);  // 1.5 in (32,23)
    int16_t r = 0;
    fxConvert(&x, 32, 23, &r, 16, 15, kSat);
    EXPECT_EQ(r, 32767);
    fxConvert(&x, 32, 23, &r, 16, 15, kWrap);
    EXPECT_EQ(r, 16384);  // remainder by P keeps the sign: 0.5, not -0.5
    int32_t nx = -x;
    fxConvert(&nx, 32, 23, &r, 16, 15, kSat);
    EXPECT_EQ(r, -32768);
    fxConvert(&nx, 32, 23, &r, 16, 15, kWrap);
    EXPECT_EQ(r, -16384);
    // -1.0 exactly is in range in either mode.
    int32_t minusOne = -(1 << 23);
    fxConvert(&minusOne, 32, 23, &r, 16, 15, kWrap);
    EXPECT_EQ(r, -32768);
    // Saturation at the top of a 64-bit result: P - 1 = 2^63 - 1.
    uint32_t big[2] = {0u, 0x40000000u};  // 2^62 in (64,0)
    uint32_t out[2] = {};
    fxConvert(FxOperand{big, 64, 0}, FxOperand{out, 64, 2}, kSat);
    EXPECT_EQ(load64(out), std::numeric_limits<int64_t>::max());
    fxConvert(FxOperand{big, 64, 0}, FxOperand{out, 64, 2}, kWrap);
    EXPECT_EQ(load64(out), 0);               // 2^64 mod 2^63
    uint32_t negBig[2] = {0u, 0xC0000000u};  // -2^62
    fxConvert(FxOperand{negBig, 64, 0}, FxOperand{out, 64, 2}, kSat);
    EXPECT_EQ(load64(out), std::numeric_limits<int64_t>::min());
}

TEST(FixedPointConvert, RoundingOfHalves) {
    struct Case {
        int16_t halves;  // value x 2 in (16,1)
        char mode;
        int16_t expected;
    };
    const Case cases[] = {
        {5, 'e', 2},   {5, 'r', 3},   {5, 't', 2},   {-5, 'e', -2}, {-5, 'r', -3},
        {-5, 't', -2}, {7, 'e', 4},   {7, 'r', 4},   {7, 't', 3},   {-7, 'e', -4},
        {-7, 'r', -4}, {-7, 't', -3}, {1, 'e', 0},   {-1, 'e', 0},  {1, 'r', 1},
        {-1, 'r', -1}, {4, 'e', 2},   {-4, 'r', -2}, {5, 'x', 2},   {-5, 0, -2},
    };
    for (const Case& c : cases) {
        int16_t r = 99;
        fxConvert(&c.halves, 16, 1, &r, 16, 0, FxModes{'s', c.mode});
        EXPECT_EQ(r, c.expected) << c.halves << "/2 mode " << c.mode;
    }
    // Quarters: 2.25 and 2.75 go to the nearest integer in 'e' and 'r'.
    int16_t q = 9, r = 0;  // 2.25 in (16,2)
    fxConvert(&q, 16, 2, &r, 16, 0, FxModes{'s', 'e'});
    EXPECT_EQ(r, 2);
    q = -11;  // -2.75
    fxConvert(&q, 16, 2, &r, 16, 0, FxModes{'s', 'e'});
    EXPECT_EQ(r, -3);
    fxConvert(&q, 16, 2, &r, 16, 0, FxModes{'s', 'r'});
    EXPECT_EQ(r, -3);
    fxConvert(&q, 16, 2, &r, 16, 0, FxModes{'s', 't'});
    EXPECT_EQ(r, -2);
}

TEST(FixedPointConvert, WideNegativeSource) {
    // -3.5 in (64,31) to (16,15): x x 2^-16 with x = -(3 x 65536 + 32768).
    const int64_t x = -(3 * 65536 + 32768);
    uint32_t w[2] = {static_cast<uint32_t>(static_cast<uint64_t>(x)),
                     static_cast<uint32_t>(static_cast<uint64_t>(x) >> 32)};
    int16_t r = 0;
    fxConvert(w, 64, 31, &r, 16, 15, FxModes{'s', 'e'});
    EXPECT_EQ(r, -4);
    fxConvert(w, 64, 31, &r, 16, 15, FxModes{'s', 'r'});
    EXPECT_EQ(r, -4);
    fxConvert(w, 64, 31, &r, 16, 15, FxModes{'s', 't'});
    EXPECT_EQ(r, -3);
}

TEST(FixedPointConvert, MatchesExactReferenceInRange) {
    // (64,31) sums of Q15 products brought back to (16,15) with ties to even.
    const int64_t values[] = {0,           1,          -1,         32768,      -32768,
                              65535,       -65535,     98304,      -98304,     1073709056,
                              -1073741824, 1234567890, -987654321, 0x7FFF7FFF, -0x40004000};
    for (int64_t x : values) {
        uint32_t w[2] = {static_cast<uint32_t>(static_cast<uint64_t>(x)),
                         static_cast<uint32_t>(static_cast<uint64_t>(x) >> 32)};
        int16_t r = 0;
        fxConvert(w, 64, 31, &r, 16, 15, FxModes{'s', 'e'});
        __int128 expect = shiftEven(x, 16);
        if (expect > 32767) expect = 32767;
        if (expect < -32768) expect = -32768;
        EXPECT_EQ(r, expect) << x;
        fxConvert(w, 64, 31, &r, 16, 15, FxModes{'s', 't'});
        EXPECT_EQ(r, std::clamp<int64_t>(static_cast<int64_t>(shiftTrunc(x, 16)), -32768, 32767))
            << x;
    }
}

TEST(FixedPointConvert, CallFormUsesEngineModes) {
    ModesGuard guard;
    int32_t x = 3 * (1 << 22);
    int16_t r = 0;
    status().overflowMode = 'w';
    status().roundingMode = 'e';
    FxModes m = engineModes();
    EXPECT_EQ(m.overflow, 'w');
    EXPECT_EQ(m.rounding, 'e');
    fxConvert(&x, 32, 23, &r, 16, 15);
    EXPECT_EQ(r, 16384);
    status().overflowMode = 's';
    fxConvert(&x, 32, 23, &r, 16, 15);
    EXPECT_EQ(r, 32767);
    int16_t h = 5;
    status().roundingMode = 'r';
    fxConvert(&h, 16, 1, &r, 16, 0);
    EXPECT_EQ(r, 3);
}

TEST(FixedPointScale, ShiftsAndRounds) {
    int16_t half = 0x4000;
    int32_t r32 = 0;
    fxScale(&half, 16, 15, &r32, 32, 15, 1, kSat);
    EXPECT_EQ(r32, 32768);  // 1.0 in (32,15)
    int16_t r16 = 0;
    fxScale(&half, 16, 15, &r16, 16, 15, 1, kSat);
    EXPECT_EQ(r16, -32768);  // no overflow handling: wraps even when saturating
    fxScale(&half, 16, 15, &r16, 16, 15, -3, kSat);
    EXPECT_EQ(r16, 0x0800);

    int16_t five = 5;  // 5 >> 1 = 2.5
    fxScale(&five, 16, 0, &r16, 16, 0, -1, FxModes{'s', 'e'});
    EXPECT_EQ(r16, 2);
    fxScale(&five, 16, 0, &r16, 16, 0, -1, FxModes{'s', 'r'});
    EXPECT_EQ(r16, 3);
    fxScale(&five, 16, 0, &r16, 16, 0, -1, FxModes{'s', 't'});
    EXPECT_EQ(r16, 2);
    int16_t minusFive = -5;
    fxScale(&minusFive, 16, 0, &r16, 16, 0, -1, FxModes{'s', 'r'});
    EXPECT_EQ(r16, -3);

    // Gain word 0.75 (16,15) with gain shift 2 into (64,31): 3.0.
    int16_t gain = 24576;
    uint32_t g[2] = {};
    fxScale(&gain, 16, 15, g, 64, 31, 2, FxModes{'s', 'e'});
    EXPECT_EQ(load64(g), 3LL << 31);
    // Negative 24-bit gain -0.75 (32,23) into (64,47), shift -1.
    int32_t gain24 = -(3 << 21);
    fxScale(&gain24, 32, 23, g, 64, 47, -1, FxModes{'s', 'e'});
    EXPECT_EQ(load64(g), -(3LL << 44));
}

TEST(FixedPointLimit, RegisterWidth) {
    uint32_t x[2] = {}, r[2] = {};
    auto set = [&](int64_t v) {
        x[0] = static_cast<uint32_t>(static_cast<uint64_t>(v));
        x[1] = static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32);
    };
    const int64_t p = 1LL << 31;  // a 32-bit register in (64,31)
    set(p + p / 2);               // 1.5 P
    fxLimit(x, 64, 31, r, 64, 31, 32, kSat);
    EXPECT_EQ(load64(r), p - 1);
    fxLimit(x, 64, 31, r, 64, 31, 32, kWrap);
    EXPECT_EQ(load64(r), p / 2);  // sign kept
    set(-(p + p / 2));
    fxLimit(x, 64, 31, r, 64, 31, 32, kSat);
    EXPECT_EQ(load64(r), -p);
    fxLimit(x, 64, 31, r, 64, 31, 32, kWrap);
    EXPECT_EQ(load64(r), -p / 2);
    // In wrapping mode every value takes the remainder: -P itself becomes 0,
    // where fxConvert would leave it.
    set(-p);
    fxLimit(x, 64, 31, r, 64, 31, 32, kWrap);
    EXPECT_EQ(load64(r), 0);
    int32_t r32 = 0;
    fxConvert(x, 64, 31, &r32, 32, 31, kWrap);
    EXPECT_EQ(r32, INT32_MIN);
    set(p - 1);
    fxLimit(x, 64, 31, r, 64, 31, 32, kWrap);
    EXPECT_EQ(load64(r), p - 1);
    // A 48-bit register in (64,47).
    const int64_t p48 = 1LL << 47;
    set(3 * p48 + 5);
    fxLimit(x, 64, 47, r, 64, 47, 48, kSat);
    EXPECT_EQ(load64(r), p48 - 1);
    fxLimit(x, 64, 47, r, 64, 47, 48, kWrap);
    EXPECT_EQ(load64(r), 5);
}

TEST(FixedPointLimit, RoundsAfterLimiting) {
    // (16,2) 2.5 into a (16,0) result with a 16-bit register.
    int16_t x = 10, r = 0;
    fxLimit(&x, 16, 2, &r, 16, 0, 16, FxModes{'w', 'e'});
    EXPECT_EQ(r, 2);
    fxLimit(&x, 16, 2, &r, 16, 0, 16, FxModes{'w', 'r'});
    EXPECT_EQ(r, 3);
    // 6.5 with a 3-bit register (P = 4): remainder 2.5 first, then rounding.
    x = 26;
    fxLimit(&x, 16, 2, &r, 16, 0, 3, FxModes{'w', 'r'});
    EXPECT_EQ(r, 3);
    fxLimit(&x, 16, 2, &r, 16, 0, 3, FxModes{'s', 'r'});
    EXPECT_EQ(r, 3);  // P - 1
    x = -26;
    fxLimit(&x, 16, 2, &r, 16, 0, 3, FxModes{'w', 'e'});
    EXPECT_EQ(r, -2);
    fxLimit(&x, 16, 2, &r, 16, 0, 3, FxModes{'s', 'e'});
    EXPECT_EQ(r, -4);
}

TEST(FixedPointQ15, RealToQ15) {
    EXPECT_EQ(realToQ15(1.0, 's'), 32767);
    EXPECT_EQ(realToQ15(1.0, 'w'), -32768);
    EXPECT_EQ(realToQ15(0.5, 'w'), 16384);
    EXPECT_EQ(realToQ15(-1.0, 's'), -32768);
    EXPECT_EQ(realToQ15(-1.0, 'w'), -32768);
    EXPECT_EQ(realToQ15(-1.5, 's'), -32768);
    EXPECT_EQ(realToQ15(-1.5, 'w'), 16384);     // -49152 + 65536
    EXPECT_EQ(realToQ15(1.5, 'w'), -16384);     // 49152 - 65536
    EXPECT_EQ(realToQ15(0.99999, 's'), 32767);  // 32767.67 saturates at 32767
    EXPECT_EQ(realToQ15(0.9999, 's'), 32764);   // 32764.72 truncated
    EXPECT_EQ(realToQ15(-0.9999, 'w'), -32764);
    EXPECT_EQ(realToQ15(-1.0e-5, 's'), 0);  // -0.33 toward zero
    EXPECT_EQ(realToQ15(1e300, 's'), 32767);
    EXPECT_EQ(realToQ15(-HUGE_VAL, 's'), -32768);
    EXPECT_EQ(realToQ15(1e30, 'w'), 0);  // a multiple of 2^62: low 16 bits are 0
    EXPECT_EQ(realToQ15(std::nan(""), 's'), 0);
    EXPECT_EQ(storeQ15(32766.9, 's'), 32766);
    EXPECT_EQ(storeQ15(-32768.5, 's'), -32768);
    EXPECT_EQ(storeQ15(-32769.0, 'w'), 32767);
}

TEST(FixedPointQ15, Q15ToReal) {
    EXPECT_EQ(q15ToReal(-32768), -1.0);
    EXPECT_EQ(q15ToReal(16384), 0.5);
    EXPECT_EQ(q15ToReal(1), 3.0517578125e-5);
    EXPECT_EQ(q15ToReal(32767), 32767.0 / 32768.0);
    EXPECT_EQ(static_cast<float>(q15ToReal(-3)), -3.0f / 32768.0f);
}

}  // namespace
}  // namespace qf
