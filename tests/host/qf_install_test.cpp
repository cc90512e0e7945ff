// `make install`'s step: qf, the library and the headers under a prefix,
// qf finding the library relative to itself, so the tree can be moved.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/qf_process.h"
#include "support/test_host.h"

using namespace qf::test;

TEST(Install, TheInstalledTreeRunsWhereverItIsMoved) {
    const std::string root = makeTempDir(), home = makeTempDir(), work = makeTempDir();
    const QfResult installed = runShell(
        root, home, "cmake --install '" QF_BUILD_DIR "' --prefix '" + root + "first' >/dev/null\n");
    ASSERT_EQ(installed.status, 0) << installed.output;
    for (const char* file : {"bin/qf", "lib/libquillfen.so", "include/quillfen/quillfen.h",
                             "include/quillfen/operations.h", "include/quillfen/signals.h"})
        EXPECT_TRUE(fileExists(root + "first/" + file)) << file;
    ASSERT_EQ(std::rename((root + "first").c_str(), (root + "moved").c_str()), 0);
    const QfResult r = runShell(work, home,
                                "unset LD_LIBRARY_PATH\n'" + root +
                                    "moved/bin/qf' sine a.tim --frequency 50 --samples 10\n");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(fileExists(work + "a.tim"));
}
