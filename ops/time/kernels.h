// The time-domain operations' kernels, checks and output headers.
// Signals are INTEGER16 (16-bit words with 15 fraction bits: w stands for
// w / 32768), REAL32, or single-channel REALTIMEINT16, which the kernels read
// as INTEGER16.  The input is descriptor slot 0 (slot 1 for a second input),
// the output slot 2.  Kernels walk the records span by span (one window of
// records at a time), with the arithmetic of each operation in a small
// element type.
#pragma once

#include <cstdint>
#include <string>

#include "core/frame.h"
#include "core/operation.h"
#include "core/pipeline.h"
#include "signal/access.h"
#include "signal/descriptor.h"
#include "signal/format.h"

namespace qf::timeops {

constexpr int kP = QF_PARAM_OFFSET;  // first parameter word of the block

SignalDescriptor& input(int slot = 0);
SignalDescriptor& output();
// Record i of d made resident, or null when the access failed.
template <typename T>
T* recordAt(SignalDescriptor& d, int32_t i) {
    return sigAccess(d, i) == 0 ? d.at<T>(i) : nullptr;
}
// "Unknown data type." (kind 0); returns 1.
int32_t unknownDataType();
// "Out of working memory.  Operation aborted." (kind 0); returns 1.
int32_t outOfMemory();

// y[i] = x[source(i)] for every output record, 0 where the source index is
// outside the input.  INTEGER16 and REAL32 records; other types are refused.
template <typename Source>
int32_t copyByIndex(Source source);

// ---------------------------------------------------------------------------
// Element arithmetic

// 3010 and 3015: x + y; 3020: x - y; 3025: c - x; 3035: c * x.  16-bit
// words go through the fixed-point primitives (truncating, wrapping).
struct Add {
    static void fixed(const void* a, int wa, const void* b, int wb, int16_t* r);
    static double real(double a, double b) { return a + b; }
};
struct Subtract {
    static void fixed(const void* a, int wa, const void* b, int wb, int16_t* r);
    static double real(double a, double b) { return a - b; }
};
struct Multiply {
    static void fixed(const void* a, int wa, const void* b, int wb, int16_t* r);
    static double real(double a, double b) { return a * b; }
};

// The functions g of A * g(a * x).  The reciprocal of 0 is +-FLT_MAX with
// the sign of the last nonzero argument it saw, in this run or an earlier
// one (positive while the library is newly loaded).
double reciprocalOf(double x);
double squareOf(double x);
double sineOf(double x);
double cosineOf(double x);
double tangentOf(double x);
double exponentialOf(double x);

// ---------------------------------------------------------------------------
// Kernels (compute slot)

template <typename Op>
int32_t twoInputCompute(int32_t mode, const ComputeArgs* args);  // 3010, 3020
template <typename Op>
int32_t constantCompute(int32_t mode, const ComputeArgs* args);  // 3015, 3025, 3035
// 3040 3050 3110 3120 3130 3200: A * g(a * x); a is 1 for operations with
// one parameter.
template <double (*G)(double)>
int32_t functionCompute(int32_t mode, const ComputeArgs* args);
int32_t shiftCompute(int32_t mode, const ComputeArgs* args);        // 3070
int32_t flipCompute(int32_t mode, const ComputeArgs* args);         // 3090
int32_t joinCompute(int32_t mode, const ComputeArgs* args);         // 3220
int32_t quantizeCompute(int32_t mode, const ComputeArgs* args);     // 3230
int32_t differenceCompute(int32_t mode, const ComputeArgs* args);   // 3240
int32_t decimateCompute(int32_t mode, const ComputeArgs* args);     // 4030
int32_t interpolateCompute(int32_t mode, const ComputeArgs* args);  // 4040
int32_t sqrtCompute(int32_t mode, const ComputeArgs* args);         // 3060
int32_t extractCompute(int32_t mode, const ComputeArgs* args);      // 3100

// Checks (checkParams slot).
int32_t timeInputCheck(int32_t mode);      // two-file dialog: 1 unreadable, 101 type
int32_t differenceCheck(int32_t mode);     // and 105 too few samples for the delay
int32_t shiftCheck(int32_t mode);          // file-and-constant dialog: 100, 101
int32_t quantizeCheck(int32_t mode);       // 100, 106, 107
int32_t decimateCheck(int32_t mode);       // 100, 102, 103
int32_t interpolateCheck(int32_t mode);    // 100, 104, 105
int32_t constantInputCheck(int32_t mode);  // 100
int32_t sqrtCheck(int32_t mode);           // 101, 102, 103
int32_t extractCheck(int32_t mode);        // 101, 102, 103-106

// Output headers and labels (prepareOutput slot).
int32_t sumPrepare(int32_t mode);          // 3010
int32_t differencePrepare(int32_t mode);   // 3020
int32_t joinPrepare(int32_t mode);         // 3220
int32_t addKPrepare(int32_t mode);         // 3015
int32_t negateAddPrepare(int32_t mode);    // 3025
int32_t scalePrepare(int32_t mode);        // 3035
int32_t reciprocalPrepare(int32_t mode);   // 3040
int32_t squarePrepare(int32_t mode);       // 3050
int32_t shiftPrepare(int32_t mode);        // 3070
int32_t flipPrepare(int32_t mode);         // 3090
int32_t sinePrepare(int32_t mode);         // 3110
int32_t cosinePrepare(int32_t mode);       // 3120
int32_t tangentPrepare(int32_t mode);      // 3130
int32_t exponentialPrepare(int32_t mode);  // 3200
int32_t quantizePrepare(int32_t mode);     // 3230
int32_t delayDiffPrepare(int32_t mode);    // 3240
int32_t decimatePrepare(int32_t mode);     // 4030
int32_t interpolatePrepare(int32_t mode);  // 4040
int32_t sqrtPrepare(int32_t mode);         // 3060
int32_t extractPrepare(int32_t mode);      // 3100
int32_t extractRelease(int32_t mode);      // 3100: "Extraction completed."

// ---------------------------------------------------------------------------

template <typename T, typename Source>
int32_t copyRecordsByIndex(SignalDescriptor& in, SignalDescriptor& out, Source source) {
    for (int32_t i = 0; i < out.recordCount; ++i) {
        if (stoppedAt(i)) return 1;
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
