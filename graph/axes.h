// Coordinate conversion of one drawing pass: the points of a curve, the
// units of the x axis, the Y range rules (auto-scaling, the rescale notice,
// the nice-number rule for linear axes, the decade rule for dB axes) and the
// number formats of axis labels.
#pragma once

#include <cstdint>
#include <string>

#include "graph/plot_data.h"

namespace qf {

// The ranges and tick steps a pass draws with (32-bit floats).  For dB
// kinds the y range is in decades and yspacing is the grid lines per decade.
struct PassRanges {
    float fxmin = 0.0f, fxmax = 0.0f, fymin = 0.0f, fymax = 0.0f;
    float xspacing = 0.0f, yspacing = 0.0f;
    int32_t count = 0;  // points computed into xBuf/yBuf
    int32_t pen = 9;    // the curve's pen: 11 for min/max pairs
};

// Fills xBuf/yBuf with the points of sub-graph g, sets the pass's axis
// titles (titles()), updates yMax/yMin and answers the ranges.  0, or 1
// when the file could not be read.
int32_t convertDataPt(PlotData* p, int32_t g, PassRanges& r);

// The axis titles convertDataPt made for the pass.
struct PassTitles {
    char x[96] = {};
    char y[96] = {};
};
PassTitles& passTitles();

// A unit of the x axis: its text and the factor from seconds or Hz.
struct AxisUnit {
    const char* text;
    double factor;
};
// By e = floor(log10(seconds)): " (kS)" .. " (nS)", none below 1e-9 s.
AxisUnit timeUnit(double seconds);
// By e = floor(log10(hz)): "(GHz) @ [Frame %d/%.2f%s]" .. "(uHz) ...".
AxisUnit frequencyUnit(double hz);

// The nice-number rule of a linear Y axis: rounds lo and hi and gives the
// tick step.
void niceNumbers(double& lo, double& hi, double& step);

// The decade rule of dB axes: lo and hi in linear units become decades,
// perDecade the grid lines in each.
void decadeRange(double& lo, double& hi, int32_t recordType, double& perDecade);

// Number format code of a linear axis over [min, max]: e - 4 (fixed, 4 - e
// decimals) for 0 <= e <= 2 with e = floor(log10(max(|min|, |max|))),
// otherwise 1 (exponential).
int32_t axisFormat(double min, double max);
// A value by its format code: 0 "% 6f", 1 "% 11.4e", 2 "%ld" rounded,
// 3 "% .4g", other codes c "% *.*f" of width w - 1 and precision -c.
// Codes 0, 1 and 3 are trimmed (trimNumber).
std::string numberLabel(int32_t code, double value, int32_t width);
// The same in the padded forms grid labels use ("  % 6f " ...).
std::string gridLabel(int32_t code, double value, int32_t width);
// Trailing zeros after the point go (a bare point keeps one zero), and
// leading zeros of the exponent; an exponent with no digits left goes.
std::string trimNumber(const std::string& text);

// Width argument of fixed-point labels ("% *.*f" at minimum width 3).
constexpr int32_t kLabelWidth = 4;

}  // namespace qf
