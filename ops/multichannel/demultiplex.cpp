// Operation 6110: a recording of M channels into M INTEGER16 files.
//
//   output c, record s = input record s * M + c,  s = 0 .. S - 1,  S = N / M
//
// The outputs are named "%s%02d.%s" from the prefix split at its last '.'
// (rec.tim gives rec00.tim, rec01.tim ...); a prefix without '.' takes
// ".tim".  Each output has the remark "channel c of [input]", the input's
// rates, the engine's output format and a 4096-byte window.  The outputs
// are written under temporary names and all take their names only when
// every one is complete.
//
// Check codes: 101 the input cannot be read, 102 it is not a recording,
// 103 it has one channel, 104 the prefix was cut to 249 characters (and its
// extension), 105 the generated names could be the input's.
#include <algorithm>
#include <cstring>
#include <string>

#include "core/frame.h"
#include "core/host.h"
#include "core/pipeline.h"
#include "ops/multichannel/multichannel.h"
#include "signal/access.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

bool MultichannelTables::ensure() {
    if (!files) files.reset(new (std::nothrow) nameNpath[kMaxChannels]());
    if (!descriptors) descriptors.reset(new (std::nothrow) SignalDescriptor[kMaxChannels]());
    if (files && descriptors) return true;
    emitText(QF_MSG_ERROR, kOutOfMemoryText);
    return false;
}

MultichannelTables& multichannelTables() {
    return familyState<MultichannelTables>();
}

namespace multichannel {

namespace {

constexpr std::size_t kPrefixLimit = 254;  // a prefix this long is cut
constexpr std::size_t kPrefixKeep = 249;   // to this many characters and its extension

// The prefix's base (before its last '.') and extension (after it).
void splitPrefix(const char* prefix, std::string& base, std::string& ext) {
    const std::string p(prefix, ::strnlen(prefix, QF_NAME_LEN));
    const std::size_t dot = p.rfind('.');
    base = dot == std::string::npos ? p : p.substr(0, dot);
    ext = dot == std::string::npos ? std::string("tim") : p.substr(dot + 1);
}

void setName(nameNpath& e, const std::string& name) {
    std::memset(e.n, 0, sizeof e.n);
    std::memcpy(e.n, name.data(), std::min(name.size(), sizeof e.n - 1));
}

// Closes every output on success (each renamed over its name), or removes
// them all.
class Outputs {
  public:
    Outputs(SignalDescriptor* d, int32_t m) : d_(d), m_(m) {
        for (int32_t c = 0; c < m_; ++c) d_[c].openMark = 0;
    }
    ~Outputs() {
        for (int32_t c = 0; c < m_; ++c) sigDiscard(d_[c]);
    }
    Outputs(const Outputs&) = delete;
    Outputs& operator=(const Outputs&) = delete;
    int32_t commit() {
        int32_t result = 0;
        for (int32_t c = 0; c < m_; ++c) {
            if (result == 0)
                result = sigClose(d_[c]);
            else
                sigDiscard(d_[c]);
        }
        return result;
    }

  private:
    SignalDescriptor* d_;
    int32_t m_;
};

bool isRecording(const SignalDescriptor& d) {
    return d.recordType == kRealtimeInt16 && d.param1 >= 2 && d.param1 <= kMaxChannels;
}

}  // namespace

int32_t demuxCheck(int32_t) {
    CommandBlock& b = block();
    if (!readInputHeader(b.in1)) return 101;
    const SignalDescriptor& in = blockDescriptor(b, 0);
    if (in.recordType != kRealtimeInt16) return 102;
    if (in.param1 < 2) return 103;
    paramInt(b, QF_P_MUX_CHANNELS) = in.param1;

    // The prefix needs an extension to split at.
    std::string prefix(b.out.n, ::strnlen(b.out.n, sizeof b.out.n));
    if (prefix.find('.') == std::string::npos) prefix += ".tim";
    if (prefix.size() >= kPrefixLimit) {
        std::string ext = prefix.substr(prefix.rfind('.'));
        if (ext.size() > kPrefixLimit - 1 - kPrefixKeep) ext = ".tim";
        setName(b.out, prefix.substr(0, kPrefixKeep) + ext);
        return 104;
    }
    setName(b.out, prefix);

    // rec.tim makes rec00.tim ...: an input named rec??.tim could be one.
    const std::size_t k = prefix.find('.');
    const std::size_t inLen = ::strnlen(b.in1.n, sizeof b.in1.n);
    if (std::strncmp(prefix.c_str(), b.in1.n, k) == 0 && inLen > k + 2 && b.in1.n[k + 2] == '.')
        return 105;
    return 0;
}

int32_t demuxPrepare(int32_t) {
    const SignalDescriptor& in = blockDescriptor(block(), 0);
    if (!isRecording(in)) {
        emitText(QF_MSG_ERROR, "Input file is not a recorded signal.");
        return 1;
    }
    return multichannelTables().ensure() ? 0 : 1;
}

int32_t demuxCompute(int32_t, const ComputeArgs*) {
    CommandBlock& b = block();
    SignalDescriptor& in = blockDescriptor(b, 0);
    MultichannelTables& t = multichannelTables();
    const int32_t m = in.param1;
    const int32_t samples = in.recordCount / m;
    std::string base, ext;
    splitPrefix(b.out.n, base, ext);
    const std::string remarkTail = std::string(b.in1.n, ::strnlen(b.in1.n, sizeof b.in1.n)) + "]";

    Outputs outputs(t.descriptors.get(), m);
    for (int32_t c = 0; c < m; ++c) {
        nameNpath& file = t.files[c];
        std::memset(&file, 0, sizeof file);
        std::memcpy(file.p, b.out.p, sizeof file.p);
        file.p[sizeof file.p - 1] = '\0';
        const std::string name = fmtString("%s%02d.%s", base.c_str(), c, ext.c_str());
        if (name.size() >= sizeof file.n) {
            emitMsg(QF_MSG_ERROR, "Cannot open %s%s for write.", b.out.p, name.c_str());
            return 1;
        }
        setName(file, name);
        SignalDescriptor& d = t.descriptors[c];
        std::memset(&d, 0, sizeof d);
        setRemark(d, fmtString("channel %d of [", c) + remarkTail);
        d.samplingRate = in.samplingRate;
        d.signalFrequency = in.signalFrequency;
        const int32_t r = sigOpenWrite(d, file, kInteger16, samples, status().outputFormat, 4096);
        if (r != 0) return r;
    }

    // Input record i is sample i / M of channel i % M.
    const int64_t used = static_cast<int64_t>(samples) * m;
    for (int64_t i = 0; i < used;) {
        const int32_t at = static_cast<int32_t>(i);
        if (sigAccess(in, at) != 0) return 1;
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(used - i, residentFrom(in, at)));
        const int16_t* x = in.at<int16_t>(at);
        for (int32_t j = 0; j < n; ++j) {
            const int32_t k = at + j;
            SignalDescriptor& d = t.descriptors[k % m];
            if (sigAccess(d, k / m) != 0) return 1;
            *d.at<int16_t>(k / m) = x[j];
        }
        i += n;
    }
    const int32_t r = outputs.commit();
    if (r != 0) return r;

    paramInt(b, QF_P_MUX_CHANNELS) = m;
    EngineRuntime& rt = runtime();
    if (m == 2)
        fmt(rt.description, sizeof rt.description, "[%s] demux to [%s] and [%s]", b.in1.n,
            t.files[0].n, t.files[1].n);
    else
        fmt(rt.description, sizeof rt.description, "[%s] demux to [%s], [%s]... [%s]", b.in1.n,
            t.files[0].n, t.files[1].n, t.files[m - 1].n);
    return 0;
}

const nameNpath* demuxOutputs() {
    return multichannelTables().files.get();
}

}  // namespace multichannel
}  // namespace qf
