// Signal file format: tables, header text, record layouts and positions.
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
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "signal/numfmt.h"

namespace qf {

namespace {

struct RecordTypeEntry {
    const char* name;
    const char* description;  // null: the name
};

constexpr RecordTypeEntry kRecordTypes[kRecordTypeCount] = {
    {"INTEGER16", "16 bit fractional"},
    {"INTEGER32", "32 bit fractional"},
    {"REAL32", "IEEE 32 bit float"},
    {"REAL64", "IEEE 64 bit double"},
    {"corrINT2       4", nullptr},
    {"corrINT4       5", nullptr},
    {"corrREAL4      6", nullptr},
    {"corrREAL8      7", nullptr},
    {"CINT32RECT(W)", "complex 16 bit fractional"},
    {"freqINT8rec    9", nullptr},
    {"CREAL64RECT(W)", "complex 32 bit float"},
    {"CREAL128RECT(W)", "complex 64 bit double"},
    {"iir1INT2      12", nullptr},
    {"iir1INT4      13", nullptr},
    {"iir1REAL4     14", nullptr},
    {"iir1REAL8     15", nullptr},
    {"iir2INT2      16", nullptr},
    {"iir2INT4      17", nullptr},
    {"iir2REAL4     18", nullptr},
    {"iir2REAL8     19", nullptr},
    {"fir4INT2      20", nullptr},
    {"fir4INT4      21", nullptr},
    {"fir4REAL4     22", nullptr},
    {"fir4REAL8     23", nullptr},
    {"freqINT4pol   24", nullptr},
    {"freqINT8pol   25", nullptr},
    {"CREAL64POLAR(W) 26", nullptr},
    {"CREAL128POLAR(W)27", nullptr},
    {"REALTIMEINT16", nullptr},
    {"              29", nullptr},
    {"              30", nullptr},
    {"              31", nullptr},
    {"LPCCoeffINT2  32", nullptr},
    {"LPCCoeffINT4  33", nullptr},
    {"LPCCoeffREAL4 34", nullptr},
    {"LPCCoeffREAL8 35", nullptr},
    {"              36", nullptr},
    {"              37", nullptr},
};

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
        uint64_t mag = 0;
        while (pos_ < t_.size() && t_[pos_] >= '0' && t_[pos_] <= '9') {
            if (mag < (uint64_t{1} << 62)) mag = mag * 10 + static_cast<uint64_t>(t_[pos_] - '0');
            ++pos_;
        }
        if (pos_ == start) return false;
        const int64_t m = static_cast<int64_t>(std::min<uint64_t>(mag, uint64_t{1} << 62));
        v = neg ? -m : m;
        return true;
    }
    // "%lg": white space, then a decimal number, "inf" or "nan".
    bool real(double& v) {
        skipSpace();
        std::size_t p = pos_;
        bool plus = p < t_.size() && t_[p] == '+';
        if (plus) ++p;
        if (p < t_.size() && t_[p] == '-' && plus) return false;
        const char* first = t_.data() + p;
        const char* last = t_.data() + t_.size();
        double x = 0.0;
        auto r = std::from_chars(first, last, x);
        if (r.ptr == first) return false;
        if (r.ec == std::errc::result_out_of_range) x = outOfRange(first, r.ptr);
        v = x;
        pos_ = static_cast<std::size_t>(r.ptr - t_.data());
        return true;
    }

    static double outOfRange(const char* first, const char* last) {
        const bool neg = *first == '-';
        const char* e = std::find_if(first, last, [](char c) { return c == 'e' || c == 'E'; });
        const bool tiny = e != last && e + 1 != last && e[1] == '-';
        const double mag = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        return neg ? -mag : mag;
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
    double r = 0.0, g = 0.0;
    int64_t s = 0;
    if (!c.real(r)) return 0;
    range = static_cast<float>(r);
    if (!c.real(g)) return 1;
    gain = static_cast<float>(g);
    if (!c.integer(s)) return 2;
    source = static_cast<int>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
    return 3;
}

// ---------------------------------------------------------------------------
// Record fields.

const char kHex[] = "0123456789ABCDEF";

char* putHex16(char* o, int16_t v) {
    const uint16_t u = static_cast<uint16_t>(v);
    o[0] = kHex[(u >> 12) & 15];
    o[1] = kHex[(u >> 8) & 15];
    o[2] = kHex[(u >> 4) & 15];
    o[3] = kHex[u & 15];
    return o + 4;
}

char* putCrLf(char* o) {
    o[0] = '\r';
    o[1] = '\n';
    return o + 2;
}

const char* skipBlank(const char* p, const char* end) {
    while (p < end && isSpace(*p)) ++p;
    return p;
}

// " %hx": an optional sign, an optional 0x, hex digits; the low 16 bits.
const char* parseHex16(const char* p, const char* end, int16_t& v) {
    p = skipBlank(p, end);
    bool neg = false;
    if (p < end && (*p == '+' || *p == '-')) neg = *p++ == '-';
    if (end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(p[2])))
        p += 2;
    uint32_t u = 0;
    const char* start = p;
    for (; p < end; ++p) {
        const char c = *p;
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            break;
        u = ((u << 4) | static_cast<uint32_t>(d)) & 0xFFFFu;
    }
    if (p == start) {
        v = 0;
        return nullptr;
    }
    if (neg) u = (0x10000u - u) & 0xFFFFu;
    v = static_cast<int16_t>(static_cast<uint16_t>(u));
    return p;
}

// " %e" / " %le": a decimal number, "inf" or "nan" (either case).
template <typename T>
const char* parseReal(const char* p, const char* end, T& v) {
    p = skipBlank(p, end);
    if (p < end && *p == '+') ++p;
    T x = 0;
    auto r = std::from_chars(p, end, x);
    if (r.ptr == p) {
        v = 0;
        return nullptr;
    }
    if (r.ec == std::errc::result_out_of_range) {
        double d = 0.0;
        auto rd = std::from_chars(p, end, d);
        if (rd.ec == std::errc::result_out_of_range) d = Cursor::outOfRange(p, rd.ptr);
        x = static_cast<T>(d);
    }
    v = x;
    return r.ptr;
}

// " j" between the parts of a complex record.
const char* skipJ(const char* p, const char* end) {
    if (p == nullptr) return nullptr;
    p = skipBlank(p, end);
    return p < end && *p == 'j' ? p + 1 : nullptr;
}

template <typename T>
void byteSwap(T* v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char b[sizeof(T)];
        std::memcpy(b, &v[i], sizeof(T));
        std::reverse(b, b + sizeof(T));
        std::memcpy(&v[i], b, sizeof(T));
    }
}

}  // namespace

const char* recordTypeName(int32_t type) {
    return type >= 0 && type < kRecordTypeCount ? kRecordTypes[type].name : nullptr;
}

const char* recordTypeDescription(int32_t type) {
    if (type < 0 || type >= kRecordTypeCount) return nullptr;
    const RecordTypeEntry& e = kRecordTypes[type];
    return e.description ? e.description : e.name;
}

int32_t recordTypeFromWord(std::string_view word) {
    if (word.empty()) return -1;
    for (int32_t t = 0; t < kRecordTypeCount; ++t)
        if (firstWord(kRecordTypes[t].name) == word) return t;
    return -1;
}

bool isFileRecordType(int32_t type) {
    return type == kInteger16 || type == kReal32 || type == kCInt32Rect || type == kCReal128Rect ||
           type == kRealtimeInt16 || type == kLpcCoeffReal8;
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
    switch (type) {
        case kInteger16:
        case kRealtimeInt16:
            size = 2, textWidth = 6;
            return true;
        case kReal32:
            size = 4, textWidth = 17;
            return true;
        case kCInt32Rect:
            size = 4, textWidth = 12;
            return true;
        case kCReal128Rect:
            size = 16, textWidth = 50;
            return true;
        case kLpcCoeffReal8:
            size = 8, textWidth = 25;
            return true;
        default:
            return false;
    }
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
    switch (d.recordType) {
        case kCInt32Rect:
        case kCReal128Rect: {
            const char* w = windowName(d.param3);
            s += fmtString("Frame size            : %d\r\n", d.param1);
            s += fmtString("Frame interval        : %d\r\n", d.param2);
            s += fmtString("Window function       : %s\r\n", w ? w : "Unknown");
            break;
        }
        case kRealtimeInt16: {
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
        case kLpcCoeffReal8:
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
    switch (h.recordType) {
        case kCInt32Rect:
        case kCReal128Rect:
            h.assigned += fieldInteger(c, h.param[0]);
            h.assigned += fieldInteger(c, h.param[1]);
            if (fieldWord(c, h.windowWord, sizeof h.windowWord)) {
                ++h.assigned;
                h.window = windowNumber(h.windowWord);
            }
            break;
        case kLpcCoeffReal8:
            for (int k = 0; k < 3; ++k) h.assigned += fieldInteger(c, h.param[k]);
            break;
        case kRealtimeInt16: {
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
    switch (type) {
        case kCInt32Rect:
        case kCReal128Rect:
        case kLpcCoeffReal8:
            return 9;
        case kRealtimeInt16:
            return 8;
        default:
            return 6;
    }
}

bool headerValuesUsable(const HeaderScan& h) {
    auto in32 = [](int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
    if (h.recordCount < 0 || h.recordCount > INT32_MAX) return false;
    switch (h.recordType) {
        case kCInt32Rect:
        case kCReal128Rect:
            // A frame holds at least one record and no more than the header
            // counts; an interval may be negative (one frame from a sample).
            return h.param[0] >= 1 && h.param[0] <= h.recordCount && in32(h.param[1]);
        case kLpcCoeffReal8:
            // Record positions divide by the order.
            return h.param[0] >= 1 && 2 * h.param[0] <= h.recordCount && in32(h.param[1]) &&
                   in32(h.param[2]);
        case kRealtimeInt16:
            return h.param[0] >= 0 && h.param[0] <= kMaxChannels && in32(h.param[1]);
        default:
            return true;
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
    switch (h.recordType) {
        case kCInt32Rect:
        case kCReal128Rect:
            d.param1 = p32(0);
            d.param2 = p32(1);
            d.param3 = h.window;
            break;
        case kLpcCoeffReal8:
            d.param1 = p32(0);
            d.param2 = p32(1);
            d.param3 = p32(2);
            break;
        case kRealtimeInt16: {
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
        switch (d.recordType) {
            case kInteger16:
            case kRealtimeInt16:
                o = putHex16(o, static_cast<const int16_t*>(records)[k]);
                break;
            case kReal32:
                o += fmtRecordExp(o, static_cast<const float*>(records)[k], 7);
                break;
            case kCInt32Rect: {
                const int16_t* v = static_cast<const int16_t*>(records) + 2 * k;
                o = putHex16(o, v[0]);
                *o++ = ' ';
                *o++ = 'j';
                o = putHex16(o, v[1]);
                break;
            }
            case kCReal128Rect: {
                const double* v = static_cast<const double*>(records) + 2 * k;
                o += fmtRecordExp(o, v[0], 15);
                *o++ = ' ';
                *o++ = 'j';
                o += fmtRecordExp(o, v[1], 15);
                break;
            }
            case kLpcCoeffReal8:
                o += fmtRecordExp(o, static_cast<const double*>(records)[k], 15);
                break;
            default:
                break;
        }
        o = putCrLf(o);
    }
}

void parseTextRecords(const SignalDescriptor& d, const char* text, std::size_t len, int32_t first,
                      int32_t n, void* records) {
    const int64_t base = recordPosition(d, first);
    const bool frames = hasFrameLines(d);
    const int32_t p = d.param1;
    for (int32_t k = 0; k < n; ++k) {
        const int32_t j = first + k;
        int64_t at = recordPosition(d, j) - base;
        if (frames && j % p == 0) at += lpcHeaderLineWidth(d);
        const int64_t stop = std::min<int64_t>(at + d.recordWidth, static_cast<int64_t>(len));
        const char* s = text + std::min<int64_t>(at, static_cast<int64_t>(len));
        const char* e = text + std::max<int64_t>(stop, s - text);
        switch (d.recordType) {
            case kInteger16:
            case kRealtimeInt16:
                parseHex16(s, e, static_cast<int16_t*>(records)[k]);
                break;
            case kReal32:
                parseReal(s, e, static_cast<float*>(records)[k]);
                break;
            case kCInt32Rect: {
                int16_t* v = static_cast<int16_t*>(records) + 2 * k;
                const char* q = skipJ(parseHex16(s, e, v[0]), e);
                if (q)
                    parseHex16(q, e, v[1]);
                else
                    v[1] = 0;
                break;
            }
            case kCReal128Rect: {
                double* v = static_cast<double*>(records) + 2 * k;
                const char* q = skipJ(parseReal(s, e, v[0]), e);
                if (q)
                    parseReal(q, e, v[1]);
                else
                    v[1] = 0.0;
                break;
            }
            case kLpcCoeffReal8:
                parseReal(s, e, static_cast<double*>(records)[k]);
                break;
            default:
                break;
        }
    }
}

void toLittleEndian(int32_t type, void* records, int32_t n) {
    if constexpr (std::endian::native == std::endian::little) {
        (void)type, (void)records, (void)n;
    } else {
        const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
        switch (type) {
            case kInteger16:
            case kRealtimeInt16:
                byteSwap(static_cast<int16_t*>(records), count);
                break;
            case kCInt32Rect:
                byteSwap(static_cast<int16_t*>(records), 2 * count);
                break;
            case kReal32:
                byteSwap(static_cast<uint32_t*>(records), count);
                break;
            case kCReal128Rect:
                byteSwap(static_cast<uint64_t*>(records), 2 * count);
                break;
            case kLpcCoeffReal8:
                byteSwap(static_cast<uint64_t*>(records), count);
                break;
            default:
                break;
        }
    }
}

}  // namespace qf
