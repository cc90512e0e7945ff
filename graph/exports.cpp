// Graph entry points the host calls on user input in a graph window: menu
// and toolbar commands (GraphControlWrapper), the horizontal scroll bar
// (grPanLeftRightWrapper), mouse moves and clicks (grGraphXcursorWrapper),
// and the settings its dialogs show (getGraphData, GetGraphType); and the
// host's side of a graph record (its window and client rectangle).
//
// A record pointer the host passes that is not in the graph list (a graph
// already closed) is ignored.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/host.h"
#include "core/log.h"
#include "graph/plot_data.h"
#include "platform/platform.h"
#include "signal/format.h"

namespace qf {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kThumbRange = 32767;

void traceRecord(const PlotData* p) {
    logPrintf("OP    pData                  = %p\n", static_cast<const void*>(p));
    logPrintf("OP    pData->grRecPtr        = %p\n", p ? p->grRecPtr : nullptr);
}

// The scroll range L of the thumb for the kind.
int64_t scrollSpan(const PlotData& p) {
    const uint32_t kind = kindOf(p);
    const int64_t records = p.sig.recordCount;
    if (kind == GK_TIME) {
        int64_t shown = int64_t{p.noPtsPerPlot} * p.ptStep;
        if (isMultiChannel(p)) shown *= fileChannels(p);
        return records - shown;
    }
    if (isFrequencyKind(kind)) {
        const int64_t n = p.sig.param1 > 1 ? p.sig.param1 : 2;
        return records - n / 2 - (n / 2) / std::max(p.ptStep, 1);
    }
    if (isSpectrogramKind(kind)) return int64_t{p.noFrames} - p.noPtsPerPlot;
    return 0;
}

void placeThumb(PlotData* p, int32_t position) {
    hostcall::DoSetHorizontalScrollPosition(p->grRecPtr, position, 1);
}

void copyLabel(char (&dest)[48], const char* text) {
    if (text == nullptr) return;
    std::size_t n = ::strnlen(text, sizeof dest - 1);
    std::memcpy(dest, text, n);
    dest[n] = '\0';
}

// The band rectangle, drawn with the exclusive-or raster operation so that
// drawing it twice leaves the window as it was.
void drawBand(QfWindow window, const int32_t (&a)[2], const int32_t (&b)[2]) {
    const QfPoint box[5] = {{a[0], a[1]}, {b[0], a[1]}, {b[0], b[1]}, {a[0], b[1]}, {a[0], a[1]}};
    hostcall::DoSetRasterOp(window, 9);
    hostcall::DoPolyLine(window, box, 5);
    hostcall::DoSetRasterOp(window, 0);
}

}  // namespace

}  // namespace qf

using namespace qf;

extern "C" {

QF_EXPORT int32_t GraphControlWrapper(PlotData* graph, int32_t controlCommand, const char* xTitle,
                                      const char* yTitle, int32_t frameWidth, int32_t dbLow,
                                      int32_t dbHigh, int32_t tiltAngle, int32_t tiltLength) {
    logPrintf("OP $$enter$$ GraphControlWrapper\n");
    PlotData* p = knownRecord(graph);
    traceRecord(p);
    if (p == nullptr) return 0;
    logPrintf("OP    pData->z1DYAutoScaleYN = %c\n", p->z1DYAutoScaleYN);
    logPrintf("OP    controlCommand         = %d\n", controlCommand);
    const uint32_t kind = kindOf(*p);
    if (controlCommand >= 107 && controlCommand <= 113) {
        const bool ctrl = platform::asyncKeyState(platform::kKeyControl) < 0;
        int32_t command = 0;
        switch (controlCommand) {
            case 107:
                command = ctrl ? gr1dXsCALEiNrESET : gr1dXsCALEiN;
                break;
            case 108:
                command = ctrl ? gr1dXsCALEoUTmAX : gr1dXsCALEoUT;
                break;
            case 109:
                command = gr1dYsCALEiN;
                break;
            case 110:
                command = gr1dYsCALEoUT;
                break;
            case 111:
                command = gr1dYsCALEuP;
                break;
            case 112:
                logPrintf("OP    controlCommand (Z1DOWN)        = %d\n", controlCommand);
                command = gr1dYsCALEdOWN;
                break;
            default:
                logPrintf("OP    controlCommand (z1DYAUTO)      = %d\n", controlCommand);
                command = gr1dYsCALEaUTO;
                break;
        }
        if (kind == GK_TIME || isFrequencyKind(kind)) {
            logPrintf("OP    &&& cmd        = %d\n", command);
            plotGraphCtrl(command, p->grRecPtr);
        }
        const int64_t span = scrollSpan(*p);
        placeThumb(p,
                   span > 0 ? static_cast<int32_t>(int64_t{p->firstPt} * kThumbRange / span) : 0);
    } else if (controlCommand >= 114 && controlCommand <= 133) {
        bool changed = true;
        switch (controlCommand) {
            case 117:
                p->dBHigh = dbHigh;
                break;
            case 118:
                p->dBLow = dbLow;
                break;
            case 121:
                p->frmWdt = std::clamp(frameWidth, 1, 512);
                break;
            case 125:
                copyLabel(p->xLabel, xTitle);
                break;
            case 126:
                copyLabel(p->yLabel, yTitle);
                break;
            case 132:
            case 133:
                if (kind == GK_3D_SPECTROGRAM) {
                    const double a = tiltAngle * kPi / 180;
                    p->tiltX = static_cast<int32_t>(tiltLength * std::cos(a) + 0.5);
                    p->tiltY = static_cast<int32_t>(tiltLength * std::sin(a) + 0.5);
                } else {
                    changed = false;
                }
                break;
            default:
                changed = false;
                break;
        }
        if (changed) hostcall::DoForceRepaint(p->grRecPtr);
    }
    logPrintf("OP $$leave$$ GraphControlWrapper\n");
    return 0;
}

QF_EXPORT int32_t grPanLeftRightWrapper(PlotData* graph, int32_t scrollCode, int32_t thumb) {
    logPrintf("OP $$enter$$ grPanLeftRightWrapper\n");
    PlotData* p = knownRecord(graph);
    logPrintf("OP    pData           = %p\n", static_cast<void*>(p));
    logPrintf("OP    pData->grRecPtr = %p\n", p ? p->grRecPtr : nullptr);
    if (p == nullptr) return 0;
    const uint32_t kind = kindOf(*p);
    const int64_t span = scrollSpan(*p);
    bool acted = true;
    if (scrollCode >= 0 && scrollCode <= 3) {
        plotGraphCtrl(grPANLEFT + scrollCode, p->grRecPtr);
    } else if (scrollCode == 4 ||
               (scrollCode == 5 && kind == GK_TIME && fileChannels(*p) <= 2 && p->ptStep <= 2)) {
        if (isSpectrogramKind(kind) && span <= 0) {
            placeThumb(p, kThumbRange);
            logPrintf("OP $$leave$$ grPanLeftRightWrapper\n");
            return 0;
        }
        int64_t position = std::max<int64_t>(span, 0) * thumb / kThumbRange;
        const int32_t channels = fileChannels(*p);
        if (isMultiChannel(*p) && channels > 2) position -= position % channels;
        graphs().gotoPosition = static_cast<int32_t>(position);
        plotGraphCtrl(grGOTON, p->grRecPtr);
    } else {
        acted = false;
    }
    if (acted && knownRecord(p)) {
        const int64_t after = scrollSpan(*p);
        placeThumb(p, after > 0 ? static_cast<int32_t>(int64_t{p->firstPt} * kThumbRange / after)
                                : kThumbRange);
    }
    logPrintf("OP $$leave$$ grPanLeftRightWrapper\n");
    return 0;
}

QF_EXPORT int32_t grGraphXcursorWrapper(QfWindow window, PlotData* graph, int32_t x, int32_t y,
                                        int32_t event) {
    GraphState& gs = graphs();
    PlotData* p = knownRecord(graph);
    if (p == nullptr) p = findPlotData(window);
    auto hold = [&gs](int32_t by) { gs.holdCount = std::max(gs.holdCount + by, 0); };
    switch (event) {
        case 0:
            hold(1);
            cursorRoutine(window, p, x, y, 3, false);
            break;
        case 1:
            hold(-1);
            cursorRoutine(window, p, x, y, 0, false);
            break;
        case 2:
            cursorRoutine(window, p, x, y, 0, false);
            break;
        case 3:
            cursorRoutine(window, p, x, y, 2, false);
            break;
        case 4:
            hold(1);
            gs.banding = true;
            gs.bandGraph = p;
            gs.bandAnchor[0] = gs.bandLast[0] = x;
            gs.bandAnchor[1] = gs.bandLast[1] = y;
            gs.bandDrawn = false;
            cursorRoutine(window, p, x, y, 3, false);
            break;
        case 5:
            hold(-1);
            if (gs.banding && gs.bandDrawn) drawBand(window, gs.bandAnchor, gs.bandLast);
            gs.banding = false;
            gs.bandDrawn = false;
            cursorRoutine(window, p, x, y, 6, false);
            break;
        case 6:
            if (gs.banding) {
                if (gs.bandDrawn) drawBand(window, gs.bandAnchor, gs.bandLast);
                gs.bandLast[0] = x;
                gs.bandLast[1] = y;
                drawBand(window, gs.bandAnchor, gs.bandLast);
                gs.bandDrawn = true;
            }
            cursorRoutine(window, p, x, y, 4, false);
            break;
        case 8:
            hold(1);
            cursorRoutine(window, p, x, y, 3, true);
            break;
        case 9:
            hold(-1);
            cursorRoutine(window, p, x, y, 0, true);
            break;
        default:  // 7 and unknown events
            break;
    }
    return 0;
}

QF_EXPORT int32_t getGraphData(PlotData* graph, int32_t* autoScale, int32_t* kind,
                               int32_t* frameWidth, int32_t* dbHigh, int32_t* dbLow,
                               int32_t* tiltAngle, int32_t* tiltLength, char* xTitle,
                               char* yTitle) {
    logPrintf("OP $$enter$$ getGraphData\n");
    PlotData* p = knownRecord(graph);
    traceRecord(p);
    int32_t values[7] = {0, 0, 0, 0, 0, 0, 0};
    if (p) {
        values[0] = p->z1DYAutoScaleYN == 'y' ? 1 : 0;
        values[1] = static_cast<int32_t>(kindOf(*p));
        values[2] = p->frmWdt;
        values[3] = p->dBHigh;
        values[4] = p->dBLow;
        int32_t tx = 0, ty = 0;
        bool tilted = false;
        if (kindOf(*p) == GK_3D_SPECTROGRAM) {
            tx = p->tiltX;
            ty = p->tiltY;
            tilted = true;
        } else if (kindOf(*p) == GK_RT_3D) {
            tx = runtime().controlCenter[0];
            ty = runtime().controlCenter[1];
            tilted = true;
        }
        if (tilted) {
            values[5] = ty == 0   ? 0
                        : tx == 0 ? 90
                                  : static_cast<int32_t>(
                                        std::atan(static_cast<double>(ty) / tx) * 180 / kPi + 0.5);
            values[6] = static_cast<int32_t>(
                std::sqrt(double{1.0} * tx * tx + double{1.0} * ty * ty) + 0.5);
        }
    }
    int32_t* out[7] = {autoScale, kind, frameWidth, dbHigh, dbLow, tiltAngle, tiltLength};
    for (int i = 0; i < 7; ++i)
        if (out[i]) *out[i] = values[i];
    // The caller provides at least 48 bytes for each title.
    if (xTitle) std::memcpy(xTitle, p ? p->xLabel : "", p ? sizeof p->xLabel : 1);
    if (yTitle) std::memcpy(yTitle, p ? p->yLabel : "", p ? sizeof p->yLabel : 1);
    logPrintf("OP $$leave$$ getGraphData\n");
    return 0;
}

QF_EXPORT int32_t GetGraphType(PlotData* graph) {
    const PlotData* p = knownRecord(graph);
    return p ? static_cast<int32_t>(kindOf(*p)) : 0;
}

QF_EXPORT int32_t qfSetGraphWindow(PlotData* graph, QfWindow window) {
    PlotData* p = knownRecord(graph);
    if (p == nullptr) return 1;
    p->grRecPtr = window;
    return 0;
}

QF_EXPORT int32_t qfSetGraphRect(PlotData* graph, int32_t top, int32_t left, int32_t bottom,
                                 int32_t right) {
    PlotData* p = knownRecord(graph);
    if (p == nullptr) return 1;
    p->winRect[0] = top;
    p->winRect[1] = left;
    p->winRect[2] = bottom;
    p->winRect[3] = right;
    return 0;
}

QF_EXPORT int32_t qfGraphGoTo(PlotData* graph, int32_t position) {
    PlotData* p = knownRecord(graph);
    if (p == nullptr) return 1;
    graphs().gotoPosition = std::max(position, 0);
    plotGraphCtrl(grGOTON, p->grRecPtr);
    if (knownRecord(p)) updateScrollBar(p);
    return 0;
}

QF_EXPORT int32_t qfSelectChannels(PlotData* graph, uint32_t mask) {
    PlotData* p = knownRecord(graph);
    if (p == nullptr || recordTypeOf(*p) != kRealtimeInt16 || fileChannels(*p) < 2) return 1;
    const int32_t channels = std::min(fileChannels(*p), 32);
    if (channels < 32) mask &= (1u << channels) - 1u;
    int32_t count = 0;
    for (uint32_t m = mask; m; m &= m - 1) ++count;
    if (count > kMaxSubGraphs) {
        emitMsg(QF_MSG_NOTICE, "No more than %d channels may be selected at once.", kMaxSubGraphs);
        return 1;
    }
    if (count < 2) {
        emitText(QF_MSG_NOTICE, "At least two channels must be selected for display.");
        return 1;
    }
    p->noChannels = count;
    p->channelMask = mask;
    plotGraphCtrl(grREFRESH, p->grRecPtr);
    return 0;
}

QF_EXPORT int32_t qfGraphReadout(int32_t field, char* text, int32_t size) {
    const GraphState& gs = graphs();
    const char* value = field == 146 ? gs.readout146 : field == 137 ? gs.readout137 : nullptr;
    if (value == nullptr || text == nullptr || size < 1) return 1;
    std::snprintf(text, static_cast<std::size_t>(size), "%s", value);
    return 0;
}

}  // extern "C"
