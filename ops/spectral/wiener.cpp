// Operation 5180: the FIR least-squares inverse (Wiener) filter (the
// arithmetic is described in models.h).  h (first input, the system) and d
// (second input, the desired response) are INTEGER16, REAL32 or
// single-channel REALTIMEINT16 signals; a 16-bit word enters as
// w * 3.0517578125e-05, and every sum is in double precision.  The N =
// min(|h|, |d|, 2048) taps go to a REAL32 signal with the rates of h.
//
// Levinson recursion for sum_j r(|i-j|) f(j) = c(i), with a prediction
// vector a kept scaled by the error alpha:
//   f(0) = c(0) / r(0), a = (1), alpha = r(0); for m = 1 ... N-1:
//     beta  = sum_{j=1..m} r(j) a(m-j)     gamma = sum_{j=1..m} r(j) f(m-j)
//     alpha' = (alpha - beta^2 / alpha) / alpha
//     mu = (c(m) - gamma) / alpha'
//     a(j) <- (a(j) - (beta / alpha) a(m-j)) / alpha    (old values, a(m) = 0)
//     f(j) <- f(j) + mu a(m-j)                          (f(m) = 0)
//     alpha <- alpha'
// stopping, with the solution reached, when alpha or alpha' is 0; r(0) = 0
// leaves f at zero.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "core/dialog.h"
#include "core/engine.h"
#include "core/frame.h"
#include "core/host.h"
#include "core/pipeline.h"
#include "ops/spectral/models.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

bool WienerWork::start(int32_t taps) {
    release();
    const std::size_t one = static_cast<std::size_t>(taps);
    try {
        for (std::vector<double>* v : {&h, &d, &r, &f, &a, &saved}) v->assign(one, 0.0);
        for (std::vector<double>* v : {&shifted, &c, &lanes}) v->assign(one * kWienerLanes, 0.0);
    } catch (const std::bad_alloc&) {
        release();
        return false;
    }
    n = taps;
    return true;
}

void WienerWork::release() {
    for (std::vector<double>* v : {&h, &d, &r, &f, &a, &saved, &shifted, &c, &lanes})
        std::vector<double>().swap(*v);
    n = 0;
}

void wienerAutocorrelation(WienerWork& w) {
    const double* h = w.h.data();
    for (int32_t k = 0; k < w.n; ++k) {
        double s = 0.0;
        for (int32_t n = k; n < w.n; ++n) s += h[n] * h[n - k];
        w.r[static_cast<std::size_t>(k)] = s;
    }
}

namespace {

// c(k) = sum_{i=k..N-1} d_D(i) h(i-k), four k at a time, each sum in
// ascending i.  The leading zeros of d_D add nothing, so each sum starts at
// max(k, D).
void crossCorrelation(const double* dd, const double* h, int32_t n, int32_t delay, double* c) {
    int32_t k = 0;
    for (; k + 4 <= n; k += 4) {
        double s[4] = {0.0, 0.0, 0.0, 0.0};
        const int32_t joint = std::min(std::max(k + 3, delay), n);
        for (int32_t b = 0; b < 4; ++b)
            for (int32_t i = std::max(k + b, delay); i < joint; ++i) s[b] += dd[i] * h[i - k - b];
        double s0 = s[0], s1 = s[1], s2 = s[2], s3 = s[3];
        const double* g = h - k;
        for (int32_t i = joint; i < n; ++i) {
            const double x = dd[i];
            s0 += x * g[i];
            s1 += x * g[i - 1];
            s2 += x * g[i - 2];
            s3 += x * g[i - 3];
        }
        c[k] = s0;
        c[k + 1] = s1;
        c[k + 2] = s2;
        c[k + 3] = s3;
    }
    for (; k < n; ++k) {
        double s = 0.0;
        for (int32_t i = std::max(k, delay); i < n; ++i) s += dd[i] * h[i - k];
        c[k] = s;
    }
}

// E = sum_i (d_D(i) - sum_{j<=i} f(j) h(i-j))^2, four outputs at a time,
// each convolution sum in ascending j and E in ascending i.
double residualEnergy(const double* f, const double* h, const double* dd, int32_t n) {
    double e = 0.0;
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        double y0 = 0.0, y1 = 0.0, y2 = 0.0, y3 = 0.0;
        for (int32_t j = 0; j <= i; ++j) {
            const double fj = f[j];
            y0 += fj * h[i - j];
            y1 += fj * h[i + 1 - j];
            y2 += fj * h[i + 2 - j];
            y3 += fj * h[i + 3 - j];
        }
        y1 += f[i + 1] * h[0];
        y2 += f[i + 1] * h[1];
        y2 += f[i + 2] * h[0];
        y3 += f[i + 1] * h[2];
        y3 += f[i + 2] * h[1];
        y3 += f[i + 3] * h[0];
        for (const double diff : {dd[i] - y0, dd[i + 1] - y1, dd[i + 2] - y2, dd[i + 3] - y3})
            e += diff * diff;
    }
    for (; i < n; ++i) {
        double y = 0.0;
        for (int32_t j = 0; j <= i; ++j) y += f[j] * h[i - j];
        const double diff = dd[i] - y;
        e += diff * diff;
    }
    return e;
}

// Solves the delays[0 ... L-1] side by side: lane b's solution in
// lanes[b N ...] and its E in errors[b].  The prediction recursion is
// shared; every lane stops where it stops (alpha or alpha' zero), and
// r(0) = 0 leaves every lane at zero.
template <int L>
void solveLanes(WienerWork& w, const int32_t* delays, double* errors) {
    const int32_t n = w.n;
    const std::size_t stride = static_cast<std::size_t>(n);
    const double* h = w.h.data();
    const double* r = w.r.data();
    double* f[L];
    const double* c[L];
    for (int b = 0; b < L; ++b) {
        double* dd = &w.shifted[b * stride];
        for (int32_t i = 0; i < n; ++i)
            dd[i] = i < delays[b] ? 0.0 : w.d[static_cast<std::size_t>(i - delays[b])];
        crossCorrelation(dd, h, n, delays[b], &w.c[b * stride]);
        c[b] = &w.c[b * stride];
        f[b] = &w.lanes[b * stride];
        std::fill(f[b], f[b] + n, 0.0);
    }
    double* a = w.a.data();
    double* old = w.saved.data();
    if (r[0] != 0.0) {
        std::fill(a, a + n, 0.0);
        for (int b = 0; b < L; ++b) f[b][0] = c[b][0] / r[0];
        a[0] = 1.0;
        double alpha = r[0];
        for (int32_t m = 1; m < n; ++m) {
            double beta = 0.0, gamma[L];
            for (int b = 0; b < L; ++b) gamma[b] = 0.0;
            for (int32_t j = 1; j <= m; ++j) {
                const double rj = r[j];
                beta += rj * a[m - j];
                for (int b = 0; b < L; ++b) gamma[b] += rj * f[b][m - j];
            }
            if (alpha == 0.0) break;
            const double next = (alpha - beta * beta / alpha) / alpha;
            if (next == 0.0) break;
            a[m] = 0.0;
            std::memcpy(old, a, static_cast<std::size_t>(m + 1) * sizeof(double));
            for (int32_t j = 0; j <= m; ++j) a[j] = (old[j] - (beta / alpha) * old[m - j]) / alpha;
            for (int b = 0; b < L; ++b) {
                const double mu = (c[b][m] - gamma[b]) / next;
                double* fb = f[b];
                fb[m] = 0.0;
                for (int32_t j = 0; j <= m; ++j) fb[j] = fb[j] + mu * a[m - j];
            }
            alpha = next;
        }
    }
    for (int b = 0; b < L; ++b) errors[b] = residualEnergy(f[b], h, &w.shifted[b * stride], n);
}

}  // namespace

double wienerSolve(WienerWork& w, int32_t delay) {
    double e = 0.0;
    solveLanes<1>(w, &delay, &e);
    std::copy(w.lanes.begin(), w.lanes.begin() + w.n, w.f.begin());
    return e;
}

int32_t wienerDesign(WienerWork& w, bool (*stopped)()) {
    const int32_t step = std::max(1, w.n / 256);
    int32_t best = 0;
    double least = 0.0;
    for (int32_t first = 0; first < w.n; first += step * kWienerLanes) {
        if (stopped && stopped()) return -1;
        int32_t delays[kWienerLanes];
        double errors[kWienerLanes];
        int count = 0;
        for (; count < kWienerLanes && first + count * step < w.n; ++count)
            delays[count] = first + count * step;
        if (count == kWienerLanes) {
            solveLanes<kWienerLanes>(w, delays, errors);
        } else {
            for (int b = 0; b < count; ++b) errors[b] = wienerSolve(w, delays[b]);
        }
        for (int b = 0; b < count; ++b) {
            if (delays[b] == 0 || errors[b] < least) {
                least = errors[b];
                best = delays[b];
            }
        }
    }
    wienerSolve(w, best);
    return best;
}

namespace {

struct WienerState {
    static constexpr Lifetime kLifetime = Lifetime::Start;
    WienerWork work;
    void release() { work.release(); }
};

WienerState& wienerState() {
    return familyState<WienerState>();
}

// 0, or the check code of an input that cannot be used.
int32_t inputCheck(const nameNpath& file, int32_t slot, int32_t unreadable, int32_t channels) {
    if (!readInputHeader(file, slot)) return unreadable;
    const SignalDescriptor& s = blockDescriptor(block(), slot);
    if (!isTimeSignalType(s.recordType)) return kWienerNotTime;
    if (s.recordType == kRealtimeInt16 && s.param1 >= 2) return channels;
    return 0;
}

int32_t wienerCheck(int32_t) {
    CommandBlock& b = block();
    if (const int32_t r =
            inputCheck(b.in1, QF_ENTRY_IN1, kWienerSystemUnreadable, kWienerSystemChannels))
        return r;
    if (const int32_t r =
            inputCheck(b.in2, QF_ENTRY_IN2, kWienerDesiredUnreadable, kWienerDesiredChannels))
        return r;
    const int32_t hn = blockDescriptor(b, QF_ENTRY_IN1).recordCount;
    const int32_t dn = blockDescriptor(b, QF_ENTRY_IN2).recordCount;
    if (hn > kWienerMaxTaps) return kWienerSystemLong;
    if (dn > kWienerMaxTaps) return kWienerDesiredLong;
    if (hn < dn) return kWienerDesiredLonger;
    return 0;
}

bool refused(int32_t result) {
    if (const OperationDescription* d = describe(QF_OP_WIENER)) reportCheck(*d, result);
    return true;
}

bool usable(const SignalDescriptor& s) {
    return isTimeSignalType(s.recordType) && !(s.recordType == kRealtimeInt16 && s.param1 >= 2);
}

int32_t wienerPrepare(int32_t) {
    CommandBlock& b = block();
    const SignalDescriptor& h = blockDescriptor(b, QF_ENTRY_IN1);
    const SignalDescriptor& d = blockDescriptor(b, QF_ENTRY_IN2);
    if (!usable(h))
        return refused(isTimeSignalType(h.recordType) ? kWienerSystemChannels : kWienerNotTime);
    if (!usable(d))
        return refused(isTimeSignalType(d.recordType) ? kWienerDesiredChannels : kWienerNotTime);
    const int32_t n = std::min({h.recordCount, d.recordCount, kWienerMaxTaps});
    if (!wienerState().work.start(n)) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    SignalDescriptor& out = blockDescriptor(b, QF_ENTRY_OUT);
    out.recordType = kReal32;
    out.recordCount = n;
    const std::string name(b.in1.n, ::strnlen(b.in1.n, QF_NAME_LEN));
    setRemark(out, "h(n) of FIR Least-Squares Inverse Filter from [" + name + "]");
    out.samplingRate = h.samplingRate;
    out.signalFrequency = h.signalFrequency;
    fmt(runtime().description, sizeof runtime().description, "[%s] = Wiener Filter from [%s]",
        b.out.n, b.in1.n);
    return 0;
}

int32_t wienerCompute(int32_t, const ComputeArgs*) {
    CommandBlock& b = block();
    WienerWork& w = wienerState().work;
    if (w.n < 1) return 1;
    if (readSamples(blockDescriptor(b, QF_ENTRY_IN1), 0, w.n, w.h.data()) != 0 ||
        readSamples(blockDescriptor(b, QF_ENTRY_IN2), 0, w.n, w.d.data()) != 0)
        return 1;
    wienerAutocorrelation(w);
    if (wienerDesign(w, userStopped) < 0) return 1;
    return forEachOutputSpan<float>(
        blockDescriptor(b, QF_ENTRY_OUT), 0, w.n, [&w](float* y, int32_t at, int32_t n) {
            for (int32_t i = 0; i < n; ++i)
                y[i] = static_cast<float>(w.f[static_cast<std::size_t>(at + i)]);
        });
}

int32_t wienerRelease(int32_t) {
    wienerState().release();
    return 0;
}

double maxTaps(const CommandBlock&) {
    return kWienerMaxTaps;
}

}  // namespace

void registerWienerOperation() {
    constexpr int32_t kTime = QF_FILE_TIME;
    OperationDescription d =
        describedOperation(QF_OP_WIENER, "G(Z)=1/H(Z)          ", "wiener",
                           "least-squares FIR inverse of system A towards the desired response B");
    d.blanks = 4;
    d.files = {inputFile(QF_ENTRY_IN1, kTime, ".tim", "System h(n)", 0, false),
               inputFile(QF_ENTRY_IN2, kTime, ".tim", "Desire d(n)", 1, false),
               outputFile(QF_ENTRY_OUT, kTime, ".tim", "Inv. Filter", 2)};
    d.script = {{Field::In1}, {Field::In2}, {Field::Out}};
    d.scriptAccepts = {kWienerSystemLong, kWienerDesiredLong, kWienerDesiredLonger};
    d.dialog = {.kind = DialogKind::Files, .title = "Wiener Filter"};
    const char* kChannels =
        "'%s' is a multi-channel signal.  Only single channel signal is supported.";
    const char* kLong =
        "Number of samples in '%s' exceed %d.  Only the first %d samples will be used.";
    d.checks = {
        {kWienerNotTime, QF_MSG_NOTICE, "Input signal must be time signal.", Then::AskAgain},
        unreadableCheck(kWienerSystemUnreadable, Arg::In1Name),
        unreadableCheck(kWienerDesiredUnreadable, Arg::In2Name),
        {kWienerSystemChannels, QF_MSG_NOTICE, kChannels, Then::AskAgain, {Arg::In1Name}},
        {kWienerDesiredChannels, QF_MSG_NOTICE, kChannels, Then::AskAgain, {Arg::In2Name}},
        {kWienerSystemLong,
         QF_MSG_NOTICE,
         kLong,
         Then::GoOn,
         {Arg::In1Name, Arg::Computed, Arg::Computed},
         maxTaps},
        {kWienerDesiredLong,
         QF_MSG_NOTICE,
         kLong,
         Then::GoOn,
         {Arg::In2Name, Arg::Computed, Arg::Computed},
         maxTaps},
        {kWienerDesiredLonger, QF_MSG_NOTICE,
         "There are more samples in the desired response then in the system response.  Extra "
         "samples ignored.",
         Then::GoOn},
    };
    d.show = Show::Waveform;
    d.handlers.checkParams = wienerCheck;
    d.handlers.prepareOutput = wienerPrepare;
    d.handlers.compute = wienerCompute;
    d.handlers.release = wienerRelease;
    registerDescribed(std::move(d));
}

}  // namespace qf
