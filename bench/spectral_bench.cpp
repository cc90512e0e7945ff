// Benchmarks of the spectral family: the DCT of one block in memory, and
// from signal file to file the inverse FFT of 2^20 samples' frames, the DCT
// of 2^20 samples, and the direct sums of correlation at their largest
// (an autocorrelation of 8192 points, in single precision and in Q15).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "core/engine.h"
#include "core/pipeline.h"
#include "ops/spectral/dct.h"
#include "ops/spectral/fft_op.h"

namespace {

// The DCT-II of one block of n floats.
void BM_DctBlock(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    qf::DctWorkspace ws;
    if (ws.allocate(n) != 0) {
        state.SkipWithError("out of memory");
        return;
    }
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> input(n), y(n);
    for (float& v : input) v = dist(rng);
    for (auto _ : state) {
        std::memcpy(y.data(), input.data(), input.size() * sizeof(float));
        qf::dctTransform(ws, y.data());
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{n});
}
BENCHMARK(BM_DctBlock)->RangeMultiplier(16)->Range(64, 1 << 16)->Unit(benchmark::kMicrosecond);

// A binary INTEGER16 signal file of `samples` words.
bool writeWordFile(const std::string& path, int32_t samples) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::string header = qfbench::real32Header(samples);
    header.replace(header.find("REAL32"), 6, "INTEGER16");
    std::mt19937_64 rng(7);
    std::vector<int16_t> words(static_cast<std::size_t>(samples));
    for (int16_t& w : words) w = static_cast<int16_t>(rng() & 0xFFFF);
    const bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size() &&
                    std::fwrite(words.data(), 2, words.size(), f) == words.size();
    return std::fclose(f) == 0 && ok;
}

// One operation from file to file in a fresh folder, the engine without a
// host (messages go to the engine log).
class FileRun {
  public:
    explicit FileRun(const char* what) : dir_(qfbench::makeBenchDirectory(what)) {
        std::memset(&block_, 0, sizeof block_);
        qf::runtime().block = &block_;
        qf::status().outputFormat = 'b';
        qf::buildOperationTable();
    }
    ~FileRun() {
        for (const std::string& f : files_) std::remove((dir_ + f).c_str());
        if (!dir_.empty()) ::rmdir(dir_.c_str());
    }
    bool ready() const { return !dir_.empty(); }
    const std::string& dir() const { return dir_; }
    CommandBlock& block() { return block_; }
    void names(const char* in, const char* out) {
        std::snprintf(block_.in1.n, sizeof block_.in1.n, "%s", in);
        std::snprintf(block_.in1.p, sizeof block_.in1.p, "%s", dir_.c_str());
        std::snprintf(block_.out.n, sizeof block_.out.n, "%s", out);
        std::snprintf(block_.out.p, sizeof block_.out.p, "%s", dir_.c_str());
        files_.push_back(in);
        files_.push_back(out);
    }
    int32_t run(int32_t code) {
        block_.opCode = code;
        qf::OperationRecord record = *qf::findOperation(code);
        std::remove((dir_ + block_.out.n).c_str());
        return qf::pipelineExecute(0, &record);
    }

  private:
    std::string dir_;
    CommandBlock block_;
    std::vector<std::string> files_;
};

// The inverse FFT of the 1024-point Hanning frames, interval 512, of 2^20
// REAL32 samples.
void BM_InverseFftFileToFile(benchmark::State& state) {
    FileRun r("ifft-bench");
    const int32_t samples = 1 << 20;
    if (!r.ready() || !qfbench::writeSignalFile(r.dir() + "x.tim", samples)) {
        state.SkipWithError("cannot write the input signal file");
        return;
    }
    r.names("x.tim", "x.fre");
    qf::paramInt(r.block(), qf::kFftWindowParam) = qf::kWindowHanning;
    qf::paramInt(r.block(), qf::kFftSizeParam) = 1024;
    qf::paramInt(r.block(), qf::kFftIntervalParam) = 512;
    if (r.run(QF_OP_FFT) != 0) {
        state.SkipWithError("the FFT failed");
        return;
    }
    r.names("x.fre", "y.tim");
    for (auto _ : state)
        if (r.run(QF_OP_INVERSE_FFT) != 0) state.SkipWithError("the inverse FFT failed");
    state.SetItemsProcessed(state.iterations() * int64_t{samples});
}
BENCHMARK(BM_InverseFftFileToFile)->Unit(benchmark::kMillisecond);

// The DCT of 2^20 REAL32 samples in blocks of range(0).
void BM_DctFileToFile(benchmark::State& state) {
    FileRun r("dct-bench");
    const int32_t samples = 1 << 20;
    if (!r.ready() || !qfbench::writeSignalFile(r.dir() + "x.tim", samples)) {
        state.SkipWithError("cannot write the input signal file");
        return;
    }
    r.names("x.tim", "x.fre");
    qf::paramInt(r.block(), QF_P_DCT_SIZE) = static_cast<int32_t>(state.range(0));
    for (auto _ : state)
        if (r.run(QF_OP_DCT) != 0) state.SkipWithError("the DCT failed");
    state.SetItemsProcessed(state.iterations() * int64_t{samples});
}
BENCHMARK(BM_DctFileToFile)->Arg(64)->Arg(4096)->Unit(benchmark::kMillisecond);

// The autocorrelation of 8192 points (the cap): 2 x 8192 - 1 sums of up to
// 8192 products each; range(0) 0 REAL32, 1 INTEGER16 (the Q15 path).
void BM_AutocorrelationAtTheCap(benchmark::State& state) {
    FileRun r("corr-bench");
    const bool words = state.range(0) != 0;
    const std::string path = r.dir() + "x.tim";
    if (!r.ready() || !(words ? writeWordFile(path, 8192) : qfbench::writeSignalFile(path, 8192))) {
        state.SkipWithError("cannot write the input signal file");
        return;
    }
    r.names("x.tim", "r.tim");
    for (auto _ : state)
        if (r.run(QF_OP_AUTOCORRELATION) != 0) state.SkipWithError("the autocorrelation failed");
    state.SetItemsProcessed(state.iterations() * int64_t{8192} * 8192);
    state.SetLabel(words ? "Q15" : "float");
}
BENCHMARK(BM_AutocorrelationAtTheCap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
