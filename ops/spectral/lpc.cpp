// Operations 5130 (LPC analysis) and 5140 (LPC spectrum); the arithmetic is
// described in models.h.
//
// 5130 cuts a time signal (INTEGER16, REAL32 or a single-channel
// REALTIMEINT16; a 16-bit word w enters as w / 32768) into frames of Nf
// samples every I samples, zero past the end, no window, and writes per
// frame alpha_1 ... alpha_p and k_1 ... k_p to a coefficient file (record
// type 35, always text).  On success it goes straight on to 5140 with the
// coefficient file as input and the same name with ".fre" as output.
//
// 5140 writes the N bins of 1 / A of each frame to a frame file
// (CREAL128RECT(W), Frame size N, Frame interval that of the coefficients,
// window 0).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "core/dialog.h"
#include "core/engine.h"
#include "core/frame.h"
#include "core/host.h"
#include "core/log.h"
#include "core/pipeline.h"
#include "ops/spectral/models.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The analysis storage lives from its first run to shut-down.
struct LpcState {
    static constexpr Lifetime kLifetime = Lifetime::Start;
    LpcWorkspace work;
    void release() { work.release(); }
};

// The spectrum's coefficients and bins, for one run.
struct LpcSpectrumState {
    static constexpr Lifetime kLifetime = Lifetime::Start;
    std::vector<double> c;
    std::vector<double> bins;
    void release() {
        std::vector<double>().swap(c);
        std::vector<double>().swap(bins);
    }
};

// One record of a frame file.
struct Bin {
    double re;
    double im;
};
static_assert(sizeof(Bin) == 16, "a CREAL128RECT(W) record is two doubles");

std::string remarkOf(const char* word, const char* name) {
    std::string r = word;
    r.append(name, ::strnlen(name, QF_NAME_LEN));
    return r + ')';
}

}  // namespace

// ---------------------------------------------------------------------------
// Arithmetic

bool lpcSizeAccepted(int32_t n) {
    for (int32_t size = 32; size <= 2048; size *= 2)
        if (n == size) return true;
    return false;
}

int64_t lpcFrameCount(int64_t length, int32_t frame, int32_t interval) {
    if (length <= frame || interval < 1) return 1;
    return (length - frame + interval - 1) / interval + 1;
}

int32_t LpcWorkspace::fit(int32_t p, int32_t nf) {
    if (holds(p, nf)) return 0;
    const int32_t newOrder = std::max(p, order);
    const int32_t newFrame = std::max(nf, frame);
    release();
    try {
        const std::size_t m = static_cast<std::size_t>(newOrder) + 1;
        phi.assign(m * m, 0.0);
        a.assign(m, 0.0);
        saved.assign(m, 0.0);
        k.assign(m, 0.0);
        x.assign(static_cast<std::size_t>(newFrame), 0.0);
    } catch (const std::bad_alloc&) {
        release();
        return 1;
    }
    order = newOrder;
    frame = newFrame;
    return 0;
}

void LpcWorkspace::release() {
    std::vector<double>().swap(phi);
    std::vector<double>().swap(a);
    std::vector<double>().swap(saved);
    std::vector<double>().swap(k);
    std::vector<double>().swap(x);
    order = 0;
    frame = 0;
}

void lpcCovariance(const double* x, int32_t nf, int32_t p, double* phi) {
    const int32_t m = p + 1;
    // x(n) for n = 1 ... Nf; P(i, j) 1-based.
    auto X = [x](int32_t n) { return x[n - 1]; };
    auto P = [phi, m](int32_t i, int32_t j) -> double& { return phi[(i - 1) * m + (j - 1)]; };
    for (int32_t j = 1; j <= m; ++j) {
        double s = 0.0;
        for (int32_t n = m; n <= nf; ++n) s += X(n) * X(n - j + 1);
        P(1, j) = s;
    }
    // Each row from the one above it: the window of products moves one
    // sample earlier, gaining the product at n = M and losing the one at
    // n = Nf.
    for (int32_t i = 2; i <= m; ++i) {
        for (int32_t j = 1; j < i; ++j) P(i, j) = P(j, i);
        for (int32_t j = i; j <= m; ++j)
            P(i, j) = P(i - 1, j - 1) + X(m + 1 - i) * X(m + 1 - j) - X(nf + 2 - i) * X(nf + 2 - j);
    }
}

void lpcLattice(const double* phi, int32_t p, double* a, double* saved, double* k, bool trace) {
    const int32_t mp1 = p + 1;
    auto P = [phi, mp1](int32_t i, int32_t j) { return phi[(i - 1) * mp1 + (j - 1)]; };
    for (int32_t m = 1; m <= p; ++m) {
        double fb, cr;
        if (m == 1) {
            fb = P(1, 1) + P(2, 2);
            cr = P(1, 2);
        } else {
            const int32_t q = m + 1;
            double sum1 = 0.0, sum2 = 0.0, sum3 = 0.0, sum4 = 0.0, sum7 = 0.0, sum8 = 0.0;
            for (int32_t j = 1; j <= m - 1; ++j) {
                sum1 += (P(1, j + 1) + P(q, q - j)) * a[j];
                sum2 += (P(1, q - j) + P(j + 1, q)) * a[j];
                sum4 += (P(j + 1, j + 1) + P(q - j, q - j)) * a[j] * a[j];
                sum3 += a[j] * a[j] * P(j + 1, q - j);
            }
            for (int32_t i = 1; i <= m - 2; ++i)
                for (int32_t j = i + 1; j <= m - 1; ++j) {
                    sum7 += (P(i + 1, j + 1) + P(q - i, q - j)) * a[i] * a[j];
                    sum8 += (P(i + 1, q - j) + P(j + 1, q - i)) * a[i] * a[j];
                }
            fb = P(1, 1) + P(q, q) + 2.0 * (sum1 + sum7) + sum4;
            cr = sum2 + P(1, q) + sum3 + sum8;
            if (trace)
                logPrintf(
                    "FPLUSB<% 22.15le> = PHI [0] [0]<% 22.15le> + PHI [MP1 - 1] [MP1 - 1]<% "
                    "22.15le> + 2. * (SUM1<%22.15le> + SUM7<% 22.15le>) + SUM4<% 22.15le>;\n",
                    fb, P(1, 1), P(q, q), sum1, sum7, sum4);
        }
        // No cross energy, or (a frame of zeros) no energy at all: no
        // reflection at this order.
        const double km = (cr == 0.0 || fb == 0.0) ? 0.0 : -2.0 * cr / fb;
        k[m] = km;
        for (int32_t j = 1; j < m; ++j) saved[j] = a[j];
        for (int32_t j = 1; j < m; ++j) a[j] = saved[j] + km * saved[m - j];
        a[m] = km;
    }
}

void lpcSpectrumFrame(const double* c, int32_t p, int32_t n, double* bins) {
    for (int32_t k = 0; k < n; ++k) {
        const double w = 2.0 * kPi * k / n;
        const double er = std::cos(w);
        const double ei = -std::sin(w);
        // s = sum_j a_j e^{-jwj} with a_j = -c[j-1], by Horner's rule.
        double sr = -c[p - 1];
        double si = 0.0;
        for (int32_t j = p - 2; j >= 0; --j) {
            const double tr = sr * er - si * ei;
            const double ti = sr * ei + si * er;
            sr = tr - c[j];
            si = ti;
        }
        const double tr = sr * er - si * ei;
        const double ti = sr * ei + si * er;
        const double ar = 1.0 + tr;
        const double ai = ti;
        if (ar == 0.0 && ai == 0.0) {
            bins[2 * k] = 1e32;
            bins[2 * k + 1] = 0.0;
            continue;
        }
        const double m2 = ar * ar + ai * ai;
        bins[2 * k] = ar / m2;
        bins[2 * k + 1] = -ai / m2;
    }
}

// ---------------------------------------------------------------------------
// 5130: analysis

namespace {

LpcState& lpcState() {
    return familyState<LpcState>();
}

}  // namespace

const LpcWorkspace& lpcWorkspace() {
    return lpcState().work;
}

namespace {

// The parameter rules, in the order the dialog reports them.
int32_t lpcParamCheck(CommandBlock& b) {
    const int32_t p = paramInt(b, kLpcOrderParam);
    const int32_t nf = paramInt(b, kLpcFrameParam);
    if (!lpcSizeAccepted(paramInt(b, kLpcSizeParam))) return kLpcBadSize;
    if (p < 1 || p > kLpcMaxOrder) return kLpcBadOrder;
    if (nf < p + 2 || nf >= kLpcFrameLimit) return kLpcBadFrame;
    if (paramInt(b, kLpcIntervalParam) < 1) return kLpcBadInterval;
    return 0;
}

int32_t lpcCheck(int32_t) {
    CommandBlock& b = block();
    if (const int32_t r = lpcParamCheck(b); r != 0) return r;
    if (!readInputHeader(b.in1)) return kLpcUnreadable;
    if (!isTimeSignalType(blockDescriptor(b, QF_ENTRY_IN1).recordType)) return kLpcUnsupportedType;
    return 0;
}

// Refuses what the check refuses, for a run that did not pass it.
bool refused(int32_t code, int32_t result) {
    if (result == 0) return false;
    if (const OperationDescription* d = describe(code)) reportCheck(*d, result);
    return true;
}

int32_t lpcPrepare(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& in = blockDescriptor(b, QF_ENTRY_IN1);
    SignalDescriptor& out = blockDescriptor(b, QF_ENTRY_OUT);
    if (refused(QF_OP_LPC_ANALYSIS, lpcParamCheck(b))) return 1;
    if (refused(QF_OP_LPC_ANALYSIS,
                isTimeSignalType(in.recordType) ? 0 : int32_t{kLpcUnsupportedType}))
        return 1;
    const int32_t p = paramInt(b, kLpcOrderParam);
    const int32_t nf = paramInt(b, kLpcFrameParam);
    const int32_t interval = paramInt(b, kLpcIntervalParam);
    if (lpcState().work.fit(p, nf) != 0) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    const int64_t frames = lpcFrameCount(in.recordCount, nf, interval);
    const int64_t records = frames * 2 * p;
    if (records > INT32_MAX) {
        emitMsg(QF_MSG_ERROR,
                "%lld LPC frames of order %d would exceed the %d records a signal file can hold.  "
                "Operation aborted.",
                static_cast<long long>(frames), p, INT32_MAX);
        return 1;
    }
    out.recordType = kLpcCoeffReal8;
    out.recordCount = static_cast<int32_t>(records);
    out.format = 'a';
    setRemark(out, remarkOf("LPC(", b.in1.n));
    out.samplingRate = in.samplingRate;
    out.signalFrequency = in.signalFrequency;
    out.param1 = p;
    out.param2 = nf;
    out.param3 = interval;
    out.param4 = 0;
    fmt(runtime().description, sizeof runtime().description, "[%s] = LPC Coefficients of [%s]",
        b.out.n, b.in1.n);
    return 0;
}

int32_t lpcCompute(int32_t, const ComputeArgs* args) {
    if (args == nullptr || args->input == nullptr || args->output == nullptr) return 1;
    CommandBlock& b = block();
    SignalDescriptor& in = *args->input;
    SignalDescriptor& out = *args->output;
    LpcWorkspace& ws = lpcState().work;
    const int32_t p = paramInt(b, kLpcOrderParam);
    const int32_t nf = paramInt(b, kLpcFrameParam);
    const int32_t interval = paramInt(b, kLpcIntervalParam);
    if (!ws.holds(p, nf)) return 1;
    const int64_t frames = lpcFrameCount(in.recordCount, nf, interval);
    for (int64_t f = 0; f < frames; ++f) {
        if (readSamples(in, f * interval, nf, ws.x.data()) != 0) return 1;
        lpcCovariance(ws.x.data(), nf, p, ws.phi.data());
        lpcLattice(ws.phi.data(), p, ws.a.data(), ws.saved.data(), ws.k.data(), true);
        const int32_t first = static_cast<int32_t>(f * 2 * p);
        const int32_t r = forEachOutputSpan<double>(
            out, first, 2 * p, [&ws, p, first](double* y, int32_t at, int32_t n) {
                for (int32_t i = 0; i < n; ++i) {
                    const int32_t j = at - first + i;
                    y[i] = j < p ? -ws.a[static_cast<std::size_t>(j) + 1]
                                 : ws.k[static_cast<std::size_t>(j - p) + 1];
                }
            });
        if (r != 0) return r;
    }
    return 0;
}

// The spectrum follows the analysis: the coefficient file becomes the
// input, its name with ".fre" the output.
void proposeSpectrum(CommandBlock& b) {
    b.in1 = b.out;
    char* name = b.out.n;
    name[QF_NAME_LEN - 1] = '\0';
    char* dot = std::strrchr(name, '.');
    if (dot == nullptr) {
        fmt(name, QF_NAME_LEN, "%s", "noname.fre");
        return;
    }
    const std::size_t keep =
        std::min(static_cast<std::size_t>(dot - name), static_cast<std::size_t>(QF_NAME_LEN - 5));
    std::memcpy(name + keep, ".fre", 5);
}

int32_t lpcExecute(int32_t mode, OperationRecord* record) {
    const int32_t r = pipelineExecute(mode, record);
    if (r != 0) return r;
    proposeSpectrum(block());
    OperationRecord spectrum = operationTemplate(QF_OP_LPC_TO_FRE);
    if (lookupOperation(&spectrum) != 0) return 1;
    return spectrum.execute(mode, &spectrum);
}

// ---------------------------------------------------------------------------
// 5140: spectrum

LpcSpectrumState& spectrumState() {
    return familyState<LpcSpectrumState>();
}

int32_t spectrumCheck(int32_t) {
    CommandBlock& b = block();
    if (!lpcSizeAccepted(paramInt(b, kLpcSizeParam))) return kLpcSpectrumBadSize;
    if (!readInputHeader(b.in1)) return kLpcSpectrumUnreadable;
    if (blockDescriptor(b, QF_ENTRY_IN1).recordType != kLpcCoeffReal8) return kLpcNotCoefficients;
    return 0;
}

int32_t spectrumPrepare(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& in = blockDescriptor(b, QF_ENTRY_IN1);
    SignalDescriptor& out = blockDescriptor(b, QF_ENTRY_OUT);
    const int32_t n = paramInt(b, kLpcSizeParam);
    if (refused(QF_OP_LPC_TO_FRE, lpcSizeAccepted(n) ? 0 : int32_t{kLpcSpectrumBadSize})) return 1;
    if (refused(QF_OP_LPC_TO_FRE, in.recordType == kLpcCoeffReal8 && in.param1 >= 1
                                      ? 0
                                      : int32_t{kLpcNotCoefficients}))
        return 1;
    const int32_t p = in.param1;
    const int64_t frames = in.recordCount / (2 * static_cast<int64_t>(p));
    if (frames < 1) {
        emitMsg(QF_MSG_ERROR, "'%s' holds no complete frame of LPC coefficients.", b.in1.n);
        return 1;
    }
    if (frames * n > INT32_MAX) {
        emitMsg(QF_MSG_ERROR,
                "%lld spectra of %d points would exceed the %d records a signal file can hold.  "
                "Operation aborted.",
                static_cast<long long>(frames), n, INT32_MAX);
        return 1;
    }
    LpcSpectrumState& st = spectrumState();
    try {
        st.c.assign(static_cast<std::size_t>(std::max(p, kLpcMaxOrder)), 0.0);
        st.bins.assign(2 * static_cast<std::size_t>(n), 0.0);
    } catch (const std::bad_alloc&) {
        st.release();
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    out.recordType = kCReal128Rect;
    out.recordCount = static_cast<int32_t>(frames * n);
    setRemark(out, remarkOf("spectrum(", b.in1.n));
    out.samplingRate = in.samplingRate;
    out.signalFrequency = in.signalFrequency;
    out.param1 = n;
    out.param2 = in.param3;
    out.param3 = 0;
    out.param4 = 0;
    fmt(runtime().description, sizeof runtime().description,
        "[%s] = Spectrum of LPC coefficients in [%s]", b.out.n, b.in1.n);
    return 0;
}

int32_t spectrumCompute(int32_t, const ComputeArgs* args) {
    if (args == nullptr || args->input == nullptr || args->output == nullptr) return 1;
    SignalDescriptor& in = *args->input;
    SignalDescriptor& out = *args->output;
    LpcSpectrumState& st = spectrumState();
    const int32_t n = paramInt(block(), kLpcSizeParam);
    const int32_t p = in.param1;
    if (p < 1 || st.c.size() < static_cast<std::size_t>(p) ||
        st.bins.size() != 2 * static_cast<std::size_t>(n))
        return 1;
    const int64_t frames = in.recordCount / (2 * static_cast<int64_t>(p));
    for (int64_t f = 0; f < frames; ++f) {
        // The first p records of the frame: alpha_1 ... alpha_p.
        if (readRecords(in, f * 2 * p, p, st.c.data()) != 0) return 1;
        lpcSpectrumFrame(st.c.data(), p, n, st.bins.data());
        const int32_t first = static_cast<int32_t>(f * n);
        const int32_t r =
            forEachOutputSpan<Bin>(out, first, n, [&st, first](Bin* y, int32_t at, int32_t m) {
                std::memcpy(y, &st.bins[2 * static_cast<std::size_t>(at - first)],
                            static_cast<std::size_t>(m) * sizeof(Bin));
            });
        if (r != 0) return r;
    }
    return 0;
}

int32_t spectrumRelease(int32_t) {
    spectrumState().release();
    return 0;
}

// ---------------------------------------------------------------------------
// Descriptions

std::vector<CheckMessage> analysisChecks() {
    const char* size = "Frame size must be 2's power and less than 2048.";
    return {
        unreadableCheck(kLpcUnreadable, Arg::In1Name),
        unsupportedTypeCheck(kLpcUnsupportedType, Arg::In1Name),
        aboutParam(kLpcOrderParam, {kLpcBadOrder, QF_MSG_NOTICE,
                                    "LPC order must be between 1 and 63.", Then::AskAgain}),
        aboutParam(
            kLpcFrameParam,
            {kLpcBadFrame, QF_MSG_NOTICE,
             "LPC frame size must be larger than (order + 2) and less than 8190", Then::AskAgain}),
        aboutParam(kLpcIntervalParam,
                   {kLpcBadInterval, QF_MSG_NOTICE, "LPC frame interval must be larger than 0.",
                    Then::AskAgain}),
        aboutParam(kLpcSizeParam, {kLpcBadSize, QF_MSG_NOTICE, size, Then::AskAgain}),
    };
}

std::vector<CheckMessage> spectrumChecks() {
    return {
        {kLpcNotCoefficients,
         QF_MSG_NOTICE,
         "'%s' is not LPC coefficients file.",
         Then::AskAgain,
         {Arg::In1Name}},
        unreadableCheck(kLpcSpectrumUnreadable, Arg::In1Name),
        aboutParam(kLpcSizeParam,
                   {kLpcSpectrumBadSize, QF_MSG_NOTICE,
                    "Frame size must be 2's power and less than 2048.", Then::AskAgain}),
    };
}

ParamSpec spectrumSize() {
    return intParam("fft", kLpcSizeParam)
        .required()
        .remembered(512)
        .help("N")
        .about("points of the LPC spectrum: 32, 64, 128, 256, 512, 1024 or 2048", nullptr, "512");
}

}  // namespace

void registerLpcOperations() {
    OperationDescription a = describedOperation(
        QF_OP_LPC_ANALYSIS, "LPC_Analysis         ", "lpc",
        "linear prediction of order P per frame (covariance lattice), then its spectrum");
    a.blanks = 4;
    a.files = {inputFile(QF_ENTRY_IN1, QF_FILE_TIME, ".tim", "Input file", 0),
               outputFile(QF_ENTRY_OUT, QF_FILE_LPC, ".lpc", "Output file", 1)};
    a.params = {intParam("order", kLpcOrderParam)
                    .required()
                    .remembered(10)
                    .help("P")
                    .about("the prediction order, 1 to 63", nullptr, "10"),
                intParam("frame", kLpcFrameParam)
                    .required()
                    .remembered(256)
                    .help("NF")
                    .about("samples per analysis frame, order + 2 to 8190", "samples", "256"),
                intParam("interval", kLpcIntervalParam)
                    .required()
                    .remembered(128)
                    .help("I")
                    .about("samples from the start of one frame to the next", "samples", "128"),
                spectrumSize()};
    a.script = {{Field::In1},      {Field::Param, 0}, {Field::Param, 1},
                {Field::Param, 2}, {Field::Param, 3}, {Field::Out}};
    a.dialog = {.kind = DialogKind::HostEdit, .edit = &HostInterface::dspLPCGetPara};
    a.checks = analysisChecks();
    a.proposal = Proposal::CoefficientOutput;
    a.show = Show::Magnitude;
    a.handlers.checkParams = lpcCheck;
    a.handlers.prepareOutput = lpcPrepare;
    a.handlers.compute = lpcCompute;
    a.handlers.execute = lpcExecute;
    registerDescribed(std::move(a));

    OperationDescription s =
        describedOperation(QF_OP_LPC_TO_FRE, "LPC_To_Fre           ", "lpc-spectrum",
                           "the spectrum 1/A(e^jw) of every frame of LPC coefficients on N points");
    s.blanks = 4;
    s.files = {inputFile(QF_ENTRY_IN1, QF_FILE_LPC, ".lpc", "Input file", 0, false),
               outputFile(QF_ENTRY_OUT, QF_FILE_FRAMES, ".fre", "Output file", 1)};
    s.params = {spectrumSize()};
    s.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}};
    s.dialog = {.kind = DialogKind::HostEdit, .edit = &HostInterface::dspLPCFFTGetPara};
    s.checks = spectrumChecks();
    s.proposal = Proposal::SpectrumOutput;
    s.show = Show::Magnitude;
    s.handlers.checkParams = spectrumCheck;
    s.handlers.prepareOutput = spectrumPrepare;
    s.handlers.compute = spectrumCompute;
    s.handlers.release = spectrumRelease;
    registerDescribed(std::move(s));
}

}  // namespace qf
