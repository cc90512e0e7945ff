// Frame file operations 5110, 5120, 5160 and 5170 (see frames.h).
//
//   5110  Y_g[k] = sqrt(sum_h (re_h[k]^2 + im_h[k]^2)) / c,  h = gK ... gK + c - 1
//   5120  CREAL128RECT(W) parts to floats, limited to +-3.4028236e+33 and 0
//         below 1.17549435e-33 in magnitude; CINT32RECT(W) words as they are
//   5160  R = ceil(max(LA, LB) / N) * N records (re, im), 16-bit words w as
//         w x 2^-15, zero beyond a signal's end
//   5170  m = re^2 + im^2:  (re / m, -im / m);  m = 0: the previous output
#include "ops/spectral/frames.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/frame.h"
#include "core/host.h"
#include "core/pipeline.h"
#include "graph/seams.h"
#include "ops/spectral/bins.h"
#include "script/lines.h"
#include "script/script_text.h"
#include "signal/access.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

using spectral::Bin;

constexpr const char* kFloatTypes = "Supported number types are complex 32-bit floating point.";
constexpr const char* kBothTypes =
    "Supported number types are complex 16-bit fractional fixed point and 32-bit floating point.";
constexpr const char* kNegativeFrames = "The number of frames to average cannot be negative.";
constexpr const char* kTooShort = "At least one signal must have 3 or more samples.";
constexpr const char* kBadFrameSize = "The frame size must be at least 1.";

// A CINT32RECT(W) record: two 16-bit fractional words.
struct WordPair {
    int16_t re;
    int16_t im;
};

SignalDescriptor& slot(int k) {
    return blockDescriptor(block(), k);
}

// 0, kFrameUnreadable or kFrameWrongType for in1.
int32_t frameFileCheck(bool acceptWords) {
    if (!readInputHeader(block().in1)) return kFrameUnreadable;
    const int32_t t = slot(QF_ENTRY_IN1).recordType;
    return t == kCReal128Rect || (acceptWords && t == kCInt32Rect) ? 0 : kFrameWrongType;
}

// The header fields a frame file operation keeps: rates and frame layout.
void copyFrameHeader(const SignalDescriptor& in, SignalDescriptor& out) {
    out.samplingRate = in.samplingRate;
    out.signalFrequency = in.signalFrequency;
    out.param1 = in.param1;
    out.param2 = in.param2;
    out.param3 = in.param3;
    out.param4 = 0;
}

void setDescription(const std::string& line) {
    fmt(runtime().description, sizeof runtime().description, "%s", line.c_str());
}

// ---------------------------------------------------------------------------
// 5110 average

struct AverageState {
    std::vector<double> sums;  // one output frame's sums of squared magnitudes
    int32_t perGroup = 0;      // K
    int32_t frames = 0;        // F
    int32_t groups = 0;        // G
    static constexpr Lifetime kLifetime = Lifetime::Start;
    void release() { std::vector<double>().swap(sums); }
};

int32_t averagePrepare(int32_t) {
    CommandBlock& b = block();
    AverageState& st = familyState<AverageState>();
    SignalDescriptor& in = slot(QF_ENTRY_IN1);
    SignalDescriptor& out = slot(QF_ENTRY_OUT);
    if (in.recordType != kCReal128Rect) {
        emitText(QF_MSG_NOTICE, kFloatTypes);
        return 1;
    }
    int32_t k = paramInt(b, QF_P_AVERAGE_FRAMES);
    if (k < 0) {
        emitText(QF_MSG_NOTICE, kNegativeFrames);
        return 1;
    }
    const int32_t n = in.param1;  // at least 1 and at most the record count
    const int32_t frames = n > 0 ? in.recordCount / n : 0;
    if (frames < 1) {
        emitMsg(QF_MSG_ERROR, "'%s' holds no complete frame.", b.in1.n);
        return 1;
    }
    if (k == 0) k = frames;
    const int64_t groups = (static_cast<int64_t>(frames) + k - 1) / k;
    // The input is read one frame at a time.
    sigClose(in);
    const int64_t frameBytes = static_cast<int64_t>(n) * static_cast<int64_t>(sizeof(Bin));
    if (sigOpenRead(in, b.in1, static_cast<int32_t>(std::min<int64_t>(frameBytes, 1 << 24))) != 0)
        return 1;
    try {
        st.sums.assign(static_cast<std::size_t>(n), 0.0);
    } catch (const std::bad_alloc&) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    st.perGroup = k;
    st.frames = frames;
    st.groups = static_cast<int32_t>(groups);
    out.recordType = kCReal128Rect;
    out.recordCount = static_cast<int32_t>(groups * n);
    copyFrameHeader(in, out);
    setRemark(out, fmtString("%ld FFT frames average of %s", static_cast<long>(k), b.in1.n));
    setDescription(fmtString("[%s] = FFT of [%s]", b.out.n, b.in1.n));
    return 0;
}

int32_t averageCompute(int32_t, const ComputeArgs*) {
    AverageState& st = familyState<AverageState>();
    SignalDescriptor& in = slot(QF_ENTRY_IN1);
    SignalDescriptor& out = slot(QF_ENTRY_OUT);
    const int32_t n = in.param1;
    std::vector<double>& sums = st.sums;
    if (static_cast<int32_t>(sums.size()) != n) return 1;
    for (int32_t g = 0; g < st.groups; ++g) {
        std::fill(sums.begin(), sums.end(), 0.0);
        int32_t c = 0;
        for (int32_t j = 0; j < st.perGroup; ++j) {
            const int64_t h = static_cast<int64_t>(g) * st.perGroup + j;
            if (h >= st.frames) break;
            const int64_t first = h * n;
            const int32_t r =
                forEachInputSpan<Bin>(in, first, n, [&](const Bin* x, int32_t at, int32_t count) {
                    double* s = sums.data() + (at - first);
                    for (int32_t i = 0; i < count; ++i)
                        s[i] = s[i] + (x[i].re * x[i].re + x[i].im * x[i].im);
                });
            if (r != 0) return r;
            ++c;
        }
        const int64_t first = static_cast<int64_t>(g) * n;
        const int32_t r = forEachOutputSpan<Bin>(out, static_cast<int32_t>(first), n,
                                                 [&](Bin* y, int32_t at, int32_t count) {
                                                     const double* s = sums.data() + (at - first);
                                                     for (int32_t i = 0; i < count; ++i)
                                                         y[i] = {std::sqrt(s[i]) / c, 0.0};
                                                 });
        if (r != 0) return r;
    }
    return 0;
}

int32_t averageRelease(int32_t) {
    familyState<AverageState>().release();
    return 0;
}

// ---------------------------------------------------------------------------
// 5120 decompose

// A part of a complex double as a float, kept within the range the
// signal's displays and readers take.
float partToFloat(double v) {
    constexpr double kLargest = 3.4028236e+33;
    constexpr double kSmallest = 1.17549435e-33;
    if (v > kLargest) return static_cast<float>(kLargest);
    if (v < -kLargest) return static_cast<float>(-kLargest);
    if (std::fabs(v) < kSmallest) return 0.0f;
    return static_cast<float>(v);
}

// out ("X.tim") becomes the real part's name "Xr.tim", in2 the imaginary
// part's "Xi.tim"; a name too long for one more character has the
// character before the '.' replaced ('x' and 'y').  False for a name
// without a '.'.
bool partNames(CommandBlock& b) {
    b.out.n[sizeof b.out.n - 1] = '\0';
    b.in2 = b.out;
    char* dot = std::strrchr(b.out.n, '.');
    if (dot == nullptr) return false;
    const std::size_t at = static_cast<std::size_t>(dot - b.out.n);
    const std::size_t len = std::strlen(b.out.n);
    if (len < sizeof b.out.n - 1) {
        for (nameNpath* e : {&b.out, &b.in2}) {
            std::memmove(e->n + at + 1, e->n + at, len - at + 1);
            e->n[at] = e == &b.out ? 'r' : 'i';
        }
        return true;
    }
    if (at == 0) return false;
    b.out.n[at - 1] = 'x';
    b.in2.n[at - 1] = 'y';
    return true;
}

int32_t decomposePrepare(int32_t) {
    CommandBlock& b = block();
    if (!partNames(b)) return 1;
    SignalDescriptor& in = slot(QF_ENTRY_IN1);
    const int32_t t = in.recordType;
    if (t != kCReal128Rect && t != kCInt32Rect) {
        emitText(QF_MSG_NOTICE, kBothTypes);
        return 1;
    }
    const struct {
        int entry;
        const nameNpath* file;
        const char* remark;
    } parts[] = {{QF_ENTRY_OUT, &b.out, "Real part of %s"},
                 {QF_ENTRY_IN2, &b.in2, "Imaginary part of %s"}};
    for (const auto& p : parts) {
        if (PlotData* g = findPlotDataByName(*p.file)) dropGraphWindow(g);
        SignalDescriptor& out = slot(p.entry);
        out.recordType = t == kCInt32Rect ? kInteger16 : kReal32;
        out.recordCount = in.recordCount;
        out.samplingRate = in.samplingRate;
        out.signalFrequency = in.signalFrequency;
        out.param1 = out.param2 = out.param3 = out.param4 = 0;
        setRemark(out, fmtString(p.remark, b.in1.n));
    }
    setDescription(fmtString("[%s] decomposed to [%s] and [%s]", b.in1.n, b.out.n, b.in2.n));
    return 0;
}

int32_t decomposeCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = slot(QF_ENTRY_IN1);
    const int32_t count = in.recordCount;
    for (int entry : {QF_ENTRY_OUT, QF_ENTRY_IN2}) {
        SignalDescriptor& out = slot(entry);
        const bool real = entry == QF_ENTRY_OUT;
        int32_t r;
        if (in.recordType == kCInt32Rect)
            r = forEachSpan<WordPair, int16_t>(
                in, out, 0, count, [real](const WordPair* x, int16_t* y, int32_t, int32_t n) {
                    for (int32_t i = 0; i < n; ++i) y[i] = real ? x[i].re : x[i].im;
                });
        else
            r = forEachSpan<Bin, float>(in, out, 0, count,
                                        [real](const Bin* x, float* y, int32_t, int32_t n) {
                                            for (int32_t i = 0; i < n; ++i)
                                                y[i] = partToFloat(real ? x[i].re : x[i].im);
                                        });
        if (r != 0) return r;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// 5160 compose

// The frame size and interval of an interactive run are the FFT's
// remembered ones; a command-line host or a script line sets its own.
int32_t composeSeed(CommandBlock& b) {
    paramInt(b, QF_P_COMPOSE_SIZE) = status().fftSize;
    paramInt(b, QF_P_COMPOSE_INTERVAL) = status().fftInterval;
    return 0;
}

int32_t composePrepare(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& re = slot(QF_ENTRY_IN1);
    SignalDescriptor& im = slot(QF_ENTRY_IN2);
    SignalDescriptor& out = slot(QF_ENTRY_OUT);
    for (const SignalDescriptor* d : {&re, &im}) {
        if (!isTimeSignalType(d->recordType)) {
            emitMsg(QF_MSG_NOTICE, "'%s' has an unsupported data type.", d->file.n);
            return 1;
        }
    }
    const int32_t n = paramInt(b, QF_P_COMPOSE_SIZE);
    if (n < 1) {
        emitText(QF_MSG_NOTICE, kBadFrameSize);
        return 1;
    }
    const int64_t m = std::max(re.recordCount, im.recordCount);
    if (m < 1) {
        emitText(QF_MSG_NOTICE, kTooShort);
        return 1;
    }
    const int64_t records = (m - 1 + n) / n * n;
    if (records > INT32_MAX) {
        emitMsg(QF_MSG_ERROR,
                "Frames of %ld points would exceed the %ld records a signal file can hold.  "
                "Operation aborted.",
                static_cast<long>(n), static_cast<long>(INT32_MAX));
        return 1;
    }
    out.recordType = kCReal128Rect;
    out.recordCount = static_cast<int32_t>(records);
    out.samplingRate = re.samplingRate;
    out.signalFrequency = re.signalFrequency;
    out.param1 = n;
    out.param2 = paramInt(b, QF_P_COMPOSE_INTERVAL);
    out.param3 = 0;
    out.param4 = 0;
    setRemark(out, std::string("FFT[(") + b.in1.n + ")+j(" + b.in2.n + ")]");
    setDescription(fmtString("[%s] combined from [%s] and [%s]", b.out.n, b.in1.n, b.in2.n));
    return 0;
}

int32_t composeCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& re = slot(QF_ENTRY_IN1);
    SignalDescriptor& im = slot(QF_ENTRY_IN2);
    SignalDescriptor& out = slot(QF_ENTRY_OUT);
    int32_t failed = 0;
    const int32_t r =
        forEachOutputSpan<Bin>(out, 0, out.recordCount, [&](Bin* y, int32_t at, int32_t n) {
            for (int32_t i = 0; i < n; ++i) y[i] = {0.0, 0.0};
            const struct {
                SignalDescriptor* from;
                double* to;
            } parts[] = {{&re, &y[0].re}, {&im, &y[0].im}};
            for (const auto& p : parts) {
                const int64_t present = std::min<int64_t>(n, p.from->recordCount - int64_t{at});
                if (failed == 0 && present > 0)
                    failed = spectral::readExactSamples(*p.from, at, static_cast<int32_t>(present),
                                                        p.to, 2);
            }
        });
    return r != 0 ? r : failed;
}

int32_t composeCheck(int32_t) {
    CommandBlock& b = block();
    const SignalDescriptor& re = slot(QF_ENTRY_IN1);
    const SignalDescriptor& im = slot(QF_ENTRY_IN2);
    auto channels = [](const SignalDescriptor& d) {
        return d.recordType == kRealtimeInt16 && d.param1 >= 2;
    };
    if (!readInputHeader(b.in1, QF_ENTRY_IN1)) return kComposeRealUnreadable;
    if (channels(re)) return kComposeRealChannels;
    if (!readInputHeader(b.in2, QF_ENTRY_IN2)) return kComposeImagUnreadable;
    if (channels(im)) return kComposeImagChannels;
    if (re.recordCount < 3 || im.recordCount < 3) return kComposeTooShort;
    if (!isTimeSignalType(re.recordType)) return kComposeRealType;
    if (!isTimeSignalType(im.recordType)) return kComposeImagType;
    if (paramInt(b, QF_P_COMPOSE_SIZE) < 1) return kComposeBadSize;
    return 0;
}

// A whole word of hexadecimal digits (an optional "0x") as a 32-bit value,
// as "%lx" reads it into a 32-bit long.
bool hexWord(const char* word, int32_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(word, &end, 16);
    if (end == word || *end != '\0' || errno == ERANGE || v > 0xFFFFFFFFull || word[0] == '-')
        return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
}

// ---------------------------------------------------------------------------
// 5170 reciprocal

int32_t reciprocalPrepare(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& in = slot(QF_ENTRY_IN1);
    SignalDescriptor& out = slot(QF_ENTRY_OUT);
    if (in.recordType != kCReal128Rect) {
        emitText(QF_MSG_NOTICE, kFloatTypes);
        return 1;
    }
    out.recordType = in.recordType;
    out.recordCount = in.recordCount;
    copyFrameHeader(in, out);
    const std::string line = fmtString("[%s] = 1 / [%s]", b.out.n, b.in1.n);
    setRemark(out, line);
    setDescription(line);
    return 0;
}

int32_t reciprocalCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = slot(QF_ENTRY_IN1);
    SignalDescriptor& out = slot(QF_ENTRY_OUT);
    Bin previous{1.0, 0.0};  // what a zero first bin gives
    return forEachSpan<Bin, Bin>(in, out, 0, in.recordCount,
                                 [&previous](const Bin* x, Bin* y, int32_t, int32_t n) {
                                     for (int32_t i = 0; i < n; ++i) {
                                         const double m = x[i].re * x[i].re + x[i].im * x[i].im;
                                         if (m != 0.0) previous = {x[i].re / m, -x[i].im / m};
                                         y[i] = previous;
                                     }
                                 });
}

// ---------------------------------------------------------------------------
// Script lines and registration

// A line that reads is taken; the operation reports what it refuses.
int32_t readWithoutCheck(int32_t mode, const char* line, CheckParamsFn) {
    return genericReadScriptLine(mode, line, nullptr);
}

QfFileInfo frames(int32_t entry, const char* label, int32_t position) {
    return entry == QF_ENTRY_OUT ? outputFile(entry, QF_FILE_FRAMES, ".fre", label, position)
                                 : inputFile(entry, QF_FILE_FRAMES, ".fre", label, position, false);
}

OperationDescription frameOp(int32_t code, const char* scriptName, const char* command,
                             const char* help, const char* title) {
    OperationDescription d = describedOperation(code, scriptName, command, help);
    d.blanks = 4;
    d.dialog = {.kind = DialogKind::Files, .title = title};
    d.proposal = Proposal::FrameInput;
    d.show = Show::Magnitude;
    d.handlers.readScriptLine = readWithoutCheck;
    return d;
}

}  // namespace

int32_t averageCheckParams(int32_t) {
    const int32_t c = frameFileCheck(false);
    if (c != 0) return c;
    return paramInt(block(), QF_P_AVERAGE_FRAMES) < 0 ? kAverageNegativeK : 0;
}
int32_t decomposeCheckParams(int32_t) {
    return frameFileCheck(true);
}
int32_t reciprocalCheckParams(int32_t) {
    return frameFileCheck(false);
}
int32_t composeCheckParams(int32_t mode) {
    return composeCheck(mode);
}

int32_t composeReadScriptLine(int32_t, const char* line, CheckParamsFn) {
    CommandBlock& b = block();
    ScriptFields in(line);
    char size[32], interval[32];
    int32_t n = 0, i = 0;
    if (!in.skipCodeAndName() || !in.entry(b.in1) || !in.entry(b.in2) ||
        !in.word(size, sizeof size) || !in.word(interval, sizeof interval) || !in.entry(b.out) ||
        !hexWord(size, n) || !hexWord(interval, i))
        return 1;
    paramInt(b, QF_P_COMPOSE_SIZE) = n;
    paramInt(b, QF_P_COMPOSE_INTERVAL) = i;
    unescapeEntry(b.in1);
    unescapeEntry(b.in2);
    unescapeEntry(b.out);
    return resolveScriptNames() ? 0 : kScriptLineStopped;
}

void registerFrameOperations() {
    const std::vector<CheckMessage> floatChecks = {unreadableCheck(kFrameUnreadable, Arg::In1Name),
                                                   noticeCheck(kFrameWrongType, kFloatTypes)};
    {
        OperationDescription d = frameOp(
            QF_OP_FRAME_AVERAGE, "FrameAverateFFT      ", "average",
            "average the power of each group of K frames (K = 0: all frames)", "Average FFT");
        d.files = {frames(QF_ENTRY_IN1, "Input", 0), frames(QF_ENTRY_OUT, "Output", 1)};
        d.params = {intParam("frames", QF_P_AVERAGE_FRAMES).fallback(0).help("K")};
        d.checks = floatChecks;
        d.checks.push_back(noticeCheck(kAverageNegativeK, kNegativeFrames));
        d.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}};
        d.handlers.checkParams = averageCheckParams;
        d.handlers.prepareOutput = averagePrepare;
        d.handlers.compute = averageCompute;
        d.handlers.release = averageRelease;
        registerDescribed(std::move(d));
    }
    {
        OperationDescription d = frameOp(
            QF_OP_DECOMPOSE, "DecomposeFFT_XjY     ", "decompose",
            "real and imaginary parts of a frame file as time signals (OUT.tim gives OUTr.tim and "
            "OUTi.tim)",
            "Decompose FFT");
        // The imaginary part travels in in2: an output the dialog does not ask for.
        d.files = {frames(QF_ENTRY_IN1, "Input", 0),
                   outputFile(QF_ENTRY_OUT, QF_FILE_TIME, ".tim", "Output prefix", 1),
                   outputFile(QF_ENTRY_IN2, QF_FILE_TIME, ".tim", nullptr, -1)};
        d.checks = {unreadableCheck(kFrameUnreadable, Arg::In1Name),
                    noticeCheck(kFrameWrongType, kBothTypes)};
        d.script = {{Field::In1}, {Field::Out}};
        d.show = Show::Waveform;
        d.shown = kShowOut | kShowIn2;
        d.keepShownOut = true;
        d.handlers.checkParams = decomposeCheckParams;
        d.handlers.prepareOutput = decomposePrepare;
        d.handlers.compute = decomposeCompute;
        registerDescribed(std::move(d));
    }
    {
        OperationDescription d =
            frameOp(QF_OP_COMPOSE, "ComposeFFT_XjY       ", "compose",
                    "a frame file of N-point frames from a real-part and an imaginary-part signal",
                    "Compose FFT");
        d.files = {inputFile(QF_ENTRY_IN1, QF_FILE_TIME, ".tim", "Real", 0),
                   inputFile(QF_ENTRY_IN2, QF_FILE_TIME, ".tim", "Imaginary", 1),
                   outputFile(QF_ENTRY_OUT, QF_FILE_FRAMES, ".fre", "Complex", 2)};
        // Seeded from the FFT's remembered values before the dialog.
        d.params = {intParam("size", QF_P_COMPOSE_SIZE).help("N"),
                    intParam("interval", QF_P_COMPOSE_INTERVAL).help("I")};
        for (ParamSpec& p : d.params) p.info.flags |= QF_PARAM_REMEMBERED;
        d.dialog.before = composeSeed;
        d.checks = {
            unreadableCheck(kComposeRealUnreadable, Arg::In1Name),
            unreadableCheck(kComposeImagUnreadable, Arg::In2Name),
            unsupportedTypeCheck(kComposeRealType, Arg::In1Name),
            unsupportedTypeCheck(kComposeImagType, Arg::In2Name),
            noticeCheck(kComposeBadSize, kBadFrameSize),
            noticeCheck(kComposeTooShort, kTooShort),
            noticeCheck(kComposeRealChannels,
                        "'%s' is multi-channel signal.  Please convert the required channel into a "
                        "single channel signal.",
                        Then::AskAgain, Arg::In1Name),
            noticeCheck(kComposeImagChannels,
                        "'%s' is multi-channel signal.  Please convert the required channel into a "
                        "single channel signal.",
                        Then::AskAgain, Arg::In2Name),
        };
        d.script = {{Field::In1},
                    {Field::In2},
                    {Field::Param, 0, false, "%x"},
                    {Field::Param, 1, false, "%x"},
                    {Field::Out}};
        d.proposal = Proposal::TimeInput;
        d.handlers.checkParams = composeCheckParams;
        d.handlers.prepareOutput = composePrepare;
        d.handlers.compute = composeCompute;
        d.handlers.readScriptLine = composeReadScriptLine;
        registerDescribed(std::move(d));
    }
    {
        OperationDescription d =
            frameOp(QF_OP_SPECTRUM_RECIPROCAL, "G(Z)=1/H(Z)          ", "spectrum-reciprocal",
                    "1 / H for every bin of a frame file (reciprocal is 1 / x of a signal)",
                    "Reciprocate FFT");
        d.files = {frames(QF_ENTRY_IN1, "Input", 0), frames(QF_ENTRY_OUT, "Output", 1)};
        d.checks = floatChecks;
        d.script = {{Field::In1}, {Field::Out}};
        d.handlers.checkParams = reciprocalCheckParams;
        d.handlers.prepareOutput = reciprocalPrepare;
        d.handlers.compute = reciprocalCompute;
        registerDescribed(std::move(d));
    }
}

}  // namespace qf
