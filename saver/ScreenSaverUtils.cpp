#include "ScreenSaverUtils.h"

#include "Application.h"
#include "Messages.h"
#include "Registry.h"
#include "ScopedWin.h"
#include "Trace.h"

#include <stdexcept>
#include <string>

namespace lumidial {

TScreenSaverMode ScreenSaverMode = smConfigure;
HWND ParentHandle = nullptr;

namespace {

// The system directory with a closing backslash.
std::string SystemDirectory() {
    char path[MAX_PATH + 1] = {};
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length > MAX_PATH) return {};
    std::string directory(path, length);
    if (directory.back() != '\\') directory += '\\';
    return directory;
}

using VerifyScreenSavePwdProc = BOOL(WINAPI*)(HWND);
using PwdChangePasswordProc = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);

}  // namespace

HWND HandleFromInt32(std::int32_t value) noexcept {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(value));
}

void ParseCommandLine() {
    const char* raw = GetCommandLineA();
    std::vector<std::string> tokens = TokenizeCommandLine(raw ? raw : "");
    std::vector<std::string> arguments;
    if (tokens.size() > 1) arguments.assign(tokens.begin() + 1, tokens.end());
    ParsedCommandLine parsed = ParseArguments(arguments);
    ScreenSaverMode = parsed.mode;
    ParentHandle = HandleFromInt32(parsed.parentHandle);
    if (ScreenSaverMode == smSetPassword) ChangePassword(parsed);
}

bool VerifyPassword(HWND window) noexcept {
    bool result = true;
    try {
        TRegistryKey desktop;
        if (!desktop.OpenForReading("Control Panel\\Desktop")) return true;
        if (!desktop.ValueExists("ScreenSaveUsePassword")) return true;
        std::int32_t usePassword = 0;
        try {
            usePassword = desktop.ReadInteger("ScreenSaveUsePassword");
        } catch (...) {
            // Stored with another type: taken as no password, as if absent.
            TraceCaught(L"reading whether a screen-saver password is set");
            return true;
        }
        if (usePassword == 0) return true;

        HMODULE library = LoadLibraryA((SystemDirectory() + "password.cpl").c_str());
        if (!library) {
            TraceFailure(L"loading the password prompt, password.cpl, so closing is allowed", GetLastError());
            return true;
        }
        const auto verify = ProcAddress<VerifyScreenSavePwdProc>(library, "VerifyScreenSavePwd");
        if (!verify)
            TraceFailure(L"finding VerifyScreenSavePwd in password.cpl, so closing is allowed");
        else if ((static_cast<unsigned>(verify(window)) & 0xFFu) == 0)  // the low byte is the answer
            result = false;
        FreeLibrary(library);
    } catch (...) {
        // The display must not be disturbed; the answer stands as it was.
        TraceCaught(L"asking for the screen-saver password");
    }
    return result;
}

void ChangePassword(const ParsedCommandLine& parsed) noexcept {
    // A copy that found another running has a quit request queued for its
    // message loop; it must not cut the provider's dialog or our error box
    // short, since this mode never reaches that loop.
    MSG pending{};
    PeekMessageW(&pending, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);

    try {
        const std::string library = SystemDirectory() + "MPR.DLL";
        UniqueLibrary mpr(LoadLibraryA(library.c_str()));
        try {
            if (!mpr) throw std::runtime_error(FormatWithValue(msg::kProviderNotLoaded, library));
            const auto change = ProcAddress<PwdChangePasswordProc>(mpr.get(), "PwdChangePasswordA");
            if (!change) throw std::runtime_error(FormatWithValue(msg::kProviderWithoutEntry, library));
            PasswordOwner owner = ResolvePasswordOwner(parsed);
            if (!owner.owner) throw std::runtime_error(owner.error);
            change("SCRSAVE", HandleFromInt32(*owner.owner), 0, 0);
        } catch (const std::exception& error) {
            mpr.reset();
            // A stale owner handle would make the box fail unseen.
            HWND owner = IsWindow(ParentHandle) ? ParentHandle : nullptr;
            MessageBoxA(owner, error.what(), msg::kPasswordChangeCaption.data(), MB_OK | MB_ICONERROR);
        }
    } catch (...) {
        TraceCaught(L"handing the password change to the provider");
    }
    Halt(0);
}

}  // namespace lumidial
