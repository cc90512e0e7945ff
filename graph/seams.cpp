// The seams of later graph features: spectrogram palettes and realtime
// displays.
#include "graph/seams.h"

namespace qf {

int32_t loadPalette() {
    // Spectrogram palettes arrive with spectrograms; until then there is
    // nothing to load and nothing can fail.
    return 0;
}

void realtimeGuard(char, int32_t) {
    // No realtime display can be open until realtime displays exist.
}

}  // namespace qf
