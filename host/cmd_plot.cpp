// Pictures from the command line: qf plot opens a graph of a signal or
// spectrum file through the display operations, paints it as a window
// would be painted and writes it as PNG, SVG or (printed) PDF.  Inside
// qf shell graphs stay open, and zoom, yzoom, pan, goto and save drive the
// active one through the engine's graph entry points.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/draw.h"
#include "host/qf.h"

namespace qfhost {

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// "800x600": 16..8192 pixels each way.
void parseSize(const std::string& text) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) throw UsageError{"--size takes WIDTHxHEIGHT, not '" + text + "'"};
    const int32_t w = parseInteger(text.substr(0, x), "--size");
    const int32_t h = parseInteger(text.substr(x + 1), "--size");
    if (w < 16 || h < 16 || w > 8192 || h > 8192)
        throw UsageError{"--size must be between 16x16 and 8192x8192"};
    drawSettings().width = w;
    drawSettings().height = h;
}

int32_t displayFor(const std::string& kind, const std::string& file) {
    if (kind.empty())
        return endsWith(file, ".fre") ? QF_OP_MAGNITUDE_DISPLAY : QF_OP_WAVEFORM_DISPLAY;
    if (kind == "waveform") return QF_OP_WAVEFORM_DISPLAY;
    if (kind == "magnitude") return QF_OP_MAGNITUDE_DISPLAY;
    if (kind == "phase") return QF_OP_PHASE_DISPLAY;
    if (kind == "power") return QF_OP_POWER_DISPLAY;
    throw UsageError{"--kind is waveform, magnitude, phase or power, not '" + kind + "'"};
}

// The newest window showing the file.
QfWindow windowOf(const std::string& path) {
    QfWindow found = nullptr;
    for (const WindowInfo& w : graphWindows())
        if (w.title == path) found = w.handle;
    return found;
}

PlotData* activeGraph() {
    for (const WindowInfo& w : graphWindows())
        if (w.handle == activeWindow()) return w.graph;
    return nullptr;
}

// Saves the window: .png and .svg directly, .pdf by printing it (1100).
int saveWindow(Session& s, QfWindow window, const std::string& path) {
    if (!endsWith(path, ".pdf")) return savePicture(window, path);
    setActiveWindow(window);
    drawSettings().nextPrint = path;
    const int r = s.run(QF_OP_PRINT_GRAPH, nullptr);
    drawSettings().nextPrint.clear();
    return r != 0 || ::access(path.c_str(), F_OK) != 0 ? 1 : 0;
}

int plotCommand(Session& s, const Args& args) {
    Options o(args, {{"kind", true}, {"size", true}, {"out", true}, {"draw-trace", true}});
    if (o.positional.size() != 1)
        throw UsageError{
            "usage: qf plot IN.tim|IN.fre [--kind waveform|magnitude|phase|power] "
            "[--size 800x600] [--out FILE.png|FILE.svg|FILE.pdf] [--draw-trace FILE]"};
    const std::string in = o.positional[0];
    const int32_t code = displayFor(o.value("kind"), in);
    const std::string out = o.value("out");
    if (!out.empty() && !endsWith(out, ".png") && !endsWith(out, ".svg") && !endsWith(out, ".pdf"))
        throw UsageError{"--out is a .png, .svg or .pdf file, not '" + out + "'"};
    if (o.has("size")) parseSize(o.value("size"));
    if (o.has("draw-trace") && startDrawTrace(s.resolve(o.value("draw-trace"))) != 0) return 1;
    const std::string path = s.resolve(in);
    int r = s.run(code, [&s, in](CommandBlock& b) { s.setFile(b.out, in); });
    const QfWindow window = windowOf(path);
    if (r == 0 && window == nullptr) {
        std::fprintf(stderr, "qf: no graph of '%s'\n", in.c_str());
        r = 1;
    }
    if (r == 0) {
        setActiveWindow(window);
        paintWindow(window);  // the first paint, as a window system asks for it
        if (!out.empty()) r = saveWindow(s, window, s.resolve(out));
    }
    if (o.has("draw-trace")) stopDrawTrace();
    return r;
}

PlotData* requireGraph() {
    PlotData* g = activeGraph();
    if (g == nullptr) throw UsageError{"no graph is open (open one with 'plot FILE')"};
    return g;
}

int zoomCommand(Session&, const Args& args) {
    if (args.size() != 1) throw UsageError{"usage: zoom in|out|in-reset|out-max"};
    PlotData* g = requireGraph();
    const std::string& a = args[0];
    if (a == "in" || a == "out")
        GraphControlWrapper(g, a == "in" ? 107 : 108, nullptr, nullptr, 0, 0, 0, 0, 0);
    else if (a == "in-reset" || a == "out-max")
        plotGraphCtrl(a == "in-reset" ? 22 : 21, activeWindow());
    else
        throw UsageError{"usage: zoom in|out|in-reset|out-max"};
    return 0;
}

int yzoomCommand(Session&, const Args& args) {
    static const char* const kWords[] = {"in", "out", "up", "down", "auto"};
    for (int i = 0; i < 5 && args.size() == 1; ++i) {
        if (args[0] != kWords[i]) continue;
        GraphControlWrapper(requireGraph(), 109 + i, nullptr, nullptr, 0, 0, 0, 0, 0);
        return 0;
    }
    throw UsageError{"usage: yzoom in|out|up|down|auto"};
}

int panCommand(Session&, const Args& args) {
    static const char* const kWords[] = {"left", "right", "page-left", "page-right"};
    if (args.size() == 1) {
        for (int i = 0; i < 4; ++i)
            if (args[0] == kWords[i]) {
                grPanLeftRightWrapper(requireGraph(), i, 0);
                return 0;
            }
        if (args[0] == "home" || args[0] == "end") {
            requireGraph();
            plotGraphCtrl(args[0] == "home" ? 7 : 8, activeWindow());
            return 0;
        }
    }
    throw UsageError{"usage: pan left|right|page-left|page-right|home|end"};
}

int gotoCommand(Session&, const Args& args) {
    if (args.size() != 1) throw UsageError{"usage: goto N"};
    const int32_t n = parseInteger(args[0], "N");
    if (n < 0) throw UsageError{"goto takes a sample or record number from 0"};
    qfGraphGoTo(requireGraph(), n);
    return 0;
}

int saveCommand(Session& s, const Args& args) {
    if (args.size() != 1) throw UsageError{"usage: save FILE.png|FILE.svg|FILE.pdf"};
    requireGraph();
    return saveWindow(s, activeWindow(), s.resolve(args[0]));
}

int windowsCommand(Session&, const Args& args) {
    if (!args.empty()) throw UsageError{"usage: windows"};
    for (const WindowInfo& w : graphWindows())
        std::printf("%s%d %s\n", w.handle == activeWindow() ? "*" : " ", w.id, w.title.c_str());
    return 0;
}

int selectCommand(Session&, const Args& args) {
    if (args.size() != 1) throw UsageError{"usage: select N"};
    const int32_t id = parseInteger(args[0], "N");
    for (const WindowInfo& w : graphWindows())
        if (w.id == id) {
            setActiveWindow(w.handle);
            return 0;
        }
    std::fprintf(stderr, "qf: no graph window %d\n", id);
    return 1;
}

int drawTraceCommand(Session& s, const Args& args) {
    if (args.size() != 1) throw UsageError{"usage: draw-trace FILE|off"};
    if (args[0] == "off") {
        stopDrawTrace();
        return 0;
    }
    return startDrawTrace(s.resolve(args[0]));
}

CommandRegistrar plotCommands({
    {"plot",
     "IN.tim|IN.fre [--kind waveform|magnitude|phase|power] [--size 800x600] "
     "[--out FILE.png|FILE.svg|FILE.pdf] [--draw-trace FILE]",
     "draw a signal or its spectrum as a picture (in 'qf shell' the graph stays open)",
     plotCommand},
    {"zoom", "in|out|in-reset|out-max", "zoom the active graph along x (qf shell)", zoomCommand},
    {"yzoom", "in|out|up|down|auto", "scale or move the active graph's y range (qf shell)",
     yzoomCommand},
    {"pan", "left|right|page-left|page-right|home|end", "move the active graph (qf shell)",
     panCommand},
    {"goto", "N", "show the active graph from sample or record N (qf shell)", gotoCommand},
    {"save", "FILE.png|FILE.svg|FILE.pdf", "write the active graph as a picture (qf shell)",
     saveCommand},
    {"windows", "", "list the open graph windows, the active one starred (qf shell)",
     windowsCommand},
    {"select", "N", "make graph window N the active one (qf shell)", selectCommand},
    {"draw-trace", "FILE|off", "write every drawing call to FILE, one a line (qf shell)",
     drawTraceCommand},
});

}  // namespace

int savePlots(const std::string& dir, int32_t firstId) {
    ::mkdir(dir.c_str(), 0755);
    std::string folder = dir;
    if (folder.back() != '/') folder += '/';
    int result = 0;
    std::vector<std::string> used;
    for (const WindowInfo& w : graphWindows()) {
        if (w.id < firstId) continue;
        std::string base = w.title.substr(w.title.rfind('/') + 1);
        base = base.substr(0, base.rfind('.'));
        const int32_t kind = GetGraphType(w.graph);
        const char* kindName = kind == 0x1000   ? "magnitude"
                               : kind == 0x2000 ? "phase"
                               : kind == 0x3000 ? "power"
                                                : "waveform";
        std::string name = base + "-" + kindName;
        int copies = 1;
        for (const std::string& u : used) copies += u == name;
        used.push_back(name);
        if (copies > 1) name += "-" + std::to_string(copies);
        const std::string path = folder + name + ".png";
        if (savePicture(w.handle, path) == 0)
            std::printf("saved: %s\n", path.c_str());
        else
            result = 1;
    }
    return result;
}

int32_t nextWindowId() {
    int32_t id = 1;
    for (const WindowInfo& w : graphWindows()) id = std::max(id, w.id + 1);
    return id;
}

}  // namespace qfhost
