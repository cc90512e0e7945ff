// The graph list and the entry every graph message goes through:
// plotGraphCtrl, the preparation of a new record (setupGraph), plotGraph,
// print, close by file and tiling, and the seams the file layer and
// dispatch call (graph/seams.h).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/host.h"
#include "core/log.h"
#include "graph/plot_data.h"
#include "graph/seams.h"
#include "platform/platform.h"
#include "signal/access.h"
#include "signal/format.h"

namespace qf {

const char* const kGraphCommandNames[kGraphCommandCount] = {
    "invalid",       "grOPEN",           "grCLOSE",           "grPANLEFT",      "grPANRIGHT",
    "grPANLEFTFAST", "grPANRIGHTFAST",   "grGOTOHEAD",        "grGOTOEND",      "grGOTON",
    "grREFRESH",     "grPRINT",          "gr1dXsCALEoUT",     "gr1dXsCALEiN",   "gr1dYsCALEoUT",
    "gr1dYsCALEiN",  "gr1dYsCALEuP ",    "gr1dYsCALEdOWN",    "gr1dYsCALEaUTO", "grSCROLLUP",
    "grSCROLLDOWN",  "gr1dXsCALEoUTmAX", "gr1dXsCALEiNrESET",
};

namespace {

void freeBuffers(PlotData* p) {
    delete[] p->xBuf;
    delete[] p->yBuf;
    delete[] p->minMaxCache;
    p->xBuf = p->yBuf = p->minMaxCache = nullptr;
}

void freeRecord(PlotData* p) {
    freeBuffers(p);
    if (p->recKind == 'g') sigClose(p->sig);
    p->grRecPtr = nullptr;
    delete p;
}

// The first value of the file as the initial Y range.
bool firstValue(PlotData* p, uint32_t kind, double& v) {
    SignalDescriptor& d = p->sig;
    v = 0.0;
    if (d.recordCount < 1) return true;
    if (sigAccess(d, 0) != 0) return false;
    if (kind == GK_TIME) {
        v = d.recordType == kReal32 ? *d.at<float>(0) : *d.at<int16_t>(0) / 32768.0;
        return true;
    }
    double re, im;
    if (d.recordType == kCInt32Rect) {
        const int16_t* c = d.at<int16_t>(0);
        re = c[0] / 32768.0;
        im = c[1] / 32768.0;
    } else {
        const double* c = d.at<double>(0);
        re = c[0];
        im = c[1];
    }
    if (kind == GK_MAGNITUDE)
        v = std::sqrt(re * re + im * im);
    else if (kind == GK_POWER)
        v = re * re + im * im;
    else
        v = (re == 0.0 || im == 0.0) ? 0.0 : std::atan2(im, re) / 3.14159265358979323846;
    return true;
}

void setLabels(PlotData* p, const char* x, const char* y) {
    if (x) std::snprintf(p->xLabel, sizeof p->xLabel, "%s", x);
    if (y) std::snprintf(p->yLabel, sizeof p->yLabel, "%s", y);
}

// Steps 3.1-3.5 of the set-up: the file graph's kind, labels and range.
int32_t setupFileGraph(PlotData* p) {
    CommandBlock& b = block();
    p->firstPt = -1;
    p->recKind = 'g';
    p->z1DYAutoScaleYN = p->z1DYRoundYN = 'y';
    StatusRecord& s = status();
    if (s.replotFile.n[0] != '\0') {
        b.out = s.replotFile;
        b.opCode = s.replotOpCode;
        s.replotFile.n[0] = '\0';
    }
    std::memset(&p->sig, 0, sizeof p->sig);
    const int32_t opened = sigOpenRead(p->sig, b.out, kGraphBuffer);
    if (opened != 0) return opened;
    p->opCode = static_cast<uint32_t>(b.opCode);
    const int32_t type = p->sig.recordType;
    if (b.opCode >= QF_OP_MAGNITUDE_DISPLAY && b.opCode <= QF_OP_SPECTROGRAM_3D) {
        uint32_t kind = GK_MAGNITUDE;
        switch (b.opCode) {
            case QF_OP_MAGNITUDE_DISPLAY:
                setLabels(p, "Frequency", "Magnitude (dB)");
                break;
            case QF_OP_PHASE_DISPLAY:
                kind = GK_PHASE;
                setLabels(p, "Frequency", "Phase (pi)");
                break;
            case QF_OP_POWER_DISPLAY:
                kind = GK_POWER;
                setLabels(p, "Frequency", "Power (dB)");
                break;
            case QF_OP_SPECTROGRAM_2D:
                kind = GK_2D_SPECTROGRAM;
                setLabels(p, "Time", "Frequency");
                break;
            case QF_OP_SPECTROGRAM_3D:
                kind = GK_3D_SPECTROGRAM;
                setLabels(p, nullptr, "3-D Spectrogram");
                break;
            default:
                break;
        }
        if (type != kCInt32Rect && type != kCReal128Rect) {
            emitText(QF_MSG_ERROR, "Selected file is not a frequency file.");
            sigClose(p->sig);
            return 1;
        }
        p->graphType = static_cast<uint32_t>(type) | kind;
        double v = 0.0;
        if (!isSpectrogramKind(kind) && !firstValue(p, kind, v)) return 1;
        p->yMax = p->yMin = static_cast<float>(v);
        return 0;
    }
    if (type != kInteger16 && type != kReal32 && type != kRealtimeInt16) {
        emitText(QF_MSG_ERROR, "Selected file is not a time file.");
        sigClose(p->sig);
        return 1;
    }
    p->graphType = static_cast<uint32_t>(type);
    setLabels(p, "Time", "Amplitude");
    double v = 0.0;
    if (!firstValue(p, GK_TIME, v)) return 1;
    p->yMax = p->yMin = static_cast<float>(v);
    if (type == kRealtimeInt16) {
        p->noChannels = std::clamp(p->sig.param1, 1, kMaxSubGraphs);
        p->channelMask = (1u << p->noChannels) - 1u;
    }
    return 0;
}

}  // namespace

GraphState& graphs() {
    return familyState<GraphState>();
}

void GraphState::release() {
    while (head) {
        PlotData* p = head;
        head = p->next;
        freeRecord(p);
    }
    bandGraph = nullptr;
}

int32_t fileChannels(const PlotData& p) {
    return recordTypeOf(p) == kRealtimeInt16 && p.sig.param1 > 1 ? p.sig.param1 : 1;
}

bool isMultiChannel(const PlotData& p) {
    return kindOf(p) == GK_TIME && recordTypeOf(p) == kRealtimeInt16 && p.sig.param1 >= 2;
}

PlotData* appendPlotData() {
    PlotData* p = new (std::nothrow) PlotData;
    if (p == nullptr) return nullptr;
    std::memset(static_cast<void*>(p), 0, sizeof *p);
    p->cacheFirstPt = -1;
    p->cursorRecord[0] = p->cursorRecord[1] = -1;
    GraphState& g = graphs();
    PlotData** at = &g.head;
    while (*at) at = &(*at)->next;
    *at = p;
    return p;
}

void removeRecord(PlotData* p) {
    GraphState& g = graphs();
    for (PlotData** at = &g.head; *at; at = &(*at)->next) {
        if (*at == p) {
            *at = p->next;
            if (g.bandGraph == p) g.bandGraph = nullptr;
            freeRecord(p);
            return;
        }
    }
}

int32_t removePlotData(QfWindow window) {
    PlotData* p = findPlotData(window);
    if (p == nullptr) return 1;
    removeRecord(p);
    return 0;
}

PlotData* findPlotData(QfWindow window) {
    logPrintf("OP $$enter$$ findPlotData( graphRecPtr = %p)\n", window);
    for (PlotData* p = graphs().head; p; p = p->next)
        if (p->grRecPtr == window) return p;
    return nullptr;
}

PlotData* knownRecord(const PlotData* p) {
    if (p == nullptr) return nullptr;
    for (PlotData* q = graphs().head; q; q = q->next)
        if (q == p) return q;
    return nullptr;
}

PlotData* findPlotDataByName(const nameNpath& file) {
    logPrintf("OP $$enter$$ findPlotDataByName\n");
    logPrintf("OP           nameNpath->p = %.*s\n", static_cast<int>(sizeof file.p), file.p);
    logPrintf("OP           nameNpath->n = %.*s\n", static_cast<int>(sizeof file.n), file.n);
    for (PlotData* p = graphs().head; p; p = p->next)
        if (p->recKind == 'g' && std::strncmp(p->sig.file.n, file.n, sizeof file.n) == 0 &&
            std::strncmp(p->sig.file.p, file.p, sizeof file.p) == 0)
            return p;
    return nullptr;
}

int32_t setupGraph(int32_t message, PlotData* p) {
    p->xBuf = p->yBuf = nullptr;
    if (p->isOpen) return 1;
    p->recKind = 'r';
    p->noChannels = 1;
    p->selStart = p->selEnd = -1;
    const CommandBlock& b = block();
    switch (message) {
        case QF_OP_RT_SPECTRUM:
        case QF_OP_RT_2D:
        case QF_OP_RT_3D:
            p->opCode = static_cast<uint32_t>(b.opCode);
            p->graphType = message == QF_OP_RT_SPECTRUM ? GK_RT_SPECTRUM
                           : message == QF_OP_RT_2D     ? GK_RT_2D
                                                        : GK_RT_3D;
            break;
        case QF_OP_OSCILLOSCOPE:
            p->opCode = static_cast<uint32_t>(b.opCode);
            p->graphType = GK_SCOPE;
            break;
        case grOPEN: {
            const int32_t r = setupFileGraph(p);
            if (r != 0) return r;
            break;
        }
        default:
            return 1;
    }

    p->fracLeft = 0.0f;
    p->fracBottom = 1.0f;
    p->fracTop = 0.0f;
    p->fracRight = 1.0f;
    p->ptStep = 1;
    const uint32_t kind = kindOf(*p);
    bool buffers = false;
    if (kind == GK_TIME) {
        const int32_t records = p->sig.recordCount / fileChannels(*p);
        p->noPtsPerPlot = std::min(records, kViewPoints);
        buffers = true;
    } else if (isFrequencyKind(kind)) {
        const int32_t n = p->sig.param1 > 1 ? p->sig.param1 : 2;
        p->noPtsPerPlot = std::min(n / 2 + 1, kViewPoints);
        buffers = true;
    } else if (isSpectrogramKind(kind)) {
        p->fracRight = kind == GK_2D_SPECTROGRAM ? 0.92f : 0.88f;
        p->noPtsPerPlot = -1;
        p->dBLow = -40;
        p->dBHigh = 40;
        const EngineRuntime& rt = runtime();
        p->frmWdt = rt.controlCenter[2];
        p->tiltX = rt.controlCenter[0];
        p->tiltY = rt.controlCenter[1];
        p->noFrames = p->sig.param1 > 0 ? p->sig.recordCount / p->sig.param1 : 0;
        if (p->noFrames < 2) {
            emitText(QF_MSG_NOTICE,
                     "2-D and 3-D displays require at least two FFT frames in the signal file.");
            sigClose(p->sig);
            return 1;
        }
    } else {
        p->fracRight = (kind == GK_RT_2D || kind == GK_RT_3D) ? 0.92f : 1.0f;
        p->noPtsPerPlot = status().rtBoardBufferLength;
    }
    if (buffers) {
        // Room for the largest view a zoom can ask for (1200 points).
        p->xBuf = new (std::nothrow) float[kMaxPoints];
        p->yBuf = new (std::nothrow) float[kMaxPoints];
        if (!p->xBuf || !p->yBuf) {
            freeBuffers(p);
            sigClose(p->sig);
            return 1;
        }
    }
    if (plotGraph(p, grOPEN) == 0 && p->grRecPtr != nullptr) {
        p->isOpen = 1;
        return 0;
    }
    // The host made no window for the graph: nothing can ever close it.
    freeBuffers(p);
    if (p->recKind == 'g') sigClose(p->sig);
    return 1;
}

int32_t plotGraph(PlotData* p, int32_t command) {
    logPrintf("OP $$enter$$ plotGraph( pData = %p, command = %d)\n", static_cast<void*>(p),
              command);
    const int32_t r = grProcessCmd(p, command);
    int32_t result = 0;
    if (r == kDrawNow) {
        result = drawingPass(p);
    } else if (r == kRepaint) {
        hostcall::DoForceRepaint(p->grRecPtr);
    }
    logPrintf("OP $$leave$$ plotGraph\n");
    return result;
}

int32_t prnGOpnCtrl() {
    logPrintf("OP $$enter$$ prnGOpnCtrl\n");
    QfWindow top = nullptr;
    if (host().DoGetActiveMDIWindow)
        top = reinterpret_cast<QfWindow>(static_cast<intptr_t>(hostcall::DoGetActiveMDIWindow()));
    plotGraphCtrl(grPRINT, top);
    logPrintf("OP $$leave$$ prnGOpnCtrl(TopWindow = %p)\n", top);
    return 0;
}

int32_t closeGraphOfFile(const nameNpath& file) {
    PlotData* p = findPlotDataByName(file);
    if (p == nullptr) return 1;
    dropGraphWindow(p);
    return 0;
}

// --- the seams of the file layer and dispatch --------------------------------

int32_t graphOpCode(const PlotData* graph) {
    return graph ? static_cast<int32_t>(graph->opCode) : 0;
}

QfWindow graphWindow(const PlotData* graph) {
    return graph ? graph->grRecPtr : nullptr;
}

void dropGraphWindow(PlotData* graph) {
    if (knownRecord(graph) == nullptr) return;
    QfWindow window = graph->grRecPtr;
    if (window) hostcall::DoCloseGraphWindow(window);
    // A host that closes its window later sends grCLOSE then, and finds no
    // record: the graph is closed here so its file is free now.
    if (PlotData* still = knownRecord(graph)) {
        plotGraph(still, grCLOSE);
        removeRecord(still);
    }
}

void replotNotedGraph() {
    StatusRecord& s = status();
    if (s.replotFile.n[0] == '\0') {
        s.replotOpCode = 0;
        return;
    }
    // The set-up takes the noted file and code through the command block;
    // the operation that replaced the file keeps its own.
    CommandBlock& b = block();
    const int32_t code = b.opCode;
    const nameNpath out = b.out;
    plotGraphCtrl(grOPEN, nullptr);
    b.opCode = code;
    b.out = out;
    s.replotOpCode = 0;
    s.replotFile.n[0] = '\0';
}

bool anyGraphOpen() {
    return graphs().head != nullptr;
}

void tileGraphWindows() {
    const platform::WindowManager& wm = platform::windowManager();
    int32_t shown = 0;
    for (PlotData* p = graphs().head; p && shown < 4; p = p->next)
        if (p->grRecPtr && !(wm.isMinimised && wm.isMinimised(p->grRecPtr))) ++shown;
    if (shown == 2 || shown == 3) {
        int32_t width = 0, height = 0;
        if (!wm.clientArea || wm.clientArea(&width, &height) != 0 || !wm.move) return;
        if (wm.arrangeIconic && wm.arrangeIconic() != 0)
            height -= static_cast<int32_t>(2.5 * (wm.iconHeight ? wm.iconHeight() : 0));
        const int32_t share = height / shown;
        int32_t k = 0;
        for (PlotData* p = graphs().head; p && k < shown; p = p->next) {
            if (!p->grRecPtr || (wm.isMinimised && wm.isMinimised(p->grRecPtr))) continue;
            wm.move(p->grRecPtr, 0, k * share, width, share);
            ++k;
        }
        if (wm.invalidateClient) wm.invalidateClient();
    } else if (wm.tile) {
        wm.tile();
    }
}

}  // namespace qf

extern "C" {

QF_EXPORT int32_t plotGraphCtrl(int32_t message, QfWindow window) {
    // A graph that finds no memory says so; nothing leaves the library.
    return qf::guardedEntry(0, [&] { return qf::graphCommand(message, window); });
}

}  // extern "C"

namespace qf {

int32_t graphCommand(int32_t message, QfWindow window) {
    if (message >= 0 && message < kGraphCommandCount)
        logPrintf("OP $$enter$$ plotGraphCtrl(message = %d %s, graphRecPtr = %p), \n", message,
                  kGraphCommandNames[message], window);
    else
        logPrintf("OP $$enter$$ plotGraphCtrl(message = %d, graphRecPtr = %p), \n", message,
                  window);
    if (message == grOPEN || message == QF_OP_OSCILLOSCOPE || message == QF_OP_RT_SPECTRUM ||
        message == QF_OP_RT_2D || message == QF_OP_RT_3D) {
        PlotData* p = appendPlotData();
        if (p == nullptr) {
            emitText(QF_MSG_ERROR, kOutOfMemoryText);
        } else {
            int32_t set = 1;
            try {
                set = setupGraph(message, p);
            } catch (...) {
                p->isOpen = 0;
                removeRecord(p);  // no half-made graph stays in the list
                throw;
            }
            if (set != 0 && (p->recKind == 'g' || !p->grRecPtr)) {
                p->isOpen = 0;
                removeRecord(p);
            }
        }
    } else if (PlotData* p = findPlotData(window)) {
        if (message == grCLOSE) {
            plotGraph(p, grCLOSE);
            p->isOpen = 0;
            removeRecord(p);
        } else if (message >= grPANLEFT && message <= gr1dXsCALEiNrESET) {
            plotGraph(p, message);
        }
    }
    logPrintf("OP $$leave$$ plotGraphCtrl(message = %d, graphRecPtr = %p), \n", message, window);
    return 0;
}

}  // namespace qf
