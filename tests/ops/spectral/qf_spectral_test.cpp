// The spectral example script as a student runs it with qf, its signals
// checked against the sine they come from (the recorded session of every
// spectral command is in the qf basics test).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "host/qf_process.h"
#include "ops/time/signal_bytes.h"
#include "spectral_files.h"

using namespace qf::test;
using namespace qf::test::sig;

namespace {

class QfSpectral : public QfTest {
  protected:
    Parsed file(const std::string& name) { return parse(readFile(dir + name)); }
};

}  // namespace

TEST_F(QfSpectral, ExampleScriptTakesASineThroughTheSpectrumAndBack) {
    const std::string name = "spectrum_and_back.scr";
    writeFile(dir + name, readFile(std::string(QF_SOURCE_DIR "/examples/") + name));
    const QfResult r = runQf(dir, home, "run " + name + " --no-pause");
    ASSERT_EQ(r.status, 0) << r.output;

    // x[n] = sin(2 pi 50 n / 1000), n < 1000, comes back from its frames:
    // 7 frames of 256 at 128 give 256 + 6 * 128 samples.
    const std::vector<float> x = real32Records(file("tone.tim"));
    ASSERT_EQ(x.size(), 1000u);
    for (int n = 0; n < 1000; n += 37)
        EXPECT_NEAR(x[n], std::sin(2 * spectral::kPi * n / 20), 1e-6);
    const std::vector<float> back = real32Records(file("back.tim"));
    ASSERT_EQ(back.size(), 1024u);
    for (std::size_t n = 0; n < x.size(); ++n) ASSERT_NEAR(back[n], x[n], 1e-6) << n;

    // Its parts as floats, composed again into frames of 256 at 128.
    const Parsed again = file("again.fre");
    EXPECT_EQ(again.field("Frame size"), "256");
    EXPECT_EQ(again.field("Frame interval"), "128");
    const std::vector<spectral::Complex> a = spectral::bins(again),
                                         f = spectral::bins(file("tone.fre"));
    ASSERT_EQ(a.size(), f.size());
    for (std::size_t k = 0; k < a.size(); ++k)
        ASSERT_LE(std::abs(a[k] - f[k]), 1e-6 * (std::abs(f[k]) + 1e-20)) << k;

    // Lag 0 of the autocorrelation of 10 whole periods: the mean of sin^2.
    const std::vector<float> r0 = real32Records(file("auto.tim"));
    ASSERT_EQ(r0.size(), 399u);
    EXPECT_NEAR(r0[199], 0.5, 1e-6);
    EXPECT_EQ(real32Records(file("conv.tim")).size(), 100u + 20 - 1);
    // (1000 - 1) / 64 + 1 = 16 blocks of 2 x 64 records.
    EXPECT_EQ(file("dct.fre").count(), 16 * 128);
}
