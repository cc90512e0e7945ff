// Spectral analysis commands: qf fft.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "host/qf.h"

namespace qfhost {

namespace {

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
    return s.run(QF_OP_FFT, [&](CommandBlock& b) {
        s.setFile(b.in1, in);
        s.setFile(b.out, out);
        if (haveWindow) qf::paramInt(b, QF_PARAM_OFFSET) = window;
        if (haveSize) qf::paramInt(b, QF_PARAM_OFFSET + 4) = size;
        if (haveInterval) qf::paramInt(b, QF_PARAM_OFFSET + 8) = interval;
    });
}

CommandRegistrar spectralCommands({
    {"fft", "IN.tim OUT.fre [--size N] [--interval I] [--window NAME|NUMBER]",
     "FFT frames of a time signal (N 32 ... 1048576, a power of two)", fftCommand},
});

}  // namespace

}  // namespace qfhost
