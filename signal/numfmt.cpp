// printf-compatible formatter with three-digit exponents.
//
// The format string is walked conversion by conversion.  Integer, pointer
// and wide-character conversions are handed to snprintf one at a time with
// the argument of the type their length modifier names.  Floating-point
// conversions (e E f F g G) are produced with std::to_chars, which rounds
// exactly like printf in the "C" locale but ignores the process locale; the
// exponent is then widened to at least three digits ("1e+06" -> "1e+006")
// and sign, case and field width are applied here.  The alternate form '#'
// and the hexadecimal conversions (a A) go through snprintf instead.
#include "signal/numfmt.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/fs.h"

namespace qf {

namespace {

// Output with vsnprintf semantics: counts everything, stores what fits.
struct Sink {
    char* buf;
    std::size_t cap;
    std::size_t len = 0;

    void put(const char* s, std::size_t k) {
        if (cap > 0 && len + 1 < cap) {
            std::size_t room = cap - 1 - len;
            std::memcpy(buf + len, s, k < room ? k : room);
        }
        len += k;
    }
    void put(std::string_view s) { put(s.data(), s.size()); }
    void fill(char c, std::size_t k) {
        for (std::size_t i = 0; i < k; ++i) put(&c, 1);
    }
    void finish() {
        if (cap == 0) return;
        buf[len < cap ? len : cap - 1] = '\0';
    }
};

enum class Len { none, hh, h, l, ll, L, j, z, t };

struct Conversion {
    bool minus = false;  // left-justify
    bool plus = false;   // always a sign
    bool space = false;  // blank in place of '+'
    bool hash = false;   // alternate form
    bool zero = false;   // pad with zeros
    bool quote = false;  // thousands grouping (passed through)
    int width = -1;
    int precision = -1;
    Len len = Len::none;
    char conv = 0;
};

const char* lenText(Len l) {
    switch (l) {
        case Len::hh:
            return "hh";
        case Len::h:
            return "h";
        case Len::l:
            return "l";
        case Len::ll:
            return "ll";
        case Len::L:
            return "L";
        case Len::j:
            return "j";
        case Len::z:
            return "z";
        case Len::t:
            return "t";
        default:
            return "";
    }
}

// Rebuilds one conversion for snprintf; the width is left out when the
// caller pads the result itself.
std::string directiveText(const Conversion& s, bool withWidth, bool withLength = true) {
    std::string t = "%";
    if (s.minus) t += '-';
    if (s.plus) t += '+';
    if (s.space) t += ' ';
    if (s.hash) t += '#';
    if (s.zero && withWidth) t += '0';
    if (s.quote) t += '\'';
    if (withWidth && s.width >= 0) t += std::to_string(s.width);
    if (s.precision >= 0) t += '.' + std::to_string(s.precision);
    if (withLength) t += lenText(s.len);
    t += s.conv;
    return t;
}

template <typename T>
std::string snprintfOne(const std::string& conversion, T value) {
    char small[256];
    int r = std::snprintf(small, sizeof small, conversion.c_str(), value);
    if (r < 0) return std::string();
    if (static_cast<std::size_t>(r) < sizeof small) return std::string(small, r);
    std::string big(static_cast<std::size_t>(r) + 1, '\0');
    std::snprintf(big.data(), big.size(), conversion.c_str(), value);
    big.resize(static_cast<std::size_t>(r));
    return big;
}

// Pads a converted field to the width.  Zeros go after the sign (and after a
// "0x" prefix) when the '0' flag is set and the value is a number.
void putPadded(Sink& out, const Conversion& s, std::string_view body, bool zeroAllowed) {
    std::size_t w = s.width > 0 ? static_cast<std::size_t>(s.width) : 0;
    if (body.size() >= w) {
        out.put(body);
        return;
    }
    std::size_t pad = w - body.size();
    if (s.minus) {
        out.put(body);
        out.fill(' ', pad);
    } else if (s.zero && zeroAllowed) {
        std::size_t lead = 0;
        if (!body.empty() && (body[0] == '-' || body[0] == '+' || body[0] == ' ')) lead = 1;
        if (body.size() >= lead + 2 && body[lead] == '0' &&
            (body[lead + 1] == 'x' || body[lead + 1] == 'X'))
            lead += 2;
        out.put(body.substr(0, lead));
        out.fill('0', pad);
        out.put(body.substr(lead));
    } else {
        out.fill(' ', pad);
        out.put(body);
    }
}

// Widens the exponent after 'e'/'E' to at least three digits.
void widenExponent(std::string& t) {
    std::size_t e = t.find_first_of("eE");
    if (e == std::string::npos || e + 1 >= t.size()) return;
    std::size_t d = e + 1;
    if (t[d] == '+' || t[d] == '-') ++d;
    std::size_t digits = t.size() - d;
    if (digits < 3) t.insert(d, 3 - digits, '0');
}

template <typename F>
void putFloat(Sink& out, const Conversion& s, F v) {
    const char c = s.conv;
    const bool upper = c == 'E' || c == 'F' || c == 'G' || c == 'A';
    const bool finite = std::isfinite(v);
    std::string body;
    if (s.hash || c == 'a' || c == 'A') {
        body = snprintfOne(directiveText(s, false), v);
    } else {
        std::chars_format form = std::chars_format::general;
        if (c == 'e' || c == 'E') form = std::chars_format::scientific;
        if (c == 'f' || c == 'F') form = std::chars_format::fixed;
        int prec = s.precision < 0 ? 6 : s.precision;
        if (form == std::chars_format::general && prec == 0) prec = 1;
        char small[512];
        auto r = std::to_chars(small, small + sizeof small, v, form, prec);
        if (r.ec == std::errc()) {
            body.assign(small, r.ptr);
        } else {
            std::vector<char> big(static_cast<std::size_t>(prec) + 5100);
            r = std::to_chars(big.data(), big.data() + big.size(), v, form, prec);
            body.assign(big.data(), r.ec == std::errc() ? r.ptr : big.data());
        }
        if (body.empty() || body[0] != '-') {
            if (s.plus)
                body.insert(body.begin(), '+');
            else if (s.space)
                body.insert(body.begin(), ' ');
        }
        if (upper)
            for (char& ch : body)
                if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    }
    if (finite && c != 'a' && c != 'A' && c != 'f' && c != 'F') widenExponent(body);
    putPadded(out, s, body, finite);
}

template <typename T>
void putSnprintf(Sink& out, const Conversion& s, T v) {
    out.put(snprintfOne(directiveText(s, true), v));
}

void putString(Sink& out, const Conversion& s, const char* str) {
    if (!str) str = "(null)";
    std::size_t n =
        s.precision >= 0 ? strnlen(str, static_cast<std::size_t>(s.precision)) : std::strlen(str);
    putPadded(out, s, std::string_view(str, n), false);
}

template <typename T>
void storeCount(std::va_list& ap, std::size_t count) {
    T* p = va_arg(ap, T*);
    if (p) *p = static_cast<T>(count);
}

// Formats one conversion whose directive has been parsed; consumes its argument.
void convert(Sink& out, const Conversion& s, std::va_list& ap) {
    using SSize = std::make_signed_t<std::size_t>;
    using UPtrdiff = std::make_unsigned_t<std::ptrdiff_t>;
    switch (s.conv) {
        case 'd':
        case 'i':
            switch (s.len) {
                case Len::l:
                    return putSnprintf(out, s, va_arg(ap, long));
                case Len::ll:
                    return putSnprintf(out, s, va_arg(ap, long long));
                case Len::j:
                    return putSnprintf(out, s, va_arg(ap, std::intmax_t));
                case Len::z:
                    return putSnprintf(out, s, va_arg(ap, SSize));
                case Len::t:
                    return putSnprintf(out, s, va_arg(ap, std::ptrdiff_t));
                default:
                    return putSnprintf(out, s, va_arg(ap, int));
            }
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            switch (s.len) {
                case Len::l:
                    return putSnprintf(out, s, va_arg(ap, unsigned long));
                case Len::ll:
                    return putSnprintf(out, s, va_arg(ap, unsigned long long));
                case Len::j:
                    return putSnprintf(out, s, va_arg(ap, std::uintmax_t));
                case Len::z:
                    return putSnprintf(out, s, va_arg(ap, std::size_t));
                case Len::t:
                    return putSnprintf(out, s, va_arg(ap, UPtrdiff));
                default:
                    return putSnprintf(out, s, va_arg(ap, unsigned));
            }
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (s.len == Len::L) return putFloat(out, s, va_arg(ap, long double));
            return putFloat(out, s, va_arg(ap, double));
        case 'c':
            if (s.len == Len::l) return putSnprintf(out, s, va_arg(ap, std::wint_t));
            {
                char ch = static_cast<char>(va_arg(ap, int));
                putPadded(out, s, std::string_view(&ch, 1), false);
            }
            return;
        case 's':
            if (s.len == Len::l) return putSnprintf(out, s, va_arg(ap, const wchar_t*));
            return putString(out, s, va_arg(ap, const char*));
        case 'p':
            return putSnprintf(out, s, va_arg(ap, void*));
        case 'm':
            return putString(out, s, std::strerror(errno));
        case 'n':
            switch (s.len) {
                case Len::hh:
                    return storeCount<signed char>(ap, out.len);
                case Len::h:
                    return storeCount<short>(ap, out.len);
                case Len::l:
                    return storeCount<long>(ap, out.len);
                case Len::ll:
                    return storeCount<long long>(ap, out.len);
                case Len::j:
                    return storeCount<std::intmax_t>(ap, out.len);
                case Len::z:
                    return storeCount<SSize>(ap, out.len);
                case Len::t:
                    return storeCount<std::ptrdiff_t>(ap, out.len);
                default:
                    return storeCount<int>(ap, out.len);
            }
        default:
            break;
    }
}

}  // namespace

int fmtV(char* buf, std::size_t n, const char* f, std::va_list apIn) {
    Sink out{buf, n};
    std::va_list ap;
    va_copy(ap, apIn);
    const char* p = f;
    while (*p) {
        if (*p != '%') {
            const char* q = std::strchr(p, '%');
            std::size_t k = q ? static_cast<std::size_t>(q - p) : std::strlen(p);
            out.put(p, k);
            p += k;
            continue;
        }
        const char* start = p++;
        if (*p == '%') {
            out.put("%", 1);
            ++p;
            continue;
        }
        Conversion s;
        for (;; ++p) {
            if (*p == '-')
                s.minus = true;
            else if (*p == '+')
                s.plus = true;
            else if (*p == ' ')
                s.space = true;
            else if (*p == '#')
                s.hash = true;
            else if (*p == '0')
                s.zero = true;
            else if (*p == '\'')
                s.quote = true;
            else
                break;
        }
        if (*p == '*') {
            int w = va_arg(ap, int);
            if (w < 0) {
                s.minus = true;
                w = w == INT32_MIN ? INT32_MAX : -w;
            }
            s.width = w;
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') {
                s.width = (s.width < 0 ? 0 : s.width) * 10 + (*p - '0');
                if (s.width > 1000000) s.width = 1000000;
                ++p;
            }
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                int pr = va_arg(ap, int);
                s.precision = pr < 0 ? -1 : pr;
                ++p;
            } else {
                s.precision = 0;
                while (*p >= '0' && *p <= '9') {
                    s.precision = s.precision * 10 + (*p - '0');
                    if (s.precision > 1000000) s.precision = 1000000;
                    ++p;
                }
            }
        }
        if (p[0] == 'h' && p[1] == 'h') {
            s.len = Len::hh;
            p += 2;
        } else if (p[0] == 'l' && p[1] == 'l') {
            s.len = Len::ll;
            p += 2;
        } else if (*p == 'h') {
            s.len = Len::h;
            ++p;
        } else if (*p == 'l') {
            s.len = Len::l;
            ++p;
        } else if (*p == 'L' || *p == 'q') {
            s.len = *p == 'L' ? Len::L : Len::ll;
            ++p;
        } else if (*p == 'j') {
            s.len = Len::j;
            ++p;
        } else if (*p == 'z' || *p == 'Z') {
            s.len = Len::z;
            ++p;
        } else if (*p == 't') {
            s.len = Len::t;
            ++p;
        }
        if (*p == '\0') {
            out.put(start, static_cast<std::size_t>(p - start));
            break;
        }
        s.conv = *p++;
        if (!std::strchr("diuoxXeEfFgGaAcspmn", s.conv)) {
            // Not a conversion: copied as it stands.
            out.put(start, static_cast<std::size_t>(p - start));
            continue;
        }
        convert(out, s, ap);
    }
    va_end(ap);
    out.finish();
    return out.len > static_cast<std::size_t>(INT32_MAX) ? -1 : static_cast<int>(out.len);
}

int fmt(char* buf, std::size_t n, const char* f, ...) {
    std::va_list ap;
    va_start(ap, f);
    int r = fmtV(buf, n, f, ap);
    va_end(ap);
    return r;
}

namespace {
std::string fmtStringV(const char* f, std::va_list ap) {
    char small[512];
    std::va_list ap2;
    va_copy(ap2, ap);
    int r = fmtV(small, sizeof small, f, ap2);
    va_end(ap2);
    std::string s;
    if (r < 0) return s;
    if (static_cast<std::size_t>(r) < sizeof small) {
        s.assign(small, static_cast<std::size_t>(r));
    } else {
        s.resize(static_cast<std::size_t>(r) + 1);
        va_copy(ap2, ap);
        fmtV(s.data(), s.size(), f, ap2);
        va_end(ap2);
        s.resize(static_cast<std::size_t>(r));
    }
    return s;
}
}  // namespace

std::string fmtString(const char* f, ...) {
    std::va_list ap;
    va_start(ap, f);
    std::string s = fmtStringV(f, ap);
    va_end(ap);
    return s;
}

int fmtFile(std::FILE* file, const char* f, ...) {
    std::va_list ap;
    va_start(ap, f);
    std::string s = fmtStringV(f, ap);
    va_end(ap);
    if (!file) return -1;
    return platform::writeText(file, s) ? static_cast<int>(s.size()) : -1;
}

int fmtRecordExp(char* out, double v, int precision) {
    if (precision < 1) precision = 1;
    if (precision > 40) precision = 40;
    const int width = precision + 8;
    if (!std::isfinite(v)) {
        // Every NaN is written alike: its sign means nothing.
        const char* t = std::isnan(v) ? "NAN" : (v < 0 ? "-INF" : "INF");
        const int k = static_cast<int>(std::strlen(t));
        std::memset(out, ' ', static_cast<std::size_t>(width - k));
        std::memcpy(out + width - k, t, static_cast<std::size_t>(k));
        return width;
    }
    char tmp[80];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, v, std::chars_format::scientific, precision);
    const char* q = tmp;
    char* o = out;
    *o++ = (*q == '-') ? (++q, '-') : ' ';
    // Mantissa "d.ddd", then "e", the sign and the exponent digits.
    const char* e =
        static_cast<const char*>(std::memchr(q, 'e', static_cast<std::size_t>(r.ptr - q)));
    std::size_t mant = static_cast<std::size_t>(e - q);
    std::memcpy(o, q, mant);
    o += mant;
    *o++ = 'E';
    *o++ = e[1];
    const char* digits = e + 2;
    std::size_t nd = static_cast<std::size_t>(r.ptr - digits);
    for (std::size_t i = nd; i < 3; ++i) *o++ = '0';
    std::memcpy(o, digits, nd);
    o += nd;
    return static_cast<int>(o - out);
}

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

template <typename T>
const char* parseRealAs(const char* first, const char* last, T& v) {
    const char* p = first;
    const bool neg = p < last && *p == '-';
    if (p < last && (*p == '+' || *p == '-')) ++p;
    if (p == last || *p == '+' || *p == '-') return nullptr;
    std::chars_format form = std::chars_format::general;
    const char* body = p;
    if (last - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        ((last - p >= 3 && isHexDigit(p[2])) ||
         (last - p >= 4 && p[2] == '.' && isHexDigit(p[3])))) {
        form = std::chars_format::hex;
        body = p + 2;
    }
    T x{};
    const auto r = std::from_chars(body, last, x, form);
    if (r.ptr == body) {
        // "0x" not followed by a hexadecimal number reads as the 0.
        if (form == std::chars_format::hex) {
            v = neg ? -T(0) : T(0);
            return p + 1;
        }
        return nullptr;
    }
    if (r.ec == std::errc::result_out_of_range) {
        // The exponent's sign tells an overflow from an underflow.
        const char* e = body;
        const char mark = form == std::chars_format::hex ? 'p' : 'e';
        while (e < r.ptr && (*e | 0x20) != mark) ++e;
        const bool tiny = e + 1 < r.ptr && e[1] == '-';
        x = tiny ? T(0) : std::numeric_limits<T>::infinity();
    }
    if (neg) x = -x;  // the sign was read here, not by from_chars
    v = x;
    return r.ptr;
}

}  // namespace

const char* parseReal(const char* first, const char* last, double& v) {
    return parseRealAs(first, last, v);
}

const char* parseReal(const char* first, const char* last, float& v) {
    return parseRealAs(first, last, v);
}

}  // namespace qf
