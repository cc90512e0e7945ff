// Runs the qf command-line host as a user would: a separate process with
// its own home and working folder.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_host.h"

namespace qf::test {

struct QfResult {
    int status = -1;     // exit status
    std::string out;     // standard output
    std::string err;     // standard error
    std::string output;  // both (standard output first; on a terminal, as shown)
};

// Runs `qf <args>` in `dir` with QF_HOME=`home`, feeding `input` to its
// standard input.  `args` is shell text: quote as a shell would.
QfResult runQf(const std::string& dir, const std::string& home, const std::string& args,
               const std::string& input = "");

// In a child process: becomes `qf <args>` in `dir` with QF_HOME=`home`.
[[noreturn]] void execQf(const std::string& dir, const std::string& home,
                         const std::vector<std::string>& args);

// Runs `qf <args>` and sends it Ctrl-C (SIGINT) once a file whose name
// starts with `marker` appears in `dir` (an output being written under its
// temporary name), or the moment it starts when `marker` is empty.
// Standard input is `input`.
QfResult runQfInterrupted(const std::string& dir, const std::string& home,
                          const std::vector<std::string>& args, const std::string& marker,
                          const std::string& input = "");

// Runs a bash script in `dir` with `qf` on the PATH and QF_HOME=`home`.
QfResult runShell(const std::string& dir, const std::string& home, const std::string& script);

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

// A test of qf with a fresh home and working folder.
class QfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home = makeTempDir();
        dir = makeTempDir();
    }
    QfResult qf(const std::string& args, const std::string& input = "") {
        return runQf(dir, home, args, input);
    }
    std::string home, dir;
};

}  // namespace qf::test
