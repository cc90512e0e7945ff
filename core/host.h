// The host's callbacks, bound by name at start-up, and the message helper
// every module uses.
#pragma once

#include <cstdint>

#include "quillfen/quillfen.h"
#include "signal/report.h"  // kOutOfMemoryText

namespace qf {

struct HostInterface {
#define QF_HOST_SLOT(name, args) QfHost_##name name = nullptr;
    QF_HOST_CALLBACKS(QF_HOST_SLOT)
#undef QF_HOST_SLOT
    // Optional: a host that asks the user during a script replay.
    QfHost_qfPickScriptFile qfPickScriptFile = nullptr;
    QfHost_qfAskScriptText qfAskScriptText = nullptr;
};

HostInterface& host();
// Binds every callback from the module handle, and the optional ones
// (key state, script prompts) when the host has them; returns the number of
// required callbacks bound, and names the first one missing.
int bindHost(void* module, const char** missing = nullptr);
bool hostBound();

// Formats into the shared message buffer and sends it with stdEmitMsg.
int32_t emitMsg(int32_t kind, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Sends a ready text (no formatting).
int32_t emitText(int32_t kind, const char* text);

}  // namespace qf
