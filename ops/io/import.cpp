// Operation 1140: a foreign file into a signal file.
//
// The effective code G is the format code F, or F + 100 with the complex
// flag.  By G (R = the number of records written; "lines" the counted text
// lines, M the channels or values per line):
//
//   0 and codes not listed  raw 16-bit words, low byte first    R = bytes / 2
//   1    decimal integers, M per line                            R = lines * M
//   2    hexadecimal integers, M per line (8000-FFFF negative)   R = lines * M
//   3    "%4hX" words one after another                          R = lines * M * 8
//   4    complex text: 31 header lines, the count on line 8      R = that count
//   5, 6 WAVE (8-bit as (byte - 128) * 256, else 16-bit words)   R = M * data / align
//   7, 8 raw signed bytes * 256, unsigned (byte - 128) * 256    R = bytes
//   9    raw 16-bit words in excess-32768 form                   R = bytes / 2
//   11, 13  floating-point text (float, double read)             R = lines * M
//   12, 14  float (2 words) and double (4 words) bit patterns    R = lines * M / 2, / 4
//   101  complex decimal pairs                                   R = lines * M
//   102, 103  complex "%4hX" words, re then im                   R = lines * M / 2, * 4
//   111, 113  complex floating-point pairs                       R = lines * M
//   112, 114  complex float and double bit patterns              R = lines * M / 4, / 8
//   20   any audio file the audio library reads: one channel (or the one
//        chosen) to REAL32, several to a recording of 16-bit words
//   30   20 for the usual audio file extensions
//
// 16-bit outputs are INTEGER16 for one channel, else REALTIMEINT16; 11-14
// give REAL32; complex codes CREAL128RECT(W), whose record count must be a
// multiple of the frame size.  Decimal and hexadecimal values saturate in
// overflow mode 's' and keep their low 16 bits otherwise.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
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

// How the input is laid out.
enum class Layout : uint8_t {
    RawWords,     // 0, 9 and unlisted codes
    RawBytes,     // 7, 8
    Wave,         // 5, 6
    LineValues,   // 1, 2, 11, 13, 101, 111, 113: the values of each line
    HexWords,     // 3, 12, 14, 102, 103, 112, 114: "%4hX" words one after another
    ComplexText,  // 4
    Audio,        // 20
};

// What prepareOutput found for compute.
struct ImportRun {
    static constexpr Lifetime kLifetime = Lifetime::Start;
    int32_t code = 0;
    Layout layout = Layout::RawWords;
    int32_t perLine = 1;         // values of a text line
    int64_t dataOffset = 0;      // WAVE: the first sample
    int32_t bytesPerSample = 2;  // WAVE
    int32_t audioChannels = 1;   // audio: channels in the file
    int32_t pick = -1;           // audio: the channel taken, -1 all
    std::string path;
};

ImportRun& run() {
    return familyState<ImportRun>();
}

using File = platform::OwnedFile;

bool isAudioExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr) return false;
    std::string ext(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* e : {"wav", "wave", "flac", "ogg", "oga", "opus", "mp3", "aif", "aiff", "aifc",
                          "au", "snd", "w64", "caf"})
        if (ext == e) return true;
    return false;
}

// Output records of the 16-bit codes: one channel or a recording.
int32_t wordsType(int32_t channels) {
    return channels == 1 ? kInteger16 : kRealtimeInt16;
}

int32_t refuse(const char* text, const std::string& what) {
    emitMsg(QF_MSG_ERROR, text, what.c_str());
    return 1;
}

constexpr const char* kComplexFrameText =
    "The number of complex entries is not a multiple of the\nFFT frame size. The file import "
    "operation cannot continue.\nPlease correct the input data to import this file";
constexpr const char* kPrematureEndText =
    "A premature End Of File has been encountered\nThe file import operation cannot "
    "continue.\nPlease correct the input data to import this file";

// Line 8 of a complex text file: a text in double quotes, then the count.
int64_t complexTextCount(std::FILE* f) {
    std::string line;
    for (int i = 1; i <= 8; ++i)
        if (!readLine(f, line)) return 0;
    const std::size_t open = line.find('"');
    const std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
    if (close == std::string::npos) return 0;
    return std::strtoll(line.c_str() + close + 1, nullptr, 10);
}

// The layout, record type and count of a code from the file, or a refusal
// (reported).
int32_t plan(ImportRun& r, std::FILE* f, int64_t bytes, const std::string& path,
             SignalDescriptor& out, int32_t& channels, int64_t& records, double& rate) {
    const int32_t g = r.code;
    auto lines = [&] { return countLines(f); };
    switch (g) {
        case 1:
        case 2:
        case 11:
        case 13:
            r.layout = Layout::LineValues;
            r.perLine = channels;
            records = lines() * channels;
            out.recordType = g < 10 ? wordsType(channels) : kReal32;
            return 0;
        case 101:
        case 111:
        case 113:
            r.layout = Layout::LineValues;
            r.perLine = 2 * channels;
            records = lines() * channels;
            out.recordType = kCReal128Rect;
            return 0;
        case 3:
            r.layout = Layout::HexWords;
            records = lines() * channels * 8;
            out.recordType = wordsType(channels);
            return 0;
        case 12:
        case 14:
            r.layout = Layout::HexWords;
            records = lines() * channels / (g == 12 ? 2 : 4);
            out.recordType = kReal32;
            return 0;
        case 102:
        case 103:
        case 112:
        case 114: {
            r.layout = Layout::HexWords;
            const int64_t n = lines() * channels;
            records = g == 102 ? n / 2 : g == 103 ? n * 4 : g == 112 ? n / 4 : n / 8;
            out.recordType = kCReal128Rect;
            return 0;
        }
        case 4:
            r.layout = Layout::ComplexText;
            records = complexTextCount(f);
            out.recordType = kCReal128Rect;
            out.param1 = static_cast<int32_t>(std::clamp<int64_t>(records, 0, INT32_MAX));
            out.param2 = 0;
            out.param3 = 0;
            return 0;
        case 5:
        case 6: {
            WaveFormat w;
            const WaveRead read = readWaveFormat(f, bytes, w);
            if (read == WaveRead::ShortRead)
                return refuse("Error reading Windows WAVE file '%s'", path);
            if (read != WaveRead::Ok) return refuse("'%s' is not a valid Windows WAVE file.", path);
            if (w.bitsPerSample > 16 || (w.bitsPerSample > 8 && w.bitsPerSample < 16)) {
                emitMsg(QF_MSG_ERROR,
                        "'%s' holds %d-bit samples; import it as an audio file (format %d).",
                        path.c_str(), w.bitsPerSample, QF_FORMAT_AUDIO);
                return 1;
            }
            r.layout = Layout::Wave;
            r.bytesPerSample = w.bitsPerSample <= 8 ? 1 : 2;
            r.dataOffset = w.dataOffset;
            channels = w.channels;
            records = static_cast<int64_t>(channels) * w.dataSize / w.blockAlign;
            if (records * r.bytesPerSample > static_cast<int64_t>(w.dataSize))
                return refuse("'%s' is not a valid Windows WAVE file.", path);
            if (rate == 0.0) rate = w.sampleRate;
            out.recordType = kRealtimeInt16;
            return 0;
        }
        case 7:
        case 8:
            r.layout = Layout::RawBytes;
            records = bytes;
            out.recordType = wordsType(channels);
            return 0;
        case QF_FORMAT_AUDIO: {
            // A WAVE file's chunks are checked here: the library would take
            // a data chunk longer than the file.
            char riff[12] = {};
            if (platform::readFile(f, riff, sizeof riff) == sizeof riff &&
                std::memcmp(riff, "RIFF", 4) == 0 && std::memcmp(riff + 8, "WAVE", 4) == 0) {
                WaveFormat w;
                const WaveRead read = readWaveFormat(f, bytes, w);
                if (read == WaveRead::ShortRead)
                    return refuse("Error reading Windows WAVE file '%s'", path);
                if (read != WaveRead::Ok)
                    return refuse("'%s' is not a valid Windows WAVE file.", path);
            }
            AudioReader audio;
            std::string why;
            if (!audio.open(path, why)) {
                emitMsg(QF_MSG_ERROR, "Unable to read '%s' as an audio file: %s", path.c_str(),
                        why.c_str());
                return 1;
            }
            const AudioInfo& info = audio.info();
            r.layout = Layout::Audio;
            r.audioChannels = info.channels;
            const int32_t k = paramInt(block(), QF_P_IMPORT_PICK_CHANNEL);
            if (k < 0 || k > info.channels) {
                emitMsg(QF_MSG_ERROR, "'%s' has %d channels; there is no channel %d.", path.c_str(),
                        info.channels, k);
                return 1;
            }
            r.pick = k > 0 ? k - 1 : (info.channels == 1 ? 0 : -1);
            channels = r.pick >= 0 ? 1 : info.channels;
            records = info.frames * channels;
            if (rate == 0.0) rate = info.sampleRate;
            out.recordType = r.pick >= 0 ? kReal32 : kRealtimeInt16;
            return 0;
        }
        default:  // 0, 9 and every code not listed
            r.layout = Layout::RawWords;
            records = bytes / 2;
            out.recordType = wordsType(channels);
            return 0;
    }
}

bool isComplexCode(int32_t g) {
    return g == 101 || g == 102 || g == 103 || g == 111 || g == 112 || g == 113 || g == 114;
}

}  // namespace

int32_t importGetParams(int32_t mode, CheckParamsFn check) {
    return host().stdImportGet ? hostcall::stdImportGet(mode, check) : 1;
}

int32_t importPrepare(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& out = blockDescriptor(b, 2);
    ImportRun& r = run();
    r = ImportRun{};
    r.path = std::string(b.in1.p, ::strnlen(b.in1.p, sizeof b.in1.p)) +
             std::string(b.in1.n, ::strnlen(b.in1.n, sizeof b.in1.n));

    const int64_t bytes = sigFileLength(r.path.c_str());
    File f(bytes >= 1 ? platform::openFile(r.path.c_str(), "rb") : nullptr);
    if (!f) return refuse("Unable to open '%s'", r.path);

    const int32_t format = paramInt(b, QF_P_IO_FORMAT);
    const bool complex = paramInt(b, QF_P_IMPORT_COMPLEX) == 1;
    r.code = format + (complex ? 100 : 0);
    if (format == QF_FORMAT_AUDIO || format == QF_FORMAT_BY_EXTENSION) r.code = format;
    if (r.code == QF_FORMAT_BY_EXTENSION) {
        if (!isAudioExtension(b.in1.n)) {
            emitMsg(QF_MSG_ERROR,
                    "The format of '%s' cannot be told from its name; choose a format code.",
                    b.in1.n);
            return 1;
        }
        r.code = QF_FORMAT_AUDIO;
    }

    int32_t channels = paramInt(b, QF_P_IMPORT_CHANNELS);
    if (channels < 1 && r.code != 4 && r.code != 5 && r.code != 6 && r.code != QF_FORMAT_AUDIO) {
        emitMsg(QF_MSG_ERROR, "The number of channels (values per line) must be at least 1.");
        return 1;
    }
    int64_t records = 0;
    double rate = paramDouble(b, QF_P_IMPORT_RATE);
    if (const int32_t refused = plan(r, f.get(), bytes, r.path, out, channels, records, rate))
        return refused;

    if (out.recordType == kRealtimeInt16 && channels > kMaxChannels) {
        emitMsg(QF_MSG_ERROR, "'%s' has %d channels; a recording holds at most %d.", r.path.c_str(),
                channels, kMaxChannels);
        return 1;
    }
    if (isComplexCode(r.code)) {
        const int32_t frame = paramInt(b, QF_P_IMPORT_FRAME_SIZE);
        if (frame < 1 || records % frame != 0) {
            emitText(QF_MSG_ERROR, kComplexFrameText);
            return 1;
        }
        out.param1 = frame;
        out.param2 = paramInt(b, QF_P_IMPORT_FRAME_INTERVAL);
        out.param3 = paramInt(b, QF_P_IMPORT_WINDOW);
    }
    if (records < 1) return refuse("Nothing to import from '%s'.", r.path);
    if (records > INT32_MAX) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }

    out.recordCount = static_cast<int32_t>(records);
    out.samplingRate = rate;
    out.signalFrequency = 0.0;
    if (out.recordType == kRealtimeInt16) {
        out.param1 = channels;
        out.param2 = 0;
        for (int32_t c = 0; c < channels; ++c) {
            out.channelRange[c] = -1.0f;
            out.channelGain[c] = 1.0f;
            out.channelSource[c] = static_cast<uint8_t>(c);
        }
    }
    setRemark(out, std::string("Imported from '") + b.in1.n + "'");
    fmt(runtime().description, sizeof runtime().description, "[%s] imported to [%s]", b.in1.n,
        b.out.n);
    return 0;
}

namespace {

// Values of text lines, perLine of them a line (missing ones are "").
class LineReader {
  public:
    LineReader(std::FILE* f, int32_t perLine) : f_(f), perLine_(perLine) {}
    std::string next() {
        if (used_ >= perLine_) {
            std::string line;
            if (!readLine(f_, line)) {
                ended_ = true;
                fields_.clear();
            } else {
                for (char& c : line)
                    if (c == '\'' || c == '"') c = ' ';
                fields_ = lineFields(line, static_cast<std::size_t>(perLine_));
            }
            used_ = 0;
        }
        const std::size_t i = static_cast<std::size_t>(used_++);
        return i < fields_.size() ? fields_[i] : std::string();
    }
    bool ended() const { return ended_; }

  private:
    std::FILE* f_;
    int32_t perLine_;
    int32_t used_ = INT32_MAX;
    std::vector<std::string> fields_;
    bool ended_ = false;
};

// Decimal as a 32-bit long; hexadecimal as a 32-bit pattern, 8000-FFFF
// standing for the negative 16-bit numbers.
int64_t decimalValue(const std::string& t) {
    return std::clamp<long long>(std::strtoll(t.c_str(), nullptr, 10), INT32_MIN, INT32_MAX);
}
int64_t hexValue(const std::string& t) {
    const char* s = t.c_str();
    while (std::isspace(static_cast<unsigned char>(*s))) ++s;
    const bool negative = *s == '-';
    errno = 0;
    const unsigned long long u = std::strtoull(s, nullptr, 16);
    const unsigned long long magnitude = negative ? 0ull - u : u;
    const uint32_t bits = (errno == ERANGE || magnitude > 0xFFFFFFFFull)
                              ? 0xFFFFFFFFu
                              : static_cast<uint32_t>(u & 0xFFFFFFFFull);
    int64_t v = static_cast<int32_t>(bits);
    if (v >= 0x8000 && v <= 0xFFFF) v -= 65536;
    return v;
}

// Words of a bit pattern, lowest first.
struct Words {
    std::FILE* f;
    bool failed = false;
    uint16_t next() {
        uint16_t w = 0;
        if (!readHexWord(f, w)) {
            failed = true;
            w = 0;
        }
        return w;
    }
    float single() {
        const uint32_t lo = next();
        const uint32_t hi = next();
        const uint32_t bits = lo | (hi << 16);
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    double twice() {
        uint64_t bits = 0;
        for (int i = 0; i < 4; ++i) bits |= static_cast<uint64_t>(next()) << (16 * i);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
};

struct Complex {
    double re;
    double im;
};

int32_t readError(const std::string& path) {
    emitMsg(QF_MSG_ERROR, "Error reading input file '%s'", path.c_str());
    return 1;
}

}  // namespace

int32_t importCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& out = blockDescriptor(block(), 2);
    const ImportRun& r = run();
    const char overflow = status().overflowMode;
    const int32_t count = out.recordCount;
    const int32_t g = r.code;

    if (r.layout == Layout::Audio) {
        AudioReader audio;
        std::string why;
        if (!audio.open(r.path, why)) return readError(r.path);
        const int32_t m = r.audioChannels;
        std::vector<float> frames;
        int64_t have = 0, used = 0;  // frames in the buffer, frames taken
        const bool pick = r.pick >= 0;
        bool shortfall = false;
        auto sample = [&](int64_t i, float& v) {
            const int64_t frame = pick ? i : i / m;
            const int32_t channel = pick ? r.pick : static_cast<int32_t>(i % m);
            if (frame >= used + have || frame < used) {
                used += have;
                frames.assign(static_cast<std::size_t>(4096) * m, 0.0f);
                have = audio.read(frames.data(), 4096);
                if (have <= 0) {
                    have = 0;
                    v = 0.0f;
                    shortfall = true;  // fewer frames than the file announced: cut short
                    return;
                }
            }
            v = frames[static_cast<std::size_t>((frame - used) * m + channel)];
        };
        int32_t result;
        if (pick)
            result = forEachOutputSpan<float>(out, 0, count, [&](float* y, int32_t at, int32_t n) {
                for (int32_t j = 0; j < n; ++j) sample(at + j, y[j]);
            });
        else
            result =
                forEachOutputSpan<int16_t>(out, 0, count, [&](int16_t* y, int32_t at, int32_t n) {
                    for (int32_t j = 0; j < n; ++j) {
                        float v;
                        sample(at + j, v);
                        y[j] = realToQ15(static_cast<double>(v), overflow);
                    }
                });
        if (result == 0 && shortfall) return readError(r.path);
        return result;
    }

    File f(platform::openFile(r.path.c_str(), "rb"));
    if (!f) return refuse("Unable to open '%s'", r.path);

    switch (r.layout) {
        case Layout::RawWords:
        case Layout::RawBytes:
        case Layout::Wave: {
            const int32_t size = r.layout == Layout::RawBytes                        ? 1
                                 : r.layout == Layout::Wave && r.bytesPerSample == 1 ? 1
                                                                                     : 2;
            if (r.layout == Layout::Wave && !platform::fileSeek(f.get(), r.dataOffset))
                return refuse("Error reading Windows WAVE file '%s'", r.path);
            std::vector<unsigned char> bytes;
            bool shortRead = false;
            const int32_t result =
                forEachOutputSpan<int16_t>(out, 0, count, [&](int16_t* y, int32_t, int32_t n) {
                    bytes.resize(static_cast<std::size_t>(n) * size);
                    if (platform::readFile(f.get(), bytes.data(), bytes.size()) != bytes.size())
                        shortRead = true;
                    for (int32_t j = 0; j < n; ++j) {
                        const unsigned char* p = &bytes[static_cast<std::size_t>(j) * size];
                        const int word = size == 2 ? static_cast<int16_t>(p[0] | (p[1] << 8)) : 0;
                        if (size == 2)
                            y[j] = static_cast<int16_t>(g == 9 ? static_cast<uint16_t>(word) - 32768
                                                               : word);
                        else if (g == 7)
                            y[j] = static_cast<int16_t>(static_cast<signed char>(p[0]) * 256);
                        else  // 8 and 8-bit WAVE
                            y[j] = static_cast<int16_t>((p[0] - 128) * 256);
                    }
                });
            if (result != 0) return result;
            if (shortRead)
                return r.layout == Layout::Wave
                           ? refuse("Error reading Windows WAVE file '%s'", r.path)
                           : readError(r.path);
            return 0;
        }
        case Layout::LineValues: {
            LineReader lines(f.get(), r.perLine);
            if (out.recordType == kCReal128Rect) {
                const int32_t result =
                    forEachOutputSpan<Complex>(out, 0, count, [&](Complex* y, int32_t, int32_t n) {
                        for (int32_t j = 0; j < n; ++j) {
                            const std::string re = lines.next(), im = lines.next();
                            if (g == 101) {
                                y[j].re = wordFromLong(decimalValue(re), overflow);
                                y[j].im = wordFromLong(decimalValue(im), overflow);
                            } else {
                                y[j].re = limitToFloatRange(std::strtod(re.c_str(), nullptr));
                                y[j].im = limitToFloatRange(std::strtod(im.c_str(), nullptr));
                            }
                        }
                    });
                if (result == 0 && g == 101 && lines.ended()) {
                    emitText(QF_MSG_ERROR, kPrematureEndText);
                    return 1;
                }
                return result;
            }
            if (out.recordType == kReal32)
                return forEachOutputSpan<float>(out, 0, count, [&](float* y, int32_t, int32_t n) {
                    for (int32_t j = 0; j < n; ++j) {
                        const std::string t = lines.next();
                        y[j] = g == 11 ? static_cast<float>(
                                             limitToFloatRange(std::strtof(t.c_str(), nullptr)))
                                       : static_cast<float>(
                                             limitToFloatRange(std::strtod(t.c_str(), nullptr)));
                    }
                });
            return forEachOutputSpan<int16_t>(out, 0, count, [&](int16_t* y, int32_t, int32_t n) {
                for (int32_t j = 0; j < n; ++j) {
                    const std::string t = lines.next();
                    y[j] = wordFromLong(g == 2 ? hexValue(t) : decimalValue(t), overflow);
                }
            });
        }
        case Layout::HexWords: {
            Words words{f.get()};
            int32_t result;
            if (out.recordType == kCReal128Rect) {
                result =
                    forEachOutputSpan<Complex>(out, 0, count, [&](Complex* y, int32_t, int32_t n) {
                        for (int32_t j = 0; j < n; ++j) {
                            if (g == 112) {
                                y[j].re = words.single();
                                y[j].im = words.single();
                            } else if (g == 114) {
                                y[j].re = words.twice();
                                y[j].im = words.twice();
                            } else {
                                y[j].re = static_cast<int16_t>(words.next());
                                y[j].im = static_cast<int16_t>(words.next());
                            }
                        }
                    });
                if (result == 0 && g == 102 && words.failed) {
                    emitText(QF_MSG_ERROR, kPrematureEndText);
                    return 1;
                }
                return result;
            }
            if (out.recordType == kReal32)
                return forEachOutputSpan<float>(out, 0, count, [&](float* y, int32_t, int32_t n) {
                    for (int32_t j = 0; j < n; ++j)
                        y[j] = g == 12 ? words.single()
                                       : static_cast<float>(limitToFloatRange(words.twice()));
                });
            return forEachOutputSpan<int16_t>(out, 0, count, [&](int16_t* y, int32_t, int32_t n) {
                for (int32_t j = 0; j < n; ++j) y[j] = static_cast<int16_t>(words.next());
            });
        }
        case Layout::ComplexText: {
            std::string line;
            for (int i = 0; i < 31; ++i) readLine(f.get(), line);
            return forEachOutputSpan<Complex>(out, 0, count, [&](Complex* y, int32_t, int32_t n) {
                for (int32_t j = 0; j < n; ++j) {
                    double re = 0.0, im = 0.0;
                    if (readNumber(f.get(), re)) readNumber(f.get(), im);
                    y[j].re = re;
                    y[j].im = im;
                }
            });
        }
        case Layout::Audio:
            break;
    }
    return 1;
}

}  // namespace qf::io
