// Import (1140) and export (1150) of foreign data: raw 8- and 16-bit
// samples, WAVE audio, decimal and hexadecimal text, floating-point text and
// bit patterns, complex (FFT frame) data, filter coefficient files and
// assembler data sections; beside them any audio file through the audio
// library (codes 20 and up).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/operation.h"

namespace qf::io {

// 1140
int32_t importGetParams(int32_t mode, CheckParamsFn check);
int32_t importPrepare(int32_t mode);
int32_t importCompute(int32_t mode, const ComputeArgs* args);
// 1150
int32_t exportGetParams(int32_t mode, CheckParamsFn check);
int32_t exportCompute(int32_t mode, const ComputeArgs* args);

// ---------------------------------------------------------------------------
// Text input shared by the text codes.

// One text line as the importer reads it: at most kLineLimit characters
// (a longer line is read as several).  A line beginning with 0x1A (an end
// of file mark) does not count.
constexpr int kLineLimit = 255;
bool readLine(std::FILE* f, std::string& line);
int64_t countLines(std::FILE* f);
// The values of a line: single and double quotes count as blanks; values
// are separated by blanks and commas.  At most `max` values.
std::vector<std::string> lineFields(const std::string& line, std::size_t max);
// A 16-bit hexadecimal word read as "%4hX" would: white space, then up to
// four characters of an optional sign, "0x" and hexadecimal digits.  False
// at the end of the file or before a character that starts no word.
bool readHexWord(std::FILE* f, uint16_t& word);
// A floating-point number read as "%le": white space, then one word.
bool readNumber(std::FILE* f, double& value);

// A decimal or hexadecimal value as a 16-bit word: with overflow mode 's'
// values from 32768 up become 32767 and values below -32768 become -32768;
// otherwise the low 16 bits are kept.
int16_t wordFromLong(int64_t value, char overflowMode);
// Floating-point text values: limited to +-3.4028234663852886e+38, a
// magnitude below 1.1754943508222875e-38 is 0.
double limitToFloatRange(double v);

// ---------------------------------------------------------------------------
// WAVE files.

struct WaveFormat {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t byteRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    int64_t dataOffset = 0;
    uint32_t dataSize = 0;
};
enum class WaveRead : uint8_t {
    Ok,
    NotWave,    // not a RIFF/WAVE file with a "fmt " and a "data" chunk, or a malformed one
    ShortRead,  // the file ends inside a chunk it announces
};
// Reads the chunks of a WAVE file of `fileSize` bytes from its start:
// unknown chunks (such as "LIST") are skipped, "fmt " must hold at least 16
// bytes, further format bytes are skipped.
WaveRead readWaveFormat(std::FILE* f, int64_t fileSize, WaveFormat& w);
// The 44-byte header of a PCM WAVE file of `samples` samples of
// `bytesPerSample` bytes (all channels counted).
std::string waveHeader(int32_t channels, uint32_t sampleRate, int32_t bytesPerSample,
                       int64_t samples);

// ---------------------------------------------------------------------------
// Audio files through the audio library.

// An audio file open through the library (audio.cpp).
struct AudioFile;
// True when this build reads and writes audio files through the library.
bool audioAvailable();
struct AudioInfo {
    int32_t channels = 0;
    int32_t sampleRate = 0;
    int64_t frames = 0;
};
class AudioReader {
  public:
    AudioReader() = default;
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;
    // False with the library's reason in `why`.
    bool open(const std::string& path, std::string& why);
    const AudioInfo& info() const { return info_; }
    // Reads up to `frames` frames of interleaved samples scaled to -1..1;
    // returns the frames read.
    int64_t read(float* samples, int64_t frames);

  private:
    struct AudioFile* file_ = nullptr;
    AudioInfo info_;
};
enum class AudioFormat : uint8_t { WavFloat, Flac16, Flac24 };
class AudioWriter {
  public:
    AudioWriter() = default;
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;
    bool open(const std::string& path, AudioFormat format, int32_t channels, int32_t sampleRate,
              std::string& why);
    // Interleaved samples scaled to -1..1 (clipped there for FLAC).
    bool write(const float* samples, int64_t count);
    bool writeWords(const int16_t* samples, int64_t count);
    // Finishes the file; false when that failed.
    bool close();

  private:
    struct AudioFile* file_ = nullptr;
};

}  // namespace qf::io
