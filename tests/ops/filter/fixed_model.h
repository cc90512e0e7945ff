// An independent model of the emulated fixed-point processor for the filter
// tests, on exact integers.  A value in (w, f) is the integer n standing for
// n 2^-f.  Results are formed as the processor defines them:
//   product   the two integers multiplied as doubles (exact below 2^53, and
//             rounded to 53 bits above, as a double product is), times
//             2^(fr - fa - fb), truncated toward zero, low w bits kept
//   sum       exact (__int128), in the larger fraction count, then brought
//             to fr truncating toward zero, low w bits kept (the tests keep
//             sums below 2^53, where a double sum is exact too)
//   scale     x 2^(fr - fx + k), rounded by the rounding mode, low w bits
//   convert   v = x 2^(fr - fx); overflow at P = 2^(w - 1) ('s' saturate,
//             else the remainder of v / P with the sign of v for |v| beyond
//             P); then rounded; low w bits
//   limit     the same with P = 2^(W - 1), the remainder taken always
// Rounding of n / 2^d: 'e' nearest, ties to even; 'r' nearest, ties away
// from zero; anything else toward zero.
#pragma once

#include <cmath>
#include <cstdint>

#include "signal/fixedpoint.h"

namespace qf::test::fx {

using i128 = __int128;

// The low w bits of n, sign-extended.
inline int64_t wrap(i128 n, int w) {
    const unsigned __int128 m = (static_cast<unsigned __int128>(1) << w) - 1;
    unsigned __int128 u = static_cast<unsigned __int128>(n) & m;
    if (u >> (w - 1)) u |= ~m;
    return static_cast<int64_t>(static_cast<i128>(u));
}

// n / 2^d rounded to an integer by the mode (d >= 0).
inline i128 roundShift(i128 n, int d, char rounding) {
    if (d == 0) return n;
    const i128 one = static_cast<i128>(1) << d;
    const i128 half = one / 2;
    i128 floor = n >= 0 ? n / one : -((-n + one - 1) / one);
    const i128 frac = n - floor * one;  // 0 <= frac < one
    if (rounding == 'e') {
        if (frac > half || (frac == half && (floor & 1) != 0)) ++floor;
        return floor;
    }
    if (rounding == 'r') {
        if (frac > half || (frac == half && n >= 0)) ++floor;
        return floor;
    }
    return (n < 0 && frac != 0) ? floor + 1 : floor;  // toward zero
}

// n 2^shift as an exact numerator over 2^d (d >= 0).
struct Ratio {
    i128 n;
    int d;
};
inline Ratio scaled(int64_t x, int shift) {
    if (shift >= 0) return {static_cast<i128>(x) << shift, 0};
    return {x, -shift};
}

inline int64_t mul(int64_t a, int fa, int64_t b, int fb, int wr, int fr) {
    const double v = std::ldexp(static_cast<double>(a) * static_cast<double>(b), fr - fa - fb);
    return wrap(static_cast<i128>(std::trunc(v)), wr);
}

inline int64_t add(int64_t a, int fa, int64_t b, int fb, int wr, int fr) {
    const int f = fa > fb ? fa : fb;
    const i128 s = (static_cast<i128>(a) << (f - fa)) + (static_cast<i128>(b) << (f - fb));
    return wrap(fr >= f ? s << (fr - f) : roundShift(s, f - fr, 't'), wr);
}

inline int64_t scale(int64_t x, int fx, int wr, int fr, int k, FxModes m) {
    const Ratio v = scaled(x, fr - fx + k);
    return wrap(roundShift(v.n, v.d, m.rounding), wr);
}

// Overflow handling of v = n / 2^d at P = 2^(limitWidth - 1), then rounding.
inline int64_t limited(Ratio v, int limitWidth, bool always, int wr, FxModes m) {
    const i128 p = static_cast<i128>(1) << (limitWidth - 1 + v.d);  // P in 2^-d units
    if (m.overflow == 's') {
        if (v.n >= p) return wrap((static_cast<i128>(1) << (limitWidth - 1)) - 1, wr);
        if (v.n < -p) return wrap(-(static_cast<i128>(1) << (limitWidth - 1)), wr);
    } else if (always || v.n >= p || v.n < -p) {
        v.n = v.n % p;  // the sign of v stays
    }
    return wrap(roundShift(v.n, v.d, m.rounding), wr);
}

inline int64_t convert(int64_t x, int fx, int wr, int fr, FxModes m) {
    return limited(scaled(x, fr - fx), wr, false, wr, m);
}

inline int64_t limit(int64_t x, int fx, int wr, int fr, int registerWidth, FxModes m) {
    return limited(scaled(x, fr - fx), registerWidth, true, wr, m);
}

}  // namespace qf::test::fx
