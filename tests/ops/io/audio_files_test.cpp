// Audio files written by another program (sox) imported through the WAVE
// reader and the audio library, audio exports read back, and bad audio
// files refused whichever reader takes them.  The expected samples come
// from the 16-bit WAVE file's own data chunk, read here byte by byte; the
// 24-bit, float, FLAC and stereo files are lossless conversions of it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ops/io/io.h"
#include "ops/io/io_files.h"

using namespace qf;
using namespace qf::test;
using namespace qf::test::sig;
using namespace qf::test::io;

namespace {

bool haveSox() {
    return std::system("command -v sox >/dev/null 2>&1") == 0;
}

class AudioFiles : public OperationTest {
  protected:
    void SetUp() override {
        OperationTest::SetUp();
        if (!qf::io::audioAvailable()) GTEST_SKIP() << "built without the audio library";
        if (!haveSox()) GTEST_SKIP() << "sox is not installed (make deps installs it)";
    }
    // Runs sox in the test folder; false when it failed.
    bool sox(const std::string& args) {
        return std::system(("cd '" + dir + "' && sox " + args + " 2>/dev/null").c_str()) == 0;
    }
    int32_t import(const std::string& in, int32_t format, int32_t pick = 0) {
        const std::string d = dir;
        return run(QF_OP_IMPORT, in, "out.tim",
                   [d, in, format, pick](CommandBlock& b, const HostCall&) {
                       setEntry(b.in1, d, in);
                       paramInt(b, QF_P_IO_FORMAT) = format;
                       paramInt(b, QF_P_IMPORT_CHANNELS) = 1;
                       paramInt(b, QF_P_IMPORT_PICK_CHANNEL) = pick;
                       return 0;
                   });
    }
    int32_t exportAs(const std::string& in, const std::string& out, int32_t format) {
        return run(QF_OP_EXPORT, in, out, [format](CommandBlock& b, const HostCall&) {
            paramInt(b, QF_P_IO_FORMAT) = format;
            return 0;
        });
    }
    // The samples of a 16-bit WAVE file of the test folder.
    std::vector<int16_t> samplesOf(const std::string& name) {
        return waveWords(readFile(dir + name));
    }
    static std::vector<float> scaled(const std::vector<int16_t>& w) {
        std::vector<float> f;
        for (int16_t s : w) f.push_back(static_cast<float>(s / 32768.0));
        return f;
    }
    std::string error() { return TestHost::instance().lastMessage(QF_MSG_ERROR); }
};

}  // namespace

TEST_F(AudioFiles, ASoxWaveFileThroughBothReaders) {
    ASSERT_TRUE(sox("-n -r 8000 -b 16 t.wav synth 0.1 sine 440"));
    const std::vector<int16_t> w = samplesOf("t.wav");
    ASSERT_EQ(w.size(), 800u);
    // The WAVE reader: a one-channel recording of the words.
    ASSERT_EQ(import("t.wav", 5), 0);
    Parsed p = get("out.tim");
    EXPECT_EQ(p.field("Record type number"), "REALTIMEINT16");
    EXPECT_EQ(p.field("Number of channels"), "1");
    EXPECT_DOUBLE_EQ(p.rate(), 8000.0);
    EXPECT_EQ(int16Records(p), w);
    // The audio library, chosen by the extension: REAL32 of the same values.
    ASSERT_EQ(import("t.wav", QF_FORMAT_BY_EXTENSION), 0);
    p = get("out.tim");
    EXPECT_EQ(p.field("Record type number"), "REAL32");
    EXPECT_DOUBLE_EQ(p.rate(), 8000.0);
    EXPECT_EQ(real32Records(p), scaled(w));
}

TEST_F(AudioFiles, TwentyFourBitFloatAndFlacFilesKeepTheirSamples) {
    ASSERT_TRUE(sox("-n -r 8000 -b 16 t.wav synth 0.1 sine 440"));
    ASSERT_TRUE(sox("t.wav -b 24 t24.wav"));
    ASSERT_TRUE(sox("t.wav -e floating-point -b 32 tf.wav"));
    ASSERT_TRUE(sox("t.wav t.flac"));
    const std::vector<float> expected = scaled(samplesOf("t.wav"));
    for (const char* name : {"t24.wav", "tf.wav", "t.flac"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(import(name, QF_FORMAT_BY_EXTENSION), 0);
        Parsed p = get("out.tim");
        EXPECT_DOUBLE_EQ(p.rate(), 8000.0);
        EXPECT_EQ(real32Records(p), expected);
    }
    // The WAVE reader of 8- and 16-bit files points to the audio code.
    EXPECT_EQ(import("t24.wav", 5), 1);
    EXPECT_EQ(error(),
              "'" + dir + "t24.wav' holds 24-bit samples; import it as an audio file (format 20).");
}

TEST_F(AudioFiles, StereoToARecordingOrOneChannel) {
    ASSERT_TRUE(sox("-n -r 8000 -b 16 l.wav synth 0.05 sine 300"));
    ASSERT_TRUE(sox("-n -r 8000 -b 16 r.wav synth 0.05 square 200"));
    ASSERT_TRUE(sox("-M l.wav r.wav st.flac"));
    const std::vector<int16_t> left = samplesOf("l.wav"), right = samplesOf("r.wav");
    ASSERT_EQ(left.size(), right.size());
    std::vector<int16_t> both;
    for (std::size_t i = 0; i < left.size(); ++i) both.insert(both.end(), {left[i], right[i]});
    ASSERT_EQ(import("st.flac", QF_FORMAT_AUDIO), 0);
    Parsed p = get("out.tim");
    EXPECT_EQ(p.field("Record type number"), "REALTIMEINT16");
    EXPECT_EQ(p.field("Number of channels"), "2");
    EXPECT_EQ(int16Records(p), both);
    ASSERT_EQ(import("st.flac", QF_FORMAT_AUDIO, 2), 0);
    EXPECT_EQ(floats("out.tim"), scaled(right));
    EXPECT_EQ(import("st.flac", QF_FORMAT_AUDIO, 3), 1);
    EXPECT_EQ(error(), "'" + dir + "st.flac' has 2 channels; there is no channel 3.");
}

TEST_F(AudioFiles, ExportsReadBack) {
    const std::vector<float> f = {0.5f, -0.25f, 0.125f, 1.0f / 3.0f, -1.0f, 0.0f};
    put("f.tim", real32File(f, 22050.0));
    // REAL32 to a .wav: 32-bit float samples (format tag 3).
    ASSERT_EQ(exportAs("f.tim", "f.wav", QF_FORMAT_BY_EXTENSION), 0);
    const std::string wav = readFile(dir + "f.wav");
    ASSERT_GE(wav.size(), 36u);
    EXPECT_EQ(wav.substr(20, 2), le16(3));
    EXPECT_EQ(wav.substr(34, 2), le16(32));
    ASSERT_EQ(import("f.wav", QF_FORMAT_AUDIO), 0);
    EXPECT_EQ(floats("out.tim"), f);
    EXPECT_DOUBLE_EQ(get("out.tim").rate(), 22050.0);
    // REAL32 to FLAC: 24 bits.
    ASSERT_EQ(exportAs("f.tim", "f.flac", QF_FORMAT_BY_EXTENSION), 0);
    ASSERT_EQ(import("f.flac", QF_FORMAT_AUDIO), 0);
    const std::vector<float> back = floats("out.tim");
    ASSERT_EQ(back.size(), f.size());
    for (std::size_t i = 0; i < f.size(); ++i) EXPECT_NEAR(back[i], f[i], 1.0 / 8388608.0) << i;
    // 16-bit signals: a .wav is the 16-bit WAVE of code 6, FLAC is exact.
    const std::vector<int16_t> w = {1, -1, 32767, -32768, 1234};
    put("w.tim", int16File(w, 8000.0));
    ASSERT_EQ(exportAs("w.tim", "w.wav", QF_FORMAT_BY_EXTENSION), 0);
    EXPECT_EQ(waveWords(readFile(dir + "w.wav")), w);
    ASSERT_EQ(exportAs("w.tim", "w.flac", QF_FORMAT_FLAC), 0);
    ASSERT_EQ(import("w.flac", QF_FORMAT_AUDIO), 0);
    EXPECT_EQ(floats("out.tim"), scaled(w));
    // A recording to FLAC keeps its channels.
    put("r.tim", realtimeFile({1, 2, 3, 4, 5, 6}, 2, -1.0, 1.0));
    ASSERT_EQ(exportAs("r.tim", "r.flac", QF_FORMAT_FLAC), 0);
    ASSERT_EQ(import("r.flac", QF_FORMAT_AUDIO), 0);
    EXPECT_EQ(words("out.tim"), (std::vector<int16_t>{1, 2, 3, 4, 5, 6}));
}

TEST_F(AudioFiles, BadAudioFilesAreRefusedByEitherReader) {
    ASSERT_TRUE(sox("-n -r 8000 -b 16 t.wav synth 0.1 sine 440"));
    const std::string good = readFile(dir + "t.wav");
    put("cut.wav", good.substr(0, 30));
    std::string wrongSize = good;
    wrongSize[40] = '\xff';
    wrongSize[41] = '\xff';
    wrongSize[42] = '\xff';
    put("size.wav", wrongSize);
    put("text.wav", "this is no audio at all\n");
    put("text.mp3", "this is no audio at all\n");
    for (const char* name : {"cut.wav", "size.wav", "text.wav", "text.mp3"}) {
        for (int32_t format : {int32_t{5}, int32_t{QF_FORMAT_AUDIO}}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(format));
            EXPECT_EQ(import(name, format), 1);
            EXPECT_FALSE(error().empty());
            EXPECT_FALSE(exists("out.tim"));
        }
    }
    EXPECT_EQ(import("text.mp3", QF_FORMAT_AUDIO), 1);
    EXPECT_EQ(error().rfind("Unable to read '" + dir + "text.mp3' as an audio file: ", 0), 0u);
}
