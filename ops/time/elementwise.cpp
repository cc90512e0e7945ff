// Sample-by-sample arithmetic: two signals, a signal and a constant, and the
// elementary functions.
//
// Two signals (3010 x + y, 3020 x - y): 16-bit words through the fixed-point
//   primitives with (16, 15) operands; reals in double.  Mixed types read the
//   16-bit operand as w * 2^-15 and give REAL32.  Past the shorter input the
//   longer one's samples are copied (converted the same way).
// Constant arithmetic (3015 add, 3025 negate and add, 3035 multiply):
//   y = f(c, x): c + x, c - x, c * x.  INTEGER16 samples go through the
//   fixed-point primitives with c as a (32, 15) word (c * 32768 truncated);
//   the results truncate and wrap.  REAL32 samples are computed in double.
// Elementary functions (3040 1/x, 3050 x^2, 3110 sin, 3120 cos, 3130 tan,
// 3200 exp) with outer scale A and inner scale a (1.0 for 3040 and 3050):
//   REAL32     y = A * g(a * x)
//   INTEGER16  y = 32768 * A * g(x * alpha), alpha = a / 32768 as a float,
//              stored by the overflow mode (saturate or keep the low bits).
#include <cmath>
#include <limits>

#include "core/engine.h"
#include "core/pipeline.h"
#include "ops/time/kernels.h"
#include "signal/fixedpoint.h"

namespace qf::timeops {

namespace {

constexpr double kFloatMax = std::numeric_limits<float>::max();

// The sign the reciprocal gives 1/0: that of the last nonzero argument.
struct ReciprocalSign {
    static constexpr Lifetime kLifetime = Lifetime::Load;
    double sign = 1.0;
};

// Checks the run's types: both INTEGER16 or both REAL32 (as the kernel reads them).
bool sameTimeType(const SignalDescriptor& in, const SignalDescriptor& out) {
    const int32_t t = out.recordType;
    return kernelType(in) == t && (t == kInteger16 || t == kReal32);
}

// The parameter i of the running operation's description (fallback when
// it has fewer).
double describedDouble(std::size_t i, double fallback) {
    const Run* run = currentRun();
    if (run == nullptr || i >= run->description.params.size()) return fallback;
    return paramDouble(run->block, run->description.params[i].info.offset);
}

}  // namespace

void Add::fixed(const void* a, int wa, const void* b, int wb, int16_t* r) {
    fxAdd(a, wa, 15, b, wb, 15, r, 16, 15);
}
void Subtract::fixed(const void* a, int wa, const void* b, int wb, int16_t* r) {
    fxSub(a, wa, 15, b, wb, 15, r, 16, 15);
}
void Multiply::fixed(const void* a, int wa, const void* b, int wb, int16_t* r) {
    fxMul(a, wa, 15, b, wb, 15, r, 16, 15);
}

double reciprocalOf(double x) {
    double& sign = familyState<ReciprocalSign>().sign;
    if (x == 0.0) return sign * kFloatMax;
    sign = x < 0.0 ? -1.0 : 1.0;
    return 1.0 / x;
}
double squareOf(double x) {
    return x * x;
}
double sineOf(double x) {
    return std::sin(x);
}
double cosineOf(double x) {
    return std::cos(x);
}
double tangentOf(double x) {
    return std::tan(x);
}
double exponentialOf(double x) {
    return std::exp(x);
}

// ---------------------------------------------------------------------------
// Two signals

template <typename Op>
int32_t twoInputCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& a = input(0);
    SignalDescriptor& b = input(1);
    SignalDescriptor& out = output();
    const int32_t t1 = kernelType(a), t2 = kernelType(b);
    const int32_t na = a.recordCount, nb = b.recordCount;
    const int32_t n = na < nb ? na : nb;
    const int32_t m = na < nb ? nb : na;
    SignalDescriptor& longer = na >= nb ? a : b;
    const int32_t tl = na >= nb ? t1 : t2;
    const bool known = (t1 == kInteger16 || t1 == kReal32) && (t2 == kInteger16 || t2 == kReal32);
    if (!known) return unknownDataType();
    if (t1 == kInteger16 && t2 == kInteger16) {
        if (out.recordType != kInteger16) return unknownDataType();
        if (forEachSpan2<int16_t, int16_t, int16_t>(
                a, b, out, 0, n,
                [](const int16_t* x, const int16_t* y, int16_t* r, int32_t, int32_t k) {
                    for (int32_t i = 0; i < k; ++i) Op::fixed(&x[i], 16, &y[i], 16, &r[i]);
                }) != 0)
            return 1;
        return forEachSpan<int16_t, int16_t>(longer, out, n, m - n,
                                             [](const int16_t* x, int16_t* y, int32_t, int32_t k) {
                                                 for (int32_t i = 0; i < k; ++i) y[i] = x[i];
                                             });
    }
    if (out.recordType != kReal32) return unknownDataType();
    // 16-bit words are Q15 fractions: exactly 2^-15 each.
    auto real = [](auto v) {
        if constexpr (sizeof(v) == 2)
            return q15ToReal(v);
        else
            return static_cast<double>(v);
    };
    auto both = [&](auto xTag, auto yTag) {
        using X = decltype(xTag);
        using Y = decltype(yTag);
        return forEachSpan2<X, Y, float>(
            a, b, out, 0, n, [&](const X* x, const Y* y, float* r, int32_t, int32_t k) {
                for (int32_t i = 0; i < k; ++i)
                    r[i] = static_cast<float>(Op::real(real(x[i]), real(y[i])));
            });
    };
    int32_t r;
    if (t1 == kReal32 && t2 == kReal32)
        r = both(float{}, float{});
    else if (t1 == kInteger16)
        r = both(int16_t{}, float{});
    else
        r = both(float{}, int16_t{});
    if (r != 0) return 1;
    auto tail = [&](auto tag) {
        using X = decltype(tag);
        return forEachSpan<X, float>(longer, out, n, m - n,
                                     [&](const X* x, float* y, int32_t, int32_t k) {
                                         for (int32_t i = 0; i < k; ++i)
                                             y[i] = static_cast<float>(real(x[i]));
                                     });
    };
    return tl == kInteger16 ? tail(int16_t{}) : tail(float{});
}

// ---------------------------------------------------------------------------
// A constant

template <typename Op>
int32_t constantCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    if (!sameTimeType(in, out)) return unknownDataType();
    const double c = describedDouble(0, 0.0);
    const int32_t count = out.recordCount;
    if (out.recordType == kInteger16) {
        int32_t c32 = 0;  // c as a (32, 15) word
        fxStore(FxOperand{&c32, 32, 15}, c * 32768.0);
        return forEachSpan<int16_t, int16_t>(
            in, out, 0, count, [c32](const int16_t* x, int16_t* y, int32_t, int32_t n) {
                for (int32_t i = 0; i < n; ++i) Op::fixed(&c32, 32, &x[i], 16, &y[i]);
            });
    }
    return forEachSpan<float, float>(
        in, out, 0, count, [c](const float* x, float* y, int32_t, int32_t n) {
            for (int32_t i = 0; i < n; ++i)
                y[i] = static_cast<float>(Op::real(c, static_cast<double>(x[i])));
        });
}

// ---------------------------------------------------------------------------
// Elementary functions

template <double (*G)(double)>
int32_t functionCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    if (!sameTimeType(in, out)) return unknownDataType();
    const double A = describedDouble(0, 1.0);
    const double a = describedDouble(1, 1.0);
    const int32_t count = out.recordCount;
    if (out.recordType == kInteger16) {
        const float alpha = static_cast<float>(a / 32768.0);
        const char overflow = status().overflowMode;
        return forEachSpan<int16_t, int16_t>(
            in, out, 0, count, [=](const int16_t* x, int16_t* y, int32_t, int32_t n) {
                for (int32_t i = 0; i < n; ++i) {
                    const float arg = static_cast<float>(x[i]) * alpha;
                    y[i] = storeQ15(32768.0 * A * G(arg), overflow);
                }
            });
    }
    return forEachSpan<float, float>(
        in, out, 0, count, [=](const float* x, float* y, int32_t, int32_t n) {
            for (int32_t i = 0; i < n; ++i)
                y[i] = static_cast<float>(A * G(a * static_cast<double>(x[i])));
        });
}

template int32_t twoInputCompute<Add>(int32_t, const ComputeArgs*);
template int32_t twoInputCompute<Subtract>(int32_t, const ComputeArgs*);
template int32_t constantCompute<Add>(int32_t, const ComputeArgs*);
template int32_t constantCompute<Subtract>(int32_t, const ComputeArgs*);
template int32_t constantCompute<Multiply>(int32_t, const ComputeArgs*);
template int32_t functionCompute<reciprocalOf>(int32_t, const ComputeArgs*);
template int32_t functionCompute<squareOf>(int32_t, const ComputeArgs*);
template int32_t functionCompute<sineOf>(int32_t, const ComputeArgs*);
template int32_t functionCompute<cosineOf>(int32_t, const ComputeArgs*);
template int32_t functionCompute<tangentOf>(int32_t, const ComputeArgs*);
template int32_t functionCompute<exponentialOf>(int32_t, const ComputeArgs*);

}  // namespace qf::timeops
