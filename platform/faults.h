// Injected faults, for the tests: the one place that decides whether a file
// open, a file write, a rename or an allocation of the engine fails on
// purpose.  The platform layer asks at every open, write and rename, the
// engine's own allocations ask through allocate() (and the test program's
// operator new asks too), so a test can make the nth such event from now
// fail and check that the engine reports it, removes what it had begun and
// stays usable.
//
// Nothing here is exported from the library: only the tests, which link the
// engine's objects, arm it.  Disarmed, every event goes through.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qf::platform {

enum class Fault : uint8_t {
    Open,        // a file opened (read, write or scratch)
    Write,       // bytes written to a file
    Rename,      // a finished output renamed over its target
    Allocation,  // a block of working memory
};
constexpr int kFaultKinds = 4;

// Counts the events of `kind` from now on; the nth of them (n >= 1) fails,
// once.  n = 0 counts without failing (how many events an operation has).
void armFault(Fault kind, int64_t nth);
// Stops counting and failing every kind.
void disarmFaults();
// Events of `kind` counted since it was armed.
int64_t faultEvents(Fault kind);
// True once the armed event of `kind` came and was failed.
bool faultFired(Fault kind);

// Called at each event: counts it, and true when it is the one to fail.
bool failsNow(Fault kind);

// While one lives on a thread, that thread's events are neither counted nor
// failed: the host's own work during a callback is not the engine's.
class FaultPause {
  public:
    FaultPause();
    ~FaultPause();
    FaultPause(const FaultPause&) = delete;
    FaultPause& operator=(const FaultPause&) = delete;
};

// The engine's working memory: malloc and calloc, and null (never an
// exception) when there is none, or when an injected fault says so.
void* allocate(std::size_t bytes);
void* allocateZeroed(std::size_t bytes);
void freeMemory(void* p);

}  // namespace qf::platform
