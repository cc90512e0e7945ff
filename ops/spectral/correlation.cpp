// Operations 4010, 4020 and 4025: autocorrelation, cross-correlation and
// convolution by direct sums (see correlation.h).
//
// Single precision: each product is formed in double precision and added
// to the float sum, which is rounded back to float after every addition;
// the correlations are then multiplied by the float nearest 1 / min(NA, NB).
// Q15: p = fxMul(a, b) (16,15) x (16,15) -> (32,15), acc = fxAdd(acc, p)
// (32,15), both truncating and wrapping.
#include "ops/spectral/correlation.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/frame.h"
#include "core/host.h"
#include "core/pipeline.h"
#include "core/signal_wiring.h"
#include "ops/spectral/bins.h"
#include "signal/access.h"
#include "signal/fixedpoint.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

constexpr const char* kSkipReset =
    "Number of points to skip does not leave at least 3 points for computation.  Set to start at "
    "0.";
constexpr const char* kLengthCut =
    "The number of points to skip plus length of computation does not leave at least 3 points.  "
    "Length adjusted.";
constexpr const char* kNegative =
    "The number of points to skip and the length of computation cannot be negative.";

// The stretches of one run, in the form of the run's kernel path.
struct CorrelationState {
    std::vector<float> a, b;      // single precision
    std::vector<int16_t> wa, wb;  // Q15 words
    std::vector<float> y;         // outputs of the float path
    std::vector<int16_t> wy;      // outputs of the Q15 path
    static constexpr Lifetime kLifetime = Lifetime::Start;
    void release() { *this = CorrelationState{}; }
};

CorrelationState& state() {
    return familyState<CorrelationState>();
}

SignalDescriptor& slot(int k) {
    return blockDescriptor(block(), k);
}

// Where a stretch's skip and length live in the block.
struct StretchParams {
    int32_t skip;
    int32_t length;
};
constexpr StretchParams kAuto{QF_P_AUTOCORR_SKIP, QF_P_AUTOCORR_LENGTH};
constexpr StretchParams kFirst{QF_P_CORR_SKIP_A, QF_P_CORR_LENGTH_A};
constexpr StretchParams kSecond{QF_P_CORR_SKIP_B, QF_P_CORR_LENGTH_B};

// The check of one stretch over `total` samples; results relative to the
// first code of its group: +0 negative skip, +1 skip reset, +2 length cut,
// +3 negative length (the order of the checks).
int32_t checkStretch(const StretchParams& at, int64_t total, int32_t negativeSkip,
                     int32_t skipReset, int32_t lengthCut, int32_t negativeLength) {
    CommandBlock& b = block();
    int32_t& s = paramInt(b, at.skip);
    int32_t& n = paramInt(b, at.length);
    if (s < 0) return negativeSkip;
    if (s > total - 3) {
        s = 0;
        return skipReset;
    }
    if (static_cast<int64_t>(s) + n > total) {
        n = static_cast<int32_t>(total - s);
        return lengthCut;
    }
    if (n < 0) return negativeLength;
    return 0;
}

// The stretch a run computes with: refuses negative values and an input
// with nothing left, resets a skip the check has not seen (with its
// notice), and takes the length to the end of the input at most.  The
// settled values are written back.  0, or 1 (reported).
int32_t settleStretch(const StretchParams& at, const SignalDescriptor& in, const char* name,
                      int32_t& length) {
    CommandBlock& b = block();
    int32_t& s = paramInt(b, at.skip);
    int32_t& n = paramInt(b, at.length);
    if (s < 0 || n < 0) {
        emitText(QF_MSG_NOTICE, kNegative);
        return 1;
    }
    const int64_t total = in.recordCount;
    if (s > 0 && s > total - 3) {
        s = 0;
        emitText(QF_MSG_NOTICE, kSkipReset);
    }
    const int64_t rest = total - s;
    if (rest < 1) {
        emitMsg(QF_MSG_ERROR, "No samples of '%s' are left to compute with.  Operation aborted.",
                name);
        return 1;
    }
    n = static_cast<int32_t>(n != 0 ? std::min<int64_t>(n, rest) : rest);
    length = n;
    return 0;
}

void labels(SignalDescriptor& out, const std::string& remark, const std::string& line) {
    setRemark(out, remark);
    fmt(runtime().description, sizeof runtime().description, "%s", line.c_str());
}

int32_t autoPrepare(int32_t) {
    CommandBlock& b = block();
    state().release();
    SignalDescriptor& in = slot(QF_ENTRY_IN1);
    SignalDescriptor& out = slot(QF_ENTRY_OUT);
    if (!isTimeSignalType(in.recordType)) {
        emitMsg(QF_MSG_NOTICE, "'%s' has an unsupported data type.", b.in1.n);
        return 1;
    }
    int32_t n = 0;
    if (settleStretch(kAuto, in, b.in1.n, n) != 0) return 1;
    n = std::min(n, kAutocorrelationCap);
    paramInt(b, kAuto.length) = n;
    if (!frameOutputHeader(out, in, nullptr, 2 * static_cast<int64_t>(n) - 1, in.samplingRate))
        return 1;
    out.signalFrequency = in.signalFrequency;
    labels(out, std::string("Auto(") + b.in1.n + ")",
           fmtString("[%s] = autocorrelation of [%s]", b.out.n, b.in1.n));
    return 0;
}

// 4020 and 4025: the output type of two inputs (REAL32 when either is),
// the first input's rate, the lengths capped at NA + NB <= 16384.
int32_t twoInputPrepare(const char* remark, const char* line) {
    CommandBlock& b = block();
    state().release();
    SignalDescriptor& a = slot(QF_ENTRY_IN1);
    SignalDescriptor& s = slot(QF_ENTRY_IN2);
    SignalDescriptor& out = slot(QF_ENTRY_OUT);
    for (const nameNpath* e : {&b.in1, &b.in2}) {
        const SignalDescriptor& d = e == &b.in1 ? a : s;
        if (!isTimeSignalType(d.recordType)) {
            emitMsg(QF_MSG_NOTICE, "'%s' has an unsupported data type.", e->n);
            return 1;
        }
    }
    int32_t na = 0, nb = 0;
    if (settleStretch(kFirst, a, b.in1.n, na) != 0 || settleStretch(kSecond, s, b.in2.n, nb) != 0)
        return 1;
    constexpr int32_t half = kTwoInputCap / 2;
    if (static_cast<int64_t>(na) + nb > kTwoInputCap) {
        if (na > half && nb > half)
            na = nb = half;
        else if (na <= half)
            nb = kTwoInputCap - na;
        else
            na = kTwoInputCap - nb;
    }
    paramInt(b, kFirst.length) = na;
    paramInt(b, kSecond.length) = nb;
    if (!frameOutputHeader(out, a, &s, static_cast<int64_t>(na) + nb - 1, a.samplingRate)) return 1;
    labels(out, std::string(remark) + "(" + b.in1.n + "," + b.in2.n + ")",
           fmtString(line, b.out.n, b.in1.n, b.in2.n));
    return 0;
}

int32_t crossPrepare(int32_t) {
    return twoInputPrepare("Cross", "[%s] = [%s] correlate with [%s]");
}
int32_t convolutionPrepare(int32_t) {
    return twoInputPrepare("Conv", "[%s] = [%s] convolve with [%s]");
}

int32_t release(int32_t) {
    state().release();
    return 0;
}

// ---------------------------------------------------------------------------
// Kernels

enum class Sum : uint8_t { Correlation, Convolution };

// The range of i of output m: correlation pairs a[i] with b[i + m - (NA -
// 1)], convolution a[i] with b[m - i].
struct Range {
    int32_t lo, hi;  // inclusive
    int32_t shift;   // correlation: the lag; convolution: m
};
Range rangeOf(Sum kind, int32_t m, int32_t na, int32_t nb) {
    if (kind == Sum::Correlation)
        return {std::max(0, na - 1 - m), std::min(na - 1, na - 1 - m + nb - 1), m - (na - 1)};
    return {std::max(0, m + 1 - nb), std::min(na - 1, m), m};
}

void floatSums(Sum kind, const float* a, int32_t na, const float* b, int32_t nb, float* y) {
    const float scale = static_cast<float>(1.0 / std::min(na, nb));
    for (int32_t m = 0; m < na + nb - 1; ++m) {
        const Range r = rangeOf(kind, m, na, nb);
        float sum = 0.0f;
        if (kind == Sum::Correlation) {
            for (int32_t i = r.lo; i <= r.hi; ++i)
                sum = static_cast<float>(static_cast<double>(sum) +
                                         static_cast<double>(a[i]) * b[i + r.shift]);
            y[m] = scale * sum;
        } else {
            for (int32_t i = r.lo; i <= r.hi; ++i)
                sum = static_cast<float>(static_cast<double>(sum) +
                                         static_cast<double>(a[i]) * b[r.shift - i]);
            y[m] = sum;
        }
    }
}

void wordSums(Sum kind, const int16_t* a, int32_t na, const int16_t* b, int32_t nb, int16_t* y) {
    const int32_t q = 32768 / std::min(na, nb);  // (32,15): about 1 / min(NA, NB)
    const FxModes modes = engineModes();
    for (int32_t m = 0; m < na + nb - 1; ++m) {
        const Range r = rangeOf(kind, m, na, nb);
        int32_t acc = 0;
        for (int32_t i = r.lo; i <= r.hi; ++i) {
            const int16_t* other = kind == Sum::Correlation ? &b[i + r.shift] : &b[r.shift - i];
            int32_t p = 0;
            fxMul(&a[i], 16, 15, other, 16, 15, &p, 32, 15);
            fxAdd(&acc, 32, 15, &p, 32, 15, &acc, 32, 15);
        }
        if (kind == Sum::Correlation)
            fxMul(&acc, 32, 15, &q, 32, 15, &y[m], 16, 15);
        else
            fxConvert(&acc, 32, 15, &y[m], 16, 15, modes);
    }
}

// Reads the stretches (a second input only for two-input operations),
// sums them on the path of the output type and writes the output.
int32_t lagSums(Sum kind, const StretchParams& first, const StretchParams& second, bool twoInputs) {
    CommandBlock& blk = block();
    CorrelationState& st = state();
    SignalDescriptor& in1 = slot(QF_ENTRY_IN1);
    SignalDescriptor& in2 = twoInputs ? slot(QF_ENTRY_IN2) : in1;
    SignalDescriptor& out = slot(QF_ENTRY_OUT);
    const int32_t sa = paramInt(blk, first.skip), na = paramInt(blk, first.length);
    const int32_t sb = paramInt(blk, second.skip), nb = paramInt(blk, second.length);
    if (na < 1 || nb < 1 || out.recordCount != na + nb - 1) return 1;
    const bool words = out.recordType != kReal32;
    try {
        if (words) {
            st.wa.resize(static_cast<std::size_t>(na));
            st.wb.resize(twoInputs ? static_cast<std::size_t>(nb) : 0);
            st.wy.resize(static_cast<std::size_t>(out.recordCount));
        } else {
            st.a.resize(static_cast<std::size_t>(na));
            st.b.resize(twoInputs ? static_cast<std::size_t>(nb) : 0);
            st.y.resize(static_cast<std::size_t>(out.recordCount));
        }
    } catch (const std::bad_alloc&) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    if (words) {
        if (readRecords(in1, sa, na, st.wa.data()) != 0) return 1;
        if (twoInputs && readRecords(in2, sb, nb, st.wb.data()) != 0) return 1;
        const int16_t* b = twoInputs ? st.wb.data() : st.wa.data();
        wordSums(kind, st.wa.data(), na, b, nb, st.wy.data());
        return spectral::writeRecords(out, 0, out.recordCount, st.wy.data());
    }
    if (spectral::readFloatSamples(in1, sa, na, st.a.data()) != 0) return 1;
    if (twoInputs && spectral::readFloatSamples(in2, sb, nb, st.b.data()) != 0) return 1;
    const float* b = twoInputs ? st.b.data() : st.a.data();
    floatSums(kind, st.a.data(), na, b, nb, st.y.data());
    return spectral::writeRecords(out, 0, out.recordCount, st.y.data());
}

// ---------------------------------------------------------------------------
// Descriptions

OperationDescription correlationOp(int32_t code, const char* scriptName, const char* command,
                                   const char* help) {
    OperationDescription d = describedOperation(code, scriptName, command, help);
    d.show = Show::Waveform;
    d.realtime = Realtime::CloseWhenAccelerated;
    d.handlers.release = release;
    return d;
}

void registerTwoInput(int32_t code, const char* scriptName, const char* command, const char* help,
                      PrepareOutputFn prepare, ComputeFn kernel) {
    OperationDescription d = correlationOp(code, scriptName, command, help);
    d.files = {inputFile(QF_ENTRY_IN1, QF_FILE_TIME, ".tim", "Input 1", 0),
               inputFile(QF_ENTRY_IN2, QF_FILE_TIME, ".tim", "Input 2", 1),
               outputFile(QF_ENTRY_OUT, QF_FILE_TIME, ".tim", "Output", 2)};
    d.params = {intParam("skip-a", QF_P_CORR_SKIP_A).fallback(0).help("SA"),
                intParam("length-a", QF_P_CORR_LENGTH_A).fallback(0).help("NA"),
                intParam("skip-b", QF_P_CORR_SKIP_B).fallback(0).help("SB"),
                intParam("length-b", QF_P_CORR_LENGTH_B).fallback(0).help("NB")};
    d.dialog = {.kind = DialogKind::HostEdit, .edit = &HostInterface::dspCorrConvoGetPara};
    d.checks = {
        unreadableCheck(kCorrUnreadableA, Arg::In1Name),
        unreadableCheck(kCorrUnreadableB, Arg::In2Name),
        unsupportedTypeCheck(kCorrWrongTypeA, Arg::In1Name),
        unsupportedTypeCheck(kCorrWrongTypeB, Arg::In2Name),
        noticeCheck(kCorrSkipResetA, kSkipReset, Then::GoOn),
        noticeCheck(kCorrSkipResetB, kSkipReset, Then::GoOn),
        noticeCheck(kCorrLengthCutA, kLengthCut, Then::GoOn),
        noticeCheck(kCorrLengthCutB, kLengthCut, Then::GoOn),
        noticeCheck(kCorrRatesDiffer, "'%s' and '%s' have different sampling rate.", Then::GoOn,
                    Arg::In1Name, Arg::In2Name),
        noticeCheck(kCorrNegativeSkipA, kNegative, Then::Stop),
        noticeCheck(kCorrNegativeLengthA, kNegative, Then::Stop),
        noticeCheck(kCorrNegativeSkipB, kNegative, Then::Stop),
        noticeCheck(kCorrNegativeLengthB, kNegative, Then::Stop),
    };
    d.script = {{Field::In1},      {Field::Param, 0}, {Field::Param, 1}, {Field::In2},
                {Field::Param, 2}, {Field::Param, 3}, {Field::Out}};
    d.scriptAccepts = {kCorrSkipResetA, kCorrLengthCutA, kCorrSkipResetB, kCorrLengthCutB,
                       kCorrRatesDiffer};
    d.handlers.checkParams = correlationCheckParams;
    d.handlers.prepareOutput = prepare;
    d.handlers.compute = kernel;
    registerDescribed(std::move(d));
}

}  // namespace

int32_t autocorrelationCheckParams(int32_t) {
    CommandBlock& b = block();
    if (!readInputHeader(b.in1)) return kAutoUnreadable;
    const SignalDescriptor& d = slot(QF_ENTRY_IN1);
    if (!isTimeSignalType(d.recordType)) return kAutoWrongType;
    return checkStretch(kAuto, d.recordCount, kAutoNegativeSkip, kAutoSkipReset, kAutoLengthCut,
                        kAutoNegativeLength);
}

int32_t correlationCheckParams(int32_t) {
    CommandBlock& b = block();
    if (!readInputHeader(b.in1, QF_ENTRY_IN1)) return kCorrUnreadableA;
    if (!readInputHeader(b.in2, QF_ENTRY_IN2)) return kCorrUnreadableB;
    const SignalDescriptor& a = slot(QF_ENTRY_IN1);
    const SignalDescriptor& s = slot(QF_ENTRY_IN2);
    if (!isTimeSignalType(a.recordType)) return kCorrWrongTypeA;
    if (!isTimeSignalType(s.recordType)) return kCorrWrongTypeB;
    int32_t c = checkStretch(kFirst, a.recordCount, kCorrNegativeSkipA, kCorrSkipResetA,
                             kCorrLengthCutA, kCorrNegativeLengthA);
    if (c != 0) return c;
    c = checkStretch(kSecond, s.recordCount, kCorrNegativeSkipB, kCorrSkipResetB, kCorrLengthCutB,
                     kCorrNegativeLengthB);
    if (c != 0) return c;
    return a.samplingRate != s.samplingRate ? kCorrRatesDiffer : 0;
}

int32_t autocorrelationCompute(int32_t, const ComputeArgs*) {
    return lagSums(Sum::Correlation, kAuto, kAuto, false);
}
int32_t crossCorrelationCompute(int32_t, const ComputeArgs*) {
    return lagSums(Sum::Correlation, kFirst, kSecond, true);
}
int32_t convolutionCompute(int32_t, const ComputeArgs*) {
    return lagSums(Sum::Convolution, kFirst, kSecond, true);
}

void registerCorrelationOperations() {
    {
        OperationDescription d =
            correlationOp(QF_OP_AUTOCORRELATION, "Autocorrelation   ", "autocorr",
                          "autocorrelation of N samples after the first S (N = 0: to the end), "
                          "divided by N");
        d.files = {inputFile(QF_ENTRY_IN1, QF_FILE_TIME, ".tim", "Input", 0),
                   outputFile(QF_ENTRY_OUT, QF_FILE_TIME, ".tim", "Output", 1)};
        d.params = {intParam("skip", QF_P_AUTOCORR_SKIP).fallback(0).help("S"),
                    intParam("length", QF_P_AUTOCORR_LENGTH).fallback(0).help("N")};
        d.dialog = {.kind = DialogKind::HostEdit, .edit = &HostInterface::autoCorrelationGetPara};
        d.checks = {
            unreadableCheck(kAutoUnreadable, Arg::In1Name),
            unsupportedTypeCheck(kAutoWrongType, Arg::In1Name),
            noticeCheck(kAutoSkipReset, kSkipReset, Then::GoOn),
            noticeCheck(kAutoLengthCut, kLengthCut, Then::GoOn),
            noticeCheck(kAutoNegativeSkip, kNegative, Then::Stop),
            noticeCheck(kAutoNegativeLength, kNegative, Then::Stop),
        };
        d.script = {{Field::In1}, {Field::Param, 0}, {Field::Param, 1}, {Field::Out}};
        d.scriptAccepts = {kAutoSkipReset, kAutoLengthCut};
        d.handlers.checkParams = autocorrelationCheckParams;
        d.handlers.prepareOutput = autoPrepare;
        d.handlers.compute = autocorrelationCompute;
        registerDescribed(std::move(d));
    }
    registerTwoInput(QF_OP_CROSSCORRELATION, "Crosscorrelation  ", "xcorr",
                     "cross-correlation of two stretches (skip S, length N; 0: to the end), "
                     "divided by the shorter length",
                     crossPrepare, crossCorrelationCompute);
    registerTwoInput(QF_OP_CONVOLUTION, "Convolution       ", "conv",
                     "linear convolution of two stretches (skip S, length N; 0: to the end)",
                     convolutionPrepare, convolutionCompute);
}

}  // namespace qf
