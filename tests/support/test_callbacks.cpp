// The test executable exports every host callback; each call is recorded
// with its arguments as text (strings as they are, "(null)" for a null
// string, pointers as "%p", numbers in decimal).  File pickers and parameter
// dialogs take their result from the test host's queued answers; every other
// callback returns 0.  The pen and font setters also keep the value, so the
// pen and font queries read back what the engine set.
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "support/test_host.h"

using qf::test::HostCall;
using qf::test::TestHost;

namespace {
TestHost& host() {
    return TestHost::instance();
}

std::string argText(const char* s) {
    return s ? std::string(s) : std::string("(null)");
}
template <typename T>
std::string argText(T v) {
    if constexpr (std::is_same_v<T, char*>) {
        return argText(static_cast<const char*>(v));
    } else if constexpr (std::is_pointer_v<T>) {
        char b[32];
        std::snprintf(b, sizeof b, "%p", reinterpret_cast<const void*>(v));
        return b;
    } else {
        return std::to_string(v);
    }
}

template <typename... A>
int32_t record(bool isDialog, const char* name, A... args) {
    return host().record(HostCall{name, {argText(args)...}}, isDialog);
}

// A pen or font setter: an index inside the table keeps the value.
template <std::size_t N>
int32_t keep(const char* name, int32_t (&table)[N], int32_t index, int32_t value) {
    if (index >= 0 && index < static_cast<int32_t>(N)) table[index] = value;
    return record(false, name, index, value);
}
}  // namespace

#define QF_CALLBACK extern "C" QF_EXPORT int32_t
// A recorded callback: its name, its parameter list and its argument names.
#define QF_DIALOG(name, params, ...)                           \
    QF_CALLBACK name params {                                  \
        return record(true, #name __VA_OPT__(, ) __VA_ARGS__); \
    }
#define QF_PLAIN(name, params, ...)                             \
    QF_CALLBACK name params {                                   \
        return record(false, #name __VA_OPT__(, ) __VA_ARGS__); \
    }
#define QF_KEEP(name, table, index, value)              \
    QF_CALLBACK name(int32_t index, int32_t value) {    \
        return keep(#name, host().table, index, value); \
    }

// Messages, file pickers and parameter dialogs.
QF_PLAIN(stdEmitMsg, (int32_t kind, const char* text), kind, text)
QF_DIALOG(stdGet123Files,
          (const char* title, const char* ext1, const char* label1, const char* ext2,
           const char* label2, const char* ext3, const char* label3, int32_t mode),
          title, ext1, label1, ext2, label2, ext3, label3, mode)
QF_DIALOG(stdGet2FilesNk,
          (const char* title, const char* ext1, const char* label1, const char* labelK,
           const char* ext2, const char* label2),
          title, ext1, label1, labelK, ext2, label2)
QF_DIALOG(dspMuxOpenFile, (int32_t mode, void* fileTable, const char* ext), mode, fileTable, ext)
QF_DIALOG(getSweptSineParams, (const char* title, QfCheckParamsFn check), title, check)
QF_DIALOG(getImpuParams, (const char* title, QfCheckParamsFn check), title, check)
QF_DIALOG(getWinFunctParams, (const char* title, QfCheckParamsFn check), title, check)
QF_DIALOG(getSincFunctParams, (const char* title, QfCheckParamsFn check), title, check)
QF_DIALOG(getRampFunctParams, (const char* title, QfCheckParamsFn check), title, check)
QF_DIALOG(getExpFunctParams, (const char* title, QfCheckParamsFn check), title, check)
QF_DIALOG(getNoiseFunctParams, (const char* title, QfCheckParamsFn check), title, check)
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
           int32_t* frameWidth, int32_t* fill3d, int32_t* palette),
          paramBlock, status, tiltX, tiltY, frameWidth, fill3d, palette)
QF_DIALOG(stdImportGet, (int32_t mode, QfCheckParamsFn check), mode, check)
QF_DIALOG(stdExportGet, (int32_t mode, QfCheckParamsFn check), mode, check)

// Script dialogs: answered from the host's entry texts and prompt answers.
QF_CALLBACK scrEntryBox(const char* prompt, char* buffer) {
    return host().entryBox(prompt, buffer);
}
QF_CALLBACK qfPickScriptFile(const char* prompt, nameNpath* entry) {
    return host().pickScriptFile(prompt, entry);
}
QF_CALLBACK qfAskScriptText(const char* prompt, char* answer, int32_t size) {
    return host().askScriptText(prompt, answer, size);
}
QF_PLAIN(SleepForNSeconds, (int32_t seconds, const char* text), seconds, text)

// Windows and timers: graph windows as a window system keeps them.
QF_CALLBACK DoCreateGraphWindow(const char* title, PlotData* graph) {
    TestHost& h = host();
    const QfWindow w = reinterpret_cast<QfWindow>(static_cast<intptr_t>(h.nextWindow++));
    h.windows.push_back({w, graph, title ? title : ""});
    h.activeWindow = w;
    qfSetGraphWindow(graph, w);
    qfSetGraphRect(graph, 0, 0, h.windowHeight, h.windowWidth);
    return record(false, "DoCreateGraphWindow", title, graph);
}
QF_CALLBACK DoCloseGraphWindow(QfWindow window) {
    TestHost& h = host();
    record(false, "DoCloseGraphWindow", window);
    for (std::size_t i = 0; i < h.windows.size(); ++i) {
        if (h.windows[i].handle != window) continue;
        h.windows.erase(h.windows.begin() + static_cast<std::ptrdiff_t>(i));
        if (h.activeWindow == window)
            h.activeWindow = h.windows.empty() ? nullptr : h.windows.back().handle;
        if (h.closeSendsGrClose) plotGraphCtrl(2, window);
        break;
    }
    return 0;
}
QF_CALLBACK DoGetActiveMDIWindow(void) {
    record(false, "DoGetActiveMDIWindow");
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(host().activeWindow));
}
QF_PLAIN(DoForceRepaint, (QfWindow window), window)
QF_PLAIN(DoSetHorizontalScrollPosition, (QfWindow window, int32_t position, int32_t redraw), window,
         position, redraw)
QF_PLAIN(DoSetHorizontalScrollRange, (QfWindow window, int32_t low, int32_t high), window, low,
         high)
QF_PLAIN(stdLogWinOpen, (int32_t c), c)
QF_PLAIN(SetEditMenu, (int32_t flags), flags)
QF_PLAIN(StartTimer, (void))
QF_PLAIN(RestartTimer, (void))

// Drawing.
QF_PLAIN(DoSelectPen, (QfWindow window, int32_t pen), window, pen)
QF_KEEP(DoSetPenColor, penColour, pen, colour)
QF_PLAIN(DoSetPenColorFromRGB, (int32_t pen, int32_t r, int32_t g, int32_t b), pen, r, g, b)
QF_KEEP(DoSetPenLineType, penLineType, pen, type)
QF_PLAIN(DoSelectBrush, (QfWindow window, int32_t brush), window, brush)
QF_PLAIN(DoSetBrushColor, (int32_t brush, int32_t colour), brush, colour)
// A polyline is recorded as its window, its count and its points "x,y".
QF_CALLBACK DoPolyLine(QfWindow window, const QfPoint* points, int32_t count) {
    HostCall c{"DoPolyLine", {argText(window), std::to_string(count)}};
    for (int32_t i = 0; i < count; ++i)
        c.args.push_back(std::to_string(points[i].x) + "," + std::to_string(points[i].y));
    return host().record(c, false);
}
QF_CALLBACK DoFillRectangle(QfWindow window, const int32_t* rect, int32_t brush) {
    return record(false, "DoFillRectangle", window, rect[0], rect[1], rect[2], rect[3], brush);
}
QF_PLAIN(DoTextOut, (QfWindow window, int32_t font, const char* text, int32_t x, int32_t y), window,
         font, text, x, y)
QF_PLAIN(DoTextRotatedOut, (QfWindow window, int32_t font, const char* text, int32_t x, int32_t y),
         window, font, text, x, y)
QF_CALLBACK DoGetTextExtent(QfWindow window, int32_t font, const char* text, int32_t* width,
                            int32_t* height) {
    *width = host().textWidth * static_cast<int32_t>(std::strlen(text));
    *height = host().textHeight;
    return record(false, "DoGetTextExtent", window, font, text);
}
QF_CALLBACK DoGetTextMetrics(QfWindow window, int32_t font, int32_t* height, int32_t* width) {
    *height = host().textHeight;
    *width = host().textWidth;
    return record(false, "DoGetTextMetrics", window, font);
}
QF_KEEP(DoSetFontType, fontType, font, type)
QF_KEEP(DoSetFontStyle, fontStyle, font, style)
QF_KEEP(DoSetFontSize, fontSize, font, size)
QF_CALLBACK DoGetPenInfo(int32_t* colours, int32_t* lineTypes) {
    for (int i = 0; i < 19; ++i) {
        colours[i] = host().penColour[i];
        lineTypes[i] = host().penLineType[i];
    }
    return record(false, "DoGetPenInfo", colours, lineTypes);
}
QF_CALLBACK DoGetFontInfo(int32_t* types, int32_t* styles, int32_t* sizes) {
    for (int i = 0; i < 5; ++i) {
        types[i] = host().fontType[i];
        styles[i] = host().fontStyle[i];
        sizes[i] = host().fontSize[i];
    }
    return record(false, "DoGetFontInfo", types, styles, sizes);
}
QF_PLAIN(DoSetRasterOp, (QfWindow window, int32_t op), window, op)
QF_PLAIN(DoEnableClipping, (QfWindow window, int32_t on), window, on)
QF_PLAIN(DoSetRectangularClipRegion,
         (QfWindow window, int32_t left, int32_t top, int32_t right, int32_t bottom), window, left,
         top, right, bottom)
QF_PLAIN(DoCreatePolygonRegion, (const QfPoint* points, int32_t count), points, count)
QF_PLAIN(DoSetClipRegion, (QfWindow window, int32_t region), window, region)
QF_PLAIN(DoDeleteRegion, (int32_t region), region)
QF_PLAIN(DoCreatePixmap, (QfWindow window, int32_t width, int32_t height), window, width, height)
QF_PLAIN(DoDeletePixmap, (QfWindow window), window)
QF_PLAIN(DoSetPixelInBitmap, (QfWindow window, int32_t x, int32_t y, int32_t colour), window, x, y,
         colour)
QF_PLAIN(DoBitBltFromBitmap, (QfWindow window, int32_t x, int32_t y, int32_t width, int32_t height),
         window, x, y, width, height)
QF_PLAIN(DoCreate2DImage,
         (QfWindow window, int32_t x, int32_t y, int32_t column, int32_t width, int32_t height,
          const unsigned char* pixels),
         window, x, y, column, width, height, pixels)
QF_PLAIN(DoSend2DImageToBitmap,
         (QfWindow window, int32_t x, int32_t y, int32_t width, int32_t height), window, x, y,
         width, height)
QF_PLAIN(DoSetColorTable, (int32_t index, int32_t red, int32_t green, int32_t blue), index, red,
         green, blue)
QF_PLAIN(DoDrawMagnitudeBar,
         (QfWindow window, int32_t left, int32_t top, int32_t width, int32_t height), window, left,
         top, width, height)

// Bound, never called by the engine.
QF_PLAIN(CheckGraphicsStatus, (void))
QF_PLAIN(DoCreateRectangularRegion, (int32_t left, int32_t top, int32_t right, int32_t bottom),
         left, top, right, bottom)
QF_PLAIN(DoGetWindowCoordinates, (QfWindow window, int32_t* rect), window, rect)
QF_PLAIN(DoSetBrushColorFromRGB, (int32_t brush, int32_t r, int32_t g, int32_t b), brush, r, g, b)
QF_PLAIN(DoSetFontCharacteristics, (int32_t font, int32_t type, int32_t style, int32_t size), font,
         type, style, size)
QF_PLAIN(DoSetPixel, (QfWindow window, int32_t x, int32_t y, int32_t colour), window, x, y, colour)
QF_PLAIN(DoSetPixelArray, (QfWindow window, const QfPoint* points, int32_t count, int32_t colour),
         window, points, count, colour)

// Tiling services.
QF_CALLBACK qfGraphWindowMinimised(QfWindow window) {
    for (QfWindow m : host().minimised)
        if (m == window) return 1;
    return 0;
}
QF_CALLBACK qfGraphClientArea(int32_t* width, int32_t* height) {
    *width = host().clientWidth;
    *height = host().clientHeight;
    return 0;
}
QF_CALLBACK qfArrangeIconicGraphWindows(void) {
    return host().minimised.empty() ? 0 : 1;
}
QF_CALLBACK qfIconHeight(void) {
    return host().iconHeight;
}
QF_CALLBACK qfMoveGraphWindow(QfWindow window, int32_t x, int32_t y, int32_t width,
                              int32_t height) {
    return record(false, "qfMoveGraphWindow", window, x, y, width, height);
}
QF_CALLBACK qfInvalidateGraphClient(void) {
    return record(false, "qfInvalidateGraphClient");
}
QF_CALLBACK qfTileGraphWindows(void) {
    return record(false, "qfTileGraphWindows");
}

// Every callback above has exactly the type the engine binds it as.
#define QF_SAME_TYPE(name, params) \
    static_assert(std::is_same_v<decltype(&name), QfHost_##name>, #name);
QF_HOST_CALLBACKS(QF_SAME_TYPE)
