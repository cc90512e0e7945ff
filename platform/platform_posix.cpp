#include <dlfcn.h>
#include <time.h>

#include "platform/platform.h"

namespace qf::platform {

void* findLoadedModule(const char* name) {
    if (name == nullptr || name[0] == '\0') return dlopen(nullptr, RTLD_LAZY);
    void* h = dlopen(name, RTLD_LAZY | RTLD_NOLOAD);
    return h;
}

void* findSymbol(void* module, const char* name) {
    if (module == nullptr) return nullptr;
    return dlsym(module, name);
}

namespace {
KeyStateSource g_keySource = nullptr;
}

int16_t asyncKeyState(int virtualKey) {
    return g_keySource ? g_keySource(virtualKey) : 0;
}

void setKeyStateSource(KeyStateSource source) {
    g_keySource = source;
}

uint32_t tickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

}  // namespace qf::platform
