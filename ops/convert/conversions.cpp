// Whole-file conversions.
//
// 6050 text <-> binary: the output is written in the other data format with
//   the same records, remark, count, rates and (for spectra) frame fields;
//   REALTIMEINT16 becomes INTEGER16.
// 6060 fixed <-> float: INTEGER16 -> REAL32, REAL32 -> INTEGER16,
//   CINT32RECT(W) <-> CREAL128RECT(W), single-channel REALTIMEINT16 -> REAL32,
//   written in the engine's output format.
//     16-bit word to float     x * 2^-15
//     float to 16-bit word     x * 32768 stored by the overflow mode
//     REALTIMEINT16 channel    range r >= 0 (unipolar): u * r / g / 65535 with
//       of range r, gain g     u the word read unsigned; r < 0 (bipolar):
//                              s * (-r) / g / 32768 with s the signed word
#include <cstdint>
#include <cstring>

#include "core/engine.h"
#include "core/frame.h"
#include "core/host.h"
#include "core/operation.h"
#include "core/pipeline.h"
#include "signal/access.h"
#include "signal/fixedpoint.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

SignalDescriptor& slot(int k) {
    return blockDescriptor(block(), k);
}

bool isSpectrum(int32_t type) {
    return type == kCInt32Rect || type == kCReal128Rect;
}

// Header fields every conversion copies.
void copyHeaderFields(const SignalDescriptor& in, SignalDescriptor& out, int32_t type) {
    std::memcpy(out.remark, in.remark, sizeof out.remark);
    out.remark[sizeof out.remark - 1] = '\0';
    out.recordType = type;
    out.recordCount = in.recordCount;
    out.samplingRate = in.samplingRate;
    out.signalFrequency = in.signalFrequency;
    const bool frames = isSpectrum(type);
    out.param1 = frames ? in.param1 : 0;
    out.param2 = frames ? in.param2 : 0;
    out.param3 = frames ? in.param3 : 0;
    out.param4 = 0;
}

// Record i of a descriptor as raw bytes, once resident.
unsigned char* rawRecord(SignalDescriptor& d, int32_t i) {
    if (sigAccess(d, i) != 0) return nullptr;
    return static_cast<unsigned char*>(d.buffer) +
           static_cast<std::size_t>(i - d.windowStart) * static_cast<std::size_t>(d.recordSize);
}

// ---------------------------------------------------------------------------
// 6050

// The records unchanged; only the file format differs.
int32_t copyCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = slot(0);
    SignalDescriptor& out = slot(2);
    if (in.recordSize != out.recordSize) return 1;
    for (int32_t i = 0; i < out.recordCount; ++i) {
        if (stoppedAt(i)) return 1;
        const unsigned char* x = rawRecord(in, i);
        unsigned char* y = x ? rawRecord(out, i) : nullptr;
        if (y == nullptr) return 1;
        std::memcpy(y, x, static_cast<std::size_t>(in.recordSize));
    }
    return 0;
}

// The output takes the input's header in the other file format.
int32_t asciiBinaryPrepareOutput(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& in = slot(0);
    SignalDescriptor& out = slot(2);
    copyHeaderFields(in, out, in.recordType == kRealtimeInt16 ? kInteger16 : in.recordType);
    out.format = in.format == 'a' ? 'b' : 'a';
    fmt(runtime().description, sizeof runtime().description,
        "Convert '%s' to %s and stored in '%s'.", b.in1.n, out.format == 'a' ? "ASCII" : "binary",
        b.out.n);
    return 0;
}

// ---------------------------------------------------------------------------
// 6060

int32_t convertedType(const SignalDescriptor& in) {
    switch (in.recordType) {
        case kInteger16:
            return kReal32;
        case kReal32:
            return kInteger16;
        case kCInt32Rect:
            return kCReal128Rect;
        case kCReal128Rect:
            return kCInt32Rect;
        case kRealtimeInt16:
            return in.param1 > 1 ? -1 : kReal32;
        default:
            return -1;
    }
}

int32_t intFloatPrepareOutput(int32_t) {
    CommandBlock& b = block();
    SignalDescriptor& in = slot(0);
    SignalDescriptor& out = slot(2);
    const int32_t type = convertedType(in);
    if (type < 0) {
        // A recording of several channels was refused before it got here,
        // except in a script replay: it ends without a message.
        if (in.recordType != kRealtimeInt16)
            emitMsg(QF_MSG_ERROR, "'%s%s' has an unsupported type.", b.in1.p, b.in1.n);
        return 1;
    }
    copyHeaderFields(in, out, type);
    const bool toInteger = type == kInteger16 || type == kCInt32Rect;
    fmt(runtime().description, sizeof runtime().description,
        "Convert '%s' to %s and stored in '%s'.", b.in1.n, toInteger ? "integer" : "float",
        b.out.n);
    return 0;
}

// Physical value of one REALTIMEINT16 word with the channel's calibration.
double calibrated(int16_t word, double range, double gain) {
    if (range >= 0.0) {
        const double u = static_cast<uint16_t>(word);
        return u * range / gain / 65535.0;
    }
    return static_cast<double>(word) * (-range) / gain / 32768.0;
}

int32_t intFloatCompute(int32_t, const ComputeArgs*) {
    SignalDescriptor& in = slot(0);
    SignalDescriptor& out = slot(2);
    const char overflow = status().overflowMode;
    const double range = in.channelRange[0];
    const double gain = in.channelGain[0];
    // Values per record: two for complex records.
    const int parts = isSpectrum(in.recordType) ? 2 : 1;
    for (int32_t i = 0; i < out.recordCount; ++i) {
        if (stoppedAt(i)) return 1;
        unsigned char* x = rawRecord(in, i);
        unsigned char* y = x ? rawRecord(out, i) : nullptr;
        if (y == nullptr) return 1;
        for (int k = 0; k < parts; ++k) {
            switch (in.recordType) {
                case kInteger16:
                case kCInt32Rect: {
                    int16_t w;
                    std::memcpy(&w, x + 2 * k, sizeof w);
                    if (out.recordType == kReal32) {
                        const float v = static_cast<float>(q15ToReal(w));
                        std::memcpy(y, &v, sizeof v);
                    } else {
                        const double v = q15ToReal(w);
                        std::memcpy(y + 8 * k, &v, sizeof v);
                    }
                    break;
                }
                case kRealtimeInt16: {
                    int16_t w;
                    std::memcpy(&w, x, sizeof w);
                    const float v = static_cast<float>(calibrated(w, range, gain));
                    std::memcpy(y, &v, sizeof v);
                    break;
                }
                case kReal32: {
                    float v;
                    std::memcpy(&v, x, sizeof v);
                    const int16_t w = realToQ15(static_cast<double>(v), overflow);
                    std::memcpy(y, &w, sizeof w);
                    break;
                }
                case kCReal128Rect: {
                    double v;
                    std::memcpy(&v, x + 8 * k, sizeof v);
                    const int16_t w = realToQ15(v, overflow);
                    std::memcpy(y + 2 * k, &w, sizeof w);
                    break;
                }
                default:
                    emitMsg(QF_MSG_ERROR, "Unknown data type.");
                    return 1;
            }
        }
    }
    return 0;
}

// 6050, 6060: a readable time signal, spectrum or recording (102 otherwise).
int32_t conversionCheck(int32_t) {
    if (!readInputHeader(block().in1)) return 1;
    const int32_t type = slot(0).recordType;
    return inList(type, {kInteger16, kReal32, kCInt32Rect, kCReal128Rect, kRealtimeInt16}) ? 0
                                                                                           : 102;
}

OperationDescription conversion(int32_t code, const char* scriptName, const char* command,
                                const char* help, const char* title, const char* outExt) {
    OperationDescription d = describedOperation(code, scriptName, command, help);
    d.files = {inputFile(QF_ENTRY_IN1, QF_FILE_TIME | QF_FILE_FRAMES, ".tim", "Input file", 0),
               outputFile(QF_ENTRY_OUT, QF_FILE_TIME | QF_FILE_FRAMES, outExt, "Output file", 1)};
    d.dialog = {.kind = DialogKind::Files, .title = title};
    d.checks = twoFileChecks();
    d.script = {{Field::In1}, {Field::Out}};
    d.show = Show::Waveform;
    d.handlers.checkParams = conversionCheck;
    return d;
}

}  // namespace

void registerConversionOperations() {
    OperationDescription text =
        conversion(QF_OP_ASCII_BINARY, "ASCII_Binary_Cvt  ", "convert-format",
                   "rewrite a signal file in the other data format (text or binary)",
                   "ASCII <-> Binary", ".tim.fre");
    text.handlers.prepareOutput = asciiBinaryPrepareOutput;
    text.handlers.compute = copyCompute;
    registerDescribed(std::move(text));

    OperationDescription number = conversion(
        QF_OP_INT_FLOAT, "Int_Float_Cvt     ", "convert-numbers",
        "16-bit fractional samples to float, or float to 16-bit", "Fixed <-> float", ".tim");
    number.handlers.prepareOutput = intFloatPrepareOutput;
    number.handlers.compute = intFloatCompute;
    registerDescribed(std::move(number));
}

}  // namespace qf
