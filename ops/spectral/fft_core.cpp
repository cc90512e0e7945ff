// The FFT core: working arrays, windows, radix-2 transforms and the frame
// kernel's arithmetic.  See fft_core.h for the formulas.
//
// Order of work in a transform.  A decimation-in-frequency pass over a block
// of n points pairs x[j] with x[j + n/2] (m = j - block start):
//     x[j]       = a + b
//     x[j + n/2] = (a - b) W^m      W^m = table entry m*stride - 1
// and the butterfly with m = 0 takes no twiddle.  The butterflies of one pass
// are independent of each other, so they may be visited in any order as long
// as every butterfly sees the results of the previous pass:
//   - two passes are done together (pairs of pairs held in registers);
//   - the transform runs depth first: the two passes over a block, then the
//     whole transform of each of its four quarters, so the data stays in
//     cache once a block fits, with blocks of kLeafSize points and smaller
//     done pass after pass;
//   - blocks of up to kSubSize points read their twiddles from a contiguous
//     copy of the table entries they use.
// Each value is therefore made by exactly the operations, in exactly the
// order, of the plain pass-after-pass transform.
#include "ops/spectral/fft_core.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qf {

namespace {

constexpr int32_t kLeafSize = 1024;    // blocks this small are done pass after pass (16 KiB)
constexpr int32_t kSubSize = 1 << 16;  // blocks this small use the compact twiddle copy

// ---- Butterflies --------------------------------------------------------

// Cx holds one complex value in a register.  mulTwiddle forms
//     re = dr wr - di wi,   im = dr wi + di wr
// the SSE2 lanes as (dr wr + (-(di wi)), di wr + dr wi): the same two
// roundings, since x - y is x + (-y) and addition commutes.
#if defined(__SSE2__)

struct Cx {
    __m128d v;
};
inline Cx load(const double* p) {
    return {_mm_loadu_pd(p)};
}
inline void store(double* p, Cx a) {
    _mm_storeu_pd(p, a.v);
}
inline Cx add(Cx a, Cx b) {
    return {_mm_add_pd(a.v, b.v)};
}
inline Cx sub(Cx a, Cx b) {
    return {_mm_sub_pd(a.v, b.v)};
}
inline Cx mulTwiddle(Cx d, const double* w) {
    const __m128d negLow = _mm_set_pd(0.0, -0.0);
    const __m128d swapped = _mm_shuffle_pd(d.v, d.v, 1);       // (di, dr)
    const __m128d p = _mm_mul_pd(d.v, _mm_set1_pd(w[0]));      // (dr wr, di wr)
    const __m128d q = _mm_mul_pd(swapped, _mm_set1_pd(w[1]));  // (di wi, dr wi)
    return {_mm_add_pd(p, _mm_xor_pd(q, negLow))};
}

inline void scale(double* x, int64_t count, double factor) {
    const __m128d f = _mm_set1_pd(factor);
    for (int64_t i = 0; i < count; i += 2) _mm_storeu_pd(x + i, _mm_mul_pd(_mm_loadu_pd(x + i), f));
}

#else

struct Cx {
    double re, im;
};
inline Cx load(const double* p) {
    return {p[0], p[1]};
}
inline void store(double* p, Cx a) {
    p[0] = a.re;
    p[1] = a.im;
}
inline Cx add(Cx a, Cx b) {
    return {a.re + b.re, a.im + b.im};
}
inline Cx sub(Cx a, Cx b) {
    return {a.re - b.re, a.im - b.im};
}
inline Cx mulTwiddle(Cx d, const double* w) {
    return {d.re * w[0] - d.im * w[1], d.re * w[1] + d.im * w[0]};
}

inline void scale(double* x, int64_t count, double factor) {
    for (int64_t i = 0; i < count; ++i) x[i] = x[i] * factor;
}

#endif

// (a, b) <- (a + b, a - b), and (a + b, (a - b) w).
inline void butterfly(Cx& a, Cx& b) {
    const Cx s = add(a, b);
    b = sub(a, b);
    a = s;
}
inline void butterfly(Cx& a, Cx& b, const double* w) {
    const Cx s = add(a, b);
    b = mulTwiddle(sub(a, b), w);
    a = s;
}

// ---- Passes -------------------------------------------------------------

// One pass with half-distance `half` over every block of 2*half points in
// x[0 ... len-1]; the twiddle of m is entry m*stride - 1 of tw.
void difPass(double* x, int32_t len, int32_t half, const double* tw, int32_t stride) {
    for (int32_t j0 = 0; j0 < len; j0 += 2 * half) {
        double* pa = x + 2 * static_cast<int64_t>(j0);
        double* pb = pa + 2 * static_cast<int64_t>(half);
        Cx a = load(pa), b = load(pb);
        butterfly(a, b);
        store(pa, a);
        store(pb, b);
        const double* w = tw + 2 * (stride - 1);
        for (int32_t m = 1; m < half; ++m, w += 2 * stride) {
            a = load(pa + 2 * m);
            b = load(pb + 2 * m);
            butterfly(a, b, w);
            store(pa + 2 * m, a);
            store(pb + 2 * m, b);
        }
    }
}

// Two passes, half-distances `half` (>= 2) and half/2, over every block of
// 2*half points in x[0 ... len-1], with the four points of each pair of
// pairs held in registers between the passes.
void difPass2(double* x, int32_t len, int32_t half, const double* tw, int32_t stride) {
    const int32_t q = half / 2;
    const double* wq = tw + 2 * (static_cast<int64_t>(q) * stride - 1);
    for (int32_t j0 = 0; j0 < len; j0 += 2 * half) {
        double* p0 = x + 2 * static_cast<int64_t>(j0);
        double* p1 = p0 + 2 * static_cast<int64_t>(q);
        double* p2 = p0 + 2 * static_cast<int64_t>(half);
        double* p3 = p2 + 2 * static_cast<int64_t>(q);
        Cx a = load(p0), b = load(p1), c = load(p2), d = load(p3);
        butterfly(a, c);
        butterfly(b, d, wq);
        butterfly(a, b);
        butterfly(c, d);
        store(p0, a);
        store(p1, b);
        store(p2, c);
        store(p3, d);
        const double* w0 = tw + 2 * (stride - 1);      // m = j in the first pass
        const double* w1 = wq + 2 * stride;            // m = j + q in the first pass
        const double* w2 = tw + 2 * (2 * stride - 1);  // m = j in the second pass
        for (int32_t j = 1; j < q; ++j, w0 += 2 * stride, w1 += 2 * stride, w2 += 4 * stride) {
            a = load(p0 + 2 * j);
            b = load(p1 + 2 * j);
            c = load(p2 + 2 * j);
            d = load(p3 + 2 * j);
            butterfly(a, c, w0);
            butterfly(b, d, w1);
            butterfly(a, b, w2);
            butterfly(c, d, w2);
            store(p0 + 2 * j, a);
            store(p1 + 2 * j, b);
            store(p2 + 2 * j, c);
            store(p3 + 2 * j, d);
        }
    }
}

// All passes of an n-point block whose first twiddles are tw at `stride`.
void difBlock(double* x, int32_t n, const double* tw, int32_t stride) {
    int32_t half = n / 2;
    if (fftStagesOf(n) % 2 == 1) {
        difPass(x, n, half, tw, stride);
        half /= 2;
        stride *= 2;
    }
    for (; half >= 2; half /= 4, stride *= 4) difPass2(x, n, half, tw, stride);
}

struct TwiddleSource {
    const double* full;  // the workspace table
    const double* sub;   // compact copy for blocks of up to subSize points (or null)
    int32_t subSize;
};

void difDepthFirst(double* x, int32_t n, const double* tw, int32_t stride,
                   const TwiddleSource& src) {
    if (src.sub != nullptr && tw == src.full && n <= src.subSize) {
        tw = src.sub;
        stride = src.subSize / n;
    }
    if (n <= kLeafSize) {
        difBlock(x, n, tw, stride);
        return;
    }
    const int32_t quarter = n / 4;
    difPass2(x, n, n / 2, tw, stride);
    for (int32_t k = 0; k < 4; ++k)
        difDepthFirst(x + 2 * static_cast<int64_t>(k) * quarter, quarter, tw, 4 * stride, src);
}

// Bit reversal of the point order: point i trades places with point rev(i).
// Small transforms count j through the bit-reversed values of i.  Large ones
// split an index into a top, middle and bottom part of kTileBits, s - 2
// kTileBits and kTileBits bits: rev(top|mid|bottom) = rev(bottom)|rev(mid)|
// rev(top), so the points with middle b trade places with those with middle
// rev(b).  Each such pair of 2^kTileBits x 2^kTileBits tiles is copied out
// row by row and written back transposed with its rows and columns reversed.
constexpr int32_t kTileBits = 4;
constexpr int32_t kTile = 1 << kTileBits;

constexpr int32_t reverseBits(int32_t v, int32_t bits) {
    int32_t r = 0;
    for (int32_t b = 0; b < bits; ++b, v >>= 1) r = (r << 1) | (v & 1);
    return r;
}

constexpr std::array<int32_t, kTile> kTileReverse = [] {
    std::array<int32_t, kTile> r{};
    for (int32_t v = 0; v < kTile; ++v) r[v] = reverseBits(v, kTileBits);
    return r;
}();

using Tile = std::array<double, 2 * kTile * kTile>;  // rows of kTile complex values

// Copies the tile with middle `mid` (rows: top part, columns: bottom part).
void readTile(const double* x, int32_t mid, int32_t topShift, Tile& t) {
    for (int32_t a = 0; a < kTile; ++a) {
        const double* row = x + 2 * ((int64_t{a} << topShift) | (int64_t{mid} << kTileBits));
        std::copy(row, row + 2 * kTile, t.begin() + 2 * kTile * a);
    }
}

// Writes the tile with middle `mid` from the partner tile t: the point with
// top a and bottom c takes the partner's point with top rev(c), bottom rev(a).
void writeTile(double* x, int32_t mid, int32_t topShift, const Tile& t) {
    for (int32_t a = 0; a < kTile; ++a) {
        double* row = x + 2 * ((int64_t{a} << topShift) | (int64_t{mid} << kTileBits));
        const int32_t ra = kTileReverse[a];
        for (int32_t c = 0; c < kTile; ++c) {
            const int32_t k = 2 * (kTile * kTileReverse[c] + ra);
            row[2 * c] = t[k];
            row[2 * c + 1] = t[k + 1];
        }
    }
}

void bitReverse(double* x, int32_t m, int32_t stages) {
    if (stages < 2 * kTileBits) {
        int32_t j = 0;
        for (int32_t i = 1; i < m - 1; ++i) {
            int32_t k = m / 2;
            while (k <= j) {
                j -= k;
                k /= 2;
            }
            j += k;
            if (i < j) {
                std::swap(x[2 * i], x[2 * j]);
                std::swap(x[2 * i + 1], x[2 * j + 1]);
            }
        }
        return;
    }
    const int32_t midBits = stages - 2 * kTileBits;
    const int32_t topShift = stages - kTileBits;
    Tile first, second;
    for (int32_t b = 0; b < (1 << midBits); ++b) {
        const int32_t rb = reverseBits(b, midBits);
        if (rb < b) continue;
        readTile(x, b, topShift, first);
        if (rb == b) {
            writeTile(x, b, topShift, first);
        } else {
            readTile(x, rb, topShift, second);
            writeTile(x, b, topShift, second);
            writeTile(x, rb, topShift, first);
        }
    }
}

// Twiddle table of an m-point transform: entry k-1 = (cos k theta, sign sin k
// theta), k = 1 ... m/2 - 1, theta = pi / (m/2), made by rotating (c, s) by
// theta at each step.
void buildTable(FftWorkspace& ws, double sign) {
    const int32_t m = ws.size;
    double* tw = ws.twiddle.data();
    if (m / 2 - 1 >= 1) {
        const double theta = 4.0 * std::atan(1.0) / (m / 2);
        const double cs = std::cos(theta);
        const double sn = sign * std::sin(theta);
        double c = cs;
        double s = sn;
        for (int32_t k = 1; k <= m / 2 - 1; ++k) {
            tw[2 * (k - 1)] = c;
            tw[2 * (k - 1) + 1] = s;
            const double cNext = c * cs - s * sn;
            const double sNext = c * sn + s * cs;
            c = cNext;
            s = sNext;
        }
    }
    // The entries the kSubSize-point blocks use, side by side.
    if (!ws.subTwiddle.empty()) {
        const int32_t step = m / kSubSize;
        for (int32_t k = 1; k < kSubSize / 2; ++k) {
            ws.subTwiddle[2 * (k - 1)] = tw[2 * (static_cast<int64_t>(k) * step - 1)];
            ws.subTwiddle[2 * (k - 1) + 1] = tw[2 * (static_cast<int64_t>(k) * step - 1) + 1];
        }
    }
    ws.tableHolds = sign < 0 ? m : -m;
}

void transform(FftWorkspace& ws, double* data) {
    const TwiddleSource src{ws.twiddle.data(),
                            ws.subTwiddle.empty() ? nullptr : ws.subTwiddle.data(), kSubSize};
    if (ws.size > 1) difDepthFirst(data, ws.size, src.full, 1, src);
    bitReverse(data, ws.size, ws.stages);
}

}  // namespace

// ---- Workspace ----------------------------------------------------------

int32_t fftStagesOf(int32_t n) {
    for (int32_t s = 0; s <= kFftMaxStages; ++s)
        if (n == (int32_t{1} << s)) return s;
    return -1;
}

int32_t FftWorkspace::allocate(int32_t n) {
    release();
    const int32_t s = fftStagesOf(n);
    if (s < 0) return 1;
    try {
        twiddle.assign(static_cast<size_t>(n / 2) * 2, 0.0);
        window.assign(static_cast<size_t>(n), 0.0);
        work.assign(static_cast<size_t>(n) * 2, 0.0);
        if (n > kSubSize) subTwiddle.assign(static_cast<size_t>(kSubSize / 2) * 2, 0.0);
    } catch (const std::bad_alloc&) {
        release();
        return 2;
    }
    size = n;
    stages = s;
    buildTwiddles = true;
    tableHolds = 0;
    return 0;
}

void FftWorkspace::release() {
    std::vector<double>().swap(twiddle);
    std::vector<double>().swap(window);
    std::vector<double>().swap(work);
    std::vector<double>().swap(subTwiddle);
    size = 0;
    stages = 0;
    buildTwiddles = false;
    tableHolds = 0;
}

// ---- Transforms ---------------------------------------------------------

int32_t fftForward(FftWorkspace& ws, double* data, int32_t stages) {
    if (!ws.allocated() || stages != ws.stages) return 1;
    if (ws.buildTwiddles && ws.tableHolds != ws.size) buildTable(ws, -1.0);
    transform(ws, data);
    return 0;
}

int32_t fftInverse(FftWorkspace& ws, double* data, int32_t stages) {
    if (!ws.allocated() || stages != ws.stages) return 1;
    if (ws.buildTwiddles) {
        if (ws.tableHolds != -ws.size) buildTable(ws, 1.0);
        ws.buildTwiddles = false;
    }
    transform(ws, data);
    scale(data, 2 * static_cast<int64_t>(ws.size), 1.0 / ws.size);
    return 0;
}

// ---- Windows ------------------------------------------------------------

double besselI0(double z) {
    const double t = z / 2;
    double f = 1;
    double p = t;
    double term = t;
    double sum = 1 + term * term;
    int32_t k = 2;
    while (term > 1e-7) {
        f = f / k;
        p = p * t;
        term = p * f;
        sum = sum + term * term;
        k = k + 1;
    }
    return sum;
}

namespace {

struct CosineSum {
    int32_t terms;
    double a[4];
};

// Coefficients of the cosine-sum windows 1 ... 6.
constexpr CosineSum kCosineSums[] = {
    {2, {0.5, 0.5}},                                    // Hanning
    {3, {0.42, 0.5, 0.08}},                             // Blackman
    {3, {0.42659071, 0.49656062, 0.07684867}},          // Exact_Blackman
    {2, {0.53836, 0.46164}},                            // Hamming
    {3, {0.4243801, 0.4973406, 0.07828793}},            // Min_3-terms
    {4, {0.3635819, 0.4891775, 0.1365995, 0.0106411}},  // Min_4-terms
};

}  // namespace

int32_t computeWindow(int32_t number, int32_t n, double* array) {
    if (number < 0 || number >= kWindowCount || number == kWindowRectangular) {
        for (int32_t i = 0; i < n; ++i) array[i] = 1.0;
        return number == kWindowRectangular ? 0 : 1;
    }
    const int32_t h = n / 2;
    const int32_t c = (n + 1) / 2;
    const double x0 = n % 2 == 0 ? 0.5 : 0.0;
    const double pi = 4.0 * std::atan(1.0);
    // v / h; a one-point window (h = 0) has only its centre, where v is 0.
    const auto overH = [h](double v) { return h > 0 ? v / h : 0.0; };

    double kaiserAlpha = 0.0;
    if (number == kWindowKaiser30) kaiserAlpha = 3.0;
    if (number == kWindowKaiser35) kaiserAlpha = 3.5;
    const double kaiserNorm = kaiserAlpha > 0.0 ? 1 / besselI0(pi * kaiserAlpha) : 0.0;

    for (int32_t i = 0; i < c; ++i) {
        const double x = x0 + i;
        double v = 1.0;
        switch (number) {
            case kWindowHanning:
            case kWindowBlackman:
            case kWindowExactBlackman:
            case kWindowHamming:
            case kWindowMin3Terms:
            case kWindowMin4Terms: {
                const CosineSum& cs = kCosineSums[number - kWindowHanning];
                v = cs.a[0];
                for (int32_t k = 1; k < cs.terms; ++k)
                    v = v + cs.a[k] * std::cos(overH(k * pi * x));
                if (v >= 1.0) v = 1.0;
                break;
            }
            case kWindowGaussian30:
            case kWindowGaussian35: {
                const double t = overH((number == kWindowGaussian30 ? 3.0 : 3.5) * x);
                v = std::exp(-0.5 * (t * t));
                break;
            }
            case kWindowPoisson30:
            case kWindowPoisson40:
                v = std::exp(overH(-(number == kWindowPoisson30 ? 3.0 : 4.0) * x));
                break;
            case kWindowCauchy40:
            case kWindowCauchy50: {
                const double t = overH((number == kWindowCauchy40 ? 4.0 : 5.0) * x);
                v = 1 / (1 + t * t);
                break;
            }
            case kWindowKaiser30:
            case kWindowKaiser35: {
                double r = overH(x);
                if (r >= 1.0) r = 1.0;
                v = besselI0(pi * kaiserAlpha * std::sqrt(1 - r * r)) * kaiserNorm;
                break;
            }
            case kWindowTriangular:
                v = 1 - overH(x);
                break;
            default:
                break;
        }
        array[i] = v;
    }
    // Move the half window (centre first) to the top, then mirror it down.
    for (int32_t i = 0; i < c; ++i) array[n - 1 - i] = array[c - 1 - i];
    for (int32_t i = 0; i < c; ++i) array[i] = array[n - 1 - i];
    return 0;
}

// ---- Frame kernel arithmetic -------------------------------------------

FftFramePlan fftFramePlan(int32_t recordCount, int32_t frameSize, int32_t interval) {
    const int64_t l = recordCount;
    const int64_t n = frameSize;
    const int64_t step = interval;
    FftFramePlan plan;
    plan.count = 1;
    if (step < 0) {
        plan.first = std::max<int64_t>(std::min(-step, l - n), 0);
    } else if (step > 0 && l > n) {
        plan.count = (l - n + step - 1) / step + 1;
        plan.hop = step;
    }
    return plan;
}

int32_t fftFrameSamples(int32_t recordCount, int32_t frameSize, int64_t start) {
    const int64_t available = std::min<int64_t>(frameSize, recordCount - start);
    return static_cast<int32_t>(std::max<int64_t>(available, 0));
}

namespace {
template <typename Sample>
void loadSamples(double* frame, int32_t at, const Sample* samples, int32_t count,
                 const double* window) {
    double* p = frame + 2 * static_cast<int64_t>(at);
    for (int32_t i = 0; i < count; ++i) {
        p[2 * i] = fftSampleValue(samples[i]) * window[at + i];
        p[2 * i + 1] = 0.0;
    }
}
}  // namespace

void fftLoadSamples(double* frame, int32_t at, const int16_t* samples, int32_t count,
                    const double* window) {
    loadSamples(frame, at, samples, count, window);
}

void fftLoadSamples(double* frame, int32_t at, const float* samples, int32_t count,
                    const double* window) {
    loadSamples(frame, at, samples, count, window);
}

void fftZeroPad(double* frame, int32_t from, int32_t frameSize) {
    for (int64_t i = 2 * static_cast<int64_t>(from); i < 2 * static_cast<int64_t>(frameSize); ++i)
        frame[i] = 0.0;
}

}  // namespace qf
