#include "Dpi.h"

#include "ScopedWin.h"
#include "Trace.h"

namespace lumidial {

namespace {

// user32's functions of Windows 10 1607 and later, looked up where used so
// that older systems still start the program.
template <typename Proc>
Proc User32Proc(const char* name) noexcept {
    return ProcAddress<Proc>(GetModuleHandleW(L"user32.dll"), name);
}

int ScreenDpi() noexcept {
    ScopedGetDC screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

int WindowDpi(HWND window) noexcept {
    if (auto proc = User32Proc<UINT(WINAPI*)(HWND)>("GetDpiForWindow")) {
        if (UINT dpi = proc(window)) return static_cast<int>(dpi);
    }
    return ScreenDpi();
}

// Windows answers GetDpiForWindow with the monitor's density for a window
// of a program aware of each monitor's; Wine answers 96 for every other
// process's window, so such a window is asked for its monitor instead.
int ForeignWindowDpi(HWND window) noexcept {
    using ContextProc = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);
    using AwarenessProc = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
    auto context = User32Proc<ContextProc>("GetWindowDpiAwarenessContext");
    auto awareness = User32Proc<AwarenessProc>("GetAwarenessFromDpiAwarenessContext");
    if (context && awareness && awareness(context(window)) == DPI_AWARENESS_PER_MONITOR_AWARE)
        return TMonitorDensity().Of(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    return WindowDpi(window);
}

// Loaded only when asked for.
TMonitorDensity::TMonitorDensity() noexcept : shcore_(LoadLibraryW(L"shcore.dll")) {
    proc_ = ProcAddress<GetDpiForMonitorProc>(shcore_.get(), "GetDpiForMonitor");
    if (!proc_) TraceFailure(L"finding GetDpiForMonitor in shcore.dll; the screen's density stands in", GetLastError());
}

int TMonitorDensity::Of(HMONITOR monitor) const noexcept {
    if (!proc_) return ScreenDpi();
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    UINT x = 0, y = 0;
    if (const HRESULT status = proc_(monitor, kEffectiveDpi, &x, &y); FAILED(status) || y == 0) {
        TraceFailure(L"reading a monitor's density; the screen's stands in", DWORD(status));
        return ScreenDpi();
    }
    return static_cast<int>(y);
}

}  // namespace lumidial
