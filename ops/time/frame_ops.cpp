// Checks and output headers of the frame-served time operations.
//
// Output counts and rates (N records of in1 at rate fs):
//   3010, 3020  the larger count        3220  the sum of both counts
//   3070        N + k                   3240  N - d
//   4030        N / M at fs / M         4040  N * L at fs * L
//   others      N at fs
// Remarks and description lines are built from the file names; the
// constant of 3015/3025/3035 shows as "%.4lg" whatever the output type (a
// scale by 0.5 is remarked "a.tim*0.5"), and negate-and-add, which computes
// K - x, is described as "[out] = K - [in1]".
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "core/host.h"
#include "ops/time/kernels.h"
#include "signal/numfmt.h"

namespace qf::timeops {

namespace {

std::string name(const char* n) {
    return std::string(n, ::strnlen(n, QF_NAME_LEN));
}

int32_t whole() {
    return paramInt(block(), QF_P_WHOLE);
}

// Header of a single-input operation; false (refused) for an impossible count.
bool header(int64_t count, double rate) {
    SignalDescriptor& in = input();
    return frameOutputHeader(output(), in, nullptr, count, rate);
}

// A one-input operation that keeps count and rate.
int32_t sameShape(const std::string& remark, const std::string& line) {
    if (!header(input().recordCount, input().samplingRate)) return 1;
    frameLabels(output(), remark, line);
    return 0;
}

// Two inputs: the type rule of two signals, a notice when the rates differ.
int32_t twoInputs(int64_t count, const char* op, const char* lineFormat) {
    CommandBlock& b = block();
    SignalDescriptor& a = input(0);
    SignalDescriptor& c = input(1);
    if (!frameOutputHeader(output(), a, &c, count, a.samplingRate)) return 1;
    if (a.samplingRate != c.samplingRate && status().scriptRunning != 'y')
        emitMsg(QF_MSG_NOTICE, "'%s' and '%s' have different sampling rate.", b.in1.n, b.in2.n);
    const std::string n1 = name(b.in1.n), n2 = name(b.in2.n), no = name(b.out.n);
    frameLabels(output(), n1 + op + n2, fmtString(lineFormat, no.c_str(), n1.c_str(), n2.c_str()));
    return 0;
}

// A constant operation: "in1 <op> K" and its line, K as "%.4lg" in both.
// The line format takes the output, then in1 and K in the order `kFirst`
// says.
int32_t withConstant(const char* op, const char* lineFormat, bool kFirst = false) {
    CommandBlock& b = block();
    if (!header(input().recordCount, input().samplingRate)) return 1;
    const double k = paramDouble(b, QF_P_CONSTANT);
    const std::string n1 = name(b.in1.n), no = name(b.out.n);
    frameLabels(output(), n1 + op + fmtString("%.4lg", k),
                kFirst ? fmtString(lineFormat, no.c_str(), k, n1.c_str())
                       : fmtString(lineFormat, no.c_str(), n1.c_str(), k));
    return 0;
}

// A function of in1: "f(in1)" and "[out] = f([in1])".
int32_t ofInput(const char* f) {
    CommandBlock& b = block();
    const std::string n1 = name(b.in1.n), no = name(b.out.n);
    return sameShape(std::string(f) + "(" + n1 + ")",
                     fmtString("[%s] = %s([%s])", no.c_str(), f, n1.c_str()));
}

// The input header of a file-and-constant check: false when unreadable.
bool constantInput() {
    return readInputHeader(block().in1);
}

}  // namespace

// ---------------------------------------------------------------------------
// Checks

int32_t timeInputCheck(int32_t) {
    if (!readInputHeader(block().in1)) return 1;
    return isTimeSignalType(input().recordType) ? 0 : 101;
}

int32_t differenceCheck(int32_t) {
    if (!readInputHeader(block().in1)) return 1;
    const SignalDescriptor& d = input();
    const int32_t delay = whole();
    if (!isTimeSignalType(d.recordType)) return 101;  // before the length rule
    return d.recordCount < (delay > 4 ? delay : 4) ? 105 : 0;
}

int32_t constantInputCheck(int32_t) {
    return constantInput() ? 0 : 100;
}

int32_t shiftCheck(int32_t) {
    if (!constantInput()) return 100;
    const int64_t k = whole();
    return -k >= static_cast<int64_t>(input().recordCount) - 2 ? 101 : 0;
}

int32_t quantizeCheck(int32_t) {
    if (!constantInput()) return 100;
    const int32_t type = input().recordType;
    if (type != kInteger16 && type != kRealtimeInt16) return 106;
    const int32_t bits = whole();
    return (bits < 1 || bits > 15) ? 107 : 0;
}

int32_t decimateCheck(int32_t) {
    if (!constantInput()) return 100;
    int32_t& k = paramInt(block(), QF_P_WHOLE);
    // |INT32_MIN| does not fit: the largest factor stands for it.
    if (k == INT32_MIN) {
        k = INT32_MAX;
        return 103;
    }
    k = std::abs(k);
    if (k < 2) return 102;
    return k > 64 ? 103 : 0;
}

int32_t interpolateCheck(int32_t) {
    if (!constantInput()) return 100;
    int32_t& k = paramInt(block(), QF_P_WHOLE);
    if (k == INT32_MIN) return 105;
    k = std::abs(k);
    if (k < 2) return 104;
    return k > 64 ? 105 : 0;
}

// ---------------------------------------------------------------------------
// Output headers

int32_t sumPrepare(int32_t) {
    return twoInputs(std::max(input(0).recordCount, input(1).recordCount), "+",
                     "[%s] = [%s] + [%s]");
}
int32_t differencePrepare(int32_t) {
    return twoInputs(std::max(input(0).recordCount, input(1).recordCount), "-",
                     "[%s] = [%s] - [%s]");
}
int32_t joinPrepare(int32_t) {
    return twoInputs(static_cast<int64_t>(input(0).recordCount) + input(1).recordCount, "&",
                     "[%s] = [%s] & [%s]");
}

int32_t addKPrepare(int32_t) {
    return withConstant("+", "[%s] = [%s] + %.4lg");
}
int32_t negateAddPrepare(int32_t) {
    return withConstant("-", "[%s] = %.4lg - [%s]", true);
}
int32_t scalePrepare(int32_t) {
    return withConstant("*", "[%s] = [%s] * %.4lg");
}

int32_t reciprocalPrepare(int32_t) {
    const CommandBlock& b = block();
    const std::string n1 = name(b.in1.n), no = name(b.out.n);
    return sameShape("1/(" + n1 + ")", fmtString("[%s] = 1/([%s])", no.c_str(), n1.c_str()));
}
int32_t squarePrepare(int32_t) {
    const CommandBlock& b = block();
    const std::string n1 = name(b.in1.n), no = name(b.out.n);
    return sameShape("(" + n1 + ")^2", fmtString("[%s] = ([%s])^2", no.c_str(), n1.c_str()));
}
int32_t flipPrepare(int32_t) {
    const CommandBlock& b = block();
    const std::string n1 = name(b.in1.n), no = name(b.out.n);
    return sameShape("(" + n1 + ")(t-T)", fmtString("[%s] = ([%s])(t-T)", no.c_str(), n1.c_str()));
}
int32_t sinePrepare(int32_t) {
    return ofInput("sin");
}
int32_t cosinePrepare(int32_t) {
    return ofInput("cos");
}
int32_t tangentPrepare(int32_t) {
    return ofInput("tan");
}
int32_t exponentialPrepare(int32_t) {
    return ofInput("exp");
}

int32_t shiftPrepare(int32_t) {
    const CommandBlock& b = block();
    const int32_t k = whole();
    if (!header(static_cast<int64_t>(input().recordCount) + k, input().samplingRate)) return 1;
    const std::string n1 = name(b.in1.n), no = name(b.out.n);
    const std::string kt = fmtString("%ld", std::labs(static_cast<long>(k)));
    if (k >= 1)
        frameLabels(output(), n1 + "->" + kt,
                    fmtString("[%s] = [%s] -> %s", no.c_str(), n1.c_str(), kt.c_str()));
    else
        frameLabels(output(), kt + "<-" + n1,
                    fmtString("[%s] = %s <- [%s]", no.c_str(), kt.c_str(), n1.c_str()));
    return 0;
}

int32_t quantizePrepare(int32_t) {
    const CommandBlock& b = block();
    if (!header(input().recordCount, input().samplingRate)) return 1;
    const std::string line = fmtString("%s quantized to %d bits", name(b.in1.n).c_str(), whole());
    frameLabels(output(), line, line);
    return 0;
}

int32_t delayDiffPrepare(int32_t) {
    const CommandBlock& b = block();
    const int32_t d = whole();
    if (!header(static_cast<int64_t>(input().recordCount) - d, input().samplingRate)) return 1;
    const std::string n1 = name(b.in1.n), no = name(b.out.n);
    frameLabels(output(),
                n1 + "(t)-" + n1 + "(t-" + fmtString("%ld", std::labs(static_cast<long>(d))) + ")",
                fmtString("[%s] = [%s](t)-[%s](t-d)", no.c_str(), n1.c_str(), n1.c_str()));
    return 0;
}

int32_t decimatePrepare(int32_t) {
    const CommandBlock& b = block();
    const int32_t m = whole();
    const SignalDescriptor& in = input();
    if (!header(m != 0 ? in.recordCount / m : 0, in.samplingRate / m)) return 1;
    const std::string n1 = name(b.in1.n), no = name(b.out.n);
    frameLabels(output(), n1 + fmtString("(n/%d)", m),
                fmtString("[%s] = [%s](n/%d)", no.c_str(), n1.c_str(), m));
    return 0;
}

int32_t interpolatePrepare(int32_t) {
    const CommandBlock& b = block();
    const int32_t l = whole();
    const SignalDescriptor& in = input();
    if (!header(static_cast<int64_t>(in.recordCount) * l, in.samplingRate * l)) return 1;
    const std::string n1 = name(b.in1.n), no = name(b.out.n);
    frameLabels(output(), n1 + fmtString("(n*%d)", l),
                fmtString("[%s] = [%s](n*%d)", no.c_str(), n1.c_str(), l));
    return 0;
}

}  // namespace qf::timeops
