// The README's examples, run as written in a fresh folder: every `sh` block
// in order, as one script, with qf on the PATH.  They must all succeed and
// make what the README says they make.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/qf_process.h"
#include "ops/time/signal_bytes.h"
#include "support/test_host.h"

using namespace qf::test;

namespace {

// The text of every ```sh block of the README.
std::string shellBlocks(const std::string& readme) {
    std::string script;
    for (std::size_t at = readme.find("```sh\n"); at != std::string::npos;
         at = readme.find("```sh\n", at)) {
        at += 6;
        const std::size_t end = readme.find("```", at);
        script += readme.substr(at, end - at) + "\n";
        at = end + 3;
    }
    return script;
}

// The frames of a binary CREAL128RECT(W) file: |X[k]|^2 summed per frame.
std::vector<double> frameEnergies(const std::string& file, int size, int* peakBin) {
    const sig::Parsed p = sig::parse(file);
    std::vector<double> bins(p.data.size() / sizeof(double));
    std::memcpy(bins.data(), p.data.data(), bins.size() * sizeof(double));
    std::vector<double> energies;
    for (std::size_t f = 0; (f + 1) * 2 * size <= bins.size(); ++f) {
        double e = 0, best = -1;
        for (int k = 0; k < size; ++k) {
            const double re = bins[(f * size + k) * 2], im = bins[(f * size + k) * 2 + 1];
            e += re * re + im * im;
            if (k < size / 2 && re * re + im * im > best) {
                best = re * re + im * im;
                *peakBin = k;
            }
        }
        energies.push_back(e);
    }
    return energies;
}

}  // namespace

TEST(Readme, ExamplesRunAsWrittenAndDoWhatTheySay) {
    const std::string home = makeTempDir(), dir = makeTempDir();
    const std::string readme = readFile(QF_SOURCE_DIR "/README.md");
    const std::string script = shellBlocks(readme);
    ASSERT_NE(script.find("qf fft tone.tim tone.fre --size 256"), std::string::npos);
    const QfResult r = runShell(dir, home, script);
    ASSERT_EQ(r.status, 0) << script << "\n" << r.output;
    EXPECT_NE(r.out.find("duration              : 1.024 s"), std::string::npos) << r.out;
    // The hand-written smoother's impulse response is its taps, as shown.
    EXPECT_NE(r.output.find("[out.tim] = [imp.tim] filtered by [smooth.flt]"), std::string::npos);
    ASSERT_NE(readme.find("```\n 2.5000000E-001\n 5.0000000E-001\n 2.5000000E-001\n"),
              std::string::npos);
    EXPECT_NE(readFile(dir + "out-text.tim")
                  .find("#\r\n 2.5000000E-001\r\n 5.0000000E-001\r\n 2.5000000E-001\r\n"),
              std::string::npos);

    // The spectrum: four frames of 256 points side by side, each full of
    // the 100 Hz sine (bin 100 / 1000 * 256 = 25.6).
    for (const std::string& folder : {dir, dir + "elsewhere/"}) {
        int peak = -1;
        const std::vector<double> e = frameEnergies(readFile(folder + "tone.fre"), 256, &peak);
        ASSERT_EQ(e.size(), 4u) << folder;
        // A Hanning-windowed unit sine: sum |X|^2 = N * sum (x w)^2 ~ 256 * 48.
        for (double energy : e) EXPECT_GT(energy, 256 * 40.0) << folder;
        EXPECT_TRUE(peak == 25 || peak == 26) << peak;
        EXPECT_EQ(sig::parse(readFile(folder + "tone.fre")).field("Frame interval"), "256");
    }
    EXPECT_EQ(readFile(dir + "tone.fre"), readFile(dir + "elsewhere/tone.fre"));
    // The other files the examples name.
    EXPECT_EQ(sig::parse(readFile(dir + "text.tim")).field("File format"), "ASCII");
    EXPECT_EQ(sig::parse(readFile(dir + "noisy.tim")).count(), 8000);
    EXPECT_EQ(sig::parse(readFile(dir + "chirp.tim")).count(), 8000);
    EXPECT_EQ(sig::parse(readFile(dir + "half.tim")).count(), 1024);
    // The signal models: a spoken vowel's coefficients, the taps the LMS
    // filter found for d(n) = 0.5 x(n) - 0.3 x(n-1), and the inverse of
    // 1 + 0.5 z^-1 + 0.2 z^-2 (1, -0.5, 0.05, 0.075 ...).
    EXPECT_EQ(sig::parse(readFile(dir + "ah.lpc")).field("LPC Order"), "24");
    EXPECT_EQ(sig::parse(readFile(dir + "ah.fre")).field("Frame size"), "1024");
    const std::vector<float> taps = sig::real32Records(sig::parse(readFile(dir + "w.tim")));
    ASSERT_EQ(taps.size(), 4u);
    EXPECT_NEAR(taps[0], 0.5, 1e-4);
    EXPECT_NEAR(taps[1], -0.3, 1e-4);
    const std::vector<float> inverse = sig::real32Records(sig::parse(readFile(dir + "g.tim")));
    ASSERT_EQ(inverse.size(), 64u);
    for (int n = 0; n < 4; ++n)
        EXPECT_NEAR(inverse[n], (std::vector<double>{1, -0.5, 0.05, 0.075})[n], 1e-6) << n;
    const std::string session = readFile(dir + "session.scr");
    EXPECT_EQ(session.rfind("* a sine and its spectrum\r\n2010 Sinusoidal", 0), 0u) << session;
    EXPECT_NE(session.find("4050 FastFourierTransform     " + dir + " tone.tim 1 256 256 " + dir +
                           " tone.fre\r\n"),
              std::string::npos)
        << session;
}
