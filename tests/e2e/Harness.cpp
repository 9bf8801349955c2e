#include "Harness.h"

#include "UserState.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace e2e {

namespace {

// The drivers see the screen and the saver's windows in real pixels at any
// density, as the saver (aware of each monitor's density) draws them.
[[maybe_unused]] const bool kDensityAware =
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);

// Every driver keeps the user's state before its first scenario and puts
// it back after its last: for itself, or from the copy its runner keeps.
class KeptUserState : public ::testing::Environment {
 public:
  void SetUp() override {
    byRunner_ = GetEnvironmentVariableW(L"LUMIDIAL_STATE_KEPT", nullptr, 0) != 0;
    const std::string problems = byRunner_ ? user_state::PutBack(false) : user_state::Keep();
    ASSERT_EQ(problems, "") << "the user's state could not be kept: no scenario may change it";
  }
  void TearDown() override {
    EXPECT_EQ(user_state::PutBack(!byRunner_), "") << "the user's state could not all be put back";
  }

 private:
  bool byRunner_ = false;
};
[[maybe_unused]] auto* const kKeptUserState = ::testing::AddGlobalTestEnvironment(new KeptUserState);

}  // namespace

bool WaitUntil(const std::function<bool()>& done, Millis timeout, Millis interval) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(interval.count()),
                              QS_ALLINPUT);
  }
}

std::wstring Widen(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  out.resize(static_cast<size_t>(MultiByteToWideChar(
      CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), static_cast<int>(out.size()))));
  return out;
}

std::string Narrow(const std::wstring& wide) {
  std::string out(wide.size() * 4, '\0');
  out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(),
                                                     static_cast<int>(wide.size()), out.data(),
                                                     static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

std::wstring ToWindowsPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.empty() || wide[0] != L'/') return wide;
  for (auto& c : wide)
    if (c == L'/') c = L'\\';
  return L"Z:" + wide;
}

std::wstring PathFromEnvironment(const wchar_t* name) {
  wchar_t buffer[MAX_PATH * 2] = {};
  DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2)
    ADD_FAILURE() << Narrow(name) << " is not set (tests/e2e/CMakeLists.txt sets it for ctest)";
  return ToWindowsPath(Narrow(buffer));
}

// ---------------------------------------------------------------------------
// Registry and system files

void SetValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, name, type, data, size), ERROR_SUCCESS)
      << "setting " << Narrow(key) << "\\" << Narrow(name);
}

std::optional<DWORD> GetDword(const wchar_t* key, const wchar_t* name) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size))
    return std::nullopt;
  return value;
}

std::optional<std::wstring> GetString(const wchar_t* key, const wchar_t* name) {
  wchar_t value[512] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, value, &size))
    return std::nullopt;
  return value;
}

namespace {
constexpr const wchar_t* kDesktopKey = L"Control Panel\\Desktop";
}

Density::Density(int dpi) : original_(GetDword(kDesktopKey, L"LogPixels")) {
  SetDword(kDesktopKey, L"LogPixels", DWORD(dpi));
}

Density::~Density() {
  if (original_)
    SetDword(kDesktopKey, L"LogPixels", *original_);
  else
    DeleteValue(kDesktopKey, L"LogPixels");
}

std::optional<DWORD> ScratchRegistry::GetType(const wchar_t* name) const {
  DWORD type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kKeyPath, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                   nullptr))
    return std::nullopt;
  return type;
}

SystemFile::SystemFile(const wchar_t* name, const wchar_t* source) {
  wchar_t directory[MAX_PATH] = {};
  GetSystemDirectoryW(directory, MAX_PATH);
  path_ = std::wstring(directory) + L"\\" + name;
  backup_ = path_ + L".lumidial-original";
  Restore();  // after a driver killed half-way
  if (GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !CopyFileW(path_.c_str(), backup_.c_str(), FALSE))
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


// ---------------------------------------------------------------------------
// Processes

bool IsCrashExitCode(DWORD code) {
  // NTSTATUS errors (access violation, stack overflow, heap corruption,
  // fail-fast) and breakpoints.
  return code != STILL_ACTIVE &&
         ((code & 0xC0000000u) == 0xC0000000u || code == 0x80000003u || code == 0x80000004u);
}

std::string DescribeExitCode(DWORD code) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
  return text;
}

bool UnderWine() {
  static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

bool InBundle() {
  static const bool bundle = GetEnvironmentVariableW(L"LUMIDIAL_BUNDLE", nullptr, 0) != 0;
  return bundle;
}

std::optional<PROCESS_INFORMATION> StartProcess(std::wstring commandLine, DWORD flags,
                                                const std::wstring& environment) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  const bool unixProgram = commandLine[0] == L'/';
  if (unixProgram && InBundle()) {
    ADD_FAILURE() << "the bundle starts no Unix program: " << Narrow(commandLine);
    return std::nullopt;
  }
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE nul = unixProgram ? CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                         OPEN_EXISTING, 0, nullptr)
                           : nullptr;
  if (unixProgram) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  }
  // Wine 8 starts a Unix program without filling in its process and thread
  // handles: they are whatever its own stack held, and it resumes that
  // "thread" unless told to start suspended. Closed by the caller, such a
  // value can be a handle the driver still uses (seen: its standard error,
  // and the registry key Wine's locale functions keep open). Suspending
  // means nothing to a Unix program; the handles are dropped.
  if (unixProgram) flags |= CREATE_SUSPENDED;
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessW(
      nullptr, commandLine.data(), nullptr, nullptr, unixProgram, flags | CREATE_UNICODE_ENVIRONMENT,
      environment.empty() ? nullptr : const_cast<wchar_t*>(environment.data()), nullptr, &startup,
      &info);
  if (nul) CloseHandle(nul);
  if (!started) return std::nullopt;
  if (unixProgram) info = {};
  return info;
}

namespace {

std::string UnixScratchPath(const std::string& name) {
  char prefix[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
  const std::string folder = length > 0 && length < MAX_PATH ? prefix : "/tmp";
  return folder + "/lumidial-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

}  // namespace

::testing::AssertionResult RunUnix(const std::string& command) {
  static int serial = 0;
  const std::string marker = UnixScratchPath(std::to_string(++serial));
  const std::wstring windowsMarker = ToWindowsPath(marker);
  auto started = StartProcess(Widen("/bin/sh -c \"" + command + "; echo $? >" + marker +
                                    ".tmp && mv " + marker + ".tmp " + marker + "\""));
  if (!started) return ::testing::AssertionFailure() << "could not start: " << command;
  if (started->hThread) CloseHandle(started->hThread);
  if (started->hProcess) CloseHandle(started->hProcess);
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

std::vector<RECT> MonitorRects() {
  std::vector<RECT> rects;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR, HDC, LPRECT rect, LPARAM list) {
        reinterpret_cast<std::vector<RECT>*>(list)->push_back(*rect);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&rects));
  return rects;
}

std::optional<bool> ScreenSaverRunningFlag() {
  auto probe = StartProcess(L"\"" + PathFromEnvironment(L"LUMIDIAL_FLAG_PROBE") + L"\"");
  if (!probe) return std::nullopt;
  DWORD code = 2;
  if (WaitForSingleObject(probe->hProcess, 15000) == WAIT_OBJECT_0)
    GetExitCodeProcess(probe->hProcess, &code);
  CloseHandle(probe->hThread);
  CloseHandle(probe->hProcess);
  return code <= 1 ? std::optional<bool>(code == 1) : std::nullopt;
}

namespace {

std::vector<DWORD> ProcessesNamed(const wchar_t* imageName) {
  std::vector<DWORD> pids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
    const wchar_t* slash = wcsrchr(entry.szExeFile, L'\\');
    if (_wcsicmp(slash ? slash + 1 : entry.szExeFile, imageName) == 0)
      pids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return pids;
}

// The driver's environment with `variable` ("NAME=value") put in place.
std::wstring EnvironmentWith(const std::wstring& variable) {
  const std::wstring name = variable.substr(0, variable.find(L'=') + 1);
  std::wstring block;
  wchar_t* current = GetEnvironmentStringsW();
  for (const wchar_t* p = current; *p; p += wcslen(p) + 1)
    if (_wcsnicmp(p, name.c_str(), name.size()) != 0) block.append(p).push_back(L'\0');
  FreeEnvironmentStringsW(current);
  return block.append(variable).append(1, L'\0');
}

}  // namespace

void KillStraySavers() {
  for (DWORD pid : ProcessesNamed(L"Lumidial.scr")) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) continue;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 15000);
    CloseHandle(process);
  }
}

std::vector<std::pair<std::wstring, std::wstring>> InstalledLumidials() {
  constexpr wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  std::vector<std::pair<std::wstring, std::wstring>> entries;
  HKEY uninstall = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ, &uninstall)) return entries;
  wchar_t name[256];
  for (DWORD i = 0, size = 256;
       RegEnumKeyExW(uninstall, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, size = 256) {
    const std::wstring key = std::wstring(kUninstall) + L"\\" + name;
    auto text = [&](const wchar_t* value) {
      wchar_t data[1024] = {};
      DWORD bytes = sizeof data;
      RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &bytes);
      return std::wstring(data);
    };
    if (text(L"DisplayName").find(L"Lumidial") != std::wstring::npos)
      entries.emplace_back(name, text(L"DisplayName") + L"|" + text(L"Publisher") + L"|" + text(L"DisplayVersion") +
                                     L"|" + text(L"URLInfoAbout"));
  }
  RegCloseKey(uninstall);
  return entries;
}

MsiexecRun Msiexec(const std::wstring& arguments, bool quiet) {
  MsiexecRun run;
  auto process = StartProcess(L"msiexec.exe " + arguments + (quiet ? L" /qn" : L""));
  if (!process) return run;
  CloseHandle(process->hThread);
  const auto running = [&] { return WaitForSingleObject(process->hProcess, 0) == WAIT_TIMEOUT; };
  HWND box = nullptr;
  if (!quiet && WaitUntil([&] {
        auto boxes = TopLevelWindows(process->dwProcessId, L"#32770");
        box = boxes.empty() ? nullptr : boxes.front();
        return box || !running();
      }) &&
      box) {
    EnumChildWindows(
        box,
        [](HWND child, LPARAM texts) {
          // With a time-out: a box whose thread stopped answering must not
          // hold the driver up past its time-out.
          wchar_t text[512] = {};
          SendMessageTimeoutW(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                              5000, nullptr);
          if (*text) reinterpret_cast<std::vector<std::wstring>*>(texts)->push_back(text);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&run.boxTexts));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  if (WaitUntil([&] { return !running(); }, 4 * kTimeout))
    GetExitCodeProcess(process->hProcess, &run.code);
  else
    TerminateProcess(process->hProcess, 1);
  CloseHandle(process->hProcess);
  return run;
}

void SaverProcess::Adopt(HANDLE process, DWORD pid) {
  job_ = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  AssignProcessToJobObject(job_, process);
  process_ = process;
  pid_ = pid;
}

SaverProcess SaverProcess::Start(const std::wstring& arguments, const std::wstring& path) {
  SaverProcess saver;
  auto info = StartProcess(L"\"" + path + L"\" " + arguments, CREATE_SUSPENDED);
  if (!info) {
    saver.error_ = "could not start the saver: error " + std::to_string(GetLastError());
    return saver;
  }
  saver.Adopt(info->hProcess, info->dwProcessId);  // in the job before it runs
  ResumeThread(info->hThread);
  CloseHandle(info->hThread);
  return saver;
}

SaverProcess SaverProcess::StartInTimeZone(const std::wstring& arguments, int utcOffsetMinutes) {
  SaverProcess saver;
  // POSIX TZ counts west of UTC as positive.
  wchar_t tz[32];
  std::swprintf(tz, 32, L"TZ=LUM%c%d:%02d", utcOffsetMinutes > 0 ? L'-' : L'+',
                std::abs(utcOffsetMinutes) / 60, std::abs(utcOffsetMinutes) % 60);
  std::wstring unixPath = SaverPath().substr(2);
  for (auto& c : unixPath)
    if (c == L'\\') c = L'/';
  const std::vector<DWORD> before = ProcessesNamed(L"Lumidial.scr");
  auto info = StartProcess(L"/usr/bin/env wine \"" + unixPath + L"\" " + arguments, 0,
                           EnvironmentWith(tz));
  if (!info) {
    saver.error_ = "could not start wine: error " + std::to_string(GetLastError());
    return saver;
  }
  if (info->hThread) CloseHandle(info->hThread);
  if (info->hProcess) CloseHandle(info->hProcess);
  DWORD pid = 0;
  WaitUntil([&] {
    for (DWORD candidate : ProcessesNamed(L"Lumidial.scr"))
      if (std::find(before.begin(), before.end(), candidate) == before.end()) pid = candidate;
    return pid != 0;
  });
  HANDLE process = pid ? OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid) : nullptr;
  if (process)
    saver.Adopt(process, pid);
  else
    saver.error_ = "the saver started through wine never appeared";
  return saver;
}

void SaverProcess::Release() {
  Terminate();
  if (job_) CloseHandle(job_);
  job_ = nullptr;
}

SaverProcess& SaverProcess::operator=(SaverProcess&& other) noexcept {
  if (this != &other) {
    Terminate();
    if (job_) CloseHandle(job_);
    process_ = std::exchange(other.process_, nullptr);
    job_ = std::exchange(other.job_, nullptr);
    pid_ = std::exchange(other.pid_, 0);
    error_ = std::move(other.error_);
  }
  return *this;
}

std::optional<DWORD> SaverProcess::WaitForExit(Millis timeout) const {
  DWORD code = 0;
  if (!process_ || !WaitUntil([&] { return !IsRunning(); }, timeout)) return std::nullopt;
  GetExitCodeProcess(process_, &code);
  return code;
}

void SaverProcess::Terminate() {
  if (!process_) return;
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, 15000);
  CloseHandle(process_);
  process_ = nullptr;
}

::testing::AssertionResult EndsNormally(const SaverProcess& saver, bool* seenWindow, Millis timeout) {
  WaitUntil(
      [&] {
        if (seenWindow && !TopLevelWindows(saver.pid()).empty()) *seenWindow = true;
        return !saver.IsRunning();
      },
      timeout);
  const auto code = saver.WaitForExit(0ms);
  if (!code) return ::testing::AssertionFailure() << "still running " << timeout.count() << " ms later";
  if (*code) return ::testing::AssertionFailure() << "ended with exit code " << DescribeExitCode(*code);
  return ::testing::AssertionSuccess();
}

HWND SaverProcess::WaitForWindow(const wchar_t* windowClass, const wchar_t* caption) const {
  HWND found = nullptr;
  WaitUntil([&] {
    auto windows = TopLevelWindows(pid_, windowClass, caption);
    found = windows.empty() ? nullptr : windows.front();
    return found || !IsRunning();
  });
  return found;
}

// ---------------------------------------------------------------------------
// Windows

std::wstring WindowClass(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const wchar_t* windowClass, const wchar_t* caption,
                                  bool includeHidden) {
  struct Query {
    DWORD pid;
    const wchar_t *windowClass, *caption;
    bool includeHidden;
    std::vector<HWND> found;
  } query{pid, windowClass, caption, includeHidden, {}};
  EnumWindows(
      [](HWND window, LPARAM param) {
        auto& q = *reinterpret_cast<Query*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((!q.pid || owner == q.pid) && (q.includeHidden || IsWindowVisible(window)) &&
            (!q.windowClass || WindowClass(window) == q.windowClass) &&
            (!q.caption || WindowText(window) == q.caption))
          q.found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&query));
  return query.found;
}

}  // namespace e2e
