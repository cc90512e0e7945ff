// Import (1140) of every format: the first two bytes of the input choose the
// format code, the complex flag, the file's extension, the channels, the
// sampling rate and the frame size; the rest is the foreign file.
//
//   byte 0: bits 0-3 the format (kFormats), bit 4 complex data, bits 5-7
//           the extension (kExtensions)
//   byte 1: bits 0-2 the channels (kChannels), bits 3-4 the rate (kRates),
//           bits 5-7 the frame size (kFrames; the interval is half of it)
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "fuzz/harness.h"
#include "quillfen/operations.h"

using namespace qf;

namespace {

constexpr int32_t kFormats[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 20, 30};
constexpr const char* kExtensions[8] = {".wav",  ".txt", ".raw", ".flac",
                                        ".aiff", ".au",  ".ogg", ".dat"};
constexpr int32_t kChannels[8] = {1, 2, 3, 0, -1, 4, 32, 33};
constexpr double kRates[4] = {8000.0, 0.0, 44100.0, -5.0};
constexpr int32_t kFrames[8] = {0, 4, 16, 64, 250, 256, 1, 3};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const uint8_t choice = data[0], shape = data[1];
    const std::string name = std::string("in") + kExtensions[choice >> 5];
    fuzz::restartEngine();
    fuzz::resetWorkFolder({{name, std::string(reinterpret_cast<const char*>(data) + 2, size - 2)}});

    const std::string& work = fuzz::workDir();
    CommandBlock block{};
    std::snprintf(block.in1.p, sizeof block.in1.p, "%s", work.c_str());
    std::snprintf(block.in1.n, sizeof block.in1.n, "%s", name.c_str());
    std::snprintf(block.out.p, sizeof block.out.p, "%s", work.c_str());
    std::snprintf(block.out.n, sizeof block.out.n, "%s", "out.tim");
    block.opCode = QF_OP_IMPORT;
    // The names as given: RunOp proposes others before the dialog.
    const nameNpath in = block.in1, out = block.out;
    fuzz::answerNextDialog([&](CommandBlock& b) {
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
        return 0;
    });
    RunOp(&block);
    fuzz::closeGraphWindows();
    return 0;
}
