// Graph records and the display operations: opening, the same file twice,
// kind changes, wrong files, script lines, re-plotting a rewritten file,
// follow-on displays, printing, tiling and closing.  Positions are worked
// out from the test host's 640 x 480 windows and 8 x 16 pixel text.
#include <algorithm>

#include "graph/graph_fixture.h"
#include "graph/seams.h"
#include "script/recorder.h"

using namespace qf;
using namespace qf::test;

namespace {

class Display : public GraphTest {};

std::vector<float> ramp(int n) {
    std::vector<float> v;
    for (int i = 0; i < n; ++i) v.push_back(static_cast<float>(i % 100) / 100.0f);
    return v;
}

int32_t graphCount() {
    int32_t n = 0;
    for (PlotData* p = graphs().head; p; p = p->next) ++n;
    return n;
}

}  // namespace

// Eight samples at 8 Hz: the view ends at 0.875 s, shown in mS.  The layout
// of a single-channel graph with two title lines, an x and a y title and
// 4-decimal y labels: title area 2 x 16 + 3 x 16 / 2 = 56, x label room
// 5 x 16 / 2 = 40, y label room 2 x 16 / 3 + 16 + 10 x 8 = 106, so the frame
// is x 107..640 - 2 x 106 / 3 = 570 and y 41..480 - 56 = 424 (drawing).
TEST_F(Display, WaveformOfAKnownSignalIsDrawnPointByPoint) {
    put("r.tim", sig::real32File({0, 0.25f, 0.5f, 0.75f, 1.0f, 0.75f, 0.5f, 0.25f}, 8.0));
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "r.tim"), 0);
    ASSERT_EQ(host().windows.size(), 1u);
    EXPECT_EQ(host().windows[0].title, dir + "r.tim");
    EXPECT_EQ(host().count("DoFillRectangle"), 0);  // nothing drawn before the first paint
    host().mark();
    refresh();
    // x: 0..875 mS over 107..570; y: the nice range 0..1 over 41..424.
    std::vector<std::string> expected;
    const double xs = (570.0 - 107.0) / 875.0;
    const float v[8] = {0, 0.25f, 0.5f, 0.75f, 1.0f, 0.75f, 0.5f, 0.25f};
    for (int i = 0; i < 8; ++i) {
        const int x = static_cast<int>(xs * (i * 125.0) + 107);
        const int y = 480 - static_cast<int>(383.0 * v[i] + 41);
        expected.push_back(std::to_string(x) + "," + std::to_string(y));
    }
    EXPECT_EQ(curve(), expected);
    const auto fill = host().since("DoFillRectangle");
    ASSERT_EQ(fill.size(), 1u);
    EXPECT_EQ(fill[0].args, (std::vector<std::string>{"0x101", "0", "0", "640", "480", "0"}));
    const auto t = texts();
    EXPECT_NE(std::find(t.begin(), t.end(), "Time (mS)"), t.end());
    EXPECT_NE(std::find(t.begin(), t.end(), "8 pts @ 8 Hz: IEEE 32 bit float: Binary"), t.end());
    EXPECT_NE(std::find(t.begin(), t.end(), "   875.00 "), t.end());  // the last x label
    EXPECT_NE(std::find(t.begin(), t.end(), "   1.0000 "), t.end());  // the top y label
    // The frame: pen 1, a closed polyline through its corners.
    bool frame = false;
    for (const HostCall& c : host().since("DoPolyLine"))
        frame =
            frame || c.args == std::vector<std::string>{"0x101",  "5",      "107,439", "570,439",
                                                        "570,56", "107,56", "107,439"};
    EXPECT_TRUE(frame);
}

TEST_F(Display, ViewsOpenWithAtMost600PointsFromTheStart) {
    put("short.tim", sig::real32File(ramp(600)));
    put("long.tim", sig::real32File(ramp(5000)));
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "short.tim"), 0);
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "long.tim"), 0);
    for (std::size_t i = 0; i < 2; ++i) {
        refresh(i);
        EXPECT_EQ(graph(i)->noPtsPerPlot, 600);
        EXPECT_EQ(graph(i)->ptStep, 1);
        EXPECT_EQ(graph(i)->firstPt, 0);
        EXPECT_EQ(graph(i)->isOpen, 1u);
    }
    EXPECT_EQ(curve().size(), 600u);
    // Zooming out of a 600-sample signal changes nothing.
    EXPECT_EQ(command(gr1dXsCALEoUT, 0), kRepaint);
    EXPECT_EQ(graph(0)->noPtsPerPlot, 600);
    EXPECT_EQ(graph(0)->ptStep, 1);
    // The whole 5000 samples: 5000 / 1200 = 4.17, so 8 samples a point, 625 points.
    EXPECT_EQ(command(gr1dXsCALEoUTmAX, 1), kRepaint);
    EXPECT_EQ(graph(1)->ptStep, 8);
    EXPECT_EQ(graph(1)->noPtsPerPlot, 625);
}

TEST_F(Display, OneGraphAFileAndAKindChangeReplacesTheWindow) {
    put("x.tim", sig::real32File(ramp(64)));
    std::vector<int16_t> pairs(2 * 16, 100);
    put("x.fre", frames16(pairs, 16));
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "x.tim"), 0);
    PlotData* first = graph(0);
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "x.tim"), 0);
    EXPECT_EQ(host().windows.size(), 1u);
    EXPECT_EQ(graph(0), first);

    ASSERT_EQ(show(QF_OP_PHASE_DISPLAY, "x.fre"), 0);
    ASSERT_EQ(host().windows.size(), 2u);
    EXPECT_EQ(GetGraphType(graph(1)), static_cast<int32_t>(GK_PHASE));
    ASSERT_EQ(show(QF_OP_PHASE_DISPLAY, "x.fre"), 0);  // the same kind: kept
    EXPECT_EQ(host().count("DoCloseGraphWindow"), 0);
    ASSERT_EQ(show(QF_OP_MAGNITUDE_DISPLAY, "x.fre"), 0);  // magnitude after phase
    EXPECT_EQ(host().callsNamed("DoCloseGraphWindow").at(0).args[0], "0x102");
    ASSERT_EQ(host().windows.size(), 2u);
    EXPECT_EQ(host().windows[1].handle, reinterpret_cast<QfWindow>(0x103));
    EXPECT_EQ(GetGraphType(graph(1)), static_cast<int32_t>(GK_MAGNITUDE));
    EXPECT_EQ(graphCount(), 2);
    EXPECT_EQ(graph(1)->noPtsPerPlot, 16 / 2 + 1);
    EXPECT_STREQ(graph(1)->yLabel, "Magnitude (dB)");
}

TEST_F(Display, WrongFilesAreRefusedAndLeaveNoGraph) {
    put("x.tim", sig::real32File(ramp(8)));
    put("x.fre", frames16(std::vector<int16_t>(8, 1), 4));
    // Through RunOp the set-up reports the wrong type.
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "x.fre"), 0);
    EXPECT_EQ(host().lastMessage(QF_MSG_ERROR), "Selected file is not a time file.");
    ASSERT_EQ(show(QF_OP_POWER_DISPLAY, "x.tim"), 0);
    EXPECT_EQ(host().lastMessage(QF_MSG_ERROR), "Selected file is not a frequency file.");
    EXPECT_EQ(graphCount(), 0);
    EXPECT_TRUE(host().windows.empty());

    // The check a script line runs: 0 valid, 1 no file, 2 a time file for a
    // spectrum display, 3 a spectrum for the waveform display.
    struct Case {
        int32_t code;
        const char* file;
        int32_t result;
    } cases[] = {{QF_OP_WAVEFORM_DISPLAY, "x.tim", 0},
                 {QF_OP_MAGNITUDE_DISPLAY, "x.fre", 0},
                 {QF_OP_WAVEFORM_DISPLAY, "none.tim", 1},
                 {QF_OP_PHASE_DISPLAY, "x.tim", 2},
                 {QF_OP_WAVEFORM_DISPLAY, "x.fre", 3}};
    for (const Case& c : cases) {
        OperationRecord* rec = findOperation(c.code);
        ASSERT_NE(rec, nullptr);
        block.opCode = c.code;
        setEntry(block.out, dir, c.file);
        qf::runtime().block = &block;
        EXPECT_EQ(rec->checkParams(0), c.result) << c.code << " " << c.file;
    }
}

TEST_F(Display, ScriptLinesRoundTripAndReplayOpensGraphs) {
    put("my sig.tim", sig::real32File(ramp(16)));
    setEntry(block.out, dir, "session.scr");
    block.opCode = QF_OP_RECORD_START;
    host().answerOk();
    ASSERT_EQ(RunOp(&block), 0);
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "my sig.tim"), 0);
    block.opCode = QF_OP_RECORD_STOP;
    ASSERT_EQ(RunOp(&block), 0);
    // "4060 WaveformDisplay   " and seven blanks, then directory and name
    // with '*' for the blank.
    const std::string line = "4060 WaveformDisplay          " + dir + " my*sig.tim\r\n";
    EXPECT_EQ(readFile(dir + "session.scr"), line);

    dropGraphWindow(graph(0));
    ASSERT_EQ(graphCount(), 0);
    writeFile(dir + "replay.scr",
              line + "5040 MagnitudeDisplay         " + dir + " my*sig.tim\r\n");
    setEntry(block.out, dir, "replay.scr");
    block.opCode = QF_OP_RUN_SCRIPT;
    host().answerOk();
    EXPECT_EQ(RunOp(&block), 1);  // the second line names a time file for a spectrum
    EXPECT_EQ(host().lastMessage(QF_MSG_ERROR),
              "Parameter error in script line 2.\n'5040 MagnitudeDisplay         " + dir +
                  " my*sig.tim'");
    ASSERT_EQ(host().windows.size(), 1u);
    EXPECT_EQ(host().windows[0].title, dir + "my sig.tim");
    // A display line with one field is malformed.
    writeFile(dir + "bad.scr", "4060 WaveformDisplay          " + dir + "\r\n");
    setEntry(block.out, dir, "bad.scr");
    block.opCode = QF_OP_RUN_SCRIPT;
    host().answerOk();
    EXPECT_EQ(RunOp(&block), 1);
    EXPECT_EQ(host().lastMessage(QF_MSG_ERROR).rfind("Error in script line 1.", 0), 0u);
}

// A replayed close-windows line closes every graph window and the replay
// goes on; while recording, the line is recorded again.
TEST_F(Display, AReplayedCloseWindowsLineClosesEveryGraph) {
    put("a.tim", sig::real32File(ramp(16)));
    put("b.tim", sig::real32File(ramp(8)));
    const std::string show = "4060 WaveformDisplay          " + dir + " ";
    writeFile(dir + "close.scr",
              show + "a.tim\r\n" + show + "b.tim\r\n1240 CloseWindows\r\n" + show + "b.tim\r\n");
    setEntry(block.out, dir, "session.scr");
    block.opCode = QF_OP_RECORD_START;
    host().answerOk();
    ASSERT_EQ(RunOp(&block), 0);
    setEntry(block.out, dir, "close.scr");
    block.opCode = QF_OP_RUN_SCRIPT;
    host().answerOk();
    EXPECT_EQ(RunOp(&block), 0);
    EXPECT_EQ(host().callsNamed("DoCloseGraphWindow").size(), 2u);
    ASSERT_EQ(graphCount(), 1);  // the line after it opened b.tim again
    EXPECT_EQ(host().windows.back().title, dir + "b.tim");
    block.opCode = QF_OP_RECORD_STOP;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_NE(readFile(dir + "session.scr").find("1240 CloseWindows\r\n"), std::string::npos);
}

TEST_F(Display, ARewrittenFileIsClosedAndPlottedAgain) {
    put("a.tim", sig::real32File({0.5f, 0.25f, 0.125f, 0.0625f}));
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "a.tim"), 0);
    ASSERT_EQ(host().windows.size(), 1u);
    // a.tim = a.tim * 2: the graph of a.tim closes while the file is
    // replaced and opens again on the new file.
    ASSERT_EQ(run(QF_OP_MULTIPLY_K, "a.tim", "a.tim", with(2.0)), 0);
    ASSERT_EQ(host().callsNamed("DoCloseGraphWindow").size(), 1u);
    EXPECT_EQ(host().callsNamed("DoCloseGraphWindow")[0].args[0], "0x101");
    ASSERT_EQ(host().windows.size(), 1u);
    EXPECT_EQ(host().windows[0].title, dir + "a.tim");
    EXPECT_EQ(graph(0)->opCode, static_cast<uint32_t>(QF_OP_WAVEFORM_DISPLAY));
    EXPECT_EQ(graphCount(), 1);
    refresh();
    EXPECT_FLOAT_EQ(graph(0)->yBuf[0], 1.0f);  // the new values
    EXPECT_EQ(qfenStatus->replotFile.n[0], '\0');
    // The operation kept its own block: the output is the next input.
    EXPECT_STREQ(block.in1.n, "a.tim");
    EXPECT_EQ(block.opCode, QF_OP_DONE);
}

TEST_F(Display, ResultsAreShownOnceAfterAnOperation) {
    put("a.tim", sig::real32File(ramp(32)));
    ASSERT_EQ(run(QF_OP_MULTIPLY_K, "a.tim", "b.tim", with(0.5)), 0);
    ASSERT_EQ(host().windows.size(), 1u);
    EXPECT_EQ(host().windows[0].title, dir + "b.tim");
    EXPECT_EQ(GetGraphType(graph(0)), static_cast<int32_t>(GK_TIME));
    ASSERT_EQ(run(QF_OP_MULTIPLY_K, "a.tim", "b.tim", with(0.25)), 0);
    EXPECT_EQ(host().windows.size(), 1u);  // re-plotted, not opened twice
    EXPECT_EQ(graphCount(), 1);
}

TEST_F(Display, PrintDrawsTheActiveGraphOnceWithoutCursors) {
    put("a.tim", sig::real32File(ramp(32)));
    block.opCode = QF_OP_PRINT_GRAPH;
    EXPECT_EQ(RunOp(&block), 0);  // no graph: nothing to print
    EXPECT_EQ(host().count("DoFillRectangle"), 0);
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "a.tim"), 0);
    refresh();
    graph()->cursorRecord[0] = 3;
    host().mark();
    block.opCode = QF_OP_PRINT_GRAPH;
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(host().since("DoGetActiveMDIWindow").size(), 1u);
    EXPECT_EQ(host().since("DoFillRectangle").size(), 1u);
    for (const HostCall& c : host().since("DoSelectPen")) EXPECT_NE(c.args[1], "12");
    EXPECT_FALSE(graphs().printing);
    host().mark();
    refresh();  // a screen paint draws the cursor again
    bool cursor = false;
    for (const HostCall& c : host().since("DoSelectPen")) cursor = cursor || c.args[1] == "12";
    EXPECT_TRUE(cursor);

    // Realtime displays and image kinds are not printed.
    PlotData* rt = appendPlotData();
    rt->recKind = 'r';
    rt->graphType = GK_SCOPE;
    EXPECT_EQ(grProcessCmd(rt, grPRINT), kCommandFailed);
    EXPECT_EQ(host().lastMessage(QF_MSG_NOTICE), "Printing of realtime display not supported.");
    rt->recKind = 'g';
    rt->graphType = GK_RT_3D;
    EXPECT_EQ(grProcessCmd(rt, grPRINT), kPrintRefused);
    EXPECT_EQ(host().lastMessage(QF_MSG_NOTICE), "Printing of 2-D/3-D display not supported.");
    removeRecord(rt);
}

TEST_F(Display, ReplayPrintsAndTilesOnlyWithAGraphOpen) {
    put("a.tim", sig::real32File(ramp(32)));
    put("b.tim", sig::real32File(ramp(32)));
    writeFile(dir + "p.scr", "1100 PrintGraph\r\n1060\r\n");
    setEntry(block.out, dir, "p.scr");
    block.opCode = QF_OP_RUN_SCRIPT;
    host().answerOk();
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(host().count("DoGetActiveMDIWindow"), 0);
    EXPECT_EQ(host().count("qfMoveGraphWindow") + host().count("qfTileGraphWindows"), 0);

    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "a.tim"), 0);
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "b.tim"), 0);
    host().mark();
    setEntry(block.out, dir, "p.scr");
    block.opCode = QF_OP_RUN_SCRIPT;
    host().answerOk();
    ASSERT_EQ(RunOp(&block), 0);
    EXPECT_EQ(host().since("DoGetActiveMDIWindow").size(), 1u);
    EXPECT_EQ(host().since("DoFillRectangle").size(), 1u);
    // Two windows share the 800 x 600 area, one above the other.
    const auto moves = host().since("qfMoveGraphWindow");
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].args, (std::vector<std::string>{"0x101", "0", "0", "800", "300"}));
    EXPECT_EQ(moves[1].args, (std::vector<std::string>{"0x102", "0", "300", "800", "300"}));
    EXPECT_EQ(host().since("qfInvalidateGraphClient").size(), 1u);
}

TEST_F(Display, TilingCountsWindowsThatAreNotMinimised) {
    for (const char* n : {"a.tim", "b.tim", "c.tim", "d.tim"}) {
        put(n, sig::real32File(ramp(8)));
        ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, n), 0);
    }
    // Four windows: the host's own tiling.
    host().mark();
    tileGraphWindows();
    EXPECT_EQ(host().since("qfTileGraphWindows").size(), 1u);
    EXPECT_TRUE(host().since("qfMoveGraphWindow").empty());
    // One minimised: three share the height less 2.5 icon heights (600 - 80).
    host().minimised = {window(1)};
    host().mark();
    tileGraphWindows();
    const auto moves = host().since("qfMoveGraphWindow");
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(moves[0].args, (std::vector<std::string>{"0x101", "0", "0", "800", "173"}));
    EXPECT_EQ(moves[1].args, (std::vector<std::string>{"0x103", "0", "173", "800", "173"}));
    EXPECT_EQ(moves[2].args, (std::vector<std::string>{"0x104", "0", "346", "800", "173"}));
    // Only one left: the host's tiling again.
    host().minimised = {window(1), window(2), window(3)};
    host().mark();
    tileGraphWindows();
    EXPECT_EQ(host().since("qfTileGraphWindows").size(), 1u);
}

TEST_F(Display, GraphsCloseByFileByWindowAndAtShutDown) {
    put("a.tim", sig::real32File(ramp(8)));
    put("b.tim", sig::real32File(ramp(8)));
    nameNpath a{}, none{};
    setEntry(a, dir, "a.tim");
    setEntry(none, dir, "none.tim");
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "a.tim"), 0);
    EXPECT_EQ(findPlotDataByName(a), graph(0));
    EXPECT_EQ(closeGraphOfFile(none), 1);
    EXPECT_EQ(closeGraphOfFile(a), 0);
    EXPECT_EQ(graphCount(), 0);
    // A host that closes its windows later: the record goes at once, and
    // the late grCLOSE finds nothing.
    host().closeSendsGrClose = false;
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "a.tim"), 0);
    EXPECT_EQ(closeGraphOfFile(a), 0);
    EXPECT_EQ(graphCount(), 0);
    plotGraphCtrl(grCLOSE, reinterpret_cast<QfWindow>(0x102));
    EXPECT_EQ(removePlotData(reinterpret_cast<QfWindow>(0x102)), 1);
    // Messages for unknown windows and commands are ignored.
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "b.tim"), 0);
    plotGraphCtrl(grREFRESH, reinterpret_cast<QfWindow>(0x999));
    plotGraphCtrl(77, window(0));
    plotGraphCtrl(grSCROLLUP, window(0));
    EXPECT_EQ(host().count("DoFillRectangle"), 0);
    EXPECT_EQ(grProcessCmd(graph(0), grSCROLLDOWN), kNoChange);
    EXPECT_EQ(grProcessCmd(graph(0), 0), kNoChange);
    EXPECT_EQ(grProcessCmd(graph(0), 23), kNoChange);
    // Shut-down frees what is left.
    ExitQuillfen();
    EXPECT_EQ(graphs().head, nullptr);
    ASSERT_EQ(startEngine(home), 0);
}

// A recording of three channels shows one sub-graph each under a heading;
// sub-graph g shows every third record from channel g.
TEST_F(Display, RecordingsShowOneSubGraphAChannel) {
    std::vector<int16_t> v;
    for (int i = 0; i < 30; ++i) v.push_back(static_cast<int16_t>(1000 * (i % 3) + i));
    put("rec.tim", sig::realtimeFile(v, 3, 1.0, 1.0));
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "rec.tim"), 0);
    PlotData* p = graph(0);
    EXPECT_EQ(p->noChannels, 3);
    EXPECT_EQ(p->channelMask, 7u);
    EXPECT_EQ(p->noPtsPerPlot, 10);
    host().mark();
    refresh();
    const auto t = texts();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0], "10 pts * 3 ch @ 8000 Hz; REALTIMEINT16: Binary");
    EXPECT_EQ(p->headingHeight, 16);
    // Three curves; the last holds records 2, 5, 8, ... of channel 2.
    EXPECT_EQ(host().since("DoSetRectangularClipRegion").size(), 3u);
    for (int i = 0; i < 10; ++i) EXPECT_FLOAT_EQ(p->yBuf[i], v[2 + 3 * i] / 32768.0f) << i;
    // The sub-graphs share one x extent and stack downwards.
    EXPECT_EQ(p->plotArea[0][0], p->plotArea[2][0]);
    EXPECT_GT(p->plotArea[0][2], p->plotArea[1][3]);
}

// The channel selection: 2 to 16 channels of a recording.
TEST_F(Display, ChannelSelectionShowsTwoToSixteenChannels) {
    std::vector<int16_t> v(20 * 20);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int16_t>(100 * (i % 20));
    put("rec.tim", sig::realtimeFile(v, 20, 1.0, 1.0));
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "rec.tim"), 0);
    PlotData* p = graph(0);
    EXPECT_EQ(p->noChannels, 16);  // at most 16 at first
    EXPECT_EQ(qfSelectChannels(p, 0xFFFFFu), 1);
    EXPECT_EQ(host().lastMessage(QF_MSG_NOTICE),
              "No more than 16 channels may be selected at once.");
    EXPECT_EQ(qfSelectChannels(p, 0x100000u | 0x8u), 1);  // channel 20 does not exist
    EXPECT_EQ(host().lastMessage(QF_MSG_NOTICE),
              "At least two channels must be selected for display.");
    host().mark();
    EXPECT_EQ(qfSelectChannels(p, (1u << 3) | (1u << 17)), 0);
    EXPECT_EQ(p->noChannels, 2);
    EXPECT_EQ(host().since("DoSetRectangularClipRegion").size(), 2u);  // drawn at once
    // The second sub-graph shows channel 17: records 17, 37, 57, ...
    for (int i = 0; i < p->noPtsPerPlot; ++i) EXPECT_FLOAT_EQ(p->yBuf[i], 1700 / 32768.0f) << i;
    put("one.tim", sig::real32File(ramp(8)));
    ASSERT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "one.tim"), 0);
    EXPECT_EQ(qfSelectChannels(graph(1), 3u), 1);  // not a recording
}
