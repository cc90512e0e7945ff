// Engine-wide state.  Everything runs on the host's thread, one call at a
// time; the one EngineState record is the engine's whole memory between
// calls.  Each part says when it is reset:
//
//   status      start-up values from the settings file, at every start-up
//   board       from the settings file, at every start-up
//   runtime     home, log and scratch buffers: set at every start-up
//   host        bound at every start-up
//   table       rebuilt at every start-up
//   remembered  the parameters' remembered values: their fallbacks at start-up
//   recorder    closed at shut-down and at every start-up
//   replay      cleared at every start-up and when the outermost replay ends
//   run         the pipeline run in progress (set and cleared by the run)
//   hostFacing  the last RunOp's state as hosts see it, and the host's
//               options: cleared at every start-up
//   families    each family's own state, by the lifetime it declares:
//               Lifetime::Start cleared at every start-up, Lifetime::Load kept
//               while the library is loaded (shown-once notices)
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "core/host.h"
#include "core/operation.h"
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
    // Messages are not sent while above 0 (a probe of a file that the
    // operation itself reports on).
    int muted = 0;
};

// The script being recorded.
struct RecorderState {
    std::FILE* stream = nullptr;
    char name[QF_PATH_LEN + QF_NAME_LEN] = {};
};

// Replays in progress.
struct ReplayState {
    int depth = 0;
    bool runaway = false;  // the nesting limit was hit: every level stops
    char scriptDir[QF_PATH_LEN] = {};
};

// What a host is told about the last RunOp (qfRunState), and the switches
// it sets (qfSetHostOption).
struct HostFacing {
    QfRunState state{0, QF_RUN_DONE, 0, 0, nullptr};
    bool cancelled = false;       // the user stopped the current run (Esc)
    bool recordDoneOnly = false;  // QF_OPTION_RECORD_DONE_ONLY
    bool recordAppend = false;    // QF_OPTION_RECORD_APPEND
};

// When a family's state is cleared.
enum class Lifetime : uint8_t {
    Start,  // at every start-up
    Load,   // only when the library is loaded
};

// Each family's own state, owned here.  A state type T declares
// `static constexpr Lifetime kLifetime` and may have `void release()`,
// which frees its working storage at shut-down.  familyState<T>() makes it
// on first use.
class FamilyStates {
  public:
    template <typename T>
    T& get();
    // Clears every state of the given lifetime (and for Load, all of them).
    void reset(Lifetime lifetime);
    // Frees every state's working storage.
    void release();

  private:
    struct Slot {
        std::shared_ptr<void> object;
        Lifetime lifetime = Lifetime::Start;
        void (*clear)(void*) = nullptr;
        void (*free)(void*) = nullptr;
    };
    template <typename T>
    static int slotIndex();
    static int nextIndex();
    std::vector<Slot> slots_;
};

struct EngineState {
    StatusRecord status{};
    BoardSettings board;
    EngineRuntime runtime;
    HostInterface host;
    bool hostBound = false;
    OperationTable table;
    // Remembered parameter values: (code, offset) -> value.
    std::map<std::pair<int32_t, int32_t>, double> remembered;
    RecorderState recorder;
    ReplayState replay;
    FamilyStates families;
    struct Run* run = nullptr;  // the pipeline run in progress
    HostFacing hostFacing;
};

EngineState& engine();

StatusRecord& status();
BoardSettings& board();
EngineRuntime& runtime();
// The current command block (an engine-owned block before the first RunOp).
CommandBlock& block();

template <typename T>
T& familyState() {
    return engine().families.get<T>();
}

// Resets the state that every start-up resets (and closes a recording).
void resetForStartup();
// Resets everything, as when the library is loaded afresh.
void resetForLoad();
// Frees the working storage that families keep between runs.
void releaseWorkingStorage();
// The status record's start-up values before the settings file is read.
StatusRecord initialStatus();

// Parameter area access at a byte offset of the command block (13008 ...).
inline int32_t& paramInt(CommandBlock& b, int offset) {
    return *reinterpret_cast<int32_t*>(reinterpret_cast<unsigned char*>(&b) + offset);
}
inline double& paramDouble(CommandBlock& b, int offset) {
    return *reinterpret_cast<double*>(reinterpret_cast<unsigned char*>(&b) + offset);
}
inline char& paramChar(CommandBlock& b, int offset) {
    return *(reinterpret_cast<char*>(&b) + offset);
}

// The block's file entry a description names by its QfEntry.
inline nameNpath& entryOf(CommandBlock& b, int32_t entry) {
    switch (entry) {
        case QF_ENTRY_IN1:
            return b.in1;
        case QF_ENTRY_IN2:
            return b.in2;
        case QF_ENTRY_OUT2:
            return b.out2;
        case QF_ENTRY_OUT3:
            return b.out3;
        default:
            return b.out;
    }
}
inline const nameNpath& entryOf(const CommandBlock& b, int32_t entry) {
    return entryOf(const_cast<CommandBlock&>(b), entry);
}

// ---------------------------------------------------------------------------

inline int FamilyStates::nextIndex() {
    static int next = 0;
    return next++;
}

template <typename T>
int FamilyStates::slotIndex() {
    static const int index = nextIndex();
    return index;
}

template <typename T>
T& FamilyStates::get() {
    const int i = slotIndex<T>();
    if (static_cast<int>(slots_.size()) <= i) slots_.resize(static_cast<std::size_t>(i) + 1);
    Slot& s = slots_[static_cast<std::size_t>(i)];
    if (!s.object) {
        s.object = std::make_shared<T>();
        s.lifetime = T::kLifetime;
        s.clear = [](void* p) { *static_cast<T*>(p) = T{}; };
        if constexpr (requires(T & t) { t.release(); })
            s.free = [](void* p) { static_cast<T*>(p)->release(); };
    }
    return *static_cast<T*>(s.object.get());
}

}  // namespace qf
