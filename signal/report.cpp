// The signal layer's hooks (see report.h).
#include "signal/report.h"

#include <cstdarg>
#include <cstdio>

#include "platform/fs.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

// Constant-initialised: no hook is set before the engine sets them.
SignalHooks g_hooks;

constexpr int kTraceMax = 4096;  // longest trace line, including the NUL

}  // namespace

void setSignalHooks(const SignalHooks& hooks) {
    g_hooks = hooks;
}

const SignalHooks& signalHooks() {
    return g_hooks;
}

int32_t signalMessage(int32_t kind, const char* f, ...) {
    char text[kSignalMessageMax];
    std::va_list ap;
    va_start(ap, f);
    fmtV(text, sizeof text, f, ap);
    va_end(ap);
    if (g_hooks.message) return g_hooks.message(kind, text);
    platform::writeText(stderr, fmtString("signal message %d: %s\n", static_cast<int>(kind), text));
    return 0;
}

void signalTrace(const char* f, ...) {
    if (!g_hooks.trace) return;
    char text[kTraceMax];
    std::va_list ap;
    va_start(ap, f);
    const int n = fmtV(text, sizeof text, f, ap);
    va_end(ap);
    if (n >= 0) g_hooks.trace(text);
}

void signalReplacing(const nameNpath& file) {
    if (g_hooks.replacing) g_hooks.replacing(file);
}

void signalWritten(const nameNpath& file) {
    if (g_hooks.written) g_hooks.written(file);
}

}  // namespace qf
