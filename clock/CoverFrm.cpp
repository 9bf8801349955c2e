#include "CoverFrm.h"

#include <windowsx.h>

namespace lumidial {

TCoverForm::TCoverForm(HWND owner, const ScreenRect& monitor) {
    WNDCLASSEXW wc{};
    wc.hCursor = nullptr;  // no pointer over the saver
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    // A tool window owned by the program's hidden window: no task-bar button
    // and no place in Alt+Tab.
    CreateHandle(L"TCoverForm", wc, WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, WS_POPUP,
                 L"", monitor.left, monitor.top, monitor.right - monitor.left,
                 monitor.bottom - monitor.top, owner);
}

void TCoverForm::Cover(const ScreenRect& monitor, HWND above) noexcept {
    SetWindowPos(Handle(), above ? above : HWND_TOPMOST, monitor.left, monitor.top,
                 monitor.right - monitor.left, monitor.bottom - monitor.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

LRESULT TCoverForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        if (Events.onMouseMove) Events.onMouseMove(Handle(), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        // As everywhere in the saver: the left button's release ends any
        // mouse capture.
        ReleaseCapture();
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (Events.onKeyDown) Events.onKeyDown();
        return 0;
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
        return 0;  // no menu mode
    case WM_DPICHANGED:
        return 0;  // the monitor's pixels, whatever its density
    case WM_CLOSE:
        return 0;  // goes with the clock window, never alone
    default:
        break;
    }
    return DefaultHandler(message, wParam, lParam);
}

}  // namespace lumidial
