// Frame files and references for the spectral operation tests: frame
// spectra written and read byte by byte (CREAL128RECT(W): two doubles per
// bin; CINT32RECT(W): two 16-bit words), naive transforms from their
// definitions, the windows from their formulas, and a script-line round
// trip through an operation's own slots.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/operation.h"
#include "ops/time/signal_bytes.h"

namespace qf::test::spectral {

using Complex = std::complex<double>;
using sig::Header;
using sig::line;

inline const double kPi = std::acos(-1.0);

// A frame file of CREAL128RECT(W) bins.
inline std::string frameFile(const std::vector<Complex>& bins, int32_t frameSize, int32_t interval,
                             const std::string& window = "Rectangular", double rate = 8000.0) {
    Header h;
    h.type = "CREAL128RECT(W)";
    h.count = static_cast<int32_t>(bins.size());
    h.rate = rate;
    h.extra = line("Frame size", std::to_string(frameSize)) +
              line("Frame interval", std::to_string(interval)) + line("Window function", window);
    std::string data(bins.size() * 16, '\0');
    for (std::size_t i = 0; i < bins.size(); ++i) {
        const double parts[2] = {bins[i].real(), bins[i].imag()};
        std::memcpy(&data[i * 16], parts, 16);
    }
    return sig::headerBytes(h) + data;
}

// A frame file of CINT32RECT(W) records (re, im words).
inline std::string wordFrameFile(const std::vector<int16_t>& words, int32_t frameSize) {
    Header h;
    h.type = "CINT32RECT(W)";
    h.count = static_cast<int32_t>(words.size() / 2);
    h.extra = line("Frame size", std::to_string(frameSize)) +
              line("Frame interval", std::to_string(frameSize)) +
              line("Window function", "Rectangular");
    return sig::headerBytes(h) + sig::rawBytes(words);
}

// The bins of a binary CREAL128RECT(W) file.
inline std::vector<Complex> bins(const sig::Parsed& p) {
    std::vector<Complex> v(p.data.size() / 16);
    for (std::size_t i = 0; i < v.size(); ++i) {
        double parts[2];
        std::memcpy(parts, p.data.data() + i * 16, 16);
        v[i] = Complex(parts[0], parts[1]);
    }
    return v;
}

// x[n] = (1/N) sum_k X[k] e^(+2 pi i n k / N), by the definition.
inline std::vector<Complex> naiveInverse(const std::vector<Complex>& X) {
    const std::size_t n = X.size();
    std::vector<Complex> x(n);
    for (std::size_t t = 0; t < n; ++t) {
        for (std::size_t k = 0; k < n; ++k)
            x[t] += X[k] * std::polar(1.0, 2.0 * kPi * static_cast<double>((t * k) % n) / n);
        x[t] /= static_cast<double>(n);
    }
    return x;
}

// The Hanning window at point i of n: 0.5 + 0.5 cos(2 pi d / n), d the
// distance from the centre (n - 1) / 2.
inline double hanning(int32_t i, int32_t n) {
    return 0.5 + 0.5 * std::cos(2.0 * kPi * (i - (n - 1) / 2.0) / n);
}

// Deterministic values in (-1, 1).
struct Noise {
    uint32_t state;
    double next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<int32_t>(state >> 8) / 8388608.0 - 1.0;
    }
};

// Writes the current block's script line with the operation's own slot and
// reads it back into a cleared block with the reader slot: the line, and
// the reader's result in `read`.
inline std::string scriptRoundTrip(CommandBlock& block, const std::string& dir, int32_t& read) {
    const OperationRecord* r = findOperation(block.opCode);
    EXPECT_NE(r, nullptr);
    if (r == nullptr) return "";
    runtime().block = &block;
    const std::string path = dir + "line.scr";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f == nullptr) return "";
    EXPECT_EQ(r->writeScriptLine(0, f), 0);
    std::fclose(f);
    const std::string text = readFile(path);
    const int32_t code = block.opCode;
    std::memset(&block, 0, sizeof block);
    block.opCode = code;
    read = r->readScriptLine(0, text.c_str(), r->checkParams);
    return text;
}

}  // namespace qf::test::spectral
