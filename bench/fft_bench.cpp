// FFT benchmarks: the core transform on one large in-memory frame, and the
// frame loop of the FFT operation run in memory (window, transform, store).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "ops/spectral/fft_core.h"

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

}  // namespace

BENCHMARK_MAIN();
