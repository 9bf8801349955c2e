// Hostile command lines: whatever the saver is started with, it must not
// crash. With the run switch first it shows the clock; with junk alone it
// either ends normally or shows a window.
#include "SaverTest.h"

namespace e2e {
namespace {

struct Junk {
  const char* name;
  std::wstring text;
};

std::vector<Junk> JunkArguments() {
  std::wstring controls;
  for (wchar_t c = 1; c < 32; ++c) controls += c;
  controls += L'\x7f';

  std::wstring quotes;
  for (int i = 0; i < 2000; ++i) quotes += (i % 3 == 0) ? L"\\\"" : L"\"";

  // Latin-1, CJK, Arabic, a character outside the BMP (a surrogate pair),
  // a private-use and a non-character code point.
  std::wstring nonAscii = L"\u00e9\u00ff\u00a0\u4e2d\u6587\u0627\u0644\U0001F600\ue000\ufffe\ufeff";

  std::wstring mixed;
  while (mixed.size() < 30000)
    mixed += L"/c:\"" + nonAscii + controls + L"\" -p /a %s %%1 ^& | < > ";
  mixed.resize(30000);

  return {
      {"30000 letters", std::wstring(30000, L'x')},
      {"30000 slashes and switches", [] {
         std::wstring s;
         while (s.size() < 30000) s += L"/s/c/p/a-S:";
         s.resize(30000);
         return s;
       }()},
      {"quotes and backslashes", quotes},
      {"control characters", controls + controls + controls},
      {"non-ASCII characters", nonAscii},
      {"everything, 30000 characters", mixed},
  };
}

class CommandLine : public SaverTest {};

TEST_F(CommandLine, RunSwitchFollowedByJunkStillShowsTheClock) {
  for (const Junk& junk : JunkArguments()) {
    SCOPED_TRACE(junk.name);
    SaverProcess saver = SaverProcess::Start(L"/s " + junk.text);
    ASSERT_TRUE(saver.started()) << saver.error();
    HWND window = saver.WaitForWindow(kMainClass, kMainCaption);
    EXPECT_NE(window, nullptr) << "no run-mode window";
    if (!window) {
      auto code = saver.WaitForExit(0ms);
      EXPECT_FALSE(code && IsCrashExitCode(*code)) << "crashed: " << DescribeExitCode(*code);
    }
    EXPECT_TRUE(saver.IsRunning()) << "the saver ended by itself";
    saver.Terminate();
  }
}

TEST_F(CommandLine, JunkAloneNeverCrashes) {
  for (const Junk& junk : JunkArguments()) {
    SCOPED_TRACE(junk.name);
    SaverProcess saver = SaverProcess::Start(junk.text);
    ASSERT_TRUE(saver.started()) << saver.error();
    // Either it ends (normally) or it shows a window and waits.
    bool settled = WaitUntil(
        [&] { return !saver.IsRunning() || !TopLevelWindows(saver.pid()).empty(); });
    EXPECT_TRUE(settled) << "neither ended nor showed a window";
    auto code = saver.WaitForExit(0ms);
    if (code) {
      EXPECT_FALSE(IsCrashExitCode(*code)) << "crashed: " << DescribeExitCode(*code);
    }
    saver.Terminate();
  }
}

}  // namespace
}  // namespace e2e
