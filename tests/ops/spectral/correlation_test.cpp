// Correlation and convolution (4010, 4020, 4025) through RunOp: hand-worked
// sums, the single-precision path against sums in double precision, the
// Q15 path against the same sums done in __int128 with the fixed-point
// storing rules (products truncated toward zero, (32,15) wrapping, the
// output stored by the overflow mode), the skip and length adjustments, the
// length caps, refusals and the script lines.
#include "ops/spectral/correlation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "spectral_files.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;
using namespace qf::test::spectral;

namespace {

const std::string kSkipReset =
    "Number of points to skip does not leave at least 3 points for computation.  Set to start at "
    "0.";
const std::string kLengthCut =
    "The number of points to skip plus length of computation does not leave at least 3 points.  "
    "Length adjusted.";
const std::string kNegative =
    "The number of points to skip and the length of computation cannot be negative.";


// Output m of a correlation (a[i] b[i + m - (na - 1)]) or convolution
// (a[i] b[m - i]) as the list of index pairs it sums.
template <typename F>
void forPairs(bool correlation, int na, int nb, int m, F f) {
    for (int i = 0; i < na; ++i) {
        const int j = correlation ? i + m - (na - 1) : m - i;
        if (j >= 0 && j < nb) f(i, j);
    }
}

int16_t low16(__int128 v) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v) & 0xFFFF));
}
int32_t low32(__int128 v) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v) & 0xFFFFFFFFu));
}

// The Q15 sums: each product a b / 2^15 truncated toward zero, the sum kept
// in 32 bits; a correlation scaled by q = 32768 / min(na, nb) the same way,
// a convolution limited to 16 bits by the overflow mode.
Words q15Reference(bool correlation, const Words& a, const Words& b, char overflow) {
    const int na = static_cast<int>(a.size()), nb = static_cast<int>(b.size());
    const __int128 q = 32768 / std::min(na, nb);
    Words y;
    for (int m = 0; m < na + nb - 1; ++m) {
        int32_t acc = 0;
        forPairs(correlation, na, nb, m, [&](int i, int j) {
            const int32_t p = low32(static_cast<__int128>(a[i]) * b[j] / 32768);
            acc = low32(static_cast<__int128>(acc) + p);
        });
        if (correlation) {
            y.push_back(low16(acc * q / 32768));
        } else if (overflow == 's') {
            y.push_back(static_cast<int16_t>(std::clamp<int32_t>(acc, -32768, 32767)));
        } else {
            const __int128 v = acc >= 32768 || acc < -32768 ? acc % 32768 : acc;
            y.push_back(low16(v));
        }
    }
    return y;
}

// The sums in double precision, the correlation divided by min(na, nb).
std::vector<double> doubleReference(bool correlation, const std::vector<double>& a,
                                    const std::vector<double>& b) {
    const int na = static_cast<int>(a.size()), nb = static_cast<int>(b.size());
    std::vector<double> y;
    for (int m = 0; m < na + nb - 1; ++m) {
        double s = 0.0;
        forPairs(correlation, na, nb, m, [&](int i, int j) { s += a[i] * b[j]; });
        y.push_back(correlation ? s / std::min(na, nb) : s);
    }
    return y;
}

// A REAL32 file of fewer than three samples: the file layer reads such a
// signal only from a file with data beyond its last record.
std::string shortReal32File(const Floats& v) {
    Header h;
    h.type = "REAL32";
    h.count = static_cast<int32_t>(v.size());
    Floats data = v;
    data.resize(3, 99.0f);
    return sig::headerBytes(h) + sig::rawBytes(data);
}

class Correlation : public OperationTest {
  protected:
    int32_t autocorr(const std::string& in, const std::string& out, int32_t s, int32_t n) {
        return run(QF_OP_AUTOCORRELATION, in, out, [=](CommandBlock& b, const HostCall& call) {
            EXPECT_EQ(call.name, "autoCorrelationGetPara");
            paramInt(b, QF_P_AUTOCORR_SKIP) = s;
            paramInt(b, QF_P_AUTOCORR_LENGTH) = n;
            return 0;
        });
    }
    int32_t twoInputs(int32_t code, const std::string& a, const std::string& b,
                      const std::string& out, int32_t sa = 0, int32_t na = 0, int32_t sb = 0,
                      int32_t nb = 0) {
        return run(
            code, a, out,
            [=](CommandBlock& blk, const HostCall& call) {
                EXPECT_EQ(call.name, "dspCorrConvoGetPara");
                paramInt(blk, QF_P_CORR_SKIP_A) = sa;
                paramInt(blk, QF_P_CORR_LENGTH_A) = na;
                paramInt(blk, QF_P_CORR_SKIP_B) = sb;
                paramInt(blk, QF_P_CORR_LENGTH_B) = nb;
                return 0;
            },
            b);
    }
    Words randomWords(int n, uint32_t seed, double scale = 1.0) {
        Noise noise{seed};
        Words w(static_cast<std::size_t>(n));
        for (int16_t& v : w) v = static_cast<int16_t>(noise.next() * 32767.0 * scale);
        return w;
    }
};

}  // namespace

TEST_F(Correlation, HandWorkedSums) {
    put("abc.tim", real32File({1.0f, 2.0f, 3.0f}));
    ASSERT_EQ(autocorr("abc.tim", "auto.tim", 0, 0), 0);
    // (3, 8, 14, 8, 3) / 3
    const Parsed p = get("auto.tim");
    const Floats y = real32Records(p);
    ASSERT_EQ(y.size(), 5u);
    const float expected[] = {1.0f, 2.6666667f, 4.6666667f, 2.6666667f, 1.0f};
    for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(y[i], expected[i]) << i;
    EXPECT_EQ(p.field("Remark"), "Auto(abc.tim)");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_EQ(described(), "[auto.tim] = autocorrelation of [abc.tim]");

    put("a.tim", shortReal32File({1.0f, 2.0f}));
    put("b.tim", real32File({1.0f, 1.0f, 1.0f}));
    ASSERT_EQ(twoInputs(QF_OP_CONVOLUTION, "a.tim", "b.tim", "conv.tim"), 0);
    EXPECT_EQ(floats("conv.tim"), (Floats{1.0f, 3.0f, 3.0f, 2.0f}));
    EXPECT_EQ(get("conv.tim").field("Remark"), "Conv(a.tim,b.tim)");
    EXPECT_EQ(described(), "[conv.tim] = [a.tim] convolve with [b.tim]");
    // Correlation of the same pair: (2, 3, 3, 1) / 2.
    ASSERT_EQ(twoInputs(QF_OP_CROSSCORRELATION, "a.tim", "b.tim", "cross.tim"), 0);
    EXPECT_EQ(floats("cross.tim"), (Floats{1.0f, 1.5f, 1.5f, 0.5f}));
    EXPECT_EQ(get("cross.tim").field("Remark"), "Cross(a.tim,b.tim)");
    EXPECT_EQ(described(), "[cross.tim] = [a.tim] correlate with [b.tim]");
    // Two samples leave no 3 points after any skip: each run says so.
    EXPECT_EQ(messages(QF_MSG_NOTICE), (std::vector<std::string>{kSkipReset, kSkipReset}));
}

TEST_F(Correlation, SinglePrecisionSumsOverStretches) {
    Noise noise{11};
    std::vector<float> a(300), b(200);
    for (float& v : a) v = static_cast<float>(noise.next());
    for (float& v : b) v = static_cast<float>(noise.next() * 4.0);
    put("a.tim", real32File(a));
    put("b.tim", real32File(b));
    // Stretches a[20 ... 119] and b[5 ... 199].
    const std::vector<double> sa(a.begin() + 20, a.begin() + 120), sb(b.begin() + 5, b.end());
    for (bool correlation : {true, false}) {
        SCOPED_TRACE(correlation);
        const int32_t code = correlation ? QF_OP_CROSSCORRELATION : QF_OP_CONVOLUTION;
        ASSERT_EQ(twoInputs(code, "a.tim", "b.tim", "y.tim", 20, 100, 5, 0), 0);
        const Floats y = floats("y.tim");
        const std::vector<double> ref = doubleReference(correlation, sa, sb);
        ASSERT_EQ(y.size(), ref.size());
        for (std::size_t m = 0; m < y.size(); ++m) EXPECT_NEAR(y[m], ref[m], 2e-5) << m;
    }
    // The autocorrelation is the correlation of a stretch with itself.
    ASSERT_EQ(autocorr("a.tim", "r.tim", 7, 50), 0);
    const std::vector<double> s(a.begin() + 7, a.begin() + 57);
    expectNear(floats("r.tim"), doubleReference(true, s, s), 2e-6);
}

TEST_F(Correlation, SixteenBitPathIsQ15FixedPoint) {
    const Words a = randomWords(40, 21), b = randomWords(25, 22);
    put("a.tim", int16File(a));
    put("b.tim", int16File(b));
    for (char overflow : {'s', 'w'}) {
        qfenStatus->overflowMode = overflow;
        ASSERT_EQ(twoInputs(QF_OP_CROSSCORRELATION, "a.tim", "b.tim", "x.tim"), 0);
        EXPECT_EQ(words("x.tim"), q15Reference(true, a, b, overflow));
        EXPECT_EQ(get("x.tim").field("Record type number"), "INTEGER16");
        ASSERT_EQ(twoInputs(QF_OP_CONVOLUTION, "a.tim", "b.tim", "c.tim"), 0);
        EXPECT_EQ(words("c.tim"), q15Reference(false, a, b, overflow));
        ASSERT_EQ(autocorr("a.tim", "r.tim", 3, 30), 0);
        const Words s(a.begin() + 3, a.begin() + 33);
        EXPECT_EQ(words("r.tim"), q15Reference(true, s, s, overflow));
    }
    // Large sums: 30000 * 30000 / 32768 = 27465 per product; two of them
    // saturate at 32767, or wrap to 54930 - 32768.
    put("big.tim", int16File({30000, 30000, 30000}));
    qfenStatus->overflowMode = 's';
    ASSERT_EQ(twoInputs(QF_OP_CONVOLUTION, "big.tim", "big.tim", "s.tim"), 0);
    EXPECT_EQ(words("s.tim"), (Words{27465, 32767, 32767, 32767, 27465}));
    qfenStatus->overflowMode = 'w';
    ASSERT_EQ(twoInputs(QF_OP_CONVOLUTION, "big.tim", "big.tim", "w.tim"), 0);
    EXPECT_EQ(words("w.tim"), (Words{27465, 22162, 16859, 22162, 27465}));
    qfenStatus->overflowMode = 's';
    // Two recordings are 16-bit words too; a float input makes the output float.
    put("r1.tim", realtimeFile(a, 1, -1.0, 1.0));
    put("r2.tim", realtimeFile(b, 1, -1.0, 1.0));
    ASSERT_EQ(twoInputs(QF_OP_CROSSCORRELATION, "r1.tim", "r2.tim", "rr.tim"), 0);
    EXPECT_EQ(get("rr.tim").field("Record type number"), "INTEGER16");
    EXPECT_EQ(words("rr.tim"), q15Reference(true, a, b, 's'));
    put("f.tim", shortReal32File({0.5f, 0.25f}));
    ASSERT_EQ(twoInputs(QF_OP_CONVOLUTION, "a.tim", "f.tim", "m.tim"), 0);
    EXPECT_EQ(get("m.tim").field("Record type number"), "REAL32");
    std::vector<double> fa;
    for (int16_t w : a) fa.push_back(w / 32768.0);
    expectNear(floats("m.tim"), doubleReference(false, fa, {0.5, 0.25}), 1e-6);
}

TEST_F(Correlation, SkipAndLengthAreAdjustedWithANotice) {
    put("x.tim", real32File(std::vector<float>(30, 1.0f)));
    // S = L - 2 leaves fewer than 3 points: from 0, all 30.
    ASSERT_EQ(autocorr("x.tim", "a.tim", 28, 0), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE), std::vector<std::string>{kSkipReset});
    EXPECT_EQ(get("a.tim").count(), 59);
    // The reset ends the check before the length is seen: a length past the
    // end is still taken to the end.
    ASSERT_EQ(autocorr("x.tim", "a.tim", 28, 50), 0);
    EXPECT_EQ(get("a.tim").count(), 59);
    // S = 10 with N = L: N = 20.
    ASSERT_EQ(autocorr("x.tim", "b.tim", 10, 30), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), kLengthCut);
    EXPECT_EQ(get("b.tim").count(), 39);
    // The first input's skip stops the check; the second input's skip
    // beyond its end is reset when the operation runs, with the same notice.
    TestHost::instance().reset();
    put("y.tim", real32File(std::vector<float>(10, 1.0f)));
    ASSERT_EQ(twoInputs(QF_OP_CONVOLUTION, "x.tim", "y.tim", "c.tim", 29, 0, 50, 4), 0);
    EXPECT_EQ(messages(QF_MSG_NOTICE), (std::vector<std::string>{kSkipReset, kSkipReset}));
    EXPECT_EQ(get("c.tim").count(), 30 + 4 - 1);
    // Different rates are noted and the run goes on with the first one's.
    put("z.tim", real32File(std::vector<float>(10, 1.0f), 16000.0));
    ASSERT_EQ(twoInputs(QF_OP_CROSSCORRELATION, "x.tim", "z.tim", "d.tim"), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "'x.tim' and 'z.tim' have different sampling rate.");
    EXPECT_DOUBLE_EQ(get("d.tim").rate(), 8000.0);
    EXPECT_EQ(get("d.tim").field("Signal frequency"), "0 Hz");
}

TEST_F(Correlation, LengthsAreCapped) {
    // The caps bound the direct sums; the sums themselves are not needed to
    // see them, so the kernels are replaced by one that leaves the output.
    for (int32_t code : {QF_OP_AUTOCORRELATION, QF_OP_CONVOLUTION}) {
        OperationDescription d = *describe(code);
        d.handlers.compute = [](int32_t, const ComputeArgs*) { return 0; };
        registerDescribed(d);
    }
    put("long.tim", real32File(std::vector<float>(10000, 0.0f)));
    put("longer.tim", real32File(std::vector<float>(17000, 0.0f)));
    ASSERT_EQ(autocorr("long.tim", "a.tim", 0, 10000), 0);
    EXPECT_EQ(get("a.tim").count(), 2 * 8192 - 1);
    ASSERT_EQ(autocorr("long.tim", "a.tim", 0, 0), 0);
    EXPECT_EQ(get("a.tim").count(), 2 * 8192 - 1);
    ASSERT_EQ(twoInputs(QF_OP_CONVOLUTION, "long.tim", "long.tim", "b.tim"), 0);
    EXPECT_EQ(get("b.tim").count(), 16383);  // 8192 each
    ASSERT_EQ(twoInputs(QF_OP_CONVOLUTION, "long.tim", "longer.tim", "c.tim", 0, 1000), 0);
    EXPECT_EQ(get("c.tim").count(), 1000 + 15384 - 1);
    EXPECT_EQ(paramInt(block, QF_P_CORR_LENGTH_B), 15384);  // the capped length is kept
    ASSERT_EQ(twoInputs(QF_OP_CONVOLUTION, "longer.tim", "long.tim", "c.tim", 0, 0, 0, 100), 0);
    EXPECT_EQ(get("c.tim").count(), 16284 + 100 - 1);
    registerCorrelationOperations();
}

TEST_F(Correlation, NegativeValuesAndEmptyInputsAreRefused) {
    put("x.tim", real32File(std::vector<float>(30, 1.0f)));
    const struct {
        int32_t sa, na, sb, nb;
    } negatives[] = {{-1, 0, 0, 0}, {0, -5, 0, 0}, {0, 0, -1, 0}, {0, 0, 2, -3}};
    for (const auto& c : negatives) {
        TestHost::instance().reset();
        EXPECT_NE(
            twoInputs(QF_OP_CROSSCORRELATION, "x.tim", "x.tim", "o.tim", c.sa, c.na, c.sb, c.nb),
            0);
        EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), kNegative);
        EXPECT_FALSE(exists("o.tim"));
    }
    EXPECT_EQ(autocorr("x.tim", "o.tim", 0, -1), kAutoNegativeLength);
    EXPECT_FALSE(exists("o.tim"));

    // A script line with a negative length is a parameter error.
    const OperationRecord* r = findOperation(QF_OP_AUTOCORRELATION);
    runtime().block = &block;
    block.opCode = QF_OP_AUTOCORRELATION;
    const std::string line =
        "4010 Autocorrelation          " + dir + " x.tim 0 -4 " + dir + " o.tim";
    EXPECT_EQ(r->readScriptLine(0, line.c_str(), r->checkParams), 2);

    // An empty signal cannot be read: it is asked for again.
    TestHost::instance().reset();
    put("e.tim", real32File({}));
    EXPECT_EQ(autocorr("e.tim", "o.tim", 0, 0), 1);
    EXPECT_EQ(messages(QF_MSG_NOTICE), std::vector<std::string>{"Error reading 'e.tim'."});
    EXPECT_FALSE(exists("o.tim"));
    // Unreadable and other types are asked for again.
    TestHost::instance().reset();
    put("f.tim", frameFile(std::vector<Complex>(8), 8, 8));
    EXPECT_NE(twoInputs(QF_OP_CONVOLUTION, "x.tim", "f.tim", "o.tim"), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "'f.tim' has an unsupported data type.");
    EXPECT_EQ(TestHost::instance().count("dspCorrConvoGetPara"), 2);
}

TEST_F(Correlation, ScriptLinesRoundTrip) {
    put("a b.tim", real32File(std::vector<float>(30, 1.0f)));
    block.opCode = QF_OP_AUTOCORRELATION;
    setEntry(block.in1, dir, "a b.tim");
    setEntry(block.out, dir, "o.tim");
    paramInt(block, QF_P_AUTOCORR_SKIP) = 2;
    paramInt(block, QF_P_AUTOCORR_LENGTH) = 10;
    int32_t read = -1;
    EXPECT_EQ(scriptRoundTrip(block, dir, read),
              "4010 Autocorrelation          " + dir + " a*b.tim 2 10 " + dir + " o.tim\r\n");
    EXPECT_EQ(read, 0);
    EXPECT_EQ(paramInt(block, QF_P_AUTOCORR_LENGTH), 10);
    EXPECT_STREQ(block.in1.n, "a b.tim");

    for (int32_t code : {QF_OP_CROSSCORRELATION, QF_OP_CONVOLUTION}) {
        std::memset(&block, 0, sizeof block);
        block.opCode = code;
        setEntry(block.in1, dir, "a b.tim");
        setEntry(block.in2, dir, "a b.tim");
        setEntry(block.out, dir, "o.tim");
        paramInt(block, QF_P_CORR_SKIP_A) = 1;
        paramInt(block, QF_P_CORR_LENGTH_A) = 40;  // cut to 29 by the check
        paramInt(block, QF_P_CORR_SKIP_B) = 3;
        paramInt(block, QF_P_CORR_LENGTH_B) = 4;
        const std::string name =
            code == QF_OP_CROSSCORRELATION ? "Crosscorrelation  " : "Convolution       ";
        EXPECT_EQ(scriptRoundTrip(block, dir, read), std::to_string(code) + " " + name + "       " +
                                                         dir + " a*b.tim 1 40 " + dir +
                                                         " a*b.tim 3 4 " + dir + " o.tim\r\n");
        EXPECT_EQ(read, 0);  // the adjusted length is accepted
        EXPECT_EQ(paramInt(block, QF_P_CORR_LENGTH_A), 29);
        EXPECT_EQ(paramInt(block, QF_P_CORR_SKIP_B), 3);
        EXPECT_EQ(paramInt(block, QF_P_CORR_LENGTH_B), 4);
    }
    EXPECT_TRUE(messages(QF_MSG_NOTICE).empty());  // a script line reads quietly
}
