// Processes, windows, registry and the Wine prefix, for the end-to-end tests:
// every process a test starts is ended again, even when it fails half-way.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Generous: the machines running these tests are shared and slow at times.
inline constexpr Millis kTimeout = 15s;

// Polls `done` until true or `timeout`, dispatching this thread's messages
// between calls (the saver sends messages to the driver's windows; unanswered,
// they would stall it). Returns the last result.
bool WaitUntil(const std::function<bool()>& done, Millis timeout = kTimeout,
               Millis interval = 20ms);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::wstring ToWindowsPath(const std::string& path);  // "/a/b" -> "Z:\a\b"
// The file named by an environment variable that ctest sets.
std::wstring PathFromEnvironment(const wchar_t* name);
inline std::wstring SaverPath() { return PathFromEnvironment(L"LUMIDIAL_SCR"); }

// HKCU values of any key.
void SetValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size);
inline void SetDword(const wchar_t* key, const wchar_t* name, DWORD value) {
  SetValue(key, name, REG_DWORD, &value, sizeof value);
}
inline void SetString(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
  SetValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2));
}
std::optional<DWORD> GetDword(const wchar_t* key, const wchar_t* name);
std::optional<std::wstring> GetString(const wchar_t* key, const wchar_t* name);
inline void DeleteValue(const wchar_t* key, const wchar_t* name) {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name);
}

// The saver's settings key, deleted before and after each test.
struct ScratchRegistry {
  static constexpr const wchar_t* kKeyPath = L"Software\\Orvane\\Lumidial";
  ScratchRegistry() { RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath); }
  ~ScratchRegistry() { RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath); }
  void SetDword(const wchar_t* name, DWORD value) { e2e::SetDword(kKeyPath, name, value); }
  void SetString(const wchar_t* name, const std::wstring& value) { e2e::SetString(kKeyPath, name, value); }
  void SetBinary(const wchar_t* name, const std::vector<BYTE>& value) {
    SetValue(kKeyPath, name, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
  }
  std::optional<DWORD> GetDword(const wchar_t* name) const { return e2e::GetDword(kKeyPath, name); }
  std::optional<std::wstring> GetString(const wchar_t* name) const { return e2e::GetString(kKeyPath, name); }
  std::optional<DWORD> GetType(const wchar_t* name) const;
};

// The pixel density that Wine programs started from now on run at (Wine
// reads HKCU\Control Panel\Desktop "LogPixels" when a program starts),
// until the end of the scope; then the prefix's own again.
class Density {
 public:
  explicit Density(int dpi);
  ~Density();
  Density(const Density&) = delete;
  Density& operator=(const Density&) = delete;

 private:
  std::optional<DWORD> original_;
};

// Where the password library doubles (tests/doubles) take their answers
// from and record their calls.
inline constexpr const wchar_t* kDoubleKey = L"Software\\Lumidial Tests\\Doubles";
inline std::optional<DWORD> Recorded(const wchar_t* name) { return GetDword(kDoubleKey, name); }

// The file named by the environment variable `source`, copied into the
// system directory as `name` until the destructor puts any original back.
class SystemFile {
 public:
  SystemFile(const wchar_t* name, const wchar_t* source);
  ~SystemFile() { Restore(); }
  SystemFile(const SystemFile&) = delete;
  bool installed() const { return installed_; }

 private:
  void Restore();
  std::wstring path_, backup_;
  bool installed_ = false;
};

// True under Wine: what only Wine reads (its own registry keys) is written
// there and nowhere else.
bool UnderWine();

// A Wine DLL override for Lumidial.scr only ("native" loads the file in the
// system directory, "" loads nothing); removed by the destructor. Elsewhere
// nothing.
struct DllOverride {
  static constexpr const wchar_t* kKey = L"Software\\Wine\\AppDefaults\\Lumidial.scr\\DllOverrides";
  DllOverride(const wchar_t* dll, const wchar_t* order) : dll_(dll) {
    if (UnderWine()) SetString(kKey, dll, order);
  }
  ~DllOverride() {
    if (UnderWine()) DeleteValue(kKey, dll_);
  }
  const wchar_t* dll_;
};

bool IsCrashExitCode(DWORD code);
std::string DescribeExitCode(DWORD code);

// True when the drivers run from the test bundle (its runner sets
// LUMIDIAL_BUNDLE), on Windows or under Wine: no Unix program may be
// started there, and every scenario only Wine can stage is skipped.
bool InBundle();

// Marks, as its first statement, a scenario that only Wine can stage (a
// time zone through TZ, the password library's doubles, monitors and
// densities laid out through the X server): ctest runs it under Wine, the
// bundle reports it skipped with `why`. tests/e2e/CMakeLists.txt finds the
// scenarios by this mark.
#define WINE_ONLY(why) \
  if (::e2e::InBundle()) GTEST_SKIP() << "Wine only: " << why

// Starts `commandLine`. A Unix program ("/usr/bin/env ...") comes with no
// process handle, and gets NUL as its standard handles: given the driver's
// own, it would cut off the driver's output to ctest. In the bundle a Unix
// program is never started: trying to fails the test.
std::optional<PROCESS_INFORMATION> StartProcess(std::wstring commandLine, DWORD flags = 0,
                                                const std::wstring& environment = {});

// Runs `command` through /bin/sh and waits for the exit status it leaves in
// a marker file (in the session's Wine prefix, out of reach of other
// sessions' drivers, whose Windows process ids repeat).
::testing::AssertionResult RunUnix(const std::string& command);

// The monitors as this process sees them now, in the order Windows lists them.
std::vector<RECT> MonitorRects();

// SPI_GETSCREENSAVERRUNNING as a fresh process (FlagProbe.cpp) reads it:
// Wine caches system parameters per process.
std::optional<bool> ScreenSaverRunningFlag();

// One running saver, in a kill-on-close job so that a crashed driver leaves
// none behind; the destructor terminates it.
class SaverProcess {
 public:
  SaverProcess() = default;
  ~SaverProcess() { Release(); }
  SaverProcess(SaverProcess&& other) noexcept { *this = std::move(other); }
  SaverProcess& operator=(SaverProcess&& other) noexcept;

  // "Lumidial.scr <arguments>": the saver under test, or the one at `path`.
  static SaverProcess Start(const std::wstring& arguments, const std::wstring& path = SaverPath());
  // The saver in a time zone `utcOffsetMinutes` east of UTC: a Windows
  // child inherits its parent's Unix TZ whatever the environment block says,
  // so this starts "/usr/bin/env wine <saver>" with TZ in the block and finds
  // the saver by its image name.
  static SaverProcess StartInTimeZone(const std::wstring& arguments, int utcOffsetMinutes);

  bool started() const { return process_ != nullptr; }
  const std::string& error() const { return error_; }
  DWORD pid() const { return pid_; }
  bool IsRunning() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
  // The exit code once the process has ended, waiting up to `timeout`.
  std::optional<DWORD> WaitForExit(Millis timeout = kTimeout) const;
  void Terminate();
  // Its first visible top-level window of that class and caption, waiting
  // until one shows or it ends.
  HWND WaitForWindow(const wchar_t* windowClass, const wchar_t* caption = nullptr) const;

 private:
  void Adopt(HANDLE process, DWORD pid);
  void Release();
  HANDLE process_ = nullptr, job_ = nullptr;
  DWORD pid_ = 0;
  std::string error_;
};

// The saver ends by itself with exit code 0 within `timeout`; `seenWindow`
// is set if it showed a top-level window meanwhile.
::testing::AssertionResult EndsNormally(const SaverProcess& saver, bool* seenWindow = nullptr,
                                        Millis timeout = kTimeout);

// Top-level windows of process `pid` (any process if 0), of that class and
// caption if given, only visible ones unless `includeHidden`.
std::vector<HWND> TopLevelWindows(DWORD pid, const wchar_t* windowClass = nullptr,
                                  const wchar_t* caption = nullptr, bool includeHidden = false);
std::wstring WindowClass(HWND window);
std::wstring WindowText(HWND window);

// Ends every Lumidial.scr of the prefix (left over from an earlier test).
void KillStraySavers();

// The Lumidial products installed now, by their uninstall entries: the
// product code and "name|publisher|version|address".
std::vector<std::pair<std::wstring, std::wstring>> InstalledLumidials();

struct MsiexecRun {
  DWORD code = 0xFFFFFFFF;              // what it ended with; this if it did not end in time
  std::vector<std::wstring> boxTexts;  // the texts of the message box it showed, if any
};
// "msiexec <arguments>", quietly (/qn) as an administrator deploys a package,
// or with its user interface as a double-click starts it: then the first
// message box it shows is read and answered with OK.
MsiexecRun Msiexec(const std::wstring& arguments, bool quiet = true);

}  // namespace e2e
