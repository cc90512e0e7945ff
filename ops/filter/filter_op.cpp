// Operation 4005 (see filter_op.h): its check, output header, kernel walk
// and description.
//
// Check results, in the order they are found:
//   9    the coefficient file is a fixed-point FIR of another bit count
//   101  the coefficient file cannot be loaded
//   102  the signal cannot be read;  103  its type is not a time signal's
//   104  the filter has no kernel;  105  fixed-point FIR taps of another
//        width;  106  more than 8191 fixed-point FIR taps
//   99   the signal's and the filter's sampling rates differ (a warning)
#include "ops/filter/filter_op.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/frame.h"
#include "core/host.h"
#include "core/pipeline.h"
#include "core/signal_wiring.h"
#include "ops/filter/coefficient_file.h"
#include "ops/filter/kernels.h"
#include "signal/access.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

constexpr int kSignalSlot = 1;  // in2's descriptor
constexpr int kOutputSlot = 2;

// The running filter, published so that release frees it whatever happens.
struct FilterState {
    static constexpr Lifetime kLifetime = Lifetime::Start;
    std::unique_ptr<LoadedFilter> filter;
    std::unique_ptr<filter::FilterKernel> kernel;
    std::unique_ptr<filter::OverlapSave> overlap;
    int32_t overlapBlocks = 0;
    void release() {
        overlap.reset();
        kernel.reset();
        filter.reset();
    }
};

FilterState& state() {
    return familyState<FilterState>();
}

std::string nameOf(const nameNpath& e) {
    return std::string(e.n, strnlen(e.n, sizeof e.n));
}

int32_t runOverlapSave(filter::OverlapSave& os, SignalDescriptor& in, SignalDescriptor& out) {
    const int32_t count = out.recordCount;
    const int32_t l = os.blockLength();
    std::vector<float> x(static_cast<std::size_t>(l)), y(static_cast<std::size_t>(l));
    for (int32_t pos = 0; pos < count;) {
        const int32_t n = std::min(l, count - pos);
        if (readRecords(in, pos, n, x.data()) != 0) return 1;
        os.block(x.data(), y.data(), n);
        const int32_t r =
            forEachOutputSpan<float>(out, pos, n, [&](float* to, int32_t at, int32_t m) {
                std::copy(y.begin() + (at - pos), y.begin() + (at - pos + m), to);
            });
        if (r != 0) return r;
        pos += n;
    }
    return 0;
}

}  // namespace

bool sameSamplingRate(double a, double b) {
    return a == b || std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

int32_t filterOverlapSaveBlocks() {
    return state().overlapBlocks;
}

int32_t filterCheckParams(int32_t) {
    CommandBlock& b = block();
    int32_t type = 0, bits = 0, taps = 0;
    double rate = 0.0;
    {
        LoadedFilter f;
        const int32_t r = readFilterFile(b.in1, f);
        if (r == kFilterBadBits) return kFilterCheckBits;
        if (r != kFilterLoaded) return kFilterCheckFilterUnreadable;
        type = f.type();
        bits = f.bits;
        taps = f.records();
        rate = f.d.samplingRate;
    }  // the coefficients are freed again
    SignalDescriptor& d = blockDescriptor(b, kSignalSlot);
    d.openMark = 0;
    const int32_t opened = sigOpenRead(d, b.in2, 0);
    sigClose(d);
    if (opened != 0) return kFilterCheckSignalUnreadable;
    if (!isTimeSignalType(d.recordType)) return kFilterCheckSignalType;
    switch (type) {
        case kIirCascade1Q15:
        case kIirCascade1Q23:
        case kIirCascade2Q15:
        case kIirCascade2Q23:
        case kIirFloatSections:
        case kFirFloat:
        case kIirLattice:
        case kFirLattice:
        case kIirParallelQ15:
        case kIirParallelQ23:
            break;
        case kFirQ15:
        case kFirQ23:
            if (bits != 16 && bits != 24) return kFilterCheckFixedBits;
            if (taps > kMaxFixedPointTaps) return kFilterCheckTooManyTaps;
            break;
        default:
            return kFilterCheckFilterType;
    }
    return sameSamplingRate(rate, d.samplingRate) ? 0 : kFilterCheckRates;
}

// Loads the filter and describes the output: the signal's count, rate and
// number type.
int32_t filterPrepareOutput(int32_t) {
    CommandBlock& b = block();
    FilterState& st = state();
    st.release();
    st.overlapBlocks = 0;
    try {
        st.filter = std::make_unique<LoadedFilter>();
    } catch (const std::bad_alloc&) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    const int32_t r = readFilterFile(b.in1, *st.filter);
    if (r != kFilterLoaded) {
        // A missing file has been reported; anything else changed since the check.
        if (r != kFilterNotFound) emitMsg(QF_MSG_ERROR, "Error reading '%s'.", b.in1.n);
        st.release();
        return 1;
    }
    SignalDescriptor& in = blockDescriptor(b, kSignalSlot);
    SignalDescriptor& out = blockDescriptor(b, kOutputSlot);
    out.recordType = in.recordType == kRealtimeInt16 ? kInteger16 : in.recordType;
    out.recordCount = in.recordCount;
    out.samplingRate = in.samplingRate;
    out.signalFrequency = in.signalFrequency;
    const std::string signal = nameOf(b.in2), coefficients = nameOf(b.in1);
    setRemark(out, signal + " filter by " + coefficients);
    fmt(runtime().description, sizeof runtime().description, "[%s] = [%s] filtered by [%s]",
        nameOf(b.out).c_str(), signal.c_str(), coefficients.c_str());
    return 0;
}

int32_t filterCompute(int32_t, const ComputeArgs*) {
    CommandBlock& b = block();
    FilterState& st = state();
    if (!st.filter) return 1;
    const LoadedFilter& f = *st.filter;
    SignalDescriptor& in = blockDescriptor(b, kSignalSlot);
    SignalDescriptor& out = blockDescriptor(b, kOutputSlot);
    const bool floats = in.recordType == kReal32;
    filter::traceKernel(f);
    try {
        if (floats && filter::usesOverlapSave(f)) {
            emitText(QF_MSG_DESCRIPTION, "Accelerating FIR filtering using overlap-save FFT");
            st.overlap = std::make_unique<filter::OverlapSave>(f);
            const int32_t r = runOverlapSave(*st.overlap, in, out);
            st.overlapBlocks = st.overlap->blocks();
            return r;
        }
        st.kernel = filter::makeKernel(f, engineModes());
    } catch (const std::bad_alloc&) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    if (!st.kernel) return 0;  // a structure without a kernel computes nothing
    filter::FilterKernel& k = *st.kernel;
    if (floats)
        return forEachSpan<float, float>(
            in, out, 0, out.recordCount,
            [&k](const float* x, float* y, int32_t, int32_t n) { k.run(x, y, n); });
    return forEachSpan<int16_t, int16_t>(
        in, out, 0, out.recordCount,
        [&k](const int16_t* x, int16_t* y, int32_t, int32_t n) { k.run(x, y, n); });
}

int32_t filterRelease(int32_t) {
    state().release();
    return 0;
}

OperationDescription filterDescription() {
    OperationDescription d =
        describedOperation(QF_OP_FILTER, "Perform_filtering ", "filter",
                           "filter a signal with the designed filter of a coefficient file (.flt)");
    d.files = {inputFile(QF_ENTRY_IN1, QF_FILE_FILTER, ".flt", "Coefficients", 0, false),
               inputFile(QF_ENTRY_IN2, QF_FILE_TIME, ".tim", "Signal File", 1),
               outputFile(QF_ENTRY_OUT, QF_FILE_TIME, ".tim", "= Output file", 2)};
    d.script = {{Field::In1}, {Field::In2}, {Field::Out}};
    d.scriptAccepts = {kFilterCheckRates};
    d.dialog = {.kind = DialogKind::Files, .title = "Filtering Signal"};
    const char* const unsupportedFilter =
        "'%s' has an unsupported filter coefficient type.  Currently supports only 16-bit/24-bit "
        "fixed point and 24-bit floating point.";
    d.checks = {
        {kFilterCheckBits, QF_MSG_NOTICE,
         "FIR floating point coefficients must have 16-bit or 24-bit quantization."},
        unreadableCheck(kFilterCheckFilterUnreadable, Arg::In1Name),
        unreadableCheck(kFilterCheckSignalUnreadable, Arg::In2Name),
        {kFilterCheckSignalType,
         QF_MSG_NOTICE,
         "'%s' has an unsupported number type.  Currently supports only 16-bit fixed point and "
         "32-bit floating point number types.",
         Then::AskAgain,
         {Arg::In2Name}},
        {kFilterCheckFilterType, QF_MSG_NOTICE, unsupportedFilter, Then::AskAgain, {Arg::In1Name}},
        {kFilterCheckFixedBits, QF_MSG_NOTICE, unsupportedFilter, Then::AskAgain, {Arg::In1Name}},
        {kFilterCheckTooManyTaps, QF_MSG_NOTICE, "Maximum number of filter taps is 8191 or less"},
        {kFilterCheckTooManyTaps,
         QF_MSG_NOTICE,
         "'%s' exceeds the maximum number of filter taps of 8191.  Please use a smaller filter.",
         Then::AskAgain,
         {Arg::In1Name}},
        {kFilterCheckRates, QF_MSG_NOTICE,
         "Signal and filter have different sampling rate. Resulting passband may not "
         "corresponding to filter design.",
         Then::GoOn},
    };
    d.proposal = Proposal::Filter;
    d.show = Show::Waveform;
    d.realtime = Realtime::CloseWhenAccelerated;
    d.handlers.checkParams = filterCheckParams;
    d.handlers.prepareOutput = filterPrepareOutput;
    d.handlers.compute = filterCompute;
    d.handlers.release = filterRelease;
    return d;
}

void registerFilterOperations() {
    registerDescribed(filterDescription());  // 4005
}

}  // namespace qf
