// The settings dialog ("Lumidial.scr /c") driven through its controls:
// what it shows, what OK, Cancel, the close box and the keyboard do, and
// how it treats the host dialog it was started from.
#include "DialogDriver.h"

#include "ConfigureIds.h"

#include <memory>

namespace e2e {
namespace {

namespace id = lumidial::cfg;

using Dialog = DialogTest;

// The single-instance mutex of the saver: a copy that finds it taken keeps
// away from the host's dialog.
constexpr char kInstanceMutex[] = "Mervisk";

TEST_F(Dialog, FreshRegistryShowsTheDefaults) {
  Open();
  ASSERT_NE(dialog, nullptr);

  EXPECT_FALSE(Checked(id::kTwentyFourHour));
  EXPECT_TRUE(Checked(id::kFlashSecond));
  EXPECT_EQ(Selection(id::kClockMove), 0);
  EXPECT_EQ(Text(id::kClockMove), L"None");
  EXPECT_EQ(Selection(id::kClockMoveInterval), 1);
  EXPECT_EQ(Text(id::kClockMoveInterval), L"Very Slow");
  EXPECT_FALSE(Enabled(id::kClockMoveInterval)) << "no movement, so no interval to choose";
  EXPECT_FALSE(Enabled(id::kClockMoveIntervalLabel));

  // The hidden count-down pair: off, so its time picker is disabled.
  EXPECT_FALSE(Checked(id::kCountDown));
  EXPECT_FALSE(Enabled(id::kCountDownTime));

  // Opening the dialog writes nothing.
  EXPECT_FALSE(SettingsKeyExists());
}

TEST_F(Dialog, IntervalIsChosenOnlyWhenTheClockMoves) {
  Open();
  ASSERT_NE(dialog, nullptr);

  for (int moving : {1, 2, 3}) {
    Choose(id::kClockMove, moving);
    EXPECT_TRUE(Enabled(id::kClockMoveInterval)) << "movement " << moving;
    EXPECT_TRUE(Enabled(id::kClockMoveIntervalLabel)) << "movement " << moving;
  }
  Choose(id::kClockMove, 0);
  EXPECT_FALSE(Enabled(id::kClockMoveInterval));
  EXPECT_FALSE(Enabled(id::kClockMoveIntervalLabel));
}

TEST_F(Dialog, OkWithoutChangesWritesAllSixValues) {
  Open();
  ASSERT_NE(dialog, nullptr);
  Click(id::kOk);
  ASSERT_TRUE(Ends());

  for (const wchar_t* name :
       {L"ClockMoveDirection", L"ClockMoveSpeed", L"FlashSecond", L"TwentyFourHour", L"CountDown"})
    EXPECT_EQ(registry.GetType(name), std::optional<DWORD>(REG_DWORD)) << Narrow(name);
  EXPECT_EQ(registry.GetDword(L"ClockMoveDirection"), 0u);
  EXPECT_EQ(registry.GetDword(L"ClockMoveSpeed"), 1u);
  EXPECT_EQ(registry.GetDword(L"FlashSecond"), 1u);
  EXPECT_EQ(registry.GetDword(L"TwentyFourHour"), 0u);
  EXPECT_EQ(registry.GetDword(L"CountDown"), 0u);

  // The picker keeps its own date, 14 January 2005, and takes the stored
  // time of day: none, so the text is the date alone.
  EXPECT_EQ(registry.GetType(L"CountDownTime"), std::optional<DWORD>(REG_SZ));
  EXPECT_EQ(registry.GetString(L"CountDownTime"), LocaleDate(2005, 1, 14));
}

TEST_F(Dialog, StoredChoicesAreShownAndSavedBack) {
  registry.SetDword(L"ClockMoveDirection", 3);
  registry.SetDword(L"ClockMoveSpeed", 2);
  registry.SetDword(L"FlashSecond", 0);
  registry.SetDword(L"TwentyFourHour", 1);
  registry.SetDword(L"CountDown", 1);
  registry.SetString(L"CountDownTime", LocaleDateTime(2010, 1, 2, 18, 7, 8));
  Open();
  ASSERT_NE(dialog, nullptr);

  EXPECT_TRUE(Checked(id::kTwentyFourHour));
  EXPECT_FALSE(Checked(id::kFlashSecond));
  EXPECT_EQ(Text(id::kClockMove), L"Horizontal and Vertical");
  EXPECT_EQ(Text(id::kClockMoveInterval), L"Glacial");
  EXPECT_TRUE(Enabled(id::kClockMoveInterval));
  EXPECT_TRUE(Checked(id::kCountDown));
  EXPECT_TRUE(Enabled(id::kCountDownTime)) << "a stored count-down enables its time picker";

  Click(id::kOk);
  ASSERT_TRUE(Ends());
  EXPECT_EQ(registry.GetDword(L"ClockMoveDirection"), 3u);
  EXPECT_EQ(registry.GetDword(L"ClockMoveSpeed"), 2u);
  EXPECT_EQ(registry.GetDword(L"FlashSecond"), 0u);
  EXPECT_EQ(registry.GetDword(L"TwentyFourHour"), 1u);
  EXPECT_EQ(registry.GetDword(L"CountDown"), 1u);
  // Only the time of day survives; the date is the picker's.
  EXPECT_EQ(registry.GetString(L"CountDownTime"), LocaleDateTime(2005, 1, 14, 18, 7, 8));
}

TEST_F(Dialog, StoredIndexOutsideTheListShowsNoSelectionAndSavesMinusOne) {
  registry.SetDword(L"ClockMoveDirection", 9);
  registry.SetDword(L"ClockMoveSpeed", 0xFFFFFFFEu);
  Open();
  ASSERT_NE(dialog, nullptr);

  EXPECT_EQ(Selection(id::kClockMove), -1);
  EXPECT_EQ(Selection(id::kClockMoveInterval), -1);
  EXPECT_TRUE(Enabled(id::kClockMoveInterval)) << "no selection is not \"None\"";
  EXPECT_TRUE(Enabled(id::kClockMoveIntervalLabel));

  Click(id::kOk);
  ASSERT_TRUE(Ends());
  EXPECT_EQ(registry.GetDword(L"ClockMoveDirection"), 0xFFFFFFFFu);
  EXPECT_EQ(registry.GetDword(L"ClockMoveSpeed"), 0xFFFFFFFFu);
}

// Leaving without OK writes nothing, even after a change.
enum class Leave { CancelButton, CloseBox };

class DialogLeaving : public DialogTest, public ::testing::WithParamInterface<Leave> {};

TEST_P(DialogLeaving, WritesNothing) {
  Open();
  ASSERT_NE(dialog, nullptr);
  Click(id::kTwentyFourHour);
  ASSERT_TRUE(PumpUntil([&] { return Checked(id::kTwentyFourHour); }));
  Choose(id::kClockMove, 2);

  if (GetParam() == Leave::CancelButton)
    Click(id::kCancel);
  else
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(Ends());
  EXPECT_FALSE(SettingsKeyExists());
}

INSTANTIATE_TEST_SUITE_P(Ways, DialogLeaving,
                         ::testing::Values(Leave::CancelButton, Leave::CloseBox),
                         [](const auto& info) {
                           return info.param == Leave::CancelButton ? "Cancel" : "CloseBox";
                         });

// Keystrokes go to the foreground window; a Tab after the key under test
// shows when the dialog has handled it.
TEST_F(Dialog, EscapeDoesNothing) {
  Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == dialog; }));
  ASSERT_TRUE(PumpUntil([&] { return Focus() == Item(id::kTwentyFourHour); }));

  Press(VK_ESCAPE);
  Press(VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return Focus() == Item(id::kFlashSecond); }));
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_TRUE(saver.IsRunning());
  EXPECT_FALSE(SettingsKeyExists());
}

TEST_F(Dialog, TabMovesInTabOrderAndEnterPressesOnlyAFocusedButton) {
  Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == dialog; }));
  ASSERT_TRUE(PumpUntil([&] { return Focus() == Item(id::kTwentyFourHour); }))
      << "the first control in tab order starts with the focus";

  // Enter on a check box: nothing. Space then ticks it.
  Press(VK_RETURN);
  Press(VK_SPACE);
  ASSERT_TRUE(PumpUntil([&] { return Checked(id::kTwentyFourHour); }));
  EXPECT_TRUE(saver.IsRunning());

  // The disabled interval list and the hidden count-down pair are skipped.
  auto expectFocusAfter = [&](WORD key, bool shift, int expected) {
    Press(key, shift);
    EXPECT_TRUE(PumpUntil([&] { return Focus() == Item(expected); }))
        << (shift ? "Shift+Tab" : "Tab") << " should reach control " << expected;
  };
  expectFocusAfter(VK_TAB, false, id::kFlashSecond);
  expectFocusAfter(VK_TAB, false, id::kClockMove);
  expectFocusAfter(VK_TAB, false, id::kOk);
  expectFocusAfter(VK_TAB, false, id::kCancel);
  expectFocusAfter(VK_TAB, false, id::kTwentyFourHour);
  expectFocusAfter(VK_TAB, true, id::kCancel);
  expectFocusAfter(VK_TAB, true, id::kOk);

  Press(VK_RETURN);
  ASSERT_TRUE(Ends()) << "Enter on the focused OK button saves and closes";
  EXPECT_EQ(registry.GetDword(L"TwentyFourHour"), 1u);
}

// ---------------------------------------------------------------------------
// The host dialog: "/c:HWND" and "/c HWND" name a child of it.

TEST_F(Dialog, HostIsDisabledWhileOpenAndBroughtBackAfter) {
  for (const std::wstring form : {L"/c:", L"/c ", L""}) {
    const bool named = !form.empty();
    SCOPED_TRACE(named ? Narrow(form) : "no host named");
    HostWindows windows(40, 40);
    // Another window, above the host in z-order: activation would fall back
    // to it, not to the host, if the dialog did not hand the host the
    // foreground.
    HostWindows other(40, 600);
    ASSERT_NE(other.host(), nullptr);

    Open(named ? form + windows.ChildNumber() : form);
    ASSERT_NE(dialog, nullptr);
    if (named) {
      EXPECT_TRUE(PumpUntil([&] { return !IsWindowEnabled(windows.host()); }))
          << "the host is disabled while the dialog is open";
      EXPECT_TRUE(IsWindowEnabled(windows.child())) << "only the host itself is disabled";
    } else {
      PumpMessages();
      EXPECT_TRUE(IsWindowEnabled(windows.host()));
    }

    Click(id::kCancel);
    ASSERT_TRUE(Ends());
    EXPECT_TRUE(IsWindowEnabled(windows.host()));
    if (named) {
      EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == windows.host(); }))
          << "the host comes to the foreground";
    }
  }
}

// A second copy, started while another holds the instance guard, must leave
// the host alone: not disable it, not enable it, not bring it forward.
TEST_F(Dialog, CopyWithoutTheInstanceGuardLeavesTheHostAlone) {
  std::unique_ptr<void, decltype(&CloseHandle)> mutex(
      CreateMutexA(nullptr, FALSE, kInstanceMutex), &CloseHandle);
  ASSERT_NE(mutex.get(), nullptr);
  for (bool hostEnabled : {true, false}) {
    SCOPED_TRACE(hostEnabled ? "host enabled" : "host disabled");
    HostWindows windows(40, 40);
    HostWindows other(40, 600);
    ASSERT_NE(other.host(), nullptr);
    EnableWindow(windows.host(), hostEnabled ? TRUE : FALSE);
    SetForegroundWindow(other.host());
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == other.host(); }));

    saver = SaverProcess::Start(L"/c:" + windows.ChildNumber());
    ASSERT_TRUE(saver.started()) << saver.error();
    ASSERT_TRUE(Ends()) << "a copy without the guard ends at once";
    PumpMessages();
    EXPECT_EQ(IsWindowEnabled(windows.host()) != FALSE, hostEnabled);
    EXPECT_NE(GetForegroundWindow(), windows.host());
    EXPECT_FALSE(SettingsKeyExists());
  }
}

}  // namespace
}  // namespace e2e
