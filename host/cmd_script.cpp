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
    Options o(args, {{"no-pause", false}, {"plots", true}, {"draw-trace", true}});
    if (o.positional.size() != 1)
        throw UsageError{"usage: qf run SCRIPT.scr [--no-pause] [--plots DIR] [--draw-trace FILE]"};
    const std::string full = s.resolve(o.positional[0]);
    if (const std::string why = unreadableReason(full); !why.empty()) {
        std::fprintf(stderr, "qf: cannot read script '%s': %s\n", o.positional[0].c_str(),
                     why.c_str());
        return kExitFailed;
    }
    // Graphs the replay opens, and its prints, are saved in the plots folder.
    const std::string plots = o.has("plots") ? s.resolve(o.value("plots")) : std::string();
    drawSettings().printDir = plots.empty() ? s.startDir() : plots;
    if (!plots.empty()) ::mkdir(plots.c_str(), 0755);
    if (o.has("draw-trace") && startDrawTrace(s.resolve(o.value("draw-trace"))) != 0)
        return kExitFailed;
    const int32_t firstWindow = nextWindowId();
    s.noPause = o.has("no-pause");
    // The replay runs in the script's folder: "./" entries are found there.
    std::string dir = full.substr(0, full.rfind('/') + 1);
    if (::chdir(dir.c_str()) != 0) {
        std::fprintf(stderr, "qf: cannot enter '%s'\n", dir.c_str());
        return kExitFailed;
    }
    int r = s.run(QF_OP_RUN_SCRIPT, [&s, full](CommandBlock& b) { s.setFile(b.out, full); });
    s.noPause = false;
    if (::chdir(s.startDir().c_str()) != 0) {
    }
    if (!plots.empty() && savePlots(plots, firstWindow) != 0 && r == 0) r = kExitFailed;
    if (o.has("draw-trace")) stopDrawTrace();
    return r;
}

CommandRegistrar scriptCommands({
    {"run", "SCRIPT.scr [--no-pause] [--plots DIR] [--draw-trace FILE]",
     "replay a recorded script", runCommand, false, 0,
     "Lines run in order in the script's folder ('./' stands for it); the replay stops\n"
     "at the first line that fails, naming it (exit status 1).  --no-pause skips the\n"
     "pauses of '@' lines; Ctrl-C stops the replay (exit status 130).  --plots DIR saves\n"
     "the graphs the replay opens, and its prints, in DIR; --draw-trace FILE writes\n"
     "every drawing call to FILE.\n"},
});

}  // namespace

}  // namespace qfhost
