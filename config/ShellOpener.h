// Opens an address with the user's default program for it, through the
// shell. The shell (shell32) and COM (ole32), which the shell needs on the
// calling thread, are loaded on first use, not at start (the clock never
// needs them), and stay until the object goes.
#pragma once

#include <windows.h>

#include "ScopedWin.h"

namespace lumidial {

class TShellOpener {
public:
    TShellOpener() = default;
    ~TShellOpener();
    TShellOpener(const TShellOpener&) = delete;
    TShellOpener& operator=(const TShellOpener&) = delete;

    // Asks the shell to open `address` ("open" verb, shown maximised, owned
    // by `owner`). False only when the shell could not be asked at all; a
    // missing browser is the shell's to report.
    bool Open(HWND owner, const char* address) noexcept;

private:
    // Apartment-threaded, as the shell requires, once per object.
    void InitializeCom() noexcept;

    UniqueLibrary ole_;
    UniqueLibrary shell_;
    bool comInitialized_ = false;
};

}  // namespace lumidial
