// A registry key under HKEY_CURRENT_USER. Reads and writes raise errors
// whose texts name the value concerned.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ScopedWin.h"

namespace lumidial {

class TRegistryKey {
public:
    TRegistryKey() = default;

    // For reading only: a key an administrator has made read-only for the
    // user still reads. False when it does not exist or cannot be opened.
    bool OpenForReading(const char* path) noexcept;
    // For setting values, created if missing. Asks for no more than that
    // (KEY_SET_VALUE): a key an administrator lets the user write, but not
    // re-secure or delete, still opens. ERROR_SUCCESS, or the system's
    // reason it could not be opened or created.
    LONG OpenForWriting(const char* path) noexcept;
    bool IsOpen() const noexcept { return key_ != nullptr; }

    bool ValueExists(const char* name) const noexcept;

    // REG_DWORD only; any other type raises "Invalid data type for '%s'",
    // or "Failed to get data for '%s'" when the data is longer than 4 bytes.
    std::int32_t ReadInteger(const char* name) const;
    // REG_SZ or REG_EXPAND_SZ (not expanded).
    std::string ReadString(const char* name) const;

    // Raise "Failed to set data for '%s'".
    void WriteInteger(const char* name, std::int32_t value) const;
    void WriteString(const char* name, const std::string& value) const;

private:
    UniqueRegKey key_;
};

}  // namespace lumidial
