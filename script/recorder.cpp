// The script recorder and its operations 1160-1240.
#include "script/recorder.h"

#include <cstdlib>
#include <cstring>

#include "core/engine.h"
#include "core/host.h"
#include "script/script_text.h"
#include "signal/access.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

struct RecorderState {
    std::FILE* stream = nullptr;
    char name[QF_PATH_LEN + QF_NAME_LEN] = {};
};
RecorderState g_rec;

void stopWithError() {
    if (g_rec.stream) std::fclose(g_rec.stream);
    g_rec.stream = nullptr;
    status().scriptRecording = 'n';
    emitMsg(QF_MSG_NOTICE, "Error recording script to '%s'.  Stop recording.", g_rec.name);
}

bool recording() {
    return status().scriptRecording == 'y';
}

int32_t startGetParams(int32_t, CheckParamsFn) {
    if (recording()) return 1;
    HostInterface& h = host();
    if (!h.stdGet123Files) return 1;
    return h.stdGet123Files("Record Script", ".scr", "Record Script", nullptr, nullptr, nullptr,
                            nullptr, 119);
}

int32_t startExecute(int32_t, OperationRecord*) {
    if (status().scriptRecording != 'n') return 1;
    CommandBlock& b = block();
    std::string path = std::string(b.out.p) + b.out.n;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 2;
    g_rec.stream = f;
    std::memset(g_rec.name, 0, sizeof g_rec.name);
    std::strncpy(g_rec.name, path.c_str(), sizeof g_rec.name - 1);
    status().scriptRecording = 'y';
    return 0;
}

int32_t stopExecute(int32_t, OperationRecord*) {
    if (!recording()) return 1;
    status().scriptRecording = 'n';
    if (g_rec.stream) std::fclose(g_rec.stream);
    g_rec.stream = nullptr;
    return 0;
}

// Asks the user for a line of text; false when cancelled.
bool askLine(const char* prompt, char* buffer) {
    HostInterface& h = host();
    buffer[0] = '\0';
    if (!h.scrEntryBox) return false;
    if (h.scrEntryBox(prompt, buffer) != 0) return false;
    buffer[kScriptLineMax] = '\0';
    return true;
}

bool writeRecorded(const std::string& line) {
    if (!g_rec.stream) return false;
    std::fwrite(line.data(), 1, line.size(), g_rec.stream);
    std::fflush(g_rec.stream);
    if (std::ferror(g_rec.stream)) {
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
    return g_rec.stream;
}

void recordScriptLine(OperationRecord& record) {
    if (!recording()) return;
    if (!g_rec.stream) {
        stopWithError();
        return;
    }
    int32_t r = record.writeScriptLine(0, g_rec.stream);
    std::fflush(g_rec.stream);
    if (r != 0 || std::ferror(g_rec.stream)) stopWithError();
}

void registerRecorderOperations() {
    OperationRecord r = operationTemplate(QF_OP_RECORD_START);
    r.getParams = startGetParams;
    r.execute = startExecute;
    registerOperation(&r);
    r = operationTemplate(QF_OP_RECORD_STOP);
    r.getParams = noParams;
    r.execute = stopExecute;
    registerOperation(&r);
    r = operationTemplate(QF_OP_RECORD_PAUSE);
    r.getParams = noParams;
    r.execute = pauseExecute;
    registerOperation(&r);
    r = operationTemplate(QF_OP_RECORD_MESSAGE);
    r.getParams = noParams;
    r.execute = messageExecute;
    registerOperation(&r);
    r = operationTemplate(QF_OP_RECORD_REMARK);
    r.getParams = noParams;
    r.execute = remarkExecute;
    registerOperation(&r);
    r = operationTemplate(QF_OP_RECORD_CLOSE_WINDOWS);
    r.getParams = noParams;
    r.execute = closeWindowsExecute;
    registerOperation(&r);
}

}  // namespace qf
