// Windowed access to signal files: the only code that touches signal files.
// Every function returns 0 on success; 1 failure already reported (or
// refused), 2 lack of memory or disk space (reported), 3 unsupported record
// type (no message).
#pragma once

#include <cstdint>

#include "signal/descriptor.h"

namespace qf {

int32_t sigOpenRead(SignalDescriptor& d, const nameNpath& file, int32_t bufferBytes);
int32_t sigOpenWrite(SignalDescriptor& d, const nameNpath& file, int32_t recordType,
                     int32_t recordCount, char format, int32_t bufferBytes);
int32_t sigAccess(SignalDescriptor& d, int32_t index);
int32_t sigClose(SignalDescriptor& d);
int32_t sigDiscard(SignalDescriptor& d);
int32_t sigReadWindow(SignalDescriptor& d, int32_t index);
int32_t sigWriteWindow(SignalDescriptor& d, int32_t index);
int32_t sigSetRecordSizes(SignalDescriptor& d);
int32_t sigOpenMemory(SignalDescriptor& d, int32_t recordType, int32_t recordCount);
int32_t sigFreeMemory(SignalDescriptor& d);
// Length in bytes of the file, -1 when it cannot be opened.  A null path asks
// for the space available for new output (see sigOpenWrite).
int64_t sigFileLength(const char* path);
void stdSetCurrentDir(const char* path);
void stdGetCurrentDir(char* buf);  // at least 256 bytes; ends with a separator

}  // namespace qf
