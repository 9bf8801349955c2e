// The Windows Installer package, installed and removed by Wine's msiexec
// without a user interface, as an administrator deploys it: what it puts on
// the machine, the saver it installs, upgrading, refusing a downgrade, and
// what uninstalling leaves. Every test starts and ends with no Lumidial
// product installed.
#include "ConfigureIds.h"
#include "SaverTest.h"

#include <msi.h>
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

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring MachineString(const std::wstring& key, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
  return value;
}

// "name|publisher|version|address" of every installed program whose name
// mentions Lumidial.
std::vector<std::wstring> UninstallEntries() {
  std::vector<std::wstring> entries;
  HKEY uninstall = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &uninstall)) return entries;
  wchar_t name[256];
  for (DWORD i = 0, size = 256;
       RegEnumKeyExW(uninstall, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, size = 256) {
    const std::wstring key = std::wstring(kUninstallKey) + L"\\" + name;
    const std::wstring displayName = MachineString(key, L"DisplayName");
    if (displayName.find(L"Lumidial") == std::wstring::npos) continue;
    entries.push_back(displayName + L"|" + MachineString(key, L"Publisher") + L"|" +
                      MachineString(key, L"DisplayVersion") + L"|" + MachineString(key, L"URLInfoAbout"));
  }
  RegCloseKey(uninstall);
  return entries;
}

// Products installed under the package's upgrade code.
std::vector<std::wstring> RelatedProducts() {
  const std::wstring upgradeCode = L"{" + Variable(L"LUMIDIAL_UPGRADE_CODE") + L"}";
  std::vector<std::wstring> products;
  wchar_t product[39];
  for (DWORD i = 0; MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, product) == ERROR_SUCCESS; ++i)
    products.push_back(product);
  return products;
}

// "Lumidial Settings" in the Start menu. Per machine it belongs in the
// common one; Wine's msiexec puts it in the installing user's.
std::optional<std::wstring> SettingsShortcut() {
  for (int folder : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path)) &&
        Exists(std::wstring(path) + L"\\Lumidial Settings.lnk"))
      return std::wstring(path) + L"\\Lumidial Settings.lnk";
  }
  return std::nullopt;
}

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

  // "msiexec <arguments> /qn", logged verbosely into `log` (for failure
  // messages); its exit code.
  DWORD Msiexec(const std::wstring& arguments) {
    wchar_t directory[MAX_PATH] = {}, logPath[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, directory);
    GetTempFileNameW(directory, L"msi", 0, logPath);
    auto process = StartProcess(L"msiexec.exe " + arguments + L" /qn /l*v \"" + logPath + L"\"");
    DWORD code = 0xFFFFFFFF;
    if (process) {
      if (WaitForSingleObject(process->hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process->hProcess, &code);
      CloseHandle(process->hThread);
      CloseHandle(process->hProcess);
    }
    log = ReadWholeFile(logPath);
    DeleteFileW(logPath);
    return code;
  }
  // "msiexec /i <package>" with its user interface, as a double-click on the
  // package starts it: the text of the first message box it shows (which is
  // then answered with OK), and its exit code.
  static std::pair<std::wstring, DWORD> InstallWithInterface(const std::wstring& package) {
    auto process = StartProcess(L"msiexec.exe /i \"" + package + L"\"");
    if (!process) return {L"", 0xFFFFFFFF};
    CloseHandle(process->hThread);
    const auto running = [&] { return WaitForSingleObject(process->hProcess, 0) == WAIT_TIMEOUT; };
    HWND box = nullptr;
    WaitUntil([&] {
      auto boxes = TopLevelWindows(process->dwProcessId, L"#32770");
      box = boxes.empty() ? nullptr : boxes.front();
      return box || !running();
    });
    std::wstring text;
    if (box) {
      EnumChildWindows(
          box,
          [](HWND child, LPARAM param) {
            wchar_t buffer[512] = {};
            SendMessageW(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
            reinterpret_cast<std::wstring*>(param)->append(buffer).append(L"\n");
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&text));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    DWORD code = 0xFFFFFFFF;
    if (WaitUntil([&] { return !running(); }))
      GetExitCodeProcess(process->hProcess, &code);
    else
      TerminateProcess(process->hProcess, 1);
    CloseHandle(process->hProcess);
    return {text, code};
  }

  std::string LogEnd() const {
    return "\nmsiexec log ends:\n" + log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
  }

  void UninstallEverything() {
    for (const std::wstring& product : RelatedProducts()) Msiexec(L"/x " + product);
    EXPECT_TRUE(RelatedProducts().empty()) << "could not uninstall a Lumidial product" << LogEnd();
  }

  // Exactly one Lumidial product is installed: this version, with its entry
  // in the installed programs, the saver built as `saverVariable` names in
  // the system folder, and its Start-menu shortcut.
  static ::testing::AssertionResult Installed(const std::wstring& version, const wchar_t* saverVariable) {
    const auto entries = UninstallEntries();
    const std::wstring expected = L"Orvane Lumidial|Orvane|" + version + L"|https://www.orvane.example/";
    if (entries != std::vector<std::wstring>{expected}) {
      auto failure = ::testing::AssertionFailure()
                     << "installed programs: expected only \"" << Narrow(expected) << "\", found";
      for (const auto& entry : entries) failure << " \"" << Narrow(entry) << "\"";
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
    if (Exists(InstalledSaver()))
      return ::testing::AssertionFailure() << Narrow(InstalledSaver()) << " is left";
    if (!UninstallEntries().empty())
      return ::testing::AssertionFailure() << "an installed-programs entry is left";
    if (!RelatedProducts().empty()) return ::testing::AssertionFailure() << "a product is still registered";
    if (SettingsShortcut()) return ::testing::AssertionFailure() << Narrow(*SettingsShortcut()) << " is left";
    return ::testing::AssertionSuccess();
  }

  const std::wstring package = PathFromEnvironment(L"LUMIDIAL_MSI");
  const std::wstring version = Variable(L"LUMIDIAL_VERSION");
  std::string log;
};

TEST_F(Installer, InstallsTheBuiltSaverWithEntryAndShortcutAndUninstallKeepsOnlyTheSettings) {
  registry.SetDword(L"TwentyFourHour", 1);  // a user's saved settings
  ASSERT_EQ(Msiexec(L"/i \"" + package + L"\""), 0u) << LogEnd();
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

  EXPECT_EQ(Msiexec(L"/x \"" + package + L"\""), 0u) << LogEnd();
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(registry.GetDword(L"TwentyFourHour"), 1u) << "uninstalling keeps the user's settings";
}

TEST_F(Installer, NewerPackageUpgradesInPlaceAndAnOlderOneIsRefused) {
  const std::wstring newer = PathFromEnvironment(L"LUMIDIAL_MSI_RAISED");
  const std::wstring newerVersion = Variable(L"LUMIDIAL_RAISED_VERSION");
  ASSERT_EQ(Msiexec(L"/i \"" + package + L"\""), 0u) << LogEnd();
  ASSERT_TRUE(Installed(version, L"LUMIDIAL_PACKAGED_SCR"));

  EXPECT_EQ(Msiexec(L"/i \"" + newer + L"\""), 0u) << LogEnd();
  EXPECT_TRUE(Installed(newerVersion, L"LUMIDIAL_RAISED_SCR")) << "the newer package replaces the older";

  // Quietly, and as a user starts it: the user sees why (Wine's msiexec logs
  // no reason when quiet).
  EXPECT_NE(Msiexec(L"/i \"" + package + L"\""), 0u) << "the older package is refused";
  const auto [message, code] = InstallWithInterface(package);
  EXPECT_NE(code, 0u) << "the older package is refused";
  EXPECT_NE(message.find(L"A newer version of Orvane Lumidial is already installed."), std::wstring::npos)
      << "with a message saying why, not \"" << Narrow(message) << "\"";
  EXPECT_TRUE(Installed(newerVersion, L"LUMIDIAL_RAISED_SCR")) << "the newer one stays as it was";

  EXPECT_EQ(Msiexec(L"/x \"" + newer + L"\""), 0u) << LogEnd();
  EXPECT_TRUE(NothingLeft());
}

}  // namespace
}  // namespace e2e
