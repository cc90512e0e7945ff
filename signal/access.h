// Windowed access to signal files: the only code that touches signal files.
// A descriptor keeps a window of consecutive records in its buffer; an
// operation asks for record i to be resident (sigAccess) and then works on
// the buffer directly.  Every function returns 0 on success; 1 failure
// already reported (or refused), 2 lack of memory or disk space (reported),
// 3 unsupported record type (no message).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "signal/descriptor.h"

namespace qf {

// Windows of sequential access: operations that walk a file from start to
// end use windows of about this many bytes.
constexpr int32_t kSequentialWindowBytes = 1 << 20;
// Outputs whose window buffer holds at least this many bytes are written
// behind: a moved window's bytes go to the file on a second thread while
// the caller fills the next window.
constexpr int32_t kWriteBehindBytes = 256 * 1024;

// Opens a signal file and reads its header; a buffer size below 1 opens the
// header only (the stream stays open until sigClose).  A file whose data
// part holds fewer records than its header says is read as far as it goes,
// with a notice naming both counts; text records are read strictly (a
// record that is not a number of its type fails the read with its line and
// record number).
int32_t sigOpenRead(SignalDescriptor& d, const nameNpath& file, int32_t bufferBytes);
// Creates a signal file from the header fields already in d.  The file is
// written under a temporary name in its folder (sigTemporaryPath) and
// sigClose renames it over the target; sigDiscard, or a failure, removes it,
// so an existing file of the name stays as it was until the new one is
// complete.  The space check asks the file system for the space free in the
// output's folder, and the whole file's space is reserved as it is created
// (where the file system can): a disk too full is refused before any record
// is written.
int32_t sigOpenWrite(SignalDescriptor& d, const nameNpath& file, int32_t recordType,
                     int32_t recordCount, char format, int32_t bufferBytes);
// Makes record `index` resident.  On failure the descriptor is closed (its
// stream closed, its buffer freed, a partial output removed).
int32_t sigAccess(SignalDescriptor& d, int32_t index);
// Writes the last window of an output; closes the stream, frees the buffer
// and renames the output over its target.  Nonzero only when that last
// write or the rename failed (the output is then removed, the target left
// as it was, and the failure reported).
int32_t sigClose(SignalDescriptor& d);
// Declares that the caller sets every record of each window of the output
// before it moves the window on (the FFT does).  An output written behind
// then hands its window buffer to the writer instead of copying it, and a
// new window does not hold the previous window's values.
void sigWindowsFilledByCaller(SignalDescriptor& d);
// Closes and removes an output's temporary file (1 if the descriptor was
// not open).
int32_t sigDiscard(SignalDescriptor& d) noexcept;
// Where an output is written until sigClose renames it.
std::string sigTemporaryPath(const nameNpath& file);
int32_t sigReadWindow(SignalDescriptor& d, int32_t index);
// Writes the current window, and waits until everything written behind is
// in the file; then, for index >= 0, moves the window to hold `index` (the
// buffer keeps the previous window's values).
int32_t sigWriteWindow(SignalDescriptor& d, int32_t index);
int32_t sigSetRecordSizes(SignalDescriptor& d);
// A memory-only record array for filter coefficients (types 12-23, 29, 30,
// 36, 37).
int32_t sigOpenMemory(SignalDescriptor& d, int32_t recordType, int32_t recordCount);
int32_t sigFreeMemory(SignalDescriptor& d);
// Length in bytes of the file, -1 when it cannot be opened.  A null path
// gives the bytes free for outputs in the current directory (-1 when the
// file system cannot tell).
int64_t sigFileLength(const char* path);
void stdSetCurrentDir(const char* path);
// The current directory ending with a separator, at most size - 1
// characters; "./" when it does not fit or cannot be found.
void stdGetCurrentDir(char* buf, std::size_t size = 256);

}  // namespace qf
