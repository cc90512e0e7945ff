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
#include <limits>
#include <string>
#include <vector>

#include "core/engine.h"
#include "platform/fs.h"
#include "signal/format.h"
#include "signal/numfmt.h"
#include "support/test_host.h"

namespace qf {
namespace {

using test::TestHost;

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
    static std::vector<std::string> errors() { return TestHost::instance().messages(0); }
    static std::string lastError() { return TestHost::instance().lastMessage(0); }

    // Writes n records of `type`; fill(i, record) sets record i.
    int32_t write(SignalDescriptor& d, const std::string& name, int32_t type, int32_t n,
                  char format, int32_t buffer, const std::function<void(int32_t, void*)>& fill) {
        int32_t r = sigOpenWrite(d, entry(name), type, n, format, buffer);
        if (r != 0) return r;
        for (int32_t i = 0; i < n; ++i) {
            if ((r = sigAccess(d, i)) != 0) return r;
            fill(i, static_cast<char*>(d.buffer) + (i - d.windowStart) * d.recordSize);
        }
        return sigClose(d);
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
    std::vector<std::vector<char>> readAll(SignalDescriptor& d, const std::string& name,
                                           int32_t buffer) {
        std::vector<std::vector<char>> out;
        if (sigOpenRead(d, entry(name), buffer) != 0) return out;
        for (int32_t i = 0; i < d.recordCount; ++i) {
            if (sigAccess(d, i) != 0) return out;
            const char* rec =
                static_cast<const char*>(d.buffer) + (i - d.windowStart) * d.recordSize;
            out.emplace_back(rec, rec + d.recordSize);
        }
        sigClose(d);
        return out;
    }

    // The header of a hand-written file, common lines 1 to 6.
    static std::string commonHeader(const std::string& count, const std::string& type,
                                    const std::string& format = "ASCII") {
        return "Remark                : hand made\r\n"
               "Number of record      : " +
               count +
               "\r\n"
               "Record type number    : " +
               type +
               "\r\n"
               "Signal frequency      : 0 Hz\r\n"
               "Sampling rate         : 8000 Hz\r\n"
               "File format           : " +
               format + "\r\n";
    }
    static std::string dataBegin() { return "Data begin            #\r\n"; }

    std::string dir;
};

template <typename T>
T get(const std::vector<char>& rec, int k = 0) {
    T v;
    std::memcpy(&v, rec.data() + k * sizeof(T), sizeof(T));
    return v;
}

template <typename T>
void put(void* rec, T v, int k = 0) {
    std::memcpy(static_cast<char*>(rec) + k * sizeof(T), &v, sizeof(T));
}

// ---------------------------------------------------------------------------
// Round trips

TEST_F(SignalAccess, Integer16RoundTripBothFormats) {
    for (char format : {'a', 'b'}) {
        SignalDescriptor w = header("ramp", 8000.0);
        w.signalFrequency = 50.0;
        ASSERT_EQ(write(w, "i16.tim", kInteger16, 1000, format, 256,
                        [](int32_t i, void* r) { put<int16_t>(r, int16_t(i * 67 - 32768)); }),
                  0);
        SignalDescriptor r{};
        auto recs = readAll(r, "i16.tim", 100);
        ASSERT_EQ(recs.size(), 1000u) << format;
        for (int i = 0; i < 1000; ++i) ASSERT_EQ(get<int16_t>(recs[i]), int16_t(i * 67 - 32768));
        EXPECT_EQ(r.format, format);
        EXPECT_EQ(r.recordType, kInteger16);
        EXPECT_STREQ(r.remark, "ramp");
        EXPECT_EQ(r.samplingRate, 8000.0);
        EXPECT_EQ(r.signalFrequency, 50.0);
        EXPECT_EQ(r.recordWidth, format == 'a' ? 6 : 2);
    }
    EXPECT_TRUE(errors().empty());
}

TEST_F(SignalAccess, Real32RoundTripBothFormats) {
    for (char format : {'a', 'b'}) {
        // Text keeps eight significant digits: use values that need no more.
        auto value = [format](int32_t i) {
            return format == 'a' ? float(i) * 0.5f - 100.0f : std::sin(float(i)) * 1e-3f;
        };
        SignalDescriptor w = header("real", 44100.0);
        ASSERT_EQ(write(w, "r32.tim", kReal32, 777, format, 1000,
                        [&](int32_t i, void* r) { put<float>(r, value(i)); }),
                  0);
        SignalDescriptor r{};
        auto recs = readAll(r, "r32.tim", 64);
        ASSERT_EQ(recs.size(), 777u);
        for (int i = 0; i < 777; ++i) ASSERT_EQ(get<float>(recs[i]), value(i)) << i;
        EXPECT_EQ(r.samplingRate, 44100.0);
    }
}

TEST_F(SignalAccess, SpectrumRoundTripsBothFormats) {
    for (char format : {'a', 'b'}) {
        SignalDescriptor w = header("FFT(x.tim)", 8000.0);
        w.param1 = 64;
        w.param2 = 32;
        w.param3 = 13;
        ASSERT_EQ(write(w, "c.fre", kCInt32Rect, 256, format, 100,
                        [](int32_t i, void* r) {
                            put<int16_t>(r, int16_t(i * 255), 0);
                            put<int16_t>(r, int16_t(-i * 129), 1);
                        }),
                  0);
        SignalDescriptor r{};
        auto recs = readAll(r, "c.fre", 40);
        ASSERT_EQ(recs.size(), 256u);
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(get<int16_t>(recs[i], 0), int16_t(i * 255));
            ASSERT_EQ(get<int16_t>(recs[i], 1), int16_t(-i * 129));
        }
        EXPECT_EQ(r.param1, 64);
        EXPECT_EQ(r.param2, 32);
        EXPECT_EQ(r.param3, 13);

        auto value = [format](int32_t i, int k) {
            return format == 'a' ? (k ? -i / 1024.0 : i * 0.125) : std::cos(i + 0.5 * k) / 3.0;
        };
        ASSERT_EQ(write(w, "d.fre", kCReal128Rect, 128, format, 16 * 10,
                        [&](int32_t i, void* r) {
                            put<double>(r, value(i, 0), 0);
                            put<double>(r, value(i, 1), 1);
                        }),
                  0);
        auto drecs = readAll(r, "d.fre", 16 * 7);
        ASSERT_EQ(drecs.size(), 128u);
        for (int i = 0; i < 128; ++i) {
            ASSERT_EQ(get<double>(drecs[i], 0), value(i, 0)) << i;
            ASSERT_EQ(get<double>(drecs[i], 1), value(i, 1)) << i;
        }
        EXPECT_EQ(r.recordType, kCReal128Rect);
        EXPECT_EQ(r.param3, 13);
    }
}

TEST_F(SignalAccess, RecordingRoundTripsWithCalibration) {
    for (char format : {'a', 'b'}) {
        SignalDescriptor w = header("mux", 16000.0);
        w.param1 = 3;
        w.param2 = 17;
        w.channelRange[0] = 10.0f;
        w.channelRange[2] = -5.0f;
        w.channelGain[1] = 2.5f;
        w.channelSource[2] = 7;
        ASSERT_EQ(write(w, "rec.tim", kRealtimeInt16, 300, format, 64,
                        [](int32_t i, void* r) { put<int16_t>(r, int16_t(i - 150)); }),
                  0);
        SignalDescriptor r{};
        auto recs = readAll(r, "rec.tim", 50);
        ASSERT_EQ(recs.size(), 300u);
        for (int i = 0; i < 300; ++i) ASSERT_EQ(get<int16_t>(recs[i]), int16_t(i - 150));
        EXPECT_EQ(r.param1, 3);
        EXPECT_EQ(r.param2, 17);
        EXPECT_EQ(r.channelRange[0], 10.0f);
        EXPECT_EQ(r.channelRange[1], -1.0f);
        EXPECT_EQ(r.channelRange[2], -5.0f);
        EXPECT_EQ(r.channelGain[1], 2.5f);
        EXPECT_EQ(r.channelSource[1], 1);
        EXPECT_EQ(r.channelSource[2], 7);
    }
}

TEST_F(SignalAccess, CoefficientFilesAreAlwaysText) {
    SignalDescriptor w = header("LPC(s.tim)", 8000.0);
    w.param1 = 10;
    w.param2 = 240;
    w.param3 = 80;
    // Asked for binary, written as text.
    ASSERT_EQ(write(w, "c.lpc", kLpcCoeffReal8, 60, 'b', 8 * 7,
                    [](int32_t i, void* r) { put<double>(r, (i % 2 ? -1.0 : 1.0) / (i + 1)); }),
              0);
    SignalDescriptor r{};
    auto recs = readAll(r, "c.lpc", 8 * 9);
    ASSERT_EQ(recs.size(), 60u);
    for (int i = 0; i < 60; ++i) {
        // Sixteen significant digits on disk: compare to the printed value.
        const double v = (i % 2 ? -1.0 : 1.0) / (i + 1);
        ASSERT_EQ(get<double>(recs[i]), std::strtod(fmtString("%.15e", v).c_str(), nullptr));
        ASSERT_EQ(std::signbit(get<double>(recs[i])), i % 2 == 1) << i;
    }
    EXPECT_EQ(r.format, 'a');
    EXPECT_EQ(r.param1, 10);
    EXPECT_EQ(r.param2, 240);
    EXPECT_EQ(r.param3, 80);
}

// ---------------------------------------------------------------------------
// Bytes on disk

TEST_F(SignalAccess, Real32TextRecordPositions) {
    SignalDescriptor w = header("ramp", 8000.0);
    ASSERT_EQ(write(w, "r.tim", kReal32, 100, 'a', 16384,
                    [](int32_t i, void* r) { put<float>(r, float(i)); }),
              0);
    const std::string bytes = test::readFile(path("r.tim"));
    const std::size_t d = bytes.find("Data begin            #\r\n") + 25;
    EXPECT_EQ(bytes.size() - d, 1700u);
    EXPECT_EQ(bytes.substr(d + 969, 17), " 5.7000000E+001\r\n");
    EXPECT_EQ(bytes.substr(d, 17), " 0.0000000E+000\r\n");
    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("r.tim"), 16384), 0);
    EXPECT_EQ(r.dataOffset, static_cast<int32_t>(d));
    EXPECT_EQ(r.recordCount, 100);
    EXPECT_EQ(r.windowCapacity, 4096);
    sigClose(r);
}

TEST_F(SignalAccess, Integer16TextPatterns) {
    SignalDescriptor w = header("neg", 8000.0);
    ASSERT_EQ(write(w, "n.tim", kInteger16, 3, 'a', 64,
                    [](int32_t i, void* r) { put<int16_t>(r, int16_t(i == 0 ? -1 : i)); }),
              0);
    const std::string bytes = test::readFile(path("n.tim"));
    EXPECT_EQ(bytes.substr(bytes.size() - 18), "FFFF\r\n0001\r\n0002\r\n");

    test::writeFile(path("h.tim"), commonHeader("4", "INTEGER16") + dataBegin() +
                                       "8000\r\n7FFF\r\nffff\r\n0000\r\n");
    SignalDescriptor r{};
    auto recs = readAll(r, "h.tim", 16384);
    ASSERT_EQ(recs.size(), 4u);
    EXPECT_EQ(get<int16_t>(recs[0]), -32768);
    EXPECT_EQ(get<int16_t>(recs[1]), 32767);
    EXPECT_EQ(get<int16_t>(recs[2]), -1);
    EXPECT_EQ(get<int16_t>(recs[3]), 0);
}

TEST_F(SignalAccess, BinaryHeaderEndsWithSubAndDataIsLittleEndian) {
    SignalDescriptor w = header("bin", 8000.0);
    ASSERT_EQ(write(w, "b.tim", kInteger16, 3, 'b', 64,
                    [](int32_t i, void* r) { put<int16_t>(r, int16_t(i == 0 ? 1 : -2 * i)); }),
              0);
    const std::string bytes = test::readFile(path("b.tim"));
    const std::size_t hash = bytes.find('#');
    ASSERT_NE(hash, std::string::npos);
    EXPECT_EQ(bytes.substr(hash, 3), std::string("#\r\x1A"));
    EXPECT_EQ(bytes.substr(hash + 3), std::string("\x01\x00\xFE\xFF\xFC\xFF", 6));
    EXPECT_NE(bytes.find("File format           : Binary\r\n"), std::string::npos);

    SignalDescriptor f = header("float", 1.0);
    ASSERT_EQ(
        write(f, "f.tim", kReal32, 3, 'b', 64, [](int32_t, void* r) { put<float>(r, -2.0f); }), 0);
    const std::string fb = test::readFile(path("f.tim"));
    EXPECT_EQ(fb.substr(fb.size() - 4), std::string("\x00\x00\x00\xC0", 4));
}

TEST_F(SignalAccess, CoefficientFileLayout) {
    SignalDescriptor w = header("LPC(s.tim)", 8000.0);
    w.param1 = 10;
    w.param2 = 240;
    w.param3 = 80;
    ASSERT_EQ(write(w, "l.lpc", kLpcCoeffReal8, 60, 'a', 16384,
                    [](int32_t i, void* r) { put<double>(r, i < 10 ? 0.5 : -0.25); }),
              0);
    const std::string bytes = test::readFile(path("l.lpc"));
    const std::size_t d = bytes.find('#') + 3;
    EXPECT_EQ(bytes.size() - d, 60u * 25 + 6 * 33);
    EXPECT_EQ(bytes.substr(d, 33), "Frame         0 : a1, a2, a3...\r\n");
    EXPECT_EQ(bytes.substr(d + 10 * 25 + 33, 33), "Frame         0 : k1, k2, k3...\r\n");
    EXPECT_EQ(bytes.substr(d + 10 * 25 + 66, 25), "-2.500000000000000E-001\r\n");
    EXPECT_EQ(bytes.substr(d + 20 * 25 + 66, 33), "Frame         1 : a1, a2, a3...\r\n");
    EXPECT_EQ(bytes.substr(d + 50 * 25 + 5 * 33, 33), "Frame         2 : k1, k2, k3...\r\n");
    std::size_t lines = 0;
    for (std::size_t at = bytes.find("Frame ", d); at != std::string::npos;
         at = bytes.find("Frame ", at + 1))
        ++lines;
    EXPECT_EQ(lines, 6u);

    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("l.lpc"), 8 * 4), 0);
    EXPECT_EQ(r.recordCount, 60);
    EXPECT_EQ(recordPosition(r, 10), static_cast<int64_t>(d) + 10 * 25 + 33);
    ASSERT_EQ(sigAccess(r, 10), 0);
    EXPECT_EQ(*r.at<double>(10), -0.25);  // keeps its sign after the frame line
    EXPECT_EQ(*r.at<double>(9 + 2), -0.25);
    ASSERT_EQ(sigAccess(r, 9), 0);
    EXPECT_EQ(*r.at<double>(9), 0.5);
    sigClose(r);
}

TEST_F(SignalAccess, UnknownWindowNameReadsAsMinusOne) {
    test::writeFile(path("w.fre"), commonHeader("8", "CINT32RECT(W)") +
                                       "Frame size            : 4\r\n"
                                       "Frame interval        : 4\r\n"
                                       "Window function       : Hann\r\n" +
                                       dataBegin() + std::string(8 * 12, ' '));
    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("w.fre"), 0), 0) << lastError();
    EXPECT_EQ(r.param1, 4);
    EXPECT_EQ(r.param3, -1);
    sigClose(r);
}

TEST_F(SignalAccess, ChannelLinesAlignInTheFile) {
    SignalDescriptor w = header("twelve", 8000.0);
    w.param1 = 12;
    ASSERT_EQ(write(w, "m.tim", kRealtimeInt16, 24, 'b', 64,
                    [](int32_t, void* r) { put<int16_t>(r, 0); }),
              0);
    const std::string bytes = test::readFile(path("m.tim"));
    EXPECT_NE(bytes.find("\r\nCh9  range gain source: -1 1 9\r\n"
                         "Ch10 range gain source: -1 1 10\r\n"),
              std::string::npos);
}

TEST_F(SignalAccess, SixDigitSamplingRate) {
    SignalDescriptor w = header("rate", 22050.123456);
    ASSERT_EQ(
        write(w, "s.tim", kInteger16, 10, 'a', 64, [](int32_t, void* r) { put<int16_t>(r, 0); }),
        0);
    EXPECT_NE(test::readFile(path("s.tim")).find("Sampling rate         : 22050.1 Hz\r\n"),
              std::string::npos);
    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("s.tim"), 0), 0);
    EXPECT_EQ(r.samplingRate, 22050.1);
    sigClose(r);

    w = header("rate", 12345678.0);
    ASSERT_EQ(
        write(w, "t.tim", kInteger16, 10, 'a', 64, [](int32_t, void* r) { put<int16_t>(r, 0); }),
        0);
    EXPECT_NE(test::readFile(path("t.tim")).find("Sampling rate         : 1.23457e+007 Hz\r\n"),
              std::string::npos);
    ASSERT_EQ(sigOpenRead(r, entry("t.tim"), 0), 0);
    EXPECT_EQ(r.samplingRate, 12345700.0);
    sigClose(r);
}

TEST_F(SignalAccess, NonFiniteValuesKeepRecordWidths) {
    const float values[] = {std::numeric_limits<float>::infinity(), 1.0f,
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
    SignalDescriptor w = header("odd", 8000.0);
    ASSERT_EQ(write(w, "o.tim", kReal32, 4, 'a', 64,
                    [&](int32_t i, void* r) { put<float>(r, values[i]); }),
              0);
    const std::string bytes = test::readFile(path("o.tim"));
    EXPECT_EQ(bytes.substr(bytes.size() - 68),
              "            INF\r\n 1.0000000E+000\r\n"
              "           -INF\r\n            NAN\r\n");
    SignalDescriptor r{};
    auto recs = readAll(r, "o.tim", 64);
    ASSERT_EQ(recs.size(), 4u);
    EXPECT_EQ(get<float>(recs[0]), values[0]);
    EXPECT_EQ(get<float>(recs[1]), 1.0f);
    EXPECT_EQ(get<float>(recs[2]), values[2]);
    EXPECT_TRUE(std::isnan(get<float>(recs[3])));
}

TEST_F(SignalAccess, ReadsBareLfTextFiles) {
    std::string h = commonHeader("3", "REAL32") + dataBegin();
    std::string lf;
    for (char c : h)
        if (c != '\r') lf += c;
    lf += " 1.5000000E+000\n-2.0000000E+000\n 3.0000000E-003\n";
    test::writeFile(path("lf.tim"), lf);
    SignalDescriptor r{};
    auto recs = readAll(r, "lf.tim", 64);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(get<float>(recs[0]), 1.5f);
    EXPECT_EQ(get<float>(recs[1]), -2.0f);
    EXPECT_EQ(get<float>(recs[2]), 3.0e-3f);
    EXPECT_STREQ(r.remark, "hand made");
}

TEST_F(SignalAccess, LongRemarkIsCutAndTheHeaderStillReads) {
    std::string h = commonHeader("3", "INTEGER16");
    h.replace(h.find("hand made"), 9, std::string(300, 'x'));
    test::writeFile(path("long.tim"), h + dataBegin() + "0001\r\n0002\r\n0003\r\n");
    SignalDescriptor r{};
    auto recs = readAll(r, "long.tim", 64);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(std::string(r.remark), std::string(127, 'x'));
}

// ---------------------------------------------------------------------------
// Window movement

TEST_F(SignalAccess, OutputWindowMovesAfterWriting) {
    for (char format : {'a', 'b'}) {
        SignalDescriptor w = header("win", 8000.0);
        ASSERT_EQ(sigOpenWrite(w, entry("big.tim"), kReal32, 10000, format, 16384), 0);
        EXPECT_EQ(w.windowCapacity, 4096);
        for (int32_t i = 0; i < 4096; ++i) {
            ASSERT_EQ(sigAccess(w, i), 0);
            *w.at<float>(i) = float(i);
        }
        const std::size_t header = static_cast<std::size_t>(w.dataOffset);
        EXPECT_EQ(test::readFile(path("big.tim")).size(), header);
        ASSERT_EQ(sigAccess(w, 5000), 0);
        EXPECT_EQ(w.windowStart, 4096);
        EXPECT_EQ(test::readFile(path("big.tim")).size(),
                  header + 4096u * (format == 'a' ? 17 : 4));
        // The buffer is not cleared: unset records keep the old window's values.
        *w.at<float>(5000) = -1.0f;
        ASSERT_EQ(sigAccess(w, 9999), 0);  // window 8192..9999 keeps it all
        EXPECT_EQ(w.windowStart, 8192);
        EXPECT_EQ(sigClose(w), 0);

        SignalDescriptor r{};
        ASSERT_EQ(sigOpenRead(r, entry("big.tim"), 16384), 0);
        EXPECT_EQ(r.recordCount, 10000);
        ASSERT_EQ(sigAccess(r, 4097), 0);
        EXPECT_EQ(*r.at<float>(4097), 1.0f);
        EXPECT_EQ(*r.at<float>(5000), -1.0f);
        ASSERT_EQ(sigAccess(r, 9999), 0);
        EXPECT_EQ(r.windowStart, 8192);
        EXPECT_EQ(*r.at<float>(9999), 9999.0f - 8192.0f);
        EXPECT_EQ(*r.at<float>(8192 + 904), -1.0f);
        sigClose(r);
    }
}

TEST_F(SignalAccess, WindowCapacities) {
    SignalDescriptor w = header("cap", 8000.0);
    ASSERT_EQ(sigOpenWrite(w, entry("cap.tim"), kInteger16, 100, 'a', 16384), 0);
    EXPECT_EQ(w.windowCapacity, 100);
    for (int32_t i = 0; i < 100; ++i) {
        ASSERT_EQ(sigAccess(w, i), 0);
        *w.at<int16_t>(i) = int16_t(i);
    }
    sigClose(w);
    EXPECT_FALSE(w.isOpen());

    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("cap.tim"), 64), 0);
    EXPECT_EQ(r.windowCapacity, 32);
    ASSERT_EQ(sigAccess(r, 70), 0);
    EXPECT_EQ(r.windowStart, 64);
    EXPECT_EQ(*r.at<int16_t>(70), 70);
    // Beyond the last record: a window with fewer valid records, no failure.
    ASSERT_EQ(sigAccess(r, 150), 0);
    EXPECT_EQ(r.windowStart, 128);
    ASSERT_EQ(sigAccess(r, 99), 0);
    EXPECT_EQ(*r.at<int16_t>(99), 99);
    sigClose(r);
    EXPECT_TRUE(errors().empty());
}

TEST_F(SignalAccess, ReplacesAnExistingFile) {
    test::writeFile(path("old.tim"), std::string(100000, 'z'));
    SignalDescriptor w = header("new", 8000.0);
    ASSERT_EQ(
        write(w, "old.tim", kInteger16, 2, 'a', 64, [](int32_t, void* r) { put<int16_t>(r, 5); }),
        0);
    const std::string bytes = test::readFile(path("old.tim"));
    EXPECT_EQ(bytes.rfind("Remark                : new\r\n", 0), 0u);
    EXPECT_EQ(bytes.substr(bytes.size() - 12), "0005\r\n0005\r\n");
}

// ---------------------------------------------------------------------------
// Headers that are refused

TEST_F(SignalAccess, TruncatedDataCutsTheRecordCount) {
    SignalDescriptor w = header("cut", 8000.0);
    ASSERT_EQ(write(w, "cut.tim", kInteger16, 1000, 'a', 1000,
                    [](int32_t i, void* r) { put<int16_t>(r, int16_t(i)); }),
              0);
    std::string bytes = test::readFile(path("cut.tim"));
    const std::size_t d = bytes.find('#') + 3;
    test::writeFile(path("cut.tim"), bytes.substr(0, d + 700 * 6 + 3));  // 700 and a half
    SignalDescriptor r{};
    auto recs = readAll(r, "cut.tim", 128);
    EXPECT_EQ(r.recordCount, 700);
    ASSERT_EQ(recs.size(), 700u);
    EXPECT_EQ(get<int16_t>(recs[699]), 699);

    test::writeFile(path("two.tim"), bytes.substr(0, d + 2 * 6));
    ASSERT_EQ(sigOpenRead(r, entry("two.tim"), 128), 1);
    EXPECT_EQ(lastError(), "'" + path("two.tim") + "' is invalid (file length too short.)");
    EXPECT_TRUE(r.isOpen());  // closed by the caller
    EXPECT_EQ(sigClose(r), 0);
    EXPECT_FALSE(r.isOpen());
}

TEST_F(SignalAccess, OneRecordIsTooShort) {
    test::writeFile(path("one.tim"), commonHeader("1", "INTEGER16") + dataBegin() + "0001\r\n");
    SignalDescriptor r{};
    EXPECT_EQ(sigOpenRead(r, entry("one.tim"), 128), 2);
    EXPECT_EQ(lastError(), "Input file is too short.");
    EXPECT_FALSE(r.isOpen());
    test::writeFile(path("neg.tim"), commonHeader("-7", "INTEGER16") + dataBegin());
    EXPECT_EQ(sigOpenRead(r, entry("neg.tim"), 128), 2);
    EXPECT_EQ(lastError(), "Input file is too short.");
}

TEST_F(SignalAccess, HeaderOnlyOpen) {
    SignalDescriptor w = header("hdr", 11025.0);
    ASSERT_EQ(
        write(w, "h.tim", kReal32, 50, 'b', 64, [](int32_t, void* r) { put<float>(r, 0.0f); }), 0);
    SignalDescriptor r{};
    r.param4 = 99;
    ASSERT_EQ(sigOpenRead(r, entry("h.tim"), 0), 0);
    EXPECT_TRUE(r.isOpen());
    EXPECT_EQ(r.buffer, nullptr);
    EXPECT_EQ(r.param4, 0);
    EXPECT_EQ(r.recordCount, 50);
    EXPECT_EQ(r.samplingRate, 11025.0);
    EXPECT_EQ(r.mode, 'r');
    EXPECT_EQ(sigClose(r), 0);
    EXPECT_FALSE(r.isOpen());
}

TEST_F(SignalAccess, OpenReadMessages) {
    SignalDescriptor r{};
    EXPECT_EQ(sigOpenRead(r, entry("missing.tim"), 128), 1);
    EXPECT_EQ(lastError(), "Invalid file name or path\n" + path("missing.tim"));

    test::writeFile(path("t.tim"), commonHeader("5", "WHATEVER") + dataBegin());
    EXPECT_EQ(sigOpenRead(r, entry("t.tim"), 128), 1);
    EXPECT_EQ(lastError(), "'" + path("t.tim") + "' does not have a valid record type.");

    test::writeFile(path("u.tim"), commonHeader("5", "REAL64") + dataBegin());
    EXPECT_EQ(sigOpenRead(r, entry("u.tim"), 128), 1);
    EXPECT_EQ(lastError(), "Unsupported type 'REAL64' in '" + path("u.tim") + "'\n");

    test::writeFile(path("m.fre"), commonHeader("5", "CINT32RECT(W)") +
                                       "Frame size            : 4\r\n" + dataBegin());
    EXPECT_EQ(sigOpenRead(r, entry("m.fre"), 128), 1);
    EXPECT_EQ(lastError(), "Invalid file header in '" + path("m.fre") + "'\n");

    test::writeFile(path("x.tim"),
                    commonHeader("5", "INTEGER16", "Xeno") + dataBegin() + std::string(30, '0'));
    EXPECT_EQ(sigOpenRead(r, entry("x.tim"), 128), 1);
    EXPECT_EQ(lastError(), "Unsupported file format in '" + path("x.tim") + "'");

    test::writeFile(path("nohash.tim"), commonHeader("5", "INTEGER16") + std::string(30, '0'));
    EXPECT_EQ(sigOpenRead(r, entry("nohash.tim"), 128), 1);
    EXPECT_EQ(lastError(), "Invalid file header in '" + path("nohash.tim") + "'\n");

    test::writeFile(path("empty.tim"), "");
    EXPECT_EQ(sigOpenRead(r, entry("empty.tim"), 128), 2);
    EXPECT_EQ(lastError(), "Input file is too short.");
    EXPECT_FALSE(r.isOpen());
}

TEST_F(SignalAccess, EmptyRemarkFailsToRead) {
    std::string h = commonHeader("3", "INTEGER16");
    h.replace(h.find("hand made"), 9, "");
    test::writeFile(path("e.tim"), h + dataBegin() + "0001\r\n0002\r\n0003\r\n");
    SignalDescriptor r{};
    EXPECT_NE(sigOpenRead(r, entry("e.tim"), 128), 0);
    EXPECT_FALSE(r.isOpen());
    EXPECT_EQ(errors().size(), 1u);
}

TEST_F(SignalAccess, AbsurdHeaderNumbersAreRefused) {
    const std::string data = std::string(64 * 12, ' ');
    struct Case {
        std::string name, text;
    } cases[] = {
        {"huge.tim", commonHeader("99999999999", "INTEGER16") + dataBegin() + data},
        {"frame0.fre", commonHeader("64", "CINT32RECT(W)") +
                           "Frame size            : 0\r\nFrame interval        : 4\r\n"
                           "Window function       : Hamming\r\n" +
                           dataBegin() + data},
        {"frameneg.fre", commonHeader("64", "CINT32RECT(W)") +
                             "Frame size            : -64\r\nFrame interval        : 4\r\n"
                             "Window function       : Hamming\r\n" +
                             dataBegin() + data},
        {"framebig.fre", commonHeader("64", "CINT32RECT(W)") +
                             "Frame size            : 2147483647\r\nFrame interval        : "
                             "4\r\nWindow function       : Hamming\r\n" +
                             dataBegin() + data},
        {"order0.lpc", commonHeader("64", "LPCCoeffREAL8") +
                           "LPC Order             : 0\r\nFrame Size            : 1\r\n"
                           "Frame Interval        : 1\r\n" +
                           dataBegin() + data},
        {"orderneg.lpc", commonHeader("64", "LPCCoeffREAL8") +
                             "LPC Order             : -3\r\nFrame Size            : 1\r\n"
                             "Frame Interval        : 1\r\n" +
                             dataBegin() + data},
        {"orderbig.lpc", commonHeader("64", "LPCCoeffREAL8") +
                             "LPC Order             : 1000000000\r\nFrame Size            : 1\r\n"
                             "Frame Interval        : 1\r\n" +
                             dataBegin() + data},
        {"ch33.tim", commonHeader("64", "REALTIMEINT16") +
                         "Number of channels    : 33\r\nADC/DAC device code   : 0\r\n" +
                         dataBegin() + data},
        {"chneg.tim", commonHeader("64", "REALTIMEINT16") +
                          "Number of channels    : -1\r\nADC/DAC device code   : 0\r\n" +
                          dataBegin() + data},
    };
    for (const Case& c : cases) {
        test::writeFile(path(c.name), c.text);
        for (int32_t buffer : {0, 128}) {
            SignalDescriptor r{};
            EXPECT_EQ(sigOpenRead(r, entry(c.name), buffer), 1) << c.name;
            EXPECT_EQ(lastError(), "Invalid file header in '" + path(c.name) + "'\n") << c.name;
            EXPECT_FALSE(r.isOpen()) << c.name;
        }
    }
}

TEST_F(SignalAccess, FrameFilesWithNegativeIntervalOrCutShortOpen) {
    // 64 records of 12 bytes are present.  A negative interval (one frame
    // from a given sample) is kept; a frame size within the header's count
    // but beyond the records present opens with the records present.
    const std::string data = std::string(64 * 12, ' ');
    test::writeFile(path("neg.fre"), commonHeader("64", "CINT32RECT(W)") +
                                         "Frame size            : 64\r\nFrame interval        : "
                                         "-100\r\nWindow function       : Hamming\r\n" +
                                         dataBegin() + data);
    test::writeFile(path("cut.fre"), commonHeader("1000", "CINT32RECT(W)") +
                                         "Frame size            : 512\r\nFrame interval        : "
                                         "4\r\nWindow function       : Hamming\r\n" +
                                         dataBegin() + data);
    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("neg.fre"), 128), 0);
    EXPECT_EQ(r.param2, -100);
    sigClose(r);
    ASSERT_EQ(sigOpenRead(r, entry("cut.fre"), 128), 0);
    EXPECT_EQ(r.recordCount, 64);
    EXPECT_EQ(r.param1, 512);
    sigClose(r);
}

TEST_F(SignalAccess, MissingChannelLinesGiveDefaults) {
    test::writeFile(path("c.tim"), commonHeader("8", "REALTIMEINT16") +
                                       "Number of channels    : 2\r\nADC/DAC device code   : 3\r\n"
                                       "Ch0  range gain source: 5 2 4\r\n" +
                                       dataBegin() + std::string(8 * 6, ' '));
    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("c.tim"), 0), 0) << lastError();
    EXPECT_EQ(r.param1, 2);
    EXPECT_EQ(r.param2, 3);
    EXPECT_EQ(r.channelRange[0], -1.0f);
    EXPECT_EQ(r.channelGain[0], 1.0f);
    EXPECT_EQ(r.channelSource[0], 0);
    EXPECT_EQ(r.channelSource[1], 1);
    sigClose(r);
}

// Every prefix and many corruptions of valid files open or fail cleanly.
TEST_F(SignalAccess, DamagedFilesNeverCrash) {
    SignalDescriptor w = header("fuzz", 8000.0);
    w.param1 = 2;
    w.param2 = 8;
    w.param3 = 4;
    ASSERT_EQ(write(w, "l.lpc", kLpcCoeffReal8, 8, 'a', 64,
                    [](int32_t i, void* r) { put<double>(r, i); }),
              0);
    w.param1 = 4;
    ASSERT_EQ(
        write(w, "s.fre", kCReal128Rect, 8, 'b', 64, [](int32_t i, void* r) { put<double>(r, i); }),
        0);
    ASSERT_EQ(write(w, "m.tim", kRealtimeInt16, 8, 'a', 64,
                    [](int32_t i, void* r) { put<int16_t>(r, int16_t(i)); }),
              0);
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1103515245u + 12345u; };
    int made = 0;
    for (const char* name : {"l.lpc", "s.fre", "m.tim"}) {
        const std::string good = test::readFile(path(name));
        std::vector<std::string> variants;
        for (std::size_t n = 0; n < good.size(); n += 3) variants.push_back(good.substr(0, n));
        for (int k = 0; k < 150; ++k) {
            std::string bad = good;
            for (int m = 0; m < 3; ++m) {
                const std::size_t at = next() % bad.size();
                const char pool[] = "#:-9\r\n 0x";
                bad[at] = pool[next() % (sizeof pool - 1)];
            }
            variants.push_back(bad);
        }
        for (const std::string& v : variants) {
            // A new file each time: rewriting one in place waits for the disk.
            const std::string name = "v" + std::to_string(++made) + ".tim";
            test::writeFile(path(name), v);
            SignalDescriptor r{};
            const int32_t res = sigOpenRead(r, entry(name), 48);
            ASSERT_TRUE(res >= 0 && res <= 2);
            if (res == 0)
                for (int32_t i = 0; i < r.recordCount && r.isOpen(); ++i) sigAccess(r, i);
            sigClose(r);
            EXPECT_FALSE(r.isOpen());
        }
    }
}

// ---------------------------------------------------------------------------
// Output refusals and failures

TEST_F(SignalAccess, UnsupportedOutputTypeIsLoggedOnly) {
    SignalDescriptor w = header("x", 1.0);
    EXPECT_EQ(sigOpenWrite(w, entry("r64.tim"), kReal64, 10, 'a', 64), 1);
    EXPECT_TRUE(TestHost::instance().messages().empty());
    EXPECT_FALSE(test::fileExists(path("r64.tim")));
    ExitQuillfen();
    EXPECT_NE(test::readFile(dir + "quillfen.log").find("Unsupported type REAL64.  "),
              std::string::npos);
    ASSERT_EQ(test::startEngine(dir), 0);
}

TEST_F(SignalAccess, InvalidOutputHeadersAreRefused) {
    SignalDescriptor w = header("x", 1.0);
    w.param1 = 0;
    EXPECT_EQ(sigOpenWrite(w, entry("o.lpc"), kLpcCoeffReal8, 10, 'a', 64), 1);
    EXPECT_EQ(lastError(), "Invalid file header in '" + path("o.lpc") + "'\n");
    w.param1 = 33;
    EXPECT_EQ(sigOpenWrite(w, entry("o.tim"), kRealtimeInt16, 66, 'b', 64), 1);
    EXPECT_FALSE(w.isOpen());
    EXPECT_FALSE(test::fileExists(path("o.tim")));
}

int64_t tinyDisk(const char*) {
    return 1000;
}
int64_t roomyDisk(const char*) {
    return int64_t{1} << 40;
}

TEST_F(SignalAccess, DiskSpaceCheckUsesTheFreeSpaceUpTo240MiB) {
    platform::setFreeSpaceSource(tinyDisk);
    SignalDescriptor w = header("x", 1.0);
    EXPECT_EQ(sigOpenWrite(w, entry("a.tim"), kInteger16, 100, 'a', 64), 2);
    EXPECT_EQ(lastError(),
              "There isn't sufficient disk space available on the current drive.  1000 bytes "
              "available; 2648 bytes needed.");
    EXPECT_FALSE(w.isOpen());
    EXPECT_EQ(sigDiscard(w), 1);
    EXPECT_EQ(w.buffer, nullptr);

    EXPECT_EQ(sigOpenWrite(w, entry("a.tim", "c:/data/"), kReal32, 100, 'b', 64), 2);
    EXPECT_EQ(lastError(),
              "There isn't sufficient disk space available on C: drive.  1000 bytes "
              "available; 2448 bytes needed.");

    // Without a buffer nothing is checked.
    EXPECT_EQ(sigOpenWrite(w, entry("h.tim"), kInteger16, 100, 'a', 0), 0);
    EXPECT_EQ(sigClose(w), 0);
    EXPECT_EQ(sigFileLength(nullptr), 251658240);

    // However roomy the disk, 240 MiB is the most an output may take:
    // 14 803 306 REAL32 text records of 17 bytes and 2048 bytes of header
    // are 10 bytes too many.
    platform::setFreeSpaceSource(roomyDisk);
    EXPECT_EQ(sigOpenWrite(w, entry("big.tim", "c:/data/"), kReal32, 14803306, 'a', 64), 2);
    EXPECT_EQ(lastError(),
              "There isn't sufficient disk space available on C: drive.  251658240 bytes "
              "available; 251658250 bytes needed.");

    EXPECT_EQ(sigOpenWrite(w, entry("a.tim", "c:/data/"), kInteger16, 100, 'a', 64), 1);
    EXPECT_EQ(lastError(), "Cannot open c:/data/a.tim for write.");
    EXPECT_FALSE(w.isOpen());

    platform::setFreeSpaceSource(nullptr);
}

TEST_F(SignalAccess, FailedWriteRemovesTheOutput) {
    SignalDescriptor w = header("x", 1.0);
    ASSERT_EQ(sigOpenWrite(w, entry("f.tim"), kInteger16, 1000, 'b', 64), 0);
    // The stream can no longer be written.
    ASSERT_NE(std::freopen(path("f.tim").c_str(), "rb", w.stream), nullptr);
    for (int32_t i = 0; i < 32; ++i) ASSERT_EQ(sigAccess(w, i), 0);
    EXPECT_EQ(sigAccess(w, 32), 1);
    EXPECT_EQ(lastError(), "Error writing output file '" + path("f.tim") + "'");
    EXPECT_FALSE(w.isOpen());
    EXPECT_EQ(w.buffer, nullptr);
    EXPECT_FALSE(test::fileExists(path("f.tim")));
    EXPECT_EQ(sigDiscard(w), 1);
    EXPECT_EQ(sigClose(w), 0);

    ASSERT_EQ(sigOpenWrite(w, entry("g.tim"), kReal32, 10, 'a', 64), 0);
    ASSERT_NE(std::freopen(path("g.tim").c_str(), "rb", w.stream), nullptr);
    EXPECT_EQ(sigClose(w), 1);
    EXPECT_EQ(lastError(), "Error writing output file '" + path("g.tim") + "'");
    EXPECT_FALSE(test::fileExists(path("g.tim")));
}

TEST_F(SignalAccess, FailedReadClosesTheInput) {
    SignalDescriptor w = header("x", 1.0);
    ASSERT_EQ(write(w, "in.tim", kInteger16, 1000, 'a', 64,
                    [](int32_t i, void* r) { put<int16_t>(r, int16_t(i)); }),
              0);
    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("in.tim"), 64), 0);
    const std::string bytes = test::readFile(path("in.tim"));
    test::writeFile(path("in.tim"), bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(sigAccess(r, 999), 1);
    EXPECT_EQ(lastError(), "Error reading input file '" + path("in.tim") + "'");
    EXPECT_FALSE(r.isOpen());
    EXPECT_EQ(sigClose(r), 0);
    EXPECT_TRUE(test::fileExists(path("in.tim")));
}

TEST_F(SignalAccess, DiscardRemovesOnlyOutputs) {
    SignalDescriptor w = header("x", 1.0);
    ASSERT_EQ(sigOpenWrite(w, entry("d.tim"), kInteger16, 100, 'a', 64), 0);
    EXPECT_TRUE(test::fileExists(path("d.tim")));
    EXPECT_EQ(sigDiscard(w), 0);
    EXPECT_FALSE(test::fileExists(path("d.tim")));
    EXPECT_FALSE(w.isOpen());
    EXPECT_EQ(sigDiscard(w), 1);

    ASSERT_EQ(
        write(w, "keep.tim", kInteger16, 10, 'a', 64, [](int32_t, void* r) { put<int16_t>(r, 0); }),
        0);
    SignalDescriptor r{};
    ASSERT_EQ(sigOpenRead(r, entry("keep.tim"), 64), 0);
    EXPECT_EQ(sigDiscard(r), 0);
    EXPECT_TRUE(test::fileExists(path("keep.tim")));
}

TEST_F(SignalAccess, ReplotNoteOfAnotherFileIsKept) {
    StatusRecord& s = status();
    s.replotOpCode = QF_OP_WAVEFORM_DISPLAY;
    s.replotFile = entry("shown.tim");
    SignalDescriptor w = header("x", 1.0);
    ASSERT_EQ(
        write(w, "other.tim", kInteger16, 4, 'a', 64, [](int32_t, void* r) { put<int16_t>(r, 0); }),
        0);
    EXPECT_EQ(s.replotOpCode, QF_OP_WAVEFORM_DISPLAY);
    EXPECT_STREQ(s.replotFile.n, "shown.tim");
    s.replotOpCode = 0;
    std::memset(&s.replotFile, 0, sizeof s.replotFile);
}

// ---------------------------------------------------------------------------
// Record sizes, memory arrays, lengths and directories

TEST_F(SignalAccess, RecordSizesFollowTheFormat) {
    SignalDescriptor d{};
    d.recordType = kCReal128Rect;
    d.format = 'a';
    EXPECT_EQ(sigSetRecordSizes(d), 0);
    EXPECT_EQ(d.recordSize, 16);
    EXPECT_EQ(d.recordWidth, 50);
    d.format = 'b';
    EXPECT_EQ(sigSetRecordSizes(d), 0);
    EXPECT_EQ(d.recordWidth, 16);
    d.recordType = kReal64;
    EXPECT_EQ(sigSetRecordSizes(d), 3);
}

TEST_F(SignalAccess, MemoryArrays) {
    struct Row {
        int32_t type, size;
    } rows[] = {{12, 12}, {16, 12}, {36, 12}, {13, 24}, {17, 24}, {37, 24}, {14, 16}, {18, 16},
                {15, 32}, {19, 32}, {20, 2},  {21, 4},  {22, 4},  {23, 4},  {30, 4}};
    for (const Row& row : rows) {
        SignalDescriptor d{};
        std::strcpy(d.remark, "old");
        d.signalFrequency = 5.0;
        ASSERT_EQ(sigOpenMemory(d, row.type, 7), 0) << row.type;
        EXPECT_TRUE(d.isOpen());
        EXPECT_EQ(d.bufferBytes, 7 * row.size) << row.type;
        EXPECT_EQ(d.recordCount, 7);
        EXPECT_EQ(d.windowCapacity, 7);
        EXPECT_EQ(d.windowStart, 0);
        EXPECT_EQ(d.stream, nullptr);
        EXPECT_STREQ(d.remark, "");
        EXPECT_EQ(d.signalFrequency, 0.0);
        std::memset(d.buffer, 0xAB, static_cast<std::size_t>(d.bufferBytes));
        EXPECT_EQ(sigFreeMemory(d), 0);
        EXPECT_FALSE(d.isOpen());
    }
    SignalDescriptor d{};
    ASSERT_EQ(sigOpenMemory(d, 29, 21), 0);  // 2 x order + 1 words
    EXPECT_EQ(d.recordCount, 10);
    EXPECT_EQ(d.windowCapacity, 10);
    EXPECT_EQ(d.bufferBytes, 84);
    EXPECT_EQ(sigClose(d), 0);
    EXPECT_FALSE(d.isOpen());
    EXPECT_EQ(sigOpenMemory(d, kReal32, 5), 3);
    EXPECT_EQ(sigOpenMemory(d, 31, 5), 3);
    EXPECT_EQ(sigOpenMemory(d, 20, -1), 2);
    EXPECT_EQ(sigFreeMemory(d), 0);
}

TEST_F(SignalAccess, FileLength) {
    test::writeFile(path("len.bin"), std::string(12345, 'q'));
    EXPECT_EQ(sigFileLength(path("len.bin").c_str()), 12345);
    EXPECT_EQ(sigFileLength(path("none.bin").c_str()), -1);
}

TEST_F(SignalAccess, CurrentDirectory) {
    stdSetCurrentDir(dir.c_str());
    char buf[768];
    stdGetCurrentDir(buf, sizeof buf);
    const std::string canonical = std::filesystem::canonical(dir).string() + "/";
    EXPECT_EQ(std::string(buf), canonical);
    std::string noSlash = dir.substr(0, dir.size() - 1);
    stdSetCurrentDir("/");
    stdSetCurrentDir(noSlash.c_str());
    stdGetCurrentDir(buf, sizeof buf);
    EXPECT_EQ(std::string(buf), canonical);
    char small[4];
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
