// The settings file: fallbacks, hostile content and the save/load round trip.
#include "core/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "core/engine.h"
#include "support/test_host.h"

using namespace qf;
using namespace qf::test;

namespace {

std::string settingsWithTwoLines(const std::string& line2) {
    return "0000 0 0 0 0\r\n" + line2 + "\r\n";
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
    for (int i = 0; i < 19; ++i) body += " " + std::to_string(i) + " 0 0 \r\n";
    for (int i = 0; i < 5; ++i) body += std::to_string(i) + " 0 0 10 \r\n";
    body += "0000\r\n00000400\r\n00000400\r\n9 6 2\r\n" + spaced + " data/\r\n0 0 0 0\r\n";
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
