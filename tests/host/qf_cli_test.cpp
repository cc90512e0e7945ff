// qf as scripts and students meet it: the exit status of every kind of
// ending, errors that name what happened, options before the command that
// hold for one run, Ctrl-C, the shell's status, recording only what ran,
// and help that teaches.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "host/qf_process.h"
#include "ops/time/signal_bytes.h"
#include "support/test_host.h"

using namespace qf::test;

namespace {

class Cli : public QfTest {
  protected:
    // The number of times `what` occurs in `text`.
    static int count(const std::string& text, const std::string& what) {
        int n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos;
             at = text.find(what, at + 1))
            ++n;
        return n;
    }
};

// A two-channel recording, written by hand.
std::string twoChannels() {
    sig::Header h;
    h.type = "REALTIMEINT16";
    h.count = 4;
    h.extra = sig::line("Number of channels", "2") + sig::line("ADC/DAC device code", "0") +
              sig::line("Ch0  range gain source", "-1 1 0") +
              sig::line("Ch1  range gain source", "-1 1 1");
    return sig::headerBytes(h) + sig::rawBytes(std::vector<int16_t>{1, 2, 3, 4});
}

}  // namespace

TEST_F(Cli, ExitStatusSaysHowTheCommandEnded) {
    writeFile(dir + "multi.tim", twoChannels());
    writeFile(dir + "words.txt", "not a signal\n");
    struct Case {
        const char* args;
        int status;
        const char* err;  // in standard error
    };
    const Case cases[] = {
        {"sine a.tim --frequency 100", 0, ""},
        {"sine b.tim --frequency=100 --rate=1000", 0, ""},  // --opt=value
        {"sine c.tim --freq 100 --samples 10", 0, ""},      // the old spelling
        {"scale multi.tim 2 y.tim", 1, "is a multi-channel signal"},
        {"scale words.txt 2 y.tim", 1, "error: "},
        {"sine y.tim --frequency 5000", 1, "--frequency 5000: "},
        {"sine y.tim", 2, "--frequency is required"},
        {"sine y.tim --frequency 1 --frequency 2", 2, "--frequency is given twice"},
        {"sine y.tim --frequency 1 --freq 2", 2, "--frequency is given twice"},
        {"sine y.tim --frequency 1 --int16 --float", 2, "choose one of --int16 and --float"},
        {"sine y.tim --frequency 1 --float=yes", 2, "--float takes no value"},
        {"sine y.tim --frequency 1 --colour red", 2, "unknown option --colour"},
        {"no-such-command", 2, "no command 'no-such-command'"},
        {"--format sideways status", 2, "--format takes text (a), binary (b)"},
        {"--home /tmp --home /tmp status", 2, "--home is given twice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const QfResult r = qf(c.args);
        EXPECT_EQ(r.status, c.status) << r.output;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        if (c.status == 0) {
            EXPECT_EQ(r.err, "");
        }
    }
    EXPECT_FALSE(fileExists(dir + "y.tim"));
    const QfResult v = qf("--version");
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.rfind("qf ", 0), 0u) << v.out;
}

TEST_F(Cli, ARefusedParameterNamesTheOptionAndItsRange) {
    const QfResult f = qf("sine y.tim --frequency 5000");
    EXPECT_EQ(f.err,
              "error: --frequency 5000: The frequency must be below half the sampling rate, "
              "4000 Hz.\n");
    const QfResult r = qf("sine y.tim --frequency 100 --rate -1");
    EXPECT_EQ(r.err, "error: --rate -1: The sampling rate must be positive.\n");
    EXPECT_EQ(qf("sine s.tim --frequency 100 --int16 --samples 64").status, 0);
    const QfResult b = qf("quantize s.tim 16 q.tim");
    EXPECT_EQ(b.status, 1);
    EXPECT_EQ(b.err, "note: BITS 16: Number of bits to be masked must between 1 and 15.\n");
    const QfResult n = qf("sine y.tim --frequency 100 --samples 0");
    EXPECT_EQ(n.status, 2);
    EXPECT_EQ(n.err, "qf: --samples must be at least 1\n");
}

TEST_F(Cli, UnusableFilesAreNamedWithTheSystemsReasonOnce) {
    ASSERT_EQ(::mkdir((dir + "folder.tim").c_str(), 0755), 0);
    struct Case {
        const char* args;
        const char* err;
    };
    const Case cases[] = {
        {"scale nope.tim 2 y.tim", "qf: cannot read 'nope.tim': No such file or directory\n"},
        {"scale folder.tim 2 y.tim", "qf: cannot read 'folder.tim': Is a directory\n"},
        {"info nope.tim", "qf: cannot read 'nope.tim': No such file or directory\n"},
        {"run folder.tim", "qf: cannot read script 'folder.tim': Is a directory\n"},
        {"sine no/such/y.tim --frequency 1",
         "qf: cannot write 'no/such/y.tim': No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const QfResult r = qf(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, c.err);
    }
    if (::geteuid() != 0) {  // root reads every file
        writeFile(dir + "locked.tim", sig::int16File({1, 2, 3}));
        ASSERT_EQ(::chmod((dir + "locked.tim").c_str(), 0), 0);
        EXPECT_EQ(qf("scale locked.tim 2 y.tim").err,
                  "qf: cannot read 'locked.tim': Permission denied\n");
    }
}

TEST_F(Cli, OptionsBeforeTheCommandHoldForThatRunOnly) {
    EXPECT_EQ(qf("--format text sine t.tim --frequency 100 --samples 10").status, 0);
    EXPECT_EQ(qf("sine b.tim --frequency 100 --samples 10").status, 0);
    EXPECT_EQ(sig::parse(readFile(dir + "t.tim")).field("File format"), "ASCII");
    EXPECT_EQ(sig::parse(readFile(dir + "b.tim")).field("File format"), "Binary");
    // Floats beyond 16-bit fractions: saturated by default, wrapped for one
    // run (1.5 * 32768 = 49152 wraps to -16384).
    writeFile(dir + "f.tim", sig::real32File({1.5f, -1.5f, 0.25f}));
    EXPECT_EQ(qf("--overflow=w to-int16 f.tim wrapped.tim").status, 0);
    EXPECT_EQ(qf("to-int16 f.tim held.tim").status, 0);
    EXPECT_EQ(sig::int16Records(sig::parse(readFile(dir + "wrapped.tim"))),
              (std::vector<int16_t>{-0x4000, 0x4000, 0x2000}));
    EXPECT_EQ(sig::int16Records(sig::parse(readFile(dir + "held.tim"))),
              (std::vector<int16_t>{0x7FFF, -0x8000, 0x2000}));
    const QfResult once = qf("--rounding away --overflow wrap --format a status");
    EXPECT_NE(once.out.find("rounding mode     : ties away from zero (r)"), std::string::npos);
    EXPECT_NE(once.out.find("wrap around (w)"), std::string::npos);
    const QfResult after = qf("status");
    EXPECT_NE(after.out.find("rounding mode     : ties to even (e)"), std::string::npos);
    EXPECT_NE(after.out.find("binary (b)"), std::string::npos) << after.out;
    EXPECT_NE(after.out.find("saturate (s)"), std::string::npos);
    // `qf format` saves its choice, even in a run with --format.
    EXPECT_EQ(qf("--format binary format text").status, 0);
    EXPECT_NE(qf("status").out.find("text (a)"), std::string::npos);
    // --home beside QF_HOME: a folder of its own, made when missing.
    const std::string other = dir + "other/home";
    EXPECT_EQ(qf("--home '" + other + "' status").status, 0);
    EXPECT_TRUE(fileExists(other + "/quillfen.sav"));
    EXPECT_NE(qf("--home=" + other + " status").out.find("binary (b)"), std::string::npos);
}

TEST_F(Cli, ShellExitsOneWhenAnyCommandFailed) {
    const std::string lines =
        "sine a.tim --frequency 100 --samples 10\n"
        "scale absent.tim 2 b.tim\n"
        "sine c.tim --frequency 100 --samples 10\n";
    const QfResult all = qf("shell", lines);
    EXPECT_EQ(all.status, 1) << all.output;
    EXPECT_TRUE(fileExists(dir + "c.tim"));  // the shell went on
    std::remove((dir + "c.tim").c_str());
    const QfResult first = qf("shell --stop-on-error", lines);
    EXPECT_EQ(first.status, 1);
    EXPECT_FALSE(fileExists(dir + "c.tim"));
    EXPECT_EQ(qf("shell", "# fine\nsine a.tim --frequency 1 --samples 10\nstatus\n").status, 0);
    EXPECT_EQ(qf("shell", "status\nsine x.tim\nstatus\n").status, 1);  // a usage error
}

TEST_F(Cli, CtrlCStopsAGenerationBetweenBlocks) {
    writeFile(dir + "big.tim", "an older file\n");
    // 40 million samples take a while; Ctrl-C once the output is begun.
    const QfResult r = runQfInterrupted(
        dir, home, {"noise", "big.tim", "--samples", "40000000", "--rate", "8000"}, ".qf");
    EXPECT_EQ(r.status, 130) << r.output;
    EXPECT_EQ(r.err, "qf: interrupted\n");
    EXPECT_EQ(readFile(dir + "big.tim"), "an older file\n");
    // Nothing else is left: no partial output under its temporary name.
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"big.tim"}));
}

TEST_F(Cli, CtrlCStopsAShellReadingAPipe) {
    const QfResult r = runQfInterrupted(
        dir, home, {"shell"}, ".qf",
        "status\nnoise big.tim --samples 40000000\nsine after.tim --frequency 1\n");
    EXPECT_EQ(r.status, 130) << r.output;
    EXPECT_FALSE(fileExists(dir + "big.tim"));
    EXPECT_FALSE(fileExists(dir + "after.tim"));
}

TEST_F(Cli, OnlyCommandsThatRanAreRecorded) {
    writeFile(dir + "multi.tim", twoChannels());
    const QfResult r = qf("shell",
                          "record start s.scr\n"
                          "sine a.tim --frequency 100 --samples 10\n"
                          "sine b.tim --frequency 9000\n"  // refused by its check
                          "scale multi.tim 2 m.tim\n"      // refused for the recording
                          "scale absent.tim 2 m.tim\n"     // no input
                          "record stop\n");
    EXPECT_EQ(r.status, 1);
    const std::string script = readFile(dir + "s.scr");
    EXPECT_EQ(count(script, "\r\n"), 1) << script;
    EXPECT_EQ(script.rfind("2010 Sinusoidal", 0), 0u) << script;
}

TEST_F(Cli, RecordStartKeepsAnExistingScript) {
    writeFile(dir + "s.scr", "* kept\r\n");
    const QfResult kept = qf("shell", "record start s.scr\n");
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(kept.err.find("give --append to add to it or --force to replace it"),
              std::string::npos);
    EXPECT_EQ(readFile(dir + "s.scr"), "* kept\r\n");
    EXPECT_EQ(qf("shell", "record start s.scr --append\nrecord remark more\nrecord stop\n").status,
              0);
    EXPECT_EQ(readFile(dir + "s.scr"), "* kept\r\n* more\r\n");
    EXPECT_EQ(qf("shell", "record start s.scr --force\nrecord remark new\nrecord stop\n").status,
              0);
    EXPECT_EQ(readFile(dir + "s.scr"), "* new\r\n");
}

TEST_F(Cli, ReplayRefusesWhatIsNoScriptAndStopsAtBrokenLines) {
    writeFile(dir + "sig.tim", sig::int16File({1, 2, 3}));
    const QfResult notScript = qf("run sig.tim");
    EXPECT_EQ(notScript.status, 1);
    EXPECT_NE(notScript.err.find("is not a script"), std::string::npos) << notScript.err;
    const QfResult zero = qf("run /dev/zero");  // stops, does not spin
    EXPECT_EQ(zero.status, 1);
    writeFile(dir + "nested.scr",
              "\xEF\xBB\xBF* a mark, then lines ended by CR alone\r"
              "2010 Sinusoidal ./ a.tim hrb 50 1000 100 0 1 0 2 0 0 0\r"
              "> ./ absent.scr\r"
              "2010 Sinusoidal ./ b.tim hrb 50 1000 100 0 1 0 2 0 0 0\r");
    const QfResult nested = qf("run nested.scr");
    EXPECT_EQ(nested.status, 1);
    EXPECT_NE(nested.err.find("in script line 3."), std::string::npos) << nested.err;
    EXPECT_TRUE(fileExists(dir + "a.tim"));
    EXPECT_FALSE(fileExists(dir + "b.tim"));
    writeFile(dir + "extra.scr", "2010 Sinusoidal ./ c.tim hrb 50 1000 100 0 1 0 2 0 0 0 7\n");
    const QfResult extra = qf("run extra.scr");
    EXPECT_EQ(extra.status, 1);
    EXPECT_NE(extra.err.find("Error in script line 1."), std::string::npos) << extra.err;
    EXPECT_FALSE(fileExists(dir + "c.tim"));
}

TEST_F(Cli, HelpShowsDefaultsUnitsExamplesAndTheWindows) {
    const QfResult sine = qf("help sine");
    EXPECT_EQ(sine.status, 0);
    for (const char* text :
         {"--rate FS", "in Hz; default 8000 Hz; e.g. --rate 44100", "--samples N",
          "default 8000; e.g. --samples 1024", "--phase P", "in radians", "(also --freq)",
          "required", "example:\n  qf sine out.tim --frequency 440"})
        EXPECT_NE(sine.out.find(text), std::string::npos) << text << "\n" << sine.out;
    const QfResult fft = qf("help fft");
    for (const char* window :
         {"Rectangular (0)", "Hanning (1)", "Blackman (2)", "Exact_Blackman (3)", "Hamming (4)",
          "Min_3-terms (5)", "Min_4-terms (6)", "Gaussian(3.0) (7)", "Gaussian(3.5) (8)",
          "Poisson(3.0) (9)", "Poisson(4.0) (10)", "Cauchy(4.0) (11)", "Cauchy(5.0) (12)",
          "Kaiser(3.0) (13)", "Kaiser(3.5) (14)", "Triangular (15)"})
        EXPECT_NE(fft.out.find(window), std::string::npos) << window;
    EXPECT_NE(fft.out.find("default --size when that is given"), std::string::npos);
    // Every command has help, and its example runs as far as its files.
    EXPECT_NE(qf("help").out.find("Exit status"), std::string::npos);
    EXPECT_EQ(qf("help nothing").status, 2);
}

TEST_F(Cli, GeneratorsDefaultToEightThousandSamplesAtEightKilohertz) {
    ASSERT_EQ(qf("sine s.tim --frequency 440").status, 0);
    const sig::Parsed p = sig::parse(readFile(dir + "s.tim"));
    EXPECT_EQ(p.count(), 8000);
    EXPECT_EQ(p.rate(), 8000.0);
    // The sweep's samples are those of each sweep (the old --length too).
    ASSERT_EQ(qf("sweep w.tim --from 100 --to 1000 --length 500 --sweeps 3").status, 0);
    EXPECT_EQ(sig::parse(readFile(dir + "w.tim")).count(), 1500);
}

TEST_F(Cli, AFailedWriteToStandardOutputIsAnError) {
    ASSERT_EQ(qf("sine s.tim --frequency 440 --samples 100").status, 0);
    for (const char* args : {"print s.tim", "status", "info s.tim", "help sine"}) {
        const QfResult r = runShell(dir, home, "qf " + std::string(args) + " > /dev/full\n");
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_NE(r.err.find("cannot write to standard output"), std::string::npos) << r.err;
    }
}
