#include "core/host.h"

#include <cstdarg>

#include "core/engine.h"
#include "core/log.h"
#include "platform/platform.h"
#include "signal/numfmt.h"

namespace qf {

namespace {
HostInterface g_host;
bool g_bound = false;
}  // namespace

HostInterface& host() {
    return g_host;
}
bool hostBound() {
    return g_bound;
}

int bindHost(void* module) {
    int count = 0;
#define QF_BIND(name, args)                                                             \
    g_host.name = reinterpret_cast<QfHost_##name>(platform::findSymbol(module, #name)); \
    if (g_host.name) ++count;
    QF_HOST_CALLBACKS(QF_BIND)
#undef QF_BIND
    g_host.qfPickScriptFile =
        reinterpret_cast<QfHost_qfPickScriptFile>(platform::findSymbol(module, "qfPickScriptFile"));
    g_host.qfAskScriptText =
        reinterpret_cast<QfHost_qfAskScriptText>(platform::findSymbol(module, "qfAskScriptText"));
    // Without a key-state export no key is ever down.
    platform::setKeyStateSource(reinterpret_cast<platform::KeyStateSource>(
        platform::findSymbol(module, "qfAsyncKeyState")));
    g_bound = true;
    return count;
}

int32_t emitText(int32_t kind, const char* text) {
    if (!g_host.stdEmitMsg) {
        logPrintf("OP     message %d: %s\n", kind, text);
        return 0;
    }
    return g_host.stdEmitMsg(kind, text);
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
