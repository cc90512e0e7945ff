// qf's graph windows: each is an off-screen picture (a cairo image surface
// of the chosen size) that the engine draws into through the drawing
// callbacks.  A window is painted when a picture of it is wanted; a print
// (operation 1100) goes to a PDF page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quillfen/quillfen.h"

namespace qfhost {

struct DrawSettings {
    int32_t width = 800;  // size of new graph windows
    int32_t height = 600;
    std::string printDir;   // where prints go ("" = qf's start folder)
    std::string nextPrint;  // the file the next print goes to ("" = print-N.pdf)
};
DrawSettings& drawSettings();

// A graph window as qf lists it.
struct WindowInfo {
    QfWindow handle;
    PlotData* graph;
    std::string title;  // the file's path
    int32_t id;         // 1, 2, ... in order of creation
};
std::vector<WindowInfo> graphWindows();
// The window commands act on: the newest, or the one last acted on.
QfWindow activeWindow();
void setActiveWindow(QfWindow window);

// Paints the window if it needs it (as a window system would before
// showing it): plotGraphCtrl(10, window).
void paintWindow(QfWindow window);
// Writes the window's picture: .png (its pixels) or .svg (drawn again as
// vectors).  The file takes its name only when complete.  0, or 1 with a
// message on standard error.
int savePicture(QfWindow window, const std::string& path);
// Finishes a print page in progress (after each engine call).
void finishPrints();
// Closes every graph window (grCLOSE to the engine) and frees the drawing
// library's caches.
void closeGraphWindows();

// Saves every graph window opened since window `firstId` as DIR/NAME-KIND.png
// (tone-waveform.png, tone-magnitude.png); 0, or 1 when one failed.
int savePlots(const std::string& dir, int32_t firstId);
// The id the next graph window gets at the earliest.
int32_t nextWindowId();

// Writes every drawing call, one per line, to `path` ("" stops): 0, or 1
// when the file cannot be made.
int startDrawTrace(const std::string& path);
void stopDrawTrace();

}  // namespace qfhost
