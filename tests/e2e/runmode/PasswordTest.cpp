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

// Where the double takes its answer from and records its calls.
struct DoubleRecord {
  static constexpr const wchar_t* kKey = L"Software\\Lumidial Tests\\Doubles";
  static void Clear() { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
  static void Set(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof value);
  }
  static std::optional<DWORD> Get(const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size))
      return std::nullopt;
    return value;
  }
};

class RunModePassword : public RunModeTest {
 protected:
  void SetUp() override {
    RunModeTest::SetUp();
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    installed_ = std::wstring(system) + L"\\password.cpl";
    ASSERT_TRUE(CopyFileW(PathFromEnvironment(L"LUMIDIAL_PASSWORD_CPL_DOUBLE").c_str(),
                          installed_.c_str(), FALSE))
        << "could not copy the double to " << Narrow(installed_) << ": " << GetLastError();
    DoubleRecord::Clear();
  }

  // The test prefix has no password setting of its own: the value goes.
  void TearDown() override {
    RunModeTest::TearDown();
    if (!installed_.empty()) DeleteFileW(installed_.c_str());
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kUsePassword);
    DoubleRecord::Clear();
  }

  static void SetUsePassword(DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kUsePassword, type, data, size),
              ERROR_SUCCESS);
  }
  static void SetUsePassword(DWORD value) { SetUsePassword(REG_DWORD, &value, sizeof value); }

  // Presses a key; the verifier has then been asked `calls` times in all.
  static ::testing::AssertionResult KeyAsksVerifier(DWORD calls) {
    if (auto pressed = Xdotool("key a"); !pressed) return pressed;
    if (WaitUntil([&] { return DoubleRecord::Get(L"VerifyCalls").value_or(0) >= calls; }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "verifier calls: "
                                         << DoubleRecord::Get(L"VerifyCalls").value_or(0);
  }

 private:
  std::wstring installed_;
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
