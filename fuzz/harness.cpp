#include "fuzz/harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/engine.h"
#include "core/log.h"
#include "platform/fs.h"

namespace qf::fuzz {

namespace {

namespace fs = std::filesystem;

struct Scratch {
    std::string root, home, work;
    Scratch() {
        const char* base = std::getenv("QF_FUZZ_TMP");
        std::string parent = base && *base ? base : "";
        if (parent.empty()) parent = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        root = parent + "/qf-fuzz-" + std::to_string(::getpid()) + "/";
        home = root + "home/";
        work = root + "work/";
        fs::create_directories(home);
        fs::create_directories(work);
    }
    ~Scratch() {
        if (std::getenv("QF_FUZZ_KEEP")) return;  // to look at after a finding
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

int64_t littleFreeSpace(const char*) {
    return kFreeBytes;
}

}  // namespace

const std::string& homeDir() {
    return scratch().home;
}
const std::string& workDir() {
    return scratch().work;
}

void resetWorkFolder(const std::map<std::string, std::string>& keep) {
    const std::string& work = workDir();
    if (::chdir(work.c_str()) != 0) std::abort();
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(work, ec)) {
        if (keep.count(e.path().filename().string())) continue;
        fs::remove_all(e.path(), ec);
    }
    for (const auto& [name, bytes] : keep) putFile(work + name, bytes);
}

void restartEngine() {
    // The log starts afresh with each input, so that it stays small.
    closeEngineLog();
    resetForLoad();
    closeGraphWindows();
    if (InitQuillfen(nullptr, homeDir().c_str()) != 0) std::abort();
    platform::setFreeSpaceSource(littleFreeSpace);
}

void putFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string fileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

int32_t replayScript(const std::string& text) {
    const int32_t r = replayScriptKeepingGraphs(text);
    closeGraphWindows();
    return r;
}

int32_t replayScriptKeepingGraphs(const std::string& text) {
    const std::string& work = workDir();
    putFile(work + "fuzz.scr", text);
    answerNextDialog([&work](CommandBlock& b) {
        std::memset(&b.out, 0, sizeof b.out);
        std::snprintf(b.out.p, sizeof b.out.p, "%s", work.c_str());
        std::snprintf(b.out.n, sizeof b.out.n, "%s", "fuzz.scr");
        return 0;
    });
    CommandBlock block{};
    block.opCode = QF_OP_RUN_SCRIPT;
    return RunOp(&block);
}

std::string sourcePath(const char* relative) {
    return std::string(QF_SOURCE_DIR) + "/" + relative;
}

const std::map<std::string, std::string>& preparedFiles() {
    static const std::map<std::string, std::string> files = [] {
        std::map<std::string, std::string> made;
        restartEngine();
        std::string two;
        for (int i = 0; i < 64; ++i)
            two += std::to_string(i * 300 - 9000) + " " + std::to_string(5000 - i * 97) + "\r\n";
        resetWorkFolder({{"two.txt", two}});
        const int32_t r = replayScript(
            "2010 Sinusoidal ./ t16.tim hrb 50 1000 256 0 0.5 0 0 0 0 0\n"
            "2010 Sinusoidal ./ tf.tim hrb 50 1000 256 0 1 0 2 0 0 0\n"
            "6050 ASCII_Binary_Cvt ./ tf.tim ./ tt.tim\n"
            "4050 FastFourierTransform ./ tf.tim 1 64 64 ./ a.fre\n"
            "5130 LPC_Analysis ./ tf.tim 4 64 32 128 ./ a.lpc\n"
            "1140 Import ./ two.txt 1000 1 2 ./ mc.tim\n");
        for (const char* name :
             {"two.txt", "t16.tim", "tf.tim", "tt.tim", "a.fre", "a.lpc", "mc.tim"}) {
            made[name] = fileBytes(workDir() + name);
            if (r != 0 || made[name].empty()) {
                std::fprintf(stderr, "the prepared file %s could not be made\n", name);
                std::abort();
            }
        }
        made["fir.flt"] = fileBytes(sourcePath("examples/filters/lowpass_float.flt"));
        made["firq.flt"] = fileBytes(sourcePath("examples/filters/lowpass_q15.flt"));
        made["iir.flt"] = fileBytes(sourcePath("examples/filters/butterworth_cascade.flt"));
        made["lattice.flt"] = fileBytes(sourcePath("examples/filters/butterworth_lattice.flt"));
        return made;
    }();
    return files;
}

}  // namespace qf::fuzz
