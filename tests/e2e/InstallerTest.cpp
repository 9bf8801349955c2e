// The Windows Installer package, installed and removed by msiexec as an
// administrator deploys it (quietly): in the test bundle on Windows
// ("run-tests.cmd /installer") or under Wine. What it puts on the machine,
// the saver it installs, its Start-menu shortcut (as the package declares it
// and as installed), upgrading, refusing a downgrade (also as a user sees
// it), and what installing and uninstalling leave of a user's settings. Each
// scenario starts and ends with no Lumidial product installed; one the user
// had is removed first and put back by the run from the copy of its package
// the run keeps.
#include "SaverTest.h"

#include <gmock/gmock.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace e2e {
namespace {

std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
    std::fclose(file);
  }
  return bytes;
}

std::wstring InstalledSaver() { return InSystemFolder(L"Lumidial.scr"); }

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

// "Lumidial" in the Start menu. Per machine it belongs in the common one;
// Wine's msiexec puts it in the installing user's.
std::optional<std::wstring> StartMenuShortcut() {
  for (int folder : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path)) &&
        Exists(std::wstring(path) + L"\\Lumidial.lnk"))
      return std::wstring(path) + L"\\Lumidial.lnk";
  }
  return std::nullopt;
}

// What a shortcut file starts (the program's path and its arguments) and
// the icon it shows, as the shell reads them from the link.
struct LinkTarget {
  std::wstring path, arguments, iconPath;
  int iconIndex = -1;
};

std::optional<LinkTarget> ReadLink(const std::wstring& file) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::optional<LinkTarget> target;
  {
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    Microsoft::WRL::ComPtr<IPersistFile> persist;
    wchar_t path[MAX_PATH] = {}, arguments[1024] = {}, icon[MAX_PATH] = {};
    int iconIndex = -1;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) &&
        SUCCEEDED(link.As(&persist)) && SUCCEEDED(persist->Load(file.c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
        SUCCEEDED(link->GetArguments(arguments, 1024)) && SUCCEEDED(link->GetIconLocation(icon, MAX_PATH, &iconIndex)))
      target = LinkTarget{path, arguments, icon, iconIndex};
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return target;
}

// One table of a package, read through the Windows Installer's database
// functions: each row by column name, every field as text.
using TableRow = std::map<std::string, std::string>;

std::vector<TableRow> PackageTable(const std::wstring& package, const std::string& table) {
  std::vector<TableRow> rows;
  PMSIHANDLE database, view, names, record;
  const std::wstring query = L"SELECT * FROM `" + Widen(table) + L"`";
  if (UINT error = MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &database);
      error || (error = MsiDatabaseOpenViewW(database, query.c_str(), &view)) || (error = MsiViewExecute(view, 0)) ||
      (error = MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, &names))) {
    ADD_FAILURE() << "cannot read the table " << table << " of " << Narrow(package) << ": error " << error;
    return rows;
  }
  auto field = [](MSIHANDLE from, UINT column) {
    DWORD size = 0;
    wchar_t none[1] = {};
    MsiRecordGetStringW(from, column, none, &size);
    std::wstring text(++size, L'\0');
    MsiRecordGetStringW(from, column, text.data(), &size);
    text.resize(size);
    return Narrow(text);
  };
  while (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
    TableRow& row = rows.emplace_back();
    for (UINT i = 1; i <= MsiRecordGetFieldCount(names); ++i) row[field(names, i)] = field(record, i);
  }
  return rows;
}

// The long name of a "short|long" file or shortcut name.
std::string LongName(const std::string& name) { return name.substr(name.find('|') + 1); }

// The user's settings key, whole: its values, their types and bytes.
std::string SettingsKey() { return DescribeKey(ScratchRegistry::kKeyPath); }

// What msiexec ends with (the codes of winerror.h, as GetExitCodeProcess
// reads them in full; only a Unix shell would see them cut to 8 bits).
constexpr DWORD kSucceeded = ERROR_SUCCESS;
constexpr DWORD kRefused = ERROR_INSTALL_FAILURE;  // 1603, also for a launch condition not met
// The package's own words when it refuses a downgrade.
constexpr wchar_t kDowngradeMessage[] =
    L"A newer version of Orvane Lumidial is already installed. To install this version, uninstall the newer "
    L"one first.";

DWORD Install(const std::wstring& package) { return Msiexec(L"/i \"" + package + L"\"").code; }
DWORD Uninstall(const std::wstring& package) { return Msiexec(L"/x \"" + package + L"\"").code; }

class Installer : public SaverTest {
 protected:
  void SetUp() override {
    SaverTest::SetUp();
    NEEDS(!InBundle() || GetEnvironmentVariableW(L"LUMIDIAL_INSTALLER", nullptr, 0),
          "an administrator: it installs for the whole machine (run-tests.cmd /installer, as an administrator)");
    // A Lumidial the user installed is removed here and installed again
    // from the copy of its package that the run keeps (harness/Registry.h).
    for (const auto& [productCode, description] : InstalledLumidials())
      NEEDS(user_state::HoldsPackageOf(productCode),
            "a copy of the installed " << Narrow(description) << "'s package, to install it again: nothing removed");
    // Shortcuts make Wine's menu builder write desktop entries into the Unix
    // user's home, outside the test prefix: switched off while a test runs.
    if (UnderWine()) menuBuilderOff_.emplace(L"Software\\Wine\\DllOverrides", L"winemenubuilder.exe", L"");
    UninstallEverything();
  }
  void TearDown() override {
    if (!IsSkipped()) UninstallEverything();
    SaverTest::TearDown();
  }

  static void UninstallEverything() {
    for (const auto& [productCode, description] : InstalledLumidials()) Uninstall(productCode);
    EXPECT_TRUE(InstalledLumidials().empty()) << "could not uninstall a Lumidial product";
  }

  // Exactly one Lumidial product is installed: this version, with its entry
  // in the installed programs, the saver built as `saverVariable` names in
  // the system folder, and its Start-menu shortcut.
  static ::testing::AssertionResult Installed(const std::wstring& version, const wchar_t* saverVariable) {
    const auto entries = InstalledLumidials();
    const std::wstring expected = L"Orvane Lumidial|Orvane|" + version + L"|https://www.orvane.example/";
    if (!::testing::Value(entries, ::testing::ElementsAre(::testing::Pair(::testing::_, expected))))
      return ::testing::AssertionFailure() << "installed programs: expected only \"" << Narrow(expected) << "\", found "
                                           << ::testing::PrintToString(entries);
    const std::string built = ReadWholeFile(PathFromEnvironment(saverVariable));
    if (built.empty() || ReadWholeFile(InstalledSaver()) != built)
      return ::testing::AssertionFailure() << Narrow(InstalledSaver()) << " is not the saver of version "
                                           << Narrow(version) << " byte for byte";
    if (FileVersion(InstalledSaver()) != version)
      return ::testing::AssertionFailure()
             << "the installed saver's version block says " << Narrow(FileVersion(InstalledSaver()));
    if (!StartMenuShortcut()) return ::testing::AssertionFailure() << "no \"Lumidial\" shortcut in the Start menu";
    return ::testing::AssertionSuccess();
  }

  static ::testing::AssertionResult NothingLeft() {
    if (Exists(InstalledSaver()))
      return ::testing::AssertionFailure() << Narrow(InstalledSaver()) << " is left";
    if (!InstalledLumidials().empty())
      return ::testing::AssertionFailure() << "an installed-programs entry is left";
    if (StartMenuShortcut()) return ::testing::AssertionFailure() << Narrow(*StartMenuShortcut()) << " is left";
    return ::testing::AssertionSuccess();
  }

  // A user's saved settings: all six, none at its default, and a value this
  // version does not know (one a later version might write).
  void SaveUsersSettings() {
    for (auto [name, value] : {std::pair{L"ClockMoveDirection", 3}, {L"ClockMoveSpeed", 2}, {L"FlashSecond", 0},
                               {L"TwentyFourHour", 1}, {L"CountDown", 1}})
      registry.SetDword(name, DWORD(value));
    registry.SetString(L"CountDownTime", L"12/31/2026 11:59:00 PM");
    registry.SetBinary(L"ClockColour", {0x00, 0xFF, 0x40, 0x00, 0x7F});
  }

  std::optional<ScopedValue> menuBuilderOff_;
  const std::wstring package = PathFromEnvironment(L"LUMIDIAL_MSI");
  const std::wstring version = FromEnvironment(L"LUMIDIAL_VERSION");
};

TEST_F(Installer, InstallsTheBuiltSaverAndUninstallRemovesItLeavingTheSettingsByteForByte) {
  SaveUsersSettings();
  const std::string saved = SettingsKey();
  ASSERT_EQ(std::count(saved.begin(), saved.end(), '\n'), 8) << "the user's settings are in place: " << saved;
  ASSERT_EQ(Install(package), kSucceeded);
  ASSERT_TRUE(Installed(version, L"LUMIDIAL_PACKAGED_SCR"));
  const std::string installed = SettingsKey();
  EXPECT_EQ(installed, saved) << "installing changes none of the user's settings";

  {
    SCOPED_TRACE("the installed saver runs and a key ends it");
    HWND clock = nullptr;
    SaverProcess saver = StartSaver({640, 100}, &clock, InstalledSaver());
    ASSERT_TRUE(saver.IsRunning());
    ASSERT_TRUE(PressKey('A', clock));
    EXPECT_TRUE(EndsNormally(saver));
  }

  EXPECT_EQ(SettingsKey(), installed) << "the clock only reads the settings";

  EXPECT_EQ(Uninstall(package), kSucceeded);
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(SettingsKey(), saved) << "uninstalling keeps every value the user had";
}

// Windows opens a .scr through the shell's class for screen savers, as
// "%1 /S", and passes it none of a shortcut's arguments: a shortcut to the
// saver would start the clock. The Start-menu entry runs what the shell's
// "Install" command of a .scr runs, which makes Lumidial the screen saver and
// opens the screen-saver settings. Read from the package's Shortcut table
// (what Windows Installer creates the shortcut from) and from the shortcut
// Wine's installer made; not opened: Wine has no desk.cpl.
TEST_F(Installer, StartMenuShortcutInstallsTheSaverAsTheShellDoes) {
  {
    SCOPED_TRACE("the package's Shortcut table");
    auto field = [](const TableRow& row, const char* column) {
      const auto found = row.find(column);
      return found == row.end() ? std::string("(no column ") + column + ")" : found->second;
    };
    // The row of `table` whose `keyColumn` is `key` (by its long name).
    auto rowWhere = [&](const char* table, const char* keyColumn, const std::string& key) {
      for (const TableRow& row : PackageTable(package, table))
        if (LongName(field(row, keyColumn)) == key) return row;
      return TableRow{};
    };
    const TableRow saver = rowWhere("File", "FileName", "Lumidial.scr");
    const std::string saverKey = field(saver, "File");
    ASSERT_FALSE(saver.empty()) << "no Lumidial.scr in the package";
    EXPECT_EQ(field(rowWhere("Component", "Component", field(saver, "Component_")), "Directory_"), "System64Folder")
        << "where the saver goes";
    EXPECT_EQ(field(rowWhere("Property", "Property", "ALLUSERS"), "Value"), "1")
        << "installed for the whole machine, every user";

    const auto shortcuts = PackageTable(package, "Shortcut");
    ASSERT_EQ(shortcuts.size(), 1u) << "one shortcut";
    const TableRow& shortcut = shortcuts[0];
    EXPECT_EQ(LongName(field(shortcut, "Name")), "Lumidial");
    EXPECT_EQ(field(shortcut, "Directory_"), "ProgramMenuFolder");
    // The 64-bit rundll32 (SystemFolder is the 32-bit system folder on
    // 64-bit Windows), the saver's installed path ("[#File]") unquoted, as
    // the shell's command puts it (%l).
    EXPECT_EQ(field(shortcut, "Target"), "[System64Folder]rundll32.exe");
    EXPECT_EQ(field(shortcut, "Arguments"), "desk.cpl,InstallScreenSaver [#" + saverKey + "]");
    EXPECT_EQ(field(shortcut, "Icon_"), "lumidial.ico");
    EXPECT_EQ(field(shortcut, "IconIndex"), "0");
  }

  ASSERT_EQ(Install(package), kSucceeded);
  ASSERT_TRUE(Installed(version, L"LUMIDIAL_PACKAGED_SCR"));
  const std::wstring shortcut = StartMenuShortcut().value_or(L"");
  std::wstring icon;
  {
    SCOPED_TRACE("the installed shortcut");
    const auto link = ReadLink(shortcut);
    ASSERT_TRUE(link) << "cannot read " << Narrow(shortcut);
    EXPECT_EQ(_wcsicmp(link->path.c_str(), InSystemFolder(L"rundll32.exe").c_str()), 0)
        << "starts " << Narrow(link->path);
    const std::wstring arguments = L"desk.cpl,InstallScreenSaver " + InstalledSaver();
    EXPECT_EQ(_wcsicmp(link->arguments.c_str(), arguments.c_str()), 0) << "with " << Narrow(link->arguments);
    icon = link->iconPath;
    const std::string programIcon = ReadWholeFile(PathFromEnvironment(L"LUMIDIAL_ICON"));
    EXPECT_TRUE(!programIcon.empty() && ReadWholeFile(icon) == programIcon)
        << "its icon " << Narrow(icon) << " is not the program's";
    EXPECT_EQ(link->iconIndex, 0);
  }

  EXPECT_EQ(Uninstall(package), kSucceeded);
  EXPECT_TRUE(NothingLeft());
  EXPECT_FALSE(Exists(icon)) << "the shortcut's icon " << Narrow(icon) << " is left";
}

TEST_F(Installer, NewerPackageUpgradesInPlaceAndAnOlderOneIsRefused) {
  const std::wstring newer = PathFromEnvironment(L"LUMIDIAL_MSI_RAISED");
  const std::wstring newerVersion = FromEnvironment(L"LUMIDIAL_RAISED_VERSION");
  SaveUsersSettings();
  const std::string saved = SettingsKey();
  ASSERT_EQ(Install(package), kSucceeded);
  ASSERT_TRUE(Installed(version, L"LUMIDIAL_PACKAGED_SCR"));

  EXPECT_EQ(Install(newer), kSucceeded);
  EXPECT_TRUE(Installed(newerVersion, L"LUMIDIAL_RAISED_SCR")) << "the newer package replaces the older";
  EXPECT_EQ(SettingsKey(), saved) << "upgrading changes none of the user's settings";

  // Quietly, and as a user starts it, who is told why in the package's words.
  EXPECT_EQ(Install(package), kRefused) << "the older package is refused";
  const MsiexecRun run = Msiexec(L"/i \"" + package + L"\"", false);
  EXPECT_EQ(run.code, kRefused) << "the older package is refused";
  EXPECT_THAT(run.boxTexts, ::testing::Contains(std::wstring(kDowngradeMessage))) << "the box says why";
  EXPECT_TRUE(Installed(newerVersion, L"LUMIDIAL_RAISED_SCR")) << "the newer one stays as it was";

  EXPECT_EQ(Uninstall(newer), kSucceeded);
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(SettingsKey(), saved) << "and none is lost when the package goes";
}

}  // namespace
}  // namespace e2e
