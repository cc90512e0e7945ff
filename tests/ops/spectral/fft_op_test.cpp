// Operation 4050 through RunOp with the recording test host: dialogs and
// checks, frames against a naive DFT, the output file byte by byte, the
// notices, the accelerator seam and the script line.
//   X_f[k] = sum_{n<N} x[start_f + n] w[n] e^(-2 pi i n k / N)   (x = 0 past L)
#include "ops/spectral/fft_op.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "core/operation.h"
#include "script/lines.h"
#include "support/engine_test.h"

using namespace qf;
using namespace qf::test;

namespace {

using Complex = std::complex<double>;

const std::string kSizeText =
    "FFT size must be multiple of 2.  Maximum FFT size using accelerator is 2048; Maximum FFT "
    "size using host is 1048576.";
const std::string kFixedPointText =
    "To ensure accurate results, fixed point integer FFT is computed and stored in floating point "
    "data type.";
const std::string kZeroPaddingText =
    "Zero padding is required because signal length is shorter than FFT frame size.  Escessive "
    "zero padding may cause smearing of adjacent frequencies. ";

// Signal files are written and read byte by byte.
std::string headerLine(const std::string& key, const std::string& value) {
    return key + std::string(22 - key.size(), ' ') + ": " + value + "\r\n";
}

// A time signal file: the header, with `extra` lines before the data mark.
template <class T>
void writeSignal(const std::string& path, const std::vector<T>& v, const std::string& type,
                 const std::string& extra = "") {
    writeFile(path,
              headerLine("Remark", "test signal") +
                  headerLine("Number of record", std::to_string(v.size())) +
                  headerLine("Record type number", type) + headerLine("Signal frequency", "0 Hz") +
                  headerLine("Sampling rate", "8000 Hz") + headerLine("File format", "Binary") +
                  extra + "Data begin            #\r\x1a" +
                  std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T)));
}

struct Spectrum {
    std::string header;  // up to and including the bytes after '#'
    std::vector<Complex> bins;
};

Spectrum readSpectrum(const std::string& path) {
    Spectrum s;
    const std::string bytes = readFile(path);
    const std::size_t hash = bytes.find('#');
    if (hash == std::string::npos || hash + 3 > bytes.size()) return s;
    s.header = bytes.substr(0, hash + 3);
    std::vector<double> parts((bytes.size() - hash - 3) / 16 * 2);
    std::memcpy(parts.data(), bytes.data() + hash + 3, parts.size() * 8);
    for (std::size_t i = 0; i < parts.size(); i += 2) s.bins.emplace_back(parts[i], parts[i + 1]);
    return s;
}

// Frame f of a spectrum against the naive DFT of the samples x[start ...]
// that exist, times the rectangular or (hann) the Hanning window (even n,
// symmetric about (n - 1) / 2), zeros after; within a bound that grows with
// the frame's energy (exactly for a frame of zeros).
void expectFrame(const Spectrum& s, int32_t f, int32_t n, const std::vector<double>& x,
                 int64_t start, bool hann) {
    const double pi = std::acos(-1.0);
    std::vector<Complex> root(n), ref(n);
    std::vector<double> frame(n, 0.0);
    for (int32_t k = 0; k < n; ++k) root[k] = std::polar(1.0, -2.0 * pi * k / n);
    for (int32_t i = 0; i < n && start + i < static_cast<int64_t>(x.size()); ++i)
        frame[i] =
            x[start + i] * (hann ? 0.5 + 0.5 * std::cos(2.0 * pi * (i - (n - 1) / 2.0) / n) : 1.0);
    double scale = 0.0;
    for (int32_t k = 0; k < n; ++k) {
        for (int32_t i = 0, r = 0; i < n; ++i, r = r + k < n ? r + k : r + k - n)
            ref[k] += frame[i] * root[r];  // r = ik mod n
        scale = std::max(scale, std::abs(ref[k]));
    }
    const double tolerance = scale == 0 ? 0.0 : 1e-12 * (scale + n);
    for (int32_t k = 0; k < n; ++k)
        ASSERT_LE(std::abs(s.bins[static_cast<std::size_t>(f) * n + k] - ref[k]), tolerance)
            << "frame " << f << " bin " << k;
}

class FftOp : public EngineTest {
  protected:
    void TearDown() override {
        registerFftOperation();
        EngineTest::TearDown();
    }

    // Runs 4050 on work/in with the dialog answering window, N, interval.
    int32_t run(const std::string& in, const std::string& out, int32_t window, int32_t n,
                int32_t interval) {
        setEntry(block.in1, work, in);
        TestHost::instance().answer([=, this](CommandBlock& b, const HostCall& call) {
            EXPECT_EQ(call.name, "dspFFTGetPara");
            setEntry(b.out, work, out);
            paramInt(b, kFftWindowParam) = window;
            paramInt(b, kFftSizeParam) = n;
            paramInt(b, kFftIntervalParam) = interval;
            return 0;
        });
        block.opCode = QF_OP_FFT;
        return RunOp(&block);
    }
    Spectrum runAndRead(const std::string& in, const std::string& out, int32_t window, int32_t n,
                        int32_t interval) {
        EXPECT_EQ(run(in, out, window, n, interval), 0) << out;
        return readSpectrum(work + out);
    }
    // A pseudo-random REAL32 signal in (-1, 1) in work/name; returns its samples.
    std::vector<double> writeTestSignal(const std::string& name, int32_t length, uint32_t seed) {
        std::vector<float> x(length);
        for (float& v : x) {
            seed = seed * 1664525u + 1013904223u;
            v = static_cast<float>(static_cast<int32_t>(seed >> 8) / 8388608.0 - 1.0);
        }
        writeSignal(work + name, x, "REAL32");
        return std::vector<double>(x.begin(), x.end());
    }
    std::vector<std::string> messages(int kind) { return TestHost::instance().messages(kind); }

    std::string& work = dir;
    CommandBlock block{};
};

// A fake accelerator kernel: records "stages size start frame" of each call
// (" null" when a pointer is missing) and writes bin k of frame f as
// (1000 f + k, start) into the output buffer.
std::vector<std::string> g_kernelCalls;

int32_t fakeAccelerator(int32_t, const ComputeArgs* a) {
    const int32_t f = fftFrameIndex();
    g_kernelCalls.push_back(std::to_string(a->stages) + " " + std::to_string(a->size) + " " +
                            std::to_string(a->start) + " " + std::to_string(f) +
                            (a->window && a->input && a->output ? "" : " null"));
    auto* bins = static_cast<double*>(a->output->buffer);
    if (a->output->windowStart != f * a->size) return 1;
    for (int32_t k = 0; k < a->size; ++k) {
        bins[2 * k] = 1000.0 * f + k;
        bins[2 * k + 1] = a->start;
    }
    return 0;
}

}  // namespace

TEST_F(FftOp, ImpulseSpectrumInBinaryAndTextFiles) {
    std::vector<float> x(256, 0.0f);
    x[0] = 1.0f;
    writeSignal(work + "impulse.tim", x, "REAL32");
    const Spectrum s = runAndRead("impulse.tim", "impulse.fre", kWindowRectangular, 256, 256);
    EXPECT_EQ(s.header,
              "Remark                : FFT(impulse.tim)\r\n"
              "Number of record      : 256\r\n"
              "Record type number    : CREAL128RECT(W)\r\n"
              "Signal frequency      : 0 Hz\r\n"
              "Sampling rate         : 8000 Hz\r\n"
              "File format           : Binary\r\n"
              "Frame size            : 256\r\n"
              "Frame interval        : 256\r\n"
              "Window function       : Rectangular\r\n"
              "Data begin            #\r\x1a");
    EXPECT_EQ(s.bins, std::vector<Complex>(256, Complex(1.0, 0.0)));
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION),
              "[impulse.fre] = FFT of [impulse.tim]");
    EXPECT_EQ(qfenStatus->busy, 'n');
    // The result is the next input, as a time signal name.
    EXPECT_STREQ(block.in1.n, "impulse.tim");
    EXPECT_EQ(block.opCode, QF_OP_DONE);

    // As text: the output follows the status record's format.
    qfenStatus->outputFormat = 'a';
    ASSERT_EQ(run("impulse.tim", "i.fre", kWindowRectangular, 128, 128), 0);
    qfenStatus->outputFormat = 'b';
    EXPECT_NE(readFile(work + "i.fre").find(headerLine("File format", "ASCII")), std::string::npos);
}

TEST_F(FftOp, FramesFollowThePlanAndMatchTheNaiveDft) {
    // Every frame f against the naive DFT of the frame at first + f * hop; a
    // frame past the signal is all zeros.
    struct Case {
        const char* name;
        int32_t length, window, n, interval, frames;
        int64_t first, hop;
    } const cases[] = {
        // (4000 - 1024 + 255) / 256 + 1 = 13 frames, the last zero-padded.
        {"positive", 4000, kWindowRectangular, 1024, 256, 13, 0, 256},
        // A negative interval starts the one frame at -interval, at most L - N.
        {"minus100", 1000, kWindowHanning, 256, -100, 1, 100, 0},
        // (1100 - 32 + 999) / 1000 + 1 = 3 frames at 0, 1000, 2000 (past the signal).
        {"gaps", 1100, kWindowRectangular, 32, 1000, 3, 0, 1000},
        // 100 windowed samples, then 412 zeros (the window is not applied to them).
        {"short", 100, kWindowHanning, 512, 512, 1, 0, 0},
        // (5000 - 4096 + 4095) / 4096 + 1 = 2 frames above the accelerator's largest.
        {"large", 5000, kWindowHanning, 4096, 4096, 2, 0, 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<double> x = writeTestSignal("s.tim", c.length, c.length);
        const Spectrum s =
            runAndRead("s.tim", std::string(c.name) + ".fre", c.window, c.n, c.interval);
        ASSERT_EQ(s.bins.size(), static_cast<std::size_t>(c.frames) * c.n);
        EXPECT_NE(s.header.find(headerLine("Frame interval", std::to_string(c.interval))),
                  std::string::npos);
        for (int32_t f = 0; f < c.frames; ++f)
            expectFrame(s, f, c.n, x, c.first + c.hop * f, c.window == kWindowHanning);
    }
}

TEST_F(FftOp, DialogIsSeededFromTheStatusAndBadParametersStopWithoutOutput) {
    writeTestSignal("s.tim", 300, 1);
    qfenStatus->fftWindow = 2;
    qfenStatus->fftSize = 128;
    qfenStatus->fftInterval = 64;
    std::vector<int32_t> seen;
    setEntry(block.in1, work, "s.tim");
    TestHost::instance().answer([&](CommandBlock& b, const HostCall&) {
        seen = {paramInt(b, kFftWindowParam), paramInt(b, kFftSizeParam),
                paramInt(b, kFftIntervalParam)};
        paramInt(b, kFftSizeParam) = 64;
        return 0;
    });
    block.opCode = QF_OP_FFT;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(seen, (std::vector<int32_t>{2, 128, 64}));
    EXPECT_EQ(
        (std::vector<int32_t>{qfenStatus->fftWindow, qfenStatus->fftSize, qfenStatus->fftInterval}),
        (std::vector<int32_t>{2, 64, 64}));
    // RunOp proposed the output name: the input's with ".fre".
    const Spectrum s = readSpectrum(work + "s.fre");
    EXPECT_EQ(s.bins.size(), static_cast<std::size_t>((300 - 64 + 63) / 64 + 1) * 64);
    EXPECT_NE(s.header.find(headerLine("Window function", "Blackman")), std::string::npos);

    // A frame spectrum is not a time signal; the second dialog is cancelled.
    EXPECT_EQ(run("s.fre", "t.fre", kWindowRectangular, 32, 32), 1);
    EXPECT_EQ(TestHost::instance().count("dspFFTGetPara"), 3);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Error reading 's.fre' or having unsupported data type.");
    EXPECT_FALSE(fileExists(work + "t.fre"));

    // A cancelled dialog runs nothing.
    setEntry(block.in1, work, "s.tim");
    TestHost::instance().answerCancel();
    block.opCode = QF_OP_FFT;
    EXPECT_EQ(RunOp(&block), 1);
    EXPECT_EQ(block.opCode, QF_OP_DONE);

    // Sizes outside the table, window numbers outside the table and plans
    // beyond the largest record count stop without output.
    EXPECT_EQ(run("s.tim", "bad.fre", kWindowRectangular, 1000, 1000), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), kSizeText);
    EXPECT_FALSE(fileExists(work + "bad.fre"));
    setEntry(block.in1, work, "s.tim");
    for (int32_t n : {16, 3000, 1 << 21})
        EXPECT_EQ((paramInt(block, kFftSizeParam) = n, fftCheckParams(0)), kFftBadSize) << n;
    // Window 16 stops before anything is allocated, without an error message.
    EXPECT_EQ(run("s.tim", "w16.fre", 16, 64, 64), 1);
    EXPECT_FALSE(fileExists(work + "w16.fre"));
    EXPECT_TRUE(messages(QF_MSG_ERROR).empty());
    EXPECT_EQ(fftCurrentWindow(), nullptr);
    EXPECT_FALSE(fftWorkspace().allocated());

    // Interval 1 over 2^21 + 1023 samples: 2^21 frames of 1024 points, one
    // record more than a file can count.
    writeSignal(work + "long.tim", std::vector<int16_t>((1 << 21) + 1023, 0), "INTEGER16");
    EXPECT_EQ(run("long.tim", "long.fre", kWindowRectangular, 1024, 1), 1);
    EXPECT_FALSE(fileExists(work + "long.fre"));
    ASSERT_EQ(messages(QF_MSG_ERROR).size(), 1u);
    EXPECT_NE(messages(QF_MSG_ERROR)[0].find("2097152 FFT frames of 1024 points"),
              std::string::npos);
    EXPECT_EQ(fftCurrentWindow(), nullptr);
    EXPECT_EQ(qfenStatus->busy, 'n');
    setEntry(block.in1, work, "missing.tim");  // unreadable
    EXPECT_EQ(fftCheckParams(0), kFftUnreadableInput);
}

TEST_F(FftOp, SixteenBitWordsAreFractionsAndTheNoticesShowOnce) {
    std::vector<int16_t> x(64, 0);
    x[0] = -32768;
    writeSignal(work + "w.tim", x, "INTEGER16");
    // No fixed-point notice while the accelerator is on or notices are off.
    board().acceleratorOn = 1;
    ASSERT_EQ(run("w.tim", "a.fre", kWindowRectangular, 64, 64), 0);
    board().acceleratorOn = 0;
    qfenStatus->noticeSetting = 1;
    ASSERT_EQ(run("w.tim", "b.fre", kWindowRectangular, 64, 64), 0);
    qfenStatus->noticeSetting = 0;
    EXPECT_TRUE(messages(QF_MSG_NOTICE).empty());
    const Spectrum s = runAndRead("w.tim", "w.fre", kWindowRectangular, 64, 64);
    EXPECT_EQ(s.bins, std::vector<Complex>(64, Complex(-1.0, 0.0)));
    EXPECT_EQ(messages(QF_MSG_NOTICE), std::vector<std::string>{kFixedPointText});

    // A single-channel recording is a 16-bit signal too.
    x[0] = 16384;
    writeSignal(work + "r.tim", x, "REALTIMEINT16",
                headerLine("Number of channels", "1") + headerLine("ADC/DAC device code", "0") +
                    "Ch0  range gain source: 1 1 0\r\n");
    const Spectrum r = runAndRead("r.tim", "r.fre", kWindowRectangular, 64, 64);
    EXPECT_EQ(r.bins, std::vector<Complex>(64, Complex(0.5, 0.0)));
    EXPECT_EQ(messages(QF_MSG_NOTICE).size(), 1u);  // not repeated

    // A short REAL32 signal: 256 / 100 = 2, no notice; 512 / 100 = 5, the
    // zero-padding notice, once while the library is loaded.
    writeTestSignal("short.tim", 100, 9);
    ASSERT_EQ(run("short.tim", "c.fre", kWindowRectangular, 256, 256), 0);
    EXPECT_TRUE(messages(QF_MSG_CAUTION).empty());
    for (const char* out : {"d.fre", "e.fre"})
        ASSERT_EQ(run("short.tim", out, kWindowHanning, 512, 512), 0);
    EXPECT_EQ(messages(QF_MSG_CAUTION), std::vector<std::string>{kZeroPaddingText});
    // A new engine start in the same process does not show either again.
    ExitQuillfen();
    ASSERT_EQ(startEngine(home), 0);
    ASSERT_EQ(run("short.tim", "f.fre", kWindowHanning, 512, 512), 0);
    ASSERT_EQ(run("w.tim", "g.fre", kWindowRectangular, 64, 64), 0);
    EXPECT_TRUE(messages(QF_MSG_CAUTION).empty());
    EXPECT_TRUE(messages(QF_MSG_NOTICE).empty());
}

TEST_F(FftOp, RegisteredWithTheHostKernelWhichAnAcceleratorKernelMayReplace) {
    EXPECT_TRUE(fftHostKernelInstalled());

    // An accelerator kernel gets the frames and is limited to 2048 points.
    writeTestSignal("s.tim", 3000, 2);
    OperationDescription accelerated = fftDescription();
    accelerated.handlers.compute = fakeAccelerator;
    registerDescribed(accelerated);
    g_kernelCalls.clear();
    EXPECT_FALSE(fftHostKernelInstalled());
    EXPECT_EQ(run("s.tim", "big.fre", kWindowRectangular, 4096, 4096), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), kSizeText);
    EXPECT_FALSE(fileExists(work + "big.fre"));
    EXPECT_TRUE(g_kernelCalls.empty());
    setEntry(block.in1, work, "s.tim");
    EXPECT_EQ((paramInt(block, kFftSizeParam) = 2048, fftCheckParams(0)), 0);

    // (3000 - 1024 + 1023) / 1024 + 1 = 3 frames, each written by the kernel
    // into the output's buffer.
    ASSERT_EQ(run("s.tim", "s.fre", kWindowHanning, 1024, 1024), 0);
    EXPECT_EQ(g_kernelCalls,
              (std::vector<std::string>{"10 1024 0 0", "10 1024 1024 1", "10 1024 2048 2"}));
    const Spectrum s = readSpectrum(work + "s.fre");
    ASSERT_EQ(s.bins.size(), 3072u);
    for (int32_t f = 0; f < 3; ++f)
        for (int32_t k = 0; k < 1024; k += 100)
            EXPECT_EQ(s.bins[f * 1024 + k], Complex(1000.0 * f + k, 1024.0 * f));

    // The host kernel back in place: 4096 is accepted again.
    registerFftOperation();
    EXPECT_EQ((paramInt(block, kFftSizeParam) = 4096, fftCheckParams(0)), 0);
}

TEST_F(FftOp, ScriptLinesRoundTripAndRefuseBadLines) {
    const std::string dir = work + "sub dir/";
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    writeTestSignal("sub dir/my in.tim", 1000, 4);
    block.opCode = QF_OP_FFT;
    setEntry(block.in1, dir, "my in.tim");
    setEntry(block.out, dir, "my out.fre");
    paramInt(block, kFftWindowParam) = 1;
    paramInt(block, kFftSizeParam) = 512;
    paramInt(block, kFftIntervalParam) = -300;
    runtime().block = &block;
    auto fields = [this] {
        return std::string(block.in1.p) + "|" + block.in1.n + "|" + block.out.p + "|" +
               block.out.n + "|" + std::to_string(paramInt(block, kFftWindowParam)) + " " +
               std::to_string(paramInt(block, kFftSizeParam)) + " " +
               std::to_string(paramInt(block, kFftIntervalParam));
    };
    const std::string expectedFields = dir + "|my in.tim|" + dir + "|my out.fre|1 512 -300";

    std::FILE* f = std::fopen((work + "line.scr").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(genericWriteScriptLine(0, f), 0);
    std::fclose(f);
    std::string escaped = dir;
    std::replace(escaped.begin(), escaped.end(), ' ', '*');
    const std::string line = readFile(work + "line.scr");
    EXPECT_EQ(line, "4050 FastFourierTransform     " + escaped + " my*in.tim 1 512 -300 " +
                        escaped + " my*out.fre\r\n");
    EXPECT_EQ(fields(), expectedFields);  // the block keeps its blanks

    std::memset(&block, 0, sizeof block);
    block.opCode = QF_OP_FFT;
    EXPECT_EQ(genericReadScriptLine(0, line.c_str(), fftCheckParams), 0);
    EXPECT_EQ(fields(), expectedFields);

    // Lines that do not parse give 1, lines the check refuses its result; the
    // zero-padding result is accepted without a message.
    writeTestSignal("s.tim", 100, 4);
    const std::string head = "4050 FastFourierTransform     " + work + " ";
    const std::pair<std::string, int32_t> cases[] = {
        {head + "s.tim 0 256 256 " + work, 1},                                // six fields
        {head + "s.tim 0 x 256 " + work + " o.fre", 1},                       // not a number
        {head + std::string(300, 'a') + " 0 256 256 " + work + " o.fre", 1},  // long name
        {head + "s.tim 0 1000 256 " + work + " o.fre", 2},                    // size refused
        {head + "s.tim 0 512 256 " + work + " o.fre", 0},                     // zero padding
    };
    for (const auto& [text, result] : cases)
        EXPECT_EQ(genericReadScriptLine(0, text.c_str(), fftCheckParams), result) << text;
    EXPECT_TRUE(messages(QF_MSG_CAUTION).empty());
}
