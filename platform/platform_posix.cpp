#include <dlfcn.h>
#include <link.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <string>

#include "platform/platform.h"

namespace qf::platform {

namespace {

// A module name as the host gives it, compared the way module handles are
// looked up by name elsewhere: the last path component, letters in either
// case, and the extension optional ("QF.EXE" names a program called qf).
std::string moduleKey(const std::string& path) {
    std::string base = path.substr(path.rfind('/') + 1);
    for (char& c : base) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return base;
}
bool sameModule(const std::string& loaded, const std::string& wanted) {
    if (loaded.empty()) return false;
    if (loaded == wanted) return true;
    auto stem = [](const std::string& s) { return s.substr(0, s.find('.')); };
    return stem(loaded) == stem(wanted);
}

struct ModuleSearch {
    std::string wanted;
    std::string found;  // path of the loaded object that matched
};

int visitModule(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<ModuleSearch*>(data);
    if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') return 0;
    if (!sameModule(moduleKey(info->dlpi_name), search->wanted)) return 0;
    search->found = info->dlpi_name;
    return 1;
}

std::string programPath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    buf[n] = '\0';
    return buf;
}

}  // namespace

void* findLoadedModule(const char* name) {
    if (name == nullptr || name[0] == '\0') return dlopen(nullptr, RTLD_LAZY);
    if (void* h = dlopen(name, RTLD_LAZY | RTLD_NOLOAD)) return h;
    const std::string wanted = moduleKey(name);
    if (sameModule(moduleKey(programPath()), wanted)) return dlopen(nullptr, RTLD_LAZY);
    ModuleSearch search{wanted, ""};
    dl_iterate_phdr(visitModule, &search);
    if (search.found.empty()) return nullptr;
    return dlopen(search.found.c_str(), RTLD_LAZY | RTLD_NOLOAD);
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

namespace {
WindowManager g_windows;

template <typename F>
void bindOne(void* module, F& slot, const char* name) {
    slot = reinterpret_cast<F>(findSymbol(module, name));
}
}  // namespace

const WindowManager& windowManager() {
    return g_windows;
}

void bindWindowManager(void* module) {
    WindowManager w;
    bindOne(module, w.isMinimised, "qfGraphWindowMinimised");
    bindOne(module, w.clientArea, "qfGraphClientArea");
    bindOne(module, w.arrangeIconic, "qfArrangeIconicGraphWindows");
    bindOne(module, w.iconHeight, "qfIconHeight");
    bindOne(module, w.move, "qfMoveGraphWindow");
    bindOne(module, w.invalidateClient, "qfInvalidateGraphClient");
    bindOne(module, w.tile, "qfTileGraphWindows");
    g_windows = w;
}

uint32_t tickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

}  // namespace qf::platform
