// Spectral analysis commands: qf fft.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/qf.h"

namespace qfhost {

namespace {

// The analysis windows by number, as the engine names them in frame
// spectrum headers ("Window function       : Hanning").
constexpr const char* kWindowNames[] = {
    "Rectangular",   "Hanning",      "Blackman",     "Exact_Blackman",
    "Hamming",       "Min_3-terms",  "Min_4-terms",  "Gaussian(3.0)",
    "Gaussian(3.5)", "Poisson(3.0)", "Poisson(4.0)", "Cauchy(4.0)",
    "Cauchy(5.0)",   "Kaiser(3.0)",  "Kaiser(3.5)",  "Triangular",
};
constexpr int32_t kWindowCount = static_cast<int32_t>(sizeof kWindowNames / sizeof *kWindowNames);

bool sameNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

std::string windowList() {
    std::string t;
    for (int32_t w = 0; w < kWindowCount; ++w) {
        if (w > 0) t += ", ";
        t += std::to_string(w) + " " + kWindowNames[w];
    }
    return t;
}

// A window given by name (any letter case) or by number.
int32_t windowFromText(const std::string& text) {
    for (int32_t w = 0; w < kWindowCount; ++w)
        if (sameNoCase(text, kWindowNames[w])) return w;
    const bool number = !text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) ||
                                          (text[0] == '-' && text.size() > 1));
    if (number) {
        const int32_t w = parseInteger(text, "--window");
        if (w >= 0 && w < kWindowCount) return w;
    }
    throw UsageError{"unknown window '" + text + "'; windows are " + windowList()};
}

int fftCommand(Session& s, const Args& args) {
    Options o(args, {}, {"size", "interval", "window"});
    if (o.positional.size() != 2)
        throw UsageError{
            "usage: qf fft IN.tim OUT.fre [--size N] [--interval I] [--window NAME|NUMBER]"};
    const std::string in = o.positional[0];
    const std::string out = o.positional[1];
    const bool haveSize = o.has("size");
    const bool haveInterval = o.has("interval");
    const bool haveWindow = o.has("window");
    const int32_t size = o.integer("size", 0);
    const int32_t interval = o.integer("interval", 0);
    const int32_t window = haveWindow ? windowFromText(o.value("window")) : 0;

    // The dialog's fields: window number, FFT size and frame interval, at
    // 13008, 13012 and 13016.  Values not given keep the engine's remembered
    // ones, which it puts into the block before it asks.
    auto setParam = [](CommandBlock& b, int offset, int32_t value) {
        std::memcpy(reinterpret_cast<unsigned char*>(&b) + offset, &value, sizeof value);
    };
    return s.run(QF_OP_FFT, [&](CommandBlock& b) {
        s.setFile(b.in1, in);
        s.setFile(b.out, out);
        if (haveWindow) setParam(b, QF_PARAM_OFFSET, window);
        if (haveSize) setParam(b, QF_PARAM_OFFSET + 4, size);
        if (haveInterval) setParam(b, QF_PARAM_OFFSET + 8, interval);
    });
}

CommandRegistrar spectralCommands({
    {"fft", "IN.tim OUT.fre [--size N] [--interval I] [--window NAME|NUMBER]",
     "FFT frames of a time signal (N 32 ... 1048576, a power of two)", fftCommand},
});

}  // namespace

}  // namespace qfhost
