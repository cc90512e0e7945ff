// The settings file as users meet it through qf: many commands started at
// once, a home folder that is missing or is a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "host/qf_process.h"
#include "support/test_host.h"

namespace qf {
namespace {

using namespace test;

// Starts `qf <args>` `count` times at once in `dir` with QF_HOME=`home`,
// their output discarded; the exit statuses once all have ended.
std::vector<int> runQfTogether(int count, const std::string& dir, const std::string& home,
                               const std::vector<std::string>& args) {
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            execQf(dir, home, args);
        }
        pids.push_back(pid);
    }
    std::vector<int> statuses;
    for (pid_t pid : pids) {
        int st = 0;
        ::waitpid(pid, &st, 0);
        statuses.push_back(WIFEXITED(st) ? WEXITSTATUS(st) : -1);
    }
    return statuses;
}

// Sixty "qf status" at once each read the settings and save them again:
// the file is exactly as it was, and no temporary file is left.
TEST(QfSettings, SixtyCommandsAtOnceKeepTheSettings) {
    const std::string home = makeTempDir();
    const std::string work = std::filesystem::canonical(makeTempDir()).string() + "/";
    // Values unlike the defaults everywhere; line 31 is the folder qf works in.
    std::string settings = "0001 1 0 0 0\r\na w n\r\n";
    for (int i = 0; i < 19; ++i)
        settings += std::string(" ") + std::to_string(i) + " " + std::to_string(i % 7) + " " +
                    std::to_string(i % 3) + " \r\n";
    for (int i = 0; i < 5; ++i) settings += std::to_string(i) + " 1 2 12 \r\n";
    settings += "000D\r\n00001000\r\nFFFFFED4\r\nC 6 2\r\n" + work + "\r\n0 0 0 0\r\n";
    writeFile(home + "quillfen.sav", settings);

    const test::QfResult one = runQf(work, home, "status");
    ASSERT_EQ(one.status, 0) << one.output;
    ASSERT_EQ(readFile(home + "quillfen.sav"), settings);  // one run keeps them

    const std::vector<int> statuses = runQfTogether(60, work, home, {"status"});
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 0), 60);
    EXPECT_EQ(readFile(home + "quillfen.sav"), settings);
    EXPECT_EQ(filesIn(home),
              (std::vector<std::string>{"quillfen.lck", "quillfen.log", "quillfen.sav"}));
}

// A missing home folder is made with its parents when the settings are
// saved; qf refuses a home that is a file, naming it, and leaves the file.
TEST(QfSettings, HomeFolderMadeOrReported) {
    const std::string base = makeTempDir();
    const std::string work = makeTempDir();
    const test::QfResult made = runQf(work, base + "x/y/home", "status");
    EXPECT_EQ(made.status, 0) << made.output;
    EXPECT_NE(readFile(base + "x/y/home/quillfen.sav").find("b s y\r\n"), std::string::npos);

    writeFile(base + "file", "kept");
    const test::QfResult refused = runQf(work, base + "file", "status");
    EXPECT_EQ(refused.status, 1) << refused.output;
    EXPECT_NE(refused.output.find("cannot use '" + base +
                                  "file/' as the home folder: Not a "
                                  "directory"),
              std::string::npos)
        << refused.output;
    EXPECT_EQ(readFile(base + "file"), "kept");
}

}  // namespace
}  // namespace qf
