// Fixed-point primitives and Q15 conversions against hand-worked values and
// exact integer (__int128) references.  Every primitive case runs through both
// call forms (FxOperand records and pointer/width/fraction triples) into a
// result word that held another value before.
#include "signal/fixedpoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "core/engine.h"
#include "core/signal_wiring.h"

namespace qf {
namespace {

// Modes by overflow and rounding letter.
constexpr FxModes kSt{'s', 't'}, kSe{'s', 'e'}, kSr{'s', 'r'}, kWt{'w', 't'}, kWe{'w', 'e'},
    kWr{'w', 'r'};
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();

// Restores the status record's modes when a test has changed them.
struct ModesGuard {
    char overflow = status().overflowMode;
    char rounding = status().roundingMode;
    ~ModesGuard() {
        status().overflowMode = overflow;
        status().roundingMode = rounding;
    }
};

// A stored integer n in (w, f).
struct Fx {
    int64_t n;
    int w, f;
};

std::string show(Fx x) {
    return std::to_string(x.n) + " (" + std::to_string(x.w) + "," + std::to_string(x.f) + ")";
}

// One operand's storage: a 16-bit word, a 32-bit word or two 32-bit words
// (low word first), set from and read back as the stored integer.
struct Reg {
    int w, f;
    int16_t h;
    int32_t l;
    uint32_t d[2];
    explicit Reg(Fx x) : w(x.w), f(x.f) {
        const auto u = static_cast<uint64_t>(x.n);
        h = static_cast<int16_t>(u), l = static_cast<int32_t>(u);
        d[0] = static_cast<uint32_t>(u), d[1] = static_cast<uint32_t>(u >> 32);
    }
    void* data() { return w <= 16 ? static_cast<void*>(&h) : w <= 32 ? &l : static_cast<void*>(d); }
    FxOperand op() { return FxOperand{data(), w, f}; }
    int64_t get() const {
        if (w <= 16) return h;
        if (w <= 32) return l;
        return static_cast<int64_t>((static_cast<uint64_t>(d[1]) << 32) | d[0]);
    }
};

// The primitives by either overload: FxOperand records or pointer, width and
// fraction-bit triples.
const auto add = [](auto... a) { fxAdd(a...); };
const auto sub = [](auto... a) { fxSub(a...); };
const auto mul = [](auto... a) { fxMul(a...); };
const auto divide = [](auto... a) { fxDiv(a...); };
const auto convert = [](auto... a) { fxConvert(a...); };
const auto scale = [](auto... a) { fxScale(a...); };
const auto limit = [](auto... a) { fxLimit(a...); };

// op(x, r, rest...) or op(x, y, r) with r in (rw, rf), by records and by
// triples, each into a word that held another value; both forms must agree.
template <typename Op, typename... Rest>
int64_t unary(Op op, Fx x, int rw, int rf, Rest... rest) {
    Reg a(x), r(Fx{0x5A5A, rw, rf}), t(Fx{0x5A5A, rw, rf});
    op(a.op(), r.op(), rest...);
    op(a.data(), x.w, x.f, t.data(), rw, rf, rest...);
    EXPECT_EQ(t.get(), r.get()) << "by triples: " << show(x) << " into " << rw << "," << rf;
    return r.get();
}
template <typename Op>
int64_t binary(Op op, Fx x, Fx y, int rw, int rf) {
    Reg a(x), b(y), r(Fx{0x5A5A, rw, rf}), t(Fx{0x5A5A, rw, rf});
    op(a.op(), b.op(), r.op());
    op(a.data(), x.w, x.f, b.data(), y.w, y.f, t.data(), rw, rf);
    EXPECT_EQ(t.get(), r.get()) << "by triples: " << show(x) << ", " << show(y);
    return r.get();
}

// Two's complement reduction of n to w bits.
int64_t wrapRef(__int128 n, int w) {
    const __int128 m = __int128{1} << w, r = (n % m + m) % m;
    return static_cast<int64_t>(r >= m / 2 ? r - m : r);
}

// Nearest integer to n / 2^k with ties to even.
int64_t shiftEven(int64_t n, int k) {
    const int64_t d = int64_t{1} << k, q = (n >= 0 ? n : n - d + 1) / d;  // floor
    const int64_t twiceRem = 2 * (n - q * d);
    return q + ((twiceRem > d || (twiceRem == d && (q & 1) != 0)) ? 1 : 0);
}

TEST(FixedPointStorage, LoadByWidth) {
    // Narrow widths read the whole 16-bit word; 64-bit values are two words.
    const Fx cases[] = {{-5, 16, 15},     {-5, 9, 0},           {-100000, 17, 0},
                        {-100000, 32, 0}, {-4294967291, 64, 0}, {4294967296, 33, 0}};
    for (Fx x : cases) EXPECT_EQ(fxLoad(Reg(x).op()), x.n) << show(x);
    uint32_t w[2] = {5u, 0xFFFFFFFFu};  // low word first
    EXPECT_EQ(fxLoad(FxOperand{w, 64, 0}), -4294967296LL + 5);
}

TEST(FixedPointStorage, StoreTruncatesAndKeepsLowBits) {
    // Toward zero; 2^63 wraps; beyond 64 bits the low bits are all zero; a
    // value that is not finite stores 0; 12- and 24-bit registers are
    // sign-extended; -(2^32 + 5) is the words FFFFFFFB FFFFFFFE.
    const double p63 = std::ldexp(1.0, 63), nan = std::nan("");
    const struct {
        int w, f;
        double v;
        int64_t expected;
    } cases[] = {
        {64, 0, -1.0, -1},        {64, 0, -4294967301.0, -4294967301},
        {64, 0, -2.75, -2},       {64, 0, -p63, kMin64},
        {64, 0, p63, kMin64},     {64, 0, 3 * 128 * p63, 0},
        {64, 0, nan, 0},          {16, 15, 32768.9, -32768},
        {16, 15, -65537.0, -1},   {12, 11, 2048.0, -2048},
        {12, 11, 4095.0, -1},     {24, 23, 8388608.0, -8388608},
        {32, 0, 4294967303.0, 7},
    };
    for (const auto& c : cases) {
        Reg r(Fx{0x5A5A, c.w, c.f});
        fxStore(r.op(), c.v);
        EXPECT_EQ(r.get(), c.expected) << c.v << " into (" << c.w << "," << c.f << ")";
    }
}

TEST(FixedPointAddSub, HandWorkedValuesWrapWhateverTheMode) {
    ModesGuard guard;
    for (char mode : {'s', 'w'}) {
        status().overflowMode = mode;
        EXPECT_EQ(binary(add, {0x7FFF, 16, 15}, {1, 16, 15}, 16, 15), -32768);
        EXPECT_EQ(binary(sub, {-32768, 16, 15}, {1, 16, 15}, 16, 15), 32767);
        // 0.5 (16,15) and 1.5 (32,19); 2.0 wraps to 0 in (16,15).
        EXPECT_EQ(binary(add, {0x4000, 16, 15}, {3 << 18, 32, 19}, 32, 19), 2 << 19);
        EXPECT_EQ(binary(sub, {0x4000, 16, 15}, {3 << 18, 32, 19}, 32, 19), -(1 << 19));
        EXPECT_EQ(binary(add, {0x4000, 16, 15}, {3 << 18, 32, 19}, 16, 15), 0);
        // -1.75 (32,19) + 0 into (16,0) truncates to -1.
        EXPECT_EQ(binary(add, {-(7 << 17), 32, 19}, {0, 16, 15}, 16, 0), -1);
    }
}

TEST(FixedPointAddSub, AccumulatorMayShareTheResult) {
    uint32_t acc[2] = {};
    int32_t prod = -1000;
    for (int i = 0; i < 5; ++i)
        fxAdd(FxOperand{acc, 64, 31}, FxOperand{&prod, 32, 31}, FxOperand{acc, 64, 31});
    EXPECT_EQ(fxLoad(FxOperand{acc, 64, 31}), -5000);
}

TEST(FixedPointAddSub, MatchesExactReference) {
    const int32_t values[] = {0,          1,           -1,        12345,     -12345,
                              0x3FFFFFFF, -0x40000000, INT32_MAX, INT32_MIN, 77777777};
    for (int32_t x : values)
        for (int32_t y : values) {
            EXPECT_EQ(binary(add, {x, 32, 15}, {y, 32, 15}, 32, 15), wrapRef(__int128{x} + y, 32));
            EXPECT_EQ(binary(sub, {x, 32, 15}, {y, 32, 15}, 32, 15), wrapRef(__int128{x} - y, 32));
        }
}

TEST(FixedPointMul, HandWorkedValues) {
    EXPECT_EQ(binary(mul, {0x4000, 16, 15}, {3 << 18, 32, 19}, 32, 19), 3 << 17);  // 0.5 x 1.5
    // A constant c enters as (32,15): 0.5 x 0.5 = 0.25; 0.5 x 2.0 = 1.0 wraps.
    EXPECT_EQ(binary(mul, {0x4000, 16, 15}, {16384, 32, 15}, 16, 15), 0x2000);
    EXPECT_EQ(binary(mul, {0x4000, 16, 15}, {2 * 32768, 32, 15}, 16, 15), -32768);
}

TEST(FixedPointMul, MatchesExactReference) {
    const int16_t values[] = {0, 1, -1, 0x4000, -0x4000, 32767, -32768, 12345, -23456, 3};
    for (int16_t x : values)
        for (int16_t y : values) {
            const __int128 p = __int128{x} * y;  // p / 32768 truncates toward zero
            const Fx a{x, 16, 15}, b{y, 16, 15};
            EXPECT_EQ(binary(mul, a, b, 64, 31), static_cast<int64_t>(2 * p));  // one more bit
            EXPECT_EQ(binary(mul, a, b, 32, 15), wrapRef(p / 32768, 32));
            EXPECT_EQ(binary(mul, a, b, 16, 15), wrapRef(p / 32768, 16));
        }
}

TEST(FixedPointDiv, RealQuotientTruncated) {
    EXPECT_EQ(binary(divide, {8192, 16, 15}, {24576, 16, 15}, 16, 15), 10922);  // 32768 / 3
    EXPECT_EQ(binary(divide, {-8192, 16, 15}, {24576, 16, 15}, 16, 15), -10922);
    EXPECT_EQ(binary(divide, {3 << 18, 32, 19}, {0x4000, 16, 15}, 32, 15), 3 * 32768);  // 1.5 / 0.5
    EXPECT_EQ(binary(divide, {0x4000, 16, 15}, {8192, 16, 15}, 16, 15), 0);             // 2.0 wraps
    // A zero divisor stores 0 rather than an undefined conversion.
    EXPECT_EQ(binary(divide, {0, 16, 15}, {0, 16, 15}, 16, 15), 0);
}

TEST(FixedPointConvert, OverflowAndRounding) {
    // +-1.5: wrapping takes the remainder by P and keeps the sign (0.5, not -0.5).
    EXPECT_EQ(unary(convert, {3 << 22, 32, 23}, 16, 15, kSt), 32767);
    EXPECT_EQ(unary(convert, {3 << 22, 32, 23}, 16, 15, kWt), 16384);
    EXPECT_EQ(unary(convert, {-(3 << 22), 32, 23}, 16, 15, kSt), -32768);
    EXPECT_EQ(unary(convert, {-(3 << 22), 32, 23}, 16, 15, kWt), -16384);
    EXPECT_EQ(unary(convert, {-(1 << 23), 32, 23}, 16, 15, kWt), -32768);  // -1.0 is in range
    // 2^62 (64,0) into (64,2): P - 1 = 2^63 - 1 saturated, 2^64 mod 2^63 wrapped.
    EXPECT_EQ(unary(convert, {1LL << 62, 64, 0}, 64, 2, kSt), kMax64);
    EXPECT_EQ(unary(convert, {1LL << 62, 64, 0}, 64, 2, kWt), 0);
    EXPECT_EQ(unary(convert, {-(1LL << 62), 64, 0}, 64, 2, kSt), kMin64);
    // Halves h/2 in (16,1) to (16,0): 'e' ties to even, 'r' ties away from
    // zero, 't' toward zero, and so does an unknown letter or none.
    for (int16_t h = -9; h <= 9; ++h) {
        const Fx x{h, 16, 1};
        EXPECT_EQ(unary(convert, x, 16, 0, kSe), shiftEven(h, 1)) << h;
        EXPECT_EQ(unary(convert, x, 16, 0, kSr), (h + (h > 0) - (h < 0)) / 2) << h;
        EXPECT_EQ(unary(convert, x, 16, 0, kSt), h / 2) << h;
        EXPECT_EQ(unary(convert, x, 16, 0, FxModes{'s', h % 2 ? 'x' : '\0'}), h / 2) << h;
    }
    // Quarters: -2.75 goes to the nearest integer in 'r', toward zero in 't'.
    EXPECT_EQ(unary(convert, {-11, 16, 2}, 16, 0, kSr), -3);
    EXPECT_EQ(unary(convert, {-11, 16, 2}, 16, 0, kSt), -2);
    // -3.5 in (64,31) to (16,15): x x 2^-16 with x = -(3 x 65536 + 32768).
    EXPECT_EQ(unary(convert, {-(3 * 65536 + 32768), 64, 31}, 16, 15, kSr), -4);
}

TEST(FixedPointConvert, MatchesExactReferenceInRange) {
    // (64,31) sums of Q15 products brought back to (16,15); integer division
    // truncates toward zero.
    const int64_t values[] = {0,           1,          -1,         32768,      -32768,
                              65535,       -65535,     98304,      -98304,     1073709056,
                              -1073741824, 1234567890, -987654321, 0x7FFF7FFF, -0x40004000};
    auto q15 = [](int64_t v) { return std::clamp<int64_t>(v, -32768, 32767); };
    for (int64_t x : values) {
        EXPECT_EQ(unary(convert, {x, 64, 31}, 16, 15, kSe), q15(shiftEven(x, 16)));
        EXPECT_EQ(unary(convert, {x, 64, 31}, 16, 15, kSt), q15(x / 65536));
    }
}

TEST(FixedPointConvert, CallFormUsesEngineModes) {
    ModesGuard guard;
    const int32_t x = 3 << 22;  // 1.5 (32,23)
    const int16_t h = 5;        // 2.5 (16,1)
    int16_t r = 0;
    status().overflowMode = 'w';
    status().roundingMode = 'e';
    fxConvert(&x, 32, 23, &r, 16, 15, engineModes());
    EXPECT_EQ(r, 16384);
    status().overflowMode = 's';
    fxConvert(&x, 32, 23, &r, 16, 15, engineModes());
    EXPECT_EQ(r, 32767);
    status().roundingMode = 'r';
    fxConvert(&h, 16, 1, &r, 16, 0, engineModes());
    EXPECT_EQ(r, 3);
}

TEST(FixedPointScale, ShiftsAndRounds) {
    EXPECT_EQ(unary(scale, {0x4000, 16, 15}, 32, 15, 1, kSt), 32768);  // 1.0 in (32,15)
    // No overflow handling: wraps even when saturating.
    EXPECT_EQ(unary(scale, {0x4000, 16, 15}, 16, 15, 1, kSt), -32768);
    EXPECT_EQ(unary(scale, {5, 16, 0}, 16, 0, -1, kSe), 2);  // 2.5
    EXPECT_EQ(unary(scale, {-5, 16, 0}, 16, 0, -1, kSr), -3);
    // Gain word 0.75 (16,15) with gain shift 2 into (64,31): 3.0.
    EXPECT_EQ(unary(scale, {24576, 16, 15}, 64, 31, 2, kSe), 3LL << 31);
    // Negative 24-bit gain -0.75 (32,23) into (64,47), shift -1.
    EXPECT_EQ(unary(scale, {-(3 << 21), 32, 23}, 64, 47, -1, kSe), -(3LL << 44));
}

TEST(FixedPointLimit, RegisterWidthThenRounding) {
    const int64_t p = 1LL << 31;  // a 32-bit register in (64,31)
    EXPECT_EQ(unary(limit, {p + p / 2, 64, 31}, 64, 31, 32, kSt), p - 1);
    EXPECT_EQ(unary(limit, {p + p / 2, 64, 31}, 64, 31, 32, kWt), p / 2);  // sign kept
    EXPECT_EQ(unary(limit, {-(p + p / 2), 64, 31}, 64, 31, 32, kSt), -p);
    EXPECT_EQ(unary(limit, {-(p + p / 2), 64, 31}, 64, 31, 32, kWt), -p / 2);
    // In wrapping mode every value takes the remainder: -P itself becomes 0,
    // where fxConvert would leave it.
    EXPECT_EQ(unary(limit, {-p, 64, 31}, 64, 31, 32, kWt), 0);
    EXPECT_EQ(unary(limit, {p - 1, 64, 31}, 64, 31, 32, kWt), p - 1);
    const int64_t p48 = 1LL << 47;  // a 48-bit register in (64,47)
    EXPECT_EQ(unary(limit, {3 * p48 + 5, 64, 47}, 64, 47, 48, kSt), p48 - 1);
    EXPECT_EQ(unary(limit, {3 * p48 + 5, 64, 47}, 64, 47, 48, kWt), 5);
    // +-6.5 with a 3-bit register (P = 4): remainder +-2.5 first, then rounding.
    EXPECT_EQ(unary(limit, {26, 16, 2}, 16, 0, 3, kWr), 3);
    EXPECT_EQ(unary(limit, {26, 16, 2}, 16, 0, 3, kSr), 3);  // P - 1
    EXPECT_EQ(unary(limit, {-26, 16, 2}, 16, 0, 3, kWe), -2);
    EXPECT_EQ(unary(limit, {-26, 16, 2}, 16, 0, 3, kSe), -4);
}

TEST(FixedPointQ15, Conversions) {
    // realToQ15 and storeQ15: 32767.67 saturates at 32767, 32764.72 and
    // -0.33 are truncated, wrapping keeps the low 16 bits (-49152 + 65536,
    // 49152 - 65536; 1e30 x 32768 is a multiple of 2^62).
    struct Case {
        double x;
        char mode;
        int16_t expected;
    };
    const Case toQ15[] = {
        {1.0, 's', 32767},    {1.0, 'w', -32768},       {0.5, 'w', 16384},
        {-1.0, 's', -32768},  {-1.0, 'w', -32768},      {-1.5, 's', -32768},
        {-1.5, 'w', 16384},   {1.5, 'w', -16384},       {0.99999, 's', 32767},
        {0.9999, 's', 32764}, {-0.9999, 'w', -32764},   {-1.0e-5, 's', 0},
        {1e300, 's', 32767},  {-HUGE_VAL, 's', -32768}, {1e30, 'w', 0},
        {NAN, 's', 0},
    };
    const Case stored[] = {{32766.9, 's', 32766}, {-32768.5, 's', -32768}, {-32769.0, 'w', 32767}};
    for (const auto& c : toQ15) EXPECT_EQ(realToQ15(c.x, c.mode), c.expected) << c.x << c.mode;
    for (const auto& c : stored) EXPECT_EQ(storeQ15(c.x, c.mode), c.expected) << c.x << c.mode;
    EXPECT_EQ(q15ToReal(-32768), -1.0);
    EXPECT_EQ(q15ToReal(32767), 32767.0 / 32768.0);
}

}  // namespace
}  // namespace qf
