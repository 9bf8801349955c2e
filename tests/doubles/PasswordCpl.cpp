// Stand-in for the platform's screen-saver password prompt, which Wine does
// not have. It answers what the test stored in "VerifyAnswer" (1 when unset)
// and records each call and the window it was given. With "PromptHold" set
// it first shows a prompt, as the platform's does, and holds it open until
// the test closes it.
#include "DoubleRecord.h"

#include <iterator>

namespace {

// A modal dialog box owned by the saver's window and centred on the pointer;
// it ends when it is told to close.
void HoldPrompt(HWND owner) {
    // The template: no controls, no menu, the default class, a caption.
    static constexpr wchar_t kCaption[] = L"Lumidial Test Password";
    alignas(4) WORD words[sizeof(DLGTEMPLATE) / sizeof(WORD) + 2 + std::size(kCaption)] = {};
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words);
    dialog->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
    dialog->cx = 160;
    dialog->cy = 60;
    WORD* caption = words + sizeof(DLGTEMPLATE) / sizeof(WORD) + 2;
    for (wchar_t c : kCaption) *caption++ = c;
    DialogBoxIndirectParamW(nullptr, dialog, owner,
                            [](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
                                if (message == WM_INITDIALOG) {
                                    POINT pointer{};
                                    RECT rect{};
                                    GetCursorPos(&pointer);
                                    GetWindowRect(window, &rect);
                                    SetWindowPos(window, nullptr, pointer.x - (rect.right - rect.left) / 2,
                                                 pointer.y - (rect.bottom - rect.top) / 2, 0, 0,
                                                 SWP_NOSIZE | SWP_NOZORDER);
                                    return TRUE;
                                }
                                if (message == WM_CLOSE) return EndDialog(window, 0);
                                return FALSE;
                            },
                            0);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    HKEY key = doubles::OpenRecordKey();
    if (!key) return TRUE;
    doubles::WriteDword(key, "VerifyCalls", doubles::ReadDword(key, "VerifyCalls", 0) + 1);
    doubles::WriteDword(key, "VerifyWindow", static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window)));
    // The answer's high bytes are noise on purpose: only the low byte counts.
    const DWORD answer = doubles::ReadDword(key, "VerifyAnswer", 1);
    const bool hold = doubles::ReadDword(key, "PromptHold", 0) != 0;
    RegCloseKey(key);
    if (hold) HoldPrompt(window);
    return static_cast<BOOL>(answer);
}
