// The execute pipeline against a plain loop: scaling a binary REAL32 signal
// of 2^24 samples by a constant (operation 3035), file to file, and the same
// work done by a read-compute-write loop over 16 KiB chunks with no engine
// at all.  The pipeline's counter vs_plain is its time over the plain
// loop's, measured in the same binary on the same files; the target is at
// most 1.3.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "core/engine.h"
#include "core/pipeline.h"

namespace {

constexpr int32_t kSamples = int32_t{1} << 24;
constexpr double kFactor = 0.75;

struct Files {
    std::string dir, input, output;
    bool ready = false;
};

const Files& files() {
    static Files f = [] {
        Files x;
        x.dir = qfbench::makeBenchDirectory("pipeline-bench");
        x.input = "signal.tim";
        x.output = "scaled.tim";
        x.ready = !x.dir.empty() && qfbench::writeSignalFile(x.dir + x.input, kSamples);
        return x;
    }();
    return f;
}

// The plain loop: the header copied, then 16 KiB chunks read, scaled in
// double as the operation does, and written.
bool plainScale(const Files& f) {
    std::FILE* in = std::fopen((f.dir + f.input).c_str(), "rb");
    std::FILE* out = std::fopen((f.dir + f.output).c_str(), "wb");
    bool ok = in && out;
    const std::string header = qfbench::real32Header(kSamples);
    std::vector<char> head(header.size());
    ok = ok && std::fread(head.data(), 1, head.size(), in) == head.size() &&
         std::fwrite(head.data(), 1, head.size(), out) == head.size();
    std::vector<float> chunk(16384 / sizeof(float));
    while (ok) {
        const std::size_t n = std::fread(chunk.data(), sizeof(float), chunk.size(), in);
        if (n == 0) break;
        for (std::size_t i = 0; i < n; ++i)
            chunk[i] = static_cast<float>(kFactor * static_cast<double>(chunk[i]));
        ok = std::fwrite(chunk.data(), sizeof(float), n, out) == n;
    }
    if (in) std::fclose(in);
    if (out) ok = std::fclose(out) == 0 && ok;
    return ok;
}

// One run of 3035 through the pipeline, as RunOp's execute step does.
bool pipelineScale(const Files& f) {
    static CommandBlock commandBlock{};
    CommandBlock& b = commandBlock;
    qf::runtime().block = &b;
    b.opCode = QF_OP_MULTIPLY_K;
    std::snprintf(b.in1.n, sizeof b.in1.n, "%s", f.input.c_str());
    std::snprintf(b.in1.p, sizeof b.in1.p, "%s", f.dir.c_str());
    std::snprintf(b.out.n, sizeof b.out.n, "%s", f.output.c_str());
    std::snprintf(b.out.p, sizeof b.out.p, "%s", f.dir.c_str());
    qf::paramDouble(b, QF_P_CONSTANT) = kFactor;
    qf::OperationRecord record = *qf::findOperation(QF_OP_MULTIPLY_K);
    return qf::pipelineExecute(0, &record) == 0;
}

double secondsOf(bool (*run)(const Files&), const Files& f) {
    const auto start = std::chrono::steady_clock::now();
    if (!run(f)) return -1.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_PlainScaleLoop(benchmark::State& state) {
    const Files& f = files();
    if (!f.ready) {
        state.SkipWithError("cannot write the input signal file");
        return;
    }
    for (auto _ : state)
        if (!plainScale(f)) state.SkipWithError("the plain loop failed");
    state.SetBytesProcessed(state.iterations() * int64_t{kSamples} * 4);
}
BENCHMARK(BM_PlainScaleLoop)->Unit(benchmark::kMillisecond);

void BM_ScaleByConstantPipeline(benchmark::State& state) {
    const Files& f = files();
    if (!f.ready) {
        state.SkipWithError("cannot write the input signal file");
        return;
    }
    qf::buildOperationTable();
    qf::status().outputFormat = 'b';
    double engine = 0.0, plain = 0.0;
    for (auto _ : state) {
        const double t = secondsOf(pipelineScale, f);
        if (t < 0) {
            state.SkipWithError("the operation failed");
            break;
        }
        engine += t;
        state.PauseTiming();
        plain += secondsOf(plainScale, f);  // the baseline, same files, same moment
        state.ResumeTiming();
    }
    state.counters["vs_plain"] = plain > 0 ? engine / plain : -1.0;
    state.SetBytesProcessed(state.iterations() * int64_t{kSamples} * 4);
}
BENCHMARK(BM_ScaleByConstantPipeline)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
