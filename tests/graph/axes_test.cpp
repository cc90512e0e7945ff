// Coordinate conversion, axes and grids: x units, the nice-number and
// decade rules, label formats, the Y range rules, min/max pairs and their
// cache, peak keeping in wide spectra, clipping and the item pool.
#include "graph/axes.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "graph/graph_fixture.h"

using namespace qf;
using namespace qf::test;

namespace {

class Axes : public GraphTest {
  protected:
    // A waveform graph of a new file t1.tim, t2.tim, ...
    PlotData* timeGraph(const std::vector<float>& v, double rate) {
        const std::string name = "t" + std::to_string(++files_) + ".tim";
        put(name, sig::real32File(v, rate));
        EXPECT_EQ(show(QF_OP_WAVEFORM_DISPLAY, name), 0);
        return graph(host().windows.size() - 1);
    }
    int files_ = 0;
};

}  // namespace

TEST(AxisUnits, TimeAndFrequencyUnitsByDecade) {
    struct Case {
        double value;
        const char* text;
        double factor;
    } times[] = {{1000, " (kS)", 0.001}, {999.9, " (Sec)", 1},   {1, " (Sec)", 1},
                 {0.5, " (mS)", 1000},   {0.001, " (mS)", 1000}, {0.0009, " (uS)", 1e6},
                 {2e-9, " (nS)", 1e9},   {5e-10, "", 1}};
    for (const Case& c : times) {
        EXPECT_STREQ(timeUnit(c.value).text, c.text) << c.value;
        EXPECT_EQ(timeUnit(c.value).factor, c.factor) << c.value;
    }
    struct FCase {
        double hz;
        const char* prefix;
        double factor;
    } freqs[] = {{2e9, "(GHz)", 1e-9}, {4e6, "(MHz)", 1e-6}, {4000, "(kHz)", 0.001},
                 {999, "(Hz)", 1},     {0.5, "(mHz)", 1000}, {1e-4, "(uHz)", 1e6}};
    for (const FCase& c : freqs) {
        EXPECT_EQ(std::string(frequencyUnit(c.hz).text).rfind(c.prefix, 0), 0u) << c.hz;
        EXPECT_EQ(frequencyUnit(c.hz).factor, c.factor) << c.hz;
    }
}

TEST(AxisRules, NiceNumbers) {
    struct Case {
        double lo, hi, wantLo, wantHi, step;
    } cases[] = {
        {0.5, 0.5, 0, 0.5, 0.05},   // (a) 5 x 10^-1
        {-3, -3, -5, 0, 0.5},       // (a) f = 0.477: 5
        {2, 2, 0, 2, 0.25},         // (a) f = 0.301: 2
        {0, 0, -1, 1, 0.5},         // (a) zero
        {0, 0.7, 0, 0.8, 0.1},      // (b) f = 0.845: 8
        {-3, -0.1, -3, 0, 0.5},     // (b) negative, f = 0.477: 3
        {0.001, 5, 0, 5, 0.5},      // more than 2 decades apart: the small end is 0
        {1, 1.1, 1, 1.1, 0.02},     // (c) limits stay, a fifth
        {-1, 0.5, -1, 1, 0.25},     // (d)
        {-0.3, 0.6, -1, 1, 0.25},   // (d) f = 0.778: 10
        {-0.1, 0.8, -0.2, 1, 0.2},  // (e) L / S = 8: fifths
        {-0.05, 2, -0.2, 2, 0.2},   // (e) L / S = 40: tenths
        {2e38, 3e38, -3e38, 3e38, 7.5e37},
    };
    for (const Case& c : cases) {
        double lo = c.lo, hi = c.hi, step = 0;
        niceNumbers(lo, hi, step);
        EXPECT_NEAR(lo, c.wantLo, std::fabs(c.wantLo) * 1e-12 + 1e-15) << c.lo << ".." << c.hi;
        EXPECT_NEAR(hi, c.wantHi, std::fabs(c.wantHi) * 1e-12 + 1e-15) << c.lo << ".." << c.hi;
        EXPECT_NEAR(step, c.step, std::fabs(c.step) * 1e-12) << c.lo << ".." << c.hi;
    }
}

TEST(AxisRules, DecadeRule) {
    struct Case {
        double lo, hi;
        int32_t type;
        double bottom, top, perDecade;
    } cases[] = {
        {1e-9, 1, 11, -8, 1, 1},  // eight decades below the top one
        {1e-9, 1, 8, -5, 1, 1},   // 16-bit spectra: never below 1e-5
        {0.2, 0.9, 11, -1, 0, 10}, {0.02, 0.9, 11, -2, 0, 5},
        {0, 0.5, 11, -9, 0, 1},  // a zero bottom is 1e-8 of the top
        {0, 0, 11, -8, 0, 1},    // nothing at all
    };
    for (const Case& c : cases) {
        double lo = c.lo, hi = c.hi, per = 0;
        decadeRange(lo, hi, c.type, per);
        EXPECT_EQ(lo, c.bottom) << c.lo << ".." << c.hi << " type " << c.type;
        EXPECT_EQ(hi, c.top) << c.lo << ".." << c.hi;
        EXPECT_EQ(per, c.perDecade) << c.lo << ".." << c.hi;
    }
}

TEST(AxisRules, LabelFormats) {
    struct Case {
        int32_t code;
        double value;
        const char* text;
    } cases[] = {
        {0, -40, "-40.0"},    {0, 0.5, " 0.5"},        {1, 12345, " 1.2345e+4"},
        {1, 1, " 1.0"},       {1, 0.00012, " 1.2e-4"}, {2, 2.5, "3"},
        {3, 100, " 100.0"},   {3, 1e-5, " 1.0e-5"},    {-4, 0.5, " 0.5000"},
        {-2, 875, " 875.00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(numberLabel(c.code, c.value, kLabelWidth), c.text) << c.code << " " << c.value;
    EXPECT_EQ(gridLabel(0, -40, kLabelWidth), "  -40.0 ");
    EXPECT_EQ(gridLabel(-3, 12.5, kLabelWidth), "   12.500 ");
    EXPECT_EQ(trimNumber("1.50000E+000"), "1.5");
    EXPECT_EQ(trimNumber("-2.000e-012"), "-2.0e-12");
    struct Range {
        double min, max;
        int32_t code;
    } ranges[] = {{0, 1, -4}, {0, 875, -2}, {-50, 20, -3}, {0, 0.5, 1}, {0, 1000, 1}, {0, 0, 1}};
    for (const Range& r : ranges) EXPECT_EQ(axisFormat(r.min, r.max), r.code) << r.max;
}

TEST_F(Axes, ViewsNamedInTheirUnits) {
    // 501 samples at 1000 Hz end at 0.5 s: milliseconds, x up to 500.
    PlotData* p = timeGraph(std::vector<float>(501, 0.1f), 1000.0);
    PassRanges r;
    ASSERT_EQ(convertDataPt(p, 0, r), 0);
    EXPECT_STREQ(passTitles().x, "Time (mS)");
    EXPECT_FLOAT_EQ(r.fxmax, 500.0f);
    EXPECT_FLOAT_EQ(p->unitScale, 1000.0f);
    // A view whose right edge is 1000 s: kiloseconds.
    p = timeGraph(std::vector<float>(1001, 0.1f), 1.0);
    p->noPtsPerPlot = 1001;
    ASSERT_EQ(convertDataPt(p, 0, r), 0);
    EXPECT_STREQ(passTitles().x, "Time (kS)");
    EXPECT_FLOAT_EQ(r.fxmax, 1.0f);
    // 256-bin frames at 8 kHz: 4 kHz wide, the first frame centred at 16 mS.
    put("s.fre", frames16(std::vector<int16_t>(2 * 512, 100), 256));
    ASSERT_EQ(show(QF_OP_MAGNITUDE_DISPLAY, "s.fre"), 0);
    p = graph(2);
    p->firstPt = 256;
    ASSERT_EQ(convertDataPt(p, 0, r), 0);
    EXPECT_STREQ(passTitles().x, "Frequency(kHz) @ [Frame 1/48.00 (mS)]");
    EXPECT_FLOAT_EQ(r.fxmax, 4.0f);
}

// Magnitudes from 1e-9 to 1: -8..1 decades in doubles, -5..1 in 16-bit words.
TEST_F(Axes, MagnitudeRangesByRecordType) {
    std::vector<double> pairs;
    for (int i = 0; i < 16; ++i) {
        pairs.push_back(i == 1 ? 1.0 : 1e-9);
        pairs.push_back(0.0);
    }
    put("d.fre", frames64(pairs, 16));
    ASSERT_EQ(show(QF_OP_MAGNITUDE_DISPLAY, "d.fre"), 0);
    PassRanges r;
    ASSERT_EQ(convertDataPt(graph(), 0, r), 0);
    EXPECT_EQ(r.fymin, -8.0f);
    EXPECT_EQ(r.fymax, 1.0f);
    EXPECT_EQ(r.yspacing, 1.0f);
    // The range grows to just inside the top decade (the bottom was already
    // lower: the first value, 1e-9).
    EXPECT_FLOAT_EQ(graph()->yMax, 9.9999f);
    EXPECT_FLOAT_EQ(graph()->yMin, 1e-9f);

    std::vector<int16_t> words(32, 0);
    words[2] = 32767;  // bin 1: almost 1
    words[4] = 1;      // bin 2: 1 / 32768, the rest 0
    put("w.fre", frames16(words, 16));
    ASSERT_EQ(show(QF_OP_MAGNITUDE_DISPLAY, "w.fre"), 0);
    ASSERT_EQ(convertDataPt(graph(1), 0, r), 0);
    EXPECT_EQ(r.fymin, -5.0f);
    EXPECT_EQ(r.fymax, 0.0f);
    // dB labels: 20 dB a decade of magnitude.
    host().mark();
    refresh(1);
    auto t = texts();
    EXPECT_NE(std::find(t.begin(), t.end(), "  -100.0 "), t.end());
    EXPECT_NE(std::find(t.begin(), t.end(), "   0.0 "), t.end());
    // Powers from 1e-18 to 1: -8..1 decades, 10 dB each (-80..10 dB).
    ASSERT_EQ(show(QF_OP_POWER_DISPLAY, "d.fre"), 0);  // replaces the magnitude window
    ASSERT_EQ(host().windows.size(), 2u);
    host().mark();
    refresh(1);
    t = texts();
    EXPECT_NE(std::find(t.begin(), t.end(), "  -80.0 "), t.end());
    EXPECT_NE(std::find(t.begin(), t.end(), "   10.0 "), t.end());
    EXPECT_EQ(std::find(t.begin(), t.end(), "  -160.0 "), t.end());
}

TEST_F(Axes, ManualRangesRescaleOnlyWhenTheCurveIsOutside) {
    PlotData* p = timeGraph({5.0f, 5.5f, 6.0f}, 8.0);
    p->z1DYAutoScaleYN = p->z1DYRoundYN = 'n';
    p->yMax = 1.0f;
    p->yMin = -1.0f;
    PassRanges r;
    ASSERT_EQ(convertDataPt(p, 0, r), 0);
    EXPECT_EQ(host().lastMessage(QF_MSG_NOTICE),
              "Graph curve is out of Y axis range.  Rescaling to make visible.");
    // Span 2 kept, the lowest value a quarter of it above the bottom.
    EXPECT_FLOAT_EQ(p->yMax, 5.5f);
    EXPECT_FLOAT_EQ(p->yMin, 3.5f);
    EXPECT_FLOAT_EQ(r.fymin, 3.5f);
    EXPECT_FLOAT_EQ(r.yspacing, 0.25f);

    // A curve partly inside keeps the range; a point far above is drawn at
    // drawing y 32767 and clipped.
    p = timeGraph({0.0f, 1e5f, 0.0f}, 8.0);
    p->z1DYAutoScaleYN = p->z1DYRoundYN = 'n';
    p->yMax = 1.0f;
    p->yMin = -1.0f;
    const std::size_t notices = host().messages(QF_MSG_NOTICE).size();
    refresh(1);
    EXPECT_EQ(host().messages(QF_MSG_NOTICE).size(), notices);
    const auto pts = curve();
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_EQ(pts[1].substr(pts[1].find(',') + 1), std::to_string(480 - 32767));
    const auto clip = host().callsNamed("DoSetRectangularClipRegion").back().args;
    EXPECT_EQ(clip, (std::vector<std::string>{"0x102", "107", "56", "571", "440"}));
}

TEST_F(Axes, AutoScaledRangesOnlyGrow) {
    PlotData* p = timeGraph({0.1f, 0.2f, 0.3f}, 8.0);
    p->yMax = 0.9f;
    PassRanges r;
    ASSERT_EQ(convertDataPt(p, 0, r), 0);
    EXPECT_FLOAT_EQ(r.fymax, 1.0f);  // 0.9 rounds up to 1
    EXPECT_FLOAT_EQ(p->yMax, 1.0f);
    EXPECT_FLOAT_EQ(p->yMin, 0.0f);
}

// 2400 samples alternating +-0.5 with one spike of 0.9 at sample 1001: the
// whole view is pairs of 2 samples a point, each pair the maximum and
// minimum of 4 samples; a repaint at the same place uses the cache.
TEST_F(Axes, DecimatedViewsKeepMaximaAndMinima) {
    std::vector<float> v(2400);
    for (int i = 0; i < 2400; ++i) v[i] = (i % 2) ? 0.5f : -0.5f;
    v[1001] = 0.9f;
    PlotData* p = timeGraph(v, 1000.0);
    send(gr1dXsCALEoUTmAX);
    EXPECT_EQ(p->ptStep, 2);
    EXPECT_EQ(p->noPtsPerPlot, 1200);
    host().mark();
    refresh();
    EXPECT_FLOAT_EQ(p->yBuf[500], 0.9f);
    EXPECT_FLOAT_EQ(p->yBuf[501], -0.5f);
    EXPECT_FLOAT_EQ(p->xBuf[500], 1000.0f * p->unitScale / 1000.0f);
    EXPECT_FLOAT_EQ(p->xBuf[501], p->xBuf[500]);
    EXPECT_EQ(p->cacheFirstPt, 0);
    bool pen11 = false;
    for (const HostCall& c : host().since("DoSelectPen")) pen11 = pen11 || c.args[1] == "11";
    EXPECT_TRUE(pen11);
    p->minMaxCache[500] = 0.25f;  // the cache, not the file, feeds the next paint
    refresh();
    EXPECT_FLOAT_EQ(p->yBuf[500], 0.25f);
}

// 2048 bins a frame, 600 points: a point keeps the largest bin since the
// last point.  Bin 6 falls between points 3 (bin 5) and 4 (bin 7).
TEST_F(Axes, WideSpectraKeepTheirPeaks) {
    std::vector<int16_t> words(2 * 2048, 0);
    words[2 * 6] = 1000;
    put("p.fre", frames16(words, 2048));
    ASSERT_EQ(show(QF_OP_MAGNITUDE_DISPLAY, "p.fre"), 0);
    PlotData* p = graph();
    EXPECT_EQ(p->noPtsPerPlot, 600);
    PassRanges r;
    ASSERT_EQ(convertDataPt(p, 0, r), 0);
    EXPECT_FLOAT_EQ(p->yBuf[3], 0.0f);
    EXPECT_FLOAT_EQ(p->yBuf[4], 1000 / 32768.0f);
    EXPECT_FLOAT_EQ(p->xBuf[4], 7 * 8000.0f / 2048 * p->unitScale);
}

TEST_F(Axes, LabelsThatWouldOverlapAreSkipped) {
    timeGraph({0, 0.25f, 0.5f, 0.75f, 1.0f, 0.75f, 0.5f, 0.25f}, 8.0);
    host().mark();
    refresh();
    const auto t = texts();
    // Labels 0..875 mS every 109.375: each is 10 characters (80 pixels)
    // wide and 57 pixels from the next, so every other one is drawn.
    for (const char* drawn : {"   0.00 ", "   218.75 ", "   437.50 ", "   656.25 ", "   875.00 "})
        EXPECT_NE(std::find(t.begin(), t.end(), drawn), t.end()) << drawn;
    for (const char* skipped : {"   109.38 ", "   328.12 ", "   546.88 ", "   765.62 "})
        EXPECT_EQ(std::find(t.begin(), t.end(), skipped), t.end()) << skipped;
}

TEST_F(Axes, TheItemPoolHasItsLimits) {
    resetPlotItems();
    PlotItem* it = nullptr;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(reservePlotItem(ItemType::Title, false, &it), 0);
    EXPECT_EQ(reservePlotItem(ItemType::Title, false, &it), 1);
    EXPECT_EQ(reservePlotItem(ItemType::AxisTitle, false, &it), 0);
    EXPECT_EQ(reservePlotItem(ItemType::AxisTitle, true, &it), 0);
    EXPECT_EQ(reservePlotItem(ItemType::AxisTitle, true, &it), 1);
    EXPECT_EQ(reservePlotItem(ItemType::Axis, false, &it), 0);
    EXPECT_EQ(reservePlotItem(ItemType::Axis, true, &it), 0);
    EXPECT_EQ(reservePlotItem(ItemType::Axis, true, &it), 1);
    EXPECT_EQ(reservePlotItem(ItemType::Grid, false, &it), 0);
    EXPECT_EQ(reservePlotItem(ItemType::Grid, false, &it), 1);
    EXPECT_EQ(reservePlotItem(ItemType::Grid, true, &it), 0);
    for (int i = graphs().itemsUsed; i < kPlotItemPool; ++i)
        EXPECT_EQ(reservePlotItem(ItemType::Curve, false, &it), 0);
    EXPECT_EQ(reservePlotItem(ItemType::Curve, false, &it), -2);
    resetPlotItems();
    EXPECT_EQ(reservePlotItem(ItemType::Title, false, &it), 0);
}

// A file may hold infinities and NaNs (binary REAL32 records, complex
// parts): the Y range is that of the finite points, and a graph with none
// is drawn on an empty axis, every label a number.
TEST_F(Axes, InfinitiesAndNaNsAreNotScaledTo) {
    const float inf = INFINITY, nan = NAN;
    auto numbersOnly = [](const std::vector<std::string>& labels) {
        for (std::string t : labels) {
            for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (t.find("nan") != std::string::npos || t.find("inf") != std::string::npos)
                return false;
        }
        return true;
    };
    const struct {
        const char* what;
        std::vector<float> values;
        const char* topLabel;  // null: not checked
    } cases[] = {
        {"a NaN first", {nan, 0, 0.25f, inf, 0.5f, 1.0f, -inf, 0.75f}, "   1.0000 "},
        {"infinities inside", {0, 0.25f, inf, 0.5f, nan, 1.0f, -inf, 0.75f}, "   1.0000 "},
        {"nothing finite", {nan, inf, -inf, nan}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        timeGraph(c.values, 8.0);
        host().mark();
        refresh(host().windows.size() - 1);
        const std::vector<std::string> t = texts();
        EXPECT_FALSE(t.empty());
        EXPECT_TRUE(numbersOnly(t));
        if (c.topLabel) {
            EXPECT_NE(std::find(t.begin(), t.end(), c.topLabel), t.end());
        }
    }
    // A spectrum with infinite and NaN parts, in dB on its decade grid.
    put("s.fre", frames64({1e300, 0, 1, 1, NAN, 0, 0.5, 0.5, INFINITY, 1, 0, 0, 2, 2, 3, 3}, 8));
    for (int32_t code : {QF_OP_MAGNITUDE_DISPLAY, QF_OP_POWER_DISPLAY, QF_OP_PHASE_DISPLAY}) {
        SCOPED_TRACE(code);
        ASSERT_EQ(show(code, "s.fre"), 0);
        host().mark();
        refresh(host().windows.size() - 1);
        EXPECT_FALSE(texts().empty());
        EXPECT_TRUE(numbersOnly(texts()));
    }
}
