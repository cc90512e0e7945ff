// The settings file "quillfen.sav" and the spectrogram palette
// "quillfen.pal": the input is the settings file.  The engine starts with it
// in its home folder, saves its settings on the way out, and starts again
// from what it saved.  The palette file holds the same bytes, so that a
// palette reader is fuzzed from the day it reads one.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/harness.h"

using namespace qf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzz::putFile(fuzz::homeDir() + "quillfen.sav", bytes);
    fuzz::putFile(fuzz::homeDir() + "quillfen.pal", bytes);
    fuzz::restartEngine();
    ExitQuillfen();
    fuzz::restartEngine();
    return 0;
}
