// What the tests of the signal models (LPC, LMS, Wiener) share: a
// reproducible noise source, coefficient files written and read from their
// format description, frame-file bins, and script lines written and read
// back through an operation's own slots.
#pragma once

#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/operation.h"
#include "ops/time/signal_bytes.h"

namespace qf::test::models {

// Uniform values in [-0.5, 0.5) from a 32-bit linear congruential generator.
class Noise {
  public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    double next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / 16777216.0 - 0.5;
    }

  private:
    uint32_t state_;
};

// "% 22.15E" with a three-digit exponent: the text record of a coefficient.
inline std::string coefficientText(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "% 22.15E", v);
    std::string s = b;
    const std::size_t e = s.find('E');
    if (s.size() - e == 4) s.insert(e + 2, "0");  // E+01 -> E+001
    return s;
}

// A coefficient file of order p from the records of its frames (2p each).
inline std::string coefficientFile(const std::vector<double>& records, int32_t p, int32_t frameSize,
                                   int32_t interval) {
    sig::Header h;
    h.type = "LPCCoeffREAL8 35";
    h.count = static_cast<int32_t>(records.size());
    h.binary = false;
    h.extra = sig::line("LPC Order", std::to_string(p)) +
              sig::line("Frame Size", std::to_string(frameSize)) +
              sig::line("Frame Interval", std::to_string(interval));
    std::string s = sig::headerBytes(h);
    for (std::size_t i = 0; i < records.size(); ++i) {
        char frame[64];
        const long f = static_cast<long>(i / (2 * p));
        if (i % (2 * p) == 0) std::snprintf(frame, sizeof frame, "Frame %9ld : a1, a2, a3...", f);
        if (i % (2 * p) == static_cast<std::size_t>(p))
            std::snprintf(frame, sizeof frame, "Frame %9ld : k1, k2, k3...", f);
        if (i % p == 0) s += std::string(frame) + "\r\n";
        s += coefficientText(records[i]) + "\r\n";
    }
    return s;
}

// The values of a coefficient file's data part: every line that is not a
// frame line.  `frameLines` counts those.
inline std::vector<double> coefficientValues(const sig::Parsed& p, int* frameLines = nullptr) {
    std::vector<double> v;
    int frames = 0;
    for (std::size_t at = 0; at < p.data.size();) {
        std::size_t end = p.data.find("\r\n", at);
        if (end == std::string::npos) end = p.data.size();
        const std::string l = p.data.substr(at, end - at);
        if (l.rfind("Frame", 0) == 0)
            ++frames;
        else if (!l.empty())
            v.push_back(std::strtod(l.c_str(), nullptr));
        at = end + 2;
    }
    if (frameLines) *frameLines = frames;
    return v;
}

// The bins of a binary CREAL128RECT(W) file.
inline std::vector<std::complex<double>> bins(const sig::Parsed& p) {
    std::vector<double> parts(p.data.size() / 8);
    std::memcpy(parts.data(), p.data.data(), parts.size() * 8);
    std::vector<std::complex<double>> b;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) b.emplace_back(parts[i], parts[i + 1]);
    return b;
}

// Writes the block's script line through the operation's own slot.
inline std::string writtenLine(CommandBlock& b, const std::string& path) {
    runtime().block = &b;
    OperationRecord* r = findOperation(b.opCode);
    if (r == nullptr) return "";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return "";
    const int32_t written = r->writeScriptLine(0, f);
    std::fclose(f);
    return written == 0 ? readFile(path) : std::string("(refused)");
}

// Reads a line into a cleared block through the operation's own slot.
inline int32_t readLine(CommandBlock& b, int32_t code, const std::string& line) {
    std::memset(&b, 0, sizeof b);
    b.opCode = code;
    runtime().block = &b;
    OperationRecord* r = findOperation(code);
    return r ? r->readScriptLine(0, line.c_str(), r->checkParams) : -1;
}

// A directory word of a script line: blanks as '*'.
inline std::string escaped(std::string s) {
    for (char& c : s)
        if (c == ' ') c = '*';
    return s;
}

}  // namespace qf::test::models
