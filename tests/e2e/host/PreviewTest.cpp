// The preview: the saver paints its small picture into a window of the
// host's (here the driver's) for as long as that window shows, and never
// shows a window of its own.
#include "Host.h"

namespace e2e {
namespace {

class Preview : public SaverTest {};

TEST_F(Preview, PaintsTheHostWindowUntilItHides) {
  ASSERT_EQ(PreviewPicture().width(), 160) << "the preview picture loads from the saver";
  struct Case {
    const char* name;
    POINT at;
    SIZE size;
    const wchar_t* form;
  } const cases[] = {
      {"152 x 112, /p HANDLE: the picture's top-left part", {100, 100}, {152, 112}, L"/p "},
      {"200 x 150, /p:HANDLE: black beyond the picture", {500, 300}, {200, 150}, L"/p:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostWindow host(c.at, c.size);
    ASSERT_TRUE(host.WaitUntilPainted()) << "the host window shows in the driver's colour first";
    RECT surround = host.Rect();
    InflateRect(&surround, 12, 12);
    const Image before = GrabScreen(surround);

    SaverProcess saver = SaverProcess::Start(c.form + host.Number());
    ASSERT_TRUE(saver.started()) << saver.error();
    bool seenClock = false;
    ASSERT_TRUE(WaitForPreview(saver, host, seenClock))
        << "the host window shows the preview picture, clipped, on black; "
        << PreviewMismatches(GrabScreen(host.Rect())) << " pixels differ; screenshot "
        << Narrow(SaveScreenshot("preview"));
    const Image after = GrabScreen(surround);
    const RECT inner = host.Rect();
    int changedOutside = 0;
    for (int y = 0; y < before.height(); ++y)
      for (int x = 0; x < before.width(); ++x)
        changedOutside += !PtInRect(&inner, POINT{surround.left + x, surround.top + y}) &&
                          !(before.At(x, y) == after.At(x, y));
    EXPECT_EQ(changedOutside, 0) << "nothing is painted outside the host window";
    EXPECT_FALSE(InstanceMutexExists()) << "a painting preview no longer holds the guard";

    // Repainted by its owner, the window gets the preview back: the saver
    // keeps painting rather than painting once.
    RedrawWindow(host.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_TRUE(WaitForPreview(saver, host, seenClock)) << "the preview comes back after a repaint";

    host.Hide();
    const auto took = TimeUntilExit(saver, &seenClock, kMainClass);
    ASSERT_TRUE(took) << "hiding the host window ends the preview";
    std::printf("[   INFO   ] %s: the preview ended %lld ms after its window hid\n", c.name,
                static_cast<long long>(took->count()));
    EXPECT_LT(took->count(), 5000) << "the preview ends soon after its window hides";
    EXPECT_TRUE(EndedNormally(saver)) << "the preview ends normally";
    EXPECT_FALSE(seenClock) << "the preview never shows the clock window";
  }
}

TEST_F(Preview, EndsWithoutPaintingWhenThereIsNoWindowToPaint) {
  // Where the picture would land if a handle of 0 became the screen's DC.
  HostWindow sentinel({0, 0}, {170, 130});
  ASSERT_TRUE(sentinel.WaitUntilPainted());
  std::wstring stale;
  {
    HostWindow gone({600, 600}, {152, 112}, false);
    stale = gone.Number();
  }
  ASSERT_FALSE(IsWindow(reinterpret_cast<HWND>(std::stoll(stale)))) << "a handle that is no window";

  auto endsUnseen = [&](const SaverProcess& saver) {
    bool seenWindow = false;
    EXPECT_TRUE(TimeUntilExit(saver, &seenWindow)) << "the preview ends by itself";
    EXPECT_TRUE(EndedNormally(saver)) << "it ends normally";
    EXPECT_FALSE(seenWindow) << "it shows no window";
    EXPECT_TRUE(sentinel.ShowsOwnColour()) << "it paints nothing";
  };
  for (const std::wstring& arguments : {std::wstring(L"/p 0"), std::wstring(L"/l 0"), L"/p " + stale}) {
    SCOPED_TRACE(Narrow(arguments));
    SaverProcess saver = SaverProcess::Start(arguments);
    ASSERT_TRUE(saver.started()) << saver.error();
    endsUnseen(saver);
  }

  // A host window destroyed before it was ever shown.
  HostWindow hidden({600, 600}, {152, 112}, false);
  SaverProcess saver = SaverProcess::Start(L"/p " + hidden.Number());
  ASSERT_TRUE(saver.started()) << saver.error();
  // With its hidden clock window built, the preview only waits for the host
  // window (from outside, the wait cannot be told from the check before it).
  ASSERT_TRUE(PumpUntil([&] {
    auto windows = TopLevelWindows(saver.pid(), kMainClass, nullptr, true);
    int children = 0;
    if (!windows.empty())
      EnumChildWindows(windows[0], [](HWND, LPARAM n) { return ++*reinterpret_cast<int*>(n), TRUE; },
                       reinterpret_cast<LPARAM>(&children));
    return children >= 7 || !saver.IsRunning();
  }));
  EXPECT_TRUE(saver.IsRunning()) << "the preview waits for a hidden host window to show";
  EXPECT_TRUE(InstanceMutexExists()) << "a waiting preview holds the guard";
  hidden.Destroy();
  SCOPED_TRACE("host window destroyed unshown");
  endsUnseen(saver);
  EXPECT_FALSE(InstanceMutexExists()) << "the guard goes with the process";
}

}  // namespace
}  // namespace e2e
