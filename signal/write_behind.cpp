// The output writer's thread (see write_behind.h).
#include "signal/write_behind.h"

#include "platform/fs.h"

namespace qf {

WriteBehind::~WriteBehind() {
    if (!thread_.joinable()) return;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void WriteBehind::start(std::FILE* f, int64_t offset, const char* data, std::size_t bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        file_ = f;
        offset_ = offset;
        data_ = data;
        bytes_ = bytes;
        busy_ = true;
    }
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
    else
        changed_.notify_all();
}

bool WriteBehind::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    return error_ == 0;
}

void WriteBehind::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || stop_; });
        if (busy_) {
            std::FILE* f = file_;
            const int64_t offset = offset_;
            const char* data = data_;
            const std::size_t bytes = bytes_;
            const bool skip = error_ != 0;  // after a failure nothing more is written
            lock.unlock();
            const int r = skip ? 0 : platform::writeAt(f, offset, data, bytes);
            lock.lock();
            if (r != 0 && error_ == 0) error_ = r;
            busy_ = false;
            changed_.notify_all();
        } else if (stop_) {
            return;
        }
    }
}

}  // namespace qf
