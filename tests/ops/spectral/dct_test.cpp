// Operation 4080 and its transform: whole blocks against the DCT-II from
// its definition, computed directly in double precision,
//   Y[k] = sum_j y[j] cos(pi k (j + 1/2) / N)
// within single-precision error; the block layout of the frame file, the
// size check, the notices, the remembered size and the script line.
#include "ops/spectral/dct.h"

#include <gtest/gtest.h>

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

const std::string kSizeText =
    "DCT size must be multiple of 2.  Maximum DCT size using accelerator is 2048; Maximum DCT "
    "size using host is 1048576.";
const std::string kFixedPointText =
    "To ensure accurate results, fixed point integer DCT is computed and stored in floating point "
    "data type.";
const std::string kZeroPaddingText =
    "Zero padding is required because signal length is shorter than DCT frame size.  Escessive "
    "zero padding may cause smearing of adjacent frequencies. ";

std::vector<double> naiveDct(const std::vector<double>& y) {
    const std::size_t n = y.size();
    std::vector<double> Y(n, 0.0);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t j = 0; j < n; ++j)
            Y[k] += y[j] * std::cos(kPi * static_cast<double>(k) * (j + 0.5) / n);
    return Y;
}

// Single-precision error (2^-24 relative) of sums of the values, grown by
// the log2 N passes of the transform.
double tolerance(const std::vector<double>& y) {
    double sum = 0.0;
    for (double v : y) sum += std::fabs(v);
    return 6e-8 * (sum + 1.0) * std::log2(static_cast<double>(y.size()) + 1.0);
}

class Dct : public OperationTest {
  protected:
    int32_t dct(const std::string& in, const std::string& out, int32_t n) {
        return run(QF_OP_DCT, in, out, [=](CommandBlock& b, const HostCall& call) {
            EXPECT_EQ(call.name, "dspDCTGetPara");
            paramInt(b, QF_P_DCT_SIZE) = n;
            return 0;
        });
    }
    // Block f of a DCT frame file: Y[0 ... N-1], then the same reversed.
    void expectBlock(const std::vector<Complex>& out, int32_t f, const std::vector<double>& y) {
        const std::vector<double> Y = naiveDct(y);
        const int32_t n = static_cast<int32_t>(y.size());
        const double tol = tolerance(y);
        for (int32_t k = 0; k < n; ++k) {
            ASSERT_NEAR(out[f * 2 * n + k].real(), Y[k], tol) << f << " " << k;
            ASSERT_EQ(out[f * 2 * n + 2 * n - 1 - k], out[f * 2 * n + k]) << f << " " << k;
            ASSERT_EQ(out[f * 2 * n + k].imag(), 0.0);
        }
    }
};

std::vector<std::string> g_calls;

int32_t recordingKernel(int32_t mode, const ComputeArgs* a) {
    g_calls.push_back(std::to_string(a->stages) + " " + std::to_string(a->size) + " " +
                      std::to_string(a->start) + " " + std::to_string(dctBlockIndex()) + "/" +
                      std::to_string(dctBlockCount()));
    return dctCompute(mode, a);
}

}  // namespace

TEST(DctTransform, MatchesTheDefinitionForEverySize) {
    for (int32_t n = 4; n <= 1024; n *= 2) {
        SCOPED_TRACE(n);
        DctWorkspace ws;
        ASSERT_EQ(ws.allocate(n), 0);
        Noise noise{static_cast<uint32_t>(n)};
        std::vector<float> y(n);
        for (float& v : y) v = static_cast<float>(noise.next() * 10.0);
        const std::vector<double> in(y.begin(), y.end());
        ASSERT_EQ(dctTransform(ws, y.data()), 0);
        const std::vector<double> Y = naiveDct(in);
        const double tol = tolerance(in);
        for (int32_t k = 0; k < n; ++k) ASSERT_NEAR(y[k], Y[k], tol) << k;
    }
    DctWorkspace ws;
    EXPECT_EQ(ws.allocate(100), 1);
    EXPECT_EQ(ws.allocate(2), 1);
    float y[4] = {};
    EXPECT_EQ(dctTransform(ws, y), 1);  // nothing allocated
}

TEST_F(Dct, ConstantBlockGivesOnlyTheFirstCoefficient) {
    put("one.tim", real32File(std::vector<float>(32, 1.0f), 2000.0));
    ASSERT_EQ(dct("one.tim", "one.fre", 32), 0);
    const Parsed p = get("one.fre");
    EXPECT_EQ(p.values({"Remark", "Record type number", "Frame size", "Frame interval",
                        "Window function"}),
              (Texts{"DCT(one.tim)", "CREAL128RECT(W)", "64", "32", "Rectangular"}));
    EXPECT_DOUBLE_EQ(p.rate(), 2000.0);
    const std::vector<Complex> out = spectral::bins(p);
    ASSERT_EQ(out.size(), 64u);
    for (int32_t k = 0; k < 64; ++k) {
        EXPECT_NEAR(out[k].real(), k == 0 || k == 63 ? 32.0 : 0.0, 1e-5) << k;
        EXPECT_EQ(out[k].imag(), 0.0);
    }
    EXPECT_EQ(described(), "[one.fre] = DCT of [one.tim]");
}

TEST_F(Dct, BlocksOfTheSignalWithTheLastZeroPadded) {
    // 100 samples in blocks of 32: 4 blocks, the last of 4 samples and 28 zeros.
    Noise noise{7};
    std::vector<float> x(100);
    for (float& v : x) v = static_cast<float>(noise.next());
    put("x.tim", real32File(x));
    ASSERT_EQ(dct("x.tim", "x.fre", 32), 0);
    const std::vector<Complex> out = spectral::bins(get("x.fre"));
    ASSERT_EQ(out.size(), 4u * 64);
    for (int32_t f = 0; f < 4; ++f) {
        std::vector<double> y(32, 0.0);
        for (int32_t j = 0; j < 32 && f * 32 + j < 100; ++j) y[j] = x[f * 32 + j];
        expectBlock(out, f, y);
    }
    // 16-bit words are fractions; a signal shorter than the block is one block.
    std::vector<int16_t> w(40);
    for (int16_t& v : w) v = static_cast<int16_t>(noise.next() * 32767.0);
    w[0] = -32768;
    put("w.tim", int16File(w));
    ASSERT_EQ(dct("w.tim", "w.fre", 64), 0);
    const std::vector<Complex> wout = spectral::bins(get("w.fre"));
    ASSERT_EQ(wout.size(), 128u);
    std::vector<double> y(64, 0.0);
    for (std::size_t j = 0; j < w.size(); ++j) y[j] = w[j] / 32768.0;
    expectBlock(wout, 0, y);
}

TEST_F(Dct, SizesOutsideTheTableAreRefusedForEveryType) {
    put("r.tim", real32File(std::vector<float>(300, 0.5f)));
    put("i.tim", int16File(std::vector<int16_t>(300, 5)));
    put("t.tim", realtimeFile(std::vector<int16_t>(300, 5), 1, -1.0, 1.0));
    for (const char* in : {"r.tim", "i.tim", "t.tim"}) {
        for (int32_t n : {100, 16, 0, 1 << 21}) {
            TestHost::instance().reset();
            EXPECT_EQ(dct(in, "o.fre", n), 1) << in << " " << n;
            EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), kSizeText);
            EXPECT_EQ(TestHost::instance().count("dspDCTGetPara"), 1);
            EXPECT_FALSE(exists("o.fre"));
        }
    }
    // A frame file is not a time signal: the dialog again (cancelled).
    put("f.tim", frameFile(std::vector<Complex>(64), 32, 32));
    TestHost::instance().reset();
    EXPECT_EQ(dct("f.tim", "o.fre", 32), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Error reading 'f.tim' or having unsupported data type.");
    EXPECT_EQ(TestHost::instance().count("dspDCTGetPara"), 2);
}

TEST_F(Dct, NoticesAreTheDctsOwnAndShownOnce) {
    put("i.tim", int16File(std::vector<int16_t>(64, 100)));
    put("short.tim", real32File(std::vector<float>(10, 1.0f)));
    board().acceleratorOn = 1;
    ASSERT_EQ(dct("i.tim", "a.fre", 32), 0);
    board().acceleratorOn = 0;
    qfenStatus->noticeSetting = 1;
    ASSERT_EQ(dct("i.tim", "b.fre", 32), 0);
    qfenStatus->noticeSetting = 0;
    EXPECT_TRUE(messages(QF_MSG_NOTICE).empty());
    for (const char* out : {"c.fre", "d.fre"}) ASSERT_EQ(dct("i.tim", out, 32), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE), std::vector<std::string>{kFixedPointText});
    // 32 / 10 = 3: zero padding, noted once.
    for (const char* out : {"e.fre", "f.fre"}) ASSERT_EQ(dct("short.tim", out, 32), 0);
    EXPECT_EQ(messages(QF_MSG_CAUTION), std::vector<std::string>{kZeroPaddingText});
    // The FFT's notices are its own.
    ASSERT_EQ(run(QF_OP_FFT, "i.tim", "g.fre",
                  [](CommandBlock& b, const HostCall&) {
                      paramInt(b, kFftSizeParam) = 32;
                      paramInt(b, kFftIntervalParam) = 32;
                      return 0;
                  }),
              0);
    EXPECT_EQ(messages(QF_MSG_NOTICE).size(), 2u);
}

TEST_F(Dct, SizeIsRememberedInTheStatusRecord) {
    put("r.tim", real32File(std::vector<float>(256, 0.5f)));
    std::vector<int32_t> seen;
    auto answer = [&seen](int32_t n) {
        return [&seen, n](CommandBlock& b, const HostCall&) {
            seen.push_back(paramInt(b, QF_P_DCT_SIZE));
            if (n != 0) paramInt(b, QF_P_DCT_SIZE) = n;
            return 0;
        };
    };
    EXPECT_EQ(qfenStatus->dctSize, 0);
    ASSERT_EQ(run(QF_OP_DCT, "r.tim", "a.fre", answer(64)), 0);
    EXPECT_EQ(qfenStatus->dctSize, 64);
    ASSERT_EQ(run(QF_OP_DCT, "r.tim", "b.fre", answer(0)), 0);
    EXPECT_EQ(seen, (std::vector<int32_t>{1024, 64}));
    EXPECT_EQ(get("b.fre").field("Frame size"), "128");
}

TEST_F(Dct, TheComputeSlotGetsEachBlock) {
    OperationDescription d = dctDescription();
    d.handlers.compute = recordingKernel;
    registerDescribed(d);
    put("x.tim", real32File(std::vector<float>(70, 0.25f)));
    g_calls.clear();
    ASSERT_EQ(dct("x.tim", "x.fre", 32), 0);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"5 32 0 0/3", "5 32 32 1/3", "5 32 64 2/3"}));
    EXPECT_EQ(spectral::bins(get("x.fre")).size(), 3u * 64);
    registerDctOperation();
}

TEST_F(Dct, ScriptLineRoundTrip) {
    put("in.tim", real32File(std::vector<float>(10, 1.0f)));
    block.opCode = QF_OP_DCT;
    setEntry(block.in1, dir, "in.tim");
    setEntry(block.out, dir, "o.fre");
    paramInt(block, QF_P_DCT_SIZE) = 64;
    int32_t read = -1;
    EXPECT_EQ(scriptRoundTrip(block, dir, read),
              "4080 DiscreteCosineTransform    " + dir + " in.tim 64 " + dir + " o.fre\r\n");
    EXPECT_EQ(read, 0);  // zero padding is accepted, quietly
    EXPECT_EQ(paramInt(block, QF_P_DCT_SIZE), 64);
    EXPECT_TRUE(messages(QF_MSG_CAUTION).empty());
    const OperationRecord* r = findOperation(QF_OP_DCT);
    const std::string head = "4080 DiscreteCosineTransform    " + dir + " in.tim ";
    EXPECT_EQ(r->readScriptLine(0, (head + "100 " + dir + " o.fre").c_str(), r->checkParams), 2);
    EXPECT_EQ(r->readScriptLine(0, (head + "64 " + dir).c_str(), r->checkParams), 1);
}
