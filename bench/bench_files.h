// Signal files for the benchmarks: a fresh folder, and binary REAL32
// signal files of uniform noise written in blocks.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace qfbench {

// A fresh directory for one benchmark's signal files ("" on failure).
inline std::string makeBenchDirectory(const char* what) {
    const char* base = std::getenv("TMPDIR");
    std::string t = std::string(base && *base ? base : "/tmp") + "/qf-" + what + "-XXXXXX";
    std::vector<char> buf(t.begin(), t.end());
    buf.push_back('\0');
    const char* made = ::mkdtemp(buf.data());
    return made ? std::string(made) + "/" : std::string();
}

// The header of a binary REAL32 signal file of `samples` records.
inline std::string real32Header(int32_t samples) {
    return "Remark                : bench\r\n"
           "Number of record      : " +
           std::to_string(samples) +
           "\r\n"
           "Record type number    : REAL32\r\n"
           "Signal frequency      : 0 Hz\r\n"
           "Sampling rate         : 8000 Hz\r\n"
           "File format           : Binary\r\n"
           "Data begin            #\r\x1a";
}

// A binary REAL32 signal file of `samples` uniform values in [-1, 1),
// written in blocks so that making it costs no memory.
inline bool writeSignalFile(const std::string& path, int32_t samples) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const std::string header = real32Header(samples);
    bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> block(1 << 16);
    for (int32_t done = 0; ok && done < samples;) {
        const int32_t n = std::min<int32_t>(samples - done, static_cast<int32_t>(block.size()));
        for (int32_t i = 0; i < n; ++i) block[i] = dist(rng);
        ok = std::fwrite(block.data(), sizeof(float), n, f) == static_cast<std::size_t>(n);
        done += n;
    }
    return std::fclose(f) == 0 && ok;
}

}  // namespace qfbench
