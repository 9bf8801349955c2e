// The application object: one per process. It owns the hidden top-level
// window that owns every other window of the program, the title, the
// message loop and the default error box.
#pragma once

#include <windows.h>

#include "ScopedWin.h"

#include <exception>
#include <string>
#include <string_view>

namespace lumidial {

class TForm;

class TApplication {
public:
    explicit TApplication(HINSTANCE instance);
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    HINSTANCE Instance() const noexcept { return instance_; }
    HWND Handle() const noexcept { return handle_; }

    // Nothing that every mode needs: the common controls are loaded by the
    // window that uses them (UseCommonControls), so that the clock never
    // maps them.
    void Initialize();

    // Loads the common controls library (version 6, which the manifest
    // asks for) on first use and registers the window classes in `classes`
    // (ICC_ flags). The library stays loaded until the application object
    // goes, after every window. False when it cannot be loaded.
    bool UseCommonControls(DWORD classes) noexcept;

    const std::string& Title() const noexcept { return title_; }
    void SetTitle(std::string title);

    // When off, Run does not show the main window.
    bool ShowMainForm = true;

    TForm* MainForm() const noexcept { return mainForm_; }
    void SetMainForm(TForm* form) noexcept { mainForm_ = form; }

    bool Terminated() const noexcept { return terminated_; }

    // Posts a quit message; whoever retrieves it sets the terminated flag.
    void Terminate() noexcept;

    // Dispatches queued messages until the queue is empty. A quit message
    // is consumed and only sets the terminated flag.
    void ProcessMessages() noexcept;

    // Shows the main window (unless suppressed), then handles messages
    // until the terminated flag is set.
    void Run();

    // Handles messages for the modal `form` (TForm::ShowModal) until it has
    // a ModalResult, its window is gone or the terminated flag is set;
    // meanwhile `form`, not the main window, gets the first look at each.
    void RunModal(TForm& form) noexcept;

    // The default error box for an error that escaped a handler.
    void HandleException(const std::exception& error) noexcept;
    void ShowException(std::string_view message) noexcept;

private:
    bool ProcessMessage() noexcept;
    void HandleMessage() noexcept;

    HINSTANCE instance_ = nullptr;
    HWND handle_ = nullptr;
    std::string title_;
    TForm* mainForm_ = nullptr;
    TForm* modalForm_ = nullptr;  // the innermost modal window, while there is one
    bool terminated_ = false;
    UniqueLibrary commonControls_;
};

// Set for the lifetime of the object created by the process entry.
extern TApplication* Application;

// Seeds the generator from the clock; RandomInt(n) is then uniform in 0..n-1.
void Randomize() noexcept;
int RandomInt(int range) noexcept;

// Ends the process at once; the clean-up given to SetHaltCleanup runs first.
[[noreturn]] void Halt(UINT exitCode = 0) noexcept;
// What Halt runs before the process ends: the clean-up code of the
// program's units, which the process entry owns.
void SetHaltCleanup(void (*cleanup)() noexcept) noexcept;

}  // namespace lumidial
