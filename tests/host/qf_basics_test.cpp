// The qf host as a process: commands, the shell, recording, and replay of a
// missing or broken script.
#include <gtest/gtest.h>

#include <cstring>

#include "host/qf_process.h"
#include "support/test_host.h"

using namespace qf::test;

using QfBasics = QfTest;

TEST_F(QfBasics, SettingsPersistBetweenRuns) {
    EXPECT_EQ(qf("format text").status, 0);
    EXPECT_EQ(qf("overflow wrap").status, 0);
    QfResult r = qf("status");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("text (a)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("wrap around (w)"), std::string::npos);
    EXPECT_TRUE(fileExists(home + "quillfen.sav"));
    EXPECT_TRUE(fileExists(home + "quillfen.log"));
}

TEST_F(QfBasics, BadCommandLinesExitTwo) {
    EXPECT_EQ(qf("no-such-command").status, 2);
    EXPECT_EQ(qf("format sideways").status, 2);
    EXPECT_EQ(qf("run").status, 2);
    QfResult help = qf("help run");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("SCRIPT.scr"), std::string::npos);
}

TEST_F(QfBasics, ShellRecordsLineOperations) {
    QfResult r = qf("shell",
                    "record start s.scr\n"
                    "record remark first try\n"
                    "record pause 2\n"
                    "record message \"look now\"\n"
                    "record stop\n"
                    "record stop\n");
    EXPECT_EQ(r.status, 1) << r.output;  // the second stop has nothing to stop
    EXPECT_EQ(readFile(dir + "s.scr"), "* first try\r\n@ 2\r\n?look now\r\n");
}

TEST_F(QfBasics, ReplayOfMissingOrBrokenScriptFails) {
    EXPECT_EQ(qf("run absent.scr").status, 1);
    writeFile(dir + "bad.scr", "* fine\n4711 Unknown   ./ a.tim\n");
    QfResult r = qf("run bad.scr --no-pause");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Command not supported in script line 2."), std::string::npos)
        << r.output;
}

// A session of line and spectral commands, recorded and replayed in another
// folder, makes the same files byte for byte.
TEST_F(QfBasics, RecordedSessionReplaysByteForByteElsewhere) {
    const std::string other = makeTempDir();
    const QfResult rec =
        qf("shell",
           "record start s.scr\n"
           "sine n.tim --freq 50 --rate 1000 --samples 300 --noise uniform:-0.1:0.1\n"
           "sine a.tim --freq 50 --rate 1000 --samples 600 --int16\n"
           "sine b.tim --freq 120 --rate 1000 --samples 300\n"
           "add a.tim n.tim sum.tim\n"
           "fft sum.tim sum.fre --size 64 --interval 64 --window Hanning\n"
           "fft a.tim a.fre --size 128 --interval 64 --window Hamming\n"
           "ifft a.fre back.tim\n"
           "average a.fre avg.fre --frames 3\n"
           "decompose a.fre p.tim\n"
           "compose pr.tim b.tim c.fre --size 64 --interval 32\n"
           "spectrum-reciprocal c.fre inv.fre\n"
           "autocorr a.tim r.tim --skip 10 --length 100\n"
           "xcorr a.tim b.tim x.tim --length-a 50\n"
           "conv b.tim a.tim y.tim --skip-b 5 --length-b 40\n"
           "dct b.tim d.fre --size 32\n"
           "record stop\n");
    ASSERT_EQ(rec.status, 0) << rec.output;
    EXPECT_EQ(rec.output.find("error"), std::string::npos) << rec.output;
    // Lines name the recording's folder; "./" in its place replays the
    // script wherever it is run.
    std::string script = readFile(dir + "s.scr");
    for (const std::string& line : {"2010 Sinusoidal               " + dir + " n.tim hrb ",
                                    "5160 ComposeFFT_XjY           " + dir + " pr.tim " + dir +
                                        " b.tim 40 20 " + dir + " c.fre\r\n"})
        EXPECT_NE(script.find(line), std::string::npos) << script;
    for (std::size_t at; (at = script.find(dir)) != std::string::npos;)
        script.replace(at, dir.size(), "./");
    writeFile(other + "s.scr", script);
    const QfResult play = runQf(other, home + "replay-", "run s.scr --no-pause");
    ASSERT_EQ(play.status, 0) << play.output;
    // The noise continues the engine's random sequence from start-up, so a
    // fresh engine replays the same values.
    for (const char* f : {"n.tim", "a.tim", "sum.tim", "sum.fre", "back.tim", "avg.fre", "pr.tim",
                          "pi.tim", "c.fre", "inv.fre", "r.tim", "x.tim", "y.tim", "d.fre"}) {
        EXPECT_FALSE(readFile(other + f).empty()) << f;
        EXPECT_EQ(readFile(dir + f), readFile(other + f)) << f;
    }
}

// The README's worked example runs in the README test; here its usage line
// and a missing coefficient file, which is an error that writes nothing.
TEST_F(QfBasics, FilterUsageAndAMissingCoefficientFile) {
    EXPECT_NE(qf("help filter").output.find("qf filter COEFFS.flt IN.tim OUT.tim"),
              std::string::npos);
    EXPECT_EQ(qf("impulse imp.tim --rate 1000 --samples 6 --float").status, 0);
    EXPECT_NE(qf("filter none.flt imp.tim none.tim").status, 0);
    EXPECT_FALSE(fileExists(dir + "none.tim"));
}
