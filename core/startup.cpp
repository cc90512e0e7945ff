// Start-up and shut-down of the engine, and the small services the host uses.
#include <cctype>
#include <cstring>

#include "core/engine.h"
#include "core/host.h"
#include "core/log.h"
#include "core/operation.h"
#include "core/settings.h"
#include "core/signal_wiring.h"
#include "platform/platform.h"
#include "signal/numfmt.h"

using namespace qf;

namespace {

int32_t startEngine(const char* hostModule, const char* homePath) {
    // Signal files report through the engine from here on.
    wireSignalLayer();
    EngineRuntime& rt = runtime();
    std::memset(rt.homeDir, 0, sizeof rt.homeDir);
    if (homePath) std::strncpy(rt.homeDir, homePath, sizeof rt.homeDir - 1);

    void* module = platform::findLoadedModule(hostModule);
    if (module == nullptr) return 1;
    resetForStartup();
    // A host that lacks a callback, or a table that could not take an
    // operation, would fail later in ways no one could trace: start-up stops
    // here and says why.
    const char* missing = nullptr;
    bindHost(module, &missing);
    char why[256] = {};
    if (missing != nullptr)
        fmt(why, sizeof why, "The host does not export '%s'.  The engine cannot start.", missing);
    else if (!buildOperationTable(why, sizeof why))
        fmt(why + std::strlen(why), sizeof why - std::strlen(why), "%s",
            "  The engine cannot start.");
    if (why[0] != '\0') {
        openEngineLog();
        logPrintf("%s\n", why);
        emitText(QF_MSG_ERROR, why);
        return 2;
    }
    loadSettings();
    hostcall::StartTimer();
    return 0;
}

}  // namespace

extern "C" {

QF_EXPORT int32_t InitQuillfen(const char* hostModule, const char* homePath) {
    return guardedEntry(2, [&] { return startEngine(hostModule, homePath); });
}

QF_EXPORT int32_t ExitQuillfen(void) {
    // The recording stream is closed with the engine, and the log, even
    // when the settings could not be saved.
    const int32_t saved = guardedEntry(1, [] {
        saveSettings();
        return 0;
    });
    if (saved != 0) closeEngineLog();
    resetForStartup();
    return saved;
}

QF_EXPORT int32_t DoPrintOnLogFile(const char* text) {
    if (text == nullptr) return 0;
    return writeLogText(text, std::strlen(text));
}

QF_EXPORT char* stdHomePath(const char* name) {
    EngineRuntime& rt = runtime();
    char* buf = rt.homePathBuffer;
    const char* n = name ? name : "";
    std::size_t home = std::strlen(rt.homeDir);
    std::size_t len = std::strlen(n);
    if (home + len < sizeof rt.homePathBuffer) {
        std::memcpy(buf, rt.homeDir, home);
        std::memcpy(buf + home, n, len + 1);
    } else {
        // Names are at most 255 characters.
        std::size_t keep = len < sizeof rt.homePathBuffer ? len : sizeof rt.homePathBuffer - 1;
        std::memcpy(buf, n, keep);
        buf[keep] = '\0';
    }
    return buf;
}

QF_EXPORT int32_t clearIfExtDiff(const char* extensions, char* fileName) {
    if (extensions == nullptr || fileName == nullptr || fileName[0] == '\0') return 0;
    std::size_t len = std::strlen(fileName);
    // The '.' is searched from the last character back to the second one.
    std::size_t dot = 0;
    for (std::size_t i = len - 1; i >= 1; --i) {
        if (fileName[i] == '.') {
            dot = i;
            break;
        }
    }
    if (dot == 0) {
        fileName[0] = '\0';
        return 1;
    }
    const char* ext = fileName + dot + 1;
    std::size_t extLen = std::strlen(ext);
    const char* entry = extensions;
    while (*entry) {
        if (*entry != '.') {
            ++entry;
            continue;
        }
        ++entry;
        std::size_t n = 0;
        while (entry[n] && entry[n] != '.') ++n;
        bool agrees = n <= extLen;
        for (std::size_t k = 0; agrees && k < n; ++k) {
            if (std::tolower(static_cast<unsigned char>(entry[k])) !=
                std::tolower(static_cast<unsigned char>(ext[k])))
                agrees = false;
        }
        if (agrees) return 0;
        entry += n;
    }
    fileName[0] = '\0';
    return 1;
}

}  // extern "C"
