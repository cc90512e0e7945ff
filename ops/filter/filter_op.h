// Operation 4005: filtering a time signal (in2) with the designed filter of
// a coefficient file (in1) into out, y = filter(x).  The output has the
// signal's length, rate and number type (a single-channel recording gives
// 16-bit words); its remark is "<signal> filter by <filter>".
//
// The operation takes no parameters: its files are the whole command.  The
// filter's record type picks the kernel (kernels.h); a float signal through
// an FIR direct form of 64 taps or more is filtered by overlap-save.
#pragma once

#include <cstdint>

#include "core/operation.h"

namespace qf {

// checkParams results.
enum FilterCheck : int32_t {
    kFilterCheckBits = 9,    // a fixed-point FIR of neither 16 nor 24 bits
    kFilterCheckRates = 99,  // signal and filter rates differ (the run goes on)
    kFilterCheckFilterUnreadable = 101,
    kFilterCheckSignalUnreadable = 102,
    kFilterCheckSignalType = 103,   // not INTEGER16, REAL32 or REALTIMEINT16
    kFilterCheckFilterType = 104,   // a record type without a kernel
    kFilterCheckFixedBits = 105,    // fixed-point FIR taps of another width
    kFilterCheckTooManyTaps = 106,  // a fixed-point FIR of more than 8191 taps
};
constexpr int32_t kMaxFixedPointTaps = 8191;

// True when two sampling rates are the same rate: equal, or apart by no
// more than the rounding of a rate read as an angular frequency.
bool sameSamplingRate(double a, double b);

int32_t filterCheckParams(int32_t mode);
int32_t filterPrepareOutput(int32_t mode);
int32_t filterCompute(int32_t mode, const ComputeArgs* args);
int32_t filterRelease(int32_t mode);

// Blocks the last overlap-save run filtered (0 when it ran another kernel).
int32_t filterOverlapSaveBlocks();

OperationDescription filterDescription();

}  // namespace qf
