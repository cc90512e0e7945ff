// The settings file "quillfen.sav": the user's choices from one run to the
// next, read at start-up and written at shut-down.
#pragma once

#include <cstdint>

#include "core/engine.h"

namespace qf {

constexpr int kPenCount = 19;
constexpr int kFontCount = 5;

// Pens and fonts of the graph windows, as the host last reported them.
struct GraphStyle {
    int32_t penColour[kPenCount] = {};
    int32_t penLineType[kPenCount] = {};
    int32_t fontType[kFontCount] = {};
    int32_t fontStyle[kFontCount] = {};
    int32_t fontSize[kFontCount] = {10, 10, 10, 10, 10};
    bool defaultColoursApplied = false;  // a default colour set has run
    static constexpr Lifetime kLifetime = Lifetime::Load;
};

GraphStyle& graphStyle();

// Reads the settings file and puts the status record into its start-up
// state; 1 when the palette fails to load, else 0.
int32_t loadSettings();
// Writes the settings file, releases working storage and closes the log.
void saveSettings();

}  // namespace qf
