// A provider library that lacks the password-change entry point.
#include <windows.h>

extern "C" DWORD WINAPI WNetUnrelatedEntry() { return 0; }
