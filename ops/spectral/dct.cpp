// Operation 4080: DCT of consecutive blocks (see dct.h).
//
// The real FFT of step (b), written with the transforms' sign e^(-i...):
// with z_m = y[2m] + i y[2m+1] and Z its n/2-point FFT,
//   E_k = (Z_k + conj Z_(n/2-k)) / 2,   O_k = (Z_k - conj Z_(n/2-k)) / 2i
//   R_k = E_k + e^(-2 pi i k / n) O_k
// and the packed spectrum holds conj R_k (the rotation of step (c) turns
// the other way), R_0 = Re Z_0 + Im Z_0 and R_(n/2) = Re Z_0 - Im Z_0.
#include "ops/spectral/dct.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "core/engine.h"
#include "core/frame.h"
#include "core/host.h"
#include "ops/spectral/bins.h"
#include "signal/access.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

using spectral::Bin;

constexpr const char* kFixedPointNotice =
    "To ensure accurate results, fixed point integer DCT is computed and stored in floating "
    "point data type.";
constexpr const char* kSizeMessage =
    "DCT size must be multiple of 2.  Maximum DCT size using accelerator is 2048; Maximum DCT "
    "size using host is 1048576.";
constexpr const char* kZeroPaddingNotice =
    "Zero padding is required because signal length is shorter than DCT frame size.  Escessive "
    "zero padding may cause smearing of adjacent frequencies. ";
constexpr int32_t kOutputBuffer = 32768;

struct DctState {
    DctWorkspace workspace;
    int32_t blockCount = 0;
    int32_t blockIndex = 0;
    static constexpr Lifetime kLifetime = Lifetime::Start;
    void release() { workspace.release(); }
};

DctState& state() {
    return familyState<DctState>();
}

SignalDescriptor& slot(int k) {
    return blockDescriptor(block(), k);
}

bool sizeAccepted(int32_t n) {
    return n >= kDctMinSize && n <= kDctMaxSize && fftStagesOf(n) >= 0;
}

int32_t blocksOf(int32_t samples, int32_t n) {
    return samples > n ? (samples - 1) / n + 1 : 1;
}

bool fixedPointNoticeWanted(const CommandBlock&) {
    return board().acceleratorOn == 0 && status().noticeSetting == 0;
}

// A size that no run has remembered yet starts at 1024, as the FFT's does.
int32_t seedSize(CommandBlock& b) {
    if (status().dctSize == 0) paramInt(b, QF_P_DCT_SIZE) = 1024;
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Transform

int32_t DctWorkspace::allocate(int32_t n) {
    release();
    if (n < 4 || fftStagesOf(n) < 0) return 1;
    const int32_t r = fft.allocate(n / 2);
    if (r != 0) return r;
    try {
        split.assign(static_cast<std::size_t>(n), 0.0);
        block.assign(static_cast<std::size_t>(n), 0.0f);
    } catch (const std::bad_alloc&) {
        release();
        return 2;
    }
    const double pi = 4.0 * std::atan(1.0);
    for (int32_t k = 0; k < n / 2; ++k) {
        split[2 * static_cast<std::size_t>(k)] = std::cos(2.0 * pi * k / n);
        split[2 * static_cast<std::size_t>(k) + 1] = std::sin(2.0 * pi * k / n);
    }
    size = n;
    return 0;
}

void DctWorkspace::release() {
    fft.release();
    std::vector<double>().swap(split);
    std::vector<float>().swap(block);
    size = 0;
}

int32_t dctTransform(DctWorkspace& ws, float* y) {
    const int32_t n = ws.size;
    const int32_t m = n / 2;
    if (n < 4 || ws.fft.size != m) return 1;
    const double theta = 4.0 * std::atan(1.0) / (2.0 * n);
    const double sinTheta = std::sin(theta);
    const double k2 = 2.0 * sinTheta * sinTheta;  // (c, s) rotated by 2 theta:
    const double w2 = std::sin(2.0 * theta);      // c - k2 c - w2 s, s - k2 s + w2 c

    // (a) the symmetric pairs, weighted by sin theta, sin 3 theta, ...
    double c = std::cos(theta), s = sinTheta;
    for (int32_t i = 1; i <= m; ++i) {
        float& lo = y[i - 1];
        float& hi = y[n - i];
        const double a = 0.5 * (static_cast<double>(lo) + hi);
        const double b = s * (static_cast<double>(lo) - hi);
        lo = static_cast<float>(a + b);
        hi = static_cast<float>(a - b);
        const double cNext = c - k2 * c - w2 * s;
        s = s - k2 * s + w2 * c;
        c = cNext;
    }

    // (b) the real FFT, packed.
    double* z = ws.fft.work.data();
    for (int32_t i = 0; i < n; ++i) z[i] = y[i];
    if (fftForward(ws.fft, z, ws.fft.stages) != 0) return 1;
    y[0] = static_cast<float>(z[0] + z[1]);
    y[1] = static_cast<float>(z[0] - z[1]);
    for (int32_t k = 1; k < m; ++k) {
        const double zr = z[2 * k], zi = z[2 * k + 1];
        const double cr = z[2 * (m - k)], ci = -z[2 * (m - k) + 1];
        const double er = 0.5 * (zr + cr), ei = 0.5 * (zi + ci);
        const double orr = 0.5 * (zi - ci), oi = -0.5 * (zr - cr);
        const double wr = ws.split[2 * static_cast<std::size_t>(k)];
        const double wi = -ws.split[2 * static_cast<std::size_t>(k) + 1];
        const double rr = er + (orr * wr - oi * wi);
        const double ri = ei + (orr * wi + oi * wr);
        y[2 * k] = static_cast<float>(rr);
        y[2 * k + 1] = static_cast<float>(-ri);
    }

    // (c) pair k turned by 2k theta.
    double wr = 1.0, wi = 0.0;
    for (int32_t k = 1; k < m; ++k) {
        const double wrNext = wr - k2 * wr - w2 * wi;
        wi = wi - k2 * wi + w2 * wr;
        wr = wrNext;
        const double re = y[2 * k], im = y[2 * k + 1];
        y[2 * k] = static_cast<float>(re * wr - im * wi);
        y[2 * k + 1] = static_cast<float>(im * wr + re * wi);
    }

    // (d) the odd coefficients from the top down.
    float sum = 0.5f * y[1];
    for (int32_t i = n - 1; i >= 1; i -= 2) {
        const float before = sum;
        sum = sum + y[i];
        y[i] = before;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Handlers

int32_t dctBlockCount() {
    return state().blockCount;
}
int32_t dctBlockIndex() {
    return state().blockIndex;
}

int32_t dctCheckParams(int32_t) {
    CommandBlock& b = block();
    if (!readInputHeader(b.in1)) return kDctUnreadableInput;
    const SignalDescriptor& d = slot(QF_ENTRY_IN1);
    if (!isTimeSignalType(d.recordType)) return kDctUnreadableInput;
    const int32_t n = paramInt(b, QF_P_DCT_SIZE);
    if (!sizeAccepted(n)) return kDctBadSize;
    if (d.recordType != kReal32) return kDctFixedPointInput;
    if (d.recordCount > 0 && n / d.recordCount > 2) return kDctZeroPadding;
    return 0;
}

int32_t dctPrepareOutput(int32_t) {
    CommandBlock& b = block();
    DctState& st = state();
    st.release();
    SignalDescriptor& in = slot(QF_ENTRY_IN1);
    SignalDescriptor& out = slot(QF_ENTRY_OUT);
    if (!isTimeSignalType(in.recordType)) {
        emitMsg(QF_MSG_NOTICE, "Error reading '%s' or having unsupported data type.", b.in1.n);
        return 1;
    }
    const int32_t n = paramInt(b, QF_P_DCT_SIZE);
    if (!sizeAccepted(n)) {
        emitText(QF_MSG_NOTICE, kSizeMessage);
        return 1;
    }
    const int32_t blocks = blocksOf(in.recordCount, n);
    const int64_t records = static_cast<int64_t>(blocks) * 2 * n;
    if (records > INT32_MAX) {
        emitMsg(QF_MSG_ERROR,
                "%ld DCT blocks of %ld points would exceed the %ld records a signal file can "
                "hold.  Operation aborted.",
                static_cast<long>(blocks), static_cast<long>(n), static_cast<long>(INT32_MAX));
        return 1;
    }
    if (st.workspace.allocate(n) != 0) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    st.blockCount = blocks;
    st.blockIndex = 0;
    out.recordType = kCReal128Rect;
    out.recordCount = static_cast<int32_t>(records);
    setRemark(out, std::string("DCT(") + b.in1.n + ")");
    out.samplingRate = in.samplingRate;
    out.signalFrequency = in.signalFrequency;
    out.param1 = 2 * n;
    out.param2 = n;
    out.param3 = 0;
    out.param4 = 0;
    out.bufferBytes = kOutputBuffer;
    fmt(runtime().description, sizeof runtime().description, "[%s] = DCT of [%s]", b.out.n,
        b.in1.n);
    return 0;
}

int32_t dctRelease(int32_t) {
    state().release();
    return 0;
}

int32_t dctCompute(int32_t, const ComputeArgs* args) {
    if (args == nullptr || args->input == nullptr || args->output == nullptr) return 1;
    DctState& st = state();
    DctWorkspace& ws = st.workspace;
    const int32_t n = args->size;
    if (ws.size != n || n < 1) return 1;
    SignalDescriptor& in = *args->input;
    float* y = ws.block.data();
    const int64_t present =
        std::clamp<int64_t>(static_cast<int64_t>(in.recordCount) - args->start, 0, n);
    if (spectral::readFloatSamples(in, args->start, static_cast<int32_t>(present), y) != 0)
        return 1;
    std::fill(y + present, y + n, 0.0f);
    if (dctTransform(ws, y) != 0) return 1;
    const int64_t first = static_cast<int64_t>(st.blockIndex) * 2 * n;
    return forEachOutputSpan<Bin>(*args->output, static_cast<int32_t>(first), 2 * n,
                                  [&](Bin* out, int32_t at, int32_t count) {
                                      const int64_t j0 = at - first;
                                      for (int32_t i = 0; i < count; ++i) {
                                          const int64_t j = j0 + i;
                                          out[i] = {j < n ? y[j] : y[2 * n - 1 - j], 0.0};
                                      }
                                  });
}

int32_t dctWalk(Run& run, OperationRecord& record) {
    DctState& st = state();
    const int32_t n = paramInt(run.block, QF_P_DCT_SIZE);
    ComputeArgs& args = run.args;
    args.stages = fftStagesOf(n);
    args.size = n;
    args.window = nullptr;
    args.input = &slot(QF_ENTRY_IN1);
    args.output = &slot(QF_ENTRY_OUT);
    for (int32_t f = 0; f < st.blockCount; ++f) {
        st.blockIndex = f;
        const int64_t first = static_cast<int64_t>(f) * 2 * n;
        if (sigAccess(*args.output, static_cast<int32_t>(first)) != 0) return 1;
        args.start = static_cast<int32_t>(static_cast<int64_t>(f) * n);
        const int32_t r = record.compute(run.mode, &args);
        if (r != 0) return r;
    }
    return 0;
}

OperationDescription dctDescription() {
    OperationDescription d = describedOperation(
        QF_OP_DCT, "DiscreteCosineTransform", "dct",
        "DCT-II of consecutive blocks of N samples (N 32 ... 1048576, a power of two)");
    d.blanks = 4;
    d.files = {inputFile(QF_ENTRY_IN1, QF_FILE_TIME, ".tim", "Input file", 0, false),
               outputFile(QF_ENTRY_OUT, QF_FILE_FRAMES, ".fre", "Output file", 1)};
    d.params = {intParam("size", QF_P_DCT_SIZE).rememberedIn(&StatusRecord::dctSize).help("N")};
    d.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}};
    d.scriptAccepts = {kDctFixedPointInput, kDctZeroPadding};
    d.dialog = {.kind = DialogKind::HostEdit,
                .edit = &HostInterface::dspDCTGetPara,
                .storeBeforeCheck = true,
                .before = seedSize};
    d.checks = {
        {kDctFixedPointInput,
         QF_MSG_NOTICE,
         kFixedPointNotice,
         Then::GoOn,
         {},
         nullptr,
         true,
         fixedPointNoticeWanted},
        {kDctUnreadableInput,
         QF_MSG_NOTICE,
         "Error reading '%s' or having unsupported data type.",
         Then::AskAgain,
         {Arg::In1Name}},
        {kDctBadSize, QF_MSG_NOTICE, kSizeMessage, Then::Fail},
        {kDctZeroPadding, QF_MSG_CAUTION, kZeroPaddingNotice, Then::GoOn, {}, nullptr, true},
    };
    d.show = Show::Magnitude;
    d.handlers.checkParams = dctCheckParams;
    d.handlers.prepareOutput = dctPrepareOutput;
    d.handlers.compute = dctCompute;
    d.handlers.release = dctRelease;
    d.pipeline.outputBuffer = kOutputBuffer;
    d.pipeline.walk = dctWalk;
    return d;
}

void registerDctOperation() {
    registerDescribed(dctDescription());
}

}  // namespace qf
