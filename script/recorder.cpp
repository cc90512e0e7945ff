// The script recorder and its operations 1160-1240.
#include "script/recorder.h"

#include <cstdlib>
#include <cstring>

#include "core/dialog.h"
#include "core/engine.h"
#include "core/host.h"
#include "platform/fs.h"
#include "script/script_text.h"
#include "signal/access.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

RecorderState& rec() {
    return engine().recorder;
}

void stopWithError() {
    platform::closeFile(rec().stream);
    rec().stream = nullptr;
    status().scriptRecording = 'n';
    emitMsg(QF_MSG_NOTICE, "Error recording script to '%s'.  Stop recording.", rec().name);
}

bool recording() {
    return status().scriptRecording == 'y';
}

int32_t startGetParams(int32_t mode, CheckParamsFn check) {
    if (recording()) return 1;
    return askParams(mode, check);
}

int32_t startExecute(int32_t, OperationRecord*) {
    if (status().scriptRecording != 'n') return 1;
    CommandBlock& b = block();
    std::string path = std::string(b.out.p) + b.out.n;
    // A host may ask to add to an existing script.
    std::FILE* f = platform::openFile(path.c_str(), engine().hostFacing.recordAppend ? "ab" : "wb");
    if (f == nullptr) return 2;
    rec().stream = f;
    std::memset(rec().name, 0, sizeof rec().name);
    std::strncpy(rec().name, path.c_str(), sizeof rec().name - 1);
    status().scriptRecording = 'y';
    return 0;
}

int32_t stopExecute(int32_t, OperationRecord*) {
    if (!recording()) return 1;
    status().scriptRecording = 'n';
    platform::closeFile(rec().stream);
    rec().stream = nullptr;
    return 0;
}

// Asks the user for a line of text; false when cancelled.
bool askLine(const char* prompt, char* buffer) {
    buffer[0] = '\0';
    if (!host().scrEntryBox) return false;
    if (hostcall::scrEntryBox(prompt, buffer) != 0) return false;
    buffer[kScriptLineMax] = '\0';
    return true;
}

bool writeRecorded(const std::string& line) {
    if (!rec().stream) return false;
    const bool written = platform::writeText(rec().stream, line);
    if (!platform::flushFile(rec().stream) || !written || platform::fileFailed(rec().stream)) {
        stopWithError();
        return false;
    }
    return true;
}

int32_t pauseExecute(int32_t, OperationRecord*) {
    if (!recording()) return 1;
    char answer[kScriptLineMax + 1];
    if (!askLine("Please enter the number of seconds to pause\n during script execution:", answer))
        return 1;
    // An answer that is not a whole number pauses for 0 seconds.
    long seconds = std::strtol(answer, nullptr, 10);
    if (seconds > INT32_MAX) seconds = INT32_MAX;
    if (seconds < INT32_MIN) seconds = INT32_MIN;
    writeRecorded(fmtString("@ %d\r\n", static_cast<int>(seconds)));
    return 0;
}

int32_t messageExecute(int32_t, OperationRecord*) {
    if (!recording()) return 1;
    char answer[kScriptLineMax + 1];
    if (!askLine("During script execution display the following \nmessage and wait for user "
                 "response:",
                 answer))
        return 1;
    writeRecorded(fmtString("?%s\r\n", answer));
    return 0;
}

int32_t remarkExecute(int32_t, OperationRecord*) {
    if (!recording()) return 1;
    char answer[kScriptLineMax + 1];
    if (!askLine("Enter the following remark in the script file:", answer)) return 1;
    writeRecorded(fmtString("* %s\r\n", answer));
    return 0;
}

int32_t closeWindowsExecute(int32_t, OperationRecord* record) {
    if (!recording()) return 1;
    writeRecorded(fmtString("%04d CloseWindows\r\n", record ? record->code : 1240));
    return 0;
}

}  // namespace

std::FILE* scriptStream() {
    return rec().stream;
}

void recordScriptLine(OperationRecord& record) {
    if (!recording()) return;
    if (!rec().stream) {
        stopWithError();
        return;
    }
    const int32_t r = record.writeScriptLine(0, rec().stream);
    const bool flushed = platform::flushFile(rec().stream);
    if (r != 0 || !flushed || platform::fileFailed(rec().stream)) stopWithError();
}

std::string scriptLineOf(OperationRecord& record) {
    if (!recording()) return std::string();
    // The writer takes a stream: a scratch file holds the line.  Without one
    // the line is recorded at once (so is the error of a lost stream).
    const platform::OwnedFile owned{rec().stream ? platform::openScratchFile() : nullptr};
    std::FILE* scratch = owned.get();
    if (scratch == nullptr) {
        recordScriptLine(record);
        return std::string();
    }
    std::string line;
    if (record.writeScriptLine(0, scratch) != 0 || platform::fileFailed(scratch)) {
        stopWithError();
        return line;
    }
    platform::rewindFile(scratch);
    char buf[1024];
    for (std::size_t n; (n = platform::readFile(scratch, buf, sizeof buf)) > 0;)
        line.append(buf, n);
    return line;
}

void recordScriptText(const std::string& text) {
    if (recording() && !text.empty()) writeRecorded(text);
}

void registerRecorderOperations() {
    OperationDescription start;
    start.code = QF_OP_RECORD_START;
    start.files = {outputFile(QF_ENTRY_OUT, QF_FILE_SCRIPT, ".scr", "Record Script", 0)};
    start.dialog = {.kind = DialogKind::Files, .title = "Record Script", .mode = 119};
    start.handlers.getParams = startGetParams;
    start.handlers.execute = startExecute;
    registerDescribed(std::move(start));
    const struct {
        int32_t code;
        ExecuteFn execute;
    } lines[] = {
        {QF_OP_RECORD_STOP, stopExecute},
        {QF_OP_RECORD_PAUSE, pauseExecute},
        {QF_OP_RECORD_MESSAGE, messageExecute},
        {QF_OP_RECORD_REMARK, remarkExecute},
        {QF_OP_RECORD_CLOSE_WINDOWS, closeWindowsExecute},
    };
    for (const auto& l : lines) {
        OperationDescription d;
        d.code = l.code;
        d.dialog.kind = DialogKind::Nothing;
        d.handlers.execute = l.execute;
        registerDescribed(std::move(d));
    }
}

}  // namespace qf
