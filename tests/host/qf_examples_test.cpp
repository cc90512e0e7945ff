// The example scripts, replayed by qf as a student would, give the signals
// their remarks describe (values worked out here from the formulas).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/qf_process.h"
#include "support/test_host.h"

using namespace qf::test;

namespace {

const double kPi = 3.14159265358979323846;

// The data part of a signal file: after '#', CR, Ctrl-Z (binary) or after
// "#" CR LF (text).
std::string dataOf(const std::string& file) {
    std::size_t hash = file.find('#');
    if (hash == std::string::npos || hash + 3 > file.size()) return "";
    return file.substr(hash + 3);
}

template <typename T>
std::vector<T> binaryRecords(const std::string& file) {
    const std::string d = dataOf(file);
    std::vector<T> v(d.size() / sizeof(T));
    std::memcpy(v.data(), d.data(), v.size() * sizeof(T));
    return v;
}

// 16-bit text records: four hex digits and CR LF each.
std::vector<int16_t> textWords(const std::string& file) {
    const std::string d = dataOf(file);
    std::vector<int16_t> v;
    for (std::size_t at = 0; at + 6 <= d.size(); at += 6)
        v.push_back(static_cast<int16_t>(std::strtoul(d.substr(at, 4).c_str(), nullptr, 16)));
    return v;
}

double sine(double f, double rate, int n) {
    return std::sin(2.0 * kPi * f * n / rate);
}

class Examples : public QfTest {
  protected:
    void replay(const std::string& name) {
        writeFile(dir + name, readFile(std::string(QF_SOURCE_DIR "/examples/") + name));
        for (const char* filter : {"lowpass_float.flt", "lowpass_q15.flt",
                                   "butterworth_cascade.flt", "butterworth_lattice.flt"})
            writeFile(dir + filter,
                      readFile(std::string(QF_SOURCE_DIR "/examples/filters/") + filter));
        QfResult r = runQf(dir, home, "run " + name + " --no-pause");
        ASSERT_EQ(r.status, 0) << r.output;
    }
};

}  // namespace

TEST_F(Examples, AddAndScaleHalvesTheSumOfTwoSines) {
    replay("add_and_scale.scr");
    const std::vector<float> y = binaryRecords<float>(readFile(dir + "half.tim"));
    ASSERT_EQ(y.size(), 1000u);
    for (int n = 0; n < 1000; ++n)
        EXPECT_NEAR(y[n], 0.5 * (sine(50, 1000, n) + 0.5 * sine(120, 1000, n)), 2e-6) << n;
}

TEST_F(Examples, NoisySineStaysWithinItsNoiseBand) {
    replay("noisy_sine.scr");
    const std::vector<float> y = binaryRecords<float>(readFile(dir + "noisy.tim"));
    ASSERT_EQ(y.size(), 1000u);
    double sum = 0, squares = 0;
    for (int n = 0; n < 1000; ++n) {
        const double e = y[n] - sine(50, 1000, n);
        EXPECT_LE(std::fabs(e), 0.2 + 1e-6) << n;
        sum += e;
        squares += e * e;
    }
    // Uniform noise on [-0.2, 0.2]: mean 0, standard deviation 0.4 / sqrt(12).
    const double mean = sum / 1000, sd = std::sqrt(squares / 1000 - mean * mean);
    EXPECT_NEAR(mean, 0.0, 0.02);
    EXPECT_NEAR(sd, 0.4 / std::sqrt(12.0), 0.015);
}

TEST_F(Examples, FormatsGiveSixteenBitWordsAndTheirText) {
    replay("formats.scr");
    const std::vector<float> x = binaryRecords<float>(readFile(dir + "f.tim"));
    const std::vector<int16_t> w = binaryRecords<int16_t>(readFile(dir + "f16.tim"));
    ASSERT_EQ(x.size(), 200u);
    ASSERT_EQ(w.size(), 200u);
    for (int n = 0; n < 200; ++n) {
        // Q15 words: x * 32768, the top value held at 32767.
        const double q = std::fmin(x[n] * 32768.0, 32767.0);
        EXPECT_LE(std::fabs(w[n] - q), 1.0) << n;
    }
    const std::string text = readFile(dir + "f16text.tim");
    EXPECT_NE(text.find("File format           : ASCII\r\n"), std::string::npos);
    EXPECT_EQ(textWords(text), w);
}

TEST_F(Examples, QuantizeKeepsTheFourTopBits) {
    replay("quantize.scr");
    const std::vector<int16_t> q = binaryRecords<int16_t>(readFile(dir + "q.tim"));
    const std::vector<int16_t> q4 = binaryRecords<int16_t>(readFile(dir + "q4.tim"));
    ASSERT_EQ(q.size(), 200u);
    ASSERT_EQ(q4.size(), q.size());
    for (int n = 0; n < 200; ++n) {
        EXPECT_LE(std::fabs(q[n] - sine(10, 1000, n) * 32767.0), 1.0) << n;
        EXPECT_EQ(q4[n], static_cast<int16_t>(static_cast<uint16_t>(q[n]) & 0xF000u)) << n;
    }
}

TEST_F(Examples, SpectrumOfTheSinePeaksInItsBin) {
    replay("fft_of_a_sine.scr");
    // Frames of 256 complex doubles; 125 Hz at 1000 Hz is bin 32.
    const std::vector<double> v = binaryRecords<double>(readFile(dir + "tone.fre"));
    ASSERT_EQ(v.size(), 2u * 1024);
    int best = -1;
    double bestPower = 0;
    for (int k = 0; k < 128; ++k) {
        const double power = v[2 * k] * v[2 * k] + v[2 * k + 1] * v[2 * k + 1];
        if (power > bestPower) {
            bestPower = power;
            best = k;
        }
    }
    EXPECT_EQ(best, 32);
    // A Hanning window sums to N/2: the sine of amplitude 1 gives N/4.
    EXPECT_NEAR(std::sqrt(bestPower), 256.0 / 4, 0.5);
}

TEST_F(Examples, TheVowelsLpcSpectrumPeaksAtItsFormants) {
    replay("vowel.scr");
    // 4000 samples in frames of 256 every 128: (4000 - 256 + 127) / 128 + 1
    // = 31 frames of 2 x 10 coefficients, and 31 spectra of 512 bins.
    const std::string lpc = readFile(dir + "vowel.lpc");
    EXPECT_NE(lpc.find("Number of record      : 620\r\n"), std::string::npos);
    EXPECT_NE(lpc.find("Frame        30 : k1, k2, k3...\r\n"), std::string::npos);
    const std::vector<double> v = binaryRecords<double>(readFile(dir + "vowel.fre"));
    ASSERT_EQ(v.size(), 2u * 31 * 512);
    // The local maxima of |1/A| below 4000 Hz in frame 0, 15.625 Hz apart.
    std::vector<double> peaks;
    auto magnitude = [&v](int k) { return std::hypot(v[2 * k], v[2 * k + 1]); };
    for (int k = 1; k < 255; ++k)
        if (magnitude(k) > magnitude(k - 1) && magnitude(k) >= magnitude(k + 1))
            peaks.push_back(k * 8000.0 / 512);
    ASSERT_EQ(peaks.size(), 3u);
    EXPECT_NEAR(peaks[0], 730, 40);
    EXPECT_NEAR(peaks[1], 1090, 40);
    EXPECT_NEAR(peaks[2], 2440, 40);
}

namespace {

// The amplitude of the f Hz component of y over 384 samples from 416 on
// (whole periods of 250 Hz and of 3 kHz at 8 kHz).
template <typename T>
double amplitude(const std::vector<T>& y, double f, double scale = 1.0) {
    double re = 0, im = 0;
    for (int n = 416; n < 800; ++n) {
        re += y[n] * scale * std::cos(2 * kPi * f * n / 8000);
        im += y[n] * scale * std::sin(2 * kPi * f * n / 8000);
    }
    return 2 * std::hypot(re, im) / 384;
}

}  // namespace

TEST_F(Examples, LowPassFiltersKeepTheLowToneAndRemoveTheHighOne) {
    replay("lowpass_filters.scr");
    // 0.5 at 250 Hz plus 0.25 at 3 kHz, through 1 kHz low-pass filters:
    // the windowed sinc (passband gain 1.005 at 250 Hz, 15 samples of
    // delay) and the fourth-order Butterworth (|H| = 1 / sqrt(1 + r^8),
    // r = tan(pi f / fs) / tan(pi 1000 / fs): 1.0000 and 0.00086).
    const std::vector<float> fir = binaryRecords<float>(readFile(dir + "fir.tim"));
    const std::vector<float> lattice = binaryRecords<float>(readFile(dir + "lattice.tim"));
    const std::vector<int16_t> fir16 = binaryRecords<int16_t>(readFile(dir + "fir16.tim"));
    const std::vector<int16_t> cascade = binaryRecords<int16_t>(readFile(dir + "cascade16.tim"));
    ASSERT_EQ(fir.size(), 800u);
    ASSERT_EQ(lattice.size(), 800u);
    ASSERT_EQ(fir16.size(), 800u);
    ASSERT_EQ(cascade.size(), 800u);
    for (int n = 30; n < 800; ++n) EXPECT_NEAR(fir[n], 0.5 * sine(250, 8000, n - 15), 0.004) << n;
    const double q = 1.0 / 32767;
    EXPECT_NEAR(amplitude(fir, 250), 0.5027, 0.001);
    EXPECT_NEAR(amplitude(fir16, 250, q), 0.5027, 0.001);
    EXPECT_NEAR(amplitude(lattice, 250), 0.5, 0.001);
    EXPECT_NEAR(amplitude(cascade, 250, q), 0.5, 0.001);
    for (double a : {amplitude(fir, 3000), amplitude(fir16, 3000, q), amplitude(lattice, 3000),
                     amplitude(cascade, 3000, q)})
        EXPECT_LT(a, 0.25 * 0.002);
}
