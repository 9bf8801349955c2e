#include "Controls.h"

#include "ScopedWin.h"

#include <windowsx.h>

namespace lumidial {

namespace {

WNDCLASSEXW ChildClass() {
    WNDCLASSEXW wc{};
    wc.style = 0;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = nullptr;  // painted by the control, never erased first
    return wc;
}

RECT ClientRect(HWND window) noexcept {
    RECT rect{};
    GetClientRect(window, &rect);
    return rect;
}

RECT BoundsInParent(HWND window) noexcept {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

void TControl::CreateChild(const wchar_t* className, HWND parent, int left, int top, int width,
                           int height, bool visible) {
    DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0);
    CreateHandle(className, ChildClass(), 0, style, L"", left, top, width, height, parent);
}

void TControl::SetBounds(int left, int top, int width, int height) noexcept {
    SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::SetLeft(int left) noexcept {
    SetWindowPos(Handle(), nullptr, left, Top(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TControl::Left() const noexcept { return BoundsInParent(Handle()).left; }
int TControl::Top() const noexcept { return BoundsInParent(Handle()).top; }
int TControl::Width() const noexcept { return ClientRect(Handle()).right; }
int TControl::Height() const noexcept { return ClientRect(Handle()).bottom; }

bool TControl::Visible() const noexcept {
    return (GetWindowLongW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
}

void TControl::SetVisible(bool visible) noexcept {
    if (Visible() != visible) ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

void TControl::Repaint() noexcept {
    InvalidateRect(Handle(), nullptr, FALSE);
    UpdateWindow(Handle());
}

LRESULT TControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        ScopedPaint paint(Handle());
        Paint(paint.dc());
        return 0;
    }
    case WM_SETCURSOR:
        if (cursorNone_ && LOWORD(lParam) == HTCLIENT) {
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        if (Events.onMouseMove) Events.onMouseMove(Handle(), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        // Releasing the left button ends any mouse capture, wherever it lies.
        ReleaseCapture();
        return 0;
    default:
        break;
    }
    return DefaultHandler(message, wParam, lParam);
}

TPanel::TPanel(HWND parent, int left, int top, int width, int height, bool visible) {
    CreateChild(L"TPanel", parent, left, top, width, height, visible);
}

void TPanel::Paint(HDC dc) {
    RECT rect = ClientRect(Handle());
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

TImage::TImage(HWND parent, int left, int top, int width, int height, bool visible) {
    CreateChild(L"TImage", parent, left, top, width, height, visible);
}

void TImage::SetBitmap(HBITMAP bitmap) noexcept {
    bitmap_ = bitmap;
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TImage::Paint(HDC dc) {
    RECT rect = ClientRect(Handle());
    if (!bitmap_) {
        FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        return;
    }
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    if (!source) return;
    ScopedSelect select(source.get(), bitmap_);
    BitBlt(dc, 0, 0, rect.right, rect.bottom, source.get(), 0, 0, SRCCOPY);
}

}  // namespace lumidial
