#include "Form.h"

#include "Application.h"
#include "Messages.h"

#include <exception>
#include <stdexcept>

namespace lumidial {

void ReportEscapedError() noexcept {
    try {
        throw;
    } catch (const std::exception& error) {
        if (Application) Application->HandleException(error);
    } catch (...) {
        if (Application) Application->ShowException(msg::kUnexpectedError);
    }
}

// Derived windows destroy their handle in their own destructor, while their
// handlers still exist; by now only an unhandled destruction is left.
TWindow::~TWindow() {
    if (handle_ && IsWindow(handle_)) {
        SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
        DestroyWindow(handle_);
    }
    handle_ = nullptr;
}

void TWindow::DestroyHandle() noexcept {
    if (handle_ && IsWindow(handle_)) DestroyWindow(handle_);
    handle_ = nullptr;
}

void TForm::Close() {
    if (!CloseQuery()) return;
    if (Application && Application->MainForm() == this) Application->Terminate();
}

void TWindow::CreateHandle(const wchar_t* className, const WNDCLASSEXW& prototype, DWORD exStyle,
                         DWORD style, const wchar_t* caption, int left, int top, int width,
                         int height, HWND parent, HMENU id) {
    HINSTANCE instance = Application->Instance();
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(instance, className, &existing)) {
        WNDCLASSEXW wc = prototype;
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &TWindow::WindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = className;
        if (!RegisterClassExW(&wc)) throw std::runtime_error(msg::kFailedToRegisterClass.data());
    }
    HWND window = CreateWindowExW(exStyle, className, caption, style, left, top, width, height,
                                  parent, id, instance, this);
    if (!window) throw std::runtime_error(msg::kFailedToCreateWindow.data());
}

LRESULT TWindow::DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return DefWindowProcW(handle_, message, wParam, lParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) noexcept {
    TWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<TWindow*>(create->lpCreateParams);
        self->handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(window, message, wParam, lParam);

    LRESULT result = 0;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        ReportEscapedError();
        result = 0;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->handle_ = nullptr;
    }
    return result;
}

}  // namespace lumidial
