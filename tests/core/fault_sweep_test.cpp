// Injected faults over one operation of each family: the nth file open,
// file write, rename or allocation of the run is made to fail, for every n
// the run has.  Each run must either complete with exactly the output of a
// run without faults (a fault the engine can do without: a log line, the
// save lock), or fail cleanly: a nonzero status, an error message of its
// own, every file of the folder as it was before (no output, no temporary
// file, inputs untouched), no descriptor left open, the engine's state
// idle, and the next run complete.  The sanitizer build runs the same sweep
// with the leak checker on.
//
// The swept operations run from script lines (operation 1120), so their own
// readers and the replay are swept too.  The one failure that stays silent
// is the script itself not opening: a replay reports nothing then.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/host.h"
#include "graph/plot_data.h"
#include "platform/faults.h"
#include "quillfen/signals.h"
#include "support/engine_test.h"

using namespace qf;
using namespace qf::test;
using platform::Fault;

namespace {

using Files = std::map<std::string, std::string>;  // name -> bytes

Files folder(const std::string& dir) {
    Files f;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.is_regular_file()) f[e.path().filename().string()] = readFile(e.path().string());
    return f;
}

int openDescriptors() {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)e;
        ++n;
    }
    return n;
}

const char* kindName(Fault k) {
    switch (k) {
        case Fault::Open:
            return "open";
        case Fault::Write:
            return "write";
        case Fault::Rename:
            return "rename";
        case Fault::Allocation:
            return "allocation";
    }
    return "?";
}

// One operation of a family: the lines that make its inputs, the line
// swept, and the files that line makes.
struct Scenario {
    const char* family;
    std::string setup;
    std::string line;
    std::vector<std::string> outputs;
};

// Inputs most scenarios share: two short signals and their spectrum.
const std::string kSignals =
    "2010 Sinusoidal               ./ a.tim hrb 50 1000 96 0 1 0 2 0 0 0\n"
    "2010 Sinusoidal               ./ b.tim hrb 120 1000 96 0 0.5 0 0 0 0 0\n";

class FaultSweep : public EngineTest {
  protected:
    void TearDown() override {
        platform::disarmFaults();
        closeGraphs();
        EngineTest::TearDown();
    }

    int32_t replay(const std::string& script) {
        {
            platform::FaultPause testsOwn;  // the test's allocations are not the run's
            TestHost::instance().answer([this, script](CommandBlock& b, const HostCall&) {
                setEntry(b.out, dir, script);
                return 0;
            });
        }
        CommandBlock block{};
        block.opCode = QF_OP_RUN_SCRIPT;
        const int32_t r = RunOp(&block);
        EXPECT_EQ(qfenStatus->busy, 'n');
        EXPECT_EQ(qfenStatus->scriptRunning, 'n');
        return r;
    }

    // Graph windows a display line opened are closed between runs.
    void closeGraphs() {
        TestHost& h = TestHost::instance();
        while (!h.windows.empty()) {
            const QfWindow w = h.windows.back().handle;
            plotGraphCtrl(grCLOSE, w);
            if (!h.windows.empty() && h.windows.back().handle == w) h.windows.pop_back();
        }
    }

    void removeOutputs(const Scenario& s) {
        for (const std::string& o : s.outputs) std::filesystem::remove(dir + o);
    }

    // An error message of the operation's own: not only the replay's line.
    static bool saysWhy() {
        for (const std::string& m : TestHost::instance().messages(QF_MSG_ERROR))
            if (m.find("in script line") == std::string::npos) return true;
        return false;
    }

    void sweep(const Scenario& s) {
        SCOPED_TRACE(s.family);
        ASSERT_EQ(::chdir(dir.c_str()), 0);
        if (!s.setup.empty()) {
            writeFile(dir + "setup.scr", s.setup);
            ASSERT_EQ(replay("setup.scr"), 0) << TestHost::instance().lastMessage();
        }
        writeFile(dir + "swept.scr", s.line + "\n");
        ASSERT_EQ(replay("swept.scr"), 0) << TestHost::instance().lastMessage();
        Files reference;
        for (const std::string& o : s.outputs) {
            ASSERT_TRUE(fileExists(dir + o)) << o;
            reference[o] = readFile(dir + o);
        }
        removeOutputs(s);
        closeGraphs();
        const Files before = folder(dir);
        const int descriptors = openDescriptors();
        Files complete = before;
        complete.insert(reference.begin(), reference.end());

        int failures = 0;
        for (Fault kind : {Fault::Open, Fault::Write, Fault::Rename, Fault::Allocation}) {
            platform::armFault(kind, 0);
            ASSERT_EQ(replay("swept.scr"), 0);
            const int64_t events = platform::faultEvents(kind);
            platform::disarmFaults();
            removeOutputs(s);
            closeGraphs();
            for (int64_t n = 1; n <= events; ++n) {
                SCOPED_TRACE(std::string(kindName(kind)) + " " + std::to_string(n) + " of " +
                             std::to_string(events));
                TestHost::instance().reset();
                ASSERT_EQ(::chdir(dir.c_str()), 0);
                platform::armFault(kind, n);
                const int32_t r = replay("swept.scr");
                const bool fired = platform::faultFired(kind);
                platform::disarmFaults();
                closeGraphs();
                EXPECT_EQ(openDescriptors(), descriptors);
                if (r == 0) {
                    EXPECT_EQ(folder(dir), complete);
                    removeOutputs(s);
                } else {
                    ++failures;
                    EXPECT_TRUE(fired);
                    // No partial file: an output is complete (a two-step run
                    // whose second step failed) or absent, and nothing else
                    // changed.
                    Files now = folder(dir);
                    for (const std::string& o : s.outputs) {
                        if (now.count(o)) {
                            EXPECT_EQ(now[o], reference[o]) << o;
                        }
                        now.erase(o);
                    }
                    EXPECT_EQ(now, before);
                    removeOutputs(s);
                    const bool scriptItself = kind == Fault::Open && n == 1;
                    if (!scriptItself) {
                        EXPECT_TRUE(saysWhy()) << TestHost::instance().lastMessage();
                    }
                    EXPECT_EQ(qfRunState()->outcome, QF_RUN_FAILED);
                }
                if (testing::Test::HasFailure()) return;
                // The engine goes on as if nothing had happened.
                ASSERT_EQ(::chdir(dir.c_str()), 0);
                ASSERT_EQ(replay("swept.scr"), 0) << TestHost::instance().lastMessage();
                EXPECT_EQ(folder(dir), complete);
                removeOutputs(s);
                closeGraphs();
            }
        }
        // Not vacuous: faults were met and failed runs.
        EXPECT_GT(failures, 0);
    }
};

}  // namespace

TEST_F(FaultSweep, Generator) {
    sweep({"generators",
           "",
           "2010 Sinusoidal               ./ g.tim hrb 50 1000 96 0 1 0 2 0 0 0",
           {"g.tim"}});
}

TEST_F(FaultSweep, TimeOperations) {
    sweep({"time",
           kSignals,
           "3010 Addition                 ./ a.tim ./ b.tim ./ sum.tim",
           {"sum.tim"}});
}

TEST_F(FaultSweep, Fft) {
    sweep({"spectral",
           kSignals,
           "4050 FastFourierTransform     ./ a.tim 1 32 32 ./ a.fre",
           {"a.fre"}});
}

TEST_F(FaultSweep, InverseFftOfTextFrames) {
    sweep({"spectral (text frames)",
           kSignals + "4050 FastFourierTransform     ./ a.tim 1 64 32 ./ a.fre\n" +
               "6050 ASCII_Binary_Cvt         ./ a.fre ./ t.fre\n",
           "5010 InverseFFT               ./ t.fre ./ back.tim",
           {"back.tim"}});
}

TEST_F(FaultSweep, Filter) {
    std::filesystem::copy_file(QF_SOURCE_DIR "/examples/filters/lowpass_float.flt", dir + "lp.flt");
    sweep({"filters",
           kSignals,
           "4005 Perform_filtering        ./ lp.flt ./ a.tim ./ f.tim",
           {"f.tim"}});
}

TEST_F(FaultSweep, LpcAnalysis) {
    sweep({"models (LPC)",
           kSignals,
           "5130 LPC_Analysis             ./ a.tim 4 32 32 64 ./ a.lpc",
           {"a.lpc", "a.fre"}});
}

TEST_F(FaultSweep, LmsFilterWithThreeOutputs) {
    sweep({"models (LMS)",
           kSignals,
           "4007 LMSfilter          ./ a.tim ./ b.tim 0.01 4 1 0 ./ e.tim ./ y.tim ./ w.tim",
           {"e.tim", "y.tim", "w.tim"}});
}

TEST_F(FaultSweep, Multichannel) {
    sweep({"multichannel",
           kSignals + "6120 Multiplex         ./ a.tim ./ b.tim ./ m.tim\n",
           "6110 Demultiplex        ./ m.tim ./ part.tim",
           {"part00.tim", "part01.tim"}});
}

TEST_F(FaultSweep, ExportToWave) {
    sweep({"export", kSignals, "1150 Export                   ./ b.tim 6 ./ b.wav", {"b.wav"}});
}

TEST_F(FaultSweep, ImportText) {
    writeFile(dir + "in.txt", "1 -2\r\n3 -4\r\n5 -6\r\n7 -8\r\n");
    sweep({"import", "", "1140 Import                   ./ in.txt 8000 1 2 ./ i.tim", {"i.tim"}});
}

TEST_F(FaultSweep, Conversion) {
    sweep({"conversions", kSignals, "6050 ASCII_Binary_Cvt         ./ a.tim ./ t.tim", {"t.tim"}});
}

TEST_F(FaultSweep, WaveformDisplay) {
    sweep({"graphs", kSignals, "4060 WaveformDisplay          ./ a.tim", {}});
}

// The host-call wrappers: every call the host sees went through them, in
// order, and a watch may answer one in the host's place.
namespace {
std::vector<std::string> g_watched;
HostCallback g_refused = HostCallback::stdEmitMsg;
bool g_refuse = false;

bool watchCall(HostCallback which, int32_t& result) {
    platform::FaultPause testsOwn;
    g_watched.push_back(hostCallbackName(which));
    if (g_refuse && which == g_refused) {
        result = 1;  // the dialog cancelled
        return true;
    }
    return false;
}
}  // namespace

TEST_F(FaultSweep, EveryHostCallGoesThroughItsWrapper) {
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    writeFile(dir + "setup.scr",
              kSignals + "3010 Addition                 ./ a.tim ./ b.tim ./ s.tim\n");
    TestHost::instance().reset();
    g_watched.clear();
    setHostCallWatch(watchCall);
    ASSERT_EQ(replay("setup.scr"), 0);
    setHostCallWatch(nullptr);
    std::vector<std::string> seen;
    for (const qf::test::HostCall& c : TestHost::instance().calls()) seen.push_back(c.name);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(g_watched, seen);

    // The first call is the script dialog: answered "cancel" by the watch,
    // the host never sees it and nothing runs.
    std::filesystem::remove(dir + "s.tim");
    const Files before = folder(dir);
    TestHost::instance().reset();
    g_refused = HostCallback::stdEmitMsg;
    for (int32_t k = 0; k < kHostCallbackCount; ++k)
        if (seen.front() == hostCallbackName(static_cast<HostCallback>(k)))
            g_refused = static_cast<HostCallback>(k);
    ASSERT_NE(g_refused, HostCallback::stdEmitMsg);
    g_refuse = true;
    setHostCallWatch(watchCall);
    EXPECT_NE(replay("setup.scr"), 0);
    setHostCallWatch(nullptr);
    g_refuse = false;
    EXPECT_EQ(TestHost::instance().count(seen.front()), 0);
    EXPECT_EQ(folder(dir), before);
}

// An exported entry point never lets an exception out: with the nth
// allocation failing, opening a signal for inspection gives null or a
// signal, and leaves no descriptor open.
TEST_F(FaultSweep, InspectionSurvivesEveryFailedAllocation) {
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    writeFile(dir + "setup.scr", kSignals);
    ASSERT_EQ(replay("setup.scr"), 0);
    const std::string path = dir + "a.tim";
    const int descriptors = openDescriptors();
    platform::armFault(Fault::Allocation, 0);
    QfSignalInfo info{};
    qfSignalClose(qfSignalOpen(path.c_str(), &info));
    const int64_t events = platform::faultEvents(Fault::Allocation);
    platform::disarmFaults();
    ASSERT_GT(events, 0);
    for (int64_t n = 1; n <= events; ++n) {
        SCOPED_TRACE(n);
        platform::armFault(Fault::Allocation, n);
        QfSignal* s = qfSignalOpen(path.c_str(), &info);
        double v[4] = {};
        const int32_t got = s ? qfSignalValues(s, 0, 4, v) : -1;
        qfSignalClose(s);
        const bool fired = platform::faultFired(Fault::Allocation);
        platform::disarmFaults();
        EXPECT_TRUE(fired);
        EXPECT_TRUE(s == nullptr || got == 4 || got == -1);
        EXPECT_EQ(openDescriptors(), descriptors);
    }
}

// The settings file under every failed open, write, rename and allocation
// of a save: the older file stays whole or the newer one is complete, a
// failure is said, and no temporary file stays in the home folder.
TEST(SettingsFaults, ASaveThatFailsKeepsTheOlderFile) {
    const std::string home = makeTempDir();
    ASSERT_EQ(startEngine(home), 0);
    qfenStatus->fftSize = 2048;
    ExitQuillfen();
    const std::string older = readFile(home + "quillfen.sav");
    auto saveArmed = [&](Fault kind, int64_t n) {
        resetForLoad();  // a failed save is said once per load
        EXPECT_EQ(startEngine(home), 0);
        qfenStatus->fftSize = 4096;
        TestHost::instance().reset();
        platform::armFault(kind, n);
        ExitQuillfen();
        const bool fired = platform::faultFired(kind);
        const int64_t events = platform::faultEvents(kind);
        platform::disarmFaults();
        return std::pair{fired, events};
    };
    for (Fault kind : {Fault::Open, Fault::Write, Fault::Rename, Fault::Allocation}) {
        SCOPED_TRACE(kindName(kind));
        const int64_t events = saveArmed(kind, 0).second;
        const std::string newer = readFile(home + "quillfen.sav");
        ASSERT_NE(newer, older);
        for (int64_t n = 1; n <= events; ++n) {
            SCOPED_TRACE(n);
            writeFile(home + "quillfen.sav", older);
            EXPECT_TRUE(saveArmed(kind, n).first);
            const std::string saved = readFile(home + "quillfen.sav");
            EXPECT_TRUE(saved == older || saved == newer);
            if (saved == older) {
                EXPECT_FALSE(TestHost::instance().messages().empty());
            }
            for (const auto& e : std::filesystem::directory_iterator(home))
                EXPECT_FALSE(e.path().string().ends_with(".tmp")) << e.path();
        }
    }
    ASSERT_EQ(::chdir("/"), 0);
}
