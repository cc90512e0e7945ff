#include "core/signal_wiring.h"

#include <cstring>

#include "core/engine.h"
#include "core/host.h"
#include "core/log.h"
#include "graph/seams.h"
#include "signal/report.h"

namespace qf {

namespace {

int32_t sendMessage(int32_t kind, const char* text) {
    return emitMsg(kind, "%s", text);
}

void traceLine(const char* text) {
    logPrintf("%s", text);
}

void noteReplacedFile(const nameNpath& file) {
    PlotData* graph = findPlotDataByName(file);
    if (!graph) return;
    StatusRecord& s = status();
    s.replotOpCode = graphOpCode(graph);
    s.replotFile = file;
    s.replotFile.n[sizeof s.replotFile.n - 1] = '\0';
    s.replotFile.p[sizeof s.replotFile.p - 1] = '\0';
    if (graphWindow(graph)) dropGraphWindow(graph);
}

void replotWrittenFile(const nameNpath& file) {
    const StatusRecord& s = status();
    if (s.replotOpCode != 0 && strncmp(s.replotFile.n, file.n, sizeof file.n) == 0 &&
        strncmp(s.replotFile.p, file.p, sizeof file.p) == 0)
        replotNotedGraph();
}

}  // namespace

void wireSignalLayer() {
    SignalHooks hooks;
    hooks.message = sendMessage;
    hooks.trace = traceLine;
    hooks.replacing = noteReplacedFile;
    hooks.written = replotWrittenFile;
    setSignalHooks(hooks);
}

FxModes engineModes() {
    const StatusRecord& s = status();
    return FxModes{s.overflowMode, s.roundingMode};
}

}  // namespace qf
