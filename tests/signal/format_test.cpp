// Signal file format: tables, header text and scanning, record text and
// positions, against hand-written bytes.
#include "signal/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace qf {
namespace {

SignalDescriptor blank(int32_t type, char format) {
    SignalDescriptor d{};
    std::strcpy(d.remark, "test signal");
    std::tie(d.recordType, d.format, d.samplingRate) = std::tuple(type, format, 8000.0);
    recordSizes(type, d.recordSize, d.recordWidth);
    if (format == 'b') d.recordWidth = d.recordSize;
    for (int c = 0; c < kMaxChannels; ++c) {
        d.channelRange[c] = -1.0f;
        d.channelGain[c] = 1.0f;
        d.channelSource[c] = static_cast<uint8_t>(c);
    }
    return d;
}

// Header lines 1 to 6.
std::string commonLines(const std::string& remark, const std::string& count,
                        const std::string& type, const std::string& rate, const std::string& format,
                        const std::string& frequency = "0") {
    return "Remark                : " + remark + "\r\nNumber of record      : " + count +
           "\r\nRecord type number    : " + type + "\r\nSignal frequency      : " + frequency +
           " Hz\r\nSampling rate         : " + rate + " Hz\r\nFile format           : " + format +
           "\r\n";
}

// Names padded with a number, descriptions falling back to the name.
TEST(SignalRecordTypeTable, NamesDescriptionsAndLookup) {
    const std::pair<int, const char*> names[] = {
        {4, "corrINT2       4"}, {29, "              29"}, {35, "LPCCoeffREAL8 35"}};
    for (const auto& [type, name] : names) EXPECT_STREQ(recordTypeName(type), name) << type;
    for (int t : {38, -1}) EXPECT_EQ(recordTypeName(t), nullptr) << t;
    for (int t = 0; t < kRecordTypeCount; ++t) ASSERT_NE(recordTypeName(t), nullptr) << t;
    EXPECT_STREQ(recordTypeDescription(2), "IEEE 32 bit float");
    EXPECT_STREQ(recordTypeDescription(28), "REALTIMEINT16");

    // Lookup by the first word: "29" is the first word of "              29",
    // "4" only the second of "corrINT2       4".
    const std::pair<const char*, int> words[] = {{"CINT32RECT(W)", 8}, {"corrINT2", 4}, {"29", 29},
                                                 {"integer16", -1},    {"4", -1},       {"", -1}};
    for (const auto& [word, type] : words) EXPECT_EQ(recordTypeFromWord(word), type) << word;
    for (int t : {0, 2, 8, 11, 28, 35}) EXPECT_TRUE(isFileRecordType(t)) << t;
    for (int t : {1, 3, 10, 12, 29, 34, 36, -1, 38}) EXPECT_FALSE(isFileRecordType(t)) << t;
}

TEST(SignalWindowNames, SixteenExactNames) {
    for (int w = 0; w < kWindowCount; ++w) EXPECT_EQ(windowNumber(windowName(w)), w);
    EXPECT_STREQ(windowName(7), "Gaussian(3.0)");
    EXPECT_EQ(windowName(16), nullptr);
    for (const char* name : {"Hann", "hanning"}) EXPECT_EQ(windowNumber(name), -1) << name;
}

TEST(SignalHeaderText, HeadersAsWritten) {
    // Binary: the header ends with a SUB character.
    SignalDescriptor d = blank(kCReal128Rect, 'b');
    d.recordCount = 1024;
    d.samplingRate = 1000000.0;
    std::tie(d.param1, d.param2, d.param3) = std::tuple(256, 128, 4);
    EXPECT_EQ(headerText(d),
              commonLines("test signal", "1024", "CREAL128RECT(W)", "1e+006", "Binary") +
                  "Frame size            : 256\r\nFrame interval        : 128\r\n"
                  "Window function       : Hamming\r\nData begin            #\r\x1A");

    // Coefficient files write their lines with capitals.
    d = blank(kLpcCoeffReal8, 'a');
    d.recordCount = 60;
    d.signalFrequency = 440.0;
    std::tie(d.param1, d.param2, d.param3) = std::tuple(10, 240, 80);
    EXPECT_EQ(headerText(d),
              commonLines("test signal", "60", "LPCCoeffREAL8 35", "8000", "ASCII", "440") +
                  "LPC Order             : 10\r\nFrame Size            : 240\r\n"
                  "Frame Interval        : 80\r\nData begin            #\r\n");

    // Channel lines align: "Ch9  ", "Ch10 ".
    d = blank(kRealtimeInt16, 'b');
    d.recordCount = 1200;
    std::tie(d.param1, d.param2) = std::tuple(12, 0);
    std::string channels = "Number of channels    : 12\r\nADC/DAC device code   : 0\r\n";
    for (int c = 0; c < 12; ++c)
        channels += "Ch" + std::to_string(c) + (c < 10 ? "  " : " ") + "range gain source: -1 1 " +
                    std::to_string(c) + "\r\n";
    EXPECT_EQ(headerText(d), commonLines("test signal", "1200", "REALTIMEINT16", "8000", "Binary") +
                                 channels + "Data begin            #\r\x1A");

    // The remark is one line without '#', of at most 127 characters.
    d = blank(kReal32, 'a');
    std::strcpy(d.remark, "a#b\nc");
    d.recordCount = 5;
    EXPECT_EQ(headerText(d).rfind("Remark                : a b c\r\n", 0), 0u);
    std::memset(d.remark, 'x', sizeof d.remark);  // no terminator: 127 used
    EXPECT_EQ(headerText(d).find("\r\n"), 24u + 127u);
}

TEST(SignalHeaderScan, WrittenAndHandWrittenHeaders) {
    // An unknown window name is -1; the format letter is lowered.
    SignalDescriptor r{};
    HeaderScan s = scanHeader(commonLines("spectrum", "512", "CINT32RECT(W)", "8000", "ascii") +
                              "Frame size            : 256\r\nFrame interval        : 256\r\n"
                              "Window function       : Hann\r\nData begin            ");
    EXPECT_EQ(std::tuple(s.assigned, s.window, s.format), std::tuple(9, -1, 'a'));
    EXPECT_TRUE(headerValuesUsable(s));
    applyHeader(s, r);
    EXPECT_EQ(std::tuple(r.param1, r.param3), std::tuple(256, -1));

    // An empty remark runs into the next line.
    s = scanHeader(commonLines("", "100", "INTEGER16", "8000", "ASCII") + "Data begin            ");
    EXPECT_STREQ(s.remark, "Number of record      : 100");
    EXPECT_NE(s.assigned, requiredHeaderValues(kInteger16));
    EXPECT_EQ(s.recordCount, 0);  // "%ld" met "INTEGER16"

    // Fields are bounded; bare LF line ends.
    s = scanHeader(
        "Remark                : " + std::string(300, 'r') +
        "\nNumber of record      : 42\nRecord type number    : " + std::string(200, 'T') +
        "\nSignal frequency      : 1 Hz\nSampling rate         : 2 Hz\n"
        "File format           : B\n");
    EXPECT_EQ(std::tuple(std::strlen(s.remark), s.recordCount, std::strlen(s.typeWord)),
              std::tuple(127u, 42, 63u));
    EXPECT_EQ(std::tuple(s.recordType, s.format), std::tuple(-1, 'b'));
}

TEST(SignalHeaderScan, RefusesUnusableNumbers) {
    // The number is the frame size, LPC order or channel count.
    auto scan = [](const std::string& type, const std::string& count, const std::string& n) {
        std::string lines;
        if (type == "CINT32RECT(W)")
            lines = "Frame size            : " + n +
                    "\r\nFrame interval        : 4\r\nWindow function       : Hamming\r\n";
        if (type == "LPCCoeffREAL8")
            lines = "LPC Order             : " + n +
                    "\r\nFrame Size            : 1\r\nFrame Interval        : 1\r\n";
        if (type == "REALTIMEINT16")
            lines = "Number of channels    : " + n + "\r\nADC/DAC device code   : 0\r\n";
        return scanHeader(commonLines("r", count, type, "1", "ASCII") + lines);
    };
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"CINT32RECT(W)", "64", "64", true},          {"CINT32RECT(W)", "64", "0", false},
        {"CINT32RECT(W)", "64", "2147483647", false}, {"CINT32RECT(W)", "64", "65", false},
        {"INTEGER16", "99999999999", "", false},      {"INTEGER16", "-3", "", false},
        {"LPCCoeffREAL8", "20", "10", true},          {"LPCCoeffREAL8", "20", "11", false},
        {"LPCCoeffREAL8", "20", "0", false},          {"LPCCoeffREAL8", "20", "1000000000", false},
        {"REALTIMEINT16", "64", "32", true},          {"REALTIMEINT16", "64", "33", false},
        {"REALTIMEINT16", "64", "-2", false}};
    for (const auto& [type, count, n, usable] : cases)
        EXPECT_EQ(headerValuesUsable(scan(type, count, n)), usable)
            << type << ' ' << count << ' ' << n;
    // A channel count of 0 is one channel with default calibration.
    HeaderScan zero = scan("REALTIMEINT16", "64", "0");
    EXPECT_TRUE(headerValuesUsable(zero));
    SignalDescriptor d{};
    applyHeader(zero, d);
    EXPECT_EQ(std::tuple(d.param1, d.channelRange[0]), std::tuple(1, -1.0f));
}

TEST(SignalRecordPosition, TextBinaryAndCoefficientFrames) {
    SignalDescriptor d = blank(kCReal128Rect, 'b');
    d.dataOffset = 300;
    EXPECT_EQ(std::tuple(recordPosition(d, 3), recordsInBytes(d, 50)), std::tuple(300 + 48, 3));

    // Order 10: a frame line of 33 bytes starts each group of ten records of
    // 25 bytes; record i starts after (i + 9) / 10 frame lines.
    d = blank(kLpcCoeffReal8, 'a');
    d.dataOffset = 250;
    d.param1 = 10;
    auto start = [](int64_t i) { return 25 * i + (i + 9) / 10 * 33; };
    for (int32_t i = 0; i <= 60; ++i) EXPECT_EQ(recordPosition(d, i), 250 + start(i)) << i;
    // A span of bytes holds the records that end within it.
    for (int64_t bytes = 0, n = 0; bytes <= start(60); ++bytes) {
        while (start(n + 1) <= bytes) ++n;
        EXPECT_EQ(recordsInBytes(d, bytes), n) << bytes;
    }
}

TEST(SignalTextRecords, IntegerComplexAndReal) {
    SignalDescriptor d = blank(kInteger16, 'a');
    const int16_t v[] = {-1, 0, 0x7FFF, -32768, 0x0A5B};
    char out[7 * 17];
    formatTextRecords(d, v, 0, 5, out);
    EXPECT_EQ(std::string(out, 30), "FFFF\r\n0000\r\n7FFF\r\n8000\r\n0A5B\r\n");
    const std::string in = "8000\r\nffff\r\n  7f\r\n0001\r\nzzzz\r\n";
    std::vector<int16_t> r(5, 9);
    // "zzzz" is not a number: record 4 is refused, the ones before are read.
    EXPECT_EQ(parseTextRecords(d, in.data(), in.size(), 0, 5, r.data()), 4);
    EXPECT_EQ(r, (std::vector<int16_t>{-32768, -1, 0x7F, 1, 9}));

    d = blank(kCInt32Rect, 'a');
    const int16_t c[] = {-1, 0x1234, -32768, 1};
    formatTextRecords(d, c, 0, 2, out);
    EXPECT_EQ(std::string(out, 24), "FFFF j1234\r\n8000 j0001\r\n");

    d = blank(kCReal128Rect, 'a');
    const double z[] = {0.25, -1e-300};
    formatTextRecords(d, z, 0, 1, out);
    EXPECT_EQ(std::string(out, 50), " 2.500000000000000E-001 j-1.000000000000000E-300\r\n");

    // REAL32 in 17 columns, non-finite values too.
    d = blank(kReal32, 'a');
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    const float f[] = {1.0f, -0.5f, 9.99999995f, inf, -inf, std::numeric_limits<float>::quiet_NaN(),
                       tiny};
    formatTextRecords(d, f, 0, 7, out);
    EXPECT_EQ(std::string(out, 7 * 17),
              " 1.0000000E+000\r\n-5.0000000E-001\r\n 1.0000000E+001\r\n            INF\r\n"
              "           -INF\r\n            NAN\r\n 1.4012985E-045\r\n");
    float fr[7] = {};
    EXPECT_EQ(parseTextRecords(d, out, sizeof out, 0, 7, fr), -1);
    EXPECT_EQ(std::tuple(fr[0], fr[1], fr[2], fr[3], fr[4], fr[6]),
              std::tuple(1.0f, -0.5f, 10.0f, inf, -inf, tiny));
    EXPECT_TRUE(std::isnan(fr[5]));
    // Out of float range on disk reads as infinity or zero.
    const std::string big = " 1.0000000E+050\r\n-1.0000000E-050\r\n";
    EXPECT_EQ(parseTextRecords(d, big.data(), big.size(), 0, 2, fr), -1);
    EXPECT_EQ(std::tuple(fr[0], fr[1], std::signbit(fr[1])), std::tuple(inf, 0.0f, true));
}

TEST(SignalTextRecords, CoefficientFrameLines) {
    SignalDescriptor d = blank(kLpcCoeffReal8, 'a');
    d.param1 = 2;  // order 2: a1 a2 k1 k2 per frame
    const double v[] = {0.5, -0.25, 1.0, -1.0, 2.0, 3.0};
    const std::size_t bytes = 6 * 25 + 3 * 33;
    std::vector<char> out(bytes);
    formatTextRecords(d, v, 0, 6, out.data());
    EXPECT_EQ(std::string(out.data(), bytes),
              "Frame         0 : a1, a2, a3...\r\n"
              " 5.000000000000000E-001\r\n-2.500000000000000E-001\r\n"
              "Frame         0 : k1, k2, k3...\r\n"
              " 1.000000000000000E+000\r\n-1.000000000000000E+000\r\n"
              "Frame         1 : a1, a2, a3...\r\n"
              " 2.000000000000000E+000\r\n 3.000000000000000E+000\r\n");
    std::vector<double> r(6);
    EXPECT_EQ(parseTextRecords(d, out.data(), bytes, 0, 6, r.data()), -1);
    EXPECT_EQ(r, std::vector<double>(v, v + 6));
    // A window starting inside a group: records 3..5.
    d.dataOffset = 0;
    const int64_t from = recordPosition(d, 3);
    EXPECT_EQ(parseTextRecords(d, out.data() + from, bytes - static_cast<std::size_t>(from), 3, 3,
                               r.data()),
              -1);
    EXPECT_EQ(std::vector<double>(r.begin(), r.begin() + 3), (std::vector<double>{-1.0, 2.0, 3.0}));
}

}  // namespace
}  // namespace qf
