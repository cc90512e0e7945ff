// The signal file format: the record type and window name tables, the text
// header (writing and scanning), the text and binary record layouts and the
// byte position of every record.
//
// A file is a header of "Key<blank padded to 22>: value" lines ending with
// "Data begin            #" CR LF (text data) or '#' CR 0x1A (binary data),
// followed by equally wide records.  Record i starts at D + i * W, D being
// the byte after the header and W the record width; coefficient files add
// one 33-byte frame header line before every group of p records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "signal/descriptor.h"

namespace qf {

// Record type numbers (index into the record type table).
enum RecordType : int32_t {
    kInteger16 = 0,
    kInteger32 = 1,
    kReal32 = 2,
    kReal64 = 3,
    kCInt32Rect = 8,
    kCReal64Rect = 10,
    kCReal128Rect = 11,
    kRealtimeInt16 = 28,
    kLpcCoeffReal8 = 35,
};
constexpr int32_t kRecordTypeCount = 38;

// What a record type is for.
enum class RecordUse : uint8_t {
    None,    // named in the table only
    File,    // a signal file type: read and written through a window
    Memory,  // a memory-only array of filter coefficients (sigOpenMemory)
};
// How one value of a text record is written and read.
enum class TextValue : uint8_t {
    None,
    Hex16,   // a 16-bit word, "%04.4hX": four hex digits ("FFFF" = -1)
    Real32,  // a float, "% 14.7E" (record_text.h)
    Real64,  // a double, "% 22.15lE" (record_text.h)
};
// The header lines after the six every file has.
enum class HeaderLines : uint8_t {
    Common,        // none
    Frames,        // frame size, frame interval, window function
    Channels,      // number of channels, device code, one calibration line each
    Coefficients,  // LPC order, frame size, frame interval
};

// The facts of one record type; recordTraits(type) gives them.
struct RecordTraits {
    const char* name = nullptr;         // table name; its first word names the type
    const char* description = nullptr;  // shown to users; null: the name
    RecordUse use = RecordUse::None;
    int32_t size = 0;       // bytes of a record in memory (and in a binary file)
    int32_t textWidth = 0;  // bytes of a text record including CR LF
    TextValue value = TextValue::None;
    int32_t values = 0;     // values per record: 2 for complex (real " j" imaginary)
    int32_t precision = 0;  // digits after the point of a real value
    int headerValues = 6;   // values a valid header assigns
    HeaderLines header = HeaderLines::Common;
    bool frameLines = false;     // text records in groups of the order, each after a
                                 // frame line; always written as text
    int32_t countPerRecord = 1;  // memory arrays: counted values that make a record
};
// The table entry of a type; an entry of no use and no name outside 0..37.
const RecordTraits& recordTraits(int32_t type);

constexpr int32_t kWindowCount = 16;
// The analysis windows' names, as frame spectrum headers write them.
inline constexpr const char* kWindowNames[kWindowCount] = {
    "Rectangular",   "Hanning",      "Blackman",     "Exact_Blackman",
    "Hamming",       "Min_3-terms",  "Min_4-terms",  "Gaussian(3.0)",
    "Gaussian(3.5)", "Poisson(3.0)", "Poisson(4.0)", "Cauchy(4.0)",
    "Cauchy(5.0)",   "Kaiser(3.0)",  "Kaiser(3.5)",  "Triangular",
};
constexpr int kRemarkMax = 127;                  // characters of a remark
constexpr int kLpcHeaderLineWidth = 33;          // "Frame %9ld : a1, a2, a3..." CR LF
constexpr int kHeaderKeyWidth = 22;              // key column of a header line
constexpr std::size_t kHeaderScanLimit = 65536;  // bytes searched for the '#'

// Table name of a record type ("CINT32RECT(W)", "corrINT2       4"), or null
// outside 0..37.
const char* recordTypeName(int32_t type);
// Text shown to users for the type ("IEEE 32 bit float"); the name where the
// table has no description; null outside 0..37.
const char* recordTypeDescription(int32_t type);
// Index of the first table entry whose first word equals `word`, or -1.
int32_t recordTypeFromWord(std::string_view word);
// True for the six types a signal file can hold.
bool isFileRecordType(int32_t type);

// Window name table ("Rectangular" ... "Triangular"); null outside 0..15.
const char* windowName(int32_t window);
// Stores a remark, cut to kRemarkMax characters.
void setRemark(SignalDescriptor& d, std::string_view remark);
// "Rectangular=0 Hanning=1 ... Triangular=15": the names as choices.
const char* windowChoiceText();
// Window number of an exact name, -1 when the name is not in the table.
int32_t windowNumber(std::string_view name);

// Bytes of one record in memory (and in a binary file) and of one text
// record including CR LF.  False for types outside the file types.
bool recordSizes(int32_t type, int32_t& size, int32_t& textWidth);

// Byte position of record i of an open descriptor (uses dataOffset,
// recordWidth, format and, for coefficient files, the order in param1).
// For a coefficient text file whose index is a multiple of the order this is
// the position of the frame header line before the record.
int64_t recordPosition(const SignalDescriptor& d, int64_t i);
// Number of whole records a data part of `bytes` bytes holds.
int64_t recordsInBytes(const SignalDescriptor& d, int64_t bytes);
// Width of a coefficient file's frame header line (33, or 32 in a file
// whose lines end with a bare LF).
inline int32_t lpcHeaderLineWidth(const SignalDescriptor& d) {
    return d.recordWidth + 8;
}
// True when the descriptor's text records are interleaved with frame lines.
inline bool hasFrameLines(const SignalDescriptor& d) {
    return recordTraits(d.recordType).frameLines && d.format != 'b' && d.param1 > 0;
}

// The complete header text of a file for the descriptor's type, format and
// header fields, ending with the "Data begin" line and its end bytes.
std::string headerText(const SignalDescriptor& d);

// What a header scan found.  `assigned` counts the values the scans
// assigned (lines 1 to 6 plus the type-specific lines, not the channel
// lines); a header is valid when it equals requiredHeaderValues(type).
struct HeaderScan {
    int assigned = 0;
    char remark[kRemarkMax + 1] = {};
    int64_t recordCount = 0;
    char typeWord[64] = {};
    int32_t recordType = -1;  // -1: no table entry has that first word
    double signalFrequency = 0.0;
    double samplingRate = 0.0;
    char format = 0;  // lowered
    int64_t param[3] = {0, 0, 0};
    char windowWord[64] = {};
    int32_t window = -1;
    int channelLines = 0;  // calibration lines read completely
    float channelRange[kMaxChannels] = {};
    float channelGain[kMaxChannels] = {};
    int channelSource[kMaxChannels] = {};
};
// Scans the header text (everything before the first '#').  Type-specific
// lines are scanned only for the six file types.
HeaderScan scanHeader(std::string_view header);
int requiredHeaderValues(int32_t type);
// Checks the scanned numbers against what a descriptor can hold: counts in
// 32 bits, finite rates, at most 32 channels, a frame size and LPC order
// that fit the records.  Null when they can; else why not, with the number
// of the header line that holds the value.
const char* headerProblem(const HeaderScan& h, int& line);
inline bool headerValuesUsable(const HeaderScan& h) {
    int line = 0;
    return headerProblem(h, line) == nullptr;
}
// Copies the scanned header into the descriptor (remark, rates, format,
// type, params, channel calibration with its defaults).
void applyHeader(const HeaderScan& h, SignalDescriptor& d);

// Text records [first, first + n) of the descriptor's type, formatted from
// `records` (in-memory values, records[0] being record `first`) into `out`,
// which holds recordPosition(first + n) - recordPosition(first) bytes.
void formatTextRecords(const SignalDescriptor& d, const void* records, int32_t first, int32_t n,
                       char* out);
// Parses text records [first, first + n) from `text` (the same span of the
// file) into `records`.  Each record must stand in its place: its values,
// blanks around them, " j" between the parts of a complex record, and its
// line end; a coefficient file's frame lines must start with "Frame ".
// Returns -1 when all n were read, else the index of the first record that
// is not a record of the type (the records before it are stored).
int32_t parseTextRecords(const SignalDescriptor& d, const char* text, std::size_t len,
                         int32_t first, int32_t n, void* records);
// Line number (from 1) of text record i of a file whose header, the "Data
// begin" line included, has `headerLines` lines.
int64_t recordLineNumber(const SignalDescriptor& d, int64_t i, int64_t headerLines);

// Binary records are little-endian; on a big-endian machine the values are
// byte-swapped in place before writing and after reading.
void toLittleEndian(int32_t type, void* records, int32_t n);

}  // namespace qf
