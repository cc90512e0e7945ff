// The engine log: one unbuffered text stream shared by every module.
#pragma once

#include <cstddef>
#include <cstdio>

namespace qf {

// Opens (or reopens for appending) the home log; writes the banner once per
// process.  Falls back to the standard error stream.
void openEngineLog();
// Opens "Quillfen.log" in the current directory if no log is open.
void ensureFallbackLog();
void closeEngineLog();
std::FILE* engineLog();
// Formatted trace line to the engine log (no newline added).
int logPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Writes text unchanged except that LF line ends become CR LF; returns len.
int writeLogText(const char* text, std::size_t len);

}  // namespace qf
