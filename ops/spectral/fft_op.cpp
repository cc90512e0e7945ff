// Operation 4050: FFT frames of a time signal (see fft_op.h).
//
// Frame plan for L samples, frame size N and frame interval I:
//   I = 0           one frame at sample 0
//   I < 0           one frame at min(-I, L - N), never below 0
//   I > 0, L <= N   one frame at sample 0
//   I > 0, L > N    (L - N + I - 1) / I + 1 frames, frame f at f * I
// Frame f is x[start + i] * w[i] for the samples present, then zeros, and
//   X_f[k] = sum_n frame[n] e^(-2 pi i n k / N),   record f * N + k.
// A 16-bit word w enters as w / 32768, a 32-bit float unchanged.
//
// Memory stays at about 40 bytes per FFT point whatever the signal length:
// the output window holds kSequentialWindowBytes (a whole number of frames
// of up to 65536 points), and each frame is assembled and transformed in
// place there; larger frames use the workspace's work array.  A kernel that
// replaces the host's (an accelerator) gets a window of exactly one frame.
#include "ops/spectral/fft_op.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "core/frame.h"
#include "core/host.h"
#include "core/pipeline.h"
#include "ops/spectral/bins.h"
#include "signal/access.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

constexpr const char* kFixedPointNotice =
    "To ensure accurate results, fixed point integer FFT is computed and stored in floating "
    "point data type.";
constexpr const char* kSizeMessage =
    "FFT size must be multiple of 2.  Maximum FFT size using accelerator is 2048; Maximum FFT "
    "size using host is 1048576.";
constexpr const char* kZeroPaddingNotice =
    "Zero padding is required because signal length is shorter than FFT frame size.  Escessive "
    "zero padding may cause smearing of adjacent frequencies. ";
constexpr const char* kOutOfMemory = kOutOfMemoryText;

// The state of the FFT operation, engine-wide and used by one operation at
// a time.
struct FftState {
    FftWorkspace workspace;
    const double* window = nullptr;  // the workspace's window array; null: none allocated
    int32_t frameCount = 0;
    int32_t frameIndex = 0;
    static constexpr Lifetime kLifetime = Lifetime::Start;
    void release() {
        workspace.release();
        window = nullptr;
    }
};

FftState& state() {
    return familyState<FftState>();
}

SignalDescriptor& inputDescriptor() {
    return blockDescriptor(block(), 0);
}
SignalDescriptor& outputDescriptor() {
    return blockDescriptor(block(), 2);
}

using spectral::Bin;

// Bins of `out` from record `first` on that are resident in its window.
Bin* residentBins(SignalDescriptor& out, int64_t first) {
    return static_cast<Bin*>(out.buffer) + (first - out.windowStart);
}

// Stores samples start ... start + count - 1 of the input, windowed, as
// frame points 0 ... count - 1, one input window at a time.
int32_t loadFrame(SignalDescriptor& in, double* frame, int32_t start, int32_t count,
                  const double* window) {
    if (in.recordType != kReal32)
        return forEachInputSpan<int16_t>(in, start, count,
                                         [&](const int16_t* x, int32_t at, int32_t n) {
                                             fftLoadSamples(frame, at - start, x, n, window);
                                         });
    return forEachInputSpan<float>(in, start, count, [&](const float* x, int32_t at, int32_t n) {
        fftLoadSamples(frame, at - start, x, n, window);
    });
}

// Copies a transformed frame into output records first ... first + size - 1.
int32_t storeFrame(SignalDescriptor& out, const double* frame, int64_t first, int32_t size) {
    int32_t k = 0;
    while (k < size) {
        const int64_t index = first + k;
        if (sigAccess(out, static_cast<int32_t>(index)) != 0) return 1;
        const int64_t resident = static_cast<int64_t>(out.windowStart) + out.windowCapacity - index;
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(size - k, resident));
        if (n < 1) return 1;
        std::memcpy(residentBins(out, index), frame + 2 * static_cast<int64_t>(k),
                    static_cast<std::size_t>(n) * sizeof(Bin));
        k += n;
    }
    return 0;
}

std::string fftRemark(const char* inputName) {
    std::string remark = "FFT(";
    remark.append(inputName, strnlen(inputName, QF_NAME_LEN));
    return remark + ')';
}

}  // namespace

// ---------------------------------------------------------------------------
// Engine-wide state

FftWorkspace& fftWorkspace() {
    return state().workspace;
}
const double* fftCurrentWindow() {
    return state().window;
}
int32_t fftFrameCount() {
    return state().frameCount;
}
int32_t fftFrameIndex() {
    return state().frameIndex;
}

bool fftSizeAccepted(int32_t n, bool hostKernel) {
    const int32_t largest = hostKernel ? kFftMaxHostSize : kFftMaxBoardSize;
    return n >= kFftMinSize && n <= largest && fftStagesOf(n) >= 0;
}

bool fftHostKernelInstalled() {
    const OperationRecord* r = findOperation(QF_OP_FFT);
    return r == nullptr || r->compute == fftCompute;
}

// ---------------------------------------------------------------------------
// Parameters

int32_t fftCheckParams(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& d = inputDescriptor();
    d.openMark = 0;
    if (sigOpenRead(d, b.in1, 0) != 0) {
        sigClose(d);
        return kFftUnreadableInput;
    }
    sigClose(d);
    if (!isTimeSignalType(d.recordType)) return kFftUnreadableInput;
    const int32_t n = paramInt(b, kFftSizeParam);
    if (!fftSizeAccepted(n, fftHostKernelInstalled())) return kFftBadSize;
    if (d.recordType != kReal32) return kFftFixedPointInput;
    if (d.recordCount > 0 && n / d.recordCount > 2) return kFftZeroPadding;
    return 0;
}

// ---------------------------------------------------------------------------
// Execution

// The output header of the frame file; the frame plan; the working arrays
// and the window.  Frames are only computed at sizes the installed kernel
// transforms.
int32_t fftPrepareOutput(int32_t) {
    CommandBlock& b = block();
    FftState& st = state();
    st.window = nullptr;
    SignalDescriptor& in = inputDescriptor();
    SignalDescriptor& out = outputDescriptor();
    if (!isTimeSignalType(in.recordType)) return 1;
    const int32_t n = paramInt(b, kFftSizeParam);
    const int32_t interval = paramInt(b, kFftIntervalParam);
    const int32_t window = paramInt(b, kFftWindowParam);
    const Run* run = currentRun();
    const bool hostKernel = run == nullptr || run->record.compute == fftCompute;
    if (!fftSizeAccepted(n, hostKernel)) {
        emitText(QF_MSG_NOTICE, kSizeMessage);
        return 1;
    }
    const FftFramePlan plan = fftFramePlan(in.recordCount, n, interval);
    const int64_t records = plan.count * n;
    if (records > INT32_MAX) {
        emitMsg(QF_MSG_ERROR,
                "%lld FFT frames of %d points would exceed the %d records a signal file can hold.  "
                "Operation aborted.",
                static_cast<long long>(plan.count), n, INT32_MAX);
        return 1;
    }
    if (st.workspace.allocate(n) != 0) {
        emitText(QF_MSG_ERROR, kOutOfMemory);
        return 1;
    }
    st.window = st.workspace.window.data();
    if (computeWindow(window, st.workspace.size, st.workspace.window.data()) != 0) {
        // No frame is computed with a window that does not exist.
        st.release();
        return 1;
    }
    st.frameCount = static_cast<int32_t>(plan.count);
    st.frameIndex = 0;
    out.recordType = kCReal128Rect;
    out.recordCount = static_cast<int32_t>(records);
    setRemark(out, fftRemark(b.in1.n));
    out.samplingRate = in.samplingRate;
    out.signalFrequency = in.signalFrequency;
    out.param1 = n;
    out.param2 = interval;
    out.param3 = window;
    out.param4 = 0;
    // An accelerator's kernel writes its frame into a window of exactly that
    // frame (at most 2048 points).
    out.bufferBytes = hostKernel ? kSequentialWindowBytes : n * static_cast<int32_t>(sizeof(Bin));
    fmt(runtime().description, sizeof runtime().description, "[%s] = FFT of [%s]", b.out.n,
        b.in1.n);
    return 0;
}

int32_t fftRelease(int32_t) {
    FftState& st = state();
    if (st.window != nullptr) {
        st.workspace.release();
        st.window = nullptr;
    }
    return 0;
}

int32_t fftCompute(int32_t, const ComputeArgs* args) {
    if (args == nullptr || args->input == nullptr || args->output == nullptr ||
        args->window == nullptr)
        return 1;
    FftState& st = state();
    FftWorkspace& ws = st.workspace;
    SignalDescriptor& in = *args->input;
    SignalDescriptor& out = *args->output;
    const int32_t n = args->size;
    if (!ws.allocated() || ws.size != n || args->stages != ws.stages) return 1;

    // The frame lives in the output window when that holds all of it,
    // otherwise in the work array.
    const int64_t first = static_cast<int64_t>(st.frameIndex) * n;
    if (sigAccess(out, static_cast<int32_t>(first)) != 0) return 1;
    const bool inPlace = out.buffer != nullptr && first >= out.windowStart &&
                         first + n <= static_cast<int64_t>(out.windowStart) + out.windowCapacity;
    double* frame = inPlace ? &residentBins(out, first)->re : ws.work.data();

    const int32_t present = fftFrameSamples(in.recordCount, n, args->start);
    if (loadFrame(in, frame, args->start, present, args->window) != 0) return 1;
    fftZeroPad(frame, present, n);
    if (fftForward(ws, frame, args->stages) != 0) return 1;
    return inPlace ? 0 : storeFrame(out, frame, first, n);
}

// Runs the kernel over the frame plan, one frame per call.
int32_t fftWalk(Run& run, OperationRecord& record) {
    FftState& st = state();
    SignalDescriptor& in = inputDescriptor();
    SignalDescriptor& out = outputDescriptor();
    const int32_t n = paramInt(run.block, kFftSizeParam);
    const FftFramePlan plan =
        fftFramePlan(in.recordCount, n, paramInt(run.block, kFftIntervalParam));
    ComputeArgs& args = run.args;
    args.stages = fftStagesOf(n);
    args.size = n;
    args.window = st.window;
    args.input = &in;
    args.output = &out;
    // Frames cover the output: each window is set whole before it moves.
    sigWindowsFilledByCaller(out);
    for (int32_t f = 0; f < st.frameCount; ++f) {
        st.frameIndex = f;
        if (userStopped()) return 1;
        if (sigAccess(out, static_cast<int32_t>(static_cast<int64_t>(f) * n)) != 0) return 1;
        // A frame starting past the signal is all padding: the start is
        // kept within the signal so that it fits the argument.
        args.start = static_cast<int32_t>(std::min<int64_t>(plan.start(f), in.recordCount));
        const int32_t r = record.compute(run.mode, &args);
        if (r != 0) return r;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Registration

namespace {

bool fixedPointNoticeWanted(const CommandBlock&) {
    return board().acceleratorOn == 0 && status().noticeSetting == 0;
}

}  // namespace

OperationDescription fftDescription() {
    OperationDescription d =
        describedOperation(QF_OP_FFT, "FastFourierTransform ", "fft",
                           "FFT frames of a time signal (N 32 ... 1048576, a power of two)");
    d.blanks = 4;
    d.files = {inputFile(QF_ENTRY_IN1, QF_FILE_TIME, ".tim", "Input file", 0),
               outputFile(QF_ENTRY_OUT, QF_FILE_FRAMES, ".fre", "Output file", 1)};
    // A command line gives the size and interval first.
    // The interval follows a size given without one: frames side by side.
    d.params = {intParam("size", kFftSizeParam)
                    .rememberedIn(&StatusRecord::fftSize)
                    .help("N")
                    .about("points per frame, a power of two from 32 to 1048576", nullptr, "256"),
                intParam("interval", kFftIntervalParam)
                    .rememberedIn(&StatusRecord::fftInterval)
                    .follows(kFftSizeParam)
                    .help("I")
                    .about("samples from the start of one frame to the next", "samples", "128"),
                intParam("window", kFftWindowParam)
                    .rememberedIn(&StatusRecord::fftWindow)
                    .choices(windowChoiceText())
                    .help("NAME|NUMBER")
                    .about("the window applied to each frame", nullptr, "Hamming")};
    d.script = {
        {Field::In1}, {Field::Param, 2}, {Field::Param, 0}, {Field::Param, 1}, {Field::Out}};
    d.scriptAccepts = {kFftFixedPointInput, kFftZeroPadding};
    d.dialog = {.kind = DialogKind::HostEdit,
                .edit = &HostInterface::dspFFTGetPara,
                .storeBeforeCheck = true};
    d.checks = {
        {kFftFixedPointInput,
         QF_MSG_NOTICE,
         kFixedPointNotice,
         Then::GoOn,
         {},
         nullptr,
         true,
         fixedPointNoticeWanted},
        {kFftUnreadableInput,
         QF_MSG_NOTICE,
         "Error reading '%s' or having unsupported data type.",
         Then::AskAgain,
         {Arg::In1Name}},
        {kFftBadSize,
         QF_MSG_NOTICE,
         kSizeMessage,
         Then::Fail,
         {},
         nullptr,
         false,
         nullptr,
         kFftSizeParam},
        {kFftZeroPadding, QF_MSG_CAUTION, kZeroPaddingNotice, Then::GoOn, {}, nullptr, true},
    };
    d.proposal = Proposal::SpectrumOutput;
    d.show = Show::Magnitude;
    d.realtime = Realtime::CloseWhenAccelerated;
    d.handlers.checkParams = fftCheckParams;
    d.handlers.prepareOutput = fftPrepareOutput;
    d.handlers.compute = fftCompute;
    d.handlers.release = fftRelease;
    d.pipeline.walk = fftWalk;
    return d;
}

void registerFftOperation() {
    registerDescribed(fftDescription());
}

}  // namespace qf
