// The display operations that open file graphs (4060 waveform, 5040
// magnitude, 5070 phase, 5080 power) and printing the active graph (1100).
// The displays share one set of handlers: a file picker for entry C (out),
// a check of the file's record type, and an execute that opens a graph
// unless one of the same kind already shows the file.
#include <utility>

#include "core/engine.h"
#include "core/host.h"
#include "graph/plot_data.h"
#include "graph/seams.h"
#include "platform/fs.h"
#include "script/lines.h"
#include "signal/access.h"
#include "signal/format.h"

namespace qf {

namespace {

bool isTimeDisplay(int32_t code) {
    return code == QF_OP_WAVEFORM_DISPLAY;
}

// The graph kind a display operation opens.
uint32_t kindFor(int32_t code) {
    switch (code) {
        case QF_OP_MAGNITUDE_DISPLAY:
            return GK_MAGNITUDE;
        case QF_OP_PHASE_DISPLAY:
            return GK_PHASE;
        case QF_OP_POWER_DISPLAY:
            return GK_POWER;
        case QF_OP_SPECTROGRAM_2D:
            return GK_2D_SPECTROGRAM;
        case QF_OP_SPECTROGRAM_3D:
            return GK_3D_SPECTROGRAM;
        default:
            return GK_TIME;
    }
}

int32_t displayGetParams(int32_t, CheckParamsFn) {
    if (!host().stdGet123Files) return 1;
    const bool time = isTimeDisplay(block().opCode);
    return hostcall::stdGet123Files("Plotting one graph", time ? ".tim" : ".fre", "Graph", nullptr,
                                    nullptr, nullptr, nullptr, 114);
}

// 0 valid; 1 the file does not open; 2 a time file for a spectrum display;
// 3 a frame-spectrum file for the waveform display; 4 any other type.
int32_t displayCheck(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& d = blockDescriptor(b, 2);
    d.openMark = 0;
    if (sigOpenRead(d, b.out, 0) != 0) {
        sigClose(d);
        return 1;
    }
    const int32_t type = d.recordType;
    sigClose(d);
    const bool time = isTimeDisplay(b.opCode);
    if (type == kInteger16 || type == kReal32 || type == kRealtimeInt16) return time ? 0 : 2;
    if (type == kCInt32Rect || type == kCReal128Rect) return time ? 3 : 0;
    return 4;
}

int32_t displayExecute(int32_t, OperationRecord* record) {
    CommandBlock& b = block();
    const int32_t code = record ? record->code : b.opCode;
    if (PlotData* shown = findPlotDataByName(b.out)) {
        if (isTimeDisplay(code) || kindOf(*shown) == kindFor(code)) return 0;
        dropGraphWindow(shown);
    }
    b.opCode = code;
    plotGraphCtrl(grOPEN, nullptr);
    return 0;
}

int32_t printExecute(int32_t, OperationRecord*) {
    return prnGOpnCtrl();
}

// "1100 PrintGraph" and its blanks: the line has no fields.
int32_t printWriteScriptLine(int32_t, std::FILE* f) {
    const OperationDescription* d = describe(QF_OP_PRINT_GRAPH);
    if (d == nullptr || f == nullptr) return 1;
    const std::string line = scriptLinePrefix(*d) + "\r\n";
    return platform::writeText(f, line) ? 0 : 1;
}

void display(int32_t code, const char* scriptName, const char* help) {
    const bool time = isTimeDisplay(code);
    OperationDescription d = describedOperation(code, scriptName, nullptr, help);
    d.files = {inputFile(QF_ENTRY_OUT, time ? QF_FILE_TIME : QF_FILE_FRAMES, time ? ".tim" : ".fre",
                         "Graph", 0, false)};
    d.dialog = {.kind = DialogKind::Files, .title = "Plotting one graph", .mode = 114};
    d.script = {{Field::Out}};
    d.proposal = time ? Proposal::TimeInput : Proposal::FrameInput;
    d.handlers.getParams = displayGetParams;
    d.handlers.checkParams = displayCheck;
    d.handlers.execute = displayExecute;
    registerDescribed(std::move(d));
}

}  // namespace

void registerGraphOperations() {
    display(QF_OP_WAVEFORM_DISPLAY, "WaveformDisplay   ", "show a time signal as a waveform");
    display(QF_OP_MAGNITUDE_DISPLAY, "MagnitudeDisplay  ", "show the magnitude of frame spectra");
    display(QF_OP_PHASE_DISPLAY, "PhaseDisplay      ", "show the phase of frame spectra");
    display(QF_OP_POWER_DISPLAY, "PowerDisplay      ", "show the power of frame spectra");

    OperationDescription print = describedOperation(QF_OP_PRINT_GRAPH, "PrintGraph        ",
                                                    nullptr, "print the active graph");
    print.dialog = {.kind = DialogKind::Nothing};
    print.flags = kNeedsGraph;
    print.handlers.execute = printExecute;
    print.handlers.writeScriptLine = printWriteScriptLine;
    registerDescribed(std::move(print));
}

}  // namespace qf
