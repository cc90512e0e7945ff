// The engine's side of the signal layer: the hooks the layer reports through
// and the fixed-point modes the engine's operations hand to it.
#pragma once

#include "signal/fixedpoint.h"

namespace qf {

// Installs the signal layer's hooks: messages go out through emitMsg, trace
// lines to the engine log, and the graph notices to the graph seams (a graph
// showing a file being replaced is noted in the status record and re-plotted
// once the new file is complete).  Called at every start-up.
void wireSignalLayer();

// The overflow and rounding modes currently set in the status record.
FxModes engineModes();

}  // namespace qf
