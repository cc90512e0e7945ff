// The qf host as a process: commands, the shell, recording, and replay of a
// missing or broken script.
#include <gtest/gtest.h>

#include "host/qf_process.h"
#include "support/test_host.h"

using namespace qf::test;

TEST(QfBasics, SettingsPersistBetweenRuns) {
    std::string home = makeTempDir(), dir = makeTempDir();
    EXPECT_EQ(runQf(dir, home, "format text").status, 0);
    EXPECT_EQ(runQf(dir, home, "overflow wrap").status, 0);
    QfResult r = runQf(dir, home, "status");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("text (a)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("wrap around (w)"), std::string::npos);
    EXPECT_TRUE(fileExists(home + "quillfen.sav"));
    EXPECT_TRUE(fileExists(home + "quillfen.log"));
}

TEST(QfBasics, BadCommandLinesExitTwo) {
    std::string home = makeTempDir(), dir = makeTempDir();
    EXPECT_EQ(runQf(dir, home, "no-such-command").status, 2);
    EXPECT_EQ(runQf(dir, home, "format sideways").status, 2);
    EXPECT_EQ(runQf(dir, home, "run").status, 2);
    QfResult help = runQf(dir, home, "help run");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("SCRIPT.scr"), std::string::npos);
}

TEST(QfBasics, ShellRecordsLineOperations) {
    std::string home = makeTempDir(), dir = makeTempDir();
    QfResult r = runQf(dir, home, "shell",
                       "record start s.scr\n"
                       "record remark first try\n"
                       "record pause 2\n"
                       "record message \"look now\"\n"
                       "record stop\n"
                       "record stop\n");
    EXPECT_EQ(r.status, 1) << r.output;  // the second stop has nothing to stop
    EXPECT_EQ(readFile(dir + "s.scr"), "* first try\r\n@ 2\r\n?look now\r\n");
}

TEST(QfBasics, ReplayOfMissingOrBrokenScriptFails) {
    std::string home = makeTempDir(), dir = makeTempDir();
    EXPECT_EQ(runQf(dir, home, "run absent.scr").status, 1);
    writeFile(dir + "bad.scr", "* fine\n4711 Unknown   ./ a.tim\n");
    QfResult r = runQf(dir, home, "run bad.scr --no-pause");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Command not supported in script line 2."), std::string::npos)
        << r.output;
}
