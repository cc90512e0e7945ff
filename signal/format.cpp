// Signal file format: the record type table, header text, record layouts
// and positions.  Every per-type fact lives in the table (kRecordTraits);
// the functions here read it rather than knowing types by number.
//
// Text records (widths include CR LF):
//   INTEGER16, REALTIMEINT16  "%04.4hX"               6 bytes  "FFFF" = -1
//   REAL32                    "% 14.7E"              17 bytes  " 1.0000000E+000"
//   CINT32RECT(W)             "%04.4X j%04.4X"       12 bytes  real, imaginary
//   CREAL128RECT(W)           "% 22.15lE j% 22.15lE" 50 bytes
//   LPCCoeffREAL8             "% 22.15lE"            25 bytes, and a 33-byte
//                             "Frame %9ld : a1, a2, a3..." line before each
//                             group of p coefficients ("k1, k2, k3..." for
//                             the reflection coefficients).
// The header is scanned the way the C library's fscanf scans it, one
// "%*[^:]: <conversion>" per line; a line that does not match leaves the
// scan where it stopped, so the following lines are read from there.
#include "signal/format.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <type_traits>

#include "signal/numfmt.h"
#include "signal/record_text.h"

namespace qf {

namespace {

constexpr int32_t valueBytes(TextValue v) {
    return v == TextValue::Hex16 ? 2 : v == TextValue::Real32 ? 4 : v == TextValue::Real64 ? 8 : 0;
}

// Characters of one value in a text record (fmtRecordExp writes P + 8).
constexpr int32_t valueWidth(TextValue v, int32_t precision) {
    return v == TextValue::Hex16 ? 4 : v == TextValue::None ? 0 : precision + 8;
}

constexpr RecordTraits named(const char* name, const char* description = nullptr) {
    RecordTraits t;
    t.name = name;
    t.description = description;
    return t;
}

constexpr RecordTraits fileType(const char* name, const char* description, int32_t size,
                                int32_t textWidth, TextValue value, int32_t values,
                                int32_t precision, HeaderLines header) {
    RecordTraits t = named(name, description);
    t.use = RecordUse::File;
    t.size = size;
    t.textWidth = textWidth;
    t.value = value;
    t.values = values;
    t.precision = precision;
    t.header = header;
    // Lines 1 to 6, then the type's own lines (channel lines not counted).
    t.headerValues = header == HeaderLines::Channels ? 8 : header == HeaderLines::Common ? 6 : 9;
    return t;
}

constexpr RecordTraits withFrameLines(RecordTraits t) {
    t.frameLines = true;
    return t;
}

constexpr RecordTraits memoryArray(const char* name, int32_t size, int32_t countPerRecord = 1) {
    RecordTraits t = named(name);
    t.use = RecordUse::Memory;
    t.size = size;
    t.countPerRecord = countPerRecord;
    return t;
}

constexpr TextValue kWord = TextValue::Hex16, kFloat = TextValue::Real32,
                    kDouble = TextValue::Real64;
constexpr HeaderLines kCommon = HeaderLines::Common, kFrames = HeaderLines::Frames,
                      kChannels = HeaderLines::Channels, kLpc = HeaderLines::Coefficients;

// Every record type by number.  A type without a name of its own is named
// by its number at the end of a 16-character field.  A file type gives its
// name, description (null: the name), record size in bytes, text record
// width including CR LF, value kind, values per record, digits after the
// point of a real value, and header lines; a memory array its name, record
// size and how many counted values make one record.
// clang-format off
constexpr RecordTraits kRecordTraits[kRecordTypeCount] = {
    fileType("INTEGER16",        "16 bit fractional",          2,  6, kWord,   1,  0, kCommon),
    named(   "INTEGER32",        "32 bit fractional"),
    fileType("REAL32",           "IEEE 32 bit float",          4, 17, kFloat,  1,  7, kCommon),
    named(   "REAL64",           "IEEE 64 bit double"),
    named(   "corrINT2       4"),
    named(   "corrINT4       5"),
    named(   "corrREAL4      6"),
    named(   "corrREAL8      7"),
    fileType("CINT32RECT(W)",    "complex 16 bit fractional",  4, 12, kWord,   2,  0, kFrames),
    named(   "freqINT8rec    9"),
    named(   "CREAL64RECT(W)",   "complex 32 bit float"),
    fileType("CREAL128RECT(W)",  "complex 64 bit double",     16, 50, kDouble, 2, 15, kFrames),
    memoryArray("iir1INT2      12", 12),
    memoryArray("iir1INT4      13", 24),
    memoryArray("iir1REAL4     14", 16),
    memoryArray("iir1REAL8     15", 32),
    memoryArray("iir2INT2      16", 12),
    memoryArray("iir2INT4      17", 24),
    memoryArray("iir2REAL4     18", 16),
    memoryArray("iir2REAL8     19", 32),
    memoryArray("fir4INT2      20",  2),
    memoryArray("fir4INT4      21",  4),
    memoryArray("fir4REAL4     22",  4),
    memoryArray("fir4REAL8     23",  4),
    named(   "freqINT4pol   24"),
    named(   "freqINT8pol   25"),
    named(   "CREAL64POLAR(W) 26"),
    named(   "CREAL128POLAR(W)27"),
    fileType("REALTIMEINT16",    nullptr,                      2,  6, kWord,   1,  0, kChannels),
    memoryArray("              29",  4, 2),
    memoryArray("              30",  4),
    named(   "              31"),
    named(   "LPCCoeffINT2  32"),
    named(   "LPCCoeffINT4  33"),
    named(   "LPCCoeffREAL4 34"),
    withFrameLines(
    fileType("LPCCoeffREAL8 35", nullptr,                      8, 25, kDouble, 1, 15, kLpc)),
    memoryArray("              36", 12),
    memoryArray("              37", 24),
};
// clang-format on

// A file type's record is its values, and its text record the values'
// fields with " j" between them and CR LF after them.
constexpr bool consistent(const RecordTraits& t) {
    if (t.use != RecordUse::File)
        return t.textWidth == 0 && t.value == TextValue::None && !t.frameLines;
    return t.values >= 1 && t.size == t.values * valueBytes(t.value) &&
           t.textWidth == t.values * valueWidth(t.value, t.precision) + 2 * (t.values - 1) + 2;
}
static_assert(std::all_of(std::begin(kRecordTraits), std::end(kRecordTraits), consistent),
              "record sizes and text widths follow the values");
static_assert(kRecordTraits[kInteger16].use == RecordUse::File &&
                  kRecordTraits[kReal32].use == RecordUse::File &&
                  kRecordTraits[kCInt32Rect].use == RecordUse::File &&
                  kRecordTraits[kCReal128Rect].use == RecordUse::File &&
                  kRecordTraits[kRealtimeInt16].use == RecordUse::File &&
                  kRecordTraits[kLpcCoeffReal8].frameLines,
              "the record type numbers name their table entries");

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view firstWord(const char* s) {
    while (*s == ' ') ++s;
    const char* e = s;
    while (*e && *e != ' ') ++e;
    return std::string_view(s, static_cast<std::size_t>(e - s));
}

// ---------------------------------------------------------------------------
// Header scanning: the conversions of fscanf over the header text.

class Cursor {
  public:
    explicit Cursor(std::string_view t) : t_(t) {}

    void skipSpace() {
        while (pos_ < t_.size() && isSpace(t_[pos_])) ++pos_;
    }
    bool literal(char c) {
        if (pos_ < t_.size() && t_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool literal(std::string_view s) {
        for (char c : s)
            if (!literal(c)) return false;
        return true;
    }
    // "%*[^:]": one or more characters other than ':'.
    bool skipToColon() {
        std::size_t start = pos_;
        while (pos_ < t_.size() && t_[pos_] != ':') ++pos_;
        return pos_ > start;
    }
    // "%N[^\n]": one to cap-1 characters other than LF; a trailing CR of a
    // CR LF line end is dropped.
    bool restOfLine(char* buf, std::size_t cap) {
        std::size_t n = 0;
        while (pos_ < t_.size() && t_[pos_] != '\n' && n + 1 < cap) buf[n++] = t_[pos_++];
        buf[n] = '\0';
        if (n == 0) return false;
        if (buf[n - 1] == '\r') buf[n - 1] = '\0';
        return true;
    }
    // "%Ns": white space, then one to cap-1 non-blank characters.
    bool word(char* buf, std::size_t cap) {
        skipSpace();
        std::size_t n = 0;
        while (pos_ < t_.size() && !isSpace(t_[pos_]) && n + 1 < cap) buf[n++] = t_[pos_++];
        buf[n] = '\0';
        return n > 0;
    }
    // "%*s"
    bool skipWord() {
        skipSpace();
        std::size_t start = pos_;
        while (pos_ < t_.size() && !isSpace(t_[pos_])) ++pos_;
        return pos_ > start;
    }
    bool character(char& c) {
        if (pos_ >= t_.size()) return false;
        c = t_[pos_++];
        return true;
    }
    // "%ld": white space, an optional sign, decimal digits (saturating).
    bool integer(int64_t& v) {
        skipSpace();
        bool neg = false;
        if (pos_ < t_.size() && (t_[pos_] == '+' || t_[pos_] == '-')) neg = t_[pos_++] == '-';
        std::size_t start = pos_;
        constexpr uint64_t kCap = uint64_t{1} << 62;  // far beyond any count, and no wrap
        uint64_t mag = 0;
        while (pos_ < t_.size() && t_[pos_] >= '0' && t_[pos_] <= '9') {
            const uint64_t d = static_cast<uint64_t>(t_[pos_] - '0');
            mag = mag >= kCap / 10 ? kCap : std::min(mag * 10 + d, kCap);
            ++pos_;
        }
        if (pos_ == start) return false;
        const int64_t m = static_cast<int64_t>(mag);
        v = neg ? -m : m;
        return true;
    }
    // "%lg": white space, then a number as strtod reads it (locale-free).
    bool real(double& v) {
        skipSpace();
        const char* first = t_.data() + pos_;
        const char* end = parseReal(first, t_.data() + t_.size(), v);
        if (end == nullptr) return false;
        pos_ = static_cast<std::size_t>(end - t_.data());
        return true;
    }

  private:
    std::string_view t_;
    std::size_t pos_ = 0;
};

// "%*[^:]: " in front of each value.
bool fieldStart(Cursor& c) {
    if (!c.skipToColon() || !c.literal(':')) return false;
    c.skipSpace();
    return true;
}

int fieldLine(Cursor& c, char* buf, std::size_t cap) {
    return fieldStart(c) && c.restOfLine(buf, cap) ? 1 : 0;
}
int fieldInteger(Cursor& c, int64_t& v) {
    return fieldStart(c) && c.integer(v) ? 1 : 0;
}
int fieldReal(Cursor& c, double& v) {
    return fieldStart(c) && c.real(v) ? 1 : 0;
}
int fieldWord(Cursor& c, char* buf, std::size_t cap) {
    return fieldStart(c) && c.word(buf, cap) ? 1 : 0;
}
int fieldChar(Cursor& c, char& v) {
    return fieldStart(c) && c.character(v) ? 1 : 0;
}

// " Ch%*s range gain source: %g %g %d": the number of values assigned.
int channelLine(Cursor& c, float& range, float& gain, int& source) {
    c.skipSpace();
    if (!c.literal("Ch") || !c.skipWord()) return 0;
    for (const char* w : {"range", "gain", "source:"}) {
        c.skipSpace();
        if (!c.literal(std::string_view(w))) return 0;
    }
    // A calibration beyond the range of float is no calibration.
    auto asFloat = [](double x) { return std::fabs(x) <= std::numeric_limits<float>::max(); };
    double r = 0.0, g = 0.0;
    int64_t s = 0;
    if (!c.real(r) || !asFloat(r)) return 0;
    range = static_cast<float>(r);
    if (!c.real(g) || !asFloat(g)) return 1;
    gain = static_cast<float>(g);
    if (!c.integer(s)) return 2;
    source = static_cast<int>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
    return 3;
}

// ---------------------------------------------------------------------------
// Record fields.

char* putCrLf(char* o) {
    o[0] = '\r';
    o[1] = '\n';
    return o + 2;
}

// Value i of a record array, written as a text field.
char* putValue(char* o, const RecordTraits& t, const void* records, std::size_t i) {
    switch (t.value) {
        case TextValue::Hex16:
            putHex16Field(o, static_cast<const int16_t*>(records)[i]);
            return o + kHex16FieldWidth;
        case TextValue::Real32:
            putReal32Field(o, static_cast<const float*>(records)[i]);
            return o + kReal32FieldWidth;
        case TextValue::Real64:
            putReal64Field(o, static_cast<const double*>(records)[i]);
            return o + kReal64FieldWidth;
        case TextValue::None:
            break;
    }
    return o;
}

// Value i of a record array, read from the field [first, last).
bool readValue(const char* first, const char* last, const RecordTraits& t, void* records,
               std::size_t i) {
    switch (t.value) {
        case TextValue::Hex16:
            return readHex16Field(first, last, static_cast<int16_t*>(records)[i]);
        case TextValue::Real32:
            return readReal32Field(first, last, static_cast<float*>(records)[i]);
        case TextValue::Real64:
            return readReal64Field(first, last, static_cast<double*>(records)[i]);
        case TextValue::None:
            break;
    }
    return false;
}

// One record's values from the text before its line end: the fields, and
// for a complex record " j" between them.
bool readRecord(const char* first, const char* last, const RecordTraits& t, void* records,
                std::size_t k) {
    if (t.values == 1) return readValue(first, last, t, records, k);
    const char* at = first;
    for (int32_t v = 0; v < t.values; ++v) {
        const char* stop = last;
        if (v + 1 < t.values) {
            stop =
                static_cast<const char*>(std::memchr(at, 'j', static_cast<std::size_t>(last - at)));
            if (stop == nullptr) return false;
        }
        if (!readValue(at, stop, t, records, k * t.values + v)) return false;
        at = stop + 1;
    }
    return true;
}

// Reverses the bytes of each of n values of `width` bytes.
[[maybe_unused]] void byteSwap(void* values, std::size_t n, std::size_t width) {
    unsigned char* b = static_cast<unsigned char*>(values);
    for (std::size_t i = 0; i < n; ++i) std::reverse(b + i * width, b + (i + 1) * width);
}

}  // namespace

const RecordTraits& recordTraits(int32_t type) {
    static constexpr RecordTraits kNone{};
    return type >= 0 && type < kRecordTypeCount ? kRecordTraits[type] : kNone;
}

const char* recordTypeName(int32_t type) {
    return recordTraits(type).name;
}

const char* recordTypeDescription(int32_t type) {
    const RecordTraits& t = recordTraits(type);
    return t.description ? t.description : t.name;
}

int32_t recordTypeFromWord(std::string_view word) {
    if (word.empty()) return -1;
    for (int32_t t = 0; t < kRecordTypeCount; ++t)
        if (firstWord(kRecordTraits[t].name) == word) return t;
    return -1;
}

bool isFileRecordType(int32_t type) {
    return recordTraits(type).use == RecordUse::File;
}

void setRemark(SignalDescriptor& d, std::string_view remark) {
    const std::size_t n = std::min<std::size_t>(remark.size(), kRemarkMax);
    std::memset(d.remark, 0, sizeof d.remark);
    std::memcpy(d.remark, remark.data(), n);
}

const char* windowName(int32_t window) {
    return window >= 0 && window < kWindowCount ? kWindowNames[window] : nullptr;
}

const char* windowChoiceText() {
    static const std::string text = [] {
        std::string t;
        for (int32_t w = 0; w < kWindowCount; ++w)
            t += std::string(t.empty() ? "" : " ") + kWindowNames[w] + "=" + std::to_string(w);
        return t;
    }();
    return text.c_str();
}

int32_t windowNumber(std::string_view name) {
    for (int32_t w = 0; w < kWindowCount; ++w)
        if (name == kWindowNames[w]) return w;
    return -1;
}

bool recordSizes(int32_t type, int32_t& size, int32_t& textWidth) {
    const RecordTraits& t = recordTraits(type);
    if (t.use != RecordUse::File) return false;
    size = t.size;
    textWidth = t.textWidth;
    return true;
}

int64_t recordPosition(const SignalDescriptor& d, int64_t i) {
    int64_t pos = d.dataOffset + i * d.recordWidth;
    if (hasFrameLines(d)) {
        const int64_t p = d.param1;
        pos += ((i + p - 1) / p) * lpcHeaderLineWidth(d);
    }
    return pos;
}

int64_t recordsInBytes(const SignalDescriptor& d, int64_t bytes) {
    if (bytes <= 0 || d.recordWidth <= 0) return 0;
    if (!hasFrameLines(d)) return bytes / d.recordWidth;
    const int64_t p = d.param1;
    const int64_t line = lpcHeaderLineWidth(d);
    const int64_t group = p * d.recordWidth + line;
    const int64_t rest = bytes % group;
    return (bytes / group) * p + (rest > line ? (rest - line) / d.recordWidth : 0);
}

std::string headerText(const SignalDescriptor& d) {
    // The remark is one line without '#', which would end the header.
    char remark[kRemarkMax + 1] = {};
    const std::size_t n = strnlen(d.remark, kRemarkMax);
    for (std::size_t i = 0; i < n; ++i) {
        const char c = d.remark[i];
        remark[i] = (c == '#' || c == '\r' || c == '\n') ? ' ' : c;
    }
    const char* typeName = recordTypeName(d.recordType);
    std::string s;
    s += fmtString("Remark                : %s\r\n", remark);
    s += fmtString("Number of record      : %d\r\n", d.recordCount);
    s += fmtString("Record type number    : %s\r\n", typeName ? typeName : "");
    s += fmtString("Signal frequency      : %lg Hz\r\n", d.signalFrequency);
    s += fmtString("Sampling rate         : %lg Hz\r\n", d.samplingRate);
    s += fmtString("File format           : %s\r\n", d.format == 'b' ? "Binary" : "ASCII");
    switch (recordTraits(d.recordType).header) {
        case HeaderLines::Frames: {
            const char* w = windowName(d.param3);
            s += fmtString("Frame size            : %d\r\n", d.param1);
            s += fmtString("Frame interval        : %d\r\n", d.param2);
            s += fmtString("Window function       : %s\r\n", w ? w : "Unknown");
            break;
        }
        case HeaderLines::Channels: {
            s += fmtString("Number of channels    : %d\r\n", d.param1);
            s += fmtString("ADC/DAC device code   : %d\r\n", d.param2);
            const int lines = std::clamp(d.param1, 0, kMaxChannels);
            for (int c = 0; c < lines; ++c)
                s += fmtString("Ch%d%s range gain source: %lg %lg %d\r\n", c, c < 10 ? " " : "",
                               static_cast<double>(d.channelRange[c]),
                               static_cast<double>(d.channelGain[c]),
                               static_cast<int>(d.channelSource[c]));
            break;
        }
        case HeaderLines::Coefficients:
            s += fmtString("LPC Order             : %d\r\n", d.param1);
            s += fmtString("Frame Size            : %d\r\n", d.param2);
            s += fmtString("Frame Interval        : %d\r\n", d.param3);
            break;
        default:
            break;
    }
    s += d.format == 'b' ? "Data begin            #\r\x1A" : "Data begin            #\r\n";
    return s;
}

HeaderScan scanHeader(std::string_view header) {
    HeaderScan h;
    Cursor c(header);
    h.assigned += fieldLine(c, h.remark, sizeof h.remark);
    h.assigned += fieldInteger(c, h.recordCount);
    if (fieldWord(c, h.typeWord, sizeof h.typeWord)) {
        ++h.assigned;
        h.recordType = recordTypeFromWord(h.typeWord);
    }
    h.assigned += fieldReal(c, h.signalFrequency);
    h.assigned += fieldReal(c, h.samplingRate);
    if (fieldChar(c, h.format)) {
        ++h.assigned;
        if (h.format >= 'A' && h.format <= 'Z') h.format = static_cast<char>(h.format - 'A' + 'a');
    }
    switch (recordTraits(h.recordType).header) {
        case HeaderLines::Frames:
            h.assigned += fieldInteger(c, h.param[0]);
            h.assigned += fieldInteger(c, h.param[1]);
            if (fieldWord(c, h.windowWord, sizeof h.windowWord)) {
                ++h.assigned;
                h.window = windowNumber(h.windowWord);
            }
            break;
        case HeaderLines::Coefficients:
            for (int k = 0; k < 3; ++k) h.assigned += fieldInteger(c, h.param[k]);
            break;
        case HeaderLines::Channels: {
            h.assigned += fieldInteger(c, h.param[0]);
            h.assigned += fieldInteger(c, h.param[1]);
            const int64_t channels = h.param[0] == 0 ? 1 : h.param[0];
            for (int k = 0; k < channels && k < kMaxChannels; ++k) {
                if (channelLine(c, h.channelRange[k], h.channelGain[k], h.channelSource[k]) != 3)
                    break;
                ++h.channelLines;
            }
            break;
        }
        default:
            break;
    }
    return h;
}

int requiredHeaderValues(int32_t type) {
    return recordTraits(type).headerValues;
}

const char* headerProblem(const HeaderScan& h, int& line) {
    auto in32 = [](int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
    auto at = [&line](int l, const char* why) {
        line = l;
        return why;
    };
    if (h.recordCount < 0 || h.recordCount > INT32_MAX)
        return at(2, "the number of records is out of range");
    if (!std::isfinite(h.signalFrequency)) return at(4, "the signal frequency is not a number");
    if (!std::isfinite(h.samplingRate)) return at(5, "the sampling rate is not a number");
    switch (recordTraits(h.recordType).header) {
        case HeaderLines::Frames:
            // A frame holds at least one record and no more than the header
            // counts; an interval may be negative (one frame from a sample).
            if (h.param[0] < 1 || h.param[0] > h.recordCount)
                return at(7, "the frame size does not fit the records");
            if (!in32(h.param[1])) return at(8, "the frame interval is out of range");
            return nullptr;
        case HeaderLines::Coefficients:
            // Record positions divide by the order (compared without
            // doubling it: an order read from a file may be near 2^63).
            if (h.param[0] < 1 || h.param[0] > h.recordCount / 2)
                return at(7, "the LPC order does not fit the records");
            if (!in32(h.param[1])) return at(8, "the frame size is out of range");
            if (!in32(h.param[2])) return at(9, "the frame interval is out of range");
            return nullptr;
        case HeaderLines::Channels:
            if (h.param[0] < 0 || h.param[0] > kMaxChannels)
                return at(7, "the number of channels is not 0 to 32");
            if (!in32(h.param[1])) return at(8, "the device code is out of range");
            return nullptr;
        default:
            return nullptr;
    }
}

void applyHeader(const HeaderScan& h, SignalDescriptor& d) {
    std::memcpy(d.remark, h.remark, sizeof d.remark);
    d.remark[sizeof d.remark - 1] = '\0';
    d.recordType = h.recordType;
    d.recordCount = static_cast<int32_t>(std::clamp<int64_t>(h.recordCount, INT32_MIN, INT32_MAX));
    d.signalFrequency = h.signalFrequency;
    d.samplingRate = h.samplingRate;
    d.format = h.format;
    d.param1 = d.param2 = d.param3 = d.param4 = 0;
    for (int c = 0; c < kMaxChannels; ++c) {
        d.channelRange[c] = -1.0f;
        d.channelGain[c] = 1.0f;
        d.channelSource[c] = static_cast<uint8_t>(c);
    }
    auto p32 = [&](int k) {
        return static_cast<int32_t>(std::clamp<int64_t>(h.param[k], INT32_MIN, INT32_MAX));
    };
    switch (recordTraits(h.recordType).header) {
        case HeaderLines::Frames:
            d.param1 = p32(0);
            d.param2 = p32(1);
            d.param3 = h.window;
            break;
        case HeaderLines::Coefficients:
            d.param1 = p32(0);
            d.param2 = p32(1);
            d.param3 = p32(2);
            break;
        case HeaderLines::Channels: {
            d.param1 = h.param[0] == 0 ? 1 : p32(0);
            d.param2 = p32(1);
            if (d.param1 > 0 && h.channelLines >= d.param1) {
                for (int c = 0; c < d.param1 && c < kMaxChannels; ++c) {
                    d.channelRange[c] = h.channelRange[c];
                    d.channelGain[c] = h.channelGain[c];
                    d.channelSource[c] = static_cast<uint8_t>(h.channelSource[c]);
                }
            }
            break;
        }
        default:
            break;
    }
}

void formatTextRecords(const SignalDescriptor& d, const void* records, int32_t first, int32_t n,
                       char* out) {
    const RecordTraits& t = recordTraits(d.recordType);
    char* o = out;
    const bool frames = hasFrameLines(d);
    const int32_t p = d.param1;
    for (int32_t k = 0; k < n; ++k) {
        const int32_t j = first + k;
        if (frames && j % p == 0) {
            const int64_t frame = j / (2 * static_cast<int64_t>(p));
            char line[64];
            fmt(line, sizeof line, "Frame %9lld : %s\r\n", static_cast<long long>(frame),
                j % (2 * static_cast<int64_t>(p)) == 0 ? "a1, a2, a3..." : "k1, k2, k3...");
            std::memcpy(o, line, kLpcHeaderLineWidth);
            o += kLpcHeaderLineWidth;
        }
        for (int32_t v = 0; v < t.values; ++v) {
            if (v > 0) {
                *o++ = ' ';
                *o++ = 'j';
            }
            o = putValue(o, t, records, static_cast<std::size_t>(k) * t.values + v);
        }
        o = putCrLf(o);
    }
}

int32_t parseTextRecords(const SignalDescriptor& d, const char* text, std::size_t len,
                         int32_t first, int32_t n, void* records) {
    const RecordTraits& t = recordTraits(d.recordType);
    const bool frames = hasFrameLines(d);
    const int32_t p = d.param1;
    const int32_t width = d.recordWidth;
    // A file written with bare LF line ends has records one byte narrower.
    const int32_t lineEnd = width == t.textWidth ? 2 : 1;
    const int32_t frameLine = lpcHeaderLineWidth(d);
    auto endsLine = [lineEnd](const char* s, int32_t w) {
        return s[w - 1] == '\n' && (lineEnd == 1 || s[w - 2] == '\r');
    };
    const char* s = text;
    const char* end = text + len;
    for (int32_t k = 0; k < n; ++k) {
        const int32_t j = first + k;
        if (frames && j % p == 0) {
            if (end - s < frameLine || std::memcmp(s, "Frame ", 6) != 0 || !endsLine(s, frameLine))
                return j;
            s += frameLine;
        }
        if (end - s < width || !endsLine(s, width) ||
            !readRecord(s, s + width - lineEnd, t, records, static_cast<std::size_t>(k)))
            return j;
        s += width;
    }
    return -1;
}

int64_t recordLineNumber(const SignalDescriptor& d, int64_t i, int64_t headerLines) {
    int64_t line = headerLines + 1 + i;
    if (hasFrameLines(d)) line += i / d.param1 + 1;
    return line;
}

void toLittleEndian(int32_t type, void* records, int32_t n) {
    if constexpr (std::endian::native == std::endian::little) {
        (void)type, (void)records, (void)n;
    } else {
        const RecordTraits& t = recordTraits(type);
        if (t.use != RecordUse::File) return;
        const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
        byteSwap(records, count * static_cast<std::size_t>(t.values),
                 static_cast<std::size_t>(valueBytes(t.value)));
    }
}

}  // namespace qf
