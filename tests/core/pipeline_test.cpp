// The execute pipeline never loses a file: a kernel that fails half-way, an
// operation refused for its input or its size, and a run whose output is
// its own input leave every file that existed before byte for byte as it
// was, and no partial or temporary file behind.  Each pipeline user (the
// frame operations, the generators, the FFT and the conversions) is run
// with its kernel replaced by one that writes some records and then fails.
#include "core/pipeline.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "core/engine.h"
#include "ops/spectral/fft_op.h"
#include "ops/time/signal_bytes.h"
#include "platform/platform.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

namespace {

// Writes a few output records, then fails as a kernel does after reporting.
int32_t failHalfWay(int32_t, const ComputeArgs*) {
    SignalDescriptor& out = blockDescriptor(block(), QF_ENTRY_OUT);
    const int32_t n = std::min(out.recordCount, 3);
    const std::size_t bytes = static_cast<std::size_t>(out.recordSize);
    for (int32_t i = 0; i < n; ++i) {
        if (sigAccess(out, i) != 0) return 1;
        std::memset(static_cast<char*>(out.buffer) + (i - out.windowStart) * bytes, 0x55, bytes);
    }
    return 1;
}

class Pipeline : public OperationTest {
  protected:
    void SetUp() override {
        OperationTest::SetUp();
        put("a.tim", int16File({100, 200, 300, 400, 500, 600}));
        put("b.tim", int16File({1, 2, 3}));
        put("r.tim", real32File({0.5f, -0.25f, 0.125f, 1.0f, 0.0f, 2.0f, 3.0f, 4.0f}));
        put("old.tim", "an earlier result, not a signal file");
    }
    void TearDown() override {
        for (int32_t code : replaced) registerDescribed(saved[code]);
        OperationTest::TearDown();
    }
    // Puts a failing kernel into the operation's description.
    void breakKernel(int32_t code) {
        saved[code] = *describe(code);
        OperationDescription d = saved[code];
        d.handlers.compute = failHalfWay;
        registerDescribed(d);
        replaced.insert(code);
    }
    // Every file of the folder with its bytes.
    std::map<std::string, std::string> folder() {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            files[e.path().filename().string()] = readFile(e.path().string());
        return files;
    }
    std::map<int32_t, OperationDescription> saved;
    std::set<int32_t> replaced;
};

DialogAnswer generator(const std::string& dir, const std::string& out, int32_t samples) {
    return [=](CommandBlock& b, const HostCall&) {
        QfGeneratorParams& p = *reinterpret_cast<QfGeneratorParams*>(b.params);
        p = QfGeneratorParams{};
        p.frequencyUnit = 'h';
        p.outputType = 2;
        p.rate = 1000.0;
        p.frequency = 50.0;
        p.amplitude = 1.0;
        p.sampleCount = samples;
        p.sweepLength = samples;
        p.sweepCount = 1;
        setEntry(b.out, dir, out);
        return 0;
    };
}

// The FFT dialog: the output is named there (RunOp proposes in1's name).
DialogAnswer fft(int32_t size, const std::string& dir = "", const std::string& out = "") {
    return [=](CommandBlock& b, const HostCall&) {
        if (!out.empty()) setEntry(b.out, dir, out);
        paramInt(b, QF_P_FFT_WINDOW) = 0;
        paramInt(b, QF_P_FFT_SIZE) = size;
        paramInt(b, QF_P_FFT_INTERVAL) = size;
        return 0;
    };
}

// The Esc key, pressed once `polls` questions about it have been answered
// "not down": the user stops a run part of the way through.
int g_pollsBeforeEscape = 0;
int16_t escapeAfterPolls(int key) {
    if (key != 0x1B) return 0;
    return g_pollsBeforeEscape-- > 0 ? 0 : static_cast<int16_t>(0x8000);
}

}  // namespace

TEST_F(Pipeline, AStoppedRunLeavesNoOutputAndKeepsTheOlderFile) {
    // 600000 16-bit samples: more than one 1 MiB window, so the run stops
    // between its first and second block.
    put("long.tim", int16File(ramp(600000)));
    put("r2.tim", real32File(std::vector<float>(5000, 0.25f)));
    struct Case {
        int32_t code;
        const char* in1;
        DialogAnswer answer;
    };
    const Case cases[] = {
        {3035, "long.tim", with(0.5)},
        {QF_OP_FFT, "r2.tim", fft(32, dir, "old.tim")},
        {QF_OP_SINE, "", generator(dir, "old.tim", 600000)},
        // Loops that go record by record ask every 65536 records.
        {QF_OP_ASCII_BINARY, "long.tim", nullptr},
        {QF_OP_FLIP, "long.tim", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const auto before = folder();
        g_pollsBeforeEscape = 1;
        platform::setKeyStateSource(escapeAfterPolls);
        EXPECT_NE(run(c.code, c.in1, "old.tim", c.answer), 0);
        platform::setKeyStateSource(nullptr);
        EXPECT_LT(g_pollsBeforeEscape, 0);  // it asked again after the first block
        EXPECT_EQ(qfRunState()->outcome, QF_RUN_INTERRUPTED);
        EXPECT_EQ(folder(), before);
        EXPECT_TRUE(messages(QF_MSG_ERROR).empty());
    }
    // Without Esc the same run completes.
    EXPECT_EQ(run(3035, "long.tim", "old.tim", with(0.5)), 0);
    EXPECT_EQ(qfRunState()->outcome, QF_RUN_DONE);
    EXPECT_EQ(words("old.tim")[19998], 9999);
}

TEST_F(Pipeline, TheRunStateTellsWhatRunOpsResultDoesNot) {
    Header h;
    h.type = "REALTIMEINT16";
    h.count = 4;
    h.binary = false;
    h.extra = line("Number of channels", "2") + line("ADC/DAC device code", "0") +
              line("Ch0  range gain source", "-1 1 0") + line("Ch1  range gain source", "-1 1 1");
    put("multi.tim", headerBytes(h) + "0001\r\n0002\r\n0003\r\n0004\r\n");
    // A refused recording: RunOp says 0, the state says nothing ran.
    EXPECT_EQ(run(3035, "multi.tim", "y.tim", with(2.0)), 0);
    EXPECT_EQ(qfRunState()->outcome, QF_RUN_REFUSED);
    EXPECT_EQ(qfRunState()->code, 3035);
    EXPECT_FALSE(exists("y.tim"));
    // A dialog cancelled, a check that refused (and which parameter it was
    // about), a failure, and a code no operation has.
    EXPECT_NE(run(3035, "a.tim", "y.tim", [](CommandBlock&, const HostCall&) { return 1; }), 0);
    EXPECT_EQ(qfRunState()->outcome, QF_RUN_CANCELLED);
    EXPECT_NE(run(3230, "a.tim", "y.tim", with(int32_t{20})), 0);
    EXPECT_EQ(qfRunState()->outcome, QF_RUN_CANCELLED);
    EXPECT_EQ(qfRunState()->check, 107);
    ASSERT_NE(qfRunState()->param, nullptr);
    EXPECT_STREQ(qfRunState()->param, "BITS");
    put("c.tim", complexFile());  // a type the kernel refuses
    EXPECT_NE(run(3035, "c.tim", "y.tim", with(2.0)), 0);
    EXPECT_EQ(qfRunState()->outcome, QF_RUN_FAILED);
    block.opCode = 4711;
    EXPECT_EQ(RunOp(&block), 1);
    EXPECT_EQ(qfRunState()->outcome, QF_RUN_UNKNOWN_CODE);
    EXPECT_EQ(run(3035, "a.tim", "y.tim", with(2.0)), 0);
    EXPECT_EQ(qfRunState()->outcome, QF_RUN_DONE);
    EXPECT_EQ(qfRunState()->check, 0);
}

TEST_F(Pipeline, AFailingKernelLeavesNoOutputAndNoTemporaryFile) {
    struct Case {
        int32_t code;
        const char* in1;
        const char* in2;
        DialogAnswer answer;
    };
    const Case cases[] = {
        {3035, "a.tim", "", with(2.0)},
        {3010, "a.tim", "b.tim", nullptr},
        {6050, "r.tim", "", nullptr},
        {QF_OP_FFT, "r.tim", "", fft(32, dir, "old.tim")},
        {QF_OP_SINE, "", "", generator(dir, "old.tim", 100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        breakKernel(c.code);
        const auto before = folder();
        // Into an existing file of the output's name, and into a new one.
        EXPECT_NE(run(c.code, c.in1, "old.tim", c.answer, c.in2), 0);
        EXPECT_EQ(folder(), before);
        if (c.code != QF_OP_SINE) {
            EXPECT_NE(run(c.code, c.in1, "new.tim", c.answer, c.in2), 0);
            EXPECT_EQ(folder(), before);
        }
    }
}

TEST_F(Pipeline, AFailedRunIntoItsOwnInputLeavesTheInput) {
    breakKernel(3035);
    const auto before = folder();
    EXPECT_NE(run(3035, "a.tim", "a.tim", with(2.0)), 0);
    EXPECT_EQ(folder(), before);
    // Both inputs of a two-input operation, each as the output.
    breakKernel(3010);
    EXPECT_NE(run(3010, "a.tim", "a.tim", nullptr, "b.tim"), 0);
    EXPECT_NE(run(3010, "a.tim", "b.tim", nullptr, "b.tim"), 0);
    EXPECT_EQ(folder(), before);
}

TEST_F(Pipeline, RefusedOperationsLeaveFilesAlone) {
    // A frame file scaled into itself: the kernel refuses the type.
    ASSERT_EQ(run(QF_OP_FFT, "r.tim", "s.fre", fft(32, dir, "s.fre")), 0);
    const auto before = folder();
    EXPECT_NE(run(3035, "s.fre", "s.fre",
                  [this](CommandBlock& b, const HostCall& call) {
                      setEntry(b.in1, dir, "s.fre");  // picked in the dialog
                      return with(2.0)(b, call);
                  }),
              0);
    EXPECT_EQ(messages(QF_MSG_ERROR).back(), "Unknown data type.");
    // A negative delay difference into its input.
    EXPECT_NE(run(3240, "a.tim", "a.tim", with(-1)), 0);
    // A sweep too long for a signal file, over an existing file.
    EXPECT_NE(run(QF_OP_SWEPT_SINE, "", "old.tim",
                  [this](CommandBlock& b, const HostCall& call) {
                      generator(dir, "old.tim", 1 << 20)(b, call);
                      reinterpret_cast<QfGeneratorParams*>(b.params)->sweepCount = 1 << 20;
                      return 0;
                  }),
              0);
    EXPECT_EQ(folder(), before);
}

TEST_F(Pipeline, ASuccessfulRunReplacesItsOwnInput) {
    ASSERT_EQ(run(3035, "a.tim", "a.tim", with(0.5)), 0);
    EXPECT_EQ(words("a.tim"), (std::vector<int16_t>{50, 100, 150, 200, 250, 300}));
    ASSERT_EQ(run(3010, "a.tim", "b.tim", nullptr, "b.tim"), 0);
    EXPECT_EQ(words("b.tim"), (std::vector<int16_t>{51, 102, 153, 200, 250, 300}));
    // Only the two signals and the earlier files are there: no leftovers.
    std::set<std::string> names;
    for (const auto& [name, bytes] : folder()) names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"a.tim", "b.tim", "old.tim", "r.tim"}));
}

TEST_F(Pipeline, ReplayRefusesRecordingsAsTheDialogDoes) {
    Header h;
    h.type = "REALTIMEINT16";
    h.count = 4;
    h.binary = false;
    h.extra = line("Number of channels", "2") + line("ADC/DAC device code", "0") +
              line("Ch0  range gain source", "-1 1 0") + line("Ch1  range gain source", "-1 1 1");
    put("multi.tim", headerBytes(h) + "0001\r\n0002\r\n0003\r\n0004\r\n");
    ASSERT_EQ(::chdir(dir.c_str()), 0);  // "./" is where the replay runs
    put("s.scr", "3090 Flip ./ multi.tim ./ flipped.tim\r\n3035 Scale ./ a.tim 2 ./ twice.tim\r\n");
    TestHost::instance().answer([this](CommandBlock& b, const HostCall&) {
        setEntry(b.out, dir, "s.scr");
        return 0;
    });
    block.opCode = QF_OP_RUN_SCRIPT;
    EXPECT_EQ(RunOp(&block), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE).front(),
              "'multi.tim' is a multi-channel signal.  Please demultiplex the signal and work "
              "with the component signals.");
    EXPECT_FALSE(exists("flipped.tim"));
    // The refused line does not stop the replay.
    EXPECT_EQ(words("twice.tim"), (std::vector<int16_t>{200, 400, 600, 800, 1000, 1200}));
}
