#include "Preflight.h"

#include "harness/Input.h"
#include "harness/Screen.h"
#include "ScopedWin.h"

#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <type_traits>

namespace bundle {

namespace {

using namespace std::chrono_literals;

struct DesktopDeleter {
  void operator()(HDESK desktop) const noexcept { if (desktop) CloseDesktop(desktop); }
};
using UniqueDesktop = std::unique_ptr<std::remove_pointer_t<HDESK>, DesktopDeleter>;

std::wstring ErrorText(DWORD error) { return L" (error " + std::to_wstring(error) + L")"; }

std::wstring DesktopName(HDESK desktop) {
  wchar_t name[256] = {};
  DWORD needed = 0;
  if (!GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof name - sizeof *name, &needed)) return L"?";
  return name;
}

// The desktop that gets the keyboard and mouse must be this program's: a
// locked screen and a User Account Control prompt are desktops of their own,
// which a user's program cannot even open.
std::wstring DesktopProblem() {
  UniqueDesktop input(OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS));
  if (!input) {
    return L"The keyboard and mouse go to a desktop this program cannot open" + ErrorText(GetLastError()) +
           L": the screen is locked, or a User Account Control prompt is waiting. Unlock the screen or "
           L"answer the prompt, then run the tests again.";
  }
  const std::wstring inputName = DesktopName(input.get());
  const std::wstring ours = DesktopName(GetThreadDesktop(GetCurrentThreadId()));
  if (_wcsicmp(inputName.c_str(), ours.c_str()) != 0) {
    return L"The keyboard and mouse go to the desktop \"" + inputName + L"\", not to this program's (\"" + ours +
           L"\"): run the tests on the desktop you are looking at.";
  }
  return {};
}

// The integrity level of a process's token (SECURITY_MANDATORY_*_RID); none
// when its token cannot be read, which for a program of another user or of
// higher rights is the case.
std::optional<DWORD> IntegrityLevel(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return std::nullopt;
  lumidial::UniqueHandle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
  if (size == 0) return std::nullopt;
  auto buffer = std::make_unique<BYTE[]>(size);
  if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.get(), size, &size)) return std::nullopt;
  const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.get());
  const DWORD count = *GetSidSubAuthorityCount(label->Label.Sid);
  return *GetSidSubAuthority(label->Label.Sid, count - 1);
}

// Names the window that kept the foreground from the check window and its
// program, and says when that runs with higher rights than the tests.
std::wstring ForegroundProblem(HWND foreground) {
  if (!foreground) {
    return L"No window has the foreground, and the tests' own window could not take it: close other "
           L"programs, and run the tests again.";
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(foreground, &pid);
  const lumidial::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  const bool denied = !process && GetLastError() == ERROR_ACCESS_DENIED;
  const auto theirs = process ? IntegrityLevel(process.get()) : std::nullopt;
  const auto ours = IntegrityLevel(GetCurrentProcess());
  std::wstring text = L"The foreground is " + e2e::Widen(e2e::Describe(foreground)) +
                      L", and the tests' own window could not take it.";
  if (process ? !theirs || (ours && *theirs > *ours) : denied) {
    text += L" That program runs with higher rights than the tests (as administrator, say): Windows lets "
            L"no key or pointer move of theirs reach it.";
  }
  return text + L" Close or minimise it, close other programs, and run the tests again.";
}

// The check window's face: a colour no desktop shows by chance.
constexpr COLORREF kFace = RGB(0x30, 0x90, 0xD0);

// What the check window has been sent.
struct Received {
  bool keyDown = false, keyUp = false;
  std::optional<POINT> lastMove;  // in screen coordinates
};

LRESULT CALLBACK CheckWindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  auto* received = reinterpret_cast<Received*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
      if (received && wp == VK_SHIFT) (message == WM_KEYDOWN ? received->keyDown : received->keyUp) = true;
      return 0;
    case WM_MOUSEMOVE:
      if (received) {
        POINT at{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        ClientToScreen(window, &at);
        received->lastMove = at;
      }
      return 0;
    case WM_PAINT: {
      const lumidial::ScopedPaint paint(window);  // on the class's brush, the face
      RECT client;
      GetClientRect(window, &client);
      SetBkMode(paint.dc(), TRANSPARENT);
      DrawTextW(paint.dc(), L"Lumidial tests: checking that input reaches this window", -1, &client,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wp, lp);
  }
}

// Shows a window of this program, makes it the foreground (clicking it if
// Windows will not let the program bring it forward by itself), checks that
// the screen shows it, and sends it a Shift key and two pointer moves, as
// the drivers will send theirs.
std::wstring SendInputProblem() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = CheckWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = CreateSolidBrush(kFace);
  wc.lpszClassName = L"LumidialTestsInputCheck";
  RegisterClassW(&wc);

  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = 480, height = 120;
  lumidial::UniqueWindow window(CreateWindowExW(
      WS_EX_TOPMOST, wc.lpszClassName, L"Lumidial tests", WS_POPUP | WS_BORDER,
      (work.left + work.right - width) / 2, (work.top + work.bottom - height) / 2, width, height, nullptr,
      nullptr, instance, nullptr));
  if (!window) return L"The tests' own window could not be made" + ErrorText(GetLastError()) + L".";
  Received received;
  SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));
  ShowWindow(window.get(), SW_SHOWNORMAL);
  UpdateWindow(window.get());

  const RECT frame = e2e::WindowRect(window.get());
  const POINT middle{(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
  // Windows lets a program take the foreground only in some cases (its
  // console in front, say); a click on its own window always brings it.
  SetForegroundWindow(window.get());
  if (!e2e::HoldsForeground(window.get(), 2s) &&
      (!e2e::MovePointer(middle) || !e2e::Click(window.get()) || !e2e::HoldsForeground(window.get())))
    return ForegroundProblem(GetForegroundWindow());
  // Messages left from the window's showing and the key above.
  e2e::WaitUntil([] { return false; }, 200ms);
  received = {};

  // Through the drivers' own input, so that what is checked is what they send.
  const bool keyArrived = e2e::PressKey(VK_SHIFT, window.get()) &&
                          e2e::WaitUntil([&] { return received.keyDown && received.keyUp; }, 5s);
  // A screen that cannot be read (a remote session disconnected, say, is
  // captured black) would fail every picture check.
  const RECT corner{frame.left + 4, frame.top + 4, frame.left + 24, frame.top + 24};
  const e2e::Rgb face{GetRValue(kFace), GetGValue(kFace), GetBValue(kFace)};
  if (!e2e::WaitUntil([&] { return e2e::Unlike(corner, face) == 0; }, 5s)) {
    return L"The screen cannot be read: where the tests' own window shows, the screen reads otherwise (black, "
           L"in a remote desktop session that is disconnected or minimised). Run the tests on a desktop you are "
           L"looking at.";
  }

  const bool moveArrived =
      e2e::MovePointer({middle.x - 40, middle.y - 10}) && e2e::MovePointer(middle) && e2e::WaitUntil([&] {
        return received.lastMove && received.lastMove->x == middle.x && received.lastMove->y == middle.y;
      }, 5s);

  if (keyArrived && moveArrived) return {};
  std::wstring what = !keyArrived && !moveArrived ? L"neither a key nor a pointer move"
                      : !keyArrived              ? L"no key (a pointer move did)"
                                                 : L"no pointer move (a key did)";
  return L"Input sent by the tests does not arrive: " + what +
         L" reached their own window in the foreground. Another program may be filtering input (a remote "
         L"desktop or a screen-recording tool, say): close it, and run the tests again.";
}

}  // namespace

std::wstring InputProblem() {
  std::wstring problem = DesktopProblem();
  if (problem.empty()) problem = SendInputProblem();
  return problem;
}

}  // namespace bundle
