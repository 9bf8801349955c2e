// Process, window and registry helpers for the end-to-end tests.
//
// These tests drive the real Lumidial.scr under Wine: they start it as a
// separate process, look at its windows and read what it drew from the
// screen. Nothing here stands in for the Windows API; it only makes the
// common steps short and safe (every saver started is ended again, even when
// a test fails half-way).
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Generous default for anything that waits on another process: the
// machines running these tests are shared and slow at times.
inline constexpr Millis kDefaultTimeout = 15s;

// Calls `done` every `interval` until it returns true or `timeout` has
// passed. Returns the last result, so a caller can assert on it.
bool WaitUntil(const std::function<bool()>& done, Millis timeout = kDefaultTimeout,
               Millis interval = 50ms);

// The saver under test, as a Windows path. Taken from the environment
// variable LUMIDIAL_SCR, which may hold a Unix path (/work/...: Wine maps it
// to drive Z:) or a Windows one. Fails the calling test if it is unset.
std::wstring SaverPath();

// "/a/b" -> "Z:\a\b"; Windows paths are returned unchanged.
std::wstring ToWindowsPath(const std::string& path);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// The saver's settings key in HKCU. The constructor deletes the key so that
// every test starts from the defaults; the destructor deletes it again.
class ScratchRegistry {
 public:
  static constexpr const wchar_t* kKeyPath = L"Software\\Orvane\\Lumidial";

  ScratchRegistry();
  ~ScratchRegistry();
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;

  static void DeleteKey();

  void SetDword(const wchar_t* name, DWORD value);
  void SetString(const wchar_t* name, const std::wstring& value);
  void SetBinary(const wchar_t* name, const std::vector<BYTE>& value);
  // Any type and bytes, for values of the wrong type.
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size);
  void Delete(const wchar_t* name);

  std::optional<DWORD> GetDword(const wchar_t* name) const;
  std::optional<std::wstring> GetString(const wchar_t* name) const;
  // The value's registry type, if the value exists.
  std::optional<DWORD> GetType(const wchar_t* name) const;
};

// Exit codes that mean the process died of an exception (access violation,
// stack overflow, heap corruption, ...): NTSTATUS error codes and breakpoints.
bool IsCrashExitCode(DWORD code);
std::string DescribeExitCode(DWORD code);

// One running saver. Starting it puts it in a job object that kills it when
// the test driver ends, so a crashed driver leaves no saver behind; the
// destructor terminates it and waits until it is gone.
class SaverProcess {
 public:
  struct Options {
    // Everything after the program name, exactly as it goes on the command
    // line (e.g. L"/s").
    std::wstring arguments;
    // Extra environment variables, "NAME=value"; they replace variables of
    // the same name in the driver's environment.
    std::vector<std::wstring> environment;
    // Runs the saver with the Unix TZ set to a fixed offset: local time is
    // UTC + utcOffsetMinutes. See StartInTimeZone below.
    std::optional<int> utcOffsetMinutes;
    std::wstring program;  // defaults to SaverPath()
  };

  SaverProcess() = default;
  explicit SaverProcess(const Options& options);
  ~SaverProcess();
  SaverProcess(SaverProcess&& other) noexcept;
  SaverProcess& operator=(SaverProcess&& other) noexcept;
  SaverProcess(const SaverProcess&) = delete;
  SaverProcess& operator=(const SaverProcess&) = delete;

  // Starts `program arguments`. Check started() (and error()) afterwards.
  static SaverProcess Start(const std::wstring& arguments,
                            std::vector<std::wstring> environment = {});

  // Starts the saver in a time zone `utcOffsetMinutes` east of UTC.
  //
  // Wine takes a program's time zone from the Unix TZ variable of its own
  // Unix process, and a Windows child's Unix process inherits the Unix
  // environment of its parent, not the environment block given to
  // CreateProcess. A Unix program started through CreateProcess, though,
  // gets that block as its environment. So this starts "/usr/bin/env wine
  // <saver> <arguments>" with TZ in the block; the saver joins this Wine
  // prefix's server like any other Windows process and is then found by its
  // image name.
  static SaverProcess StartInTimeZone(const std::wstring& arguments, int utcOffsetMinutes);

  bool started() const { return process_ != nullptr; }
  const std::string& error() const { return error_; }
  DWORD pid() const { return pid_; }
  HANDLE handle() const { return process_; }
  std::wstring commandLine() const { return commandLine_; }

  bool IsRunning() const;
  // Waits for the process to end; returns its exit code, or nothing on
  // time-out.
  std::optional<DWORD> WaitForExit(Millis timeout = kDefaultTimeout) const;
  // TerminateProcess and wait until it has gone. Safe to call repeatedly.
  void Terminate();

  // The first visible top-level window of this process with that class (and
  // caption, if given), waiting up to `timeout` for it.
  HWND WaitForWindow(const wchar_t* windowClass, const wchar_t* caption = nullptr,
                     Millis timeout = kDefaultTimeout) const;

 private:
  void Adopt(HANDLE process, DWORD pid);

  HANDLE process_ = nullptr;
  HANDLE job_ = nullptr;
  DWORD pid_ = 0;
  std::wstring commandLine_;
  std::string error_;
};

// Top-level windows of process `pid` (all processes if pid is 0), optionally
// only those with the given class and/or caption, and only visible ones
// unless `includeHidden`.
std::vector<HWND> TopLevelWindows(DWORD pid, const wchar_t* windowClass = nullptr,
                                  const wchar_t* caption = nullptr,
                                  bool includeHidden = false);

// Waits up to `timeout` for a matching top-level window; nullptr if none.
HWND FindTopLevelWindow(DWORD pid, const wchar_t* windowClass, const wchar_t* caption = nullptr,
                        Millis timeout = kDefaultTimeout);

std::wstring WindowClass(HWND window);
std::wstring WindowText(HWND window);

// Process ids of the running processes whose image is named `imageName`
// (case-insensitive, e.g. L"Lumidial.scr").
std::vector<DWORD> ProcessesNamed(const std::wstring& imageName);

// Ends every running Lumidial.scr process in this Wine prefix and waits for
// them to go; returns how many there were. Tests call it before they start,
// in case an earlier test left one behind.
int KillStraySavers();

}  // namespace e2e
