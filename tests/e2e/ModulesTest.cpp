// Which libraries each mode of the saver loads, as another process sees
// them (a Toolhelp module snapshot of the saver's process): the clock and
// the preview run without the settings dialog's libraries, the common
// controls (comctl32) and the shell (shell32); the settings dialog loads
// the first when it opens and the second when its web address is clicked.
#include "ConfigureIds.h"
#include "HostWindow.h"
#include "SaverTest.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>

namespace e2e {
namespace {

namespace cfg = lumidial::cfg;

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

bool Has(const std::vector<std::wstring>& modules, const wchar_t* name) {
  return std::find(modules.begin(), modules.end(), name) != modules.end();
}

std::string List(const std::vector<std::wstring>& modules) {
  std::string list;
  for (const auto& module : modules) list.append(list.empty() ? "" : " ").append(Narrow(module));
  return list.empty() ? "(none)" : list;
}

// The listing sees the saver's own file and the window library it always
// loads: without them an empty or foreign listing would prove nothing.
::testing::AssertionResult ListsTheSaver(const std::vector<std::wstring>& modules) {
  if (Has(modules, L"lumidial.scr") && Has(modules, L"user32.dll")) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the module listing lacks lumidial.scr or user32.dll: "
                                       << List(modules);
}

// Neither of the settings dialog's libraries.
::testing::AssertionResult LeanModules(const std::vector<std::wstring>& modules) {
  if (auto listed = ListsTheSaver(modules); !listed) return listed;
  if (!Has(modules, kCommonControls) && !Has(modules, kShell)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "loaded: " << List(modules);
}

// Wine opens a web address with the Unix browsers its registry names:
// "true" stands in for them, so that clicking the address opens nothing.
struct NoBrowser {
  static constexpr const wchar_t* kKey = L"Software\\Wine\\WineBrowser";
  NoBrowser() { SetString(kKey, L"Browsers", L"true"); }
  ~NoBrowser() { DeleteValue(kKey, L"Browsers"); }
};

class Modules : public SaverTest {};

// The clock runs for a few ticks first: the other monitors are listed and
// covered at the end of the first one, and anything loaded on the way
// would show.
TEST_F(Modules, ClockAndPreviewLoadNeitherTheCommonControlsNorTheShell) {
  {
    SCOPED_TRACE("run mode (/s)");
    SaverProcess saver = StartSaver({640, 100});
    ASSERT_TRUE(KeepsTicking(saver, 3));
    EXPECT_TRUE(LeanModules(ModulesOf(saver.pid())));
    ASSERT_TRUE(Xdotool("key a"));
    EXPECT_TRUE(EndsNormally(saver));
  }
  {
    SCOPED_TRACE("preview (/p)");
    SaverProcess preview;
    {
      HostWindow host({300, 300}, {152, 112});
      preview = SaverProcess::Start(L"/p " + host.Number());
      EXPECT_TRUE(WaitUntil([&] { return host.PreviewMismatches(Art().preview) == 0 || !preview.IsRunning(); }) &&
                  preview.IsRunning())
          << "the preview shows in the host's window";
      EXPECT_TRUE(LeanModules(ModulesOf(preview.pid())));
    }  // the host's window goes, and with it the preview
    EXPECT_TRUE(EndsNormally(preview));
  }
}

TEST_F(Modules, SettingsDialogLoadsTheCommonControlsAndOnAClickOnItsAddressTheShell) {
  NoBrowser noBrowser;
  SaverProcess saver = SaverProcess::Start(L"/c");
  HWND dialog = saver.WaitForWindow(cfg::kFormClass, L"Configure Orvane Lumidial");
  ASSERT_NE(dialog, nullptr) << "no settings dialog";
  const auto atStart = ModulesOf(saver.pid());
  ASSERT_TRUE(ListsTheSaver(atStart));
  EXPECT_TRUE(Has(atStart, kCommonControls)) << "the open dialog has loaded: " << List(atStart);

  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(cfg::kLabel6, STN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, cfg::kLabel6)));
  std::vector<std::wstring> afterClick;
  EXPECT_TRUE(WaitUntil([&] { return Has(afterClick = ModulesOf(saver.pid()), kShell); }))
      << "after a click on the web address the dialog has loaded: " << List(afterClick);
  EXPECT_TRUE(TopLevelWindows(saver.pid(), L"#32770", L"Warning").empty()) << "no warning box";

  PostMessageW(GetDlgItem(dialog, cfg::kCancel), BM_CLICK, 0, 0);
  EXPECT_TRUE(EndsNormally(saver));
}

}  // namespace
}  // namespace e2e
