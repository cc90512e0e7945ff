#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/fs.h"

namespace qf::platform {

namespace {
FreeSpaceSource g_freeSpaceSource = nullptr;
}

bool setCurrentDir(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    return ::chdir(path) == 0;
}

bool currentDir(char* buf, std::size_t size) {
    if (buf == nullptr || size == 0) return false;
    if (::getcwd(buf, size) == nullptr) {
        buf[0] = '\0';
        return false;
    }
    return true;
}

int64_t freeSpace(const char* dir) {
    if (g_freeSpaceSource) return g_freeSpaceSource(dir);
    struct statvfs st;
    if (::statvfs(dir && dir[0] ? dir : ".", &st) != 0) return -1;
    const uint64_t bytes = static_cast<uint64_t>(st.f_bavail) * static_cast<uint64_t>(st.f_frsize);
    return bytes > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(bytes);
}

void setFreeSpaceSource(FreeSpaceSource source) {
    g_freeSpaceSource = source;
}

bool removeFile(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    return ::unlink(path) == 0;
}

bool replaceFile(const char* from, const char* to) {
    if (from == nullptr || to == nullptr || from[0] == '\0' || to[0] == '\0') return false;
    return std::rename(from, to) == 0;
}

uint32_t processId() {
    return static_cast<uint32_t>(::getpid());
}

bool fileSeek(std::FILE* f, int64_t offset) {
    return f != nullptr && offset >= 0 && ::fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool fileSeekEnd(std::FILE* f) {
    return f != nullptr && ::fseeko(f, 0, SEEK_END) == 0;
}

int64_t fileTell(std::FILE* f) {
    if (f == nullptr) return -1;
    return static_cast<int64_t>(::ftello(f));
}

}  // namespace qf::platform
