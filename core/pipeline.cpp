#include "core/pipeline.h"

#include <algorithm>
#include <cstring>

#include "core/engine.h"
#include "core/host.h"
#include "platform/platform.h"

namespace qf {

namespace {

constexpr int32_t kSignalKinds = QF_FILE_TIME | QF_FILE_FRAMES | QF_FILE_LPC;

// A list's files are opened by the operation itself.
bool isSignalFile(const QfFileInfo& f, int32_t flag) {
    return (f.flags & flag) != 0 && (f.kinds & kSignalKinds) != 0 && (f.flags & QF_FILE_LIST) == 0;
}

// Kernels walk their files from start to end: windows of at least
// kSequentialWindowBytes move seldom, and outputs are written behind.
int32_t windowBytes(int32_t described) {
    return std::max(described, kSequentialWindowBytes);
}

// Holds the files of one run: whatever is still open when the run ends
// (an error, a refusal) is closed, and outputs are removed.
class RunFiles {
  public:
    explicit RunFiles(Run& run) : run_(run) {
        for (int k = 0; k < QF_DESCRIPTOR_COUNT; ++k) run.slot(k).openMark = 0;
        status().busy = 'y';
        runtime().description[0] = '\0';
        previous_ = engine().run;
        engine().run = &run;
    }
    ~RunFiles() {
        for (const QfFileInfo& f : run_.description.files)
            if (isSignalFile(f, QF_FILE_OUTPUT)) sigDiscard(run_.slot(f.entry));
        for (int k = 0; k < QF_DESCRIPTOR_COUNT; ++k) sigClose(run_.slot(k));
        status().busy = 'n';
        engine().run = previous_;
    }
    RunFiles(const RunFiles&) = delete;
    RunFiles& operator=(const RunFiles&) = delete;

    int32_t openInputs() {
        const int32_t bytes = windowBytes(run_.description.pipeline.inputBuffer);
        for (const QfFileInfo& f : run_.description.files) {
            if (!isSignalFile(f, QF_FILE_INPUT)) continue;
            const auto reads = run_.description.pipeline.reads;
            if (reads && !reads(run_.block, f.entry)) continue;
            const int32_t r = sigOpenRead(run_.slot(f.entry), entryOf(run_.block, f.entry), bytes);
            if (r != 0) return r;
        }
        return 0;
    }

    // Output descriptors start empty; prepareOutput fills their headers.
    void clearOutputs() {
        for (const QfFileInfo& f : run_.description.files)
            if (isSignalFile(f, QF_FILE_OUTPUT))
                std::memset(&run_.slot(f.entry), 0, sizeof(SignalDescriptor));
    }

    int32_t openOutputs() {
        for (const QfFileInfo& f : run_.description.files) {
            if (!isSignalFile(f, QF_FILE_OUTPUT)) continue;
            SignalDescriptor& d = run_.slot(f.entry);
            // prepareOutput may choose the file format and the window size.
            const char format = d.format != 0 ? d.format : status().outputFormat;
            const int32_t bytes = d.bufferBytes > 0
                                      ? d.bufferBytes
                                      : windowBytes(run_.description.pipeline.outputBuffer);
            const int32_t r = sigOpenWrite(d, entryOf(run_.block, f.entry), d.recordType,
                                           d.recordCount, format, bytes);
            if (r != 0) return r;
        }
        return 0;
    }

    // Closes the inputs, then every output, each renamed over its target
    // (an in-place run replaces a file no longer open).  With several
    // outputs, each one's last window is written first: one that cannot be
    // completed (a full disk) then leaves every target as it was.
    int32_t commit() {
        for (const QfFileInfo& f : run_.description.files)
            if (isSignalFile(f, QF_FILE_INPUT)) sigClose(run_.slot(f.entry));
        int outputs = 0;
        for (const QfFileInfo& f : run_.description.files)
            if (isSignalFile(f, QF_FILE_OUTPUT)) ++outputs;
        for (const QfFileInfo& f : run_.description.files) {
            SignalDescriptor& d = run_.slot(f.entry);
            if (outputs > 1 && isSignalFile(f, QF_FILE_OUTPUT) && d.isOpen() && d.buffer &&
                sigWriteWindow(d, -1) != 0)
                return 1;  // the outputs are removed as the run ends
        }
        int32_t result = 0;
        for (const QfFileInfo& f : run_.description.files) {
            if (!isSignalFile(f, QF_FILE_OUTPUT)) continue;
            SignalDescriptor& d = run_.slot(f.entry);
            if (result == 0)
                result = sigClose(d);
            else
                sigDiscard(d);
        }
        return result;
    }

  private:
    Run& run_;
    Run* previous_ = nullptr;
};

}  // namespace

Run* currentRun() {
    return engine().run;
}

bool userStopped() {
    if (platform::asyncKeyState(platform::kKeyEscape) >= 0) return false;
    engine().hostFacing.cancelled = true;
    return true;
}

int32_t pipelineExecute(int32_t mode, OperationRecord* record) {
    CommandBlock& b = block();
    const OperationDescription* d = describe(record ? record->code : b.opCode);
    if (record == nullptr || d == nullptr) return 1;
    Run run{b, *d, *record, mode, ComputeArgs{}};
    RunFiles files(run);
    run.args.input = &run.slot(QF_ENTRY_IN1);
    run.args.output = &run.slot(QF_ENTRY_OUT);

    int32_t result = files.openInputs();
    if (result != 0) return result;
    files.clearOutputs();
    if ((result = record->prepareOutput(mode)) != 0) return result;
    if ((result = files.openOutputs()) != 0) return result;

    result = d->pipeline.walk ? d->pipeline.walk(run, *record) : record->compute(mode, &run.args);
    const int32_t released = record->release(mode);
    if (result == 0) result = released;
    if (result != 0) return result;  // the outputs are removed as the run ends

    if ((result = files.commit()) != 0) return result;
    if (runtime().description[0] != '\0') emitText(QF_MSG_DESCRIPTION, runtime().description);
    return 0;
}

}  // namespace qf
