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
    if (modal_) ModalResult = kModalCancel;
    else if (Application && Application->MainForm() == this) Application->Terminate();
}

namespace {

// The owner disabled for the scope; enabled again on every way out, and
// activated in place of the modal window where that was active.
class OwnerDisabled {
public:
    OwnerDisabled(HWND modal, bool& flag) noexcept
        : modal_(modal), owner_(GetWindow(modal, GW_OWNER)), flag_(flag) {
        flag_ = true;
        if (owner_) EnableWindow(owner_, FALSE);
    }
    // Enabled before the modal window hides, so that the activation goes to
    // the owner rather than to another program's window.
    ~OwnerDisabled() {
        flag_ = false;
        const bool active = GetActiveWindow() == modal_;
        if (owner_) EnableWindow(owner_, TRUE);
        if (owner_ && active) SetActiveWindow(owner_);
        ShowWindow(modal_, SW_HIDE);
    }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;

private:
    HWND modal_;
    HWND owner_;
    bool& flag_;
};

}  // namespace

int TForm::ShowModal() {
    ModalResult = 0;
    {
        const OwnerDisabled owner(Handle(), modal_);
        Show();
        Application->RunModal(*this);
    }
    return ModalResult != 0 ? ModalResult : kModalCancel;
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
