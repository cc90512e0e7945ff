// View commands: pans, go-tos, X zooms with and without a selection, the Y
// scale rules and the scroll-bar update, each case worked out by hand from
// the rules of the commands.
#include "graph/graph_fixture.h"

using namespace qf;
using namespace qf::test;

namespace {

class ViewCommands : public GraphTest {
  protected:
    // A time graph of n samples, painted once (first point 0).
    PlotData* timeGraph(int32_t n) {
        put("t.tim", sig::real32File(std::vector<float>(static_cast<std::size_t>(n), 0.5f)));
        EXPECT_EQ(show(QF_OP_WAVEFORM_DISPLAY, "t.tim"), 0);
        refresh();
        return graph();
    }
    // A magnitude graph of `frames` frames of `size` bins.
    PlotData* spectrumGraph(int32_t frames, int32_t size) {
        put("s.fre", frames16(std::vector<int16_t>(2u * frames * size, 300), size));
        EXPECT_EQ(show(QF_OP_MAGNITUDE_DISPLAY, "s.fre"), 0);
        refresh();
        return graph();
    }
};

// A view before a command (with the selection, -1: none) and after it.
struct View {
    int32_t firstPt, noPtsPerPlot, ptStep, selStart = -1, selEnd = -1;
};
struct TimeCase {
    const char* what;
    int32_t records;
    View before;
    int32_t command;
    View after;
    int32_t answer = kRepaint;
};

}  // namespace

TEST_F(ViewCommands, TimeViewsMoveAndZoomByTheirRules) {
    const TimeCase cases[] = {
        {"pan right a fifth", 5000, {0, 600, 1}, grPANRIGHT, {120, 600, 1}},
        {"pan right a view", 5000, {0, 600, 1}, grPANRIGHTFAST, {600, 600, 1}},
        {"pan left stops at 0", 5000, {100, 600, 1}, grPANLEFTFAST, {0, 600, 1}},
        {"pan right at the end", 5000, {4400, 600, 1}, grPANRIGHT, {4400, 600, 1}, kNoChange},
        {"to the end", 5000, {0, 600, 1}, grGOTOEND, {4400, 600, 1}},
        {"to the start", 5000, {0, 600, 1}, grGOTOHEAD, {0, 600, 1}, kNoChange},
        // Zoom out from one sample a point: pairs of 2, 1200 points, a
        // quarter view back (1000 - 600), within 5000 - 2400.
        {"out to pairs", 5000, {1000, 600, 1}, gr1dXsCALEoUT, {400, 1200, 2}},
        {"out of a short view", 5000, {1000, 300, 1}, gr1dXsCALEoUT, {850, 600, 1}},
        {"out of 601..1199 samples", 1000, {0, 600, 1}, gr1dXsCALEoUT, {0, 500, 2}},
        {"out to the whole signal", 1500, {0, 600, 1}, gr1dXsCALEoUT, {0, 750, 2}},
        // Zoom in from 4 samples a point onto a selection centred at 10000.
        {"in onto the selection",
         20000,
         {9000, 1200, 4, 9990, 10010},
         gr1dXsCALEiN,
         {8800, 1200, 2}},
        {"in without a selection", 20000, {9000, 1200, 4}, gr1dXsCALEiN, {10200, 1200, 2}},
        {"in from pairs", 20000, {9000, 1200, 2, 9990, 10010}, gr1dXsCALEiN, {9700, 600, 1}},
        {"in at one sample a point", 20000, {1000, 600, 1}, gr1dXsCALEiN, {1150, 300, 1}},
        {"in no further than 9 points", 20000, {1000, 9, 1}, gr1dXsCALEiN, {1000, 9, 1}},
        {"back to one sample a point",
         20000,
         {0, 1200, 8, 5000, 5100},
         gr1dXsCALEiNrESET,
         {4750, 600, 1}},
        {"the whole of 5000", 5000, {2000, 600, 1}, gr1dXsCALEoUTmAX, {0, 625, 8}},
        {"the whole of 900", 900, {100, 600, 1}, gr1dXsCALEoUTmAX, {0, 450, 2}},
    };
    int32_t lastRecords = -1;
    PlotData* p = nullptr;
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.records != lastRecords) {
            if (p) dropGraphWindow(p);
            p = timeGraph(c.records);
            lastRecords = c.records;
        }
        p->firstPt = c.before.firstPt;
        p->noPtsPerPlot = c.before.noPtsPerPlot;
        p->ptStep = c.before.ptStep;
        p->selStart = c.before.selStart;
        p->selEnd = c.before.selEnd;
        EXPECT_EQ(grProcessCmd(p, c.command), c.answer);
        EXPECT_EQ(p->firstPt, c.after.firstPt);
        EXPECT_EQ(p->noPtsPerPlot, c.after.noPtsPerPlot);
        EXPECT_EQ(p->ptStep, c.after.ptStep);
    }
}

TEST_F(ViewCommands, PanningAtTheEndAsksForNoRepaint) {
    PlotData* p = timeGraph(5000);
    send(grGOTOEND);
    EXPECT_EQ(p->firstPt, 4400);
    host().mark();
    send(grPANRIGHT);
    EXPECT_TRUE(host().since("DoForceRepaint").empty());
    send(grPANLEFT);
    EXPECT_EQ(host().since("DoForceRepaint").size(), 1u);
    EXPECT_EQ(p->firstPt, 4280);
}

TEST_F(ViewCommands, ZoomsInvalidateTheMinMaxCache) {
    PlotData* p = timeGraph(5000);
    send(gr1dXsCALEoUTmAX);
    refresh();
    EXPECT_EQ(p->cacheFirstPt, 0);
    send(gr1dXsCALEiNrESET);
    EXPECT_EQ(p->cacheFirstPt, -1);
}

// The scroll bar: 0..32767, the thumb at firstPt x 32767 / (R - view).
TEST_F(ViewCommands, TheScrollBarFollowsTheView) {
    PlotData* p = timeGraph(5000);
    p->firstPt = 1000;
    host().mark();
    updateScrollBar(p);
    EXPECT_EQ(host().since("DoSetHorizontalScrollRange").at(0).args,
              (std::vector<std::string>{"0x101", "0", "32767"}));
    EXPECT_EQ(host().since("DoSetHorizontalScrollPosition").at(0).args,
              (std::vector<std::string>{"0x101", std::to_string(1000 * 32767 / 4400), "1"}));
    p->firstPt = 9000;  // clamped to the last view
    updateScrollBar(p);
    EXPECT_EQ(p->firstPt, 4400);
    dropGraphWindow(p);

    // A signal no longer than the view hides the bar.
    p = timeGraph(300);
    host().mark();
    updateScrollBar(p);
    EXPECT_EQ(host().since("DoSetHorizontalScrollPosition").at(0).args,
              (std::vector<std::string>{"0x102", "0", "0"}));
    dropGraphWindow(p);
    // A spectrum of one frame at full view hides it; of several shows it.
    p = spectrumGraph(1, 16);
    host().mark();
    updateScrollBar(p);
    EXPECT_EQ(host().since("DoSetHorizontalScrollPosition").at(0).args[2], "0");
    dropGraphWindow(p);
    p = spectrumGraph(4, 16);
    host().mark();
    updateScrollBar(p);
    EXPECT_EQ(host().since("DoSetHorizontalScrollPosition").at(0).args[2], "1");
}

// Frequency views stay inside the first half of one frame: 4 frames of 16
// bins, 8 bins in view (B), R = 64.
TEST_F(ViewCommands, SpectrumViewsKeepToHalfAFrame) {
    PlotData* p = spectrumGraph(4, 16);
    EXPECT_EQ(p->noPtsPerPlot, 9);
    struct Case {
        int32_t from, command, to, answer;
    } cases[] = {
        {0, grPANRIGHT, 16, kRepaint},      // 1 + 8 > 8: the next frame
        {16, grPANLEFT, 0, kRepaint},       // 15 is past the half: frame 0's end, 0
        {0, grPANRIGHTFAST, 16, kRepaint},  // a frame on
        {20, grPANLEFTFAST, 4, kRepaint},   // a frame back
        {0, grGOTOEND, 48, kRepaint},       // the start of the last frame
        {48, grPANRIGHT, 48, kNoChange},    // 64 is past R - 8 - 8
    };
    for (const Case& c : cases) {
        p->firstPt = c.from;
        EXPECT_EQ(grProcessCmd(p, c.command), c.answer) << c.command;
        EXPECT_EQ(p->firstPt, c.to) << c.command;
    }
}

// 4 frames of 64 bins: zooming in doubles the divisor and halves the bins.
TEST_F(ViewCommands, SpectrumZoomsAndGoTo) {
    PlotData* p = spectrumGraph(4, 64);
    EXPECT_EQ(p->noPtsPerPlot, 33);
    EXPECT_EQ(command(gr1dXsCALEiN), kRepaint);
    EXPECT_EQ(p->ptStep, 2);
    EXPECT_EQ(p->noPtsPerPlot, 16);
    EXPECT_EQ(p->firstPt, 8);  // a quarter of the old 32 bins
    EXPECT_EQ(command(gr1dXsCALEoUT), kRepaint);
    EXPECT_EQ(p->ptStep, 1);
    EXPECT_EQ(p->noPtsPerPlot, 32);
    EXPECT_EQ(p->firstPt, 0);  // 8 - 4 = 4, and 4 + 32 > 32: the frame's start
    command(gr1dXsCALEiN);     // divisor 2, B = 16
    graphs().gotoPosition = 70;
    EXPECT_EQ(command(grGOTON), kRepaint);
    EXPECT_EQ(p->firstPt, 70);  // 6 + 16 <= 32
    graphs().gotoPosition = 90;
    command(grGOTON);
    EXPECT_EQ(p->firstPt, 128);  // 26 + 16 > 32: the next frame
    graphs().gotoPosition = 250;
    command(grGOTON);
    EXPECT_EQ(p->firstPt, 208);  // R - 32 - 16
}

TEST_F(ViewCommands, YScaleCommandsOnWaveforms) {
    PlotData* p = timeGraph(100);
    struct Case {
        int32_t command;
        float yMax, yMin;
    } cases[] = {{gr1dYsCALEoUT, 2.0f, -2.0f},
                 {gr1dYsCALEiN, 0.5f, -0.5f},
                 {gr1dYsCALEuP, 0.75f, -1.25f},
                 {gr1dYsCALEdOWN, 1.25f, -0.75f}};
    for (const Case& c : cases) {
        p->yMax = 1.0f;
        p->yMin = -1.0f;
        p->z1DYAutoScaleYN = p->z1DYRoundYN = 'y';
        EXPECT_EQ(grProcessCmd(p, c.command), kRepaint);
        EXPECT_FLOAT_EQ(p->yMax, c.yMax) << c.command;
        EXPECT_FLOAT_EQ(p->yMin, c.yMin) << c.command;
        EXPECT_EQ(p->z1DYAutoScaleYN, 'n');
        EXPECT_EQ(p->z1DYRoundYN, 'n');
    }
    EXPECT_EQ(grProcessCmd(p, gr1dYsCALEaUTO), kRepaint);
    EXPECT_EQ(p->z1DYAutoScaleYN, 'y');
    EXPECT_EQ(p->z1DYRoundYN, 'y');
    // Ranges at the overflow guard stay.
    p->yMax = 3.5e37f;
    p->yMin = -1.0f;
    grProcessCmd(p, gr1dYsCALEoUT);
    EXPECT_FLOAT_EQ(p->yMax, 3.5e37f);
}

TEST_F(ViewCommands, YScaleCommandsOnSpectraGoByDecades) {
    PlotData* p = spectrumGraph(1, 16);
    struct Case {
        int32_t command;
        float fromMax, fromMin, yMax, yMin;
        char autoScale;
    } cases[] = {
        {gr1dYsCALEoUT, 100, 0.01f, 1000, 0.001f, 'n'},
        {gr1dYsCALEiN, 100, 0.01f, 10, 0.1f, 'n'},
        {gr1dYsCALEiN, 100, 1, 100, 10, 'n'},  // 100: only the bottom moves
        {gr1dYsCALEiN, 10, 1, 10, 1, 'y'},     // one decade: no change
        {gr1dYsCALEuP, 100, 0.01f, 10, 0.001f, 'n'},
        {gr1dYsCALEuP, 10, 1, 1, 0.1f, 'n'},
        {gr1dYsCALEuP, 2e-37f, 1e-37f, 2e-36f, 1e-37f, 'n'},  // too small to move: the top up
        {gr1dYsCALEdOWN, 100, 0.01f, 1000, 0.1f, 'n'},
    };
    for (const Case& c : cases) {
        p->yMax = c.fromMax;
        p->yMin = c.fromMin;
        p->z1DYAutoScaleYN = 'y';
        EXPECT_EQ(grProcessCmd(p, c.command), kRepaint);
        EXPECT_FLOAT_EQ(p->yMax, c.yMax) << c.command << " " << c.fromMax;
        EXPECT_FLOAT_EQ(p->yMin, c.yMin) << c.command << " " << c.fromMax;
        EXPECT_EQ(p->z1DYAutoScaleYN, c.autoScale) << c.command << " " << c.fromMax;
    }
}
