// Script names of the operations, written into script lines exactly as
// they stand (trailing blanks included).
#pragma once

#include <cstdint>
#include <string>

namespace qf {

// The script name of an operation, or null for operations that write no
// script line.
const char* scriptName(int32_t code);
// Operations whose script lines put four blanks, not seven, after the name.
bool fourBlankScriptLine(int32_t code);
// The start of an operation's script line: "%04d %s" and the blanks after
// the name (empty for operations without a script name).
std::string scriptLinePrefix(int32_t code);

}  // namespace qf
