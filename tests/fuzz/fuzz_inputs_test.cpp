// The fuzz targets' inputs through the same paths in the ordinary suite:
// every seed of fuzz/corpus/<target>/ and every input a fuzz run found
// harmful (tests/fuzz/inputs/<target>/), each fed as its target feeds it,
// with the recording host and the fuzz runs' small free space.  Each must
// end in a clean result or refusal that leaves the engine usable; the
// sanitizer build checks the memory.  Each finding also has a test of its
// own beside its family's tests, with the behaviour it now gets.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/engine.h"
#include "fuzz/confine.h"
#include "fuzz/import_choice.h"
#include "ops/filter/coefficient_file.h"
#include "platform/fs.h"
#include "quillfen/operations.h"
#include "quillfen/signals.h"
#include "signal/access.h"
#include "support/engine_test.h"

extern "C" int32_t DoCloseGraphWindow(QfWindow window);

using namespace qf;
using namespace qf::test;

namespace {

namespace fs = std::filesystem;

// As much free space as the fuzz runs have (fuzz/harness.h).
int64_t fuzzFreeSpace(const char*) {
    return int64_t{2} << 20;
}

// The files of a folder of the source tree, sorted by name.
std::vector<std::string> inputsIn(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Seeds and findings of a target.
std::vector<std::string> targetInputs(const std::string& target) {
    std::vector<std::string> all = inputsIn(QF_SOURCE_DIR "/fuzz/corpus/" + target);
    for (const std::string& f : inputsIn(QF_SOURCE_DIR "/tests/fuzz/inputs/" + target))
        all.push_back(f);
    return all;
}

class FuzzInputs : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        platform::setFreeSpaceSource(fuzzFreeSpace);
    }
    void TearDown() override {
        platform::setFreeSpaceSource(nullptr);
        EngineTest::TearDown();
    }

    nameNpath entry(const std::string& name) {
        nameNpath e{};
        setEntry(e, dir, name);
        return e;
    }

    // Replays `text` as the script s.scr of the test's folder; then draws
    // and closes the graph windows it opened, unless they are kept.
    int32_t replay(const std::string& text, bool keepGraphs = false) {
        writeFile(dir + "s.scr", text);
        TestHost::instance().answer([this](CommandBlock& b, const HostCall&) {
            setEntry(b.out, dir, "s.scr");
            return 0;
        });
        CommandBlock block{};
        block.opCode = QF_OP_RUN_SCRIPT;
        const int32_t r = RunOp(&block);
        EXPECT_EQ(::chdir(dir.c_str()), 0);
        if (!keepGraphs) viewAndCloseGraphs({});
        return r;
    }

    // The files the script target's folder holds.
    void prepareFiles() {
        std::string two;
        for (int i = 0; i < 64; ++i)
            two += std::to_string(i * 300 - 9000) + " " + std::to_string(5000 - i * 97) + "\r\n";
        writeFile(dir + "two.txt", two);
        ASSERT_EQ(replay("2010 Sinusoidal ./ t16.tim hrb 50 1000 256 0 0.5 0 0 0 0 0\n"
                         "2010 Sinusoidal ./ tf.tim hrb 50 1000 256 0 1 0 2 0 0 0\n"
                         "6050 ASCII_Binary_Cvt ./ tf.tim ./ tt.tim\n"
                         "4050 FastFourierTransform ./ tf.tim 1 64 64 ./ a.fre\n"
                         "5130 LPC_Analysis ./ tf.tim 4 64 32 128 ./ a.lpc\n"
                         "1140 Import ./ two.txt 1000 1 2 ./ mc.tim\n"),
                  0);
        const char* filters[][2] = {{"lowpass_float.flt", "fir.flt"},
                                    {"lowpass_q15.flt", "firq.flt"},
                                    {"butterworth_cascade.flt", "iir.flt"},
                                    {"butterworth_lattice.flt", "lattice.flt"}};
        for (const auto& f : filters)
            writeFile(dir + f[1], readFile(std::string(QF_SOURCE_DIR "/examples/filters/") + f[0]));
    }

    // The signal file target: header, records in two window sizes, the
    // hosts' reader, a conversion.
    void signalFile(const std::string& bytes) {
        writeFile(dir + "in.tim", bytes);
        for (int32_t window : {0, 64, 16384}) {
            SignalDescriptor d{};
            if (sigOpenRead(d, entry("in.tim"), window) == 0 && window > 0)
                for (int32_t i = 0; i < d.recordCount; ++i)
                    if (sigAccess(d, i) != 0) break;
            sigClose(d);
        }
        QfSignalInfo info{};
        if (QfSignal* s = qfSignalOpen((dir + "in.tim").c_str(), &info)) {
            std::vector<double> values(128);
            for (int32_t first = 0; first < info.recordCount; first += 64)
                if (qfSignalValues(s, first, 64, values.data()) <= 0) break;
            qfSignalClose(s);
        }
        replay("6050 ASCII_Binary_Cvt ./ in.tim ./ other.tim\n");
        for (const char* display :
             {"4060 WaveformDisplay ./ in.tim\n", "5040 MagnitudeDisplay ./ in.tim\n",
              "5070 PhaseDisplay ./ in.tim\n", "5080 PowerDisplay ./ in.tim\n"}) {
            replay(display, true);
            viewAndCloseGraphs({10, 8, 10, 13, 10, 12, 18, 10, 16, 4, 3, 7, 10});
        }
    }

    // Sends the view commands to each graph window, draws it and closes it.
    void viewAndCloseGraphs(const std::vector<int32_t>& commands) {
        TestHost& h = TestHost::instance();
        std::vector<QfWindow> windows;
        for (const TestHost::Window& w : h.windows) windows.push_back(w.handle);
        for (const QfWindow w : windows) {
            for (const int32_t c : commands) plotGraphCtrl(c, w);
            plotGraphCtrl(10, w);
            DoCloseGraphWindow(w);
        }
    }

    // The filter file target: the reader, then filtering with the file.
    void filterFile(const std::string& bytes) {
        writeFile(dir + "in.flt", bytes);
        bool loaded = false;
        {
            LoadedFilter filter;
            loaded = readFilterFile(entry("in.flt"), filter) == 0;
        }
        if (loaded)
            replay(
                "4005 Perform_filtering ./ in.flt ./ t16.tim ./ y16.tim\n"
                "4005 Perform_filtering ./ in.flt ./ tf.tim ./ yf.tim\n");
    }

    // The settings target: start with the file, save, start again.
    void settings(const std::string& bytes) {
        writeFile(home + "quillfen.sav", bytes);
        writeFile(home + "quillfen.pal", bytes);
        ExitQuillfen();
        resetForLoad();
        ASSERT_EQ(startEngine(home), 0);
        ExitQuillfen();
        resetForLoad();
        ASSERT_EQ(startEngine(home), 0);
        ASSERT_EQ(::chdir(dir.c_str()), 0);
        platform::setFreeSpaceSource(fuzzFreeSpace);
    }

    // The import target: two bytes choose the format and the shape.
    int32_t importInput(const std::string& input) {
        if (input.size() < 2) return 0;
        const auto choice = static_cast<uint8_t>(input[0]), shape = static_cast<uint8_t>(input[1]);
        const std::string name = fuzz::importFileName(choice);
        writeFile(dir + name, input.substr(2));
        CommandBlock block{};
        setEntry(block.in1, dir, name);
        setEntry(block.out, dir, "out.tim");
        const nameNpath in = block.in1, out = block.out;
        TestHost::instance().answer([=](CommandBlock& b, const HostCall&) {
            fuzz::answerImport(b, in, out, choice, shape);
            return 0;
        });
        block.opCode = QF_OP_IMPORT;
        return RunOp(&block);
    }

    // The export target: one byte chooses the format and the name.
    int32_t exportInput(const std::string& input) {
        if (input.empty()) return 0;
        static const int32_t formats[16] = {0,  1,  2,  5,  6,  10, 11, 12,
                                            13, 14, 20, 21, 30, 3,  99, -1};
        static const char* const extensions[8] = {".raw", ".txt", ".wav", ".flac",
                                                  ".flt", ".asm", ".dat", ".au"};
        const auto choice = static_cast<uint8_t>(input[0]);
        writeFile(dir + "in.tim", input.substr(1));
        CommandBlock block{};
        setEntry(block.in1, dir, "in.tim");
        setEntry(block.out, dir, std::string("out") + extensions[choice >> 5]);
        const nameNpath in = block.in1, out = block.out;
        TestHost::instance().answer([=](CommandBlock& b, const HostCall&) {
            b.in1 = in;
            b.out = out;
            paramInt(b, QF_P_IO_FORMAT) = formats[choice & 15];
            paramInt(b, QF_P_EXPORT_ASSEMBLER) = (choice >> 4) & 1;
            return 0;
        });
        block.opCode = QF_OP_EXPORT;
        return RunOp(&block);
    }

    // After an input: nothing is left running, and an operation still runs.
    void stillUsable(const std::string& input) {
        EXPECT_EQ(qfenStatus->busy, 'n') << input;
        EXPECT_EQ(qfenStatus->scriptRunning, 'n') << input;
        EXPECT_EQ(::chdir(dir.c_str()), 0);
        EXPECT_EQ(replay("2010 Sinusoidal ./ ok.tim hrb 50 1000 64 0 1 0 2 0 0 0\n"), 0) << input;
        EXPECT_TRUE(fileExists(dir + "ok.tim")) << input;
    }
};

}  // namespace

TEST_F(FuzzInputs, SignalFileInputsAreReadOrRefused) {
    const std::vector<std::string> inputs = targetInputs("signal_file");
    ASSERT_GE(inputs.size(), 10u);
    for (const std::string& f : inputs) {
        signalFile(readFile(f));
        stillUsable(f);
    }
}

TEST_F(FuzzInputs, ScriptInputsRunOrStop) {
    const std::vector<std::string> inputs = targetInputs("script");
    ASSERT_GE(inputs.size(), 10u);
    prepareFiles();
    for (const std::string& f : inputs) {
        const int32_t r = replay(fuzz::confinedScript(readFile(f)));
        EXPECT_TRUE(r == 0 || r == 1) << f;
        stillUsable(f);
    }
}

TEST_F(FuzzInputs, FilterFileInputsLoadOrAreRefused) {
    const std::vector<std::string> inputs = targetInputs("filter_file");
    ASSERT_GE(inputs.size(), 10u);
    prepareFiles();
    for (const std::string& f : inputs) {
        filterFile(readFile(f));
        stillUsable(f);
    }
}

TEST_F(FuzzInputs, SettingsInputsLoadOrFallBack) {
    const std::vector<std::string> inputs = targetInputs("settings");
    ASSERT_GE(inputs.size(), 3u);
    for (const std::string& f : inputs) {
        settings(readFile(f));
        stillUsable(f);
    }
}

TEST_F(FuzzInputs, ImportInputsImportOrAreRefused) {
    const std::vector<std::string> inputs = targetInputs("import");
    ASSERT_GE(inputs.size(), 16u);
    for (const std::string& f : inputs) {
        const int32_t r = importInput(readFile(f));
        EXPECT_TRUE(r == 0 || r == 1) << f;
        stillUsable(f);
    }
}

TEST_F(FuzzInputs, ExportInputsExportOrAreRefused) {
    const std::vector<std::string> inputs = targetInputs("export");
    ASSERT_GE(inputs.size(), 10u);
    for (const std::string& f : inputs) {
        const int32_t r = exportInput(readFile(f));
        EXPECT_TRUE(r == 0 || r == 1) << f;
        stillUsable(f);
    }
}
