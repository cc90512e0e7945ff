// The one dispatch path.  RunOp (a host's request, parameters from a
// dialog) and script replay (parameters from a script line) run the same
// routine; each step asks the source's policy once:
//
//   step                       dialog   script line
//   propose file names         yes      no
//   parameters                 dialog   the line, read and checked
//   realtime display guard     yes      no
//   record a script line       yes      no
//   refuse multi-channel input yes      yes
//   execute                    yes      yes
//   follow-on displays         yes      no (display lines show results)
//   remember the filter file   yes      no
//   out becomes the next in1   yes      no
#pragma once

#include <cstdint>

#include "core/operation.h"

namespace qf {

struct SourcePolicy {
    bool dialog;         // parameters from the dialog (else from a script line)
    bool proposeNames;   // default file names before the dialog
    bool realtimeGuard;  // close a realtime display the operation needs the board of
    bool record;         // append the line to a script being recorded
    bool followOn;       // show the results in graphs
    bool nextInput;      // remember the filter file; out becomes the proposed in1
};
constexpr SourcePolicy kFromDialog{true, true, true, true, true, true};
constexpr SourcePolicy kFromScriptLine{false, false, false, false, false, false};

// How a dispatched operation ended.
enum class Outcome : uint8_t {
    Done,       // executed, result 0
    Cancelled,  // the dialog returned nonzero (its result is returned)
    Refused,    // a multi-channel input: the notice was sent, nothing ran
    Malformed,  // the script line did not read (1)
    BadParams,  // the script line's parameters failed the check (2)
    Stopped,    // the user stopped the replay while asked for a file
    Failed,     // execute returned nonzero
};

struct Dispatched {
    Outcome outcome;
    int32_t result;
};

// Runs one operation of the block's code from the given source.  `line` is
// the script line for kFromScriptLine.
Dispatched dispatchOperation(CommandBlock& b, OperationRecord record, const SourcePolicy& policy,
                             const char* line = nullptr);

}  // namespace qf
