// Driving the settings dialog of the real Lumidial.scr from a test process.
//
// The dialog's controls are found by their identifiers (config/ConfigureIds.h)
// with GetDlgItem. Clicks are posted BM_CLICK messages, so a test never
// blocks on a dialog that shows a message box; list choices are
// CB_SETCURSEL followed by the CBN_SELCHANGE notification a user's choice
// sends; keys are real keystrokes (SendInput) to the foreground dialog.
//
// Every wait pumps this thread's messages: the saver may send messages to
// windows the test owns (the host dialog of "/c:HWND"), and a test thread
// that did not answer them would stall it.
#pragma once

#include "Harness.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace e2e {

inline constexpr const wchar_t* kDialogCaption = L"Configure Orvane Lumidial";

// Dispatches every message queued for this thread.
void PumpMessages();

// WaitUntil, pumping this thread's messages between looks.
bool PumpUntil(const std::function<bool()>& done, Millis timeout = kDefaultTimeout);

// True when HKCU\Software\Orvane\Lumidial exists.
bool SettingsKeyExists();

// A date-time in the user locale's short date and long time formats, as the
// saver writes them: "<date>", or "<date> <time>".
std::wstring LocaleDate(int year, int month, int day);
std::wstring LocaleDateTime(int year, int month, int day, int hour, int minute, int second);

// Two windows of the test standing in for the display settings that start
// a saver's configuration: a top-level host and a child of it whose handle
// goes on the command line ("/c:<child>"). The saver disables the host
// while its dialog is open.
class HostWindows {
 public:
  HostWindows(int left, int top);
  ~HostWindows();
  HostWindows(const HostWindows&) = delete;
  HostWindows& operator=(const HostWindows&) = delete;

  HWND host() const { return host_; }
  HWND child() const { return child_; }
  // The child's handle as the 32-bit number a command line carries.
  std::wstring ChildNumber() const;

 private:
  HWND host_ = nullptr;
  HWND child_ = nullptr;
};

// Sets the pixel density new processes of this Wine prefix start with, and
// removes the setting again.
class PixelDensityOverride {
 public:
  explicit PixelDensityOverride(DWORD dpi);
  ~PixelDensityOverride();
  PixelDensityOverride(const PixelDensityOverride&) = delete;
  PixelDensityOverride& operator=(const PixelDensityOverride&) = delete;

  // False when a density was already set by someone else: the test leaves
  // it alone and skips.
  bool applied() const { return applied_; }

 private:
  bool applied_ = false;
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts "Lumidial.scr <arguments>" and waits for its visible dialog.
  // Check dialog afterwards (ASSERT_NE(dialog, nullptr)).
  void Open(const std::wstring& arguments = L"/c");

  HWND Item(int id) const { return GetDlgItem(dialog, id); }
  bool Checked(int id) const;
  int Selection(int id) const;
  // A control's text as it answers WM_GETTEXT (for a drop-down list, its
  // chosen entry). GetWindowText does not ask another process's window.
  std::wstring Text(int id) const;
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  // The window with the keyboard focus in the dialog's thread.
  HWND Focus() const;
  // Client rectangle of control `id` in the dialog's client coordinates.
  RECT Bounds(int id) const;

  void Click(int id);
  void Choose(int id, int index);
  // Presses and releases a key (with Shift held when asked) as the user
  // would; the dialog must be the foreground window.
  void Press(WORD key, bool shift = false);

  // Waits for the saver to end and returns its exit code (or fails).
  ::testing::AssertionResult Ends();

  ScratchRegistry registry;
  SaverProcess saver;
  HWND dialog = nullptr;
};

}  // namespace e2e
