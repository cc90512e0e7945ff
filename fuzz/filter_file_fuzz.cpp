// Filter coefficient files: the input is a whole ".flt" file.  It is read
// by the coefficient reader, and then used by the filtering operation on a
// signal of 16-bit words and one of floats, so that coefficients the reader
// accepts also go through the kernel of their structure.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/harness.h"
#include "ops/filter/coefficient_file.h"

using namespace qf;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::preparedFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::restartEngine();
    std::map<std::string, std::string> files = fuzz::preparedFiles();
    files["in.flt"] = std::string(reinterpret_cast<const char*>(data), size);
    fuzz::resetWorkFolder(files);

    nameNpath file{};
    std::snprintf(file.p, sizeof file.p, "%s", fuzz::workDir().c_str());
    std::snprintf(file.n, sizeof file.n, "%s", "in.flt");
    bool loaded = false;
    {
        LoadedFilter filter;
        loaded = readFilterFile(file, filter) == 0;
    }
    if (loaded)
        fuzz::replayScript(
            "4005 Perform_filtering ./ in.flt ./ t16.tim ./ y16.tim\n"
            "4005 Perform_filtering ./ in.flt ./ tf.tim ./ yf.tim\n");
    return 0;
}
