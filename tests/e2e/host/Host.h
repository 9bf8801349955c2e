// The driver's side of the host-mode tests: it plays the screen-saver host
// (its windows are what the saver paints into or owns its boxes with), puts
// the mpr.dll doubles in place for the saver, and probes shared state.
#pragma once

#include "SaverTest.h"
#include "resource.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace e2e {

// The driver's own window colour: a window the saver did not paint never
// looks like one it did.
inline constexpr COLORREF kHostColour = RGB(40, 60, 200);

// WaitUntil that keeps the driver's windows answering: the saver sends
// messages to them (as a box's owner), and an unanswered window stalls it.
inline bool PumpUntil(const std::function<bool()>& done, Millis timeout = kDefaultTimeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

inline std::wstring EnvPath(const wchar_t* name) {
  wchar_t value[MAX_PATH * 2] = {};
  if (!GetEnvironmentVariableW(name, value, MAX_PATH * 2)) ADD_FAILURE() << Narrow(name) << " unset";
  return ToWindowsPath(Narrow(value));
}

// A top-level, top-most window of the driver's, shown without activation.
// Not a child window, as a real host's would be: under Wine 8 another
// process's drawing into a child window never reaches the screen (its DC
// reads back CLR_INVALID).
class HostWindow {
 public:
  HostWindow(POINT at, SIZE size, bool visible = true) {
    static const ATOM registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hbrBackground = CreateSolidBrush(kHostColour);
      wc.lpszClassName = L"LumidialTestHost";
      return RegisterClassW(&wc);
    }();
    window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, MAKEINTATOM(registered), L"Host",
                              WS_POPUP, at.x, at.y, size.cx, size.cy, nullptr, nullptr, nullptr, nullptr);
    if (visible) ShowWindow(window_, SW_SHOWNA);
  }
  ~HostWindow() { Destroy(); }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  HWND handle() const { return window_; }
  // The handle as a host puts it on the command line.
  std::wstring Number() const { return std::to_wstring(reinterpret_cast<INT_PTR>(window_)); }
  RECT Rect() const {
    RECT rect{};
    GetWindowRect(window_, &rect);
    return rect;
  }
  void Hide() { ShowWindow(window_, SW_HIDE); }
  void Destroy() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
  }
  // The screen shows all of the window in the driver's colour.
  bool ShowsOwnColour() const {
    Image shown = GrabScreen(Rect());
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x)
        if (RGB(shown.At(x, y).r, shown.At(x, y).g, shown.At(x, y).b) != kHostColour) return false;
    return !shown.empty();
  }
  bool WaitUntilPainted() const { return PumpUntil([&] { return ShowsOwnColour(); }); }

 private:
  HWND window_ = nullptr;
};

// Puts a double of the password provider library where the saver loads it
// from (system32\mpr.dll) and has Wine load that file for Lumidial.scr
// only. Disabled sets the override to "" instead: the library then does not
// load at all. The destructor puts the original file and settings back.
class ProviderLibrary {
 public:
  enum Kind { Double, WithoutEntry, Disabled };
  explicit ProviderLibrary(Kind kind) {
    wchar_t directory[MAX_PATH] = {};
    GetSystemDirectoryW(directory, MAX_PATH);
    installed_ = std::wstring(directory) + L"\\mpr.dll";
    backup_ = installed_ + L".lumidial-original";
    Restore();  // after a driver killed half-way
    if (kind != Disabled) {
      std::wstring source = EnvPath(kind == Double ? L"LUMIDIAL_MPR_DOUBLE" : L"LUMIDIAL_MPR_WITHOUT_ENTRY");
      if (!CopyFileW(installed_.c_str(), backup_.c_str(), FALSE) ||
          !CopyFileW(source.c_str(), installed_.c_str(), FALSE))
        return;
    }
    const wchar_t* order = kind == Disabled ? L"" : L"native";
    ready_ = RegSetKeyValueW(HKEY_CURRENT_USER, kOverrides, L"mpr", REG_SZ, order,
                             static_cast<DWORD>((wcslen(order) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  ~ProviderLibrary() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kOverrides, L"mpr");
    Restore();
  }
  bool ready() const { return ready_; }
  // "C:\windows\system32\MPR.DLL", as the saver names it.
  static std::string SaverPath() {
    char directory[MAX_PATH] = {};
    GetSystemDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\MPR.DLL";
  }

 private:
  static constexpr const wchar_t* kOverrides = L"Software\\Wine\\AppDefaults\\Lumidial.scr\\DllOverrides";
  void Restore() {
    if (GetFileAttributesW(backup_.c_str()) != INVALID_FILE_ATTRIBUTES)
      MoveFileExW(backup_.c_str(), installed_.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  std::wstring installed_, backup_;
  bool ready_ = false;
};

// What the mpr double recorded of the calls it got.
inline constexpr const wchar_t* kDoubleRecord = L"Software\\Lumidial Tests\\Doubles";
inline void ClearDoubleRecord() { RegDeleteTreeW(HKEY_CURRENT_USER, kDoubleRecord); }
inline std::optional<DWORD> Recorded(const wchar_t* name) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, kDoubleRecord, name, RRF_RT_REG_DWORD, nullptr, &value, &size))
    return std::nullopt;
  return value;
}
inline std::wstring RecordedProvider() {
  wchar_t value[64] = {};
  DWORD size = sizeof value;
  RegGetValueW(HKEY_CURRENT_USER, kDoubleRecord, L"ChangeProvider", RRF_RT_REG_SZ, nullptr, value, &size);
  return value;
}

inline bool InstanceMutexExists() {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "Mervisk");
  if (mutex) CloseHandle(mutex);
  return mutex != nullptr;
}

// Starts `application` (or, without one, the Unix program in `commandLine`:
// "/usr/bin/env xdotool ..."). Wine hands back no handle for a Unix program,
// so callers wait for its effect. The child gets NUL as its standard
// handles: a Unix program given the driver's own would cut off the
// driver's output to ctest from then on.
inline HANDLE StartProcess(const wchar_t* application, std::wstring commandLine) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inheritable, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessW(application, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &info);
  CloseHandle(nul);
  if (!started) return INVALID_HANDLE_VALUE;
  if (info.hThread) CloseHandle(info.hThread);
  return info.hProcess;
}
inline bool RunUnix(const std::wstring& commandLine) {
  HANDLE process = StartProcess(nullptr, L"/usr/bin/env " + commandLine);
  if (process && process != INVALID_HANDLE_VALUE) CloseHandle(process);
  return process != INVALID_HANDLE_VALUE;
}

// SPI_GETSCREENSAVERRUNNING as a fresh process reads it (FlagProbe.cpp):
// Wine caches system parameters per process on first read, so the
// driver's own reading would go stale.
inline std::optional<bool> ScreenSaverRunningFlag() {
  const std::wstring probe = EnvPath(L"LUMIDIAL_FLAG_PROBE");
  HANDLE process = StartProcess(probe.c_str(), L"probe");
  if (!process || process == INVALID_HANDLE_VALUE) return std::nullopt;
  DWORD code = 2;
  if (WaitForSingleObject(process, 15000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code <= 1 ? std::optional<bool>(code == 1) : std::nullopt;
}

// Waits (pumping) until `saver` ends and returns how long that took.
// `seenWindow` is set if the process showed a top-level window (of
// `windowClass`, if given) meanwhile.
inline std::optional<Millis> TimeUntilExit(const SaverProcess& saver, bool* seenWindow = nullptr,
                                           const wchar_t* windowClass = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  if (!PumpUntil([&] {
        if (seenWindow && !TopLevelWindows(saver.pid(), windowClass).empty()) *seenWindow = true;
        return !saver.IsRunning();
      }))
    return std::nullopt;
  return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start);
}

inline bool EndedNormally(const SaverProcess& saver) { return saver.WaitForExit(0ms) == DWORD{0}; }

// The preview picture (IDB_PREVIEW) of the saver under test.
inline const Image& PreviewPicture() {
  static const Image picture = [] {
    HMODULE module = LoadLibraryExW(SaverPath().c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    Image image = module ? LoadBitmapResource(module, IDB_PREVIEW) : Image();
    if (module) FreeLibrary(module);
    return image;
  }();
  return picture;
}

// Pixels of `shown` (a host window's area on the screen) unlike the preview
// as it belongs there: the picture at (0,0), clipped, black beyond it.
inline int PreviewMismatches(const Image& shown) {
  const Image& picture = PreviewPicture();
  int mismatches = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) {
      const Rgb want = x < picture.width() && y < picture.height() ? picture.At(x, y) : Rgb{};
      const Rgb got = shown.At(x, y);
      mismatches += std::abs(want.r - got.r) > 24 || std::abs(want.g - got.g) > 24 ||
                    std::abs(want.b - got.b) > 24;
    }
  return mismatches;
}

// Waits (pumping) until `host` shows the preview; false if it did not or
// `saver` ended first. Sets `seenClock` if a clock window showed meanwhile.
inline bool WaitForPreview(const SaverProcess& saver, const HostWindow& host, bool& seenClock) {
  bool shown = false;
  PumpUntil([&] {
    if (!TopLevelWindows(saver.pid(), kMainClass).empty()) seenClock = true;
    shown = PreviewMismatches(GrabScreen(host.Rect())) == 0;
    return shown || !saver.IsRunning();
  });
  return shown;
}

}  // namespace e2e
