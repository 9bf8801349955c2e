#include "Trace.h"

#include <exception>
#include <string>

namespace lumidial {

namespace {

void Emit(const wchar_t* what, const char* why, const DWORD* error) noexcept {
    try {
        std::wstring line = L"Lumidial: ";
        line += what;
        if (why && *why) {
            line += L": ";
            // The program's own messages are ASCII.
            for (const char* c = why; *c; ++c) line += static_cast<wchar_t>(static_cast<unsigned char>(*c));
        }
        if (error) {
            // std::to_string, not std::to_wstring: the wide one formats through
            // the C runtime's printf, which would bring all of it into the
            // program for this one number.
            const std::string code = std::to_string(*error);
            line += L" (error ";
            line.append(code.begin(), code.end());
            line += L')';
        }
        line += L'\n';
        OutputDebugStringW(line.c_str());
    } catch (...) {
        OutputDebugStringW(L"Lumidial: a failure could not be described\n");
    }
}

}  // namespace

void TraceFailure(const wchar_t* what, DWORD error) noexcept { Emit(what, nullptr, &error); }

void TraceFailure(const wchar_t* what) noexcept { Emit(what, nullptr, nullptr); }

void TraceCaught(const wchar_t* what) noexcept {
    try {
        throw;
    } catch (const std::exception& error) {
        Emit(what, error.what(), nullptr);
    } catch (...) {
        Emit(what, "an unexpected error", nullptr);
    }
}

}  // namespace lumidial
