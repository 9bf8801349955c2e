// Which libraries each mode of the saver loads, as another process sees
// them (a Toolhelp module snapshot of the saver's process): the clock and
// the preview run without the settings dialog's libraries, the common
// controls (comctl32), the shell (shell32) and the screen readers' (oleacc);
// the settings dialog loads the first when it opens (not yet the colour
// dialog's, comdlg32) and the shell when its web address is clicked, which
// starts the browser once.
// And where from: the saver runs from a folder of its own beside DLLs named
// like those it loads by name, as a .scr run from a downloads folder may,
// and never loads them.
#include "ConfigureIds.h"
#include "SaverTest.h"

#include <gmock/gmock.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <memory>

namespace e2e {
namespace {

namespace cfg = lumidial::cfg;
using ::testing::AllOf, ::testing::Contains, ::testing::IsSupersetOf, ::testing::Not, ::testing::Value;

constexpr wchar_t kCommonControls[] = L"comctl32.dll";
constexpr wchar_t kShell[] = L"shell32.dll";

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// The file names (lower case) of the modules loaded in process `pid` now.
// A snapshot taken while the process loads a module can fail: it is taken
// again.
std::vector<std::wstring> ModulesOf(DWORD pid) {
  std::vector<std::wstring> modules;
  WaitUntil([&] {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    modules.clear();
    for (BOOL ok = Module32FirstW(snapshot, &entry); ok; ok = Module32NextW(snapshot, &entry))
      modules.push_back(Lower(entry.szModule));
    CloseHandle(snapshot);
    return !modules.empty();
  });
  return modules;
}

// The listing sees the saver's own file and the window library it always
// loads: without them an empty or foreign listing would prove nothing.
auto ListsTheSaver() { return IsSupersetOf({std::wstring(L"lumidial.scr"), std::wstring(L"user32.dll")}); }

// None of the settings dialog's libraries.
auto LeanModules() {
  return AllOf(ListsTheSaver(), Not(Contains(std::wstring(kCommonControls))), Not(Contains(std::wstring(kShell))),
               Not(Contains(std::wstring(L"oleacc.dll"))));
}

// The shell opens a web address with its scheme's open command: for the
// test's duration that is the browser double (tests/doubles/Browser.cpp),
// which records each start and opens nothing. Wine 8's shell reads the
// command from HKEY_CLASSES_ROOT (the machine's classes) and never from the
// user's HKCU\Software\Classes (measured), so the machine's is replaced,
// then put back.
class StandInBrowser {
 public:
  StandInBrowser() {
    const std::wstring command = L"\"" + PathFromEnvironment(L"LUMIDIAL_BROWSER_DOUBLE") + L"\" \"%1\"";
    for (const wchar_t* key : kCommands) {
      wchar_t original[MAX_PATH * 2] = {};
      DWORD size = sizeof original;
      RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, original, &size);
      originals_.emplace_back(original);
      Set(key, command);
    }
  }
  ~StandInBrowser() {
    for (size_t i = 0; i < std::size(kCommands); ++i) Set(kCommands[i], originals_[i]);
  }

 private:
  static constexpr const wchar_t* kCommands[] = {L"https\\shell\\open\\command", L"http\\shell\\open\\command"};
  static void Set(const wchar_t* key, const std::wstring& command) {
    EXPECT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, command.c_str(),
                              static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  std::vector<std::wstring> originals_;
};

// The DLLs beside the saver record their loading (tests/doubles/Planted.cpp),
// and Wine is told to prefer a DLL of their names that a search finds to
// its own, as Windows takes the first one a search finds.
class Modules : public SaverTest {
 protected:
  static constexpr const wchar_t* kPlanted[] = {L"shcore", L"shell32", L"comctl32"};

  void SetUp() override {
    SaverTest::SetUp();
    folder_ = user_state::ScratchFolder(L"Downloads");
    ASSERT_TRUE(CopyFileW(SaverPath().c_str(), Saver().c_str(), FALSE)) << "error " << GetLastError();
    const std::wstring planted = PathFromEnvironment(L"LUMIDIAL_PLANTED_DLL");
    for (const wchar_t* dll : kPlanted) {
      ASSERT_TRUE(CopyFileW(planted.c_str(), Planted(dll).c_str(), FALSE)) << "error " << GetLastError();
      overrides_.emplace_back(std::make_unique<DllOverride>(dll, L"native,builtin"));
    }
  }
  void TearDown() override {
    const auto loaded = GetString(kDoubleKey, L"PlantedLoaded");
    EXPECT_FALSE(loaded) << "the saver loaded " << Narrow(loaded.value_or(L""));
    overrides_.clear();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    SaverTest::TearDown();
  }
  std::wstring Saver() const { return folder_ + L"\\Lumidial.scr"; }

 private:
  std::wstring Planted(const wchar_t* dll) const { return folder_ + L"\\" + dll + L".dll"; }
  std::wstring folder_;
  std::vector<std::unique_ptr<DllOverride>> overrides_;
};

// The clock runs for a few ticks first: the other monitors are listed and
// covered at the end of the first one, and anything loaded on the way
// would show.
class ModulesWineOnly : public WineOnly<Modules> {
 public:
  ModulesWineOnly() : WineOnly("a stand-in browser named where Wine looks (Windows starts the user's chosen browser)") {}
};

TEST_F(Modules, ClockAndPreviewLoadNeitherTheCommonControlsNorTheShell) {
  NEEDS_96_DPI();
  {
    SCOPED_TRACE("run mode (/s)");
    HWND clock = nullptr;
    SaverProcess saver = StartSaver({640, 100}, &clock, Saver());
    ASSERT_TRUE(KeepsTicking(saver, 3));
    EXPECT_THAT(ModulesOf(saver.pid()), LeanModules());
    ASSERT_TRUE(PressKey('A', clock));
    EXPECT_TRUE(EndsNormally(saver));
  }
  {
    SCOPED_TRACE("preview (/p)");
    SaverProcess preview;
    {
      HostWindow host({300, 300}, {152, 112});
      preview = SaverProcess::Start(L"/p " + host.Number(), Saver());
      EXPECT_TRUE(ShowsPreview(preview, host));
      EXPECT_THAT(ModulesOf(preview.pid()), LeanModules());
    }  // the host's window goes, and with it the preview
    EXPECT_TRUE(EndsNormally(preview));
  }
}

TEST_F(ModulesWineOnly, SettingsDialogLoadsTheCommonControlsAndOnAClickOnItsAddressTheShell) {
  StandInBrowser browser;
  SaverProcess saver = SaverProcess::Start(L"/c", Saver());
  HWND dialog = saver.WaitForWindow(cfg::kFormClass, L"Configure Orvane Lumidial");
  ASSERT_NE(dialog, nullptr) << "no settings dialog";
  EXPECT_THAT(ModulesOf(saver.pid()), AllOf(ListsTheSaver(), Contains(std::wstring(kCommonControls)),
                                            Not(Contains(std::wstring(L"comdlg32.dll")))))
      << "the open dialog has loaded the common controls, not the colour dialog's library before its click";

  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(cfg::kLabel6, STN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, cfg::kLabel6)));
  std::vector<std::wstring> afterClick;
  WaitUntil([&] { return Value(afterClick = ModulesOf(saver.pid()), Contains(std::wstring(kShell))); });
  EXPECT_THAT(afterClick, Contains(std::wstring(kShell))) << "after a click on the web address";
  EXPECT_TRUE(TopLevelWindows(saver.pid(), L"#32770", L"Warning").empty()) << "no warning box";
  // One click, one browser: the second start, if any, follows the first.
  EXPECT_TRUE(WaitUntil([] { return Recorded(L"BrowserStarts").has_value(); })) << "no browser started";
  EXPECT_FALSE(WaitUntil([] { return Recorded(L"BrowserStarts").value_or(0) > 1; }, 3s))
      << "the browser started " << Recorded(L"BrowserStarts").value_or(0) << " times for one click";
  EXPECT_EQ(GetString(kDoubleKey, L"BrowserAddress"), L"https://www.orvane.example/");

  PostMessageW(GetDlgItem(dialog, cfg::kCancel), BM_CLICK, 0, 0);
  EXPECT_TRUE(EndsNormally(saver));
}

}  // namespace
}  // namespace e2e
