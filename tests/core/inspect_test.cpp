// Signal files for hosts (quillfen/signals.h): the header as read and the
// records as plain numbers, against files written byte by byte here.
#include <gtest/gtest.h>

#include <vector>

#include "ops/time/signal_bytes.h"
#include "quillfen/signals.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;

namespace {

class SignalApi : public OperationTest {
  protected:
    // Every value of the file's records, read `chunk` records at a time.
    std::vector<double> values(const std::string& name, QfSignalInfo& info, int32_t chunk = 3) {
        std::vector<double> all;
        QfSignal* s = qfSignalOpen((dir + name).c_str(), &info);
        EXPECT_NE(s, nullptr) << name;
        if (s == nullptr) return all;
        std::vector<double> v(static_cast<std::size_t>(chunk) * info.valuesPerRecord);
        for (int32_t first = 0;; first += chunk) {
            const int32_t got = qfSignalValues(s, first, chunk, v.data());
            EXPECT_GE(got, 0);
            if (got <= 0) break;
            all.insert(all.end(), v.begin(), v.begin() + got * info.valuesPerRecord);
        }
        qfSignalClose(s);
        return all;
    }
};

}  // namespace

TEST_F(SignalApi, SixteenBitWordsAreFractionsInEitherFormat) {
    const std::vector<int16_t> w = {0, 16384, -32768, 32767, -1, 1, 12345};
    for (bool binary : {true, false}) {
        put("w.tim", int16File(w, 1000.0, binary));
        QfSignalInfo info{};
        const std::vector<double> v = values("w.tim", info);
        ASSERT_EQ(v.size(), w.size());
        for (std::size_t i = 0; i < w.size(); ++i) EXPECT_EQ(v[i], w[i] / 32768.0) << i;
        EXPECT_EQ(info.format, binary ? 'b' : 'a');
        EXPECT_EQ(info.kind, QF_SIGNAL_TIME);
        EXPECT_STREQ(info.typeName, "INTEGER16");
        EXPECT_STREQ(info.typeDescription, "16 bit fractional");
        EXPECT_EQ(info.recordCount, 7);
        EXPECT_EQ(info.samplingRate, 1000.0);
        EXPECT_STREQ(info.remark, "test signal");
    }
}

TEST_F(SignalApi, FloatsComplexBinsAndRecordings) {
    put("f.tim", real32File({0.1f, -2.5f, 1e-30f}));
    QfSignalInfo info{};
    EXPECT_EQ(values("f.tim", info), (std::vector<double>{0.1f, -2.5f, 1e-30f}));
    EXPECT_STREQ(info.typeDescription, "IEEE 32 bit float");

    const Header h{.type = "CREAL128RECT(W)",
                   .count = 4,
                   .extra = line("Frame size", "4") + line("Frame interval", "2") +
                            line("Window function", "Hamming")};
    const std::vector<double> bins = {1.5, -2.0, 0.0, 0.25, 3.0, 4.0, -1e-9, 7.0};
    put("s.fre", headerBytes(h) + rawBytes(bins));
    EXPECT_EQ(values("s.fre", info), bins);
    EXPECT_EQ(info.kind, QF_SIGNAL_FRAMES);
    EXPECT_EQ(info.valuesPerRecord, 2);
    EXPECT_EQ(info.frameSize, 4);
    EXPECT_EQ(info.frameInterval, 2);
    EXPECT_EQ(info.window, 4);
    EXPECT_STREQ(info.windowName, "Hamming");

    put("c.fre", complexFile());  // four zero bins of 16-bit words
    EXPECT_EQ(values("c.fre", info), std::vector<double>(8, 0.0));

    put("r.tim", realtimeFile({100, -200, 300, -400}, 2, -1.0, 1.0));
    EXPECT_EQ(values("r.tim", info),
              (std::vector<double>{100 / 32768.0, -200 / 32768.0, 300 / 32768.0, -400 / 32768.0}));
    EXPECT_EQ(info.kind, QF_SIGNAL_CHANNELS);
    EXPECT_EQ(info.channels, 2);
}

TEST_F(SignalApi, ReadsPastTheEndStopAndRefusedFilesAreReported) {
    put("w.tim", int16File({1, 2, 3, 4}));
    QfSignalInfo info{};
    QfSignal* s = qfSignalOpen((dir + "w.tim").c_str(), &info);
    ASSERT_NE(s, nullptr);
    double v[8];
    EXPECT_EQ(qfSignalValues(s, 2, 8, v), 2);
    EXPECT_EQ(v[1], 4 / 32768.0);
    EXPECT_EQ(qfSignalValues(s, 4, 8, v), 0);
    EXPECT_EQ(qfSignalValues(s, -1, 8, v), -1);
    qfSignalClose(s);

    put("text.tim", "not a signal file\n");
    EXPECT_EQ(qfSignalOpen((dir + "text.tim").c_str(), &info), nullptr);
    EXPECT_FALSE(messages(QF_MSG_ERROR).empty());
    EXPECT_EQ(qfSignalOpen((dir + "absent.tim").c_str(), &info), nullptr);
    qfSignalClose(nullptr);
}
