// Stand-in for the platform's screen-saver password prompt, which Wine does
// not have. It answers what the test stored in "VerifyAnswer" (1 when unset)
// and records each call and the window it was given.
#include "DoubleRecord.h"

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    HKEY key = doubles::OpenRecordKey();
    if (!key) return TRUE;
    DWORD calls = doubles::ReadDword(key, "VerifyCalls", 0) + 1;
    doubles::WriteDword(key, "VerifyCalls", calls);
    doubles::WriteDword(key, "VerifyWindow", static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window)));
    // The answer's high bytes are noise on purpose: only the low byte counts.
    DWORD answer = doubles::ReadDword(key, "VerifyAnswer", 1);
    RegCloseKey(key);
    return static_cast<BOOL>(answer);
}
