// Export (1150) of every format: the first byte of the input chooses the
// format code, the assembler flag and the output's extension; the rest is
// the signal file exported.
//
//   byte 0: bits 0-3 the format (kFormats), bit 4 assembler data, bits 5-7
//           the extension (kExtensions)
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/engine.h"
#include "fuzz/harness.h"
#include "quillfen/operations.h"

using namespace qf;

namespace {

constexpr int32_t kFormats[16] = {0, 1, 2, 5, 6, 10, 11, 12, 13, 14, 20, 21, 30, 3, 99, -1};
constexpr const char* kExtensions[8] = {".raw", ".txt", ".wav", ".flac",
                                        ".flt", ".asm", ".dat", ".au"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    fuzz::restartEngine();
    fuzz::resetWorkFolder(
        {{"in.tim", std::string(reinterpret_cast<const char*>(data) + 1, size - 1)}});

    const std::string& work = fuzz::workDir();
    CommandBlock block{};
    std::snprintf(block.in1.p, sizeof block.in1.p, "%s", work.c_str());
    std::snprintf(block.in1.n, sizeof block.in1.n, "%s", "in.tim");
    std::snprintf(block.out.p, sizeof block.out.p, "%s", work.c_str());
    std::snprintf(block.out.n, sizeof block.out.n, "out%s", kExtensions[choice >> 5]);
    block.opCode = QF_OP_EXPORT;
    // The names as given: RunOp proposes others before the dialog.
    const nameNpath in = block.in1, out = block.out;
    fuzz::answerNextDialog([&](CommandBlock& b) {
        b.in1 = in;
        b.out = out;
        paramInt(b, QF_P_IO_FORMAT) = kFormats[choice & 15];
        paramInt(b, QF_P_EXPORT_ASSEMBLER) = (choice >> 4) & 1;
        return 0;
    });
    RunOp(&block);
    fuzz::closeGraphWindows();
    return 0;
}
