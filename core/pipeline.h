// The one execute pipeline of operations that read signal files and write
// new ones:
//
//   1. open the inputs the description names (windows of the description's
//      size, at least kSequentialWindowBytes: kernels walk from start to end)
//   2. let the family describe the outputs (prepareOutput: record type and
//      count, header fields, remark, description line; it may ask for a
//      file format or window size of its own)
//   3. create each output under a temporary name in its destination folder
//      (large windows: written behind while the kernel fills the next)
//   4. run the kernel (compute, or the family's walk calling compute per frame)
//   5. always release the family's working storage (release)
//   6. success: close the outputs, renaming each over its target, then send
//      the description line; failure or refusal: remove the temporary
//      files, so every file that existed before is as it was
//
// Kernels work on spans of records (forEachSpan and friends), window by
// window, not one record lookup per sample.  Between two windows the
// walkers ask whether the user stopped the run (Esc, as replay polls it);
// a stopped run ends like a failed one, its outputs removed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/operation.h"
#include "signal/access.h"
#include "signal/descriptor.h"

namespace qf {

// One run of the pipeline.
struct Run {
    CommandBlock& block;
    const OperationDescription& description;
    OperationRecord& record;
    int32_t mode = 0;
    ComputeArgs args;  // handed to compute; prepareOutput may set its buffer

    SignalDescriptor& slot(int32_t entry) const { return blockDescriptor(block, entry); }
};

// The execute handler of every pipeline operation.
int32_t pipelineExecute(int32_t mode, OperationRecord* record);
// The run in progress (null outside execute).
Run* currentRun();

// True when the user has stopped the run (the Esc key is down); the run is
// then marked interrupted (qfRunState).  Asked between blocks of work.
bool userStopped();
// The same, asked once every 65536 records by loops that go record by
// record (index mappings, conversions).
inline bool stoppedAt(int64_t index) {
    return (index & 0xFFFF) == 0 && index > 0 && userStopped();
}

// ---------------------------------------------------------------------------
// Spans

// Records of d resident from index i on (at least 1 once sigAccess succeeded).
inline int32_t residentFrom(const SignalDescriptor& d, int32_t i) {
    const int64_t end = static_cast<int64_t>(d.windowStart) + d.windowCapacity;
    return static_cast<int32_t>(std::max<int64_t>(end - i, 0));
}

// Walks input records [first, first + count) of one input window by window:
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

// Input records [first, first + count) copied to dst, window by window.
template <typename T>
int32_t readRecords(SignalDescriptor& in, int64_t first, int32_t count, T* dst) {
    return forEachInputSpan<T>(in, first, count, [&](const T* x, int32_t at, int32_t n) {
        std::memcpy(dst + (at - first), x, static_cast<std::size_t>(n) * sizeof(T));
    });
}

// A walk over the whole output from its first record sets every window
// whole before moving on: the output may hand its windows to its writer.
inline void noteWholeWalk(SignalDescriptor& out, int32_t first, int32_t count) {
    if (first == 0 && count >= out.recordCount) sigWindowsFilledByCaller(out);
}

// Walks records [first, first + count) of one output window by window:
// f(Out* y, int32_t index, int32_t n).  1 when a window could not be moved
// (the failure is reported and the descriptor closed).
template <typename Out, typename F>
int32_t forEachOutputSpan(SignalDescriptor& out, int32_t first, int32_t count, F f) {
    noteWholeWalk(out, first, count);
    const int64_t end = static_cast<int64_t>(first) + count;
    for (int64_t i = first; i < end;) {
        const int32_t at = static_cast<int32_t>(i);
        if (userStopped() || sigAccess(out, at) != 0) return 1;
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(end - i, residentFrom(out, at)));
        if (n < 1) return 1;
        f(out.at<Out>(at), at, n);
        i += n;
    }
    return 0;
}

// The same over one input and one output read and written at the same
// indices: f(const In* x, Out* y, int32_t index, int32_t n).
template <typename In, typename Out, typename F>
int32_t forEachSpan(SignalDescriptor& in, SignalDescriptor& out, int32_t first, int32_t count,
                    F f) {
    noteWholeWalk(out, first, count);
    const int64_t end = static_cast<int64_t>(first) + count;
    for (int64_t i = first; i < end;) {
        const int32_t at = static_cast<int32_t>(i);
        if (userStopped() || sigAccess(in, at) != 0 || sigAccess(out, at) != 0) return 1;
        const int64_t n = std::min<int64_t>({end - i, residentFrom(in, at), residentFrom(out, at)});
        if (n < 1) return 1;
        f(static_cast<const In*>(in.at<In>(at)), out.at<Out>(at), at, static_cast<int32_t>(n));
        i += n;
    }
    return 0;
}

// Two inputs and one output at the same indices:
// f(const A* a, const B* b, Out* y, int32_t index, int32_t n).
template <typename A, typename B, typename Out, typename F>
int32_t forEachSpan2(SignalDescriptor& a, SignalDescriptor& b, SignalDescriptor& out, int32_t first,
                     int32_t count, F f) {
    noteWholeWalk(out, first, count);
    const int64_t end = static_cast<int64_t>(first) + count;
    for (int64_t i = first; i < end;) {
        const int32_t at = static_cast<int32_t>(i);
        if (userStopped() || sigAccess(a, at) != 0 || sigAccess(b, at) != 0 ||
            sigAccess(out, at) != 0)
            return 1;
        const int64_t n = std::min<int64_t>(
            {end - i, residentFrom(a, at), residentFrom(b, at), residentFrom(out, at)});
        if (n < 1) return 1;
        f(static_cast<const A*>(a.at<A>(at)), static_cast<const B*>(b.at<B>(at)), out.at<Out>(at),
          at, static_cast<int32_t>(n));
        i += n;
    }
    return 0;
}

}  // namespace qf
