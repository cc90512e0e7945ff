// One drawing pass of a graph: the page layout (band, title area, label
// room, plot frame), the plot items of the pass (titles, axis titles, axes,
// grids, curves) taken from a pool of 32, the linear and logarithmic grids
// with their number labels, and the curves (DisplayLine), all drawn through
// the host's drawing callbacks.
//
// Text is placed by a reference point and a justification: horizontally
// 'l' (starts there), 'c' (centred) or 'r' (ends there); vertically 'b'
// (bottom there), 'c' (centred) or 't' (top there).  The host receives the
// top-left corner of the text in window coordinates and draws it with the
// selected pen's colour.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "core/host.h"
#include "core/log.h"
#include "graph/axes.h"
#include "graph/plot_data.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

QfWindow windowOf(const PlotData* p) {
    return p->grRecPtr;
}

void selectPen(PlotData* p, int32_t pen) {
    hostcall::DoSelectPen(windowOf(p), pen);
}

struct TextBox {
    int32_t width = 0, height = 0;
};

TextBox measure(PlotData* p, int32_t font, const char* text) {
    TextBox b;
    hostcall::DoGetTextExtent(windowOf(p), font, text, &b.width, &b.height);
    return b;
}

// The text's left and top (drawing coordinates) for a reference point.
void place(const TextBox& box, int32_t rx, int32_t ry, char hj, char vj, int32_t& left,
           int32_t& top) {
    left = hj == 'c' ? rx - box.width / 2 : hj == 'r' ? rx - box.width : rx;
    top = vj == 'b' ? ry + box.height : vj == 'c' ? ry + box.height / 2 : ry;
}

void drawText(PlotData* p, int32_t pen, int32_t font, const char* text, int32_t rx, int32_t ry,
              char hj, char vj, const TextBox& box) {
    int32_t left, top;
    place(box, rx, ry, hj, vj, left, top);
    selectPen(p, pen);
    hostcall::DoTextOut(windowOf(p), font, text, left, windowY(*p, top));
}

// --- the item pool ----------------------------------------------------------

// Builders: 0, or the pool's refusal (-2, 1, or -1 for a curve copy).
int32_t addText(ItemType type, bool yList, const char* text, int32_t pen, int32_t font,
                int32_t justify) {
    PlotItem* item = nullptr;
    if (const int32_t r = reservePlotItem(type, yList, &item); r != 0) return r;
    PlotItem& it = *item;
    fmt(it.text, sizeof it.text, "%.79s", text);
    it.pen = pen;
    it.font = font;
    const bool known = justify == 0 || justify == 1 || justify == 2 || justify == 4 ||
                       justify == 5 || justify == 6;
    it.justify = known ? justify : 0;
    return 0;
}

int32_t addAxis(bool yList, bool logarithmic, int32_t format, double step, double min, double max,
                int32_t font, int32_t pen) {
    PlotItem* item = nullptr;
    if (const int32_t r = reservePlotItem(ItemType::Axis, yList, &item); r != 0) return r;
    PlotItem& it = *item;
    it.logarithmic = logarithmic;
    it.format = format;
    it.exponent = format == 1;
    it.step = step;
    it.min = min;
    it.max = max;
    it.font = font;
    it.pen = pen;
    return 0;
}

int32_t addGrid(bool yList, bool logarithmic, double step, int32_t pen, int32_t axisPen) {
    PlotItem* item = nullptr;
    if (const int32_t r = reservePlotItem(ItemType::Grid, yList, &item); r != 0) return r;
    PlotItem& it = *item;
    it.logarithmic = logarithmic;
    it.step = step;
    it.pen = pen;
    it.axisPen = axisPen;
    return 0;
}

int32_t addCurve(const char* name, int32_t pen, const float* x, const float* y, int32_t count) {
    PlotItem* item = nullptr;
    if (const int32_t r = reservePlotItem(ItemType::Curve, false, &item); r != 0) return r;
    PlotItem& it = *item;
    fmt(it.text, sizeof it.text, "%.31s", name);
    it.pen = pen;
    it.xy.reset(new (std::nothrow) float[2 * static_cast<std::size_t>(std::max(count, 1))]);
    if (!it.xy) return -1;
    for (int32_t k = 0; k < count; ++k) {
        it.xy[2 * k] = x[k];
        it.xy[2 * k + 1] = y[k];
    }
    it.count = count;
    return 0;
}

// The first item of a type in a list, or null.
const PlotItem* findItem(ItemType type, bool yList) {
    const GraphState& g = graphs();
    for (int32_t i = 0; i < g.itemsUsed; ++i)
        if (g.items[i].type == type && g.items[i].yList == yList) return &g.items[i];
    return nullptr;
}

// --- layout ---------------------------------------------------------------

// The band of sub-graph g, the fonts, an empty pool.  1 when the window has
// no room at all.
int32_t openGraph(PlotData* p, int32_t g, int32_t subGraphs) {
    logPrintf("OP $$enter$$ openGraph( pData = %p)\n", static_cast<void*>(p));
    GraphState& gs = graphs();
    PageLayout& page = gs.page;
    const int32_t top = p->winRect[0], left = p->winRect[1];
    const int32_t bottom = p->winRect[2], right = p->winRect[3];
    if (bottom - top <= 0 || right - left <= 0) return 1;
    if (subGraphs > 1) {
        const double h = bottom - top;
        double r = (h - p->headingHeight) / h;
        if (r <= 0) r = 1.0;
        const double base = 2 * (1 - r);
        const int32_t k = subGraphs - g;
        p->fracBottom = static_cast<float>((r - base) / subGraphs * k + base);
        p->fracTop = static_cast<float>((r - base) / subGraphs * (k - 1) + base);
    }
    page = PageLayout{};
    page.bandLeft = static_cast<int32_t>(left * p->fracLeft);
    page.bandLow = static_cast<int32_t>(bottom * p->fracTop);
    page.bandRight = static_cast<int32_t>(right * p->fracRight);
    page.bandHigh = static_cast<int32_t>(bottom * p->fracBottom);
    if (host().DoGetTextMetrics) {
        hostcall::DoGetTextMetrics(windowOf(p), 0, &page.h0, &page.w0);
        hostcall::DoGetTextMetrics(windowOf(p), 3, &page.h3, &page.w3);
        hostcall::DoGetTextMetrics(windowOf(p), 1, &page.h1, &page.w1);
    }
    const uint32_t kind = kindOf(*p);
    page.gridFlag = (kind == GK_TIME || isFrequencyKind(kind)) ? 'y' : 'n';
    resetPlotItems();
    logPrintf("OP $$leave$$ openGraph\n");
    return 0;
}

// Steps 2-6 of the page layout: the plot frame of sub-graph g.
void layoutFrame(PlotData* p, int32_t g, int32_t subGraphs) {
    PageLayout& page = graphs().page;
    const int32_t titles = graphs().titleCount;
    const bool xTitle = findItem(ItemType::AxisTitle, false) != nullptr;
    const bool yTitle = findItem(ItemType::AxisTitle, true) != nullptr;
    const PlotItem* yAxis = findItem(ItemType::Axis, true);
    const int32_t code = yAxis ? yAxis->format : 0;
    const int32_t titleArea = titles > 0 ? 2 * page.h0 + (titles - 1) * 3 * page.h1 / 2 : page.h0;
    page.horizLabel = xTitle ? (1 - 1) * page.h1 + 5 * page.h3 / 2 : page.h3;
    page.vertLabel = yTitle ? 2 * page.h3 / 3 + 1 * page.h1 : page.h3 / 2;
    const int32_t room = code == 0 ? 7 : code == 1 ? 12 : 6 - code;
    page.vertLabel += room * page.w1;
    page.xmin = page.bandLeft + page.vertLabel + 1;
    page.xmax = page.bandRight - 2 * page.vertLabel / 3;
    page.frameBottom = page.bandLow + page.horizLabel + 1;
    page.frameTop = page.bandHigh - titleArea;

    const int32_t right = p->winRect[3];
    const int32_t height = p->winRect[2] - p->winRect[0];
    if (page.xmin < 0 || page.xmax < 0 || page.xmax <= page.xmin) {
        page.xmin =
            static_cast<int32_t>(right * (p->fracLeft + 0.1 * (p->fracRight - p->fracLeft)));
        page.xmax =
            static_cast<int32_t>(right * (p->fracLeft + 0.9 * (p->fracRight - p->fracLeft)));
    }
    if (page.frameBottom < 0 || page.frameTop < 0 || page.frameTop <= page.frameBottom ||
        subGraphs > 1) {
        page.frameBottom =
            static_cast<int32_t>(height * (p->fracTop + 0.1 * (p->fracBottom - p->fracTop)));
        page.frameTop =
            static_cast<int32_t>(height * (p->fracTop + 0.9 * (p->fracBottom - p->fracTop)));
        page.verticalFallback = true;
    }
    if (g > 0) {
        page.xmin = p->plotArea[0][0];
        page.xmax = p->plotArea[0][1];
    }
    logPrintf("OP     **** xmin       = %d\n", page.xmin);
    logPrintf("OP     **** xmax       = %d\n", page.xmax);
    const int32_t k = std::min(g, kMaxSubGraphs - 1);
    p->plotArea[k][0] = page.xmin;
    p->plotArea[k][1] = page.xmax;
    p->plotArea[k][2] = page.frameBottom;
    p->plotArea[k][3] = page.frameTop;
    p->clipRect[0] = page.xmin;
    p->clipRect[1] = windowY(*p, page.frameTop);
    p->clipRect[2] = page.xmax;
    p->clipRect[3] = windowY(*p, page.frameBottom);
    p->lblHgt = page.h1;
    p->xLblLocY = windowY(*p, page.frameBottom - 3 * page.h1 / 2);
}

void outline(PlotData* p, int32_t pen, int32_t left, int32_t low, int32_t right, int32_t high) {
    selectPen(p, pen);
    const QfPoint box[5] = {{left, low}, {right, low}, {right, high}, {left, high}, {left, low}};
    drawPolyline(p, box, 5);
}

void line(PlotData* p, int32_t pen, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    selectPen(p, pen);
    const QfPoint pts[2] = {{x0, y0}, {x1, y1}};
    drawPolyline(p, pts, 2);
}

// A value a hair's breadth from zero is zero on a label.
double labelValue(double v, double step) {
    return std::fabs(v) < std::fabs(step) * 1e-6 ? 0.0 : v;
}

// Most grid lines of a linear axis: as many as its labels.
constexpr double kMaxGridIntervals = 1000;

// An axis whose ends or step are not numbers or infinite (a file holding
// infinities or NaNs) is drawn as the empty axis 0 to 1.
void finiteAxis(double& min, double& max, double& step) {
    if (std::isfinite(min) && std::isfinite(max) && std::isfinite(step)) return;
    min = 0.0;
    max = 1.0;
    step = 1.0 / 8;
}

// The grid intervals of a linear axis, 0 when there are none to draw (or
// more than it has labels).
int32_t gridIntervals(double min, double max, double step) {
    const double n = (max - min) / step + 0.5;
    return n >= 1 && n <= kMaxGridIntervals ? static_cast<int32_t>(n) : 0;
}

// The linear x grid and its labels; sets the x scale.
void linearXGrid(PlotData* p, const PlotItem& axis, const PlotItem* grid) {
    const PageLayout& page = graphs().page;
    double min = axis.min, max = axis.max, step = axis.step;
    finiteAxis(min, max, step);
    if (!(max > min)) {
        max = min + 1;
        step = 1.0 / 8;
    }
    p->xScale = (page.xmax - page.xmin) / (max - min);
    p->xOffset = page.xmin - p->xScale * min;
    if (!(step > 0)) return;
    const int32_t intervals = gridIntervals(min, max, step);
    if (grid && page.gridFlag == 'y' && intervals > 0) {
        const int32_t pixels = (page.xmax - page.xmin) / intervals;
        for (int32_t k = 1; k < intervals; ++k) {
            const int32_t x = page.xmin + k * pixels;
            const double v = min + k * step;
            line(p, std::fabs(v) < step / 10 ? grid->axisPen : grid->pen, x, page.frameBottom, x,
                 page.frameTop);
        }
    }
    if (page.verticalFallback) return;
    int32_t lastLeft = INT_MIN / 2, lastWidth = 0;
    const int32_t y = page.frameBottom - 3 * page.h1 / 2;
    for (int32_t j = 0; j <= 1000; ++j) {
        const double v = labelValue(min + j * step, step);
        if (v > max + step / 2) break;
        const std::string text = gridLabel(axis.format, v, kLabelWidth);
        const TextBox box = measure(p, axis.font, text.c_str());
        const int32_t x = static_cast<int32_t>(p->xScale * v + p->xOffset);
        int32_t left, top;
        place(box, x, y, 'c', 'b', left, top);
        if (left <= lastLeft + lastWidth) continue;
        drawText(p, axis.pen, axis.font, text.c_str(), x, y, 'c', 'b', box);
        lastLeft = left;
        lastWidth = box.width;
    }
}

// The linear y grid and its labels; sets the y scale.
void linearYGrid(PlotData* p, const PlotItem& axis, const PlotItem* grid) {
    const PageLayout& page = graphs().page;
    double min = axis.min, max = axis.max, step = axis.step;
    finiteAxis(min, max, step);
    if (!(max > min)) {
        max = min + 1;
        step = 1.0 / 8;
    }
    p->yLog = false;
    p->yScale = (page.frameTop - page.frameBottom) / (max - min);
    p->yOffset = page.frameBottom - p->yScale * min;
    p->labelFormat = axis.format;
    p->labelWidth = kLabelWidth;
    if (!(step > 0)) return;
    const int32_t intervals = gridIntervals(min, max, step);
    if (grid && intervals > 0) {
        const int32_t pixels = (page.frameTop - page.frameBottom) / intervals;
        for (int32_t k = 1; k < intervals; ++k) {
            const int32_t y = page.frameBottom + k * pixels;
            const double v = min + k * step;
            line(p, std::fabs(v) < step / 10 ? grid->axisPen : grid->pen, page.xmin, y, page.xmax,
                 y);
        }
    }
    int32_t lastTop = INT_MIN / 2;
    const int32_t x = page.xmin - page.h1 / 2;
    for (int32_t j = 0; j <= 1000; ++j) {
        const double v = labelValue(min + j * step, step);
        if (v > max + step / 2) break;
        const std::string text = gridLabel(axis.format, v, kLabelWidth);
        const TextBox box = measure(p, axis.font, text.c_str());
        const int32_t y = static_cast<int32_t>(p->yScale * v + p->yOffset);
        int32_t left, top;
        place(box, x, y, 'r', 'c', left, top);
        if (top - box.height <= lastTop) continue;
        drawText(p, axis.pen, axis.font, text.c_str(), x, y, 'r', 'c', box);
        lastTop = top;
    }
}

// The logarithmic y grid of a dB axis: min and max in decades, labels in dB
// (20 dB a decade of magnitude, 10 dB a decade of power).
void DrawLogarithmicYGrid(PlotData* p, const PlotItem& axis, const PlotItem* grid) {
    logPrintf("OP $$enter$$ DrawLogarithmicYGrid\n");
    const PageLayout& page = graphs().page;
    double min = axis.min, max = axis.max > axis.min ? axis.max : axis.min + 1;
    // Decades that are not numbers, or more than doubles have, give the
    // range of a graph without values: 8 decades below 1.
    if (!(std::isfinite(min) && std::isfinite(max) && max - min <= kMaxGridIntervals)) {
        min = -8.0;
        max = 0.0;
    }
    const int32_t length = page.frameTop - page.frameBottom;
    const int32_t decades = std::max(static_cast<int32_t>(max - min + 0.5), 1);
    const int32_t perDecade = length / decades;
    if (grid) {
        logPrintf("OP drawing y grids\n");
        const int32_t lines = std::max(static_cast<int32_t>(grid->step + 0.5), 1);
        for (int32_t d = 0; d < decades; ++d) {
            const int32_t start = page.frameBottom + d * perDecade;
            for (int32_t j = 1; j <= lines; ++j) {
                const int32_t y =
                    start + static_cast<int32_t>(std::log10(10.0 / lines * j) * perDecade);
                line(p, grid->pen, page.xmin, y, page.xmax, y);
            }
        }
    }
    logPrintf("OP Calculating function to coordinate scaling factor\n");
    p->yLog = true;
    p->yScale = length / (max - min);
    p->yOffset = page.frameBottom - p->yScale * min;
    p->labelFormat = 0;
    p->labelWidth = kLabelWidth;
    logPrintf("OP drawing y labels\n");
    const double dBPerDecade = kindOf(*p) == GK_POWER ? 10.0 : 20.0;
    int32_t lastTop = INT_MIN / 2;
    const int32_t x = page.xmin - page.h1 / 2;
    for (double d = min; d <= max + 0.5; d += 1.0) {
        const double decade = static_cast<double>(std::lround(d));
        if (decade > max) break;
        const std::string text = gridLabel(0, dBPerDecade * decade, kLabelWidth);
        const TextBox box = measure(p, axis.font, text.c_str());
        const int32_t y = static_cast<int32_t>(p->yScale * decade + p->yOffset);
        int32_t left, top;
        place(box, x, y, 'r', 'c', left, top);
        if (top - box.height <= lastTop) continue;
        drawText(p, axis.pen, axis.font, text.c_str(), x, y, 'r', 'c', box);
        lastTop = top;
    }
    logPrintf("OP $$leave$$ DrawLogarithmicYGrid\n");
}

int32_t pixel(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int32_t>(std::clamp(v, -2147483520.0, 2147483520.0));
}

// Draws one curve item clipped to the plot frame.
void DisplayLine(PlotData* p, const PlotItem& curve) {
    logPrintf("OP $$enter$$ DisplayLine\n");
    const PageLayout& page = graphs().page;
    selectPen(p, curve.pen);
    const int32_t n = std::min(curve.count, kMaxPoints);
    QfPoint pts[kMaxPoints];
    for (int32_t k = 0; k < n; ++k) {
        const double x = curve.xy[2 * k], y = curve.xy[2 * k + 1];
        int32_t py;
        if (p->yLog)
            py = y == 0 ? page.frameBottom : pixel(p->yScale * std::log10(y) + p->yOffset);
        else
            py = pixel(p->yScale * y + p->yOffset);
        pts[k].x = std::clamp(pixel(p->xScale * x + p->xOffset), -32768, 32767);
        pts[k].y = std::clamp(py, 0, 32767);
    }
    hostcall::DoEnableClipping(windowOf(p), 1);
    hostcall::DoSetRectangularClipRegion(windowOf(p), p->clipRect[0], p->clipRect[1],
                                         p->clipRect[2] + 1, p->clipRect[3] + 1);
    drawPolyline(p, pts, n);
    hostcall::DoEnableClipping(windowOf(p), 0);
    logPrintf("OP $$leave$$ DisplayLine\n");
}

// The items of sub-graph g: 0, or the refusal of a builder.
int32_t buildItems(PlotData* p, int32_t g, const PassRanges& r) {
    const uint32_t kind = kindOf(*p);
    const bool single = !isMultiChannel(*p);
    const PassTitles& titles = passTitles();
    int32_t s = 0;
    auto add = [&s](int32_t result) {
        if (s == 0 && result != 0) s = result;
    };
    if (single && p->recKind == 'g') {
        add(addText(ItemType::Title, false, p->sig.remark, 2, 0, 0));
        const char* type = recordTypeDescription(p->sig.recordType);
        const std::string line2 = fmtString(
            "%ld pts @ %lg Hz: %s: %s", static_cast<long>(p->sig.recordCount), p->sig.samplingRate,
            type ? type : "", p->sig.format == 'a' ? "ASCII" : "Binary");
        add(addText(ItemType::Title, false, line2.c_str(), 3, 1, 0));
    }
    if (single) add(addText(ItemType::AxisTitle, false, titles.x, 7, 3, 0));
    add(addText(ItemType::AxisTitle, true, titles.y, 8, 4, 0));
    const bool xAxis = kind != GK_RT_2D && kind != GK_RT_3D && kind != GK_3D_SPECTROGRAM;
    if (xAxis) {
        add(addAxis(false, false, axisFormat(r.fxmin, r.fxmax), r.xspacing, r.fxmin, r.fxmax, 1,
                    3));
        add(addGrid(false, false, r.xspacing, 5, 1));
    }
    const bool dB = isDecibelKind(kind);
    add(addAxis(true, dB, dB ? 0 : axisFormat(r.fymin, r.fymax), r.yspacing, r.fymin, r.fymax, 2,
                3));
    add(addGrid(true, dB, r.yspacing, 5, 1));
    if (kind == GK_TIME || isFrequencyKind(kind)) {
        char name[32];
        fmt(name, sizeof name, "channel %d", g);
        add(addCurve(name, r.pen, p->xBuf, p->yBuf, r.count));
    }
    return s;
}

// Titles, band, grids, frame and curves of sub-graph g.
void drawPage(PlotData* p) {
    const GraphState& gs = graphs();
    const PageLayout& page = gs.page;
    if (!page.verticalFallback) {
        int32_t line = 0;
        const int32_t centre = (page.xmin + page.xmax) / 2;
        for (int32_t i = 0; i < gs.itemsUsed; ++i) {
            const PlotItem& it = gs.items[i];
            if (it.type != ItemType::Title) continue;
            const int32_t top = line == 0 ? page.bandHigh - page.h0 / 2
                                          : page.bandHigh - 3 * page.h0 / 2 -
                                                (line - 1) * 3 * page.h1 / 2 - page.h1 / 4;
            drawText(p, it.pen, it.font, it.text, centre, top, 'c', 't',
                     measure(p, it.font, it.text));
            ++line;
        }
        if (const PlotItem* x = findItem(ItemType::AxisTitle, false))
            drawText(p, x->pen, x->font, x->text, centre, page.bandLow + 1, 'c', 'b',
                     measure(p, x->font, x->text));
        if (const PlotItem* y = findItem(ItemType::AxisTitle, true)) {
            const TextBox box = measure(p, y->font, y->text);
            const int32_t middle = (page.frameBottom + page.frameTop) / 2;
            selectPen(p, y->pen);
            hostcall::DoTextRotatedOut(windowOf(p), y->font, y->text, page.bandLeft + page.h3 / 6,
                                       windowY(*p, middle) + box.width / 2);
        }
    }
    outline(p, 2, page.bandLeft, page.bandLow + 1, page.bandRight - 1, page.bandHigh);
    const PlotItem* xAxis = findItem(ItemType::Axis, false);
    const PlotItem* yAxis = findItem(ItemType::Axis, true);
    if (xAxis) {
        logPrintf("OP drawing x grids\n");
        linearXGrid(p, *xAxis, findItem(ItemType::Grid, false));
    }
    if (yAxis) {
        if (yAxis->logarithmic)
            DrawLogarithmicYGrid(p, *yAxis, findItem(ItemType::Grid, true));
        else
            linearYGrid(p, *yAxis, findItem(ItemType::Grid, true));
    }
    outline(p, 1, page.xmin, page.frameBottom, page.xmax, page.frameTop);
    for (int32_t i = 0; i < gs.itemsUsed; ++i)
        if (gs.items[i].type == ItemType::Curve) DisplayLine(p, gs.items[i]);
}

// The multi-channel heading, once per pass, at the top of the window.
void drawHeading(PlotData* p) {
    const int32_t channels = fileChannels(*p);
    const char* type = recordTypeDescription(p->sig.recordType);
    const std::string text =
        fmtString("%ld pts * %ld ch @ %lg Hz; %s: %s",
                  static_cast<long>(p->sig.recordCount / channels), static_cast<long>(channels),
                  p->sig.samplingRate, type ? type : "", p->sig.format == 'a' ? "ASCII" : "Binary");
    const TextBox box = measure(p, 0, text.c_str());
    p->headingHeight = box.height;
    const int32_t centre = (p->winRect[1] + p->winRect[3]) / 2;
    selectPen(p, 2);
    hostcall::DoTextOut(windowOf(p), 0, text.c_str(), centre - box.width / 2, p->winRect[0]);
}

}  // namespace

void resetPlotItems() {
    GraphState& gs = graphs();
    for (PlotItem& it : gs.items) it = PlotItem{};
    gs.itemsUsed = 0;
    gs.titleCount = gs.xTitleCount = gs.yTitleCount = gs.axisCount = 0;
    gs.mainGrids = gs.yGrids = 0;
}

int32_t reservePlotItem(ItemType type, bool yList, PlotItem** item) {
    GraphState& g = graphs();
    int32_t* counter = nullptr;
    int32_t limit = kPlotItemPool;
    switch (type) {
        case ItemType::Title:
            counter = &g.titleCount;
            limit = 4;
            break;
        case ItemType::AxisTitle:
            counter = yList ? &g.yTitleCount : &g.xTitleCount;
            limit = 1;
            break;
        case ItemType::Axis:
            counter = &g.axisCount;
            limit = 2;
            break;
        case ItemType::Grid:
            counter = yList ? &g.yGrids : &g.mainGrids;
            limit = 1;
            break;
        default:
            break;
    }
    if (g.itemsUsed >= kPlotItemPool) return -2;
    if (counter && *counter >= limit) return 1;
    if (counter) ++*counter;
    PlotItem& it = g.items[g.itemsUsed++];
    it = PlotItem{};
    it.type = type;
    it.yList = yList;
    *item = &it;
    return 0;
}

int32_t windowY(const PlotData& p, int32_t y) {
    return p.winRect[2] - y;
}

void drawPolyline(PlotData* p, const QfPoint* drawingPts, int32_t n) {
    for (int32_t from = 0; from < n; from += kMaxPoints - 1) {
        const int32_t count = std::min(n - from, kMaxPoints);
        for (int32_t k = 0; k < count; ++k) {
            p->polyPts[k].x = drawingPts[from + k].x;
            p->polyPts[k].y = windowY(*p, drawingPts[from + k].y);
        }
        hostcall::DoPolyLine(windowOf(p), p->polyPts, count);
        if (from + count >= n) break;
    }
}

int32_t drawingPass(PlotData* p) {
    GraphState& gs = graphs();
    const bool multi = isMultiChannel(*p);
    const int32_t subGraphs = multi ? std::clamp(p->noChannels, 1, kMaxSubGraphs) : 1;
    int32_t result = 0;
    for (int32_t g = 0; g < subGraphs; ++g) {
        PassRanges r;
        result = convertDataPt(p, g, r);
        logPrintf("                   fxmin    = %g\n", r.fxmin);
        logPrintf("                   fxmax    = %g\n", r.fxmax);
        logPrintf("                   fymin    = %g\n", r.fymin);
        logPrintf("                   fymax    = %g\n", r.fymax);
        logPrintf("                   xspacing = %g\n", r.xspacing);
        logPrintf("                   yspacing = %g\n", r.yspacing);
        if (result != 0) break;
        if (g == 0) {
            hostcall::DoSelectBrush(windowOf(p), 0);
            const int32_t rect[4] = {p->winRect[1], p->winRect[0], p->winRect[3], p->winRect[2]};
            hostcall::DoFillRectangle(windowOf(p), rect, 0);
            if (multi) drawHeading(p);
        }
        if (openGraph(p, g, subGraphs) != 0) {
            logPrintf("** Invalid open: %d\n", 1);
            result = 2;
            break;
        }
        if (buildItems(p, g, r) != 0) {
            result = 3;
            break;
        }
        layoutFrame(p, g, subGraphs);
        drawPage(p);
    }
    cursorRoutine(p->grRecPtr, p, 0, 0, 5, false);
    gs.printing = false;
    return result;
}

}  // namespace qf
