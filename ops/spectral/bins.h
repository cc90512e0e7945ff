// Reading and writing the records of the spectral operations span by span:
// frame spectra (CREAL128RECT(W): two doubles per bin, real part first) and
// time signal samples (INTEGER16 words holding Q15 fractions, REAL32 floats,
// single-channel REALTIMEINT16 read as INTEGER16).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/pipeline.h"
#include "signal/format.h"

namespace qf::spectral {

// One bin of a CREAL128RECT(W) record.
struct Bin {
    double re;
    double im;
};
static_assert(sizeof(Bin) == 16, "a CREAL128RECT(W) record is two doubles");

// A 16-bit word as a sample of the float paths: w x 3.0517578e-5 held as a
// float, which is w / 32768 exactly.
constexpr double kQ15Float = 3.0517578e-5;
// A 16-bit word as a double (compose): w x 2^-15.
constexpr double kQ15Exact = 3.0517578125e-05;

// Bins [first, first + count) of a frame file as interleaved doubles (re0,
// im0, re1, im1, ...), the layout the transforms work on.
inline int32_t readBins(SignalDescriptor& in, int64_t first, int32_t count, double* dst) {
    return forEachInputSpan<Bin>(in, first, count, [&](const Bin* x, int32_t at, int32_t n) {
        std::memcpy(dst + 2 * (at - first), x, static_cast<std::size_t>(n) * sizeof(Bin));
    });
}

// src copied to output records [first, first + count), window by window.
template <typename T>
int32_t writeRecords(SignalDescriptor& out, int64_t first, int32_t count, const T* src) {
    return forEachOutputSpan<T>(
        out, static_cast<int32_t>(first), count, [src, first](T* y, int32_t at, int32_t n) {
            std::memcpy(y, src + (at - first), static_cast<std::size_t>(n) * sizeof(T));
        });
}

// Samples [first, first + count) of a time signal as doubles at dst[0],
// dst[stride], ...: a REAL32 value unchanged, a 16-bit word w as w x 2^-15.
inline int32_t readExactSamples(SignalDescriptor& in, int64_t first, int32_t count, double* dst,
                                int stride) {
    if (in.recordType == kReal32)
        return forEachInputSpan<float>(in, first, count,
                                       [&](const float* x, int32_t at, int32_t n) {
                                           double* d = dst + (at - first) * stride;
                                           for (int32_t i = 0; i < n; ++i) d[i * stride] = x[i];
                                       });
    return forEachInputSpan<int16_t>(in, first, count,
                                     [&](const int16_t* x, int32_t at, int32_t n) {
                                         double* d = dst + (at - first) * stride;
                                         for (int32_t i = 0; i < n; ++i)
                                             d[i * stride] = x[i] * kQ15Exact;
                                     });
}

// Samples [first, first + count) of a time signal as floats: a REAL32 value
// unchanged, a 16-bit word w as (float)(w x 3.0517578e-5).
inline int32_t readFloatSamples(SignalDescriptor& in, int64_t first, int32_t count, float* dst) {
    if (in.recordType == kReal32) return readRecords(in, first, count, dst);
    return forEachInputSpan<int16_t>(in, first, count,
                                     [&](const int16_t* w, int32_t at, int32_t n) {
                                         float* d = dst + (at - first);
                                         for (int32_t i = 0; i < n; ++i)
                                             d[i] = static_cast<float>(w[i] * kQ15Float);
                                     });
}

}  // namespace qf::spectral
