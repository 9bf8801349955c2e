#include "Harness.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <thread>

namespace e2e {

bool WaitUntil(const std::function<bool()>& done, Millis timeout, Millis interval) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(interval);
  }
}

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring ToWindowsPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.empty() || wide[0] != L'/') return wide;
  for (auto& c : wide)
    if (c == L'/') c = L'\\';
  return L"Z:" + wide;
}

std::wstring SaverPath() {
  wchar_t buffer[MAX_PATH * 2];
  DWORD n = GetEnvironmentVariableW(L"LUMIDIAL_SCR", buffer, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) {
    ADD_FAILURE() << "LUMIDIAL_SCR is not set: it must name the Lumidial.scr under test "
                     "(ctest sets it; see tests/e2e/CMakeLists.txt)";
    return L"Lumidial.scr";
  }
  return ToWindowsPath(Narrow(std::wstring(buffer, n)));
}

// ---------------------------------------------------------------------------
// ScratchRegistry

ScratchRegistry::ScratchRegistry() { DeleteKey(); }

ScratchRegistry::~ScratchRegistry() { DeleteKey(); }

void ScratchRegistry::DeleteKey() {
  LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    ADD_FAILURE() << "could not delete HKCU\\" << Narrow(kKeyPath) << ": error " << status;
}

void ScratchRegistry::SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, &key, nullptr);
  ASSERT_EQ(status, ERROR_SUCCESS) << "RegCreateKeyExW";
  status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  ASSERT_EQ(status, ERROR_SUCCESS) << "RegSetValueExW " << Narrow(name);
}

void ScratchRegistry::SetDword(const wchar_t* name, DWORD value) {
  SetRaw(name, REG_DWORD, &value, sizeof value);
}

void ScratchRegistry::SetString(const wchar_t* name, const std::wstring& value) {
  SetRaw(name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void ScratchRegistry::SetBinary(const wchar_t* name, const std::vector<BYTE>& value) {
  SetRaw(name, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
}

void ScratchRegistry::Delete(const wchar_t* name) {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kKeyPath, name);
}

std::optional<DWORD> ScratchRegistry::GetType(const wchar_t* name) const {
  DWORD type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kKeyPath, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                   nullptr) != ERROR_SUCCESS)
    return std::nullopt;
  return type;
}

std::optional<DWORD> ScratchRegistry::GetDword(const wchar_t* name) const {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, kKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

std::optional<std::wstring> ScratchRegistry::GetString(const wchar_t* name) const {
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kKeyPath, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, kKeyPath, name, RRF_RT_REG_SZ, nullptr, value.data(),
                   &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.resize(wcslen(value.c_str()));
  return value;
}

// ---------------------------------------------------------------------------
// Exit codes

bool IsCrashExitCode(DWORD code) {
  if (code == STILL_ACTIVE) return false;
  // NTSTATUS severity "error" (0xC...) covers access violations, stack
  // overflows, heap corruption, fail-fast; 0x80000003 is a breakpoint.
  return (code & 0xC0000000u) == 0xC0000000u || code == 0x80000003u || code == 0x80000004u;
}

std::string DescribeExitCode(DWORD code) {
  char text[64];
  const char* name = "";
  switch (code) {
    case 0xC0000005u: name = " (access violation)"; break;
    case 0xC00000FDu: name = " (stack overflow)"; break;
    case 0xC0000374u: name = " (heap corruption)"; break;
    case 0xC0000409u: name = " (stack buffer overrun / fail-fast)"; break;
    case 0xC000001Du: name = " (illegal instruction)"; break;
    case 0xC0000094u: name = " (integer divide by zero)"; break;
    case 0x80000003u: name = " (breakpoint)"; break;
    case STILL_ACTIVE: name = " (still running)"; break;
    default: break;
  }
  std::snprintf(text, sizeof text, "0x%08lX%s", static_cast<unsigned long>(code), name);
  return text;
}

// ---------------------------------------------------------------------------
// Windows and processes

namespace {

struct WindowQuery {
  DWORD pid;
  const wchar_t* windowClass;
  const wchar_t* caption;
  bool includeHidden;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<WindowQuery*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (query->pid != 0 && pid != query->pid) return TRUE;
  if (!query->includeHidden && !IsWindowVisible(window)) return TRUE;
  if (query->windowClass && WindowClass(window) != query->windowClass) return TRUE;
  if (query->caption && WindowText(window) != query->caption) return TRUE;
  query->found.push_back(window);
  return TRUE;
}

// A job that kills its processes when its last handle closes, which is at the
// latest when the driver process ends.
HANDLE CreateKillOnCloseJob() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  return job;
}

// The driver's environment with `overrides` ("NAME=value") put in place,
// as a block for CreateProcessW.
std::wstring EnvironmentBlock(const std::vector<std::wstring>& overrides) {
  auto nameOf = [](const std::wstring& entry) {
    // Entries such as "=C:=C:\\" start with '=': the name runs to the
    // second '='.
    size_t eq = entry.find(L'=', 1);
    std::wstring name = entry.substr(0, eq);
    for (auto& c : name) c = static_cast<wchar_t>(towupper(c));
    return name;
  };
  std::vector<std::wstring> names;
  for (const auto& o : overrides) names.push_back(nameOf(o));

  std::wstring block;
  wchar_t* current = GetEnvironmentStringsW();
  for (const wchar_t* p = current; *p; p += wcslen(p) + 1) {
    std::wstring entry(p);
    bool replaced = false;
    for (const auto& n : names) replaced = replaced || nameOf(entry) == n;
    if (!replaced) block.append(entry).push_back(L'\0');
  }
  FreeEnvironmentStringsW(current);
  for (const auto& o : overrides) block.append(o).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

std::wstring Quote(const std::wstring& path) { return L"\"" + path + L"\""; }

std::wstring UnixPathOf(const std::wstring& windowsPath) {
  // Z:\a\b -> /a/b (the inverse of ToWindowsPath, enough for our paths).
  if (windowsPath.size() >= 2 && (windowsPath[0] == L'Z' || windowsPath[0] == L'z') &&
      windowsPath[1] == L':') {
    std::wstring unix = windowsPath.substr(2);
    for (auto& c : unix)
      if (c == L'\\') c = L'/';
    return unix;
  }
  return windowsPath;
}

std::wstring BaseName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::wstring WindowClass(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(window, text.data(), length + 1);
  text.resize(wcslen(text.c_str()));
  return text;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const wchar_t* windowClass, const wchar_t* caption,
                                  bool includeHidden) {
  WindowQuery query{pid, windowClass, caption, includeHidden, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND FindTopLevelWindow(DWORD pid, const wchar_t* windowClass, const wchar_t* caption,
                        Millis timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        auto windows = TopLevelWindows(pid, windowClass, caption);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr;
      },
      timeout);
  return found;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& imageName) {
  std::vector<DWORD> pids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(BaseName(entry.szExeFile).c_str(), imageName.c_str()) == 0)
      pids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return pids;
}

int KillStraySavers() {
  int killed = 0;
  for (DWORD pid : ProcessesNamed(L"Lumidial.scr")) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) continue;
    if (TerminateProcess(process, 1)) ++killed;
    WaitForSingleObject(process, static_cast<DWORD>(Millis(kDefaultTimeout).count()));
    CloseHandle(process);
  }
  return killed;
}

// ---------------------------------------------------------------------------
// SaverProcess

SaverProcess::SaverProcess(const Options& options) {
  std::wstring program = options.program.empty() ? SaverPath() : options.program;
  job_ = CreateKillOnCloseJob();

  if (options.utcOffsetMinutes) {
    // POSIX TZ counts west of UTC as positive: local = UTC + offset needs
    // "<name>-offset". The name is arbitrary (three letters or more).
    int offset = *options.utcOffsetMinutes;
    int west = -offset;
    wchar_t tz[64];
    std::swprintf(tz, 64, L"TZ=LUM%c%d:%02d", west < 0 ? L'-' : L'+', std::abs(west) / 60,
                  std::abs(west) % 60);
    std::vector<std::wstring> environment = options.environment;
    environment.emplace_back(tz);
    std::wstring block = EnvironmentBlock(environment);

    std::vector<DWORD> before = ProcessesNamed(BaseName(program));
    commandLine_ = L"/usr/bin/env wine " + Quote(UnixPathOf(program));
    if (!options.arguments.empty()) commandLine_ += L" " + options.arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Wine runs a Unix program here and hands back no process handle.
    if (!CreateProcessW(nullptr, commandLine_.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &info)) {
      error_ = "CreateProcessW(" + Narrow(commandLine_) + ") failed: " +
               std::to_string(GetLastError());
      return;
    }
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);

    DWORD pid = 0;
    WaitUntil([&] {
      for (DWORD candidate : ProcessesNamed(BaseName(program))) {
        bool old = false;
        for (DWORD b : before) old = old || b == candidate;
        if (!old) {
          pid = candidate;
          return true;
        }
      }
      return false;
    });
    if (!pid) {
      error_ = "the saver started through " + Narrow(commandLine_) + " never appeared";
      return;
    }
    HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE |
                                     PROCESS_SET_QUOTA,
                                 FALSE, pid);
    if (!process) {
      error_ = "OpenProcess failed for the saver: " + std::to_string(GetLastError());
      return;
    }
    if (job_) AssignProcessToJobObject(job_, process);
    Adopt(process, pid);
    return;
  }

  commandLine_ = Quote(program);
  if (!options.arguments.empty()) commandLine_ += L" " + options.arguments;
  std::wstring block;
  if (!options.environment.empty()) block = EnvironmentBlock(options.environment);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), commandLine_.data(), nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT,
                      block.empty() ? nullptr : block.data(), nullptr, &startup, &info)) {
    error_ = "CreateProcessW(" + Narrow(program) + ") failed: " + std::to_string(GetLastError());
    return;
  }
  // In the job before it runs a single instruction.
  if (job_) AssignProcessToJobObject(job_, info.hProcess);
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  Adopt(info.hProcess, info.dwProcessId);
}

void SaverProcess::Adopt(HANDLE process, DWORD pid) {
  process_ = process;
  pid_ = pid;
}

SaverProcess SaverProcess::Start(const std::wstring& arguments,
                                 std::vector<std::wstring> environment) {
  Options options;
  options.arguments = arguments;
  options.environment = std::move(environment);
  return SaverProcess(options);
}

SaverProcess SaverProcess::StartInTimeZone(const std::wstring& arguments, int utcOffsetMinutes) {
  Options options;
  options.arguments = arguments;
  options.utcOffsetMinutes = utcOffsetMinutes;
  return SaverProcess(options);
}

SaverProcess::~SaverProcess() {
  Terminate();
  if (job_) CloseHandle(job_);
}

SaverProcess::SaverProcess(SaverProcess&& other) noexcept { *this = std::move(other); }

SaverProcess& SaverProcess::operator=(SaverProcess&& other) noexcept {
  if (this != &other) {
    Terminate();
    if (job_) CloseHandle(job_);
    process_ = std::exchange(other.process_, nullptr);
    job_ = std::exchange(other.job_, nullptr);
    pid_ = std::exchange(other.pid_, 0);
    commandLine_ = std::move(other.commandLine_);
    error_ = std::move(other.error_);
  }
  return *this;
}

bool SaverProcess::IsRunning() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> SaverProcess::WaitForExit(Millis timeout) const {
  if (!process_) return std::nullopt;
  if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

void SaverProcess::Terminate() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, static_cast<DWORD>(Millis(kDefaultTimeout).count()));
  }
  CloseHandle(process_);
  process_ = nullptr;
}

HWND SaverProcess::WaitForWindow(const wchar_t* windowClass, const wchar_t* caption,
                                 Millis timeout) const {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        auto windows = TopLevelWindows(pid_, windowClass, caption);
        found = windows.empty() ? nullptr : windows.front();
        // Stop waiting early if the process has already gone.
        return found != nullptr || !IsRunning();
      },
      timeout);
  return found;
}

}  // namespace e2e
