// Signal files written and read byte by byte for the operation tests,
// independently of the engine's own file access: a header of
// "Key<padded to 22>: value" CR LF lines ending with "Data begin" '#', then
// CR LF (text) or CR 0x1A (binary) and the records.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "core/engine.h"
#include "core/operation.h"
#include "support/test_host.h"

namespace qf::test::sig {

// Expected records and host-call arguments as tests write them.
using Words = std::vector<int16_t>;
using Floats = std::vector<float>;
using Texts = std::vector<std::string>;

inline std::string line(const std::string& key, const std::string& value) {
    std::string k = key;
    k.resize(22, ' ');
    return k + ": " + value + "\r\n";
}

struct Header {
    std::string type = "INTEGER16";
    int32_t count = 0;
    double rate = 8000.0;
    bool binary = true;
    std::string remark = "test signal";
    std::string extra;  // type-specific lines, already formatted
};

inline std::string headerBytes(const Header& h) {
    char rate[64];
    std::snprintf(rate, sizeof rate, "%g Hz", h.rate);
    std::string s = line("Remark", h.remark) + line("Number of record", std::to_string(h.count)) +
                    line("Record type number", h.type) + line("Signal frequency", "0 Hz") +
                    line("Sampling rate", rate) +
                    line("File format", h.binary ? "Binary" : "ASCII") + h.extra;
    s += "Data begin            #";
    s += h.binary ? std::string("\r\x1a") : std::string("\r\n");
    return s;
}

template <typename T>
std::string rawBytes(const std::vector<T>& v) {
    return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

inline std::string int16File(const std::vector<int16_t>& v, double rate = 8000.0,
                             bool binary = true) {
    Header h;
    h.count = static_cast<int32_t>(v.size());
    h.rate = rate;
    h.binary = binary;
    std::string s = headerBytes(h);
    if (binary) return s + rawBytes(v);
    for (int16_t w : v) {
        char b[16];
        std::snprintf(b, sizeof b, "%04X\r\n", static_cast<unsigned>(static_cast<uint16_t>(w)));
        s += b;
    }
    return s;
}

inline std::string real32File(const std::vector<float>& v, double rate = 8000.0) {
    Header h;
    h.type = "REAL32";
    h.count = static_cast<int32_t>(v.size());
    h.rate = rate;
    return headerBytes(h) + rawBytes(v);
}

// first, first + 1, ... as n 16-bit words.
inline std::vector<int16_t> ramp(int n, int first = 0) {
    std::vector<int16_t> v;
    for (int i = 0; i < n; ++i) v.push_back(static_cast<int16_t>(first + i));
    return v;
}

// A 16-bit complex frame file, a type the time-domain kernels do not take.
inline std::string complexFile() {
    const Header h{.type = "CINT32RECT(W)",
                   .count = 4,
                   .extra = line("Frame size", "4") + line("Frame interval", "4") +
                            line("Window function", "Rectangular")};
    return headerBytes(h) + rawBytes(std::vector<int16_t>(8, 0));
}

// A recording with the given calibration.
inline std::string realtimeFile(const std::vector<int16_t>& v, int channels, double range,
                                double gain) {
    Header h;
    h.type = "REALTIMEINT16";
    h.count = static_cast<int32_t>(v.size());
    h.extra =
        line("Number of channels", std::to_string(channels)) + line("ADC/DAC device code", "0");
    for (int c = 0; c < channels; ++c) {
        char b[96];
        std::snprintf(b, sizeof b, "Ch%d%s range gain source: %g %g %d\r\n", c, c < 10 ? " " : "",
                      range, gain, c);
        h.extra += b;
    }
    return headerBytes(h) + rawBytes(v);
}

// A parsed signal file.
struct Parsed {
    std::map<std::string, std::string> fields;  // key -> value
    bool binary = false;
    std::string data;  // everything after the header
    std::string field(const std::string& k) const {
        auto it = fields.find(k);
        return it == fields.end() ? std::string("(missing)") : it->second;
    }
    // The values of several fields, in the order asked.
    std::vector<std::string> values(std::initializer_list<const char*> keys) const {
        std::vector<std::string> v;
        for (const char* k : keys) v.push_back(field(k));
        return v;
    }
    int32_t count() const { return std::atoi(field("Number of record").c_str()); }
    double rate() const { return std::atof(field("Sampling rate").c_str()); }
};

inline Parsed parse(const std::string& bytes) {
    Parsed p;
    const std::size_t hash = bytes.find('#');
    if (hash == std::string::npos || hash + 3 > bytes.size()) return p;
    p.binary = bytes[hash + 2] == '\x1a';
    p.data = bytes.substr(hash + 3);
    std::size_t pos = 0;
    while (pos < hash) {
        std::size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos || end > hash) break;
        std::string l = bytes.substr(pos, end - pos);
        std::size_t colon = l.find(": ");
        if (colon != std::string::npos) {
            std::string key = l.substr(0, colon);
            while (!key.empty() && key.back() == ' ') key.pop_back();
            p.fields[key] = l.substr(colon + 2);
        }
        pos = end + 2;
    }
    return p;
}

// The records of a parsed file: raw, or text lines of `width` bytes (the
// number, then CR LF) read by `fromText`.
template <typename T>
std::vector<T> records(const Parsed& p, std::size_t width, T (*fromText)(const char*)) {
    std::vector<T> v(p.binary ? p.data.size() / sizeof(T) : 0);
    if (p.binary) std::memcpy(v.data(), p.data.data(), v.size() * sizeof(T));
    for (std::size_t i = 0; !p.binary && i + width <= p.data.size(); i += width)
        v.push_back(fromText(p.data.substr(i, width - 2).c_str()));
    return v;
}
inline std::vector<int16_t> int16Records(const Parsed& p) {
    return records<int16_t>(
        p, 6, [](const char* s) { return static_cast<int16_t>(std::strtoul(s, nullptr, 16)); });
}
inline std::vector<float> real32Records(const Parsed& p) {
    return records<float>(p, 17, [](const char* s) { return std::strtof(s, nullptr); });
}

// v matches `e` within `tolerance`, value by value.
inline void expectNear(const std::vector<float>& v, const std::vector<double>& e,
                       double tolerance) {
    ASSERT_EQ(v.size(), e.size());
    for (std::size_t i = 0; i < v.size(); ++i) EXPECT_NEAR(v[i], e[i], tolerance) << i;
}

// A test with a started engine, a work directory and helpers to run one
// operation through RunOp with its dialog answered.
class OperationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home = makeTempDir();
        dir = makeTempDir();
        resetForLoad();  // as if the library had just been loaded
        ASSERT_EQ(startEngine(home), 0);
        std::memset(&block, 0, sizeof block);
    }
    void TearDown() override { ExitQuillfen(); }

    void put(const std::string& name, const std::string& bytes) { writeFile(dir + name, bytes); }
    Parsed get(const std::string& name) { return parse(readFile(dir + name)); }
    bool exists(const std::string& name) { return fileExists(dir + name); }

    // Runs `code` on in1 (and in2) into out; `answers` answer the dialog
    // each time it is asked.
    int32_t run(int32_t code, const std::string& in1, const std::string& out,
                std::initializer_list<DialogAnswer> answers, const std::string& in2 = "") {
        setEntry(block.in1, dir, in1);
        setEntry(block.in2, dir, in2);
        setEntry(block.out, dir, out);
        for (const DialogAnswer& a : answers) TestHost::instance().answer(a);
        block.opCode = code;
        return RunOp(&block);
    }
    int32_t run(int32_t code, const std::string& in1, const std::string& out,
                DialogAnswer dialog = nullptr, const std::string& in2 = "") {
        if (!dialog) dialog = [](CommandBlock&, const HostCall&) { return 0; };
        return run(code, in1, out, {dialog}, in2);
    }
    std::vector<int16_t> words(const std::string& name) { return int16Records(get(name)); }
    std::vector<float> floats(const std::string& name) { return real32Records(get(name)); }
    std::string described() { return TestHost::instance().lastMessage(QF_MSG_DESCRIPTION); }
    // A dialog answer storing `v...` as the first parameters, each at its
    // own size: with(3) one int32_t, with(0.5, 1.0) two doubles.
    template <typename... T>
    static DialogAnswer with(T... v) {
        static_assert(((std::is_same_v<T, int32_t> || std::is_same_v<T, double>)&&...));
        return [v...](CommandBlock& b, const HostCall&) {
            unsigned char* at = reinterpret_cast<unsigned char*>(&b) + QF_PARAM_OFFSET;
            ((std::memcpy(at, &v, sizeof v), at += sizeof v), ...);
            return 0;
        };
    }
    std::vector<std::string> messages(int kind) { return TestHost::instance().messages(kind); }
    // The script line the block's operation writes with its own slot.
    std::string lineWritten() {
        const OperationRecord* r = findOperation(block.opCode);
        if (r == nullptr) return "(no record)";
        runtime().block = &block;
        const std::string path = dir + "line.scr";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_EQ(r->writeScriptLine(0, f), 0);
        std::fclose(f);
        return readFile(path);
    }
    // `line` read into the block by its operation's reader slot.
    int32_t lineRead(const std::string& line) {
        const OperationRecord* r = findOperation(block.opCode);
        runtime().block = &block;
        return r ? r->readScriptLine(0, line.c_str(), r->checkParams) : -1;
    }

    std::string home, dir;
    CommandBlock block;
};

// Script lines of operations on files in a folder with a blank in its name
// (`spaced`, "my data/"; `star` as lines write it, '*' for each blank).
class SpacedLines : public OperationTest {
  protected:
    void SetUp() override {
        OperationTest::SetUp();
        spaced = dir + "my data/";
        star = spaced;
        for (char& c : star)
            if (c == ' ') c = '*';
        ASSERT_EQ(::mkdir(spaced.c_str(), 0755), 0);
    }
    // The block, naming "in put.tim", "other.tim" and "out file.tim" there.
    void prepare(int32_t code) {
        std::memset(&block, 0, sizeof block);
        setEntry(block.in1, spaced, "in put.tim");
        setEntry(block.in2, spaced, "other.tim");
        setEntry(block.out, spaced, "out file.tim");
        block.opCode = code;
        runtime().block = &block;
    }
    std::string spaced, star;
};

}  // namespace qf::test::sig
