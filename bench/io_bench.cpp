// Signal file throughput, each against a baseline in this binary on the same
// data, measured in the same iteration so both see the same machine:
//
//   BM_TextWrite            2^23 REAL32 text records written through the
//                           access layer vs a to_chars loop making the same
//                           bytes; counter speedup = loop / engine (>= 1.8)
//   BM_TextRead             the same file read back through the access layer
//                           vs a from_chars loop; speedup = loop / engine
//                           (>= 1.0)
//   BM_BinaryElementwise    scaling a 2^24-sample binary REAL32 file by a
//                           constant (3035) through the pipeline vs a plain
//                           read-compute-write loop over 1 MiB chunks;
//                           vs_plain = engine / loop (<= 1.2)
//   BM_FftFileToFile        the FFT operation (N = 1024, Hanning, interval
//                           1024) on 2^22 samples from file to file vs the
//                           same frame loop in memory; vs_memory = engine /
//                           memory (<= 1.3)
//   BM_PeakMemory           the elementwise and FFT runs at 2^20 ... 2^24
//                           samples: how far the resident memory rose
//                           (rss_rise_MiB), which must not grow with the
//                           signal.
//
// Each output is created anew, as on a user's first run: the file of the
// previous iteration is removed outside the timing (replacing a file costs
// the file system the same whoever writes it).  The ratios are of elapsed
// time; the *_cpu counters give the same ratios in processor time of the
// whole process (the engine's writer thread included), which a machine
// busy with other work disturbs less.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "core/engine.h"
#include "core/pipeline.h"
#include "ops/spectral/fft_core.h"
#include "ops/spectral/fft_op.h"
#include "signal/access.h"
#include "signal/format.h"

namespace {

using Clock = std::chrono::steady_clock;

// Elapsed, process and calling-thread processor seconds of one timed step.
struct Times {
    double wall = 0.0, cpu = 0.0, thread = 0.0;
    Times& operator+=(const Times& t) {
        wall += t.wall;
        cpu += t.cpu;
        thread += t.thread;
        return *this;
    }
};

double clockSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

template <typename F>
Times timed(F f) {
    const double cpu = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double thread = clockSeconds(CLOCK_THREAD_CPUTIME_ID);
    const Clock::time_point start = Clock::now();
    f();
    return Times{std::chrono::duration<double>(Clock::now() - start).count(),
                 clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu,
                 clockSeconds(CLOCK_THREAD_CPUTIME_ID) - thread};
}

// The engine's time against the baseline's as counters: `name` is
// baseline / engine when `speedup`, else engine / baseline, of elapsed time;
// name_cpu the same of the whole process's processor time (the engine's
// writer thread included); name_thread of the calling thread's alone (what
// the elapsed ratio is where a second core takes the writer thread).
// engine_ms and baseline_ms are the elapsed milliseconds of one iteration.
void ratioCounters(benchmark::State& state, const char* name, const Times& engine,
                   const Times& baseline, bool speedup) {
    auto ratio = [speedup](double e, double b) {
        const double num = speedup ? b : e, den = speedup ? e : b;
        return den > 0 ? num / den : -1.0;
    };
    state.counters[name] = ratio(engine.wall, baseline.wall);
    state.counters[std::string(name) + "_cpu"] = ratio(engine.cpu, baseline.cpu);
    state.counters[std::string(name) + "_thread"] = ratio(engine.thread, baseline.thread);
    const double n =
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["engine_ms"] = 1000.0 * engine.wall / n;
    state.counters["baseline_ms"] = 1000.0 * baseline.wall / n;
}

// The folders this benchmark made, removed with everything in them when it
// ends (the files are hundreds of MiB).
struct MadeFolders {
    std::vector<std::string> dirs;
    ~MadeFolders() {
        for (const std::string& d : dirs) std::filesystem::remove_all(d);
    }
};

std::string benchFolder(const char* what) {
    static MadeFolders made;
    std::string dir = qfbench::makeBenchDirectory(what);
    if (!dir.empty()) made.dirs.push_back(dir);
    return dir;
}

nameNpath entryOf(const std::string& dir, const std::string& name) {
    nameNpath e{};
    std::snprintf(e.n, sizeof e.n, "%s", name.c_str());
    std::snprintf(e.p, sizeof e.p, "%s", dir.c_str());
    return e;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- Text records -----------------------------------------------------------

constexpr int32_t kTextSamples = int32_t{1} << 23;
constexpr int kRecordWidth = 17;  // "% 14.7E" CR LF

struct TextFiles {
    std::string dir;
    std::vector<float> values;
    bool ready = false;
};

const TextFiles& textFiles() {
    static TextFiles t = [] {
        TextFiles x;
        x.dir = benchFolder("io-bench");
        std::mt19937_64 rng(5);
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        x.values.resize(kTextSamples);
        for (float& v : x.values) v = dist(rng);
        x.ready = !x.dir.empty();
        return x;
    }();
    return t;
}

qf::SignalDescriptor textHeader() {
    qf::SignalDescriptor d{};
    qf::setRemark(d, "bench");
    d.samplingRate = 8000.0;
    return d;
}

// The engine: one output through its windows.
bool engineTextWrite(const TextFiles& t, const char* name) {
    qf::SignalDescriptor d = textHeader();
    if (qf::sigOpenWrite(d, entryOf(t.dir, name), qf::kReal32, kTextSamples, 'a',
                         qf::kSequentialWindowBytes) != 0)
        return false;
    const float* x = t.values.data();
    const int32_t r =
        qf::forEachOutputSpan<float>(d, 0, kTextSamples, [x](float* y, int32_t i, int32_t n) {
            std::memcpy(y, x + i, static_cast<std::size_t>(n) * sizeof(float));
        });
    if (r != 0) {
        qf::sigDiscard(d);
        return false;
    }
    return qf::sigClose(d) == 0;
}

// One record as "% 14.7E" with three exponent digits, from to_chars.
char* toCharsRecord(char* o, float v) {
    char t[32];
    const auto r = std::to_chars(t, t + sizeof t, v, std::chars_format::scientific, 7);
    const char* p = t;
    *o++ = *p == '-' ? (++p, '-') : ' ';
    const char* e =
        static_cast<const char*>(std::memchr(p, 'e', static_cast<std::size_t>(r.ptr - p)));
    std::memcpy(o, p, static_cast<std::size_t>(e - p));
    o += e - p;
    *o++ = 'E';
    *o++ = e[1];
    const std::size_t digits = static_cast<std::size_t>(r.ptr - (e + 2));
    for (std::size_t k = digits; k < 3; ++k) *o++ = '0';
    std::memcpy(o, e + 2, digits);
    o += digits;
    *o++ = '\r';
    *o++ = '\n';
    return o;
}

// The baseline: the same header and records from a to_chars loop, written
// in 1 MiB blocks.
bool loopTextWrite(const TextFiles& t, const char* name) {
    std::FILE* f = std::fopen((t.dir + name).c_str(), "wb");
    if (!f) return false;
    qf::SignalDescriptor d = textHeader();
    d.recordType = qf::kReal32;
    d.recordCount = kTextSamples;
    d.format = 'a';
    const std::string header = qf::headerText(d);
    bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
    const int32_t perBlock = (1 << 20) / 4;
    std::vector<char> block(static_cast<std::size_t>(perBlock) * kRecordWidth);
    for (int32_t i = 0; ok && i < kTextSamples; i += perBlock) {
        const int32_t n = std::min(perBlock, kTextSamples - i);
        char* o = block.data();
        for (int32_t k = 0; k < n; ++k) o = toCharsRecord(o, t.values[i + k]);
        ok = std::fwrite(block.data(), 1, static_cast<std::size_t>(o - block.data()), f) ==
             static_cast<std::size_t>(o - block.data());
    }
    return std::fclose(f) == 0 && ok;
}

void BM_TextWrite(benchmark::State& state) {
    const TextFiles& t = textFiles();
    if (!t.ready || !engineTextWrite(t, "engine.tim") || !loopTextWrite(t, "loop.tim")) {
        state.SkipWithError("cannot write the text files");
        return;
    }
    if (readAll(t.dir + "engine.tim") != readAll(t.dir + "loop.tim")) {
        state.SkipWithError("the engine and the to_chars loop wrote different bytes");
        return;
    }
    Times engine, loop;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove((t.dir + "engine.tim").c_str());
        std::remove((t.dir + "loop.tim").c_str());
        state.ResumeTiming();
        engine += timed([&] {
            if (!engineTextWrite(t, "engine.tim")) state.SkipWithError("the engine failed");
        });
        state.PauseTiming();
        loop += timed([&] { loopTextWrite(t, "loop.tim"); });
        state.ResumeTiming();
    }
    ratioCounters(state, "speedup", engine, loop, true);
    state.SetItemsProcessed(state.iterations() * int64_t{kTextSamples});
}
BENCHMARK(BM_TextWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The engine: the file read through its windows, the values summed.
bool engineTextRead(const TextFiles& t, double& sum) {
    qf::SignalDescriptor d{};
    if (qf::sigOpenRead(d, entryOf(t.dir, "engine.tim"), qf::kSequentialWindowBytes) != 0)
        return false;
    double s = 0.0;
    for (int32_t i = 0; i < d.recordCount;) {
        if (qf::sigAccess(d, i) != 0) return false;
        const int32_t n = std::min(qf::residentFrom(d, i), d.recordCount - i);
        const float* x = d.at<float>(i);
        for (int32_t k = 0; k < n; ++k) s += x[k];
        i += n;
    }
    qf::sigClose(d);
    sum = s;
    return true;
}

// The baseline: 1 MiB blocks of records, each field read by from_chars.
bool loopTextRead(const TextFiles& t, double& sum) {
    std::FILE* f = std::fopen((t.dir + "engine.tim").c_str(), "rb");
    if (!f) return false;
    char head[512];
    const std::size_t got = std::fread(head, 1, sizeof head, f);
    const char* hash = static_cast<const char*>(std::memchr(head, '#', got));
    if (!hash || std::fseek(f, hash - head + 3, SEEK_SET) != 0) {
        std::fclose(f);
        return false;
    }
    const std::size_t perBlock = (1 << 20) / 4;
    std::vector<char> block(perBlock * kRecordWidth);
    double s = 0.0;
    for (;;) {
        const std::size_t n = std::fread(block.data(), kRecordWidth, perBlock, f);
        if (n == 0) break;
        const char* p = block.data();
        for (std::size_t k = 0; k < n; ++k, p += kRecordWidth) {
            float x = 0.0f;
            std::from_chars(p + (*p == ' '), p + 15, x);
            s += x;
        }
    }
    std::fclose(f);
    sum = s;
    return true;
}

void BM_TextRead(benchmark::State& state) {
    const TextFiles& t = textFiles();
    double a = 0.0, b = 0.0;
    if (!t.ready || !engineTextWrite(t, "engine.tim") || !engineTextRead(t, a) ||
        !loopTextRead(t, b) || a != b) {
        state.SkipWithError("cannot read the text file alike");
        return;
    }
    Times engine, loop;
    for (auto _ : state) {
        engine += timed([&] {
            if (!engineTextRead(t, a)) state.SkipWithError("the engine failed");
        });
        state.PauseTiming();
        loop += timed([&] { loopTextRead(t, b); });
        state.ResumeTiming();
        benchmark::DoNotOptimize(a + b);
    }
    ratioCounters(state, "speedup", engine, loop, true);
    state.SetItemsProcessed(state.iterations() * int64_t{kTextSamples});
}
BENCHMARK(BM_TextRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---- Operations from file to file -------------------------------------------

constexpr double kFactor = 0.75;

struct SignalFile {
    std::string dir;
    int32_t samples = 0;
    bool ready = false;
};

// A binary REAL32 signal of 2^log2 samples (kept for the whole run).
const SignalFile& signalFile(int log2) {
    static SignalFile files[32];
    SignalFile& f = files[log2];
    if (f.samples == 0) {
        f.samples = int32_t{1} << log2;
        f.dir = benchFolder("io-signal");
        f.ready = !f.dir.empty() && qfbench::writeSignalFile(f.dir + "signal.tim", f.samples);
    }
    return f;
}

CommandBlock& benchBlock() {
    static CommandBlock b{};
    qf::runtime().block = &b;
    return b;
}

bool runOperation(int32_t code, const SignalFile& f, const char* output) {
    CommandBlock& b = benchBlock();
    b.opCode = code;
    b.in1 = entryOf(f.dir, "signal.tim");
    b.out = entryOf(f.dir, output);
    qf::OperationRecord record = *qf::findOperation(code);
    return qf::pipelineExecute(0, &record) == 0;
}

bool engineScale(const SignalFile& f) {
    qf::paramDouble(benchBlock(), QF_P_CONSTANT) = kFactor;
    return runOperation(QF_OP_MULTIPLY_K, f, "scaled.tim");
}

bool engineFft(const SignalFile& f) {
    CommandBlock& b = benchBlock();
    qf::paramInt(b, qf::kFftWindowParam) = qf::kWindowHanning;
    qf::paramInt(b, qf::kFftSizeParam) = 1024;
    qf::paramInt(b, qf::kFftIntervalParam) = 1024;
    return runOperation(QF_OP_FFT, f, "signal.fre");
}

// The baseline: the header copied, then 1 MiB chunks read, scaled in double
// as the operation does, and written.
bool plainScale(const SignalFile& f) {
    std::FILE* in = std::fopen((f.dir + "signal.tim").c_str(), "rb");
    std::FILE* out = std::fopen((f.dir + "plain.tim").c_str(), "wb");
    bool ok = in && out;
    const std::string header = qfbench::real32Header(f.samples);
    std::vector<char> head(header.size());
    ok = ok && std::fread(head.data(), 1, head.size(), in) == head.size() &&
         std::fwrite(head.data(), 1, head.size(), out) == head.size();
    std::vector<float> chunk((1 << 20) / sizeof(float));
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

void BM_BinaryElementwise(benchmark::State& state) {
    const SignalFile& f = signalFile(24);
    if (!f.ready) {
        state.SkipWithError("cannot write the input signal file");
        return;
    }
    qf::buildOperationTable();
    qf::status().outputFormat = 'b';
    Times engine, plain;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove((f.dir + "scaled.tim").c_str());
        std::remove((f.dir + "plain.tim").c_str());
        state.ResumeTiming();
        engine += timed([&] {
            if (!engineScale(f)) state.SkipWithError("the operation failed");
        });
        state.PauseTiming();
        plain += timed([&] { plainScale(f); });
        state.ResumeTiming();
    }
    ratioCounters(state, "vs_plain", engine, plain, false);
    state.SetBytesProcessed(state.iterations() * int64_t{f.samples} * 4);
}
BENCHMARK(BM_BinaryElementwise)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The baseline: the FFT operation's frame loop on the signal in memory
// (window, transform, the frames kept in an output array).
struct InMemoryFft {
    std::vector<float> signal;
    std::vector<double> output;
    qf::FftWorkspace ws;
    qf::FftFramePlan plan;
    bool ready = false;

    explicit InMemoryFft(int32_t samples) {
        std::mt19937_64 rng(3);
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        signal.resize(samples);
        for (float& v : signal) v = dist(rng);
        ready = ws.allocate(1024) == 0;
        if (!ready) return;
        qf::computeWindow(qf::kWindowHanning, 1024, ws.window.data());
        plan = qf::fftFramePlan(samples, 1024, 1024);
        output.assign(static_cast<std::size_t>(plan.count) * 1024 * 2, 0.0);
    }
    void run() {
        const int32_t samples = static_cast<int32_t>(signal.size());
        for (int64_t f = 0; f < plan.count; ++f) {
            const int64_t start = plan.start(f);
            const int32_t count = qf::fftFrameSamples(samples, 1024, start);
            double* frame = output.data() + f * 1024 * 2;
            qf::fftLoadSamples(frame, 0, signal.data() + start, count, ws.window.data());
            qf::fftZeroPad(frame, count, 1024);
            qf::fftForward(ws, frame, ws.stages);
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
};

void BM_FftFileToFile(benchmark::State& state) {
    const SignalFile& f = signalFile(22);
    InMemoryFft memory(f.samples);
    if (!f.ready || !memory.ready) {
        state.SkipWithError("cannot prepare the signal");
        return;
    }
    qf::buildOperationTable();
    qf::status().outputFormat = 'b';
    Times engine, inMemory;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove((f.dir + "signal.fre").c_str());
        state.ResumeTiming();
        engine += timed([&] {
            if (!engineFft(f)) state.SkipWithError("the FFT operation failed");
        });
        state.PauseTiming();
        inMemory += timed([&] { memory.run(); });
        state.ResumeTiming();
    }
    ratioCounters(state, "vs_memory", engine, inMemory, false);
    state.SetItemsProcessed(state.iterations() * int64_t{f.samples});
}
BENCHMARK(BM_FftFileToFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---- Peak memory ------------------------------------------------------------

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
// VmHWM to the current VmRSS).
bool resetPeakResident() {
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f) return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

// range(0): log2 of the samples; range(1): 0 the elementwise scaling, 1 the
// FFT.  rss_rise_MiB is how far the peak rose above the memory in use
// before the runs.
void BM_PeakMemory(benchmark::State& state) {
    const SignalFile& f = signalFile(static_cast<int>(state.range(0)));
    if (!f.ready) {
        state.SkipWithError("cannot write the input signal file");
        return;
    }
    qf::buildOperationTable();
    qf::status().outputFormat = 'b';
    const bool fft = state.range(1) == 1;
    const bool reset = resetPeakResident();
    const long before = statusKiB("VmRSS");
    for (auto _ : state)
        if (!(fft ? engineFft(f) : engineScale(f))) state.SkipWithError("the operation failed");
    const long peak = statusKiB("VmHWM");
    state.counters["rss_rise_MiB"] =
        reset && before >= 0 && peak >= 0 ? (peak - before) / 1024.0 : -1.0;
    state.counters["peak_rss_MiB"] = peak >= 0 ? peak / 1024.0 : -1.0;
    state.SetItemsProcessed(state.iterations() * int64_t{f.samples});
}
BENCHMARK(BM_PeakMemory)
    ->ArgsProduct({{20, 22, 24}, {0, 1}})
    ->ArgNames({"log2_samples", "fft"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
