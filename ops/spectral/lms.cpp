// Operation 4007: the LMS adaptive FIR filter (the arithmetic is described
// in models.h).  The first input x feeds the filter, the second d is the
// desired signal; 16-bit samples (INTEGER16, REALTIMEINT16) enter as
// w / 32768 in single precision, and d past its end as 0.  Three REAL32
// outputs, with the rates of x: the filter output y and the error e (as many
// samples as x) and the final taps w (L samples).
#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "core/dialog.h"
#include "core/engine.h"
#include "core/frame.h"
#include "core/host.h"
#include "core/log.h"
#include "core/pipeline.h"
#include "ops/spectral/models.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

bool LmsFilter::start(int32_t taps, float mu, bool normalised) {
    try {
        w.assign(static_cast<std::size_t>(taps), 0.0f);
        u.assign(static_cast<std::size_t>(taps), 0.0f);
    } catch (const std::bad_alloc&) {
        std::vector<float>().swap(w);
        std::vector<float>().swap(u);
        return false;
    }
    step = mu;
    adapt = mu;
    normalise = normalised;
    return true;
}

float LmsFilter::filter(float x, float d, bool adapting, int32_t n, bool trace, float& e) {
    const std::size_t taps = u.size();
    if (taps > 1) std::memmove(&u[1], &u[0], (taps - 1) * sizeof(float));
    u[0] = x;
    float power = 0.0f;
    for (std::size_t k = 0; k < taps; ++k) power += u[k] * u[k];
    float y = 0.0f;
    for (std::size_t k = 0; k < taps; ++k) y += w[k] * u[k];
    e = d - y;
    if (normalise) adapt = static_cast<float>(0.1 / (power + 0.1));
    if (trace)
        logPrintf("OP   $$$ coeff update %d e(%d) = %g adaptParam = %g$$$\n", n, n,
                  static_cast<double>(e), static_cast<double>(adapt));
    if (adapting) {
        for (std::size_t k = 0; k < taps; ++k) w[k] = w[k] + adapt * e * u[k];
        if (trace) logPrintf("\n");
    }
    return y;
}

namespace {

struct LmsState {
    static constexpr Lifetime kLifetime = Lifetime::Start;
    LmsFilter filter;
    void release() { filter = LmsFilter{}; }
};

LmsState& lmsState() {
    return familyState<LmsState>();
}

// The step as the single-precision number the filter uses (a value beyond
// the float range becomes an infinity of its sign).
float stepOf(double v) {
    if (v > FLT_MAX) return INFINITY;
    if (v < -FLT_MAX) return -INFINITY;
    return static_cast<float>(v);
}

int32_t lmsCheck(int32_t) {
    CommandBlock& b = block();
    // The step is kept as the float the filter uses, so that a recorded
    // script line gives what ran.
    double& step = paramDouble(b, kLmsStepParam);
    step = stepOf(step);
    if (!readInputHeader(b.in1, QF_ENTRY_IN1)) return kLmsInputUnreadable;
    if (!isTimeSignalType(blockDescriptor(b, QF_ENTRY_IN1).recordType)) return kLmsInputType;
    if (!readInputHeader(b.in2, QF_ENTRY_IN2)) return kLmsDesiredUnreadable;
    if (!isTimeSignalType(blockDescriptor(b, QF_ENTRY_IN2).recordType)) return kLmsDesiredType;
    if (paramInt(b, kLmsTapsParam) < 1) return kLmsBadTaps;
    if (paramInt(b, kLmsTapsParam) > kLmsMaxTaps) return kLmsTooManyTaps;
    return 0;
}

// The five file names go to the log once the dialog is answered.
int32_t logFileNames(CommandBlock& b) {
    const struct {
        const char* format;
        const nameNpath* file;
    } lines[] = {{"OP      ^^^^^ in1  = %s\n", &b.in1},
                 {"OP      ^^^^^ in2  = %s\n", &b.in2},
                 {"OP      ^^^^^ out  = %s\n", &b.out},
                 {"OP      ^^^^^ out2 = %s\n", &b.out2},
                 {"OP      ^^^^^ out3 = %s\n", &b.out3}};
    for (const auto& l : lines) {
        const std::string name(l.file->n, ::strnlen(l.file->n, QF_NAME_LEN));
        logPrintf(l.format, name.c_str());
    }
    return 0;
}

std::string remarkOf(const char* word, const char* name) {
    std::string r = word;
    r.append(name, ::strnlen(name, QF_NAME_LEN));
    return r + ')';
}

void floatOutput(SignalDescriptor& out, const SignalDescriptor& x, int32_t count, const char* word,
                 const char* name) {
    out.recordType = kReal32;
    out.recordCount = count;
    setRemark(out, remarkOf(word, name));
    out.samplingRate = x.samplingRate;
    out.signalFrequency = x.signalFrequency;
}

bool refused(int32_t result) {
    if (const OperationDescription* d = describe(QF_OP_LMS)) reportCheck(*d, result);
    return true;
}

int32_t lmsPrepare(int32_t) {
    CommandBlock& b = block();
    const SignalDescriptor& x = blockDescriptor(b, QF_ENTRY_IN1);
    const SignalDescriptor& d = blockDescriptor(b, QF_ENTRY_IN2);
    if (!isTimeSignalType(x.recordType)) return refused(kLmsInputType);
    if (!isTimeSignalType(d.recordType)) return refused(kLmsDesiredType);
    const int32_t taps = paramInt(b, kLmsTapsParam);
    if (taps < 1) return refused(kLmsBadTaps);
    if (taps > kLmsMaxTaps) return refused(kLmsTooManyTaps);
    if (!lmsState().filter.start(taps, stepOf(paramDouble(b, kLmsStepParam)),
                                 paramInt(b, kLmsNormaliseParam) != 0)) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    floatOutput(blockDescriptor(b, QF_ENTRY_OUT), x, x.recordCount, "LMS filter(", b.in1.n);
    floatOutput(blockDescriptor(b, QF_ENTRY_OUT2), x, x.recordCount, "LMS filter - error signal(",
                b.in1.n);
    floatOutput(blockDescriptor(b, QF_ENTRY_OUT3), x, taps, "LMS filter - coefficients(", b.in1.n);
    fmt(runtime().description, sizeof runtime().description, "[%s] = LMS of [%s]", b.out.n,
        b.in1.n);
    return 0;
}

// Sample i (resident) of a time signal as a float.
float sampleAt(SignalDescriptor& s, int32_t i) {
    if (s.recordType == kReal32) return *s.at<float>(i);
    return static_cast<float>(*s.at<int16_t>(i) * (1.0 / 32768.0));
}

int32_t lmsCompute(int32_t, const ComputeArgs*) {
    CommandBlock& b = block();
    SignalDescriptor& x = blockDescriptor(b, QF_ENTRY_IN1);
    SignalDescriptor& d = blockDescriptor(b, QF_ENTRY_IN2);
    SignalDescriptor& y = blockDescriptor(b, QF_ENTRY_OUT);
    SignalDescriptor& e = blockDescriptor(b, QF_ENTRY_OUT2);
    SignalDescriptor& w = blockDescriptor(b, QF_ENTRY_OUT3);
    LmsFilter& filter = lmsState().filter;
    if (filter.w.empty()) return 1;
    const int32_t adaptCount = paramInt(b, kLmsAdaptParam);
    const int32_t length = x.recordCount;
    for (int32_t i = 0; i < length;) {
        if (userStopped() || sigAccess(x, i) != 0 || sigAccess(y, i) != 0 || sigAccess(e, i) != 0)
            return 1;
        int64_t n = std::min<int64_t>(
            {length - i, residentFrom(x, i), residentFrom(y, i), residentFrom(e, i)});
        const bool desired = i < d.recordCount;
        if (desired) {
            if (sigAccess(d, i) != 0) return 1;
            n = std::min<int64_t>({n, residentFrom(d, i), d.recordCount - i});
        }
        if (n < 1) return 1;
        float* yv = y.at<float>(i);
        float* ev = e.at<float>(i);
        for (int32_t k = 0; k < n; ++k) {
            const int32_t at = i + k;
            const float dv = desired ? sampleAt(d, at) : 0.0f;
            yv[k] = filter.filter(sampleAt(x, at), dv, at < adaptCount, at, true, ev[k]);
        }
        i += static_cast<int32_t>(n);
    }
    return forEachOutputSpan<float>(w, 0, static_cast<int32_t>(filter.w.size()),
                                    [&filter](float* v, int32_t at, int32_t n) {
                                        std::memcpy(v, &filter.w[static_cast<std::size_t>(at)],
                                                    static_cast<std::size_t>(n) * sizeof(float));
                                    });
}

int32_t lmsRelease(int32_t) {
    lmsState().release();
    return 0;
}

}  // namespace

void registerLmsOperation() {
    constexpr int32_t kTime = QF_FILE_TIME;
    OperationDescription d;
    d.code = QF_OP_LMS;
    d.scriptName = "LMSfilter   ";
    d.command = "lms";
    d.help = "LMS adaptive FIR filter of A towards B: output, error and final taps";
    d.files = {inputFile(QF_ENTRY_IN1, kTime, ".tim", "Input x(n)", 0, false),
               inputFile(QF_ENTRY_IN2, kTime, ".tim", "Desired d(n)", 1, false),
               outputFile(QF_ENTRY_OUT, kTime, ".tim", "Filter output y(n)", 2),
               outputFile(QF_ENTRY_OUT2, kTime, ".tim", "Error e(n)", 3),
               outputFile(QF_ENTRY_OUT3, kTime, ".tim", "Coefficients w(k)", 4)};
    d.params = {intParam("taps", kLmsTapsParam)
                    .required()
                    .remembered(32)
                    .help("L")
                    .about("taps of the adaptive FIR filter (its delay line)", nullptr, "32"),
                doubleParam("step", kLmsStepParam)
                    .remembered(0.01)
                    .help("MU")
                    .about("the fixed step size mu, kept in single precision", nullptr, "0.01"),
                intParam("adapt", kLmsAdaptParam)
                    .remembered(INT32_MAX)
                    .help("K")
                    .about("the taps adapt during the first K samples", "samples", "4000"),
                intParam("normalise", kLmsNormaliseParam)
                    .remembered(0)
                    .choices("fixed=0 normalised=1", true)
                    .about("the step: mu, or 0.1 / (0.1 + the power in the delay line)")};
    d.script = {{Field::In1},      {Field::In2},      {Field::Param, 1, false, "%g"},
                {Field::Param, 0}, {Field::Param, 2}, {Field::Param, 3},
                {Field::Out},      {Field::Out2},     {Field::Out3}};
    d.dialog = {.kind = DialogKind::HostEdit,
                .edit = &HostInterface::getLMSParameters,
                .after = logFileNames};
    d.checks = {
        {kLmsInputUnreadable, QF_MSG_NOTICE, "Error reading '%s'.", Then::AskAgain, {Arg::In1Name}},
        {kLmsDesiredUnreadable,
         QF_MSG_NOTICE,
         "Error reading '%s'.",
         Then::AskAgain,
         {Arg::In2Name}},
        {kLmsInputType,
         QF_MSG_NOTICE,
         "'%s' has an unsupported data type.",
         Then::AskAgain,
         {Arg::In1Name}},
        {kLmsDesiredType,
         QF_MSG_NOTICE,
         "'%s' has an unsupported data type.",
         Then::AskAgain,
         {Arg::In2Name}},
    };
    CheckMessage taps{kLmsBadTaps, QF_MSG_NOTICE, "The LMS filter needs at least one tap.",
                      Then::AskAgain};
    taps.about = kLmsTapsParam;
    d.checks.push_back(taps);
    // Every sample costs three passes over the taps, and the taps are an
    // output of their own: a size from a script line is bounded first.
    CheckMessage tooMany{kLmsTooManyTaps, QF_MSG_NOTICE, "The LMS filter takes at most 65536 taps.",
                         Then::AskAgain};
    tooMany.about = kLmsTapsParam;
    d.checks.push_back(tooMany);
    d.show = Show::Waveform;
    d.shown = kShowOut | kShowOut2 | kShowOut3;
    d.pipeline.outputBuffer = 32768;
    d.handlers.checkParams = lmsCheck;
    d.handlers.prepareOutput = lmsPrepare;
    d.handlers.compute = lmsCompute;
    d.handlers.release = lmsRelease;
    registerDescribed(std::move(d));
}

}  // namespace qf
