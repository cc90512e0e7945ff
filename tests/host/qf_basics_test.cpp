// The qf host as a process: commands, the shell, recording, and replay of a
// missing or broken script.
#include <gtest/gtest.h>

#include <cstring>

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

TEST(QfBasics, RecordedSessionReplaysByteForByteElsewhere) {
    std::string home = makeTempDir(), dir = makeTempDir(), other = makeTempDir();
    QfResult rec = runQf(dir, home, "shell",
                         "record start s.scr\n"
                         "sine a.tim --freq 50 --rate 1000 --samples 300 --noise uniform:-0.1:0.1\n"
                         "sine b.tim --freq 120 --rate 1000 --samples 200 --int16\n"
                         "add a.tim b.tim sum.tim\n"
                         "fft sum.tim sum.fre --size 64 --interval 64 --window Hanning\n"
                         "record stop\n");
    ASSERT_EQ(rec.status, 0) << rec.output;
    // Lines name the recording's folder; "./" in its place replays the
    // script wherever it is run.
    std::string script = readFile(dir + "s.scr");
    EXPECT_NE(script.find("2010 Sinusoidal               " + dir + " a.tim hrb "),
              std::string::npos)
        << script;
    for (std::size_t at; (at = script.find(dir)) != std::string::npos;)
        script.replace(at, dir.size(), "./");
    writeFile(other + "s.scr", script);
    QfResult play = runQf(other, home + "replay-", "run s.scr --no-pause");
    ASSERT_EQ(play.status, 0) << play.output;
    for (const char* f : {"a.tim", "b.tim", "sum.tim", "sum.fre"}) {
        // The noise continues the engine's random sequence from start-up, so
        // a fresh engine replays the same values.
        EXPECT_EQ(readFile(dir + f), readFile(other + f)) << f;
        EXPECT_FALSE(readFile(other + f).empty()) << f;
    }
}

TEST(QfBasics, FilterRunsTheReadmeWorkedExample) {
    // The coefficient file and the records the README shows, taken from it.
    const std::string readme = readFile(QF_SOURCE_DIR "/README.md");
    const std::string open = "cat > smooth.flt <<'END'\n", close = "\nEND\n";
    const std::size_t from = readme.find(open);
    ASSERT_NE(from, std::string::npos);
    const std::size_t to = readme.find(close, from);
    const std::string flt = readme.substr(from + open.size(), to - from - open.size() + 1);
    const std::string shown = " 2.5000000E-001\n 5.0000000E-001\n 2.5000000E-001\n";
    ASSERT_NE(readme.find("```\n" + shown), std::string::npos);

    std::string home = makeTempDir(), dir = makeTempDir();
    writeFile(dir + "smooth.flt", flt);
    EXPECT_EQ(runQf(dir, home, "impulse imp.tim --rate 1000 --samples 6 --float").status, 0);
    QfResult r = runQf(dir, home, "filter smooth.flt imp.tim out.tim");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("[out.tim] = [imp.tim] filtered by [smooth.flt]"), std::string::npos);
    EXPECT_EQ(runQf(dir, home, "to-text out.tim out-text.tim").status, 0);
    const std::string text = readFile(dir + "out-text.tim");
    EXPECT_NE(text.find("#\r\n 2.5000000E-001\r\n 5.0000000E-001\r\n 2.5000000E-001\r\n"),
              std::string::npos)
        << text;

    QfResult help = runQf(dir, home, "help filter");
    EXPECT_NE(help.output.find("qf filter COEFFS.flt IN.tim OUT.tim"), std::string::npos);
    // A missing coefficient file is an error; nothing is written.
    EXPECT_NE(runQf(dir, home, "filter none.flt imp.tim none.tim").status, 0);
    EXPECT_FALSE(fileExists(dir + "none.tim"));
}
