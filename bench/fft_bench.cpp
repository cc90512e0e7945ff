// FFT benchmarks: the core transform on one large in-memory frame, the
// frame loop of the FFT operation run in memory (window, transform, store),
// and the FFT operation itself from a signal file to a frame file, with its
// peak resident memory, which must not grow with the signal's length.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "core/engine.h"
#include "core/pipeline.h"
#include "ops/spectral/fft_core.h"
#include "ops/spectral/fft_op.h"

namespace {

std::vector<double> randomComplex(int32_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(2 * static_cast<size_t>(n));
    for (double& v : x) v = dist(rng);
    return x;
}

// One 2^20-point forward transform (the largest host frame).
void BM_FftForward1M(benchmark::State& state) {
    const int32_t n = 1 << 20;
    qf::FftWorkspace ws;
    if (ws.allocate(n) != 0) {
        state.SkipWithError("out of memory");
        return;
    }
    const std::vector<double> input = randomComplex(n, 1);
    std::vector<double> data(input.size());
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(data.data(), input.data(), input.size() * sizeof(double));
        state.ResumeTiming();
        qf::fftForward(ws, data.data(), ws.stages);
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{n});
}
BENCHMARK(BM_FftForward1M)->Unit(benchmark::kMillisecond);

// Forward transforms of smaller single frames, for comparison.
void BM_FftForward(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    qf::FftWorkspace ws;
    if (ws.allocate(n) != 0) {
        state.SkipWithError("out of memory");
        return;
    }
    const std::vector<double> input = randomComplex(n, 2);
    std::vector<double> data(input.size());
    for (auto _ : state) {
        std::memcpy(data.data(), input.data(), input.size() * sizeof(double));
        qf::fftForward(ws, data.data(), ws.stages);
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{n});
}
BENCHMARK(BM_FftForward)->RangeMultiplier(4)->Range(32, 1 << 16)->Unit(benchmark::kMicrosecond);

// The frame loop of the FFT operation in memory: 2^22 REAL32 samples in
// frames of 1024 with a Hanning window and a frame interval of 1024, each
// frame assembled and transformed in place in the output array.
void BM_FftFramesInMemory(benchmark::State& state) {
    const int32_t samples = 1 << 22;
    const int32_t n = 1024;
    const int32_t interval = 1024;
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> signal(samples);
    for (float& v : signal) v = dist(rng);

    qf::FftWorkspace ws;
    if (ws.allocate(n) != 0) {
        state.SkipWithError("out of memory");
        return;
    }
    qf::computeWindow(qf::kWindowHanning, n, ws.window.data());
    const qf::FftFramePlan plan = qf::fftFramePlan(samples, n, interval);
    std::vector<double> output(static_cast<size_t>(plan.count) * n * 2);

    for (auto _ : state) {
        for (int64_t f = 0; f < plan.count; ++f) {
            const int64_t start = plan.start(f);
            const int32_t count = qf::fftFrameSamples(samples, n, start);
            double* frame = output.data() + f * n * 2;
            qf::fftLoadSamples(frame, 0, signal.data() + start, count, ws.window.data());
            qf::fftZeroPad(frame, count, n);
            qf::fftForward(ws, frame, ws.stages);
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{samples});
}
BENCHMARK(BM_FftFramesInMemory)->Unit(benchmark::kMillisecond);

// ---- The operation from file to file ----------------------------------------

// Resident memory from /proc/self/status ("VmRSS", "VmHWM") in KiB, -1 if
// it cannot be read.
long statusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
            return std::atol(line.c_str() + n + 1);
    return -1;
}

// Starts a new peak of resident memory (Linux: "5" to clear_refs resets
// VmHWM to the current VmRSS).  False where the peak cannot be reset.
bool resetPeakResident() {
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f) return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

// The FFT operation (4050) run through its own handlers on a signal file of
// 2^range(0) REAL32 samples: frames of 1024 with a Hanning window and a
// frame interval of 1024, written to a frame file.  Compare its time per
// sample with BM_FftFramesInMemory.  Counters: the peak resident memory of
// the process while the operation ran and how far it rose above the memory
// in use before (both MiB); the rise must not grow with the signal.
void BM_FftFramesFileToFile(benchmark::State& state) {
    const int32_t samples = int32_t{1} << state.range(0);
    const std::string dir = qfbench::makeBenchDirectory("fft-bench");
    const std::string input = "signal.tim";
    const std::string output = "signal.fre";
    if (dir.empty() || !qfbench::writeSignalFile(dir + input, samples)) {
        state.SkipWithError("cannot write the input signal file");
        return;
    }

    // The engine runs without a host: messages go to the engine log.
    static CommandBlock commandBlock{};
    CommandBlock& b = commandBlock;
    std::memset(&b, 0, sizeof b);
    qf::runtime().block = &b;
    b.opCode = QF_OP_FFT;
    std::snprintf(b.in1.n, sizeof b.in1.n, "%s", input.c_str());
    std::snprintf(b.in1.p, sizeof b.in1.p, "%s", dir.c_str());
    std::snprintf(b.out.n, sizeof b.out.n, "%s", output.c_str());
    std::snprintf(b.out.p, sizeof b.out.p, "%s", dir.c_str());
    qf::paramInt(b, qf::kFftWindowParam) = qf::kWindowHanning;
    qf::paramInt(b, qf::kFftSizeParam) = 1024;
    qf::paramInt(b, qf::kFftIntervalParam) = 1024;
    qf::status().outputFormat = 'b';
    qf::buildOperationTable();
    qf::OperationRecord record = *qf::findOperation(QF_OP_FFT);

    const bool peakReset = resetPeakResident();
    const long before = statusKiB("VmRSS");
    for (auto _ : state) {
        // Each run creates its output anew, as a user's run does: the previous
        // run's frame file is removed outside the timing.
        state.PauseTiming();
        std::remove((dir + output).c_str());
        state.ResumeTiming();
        if (qf::pipelineExecute(0, &record) != 0) {
            state.SkipWithError("the FFT operation failed");
            break;
        }
    }
    long peak = statusKiB("VmHWM");
    if (!peakReset || peak < 0) {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        peak = usage.ru_maxrss;  // KiB on Linux; the peak of the whole run
    }
    state.counters["peak_rss_MiB"] = peak / 1024.0;
    state.counters["rss_rise_MiB"] = before >= 0 ? (peak - before) / 1024.0 : -1.0;
    state.SetItemsProcessed(state.iterations() * int64_t{samples});
    state.SetBytesProcessed(state.iterations() * int64_t{samples} * 4);
    std::remove((dir + input).c_str());
    std::remove((dir + output).c_str());
    ::rmdir(dir.c_str());
}
BENCHMARK(BM_FftFramesFileToFile)->Arg(20)->Arg(23)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
