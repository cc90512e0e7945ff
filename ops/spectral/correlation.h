// Correlation and convolution of time signals (direct sums of lagged
// products), each over a stretch of its inputs: S points skipped, then N
// points (N = 0: to the end).  With a[0 ... NA-1] and b[0 ... NB-1] the
// stretches (4010: a = b) and m = 0 ... NA + NB - 2:
//
//   4010, 4020  r(m) = sum_i a[i] b[i + m - (NA - 1)],  y(m) = r(m) / min(NA, NB)
//   4025        y(m) = sum_i a[i] b[m - i]               (no scaling)
//
// Lengths are capped so that the sums stay bounded: N <= 8192 for 4010,
// NA + NB <= 16384 for two inputs.  A REAL32 output (either input REAL32)
// sums in single precision, a 16-bit word w entering as w / 32768;
// otherwise the words are Q15 fractions summed by fxMul and fxAdd into a
// (32,15) accumulator, stored as (16,15) by fxMul with q = 32768 / min(NA,
// NB) (correlation) or by fxConvert under the engine's modes (convolution).
#pragma once

#include <cstdint>

#include "core/operation.h"

namespace qf {

constexpr int32_t kAutocorrelationCap = 8192;  // N of 4010
constexpr int32_t kTwoInputCap = 16384;        // NA + NB of 4020 and 4025

// checkParams results of 4010.  The adjusted values are written back.
enum AutocorrelationCheck : int32_t {
    kAutoUnreadable = 101,
    kAutoWrongType = 102,
    kAutoSkipReset = 103,  // S left fewer than 3 points: S = 0 (accepted)
    kAutoNegativeSkip = 104,
    kAutoNegativeLength = 105,
    kAutoLengthCut = 106,  // S + N beyond the end: N = L - S (accepted)
};
// checkParams results of 4020 and 4025 (the first that applies).
enum CorrelationCheck : int32_t {
    kCorrUnreadableA = 100,
    kCorrUnreadableB = 101,
    kCorrWrongTypeA = 102,
    kCorrWrongTypeB = 103,
    kCorrNegativeSkipA = 104,
    kCorrSkipResetA = 105,
    kCorrLengthCutA = 106,
    kCorrNegativeLengthA = 107,
    kCorrNegativeSkipB = 108,
    kCorrSkipResetB = 109,
    kCorrLengthCutB = 110,
    kCorrNegativeLengthB = 111,
    kCorrRatesDiffer = 112,  // accepted with a notice
};

int32_t autocorrelationCheckParams(int32_t mode);
int32_t correlationCheckParams(int32_t mode);

// The kernels (compute slot); the stretches are read by prepareOutput.
int32_t autocorrelationCompute(int32_t mode, const ComputeArgs* args);
int32_t crossCorrelationCompute(int32_t mode, const ComputeArgs* args);
int32_t convolutionCompute(int32_t mode, const ComputeArgs* args);

void registerCorrelationOperations();  // 4010, 4020, 4025

}  // namespace qf
