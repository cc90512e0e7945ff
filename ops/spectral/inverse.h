// Operation 5010: the inverse FFT of a frame file back to a time signal.
//
// Frame size N, frame interval I and window come from the input header
// (they are stored in the command block's FFT fields, P 13008 window, 13012
// N, 13016 I).  Each of the F = records / N frames is transformed by
// fftInverse (scaled by 1/N), the analysis window is undone by multiplying
// with its reciprocal values (a window value of 0 stays 0), and the frames
// are stitched by their centred I samples:
//   start = N/2 - I/2, count = I   (start < 0 or I < 0: start = N/2, count = 0)
//   frame 0 also writes samples 0 ... start - 1, the last frame also
//   start + count ... N - 1
// so the output holds N + (F - 1) * count REAL32 samples.
//
// The compute slot holds the frame kernel.  An accelerator kernel may take
// its place with the same arguments; the input's window then holds exactly
// the frame (N records) for N up to 2048, and larger frames are refused
// while any kernel but ifftCompute is installed.
#pragma once

#include <cstdint>

#include "core/operation.h"
#include "core/pipeline.h"
#include "ops/spectral/fft_core.h"

namespace qf {

// checkParams results (the two-file dialog's).
enum IfftCheck : int32_t {
    kIfftUnreadable = 1,   // the input cannot be read (the file layer reported it)
    kIfftNoOverlap = 103,  // several frames whose interval is not below the frame size
};

int32_t ifftCheckParams(int32_t mode);
int32_t ifftPrepareOutput(int32_t mode);
// The host frame kernel: the frame of args->size bins starting at input
// record args->start (frame ifftFrameIndex()) written from output sample
// ifftOutputPosition() on.  args->window holds the reciprocal window.
int32_t ifftCompute(int32_t mode, const ComputeArgs* args);
int32_t ifftRelease(int32_t mode);
// Positions the input at each frame and calls the record's compute.
int32_t ifftWalk(Run& run, OperationRecord& record);

OperationDescription inverseFftDescription();
void registerInverseFftOperation();
// True while the table's 5010 record holds the host kernel (or no record).
bool ifftHostKernelInstalled();

// The running inverse FFT: the frame count F, the frame being transformed,
// the frame interval, the output sample its first written value goes to,
// and the reciprocal window (null while nothing is allocated).
int32_t ifftFrameCount();
int32_t ifftFrameIndex();
int32_t ifftInterval();
int32_t ifftOutputPosition();
const double* ifftReciprocalWindow();

}  // namespace qf
