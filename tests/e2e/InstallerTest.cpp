// The Windows Installer package, installed and removed by Wine's msiexec as
// an administrator deploys it (quietly): what it puts on the machine, the
// saver it installs, upgrading, refusing a downgrade (also as a user sees
// it), and what uninstalling leaves. Every test starts and ends with no
// Lumidial product installed.
#include "ConfigureIds.h"
#include "SaverTest.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>

namespace e2e {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// Shortcuts make Wine's menu builder write desktop entries into the Unix
// user's home, outside the test prefix: switched off while a test runs.
constexpr wchar_t kWineDllOverrides[] = L"Software\\Wine\\DllOverrides";
constexpr wchar_t kMenuBuilder[] = L"winemenubuilder.exe";

std::wstring Variable(const wchar_t* name) {
  wchar_t value[256] = {};
  if (!GetEnvironmentVariableW(name, value, 256))
    ADD_FAILURE() << Narrow(name) << " is not set (tests/e2e/CMakeLists.txt sets it for ctest)";
  return value;
}

std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
    std::fclose(file);
  }
  return bytes;
}

std::wstring InstalledSaver() {
  wchar_t directory[MAX_PATH] = {};
  GetSystemDirectoryW(directory, MAX_PATH);
  return std::wstring(directory) + L"\\Lumidial.scr";
}

// "major.minor.patch" of a file's version block.
std::wstring FileVersion(const std::wstring& path) {
  std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), nullptr));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT size = 0;
  if (block.empty() ||
      !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &size))
    return L"none";
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(HIWORD(info->dwFileVersionLS));
}

std::wstring MachineString(const std::wstring& key, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
  return value;
}

// Installed programs whose name mentions Lumidial: the entry's key (an
// installed package's product code) and "name|publisher|version|address".
std::vector<std::pair<std::wstring, std::wstring>> UninstallEntries() {
  std::vector<std::pair<std::wstring, std::wstring>> entries;
  HKEY uninstall = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &uninstall)) return entries;
  wchar_t name[256];
  for (DWORD i = 0, size = 256;
       RegEnumKeyExW(uninstall, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, size = 256) {
    const std::wstring key = std::wstring(kUninstallKey) + L"\\" + name;
    const std::wstring displayName = MachineString(key, L"DisplayName");
    if (displayName.find(L"Lumidial") != std::wstring::npos)
      entries.emplace_back(name, displayName + L"|" + MachineString(key, L"Publisher") + L"|" +
                                     MachineString(key, L"DisplayVersion") + L"|" +
                                     MachineString(key, L"URLInfoAbout"));
  }
  RegCloseKey(uninstall);
  return entries;
}

// "Lumidial Settings" in the Start menu. Per machine it belongs in the
// common one; Wine's msiexec puts it in the installing user's.
std::optional<std::wstring> SettingsShortcut() {
  for (int folder : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path)) &&
        GetFileAttributesW((std::wstring(path) + L"\\Lumidial Settings.lnk").c_str()) !=
            INVALID_FILE_ATTRIBUTES)
      return std::wstring(path) + L"\\Lumidial Settings.lnk";
  }
  return std::nullopt;
}

struct MsiexecRun {
  DWORD code = 0xFFFFFFFF;
  std::wstring message;  // the text of the message box it showed
};

// "msiexec <arguments>", quietly (/qn) as an administrator deploys a package,
// or with its user interface as a double-click starts it: then the first
// message box it shows is read and answered with OK.
MsiexecRun Msiexec(const std::wstring& arguments, bool quiet = true) {
  MsiexecRun run;
  auto process = StartProcess(L"msiexec.exe " + arguments + (quiet ? L" /qn" : L""));
  if (!process) return run;
  CloseHandle(process->hThread);
  const auto running = [&] { return WaitForSingleObject(process->hProcess, 0) == WAIT_TIMEOUT; };
  HWND box = nullptr;
  if (!quiet && WaitUntil([&] {
        auto boxes = TopLevelWindows(process->dwProcessId, L"#32770");
        box = boxes.empty() ? nullptr : boxes.front();
        return box || !running();
      }) &&
      box) {
    EnumChildWindows(
        box,
        [](HWND child, LPARAM message) {
          wchar_t text[512] = {};
          SendMessageW(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
          reinterpret_cast<std::wstring*>(message)->append(text).append(L"\n");
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&run.message));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  if (WaitUntil([&] { return !running(); }, 4 * kTimeout))
    GetExitCodeProcess(process->hProcess, &run.code);
  else
    TerminateProcess(process->hProcess, 1);
  CloseHandle(process->hProcess);
  return run;
}

DWORD Install(const std::wstring& package) { return Msiexec(L"/i \"" + package + L"\"").code; }
DWORD Uninstall(const std::wstring& package) { return Msiexec(L"/x \"" + package + L"\"").code; }

class Installer : public SaverTest {
 protected:
  void SetUp() override {
    SaverTest::SetUp();
    SetString(kWineDllOverrides, kMenuBuilder, L"");
    UninstallEverything();  // after a driver killed half-way
  }
  void TearDown() override {
    UninstallEverything();
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kWineDllOverrides, kMenuBuilder);
    SaverTest::TearDown();
  }

  static void UninstallEverything() {
    for (const auto& [productCode, description] : UninstallEntries()) Uninstall(productCode);
    EXPECT_TRUE(UninstallEntries().empty()) << "could not uninstall a Lumidial product";
  }

  // Exactly one Lumidial product is installed: this version, with its entry
  // in the installed programs, the saver built as `saverVariable` names in
  // the system folder, and its Start-menu shortcut.
  static ::testing::AssertionResult Installed(const std::wstring& version, const wchar_t* saverVariable) {
    const auto entries = UninstallEntries();
    const std::wstring expected = L"Orvane Lumidial|Orvane|" + version + L"|https://www.orvane.example/";
    if (entries.size() != 1 || entries[0].second != expected) {
      auto failure = ::testing::AssertionFailure()
                     << "installed programs: expected only \"" << Narrow(expected) << "\", found";
      for (const auto& entry : entries) failure << " \"" << Narrow(entry.second) << "\"";
      return failure;
    }
    const std::string built = ReadWholeFile(PathFromEnvironment(saverVariable));
    if (built.empty() || ReadWholeFile(InstalledSaver()) != built)
      return ::testing::AssertionFailure() << Narrow(InstalledSaver()) << " is not the saver of version "
                                           << Narrow(version) << " byte for byte";
    if (FileVersion(InstalledSaver()) != version)
      return ::testing::AssertionFailure()
             << "the installed saver's version block says " << Narrow(FileVersion(InstalledSaver()));
    if (!SettingsShortcut()) return ::testing::AssertionFailure() << "no \"Lumidial Settings\" shortcut";
    return ::testing::AssertionSuccess();
  }

  static ::testing::AssertionResult NothingLeft() {
    if (GetFileAttributesW(InstalledSaver().c_str()) != INVALID_FILE_ATTRIBUTES)
      return ::testing::AssertionFailure() << Narrow(InstalledSaver()) << " is left";
    if (!UninstallEntries().empty())
      return ::testing::AssertionFailure() << "an installed-programs entry is left";
    if (SettingsShortcut()) return ::testing::AssertionFailure() << Narrow(*SettingsShortcut()) << " is left";
    return ::testing::AssertionSuccess();
  }

  const std::wstring package = PathFromEnvironment(L"LUMIDIAL_MSI");
  const std::wstring version = Variable(L"LUMIDIAL_VERSION");
};

TEST_F(Installer, InstallsTheBuiltSaverWithEntryAndShortcutAndUninstallKeepsOnlyTheSettings) {
  registry.SetDword(L"TwentyFourHour", 1);  // a user's saved settings
  ASSERT_EQ(Install(package), 0u);
  ASSERT_TRUE(Installed(version, L"LUMIDIAL_PACKAGED_SCR"));

  {
    SCOPED_TRACE("the installed saver runs and a key ends it");
    SaverProcess saver = StartSaver({640, 100}, nullptr, InstalledSaver());
    ASSERT_TRUE(saver.IsRunning());
    ASSERT_TRUE(Xdotool("key a"));
    EXPECT_TRUE(EndsNormally(saver));
  }
  {
    SCOPED_TRACE("the Start-menu shortcut opens the settings dialog");
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof request;
    const std::wstring shortcut = SettingsShortcut().value_or(L"");
    request.lpFile = shortcut.c_str();
    request.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExW(&request)) << "error " << GetLastError();
    // Wine hands back no process for a shortcut: found by its dialog.
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      auto found = TopLevelWindows(0, lumidial::cfg::kFormClass, L"Configure Orvane Lumidial");
      dialog = found.empty() ? nullptr : found.front();
      return dialog != nullptr;
    })) << "no settings dialog";
    DWORD pid = 0;
    GetWindowThreadProcessId(dialog, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(process, 0, image, &size);
    EXPECT_EQ(_wcsicmp(image, InstalledSaver().c_str()), 0) << "opened by " << Narrow(image);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    // Ended, so that uninstalling finds its file free.
    EXPECT_TRUE(WaitUntil([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }));
    CloseHandle(process);
  }

  EXPECT_EQ(Uninstall(package), 0u);
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(registry.GetDword(L"TwentyFourHour"), 1u) << "uninstalling keeps the user's settings";
}

TEST_F(Installer, NewerPackageUpgradesInPlaceAndAnOlderOneIsRefused) {
  const std::wstring newer = PathFromEnvironment(L"LUMIDIAL_MSI_RAISED");
  const std::wstring newerVersion = Variable(L"LUMIDIAL_RAISED_VERSION");
  ASSERT_EQ(Install(package), 0u);
  ASSERT_TRUE(Installed(version, L"LUMIDIAL_PACKAGED_SCR"));

  EXPECT_EQ(Install(newer), 0u);
  EXPECT_TRUE(Installed(newerVersion, L"LUMIDIAL_RAISED_SCR")) << "the newer package replaces the older";

  // Quietly, and as a user starts it, who is told why.
  EXPECT_NE(Install(package), 0u) << "the older package is refused";
  const MsiexecRun run = Msiexec(L"/i \"" + package + L"\"", false);
  EXPECT_NE(run.code, 0u) << "the older package is refused";
  EXPECT_NE(run.message.find(L"A newer version of Orvane Lumidial is already installed."), std::wstring::npos)
      << "with a message saying why, not \"" << Narrow(run.message) << "\"";
  EXPECT_TRUE(Installed(newerVersion, L"LUMIDIAL_RAISED_SCR")) << "the newer one stays as it was";

  EXPECT_EQ(Uninstall(newer), 0u);
  EXPECT_TRUE(NothingLeft());
}

}  // namespace
}  // namespace e2e
