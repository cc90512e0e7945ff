// The time-domain operations' kernels and handlers, and the small pieces
// they share: the descriptors of the current command block, record access,
// output headers and the common messages.
//
// Signals are INTEGER16 (16-bit words with 15 fraction bits: w stands for
// w / 32768), REAL32, or single-channel REALTIMEINT16, which the kernels read
// as INTEGER16.  The input is descriptor slot 0 (slot 1 for a second input),
// the output slot 2.
#pragma once

#include <cstdint>
#include <string>

#include "core/operation.h"
#include "signal/access.h"
#include "signal/descriptor.h"
#include "signal/format.h"

namespace qf::timeops {

constexpr int kP = QF_PARAM_OFFSET;  // first parameter word of the block

SignalDescriptor& input(int slot = 0);
SignalDescriptor& output();
// The record type a kernel works with: REALTIMEINT16 reads as INTEGER16.
int32_t kernelType(const SignalDescriptor& d);
// Record i of d made resident, or null when the access failed.
template <typename T>
T* recordAt(SignalDescriptor& d, int32_t i) {
    return sigAccess(d, i) == 0 ? d.at<T>(i) : nullptr;
}
// "Unknown data type." (kind 0); returns 1.
int32_t unknownDataType();
// "Out of working memory.  Operation aborted." (kind 0); returns 1.
int32_t outOfMemory();
// The output's remark, cut to 127 characters.

// y[i] = x[source(i)] for every output record, 0 where the source index is
// outside the input.  INTEGER16 and REAL32 records; other types are refused.
template <typename Source>
int32_t copyByIndex(Source source);

// Kernels of the frame-served codes (compute slot).
int32_t constantCompute(int32_t mode, const ComputeArgs* args);     // 3015, 3025, 3035
int32_t functionCompute(int32_t mode, const ComputeArgs* args);     // 3040 3050 3110 3120 3130 3200
int32_t shiftCompute(int32_t mode, const ComputeArgs* args);        // 3070
int32_t flipCompute(int32_t mode, const ComputeArgs* args);         // 3090
int32_t joinCompute(int32_t mode, const ComputeArgs* args);         // 3220
int32_t quantizeCompute(int32_t mode, const ComputeArgs* args);     // 3230
int32_t differenceCompute(int32_t mode, const ComputeArgs* args);   // 3240
int32_t decimateCompute(int32_t mode, const ComputeArgs* args);     // 4030
int32_t interpolateCompute(int32_t mode, const ComputeArgs* args);  // 4040
// The element functions the execute frame hands to those kernels.
ComputeArgs elementFunctions(int32_t code);
// The reciprocal's remembered sign (kept while the library is loaded) back
// to positive, as when the library is loaded.
void resetReciprocalSign();

// Square root (3060) and extraction (3100): handlers of their own.
int32_t sqrtGetParams(int32_t mode, CheckParamsFn check);
int32_t sqrtCheck(int32_t mode);
int32_t sqrtPrepareOutput(int32_t mode);
int32_t sqrtCompute(int32_t mode, const ComputeArgs* args);
int32_t extractGetParams(int32_t mode, CheckParamsFn check);
int32_t extractCheck(int32_t mode);
int32_t extractPrepareOutput(int32_t mode);
int32_t extractCompute(int32_t mode, const ComputeArgs* args);
int32_t extractRelease(int32_t mode);

// ---------------------------------------------------------------------------

template <typename T, typename Source>
int32_t copyRecordsByIndex(SignalDescriptor& in, SignalDescriptor& out, Source source) {
    for (int32_t i = 0; i < out.recordCount; ++i) {
        const int64_t j = source(i);
        T v = T(0);
        if (j >= 0 && j < in.recordCount) {
            const T* x = recordAt<T>(in, static_cast<int32_t>(j));
            if (x == nullptr) return 1;
            v = *x;
        }
        T* y = recordAt<T>(out, i);
        if (y == nullptr) return 1;
        *y = v;
    }
    return 0;
}

template <typename Source>
int32_t copyByIndex(Source source) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    if (kernelType(in) != out.recordType) return unknownDataType();
    if (out.recordType == kInteger16) return copyRecordsByIndex<int16_t>(in, out, source);
    if (out.recordType == kReal32) return copyRecordsByIndex<float>(in, out, source);
    return unknownDataType();
}

}  // namespace qf::timeops
