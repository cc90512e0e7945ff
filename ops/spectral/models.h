// Signal models: linear prediction (5130 analysis, 5140 its spectrum), the
// LMS adaptive filter (4007) and the least-squares inverse (Wiener) filter
// (5180).  The arithmetic lives in plain functions over arrays, so that it
// can be checked on its own; the operations around it read and write the
// files through the pipeline.
//
// Linear prediction of order p over a frame x(1 ... Nf), M = p + 1:
//   phi(i, j) = sum_{n=M..Nf} x(n - i + 1) x(n - j + 1)        i, j = 1 ... M
//   row 1 by sums, the other rows by the update
//   phi(i, j) = phi(i-1, j-1) + x(M+1-i) x(M+1-j) - x(Nf+2-i) x(Nf+2-j)
// and per order m the covariance-lattice (Burg-type) reflection coefficient
//   k_m = -2 CR / (F + B)
// from the forward and backward error energies F, B and their cross sum CR
// of the predictor of order m - 1 (zero when CR is zero); the predictor
// a_j <- a_j + k_m a_{m-j}, a_m = k_m.  Stored per frame: alpha_j = -a_j
// (prediction x(n) ~ sum alpha_j x(n-j)), then k_1 ... k_p.
//
// LPC spectrum: bin k of N is 1 / A(e^{jw}), w = 2 pi k / N,
// A(z) = 1 + sum_j a_j z^-j, evaluated by Horner's rule; (1e32, 0) where A
// is exactly 0.
#pragma once

#include <cstdint>
#include <vector>

#include "core/operation.h"
#include "signal/descriptor.h"

namespace qf {

// ---------------------------------------------------------------------------
// Linear prediction

constexpr int32_t kLpcMaxOrder = 63;
constexpr int32_t kLpcFrameLimit = 8191;  // frame sizes stay below this

// Parameters of 5130 (int32); 5140 takes its size at kLpcSizeParam too, so
// the size the analysis names is the one its spectrum uses.
constexpr int kLpcOrderParam = QF_P_LPC_ORDER;        // 13008  p
constexpr int kLpcFrameParam = QF_P_LPC_FRAME;        // 13012  Nf
constexpr int kLpcIntervalParam = QF_P_LPC_INTERVAL;  // 13016  I
constexpr int kLpcSizeParam = QF_P_LPC_FFT_SIZE;      // 13020  N

// Check results of 5130.
enum LpcCheck : int32_t {
    kLpcUnreadable = 101,
    kLpcUnsupportedType = 102,  // not a time signal: nothing to analyse
    kLpcBadOrder = 201,
    kLpcBadFrame = 202,
    kLpcBadInterval = 203,
    kLpcBadSize = 204,
};
// Check results of 5140.
enum LpcSpectrumCheck : int32_t {
    kLpcNotCoefficients = 100,
    kLpcSpectrumUnreadable = 101,
    kLpcSpectrumBadSize = 201,
};

// 32, 64, ... 2048.
bool lpcSizeAccepted(int32_t n);
// Frames of Nf samples every I samples over L samples: (L - Nf + I - 1) / I
// + 1 when L > Nf, else 1.
int64_t lpcFrameCount(int64_t length, int32_t frame, int32_t interval);

// The analysis working storage: kept between runs, grown when an order or
// frame size needs more room, freed at shut-down.
struct LpcWorkspace {
    int32_t order = 0;          // the largest order it holds room for
    int32_t frame = 0;          // the largest frame size
    std::vector<double> phi;    // (p + 1) x (p + 1), row-major, phi(i, j) at (i-1)(p+1) + j-1
    std::vector<double> a;      // a[1 ... p] (a[0] unused)
    std::vector<double> saved;  // a before the update of one order
    std::vector<double> k;      // k[1 ... p]
    std::vector<double> x;      // the frame, x(n) at x[n - 1]

    // Room for order p and frame Nf: 0, or 1 when the memory cannot be had
    // (the storage is then released).
    int32_t fit(int32_t p, int32_t nf);
    void release();
    bool holds(int32_t p, int32_t nf) const { return p <= order && nf <= frame && order > 0; }
};

// The analysis storage as it stands between runs.
const LpcWorkspace& lpcWorkspace();

// The covariance matrix of a frame x[0 ... nf-1] for order p into
// phi[(p+1) * (p+1)], by one row of sums and the recursive update.
void lpcCovariance(const double* x, int32_t nf, int32_t p, double* phi);
// The lattice recursion over orders 1 ... p: a[1 ... p] and k[1 ... p]
// (arrays of p + 1, saved a scratch of p + 1).  With `trace`, each order
// from 2 on writes its FPLUSB line to the engine log.
void lpcLattice(const double* phi, int32_t p, double* a, double* saved, double* k, bool trace);
// 1 / A at bins 0 ... n-1 into bins[2n] (re, im pairs), from the stored
// coefficients c[0 ... p-1] (alpha_1 ... alpha_p, so a_j = -c[j-1]).
void lpcSpectrumFrame(const double* c, int32_t p, int32_t n, double* bins);

// ---------------------------------------------------------------------------
// LMS adaptive filter
//
//   u = (x(n), x(n-1), ..., x(n-L+1)),  y = w . u,  e = d(n) - y
//   mu_n = mu, or 0.1 / (u . u + 0.1) when normalised
//   w <- w + mu_n e u   while n < K
// in single precision, the sums in tap order.

constexpr int kLmsTapsParam = QF_P_LMS_TAPS;            // 13008  L (int32)
constexpr int kLmsAdaptParam = QF_P_LMS_ADAPT;          // 13012  K (int32)
constexpr int kLmsNormaliseParam = QF_P_LMS_NORMALISE;  // 13016  nonzero: normalised (int32)
constexpr int kLmsStepParam = QF_P_LMS_STEP;            // 13024  mu (double, used as a float)

// A delay line longer than this is refused before anything is allocated.
constexpr int32_t kLmsMaxTaps = 65536;

enum LmsCheck : int32_t {
    kLmsInputUnreadable = 101,
    kLmsInputType = 102,
    kLmsDesiredUnreadable = 103,
    kLmsDesiredType = 104,
    kLmsBadTaps = 105,      // fewer than one tap: no filter to adapt
    kLmsTooManyTaps = 106,  // more than kLmsMaxTaps
};

// One adaptive filter of L taps.
struct LmsFilter {
    std::vector<float> w;  // coefficients
    std::vector<float> u;  // delay line, u[0] the newest input
    float step = 0.0f;     // mu
    bool normalise = false;
    float adapt = 0.0f;  // mu_n of the last sample

    // Zeroed taps and delay line; false when the memory cannot be had.
    bool start(int32_t taps, float mu, bool normalised);
    // Filters one sample: returns y and sets e; adapts when `adapting`.
    // With `trace`, writes the sample's coefficient-update line to the log.
    float filter(float x, float d, bool adapting, int32_t n, bool trace, float& e);
};

// ---------------------------------------------------------------------------
// Wiener inverse filter
//
// For h and d of N samples (N <= 2048) the N taps f minimising
//   E(D) = sum_n (d_D(n) - sum_{j<=n} f(j) h(n-j))^2,  d_D(n) = d(n - D)
// through the normal equations sum_j r(|i-j|) f(j) = c(i), solved by the
// Levinson recursion, trying D = 0, s, 2s, ... < N with s = max(1, N / 256).

constexpr int32_t kWienerMaxTaps = 2048;

enum WienerCheck : int32_t {
    kWienerNotTime = 100,
    kWienerSystemUnreadable = 101,
    kWienerDesiredUnreadable = 102,
    kWienerSystemChannels = 201,
    kWienerDesiredChannels = 202,
    kWienerSystemLong = 901,
    kWienerDesiredLong = 902,
    kWienerDesiredLonger = 903,
};

// The design's working arrays.  Several delays are solved side by side
// (kWienerLanes of them share one pass of the prediction recursion, which
// depends on h alone); each keeps its own arithmetic in its own order.
constexpr int kWienerLanes = 8;
struct WienerWork {
    int32_t n = 0;
    std::vector<double> h, d, r;            // N each
    std::vector<double> f;                  // the solution of the last solve (N)
    std::vector<double> a, saved;           // the prediction vector and its previous values (N)
    std::vector<double> shifted, c, lanes;  // per lane: d delayed, c, f (kWienerLanes x N)

    bool start(int32_t n);  // false when the memory cannot be had
    void release();
};

// r(k) = sum_{n=k..N-1} h(n) h(n-k) for the h in w.
void wienerAutocorrelation(WienerWork& w);
// Solves for d delayed by `delay` into w.f; returns E.
double wienerSolve(WienerWork& w, int32_t delay);
// The delay search; leaves the winning solution in w.f and returns its
// delay, or -1 when `stopped` (asked between groups of delays) said so.
int32_t wienerDesign(WienerWork& w, bool (*stopped)() = nullptr);

// ---------------------------------------------------------------------------
// Shared

// Samples start ... start + count - 1 of a time signal as doubles: a 16-bit
// word w as w / 32768, a float unchanged, 0 past the end of the signal.
// 1 when a window could not be read (reported).
int32_t readSamples(SignalDescriptor& in, int64_t start, int32_t count, double* out);

// Registration, called from registerModelOperations.
void registerLpcOperations();
void registerLmsOperation();
void registerWienerOperation();

}  // namespace qf
