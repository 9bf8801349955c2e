// A DLL planted beside the saver under the name of a system library it
// loads (a .scr run from a downloads folder): it records its own path when
// it is loaded. The saver must never load it.
#include "DoubleRecord.h"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(self, path, MAX_PATH);
    if (HKEY key = doubles::OpenRecordKey()) {
        doubles::WriteString(key, "PlantedLoaded", path);
        RegCloseKey(key);
    }
    return TRUE;
}
