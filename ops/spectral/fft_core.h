// The FFT core shared by the spectral operations: the FFT working arrays, the
// sixteen analysis windows, the radix-2 transforms and the file-independent
// arithmetic of the frame kernel (frame plan, sample reading, zero padding).
//
// Transforms work in place on 2^stages complex values stored interleaved
// (re0, im0, re1, im1, ...), the layout of CREAL128RECT(W) records, so a frame
// can be transformed directly in an output file's buffer.
//
//   forward   X[k] = sum_n x[n] e^(-2 pi i n k / M)          (no scaling)
//   inverse   x[n] = (1/M) sum_k X[k] e^(+2 pi i n k / M)
//
// Radix-2 decimation in frequency on natural-order input, twiddles made by a
// rotation recurrence, bit-reversed order put right at the end.  Every value is
// produced by the same sequence of IEEE operations on every build; the code
// only changes the order in which independent butterflies are visited.
#pragma once

#include <cstdint>
#include <vector>

#include "signal/format.h"  // kWindowCount: the window name table

namespace qf {

constexpr int32_t kFftMinSize = 32;           // smallest frame size of the FFT operation
constexpr int32_t kFftMaxBoardSize = 2048;    // largest frame the accelerator transforms
constexpr int32_t kFftMaxHostSize = 1 << 20;  // largest frame the host transforms
constexpr int32_t kFftMaxStages = 30;         // largest transform the workspace accepts

// Window numbers, in the order of the window name table.
enum WindowNumber : int32_t {
    kWindowRectangular = 0,
    kWindowHanning = 1,
    kWindowBlackman = 2,
    kWindowExactBlackman = 3,
    kWindowHamming = 4,
    kWindowMin3Terms = 5,
    kWindowMin4Terms = 6,
    kWindowGaussian30 = 7,
    kWindowGaussian35 = 8,
    kWindowPoisson30 = 9,
    kWindowPoisson40 = 10,
    kWindowCauchy40 = 11,
    kWindowCauchy50 = 12,
    kWindowKaiser30 = 13,
    kWindowKaiser35 = 14,
    kWindowTriangular = 15,
};

// log2 n for a power of two n in 1 ... 2^30, otherwise -1.
int32_t fftStagesOf(int32_t n);

// The FFT working arrays for one transform size N (one set per operation,
// allocated in prepareOutput and freed in release).
struct FftWorkspace {
    int32_t size = 0;             // N, a power of two; 0 while nothing is allocated
    int32_t stages = 0;           // log2 N
    std::vector<double> twiddle;  // N/2 entries (re, im); entry k-1 is the twiddle of k
    std::vector<double> window;   // N window values
    std::vector<double> work;     // N complex values (re, im): a frame outside the file buffer
    bool buildTwiddles = false;   // the twiddle table has to be (re)built before use

    // Allocates the three arrays for n points and sets buildTwiddles.
    // Returns 0, 1 when n is not a power of two in 1 ... 2^30, 2 when the
    // memory cannot be had (the workspace is then released).
    int32_t allocate(int32_t n);
    // Frees the arrays; size becomes 0.
    void release();
    bool allocated() const { return size > 0; }

    // Private to the transforms: what the twiddle table holds (0 nothing,
    // +N forward twiddles, -N inverse twiddles), so that a rebuild which
    // would store the same values again can be skipped, and a copy of the
    // twiddles of the cache-sized sub-transforms (see fft_core.cpp).
    int32_t tableHolds = 0;
    std::vector<double> subTwiddle;
};

// Fills array[0 ... n-1] with window `number` (0 ... 15).  Returns 0, or 1
// for a number outside 0 ... 15, in which case the array holds 1.0 throughout.
// The window is symmetric; an odd n puts the centre value at index n/2.
int32_t computeWindow(int32_t number, int32_t n, double* array);

// In-place transforms of 2^stages interleaved complex doubles.
//
// fftForward builds the forward twiddle table when ws.buildTwiddles is set
// and leaves the flag set.  fftInverse builds the inverse table when the flag
// is set and then clears it, so the later frames of one run reuse the table;
// it scales every part by 1/M.  Both use whatever the table holds when the
// flag is clear, so a caller mixing the two sets the flag before each call.
// Return 0, or 1 (data untouched) when 2^stages is not the workspace size.
int32_t fftForward(FftWorkspace& ws, double* data, int32_t stages);
int32_t fftInverse(FftWorkspace& ws, double* data, int32_t stages);

// The Modified Bessel function I0 by its power series (the Kaiser windows).
double besselI0(double z);

// ---- Frame kernel arithmetic -------------------------------------------

// Where the frames of a signal of L samples start, for frame size N and frame
// interval I:
//   I = 0           one frame at sample 0
//   I < 0           one frame at sample -I, but at most L - N and never below 0
//   I > 0, L <= N   one frame at sample 0
//   I > 0, L > N    (L - N + I - 1) / I + 1 frames, frame f at f * I
// Counts and starts are 64-bit so that no parameter combination overflows;
// the caller checks that count * N fits the 32-bit record count.
struct FftFramePlan {
    int64_t count = 0;  // number of frames (always at least 1)
    int64_t first = 0;  // start of frame 0
    int64_t hop = 0;    // distance between frame starts (0 for a single frame)

    int64_t start(int64_t frame) const { return first + frame * hop; }
};
FftFramePlan fftFramePlan(int32_t recordCount, int32_t frameSize, int32_t interval);

// Samples of a frame at `start` that lie inside a signal of recordCount
// samples: min(N, L - start), never below 0.  The rest of the frame is padding.
int32_t fftFrameSamples(int32_t recordCount, int32_t frameSize, int64_t start);

// A sample's value in the transform: a 16-bit word holds a Q15 fraction
// (w / 32768, so -32768 is -1.0); a 32-bit float is used unchanged.
constexpr double kQ15 = 1.0 / 32768.0;
inline double fftSampleValue(int16_t word) {
    return word * kQ15;
}
inline double fftSampleValue(float value) {
    return value;
}

// Stores `count` samples as frame points at ... at + count - 1: real part =
// value x window[point], imaginary part 0.  `frame` is interleaved complex.
void fftLoadSamples(double* frame, int32_t at, const int16_t* samples, int32_t count,
                    const double* window);
void fftLoadSamples(double* frame, int32_t at, const float* samples, int32_t count,
                    const double* window);
// Sets frame points from ... frameSize - 1 to 0 + 0i (the window is not applied).
void fftZeroPad(double* frame, int32_t from, int32_t frameSize);

}  // namespace qf
