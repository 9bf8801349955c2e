#include "Process.h"

#include <tlhelp32.h>

namespace e2e {

namespace {

// The drivers see the screen and the saver's windows in real pixels at any
// density, as the saver (aware of each monitor's density) draws them.
[[maybe_unused]] const bool kDensityAware =
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);

}  // namespace

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

bool WaitUntil(const std::function<bool()>& done, Millis timeout, Millis interval) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    PumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(interval.count()), QS_ALLINPUT);
  }
}

std::wstring Widen(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  out.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                     out.data(), static_cast<int>(out.size()))));
  return out;
}

std::string Narrow(const std::wstring& wide) {
  std::string out(wide.size() * 4, '\0');
  out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                     out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

std::wstring PathFromEnvironment(const wchar_t* name) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2)
    ADD_FAILURE() << Narrow(name) << " is not set (tests/e2e/CMakeLists.txt sets it for ctest)";
  std::wstring path = buffer;
  if (path.empty() || path[0] != L'/') return path;
  for (auto& c : path)
    if (c == L'/') c = L'\\';
  return L"Z:" + path;
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
  const lumidial::UniqueHandle nul(
      unixProgram ? CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inheritable, OPEN_EXISTING, 0, nullptr)
                  : nullptr);
  if (unixProgram) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
    // Wine 8 starts a Unix program without filling in its process and
    // thread handles: they are whatever its own stack held, and it resumes
    // that "thread" unless told to start suspended. Closed by the caller,
    // such a value can be a handle the driver still uses (seen: its standard
    // error, and the registry key Wine's locale functions keep open).
    // Suspending means nothing to a Unix program; the handles are dropped.
    flags |= CREATE_SUSPENDED;
  }
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessW(
      nullptr, commandLine.data(), nullptr, nullptr, unixProgram, flags | CREATE_UNICODE_ENVIRONMENT,
      environment.empty() ? nullptr : const_cast<wchar_t*>(environment.data()), nullptr, &startup, &info);
  if (!started) return std::nullopt;
  if (unixProgram) info = {};
  return info;
}

std::vector<DWORD> ProcessesNamed(const wchar_t* imageName) {
  std::vector<DWORD> pids;
  const lumidial::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snapshot.get(), &entry); ok; ok = Process32NextW(snapshot.get(), &entry)) {
    const wchar_t* slash = wcsrchr(entry.szExeFile, L'\\');
    if (_wcsicmp(slash ? slash + 1 : entry.szExeFile, imageName) == 0) pids.push_back(entry.th32ProcessID);
  }
  return pids;
}

void KillStraySavers() {
  for (DWORD pid : ProcessesNamed(L"Lumidial.scr")) {
    const lumidial::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process) continue;
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 15000);
  }
}

std::optional<bool> ScreenSaverRunningFlag() {
  auto probe = StartProcess(L"\"" + PathFromEnvironment(L"LUMIDIAL_FLAG_PROBE") + L"\"");
  if (!probe) return std::nullopt;
  const lumidial::UniqueHandle process(probe->hProcess), thread(probe->hThread);
  DWORD code = 2;
  if (WaitForSingleObject(process.get(), 15000) == WAIT_OBJECT_0) GetExitCodeProcess(process.get(), &code);
  return code <= 1 ? std::optional<bool>(code == 1) : std::nullopt;
}

lumidial::UniqueHandle NewKillOnCloseJob() {
  lumidial::UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job) SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  return job;
}

std::string ExitCodeText(DWORD code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  return "exit code " + std::to_string(code) + " (" + hex + ")";
}

SaverProcess SaverProcess::Adopt(HANDLE process, DWORD pid, const std::string& error) {
  SaverProcess saver;
  saver.error_ = error;
  if (!process) return saver;
  saver.job_ = NewKillOnCloseJob();
  AssignProcessToJobObject(saver.job_.get(), process);
  saver.process_.reset(process);
  saver.pid_ = pid;
  return saver;
}

SaverProcess SaverProcess::Start(const std::wstring& arguments, const std::wstring& path) {
  auto info = StartProcess(L"\"" + path + L"\" " + arguments, CREATE_SUSPENDED);
  if (!info) return Adopt(nullptr, 0, "could not start the saver: error " + std::to_string(GetLastError()));
  SaverProcess saver = Adopt(info->hProcess, info->dwProcessId);  // in the job before it runs
  ResumeThread(info->hThread);
  CloseHandle(info->hThread);
  return saver;
}

SaverProcess& SaverProcess::operator=(SaverProcess&& other) noexcept {
  if (this != &other) {
    Terminate();  // before its job closes
    process_ = std::move(other.process_);
    job_ = std::move(other.job_);
    pid_ = std::exchange(other.pid_, 0);
    error_ = std::move(other.error_);
  }
  return *this;
}

std::optional<DWORD> SaverProcess::WaitForExit(Millis timeout) const {
  DWORD code = 0;
  if (!process_ || !WaitUntil([&] { return !IsRunning(); }, timeout)) return std::nullopt;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

void SaverProcess::Terminate() {
  if (!process_) return;
  TerminateProcess(process_.get(), 1);
  WaitForSingleObject(process_.get(), 15000);
  process_.reset();
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

::testing::AssertionResult EndsNormally(const SaverProcess& saver, bool* seenWindow, Millis timeout) {
  WaitUntil(
      [&] {
        if (seenWindow && !TopLevelWindows(saver.pid()).empty()) *seenWindow = true;
        return !saver.IsRunning();
      },
      timeout);
  const auto code = saver.WaitForExit(0ms);
  if (!code) return ::testing::AssertionFailure() << "still running " << timeout.count() << " ms later";
  if (*code) return ::testing::AssertionFailure() << "ended with " << ExitCodeText(*code);
  return ::testing::AssertionSuccess();
}

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

std::wstring BoxText(HWND box) {
  std::wstring text;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (WindowClass(child) == L"Static" && !WindowText(child).empty()) text = WindowText(child);
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
  const lumidial::UniqueHandle owned(process->hProcess), thread(process->hThread);
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
          SendMessageTimeoutW(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                              nullptr);
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
  return run;
}

}  // namespace e2e
