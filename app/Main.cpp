// The process entry: the start-up sequence of the saver.
#include <windows.h>

#include <memory>

#include "Application.h"
#include "ConfigureFrm.h"
#include "MainFrm.h"
#include "Messages.h"
#include "ScreenSaverUtils.h"
#include "Units.h"

using namespace lumidial;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
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
