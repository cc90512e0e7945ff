// The settings file: fallbacks, hostile content, checked FFT settings, the
// save/load round trip, and saves that are whole or not made at all.
#include "core/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/engine.h"
#include "support/test_host.h"

using namespace qf;
using namespace qf::test;

namespace {

std::string settingsWithTwoLines(const std::string& line2) {
    return "0000 0 0 0 0\r\n" + line2 + "\r\n";
}

// A whole settings file with the given lines 27 to 29.
std::string settingsWithFft(const std::string& window, const std::string& size,
                            const std::string& interval) {
    std::string body = settingsWithTwoLines("a s y");
    for (int i = 0; i < 19; ++i) body += std::string(" ") + std::to_string(i) + " 1 0 \r\n";
    for (int i = 0; i < 5; ++i) body += std::to_string(i) + " 0 0 10 \r\n";
    body += window + "\r\n" + size + "\r\n" + interval + "\r\n9 6 2\r\n";
    body += "/\r\n0 0 0 0\r\n";
    return body;
}

}  // namespace

TEST(Settings, MissingFileGivesTheDefaultPensAndFonts) {
    std::string home = makeTempDir();
    TestHost& h = TestHost::instance();
    ASSERT_EQ(startEngine(home), 0);
    EXPECT_EQ(qfenStatus->roundingMode, 'e');
    EXPECT_EQ(qfenStatus->logWindowShown, 'y');
    EXPECT_EQ(h.count("stdLogWinOpen"), 0);
    const int32_t colours[19] = {8, 3, 6, 5, 5, 2, 2, 3, 3, 0, 1, 0, 3, 0, 0, 0, -1, 2, 3};
    for (int pen = 0; pen < 19; ++pen) {
        EXPECT_EQ(h.penColour[pen], colours[pen]) << pen;
        if (pen >= 13 && pen <= 15) continue;
        EXPECT_EQ(h.penLineType[pen], (pen == 5 || pen == 6) ? 2 : 0) << pen;
    }
    // Pens 13-15 (RGB colours from the settings file) are left to the host.
    for (const HostCall& c : h.calls()) {
        if (c.name != "DoSetPenColor" && c.name != "DoSetPenLineType") continue;
        EXPECT_TRUE(c.args[0] != "13" && c.args[0] != "14" && c.args[0] != "15") << c.args[0];
    }
    auto brush = h.callsNamed("DoSetBrushColor");
    ASSERT_EQ(brush.size(), 1u);
    EXPECT_EQ(brush[0].args, (std::vector<std::string>{"0", "8"}));
    for (int font = 0; font < 5; ++font) {
        EXPECT_EQ(h.fontSize[font], 10);
        EXPECT_EQ(h.callsNamed("DoSetFontType").at(font).args,
                  (std::vector<std::string>{std::to_string(font), "0"}));
        EXPECT_EQ(h.callsNamed("DoSetFontStyle").at(font).args,
                  (std::vector<std::string>{std::to_string(font), "0"}));
    }

    // A set that already ran is applied again only when forced.
    initGraphDefaultColour2(0);
    EXPECT_EQ(h.penColour[0], 8);
    initGraphDefaultColour2(1);
    EXPECT_EQ(h.penColour[0], 0);
    EXPECT_EQ(h.penColour[9], 1);
    EXPECT_EQ(h.penColour[10], 4);
    SetForBlackOnWhiteColors();
    EXPECT_EQ(h.penColour[0], 1);
    EXPECT_EQ(h.penColour[9], 0);
    EXPECT_EQ(h.penColour[16], -1);
    EXPECT_EQ(h.callsNamed("DoSetBrushColor").back().args[1], "1");

    initGraphDefaultColour(1);
    ExitQuillfen();
    const std::string saved = readFile(home + "quillfen.sav");
    EXPECT_NE(saved.find("\r\n 0 8 0 \r\n 1 3 0 \r\n 2 6 0 \r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\r\n 16 -1 0 \r\n 17 2 0 \r\n 18 3 0 \r\n"), std::string::npos) << saved;
}

TEST(Settings, BadModeCharactersFallBackAndHideLog) {
    std::string home = makeTempDir();
    writeFile(home + "quillfen.sav", settingsWithTwoLines("x q n"));
    ASSERT_EQ(startEngine(home), 0);
    EXPECT_EQ(qfenStatus->outputFormat, 'b');
    EXPECT_EQ(qfenStatus->overflowMode, 's');
    EXPECT_EQ(qfenStatus->logWindowShown, 'n');
    auto hide = TestHost::instance().callsNamed("stdLogWinOpen");
    ASSERT_EQ(hide.size(), 1u);
    EXPECT_EQ(hide[0].args[0], std::to_string('h'));
    // The file ended after line 2.
    EXPECT_EQ(qfenStatus->fftWindow, 0);
    EXPECT_EQ(qfenStatus->fftSize, 1024);
    EXPECT_EQ(qfenStatus->fftInterval, 1024);
    const int32_t* cc = runtime().controlCenter;
    EXPECT_EQ(std::vector<int32_t>(cc, cc + 3), (std::vector<int32_t>{9, 6, 2}));
    ExitQuillfen();
}

TEST(Settings, ShortLineOneZeroesAllFive) {
    std::string home = makeTempDir();
    writeFile(home + "quillfen.sav", "00FF 1 2 3\na w y\n");  // bare LF accepted
    ASSERT_EQ(startEngine(home), 0);
    EXPECT_EQ(board().boardPresent, 0);
    EXPECT_EQ(board().acceleratorOn, 0);
    EXPECT_EQ(qfenStatus->outputFormat, 'a');
    EXPECT_EQ(qfenStatus->overflowMode, 'w');
    ExitQuillfen();
}

TEST(Settings, SaveThenLoadKeepsValues) {
    std::string home = makeTempDir();
    std::string work = makeTempDir();
    ASSERT_EQ(startEngine(home), 0);
    board().boardPresent = 0x1A;
    board().acceleratorOn = 1;
    qfenStatus->outputFormat = 'a';
    qfenStatus->overflowMode = 'w';
    qfenStatus->logWindowShown = 'n';
    qfenStatus->fftWindow = 13;
    qfenStatus->fftSize = 4096;
    qfenStatus->fftInterval = -300;
    TestHost::instance().penColour[3] = 7;
    TestHost::instance().penLineType[4] = 2;
    TestHost::instance().fontSize[2] = 14;
    runtime().controlCenter[0] = 12;
    ASSERT_EQ(::chdir(work.c_str()), 0);
    ExitQuillfen();

    std::string saved = readFile(home + "quillfen.sav");
    EXPECT_EQ(saved.rfind("001A 1 0 0 0\r\na w n\r\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("\r\n000D\r\n00001000\r\nFFFFFED4\r\nC 6 2\r\n"), std::string::npos)
        << saved;
    EXPECT_NE(saved.find(work + "\r\n0 0 0 0\r\n"), std::string::npos);

    ASSERT_EQ(::chdir("/"), 0);
    board() = BoardSettings{};
    ASSERT_EQ(startEngine(home), 0);
    EXPECT_EQ(board().boardPresent, 0x1A);
    EXPECT_EQ(board().acceleratorOn, 1);
    EXPECT_EQ(qfenStatus->outputFormat, 'a');
    EXPECT_EQ(qfenStatus->overflowMode, 'w');
    EXPECT_EQ(qfenStatus->fftWindow, 13);
    EXPECT_EQ(qfenStatus->fftSize, 4096);
    EXPECT_EQ(qfenStatus->fftInterval, -300);
    EXPECT_EQ(runtime().controlCenter[0], 12);
    EXPECT_EQ(graphStyle().penColour[3], 7);
    EXPECT_EQ(graphStyle().penLineType[4], 2);
    EXPECT_EQ(graphStyle().fontSize[2], 14);
    EXPECT_EQ(TestHost::instance().penColour[3], 7);  // handed to the host
    char cwd[1024];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd) + "/", work);
    ExitQuillfen();
}

TEST(Settings, DirectoryWithBlankRestoredUpToBlank) {
    std::string home = makeTempDir();
    std::string work = makeTempDir();
    std::string spaced = work + "my";
    ASSERT_EQ(::mkdir(spaced.c_str(), 0755), 0);
    std::string body = settingsWithTwoLines("b s y");
    for (int i = 0; i < 19; ++i) body += std::string(" ") + std::to_string(i) + " 0 0 \r\n";
    for (int i = 0; i < 5; ++i) body += std::to_string(i) + " 0 0 10 \r\n";
    body += "0000\r\n00000400\r\n00000400\r\n9 6 2\r\n";
    body += spaced;
    body += " data/\r\n0 0 0 0\r\n";
    writeFile(home + "quillfen.sav", body);
    ASSERT_EQ(::chdir("/"), 0);
    ASSERT_EQ(startEngine(home), 0);
    char cwd[1024];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd), spaced);
    ExitQuillfen();
}

TEST(Settings, HostileContentLoadsWithFallbacks) {
    std::string home = makeTempDir();
    std::string garbage = "FFFFFFFFFFFFFFFFFFFF 99999999999999999999 -1 x\r\n";
    garbage += std::string("\x01\x02\xff\x00\x1a", 5) + "\r\n";
    garbage += std::string(5000, 'z') + "\r\n";  // an over-long pen line
    garbage += "0000\r\nZZ\r\n";
    for (int i = 0; i < 30; ++i) garbage += "/no/such/directory/anywhere\r\n";
    writeFile(home + "quillfen.sav", garbage);
    ASSERT_EQ(::chdir("/"), 0);
    ASSERT_EQ(startEngine(home), 0);
    EXPECT_EQ(qfenStatus->outputFormat, 'b');
    EXPECT_EQ(qfenStatus->overflowMode, 's');
    char cwd[1024];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_STREQ(cwd, "/");               // a directory that cannot be made current is ignored
    ASSERT_EQ(::chdir(home.c_str()), 0);  // later tests write in the current folder
    ExitQuillfen();
}

// Lines 27 to 29 hold a window of the table, a size the FFT takes and a
// 32-bit interval as hexadecimal digits; anything else there gives the
// default with one warning naming the line.
TEST(Settings, FftSettingsAreCheckedOnLoad) {
    const struct {
        const char *window, *size, *interval;
        int32_t fftWindow, fftSize, fftInterval;
        std::vector<std::string> warnings;  // what follows "holds "
    } cases[] = {
        {"000F", "00100000", "FFFFFED4", 15, 1 << 20, -300, {}},
        {" 0003 ", "00000020", "00000000", 3, 32, 0, {}},
        {"0010",
         "000003E8",
         "123456789",
         0,
         1024,
         1024,
         {"\"0010\" on line 27, which is not a window number (0 to 15); 0 is used.",
          "\"000003E8\" on line 28, which is not an FFT size (a power of two from 32 to 1048576); "
          "1024 is used.",
          "\"123456789\" on line 29, which is not a frame interval (at most 8 hex digits); 1024 is "
          "used."}},
        {"FFFFFFFF",
         "00200000",
         "400 junk",
         0,
         1024,
         1024,
         {"\"FFFFFFFF\" on line 27, which is not a window number (0 to 15); 0 is used.",
          "\"00200000\" on line 28, which is not an FFT size (a power of two from 32 to 1048576); "
          "1024 is used.",
          "\"400 junk\" on line 29, which is not a frame interval (at most 8 hex digits); 1024 is "
          "used."}},
        {"", "-400", "00000010", 0, 1024, 16, {}},
    };
    for (const auto& c : cases) {
        std::string home = makeTempDir();
        writeFile(home + "quillfen.sav", settingsWithFft(c.window, c.size, c.interval));
        ASSERT_EQ(startEngine(home), 0);
        EXPECT_EQ(std::tuple(qfenStatus->fftWindow, qfenStatus->fftSize, qfenStatus->fftInterval),
                  std::tuple(c.fftWindow, c.fftSize, c.fftInterval))
            << c.window << " " << c.size << " " << c.interval;
        std::vector<std::string> expected;
        for (const std::string& w : c.warnings)
            expected.push_back("The settings file " + home + "quillfen.sav holds " + w);
        if (std::string(c.window).empty())  // lines that are there but empty or signed
            expected = {"The settings file " + home +
                            "quillfen.sav holds \"\" on line 27, which is not a window number "
                            "(0 to 15); 0 is used.",
                        "The settings file " + home +
                            "quillfen.sav holds \"-400\" on line 28, which is not an FFT size (a "
                            "power of two from 32 to 1048576); 1024 is used."};
        EXPECT_EQ(TestHost::instance().messages(QF_MSG_NOTICE), expected) << c.window;
        EXPECT_TRUE(TestHost::instance().messages(QF_MSG_ERROR).empty());
        ASSERT_EQ(::chdir("/"), 0);
        ExitQuillfen();
    }
}

// A save writes the whole file under its name and leaves no temporary file;
// a missing home folder is made with its parents.
TEST(Settings, SavesAreWholeAndMakeTheHomeFolder) {
    const std::string base = makeTempDir();
    const std::string home = base + "a/b/home/";
    ASSERT_EQ(startEngine(home), 0);
    qfenStatus->fftSize = 2048;
    ExitQuillfen();
    const std::string saved = readFile(home + "quillfen.sav");
    EXPECT_NE(saved.find("\r\n00000800\r\n"), std::string::npos) << saved;
    EXPECT_TRUE(saved.ends_with("0 0 0 0\r\n"));
    EXPECT_EQ(filesIn(home), (std::vector<std::string>{"quillfen.lck", "quillfen.sav"}));

    // Saved again over the file: still whole, nothing else left.
    ASSERT_EQ(startEngine(home), 0);
    EXPECT_EQ(qfenStatus->fftSize, 2048);
    qfenStatus->fftSize = 4096;
    ExitQuillfen();
    EXPECT_NE(readFile(home + "quillfen.sav").find("\r\n00001000\r\n"), std::string::npos);
    const std::vector<std::string> left = filesIn(home);
    EXPECT_TRUE(std::none_of(left.begin(), left.end(),
                             [](const std::string& n) { return n.ends_with(".tmp"); }));
    ASSERT_EQ(::chdir("/"), 0);
}

// A home that is a file cannot hold the settings: said once while the
// library is loaded, and nothing is left behind.
TEST(Settings, UnsavableSettingsAreReportedOnce) {
    const std::string base = makeTempDir();
    writeFile(base + "plain", "not a folder");
    const std::string home = base + "plain/";
    const std::string said =
        "The settings could not be saved in " + home + ": the home folder cannot be made.";
    std::vector<std::string> notices;
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(startEngine(home), 0);
        ExitQuillfen();
        for (const std::string& m : TestHost::instance().messages(QF_MSG_NOTICE))
            notices.push_back(m);
    }
    EXPECT_EQ(notices, std::vector<std::string>{said});
    EXPECT_EQ(readFile(base + "plain"), "not a folder");
    EXPECT_EQ(filesIn(base), std::vector<std::string>{"plain"});
}
