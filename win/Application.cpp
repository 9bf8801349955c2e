#include "Application.h"

#include "Form.h"
#include "Messages.h"
#include "Trace.h"

#include <commctrl.h>

#include <random>
#include <vector>

namespace lumidial {

TApplication* Application = nullptr;

namespace {

const wchar_t kOwnerClass[] = L"TApplication";

LRESULT CALLBACK OwnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return DefWindowProcW(window, message, wParam, lParam);
}

// Disables this thread's other top-level windows while a modal box shows,
// and re-enables exactly those it disabled.
class TaskWindowsDisabled {
public:
    explicit TaskWindowsDisabled(HWND keepEnabled) noexcept : keep_(keepEnabled) {
        EnumThreadWindows(GetCurrentThreadId(), &TaskWindowsDisabled::Visit,
                          reinterpret_cast<LPARAM>(this));
        for (HWND window : disabled_) EnableWindow(window, FALSE);
    }
    ~TaskWindowsDisabled() {
        for (HWND window : disabled_)
            if (IsWindow(window)) EnableWindow(window, TRUE);
    }
    TaskWindowsDisabled(const TaskWindowsDisabled&) = delete;
    TaskWindowsDisabled& operator=(const TaskWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK Visit(HWND window, LPARAM context) noexcept {
        auto* self = reinterpret_cast<TaskWindowsDisabled*>(context);
        if (window != self->keep_ && IsWindowVisible(window) && IsWindowEnabled(window)) {
            try {
                self->disabled_.push_back(window);
            } catch (...) {
                TraceCaught(L"listing the windows to disable behind an error box");
                return FALSE;
            }
        }
        return TRUE;
    }

    HWND keep_ = nullptr;
    std::vector<HWND> disabled_;
};

void (*haltCleanup)() noexcept = nullptr;

std::minstd_rand& Generator() noexcept {
    static std::minstd_rand generator;
    return generator;
}

}  // namespace

TApplication::TApplication(HINSTANCE instance) : instance_(instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &OwnerWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kOwnerClass;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    RegisterClassExW(&wc);
    // Never shown: it only owns the program's windows and message boxes.
    handle_ = CreateWindowExW(0, kOwnerClass, L"", WS_POPUP | WS_CAPTION | WS_SYSMENU |
                              WS_MINIMIZEBOX | WS_CLIPSIBLINGS,
                              0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    Application = this;
}

TApplication::~TApplication() {
    if (handle_) DestroyWindow(handle_);
    if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {}

bool TApplication::UseCommonControls(DWORD classes) noexcept {
    if (!commonControls_) commonControls_.reset(LoadLibraryW(L"comctl32.dll"));
    using InitProc = decltype(&InitCommonControlsEx);
    const auto init = ProcAddress<InitProc>(commonControls_.get(), "InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = classes;
    return init && init(&controls);
}

void TApplication::SetTitle(std::string title) {
    title_ = std::move(title);
    if (handle_) SetWindowTextA(handle_, title_.c_str());
}

void TApplication::Terminate() noexcept { PostQuitMessage(0); }

bool TApplication::ProcessMessage() noexcept {
    MSG message{};
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    if (message.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    bool taken = false;
    if (TForm* first = modalForm_ ? modalForm_ : mainForm_) {
        try {
            taken = first->PreTranslateMessage(message);
        } catch (...) {
            ReportEscapedError();
            taken = true;
        }
    }
    if (!taken) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

void TApplication::ProcessMessages() noexcept {
    while (ProcessMessage()) {
    }
}

void TApplication::HandleMessage() noexcept {
    if (!ProcessMessage()) WaitMessage();
}

void TApplication::Run() {
    if (ShowMainForm && mainForm_) {
        try {
            mainForm_->Show();
        } catch (...) {
            ReportEscapedError();
        }
    }
    do {
        HandleMessage();
    } while (!terminated_);
}

void TApplication::RunModal(TForm& form) noexcept {
    TForm* const outer = modalForm_;
    modalForm_ = &form;
    while (!terminated_ && form.ModalResult == 0 && IsWindow(form.Handle())) HandleMessage();
    modalForm_ = outer;
}

void TApplication::HandleException(const std::exception& error) noexcept {
    ShowException(error.what());
}

void TApplication::ShowException(std::string_view message) noexcept {
    try {
        if (HWND captured = GetCapture()) SendMessageW(captured, WM_CANCELMODE, 0, 0);
        std::string text = WithFullStop(std::string(message));
        TaskWindowsDisabled disabled(handle_);
        MessageBoxA(handle_, text.c_str(), title_.c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        TraceCaught(L"showing an error box");
    }
}

void Randomize() noexcept {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    Generator().seed(static_cast<std::uint_fast32_t>(counter.QuadPart ^ GetTickCount64()) | 1u);
}

int RandomInt(int range) noexcept {
    if (range <= 0) return 0;
    std::uniform_int_distribution<int> distribution(0, range - 1);
    return distribution(Generator());
}

void SetHaltCleanup(void (*cleanup)() noexcept) noexcept { haltCleanup = cleanup; }

void Halt(UINT exitCode) noexcept {
    if (haltCleanup) haltCleanup();
    ExitProcess(exitCode);
}

}  // namespace lumidial
