// The mux, demux, import and export commands of qf as a user runs them: a
// list of channel files, format names beside codes, the format taken from
// a file's extension.
#include <gtest/gtest.h>

#include "host/qf_process.h"
#include "ops/io/io_files.h"
#include "support/test_host.h"

using namespace qf::test;

using QfIo = QfTest;

TEST_F(QfIo, MultiplexDemultiplexExportAndImport) {
    const QfResult r = qf("shell",
                          "sine a.tim --freq 50 --rate 1000 --samples 100\n"
                          "sine b.tim --freq 20 --rate 1000 --samples 80\n"
                          "sine c.tim --freq 10 --rate 1000 --samples 60\n"
                          "mux a.tim b.tim c.tim m.tim\n"
                          "demux m.tim part.tim\n"
                          "export part01.tim p.txt --format text\n"
                          "import p.txt q.tim --format 1 --rate 1000\n");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("[a.tim], [b.tim] etc. mux to [m.tim]"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("[m.tim] demux to [part00.tim], [part01.tim]... [part02.tim]"),
              std::string::npos);
    EXPECT_NE(r.output.find("[p.txt] imported to [q.tim]"), std::string::npos);
    // The second channel went out as text and came back unchanged.
    const std::string b = readFile(dir + "part01.tim"), q = readFile(dir + "q.tim");
    EXPECT_EQ(b.substr(b.find('#')), q.substr(q.find('#')));
}

TEST_F(QfIo, FormatsByNameCodeOrExtension) {
    writeFile(dir + "s.wav", io::wave(2, 11025, 16, io::pcm16({1, 2, 3, 4, 5, 6})));
    QfResult r = qf("import s.wav s.tim --format wav16");
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string s = readFile(dir + "s.tim");
    EXPECT_NE(s.find("Number of channels    : 2"), std::string::npos);
    EXPECT_NE(s.find("Sampling rate         : 11025 Hz"), std::string::npos);
    r = qf("export s.tim back.wav");  // a 16-bit signal: 16-bit WAVE
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(readFile(dir + "back.wav"), readFile(dir + "s.wav"));

    r = qf("export s.tim x.txt --format sideways");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("wav16"), std::string::npos);  // the names are listed
    r = qf("export s.tim x.dat");                          // no format and no telling extension
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("cannot be told from its name"), std::string::npos);
}

TEST_F(QfIo, MuxTakesOneToThirtyTwoChannels) {
    EXPECT_EQ(qf("mux m.tim").status, 2);  // no channel at all
    std::string many = "mux";
    for (int i = 0; i < 33; ++i) many += " a.tim";
    const QfResult r = qf(many + " m.tim");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("at most 32 files"), std::string::npos) << r.output;
    const QfResult help = qf("help mux");
    EXPECT_NE(help.output.find("IN.tim... OUT.tim"), std::string::npos);
}
