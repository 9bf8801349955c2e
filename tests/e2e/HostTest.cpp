// The modes a screen-saver host drives: the preview in a window of the
// host's, the password change through the provider library (the mpr.dll
// doubles), and the single-instance guard between copies. The driver plays
// the host: the saver paints into its windows or owns its boxes with them.
#include "SaverTest.h"

#include <sddl.h>

#include <memory>

namespace e2e {
namespace {

bool InstanceMutexExists() { return lumidial::UniqueHandle(OpenMutexA(SYNCHRONIZE, FALSE, kInstanceMutex)) != nullptr; }

class Host : public SaverTest {
 protected:
  // Every window of the saver answers a message sent to it within the
  // time-out a program announcing a setting to every window gives each
  // (3 s): a preview that answered nothing would hold such a program up,
  // and on Windows a shutdown's query too.
  static ::testing::AssertionResult AnswersSentMessages(const SaverProcess& saver) {
    const std::vector<HWND> windows = TopLevelWindows(saver.pid(), nullptr, nullptr, true);
    if (windows.empty()) return ::testing::AssertionFailure() << "the saver has no window";
    for (HWND window : windows) {
      DWORD_PTR answer = 0;
      if (!SendMessageTimeoutW(window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Lumidial tests"),
                               SMTO_NORMAL, 3000, &answer))
        return ::testing::AssertionFailure() << "its " << Narrow(WindowClass(window))
                                             << " window did not answer within 3 s (error " << GetLastError() << ")";
    }
    return ::testing::AssertionSuccess();
  }
};

class HostWineOnly : public WineOnly<Host> {
 public:
  HostWineOnly() : WineOnly("the password library's double (mpr.dll) through a Wine DLL override") {}
};

TEST_F(Host, PreviewPaintsTheHostWindowUntilItHidesAndNothingWithoutOne) {
  NEEDS_96_DPI();
  ASSERT_EQ(Art().preview.width(), 160) << "the preview picture loads from the saver";
  for (SIZE size : {SIZE{152, 112}, SIZE{200, 150}}) {
    SCOPED_TRACE(std::to_string(size.cx) + " x " + std::to_string(size.cy));
    HostWindow host({300, 300}, size);
    ASSERT_TRUE(WaitUntil([&] { return host.ShowsOwnColour(); }));
    SaverProcess saver = SaverProcess::Start((size.cx == 152 ? L"/p " : L"/p:") + host.Number());
    ASSERT_TRUE(ShowsPreview(saver, host)) << "the host window shows the preview, clipped, on black";
    EXPECT_TRUE(AnswersSentMessages(saver)) << "while it paints";
    {
      // A stream of messages to its windows for about 2 s: it answers each
      // and still paints at its pace, not once a message. A paint is counted
      // when the host's own colour, put back after each one, gives way.
      const std::vector<HWND> windows = TopLevelWindows(saver.pid(), nullptr, nullptr, true);
      int paints = 0;
      bool restored = false;
      const auto start = std::chrono::steady_clock::now();
      while (std::chrono::steady_clock::now() - start < 2s) {
        for (HWND window : windows) {
          DWORD_PTR answer = 0;
          SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &answer);
        }
        if (!restored) RedrawWindow(host.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const bool own = host.ShowsOwnColour();
        paints += restored && !own;
        restored = own;
      }
      const auto elapsed = std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start);
      EXPECT_GT(paints, 0) << "the preview stopped painting while messages came";
      // One paint a 100 ms; a slow machine paints less often, never more.
      EXPECT_LE(paints, elapsed / 50ms) << "painted " << paints << " times in " << elapsed.count()
                                        << " ms while messages came: once a message, not at its pace";
    }
    // Repainted by its owner, the window gets the preview back.
    RedrawWindow(host.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_TRUE(ShowsPreview(saver, host)) << "the preview comes back after a repaint";
    ShowWindow(host.window, SW_HIDE);
    EXPECT_TRUE(EndsUnseen(saver, 5s)) << "hiding the host window ends the preview soon";
  }

  // Where the picture would land if a handle of 0 became the screen's DC.
  HostWindow sentinel({0, 0}, {170, 130});
  ASSERT_TRUE(WaitUntil([&] { return sentinel.ShowsOwnColour(); }));
  std::wstring stale = HostWindow({600, 600}, {152, 112}, HostWindow::kPreview, false).Number();
  for (const std::wstring& arguments : {L"/p 0" + std::wstring(), L"/p " + stale}) {
    SCOPED_TRACE(Narrow(arguments));
    EXPECT_TRUE(EndsUnseen(SaverProcess::Start(arguments)));
    EXPECT_TRUE(sentinel.ShowsOwnColour()) << "it paints nothing";
  }

  // A host window destroyed before it was ever shown: the preview waits for
  // it to show (its hidden clock window built, the guard held), then ends.
  // That window has its two panels but no clock pictures: the preview draws
  // none of the clock's artwork.
  auto hidden = std::make_unique<HostWindow>(POINT{600, 600}, SIZE{152, 112}, HostWindow::kPreview, false);
  SaverProcess saver = SaverProcess::Start(L"/p " + hidden->Number());
  int children = 0;
  const auto countChildren = [&] {
    auto windows = TopLevelWindows(saver.pid(), kMainClass, nullptr, true);
    children = 0;
    if (!windows.empty())
      EnumChildWindows(windows[0], [](HWND, LPARAM n) { return ++*reinterpret_cast<int*>(n), TRUE; },
                       reinterpret_cast<LPARAM>(&children));
    return children >= 2 || !saver.IsRunning();
  };
  ASSERT_TRUE(WaitUntil(countChildren));
  EXPECT_TRUE(saver.IsRunning()) << "the preview waits for a hidden host window to show";
  EXPECT_TRUE(InstanceMutexExists()) << "a waiting preview holds the guard";
  EXPECT_TRUE(AnswersSentMessages(saver)) << "while it waits for the host's window";
  countChildren();
  EXPECT_EQ(children, 2) << "the clock window of a preview holds its panels and nothing else";
  hidden.reset();
  EXPECT_TRUE(EndsUnseen(saver));
  EXPECT_TRUE(sentinel.ShowsOwnColour()) << "it paints nothing";
}

// The second time, another copy holds the single-instance guard: a change
// of password is no screen saver, and goes ahead all the same.
TEST_F(HostWineOnly, PasswordChangeGoesToTheProviderOrReportsWhyNot) {
  {
    SystemFile mpr(L"mpr.dll", L"LUMIDIAL_MPR_DOUBLE");
    DllOverride native(L"mpr", L"native");
    for (const wchar_t* arguments : {L"/a 1234", L"/a:1234"}) {
      SCOPED_TRACE(Narrow(arguments));
      RegDeleteTreeW(HKEY_CURRENT_USER, kDoubleKey);
      const lumidial::UniqueHandle guard(arguments[2] == L':' ? CreateMutexA(nullptr, FALSE, kInstanceMutex) : nullptr);
      EXPECT_TRUE(EndsUnseen(SaverProcess::Start(arguments)));
      EXPECT_EQ(Recorded(L"ChangeCalls"), 1u) << "PwdChangePasswordA is called once";
      EXPECT_EQ(GetString(kDoubleKey, L"ChangeProvider"), L"SCRSAVE") << "for \"SCRSAVE\"";
      EXPECT_EQ(Recorded(L"ChangeOwner"), 1234u) << "owned by the handle given";
      for (const wchar_t* reserved : {L"ChangeReserved1", L"ChangeReserved2"})
        EXPECT_EQ(Recorded(reserved), 0u) << "reserved arguments are 0";
    }
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, kDoubleKey);
  HostWindow owner({100, 100}, {152, 112});
  const std::string path = Narrow(InSystemFolder(L"MPR.DLL"));
  struct Case {
    const wchar_t* double_;  // environment variable naming it; none: the library is disabled
    std::wstring arguments;
    std::string text;
    HWND owner;  // the command-line handle, when that is a window
  } const cases[] = {
      {L"LUMIDIAL_MPR_DOUBLE", L"/a", "'' is not a valid integer value", nullptr},
      {L"LUMIDIAL_MPR_WITHOUT_ENTRY", L"/a:" + owner.Number(),
       "Libarary " + path + " does not contain PwdChangePasswordA used to set the password!",
       owner.window},
      {nullptr, L"/a 1234",
       "Could not load library " + path + " -  The password cannot be changed", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.arguments) + " -> " + c.text);
    std::optional<SystemFile> mpr;
    if (c.double_) mpr.emplace(L"mpr.dll", c.double_);
    DllOverride order(L"mpr", c.double_ ? L"native" : L"");
    SaverProcess saver = SaverProcess::Start(c.arguments);
    HWND box = saver.WaitForWindow(L"#32770", L"Mervisk");
    ASSERT_TRUE(box) << "an error box captioned \"Mervisk\" shows";
    int buttons = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      buttons += WindowClass(child) == L"Button" && IsWindowVisible(child);
    EXPECT_EQ(Narrow(BoxText(box)), c.text) << "the box says what went wrong";
    EXPECT_EQ(buttons, 1) << "the box has one button, OK";
    EXPECT_EQ(GetWindow(box, GW_OWNER), c.owner) << "owned by the command-line window, if any";
    EXPECT_EQ(TopLevelWindows(saver.pid()).size(), 1u) << "the box is the saver's only window";
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(EndsNormally(saver)) << "pressing OK ends the saver";
    EXPECT_FALSE(Recorded(L"ChangeCalls")) << "no change is made";
  }
}

TEST_F(Host, SecondCopiesLeaveTheRunningOneAlone) {
  NEEDS_96_DPI();
  HWND clock = nullptr;
  SaverProcess first = StartSaver({600, 400}, &clock);
  ASSERT_TRUE(clock);
  auto expectUndisturbed = [&] {
    EXPECT_TRUE(first.IsRunning()) << "the running copy keeps running";
    EXPECT_TRUE(InstanceMutexExists()) << "the guard's mutex exists while a copy runs";
    EXPECT_EQ(ScreenSaverRunningFlag(), true) << "the running copy's flag stays 1";
    EXPECT_TRUE(IsWindowVisible(clock) && (GetWindowLongW(clock, GWL_EXSTYLE) & WS_EX_TOPMOST))
        << "the clock window stays shown and top-most";
    EXPECT_EQ(ThreadInfo(clock).hwndCapture, clock) << "the clock keeps the capture";
  };
  expectUndisturbed();

  for (const wchar_t* arguments : {L"/s", L"/c"}) {
    SCOPED_TRACE(Narrow(arguments));
    EXPECT_TRUE(EndsUnseen(SaverProcess::Start(arguments))) << "a second copy shows nothing";
    expectUndisturbed();
  }
  {
    HostWindow host({100, 100}, {152, 112});  // shown after the clock: above it
    ASSERT_TRUE(WaitUntil([&] { return host.ShowsOwnColour(); }));
    SaverProcess preview = SaverProcess::Start(L"/p " + host.Number());
    EXPECT_TRUE(ShowsPreview(preview, host)) << "a /p copy beside a running one still paints";
    ShowWindow(host.window, SW_HIDE);
    EXPECT_TRUE(EndsUnseen(preview));
    expectUndisturbed();
  }
  EXPECT_TRUE(KeepsTicking(first)) << "the running copy still runs the clock";
  ASSERT_TRUE(MovePointerBy(PointerThreshold() + 1, PointerThreshold() + 1));
  EXPECT_TRUE(EndsNormally(first)) << "the running copy still ends on a clear move";
  EXPECT_FALSE(InstanceMutexExists()) << "the mutex is gone with the last copy";
  EXPECT_EQ(ScreenSaverRunningFlag(), false) << "the flag is 0 once the running copy ends";

  // A copy with other rights (started elevated, say) made the mutex with a
  // security descriptor that grants us nothing: it cannot be opened or
  // created, and another copy holds it all the same.
  PSECURITY_DESCRIPTOR grantsNothing = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P", SDDL_REVISION_1, &grantsNothing, nullptr));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, grantsNothing, FALSE};
  const lumidial::UniqueHandle other(CreateMutexA(&attributes, FALSE, kInstanceMutex));
  LocalFree(grantsNothing);
  ASSERT_TRUE(other);
  for (const wchar_t* arguments : {L"/s", L"/c"}) {
    SCOPED_TRACE(Narrow(arguments) + " beside a mutex made with other rights");
    EXPECT_TRUE(EndsUnseen(SaverProcess::Start(arguments)));
    EXPECT_EQ(ScreenSaverRunningFlag(), false) << "the flag stays 0";
  }
}

}  // namespace
}  // namespace e2e
