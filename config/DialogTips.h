// A dialog's tool tips: one tips window, owned by the dialog but top-level,
// with a tool for each control of its layout that has a hint, shown as the
// pointer rests on the control, and one the keyboard's focus shows below a
// control. Tips are a help, not a must: without the tips window the dialog
// works on.
#pragma once

#include <windows.h>

#include "DialogLayout.h"
#include "ScopedWin.h"

namespace lumidial {

class TDialogTips {
public:
    // For the controls of `layout` made in `form` so far.
    TDialogTips(HWND form, const cfg::DialogLayout& layout) noexcept;

    // `hint` below `control`, until Hide or the tips' usual time passes.
    void ShowBelow(HWND control, const wchar_t* hint) noexcept;
    void Hide() noexcept;

private:
    HWND form_ = nullptr;
    // Destroyed before the dialog, which owns it.
    UniqueWindow window_;
};

}  // namespace lumidial
