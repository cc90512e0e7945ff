// Signal files for hosts (quillfen/signals.h): a file's header and its
// records as plain numbers, read through the engine's own file access.
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "core/host.h"
#include "quillfen/signals.h"
#include "signal/access.h"
#include "signal/format.h"

struct QfSignal {
    qf::SignalDescriptor d{};
};

namespace {

constexpr int32_t kWindowBytes = 65536;

void copyText(char* dest, std::size_t size, const char* text) {
    std::strncpy(dest, text ? text : "", size - 1);
    dest[size - 1] = '\0';
}

int32_t kindOf(int32_t type) {
    switch (qf::recordTraits(type).header) {
        case qf::HeaderLines::Frames:
            return QF_SIGNAL_FRAMES;
        case qf::HeaderLines::Channels:
            return QF_SIGNAL_CHANNELS;
        case qf::HeaderLines::Coefficients:
            return QF_SIGNAL_COEFFICIENTS;
        default:
            return QF_SIGNAL_TIME;
    }
}

void describe(const qf::SignalDescriptor& d, QfSignalInfo& info) {
    std::memset(&info, 0, sizeof info);
    copyText(info.remark, sizeof info.remark, d.remark);
    copyText(info.typeName, sizeof info.typeName, qf::recordTypeName(d.recordType));
    copyText(info.typeDescription, sizeof info.typeDescription,
             qf::recordTypeDescription(d.recordType));
    info.recordType = d.recordType;
    info.kind = kindOf(d.recordType);
    info.recordCount = d.recordCount;
    info.valuesPerRecord = qf::recordTraits(d.recordType).values > 1 ? 2 : 1;
    info.format = d.format;
    info.samplingRate = d.samplingRate;
    info.signalFrequency = d.signalFrequency;
    info.window = -1;
    switch (info.kind) {
        case QF_SIGNAL_FRAMES:
            info.frameSize = d.param1;
            info.frameInterval = d.param2;
            info.window = d.param3;
            copyText(info.windowName, sizeof info.windowName, qf::windowName(d.param3));
            break;
        case QF_SIGNAL_COEFFICIENTS:
            info.lpcOrder = d.param1;
            info.frameSize = d.param2;
            info.frameInterval = d.param3;
            break;
        case QF_SIGNAL_CHANNELS:
            info.channels = d.param1;
            info.deviceCode = d.param2;
            break;
        default:
            break;
    }
}

// The values of the resident record i.
void valuesOf(qf::SignalDescriptor& d, int32_t i, double* v) {
    switch (d.recordType) {
        case qf::kReal32:
            v[0] = *d.at<float>(i);
            return;
        case qf::kCInt32Rect: {
            const int16_t* w =
                static_cast<const int16_t*>(d.buffer) + 2 * static_cast<int64_t>(i - d.windowStart);
            v[0] = w[0] / 32768.0;
            v[1] = w[1] / 32768.0;
            return;
        }
        case qf::kCReal128Rect: {
            const double* c =
                static_cast<const double*>(d.buffer) + 2 * static_cast<int64_t>(i - d.windowStart);
            v[0] = c[0];
            v[1] = c[1];
            return;
        }
        case qf::kLpcCoeffReal8:
            v[0] = *d.at<double>(i);
            return;
        default:  // INTEGER16 and REALTIMEINT16 words
            v[0] = *d.at<int16_t>(i) / 32768.0;
            return;
    }
}

QfSignal* openSignal(const char* path, QfSignalInfo* info) {
    if (path == nullptr) return nullptr;
    const std::string full = path;
    const std::size_t cut = full.find_last_of("/\\");
    const std::string dir = cut == std::string::npos ? std::string() : full.substr(0, cut + 1);
    const std::string name = cut == std::string::npos ? full : full.substr(cut + 1);
    nameNpath file{};
    if (name.size() >= sizeof file.n || dir.size() >= sizeof file.p) return nullptr;
    std::memcpy(file.n, name.data(), name.size());
    std::memcpy(file.p, dir.data(), dir.size());
    std::unique_ptr<QfSignal> s(new (std::nothrow) QfSignal);
    if (s == nullptr) return nullptr;
    if (qf::sigOpenRead(s->d, file, kWindowBytes) != 0 || !qf::isFileRecordType(s->d.recordType)) {
        qf::sigClose(s->d);
        return nullptr;
    }
    if (info) describe(s->d, *info);
    return s.release();
}

int32_t signalValues(QfSignal* s, int32_t first, int32_t count, double* values) {
    if (s == nullptr || values == nullptr || first < 0 || count < 0 || !s->d.isOpen()) return -1;
    const int32_t per = qf::recordTraits(s->d.recordType).values > 1 ? 2 : 1;
    int32_t n = 0;
    for (int64_t i = first; i < s->d.recordCount && n < count; ++i, ++n) {
        const int32_t at = static_cast<int32_t>(i);
        if (qf::sigAccess(s->d, at) != 0) return -1;
        valuesOf(s->d, at, values + static_cast<int64_t>(n) * per);
    }
    return n;
}

}  // namespace

extern "C" {

QF_EXPORT QfSignal* qfSignalOpen(const char* path, QfSignalInfo* info) {
    return qf::guardedEntry(static_cast<QfSignal*>(nullptr),
                            [&] { return openSignal(path, info); });
}

QF_EXPORT int32_t qfSignalValues(QfSignal* s, int32_t first, int32_t count, double* values) {
    return qf::guardedEntry(-1, [&] { return signalValues(s, first, count, values); });
}

QF_EXPORT void qfSignalClose(QfSignal* s) {
    if (s == nullptr) return;
    qf::sigClose(s->d);
    delete s;
}

}  // extern "C"
