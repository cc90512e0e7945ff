// Graph records: one PlotData per graph window, the engine-wide list of
// them, the graph commands and the drawing state one pass uses.
//
// The host owns the windows; the engine owns the records, decides what part
// of the signal is in view, computes the points and draws them through the
// host's drawing callbacks.  Drawing coordinates grow to the right and
// upwards from the bottom edge of the window; a point goes to the host as
// window x = x, window y = winRect bottom - y.
#pragma once

#include <cstdint>
#include <memory>

#include "core/engine.h"
#include "quillfen/quillfen.h"
#include "signal/descriptor.h"

// The record the host holds as an opaque PlotData*.
struct PlotData {
    char xLabel[48];        // x-axis title ("Time", "Frequency")
    char yLabel[48];        // y-axis title ("Amplitude", "Magnitude (dB)", ...)
    char z1DYAutoScaleYN;   // 'y' the Y range follows the data, 'n' manual
    char z1DYRoundYN;       // 'y' Y limits and step rounded to nice numbers
    uint32_t isOpen;        // 1 once set up and opened
    uint32_t graphType;     // kind bits (0xFC00) OR record type number
    uint32_t opCode;        // the operation that made the graph
    int32_t noPtsPerPlot;   // points per curve in the current view
    int32_t dBLow, dBHigh;  // spectrogram colour scale (dB)
    int32_t frmWdt;         // 2-D spectrogram frame width in pixels, 1..512
    int32_t tiltX, tiltY;   // 3-D spectrogram per-frame offsets
    int32_t ptStep;         // samples per point (time), zoom divisor (frequency)
    int32_t noChannels;     // channels shown (multi-channel time graphs)
    int32_t firstPt;        // first sample, record or frame in view; -1 before drawing
    int32_t noFrames;       // frames of a frame-spectrum file (spectrograms)
    uint32_t channelMask;   // bit k set: channel k shown
    float fracBottom, fracLeft, fracTop, fracRight;  // the drawing band in the window
    float yMax, yMin;                                // Y range in data units
    float* xBuf;                                     // computed points (x)
    float* yBuf;                                     // computed points (y)
    qf::SignalDescriptor sig;                        // the displayed file, open
    PlotData* next;                                  // next record of the list
    QfWindow grRecPtr;                               // the host's window
    int32_t winRect[4];                              // client rectangle: top, left, bottom, right
    int32_t cacheFirstPt;                            // firstPt minMaxCache holds; -1 invalid
    int32_t plotArea[16][4];   // per channel: x left, x right, y bottom, y top (drawing)
    float* minMaxCache;        // 600 (max, min) pairs of a decimated time view
    float unitScale;           // Hz or seconds to the unit shown on the x axis
    char recKind;              // 'g' graph of a file, 'r' realtime display
    int32_t clipRect[4];       // the plot frame in window coordinates: left, top, right, bottom
    int32_t selStart, selEnd;  // highlighted selection in samples; -1 none
    QfPoint polyPts[1200];     // window points handed to DoPolyLine

    // Kept from the last drawing pass for the cursor and its read-outs.
    char title[QF_PATH_LEN + QF_NAME_LEN];  // the window title
    double xScale, xOffset;                 // axis value to drawing x
    double yScale, yOffset;                 // axis value (log10 on a log axis) to drawing y
    bool yLog;                              // the y axis is logarithmic (decades)
    int32_t labelFormat;                    // number format code of the y labels
    int32_t labelWidth;                     // their width argument
    int32_t xLblLocY;                       // window y of the x labels' line
    int32_t lblHgt;                         // height of a number label (font 1)
    int32_t headingHeight;                  // multi-channel heading line height, T
    int32_t cursorRecord[2];                // records under the two cursors; -1 none
};

namespace qf {

// Graph kinds: bits 10..15 of graphType.
constexpr uint32_t kKindMask = 0xFC00;
enum GraphKind : uint32_t {
    GK_TIME = 0x0000,
    GK_RT_SPECTRUM = 0x0800,
    GK_MAGNITUDE = 0x1000,
    GK_RT_2D = 0x1800,
    GK_PHASE = 0x2000,
    GK_RT_3D = 0x2800,
    GK_POWER = 0x3000,
    GK_2D_SPECTROGRAM = 0x5000,
    GK_3D_SPECTROGRAM = 0x6000,
    GK_SCOPE = 0x7000,
};

inline uint32_t kindOf(const PlotData& p) {
    return p.graphType & kKindMask;
}
inline int32_t recordTypeOf(const PlotData& p) {
    return static_cast<int32_t>(p.graphType & ~kKindMask);
}
inline bool isFrequencyKind(uint32_t k) {
    return k == GK_MAGNITUDE || k == GK_PHASE || k == GK_POWER;
}
inline bool isDecibelKind(uint32_t k) {
    return k == GK_MAGNITUDE || k == GK_POWER;
}
inline bool isSpectrogramKind(uint32_t k) {
    return k == GK_2D_SPECTROGRAM || k == GK_3D_SPECTROGRAM;
}
inline bool isRealtimeKind(uint32_t k) {
    return k == GK_SCOPE || k == GK_RT_SPECTRUM || k == GK_RT_2D || k == GK_RT_3D;
}
// Channels of the displayed file: the channel count of a recording, else 1.
int32_t fileChannels(const PlotData& p);
// A time graph of a recording showing two or more channels.
bool isMultiChannel(const PlotData& p);

// The commands of plotGraphCtrl, plotGraph and grProcessCmd.
enum GraphCommand : int32_t {
    grOPEN = 1,
    grCLOSE = 2,
    grPANLEFT = 3,
    grPANRIGHT = 4,
    grPANLEFTFAST = 5,
    grPANRIGHTFAST = 6,
    grGOTOHEAD = 7,
    grGOTOEND = 8,
    grGOTON = 9,
    grREFRESH = 10,
    grPRINT = 11,
    gr1dXsCALEoUT = 12,
    gr1dXsCALEiN = 13,
    gr1dYsCALEoUT = 14,
    gr1dYsCALEiN = 15,
    gr1dYsCALEuP = 16,
    gr1dYsCALEdOWN = 17,
    gr1dYsCALEaUTO = 18,
    grSCROLLUP = 19,
    grSCROLLDOWN = 20,
    gr1dXsCALEoUTmAX = 21,
    gr1dXsCALEiNrESET = 22,
};
constexpr int kGraphCommandCount = 23;
// Names of the commands 0..22 as trace lines print them.
extern const char* const kGraphCommandNames[kGraphCommandCount];

// What grProcessCmd answers.
constexpr int32_t kDrawNow = 0;
constexpr int32_t kCommandFailed = 1;
constexpr int32_t kNoChange = -1;
constexpr int32_t kRepaint = 9996;
constexpr int32_t kPrintRefused = 9997;
constexpr int32_t kWindowCreated = 9999;

constexpr int kMaxPoints = 1200;     // points of one curve (600 min/max pairs)
constexpr int kViewPoints = 600;     // points at one sample per point
constexpr int kMaxSubGraphs = 16;    // channels a recording's graph shows
constexpr int kGraphBuffer = 16384;  // bytes of a graph's record window

// One item of a drawing pass (titles, axis titles, axes, grids, curves).
enum class ItemType : uint8_t { None = 0, Title = 1, AxisTitle = 2, Axis = 3, Grid = 5, Curve = 6 };
struct PlotItem {
    ItemType type = ItemType::None;
    bool yList = false;  // in the y list (else the main list)
    char text[80] = {};  // title text, curve name (31 characters)
    int32_t pen = 0;
    int32_t font = 0;
    int32_t justify = 0;          // titles: 0, 1, 2, 4, 5 or 6
    bool logarithmic = false;     // axes and grids
    int32_t format = 0;           // axis number format code
    double step = 0.0;            // label step (axes), line step (grids)
    double min = 0.0, max = 0.0;  // axis range
    int32_t axisPen = 0;          // grids: the pen of the line at zero
    bool exponent = false;        // axis: labels in exponential form
    int32_t count = 0;            // curve points
    std::unique_ptr<float[]> xy;  // curve: interleaved (x, y)
};
constexpr int kPlotItemPool = 32;

// The page of one pass, recomputed every time (drawing coordinates).
struct PageLayout {
    int32_t bandLeft = 0, bandLow = 0, bandRight = 0, bandHigh = 0;
    int32_t h0 = 0, w0 = 0, h1 = 0, w1 = 0, h3 = 0, w3 = 0;  // fonts 0, 1 and 3
    int32_t xmin = 0, xmax = 0, frameBottom = 0, frameTop = 0;
    int32_t vertLabel = 0, horizLabel = 0;
    bool verticalFallback = false;  // the frame's height fell back: no x labels
    char gridFlag = 'y';            // 'n': no x grid lines (kinds without curves)
};

// Engine-wide graph state.
struct GraphState {
    PlotData* head = nullptr;   // PlotList
    bool printing = false;      // a pass draws for the host's print
    int32_t gotoPosition = -1;  // where grGOTON goes (set by the scroll thumb)
    int32_t holdCount = 0;      // mouse buttons held in graph windows
    bool banding = false;       // a band is being dragged
    PlotData* bandGraph = nullptr;
    int32_t bandAnchor[2] = {0, 0};
    int32_t bandLast[2] = {0, 0};
    bool bandDrawn = false;
    char readout146[32] = {};  // cursor distance as a frequency
    char readout137[32] = {};  // zoom
    bool readoutOpen = true;   // the read-out panel exists
    PageLayout page;
    PlotItem items[kPlotItemPool];
    int32_t itemsUsed = 0;
    int32_t titleCount = 0, xTitleCount = 0, yTitleCount = 0, axisCount = 0;
    int32_t mainGrids = 0, yGrids = 0;
    static constexpr Lifetime kLifetime = Lifetime::Start;
    // Frees every record (closing its file) at shut-down.
    void release();
};
GraphState& graphs();

// The item pool of a pass: emptied by every layout; an item is reserved
// with 0, or refused with -2 (the pool is full) or 1 (its type has reached
// its limit: 4 title lines, one axis title in each list, 2 axes, one grid
// in each list).
void resetPlotItems();
int32_t reservePlotItem(ItemType type, bool yList, PlotItem** item);

// The list.
PlotData* appendPlotData();
// Unlinks and frees the record of the window: 1 when none has it, else 0.
int32_t removePlotData(QfWindow window);
// Unlinks and frees this record (whatever its window).
void removeRecord(PlotData* p);
PlotData* findPlotData(QfWindow window);
// The record itself when it is in the list, else null (a stale pointer).
PlotData* knownRecord(const PlotData* p);

// Messages, drawing and set-up.
int32_t plotGraph(PlotData* p, int32_t command);
int32_t setupGraph(int32_t message, PlotData* p);
// What plotGraphCtrl does: open, close, pan, zoom, refresh one graph.
int32_t graphCommand(int32_t message, QfWindow window);
int32_t grProcessCmd(PlotData* p, int32_t command);
void updateScrollBar(PlotData* p);
// The view width W of the commands: samples (time, spectrograms) or points.
int32_t viewWidth(const PlotData& p);
// Asks the host to close the window of the graph showing the file: 1 when
// no graph shows it, else 0.
int32_t closeGraphOfFile(const nameNpath& file);
// Prints the active graph (operation 1100).
int32_t prnGOpnCtrl();

// One drawing pass (plotGraph when grProcessCmd answered kDrawNow): 0, or
// 2 layout failed, 3 an item could not be built, or the failure of the
// point computation.
int32_t drawingPass(PlotData* p);

// The cursor routine (modes 0..6); `alternate` moves the second cursor.
void cursorRoutine(QfWindow window, PlotData* p, int32_t x, int32_t y, int32_t mode,
                   bool alternate);

// Drawing helpers shared by the pass and the cursor.
void drawPolyline(PlotData* p, const QfPoint* drawingPts, int32_t n);
int32_t windowY(const PlotData& p, int32_t y);

}  // namespace qf
