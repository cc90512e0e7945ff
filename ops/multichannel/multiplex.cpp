// Operation 6120: up to 32 single-channel signals into one binary recording.
//
//   output record s * M + c = channel c's sample s, s = 0 .. S - 1
//     0             the channel has no name, or s is past its end
//     the word      INTEGER16 and single-channel REALTIMEINT16
//     x * 32768     REAL32, stored by the overflow mode (1.0 -> 32767 when
//                   saturating, -32768 when wrapping)
//   S = the longest channel's length (1024 when every channel is empty);
//   rate and signal frequency those of the first channel (1 Hz and 0 with
//   none); each channel's calibration range -1, gain 1, source c.
//
// The host's dspMuxOpenFile fills the 32-entry file table and M.  Check
// codes: 97 M outside 1..32, 1000 + c channel c cannot be read, 2000 + c
// it is a recording of several channels, 3000 + c it is no time signal,
// 99 the channels' rates differ (noted; the first channel's is used).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/pipeline.h"
#include "ops/multichannel/multichannel.h"
#include "platform/fs.h"
#include "script/lines.h"
#include "script/script_text.h"
#include "signal/access.h"
#include "signal/fixedpoint.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf::multichannel {

namespace {

constexpr int32_t kRatesDiffer = 99;
constexpr int32_t kBadCount = 97;
constexpr int32_t kUnreadable = 1000;
constexpr int32_t kSeveralChannels = 2000;
constexpr int32_t kUnsupported = 3000;

int32_t channelCount() {
    return paramInt(block(), QF_P_MUX_CHANNELS);
}

bool named(const nameNpath& e) {
    return e.n[0] != '\0';
}

std::string nameOf(const nameNpath& e) {
    return std::string(e.n, ::strnlen(e.n, sizeof e.n));
}

// The message of a check result (kind 2), or false for none.
bool muxMessage(int32_t c, const nameNpath* files) {
    const int32_t channel = c % 1000;
    const char* name = c >= 1000 && channel < kMaxChannels ? files[channel].n : "";
    if (c == kBadCount)
        emitMsg(QF_MSG_NOTICE, "Choose 1 to %d signals to multiplex.", kMaxChannels);
    else if (c >= kUnreadable && c < kUnreadable + kMaxChannels)
        emitMsg(QF_MSG_NOTICE, "Error reading channel %d file '%s'.", channel, name);
    else if (c >= kSeveralChannels && c < kSeveralChannels + kMaxChannels)
        emitMsg(QF_MSG_NOTICE, "Channel %d file '%s' is not a single channel signal.", channel,
                name);
    else if (c >= kUnsupported && c < kUnsupported + kMaxChannels)
        emitMsg(QF_MSG_NOTICE, "Channel %d file '%s' has an unsupported data type.", channel, name);
    else if (c == kRatesDiffer)
        emitText(QF_MSG_NOTICE,
                 "Component signals have different sampling rate.  Output sampling rate set to "
                 "channel 0 sampling rate.");
    else
        return false;
    return true;
}

// Opens channel c's header into its descriptor: 0, or the failure.
int32_t openHeader(MultichannelTables& t, int32_t c) {
    SignalDescriptor& d = t.descriptors[c];
    d.openMark = 0;
    return sigOpenRead(d, t.files[c], 0);
}

// Every channel opened for reading is closed when the run ends.
class Channels {
  public:
    explicit Channels(MultichannelTables& t) : t_(t) {
        for (int32_t c = 0; c < kMaxChannels; ++c) t_.descriptors[c].openMark = 0;
    }
    ~Channels() {
        for (int32_t c = 0; c < kMaxChannels; ++c) sigClose(t_.descriptors[c]);
    }
    Channels(const Channels&) = delete;
    Channels& operator=(const Channels&) = delete;

  private:
    MultichannelTables& t_;
};

void storeTablePointers(CommandBlock& b, MultichannelTables& t) {
    void* files = t.files.get();
    void* descriptors = t.descriptors.get();
    std::memcpy(reinterpret_cast<unsigned char*>(&b) + QF_P_MUX_FILE_TABLE, &files, sizeof files);
    std::memcpy(reinterpret_cast<unsigned char*>(&b) + QF_P_MUX_DESCRIPTOR_TABLE, &descriptors,
                sizeof descriptors);
}

}  // namespace

int32_t muxGetParams(int32_t mode, CheckParamsFn check) {
    MultichannelTables& t = multichannelTables();
    if (!t.ensure()) return 1;
    CommandBlock& b = block();
    for (;;) {
        storeTablePointers(b, t);
        const int32_t shown =
            host().dspMuxOpenFile ? hostcall::dspMuxOpenFile(0, t.files.get(), ".tim") : 1;
        if (shown != 0) return shown;
        const int32_t c = check ? check(mode) : 0;
        if (c == 0) return 0;
        if (!muxMessage(c, t.files.get())) return c;
        if (c == kRatesDiffer) return 0;
    }
}

int32_t muxCheck(int32_t) {
    MultichannelTables& t = multichannelTables();
    if (!t.ensure()) return 1;
    const int32_t m = channelCount();
    if (m < 1 || m > kMaxChannels) return kBadCount;
    bool haveRate = false, differ = false;
    float first = 0.0f;
    for (int32_t c = 0; c < m; ++c) {
        if (!named(t.files[c])) continue;
        SignalDescriptor& d = t.descriptors[c];
        const int32_t opened = openHeader(t, c);
        const int32_t type = d.recordType;
        const int32_t channels = d.param1;
        const float rate = static_cast<float>(d.samplingRate);
        sigClose(d);
        if (opened != 0) return kUnreadable + c;
        if (type == kRealtimeInt16 && channels >= 2) return kSeveralChannels + c;
        if (type != kInteger16 && type != kReal32 && type != kRealtimeInt16)
            return kUnsupported + c;
        if (!haveRate)
            first = rate;
        else if (rate != first)
            differ = true;
        haveRate = true;
    }
    return differ ? kRatesDiffer : 0;
}

int32_t muxPrepare(int32_t) {
    CommandBlock& b = block();
    MultichannelTables& t = multichannelTables();
    if (!t.ensure()) return 1;
    const int32_t m = channelCount();
    if (m < 1 || m > kMaxChannels) {
        muxMessage(kBadCount, nullptr);
        return 1;
    }
    SignalDescriptor& out = blockDescriptor(b, 2);
    out.samplingRate = 1.0;
    out.signalFrequency = 0.0;
    int64_t samples = 0;
    bool first = true;
    for (int32_t c = 0; c < m; ++c) {
        if (!named(t.files[c])) continue;
        SignalDescriptor& d = t.descriptors[c];
        const int32_t r = openHeader(t, c);
        sigClose(d);
        if (r != 0) return r;
        if (first) {
            out.samplingRate = d.samplingRate;
            out.signalFrequency = d.signalFrequency;
            first = false;
        }
        samples = std::max<int64_t>(samples, d.recordCount);
    }
    if (samples == 0) samples = 1024;
    const int64_t records = samples * m;
    if (records > INT32_MAX) {
        emitText(QF_MSG_ERROR, kOutOfMemoryText);
        return 1;
    }

    out.recordType = kRealtimeInt16;
    out.recordCount = static_cast<int32_t>(records);
    out.format = 'b';
    out.bufferBytes = 16384;
    out.param1 = m;
    out.param2 = 0;
    for (int32_t c = 0; c < m; ++c) {
        out.channelRange[c] = -1.0f;
        out.channelGain[c] = 1.0f;
        out.channelSource[c] = static_cast<uint8_t>(c);
    }
    const std::string ch0 = nameOf(t.files[0]);
    const std::string ch1 = m > 1 ? nameOf(t.files[1]) : std::string();
    const std::string last = nameOf(t.files[m - 1]);
    std::string remark = "Ch0 = [" + ch0 + "]";
    if (m == 2) remark += "; Ch1 = [" + ch1 + "]";
    if (m > 2) remark += "; Ch1 = [" + ch1 + "]; ... " + fmtString("Ch%d = [", m - 1) + last + "]";
    setRemark(out, remark);

    EngineRuntime& rt = runtime();
    if (m == 1)
        fmt(rt.description, sizeof rt.description, "[%s] mux to [%s]", ch0.c_str(), b.out.n);
    else if (m == 2)
        fmt(rt.description, sizeof rt.description, "[%s] and [%s] mux to [%s]", ch0.c_str(),
            ch1.c_str(), b.out.n);
    else
        fmt(rt.description, sizeof rt.description, "[%s], [%s] etc. mux to [%s]", ch0.c_str(),
            ch1.c_str(), b.out.n);
    return 0;
}

int32_t muxCompute(int32_t, const ComputeArgs*) {
    CommandBlock& b = block();
    MultichannelTables& t = multichannelTables();
    SignalDescriptor& out = blockDescriptor(b, 2);
    const int32_t m = out.param1;
    const char overflow = status().overflowMode;
    Channels open(t);
    for (int32_t c = 0; c < m; ++c) {
        if (!named(t.files[c])) continue;
        const int32_t r = sigOpenRead(t.descriptors[c], t.files[c], 4096);
        if (r != 0) return r;
    }
    // The word of channel c at sample s.
    auto sample = [&](int32_t c, int32_t s, int16_t& w) {
        SignalDescriptor& d = t.descriptors[c];
        w = 0;
        if (!d.isOpen() || s >= d.recordCount) return true;
        if (sigAccess(d, s) != 0) return false;
        if (d.recordType == kReal32)
            w = realToQ15(static_cast<double>(*d.at<float>(s)), overflow);
        else
            w = *d.at<int16_t>(s);
        return true;
    };
    bool ok = true;
    const int32_t r =
        forEachOutputSpan<int16_t>(out, 0, out.recordCount, [&](int16_t* y, int32_t at, int32_t n) {
            for (int32_t j = 0; j < n && ok; ++j) ok = sample((at + j) % m, (at + j) / m, y[j]);
        });
    return r != 0 || !ok ? 1 : 0;
}

// "%04d %s       " then "dir name " for each channel, then the output.
int32_t muxWriteScriptLine(int32_t, std::FILE* f) {
    CommandBlock& b = block();
    const OperationDescription* d = describe(QF_OP_MULTIPLEX);
    MultichannelTables& t = multichannelTables();
    if (d == nullptr || f == nullptr || !t.files) return 1;
    const int32_t m = std::clamp(channelCount(), 0, kMaxChannels);
    std::string line = scriptLinePrefix(*d);
    for (int32_t c = 0; c < m; ++c) line += scriptEntry(t.files[c]) + " ";
    line += scriptEntry(b.out) + "\r\n";
    return platform::writeText(f, line) ? 0 : 1;
}

// Pairs of words up to the end of the line, at least three: the last is the
// output, the others the channels; a pair after the 32nd channel is the
// output whatever follows it.
int32_t muxReadScriptLine(int32_t mode, const char* line, CheckParamsFn check) {
    CommandBlock& b = block();
    MultichannelTables& t = multichannelTables();
    if (!t.ensure()) return 1;
    ScriptFields in(line);
    if (!in.skipCodeAndName()) return 1;
    std::vector<nameNpath> pairs;
    while (static_cast<int32_t>(pairs.size()) <= kMaxChannels) {
        nameNpath e{};
        if (!in.word(e.p, sizeof e.p)) break;
        if (!in.word(e.n, sizeof e.n)) return 1;
        unescapeEntry(e);
        pairs.push_back(e);
    }
    if (in.overflowed() || pairs.size() < 3) return 1;
    const int32_t m = static_cast<int32_t>(pairs.size()) - 1;

    // Each channel's folder and name are resolved as a script's inputs are,
    // two at a time, then the output.
    for (int32_t c = 0; c < m; c += 2) {
        b.in1 = pairs[static_cast<std::size_t>(c)];
        b.in2 = c + 1 < m ? pairs[static_cast<std::size_t>(c) + 1] : nameNpath{};
        b.out = nameNpath{};
        if (!resolveScriptNames()) return kScriptLineStopped;
        pairs[static_cast<std::size_t>(c)] = b.in1;
        if (c + 1 < m) pairs[static_cast<std::size_t>(c) + 1] = b.in2;
    }
    b.in1 = pairs[0];
    b.in2 = pairs[1];
    b.out = pairs.back();
    if (!resolveScriptNames()) return kScriptLineStopped;

    for (int32_t c = 0; c < kMaxChannels; ++c)
        t.files[c] = c < m ? pairs[static_cast<std::size_t>(c)] : nameNpath{};
    paramInt(b, QF_P_MUX_CHANNELS) = m;
    storeTablePointers(b, t);
    return check && check(mode) != 0 ? 2 : 0;
}

}  // namespace qf::multichannel
