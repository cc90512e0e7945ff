// The handlers the eleven generators share: the parameter dialog, the
// parameter check, the execute frame around the kernels, and the script
// lines.
//
// Check codes (the host dialog words them): 60 delay < 0; 80 amplitude < 0;
// 81 INTEGER16 and amplitude > 1; 90 offset < 0; 91 INTEGER16 and
// amplitude + offset > 1; 100 rate <= 0; periodic generators: 110
// frequency <= 0, 111 frequency >= rate / 2; swept sine: 112 end frequency
// >= rate / 2.
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
#include "core/op_names.h"
#include "ops/generate/generators.h"
#include "script/script_text.h"
#include "signal/access.h"
#include "signal/descriptor.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf::gen {

namespace {

constexpr double kTwoPi = 2.0 * M_PI;
constexpr int32_t kGeneratorBufferBytes = 32768;

// The dialog and its title for each generator.
struct GeneratorInfo {
    int32_t code;
    QfHost_getSweptSineParams HostInterface::*dialog;
    const char* title;
};

const GeneratorInfo kGenerators[] = {
    {QF_OP_SINE, &HostInterface::getSweptSineParams, "Generating Sinusoidal Wave"},
    {QF_OP_SWEPT_SINE, &HostInterface::getSweptSineParams, "Generating Swept Sine Wave"},
    {QF_OP_SQUARE, &HostInterface::getSweptSineParams, "Generating Square Wave"},
    {QF_OP_TRIANGLE, &HostInterface::getSweptSineParams, "Generating Triangular Wave"},
    {QF_OP_UNIT_SAMPLE, &HostInterface::getImpuParams, "Generating Unit Sample"},
    {QF_OP_UNIT_STEP, &HostInterface::getImpuParams, "Generating Unit Step"},
    {QF_OP_WINDOW_FUNCTION, &HostInterface::getWinFunctParams, "Generating Window Function"},
    {QF_OP_SINC, &HostInterface::getSincFunctParams, "Generating Sinc Function"},
    {QF_OP_RAMP, &HostInterface::getRampFunctParams, "Generating Ramp Function"},
    {QF_OP_EXP_FUNCTION, &HostInterface::getExpFunctParams, "Generating Exp. Function"},
    {QF_OP_NOISE, &HostInterface::getNoiseFunctParams, "Generating Noise Function"},
};

const GeneratorInfo* generatorInfo(int32_t code) {
    for (const GeneratorInfo& g : kGenerators)
        if (g.code == code) return &g;
    return nullptr;
}

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

// A unit or format character as one visible script character: a blank or
// control character would end the field, so it is written as '-' (which,
// like any letter other than 'h' or 'd', means the other unit).
char scriptChar(char c) {
    return (c > ' ' && c < 127) ? c : '-';
}

}  // namespace

// ---------------------------------------------------------------------------
// Dialog and check

int32_t generatorGetParams(int32_t, CheckParamsFn check) {
    CommandBlock& b = block();
    if (b.out.n[0] == '\0') std::strcpy(b.out.n, "output.tim");
    stdGetCurrentDir(b.out.p, sizeof b.out.p);
    const GeneratorInfo* g = generatorInfo(b.opCode);
    if (g == nullptr) return 1;
    QfHost_getSweptSineParams dialog = host().*(g->dialog);
    if (dialog == nullptr) return 1;
    const int32_t r = dialog(g->title, check);
    if (r != 0) return r;
    // Choosing no noise in the noise dialog leaves nothing to generate.
    if (b.opCode == QF_OP_NOISE && generatorParams(b).noiseType == kNoNoise) return 1;
    return 0;
}

int32_t generatorCheckParams(int32_t) {
    CommandBlock& b = block();
    const GeneratorParams& p = generatorParams(b);
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
// Execute

int32_t generatorExecute(int32_t mode, OperationRecord* record) {
    CommandBlock& b = block();
    GeneratorParams& p = generatorParams(b);
    const int32_t code = b.opCode;
    SignalDescriptor& out = blockDescriptor(b, 2);
    std::memset(&out, 0, sizeof out);

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

    StatusRecord& st = status();
    st.busy = 'y';
    if (sigOpenWrite(out, b.out, p.outputType, p.sampleCount, st.outputFormat,
                     kGeneratorBufferBytes) != 0) {
        sigDiscard(out);
        st.busy = 'n';
        return 1;
    }

    GeneratorState state;
    startGeneration(state, code, p);
    ComputeArgs args;
    args.buffer = &state;
    if (record == nullptr || record->compute(mode, &args) != 0) {
        sigDiscard(out);
        st.busy = 'n';
        return 1;
    }
    if (sigClose(out) != 0) {
        st.busy = 'n';
        return 1;
    }
    EngineRuntime& rt = runtime();
    fmt(rt.description, sizeof rt.description, "[%s] = %s of %lg Hz at %lg Hz sampling rate.",
        b.out.n, remark.c_str(), p.frequency, p.rate);
    emitText(QF_MSG_DESCRIPTION, rt.description);
    st.busy = 'n';
    return 0;
}

// ---------------------------------------------------------------------------
// Script lines

int32_t generatorWriteScriptLine(int32_t, std::FILE* f) {
    CommandBlock& b = block();
    const GeneratorParams& p = generatorParams(b);
    const int32_t code = b.opCode;
    const char* name = scriptName(code);
    if (name == nullptr || generatorInfo(code) == nullptr) return 0;
    const std::string file = scriptEntry(b.out);
    const char fu = scriptChar(p.frequencyUnit);
    const char pu = scriptChar(p.phaseUnit);
    const char ff = scriptChar(status().outputFormat);
    const bool typed = p.noiseType > 0 && p.noiseType < kNoiseTypeCount;
    const double n1 = typed ? p.noiseParam1[p.noiseType] : 0.0;
    const double n2 = typed ? p.noiseParam2[p.noiseType] : 0.0;

    std::string line = scriptLinePrefix(code) + file + " ";
    switch (code) {
        case QF_OP_SINE:
        case QF_OP_SQUARE:
        case QF_OP_TRIANGLE:
            line += fmtString("%c%c%c %lg %lg %d %lg %lg %lg", fu, pu, ff, p.frequency, p.rate,
                              p.sampleCount, p.phase, p.amplitude, p.offset);
            break;
        case QF_OP_SWEPT_SINE:
            line += fmtString("%c%c%c %lg %lg %lg %d %d %lg %lg %lg %d", fu, pu, ff, p.frequency,
                              p.endFrequency, p.rate, p.sweepLength, p.sweepCount, p.phase,
                              p.amplitude, p.offset, p.sweepLog);
            break;
        case QF_OP_UNIT_SAMPLE:
        case QF_OP_UNIT_STEP:
            line += fmtString("%c%c %lg %d %d %lg", fu, ff, p.rate, p.sampleCount, p.delay,
                              p.amplitude);
            break;
        case QF_OP_WINDOW_FUNCTION:
            line += fmtString("%c%c %d %lg %d", fu, ff, p.windowNumber, p.rate, p.sampleCount);
            break;
        case QF_OP_SINC:
            line += fmtString("%c%c %lg %d %d", fu, ff, p.rate, p.sampleCount, p.sincCenter);
            break;
        case QF_OP_RAMP:
            line += fmtString("%c%c %lg %d %lg %lg", fu, ff, p.rate, p.sampleCount, p.rampStart,
                              p.rampEnd);
            break;
        case QF_OP_EXP_FUNCTION:
            line += fmtString("%c%c %lg %d %lg %lg", fu, ff, p.rate, p.sampleCount, p.amplitude,
                              p.decay);
            break;
        default:  // noise
            line += fmtString("%c%c %lg %d", fu, ff, p.rate, p.sampleCount);
            break;
    }
    line += fmtString(" %d %d %lg %lg\r\n", p.outputType, p.noiseType, n1, n2);
    const std::size_t w = std::fwrite(line.data(), 1, line.size(), f);
    return w == line.size() ? 0 : 1;
}

int32_t generatorReadScriptLine(int32_t mode, const char* line, CheckParamsFn check) {
    CommandBlock& b = block();
    const int32_t code = b.opCode;
    if (generatorInfo(code) == nullptr) return 1;
    // Fields a line does not carry keep the values of the last line run.
    GeneratorParams p = generatorParams(b);
    char fu = 0, pu = p.phaseUnit, ff = 0;
    nameNpath out{};
    ScriptFields in(line);
    if (!in.skipCodeAndName() || !in.entry(out)) return 1;
    bool ok = in.character(fu);
    switch (code) {
        case QF_OP_SINE:
        case QF_OP_SQUARE:
        case QF_OP_TRIANGLE:
            ok = ok && in.rawChar(pu) && in.rawChar(ff) && in.number(p.frequency) &&
                 in.number(p.rate) && in.integer(p.sampleCount) && in.number(p.phase) &&
                 in.number(p.amplitude) && in.number(p.offset);
            break;
        case QF_OP_SWEPT_SINE:
            ok = ok && in.rawChar(pu) && in.rawChar(ff) && in.number(p.frequency) &&
                 in.number(p.endFrequency) && in.number(p.rate) && in.integer(p.sweepLength) &&
                 in.integer(p.sweepCount) && in.number(p.phase) && in.number(p.amplitude) &&
                 in.number(p.offset) && in.integer(p.sweepLog);
            break;
        case QF_OP_UNIT_SAMPLE:
        case QF_OP_UNIT_STEP:
            ok = ok && in.rawChar(ff) && in.number(p.rate) && in.integer(p.sampleCount) &&
                 in.integer(p.delay) && in.number(p.amplitude);
            break;
        case QF_OP_WINDOW_FUNCTION:
            ok = ok && in.rawChar(ff) && in.integer(p.windowNumber) && in.number(p.rate) &&
                 in.integer(p.sampleCount);
            break;
        case QF_OP_SINC:
            ok = ok && in.rawChar(ff) && in.number(p.rate) && in.integer(p.sampleCount) &&
                 in.integer(p.sincCenter);
            break;
        case QF_OP_RAMP:
            ok = ok && in.rawChar(ff) && in.number(p.rate) && in.integer(p.sampleCount) &&
                 in.number(p.rampStart) && in.number(p.rampEnd);
            break;
        case QF_OP_EXP_FUNCTION:
            ok = ok && in.rawChar(ff) && in.number(p.rate) && in.integer(p.sampleCount) &&
                 in.number(p.amplitude) && in.number(p.decay);
            break;
        default:  // noise
            ok = ok && in.rawChar(ff) && in.number(p.rate) && in.integer(p.sampleCount);
            break;
    }
    double n1 = 0.0, n2 = 0.0;
    ok =
        ok && in.integer(p.outputType) && in.integer(p.noiseType) && in.number(n1) && in.number(n2);
    if (!ok) return 1;

    p.frequencyUnit = fu;
    p.phaseUnit = pu;
    p.noiseType = ((p.noiseType % kNoiseTypeCount) + kNoiseTypeCount) % kNoiseTypeCount;
    p.noiseParam1[p.noiseType] = n1;
    p.noiseParam2[p.noiseType] = n2;
    generatorParams(b) = p;
    status().outputFormat = ff;
    b.out = out;
    unescapeEntry(b.out);
    if (!resolveScriptNames()) return kScriptLineStopped;
    if (check && check(mode) != 0) return 2;
    return 0;
}

}  // namespace qf::gen
