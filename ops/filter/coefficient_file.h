// Filter coefficient files (.flt): the strict reader that loads a designed
// filter into a memory-only descriptor whose record type names the filter
// structure and whose buffer holds the coefficients.
//
// A file is line oriented.  Line 1 begins with "FILTER COEFFICIENT FILE"
// (23 characters compared); line 2 holds "IR DESIGN" from its second
// character, its first character choosing the form: 'F' an FIR file,
// anything else an IIR file.  Header lines are read one at a time (at most
// 80 characters count); a coefficient value is read by skipping white space
// (blank lines too), converting one number and discarding the rest of its
// line.
//
// FIR file                                   IIR file
//   2  FIR DESIGN [FLOATING POINT] [LATTICE]   3-4  (not used)
//   3  rate from column 29, HERTZ or angular   5-6  a number at column 29 (not used)
//   4  taps T                                  7    (not used)
//   5  (T in hex)                              8    HERTZ or angular
//   6  quantization bits B                     9    rate from column 29
//   7  (B in hex)                              10   (not used)
//   fixed point only:                          11-13 order P, sections K, bits B,
//   8  shift count S                                 each after 21 columns as
//   9  (S in hex)                                    "%d" then "%xh"
//   then T taps: floats, or fixed-point        14   quantization line
//   lines "<decimal> <hex> ..." whose hex      15   structure line
//   word is the tap, shifted left by S bits    then the values of the record
//   (right by -S) within its width              type (see readFilterFile)
//
// Record types loaded (a record is one element of the data array):
//   12 iir1INT2, 16 iir2INT2, 36   sections of c0 ... c4 and a shift, 16-bit
//                                  words: Q15 coefficients
//   13 iir1INT4, 17 iir2INT4, 37   c0 ... c4 as 32-bit Q23 words, then the
//                                  16-bit shift
//   18 iir2REAL4                   sections of four floats
//   20 fir4INT2, 21 fir4INT4       one Q15 (16-bit) or Q23 (32-bit) tap
//   22 fir4REAL4, 30               one float tap, one float reflection
//                                  coefficient (FIR lattice)
//   29                             IIR lattice: gamma[0 ... P], then
//                                  kappa[0 ... P-1] (2P + 1 floats); P records
#pragma once

#include <cstdint>

#include "signal/descriptor.h"

namespace qf {

// Reader results.
enum FilterFileStatus : int32_t {
    kFilterLoaded = 0,
    kFilterNotFound = 2,         // missing file (reported), or a read error
    kFilterNoMemory = 3,         // the coefficients could not be held
    kFilterNotCoefficients = 5,  // not a coefficient file, an unknown quantization or
                                 // structure line, or fewer values than announced
    kFilterUnsupported = 7,      // an IIR combination without a record type, or a
                                 // fixed-point FIR lattice
    kFilterBadBits = 9,          // a fixed-point FIR that is neither 16- nor 24-bit
};

// Record types of loaded filters.
enum FilterType : int32_t {
    kIirCascade1Q15 = 12,    // iir1INT2
    kIirCascade1Q23 = 13,    // iir1INT4
    kIirCascade2Q15 = 16,    // iir2INT2
    kIirCascade2Q23 = 17,    // iir2INT4
    kIirFloatSections = 18,  // iir2REAL4
    kFirQ15 = 20,            // fir4INT2
    kFirQ23 = 21,            // fir4INT4
    kFirFloat = 22,          // fir4REAL4
    kIirLattice = 29,
    kFirLattice = 30,
    kIirParallelQ15 = 36,
    kIirParallelQ23 = 37,
};

// The largest tap count, section count or lattice order a file may
// announce (larger headers are refused before anything is held).
constexpr int32_t kMaxFilterRecords = int32_t{1} << 20;

// One second-order section of the fixed-point forms.
struct SectionQ15 {
    int16_t c[5];  // c0 ... c4, (16,15)
    int16_t shift;
};
struct SectionQ23 {
    int32_t c[5];  // c0 ... c4, (32,23)
    int16_t shift;
    int16_t unused;
};
struct SectionFloat {
    float c[4];
};
static_assert(sizeof(SectionQ15) == 12 && sizeof(SectionQ23) == 24 && sizeof(SectionFloat) == 16,
              "sections are the records of their types");

// A loaded filter: the memory-only descriptor and the values read beside
// the coefficients.  Frees its coefficients when it goes.
struct LoadedFilter {
    SignalDescriptor d{};  // file entry, type, records, rate; buffer = coefficients
    int32_t bits = 0;      // quantization bits read from the file
    int32_t shift = 0;     // fixed-point FIR: the shift count read from the file
    // Header words of the fixed-point IIR forms, as read: gain, gain shift,
    // second gain, second gain shift (16-bit values for the Q15 forms).
    int32_t headerWords[4] = {};
    float gain = 0.0f;  // floating-point sections and IIR lattice

    LoadedFilter() = default;
    LoadedFilter(const LoadedFilter&) = delete;
    LoadedFilter& operator=(const LoadedFilter&) = delete;
    ~LoadedFilter() { release(); }
    void release();  // frees the coefficients; the descriptor is closed
    bool loaded() const { return d.isOpen(); }

    int32_t type() const { return d.recordType; }
    int32_t records() const { return d.recordCount; }
    template <typename T>
    const T* data() const {
        return static_cast<const T*>(d.buffer);
    }
};

// Reads the coefficient file `file` (directory, then name) into `filter`.
// Returns a FilterFileStatus; on any nonzero status the filter holds
// nothing, a missing file has been reported ("Did not find <path>") and an
// unsupported FIR bit count logged.  Used by filtering and by anything else
// that loads a .flt file.
int32_t readFilterFile(const nameNpath& file, LoadedFilter& filter);

}  // namespace qf
