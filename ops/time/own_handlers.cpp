// Square root (3060) and extraction (3100): operations with checks of their
// own (their dialogs' messages are in their descriptions), run by the
// pipeline with their own output header and kernel.
//
//   3060  REAL32     y = s * sqrt(|x|) * A, s the sign of x (+1 for 0)
//         INTEGER16  y = s * 32768 * sqrt(|x / 32768|) * A, stored by the
//                    overflow mode
//   3100  y[i] = x[s + i] for n' samples: n' = n when 0 < n < N - s, else
//         N - s
//
// Check codes: 101 the input cannot be read, 102 its type is not INTEGER16,
// REAL32 or single-channel REALTIMEINT16, 103 (3060) a multi-channel
// recording.  Extraction: 103 the length was cut to the samples present
// (accepted), 104 the skip reaches past the end, 105 a negative skip or
// length, 106 a multi-channel recording.
#include <cmath>
#include <cstdio>
#include <string>

#include "core/engine.h"
#include "core/host.h"
#include "core/pipeline.h"
#include "ops/time/kernels.h"
#include "signal/fixedpoint.h"
#include "signal/numfmt.h"

namespace qf::timeops {

namespace {

// Opens in1 header-only: 0, 101 (unreadable), 102 (type), 103 (channels).
int32_t checkSingleInput() {
    CommandBlock& b = block();
    if (!readInputHeader(b.in1)) return 101;
    const SignalDescriptor& d = input();
    if (d.recordType == kRealtimeInt16 && d.param1 > 1) return 103;
    if (!isTimeSignalType(d.recordType)) return 102;
    return 0;
}

void copyHeader(SignalDescriptor& in, SignalDescriptor& out, int32_t count) {
    out.recordType = kernelType(in);
    out.recordCount = count;
    out.samplingRate = in.samplingRate;
    out.param1 = out.param2 = out.param3 = out.param4 = 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Square root

int32_t sqrtCheck(int32_t) {
    return checkSingleInput();
}

int32_t sqrtPrepare(int32_t) {
    const CommandBlock& b = block();
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    copyHeader(in, out, in.recordCount);
    out.signalFrequency = 0.0;
    setRemark(out, std::string("Sqrt(") + b.in1.n + ")");
    fmt(runtime().description, sizeof runtime().description, "[%s] = sqrt ([%s])", b.out.n,
        b.in1.n);
    return 0;
}

int32_t sqrtCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const double A = paramDouble(block(), QF_P_SCALE);
    const char overflow = status().overflowMode;
    const int32_t type = out.recordType;
    if (kernelType(in) != type || (type != kInteger16 && type != kReal32)) return unknownDataType();
    if (type == kInteger16)
        return forEachSpan<int16_t, int16_t>(
            in, out, 0, out.recordCount, [=](const int16_t* x, int16_t* y, int32_t, int32_t n) {
                for (int32_t i = 0; i < n; ++i) {
                    const double v = q15ToReal(x[i]);
                    const double s = x[i] >= 0 ? 1.0 : -1.0;
                    y[i] = storeQ15(s * 32768.0 * std::sqrt(std::fabs(v)) * A, overflow);
                }
            });
    return forEachSpan<float, float>(
        in, out, 0, out.recordCount, [=](const float* x, float* y, int32_t, int32_t n) {
            for (int32_t i = 0; i < n; ++i) {
                const double v = x[i];
                const double s = v >= 0.0 ? 1.0 : -1.0;
                y[i] = static_cast<float>(s * std::sqrt(std::fabs(v)) * A);
            }
        });
}

// ---------------------------------------------------------------------------
// Extraction: skip s at P 13008, length n at P 13012.

int32_t extractCheck(int32_t) {
    CommandBlock& b = block();
    int32_t c = checkSingleInput();
    if (c == 103) return 106;
    if (c != 0) return c;
    const int32_t n = input().recordCount;
    const int32_t s = paramInt(b, QF_P_EXTRACT_SKIP);
    int32_t& length = paramInt(b, QF_P_EXTRACT_LENGTH);
    if (s < 0 || length < 0) return 105;
    if (s >= n) return 104;
    if (length > n - s) {
        length = n - s;
        return 103;
    }
    return 0;
}

int32_t extractPrepare(int32_t) {
    const CommandBlock& b = block();
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const int32_t s = paramInt(block(), QF_P_EXTRACT_SKIP);
    const int32_t n = paramInt(block(), QF_P_EXTRACT_LENGTH);
    const int32_t rest = in.recordCount - s;
    if (s < 0 || rest < 1 || n < 0) {
        emitMsg(QF_MSG_NOTICE, "Skipping more samples (%ld) than are samples (%ld) in '%s'.",
                static_cast<long>(s), static_cast<long>(in.recordCount), b.in1.n);
        return 1;
    }
    const int32_t count = (n != 0 && n < rest) ? n : rest;
    copyHeader(in, out, count);
    out.signalFrequency = in.signalFrequency;
    const long first = s, last = static_cast<long>(s) + count - 1;
    setRemark(out, std::string("(") + b.in1.n + fmtString(")[%ld..%ld]", first, last));
    fmt(runtime().description, sizeof runtime().description, "[%s] = part [%ld..%ld] of [%s]",
        b.out.n, first, last, b.in1.n);
    return 0;
}

int32_t extractCompute(int32_t, const ComputeArgs*) {
    const int64_t s = paramInt(block(), QF_P_EXTRACT_SKIP);
    return copyByIndex([s](int32_t i) { return s + i; });
}

int32_t extractRelease(int32_t) {
    emitMsg(QF_MSG_DESCRIPTION, "Extraction completed.");
    return 0;
}

}  // namespace qf::timeops
