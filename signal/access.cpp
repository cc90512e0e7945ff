// Signal file access: opening, windowed reading and writing, closing.
//
// A window is `windowCapacity` consecutive records starting at a multiple of
// the capacity.  Windows move with one positional read or write each (no
// seek, no flush in between): binary records as they are, text records
// formatted or parsed in one block of memory.  Record positions are computed
// from the header (format.h), never searched.
//
// Outputs with large windows (kWriteBehindBytes and more) are written
// behind: when the window moves, its bytes are copied (binary) or formatted
// (text) into one of two scratch blocks, which a second thread writes while
// the operation fills the next window; the window buffer itself keeps its
// values, as the caller expects.  A block that fails is reported at the next
// move or at the close, and the output is then removed like any failed one.
//
// Text records are read strictly: a record that is not a number of its
// type in its place is refused with its line and record number.
#include "signal/access.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/faults.h"
#include "platform/fs.h"
#include "signal/format.h"
#include "signal/numfmt.h"
#include "signal/report.h"
#include "signal/write_behind.h"

namespace qf {

namespace {

constexpr std::size_t kStreamBufferBytes = 4096;
constexpr int64_t kHeaderSpare = 2048;  // bytes added to the data for the space check

// What an open file needs besides its descriptor: the scratch blocks of
// text windows and of blocks written behind, and the writer.
struct SignalIo {
    // Two blocks of memory from platform::allocate, so that one can change places with
    // a window buffer handed to the writer.
    char* scratch[2] = {nullptr, nullptr};
    std::size_t scratchBytes[2] = {0, 0};
    int slot = 0;                 // the scratch block the next window uses
    bool writeBehind = false;     // an output whose windows are written behind
    bool filledByCaller = false;  // every window is set whole before it moves
    int64_t headerLines = -1;     // lines of the header, counted when a message needs them
    WriteBehind writer;           // declared last: stopped before the scratch goes

    SignalIo() = default;
    SignalIo(const SignalIo&) = delete;
    SignalIo& operator=(const SignalIo&) = delete;
    ~SignalIo() {
        writer.wait();  // nothing in flight uses the blocks any more
        platform::freeMemory(scratch[0]);
        platform::freeMemory(scratch[1]);
    }

    char* block(int which, int64_t bytes) {
        if (scratchBytes[which] < static_cast<std::size_t>(bytes)) {
            platform::freeMemory(scratch[which]);
            scratch[which] =
                static_cast<char*>(platform::allocate(static_cast<std::size_t>(bytes)));
            scratchBytes[which] = scratch[which] ? static_cast<std::size_t>(bytes) : 0;
        }
        return scratch[which];
    }
};

SignalIo* ioOf(SignalDescriptor& d) {
    return static_cast<SignalIo*>(d.io);
}

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

// Stops a writer (after its block in flight), closes the stream and frees
// the buffers; the descriptor is closed after.
void release(SignalDescriptor& d) {
    delete ioOf(d);
    d.io = nullptr;
    platform::closeFile(d.stream);
    d.stream = nullptr;
    platform::freeMemory(d.buffer);
    d.buffer = nullptr;
    d.openMark = 0;
}

// Gives an open file its I/O state; false when there is no memory for it.
bool attachIo(SignalDescriptor& d) {
    d.io = new (std::nothrow) SignalIo;
    return d.io != nullptr;
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
    d.buffer = platform::allocateZeroed(static_cast<std::size_t>(bytes));
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

// Reads the start of a file up to its first '#' and the two bytes after it
// (at most kHeaderScanLimit bytes).  hashAt is -1 when there is no '#'.
void readHeaderBytes(std::FILE* f, std::string& text, int64_t& hashAt) {
    hashAt = -1;
    char block[4096];
    while (text.size() < kHeaderScanLimit) {
        const std::size_t want = std::min(sizeof block, kHeaderScanLimit - text.size());
        const std::size_t got = platform::readFile(f, block, want);
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

// At most 60 characters of a record's text, line ends dropped and other
// control bytes shown as '?', for a message.
std::string shownText(const char* s, std::size_t n) {
    std::string t;
    for (std::size_t i = 0; i < n && t.size() < 60; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '\r' || c == '\n') continue;
        t += (c < 0x20 || c >= 0x7F) ? '?' : static_cast<char>(c);
    }
    return t;
}

// The first word of the type's name ("REAL32", "CINT32RECT(W)").
std::string typeWord(int32_t type) {
    const char* name = recordTypeName(type);
    std::string w = name ? name : "";
    return w.substr(0, w.find(' '));
}

// Lines of a text file's header, the "Data begin" line included.
int64_t headerLineCount(SignalDescriptor& d) {
    SignalIo* io = ioOf(d);
    if (io && io->headerLines >= 0) return io->headerLines;
    std::vector<char> head(static_cast<std::size_t>(std::max(d.dataOffset, 0)));
    int64_t lines = 0;
    if (platform::readAt(d.stream, 0, head.data(), head.size()) == 0)
        lines = std::count(head.begin(), head.end(), '\n');
    if (io) io->headerLines = lines;
    return lines;
}

// Reports the record of a text window that is not a record of its type
// (or the frame line before it); `text` holds the window from record
// `start` on.
void reportDamagedRecord(SignalDescriptor& d, const char* text, std::size_t len, int32_t start,
                         int32_t bad) {
    const int64_t offset = recordPosition(d, bad) - recordPosition(d, start);
    const char* at = text + std::min<int64_t>(offset, static_cast<int64_t>(len));
    const std::size_t left = len - static_cast<std::size_t>(at - text);
    const int64_t line = recordLineNumber(d, bad, headerLineCount(d));
    if (hasFrameLines(d) && bad % d.param1 == 0) {
        const std::size_t frame = static_cast<std::size_t>(lpcHeaderLineWidth(d));
        const std::size_t lineEnd = d.recordWidth == recordTraits(d.recordType).textWidth ? 2 : 1;
        const bool frameOk = left >= frame && std::memcmp(at, "Frame ", 6) == 0 &&
                             at[frame - 1] == '\n' && (lineEnd == 1 || at[frame - 2] == '\r');
        if (!frameOk) {
            signalMessage(QF_MSG_ERROR,
                          "Error reading input file '%s%s': line %lld is not a frame line: "
                          "\"%s\"",
                          d.file.p, d.file.n, static_cast<long long>(line - 1),
                          shownText(at, std::min(left, frame)).c_str());
            return;
        }
        at += frame;
    }
    const std::size_t rest = len - static_cast<std::size_t>(at - text);
    signalMessage(
        QF_MSG_ERROR,
        "Error reading input file '%s%s': line %lld (record %d) is not a %s record: "
        "\"%s\"",
        d.file.p, d.file.n, static_cast<long long>(line), bad, typeWord(d.recordType).c_str(),
        shownText(at,
                  std::min<std::size_t>(rest, static_cast<std::size_t>(std::max(d.recordWidth, 0))))
            .c_str());
}

// Reports a failed write of an output, with the reason when one is known.
int32_t writeFailed(SignalDescriptor& d, int error) {
    if (error != 0)
        signalMessage(QF_MSG_ERROR, "Error writing output file '%s%s': %s.", d.file.p, d.file.n,
                      platform::ioErrorText(error).c_str());
    else
        signalMessage(QF_MSG_ERROR, "Error writing output file '%s%s'", d.file.p, d.file.n);
    return 1;
}

// Writes the current window of an output: behind it for outputs so marked,
// unless `now`, which also waits until every byte handed over is written.
int32_t writeWindow(SignalDescriptor& d, bool now) {
    SignalIo* io = ioOf(d);
    if (!d.isOpen() || !d.stream || !io) return writeFailed(d, 0);
    const int32_t n = d.buffer ? windowRecords(d, d.windowStart) : 0;
    if (n <= 0) return now && !io->writer.wait() ? writeFailed(d, io->writer.error()) : 0;
    const bool behind = io->writeBehind && !now;
    const int64_t from = recordPosition(d, d.windowStart);
    const int64_t bytes = recordPosition(d, static_cast<int64_t>(d.windowStart) + n) - from;
    if (behind && io->filledByCaller && d.format == 'b' &&
        std::endian::native == std::endian::little) {
        // The caller sets the next window whole: the buffer itself goes to
        // the writer, and a spare block of its size becomes the window.
        char* spare = io->block(io->slot, d.bufferBytes);
        if (spare == nullptr) {
            signalMessage(QF_MSG_ERROR, "%s", kOutOfMemoryText);
            return 1;
        }
        if (!io->writer.wait()) return writeFailed(d, io->writer.error());
        char* full = static_cast<char*>(d.buffer);
        d.buffer = spare;
        io->scratch[io->slot] = full;
        io->scratchBytes[io->slot] = static_cast<std::size_t>(d.bufferBytes);
        io->writer.start(d.stream, from, full, static_cast<std::size_t>(bytes));
        io->slot ^= 1;
        return 0;
    }
    const char* data = static_cast<const char*>(d.buffer);
    if (d.format != 'b' || behind || std::endian::native != std::endian::little) {
        // The bytes go through a scratch block: formatted text, or a copy
        // of the window that the caller may go on changing.
        char* block = io->block(io->slot, bytes);
        if (block == nullptr) {
            signalMessage(QF_MSG_ERROR, "%s", kOutOfMemoryText);
            return 1;
        }
        if (d.format == 'b') {
            std::memcpy(block, d.buffer, static_cast<std::size_t>(bytes));
            toLittleEndian(d.recordType, block, n);
        } else {
            formatTextRecords(d, d.buffer, d.windowStart, n, block);
        }
        data = block;
    }
    if (!io->writer.wait()) return writeFailed(d, io->writer.error());
    if (behind) {
        io->writer.start(d.stream, from, data, static_cast<std::size_t>(bytes));
        io->slot ^= 1;
        return 0;
    }
    const int r = platform::writeAt(d.stream, from, data, static_cast<std::size_t>(bytes));
    return r == 0 ? 0 : writeFailed(d, r);
}

// Reads the window holding `index`.  0, or 1 after a message: `damaged`
// tells a text record that is not one of its type from a failed read.
int32_t readWindow(SignalDescriptor& d, int32_t index, bool& damaged) {
    damaged = false;
    auto fail = [&d]() {
        signalMessage(QF_MSG_ERROR, "Error reading input file '%s%s'", d.file.p, d.file.n);
        return 1;
    };
    if (!d.isOpen() || !d.stream || !d.buffer || index < 0) return fail();
    const int32_t start = windowStartFor(d, index);
    d.windowStart = start;
    const int32_t n = windowRecords(d, start);
    if (n == 0) return 0;
    const int64_t from = recordPosition(d, start);
    const int64_t bytes = recordPosition(d, static_cast<int64_t>(start) + n) - from;
    if (d.format == 'b') {
        if (platform::readAt(d.stream, from, d.buffer, static_cast<std::size_t>(bytes)) != 0)
            return fail();
        toLittleEndian(d.recordType, d.buffer, n);
        return 0;
    }
    SignalIo* io = ioOf(d);
    char* text = io ? io->block(0, bytes) : nullptr;
    if (text == nullptr) {
        signalMessage(QF_MSG_ERROR, "%s", kOutOfMemoryText);
        return 1;
    }
    if (platform::readAt(d.stream, from, text, static_cast<std::size_t>(bytes)) != 0) return fail();
    const int32_t bad =
        parseTextRecords(d, text, static_cast<std::size_t>(bytes), start, n, d.buffer);
    if (bad < 0) return 0;
    damaged = true;
    reportDamagedRecord(d, text, static_cast<std::size_t>(bytes), start, bad);
    return 1;
}

// Where a header's end shows that the data does not match its "File
// format" line: null when it matches.  `text` holds the file's start up to
// the two bytes after the first '#', at `hash`.
const char* headerEndProblem(const std::string& text, std::size_t hash, char format) {
    auto byte = [&text](std::size_t k) {
        return k < text.size() ? static_cast<unsigned char>(text[k]) : -1;
    };
    const int c1 = byte(hash + 1), c2 = byte(hash + 2);
    const bool textEnd = c1 == '\n' || (c1 == '\r' && c2 == '\n');
    const bool binaryEnd = c1 == '\r' && c2 == 0x1A;
    if (format == 'a' && !textEnd)
        return binaryEnd ? "the file format is ASCII, but binary data follows the header"
                         : "the header does not end with '#', CR and LF";
    if (format == 'b' && !binaryEnd)
        return textEnd ? "the file format is Binary, but text follows the header"
                       : "the header does not end with '#', CR and the byte 1A";
    return nullptr;
}

// True when a binary file's data starts with a text record of its type:
// text data under a header that says Binary.
bool startsWithTextRecord(const SignalDescriptor& d) {
    SignalDescriptor t = d;
    t.format = 'a';
    int32_t size = 0;
    if (!recordSizes(d.recordType, size, t.recordWidth)) return false;
    char bytes[64];
    double record[4];
    if (t.recordWidth > static_cast<int32_t>(sizeof bytes) || d.recordCount < 1 ||
        platform::readAt(d.stream, d.dataOffset, bytes, static_cast<std::size_t>(t.recordWidth)) !=
            0)
        return false;
    return parseTextRecords(t, bytes, static_cast<std::size_t>(t.recordWidth), 0, 1, record) < 0;
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
    d.io = nullptr;

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

    // Whatever this open has taken is given back unless it completes (an
    // early return, or a lack of memory passing as an exception).
    struct Undo {
        SignalDescriptor& d;
        std::string temporary;
        bool kept = false;
        ~Undo() {
            if (kept) return;
            release(d);
            if (!temporary.empty()) platform::removeFile(temporary.c_str());
        }
    } undo{d, {}};

    if (bufferBytes >= 1 && (!allocateWindow(d, bufferBytes) || !attachIo(d))) {
        release(d);
        signalMessage(QF_MSG_ERROR, "%s", kOutOfMemoryText);
        return 2;
    }
    if (d.io) ioOf(d)->writeBehind = bufferBytes >= kWriteBehindBytes;

    const std::string target = fullPath(d.file);
    const std::string path = sigTemporaryPath(d.file);
    platform::removeFile(path.c_str());  // a leftover of an interrupted run
    stdSetCurrentDir(d.file.p);

    if (d.buffer) {
        // The file system's own figure for the output's folder; where it
        // cannot tell, the output is tried (a full disk still fails cleanly).
        const int64_t needed = static_cast<int64_t>(d.recordWidth) * recordCount + kHeaderSpare;
        const int64_t available = platform::freeSpace(d.file.p);
        if (available >= 0 && available < needed) {
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

    undo.temporary = path;
    std::FILE* f = platform::openFile(path.c_str(), "w+b");
    d.stream = f;
    if (!f) {
        release(d);
        signalMessage(QF_MSG_ERROR, "Cannot open %s for write.", target.c_str());
        return 1;
    }
    platform::setFileBuffer(f, kStreamBufferBytes);
    const std::string header = headerText(d);
    if (!platform::writeText(f, header) || !platform::flushFile(f)) {
        release(d);
        platform::removeFile(path.c_str());
        signalMessage(QF_MSG_ERROR, "Error writing output file '%s%s'", d.file.p, d.file.n);
        return 1;
    }
    d.stream = f;
    d.dataOffset = static_cast<int32_t>(header.size());
    if (d.buffer) {
        // The whole file's space is taken now: a disk too full for it says
        // so before any record is computed, and the writes get cheaper.
        const int64_t bytes = recordPosition(d, recordCount);
        if (platform::reserveFileSpace(f, bytes) != 0) {
            platform::closeFile(f);
            d.stream = nullptr;
            release(d);
            platform::removeFile(path.c_str());
            char drive[3];
            signalMessage(
                QF_MSG_ERROR,
                "There isn't sufficient disk space available on %s drive.  %lld bytes "
                "available; %lld bytes needed.",
                driveText(d.file.p, drive),
                static_cast<long long>(std::max<int64_t>(platform::freeSpace(d.file.p), 0)),
                static_cast<long long>(bytes));
            return 2;
        }
    }
    d.openMark = kOpenMark;
    undo.kept = true;
    return 0;
}

int32_t sigOpenRead(SignalDescriptor& d, const nameNpath& file, int32_t bufferBytes) {
    copyEntry(d.file, file);
    d.param1 = d.param2 = d.param3 = d.param4 = 0;
    d.openMark = 0;
    d.stream = nullptr;
    d.buffer = nullptr;
    d.io = nullptr;
    const std::string path = fullPath(d.file);
    // Closed here unless the descriptor takes it (a lack of memory passing
    // as an exception too).
    platform::OwnedFile owned(platform::openFile(path.c_str(), "rb"));
    std::FILE* f = owned.get();
    if (!f) {
        signalMessage(QF_MSG_ERROR, "Invalid file name or path\n%s", path.c_str());
        return 1;
    }
    platform::setFileBuffer(f, kStreamBufferBytes);

    std::string text;
    int64_t hashAt = -1;
    readHeaderBytes(f, text, hashAt);
    const std::size_t headerEnd = hashAt >= 0 ? static_cast<std::size_t>(hashAt) : text.size();
    const HeaderScan h = scanHeader(std::string_view(text).substr(0, headerEnd));
    auto refuse = [](int32_t result) { return result; };
    auto invalid = [&](int64_t line, const char* why) {
        signalMessage(QF_MSG_ERROR, "Invalid file header in '%s%s'\nline %lld: %s.", d.file.p,
                      d.file.n, static_cast<long long>(line), why);
        return refuse(1);
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
    if (platform::fileFailed(f)) {
        signalMessage(QF_MSG_ERROR, "Disk error reading '%s%s' (ferror = %d)\n", d.file.p, d.file.n,
                      1);
        return refuse(1);
    }
    if (h.assigned != requiredHeaderValues(h.recordType) || hashAt < 0) {
        signalMessage(QF_MSG_ERROR, "Invalid file header in '%s%s'\n", d.file.p, d.file.n);
        return refuse(1);
    }
    int headerLine = 0;
    if (const char* why = headerProblem(h, headerLine)) return invalid(headerLine, why);
    applyHeader(h, d);

    if (d.format != 'a' && d.format != 'b') {
        signalMessage(QF_MSG_ERROR, "Unsupported file format in '%s'", path.c_str());
        return refuse(1);
    }
    // The "Data begin" line is the header's last.
    const std::size_t hash = static_cast<std::size_t>(hashAt);
    const int64_t dataLine = std::count(text.begin(), text.begin() + hashAt, '\n') + 1;
    if (const char* why = headerEndProblem(text, hash, d.format)) return invalid(dataLine, why);
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
    const bool bareLf = d.format == 'a' && hash + 1 < text.size() && text[hash + 1] == '\n';
    d.dataOffset = static_cast<int32_t>(hashAt + (bareLf ? 2 : 3));
    if (bareLf) d.recordWidth -= 1;

    d.mode = 'r';
    const int32_t headerCount = d.recordCount;
    d.recordCount = static_cast<int32_t>(
        std::min<int64_t>(d.recordCount, recordsInBytes(d, length - d.dataOffset)));
    d.windowCapacity = std::max(bufferBytes, 0) / d.recordSize;
    d.windowStart = 0;
    d.bufferBytes = bufferBytes;
    d.stream = f;
    if (d.format == 'b' && startsWithTextRecord(d)) {
        d.stream = nullptr;
        return invalid(dataLine, "the file format is Binary, but text follows the header");
    }
    owned.release();

    const bool tooShort = length < static_cast<int64_t>(d.dataOffset) + 3 * d.recordWidth;
    d.openMark = kOpenMark;
    if (bufferBytes < 1) return 0;

    if (!allocateWindow(d, bufferBytes) || !attachIo(d)) {
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
    if (d.recordCount < headerCount)
        signalMessage(QF_MSG_NOTICE,
                      "'%s%s' holds %d records where its header says %d; the %d records present "
                      "are read.",
                      d.file.p, d.file.n, d.recordCount, headerCount, d.recordCount);
    bool damaged = false;
    if (readWindow(d, 0, damaged) != 0) {
        release(d);
        return damaged ? 1 : 2;
    }
    return 0;
}

int32_t sigReadWindow(SignalDescriptor& d, int32_t index) {
    bool damaged = false;
    return readWindow(d, index, damaged);
}

int32_t sigWriteWindow(SignalDescriptor& d, int32_t index) {
    if (writeWindow(d, true) != 0) return 1;
    if (index >= 0) d.windowStart = windowStartFor(d, index);
    return 0;
}

int32_t sigAccess(SignalDescriptor& d, int32_t index) {
    if (!d.isOpen()) return 1;
    const int64_t start = d.windowStart;
    if (start <= index && index < start + d.windowCapacity) return 0;
    int32_t r;
    if (d.mode == 'w') {
        // Windows written behind: the bytes are handed over, not waited for.
        r = writeWindow(d, false);
        if (r == 0 && index >= 0) d.windowStart = windowStartFor(d, index);
    } else if (d.mode == 'r') {
        r = sigReadWindow(d, index);
    } else {
        return 1;  // a memory array has no window to move
    }
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
    // Both names are made before anything is let go: a lack of memory here
    // leaves the descriptor open, for its owner to discard.
    const std::string temporary = writing ? sigTemporaryPath(d.file) : std::string();
    const std::string target = writing ? fullPath(d.file) : std::string();
    int32_t result = 0;
    if (writing && d.buffer && d.stream) result = writeWindow(d, true);
    // The writer stops before its file closes.
    delete ioOf(d);
    d.io = nullptr;
    if (d.stream) {
        const bool closed = platform::closeFile(d.stream);
        d.stream = nullptr;
        if (!closed && writing && result == 0) result = writeFailed(d, 0);
    }
    release(d);
    if (writing) {
        if (result == 0 && !platform::replaceFile(temporary.c_str(), target.c_str()))
            result = writeFailed(d, 0);
        if (result != 0)
            platform::removeFile(temporary.c_str());
        else
            signalWritten(d.file);
    }
    return result;
}

int32_t sigDiscard(SignalDescriptor& d) noexcept {
    if (!d.isOpen()) return 1;
    const bool writing = d.mode == 'w';
    // Only an output's temporary file is removed; an input opened for
    // reading, and any earlier file of the output's name, stay.  The name
    // is made first, so that the descriptor stays open if that fails.
    try {
        const std::string temporary = writing ? sigTemporaryPath(d.file) : std::string();
        release(d);
        if (writing) platform::removeFile(temporary.c_str());
    } catch (const std::bad_alloc&) {
        release(d);  // called as a failed run unwinds: nothing may leave here
    }
    return 0;
}

void sigWindowsFilledByCaller(SignalDescriptor& d) {
    // Only before the first move: a window already left was not promised.
    if (SignalIo* io = d.isOpen() && d.mode == 'w' ? ioOf(d) : nullptr)
        if (d.windowStart == 0) io->filledByCaller = true;
}

int32_t sigOpenMemory(SignalDescriptor& d, int32_t recordType, int32_t recordCount) {
    const RecordTraits& traits = recordTraits(recordType);
    if (traits.use != RecordUse::Memory) return 3;
    const int32_t size = traits.size;
    const int64_t bytes = static_cast<int64_t>(recordCount) * size;
    if (recordCount < 0 || bytes > INT32_MAX) return 2;
    void* buffer = platform::allocateZeroed(static_cast<std::size_t>(std::max<int64_t>(bytes, 1)));
    if (!buffer) return 2;
    d.buffer = buffer;
    d.stream = nullptr;
    d.io = nullptr;
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
    if (path == nullptr) return platform::freeSpace(nullptr);
    std::FILE* f = platform::openFile(path, "rb");
    if (!f) return -1;
    int64_t length = -1;
    if (platform::fileSeekEnd(f)) length = platform::fileTell(f);
    platform::closeFile(f);
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
