// Signal file access: opening, windowed reading and writing, closing.
//
// A window is `windowCapacity` consecutive records starting at a multiple of
// the capacity.  Binary windows move with one fread/fwrite; text windows are
// read or formatted in one block of memory and moved with one call too.
// Record positions are computed from the header (format.h), never searched.
#include "signal/access.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/fs.h"
#include "signal/format.h"
#include "signal/numfmt.h"
#include "signal/report.h"

namespace qf {

namespace {

constexpr std::size_t kStreamBufferBytes = 4096;
constexpr int64_t kHeaderSpare = 2048;  // bytes added to the data for the space check

std::string fullPath(const nameNpath& f) {
    return std::string(f.p, strnlen(f.p, sizeof f.p)) + std::string(f.n, strnlen(f.n, sizeof f.n));
}

// An output is written under a temporary name in its destination folder
// and renamed over its target only when it is complete, so a failed or
// refused run leaves an existing file of that name (or the input of an
// in-place run) as it was.  The name is made from the process number and a
// hash of the target's name: short, and distinct for every target.
}  // namespace

std::string sigTemporaryPath(const nameNpath& f) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (const char* c = f.n; c < f.n + sizeof f.n && *c; ++c) {
        h ^= static_cast<unsigned char>(*c);
        h *= 1099511628211ull;
    }
    return std::string(f.p, strnlen(f.p, sizeof f.p)) +
           fmtString(".qf%u-%016llx.tmp", platform::processId(),
                     static_cast<unsigned long long>(h));
}

namespace {

void copyEntry(nameNpath& to, const nameNpath& from) {
    if (&to != &from) std::memmove(&to, &from, sizeof to);
    to.n[sizeof to.n - 1] = '\0';
    to.p[sizeof to.p - 1] = '\0';
}

// Closes the stream and frees the buffer; the descriptor is closed after.
void release(SignalDescriptor& d) {
    if (d.stream) std::fclose(d.stream);
    d.stream = nullptr;
    std::free(d.buffer);
    d.buffer = nullptr;
    d.openMark = 0;
}

// Coefficient positions need an order; a recording at most 32 channels.
bool headerFieldsWritable(HeaderLines lines, const SignalDescriptor& d) {
    switch (lines) {
        case HeaderLines::Coefficients:
            return d.param1 >= 1;
        case HeaderLines::Channels:
            return d.param1 >= 0 && d.param1 <= kMaxChannels;
        case HeaderLines::Common:
        case HeaderLines::Frames:
            break;
    }
    return true;
}

// Allocates the window buffer: at least one record, zero-filled.
bool allocateWindow(SignalDescriptor& d, int32_t bufferBytes) {
    const int32_t bytes = std::max(bufferBytes, d.recordSize);
    d.buffer = std::calloc(static_cast<std::size_t>(bytes), 1);
    if (!d.buffer) return false;
    d.bufferBytes = bytes;
    if (d.windowCapacity < 1 && d.recordCount > 0) d.windowCapacity = 1;
    return true;
}

// Records of the window starting at `start` that exist in the file.
int32_t windowRecords(const SignalDescriptor& d, int32_t start) {
    const int64_t left = static_cast<int64_t>(d.recordCount) - start;
    return static_cast<int32_t>(std::clamp<int64_t>(left, 0, std::max(d.windowCapacity, 0)));
}

int32_t windowStartFor(const SignalDescriptor& d, int32_t index) {
    const int32_t cap = std::max(d.windowCapacity, 1);
    return (index / cap) * cap;
}

std::unique_ptr<char[]> scratch(int64_t bytes) {
    return std::unique_ptr<char[]>(new (std::nothrow) char[static_cast<std::size_t>(bytes) + 1]);
}

// Reads the start of a file up to its first '#' and the two bytes after it
// (at most kHeaderScanLimit bytes).  hashAt is -1 when there is no '#'.
void readHeaderBytes(std::FILE* f, std::string& text, int64_t& hashAt) {
    hashAt = -1;
    char block[4096];
    while (text.size() < kHeaderScanLimit) {
        const std::size_t want = std::min(sizeof block, kHeaderScanLimit - text.size());
        const std::size_t got = std::fread(block, 1, want, f);
        if (got == 0) break;
        const std::size_t before = text.size();
        text.append(block, got);
        if (hashAt < 0) {
            const std::size_t h = text.find('#', before);
            if (h != std::string::npos) hashAt = static_cast<int64_t>(h);
        }
        if (hashAt >= 0 && text.size() >= static_cast<std::size_t>(hashAt) + 3) break;
    }
}

const char* driveText(const char* path, char (&buf)[3]) {
    if (path[0] != '\0' && path[1] == ':') {
        const char c = path[0];
        buf[0] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        buf[1] = ':';
        buf[2] = '\0';
        return buf;
    }
    return "the current";
}

}  // namespace

int32_t sigSetRecordSizes(SignalDescriptor& d) {
    int32_t size = 0;
    int32_t width = 0;
    if (!recordSizes(d.recordType, size, width)) return 3;
    d.recordSize = size;
    d.recordWidth = d.format == 'b' ? size : width;
    return 0;
}

int32_t sigOpenWrite(SignalDescriptor& d, const nameNpath& file, int32_t recordType,
                     int32_t recordCount, char format, int32_t bufferBytes) {
    if (!isFileRecordType(recordType)) {
        const char* name = recordTypeName(recordType);
        if (name)
            signalTrace("Unsupported type %s.  ", name);
        else
            signalTrace("Unsupported type %d.  ", recordType);
        return 1;
    }
    const RecordTraits& traits = recordTraits(recordType);
    if (traits.frameLines) format = 'a';  // frame lines exist in text only
    copyEntry(d.file, file);
    d.openMark = 0;
    d.stream = nullptr;
    d.buffer = nullptr;

    if (recordCount < 0 || !headerFieldsWritable(traits.header, d)) {
        signalMessage(QF_MSG_ERROR, "Invalid file header in '%s%s'\n", d.file.p, d.file.n);
        return 1;
    }

    // A graph showing the file being replaced closes now and is re-plotted
    // when the new file is complete.
    signalReplacing(d.file);

    d.format = (format >= 'A' && format <= 'Z') ? static_cast<char>(format - 'A' + 'a') : format;
    if (d.format != 'b') d.format = 'a';
    d.recordType = recordType;
    sigSetRecordSizes(d);
    d.mode = 'w';
    d.recordCount = recordCount;
    d.windowCapacity = std::min(std::max(bufferBytes, 0) / d.recordSize, recordCount);
    d.windowStart = 0;
    d.bufferBytes = bufferBytes;
    d.dataOffset = 0;

    if (bufferBytes >= 1 && !allocateWindow(d, bufferBytes)) {
        signalMessage(QF_MSG_ERROR, "%s", kOutOfMemoryText);
        return 2;
    }

    const std::string target = fullPath(d.file);
    const std::string path = sigTemporaryPath(d.file);
    platform::removeFile(path.c_str());  // a leftover of an interrupted run
    stdSetCurrentDir(d.file.p);

    if (d.buffer) {
        const int64_t needed = static_cast<int64_t>(d.recordWidth) * recordCount + kHeaderSpare;
        // The space counted as available is at most kSpaceLimit bytes, and
        // never more than the file system reports free.
        int64_t available = sigFileLength(nullptr);
        const int64_t free = platform::freeSpace(d.file.p);
        if (free >= 0 && free < available) available = free;
        if (available < needed) {
            release(d);
            char drive[3];
            signalMessage(QF_MSG_ERROR,
                          "There isn't sufficient disk space available on %s drive.  %lld bytes "
                          "available; %lld bytes needed.",
                          driveText(d.file.p, drive), static_cast<long long>(available),
                          static_cast<long long>(needed));
            return 2;
        }
    }

    std::FILE* f = std::fopen(path.c_str(), "w+b");
    if (!f) {
        release(d);
        signalMessage(QF_MSG_ERROR, "Cannot open %s for write.", target.c_str());
        return 1;
    }
    std::setvbuf(f, nullptr, _IOFBF, kStreamBufferBytes);
    const std::string header = headerText(d);
    if (std::fwrite(header.data(), 1, header.size(), f) != header.size() || std::fflush(f) != 0) {
        std::fclose(f);
        release(d);
        platform::removeFile(path.c_str());
        signalMessage(QF_MSG_ERROR, "Error writing output file '%s%s'", d.file.p, d.file.n);
        return 1;
    }
    d.stream = f;
    d.dataOffset = static_cast<int32_t>(header.size());
    d.openMark = kOpenMark;
    return 0;
}

int32_t sigOpenRead(SignalDescriptor& d, const nameNpath& file, int32_t bufferBytes) {
    copyEntry(d.file, file);
    d.param1 = d.param2 = d.param3 = d.param4 = 0;
    d.openMark = 0;
    d.stream = nullptr;
    d.buffer = nullptr;
    const std::string path = fullPath(d.file);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        signalMessage(QF_MSG_ERROR, "Invalid file name or path\n%s", path.c_str());
        return 1;
    }
    std::setvbuf(f, nullptr, _IOFBF, kStreamBufferBytes);

    std::string text;
    int64_t hashAt = -1;
    readHeaderBytes(f, text, hashAt);
    const std::size_t headerEnd = hashAt >= 0 ? static_cast<std::size_t>(hashAt) : text.size();
    const HeaderScan h = scanHeader(std::string_view(text).substr(0, headerEnd));
    auto refuse = [&](int32_t result) {
        std::fclose(f);
        return result;
    };

    if (h.recordCount <= 1) {
        signalMessage(QF_MSG_ERROR, "Input file is too short.");
        return refuse(2);
    }
    if (h.recordType < 0) {
        signalMessage(QF_MSG_ERROR, "'%s%s' does not have a valid record type.", d.file.p,
                      d.file.n);
        return refuse(1);
    }
    if (!isFileRecordType(h.recordType)) {
        signalMessage(QF_MSG_ERROR, "Unsupported type '%s' in '%s%s'\n",
                      recordTypeName(h.recordType), d.file.p, d.file.n);
        return refuse(1);
    }
    if (std::ferror(f)) {
        signalMessage(QF_MSG_ERROR, "Disk error reading '%s%s' (ferror = %d)\n", d.file.p, d.file.n,
                      std::ferror(f));
        return refuse(1);
    }
    if (h.assigned != requiredHeaderValues(h.recordType) || !headerValuesUsable(h) || hashAt < 0) {
        signalMessage(QF_MSG_ERROR, "Invalid file header in '%s%s'\n", d.file.p, d.file.n);
        return refuse(1);
    }
    applyHeader(h, d);

    if (d.format != 'a' && d.format != 'b') {
        signalMessage(QF_MSG_ERROR, "Unsupported file format in '%s'", path.c_str());
        return refuse(1);
    }
    int64_t length = -1;
    if (platform::fileSeekEnd(f)) length = platform::fileTell(f);
    if (length < 0) {
        signalMessage(QF_MSG_ERROR, "Error reading input file '%s%s'", d.file.p, d.file.n);
        return refuse(1);
    }

    // Record 0 starts three bytes after the '#' ('#' CR LF or '#' CR 0x1A);
    // a text file written with bare LF line ends has records one byte
    // narrower.
    sigSetRecordSizes(d);
    const std::size_t hash = static_cast<std::size_t>(hashAt);
    const bool bareLf = d.format == 'a' && hash + 1 < text.size() && text[hash + 1] == '\n';
    d.dataOffset = static_cast<int32_t>(hashAt + (bareLf ? 2 : 3));
    if (bareLf) d.recordWidth -= 1;

    d.mode = 'r';
    d.recordCount = static_cast<int32_t>(
        std::min<int64_t>(d.recordCount, recordsInBytes(d, length - d.dataOffset)));
    d.windowCapacity = std::max(bufferBytes, 0) / d.recordSize;
    d.windowStart = 0;
    d.bufferBytes = bufferBytes;

    const bool tooShort = length < static_cast<int64_t>(d.dataOffset) + 3 * d.recordWidth;

    d.stream = f;
    d.openMark = kOpenMark;
    if (bufferBytes < 1) return 0;

    if (!allocateWindow(d, bufferBytes)) {
        release(d);
        signalMessage(QF_MSG_ERROR, "%s", kOutOfMemoryText);
        return 2;
    }
    if (d.windowCapacity < 1) d.windowCapacity = 1;
    if (tooShort) {
        // The descriptor stays open; the caller's sigClose closes it.
        signalMessage(QF_MSG_ERROR, "'%s' is invalid (file length too short.)", path.c_str());
        return 1;
    }
    if (sigReadWindow(d, 0) != 0) {
        release(d);
        return 2;
    }
    return 0;
}

int32_t sigReadWindow(SignalDescriptor& d, int32_t index) {
    auto fail = [&d]() {
        signalMessage(QF_MSG_ERROR, "Error reading input file '%s%s'", d.file.p, d.file.n);
        return 1;
    };
    if (!d.isOpen() || !d.stream || !d.buffer || index < 0) return fail();
    const int32_t start = windowStartFor(d, index);
    d.windowStart = start;
    const int32_t n = windowRecords(d, start);
    const int64_t from = recordPosition(d, start);
    if (!platform::fileSeek(d.stream, from)) return fail();
    if (n == 0) return 0;
    if (d.format == 'b') {
        if (std::fread(d.buffer, static_cast<std::size_t>(d.recordSize),
                       static_cast<std::size_t>(n), d.stream) != static_cast<std::size_t>(n))
            return fail();
        toLittleEndian(d.recordType, d.buffer, n);
        return 0;
    }
    const int64_t bytes = recordPosition(d, static_cast<int64_t>(start) + n) - from;
    std::unique_ptr<char[]> text = scratch(bytes);
    if (!text) {
        signalMessage(QF_MSG_ERROR, "%s", kOutOfMemoryText);
        return 1;
    }
    if (std::fread(text.get(), 1, static_cast<std::size_t>(bytes), d.stream) !=
        static_cast<std::size_t>(bytes))
        return fail();
    parseTextRecords(d, text.get(), static_cast<std::size_t>(bytes), start, n, d.buffer);
    return 0;
}

int32_t sigWriteWindow(SignalDescriptor& d, int32_t index) {
    auto fail = [&d]() {
        signalMessage(QF_MSG_ERROR, "Error writing output file '%s%s'", d.file.p, d.file.n);
        return 1;
    };
    if (!d.isOpen() || !d.stream) return fail();
    const int32_t n = d.buffer ? windowRecords(d, d.windowStart) : 0;
    if (n > 0) {
        const int64_t from = recordPosition(d, d.windowStart);
        if (!platform::fileSeek(d.stream, from)) return fail();
        bool ok;
        if (d.format == 'b') {
            toLittleEndian(d.recordType, d.buffer, n);
            ok = std::fwrite(d.buffer, static_cast<std::size_t>(d.recordSize),
                             static_cast<std::size_t>(n), d.stream) == static_cast<std::size_t>(n);
            toLittleEndian(d.recordType, d.buffer, n);
        } else {
            const int64_t bytes = recordPosition(d, static_cast<int64_t>(d.windowStart) + n) - from;
            std::unique_ptr<char[]> text = scratch(bytes);
            if (!text) {
                signalMessage(QF_MSG_ERROR, "%s", kOutOfMemoryText);
                return 1;
            }
            formatTextRecords(d, d.buffer, d.windowStart, n, text.get());
            ok = std::fwrite(text.get(), 1, static_cast<std::size_t>(bytes), d.stream) ==
                 static_cast<std::size_t>(bytes);
        }
        if (!ok || std::fflush(d.stream) != 0 || std::ferror(d.stream)) return fail();
    }
    if (index >= 0) d.windowStart = windowStartFor(d, index);
    return 0;
}

int32_t sigAccess(SignalDescriptor& d, int32_t index) {
    if (!d.isOpen()) return 1;
    const int64_t start = d.windowStart;
    if (start <= index && index < start + d.windowCapacity) return 0;
    int32_t r;
    if (d.mode == 'w')
        r = sigWriteWindow(d, index);
    else if (d.mode == 'r')
        r = sigReadWindow(d, index);
    else
        return 1;  // a memory array has no window to move
    if (r == 0) return 0;
    // The operation stops here; nothing of a failed output is left.
    const bool writing = d.mode == 'w';
    release(d);
    if (writing) platform::removeFile(sigTemporaryPath(d.file).c_str());
    return 1;
}

int32_t sigClose(SignalDescriptor& d) {
    if (!d.isOpen()) return 0;
    const bool writing = d.mode == 'w';
    int32_t result = 0;
    if (writing && d.buffer && d.stream) result = sigWriteWindow(d, -1);
    if (d.stream) {
        const int closed = std::fclose(d.stream);
        d.stream = nullptr;
        if (closed != 0 && writing && result == 0) {
            signalMessage(QF_MSG_ERROR, "Error writing output file '%s%s'", d.file.p, d.file.n);
            result = 1;
        }
    }
    release(d);
    if (writing) {
        const std::string temporary = sigTemporaryPath(d.file);
        if (result == 0 && !platform::replaceFile(temporary.c_str(), fullPath(d.file).c_str())) {
            signalMessage(QF_MSG_ERROR, "Error writing output file '%s%s'", d.file.p, d.file.n);
            result = 1;
        }
        if (result != 0)
            platform::removeFile(temporary.c_str());
        else
            signalWritten(d.file);
    }
    return result;
}

int32_t sigDiscard(SignalDescriptor& d) {
    if (!d.isOpen()) return 1;
    const bool writing = d.mode == 'w';
    release(d);
    // Only an output's temporary file is removed; an input opened for
    // reading, and any earlier file of the output's name, stay.
    if (writing) platform::removeFile(sigTemporaryPath(d.file).c_str());
    return 0;
}

int32_t sigOpenMemory(SignalDescriptor& d, int32_t recordType, int32_t recordCount) {
    const RecordTraits& traits = recordTraits(recordType);
    if (traits.use != RecordUse::Memory) return 3;
    const int32_t size = traits.size;
    const int64_t bytes = static_cast<int64_t>(recordCount) * size;
    if (recordCount < 0 || bytes > INT32_MAX) return 2;
    void* buffer = std::calloc(static_cast<std::size_t>(std::max<int64_t>(bytes, 1)), 1);
    if (!buffer) return 2;
    d.buffer = buffer;
    d.stream = nullptr;
    d.remark[0] = '\0';
    d.mode = '\0';
    d.format = '\0';
    d.openMark = kOpenMark;
    d.recordType = recordType;
    d.recordSize = size;
    d.recordWidth = size;
    d.dataOffset = 0;
    d.recordCount = recordCount / traits.countPerRecord;
    d.windowCapacity = d.recordCount;
    d.windowStart = 0;
    d.bufferBytes = static_cast<int32_t>(bytes);
    d.signalFrequency = 0.0;
    return 0;
}

int32_t sigFreeMemory(SignalDescriptor& d) {
    if (d.isOpen()) release(d);
    return 0;
}

int64_t sigFileLength(const char* path) {
    if (path == nullptr) return kSpaceLimit;
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return -1;
    int64_t length = -1;
    if (platform::fileSeekEnd(f)) length = platform::fileTell(f);
    std::fclose(f);
    return length;
}

void stdSetCurrentDir(const char* path) {
    if (path == nullptr || path[0] == '\0') return;
    platform::setCurrentDir(path);
}

void stdGetCurrentDir(char* buf, std::size_t size) {
    if (buf == nullptr || size == 0) return;
    if (size < 3 || !platform::currentDir(buf, size - 1)) {
        fmt(buf, size, "%s", "./");
        return;
    }
    const std::size_t n = std::strlen(buf);
    if (n == 0 || buf[n - 1] != '/') {
        buf[n] = '/';
        buf[n + 1] = '\0';
    }
}

}  // namespace qf
