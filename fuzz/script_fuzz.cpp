// Script lines of every registered operation: the input is a script,
// replayed by the engine's own replay (1120) in a folder holding small
// signal files of each kind and filter files (harness.h, preparedFiles).
// Folders stay "./": every other '/' and every '\' becomes '_'.  Each input
// starts from the same folder and a freshly started engine.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/harness.h"

using namespace qf;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::preparedFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::restartEngine();
    fuzz::resetWorkFolder(fuzz::preparedFiles());
    fuzz::replayScript(
        fuzz::confinedScript(std::string(reinterpret_cast<const char*>(data), size)));
    return 0;
}
