// The graph entry points a host calls on user input: menu commands, the
// scroll bar, cursors and bands, the settings report; and the hand-over of
// stored pens and fonts at start-up.
#include "graph/graph_fixture.h"

using namespace qf;
using namespace qf::test;

namespace {

class EntryPoints : public GraphTest {
  protected:
    PlotData* timeGraph(int32_t n, double rate = 8000.0) {
        put("t.tim", sig::real32File(std::vector<float>(static_cast<std::size_t>(n), 0.5f), rate));
        EXPECT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "t.tim"), 0);
        refresh();
        return graph();
    }
    int32_t control(PlotData* p, int32_t command, int32_t frameWidth = 0, int32_t angle = 0,
                    int32_t length = 0, const char* x = nullptr, const char* y = nullptr) {
        return GraphControlWrapper(p, command, x, y, frameWidth, -50, 30, angle, length);
    }
    void ctrlKey(bool down) { host().keyState[0x11] = down ? static_cast<int16_t>(0x8000) : 0; }
};

}  // namespace

TEST_F(EntryPoints, MenuCommandsBecomeGraphCommands) {
    PlotData* p = timeGraph(5000);
    ctrlKey(true);
    control(p, 108);  // Ctrl: the whole signal
    EXPECT_EQ(p->ptStep, 8);
    EXPECT_EQ(p->noPtsPerPlot, 625);
    control(p, 107);  // Ctrl: back to one sample a point
    EXPECT_EQ(p->ptStep, 1);
    EXPECT_EQ(p->noPtsPerPlot, 600);
    ctrlKey(false);
    control(p, 107);
    EXPECT_EQ(p->noPtsPerPlot, 300);
    p->firstPt = 1175;
    host().mark();
    control(p, 110);  // Y out, and the thumb placed: 1175 x 32767 / (5000 - 300)
    EXPECT_EQ(p->z1DYAutoScaleYN, 'n');
    EXPECT_EQ(host().since("DoSetHorizontalScrollPosition").back().args,
              (std::vector<std::string>{"0x101", std::to_string(1175 * 32767 / 4700), "1"}));
    control(p, 113);
    EXPECT_EQ(p->z1DYAutoScaleYN, 'y');

    // Settings of the record: dB limits, frame width clamped to 1..512, titles.
    struct Case {
        int32_t command, frameWidth, want;
    } widths[] = {{121, 0, 1}, {121, 1000, 512}, {121, 40, 40}};
    for (const Case& c : widths) {
        control(p, c.command, c.frameWidth);
        EXPECT_EQ(p->frmWdt, c.want) << c.frameWidth;
    }
    control(p, 117);
    control(p, 118);
    control(p, 125, 0, 0, 0, "Seconds", nullptr);
    control(p, 126, 0, 0, 0, nullptr, "Volts, a rather long title that does not fit the record");
    EXPECT_EQ(p->dBHigh, 30);
    EXPECT_EQ(p->dBLow, -50);
    EXPECT_STREQ(p->xLabel, "Seconds");
    EXPECT_EQ(std::string(p->yLabel),
              std::string("Volts, a rather long title that does not fit the").substr(0, 47));
    host().mark();
    control(p, 119);  // no effect, no repaint
    EXPECT_TRUE(host().since("DoForceRepaint").empty());
    control(p, 132, 0, 45, 10);  // tilt: only for 3-D spectrograms
    EXPECT_EQ(p->tiltX, 0);
}

TEST_F(EntryPoints, TiltAndTheSettingsReport) {
    PlotData* p = appendPlotData();
    p->recKind = 'g';
    p->graphType = GK_3D_SPECTROGRAM | 8;
    control(p, 132, 0, 45, 10);
    EXPECT_EQ(p->tiltX, 7);  // trunc(10 cos 45 + 0.5)
    EXPECT_EQ(p->tiltY, 7);
    int32_t autoScale, kind, width, high, low, angle, length;
    char x[48], y[48];
    getGraphData(p, &autoScale, &kind, &width, &high, &low, &angle, &length, x, y);
    EXPECT_EQ(kind, static_cast<int32_t>(GK_3D_SPECTROGRAM));
    EXPECT_EQ(angle, 45);
    EXPECT_EQ(length, 10);  // trunc(sqrt(98) + 0.5)
    p->tiltX = 0;
    getGraphData(p, &autoScale, &kind, &width, &high, &low, &angle, &length, x, y);
    EXPECT_EQ(angle, 90);
    // A realtime 3-D display reports the tilt defaults 9 and 6.
    p->graphType = GK_RT_3D;
    getGraphData(p, &autoScale, &kind, &width, &high, &low, &angle, &length, x, y);
    EXPECT_EQ(angle, 34);   // atan(6 / 9) = 33.7 degrees
    EXPECT_EQ(length, 11);  // sqrt(117) = 10.8
    EXPECT_EQ(GetGraphType(p), static_cast<int32_t>(GK_RT_3D));
    removeRecord(p);
    // A record the engine does not know is ignored.
    EXPECT_EQ(GetGraphType(p), 0);
    EXPECT_EQ(GetGraphType(nullptr), 0);
    EXPECT_EQ(control(p, 121, 5), 0);
    getGraphData(p, &autoScale, &kind, &width, &high, &low, &angle, &length, x, y);
    EXPECT_EQ(kind, 0);
    EXPECT_STREQ(x, "");

    p = timeGraph(100);
    p->z1DYAutoScaleYN = 'n';
    getGraphData(p, &autoScale, &kind, &width, &high, &low, &angle, &length, x, y);
    EXPECT_EQ(autoScale, 0);
    EXPECT_EQ(kind, 0);
    EXPECT_STREQ(x, "Time");
    EXPECT_STREQ(y, "Amplitude");
}

// 20000 samples at 4 samples a point, 1200 points: the thumb covers
// 20000 - 4800 = 15200 samples.
TEST_F(EntryPoints, TheScrollBarPansAndGoesTo) {
    PlotData* p = timeGraph(20000);
    p->ptStep = 4;
    p->noPtsPerPlot = 1200;
    grPanLeftRightWrapper(p, 5, 16384);  // dragging: nothing at 4 samples a point
    EXPECT_EQ(p->firstPt, 0);
    host().mark();
    grPanLeftRightWrapper(p, 4, 16384);  // released: 15200 x 16384 / 32767
    EXPECT_EQ(p->firstPt, 7600);
    EXPECT_EQ(host().since("DoSetHorizontalScrollPosition").back().args[1],
              std::to_string(7600 * 32767 / 15200));
    grPanLeftRightWrapper(p, 3, 0);  // a page right
    EXPECT_EQ(p->firstPt, 7600 + 4800);
    grPanLeftRightWrapper(p, 0, 0);  // a line left
    EXPECT_EQ(p->firstPt, 7600 + 4800 - 960);
    p->ptStep = 2;
    p->noPtsPerPlot = 1200;
    grPanLeftRightWrapper(p, 5, 0);  // dragging at 2 samples a point follows the thumb
    EXPECT_EQ(p->firstPt, 0);
}

// 11 samples at 1000 Hz: 0..10 mS over x 107..570, 46.3 pixels a sample.
TEST_F(EntryPoints, CursorsReadOutTheirDistanceAndTheZoom) {
    PlotData* p = timeGraph(11, 1000.0);
    setEntry(block.in1, dir, "other.tim");
    grGraphXcursorWrapper(window(), p, 200, 100, 0);  // sample 2
    grGraphXcursorWrapper(window(), p, 200, 100, 1);
    EXPECT_EQ(p->cursorRecord[0], 2);
    EXPECT_STREQ(block.in1.n, "t.tim");               // the graph's signal is the next input
    grGraphXcursorWrapper(window(), p, 200, 100, 8);  // the second cursor, same place
    grGraphXcursorWrapper(window(), p, 200, 100, 9);
    char text[32];
    ASSERT_EQ(qfGraphReadout(146, text, sizeof text), 0);
    EXPECT_STREQ(text, "Infinity");
    grGraphXcursorWrapper(window(), p, 431, 100, 8);  // sample 7: 5 mS apart
    grGraphXcursorWrapper(window(), p, 431, 100, 9);
    EXPECT_EQ(p->cursorRecord[1], 7);
    qfGraphReadout(146, text, sizeof text);
    EXPECT_STREQ(text, "f:200.0Hz");
    qfGraphReadout(137, text, sizeof text);
    EXPECT_STREQ(text, "1:54.55");  // 600 / 11
    EXPECT_EQ(qfGraphReadout(999, text, sizeof text), 1);
    // The repaint draws both cursors: lines with pen 9, values with pen 12.
    host().mark();
    refresh();
    int lines = 0;
    for (const HostCall& c : host().since("DoSelectPen")) lines += c.args[1] == "9";
    EXPECT_EQ(lines, 3);                                             // the curve and two cursors
    EXPECT_EQ(host().since("DoTextOut").back().args[2], " 5.0e-1");  // axis 0..0.5: exponential
}

// 16 bins a frame at 8 kHz: bins 500 Hz apart, 0..4 kHz over x 107..570.
TEST_F(EntryPoints, ABandOverASpectrumReportsItsPower) {
    std::vector<int16_t> words(2 * 16, 0);
    for (int bin : {2, 3, 4}) words[2 * bin] = 16384;  // 0.5: power 0.25 each
    put("s.fre", frames16(words, 16));
    ASSERT_EQ(show(QF_OP_POWER_DISPLAY, "s.fre"), 0);
    refresh();
    PlotData* p = graph();
    host().mark();
    grGraphXcursorWrapper(window(), p, 223, 200, 4);  // bin 2
    grGraphXcursorWrapper(window(), p, 300, 250, 6);
    grGraphXcursorWrapper(window(), p, 339, 260, 6);
    grGraphXcursorWrapper(window(), p, 339, 260, 5);  // bin 4
    EXPECT_EQ(host().lastMessage(QF_MSG_DESCRIPTION),
              "Band Range : 1000...2000 @ 0 seconds; Band Power : 375");
    EXPECT_EQ(host().since("stdLogWinOpen").at(0).args[0], "115");
    // Drawn, redrawn and erased by exclusive-or.
    int xor9 = 0;
    for (const HostCall& c : host().since("DoSetRasterOp")) xor9 += c.args[1] == "9";
    EXPECT_EQ(xor9, 4);
    const auto boxes = host().since("DoPolyLine");
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].args, (std::vector<std::string>{"0x101", "5", "223,200", "300,200",
                                                       "300,250", "223,250", "223,200"}));
    EXPECT_EQ(graphs().holdCount, 0);
}

TEST_F(EntryPoints, ABandOverAWaveformSelectsItsSamples) {
    PlotData* p = timeGraph(11, 1000.0);
    grGraphXcursorWrapper(window(), p, 200, 100, 4);
    grGraphXcursorWrapper(window(), p, 431, 100, 5);
    EXPECT_EQ(p->selStart, 2);
    EXPECT_EQ(p->selEnd, 7);
    host().mark();
    refresh();
    // The selection again over the curve with pen 10, six samples.
    const auto& calls = host().calls();
    bool drawn = false;
    for (std::size_t i = 0; i + 3 < calls.size(); ++i)
        if (calls[i].name == "DoSelectPen" && calls[i].args[1] == "10" &&
            calls[i + 3].name == "DoPolyLine")
            drawn = drawn || calls[i + 3].args[1] == "6";
    EXPECT_TRUE(drawn);
}

TEST(GraphStyle, StoredPensAndFontsGoToTheHost) {
    std::string home = makeTempDir();
    std::string body = "0000 0 0 0 0\r\nb s y\r\n";
    for (int i = 0; i < 19; ++i)
        body += " " + std::to_string(i) + " " + (i == 13 ? std::to_string(0xFF8040) : "4") + " " +
                (i == 5 ? "2" : "0") + " \r\n";
    for (int i = 0; i < 5; ++i) body += std::to_string(i) + " 1 2 12 \r\n";
    writeFile(home + "quillfen.sav", body);
    ASSERT_EQ(startEngine(home), 0);
    TestHost& h = TestHost::instance();
    const auto rgb = h.callsNamed("DoSetPenColorFromRGB");
    ASSERT_EQ(rgb.size(), 3u);
    EXPECT_EQ(rgb[0].args, (std::vector<std::string>{"13", "64", "128", "255"}));
    EXPECT_EQ(h.callsNamed("DoSetBrushColor").back().args, (std::vector<std::string>{"0", "4"}));
    EXPECT_EQ(h.penColour[12], 4);
    EXPECT_EQ(h.penLineType[5], 2);
    EXPECT_EQ(h.fontSize[4], 12);
    EXPECT_EQ(h.fontStyle[0], 2);
    // Then all 19 stored pens, so that the host saves what it was given.
    EXPECT_EQ(h.penColour[13], 0xFF8040);
    EXPECT_EQ(h.penLineType[13], 0);
    ExitQuillfen();
}
