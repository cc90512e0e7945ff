// Runs the qf command-line host as a user would: a separate process with
// its own home and working folder.
#pragma once

#include <string>
#include <vector>

namespace qf::test {

struct QfResult {
    int status = -1;     // exit status
    std::string output;  // standard output and standard error together
};

// Runs `qf <args>` in `dir` with QF_HOME=`home`, feeding `input` to its
// standard input.
QfResult runQf(const std::string& dir, const std::string& home, const std::string& args,
               const std::string& input = "");

// The same on a terminal: standard input and output are a pseudo-terminal
// that echoes nothing.  Each step waits until the output shows `await`
// (after what earlier steps waited for), then types `type`.  A run that
// stalls for `timeoutSeconds` is killed (status -1, "[timed out]").
struct TerminalStep {
    std::string await;
    std::string type;
};
QfResult runQfOnTerminal(const std::string& dir, const std::string& home,
                         const std::vector<std::string>& args,
                         const std::vector<TerminalStep>& steps, int timeoutSeconds = 20);

}  // namespace qf::test
