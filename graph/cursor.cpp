// The cursor routine: two cursors per graph (the second one moved with the
// alternate button), their marks and value labels, the highlighted
// selection, band selections (a band over a spectrum reports its power; a
// band over a waveform selects its samples) and the two read-out fields:
// the frequency of the cursor distance (146) and the zoom (137).
//
// Modes: 0 and 2 move a held cursor, 3 places it (and proposes the graph's
// signal as the next input), 4 a band is being dragged, 5 redraw after a
// drawing pass, 6 a band ends.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/host.h"
#include "core/log.h"
#include "graph/axes.h"
#include "graph/plot_data.h"
#include "signal/access.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

struct Int16Pair {
    int16_t re, im;
};
struct DoublePair {
    double re, im;
};

int32_t frameSize(const PlotData& p) {
    return p.sig.param1 > 1 ? p.sig.param1 : 2;
}
double rateOf(const PlotData& p) {
    return p.sig.samplingRate > 0 ? p.sig.samplingRate : 1.0;
}

// The axis value (x) of record r as the last pass placed it.
double axisX(const PlotData& p, int32_t r) {
    if (isFrequencyKind(kindOf(p))) {
        const int32_t n = frameSize(p);
        return (r % n) * (p.unitScale * rateOf(p) / n);
    }
    const int32_t channels = fileChannels(p);
    return (r / channels) * (p.unitScale / rateOf(p));
}

// The record under window x (and, for recordings, the channel under y).
int32_t recordAt(const PlotData& p, int32_t x, int32_t channel) {
    if (p.xScale == 0.0) return -1;
    const double v = (x - p.xOffset) / p.xScale;
    const int32_t records = p.sig.recordCount;
    int64_t r;
    if (isFrequencyKind(kindOf(p))) {
        const int32_t n = frameSize(p);
        const double spacing = p.unitScale * rateOf(p) / n;
        const int64_t bin = std::llround(std::clamp(v / spacing, 0.0, n / 2.0));
        r = int64_t{std::max(p.firstPt, 0)} / n * n + bin;
    } else {
        const int32_t channels = fileChannels(p);
        const double sample = std::clamp(v / (p.unitScale / rateOf(p)), 0.0, 2147483647.0);
        r = std::llround(sample) * channels + std::clamp(channel, 0, channels - 1);
    }
    return static_cast<int32_t>(std::clamp<int64_t>(r, 0, std::max(records - 1, 0)));
}

// The value a graph shows of record r.
bool valueAt(PlotData& p, int32_t r, double& v) {
    SignalDescriptor& d = p.sig;
    if (!d.isOpen() || r < 0 || r >= d.recordCount || sigAccess(d, r) != 0) return false;
    const uint32_t kind = kindOf(p);
    if (kind == GK_TIME) {
        v = d.recordType == kReal32 ? *d.at<float>(r) : *d.at<int16_t>(r) / 32768.0;
        return true;
    }
    double re, im;
    if (d.recordType == kCInt32Rect) {
        re = d.at<Int16Pair>(r)->re / 32768.0;
        im = d.at<Int16Pair>(r)->im / 32768.0;
    } else {
        re = d.at<DoublePair>(r)->re;
        im = d.at<DoublePair>(r)->im;
    }
    if (kind == GK_MAGNITUDE)
        v = std::sqrt(re * re + im * im);
    else if (kind == GK_POWER)
        v = re * re + im * im;
    else
        v = (re == 0.0 || im == 0.0) ? 0.0 : std::atan2(im, re) / 3.14159265358979323846;
    return true;
}

// "f:%.3f%s" of a frequency, normalised between pHz and THz.
std::string frequencyText(double f) {
    static const char* const kUnits[] = {"pHz", "nHz", "uHz", "mHz", "Hz",
                                         "kHz", "Mhz", "GHz", "THz"};
    int unit = 4;
    while (std::fabs(f) >= 1000 && unit < 8) {
        f /= 1000;
        ++unit;
    }
    while (std::fabs(f) < 1 && f != 0 && unit > 0) {
        f *= 1000;
        --unit;
    }
    const char* format = std::fabs(f) >= 100 ? "%.1f" : std::fabs(f) >= 10 ? "%.2f" : "%.3f";
    return "f:" + trimNumber(fmtString(format, f)) + kUnits[unit];
}

void updateReadouts(PlotData& p) {
    GraphState& gs = graphs();
    const uint32_t kind = kindOf(p);
    gs.readout146[0] = '\0';
    if (p.cursorRecord[0] >= 0 && p.cursorRecord[1] >= 0) {
        const double dx = axisX(p, p.cursorRecord[1]) - axisX(p, p.cursorRecord[0]);
        if (std::fabs(dx) == 0) {
            fmt(gs.readout146, sizeof gs.readout146, "%s", "Infinity");
        } else {
            const double f = kind == GK_2D_SPECTROGRAM ? 1 / dx : p.unitScale / dx;
            fmt(gs.readout146, sizeof gs.readout146, "%s", frequencyText(f).c_str());
        }
    }
    if (kind == GK_TIME && p.ptStep > 1) {
        fmt(gs.readout137, sizeof gs.readout137, "%d:1.00", 2 * p.ptStep);
    } else if (kind == GK_TIME) {
        const int32_t n = std::max(p.noPtsPerPlot, 1);
        fmt(gs.readout137, sizeof gs.readout137, "1:%.2lf",
            static_cast<double>(std::max(n, kViewPoints)) / n);
    } else if (isFrequencyKind(kind)) {
        fmt(gs.readout137, sizeof gs.readout137, "1:%2d.00", p.ptStep);
    } else {
        gs.readout137[0] = '\0';
    }
}

void select(PlotData& p, int32_t pen) {
    hostcall::DoSelectPen(p.grRecPtr, pen);
}

void clipToFrame(PlotData& p, bool on) {
    if (on && host().DoSetRectangularClipRegion) {
        logPrintf("OP    rect.top    = %d\n", p.clipRect[1]);
        logPrintf("OP    rect.bottom = %d\n", p.clipRect[3]);
        logPrintf("OP    rect.left   = %d\n", p.clipRect[0]);
        logPrintf("OP    rect.right  = %d\n", p.clipRect[2]);
        logPrintf("OP    pData->xLblLocY = %d\n", p.xLblLocY);
        logPrintf("OP    pData->lblHgt   = %d\n", p.lblHgt);
    }
    hostcall::DoEnableClipping(p.grRecPtr, on ? 1 : 0);
    if (on)
        hostcall::DoSetRectangularClipRegion(p.grRecPtr, p.clipRect[0], p.clipRect[1],
                                             p.clipRect[2] + 1, p.clipRect[3] + 1);
}

// The visible part of the selection, again over the curve with pen 10.
void drawSelection(PlotData& p) {
    if (kindOf(p) != GK_TIME || isMultiChannel(p) || p.selStart < 0 || !p.xBuf) return;
    const int32_t first = std::max(p.firstPt, 0);
    const int64_t from = std::max(p.selStart, first);
    const int64_t to = std::min<int64_t>(p.selEnd, first + int64_t{p.noPtsPerPlot} * p.ptStep - 1);
    if (to - from < 1) return;
    QfPoint pts[kMaxPoints];
    int32_t n = 0;
    const int32_t count = std::min(p.noPtsPerPlot, kMaxPoints);
    for (int32_t i = 0; i < count; ++i) {
        const int64_t s = p.ptStep <= 1 ? int64_t{first} + i : first + int64_t{i & ~1} * p.ptStep;
        if (s < from || s > to) continue;
        const double y = p.yScale * p.yBuf[i] + p.yOffset;
        pts[n].x = static_cast<int32_t>(p.xScale * p.xBuf[i] + p.xOffset);
        pts[n].y = static_cast<int32_t>(std::clamp(y, 0.0, 32767.0));
        ++n;
    }
    if (n < 2) return;
    select(p, 10);
    clipToFrame(p, true);
    drawPolyline(&p, pts, n);
    clipToFrame(p, false);
}

// A cursor: a line across the frame (pen 9), a mark on the curve (pen 10)
// and the value under it (pen 12).
void drawCursor(PlotData& p, int32_t r, int32_t channel) {
    const double x = p.xScale * axisX(p, r) + p.xOffset;
    const int32_t k = std::clamp(channel, 0, kMaxSubGraphs - 1);
    const int32_t px = static_cast<int32_t>(x);
    if (px < p.plotArea[k][0] || px > p.plotArea[k][1]) return;
    const int32_t bottom = p.plotArea[k][2], top = p.plotArea[k][3];
    clipToFrame(p, true);
    select(p, 9);
    const QfPoint across[2] = {{px, bottom}, {px, top}};
    drawPolyline(&p, across, 2);
    double v = 0.0;
    const bool known = valueAt(p, r, v);
    if (known) {
        double y = p.yLog ? (v > 0 ? p.yScale * std::log10(v) + p.yOffset : bottom)
                          : p.yScale * v + p.yOffset;
        const int32_t py = static_cast<int32_t>(std::clamp(y, 0.0, 32767.0));
        select(p, 10);
        const QfPoint mark[5] = {{px - 3, py}, {px + 3, py}, {px, py}, {px, py - 3}, {px, py + 3}};
        drawPolyline(&p, mark, 5);
    }
    clipToFrame(p, false);
    if (!known) return;
    std::string text;
    if (isMultiChannel(p)) text = fmtString("Ch: %d ", channel);
    if (isDecibelKind(kindOf(p)))
        text += numberLabel(0, v > 0 ? (kindOf(p) == GK_POWER ? 10 : 20) * std::log10(v) : -999,
                            p.labelWidth);
    else
        text += numberLabel(p.labelFormat, v, p.labelWidth);
    select(p, 12);
    hostcall::DoTextOut(p.grRecPtr, 1, text.c_str(), px + 2, windowY(p, top));
}

// The band over a spectrum: its power, edges and time.
void bandPower(PlotData& p, int32_t a, int32_t b) {
    const int32_t first = std::min(a, b), last = std::max(a, b);
    const int32_t n = frameSize(p);
    const double df = rateOf(p) / n;
    double sum = 0;
    for (int32_t r = first; r <= last; ++r) {
        SignalDescriptor& d = p.sig;
        if (sigAccess(d, r) != 0) return;
        double re, im;
        if (d.recordType == kCInt32Rect) {
            re = d.at<Int16Pair>(r)->re / 32768.0;
            im = d.at<Int16Pair>(r)->im / 32768.0;
        } else {
            re = d.at<DoublePair>(r)->re;
            im = d.at<DoublePair>(r)->im;
        }
        sum += re * re + im * im;
    }
    const double power = sum * df;
    const double seconds =
        static_cast<double>((int64_t{first} + last) / 2 / n) * p.sig.param2 / rateOf(p);
    hostcall::stdLogWinOpen(115);
    emitMsg(QF_MSG_DESCRIPTION, "Band Range : %lg...%lg @ %lg seconds; Band Power : %lg",
            (first % n) * df, (last % n) * df, seconds, power);
}

int32_t channelUnder(const PlotData& p, int32_t y) {
    if (!isMultiChannel(p)) return 0;
    const int32_t t = p.headingHeight;
    const int32_t span = p.winRect[2] - p.winRect[0] - 3 * t;
    if (span <= 0) return 0;
    const int32_t c = (y - p.winRect[0] - t) * std::min(p.noChannels, kMaxSubGraphs) / span;
    return std::clamp(c, 0, std::max(p.noChannels - 1, 0));
}

void repaint(PlotData& p) {
    hostcall::DoForceRepaint(p.grRecPtr);
}

}  // namespace

void cursorRoutine(QfWindow window, PlotData* given, int32_t x, int32_t y, int32_t mode,
                   bool alternate) {
    GraphState& gs = graphs();
    if (gs.printing) return;
    PlotData* p = knownRecord(given);
    if (p == nullptr) p = findPlotData(window);
    if (p == nullptr || p->recKind == 'r') return;
    const uint32_t kind = kindOf(*p);
    if (kind == GK_3D_SPECTROGRAM) return;
    if (kind == GK_2D_SPECTROGRAM && (mode == 4 || mode == 6)) return;
    if (kind != GK_TIME && !isFrequencyKind(kind)) return;
    const int32_t which = alternate ? 1 : 0;
    const int32_t channel = channelUnder(*p, y);
    switch (mode) {
        case 5:
            drawSelection(*p);
            for (int32_t k = 0; k < 2; ++k)
                if (p->cursorRecord[k] >= 0) drawCursor(*p, p->cursorRecord[k], channel);
            updateReadouts(*p);
            return;
        case 3: {
            p->cursorRecord[which] = recordAt(*p, x, channel);
            // The graph's signal becomes the proposed input of the next operation.
            CommandBlock& b = block();
            b.in1 = p->sig.file;
            b.in1.n[sizeof b.in1.n - 1] = '\0';
            if (char* dot = std::strrchr(b.in1.n, '.'); dot && std::strcmp(dot, ".fre") == 0)
                std::memcpy(dot, ".tim", 5);
            updateReadouts(*p);
            repaint(*p);
            return;
        }
        case 0:
        case 2:
            if (gs.holdCount > 0 || mode == 0) {
                p->cursorRecord[which] = recordAt(*p, x, channel);
                updateReadouts(*p);
                repaint(*p);
            }
            return;
        case 6: {
            const int32_t a = recordAt(*p, gs.bandAnchor[0], channel);
            const int32_t b = recordAt(*p, x, channel);
            if (isDecibelKind(kind)) {
                bandPower(*p, a, b);
            } else if (kind == GK_TIME && !isMultiChannel(*p)) {
                p->selStart = std::min(a, b);
                p->selEnd = std::max(a, b);
                repaint(*p);
            }
            return;
        }
        default:
            return;
    }
}

}  // namespace qf
