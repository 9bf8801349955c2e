// What screen readers are told about a dialog's controls beyond what the
// system's own accessibility proxies say: a control's role (the web address
// is a link, not text) and its description (its tool tip), set by the
// platform's direct annotation (IAccPropServices::SetHwndProp and
// SetHwndPropStr, oleacc). COM (ole32) is initialised for the object's
// lifetime on the dialog's thread and loaded when the object is made, not at
// start, so that the clock and the preview never load it; oleacc comes with
// the annotation service. The notes are cleared again before the controls
// go. Without the service the dialog works on, its controls as the proxies
// describe them.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "ScopedWin.h"

struct IAccPropServices;

namespace lumidial {

class TScreenReaderNotes {
public:
    TScreenReaderNotes() noexcept;
    ~TScreenReaderNotes();
    TScreenReaderNotes(const TScreenReaderNotes&) = delete;
    TScreenReaderNotes& operator=(const TScreenReaderNotes&) = delete;

    // `control`'s role, one of the ROLE_SYSTEM_ values.
    void SetRole(HWND control, long role) noexcept;
    void SetDescription(HWND control, const wchar_t* description) noexcept;

private:
    struct Releaser {
        void operator()(IAccPropServices* services) const noexcept;
    };
    // Keeps `control` to clear its notes; a failure is traced once, and no
    // more notes are set after it.
    void Noted(HWND control, long status, const wchar_t* what) noexcept;

    UniqueLibrary ole_;
    bool comInitialized_ = false;
    std::unique_ptr<IAccPropServices, Releaser> services_;
    std::vector<HWND> annotated_;
    bool failed_ = false;
};

}  // namespace lumidial
