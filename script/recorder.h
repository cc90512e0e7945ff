// The script recorder: while recording, every operation that RunOp runs is
// appended to the open script as one line.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/operation.h"

namespace qf {

// Writes the operation's script line when a script is being recorded.
void recordScriptLine(OperationRecord& record);
// The open script stream (null when not recording).
std::FILE* scriptStream();

}  // namespace qf
