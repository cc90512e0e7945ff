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

int32_t emitText(int32_t kind, const char* text) {
    if (runtime().muted > 0) return 0;
    HostInterface& h = engine().host;
    if (!h.stdEmitMsg) {
        logPrintf("OP     message %d: %s\n", kind, text);
        return 0;
    }
    return h.stdEmitMsg(kind, text);
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
