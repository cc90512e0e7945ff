// qf on a terminal: a replay asks for the files and values its script
// leaves open, and waits at message lines.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "host/qf_process.h"
#include "support/test_host.h"

using namespace qf::test;

namespace {

// The samples of a binary REAL32 signal file (data after '#', CR, Ctrl-Z).
std::vector<float> samples(const std::string& file) {
    std::vector<float> v;
    std::size_t hash = file.find("#\r\x1a");
    if (hash == std::string::npos) return v;
    for (std::size_t at = hash + 3; at + 4 <= file.size(); at += 4) {
        float d;
        std::memcpy(&d, file.data() + at, 4);
        v.push_back(d);
    }
    return v;
}

const char* kScript =
    "?Look at this\r\n"
    "2010 Sinusoidal               ./ a.tim hrb 50 1000 100 0 1 0 2 0 0 0\r\n"
    "3035 MultiplicationK          ?Signal_to_scale a.tim ?$Factor ?Scaled_signal half.tim\r\n";

}  // namespace

TEST(QfTerminal, ReplayAsksForValuesAndFiles) {
    std::string home = makeTempDir(), dir = makeTempDir();
    writeFile(dir + "ask.scr", kScript);
    // Enter after the message, the factor, Enter keeps a.tim, then a new
    // name for the output.
    QfResult r = runQfOnTerminal(dir, home, {"run", "ask.scr"},
                                 {{"press Enter", "\n"},
                                  {"Factor: ", "0.25\n"},
                                  {"Signal to scale [a.tim]: ", "\n"},
                                  {"Scaled signal [half.tim]: ", "quarter.tim\n"}});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Look at this"), std::string::npos) << r.output;
    EXPECT_FALSE(fileExists(dir + "half.tim"));
    std::vector<float> a = samples(readFile(dir + "a.tim"));
    std::vector<float> q = samples(readFile(dir + "quarter.tim"));
    ASSERT_EQ(a.size(), 100u);
    ASSERT_EQ(q.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(q[i], a[i] * 0.25f) << i;
    // sin(2 pi 50 t) at 1000 Hz: sample 5 is the crest.
    EXPECT_EQ(q[5], 0.25f);
}

TEST(QfTerminal, EndOfInputOrCtrlCAtAValueStopsTheReplay) {
    // Ctrl-D gives no value (1); Ctrl-C stops the command (130).
    for (const auto& [key, status] : {std::pair{"\x04", 1}, std::pair{"\x03", 130}}) {
        std::string home = makeTempDir(), dir = makeTempDir();
        writeFile(dir + "ask.scr", kScript);
        QfResult r = runQfOnTerminal(dir, home, {"run", "ask.scr"},
                                     {{"press Enter", "\n"}, {"Factor: ", key}});
        EXPECT_EQ(r.status, status) << r.output;
        EXPECT_TRUE(fileExists(dir + "a.tim"));
        EXPECT_FALSE(fileExists(dir + "half.tim"));
        EXPECT_EQ(r.output.find("error:"), std::string::npos) << r.output;
    }
}

TEST(QfTerminal, CtrlCAtAFileStopsBeforeTheLineRuns) {
    std::string home = makeTempDir(), dir = makeTempDir();
    writeFile(dir + "ask.scr", kScript);
    QfResult r = runQfOnTerminal(
        dir, home, {"run", "ask.scr"},
        {{"press Enter", "\n"}, {"Factor: ", "0.5\n"}, {"Signal to scale [a.tim]: ", "\x03"}});
    EXPECT_EQ(r.status, 130) << r.output;
    EXPECT_FALSE(fileExists(dir + "half.tim"));
    EXPECT_FALSE(fileExists(dir + "noname3.tim"));
    EXPECT_EQ(r.output.find("error:"), std::string::npos) << r.output;
}

TEST(QfTerminal, CtrlCInTheShellStopsOnlyTheReplay) {
    std::string home = makeTempDir(), dir = makeTempDir();
    writeFile(dir + "ask.scr", kScript);
    QfResult r = runQfOnTerminal(dir, home, {"shell"},
                                 {{"qf> ", "run ask.scr\n"},
                                  {"press Enter", "\x03"},
                                  {"qf> ", "form\x03"},  // drops the half-typed line
                                  {"qf> ", "format text\n"},
                                  {"qf> ", "status\n"},
                                  {"qf> ", "\x04"}});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_FALSE(fileExists(dir + "a.tim"));  // Esc was down before line 2
    EXPECT_NE(r.output.find("text (a)"), std::string::npos) << r.output;
}

TEST(QfTerminal, WithoutATerminalNothingWaits) {
    std::string home = makeTempDir(), dir = makeTempDir();
    writeFile(dir + "ask.scr",
              "?Look at this\r\n"
              "2010 Sinusoidal               ./ a.tim hrb 50 1000 100 0 1 0 2 0 0 0\r\n"
              "3035 MultiplicationK          ?Signal_to_scale a.tim 0.5 ?Scaled_signal h.tim\r\n");
    QfResult r = runQf(dir, home, "run ask.scr");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("press Enter"), std::string::npos) << r.output;
    std::vector<float> a = samples(readFile(dir + "a.tim"));
    std::vector<float> h = samples(readFile(dir + "h.tim"));
    ASSERT_EQ(h.size(), 100u);
    EXPECT_EQ(h[5], 0.5f * a[5]);
}
