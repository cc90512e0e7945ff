// The signal layer on its own: without the engine's hooks it writes and
// reads files and reports a refusal on the standard error stream; with hooks
// set, every message, trace line and graph notice goes through them.
#include "signal/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signal/access.h"
#include "signal/format.h"
#include "support/test_host.h"

namespace qf {
namespace {

// Puts back the hooks a test replaced.
struct HooksGuard {
    SignalHooks saved = signalHooks();
    ~HooksGuard() { setSignalHooks(saved); }
};

std::vector<std::string> g_seen;

TEST(SignalReport, WorksWithoutHooks) {
    HooksGuard guard;
    setSignalHooks(SignalHooks{});
    const std::string dir = test::makeTempDir();
    nameNpath file, missing;
    test::setEntry(file, dir, "plain.tim");
    test::setEntry(missing, dir, "missing.tim");

    SignalDescriptor w{};
    setRemark(w, "no hooks");
    w.samplingRate = 8000.0;
    ASSERT_EQ(sigOpenWrite(w, file, kInteger16, 5, 'a', 4), 0);  // two records a window
    for (int32_t i = 0; i < 5; ++i) {
        ASSERT_EQ(sigAccess(w, i), 0);
        *w.at<int16_t>(i) = static_cast<int16_t>(1000 * i - 2000);
    }
    ASSERT_EQ(sigClose(w), 0);

    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, file, 4), 0);
    EXPECT_EQ(r.recordCount, 5);
    EXPECT_STREQ(r.remark, "no hooks");
    for (int32_t i = 0; i < 5; ++i) {
        ASSERT_EQ(sigAccess(r, i), 0);
        EXPECT_EQ(*r.at<int16_t>(i), 1000 * i - 2000) << i;
    }
    EXPECT_EQ(sigClose(r), 0);

    testing::internal::CaptureStderr();
    EXPECT_EQ(sigOpenRead(r, missing, 4), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Invalid file name or path"),
              std::string::npos);
}

TEST(SignalReport, HooksReceiveEveryReport) {
    HooksGuard guard;
    g_seen.clear();
    SignalHooks hooks;
    hooks.message = [](int32_t kind, const char* text) {
        g_seen.push_back("message " + std::to_string(kind) + ": " + text);
        return int32_t{0};
    };
    hooks.trace = [](const char* text) { g_seen.push_back(std::string("trace: ") + text); };
    hooks.replacing = [](const nameNpath& f) { g_seen.push_back(std::string("replacing ") + f.n); };
    hooks.written = [](const nameNpath& f) { g_seen.push_back(std::string("written ") + f.n); };
    setSignalHooks(hooks);
    const std::string dir = test::makeTempDir();
    nameNpath file, missing;
    test::setEntry(file, dir, "shown.tim");
    test::setEntry(missing, dir, "missing.tim");

    SignalDescriptor d{};
    ASSERT_EQ(sigOpenWrite(d, file, kInteger16, 2, 'b', 64), 0);
    ASSERT_EQ(sigClose(d), 0);
    EXPECT_EQ(sigOpenWrite(d, file, kReal64, 2, 'b', 64), 1);
    EXPECT_EQ(sigOpenRead(d, missing, 64), 1);
    const std::vector<std::string> expected = {
        "replacing shown.tim",
        "written shown.tim",
        "trace: Unsupported type REAL64.  ",
        "message 0: Invalid file name or path\n" + dir + "missing.tim",
    };
    EXPECT_EQ(g_seen, expected);
}

}  // namespace
}  // namespace qf
