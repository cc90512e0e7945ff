// How the signal layer reports what it does.  The layer owns no message
// channel, log or window: it sends user messages, trace lines and the
// notices graph windows care about through hooks the engine installs at
// start-up.  Without them (a hook left null) a message goes to the standard
// error stream and a trace line or notice goes nowhere.
#pragma once

#include <cstdint>

#include "quillfen/quillfen.h"

namespace qf {

// The refusal of an operation that could not get its working memory.
constexpr const char* kOutOfMemoryText = "Out of working memory.  Operation aborted.";
// Longest message text sent, including the NUL; longer texts are cut.
constexpr int kSignalMessageMax = 2048;

struct SignalHooks {
    // Sends a finished message text of a kind (QF_MSG_ERROR, ...) to the user.
    int32_t (*message)(int32_t kind, const char* text) = nullptr;
    // Writes text to the trace log as it is (no line end added).
    void (*trace)(const char* text) = nullptr;
    // A new output is about to replace `file`: a graph showing the file
    // notes it for re-plotting and closes its window.
    void (*replacing)(const nameNpath& file) = nullptr;
    // The output `file` is complete under its name: a graph noted for it is
    // re-plotted.
    void (*written)(const nameNpath& file) = nullptr;
};

// Installs the hooks (copied); SignalHooks{} removes them all.
void setSignalHooks(const SignalHooks& hooks);
const SignalHooks& signalHooks();

// What the signal layer calls.  signalMessage formats like printf into at
// most kSignalMessageMax bytes and returns the hook's answer (0 without one).
int32_t signalMessage(int32_t kind, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void signalTrace(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void signalReplacing(const nameNpath& file);
void signalWritten(const nameNpath& file);

}  // namespace qf
