#include "host/qf_process.h"

#include <sys/wait.h>

#include <cstdio>

#include "support/test_host.h"

namespace qf::test {

QfResult runQf(const std::string& dir, const std::string& home, const std::string& args,
               const std::string& input) {
    std::string inFile = dir + ".qf-stdin";
    writeFile(inFile, input);
    std::string cmd = "cd '" + dir + "' && QF_HOME='" + home + "' '" QF_BUILD_DIR "/qf' " + args +
                      " < '" + inFile + "' 2>&1";
    QfResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::remove(inFile.c_str());
    return r;
}

}  // namespace qf::test
