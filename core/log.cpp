#include "core/log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "core/engine.h"
#include "platform/fs.h"
#include "signal/numfmt.h"

extern "C" char* stdHomePath(const char* name);

namespace qf {

namespace {
void adopt(std::FILE* f) {
    EngineRuntime& rt = runtime();
    if (f) {
        rt.log = f;
        rt.logIsStderr = false;
    } else {
        rt.log = stderr;
        rt.logIsStderr = true;
    }
    platform::setFileBuffer(rt.log, 0);
}

void closeCurrent() {
    EngineRuntime& rt = runtime();
    if (rt.log && !rt.logIsStderr) platform::closeFile(rt.log);
    rt.log = nullptr;
    rt.logIsStderr = false;
}
}  // namespace

void openEngineLog() {
    EngineRuntime& rt = runtime();
    std::string path = stdHomePath("quillfen.log");
    const char* mode = "wb";
    if (rt.log) {
        closeCurrent();
        mode = "ab";
    }
    adopt(platform::openFile(path.c_str(), mode));
    if (rt.firstStart == 'y') {
        rt.firstStart = 'n';
        logPrintf("QF.EXE version 7.0.0.0\n");
        logPrintf("Home is %s\n", rt.homeDir);
    }
}

void ensureFallbackLog() {
    EngineRuntime& rt = runtime();
    if (rt.log) return;
    adopt(platform::openFile("Quillfen.log", "wb"));
}

void closeEngineLog() {
    closeCurrent();
}

std::FILE* engineLog() {
    return runtime().log;
}

int logPrintf(const char* f, ...) {
    std::FILE* log = runtime().log;
    if (!log) return 0;
    char buf[4096];
    std::va_list ap;
    va_start(ap, f);
    int n = fmtV(buf, sizeof buf, f, ap);
    va_end(ap);
    if (n < 0) return 0;
    std::size_t len =
        static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n) : sizeof buf - 1;
    return writeLogText(buf, len);
}

int writeLogText(const char* text, std::size_t len) {
    std::FILE* log = runtime().log;
    if (!log) return 0;
    // Text files carry CR LF line ends on every platform.
    std::size_t start = 0;
    for (std::size_t i = 0; i < len; ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            platform::writeFile(log, text + start, i - start);
            platform::writeFile(log, "\r\n", 2);
            start = i + 1;
        }
    }
    platform::writeFile(log, text + start, len - start);
    return static_cast<int>(len);
}

}  // namespace qf
