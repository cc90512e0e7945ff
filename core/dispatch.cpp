// RunOp and the dispatch routine it shares with script replay: one user
// action, from the command block to the output file and its display.
#include "core/dispatch.h"

#include <cstring>
#include <string>

#include "core/engine.h"
#include "core/host.h"
#include "core/log.h"
#include "graph/seams.h"
#include "script/recorder.h"
#include "script/script_text.h"
#include "signal/access.h"
#include "signal/format.h"

using namespace qf;

namespace {

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

void proposeNames(CommandBlock& b, Proposal proposal) {
    b.in1.n[sizeof b.in1.n - 1] = '\0';
    switch (proposal) {
        case Proposal::Filter:
            b.in2 = b.in1;
            std::memcpy(b.in1.n, runtime().lastFilterFile, sizeof b.in1.n);
            return;
        case Proposal::SpectrumOutput:
        case Proposal::CoefficientOutput:
            std::memcpy(b.out.n, b.in1.n, sizeof b.out.n);
            if (b.out.n[0] != '\0' && extensionOf(b.out.n))
                replaceExtension(b.out.n, sizeof b.out.n,
                                 proposal == Proposal::CoefficientOutput ? ".lpc" : ".fre");
            return;
        case Proposal::FrameInput: {
            const char* ext = extensionOf(b.in1.n);
            if (ext && std::strcmp(ext, ".tim") == 0)
                replaceExtension(b.in1.n, sizeof b.in1.n, ".fre");
            return;
        }
        case Proposal::TimeInput: {
            const char* ext = extensionOf(b.in1.n);
            if (ext && std::strcmp(ext, ".tim") != 0)
                replaceExtension(b.in1.n, sizeof b.in1.n, ".tim");
            return;
        }
    }
}

const nameNpath& entryOf(const CommandBlock& b, int32_t entry) {
    switch (entry) {
        case QF_ENTRY_IN1:
            return b.in1;
        case QF_ENTRY_IN2:
            return b.in2;
        case QF_ENTRY_OUT2:
            return b.out2;
        case QF_ENTRY_OUT3:
            return b.out3;
        default:
            return b.out;
    }
}

// True (and the notice sent) when the input is a multi-channel recording.
// An input that does not open does not count: the operation reports it,
// so the probe itself stays quiet.
bool isMultiChannel(CommandBlock& b, const nameNpath& file) {
    SignalDescriptor& d = blockDescriptor(b, 0);
    d.openMark = 0;
    const int32_t opened = [&] {
        const MutedMessages quiet;
        return sigOpenRead(d, file, 0);
    }();
    if (opened != 0) {
        sigClose(d);
        return false;
    }
    const bool multi = d.recordType == kRealtimeInt16 && d.param1 >= 2;
    sigClose(d);
    if (multi)
        emitMsg(QF_MSG_NOTICE,
                "'%s' is a multi-channel signal.  Please demultiplex the signal and work with the "
                "component signals.",
                file.n);
    return multi;
}

bool refusesRecording(CommandBlock& b, const OperationDescription& d) {
    for (const QfFileInfo& f : d.files)
        if ((f.flags & QF_FILE_INPUT) && (f.flags & QF_FILE_SINGLE_CHANNEL) &&
            isMultiChannel(b, entryOf(b, f.entry)))
            return true;
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

void followOnDisplays(CommandBlock& b, const OperationDescription& d) {
    int32_t display = 0;
    switch (d.show) {
        case Show::Nothing:
            return;
        case Show::Waveform:
            display = QF_OP_WAVEFORM_DISPLAY;
            break;
        case Show::Magnitude:
            display = QF_OP_MAGNITUDE_DISPLAY;
            break;
        case Show::ByComplexFlag:
            display = paramInt(b, 13024) != 0 ? QF_OP_MAGNITUDE_DISPLAY : QF_OP_WAVEFORM_DISPLAY;
            break;
        case Show::Components: {
            // The files the operation lists, their count at P 13008.
            const nameNpath* list = d.listed ? d.listed() : nullptr;
            const int32_t n = list ? paramInt(b, QF_PARAM_OFFSET) : 0;
            const nameNpath savedOut = b.out;
            for (int32_t i = 0; i < n && i < QF_FILE_LIST_MAX; ++i) {
                b.out = list[i];
                showResult(b, QF_OP_WAVEFORM_DISPLAY, b.out);
            }
            if (!d.keepShownOut) b.out = savedOut;
            return;
        }
    }
    const nameNpath savedOut = b.out;
    const struct {
        ShownEntry bit;
        const nameNpath* entry;
    } order[] = {
        {kShowOut, &b.out}, {kShowIn2, &b.in2}, {kShowOut2, &b.out2}, {kShowOut3, &b.out3}};
    for (const auto& o : order) {
        if ((d.shown & o.bit) == 0) continue;
        const nameNpath file = *o.entry;
        b.out = file;
        showResult(b, display, b.out);
    }
    if (!d.keepShownOut) b.out = savedOut;
}

// The outcome a host is told: a run the user stopped is interrupted,
// whichever step it stopped in.
int32_t runOutcome(Outcome o, bool userStopped) {
    if (o == Outcome::Done) return QF_RUN_DONE;
    if (userStopped || o == Outcome::Stopped) return QF_RUN_INTERRUPTED;
    switch (o) {
        case Outcome::Cancelled:
            return QF_RUN_CANCELLED;
        case Outcome::Refused:
            return QF_RUN_REFUSED;
        default:
            return QF_RUN_FAILED;
    }
}

void closesRealtime(const OperationDescription& d) {
    if (d.realtime == Realtime::Close ||
        (d.realtime == Realtime::CloseWhenAccelerated && board().acceleratorOn != 0))
        realtimeGuard('y', d.code);
}

}  // namespace

namespace qf {

Dispatched dispatchOperation(CommandBlock& b, OperationRecord record, const SourcePolicy& p,
                             const char* line) {
    static const OperationDescription kBare{};
    const OperationDescription* found = describe(record.code);
    const OperationDescription& d = found ? *found : kBare;

    if (p.proposeNames) proposeNames(b, d.proposal);

    if (p.dialog) {
        const int32_t r = record.getParams(0, record.checkParams);
        if (r != 0) return {Outcome::Cancelled, r};
    } else {
        const int32_t r = record.readScriptLine(0, line ? line : "", record.checkParams);
        if (r == kScriptLineStopped) return {Outcome::Stopped, 1};
        if (r == 1) return {Outcome::Malformed, 1};
        if (r != 0) return {Outcome::BadParams, r};
    }

    if (p.realtimeGuard) closesRealtime(d);
    // A host may ask that only operations that ran are recorded: the line
    // is then made now, with the parameters as settled, and kept until the
    // operation has run.
    std::string heldLine;
    if (p.record) {
        if (engine().hostFacing.recordDoneOnly)
            heldLine = scriptLineOf(record);
        else
            recordScriptLine(record);
    }
    if (refusesRecording(b, d)) return {Outcome::Refused, 0};

    const int32_t r = record.execute(0, &record);
    if (r != 0) return {Outcome::Failed, r};
    if (!heldLine.empty()) recordScriptText(heldLine);

    if (p.followOn) followOnDisplays(b, d);
    if (p.nextInput) {
        if (d.proposal == Proposal::Filter)
            std::memcpy(runtime().lastFilterFile, b.in1.n, QF_NAME_LEN);
        b.in1 = b.out;
        b.in1.n[sizeof b.in1.n - 1] = '\0';
        const char* ext = std::strrchr(b.in1.n, '.');
        if (ext && std::strcmp(ext, ".fre") == 0) replaceExtension(b.in1.n, sizeof b.in1.n, ".tim");
        b.out.n[0] = '\0';
    }
    return {Outcome::Done, 0};
}

}  // namespace qf

extern "C" {

QF_EXPORT int32_t RunOp(CommandBlock* blockPtr) {
    ensureFallbackLog();
    if (blockPtr == nullptr) return 1;
    runtime().block = blockPtr;
    CommandBlock& b = *blockPtr;

    // Every slot of the table is searched, the unused ones (code -9999) too.
    const OperationTable& table = operationTable();
    const OperationRecord* found = nullptr;
    for (const OperationRecord& r : table.records) {
        if (r.code == b.opCode) {
            found = &r;
            break;
        }
    }
    HostFacing& facing = engine().hostFacing;
    facing.state = QfRunState{b.opCode, QF_RUN_BUSY, 0, 0, nullptr};
    facing.cancelled = false;
    if (found == nullptr) {
        facing.state.outcome = QF_RUN_UNKNOWN_CODE;
        facing.state.result = 1;
        return 1;
    }
    // An exception (a container that found no memory) ends the run like a
    // failure: the run's files are removed as it passes, and it is said.
    const Dispatched done = guardedEntry(Dispatched{Outcome::Failed, 1},
                                         [&] { return dispatchOperation(b, *found, kFromDialog); });
    b.opCode = QF_OP_DONE;
    facing.state.result = done.result;
    facing.state.outcome = runOutcome(done.outcome, facing.cancelled);
    return done.result;
}

QF_EXPORT const QfRunState* qfRunState(void) {
    return &engine().hostFacing.state;
}

QF_EXPORT int32_t qfSetHostOption(int32_t option, int32_t value) {
    HostFacing& facing = engine().hostFacing;
    bool* flag = option == QF_OPTION_RECORD_DONE_ONLY ? &facing.recordDoneOnly
                 : option == QF_OPTION_RECORD_APPEND  ? &facing.recordAppend
                                                      : nullptr;
    if (flag == nullptr) return -1;
    const int32_t previous = *flag ? 1 : 0;
    *flag = value != 0;
    return previous;
}

QF_EXPORT int32_t GetInitialValues(char* format, char* overflow) {
    if (format) *format = status().outputFormat;
    if (overflow) *overflow = status().overflowMode;
    return 0;
}

}  // extern "C"
