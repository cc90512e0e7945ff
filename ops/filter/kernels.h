// The filter kernels, one per filter structure.  Each is a running filter
// that takes a signal piece by piece, its state (delay lines, section
// states, lattice arrays) starting at zero and carried from piece to piece.
//
// Signals are 16-bit words (INTEGER16 and single-channel REALTIMEINT16:
// Q15 fractions, or plain integers for the floating-point kernels) or
// 32-bit floats; the output has the input's number type.
//
//   FIR direct form (20, 21, 22)   y(n) = sum_k h[k] x(n-k), k = 0 ... T-1
//     float output: float sum of double products, times 2^-15 (Q15 taps),
//                   2^-23 (Q23 taps) or 1 (float taps)
//     16-bit output: Q15 taps  (16,15)x(16,15) -> (64,31) sum -> (16,15)
//                    Q23 taps  (32,23)x(16,15) -> (64,47) sum -> (16,15)
//                    float taps float sum of x h, truncated, low 16 bits
//   overlap-save FFT (float output, T >= 64): blocks of L = P - T + 1
//     samples, P the smallest power of two >= 4T
//   cascade form I (12, 13), cascade form II (16, 17), parallel form I
//     (36, 37): fixed-point sections with the primitives of fixedpoint.h
//   floating-point sections (18), IIR lattice (29), FIR lattice (30)
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ops/filter/coefficient_file.h"
#include "ops/spectral/fft_core.h"
#include "signal/fixedpoint.h"

namespace qf::filter {

// ---- Sample conversions ------------------------------------------------

// A float sample entering a fixed-point IIR kernel as a Q15 word: in
// overflow mode 's' 32767 for f >= 1.0 and -32768 for f < -1.0, otherwise
// 32767 f truncated toward zero with its low 16 bits kept.
int16_t q15FromFloatSample(float f, char overflowMode);
// A Q15 result written as a float: y times the single-precision 1/32767.
float floatFromQ15Result(int16_t y);
// A value stored into a 16-bit word: truncated toward zero, low 16 bits.
int16_t storeWord(double v);

// ---- Running filters ---------------------------------------------------

class FilterKernel {
  public:
    virtual ~FilterKernel() = default;
    // Filters n samples into y (y may not overlap x).
    virtual void run(const int16_t* x, int16_t* y, int32_t n) = 0;
    virtual void run(const float* x, float* y, int32_t n) = 0;
};

// A kernel that takes one float sample at a time (Derived::step): 16-bit
// samples go in as floats and come out stored as words.
template <typename Derived>
class FloatStepKernel : public FilterKernel {
  public:
    void run(const float* x, float* y, int32_t n) override {
        for (int32_t i = 0; i < n; ++i) y[i] = self().step(x[i]);
    }
    void run(const int16_t* x, int16_t* y, int32_t n) override {
        for (int32_t i = 0; i < n; ++i) y[i] = storeWord(self().step(static_cast<float>(x[i])));
    }

  private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

// The kernel of the filter's structure (throws std::bad_alloc when its
// state cannot be had); null for a record type without a kernel.  Kernels
// are made without writing to the log (see traceKernel).
std::unique_ptr<FilterKernel> makeKernel(const LoadedFilter& filter, FxModes modes);
// The same for the FIR structures (20, 21, 22, 30) and the IIR ones.
std::unique_ptr<FilterKernel> makeFirKernel(const LoadedFilter& filter, FxModes modes);
std::unique_ptr<FilterKernel> makeIirKernel(const LoadedFilter& filter, FxModes modes);
// Writes the trace lines of the kernels that have them (22, 29, 30).
void traceKernel(const LoadedFilter& filter);

// True when float samples through this filter go through overlap-save:
// an FIR direct form of at least kOverlapSaveTaps taps.
constexpr int32_t kOverlapSaveTaps = 64;
bool usesOverlapSave(const LoadedFilter& filter);

// FIR filtering of float samples by overlap-save FFT convolution:
//   M = T - 1, P = the smallest power of two >= 4T, L = P - M
//   H = FFT(h[0 ... T-1] x scale, zeros)       scale 2^-15, 2^-23 or 1
//   per block of n <= L samples, Work = [last M samples | n samples | 0]:
//   y = real parts M ... M+n-1 of IFFT(FFT(Work) . H)
class OverlapSave {
  public:
    explicit OverlapSave(const LoadedFilter& filter);  // throws std::bad_alloc
    int32_t fftSize() const { return size_; }
    int32_t blockLength() const { return size_ - (taps_ - 1); }
    int32_t blocks() const { return blocks_; }
    // Filters the next block of n (1 ... blockLength()) samples.
    void block(const float* x, float* y, int32_t n);

  private:
    int32_t taps_ = 0;
    int32_t size_ = 0;
    int32_t stages_ = 0;
    int32_t blocks_ = 0;
    // Forward and inverse twiddles are kept in two workspaces, so that
    // neither table is made again for every block (each is made by the same
    // recurrence, so every value is the one a rebuilt table would hold).
    FftWorkspace forward_;
    FftWorkspace inverse_;
    std::vector<double> response_;  // H: P complex values
    std::vector<double> overlap_;   // M complex values carried to the next block
};

}  // namespace qf::filter
