// Pictures from the command line: qf plot and qf run --plots as a student
// runs them, checked by the drawing trace (the curve's points worked out
// from the plot frame the trace shows) and by the pixels of the PNG.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "host/qf_process.h"
#include "ops/time/signal_bytes.h"
#include "support/test_host.h"

using namespace qf::test;

namespace {

using QfPlot = QfTest;

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    return w;
}

// The trace's lines from the clip of the curve: the clip line, the curve.
struct Curve {
    int left = 0, top = 0, right = 0, bottom = 0;  // the plot frame (window)
    std::vector<std::string> points;
};
Curve curveOf(const std::string& trace) {
    Curve c;
    std::istringstream in(trace);
    std::string line, last;
    while (std::getline(in, line)) {
        if (last.rfind("DoSetRectangularClipRegion", 0) == 0 && line.rfind("DoPolyLine", 0) == 0) {
            const auto clip = words(last);
            c.left = std::stoi(clip[2]);
            c.top = std::stoi(clip[3]);
            c.right = std::stoi(clip[4]) - 1;
            c.bottom = std::stoi(clip[5]) - 1;
            const auto w = words(line);
            c.points.assign(w.begin() + 3, w.end());
        }
        last = line;
    }
    return c;
}

}  // namespace

// Eight samples at 8 Hz: x 0..875 mS and y 0..1 (a nice range) across the
// plot frame.
TEST_F(QfPlot, ThePictureHoldsTheCurveInsideItsFrame) {
    const std::vector<float> v = {0, 0.25f, 0.5f, 0.75f, 1.0f, 0.75f, 0.5f, 0.25f};
    writeFile(dir + "r.tim", sig::real32File(v, 8.0));
    QfResult r = qf("plot r.tim --size 640x480 --out r.png --draw-trace r.trace");
    ASSERT_EQ(r.status, 0) << r.output;
    const Curve c = curveOf(readFile(dir + "r.trace"));
    ASSERT_EQ(c.points.size(), 8u);
    const int frameBottom = 480 - c.bottom, frameTop = 480 - c.top;  // drawing y
    for (int i = 0; i < 8; ++i) {
        const int x = static_cast<int>((c.right - c.left) / 875.0 * (i * 125.0) + c.left);
        const int y = 480 - static_cast<int>((frameTop - frameBottom) * v[i] + frameBottom);
        EXPECT_EQ(c.points[i], std::to_string(x) + "," + std::to_string(y)) << i;
    }
    EXPECT_NE(readFile(dir + "r.trace").find("DoTextOut w1 3 \"Time (mS)\""), std::string::npos);

    // The curve is the only black in the picture, all of it inside the
    // frame; the margins are background.
    cairo_surface_t* png = cairo_image_surface_create_from_png((dir + "r.png").c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(png), 640);
    ASSERT_EQ(cairo_image_surface_get_height(png), 480);
    const unsigned char* data = cairo_image_surface_get_data(png);
    const int stride = cairo_image_surface_get_stride(png);
    auto pixel = [&](int x, int y) {
        return *reinterpret_cast<const uint32_t*>(data + y * stride + 4 * x) & 0xFFFFFFu;
    };
    auto dark = [](uint32_t p) {
        return (p & 0xFF) < 0x20 && ((p >> 8) & 0xFF) < 0x20 && ((p >> 16) & 0xFF) < 0x20;
    };
    int black = 0, outside = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            if (!dark(pixel(x, y))) continue;
            ++black;
            if (x < c.left || x > c.right || y < c.top || y > c.bottom) ++outside;
        }
    EXPECT_GT(black, 100);
    EXPECT_EQ(outside, 0);
    const uint32_t background = pixel(3, 470);
    EXPECT_EQ(background, pixel(c.right + 10, c.bottom - 10));
    EXPECT_EQ(background, 0xEEEEE3u);  // colour 8
    cairo_surface_destroy(png);
}

TEST_F(QfPlot, SpectraAsVectorsAndPrintedPages) {
    QfResult r = qf("sine tone.tim --freq 125 --rate 1000 --samples 1024");
    ASSERT_EQ(r.status, 0) << r.output;
    ASSERT_EQ(qf("fft tone.tim tone.fre --size 256").status, 0);
    r = qf("plot tone.fre --out m.svg");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(readFile(dir + "m.svg").find("<svg"), std::string::npos);
    r = qf("plot tone.fre --kind power --out p.pdf");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(readFile(dir + "p.pdf").rfind("%PDF", 0), 0u);
    r = qf("plot tone.fre --kind phase --out ph.png --size 320x200");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(readFile(dir + "ph.png").substr(1, 3), "PNG");
    // No partial files are left.
    EXPECT_FALSE(fileExists(dir + "m.svg.qf-part"));
    EXPECT_FALSE(fileExists(dir + "p.pdf.qf-part"));
}

TEST_F(QfPlot, RefusedPlotsWriteNothing) {
    writeFile(dir + "r.tim", sig::real32File({0.1f, 0.2f, 0.3f, 0.4f}, 8.0));
    QfResult r = qf("plot r.tim --kind magnitude --out m.png");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("Selected file is not a frequency file."), std::string::npos)
        << r.output;
    EXPECT_FALSE(fileExists(dir + "m.png"));
    r = qf("plot none.tim --out m.png");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_FALSE(fileExists(dir + "m.png"));
    EXPECT_EQ(qf("plot r.tim --out m.jpg").status, 2);
    EXPECT_EQ(qf("plot r.tim --kind bars --out m.png").status, 2);
    EXPECT_EQ(qf("plot r.tim --size 5x5 --out m.png").status, 2);
}

TEST_F(QfPlot, AReplaySavesItsGraphsAndPrints) {
    writeFile(dir + "a.tim", sig::real32File({0.1f, 0.2f, 0.3f, 0.4f}, 8.0));
    writeFile(dir + "show.scr", "4060 WaveformDisplay          ./ a.tim\r\n1100 PrintGraph\r\n");
    QfResult r = qf("run show.scr --plots out");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(readFile(dir + "out/a-waveform.png").substr(1, 3), "PNG");
    EXPECT_EQ(readFile(dir + "out/print-1.pdf").rfind("%PDF", 0), 0u);
}

TEST_F(QfPlot, TheShellDrivesTheActiveGraph) {
    std::vector<float> v(5000);
    for (int i = 0; i < 5000; ++i) v[i] = static_cast<float>(std::sin(i / 50.0));
    writeFile(dir + "long.tim", sig::real32File(v, 1000.0));
    QfResult r = qf("shell",
                    "plot long.tim --size 400x300\n"
                    "zoom out-max\nzoom in\nyzoom out\nyzoom auto\npan right\npan home\n"
                    "windows\nsave z.png\nsave z.svg\nsave z.pdf\n"
                    "zoom in-reset\ngoto 1200\ndraw-trace t.txt\nsave y.png\ndraw-trace off\n");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("*1 " + dir + "long.tim"), std::string::npos) << r.output;
    for (const char* f : {"z.png", "z.svg", "z.pdf", "y.png"})
        EXPECT_TRUE(fileExists(dir + f)) << f;
    // One sample a point from sample 1200: 1.2 to 1.799 s.
    const std::string trace = readFile(dir + "t.txt");
    EXPECT_NE(trace.find("\"Time (Sec)\""), std::string::npos) << trace;
    EXPECT_NE(trace.find("\"   1.2000 \""), std::string::npos) << trace;
    r = qf("shell", "zoom in\n");
    EXPECT_NE(r.output.find("no graph is open"), std::string::npos);
}
