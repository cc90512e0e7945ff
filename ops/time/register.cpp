// The elementwise and arithmetic operations: one description each, with
// its files, parameters, dialog, script line and kernel.
#include <cstring>
#include <utility>

#include "core/engine.h"
#include "core/frame.h"
#include "ops/time/describe.h"
#include "ops/time/kernels.h"
#include "ops/time/own_ops.h"

namespace qf {

namespace timeops {

OperationDescription timeOp(int32_t code, const char* scriptName, const char* command,
                            const char* help) {
    OperationDescription d = describedOperation(code, scriptName, command, help);
    d.show = Show::Waveform;
    return d;
}

QfFileInfo timeInput(int32_t entry, const char* label, int32_t position, bool refused) {
    return inputFile(entry, QF_FILE_TIME, ".tim", label, position, refused);
}

QfFileInfo timeOutput(const char* label, int32_t position) {
    return outputFile(QF_ENTRY_OUT, QF_FILE_TIME, ".tim", label, position);
}

std::vector<CheckMessage> inputMessages(bool named, bool second, int32_t multiChannel) {
    const char* demux = "Please demultiplex signal before performing operations.";
    const char* demuxNamed = "Please demultiplex '%s' before performing operations.";
    std::vector<CheckMessage> list = {
        unreadableCheck(101, Arg::In1Name),
        unsupportedTypeCheck(102, Arg::In1Name),
        named ? noticeCheck(multiChannel, demuxNamed, Then::AskAgain, Arg::In1Name)
              : noticeCheck(multiChannel, demux),
    };
    if (!second) return list;
    list.push_back(unreadableCheck(201, Arg::In2Name));
    list.push_back(unsupportedTypeCheck(202, Arg::In2Name));
    list.push_back(named ? noticeCheck(203, demuxNamed, Then::AskAgain, Arg::In2Name)
                         : noticeCheck(203, demux));
    if (named)
        list.push_back(noticeCheck(301, "'%s' and '%s' have different sampling rates.", Then::GoOn,
                                   Arg::In1Name, Arg::In2Name));
    return list;
}

}  // namespace timeops

namespace {

using namespace timeops;

QfFileInfo in1(const char* label, int32_t position = 0) {
    return timeInput(QF_ENTRY_IN1, label, position);
}
QfFileInfo in2(const char* label, int32_t position = 1) {
    return timeInput(QF_ENTRY_IN2, label, position);
}
QfFileInfo out(const char* label, int32_t position) {
    return timeOutput(label, position);
}

// Two signals, sample by sample: A B OUT.
void twoSignals(int32_t code, const char* scriptName, const char* command, const char* help,
                const char* title, const char* label2, PrepareOutputFn prepare, ComputeFn kernel) {
    OperationDescription d = timeOp(code, scriptName, command, help);
    d.files = {in1("Input 1 file"), in2(label2), out("= Output file", 2)};
    d.dialog = {.kind = DialogKind::Files, .title = title};
    d.script = {{Field::In1}, {Field::In2}, {Field::Out}};
    d.handlers.prepareOutput = prepare;
    d.handlers.compute = kernel;
    registerDescribed(std::move(d));
}

// A signal and a constant: IN K OUT, the constant remembered between runs.
void withConstant(int32_t code, const char* scriptName, const char* command, const char* help,
                  const char* title, const char* label1, const char* labelK, double start,
                  PrepareOutputFn prepare, ComputeFn kernel) {
    OperationDescription d = timeOp(code, scriptName, command, help);
    d.files = {in1(label1), out("= Y(t)", 2)};
    d.params = {doubleParam("K", QF_P_CONSTANT)
                    .at(1)
                    .required()
                    .remembered(start)
                    .about("the constant", nullptr, "0.5")};
    d.dialog = {.kind = DialogKind::FilesAndK, .title = title, .constantLabel = labelK};
    d.checks = constantChecks();
    d.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}};
    d.scriptEndsAtOutput = true;
    d.handlers.checkParams = constantInputCheck;
    d.handlers.prepareOutput = prepare;
    d.handlers.compute = kernel;
    registerDescribed(std::move(d));
}

// What the whole numbers of the operations below are.
struct WholeHelp {
    const char* word;
    const char* about;
    const char* unit;
    const char* example;
};
constexpr WholeHelp kWholeHelp[] = {
    {"K", "the shift, to the right (negative: to the left)", "samples", "10"},
    {"BITS", "the significant bits to keep, 1 to 15", "bits", "4"},
    {"M", "the decimation factor, 2 or more", nullptr, "4"},
    {"L", "the interpolation factor, 2 or more", nullptr, "2"},
};

// A signal and a whole number: IN N OUT, remembered between runs.
void withWhole(int32_t code, const char* scriptName, const char* command, const char* help,
               const char* title, const char* label1, const char* labelK, const char* label2,
               const char* word, int32_t start, CheckParamsFn check, PrepareOutputFn prepare,
               ComputeFn kernel) {
    OperationDescription d = timeOp(code, scriptName, command, help);
    d.files = {in1(label1), out(label2, 2)};
    d.params = {intParam(word, QF_P_WHOLE).at(1).required().remembered(start)};
    for (const WholeHelp& h : kWholeHelp)
        if (std::strcmp(h.word, word) == 0) d.params[0].about(h.about, h.unit, h.example);
    d.dialog = {.kind = DialogKind::FilesAndK, .title = title, .constantLabel = labelK};
    d.checks = constantChecks();
    d.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}};
    d.handlers.checkParams = check;
    d.handlers.prepareOutput = prepare;
    d.handlers.compute = kernel;
    registerDescribed(std::move(d));
}

// A function of a signal: IN OUT [--A A] [--a a] (A*g(a*x)), or with one
// scale [--a a] (a*g(x)).
void function(int32_t code, const char* scriptName, const char* command, const char* help,
              const char* title, const char* label2, bool inner, PrepareOutputFn prepare,
              ComputeFn kernel) {
    OperationDescription d = timeOp(code, scriptName, command, help);
    d.files = {in1("X(t)"), out(label2, 1)};
    if (inner)
        d.params = {doubleParam("A", QF_P_OUTER)
                        .fallback(1.0)
                        .help("A")
                        .about("the outer scale", nullptr, "2"),
                    doubleParam("a", QF_P_INNER)
                        .fallback(1.0)
                        .help("a")
                        .about("the inner scale", nullptr, "0.5")};
    else
        d.params = {
            doubleParam("a", QF_P_SCALE).fallback(1.0).help("A").about("the scale", nullptr, "2")};
    d.dialog = {.kind = DialogKind::Files, .title = title};
    d.checks = twoFileChecks();
    if (inner)
        d.script = {{Field::In1}, {Field::Param, 0}, {Field::Param, 1}, {Field::Out}};
    else
        d.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}};
    d.handlers.checkParams = timeInputCheck;
    d.handlers.prepareOutput = prepare;
    d.handlers.compute = kernel;
    registerDescribed(std::move(d));
}

// Readable in1 (1 when not): the check of the inert operation 4090.
int32_t readableInput(int32_t) {
    return readInputHeader(block().in1) ? 0 : 1;
}

}  // namespace

void registerTimeOperations() {
    twoSignals(3010, "Addition          ", "add", "add two signals sample by sample",
               "Add Two Signals", "+ Input 2 file", sumPrepare, twoInputCompute<Add>);
    twoSignals(3020, "Subtraction       ", "subtract", "subtract the second signal from the first",
               "Difference of Signals", "- Input 2 file", differencePrepare,
               twoInputCompute<Subtract>);
    twoSignals(3220, "Join              ", "join", "append the second signal to the first",
               "Join Two Signals", "& Input 2 file", joinPrepare, joinCompute);

    withConstant(3015, "AdditionK         ", "add-const", "add the constant K to every sample",
                 "Add a constant", "X(t)", "+ constant", 0.0, addKPrepare, constantCompute<Add>);
    withConstant(3025, "SubtractionK      ", "negate-add", "K minus every sample", "Negate and add",
                 "-X(t)", "+ constant", 0.0, negateAddPrepare, constantCompute<Subtract>);
    withConstant(3035, "MultiplicationK   ", "scale", "multiply every sample by the constant K",
                 "Multiply by a constant", "X(t)", "* constant", 1.0, scalePrepare,
                 constantCompute<Multiply>);

    withWhole(3070, "Shift_Right       ", "shift", "delay by K samples (K < 0 drops the first -K)",
              "Shift right", "X(t)", "shift right", "Y(t) = X(t-k)", "K", 10, shiftCheck,
              shiftPrepare, shiftCompute);
    withWhole(3230, "QuantizeFixedPt   ", "quantize",
              "keep the top BITS bits of 16-bit samples (1-15)", "Quantization", "X(t)",
              "# significant bits", "Y(t)", "BITS", 3, quantizeCheck, quantizePrepare,
              quantizeCompute);
    withWhole(4030, "Decimation        ", "decimate",
              "keep every M-th sample; the rate drops M times", "Decimation", "Input file",
              "factor", "Output file", "M", 2, decimateCheck, decimatePrepare, decimateCompute);
    withWhole(4040, "Interpolation     ", "interpolate",
              "put L - 1 zeros after every sample; the rate grows L times", "Interpolation",
              "Input file", "factor", "Output file", "L", 2, interpolateCheck, interpolatePrepare,
              interpolateCompute);

    function(3040, "Reciprocal        ", "reciprocal", "a / x for every sample (a = 1)",
             "Reciprocal", "a / X(t)", false, reciprocalPrepare, functionCompute<reciprocalOf>);
    function(3050, "Squared           ", "squared", "a * x^2 for every sample (a = 1)", "Square",
             "a*(X(t))^2", false, squarePrepare, functionCompute<squareOf>);
    function(3110, "Sine              ", "sin", "A * sin(a * x) (A = a = 1)", "Sine",
             "A*sin(a*X(t))", true, sinePrepare, functionCompute<sineOf>);
    function(3120, "Cosine            ", "cos", "A * cos(a * x) (A = a = 1)", "Cosine",
             "A*cos(a*X(t))", true, cosinePrepare, functionCompute<cosineOf>);
    function(3130, "Tangent           ", "tan", "A * tan(a * x) (A = a = 1)", "Tangent",
             "A*tan(a*X(t))", true, tangentPrepare, functionCompute<tangentOf>);
    // ("exp" generates an exponential signal.)
    function(3200, "Exponential       ", "exponential", "A * exp(a * x) (A = a = 1)", "Exponential",
             "A*exp(a*X(t))", true, exponentialPrepare, functionCompute<exponentialOf>);

    {
        OperationDescription d =
            timeOp(3090, "Flip              ", "flip", "reverse a signal in time");
        d.files = {in1("X(t)"), out("Y(t) = X(T-t)", 1)};
        d.dialog = {.kind = DialogKind::Files, .title = "Time Flip"};
        d.checks = twoFileChecks();
        d.script = {{Field::In1}, {Field::Out}};
        d.handlers.checkParams = timeInputCheck;
        d.handlers.prepareOutput = flipPrepare;
        d.handlers.compute = flipCompute;
        registerDescribed(std::move(d));
    }
    {
        OperationDescription d = timeOp(3240, "Difference        ", "diff", "x(t) - x(t - D)");
        d.files = {in1("X(t)"), out("X(t)-X(t-d)", 2)};
        d.params = {intParam("D", QF_P_WHOLE).at(1).required().about("the delay", "samples", "1")};
        d.dialog = {.kind = DialogKind::Files, .title = "Difference"};
        d.checks = twoFileChecks();
        d.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}};
        d.handlers.checkParams = differenceCheck;
        d.handlers.prepareOutput = delayDiffPrepare;
        d.handlers.compute = differenceCompute;
        registerDescribed(std::move(d));
    }
    {
        OperationDescription d =
            timeOp(3060, "SquareRoot        ", "sqrt", "a * sqrt(|x|) with the sign of x (a = 1)");
        d.files = {in1("X(t)"), out("a*sqrt(X(t))", 1)};
        d.params = {
            doubleParam("a", QF_P_SCALE).fallback(1.0).help("A").about("the scale", nullptr, "2")};
        d.dialog = {.kind = DialogKind::Files, .title = "Square Root"};
        d.checks = inputMessages(false);
        d.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}};
        d.handlers.checkParams = sqrtCheck;
        d.handlers.prepareOutput = sqrtPrepare;
        d.handlers.compute = sqrtCompute;
        registerDescribed(std::move(d));
    }
    {
        OperationDescription d = timeOp(3100, "Extract           ", "extract",
                                        "copy N samples after the first S (N = 0: to the end)");
        d.files = {in1("Input file"), out("Output file", 1)};
        d.params = {intParam("skip", QF_P_EXTRACT_SKIP)
                        .fallback(0)
                        .help("S")
                        .about("the samples to skip", "samples", "100"),
                    intParam("length", QF_P_EXTRACT_LENGTH)
                        .fallback(0)
                        .help("N")
                        .about("the samples to copy (0: to the end)", "samples", "1000")};
        d.dialog = {.kind = DialogKind::HostEdit, .edit = &HostInterface::dspExtractGetPara};
        d.checks = inputMessages(false, false, 106);
        d.checks.push_back({103,
                            QF_MSG_NOTICE,
                            "Insufficient samples in '%s'.  Length to copy truncated to %ld.",
                            Then::GoOn,
                            {Arg::In1Name, Arg::Int1}});
        d.checks.push_back({104,
                            QF_MSG_NOTICE,
                            "Skipping more samples (%ld) than are samples (%ld) in '%s'.",
                            Then::AskAgain,
                            {Arg::Int0, Arg::InputCount, Arg::In1Name}});
        d.checks.push_back(
            {105, QF_MSG_NOTICE,
             "The number of samples to skip and the length to copy cannot be negative.",
             Then::AskAgain});
        d.script = {{Field::In1}, {Field::Param, 0}, {Field::Param, 1}, {Field::Out}};
        d.scriptAccepts = {103};
        d.handlers.checkParams = extractCheck;
        d.handlers.prepareOutput = extractPrepare;
        d.handlers.compute = extractCompute;
        d.handlers.release = extractRelease;
        registerDescribed(std::move(d));
    }
    {
        // 4090: the single-input check and nothing to execute.
        OperationDescription d;
        d.code = QF_OP_INERT;
        d.files = {in1("Input file")};
        d.files[0].flags &= ~QF_FILE_SINGLE_CHANNEL;
        d.dialog = {.kind = DialogKind::CheckOnly};
        d.checks = twoFileChecks();
        d.handlers.checkParams = readableInput;
        registerDescribed(std::move(d));
    }
    registerOwnTimeOperations();
}

}  // namespace qf
