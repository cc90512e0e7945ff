// Operations 5130 (LPC analysis) and 5140 (LPC spectrum) through RunOp with
// the recording test host, against references computed here:
//   covariance  phi(i, j) = sum_{n=M..Nf} x(n-i+1) x(n-j+1) as full sums
//   lattice     per order m from the error sequences of the predictor a of
//               order m - 1 over n = M ... Nf:
//                 f(n) = x(n) + sum_j a_j x(n-j),  b(n) = x(n-m) + sum_j a_j x(n-m+j)
//                 k_m = -2 sum f b / (sum f^2 + sum b^2)
//   least squares  the covariance-method normal equations of an AR(2) frame
//   spectrum    1 / (1 + sum_j a_j e^{-2 pi i j k / N}) term by term
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "core/engine.h"
#include "ops/spectral/model_files.h"
#include "ops/spectral/models.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;
using namespace qf::test::models;

namespace {

using Complex = std::complex<double>;
const double kPi = 3.14159265358979323846;

struct Model {
    std::vector<double> alpha;  // alpha_1 ... alpha_p
    std::vector<double> k;      // k_1 ... k_p
};

Model referenceModel(const std::vector<double>& x, int p) {
    const int nf = static_cast<int>(x.size()), first = p + 1;
    auto X = [&x](int n) { return x[static_cast<std::size_t>(n - 1)]; };
    std::vector<double> a(static_cast<std::size_t>(p) + 1, 0.0);
    Model m;
    for (int order = 1; order <= p; ++order) {
        double forward = 0, backward = 0, cross = 0;
        for (int n = first; n <= nf; ++n) {
            double f = X(n), b = X(n - order);
            for (int j = 1; j < order; ++j) {
                f += a[j] * X(n - j);
                b += a[j] * X(n - order + j);
            }
            forward += f * f;
            backward += b * b;
            cross += f * b;
        }
        const double k = cross == 0 ? 0.0 : -2.0 * cross / (forward + backward);
        const std::vector<double> old = a;
        for (int j = 1; j < order; ++j) a[j] = old[j] + k * old[order - j];
        a[order] = k;
        m.k.push_back(k);
    }
    for (int j = 1; j <= p; ++j) m.alpha.push_back(-a[j]);
    return m;
}

std::vector<double> frameOf(const std::vector<double>& x, int f, int nf, int interval) {
    std::vector<double> frame(static_cast<std::size_t>(nf), 0.0);
    for (int n = 0; n < nf; ++n) {
        const std::size_t at = static_cast<std::size_t>(f) * interval + n;
        if (at < x.size()) frame[static_cast<std::size_t>(n)] = x[at];
    }
    return frame;
}

// x(n) = a1 x(n-1) + a2 x(n-2) + e(n), rounded to floats as the file holds it.
std::vector<double> arProcess(int length, double a1, double a2, uint32_t seed) {
    Noise noise(seed);
    std::vector<double> x;
    double x1 = 0, x2 = 0;
    for (int n = 0; n < length; ++n) {
        const double v = a1 * x1 + a2 * x2 + noise.next();
        x.push_back(static_cast<float>(v));
        x2 = x1;
        x1 = v;
    }
    return x;
}

std::vector<float> asFloats(const std::vector<double>& v) {
    return std::vector<float>(v.begin(), v.end());
}

// Within a few units of the last place of a value of size `scale`.
void expectClose(double got, double want, const std::string& what) {
    EXPECT_NEAR(got, want, 1e-10 * (1.0 + std::fabs(want))) << what;
}

class Lpc : public OperationTest {
  protected:
    // The analysis dialog: out, p, Nf, I, N.
    DialogAnswer analysis(const std::string& out, int32_t p, int32_t nf, int32_t interval,
                          int32_t n) {
        return [=, this](CommandBlock& b, const HostCall& call) {
            EXPECT_EQ(call.name, "dspLPCGetPara");
            setEntry(b.out, dir, out);
            paramInt(b, QF_P_LPC_ORDER) = p;
            paramInt(b, QF_P_LPC_FRAME) = nf;
            paramInt(b, QF_P_LPC_INTERVAL) = interval;
            paramInt(b, QF_P_LPC_FFT_SIZE) = n;
            return 0;
        };
    }
    DialogAnswer spectrum(const std::string& out, int32_t n) {
        return [=, this](CommandBlock& b, const HostCall& call) {
            EXPECT_EQ(call.name, "dspLPCFFTGetPara");
            setEntry(b.out, dir, out);
            paramInt(b, QF_P_LPC_FFT_SIZE) = n;
            return 0;
        };
    }
    static DialogAnswer cancel() {
        return [](CommandBlock&, const HostCall&) { return 1; };
    }
    int32_t analyse(const std::string& in, const std::string& out, int32_t p, int32_t nf,
                    int32_t interval, int32_t n) {
        return run(QF_OP_LPC_ANALYSIS, in, out, {analysis(out, p, nf, interval, n)});
    }
    std::vector<double> coefficients(const std::string& name, int* frameLines = nullptr) {
        return coefficientValues(get(name), frameLines);
    }
    std::string log() { return readFile(home + "quillfen.log"); }
};

}  // namespace

TEST_F(Lpc, FramesMatchTheLatticeOfTheirErrorSequences) {
    const std::vector<double> x = arProcess(300, 1.2, -0.5, 7);
    put("x.tim", real32File(asFloats(x)));
    ASSERT_EQ(analyse("x.tim", "x.lpc", 3, 64, 50, 32), 0);

    // (300 - 64 + 49) / 50 + 1 = 6 frames of 2p records; the last one runs
    // past the signal and is padded with zeros.
    const Parsed lpc = get("x.lpc");
    EXPECT_EQ(lpc.field("Remark"), "LPC(x.tim)");
    EXPECT_EQ(lpc.count(), 36);
    EXPECT_EQ(lpc.field("Record type number"), "LPCCoeffREAL8 35");
    EXPECT_EQ(lpc.field("File format"), "ASCII");  // whatever the status says ('b')
    EXPECT_EQ(lpc.values({"LPC Order", "Frame Size", "Frame Interval"}), (Texts{"3", "64", "50"}));
    EXPECT_EQ(lpc.rate(), 8000.0);
    int frameLines = 0;
    const std::vector<double> v = coefficientValues(lpc, &frameLines);
    EXPECT_EQ(frameLines, 12);
    EXPECT_NE(lpc.data.find("Frame         5 : k1, k2, k3...\r\n"), std::string::npos);
    ASSERT_EQ(v.size(), 36u);
    for (int f = 0; f < 6; ++f) {
        const Model m = referenceModel(frameOf(x, f, 64, 50), 3);
        for (int j = 0; j < 3; ++j) {
            expectClose(v[f * 6 + j], m.alpha[j], "alpha frame " + std::to_string(f));
            expectClose(v[f * 6 + 3 + j], m.k[j], "k frame " + std::to_string(f));
        }
    }

    // The spectrum follows at once, named after the coefficients.
    const Parsed fre = get("x.fre");
    EXPECT_EQ(fre.count(), 6 * 32);
    EXPECT_EQ(fre.field("Frame interval"), "50");
    EXPECT_EQ(messages(QF_MSG_DESCRIPTION),
              (std::vector<std::string>{"[x.lpc] = LPC Coefficients of [x.tim]",
                                        "[x.fre] = Spectrum of LPC coefficients in [x.lpc]"}));
    EXPECT_STREQ(block.in1.n, "x.tim");  // the .fre result, proposed as a time signal
    EXPECT_EQ(block.opCode, QF_OP_DONE);
}

TEST_F(Lpc, ConstantOneThousandAndSilentFrames) {
    // p = 1 on a constant: k1 = -2 phi(1,2) / (phi(1,1) + phi(2,2)) = -1.
    put("c.tim", int16File(std::vector<int16_t>(100, 0x4000)));
    ASSERT_EQ(analyse("c.tim", "c.lpc", 1, 100, 100, 32), 0);
    EXPECT_EQ(coefficients("c.lpc"), (std::vector<double>{1.0, -1.0}));

    // 1000 samples, Nf 256, I 128: (1000 - 256 + 127) / 128 + 1 = 7 frames.
    put("long.tim", int16File(ramp(1000, -500)));
    ASSERT_EQ(analyse("long.tim", "long.lpc", 4, 256, 128, 64), 0);
    EXPECT_EQ(get("long.lpc").count(), 7 * 8);
    EXPECT_EQ(coefficients("long.lpc").size(), 56u);
    EXPECT_EQ(get("long.fre").count(), 7 * 64);

    // Silence: no cross energy at any order, so every k is 0 and 1/A is 1.
    put("zero.tim", real32File(std::vector<float>(200, 0.0f)));
    ASSERT_EQ(analyse("zero.tim", "zero.lpc", 4, 64, 64, 32), 0);
    for (double c : coefficients("zero.lpc")) EXPECT_EQ(c, 0.0);
    const std::vector<Complex> b = bins(get("zero.fre"));
    ASSERT_EQ(b.size(), 4u * 32u);
    for (const Complex& z : b) EXPECT_EQ(z, Complex(1.0, 0.0));
}

TEST_F(Lpc, Ar2CoefficientsComeWithinTwoHundredthsAndMatchLeastSquares) {
    const double a1 = 1.3, a2 = -0.6;
    const int nf = 8000;
    const std::vector<double> x = arProcess(nf, a1, a2, 12345);
    put("ar.tim", real32File(asFloats(x)));
    ASSERT_EQ(analyse("ar.tim", "ar.lpc", 2, nf, nf, 32), 0);
    const std::vector<double> v = coefficients("ar.lpc");
    ASSERT_EQ(v.size(), 4u);
    EXPECT_NEAR(v[0], a1, 0.02);
    EXPECT_NEAR(v[1], a2, 0.02);

    // The covariance-method least-squares predictor of the same frame:
    // [c11 c12; c12 c22] (b1, b2) = (c01, c02), c_ij = sum_{n=3..Nf} x(n-i) x(n-j).
    auto c = [&x, nf](int i, int j) {
        double s = 0;
        for (int n = 2; n < nf; ++n) s += x[n - i] * x[n - j];
        return s;
    };
    const double det = c(1, 1) * c(2, 2) - c(1, 2) * c(1, 2);
    const double b1 = (c(0, 1) * c(2, 2) - c(0, 2) * c(1, 2)) / det;
    const double b2 = (c(1, 1) * c(0, 2) - c(1, 2) * c(0, 1)) / det;
    EXPECT_NEAR(v[0], b1, 2e-3);
    EXPECT_NEAR(v[1], b2, 2e-3);
}

TEST(LpcArithmetic, CovarianceUpdateEqualsTheFullSums) {
    Noise noise(3);
    for (const auto& [nf, p] : {std::pair{3, 1}, {12, 10}, {40, 5}, {64, 63 - 10}, {200, 63}}) {
        if (nf < p + 2) continue;
        std::vector<double> x(static_cast<std::size_t>(nf));
        for (double& v : x) v = noise.next();
        const int m = p + 1;
        std::vector<double> phi(static_cast<std::size_t>(m * m), -1.0);
        lpcCovariance(x.data(), nf, p, phi.data());
        for (int i = 1; i <= m; ++i)
            for (int j = 1; j <= m; ++j) {
                double s = 0;
                for (int n = m; n <= nf; ++n) s += x[n - i] * x[n - j];
                EXPECT_NEAR(phi[(i - 1) * m + j - 1], s, 1e-12 * nf)
                    << "Nf " << nf << " p " << p << " phi(" << i << "," << j << ")";
            }
    }
}

TEST(LpcArithmetic, LevinsonByHandForOrdersOneAndTwo) {
    // A hand-made symmetric covariance of order 2 (M = 3):
    //   phi = [4 2 1; 2 3 1; 1 1 2]
    // m = 1: F+B = 4 + 3, CR = 2, k1 = -4/7, a1 = -4/7.
    // m = 2 (Q = 3): SUM1 = (phi12 + phi32) a1 = 3 a1, SUM2 = (phi12 + phi23) a1 = 3 a1,
    //   SUM4 = (phi22 + phi22) a1^2 = 6 a1^2, SUM3 = a1^2 phi22 = 3 a1^2;
    //   F+B = 4 + 2 + 2 SUM1 + SUM4, CR = SUM2 + phi13 + SUM3, k2 = -2 CR / (F+B).
    const double phi[9] = {4, 2, 1, 2, 3, 1, 1, 1, 2};
    double a[3] = {}, saved[3] = {}, k[3] = {};
    lpcLattice(phi, 2, a, saved, k, false);
    const double a1 = -4.0 / 7.0;
    const double fb = 6 + 2 * 3 * a1 + 6 * a1 * a1, cr = 3 * a1 + 1 + 3 * a1 * a1;
    const double k2 = -2 * cr / fb;
    EXPECT_NEAR(k[1], a1, 1e-14);
    EXPECT_NEAR(k[2], k2, 1e-14);
    EXPECT_NEAR(a[1], a1 + k2 * a1, 1e-14);
    EXPECT_NEAR(a[2], k2, 1e-14);
}

TEST_F(Lpc, SpectrumIsOneOverAAtEveryBin) {
    // Two frames of order 3 (alpha, then k), and a frame of order 1 whose
    // A(z) = 1 - z^-1 vanishes at bin 0.
    const std::vector<double> records = {0.9,  -0.4, 0.2,  0.5, 0.5, 0.5,
                                         -1.1, 0.3,  0.05, 0.1, 0.2, 0.3};
    put("c.lpc", coefficientFile(records, 3, 200, 80));
    ASSERT_EQ(run(QF_OP_LPC_TO_FRE, "c.lpc", "c.fre", {spectrum("c.fre", 32)}), 0);
    const Parsed fre = get("c.fre");
    EXPECT_EQ(fre.values({"Remark", "Record type number", "Frame size", "Frame interval",
                          "Window function"}),
              (Texts{"spectrum(c.lpc)", "CREAL128RECT(W)", "32", "80", "Rectangular"}));
    const std::vector<Complex> b = bins(fre);
    ASSERT_EQ(b.size(), 64u);
    for (int f = 0; f < 2; ++f)
        for (int k = 0; k < 32; ++k) {
            Complex a = 1.0;
            for (int j = 1; j <= 3; ++j)
                a -= records[f * 6 + j - 1] * std::polar(1.0, -2.0 * kPi * j * k / 32);
            const Complex want = 1.0 / a;
            EXPECT_NEAR(std::abs(b[f * 32 + k] - want), 0.0, 1e-12 * std::abs(want))
                << "frame " << f << " bin " << k;
        }
    EXPECT_EQ(described(), "[c.fre] = Spectrum of LPC coefficients in [c.lpc]");

    put("one.lpc", coefficientFile({1.0, -1.0, 1.0, -1.0}, 1, 10, 10));
    ASSERT_EQ(run(QF_OP_LPC_TO_FRE, "one.lpc", "one.fre", {spectrum("one.fre", 64)}), 0);
    const std::vector<Complex> one = bins(get("one.fre"));
    ASSERT_EQ(one.size(), 128u);
    EXPECT_EQ(one[0], Complex(1e32, 0.0));
    EXPECT_EQ(one[64], Complex(1e32, 0.0));
    EXPECT_NEAR(one[32].real(), 0.5, 1e-14);  // A(-1) = 2
}

TEST_F(Lpc, BadParametersAreReportedAndAskedAgain) {
    put("x.tim", int16File(ramp(400)));
    put("f.tim", complexFile());
    const std::string order = "LPC order must be between 1 and 63.";
    const std::string frame = "LPC frame size must be larger than (order + 2) and less than 8190";
    const std::string size = "Frame size must be 2's power and less than 2048.";
    struct Case {
        const char* in;
        int32_t p, nf, interval, n;
        std::string message;
    } cases[] = {
        {"x.tim", 0, 64, 64, 64, order},
        {"x.tim", 64, 128, 64, 64, order},
        {"x.tim", 10, 11, 64, 64, frame},  // Nf = p + 1
        {"x.tim", 10, 8191, 64, 64, frame},
        {"x.tim", 10, 64, 0, 64, "LPC frame interval must be larger than 0."},
        {"x.tim", 10, 64, 64, 100, size},
        {"x.tim", 10, 64, 64, 4096, size},
        {"x.tim", 10, 64, 64, 16, size},
        {"none.tim", 10, 64, 64, 64, "Error reading 'none.tim'."},
        {"f.tim", 10, 64, 64, 64, "'f.tim' has an unsupported data type."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message + " " + std::to_string(c.nf));
        TestHost::instance().reset();
        EXPECT_EQ(run(QF_OP_LPC_ANALYSIS, c.in, "bad.lpc",
                      {analysis("bad.lpc", c.p, c.nf, c.interval, c.n), cancel()}),
                  1);
        EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), c.message);
        EXPECT_EQ(TestHost::instance().count("dspLPCGetPara"), 2);
        EXPECT_FALSE(exists("bad.lpc"));
        EXPECT_FALSE(exists("bad.fre"));
    }
    // Nf = p + 2 is the smallest frame.
    ASSERT_EQ(analyse("x.tim", "small.lpc", 10, 12, 12, 64), 0);
    EXPECT_EQ(get("small.lpc").count(), ((400 - 12 + 11) / 12 + 1) * 20);

    put("c.lpc", coefficientFile({0.5, 0.5}, 1, 10, 10));
    const struct {
        const char* in;
        int32_t n;
        std::string message;
    } spectra[] = {
        {"c.lpc", 16, size},
        {"c.lpc", 3000, size},
        {"x.tim", 64, "'x.tim' is not LPC coefficients file."},
        {"none.lpc", 64, "Error reading 'none.lpc'."},
    };
    for (const auto& c : spectra) {
        SCOPED_TRACE(c.message);
        TestHost::instance().reset();
        EXPECT_EQ(run(QF_OP_LPC_TO_FRE, c.in, "bad.fre", {spectrum("bad.fre", c.n), cancel()}), 1);
        EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), c.message);
        EXPECT_FALSE(exists("bad.fre"));
    }
}

TEST_F(Lpc, ScriptLinesRoundTripAndAReplayMakesBothFiles) {
    put("x.tim", int16File(ramp(300, -150)));
    put("c.lpc", coefficientFile({0.5, 0.5}, 1, 10, 10));
    const std::string sub = dir + "sub dir/";
    std::memset(&block, 0, sizeof block);
    block.opCode = QF_OP_LPC_ANALYSIS;
    setEntry(block.in1, dir, "x.tim");
    setEntry(block.out, sub, "my x.lpc");
    paramInt(block, QF_P_LPC_ORDER) = 8;
    paramInt(block, QF_P_LPC_FRAME) = 200;
    paramInt(block, QF_P_LPC_INTERVAL) = 100;
    paramInt(block, QF_P_LPC_FFT_SIZE) = 256;
    const std::string line = writtenLine(block, dir + "a.scr");
    EXPECT_EQ(line, "5130 LPC_Analysis             " + dir + " x.tim 8 200 100 256 " +
                        escaped(sub) + " my*x.lpc\r\n");
    ASSERT_EQ(readLine(block, QF_OP_LPC_ANALYSIS, line), 0);
    EXPECT_STREQ(block.out.p, sub.c_str());
    EXPECT_STREQ(block.out.n, "my x.lpc");
    EXPECT_EQ(paramInt(block, QF_P_LPC_FRAME), 200);
    EXPECT_EQ(paramInt(block, QF_P_LPC_FFT_SIZE), 256);

    block.opCode = QF_OP_LPC_TO_FRE;
    setEntry(block.in1, dir, "c.lpc");
    setEntry(block.out, dir, "c.fre");
    const std::string spectrumLine = writtenLine(block, dir + "b.scr");
    EXPECT_EQ(spectrumLine,
              "5140 LPC_To_Fre               " + dir + " c.lpc 256 " + dir + " c.fre\r\n");
    ASSERT_EQ(readLine(block, QF_OP_LPC_TO_FRE, spectrumLine), 0);
    EXPECT_EQ(paramInt(block, QF_P_LPC_FFT_SIZE), 256);

    // Lines that do not read are malformed (1); values the check refuses
    // are parameter errors (2).
    const std::string head = "5130 LPC_Analysis             " + dir + " x.tim ";
    const std::pair<std::string, int32_t> cases[] = {
        {head + "8 200 100 256 " + dir, 1},
        {head + "8 200 x 256 " + dir + " o.lpc", 1},
        {head + "8 9 100 256 " + dir + " o.lpc", 2},
        {head + "8 200 100 500 " + dir + " o.lpc", 2},
        {"5140 LPC_To_Fre               " + dir + " x.tim 256 " + dir + " o.fre", 2},
    };
    for (const auto& [text, result] : cases)
        EXPECT_EQ(readLine(block, std::atoi(text.c_str()), text), result) << text;

    // A replayed analysis line writes the coefficients and their spectrum.
    put("r.scr", "5130 LPC_Analysis             ./ x.tim 4 100 50 64 ./ r.lpc\n");
    std::memset(&block, 0, sizeof block);
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    TestHost::instance().answer([this](CommandBlock& b, const HostCall&) {
        setEntry(b.out, dir, "r.scr");
        return 0;
    });
    block.opCode = QF_OP_RUN_SCRIPT;
    ASSERT_EQ(RunOp(&block), 0) << TestHost::instance().lastMessage();
    EXPECT_EQ(get("r.lpc").count(), 5 * 8);
    EXPECT_EQ(get("r.fre").count(), 5 * 64);
}

TEST_F(Lpc, StorageIsKeptGrownWhenNeededAndFreedAtShutDown) {
    put("x.tim", int16File(ramp(600, -300)));
    ASSERT_EQ(analyse("x.tim", "a.lpc", 6, 300, 300, 32), 0);
    EXPECT_EQ(lpcWorkspace().order, 6);
    EXPECT_EQ(lpcWorkspace().frame, 300);
    ASSERT_EQ(analyse("x.tim", "b.lpc", 2, 100, 100, 32), 0);
    EXPECT_EQ(lpcWorkspace().order, 6);  // kept
    EXPECT_EQ(lpcWorkspace().frame, 300);
    ASSERT_EQ(analyse("x.tim", "c.lpc", 12, 200, 100, 32), 0);
    EXPECT_EQ(lpcWorkspace().order, 12);  // grown
    EXPECT_EQ(lpcWorkspace().frame, 300);
    EXPECT_EQ(lpcWorkspace().phi.size(), 13u * 13u);
    ExitQuillfen();
    EXPECT_EQ(lpcWorkspace().order, 0);
    EXPECT_TRUE(lpcWorkspace().phi.empty());
    EXPECT_TRUE(lpcWorkspace().x.empty());
    ASSERT_EQ(startEngine(home), 0);
}

TEST_F(Lpc, EachOrderFromTwoLogsItsEnergies) {
    const std::vector<double> x = arProcess(160, 0.5, 0.2, 99);
    put("x.tim", real32File(asFloats(x)));
    ASSERT_EQ(analyse("x.tim", "x.lpc", 3, 80, 80, 32), 0);
    const std::string text = log();
    std::vector<std::string> lines;
    for (std::size_t at = text.find("FPLUSB<"); at != std::string::npos;
         at = text.find("FPLUSB<", at + 1))
        lines.push_back(text.substr(at, text.find("\r\n", at) + 2 - at));
    ASSERT_EQ(lines.size(), 2u * 2u);  // orders 2 and 3 of two frames
    for (const std::string& l : lines) {
        double fb, p11, pqq, s1, s7, s4;
        char tail[8] = {};
        ASSERT_EQ(std::sscanf(l.c_str(),
                              "FPLUSB<%lf> = PHI [0] [0]<%lf> + PHI [MP1 - 1] [MP1 - 1]<%lf> + "
                              "2. * (SUM1<%lf> + SUM7<%lf>) + SUM4<%lf>%7s",
                              &fb, &p11, &pqq, &s1, &s7, &s4, tail),
                  7)
            << l;
        EXPECT_STREQ(tail, ";");
        EXPECT_NEAR(fb, p11 + pqq + 2 * (s1 + s7) + s4, 1e-12 * (std::fabs(p11) + 1));
        EXPECT_NE(l.find("e+0"), std::string::npos);  // three exponent digits
    }
    // F + B of order 2 in frame 0 is the forward plus backward error energy.
    const std::vector<double> frame = frameOf(x, 0, 80, 80);
    const double a1 = referenceModel(frame, 3).k[0];  // order 1 over n = 4 ... 80
    double energy = 0;
    for (int n = 4; n <= 80; ++n) {
        const double f = frame[n - 1] + a1 * frame[n - 2];
        const double b = frame[n - 3] + a1 * frame[n - 2];
        energy += f * f + b * b;
    }
    double fb = 0;
    std::sscanf(lines[0].c_str(), "FPLUSB<%lf>", &fb);
    EXPECT_NEAR(fb, energy, 1e-12 * energy);
}
