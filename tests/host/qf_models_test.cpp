// The signal-model commands of qf (lpc, lpc-spectrum, lms, wiener) as a
// user types them: usage lines from the engine's descriptions, required
// options, five files of the LMS filter, and a recorded session's lines.
#include <gtest/gtest.h>

#include <string>

#include "host/qf_process.h"
#include "support/test_host.h"

using namespace qf::test;

using QfModels = QfTest;

TEST_F(QfModels, UsageLinesAndRequiredOptions) {
    const std::pair<const char*, const char*> usages[] = {
        {"lpc", "qf lpc IN.tim OUT.lpc --order P --frame NF --interval I --fft N"},
        {"lpc-spectrum", "qf lpc-spectrum IN.lpc OUT.fre --fft N"},
        {"lms",
         "qf lms A.tim B.tim OUT.tim OUT2.tim OUT3.tim --taps L [--step MU] [--adapt K] "
         "[--fixed|--normalised]"},
        {"wiener", "qf wiener A.tim B.tim OUT.tim"},
    };
    for (const auto& [command, usage] : usages) {
        const QfResult r = qf(std::string("help ") + command);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.output.find(usage), std::string::npos) << r.output;
    }
    EXPECT_EQ(qf("lpc a.tim a.lpc --frame 256 --interval 128 --fft 512").status, 2);
    EXPECT_EQ(qf("lms a.tim b.tim y.tim e.tim --taps 4").status, 2);

    // A refused value is named as it was given.
    ASSERT_EQ(qf("sine s.tim --frequency 100 --samples 400").status, 0);
    const QfResult order = qf("lpc s.tim s.lpc --order 0 --frame 64 --interval 32 --fft 64");
    EXPECT_EQ(order.status, 1);
    EXPECT_NE(order.output.find("--order 0: LPC order must be between 1 and 63."),
              std::string::npos)
        << order.output;
    const QfResult taps = qf("lms s.tim s.tim y.tim e.tim w.tim --taps 0");
    EXPECT_EQ(taps.status, 1);
    EXPECT_NE(taps.output.find("--taps 0: The LMS filter needs at least one tap."),
              std::string::npos)
        << taps.output;
    EXPECT_FALSE(fileExists(dir + "s.lpc"));
    EXPECT_FALSE(fileExists(dir + "y.tim"));
}

TEST_F(QfModels, ARecordedSessionWritesTheModelsLines) {
    const QfResult r =
        qf("shell",
           "sine x.tim --freq 440 --rate 8000 --samples 600 --noise uniform:-0.1:0.1\n"
           "record start s.scr\n"
           "lpc x.tim x.lpc --order 6 --frame 200 --interval 100 --fft 128\n"
           "lms x.tim x.tim y.tim e.tim w.tim --taps 3 --step 0.125 --adapt 50 --normalised\n"
           "wiener w.tim x.tim g.tim\n"
           "record stop\n");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("[x.fre] = Spectrum of LPC coefficients in [x.lpc]"), std::string::npos)
        << r.output;
    for (const char* f : {"x.lpc", "x.fre", "y.tim", "e.tim", "w.tim", "g.tim"})
        EXPECT_TRUE(fileExists(dir + f)) << f;
    EXPECT_EQ(readFile(dir + "s.scr"), "5130 LPC_Analysis             " + dir +
                                           " x.tim 6 200 100 128 " + dir +
                                           " x.lpc\r\n"
                                           "4007 LMSfilter          " +
                                           dir + " x.tim " + dir + " x.tim 0.125 3 50 1 " + dir +
                                           " y.tim " + dir + " e.tim " + dir +
                                           " w.tim\r\n"
                                           "5180 G(Z)=1/H(Z)              " +
                                           dir + " w.tim " + dir + " x.tim " + dir + " g.tim\r\n");
}
