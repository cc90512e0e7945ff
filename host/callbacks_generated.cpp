// The host callbacks of qf.  A terminal has no windows: graph and drawing
// requests are accepted and ignored, dialogs are answered from the command
// line, and messages are printed.
#include "host/callbacks.h"

extern "C" {

QF_EXPORT int32_t dspMuxOpenFile(int32_t, void*, const char*) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t getSweptSineParams(const char*, QfCheckParamsFn check) {
    return qfhost::answerGeneratorDialog(check);
}
QF_EXPORT int32_t getImpuParams(const char*, QfCheckParamsFn check) {
    return qfhost::answerGeneratorDialog(check);
}
QF_EXPORT int32_t getWinFunctParams(const char*, QfCheckParamsFn check) {
    return qfhost::answerGeneratorDialog(check);
}
QF_EXPORT int32_t getSincFunctParams(const char*, QfCheckParamsFn check) {
    return qfhost::answerGeneratorDialog(check);
}
QF_EXPORT int32_t getRampFunctParams(const char*, QfCheckParamsFn check) {
    return qfhost::answerGeneratorDialog(check);
}
QF_EXPORT int32_t getExpFunctParams(const char*, QfCheckParamsFn check) {
    return qfhost::answerGeneratorDialog(check);
}
QF_EXPORT int32_t getNoiseFunctParams(const char*, QfCheckParamsFn check) {
    return qfhost::answerGeneratorDialog(check);
}
QF_EXPORT int32_t dspExtractGetPara(void) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t dspLinearRngMapGetPara(void) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t autoCorrelationGetPara(void) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t dspCorrConvoGetPara(void) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t dspFFTGetPara(void) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t dspDCTGetPara(void) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t dspLPCGetPara(void) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t dspLPCFFTGetPara(void) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t getLMSParameters(void) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t GetControlCenterParameters(void*, StatusRecord*, int32_t*, int32_t*, int32_t*,
                                             int32_t*, int32_t*) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t stdImportGet(int32_t, QfCheckParamsFn) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t stdExportGet(int32_t, QfCheckParamsFn) {
    return qfhost::answerDialog();
}
QF_EXPORT int32_t DoCreateGraphWindow(const char*, PlotData*) {
    return 0;
}
QF_EXPORT int32_t DoCloseGraphWindow(QfWindow) {
    return 0;
}
QF_EXPORT int32_t DoGetActiveMDIWindow(void) {
    return 0;
}
QF_EXPORT int32_t DoForceRepaint(QfWindow) {
    return 0;
}
QF_EXPORT int32_t DoSetHorizontalScrollPosition(QfWindow, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoSetHorizontalScrollRange(QfWindow, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t stdLogWinOpen(int32_t) {
    return 0;
}
QF_EXPORT int32_t SetEditMenu(int32_t) {
    return 0;
}
QF_EXPORT int32_t StartTimer(void) {
    return 0;
}
QF_EXPORT int32_t RestartTimer(void) {
    return 0;
}
QF_EXPORT int32_t DoSelectPen(QfWindow, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoSetPenColorFromRGB(int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoSelectBrush(QfWindow, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoSetBrushColor(int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoPolyLine(QfWindow, const QfPoint*, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoFillRectangle(QfWindow, const int32_t*, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoTextOut(QfWindow, int32_t, const char*, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoTextRotatedOut(QfWindow, int32_t, const char*, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoGetTextExtent(QfWindow, int32_t, const char*, int32_t*, int32_t*) {
    return 0;
}
QF_EXPORT int32_t DoGetTextMetrics(QfWindow, int32_t, int32_t*, int32_t*) {
    return 0;
}
QF_EXPORT int32_t DoSetRasterOp(QfWindow, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoEnableClipping(QfWindow, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoSetRectangularClipRegion(QfWindow, int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoCreatePolygonRegion(const QfPoint*, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoSetClipRegion(QfWindow, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoDeleteRegion(int32_t) {
    return 0;
}
QF_EXPORT int32_t DoCreatePixmap(QfWindow, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoDeletePixmap(QfWindow) {
    return 0;
}
QF_EXPORT int32_t DoSetPixelInBitmap(QfWindow, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoBitBltFromBitmap(QfWindow, int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoCreate2DImage(QfWindow, int32_t, int32_t, int32_t, int32_t, int32_t,
                                  const unsigned char*) {
    return 0;
}
QF_EXPORT int32_t DoSend2DImageToBitmap(QfWindow, int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoSetColorTable(int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoDrawMagnitudeBar(QfWindow, int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t CheckGraphicsStatus(void) {
    return 0;
}
QF_EXPORT int32_t DoCreateRectangularRegion(int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoGetWindowCoordinates(QfWindow, int32_t*) {
    return 0;
}
QF_EXPORT int32_t DoSetBrushColorFromRGB(int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoSetFontCharacteristics(int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoSetPixel(QfWindow, int32_t, int32_t, int32_t) {
    return 0;
}
QF_EXPORT int32_t DoSetPixelArray(QfWindow, const QfPoint*, int32_t, int32_t) {
    return 0;
}
}  // extern "C"
