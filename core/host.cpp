#include "core/host.h"

#include <cstdarg>

#include "core/engine.h"
#include "core/log.h"
#include "platform/platform.h"
#include "signal/numfmt.h"

namespace qf {

HostInterface& host() {
    return engine().host;
}

namespace {
HostCallWatch g_watch = nullptr;
constexpr const char* kCallbackNames[kHostCallbackCount] = {
#define QF_HOST_NAME(name, args) #name,
    QF_HOST_CALLBACKS(QF_HOST_NAME)
#undef QF_HOST_NAME
        "qfPickScriptFile",
    "qfAskScriptText",
};
}  // namespace

const char* hostCallbackName(HostCallback which) {
    const int32_t i = static_cast<int32_t>(which);
    return i >= 0 && i < kHostCallbackCount ? kCallbackNames[i] : "";
}

void setHostCallWatch(HostCallWatch watch) {
    g_watch = watch;
}

HostCallWatch hostCallWatch() {
    return g_watch;
}
bool hostBound() {
    return engine().hostBound;
}

int bindHost(void* module, const char** missing) {
    HostInterface& h = engine().host;
    int count = 0;
    if (missing) *missing = nullptr;
#define QF_BIND(name, args)                                                        \
    h.name = reinterpret_cast<QfHost_##name>(platform::findSymbol(module, #name)); \
    if (h.name)                                                                    \
        ++count;                                                                   \
    else if (missing && !*missing)                                                 \
        *missing = #name;
    QF_HOST_CALLBACKS(QF_BIND)
#undef QF_BIND
    h.qfPickScriptFile =
        reinterpret_cast<QfHost_qfPickScriptFile>(platform::findSymbol(module, "qfPickScriptFile"));
    h.qfAskScriptText =
        reinterpret_cast<QfHost_qfAskScriptText>(platform::findSymbol(module, "qfAskScriptText"));
    platform::bindWindowManager(module);
    // Without a key-state export no key is ever down.
    platform::setKeyStateSource(reinterpret_cast<platform::KeyStateSource>(
        platform::findSymbol(module, "qfAsyncKeyState")));
    engine().hostBound = true;
    return count;
}

MutedMessages::MutedMessages() {
    ++runtime().muted;
}

MutedMessages::~MutedMessages() {
    --runtime().muted;
}

int32_t emitText(int32_t kind, const char* text) {
    if (runtime().muted > 0) return 0;
    if (!engine().host.stdEmitMsg) {
        logPrintf("OP     message %d: %s\n", kind, text);
        return 0;
    }
    return hostcall::stdEmitMsg(kind, text);
}

void reportEscapedFailure(const std::exception* e, bool outOfMemory) noexcept {
    try {
        if (outOfMemory)
            emitText(QF_MSG_ERROR, kOutOfMemoryText);
        else
            emitMsg(QF_MSG_ERROR, "The operation stopped on an unexpected failure (%s).",
                    e ? e->what() : "unknown");
    } catch (...) {
        // The host's message callback threw: nothing more can be said.
    }
}

int32_t emitMsg(int32_t kind, const char* f, ...) {
    EngineRuntime& rt = runtime();
    std::va_list ap;
    va_start(ap, f);
    fmtV(rt.message, sizeof rt.message, f, ap);
    va_end(ap);
    return emitText(kind, rt.message);
}

}  // namespace qf
