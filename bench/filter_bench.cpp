// Filtering benchmarks, file to file on a binary REAL32 signal of 2^22
// samples, each against a plain loop measured in the same binary on the
// same files:
//
//   BM_FilterOverlapSave/255, /1023   operation 4005 with a float FIR of 255
//       and 1023 taps (overlap-save FFT) against a plain direct-form loop;
//       counter speedup = plain time / engine time, targets 4 and 12
//   BM_FilterDirectForm/31           operation 4005 with 31 float taps (the
//       direct form, eight outputs per pass) against a plain per-sample
//       loop that moves the delay line; target 1.5, and identical = 1 when
//       both wrote the same bits
// Speedups compare processor time (std::clock) of the two runs.
//
// The plain loops read and write 16 KiB chunks and form every output as
// the direct form defines it: the delay line moved by one, then the float
// sum of double products h[k] d[k], k = 0 ... T-1.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "core/engine.h"
#include "core/pipeline.h"

namespace {

constexpr int32_t kSamples = int32_t{1} << 22;

struct Files {
    std::string dir, signal = "signal.tim";
    bool ready = false;
};

const Files& files() {
    static Files f = [] {
        Files x;
        x.dir = qfbench::makeBenchDirectory("filter-bench");
        x.ready = !x.dir.empty() && qfbench::writeSignalFile(x.dir + x.signal, kSamples);
        return x;
    }();
    return f;
}

// A windowed-sinc low-pass of t taps (Hamming window, cut-off fs/8).
std::vector<float> lowPass(int32_t t) {
    const double pi = 3.14159265358979323846;
    std::vector<float> h(static_cast<std::size_t>(t));
    for (int32_t k = 0; k < t; ++k) {
        const double m = k - (t - 1) / 2.0;
        const double sinc = m == 0 ? 0.25 : std::sin(0.25 * pi * m) / (pi * m);
        h[k] = static_cast<float>(sinc * (0.54 - 0.46 * std::cos(2 * pi * k / (t - 1))));
    }
    return h;
}

// Writes the taps as a floating-point FIR coefficient file.
std::string writeFilterFile(const Files& f, const std::vector<float>& h) {
    const std::string name = "fir" + std::to_string(h.size()) + ".flt";
    std::FILE* out = std::fopen((f.dir + name).c_str(), "wb");
    if (!out) return "";
    std::fprintf(out,
                 "FILTER COEFFICIENT FILE\r\nFIR DESIGN FLOATING POINT\r\n"
                 "SAMPLING FREQUENCY            8.0000000E+003 HERTZ\r\n%4zu\r\n%04zx\r\n"
                 "  32\r\n0020\r\n",
                 h.size(), h.size());
    for (float v : h) std::fprintf(out, "% .9e\r\n", static_cast<double>(v));
    std::fclose(out);
    return name;
}

// The plain loop: the header copied, then every sample through a moved
// delay line.
bool plainFilter(const Files& f, const std::vector<float>& h, const std::string& output) {
    std::FILE* in = std::fopen((f.dir + f.signal).c_str(), "rb");
    std::FILE* out = std::fopen((f.dir + output).c_str(), "wb");
    bool ok = in && out;
    const std::string header = qfbench::real32Header(kSamples);
    std::vector<char> head(header.size());
    ok = ok && std::fread(head.data(), 1, head.size(), in) == head.size() &&
         std::fwrite(head.data(), 1, head.size(), out) == head.size();
    std::vector<float> chunk(16384 / sizeof(float)), d(h.size(), 0.0f);
    while (ok) {
        const std::size_t n = std::fread(chunk.data(), sizeof(float), chunk.size(), in);
        if (n == 0) break;
        for (std::size_t i = 0; i < n; ++i) {
            std::memmove(d.data() + 1, d.data(), (d.size() - 1) * sizeof(float));
            d[0] = chunk[i];
            float sum = 0.0f;
            for (std::size_t k = 0; k < h.size(); ++k)
                sum =
                    static_cast<float>(sum + static_cast<double>(h[k]) * static_cast<double>(d[k]));
            chunk[i] = sum;
        }
        ok = std::fwrite(chunk.data(), sizeof(float), n, out) == n;
    }
    if (in) std::fclose(in);
    if (out) ok = std::fclose(out) == 0 && ok;
    return ok;
}

// One run of 4005 through the pipeline, as RunOp's execute step does.
bool engineFilter(const Files& f, const std::string& filter, const std::string& output) {
    static CommandBlock commandBlock{};
    CommandBlock& b = commandBlock;
    qf::runtime().block = &b;
    b.opCode = QF_OP_FILTER;
    std::snprintf(b.in1.n, sizeof b.in1.n, "%s", filter.c_str());
    std::snprintf(b.in1.p, sizeof b.in1.p, "%s", f.dir.c_str());
    std::snprintf(b.in2.n, sizeof b.in2.n, "%s", f.signal.c_str());
    std::snprintf(b.in2.p, sizeof b.in2.p, "%s", f.dir.c_str());
    std::snprintf(b.out.n, sizeof b.out.n, "%s", output.c_str());
    std::snprintf(b.out.p, sizeof b.out.p, "%s", f.dir.c_str());
    qf::OperationRecord record = *qf::findOperation(QF_OP_FILTER);
    return qf::pipelineExecute(0, &record) == 0;
}

// Processor time of one run (user and system, so that file writes count
// and other processes on a shared machine do not).
template <typename Run>
double secondsOf(Run run) {
    const std::clock_t start = std::clock();
    if (!run()) return -1.0;
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// The records after the header of a signal file.
std::string dataOf(const std::string& path) {
    std::string bytes;
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) bytes.append(buf, n);
        std::fclose(in);
    }
    const std::size_t hash = bytes.find('#');
    return hash == std::string::npos ? std::string() : bytes.substr(hash + 3);
}

void runFilter(benchmark::State& state, bool compareBits) {
    const Files& f = files();
    if (!f.ready) {
        state.SkipWithError("cannot write the input signal file");
        return;
    }
    qf::buildOperationTable();
    qf::status().outputFormat = 'b';
    const std::vector<float> h = lowPass(static_cast<int32_t>(state.range(0)));
    const std::string filter = writeFilterFile(f, h);
    double engine = 0.0, plain = 0.0;
    for (auto _ : state) {
        const double t = secondsOf([&] { return engineFilter(f, filter, "engine.tim"); });
        if (t < 0 || filter.empty()) {
            state.SkipWithError("the operation failed");
            return;
        }
        engine += t;
        state.PauseTiming();
        plain += secondsOf([&] { return plainFilter(f, h, "plain.tim"); });
        state.ResumeTiming();
    }
    state.counters["speedup"] = engine > 0 && plain > 0 ? plain / engine : -1.0;
    if (compareBits)
        state.counters["identical"] =
            dataOf(f.dir + "engine.tim") == dataOf(f.dir + "plain.tim") ? 1.0 : 0.0;
    state.SetItemsProcessed(state.iterations() * int64_t{kSamples});
}

void BM_FilterOverlapSave(benchmark::State& state) {
    runFilter(state, false);
}
BENCHMARK(BM_FilterOverlapSave)->Arg(255)->Arg(1023)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_FilterDirectForm(benchmark::State& state) {
    runFilter(state, true);
}
BENCHMARK(BM_FilterDirectForm)->Arg(31)->Arg(63)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
