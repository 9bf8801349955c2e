#include "Registry.h"

#include "Process.h"

#include <sddl.h>
#include <msi.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

namespace e2e {

namespace {

constexpr wchar_t kSettings[] = L"Software\\Orvane\\Lumidial";
constexpr wchar_t kMaker[] = L"Software\\Orvane";
constexpr const wchar_t* kDesktopValues[] = {L"SCRNSAVE.EXE",         L"ScreenSaveActive",
                                             L"ScreenSaverIsSecure",  L"ScreenSaveTimeOut",
                                             L"ScreenSaveUsePassword", L"LogPixels"};
// The tests' own key (the doubles record there too), and the copy in it.
constexpr wchar_t kTestsKey[] = L"Software\\Lumidial Tests";
constexpr wchar_t kKept[] = L"Software\\Lumidial Tests\\Kept state";
constexpr wchar_t kKeptSettings[] = L"Software\\Lumidial Tests\\Kept state\\Settings";
constexpr wchar_t kKeptDesktop[] = L"Software\\Lumidial Tests\\Kept state\\Desktop";
constexpr wchar_t kKeptPackages[] = L"Software\\Lumidial Tests\\Kept state\\Packages";

using Key = lumidial::UniqueRegKey;

Key Open(const wchar_t* path, REGSAM access) {
  HKEY key = nullptr;
  return Key(RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, &key) == ERROR_SUCCESS ? key : nullptr);
}

Key Create(const wchar_t* path) {
  HKEY key = nullptr;
  return Key(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
                     ERROR_SUCCESS
                 ? key
                 : nullptr);
}

bool Exists(const wchar_t* path) { return Open(path, KEY_READ) != nullptr; }

struct Value {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

std::optional<Value> Read(const wchar_t* path, const wchar_t* name) {
  Value value;
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, path, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr, &size))
    return std::nullopt;
  value.data.resize(size);
  if (RegGetValueW(HKEY_CURRENT_USER, path, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, value.data.data(),
                   &size))
    return std::nullopt;
  value.data.resize(size);
  return value;
}

std::string Error(const char* what, LSTATUS status) {
  return std::string(what) + ": error " + std::to_string(status) + "\n";
}

Value Text(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return {REG_SZ, {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)}};
}

std::string Write(const wchar_t* path, const wchar_t* name, const Value& value) {
  const LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, path, name, value.type, value.data.data(),
                                         DWORD(value.data.size()));
  return status ? Error(("writing " + Narrow(path) + "\\" + Narrow(name)).c_str(), status) : "";
}

constexpr SECURITY_INFORMATION kOwnerAndGroup = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;
constexpr SECURITY_INFORMATION kRights = kOwnerAndGroup | DACL_SECURITY_INFORMATION;

// `what` of a security descriptor in the platform's notation (SDDL).
std::wstring Sddl(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION what) {
  wchar_t* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, what, &text, nullptr))
    return L"";
  const std::unique_ptr<wchar_t, decltype(&LocalFree)> owned(text, &LocalFree);
  return text;
}

std::wstring KeyRights(const wchar_t* path, SECURITY_INFORMATION what) {
  Key key = Open(path, READ_CONTROL);
  DWORD size = 0;
  if (!key || RegGetKeySecurity(key.get(), what, nullptr, &size) != ERROR_INSUFFICIENT_BUFFER) return L"";
  std::vector<BYTE> descriptor(size);
  return RegGetKeySecurity(key.get(), what, descriptor.data(), &size) ? L"" : Sddl(descriptor.data(), what);
}

// `set()`, with SeRestorePrivilege enabled for it where the token holds it
// (an administrator's does): with it a key may be given any owner; without
// it, only the caller or a group of the caller's that may own objects.
LSTATUS WithRestorePrivilege(const std::function<LSTATUS()>& set) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return set();
  const lumidial::UniqueHandle owned(token);
  TOKEN_PRIVILEGES enabled{1, {{{}, SE_PRIVILEGE_ENABLED}}}, previous{};
  DWORD size = 0;
  // `previous` lists what changed: nothing when it was on already, or is not held.
  if (!LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &enabled.Privileges[0].Luid) ||
      !AdjustTokenPrivileges(token, FALSE, &enabled, sizeof previous, &previous, &size))
    previous.PrivilegeCount = 0;
  const LSTATUS status = set();
  if (previous.PrivilegeCount) AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr);
  return status;
}

}  // namespace

void SetValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, name, type, data, size), ERROR_SUCCESS)
      << "setting " << Narrow(key) << "\\" << Narrow(name);
}

std::optional<DWORD> GetDword(const wchar_t* key, const wchar_t* name) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size)) return std::nullopt;
  return value;
}

std::optional<std::wstring> GetString(const wchar_t* key, const wchar_t* name) {
  wchar_t value[512] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, value, &size)) return std::nullopt;
  return value;
}

bool ScratchRegistry::Exists() { return e2e::Exists(kKeyPath); }

std::optional<DWORD> ScratchRegistry::GetType(const wchar_t* name) const {
  const auto value = Read(kKeyPath, name);
  return value ? std::optional<DWORD>(value->type) : std::nullopt;
}

std::wstring Rights(const wchar_t* path) { return KeyRights(path, kRights); }

std::string SetRights(const wchar_t* path, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    return Error(("reading the rights " + Narrow(sddl)).c_str(), LSTATUS(GetLastError()));
  const std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, &LocalFree);
  // An owner and group named are always given with the access list: written
  // alone, an access list gives a key that had no security descriptor of its
  // own (a new one, under Wine) the writer's owner and group.
  const std::wstring ownerAndGroup = Sddl(descriptor, kOwnerAndGroup);
  const bool owner = !ownerAndGroup.empty();
  Key key = Open(path, WRITE_DAC | (owner ? WRITE_OWNER : 0));
  const auto set = [&] {
    return key ? RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION | (owner ? kOwnerAndGroup : 0), descriptor)
               : LSTATUS(ERROR_ACCESS_DENIED);
  };
  const LSTATUS status = owner ? WithRestorePrivilege(set) : set();
  key.reset();
  // Said with the key, the owner it was to have and the one it has.
  if (const std::wstring now = owner ? KeyRights(path, kOwnerAndGroup) : L""; now != ownerAndGroup)
    return "HKCU\\" + Narrow(path) + ": its owner and group are " + Narrow(now) + ", not " + Narrow(ownerAndGroup) +
           (status ? " (error " + std::to_string(status) + ")" : "") + "\n";
  return status ? Error(("giving " + Narrow(path) + " the rights " + Narrow(sddl)).c_str(), status) : "";
}

namespace {

std::string Hex(const std::vector<BYTE>& data) {
  std::string text;
  char byte[4];
  for (BYTE b : data) std::snprintf(byte, sizeof byte, " %02x", b), text += byte;
  return text;
}

std::string DescribeValue(const Value& value) {
  std::string text = "type " + std::to_string(value.type);
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ)
    return text + " \"" + Narrow(reinterpret_cast<const wchar_t*>(value.data.data())) + "\"";
  return text + Hex(value.data);
}

void AppendKey(std::ostream& out, const std::wstring& path) {
  Key key = Open(path.c_str(), KEY_READ);
  if (!key) return void(out << Narrow(path) << ": absent\n");
  out << Narrow(path) << ": rights " << Narrow(Rights(path.c_str())) << "\n";
  wchar_t name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD size = 16384;
    if (RegEnumValueW(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr)) break;
    out << Narrow(path) << "\\\"" << Narrow(name) << "\": " << DescribeValue(*Read(path.c_str(), name)) << "\n";
  }
  for (DWORD i = 0;; ++i) {
    DWORD size = 256;
    if (RegEnumKeyExW(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr)) break;
    AppendKey(out, path + L"\\" + name);
  }
}

}  // namespace

std::string DescribeKey(const wchar_t* key) {
  std::ostringstream out;
  AppendKey(out, key);
  return out.str();
}

namespace user_state {
namespace {

// The settings key, opened to be rewritten: a key the user was only let
// read is first given everyone's full control (its kept rights follow).
Key OpenToRewrite(const wchar_t* path) {
  if (Key key = Open(path, KEY_ALL_ACCESS)) return key;
  SetRights(path, L"D:P(A;;KA;;;WD)");
  return Open(path, KEY_ALL_ACCESS);
}

std::wstring LocalFolder(const char* variable, const wchar_t* sub) {
  wchar_t base[MAX_PATH] = {};
  GetEnvironmentVariableW(Widen(variable).c_str(), base, MAX_PATH);
  return std::wstring(base) + L"\\Lumidial tests" + sub;
}
std::wstring PackagesFolder() { return LocalFolder("LOCALAPPDATA", L"\\kept packages"); }
std::wstring ScratchRoot() { return LocalFolder("TEMP", L""); }

std::map<std::wstring, std::wstring> KeptPackages() {
  std::map<std::wstring, std::wstring> packages;
  Key key = Open(kKeptPackages, KEY_READ);
  wchar_t code[64], path[MAX_PATH * 2];
  for (DWORD i = 0;; ++i) {
    DWORD codeSize = 64, pathSize = sizeof path, type = 0;
    if (!key || RegEnumValueW(key.get(), i, code, &codeSize, nullptr, &type, reinterpret_cast<BYTE*>(path),
                              &pathSize))
      break;
    packages[code] = path;
  }
  return packages;
}

BOOL ScreenSaverRunning() {
  BOOL running = FALSE;
  SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
  return running;
}

}  // namespace

bool Kept() { return Exists(kKept); }

std::string Keep() {
  std::string problems = Kept() ? PutBack(true) : "";
  std::error_code ignored;
  std::filesystem::remove_all(ScratchRoot(), ignored);
  if (!Create(kKept)) return problems + Error("making the copy's key", LSTATUS(GetLastError()));

  const auto flag = [](bool on) { return Value{REG_DWORD, {BYTE(on), 0, 0, 0}}; };
  problems += Write(kKept, L"Settings key", flag(Exists(kSettings)));
  problems += Write(kKept, L"Maker's key", flag(Exists(kMaker)));
  if (Exists(kSettings)) {
    const std::wstring rights = Rights(kSettings);
    Key from = Open(kSettings, KEY_READ), to = Create(kKeptSettings);
    if (rights.empty()) problems += "the settings key's rights cannot be read\n";
    problems += Write(kKept, L"Settings rights", Text(rights));
    if (const LSTATUS status = from && to ? RegCopyTreeW(from.get(), nullptr, to.get()) : ERROR_ACCESS_DENIED)
      problems += Error("copying the settings", status);
  }
  Create(kKeptDesktop);
  for (const wchar_t* name : kDesktopValues)
    if (const auto value = Read(kDesktop, name)) problems += Write(kKeptDesktop, name, *value);
  problems += Write(kKept, L"Screen saver running", flag(ScreenSaverRunning()));

  // The Windows Installer keeps a copy of each installed package; a copy of
  // that copy reinstalls it after the installer's scenarios removed it.
  Create(kKeptPackages);
  for (const auto& [code, description] : InstalledLumidials()) {
    wchar_t cached[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    const std::wstring copy = PackagesFolder() + L"\\" + code + L".msi";
    std::filesystem::create_directories(PackagesFolder(), ignored);
    if (MsiGetProductInfoW(code.c_str(), INSTALLPROPERTY_LOCALPACKAGE, cached, &size) == ERROR_SUCCESS &&
        CopyFileW(cached, copy.c_str(), FALSE))
      problems += Write(kKeptPackages, code.c_str(), Text(copy));
  }
  return problems;
}

std::string PutBack(bool forget) {
  if (!Kept()) return "";
  std::string problems;
  const bool settingsExisted = GetDword(kKept, L"Settings key").value_or(0) != 0;
  if (Exists(kSettings) || settingsExisted) {
    Key key = Exists(kSettings) ? OpenToRewrite(kSettings) : Create(kSettings);
    Key kept = Open(kKeptSettings, KEY_READ);
    if (!key) {
      problems += "the settings key cannot be opened to be put back\n";
    } else if (LSTATUS status = RegDeleteTreeW(key.get(), nullptr)) {
      problems += Error("clearing the settings key", status);
    } else if (settingsExisted) {
      if ((status = kept ? RegCopyTreeW(kept.get(), nullptr, key.get()) : ERROR_FILE_NOT_FOUND))
        problems += Error("putting the settings back", status);
      key.reset();
      const auto rights = Read(kKept, L"Settings rights");
      problems += rights ? SetRights(kSettings, reinterpret_cast<const wchar_t*>(rights->data.data()))
                         : "the settings key's rights were not kept\n";
    } else {
      key.reset();
      if ((status = RegDeleteTreeW(HKEY_CURRENT_USER, kSettings))) problems += Error("removing the settings key", status);
    }
  }
  if (!GetDword(kKept, L"Maker's key").value_or(0)) RegDeleteKeyW(HKEY_CURRENT_USER, kMaker);  // only if empty of keys

  for (const wchar_t* name : kDesktopValues) {
    if (const auto value = Read(kKeptDesktop, name))
      problems += Write(kDesktop, name, *value);
    else if (const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktop, name);
             status && status != ERROR_FILE_NOT_FOUND)
      problems += Error(("removing Control Panel\\Desktop\\" + Narrow(name)).c_str(), status);
  }
  BOOL previous = FALSE;
  SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, GetDword(kKept, L"Screen saver running").value_or(0), &previous, 0);

  const auto kept = KeptPackages();
  for (const auto& [code, description] : InstalledLumidials())
    if (!kept.count(code) && Msiexec(L"/x " + code).code)
      problems += "could not uninstall " + Narrow(description) + "\n";
  const auto installed = InstalledLumidials();
  for (const auto& [code, path] : kept)
    if (std::none_of(installed.begin(), installed.end(), [&](const auto& p) { return p.first == code; }) &&
        Msiexec(L"/i \"" + path + L"\"").code)
      problems += "could not install " + Narrow(code) + " again from " + Narrow(path) + "\n";

  if (forget) {
    std::error_code ignored;
    std::filesystem::remove_all(ScratchRoot(), ignored);
    std::filesystem::remove_all(PackagesFolder(), ignored);
    RemoveDirectoryW(LocalFolder("LOCALAPPDATA", L"").c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestsKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey);
  }
  return problems;
}

std::string Describe() {
  std::ostringstream out;
  out << DescribeKey(kSettings);
  out << Narrow(kMaker) << (Exists(kMaker) ? ": present\n" : ": absent\n");
  for (const wchar_t* name : kDesktopValues) {
    const auto value = Read(kDesktop, name);
    out << Narrow(kDesktop) << "\\" << Narrow(name) << ": " << (value ? DescribeValue(*value) : "absent") << "\n";
  }
  out << "screen saver running: " << ScreenSaverRunning() << "\n";
  for (const auto& [code, description] : InstalledLumidials())
    out << "installed: " << Narrow(code) << " " << Narrow(description) << "\n";
  return out.str();
}

bool HoldsPackageOf(const std::wstring& productCode) { return KeptPackages().count(productCode) != 0; }

std::wstring ScratchFolder(const wchar_t* name) {
  const std::wstring folder = ScratchRoot() + L"\\" + name;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

}  // namespace user_state

namespace {

// Every driver keeps the user's state before its first scenario and puts
// it back after its last: for itself, or from the copy its runner keeps.
class KeptUserState : public ::testing::Environment {
 public:
  void SetUp() override {
    byRunner_ = GetEnvironmentVariableW(L"LUMIDIAL_STATE_KEPT", nullptr, 0) != 0;
    const std::string problems = byRunner_ ? user_state::PutBack(false) : user_state::Keep();
    ASSERT_EQ(problems, "") << "the user's state could not be kept: no scenario may change it";
  }
  void TearDown() override {
    EXPECT_EQ(user_state::PutBack(!byRunner_), "") << "the user's state could not all be put back";
  }

 private:
  bool byRunner_ = false;
};
[[maybe_unused]] auto* const kKeptUserState = ::testing::AddGlobalTestEnvironment(new KeptUserState);

}  // namespace
}  // namespace e2e
