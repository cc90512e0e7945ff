// Start-up, the log, the home path and the extension filter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/host.h"
#include "core/operation.h"
#include "platform/platform.h"
#include "support/test_host.h"

using namespace qf;
using namespace qf::test;

TEST(StartUp, MissingHostModuleBindsNothing) {
    EXPECT_EQ(InitQuillfen("libnot-loaded-anywhere.so", "/tmp/"), 1);
}

TEST(StartUp, AHostWithoutEveryCallbackStopsStartUpWithAMessage) {
    // The C library is loaded, and exports none of the callbacks.
    std::string home = makeTempDir();
    EXPECT_EQ(InitQuillfen("libc.so.6", home.c_str()), 2);
    EXPECT_NE(readFile(home + "quillfen.log")
                  .find("The host does not export 'stdEmitMsg'.  The engine cannot start."),
              std::string::npos);
    // A proper host starts the engine again.
    ASSERT_EQ(startEngine(home), 0);
    EXPECT_GT(operationTable().count, 0);
    ExitQuillfen();
}

TEST(StartUp, HostModuleIsFoundByItsNameInEitherCase) {
    // The test program itself, named as a host would name its executable.
    void* program = platform::findLoadedModule(nullptr);
    EXPECT_EQ(platform::findLoadedModule("QUILLFEN_TESTS.EXE"), program);
    EXPECT_EQ(platform::findLoadedModule("quillfen_tests"), program);
    EXPECT_EQ(bindHost(platform::findLoadedModule("Quillfen_Tests")), QF_HOST_CALLBACK_COUNT);
    // A loaded library, by its file name and by its name alone.
    void* c = platform::findLoadedModule("libc.so.6");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(platform::findLoadedModule("LIBC"), c);
    EXPECT_EQ(platform::findLoadedModule("quillfen_test"), nullptr);
}

TEST(StartUp, BindsAllCallbacksAndStartsTimerLast) {
    std::string home = makeTempDir();
    ASSERT_EQ(startEngine(home), 0);
    const auto& calls = TestHost::instance().calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().name, "StartTimer");
    EXPECT_GT(operationTable().count, 0);
    ExitQuillfen();
}

TEST(StartUp, BannerOncePerProcessAndLogKeptOnRestart) {
    std::string home = makeTempDir();
    ASSERT_EQ(startEngine(home), 0);
    DoPrintOnLogFile("first run\n");
    ASSERT_EQ(startEngine(home), 0);  // reopens for appending
    EXPECT_EQ(DoPrintOnLogFile("second run\n"), 11);
    ExitQuillfen();
    std::string log = readFile(home + "quillfen.log");
    EXPECT_NE(log.find("first run\r\n"), std::string::npos);
    EXPECT_NE(log.find("second run\r\n"), std::string::npos);
    // The banner was written by the first start in this process (perhaps by
    // another test's home); it never appears twice in one log.
    std::size_t banner = log.find("QF.EXE version 7.0.0.0");
    if (banner != std::string::npos) {
        EXPECT_EQ(log.find("QF.EXE version 7.0.0.0", banner + 1), std::string::npos);
    }
}

TEST(HomePath, JoinsOrFallsBackToName) {
    std::string home = makeTempDir();
    ASSERT_EQ(startEngine(home), 0);
    EXPECT_EQ(std::string(stdHomePath("quillfen.sav")), home + "quillfen.sav");
    ExitQuillfen();

    std::string longHome(249, 'h');
    longHome += '/';  // 250 characters
    // The settings and log fall back to bare names: keep them in a scratch
    // folder.
    ASSERT_EQ(::chdir(makeTempDir().c_str()), 0);
    InitQuillfen(nullptr, longHome.c_str());
    EXPECT_STREQ(stdHomePath("abcdef"), "abcdef");  // 250 + 6 = 256
    EXPECT_EQ(std::string(stdHomePath("abcde")), longHome + "abcde");
    ExitQuillfen();
}

TEST(ClearIfExtDiff, KeepsListedExtensionsOnly) {
    // "result:name left" after the filter.
    auto clear = [](const char* ext, const char* name) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%s", name);
        const int32_t r = clearIfExtDiff(ext, buf);
        return std::to_string(r) + ":" + buf;
    };
    EXPECT_EQ(clear(".tim.fre", "x.FRE"), "0:x.FRE");
    EXPECT_EQ(clear(".tim.fre", "x.wav"), "1:");
    EXPECT_EQ(clear(".tim.fre", "nodot"), "1:");
    EXPECT_EQ(clear(".tim.fre", ""), "0:");
    EXPECT_EQ(clear(".ti", "a.tim"), "0:a.tim");  // an entry agrees as a prefix
    EXPECT_EQ(clear(".tim", "a.t"), "1:");        // a shorter extension does not
    EXPECT_EQ(clear(".tim", ".tim"), "1:");       // the first character is not searched
    EXPECT_EQ(clear(nullptr, ".tim"), "0:.tim");
}
