// Demultiplexing (6110) and multiplexing (6120) through RunOp on
// hand-written signal files: channel files, interleaving, zeros past a
// channel's end, REAL32 by the overflow mode, the checks and their
// messages, the script lines, the follow-on displays of the components and
// the working tables' lifetime.
#include "ops/multichannel/multichannel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ops/time/signal_bytes.h"
#include "script/lines.h"
#include "script/script_text.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

namespace {

std::vector<std::string> g_shown;  // files the stand-in waveform display was asked to show

int32_t recordShown(int32_t, OperationRecord*) {
    g_shown.push_back(block().out.n);
    return 0;
}

class Multichannel : public OperationTest {
  protected:
    void SetUp() override {
        OperationTest::SetUp();
        g_shown.clear();
        // A waveform display that notes what it shows (graphs are not built).
        OperationDescription display;
        display.code = QF_OP_WAVEFORM_DISPLAY;
        display.handlers.execute = recordShown;
        registerDescribed(display);
    }

    // The multiplexer's dialog: the channel files into the table the block
    // points at, their count and the output.
    DialogAnswer channels(const std::vector<std::string>& names, const std::string& out) {
        const std::string d = dir;
        return [d, names, out](CommandBlock& b, const HostCall& call) {
            EXPECT_EQ(call.args[0], "0");
            EXPECT_EQ(call.args[2], ".tim");
            nameNpath* table = nullptr;
            std::memcpy(&table, reinterpret_cast<unsigned char*>(&b) + QF_P_MUX_FILE_TABLE,
                        sizeof table);
            for (std::size_t c = 0; c < names.size(); ++c)
                if (names[c].empty())
                    table[c] = nameNpath{};
                else
                    setEntry(table[c], d, names[c]);
            paramInt(b, QF_P_MUX_CHANNELS) = static_cast<int32_t>(names.size());
            setEntry(b.out, d, out);
            return 0;
        };
    }
    int32_t mux(std::initializer_list<DialogAnswer> answers) {
        for (const DialogAnswer& a : answers) TestHost::instance().answer(a);
        block.opCode = QF_OP_MULTIPLEX;
        return RunOp(&block);
    }
    // Runs a script of the given lines through operation 1120.
    int32_t replay(const std::string& lines) {
        put("s.scr", lines);
        EXPECT_EQ(::chdir(dir.c_str()), 0);  // "./" is the folder the replay starts in
        return run(QF_OP_RUN_SCRIPT, "", "s.scr");
    }
};

std::vector<int16_t> interleaved(int samples, int channels) {
    std::vector<int16_t> v;
    for (int s = 0; s < samples; ++s)
        for (int c = 0; c < channels; ++c) v.push_back(static_cast<int16_t>(1000 * c + s % 997));
    return v;
}

}  // namespace

TEST_F(Multichannel, DemultiplexingThreeChannelsDropsTheLastIncompleteSample) {
    std::vector<int16_t> v = interleaved(3334, 3);
    v.resize(10000);  // 3333 whole samples and one record of a fourth
    put("in.tim", realtimeFile(v, 3, -1.0, 1.0));
    ASSERT_EQ(run(QF_OP_DEMULTIPLEX, "in.tim", "rec.tim"), 0);
    for (int c = 0; c < 3; ++c) {
        const std::string name = "rec0" + std::to_string(c) + ".tim";
        Parsed p = get(name);
        ASSERT_EQ(p.count(), 3333) << name;
        EXPECT_EQ(p.field("Record type number"), "INTEGER16");
        EXPECT_EQ(p.field("Remark"), "channel " + std::to_string(c) + " of [in.tim]");
        EXPECT_DOUBLE_EQ(p.rate(), 8000.0);
        const std::vector<int16_t> w = int16Records(p);
        for (int s = 0; s < 3333; ++s)
            ASSERT_EQ(w[static_cast<std::size_t>(s)], 1000 * c + s % 997) << name << " " << s;
    }
    EXPECT_EQ(described(), "[in.tim] demux to [rec00.tim], [rec01.tim]... [rec02.tim]");
    EXPECT_EQ(paramInt(block, QF_P_MUX_CHANNELS), 3);
    // Each component is shown in turn; the last becomes the next input.
    EXPECT_EQ(g_shown, (Texts{"rec00.tim", "rec01.tim", "rec02.tim"}));
    EXPECT_STREQ(block.in1.n, "rec02.tim");
}

TEST_F(Multichannel, DemultiplexingTwoChannelsAsTextWithAPrefixWithoutExtension) {
    put("in.tim", realtimeFile({1, -1, 2, -2, 3, -3}, 2, -1.0, 1.0));
    qfenStatus->outputFormat = 'a';
    ASSERT_EQ(run(QF_OP_DEMULTIPLEX, "in.tim", "part"), 0);
    EXPECT_FALSE(get("part00.tim").binary);
    EXPECT_EQ(words("part00.tim"), (std::vector<int16_t>{1, 2, 3}));
    EXPECT_EQ(words("part01.tim"), (std::vector<int16_t>{-1, -2, -3}));
    EXPECT_EQ(described(), "[in.tim] demux to [part00.tim] and [part01.tim]");
}

TEST_F(Multichannel, DemultiplexingRefusalsAskAgain) {
    put("one.tim", realtimeFile({1, 2, 3, 4}, 1, -1.0, 1.0));
    put("plain.tim", int16File({1, 2, 3}));
    put("rec00.tim", realtimeFile({1, 2, 3, 4}, 2, -1.0, 1.0));
    const struct {
        std::string input, prefix;
        int kind;
        std::string message;
    } cases[] = {
        {"missing.tim", "x.tim", QF_MSG_NOTICE, "Error reading 'missing.tim'."},
        {"plain.tim", "x.tim", QF_MSG_ERROR, "Input file is not a recorded signal."},
        {"one.tim", "x.tim", QF_MSG_NOTICE,
         "Input file has only one channel; no need to demultiplex."},
        {"rec00.tim", "rec.tim", QF_MSG_NOTICE,
         "The first 249 characters should be different from the first 249 characters of the "
         "input file name to prevent overwritting the input file."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        TestHost::instance().reset();
        // Answered once: asked again, the dialog is cancelled.
        EXPECT_EQ(run(QF_OP_DEMULTIPLEX, c.input, c.prefix), 1);
        EXPECT_EQ(TestHost::instance().lastMessage(c.kind), c.message);
        EXPECT_EQ(TestHost::instance().count("stdGet123Files"), 2);
    }
    EXPECT_FALSE(exists("x00.tim"));
    EXPECT_FALSE(exists("rec01.tim"));
}

TEST_F(Multichannel, ALongPrefixIsCutAndAskedAgain) {
    put("in.tim", realtimeFile({1, 2, 3, 4}, 2, -1.0, 1.0));
    const std::string prefix = std::string(250, 'p') + ".tim";  // 254 characters
    std::string shownAgain;
    ASSERT_EQ(run(QF_OP_DEMULTIPLEX, "in.tim", prefix,
                  {[](CommandBlock&, const HostCall&) { return 0; },
                   [&shownAgain](CommandBlock& b, const HostCall&) {
                       shownAgain = b.out.n;
                       return 0;
                   }}),
              0);
    EXPECT_EQ(shownAgain, std::string(249, 'p') + ".tim");
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Output file prefix has more than 249 characters.  Extra characters will be "
              "truncated and appended with channel identification.");
    EXPECT_TRUE(exists(std::string(249, 'p') + "01.tim"));
}

TEST_F(Multichannel, MultiplexingPadsTheShorterChannelWithZeros) {
    std::vector<float> b(150);
    for (int i = 0; i < 150; ++i) b[static_cast<std::size_t>(i)] = static_cast<float>(i) / 256.0f;
    put("a.tim", int16File(ramp(100, 1), 1000.0));
    put("b.tim", real32File(b, 1000.0));
    qfenStatus->outputFormat = 'a';  // a recording is binary whatever the format
    ASSERT_EQ(mux({channels({"a.tim", "b.tim"}, "m.tim")}), 0);
    Parsed p = get("m.tim");
    EXPECT_TRUE(p.binary);
    EXPECT_EQ(p.values({"Record type number", "Number of channels", "ADC/DAC device code",
                        "Ch0  range gain source", "Ch1  range gain source"}),
              (Texts{"REALTIMEINT16", "2", "0", "-1 1 0", "-1 1 1"}));
    EXPECT_EQ(p.field("Remark"), "Ch0 = [a.tim]; Ch1 = [b.tim]");
    EXPECT_DOUBLE_EQ(p.rate(), 1000.0);
    const std::vector<int16_t> w = int16Records(p);
    ASSERT_EQ(w.size(), 300u);
    for (int s = 0; s < 150; ++s) {
        EXPECT_EQ(w[static_cast<std::size_t>(2 * s)], s < 100 ? s + 1 : 0) << s;
        EXPECT_EQ(w[static_cast<std::size_t>(2 * s + 1)], s * 128) << s;  // i / 256 * 32768
    }
    EXPECT_EQ(described(), "[a.tim] and [b.tim] mux to [m.tim]");
    EXPECT_EQ(g_shown, Texts{"m.tim"});
}

TEST_F(Multichannel, FloatOneBecomesTheLargestWordOrWraps) {
    put("one.tim", real32File({1.0f, -1.0f, 0.5f}));
    put("z.tim", int16File({0, 0, 0}));
    const struct {
        char mode;
        std::vector<int16_t> channel0;
    } cases[] = {{'s', {32767, -32768, 16384}}, {'w', {-32768, -32768, 16384}}};
    for (const auto& c : cases) {
        qfenStatus->overflowMode = c.mode;
        ASSERT_EQ(mux({channels({"one.tim", "z.tim"}, "m.tim")}), 0);
        const std::vector<int16_t> w = words("m.tim");
        ASSERT_EQ(w.size(), 6u);
        EXPECT_EQ((std::vector<int16_t>{w[0], w[2], w[4]}), c.channel0) << c.mode;
    }
}

TEST_F(Multichannel, ThreeChannelsAndAnUnnamedOne) {
    put("a.tim", int16File({1, 2, 7}));
    put("b.tim", int16File({3, 4, 8}));
    put("c.tim", int16File({5, 6, 9}));
    ASSERT_EQ(mux({channels({"a.tim", "", "b.tim", "c.tim"}, "m.tim")}), 0);
    EXPECT_EQ(words("m.tim"), (std::vector<int16_t>{1, 0, 3, 5, 2, 0, 4, 6, 7, 0, 8, 9}));
    EXPECT_EQ(get("m.tim").field("Remark"), "Ch0 = [a.tim]; Ch1 = []; ... Ch3 = [c.tim]");
    EXPECT_EQ(described(), "[a.tim], [] etc. mux to [m.tim]");
}

TEST_F(Multichannel, MultiplexingChecks) {
    put("a.tim", int16File({1, 2, 3}, 8000.0));
    put("fast.tim", int16File({1, 2, 3}, 16000.0));
    put("rec.tim", realtimeFile({1, 2, 3, 4}, 2, -1.0, 1.0));
    put("spectrum.tim", complexFile());
    const struct {
        std::vector<std::string> names;
        std::string message;
    } refused[] = {
        {{"a.tim", "none.tim"}, "Error reading channel 1 file 'none.tim'."},
        {{"rec.tim", "a.tim"}, "Channel 0 file 'rec.tim' is not a single channel signal."},
        {{"a.tim", "spectrum.tim"}, "Channel 1 file 'spectrum.tim' has an unsupported data type."},
        {{}, "Choose 1 to 32 signals to multiplex."},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.message);
        TestHost::instance().reset();
        EXPECT_EQ(mux({channels(c.names, "m.tim")}), 1);  // asked again, then cancelled
        EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE), c.message);
        EXPECT_EQ(TestHost::instance().count("dspMuxOpenFile"), 2);
        EXPECT_FALSE(exists("m.tim"));
    }
    // Different rates: a notice, and channel 0's rate.
    TestHost::instance().reset();
    ASSERT_EQ(mux({channels({"a.tim", "fast.tim"}, "m.tim")}), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Component signals have different sampling rate.  Output sampling rate set to "
              "channel 0 sampling rate.");
    EXPECT_DOUBLE_EQ(get("m.tim").rate(), 8000.0);
}

TEST_F(Multichannel, TheWorkingTablesLiveFromFirstUseToShutDown) {
    EXPECT_EQ(multichannelTables().files, nullptr);
    put("a.tim", int16File({1, 2, 3}));
    ASSERT_EQ(mux({channels({"a.tim", "a.tim"}, "m.tim")}), 0);
    const nameNpath* files = multichannelTables().files.get();
    ASSERT_NE(files, nullptr);
    ASSERT_NE(multichannelTables().descriptors, nullptr);
    ASSERT_EQ(mux({channels({"a.tim", "a.tim"}, "n.tim")}), 0);
    EXPECT_EQ(multichannelTables().files.get(), files);  // kept between runs
    ExitQuillfen();
    EXPECT_EQ(multichannelTables().files, nullptr);
    EXPECT_EQ(multichannelTables().descriptors, nullptr);
}

TEST_F(Multichannel, MultiplexScriptLines) {
    runtime().block = &block;
    block.opCode = QF_OP_MULTIPLEX;
    ASSERT_TRUE(multichannelTables().ensure());
    nameNpath* t = multichannelTables().files.get();
    setEntry(t[0], "/d/", "a.tim");
    setEntry(t[1], "/my dir/", "b c.tim");
    setEntry(block.out, "/o/", "m.tim");
    paramInt(block, QF_P_MUX_CHANNELS) = 2;
    OperationRecord* rec = findOperation(QF_OP_MULTIPLEX);
    std::FILE* f = std::tmpfile();
    ASSERT_EQ(rec->writeScriptLine(0, f), 0);
    std::rewind(f);
    char text[512] = {};
    ASSERT_NE(std::fgets(text, sizeof text, f), nullptr);
    std::fclose(f);
    EXPECT_STREQ(text, "6120 Multiplex                /d/ a.tim /my*dir/ b*c.tim /o/ m.tim\r\n");

    auto check = [](int32_t) { return 0; };
    // Three pairs: two channels into the third.
    std::memset(t, 0, sizeof(nameNpath) * kMaxChannels);
    ASSERT_EQ(rec->readScriptLine(0, "6120 Multiplex  /x/ p.tim /y/ q*r.tim /z/ out.tim", check),
              0);
    EXPECT_EQ(paramInt(block, QF_P_MUX_CHANNELS), 2);
    EXPECT_EQ(std::string(t[1].p) + t[1].n, "/y/q r.tim");
    EXPECT_EQ(std::string(block.out.p) + block.out.n, "/z/out.tim");

    // 34 pairs: 32 channels, the 33rd pair the output, the rest ignored.
    std::string many = "6120 Multiplex ";
    for (int i = 0; i < 34; ++i) many += " /d/ f" + std::to_string(i) + ".tim";
    ASSERT_EQ(rec->readScriptLine(0, many.c_str(), check), 0);
    EXPECT_EQ(paramInt(block, QF_P_MUX_CHANNELS), 32);
    EXPECT_STREQ(t[31].n, "f31.tim");
    EXPECT_STREQ(block.out.n, "f32.tim");

    // Malformed: fewer than three pairs, a pair cut short, no name at all.
    for (const char* bad : {"6120 Multiplex  /x/ p.tim /z/ out.tim",
                            "6120 Multiplex  /x/ p.tim /y/ q.tim /z/", "6120"})
        EXPECT_EQ(rec->readScriptLine(0, bad, check), 1) << bad;
    // A check that refuses gives a parameter error.
    EXPECT_EQ(rec->readScriptLine(0, "6120 Multiplex  /x/ p.tim /y/ q.tim /z/ out.tim",
                                  [](int32_t) { return 1001; }),
              2);
}

TEST_F(Multichannel, ReplayedLinesMultiplexAndDemultiplex) {
    put("a.tim", int16File({1, 2, 3}));
    put("b.tim", int16File({4, 5, 6}));
    ASSERT_EQ(replay("6120 Multiplex         ./ a.tim ./ b.tim ./ m.tim\r\n"
                     "6110 Demultiplex        ./ m.tim ./ part.tim\r\n"),
              0);
    EXPECT_EQ(words("m.tim"), (std::vector<int16_t>{1, 4, 2, 5, 3, 6}));
    EXPECT_EQ(words("part00.tim"), (std::vector<int16_t>{1, 2, 3}));
    EXPECT_EQ(words("part01.tim"), (std::vector<int16_t>{4, 5, 6}));
}

TEST_F(Multichannel, DemultiplexScriptLine) {
    runtime().block = &block;
    block.opCode = QF_OP_DEMULTIPLEX;
    setEntry(block.in1, "/r/", "rec.tim");
    setEntry(block.out, "/o/", "part.tim");
    const OperationDescription& d = *describe(QF_OP_DEMULTIPLEX);
    EXPECT_EQ(describedScriptLine(d, block),
              "6110 Demultiplex              /r/ rec.tim /o/ part.tim\r\n");
    CommandBlock read{};
    ASSERT_TRUE(readDescribedFields(d, read, "6110 Demultiplex  /a/ b.tim /c/ d.tim"));
    EXPECT_STREQ(read.out.n, "d.tim");
    EXPECT_FALSE(readDescribedFields(d, read, "6110 Demultiplex  /a/ b.tim /c/"));
}
