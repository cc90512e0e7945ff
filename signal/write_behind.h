// Writes blocks of an output file on a second thread while the operation
// computes the next window, so that the copy into the file system overlaps
// the computing.  One block is in flight at a time: start() hands one over,
// wait() returns once it is in the file.  The thread starts with the first
// block and stops when the writer is destroyed; nothing else of the engine
// runs on it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

namespace qf {

class WriteBehind {
  public:
    WriteBehind() = default;
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Hands over a block: `bytes` bytes from `data` go to byte `offset` of
    // the stream's file.  The data must stay as it is until wait() returns.
    // The block before must have been waited for.
    void start(std::FILE* f, int64_t offset, const char* data, std::size_t bytes);
    // Waits until no block is in flight; false when a block could not be
    // written (error() says why; it stays set).
    bool wait();
    // 0, or the error number of the first block that failed.
    int error() const { return error_; }

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    bool busy_ = false;  // a block is in flight
    bool stop_ = false;
    int error_ = 0;
    std::FILE* file_ = nullptr;
    int64_t offset_ = 0;
    const char* data_ = nullptr;
    std::size_t bytes_ = 0;
};

}  // namespace qf
