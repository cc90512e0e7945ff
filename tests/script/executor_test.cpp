// Script replay: line kinds, gates, failures with line numbers, nesting,
// and the resolution of file names read from script lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "core/engine.h"
#include "core/frame.h"
#include "core/operation.h"
#include "script/lines.h"
#include "script/script_text.h"
#include "support/engine_test.h"

using namespace qf;
using namespace qf::test;

namespace {

using Texts = std::vector<std::string>;

Texts g_ran;  // "in1 -> out" of every executed line

int32_t captureExecute(int32_t, OperationRecord*) {
    CommandBlock& b = block();
    g_ran.push_back(std::string(b.in1.p) + b.in1.n + " -> " + b.out.p + b.out.n);
    return 0;
}
int32_t failExecute(int32_t, OperationRecord*) {
    return 1;
}

// A generator-like line: only an output entry.
int32_t readOutputOnly(int32_t, const char* line, CheckParamsFn) {
    ScriptFields f(line);
    if (!f.skipCodeAndName() || !f.entry(block().out)) return 1;
    unescapeEntry(block().out);
    if (!resolveScriptNames()) return kScriptLineStopped;
    return 0;
}
// A line whose text is kept as the operation read it.
Texts g_lines;
int32_t readWholeLine(int32_t, const char* line, CheckParamsFn) {
    g_lines.push_back(line);
    return 0;
}

int32_t refuseCheck(int32_t) {
    return 101;
}

class Replay : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        g_ran.clear();
        g_lines.clear();
        const std::pair<int32_t, ReadScriptLineFn> ops[] = {
            {3090, genericReadScriptLine}, {2010, readOutputOnly}, {3035, readWholeLine}};
        for (const auto& [code, read] : ops) {
            OperationDescription d = *describe(code);
            d.handlers.checkParams = defaultCheckParams;  // the files need not exist
            d.handlers.execute = captureExecute;
            d.handlers.readScriptLine = read;
            registerDescribed(d);
        }
    }
    // Replays `name`, written with `text` first unless that is empty.
    int32_t replay(const std::string& name, const std::string& text) {
        if (!text.empty()) writeFile(dir + name, text);
        TestHost::instance().answer([this, name](CommandBlock& b, const HostCall& call) {
            EXPECT_EQ(call.args[0], "Execute Script");
            setEntry(b.out, dir, name);
            return 0;
        });
        block.opCode = QF_OP_RUN_SCRIPT;
        return RunOp(&block);
    }
    CommandBlock block{};
};

}  // namespace

TEST_F(Replay, OutputThatWouldOverwriteItsInputAlternatesName) {
    EXPECT_EQ(replay("a.scr",
                     "3090 Flip                     ./ x0.tim ./ x0.tim\n"
                     "3090 Flip                     ./ x1.tim ./ x1.tim\r\n"
                     "3090 Flip                     ./ x0 ./ x0\n"),
              0);
    EXPECT_EQ(g_ran,
              (Texts{dir + "x0.tim -> " + dir + "x1.tim", dir + "x1.tim -> " + dir + "x0.tim",
                     dir + "x0 -> " + dir + "noname3.tim"}));
}

TEST_F(Replay, AskedOutputOfAGeneratorBecomesPlaceholder) {
    EXPECT_EQ(replay("g.scr", "2010 Sinusoidal               ?Output_file sine.tim\n"), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_NOTICE),
              "Script execution requires user response to supply file name.  Please supply file "
              "name in the following standard file open dialog for Output file.");
    // A host that asks is not asked either: a new signal always gets the
    // placeholder.
    TestHost::instance().promptAnswer(0, "mine.tim");
    block = CommandBlock{};
    EXPECT_EQ(replay("g.scr", "2010 Sinusoidal ?Output_file sine.tim\n"), 0);
    EXPECT_EQ(TestHost::instance().count("qfPickScriptFile"), 0);
    EXPECT_EQ(g_ran, Texts(2, " -> " + dir + "noname3.tim"));
}

TEST_F(Replay, SkippedLinesAreCountedAndUnknownCodeStops) {
    std::string script =
        "* a remark\n"
        "\n"
        "hello there\n"
        "4070 Oscilloscope        \n"  // no board: skipped
        "1070\n"
        "3090 Flip                     ./ a.tim ./ b.tim\n"
        "4711 Nothing       ./ a.tim\n"
        "3090 Flip                     ./ c.tim ./ d.tim\n";
    EXPECT_EQ(replay("u.scr", script), 1);
    EXPECT_EQ(g_ran.size(), 1u);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Command not supported in script line 7.\n'4711 Nothing       ./ a.tim'");
    EXPECT_EQ(qfenStatus->scriptRunning, 'n');
}

TEST_F(Replay, MalformedParameterAndExecutionErrors) {
    EXPECT_EQ(replay("m.scr", "3090 Flip   ./ onlyone.tim\n"), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Error in script line 1.\n'3090 Flip   ./ onlyone.tim'");
    // A field more than the line takes: the fields are not where they belong.
    EXPECT_EQ(replay("x.scr", "* flips\n3090 Flip ./ a.tim ./ b.tim ./ c.tim\n"), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Error in script line 2.\n'3090 Flip ./ a.tim ./ b.tim ./ c.tim'");

    OperationRecord r = *findOperation(3090);
    r.checkParams = refuseCheck;
    registerOperation(&r);
    EXPECT_EQ(replay("p.scr", "\n3090 Flip ./ a.tim ./ b.tim\n"), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Parameter error in script line 2.\n'3090 Flip ./ a.tim ./ b.tim'");

    r.checkParams = defaultCheckParams;
    r.execute = failExecute;
    registerOperation(&r);
    std::string longLine = "3090 Flip ./ a.tim ./ b.tim" + std::string(300, ' ');
    EXPECT_EQ(replay("e.scr", longLine + "\n"), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Error executing command in script line 1.\n'" + longLine.substr(0, 180) + "'");
}

TEST_F(Replay, OverlongNamesAndLinesAreMalformedNotOverflows) {
    const std::string line = "3090 Flip ./ a.tim ./ b.tim";
    EXPECT_EQ(replay("l.scr", line + std::string(3000, ' ') + "\n"), 0);  // only blanks lost
    // A name too long for its entry.
    const std::string bad = "3090 Flip ./ " + std::string(600, 'n') + ".tim ./ b.tim";
    EXPECT_EQ(replay("o.scr", bad + "\n"), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Error in script line 1.\n'" + bad.substr(0, 180) + "'");
    // A line with more than blanks past the limit has no end the replay can
    // trust: it stops there, whatever kind of line it is.
    for (const std::string& text : {line + "\n* " + std::string(3000, 'r') + "\n" + line + "\n",
                                    line + "\n" + line + std::string(3000, ' ') + "x\n"}) {
        EXPECT_EQ(replay("o.scr", text), 1);
        EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR).substr(0, 46),
                  "Script line 2 is longer than 2174 characters.\n");
    }
    EXPECT_EQ(g_ran.size(), 3u);
}

TEST_F(Replay, MessagesPausesAndNestedScripts) {
    writeFile(dir + "inner.scr", "3090 Flip ./ in.tim ./ mid.tim\n4711 x\n");
    EXPECT_EQ(replay("outer.scr",
                     "?Press a key\n"
                     "@ 3\n"
                     "@\n"
                     "@ -3\n"
                     "> ./ inner.scr\n"
                     "3090 Flip ./ mid.tim ./ out.tim\n"),
              0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_SCRIPT), "Press a key");
    auto sleeps = TestHost::instance().callsNamed("SleepForNSeconds");
    ASSERT_EQ(sleeps.size(), 3u);
    EXPECT_EQ(sleeps[0].args, (std::vector<std::string>{"3", "Sleep for 3 seconds."}));
    EXPECT_EQ(sleeps[1].args[0], "1");
    EXPECT_EQ(sleeps[2].args, (std::vector<std::string>{"-3", "Sleep for -3 seconds."}));
    // The inner script ran its first line and failed on its second; the
    // outer one went on.
    ASSERT_EQ(g_ran.size(), 2u);
    EXPECT_EQ(g_ran[1], dir + "mid.tim -> " + dir + "out.tim");
    EXPECT_EQ(qfenStatus->scriptRunning, 'n');
}

TEST_F(Replay, SelfIncludingScriptIsBounded) {
    // Including itself twice would run 2^16 times: the first refusal stops
    // every level, after one line each.
    EXPECT_EQ(replay("self.scr", "3090 Flip ./ a.tim ./ b.tim\n> ./ self.scr\n> ./ self.scr\n"), 1);
    EXPECT_EQ(g_ran.size(), 16u);
    EXPECT_EQ(TestHost::instance().messages(QF_MSG_ERROR).size(), 1u);
    EXPECT_NE(TestHost::instance().lastMessage(QF_MSG_ERROR).find("nested more than 16 deep"),
              std::string::npos);
    EXPECT_EQ(qfenStatus->scriptRunning, 'n');
    // The next replay starts afresh.
    EXPECT_EQ(replay("plain.scr", "3090 Flip ./ a.tim ./ b.tim\n"), 0);
}

TEST_F(Replay, EscapeStopsBeforeTheNextLine) {
    TestHost::instance().keyState[0x1B] = static_cast<int16_t>(0x8000);
    EXPECT_EQ(replay("esc.scr", "3090 Flip ./ a.tim ./ b.tim\n"), 1);
    EXPECT_TRUE(g_ran.empty());
    EXPECT_TRUE(TestHost::instance().messages(QF_MSG_ERROR).empty());
}

TEST_F(Replay, MissingScriptReturnsOneQuietly) {
    EXPECT_EQ(replay("absent.scr", ""), 1);
    EXPECT_TRUE(TestHost::instance().messages().empty());
}

TEST_F(Replay, AskedTextReplacesTokenAndItsBlank) {
    TestHost& h = TestHost::instance();
    h.promptAnswer(0, "  0.25 and more");
    h.promptAnswer(0, "7");
    EXPECT_EQ(replay("t.scr", "3035 Gain ?$Gain_factor ./ a.tim ?$Last\n"), 0);
    EXPECT_EQ(g_lines, Texts{"3035 Gain 0.25 ./ a.tim 7 "});
    auto asks = h.callsNamed("qfAskScriptText");
    ASSERT_EQ(asks.size(), 2u);
    EXPECT_EQ(asks[0].args[0], "Gain factor");
    EXPECT_EQ(asks[1].args[0], "Last");
    // A cancelled answer stops the replay quietly, the line unrun.
    h.promptAnswer(1);
    EXPECT_EQ(replay("t.scr", "3035 Gain ?$Gain ./ a.tim\n3090 Flip ./ a.tim ./ b.tim\n"), 1);
    EXPECT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_ran.size(), 1u);
    EXPECT_TRUE(h.messages(QF_MSG_ERROR).empty());
}

TEST_F(Replay, AskedFilesComeFromThePicker) {
    TestHost& h = TestHost::instance();
    h.promptAnswer(0, "chosen.tim");              // in1: a name, no folder
    h.promptAnswer(0, "other.tim", "/data/set");  // out: a folder without its '/'
    EXPECT_EQ(replay("f.scr", "3090 Flip ?First_input x0.tim ?Result y.tim\n"), 0);
    EXPECT_EQ(g_ran, Texts{dir + "chosen.tim -> /data/set/other.tim"});
    auto picks = h.callsNamed("qfPickScriptFile");
    ASSERT_EQ(picks.size(), 2u);
    EXPECT_EQ(picks[0].args, (std::vector<std::string>{"First input", dir, "x0.tim"}));
    EXPECT_EQ(picks[1].args[0], "Result");
    // Unanswered files become placeholders.
    h.promptAnswer(1);      // in1: the user gives none
    h.promptAnswer(0, "");  // out: an empty name is none too
    EXPECT_EQ(replay("f.scr", "3090 Flip ?In x0.tim ?Out y.tim\n"), 0);
    ASSERT_EQ(g_ran.size(), 2u);
    EXPECT_EQ(g_ran[1], dir + "noname1.tim -> " + dir + "noname3.tim");
}

TEST_F(Replay, WithoutAskingWrittenNamesWithExtensionsStand) {
    EXPECT_EQ(replay("f.scr",
                     "3090 Flip ?In x0.tim ?Out y.tim\n"
                     "3090 Flip ?In x0 ?Out y\n"),
              0);
    EXPECT_EQ(g_ran, (Texts{dir + "x0.tim -> " + dir + "y.tim",
                            dir + "noname1.tim -> " + dir + "noname3.tim"}));
    EXPECT_EQ(TestHost::instance().messages(QF_MSG_NOTICE).size(), 4u);
}

TEST_F(Replay, EscapeAtAFilePromptStopsTheLineUnrun) {
    TestHost& h = TestHost::instance();
    h.promptAnswer(1, "", "", true);
    EXPECT_EQ(replay("f.scr", "3090 Flip ?In x0.tim ?Out y.tim\n"), 1);
    EXPECT_TRUE(g_ran.empty());
    EXPECT_EQ(h.count("qfPickScriptFile"), 1);  // the output is not asked for
    EXPECT_TRUE(h.messages(QF_MSG_ERROR).empty());
}

TEST_F(Replay, MessageLineTextAnswersALaterPrompt) {
    // Without asking, the first word of the buffer answers.
    EXPECT_EQ(replay("t.scr", "?\t0.25 is the gain\n3035 Gain ?$Factor ./ a.tim\n"), 0);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_SCRIPT), "\t0.25 is the gain");
    EXPECT_EQ(g_lines, Texts{"3035 Gain 0.25 ./ a.tim"});
}

TEST_F(Replay, ByteOrderMarkAndLineEndsOfEveryKind) {
    // A UTF-8 mark before the first line; CR LF, LF and CR alone.
    EXPECT_EQ(replay("e.scr",
                     "\xEF\xBB\xBF"
                     "3090 Flip ./ a.tim ./ b.tim\r\n"
                     "3090 Flip ./ b.tim ./ c.tim\r"
                     "* remark\r"
                     "3090 Flip ./ c.tim ./ d.tim\n"
                     "3090 Flip ./ d.tim ./ e.tim"),
              0);
    ASSERT_EQ(g_ran.size(), 4u);
    EXPECT_EQ(g_ran[0], dir + "a.tim -> " + dir + "b.tim");
    EXPECT_EQ(g_ran[3], dir + "d.tim -> " + dir + "e.tim");
}

TEST_F(Replay, AFileThatIsNoScriptIsRefused) {
    const std::string signal = "Remark                : Sine Wave\r\nNumber of record      : 3\r\n";
    const std::string binary = std::string(
                                   "\x7f"
                                   "ELF\x02\x01\x01",
                                   7) +
                               std::string(40, '\0');
    for (const std::string& text :
         {signal, std::string("\n\n  hello\n3090 Flip ./ a ./ b\n"), binary}) {
        TestHost::instance().reset();
        EXPECT_EQ(replay("n.scr", text), 1);
        EXPECT_NE(TestHost::instance().lastMessage(QF_MSG_ERROR).find("is not a script"),
                  std::string::npos);
    }
    // A folder opens but does not read.
    ASSERT_EQ(::mkdir((dir + "folder.scr").c_str(), 0755), 0);
    EXPECT_EQ(replay("folder.scr", ""), 1);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "'" + dir + "folder.scr' cannot be read as a script.");
    // Blank lines and a first line of any script kind are fine.
    EXPECT_EQ(replay("ok.scr", "\n  \n  * remark first\n@ 0\n"), 0);
    EXPECT_EQ(replay("empty.scr", "\n"), 0);
    EXPECT_TRUE(g_ran.empty());
}

TEST_F(Replay, AMissingNestedScriptStopsTheReplayAtItsLine) {
    EXPECT_EQ(replay("outer.scr",
                     "3090 Flip ./ a.tim ./ b.tim\n"
                     "> ./ absent.scr\n"
                     "3090 Flip ./ b.tim ./ c.tim\n"),
              1);
    EXPECT_EQ(g_ran.size(), 1u);
    EXPECT_EQ(TestHost::instance().lastMessage(QF_MSG_ERROR),
              "Cannot open script '" + dir + "absent.scr' in script line 2.\n'> ./ absent.scr'");
}

TEST_F(Replay, ALineWithNoEndStopsInsteadOfReadingOn) {
    // An endless stream, as the script and as a nested one.
    ASSERT_EQ(::symlink("/dev/zero", (dir + "zero.scr").c_str()), 0);
    EXPECT_EQ(replay("zero.scr", ""), 1);
    EXPECT_EQ(replay("outer.scr", "* reads /dev/zero next\n> ./ zero.scr\n3090 Flip ./ a ./ b\n"),
              1);
    EXPECT_TRUE(g_ran.empty());
    EXPECT_NE(TestHost::instance().lastMessage(QF_MSG_ERROR).find("longer than 2174 characters"),
              std::string::npos);
}
