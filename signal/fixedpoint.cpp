// Fixed-point primitives and Q15 conversions (see fixedpoint.h).  Results are
// formed in double precision in the order given there; powers of two are
// applied with ldexp (exact) and remainders with fmod (exact).
#include "signal/fixedpoint.h"

#include <cmath>
#include <cstring>

namespace qf {

namespace {

int clampWidth(int w) {
    return w < 1 ? 1 : (w > 64 ? 64 : w);
}

// The most positive value of a w-bit two's complement integer.
int64_t maxOfWidth(int w) {
    return w >= 64 ? INT64_MAX : static_cast<int64_t>((uint64_t{1} << (w - 1)) - 1);
}

// The integer n reduced to w bits and sign-extended.
int64_t wrapToWidth(int64_t n, int w) {
    if (w >= 64) return n;
    uint64_t m = (uint64_t{1} << w) - 1;
    uint64_t u = static_cast<uint64_t>(n) & m;
    if (u >> (w - 1)) u |= ~m;
    return static_cast<int64_t>(u);
}

void storeInt(FxOperand r, int64_t n) {
    int w = clampWidth(r.width);
    n = wrapToWidth(n, w);
    if (w <= 16) {
        int16_t v = static_cast<int16_t>(n);
        std::memcpy(r.data, &v, sizeof v);
    } else if (w <= 32) {
        int32_t v = static_cast<int32_t>(n);
        std::memcpy(r.data, &v, sizeof v);
    } else {
        uint64_t u = static_cast<uint64_t>(n);
        uint32_t words[2] = {static_cast<uint32_t>(u & 0xFFFFFFFFu),
                             static_cast<uint32_t>(u >> 32)};
        std::memcpy(r.data, words, sizeof words);
    }
}

// Overflow handling at limit P = 2^(limitWidth - 1).  In saturating mode a
// value at or above P is reported through `high` rather than as P - 1, which
// a double cannot hold for widths above 53.
double overflow(double v, int limitWidth, char mode, bool wrapAll, bool& high) {
    high = false;
    double p = std::ldexp(1.0, limitWidth - 1);
    if (mode == 's') {
        if (v >= p) {
            high = true;
            return p - 1.0;
        }
        if (v < -p) return -p;
        return v;
    }
    if (wrapAll || v >= p || v < -p) return std::fmod(v, p);
    return v;
}

// a and b brought to their common (larger) fraction count; returns it.
int align(FxOperand a, FxOperand b, double& x, double& y) {
    int common = a.frac > b.frac ? a.frac : b.frac;
    x = std::ldexp(static_cast<double>(fxLoad(a)), common - a.frac);
    y = std::ldexp(static_cast<double>(fxLoad(b)), common - b.frac);
    return common;
}

void convertOrLimit(FxOperand x, FxOperand r, int limitWidth, bool wrapAll, FxModes modes) {
    double v = std::ldexp(static_cast<double>(fxLoad(x)), r.frac - x.frac);
    bool high = false;
    v = overflow(v, clampWidth(limitWidth), modes.overflow, wrapAll, high);
    if (high) {
        // P - 1 is a whole number: rounding leaves it as it is.
        storeInt(r, maxOfWidth(clampWidth(limitWidth)));
        return;
    }
    fxStore(r, fxRound(v, modes.rounding));
}

FxOperand op(const void* p, int w, int f) {
    return FxOperand{const_cast<void*>(p), w, f};
}

}  // namespace

int64_t fxLoad(FxOperand x) {
    int w = clampWidth(x.width);
    if (w <= 16) {
        int16_t v;
        std::memcpy(&v, x.data, sizeof v);
        return v;
    }
    if (w <= 32) {
        int32_t v;
        std::memcpy(&v, x.data, sizeof v);
        return v;
    }
    uint32_t words[2];
    std::memcpy(words, x.data, sizeof words);
    uint64_t u = (static_cast<uint64_t>(words[1]) << 32) | words[0];
    return static_cast<int64_t>(u);
}

void fxStore(FxOperand r, double v) {
    if (!std::isfinite(v)) {
        storeInt(r, 0);
        return;
    }
    // Low 64 bits of the truncated value, computed exactly, then brought into
    // the int64 range so that the conversion is defined.
    const double two64 = std::ldexp(1.0, 64);
    const double two63 = std::ldexp(1.0, 63);
    double t = std::fmod(std::trunc(v), two64);
    if (t >= two63) t -= two64;
    if (t < -two63) t += two64;
    storeInt(r, static_cast<int64_t>(t));
}

double fxRound(double v, char rounding) {
    if (rounding == 'e') {
        double frac = std::fmod(v, 1.0);
        if (frac < 0.0) frac += 1.0;
        if (frac != 0.5) return frac >= 0.5 ? std::ceil(v) : std::floor(v);
        double m = std::fmod(v, 2.0);
        if (m < 0.0) m += 2.0;
        return m <= 1.0 ? std::floor(v) : std::ceil(v);
    }
    if (rounding == 'r') return v + std::fmod(v, 1.0);
    return v - std::fmod(v, 1.0);
}

void fxAdd(FxOperand a, FxOperand b, FxOperand r) {
    double x, y;
    int common = align(a, b, x, y);
    double s = x + y;
    fxStore(r, std::ldexp(s, r.frac - common));
}

void fxSub(FxOperand a, FxOperand b, FxOperand r) {
    double x, y;
    int common = align(a, b, x, y);
    double s = x - y;
    fxStore(r, std::ldexp(s, r.frac - common));
}

void fxMul(FxOperand a, FxOperand b, FxOperand r) {
    double product = static_cast<double>(fxLoad(a)) * static_cast<double>(fxLoad(b));
    fxStore(r, std::ldexp(product, r.frac - (a.frac + b.frac)));
}

void fxDiv(FxOperand a, FxOperand b, FxOperand r) {
    double quotient = static_cast<double>(fxLoad(a)) / static_cast<double>(fxLoad(b));
    fxStore(r, std::ldexp(quotient, r.frac - (a.frac - b.frac)));
}

void fxConvert(FxOperand x, FxOperand r, FxModes modes) {
    convertOrLimit(x, r, r.width, false, modes);
}

void fxScale(FxOperand x, FxOperand r, int shift, FxModes modes) {
    double v = std::ldexp(static_cast<double>(fxLoad(x)), r.frac - x.frac + shift);
    fxStore(r, fxRound(v, modes.rounding));
}

void fxLimit(FxOperand x, FxOperand r, int registerWidth, FxModes modes) {
    convertOrLimit(x, r, registerWidth, true, modes);
}

void fxAdd(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r, int wr, int fr) {
    fxAdd(op(a, wa, fa), op(b, wb, fb), FxOperand{r, wr, fr});
}

void fxSub(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r, int wr, int fr) {
    fxSub(op(a, wa, fa), op(b, wb, fb), FxOperand{r, wr, fr});
}

void fxMul(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r, int wr, int fr) {
    fxMul(op(a, wa, fa), op(b, wb, fb), FxOperand{r, wr, fr});
}

void fxDiv(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r, int wr, int fr) {
    fxDiv(op(a, wa, fa), op(b, wb, fb), FxOperand{r, wr, fr});
}

void fxConvert(const void* x, int wx, int fx, void* r, int wr, int fr, FxModes modes) {
    fxConvert(op(x, wx, fx), FxOperand{r, wr, fr}, modes);
}

void fxScale(const void* x, int wx, int fx, void* r, int wr, int fr, int shift, FxModes modes) {
    fxScale(op(x, wx, fx), FxOperand{r, wr, fr}, shift, modes);
}

void fxLimit(const void* x, int wx, int fx, void* r, int wr, int fr, int registerWidth,
             FxModes modes) {
    fxLimit(op(x, wx, fx), FxOperand{r, wr, fr}, registerWidth, modes);
}

int16_t storeQ15(double p, char overflowMode) {
    if (overflowMode == 's') {
        if (p >= 32767.0) return 32767;
        if (p < -32768.0) return -32768;
    }
    int16_t w = 0;
    fxStore(FxOperand{&w, 16, 15}, p);
    return w;
}

int16_t realToQ15(double x, char overflowMode) {
    return storeQ15(x * 32768.0, overflowMode);
}

double q15ToReal(int16_t w) {
    return std::ldexp(static_cast<double>(w), -15);
}

}  // namespace qf
