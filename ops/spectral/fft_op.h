// Operation 4050: the FFT of a time signal into a file of frame spectra.
//
// The signal (INTEGER16, REAL32 or a single-channel REALTIMEINT16) is cut
// into frames of N samples; each frame is windowed, zero-padded where the
// signal runs out and transformed by the radix-2 FFT of fft_core.h.  Bin k of
// frame f is record f * N + k of a CREAL128RECT(W) file (two doubles, real
// part first), the whole spectrum of every frame.
//
// Parameters in the command block (remembered in the status record):
//   P 13008  window number   int32   0 ... 15
//   P 13012  FFT size N      int32   32 ... 2048, up to 2^20 on the host
//   P 13016  frame interval  int32   hop between frame starts; 0 one frame at
//                                    0, negative one frame at -I (at most L - N)
//
// The compute slot holds the frame kernel.  An accelerator kernel may take
// its place; it gets the same arguments and writes each frame into the
// output's buffer, which then holds exactly that frame, so frames above 2048
// points are refused while any kernel but fftCompute is installed.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/operation.h"
#include "core/pipeline.h"
#include "ops/spectral/fft_core.h"

namespace qf {

constexpr int kFftWindowParam = QF_PARAM_OFFSET;        // 13008
constexpr int kFftSizeParam = QF_PARAM_OFFSET + 4;      // 13012
constexpr int kFftIntervalParam = QF_PARAM_OFFSET + 8;  // 13016

// checkParams results.
enum FftCheck : int32_t {
    kFftFixedPointInput = 100,  // 16-bit input: the fixed-point notice (accepted)
    kFftUnreadableInput = 101,  // cannot be read, or not a time signal type
    kFftBadSize = 102,          // N not a power of two the kernel transforms
    kFftZeroPadding = 103,      // REAL32 input much shorter than N (accepted)
};

constexpr int32_t kFftInputBuffer = 16384;       // bytes of the input window

// The handlers of the record.
int32_t fftCheckParams(int32_t mode);
int32_t fftPrepareOutput(int32_t mode);
// The host frame kernel: transforms frame fftFrameIndex() of args->size
// points starting at input sample args->start into output records
// fftFrameIndex() * N ... + N - 1.  Returns 0, or 1 when a record could not
// be read or written (the failure is reported).
int32_t fftCompute(int32_t mode, const ComputeArgs* args);
int32_t fftRelease(int32_t mode);
// Calls the record's compute once per frame of the plan.
int32_t fftWalk(Run& run, OperationRecord& record);

// The 4050 description with the host kernel, and its registration.
OperationDescription fftDescription();
void registerFftOperation();

// True when a frame of n points is transformed: 32 ... 2048, and with the
// host kernel every power of two up to 2^20.
bool fftSizeAccepted(int32_t n, bool hostKernel);
// True while the table's 4050 record holds the host kernel (or no record).
bool fftHostKernelInstalled();

// Engine-wide state of the running FFT: the working arrays, the current
// window array (null while nothing is allocated), the number of frames and
// the frame being computed.
FftWorkspace& fftWorkspace();
const double* fftCurrentWindow();
int32_t fftFrameCount();
int32_t fftFrameIndex();

}  // namespace qf
