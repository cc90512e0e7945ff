// Script lines made and read from an operation's description: the line
// frame "%04d %s" plus seven (or four) blanks, then the described fields.
//
//   file entries    directory then name, each one word, blanks as '*'
//   doubles         "% 15.9lg" (unless the field gives another format)
//   integers        "%d"
//   characters      one character; a blank or control character is written
//                   as '-'; glued fields follow the previous one directly
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/operation.h"

namespace qf {

// "%04d %s       " (or four blanks) for the operation.
std::string scriptLinePrefix(const OperationDescription& d);

// The described line of the current block, ending with CR LF.
std::string describedScriptLine(const OperationDescription& d, CommandBlock& b);
// Reads the described fields of a line into the block: true when every
// field converted (and, where the description says so, nothing follows).
bool readDescribedFields(const OperationDescription& d, CommandBlock& b, const char* line);

// The generic slots: write the current block's line; read a line into the
// block, resolve its names and run the check (0 taken, 1 malformed, 2
// parameter error, kScriptLineStopped when the user stopped the replay).
int32_t genericWriteScriptLine(int32_t mode, std::FILE* scriptFile);
int32_t genericReadScriptLine(int32_t mode, const char* line, CheckParamsFn check);

}  // namespace qf
