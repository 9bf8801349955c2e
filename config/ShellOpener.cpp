#include "ShellOpener.h"

#include "Trace.h"

#include <objbase.h>
#include <shellapi.h>

namespace lumidial {

TShellOpener::~TShellOpener() {
    if (!comInitialized_) return;
    if (const auto uninitialize = ProcAddress<decltype(&CoUninitialize)>(ole_.get(), "CoUninitialize"))
        uninitialize();
}

void TShellOpener::InitializeCom() noexcept {
    if (ole_) return;
    ole_.reset(LoadLibraryW(L"ole32.dll"));
    const auto initialize = ProcAddress<decltype(&CoInitializeEx)>(ole_.get(), "CoInitializeEx");
    if (!initialize) {
        TraceFailure(L"loading COM (ole32.dll)", GetLastError());
        return;
    }
    // A thread already in another apartment (RPC_E_CHANGED_MODE) still lets
    // the shell try.
    const HRESULT status = initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    comInitialized_ = SUCCEEDED(status);
    if (!comInitialized_) TraceFailure(L"initialising COM for the shell", DWORD(status));
}

bool TShellOpener::Open(HWND owner, const char* address) noexcept {
    InitializeCom();
    if (!shell_) shell_.reset(LoadLibraryW(L"shell32.dll"));
    const auto open = ProcAddress<decltype(&ShellExecuteA)>(shell_.get(), "ShellExecuteA");
    if (!open) {
        TraceFailure(L"loading the shell (shell32.dll)", GetLastError());
        return false;
    }
    // Above 32 when the shell started something; else an error code.
    const auto started = reinterpret_cast<INT_PTR>(open(owner, "open", address, nullptr, nullptr, SW_SHOWMAXIMIZED));
    if (started <= 32) TraceFailure(L"starting the web browser", DWORD(started));
    return true;
}

}  // namespace lumidial
