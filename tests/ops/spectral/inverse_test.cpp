// Operation 5010 through RunOp: frames against a naive inverse DFT with the
// window undone and the frames stitched by their centred samples, the FFT
// round trip, refusals, the accelerator seam and the script line.
//   y[p] = Re((1/N) sum_k X_f[k] e^(2 pi i n k / N)) / w[n]
#include "ops/spectral/inverse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ops/spectral/fft_op.h"
#include "spectral_files.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;
using namespace qf::test::spectral;

namespace {

const std::string kNoOverlap =
    "Some samples are lost during FFT due to non-overlapping FFT frame size.  Reconstruction not "
    "possible.";

class InverseFft : public OperationTest {
  protected:
    void TearDown() override {
        registerInverseFftOperation();
        OperationTest::TearDown();
    }
    int32_t fft(const std::string& in, const std::string& out, int32_t window, int32_t n,
                int32_t interval) {
        return run(QF_OP_FFT, in, out, [=](CommandBlock& b, const HostCall&) {
            paramInt(b, kFftWindowParam) = window;
            paramInt(b, kFftSizeParam) = n;
            paramInt(b, kFftIntervalParam) = interval;
            return 0;
        });
    }
    int32_t ifft(const std::string& in, const std::string& out) {
        return run(QF_OP_INVERSE_FFT, in, out);
    }
};

// What the stitched frames give: frame f's samples n at consecutive
// positions, frame 0 from n = 0, the last up to n = N - 1, the others the
// centred I samples from N/2 - I/2.
std::vector<double> stitched(const std::vector<Complex>& all, int32_t n, int32_t interval,
                             bool hann) {
    const int32_t frames = static_cast<int32_t>(all.size()) / n;
    const int32_t start = n / 2 - interval / 2;
    std::vector<double> y;
    for (int32_t f = 0; f < frames; ++f) {
        const std::vector<Complex> x =
            naiveInverse(std::vector<Complex>(all.begin() + f * n, all.begin() + (f + 1) * n));
        const int32_t first = f == 0 ? 0 : start;
        const int32_t last = f == frames - 1 ? n : start + interval;
        for (int32_t i = first; i < last; ++i)
            y.push_back(static_cast<float>(x[i].real() / (hann ? hanning(i, n) : 1.0)));
    }
    return y;
}

std::vector<std::string> g_calls;

// An accelerator kernel in the compute slot: notes what it is given and
// where the input's window stands, then transforms as the host kernel does.
int32_t fakeAccelerator(int32_t mode, const ComputeArgs* a) {
    g_calls.push_back(
        std::to_string(a->size) + " " + std::to_string(a->start) + " " +
        std::to_string(ifftFrameIndex()) + " " + std::to_string(a->input->windowStart) + "+" +
        std::to_string(a->input->windowCapacity) + " " + std::to_string(ifftOutputPosition()));
    return ifftCompute(mode, a);
}

}  // namespace

TEST_F(InverseFft, FramesAreInvertedUnwindowedAndStitched) {
    struct Case {
        const char* window;
        bool hann;
        int32_t n, interval, frames;
        std::size_t samples;
    } const cases[] = {
        // start 16 - 4 = 12: 20 + 8 + 20 samples, 32 + 2 * 8.
        {"Hanning", true, 32, 8, 3, 48},
        {"Rectangular", false, 64, 32, 4, 64 + 3 * 32},
        // Interval 0 (a composed file): the first half of frame 0, the
        // second half of the last frame.
        {"Rectangular", false, 32, 0, 3, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window + std::to_string(c.interval));
        Noise noise{static_cast<uint32_t>(c.n + c.interval)};
        std::vector<Complex> all(static_cast<std::size_t>(c.n) * c.frames);
        for (Complex& v : all) v = Complex(noise.next(), noise.next());
        put("in.fre", frameFile(all, c.n, c.interval, c.window, 11025.0));
        ASSERT_EQ(ifft("in.fre", "out.tim"), 0);
        const Parsed p = get("out.tim");
        EXPECT_EQ(p.field("Record type number"), "REAL32");
        EXPECT_EQ(p.field("Remark"), "IFFT(in.fre)");
        EXPECT_DOUBLE_EQ(p.rate(), 11025.0);
        const std::vector<double> expected = stitched(all, c.n, c.interval, c.hann);
        ASSERT_EQ(expected.size(), c.samples);
        expectNear(real32Records(p), expected, 1e-6);
        // The frame layout of the input is left in the FFT fields.
        EXPECT_EQ(paramInt(block, QF_P_FFT_SIZE), c.n);
        EXPECT_EQ(paramInt(block, QF_P_FFT_INTERVAL), c.interval);
        EXPECT_EQ(paramInt(block, QF_P_FFT_WINDOW), c.hann ? 1 : 0);
        EXPECT_EQ(messages(QF_MSG_DESCRIPTION),
                  (std::vector<std::string>{"Inverse FFT completed.",
                                            "[out.tim] = Inverse FFT of [in.fre]"}));
        TestHost::instance().reset();
    }
}

TEST_F(InverseFft, FftThenInverseGivesTheSignalBack) {
    Noise noise{5};
    std::vector<float> x(1000);
    for (float& v : x) v = static_cast<float>(noise.next());
    put("x.tim", real32File(x));
    // (1000 - 256 + 127) / 128 + 1 = 7 frames: 256 + 6 * 128 samples.
    for (int32_t window : {kWindowRectangular, kWindowHanning}) {
        SCOPED_TRACE(window);
        ASSERT_EQ(fft("x.tim", "x.fre", window, 256, 128), 0);
        ASSERT_EQ(ifft("x.fre", "y.tim"), 0);
        const std::vector<float> y = floats("y.tim");
        ASSERT_EQ(y.size(), 256u + 6 * 128);
        for (std::size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(y[i], x[i], 1e-6 * std::max(std::fabs(x[i]), 1e-3f)) << i;
        for (std::size_t i = x.size(); i < y.size(); ++i) ASSERT_NEAR(y[i], 0.0f, 1e-9) << i;
    }
}

TEST_F(InverseFft, UnusableFrameFilesAreRefusedWithoutOutput) {
    const std::vector<Complex> two(64, Complex(1.0, 0.0));
    // Frames that do not overlap: the dialog's message, then the dialog
    // again (cancelled here).
    put("gap.fre", frameFile(two, 32, 32));
    EXPECT_EQ(ifft("gap.fre", "o.tim"), 1);
    EXPECT_EQ(messages(QF_MSG_ERROR), std::vector<std::string>{kNoOverlap});
    EXPECT_EQ(TestHost::instance().count("stdGet123Files"), 2);
    // One frame whose interval is the frame size is a whole signal.
    put("one.fre", frameFile(std::vector<Complex>(32, Complex(1.0, 0.0)), 32, 32));
    ASSERT_EQ(ifft("one.fre", "one.tim"), 0);
    std::vector<float> impulse(32, 0.0f);
    impulse[0] = 1.0f;  // the inverse of a flat spectrum
    EXPECT_EQ(floats("one.tim"), impulse);

    TestHost::instance().reset();
    struct Bad {
        const char* name;
        std::string bytes;
        const char* message;
        int kind;
    } const bad[] = {
        {"n100.fre", frameFile(std::vector<Complex>(200), 100, 50),
         "Frame size of 100 is not supported.  Must be power of 2.", QF_MSG_ERROR},
        {"n16.fre", frameFile(std::vector<Complex>(32), 16, 8),
         "Frame size of 16 is not supported.  Must be power of 2.", QF_MSG_ERROR},
        {"words.fre", wordFrameFile(std::vector<int16_t>(64, 0), 32),
         "Fractional fixed point FFT must be computed on fixed point DSP.  Please select a fixed "
         "point DSP and turn on accelerator.",
         QF_MSG_NOTICE},
        {"window.fre", frameFile(std::vector<Complex>(32), 32, 16, "Bartlett"),
         "'window.fre' names no known window function.", QF_MSG_ERROR},
    };
    for (const Bad& b : bad) {
        put(b.name, b.bytes);
        put("kept.tim", "an older file");
        EXPECT_EQ(ifft(b.name, "kept.tim"), 1) << b.name;
        EXPECT_EQ(TestHost::instance().lastMessage(b.kind), b.message);
        EXPECT_EQ(readFile(dir + "kept.tim"), "an older file");
        EXPECT_EQ(ifftReciprocalWindow(), nullptr);
        EXPECT_EQ(qfenStatus->busy, 'n');
    }
}

TEST_F(InverseFft, SingleFrameWithANegativeIntervalGivesItsWholeFrame) {
    // An FFT of one frame taken from inside a signal has a negative
    // interval; its inverse is that frame, N samples, nothing past them.
    Noise noise{9};
    std::vector<Complex> frame(32);
    for (Complex& v : frame) v = Complex(noise.next(), noise.next());
    put("neg.fre", frameFile(frame, 32, -100));
    ASSERT_EQ(ifft("neg.fre", "neg.tim"), 0);
    std::vector<double> expected;
    for (const Complex& v : naiveInverse(frame)) expected.push_back(static_cast<float>(v.real()));
    expectNear(floats("neg.tim"), expected, 1e-6);
}

TEST_F(InverseFft, AnAcceleratorKernelFindsEachFrameInTheInputWindowAndIsLimitedTo2048) {
    EXPECT_TRUE(ifftHostKernelInstalled());
    OperationDescription accelerated = inverseFftDescription();
    accelerated.handlers.compute = fakeAccelerator;
    registerDescribed(accelerated);
    EXPECT_FALSE(ifftHostKernelInstalled());

    Noise noise{3};
    std::vector<Complex> all(3 * 64);
    for (Complex& v : all) v = Complex(noise.next(), noise.next());
    put("a.fre", frameFile(all, 64, 16, "Hanning"));
    g_calls.clear();
    ASSERT_EQ(ifft("a.fre", "a.tim"), 0);
    // start 32 - 8 = 24: frame 0 writes 40 samples, frame 1 16, frame 2 the rest.
    EXPECT_EQ(g_calls, (std::vector<std::string>{"64 0 0 0+64 0", "64 64 1 64+64 40",
                                                 "64 128 2 128+64 56"}));
    expectNear(floats("a.tim"), stitched(all, 64, 16, true), 1e-6);

    put("big.fre", frameFile(std::vector<Complex>(4096), 4096, 4096));
    g_calls.clear();
    EXPECT_EQ(ifft("big.fre", "big.tim"), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Frame size of 4096 is not supported on the accelerator.  Please turn off "
              "accelerator and try again");
    EXPECT_TRUE(g_calls.empty());
    EXPECT_FALSE(exists("big.tim"));

    // The host kernel transforms frames of any size up to 2^20.
    registerInverseFftOperation();
    ASSERT_EQ(ifft("big.fre", "big.tim"), 0);
    EXPECT_EQ(floats("big.tim"), std::vector<float>(4096, 0.0f));
}

TEST_F(InverseFft, ScriptLineRoundTripAndBadLines) {
    put("in.fre", frameFile(std::vector<Complex>(64), 32, 16));
    block.opCode = QF_OP_INVERSE_FFT;
    setEntry(block.in1, dir, "in.fre");
    setEntry(block.out, dir, "my out.tim");
    int32_t read = -1;
    const std::string text = scriptRoundTrip(block, dir, read);
    EXPECT_EQ(text, "5010 InverseFFT               " + dir + " in.fre " + dir + " my*out.tim\r\n");
    EXPECT_EQ(read, 0);
    EXPECT_STREQ(block.in1.n, "in.fre");
    EXPECT_STREQ(block.out.n, "my out.tim");
    EXPECT_EQ(std::string(block.out.p), dir);

    // Too few fields, and frames the check refuses.
    put("gap.fre", frameFile(std::vector<Complex>(64), 32, 32));
    const OperationRecord* r = findOperation(QF_OP_INVERSE_FFT);
    const std::string head = "5010 InverseFFT               " + dir;
    EXPECT_EQ(r->readScriptLine(0, (head + " in.fre " + dir).c_str(), r->checkParams), 1);
    EXPECT_EQ(r->readScriptLine(0, (head + " gap.fre " + dir + " o.tim").c_str(), r->checkParams),
              2);
}
