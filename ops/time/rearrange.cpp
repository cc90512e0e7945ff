// Operations that move, mask or difference samples.
//
//   3070 shift right by k   y[i] = x[i - k]; the first k outputs are 0 (k > 0)
//   3090 time flip          y[N - 1 - i] = x[i]
//   3220 join               in1 followed by in2
//   3230 quantization       y = x AND (the b top bits of a 16-bit word)
//   3240 delay difference   y[j] = x[j + d] - x[j], j < N - d
//   4030 decimation by M    y[i] = x[i * M]
//   4040 interpolation by L y[i * L] = x[i], L - 1 zeros after each
// Output counts and rates come from the frame's output header.
#include <new>
#include <vector>

#include "core/engine.h"
#include "core/pipeline.h"
#include "ops/time/kernels.h"
#include "signal/fixedpoint.h"

namespace qf::timeops {

namespace {

int32_t parameter() {
    return paramInt(block(), kP);
}

// The join's conversion of a 16-bit word to REAL32: the float nearest 1/32767.
constexpr float kJoinScale = 3.0518509e-5f;

// Copies records [0, n) of `from` to records [first, first + n) of `out`,
// converting 16-bit words to float when the types differ.
int32_t appendRecords(SignalDescriptor& from, SignalDescriptor& out, int32_t first) {
    const int32_t t = kernelType(from);
    for (int32_t j = 0; j < from.recordCount; ++j) {
        const int32_t i = first + j;
        if (t == out.recordType && t == kInteger16) {
            const int16_t* x = recordAt<int16_t>(from, j);
            int16_t* y = x ? recordAt<int16_t>(out, i) : nullptr;
            if (y == nullptr) return 1;
            *y = *x;
        } else if (t == kInteger16) {
            const int16_t* x = recordAt<int16_t>(from, j);
            float* y = x ? recordAt<float>(out, i) : nullptr;
            if (y == nullptr) return 1;
            *y = static_cast<float>(*x) * kJoinScale;
        } else {
            const float* x = recordAt<float>(from, j);
            float* y = x ? recordAt<float>(out, i) : nullptr;
            if (y == nullptr) return 1;
            *y = *x;
        }
    }
    return 0;
}

template <typename T>
int32_t delayDifference(SignalDescriptor& in, SignalDescriptor& out, int32_t d) {
    std::vector<T> store;  // the last d input samples, circularly
    try {
        store.resize(static_cast<std::size_t>(d));
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
    const char overflow = status().overflowMode;
    for (int32_t j = 0; j < in.recordCount; ++j) {
        if (stoppedAt(j)) return 1;
        const T* x = recordAt<T>(in, j);
        if (x == nullptr) return 1;
        const T now = *x;
        if (j >= d && j - d < out.recordCount) {
            const T before = d > 0 ? store[static_cast<std::size_t>(j % d)] : now;
            T* y = recordAt<T>(out, j - d);
            if (y == nullptr) return 1;
            if constexpr (sizeof(T) == 2)
                *y = storeQ15(static_cast<double>(static_cast<int32_t>(now) - before), overflow);
            else
                *y = static_cast<float>(static_cast<double>(now) - static_cast<double>(before));
        }
        if (d > 0) store[static_cast<std::size_t>(j % d)] = now;
    }
    return 0;
}

}  // namespace

int32_t shiftCompute(int32_t, const ComputeArgs*) {
    const int64_t k = parameter();
    return copyByIndex([k](int32_t i) { return i - k; });
}

int32_t flipCompute(int32_t, const ComputeArgs*) {
    const int64_t n = input().recordCount;
    return copyByIndex([n](int32_t i) { return n - 1 - i; });
}

int32_t decimateCompute(int32_t, const ComputeArgs*) {
    const int64_t m = parameter();
    return copyByIndex([m](int32_t i) { return i * m; });
}

int32_t interpolateCompute(int32_t, const ComputeArgs*) {
    const int64_t l = parameter();
    if (l < 1) return 1;  // the check lets only factors of 2 and more through
    return copyByIndex([l](int32_t i) { return i % l == 0 ? i / l : int64_t{-1}; });
}

int32_t joinCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& a = input(0);
    SignalDescriptor& b = input(1);
    SignalDescriptor& out = output();
    const int32_t t1 = kernelType(a), t2 = kernelType(b);
    const bool known = (t1 == kInteger16 || t1 == kReal32) && (t2 == kInteger16 || t2 == kReal32);
    const int32_t expected = t1 == t2 ? t1 : kReal32;
    if (!known || kernelType(out) != expected) return unknownDataType();
    if (appendRecords(a, out, 0) != 0) return 1;
    return appendRecords(b, out, a.recordCount);
}

int32_t quantizeCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const int32_t bits = parameter();
    if (kernelType(in) != kInteger16 || out.recordType != kInteger16 || bits < 0 || bits > 31)
        return unknownDataType();
    const uint16_t mask = static_cast<uint16_t>((0xFFFF0000u >> bits) & 0xFFFFu);
    for (int32_t i = 0; i < out.recordCount; ++i) {
        if (stoppedAt(i)) return 1;
        const int16_t* x = recordAt<int16_t>(in, i);
        int16_t* y = x ? recordAt<int16_t>(out, i) : nullptr;
        if (y == nullptr) return 1;
        *y = static_cast<int16_t>(static_cast<uint16_t>(*x) & mask);
    }
    return 0;
}

int32_t differenceCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = input();
    SignalDescriptor& out = output();
    const int32_t d = parameter();
    // A negative delay asks for a store of negative size.
    if (d < 0) return outOfMemory();
    if (kernelType(in) != out.recordType) return unknownDataType();
    if (out.recordType == kInteger16) return delayDifference<int16_t>(in, out, d);
    if (out.recordType == kReal32) return delayDifference<float>(in, out, d);
    return unknownDataType();
}

}  // namespace qf::timeops
