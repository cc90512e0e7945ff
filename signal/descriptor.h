// SignalDescriptor: one open signal (file or memory array) with its header
// values and a window buffer of consecutive records.  Descriptors live in the
// work area of the command block, so the struct must fit a 1576-byte slot and
// stay trivially copyable.
#pragma once

#include <cstdint>
#include <cstdio>

#include "quillfen/quillfen.h"

namespace qf {

constexpr int32_t kOpenMark = 1234;
constexpr int kMaxChannels = 32;

struct SignalDescriptor {
    char remark[128];
    char format;  // 'a' text, 'b' binary
    char mode;    // 'w' writing, 'r' reading
    char frameFlag;
    uint8_t channelSource[kMaxChannels];
    nameNpath file;
    int32_t openMark;  // kOpenMark while open
    int32_t recordSize;
    int32_t recordWidth;
    int32_t recordType;
    int32_t dataOffset;
    int32_t recordCount;
    int32_t windowCapacity;
    int32_t windowStart;
    int32_t bufferBytes;
    int32_t param1;  // frame size / channels / LPC order
    int32_t param2;  // frame interval / device code / frame size
    int32_t param3;  // window number / - / frame interval
    int32_t param4;
    float channelRange[kMaxChannels];
    float channelGain[kMaxChannels];
    double samplingRate;
    double signalFrequency;
    std::FILE* stream;
    void* buffer;
    void* io;  // the access layer's own state of an open file (text scratch, writer)

    bool isOpen() const { return openMark == kOpenMark; }
    // Record i, once resident, as an element of the window buffer.
    template <typename T>
    T* at(int32_t i) {
        return static_cast<T*>(buffer) + (i - windowStart);
    }
};

static_assert(sizeof(SignalDescriptor) <= QF_DESCRIPTOR_SLOT, "descriptor fits its slot");
static_assert(QF_DESCRIPTOR_SLOT % alignof(SignalDescriptor) == 0 &&
                  (QF_PARAM_OFFSET - QF_DESCRIPTOR_COUNT * QF_DESCRIPTOR_SLOT) %
                          alignof(SignalDescriptor) ==
                      0,
              "descriptor slots are aligned");

// Descriptor slot k (0 in1, 1 in2, 2 out, 3 out2, 4 out3) of a command block.
inline SignalDescriptor& blockDescriptor(CommandBlock& block, int k) {
    return *reinterpret_cast<SignalDescriptor*>(block.descriptors[k]);
}

}  // namespace qf
