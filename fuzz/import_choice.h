// How the import fuzz target reads its first two bytes; its regression
// tests replay stored inputs through the same decoding.
//
//   byte 0: bits 0-3 the format (kFormats), bit 4 complex data, bits 5-7
//           the extension (kExtensions)
//   byte 1: bits 0-2 the channels (kChannels), bits 3-4 the rate (kRates),
//           bits 5-7 the frame size (kFrames; the interval is half of it)
#pragma once

#include <cstdint>
#include <string>

#include "core/engine.h"
#include "quillfen/operations.h"

namespace qf::fuzz {

inline constexpr int32_t kFormats[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 20, 30};
inline constexpr const char* kExtensions[8] = {".wav",  ".txt", ".raw", ".flac",
                                               ".aiff", ".au",  ".ogg", ".dat"};
inline constexpr int32_t kChannels[8] = {1, 2, 3, 0, -1, 4, 32, 33};
inline constexpr double kRates[4] = {8000.0, 0.0, 44100.0, -5.0};
inline constexpr int32_t kFrames[8] = {0, 4, 16, 64, 250, 256, 1, 3};

// The name the foreign file is written under.
inline std::string importFileName(uint8_t choice) {
    return std::string("in") + kExtensions[choice >> 5];
}

// The import dialog's answer: the given files and the chosen parameters.
inline void answerImport(CommandBlock& b, const nameNpath& in, const nameNpath& out, uint8_t choice,
                         uint8_t shape) {
    b.in1 = in;
    b.out = out;
    const int32_t frame = kFrames[shape >> 5];
    paramDouble(b, QF_P_IMPORT_RATE) = kRates[(shape >> 3) & 3];
    paramInt(b, QF_P_IO_FORMAT) = kFormats[choice & 15];
    paramInt(b, QF_P_IMPORT_CHANNELS) = kChannels[shape & 7];
    paramInt(b, QF_P_IMPORT_COMPLEX) = (choice >> 4) & 1;
    paramInt(b, QF_P_IMPORT_FRAME_SIZE) = frame;
    paramInt(b, QF_P_IMPORT_FRAME_INTERVAL) = frame / 2;
    paramInt(b, QF_P_IMPORT_WINDOW) = 1;
    paramInt(b, QF_P_IMPORT_PICK_CHANNEL) = 0;
}

}  // namespace qf::fuzz
