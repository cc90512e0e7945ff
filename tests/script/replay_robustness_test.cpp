// Damaged scripts and signal files never crash the engine: lines of every
// registered operation with fields replaced by hostile values, dropped, cut
// short, doubled or scrambled are replayed, and damaged headers are opened.  The
// test only asks for an orderly result; the sanitizer build checks memory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/engine.h"
#include "script/lines.h"
#include "signal/access.h"
#include "support/engine_test.h"

using namespace qf;
using namespace qf::test;

namespace {

// A small deterministic generator, so a failure can be replayed; QF_FUZZ_SEED
// chooses other rounds.
uint32_t seed(uint32_t fallback) {
    const char* s = std::getenv("QF_FUZZ_SEED");
    return s ? static_cast<uint32_t>(std::strtoul(s, nullptr, 10)) : fallback;
}

struct Dice {
    uint32_t state;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    std::size_t pick(std::size_t n) { return next() % n; }
};

// Inputs every script starts with (left intact), then lines to damage.
const char* const kInputs =
    "2010 Sinusoidal               ./ a.tim hrb 50 1000 300 0 1 0 2 0 0 0\n"
    "2010 Sinusoidal               ./ b.tim hrb 120 1000 200 0 0.5 0 0 0 0 0\n"
    "4050 FastFourierTransform     ./ a.tim 1 64 64 ./ a.fre\n";

const std::vector<std::string> kLines = {
    "2010 Sinusoidal               ./ s.tim hrb 50 1000 100 0 1 0 2 0 0 0",
    "2015 SweptSine                ./ w.tim hrb 10 100 1000 50 2 0 1 0 0 2 0 0 0",
    "2050 Unit_Sample              ./ u.tim hb 1000 100 5 1 2 0 0 0",
    "2090 WindowFunction           ./ h.tim hb 1 1000 64 2 0 0 0",
    "2140 NoiseFunction            ./ n.tim hb 1000 50 2 2 0 1",
    "3010 Addition                 ./ a.tim ./ b.tim ./ sum.tim",
    "3020 Subtraction              ./ a.tim ./ b.tim ./ dif.tim",
    "3035 MultiplicationK          ./ a.tim             0.5 ./ half.tim",
    "3040 Reciprocal               ./ a.tim               2 ./ r.tim",
    "3070 ShiftRight               ./ b.tim 3 ./ sh.tim",
    "3100 Extract                  ./ a.tim 10 20 ./ x.tim",
    "3110 Sine                     ./ a.tim               1               1 ./ si.tim",
    "3220 Join                     ./ a.tim ./ b.tim ./ j.tim",
    "3230 QuantizeFixedPt          ./ b.tim 4 ./ q.tim",
    "3240 Difference               ./ a.tim 2 ./ d.tim",
    "4030 Decimation               ./ a.tim 3 ./ dec.tim",
    "4040 Interpolation            ./ b.tim 2 ./ int.tim",
    "4050 FastFourierTransform     ./ a.tim 3 128 -10 ./ f.fre",
    "6050 ASCII_Binary_Cvt         ./ a.fre ./ t.fre",
    "6060 Int_Float_Cvt            ./ b.tim ./ fl.tim",
    "? a message",
    "@ 2",
    "* a remark",
};

// No absolute or parent folders: outputs stay in the test's folder.
const std::vector<std::string> kHostile = {"0",           "-1",
                                           "1",           "2",
                                           "64",          "2147483647",
                                           "-2147483648", "1e99",
                                           "-1e9",        "99999999999",
                                           "nan",         "inf",
                                           "-inf",        "x",
                                           "?$v",         "?In",
                                           ".",           "./",
                                           "?",           std::string(300, 'w'),
                                           "%s%n",        "*",
                                           "\x01",        "-0.0",
                                           "1e-320",      "00000000000000000001",
                                           "3",           "ffffffff",
                                           "7fffffff",    "80000000",
                                           "0x10",        "-0",
                                           "1e9",         "a.fre",
                                           "b.tim"};

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string x; in >> x;) w.push_back(x);
    return w;
}

std::string joined(const std::vector<std::string>& w) {
    std::string s;
    for (const std::string& x : w) s += (s.empty() ? "" : " ") + x;
    return s;
}

// Every folder stays "./" (the test's folder): a '/' anywhere else, as a
// scrambled byte may make one, becomes '_'.
std::string confined(std::string line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '/') continue;
        const bool dotSlash = i > 0 && line[i - 1] == '.' && (i == 1 || line[i - 2] == ' ') &&
                              (i + 1 == line.size() || line[i + 1] == ' ');
        if (!dotSlash) line[i] = '_';
    }
    return line;
}

std::string damaged(const std::string& line, Dice& d) {
    std::vector<std::string> w = words(line);
    switch (d.pick(6)) {
        case 0:  // one field replaced (the code and name stay)
            if (w.size() > 2) w[2 + d.pick(w.size() - 2)] = kHostile[d.pick(kHostile.size())];
            return joined(w);
        case 1:  // cut short
            return line.substr(0, d.pick(line.size() + 1));
        case 2:  // a field doubled
            if (w.size() > 2) w.insert(w.begin() + 2 + d.pick(w.size() - 2), w.back());
            return joined(w);
        case 3: {  // bytes scrambled
            std::string s = line;
            for (int k = 0; k < 3 && !s.empty(); ++k)
                s[d.pick(s.size())] = static_cast<char>(d.next() & 0xFF);
            return s;
        }
        case 4:  // a nested script: itself or a missing one
            return d.pick(2) ? "> ./ fuzz.scr" : "> ./ absent.scr";
        default:  // several fields replaced
            for (std::size_t k = 2; k < w.size(); ++k)
                if (d.pick(3) == 0) w[k] = kHostile[d.pick(kHostile.size())];
            return joined(w);
    }
}

class Robustness : public EngineTest {
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

TEST_F(Robustness, DamagedScriptLinesEndInAnOrderlyWay) {
    Dice d{seed(12345)};
    int ran = 0, ok = 0;
    for (int round = 0; round < 400; ++round) {
        // A damaged line may make another folder current (an output is
        // made where its folder names): start each round at home.
        ASSERT_EQ(::chdir(dir.c_str()), 0);
        // A replay stops at its first failing line, so each round damages
        // one line and then runs an intact one.
        std::string script = kInputs;
        script += confined(damaged(kLines[d.pick(kLines.size())], d)) + "\n";
        script += kLines[d.pick(kLines.size())] + "\n";
        const int32_t r = runScript(script);
        EXPECT_TRUE(r == 0 || r == 1) << "round " << round << " gave " << r << "\n" << script;
        EXPECT_EQ(qfenStatus->scriptRunning, 'n') << round;
        EXPECT_EQ(qfenStatus->busy, 'n') << round;
        ran += static_cast<int>(TestHost::instance().messages(QF_MSG_DESCRIPTION).size());
        ok += r == 0;
        TestHost::instance().reset();
    }
    // Not vacuous: the intact inputs ran every time, and some whole scripts.
    EXPECT_GE(ran, 3 * 400);
    EXPECT_GT(ok, 0);
}

// The spectral operations' lines, after intact inputs of their own, with
// one field replaced by a hostile value, dropped or doubled.
TEST_F(Robustness, DamagedSpectralLinesEndInAnOrderlyWay) {
    const std::string inputs =
        "2010 Sinusoidal               ./ a.tim hrb 50 1000 300 0 1 0 2 0 0 0\n"
        "2010 Sinusoidal               ./ b.tim hrb 120 1000 200 0 0.5 0 0 0 0 0\n"
        "4050 FastFourierTransform     ./ a.tim 1 64 32 ./ a.fre\n";
    const std::vector<std::string> lines = {
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
    std::string all = inputs;
    for (const std::string& l : lines) all += l + "\n";
    ASSERT_EQ(runScript(all), 0) << TestHost::instance().lastMessage();  // every line runs intact
    Dice d{seed(4711)};
    int ok = 0;
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(::chdir(dir.c_str()), 0);
        std::vector<std::string> w = words(lines[d.pick(lines.size())]);
        const auto at = w.begin() + static_cast<std::ptrdiff_t>(2 + d.pick(w.size() - 2));
        switch (d.pick(3)) {
            case 0:
                *at = kHostile[d.pick(kHostile.size())];
                break;
            case 1:
                w.erase(at);
                break;
            default:
                w.insert(at, *at);
                break;
        }
        // The code and name stay, followed by the blanks of the intact lines.
        std::string damaged = w[0] + " " + w[1] + "       ";
        for (std::size_t k = 2; k < w.size(); ++k) damaged += w[k] + (k + 1 < w.size() ? " " : "");
        const std::string script = inputs + damaged + "\n" + lines[d.pick(lines.size())] + "\n";
        TestHost::instance().reset();
        const int32_t r = runScript(script);
        EXPECT_TRUE(r == 0 || r == 1) << "round " << round << " gave " << r << "\n" << script;
        EXPECT_EQ(qfenStatus->busy, 'n') << round;
        EXPECT_EQ(qfenStatus->scriptRunning, 'n') << round;
        ok += r == 0;
    }
    EXPECT_GT(ok, 0);
}

TEST_F(Robustness, DamagedHeadersAreRefusedOrRead) {
    // Each kind of header, written by the engine, then damaged.
    ASSERT_EQ(runScript("2010 Sinusoidal               ./ r.tim hrb 50 1000 64 0 1 0 2 0 0 0\n"
                        "2010 Sinusoidal               ./ i.tim hrb 50 1000 64 0 1 0 0 0 0 0\n"
                        "4050 FastFourierTransform     ./ r.tim 1 32 32 ./ r.fre\n"
                        "6050 ASCII_Binary_Cvt         ./ r.fre ./ t.fre\n"
                        "6050 ASCII_Binary_Cvt         ./ i.tim ./ t.tim\n"),
              0);
    Dice d{seed(777)};
    for (const char* name : {"r.tim", "i.tim", "r.fre", "t.fre", "t.tim"}) {
        const std::string good = readFile(dir + name);
        const std::size_t header = good.find('#') + 1;
        ASSERT_GT(header, 1u) << name;
        for (int round = 0; round < 150; ++round) {
            std::string bad = good;
            const int changes = 1 + static_cast<int>(d.pick(4));
            for (int k = 0; k < changes; ++k) {
                const std::size_t at = d.pick(header);
                const std::size_t kind = d.pick(3);
                if (kind == 0)
                    bad[at] = static_cast<char>(d.next() & 0xFF);
                else if (kind == 1)
                    bad.insert(at, kHostile[d.pick(kHostile.size())]);
                else
                    bad.erase(at, d.pick(8));
            }
            if (d.pick(4) == 0) bad.resize(d.pick(bad.size() + 1));
            writeFile(dir + "bad.tim", bad);
            nameNpath file{};
            setEntry(file, dir, "bad.tim");
            SignalDescriptor s{};
            const int32_t r = sigOpenRead(s, file, d.pick(2) ? 16384 : 0);
            if (r == 0) {
                EXPECT_GE(s.recordCount, 0) << name << " round " << round;
                for (int32_t i = 0; i < s.recordCount && i < 5000; i += 97)
                    if (sigAccess(s, i) != 0) break;
            }
            sigClose(s);
        }
    }
}
