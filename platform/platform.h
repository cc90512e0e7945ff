// Operating-system services the engine uses, behind one small layer so the
// rest of the engine includes no OS headers.
#pragma once

#include <cstdint>

namespace qf::platform {

// Handle of an already loaded module (null or "" = the main program), or
// null when no such module is loaded.  Never loads a module.  A name that
// the loader does not know is matched against the loaded modules and the
// program by its last path component, in either case and with or without
// its extension ("QF.EXE" finds a program called qf).
void* findLoadedModule(const char* name);
// Address of an exported symbol of a module, or null.
void* findSymbol(void* module, const char* name);

// Virtual key codes the engine asks about.
constexpr int kKeyEscape = 0x1B;
constexpr int kKeyControl = 0x11;
// Like GetAsyncKeyState: negative while the key is down.  Hosts without a
// keyboard answer "not pressed" unless a key-state source is installed.
int16_t asyncKeyState(int virtualKey);
using KeyStateSource = int16_t (*)(int virtualKey);
void setKeyStateSource(KeyStateSource source);

// Milliseconds since some fixed point, wrapping like GetTickCount.
uint32_t tickCount();

// What tiling the host's graph windows needs of the window system (the MDI
// client and its children on Windows).  A service the host does not offer
// is null; tiling then leaves the windows alone.
struct WindowManager {
    int32_t (*isMinimised)(void* window) = nullptr;                    // nonzero: minimised
    int32_t (*clientArea)(int32_t* width, int32_t* height) = nullptr;  // 0: known
    int32_t (*arrangeIconic)() = nullptr;  // lines up minimised windows; nonzero if any
    int32_t (*iconHeight)() = nullptr;     // height of a minimised window's icon
    int32_t (*move)(void* window, int32_t x, int32_t y, int32_t width, int32_t height) = nullptr;
    int32_t (*invalidateClient)() = nullptr;  // the client area is to be repainted
    int32_t (*tile)() = nullptr;              // the window system's own tiling
};
const WindowManager& windowManager();
// Binds the window services from the host module (on POSIX, the host's
// optional qf... exports of include/quillfen/quillfen.h).
void bindWindowManager(void* module);

}  // namespace qf::platform
