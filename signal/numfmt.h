// printf-style formatting with the number conventions of the file formats:
// exponents always carry at least three digits ("1.0000000E+000", "1e+006"),
// and floating-point conversions never depend on the process locale.  Every
// text the engine writes to a signal file, script, settings file or message
// goes through these.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

namespace qf {

// Like vsnprintf: writes at most n bytes including the NUL, returns the length
// the full text would have.
int fmtV(char* buf, std::size_t n, const char* fmt, std::va_list ap);
int fmt(char* buf, std::size_t n, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
std::string fmtString(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Formats and writes to a stream; returns the number of bytes written or -1.
int fmtFile(std::FILE* f, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// One floating-point field of a text record, "% W.PE" with W = P + 8: a sign
// position (blank or '-'), one digit, the point, P digits, 'E', the exponent
// sign and three digits.  Infinities and NaNs ("INF", "-INF", "NAN") are
// right-aligned in the same P + 8 columns so records keep their width.
// Writes exactly P + 8 bytes (no NUL) and returns that count.  P is 1..40.
int fmtRecordExp(char* out, double v, int precision);

// Reads a number at `first` as strtod reads one in the "C" locale, whatever
// locale the process has set: an optional sign, then decimal digits with an
// optional point and exponent, hexadecimal digits after "0x", INF, INFINITY
// or NAN (either case).  No white space is skipped.  A value beyond the
// type's range reads as an infinity, one too small for it as 0, each with
// its sign.  Returns the end of the number, or null (v unchanged) when
// there is none.
const char* parseReal(const char* first, const char* last, double& v);
const char* parseReal(const char* first, const char* last, float& v);

}  // namespace qf
