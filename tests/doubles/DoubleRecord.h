// Where the test doubles of the platform's password libraries take their
// answers from and record their calls: a registry key the tests own.
#pragma once

#include <windows.h>

namespace doubles {

inline constexpr char kRecordKey[] = "Software\\Lumidial Tests\\Doubles";

inline HKEY OpenRecordKey() {
    HKEY key = nullptr;
    return RegCreateKeyExA(HKEY_CURRENT_USER, kRecordKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
                   ERROR_SUCCESS ? key : nullptr;
}

inline DWORD ReadDword(HKEY key, const char* name, DWORD fallback) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS || type != REG_DWORD)
        return fallback;
    return value;
}

inline void WriteDword(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

inline void WriteString(HKEY key, const char* name, const char* text) {
    if (!text) text = "";
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(lstrlenA(text) + 1));
}

}  // namespace doubles
