// RunOp: one user action, from the command block to the output file and its
// display.
#include <cstring>
#include <initializer_list>

#include "core/engine.h"
#include "core/host.h"
#include "core/log.h"
#include "core/operation.h"
#include "graph/seams.h"
#include "script/recorder.h"
#include "signal/access.h"

using namespace qf;

namespace {

constexpr int32_t kMultiChannelType = 28;  // REALTIMEINT16

// The extension of a name is its part from the last '.' on.
char* extensionOf(char* name) {
    return std::strrchr(name, '.');
}

// Replaces the extension of name (if it has one) by ext.
void replaceExtension(char* name, std::size_t size, const char* ext) {
    char* dot = extensionOf(name);
    if (dot == nullptr) return;
    std::size_t keep = static_cast<std::size_t>(dot - name);
    std::size_t extLen = std::strlen(ext);
    if (keep + extLen + 1 > size) return;
    std::memcpy(dot, ext, extLen + 1);
}

void proposeNames(CommandBlock& b) {
    const int32_t code = b.opCode;
    if (code == QF_OP_FILTER) {
        b.in2 = b.in1;
        std::memcpy(b.in1.n, runtime().lastFilterFile, sizeof b.in1.n);
        return;
    }
    if (code == QF_OP_FFT || code == QF_OP_LPC_TO_FRE || code == QF_OP_LPC_ANALYSIS) {
        std::memcpy(b.out.n, b.in1.n, sizeof b.out.n);
        if (b.out.n[0] != '\0' && extensionOf(b.out.n))
            replaceExtension(b.out.n, sizeof b.out.n, code == QF_OP_LPC_ANALYSIS ? ".lpc" : ".fre");
        return;
    }
    char* ext = extensionOf(b.in1.n);
    if (inList(code, {QF_OP_INVERSE_FFT, QF_OP_FRAME_AVERAGE, QF_OP_DECOMPOSE,
                      QF_OP_SPECTRUM_RECIPROCAL})) {
        if (ext && std::strcmp(ext, ".tim") == 0) replaceExtension(b.in1.n, sizeof b.in1.n, ".fre");
        return;
    }
    if (ext && std::strcmp(ext, ".tim") != 0) replaceExtension(b.in1.n, sizeof b.in1.n, ".tim");
}

// True (and the notice sent) when the input is a multi-channel recording.
bool isMultiChannel(CommandBlock& b, const nameNpath& file) {
    SignalDescriptor& d = blockDescriptor(b, 0);
    d.openMark = 0;
    if (sigOpenRead(d, file, 0) != 0) {
        sigClose(d);
        return false;
    }
    const bool multi = d.recordType == kMultiChannelType && d.param1 >= 2;
    sigClose(d);
    if (multi)
        emitMsg(QF_MSG_NOTICE,
                "'%s' is a multi-channel signal.  Please demultiplex the signal and work with the "
                "component signals.",
                file.n);
    return multi;
}

bool refuseMultiChannelInputs(CommandBlock& b) {
    const int32_t code = b.opCode;
    if (inList(code, {3015, 3025, 3035, 3040, 3050, 3060, 3070, 3090, 3100, 3110, 3120, 3130, 3200,
                      3230, 3240, 3260, 3310, 3320, 4010, 4030, 4040, 4050, 5130, 6050, 6060}))
        return isMultiChannel(b, b.in1);
    if (inList(code, {3010, 3020, 3030, 3220, 3270, 4020, 4025, 5160}))
        return isMultiChannel(b, b.in1) || isMultiChannel(b, b.in2);
    if (code == QF_OP_FILTER) return isMultiChannel(b, b.in2);
    return false;
}

// Shows `file` with display operation `display` unless a graph shows it.
void showResult(CommandBlock& b, int32_t display, const nameNpath& file) {
    if (findPlotDataByName(file) != nullptr) return;
    OperationRecord rec = operationTemplate(display);
    if (lookupOperation(&rec) != 0) return;
    const int32_t saved = b.opCode;
    const nameNpath savedOut = b.out;
    b.opCode = display;
    b.out = file;
    rec.execute(0, &rec);
    b.out = savedOut;
    b.opCode = saved;
}

void followOnDisplays(CommandBlock& b, int32_t code) {
    if (inList(code, {1835, 2010, 2015, 2020, 2030, 2050, 2060, 2090, 2110, 2120, 2130, 2140, 3010,
                      3015, 3020, 3025, 3030, 3035, 3040, 3050, 3060, 3070, 3090, 3100, 3110, 3120,
                      3130, 3200, 3220, 3230, 3240, 3260, 3270, 3280, 3290, 3300, 3310, 3320, 4005,
                      4010, 4020, 4025, 4030, 4040, 5010, 5180, 6050, 6060, 6080, 6120})) {
        showResult(b, QF_OP_WAVEFORM_DISPLAY, b.out);
    } else if (inList(code, {4050, 4080, 5110, 5130, 5140, 5160, 5170})) {
        showResult(b, QF_OP_MAGNITUDE_DISPLAY, b.out);
    } else if (code == QF_OP_IMPORT) {
        showResult(b, paramInt(b, 13024) != 0 ? QF_OP_MAGNITUDE_DISPLAY : QF_OP_WAVEFORM_DISPLAY,
                   b.out);
    } else if (code == QF_OP_DECOMPOSE) {
        showResult(b, QF_OP_WAVEFORM_DISPLAY, b.out);
        b.out = b.in2;
        showResult(b, QF_OP_WAVEFORM_DISPLAY, b.out);
    } else if (code == QF_OP_LMS) {
        const nameNpath saved = b.out;
        showResult(b, QF_OP_WAVEFORM_DISPLAY, b.out);
        b.out = b.out2;
        showResult(b, QF_OP_WAVEFORM_DISPLAY, b.out);
        b.out = b.out3;
        showResult(b, QF_OP_WAVEFORM_DISPLAY, b.out);
        b.out = saved;
    }
    // 6110 (demultiplex) shows each component file; it connects here when
    // the demultiplexer and its output list arrive.
}

}  // namespace

extern "C" {

QF_EXPORT int32_t RunOp(CommandBlock* blockPtr) {
    ensureFallbackLog();
    if (blockPtr == nullptr) return 1;
    runtime().block = blockPtr;
    CommandBlock& b = *blockPtr;

    // Every slot of the table is searched, not only the registered ones.
    OperationRecord* found = nullptr;
    OperationTable& table = operationTable();
    for (OperationRecord& r : table.records) {
        if (r.code == b.opCode) {
            found = &r;
            break;
        }
    }
    if (found == nullptr) return 1;
    OperationRecord record = *found;
    const int32_t code = b.opCode;

    proposeNames(b);

    int32_t result = record.getParams(0, record.checkParams);
    if (result != 0) {
        b.opCode = QF_OP_DONE;
        return result;
    }

    realtimeGuard('y', code);
    recordScriptLine(record);

    if (refuseMultiChannelInputs(b)) {
        b.opCode = QF_OP_DONE;
        return 0;
    }

    result = record.execute(0, &record);
    if (result != 0) {
        b.opCode = QF_OP_DONE;
        return result;
    }

    followOnDisplays(b, code);

    if (code == QF_OP_FILTER) std::memcpy(runtime().lastFilterFile, b.in1.n, QF_NAME_LEN);

    b.in1 = b.out;
    const char* ext = std::strrchr(b.in1.n, '.');
    if (ext && std::strcmp(ext, ".fre") == 0) replaceExtension(b.in1.n, sizeof b.in1.n, ".tim");
    b.out.n[0] = '\0';
    b.opCode = QF_OP_DONE;
    return result;
}

QF_EXPORT int32_t GetInitialValues(char* format, char* overflow) {
    if (format) *format = status().outputFormat;
    if (overflow) *overflow = status().overflowMode;
    return 0;
}

}  // extern "C"
