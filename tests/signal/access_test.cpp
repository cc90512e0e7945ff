// Signal file access through the recording test host: round trips of every
// file type in both formats, the byte layout of written files, window
// movement, and every refusal with its message.
#include "signal/access.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "core/engine.h"
#include "platform/fs.h"
#include "signal/format.h"
#include "support/test_host.h"

namespace qf {
namespace {

using test::TestHost;
using Values = std::function<double(int32_t i, int k)>;  // element k of record i
using Records = std::vector<std::vector<double>>;
const Values ramp = [](int32_t i, int) { return double(i); };

// Records hold INT16 words, REAL32 or REAL64 elements.
int elementSize(int32_t type) {
    return type == kReal32 ? 4 : type == kCReal128Rect || type == kLpcCoeffReal8 ? 8 : 2;
}
// Stores *v (when given) as a T at `at`; returns the element there.
template <typename T>
double element(char* at, const double* v) {
    T x = v ? T(*v) : T();
    if (v) std::memcpy(at, &x, sizeof x);
    std::memcpy(&x, at, sizeof x);
    return x;
}
// Element k of record i in the window (storing *v first when given).
double element(SignalDescriptor& d, int32_t i, int k, const double* v = nullptr) {
    const int size = elementSize(d.recordType);
    char* at = static_cast<char*>(d.buffer) + (i - d.windowStart) * d.recordSize + k * size;
    return size == 2   ? element<int16_t>(at, v)
           : size == 4 ? element<float>(at, v)
                       : element<double>(at, v);
}
int elements(const SignalDescriptor& d) {
    return d.recordSize / elementSize(d.recordType);
}

// A hand-written file: the common lines 1 to 6, type lines, data.
std::string handFile(const std::string& count, const std::string& type,
                     const std::string& lines = "", const std::string& data = "",
                     const std::string& format = "ASCII") {
    return "Remark                : hand made\r\nNumber of record      : " + count +
           "\r\nRecord type number    : " + type +
           "\r\nSignal frequency      : 0 Hz\r\nSampling rate         : 8000 Hz\r\n"
           "File format           : " +
           format + "\r\n" + lines + "Data begin            #\r\n" + data;
}
std::string frameLines(const std::string& size, const std::string& interval) {
    return "Frame size            : " + size + "\r\nFrame interval        : " + interval +
           "\r\nWindow function       : Hamming\r\n";
}
std::string channelLines(const std::string& count, const std::string& device = "0") {
    return "Number of channels    : " + count + "\r\nADC/DAC device code   : " + device + "\r\n";
}

class SignalAccess : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = test::makeTempDir();
        ASSERT_EQ(test::startEngine(dir), 0);
        TestHost::instance().reset();
    }
    void TearDown() override {
        platform::setFreeSpaceSource(nullptr);
        ExitQuillfen();
    }

    nameNpath entry(const std::string& name, const std::string& where = "") const {
        nameNpath e;
        test::setEntry(e, where.empty() ? dir : where, name);
        return e;
    }
    std::string path(const std::string& name) const { return dir + name; }
    std::string bytes(const std::string& name) const { return test::readFile(path(name)); }
    void file(const std::string& name, const std::string& text) const {
        test::writeFile(path(name), text);
    }
    bool exists(const std::string& name) const { return test::fileExists(path(name)); }
    // Where an output of that name is written until it is closed.
    std::string partial(const std::string& name) { return sigTemporaryPath(entry(name)); }
    static std::vector<std::string> errors() { return TestHost::instance().messages(0); }
    static std::string lastError() { return TestHost::instance().lastMessage(0); }
    std::string invalidHeader(const std::string& name) const {
        return "Invalid file header in '" + path(name) + "'\n";
    }

    // A new file written through sigAccess (zeros without values; a plain
    // header unless given one), ending closed; its bytes.
    std::string written(const std::string& name, int32_t type, int32_t n, char format,
                        int32_t buffer, const Values& value = {},
                        SignalDescriptor d = header("x", 8000.0)) {
        int32_t r = sigOpenWrite(d, entry(name), type, n, format, buffer);
        for (int32_t i = 0; i < n && r == 0; ++i) {
            r = sigAccess(d, i);
            for (int k = 0; r == 0 && k < elements(d); ++k) {
                const double v = value ? value(i, k) : 0.0;
                element(d, i, k, &v);
            }
        }
        EXPECT_EQ(r != 0 ? r : sigClose(d), 0) << name;
        EXPECT_FALSE(d.isOpen()) << name;
        return bytes(name);
    }

    // The descriptor as sigOpenRead leaves it, then closed; a stale param4
    // is cleared, and a header-only open (no buffer) keeps no buffer.
    SignalDescriptor opened(const std::string& name, int32_t buffer) {
        SignalDescriptor r{};
        r.param4 = 99;
        EXPECT_EQ(sigOpenRead(r, entry(name), buffer), 0) << name << ": " << lastError();
        EXPECT_EQ(std::tuple(r.isOpen(), r.mode, r.param4, r.buffer == nullptr),
                  std::tuple(true, 'r', 0, buffer == 0));
        const SignalDescriptor open = r;
        EXPECT_EQ(sigClose(r), 0);
        EXPECT_FALSE(r.isOpen());
        return open;
    }

    // Header fields a writer fills before sigOpenWrite.
    static SignalDescriptor header(const char* remark, double rate) {
        SignalDescriptor d{};
        std::strcpy(d.remark, remark);
        d.samplingRate = rate;
        for (int c = 0; c < kMaxChannels; ++c) {
            d.channelRange[c] = -1.0f;
            d.channelGain[c] = 1.0f;
            d.channelSource[c] = static_cast<uint8_t>(c);
        }
        return d;
    }

    // Every record of a file, through sigAccess with a small window.
    Records readAll(SignalDescriptor& d, const std::string& name, int32_t buffer) {
        Records out;
        if (sigOpenRead(d, entry(name), buffer) != 0) return out;
        for (int32_t i = 0; i < d.recordCount && sigAccess(d, i) == 0; ++i) {
            out.emplace_back();
            for (int k = 0; k < elements(d); ++k) out.back().push_back(element(d, i, k));
        }
        sigClose(d);
        return out;
    }

    std::string dir;
};

// Record values; text keeps eight (REAL32) or sixteen (REAL64) significant
// digits, so text values need no more.
double roundTripValue(int32_t type, char f, int32_t i, int k) {
    if (type == kReal32) return f == 'a' ? float(i) * 0.5f - 100.0f : std::sin(float(i)) * 1e-3f;
    if (type == kCInt32Rect) return k ? int16_t(-i * 129) : int16_t(i * 255);
    if (type == kCReal128Rect)
        return f == 'a' ? (k ? -i / 1024.0 : i * 0.125) : std::cos(i + 0.5 * k) / 3.0;
    return int16_t(type == kInteger16 ? i * 67 - 32768 : i - 150);
}

const struct RoundTrip {
    const char* name;  // also the remark
    double rate;
    int32_t type, count, writeBuffer, readBuffer, textWidth, binaryWidth;
    int32_t params[3];  // 0: not written for this type
} kRoundTrips[] = {
    {"i16.tim", 8000.0, kInteger16, 1000, 256, 100, 6, 2, {0, 0, 0}},
    {"r32.tim", 44100.0, kReal32, 777, 1000, 64, 17, 4, {0, 0, 0}},
    {"c.fre", 8000.0, kCInt32Rect, 256, 100, 40, 12, 4, {64, 32, 13}},
    {"d.fre", 8000.0, kCReal128Rect, 128, 160, 112, 50, 16, {64, 32, 13}},
    {"rec.tim", 16000.0, kRealtimeInt16, 300, 64, 50, 6, 2, {3, 17, 0}},
};

TEST_F(SignalAccess, RoundTripsEveryFileTypeInBothFormats) {
    for (const RoundTrip& c : kRoundTrips) {
        for (char format : {'a', 'b'}) {
            SCOPED_TRACE(std::string(c.name) + " format " + format);
            SignalDescriptor w = header(c.name, c.rate);
            w.signalFrequency = 50.0;
            std::tie(w.param1, w.param2, w.param3) =
                std::tuple(c.params[0], c.params[1], c.params[2]);
            std::tie(w.channelRange[0], w.channelRange[2], w.channelGain[1], w.channelSource[2]) =
                std::tuple(10.0f, -5.0f, 2.5f, 7);
            auto value = [&](int32_t i, int k) { return roundTripValue(c.type, format, i, k); };
            written(c.name, c.type, c.count, format, c.writeBuffer, value, w);
            SignalDescriptor r{};
            const Records recs = readAll(r, c.name, c.readBuffer);
            ASSERT_EQ(recs.size(), static_cast<std::size_t>(c.count));
            for (int32_t i = 0; i < c.count; ++i)
                for (std::size_t k = 0; k < recs[i].size(); ++k)
                    ASSERT_EQ(recs[i][k], value(i, int(k))) << i;
            EXPECT_EQ(std::tuple(r.format, r.recordType, std::string(r.remark)),
                      std::tuple(format, c.type, std::string(c.name)));
            EXPECT_EQ(std::tuple(r.samplingRate, r.signalFrequency), std::tuple(c.rate, 50.0));
            EXPECT_EQ(r.recordWidth, format == 'a' ? c.textWidth : c.binaryWidth);
            const int32_t got[3] = {r.param1, r.param2, r.param3};
            for (int p = 0; p < 3; ++p)
                EXPECT_EQ(c.params[p] ? got[p] : 0, c.params[p]) << "param" << p + 1;
            if (c.type == kRealtimeInt16) {
                EXPECT_EQ(std::tuple(r.channelRange[0], r.channelRange[1], r.channelRange[2],
                                     r.channelGain[1], r.channelSource[1], r.channelSource[2]),
                          std::tuple(10.0f, -1.0f, -5.0f, 2.5f, 1, 7));
            }
        }
    }
    EXPECT_TRUE(errors().empty());
}

// Asked for binary, written as text with a frame line before each group of
// order a's and of order k's; read back through windows that cross one.
TEST_F(SignalAccess, CoefficientFilesAreTextWithFrameLines) {
    auto value = [](int32_t i, int) { return (i / 10 % 2 ? -1.0 : 1.0) / (i + 1); };
    SignalDescriptor w = header("LPC(s.tim)", 8000.0);
    std::tie(w.param1, w.param2, w.param3) = std::tuple(10, 240, 80);
    const std::string text = written("l.lpc", kLpcCoeffReal8, 60, 'b', 8 * 7, value, w);
    EXPECT_EQ(text.size() - (text.find("#\r\n") + 3), 60u * 25 + 6 * 33);

    SignalDescriptor r{};
    const Records recs = readAll(r, "l.lpc", 8 * 9);
    ASSERT_EQ(recs.size(), 60u);
    for (int i = 0; i < 60; ++i) ASSERT_NEAR(recs[i][0], value(i, 0), 1e-16) << i;
    EXPECT_EQ(std::tuple(r.format, r.param1, r.param2, r.param3), std::tuple('a', 10, 240, 80));
    ASSERT_EQ(sigOpenRead(r, entry("l.lpc"), 8 * 4), 0);
    ASSERT_EQ(sigAccess(r, 10), 0);  // records 8 to 11
    EXPECT_EQ(std::tuple(*r.at<double>(9), *r.at<double>(10), *r.at<double>(11)),
              std::tuple(0.1, -9.090909090909091e-2, -8.333333333333333e-2));
    sigClose(r);
}

// Text REAL32 records take 17 columns; binary data follows "#\r\x1A",
// little-endian; sampling rates keep six significant digits.
TEST_F(SignalAccess, BytesOnDisk) {
    std::string text = written("r.tim", kReal32, 100, 'a', 16384, ramp);
    const std::size_t d = text.find("Data begin            #\r\n") + 25;
    EXPECT_EQ(text.size() - d, 1700u);
    EXPECT_EQ(text.substr(d + 969, 17), " 5.7000000E+001\r\n");

    text = written("b.tim", kInteger16, 3, 'b', 64, [](int32_t i, int) { return i ? -2 * i : 1; });
    EXPECT_EQ(text.substr(text.find('#')), std::string("#\r\x1A\x01\x00\xFE\xFF\xFC\xFF", 9));
    text = written("f.tim", kReal32, 3, 'b', 64, [](int32_t, int) { return -2.0; });
    EXPECT_EQ(text.substr(text.size() - 4), std::string("\x00\x00\x00\xC0", 4));

    text = written("s.tim", kInteger16, 24, 'b', 64, {}, header("rate", 22050.123456));
    EXPECT_NE(text.find("Sampling rate         : 22050.1 Hz\r\n"), std::string::npos);
    EXPECT_EQ(std::tuple(opened("s.tim", 0).samplingRate, opened("s.tim", 64).recordCount),
              std::tuple(22050.1, 24));
}

TEST_F(SignalAccess, HandWrittenFilesRead) {
    // Bare LF line ends.
    SignalDescriptor r{};
    std::string lf = handFile("3", "REAL32");
    std::erase(lf, '\r');
    file("lf.tim", lf + " 1.5000000E+000\n-2.0000000E+000\n 3.0000000E-003\n");
    EXPECT_EQ(readAll(r, "lf.tim", 64), (Records{{1.5}, {-2.0}, {3.0e-3f}}));
    EXPECT_STREQ(r.remark, "hand made");
    // Too few channel lines give the defaults.
    file("c.tim", handFile("8", "REALTIMEINT16",
                           channelLines("2", "3") + "Ch0  range gain source: 5 2 4\r\n",
                           std::string(8 * 6, ' ')));
    r = opened("c.tim", 0);
    EXPECT_EQ(std::tuple(r.param1, r.param2, r.channelRange[0], r.channelGain[0],
                         r.channelSource[0], r.channelSource[1]),
              std::tuple(2, 3, -1.0f, 1.0f, 0, 1));
    // 64 records of 12 bytes are present.  A negative interval (one frame
    // from a given sample) is kept; a frame size within the header's count
    // but beyond the records present opens with the records present.
    std::string data;
    for (int i = 0; i < 64; ++i) data += "0000 j0000\r\n";
    file("neg.fre", handFile("64", "CINT32RECT(W)", frameLines("64", "-100"), data));
    file("cut.fre", handFile("1000", "CINT32RECT(W)", frameLines("512", "4"), data));
    EXPECT_EQ(opened("neg.fre", 128).param2, -100);
    r = opened("cut.fre", 128);
    EXPECT_EQ(std::tuple(r.recordCount, r.param1), std::tuple(64, 512));
}

// An output's file grows as its window moves on; the buffer is not cleared,
// so records left unset keep the old window's values.
TEST_F(SignalAccess, WindowsMoveAndHoldWhatFits) {
    SignalDescriptor w = header("win", 8000.0);
    ASSERT_EQ(sigOpenWrite(w, entry("big.tim"), kReal32, 10000, 'a', 16384), 0);
    EXPECT_EQ(w.windowCapacity, 4096);
    for (int32_t i = 0; i < 4096; ++i) {
        ASSERT_EQ(sigAccess(w, i), 0);
        *w.at<float>(i) = float(i);
    }
    const std::size_t head = static_cast<std::size_t>(w.dataOffset);
    EXPECT_EQ(test::readFile(partial("big.tim")).size(), head);
    EXPECT_FALSE(exists("big.tim"));  // only complete outputs take their name
    ASSERT_EQ(sigAccess(w, 5000), 0);
    EXPECT_EQ(std::tuple(w.windowStart, test::readFile(partial("big.tim")).size()),
              std::tuple(4096, head + 4096 * 17));
    *w.at<float>(5000) = -1.0f;
    ASSERT_EQ(sigAccess(w, 9999), 0);  // window 8192..9999 keeps it all
    EXPECT_EQ(w.windowStart, 8192);
    EXPECT_EQ(sigClose(w), 0);

    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("big.tim"), 16384), 0);
    ASSERT_EQ(sigAccess(r, 4097), 0);
    EXPECT_EQ(std::tuple(*r.at<float>(4097), *r.at<float>(5000)), std::tuple(1.0f, -1.0f));
    ASSERT_EQ(sigAccess(r, 9999), 0);
    EXPECT_EQ(std::tuple(r.windowStart, *r.at<float>(9999), *r.at<float>(8192 + 904)),
              std::tuple(8192, 9999.0f - 8192.0f, -1.0f));
    sigClose(r);

    // A window holds what fits of the buffer and of the records; beyond the
    // last record it holds fewer valid records, without failure.
    w = header("cap", 8000.0);
    ASSERT_EQ(sigOpenWrite(w, entry("cap.tim"), kInteger16, 100, 'a', 16384), 0);
    EXPECT_EQ(w.windowCapacity, 100);
    sigDiscard(w);
    written("cap.tim", kInteger16, 100, 'a', 64, ramp);
    ASSERT_EQ(sigOpenRead(r, entry("cap.tim"), 64), 0);
    ASSERT_EQ(sigAccess(r, 150), 0);
    EXPECT_EQ(std::tuple(r.windowCapacity, r.windowStart), std::tuple(32, 128));
    ASSERT_EQ(sigAccess(r, 99), 0);
    EXPECT_EQ(std::tuple(r.windowStart, *r.at<int16_t>(99)), std::tuple(96, 99));
    sigClose(r);
    EXPECT_TRUE(errors().empty());
}

// Outputs with windows of kWriteBehindBytes and more are written behind on
// a second thread: the file holds every window, a window the caller leaves
// partly unset keeps the previous window's values there, and a caller that
// sets every window whole may say so (its buffer is then handed over).
TEST_F(SignalAccess, LargeWindowsAreWrittenBehind) {
    const int32_t perWindow = kWriteBehindBytes / 4;  // REAL32 records
    const int32_t n = 2 * perWindow + 1000;
    for (char format : {'b', 'a'}) {
        for (bool filled : {false, true}) {
            SCOPED_TRACE(std::string(1, format) + (filled ? " filled" : ""));
            SignalDescriptor w = header("behind", 8000.0);
            ASSERT_EQ(sigOpenWrite(w, entry("big.tim"), kReal32, n, format, kWriteBehindBytes), 0);
            if (filled) sigWindowsFilledByCaller(w);
            // Unless filled, the second window sets only its first half.
            const int32_t unsetFrom = filled ? n : perWindow + perWindow / 2;
            for (int32_t i = 0; i < n; ++i) {
                ASSERT_EQ(sigAccess(w, i), 0);
                if (i < unsetFrom || i >= 2 * perWindow) *w.at<float>(i) = float(i);
            }
            ASSERT_EQ(sigClose(w), 0);
            SignalDescriptor r{};
            ASSERT_EQ(sigOpenRead(r, entry("big.tim"), kSequentialWindowBytes), 0);
            ASSERT_EQ(r.recordCount, n);
            for (int32_t i = 0; i < n; ++i) {
                ASSERT_EQ(sigAccess(r, i), 0);
                const bool stale = i >= unsetFrom && i < 2 * perWindow;
                ASSERT_EQ(*r.at<float>(i), float(stale ? i - perWindow : i)) << i;
            }
            sigClose(r);
        }
    }
    EXPECT_TRUE(errors().empty());
    EXPECT_FALSE(test::fileExists(partial("big.tim")));
}

// Each refusal gives one message; the too-short ones leave the file closed.
TEST_F(SignalAccess, OpenReadRefusals) {
    // Data cut short: the count follows the records present, until too few.
    SignalDescriptor r{};
    const std::string cut = written("cut.tim", kInteger16, 1000, 'a', 1000, ramp);
    const std::size_t d = cut.find('#') + 3;
    file("cut.tim", cut.substr(0, d + 700 * 6 + 3));  // 700 and a half
    EXPECT_EQ(opened("cut.tim", 128).recordCount, 700);

    file("two.tim", cut.substr(0, d + 2 * 6));
    ASSERT_EQ(sigOpenRead(r, entry("two.tim"), 128), 1);
    EXPECT_EQ(lastError(), "'" + path("two.tim") + "' is invalid (file length too short.)");
    EXPECT_TRUE(r.isOpen());  // closed by the caller
    EXPECT_EQ(sigClose(r), 0);
    EXPECT_FALSE(r.isOpen());

    std::string noHash = handFile("5", "INTEGER16", "", std::string(30, '0'));
    noHash.erase(noHash.find('#'), 1);
    const std::string tooShort = "Input file is too short.";
    // Name, text, result, message.
    const std::tuple<const char*, std::string, int32_t, std::string> cases[] = {
        {"one.tim", handFile("1", "INTEGER16", "", "0001\r\n"), 2, tooShort},
        {"empty.tim", "", 2, tooShort},
        {"t.tim", handFile("5", "WHATEVER"), 1,
         "'" + path("t.tim") + "' does not have a valid record type."},
        {"u.tim", handFile("5", "REAL64"), 1,
         "Unsupported type 'REAL64' in '" + path("u.tim") + "'\n"},
        {"m.fre", handFile("5", "CINT32RECT(W)", "Frame size            : 4\r\n"), 1,
         invalidHeader("m.fre")},
        {"x.tim", handFile("5", "INTEGER16", "", std::string(30, '0'), "Xeno"), 1,
         "Unsupported file format in '" + path("x.tim") + "'"},
        {"nohash.tim", noHash, 1, invalidHeader("nohash.tim")},
        {"huge.tim", handFile("99999999999", "INTEGER16", "", "0001\r\n"), 1,
         invalidHeader("huge.tim") + "line 2: the number of records is out of range."},
        {"ch33.tim", handFile("64", "REALTIMEINT16", channelLines("33"), std::string(800, ' ')), 1,
         invalidHeader("ch33.tim") + "line 7: the number of channels is not 0 to 32."},
        // 2^62: doubled, the order overflowed
        {"order.lpc",
         handFile("8", "LPCCoeffREAL8",
                  "LPC Order             : 4611686018427387904\r\nFrame Size            : "
                  "32\r\nFrame Interval        : 32\r\n",
                  std::string(800, ' ')),
         1, invalidHeader("order.lpc") + "line 7: the LPC order does not fit the records."},
        {"order5.lpc",
         handFile("9", "LPCCoeffREAL8",
                  "LPC Order             : 5\r\nFrame Size            : "
                  "32\r\nFrame Interval        : 32\r\n",
                  std::string(800, ' ')),
         1, invalidHeader("order5.lpc") + "line 7: the LPC order does not fit the records."},
    };
    EXPECT_EQ(sigOpenRead(r, entry("missing.tim"), 128), 1);
    EXPECT_EQ(lastError(), "Invalid file name or path\n" + path("missing.tim"));
    for (const auto& [name, text, result, message] : cases) {
        file(name, text);
        const std::size_t before = errors().size();
        r = SignalDescriptor{};
        EXPECT_EQ(sigOpenRead(r, entry(name), 128), result) << name;
        EXPECT_EQ(lastError(), message) << name;
        EXPECT_FALSE(r.isOpen()) << name;
        EXPECT_EQ(errors().size(), before + 1) << name;
        sigClose(r);
    }
}

// A record that is not a number of its type, or a header whose end does not
// match its "File format" line, is refused with the file and the line (and
// record); nothing of it is read as zero.  The header of handFile has seven
// lines, so record i stands on line 8 + i.
TEST_F(SignalAccess, DamagedFilesAreRefusedWithTheirLine) {
    auto real32 = [](std::initializer_list<const char*> records) {
        std::string t;
        for (const char* r : records) t += std::string(r) + "\r\n";
        return t;
    };
    const std::string one = " 1.0000000E+000", two = "-2.0000000E+000";
    const std::string words = "0001\r\n0002\r\n0003\r\n";
    const std::string floats = std::string("\0\0\x80\x3F\0\0\0\x40\0\0\x40\x40", 12);
    auto binaryFile = [&](const std::string& end, const std::string& data) {
        const std::string t = handFile("3", "REAL32", "", "", "Binary");
        return t.substr(0, t.size() - 3) + end + data;
    };
    auto textAfter = [&](const std::string& end) {
        const std::string t = handFile("3", "INTEGER16");
        return t.substr(0, t.size() - 3) + end + words;
    };
    auto record = [this](const std::string& name, int line, int index, const std::string& type,
                         const std::string& text) {
        return "Error reading input file '" + path(name) + "': line " + std::to_string(line) +
               " (record " + std::to_string(index) + ") is not a " + type + " record: \"" + text +
               "\"";
    };
    auto header = [this](const std::string& name, int line, const std::string& why) {
        return invalidHeader(name) + "line " + std::to_string(line) + ": " + why + ".";
    };
    const std::string lpcLines =
        "LPC Order             : 2\r\nFrame Size            : 8\r\n"
        "Frame Interval        : 8\r\n";
    const std::string lpcRecord = " 5.000000000000000E-001\r\n";
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"letters.tim",
         handFile("3", "REAL32", "", real32({one.c_str(), "  abc          ", two.c_str()})),
         record("letters.tim", 9, 1, "REAL32", "  abc          ")},
        {"empty.tim",
         handFile("3", "REAL32", "", real32({one.c_str(), two.c_str(), "               "})),
         record("empty.tim", 10, 2, "REAL32", "               ")},
        {"comma.tim",
         handFile("3", "REAL32", "", real32({" 1,5000000E+000", one.c_str(), one.c_str()})),
         record("comma.tim", 8, 0, "REAL32", " 1,5000000E+000")},
        {"wide.tim",
         handFile("3", "REAL32", "", real32({one.c_str(), " 1.0000000E+0000", one.c_str()})),
         record("wide.tim", 9, 1, "REAL32", " 1.0000000E+0000")},
        {"hex.tim", handFile("3", "INTEGER16", "", "0001\r\n12G4\r\n0003\r\n"),
         record("hex.tim", 9, 1, "INTEGER16", "12G4")},
        {"noj.fre",
         handFile("4", "CINT32RECT(W)", frameLines("2", "2"),
                  "0001 j0002\r\n0001 00020\r\n0001 j0002\r\n0001 j0002\r\n"),
         "Error reading input file '" + path("noj.fre") +
             "': line 12 (record 1) is not a "
             "CINT32RECT(W) record: \"0001 00020\""},
        {"frame.lpc",
         handFile("4", "LPCCoeffREAL8", lpcLines,
                  "Frame         0 : a1, a2, a3...\r\n" + lpcRecord + lpcRecord +
                      "Flame         0 : k1, k2, k3...\r\n" + lpcRecord + lpcRecord),
         "Error reading input file '" + path("frame.lpc") +
             "': line 14 is not a frame line: "
             "\"Flame         0 : k1, k2, k3...\""},
        {"binary.tim", textAfter("#\r\x1A"),
         header("binary.tim", 7, "the file format is ASCII, but binary data follows the header")},
        {"nolf.tim", textAfter("#\r"),
         header("nolf.tim", 7, "the header does not end with '#', CR and LF")},
        {"text.tim", binaryFile("#\r\n", floats),
         header("text.tim", 7, "the file format is Binary, but text follows the header")},
        {"textsub.tim", binaryFile("#\r\x1A", real32({one.c_str(), one.c_str(), one.c_str()})),
         header("textsub.tim", 7, "the file format is Binary, but text follows the header")},
        {"nosub.tim", binaryFile("#\r", floats),
         header("nosub.tim", 7, "the header does not end with '#', CR and the byte 1A")},
        // 2^64 + 4: a count that wraps would read as 4
        {"count.tim", handFile("18446744073709551620", "INTEGER16", "", words + words),
         header("count.tim", 2, "the number of records is out of range")},
    };
    for (const auto& [name, text, message] : cases) {
        file(name, text);
        const std::size_t before = errors().size();
        SignalDescriptor r{};
        EXPECT_EQ(sigOpenRead(r, entry(name), 4096), 1) << name;
        EXPECT_EQ(lastError(), message) << name;
        EXPECT_EQ(errors().size(), before + 1) << name;
        EXPECT_FALSE(r.isOpen()) << name;
        sigClose(r);
    }
    // A sampling rate that is not a number.
    std::string nanRate = handFile("3", "INTEGER16", "", words);
    nanRate.replace(nanRate.find("8000 Hz"), 4, "nan");
    file("rate.tim", nanRate);
    SignalDescriptor r{};
    EXPECT_EQ(sigOpenRead(r, entry("rate.tim"), 64), 1);
    EXPECT_EQ(lastError(), header("rate.tim", 5, "the sampling rate is not a number"));

    // Beyond the first window the read fails when the window gets there.
    std::vector<const char*> many(60, one.c_str());
    many[40] = " 1.0000000E+00x";
    std::string data;
    for (const char* m : many) data += std::string(m) + "\r\n";
    file("late.tim", handFile("60", "REAL32", "", data));
    ASSERT_EQ(sigOpenRead(r, entry("late.tim"), 64), 0);  // 16 records a window
    for (int32_t i = 0; i < 32; ++i) ASSERT_EQ(sigAccess(r, i), 0);
    EXPECT_EQ(sigAccess(r, 32), 1);
    EXPECT_EQ(lastError(), record("late.tim", 48, 40, "REAL32", " 1.0000000E+00x"));
    EXPECT_FALSE(r.isOpen());
    EXPECT_EQ(sigClose(r), 0);
}

// A data part shorter than its header says is read as far as it goes, with
// a notice naming both counts; text NaN and infinities read back as such.
TEST_F(SignalAccess, ShortDataIsReadWithANotice) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::string text = written("cut.tim", kReal32, 10, 'a', 64, [inf](int32_t i, int) {
        return i == 1 ? double(inf) : i == 2 ? -double(inf) : i == 3 ? double(NAN) : i;
    });
    file("cut.tim", text.substr(0, text.size() - 3 * 17 - 5));
    SignalDescriptor r{};
    const Records recs = readAll(r, "cut.tim", 64);
    ASSERT_EQ(recs.size(), 6u);
    EXPECT_EQ(std::tuple(recs[0][0], recs[1][0], recs[2][0], recs[5][0]),
              std::tuple(0.0, double(inf), -double(inf), 5.0));
    EXPECT_TRUE(std::isnan(recs[3][0]));
    std::string notice = "'";
    notice += path("cut.tim");
    notice += "' holds 6 records where its header says 10; the 6 records present are read.";
    EXPECT_EQ(TestHost::instance().messages(QF_MSG_NOTICE), std::vector<std::string>{notice});
    EXPECT_TRUE(errors().empty());
    EXPECT_NE(text.find("\r\n            INF\r\n           -INF\r\n            NAN\r\n"),
              std::string::npos);
}

// Every third prefix and 150 corruptions of valid files open or fail cleanly.
TEST_F(SignalAccess, DamagedFilesNeverCrash) {
    SignalDescriptor w = header("fuzz", 8000.0);
    std::tie(w.param1, w.param2, w.param3) = std::tuple(2, 8, 4);
    written("l.lpc", kLpcCoeffReal8, 8, 'a', 64, ramp, w);
    w.param1 = 4;
    written("s.fre", kCReal128Rect, 8, 'b', 64, ramp, w);
    written("m.tim", kRealtimeInt16, 8, 'a', 64, ramp, w);
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1103515245u + 12345u; };
    const char pool[] = "#:-9\r\n 0x";
    for (const char* name : {"l.lpc", "s.fre", "m.tim"}) {
        const std::string good = bytes(name);
        const std::size_t prefixes = (good.size() + 2) / 3;
        for (std::size_t n = 0; n < prefixes + 150; ++n) {
            std::string v = n < prefixes ? good.substr(0, n * 3) : good;
            for (int m = 0; n >= prefixes && m < 3; ++m) v[next() % v.size()] = pool[next() % 9];
            // A new file each time: rewriting one in place waits for the disk.
            std::string vname = "v";
            vname.append(std::to_string(n)).append(1, name[0]).append(".tim");
            file(vname, v);
            SignalDescriptor r{};
            const int32_t res = sigOpenRead(r, entry(vname), 48);
            ASSERT_TRUE(res >= 0 && res <= 2);
            for (int32_t i = 0; res == 0 && i < r.recordCount && r.isOpen(); ++i) sigAccess(r, i);
            sigClose(r);
            EXPECT_FALSE(r.isOpen());
        }
    }
}

// Outputs are refused for too little space (as the file system counts it),
// bad headers and unsupported types.
TEST_F(SignalAccess, OutputsRefused) {
    auto noSpace = [](const std::string& drive, const std::string& have, const std::string& need) {
        return "There isn't sufficient disk space available on " + drive + ".  " + have +
               " bytes available; " + need + " bytes needed.";
    };
    SignalDescriptor w = header("x", 1.0);
    w.param1 = 0;
    EXPECT_EQ(sigOpenWrite(w, entry("o.lpc"), kLpcCoeffReal8, 10, 'a', 64), 1);
    EXPECT_EQ(lastError(), invalidHeader("o.lpc"));
    w.param1 = 33;
    EXPECT_EQ(sigOpenWrite(w, entry("o.tim"), kRealtimeInt16, 66, 'b', 64), 1);
    EXPECT_EQ(std::tuple(w.isOpen(), exists("o.tim")), std::tuple(false, false));
    // An unsupported type is only logged.
    const std::size_t shown = TestHost::instance().messages().size();
    EXPECT_EQ(sigOpenWrite(w, entry("r64.tim"), kReal64, 10, 'a', 64), 1);
    EXPECT_EQ(TestHost::instance().messages().size(), shown);
    EXPECT_FALSE(exists("r64.tim"));
    ExitQuillfen();
    EXPECT_NE(bytes("quillfen.log").find("Unsupported type REAL64.  "), std::string::npos);
    ASSERT_EQ(test::startEngine(dir), 0);

    // Too little space.
    platform::setFreeSpaceSource([](const char*) -> int64_t { return 1000; });
    w = header("x", 1.0);
    EXPECT_EQ(sigOpenWrite(w, entry("a.tim"), kInteger16, 100, 'a', 64), 2);
    EXPECT_EQ(lastError(), noSpace("the current drive", "1000", "2648"));
    EXPECT_EQ(std::tuple(w.isOpen(), w.buffer == nullptr), std::tuple(false, true));
    EXPECT_EQ(sigDiscard(w), 1);
    EXPECT_EQ(sigOpenWrite(w, entry("a.tim", "c:/data/"), kReal32, 100, 'b', 64), 2);
    EXPECT_EQ(lastError(), noSpace("C: drive", "1000", "2448"));

    // Without a buffer nothing is checked.  File lengths, and the space
    // free in the current directory.
    EXPECT_EQ(sigOpenWrite(w, entry("h.tim"), kInteger16, 100, 'a', 0), 0);
    EXPECT_EQ(sigClose(w), 0);
    file("len.bin", std::string(12345, 'q'));
    EXPECT_EQ(std::tuple(sigFileLength(nullptr), sigFileLength(path("len.bin").c_str()),
                         sigFileLength(path("none.bin").c_str())),
              std::tuple(1000, 12345, -1));

    // The figures are the file system's, however large: 2^26 REAL32 text
    // records need 1 140 852 736 bytes and 2048 for the header.
    platform::setFreeSpaceSource([](const char*) { return int64_t{1} << 30; });
    EXPECT_EQ(sigOpenWrite(w, entry("big.tim"), kReal32, 1 << 26, 'a', 64), 2);
    EXPECT_EQ(lastError(), noSpace("the current drive", "1073741824", "1140852736"));
    // Where the disk holds them, outputs far beyond 240 MiB are made: a
    // 2^26-sample REAL32 signal (256 MiB) and frames of 2^24 bins (256 MiB).
    platform::setFreeSpaceSource([](const char*) { return int64_t{1} << 40; });
    EXPECT_EQ(sigOpenWrite(w, entry("big.tim"), kReal32, 1 << 26, 'b', 64), 0);
    EXPECT_EQ(sigDiscard(w), 0);
    w.param1 = 1024;
    EXPECT_EQ(sigOpenWrite(w, entry("big.fre"), kCReal128Rect, 1 << 24, 'b', 64), 0);
    EXPECT_EQ(sigDiscard(w), 0);
    // A file system that cannot tell its free space does not stop an output.
    platform::setFreeSpaceSource([](const char*) -> int64_t { return -1; });
    EXPECT_EQ(sigOpenWrite(w, entry("any.tim"), kReal32, 100, 'b', 64), 0);
    EXPECT_EQ(sigDiscard(w), 0);
    EXPECT_FALSE(exists("big.tim") || exists("big.fre") || exists("any.tim"));

    EXPECT_EQ(sigOpenWrite(w, entry("a.tim", "c:/data/"), kInteger16, 100, 'a', 64), 1);
    EXPECT_EQ(lastError(), "Cannot open c:/data/a.tim for write.");
    EXPECT_FALSE(w.isOpen());
}

// A failed write or a discard removes an output; a failed read keeps the
// input; a new output replaces a file and keeps another file's replot note.
TEST_F(SignalAccess, OutputLifetime) {
    SignalDescriptor w = header("x", 1.0);
    ASSERT_EQ(sigOpenWrite(w, entry("f.tim"), kInteger16, 1000, 'b', 64), 0);
    // The stream can no longer be written.
    ASSERT_NE(std::freopen(partial("f.tim").c_str(), "rb", w.stream), nullptr);
    for (int32_t i = 0; i < 32; ++i) ASSERT_EQ(sigAccess(w, i), 0);
    EXPECT_EQ(sigAccess(w, 32), 1);
    EXPECT_EQ(lastError(),
              "Error writing output file '" + path("f.tim") + "': Bad file descriptor.");
    EXPECT_EQ(std::tuple(w.isOpen(), w.buffer == nullptr, exists("f.tim")),
              std::tuple(false, true, false));
    EXPECT_FALSE(test::fileExists(partial("f.tim")));
    EXPECT_EQ(sigDiscard(w), 1);
    EXPECT_EQ(sigClose(w), 0);

    // A failed last write leaves an earlier file of the name as it was.
    file("g.tim", "earlier");
    ASSERT_EQ(sigOpenWrite(w, entry("g.tim"), kReal32, 10, 'a', 64), 0);
    ASSERT_NE(std::freopen(partial("g.tim").c_str(), "rb", w.stream), nullptr);
    EXPECT_EQ(sigClose(w), 1);
    EXPECT_EQ(lastError(),
              "Error writing output file '" + path("g.tim") + "': Bad file descriptor.");
    EXPECT_EQ(bytes("g.tim"), "earlier");
    EXPECT_FALSE(test::fileExists(partial("g.tim")));

    std::string text = written("in.tim", kInteger16, 1000, 'a', 64);
    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("in.tim"), 64), 0);
    file("in.tim", text.substr(0, text.size() / 2));
    EXPECT_EQ(sigAccess(r, 999), 1);
    EXPECT_EQ(lastError(), "Error reading input file '" + path("in.tim") + "'");
    EXPECT_EQ(std::tuple(r.isOpen(), exists("in.tim")), std::tuple(false, true));
    EXPECT_EQ(sigClose(r), 0);
    // Discarding removes an output, not an input.
    w = header("x", 1.0);
    file("d.tim", "kept");
    ASSERT_EQ(sigOpenWrite(w, entry("d.tim"), kInteger16, 100, 'a', 64), 0);
    EXPECT_TRUE(test::fileExists(partial("d.tim")));
    EXPECT_EQ(sigDiscard(w), 0);
    EXPECT_EQ(std::tuple(bytes("d.tim"), test::fileExists(partial("d.tim")), w.isOpen()),
              std::tuple("kept", false, false));
    EXPECT_EQ(sigDiscard(w), 1);
    // A new output replaces an existing file.
    file("keep.tim", std::string(100000, 'z'));
    text = written("keep.tim", kInteger16, 10, 'a', 64, [](int32_t, int) { return 5; });
    EXPECT_EQ(
        std::tuple(text.rfind("Remark                : x\r\n", 0), text.substr(text.size() - 12)),
        std::tuple(0u, "0005\r\n0005\r\n"));
    r = SignalDescriptor{};
    ASSERT_EQ(sigOpenRead(r, entry("keep.tim"), 64), 0);
    EXPECT_EQ(sigDiscard(r), 0);
    EXPECT_TRUE(exists("keep.tim"));
    // Writing another file keeps the replot note.
    StatusRecord& s = status();
    s.replotOpCode = QF_OP_WAVEFORM_DISPLAY;
    s.replotFile = entry("shown.tim");
    written("other.tim", kInteger16, 4, 'a', 64);
    EXPECT_EQ(std::tuple(s.replotOpCode, std::string(s.replotFile.n)),
              std::tuple(QF_OP_WAVEFORM_DISPLAY, "shown.tim"));
    s.replotOpCode = 0;
    std::memset(&s.replotFile, 0, sizeof s.replotFile);
}

TEST_F(SignalAccess, RecordSizesAndMemoryArrays) {
    SignalDescriptor d{};
    d.recordType = kReal64;
    EXPECT_EQ(sigSetRecordSizes(d), 3);

    const std::pair<int32_t, int32_t> rows[] = {{12, 12}, {37, 24}, {14, 16}, {19, 32},
                                                {20, 2},  {23, 4},  {30, 4}};
    for (const auto& [type, size] : rows) {
        d = SignalDescriptor{};
        std::strcpy(d.remark, "old");
        ASSERT_EQ(sigOpenMemory(d, type, 7), 0) << type;
        EXPECT_EQ(std::tuple(d.isOpen(), d.stream == nullptr, d.remark[0], d.bufferBytes,
                             d.recordCount, d.windowCapacity),
                  std::tuple(true, true, '\0', 7 * size, 7, 7))
            << type;
        std::memset(d.buffer, 0xAB, static_cast<std::size_t>(d.bufferBytes));
        EXPECT_EQ(sigFreeMemory(d), 0);
        EXPECT_FALSE(d.isOpen());
    }
    ASSERT_EQ(sigOpenMemory(d, 29, 21), 0);  // 2 x order + 1 words
    EXPECT_EQ(std::tuple(d.recordCount, d.windowCapacity, d.bufferBytes), std::tuple(10, 10, 84));
    EXPECT_EQ(sigClose(d), 0);
    EXPECT_FALSE(d.isOpen());
    EXPECT_EQ(sigOpenMemory(d, kReal32, 5), 3);
    EXPECT_EQ(sigOpenMemory(d, 31, 5), 3);
    EXPECT_EQ(sigOpenMemory(d, 20, -1), 2);
    EXPECT_EQ(sigFreeMemory(d), 0);
}

TEST_F(SignalAccess, CurrentDirectory) {
    char buf[768], small[4];
    const std::string canonical = std::filesystem::canonical(dir).string() + "/";
    stdSetCurrentDir("/");
    stdSetCurrentDir(dir.substr(0, dir.size() - 1).c_str());  // without the slash
    stdGetCurrentDir(buf, sizeof buf);
    EXPECT_EQ(std::string(buf), canonical);
    stdGetCurrentDir(small, sizeof small);
    EXPECT_STREQ(small, "./");
    // Writing an output makes its directory current.
    std::filesystem::create_directory(dir + "sub");
    SignalDescriptor w = header("x", 1.0);
    ASSERT_EQ(sigOpenWrite(w, entry("s.tim", dir + "sub/"), kInteger16, 3, 'a', 64), 0);
    sigDiscard(w);
    stdGetCurrentDir(buf, sizeof buf);
    EXPECT_EQ(std::string(buf), canonical + "sub/");
}

}  // namespace
}  // namespace qf
