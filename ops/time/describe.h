// What the time family's descriptions share (register.cpp, own_register.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "core/operation.h"

namespace qf::timeops {

// A time operation, shown as a waveform after an interactive run.
OperationDescription timeOp(int32_t code, const char* scriptName, const char* command,
                            const char* help);
// Time-signal files of a dialog; `refused`: a multi-channel recording is
// refused before the run.
QfFileInfo timeInput(int32_t entry, const char* label, int32_t position, bool refused = true);
QfFileInfo timeOutput(const char* label, int32_t position);

// The input checks' messages: 101, 102 and `multiChannel` (103 unless
// told) about in1 and, with `second`, 201-203 about in2 and 301 for
// different sampling rates.  `named`: the multi-channel message names the
// input.
std::vector<CheckMessage> inputMessages(bool named, bool second = false,
                                        int32_t multiChannel = 103);

}  // namespace qf::timeops
