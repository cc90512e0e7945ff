// The pieces of the foreign formats: text lines and their values, "%4hX"
// words, limits of floating-point text, and WAVE chunks.
//
// WAVE: "RIFF" size "WAVE", then chunks of a 4-byte id, a 32-bit size
// (little-endian) and the data, padded to an even length:
//   "fmt "  format tag, channels (16 bits each), sample rate, byte rate
//           (32 bits each), block align, bits per sample (16 bits each),
//           then any further format bytes
//   "data"  the samples, interleaved by channel
// Other chunks ("LIST", "fact" ...) may come before or between them.
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ops/io/io.h"
#include "platform/fs.h"

namespace qf::io {

bool readLine(std::FILE* f, std::string& line) {
    char buf[kLineLimit + 1];
    for (;;) {
        if (!platform::readLine(f, buf, sizeof buf)) return false;
        if (buf[0] == '\x1a') continue;
        line.assign(buf);
        return true;
    }
}

int64_t countLines(std::FILE* f) {
    std::string line;
    int64_t n = 0;
    while (readLine(f, line)) ++n;
    return n;
}

std::vector<std::string> lineFields(const std::string& line, std::size_t max) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    auto isDelimiter = [](char c) { return c == ' ' || c == ',' || c == '\'' || c == '"'; };
    while (i < line.size() && fields.size() < max) {
        while (i < line.size() && isDelimiter(line[i])) ++i;
        std::size_t start = i;
        while (i < line.size() && !isDelimiter(line[i])) ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

namespace {
int hexValue(int c) {
    return std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
}
}  // namespace

bool readHexWord(std::FILE* f, uint16_t& word) {
    int c;
    do c = platform::readChar(f);
    while (c != EOF && std::isspace(c));
    int width = 4;
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        --width;
        c = platform::readChar(f);
    }
    int digits = 0;
    uint32_t v = 0;
    if (width > 0 && c == '0') {
        ++digits;
        --width;
        c = platform::readChar(f);
        if (width > 0 && (c == 'x' || c == 'X')) {
            --width;
            c = platform::readChar(f);
        }
    }
    while (width > 0 && c != EOF && std::isxdigit(c)) {
        v = v * 16 + static_cast<uint32_t>(hexValue(c));
        ++digits;
        --width;
        c = platform::readChar(f);
    }
    platform::unreadChar(f, c);
    if (digits == 0) return false;
    word = static_cast<uint16_t>(negative ? 0u - v : v);
    return true;
}

bool readNumber(std::FILE* f, double& value) {
    int c;
    do c = platform::readChar(f);
    while (c != EOF && std::isspace(c));
    char buf[64];
    std::size_t n = 0;
    while (c != EOF && !std::isspace(c)) {
        if (n + 1 < sizeof buf) buf[n++] = static_cast<char>(c);
        c = platform::readChar(f);
    }
    buf[n] = '\0';
    if (n == 0) return false;
    char* end = nullptr;
    value = std::strtod(buf, &end);
    return end != buf;
}

int16_t wordFromLong(int64_t value, char overflowMode) {
    if (overflowMode == 's') {
        if (value >= 32768) return 32767;
        if (value < -32768) return -32768;
    }
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(value) & 0xFFFFu));
}

double limitToFloatRange(double v) {
    constexpr double kMax = 3.4028234663852886e+38;
    constexpr double kMin = 1.1754943508222875e-38;
    if (v > kMax) return kMax;
    if (v < -kMax) return -kMax;
    if (std::fabs(v) < kMin) return 0.0;
    return v;
}

// ---------------------------------------------------------------------------
// WAVE

namespace {

uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
void put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void put16(std::string& s, uint32_t v) {
    for (int i = 0; i < 2; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

WaveRead readWaveFormat(std::FILE* f, int64_t fileSize, WaveFormat& w) {
    unsigned char head[12];
    if (!platform::fileSeek(f, 0)) return WaveRead::ShortRead;
    if (platform::readFile(f, head, sizeof head) != sizeof head) return WaveRead::ShortRead;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return WaveRead::NotWave;
    bool haveFormat = false, haveData = false;
    int64_t at = 12;
    while (!(haveFormat && haveData)) {
        unsigned char chunk[8];
        if (at + 8 > fileSize) return WaveRead::NotWave;
        if (!platform::fileSeek(f, at) || platform::readFile(f, chunk, 8) != 8)
            return WaveRead::ShortRead;
        const uint32_t size = le32(chunk + 4);
        const int64_t body = at + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char fmt[16];
            if (size < 16) return WaveRead::NotWave;
            if (body + 16 > fileSize) return WaveRead::ShortRead;
            if (platform::readFile(f, fmt, sizeof fmt) != sizeof fmt) return WaveRead::ShortRead;
            w.tag = le16(fmt);
            w.channels = le16(fmt + 2);
            w.sampleRate = le32(fmt + 4);
            w.byteRate = le32(fmt + 8);
            w.blockAlign = le16(fmt + 12);
            w.bitsPerSample = le16(fmt + 14);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (body + size > fileSize) return WaveRead::ShortRead;
            w.dataOffset = body;
            w.dataSize = size;
            haveData = true;
        }
        at = body + size + (size & 1u);
    }
    if (w.channels == 0 || w.blockAlign == 0) return WaveRead::NotWave;
    return WaveRead::Ok;
}

std::string waveHeader(int32_t channels, uint32_t sampleRate, int32_t bytesPerSample,
                       int64_t samples) {
    const uint32_t dataSize = static_cast<uint32_t>(bytesPerSample * samples);
    const uint32_t blockAlign = static_cast<uint32_t>(bytesPerSample * channels);
    std::string s = "RIFF";
    put32(s, 36 + dataSize);
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 1);
    put16(s, static_cast<uint32_t>(channels));
    put32(s, sampleRate);
    put32(s, sampleRate * blockAlign);
    put16(s, blockAlign);
    put16(s, static_cast<uint32_t>(8 * bytesPerSample));
    s += "data";
    put32(s, dataSize);
    return s;
}

}  // namespace qf::io
