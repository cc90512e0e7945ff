// Engine-wide state.  Everything runs on the host's thread, one call at a
// time; these records are the engine's whole memory between calls.
#pragma once

#include <cstdint>
#include <cstdio>

#include "quillfen/quillfen.h"

namespace qf {

// The optional DSP board's switches (restored from the settings file).
struct BoardSettings {
    int32_t boardPresent = 0;
    int32_t acceleratorOn = 0;
    int32_t thirdSetting = 0;
    double realtimeRate = 0.0;
};

// Start-up, log and home directory.
struct EngineRuntime {
    char homeDir[256] = {};
    char homePathBuffer[256] = {};
    std::FILE* log = nullptr;
    bool logIsStderr = false;
    char firstStart = 'y';
    CommandBlock* block = nullptr;  // the current command block
    char lastFilterFile[QF_NAME_LEN] = {};
    // Shared scratch: every message is formatted here before it goes out,
    // and the current operation's description line waits here.
    char message[2048] = {};
    char description[1024] = {};
    // The engine-wide 15-bit random generator: state 1 at start-up, never
    // reseeded, so a run's noise is reproducible.
    uint32_t randomState = 1;
    // Control Center values kept in the settings file.
    int32_t controlCenter[3] = {9, 6, 2};
};

StatusRecord& status();
BoardSettings& board();
EngineRuntime& runtime();
// The current command block (an engine-owned block before the first RunOp).
CommandBlock& block();

// Frees the working lists that long-lived operations keep between runs.
void releaseWorkingStorage();

// Parameter area access at a byte offset of the command block (13008 ...).
inline int32_t& paramInt(CommandBlock& b, int offset) {
    return *reinterpret_cast<int32_t*>(reinterpret_cast<unsigned char*>(&b) + offset);
}
inline double& paramDouble(CommandBlock& b, int offset) {
    return *reinterpret_cast<double*>(reinterpret_cast<unsigned char*>(&b) + offset);
}

}  // namespace qf
