// Small owners for Win32 handles and paired calls. Every type here releases
// what it holds on every path out of its scope; none can be copied. Also the
// lookup of a library's function by name.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace lumidial {

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const noexcept { if (object) DeleteObject(object); }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;

struct MemoryDcDeleter {
    void operator()(HDC dc) const noexcept { if (dc) DeleteDC(dc); }
};
using UniqueMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;

struct RegKeyDeleter {
    void operator()(HKEY key) const noexcept { if (key) RegCloseKey(key); }
};
using UniqueRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegKeyDeleter>;

struct LibraryDeleter {
    void operator()(HMODULE module) const noexcept { if (module) FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter>;

// The function `name` of `library` as a `Proc`; nullptr when the library is
// none or has no such function (an older system's, for functions of newer
// ones, which are looked up where used so that older systems still start).
template <typename Proc>
Proc ProcAddress(HMODULE library, const char* name) noexcept {
    return library ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

struct KernelHandleDeleter {
    void operator()(HANDLE handle) const noexcept { if (handle) CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, KernelHandleDeleter>;

struct WindowDeleter {
    void operator()(HWND window) const noexcept { if (window && IsWindow(window)) DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

// GetDC / ReleaseDC.
class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~ScopedGetDC() { if (dc_) ReleaseDC(window_, dc_); }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// BeginPaint / EndPaint.
class ScopedPaint {
public:
    explicit ScopedPaint(HWND window) noexcept : window_(window) { dc_ = BeginPaint(window_, &ps_); }
    ~ScopedPaint() { EndPaint(window_, &ps_); }
    ScopedPaint(const ScopedPaint&) = delete;
    ScopedPaint& operator=(const ScopedPaint&) = delete;
    HDC dc() const noexcept { return dc_; }
    const PAINTSTRUCT& info() const noexcept { return ps_; }

private:
    HWND window_ = nullptr;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// SelectObject, restored on scope exit.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelect() { if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace lumidial
