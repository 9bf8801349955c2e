// The process entry: the start-up sequence of the saver.
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <memory>

#include "Application.h"
#include "ConfigureFrm.h"
#include "MainFrm.h"
#include "Messages.h"
#include "ScopedWin.h"
#include "ScreenSaverUtils.h"
#include "Trace.h"
#include "Units.h"

using namespace lumidial;

#if defined(__GLIBCXX__)
// GCC's C++ runtime calls this when an error escapes every handler, unless
// the program sets another. The runtime's own version writes the error's
// type and message to standard error, which a window program does not have,
// and brings in the runtime's symbol demangler and the C library's printf
// to do it: about 70 KB of the file. This one ends the program as that
// one does, by std::abort, after writing the message to the debug output,
// where the program's other failures go.
void __gnu_cxx::__verbose_terminate_handler() {
    constexpr wchar_t kWhat[] = L"ending the program on an error nothing handled";
    if (std::current_exception()) {
        try {
            throw;
        } catch (...) {
            TraceCaught(kWhat);
        }
    } else {
        TraceFailure(kWhat);
    }
    std::abort();
}
#endif

namespace {

// Libraries loaded by name (shcore, shell32, ole32; comctl32 comes through
// the manifest) are taken from the system folder only, never from the
// folder the program runs from: a .scr is often started from Downloads,
// where anyone's DLL may lie beside it. Looked up where used, so that a
// system without the function (Windows 7 without its update) still starts;
// such a system has no shcore, and loads shell32 and ole32, known DLLs,
// only from the system folder anyway.
void LoadLibrariesFromTheSystemOnly() noexcept {
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    const auto restrict = ProcAddress<SetDefaultDllDirectoriesProc>(GetModuleHandleW(L"kernel32.dll"),
                                                                    "SetDefaultDllDirectories");
    if (!restrict)
        TraceFailure(L"finding SetDefaultDllDirectories; libraries are searched for as the system does");
    else if (!restrict(LOAD_LIBRARY_SEARCH_SYSTEM32))
        TraceFailure(L"restricting the library search to the system folder", GetLastError());
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LoadLibrariesFromTheSystemOnly();
    TApplication application(instance);
    InitializeUnits();
    ParseCommandLine();
    Randomize();
    application.Initialize();
    application.SetTitle(std::string(msg::kApplicationTitle));
    // The owner window would otherwise earn the program a task-bar button.
    SetWindowLongA(application.Handle(), GWL_EXSTYLE, WS_EX_TOOLWINDOW);

    std::unique_ptr<TForm> mainForm;
    try {
        if (ScreenSaverMode == smConfigure)
            mainForm = std::make_unique<TConfigureForm>();
        else
            mainForm = std::make_unique<TMainForm>();
        application.SetMainForm(mainForm.get());
    } catch (...) {
        ReportEscapedError();
    }

    // Without a main window there is nothing to wait for.
    if (mainForm) application.Run();

    // Windows go first, so that the clock window's destroy handler has put
    // the platform's state back before another copy can take the guard.
    application.SetMainForm(nullptr);
    mainForm.reset();
    FinalizeUnits();
    return 0;
}
