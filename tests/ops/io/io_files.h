// Foreign files for the import and export tests, built byte by byte: RIFF
// WAVE files from their chunks, and readers of the bytes the exporter
// writes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ops/time/signal_bytes.h"

namespace qf::test::io {

inline std::string le16(uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
inline std::string le32(uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}
inline std::string chunk(const std::string& id, const std::string& body) {
    std::string c = id + le32(static_cast<uint32_t>(body.size())) + body;
    if (body.size() % 2) c += '\0';
    return c;
}
// The 16 bytes of a format block, then `extra` format bytes.
inline std::string fmtBlock(int channels, uint32_t rate, int bits, const std::string& extra = "",
                            int tag = 1) {
    const int align = channels * ((bits + 7) / 8);
    return le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits) +
           extra;
}
// RIFF "WAVE" around the given chunks.
inline std::string riff(const std::string& chunks) {
    return "RIFF" + le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}
inline std::string wave(int channels, uint32_t rate, int bits, const std::string& data) {
    return riff(chunk("fmt ", fmtBlock(channels, rate, bits)) + chunk("data", data));
}
inline std::string pcm16(const std::vector<int16_t>& v) {
    return sig::rawBytes(v);
}

// The samples of a 16-bit PCM WAVE file, found by walking its chunks.
inline std::vector<int16_t> waveWords(const std::string& file) {
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        uint32_t size;
        std::memcpy(&size, file.data() + at + 4, 4);
        if (file.compare(at, 4, "data") == 0) {
            std::vector<int16_t> v(size / 2);
            std::memcpy(v.data(), file.data() + at + 8, v.size() * 2);
            return v;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

}  // namespace qf::test::io
