// Signal files as users meet them through qf: damaged inputs are refused
// with the file and the line, and an output that cannot be written whole
// (a full disk, here a file size limit) leaves no partial file and the
// older file of its name as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/qf_process.h"
#include "support/test_host.h"

namespace qf {
namespace {

using namespace test;

std::string header(const std::string& count, const std::string& type, const std::string& format,
                   const std::string& end = "#\r\n") {
    return "Remark                : damaged\r\nNumber of record      : " + count +
           "\r\nRecord type number    : " + type +
           "\r\nSignal frequency      : 0 Hz\r\nSampling rate         : 8000 Hz\r\n"
           "File format           : " +
           format + "\r\nData begin            " + end;
}

// Every damaged input: exit status 1, a message with the file and the line,
// no output, and an older output file untouched.
TEST(QfSignalFiles, DamagedInputsAreRefused) {
    const std::string home = makeTempDir();
    const std::string work = makeTempDir();
    const std::string r = " 1.0000000E+000\r\n";
    const struct {
        const char* name;
        std::string text;
        const char* shows;  // besides the file's path
    } cases[] = {
        {"letters.tim", header("4", "REAL32", "ASCII") + r + "  abc          \r\n" + r + r,
         "line 9 (record 1) is not a REAL32 record"},
        {"comma.tim", header("4", "REAL32", "ASCII") + r + r + r + " 1,5000000E+000\r\n",
         "line 11 (record 3) is not a REAL32 record"},
        {"hex.tim", header("3", "INTEGER16", "ASCII") + "0001\r\n00G1\r\n0002\r\n",
         "line 9 (record 1) is not a INTEGER16 record"},
        {"binary.tim", header("3", "REAL32", "ASCII", "#\r\x1A") + std::string(12, '\x3F'),
         "line 7: the file format is ASCII, but binary data follows the header"},
        {"text.tim", header("3", "REAL32", "Binary") + r + r + r,
         "line 7: the file format is Binary, but text follows the header"},
        {"noend.tim", header("3", "REAL32", "Binary", "#\r") + std::string(12, '\x3F'),
         "line 7: the header does not end with '#', CR and the byte 1A"},
        {"count.tim", header("18446744073709551620", "REAL32", "ASCII") + r + r + r,
         "line 2: the number of records is out of range"},
    };
    for (const auto& c : cases) {
        writeFile(work + c.name, c.text);
        writeFile(work + "out.tim", "older");
        for (const std::string& command : {std::string("scale ") + c.name + " 2 out.tim",
                                           std::string("fft ") + c.name + " out.tim --size 32"}) {
            const test::QfResult run = runQf(work, home, command);
            EXPECT_EQ(run.status, 1) << command << "\n" << run.output;
            EXPECT_NE(run.output.find(work + c.name), std::string::npos) << run.output;
            EXPECT_NE(run.output.find(c.shows), std::string::npos) << command << "\n" << run.output;
            EXPECT_EQ(readFile(work + "out.tim"), "older") << command;
        }
    }
    // Nothing but the inputs and the older output.
    std::vector<std::string> expected = {"out.tim"};
    for (const auto& c : cases) expected.push_back(c.name);
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> left = filesIn(work);
    std::erase_if(left, [](const std::string& n) { return n.starts_with(".qf-stdin"); });
    EXPECT_EQ(left, expected);
}

// qf with a limit on the size of the files it writes: writes beyond it fail
// as on a full disk.  Returns the exit status and the output.
test::QfResult runQfWithFileLimit(const std::string& dir, const std::string& home,
                                  const std::vector<std::string>& args, rlim_t bytes) {
    test::QfResult result;
    int out[2];
    if (::pipe(out) != 0) return result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
        const rlimit limit = {bytes, bytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
        test::execQf(dir, home, args);
    }
    ::close(out[1]);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0) result.output.append(buf, n);
    ::close(out[0]);
    int st = 0;
    ::waitpid(pid, &st, 0);
    result.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return result;
}

TEST(QfSignalFiles, AFullDiskLeavesNoPartialFileAndTheOlderOne) {
    const std::string home = makeTempDir();
    const std::string work = makeTempDir();
    // 400000 float samples are 1.6 MB: over a 1 MB limit; written behind in
    // large windows (binary), and in text.
    for (const char* format : {"binary", "text"}) {
        ASSERT_EQ(runQf(work, home, std::string("format ") + format).status, 0);
        writeFile(work + "sine.tim", "older sine");
        const test::QfResult run = runQfWithFileLimit(
            work, home,
            {"sine", "sine.tim", "--rate", "8000", "--freq", "100", "--samples", "400000"},
            1 << 20);
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_NE(
            run.output.find("Error writing output file '" + work + "sine.tim': File too large."),
            std::string::npos)
            << run.output;
        EXPECT_EQ(readFile(work + "sine.tim"), "older sine");
        std::vector<std::string> left = filesIn(work);
        std::erase_if(left, [](const std::string& n) { return n.starts_with(".qf-stdin"); });
        EXPECT_EQ(left, std::vector<std::string>{"sine.tim"}) << format;
    }
    // Within the limit the same command writes the file.
    const test::QfResult fits = runQfWithFileLimit(
        work, home, {"sine", "small.tim", "--rate", "8000", "--freq", "100", "--samples", "1000"},
        1 << 20);
    EXPECT_EQ(fits.status, 0) << fits.output;
    EXPECT_TRUE(fileExists(work + "small.tim"));
}

}  // namespace
}  // namespace qf
