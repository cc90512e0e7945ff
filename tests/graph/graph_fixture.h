// Graph tests: a started engine whose test host keeps graph windows (see
// support/test_host.h: 640 x 480 windows, text 8 pixels a character and 16
// high), signal files written byte by byte, and shortcuts to open, refresh
// and command graphs.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graph/plot_data.h"
#include "graph/seams.h"
#include "ops/time/signal_bytes.h"

namespace qf::test {

class GraphTest : public sig::OperationTest {
  protected:
    // Runs display operation `code` on `name` through RunOp.
    int32_t show(int32_t code, const std::string& name) {
        const std::string d = dir;
        return run(code, "", name, [d, name](CommandBlock& b, const HostCall&) {
            setEntry(b.out, d, name);
            return 0;
        });
    }
    TestHost& host() { return TestHost::instance(); }
    PlotData* graph(std::size_t i = 0) {
        return i < host().windows.size() ? host().windows[i].graph : nullptr;
    }
    QfWindow window(std::size_t i = 0) { return host().window(i); }
    // A message to the graph of window i, as the host sends it.
    void send(int32_t message, std::size_t i = 0) { plotGraphCtrl(message, window(i)); }
    // The host's first paint, after which the view is settled.
    void refresh(std::size_t i = 0) { send(grREFRESH, i); }
    int32_t command(int32_t c, std::size_t i = 0) { return grProcessCmd(graph(i), c); }

    // The points "x,y" of the curve (the polyline drawn between the clipping
    // calls) of the last pass.
    std::vector<std::string> curve() {
        const auto& calls = host().calls();
        std::vector<std::string> pts;
        for (std::size_t i = 0; i + 2 < calls.size(); ++i) {
            if (calls[i].name != "DoSetRectangularClipRegion") continue;
            if (calls[i + 1].name == "DoPolyLine")
                pts.assign(calls[i + 1].args.begin() + 2, calls[i + 1].args.end());
        }
        return pts;
    }
    // Texts drawn with DoTextOut since the last mark.
    std::vector<std::string> texts() {
        std::vector<std::string> t;
        for (const HostCall& c : host().since("DoTextOut")) t.push_back(c.args[2]);
        return t;
    }

    // A frame-spectrum file of 16-bit complex records (re, im pairs).
    static std::string frames16(const std::vector<int16_t>& pairs, int32_t frameSize,
                                double rate = 8000.0) {
        sig::Header h{.type = "CINT32RECT(W)",
                      .count = static_cast<int32_t>(pairs.size() / 2),
                      .rate = rate,
                      .extra = sig::line("Frame size", std::to_string(frameSize)) +
                               sig::line("Frame interval", std::to_string(frameSize)) +
                               sig::line("Window function", "Rectangular")};
        return sig::headerBytes(h) + sig::rawBytes(pairs);
    }
    // The same with double parts.
    static std::string frames64(const std::vector<double>& pairs, int32_t frameSize,
                                double rate = 8000.0) {
        sig::Header h{.type = "CREAL128RECT(W)",
                      .count = static_cast<int32_t>(pairs.size() / 2),
                      .rate = rate,
                      .extra = sig::line("Frame size", std::to_string(frameSize)) +
                               sig::line("Frame interval", std::to_string(frameSize)) +
                               sig::line("Window function", "Rectangular")};
        return sig::headerBytes(h) + sig::rawBytes(pairs);
    }
};

}  // namespace qf::test
