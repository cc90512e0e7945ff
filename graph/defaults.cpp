// The default pens, brush and fonts of graph windows.  The host keeps 19
// pens, one brush and 5 fonts; colours are indices into its colour table.
// Pens 13-15 take RGB colours from the settings file and are left alone.
#include "core/host.h"
#include "core/settings.h"
#include "graph/seams.h"
#include "quillfen/quillfen.h"

using namespace qf;

namespace {

constexpr int kColourPens = 13;  // pens 0-12; 16-18 follow separately
constexpr int32_t kDefaultColour[kColourPens] = {8, 3, 6, 5, 5, 2, 2, 3, 3, 0, 1, 0, 3};
constexpr int32_t kDefaultColour2[kColourPens] = {0, 3, 6, 5, 5, 2, 2, 3, 3, 1, 4, 1, 3};
constexpr int32_t kLastPens[3] = {-1, 2, 3};  // pens 16, 17, 18 in both sets

void setPenColour(int pen, int32_t colour) {
    graphStyle().penColour[pen] = colour;
    hostcall::DoSetPenColor(pen, colour);
}

void setBrushColour(int32_t colour) {
    hostcall::DoSetBrushColor(0, colour);
}

// Either colour set runs once unless forced.
int32_t applyColourSet(int32_t force, int32_t brush, const int32_t (&pens)[kColourPens]) {
    GraphStyle& g = graphStyle();
    if (force == 0 && g.defaultColoursApplied) return 0;
    g.defaultColoursApplied = true;
    setBrushColour(brush);
    for (int pen = 0; pen < kColourPens; ++pen) setPenColour(pen, pens[pen]);
    for (int k = 0; k < 3; ++k) setPenColour(16 + k, kLastPens[k]);
    return 0;
}

// One property of every font, kept and handed to the host.
int32_t setEveryFont(int32_t (GraphStyle::*field)[kFontCount],
                     QfHost_DoSetFontType HostInterface::*send, int32_t value) {
    for (int font = 0; font < kFontCount; ++font) {
        (graphStyle().*field)[font] = value;
        callHostSlot(send, font, value);
    }
    return 0;
}

}  // namespace

namespace qf {

void handOverGraphStyle() {
    const GraphStyle& g = graphStyle();
    for (int pen = 13; pen <= 15; ++pen) {
        const uint32_t rgb = static_cast<uint32_t>(g.penColour[pen]);
        hostcall::DoSetPenColorFromRGB(pen, static_cast<int32_t>(rgb & 0xFF),
                                       static_cast<int32_t>((rgb >> 8) & 0xFF),
                                       static_cast<int32_t>((rgb >> 16) & 0xFF));
        hostcall::DoSetPenLineType(pen, 0);
    }
    // The settings file keeps no brush of its own: brush 0 and pen 0 have
    // the same colour in every default set, so pen 0's stands for it.
    hostcall::DoSetBrushColor(0, g.penColour[0]);
    // Then all 19 stored pens, 13 to 15 included, with their line types.
    for (int pen = 0; pen < kPenCount; ++pen) {
        hostcall::DoSetPenColor(pen, g.penColour[pen]);
        hostcall::DoSetPenLineType(pen, g.penLineType[pen]);
    }
    for (int font = 0; font < kFontCount; ++font) {
        hostcall::DoSetFontType(font, g.fontType[font]);
        hostcall::DoSetFontStyle(font, g.fontStyle[font]);
        hostcall::DoSetFontSize(font, g.fontSize[font]);
    }
}

}  // namespace qf

extern "C" {

QF_EXPORT int32_t initGraphDefaultColour(int32_t force) {
    return applyColourSet(force, 8, kDefaultColour);
}

QF_EXPORT int32_t initGraphDefaultColour2(int32_t force) {
    return applyColourSet(force, 0, kDefaultColour2);
}

// Black curves and text on a white background.
QF_EXPORT int32_t SetForBlackOnWhiteColors(void) {
    setBrushColour(1);
    setPenColour(0, 1);
    for (int pen = 1; pen < kColourPens; ++pen) setPenColour(pen, 0);
    return 0;
}

// Dotted grid pens (5 and 6), solid lines elsewhere.
QF_EXPORT int32_t initGraphDefaultLineType(void) {
    GraphStyle& g = graphStyle();
    for (int pen = 0; pen < kPenCount; ++pen) {
        if (pen >= 13 && pen <= 15) continue;
        g.penLineType[pen] = (pen == 5 || pen == 6) ? 2 : 0;
        hostcall::DoSetPenLineType(pen, g.penLineType[pen]);
    }
    return 0;
}

QF_EXPORT int32_t initGraphDefaultFontTypes(void) {
    return setEveryFont(&GraphStyle::fontType, &HostInterface::DoSetFontType, 0);
}

QF_EXPORT int32_t initGraphDefaultFontStyles(void) {
    return setEveryFont(&GraphStyle::fontStyle, &HostInterface::DoSetFontStyle, 0);
}

QF_EXPORT int32_t initGraphDefaultFontSizes(void) {
    return setEveryFont(&GraphStyle::fontSize, &HostInterface::DoSetFontSize, 10);
}

}  // extern "C"
