// Signal file format: tables, header text and scanning, record text and
// positions, against hand-written bytes.
#include "signal/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace qf {
namespace {

SignalDescriptor blank(int32_t type, char format) {
    SignalDescriptor d{};
    std::strcpy(d.remark, "test signal");
    d.recordType = type;
    d.format = format;
    d.samplingRate = 8000.0;
    int32_t size = 0, width = 0;
    recordSizes(type, size, width);
    d.recordSize = size;
    d.recordWidth = format == 'b' ? size : width;
    for (int c = 0; c < kMaxChannels; ++c) {
        d.channelRange[c] = -1.0f;
        d.channelGain[c] = 1.0f;
        d.channelSource[c] = static_cast<uint8_t>(c);
    }
    return d;
}

TEST(SignalRecordTypeTable, NamesAndDescriptions) {
    EXPECT_STREQ(recordTypeName(0), "INTEGER16");
    EXPECT_STREQ(recordTypeName(4), "corrINT2       4");
    EXPECT_STREQ(recordTypeName(8), "CINT32RECT(W)");
    EXPECT_STREQ(recordTypeName(11), "CREAL128RECT(W)");
    EXPECT_STREQ(recordTypeName(26), "CREAL64POLAR(W) 26");
    EXPECT_STREQ(recordTypeName(27), "CREAL128POLAR(W)27");
    EXPECT_STREQ(recordTypeName(28), "REALTIMEINT16");
    EXPECT_STREQ(recordTypeName(29), "              29");
    EXPECT_STREQ(recordTypeName(35), "LPCCoeffREAL8 35");
    EXPECT_STREQ(recordTypeName(37), "              37");
    EXPECT_EQ(recordTypeName(38), nullptr);
    EXPECT_EQ(recordTypeName(-1), nullptr);
    for (int t = 0; t < kRecordTypeCount; ++t) ASSERT_NE(recordTypeName(t), nullptr) << t;

    EXPECT_STREQ(recordTypeDescription(0), "16 bit fractional");
    EXPECT_STREQ(recordTypeDescription(1), "32 bit fractional");
    EXPECT_STREQ(recordTypeDescription(2), "IEEE 32 bit float");
    EXPECT_STREQ(recordTypeDescription(3), "IEEE 64 bit double");
    EXPECT_STREQ(recordTypeDescription(8), "complex 16 bit fractional");
    EXPECT_STREQ(recordTypeDescription(10), "complex 32 bit float");
    EXPECT_STREQ(recordTypeDescription(11), "complex 64 bit double");
    EXPECT_STREQ(recordTypeDescription(28), "REALTIMEINT16");
    EXPECT_STREQ(recordTypeDescription(14), "iir1REAL4     14");
}

TEST(SignalRecordTypeTable, LookupByFirstWord) {
    EXPECT_EQ(recordTypeFromWord("INTEGER16"), 0);
    EXPECT_EQ(recordTypeFromWord("REAL32"), 2);
    EXPECT_EQ(recordTypeFromWord("CINT32RECT(W)"), 8);
    EXPECT_EQ(recordTypeFromWord("corrINT2"), 4);
    EXPECT_EQ(recordTypeFromWord("LPCCoeffREAL8"), 35);
    EXPECT_EQ(recordTypeFromWord("29"), 29);  // first word of "              29"
    EXPECT_EQ(recordTypeFromWord("integer16"), -1);
    EXPECT_EQ(recordTypeFromWord(""), -1);
    EXPECT_EQ(recordTypeFromWord("4"), -1);  // second word only
    for (int t : {0, 2, 8, 11, 28, 35}) EXPECT_TRUE(isFileRecordType(t)) << t;
    for (int t : {1, 3, 10, 12, 29, 34, 36, -1, 38}) EXPECT_FALSE(isFileRecordType(t)) << t;
}

TEST(SignalWindowNames, SixteenExactNames) {
    const char* expected[] = {"Rectangular",   "Hanning",      "Blackman",     "Exact_Blackman",
                              "Hamming",       "Min_3-terms",  "Min_4-terms",  "Gaussian(3.0)",
                              "Gaussian(3.5)", "Poisson(3.0)", "Poisson(4.0)", "Cauchy(4.0)",
                              "Cauchy(5.0)",   "Kaiser(3.0)",  "Kaiser(3.5)",  "Triangular"};
    for (int w = 0; w < 16; ++w) {
        EXPECT_STREQ(windowName(w), expected[w]);
        EXPECT_EQ(windowNumber(expected[w]), w);
    }
    EXPECT_EQ(windowName(16), nullptr);
    EXPECT_EQ(windowNumber("Hann"), -1);
    EXPECT_EQ(windowNumber("hanning"), -1);
}

TEST(SignalRecordLayout, SizesAndTextWidths) {
    struct Row {
        int type, size, width;
    } rows[] = {{0, 2, 6}, {2, 4, 17}, {8, 4, 12}, {11, 16, 50}, {28, 2, 6}, {35, 8, 25}};
    for (const Row& r : rows) {
        int32_t size = 0, width = 0;
        ASSERT_TRUE(recordSizes(r.type, size, width)) << r.type;
        EXPECT_EQ(size, r.size) << r.type;
        EXPECT_EQ(width, r.width) << r.type;
    }
    int32_t size = 0, width = 0;
    EXPECT_FALSE(recordSizes(3, size, width));
    EXPECT_FALSE(recordSizes(12, size, width));
}

TEST(SignalHeaderText, Integer16Text) {
    SignalDescriptor d = blank(kInteger16, 'a');
    d.recordCount = 100;
    d.signalFrequency = 440.0;
    EXPECT_EQ(headerText(d),
              "Remark                : test signal\r\n"
              "Number of record      : 100\r\n"
              "Record type number    : INTEGER16\r\n"
              "Signal frequency      : 440 Hz\r\n"
              "Sampling rate         : 8000 Hz\r\n"
              "File format           : ASCII\r\n"
              "Data begin            #\r\n");
}

TEST(SignalHeaderText, SpectrumBinaryEndsWithSub) {
    SignalDescriptor d = blank(kCReal128Rect, 'b');
    d.recordCount = 1024;
    d.samplingRate = 1000000.0;
    d.param1 = 256;
    d.param2 = 128;
    d.param3 = 4;
    EXPECT_EQ(headerText(d),
              "Remark                : test signal\r\n"
              "Number of record      : 1024\r\n"
              "Record type number    : CREAL128RECT(W)\r\n"
              "Signal frequency      : 0 Hz\r\n"
              "Sampling rate         : 1e+006 Hz\r\n"
              "File format           : Binary\r\n"
              "Frame size            : 256\r\n"
              "Frame interval        : 128\r\n"
              "Window function       : Hamming\r\n"
              "Data begin            #\r\x1A");
}

TEST(SignalHeaderText, CoefficientFileCapitals) {
    SignalDescriptor d = blank(kLpcCoeffReal8, 'a');
    d.recordCount = 60;
    d.param1 = 10;
    d.param2 = 240;
    d.param3 = 80;
    const std::string h = headerText(d);
    EXPECT_NE(h.find("Record type number    : LPCCoeffREAL8 35\r\n"), std::string::npos);
    EXPECT_NE(h.find("File format           : ASCII\r\n"
                     "LPC Order             : 10\r\n"
                     "Frame Size            : 240\r\n"
                     "Frame Interval        : 80\r\n"
                     "Data begin            #\r\n"),
              std::string::npos);
}

TEST(SignalHeaderText, ChannelLinesAlign) {
    SignalDescriptor d = blank(kRealtimeInt16, 'b');
    d.recordCount = 1200;
    d.param1 = 12;
    d.param2 = 0;
    const std::string h = headerText(d);
    EXPECT_NE(h.find("Number of channels    : 12\r\nADC/DAC device code   : 0\r\n"
                     "Ch0  range gain source: -1 1 0\r\n"),
              std::string::npos);
    EXPECT_NE(h.find("\r\nCh9  range gain source: -1 1 9\r\n"
                     "Ch10 range gain source: -1 1 10\r\n"),
              std::string::npos);
    EXPECT_NE(h.find("Ch11 range gain source: -1 1 11\r\nData begin            #\r\x1A"),
              std::string::npos);
}

TEST(SignalHeaderText, RemarkIsOneLineWithoutHash) {
    SignalDescriptor d = blank(kReal32, 'a');
    std::strcpy(d.remark, "a#b\nc");
    d.recordCount = 5;
    EXPECT_EQ(headerText(d).rfind("Remark                : a b c\r\n", 0), 0u);
    std::memset(d.remark, 'x', sizeof d.remark);  // no terminator: 127 used
    EXPECT_EQ(headerText(d).find("\r\n"), 24u + 127u);
}

TEST(SignalHeaderScan, ReadsWhatWasWritten) {
    SignalDescriptor d = blank(kRealtimeInt16, 'a');
    d.recordCount = 1200;
    d.param1 = 3;
    d.param2 = 7;
    d.channelRange[1] = 2.5f;
    d.channelGain[2] = 4.0f;
    d.channelSource[0] = 5;
    d.samplingRate = 1234567.0;  // six significant digits on disk
    const std::string h = headerText(d);
    EXPECT_NE(h.find("Sampling rate         : 1.23457e+006 Hz\r\n"), std::string::npos);
    HeaderScan s = scanHeader(std::string_view(h).substr(0, h.find('#')));
    EXPECT_EQ(s.assigned, 8);
    EXPECT_STREQ(s.remark, "test signal");
    EXPECT_EQ(s.recordCount, 1200);
    EXPECT_EQ(s.recordType, kRealtimeInt16);
    EXPECT_EQ(s.samplingRate, 1234570.0);
    EXPECT_EQ(s.format, 'a');
    EXPECT_EQ(s.param[0], 3);
    EXPECT_EQ(s.param[1], 7);
    EXPECT_EQ(s.channelLines, 3);
    SignalDescriptor r{};
    applyHeader(s, r);
    EXPECT_EQ(r.channelRange[0], -1.0f);
    EXPECT_EQ(r.channelRange[1], 2.5f);
    EXPECT_EQ(r.channelGain[2], 4.0f);
    EXPECT_EQ(r.channelSource[0], 5);
    EXPECT_EQ(r.channelSource[2], 2);
}

TEST(SignalHeaderScan, UnknownWindowNameIsMinusOne) {
    const std::string h =
        "Remark                : spectrum\r\n"
        "Number of record      : 512\r\n"
        "Record type number    : CINT32RECT(W)\r\n"
        "Signal frequency      : 0 Hz\r\n"
        "Sampling rate         : 8000 Hz\r\n"
        "File format           : ascii\r\n"
        "Frame size            : 256\r\n"
        "Frame interval        : 256\r\n"
        "Window function       : Hann\r\n"
        "Data begin            ";
    HeaderScan s = scanHeader(h);
    EXPECT_EQ(s.assigned, 9);
    EXPECT_EQ(s.window, -1);
    EXPECT_EQ(s.format, 'a');
    EXPECT_TRUE(headerValuesUsable(s));
    SignalDescriptor d{};
    applyHeader(s, d);
    EXPECT_EQ(d.param1, 256);
    EXPECT_EQ(d.param3, -1);
}

TEST(SignalHeaderScan, EmptyRemarkRunsIntoTheNextLine) {
    const std::string h =
        "Remark                : \r\n"
        "Number of record      : 100\r\n"
        "Record type number    : INTEGER16\r\n"
        "Signal frequency      : 0 Hz\r\n"
        "Sampling rate         : 8000 Hz\r\n"
        "File format           : ASCII\r\n"
        "Data begin            ";
    HeaderScan s = scanHeader(h);
    EXPECT_STREQ(s.remark, "Number of record      : 100");
    EXPECT_NE(s.assigned, requiredHeaderValues(kInteger16));
    EXPECT_EQ(s.recordCount, 0);  // "%ld" met "INTEGER16"
}

TEST(SignalHeaderScan, BoundedFieldsAndBareLf) {
    std::string h = "Remark                : " + std::string(300, 'r') +
                    "\nNumber of record      : 42\n"
                    "Record type number    : " +
                    std::string(200, 'T') +
                    "\n"
                    "Signal frequency      : 1 Hz\nSampling rate         : 2 Hz\n"
                    "File format           : B\n";
    HeaderScan s = scanHeader(h);
    EXPECT_EQ(std::strlen(s.remark), 127u);
    EXPECT_EQ(s.recordCount, 42);
    EXPECT_EQ(std::strlen(s.typeWord), 63u);
    EXPECT_EQ(s.recordType, -1);
    EXPECT_EQ(s.format, 'b');
}

TEST(SignalHeaderScan, RefusesUnusableNumbers) {
    auto scan = [](const std::string& type, const std::string& count, const std::string& extra) {
        return scanHeader("Remark                : r\r\nNumber of record      : " + count +
                          "\r\nRecord type number    : " + type +
                          "\r\nSignal frequency      : 0 Hz\r\nSampling rate         : 1 Hz\r\n"
                          "File format           : ASCII\r\n" +
                          extra);
    };
    const std::string frame = "Frame size            : ";
    const std::string tail = "\r\nFrame interval        : 4\r\nWindow function       : Hamming\r\n";
    EXPECT_TRUE(headerValuesUsable(scan("CINT32RECT(W)", "64", frame + "64" + tail)));
    EXPECT_FALSE(headerValuesUsable(scan("CINT32RECT(W)", "64", frame + "0" + tail)));
    EXPECT_FALSE(headerValuesUsable(scan("CINT32RECT(W)", "64", frame + "-8" + tail)));
    EXPECT_FALSE(headerValuesUsable(scan("CINT32RECT(W)", "64", frame + "65" + tail)));
    EXPECT_FALSE(headerValuesUsable(scan("INTEGER16", "99999999999", "")));
    EXPECT_FALSE(headerValuesUsable(scan("INTEGER16", "-3", "")));
    const std::string lpc = "LPC Order             : ";
    const std::string lpcTail = "\r\nFrame Size            : 1\r\nFrame Interval        : 1\r\n";
    EXPECT_TRUE(headerValuesUsable(scan("LPCCoeffREAL8", "20", lpc + "10" + lpcTail)));
    EXPECT_FALSE(headerValuesUsable(scan("LPCCoeffREAL8", "20", lpc + "11" + lpcTail)));
    EXPECT_FALSE(headerValuesUsable(scan("LPCCoeffREAL8", "20", lpc + "0" + lpcTail)));
    EXPECT_FALSE(headerValuesUsable(scan("LPCCoeffREAL8", "20", lpc + "-1" + lpcTail)));
    const std::string ch = "Number of channels    : ";
    const std::string chTail = "\r\nADC/DAC device code   : 0\r\n";
    EXPECT_TRUE(headerValuesUsable(scan("REALTIMEINT16", "64", ch + "32" + chTail)));
    EXPECT_FALSE(headerValuesUsable(scan("REALTIMEINT16", "64", ch + "33" + chTail)));
    EXPECT_FALSE(headerValuesUsable(scan("REALTIMEINT16", "64", ch + "-2" + chTail)));
    // A channel count of 0 is one channel with default calibration.
    HeaderScan zero = scan("REALTIMEINT16", "64", ch + "0" + chTail);
    EXPECT_TRUE(headerValuesUsable(zero));
    SignalDescriptor d{};
    applyHeader(zero, d);
    EXPECT_EQ(d.param1, 1);
    EXPECT_EQ(d.channelRange[0], -1.0f);
}

TEST(SignalRecordPosition, TextAndBinary) {
    SignalDescriptor d = blank(kReal32, 'a');
    d.dataOffset = 200;
    EXPECT_EQ(recordPosition(d, 57), 200 + 969);
    EXPECT_EQ(recordPosition(d, 100) - recordPosition(d, 0), 1700);
    d = blank(kCReal128Rect, 'b');
    d.dataOffset = 300;
    EXPECT_EQ(recordPosition(d, 3), 300 + 48);
    EXPECT_EQ(recordsInBytes(d, 50), 3);
}

TEST(SignalRecordPosition, CoefficientFrameLines) {
    SignalDescriptor d = blank(kLpcCoeffReal8, 'a');
    d.dataOffset = 250;
    d.param1 = 10;
    EXPECT_EQ(recordPosition(d, 0), 250);
    EXPECT_EQ(recordPosition(d, 1), 250 + 25 + 33);
    EXPECT_EQ(recordPosition(d, 10), 250 + 10 * 25 + 1 * 33);
    EXPECT_EQ(recordPosition(d, 11), 250 + 11 * 25 + 2 * 33);
    EXPECT_EQ(recordPosition(d, 60), 250 + 60 * 25 + 6 * 33);
    EXPECT_EQ(recordsInBytes(d, 60 * 25 + 6 * 33), 60);
    EXPECT_EQ(recordsInBytes(d, 60 * 25 + 6 * 33 - 1), 59);
    EXPECT_EQ(recordsInBytes(d, 33), 0);
    EXPECT_EQ(recordsInBytes(d, 33 + 25), 1);
    EXPECT_EQ(recordsInBytes(d, 283 + 33 + 24), 10);
}

TEST(SignalTextRecords, Integer16Patterns) {
    SignalDescriptor d = blank(kInteger16, 'a');
    const int16_t v[] = {-1, 0, 0x7FFF, -32768, 0x0A5B};
    char out[30];
    formatTextRecords(d, v, 0, 5, out);
    EXPECT_EQ(std::string(out, 30), "FFFF\r\n0000\r\n7FFF\r\n8000\r\n0A5B\r\n");
    const std::string in = "8000\r\nffff\r\n  7f\r\n0001\r\nzzzz\r\n";
    int16_t r[5] = {9, 9, 9, 9, 9};
    parseTextRecords(d, in.data(), in.size(), 0, 5, r);
    EXPECT_EQ(r[0], -32768);
    EXPECT_EQ(r[1], -1);
    EXPECT_EQ(r[2], 0x7F);
    EXPECT_EQ(r[3], 1);
    EXPECT_EQ(r[4], 0);  // not a number
}

TEST(SignalTextRecords, Real32AndNonFinite) {
    SignalDescriptor d = blank(kReal32, 'a');
    const float v[] = {1.0f,
                       -0.5f,
                       9.99999995f,
                       std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(),
                       std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::denorm_min()};
    char out[7 * 17];
    formatTextRecords(d, v, 0, 7, out);
    EXPECT_EQ(std::string(out, 7 * 17),
              " 1.0000000E+000\r\n"
              "-5.0000000E-001\r\n"
              " 1.0000000E+001\r\n"
              "            INF\r\n"
              "           -INF\r\n"
              "            NAN\r\n"
              " 1.4012985E-045\r\n");
    float r[7] = {};
    parseTextRecords(d, out, sizeof out, 0, 7, r);
    EXPECT_EQ(r[0], 1.0f);
    EXPECT_EQ(r[1], -0.5f);
    EXPECT_EQ(r[2], 10.0f);
    EXPECT_EQ(r[3], std::numeric_limits<float>::infinity());
    EXPECT_EQ(r[4], -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(r[5]));
    EXPECT_EQ(r[6], std::numeric_limits<float>::denorm_min());
    // Out of float range on disk reads as infinity or zero.
    const std::string big = " 1.0000000E+050\r\n-1.0000000E-050\r\n";
    parseTextRecords(d, big.data(), big.size(), 0, 2, r);
    EXPECT_EQ(r[0], std::numeric_limits<float>::infinity());
    EXPECT_EQ(r[1], 0.0f);
    EXPECT_TRUE(std::signbit(r[1]));
}

TEST(SignalTextRecords, ComplexRecords) {
    SignalDescriptor d = blank(kCInt32Rect, 'a');
    const int16_t c[] = {-1, 0x1234, -32768, 1};
    char out[24];
    formatTextRecords(d, c, 0, 2, out);
    EXPECT_EQ(std::string(out, 24), "FFFF j1234\r\n8000 j0001\r\n");
    int16_t rc[4] = {};
    parseTextRecords(d, out, sizeof out, 0, 2, rc);
    EXPECT_EQ(rc[0], -1);
    EXPECT_EQ(rc[1], 0x1234);
    EXPECT_EQ(rc[2], -32768);
    EXPECT_EQ(rc[3], 1);

    d = blank(kCReal128Rect, 'a');
    const double z[] = {0.25, -1e-300};
    char zo[50];
    formatTextRecords(d, z, 0, 1, zo);
    EXPECT_EQ(std::string(zo, 50), " 2.500000000000000E-001 j-1.000000000000000E-300\r\n");
    double rz[2] = {};
    parseTextRecords(d, zo, sizeof zo, 0, 1, rz);
    EXPECT_EQ(rz[0], 0.25);
    EXPECT_EQ(rz[1], -1e-300);
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
              " 5.000000000000000E-001\r\n"
              "-2.500000000000000E-001\r\n"
              "Frame         0 : k1, k2, k3...\r\n"
              " 1.000000000000000E+000\r\n"
              "-1.000000000000000E+000\r\n"
              "Frame         1 : a1, a2, a3...\r\n"
              " 2.000000000000000E+000\r\n"
              " 3.000000000000000E+000\r\n");
    double r[6] = {};
    parseTextRecords(d, out.data(), bytes, 0, 6, r);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(r[i], v[i]) << i;
    // A window starting inside a group: records 3..5.
    d.dataOffset = 0;
    const int64_t from = recordPosition(d, 3);
    double part[3] = {};
    parseTextRecords(d, out.data() + from, bytes - static_cast<std::size_t>(from), 3, 3, part);
    EXPECT_EQ(part[0], -1.0);
    EXPECT_EQ(part[1], 2.0);
    EXPECT_EQ(part[2], 3.0);
}

}  // namespace
}  // namespace qf
