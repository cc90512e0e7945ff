// Replaying scripts: qf run.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "host/draw.h"
#include "host/qf.h"

namespace qfhost {

namespace {

int runCommand(Session& s, const Args& args) {
    Options o(args, {"no-pause"}, {"plots", "draw-trace"});
    if (o.positional.size() != 1)
        throw UsageError{"usage: qf run SCRIPT.scr [--no-pause] [--plots DIR] [--draw-trace FILE]"};
    // Graphs the replay opens, and its prints, are saved in the plots folder.
    const std::string plots = o.has("plots") ? s.resolve(o.value("plots")) : std::string();
    drawSettings().printDir = plots.empty() ? s.startDir() : plots;
    if (!plots.empty()) ::mkdir(plots.c_str(), 0755);
    if (o.has("draw-trace") && startDrawTrace(s.resolve(o.value("draw-trace"))) != 0) return 1;
    const int32_t firstWindow = nextWindowId();
    s.noPause = o.has("no-pause");
    std::string full = s.resolve(o.positional[0]);
    if (::access(full.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "qf: cannot read script '%s'\n", full.c_str());
        return 1;
    }
    // The replay runs in the script's folder: "./" entries are found there.
    std::string dir = full.substr(0, full.rfind('/') + 1);
    if (::chdir(dir.c_str()) != 0) {
        std::fprintf(stderr, "qf: cannot enter '%s'\n", dir.c_str());
        return 1;
    }
    int r = s.run(QF_OP_RUN_SCRIPT, [&s, full](CommandBlock& b) { s.setFile(b.out, full); });
    s.noPause = false;
    if (::chdir(s.startDir().c_str()) != 0) {
    }
    if (!plots.empty() && savePlots(plots, firstWindow) != 0) r = 1;
    if (o.has("draw-trace")) stopDrawTrace();
    return r;
}

CommandRegistrar scriptCommands({
    {"run", "SCRIPT.scr [--no-pause] [--plots DIR] [--draw-trace FILE]",
     "replay a recorded script (exit status 0 when every line ran); --plots saves its graphs",
     runCommand},
});

}  // namespace

}  // namespace qfhost
