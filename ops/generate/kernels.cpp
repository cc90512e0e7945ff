// The generator kernels, their value functions, the swept sine's phase
// accumulator and the noise sources.
//
//   swept sine  a = f1, b = f2 - f1; log: b /= ln L, a = f1 - b; linear:
//               b /= 2L; a, b *= 2 pi / fs.  Sample k = 1 ... L of a sweep:
//               x = (t b + a) k + psi with t = ln k (log) or k (linear), so
//               the frequency runs from f1 at k = 1 to f2 at k = L.
//   uniform     lo + r ((hi - lo) 3.05185e-5)
//   normal      pairs: rho = sqrt((ln 32768 - ln(r1 + 1)) 2 var),
//               theta = r2 * 0.0001917475985 (2 pi / 32768);
//               rho cos theta + mean, then rho sin theta + mean
#include <cmath>
#include <memory>
#include <new>

#include "core/engine.h"
#include "core/host.h"
#include "core/pipeline.h"
#include "ops/generate/generators.h"
#include "ops/spectral/fft_core.h"
#include "signal/access.h"
#include "signal/descriptor.h"
#include "signal/fixedpoint.h"

namespace qf::gen {

namespace {

constexpr double kTwoPi = 2.0 * M_PI;
// The square and triangle use these forms of 2 pi, pi and 3 pi as they
// stand, so their edges fall where they always have.
constexpr double kSquarePeriod = 6.283185307179585;
constexpr double kSquarePeriodFix = 6.283185307179586;
constexpr double kHalfPeriod = 3.141592653589593;
constexpr double kThreeHalfPeriods = 9.424777960769179;
constexpr double kTwoOverPi = 0.6366197723675814;
constexpr double kFloatMin = 1.1754943508222875e-38;  // smallest normal float

// x reduced to one period [0, 2 pi) the way square and triangle do it.
double squarePhase(double x) {
    double y = std::fmod(x, kSquarePeriod);
    if (y < 0) y += kSquarePeriodFix;
    return y;
}

GeneratorState::ValueFn valueFunction(int32_t code) {
    switch (code) {
        case QF_OP_SINE:
            return sineValue;
        case QF_OP_SWEPT_SINE:
            return sweptSineValue;
        case QF_OP_SQUARE:
            return squareValue;
        case QF_OP_TRIANGLE:
            return triangleValue;
        case QF_OP_UNIT_SAMPLE:
            return unitSampleValue;
        case QF_OP_UNIT_STEP:
            return unitStepValue;
        case QF_OP_WINDOW_FUNCTION:
            return windowValue;
        case QF_OP_SINC:
            return sincValue;
        case QF_OP_RAMP:
            return rampValue;
        case QF_OP_EXP_FUNCTION:
            return expValue;
        default:
            return nullptr;
    }
}

// The generation state execute hands to the kernels.
GeneratorState* stateOf(const ComputeArgs* args) {
    return args ? static_cast<GeneratorState*>(args->buffer) : nullptr;
}

// A 16-bit word of v: trunc(v * 32767) with the given overflow handling.
int16_t wordOf(double v, char overflowMode) {
    const double u = v * 32767.0;
    // Saturating, anything not at or above -32768 (a NaN too) is -32768.
    if (overflowMode == 's' && !(u >= -32768.0)) return -32768;
    return storeQ15(u, overflowMode);
}

// Writes value(i) as record i of every output record, span by span: REAL32
// as it is, INTEGER16 by wordOf.  1 when a window could not be moved (the
// output is then closed).
template <typename Value>
int32_t generate(SignalDescriptor& out, char overflowMode, Value value) {
    if (out.recordType == kOutputReal32)
        return forEachOutputSpan<float>(out, 0, out.recordCount,
                                        [&](float* y, int32_t first, int32_t n) {
                                            for (int32_t k = 0; k < n; ++k)
                                                y[k] = static_cast<float>(value(first + k));
                                        });
    if (out.recordType == kOutputInteger16)
        return forEachOutputSpan<int16_t>(out, 0, out.recordCount,
                                          [&](int16_t* y, int32_t first, int32_t n) {
                                              for (int32_t k = 0; k < n; ++k)
                                                  y[k] = wordOf(value(first + k), overflowMode);
                                          });
    return 0;
}

}  // namespace

const char* noiseTypeName(int32_t type) {
    static const char* const kNames[kNoiseTypeCount] = {"No noise", "Uniform", "Normal", "Poisson"};
    return type >= 0 && type < kNoiseTypeCount ? kNames[type] : nullptr;
}

bool isPeriodicGenerator(int32_t code) {
    return code == QF_OP_SINE || code == QF_OP_SWEPT_SINE || code == QF_OP_SQUARE ||
           code == QF_OP_TRIANGLE;
}

int32_t nextRandom() {
    uint32_t& x = runtime().randomState;
    x = x * 214013u + 2531011u;
    return static_cast<int32_t>((x >> 16) & 0x7FFFu);
}

void startGeneration(GeneratorState& s, int32_t code, const GeneratorParams& p) {
    s = GeneratorState{};
    s.params = &p;
    s.code = code;
    s.value = valueFunction(code);
    s.omega0 = kTwoPi * p.frequency / p.rate;
}

void startSweep(GeneratorState& s) {
    const GeneratorParams& p = *s.params;
    const double phi = p.phaseUnit == 'd' ? p.phase * M_PI / 180.0 : p.phase;
    s.sweepPsi = -phi;
    double a = p.frequency;
    double b = p.endFrequency - p.frequency;
    if (p.sweepLog != 0) {
        b = b / std::log(static_cast<double>(p.sweepLength));
        a = p.frequency - b;
    } else {
        b = b / (2.0 * p.sweepLength);
    }
    s.sweepA = a * (kTwoPi / p.rate);
    s.sweepB = b * (kTwoPi / p.rate);
    s.sweepK = 1;
}

double noise(GeneratorState& s) {
    const GeneratorParams& p = *s.params;
    switch (p.noiseType) {
        case kUniformNoise: {
            const double lo = p.noiseParam1[kUniformNoise];
            const double hi = p.noiseParam2[kUniformNoise];
            const int32_t r = nextRandom();
            return lo + r * ((hi - lo) * 3.05185e-5);
        }
        case kNormalNoise: {
            const double mean = p.noiseParam1[kNormalNoise];
            if (s.pairOpen) {
                s.pairOpen = false;
                return s.pairRadius * std::sin(s.pairAngle) + mean;
            }
            const int32_t r1 = nextRandom();
            const int32_t r2 = nextRandom();
            const double var = p.noiseParam2[kNormalNoise];
            s.pairRadius = std::sqrt((std::log(32768.0) - std::log(r1 + 1.0)) * 2.0 * var);
            s.pairAngle = r2 * 0.0001917475985;
            s.pairOpen = true;
            return s.pairRadius * std::cos(s.pairAngle) + mean;
        }
        default:
            return 0.0;
    }
}

// ---------------------------------------------------------------------------
// Value functions

double sineValue(GeneratorState&, double x) {
    return std::sin(x);
}

double sweptSineValue(GeneratorState& s, double) {
    const int32_t k = s.sweepK;
    const double t = s.params->sweepLog != 0 ? std::log(static_cast<double>(k)) : k;
    const double x = (t * s.sweepB + s.sweepA) * k + s.sweepPsi;
    s.sweepK = k + 1;
    if (s.sweepK > s.params->sweepLength) {
        // One sweep ended: the next starts where this one's phase stands.
        s.sweepK = 1;
        s.sweepPsi = std::fmod(x, kTwoPi);
        if (s.sweepA < 0) s.sweepPsi = s.sweepPsi - 2.0 * s.sweepA;
    }
    return std::sin(x);
}

double squareValue(GeneratorState&, double x) {
    return squarePhase(x) < kHalfPeriod ? 1.0 : -1.0;
}

double triangleValue(GeneratorState&, double x) {
    const double y = squarePhase(x);
    if (2.0 * y < kHalfPeriod) return kTwoOverPi * y;
    if (2.0 * y < kThreeHalfPeriods) return 2.0 - kTwoOverPi * y;
    return kTwoOverPi * y - 4.0;
}

double unitSampleValue(GeneratorState& s, double i) {
    return i == s.params->delay ? s.params->amplitude : 0.0;
}

double unitStepValue(GeneratorState& s, double i) {
    return i >= s.params->delay ? s.params->amplitude : 0.0;
}

double windowValue(GeneratorState& s, double) {
    return s.window ? s.window[s.sample] : 0.0;
}

double sincValue(GeneratorState& s, double i) {
    const double center = s.params->sincCenter;
    if (i == center) return 1.0;
    const double z = (i - center) * s.step;
    return std::sin(z) / z;
}

double rampValue(GeneratorState& s, double i) {
    return s.params->rampStart + i * s.step;
}

double expValue(GeneratorState& s, double i) {
    double e = std::exp(i * s.step);
    if (e < kFloatMin) e = 0.0;
    return e * s.params->amplitude;
}

// ---------------------------------------------------------------------------
// Kernels: record i of the output (descriptor slot 2) for i = 0 ... N-1.

int32_t periodicCompute(int32_t, const ComputeArgs* args) {
    GeneratorState* state = stateOf(args);
    if (state == nullptr) return 1;
    GeneratorState& s = *state;
    const GeneratorParams& p = *s.params;
    if (s.value == nullptr) return 1;
    SignalDescriptor& out = blockDescriptor(block(), 2);
    const char overflow = status().overflowMode;
    const double phi = p.phaseUnit == 'd' ? p.phase * M_PI / 180.0 : p.phase;
    s.pairOpen = false;
    if (s.code == QF_OP_SWEPT_SINE) startSweep(s);
    return generate(out, overflow, [&](int32_t i) {
        s.sample = i;
        const double x = i * s.omega0 - phi;
        double v = s.value(s, x) * p.amplitude;
        v = v + noise(s);
        return v + p.offset;
    });
}

int32_t aperiodicCompute(int32_t, const ComputeArgs* args) {
    GeneratorState* state = stateOf(args);
    if (state == nullptr) return 1;
    GeneratorState& s = *state;
    const GeneratorParams& p = *s.params;
    if (s.value == nullptr) return 1;
    SignalDescriptor& out = blockDescriptor(block(), 2);
    const int32_t n = out.recordCount;
    s.pairOpen = false;
    std::unique_ptr<double[]> window;
    switch (s.code) {
        case QF_OP_WINDOW_FUNCTION:
            window.reset(new (std::nothrow) double[n > 0 ? n : 1]);
            if (!window) {
                emitText(QF_MSG_ERROR, kOutOfMemoryText);
                return 1;
            }
            if (n > 0) computeWindow(p.windowNumber, n, window.get());
            s.window = window.get();
            break;
        case QF_OP_SINC:
            s.step = 500.0 * M_PI / p.rate;
            break;
        case QF_OP_RAMP:
            s.step = (p.rampEnd - p.rampStart) / n;
            break;
        case QF_OP_EXP_FUNCTION:
            s.step = -p.decay;
            break;
        default:
            break;
    }
    const int32_t result = generate(out, 's', [&](int32_t i) {
        s.sample = i;
        const double v = s.value(s, i);
        return v + noise(s);
    });
    s.window = nullptr;
    return result;
}

int32_t noiseCompute(int32_t, const ComputeArgs* args) {
    GeneratorState* state = stateOf(args);
    if (state == nullptr) return 1;
    GeneratorState& s = *state;
    SignalDescriptor& out = blockDescriptor(block(), 2);
    s.pairOpen = false;
    return generate(out, 's', [&](int32_t i) {
        s.sample = i;
        return noise(s);
    });
}

}  // namespace qf::gen
