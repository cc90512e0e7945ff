// Checks and output headers of the time-domain operations with handlers of
// their own (see own_ops.h for the check results).
//
// Output headers: sampling rate and signal frequency of in1; record type of
// in1 (REALTIMEINT16 gives INTEGER16), or by the rule of two signals where
// two inputs are read (3270, 3300, 3030), REAL32 for the logarithm; record
// count of in1, the smaller count for sample and hold, the larger for the
// linear combination and the product.
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/dialog.h"
#include "core/engine.h"
#include "core/host.h"
#include "ops/time/own_ops.h"
#include "signal/numfmt.h"

namespace qf::timeops {

namespace {

// The smoothing ring of the run in progress.
struct SmoothingRing {
    static constexpr Lifetime kLifetime = Lifetime::Start;
    std::vector<double> values;
    void release() { std::vector<double>().swap(values); }
};

std::string name(const char* n) {
    return std::string(n, ::strnlen(n, QF_NAME_LEN));
}

// Opens `file` header-only into descriptor slot `slot`: 0, or base + 1
// (unreadable), base + 3 (a recording of several channels), base + 2 (any
// other type than INTEGER16, REAL32 or REALTIMEINT16).
int32_t inputCode(const nameNpath& file, int slot, int32_t base) {
    if (!readInputHeader(file, slot)) return base + 1;
    const SignalDescriptor& d = input(slot);
    if (d.recordType == kRealtimeInt16 && d.param1 > 1) return base + 3;
    if (!isTimeSignalType(d.recordType)) return base + 2;
    return 0;
}

int32_t firstInput() {
    return inputCode(block().in1, 0, 100);
}

// Both inputs, then their sampling rates (301 when they differ).
int32_t twoInputs() {
    if (const int32_t c = firstInput()) return c;
    if (const int32_t c = inputCode(block().in2, 1, 200)) return c;
    return input(0).samplingRate != input(1).samplingRate ? 301 : 0;
}

double param(int32_t offset) {
    return paramDouble(block(), offset);
}

// The output header: `count` records at the rate and signal frequency of
// in1, typed by in1 alone or by the rule of two signals.  False when the
// count cannot be held (reported).
bool ownHeader(const SignalDescriptor* second, int64_t count) {
    SignalDescriptor& a = input(0);
    SignalDescriptor& out = output();
    if (!frameOutputHeader(out, a, second, count, a.samplingRate)) return false;
    out.signalFrequency = a.signalFrequency;
    return true;
}

// A one-input operation keeping count and type.
int32_t sameShape(const std::string& remark, const std::string& line) {
    if (!ownHeader(nullptr, input().recordCount)) return 1;
    frameLabels(output(), remark, line);
    return 0;
}

}  // namespace

char diffEqStability(double a1, double a2) {
    const double m = std::fabs(a2);
    if (m > 1.0) return 'n';
    if (m == 1.0) return 'c';
    const double edge = std::fabs(a1) - a2;
    if (edge > 1.0) return 'n';
    if (edge == 1.0) return 'c';
    return 'y';
}

bool combinationReads(const CommandBlock& b, int32_t entry) {
    return entry != QF_ENTRY_IN2 ||
           paramDouble(const_cast<CommandBlock&>(b), QF_P_COMBINE_B) != 0.0;
}

double* smoothingRing() {
    std::vector<double>& ring = familyState<SmoothingRing>().values;
    return ring.empty() ? nullptr : ring.data();
}

// ---------------------------------------------------------------------------
// Checks

int32_t smoothCheck(int32_t) {
    if (const int32_t c = firstInput()) return c;
    int32_t& n = paramInt(block(), QF_P_SMOOTH_LENGTH);
    if (n >= kSmoothMin && n <= kSmoothMax) return 0;
    // The dialog opens again on the nearest length allowed.
    n = n < kSmoothMin ? kSmoothMin : kSmoothMax;
    if (const OperationDescription* d = describe(QF_OP_SMOOTH)) storeRemembered(block(), *d);
    return 104;
}

int32_t sampleHoldCheck(int32_t) {
    if (const int32_t c = firstInput()) return c;
    return inputCode(block().in2, 1, 200);
}

int32_t mapCheck(int32_t) {
    if (const int32_t c = firstInput()) return c;
    const double x1 = param(QF_P_MAP_X1), x2 = param(QF_P_MAP_X2);
    if (!(x1 >= x2)) return 104;
    if (kernelType(input()) == kInteger16 && (x1 > 1.0 || x2 < -1.0)) return 105;
    return 0;
}

int32_t diffEqCheck(int32_t) {
    if (const int32_t c = firstInput()) return c;
    return diffEqStability(param(QF_P_DIFFEQ_A1), param(QF_P_DIFFEQ_A2)) == 'n' ? 201 : 0;
}

int32_t combinationCheck(int32_t) {
    if (param(QF_P_COMBINE_B) == 0.0) return firstInput();
    return twoInputs();
}

int32_t productCheck(int32_t) {
    return twoInputs();
}

int32_t logCheck(int32_t) {
    if (const int32_t c = firstInput()) return c;
    const double l = param(QF_P_LOG_ZERO);
    return (l > -33.0 && l < 33.0) ? 0 : 104;
}

int32_t wholeCheck(int32_t) {
    if (const int32_t c = firstInput()) return c;
    return kernelType(input()) == kInteger16 ? 104 : 0;
}

// ---------------------------------------------------------------------------
// Output headers

int32_t smoothPrepare(int32_t) {
    const CommandBlock& b = block();
    const int32_t n = paramInt(block(), QF_P_SMOOTH_LENGTH);
    if (n < 1 || n > kSmoothMax) {
        emitMsg(QF_MSG_NOTICE, "N must be between 2 and 16380 inclusive.");
        return 1;
    }
    const std::string n1 = name(b.in1.n);
    if (sameShape(fmtString("Smooth{%s(t)..(t+%d)}", n1.c_str(), n),
                  fmtString("[%s] = smooth ([%s]) over %d samples", name(b.out.n).c_str(),
                            n1.c_str(), n)) != 0)
        return 1;
    try {
        familyState<SmoothingRing>().values.assign(static_cast<std::size_t>(n), 0.0);
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
    return 0;
}

int32_t smoothRelease(int32_t) {
    familyState<SmoothingRing>().release();
    return 0;
}

int32_t sampleHoldPrepare(int32_t) {
    const CommandBlock& b = block();
    SignalDescriptor& clock = input(1);
    if (!ownHeader(&clock, std::min(input(0).recordCount, clock.recordCount))) return 1;
    const std::string data = name(b.in1.n), clk = name(b.in2.n);
    frameLabels(output(), fmtString("{%s} S/H clock(%s)", data.c_str(), clk.c_str()),
                fmtString("[%s] = [%s] sample and hold by clock [%s]", name(b.out.n).c_str(),
                          data.c_str(), clk.c_str()));
    return 0;
}

int32_t mapPrepare(int32_t) {
    const CommandBlock& b = block();
    const std::string n1 = name(b.in1.n);
    return sameShape(
        fmtString("MAP(%s)", n1.c_str()),
        fmtString("[%s] = [%s] map with (%g,%g):(%g,%g)", name(b.out.n).c_str(), n1.c_str(),
                  param(QF_P_MAP_X1), param(QF_P_MAP_Y1), param(QF_P_MAP_X2), param(QF_P_MAP_Y2)));
}

int32_t diffEqPrepare(int32_t) {
    const CommandBlock& b = block();
    const std::string n1 = name(b.in1.n);
    return sameShape(fmtString("Diff Eqn (%s)", n1.c_str()),
                     fmtString("[%s] = difference eqn. ([%s])", name(b.out.n).c_str(), n1.c_str()));
}

int32_t combinationPrepare(int32_t) {
    const CommandBlock& b = block();
    const double a = param(QF_P_COMBINE_A), k = param(QF_P_COMBINE_B), c = param(QF_P_COMBINE_C);
    const bool second = k != 0.0;
    const int64_t count =
        second ? std::max(input(0).recordCount, input(1).recordCount) : input(0).recordCount;
    if (!ownHeader(second ? &input(1) : nullptr, count)) return 1;
    // With b = 0 the second input is not read and is named "0".
    const std::string n1 = name(b.in1.n), n2 = second ? name(b.in2.n) : std::string("0");
    frameLabels(output(), fmtString("%lg*%s+%lg*%s+%lg", a, n1.c_str(), k, n2.c_str(), c),
                fmtString("[%s] = %lg * [%s] + %lg * [%s] + %lg", name(b.out.n).c_str(), a,
                          n1.c_str(), k, n2.c_str(), c));
    return 0;
}

int32_t productPrepare(int32_t) {
    const CommandBlock& b = block();
    const double a = param(QF_P_PRODUCT_SCALE);
    SignalDescriptor& second = input(1);
    if (!ownHeader(&second, std::max(input(0).recordCount, second.recordCount))) return 1;
    const std::string n1 = name(b.in1.n), n2 = name(b.in2.n);
    frameLabels(
        output(), fmtString("%lg*%s", a, n1.c_str()) + "*" + n2,
        fmtString("[%s] = %lg * [%s] * [%s]", name(b.out.n).c_str(), a, n1.c_str(), n2.c_str()));
    return 0;
}

int32_t logPrepare(int32_t) {
    const CommandBlock& b = block();
    const double a = param(QF_P_LOG_SCALE);
    const std::string n1 = name(b.in1.n);
    if (sameShape(fmtString("%lg*log10(%s)", a, n1.c_str()),
                  fmtString("[%s] = %lg * log10 ([%s])", name(b.out.n).c_str(), a, n1.c_str())) !=
        0)
        return 1;
    output().recordType = kReal32;
    return 0;
}

int32_t wholePrepare(int32_t) {
    const CommandBlock& b = block();
    const std::string n1 = name(b.in1.n);
    return sameShape(fmtString("int(%s)", n1.c_str()),
                     fmtString("[%s] = int ([%s])", name(b.out.n).c_str(), n1.c_str()));
}

}  // namespace qf::timeops
