// Time-domain operations with checks, output headers and kernels of their
// own, run by the pipeline:
//
//   3260 smoothing          y[t] = (x[t] + ... + x[t+N-1]) / N, the window
//                           shrinking over the last N - 1 samples
//   3270 sample and hold    y holds data[i] from each upward zero crossing
//                           of the clock between i and i + 1
//   3280 map and saturate   (X2, Y2)..(X1, Y1) linearly, clipped outside
//   3290 difference eqn.    y(n) = b0 x(n) + b1 x(n-1) + b2 x(n-2)
//                                  - a1 y(n-1) - a2 y(n-2)
//   3300 linear combination y = a x1 + b x2 + c (b = 0: in2 is not read)
//   3030 product            y = a x1 x2
//   3310 scaled logarithm   y = a log10(|x|), L for zero
//   3320 real to whole      y = x rounded by the rounding mode
//
// Check results (the dialog's messages are in the descriptions):
//   101 in1 cannot be read, 102 its type is not INTEGER16, REAL32 or
//   single-channel REALTIMEINT16, 103 it is a multi-channel recording;
//   201-203 the same about in2, 301 the two sampling rates differ (the
//   operation goes on).  Single operations: 104 (3260 N outside 2..16380,
//   3280 X1 < X2, 3310 L outside -32..32, 3320 a 16-bit input), 105 (3280
//   X1 or X2 outside -1..1 for 16-bit samples), 201 (3290 unstable: the
//   operation goes on with its outputs limited).
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/pipeline.h"
#include "ops/time/kernels.h"

namespace qf {

// Registers the eight operations (called by registerTimeOperations).
void registerOwnTimeOperations();

namespace timeops {

constexpr int32_t kSmoothMin = 2;
constexpr int32_t kSmoothMax = 16380;

// The verdict of the stability check of y(n) + a1 y(n-1) + a2 y(n-2):
// 'y' stable, 'c' marginal, 'n' unstable.
char diffEqStability(double a1, double a2);
// Rounding of real-to-whole conversion by the rounding mode: 'e' half to
// even, 'r' half up, anything else down.
double roundToWhole(double x, char roundingMode);
// Whether the linear combination of the block reads in2 (b is not 0).
bool combinationReads(const CommandBlock& block, int32_t entry);

// Checks (checkParams slot).
int32_t smoothCheck(int32_t mode);       // 101-103, 104
int32_t sampleHoldCheck(int32_t mode);   // 101-103, 201-203
int32_t mapCheck(int32_t mode);          // 101-103, 104, 105
int32_t diffEqCheck(int32_t mode);       // 101-103, 201 (goes on)
int32_t combinationCheck(int32_t mode);  // 101-103, 201-203, 301
int32_t productCheck(int32_t mode);      // 101-103, 201-203, 301
int32_t logCheck(int32_t mode);          // 101-103, 104
int32_t wholeCheck(int32_t mode);        // 101-103, 104

// Output headers, remarks and description lines (prepareOutput slot).
int32_t smoothPrepare(int32_t mode);  // also allocates the ring
int32_t sampleHoldPrepare(int32_t mode);
int32_t mapPrepare(int32_t mode);
int32_t diffEqPrepare(int32_t mode);
int32_t combinationPrepare(int32_t mode);
int32_t productPrepare(int32_t mode);
int32_t logPrepare(int32_t mode);
int32_t wholePrepare(int32_t mode);
int32_t smoothRelease(int32_t mode);  // frees the ring

// Kernels (compute slot).
int32_t smoothCompute(int32_t mode, const ComputeArgs* args);
int32_t sampleHoldCompute(int32_t mode, const ComputeArgs* args);
int32_t mapCompute(int32_t mode, const ComputeArgs* args);
int32_t diffEqCompute(int32_t mode, const ComputeArgs* args);
int32_t combinationCompute(int32_t mode, const ComputeArgs* args);
int32_t productCompute(int32_t mode, const ComputeArgs* args);
int32_t logCompute(int32_t mode, const ComputeArgs* args);
int32_t wholeCompute(int32_t mode, const ComputeArgs* args);

// The smoothing ring: the last N inputs, allocated for one run.
double* smoothingRing();

// Reads records [0, end) of an input in order, one window at a time, for
// kernels that read an input ahead of the output they write.
template <typename T>
class RecordReader {
  public:
    RecordReader(SignalDescriptor& d, int32_t end) : d_(d), end_(end) {}
    // The next record; false past `end` or when its window cannot be read.
    bool next(T& v) {
        if (left_ == 0) {
            if (i_ >= end_ || sigAccess(d_, i_) != 0) return false;
            p_ = d_.at<T>(i_);
            left_ = std::min(residentFrom(d_, i_), end_ - i_);
            if (left_ < 1) return false;
        }
        v = *p_++;
        --left_;
        ++i_;
        return true;
    }

  private:
    SignalDescriptor& d_;
    int32_t end_;
    int32_t i_ = 0;
    int32_t left_ = 0;
    const T* p_ = nullptr;
};

}  // namespace timeops
}  // namespace qf
