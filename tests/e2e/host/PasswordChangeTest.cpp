// The password change: the saver hands it to the provider library's
// PwdChangePasswordA and shows no window of its own; what goes wrong is
// reported in one error box, and the process ends when that is dismissed.
#include "Host.h"

namespace e2e {
namespace {

class PasswordChange : public SaverTest {
 protected:
  void SetUp() override {
    SaverTest::SetUp();
    ClearDoubleRecord();
  }
  void TearDown() override {
    ClearDoubleRecord();
    SaverTest::TearDown();
  }
};

// Mean difference between the icon on the screen at `rect` and the system
// icon `id` drawn there by the driver on the same background.
double IconDifference(const RECT& rect, LPCWSTR id) {
  const Image shown = GrabScreen(rect);
  const int width = shown.width(), height = shown.height();
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const Rgb corner = shown.At(0, 0);  // icons leave their corners clear
  HBRUSH background = CreateSolidBrush(RGB(corner.r, corner.g, corner.b));
  const RECT all{0, 0, width, height};
  FillRect(memory, &all, background);
  DrawIconEx(memory, 0, 0, static_cast<HICON>(LoadImageW(nullptr, id, IMAGE_ICON, width, height, LR_SHARED)),
             width, height, 0, nullptr, DI_NORMAL);
  Image drawn(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF c = GetPixel(memory, x, y);
      drawn.Set(x, y, Rgb{GetRValue(c), GetGValue(c), GetBValue(c)});
    }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteObject(background);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return Difference(shown, 0, 0, drawn);
}

// A message box as seen from outside: its text is its static control's.
struct Box {
  std::wstring text;
  int buttons = 0;
  bool errorIcon = false;
};

BOOL CALLBACK ReadBoxChild(HWND child, LPARAM param) {
  Box& box = *reinterpret_cast<Box*>(param);
  const std::wstring cls = WindowClass(child);
  if (_wcsicmp(cls.c_str(), L"Button") == 0) box.buttons += IsWindowVisible(child) ? 1 : 0;
  if (_wcsicmp(cls.c_str(), L"Static") != 0) return TRUE;
  if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    RECT rect{};
    GetWindowRect(child, &rect);
    // Measured: 0 against the error icon, over 60 against the warning and
    // information icons.
    box.errorIcon = IconDifference(rect, IDI_ERROR) < 8;
  } else if (!WindowText(child).empty()) {
    box.text = WindowText(child);
  }
  return TRUE;
}

TEST_F(PasswordChange, HandsTheChangeToTheProvider) {
  ProviderLibrary library(ProviderLibrary::Double);
  ASSERT_TRUE(library.ready());
  for (const wchar_t* arguments : {L"/a 1234", L"/a:1234"}) {
    SCOPED_TRACE(Narrow(arguments));
    ClearDoubleRecord();
    SaverProcess saver = SaverProcess::Start(arguments);
    ASSERT_TRUE(saver.started()) << saver.error();
    bool seenWindow = false;
    ASSERT_TRUE(TimeUntilExit(saver, &seenWindow)) << "the saver ends after the change";
    EXPECT_TRUE(EndedNormally(saver)) << "it ends normally";
    EXPECT_FALSE(seenWindow) << "the password change shows no window of the saver's";
    EXPECT_EQ(Recorded(L"ChangeCalls"), 1u) << "PwdChangePasswordA is called once";
    EXPECT_EQ(RecordedProvider(), L"SCRSAVE") << "for the screen saver's provider";
    EXPECT_EQ(Recorded(L"ChangeOwner"), 1234u) << "owned by the handle given";
    EXPECT_EQ(Recorded(L"ChangeReserved1"), 0u) << "reserved arguments are 0";
    EXPECT_EQ(Recorded(L"ChangeReserved2"), 0u) << "reserved arguments are 0";
  }
}

TEST_F(PasswordChange, ReportsEachProblemInOneErrorBox) {
  HostWindow owner({100, 100}, {152, 112});
  const std::string path = ProviderLibrary::SaverPath();
  const std::string noLibrary = "Could not load library " + path + " -  The password cannot be changed";
  const std::string noEntry = "Libarary " + path + " does not contain PwdChangePasswordA used to set the password!";
  // The box is owned by the command-line handle when that is a window.
  struct Case {
    ProviderLibrary::Kind library;
    std::wstring arguments;
    std::string text;
    HWND owner;
  } const cases[] = {
      {ProviderLibrary::Double, L"/a", "'' is not a valid integer value", nullptr},
      {ProviderLibrary::WithoutEntry, L"/a:" + owner.Number(), noEntry, owner.handle()},
      {ProviderLibrary::Disabled, L"/a " + owner.Number(), noLibrary, owner.handle()},
      {ProviderLibrary::Disabled, L"/a 1234", noLibrary, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.arguments) + " -> " + c.text);
    ProviderLibrary library(c.library);
    ASSERT_TRUE(library.ready());
    SaverProcess saver = SaverProcess::Start(c.arguments);
    ASSERT_TRUE(saver.started()) << saver.error();
    HWND window = nullptr;
    PumpUntil([&] {
      auto boxes = TopLevelWindows(saver.pid(), L"#32770", L"Mervisk");
      window = boxes.empty() ? nullptr : boxes.front();
      return window || !saver.IsRunning();
    });
    ASSERT_TRUE(window) << "an error box captioned \"Mervisk\" shows";
    PumpUntil([] { return false; }, 300ms);  // painted, so that its icon can be read
    Box box;
    EnumChildWindows(window, ReadBoxChild, reinterpret_cast<LPARAM>(&box));
    EXPECT_EQ(Narrow(box.text), c.text) << "the box says what went wrong";
    EXPECT_EQ(GetWindow(window, GW_OWNER), c.owner) << "owned by the command-line window, if any";
    EXPECT_EQ(box.buttons, 1) << "the box has one button, OK";
    EXPECT_TRUE(box.errorIcon) << "the box shows the error icon";
    EXPECT_EQ(TopLevelWindows(saver.pid()).size(), 1u) << "the box is the saver's only window";

    PostMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(TimeUntilExit(saver)) << "pressing OK ends the saver, with no second box";
    EXPECT_TRUE(EndedNormally(saver)) << "it ends normally";
    EXPECT_FALSE(Recorded(L"ChangeCalls")) << "no change is made";
  }
}

}  // namespace
}  // namespace e2e
