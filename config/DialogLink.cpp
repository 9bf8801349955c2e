#include "DialogLink.h"

#include "ScopedWin.h"
#include "Trace.h"

#include <algorithm>
#include <cwchar>

namespace lumidial {

namespace {

// The static control's own window procedure, which the link's calls.
constexpr wchar_t kStaticProc[] = L"Lumidial.StaticProc";

// Around the link's text, as the static control places it (top line).
RECT FocusRectangle(HWND link, HDC dc) noexcept {
    RECT client{};
    GetClientRect(link, &client);
    wchar_t text[256] = {};
    GetWindowTextW(link, text, 256);
    SIZE size{};
    {
        ScopedSelect select(dc, reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    }
    const LONG_PTR align = GetWindowLongPtrW(link, GWL_STYLE) & SS_TYPEMASK;
    LONG left = 0;
    if (align == SS_CENTER) left = (client.right - size.cx) / 2;
    if (align == SS_RIGHT) left = client.right - size.cx;
    return RECT{std::max(0L, left - 1), 0, std::min(client.right, left + size.cx + 1),
                std::min(client.bottom, size.cy + 1)};
}

// The static control paints the link into the paint's DC; the focus
// rectangle goes over it, within the same clipping.
void PaintFocused(HWND link, WNDPROC staticProc) noexcept {
    const ScopedPaint paint(link);
    CallWindowProcW(staticProc, link, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(paint.dc()), PRF_CLIENT);
    const RECT around = FocusRectangle(link, paint.dc());
    DrawFocusRect(paint.dc(), &around);
}

// The link's window procedure, around the static control's: a focus
// rectangle while it has the focus and focus rectangles are shown. Without
// the focus it paints as any label does.
LRESULT CALLBACK LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const auto staticProc = reinterpret_cast<WNDPROC>(GetPropW(link, kStaticProc));
    if (!staticProc) return DefWindowProcW(link, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        if (GetFocus() == link && !(SendMessageW(link, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
            PaintFocused(link, staticProc);
            return 0;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
        InvalidateRect(link, nullptr, TRUE);
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(staticProc));
        RemovePropW(link, kStaticProc);
        break;
    default:
        break;
    }
    return CallWindowProcW(staticProc, link, message, wParam, lParam);
}

}  // namespace

void MakeLink(HWND link) noexcept {
    const LONG_PTR staticProc = GetWindowLongPtrW(link, GWLP_WNDPROC);
    if (!SetPropW(link, kStaticProc, reinterpret_cast<HANDLE>(staticProc))) {
        TraceFailure(L"keeping the link's window procedure; it shows no focus rectangle", GetLastError());
        return;
    }
    SetWindowLongPtrW(link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LinkProc));
}

}  // namespace lumidial
