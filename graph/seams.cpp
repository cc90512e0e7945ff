#include "graph/seams.h"

#include <cstring>

#include "core/engine.h"

namespace qf {

PlotData* findPlotDataByName(const nameNpath&) {
    return nullptr;
}

int32_t graphOpCode(const PlotData*) {
    return 0;
}

QfWindow graphWindow(const PlotData*) {
    return nullptr;
}

void dropGraphWindow(PlotData*) {}

void replotNotedGraph() {
    // No graph can be noted while there are no graph windows; clear the note.
    StatusRecord& s = status();
    s.replotOpCode = 0;
    std::memset(&s.replotFile, 0, sizeof s.replotFile);
}

bool anyGraphOpen() {
    return false;
}

void tileGraphWindows() {}

int32_t loadPalette() {
    // Spectrogram palettes arrive with spectrograms; until then there is
    // nothing to load and nothing can fail.
    return 0;
}

void realtimeGuard(char, int32_t) {
    // No realtime display can be open until realtime displays exist.
}

}  // namespace qf
