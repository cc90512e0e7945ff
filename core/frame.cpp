#include "core/frame.h"

#include <algorithm>
#include <cmath>

#include "core/engine.h"
#include "core/host.h"
#include "signal/access.h"
#include "signal/fixedpoint.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

double atLeastFourPoints(const CommandBlock& b) {
    return std::max(4, paramInt(const_cast<CommandBlock&>(b), QF_PARAM_OFFSET));
}
double decimationLoss(const CommandBlock& b) {
    const int32_t m = paramInt(const_cast<CommandBlock&>(b), QF_PARAM_OFFSET);
    return 100.0 - 100.0 / m;
}
double zerosInserted(const CommandBlock& b) {
    return static_cast<double>(paramInt(const_cast<CommandBlock&>(b), QF_PARAM_OFFSET)) - 1;
}

}  // namespace

const std::vector<CheckMessage>& twoFileChecks() {
    static const std::vector<CheckMessage> checks = {
        {100, QF_MSG_ERROR, "Error reading '%s%s'.", Then::AskAgain, {Arg::In1Path, Arg::In1Name}},
        {101,
         QF_MSG_ERROR,
         "'%s%s' has an unsupported type.",
         Then::AskAgain,
         {Arg::In1Path, Arg::In1Name}},
        {102,
         QF_MSG_ERROR,
         "'%s%s' has an unsupported type.",
         Then::AskAgain,
         {Arg::In1Path, Arg::In1Name}},
        {103, QF_MSG_ERROR,
         "Some samples are lost during FFT due to non-overlapping FFT frame size.  Reconstruction "
         "not possible.",
         Then::AskAgain},
        {104, QF_MSG_ERROR, "Input files must have at least 4 samples.", Then::AskAgain},
        {105,
         QF_MSG_ERROR,
         "'%s%s' must have at least %d points.",
         Then::AskAgain,
         {Arg::In1Path, Arg::In1Name, Arg::Computed},
         atLeastFourPoints},
        {106, QF_MSG_ERROR,
         "Reciprocals of fractional fixed point numbers are out of range and cannot be computed.",
         Then::AskAgain},
    };
    return checks;
}

namespace {
// The results about the shift, factor or bit count name that parameter.
std::vector<CheckMessage> aboutTheWholeNumber(std::vector<CheckMessage> checks) {
    for (CheckMessage& c : checks)
        if (inList(c.result, {101, 102, 104, 105, 107})) c.about = QF_P_WHOLE;
    return checks;
}
}  // namespace

const std::vector<CheckMessage>& constantChecks() {
    static const std::vector<CheckMessage> checks = aboutTheWholeNumber({
        {100, QF_MSG_ERROR, "Error reading '%s%s'.", Then::Stop, {Arg::In1Path, Arg::In1Name}},
        {101,
         QF_MSG_NOTICE,
         "Left shift '%s' by %ld will leave less than three samples in the result.  Reduce the "
         "amount of shift.",
         Then::AskAgain,
         {Arg::In1Name, Arg::NegInt0}},
        {102, QF_MSG_NOTICE,
         "Decimation factor should be 2, for which every other sample is dropped, or larger.",
         Then::Stop},
        {103,
         QF_MSG_NOTICE,
         "Note that a decimation factor of %ld causes %7.4lf%% of spectral information to be "
         "removed.",
         Then::GoOn,
         {Arg::Int0, Arg::Computed},
         decimationLoss},
        {104, QF_MSG_NOTICE,
         "Interpolation factor should be 2, for which one zero is inserted after every sample, "
         "or larger.",
         Then::AskAgain},
        {105,
         QF_MSG_NOTICE,
         "Note that a interpolation factor of %ld causes %ld zeros to be inserted between "
         "orignially adjacent samples.",
         Then::AskAgain,
         {Arg::Int0, Arg::Computed},
         zerosInserted},
        {106, QF_MSG_NOTICE, "Number type for masking must be fractional fixed point number.",
         Then::AskAgain},
        {107, QF_MSG_NOTICE, "Number of bits to be masked must between 1 and 15.", Then::AskAgain},
    });
    return checks;
}

CheckMessage noticeCheck(int32_t result, const char* text, Then then, Arg a1, Arg a2) {
    return {result, QF_MSG_NOTICE, text, then, {a1, a2, Arg::None}};
}

CheckMessage unreadableCheck(int32_t result, Arg name) {
    return noticeCheck(result, "Error reading '%s'.", Then::AskAgain, name);
}

CheckMessage unsupportedTypeCheck(int32_t result, Arg name) {
    return noticeCheck(result, "'%s' has an unsupported data type.", Then::AskAgain, name);
}

CheckMessage aboutParam(int32_t offset, CheckMessage m) {
    m.about = offset;
    return m;
}

bool readInputHeader(const nameNpath& file, int slot) {
    SignalDescriptor& d = blockDescriptor(block(), slot);
    d.openMark = 0;
    const bool ok = sigOpenRead(d, file, 0) == 0;
    sigClose(d);
    return ok;
}

int32_t kernelType(const SignalDescriptor& d) {
    return d.recordType == kRealtimeInt16 ? kInteger16 : d.recordType;
}

bool isTimeSignalType(int32_t type) {
    return type == kInteger16 || type == kReal32 || type == kRealtimeInt16;
}

bool frameOutputHeader(SignalDescriptor& out, const SignalDescriptor& in1,
                       const SignalDescriptor* in2, int64_t count, double rate) {
    if (in2 != nullptr) {
        const int32_t t1 = in1.recordType, t2 = in2->recordType;
        const int32_t larger = std::max(t1, t2);
        out.recordType = larger == kRealtimeInt16 ? std::min(t1, t2) : larger;
        // Two recordings give 16-bit words, not a recording without channels.
        if (out.recordType == kRealtimeInt16) out.recordType = kInteger16;
    } else {
        out.recordType = kernelType(in1);
    }
    // A count a signal file cannot hold is refused before anything is made.
    if (count < 0 || count > INT32_MAX) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return false;
    }
    out.recordCount = static_cast<int32_t>(count);
    out.samplingRate = rate;
    out.signalFrequency = 0.0;
    out.param1 = out.param2 = out.param3 = out.param4 = 0;
    // A coefficient input keeps its layout, so that the output can be made
    // and the kernel refuses the type.
    if (out.recordType == kLpcCoeffReal8) {
        out.param1 = in1.param1;
        out.param2 = in1.param2;
        out.param3 = in1.param3;
    }
    return true;
}

void frameLabels(SignalDescriptor& out, const std::string& remark, const std::string& line) {
    setRemark(out, remark.empty() ? std::string("(none)") : remark);
    fmt(runtime().description, sizeof runtime().description, "%s", line.c_str());
}

double cint16Magnitude(const int16_t* record) {
    double re = record[0], im = record[1];
    return std::sqrt(re * re + im * im) / 32768.0;
}

}  // namespace qf
