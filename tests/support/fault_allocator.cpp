// The test program's operator new and delete: malloc and free, except that
// an allocation the injected-fault switch marks (platform/faults.h) fails
// with std::bad_alloc, or with null for the nothrow forms.  Disarmed, this
// is the ordinary allocator; the sanitizers still see every block, since
// they watch malloc and free.
#include <cstdlib>
#include <new>

#include "platform/faults.h"

namespace {

void* allocateOrNull(std::size_t bytes) noexcept {
    if (qf::platform::failsNow(qf::platform::Fault::Allocation)) return nullptr;
    return std::malloc(bytes > 0 ? bytes : 1);
}

void* allocateOrThrow(std::size_t bytes) {
    void* p = allocateOrNull(bytes);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t bytes) {
    return allocateOrThrow(bytes);
}
void* operator new[](std::size_t bytes) {
    return allocateOrThrow(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return allocateOrNull(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return allocateOrNull(bytes);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
