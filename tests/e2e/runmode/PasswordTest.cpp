// The password check on the way out of run mode, against the password.cpl
// double (Wine has no password.cpl): the driver puts it in the prefix's
// system directory for these tests only and takes it away again.
#include "RunModeDriver.h"

#include <functional>
#include <vector>

namespace e2e::runmode {
namespace {

constexpr const wchar_t* kDesktopKey = L"Control Panel\\Desktop";
constexpr const wchar_t* kUsePassword = L"ScreenSaveUsePassword";

class RunModePassword : public RunModeTest {
 protected:
  void SetUp() override {
    RunModeTest::SetUp();
    DWORD size = sizeof savedValue_;
    hadValue_ = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kUsePassword,
                             RRF_RT_ANY | RRF_NOEXPAND, &savedType_, savedValue_, &size) ==
                ERROR_SUCCESS;
    savedSize_ = size;

    wchar_t source[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(L"LUMIDIAL_PASSWORD_CPL_DOUBLE", source, MAX_PATH * 2);
    ASSERT_TRUE(n > 0 && n < MAX_PATH * 2) << "LUMIDIAL_PASSWORD_CPL_DOUBLE is not set";
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    installed_ = std::wstring(system) + L"\\password.cpl";
    ASSERT_TRUE(CopyFileW(ToWindowsPath(Narrow(source)).c_str(), installed_.c_str(), FALSE))
        << "could not copy the double to " << Narrow(installed_) << ": " << GetLastError();
    DoubleRecord::Clear();
  }

  void TearDown() override {
    RunModeTest::TearDown();
    if (!installed_.empty()) DeleteFileW(installed_.c_str());
    if (hadValue_)
      RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kUsePassword, savedType_, savedValue_,
                      savedSize_);
    else
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kUsePassword);
    DoubleRecord::Clear();
  }

  static void SetUsePassword(DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kUsePassword, type, data, size),
              ERROR_SUCCESS);
  }
  static void SetUsePassword(DWORD value) { SetUsePassword(REG_DWORD, &value, sizeof value); }

  // Presses a key and waits until the verifier has been asked `calls` times
  // in all.
  static ::testing::AssertionResult KeyAsksVerifier(DWORD calls) {
    if (auto pressed = Xdotool("key a"); !pressed) return pressed;
    if (WaitUntil([&] { return DoubleRecord::Get(L"VerifyCalls").value_or(0) >= calls; }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "verifier calls: " << DoubleRecord::Get(L"VerifyCalls").value_or(0) << ", expected "
           << calls;
  }

 private:
  std::wstring installed_;
  bool hadValue_ = false;
  DWORD savedType_ = 0, savedSize_ = 0;
  BYTE savedValue_[512] = {};
};

TEST_F(RunModePassword, RefusalKeepsTheClockRunningUntilTheVerifierAllows) {
  SetUsePassword(1);
  DoubleRecord::Set(L"VerifyAnswer", 0);
  HWND window = nullptr;
  SaverProcess saver = StartSaver({640, 100}, &window);
  ASSERT_TRUE(saver.IsRunning());

  ASSERT_TRUE(KeyAsksVerifier(1)) << "a key press asks the verifier";
  EXPECT_EQ(DoubleRecord::Get(L"VerifyWindow"),
            static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window)))
      << "the verifier is handed the clock window";
  EXPECT_TRUE(KeepsTicking(saver)) << "refused: the saver stays and the clock goes on";

  DoubleRecord::Set(L"VerifyAnswer", 0x100);
  ASSERT_TRUE(KeyAsksVerifier(2));
  EXPECT_TRUE(KeepsTicking(saver)) << "only the answer's low byte counts: 0x100 refuses";

  DoubleRecord::Set(L"VerifyAnswer", 1);
  ASSERT_TRUE(KeyAsksVerifier(3));
  EXPECT_TRUE(EndsNormally(saver)) << "allowed: the saver ends";
  EXPECT_EQ(DoubleRecord::Get(L"VerifyCalls"), 3u) << "one question per key press";
}

TEST_F(RunModePassword, WithoutAPasswordSettingAKeyEndsTheSaverUnasked) {
  // Were the verifier asked, it would refuse and the saver would stay.
  DoubleRecord::Set(L"VerifyAnswer", 0);
  const std::vector<std::pair<const char*, std::function<void()>>> settings = {
      {"value absent", [] { RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kUsePassword); }},
      {"REG_DWORD 0", [] { SetUsePassword(0); }},
      {"REG_SZ \"1\"", [] { SetUsePassword(REG_SZ, L"1", sizeof L"1"); }},
  };
  for (const auto& [what, apply] : settings) {
    SCOPED_TRACE(what);
    apply();
    SaverProcess saver = StartSaver({640, 100});
    ASSERT_TRUE(saver.IsRunning());
    ASSERT_TRUE(Xdotool("key a"));
    EXPECT_TRUE(EndsNormally(saver)) << "no password set: a key press ends the saver";
    EXPECT_EQ(DoubleRecord::Get(L"VerifyCalls").value_or(0), 0u) << "the verifier is not asked";
  }
}

}  // namespace
}  // namespace e2e::runmode
