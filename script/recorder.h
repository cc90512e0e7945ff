// The script recorder: while recording, every operation that RunOp runs is
// appended to the open script as one line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/operation.h"

namespace qf {

// Writes the operation's script line when a script is being recorded.
void recordScriptLine(OperationRecord& record);
// The line the operation would record now ("" when not recording, or when
// it writes none), to be recorded later with recordScriptText.
std::string scriptLineOf(OperationRecord& record);
// Appends recorded text to the script being recorded.
void recordScriptText(const std::string& text);
// The open script stream (null when not recording).
std::FILE* scriptStream();

}  // namespace qf
