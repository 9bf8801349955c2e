#include "Dpi.h"

#include "ScopedWin.h"

namespace lumidial {

int WindowDpi(HWND window) noexcept {
    using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
        auto proc = reinterpret_cast<GetDpiForWindowProc>(
            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
        if (proc) {
            if (UINT dpi = proc(window)) return static_cast<int>(dpi);
        }
    }
    ScopedGetDC screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace lumidial
