// The injected-fault switch (see faults.h).  Counters are atomic: outputs
// written behind are written on a second thread.
#include "platform/faults.h"

#include <execinfo.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace qf::platform {

namespace {

struct FaultSwitch {
    std::atomic<bool> armed{false};
    std::atomic<int64_t> events{0};
    std::atomic<int64_t> nth{0};
    std::atomic<bool> fired{false};
};

FaultSwitch g_switch[kFaultKinds];
std::atomic<int> g_armedKinds{0};  // quick test on every event
thread_local int t_paused = 0;

FaultSwitch& of(Fault kind) {
    return g_switch[static_cast<int>(kind)];
}

}  // namespace

void armFault(Fault kind, int64_t nth) {
    FaultSwitch& s = of(kind);
    s.events = 0;
    s.fired = false;
    s.nth = nth < 0 ? 0 : nth;
    if (!s.armed.exchange(true)) ++g_armedKinds;
}

void disarmFaults() {
    for (FaultSwitch& s : g_switch) {
        if (s.armed.exchange(false)) --g_armedKinds;
        s.nth = 0;
    }
}

int64_t faultEvents(Fault kind) {
    return of(kind).events;
}

bool faultFired(Fault kind) {
    return of(kind).fired;
}

bool failsNow(Fault kind) {
    if (g_armedKinds.load(std::memory_order_relaxed) == 0 || t_paused > 0) return false;
    FaultSwitch& s = of(kind);
    if (!s.armed) return false;
    const int64_t n = ++s.events;
    if (n != s.nth) return false;
    s.fired = true;
    // QF_FAULT_TRACE=1 shows where each injected fault struck.
    if (const char* trace = std::getenv("QF_FAULT_TRACE"); trace && *trace == '1') {
        void* frames[24];
        ::backtrace_symbols_fd(frames, ::backtrace(frames, 24), STDERR_FILENO);
    }
    return true;
}

FaultPause::FaultPause() {
    ++t_paused;
}

FaultPause::~FaultPause() {
    --t_paused;
}

void* allocate(std::size_t bytes) {
    if (failsNow(Fault::Allocation)) return nullptr;
    return std::malloc(bytes > 0 ? bytes : 1);
}

void* allocateZeroed(std::size_t bytes) {
    if (failsNow(Fault::Allocation)) return nullptr;
    return std::calloc(bytes > 0 ? bytes : 1, 1);
}

void freeMemory(void* p) {
    std::free(p);
}

}  // namespace qf::platform
