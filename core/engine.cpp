#include "core/engine.h"

namespace qf {

namespace {
StatusRecord g_status = [] {
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
}();
BoardSettings g_board;
EngineRuntime g_runtime;
CommandBlock g_ownBlock{};  // designated until the host passes its first block
}  // namespace

StatusRecord& status() {
    return g_status;
}
BoardSettings& board() {
    return g_board;
}
EngineRuntime& runtime() {
    return g_runtime;
}
void releaseWorkingStorage() {
    // The multiplexer's file lists and the LPC working arrays are released
    // here once those operations keep storage between runs.
}

CommandBlock& block() {
    return g_runtime.block ? *g_runtime.block : g_ownBlock;
}

}  // namespace qf

extern "C" {
QF_EXPORT StatusRecord* qfenStatus = &qf::status();
}
