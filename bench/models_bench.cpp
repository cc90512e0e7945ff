// Signal-model benchmarks on in-memory data: the Wiener design (delay
// search and Levinson solves) at its largest length, one LPC frame
// (covariance update and lattice), and the LMS filter per sample.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "ops/spectral/models.h"

namespace {

std::vector<double> uniform(int32_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (double& v : x) v = dist(rng);
    return x;
}

// The whole design of 5180 for N taps: N / 256 delays apart, at most 256
// solves and one more.
void BM_WienerDesign(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    qf::WienerWork w;
    if (!w.start(n)) {
        state.SkipWithError("out of memory");
        return;
    }
    w.h = uniform(n, 1);
    for (int32_t i = 0; i < n; ++i) w.h[static_cast<std::size_t>(i)] *= 1.0 / (1 + i);
    w.d = uniform(n, 2);
    for (auto _ : state) {
        qf::wienerAutocorrelation(w);
        benchmark::DoNotOptimize(qf::wienerDesign(w));
    }
}
BENCHMARK(BM_WienerDesign)->Arg(256)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);

// One analysis frame: covariance by the update, then the lattice.
void BM_LpcFrame(benchmark::State& state) {
    const int32_t p = static_cast<int32_t>(state.range(0));
    const int32_t nf = static_cast<int32_t>(state.range(1));
    qf::LpcWorkspace ws;
    if (ws.fit(p, nf) != 0) {
        state.SkipWithError("out of memory");
        return;
    }
    ws.x = uniform(nf, 3);
    for (auto _ : state) {
        qf::lpcCovariance(ws.x.data(), nf, p, ws.phi.data());
        qf::lpcLattice(ws.phi.data(), p, ws.a.data(), ws.saved.data(), ws.k.data(), false);
        benchmark::DoNotOptimize(ws.k.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{nf});
}
BENCHMARK(BM_LpcFrame)->Args({10, 256})->Args({63, 2048})->Unit(benchmark::kMicrosecond);

// The LMS filter per sample (no trace).
void BM_LmsSamples(benchmark::State& state) {
    const int32_t taps = static_cast<int32_t>(state.range(0));
    qf::LmsFilter f;
    f.start(taps, 0.01f, false);
    const std::vector<double> x = uniform(4096, 4);
    float e = 0;
    for (auto _ : state) {
        for (std::size_t n = 0; n < x.size(); ++n)
            benchmark::DoNotOptimize(f.filter(static_cast<float>(x[n]),
                                              static_cast<float>(x[(n + 1) % x.size()]), true,
                                              static_cast<int32_t>(n), false, e));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(x.size()));
}
BENCHMARK(BM_LmsSamples)->Arg(32)->Arg(256)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
