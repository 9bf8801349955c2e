#include "RunModeDriver.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace e2e::runmode {

namespace {

std::string UnixPathOf(const std::wstring& windowsPath) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* path = toUnix ? toUnix(windowsPath.c_str()) : nullptr;
  std::string unix(path ? path : "");
  if (path) HeapFree(GetProcessHeap(), 0, path);
  return unix;
}

bool Lit(Rgb p) { return p.r > 40 || p.g > 40 || p.b > 40; }

// Rightmost lit column of a picture; topmost lit row within columns
// [left, right). -1 when nothing is lit.
int RightmostLit(const Image& image) {
  for (int x = image.width() - 1; x >= 0; --x)
    for (int y = 0; y < image.height(); ++y)
      if (Lit(image.At(x, y))) return x;
  return -1;
}

int TopmostLit(const Image& image, int left, int right) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = std::max(left, 0); x < std::min(right, image.width()); ++x)
      if (Lit(image.At(x, y))) return y;
  return -1;
}

}  // namespace

std::wstring PathFromEnvironment(const wchar_t* name) {
  wchar_t buffer[MAX_PATH * 2];
  DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
  if (n > 0 && n < MAX_PATH * 2) return ToWindowsPath(Narrow(std::wstring(buffer, n)));
  ADD_FAILURE() << Narrow(name) << " is not set (tests/e2e/runmode/CMakeLists.txt sets it)";
  return {};
}

::testing::AssertionResult Xdotool(const std::string& arguments) {
  // Wine starts a Unix program without handing back a process handle, so
  // the shell leaves xdotool's exit status in a file once it has finished.
  static int serial = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring marker = std::wstring(temp) + L"lumidial-xdotool-" +
                        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
  std::string unixMarker = UnixPathOf(marker);
  if (unixMarker.empty())
    return ::testing::AssertionFailure() << "no Unix path for " << Narrow(marker);
  DeleteFileW(marker.c_str());
  std::wstring command = Widen("/bin/sh -c \"/usr/bin/xdotool " + arguments + "; echo $? > '" +
                               unixMarker + ".tmp' && mv '" + unixMarker + ".tmp' '" +
                               unixMarker + "'\"");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return ::testing::AssertionFailure() << "could not start " << Narrow(command) << ": error "
                                         << GetLastError();
  if (info.hThread) CloseHandle(info.hThread);
  if (info.hProcess) CloseHandle(info.hProcess);

  int status = -1;
  bool finished = WaitUntil(
      [&] {
        FILE* file = _wfopen(marker.c_str(), L"r");
        if (!file) return false;
        if (std::fscanf(file, "%d", &status) != 1) status = -1;
        std::fclose(file);
        return true;
      },
      kDefaultTimeout, 10ms);
  DeleteFileW(marker.c_str());
  if (!finished) return ::testing::AssertionFailure() << "xdotool " << arguments << " never finished";
  if (status != 0)
    return ::testing::AssertionFailure() << "xdotool " << arguments << " failed: status " << status;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult PointerSeenAt(int x, int y) {
  // A notifying static control takes the pointer's messages like any window.
  HWND probe = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Static", L"",
                               WS_POPUP | WS_VISIBLE | SS_NOTIFY, 0, 0,
                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                               nullptr, nullptr, nullptr, nullptr);
  if (!probe) return ::testing::AssertionFailure() << "no probe window: " << GetLastError();
  // Two moves, so that the X server reports motion even if the pointer
  // already was at (x, y).
  auto moved = Xdotool("mousemove " + std::to_string(x + 8) + " " + std::to_string(y + 8));
  if (moved) moved = Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
  POINT last{-1, -1};
  bool seen = moved && WaitUntil([&] {
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                  if (message.message == WM_MOUSEMOVE && message.hwnd == probe)
                    last = {GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
                  DispatchMessageW(&message);
                }
                return last.x == x && last.y == y;
              });
  DestroyWindow(probe);
  if (!moved || seen) return moved;
  return ::testing::AssertionFailure() << "the driver's window never saw the pointer at (" << x
                                       << "," << y << "); last (" << last.x << "," << last.y
                                       << ")";
}

std::optional<bool> ScreenSaverRunningFlag() {
  std::wstring program = PathFromEnvironment(L"LUMIDIAL_SAVER_FLAG_PROBE");
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info))
    return std::nullopt;
  DWORD code = 2;
  if (WaitForSingleObject(info.hProcess, 15000) == WAIT_OBJECT_0)
    GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  if (code > 1) return std::nullopt;
  return code == 1;
}

// ---------------------------------------------------------------------------

SaverProcess RunModeTest::StartSaver(POINT pointer, HWND* window) {
  EXPECT_TRUE(PointerSeenAt(pointer.x, pointer.y));
  SaverProcess saver = SaverProcess::Start(L"/s");
  EXPECT_TRUE(saver.started()) << saver.error();
  HWND found = saver.started() ? saver.WaitForWindow(kMainClass, kMainCaption) : nullptr;
  EXPECT_NE(found, nullptr) << "no run-mode window";
  // A tick has happened once a whole clock is on the screen, wherever it
  // has drifted to.
  if (found) {
    EXPECT_TRUE(WaitUntil([&] { return PanelOnScreen(GrabScreen()) || !saver.IsRunning(); }) &&
                saver.IsRunning())
        << "no clock on the screen; screenshot " << Narrow(SaveScreenshot("no-clock"));
  }
  if (window) *window = found;
  return saver;
}

bool RunModeTest::KeepsTicking(const SaverProcess& saver, int ticks) {
  ClockReader reader = Reader();
  std::optional<bool> colon;
  int changes = 0;
  WaitUntil(
      [&] {
        if (!saver.IsRunning()) return true;
        ClockReading reading = reader.ReadScreen();
        if (!reading.recognised || !reading.showsTime()) return false;
        if (colon && *colon != reading.colonShown) ++changes;
        colon = reading.colonShown;
        return changes >= ticks;
      },
      kDefaultTimeout, 100ms);
  return saver.IsRunning() && changes >= ticks;
}

::testing::AssertionResult RunModeTest::EndsNormally(const SaverProcess& saver) {
  std::optional<DWORD> code = saver.WaitForExit(kDefaultTimeout);
  if (!code)
    return ::testing::AssertionFailure() << "still running " << kDefaultTimeout.count()
                                         << " ms later";
  if (*code != 0)
    return ::testing::AssertionFailure() << "ended with exit code " << DescribeExitCode(*code);
  return ::testing::AssertionSuccess();
}

std::optional<POINT> RunModeTest::PanelOnScreen(const Image& screen) const {
  const Artwork& art = Art();
  const int right = RightmostLit(screen);
  if (right < 0) return std::nullopt;
  // The minute-units digit is the rightmost picture: each digit's artwork
  // says where its picture would start, and the best match wins.
  double best = 100.0;
  POINT minuteUnits{};
  for (const Image& digit : art.digits) {
    const int x = right - RightmostLit(digit);
    const int top = TopmostLit(screen, x, x + digit.width());
    if (top < 0) continue;
    const int y = top - TopmostLit(digit, 0, digit.width());
    const double score = Difference(screen, x, y, digit);
    if (score < best) best = score, minuteUnits = {x, y};
  }
  if (best > 0.5) return std::nullopt;
  const int offset = ClockLayout::kPictureX[4];
  for (int shift : {0, ClockLayout::kOneDigitShift}) {
    ClockLayout layout{POINT{minuteUnits.x - offset - shift, minuteUnits.y}};
    ClockReading reading = ClockReader(art, layout).Read(screen);
    // A blank hour tens reads as well as a picture shifted by a digit: the
    // clock shows the first only with two hour digits, the second with one.
    if (reading.recognised && reading.showsTime() && reading.shift == shift &&
        reading.digits[0].has_value() == (shift == 0))
      return layout.panel;
  }
  return std::nullopt;
}

}  // namespace e2e::runmode
