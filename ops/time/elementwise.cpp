// Sample-by-sample arithmetic with a constant and the elementary functions.
//
// Constant arithmetic (3015 add, 3025 negate and add, 3035 multiply):
//   y = f(c, x): c + x, c - x, c * x.  INTEGER16 samples go through the
//   fixed-point primitives with c as a (32, 15) word (c * 32768 truncated);
//   the results truncate and wrap.  REAL32 samples are computed in double.
// Elementary functions (3040 1/x, 3050 x^2, 3110 sin, 3120 cos, 3130 tan,
// 3200 exp) with outer scale A and inner scale a (1.0 for 3040 and 3050):
//   REAL32     y = A * g(a * x)
//   INTEGER16  y = 32768 * A * g(x * alpha), alpha = a / 32768 as a float,
//              stored by the overflow mode (saturate or keep the low bits).
// The reciprocal of 0 is +-FLT_MAX with the sign of the last nonzero
// argument of this run (positive before any).
#include <cmath>
#include <limits>

#include "core/engine.h"
#include "core/frame.h"
#include "ops/time/kernels.h"
#include "signal/fixedpoint.h"

namespace qf::timeops {

namespace {

int32_t fixedMul(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r, int wr,
                 int fr) {
    fxMul(a, wa, fa, b, wb, fb, r, wr, fr);
    return 0;
}

double floatMul(double c, double x) {
    return c * x;
}

constexpr double kFloatMax = std::numeric_limits<float>::max();

double reciprocalOf(double x) {
    return x == 0.0 ? kFloatMax : 1.0 / x;
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

// The sign of the last nonzero argument the reciprocal saw, in this run or
// an earlier one; the reciprocal of zero is the largest float of that sign.
double g_reciprocalSign = 1.0;

// g applied to one argument.
struct Function {
    double (*g)(double);
    bool reciprocal;
    double operator()(double arg) {
        if (reciprocal) {
            if (arg == 0.0) return g_reciprocalSign * kFloatMax;
            g_reciprocalSign = arg < 0.0 ? -1.0 : 1.0;
        }
        return g(arg);
    }
};

}  // namespace

void resetReciprocalSign() {
    g_reciprocalSign = 1.0;
}

ComputeArgs elementFunctions(int32_t code) {
    ComputeArgs args;
    switch (code) {
        case 3015:
            args.fixedFn = fixedAddElement;
            args.floatBinary = floatAddElement;
            break;
        case 3025:
            args.fixedFn = fixedSubElement;
            args.floatBinary = floatSubElement;
            break;
        case 3035:
            args.fixedFn = fixedMul;
            args.floatBinary = floatMul;
            break;
        case 3040:
            args.floatUnary = reciprocalOf;
            break;
        case 3050:
            args.floatUnary = squareOf;
            break;
        case 3110:
            args.floatUnary = sineOf;
            break;
        case 3120:
            args.floatUnary = cosineOf;
            break;
        case 3130:
            args.floatUnary = tangentOf;
            break;
        case 3200:
            args.floatUnary = exponentialOf;
            break;
        default:
            break;
    }
    return args;
}

int32_t constantCompute(int32_t, const ComputeArgs* args) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const double c = paramDouble(block(), kP);
    const int32_t type = out.recordType;
    if (kernelType(in) != type || (type != kInteger16 && type != kReal32)) return unknownDataType();
    if (args == nullptr || args->fixedFn == nullptr || args->floatBinary == nullptr) return 1;
    int32_t c32 = 0;  // c as a (32, 15) word
    fxStore(FxOperand{&c32, 32, 15}, c * 32768.0);
    for (int32_t i = 0; i < out.recordCount; ++i) {
        if (type == kInteger16) {
            const int16_t* x = recordAt<int16_t>(in, i);
            int16_t* y = x ? recordAt<int16_t>(out, i) : nullptr;
            if (y == nullptr) return 1;
            args->fixedFn(&c32, 32, 15, x, 16, 15, y, 16, 15);
        } else {
            const float* x = recordAt<float>(in, i);
            float* y = x ? recordAt<float>(out, i) : nullptr;
            if (y == nullptr) return 1;
            *y = static_cast<float>(args->floatBinary(c, *x));
        }
    }
    return 0;
}

int32_t functionCompute(int32_t, const ComputeArgs* args) {
    CommandBlock& b = block();
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const int32_t code = b.opCode;
    const int32_t type = out.recordType;
    if (kernelType(in) != type || (type != kInteger16 && type != kReal32)) return unknownDataType();
    if (args == nullptr || args->floatUnary == nullptr) return 1;
    const double A = paramDouble(b, kP);
    const double a = (code == 3040 || code == 3050) ? 1.0 : paramDouble(b, kP + 8);
    Function g{args->floatUnary, code == 3040};
    const float alpha = static_cast<float>(a / 32768.0);
    const char overflow = status().overflowMode;
    for (int32_t i = 0; i < out.recordCount; ++i) {
        if (type == kInteger16) {
            const int16_t* x = recordAt<int16_t>(in, i);
            int16_t* y = x ? recordAt<int16_t>(out, i) : nullptr;
            if (y == nullptr) return 1;
            const float arg = static_cast<float>(*x) * alpha;
            *y = storeQ15(32768.0 * A * g(arg), overflow);
        } else {
            const float* x = recordAt<float>(in, i);
            float* y = x ? recordAt<float>(out, i) : nullptr;
            if (y == nullptr) return 1;
            *y = static_cast<float>(A * g(a * static_cast<double>(*x)));
        }
    }
    return 0;
}

}  // namespace qf::timeops
