// File-system services: opening, reading, writing and closing files, the
// current directory, free space, folders, file removal and renaming,
// positional reads and writes, advisory locks, the process number for
// temporary names, and 64-bit stream positions.  Only this layer talks to
// the operating system, and every file the engine touches goes through it:
// opens, writes and renames ask the injected-fault switch (faults.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace qf::platform {

// Streams.  An open that fails (or is made to fail) gives null with errno
// set; a write gives the bytes written, short when it failed.
std::FILE* openFile(const char* path, const char* mode);
// A scratch file, removed when it is closed.
std::FILE* openScratchFile();
// Closes the stream; false when its buffered bytes could not be written.
// A null stream is left alone (true).
bool closeFile(std::FILE* f);
std::size_t readFile(std::FILE* f, void* to, std::size_t bytes);
std::size_t writeFile(std::FILE* f, const void* from, std::size_t bytes);
// True when every byte of the text went to the stream.
bool writeText(std::FILE* f, const std::string& text);
// One byte (EOF at the end or on an error), and one byte given back.
int readChar(std::FILE* f);
void unreadChar(std::FILE* f, int c);
// A line as fgets reads it: at most size - 1 bytes, up to and including
// its LF; false at the end of the file.
bool readLine(std::FILE* f, char* buf, std::size_t size);
bool flushFile(std::FILE* f);
// The stream's error indicator.
bool fileFailed(std::FILE* f);
void rewindFile(std::FILE* f);
// Fully buffered with a buffer of `bytes`, or unbuffered for 0.
void setFileBuffer(std::FILE* f, std::size_t bytes);

// A stream that is closed when its owner goes (an exception passing too).
struct FileCloser {
    void operator()(std::FILE* f) const { closeFile(f); }
};
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

// Makes the directory current; false when it cannot be done.
bool setCurrentDir(const char* path);
// Copies the current directory (no trailing separator added) into buf;
// false when it does not fit or cannot be found.
bool currentDir(char* buf, std::size_t size);

// Bytes available to the program on the file system holding `dir` (the
// current directory for null or ""), or -1 when that cannot be found.
int64_t freeSpace(const char* dir);
// Tests can stand in for the file system's answer; null restores it.
using FreeSpaceSource = int64_t (*)(const char* dir);
void setFreeSpaceSource(FreeSpaceSource source);

// Creates a folder and every missing parent ("a/b/c/", separators '/');
// true when the folder exists afterwards.
bool makeDirectories(const char* path);

// Removes a file (never a directory); false when nothing was removed.
bool removeFile(const char* path);
// Renames a file, replacing an existing file of the new name in one step;
// false when that could not be done (both files are then as they were).
bool replaceFile(const char* from, const char* to);
// A number that tells this process from others at the same time.
uint32_t processId();

// Reads or writes `bytes` bytes at byte `offset` of the stream's file,
// without moving its position and past its buffer.  0 when every byte was
// transferred, else the system's error number (kEndOfFile when a read
// reached the end first).  The stream's own buffer must hold no pending
// output (flush it first).
constexpr int kEndOfFile = -1;
int readAt(std::FILE* f, int64_t offset, void* to, std::size_t bytes);
int writeAt(std::FILE* f, int64_t offset, const void* from, std::size_t bytes);
// What an error number of readAt or writeAt means ("No space left on
// device").
std::string ioErrorText(int error);
// Reserves disk space for the first `bytes` bytes of the stream's file
// without changing its length, so that writing them later needs no more
// (and is cheaper).  0, or the system's error number; a file system that
// cannot reserve space ahead answers 0.
int reserveFileSpace(std::FILE* f, int64_t bytes);
// Writes the stream's buffer and the file's data to the disk.
bool syncFile(std::FILE* f);

// An advisory lock on a lock file: cooperating processes that take the same
// lock run one at a time.  Waits at most `timeoutMs` milliseconds; a lock
// that could not be taken is not held (held() is false) and the caller
// goes on without it.  The lock file is created if needed and stays.
class FileLock {
  public:
    FileLock(const char* path, int timeoutMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return handle_ >= 0; }

  private:
    int handle_ = -1;
};

// Stream positions beyond 2 GB.
bool fileSeek(std::FILE* f, int64_t offset);
bool fileSeekEnd(std::FILE* f);
int64_t fileTell(std::FILE* f);

}  // namespace qf::platform
