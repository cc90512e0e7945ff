// Fixed-point arithmetic of the engine's emulated fixed-point processor, and
// the 16-bit fractional (Q15) conversions shared by all operations.
//
// An operand is a stored integer n of width w bits with f fraction bits; it
// stands for the real number n x 2^-f and is written (w, f).  Storage:
//   w <= 16        one signed 16-bit word
//   17 <= w <= 32  one signed 32-bit word
//   33 <= w <= 64  a signed 64-bit value as two 32-bit words, low word first
// Every primitive forms its result as a double v and stores it by truncating
// v toward zero and keeping the low w bits of that integer (two's complement,
// sign-extended into the storage word).
//
// fxAdd, fxSub, fxMul and fxDiv truncate and wrap whatever the modes say.
// fxConvert, fxScale and fxLimit round by the rounding mode; fxConvert and
// fxLimit also handle overflow by the overflow mode:
//   overflow 's'   saturate: v >= P gives P - 1, v < -P gives -P
//   overflow other fxConvert: v >= P or v < -P becomes fmod(v, P) (sign of v
//                  kept, so 1.5 P becomes 0.5 P); fxLimit: every v becomes
//                  fmod(v, P)
//   rounding 'e'   to nearest, ties to even
//   rounding 'r'   to nearest, ties away from zero
//   rounding other toward zero
#pragma once

#include <cstdint>

namespace qf {

// Where a fixed-point value lives and how it is read.
struct FxOperand {
    void* data;  // the storage word(s), see the table above
    int width;   // w, 1 to 64 bits
    int frac;    // f, fraction bits (any value, also negative or > w)
};

// The two fixed-point modes (the engine keeps its current ones in the status
// record and hands them over with every call).
struct FxModes {
    char overflow;  // 's' saturate, anything else wraps
    char rounding;  // 'e' ties to even, 'r' ties away from zero, else truncate
};

// Reads the stored integer of an operand (sign-extended).
int64_t fxLoad(FxOperand x);
// Stores v: truncated toward zero, low width bits kept.  A value that is not
// finite (a division by zero) stores 0.
void fxStore(FxOperand r, double v);
// The rounding step of fxConvert/fxScale/fxLimit applied to v.
double fxRound(double v, char rounding);

// r = a + b, r = a - b, r = a * b, r = a / b; truncated, wrapping.  The result
// may share storage with an operand.  fxDiv divides the stored integers as
// real numbers; a zero divisor is the caller's to avoid.
void fxAdd(FxOperand a, FxOperand b, FxOperand r);
void fxSub(FxOperand a, FxOperand b, FxOperand r);
void fxMul(FxOperand a, FxOperand b, FxOperand r);
void fxDiv(FxOperand a, FxOperand b, FxOperand r);

// r = x, with overflow handling at 2^(r.width - 1), then rounding.
void fxConvert(FxOperand x, FxOperand r, FxModes modes);
// r = x * 2^shift, with rounding (no overflow handling: it wraps).
void fxScale(FxOperand x, FxOperand r, int shift, FxModes modes);
// r = x, with overflow handling at 2^(registerWidth - 1), then rounding.
void fxLimit(FxOperand x, FxOperand r, int registerWidth, FxModes modes);

// The same primitives called with (pointer, width, fraction bits) triples,
// e.g. fxAdd(&in1[i], 16, 15, &in2[i], 16, 15, &out[i], 16, 15).  The
// rounding and overflow primitives take the modes last.
void fxAdd(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r, int wr, int fr);
void fxSub(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r, int wr, int fr);
void fxMul(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r, int wr, int fr);
void fxDiv(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r, int wr, int fr);
void fxConvert(const void* x, int wx, int fx, void* r, int wr, int fr, FxModes modes);
void fxScale(const void* x, int wx, int fx, void* r, int wr, int fr, int shift, FxModes modes);
void fxLimit(const void* x, int wx, int fx, void* r, int wr, int fr, int registerWidth,
             FxModes modes);

// 16-bit fractional words: w stands for w / 32768.
// p already scaled by 32768 (or 32767): in overflow mode 's' p >= 32767 gives
// 32767 and p < -32768 gives -32768, else p truncated toward zero; in any
// other mode p truncated toward zero with its low 16 bits kept.
int16_t storeQ15(double p, char overflowMode);
// x x 32768 stored by storeQ15.
int16_t realToQ15(double x, char overflowMode);
// w x 2^-15 (exact).
double q15ToReal(int16_t w);

}  // namespace qf
