// What the file, dispatch, script and settings layers need from the graph
// layer.
#pragma once

#include <cstdint>

#include "quillfen/quillfen.h"

namespace qf {

// The graph showing the file, or null.
PlotData* findPlotDataByName(const nameNpath& file);
// Operation code of the graph (4060, 5040, ...) and its host window.
int32_t graphOpCode(const PlotData* graph);
QfWindow graphWindow(const PlotData* graph);
// Closes the graph's window through the host and forgets the window.
void dropGraphWindow(PlotData* graph);
// Re-plots the graph noted in the status record (after its file was replaced).
void replotNotedGraph();
// Closes a running realtime display before an operation that needs the board;
// notify 'y' sends the notice.
void realtimeGuard(char notify, int32_t opCode);
// True when at least one graph window is open.
bool anyGraphOpen();
// Tiles the open graph windows.
void tileGraphWindows();
// Closes every graph window (a replayed close-windows line).
void closeAllGraphWindows();
// Loads the spectrogram palette "quillfen.pal": 0, or 1 on failure.
int32_t loadPalette();
// Hands the pens and fonts restored from the settings file to the host:
// pens 13-15 as RGB colours (0x00BBGGRR) with line type 0, brush 0, the
// other pens' colours and every pen's line type, the fonts.
void handOverGraphStyle();

}  // namespace qf
