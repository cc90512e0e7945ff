// The test executable exports every host callback; each call is recorded.
// Generated from the callback list of quillfen.h.
#include <cstdio>
#include <string>
#include <type_traits>

#include "support/test_host.h"

using qf::test::HostCall;
using qf::test::TestHost;

namespace {
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
}  // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t stdEmitMsg(int32_t kind, const char* text) {
    return TestHost::instance().record(HostCall{"stdEmitMsg", {argText(kind), argText(text)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t stdGet123Files(const char* title, const char* ext1,
                                                              const char* label1, const char* ext2,
                                                              const char* label2, const char* ext3,
                                                              const char* label3, int32_t mode) {
    return TestHost::instance().record(
        HostCall{"stdGet123Files",
                 {argText(title), argText(ext1), argText(label1), argText(ext2), argText(label2),
                  argText(ext3), argText(label3), argText(mode)}},
        true);
}

__attribute__((visibility("default"))) int32_t stdGet2FilesNk(const char* title, const char* ext1,
                                                              const char* label1,
                                                              const char* labelK, const char* ext2,
                                                              const char* label2) {
    return TestHost::instance().record(HostCall{"stdGet2FilesNk",
                                                {argText(title), argText(ext1), argText(label1),
                                                 argText(labelK), argText(ext2), argText(label2)}},
                                       true);
}

__attribute__((visibility("default"))) int32_t dspMuxOpenFile(int32_t mode, void* fileTable,
                                                              const char* ext) {
    return TestHost::instance().record(
        HostCall{"dspMuxOpenFile", {argText(mode), argText(fileTable), argText(ext)}}, true);
}

__attribute__((visibility("default"))) int32_t getSweptSineParams(const char* title,
                                                                  QfCheckParamsFn check) {
    return TestHost::instance().record(
        HostCall{"getSweptSineParams", {argText(title), argText(check)}}, true);
}

__attribute__((visibility("default"))) int32_t getImpuParams(const char* title,
                                                             QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"getImpuParams", {argText(title), argText(check)}},
                                       true);
}

__attribute__((visibility("default"))) int32_t getWinFunctParams(const char* title,
                                                                 QfCheckParamsFn check) {
    return TestHost::instance().record(
        HostCall{"getWinFunctParams", {argText(title), argText(check)}}, true);
}

__attribute__((visibility("default"))) int32_t getSincFunctParams(const char* title,
                                                                  QfCheckParamsFn check) {
    return TestHost::instance().record(
        HostCall{"getSincFunctParams", {argText(title), argText(check)}}, true);
}

__attribute__((visibility("default"))) int32_t getRampFunctParams(const char* title,
                                                                  QfCheckParamsFn check) {
    return TestHost::instance().record(
        HostCall{"getRampFunctParams", {argText(title), argText(check)}}, true);
}

__attribute__((visibility("default"))) int32_t getExpFunctParams(const char* title,
                                                                 QfCheckParamsFn check) {
    return TestHost::instance().record(
        HostCall{"getExpFunctParams", {argText(title), argText(check)}}, true);
}

__attribute__((visibility("default"))) int32_t getNoiseFunctParams(const char* title,
                                                                   QfCheckParamsFn check) {
    return TestHost::instance().record(
        HostCall{"getNoiseFunctParams", {argText(title), argText(check)}}, true);
}

__attribute__((visibility("default"))) int32_t dspExtractGetPara(void) {
    return TestHost::instance().record(HostCall{"dspExtractGetPara", {}}, true);
}

__attribute__((visibility("default"))) int32_t dspLinearRngMapGetPara(void) {
    return TestHost::instance().record(HostCall{"dspLinearRngMapGetPara", {}}, true);
}

__attribute__((visibility("default"))) int32_t autoCorrelationGetPara(void) {
    return TestHost::instance().record(HostCall{"autoCorrelationGetPara", {}}, true);
}

__attribute__((visibility("default"))) int32_t dspCorrConvoGetPara(void) {
    return TestHost::instance().record(HostCall{"dspCorrConvoGetPara", {}}, true);
}

__attribute__((visibility("default"))) int32_t dspFFTGetPara(void) {
    return TestHost::instance().record(HostCall{"dspFFTGetPara", {}}, true);
}

__attribute__((visibility("default"))) int32_t dspDCTGetPara(void) {
    return TestHost::instance().record(HostCall{"dspDCTGetPara", {}}, true);
}

__attribute__((visibility("default"))) int32_t dspLPCGetPara(void) {
    return TestHost::instance().record(HostCall{"dspLPCGetPara", {}}, true);
}

__attribute__((visibility("default"))) int32_t dspLPCFFTGetPara(void) {
    return TestHost::instance().record(HostCall{"dspLPCFFTGetPara", {}}, true);
}

__attribute__((visibility("default"))) int32_t getLMSParameters(void) {
    return TestHost::instance().record(HostCall{"getLMSParameters", {}}, true);
}

__attribute__((visibility("default"))) int32_t GetControlCenterParameters(
    void* paramBlock, StatusRecord* status, int32_t* tiltX, int32_t* tiltY, int32_t* frameWidth,
    int32_t* fill3d, int32_t* palette) {
    return TestHost::instance().record(
        HostCall{"GetControlCenterParameters",
                 {argText(paramBlock), argText(status), argText(tiltX), argText(tiltY),
                  argText(frameWidth), argText(fill3d), argText(palette)}},
        true);
}

__attribute__((visibility("default"))) int32_t stdImportGet(int32_t mode, QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"stdImportGet", {argText(mode), argText(check)}},
                                       true);
}

__attribute__((visibility("default"))) int32_t stdExportGet(int32_t mode, QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"stdExportGet", {argText(mode), argText(check)}},
                                       true);
}

__attribute__((visibility("default"))) int32_t scrEntryBox(const char* prompt, char* buffer) {
    return TestHost::instance().entryBox(prompt, buffer);
}

__attribute__((visibility("default"))) int32_t qfPickScriptFile(const char* prompt,
                                                                nameNpath* entry) {
    return TestHost::instance().pickScriptFile(prompt, entry);
}

__attribute__((visibility("default"))) int32_t qfAskScriptText(const char* prompt, char* answer,
                                                               int32_t size) {
    return TestHost::instance().askScriptText(prompt, answer, size);
}

__attribute__((visibility("default"))) int32_t SleepForNSeconds(int32_t seconds, const char* text) {
    return TestHost::instance().record(
        HostCall{"SleepForNSeconds", {argText(seconds), argText(text)}}, false);
}

__attribute__((visibility("default"))) int32_t DoCreateGraphWindow(const char* title,
                                                                   PlotData* graph) {
    return TestHost::instance().record(
        HostCall{"DoCreateGraphWindow", {argText(title), argText(graph)}}, false);
}

__attribute__((visibility("default"))) int32_t DoCloseGraphWindow(QfWindow window) {
    return TestHost::instance().record(HostCall{"DoCloseGraphWindow", {argText(window)}}, false);
}

__attribute__((visibility("default"))) int32_t DoGetActiveMDIWindow(void) {
    return TestHost::instance().record(HostCall{"DoGetActiveMDIWindow", {}}, false);
}

__attribute__((visibility("default"))) int32_t DoForceRepaint(QfWindow window) {
    return TestHost::instance().record(HostCall{"DoForceRepaint", {argText(window)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetHorizontalScrollPosition(QfWindow window,
                                                                             int32_t position,
                                                                             int32_t redraw) {
    return TestHost::instance().record(
        HostCall{"DoSetHorizontalScrollPosition",
                 {argText(window), argText(position), argText(redraw)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoSetHorizontalScrollRange(QfWindow window,
                                                                          int32_t low,
                                                                          int32_t high) {
    return TestHost::instance().record(
        HostCall{"DoSetHorizontalScrollRange", {argText(window), argText(low), argText(high)}},
        false);
}

__attribute__((visibility("default"))) int32_t stdLogWinOpen(int32_t c) {
    return TestHost::instance().record(HostCall{"stdLogWinOpen", {argText(c)}}, false);
}

__attribute__((visibility("default"))) int32_t SetEditMenu(int32_t flags) {
    return TestHost::instance().record(HostCall{"SetEditMenu", {argText(flags)}}, false);
}

__attribute__((visibility("default"))) int32_t StartTimer(void) {
    return TestHost::instance().record(HostCall{"StartTimer", {}}, false);
}

__attribute__((visibility("default"))) int32_t RestartTimer(void) {
    return TestHost::instance().record(HostCall{"RestartTimer", {}}, false);
}

__attribute__((visibility("default"))) int32_t DoSelectPen(QfWindow window, int32_t pen) {
    return TestHost::instance().record(HostCall{"DoSelectPen", {argText(window), argText(pen)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSetPenColor(int32_t pen, int32_t colour) {
    if (pen >= 0 && pen < 19) TestHost::instance().penColour[pen] = colour;
    return TestHost::instance().record(HostCall{"DoSetPenColor", {argText(pen), argText(colour)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSetPenColorFromRGB(int32_t pen, int32_t r,
                                                                    int32_t g, int32_t b) {
    return TestHost::instance().record(
        HostCall{"DoSetPenColorFromRGB", {argText(pen), argText(r), argText(g), argText(b)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoSetPenLineType(int32_t pen, int32_t type) {
    if (pen >= 0 && pen < 19) TestHost::instance().penLineType[pen] = type;
    return TestHost::instance().record(HostCall{"DoSetPenLineType", {argText(pen), argText(type)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSelectBrush(QfWindow window, int32_t brush) {
    return TestHost::instance().record(HostCall{"DoSelectBrush", {argText(window), argText(brush)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSetBrushColor(int32_t brush, int32_t colour) {
    return TestHost::instance().record(
        HostCall{"DoSetBrushColor", {argText(brush), argText(colour)}}, false);
}

__attribute__((visibility("default"))) int32_t DoPolyLine(QfWindow window, const QfPoint* points,
                                                          int32_t count) {
    return TestHost::instance().record(
        HostCall{"DoPolyLine", {argText(window), argText(points), argText(count)}}, false);
}

__attribute__((visibility("default"))) int32_t DoFillRectangle(QfWindow window, const int32_t* rect,
                                                               int32_t brush) {
    return TestHost::instance().record(
        HostCall{"DoFillRectangle", {argText(window), argText(rect), argText(brush)}}, false);
}

__attribute__((visibility("default"))) int32_t DoTextOut(QfWindow window, int32_t font,
                                                         const char* text, int32_t x, int32_t y) {
    return TestHost::instance().record(
        HostCall{"DoTextOut",
                 {argText(window), argText(font), argText(text), argText(x), argText(y)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoTextRotatedOut(QfWindow window, int32_t font,
                                                                const char* text, int32_t x,
                                                                int32_t y) {
    return TestHost::instance().record(
        HostCall{"DoTextRotatedOut",
                 {argText(window), argText(font), argText(text), argText(x), argText(y)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoGetTextExtent(QfWindow window, int32_t font,
                                                               const char* text, int32_t* width,
                                                               int32_t* height) {
    return TestHost::instance().record(
        HostCall{"DoGetTextExtent",
                 {argText(window), argText(font), argText(text), argText(width), argText(height)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoGetTextMetrics(QfWindow window, int32_t font,
                                                                int32_t* height, int32_t* width) {
    return TestHost::instance().record(
        HostCall{"DoGetTextMetrics",
                 {argText(window), argText(font), argText(height), argText(width)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoSetFontType(int32_t font, int32_t type) {
    if (font >= 0 && font < 5) TestHost::instance().fontType[font] = type;
    return TestHost::instance().record(HostCall{"DoSetFontType", {argText(font), argText(type)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSetFontStyle(int32_t font, int32_t style) {
    if (font >= 0 && font < 5) TestHost::instance().fontStyle[font] = style;
    return TestHost::instance().record(HostCall{"DoSetFontStyle", {argText(font), argText(style)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSetFontSize(int32_t font, int32_t size) {
    if (font >= 0 && font < 5) TestHost::instance().fontSize[font] = size;
    return TestHost::instance().record(HostCall{"DoSetFontSize", {argText(font), argText(size)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoGetPenInfo(int32_t* colours, int32_t* lineTypes) {
    for (int i = 0; i < 19; ++i) {
        colours[i] = TestHost::instance().penColour[i];
        lineTypes[i] = TestHost::instance().penLineType[i];
    }
    return TestHost::instance().record(
        HostCall{"DoGetPenInfo", {argText(colours), argText(lineTypes)}}, false);
}

__attribute__((visibility("default"))) int32_t DoGetFontInfo(int32_t* types, int32_t* styles,
                                                             int32_t* sizes) {
    for (int i = 0; i < 5; ++i) {
        types[i] = TestHost::instance().fontType[i];
        styles[i] = TestHost::instance().fontStyle[i];
        sizes[i] = TestHost::instance().fontSize[i];
    }
    return TestHost::instance().record(
        HostCall{"DoGetFontInfo", {argText(types), argText(styles), argText(sizes)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetRasterOp(QfWindow window, int32_t op) {
    return TestHost::instance().record(HostCall{"DoSetRasterOp", {argText(window), argText(op)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoEnableClipping(QfWindow window, int32_t on) {
    return TestHost::instance().record(HostCall{"DoEnableClipping", {argText(window), argText(on)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSetRectangularClipRegion(QfWindow window,
                                                                          int32_t left, int32_t top,
                                                                          int32_t right,
                                                                          int32_t bottom) {
    return TestHost::instance().record(
        HostCall{"DoSetRectangularClipRegion",
                 {argText(window), argText(left), argText(top), argText(right), argText(bottom)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoCreatePolygonRegion(const QfPoint* points,
                                                                     int32_t count) {
    return TestHost::instance().record(
        HostCall{"DoCreatePolygonRegion", {argText(points), argText(count)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetClipRegion(QfWindow window, int32_t region) {
    return TestHost::instance().record(
        HostCall{"DoSetClipRegion", {argText(window), argText(region)}}, false);
}

__attribute__((visibility("default"))) int32_t DoDeleteRegion(int32_t region) {
    return TestHost::instance().record(HostCall{"DoDeleteRegion", {argText(region)}}, false);
}

__attribute__((visibility("default"))) int32_t DoCreatePixmap(QfWindow window, int32_t width,
                                                              int32_t height) {
    return TestHost::instance().record(
        HostCall{"DoCreatePixmap", {argText(window), argText(width), argText(height)}}, false);
}

__attribute__((visibility("default"))) int32_t DoDeletePixmap(QfWindow window) {
    return TestHost::instance().record(HostCall{"DoDeletePixmap", {argText(window)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetPixelInBitmap(QfWindow window, int32_t x,
                                                                  int32_t y, int32_t colour) {
    return TestHost::instance().record(
        HostCall{"DoSetPixelInBitmap", {argText(window), argText(x), argText(y), argText(colour)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoBitBltFromBitmap(QfWindow window, int32_t x,
                                                                  int32_t y, int32_t width,
                                                                  int32_t height) {
    return TestHost::instance().record(
        HostCall{"DoBitBltFromBitmap",
                 {argText(window), argText(x), argText(y), argText(width), argText(height)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoCreate2DImage(QfWindow window, int32_t x,
                                                               int32_t y, int32_t column,
                                                               int32_t width, int32_t height,
                                                               const unsigned char* pixels) {
    return TestHost::instance().record(
        HostCall{"DoCreate2DImage",
                 {argText(window), argText(x), argText(y), argText(column), argText(width),
                  argText(height), argText(pixels)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoSend2DImageToBitmap(QfWindow window, int32_t x,
                                                                     int32_t y, int32_t width,
                                                                     int32_t height) {
    return TestHost::instance().record(
        HostCall{"DoSend2DImageToBitmap",
                 {argText(window), argText(x), argText(y), argText(width), argText(height)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoSetColorTable(int32_t index, int32_t red,
                                                               int32_t green, int32_t blue) {
    return TestHost::instance().record(
        HostCall{"DoSetColorTable", {argText(index), argText(red), argText(green), argText(blue)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoDrawMagnitudeBar(QfWindow window, int32_t left,
                                                                  int32_t top, int32_t width,
                                                                  int32_t height) {
    return TestHost::instance().record(
        HostCall{"DoDrawMagnitudeBar",
                 {argText(window), argText(left), argText(top), argText(width), argText(height)}},
        false);
}

__attribute__((visibility("default"))) int32_t CheckGraphicsStatus(void) {
    return TestHost::instance().record(HostCall{"CheckGraphicsStatus", {}}, false);
}

__attribute__((visibility("default"))) int32_t DoCreateRectangularRegion(int32_t left, int32_t top,
                                                                         int32_t right,
                                                                         int32_t bottom) {
    return TestHost::instance().record(
        HostCall{"DoCreateRectangularRegion",
                 {argText(left), argText(top), argText(right), argText(bottom)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoGetWindowCoordinates(QfWindow window,
                                                                      int32_t* rect) {
    return TestHost::instance().record(
        HostCall{"DoGetWindowCoordinates", {argText(window), argText(rect)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetBrushColorFromRGB(int32_t brush, int32_t r,
                                                                      int32_t g, int32_t b) {
    return TestHost::instance().record(
        HostCall{"DoSetBrushColorFromRGB", {argText(brush), argText(r), argText(g), argText(b)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoSetFontCharacteristics(int32_t font, int32_t type,
                                                                        int32_t style,
                                                                        int32_t size) {
    return TestHost::instance().record(
        HostCall{"DoSetFontCharacteristics",
                 {argText(font), argText(type), argText(style), argText(size)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoSetPixel(QfWindow window, int32_t x, int32_t y,
                                                          int32_t colour) {
    return TestHost::instance().record(
        HostCall{"DoSetPixel", {argText(window), argText(x), argText(y), argText(colour)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetPixelArray(QfWindow window,
                                                               const QfPoint* points, int32_t count,
                                                               int32_t colour) {
    return TestHost::instance().record(
        HostCall{"DoSetPixelArray",
                 {argText(window), argText(points), argText(count), argText(colour)}},
        false);
}

// Optional: the key state the engine polls (Esc, Ctrl).
}  // extern "C"
