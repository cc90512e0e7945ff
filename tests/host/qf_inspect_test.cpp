// qf info and qf print against files written byte by byte here: header
// fields by name, duration and statistics worked out in the test, values as
// plain decimal numbers that read back exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "host/qf_process.h"
#include "ops/time/signal_bytes.h"
#include "support/test_host.h"

using namespace qf::test;

namespace {

class QfInspect : public QfTest {
  protected:
    // The value after "Key<blanks>: " in info's output.
    static std::string field(const std::string& out, const std::string& key) {
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            const std::size_t colon = line.find(": ");
            if (colon == std::string::npos) continue;
            std::string k = line.substr(0, colon);
            while (!k.empty() && k.back() == ' ') k.pop_back();
            if (k == key) return line.substr(colon + 2);
        }
        return "(missing)";
    }
    // Each line of the output, its numbers.
    static std::vector<std::vector<double>> rows(const std::string& out) {
        std::vector<std::vector<double>> r;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::vector<double> v;
            for (std::string w; words >> w;) v.push_back(std::strtod(w.c_str(), nullptr));
            r.push_back(v);
        }
        return r;
    }
};

const std::vector<int16_t> kWords = {0, 16384, -32768, 32767, -1, 1, 12345, -20000};

}  // namespace

TEST_F(QfInspect, InfoGivesTheHeaderLengthAndStatistics) {
    writeFile(dir + "w.tim", sig::int16File(kWords, 2000.0, false));
    const QfResult r = qf("info w.tim");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(field(r.out, "Remark"), "test signal");
    EXPECT_EQ(field(r.out, "Number of record"), "8");
    EXPECT_EQ(field(r.out, "Record type number"), "INTEGER16 (16 bit fractional)");
    EXPECT_EQ(field(r.out, "Sampling rate"), "2000 Hz");
    EXPECT_EQ(field(r.out, "File format"), "ASCII");
    EXPECT_EQ(field(r.out, "duration"), "0.004 s");  // 8 samples at 2000 Hz
    double low = 1, high = -1, sum = 0, squares = 0;
    for (int16_t w : kWords) {
        const double x = w / 32768.0;
        low = std::fmin(low, x);
        high = std::fmax(high, x);
        sum += x;
        squares += x * x;
    }
    const auto value = [&](const char* key) { return std::strtod(field(r.out, key).c_str(), 0); };
    EXPECT_EQ(value("minimum"), -1.0);
    EXPECT_NEAR(value("maximum"), high, 1e-9);
    EXPECT_NEAR(value("mean"), sum / 8, 1e-9);
    EXPECT_NEAR(value("RMS"), std::sqrt(squares / 8), 1e-9);
    EXPECT_EQ(low, -1.0);
}

TEST_F(QfInspect, InfoOfSeveralFilesAndOfFrames) {
    writeFile(dir + "f.tim", sig::real32File({0.5f, -0.5f, 0.5f, -0.5f}, 100.0));
    const sig::Header h{.type = "CREAL128RECT(W)",
                        .count = 8,
                        .extra = sig::line("Frame size", "4") + sig::line("Frame interval", "2") +
                                 sig::line("Window function", "Hanning")};
    writeFile(dir + "s.fre", sig::headerBytes(h) + sig::rawBytes(std::vector<double>(16, 1.0)));
    const QfResult r = qf("info f.tim s.fre absent.tim");
    EXPECT_EQ(r.status, 1);  // one of the three could not be read
    EXPECT_NE(r.out.find("File                  : f.tim"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("RMS                   : 0.5\n"), std::string::npos);
    EXPECT_NE(r.out.find("duration              : 0.04 s\n"), std::string::npos);
    EXPECT_NE(r.out.find("Window function       : Hanning"), std::string::npos);
    EXPECT_NE(r.out.find("frames                : 2"), std::string::npos);
    EXPECT_EQ(r.err, "qf: cannot read 'absent.tim': No such file or directory\n");
    // A file the engine refuses is named once, in the engine's words.
    writeFile(dir + "short.tim", sig::real32File({1.0f}));
    const QfResult bad = qf("info short.tim");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "error: Input file is too short.\n");
}

TEST_F(QfInspect, PrintGivesFractionsThatReadBackExactly) {
    writeFile(dir + "w.tim", sig::int16File(kWords));
    const QfResult r = qf("print w.tim");
    ASSERT_EQ(r.status, 0);
    const auto v = rows(r.out);
    ASSERT_EQ(v.size(), kWords.size());
    for (std::size_t i = 0; i < v.size(); ++i) EXPECT_EQ(v[i][0], kWords[i] / 32768.0) << i;
    // Plain decimals: -1/32768 is written out, not in exponent form.
    EXPECT_NE(r.out.find("\n-0.000030517578125\n"), std::string::npos) << r.out;
    // A window of the records.
    const QfResult part = qf("print w.tim --from 2 --count=3");
    EXPECT_EQ(part.out, "-1\n0.999969482421875\n-0.000030517578125\n");
    EXPECT_EQ(qf("print w.tim --from 8").out, "");
    EXPECT_EQ(qf("print w.tim --from 9").status, 1);
    EXPECT_EQ(qf("print w.tim --count -1").status, 2);
}

TEST_F(QfInspect, PrintGivesFloatsAsTheShortestDecimal) {
    writeFile(dir + "f.tim", sig::real32File({0.1f, -2.5f, 1e-30f, 3.14159274f}));
    const QfResult r = qf("print f.tim");
    EXPECT_EQ(r.out, "0.1\n-2.5\n1e-30\n3.1415927\n");
    const auto v = rows(r.out);
    EXPECT_EQ(static_cast<float>(v[3][0]), 3.14159274f);
}

TEST_F(QfInspect, PrintGivesComplexBinsAsPairsMagnitudesOrDecibels) {
    const sig::Header h{.type = "CREAL128RECT(W)",
                        .count = 4,
                        .extra = sig::line("Frame size", "4") + sig::line("Frame interval", "4") +
                                 sig::line("Window function", "Rectangular")};
    const std::vector<double> bins = {3.0, 4.0, -1.0, 0.0, 0.0, -2.0, 0.1, 0.1};
    writeFile(dir + "s.fre", sig::headerBytes(h) + sig::rawBytes(bins));
    const auto pairs = rows(qf("print s.fre").out);
    ASSERT_EQ(pairs.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(pairs[k][0], bins[2 * k]);
        EXPECT_EQ(pairs[k][1], bins[2 * k + 1]);
    }
    const auto polar = rows(qf("print s.fre --polar").out);
    const auto db = rows(qf("print s.fre --db").out);
    ASSERT_EQ(polar.size(), 4u);
    ASSERT_EQ(db.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        const double re = bins[2 * k], im = bins[2 * k + 1];
        const double m = std::sqrt(re * re + im * im);
        EXPECT_NEAR(polar[k][0], m, 1e-12) << k;
        EXPECT_NEAR(polar[k][1], std::atan2(im, re), 1e-12) << k;
        EXPECT_NEAR(db[k][0], 20 * std::log10(m), 1e-9) << k;
    }
    EXPECT_EQ(polar[0][0], 5.0);
    EXPECT_EQ(db[0].size(), 1u);
    EXPECT_EQ(qf("print s.fre --polar --db").status, 2);
    writeFile(dir + "f.tim", sig::real32File({1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(qf("print f.tim --polar").status, 2);
}
