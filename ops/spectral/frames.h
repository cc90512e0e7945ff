// Operations on frame files (CREAL128RECT(W) spectra as the FFT writes them):
//
//   5110  average    groups of K frames: bin k = sqrt(sum |X_h[k]|^2) / c over
//                    the c frames of the group (K = 0: all frames)
//   5120  decompose  real parts into out ("X.tim" becomes "Xr.tim") and
//                    imaginary parts into in2 ("Xi.tim"), as time signals
//   5160  compose    a frame file from a real-part and an imaginary-part
//                    signal, zero beyond the shorter one, whole frames of N
//   5170  reciprocal per bin 1 / H = (re, -im) / (re^2 + im^2); a zero bin
//                    repeats the bin before it ((1, 0) for the first)
//
// Their script-line readers take the fields without running the check: a
// line that reads is run, and the operation reports what it refuses.
#pragma once

#include <cstdint>

#include "core/operation.h"

namespace qf {

// checkParams results of 5110, 5120, 5170.
enum FrameFileCheck : int32_t {
    kFrameWrongType = 100,    // not a type the operation takes
    kFrameUnreadable = 101,   // the input cannot be read
    kAverageNegativeK = 102,  // 5110: a negative number of frames per average
};
// checkParams results of 5160.
enum ComposeCheck : int32_t {
    kComposeRealUnreadable = 101,
    kComposeImagUnreadable = 102,
    kComposeRealType = 103,  // not a time signal type
    kComposeImagType = 104,
    kComposeBadSize = 105,       // a frame size below 1
    kComposeTooShort = 201,      // a signal with fewer than 3 samples
    kComposeRealChannels = 301,  // a multi-channel recording
    kComposeImagChannels = 302,
};

int32_t averageCheckParams(int32_t mode);
int32_t decomposeCheckParams(int32_t mode);
int32_t reciprocalCheckParams(int32_t mode);
int32_t composeCheckParams(int32_t mode);

// 5160's line: N and the frame interval in hexadecimal ("%lx").
int32_t composeReadScriptLine(int32_t mode, const char* line, CheckParamsFn check);

void registerFrameOperations();  // 5110, 5120, 5160, 5170

}  // namespace qf
