// Replaying scripts: qf run.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "host/qf.h"

namespace qfhost {

namespace {

int runCommand(Session& s, const Args& args) {
    Options o(args, {"no-pause"});
    if (o.positional.size() != 1) throw UsageError{"usage: qf run SCRIPT.scr [--no-pause]"};
    const std::string full = s.resolve(o.positional[0]);
    if (const std::string why = unreadableReason(full); !why.empty()) {
        std::fprintf(stderr, "qf: cannot read script '%s': %s\n", o.positional[0].c_str(),
                     why.c_str());
        return kExitFailed;
    }
    s.noPause = o.has("no-pause");
    // The replay runs in the script's folder: "./" entries are found there.
    std::string dir = full.substr(0, full.rfind('/') + 1);
    if (::chdir(dir.c_str()) != 0) {
        std::fprintf(stderr, "qf: cannot enter '%s'\n", dir.c_str());
        return kExitFailed;
    }
    const int r = s.run(QF_OP_RUN_SCRIPT, [&s, full](CommandBlock& b) { s.setFile(b.out, full); });
    s.noPause = false;
    if (::chdir(s.startDir().c_str()) != 0) {
    }
    return r;
}

CommandRegistrar scriptCommands({
    {"run", "SCRIPT.scr [--no-pause]", "replay a recorded script", runCommand, false, 0,
     "Lines run in order in the script's folder ('./' stands for it); the replay stops\n"
     "at the first line that fails, naming it (exit status 1).  --no-pause skips the\n"
     "pauses of '@' lines; Ctrl-C stops the replay (exit status 130).\n"},
});

}  // namespace

}  // namespace qfhost
