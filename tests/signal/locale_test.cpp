// Numbers in files and script lines mean the same under a host that sets a
// comma-decimal locale.  The locale is compiled with localedef into the
// test folder once (the suite skips this when it cannot be had).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "script/script_text.h"
#include "signal/format.h"
#include "signal/numfmt.h"
#include "signal/record_text.h"

namespace qf {
namespace {

constexpr const char* kCommaLocale = "de_DE.UTF-8";

// Sets LC_NUMERIC to a locale whose decimal point is a comma; false when
// there is none to be had.
bool useCommaLocale() {
    if (std::setlocale(LC_NUMERIC, kCommaLocale) == nullptr) {
        const char* base = std::getenv("QF_TEST_TMP");
        const std::string dir = std::string(base && *base ? base : "/tmp") + "/locales";
        ::mkdir(dir.c_str(), 0755);
        struct stat st;
        if (::stat((dir + "/" + kCommaLocale + "/LC_NUMERIC").c_str(), &st) != 0) {
            const std::string make =
                "localedef -i de_DE -f UTF-8 '" + dir + "/" + kCommaLocale + "' >/dev/null 2>&1";
            if (std::system(make.c_str()) == -1) return false;
        }
        ::setenv("LOCPATH", dir.c_str(), 1);
        if (std::setlocale(LC_NUMERIC, kCommaLocale) == nullptr) return false;
    }
    // The C library now reads "1.5" as 1.
    return std::strtod("1.5", nullptr) == 1.0;
}

class CommaLocale : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!useCommaLocale()) GTEST_SKIP() << "no comma-decimal locale on this machine";
    }
    void TearDown() override { std::setlocale(LC_NUMERIC, "C"); }
};

TEST_F(CommaLocale, FileAndScriptNumbersReadAsInTheCLocale) {
    const HeaderScan h = scanHeader(
        "Remark                : r\r\nNumber of record      : 10\r\n"
        "Record type number    : REAL32\r\nSignal frequency      : 1234.5 Hz\r\n"
        "Sampling rate         : 22050.25 Hz\r\nFile format           : ASCII\r\n");
    EXPECT_EQ(h.assigned, 6);
    EXPECT_EQ(h.signalFrequency, 1234.5);
    EXPECT_EQ(h.samplingRate, 22050.25);

    float f = 0.0f;
    const std::string field = "-2.5000000E-001";
    EXPECT_TRUE(readReal32Field(field.data(), field.data() + field.size(), f));
    EXPECT_EQ(f, -0.25f);
    char written[kReal32FieldWidth];
    putReal32Field(written, 1.5f);
    EXPECT_EQ(std::string(written, sizeof written), " 1.5000000E+000");

    ScriptFields line("3035 MultiplyByConstant /data/ a.tim 0.75 1e-3");
    double k = 0.0, m = 0.0;
    ASSERT_TRUE(line.skipCodeAndName());
    char dir[16], name[16];
    ASSERT_TRUE(line.word(dir, sizeof dir) && line.word(name, sizeof name));
    EXPECT_TRUE(line.number(k) && line.number(m));
    EXPECT_EQ(k, 0.75);
    EXPECT_EQ(m, 1e-3);
    EXPECT_EQ(fmtString("%lg Hz|%.3f", 22050.5, 0.125), "22050.5 Hz|0.125");
}

}  // namespace
}  // namespace qf
