// The handlers the eleven generators share: the parameter check and the
// output header with the generation's state; and their descriptions, with
// the dialogs, script lines and command-line options.
//
// Check codes (the host dialog words them): 60 delay < 0; 80 amplitude < 0;
// 81 INTEGER16 and amplitude > 1; 90 offset < 0; 91 INTEGER16 and
// amplitude + offset > 1; 100 rate <= 0; periodic generators: 110
// frequency <= 0, 111 frequency >= rate / 2; swept sine: 112 end frequency
// >= rate / 2.  Before these, a number the generator uses that is NaN or
// infinite: 101 rate, 82 amplitude, 92 offset, 113 frequencies, 120 phase,
// 121 ramp values, 122 decay; and noise that cannot be made: 130 uniform
// bounds not finite or lower > upper, 131 normal mean or variance not
// finite, or variance < 0.
//
// Script lines (after "%04d %s       " and the output's directory and name):
//   sine, square, triangular  fu pu fmt f fs N phi A offset
//   swept sine                fu pu fmt f1 f2 fs L sweeps phi A offset log
//   unit sample, unit step    fu fmt fs N delay A
//   window function           fu fmt window fs N
//   sinc                      fu fmt fs N centre
//   ramp                      fu fmt fs N start end
//   exponential               fu fmt fs N A decay
//   noise                     fu fmt fs N
// each followed by the output type, the noise type and its two parameters.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "core/host.h"
#include "core/log.h"
#include "core/pipeline.h"
#include "ops/generate/generators.h"
#include "signal/access.h"
#include "signal/descriptor.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf::gen {

namespace {

constexpr double kTwoPi = 2.0 * M_PI;

// The output's remark, named after the generator.
std::string generatorRemark(int32_t code, const GeneratorParams& p) {
    switch (code) {
        case QF_OP_SINE:
            return "Sine Wave";
        case QF_OP_SWEPT_SINE:
            return std::string("Swept Sine Wave - ") + (p.sweepLog ? "log type" : "linear type");
        case QF_OP_SQUARE:
            return "Square Wave";
        case QF_OP_TRIANGLE:
            return "Triangular Wave";
        case QF_OP_UNIT_SAMPLE:
            return "Impulse";
        case QF_OP_UNIT_STEP:
            return "Step Function";
        case QF_OP_WINDOW_FUNCTION: {
            const char* w = windowName(p.windowNumber);
            return std::string("Window Function - ") + (w ? w : "Unknown");
        }
        case QF_OP_SINC:
            return "Sinc Function";
        case QF_OP_RAMP:
            return "Ramp Function";
        case QF_OP_EXP_FUNCTION:
            return "Exponential Function";
        case QF_OP_NOISE: {
            const char* n = noiseTypeName(p.noiseType);
            return std::string("Noise Function - ") + (n ? n : "Unknown");
        }
        default:
            return "";
    }
}

// The state of the generation in progress.
struct GenerationRun {
    static constexpr Lifetime kLifetime = Lifetime::Start;
    GeneratorState state;
};

}  // namespace

// ---------------------------------------------------------------------------
// Dialog and check

namespace {

// The first number `code` uses that is NaN or infinite, or noise that
// cannot be made: its check code, else 0.  Fields a generator does not use
// are not looked at.
int32_t unusableNumber(int32_t code, const GeneratorParams& p) {
    auto bad = [](double x) { return !std::isfinite(x); };
    const bool periodic = isPeriodicGenerator(code);
    const bool amplitude = periodic || code == QF_OP_UNIT_SAMPLE || code == QF_OP_UNIT_STEP ||
                           code == QF_OP_EXP_FUNCTION;
    if (bad(p.rate)) return 101;
    if (amplitude && bad(p.amplitude)) return 82;
    if (periodic && bad(p.offset)) return 92;
    if (periodic && (bad(p.frequency) || (code == QF_OP_SWEPT_SINE && bad(p.endFrequency))))
        return 113;
    if (periodic && bad(p.phase)) return 120;
    if (code == QF_OP_RAMP && (bad(p.rampStart) || bad(p.rampEnd))) return 121;
    if (code == QF_OP_EXP_FUNCTION && bad(p.decay)) return 122;
    const double first = p.noiseParam1[p.noiseType & 3], second = p.noiseParam2[p.noiseType & 3];
    if (p.noiseType == kUniformNoise && (bad(first) || bad(second) || first > second)) return 130;
    if (p.noiseType == kNormalNoise && (bad(first) || bad(second) || second < 0)) return 131;
    return 0;
}

}  // namespace

int32_t generatorCheckParams(int32_t) {
    CommandBlock& b = block();
    const GeneratorParams& p = generatorParams(b);
    if (const int32_t r = unusableNumber(b.opCode, p)) return r;
    const bool int16 = p.outputType == kOutputInteger16;
    if (p.delay < 0) return 60;
    if (p.amplitude < 0) return 80;
    if (int16 && p.amplitude > 1) return 81;
    if (p.offset < 0) return 90;
    if (int16 && p.amplitude + p.offset > 1) return 91;
    if (p.rate <= 0) return 100;
    if (isPeriodicGenerator(b.opCode)) {
        if (p.frequency <= 0) return 110;
        if (p.frequency >= p.rate / 2) return 111;
    }
    if (b.opCode == QF_OP_SWEPT_SINE && p.endFrequency >= p.rate / 2) return 112;
    return 0;
}

// ---------------------------------------------------------------------------
// Output header

int32_t generatorPrepareOutput(int32_t) {
    CommandBlock& b = block();
    GeneratorParams& p = generatorParams(b);
    const int32_t code = b.opCode;
    SignalDescriptor& out = blockDescriptor(b, 2);
    const std::string remark = generatorRemark(code, p);
    setRemark(out, remark);

    if (code == QF_OP_SWEPT_SINE) {
        const int64_t count = static_cast<int64_t>(p.sweepLength) * p.sweepCount;
        if (count < 0 || count > INT32_MAX) {
            emitMsg(QF_MSG_ERROR, "Cannot generate %d sweeps of %d samples.", p.sweepCount,
                    p.sweepLength);
            return 1;
        }
        p.sampleCount = static_cast<int32_t>(count);
    }
    // Only 16-bit and float signals are generated; the output is refused
    // the way the file layer refuses a type it cannot write.
    if (p.outputType != kOutputInteger16 && p.outputType != kOutputReal32) {
        if (const char* name = recordTypeName(p.outputType))
            logPrintf("Unsupported type %s.  ", name);
        else
            logPrintf("Unsupported type %d.  ", p.outputType);
        return 1;
    }
    const bool hz = p.frequencyUnit == 'h';
    out.signalFrequency =
        isPeriodicGenerator(code) ? (hz ? p.frequency : p.frequency / kTwoPi) : 0.0;
    out.samplingRate = hz ? p.rate : kTwoPi * p.rate;
    out.recordType = p.outputType;
    out.recordCount = p.sampleCount;

    GeneratorState& state = familyState<GenerationRun>().state;
    state = GeneratorState{};
    startGeneration(state, code, p);
    if (Run* run = currentRun()) run->args.buffer = &state;
    EngineRuntime& rt = runtime();
    fmt(rt.description, sizeof rt.description, "[%s] = %s of %lg Hz at %lg Hz sampling rate.",
        b.out.n, remark.c_str(), p.frequency, p.rate);
    return 0;
}

int32_t generatorRelease(int32_t) {
    familyState<GenerationRun>().state = GeneratorState{};
    return 0;
}

}  // namespace qf::gen
