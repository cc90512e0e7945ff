// The host callbacks of qf.  A terminal has no windows: graph and drawing
// requests are accepted and ignored, dialogs are answered from the command
// line, and messages are printed.
#include <type_traits>

#include "host/callbacks.h"

// Each callback is checked against its declared type.
#define QF_CHECKED(name) \
    static_assert(std::is_same_v<decltype(&name), QfHost_##name>, #name " has the wrong type");
#define QF_ANSWERED(name, params)              \
    extern "C" QF_EXPORT int32_t name params { \
        return qfhost::answerDialog();         \
    }                                          \
    QF_CHECKED(name)
#define QF_GENERATOR(name)                                                  \
    extern "C" QF_EXPORT int32_t name(const char*, QfCheckParamsFn check) { \
        return qfhost::answerCheckedDialog(check);                          \
    }                                                                       \
    QF_CHECKED(name)
#define QF_IGNORED(name, params)               \
    extern "C" QF_EXPORT int32_t name params { \
        return 0;                              \
    }                                          \
    QF_CHECKED(name)

// Dialogs.
QF_GENERATOR(getSweptSineParams)
QF_GENERATOR(getImpuParams)
QF_GENERATOR(getWinFunctParams)
QF_GENERATOR(getSincFunctParams)
QF_GENERATOR(getRampFunctParams)
QF_GENERATOR(getExpFunctParams)
QF_GENERATOR(getNoiseFunctParams)
extern "C" QF_EXPORT int32_t dspMuxOpenFile(int32_t, void* fileTable, const char*) {
    return qfhost::answerListDialog(fileTable);
}
QF_CHECKED(dspMuxOpenFile)
QF_ANSWERED(dspExtractGetPara, (void))
QF_ANSWERED(dspLinearRngMapGetPara, (void))
QF_ANSWERED(autoCorrelationGetPara, (void))
QF_ANSWERED(dspCorrConvoGetPara, (void))
QF_ANSWERED(dspFFTGetPara, (void))
QF_ANSWERED(dspDCTGetPara, (void))
QF_ANSWERED(dspLPCGetPara, (void))
QF_ANSWERED(dspLPCFFTGetPara, (void))
QF_ANSWERED(getLMSParameters, (void))
QF_ANSWERED(GetControlCenterParameters,
            (void*, StatusRecord*, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*))
QF_ANSWERED(stdImportGet, (int32_t, QfCheckParamsFn))
QF_ANSWERED(stdExportGet, (int32_t, QfCheckParamsFn))

// Windows, timers and drawing.
QF_IGNORED(DoCreateGraphWindow, (const char*, PlotData*))
QF_IGNORED(DoCloseGraphWindow, (QfWindow))
QF_IGNORED(DoGetActiveMDIWindow, (void))
QF_IGNORED(DoForceRepaint, (QfWindow))
QF_IGNORED(DoSetHorizontalScrollPosition, (QfWindow, int32_t, int32_t))
QF_IGNORED(DoSetHorizontalScrollRange, (QfWindow, int32_t, int32_t))
QF_IGNORED(stdLogWinOpen, (int32_t))
QF_IGNORED(SetEditMenu, (int32_t))
QF_IGNORED(StartTimer, (void))
QF_IGNORED(RestartTimer, (void))
QF_IGNORED(DoSelectPen, (QfWindow, int32_t))
QF_IGNORED(DoSetPenColorFromRGB, (int32_t, int32_t, int32_t, int32_t))
QF_IGNORED(DoSelectBrush, (QfWindow, int32_t))
QF_IGNORED(DoSetBrushColor, (int32_t, int32_t))
QF_IGNORED(DoPolyLine, (QfWindow, const QfPoint*, int32_t))
QF_IGNORED(DoFillRectangle, (QfWindow, const int32_t*, int32_t))
QF_IGNORED(DoTextOut, (QfWindow, int32_t, const char*, int32_t, int32_t))
QF_IGNORED(DoTextRotatedOut, (QfWindow, int32_t, const char*, int32_t, int32_t))
QF_IGNORED(DoGetTextExtent, (QfWindow, int32_t, const char*, int32_t*, int32_t*))
QF_IGNORED(DoGetTextMetrics, (QfWindow, int32_t, int32_t*, int32_t*))
QF_IGNORED(DoSetRasterOp, (QfWindow, int32_t))
QF_IGNORED(DoEnableClipping, (QfWindow, int32_t))
QF_IGNORED(DoSetRectangularClipRegion, (QfWindow, int32_t, int32_t, int32_t, int32_t))
QF_IGNORED(DoCreatePolygonRegion, (const QfPoint*, int32_t))
QF_IGNORED(DoSetClipRegion, (QfWindow, int32_t))
QF_IGNORED(DoDeleteRegion, (int32_t))
QF_IGNORED(DoCreatePixmap, (QfWindow, int32_t, int32_t))
QF_IGNORED(DoDeletePixmap, (QfWindow))
QF_IGNORED(DoSetPixelInBitmap, (QfWindow, int32_t, int32_t, int32_t))
QF_IGNORED(DoBitBltFromBitmap, (QfWindow, int32_t, int32_t, int32_t, int32_t))
QF_IGNORED(DoCreate2DImage,
           (QfWindow, int32_t, int32_t, int32_t, int32_t, int32_t, const unsigned char*))
QF_IGNORED(DoSend2DImageToBitmap, (QfWindow, int32_t, int32_t, int32_t, int32_t))
QF_IGNORED(DoSetColorTable, (int32_t, int32_t, int32_t, int32_t))
QF_IGNORED(DoDrawMagnitudeBar, (QfWindow, int32_t, int32_t, int32_t, int32_t))
QF_IGNORED(CheckGraphicsStatus, (void))
QF_IGNORED(DoCreateRectangularRegion, (int32_t, int32_t, int32_t, int32_t))
QF_IGNORED(DoGetWindowCoordinates, (QfWindow, int32_t*))
QF_IGNORED(DoSetBrushColorFromRGB, (int32_t, int32_t, int32_t, int32_t))
QF_IGNORED(DoSetFontCharacteristics, (int32_t, int32_t, int32_t, int32_t))
QF_IGNORED(DoSetPixel, (QfWindow, int32_t, int32_t, int32_t))
QF_IGNORED(DoSetPixelArray, (QfWindow, const QfPoint*, int32_t, int32_t))
