#include "Wine.h"

#include "Registry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace e2e {

bool UnderWine() {
  static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

SaverProcess StartInTimeZone(const std::wstring& arguments, int utcOffsetMinutes) {
  // POSIX TZ counts west of UTC as positive.
  wchar_t tz[32];
  std::swprintf(tz, 32, L"TZ=LUM%c%d:%02d", utcOffsetMinutes > 0 ? L'-' : L'+', std::abs(utcOffsetMinutes) / 60,
                std::abs(utcOffsetMinutes) % 60);
  // The driver's environment with TZ put in its place.
  std::wstring environment;
  wchar_t* current = GetEnvironmentStringsW();
  for (const wchar_t* p = current; *p; p += wcslen(p) + 1)
    if (_wcsnicmp(p, L"TZ=", 3) != 0) environment.append(p).push_back(L'\0');
  FreeEnvironmentStringsW(current);
  environment.append(tz).append(1, L'\0');

  std::wstring unixPath = SaverPath().substr(2);  // after "Z:"
  std::replace(unixPath.begin(), unixPath.end(), L'\\', L'/');
  const std::vector<DWORD> before = ProcessesNamed(L"Lumidial.scr");
  auto info = StartProcess(L"/usr/bin/env wine \"" + unixPath + L"\" " + arguments, 0, environment);
  if (!info) return SaverProcess::Adopt(nullptr, 0, "could not start wine: error " + std::to_string(GetLastError()));
  DWORD pid = 0;
  WaitUntil([&] {
    for (DWORD candidate : ProcessesNamed(L"Lumidial.scr"))
      if (std::find(before.begin(), before.end(), candidate) == before.end()) pid = candidate;
    return pid != 0;
  });
  return SaverProcess::Adopt(pid ? OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid) : nullptr, pid,
                             "the saver started through wine never appeared");
}

::testing::AssertionResult RunUnix(const std::string& command) {
  static int serial = 0;
  char prefix[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
  std::string marker = length > 0 && length < MAX_PATH ? prefix : "/tmp";
  marker.append("/lumidial-e2e-").append(std::to_string(GetCurrentProcessId())).append("-").append(std::to_string(++serial));
  const std::wstring windowsMarker = L"Z:" + Widen(marker);
  auto started = StartProcess(Widen("/bin/sh -c \"" + command + "; echo $? >" + marker + ".tmp && mv " + marker +
                                    ".tmp " + marker + "\""));
  if (!started) return ::testing::AssertionFailure() << "could not start: " << command;
  int status = -1;
  const bool finished = WaitUntil(
      [&] {
        FILE* file = _wfopen(windowsMarker.c_str(), L"r");
        if (!file) return false;
        if (std::fscanf(file, "%d", &status) != 1) status = -1;
        std::fclose(file);
        return true;
      },
      kTimeout, 10ms);
  DeleteFileW(windowsMarker.c_str());
  if (finished && status == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << command << (finished ? " failed" : " never finished");
}

::testing::AssertionResult LayOutMonitors(const std::string& geometries) {
  char script[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("LUMIDIAL_MONITORS_SCRIPT", script, MAX_PATH))
    return ::testing::AssertionFailure() << "LUMIDIAL_MONITORS_SCRIPT is not set";
  return RunUnix(std::string(script) + " " + geometries);
}

SystemFile::SystemFile(const wchar_t* name, const wchar_t* source) {
  wchar_t directory[MAX_PATH] = {};
  GetSystemDirectoryW(directory, MAX_PATH);
  path_ = std::wstring(directory) + L"\\" + name;
  backup_ = path_ + L".lumidial-original";
  Restore();  // after a driver killed half-way
  if (GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES && !CopyFileW(path_.c_str(), backup_.c_str(), FALSE))
    return;
  installed_ = CopyFileW(PathFromEnvironment(source).c_str(), path_.c_str(), FALSE);
  EXPECT_TRUE(installed_) << "could not copy a double to " << Narrow(path_);
}

void SystemFile::Restore() {
  if (GetFileAttributesW(backup_.c_str()) != INVALID_FILE_ATTRIBUTES)
    MoveFileExW(backup_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
  else if (installed_)
    DeleteFileW(path_.c_str());
}

namespace {
constexpr wchar_t kOverrides[] = L"Software\\Wine\\AppDefaults\\Lumidial.scr\\DllOverrides";
}

DllOverride::DllOverride(const wchar_t* dll, const wchar_t* order) : dll_(dll) {
  if (UnderWine()) SetString(kOverrides, dll, order);
}

DllOverride::~DllOverride() {
  if (UnderWine()) DeleteValue(kOverrides, dll_);
}

std::optional<DWORD> Recorded(const wchar_t* name) { return GetDword(kDoubleKey, name); }

PasswordSet::PasswordSet() { SetDword(kDesktop, kUsePassword, 1); }
PasswordSet::~PasswordSet() { DeleteValue(kDesktop, kUsePassword); }

HeldPasswordPrompt::HeldPasswordPrompt() {
  SetDword(kDoubleKey, L"VerifyAnswer", 0);
  SetDword(kDoubleKey, L"PromptHold", 1);
}

}  // namespace e2e
