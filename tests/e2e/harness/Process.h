// Processes and their windows, for the end-to-end drivers: waiting, starting
// and ending programs (every one a scenario starts is ended again, even when
// it fails half-way), their top-level windows and message boxes, and the
// Windows Installer's msiexec.
#pragma once

#include "ScopedWin.h"

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
bool WaitUntil(const std::function<bool()>& done, Millis timeout = kTimeout, Millis interval = 20ms);
// Dispatches the messages waiting in this thread's queue.
void PumpMessages();

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
// The file an environment variable names (ctest gives Unix paths, which
// Wine's drive Z: reaches).
std::wstring PathFromEnvironment(const wchar_t* name);
inline std::wstring SaverPath() { return PathFromEnvironment(L"LUMIDIAL_SCR"); }

// True when the drivers run from the test bundle (its runner sets
// LUMIDIAL_BUNDLE), on Windows or under Wine: no Unix program may be started
// there, and the Wine-only scenarios are left out (Wine.h).
bool InBundle();

// Starts `commandLine`. A Unix program ("/usr/bin/env ...") comes with no
// process handle, and gets NUL as its standard handles: given the driver's
// own, it would cut off the driver's output to ctest. In the bundle a Unix
// program is never started: trying to fails the scenario.
std::optional<PROCESS_INFORMATION> StartProcess(std::wstring commandLine, DWORD flags = 0,
                                                const std::wstring& environment = {});

// The process ids of the programs named `imageName` running now.
std::vector<DWORD> ProcessesNamed(const wchar_t* imageName);

// A job that ends every process in it when its last handle closes (the
// savers a driver starts, the drivers the bundle's runner starts); none if
// none could be made.
lumidial::UniqueHandle NewKillOnCloseJob();
// How a process ended: "exit code 3221225477 (0xC0000005)".
std::string ExitCodeText(DWORD code);

// One running saver, in a kill-on-close job so that a crashed driver leaves
// none behind; the destructor terminates it.
class SaverProcess {
 public:
  SaverProcess() = default;
  ~SaverProcess() { Terminate(); }
  SaverProcess(SaverProcess&& other) noexcept { *this = std::move(other); }
  SaverProcess& operator=(SaverProcess&& other) noexcept;

  // "Lumidial.scr <arguments>": the saver under test, or the one at `path`.
  static SaverProcess Start(const std::wstring& arguments, const std::wstring& path = SaverPath());
  // A process started otherwise, or `error` when there is none.
  static SaverProcess Adopt(HANDLE process, DWORD pid, const std::string& error = {});

  bool started() const { return process_ != nullptr; }
  const std::string& error() const { return error_; }
  DWORD pid() const { return pid_; }
  bool IsRunning() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  // The exit code once the process has ended, waiting up to `timeout`.
  std::optional<DWORD> WaitForExit(Millis timeout = kTimeout) const;
  void Terminate();
  // Its first visible top-level window of that class and caption, waiting
  // until one shows or it ends.
  HWND WaitForWindow(const wchar_t* windowClass, const wchar_t* caption = nullptr) const;

 private:
  lumidial::UniqueHandle process_, job_;
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
inline RECT WindowRect(HWND window) { RECT rect{}; GetWindowRect(window, &rect); return rect; }
// What a message box says: the text of its static control.
std::wstring BoxText(HWND box);

// The named mutex by which one copy of the saver runs at a time.
inline constexpr char kInstanceMutex[] = "Mervisk";

// Ends every Lumidial.scr running (left over from an earlier scenario).
void KillStraySavers();

// SPI_GETSCREENSAVERRUNNING as a fresh process (FlagProbe.cpp) reads it:
// Wine caches system parameters per process.
std::optional<bool> ScreenSaverRunningFlag();

// The Lumidial products installed now, by their uninstall entries: the
// product code and "name|publisher|version|address".
std::vector<std::pair<std::wstring, std::wstring>> InstalledLumidials();

struct MsiexecRun {
  DWORD code = 0xFFFFFFFF;             // what it ended with; this if it did not end in time
  std::vector<std::wstring> boxTexts;  // the texts of the message box it showed, if any
};
// "msiexec <arguments>", quietly (/qn) as an administrator deploys a package,
// or with its user interface as a double-click starts it: then the first
// message box it shows is read and answered with OK.
MsiexecRun Msiexec(const std::wstring& arguments, bool quiet = true);

}  // namespace e2e
