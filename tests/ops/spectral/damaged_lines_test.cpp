// Damaged script lines of the spectral operations end in an orderly way:
// each line has one field replaced by a hostile value, dropped or doubled,
// and is replayed after intact inputs.  The test asks only for an orderly
// result; the sanitizer build checks memory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/engine.h"
#include "support/engine_test.h"

using namespace qf;
using namespace qf::test;

namespace {

const char* const kInputs =
    "2010 Sinusoidal               ./ a.tim hrb 50 1000 300 0 1 0 2 0 0 0\n"
    "2010 Sinusoidal               ./ b.tim hrb 120 1000 200 0 0.5 0 0 0 0 0\n"
    "4050 FastFourierTransform     ./ a.tim 1 64 32 ./ a.fre\n";

const std::vector<std::string> kLines = {
    "5010 InverseFFT               ./ a.fre ./ i.tim",
    "5110 FrameAverateFFT          ./ a.fre 3 ./ v.fre",
    "5120 DecomposeFFT_XjY         ./ a.fre ./ p.tim",
    "5160 ComposeFFT_XjY           ./ a.tim ./ b.tim 40 20 ./ c.fre",
    "5170 G(Z)=1/H(Z)              ./ a.fre ./ g.fre",
    "4010 Autocorrelation          ./ a.tim 5 50 ./ r.tim",
    "4020 Crosscorrelation         ./ a.tim 0 30 ./ b.tim 2 0 ./ x.tim",
    "4025 Convolution              ./ b.tim 1 20 ./ a.tim 0 10 ./ y.tim",
    "4080 DiscreteCosineTransform    ./ b.tim 32 ./ d.fre",
};

const std::vector<std::string> kHostile = {"0",           "-1",
                                           "1",           "2",
                                           "3",           "64",
                                           "2147483647",  "-2147483648",
                                           "99999999999", "x",
                                           "ffffffff",    "7fffffff",
                                           "80000000",    "0x10",
                                           "-0",          "1e9",
                                           ".",           "./",
                                           "*",           "a.fre",
                                           "b.tim",       std::string(300, 'w'),
                                           "%s%n",        "\x01"};

struct Dice {
    uint32_t state;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    std::size_t pick(std::size_t n) { return next() % n; }
};

std::string damaged(const std::string& line, Dice& d) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string x; in >> x;) w.push_back(x);
    const std::size_t at = 2 + d.pick(w.size() - 2);
    switch (d.pick(3)) {
        case 0:
            w[at] = kHostile[d.pick(kHostile.size())];
            break;
        case 1:
            w.erase(w.begin() + static_cast<std::ptrdiff_t>(at));
            break;
        default:
            w.insert(w.begin() + static_cast<std::ptrdiff_t>(at), w[at]);
            break;
    }
    std::string s = w[0] + " " + w[1] + "       ";
    for (std::size_t k = 2; k < w.size(); ++k) s += w[k] + (k + 1 < w.size() ? " " : "");
    return s;
}

class DamagedSpectralLines : public EngineTest {
  protected:
    int32_t runScript(const std::string& text) {
        writeFile(dir + "fuzz.scr", text);
        TestHost::instance().answer([this](CommandBlock& b, const HostCall&) {
            setEntry(b.out, dir, "fuzz.scr");
            return 0;
        });
        CommandBlock block{};
        block.opCode = QF_OP_RUN_SCRIPT;
        return RunOp(&block);
    }
};

}  // namespace

TEST_F(DamagedSpectralLines, EndInAnOrderlyWay) {
    const char* s = std::getenv("QF_FUZZ_SEED");
    Dice d{s ? static_cast<uint32_t>(std::strtoul(s, nullptr, 10)) : 4711u};
    // Every intact line runs.
    std::string all = kInputs;
    for (const std::string& l : kLines) all += l + "\n";
    ASSERT_EQ(runScript(all), 0) << TestHost::instance().lastMessage();
    int ok = 0;
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(::chdir(dir.c_str()), 0);
        std::string script = kInputs;
        script += damaged(kLines[d.pick(kLines.size())], d) + "\n";
        script += kLines[d.pick(kLines.size())] + "\n";
        TestHost::instance().reset();
        const int32_t r = runScript(script);
        EXPECT_TRUE(r == 0 || r == 1) << "round " << round << " gave " << r << "\n" << script;
        EXPECT_EQ(qfenStatus->busy, 'n') << round;
        EXPECT_EQ(qfenStatus->scriptRunning, 'n') << round;
        ok += r == 0;
    }
    EXPECT_GT(ok, 0);
}
