#include "Registry.h"

#include "Messages.h"
#include "Trace.h"

#include <stdexcept>
#include <vector>

namespace lumidial {

namespace {

[[noreturn]] void Fail(std::string_view format, const char* name) {
    throw std::runtime_error(FormatWithValue(format, name));
}

}  // namespace

bool TRegistryKey::OpenForReading(const char* path) noexcept {
    key_.reset();
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
        // A key never written is no failure: its values are the defaults.
        if (status != ERROR_FILE_NOT_FOUND) TraceFailure(L"opening a registry key for reading", DWORD(status));
        return false;
    }
    key_.reset(key);
    return true;
}

LONG TRegistryKey::OpenForWriting(const char* path) noexcept {
    key_.reset();
    HKEY key = nullptr;
    // Creating a missing key is a right on its parent, not one asked for here.
    const LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        TraceFailure(L"opening a registry key for writing", DWORD(status));
        return status;
    }
    key_.reset(key);
    return ERROR_SUCCESS;
}

bool TRegistryKey::ValueExists(const char* name) const noexcept {
    return key_ && RegQueryValueExA(key_.get(), name, nullptr, nullptr, nullptr, nullptr) ==
                       ERROR_SUCCESS;
}

std::int32_t TRegistryKey::ReadInteger(const char* name) const {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG status = RegQueryValueExA(key_.get(), name, nullptr, &type,
                                   reinterpret_cast<BYTE*>(&value), &size);
    if (status != ERROR_SUCCESS) Fail(msg::kFailedToGetData, name);
    if (type != REG_DWORD || size != sizeof value) Fail(msg::kInvalidDataType, name);
    return static_cast<std::int32_t>(value);
}

std::string TRegistryKey::ReadString(const char* name) const {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key_.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        Fail(msg::kFailedToGetData, name);
    if (type != REG_SZ && type != REG_EXPAND_SZ) Fail(msg::kInvalidDataType, name);
    // The value may change between the two calls; a second short read fails
    // cleanly rather than overrunning.
    std::vector<char> buffer(size + 1, '\0');
    DWORD got = size;
    if (RegQueryValueExA(key_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &got) != ERROR_SUCCESS)
        Fail(msg::kFailedToGetData, name);
    if (got > size) got = size;
    std::string text(buffer.data(), got);
    if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    return text;
}

void TRegistryKey::WriteInteger(const char* name, std::int32_t value) const {
    DWORD data = static_cast<DWORD>(value);
    if (!key_ || RegSetValueExA(key_.get(), name, 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&data), sizeof data) != ERROR_SUCCESS)
        Fail(msg::kFailedToSetData, name);
}

void TRegistryKey::WriteString(const char* name, const std::string& value) const {
    if (!key_ || RegSetValueExA(key_.get(), name, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        Fail(msg::kFailedToSetData, name);
}

}  // namespace lumidial
