// Base of the program's windows. The window procedure is a static
// noexcept thunk: it finds the object stored at WM_NCCREATE and hands the
// message to HandleMessage; an error escaping a handler ends in the
// application's default error box and never crosses into the system.
#pragma once

#include <windows.h>

namespace lumidial {

// Any window of ours, top-level or child.
class TWindow {
public:
    TWindow() = default;
    virtual ~TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const noexcept { return handle_; }

    // Destroys the window now; its destroy handler runs.
    void DestroyHandle() noexcept;

protected:
    // Registers the class once and creates the window; `this` is bound at
    // WM_NCCREATE.
    void CreateHandle(const wchar_t* className, const WNDCLASSEXW& prototype, DWORD exStyle,
                      DWORD style, const wchar_t* caption, int left, int top, int width,
                      int height, HWND parent, HMENU id = nullptr);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // Runs a handler, sending an escaping error to the default error box.
    template <typename Handler>
    static void Guarded(Handler&& handler) noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;

    HWND handle_ = nullptr;
};

class TForm : public TWindow {
public:

    // How the run loop shows this window.
    virtual void Show() = 0;

    // A chance to take a queued message before it is dispatched (keyboard
    // navigation between controls); true when taken.
    virtual bool PreTranslateMessage(MSG& message) { (void)message; return false; }

    // The close request: runs the close query and, when it allows, ends a
    // modal window's ShowModal with kModalCancel or, for the main window,
    // the application. The window itself stays until its owner destroys it
    // or the process ends.
    void Close();

    // Shows the window modal to its owner: the owner is disabled while the
    // application handles messages for this window (which gets the first
    // look at each, PreTranslateMessage) until ModalResult is set, by a
    // handler or by Close, or the application ends. Then the owner is
    // enabled and, when this window was active, activated, and this window
    // hidden. Returns ModalResult; kModalCancel if the application ended.
    int ShowModal();
    static constexpr int kModalOk = 1, kModalCancel = 2;
    int ModalResult = 0;

protected:
    // Allows closing unless overridden.
    virtual bool CloseQuery() { return true; }

private:
    bool modal_ = false;
};

void ReportEscapedError() noexcept;

template <typename Handler>
void TWindow::Guarded(Handler&& handler) noexcept {
    try {
        handler();
    } catch (...) {
        ReportEscapedError();
    }
}

}  // namespace lumidial
