// Coordinate conversion (see axes.h): points of time and frequency graphs,
// x units, Y ranges and label formats.
//
// Time graphs show one sample per point, or when decimating pairs of
// (maximum, minimum) over 2 x ptStep samples, cached while the view does
// not move.  Frequency graphs show bins of the first half of one frame; with
// more than 600 bins in view a point keeps the largest bin since the last
// point, so no peak is lost.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/host.h"
#include "core/log.h"
#include "graph/axes.h"
#include "signal/access.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Int16Pair {
    int16_t re, im;
};
struct DoublePair {
    double re, im;
};

// Sample s of a time file: 16-bit words are fractions of 32768.
bool sampleAt(SignalDescriptor& d, int32_t s, double& v) {
    if (sigAccess(d, s) != 0) return false;
    if (d.recordType == kReal32)
        v = *d.at<float>(s);
    else
        v = *d.at<int16_t>(s) / 32768.0;
    return true;
}

// Real and imaginary part of record s of a frame-spectrum file.
bool complexAt(SignalDescriptor& d, int32_t s, double& re, double& im) {
    if (sigAccess(d, s) != 0) return false;
    if (d.recordType == kCInt32Rect) {
        const Int16Pair& c = *d.at<Int16Pair>(s);
        re = c.re / 32768.0;
        im = c.im / 32768.0;
    } else {
        const DoublePair& c = *d.at<DoublePair>(s);
        re = c.re;
        im = c.im;
    }
    return true;
}

// The value a frequency kind shows of one bin.
double binValue(uint32_t kind, double re, double im) {
    switch (kind) {
        case GK_MAGNITUDE:
            return std::sqrt(re * re + im * im);
        case GK_POWER:
            return re * re + im * im;
        default:  // phase in units of pi; a zero part gives 0
            return (re == 0.0 || im == 0.0) ? 0.0 : std::atan2(im, re) / kPi;
    }
}

int32_t frameSize(const PlotData& p) {
    return p.sig.param1 > 1 ? p.sig.param1 : 2;
}

double rateOf(const PlotData& p) {
    return p.sig.samplingRate > 0.0 ? p.sig.samplingRate : 1.0;
}

// The channel sub-graph g shows: the g-th set bit of the mask, else g.
int32_t channelOf(const PlotData& p, int32_t g) {
    int32_t seen = 0;
    for (int32_t c = 0; c < 32; ++c) {
        if ((p.channelMask >> c) & 1u) {
            if (seen == g) return c;
            ++seen;
        }
    }
    return g;
}

void copyTitle(char (&dest)[96], const char* label, const std::string& unit) {
    fmt(dest, sizeof dest, "%s%s", label, unit.c_str());
}

// The axis titles and the unit factor of the pass.
void setTitlesAndUnits(PlotData* p) {
    PassTitles& t = passTitles();
    const uint32_t kind = kindOf(*p);
    const double rate = rateOf(*p);
    switch (kind) {
        case GK_TIME: {
            const int32_t channels = recordTypeOf(*p) == kRealtimeInt16 ? fileChannels(*p) : 1;
            const int32_t first = std::max(p->firstPt, 0);
            const double right =
                (static_cast<double>(p->noPtsPerPlot) * p->ptStep - 1 + first / channels) / rate;
            const AxisUnit u = timeUnit(right);
            p->unitScale = static_cast<float>(u.factor);
            copyTitle(t.x, p->xLabel, u.text);
            copyTitle(t.y, p->yLabel, "");
            break;
        }
        case GK_MAGNITUDE:
        case GK_PHASE:
        case GK_POWER: {
            const int32_t n = frameSize(*p);
            const double hz = (p->noPtsPerPlot - 1) * rate / n;
            const AxisUnit u = frequencyUnit(hz);
            p->unitScale = static_cast<float>(u.factor);
            const int32_t frame = std::max(p->firstPt, 0) / n;
            const double seconds = (static_cast<double>(frame) * p->sig.param2 + n / 2) / rate;
            const AxisUnit tu = timeUnit(seconds);
            copyTitle(t.x, p->xLabel, fmtString(u.text, frame, seconds * tu.factor, tu.text));
            copyTitle(t.y, p->yLabel, "");
            break;
        }
        case GK_2D_SPECTROGRAM:
            // The frame count in view and the unit come with spectrogram
            // drawing; until then the titles carry the labels alone.
            copyTitle(t.x, p->xLabel, "");
            copyTitle(t.y, p->yLabel, "");
            break;
        case GK_3D_SPECTROGRAM:
        case GK_RT_3D:
            copyTitle(t.x, "Frequency (kHz)", "");
            copyTitle(t.y, "Magnitude (dB)", "");
            break;
        case GK_RT_2D:
            copyTitle(t.x, "Time", "");
            copyTitle(t.y, "Frequency (kHz)", "");
            break;
        case GK_RT_SPECTRUM:
            copyTitle(t.x, "Frequency (kHz)", "");
            copyTitle(t.y, "Amplitude (dB)", "");
            break;
        case GK_SCOPE:
            copyTitle(t.x, "Time (mSec)", "");
            copyTitle(t.y, "Amplitude (F.S.)", "");
            break;
        default:
            copyTitle(t.x, "???", "");
            copyTitle(t.y, p->yLabel, "");
            break;
    }
}

// Points of a time graph; count and extremes into r.
bool timePoints(PlotData* p, int32_t g, PassRanges& r) {
    SignalDescriptor& d = p->sig;
    const int32_t total = d.recordCount;
    const double xf = p->unitScale / rateOf(*p);
    const int32_t n = std::clamp(p->noPtsPerPlot, 0, kMaxPoints);
    const int32_t first = std::max(p->firstPt, 0);
    int32_t count = 0;
    if (isMultiChannel(*p)) {
        const int32_t channels = fileChannels(*p);
        const int32_t c = channelOf(*p, g);
        for (int32_t i = 0; i < n; ++i) {
            const int64_t rec = int64_t{first} + c + int64_t{i} * channels;
            if (rec >= total) break;
            double v;
            if (!sampleAt(d, static_cast<int32_t>(rec), v)) return false;
            p->xBuf[i] = static_cast<float>((i + (first + c) / channels) * xf);
            p->yBuf[i] = static_cast<float>(v);
            ++count;
        }
    } else if (p->ptStep <= 1) {
        for (int32_t i = 0; i < n && int64_t{first} + i < total; ++i) {
            double v;
            if (!sampleAt(d, first + i, v)) return false;
            p->xBuf[i] = static_cast<float>((int64_t{first} + i) * xf);
            p->yBuf[i] = static_cast<float>(v);
            ++count;
        }
    } else {
        const bool cached = p->cacheFirstPt == p->firstPt && p->minMaxCache != nullptr;
        const int64_t step = p->ptStep;
        for (int32_t i = 0; i < n; i += 2) {
            const int64_t start = first + int64_t{i} * step;
            float hi = 0.0f, lo = 0.0f;
            if (cached) {
                hi = p->minMaxCache[i];
                lo = p->minMaxCache[i + 1];
            } else if (start < total) {
                const int64_t end = std::min<int64_t>(start + 2 * step, total);
                double mx = 0.0, mn = 0.0;
                for (int64_t s = start; s < end; ++s) {
                    double v;
                    if (!sampleAt(d, static_cast<int32_t>(s), v)) return false;
                    if (s == start || v > mx) mx = v;
                    if (s == start || v < mn) mn = v;
                }
                hi = static_cast<float>(mx);
                lo = static_cast<float>(mn);
            }
            if (p->minMaxCache && !cached) {
                p->minMaxCache[i] = hi;
                p->minMaxCache[i + 1] = lo;
            }
            const float x = static_cast<float>(start * xf);
            p->xBuf[i] = x;
            p->yBuf[i] = hi;
            ++count;
            if (i + 1 < n) {
                p->xBuf[i + 1] = x;
                p->yBuf[i + 1] = lo;
                ++count;
            }
        }
        if (p->minMaxCache) p->cacheFirstPt = p->firstPt;
        r.pen = 11;
    }
    r.count = count;
    return true;
}

// Points of a frequency graph.
bool frequencyPoints(PlotData* p, PassRanges& r) {
    SignalDescriptor& d = p->sig;
    const uint32_t kind = kindOf(*p);
    const int32_t bins = frameSize(*p);
    const int32_t inView = (bins / 2) / std::max(p->ptStep, 1);
    const int32_t n = std::clamp(p->noPtsPerPlot, 0, kViewPoints);
    const double spacing = p->unitScale * rateOf(*p) / bins;
    const double binStep = n > 1 ? static_cast<double>(inView) / (n - 1) : 0.0;
    const bool keepPeaks = inView > kViewPoints;
    const double r0 = std::max(p->firstPt, 0);
    int64_t previous = -1;
    int32_t count = 0;
    for (int32_t i = 0; i < n; ++i) {
        const int64_t s = static_cast<int64_t>(i * binStep + r0 + 0.5);
        if (s >= d.recordCount) break;
        double re, im;
        if (!complexAt(d, static_cast<int32_t>(s), re, im)) return false;
        double y = binValue(kind, re, im);
        if (keepPeaks && previous >= 0) {
            for (int64_t k = previous + 1; k < s; ++k) {
                if (!complexAt(d, static_cast<int32_t>(k), re, im)) return false;
                y = std::max(y, binValue(kind, re, im));
            }
        }
        previous = s;
        p->xBuf[i] = static_cast<float>((s % bins) * spacing);
        p->yBuf[i] = static_cast<float>(y);
        ++count;
    }
    r.count = count;
    return true;
}

// The x ends of the points and the extremes of their finite y values:
// infinities and NaNs, which a file may hold, are drawn at the frame's edge
// and not scaled to (no finite value: 0).
void extremes(const PlotData& p, PassRanges& r) {
    if (r.count == 0) return;
    r.fxmin = p.xBuf[0];
    r.fxmax = p.xBuf[r.count - 1];
    bool any = false;
    for (int32_t i = 0; i < r.count; ++i) {
        const float y = p.yBuf[i];
        if (!std::isfinite(y)) continue;
        r.fymin = any ? std::min(r.fymin, y) : y;
        r.fymax = any ? std::max(r.fymax, y) : y;
        any = true;
    }
}

double decadeTop(double decade) {
    return std::pow(10.0, decade) * 0.99999;
}
double decadeBottom(double decade) {
    return std::pow(10.0, decade) * 1.00001;
}

// The Y range of a file graph, after its points.
void yRange(PlotData* p, PassRanges& r) {
    const uint32_t kind = kindOf(*p);
    const bool multi = isMultiChannel(*p);
    const bool dB = isDecibelKind(kind);
    const bool autoScale = p->z1DYAutoScaleYN == 'y';
    double lo = r.fymin, hi = r.fymax;
    bool rescaled = false;
    if (autoScale) {
        if ((kind == GK_TIME && !multi) || isFrequencyKind(kind)) {
            hi = std::max(hi, static_cast<double>(p->yMax));
            lo = std::min(lo, static_cast<double>(p->yMin));
        }
    } else {
        const double span = static_cast<double>(p->yMax) - p->yMin;
        if (kind == GK_TIME || kind == GK_PHASE) {
            if (hi < p->yMin) {
                p->yMin = static_cast<float>(hi - span / 4);
                p->yMax = static_cast<float>(p->yMin + span);
                rescaled = true;
            } else if (lo > p->yMax) {
                p->yMax = static_cast<float>(lo + span / 4);
                p->yMin = static_cast<float>(p->yMax - span);
                rescaled = true;
            }
        } else if (dB && (hi < p->yMin || lo > p->yMax)) {
            p->yMin = static_cast<float>(lo);
            p->yMax = static_cast<float>(hi);
            rescaled = true;
        }
        if (rescaled)
            emitText(QF_MSG_NOTICE,
                     "Graph curve is out of Y axis range.  Rescaling to make visible.");
        lo = p->yMin;
        hi = p->yMax;
    }

    r.xspacing = (r.fxmax - r.fxmin) / 8;
    double step;
    if (kind == GK_TIME || kind == GK_PHASE) {
        if (p->z1DYRoundYN == 'y')
            niceNumbers(lo, hi, step);
        else
            step = (hi - lo) / 8;
    } else if (dB) {
        if (p->z1DYRoundYN != 'y') {
            lo = p->yMin;
            hi = p->yMax;
        }
        decadeRange(lo, hi, recordTypeOf(*p), step);
    } else if (kind == GK_RT_SPECTRUM) {
        step = (hi - lo) / 7;
    } else {
        step = (hi - lo) / 8;
    }

    if (autoScale) {
        if ((kind == GK_TIME && !multi) || kind == GK_PHASE) {
            p->yMax = static_cast<float>(std::max(static_cast<double>(p->yMax), hi));
            p->yMin = static_cast<float>(std::min(static_cast<double>(p->yMin), lo));
        } else if (dB) {
            p->yMax = static_cast<float>(std::max(static_cast<double>(p->yMax), decadeTop(hi)));
            p->yMin = static_cast<float>(std::min(static_cast<double>(p->yMin), decadeBottom(lo)));
        } else if (isSpectrogramKind(kind)) {
            p->yMax = static_cast<float>(hi);
            p->yMin = static_cast<float>(lo);
        }
    }
    if (rescaled) {
        p->yMax = static_cast<float>(dB ? decadeTop(hi) : hi);
        p->yMin = static_cast<float>(dB ? decadeBottom(lo) : lo);
    }
    r.fymin = static_cast<float>(lo);
    r.fymax = static_cast<float>(hi);
    r.yspacing = static_cast<float>(step);
}

// e = floor(log10 v) and f = log10 v - e of a magnitude.
void decade(double v, double& e, double& f) {
    const double l = std::log10(v);
    e = std::floor(l);
    f = l - e;
}

}  // namespace

namespace {
struct TitlesOfThePass {
    PassTitles t;
    static constexpr Lifetime kLifetime = Lifetime::Start;
};
}  // namespace

PassTitles& passTitles() {
    return familyState<TitlesOfThePass>().t;
}

AxisUnit timeUnit(double seconds) {
    const double e = std::floor(std::log10(seconds));
    if (e >= 3) return {" (kS)", 0.001};
    if (e >= 0) return {" (Sec)", 1.0};
    if (e >= -3) return {" (mS)", 1000.0};
    if (e >= -6) return {" (uS)", 1e6};
    if (e >= -9) return {" (nS)", 1e9};
    return {"", 1.0};
}

AxisUnit frequencyUnit(double hz) {
    const double e = std::floor(std::log10(hz));
    if (e >= 9) return {"(GHz) @ [Frame %d/%.2f%s]", 1e-9};
    if (e >= 6) return {"(MHz) @ [Frame %d/%.2f%s]", 1e-6};
    if (e >= 3) return {"(kHz) @ [Frame %d/%.2f%s]", 0.001};
    if (e >= 0) return {"(Hz) @ [Frame %d/%.2f%s]", 1.0};
    if (e >= -3) return {"(mHz) @ [Frame %d/%.2f%s]", 1000.0};
    return {"(uHz) @ [Frame %d/%.2f%s]", 1e6};
}

void niceNumbers(double& lo, double& hi, double& step) {
    constexpr double kTiny = 1.1754944e-37;
    if (std::fabs(lo) < kTiny) lo = 0.0;
    if (std::fabs(hi) < kTiny) hi = 0.0;
    double big = std::max(std::fabs(lo), std::fabs(hi));
    double small = std::min(std::fabs(lo), std::fabs(hi));
    if (big >= 1e38) {
        hi = big;
        lo = -big;
        step = big / 4;
        return;
    }
    if (small > 0 && std::log10(big) - std::log10(small) > 2) {
        if (std::fabs(lo) < std::fabs(hi))
            lo = 0.0;
        else
            hi = 0.0;
        small = 0.0;
    }
    const bool spansZero = lo < 0 && hi > 0;
    const double ratio = small == 0 ? 9.0 : big / small;
    double e, f;

    if (lo == hi) {  // (a)
        const double v = lo;
        if (v != 0) decade(std::fabs(v), e, f);
        if (v == 0 || e < -36) {
            lo = -1.0;
            hi = 1.0;
            step = 0.5;
            return;
        }
        const double factor = f == 0 ? 1 : f <= 0.3015 ? 2 : f <= 0.6994 ? 5 : 10;
        const double m = std::pow(10.0, e) * factor;
        step = factor <= 2 ? m / 8 : m / 10;
        lo = v > 0 ? 0.0 : -m;
        hi = v > 0 ? m : 0.0;
        return;
    }
    if (!spansZero && ratio > 1.2) {  // (b)
        decade(big, e, f);
        struct Row {
            double upTo, factor, parts;
        };
        static constexpr Row kRows[] = {{0, 1, 10},     {0.3015, 2, 8},  {0.4776, 3, 6},
                                        {0.6026, 4, 8}, {0.6994, 5, 10}, {0.7787, 6, 6},
                                        {0.9026, 8, 8}, {2.0, 10, 10}};
        const Row* row = &kRows[7];
        for (const Row& candidate : kRows) {
            if (f <= candidate.upTo) {
                row = &candidate;
                break;
            }
        }
        const double m = std::pow(10.0, e) * row->factor;
        step = m / row->parts;
        const bool positive = std::fabs(hi) >= std::fabs(lo);
        lo = positive ? 0.0 : -m;
        hi = positive ? m : 0.0;
        return;
    }
    if (!spansZero) {  // (c)
        if (lo == hi) {
            const double widen = lo == 0 ? 0.1 : std::fabs(lo) / 10;
            lo -= widen;
            hi += widen;
        }
        step = (hi - lo) / 5;
        return;
    }
    // (d) and (e): M from the larger end.
    decade(big, e, f);
    const double factor = f == 0 ? 1 : f <= 0.3015 ? 2 : f <= 0.6994 ? 5 : 10;
    const double m = std::pow(10.0, e) * factor;
    if (ratio <= 5) {  // (d)
        step = factor == 5 ? m / 5 : m / 4;
        lo = -m;
        hi = m;
        return;
    }
    // (e): the other side the smallest multiple of M/5 (or M/10) that covers it.
    const double part = ratio <= 10 ? m / 5 : m / 10;
    const double other = std::ceil(small / part) * part;
    step = part;
    if (std::fabs(hi) >= std::fabs(lo)) {
        hi = m;
        lo = -other;
    } else {
        lo = -m;
        hi = other;
    }
}

void decadeRange(double& lo, double& hi, int32_t recordType, double& perDecade) {
    if (hi == 0) {
        lo = -8;
        hi = 0;
        perDecade = 1;
        return;
    }
    if (lo == 0) lo = hi * 1e-8;
    // The top decade holds the largest value; the range reaches 8 decades
    // below it (5 for 16-bit spectra, and never below 1e-5 there).
    const double topDecade = std::floor(std::log10(hi));
    double bottom = std::floor(std::log10(lo));
    if (recordType == kCInt32Rect)
        bottom = std::max({bottom, topDecade - 5, -5.0});
    else
        bottom = std::max(bottom, topDecade - 8);
    hi = topDecade + 1;
    lo = bottom;
    const double range = hi - lo;
    perDecade = range > 2 ? 1 : range > 1 ? 5 : 10;
}

int32_t axisFormat(double min, double max) {
    const double big = std::max(std::fabs(min), std::fabs(max));
    if (big == 0) return 1;
    const double e = std::floor(std::log10(big));
    if (e >= 0 && e <= 2) return static_cast<int32_t>(e) - 4;
    return 1;
}

std::string trimNumber(const std::string& text) {
    std::size_t ePos = text.find_first_of("eE");
    std::string mantissa = text.substr(0, ePos);
    std::string exponent = ePos == std::string::npos ? std::string() : text.substr(ePos);
    if (mantissa.find('.') != std::string::npos) {
        while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
        if (!mantissa.empty() && mantissa.back() == '.') mantissa += '0';
    }
    if (!exponent.empty()) {
        std::string head = exponent.substr(0, 1);
        std::size_t at = 1;
        if (at < exponent.size() && (exponent[at] == '+' || exponent[at] == '-'))
            head += exponent[at++];
        while (at < exponent.size() && exponent[at] == '0') ++at;
        const std::string digits = exponent.substr(at);
        exponent = digits.empty() ? std::string() : head + digits;
    }
    return mantissa + exponent;
}

std::string numberLabel(int32_t code, double value, int32_t width) {
    switch (code) {
        case 0:
            return trimNumber(fmtString("% 6f", value));
        case 1:
            return trimNumber(fmtString("% 11.4e", value));
        case 2:
            return fmtString("%ld", std::lround(value));
        case 3: {
            std::string s = fmtString("% .4g", value);
            if (s.find('.') == std::string::npos) {
                const std::size_t e = s.find_first_of("eE");
                s.insert(e == std::string::npos ? s.size() : e, ".");
            }
            return trimNumber(s);
        }
        default:
            return fmtString("% *.*f", width - 1, -code, value);
    }
}

std::string gridLabel(int32_t code, double value, int32_t width) {
    if (code == 2 || code == 3) return numberLabel(code, value, width);
    return "  " + numberLabel(code, value, width) + " ";
}

int32_t convertDataPt(PlotData* p, int32_t g, PassRanges& r) {
    logPrintf("OP $$enter$$ convertDataPt( pData = %p, curGraphNo = %d)\n", static_cast<void*>(p),
              g);
    logPrintf("OP    curGraphNo            = %d\n", g);
    logPrintf("OP    pData->noPtsPerPlot   = %d\n", p->noPtsPerPlot);
    r = PassRanges{};
    setTitlesAndUnits(p);
    const uint32_t kind = kindOf(*p);
    bool ok = true;
    if (kind == GK_TIME || isFrequencyKind(kind)) {
        if (!p->sig.isOpen() || p->xBuf == nullptr || p->yBuf == nullptr) return 1;
        ok = kind == GK_TIME ? timePoints(p, g, r) : frequencyPoints(p, r);
        if (!ok) return 1;
        extremes(*p, r);
    } else {
        // Spectrogram and realtime kinds place their images on a unit
        // range until their own drawing sets it.
        r.fxmax = r.fymax = 1.0f;
    }
    if (!isRealtimeKind(kind)) {
        yRange(p, r);
    } else {
        r.xspacing = (r.fxmax - r.fxmin) / 8;
        r.yspacing = (r.fymax - r.fymin) / (kind == GK_RT_SPECTRUM ? 7 : 8);
    }
    logPrintf("OP $$leave$$ convertDataPt\n");
    return 0;
}

}  // namespace qf
