// Looking at results without a parser: qf info and qf print read signal
// files through the engine (quillfen/signals.h).
//
//   info   the header fields by name, the record count, the duration and,
//          for time signals, min, max, mean and RMS
//   print  the values, one record per line, as plain decimal numbers:
//          16-bit fractions as w / 32768, complex bins as "re im" (or
//          "magnitude phase" with --polar, "dB" with --db)
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/callbacks.h"
#include "host/qf.h"
#include "quillfen/signals.h"

namespace qfhost {

namespace {

constexpr int32_t kChunk = 4096;  // records read at a time

struct SignalCloser {
    void operator()(QfSignal* s) const { qfSignalClose(s); }
};
using SignalPtr = std::unique_ptr<QfSignal, SignalCloser>;

// Opens a file of the command line; null (and the reason said) when it
// cannot be read.
SignalPtr openSignal(Session& s, const std::string& path, QfSignalInfo& info) {
    const std::string full = s.resolve(path);
    if (const std::string why = unreadableReason(full); !why.empty()) {
        std::fprintf(stderr, "qf: cannot read '%s': %s\n", path.c_str(), why.c_str());
        return nullptr;
    }
    // The engine says why it refuses a file; qf says so only when it did not.
    const int said = s.errorMessages;
    SignalPtr signal(qfSignalOpen(full.c_str(), &info));
    if (!signal && s.errorMessages == said)
        std::fprintf(stderr, "qf: '%s' is not a signal file qf can read\n", path.c_str());
    return signal;
}

// The shortest decimal that reads back as the same value, without an
// exponent unless the number needs many zeros; a REAL32 value as a float.
std::string decimal(double v, bool single) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    char text[64];
    std::to_chars_result r =
        single ? std::to_chars(text, text + sizeof text, static_cast<float>(v),
                               std::chars_format::fixed)
               : std::to_chars(text, text + sizeof text, v, std::chars_format::fixed);
    if (r.ec != std::errc{} || r.ptr - text > 24)
        r = single ? std::to_chars(text, text + sizeof text, static_cast<float>(v))
                   : std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

// Ctrl-C between two chunks of records.
bool stopped() {
    if (!interrupted()) return false;
    std::fprintf(stderr, "qf: interrupted\n");
    return true;
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

void field(const char* name, const std::string& value) {
    std::printf("%-22s: %s\n", name, value.c_str());
}

int infoOf(Session& s, const std::string& path) {
    QfSignalInfo info{};
    SignalPtr signal = openSignal(s, path, info);
    if (!signal) return kExitFailed;
    field("File", path);
    field("Remark", info.remark);
    field("Number of record", std::to_string(info.recordCount));
    field("Record type number", std::string(info.typeName) + " (" + info.typeDescription + ")");
    field("Signal frequency", number(info.signalFrequency) + " Hz");
    field("Sampling rate", number(info.samplingRate) + " Hz");
    field("File format", info.format == 'a' ? "ASCII" : "Binary");
    int64_t samples = info.recordCount;
    switch (info.kind) {
        case QF_SIGNAL_FRAMES:
            field("Frame size", std::to_string(info.frameSize));
            field("Frame interval", std::to_string(info.frameInterval));
            field("Window function", info.windowName[0] ? info.windowName : "(unknown)");
            if (info.frameSize > 0)
                field("frames", std::to_string(info.recordCount / info.frameSize));
            return outputOk() ? kExitOk : kExitFailed;
        case QF_SIGNAL_COEFFICIENTS:
            field("LPC Order", std::to_string(info.lpcOrder));
            field("Frame Size", std::to_string(info.frameSize));
            field("Frame Interval", std::to_string(info.frameInterval));
            if (info.lpcOrder > 0)
                field("frames", std::to_string(info.recordCount / (2 * info.lpcOrder)));
            return outputOk() ? kExitOk : kExitFailed;
        case QF_SIGNAL_CHANNELS:
            field("Number of channels", std::to_string(info.channels));
            field("ADC/DAC device code", std::to_string(info.deviceCode));
            if (info.channels > 0) samples = info.recordCount / info.channels;
            break;
        default:
            break;
    }
    if (info.samplingRate > 0) field("duration", number(samples / info.samplingRate) + " s");
    if (info.kind != QF_SIGNAL_TIME) return outputOk() ? kExitOk : kExitFailed;
    // The statistics of the samples, summed in double.
    std::vector<double> v(kChunk);
    double low = INFINITY, high = -INFINITY, sum = 0.0, squares = 0.0;
    int64_t n = 0;
    for (int32_t first = 0; first < info.recordCount; first += kChunk) {
        if (stopped()) return kExitInterrupted;
        const int32_t got = qfSignalValues(signal.get(), first, kChunk, v.data());
        if (got < 0) return kExitFailed;
        for (int32_t i = 0; i < got; ++i) {
            low = std::fmin(low, v[i]);
            high = std::fmax(high, v[i]);
            sum += v[i];
            squares += v[i] * v[i];
        }
        n += got;
        if (got < kChunk) break;
    }
    if (n > 0) {
        field("minimum", number(low));
        field("maximum", number(high));
        field("mean", number(sum / n));
        field("RMS", number(std::sqrt(squares / n)));
    }
    return outputOk() ? kExitOk : kExitFailed;
}

int infoCommand(Session& s, const Args& args) {
    const Options o(args, {});
    if (o.positional.empty()) throw UsageError{"usage: qf info FILE..."};
    int status = kExitOk;
    for (std::size_t i = 0; i < o.positional.size(); ++i) {
        if (i > 0) std::printf("\n");
        const int r = infoOf(s, o.positional[i]);
        if (r == kExitInterrupted) return r;
        if (r != kExitOk) status = r;
    }
    return status;
}

int printCommand(Session& s, const Args& args) {
    const Options o(args, {{"from", true}, {"count", true}, {"polar", false}, {"db", false}});
    if (o.positional.size() != 1)
        throw UsageError{"usage: qf print FILE [--from N] [--count N] [--polar|--db]"};
    if (o.has("polar") && o.has("db")) throw UsageError{"choose one of --polar and --db"};
    const int32_t from = o.integer("from", 0);
    const int32_t count = o.integer("count", INT32_MAX);
    if (from < 0) throw UsageError{"--from must not be negative"};
    if (count < 0) throw UsageError{"--count must not be negative"};
    QfSignalInfo info{};
    SignalPtr signal = openSignal(s, o.positional[0], info);
    if (!signal) return kExitFailed;
    const bool complex = info.valuesPerRecord == 2;
    if ((o.has("polar") || o.has("db")) && !complex)
        throw UsageError{"--polar and --db are for complex records; '" + o.positional[0] +
                         "' holds " + info.typeName};
    if (from > info.recordCount) {
        std::fprintf(stderr, "qf: --from %d: '%s' holds %d records\n", from,
                     o.positional[0].c_str(), info.recordCount);
        return kExitFailed;
    }
    const bool single = info.recordType == 2;  // REAL32
    std::vector<double> v(static_cast<std::size_t>(kChunk) * info.valuesPerRecord);
    int64_t left = std::min<int64_t>(count, info.recordCount - static_cast<int64_t>(from));
    for (int32_t first = from; left > 0;) {
        if (stopped()) return kExitInterrupted;
        const int32_t want = static_cast<int32_t>(std::min<int64_t>(left, kChunk));
        const int32_t got = qfSignalValues(signal.get(), first, want, v.data());
        if (got <= 0) return got < 0 ? kExitFailed : kExitOk;
        std::string out;
        for (int32_t i = 0; i < got; ++i) {
            if (!complex) {
                out += decimal(v[i], single) + "\n";
                continue;
            }
            const double re = v[2 * i], im = v[2 * i + 1];
            if (o.has("polar"))
                out += decimal(std::hypot(re, im), false) + " " +
                       decimal(std::atan2(im, re), false) + "\n";
            else if (o.has("db"))
                out += decimal(20.0 * std::log10(std::hypot(re, im)), false) + "\n";
            else
                out += decimal(re, false) + " " + decimal(im, false) + "\n";
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        if (!outputOk()) return kExitFailed;
        first += got;
        left -= got;
    }
    return outputOk() ? kExitOk : kExitFailed;
}

CommandRegistrar inspectCommands({
    {"info", "FILE...", "show a signal file's header, its length and (time signals) statistics",
     infoCommand, false, 0,
     "For each file: the header fields by name, the record count and the duration;\n"
     "for time signals also the minimum, maximum, mean and RMS of the samples\n"
     "(16-bit words count as fractions, w / 32768).\n"},
    {"print", "FILE [--from N] [--count N] [--polar|--db]",
     "print a signal file's values, one record per line", printCommand, false, 0,
     "Values are plain decimal numbers: 16-bit words as fractions (w / 32768), floats\n"
     "as the shortest decimal that reads back the same.  Complex records print as\n"
     "'re im'; --polar prints 'magnitude phase' (radians), --db 20 log10 |X|.\n"
     "--from N starts at record N (from 0), --count N prints at most N records.\n"},
});

}  // namespace

}  // namespace qfhost
