// Signal generator commands: qf sine, sweep, square, triangle, impulse, step,
// window, sinc, ramp, exp and noise.  Each fills the generator parameters the
// way the generator dialogs do (frequencies in Hz) and runs the operation.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/callbacks.h"
#include "host/qf.h"
#include "ops/generate/generators.h"

extern "C" int32_t stdEmitMsg(int32_t kind, const char* text);

namespace qfhost {

using qf::gen::GeneratorParams;

// The wording of the generator checks' codes, as the generator dialogs show
// them; null for a code without a message.
const char* generatorCheckMessage(int32_t code) {
    switch (code) {
        case 60:
            return "The delay must not be negative.";
        case 80:
            return "The amplitude must not be negative.";
        case 81:
            return "A 16-bit signal needs an amplitude of at most 1.";
        case 90:
            return "The offset must not be negative.";
        case 91:
            return "A 16-bit signal needs amplitude + offset of at most 1.";
        case 100:
            return "The sampling rate must be positive.";
        case 110:
            return "The frequency must be positive.";
        case 111:
            return "The frequency must be below half the sampling rate.";
        case 112:
            return "The end frequency must be below half the sampling rate.";
        default:
            return nullptr;
    }
}

// A generator dialog: applies the command line, then runs the engine's
// check as the dialog's OK button does.  A refusal is shown and, since a
// terminal cannot change its answer, ends the operation with the code.
int32_t answerGeneratorDialog(QfCheckParamsFn check) {
    const int32_t r = answerDialog();
    if (r != 0 || check == nullptr) return r;
    const int32_t c = check(0);
    if (c != 0) {
        const char* text = generatorCheckMessage(c);
        const std::string fallback =
            "The parameters were refused (code " + std::to_string(c) + ").";
        stdEmitMsg(QF_MSG_ERROR, text ? text : fallback.c_str());
    }
    return c;
}

namespace {

constexpr const char* kWindowNames[] = {
    "Rectangular",   "Hanning",      "Blackman",     "Exact_Blackman",
    "Hamming",       "Min_3-terms",  "Min_4-terms",  "Gaussian(3.0)",
    "Gaussian(3.5)", "Poisson(3.0)", "Poisson(4.0)", "Cauchy(4.0)",
    "Cauchy(5.0)",   "Kaiser(3.0)",  "Kaiser(3.5)",  "Triangular",
};
constexpr int32_t kWindowCount = static_cast<int32_t>(sizeof kWindowNames / sizeof *kWindowNames);

bool sameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int32_t windowFromText(const std::string& text) {
    for (int32_t w = 0; w < kWindowCount; ++w)
        if (sameNoCase(text, kWindowNames[w])) return w;
    if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) {
        const int32_t w = parseInteger(text, "--window");
        if (w >= 0 && w < kWindowCount) return w;
    }
    std::string list;
    for (int32_t w = 0; w < kWindowCount; ++w)
        list += (w ? ", " : "") + std::to_string(w) + " " + kWindowNames[w];
    throw UsageError{"unknown window '" + text + "'; windows are " + list};
}

// --noise none | uniform:LO:HI | normal:MEAN:VAR | poisson
void applyNoise(GeneratorParams& p, const std::string& text) {
    const std::string usage =
        "--noise takes none, uniform:LO:HI, normal:MEAN:VARIANCE or poisson, not '" + text + "'";
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t colon = text.find(':', from);
        parts.push_back(text.substr(from, colon == std::string::npos ? colon : colon - from));
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    const std::string& kind = parts[0];
    if (kind == "none" && parts.size() == 1) {
        p.noiseType = qf::gen::kNoNoise;
    } else if (kind == "poisson" && parts.size() == 1) {
        p.noiseType = qf::gen::kPoissonNoise;
    } else if ((kind == "uniform" || kind == "normal") && parts.size() == 3) {
        const int32_t t = kind == "uniform" ? qf::gen::kUniformNoise : qf::gen::kNormalNoise;
        p.noiseType = t;
        p.noiseParam1[t] = parseNumber(parts[1], "--noise");
        p.noiseParam2[t] = parseNumber(parts[2], "--noise");
        if (t == qf::gen::kNormalNoise && p.noiseParam2[t] < 0)
            throw UsageError{"the variance of --noise normal must not be negative"};
    } else {
        throw UsageError{usage};
    }
}

// Options every generator takes, and the ones that belong to one kind.
const std::vector<std::string> kCommonFlags = {"int16", "float"};
const std::vector<std::string> kCommonValues = {"rate", "noise"};

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

double required(const Options& o, const std::string& name, const std::string& usage) {
    if (!o.has(name)) throw UsageError{"--" + name + " is required; usage: " + usage};
    return o.number(name, 0.0);
}

int32_t requiredInteger(const Options& o, const std::string& name, const std::string& usage) {
    if (!o.has(name)) throw UsageError{"--" + name + " is required; usage: " + usage};
    const int32_t v = o.integer(name, 0);
    if (v < 1) throw UsageError{"--" + name + " must be at least 1"};
    return v;
}

// The parameters shared by all generators: rate, output type and noise.
GeneratorParams commonParams(const Options& o, const std::string& usage,
                             const std::string& defaultNoise = "none") {
    if (o.has("int16") && o.has("float")) throw UsageError{"choose one of --int16 and --float"};
    GeneratorParams p{};
    p.frequencyUnit = 'h';
    p.phaseUnit = 'r';
    p.outputType = o.has("int16") ? qf::gen::kOutputInteger16 : qf::gen::kOutputReal32;
    p.amplitude = 1.0;
    p.rate = required(o, "rate", usage);
    applyNoise(p, o.value("noise", defaultNoise));
    return p;
}

std::string outputPath(const Options& o, const std::string& usage) {
    if (o.positional.size() != 1) throw UsageError{"usage: " + usage};
    return o.positional[0];
}

int runGenerator(Session& s, int32_t code, const std::string& out, const GeneratorParams& p) {
    return s.run(code, [&s, out, p](CommandBlock& b) {
        s.setFile(b.out, out);
        qf::gen::generatorParams(b) = p;
    });
}

// sine, square, triangle
int periodic(Session& s, const Args& args, int32_t code, const std::string& name) {
    const std::string usage = "qf " + name +
                              " OUT.tim --freq F --rate FS --samples N [--amplitude A] "
                              "[--offset O] [--phase P [--degrees]] [--int16|--float] "
                              "[--noise uniform:LO:HI|normal:MEAN:VAR]";
    Options o(args, join(kCommonFlags, {"degrees"}),
              join(kCommonValues, {"freq", "samples", "amplitude", "offset", "phase"}));
    const std::string out = outputPath(o, usage);
    GeneratorParams p = commonParams(o, usage);
    p.frequency = required(o, "freq", usage);
    p.sampleCount = requiredInteger(o, "samples", usage);
    p.amplitude = o.number("amplitude", 1.0);
    p.offset = o.number("offset", 0.0);
    p.phase = o.number("phase", 0.0);
    p.phaseUnit = o.has("degrees") ? 'd' : 'r';
    return runGenerator(s, code, out, p);
}

int sineCommand(Session& s, const Args& a) {
    return periodic(s, a, QF_OP_SINE, "sine");
}
int squareCommand(Session& s, const Args& a) {
    return periodic(s, a, QF_OP_SQUARE, "square");
}
int triangleCommand(Session& s, const Args& a) {
    return periodic(s, a, QF_OP_TRIANGLE, "triangle");
}

int sweepCommand(Session& s, const Args& args) {
    const std::string usage =
        "qf sweep OUT.tim --from F1 --to F2 --rate FS --length L [--sweeps K] [--log] "
        "[--amplitude A] [--offset O] [--phase P [--degrees]] [--int16|--float] [--noise ...]";
    Options o(
        args, join(kCommonFlags, {"degrees", "log"}),
        join(kCommonValues, {"from", "to", "length", "sweeps", "amplitude", "offset", "phase"}));
    const std::string out = outputPath(o, usage);
    GeneratorParams p = commonParams(o, usage);
    p.frequency = required(o, "from", usage);
    p.endFrequency = required(o, "to", usage);
    p.sweepLength = requiredInteger(o, "length", usage);
    p.sweepCount = o.integer("sweeps", 1);
    p.sweepLog = o.has("log") ? 1 : 0;
    p.amplitude = o.number("amplitude", 1.0);
    p.offset = o.number("offset", 0.0);
    p.phase = o.number("phase", 0.0);
    p.phaseUnit = o.has("degrees") ? 'd' : 'r';
    if (p.sweepCount < 1) throw UsageError{"--sweeps must be at least 1"};
    return runGenerator(s, QF_OP_SWEPT_SINE, out, p);
}

// impulse, step
int unitCommand(Session& s, const Args& args, int32_t code, const std::string& name) {
    const std::string usage = "qf " + name +
                              " OUT.tim --rate FS --samples N [--delay N0] [--amplitude A] "
                              "[--int16|--float] [--noise ...]";
    Options o(args, kCommonFlags, join(kCommonValues, {"samples", "delay", "amplitude"}));
    const std::string out = outputPath(o, usage);
    GeneratorParams p = commonParams(o, usage);
    p.sampleCount = requiredInteger(o, "samples", usage);
    p.delay = o.integer("delay", 0);
    p.amplitude = o.number("amplitude", 1.0);
    return runGenerator(s, code, out, p);
}
int impulseCommand(Session& s, const Args& a) {
    return unitCommand(s, a, QF_OP_UNIT_SAMPLE, "impulse");
}
int stepCommand(Session& s, const Args& a) {
    return unitCommand(s, a, QF_OP_UNIT_STEP, "step");
}

int windowCommand(Session& s, const Args& args) {
    const std::string usage =
        "qf window OUT.tim --rate FS --samples N [--window NAME|NUMBER] [--int16|--float] "
        "[--noise ...]";
    Options o(args, kCommonFlags, join(kCommonValues, {"samples", "window"}));
    const std::string out = outputPath(o, usage);
    GeneratorParams p = commonParams(o, usage);
    p.sampleCount = requiredInteger(o, "samples", usage);
    p.windowNumber = windowFromText(o.value("window", "Hanning"));
    return runGenerator(s, QF_OP_WINDOW_FUNCTION, out, p);
}

int sincCommand(Session& s, const Args& args) {
    const std::string usage =
        "qf sinc OUT.tim --rate FS --samples N [--center C] [--int16|--float] [--noise ...]";
    Options o(args, kCommonFlags, join(kCommonValues, {"samples", "center"}));
    const std::string out = outputPath(o, usage);
    GeneratorParams p = commonParams(o, usage);
    p.sampleCount = requiredInteger(o, "samples", usage);
    p.sincCenter = o.integer("center", p.sampleCount / 2);
    return runGenerator(s, QF_OP_SINC, out, p);
}

int rampCommand(Session& s, const Args& args) {
    const std::string usage =
        "qf ramp OUT.tim --rate FS --samples N [--from START] [--to END] [--int16|--float] "
        "[--noise ...]";
    Options o(args, kCommonFlags, join(kCommonValues, {"samples", "from", "to"}));
    const std::string out = outputPath(o, usage);
    GeneratorParams p = commonParams(o, usage);
    p.sampleCount = requiredInteger(o, "samples", usage);
    p.rampStart = o.number("from", 0.0);
    p.rampEnd = o.number("to", 1.0);
    return runGenerator(s, QF_OP_RAMP, out, p);
}

int expCommand(Session& s, const Args& args) {
    const std::string usage =
        "qf exp OUT.tim --rate FS --samples N [--amplitude A] [--decay PER_SAMPLE] "
        "[--int16|--float] [--noise ...]";
    Options o(args, kCommonFlags, join(kCommonValues, {"samples", "amplitude", "decay"}));
    const std::string out = outputPath(o, usage);
    GeneratorParams p = commonParams(o, usage);
    p.sampleCount = requiredInteger(o, "samples", usage);
    p.amplitude = o.number("amplitude", 1.0);
    p.decay = o.number("decay", 0.01);
    return runGenerator(s, QF_OP_EXP_FUNCTION, out, p);
}

int noiseCommand(Session& s, const Args& args) {
    const std::string usage =
        "qf noise OUT.tim --rate FS --samples N [--noise uniform:LO:HI|normal:MEAN:VAR] "
        "[--int16|--float]";
    Options o(args, kCommonFlags, join(kCommonValues, {"samples"}));
    const std::string out = outputPath(o, usage);
    GeneratorParams p = commonParams(o, usage, "uniform:-1:1");
    p.sampleCount = requiredInteger(o, "samples", usage);
    const int r = runGenerator(s, QF_OP_NOISE, out, p);
    if (r != 0 && (p.noiseType == qf::gen::kNoNoise))
        std::fprintf(stderr, "qf: no noise chosen: nothing generated\n");
    return r;
}

CommandRegistrar generateCommands({
    {"sine",
     "OUT.tim --freq F --rate FS --samples N [--amplitude A] [--offset O] [--phase P "
     "[--degrees]] [--int16|--float] [--noise uniform:LO:HI|normal:MEAN:VAR]",
     "generate a sine wave", sineCommand},
    {"sweep",
     "OUT.tim --from F1 --to F2 --rate FS --length L [--sweeps K] [--log] [--amplitude A] "
     "[--offset O] [--phase P [--degrees]] [--int16|--float] [--noise ...]",
     "generate a swept sine (linear, or --log), K sweeps of L samples", sweepCommand},
    {"square",
     "OUT.tim --freq F --rate FS --samples N [--amplitude A] [--offset O] [--phase P "
     "[--degrees]] [--int16|--float] [--noise ...]",
     "generate a square wave", squareCommand},
    {"triangle",
     "OUT.tim --freq F --rate FS --samples N [--amplitude A] [--offset O] [--phase P "
     "[--degrees]] [--int16|--float] [--noise ...]",
     "generate a triangular wave", triangleCommand},
    {"impulse", "OUT.tim --rate FS --samples N [--delay N0] [--amplitude A] [--int16|--float]",
     "generate a unit sample at index N0", impulseCommand},
    {"step", "OUT.tim --rate FS --samples N [--delay N0] [--amplitude A] [--int16|--float]",
     "generate a unit step from index N0 on", stepCommand},
    {"window", "OUT.tim --rate FS --samples N [--window NAME|NUMBER] [--int16|--float]",
     "generate one of the 16 analysis windows (default Hanning)", windowCommand},
    {"sinc", "OUT.tim --rate FS --samples N [--center C] [--int16|--float]",
     "generate a sinc function peaking at index C (default N/2)", sincCommand},
    {"ramp", "OUT.tim --rate FS --samples N [--from START] [--to END] [--int16|--float]",
     "generate a ramp from START towards END (default 0 to 1)", rampCommand},
    {"exp", "OUT.tim --rate FS --samples N [--amplitude A] [--decay D] [--int16|--float]",
     "generate A*exp(-D*n) (default D 0.01)", expCommand},
    {"noise",
     "OUT.tim --rate FS --samples N [--noise uniform:LO:HI|normal:MEAN:VAR] [--int16|--float]",
     "generate noise (default uniform:-1:1)", noiseCommand},
});

}  // namespace

}  // namespace qfhost
