// Operation 4050 through RunOp and its handlers, with the recording test
// host: dialogs and checks, the frame plan, the frame kernel (against a
// naive DFT computed here), the output file byte by byte, the notices, the
// accelerator seam and the script line.
//
//   X_f[k] = sum_{n<N} x[start_f + n] w[n] e^(-2 pi i n k / N)   (x = 0 past L)
#include "ops/spectral/fft_op.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/operation.h"
#include "signal/access.h"
#include "support/test_host.h"

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

// ---- Signal files written and read byte by byte ----------------------------

std::string headerLine(const std::string& key, const std::string& value) {
    std::string k = key;
    k.resize(22, ' ');
    return k + ": " + value + "\r\n";
}

std::string timeHeader(const std::string& type, std::size_t count, const std::string& extra = "") {
    return headerLine("Remark", "test signal") +
           headerLine("Number of record", std::to_string(count)) +
           headerLine("Record type number", type) + headerLine("Signal frequency", "0 Hz") +
           headerLine("Sampling rate", "8000 Hz") + headerLine("File format", "Binary") + extra +
           "Data begin            #\r\x1a";
}

void writeReal32(const std::string& path, const std::vector<float>& v) {
    writeFile(path, timeHeader("REAL32", v.size()) +
                        std::string(reinterpret_cast<const char*>(v.data()), v.size() * 4));
}

void writeInt16(const std::string& path, const std::vector<int16_t>& v) {
    writeFile(path, timeHeader("INTEGER16", v.size()) +
                        std::string(reinterpret_cast<const char*>(v.data()), v.size() * 2));
}

void writeRecording(const std::string& path, const std::vector<int16_t>& v) {
    const std::string extra = headerLine("Number of channels", "1") +
                              headerLine("ADC/DAC device code", "0") +
                              "Ch0  range gain source: 1 1 0\r\n";
    writeFile(path, timeHeader("REALTIMEINT16", v.size(), extra) +
                        std::string(reinterpret_cast<const char*>(v.data()), v.size() * 2));
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
    const std::string data = bytes.substr(hash + 3);
    std::vector<double> parts(data.size() / 8);
    std::memcpy(parts.data(), data.data(), parts.size() * 8);
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        s.bins.emplace_back(parts[i], parts[i + 1]);
    return s;
}

// ---- Independent references ------------------------------------------------

// Naive DFT of one frame: samples x[start ...] that exist, times w, zeros after.
std::vector<Complex> naiveDft(const std::vector<double>& x, int64_t start, int32_t n,
                              const std::vector<double>& w) {
    const double pi = std::acos(-1.0);
    std::vector<Complex> root(n);
    for (int32_t k = 0; k < n; ++k) root[k] = std::polar(1.0, -2.0 * pi * k / n);
    std::vector<double> frame(n, 0.0);
    for (int32_t i = 0; i < n; ++i)
        if (start + i < static_cast<int64_t>(x.size())) frame[i] = x[start + i] * w[i];
    std::vector<Complex> out(n);
    for (int32_t k = 0; k < n; ++k) {
        Complex sum = 0.0;
        for (int32_t i = 0; i < n; ++i) sum += frame[i] * root[(static_cast<int64_t>(i) * k) % n];
        out[k] = sum;
    }
    return out;
}

std::vector<double> rectangular(int32_t n) {
    return std::vector<double>(n, 1.0);
}

// Hanning of even length n, symmetric about (n - 1) / 2.
std::vector<double> hanning(int32_t n) {
    const double pi = std::acos(-1.0);
    std::vector<double> w(n);
    for (int32_t i = 0; i < n; ++i) w[i] = 0.5 + 0.5 * std::cos(2.0 * pi * (i - (n - 1) / 2.0) / n);
    return w;
}

std::vector<double> testSignal(int32_t length, uint32_t seed) {
    std::vector<double> x(length);
    uint32_t r = seed;
    for (double& v : x) {
        r = r * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int32_t>(r >> 8) / 8388608.0 - 1.0);
    }
    return x;
}

std::vector<float> asFloats(const std::vector<double>& x) {
    return std::vector<float>(x.begin(), x.end());
}

// Frame f of a spectrum against the reference, within a bound that grows
// with the frame's energy.
void expectFrame(const Spectrum& s, int32_t f, int32_t n, const std::vector<Complex>& ref,
                 int32_t binStep = 1) {
    ASSERT_GE(s.bins.size(), static_cast<std::size_t>(f + 1) * n);
    double scale = 0.0;
    for (const Complex& c : ref) scale = std::max(scale, std::abs(c));
    const double tolerance = 1e-12 * (scale + n);
    for (int32_t k = 0; k < n; k += binStep) {
        const Complex got = s.bins[static_cast<std::size_t>(f) * n + k];
        ASSERT_NEAR(got.real(), ref[k].real(), tolerance) << "frame " << f << " bin " << k;
        ASSERT_NEAR(got.imag(), ref[k].imag(), tolerance) << "frame " << f << " bin " << k;
    }
}

// ---- Fixture ---------------------------------------------------------------

class FftOp : public ::testing::Test {
  protected:
    void SetUp() override {
        home = makeTempDir();
        work = makeTempDir();
        ASSERT_EQ(::chdir(work.c_str()), 0);
        ASSERT_EQ(startEngine(home), 0);
        resetFftNotices();
        std::memset(&block, 0, sizeof block);
    }
    void TearDown() override {
        registerFftOperation();
        ExitQuillfen();
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
    std::vector<std::string> messages(int kind) { return TestHost::instance().messages(kind); }

    std::string home, work;
    CommandBlock block;
};

// ---- A fake accelerator kernel ---------------------------------------------

struct KernelCall {
    int32_t stages, size, start, frame;
    const double* window;
    SignalDescriptor* input;
    SignalDescriptor* output;
};
std::vector<KernelCall> g_kernelCalls;

// Writes bin k of frame f as (1000 f + k, start) into the output buffer.
int32_t fakeAccelerator(int32_t, const ComputeArgs* a) {
    const int32_t f = fftFrameIndex();
    g_kernelCalls.push_back({a->stages, a->size, a->start, f, a->window, a->input, a->output});
    auto* bins = static_cast<double*>(a->output->buffer);
    if (a->output->windowStart != f * a->size) return 1;
    for (int32_t k = 0; k < a->size; ++k) {
        bins[2 * k] = 1000.0 * f + k;
        bins[2 * k + 1] = a->start;
    }
    return 0;
}

void installAccelerator() {
    OperationRecord r = fftOperationRecord();
    r.compute = fakeAccelerator;
    registerOperation(&r);
    g_kernelCalls.clear();
}

}  // namespace

// ---- Registration and the output file ----------------------------------------

TEST_F(FftOp, RegisteredWithItsHandlers) {
    const OperationRecord* r = findOperation(QF_OP_FFT);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->getParams, fftGetParams);
    EXPECT_EQ(r->checkParams, fftCheckParams);
    EXPECT_EQ(r->execute, fftExecute);
    EXPECT_EQ(r->prepareOutput, fftPrepareOutput);
    EXPECT_EQ(r->compute, fftCompute);
    EXPECT_EQ(r->release, fftRelease);
    EXPECT_EQ(r->readScriptLine, fftReadScriptLine);
    EXPECT_EQ(r->writeScriptLine, fftWriteScriptLine);
    EXPECT_TRUE(fftHostKernelInstalled());
}

TEST_F(FftOp, ImpulseGivesEveryBinOneAndTheHeaderRecordsTheFrames) {
    std::vector<float> x(256, 0.0f);
    x[0] = 1.0f;
    writeReal32(work + "impulse.tim", x);
    ASSERT_EQ(run("impulse.tim", "impulse.fre", kWindowRectangular, 256, 256), 0);
    const Spectrum s = readSpectrum(work + "impulse.fre");
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
    ASSERT_EQ(s.bins.size(), 256u);
    for (const Complex& c : s.bins) {
        EXPECT_EQ(c.real(), 1.0);
        EXPECT_EQ(c.imag(), 0.0);
    }
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_DESCRIPTION),
              "[impulse.fre] = FFT of [impulse.tim]");
    EXPECT_TRUE(messages(QF_MSG_ERROR).empty());
    EXPECT_EQ(qfenStatus->busy, 'n');
    // The result is the next input, as a time signal name.
    EXPECT_STREQ(block.in1.n, "impulse.tim");
    EXPECT_EQ(block.opCode, QF_OP_DONE);
}

TEST_F(FftOp, TextOutputReadsBackThroughTheEngine) {
    std::vector<float> x(64, 0.0f);
    x[0] = 1.0f;
    writeReal32(work + "i.tim", x);
    qfenStatus->outputFormat = 'a';
    ASSERT_EQ(run("i.tim", "i.fre", kWindowRectangular, 32, 32), 0);
    qfenStatus->outputFormat = 'b';
    EXPECT_NE(readFile(work + "i.fre").find("File format           : ASCII\r\n"),
              std::string::npos);
    SignalDescriptor d{};
    nameNpath f{};
    setEntry(f, work, "i.fre");
    ASSERT_EQ(sigOpenRead(d, f, 4096), 0);
    EXPECT_EQ(d.recordType, kCReal128Rect);
    EXPECT_EQ(d.recordCount, 64);  // (64 - 32 + 31) / 32 + 1 = 2 frames
    EXPECT_EQ(d.param1, 32);
    for (int32_t i = 0; i < 64; ++i) {
        ASSERT_EQ(sigAccess(d, i), 0);
        const double* bin = static_cast<const double*>(d.buffer) + 2 * (i - d.windowStart);
        EXPECT_DOUBLE_EQ(bin[0], i < 32 ? 1.0 : 0.0) << i;
        EXPECT_DOUBLE_EQ(bin[1], 0.0) << i;
    }
    sigClose(d);
}

// ---- Frame plan -------------------------------------------------------------

TEST_F(FftOp, PositiveIntervalGivesThirteenFramesTheLastZeroPadded) {
    const std::vector<double> x = testSignal(4000, 7);
    writeReal32(work + "s.tim", asFloats(x));
    ASSERT_EQ(run("s.tim", "s.fre", kWindowRectangular, 1024, 256), 0);
    const Spectrum s = readSpectrum(work + "s.fre");
    EXPECT_NE(s.header.find("Number of record      : 13312\r\n"), std::string::npos);
    EXPECT_NE(s.header.find("Frame interval        : 256\r\n"), std::string::npos);
    ASSERT_EQ(s.bins.size(), 13u * 1024u);
    const std::vector<double> w = rectangular(1024);
    for (int32_t f : {0, 5, 12}) expectFrame(s, f, 1024, naiveDft(x, 256 * f, 1024, w), 3);
}

TEST_F(FftOp, NegativeIntervalsGiveOneFrameAtAClampedStart) {
    const std::vector<double> x = testSignal(1000, 11);
    writeReal32(work + "s.tim", asFloats(x));
    // -300 with N = 1024: the start is limited to L - N and not below 0.
    ASSERT_EQ(run("s.tim", "a.fre", kWindowRectangular, 1024, -300), 0);
    Spectrum s = readSpectrum(work + "a.fre");
    ASSERT_EQ(s.bins.size(), 1024u);
    EXPECT_NE(s.header.find("Frame interval        : -300\r\n"), std::string::npos);
    expectFrame(s, 0, 1024, naiveDft(x, 0, 1024, rectangular(1024)), 5);
    // -100 with N = 256: one frame from sample 100.
    ASSERT_EQ(run("s.tim", "b.fre", kWindowHanning, 256, -100), 0);
    s = readSpectrum(work + "b.fre");
    ASSERT_EQ(s.bins.size(), 256u);
    expectFrame(s, 0, 256, naiveDft(x, 100, 256, hanning(256)));
    // Interval 0: one frame from sample 0.
    ASSERT_EQ(run("s.tim", "c.fre", kWindowRectangular, 64, 0), 0);
    s = readSpectrum(work + "c.fre");
    ASSERT_EQ(s.bins.size(), 64u);
    expectFrame(s, 0, 64, naiveDft(x, 0, 64, rectangular(64)));
}

TEST_F(FftOp, IntervalBeyondTheFrameLeavesGapsAndATrailingPaddedFrame) {
    // L = 1100, N = 32, I = 1000: (1068 + 999) / 1000 + 1 = 3 frames at 0,
    // 1000 and 2000; the last lies past the signal and is all zeros.
    const std::vector<double> x = testSignal(1100, 5);
    writeReal32(work + "s.tim", asFloats(x));
    ASSERT_EQ(run("s.tim", "s.fre", kWindowRectangular, 32, 1000), 0);
    const Spectrum s = readSpectrum(work + "s.fre");
    ASSERT_EQ(s.bins.size(), 96u);
    expectFrame(s, 0, 32, naiveDft(x, 0, 32, rectangular(32)));
    expectFrame(s, 1, 32, naiveDft(x, 1000, 32, rectangular(32)));
    for (int32_t k = 64; k < 96; ++k) EXPECT_EQ(s.bins[k], Complex(0.0, 0.0));
}

TEST_F(FftOp, PlansBeyondTheLargestRecordCountAreRefused) {
    // Interval 1 over 2^21 + 1023 samples: 2^21 frames of 1024 points, one
    // record more than a file can count.
    std::vector<int16_t> x((1 << 21) + 1023, 0);
    writeInt16(work + "long.tim", x);
    EXPECT_EQ(run("long.tim", "long.fre", kWindowRectangular, 1024, 1), 1);
    EXPECT_FALSE(fileExists(work + "long.fre"));
    ASSERT_EQ(messages(QF_MSG_ERROR).size(), 1u);
    EXPECT_NE(messages(QF_MSG_ERROR)[0].find("2097152 FFT frames of 1024 points"),
              std::string::npos);
    EXPECT_EQ(fftCurrentWindow(), nullptr);
    EXPECT_EQ(qfenStatus->busy, 'n');
}

// ---- Sizes, windows and the dialog ---------------------------------------------

TEST_F(FftOp, SizesOutsideTheTableAreRefusedAndLargeFramesUseTheHost) {
    const std::vector<double> x = testSignal(5000, 3);
    writeReal32(work + "s.tim", asFloats(x));
    EXPECT_EQ(run("s.tim", "bad.fre", kWindowRectangular, 1000, 1000), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), kSizeText);
    EXPECT_FALSE(fileExists(work + "bad.fre"));
    EXPECT_EQ(qfenStatus->fftSize, 1000);  // the dialog's values are remembered
    for (int32_t n : {16, 3000, 1 << 21}) {
        paramInt(block, kFftSizeParam) = n;
        setEntry(block.in1, work, "s.tim");
        EXPECT_EQ(fftCheckParams(0), kFftBadSize) << n;
    }

    // 4096 points: (5000 - 4096 + 4095) / 4096 + 1 = 2 frames, built in the
    // work array and copied to the file.
    ASSERT_EQ(run("s.tim", "big.fre", kWindowHanning, 4096, 4096), 0);
    const Spectrum s = readSpectrum(work + "big.fre");
    ASSERT_EQ(s.bins.size(), 8192u);
    EXPECT_NE(s.header.find("Frame size            : 4096\r\n"), std::string::npos);
    EXPECT_NE(s.header.find("Window function       : Hanning\r\n"), std::string::npos);
    const std::vector<double> w = hanning(4096);
    expectFrame(s, 0, 4096, naiveDft(x, 0, 4096, w), 7);
    expectFrame(s, 1, 4096, naiveDft(x, 4096, 4096, w), 7);
}

TEST_F(FftOp, DialogIsSeededFromAndStoredToTheStatusRecord) {
    writeReal32(work + "s.tim", asFloats(testSignal(300, 1)));
    qfenStatus->fftWindow = 2;
    qfenStatus->fftSize = 128;
    qfenStatus->fftInterval = 64;
    int32_t seen[3] = {};
    setEntry(block.in1, work, "s.tim");
    TestHost::instance().answer([&](CommandBlock& b, const HostCall&) {
        seen[0] = paramInt(b, kFftWindowParam);
        seen[1] = paramInt(b, kFftSizeParam);
        seen[2] = paramInt(b, kFftIntervalParam);
        paramInt(b, kFftSizeParam) = 64;
        return 0;
    });
    block.opCode = QF_OP_FFT;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(seen[0], 2);
    EXPECT_EQ(seen[1], 128);
    EXPECT_EQ(seen[2], 64);
    EXPECT_EQ(qfenStatus->fftWindow, 2);
    EXPECT_EQ(qfenStatus->fftSize, 64);
    EXPECT_EQ(qfenStatus->fftInterval, 64);
    // RunOp proposed the output name: the input's with ".fre".
    const Spectrum s = readSpectrum(work + "s.fre");
    EXPECT_EQ(s.bins.size(), static_cast<std::size_t>((300 - 64 + 63) / 64 + 1) * 64);
    EXPECT_NE(s.header.find("Window function       : Blackman\r\n"), std::string::npos);

    // A cancelled dialog runs nothing.
    setEntry(block.in1, work, "s.tim");
    TestHost::instance().answerCancel();
    block.opCode = QF_OP_FFT;
    EXPECT_EQ(RunOp(&block), 1);
    EXPECT_EQ(block.opCode, QF_OP_DONE);
}

TEST_F(FftOp, UnreadableInputsAskAgain) {
    writeReal32(work + "s.tim", asFloats(testSignal(300, 1)));
    ASSERT_EQ(run("s.tim", "s.fre", kWindowRectangular, 32, 32), 0);
    // A frame spectrum is not a time signal; the second dialog is cancelled.
    EXPECT_EQ(run("s.fre", "t.fre", kWindowRectangular, 32, 32), 1);
    EXPECT_EQ(TestHost::instance().count("dspFFTGetPara"), 3);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Error reading 's.fre' or having unsupported data type.");
    EXPECT_FALSE(fileExists(work + "t.fre"));
    setEntry(block.in1, work, "missing.tim");
    EXPECT_EQ(fftCheckParams(0), kFftUnreadableInput);
}

TEST_F(FftOp, WindowNumberOutsideTheTableStopsWithoutOutput) {
    writeReal32(work + "s.tim", asFloats(testSignal(300, 1)));
    EXPECT_EQ(run("s.tim", "s.fre", 16, 64, 64), 1);
    EXPECT_FALSE(fileExists(work + "s.fre"));
    EXPECT_TRUE(messages(QF_MSG_ERROR).empty());
    EXPECT_EQ(fftCurrentWindow(), nullptr);
    EXPECT_FALSE(fftWorkspace().allocated());
}

// ---- Samples and notices ------------------------------------------------------

TEST_F(FftOp, ShortSignalShowsTheZeroPaddingNoticeOnce) {
    const std::vector<double> x = testSignal(100, 9);
    writeReal32(work + "short.tim", asFloats(x));
    // 256 / 100 = 2: no notice.
    ASSERT_EQ(run("short.tim", "a.fre", kWindowRectangular, 256, 256), 0);
    EXPECT_TRUE(messages(QF_MSG_CAUTION).empty());
    // 512 / 100 = 5: the notice, once while the library is loaded.
    ASSERT_EQ(run("short.tim", "b.fre", kWindowHanning, 512, 512), 0);
    ASSERT_EQ(messages(QF_MSG_CAUTION).size(), 1u);
    EXPECT_EQ(messages(QF_MSG_CAUTION)[0], kZeroPaddingText);
    ASSERT_EQ(run("short.tim", "c.fre", kWindowHanning, 512, 512), 0);
    EXPECT_EQ(messages(QF_MSG_CAUTION).size(), 1u);
    // 100 windowed samples, then 412 zeros (the window is not applied to them).
    const Spectrum s = readSpectrum(work + "b.fre");
    ASSERT_EQ(s.bins.size(), 512u);
    expectFrame(s, 0, 512, naiveDft(x, 0, 512, hanning(512)));
    // A new engine start in the same process does not show it again.
    ExitQuillfen();
    ASSERT_EQ(startEngine(home), 0);
    ASSERT_EQ(run("short.tim", "d.fre", kWindowHanning, 512, 512), 0);
    EXPECT_TRUE(messages(QF_MSG_CAUTION).empty());
}

TEST_F(FftOp, SixteenBitWordsAreFractionsAndShowTheFixedPointNoticeOnce) {
    std::vector<int16_t> x(64, 0);
    x[0] = -32768;
    writeInt16(work + "w.tim", x);
    ASSERT_EQ(run("w.tim", "w.fre", kWindowRectangular, 64, 64), 0);
    const Spectrum s = readSpectrum(work + "w.fre");
    ASSERT_EQ(s.bins.size(), 64u);
    for (const Complex& c : s.bins) {
        EXPECT_EQ(c.real(), -1.0);
        EXPECT_EQ(c.imag(), 0.0);
    }
    ASSERT_EQ(messages(QF_MSG_NOTICE).size(), 1u);
    EXPECT_EQ(messages(QF_MSG_NOTICE)[0], kFixedPointText);

    // Any words: w / 32768, windowed.  The notice is not repeated.
    std::vector<int16_t> y(200);
    std::vector<double> yv(200);
    for (int i = 0; i < 200; ++i) {
        y[i] = static_cast<int16_t>((i * 7919) % 65536 - 32768);
        yv[i] = y[i] / 32768.0;
    }
    writeInt16(work + "y.tim", y);
    ASSERT_EQ(run("y.tim", "y.fre", kWindowHanning, 128, 64), 0);
    const Spectrum t = readSpectrum(work + "y.fre");
    ASSERT_EQ(t.bins.size(), 3u * 128u);  // (200 - 128 + 63) / 64 + 1
    for (int32_t f = 0; f < 3; ++f) expectFrame(t, f, 128, naiveDft(yv, 64 * f, 128, hanning(128)));
    EXPECT_EQ(messages(QF_MSG_NOTICE).size(), 1u);
}

TEST_F(FftOp, SingleChannelRecordingsAreSixteenBitSignals) {
    std::vector<int16_t> x(64, 0);
    x[0] = 16384;
    writeRecording(work + "r.tim", x);
    ASSERT_EQ(run("r.tim", "r.fre", kWindowRectangular, 32, 32), 0);
    const Spectrum s = readSpectrum(work + "r.fre");
    ASSERT_EQ(s.bins.size(), 64u);
    for (int32_t k = 0; k < 32; ++k) EXPECT_EQ(s.bins[k], Complex(0.5, 0.0));
    for (int32_t k = 32; k < 64; ++k) EXPECT_EQ(s.bins[k], Complex(0.0, 0.0));
}

TEST_F(FftOp, FixedPointNoticeIsSuppressedByTheBoardSwitches) {
    writeInt16(work + "w.tim", std::vector<int16_t>(64, 100));
    board().acceleratorOn = 1;
    ASSERT_EQ(run("w.tim", "a.fre", kWindowRectangular, 64, 64), 0);
    board().acceleratorOn = 0;
    qfenStatus->noticeSetting = 1;
    ASSERT_EQ(run("w.tim", "b.fre", kWindowRectangular, 64, 64), 0);
    qfenStatus->noticeSetting = 0;
    EXPECT_TRUE(messages(QF_MSG_NOTICE).empty());
    ASSERT_EQ(run("w.tim", "c.fre", kWindowRectangular, 64, 64), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE).size(), 1u);
}

TEST_F(FftOp, SinePeaksInItsBin) {
    const double pi = std::acos(-1.0);
    std::vector<float> x(4096);
    for (int i = 0; i < 4096; ++i)
        x[i] = static_cast<float>(std::sin(2.0 * pi * 37.0 * i / 1024.0));
    writeReal32(work + "sine.tim", x);
    ASSERT_EQ(run("sine.tim", "sine.fre", kWindowHanning, 1024, 1024), 0);
    const Spectrum s = readSpectrum(work + "sine.fre");
    ASSERT_EQ(s.bins.size(), 4u * 1024u);
    for (int32_t f = 0; f < 4; ++f) {
        int32_t peak = 0;
        for (int32_t k = 1; k < 512; ++k)
            if (std::abs(s.bins[f * 1024 + k]) > std::abs(s.bins[f * 1024 + peak])) peak = k;
        EXPECT_EQ(peak, 37) << "frame " << f;
        // Hanning's coherent gain 1/2 times N/2 for a unit sine.
        EXPECT_NEAR(std::abs(s.bins[f * 1024 + 37]), 256.0, 2.0);
        EXPECT_NEAR(std::abs(s.bins[f * 1024 + 1024 - 37]), 256.0, 2.0);
    }
}

// ---- The accelerator seam -------------------------------------------------------

TEST_F(FftOp, AnAcceleratorKernelGetsTheFramesAndIsLimitedTo2048) {
    writeReal32(work + "s.tim", asFloats(testSignal(3000, 2)));
    installAccelerator();
    EXPECT_FALSE(fftHostKernelInstalled());
    EXPECT_EQ(run("s.tim", "big.fre", kWindowRectangular, 4096, 4096), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), kSizeText);
    EXPECT_FALSE(fileExists(work + "big.fre"));
    EXPECT_TRUE(g_kernelCalls.empty());
    setEntry(block.in1, work, "s.tim");
    paramInt(block, kFftSizeParam) = 2048;
    EXPECT_EQ(fftCheckParams(0), 0);

    // (3000 - 1024 + 1023) / 1024 + 1 = 3 frames, each written by the kernel
    // into the output's buffer.
    ASSERT_EQ(run("s.tim", "s.fre", kWindowHanning, 1024, 1024), 0);
    ASSERT_EQ(g_kernelCalls.size(), 3u);
    for (int32_t f = 0; f < 3; ++f) {
        const KernelCall& c = g_kernelCalls[f];
        EXPECT_EQ(c.stages, 10);
        EXPECT_EQ(c.size, 1024);
        EXPECT_EQ(c.start, 1024 * f);
        EXPECT_EQ(c.frame, f);
        EXPECT_NE(c.window, nullptr);
        EXPECT_NE(c.input, nullptr);
        EXPECT_NE(c.output, nullptr);
    }
    EXPECT_EQ(fftFrameCount(), 3);
    const Spectrum s = readSpectrum(work + "s.fre");
    ASSERT_EQ(s.bins.size(), 3072u);
    for (int32_t f = 0; f < 3; ++f)
        for (int32_t k = 0; k < 1024; k += 100)
            EXPECT_EQ(s.bins[f * 1024 + k], Complex(1000.0 * f + k, 1024.0 * f));

    // The host kernel back in place: 4096 is accepted again.
    registerFftOperation();
    paramInt(block, kFftSizeParam) = 4096;
    EXPECT_EQ(fftCheckParams(0), 0);
}

// ---- Script lines ----------------------------------------------------------------

TEST_F(FftOp, ScriptLineRoundTripKeepsBlanksAndParameters) {
    const std::string dir = work + "sub dir/";
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    writeReal32(dir + "my in.tim", asFloats(testSignal(1000, 4)));
    block.opCode = QF_OP_FFT;
    setEntry(block.in1, dir, "my in.tim");
    setEntry(block.out, dir, "my out.fre");
    paramInt(block, kFftWindowParam) = 1;
    paramInt(block, kFftSizeParam) = 512;
    paramInt(block, kFftIntervalParam) = -300;
    runtime().block = &block;

    std::FILE* f = std::fopen((work + "line.scr").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fftWriteScriptLine(0, f), 0);
    std::fclose(f);
    std::string escaped = dir;
    for (char& c : escaped)
        if (c == ' ') c = '*';
    const std::string expected = "4050 FastFourierTransform     " + escaped +
                                 " my*in.tim 1 512 -300 " + escaped + " my*out.fre\r\n";
    const std::string line = readFile(work + "line.scr");
    EXPECT_EQ(line, expected);
    EXPECT_STREQ(block.in1.n, "my in.tim");  // the block keeps its blanks

    std::memset(&block, 0, sizeof block);
    block.opCode = QF_OP_FFT;
    EXPECT_EQ(fftReadScriptLine(0, line.c_str(), fftCheckParams), 0);
    EXPECT_EQ(std::string(block.in1.p), dir);
    EXPECT_STREQ(block.in1.n, "my in.tim");
    EXPECT_EQ(std::string(block.out.p), dir);
    EXPECT_STREQ(block.out.n, "my out.fre");
    EXPECT_EQ(paramInt(block, kFftWindowParam), 1);
    EXPECT_EQ(paramInt(block, kFftSizeParam), 512);
    EXPECT_EQ(paramInt(block, kFftIntervalParam), -300);
}

TEST_F(FftOp, ScriptLinesThatDoNotParseOrCheckAreRefused) {
    writeReal32(work + "s.tim", asFloats(testSignal(100, 4)));
    runtime().block = &block;
    block.opCode = QF_OP_FFT;
    const std::string w = work;
    // Six fields.
    EXPECT_EQ(fftReadScriptLine(
                  0, ("4050 FastFourierTransform     " + w + " s.tim 0 256 256 " + w).c_str(),
                  fftCheckParams),
              1);
    // A number that is not one.
    EXPECT_EQ(
        fftReadScriptLine(
            0, ("4050 FastFourierTransform     " + w + " s.tim 0 x 256 " + w + " o.fre").c_str(),
            fftCheckParams),
        1);
    // A name longer than its field.
    EXPECT_EQ(fftReadScriptLine(0,
                                ("4050 FastFourierTransform     " + w + " " +
                                 std::string(300, 'a') + " 0 256 256 " + w + " o.fre")
                                    .c_str(),
                                fftCheckParams),
              1);
    // Parses, but the size is refused: 2.
    EXPECT_EQ(
        fftReadScriptLine(
            0, ("4050 FastFourierTransform     " + w + " s.tim 0 1000 256 " + w + " o.fre").c_str(),
            fftCheckParams),
        2);
    // The zero-padding result is accepted: 0, without a message.
    EXPECT_EQ(
        fftReadScriptLine(
            0, ("4050 FastFourierTransform     " + w + " s.tim 0 512 256 " + w + " o.fre").c_str(),
            fftCheckParams),
        0);
    EXPECT_TRUE(messages(QF_MSG_CAUTION).empty());
}

TEST_F(FftOp, RecordedRunWritesItsLine) {
    writeReal32(work + "s.tim", asFloats(testSignal(300, 1)));
    TestHost::instance().answer([this](CommandBlock& b, const HostCall&) {
        setEntry(b.out, work, "rec.scr");
        return 0;
    });
    block.opCode = QF_OP_RECORD_START;
    ASSERT_EQ(RunOp(&block), 0);
    ASSERT_EQ(run("s.tim", "s.fre", kWindowHamming, 64, 32), 0);
    block.opCode = QF_OP_RECORD_STOP;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(readFile(work + "rec.scr"),
              "4050 FastFourierTransform     " + work + " s.tim 4 64 32 " + work + " s.fre\r\n");
}
