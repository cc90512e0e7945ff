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

double required(const Options& o, const std::string& name, const std::string& usage) {
    if (!o.has(name)) throw UsageError{"--" + name + " is required; usage: " + usage};
    return o.number(name, 0.0);
}

int32_t requiredCount(const Options& o, const std::string& name, const std::string& usage) {
    if (!o.has(name)) throw UsageError{"--" + name + " is required; usage: " + usage};
    const int32_t v = o.integer(name, 0);
    if (v < 1) throw UsageError{"--" + name + " must be at least 1"};
    return v;
}

// Amplitude, offset and starting phase of the periodic generators.
void applyShape(const Options& o, GeneratorParams& p) {
    p.amplitude = o.number("amplitude", 1.0);
    p.offset = o.number("offset", 0.0);
    p.phase = o.number("phase", 0.0);
    p.phaseUnit = o.has("degrees") ? 'd' : 'r';
}

// One generator command: the options of its kind and how they fill the
// parameters.  Every generator also takes OUT.tim, --rate, --int16|--float
// and --noise, and all but the sweep take --samples.
struct GeneratorCommand {
    const char* name;
    int32_t code;
    const char* options;  // the usage after "OUT.tim --rate FS"
    const char* help;
    std::vector<std::string> flags;
    std::vector<std::string> values;
    void (*fill)(const Options& o, GeneratorParams& p, const std::string& usage);
    const char* defaultNoise = "none";
};

void fillPeriodic(const Options& o, GeneratorParams& p, const std::string& usage) {
    p.frequency = required(o, "freq", usage);
    applyShape(o, p);
}
void fillSweep(const Options& o, GeneratorParams& p, const std::string& usage) {
    p.frequency = required(o, "from", usage);
    p.endFrequency = required(o, "to", usage);
    p.sweepLength = requiredCount(o, "length", usage);
    p.sweepCount = o.integer("sweeps", 1);
    if (p.sweepCount < 1) throw UsageError{"--sweeps must be at least 1"};
    p.sweepLog = o.has("log") ? 1 : 0;
    applyShape(o, p);
}
void fillUnit(const Options& o, GeneratorParams& p, const std::string&) {
    p.delay = o.integer("delay", 0);
    p.amplitude = o.number("amplitude", 1.0);
}
void fillWindow(const Options& o, GeneratorParams& p, const std::string&) {
    p.windowNumber = windowFromText(o.value("window", "Hanning"));
}
void fillSinc(const Options& o, GeneratorParams& p, const std::string&) {
    p.sincCenter = o.integer("center", p.sampleCount / 2);
}
void fillRamp(const Options& o, GeneratorParams& p, const std::string&) {
    p.rampStart = o.number("from", 0.0);
    p.rampEnd = o.number("to", 1.0);
}
void fillExp(const Options& o, GeneratorParams& p, const std::string&) {
    p.amplitude = o.number("amplitude", 1.0);
    p.decay = o.number("decay", 0.01);
}
void fillNothing(const Options&, GeneratorParams&, const std::string&) {}

const std::vector<std::string> kShape = {"amplitude", "offset", "phase"};
#define QF_SHAPE_USAGE " [--amplitude A] [--offset O] [--phase P]"

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<GeneratorCommand>& generatorCommands() {
    static const std::vector<GeneratorCommand> table = {
        {"sine",
         QF_OP_SINE,
         "--freq F --samples N" QF_SHAPE_USAGE,
         "generate a sine wave",
         {"degrees"},
         with({"freq"}, kShape),
         fillPeriodic},
        {"sweep",
         QF_OP_SWEPT_SINE,
         "--from F1 --to F2 --length L [--sweeps K] [--log]" QF_SHAPE_USAGE,
         "generate a swept sine (linear, or --log), K sweeps of L samples",
         {"degrees", "log"},
         with({"from", "to", "length", "sweeps"}, kShape),
         fillSweep},
        {"square",
         QF_OP_SQUARE,
         "--freq F --samples N" QF_SHAPE_USAGE,
         "generate a square wave",
         {"degrees"},
         with({"freq"}, kShape),
         fillPeriodic},
        {"triangle",
         QF_OP_TRIANGLE,
         "--freq F --samples N" QF_SHAPE_USAGE,
         "generate a triangular wave",
         {"degrees"},
         with({"freq"}, kShape),
         fillPeriodic},
        {"impulse",
         QF_OP_UNIT_SAMPLE,
         "--samples N [--delay N0] [--amplitude A]",
         "generate a unit sample at index N0",
         {},
         {"delay", "amplitude"},
         fillUnit},
        {"step",
         QF_OP_UNIT_STEP,
         "--samples N [--delay N0] [--amplitude A]",
         "generate a unit step from index N0 on",
         {},
         {"delay", "amplitude"},
         fillUnit},
        {"window",
         QF_OP_WINDOW_FUNCTION,
         "--samples N [--window NAME|NUMBER]",
         "generate one of the 16 analysis windows (default Hanning)",
         {},
         {"window"},
         fillWindow},
        {"sinc",
         QF_OP_SINC,
         "--samples N [--center C]",
         "generate a sinc function peaking at index C (default N/2)",
         {},
         {"center"},
         fillSinc},
        {"ramp",
         QF_OP_RAMP,
         "--samples N [--from START] [--to END]",
         "generate a ramp from START towards END (default 0 to 1)",
         {},
         {"from", "to"},
         fillRamp},
        {"exp",
         QF_OP_EXP_FUNCTION,
         "--samples N [--amplitude A] [--decay D]",
         "generate A*exp(-D*n) (default D 0.01)",
         {},
         {"amplitude", "decay"},
         fillExp},
        {"noise",
         QF_OP_NOISE,
         "--samples N",
         "generate noise (default uniform:-1:1)",
         {},
         {},
         fillNothing,
         "uniform:-1:1"},
    };
    return table;
}
#undef QF_SHAPE_USAGE

std::string usageOf(const GeneratorCommand& g) {
    std::string u = std::string("OUT.tim --rate FS ") + g.options;
    if (std::strstr(g.options, "--phase")) u += " [--degrees]";
    return u + " [--int16|--float] [--noise uniform:LO:HI|normal:MEAN:VAR|poisson]";
}

int runGeneratorCommand(Session& s, const Args& args, const GeneratorCommand& g) {
    const std::string usage = std::string("qf ") + g.name + " " + usageOf(g);
    std::vector<std::string> values = {"rate", "noise"};
    if (g.code != QF_OP_SWEPT_SINE) values.push_back("samples");
    Options o(args, with({"int16", "float"}, g.flags), with(values, g.values));
    if (o.positional.size() != 1) throw UsageError{"usage: " + usage};
    if (o.has("int16") && o.has("float")) throw UsageError{"choose one of --int16 and --float"};
    GeneratorParams p{};
    p.frequencyUnit = 'h';
    p.phaseUnit = 'r';
    p.outputType = o.has("int16") ? qf::gen::kOutputInteger16 : qf::gen::kOutputReal32;
    p.amplitude = 1.0;
    p.rate = required(o, "rate", usage);
    applyNoise(p, o.value("noise", g.defaultNoise));
    if (g.code != QF_OP_SWEPT_SINE) p.sampleCount = requiredCount(o, "samples", usage);
    g.fill(o, p, usage);
    const std::string out = o.positional[0];
    const int r = s.run(g.code, [&s, out, p](CommandBlock& b) {
        s.setFile(b.out, out);
        qf::gen::generatorParams(b) = p;
    });
    if (r != 0 && g.code == QF_OP_NOISE && p.noiseType == qf::gen::kNoNoise)
        std::fprintf(stderr, "qf: no noise chosen: nothing generated\n");
    return r;
}

std::vector<Command> commandList() {
    std::vector<Command> list;
    for (const GeneratorCommand& g : generatorCommands())
        list.push_back({g.name, usageOf(g), g.help,
                        [&g](Session& s, const Args& a) { return runGeneratorCommand(s, a, g); }});
    return list;
}

CommandRegistrar generateCommands(commandList());

}  // namespace

}  // namespace qfhost
