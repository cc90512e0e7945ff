// qf's graph windows and the drawing callbacks the engine draws them with,
// mapped to cairo: pens (colour and line type), the brush, fonts with real
// text metrics, clipping, and raster operation 9 (exclusive-or) for band
// rectangles.  Every window is an ARGB image of the chosen size; saving as
// SVG or printing draws the next pass into a vector surface as well.
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "host/draw.h"

extern "C" int32_t DoGetPenInfo(int32_t* colours, int32_t* lineTypes);
extern "C" int32_t DoGetFontInfo(int32_t* types, int32_t* styles, int32_t* sizes);

namespace qfhost {

namespace {

struct Rgb {
    double r, g, b;
};

// The colour table the engine's colour numbers index.
constexpr Rgb kColours[16] = {
    {0, 0, 0},          {1, 1, 1},         {0.63, 0.63, 0.63}, {0.0, 0.0, 0.63},
    {0.78, 0.0, 0.0},   {0.0, 0.47, 0.0},  {0.5, 0.0, 0.5},    {0.0, 0.5, 0.5},
    {0.93, 0.93, 0.89}, {0.0, 0.0, 1.0},   {0.0, 0.78, 0.0},   {0.0, 0.78, 0.78},
    {1.0, 0.4, 0.4},    {0.78, 0.0, 0.78}, {0.9, 0.8, 0.0},    {0.3, 0.3, 0.3},
};

Rgb colourOf(int32_t index) {
    return index >= 0 && index < 16 ? kColours[index] : kColours[0];
}

// A surface being drawn besides the window's image: an SVG picture or a
// print page, written under a temporary name until finished.
struct Capture {
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    std::string path, temporary;
    bool print = false;
    bool drawn = false;
};

struct GraphWin {
    int32_t id = 0;
    QfWindow handle = nullptr;
    PlotData* graph = nullptr;
    std::string title;
    int32_t width = 0, height = 0;
    cairo_surface_t* image = nullptr;
    cairo_t* cr = nullptr;
    Capture capture;
    bool dirty = true;
    int32_t pen = 0, brush = 0, rasterOp = 0;
    bool clipOn = false;
    int32_t clip[4] = {0, 0, 0, 0};
};

struct DrawState {
    std::vector<std::unique_ptr<GraphWin>> windows;
    QfWindow active = nullptr;
    int32_t nextId = 1;
    Rgb rgbPen[19] = {};
    bool rgbSet[19] = {};
    int32_t brushColour = 8;
    std::FILE* trace = nullptr;
    int printCount = 0;
};

DrawState& state() {
    static DrawState s;
    return s;
}

GraphWin* find(QfWindow w) {
    for (auto& g : state().windows)
        if (g->handle == w) return g.get();
    return nullptr;
}

// --- the trace ----------------------------------------------------------

std::string quoted(const char* text) {
    std::string q = "\"";
    for (const char* c = text ? text : ""; *c; ++c) {
        if (*c == '"' || *c == '\\') q += '\\';
        q += *c;
    }
    return q + "\"";
}

std::string windowName(QfWindow w) {
    const GraphWin* g = find(w);
    return g ? "w" + std::to_string(g->id) : "w?";
}

template <typename... T>
void trace(const char* name, const T&... args) {
    std::FILE* f = state().trace;
    if (!f) return;
    std::string line = name;
    ((line += " " + args), ...);
    std::fprintf(f, "%s\n", line.c_str());
}

std::string num(int32_t v) {
    return std::to_string(v);
}

// --- surfaces -------------------------------------------------------------

void fillBackground(cairo_t* cr, int32_t w, int32_t h) {
    const Rgb c = colourOf(state().brushColour);
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_fill(cr);
}

cairo_t* imageOf(GraphWin& g) {
    if (!g.cr) {
        g.image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, g.width, g.height);
        g.cr = cairo_create(g.image);
        fillBackground(g.cr, g.width, g.height);
    }
    return g.cr;
}

// Applies fn to every surface the window draws on (image first).
template <typename F>
void eachTarget(GraphWin& g, F fn) {
    fn(imageOf(g), false);
    if (g.capture.cr) {
        g.capture.drawn = true;
        fn(g.capture.cr, true);
    }
}

void applyPen(cairo_t* cr, int32_t pen) {
    int32_t colours[19] = {}, types[19] = {};
    DoGetPenInfo(colours, types);
    const int32_t p = pen >= 0 && pen < 19 ? pen : 0;
    const Rgb c = state().rgbSet[p] ? state().rgbPen[p] : colourOf(colours[p]);
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
    cairo_set_line_width(cr, 1.0);
    static const double kDash[] = {6, 3}, kDot[] = {1, 2}, kDashDot[] = {6, 3, 1, 3},
                        kDashDotDot[] = {6, 2, 1, 2, 1, 2};
    switch (types[p]) {
        case 1:
            cairo_set_dash(cr, kDash, 2, 0);
            break;
        case 2:
            cairo_set_dash(cr, kDot, 2, 0);
            break;
        case 3:
            cairo_set_dash(cr, kDashDot, 4, 0);
            break;
        case 4:
            cairo_set_dash(cr, kDashDotDot, 6, 0);
            break;
        default:
            cairo_set_dash(cr, nullptr, 0, 0);
            break;
    }
}

void applyFont(cairo_t* cr, int32_t font) {
    int32_t types[5] = {}, styles[5] = {}, sizes[5] = {10, 10, 10, 10, 10};
    DoGetFontInfo(types, styles, sizes);
    const int32_t f = font >= 0 && font < 5 ? font : 0;
    static const char* const kFamilies[] = {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono"};
    const char* family = kFamilies[types[f] >= 0 && types[f] < 3 ? types[f] : 0];
    cairo_select_font_face(cr, family,
                           (styles[f] & 2) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           (styles[f] & 1) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    const int32_t points = sizes[f] > 0 && sizes[f] < 200 ? sizes[f] : 10;
    cairo_set_font_size(cr, points * 96.0 / 72.0);
}

void applyClip(GraphWin& g, cairo_t* cr) {
    cairo_reset_clip(cr);
    if (!g.clipOn) return;
    cairo_rectangle(cr, g.clip[0], g.clip[1], g.clip[2] - g.clip[0], g.clip[3] - g.clip[1]);
    cairo_clip(cr);
}

// Finishes the capture: the file takes its name, or an empty or failed one
// is removed.  0, or 1 when the file could not be written.
int finishCapture(GraphWin& g) {
    Capture& c = g.capture;
    if (!c.surface) return 0;
    cairo_destroy(c.cr);
    cairo_surface_finish(c.surface);
    const bool ok = cairo_surface_status(c.surface) == CAIRO_STATUS_SUCCESS && c.drawn;
    cairo_surface_destroy(c.surface);
    int result = 0;
    if (ok && std::rename(c.temporary.c_str(), c.path.c_str()) == 0) {
        if (c.print) std::printf("printed: %s\n", c.path.c_str());
    } else {
        std::remove(c.temporary.c_str());
        if (c.drawn) std::fprintf(stderr, "qf: cannot write '%s'\n", c.path.c_str());
        result = 1;
    }
    std::fflush(stdout);
    c = Capture{};
    return result;
}

bool beginCapture(GraphWin& g, const std::string& path, bool print) {
    finishCapture(g);
    Capture c;
    c.path = path;
    c.temporary = path + ".qf-part";
    c.print = print;
    const bool svg = path.size() > 4 && path.compare(path.size() - 4, 4, ".svg") == 0;
    c.surface = svg ? cairo_svg_surface_create(c.temporary.c_str(), g.width, g.height)
                    : cairo_pdf_surface_create(c.temporary.c_str(), g.width, g.height);
    if (cairo_surface_status(c.surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(c.surface);
        std::remove(c.temporary.c_str());
        std::fprintf(stderr, "qf: cannot write '%s'\n", path.c_str());
        return false;
    }
    c.cr = cairo_create(c.surface);
    g.capture = c;
    return true;
}

std::string nextPrintPath() {
    DrawSettings& s = drawSettings();
    if (!s.nextPrint.empty()) {
        std::string p = s.nextPrint;
        s.nextPrint.clear();
        return p;
    }
    std::string dir = s.printDir;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    for (;;) {
        std::string p = dir + "print-" + std::to_string(++state().printCount) + ".pdf";
        if (::access(p.c_str(), F_OK) != 0) return p;
    }
}

void freeWindow(GraphWin& g) {
    finishCapture(g);
    if (g.cr) cairo_destroy(g.cr);
    if (g.image) cairo_surface_destroy(g.image);
    g.cr = nullptr;
    g.image = nullptr;
}

}  // namespace

DrawSettings& drawSettings() {
    static DrawSettings s;
    return s;
}

std::vector<WindowInfo> graphWindows() {
    std::vector<WindowInfo> list;
    for (auto& g : state().windows) list.push_back({g->handle, g->graph, g->title, g->id});
    return list;
}

QfWindow activeWindow() {
    return state().active;
}

void setActiveWindow(QfWindow window) {
    if (find(window)) state().active = window;
}

void paintWindow(QfWindow window) {
    GraphWin* g = find(window);
    if (!g || !g->dirty) return;
    g->dirty = false;
    plotGraphCtrl(10, window);
}

int savePicture(QfWindow window, const std::string& path) {
    GraphWin* g = find(window);
    if (!g) {
        std::fprintf(stderr, "qf: no graph window to save\n");
        return 1;
    }
    finishPrints();
    const bool png = path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0;
    const bool svg = path.size() > 4 && path.compare(path.size() - 4, 4, ".svg") == 0;
    if (svg) {
        if (!beginCapture(*g, path, false)) return 1;
        g->dirty = false;
        plotGraphCtrl(10, window);
        return finishCapture(*g);
    }
    if (!png) {
        std::fprintf(stderr, "qf: pictures are .png, .svg or (printed) .pdf files: '%s'\n",
                     path.c_str());
        return 1;
    }
    paintWindow(window);
    cairo_t* cr = imageOf(*g);
    cairo_surface_flush(cairo_get_target(cr));
    const std::string temporary = path + ".qf-part";
    if (cairo_surface_write_to_png(g->image, temporary.c_str()) != CAIRO_STATUS_SUCCESS ||
        std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        std::fprintf(stderr, "qf: cannot write '%s'\n", path.c_str());
        return 1;
    }
    return 0;
}

void finishPrints() {
    for (auto& g : state().windows)
        if (g->capture.print) finishCapture(*g);
}

void closeGraphWindows() {
    DrawState& s = state();
    while (!s.windows.empty()) {
        std::unique_ptr<GraphWin> g = std::move(s.windows.back());
        s.windows.pop_back();
        freeWindow(*g);
        plotGraphCtrl(2, g->handle);
    }
    s.active = nullptr;
    stopDrawTrace();
    // Fonts and surfaces were cached by the drawing library: give them back.
    cairo_debug_reset_static_data();
    FcFini();
}

int startDrawTrace(const std::string& path) {
    stopDrawTrace();
    if (path.empty()) return 0;
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "qf: cannot write the draw trace '%s'\n", path.c_str());
        return 1;
    }
    state().trace = f;
    return 0;
}

void stopDrawTrace() {
    if (state().trace) std::fclose(state().trace);
    state().trace = nullptr;
}

}  // namespace qfhost

using qfhost::find;
using qfhost::GraphWin;
using qfhost::num;
using qfhost::state;
using qfhost::trace;
using qfhost::windowName;

extern "C" {

QF_EXPORT int32_t DoCreateGraphWindow(const char* title, PlotData* graph) {
    auto g = std::make_unique<GraphWin>();
    g->id = state().nextId++;
    g->handle = reinterpret_cast<QfWindow>(static_cast<intptr_t>(g->id));
    g->graph = graph;
    g->title = title ? title : "";
    g->width = qfhost::drawSettings().width;
    g->height = qfhost::drawSettings().height;
    const QfWindow w = g->handle;
    state().windows.push_back(std::move(g));
    state().active = w;
    qfSetGraphWindow(graph, w);
    qfSetGraphRect(graph, 0, 0, qfhost::drawSettings().height, qfhost::drawSettings().width);
    trace("DoCreateGraphWindow", qfhost::quoted(title), windowName(w));
    return 0;
}

// The window goes as a window system closes one: the engine hears grCLOSE.
QF_EXPORT int32_t DoCloseGraphWindow(QfWindow window) {
    trace("DoCloseGraphWindow", windowName(window));
    auto& list = state().windows;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i]->handle != window) continue;
        std::unique_ptr<GraphWin> g = std::move(list[i]);
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        if (state().active == window) state().active = list.empty() ? nullptr : list.back()->handle;
        qfhost::freeWindow(*g);
        plotGraphCtrl(2, window);
        break;
    }
    return 0;
}

// The engine asks for the active window only to print it: the next pass
// of that window is also drawn on a PDF page.
QF_EXPORT int32_t DoGetActiveMDIWindow(void) {
    qfhost::finishPrints();
    GraphWin* g = find(state().active);
    trace("DoGetActiveMDIWindow");
    if (!g) return 0;
    qfhost::beginCapture(*g, qfhost::nextPrintPath(), true);
    return g->id;
}

QF_EXPORT int32_t DoForceRepaint(QfWindow window) {
    trace("DoForceRepaint", windowName(window));
    if (GraphWin* g = find(window)) g->dirty = true;
    return 0;
}

QF_EXPORT int32_t DoSetHorizontalScrollPosition(QfWindow window, int32_t position, int32_t redraw) {
    trace("DoSetHorizontalScrollPosition", windowName(window), num(position), num(redraw));
    return 0;
}

QF_EXPORT int32_t DoSetHorizontalScrollRange(QfWindow window, int32_t low, int32_t high) {
    trace("DoSetHorizontalScrollRange", windowName(window), num(low), num(high));
    return 0;
}

QF_EXPORT int32_t DoSelectPen(QfWindow window, int32_t pen) {
    trace("DoSelectPen", windowName(window), num(pen));
    if (GraphWin* g = find(window)) g->pen = pen;
    return 0;
}

QF_EXPORT int32_t DoSetPenColorFromRGB(int32_t pen, int32_t r, int32_t g, int32_t b) {
    trace("DoSetPenColorFromRGB", num(pen), num(r), num(g), num(b));
    if (pen >= 0 && pen < 19) {
        state().rgbPen[pen] = {(r & 0xFF) / 255.0, (g & 0xFF) / 255.0, (b & 0xFF) / 255.0};
        state().rgbSet[pen] = true;
    }
    return 0;
}

QF_EXPORT int32_t DoSelectBrush(QfWindow window, int32_t brush) {
    trace("DoSelectBrush", windowName(window), num(brush));
    if (GraphWin* g = find(window)) g->brush = brush;
    return 0;
}

QF_EXPORT int32_t DoSetBrushColor(int32_t brush, int32_t colour) {
    trace("DoSetBrushColor", num(brush), num(colour));
    if (brush == 0) state().brushColour = colour;
    return 0;
}

QF_EXPORT int32_t DoPolyLine(QfWindow window, const QfPoint* points, int32_t count) {
    if (state().trace) {
        std::string pts;
        for (int32_t i = 0; i < count; ++i)
            pts += (i ? " " : "") + num(points[i].x) + "," + num(points[i].y);
        trace("DoPolyLine", windowName(window), num(count), pts);
    }
    GraphWin* g = find(window);
    if (!g || count < 1 || !points) return 0;
    const bool exclusiveOr = g->rasterOp == 9;
    qfhost::eachTarget(*g, [&](cairo_t* cr, bool vector) {
        if (exclusiveOr && vector) return;  // a rubber band is no part of a picture
        cairo_save(cr);
        qfhost::applyClip(*g, cr);
        qfhost::applyPen(cr, g->pen);
        if (exclusiveOr) {
            // Inverting every pixel once: drawn twice, the window is as before.
            cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
            cairo_set_dash(cr, nullptr, 0, 0);
        }
        cairo_move_to(cr, points[0].x + 0.5, points[0].y + 0.5);
        for (int32_t i = 1; i < count; ++i) cairo_line_to(cr, points[i].x + 0.5, points[i].y + 0.5);
        if (count == 1) cairo_line_to(cr, points[0].x + 1.0, points[0].y + 0.5);
        cairo_stroke(cr);
        cairo_restore(cr);
    });
    return 0;
}

QF_EXPORT int32_t DoFillRectangle(QfWindow window, const int32_t* rect, int32_t brush) {
    if (!rect) return 0;
    trace("DoFillRectangle", windowName(window), num(rect[0]), num(rect[1]), num(rect[2]),
          num(rect[3]), num(brush));
    GraphWin* g = find(window);
    if (!g) return 0;
    const qfhost::Rgb c = qfhost::colourOf(state().brushColour);
    qfhost::eachTarget(*g, [&](cairo_t* cr, bool) {
        cairo_save(cr);
        cairo_reset_clip(cr);
        cairo_set_source_rgb(cr, c.r, c.g, c.b);
        cairo_rectangle(cr, rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1]);
        cairo_fill(cr);
        cairo_restore(cr);
    });
    return 0;
}

QF_EXPORT int32_t DoTextOut(QfWindow window, int32_t font, const char* text, int32_t x, int32_t y) {
    trace("DoTextOut", windowName(window), num(font), qfhost::quoted(text), num(x), num(y));
    GraphWin* g = find(window);
    if (!g || !text) return 0;
    qfhost::eachTarget(*g, [&](cairo_t* cr, bool) {
        cairo_save(cr);
        qfhost::applyClip(*g, cr);
        qfhost::applyPen(cr, g->pen);
        qfhost::applyFont(cr, font);
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        cairo_move_to(cr, x, y + fe.ascent);
        cairo_show_text(cr, text);
        cairo_restore(cr);
    });
    return 0;
}

// The text runs upwards from (x, y), its top towards the left.
QF_EXPORT int32_t DoTextRotatedOut(QfWindow window, int32_t font, const char* text, int32_t x,
                                   int32_t y) {
    trace("DoTextRotatedOut", windowName(window), num(font), qfhost::quoted(text), num(x), num(y));
    GraphWin* g = find(window);
    if (!g || !text) return 0;
    qfhost::eachTarget(*g, [&](cairo_t* cr, bool) {
        cairo_save(cr);
        qfhost::applyClip(*g, cr);
        qfhost::applyPen(cr, g->pen);
        qfhost::applyFont(cr, font);
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        cairo_translate(cr, x, y);
        cairo_rotate(cr, -M_PI / 2);
        cairo_move_to(cr, 0, fe.ascent);
        cairo_show_text(cr, text);
        cairo_restore(cr);
    });
    return 0;
}

QF_EXPORT int32_t DoGetTextExtent(QfWindow window, int32_t font, const char* text, int32_t* width,
                                  int32_t* height) {
    trace("DoGetTextExtent", windowName(window), num(font), qfhost::quoted(text));
    GraphWin* g = find(window);
    int32_t w = 0, h = 0;
    if (g && text) {
        cairo_t* cr = qfhost::imageOf(*g);
        cairo_save(cr);
        qfhost::applyFont(cr, font);
        cairo_text_extents_t te;
        cairo_font_extents_t fe;
        cairo_text_extents(cr, text, &te);
        cairo_font_extents(cr, &fe);
        cairo_restore(cr);
        w = static_cast<int32_t>(std::ceil(te.x_advance));
        h = static_cast<int32_t>(std::ceil(fe.ascent + fe.descent));
    }
    if (width) *width = w;
    if (height) *height = h;
    return 0;
}

// A character's height, and the width of an average digit.
QF_EXPORT int32_t DoGetTextMetrics(QfWindow window, int32_t font, int32_t* height, int32_t* width) {
    trace("DoGetTextMetrics", windowName(window), num(font));
    int32_t w = 0, h = 0;
    DoGetTextExtent(window, font, "0", &w, &h);
    if (height) *height = h;
    if (width) *width = w;
    return 0;
}

QF_EXPORT int32_t DoSetRasterOp(QfWindow window, int32_t op) {
    trace("DoSetRasterOp", windowName(window), num(op));
    if (GraphWin* g = find(window)) g->rasterOp = op;
    return 0;
}

QF_EXPORT int32_t DoEnableClipping(QfWindow window, int32_t on) {
    trace("DoEnableClipping", windowName(window), num(on));
    if (GraphWin* g = find(window)) g->clipOn = on != 0;
    return 0;
}

QF_EXPORT int32_t DoSetRectangularClipRegion(QfWindow window, int32_t left, int32_t top,
                                             int32_t right, int32_t bottom) {
    trace("DoSetRectangularClipRegion", windowName(window), num(left), num(top), num(right),
          num(bottom));
    if (GraphWin* g = find(window)) {
        g->clip[0] = left;
        g->clip[1] = top;
        g->clip[2] = right;
        g->clip[3] = bottom;
    }
    return 0;
}

}  // extern "C"

// Each callback has exactly the type the engine binds it as.
#define QF_DRAW_CHECKED(name) \
    static_assert(std::is_same_v<decltype(&name), QfHost_##name>, #name " has the wrong type");
QF_DRAW_CHECKED(DoCreateGraphWindow)
QF_DRAW_CHECKED(DoCloseGraphWindow)
QF_DRAW_CHECKED(DoGetActiveMDIWindow)
QF_DRAW_CHECKED(DoForceRepaint)
QF_DRAW_CHECKED(DoSetHorizontalScrollPosition)
QF_DRAW_CHECKED(DoSetHorizontalScrollRange)
QF_DRAW_CHECKED(DoSelectPen)
QF_DRAW_CHECKED(DoSetPenColorFromRGB)
QF_DRAW_CHECKED(DoSelectBrush)
QF_DRAW_CHECKED(DoSetBrushColor)
QF_DRAW_CHECKED(DoPolyLine)
QF_DRAW_CHECKED(DoFillRectangle)
QF_DRAW_CHECKED(DoTextOut)
QF_DRAW_CHECKED(DoTextRotatedOut)
QF_DRAW_CHECKED(DoGetTextExtent)
QF_DRAW_CHECKED(DoGetTextMetrics)
QF_DRAW_CHECKED(DoSetRasterOp)
QF_DRAW_CHECKED(DoEnableClipping)
QF_DRAW_CHECKED(DoSetRectangularClipRegion)
