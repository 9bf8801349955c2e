// The single-instance guard: while one copy runs the clock, a second copy
// started to run or configure ends unseen and leaves the running copy's
// state alone; the password change and the preview work regardless.
//
// Seen from outside: the screen-saver flag, the mutex, the clock window
// (shown, top-most, showing the time), the capture of the clock's thread,
// and that the clock still ends on a small pointer move. The cursor's show
// count belongs to the saver's thread and cannot be read from here.
#include "Host.h"

namespace e2e {
namespace {

class SingleInstance : public SaverTest {
 protected:
  // A saver ended by force (an earlier test's, or this one's at its end)
  // leaves the flag set.
  static void ClearFlag() {
    UINT scratch = 0;
    SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, FALSE, &scratch, 0);
  }
  void SetUp() override {
    SaverTest::SetUp();
    ClearFlag();
  }
  void TearDown() override {
    SaverTest::TearDown();
    ClearFlag();
  }

  HWND ClockCapture() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(clock_, nullptr), &info);
    return info.hwndCapture;
  }

  SaverProcess StartRunningCopy() {
    SaverProcess first = SaverProcess::Start(L"/s");
    EXPECT_TRUE(first.started()) << first.error();
    clock_ = first.WaitForWindow(kMainClass, kMainCaption);
    EXPECT_TRUE(clock_) << "the running copy shows the clock";
    EXPECT_TRUE(InstanceMutexExists()) << "the running copy holds the \"Mervisk\" mutex";
    EXPECT_EQ(ScreenSaverRunningFlag(), true) << "the running copy sets the screen-saver flag";
    return first;
  }

  void ExpectUndisturbed(const SaverProcess& first) {
    EXPECT_TRUE(first.IsRunning()) << "the running copy keeps running";
    EXPECT_TRUE(InstanceMutexExists()) << "and keeps the guard";
    EXPECT_EQ(ScreenSaverRunningFlag(), true) << "the screen-saver flag stays set";
    EXPECT_TRUE(IsWindowVisible(clock_) && (GetWindowLongW(clock_, GWL_EXSTYLE) & WS_EX_TOPMOST))
        << "the clock window stays shown and top-most";
    EXPECT_EQ(ClockCapture(), clock_) << "the clock keeps the capture";
  }

  HWND clock_ = nullptr;
};

TEST_F(SingleInstance, SecondCopiesEndUnseenAndLeaveTheRunningOneAlone) {
  // A window of the driver's sees the pointer where it is, so that the
  // clock takes that place as its reference (see the platform notes).
  {
    HostWindow pad({560, 360}, {80, 80});
    ASSERT_TRUE(RunUnix(L"xdotool mousemove 600 400"));
    POINT at{};
    ASSERT_TRUE(PumpUntil([&] { return GetCursorPos(&at) && at.x == 600 && at.y == 400; }));
  }
  SaverProcess first = StartRunningCopy();
  ASSERT_TRUE(clock_);

  for (const wchar_t* arguments : {L"/s", L"/c"}) {
    SCOPED_TRACE(Narrow(arguments));
    SaverProcess second = SaverProcess::Start(arguments);
    ASSERT_TRUE(second.started()) << second.error();
    bool seenWindow = false;
    const auto took = TimeUntilExit(second, &seenWindow);
    ASSERT_TRUE(took) << "a second copy ends by itself";
    std::printf("[   INFO   ] a second %s copy ended after %lld ms\n", Narrow(arguments).c_str(),
                static_cast<long long>(took->count()));
    EXPECT_TRUE(EndedNormally(second)) << "it ends normally";
    EXPECT_FALSE(seenWindow) << "a second copy shows no window";
    ExpectUndisturbed(first);
  }
  EXPECT_TRUE(WaitForTime(first).showsTime()) << "the running copy still shows the time";

  ASSERT_TRUE(RunUnix(L"xdotool mousemove_relative -- 3 3"));
  ASSERT_TRUE(TimeUntilExit(first)) << "the running copy still ends on a 3 + 3 pixel move";
  EXPECT_FALSE(InstanceMutexExists()) << "the guard goes with the last copy";
  EXPECT_EQ(ScreenSaverRunningFlag(), false) << "the flag is cleared as the running copy ends";
}

TEST_F(SingleInstance, PasswordChangeAndPreviewStillWorkBesideARunningCopy) {
  ProviderLibrary library(ProviderLibrary::Double);
  ASSERT_TRUE(library.ready());
  ClearDoubleRecord();
  SaverProcess first = StartRunningCopy();
  ASSERT_TRUE(clock_);
  {
    SaverProcess change = SaverProcess::Start(L"/a 1234");
    ASSERT_TRUE(change.started()) << change.error();
    bool seenWindow = false;
    ASSERT_TRUE(TimeUntilExit(change, &seenWindow)) << "the password change ends";
    EXPECT_FALSE(seenWindow) << "it shows no window";
    EXPECT_EQ(Recorded(L"ChangeCalls"), 1u) << "the password change still reaches the provider";
    EXPECT_EQ(Recorded(L"ChangeOwner"), 1234u) << "with its owner";
    ExpectUndisturbed(first);
  }
  {
    HostWindow host({100, 100}, {152, 112});  // shown after the clock: above it
    ASSERT_TRUE(host.WaitUntilPainted()) << "the host window shows above the clock";
    SaverProcess preview = SaverProcess::Start(L"/p " + host.Number());
    ASSERT_TRUE(preview.started()) << preview.error();
    bool seenClock = false;
    EXPECT_TRUE(WaitForPreview(preview, host, seenClock))
        << "a preview beside a running copy still paints; screenshot "
        << Narrow(SaveScreenshot("preview-beside"));
    EXPECT_FALSE(seenClock) << "the preview shows no clock window";
    host.Hide();
    ASSERT_TRUE(TimeUntilExit(preview)) << "the preview ends when its window hides";
    ExpectUndisturbed(first);
  }
  ClearDoubleRecord();
}

}  // namespace
}  // namespace e2e
