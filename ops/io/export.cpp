// Operation 1150: a signal file written in a foreign format.  Text lines
// end with CR LF.
//
//   F   INTEGER16 sample s (REAL32 f first made s = f * 32768 by the
//       overflow mode for 0, 1, 2, 5, 6)
//   0   bytes s & 255, (s >> 8) & 255
//   1   "% 6d"
//   2   "%04hX" ("        .hword 0x" before it with assembler data)
//   5   WAVE, one byte (s + 32768) >> 8 a sample
//   6   WAVE, 16-bit words
//   10  FIR coefficient file: 16-bit taps s, or for REAL32 24-bit taps
//       f * 2^23 truncated
//   11  "% 14.7e" of s * 2^-15 (REAL32: f)
//   12  the float s * 2^-15 as two 16-bit words, low word first, the second
//       in lower case
//   13  "% 21.14e" of s * 2^-15 (REAL32: f as a double)
//   14  the double as four words, lowest first, the second in lower case
//
// CREAL128RECT(W) takes 11-14 for re then im.  A recording takes 0, 5 and
// 6 as INTEGER16 (the WAVE header names its channels) and writes one text
// line per sample instant, the channel values separated by " , " (11
// "% 9.7f", 13 "% 18.16f").  Codes 20 and 21 write 32-bit float WAVE and
// FLAC through the audio library; 30 chooses by the file name's extension.
//
// Assembler data (codes 2, 12 and 14 of a single-channel signal) starts
// with a ".section .data" prologue whose label is the file name before its
// first '.'.
//
// The file is written under a temporary name beside its target and takes
// the target's name only when complete.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/host.h"
#include "core/pipeline.h"
#include "ops/io/io.h"
#include "platform/fs.h"
#include "signal/access.h"
#include "signal/fixedpoint.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf::io {

namespace {

constexpr const char* kHword = "        .hword 0x";
constexpr double kQ15 = 1.0 / 32768.0;

// Bytes written to the temporary file, removed unless the run completes.
class Output {
  public:
    Output(std::string temporary, std::string target)
        : temporary_(std::move(temporary)), target_(std::move(target)) {}
    ~Output() {
        platform::closeFile(f_);
        if (!done_) platform::removeFile(temporary_.c_str());
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    const std::string& temporary() const { return temporary_; }
    bool open() {
        f_ = platform::openFile(temporary_.c_str(), "wb");
        if (f_ == nullptr) emitMsg(QF_MSG_ERROR, "Cannot open %s for write.", target_.c_str());
        return f_ != nullptr;
    }
    void put(const std::string& s) {
        buffer_ += s;
        if (buffer_.size() >= 65536) flush();
    }
    void put(char c) { buffer_ += c; }
    // Closes the file (when open) and gives it the target's name.
    bool commit() {
        flush();
        bool ok = !failed_;
        if (f_ && !platform::closeFile(f_)) ok = false;
        f_ = nullptr;
        if (ok) ok = platform::replaceFile(temporary_.c_str(), target_.c_str());
        if (!ok) emitMsg(QF_MSG_ERROR, "Error writing output file '%s'", target_.c_str());
        done_ = ok;
        return ok;
    }

  private:
    void flush() {
        if (f_ && !buffer_.empty() && !platform::writeText(f_, buffer_)) failed_ = true;
        buffer_.clear();
    }
    std::string temporary_, target_;
    std::FILE* f_ = nullptr;
    std::string buffer_;
    bool failed_ = false;
    bool done_ = false;
};

// Each record of the input in order: f(value, index).
template <typename T, typename F>
int32_t eachRecord(SignalDescriptor& in, F f) {
    for (int32_t i = 0; i < in.recordCount;) {
        if (sigAccess(in, i) != 0) return 1;
        const int32_t n = std::min(in.recordCount - i, residentFrom(in, i));
        if (n < 1) return 1;
        const T* x = in.at<T>(i);
        for (int32_t j = 0; j < n; ++j) f(x[j], i + j);
        i += n;
    }
    return 0;
}

std::string hexWord(uint16_t w) {
    return fmtString("%04X", static_cast<unsigned>(w));
}

// A float as two words and a double as four, lowest first, each on its own
// line after `prefix`; the second word in lower case.
std::string floatBits(float v, const char* prefix) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return fmtString("%s%04X\r\n%s%04x\r\n", prefix, bits & 0xFFFFu, prefix, bits >> 16);
}
std::string doubleBits(double v, const char* prefix) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const auto w = [bits](int i) { return static_cast<unsigned>((bits >> (16 * i)) & 0xFFFFu); };
    return fmtString("%s%04X\r\n%s%04x\r\n%s%04X\r\n%s%04X\r\n", prefix, w(0), prefix, w(1), prefix,
                     w(2), prefix, w(3));
}

bool isWordType(int32_t type) {
    return type == kInteger16 || type == kRealtimeInt16;
}

bool exportable(int32_t type, int32_t f) {
    const bool text = f >= 11 && f <= 14;
    const bool words = f == 0 || f == 1 || f == 2 || f == 5 || f == 6;
    const bool audio = f == QF_FORMAT_WAV_FLOAT || f == QF_FORMAT_FLAC;
    switch (type) {
        case kInteger16:
        case kReal32:
            return text || words || audio || f == 10;
        case kRealtimeInt16:
            return text || words || audio;
        case kCReal128Rect:
            return text;
        default:
            return false;
    }
}

// 30: the format the file name's extension asks for, or -1.
int32_t formatByExtension(const char* name, int32_t type) {
    const char* dot = std::strrchr(name, '.');
    std::string ext = dot ? dot + 1 : "";
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "wav" || ext == "wave") return type == kReal32 ? QF_FORMAT_WAV_FLOAT : 6;
    if (ext == "flac") return QF_FORMAT_FLAC;
    return -1;
}

// The filter coefficient file of an FIR filter whose taps are the samples.
int32_t writeFir(SignalDescriptor& in, Output& out) {
    const bool wide = in.recordType == kReal32;
    const long taps = in.recordCount;
    out.put("FILTER COEFFICIENT FILE\r\nFIR DESIGN\r\n");
    out.put(fmtString("SAMPLING FREQUENCY           % 14.7lE HERTZ\r\n", in.samplingRate));
    out.put(fmtString("%4ld                  /* number of taps in decimal     */\r\n", taps));
    if (wide) {
        out.put(fmtString("%04lx                 /* number of taps in hexadecimal */\r\n", taps));
        out.put("  24                  /* number of bits in quantized coefficients (dec) */\r\n");
        out.put("0018                  /* number of bits in quantized coefficients (hex) */\r\n");
    } else {
        out.put(fmtString("%04lx                  /* number of taps in hexadecimal */\r\n", taps));
        out.put("  16                  /* number of bits in quantized coefficients (dec) */\r\n");
        out.put("0010                  /* number of bits in quantized coefficients (hex) */\r\n");
    }
    out.put("   0                  /* shift count in decimal     */\r\n");
    out.put("0000                  /* shift count in hexadecimal */\r\n");
    if (wide)
        return eachRecord<float>(in, [&](float f, int32_t i) {
            // Infinities saturate; a NaN is written as 0, as the fixed-point
            // store makes it.
            const double scaled =
                std::isnan(f) ? 0.0 : std::trunc(static_cast<double>(f) * 8388608.0);
            const long tap = static_cast<long>(std::clamp(scaled, -2147483648.0, 2147483647.0));
            out.put(fmtString("   % 7ld %08lX  /* coefficient of tap  %4ld */\r\n", tap,
                              static_cast<unsigned long>(static_cast<uint32_t>(tap)),
                              static_cast<long>(i)));
        });
    return eachRecord<int16_t>(in, [&](int16_t s, int32_t i) {
        out.put(fmtString("     % 5d %08lX  /* coefficient of tap  %4ld */\r\n", s,
                          static_cast<unsigned long>(static_cast<uint32_t>(int32_t{s})),
                          static_cast<long>(i)));
    });
}

// One line of a recording's sample instant: values joined by " , ".
std::string recordingValue(int16_t s, int32_t f) {
    const double v = s * kQ15;
    switch (f) {
        case 1:
            return fmtString("% 6d", s);
        case 2:
            return hexWord(static_cast<uint16_t>(s));
        case 11:
            return fmtString("% 9.7f", v);
        case 12:
            return floatBits(static_cast<float>(v), "");
        case 13:
            return fmtString("% 18.16f", v);
        default:  // 14
            return doubleBits(v, "");
    }
}

// One 16-bit sample of a single-channel signal in codes 0, 1, 2, 5, 6.
void putWord(Output& out, int16_t s, int32_t f, const char* prefix) {
    switch (f) {
        case 0:
        case 6:
            out.put(static_cast<char>(s & 255));
            out.put(static_cast<char>((s >> 8) & 255));
            break;
        case 1:
            out.put(fmtString("% 6d\r\n", s));
            break;
        case 2:
            out.put(prefix + hexWord(static_cast<uint16_t>(s)) + "\r\n");
            break;
        case 5:
            out.put(static_cast<char>((s + 32768) >> 8));
            break;
        default:
            break;
    }
}

// A real value in codes 11-14: f as a float for 11 and 12, a double for 13
// and 14; `end` closes a text value (a line end, or a blank before the
// imaginary part).
void putReal(Output& out, double v, float f, int32_t code, const char* prefix, const char* end) {
    switch (code) {
        case 11:
            out.put(fmtString("% 14.7e", static_cast<double>(f)) + end);
            break;
        case 12:
            out.put(floatBits(f, prefix));
            break;
        case 13:
            out.put(fmtString("% 21.14e", v) + end);
            break;
        default:
            out.put(doubleBits(v, prefix));
            break;
    }
}

int32_t writeAudio(SignalDescriptor& in, int32_t f, Output& out) {
    const int32_t channels = in.recordType == kRealtimeInt16 ? std::max(in.param1, 1) : 1;
    const int32_t rate = static_cast<int32_t>(std::clamp(in.samplingRate, 0.0, 2147483647.0));
    const bool words = f == QF_FORMAT_FLAC && isWordType(in.recordType);
    const AudioFormat format = f == QF_FORMAT_WAV_FLOAT ? AudioFormat::WavFloat
                               : words                  ? AudioFormat::Flac16
                                                        : AudioFormat::Flac24;
    AudioWriter writer;
    std::string why;
    if (!writer.open(out.temporary(), format, channels, rate, why)) {
        emitMsg(QF_MSG_ERROR, "Cannot write '%s' as audio: %s", block().out.n, why.c_str());
        return 1;
    }
    // Whole sample instants go to the library, window by window.
    std::vector<float> reals;
    std::vector<int16_t> ints;
    bool ok = true;
    auto flush = [&](bool last) {
        const std::size_t keep = last ? 0 : (words ? ints.size() : reals.size()) % channels;
        if (words) {
            const std::size_t n = ints.size() - keep;
            ok = ok && writer.writeWords(ints.data(), static_cast<int64_t>(n));
            ints.erase(ints.begin(), ints.begin() + static_cast<std::ptrdiff_t>(n));
        } else {
            const std::size_t n = reals.size() - keep;
            ok = ok && writer.write(reals.data(), static_cast<int64_t>(n));
            reals.erase(reals.begin(), reals.begin() + static_cast<std::ptrdiff_t>(n));
        }
    };
    int32_t r;
    if (in.recordType == kReal32)
        r = eachRecord<float>(in, [&](float v, int32_t) {
            reals.push_back(v);
            if (reals.size() >= 8192) flush(false);
        });
    else
        r = eachRecord<int16_t>(in, [&](int16_t s, int32_t) {
            if (words)
                ints.push_back(s);
            else
                reals.push_back(static_cast<float>(s * kQ15));
            if (ints.size() + reals.size() >= 8192) flush(false);
        });
    if (r != 0) return r;
    // A last partial instant is completed with zeros.
    while ((words ? ints.size() : reals.size()) % channels != 0)
        words ? ints.push_back(0) : reals.push_back(0.0f);
    flush(true);
    if (!writer.close() || !ok) {
        emitMsg(QF_MSG_ERROR, "Error writing output file '%s'", block().out.n);
        return 1;
    }
    return 0;
}

}  // namespace

int32_t exportGetParams(int32_t mode, CheckParamsFn check) {
    return host().stdExportGet ? hostcall::stdExportGet(mode, check) : 1;
}

int32_t exportCompute(int32_t, const ComputeArgs*) {
    CommandBlock& b = block();
    SignalDescriptor& in = blockDescriptor(b, 0);
    const int32_t type = in.recordType;
    int32_t f = paramInt(b, QF_P_IO_FORMAT);
    const bool assembler = paramInt(b, QF_P_EXPORT_ASSEMBLER) == 1;
    if (f == QF_FORMAT_BY_EXTENSION) {
        f = formatByExtension(b.out.n, type);
        if (f < 0) {
            emitMsg(QF_MSG_ERROR,
                    "The format of '%s' cannot be told from its name; choose a format code.",
                    b.out.n);
            return 1;
        }
    }
    if (!exportable(type, f)) {
        emitMsg(QF_MSG_ERROR, "'%s' cannot be exported in format %d.", b.in1.n, f);
        return 1;
    }
    const std::string target = std::string(b.out.p, ::strnlen(b.out.p, sizeof b.out.p)) +
                               std::string(b.out.n, ::strnlen(b.out.n, sizeof b.out.n));
    Output out(sigTemporaryPath(b.out), target);
    fmt(runtime().description, sizeof runtime().description, "[%s] exported to [%s]", b.in1.n,
        b.out.n);

    if (f == QF_FORMAT_WAV_FLOAT || f == QF_FORMAT_FLAC) {
        const int32_t r = writeAudio(in, f, out);
        return r != 0 ? r : (out.commit() ? 0 : 1);
    }
    if (!out.open()) return 1;

    const char overflow = status().overflowMode;
    const int32_t n = in.recordCount;
    if (f == 5 || f == 6) {
        const int32_t channels = type == kRealtimeInt16 ? in.param1 : 1;
        const double rate = in.samplingRate;
        const uint32_t sampleRate =
            rate >= 0.0 && rate < 4294967296.0 ? static_cast<uint32_t>(rate) : 0u;
        out.put(waveHeader(channels, sampleRate, f == 5 ? 1 : 2, n));
    }
    const bool prologue = assembler && (f == 2 || f == 12 || f == 14) && type != kRealtimeInt16;
    const char* prefix = prologue ? kHword : "";
    if (prologue) {
        std::string label(b.out.n, ::strnlen(b.out.n, sizeof b.out.n));
        label = label.substr(0, std::min<std::size_t>(label.find('.'), 32));
        out.put("        .section .data\r\n");
        out.put("        .global   " + label + "\r\n");
        out.put("        .align    2\r\n");
        out.put(label + ":\r\n");
    }

    int32_t r = 0;
    if (f == 10) {
        r = writeFir(in, out);
    } else if (type == kRealtimeInt16 && f != 0 && f != 5 && f != 6) {
        const int32_t m = std::max(in.param1, 1);
        r = eachRecord<int16_t>(in, [&](int16_t s, int32_t i) {
            out.put(recordingValue(s, f));
            out.put(i % m == m - 1 || i == n - 1 ? "\r\n" : " , ");
        });
    } else if (isWordType(type)) {
        r = eachRecord<int16_t>(in, [&](int16_t s, int32_t) {
            if (f <= 6) {
                putWord(out, s, f, prefix);
            } else {
                const double v = s * kQ15;
                putReal(out, v, static_cast<float>(v), f, prefix, "\r\n");
            }
        });
    } else if (type == kReal32) {
        r = eachRecord<float>(in, [&](float x, int32_t) {
            if (f <= 6)
                putWord(out, realToQ15(static_cast<double>(x), overflow), f, prefix);
            else
                putReal(out, x, x, f, prefix, "\r\n");
        });
    } else {
        struct Complex {
            double re, im;
        };
        r = eachRecord<Complex>(in, [&](const Complex& z, int32_t) {
            putReal(out, z.re, static_cast<float>(z.re), f, prefix, " ");
            putReal(out, z.im, static_cast<float>(z.im), f, prefix, "\r\n");
        });
    }
    if (r != 0) return r;
    return out.commit() ? 0 : 1;
}

}  // namespace qf::io
