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

// Input records [first, first + count) copied to dst, window by window.
template <typename T>
int32_t readRecords(SignalDescriptor& in, int64_t first, int32_t count, T* dst) {
    for (int64_t k = 0; k < count;) {
        const int32_t at = static_cast<int32_t>(first + k);
        if (sigAccess(in, at) != 0) return 1;
        const int64_t n = std::min<int64_t>(count - k, residentFrom(in, at));
        if (n < 1) return 1;
        std::memcpy(dst + k, in.at<T>(at), static_cast<std::size_t>(n) * sizeof(T));
        k += n;
    }
    return 0;
}

// Bins [first, first + count) of a frame file as interleaved doubles (re0,
// im0, re1, im1, ...), the layout the transforms work on.
inline int32_t readBins(SignalDescriptor& in, int64_t first, int32_t count, double* dst) {
    for (int64_t k = 0; k < count;) {
        const int32_t at = static_cast<int32_t>(first + k);
        if (sigAccess(in, at) != 0) return 1;
        const int64_t n = std::min<int64_t>(count - k, residentFrom(in, at));
        if (n < 1) return 1;
        std::memcpy(dst + 2 * k, in.at<Bin>(at), static_cast<std::size_t>(n) * sizeof(Bin));
        k += n;
    }
    return 0;
}

// src copied to output records [first, first + count), window by window.
template <typename T>
int32_t writeRecords(SignalDescriptor& out, int64_t first, int32_t count, const T* src) {
    return forEachOutputSpan<T>(
        out, static_cast<int32_t>(first), count, [src, first](T* y, int32_t at, int32_t n) {
            std::memcpy(y, src + (at - first), static_cast<std::size_t>(n) * sizeof(T));
        });
}

// Walks input records [first, first + count) window by window:
// f(const T* x, int32_t index, int32_t n).
template <typename T, typename F>
int32_t forEachInputSpan(SignalDescriptor& in, int64_t first, int32_t count, F f) {
    for (int64_t k = 0; k < count;) {
        const int32_t at = static_cast<int32_t>(first + k);
        if (sigAccess(in, at) != 0) return 1;
        const int64_t n = std::min<int64_t>(count - k, residentFrom(in, at));
        if (n < 1) return 1;
        f(static_cast<const T*>(in.at<T>(at)), at, static_cast<int32_t>(n));
        k += n;
    }
    return 0;
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
    for (int64_t k = 0; k < count;) {
        const int32_t at = static_cast<int32_t>(first + k);
        if (sigAccess(in, at) != 0) return 1;
        const int64_t n = std::min<int64_t>(count - k, residentFrom(in, at));
        if (n < 1) return 1;
        const int16_t* w = in.at<int16_t>(at);
        for (int64_t i = 0; i < n; ++i) dst[k + i] = static_cast<float>(w[i] * kQ15Float);
        k += n;
    }
    return 0;
}

}  // namespace qf::spectral
