// The coefficient file reader (see coefficient_file.h for the layout).
//
// Numbers are converted the way the C library's scanf converts them, but
// bounded and without the process locale: "%d" and "%ld" keep the low 32
// bits of the value written, "%hd" and "%hx" the low 16 bits, "%lx" the low
// 32 bits, "%g" rounds the decimal text straight to a float.  Counts are
// checked before anything is held, and a file that ends before its last
// announced value is refused, so no filter runs on values that were never
// read.
#include "ops/filter/coefficient_file.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "core/engine.h"
#include "core/host.h"
#include "core/log.h"
#include "platform/fs.h"
#include "signal/access.h"

namespace qf {

void LoadedFilter::release() {
    sigFreeMemory(d);
}

namespace {

constexpr std::size_t kLineMax = 80;   // characters of a header line that count
constexpr std::size_t kTokenMax = 96;  // longest number text accepted
constexpr double kTwoPi = 6.283185307179586;

// ---- Number conversions ------------------------------------------------

bool isSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view skipSpace(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(static_cast<unsigned char>(s[i]))) ++i;
    return s.substr(i);
}

// "%d": an optional sign and decimal digits at the start of s.
bool parseInteger(std::string_view s, int64_t& v) {
    s = skipSpace(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    uint64_t magnitude = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), magnitude, 10);
    if (r.ec != std::errc() || magnitude > uint64_t{1} << 63) return false;
    if (!negative && magnitude == uint64_t{1} << 63) return false;
    v = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// "%x": an optional sign, an optional 0x, hexadecimal digits.
bool parseHex(std::string_view s, uint64_t& v) {
    s = skipSpace(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(s[2])))
        s.remove_prefix(2);
    uint64_t magnitude = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), magnitude, 16);
    if (r.ec != std::errc()) return false;
    v = negative ? 0 - magnitude : magnitude;
    return true;
}

// "%g" / "%lg": a decimal (or 0x hexadecimal) floating-point number, rounded
// once to the target type; too large gives infinity, too small zero.
template <typename T>
bool parseReal(std::string_view s, T& v) {
    s = skipSpace(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s[0] == '+' || s[0] == '-') return false;
    std::chars_format format = std::chars_format::general;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        format = std::chars_format::hex;
        s.remove_prefix(2);
    }
    T x{};
    const auto r = std::from_chars(s.data(), s.data() + s.size(), x, format);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond the type's range: the exponent's sign says which end.
        const std::string_view used(s.data(), static_cast<std::size_t>(r.ptr - s.data()));
        const std::size_t e = used.find_first_of(format == std::chars_format::hex ? "pP" : "eE");
        const bool tiny = e != std::string_view::npos && e + 1 < used.size() && used[e + 1] == '-';
        x = tiny ? T(0) : std::numeric_limits<T>::infinity();
    } else if (r.ec != std::errc()) {
        return false;
    }
    v = negative ? -x : x;
    return true;
}

// ---- The file, read line by line and value by value -------------------

class CoefficientText {
  public:
    explicit CoefficientText(std::FILE* f) : f_(f) {}

    // One header line without its end (CR LF or LF), at most kLineMax
    // characters of it; false at the end of the file.
    bool line(std::string& out) {
        out.clear();
        int c = platform::readChar(f_);
        if (c == EOF) return false;
        for (; c != EOF && c != '\n'; c = platform::readChar(f_))
            if (out.size() < kLineMax + 1) out.push_back(static_cast<char>(c));
        if (!out.empty() && out.back() == '\r') out.pop_back();
        complete_ = out.size() <= kLineMax;
        if (!complete_) out.resize(kLineMax);
        return true;
    }
    // True when the last line fitted kLineMax characters.
    bool lastLineComplete() const { return complete_; }

    // Skips white space (blank lines too) and reads one word.  False at the
    // end of the file or for a word too long to be a number.
    bool word(std::string& out) {
        out.clear();
        int c = platform::readChar(f_);
        while (c != EOF && isSpace(c)) c = platform::readChar(f_);
        for (; c != EOF && !isSpace(c); c = platform::readChar(f_)) {
            if (out.size() == kTokenMax) return false;
            out.push_back(static_cast<char>(c));
        }
        platform::unreadChar(f_, c);
        return !out.empty();
    }
    // Discards the rest of the current line.
    void restOfLine() {
        int c = platform::readChar(f_);
        while (c != EOF && c != '\n') c = platform::readChar(f_);
    }

    // One value on a line of its own: the number, then the rest of the line.
    bool integer(int64_t& v) {
        return value([&v](std::string_view s) { return parseInteger(s, v); });
    }
    bool real(float& v) {
        return value([&v](std::string_view s) { return parseReal(s, v); });
    }
    // A fixed-point FIR tap line: a word (the decimal value), then the
    // hexadecimal word, then the rest of the line.
    bool hexTap(uint64_t& v) {
        std::string first;
        if (!word(first)) return false;
        return value([&v](std::string_view s) { return parseHex(s, v); });
    }

    bool failed() const { return platform::fileFailed(f_); }

  private:
    template <typename F>
    bool value(F convert) {
        std::string w;
        if (!word(w) || !convert(w)) return false;
        restOfLine();
        return true;
    }

    std::FILE* f_;
    bool complete_ = true;
};

bool contains(const std::string& line, const char* text) {
    return line.find(text) != std::string::npos;
}

// "%*28c%lg": the number after the first 28 columns.
bool numberAtColumn29(const std::string& line, double& v) {
    return line.size() >= 28 && parseReal(std::string_view(line).substr(28), v);
}

// "%*21c %d %*xh": the decimal number after the first 21 columns.
bool countAtColumn22(const std::string& line, int64_t& v) {
    return line.size() >= 21 && parseInteger(std::string_view(line).substr(21), v);
}

bool boundedCount(int64_t v, int32_t& count) {
    if (v < 0 || v > kMaxFilterRecords) return false;
    count = static_cast<int32_t>(v);
    return true;
}

// The low 16 or 32 bits of a value read, as the C library stores "%hd"
// and "%d".
int16_t low16(int64_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v)));
}
int32_t low32(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

// A tap word shifted within its width: left by s bits, or arithmetically
// right by -s bits.
int64_t shiftWithin(int64_t word, int32_t s, int width) {
    if (s > 0) return s >= width ? 0 : static_cast<int64_t>(static_cast<uint64_t>(word) << s);
    if (s < 0) return -s >= width ? (word < 0 ? -1 : 0) : word >> -s;
    return word;
}

// The rate written in a line: hertz when the line says HERTZ, otherwise an
// angular rate.
double rateOf(double value, const std::string& unitLine) {
    return contains(unitLine, "HERTZ") ? value : value / kTwoPi;
}

// ---- FIR files ----------------------------------------------------------

int32_t readFir(CoefficientText& in, const std::string& design, LoadedFilter& filter) {
    const bool floating = contains(design, "FLOATING POINT");
    const bool lattice = contains(design, "LATTICE");
    std::string line, unused;
    double value = 0.0;
    int64_t taps = 0, bits = 0;
    if (!in.line(line)) return kFilterNotCoefficients;
    // A rate that cannot be read is 0 (filtering then warns about it).
    const double rate = numberAtColumn29(line, value) ? rateOf(value, line) : 0.0;
    if (!in.line(line) || !parseInteger(line, taps) || !in.line(unused))
        return kFilterNotCoefficients;
    // Bits that cannot be read are 0: floating-point taps do not use them,
    // fixed-point taps of 0 bits are refused below.
    if (!in.line(line) || !in.line(unused)) return kFilterNotCoefficients;
    if (!parseInteger(line, bits)) bits = 0;
    int32_t count = 0;
    if (!boundedCount(taps, count)) return kFilterNotCoefficients;
    filter.bits = low32(bits);

    if (!floating && lattice) return kFilterUnsupported;  // fixed-point lattice: no record type
    int32_t type = floating ? (lattice ? kFirLattice : kFirFloat) : 0;
    int64_t shift = 0;
    if (!floating) {
        if (!in.line(line)) return kFilterNotCoefficients;
        const bool haveShift = parseInteger(line, shift);
        in.line(unused);
        if (filter.bits != 16 && filter.bits != 24) {
            logPrintf("%d-bit FIR coefficients not supported.\n", filter.bits);
            return kFilterBadBits;
        }
        if (!haveShift) return kFilterNotCoefficients;
        type = filter.bits == 16 ? kFirQ15 : kFirQ23;
        filter.shift = low32(shift);
    }
    if (sigOpenMemory(filter.d, type, count) != 0) return kFilterNoMemory;
    filter.d.samplingRate = rate;
    for (int32_t i = 0; i < count; ++i) {
        if (floating) {
            if (!in.real(static_cast<float*>(filter.d.buffer)[i])) return kFilterNotCoefficients;
            continue;
        }
        uint64_t word = 0;
        if (!in.hexTap(word)) return kFilterNotCoefficients;
        if (type == kFirQ15)
            static_cast<int16_t*>(filter.d.buffer)[i] =
                low16(shiftWithin(low16(static_cast<int64_t>(word)), filter.shift, 16));
        else
            static_cast<int32_t*>(filter.d.buffer)[i] =
                low32(shiftWithin(low32(static_cast<int64_t>(word)), filter.shift, 32));
    }
    return kFilterLoaded;
}

// ---- IIR files ----------------------------------------------------------

enum class Quantization { Unknown, Floating, Fixed };
enum class Structure { Unknown, Cascade1, Cascade2, FloatingSections, Parallel1, Lattice };

Quantization quantizationOf(const std::string& line) {
    if (line == "QUANTIZATION TYPE - BLOCK FLOATING POINT" ||
        line == "QUANTIZATION TYPE - FLOATING POINT")
        return Quantization::Floating;
    if (line == "QUANTIZATION TYPE - FRACTIONAL FIXED POINT") return Quantization::Fixed;
    return Quantization::Unknown;
}

Structure structureOf(const std::string& line) {
    if (line == "COEFFICIENTS SCALED FOR CASCADE FORM I") return Structure::Cascade1;
    if (line == "COEFFICIENTS SCALED FOR CASCADE FORM II") return Structure::Cascade2;
    if (line == "COEFFICIENTS SCALED FOR FLOATING POINT IMPLEMENTATION")
        return Structure::FloatingSections;
    if (line == "COEFFICIENTS SCALED FOR PARALLEL FORM I (TRANSPOSE FORM)")
        return Structure::Parallel1;
    if (line == "COEFFICIENTS SCALED FOR LATTICE STRUCTURE") return Structure::Lattice;
    return Structure::Unknown;
}

// The record type of a combination (0: none), tried in the table's order.
int32_t iirTypeOf(Quantization q, Structure s, int32_t bits) {
    if (q == Quantization::Floating && (s == Structure::Cascade1 || s == Structure::Cascade2))
        return 0;
    if (q == Quantization::Floating && s == Structure::FloatingSections) return kIirFloatSections;
    if (q == Quantization::Fixed && bits == 16) {
        if (s == Structure::Cascade1) return kIirCascade1Q15;
        if (s == Structure::Cascade2) return kIirCascade2Q15;
        if (s == Structure::Parallel1) return kIirParallelQ15;
    }
    if (q == Quantization::Fixed && bits == 24) {
        if (s == Structure::Cascade1) return kIirCascade1Q23;
        if (s == Structure::Cascade2) return kIirCascade2Q23;
        if (s == Structure::Parallel1) return kIirParallelQ23;
    }
    if (s == Structure::Lattice) return kIirLattice;
    return 0;
}

int32_t readIirValues(CoefficientText& in, LoadedFilter& f) {
    int64_t v = 0;
    auto next16 = [&](int16_t& out) {
        if (!in.integer(v)) return false;
        out = low16(v);
        return true;
    };
    auto next32 = [&](int32_t& out) {
        if (!in.integer(v)) return false;
        out = low32(v);
        return true;
    };
    auto word16 = [&](int32_t& out) {
        int16_t w = 0;
        if (!next16(w)) return false;
        out = w;
        return true;
    };
    int32_t* h = f.headerWords;
    const int32_t count = f.records();
    switch (f.type()) {
        case kIirFloatSections: {
            if (!in.real(f.gain)) return kFilterNotCoefficients;
            auto* s = static_cast<SectionFloat*>(f.d.buffer);
            for (int32_t i = 0; i < count; ++i)
                for (float& c : s[i].c)
                    if (!in.real(c)) return kFilterNotCoefficients;
            return kFilterLoaded;
        }
        case kIirCascade1Q15:
        case kIirCascade2Q15:
        case kIirParallelQ15: {
            // gain shift, gain [, second gain, second gain shift]
            if (!word16(h[1]) || !word16(h[0])) return kFilterNotCoefficients;
            if (f.type() == kIirParallelQ15 && (!word16(h[2]) || !word16(h[3])))
                return kFilterNotCoefficients;
            auto* s = static_cast<SectionQ15*>(f.d.buffer);
            for (int32_t i = 0; i < count; ++i) {
                if (!next16(s[i].shift)) return kFilterNotCoefficients;
                for (int16_t& c : s[i].c)
                    if (!next16(c)) return kFilterNotCoefficients;
            }
            return kFilterLoaded;
        }
        case kIirCascade1Q23:
        case kIirCascade2Q23:
        case kIirParallelQ23: {
            if (!next32(h[1]) || !next32(h[0])) return kFilterNotCoefficients;
            if (f.type() == kIirParallelQ23 && (!next32(h[2]) || !next32(h[3])))
                return kFilterNotCoefficients;
            auto* s = static_cast<SectionQ23*>(f.d.buffer);
            for (int32_t i = 0; i < count; ++i) {
                if (!next16(s[i].shift)) return kFilterNotCoefficients;
                for (int32_t& c : s[i].c)
                    if (!next32(c)) return kFilterNotCoefficients;
            }
            return kFilterLoaded;
        }
        case kIirLattice: {
            if (!in.real(f.gain)) return kFilterNotCoefficients;
            auto* values = static_cast<float*>(f.d.buffer);
            for (int32_t i = 0; i < 2 * count + 1; ++i)
                if (!in.real(values[i])) return kFilterNotCoefficients;
            return kFilterLoaded;
        }
        default:
            return kFilterUnsupported;
    }
}

int32_t readIir(CoefficientText& in, LoadedFilter& filter) {
    std::string line, unitLine;
    double value = 0.0;
    for (int n = 3; n <= 7; ++n)
        if (!in.line(line)) return kFilterNotCoefficients;
    if (!in.line(unitLine) || !in.line(line)) return kFilterNotCoefficients;
    const double rate = numberAtColumn29(line, value) ? rateOf(value, unitLine) : 0.0;
    // Order, sections and bits; each is needed only by some structures.
    int64_t counts[3] = {-1, -1, 0};  // -1: not readable
    if (!in.line(line)) return kFilterNotCoefficients;
    for (int64_t& c : counts) {
        if (!in.line(line)) return kFilterNotCoefficients;
        int64_t v = 0;
        if (countAtColumn22(line, v)) c = v;
    }
    const int64_t order = counts[0], sections = counts[1];
    filter.bits = low32(counts[2]);

    if (!in.line(line) || !in.lastLineComplete()) return kFilterNotCoefficients;
    const Quantization q = quantizationOf(line);
    if (!in.line(line) || !in.lastLineComplete()) return kFilterNotCoefficients;
    const Structure s = structureOf(line);
    if (q == Quantization::Unknown || s == Structure::Unknown) return kFilterNotCoefficients;

    const int32_t type = iirTypeOf(q, s, filter.bits);
    if (type == 0) return kFilterUnsupported;
    int32_t count = 0;
    if (!boundedCount(type == kIirLattice ? order : sections, count)) return kFilterNotCoefficients;
    // An IIR lattice of order P holds 2P + 1 values and reports P records.
    if (sigOpenMemory(filter.d, type, type == kIirLattice ? 2 * count + 1 : count) != 0)
        return kFilterNoMemory;
    filter.d.samplingRate = rate;
    return readIirValues(in, filter);
}

int32_t readFrom(std::FILE* f, LoadedFilter& filter) {
    CoefficientText in(f);
    std::string first, design;
    if (!in.line(first) || first.compare(0, 23, "FILTER COEFFICIENT FILE") != 0)
        return kFilterNotCoefficients;
    if (!in.line(design) || design.size() < 10 || design.compare(1, 9, "IR DESIGN") != 0)
        return kFilterNotCoefficients;
    const int32_t r = design[0] == 'F' ? readFir(in, design, filter) : readIir(in, filter);
    if (in.failed()) return kFilterNotFound;
    return r;
}

}  // namespace

int32_t readFilterFile(const nameNpath& file, LoadedFilter& filter) {
    filter.release();
    filter.bits = filter.shift = 0;
    std::memset(filter.headerWords, 0, sizeof filter.headerWords);
    filter.gain = 0.0f;
    const std::string path = std::string(file.p, strnlen(file.p, sizeof file.p)) +
                             std::string(file.n, strnlen(file.n, sizeof file.n));
    int32_t result = kFilterNotFound;
    if (const platform::OwnedFile f{platform::openFile(path.c_str(), "rb")}) {
        result = readFrom(f.get(), filter);
    } else {
        emitMsg(QF_MSG_ERROR, "Did not find %s", path.c_str());
    }
    if (result == kFilterNoMemory) emitText(QF_MSG_ERROR, kOutOfMemoryText);
    if (result == kFilterLoaded) {
        std::memcpy(&filter.d.file, &file, sizeof file);
        filter.d.file.n[sizeof file.n - 1] = '\0';
        filter.d.file.p[sizeof file.p - 1] = '\0';
        return result;
    }
    filter.release();
    if (status().busy == 'y') status().busy = 'n';
    return result;
}

}  // namespace qf
