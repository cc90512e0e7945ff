// Import (1140) of every format: the first two bytes of the input choose the
// format code, the complex flag, the file's extension, the channels, the
// sampling rate and the frame size (fuzz/import_choice.h); the rest is the
// foreign file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "fuzz/harness.h"
#include "fuzz/import_choice.h"
#include "quillfen/operations.h"

using namespace qf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const uint8_t choice = data[0], shape = data[1];
    const std::string name = fuzz::importFileName(choice);
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
        fuzz::answerImport(b, in, out, choice, shape);
        return 0;
    });
    RunOp(&block);
    fuzz::closeGraphWindows();
    return 0;
}
