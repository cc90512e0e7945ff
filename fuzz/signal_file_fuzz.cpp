// Signal files, text and binary, of every record type: the input is a whole
// file.  It is opened for its header alone, then read record by record
// through the access layer's windows, read as values through the hosts'
// reader, converted between text and binary records by an operation, and
// shown in each kind of graph, which is moved, scaled and drawn.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/harness.h"
#include "quillfen/signals.h"
#include "signal/access.h"

using namespace qf;

namespace {

// Every record resident in turn, in windows of `bufferBytes`.  A refused
// file may stay open (one too short for its records): it is closed too.
void walkRecords(const nameNpath& file, int32_t bufferBytes) {
    SignalDescriptor d{};
    if (sigOpenRead(d, file, bufferBytes) == 0)
        for (int32_t i = 0; i < d.recordCount; ++i)
            if (sigAccess(d, i) != 0) break;
    sigClose(d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::restartEngine();
    fuzz::resetWorkFolder({{"in.tim", std::string(reinterpret_cast<const char*>(data), size)}});
    nameNpath file{};
    std::snprintf(file.p, sizeof file.p, "%s", fuzz::workDir().c_str());
    std::snprintf(file.n, sizeof file.n, "%s", "in.tim");

    SignalDescriptor header{};
    sigOpenRead(header, file, 0);
    sigClose(header);
    walkRecords(file, 64);
    walkRecords(file, 16384);

    QfSignalInfo info{};
    const std::string path = fuzz::workDir() + "in.tim";
    if (QfSignal* s = qfSignalOpen(path.c_str(), &info)) {
        std::vector<double> values(static_cast<std::size_t>(64 * 2));
        for (int32_t first = 0; first < info.recordCount; first += 64)
            if (qfSignalValues(s, first, 64, values.data()) <= 0) break;
        qfSignalClose(s);
    }

    fuzz::replayScript("6050 ASCII_Binary_Cvt ./ in.tim ./ other.tim\n");

    // Its graphs, drawn after moving and scaling their views (refresh 10,
    // end 8, zoom in 13 and out 12, Y auto 18 and up 16, pan 3 and 4, head 7).
    for (const char* display :
         {"4060 WaveformDisplay ./ in.tim\n", "5040 MagnitudeDisplay ./ in.tim\n",
          "5070 PhaseDisplay ./ in.tim\n", "5080 PowerDisplay ./ in.tim\n"}) {
        fuzz::replayScriptKeepingGraphs(display);
        fuzz::viewGraphWindows({10, 8, 10, 13, 10, 12, 18, 10, 16, 4, 3, 7, 10});
        fuzz::closeGraphWindows();
    }
    return 0;
}
