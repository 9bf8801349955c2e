#include "DialogDriver.h"

#include "ConfigureIds.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace e2e {

namespace {

constexpr wchar_t kHostClass[] = L"LumidialTestHost";
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

void RegisterHostClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kHostClass;
    return RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
}

std::wstring Formatted(int (*format)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int),
                       DWORD flags, const SYSTEMTIME& time) {
  wchar_t buffer[128] = {};
  int length = format(LOCALE_USER_DEFAULT, flags, &time, nullptr, buffer, 128);
  return length > 0 ? std::wstring(buffer, static_cast<size_t>(length - 1)) : std::wstring();
}

}  // namespace

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool PumpUntil(const std::function<bool()>& done, Millis timeout) {
  return WaitUntil(
      [&] {
        PumpMessages();
        return done();
      },
      timeout, 20ms);
}

bool SettingsKeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, ScratchRegistry::kKeyPath, 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

std::wstring LocaleDate(int year, int month, int day) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  return Formatted(GetDateFormatW, DATE_SHORTDATE, time);
}

std::wstring LocaleDateTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  time.wSecond = static_cast<WORD>(second);
  return Formatted(GetDateFormatW, DATE_SHORTDATE, time) + L" " +
         Formatted(GetTimeFormatW, 0, time);
}

// ---------------------------------------------------------------------------
// HostWindows

HostWindows::HostWindows(int left, int top) {
  RegisterHostClass();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  host_ = CreateWindowExW(0, kHostClass, L"Screen Saver Settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                          left, top, 300, 200, nullptr, nullptr, instance, nullptr);
  if (host_)
    child_ = CreateWindowExW(0, kHostClass, L"Preview", WS_CHILD | WS_VISIBLE, 10, 10, 120, 90,
                             host_, nullptr, instance, nullptr);
  PumpMessages();
}

HostWindows::~HostWindows() {
  if (host_) DestroyWindow(host_);
  PumpMessages();
}

std::wstring HostWindows::ChildNumber() const {
  return std::to_wstring(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(child_)));
}

// ---------------------------------------------------------------------------
// PixelDensityOverride

PixelDensityOverride::PixelDensityOverride(DWORD dpi) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS)
    return;
  if (RegQueryValueExW(key, L"LogPixels", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    applied_ = RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                              sizeof dpi) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
}

PixelDensityOverride::~PixelDensityOverride() {
  if (applied_) RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
}

// ---------------------------------------------------------------------------
// DialogTest

void DialogTest::SetUp() {
  int stray = KillStraySavers();
  if (stray) std::fprintf(stderr, "note: ended %d saver(s) left running before this test\n", stray);
  WaitUntil([] { return TopLevelWindows(0, lumidial::cfg::kFormClass).empty(); });
}

void DialogTest::TearDown() {
  saver.Terminate();
  KillStraySavers();
}

void DialogTest::Open(const std::wstring& arguments) {
  saver = SaverProcess::Start(arguments);
  ASSERT_TRUE(saver.started()) << saver.error();
  PumpUntil([&] {
    auto windows = TopLevelWindows(saver.pid(), lumidial::cfg::kFormClass, kDialogCaption);
    dialog = windows.empty() ? nullptr : windows.front();
    return dialog != nullptr;
  });
  ASSERT_NE(dialog, nullptr) << "no visible dialog titled \"" << Narrow(kDialogCaption) << "\"";
}

bool DialogTest::Checked(int id) const {
  return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int DialogTest::Selection(int id) const {
  return static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0));
}

std::wstring DialogTest::Text(int id) const {
  wchar_t buffer[256] = {};
  LRESULT length = SendMessageW(Item(id), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer));
  return std::wstring(buffer, static_cast<size_t>(std::max<LRESULT>(length, 0)));
}

HWND DialogTest::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

RECT DialogTest::Bounds(int id) const {
  RECT rect{};
  GetWindowRect(Item(id), &rect);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void DialogTest::Click(int id) { PostMessageW(Item(id), BM_CLICK, 0, 0); }

void DialogTest::Choose(int id, int index) {
  HWND list = Item(id);
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void DialogTest::Press(WORD key, bool shift) {
  INPUT inputs[4] = {};
  UINT count = 0;
  auto add = [&](WORD vk, bool up) {
    inputs[count].type = INPUT_KEYBOARD;
    inputs[count].ki.wVk = vk;
    inputs[count].ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    inputs[count].ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ++count;
  };
  if (shift) add(VK_SHIFT, false);
  add(key, false);
  add(key, true);
  if (shift) add(VK_SHIFT, true);
  EXPECT_EQ(SendInput(count, inputs, sizeof(INPUT)), count) << "SendInput";
}

::testing::AssertionResult DialogTest::Ends() {
  if (!PumpUntil([&] { return !saver.IsRunning(); }))
    return ::testing::AssertionFailure() << "the saver is still running";
  DWORD code = 0;
  GetExitCodeProcess(saver.handle(), &code);
  if (code != 0) return ::testing::AssertionFailure() << "exit code " << DescribeExitCode(code);
  return ::testing::AssertionSuccess();
}

}  // namespace e2e
