// The settings dialog ("Lumidial.scr /c"), driven through its controls (by
// ConfigureIds.h identifiers). Clicks are posted BM_CLICK messages, so a test
// never blocks on the dialog; a list choice is CB_SETCURSEL plus the
// CBN_SELCHANGE a user's choice sends; keys are real keystrokes.
#include "ConfigureIds.h"
#include "harness/HostWindow.h"
#include "harness/Input.h"
#include "harness/Registry.h"
#include "harness/Screen.h"
#include "harness/Wine.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cwctype>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

namespace e2e {
namespace {

namespace cfg = lumidial::cfg;

constexpr wchar_t kCaption[] = L"Configure Orvane Lumidial";

// The settings key made read-only, as an administrator may, until the end
// of the scope, which gives it back the rights it had; its owner may always
// change them.
struct ReadOnlySettingsKey {
  ReadOnlySettingsKey() { EXPECT_EQ(SetRights(ScratchRegistry::kKeyPath, L"D:P(A;;KR;;;WD)"), ""); }
  ~ReadOnlySettingsKey() { EXPECT_EQ(SetRights(ScratchRegistry::kKeyPath, rights), ""); }
  const std::wstring rights = Rights(ScratchRegistry::kKeyPath);
};

enum class Part { DateAndTime, Date, ShortTime };
// A date and time of the design as the user's own formats write it, by the
// platform: the short date and the long time, or only one of the date and
// the time in its short format.
std::wstring InUsersFormats(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                            Part part = Part::DateAndTime) {
  const SYSTEMTIME t{year, month, 0, day, hour, minute, second, 0};
  wchar_t date[128] = {}, time[128] = {}, shortTime[80] = {};
  GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, 128, nullptr);
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTTIME, shortTime, 80);
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, part == Part::ShortTime ? shortTime : nullptr, time, 128);
  return part == Part::Date ? date : part == Part::ShortTime ? time : std::wstring(date) + L" " + time;
}

class Dialog : public ::testing::Test {
 protected:
  void SetUp() override {
    KillStraySavers();
    WaitUntil([] { return TopLevelWindows(0, cfg::kFormClass).empty(); });
  }
  void TearDown() override {
    saver.Terminate();
    KillStraySavers();
  }

  // Starts "Lumidial.scr <arguments>" and waits for its dialog, found by
  // class and caption.
  ::testing::AssertionResult Open(const std::wstring& arguments = L"/c") {
    saver = SaverProcess::Start(arguments);
    if (!saver.started()) return ::testing::AssertionFailure() << saver.error();
    if ((dialog = saver.WaitForWindow(cfg::kFormClass, kCaption))) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no dialog titled \"" << Narrow(kCaption) << "\"";
  }
  ::testing::AssertionResult Ends() { return EndsNormally(saver); }

  // The settings dialog's control, else the Appearance dialog's (the two have no identifier in common).
  HWND Item(int id) const { return GetDlgItem(dialog, id) ? GetDlgItem(dialog, id) : GetDlgItem(look, id); }
  bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  int Selection(int id) const { return static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0)); }
  // WM_GETTEXT: GetWindowText does not ask another process's controls.
  std::wstring Text(int id) const {
    wchar_t buffer[256] = {};
    SendMessageW(Item(id), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }
  // A control's place and size in the dialog's client area.
  std::array<LONG, 4> Place(int id) const {
    RECT r = WindowRect(Item(id));
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  std::pair<LONG, LONG> ClientSize() const {
    RECT r{};
    GetClientRect(dialog, &r);
    return {r.right, r.bottom};
  }
  void Click(int id) { PostMessageW(Item(id), BM_CLICK, 0, 0); }
  void Choose(int id, int index) {
    HWND list = Item(id);
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  }
  // The Appearance dialog opens from its button, modal: owned by the settings dialog, which is disabled
  // until it goes by its button `close` and is then the active window again.
  bool OpenAppearance() {
    Click(cfg::kAppearance);
    look = saver.WaitForWindow(cfg::kAppearanceClass, L"Appearance");
    return look && GetWindow(look, GW_OWNER) == dialog && WaitUntil([&] { return !IsWindowEnabled(dialog); });
  }
  bool CloseAppearance(int close) {
    Click(close);
    return WaitUntil([&] { return !IsWindow(look) && IsWindowEnabled(dialog) && GetForegroundWindow() == dialog; });
  }

  ScratchRegistry registry;
  SaverProcess saver;
  HWND dialog = nullptr, look = nullptr;
};

class DialogWineOnly : public WineOnly<Dialog> {
 public:
  DialogWineOnly() : WineOnly("the shell disabled, densities set and fonts faced as only Wine lets a test") {}
};

// Only on a desk of several monitors does the dialog offer the clock on
// every monitor.
bool SeveralMonitors() { return GetSystemMetrics(SM_CMONITORS) > 1; }

constexpr const wchar_t* kDwordNames[] = {L"ClockMoveDirection", L"ClockMoveSpeed", L"FlashSecond",
                                          L"TwentyFourHour", L"CountDown"};

TEST_F(Dialog, ShowsTheDefaultsAndOkWritesAllSixValues) {
  ASSERT_TRUE(Open());
  EXPECT_FALSE(Checked(cfg::kTwentyFourHour));
  EXPECT_TRUE(Checked(cfg::kFlashSecond));
  EXPECT_EQ(Text(cfg::kClockMove), L"None");
  EXPECT_EQ(Text(cfg::kClockMoveInterval), L"Very Slow");
  EXPECT_FALSE(Enabled(cfg::kClockMoveInterval) || Enabled(cfg::kClockMoveIntervalLabel)) << "no movement, no interval";
  EXPECT_FALSE(ScratchRegistry::Exists()) << "opening the dialog writes nothing";

  // On several monitors, one more row below the settings: the box, the
  // controls below it a row (28 pixels at 96 DPI) lower, the dialog a row
  // taller; tabbed to after the settings and before OK (Dialog.Keyboard).
  const bool several = SeveralMonitors();
  ASSERT_EQ(Item(cfg::kClockOnEveryMonitor) != nullptr, several) << "the box shows only on several monitors";
  if (several) {
    const int dpi = int(GetDpiForWindow(dialog));
    auto scaled = [dpi](int value) { return LONG(MulDiv(value, dpi, 96)); };
    EXPECT_EQ(Text(cfg::kClockOnEveryMonitor), L"&Show the clock on every monitor");
    EXPECT_FALSE(Checked(cfg::kClockOnEveryMonitor));
    EXPECT_EQ(Place(cfg::kClockOnEveryMonitor), (std::array<LONG, 4>{scaled(38), scaled(216), scaled(249), scaled(17)}));
    EXPECT_EQ(Place(cfg::kOk)[1], scaled(343));
    EXPECT_EQ(Place(cfg::kAppearance), (std::array<LONG, 4>{scaled(8), scaled(343), scaled(87), scaled(25)}));
    EXPECT_EQ(ClientSize(), std::make_pair(scaled(363), scaled(381)));
    Click(cfg::kClockOnEveryMonitor);
    ASSERT_TRUE(WaitUntil([&] { return Checked(cfg::kClockOnEveryMonitor); }));
  }

  Click(cfg::kOk);
  ASSERT_TRUE(Ends());
  EXPECT_EQ(registry.GetDword(L"ClockOnEveryMonitor"), several ? std::optional<DWORD>(1) : std::nullopt)
      << "OK writes the value only where the box shows";
  const DWORD expected[] = {0, 1, 1, 0, 0};
  for (size_t i = 0; i < std::size(kDwordNames); ++i) {
    EXPECT_EQ(registry.GetType(kDwordNames[i]), std::optional<DWORD>(REG_DWORD)) << i;
    EXPECT_EQ(registry.GetDword(kDwordNames[i]), expected[i]) << Narrow(kDwordNames[i]);
  }
  // The time picker's own date, 14 January 2005, in the user's short date
  // format; no stored time of day, so no time.
  EXPECT_EQ(registry.GetType(L"CountDownTime"), std::optional<DWORD>(REG_SZ));
  EXPECT_EQ(registry.GetString(L"CountDownTime"), InUsersFormats(2005, 1, 14, 0, 0, 0, Part::Date));
}

TEST_F(Dialog, StoredValuesAreShownAndSavedBack) {
  const DWORD stored[] = {3, 2, 0, 1, 1};
  for (size_t i = 0; i < std::size(kDwordNames); ++i) registry.SetDword(kDwordNames[i], stored[i]);
  const std::wstring storedTime = InUsersFormats(2010, 1, 2, 18, 7, 8);
  registry.SetString(L"CountDownTime", storedTime);
  registry.SetDword(L"ClockOnEveryMonitor", 1);
  for (auto [name, value] : {std::pair{L"ClockColour", 0x0000A5FF}, {L"DimAtNight", 1}, {L"DimFrom", 1290}})
    registry.SetDword(name, value);  // an orange clock dimmed from 21:30; the rest of the look as designed
  ASSERT_TRUE(Open());
  EXPECT_TRUE(!SeveralMonitors() || Checked(cfg::kClockOnEveryMonitor));
  EXPECT_TRUE(Checked(cfg::kTwentyFourHour));
  EXPECT_FALSE(Checked(cfg::kFlashSecond));
  EXPECT_EQ(Text(cfg::kClockMove), L"Horizontal and Vertical");
  EXPECT_EQ(Text(cfg::kClockMoveInterval), L"Glacial");
  EXPECT_TRUE(Enabled(cfg::kClockMoveInterval));

  // Appearance shows the look as stored or designed; a visit that ends with Cancel changes nothing, one
  // that ends with OK what it changed.
  ASSERT_TRUE(OpenAppearance());
  EXPECT_EQ(Text(cfg::kClockSize), L"As designed");
  EXPECT_FALSE(Checked(cfg::kLeadingZero));
  EXPECT_TRUE(Checked(cfg::kDimAtNight) && Enabled(cfg::kDimFrom) && Enabled(cfg::kDimTo));
  EXPECT_EQ(Text(cfg::kDimFrom), InUsersFormats(2005, 1, 14, 21, 30, 0, Part::ShortTime));
  Click(cfg::kResetColour);
  ASSERT_TRUE(CloseAppearance(cfg::kAppearanceCancel));
  ASSERT_TRUE(OpenAppearance());
  Choose(cfg::kClockSize, 2);
  Click(cfg::kLeadingZero);
  Click(cfg::kDimAtNight);
  EXPECT_TRUE(WaitUntil([&] { return !Enabled(cfg::kDimFrom) && !Enabled(cfg::kDimTo); })) << "the times follow the box";
  ASSERT_TRUE(CloseAppearance(cfg::kAppearanceOk));

  {
    // A key the user may not write: OK says so over the dialog, which
    // stays open to try again.
    const ReadOnlySettingsKey readOnly;
    Click(cfg::kOk);
    HWND box = saver.WaitForWindow(L"#32770", L"Orvane Lumidial");
    ASSERT_TRUE(box) << "no box says the settings could not be saved";
    EXPECT_EQ(GetWindow(box, GW_OWNER), dialog) << "the box belongs to the dialog";
    const std::wstring text = BoxText(box);
    wchar_t reason[256] = {};  // the system's, without its line end
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0, reason,
                   256, nullptr);
    std::wstring why = reason;
    why.erase(why.find_last_not_of(L"\r\n ") + 1);
    EXPECT_EQ(text, L"Your settings could not be saved.\n\n" + why);
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box) && IsWindowEnabled(dialog); }));
    EXPECT_TRUE(saver.IsRunning() && IsWindowVisible(dialog)) << "the dialog stays open";
    EXPECT_EQ(registry.GetString(L"CountDownTime"), storedTime) << "nothing is written";
  }
  Click(cfg::kOk);
  ASSERT_TRUE(Ends());
  for (size_t i = 0; i < std::size(kDwordNames); ++i)
    EXPECT_EQ(registry.GetDword(kDwordNames[i]), stored[i]) << Narrow(kDwordNames[i]);
  EXPECT_EQ(registry.GetDword(L"ClockOnEveryMonitor"), 1u) << "kept, written back or left alone";
  // Only the time of day survives; the date is the picker's.
  EXPECT_EQ(registry.GetString(L"CountDownTime"), InUsersFormats(2005, 1, 14, 18, 7, 8));
  // The look's values the key held, and those changed in Appearance; DimTo is neither.
  for (auto [name, value] : {std::pair<const wchar_t*, std::optional<DWORD>>{L"ClockColour", 0x0000A5FF},
       {L"ClockSize", 2}, {L"LeadingZero", 1}, {L"DimAtNight", 0}, {L"DimFrom", 1290}, {L"DimTo", {}}})
    EXPECT_EQ(registry.GetDword(name), value) << Narrow(name);
}

TEST_F(Dialog, StoredDirectionOutsideTheListShowsNoSelectionAndSavesMinusOne) {
  registry.SetDword(L"ClockMoveDirection", 9);
  ASSERT_TRUE(Open());
  EXPECT_EQ(Selection(cfg::kClockMove), -1);
  EXPECT_TRUE(Enabled(cfg::kClockMoveInterval) && Enabled(cfg::kClockMoveIntervalLabel)) << "no selection, not \"None\"";
  Click(cfg::kOk);
  ASSERT_TRUE(Ends());
  EXPECT_EQ(registry.GetDword(L"ClockMoveDirection"), 0xFFFFFFFFu);
}

// A movement enables the interval and its label; leaving without OK, even
// after changes here and in Appearance, writes nothing.
TEST_F(Dialog, IntervalFollowsTheMovementAndCancelOrCloseWriteNothing) {
  for (bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Cancel");
    ASSERT_TRUE(Open());
    Choose(cfg::kClockMove, 1);
    EXPECT_EQ(Text(cfg::kClockMove), L"Horizontal");
    EXPECT_TRUE(Enabled(cfg::kClockMoveInterval) && Enabled(cfg::kClockMoveIntervalLabel));
    Choose(cfg::kClockMove, 0);
    EXPECT_FALSE(Enabled(cfg::kClockMoveInterval) || Enabled(cfg::kClockMoveIntervalLabel));

    Click(cfg::kTwentyFourHour);
    ASSERT_TRUE(WaitUntil([&] { return Checked(cfg::kTwentyFourHour); }));
    Choose(cfg::kClockMove, 2);
    ASSERT_TRUE(OpenAppearance());
    Click(cfg::kLeadingZero);
    ASSERT_TRUE(CloseAppearance(cfg::kAppearanceOk));
    closeBox ? PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0) : PostMessageW(Item(cfg::kCancel), BM_CLICK, 0, 0);
    ASSERT_TRUE(Ends());
    EXPECT_FALSE(ScratchRegistry::Exists());
  }
}

// The shell is loaded only when the web address is opened, as by a click by
// Enter or Space once Tab has reached it: one that cannot be loaded is a
// failed call, which the warning box reports; the dialog carries on.
TEST_F(DialogWineOnly, WebAddressWithoutTheShellWarns) {
  DllOverride disabled(L"shell32", L"");
  ASSERT_TRUE(Open());
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(PressKeys({VK_SHIFT, VK_TAB}, dialog));  // back to the address
  for (WORD key : {VK_RETURN, VK_SPACE}) {
    ASSERT_TRUE(PressKey(key, dialog));
    HWND box = saver.WaitForWindow(L"#32770", L"Warning");
    ASSERT_TRUE(box) << "a box captioned \"Warning\" shows";
    EXPECT_EQ(BoxText(box), L"Error encountered launching your web browser");
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  }
  Click(cfg::kTwentyFourHour);
  EXPECT_TRUE(WaitUntil([&] { return Checked(cfg::kTwentyFourHour); })) << "the dialog still answers";
  Click(cfg::kCancel);
  EXPECT_TRUE(Ends());
}

// Enter on the focused Cancel writes nothing; Escape and Enter on a check
// box do nothing; Tab skips the disabled interval and the hidden controls,
// reaches the web address, which shows a focus rectangle, and shows each
// control's tip below it; Escape leaves Appearance; the access keys; Enter
// on the focused OK saves.
TEST_F(Dialog, Keyboard) {
  auto press = [&](WORD key, bool shift = false) {
    EXPECT_TRUE(shift ? PressKeys({VK_SHIFT, key}, dialog) : PressKey(key, dialog));
  };
  auto focusIs = [&](int id) {
    return WaitUntil([&] { return ThreadInfo(dialog).hwndFocus == Item(id); });
  };
  auto tipShown = [&] { return !TopLevelWindows(saver.pid(), TOOLTIPS_CLASSW).empty(); };
  auto tipBelow = [&](int id) {  // a tip over the control's lower left corner
    RECT tip{}, control = WindowRect(Item(id));
    for (HWND shown : TopLevelWindows(saver.pid(), TOOLTIPS_CLASSW)) tip = WindowRect(shown);
    return PtInRect(&tip, POINT{control.left, control.bottom}) != FALSE;
  };
  ASSERT_TRUE(Open());
  press(VK_TAB, true);
  ASSERT_TRUE(focusIs(cfg::kCancel)) << "Shift+Tab from the first control reaches Cancel";
  press(VK_RETURN);
  ASSERT_TRUE(Ends());
  ASSERT_FALSE(ScratchRegistry::Exists()) << "Enter on the focused Cancel saved the settings";

  ASSERT_TRUE(Open());
  ASSERT_TRUE(focusIs(cfg::kTwentyFourHour)) << "the first control in tab order has the focus";

  // Keys are handled in order: once Space has ticked the box, Escape and
  // Enter have been handled too.
  press(VK_ESCAPE);
  press(VK_RETURN);
  press(VK_SPACE);
  ASSERT_TRUE(WaitUntil([&] { return Checked(cfg::kTwentyFourHour); }))
      << "Space did not tick the box: did Escape or Enter end the dialog?";
  EXPECT_TRUE(saver.IsRunning());
  EXPECT_FALSE(ScratchRegistry::Exists());

  const RECT link = WindowRect(Item(cfg::kLabel6));  // the web address as it shows without the focus, once drawn
  Image unfocused;  // (a busy machine paints the dialog late)
  auto drawn = [&](int, int, Rgb pixel) { return pixel != unfocused.At(0, 0); };
  ASSERT_TRUE(WaitUntil([&] { return Count(unfocused = GrabScreen(link), drawn) > 0; })) << "the web address is drawn";
  auto linkUnfocused = [&] { return ExactMismatches(GrabScreen(link), 0, 0, unfocused) == 0; };
  std::vector<std::tuple<bool, int, bool>> steps = {  // Shift, the control reached, its tip
      {false, cfg::kFlashSecond, true}, {false, cfg::kClockMove, true}, {false, cfg::kLabel6, true},
      {false, cfg::kAppearance, false}, {false, cfg::kOk, false}, {false, cfg::kCancel, false},
      {false, cfg::kTwentyFourHour, true}, {true, cfg::kCancel, false}, {true, cfg::kOk, false},
      {true, cfg::kAppearance, false}, {true, cfg::kLabel6, true}, {false, cfg::kAppearance, false}};
  // On several monitors the clock on every monitor comes between.
  if (SeveralMonitors()) steps.insert(steps.begin() + 2, {false, cfg::kClockOnEveryMonitor, true});
  for (auto [shift, id, tip] : steps) {
    press(VK_TAB, shift);
    ASSERT_TRUE(focusIs(id)) << (shift ? "Shift+Tab" : "Tab") << " should reach control " << id;
    EXPECT_TRUE(WaitUntil([&] { return tip ? tipBelow(id) : !tipShown(); })) << "the tip of control " << id;
    EXPECT_TRUE(WaitUntil([&] { return linkUnfocused() != (id == cfg::kLabel6); }))
        << "a focus rectangle around the web address only while it has the focus";
  }
  // Enter on the focused Appearance… opens it; Escape leaves it like Cancel.
  press(VK_RETURN);
  ASSERT_TRUE(look = saver.WaitForWindow(cfg::kAppearanceClass));
  EXPECT_TRUE(PressKey(VK_ESCAPE, look));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(look); }) && focusIs(cfg::kAppearance));

  // Alt with a caption's underlined letter: a label's focuses the control it names, a box's focuses and ticks it, a
  // button's presses it (Appearance… opens its dialog, Choose… the colours); the tip shows as for Tab.
  auto accessKeys = [&](HWND to, std::vector<std::tuple<char, int, bool>> keys) {  // the key, the control, ticked
    for (auto [key, id, ticks] : keys) {
      const bool was = Checked(id);
      EXPECT_TRUE(PressKeys({VK_MENU, WORD(key)}, to));
      EXPECT_TRUE(focusIs(id) && WaitUntil([&] { return Checked(id) == (was != ticks); })) << "Alt+" << key;
    }
  };
  accessKeys(dialog,
             {{'D', cfg::kTwentyFourHour, true}, {'F', cfg::kFlashSecond, true}, {'C', cfg::kClockMove, false}});
  EXPECT_TRUE(WaitUntil([&] { return tipBelow(cfg::kClockMove); }) && WaitUntil([&] { return !tipShown(); }))
      << "the tip shows, and goes after its time";
  press(VK_DOWN);  // a movement: the interval is there to choose
  accessKeys(dialog, {{'I', cfg::kClockMoveInterval, false}});
  if (SeveralMonitors()) accessKeys(dialog, {{'S', cfg::kClockOnEveryMonitor, true}});
  EXPECT_TRUE(PressKeys({VK_MENU, 'A'}, dialog));
  ASSERT_TRUE(look = saver.WaitForWindow(cfg::kAppearanceClass)) << "Alt+A opens no Appearance dialog";
  accessKeys(look, {{'S', cfg::kClockSize, false}, {'L', cfg::kLeadingZero, true}, {'D', cfg::kDimAtNight, true},
                    {'T', cfg::kDimTo, false}, {'R', cfg::kResetColour, false}});
  EXPECT_TRUE(PressKeys({VK_MENU, 'C'}, look));
  const HWND colours = saver.WaitForWindow(L"#32770");
  ASSERT_TRUE(colours) << "Alt+C opens no colour dialog";
  EXPECT_TRUE(PressKey(VK_ESCAPE, colours) && WaitUntil([&] { return !IsWindow(colours); }));
  EXPECT_TRUE(PressKey(VK_ESCAPE, look));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(look); }) && focusIs(cfg::kAppearance));
  press(VK_TAB);
  ASSERT_TRUE(focusIs(cfg::kOk));
  press(VK_RETURN);
  ASSERT_TRUE(Ends());
  for (auto [name, value] : {std::pair{L"TwentyFourHour", 0u}, {L"FlashSecond", 0u}, {L"ClockMoveDirection", 1u}})
    EXPECT_EQ(registry.GetDword(name), value) << Narrow(name);
}

// With "/c:HWND" the top-level window of HWND is disabled while the dialog
// is open, then enabled and brought forward. A second window above it in
// z-order would take the activation if the saver did not hand it over.
TEST_F(Dialog, HostIsDisabledWhileOpenAndBroughtForwardAfter) {
  for (bool named : {true, false}) {
    SCOPED_TRACE(named ? "/c:HWND" : "no arguments");
    HostWindow windows({40, 40}, {300, 200}, HostWindow::kSettings), other({40, 600}, {300, 200}, HostWindow::kSettings);
    ASSERT_TRUE(Open(named ? L"/c:" + windows.Number() : L""));
    if (named) {
      EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(windows.window); }));
      EXPECT_TRUE(IsWindowEnabled(windows.child)) << "only the top-level window is disabled";
    } else {
      PumpMessages();
      EXPECT_TRUE(IsWindowEnabled(windows.window) && IsWindowEnabled(other.window));
    }
    Click(cfg::kCancel);
    ASSERT_TRUE(Ends());
    EXPECT_TRUE(IsWindowEnabled(windows.window));
    EXPECT_TRUE(!named || WaitUntil([&] { return GetForegroundWindow() == windows.window; }));
  }
}

// A copy that finds the single-instance mutex taken ends at once and
// neither enables, disables nor brings forward the host.
TEST_F(Dialog, CopyWithoutTheInstanceGuardLeavesTheHostAlone) {
  const lumidial::UniqueHandle mutex(CreateMutexA(nullptr, FALSE, kInstanceMutex));
  ASSERT_NE(mutex.get(), nullptr);
  for (bool hostEnabled : {true, false}) {
    SCOPED_TRACE(hostEnabled ? "host enabled" : "host disabled");
    HostWindow windows({40, 40}, {300, 200}, HostWindow::kSettings), other({40, 600}, {300, 200}, HostWindow::kSettings);
    EnableWindow(windows.window, hostEnabled);
    SetForegroundWindow(other.window);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other.window; }));
    if (hostEnabled) {
      SCOPED_TRACE("the harness: a key meant for a window that does not hold the foreground");
      const ::testing::AssertionResult refused = PressKey(VK_SHIFT, windows.window, 2s);
      EXPECT_FALSE(refused) << "is sent only to the window meant";
      EXPECT_NE(std::string(refused.message()).find(Describe(other.window)), std::string::npos)
          << "the failure names the window in front and its program: " << refused.message();
      MSG key;
      EXPECT_FALSE(PeekMessageW(&key, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE)) << "no key arrived";
    }
    saver = SaverProcess::Start(L"/c:" + windows.Number());
    ASSERT_TRUE(saver.started()) << saver.error();
    ASSERT_TRUE(Ends());
    PumpMessages();
    EXPECT_EQ(IsWindowEnabled(windows.window) != FALSE, hostEnabled);
    EXPECT_NE(GetForegroundWindow(), windows.window);
    EXPECT_FALSE(ScratchRegistry::Exists());
  }
}

// The dialog as designed, at 96 DPI: pixels in its client area. Written out
// here rather than read from the dialog's own tables, so that a wrong number
// there fails.
// "MS Sans Serif" is a bitmap font made for 96 DPI: scaled, the dialog takes
// its TrueType twin.
struct DesignedFont {
  const wchar_t* face;
  const wchar_t* scaledFace;
  int height;
  bool bold, underline;
};
constexpr DesignedFont kDialogFont{L"MS Sans Serif", L"Microsoft Sans Serif", -11, false, false};
constexpr DesignedFont kTitleFont{L"Tahoma", L"Tahoma", -24, true, false};
constexpr DesignedFont kTahomaBold{L"Tahoma", L"Tahoma", -16, true, false};
constexpr DesignedFont kHeadingFont{L"MS Sans Serif", L"Microsoft Sans Serif", -13, true, false};
constexpr DesignedFont kLinkFont{L"Tahoma", L"Tahoma", -16, true, true};

struct DesignedControl {
  int id;
  const wchar_t* windowClass;
  int left, top, width, height;
  const wchar_t* caption;  // for a list, its items joined by '|'
  DesignedFont font;
  bool visible, tabStop, hint;
  bool grows = false;  // a label without a fixed size grows to fit its caption
};
constexpr DesignedControl kDesign[] = {
    {cfg::kLabel1, L"Static", 8, 8, 345, 29, L"Lumidial", kTitleFont, true, false, false},
    {cfg::kLabel2, L"Static", 68, 42, 282, 19, L"by Orvane", kTahomaBold, true, false, false},
    {cfg::kBevel1, L"Static", 8, 72, 345, 233, L"", kDialogFont, true, false, false},
    {cfg::kLabel3, L"Static", 22, 84, 61, 16, L"Settings:", kHeadingFont, true, false, false, true},
    {cfg::kTwentyFourHour, L"Button", 38, 108, 233, 17, L"&Display in 24 hour format", kDialogFont,
     true, true, true},
    {cfg::kFlashSecond, L"Button", 38, 136, 249, 17, L"&Flash the time separator each second",
     kDialogFont, true, true, true},
    {cfg::kLabel4, L"Static", 38, 166, 83, 13, L"&Clock Movement:", kDialogFont, true, false, false, true},
    {cfg::kClockMove, L"ComboBox", 134, 162, 145, 21, L"None|Horizontal|Vertical|Horizontal and Vertical",
     kDialogFont, true, true, true},
    {cfg::kClockMoveIntervalLabel, L"Static", 62, 196, 91, 13, L"Movement &Interval:", kDialogFont,
     true, false, false, true},
    {cfg::kClockMoveInterval, L"ComboBox", 174, 188, 105, 21, L"Slow|Very Slow|Glacial", kDialogFont,
     true, true, true},
    {cfg::kCountDown, L"Button", 280, 88, 97, 17, L"chkCountDown", kDialogFont, false, true, false},
    {cfg::kCountDownTime, L"SysDateTimePick32", 280, 112, 97, 21, nullptr, kDialogFont, false, true,
     false},
    {cfg::kLabel5, L"Static", 22, 236, 294, 19, L"Download other free software from:", kTahomaBold,
     true, false, false, true},
    {cfg::kLabel6, L"Static", 24, 268, 313, 19, L"https://www.orvane.example/", kLinkFont, true, true,
     true},
    {cfg::kAppearance, L"Button", 8, 315, 87, 25, L"&Appearance\u2026", kDialogFont, true, true, false},
    {cfg::kOk, L"Button", 176, 315, 82, 25, L"OK", kDialogFont, true, true, false},
    {cfg::kCancel, L"Button", 264, 315, 87, 25, L"Cancel", kDialogFont, true, true, false},
};

// Every control where the design puts it, at 96 DPI and scaled at 144, or at 96 with the text size at 150 % and
// 225 %, which scale as 144 and 216 do, no caption cut off; the window at its designed screen position, or as near
// as the work area lets it. Labels that grow do so to the extent of their caption as drawn (without the access
// key's '&') in the designed font, measured here; no access key is used twice.
TEST_F(DialogWineOnly, LayoutMatchesTheDesignAndScales) {
  // Wine picks the bitmap fonts by the density a process starts at, so the
  // captions are measured at the designed one (scripts/wine-env.sh sets it).
  ASSERT_FALSE(SeveralMonitors()) << "the dialog of a one-monitor desk is checked here";
  HDC dc = GetDC(nullptr);
  ASSERT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96) << "the test driver must start at 96 DPI";
  auto makeFont = [](const DesignedFont& f, int dpi) {
    return CreateFontW(MulDiv(f.height, dpi, 96), 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE, f.underline,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH, dpi == 96 ? f.face : f.scaledFace);
  };
  // A missing face would be replaced without a word, and the test would
  // measure the substitute. Wine has no "Microsoft Sans Serif" and puts the
  // system's sans-serif face in its place (DejaVu Sans, wider than the
  // bitmap one, so that the labels grow): TrueType, as on Windows.
  for (const DesignedFont& f : {kDialogFont, kTitleFont, kHeadingFont}) {
    for (int dpi : {96, 144}) {
      HGDIOBJ previous = SelectObject(dc, makeFont(f, dpi));
      wchar_t face[LF_FACESIZE] = {};
      GetTextFaceW(dc, LF_FACESIZE, face);
      TEXTMETRICW metrics{};
      GetTextMetricsW(dc, &metrics);
      DeleteObject(SelectObject(dc, previous));
      if (dpi == 96)
        ASSERT_STREQ(face, f.face) << "the font is not installed in the prefix (fonts-wine)";
      else
        ASSERT_TRUE(metrics.tmPitchAndFamily & TMPF_TRUETYPE) << Narrow(f.scaledFace) << " is drawn in "
                                                              << Narrow(face) << ", not a TrueType face";
    }
  }

  RECT work{};  // where the dialog keeps itself
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  for (auto [dpi, textSize] : {std::pair{96, 100}, {144, 100}, {96, 150}, {96, 225}}) {
    SCOPED_TRACE("at " + std::to_string(dpi) + " DPI, text at " + std::to_string(textSize) + " %");
    const int density = dpi * textSize / 100;
    auto scaled = [density](int value) { return MulDiv(value, density, 96); };
    const Density screen(dpi);
    const ScopedValue text(L"Software\\Microsoft\\Accessibility", L"TextScaleFactor", DWORD(textSize));
    ASSERT_TRUE(Open());  // finds the dialog by its caption
    const RECT window = WindowRect(dialog);  // designed at (408, 237)
    EXPECT_EQ(window.left, std::min(408L, work.right + window.left - window.right));
    EXPECT_EQ(window.top, std::min(237L, work.bottom + window.top - window.bottom));
    EXPECT_EQ(ClientSize(), std::make_pair(LONG(scaled(363)), LONG(scaled(353))));
    EXPECT_TRUE(!(GetWindowLongPtrW(dialog, GWL_STYLE) & WS_THICKFRAME) &&
                (GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME))
        << "a fixed dialog border";

    std::set<wchar_t> keys;
    for (const DesignedControl& c : kDesign) {
      SCOPED_TRACE("control " + std::to_string(c.id));
      HWND control = Item(c.id);
      ASSERT_NE(control, nullptr);
      EXPECT_EQ(WindowClass(control), c.windowClass);
      EXPECT_EQ(IsWindowVisible(control) != FALSE, c.visible);
      EXPECT_EQ((GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP) != 0, c.tabStop);
      std::wstring caption = Text(c.id);
      if (WindowClass(control) == L"ComboBox") {
        caption.clear();
        const auto count = SendMessageW(control, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
          wchar_t item[64] = {};
          SendMessageW(control, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(item));
          caption += (i ? L"|" : L"") + std::wstring(item);
        }
      }
      if (c.caption) {
        EXPECT_EQ(caption, c.caption);
      }
      const size_t mark = caption.find(L'&');
      EXPECT_TRUE(mark == caption.npos || keys.insert(wchar_t(std::towupper(caption[mark + 1]))).second) << "key reused";
      std::erase(caption, L'&');

      HGDIOBJ previous = SelectObject(dc, makeFont(c.font, density));
      SIZE text{};
      GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
      DeleteObject(SelectObject(dc, previous));

      int width = scaled(c.width), height = scaled(c.height);
      if (c.grows) {
        width = std::max<int>(width, text.cx);
        height = std::max<int>(height, text.cy);
      }
      EXPECT_EQ(Place(c.id), (std::array<LONG, 4>{scaled(c.left), scaled(c.top), width, height}));
      EXPECT_TRUE(c.windowClass != std::wstring(L"Static") || (text.cx <= width && text.cy <= height))
          << "caption cut off";
    }

    // One tool tip window: a tool for each control with a hint, and one the keyboard's focus shows.
    std::vector<HWND> tips;
    for (HWND tip : TopLevelWindows(saver.pid(), TOOLTIPS_CLASSW, nullptr, true))
      if (GetWindow(tip, GW_OWNER) == dialog) tips.push_back(tip);
    ASSERT_EQ(tips.size(), 1u);
    EXPECT_EQ(SendMessageW(tips.front(), TTM_GETTOOLCOUNT, 0, 0) - 1,
              std::count_if(std::begin(kDesign), std::end(kDesign), [](const DesignedControl& c) { return c.hint; }));
    int children = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++children;
    EXPECT_EQ(children, int(std::size(kDesign))) << "no control beyond the design on one monitor";
    saver.Terminate();
  }
  ReleaseDC(nullptr, dc);
  // On one monitor OK writes the six values as ever, not the seventh.
  ASSERT_TRUE(Open());
  Click(cfg::kOk);
  ASSERT_TRUE(Ends());
  EXPECT_EQ(registry.GetDword(L"FlashSecond"), 1u);
  EXPECT_FALSE(registry.GetDword(L"ClockOnEveryMonitor").has_value());
}

}  // namespace
}  // namespace e2e
