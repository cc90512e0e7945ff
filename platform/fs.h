// File-system services: the current directory, free space, file removal and
// renaming, the process number for temporary names, and
// 64-bit stream positions.  Only this layer talks to the operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace qf::platform {

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

// Removes a file (never a directory); false when nothing was removed.
bool removeFile(const char* path);
// Renames a file, replacing an existing file of the new name in one step;
// false when that could not be done (both files are then as they were).
bool replaceFile(const char* from, const char* to);
// A number that tells this process from others at the same time.
uint32_t processId();

// Stream positions beyond 2 GB.
bool fileSeek(std::FILE* f, int64_t offset);
bool fileSeekEnd(std::FILE* f);
int64_t fileTell(std::FILE* f);

}  // namespace qf::platform
