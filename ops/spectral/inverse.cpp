// Operation 5010: inverse FFT of a frame file (see inverse.h).
//
//   x_f[n] = (1/N) sum_k X_f[k] e^(+2 pi i n k / N)
//   y[p]   = (float)(Re x_f[n] * r[n]),   r[n] = 1 / w[n] (0 where w[n] = 0)
// with frame f's samples n = start ... start + count - 1 at consecutive
// output positions p, frame 0 starting at p = 0 with n = 0, the last frame
// ending with n = N - 1.
#include "ops/spectral/inverse.h"

#include <string>

#include "core/engine.h"
#include "core/frame.h"
#include "core/host.h"
#include "ops/spectral/bins.h"
#include "ops/spectral/fft_op.h"
#include "signal/access.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

// The input window of frames above 2048 points.
constexpr int32_t kLargeFrameInputBytes = 32768;

using spectral::Bin;

struct IfftState {
    FftWorkspace workspace;
    const double* window = nullptr;  // the reciprocal window; null: none allocated
    int32_t frameCount = 0;
    int32_t frameIndex = 0;
    int32_t interval = 0;
    int32_t position = 0;
    static constexpr Lifetime kLifetime = Lifetime::Start;
    void release() {
        workspace.release();
        window = nullptr;
    }
};

IfftState& state() {
    return familyState<IfftState>();
}

SignalDescriptor& inputDescriptor() {
    return blockDescriptor(block(), QF_ENTRY_IN1);
}
SignalDescriptor& outputDescriptor() {
    return blockDescriptor(block(), QF_ENTRY_OUT);
}

// The samples each frame contributes from its centre: start ... start +
// count - 1.  An interval larger than the frame, or a negative one (a
// single frame taken from inside a signal), contributes nothing from the
// centre: the first and the last frame then give their halves.
struct Centre {
    int32_t start;
    int32_t count;
};
Centre centreOf(int32_t n, int32_t interval) {
    const int32_t start = n / 2 - interval / 2;
    if (start < 0 || interval < 0) return {n / 2, 0};
    return {start, interval};
}

bool hostKernelRuns() {
    const Run* run = currentRun();
    return run == nullptr || run->record.compute == ifftCompute;
}

}  // namespace

int32_t ifftFrameCount() {
    return state().frameCount;
}
int32_t ifftFrameIndex() {
    return state().frameIndex;
}
int32_t ifftInterval() {
    return state().interval;
}
int32_t ifftOutputPosition() {
    return state().position;
}
const double* ifftReciprocalWindow() {
    return state().window;
}

bool ifftHostKernelInstalled() {
    const OperationRecord* r = findOperation(QF_OP_INVERSE_FFT);
    return r == nullptr || r->compute == ifftCompute;
}

// The single-input checker of the two-file dialog: a frame file whose
// frames overlap, or that holds a single frame.
int32_t ifftCheckParams(int32_t) {
    if (!readInputHeader(block().in1)) return kIfftUnreadable;
    const SignalDescriptor& d = inputDescriptor();
    if (d.param2 < d.param1 || d.recordCount <= d.param1) return 0;
    return kIfftNoOverlap;
}

int32_t ifftPrepareOutput(int32_t) {
    CommandBlock& b = block();
    IfftState& st = state();
    st.release();
    SignalDescriptor& in = inputDescriptor();
    SignalDescriptor& out = outputDescriptor();
    const int32_t n = in.param1;
    const int32_t interval = in.param2;
    const int32_t window = in.param3;
    paramInt(b, QF_P_FFT_WINDOW) = window;
    paramInt(b, QF_P_FFT_SIZE) = n;
    paramInt(b, QF_P_FFT_INTERVAL) = interval;

    if (n < kFftMinSize || n > kFftMaxHostSize || fftStagesOf(n) < 0) {
        emitMsg(QF_MSG_ERROR, "Frame size of %ld is not supported.  Must be power of 2.",
                static_cast<long>(n));
        return 1;
    }
    const bool host = hostKernelRuns();
    if (!host && n > kFftMaxBoardSize) {
        emitMsg(QF_MSG_ERROR,
                "Frame size of %ld is not supported on the accelerator.  Please turn off "
                "accelerator and try again",
                static_cast<long>(n));
        return 1;
    }
    // The input window holds one frame, so that a kernel finds the frame
    // in the input's buffer.
    sigClose(in);
    if (sigOpenRead(in, b.in1,
                    n <= kFftMaxBoardSize ? n * static_cast<int32_t>(sizeof(Bin))
                                          : kLargeFrameInputBytes) != 0)
        return 1;
    if (in.recordType == kCInt32Rect) {
        emitText(QF_MSG_NOTICE,
                 "Fractional fixed point FFT must be computed on fixed point DSP.  Please select "
                 "a fixed point DSP and turn on accelerator.");
        return 1;
    }
    if (in.recordType != kCReal128Rect) {
        emitMsg(QF_MSG_ERROR, "'%s' has an unsupported data type.", b.in1.n);
        return 1;
    }
    const int32_t frames = in.recordCount / n;
    if (frames < 1) {
        emitMsg(QF_MSG_ERROR, "'%s' holds no complete frame of %ld points.", b.in1.n,
                static_cast<long>(n));
        return 1;
    }
    const Centre c = centreOf(n, interval);
    const int64_t records = n + static_cast<int64_t>(frames - 1) * c.count;
    if (records > INT32_MAX) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    if (st.workspace.allocate(n) != 0) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    double* w = st.workspace.window.data();
    if (computeWindow(window, n, w) != 0) {
        st.release();
        emitMsg(QF_MSG_ERROR, "'%s' names no known window function.", b.in1.n);
        return 1;
    }
    for (int32_t i = 0; i < n; ++i)
        if (w[i] != 0.0) w[i] = 1.0 / w[i];
    st.window = w;
    st.frameCount = frames;
    st.frameIndex = 0;
    st.interval = interval;
    st.position = 0;

    out.recordType = kReal32;
    out.recordCount = static_cast<int32_t>(records);
    setRemark(out, std::string("IFFT(") + b.in1.n + ")");
    out.samplingRate = in.samplingRate;
    out.signalFrequency = in.signalFrequency;
    out.param1 = out.param2 = out.param3 = out.param4 = 0;
    fmt(runtime().description, sizeof runtime().description, "[%s] = Inverse FFT of [%s]", b.out.n,
        b.in1.n);
    return 0;
}

int32_t ifftRelease(int32_t) {
    state().release();
    return 0;
}

int32_t ifftCompute(int32_t, const ComputeArgs* args) {
    if (args == nullptr || args->input == nullptr || args->output == nullptr ||
        args->window == nullptr)
        return 1;
    IfftState& st = state();
    FftWorkspace& ws = st.workspace;
    const int32_t n = args->size;
    if (!ws.allocated() || ws.size != n || args->stages != ws.stages) return 1;
    double* frame = ws.work.data();
    if (spectral::readBins(*args->input, args->start, n, frame) != 0) return 1;
    if (fftInverse(ws, frame, args->stages) != 0) return 1;

    const Centre c = centreOf(n, st.interval);
    const int32_t first = st.frameIndex == 0 ? 0 : c.start;
    const int32_t last = st.frameIndex == st.frameCount - 1 ? n : c.start + c.count;
    const double* r = args->window;
    return forEachOutputSpan<float>(*args->output, st.position, last - first,
                                    [&](float* y, int32_t at, int32_t count) {
                                        const int32_t from = first + (at - st.position);
                                        for (int32_t i = 0; i < count; ++i) {
                                            const int32_t k = from + i;
                                            y[i] = static_cast<float>(frame[2 * k] * r[k]);
                                        }
                                    });
}

int32_t ifftWalk(Run& run, OperationRecord& record) {
    IfftState& st = state();
    SignalDescriptor& in = inputDescriptor();
    const int32_t n = in.param1;
    const Centre c = centreOf(n, st.interval);
    ComputeArgs& args = run.args;
    args.stages = fftStagesOf(n);
    args.size = n;
    args.window = st.window;
    args.input = &in;
    args.output = &outputDescriptor();
    for (int32_t f = 0; f < st.frameCount; ++f) {
        st.frameIndex = f;
        st.position = f == 0 ? 0 : c.start + f * c.count;
        args.start = f * n;
        if (sigAccess(in, args.start) != 0) return 1;
        const int32_t r = record.compute(run.mode, &args);
        if (r != 0) return r;
    }
    emitText(QF_MSG_DESCRIPTION, "Inverse FFT completed.");
    return 0;
}

OperationDescription inverseFftDescription() {
    OperationDescription d = describedOperation(
        QF_OP_INVERSE_FFT, "InverseFFT        ", "ifft",
        "a time signal from FFT frames: the window undone, overlapping frames stitched");
    d.files = {inputFile(QF_ENTRY_IN1, QF_FILE_FRAMES, ".fre", "Input file", 0, false),
               outputFile(QF_ENTRY_OUT, QF_FILE_TIME, ".tim", "Output file", 1)};
    d.dialog = {.kind = DialogKind::Files, .title = "Inverse FFT"};
    d.checks = twoFileChecks();
    d.script = {{Field::In1}, {Field::Out}};
    d.proposal = Proposal::FrameInput;
    d.show = Show::Waveform;
    d.realtime = Realtime::CloseWhenAccelerated;
    d.handlers.checkParams = ifftCheckParams;
    d.handlers.prepareOutput = ifftPrepareOutput;
    d.handlers.compute = ifftCompute;
    d.handlers.release = ifftRelease;
    d.pipeline.walk = ifftWalk;
    return d;
}

void registerInverseFftOperation() {
    registerDescribed(inverseFftDescription());
}

}  // namespace qf
