// Stand-in for the web browser the shell starts for a web address: it counts
// its starts ("BrowserStarts") and keeps the address it was given
// ("BrowserAddress"), then ends without a window.
#include "DoubleRecord.h"

int main(int argc, char** argv) {
    // Starts that overlap would each read the count before either wrote it.
    HANDLE guard = CreateMutexA(nullptr, FALSE, "LumidialTestBrowser");
    if (guard) WaitForSingleObject(guard, 10000);
    if (HKEY key = doubles::OpenRecordKey()) {
        doubles::WriteDword(key, "BrowserStarts", doubles::ReadDword(key, "BrowserStarts", 0) + 1);
        doubles::WriteString(key, "BrowserAddress", argc > 1 ? argv[argc - 1] : "");
        RegCloseKey(key);
    }
    if (guard) {
        ReleaseMutex(guard);
        CloseHandle(guard);
    }
    return 0;
}
