// Kernels of the time-domain operations with handlers of their own.
// 16-bit samples are (16, 15) fixed-point words (w stands for w / 32768);
// a REALTIMEINT16 input is read as such words.
//
// 3260 smoothing: a running sum in double over a ring of the last N inputs,
//   primed with x[0..N-1]; each step writes sum / divisor (REAL32 as float,
//   16-bit words truncated toward zero), takes the oldest input out and,
//   while input remains, puts the next one in; over the last N - 1 outputs
//   the divisor falls by one each step.  No record past the input is read.
// 3270 sample and hold: h = 0; h = data[i] where clock[i] < 0 and
//   clock[i + 1] >= 0 (the clock's sign in its own type); y[i] = h.  Mixed
//   types give REAL32 with 16-bit data read as w x 2^-15.
// 3280 map: slope = (Y1 - Y2) / (X1 - X2) (1 when X1 = X2); x >= X1 gives Y1,
//   x >= X2 gives (x - X2) slope + Y2, below X2 gives Y2.  16-bit: X1, X2 as
//   saturated words, Y1, Y2 x 32768 truncated, trunc((x - X2) slope) + Y2,
//   stored by the overflow mode.
// 3290 difference equation: in double for REAL32 (outputs limited to
//   +-1e37 when unstable, else |y| < 1e-36 taken as 0); for 16-bit words
//   with (32, 15) coefficients through fxMul and fxAdd/fxSub, the 32-bit
//   y(n) fed back and stored by the overflow mode.
// 3300 linear combination and 3030 product: in double for REAL32, mixed
//   types through w x 2^-15; 16-bit words with (32, 19) coefficients,
//   wrapping.
// 3310 logarithm: L limited to -32..32; REAL32 y = a L for |x| <= 10^L, else
//   a log10|x|; 16-bit y = L for 0, else a log10(|w| x 2^-15); REAL32 out.
// 3320 real to whole: by the rounding mode.
#include <algorithm>
#include <cmath>

#include "core/engine.h"
#include "core/signal_wiring.h"
#include "ops/time/own_ops.h"
#include "signal/fixedpoint.h"

namespace qf::timeops {

namespace {

double param(int32_t offset) {
    return paramDouble(block(), offset);
}

// A (32, f) word holding v x 2^f truncated toward zero (wrapping).
int32_t fixed32(double v, int frac) {
    int32_t w = 0;
    fxStore(FxOperand{&w, 32, frac}, std::ldexp(v, frac));
    return w;
}

// A sample as a real number: 16-bit words are Q15 fractions.
double realOf(int16_t w) {
    return q15ToReal(w);
}
double realOf(float x) {
    return x;
}

bool timeType(int32_t t) {
    return t == kInteger16 || t == kReal32;
}

// ---------------------------------------------------------------------------
// Smoothing

template <typename T>
int32_t smoothRecords(SignalDescriptor& in, SignalDescriptor& out, int32_t n, double* ring) {
    const int32_t m = std::min(in.recordCount, out.recordCount);
    RecordReader<T> x(in, m);
    const int32_t primed = std::min(n, m);
    double sum = 0.0;
    for (int32_t k = 0; k < primed; ++k) {
        T v;
        if (!x.next(v)) return 1;
        ring[k] = static_cast<double>(v);
        sum += ring[k];
    }
    int32_t divisor = primed;
    int32_t oldest = 0;  // ring[oldest] holds x[t]
    bool failed = false;
    const int32_t r = forEachOutputSpan<T>(out, 0, m, [&](T* y, int32_t at, int32_t count) {
        for (int32_t k = 0; k < count && !failed; ++k) {
            const double q = sum / divisor;
            if constexpr (sizeof(T) == 2)
                y[k] = static_cast<int16_t>(std::trunc(q));
            else
                y[k] = static_cast<float>(q);
            sum -= ring[oldest];
            if (at + k + n < m) {
                T v;
                if (!x.next(v)) {
                    failed = true;
                    return;
                }
                ring[oldest] = static_cast<double>(v);
                sum += ring[oldest];
            } else {
                --divisor;
            }
            oldest = oldest + 1 == n ? 0 : oldest + 1;
        }
    });
    return (r != 0 || failed) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Sample and hold

template <typename D, typename C, typename O>
int32_t holdRecords(SignalDescriptor& data, SignalDescriptor& clock, SignalDescriptor& out) {
    const int32_t count = out.recordCount;
    if (count < 1) return 0;
    RecordReader<C> c(clock, count);
    C now;
    if (!c.next(now)) return 1;
    O h = O(0);
    bool failed = false;
    const int32_t r =
        forEachSpan<D, O>(data, out, 0, count, [&](const D* x, O* y, int32_t at, int32_t n) {
            for (int32_t k = 0; k < n && !failed; ++k) {
                if (at + k + 1 < count) {
                    C next;
                    if (!c.next(next)) {
                        failed = true;
                        return;
                    }
                    if (now < C(0) && next >= C(0)) {
                        if constexpr (sizeof(D) == 2 && sizeof(O) == 4)
                            h = static_cast<float>(realOf(x[k]));
                        else
                            h = x[k];
                    }
                    now = next;
                }
                y[k] = h;
            }
        });
    return (r != 0 || failed) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Two inputs of any time types, the shorter count first, then the longer
// input's tail.  `both(a, b)` gives an output sample from two real or 16-bit
// operands of the given types; `tail(x)` one from the longer input alone.

template <typename A, typename B, typename O, typename F>
int32_t pairs(SignalDescriptor& a, SignalDescriptor& b, SignalDescriptor& out, int32_t n, F f) {
    return forEachSpan2<A, B, O>(a, b, out, 0, n,
                                 [&](const A* x, const B* z, O* y, int32_t, int32_t k) {
                                     for (int32_t i = 0; i < k; ++i) y[i] = f(x[i], z[i]);
                                 });
}

template <typename X, typename O, typename F>
int32_t singles(SignalDescriptor& in, SignalDescriptor& out, int32_t first, int32_t count, F f) {
    return forEachSpan<X, O>(in, out, first, count, [&](const X* x, O* y, int32_t, int32_t k) {
        for (int32_t i = 0; i < k; ++i) y[i] = f(x[i]);
    });
}

}  // namespace

double roundToWhole(double x, char roundingMode) {
    if (roundingMode == 'e') {
        double frac = std::fmod(x, 1.0);
        if (frac < 0.0) frac += 1.0;
        if (frac != 0.5) return std::floor(x + 0.5);
        double m = std::fmod(x, 2.0);
        if (m < 0.0) m += 2.0;
        return m <= 1.0 ? std::ceil(x - 0.5) : std::floor(x + 0.5);
    }
    if (roundingMode == 'r') return std::floor(x + 0.5);
    return std::floor(x);
}

int32_t smoothCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const int32_t n = paramInt(block(), QF_P_SMOOTH_LENGTH);
    double* ring = smoothingRing();
    if (ring == nullptr || n < 1) return outOfMemory();
    if (kernelType(in) != out.recordType) return unknownDataType();
    if (out.recordType == kInteger16) return smoothRecords<int16_t>(in, out, n, ring);
    if (out.recordType == kReal32) return smoothRecords<float>(in, out, n, ring);
    return unknownDataType();
}

int32_t sampleHoldCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& data = input(0);
    SignalDescriptor& clock = input(1);
    SignalDescriptor& out = output();
    const int32_t td = kernelType(data), tc = kernelType(clock), to = out.recordType;
    if (!timeType(td) || !timeType(tc)) return unknownDataType();
    if (to != (td == tc ? td : kReal32)) return unknownDataType();
    const bool wordData = td == kInteger16, wordClock = tc == kInteger16;
    if (wordData && wordClock) return holdRecords<int16_t, int16_t, int16_t>(data, clock, out);
    if (wordData) return holdRecords<int16_t, float, float>(data, clock, out);
    if (wordClock) return holdRecords<float, int16_t, float>(data, clock, out);
    return holdRecords<float, float, float>(data, clock, out);
}

int32_t mapCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const double x1 = param(QF_P_MAP_X1), y1 = param(QF_P_MAP_Y1);
    const double x2 = param(QF_P_MAP_X2), y2 = param(QF_P_MAP_Y2);
    const double slope = x1 == x2 ? 1.0 : (y1 - y2) / (x1 - x2);
    const int32_t count = out.recordCount;
    if (kernelType(in) != out.recordType) return unknownDataType();
    if (out.recordType == kInteger16) {
        // Limits as 16-bit words (saturated), levels as whole numbers of 2^-15.
        const double w1 = realToQ15(x1, 's'), w2 = realToQ15(x2, 's');
        const double l1 = std::trunc(y1 * 32768.0), l2 = std::trunc(y2 * 32768.0);
        const char overflow = engineModes().overflow;
        return singles<int16_t, int16_t>(in, out, 0, count, [=](int16_t w) {
            const double x = w;
            const double v = x >= w1 ? l1 : x >= w2 ? std::trunc((x - w2) * slope) + l2 : l2;
            return storeQ15(v, overflow);
        });
    }
    if (out.recordType != kReal32) return unknownDataType();
    return singles<float, float>(in, out, 0, count, [=](float f) {
        const double x = f;
        const double v = x >= x1 ? y1 : x >= x2 ? (x - x2) * slope + y2 : y2;
        return static_cast<float>(v);
    });
}

int32_t diffEqCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const double b0 = param(QF_P_DIFFEQ_B0), b1 = param(QF_P_DIFFEQ_B1), b2 = param(QF_P_DIFFEQ_B2),
                 a1 = param(QF_P_DIFFEQ_A1), a2 = param(QF_P_DIFFEQ_A2);
    const int32_t count = out.recordCount;
    if (kernelType(in) != out.recordType) return unknownDataType();
    if (out.recordType == kInteger16) {
        // Coefficients and past outputs as (32, 15) words; inputs (16, 15).
        const int32_t c[5] = {fixed32(b0, 15), fixed32(b1, 15), fixed32(b2, 15), fixed32(a1, 15),
                              fixed32(a2, 15)};
        int32_t y1 = fixed32(param(QF_P_DIFFEQ_Y1), 15), y2 = fixed32(param(QF_P_DIFFEQ_Y2), 15);
        int16_t x1 = 0, x2 = 0;
        const char overflow = engineModes().overflow;
        return singles<int16_t, int16_t>(in, out, 0, count, [&](int16_t x) {
            int32_t t[5], s = 0;
            fxMul(&c[0], 32, 15, &x, 16, 15, &t[0], 32, 15);
            fxMul(&c[1], 32, 15, &x1, 16, 15, &t[1], 32, 15);
            fxMul(&c[2], 32, 15, &x2, 16, 15, &t[2], 32, 15);
            fxMul(&c[3], 32, 15, &y1, 32, 15, &t[3], 32, 15);
            fxMul(&c[4], 32, 15, &y2, 32, 15, &t[4], 32, 15);
            fxAdd(&t[0], 32, 15, &t[1], 32, 15, &s, 32, 15);
            fxAdd(&s, 32, 15, &t[2], 32, 15, &s, 32, 15);
            fxSub(&s, 32, 15, &t[3], 32, 15, &s, 32, 15);
            fxSub(&s, 32, 15, &t[4], 32, 15, &s, 32, 15);
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = s;
            return storeQ15(static_cast<double>(s), overflow);
        });
    }
    if (out.recordType != kReal32) return unknownDataType();
    const bool unstable = diffEqStability(a1, a2) == 'n';
    double y1 = param(QF_P_DIFFEQ_Y1), y2 = param(QF_P_DIFFEQ_Y2), x1 = 0.0, x2 = 0.0;
    return singles<float, float>(in, out, 0, count, [&](float xf) {
        const double x = xf;
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        if (unstable)
            y = std::clamp(y, -1e37, 1e37);
        else if (std::fabs(y) < 1e-36)
            y = 0.0;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return static_cast<float>(y);
    });
}

int32_t combinationCompute(int32_t, const ComputeArgs*) {
    const CommandBlock& b = block();
    SignalDescriptor& in1 = input(0);
    SignalDescriptor& out = output();
    const double a = param(QF_P_COMBINE_A), k = param(QF_P_COMBINE_B), c = param(QF_P_COMBINE_C);
    const int32_t t1 = kernelType(in1), to = out.recordType;
    if (!timeType(t1)) return unknownDataType();
    // (32, 19) coefficients of the 16-bit path.
    const int32_t a19 = fixed32(a, 19), k19 = fixed32(k, 19), c19 = fixed32(c, 19);
    auto words = [&](int16_t x, int16_t z) {
        int32_t p = 0, q = 0;
        int16_t y = 0;
        fxMul(&x, 16, 15, &a19, 32, 19, &p, 32, 19);
        fxMul(&z, 16, 15, &k19, 32, 19, &q, 32, 19);
        fxAdd(&p, 32, 19, &q, 32, 19, &p, 32, 19);
        fxAdd(&p, 32, 19, &c19, 32, 19, &y, 16, 15);
        return y;
    };
    auto reals = [=](auto x, auto z) {
        return static_cast<float>(a * realOf(x) + k * realOf(z) + c);
    };

    if (!combinationReads(b, QF_ENTRY_IN2)) {
        if (to != t1) return unknownDataType();
        const int32_t n = out.recordCount;
        if (to == kInteger16)
            return singles<int16_t, int16_t>(in1, out, 0, n, [&](int16_t x) {
                int32_t p = 0;
                int16_t y = 0;
                fxMul(&x, 16, 15, &a19, 32, 19, &p, 32, 19);
                fxAdd(&p, 32, 19, &c19, 32, 19, &y, 16, 15);
                return y;
            });
        return singles<float, float>(
            in1, out, 0, n, [&](float x) { return static_cast<float>(a * realOf(x) + c); });
    }

    SignalDescriptor& in2 = input(1);
    const int32_t t2 = kernelType(in2);
    if (!timeType(t2) || to != (t1 == t2 ? t1 : kReal32)) return unknownDataType();
    const int32_t n1 = in1.recordCount, n2 = in2.recordCount;
    const int32_t n = std::min(n1, n2), m = std::max(n1, n2);
    SignalDescriptor& longer = n1 >= n2 ? in1 : in2;
    const double kl = n1 >= n2 ? a : k;  // the longer input's coefficient
    int32_t r;
    if (t1 == kInteger16 && t2 == kInteger16)
        r = pairs<int16_t, int16_t, int16_t>(in1, in2, out, n, words);
    else if (t1 == kInteger16)
        r = pairs<int16_t, float, float>(in1, in2, out, n, reals);
    else if (t2 == kInteger16)
        r = pairs<float, int16_t, float>(in1, in2, out, n, reals);
    else
        r = pairs<float, float, float>(in1, in2, out, n, reals);
    if (r != 0) return 1;
    // Past the shorter input: the same types copy the longer one; mixed
    // types give its coefficient times it, plus c.
    if (t1 == t2) {
        if (to == kInteger16)
            return singles<int16_t, int16_t>(longer, out, n, m - n, [](int16_t x) { return x; });
        return singles<float, float>(longer, out, n, m - n, [](float x) { return x; });
    }
    auto tail = [=](auto x) { return static_cast<float>(kl * realOf(x) + c); };
    if (kernelType(longer) == kInteger16)
        return singles<int16_t, float>(longer, out, n, m - n, tail);
    return singles<float, float>(longer, out, n, m - n, tail);
}

int32_t productCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in1 = input(0);
    SignalDescriptor& in2 = input(1);
    SignalDescriptor& out = output();
    const double a = param(QF_P_PRODUCT_SCALE);
    const int32_t t1 = kernelType(in1), t2 = kernelType(in2), to = out.recordType;
    if (!timeType(t1) || !timeType(t2) || to != (t1 == t2 ? t1 : kReal32)) return unknownDataType();
    const int32_t n1 = in1.recordCount, n2 = in2.recordCount;
    const int32_t n = std::min(n1, n2), m = std::max(n1, n2);
    SignalDescriptor& longer = n1 >= n2 ? in1 : in2;
    const float scale = static_cast<float>(a / 32768.0);  // a / 32768 held as a float
    int32_t r;
    if (t1 == kInteger16 && t2 == kInteger16) {
        const int32_t a19 = fixed32(a, 19);
        r = pairs<int16_t, int16_t, int16_t>(in1, in2, out, n, [a19](int16_t x, int16_t z) {
            int32_t t = 0;
            int16_t y = 0;
            fxMul(&x, 16, 15, &a19, 32, 19, &t, 32, 19);
            fxMul(&t, 32, 19, &z, 16, 15, &y, 16, 15);
            return y;
        });
    } else if (t1 == kInteger16) {
        r = pairs<int16_t, float, float>(in1, in2, out, n, [scale](int16_t x, float z) {
            return static_cast<float>(x) * z * scale;
        });
    } else if (t2 == kInteger16) {
        r = pairs<float, int16_t, float>(in1, in2, out, n, [scale](float x, int16_t z) {
            return static_cast<float>(z) * x * scale;
        });
    } else {
        r = pairs<float, float, float>(
            in1, in2, out, n, [a](float x, float z) { return static_cast<float>(a * x * z); });
    }
    if (r != 0) return 1;
    // Past the shorter input the longer one is copied; 16-bit words going
    // into a REAL32 output become x a / 32768.
    if (kernelType(longer) == kReal32)
        return singles<float, float>(longer, out, n, m - n, [](float x) { return x; });
    if (to == kInteger16)
        return singles<int16_t, int16_t>(longer, out, n, m - n, [](int16_t x) { return x; });
    return singles<int16_t, float>(longer, out, n, m - n,
                                   [scale](int16_t x) { return static_cast<float>(x) * scale; });
}

int32_t logCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const double a = param(QF_P_LOG_SCALE);
    const double l = std::clamp(param(QF_P_LOG_ZERO), -32.0, 32.0);
    const int32_t t = kernelType(in), count = out.recordCount;
    if (out.recordType != kReal32) return unknownDataType();
    if (t == kInteger16)
        return singles<int16_t, float>(in, out, 0, count, [=](int16_t w) {
            if (w == 0) return static_cast<float>(l);
            return static_cast<float>(a * std::log10(std::fabs(realOf(w))));
        });
    if (t != kReal32) return unknownDataType();
    const double floor = std::pow(10.0, l);
    return singles<float, float>(in, out, 0, count, [=](float x) {
        const double m = std::fabs(static_cast<double>(x));
        return static_cast<float>(m <= floor ? a * l : a * std::log10(m));
    });
}

int32_t wholeCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    if (kernelType(in) != kReal32 || out.recordType != kReal32) return unknownDataType();
    const char mode = engineModes().rounding;
    return singles<float, float>(in, out, 0, out.recordCount, [mode](float x) {
        return static_cast<float>(roundToWhole(x, mode));
    });
}

}  // namespace qf::timeops
