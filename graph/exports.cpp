// Graph entry points the host calls from its graph windows.  Graph windows
// are not built yet: the entry points exist so hosts link against the full
// interface, and each answers as for a graph record it does not know.
#include <initializer_list>

#include "quillfen/quillfen.h"

extern "C" {

QF_EXPORT int32_t plotGraphCtrl(int32_t, QfWindow) {
    return 0;
}

QF_EXPORT int32_t GraphControlWrapper(PlotData*, int32_t, const char*, const char*, int32_t,
                                      int32_t, int32_t, int32_t, int32_t) {
    return 0;
}

QF_EXPORT int32_t grPanLeftRightWrapper(PlotData*, int32_t, int32_t) {
    return 0;
}

QF_EXPORT int32_t grGraphXcursorWrapper(QfWindow, PlotData*, int32_t, int32_t, int32_t) {
    return 0;
}

QF_EXPORT int32_t getGraphData(PlotData*, int32_t* autoScale, int32_t* kind, int32_t* frameWidth,
                               int32_t* dbHigh, int32_t* dbLow, int32_t* tiltAngle,
                               int32_t* tiltLength, char* xTitle, char* yTitle) {
    for (int32_t* p : {autoScale, kind, frameWidth, dbHigh, dbLow, tiltAngle, tiltLength})
        if (p) *p = 0;
    if (xTitle) xTitle[0] = '\0';
    if (yTitle) yTitle[0] = '\0';
    return 0;
}

QF_EXPORT int32_t GetGraphType(PlotData*) {
    return 0;
}

}  // extern "C"
