// Operation 4080: the DCT of consecutive blocks of a time signal.
//
// The signal is cut into F = (L - 1) / N + 1 blocks of N samples (one block
// when L <= N), the last one zero-padded, and each block y[0 ... N-1] is
// transformed by the unnormalised DCT-II
//   Y[k] = sum_j y[j] cos(pi k (j + 1/2) / N),   k = 0 ... N - 1
// Block f is written as the 2N records f * 2N ... of a CREAL128RECT(W) file:
// Y[0] ... Y[N-1], then Y[N-1] ... Y[0], imaginary parts 0, so that frame
// displays show a symmetric spectrum (Frame size 2N, Frame interval N).
//
// Parameter (remembered in the status record): P 13012 DCT size N, a power
// of two from 32 to 1048576.  The compute slot holds the block kernel; an
// accelerator kernel in its place gets the same arguments (stages, N, the
// block's first sample, input, output) and writes the block's 2N records.
#pragma once

#include <cstdint>
#include <vector>

#include "core/operation.h"
#include "core/pipeline.h"
#include "ops/spectral/fft_core.h"

namespace qf {

enum DctCheck : int32_t {
    kDctFixedPointInput = 100,  // 16-bit input: the fixed-point notice (accepted)
    kDctUnreadableInput = 101,  // cannot be read, or not a time signal type
    kDctBadSize = 102,          // N not a power of two from 32 to 1048576
    kDctZeroPadding = 103,      // REAL32 input much shorter than N (accepted)
};

constexpr int32_t kDctMinSize = 32;
constexpr int32_t kDctMaxSize = 1 << 20;

// The DCT's working arrays for one block size n (allocated by prepareOutput,
// freed by release).
struct DctWorkspace {
    int32_t size = 0;           // n; 0 while nothing is allocated
    FftWorkspace fft;           // the n/2-point complex FFT
    std::vector<double> split;  // (cos, sin) of 2 pi k / n, k = 0 ... n/2 - 1
    std::vector<float> block;   // the block being transformed
    // 0, 1 for n not a power of two from 4 to 2^30, 2 when the memory cannot
    // be had (nothing is then allocated).
    int32_t allocate(int32_t n);
    void release();
};

// The DCT-II of y[0 ... n-1] in place, n = ws.size, by an n-point real FFT:
// (a) with theta = pi / 2n, for i = 1 ... n/2 (1-based) a = (y[i] +
// y[n-i+1]) / 2, b = sin((2i - 1) theta) (y[i] - y[n-i+1]), y[i] = a + b,
// y[n-i+1] = a - b, the sines made by a rotation recurrence; (b) the real
// FFT of y (packed: DC, Nyquist, then re/im pairs) from the n/2-point
// complex FFT and the split step; (c) pair k rotated by 2k theta; (d) the
// odd coefficients unfolded by a running sum from the top.  Working values
// are single-precision floats.  Returns 0, or 1 when ws is not allocated.
int32_t dctTransform(DctWorkspace& ws, float* y);

int32_t dctCheckParams(int32_t mode);
int32_t dctPrepareOutput(int32_t mode);
// The host block kernel: block dctBlockIndex() of args->size samples from
// input sample args->start, written to records dctBlockIndex() * 2N on.
int32_t dctCompute(int32_t mode, const ComputeArgs* args);
int32_t dctRelease(int32_t mode);
int32_t dctWalk(Run& run, OperationRecord& record);

OperationDescription dctDescription();
void registerDctOperation();

int32_t dctBlockCount();
int32_t dctBlockIndex();

}  // namespace qf
