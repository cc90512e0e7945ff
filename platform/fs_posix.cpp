#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "platform/faults.h"
#include "platform/fs.h"

namespace qf::platform {

namespace {
FreeSpaceSource g_freeSpaceSource = nullptr;
}

std::FILE* openFile(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr || path[0] == '\0') {
        errno = ENOENT;
        return nullptr;
    }
    if (failsNow(Fault::Open)) {
        errno = EMFILE;
        return nullptr;
    }
    // Descriptors are not handed on to programs the host starts.
    std::string m = mode;
    m += 'e';
    return std::fopen(path, m.c_str());
}

std::FILE* openScratchFile() {
    if (failsNow(Fault::Open)) {
        errno = EMFILE;
        return nullptr;
    }
    return std::tmpfile();
}

bool closeFile(std::FILE* f) {
    return f == nullptr || std::fclose(f) == 0;
}

std::size_t readFile(std::FILE* f, void* to, std::size_t bytes) {
    if (f == nullptr || bytes == 0) return 0;
    return std::fread(to, 1, bytes, f);
}

std::size_t writeFile(std::FILE* f, const void* from, std::size_t bytes) {
    if (f == nullptr) return 0;
    if (bytes == 0) return 0;
    if (failsNow(Fault::Write)) {
        errno = ENOSPC;
        return 0;
    }
    return std::fwrite(from, 1, bytes, f);
}

bool writeText(std::FILE* f, const std::string& text) {
    return writeFile(f, text.data(), text.size()) == text.size();
}

int readChar(std::FILE* f) {
    return f ? std::getc(f) : EOF;
}

void unreadChar(std::FILE* f, int c) {
    if (f && c != EOF) std::ungetc(c, f);
}

bool readLine(std::FILE* f, char* buf, std::size_t size) {
    if (f == nullptr || buf == nullptr || size < 2) return false;
    const int n = size > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(size);
    return std::fgets(buf, n, f) != nullptr;
}

bool flushFile(std::FILE* f) {
    return f != nullptr && std::fflush(f) == 0;
}

bool fileFailed(std::FILE* f) {
    return f == nullptr || std::ferror(f) != 0;
}

void rewindFile(std::FILE* f) {
    if (f) std::rewind(f);
}

void setFileBuffer(std::FILE* f, std::size_t bytes) {
    if (f == nullptr) return;
    if (bytes == 0)
        std::setvbuf(f, nullptr, _IONBF, 0);
    else
        std::setvbuf(f, nullptr, _IOFBF, bytes);
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

bool makeDirectories(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    const std::string p = path;
    struct stat st;
    for (std::size_t at = p.find('/', 1);; at = p.find('/', at + 1)) {
        const std::string part = p.substr(0, at);
        if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (at == std::string::npos) break;
    }
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool removeFile(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    return ::unlink(path) == 0;
}

bool replaceFile(const char* from, const char* to) {
    if (from == nullptr || to == nullptr || from[0] == '\0' || to[0] == '\0') return false;
    if (failsNow(Fault::Rename)) {
        errno = EIO;
        return false;
    }
    return std::rename(from, to) == 0;
}

uint32_t processId() {
    return static_cast<uint32_t>(::getpid());
}

int readAt(std::FILE* f, int64_t offset, void* to, std::size_t bytes) {
    if (f == nullptr || offset < 0) return EINVAL;
    const int fd = ::fileno(f);
    char* p = static_cast<char*>(to);
    while (bytes > 0) {
        const ssize_t n = ::pread(fd, p, bytes, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return kEndOfFile;
        p += n;
        offset += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return 0;
}

int writeAt(std::FILE* f, int64_t offset, const void* from, std::size_t bytes) {
    if (f == nullptr || offset < 0) return EINVAL;
    if (bytes > 0 && failsNow(Fault::Write)) return ENOSPC;
    const int fd = ::fileno(f);
    const char* p = static_cast<const char*>(from);
    while (bytes > 0) {
        const ssize_t n = ::pwrite(fd, p, bytes, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;  // a full disk, a file too large, an I/O error
        if (n == 0) return EIO;
        p += n;
        offset += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return 0;
}

std::string ioErrorText(int error) {
    if (error == kEndOfFile) return "the file ends too soon";
    char buf[256] = {};
    // The GNU strerror_r may return a static text instead of filling buf.
    const auto r = ::strerror_r(error, buf, sizeof buf);
    if constexpr (std::is_same_v<std::remove_cv_t<decltype(r)>, char*>)
        return r ? std::string(r) : std::string(buf);
    else
        return r == 0 ? std::string(buf) : "error " + std::to_string(error);
}

int reserveFileSpace(std::FILE* f, int64_t bytes) {
    if (f == nullptr || bytes <= 0) return 0;
    const int fd = ::fileno(f);
    int r;
    do {
        r = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
    } while (r != 0 && errno == EINTR);
    if (r == 0) return 0;
    return errno == ENOSPC || errno == EDQUOT ? errno : 0;
}

bool syncFile(std::FILE* f) {
    return f != nullptr && std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
}

FileLock::FileLock(const char* path, int timeoutMs) {
    if (path == nullptr || path[0] == '\0') return;
    if (failsNow(Fault::Open)) return;
    const int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    // Polled rather than blocking, so that a process that hangs while
    // holding the lock delays the others only for the timeout.
    for (int waited = 0;; waited += 5) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            handle_ = fd;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= timeoutMs) break;
        const timespec pause = {0, 5 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
    ::close(fd);
}

FileLock::~FileLock() {
    if (handle_ < 0) return;
    ::flock(handle_, LOCK_UN);
    ::close(handle_);
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
