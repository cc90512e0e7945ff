// The host's callbacks, bound by name at start-up, the wrappers every call
// to them goes through, and the message helper every module uses.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "platform/faults.h"
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

// Each callback by its place in QF_HOST_CALLBACKS, then the optional ones.
enum class HostCallback : int32_t {
#define QF_HOST_ID(name, args) name,
    QF_HOST_CALLBACKS(QF_HOST_ID)
#undef QF_HOST_ID
        qfPickScriptFile,
    qfAskScriptText,
};
constexpr int32_t kHostCallbackCount = static_cast<int32_t>(HostCallback::qfAskScriptText) + 1;
// The callback's name ("stdEmitMsg").
const char* hostCallbackName(HostCallback which);

// Sees every call the engine makes to its host before the host does: the
// tests trace the calls with it, and may answer one in the host's place
// (an injected failure: a dialog cancelled).  Returning true answers the
// call with `result`; the host is then not called.  Null: none.
using HostCallWatch = bool (*)(HostCallback which, int32_t& result);
void setHostCallWatch(HostCallWatch watch);
HostCallWatch hostCallWatch();

// Calls one host callback: the watch first, then the bound function (0 when
// the host does not have it).  The host's own work is not the engine's:
// injected faults pause while it runs.
template <typename Fn, typename... A>
int32_t callHostFunction(HostCallback which, Fn fn, A... args) {
    if (const HostCallWatch watch = hostCallWatch()) {
        int32_t answered = 0;
        if (watch(which, answered)) return answered;
    }
    if (fn == nullptr) return 0;
    platform::FaultPause pause;
    return fn(args...);
}

template <auto Slot, HostCallback Which, typename Fn>
struct HostCallThunk;
template <auto Slot, HostCallback Which, typename... P>
struct HostCallThunk<Slot, Which, int32_t (*)(P...)> {
    static int32_t call(P... args) { return callHostFunction(Which, host().*Slot, args...); }
};

// The callback a slot of the interface holds.
template <typename Fn>
HostCallback callbackOfSlot(Fn HostInterface::*slot) {
#define QF_HOST_MATCH(name, args)                    \
    if constexpr (std::is_same_v<QfHost_##name, Fn>) \
        if (slot == &HostInterface::name) return HostCallback::name;
    QF_HOST_CALLBACKS(QF_HOST_MATCH)
    QF_HOST_MATCH(qfPickScriptFile, )
    QF_HOST_MATCH(qfAskScriptText, )
#undef QF_HOST_MATCH
    return HostCallback::stdEmitMsg;  // not reached: every slot is in the list
}
// Calls the callback of a slot chosen at run time (a description's dialog).
template <typename Fn, typename... A>
int32_t callHostSlot(Fn HostInterface::*slot, A... args) {
    if (slot == nullptr) return 0;
    return callHostFunction(callbackOfSlot(slot), host().*slot, args...);
}

// One wrapper for every callback, generated from the list:
// hostcall::stdEmitMsg(kind, text) and so on.  A caller that must tell a
// missing callback from its answer tests host().name first.
namespace hostcall {
#define QF_HOST_WRAPPER(name, args) \
    inline constexpr auto name =    \
        &HostCallThunk<&HostInterface::name, HostCallback::name, QfHost_##name>::call;
QF_HOST_CALLBACKS(QF_HOST_WRAPPER)
QF_HOST_WRAPPER(qfPickScriptFile, )
QF_HOST_WRAPPER(qfAskScriptText, )
#undef QF_HOST_WRAPPER
}  // namespace hostcall

// Runs the work of an exported entry point so that no exception leaves the
// library: a lack of memory is reported with kOutOfMemoryText, anything else
// with its own text; either way the entry point answers `failed`.  What the
// work had opened is released by its owners as the exception passes.
void reportEscapedFailure(const std::exception* e, bool outOfMemory) noexcept;
template <typename F>
auto guardedEntry(decltype(std::declval<F&>()()) failed, F&& work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc& e) {
        reportEscapedFailure(&e, true);
    } catch (const std::length_error& e) {
        reportEscapedFailure(&e, true);  // a size no container can hold
    } catch (const std::exception& e) {
        reportEscapedFailure(&e, false);
    } catch (...) {
        reportEscapedFailure(nullptr, false);
    }
    return failed;
}

// While one lives, messages are not sent (a probe that reports nothing).
class MutedMessages {
  public:
    MutedMessages();
    ~MutedMessages();
    MutedMessages(const MutedMessages&) = delete;
    MutedMessages& operator=(const MutedMessages&) = delete;
};

// Formats into the shared message buffer and sends it with stdEmitMsg.
int32_t emitMsg(int32_t kind, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Sends a ready text (no formatting).
int32_t emitText(int32_t kind, const char* text);

}  // namespace qf
