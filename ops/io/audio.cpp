// Audio files through libsndfile, when the build has it: reading any file
// the library knows (WAVE of any sample format, FLAC, Ogg Vorbis, Opus,
// MP3, AIFF ...) as floats scaled to -1..1, and writing float WAVE and
// FLAC.  Without the library every open fails with a reason.
#include "ops/io/io.h"

#ifdef QF_HAVE_SNDFILE
#include <sndfile.h>
#endif

namespace qf::io {

#ifdef QF_HAVE_SNDFILE

namespace {
SNDFILE* handle(void* f) {
    return static_cast<SNDFILE*>(f);
}
}  // namespace

bool audioAvailable() {
    return true;
}

AudioReader::~AudioReader() {
    if (file_) sf_close(handle(file_));
}

bool AudioReader::open(const std::string& path, std::string& why) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) {
        why = sf_strerror(nullptr);
        return false;
    }
    file_ = f;
    // Integer samples read as floats are scaled by 2^-(bits - 1).
    sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    info_.channels = info.channels;
    info_.sampleRate = info.samplerate;
    info_.frames = info.frames;
    if (info.channels < 1 || info.frames < 0) {
        why = "no samples";
        return false;
    }
    return true;
}

int64_t AudioReader::read(float* samples, int64_t frames) {
    return file_ ? sf_readf_float(handle(file_), samples, frames) : 0;
}

AudioWriter::~AudioWriter() {
    if (file_) sf_close(handle(file_));
}

bool AudioWriter::open(const std::string& path, AudioFormat format, int32_t channels,
                       int32_t sampleRate, std::string& why) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    switch (format) {
        case AudioFormat::WavFloat:
            info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
            break;
        case AudioFormat::Flac16:
            info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
            break;
        case AudioFormat::Flac24:
            info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
            break;
    }
    if (!sf_format_check(&info)) {
        why = "the format cannot hold this signal (channels or sampling rate)";
        return false;
    }
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) {
        why = sf_strerror(nullptr);
        return false;
    }
    file_ = f;
    // Floats beyond -1..1 are clipped, not wrapped, in integer formats.
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool AudioWriter::write(const float* samples, int64_t count) {
    return file_ && sf_write_float(handle(file_), samples, count) == count;
}

bool AudioWriter::writeWords(const int16_t* samples, int64_t count) {
    return file_ && sf_write_short(handle(file_), samples, count) == count;
}

bool AudioWriter::close() {
    if (!file_) return false;
    const int r = sf_close(handle(file_));
    file_ = nullptr;
    return r == 0;
}

#else

bool audioAvailable() {
    return false;
}
AudioReader::~AudioReader() = default;
bool AudioReader::open(const std::string&, std::string& why) {
    why = "this build reads no audio files";
    return false;
}
int64_t AudioReader::read(float*, int64_t) {
    return 0;
}
AudioWriter::~AudioWriter() = default;
bool AudioWriter::open(const std::string&, AudioFormat, int32_t, int32_t, std::string& why) {
    why = "this build writes no audio files";
    return false;
}
bool AudioWriter::write(const float*, int64_t) {
    return false;
}
bool AudioWriter::writeWords(const int16_t*, int64_t) {
    return false;
}
bool AudioWriter::close() {
    return false;
}

#endif

}  // namespace qf::io
