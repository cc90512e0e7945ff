// Text fields of signal file records, written and read for their fixed
// layouts without the C library's printf and scanf:
//
//   REAL32 values              "% 14.7E"    15 columns  " 1.2345678E+000"
//   REAL64 values (CREAL128RECT(W), LPCCoeffREAL8)
//                              "% 22.15lE"  23 columns  "-1.234567890123456E-001"
//   16-bit words               "%04.4hX"     4 columns  "FFFF" (-1)
//
// Written fields are byte for byte what printf gives for those layouts with
// the exponent widened to three digits; infinities and NaNs are "INF",
// "-INF" and "NAN", right-aligned in the field.  Fields are read strictly:
// blanks, one number, blanks, and nothing else; the reading of numbers does
// not depend on the process locale.
#pragma once

#include <cstdint>

namespace qf {

constexpr int kReal32FieldWidth = 15;
constexpr int kReal64FieldWidth = 23;
constexpr int kHex16FieldWidth = 4;

// Writes exactly kReal32FieldWidth / kReal64FieldWidth bytes (no NUL).
void putReal32Field(char* out, float v);
void putReal64Field(char* out, double v);
// Writes the four hex digits of the word's 16-bit pattern.
void putHex16Field(char* out, int16_t v);

// Reads the field [first, last): optional blanks, one number, optional
// blanks.  Real numbers: an optional sign, decimal digits with an optional
// point and exponent, or INF, INFINITY or NAN in either case; a value
// beyond the type's range reads as an infinity, one too small for it as 0.
// Words: an optional sign, an optional 0x, hex digits; the low 16 bits.
// False, and v unchanged, when the field is not such a number.
bool readReal32Field(const char* first, const char* last, float& v);
bool readReal64Field(const char* first, const char* last, double& v);
bool readHex16Field(const char* first, const char* last, int16_t& v);

}  // namespace qf
