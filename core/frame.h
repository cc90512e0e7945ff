// What the single- and two-input operations share: the check results of the
// two-file and file-and-constant dialogs with their messages, the reading
// of an input's header for a check, and the output header rules.  Each operation's own
// rules live in its description in its family's folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/operation.h"
#include "signal/descriptor.h"

namespace qf {

// Check results of the two-file dialog (100-106: error messages, ask again)
// and of the file-and-constant dialog (100-107).
const std::vector<CheckMessage>& twoFileChecks();
const std::vector<CheckMessage>& constantChecks();

// A notice a check result shows: its text, what the dialog does after it
// (ask again unless told) and the values the text is formatted with.
CheckMessage noticeCheck(int32_t result, const char* text, Then then = Then::AskAgain,
                         Arg a1 = Arg::None, Arg a2 = Arg::None);
// The notices of an input that cannot be read ("Error reading '%s'.") and
// of one of a type the operation does not take, naming it by `name`
// (Arg::In1Name, Arg::In2Name).
CheckMessage unreadableCheck(int32_t result, Arg name);
CheckMessage unsupportedTypeCheck(int32_t result, Arg name);
// The check message, about the parameter at block offset `offset`.
CheckMessage aboutParam(int32_t offset, CheckMessage m);

// Opens an input header-only into descriptor slot `slot` of the current
// block and closes it again: true when it could be read (a failure is
// reported by the file layer).
bool readInputHeader(const nameNpath& file, int slot = 0);

// The record type a kernel works with: REALTIMEINT16 reads as INTEGER16.
int32_t kernelType(const SignalDescriptor& d);
// INTEGER16, REAL32 or REALTIMEINT16.
bool isTimeSignalType(int32_t type);

// Output header of a frame operation: the type of in1 (two inputs: the
// larger of the two types, a recording counting as the smaller), the given
// count and rate, no signal frequency, no frame fields.  A count a signal
// file cannot hold is refused with the out-of-memory message (false).
bool frameOutputHeader(SignalDescriptor& out, const SignalDescriptor& in1,
                       const SignalDescriptor* in2, int64_t count, double rate);
// Sets the output's remark ("(none)" when empty, cut to 127 characters) and
// the description line of the run.
void frameLabels(SignalDescriptor& out, const std::string& remark, const std::string& line);

// Magnitude of a record of two 16-bit fractional words (re, im).
double cint16Magnitude(const int16_t* record);

}  // namespace qf
