// Runs the qf command-line host as a user would: a separate process with
// its own home and working folder.
#pragma once

#include <string>

namespace qf::test {

struct QfResult {
    int status = -1;     // exit status
    std::string output;  // standard output and standard error together
};

// Runs `qf <args>` in `dir` with QF_HOME=`home`, feeding `input` to its
// standard input.
QfResult runQf(const std::string& dir, const std::string& home, const std::string& args,
               const std::string& input = "");

}  // namespace qf::test
