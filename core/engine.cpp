#include "core/engine.h"

#include <cstring>

#include "platform/fs.h"

namespace qf {

StatusRecord initialStatus() {
    StatusRecord s{};
    s.outputFormat = 'b';
    s.overflowMode = 's';
    s.roundingMode = 'e';
    s.busy = 'n';
    s.scriptRunning = 'n';
    s.scriptRecording = 'n';
    s.logWindowShown = 'y';
    s.fftSize = 1024;
    s.fftInterval = 1024;
    return s;
}

namespace {
EngineState g_engine = [] {
    EngineState e;
    e.status = initialStatus();
    return e;
}();
CommandBlock g_ownBlock{};  // designated until the host passes its first block

void closeRecording(RecorderState& r) {
    platform::closeFile(r.stream);
    r.stream = nullptr;
}
}  // namespace

EngineState& engine() {
    return g_engine;
}
StatusRecord& status() {
    return g_engine.status;
}
BoardSettings& board() {
    return g_engine.board;
}
EngineRuntime& runtime() {
    return g_engine.runtime;
}
CommandBlock& block() {
    return g_engine.runtime.block ? *g_engine.runtime.block : g_ownBlock;
}

void FamilyStates::reset(Lifetime lifetime) {
    for (Slot& s : slots_)
        if (s.object && (lifetime == Lifetime::Load || s.lifetime == lifetime)) {
            if (s.free) s.free(s.object.get());
            s.clear(s.object.get());
        }
}

void FamilyStates::release() {
    for (Slot& s : slots_)
        if (s.object && s.free) s.free(s.object.get());
}

void resetForStartup() {
    EngineState& e = g_engine;
    closeRecording(e.recorder);
    e.recorder = RecorderState{};
    e.status.scriptRecording = 'n';
    e.replay = ReplayState{};
    e.remembered.clear();
    e.families.reset(Lifetime::Start);
    e.hostFacing = HostFacing{};
}

void resetForLoad() {
    EngineState& e = g_engine;
    closeRecording(e.recorder);
    e.recorder = RecorderState{};
    e.replay = ReplayState{};
    e.remembered.clear();
    e.families.reset(Lifetime::Load);
    e.hostFacing = HostFacing{};
    e.status = initialStatus();
    e.board = BoardSettings{};
    std::FILE* log = e.runtime.log;
    const bool logIsStderr = e.runtime.logIsStderr;
    const char firstStart = e.runtime.firstStart;
    e.runtime = EngineRuntime{};
    // The log stream stays the one the engine writes to; the banner is once
    // per process.
    e.runtime.log = log;
    e.runtime.logIsStderr = logIsStderr;
    e.runtime.firstStart = firstStart;
}

void releaseWorkingStorage() {
    g_engine.families.release();
}

}  // namespace qf

extern "C" {
QF_EXPORT StatusRecord* qfenStatus = &qf::status();
}
