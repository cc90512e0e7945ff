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
    return r;
}

CommandRegistrar scriptCommands({
    {"run", "SCRIPT.scr [--no-pause]",
     "replay a recorded script (exit status 0 when every line ran)", runCommand},
});

}  // namespace

}  // namespace qfhost
