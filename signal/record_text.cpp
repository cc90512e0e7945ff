// Record fields in their fixed layouts (see record_text.h).
//
// Writing.  A finite nonzero value is m * 2^e with an integer m.  For D
// significant digits (8 for REAL32, 16 for REAL64) and the decimal exponent
// E of the value, the digits are N = m * 2^e * 10^s with s = D - 1 - E,
// rounded to an integer to nearest, ties to even, as printf rounds:
//   s >= 0:  N = (m * 5^s) * 2^(e + s), a shift of an exact product of up
//            to 181 bits (5^s for s <= 55 held in 128 bits);
//   s <  0:  N = (m * 2^(e - s)) / 5^-s, an exact 128-bit division.
// E starts from floor(log10(2) * floor(log2 v)) and is corrected by one when
// N falls outside [10^(D-1), 10^D).  Every float takes the exact path; a
// double too large or too small for it (beyond about 1e38 or below 1e-40)
// is formatted by fmtRecordExp.
//
// Reading.  A REAL32 field in the written layout, " d.dddddddE+ddd", with a
// decimal exponent of at most 22 either way is N * 10^k or N / 10^-k in
// double (both operands exact, so the result is correctly rounded) and then
// rounded to float.  That second rounding gives the correctly rounded float
// unless the double lies exactly halfway between two floats; such values,
// and every other field, are read by from_chars.
#include "signal/record_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "signal/numfmt.h"

namespace qf {

namespace {

using u128 = unsigned __int128;

constexpr int kMaxPow5 = 55;  // 5^55 < 2^128

struct Pow5Table {
    u128 v[kMaxPow5 + 1];
    constexpr Pow5Table() : v() {
        v[0] = 1;
        for (int i = 1; i <= kMaxPow5; ++i) v[i] = v[i - 1] * 5;
    }
};
constexpr Pow5Table kPow5;

constexpr uint64_t kPow10[] = {1ull,
                               10ull,
                               100ull,
                               1000ull,
                               10000ull,
                               100000ull,
                               1000000ull,
                               10000000ull,
                               100000000ull,
                               1000000000ull,
                               10000000000ull,
                               100000000000ull,
                               1000000000000ull,
                               10000000000000ull,
                               100000000000000ull,
                               1000000000000000ull,
                               10000000000000000ull,
                               100000000000000000ull};

// "00" "01" ... "99"
struct DigitPairs {
    char v[200];
    constexpr DigitPairs() : v() {
        for (int i = 0; i < 100; ++i) {
            v[2 * i] = static_cast<char>('0' + i / 10);
            v[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
    }
};
constexpr DigitPairs kPairs;

int bitLength(uint64_t m) {
    return 64 - std::countl_zero(m);
}

// floor(k * log10(2)), or one more for some negative k (corrected later).
int floorLog10Pow2(int k) {
    return (k * 78913) >> 18;
}

// floor(m * 2^e * 10^s) and what was cut off: `half` when the fraction is at
// least 1/2, `rest` when it is not exactly 0 or 1/2.  False outside the
// exact range (the caller formats another way).
bool scaledValue(uint64_t m, int e, int s, uint64_t& n, bool& half, bool& rest) {
    half = rest = false;
    if (s >= 0) {
        if (s > kMaxPow5) return false;
        // P = m * 5^s = hi * 2^64 + lo
        const u128 p5 = kPow5.v[s];
        const u128 low = static_cast<u128>(m) * static_cast<uint64_t>(p5);
        const u128 high = static_cast<u128>(m) * static_cast<uint64_t>(p5 >> 64);
        const u128 hi = high + (low >> 64);
        const uint64_t lo = static_cast<uint64_t>(low);
        const int shift = e + s;
        if (shift >= 0) {
            if (hi != 0 || shift >= 64 || (shift > 0 && (lo >> (64 - shift)) != 0)) return false;
            n = lo << shift;
            return true;
        }
        const int r = -shift;
        u128 q;
        if (r >= 64) {
            const int k = r - 64;
            if (k >= 128) return false;
            q = hi >> k;
            if (k == 0) {
                half = (lo >> 63) != 0;
                rest = (lo << 1) != 0;
            } else {
                half = ((hi >> (k - 1)) & 1) != 0;
                rest = (hi & ((static_cast<u128>(1) << (k - 1)) - 1)) != 0 || lo != 0;
            }
        } else {
            if ((hi >> r) != 0) return false;  // 64 bits or more
            q = (hi << (64 - r)) | (lo >> r);
            half = ((lo >> (r - 1)) & 1) != 0;
            rest = r > 1 && (lo & ((uint64_t{1} << (r - 1)) - 1)) != 0;
        }
        if ((q >> 64) != 0) return false;
        n = static_cast<uint64_t>(q);
        return true;
    }
    const int t = -s;
    if (t > kMaxPow5 || e < t) return false;
    const int up = e - t;
    if (bitLength(m) + up > 127) return false;
    const u128 num = static_cast<u128>(m) << up;
    const u128 den = kPow5.v[t];
    const u128 q = num / den;
    const u128 r = num % den;
    if ((q >> 64) != 0) return false;
    n = static_cast<uint64_t>(q);
    const u128 other = den - r;  // r compared with den / 2 without overflow
    half = r >= other;
    rest = r != other && r != 0;
    return true;
}

// The D significant digits of m * 2^e (m > 0) rounded to nearest, ties to
// even, and the decimal exponent of the rounded value.
template <int D>
bool exactDigits(uint64_t m, int e, uint64_t& digits, int& e10) {
    int est = floorLog10Pow2(e + bitLength(m) - 1);
    for (int tries = 0; tries < 2; ++tries) {
        uint64_t n;
        bool half, rest;
        if (!scaledValue(m, e, D - 1 - est, n, half, rest)) return false;
        if (n < kPow10[D - 1]) {  // the estimate was one too high
            --est;
            continue;
        }
        if (n >= kPow10[D]) {
            // One digit too many: drop it into what is cut off.
            const uint64_t r = n % 10;
            const bool exact = !half && !rest;
            n /= 10;
            half = r >= 5;
            rest = !((r == 0 || r == 5) && exact);
            ++est;
        }
        if (half && (rest || (n & 1) != 0)) ++n;
        if (n == kPow10[D]) {
            n = kPow10[D - 1];
            ++est;
        }
        digits = n;
        e10 = est;
        return true;
    }
    return false;
}

// Two, six and eight decimal digits, most significant first; the pairs are
// computed side by side rather than one after the other.
void put2(char* o, uint32_t v) {
    std::memcpy(o, kPairs.v + 2 * v, 2);
}
void put6(char* o, uint32_t v) {
    const uint32_t hi = v / 10000, lo = v % 10000;
    put2(o, hi);
    put2(o + 2, lo / 100);
    put2(o + 4, lo % 100);
}
void put8(char* o, uint32_t v) {
    const uint32_t hi = v / 10000, lo = v % 10000;
    put2(o, hi / 100);
    put2(o + 2, hi % 100);
    put2(o + 4, lo / 100);
    put2(o + 6, lo % 100);
}

// "E+ddd"
void putExponent(char* o, int e10) {
    o[0] = 'E';
    o[1] = e10 < 0 ? '-' : '+';
    const uint32_t a = static_cast<uint32_t>(e10 < 0 ? -e10 : e10);
    o[2] = static_cast<char>('0' + a / 100);
    put2(o + 3, a % 100);
}

void putNonFinite(char* out, int width, bool nan, bool negative) {
    const char* t = nan ? "NAN" : negative ? "-INF" : "INF";
    const int k = static_cast<int>(std::strlen(t));
    std::memset(out, ' ', static_cast<std::size_t>(width - k));
    std::memcpy(out + width - k, t, static_cast<std::size_t>(k));
}

constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

unsigned digitOf(char c) {
    return static_cast<unsigned>(static_cast<unsigned char>(c) - '0');
}

// The written REAL32 layout, " d.dddddddE+ddd" or with '-' first.
bool readWrittenReal32(const char* f, float& v) {
    if ((f[0] != ' ' && f[0] != '-') || f[2] != '.' || f[10] != 'E' ||
        (f[11] != '+' && f[11] != '-'))
        return false;
    uint32_t n = digitOf(f[1]);
    if (n > 9) return false;
    for (int i = 3; i < 10; ++i) {
        const unsigned d = digitOf(f[i]);
        if (d > 9) return false;
        n = n * 10 + d;
    }
    const unsigned e0 = digitOf(f[12]), e1 = digitOf(f[13]), e2 = digitOf(f[14]);
    if (e0 > 9 || e1 > 9 || e2 > 9) return false;
    const int e10 = static_cast<int>(e0 * 100 + e1 * 10 + e2) * (f[11] == '-' ? -1 : 1);
    const bool negative = f[0] == '-';
    if (n == 0) {
        v = negative ? -0.0f : 0.0f;
        return true;
    }
    const int k = e10 - 7;
    if (k < -22 || k > 22) return false;
    const double d =
        k >= 0 ? static_cast<double>(n) * kExactPow10[k] : static_cast<double>(n) / kExactPow10[-k];
    // Halfway between two floats: the double's 29 bits below a float's
    // precision are exactly 1000...0.
    if ((std::bit_cast<uint64_t>(d) & 0x1FFFFFFFu) == 0x10000000u) return false;
    const float x = static_cast<float>(d);
    v = negative ? -x : x;
    return true;
}

template <typename T>
bool readRealField(const char* first, const char* last, T& v) {
    while (first < last && isBlank(*first)) ++first;
    T x{};
    const char* end = parseReal(first, last, x);
    if (end == nullptr) return false;
    for (const char* c = first; c < end; ++c)
        if (*c == 'x' || *c == 'X') return false;  // hexadecimal numbers are no record layout
    while (end < last && isBlank(*end)) ++end;
    if (end != last) return false;
    v = x;
    return true;
}

}  // namespace

void putReal32Field(char* out, float v) {
    const uint32_t bits = std::bit_cast<uint32_t>(v);
    const bool negative = (bits >> 31) != 0;
    const uint32_t biased = (bits >> 23) & 0xFF;
    const uint32_t fraction = bits & 0x7FFFFF;
    if (biased == 0xFF) return putNonFinite(out, kReal32FieldWidth, fraction != 0, negative);
    out[0] = negative ? '-' : ' ';
    uint64_t digits = 0;
    int e10 = 0;
    if (biased != 0 || fraction != 0) {
        const uint64_t m = biased ? (fraction | 0x800000u) : fraction;
        const int e = biased ? static_cast<int>(biased) - 150 : -149;
        if (!exactDigits<8>(m, e, digits, e10)) {
            fmtRecordExp(out, static_cast<double>(v), 7);  // not reached for floats
            return;
        }
    }
    const uint32_t n = static_cast<uint32_t>(digits);
    out[1] = static_cast<char>('0' + n / 10000000);
    out[2] = '.';
    const uint32_t low = n % 10000000;  // seven digits: one, then six
    out[3] = static_cast<char>('0' + low / 1000000);
    put6(out + 4, low % 1000000);
    putExponent(out + 10, e10);
}

void putReal64Field(char* out, double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    const bool negative = (bits >> 63) != 0;
    const uint64_t biased = (bits >> 52) & 0x7FF;
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (biased == 0x7FF) return putNonFinite(out, kReal64FieldWidth, fraction != 0, negative);
    out[0] = negative ? '-' : ' ';
    uint64_t digits = 0;
    int e10 = 0;
    if (biased != 0 || fraction != 0) {
        const uint64_t m = biased ? (fraction | (uint64_t{1} << 52)) : fraction;
        const int e = biased ? static_cast<int>(biased) - 1075 : -1074;
        if (!exactDigits<16>(m, e, digits, e10)) {
            fmtRecordExp(out, v, 15);
            return;
        }
    }
    out[1] = static_cast<char>('0' + digits / 1000000000000000ull);
    out[2] = '.';
    const uint64_t low = digits % 1000000000000000ull;  // fifteen: one, six, eight
    out[3] = static_cast<char>('0' + low / 100000000000000ull);
    const uint64_t fourteen = low % 100000000000000ull;
    put6(out + 4, static_cast<uint32_t>(fourteen / 100000000));
    put8(out + 10, static_cast<uint32_t>(fourteen % 100000000));
    putExponent(out + 18, e10);
}

void putHex16Field(char* out, int16_t v) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const uint16_t u = static_cast<uint16_t>(v);
    out[0] = kHex[(u >> 12) & 15];
    out[1] = kHex[(u >> 8) & 15];
    out[2] = kHex[(u >> 4) & 15];
    out[3] = kHex[u & 15];
}

bool readReal32Field(const char* first, const char* last, float& v) {
    if (last - first == kReal32FieldWidth && readWrittenReal32(first, v)) return true;
    return readRealField(first, last, v);
}

bool readReal64Field(const char* first, const char* last, double& v) {
    return readRealField(first, last, v);
}

bool readHex16Field(const char* first, const char* last, int16_t& v) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    if (last - first == kHex16FieldWidth) {
        const int a = hex(first[0]), b = hex(first[1]), c = hex(first[2]), d = hex(first[3]);
        if ((a | b | c | d) >= 0) {
            v = static_cast<int16_t>(static_cast<uint16_t>((a << 12) | (b << 8) | (c << 4) | d));
            return true;
        }
    }
    const char* p = first;
    while (p < last && isBlank(*p)) ++p;
    bool negative = false;
    if (p < last && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (last - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hex(p[2]) >= 0) p += 2;
    uint32_t u = 0;
    const char* digits = p;
    for (; p < last && hex(*p) >= 0; ++p) u = ((u << 4) | static_cast<uint32_t>(hex(*p))) & 0xFFFFu;
    if (p == digits) return false;
    while (p < last && isBlank(*p)) ++p;
    if (p != last) return false;
    if (negative) u = (0x10000u - u) & 0xFFFFu;
    v = static_cast<int16_t>(static_cast<uint16_t>(u));
    return true;
}

}  // namespace qf
