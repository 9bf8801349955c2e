// Stand-in for the platform's password provider library. It records the
// arguments of each password-change call.
#include "DoubleRecord.h"

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1,
                                          DWORD reserved2) {
    HKEY key = doubles::OpenRecordKey();
    if (!key) return 0;
    doubles::WriteDword(key, "ChangeCalls", doubles::ReadDword(key, "ChangeCalls", 0) + 1);
    doubles::WriteString(key, "ChangeProvider", provider);
    doubles::WriteDword(key, "ChangeOwner", static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(owner)));
    doubles::WriteDword(key, "ChangeReserved1", reserved1);
    doubles::WriteDword(key, "ChangeReserved2", reserved2);
    RegCloseKey(key);
    return 0;
}
