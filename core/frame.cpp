#include "core/frame.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <map>
#include <string>

#include "core/engine.h"
#include "core/host.h"
#include "core/op_names.h"
#include "script/script_text.h"
#include "signal/access.h"
#include "signal/fixedpoint.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

constexpr int32_t kFrameBuffer = 16384;
constexpr int kP = QF_PARAM_OFFSET;

bool twoInputs(int32_t code) {
    return inList(code, {3010, 3020, 3220});
}

// The constant each file-and-constant operation remembers: a double for
// 3015, 3025 and 3035, a whole number for the others (kept as a double,
// which holds every 32-bit value exactly).
struct RememberedConstant {
    int32_t code;
    bool isDouble;
    double value;
};
constexpr RememberedConstant kRememberedStart[] = {
    {3015, true, 0.0}, {3025, true, 0.0}, {3035, true, 1.0}, {3070, false, 10},
    {3230, false, 3},  {4030, false, 2},  {4040, false, 2},
};
struct Remembered {
    RememberedConstant constants[std::size(kRememberedStart)];
    Remembered() { std::copy(std::begin(kRememberedStart), std::end(kRememberedStart), constants); }
    RememberedConstant* find(int32_t code) {
        for (RememberedConstant& c : constants)
            if (c.code == code) return &c;
        return nullptr;
    }
};
Remembered g_remembered;

std::map<int32_t, ComputeArgs>& elementTable() {
    static std::map<int32_t, ComputeArgs> table;
    return table;
}

SignalDescriptor& desc(int k) {
    return blockDescriptor(block(), k);
}

// ---------------------------------------------------------------------------
// Dialogs

struct DialogText {
    int32_t code;
    const char* title;
    const char* ext1;
    const char* label1;
    const char* ext2;
    const char* label2;
};

constexpr DialogText kTwoFileDialogs[] = {
    {3040, "Reciprocal", ".tim", "X(t)", ".tim", "a / X(t)"},
    {3050, "Square", ".tim", "X(t)", ".tim", "a*(X(t))^2"},
    {3090, "Time Flip", ".tim", "X(t)", ".tim", "Y(t) = X(T-t)"},
    {3110, "Sine", ".tim", "X(t)", ".tim", "A*sin(a*X(t))"},
    {3120, "Cosine", ".tim", "X(t)", ".tim", "A*cos(a*X(t))"},
    {3130, "Tangent", ".tim", "X(t)", ".tim", "A*tan(a*X(t))"},
    {3200, "Exponential", ".tim", "X(t)", ".tim", "A*exp(a*X(t))"},
    {3240, "Difference", ".tim", "X(t)", ".tim", "X(t)-X(t-d)"},
    {5010, "Inverse FFT", ".fre", "Input file", ".tim", "Output file"},
    {6050, "ASCII <-> Binary", ".tim", "Input file", ".tim.fre", "Output file"},
    {6060, "Fixed <-> float", ".tim", "Input file", ".tim", "Output file"},
};

struct ConstantDialogText {
    int32_t code;
    const char* title;
    const char* label1;
    const char* labelK;
    const char* label2;
};

constexpr ConstantDialogText kConstantDialogs[] = {
    {3015, "Add a constant", "X(t)", "+ constant", "= Y(t)"},
    {3025, "Negate and add", "-X(t)", "+ constant", "= Y(t)"},
    {3035, "Multiply by a constant", "X(t)", "* constant", "= Y(t)"},
    {3070, "Shift right", "X(t)", "shift right", "Y(t) = X(t-k)"},
    {3230, "Quantization", "X(t)", "# significant bits", "Y(t)"},
    {4030, "Decimation", "Input file", "factor", "Output file"},
    {4040, "Interpolation", "Input file", "factor", "Output file"},
};

void seedConstant(CommandBlock& b) {
    if (RememberedConstant* c = g_remembered.find(b.opCode)) {
        if (c->isDouble)
            paramDouble(b, kP) = c->value;
        else
            paramInt(b, kP) = static_cast<int32_t>(c->value);
    }
}

void storeConstant(CommandBlock& b) {
    if (RememberedConstant* c = g_remembered.find(b.opCode))
        c->value = c->isDouble ? paramDouble(b, kP) : paramInt(b, kP);
}

// ---------------------------------------------------------------------------
// Output header

int32_t typeOf(const SignalDescriptor& d) {
    return d.recordType == kRealtimeInt16 ? kInteger16 : d.recordType;
}

}  // namespace

double rememberedConstant(int32_t code) {
    const RememberedConstant* c = g_remembered.find(code);
    return c ? c->value : 0.0;
}

void setFrameElements(int32_t code, const ComputeArgs& args) {
    elementTable()[code] = args;
}

int32_t alwaysValid(int32_t) {
    return 0;
}

int32_t threeFileDialog(int32_t mode, CheckParamsFn check) {
    CommandBlock& b = block();
    const char* title = "Add Two Signals";
    const char* label1 = "Input 1 file";
    const char* label2 = "+ Input 2 file";
    if (b.opCode == 3020) {
        title = "Difference of Signals";
        label2 = "- Input 2 file";
    } else if (b.opCode == 3220) {
        title = "Join Two Signals";
        label2 = "& Input 2 file";
    }
    HostInterface& h = host();
    int32_t r = h.stdGet123Files ? h.stdGet123Files(title, ".tim", label1, ".tim", label2, ".tim",
                                                    "= Output file", 32)
                                 : 1;
    if (r != 0) return r;
    return check ? check(mode) : 0;
}

int32_t twoFileDialog(int32_t mode, CheckParamsFn check) {
    CommandBlock& b = block();
    const DialogText* text = nullptr;
    for (const DialogText& t : kTwoFileDialogs)
        if (t.code == b.opCode) text = &t;
    HostInterface& h = host();
    for (;;) {
        if (text != nullptr) {
            int32_t r = h.stdGet123Files
                            ? h.stdGet123Files(text->title, text->ext1, text->label1, text->ext2,
                                               text->label2, nullptr, nullptr, 32)
                            : 1;
            if (r != 0) return r;
        }
        int32_t c = check ? check(mode) : 0;
        if (c < 100 || c > 106) return c;
        switch (c) {
            case 100:
                emitMsg(QF_MSG_ERROR, "Error reading '%s%s'.", b.in1.p, b.in1.n);
                break;
            case 101:
            case 102:
                emitMsg(QF_MSG_ERROR, "'%s%s' has an unsupported type.", b.in1.p, b.in1.n);
                break;
            case 103:
                emitMsg(QF_MSG_ERROR,
                        "Some samples are lost during FFT due to non-overlapping FFT frame size.  "
                        "Reconstruction not possible.");
                break;
            case 104:
                emitMsg(QF_MSG_ERROR, "Input files must have at least 4 samples.");
                break;
            case 105: {
                int32_t d = paramInt(b, kP);
                emitMsg(QF_MSG_ERROR, "'%s%s' must have at least %d points.", b.in1.p, b.in1.n,
                        d > 4 ? d : 4);
                break;
            }
            default:
                emitMsg(QF_MSG_ERROR,
                        "Reciprocals of fractional fixed point numbers are out of range and cannot "
                        "be computed.");
                break;
        }
        // A dialog that cannot be shown cannot be asked again.
        if (text == nullptr) return c;
    }
}

int32_t fileConstantDialog(int32_t mode, CheckParamsFn check) {
    CommandBlock& b = block();
    const ConstantDialogText* text = nullptr;
    for (const ConstantDialogText& t : kConstantDialogs)
        if (t.code == b.opCode) text = &t;
    if (text == nullptr) return 1;
    HostInterface& h = host();
    for (;;) {
        seedConstant(b);
        int32_t r = h.stdGet2FilesNk ? h.stdGet2FilesNk(text->title, ".tim", text->label1,
                                                        text->labelK, ".tim", text->label2)
                                     : 1;
        if (r != 0) return r;
        int32_t c = check ? check(mode) : 0;
        switch (c) {
            case 100:
                emitMsg(QF_MSG_ERROR, "Error reading '%s%s'.", b.in1.p, b.in1.n);
                storeConstant(b);
                return 100;
            case 101:
                emitMsg(QF_MSG_NOTICE,
                        "Left shift '%s' by %ld will leave less than three samples in the result.  "
                        "Reduce the amount of shift.",
                        b.in1.n, static_cast<long>(-static_cast<int64_t>(paramInt(b, kP))));
                continue;
            case 102:
                emitMsg(QF_MSG_NOTICE,
                        "Decimation factor should be 2, for which every other sample is dropped, "
                        "or larger.");
                storeConstant(b);
                return 102;
            case 103: {
                int32_t m = paramInt(b, kP);
                emitMsg(QF_MSG_NOTICE,
                        "Note that a decimation factor of %ld causes %7.4lf%% of spectral "
                        "information to be removed.",
                        static_cast<long>(m), 100.0 - 100.0 / m);
                storeConstant(b);
                return 0;
            }
            case 104:
                emitMsg(QF_MSG_NOTICE,
                        "Interpolation factor should be 2, for which one zero is inserted after "
                        "every sample, or larger.");
                continue;
            case 105: {
                int32_t l = paramInt(b, kP);
                emitMsg(QF_MSG_NOTICE,
                        "Note that a interpolation factor of %ld causes %ld zeros to be inserted "
                        "between orignially adjacent samples.",
                        static_cast<long>(l), static_cast<long>(l) - 1);
                continue;
            }
            case 106:
                emitMsg(QF_MSG_NOTICE,
                        "Number type for masking must be fractional fixed point number.");
                continue;
            case 107:
                emitMsg(QF_MSG_NOTICE, "Number of bits to be masked must between 1 and 15.");
                continue;
            default:
                storeConstant(b);
                return c;
        }
    }
}

int32_t singleInputCheck(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& d = desc(0);
    d.openMark = 0;
    if (sigOpenRead(d, b.in1, 0) != 0) {
        sigClose(d);
        return 1;
    }
    sigClose(d);
    const int32_t code = b.opCode;
    const int32_t type = d.recordType;
    if (code == 6050 || code == 6060) return inList(type, {0, 2, 8, 11, 28}) ? 0 : 102;
    if (code == 5010) return (d.param2 < d.param1 || d.recordCount <= d.param1) ? 0 : 103;
    int32_t result = 0;
    if (code == 3240) {
        int32_t dl = paramInt(b, kP);
        if (d.recordCount < (dl > 4 ? dl : 4)) result = 105;
    }
    if (inList(code, {3040, 3050, 3090, 3110, 3120, 3130, 3200, 3240}) &&
        !inList(type, {kInteger16, kReal32, kRealtimeInt16}))
        result = 101;
    return result;
}

int32_t constantCheck(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& d = desc(0);
    d.openMark = 0;
    if (sigOpenRead(d, b.in1, 0) != 0) {
        sigClose(d);
        return 100;
    }
    sigClose(d);
    int32_t& k = paramInt(b, kP);
    switch (b.opCode) {
        case 3070:
            if (-static_cast<int64_t>(k) >= static_cast<int64_t>(d.recordCount) - 2) return 101;
            return 0;
        case 3230:
            if (d.recordType != kInteger16 && d.recordType != kRealtimeInt16) return 106;
            if (k < 1 || k > 15) return 107;
            return 0;
        case 4030:
            // |INT32_MIN| does not fit: the largest factor stands for it.
            if (k == INT32_MIN) {
                k = INT32_MAX;
                return 103;
            }
            k = std::abs(k);
            if (k < 2) return 102;
            if (k > 64) return 103;
            return 0;
        case 4040:
            if (k == INT32_MIN) return 105;
            k = std::abs(k);
            if (k < 2) return 104;
            if (k > 64) return 105;
            return 0;
        default:
            return 0;
    }
}

int32_t frameExecute(int32_t mode, OperationRecord* record) {
    CommandBlock& b = block();
    StatusRecord& s = status();
    for (int k = 0; k < 3; ++k) desc(k).openMark = 0;
    s.busy = 'y';
    const int32_t code = b.opCode;
    runtime().description[0] = '\0';

    int32_t result = sigOpenRead(desc(0), b.in1, kFrameBuffer);
    if (result == 0 && twoInputs(code)) result = sigOpenRead(desc(1), b.in2, kFrameBuffer);
    // prepareOutput may choose the file format; otherwise the user's holds.
    desc(2).format = 0;
    if (result == 0) result = record->prepareOutput(mode);
    if (result == 0) {
        SignalDescriptor& out = desc(2);
        const char format = out.format != 0 ? out.format : s.outputFormat;
        result = sigOpenWrite(out, b.out, out.recordType, out.recordCount, format, kFrameBuffer);
        if (result == 0) {
            ComputeArgs args;
            auto it = elementTable().find(code);
            if (it != elementTable().end()) args = it->second;
            result = record->compute(mode, &args);
            if (result == 0) result = record->release(mode);
            if (result == 0) {
                emitText(QF_MSG_DESCRIPTION, runtime().description);
                sigClose(out);
            } else {
                sigDiscard(out);
            }
        } else {
            sigDiscard(out);
        }
    }
    sigClose(desc(0));
    sigClose(desc(1));
    s.busy = 'n';
    return result;
}

int32_t framePrepareOutput(int32_t) {
    CommandBlock& b = block();
    const int32_t code = b.opCode;
    SignalDescriptor& in1 = desc(0);
    SignalDescriptor& in2 = desc(1);
    SignalDescriptor& out = desc(2);
    const std::string n1 = b.in1.n, n2 = b.in2.n, no = b.out.n;

    // Record type.
    if (twoInputs(code)) {
        int32_t t1 = in1.recordType, t2 = in2.recordType;
        int32_t larger = t1 > t2 ? t1 : t2;
        out.recordType = larger == kRealtimeInt16 ? (t1 < t2 ? t1 : t2) : larger;
        // Two recordings give 16-bit words, not a recording without channels.
        if (out.recordType == kRealtimeInt16) out.recordType = kInteger16;
    } else {
        out.recordType = typeOf(in1);
    }
    // Record count and sampling rate.
    const int32_t n = in1.recordCount;
    const int32_t k = paramInt(b, kP);
    int64_t count = n;
    out.samplingRate = in1.samplingRate;
    switch (code) {
        case 3010:
        case 3020:
            count = n > in2.recordCount ? n : in2.recordCount;
            break;
        case 3220:
            count = static_cast<int64_t>(n) + in2.recordCount;
            break;
        case 3070:
            count = static_cast<int64_t>(n) + k;
            break;
        case 3240:
            count = static_cast<int64_t>(n) - k;
            break;
        case 4030:
            count = k != 0 ? n / k : 0;
            out.samplingRate = in1.samplingRate / k;
            break;
        case 4040:
            count = static_cast<int64_t>(n) * k;
            out.samplingRate = in1.samplingRate * k;
            break;
        default:
            break;
    }
    // A count a signal file cannot hold is refused before anything is made.
    if (count < 0 || count > INT32_MAX) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }
    out.recordCount = static_cast<int32_t>(count);
    out.signalFrequency = 0.0;
    out.param1 = out.param2 = out.param3 = out.param4 = 0;
    // A coefficient input keeps its layout, so that the output can be made
    // and the kernel refuses the type.
    if (out.recordType == kLpcCoeffReal8) {
        out.param1 = in1.param1;
        out.param2 = in1.param2;
        out.param3 = in1.param3;
    }
    if (twoInputs(code) && in1.samplingRate != in2.samplingRate && status().scriptRunning != 'y')
        emitMsg(QF_MSG_NOTICE, "'%s' and '%s' have different sampling rate.", b.in1.n, b.in2.n);

    // Remark and description line.
    char* desc = runtime().description;
    const std::size_t dn = sizeof runtime().description;
    std::string remark;
    const double c = paramDouble(b, kP);
    // The integer part as a 32-bit value (clamped: the cast of a larger value is undefined).
    const double cWhole =
        std::isnan(c) ? 0.0 : std::clamp(std::trunc(c), -2147483648.0, 2147483647.0);
    std::string cText = out.recordType == kInteger16 ? fmtString("%.4lg", c)
                                                     : fmtString("%ld", static_cast<long>(cWhole));
    switch (code) {
        case 3010:
            remark = n1 + "+" + n2;
            fmt(desc, dn, "[%s] = [%s] + [%s]", no.c_str(), n1.c_str(), n2.c_str());
            break;
        case 3015:
            remark = n1 + "+" + cText;
            fmt(desc, dn, "[%s] = [%s] + %.4lg", no.c_str(), n1.c_str(), c);
            break;
        case 3020:
            remark = n1 + "-" + n2;
            fmt(desc, dn, "[%s] = [%s] - [%s]", no.c_str(), n1.c_str(), n2.c_str());
            break;
        case 3025:
            remark = n1 + "-" + cText;
            fmt(desc, dn, "[%s] = [%s] - %.4lg", no.c_str(), n1.c_str(), c);
            break;
        case 3035:
            remark = n1 + "*" + cText;
            fmt(desc, dn, "[%s] = [%s] * %.4lg", no.c_str(), n1.c_str(), c);
            break;
        case 3040:
            remark = "1/(" + n1 + ")";
            fmt(desc, dn, "[%s] = 1/([%s])", no.c_str(), n1.c_str());
            break;
        case 3050:
            remark = "(" + n1 + ")^2";
            fmt(desc, dn, "[%s] = ([%s])^2", no.c_str(), n1.c_str());
            break;
        case 3070: {
            std::string kt = fmtString("%ld", static_cast<long>(std::labs(k)));
            if (k >= 1) {
                remark = n1 + "->" + kt;
                fmt(desc, dn, "[%s] = [%s] -> %s", no.c_str(), n1.c_str(), kt.c_str());
            } else {
                remark = kt + "<-" + n1;
                fmt(desc, dn, "[%s] = %s <- [%s]", no.c_str(), kt.c_str(), n1.c_str());
            }
            break;
        }
        case 3090:
            remark = "(" + n1 + ")(t-T)";
            fmt(desc, dn, "[%s] = ([%s])(t-T)", no.c_str(), n1.c_str());
            break;
        case 3110:
        case 3120:
        case 3130:
        case 3200: {
            const char* f = code == 3110   ? "sin"
                            : code == 3120 ? "cos"
                            : code == 3130 ? "tan"
                                           : "exp";
            remark = std::string(f) + "(" + n1 + ")";
            fmt(desc, dn, "[%s] = %s([%s])", no.c_str(), f, n1.c_str());
            break;
        }
        case 3220:
            remark = n1 + "&" + n2;
            fmt(desc, dn, "[%s] = [%s] & [%s]", no.c_str(), n1.c_str(), n2.c_str());
            break;
        case 3230:
            fmt(desc, dn, "%s quantized to %d bits", n1.c_str(), k);
            remark = desc;
            break;
        case 3240:
            remark =
                n1 + "(t)-" + n1 + "(t-" + fmtString("%ld", static_cast<long>(std::labs(k))) + ")";
            fmt(desc, dn, "[%s] = [%s](t)-[%s](t-d)", no.c_str(), n1.c_str(), n1.c_str());
            break;
        case 4030:
            remark = n1 + fmtString("(n/%d)", k);
            fmt(desc, dn, "[%s] = [%s](n/%d)", no.c_str(), n1.c_str(), k);
            break;
        case 4040:
            remark = n1 + fmtString("(n*%d)", k);
            fmt(desc, dn, "[%s] = [%s](n*%d)", no.c_str(), n1.c_str(), k);
            break;
        default:
            remark = in1.remark;
            desc[0] = '\0';
            break;
    }
    if (remark.empty()) remark = "(none)";
    setRemark(out, remark);
    return 0;
}

int32_t twoInputCompute(int32_t, const ComputeArgs* args) {
    SignalDescriptor& a = desc(0);
    SignalDescriptor& bd = desc(1);
    SignalDescriptor& out = desc(2);
    const int32_t t1 = typeOf(a), t2 = typeOf(bd);
    const int32_t na = a.recordCount, nb = bd.recordCount;
    const int32_t n = na < nb ? na : nb;
    const int32_t m = na < nb ? nb : na;
    SignalDescriptor& longer = na >= nb ? a : bd;
    const int32_t tl = na >= nb ? t1 : t2;
    const bool bothFixed = t1 == kInteger16 && t2 == kInteger16;
    const bool bothFloat = t1 == kReal32 && t2 == kReal32;
    const bool mixed = (t1 == kInteger16 && t2 == kReal32) || (t1 == kReal32 && t2 == kInteger16);
    if (!bothFixed && !bothFloat && !mixed) {
        emitMsg(QF_MSG_ERROR, "Unknown data type.");
        return 1;
    }
    if (args == nullptr || (bothFixed && !args->fixedFn) || (!bothFixed && !args->floatBinary))
        return 1;
    // 16-bit words are Q15 fractions: exactly 2^-15 each.
    auto asReal = [&](SignalDescriptor& d, int32_t type, int32_t i) {
        return type == kInteger16 ? q15ToReal(*d.at<int16_t>(i))
                                  : static_cast<double>(*d.at<float>(i));
    };
    for (int32_t i = 0; i < m; ++i) {
        if (i < n) {
            if (sigAccess(a, i) || sigAccess(bd, i) || sigAccess(out, i)) return 1;
            if (bothFixed) {
                args->fixedFn(a.at<int16_t>(i), 16, 15, bd.at<int16_t>(i), 16, 15,
                              out.at<int16_t>(i), 16, 15);
            } else {
                double x = asReal(a, t1, i);
                double y = asReal(bd, t2, i);
                *out.at<float>(i) = static_cast<float>(args->floatBinary(x, y));
            }
        } else {
            if (sigAccess(longer, i) || sigAccess(out, i)) return 1;
            if (bothFixed)
                *out.at<int16_t>(i) = *longer.at<int16_t>(i);
            else if (bothFloat)
                *out.at<float>(i) = *longer.at<float>(i);
            else
                *out.at<float>(i) = static_cast<float>(asReal(longer, tl, i));
        }
    }
    return 0;
}

double cint16Magnitude(const int16_t* record) {
    double re = record[0], im = record[1];
    return std::sqrt(re * re + im * im) / 32768.0;
}

// ---------------------------------------------------------------------------
// Generic script lines.  A layout lists the fields after the name:
//   F in1, G in2, O out (directory then name), d a double, i an integer,
//   x skips an integer offset, B in2 written as "." "0" when b is 0.0.

namespace {

struct Layout {
    std::initializer_list<int32_t> codes;
    const char* fields;
};

const Layout kLayouts[] = {
    {{1100}, "F"},
    {{1140}, "FdiiO"},
    {{1150}, "FxxiO"},
    {{3010, 3020, 3220, 3270, 4005}, "FGO"},
    {{3015, 3025, 3035}, "FdO"},
    {{3030}, "dFGO"},
    {{3040, 3050, 3060}, "FdO"},
    {{3070, 3240, 3260, 4030, 4040}, "FiO"},
    {{3090, 3320, 5010, 6050, 6060}, "FO"},
    {{3100}, "FiiO"},
    {{3110, 3120, 3130, 3200}, "FddO"},
    {{3230}, "FiO"},
    {{3280}, "FddddO"},
    {{3290}, "FdddddddO"},
    {{3300}, "dFdBdO"},
    {{3310}, "FdOd"},
};

const char* layoutFor(int32_t code) {
    for (const Layout& l : kLayouts)
        for (int32_t c : l.codes)
            if (c == code) return l.fields;
    return nullptr;
}

}  // namespace

int32_t genericWriteScriptLine(int32_t, std::FILE* f) {
    CommandBlock& b = block();
    const char* fields = layoutFor(b.opCode);
    const char* name = scriptName(b.opCode);
    if (fields == nullptr || name == nullptr) return 0;
    std::string line = scriptLinePrefix(b.opCode);
    int offset = kP;
    double lastDouble = 0.0;
    bool first = true;
    for (const char* p = fields; *p; ++p) {
        std::string field;
        switch (*p) {
            case 'F':
                field = scriptEntry(b.in1);
                break;
            case 'G':
                field = scriptEntry(b.in2);
                break;
            case 'O':
                field = scriptEntry(b.out);
                break;
            case 'B':
                if (lastDouble == 0.0) {
                    field = ". 0";
                } else {
                    field = scriptEntry(b.in2);
                }
                break;
            case 'd':
                lastDouble = paramDouble(b, offset);
                field = fmtString("% 15.9lg", lastDouble);
                offset += 8;
                break;
            case 'i':
                field = fmtString("%d", paramInt(b, offset));
                offset += 4;
                break;
            case 'x':
                offset += 4;
                continue;
            default:
                break;
        }
        if (!first) line += ' ';
        line += field;
        first = false;
    }
    line += "\r\n";
    std::size_t w = std::fwrite(line.data(), 1, line.size(), f);
    return w == line.size() ? 0 : 1;
}

int32_t genericReadScriptLine(int32_t mode, const char* line, CheckParamsFn check) {
    CommandBlock& b = block();
    const char* fields = layoutFor(b.opCode);
    if (fields == nullptr) return 0;
    ScriptFields in(line);
    if (!in.skipCodeAndName()) return 1;
    int offset = kP;
    for (const char* p = fields; *p; ++p) {
        bool ok = true;
        switch (*p) {
            case 'F':
                ok = in.entry(b.in1);
                break;
            case 'G':
            case 'B':
                ok = in.entry(b.in2);
                break;
            case 'O':
                ok = in.entry(b.out);
                break;
            case 'd':
                ok = in.number(paramDouble(b, offset));
                offset += 8;
                break;
            case 'i':
                ok = in.integer(paramInt(b, offset));
                offset += 4;
                break;
            case 'x':
                offset += 4;
                break;
            default:
                break;
        }
        if (!ok) return 1;
    }
    // The constant operations' lines end with their output entry: a line
    // with more fields is malformed.
    if (b.opCode == 3015 || b.opCode == 3025 || b.opCode == 3035) {
        char extra[QF_NAME_LEN];
        if (in.word(extra, sizeof extra) || in.overflowed()) return 1;
    }
    unescapeEntry(b.in1);
    unescapeEntry(b.in2);
    unescapeEntry(b.out);
    if (!resolveScriptNames()) return kScriptLineStopped;
    int32_t c = check ? check(mode) : 0;
    if (c == 0) return 0;
    if ((b.opCode == 4005 && c == 99) || (b.opCode == 3100 && c == 103) ||
        (b.opCode == 3290 && c == 201))
        return 0;
    return 2;
}

// ---------------------------------------------------------------------------
// Registration: the two-signal sum and difference run entirely in the frame.

int32_t fixedAddElement(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r,
                        int wr, int fr) {
    fxAdd(a, wa, fa, b, wb, fb, r, wr, fr);
    return 0;
}
int32_t fixedSubElement(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r,
                        int wr, int fr) {
    fxSub(a, wa, fa, b, wb, fb, r, wr, fr);
    return 0;
}
double floatAddElement(double x, double y) {
    return x + y;
}
double floatSubElement(double x, double y) {
    return x - y;
}

OperationRecord frameRecord(int32_t code, GetParamsFn getParams, CheckParamsFn check,
                            ComputeFn compute) {
    OperationRecord r = operationTemplate(code);
    r.getParams = getParams;
    r.checkParams = check;
    r.execute = frameExecute;
    r.prepareOutput = framePrepareOutput;
    r.compute = compute;
    r.readScriptLine = genericReadScriptLine;
    r.writeScriptLine = genericWriteScriptLine;
    return r;
}

void registerFrameOperations() {
    // The remembered constants start afresh with every start-up.
    g_remembered = Remembered{};
    for (int32_t code : {3010, 3020}) {
        const OperationRecord r = frameRecord(code, threeFileDialog, alwaysValid, twoInputCompute);
        registerOperation(&r);
        ComputeArgs args;
        args.fixedFn = code == 3010 ? fixedAddElement : fixedSubElement;
        args.floatBinary = code == 3010 ? floatAddElement : floatSubElement;
        setFrameElements(code, args);
    }
}

}  // namespace qf
