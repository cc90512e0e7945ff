// Audio files through libsndfile, when the build has it: reading any file
// the library knows (WAVE of any sample format, FLAC, Ogg Vorbis, Opus,
// MP3, AIFF ...) as floats scaled to -1..1, and writing float WAVE and
// FLAC.  Without the library every open fails with a reason.
#include <cerrno>
#include <new>

#include "ops/io/io.h"
#include "platform/fs.h"
#include "signal/report.h"

#ifdef QF_HAVE_SNDFILE
#include <sndfile.h>
#endif

namespace qf::io {

#ifdef QF_HAVE_SNDFILE

struct AudioFile {
    std::FILE* f = nullptr;
    SNDFILE* sf = nullptr;
};

namespace {

// The library reads and writes through these: the file itself is opened,
// read, written and closed by the platform layer like every other file.

AudioFile* fileOf(void* user) {
    return static_cast<AudioFile*>(user);
}

sf_count_t lengthOf(void* user) {
    std::FILE* f = fileOf(user)->f;
    const int64_t at = platform::fileTell(f);
    if (at < 0 || !platform::fileSeekEnd(f)) return -1;
    const int64_t length = platform::fileTell(f);
    platform::fileSeek(f, at);
    return length;
}

sf_count_t seekIn(sf_count_t offset, int whence, void* user) {
    std::FILE* f = fileOf(user)->f;
    int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = platform::fileTell(f);
    } else if (whence == SEEK_END) {
        base = lengthOf(user);
    }
    if (base < 0 || base + offset < 0 || !platform::fileSeek(f, base + offset)) return -1;
    return platform::fileTell(f);
}

sf_count_t readIn(void* to, sf_count_t bytes, void* user) {
    if (bytes <= 0) return 0;
    return static_cast<sf_count_t>(
        platform::readFile(fileOf(user)->f, to, static_cast<std::size_t>(bytes)));
}

sf_count_t writeIn(const void* from, sf_count_t bytes, void* user) {
    if (bytes <= 0) return 0;
    return static_cast<sf_count_t>(
        platform::writeFile(fileOf(user)->f, from, static_cast<std::size_t>(bytes)));
}

sf_count_t tellIn(void* user) {
    return platform::fileTell(fileOf(user)->f);
}

SF_VIRTUAL_IO g_virtualIo = {lengthOf, seekIn, readIn, writeIn, tellIn};

// Opens the file and the library's view of it; false with the reason.
bool openAudio(AudioFile*& file, const std::string& path, int mode, SF_INFO& info,
               std::string& why) {
    file = new (std::nothrow) AudioFile;
    if (file == nullptr) {
        why = kOutOfMemoryText;
        return false;
    }
    file->f = platform::openFile(path.c_str(), mode == SFM_READ ? "rb" : "w+b");
    if (file->f == nullptr) {
        why = platform::ioErrorText(errno);
        return false;
    }
    file->sf = sf_open_virtual(&g_virtualIo, mode, &info, file);
    if (file->sf == nullptr) {
        why = sf_strerror(nullptr);
        return false;
    }
    return true;
}

// Closes both; false when the library or the file reported a failure.
bool closeAudio(AudioFile*& file) {
    if (file == nullptr) return true;
    bool ok = file->sf == nullptr || sf_close(file->sf) == 0;
    if (!platform::closeFile(file->f)) ok = false;
    delete file;
    file = nullptr;
    return ok;
}

}  // namespace

bool audioAvailable() {
    return true;
}

AudioReader::~AudioReader() {
    closeAudio(file_);
}

bool AudioReader::open(const std::string& path, std::string& why) {
    SF_INFO info{};
    closeAudio(file_);
    if (!openAudio(file_, path, SFM_READ, info, why)) {
        closeAudio(file_);
        return false;
    }
    // Integer samples read as floats are scaled by 2^-(bits - 1).
    sf_command(file_->sf, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
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
    return file_ ? sf_readf_float(file_->sf, samples, frames) : 0;
}

AudioWriter::~AudioWriter() {
    closeAudio(file_);
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
    closeAudio(file_);
    if (!openAudio(file_, path, SFM_WRITE, info, why)) {
        closeAudio(file_);
        return false;
    }
    // Floats beyond -1..1 are clipped, not wrapped, in integer formats.
    sf_command(file_->sf, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool AudioWriter::write(const float* samples, int64_t count) {
    return file_ && sf_write_float(file_->sf, samples, count) == count;
}

bool AudioWriter::writeWords(const int16_t* samples, int64_t count) {
    return file_ && sf_write_short(file_->sf, samples, count) == count;
}

bool AudioWriter::close() {
    if (!file_) return false;
    return closeAudio(file_);
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
