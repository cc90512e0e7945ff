// The fuzz programs' host: every host callback, exported under its own name
// so that the engine binds the program itself.  Nothing is shown and no one
// answers: messages are dropped (shown with QF_FUZZ_VERBOSE set), every dialog is cancelled (1) and
// the script entry box stays empty, except for the one dialog a target answers with
// answerNextDialog.  Graph windows are kept as a window system would, so that displays and graph
// scripts run their whole course; a target closes them after each input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "fuzz/harness.h"
#include "quillfen/quillfen.h"

namespace {

struct SilentHost {
    std::function<int32_t(CommandBlock&)> nextAnswer;
    std::vector<QfWindow> windows;
    intptr_t nextWindow = 0x101;
    int32_t penColour[19] = {};
    int32_t penLineType[19] = {};
    int32_t fontType[5] = {};
    int32_t fontStyle[5] = {};
    int32_t fontSize[5] = {};
};

SilentHost& silent() {
    static SilentHost h;
    return h;
}

// A dialog: the queued answer once, then cancel.
int32_t dialog() {
    SilentHost& h = silent();
    if (!h.nextAnswer) return 1;
    auto answer = std::move(h.nextAnswer);
    h.nextAnswer = nullptr;
    return answer(qf::block());
}

template <std::size_t N>
int32_t keep(int32_t (&table)[N], int32_t index, int32_t value) {
    if (index >= 0 && index < static_cast<int32_t>(N)) table[index] = value;
    return 0;
}

}  // namespace

namespace qf::fuzz {

void answerNextDialog(std::function<int32_t(CommandBlock&)> answer) {
    silent().nextAnswer = std::move(answer);
}

void viewGraphWindows(const std::vector<int32_t>& commands) {
    const std::vector<QfWindow> windows = silent().windows;
    for (const QfWindow w : windows)
        for (const int32_t c : commands) plotGraphCtrl(c, w);
}

void closeGraphWindows() {
    SilentHost& h = silent();
    // Each window is drawn once before it goes, as a window system would
    // have asked after it was made.
    viewGraphWindows({10});
    while (!h.windows.empty()) {
        const QfWindow w = h.windows.back();
        h.windows.pop_back();
        plotGraphCtrl(2, w);
    }
    h.nextAnswer = nullptr;
}

}  // namespace qf::fuzz

#define QF_CALLBACK extern "C" QF_EXPORT int32_t
#define QF_DIALOG(name, params) \
    QF_CALLBACK name params {   \
        return dialog();        \
    }
#define QF_SILENT(name, params) \
    QF_CALLBACK name params {   \
        return 0;               \
    }
#define QF_KEEP(name, table)                         \
    QF_CALLBACK name(int32_t index, int32_t value) { \
        return keep(silent().table, index, value);   \
    }

#pragma GCC diagnostic ignored "-Wunused-parameter"

// Messages, file pickers and parameter dialogs.
// With QF_FUZZ_VERBOSE set, messages go to the standard error stream.
QF_CALLBACK stdEmitMsg(int32_t kind, const char* text) {
    static const bool verbose = std::getenv("QF_FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "[%d] %s\n", kind, text ? text : "(null)");
    return 0;
}
QF_DIALOG(stdGet123Files,
          (const char* title, const char* ext1, const char* label1, const char* ext2,
           const char* label2, const char* ext3, const char* label3, int32_t mode))
QF_DIALOG(stdGet2FilesNk, (const char* title, const char* ext1, const char* label1,
                           const char* labelK, const char* ext2, const char* label2))
QF_DIALOG(dspMuxOpenFile, (int32_t mode, void* fileTable, const char* ext))
QF_DIALOG(getSweptSineParams, (const char* title, QfCheckParamsFn check))
QF_DIALOG(getImpuParams, (const char* title, QfCheckParamsFn check))
QF_DIALOG(getWinFunctParams, (const char* title, QfCheckParamsFn check))
QF_DIALOG(getSincFunctParams, (const char* title, QfCheckParamsFn check))
QF_DIALOG(getRampFunctParams, (const char* title, QfCheckParamsFn check))
QF_DIALOG(getExpFunctParams, (const char* title, QfCheckParamsFn check))
QF_DIALOG(getNoiseFunctParams, (const char* title, QfCheckParamsFn check))
QF_DIALOG(dspExtractGetPara, (void))
QF_DIALOG(dspLinearRngMapGetPara, (void))
QF_DIALOG(autoCorrelationGetPara, (void))
QF_DIALOG(dspCorrConvoGetPara, (void))
QF_DIALOG(dspFFTGetPara, (void))
QF_DIALOG(dspDCTGetPara, (void))
QF_DIALOG(dspLPCGetPara, (void))
QF_DIALOG(dspLPCFFTGetPara, (void))
QF_DIALOG(getLMSParameters, (void))
QF_DIALOG(GetControlCenterParameters,
          (void* paramBlock, StatusRecord* status, int32_t* tiltX, int32_t* tiltY,
           int32_t* frameWidth, int32_t* fill3d, int32_t* palette))
QF_DIALOG(stdImportGet, (int32_t mode, QfCheckParamsFn check))
QF_DIALOG(stdExportGet, (int32_t mode, QfCheckParamsFn check))

// Script dialogs: nothing entered.
QF_CALLBACK scrEntryBox(const char* prompt, char* buffer) {
    return 1;
}
QF_SILENT(SleepForNSeconds, (int32_t seconds, const char* text))

// Windows: made and closed as a window system would.
QF_CALLBACK DoCreateGraphWindow(const char* title, PlotData* graph) {
    SilentHost& h = silent();
    const QfWindow w = reinterpret_cast<QfWindow>(h.nextWindow++);
    h.windows.push_back(w);
    qfSetGraphWindow(graph, w);
    qfSetGraphRect(graph, 0, 0, 480, 640);
    return 0;
}
QF_CALLBACK DoCloseGraphWindow(QfWindow window) {
    SilentHost& h = silent();
    for (std::size_t i = 0; i < h.windows.size(); ++i) {
        if (h.windows[i] != window) continue;
        h.windows.erase(h.windows.begin() + static_cast<std::ptrdiff_t>(i));
        plotGraphCtrl(2, window);
        break;
    }
    return 0;
}
QF_CALLBACK DoGetActiveMDIWindow(void) {
    SilentHost& h = silent();
    return h.windows.empty() ? 0
                             : static_cast<int32_t>(reinterpret_cast<intptr_t>(h.windows.back()));
}
QF_SILENT(DoForceRepaint, (QfWindow window))
QF_SILENT(DoSetHorizontalScrollPosition, (QfWindow window, int32_t position, int32_t redraw))
QF_SILENT(DoSetHorizontalScrollRange, (QfWindow window, int32_t low, int32_t high))
QF_SILENT(stdLogWinOpen, (int32_t c))
QF_SILENT(SetEditMenu, (int32_t flags))
QF_SILENT(StartTimer, (void))
QF_SILENT(RestartTimer, (void))

// Drawing: nothing drawn; text is 8 by 16 pixels a character.
QF_SILENT(DoSelectPen, (QfWindow window, int32_t pen))
QF_KEEP(DoSetPenColor, penColour)
QF_SILENT(DoSetPenColorFromRGB, (int32_t pen, int32_t r, int32_t g, int32_t b))
QF_KEEP(DoSetPenLineType, penLineType)
QF_SILENT(DoSelectBrush, (QfWindow window, int32_t brush))
QF_SILENT(DoSetBrushColor, (int32_t brush, int32_t colour))
QF_SILENT(DoPolyLine, (QfWindow window, const QfPoint* points, int32_t count))
QF_SILENT(DoFillRectangle, (QfWindow window, const int32_t* rect, int32_t brush))
QF_SILENT(DoTextOut, (QfWindow window, int32_t font, const char* text, int32_t x, int32_t y))
QF_SILENT(DoTextRotatedOut, (QfWindow window, int32_t font, const char* text, int32_t x, int32_t y))
QF_CALLBACK DoGetTextExtent(QfWindow window, int32_t font, const char* text, int32_t* width,
                            int32_t* height) {
    *width = 8 * static_cast<int32_t>(text ? std::strlen(text) : 0);
    *height = 16;
    return 0;
}
QF_CALLBACK DoGetTextMetrics(QfWindow window, int32_t font, int32_t* height, int32_t* width) {
    *height = 16;
    *width = 8;
    return 0;
}
QF_KEEP(DoSetFontType, fontType)
QF_KEEP(DoSetFontStyle, fontStyle)
QF_KEEP(DoSetFontSize, fontSize)
QF_CALLBACK DoGetPenInfo(int32_t* colours, int32_t* lineTypes) {
    std::memcpy(colours, silent().penColour, sizeof silent().penColour);
    std::memcpy(lineTypes, silent().penLineType, sizeof silent().penLineType);
    return 0;
}
QF_CALLBACK DoGetFontInfo(int32_t* types, int32_t* styles, int32_t* sizes) {
    std::memcpy(types, silent().fontType, sizeof silent().fontType);
    std::memcpy(styles, silent().fontStyle, sizeof silent().fontStyle);
    std::memcpy(sizes, silent().fontSize, sizeof silent().fontSize);
    return 0;
}
QF_SILENT(DoSetRasterOp, (QfWindow window, int32_t op))
QF_SILENT(DoEnableClipping, (QfWindow window, int32_t on))
QF_SILENT(DoSetRectangularClipRegion,
          (QfWindow window, int32_t left, int32_t top, int32_t right, int32_t bottom))
QF_SILENT(DoCreatePolygonRegion, (const QfPoint* points, int32_t count))
QF_SILENT(DoSetClipRegion, (QfWindow window, int32_t region))
QF_SILENT(DoDeleteRegion, (int32_t region))
QF_SILENT(DoCreatePixmap, (QfWindow window, int32_t width, int32_t height))
QF_SILENT(DoDeletePixmap, (QfWindow window))
QF_SILENT(DoSetPixelInBitmap, (QfWindow window, int32_t x, int32_t y, int32_t colour))
QF_SILENT(DoBitBltFromBitmap,
          (QfWindow window, int32_t x, int32_t y, int32_t width, int32_t height))
QF_SILENT(DoCreate2DImage, (QfWindow window, int32_t x, int32_t y, int32_t column, int32_t width,
                            int32_t height, const unsigned char* pixels))
QF_SILENT(DoSend2DImageToBitmap,
          (QfWindow window, int32_t x, int32_t y, int32_t width, int32_t height))
QF_SILENT(DoSetColorTable, (int32_t index, int32_t red, int32_t green, int32_t blue))
QF_SILENT(DoDrawMagnitudeBar,
          (QfWindow window, int32_t left, int32_t top, int32_t width, int32_t height))

// Bound, never called by the engine.
QF_SILENT(CheckGraphicsStatus, (void))
QF_SILENT(DoCreateRectangularRegion, (int32_t left, int32_t top, int32_t right, int32_t bottom))
QF_SILENT(DoGetWindowCoordinates, (QfWindow window, int32_t* rect))
QF_SILENT(DoSetBrushColorFromRGB, (int32_t brush, int32_t r, int32_t g, int32_t b))
QF_SILENT(DoSetFontCharacteristics, (int32_t font, int32_t type, int32_t style, int32_t size))
QF_SILENT(DoSetPixel, (QfWindow window, int32_t x, int32_t y, int32_t colour))
QF_SILENT(DoSetPixelArray, (QfWindow window, const QfPoint* points, int32_t count, int32_t colour))

// Every callback above has exactly the type the engine binds it as.
#define QF_SAME_TYPE(name, params) \
    static_assert(std::is_same_v<decltype(&name), QfHost_##name>, #name);
QF_HOST_CALLBACKS(QF_SAME_TYPE)
