// Signal generators 2010-2140: one description each, made from one table of
// the generator parameters (their offsets, defaults and command-line
// options) and a line per generator naming its dialog, parameters, script
// fields and kernel.
#include <cstring>
#include <string>
#include <utility>

#include "core/engine.h"
#include "core/operation.h"
#include "ops/generate/generators.h"
#include "signal/access.h"
#include "signal/format.h"

namespace qf {

namespace {

using namespace gen;

#define G(field) QF_GENERATOR_FIELD(field)

// Every generator parameter by the name a command line gives it, with what
// a host shows to teach it.  One vocabulary serves every generator: the
// sampling rate and the number of samples default to 8000 Hz and 8000
// samples; names used before stay as aliases.  Some names mean different
// fields for different generators ("from" is the sweep's start frequency
// and the ramp's first value; the sweep's "samples" are those of one sweep).
ParamSpec generatorParam(const std::string& name, int32_t code) {
    const bool ramp = code == QF_OP_RAMP;
    if (name == "frequency-unit") return charParam("frequency-unit", G(frequencyUnit)).fixed('h');
    if (name == "phase-unit")
        return charParam("phase-unit", G(phaseUnit))
            .choices("degrees=d radians=r", true)
            .fallback('r')
            .about("the unit of --phase");
    if (name == "type")
        return intParam("type", G(outputType))
            .choices("int16=0 float=2", true)
            .fallback(2)
            .about("the sample type: 16-bit fractions or 32-bit floats");
    if (name == "noise")
        return noiseParam("noise", G(noiseType))
            .fallbackText(code == QF_OP_NOISE ? "uniform:-1:1" : "none")
            .choices("none=0 uniform=1 normal=2 poisson=3")
            .help("uniform:LO:HI|normal:MEAN:VAR|poisson")
            .about("noise added to every sample", nullptr, "uniform:-0.1:0.1");
    if (name == "rate")
        return doubleParam("rate", G(rate))
            .fallback(8000.0)
            .help("FS")
            .about("the sampling rate", "Hz", "44100");
    if (name == "samples") {
        if (code == QF_OP_SWEPT_SINE)
            return intParam("samples", G(sweepLength))
                .fallback(8000)
                .minimum(1)
                .help("N")
                .about("samples in each sweep (the signal holds N x SWEEPS)", "samples", "1000")
                .aliases("length");
        return intParam("samples", G(sampleCount))
            .fallback(8000)
            .minimum(1)
            .help("N")
            .about("the number of samples", nullptr, "1024");
    }
    if (name == "frequency")
        return doubleParam("frequency", G(frequency))
            .required()
            .help("F")
            .about("the frequency, below half the sampling rate", "Hz", "440")
            .aliases("freq");
    if (name == "from")
        return ramp ? doubleParam("from", G(rampStart))
                          .fallback(0.0)
                          .help("START")
                          .about("the first value", nullptr, "-1")
                    : doubleParam("from", G(frequency))
                          .required()
                          .help("F1")
                          .about("the frequency each sweep starts at", "Hz", "100");
    if (name == "to")
        return ramp ? doubleParam("to", G(rampEnd))
                          .fallback(1.0)
                          .help("END")
                          .about("the value the ramp heads for (one step short)", nullptr, "1")
                    : doubleParam("to", G(endFrequency))
                          .required()
                          .help("F2")
                          .about("the frequency each sweep ends at", "Hz", "1000");
    if (name == "sweeps")
        return intParam("sweeps", G(sweepCount))
            .fallback(1)
            .minimum(1)
            .help("K")
            .about("the number of sweeps", nullptr, "3");
    if (name == "log")
        return intParam("log", G(sweepLog))
            .choices("log=1 linear=0", true)
            .fallback(0)
            .about("how the frequency runs: along ln k, or linearly in time");
    if (name == "phase")
        return doubleParam("phase", G(phase))
            .fallback(0.0)
            .help("P")
            .about("the phase subtracted from the angle", "radians (degrees with --degrees)",
                   "1.5708");
    if (name == "amplitude")
        return doubleParam("amplitude", G(amplitude))
            .fallback(1.0)
            .help("A")
            .about("the peak value (at most 1 for --int16)", nullptr, "0.5");
    if (name == "offset")
        return doubleParam("offset", G(offset))
            .fallback(0.0)
            .help("O")
            .about("a constant added to every sample", nullptr, "0.25");
    if (name == "delay")
        return intParam("delay", G(delay))
            .fallback(0)
            .help("N0")
            .about("the index of the first nonzero sample", "samples", "100");
    if (name == "window")
        return intParam("window", G(windowNumber))
            .choices(windowChoiceText())
            .fallback(1)
            .help("NAME|NUMBER")
            .about("the window, by name or number", nullptr, "Hamming");
    if (name == "center")
        return intParam("center", G(sincCenter))
            .halfOf(G(sampleCount))
            .help("C")
            .about("the index of the main lobe's peak", "samples", "100");
    if (name == "decay")
        return doubleParam("decay", G(decay))
            .fallback(0.01)
            .help("D")
            .about("the decay per sample", nullptr, "0.001");
    return ParamSpec{};
}

// The generators' check results, as their host dialogs word them.
// Each names the parameter it is about; those that depend on the sampling
// rate give the limit.
double halfTheRate(const CommandBlock& b) {
    QfGeneratorParams p;
    std::memcpy(&p, b.params, sizeof p);
    return p.rate / 2.0;
}

std::vector<CheckMessage> generatorChecks() {
    auto m = [](int32_t code, const char* text, int32_t about, bool withLimit = false) {
        CheckMessage c{code, QF_MSG_ERROR, text, Then::AskAgain};
        c.about = about;
        if (withLimit) {
            c.args[0] = Arg::Computed;
            c.computed = halfTheRate;
        }
        return c;
    };
    return {
        m(60, "The delay must not be negative.", G(delay)),
        m(80, "The amplitude must not be negative.", G(amplitude)),
        m(81, "A 16-bit signal needs an amplitude of at most 1.", G(amplitude)),
        m(90, "The offset must not be negative.", G(offset)),
        m(91, "A 16-bit signal needs amplitude + offset of at most 1.", G(offset)),
        m(100, "The sampling rate must be positive.", G(rate)),
        m(110, "The frequency must be positive.", G(frequency)),
        m(111, "The frequency must be below half the sampling rate, %lg Hz.", G(frequency), true),
        m(112, "The end frequency must be below half the sampling rate, %lg Hz.", G(endFrequency),
          true),
        m(101, "The sampling rate must be a finite number.", G(rate)),
        m(82, "The amplitude must be a finite number.", G(amplitude)),
        m(92, "The offset must be a finite number.", G(offset)),
        m(113, "The frequencies must be finite numbers.", G(frequency)),
        m(120, "The phase must be a finite number.", G(phase)),
        m(121, "The ramp's start and end values must be finite numbers.", G(rampStart)),
        m(122, "The decay must be a finite number.", G(decay)),
        m(130, "Uniform noise needs finite bounds, the lower one no greater than the upper one.",
          G(noiseType)),
        m(131, "Normal noise needs a finite mean and a finite variance of at least 0.",
          G(noiseType)),
    };
}

// The output gets a name and the current folder when the dialog opens.
int32_t proposeOutput(CommandBlock& b) {
    if (b.out.n[0] == '\0') std::strcpy(b.out.n, "output.tim");
    stdGetCurrentDir(b.out.p, sizeof b.out.p);
    return 0;
}

// Choosing no noise in the noise dialog leaves nothing to generate.
int32_t someNoise(CommandBlock& b) {
    return generatorParams(b).noiseType == kNoNoise ? 1 : 0;
}

struct Generator {
    int32_t code;
    const char* scriptName;
    const char* command;
    const char* help;
    HostCheckedFn HostInterface::*dialog;
    const char* title;
    // The line after the output entry: parameter names, "+" glues a field
    // to the one before, "ff" the output format letter; then the output
    // type and the noise always follow.
    const char* script;
    // Command-line parameters besides the output type, noise and rate.
    const char* options;
    ComputeFn kernel;
};

const Generator kGenerators[] = {
    {QF_OP_SINE, "Sinusoidal        ", "sine", "generate a sine wave",
     &HostInterface::getSweptSineParams, "Generating Sinusoidal Wave",
     "frequency-unit +phase-unit +ff frequency rate samples phase amplitude offset",
     "frequency samples amplitude offset phase", periodicCompute},
    {QF_OP_SWEPT_SINE, "Swept_Sine        ", "sweep",
     "generate a swept sine (linear, or --log), K sweeps of N samples",
     &HostInterface::getSweptSineParams, "Generating Swept Sine Wave",
     "frequency-unit +phase-unit +ff from to rate samples sweeps phase amplitude offset log",
     "from to samples sweeps log amplitude offset phase", periodicCompute},
    {QF_OP_SQUARE, "Square            ", "square", "generate a square wave",
     &HostInterface::getSweptSineParams, "Generating Square Wave",
     "frequency-unit +phase-unit +ff frequency rate samples phase amplitude offset",
     "frequency samples amplitude offset phase", periodicCompute},
    {QF_OP_TRIANGLE, "Triangular        ", "triangle", "generate a triangular wave",
     &HostInterface::getSweptSineParams, "Generating Triangular Wave",
     "frequency-unit +phase-unit +ff frequency rate samples phase amplitude offset",
     "frequency samples amplitude offset phase", periodicCompute},
    {QF_OP_UNIT_SAMPLE, "Unit_Sample       ", "impulse", "generate a unit sample at index N0",
     &HostInterface::getImpuParams, "Generating Unit Sample",
     "frequency-unit +ff rate samples delay amplitude", "samples delay amplitude",
     aperiodicCompute},
    {QF_OP_UNIT_STEP, "Unit_Step         ", "step", "generate a unit step from index N0 on",
     &HostInterface::getImpuParams, "Generating Unit Step",
     "frequency-unit +ff rate samples delay amplitude", "samples delay amplitude",
     aperiodicCompute},
    {QF_OP_WINDOW_FUNCTION, "WinFunction       ", "window",
     "generate one of the 16 analysis windows (default Hanning)", &HostInterface::getWinFunctParams,
     "Generating Window Function", "frequency-unit +ff window rate samples", "samples window",
     aperiodicCompute},
    {QF_OP_SINC, "SincFunction      ", "sinc",
     "generate a sinc function peaking at index C (default N/2)",
     &HostInterface::getSincFunctParams, "Generating Sinc Function",
     "frequency-unit +ff rate samples center", "samples center", aperiodicCompute},
    {QF_OP_RAMP, "RampFunction      ", "ramp",
     "generate a ramp from START towards END (default 0 to 1)", &HostInterface::getRampFunctParams,
     "Generating Ramp Function", "frequency-unit +ff rate samples from to", "samples from to",
     aperiodicCompute},
    {QF_OP_EXP_FUNCTION, "ExpFunction       ", "exp", "generate A*exp(-D*n) (default D 0.01)",
     &HostInterface::getExpFunctParams, "Generating Exp. Function",
     "frequency-unit +ff rate samples amplitude decay", "samples amplitude decay",
     aperiodicCompute},
    {QF_OP_NOISE, "NoiseFunction     ", "noise", "generate noise (default uniform:-1:1)",
     &HostInterface::getNoiseFunctParams, "Generating Noise Function",
     "frequency-unit +ff rate samples", "samples", noiseCompute},
};

std::vector<std::string> words(const char* text) {
    std::vector<std::string> w;
    std::string cur;
    for (const char* p = text;; ++p) {
        if (*p == ' ' || *p == '\0') {
            if (!cur.empty()) w.push_back(cur);
            cur.clear();
            if (*p == '\0') break;
        } else {
            cur += *p;
        }
    }
    return w;
}

int8_t indexOf(OperationDescription& d, const std::string& name) {
    for (std::size_t i = 0; i < d.params.size(); ++i)
        if (name == d.params[i].info.name) return static_cast<int8_t>(i);
    d.params.push_back(generatorParam(name, d.code));
    return static_cast<int8_t>(d.params.size() - 1);
}

OperationDescription describeGenerator(const Generator& g) {
    OperationDescription d = describedOperation(g.code, g.scriptName, g.command, g.help);
    d.files = {outputFile(QF_ENTRY_OUT, QF_FILE_TIME, ".tim", "Output file", 0)};
    // The command line's parameters first, in a usage line's order.
    for (const char* name : {"rate"}) indexOf(d, name);
    for (const std::string& name : words(g.options)) indexOf(d, name);
    for (const char* name : {"frequency-unit", "phase-unit", "type", "noise"})
        if (std::strcmp(name, "phase-unit") != 0 || std::strstr(g.script, "phase-unit"))
            indexOf(d, name);
    // The check reads the amplitude, offset and delay of every generator: a
    // generator that takes none of them has them at their neutral values.
    const struct {
        const char* name;
        int32_t offset;
        double neutral;
    } neutral[] = {
        {"amplitude", G(amplitude), 1.0}, {"offset", G(offset), 0.0}, {"delay", G(delay), 0.0}};
    for (const auto& n : neutral) {
        bool described = false;
        for (const ParamSpec& p : d.params) described = described || p.info.offset == n.offset;
        if (!described)
            d.params.push_back((std::strcmp(n.name, "delay") == 0 ? intParam(n.name, n.offset)
                                                                  : doubleParam(n.name, n.offset))
                                   .fixed(n.neutral));
    }
    d.script.push_back({Field::Out});
    for (std::string name : words(g.script)) {
        const bool glued = name[0] == '+';
        if (glued) name.erase(0, 1);
        if (name == "ff") {
            d.script.push_back({Field::OutputFormat, -1, glued});
            continue;
        }
        const int8_t i = indexOf(d, name);
        const bool isDouble = d.params[static_cast<std::size_t>(i)].info.type == QF_VALUE_DOUBLE;
        d.script.push_back({Field::Param, i, glued, isDouble ? "%lg" : nullptr});
    }
    d.script.push_back({Field::Param, indexOf(d, "type")});
    d.script.push_back({Field::Noise});
    d.dialog = {.kind = DialogKind::HostChecked,
                .title = g.title,
                .checked = g.dialog,
                .before = proposeOutput,
                .after = g.code == QF_OP_NOISE ? someNoise : nullptr};
    d.checks = generatorChecks();
    d.show = Show::Waveform;
    d.flags = kCreatesSignal;
    d.handlers.checkParams = generatorCheckParams;
    d.handlers.prepareOutput = generatorPrepareOutput;
    d.handlers.compute = g.kernel;
    d.handlers.release = generatorRelease;
    d.pipeline.outputBuffer = 32768;
    return d;
}

#undef G

}  // namespace

void registerGeneratorOperations() {
    for (const Generator& g : kGenerators) registerDescribed(describeGenerator(g));
}

}  // namespace qf
