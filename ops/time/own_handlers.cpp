// Square root (3060) and extraction (3100): operations with dialogs and
// checks of their own, run by the execute frame with their own output
// header and kernel.
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
#include "ops/time/kernels.h"
#include "signal/fixedpoint.h"
#include "signal/numfmt.h"

namespace qf::timeops {

namespace {

// Opens in1 header-only: 0, 101 (unreadable), 102 (type), 103 (channels).
int32_t checkSingleInput() {
    CommandBlock& b = block();
    SignalDescriptor& d = input();
    d.openMark = 0;
    if (sigOpenRead(d, b.in1, 0) != 0) {
        sigClose(d);
        return 101;
    }
    sigClose(d);
    if (d.recordType == kRealtimeInt16 && d.param1 > 1) return 103;
    if (d.recordType != kInteger16 && d.recordType != kReal32 && d.recordType != kRealtimeInt16)
        return 102;
    return 0;
}

// The messages of the shared check codes; false for a code that has none.
bool reportCheck(int32_t code, int32_t multiChannelCode) {
    const CommandBlock& b = block();
    if (code == 101) {
        emitMsg(QF_MSG_NOTICE, "Error reading '%s'.", b.in1.n);
    } else if (code == 102) {
        emitMsg(QF_MSG_NOTICE, "'%s' has an unsupported data type.", b.in1.n);
    } else if (code == multiChannelCode) {
        emitMsg(QF_MSG_NOTICE, "Please demultiplex signal before performing operations.");
    } else {
        return false;
    }
    return true;
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

int32_t sqrtGetParams(int32_t mode, CheckParamsFn check) {
    HostInterface& h = host();
    for (;;) {
        int32_t r = h.stdGet123Files ? h.stdGet123Files("Square Root", ".tim", "X(t)", ".tim",
                                                        "a*sqrt(X(t))", nullptr, nullptr, 32)
                                     : 1;
        if (r != 0) return r;
        const int32_t c = check ? check(mode) : 0;
        if (c == 0 || !reportCheck(c, 103)) return c;
    }
}

int32_t sqrtCheck(int32_t) {
    return checkSingleInput();
}

int32_t sqrtPrepareOutput(int32_t) {
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
    const double A = paramDouble(block(), kP);
    const char overflow = status().overflowMode;
    const int32_t type = out.recordType;
    if (kernelType(in) != type || (type != kInteger16 && type != kReal32)) return unknownDataType();
    for (int32_t i = 0; i < out.recordCount; ++i) {
        if (type == kInteger16) {
            const int16_t* x = recordAt<int16_t>(in, i);
            int16_t* y = x ? recordAt<int16_t>(out, i) : nullptr;
            if (y == nullptr) return 1;
            const double v = q15ToReal(*x);
            const double s = *x >= 0 ? 1.0 : -1.0;
            *y = storeQ15(s * 32768.0 * std::sqrt(std::fabs(v)) * A, overflow);
        } else {
            const float* x = recordAt<float>(in, i);
            float* y = x ? recordAt<float>(out, i) : nullptr;
            if (y == nullptr) return 1;
            const double v = *x;
            const double s = v >= 0.0 ? 1.0 : -1.0;
            *y = static_cast<float>(s * std::sqrt(std::fabs(v)) * A);
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Extraction: skip s at P 13008, length n at P 13012.

int32_t extractGetParams(int32_t mode, CheckParamsFn check) {
    CommandBlock& b = block();
    HostInterface& h = host();
    for (;;) {
        int32_t r = h.dspExtractGetPara ? h.dspExtractGetPara() : 1;
        if (r != 0) return r;
        const int32_t c = check ? check(mode) : 0;
        const int32_t s = paramInt(b, kP);
        switch (c) {
            case 0:
                return 0;
            case 103:
                emitMsg(QF_MSG_NOTICE,
                        "Insufficient samples in '%s'.  Length to copy truncated to %ld.", b.in1.n,
                        static_cast<long>(paramInt(b, kP + 4)));
                return 0;
            case 104:
                emitMsg(QF_MSG_NOTICE,
                        "Skipping more samples (%ld) than are samples (%ld) in '%s'.",
                        static_cast<long>(s), static_cast<long>(input().recordCount), b.in1.n);
                continue;
            case 105:
                emitMsg(QF_MSG_NOTICE,
                        "The number of samples to skip and the length to copy cannot be negative.");
                continue;
            default:
                if (!reportCheck(c, 106)) return c;
                continue;
        }
    }
}

int32_t extractCheck(int32_t) {
    CommandBlock& b = block();
    int32_t c = checkSingleInput();
    if (c == 103) return 106;
    if (c != 0) return c;
    const int32_t n = input().recordCount;
    const int32_t s = paramInt(b, kP);
    int32_t& length = paramInt(b, kP + 4);
    if (s < 0 || length < 0) return 105;
    if (s >= n) return 104;
    if (length > n - s) {
        length = n - s;
        return 103;
    }
    return 0;
}

int32_t extractPrepareOutput(int32_t) {
    const CommandBlock& b = block();
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const int32_t s = paramInt(block(), kP);
    const int32_t n = paramInt(block(), kP + 4);
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
    const int64_t s = paramInt(block(), kP);
    return copyByIndex([s](int32_t i) { return s + i; });
}

int32_t extractRelease(int32_t) {
    emitMsg(QF_MSG_DESCRIPTION, "Extraction completed.");
    return 0;
}

}  // namespace qf::timeops
