// The test executable exports every host callback; each call is recorded.
// Generated from the callback list of quillfen.h.
#include <cstdio>
#include <string>
#include <type_traits>

#include "support/test_host.h"

using qf::test::HostCall;
using qf::test::TestHost;

namespace {
std::string text(const char* s) {
    return s ? std::string(s) : std::string("(null)");
}
std::string text(char* s) {
    return text(static_cast<const char*>(s));
}
template <typename T>
std::string text(T v) {
    if constexpr (std::is_pointer_v<T>) {
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
    return TestHost::instance().record(HostCall{"stdEmitMsg", {text(kind), text(text)}}, false);
}

__attribute__((visibility("default"))) int32_t stdGet123Files(const char* title, const char* ext1,
                                                              const char* label1, const char* ext2,
                                                              const char* label2, const char* ext3,
                                                              const char* label3, int32_t mode) {
    return TestHost::instance().record(
        HostCall{"stdGet123Files",
                 {text(title), text(ext1), text(label1), text(ext2), text(label2), text(ext3),
                  text(label3), text(mode)}},
        true);
}

__attribute__((visibility("default"))) int32_t stdGet2FilesNk(const char* title, const char* ext1,
                                                              const char* label1,
                                                              const char* labelK, const char* ext2,
                                                              const char* label2) {
    return TestHost::instance().record(
        HostCall{"stdGet2FilesNk",
                 {text(title), text(ext1), text(label1), text(labelK), text(ext2), text(label2)}},
        true);
}

__attribute__((visibility("default"))) int32_t dspMuxOpenFile(int32_t mode, void* fileTable,
                                                              const char* ext) {
    return TestHost::instance().record(
        HostCall{"dspMuxOpenFile", {text(mode), text(fileTable), text(ext)}}, true);
}

__attribute__((visibility("default"))) int32_t getSweptSineParams(const char* title,
                                                                  QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"getSweptSineParams", {text(title), text(check)}},
                                       true);
}

__attribute__((visibility("default"))) int32_t getImpuParams(const char* title,
                                                             QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"getImpuParams", {text(title), text(check)}}, true);
}

__attribute__((visibility("default"))) int32_t getWinFunctParams(const char* title,
                                                                 QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"getWinFunctParams", {text(title), text(check)}},
                                       true);
}

__attribute__((visibility("default"))) int32_t getSincFunctParams(const char* title,
                                                                  QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"getSincFunctParams", {text(title), text(check)}},
                                       true);
}

__attribute__((visibility("default"))) int32_t getRampFunctParams(const char* title,
                                                                  QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"getRampFunctParams", {text(title), text(check)}},
                                       true);
}

__attribute__((visibility("default"))) int32_t getExpFunctParams(const char* title,
                                                                 QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"getExpFunctParams", {text(title), text(check)}},
                                       true);
}

__attribute__((visibility("default"))) int32_t getNoiseFunctParams(const char* title,
                                                                   QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"getNoiseFunctParams", {text(title), text(check)}},
                                       true);
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
                 {text(paramBlock), text(status), text(tiltX), text(tiltY), text(frameWidth),
                  text(fill3d), text(palette)}},
        true);
}

__attribute__((visibility("default"))) int32_t stdImportGet(int32_t mode, QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"stdImportGet", {text(mode), text(check)}}, true);
}

__attribute__((visibility("default"))) int32_t stdExportGet(int32_t mode, QfCheckParamsFn check) {
    return TestHost::instance().record(HostCall{"stdExportGet", {text(mode), text(check)}}, true);
}

__attribute__((visibility("default"))) int32_t scrEntryBox(const char* prompt, char* buffer) {
    return TestHost::instance().entryBox(prompt, buffer);
}

__attribute__((visibility("default"))) int32_t SleepForNSeconds(int32_t seconds, const char* text) {
    return TestHost::instance().record(HostCall{"SleepForNSeconds", {text(seconds), text(text)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoCreateGraphWindow(const char* title,
                                                                   PlotData* graph) {
    return TestHost::instance().record(HostCall{"DoCreateGraphWindow", {text(title), text(graph)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoCloseGraphWindow(QfWindow window) {
    return TestHost::instance().record(HostCall{"DoCloseGraphWindow", {text(window)}}, false);
}

__attribute__((visibility("default"))) int32_t DoGetActiveMDIWindow(void) {
    return TestHost::instance().record(HostCall{"DoGetActiveMDIWindow", {}}, false);
}

__attribute__((visibility("default"))) int32_t DoForceRepaint(QfWindow window) {
    return TestHost::instance().record(HostCall{"DoForceRepaint", {text(window)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetHorizontalScrollPosition(QfWindow window,
                                                                             int32_t position,
                                                                             int32_t redraw) {
    return TestHost::instance().record(
        HostCall{"DoSetHorizontalScrollPosition", {text(window), text(position), text(redraw)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoSetHorizontalScrollRange(QfWindow window,
                                                                          int32_t low,
                                                                          int32_t high) {
    return TestHost::instance().record(
        HostCall{"DoSetHorizontalScrollRange", {text(window), text(low), text(high)}}, false);
}

__attribute__((visibility("default"))) int32_t stdLogWinOpen(int32_t c) {
    return TestHost::instance().record(HostCall{"stdLogWinOpen", {text(c)}}, false);
}

__attribute__((visibility("default"))) int32_t SetEditMenu(int32_t flags) {
    return TestHost::instance().record(HostCall{"SetEditMenu", {text(flags)}}, false);
}

__attribute__((visibility("default"))) int32_t StartTimer(void) {
    return TestHost::instance().record(HostCall{"StartTimer", {}}, false);
}

__attribute__((visibility("default"))) int32_t RestartTimer(void) {
    return TestHost::instance().record(HostCall{"RestartTimer", {}}, false);
}

__attribute__((visibility("default"))) int32_t DoSelectPen(QfWindow window, int32_t pen) {
    return TestHost::instance().record(HostCall{"DoSelectPen", {text(window), text(pen)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetPenColor(int32_t pen, int32_t colour) {
    if (pen >= 0 && pen < 19) TestHost::instance().penColour[pen] = colour;
    return TestHost::instance().record(HostCall{"DoSetPenColor", {text(pen), text(colour)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetPenColorFromRGB(int32_t pen, int32_t r,
                                                                    int32_t g, int32_t b) {
    return TestHost::instance().record(
        HostCall{"DoSetPenColorFromRGB", {text(pen), text(r), text(g), text(b)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetPenLineType(int32_t pen, int32_t type) {
    if (pen >= 0 && pen < 19) TestHost::instance().penLineType[pen] = type;
    return TestHost::instance().record(HostCall{"DoSetPenLineType", {text(pen), text(type)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSelectBrush(QfWindow window, int32_t brush) {
    return TestHost::instance().record(HostCall{"DoSelectBrush", {text(window), text(brush)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSetBrushColor(int32_t brush, int32_t colour) {
    return TestHost::instance().record(HostCall{"DoSetBrushColor", {text(brush), text(colour)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoPolyLine(QfWindow window, const QfPoint* points,
                                                          int32_t count) {
    return TestHost::instance().record(
        HostCall{"DoPolyLine", {text(window), text(points), text(count)}}, false);
}

__attribute__((visibility("default"))) int32_t DoFillRectangle(QfWindow window, const int32_t* rect,
                                                               int32_t brush) {
    return TestHost::instance().record(
        HostCall{"DoFillRectangle", {text(window), text(rect), text(brush)}}, false);
}

__attribute__((visibility("default"))) int32_t DoTextOut(QfWindow window, int32_t font,
                                                         const char* text, int32_t x, int32_t y) {
    return TestHost::instance().record(
        HostCall{"DoTextOut", {text(window), text(font), text(text), text(x), text(y)}}, false);
}

__attribute__((visibility("default"))) int32_t DoTextRotatedOut(QfWindow window, int32_t font,
                                                                const char* text, int32_t x,
                                                                int32_t y) {
    return TestHost::instance().record(
        HostCall{"DoTextRotatedOut", {text(window), text(font), text(text), text(x), text(y)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoGetTextExtent(QfWindow window, int32_t font,
                                                               const char* text, int32_t* width,
                                                               int32_t* height) {
    return TestHost::instance().record(
        HostCall{"DoGetTextExtent",
                 {text(window), text(font), text(text), text(width), text(height)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoGetTextMetrics(QfWindow window, int32_t font,
                                                                int32_t* height, int32_t* width) {
    return TestHost::instance().record(
        HostCall{"DoGetTextMetrics", {text(window), text(font), text(height), text(width)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetFontType(int32_t font, int32_t type) {
    if (font >= 0 && font < 5) TestHost::instance().fontType[font] = type;
    return TestHost::instance().record(HostCall{"DoSetFontType", {text(font), text(type)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetFontStyle(int32_t font, int32_t style) {
    if (font >= 0 && font < 5) TestHost::instance().fontStyle[font] = style;
    return TestHost::instance().record(HostCall{"DoSetFontStyle", {text(font), text(style)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSetFontSize(int32_t font, int32_t size) {
    if (font >= 0 && font < 5) TestHost::instance().fontSize[font] = size;
    return TestHost::instance().record(HostCall{"DoSetFontSize", {text(font), text(size)}}, false);
}

__attribute__((visibility("default"))) int32_t DoGetPenInfo(int32_t* colours, int32_t* lineTypes) {
    for (int i = 0; i < 19; ++i) {
        colours[i] = TestHost::instance().penColour[i];
        lineTypes[i] = TestHost::instance().penLineType[i];
    }
    return TestHost::instance().record(HostCall{"DoGetPenInfo", {text(colours), text(lineTypes)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoGetFontInfo(int32_t* types, int32_t* styles,
                                                             int32_t* sizes) {
    for (int i = 0; i < 5; ++i) {
        types[i] = TestHost::instance().fontType[i];
        styles[i] = TestHost::instance().fontStyle[i];
        sizes[i] = TestHost::instance().fontSize[i];
    }
    return TestHost::instance().record(
        HostCall{"DoGetFontInfo", {text(types), text(styles), text(sizes)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetRasterOp(QfWindow window, int32_t op) {
    return TestHost::instance().record(HostCall{"DoSetRasterOp", {text(window), text(op)}}, false);
}

__attribute__((visibility("default"))) int32_t DoEnableClipping(QfWindow window, int32_t on) {
    return TestHost::instance().record(HostCall{"DoEnableClipping", {text(window), text(on)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSetRectangularClipRegion(QfWindow window,
                                                                          int32_t left, int32_t top,
                                                                          int32_t right,
                                                                          int32_t bottom) {
    return TestHost::instance().record(
        HostCall{"DoSetRectangularClipRegion",
                 {text(window), text(left), text(top), text(right), text(bottom)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoCreatePolygonRegion(const QfPoint* points,
                                                                     int32_t count) {
    return TestHost::instance().record(
        HostCall{"DoCreatePolygonRegion", {text(points), text(count)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetClipRegion(QfWindow window, int32_t region) {
    return TestHost::instance().record(HostCall{"DoSetClipRegion", {text(window), text(region)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoDeleteRegion(int32_t region) {
    return TestHost::instance().record(HostCall{"DoDeleteRegion", {text(region)}}, false);
}

__attribute__((visibility("default"))) int32_t DoCreatePixmap(QfWindow window, int32_t width,
                                                              int32_t height) {
    return TestHost::instance().record(
        HostCall{"DoCreatePixmap", {text(window), text(width), text(height)}}, false);
}

__attribute__((visibility("default"))) int32_t DoDeletePixmap(QfWindow window) {
    return TestHost::instance().record(HostCall{"DoDeletePixmap", {text(window)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetPixelInBitmap(QfWindow window, int32_t x,
                                                                  int32_t y, int32_t colour) {
    return TestHost::instance().record(
        HostCall{"DoSetPixelInBitmap", {text(window), text(x), text(y), text(colour)}}, false);
}

__attribute__((visibility("default"))) int32_t DoBitBltFromBitmap(QfWindow window, int32_t x,
                                                                  int32_t y, int32_t width,
                                                                  int32_t height) {
    return TestHost::instance().record(
        HostCall{"DoBitBltFromBitmap", {text(window), text(x), text(y), text(width), text(height)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoCreate2DImage(QfWindow window, int32_t x,
                                                               int32_t y, int32_t column,
                                                               int32_t width, int32_t height,
                                                               const unsigned char* pixels) {
    return TestHost::instance().record(HostCall{"DoCreate2DImage",
                                                {text(window), text(x), text(y), text(column),
                                                 text(width), text(height), text(pixels)}},
                                       false);
}

__attribute__((visibility("default"))) int32_t DoSend2DImageToBitmap(QfWindow window, int32_t x,
                                                                     int32_t y, int32_t width,
                                                                     int32_t height) {
    return TestHost::instance().record(
        HostCall{"DoSend2DImageToBitmap",
                 {text(window), text(x), text(y), text(width), text(height)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoSetColorTable(int32_t index, int32_t red,
                                                               int32_t green, int32_t blue) {
    return TestHost::instance().record(
        HostCall{"DoSetColorTable", {text(index), text(red), text(green), text(blue)}}, false);
}

__attribute__((visibility("default"))) int32_t DoDrawMagnitudeBar(QfWindow window, int32_t left,
                                                                  int32_t top, int32_t width,
                                                                  int32_t height) {
    return TestHost::instance().record(
        HostCall{"DoDrawMagnitudeBar",
                 {text(window), text(left), text(top), text(width), text(height)}},
        false);
}

__attribute__((visibility("default"))) int32_t CheckGraphicsStatus(void) {
    return TestHost::instance().record(HostCall{"CheckGraphicsStatus", {}}, false);
}

__attribute__((visibility("default"))) int32_t DoCreateRectangularRegion(int32_t left, int32_t top,
                                                                         int32_t right,
                                                                         int32_t bottom) {
    return TestHost::instance().record(
        HostCall{"DoCreateRectangularRegion", {text(left), text(top), text(right), text(bottom)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoGetWindowCoordinates(QfWindow window,
                                                                      int32_t* rect) {
    return TestHost::instance().record(
        HostCall{"DoGetWindowCoordinates", {text(window), text(rect)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetBrushColorFromRGB(int32_t brush, int32_t r,
                                                                      int32_t g, int32_t b) {
    return TestHost::instance().record(
        HostCall{"DoSetBrushColorFromRGB", {text(brush), text(r), text(g), text(b)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetFontCharacteristics(int32_t font, int32_t type,
                                                                        int32_t style,
                                                                        int32_t size) {
    return TestHost::instance().record(
        HostCall{"DoSetFontCharacteristics", {text(font), text(type), text(style), text(size)}},
        false);
}

__attribute__((visibility("default"))) int32_t DoSetPixel(QfWindow window, int32_t x, int32_t y,
                                                          int32_t colour) {
    return TestHost::instance().record(
        HostCall{"DoSetPixel", {text(window), text(x), text(y), text(colour)}}, false);
}

__attribute__((visibility("default"))) int32_t DoSetPixelArray(QfWindow window,
                                                               const QfPoint* points, int32_t count,
                                                               int32_t colour) {
    return TestHost::instance().record(
        HostCall{"DoSetPixelArray", {text(window), text(points), text(count), text(colour)}},
        false);
}

// Optional: the key state the engine polls (Esc, Ctrl).
}  // extern "C"
