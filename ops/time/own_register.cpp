// Descriptions of the time-domain operations with handlers of their own:
// smoothing, sample and hold, map and saturate, difference equation, linear
// combination, product of two signals, scaled logarithm and real to whole.
// Each has its own check (own_checks.cpp) and kernel (own_kernels.cpp) and
// is run by the pipeline; its script line is the described generic one.
#include <utility>

#include "core/engine.h"
#include "core/frame.h"
#include "ops/time/describe.h"
#include "ops/time/own_ops.h"

namespace qf {

namespace {

using namespace timeops;

OperationDescription ownOp(int32_t code, const char* scriptName, const char* command,
                           const char* help, const char* title) {
    OperationDescription d = timeOp(code, scriptName, command, help);
    d.dialog = {.kind = DialogKind::Files, .title = title};
    return d;
}

// `refused`: a multi-channel recording is refused before the run (the
// inputs RunOp checks); the operations' own checks refuse them all.
QfFileInfo in1(const char* label, bool refused = true) {
    return timeInput(QF_ENTRY_IN1, label, 0, refused);
}
QfFileInfo in2(const char* label, bool refused = true) {
    return timeInput(QF_ENTRY_IN2, label, 1, refused);
}
QfFileInfo out(const char* label, int32_t position) {
    return timeOutput(label, position);
}

void smoothing() {
    OperationDescription d =
        ownOp(QF_OP_SMOOTH, "Smooth            ", "smooth",
              "average every sample with the N - 1 after it (N = 2..16380)", "Smooth");
    d.files = {in1("X(t)"), out("{Xt+..Xt+d}/d", 2)};
    d.params = {intParam("N", QF_P_SMOOTH_LENGTH).at(1).required().remembered(10)};
    d.checks = inputMessages(false);
    d.checks.push_back(noticeCheck(104, "N must be between 2 and 16380 inclusive."));
    d.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}};
    d.handlers.checkParams = smoothCheck;
    d.handlers.prepareOutput = smoothPrepare;
    d.handlers.compute = smoothCompute;
    d.handlers.release = smoothRelease;
    registerDescribed(std::move(d));
}

void sampleAndHold() {
    OperationDescription d =
        ownOp(QF_OP_SAMPLE_HOLD, "SampleNHold       ", "hold",
              "hold the data sample at each upward zero crossing of the clock", "Sample/Hold");
    d.files = {in1("data"), in2("clock"), out("S/H", 2)};
    d.checks = inputMessages(false, true);
    d.script = {{Field::In1}, {Field::In2}, {Field::Out}};
    d.handlers.checkParams = sampleHoldCheck;
    d.handlers.prepareOutput = sampleHoldPrepare;
    d.handlers.compute = sampleHoldCompute;
    registerDescribed(std::move(d));
}

void mapAndSaturate() {
    OperationDescription d = ownOp(QF_OP_MAP_SATURATE, "Map_and_Saturate  ", "map",
                                   "map X2..X1 linearly onto Y2..Y1, clipping outside", nullptr);
    d.files = {in1("Input file", false), out("Output file", 1)};
    // X1 and X2 first: the messages quote them.
    d.params = {doubleParam("x1", QF_P_MAP_X1).fallback(1.0).help("X1"),
                doubleParam("x2", QF_P_MAP_X2).fallback(-1.0).help("X2"),
                doubleParam("y1", QF_P_MAP_Y1).fallback(1.0).help("Y1"),
                doubleParam("y2", QF_P_MAP_Y2).fallback(-1.0).help("Y2")};
    d.dialog = {.kind = DialogKind::HostEdit, .edit = &HostInterface::dspLinearRngMapGetPara};
    d.checks = inputMessages(false);
    d.checks.push_back(noticeCheck(104, "X1 (%lg) should be larger than X2 (%lg)", Then::AskAgain,
                                   Arg::Double0, Arg::Double1));
    d.checks.push_back(noticeCheck(105,
                                   "X1 (%lg) or/and X2 (%lg) are out of range for fractional fixed "
                                   "point numbers.",
                                   Then::AskAgain, Arg::Double0, Arg::Double1));
    d.script = {{Field::In1},      {Field::Param, 0}, {Field::Param, 2},
                {Field::Param, 1}, {Field::Param, 3}, {Field::Out}};
    d.handlers.checkParams = mapCheck;
    d.handlers.prepareOutput = mapPrepare;
    d.handlers.compute = mapCompute;
    registerDescribed(std::move(d));
}

void differenceEquation() {
    OperationDescription d = ownOp(QF_OP_DIFFERENCE_EQN, "Difference_Eqn    ", "diffeq",
                                   "y(n) = b0 x(n) + b1 x(n-1) + b2 x(n-2) - a1 y(n-1) - a2 y(n-2)",
                                   "Difference Equation");
    d.files = {in1("x(n)", false), out("y(n)", 1)};
    d.params = {doubleParam("b0", QF_P_DIFFEQ_B0).fallback(1.0),
                doubleParam("b1", QF_P_DIFFEQ_B1),
                doubleParam("b2", QF_P_DIFFEQ_B2),
                doubleParam("a1", QF_P_DIFFEQ_A1),
                doubleParam("a2", QF_P_DIFFEQ_A2),
                doubleParam("y1", QF_P_DIFFEQ_Y1).help("y(-1)"),
                doubleParam("y2", QF_P_DIFFEQ_Y2).help("y(-2)")};
    d.checks = inputMessages(false);
    d.checks.push_back(noticeCheck(
        201,
        "The difference equation represents an unstable system.  Largest values limited to 1e37.",
        Then::GoOn));
    d.scriptAccepts = {201};
    d.script = {{Field::In1}};
    for (int8_t i = 0; i < 7; ++i) d.script.push_back({Field::Param, i});
    d.script.push_back({Field::Out});
    d.handlers.checkParams = diffEqCheck;
    d.handlers.prepareOutput = diffEqPrepare;
    d.handlers.compute = diffEqCompute;
    registerDescribed(std::move(d));
}

void linearCombination() {
    OperationDescription d =
        ownOp(QF_OP_LINEAR_COMBO, "Linear_Combo      ", "combine",
              "a * A + b * B + c (with b = 0, B is not read)", "Linear Combination");
    d.files = {in1("a * Input 1", false), in2("+ b * Input 2", false), out("+ c = Output", 2)};
    d.files[1].flags |= QF_FILE_OPTIONAL;
    d.params = {doubleParam("a", QF_P_COMBINE_A).fallback(1.0),
                doubleParam("b", QF_P_COMBINE_B).fallback(1.0), doubleParam("c", QF_P_COMBINE_C)};
    d.checks = inputMessages(true, true);
    // A recorded run whose rates differed replays as it ran.
    d.scriptAccepts = {301};
    d.script = {{Field::Param, 0},  {Field::In1},      {Field::Param, 1},
                {Field::In2OrZero}, {Field::Param, 2}, {Field::Out}};
    d.handlers.checkParams = combinationCheck;
    d.handlers.prepareOutput = combinationPrepare;
    d.handlers.compute = combinationCompute;
    d.pipeline.reads = combinationReads;
    registerDescribed(std::move(d));
}

void product() {
    OperationDescription d = ownOp(QF_OP_MULTIPLY, "Multiplication    ", "multiply",
                                   "a * A * B sample by sample", "Multiply Two Signals");
    d.files = {in1("a * Input 1"), in2("* Input 2"), out("= Output file", 2)};
    d.params = {doubleParam("a", QF_P_PRODUCT_SCALE).fallback(1.0)};
    d.checks = inputMessages(true, true);
    d.scriptAccepts = {301};
    d.script = {{Field::Param, 0}, {Field::In1}, {Field::In2}, {Field::Out}};
    d.handlers.checkParams = productCheck;
    d.handlers.prepareOutput = productPrepare;
    d.handlers.compute = productCompute;
    registerDescribed(std::move(d));
}

void logarithm() {
    OperationDescription d = ownOp(QF_OP_LOG10, "Log10             ", "log10",
                                   "a * log10(|x|), L for zero (L = -32..32)", "Log10");
    d.files = {in1("X"), out("a*log10(|X|)", 1)};
    d.params = {doubleParam("a", QF_P_LOG_SCALE).fallback(1.0),
                doubleParam("zero", QF_P_LOG_ZERO).fallback(-10.0).help("L")};
    d.checks = inputMessages(true);
    d.checks.push_back(
        noticeCheck(104,
                    "log(0) is the value to return for zero or very small number.  It "
                    "should be between -32 and 32."));
    d.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}, {Field::Param, 1}};
    d.handlers.checkParams = logCheck;
    d.handlers.prepareOutput = logPrepare;
    d.handlers.compute = logCompute;
    registerDescribed(std::move(d));
}

void realToWhole() {
    OperationDescription d =
        ownOp(QF_OP_REAL_TO_WHOLE, "Real_To_Whole_Cvt ", "round",
              "float samples to whole numbers by the rounding mode", "RealToWhole");
    d.files = {in1("X"), out("int(X)", 1)};
    d.checks = inputMessages(false);
    d.checks.push_back(
        noticeCheck(104,
                    "This operation remove the fractional part of the floating point "
                    "numbers and operates only on floating point numbers."));
    d.script = {{Field::In1}, {Field::Out}};
    d.handlers.checkParams = wholeCheck;
    d.handlers.prepareOutput = wholePrepare;
    d.handlers.compute = wholeCompute;
    registerDescribed(std::move(d));
}

}  // namespace

void registerOwnTimeOperations() {
    smoothing();
    sampleAndHold();
    mapAndSaturate();
    differenceEquation();
    linearCombination();
    product();
    logarithm();
    realToWhole();
}

}  // namespace qf
