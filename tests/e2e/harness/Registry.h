// The registry as the scenarios use it: values of any HKCU key, the saver's
// settings key as a scratch key, a key's rights; and the user's state that
// a test run puts back.
//
// What a test run changes on the machine it runs on is kept before it
// changes anything and put back after: the user's Lumidial settings (every
// value, and the key's owner, group and access list), the desktop's
// screen-saver values, the screen-saver-running flag and any Lumidial
// installed (from a copy of its package). The copy stays in the registry and
// in a folder of the user's until it is put back, so that a run stopped
// half-way leaves it for the next run, which puts it back before anything
// else. The runner keeps the copy for a whole bundle run and tells its
// drivers so (LUMIDIAL_STATE_KEPT); a driver run on its own keeps one for
// itself (a GoogleTest environment of every driver's).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Values of any key of HKCU, or of `root` (L"" names a key's default value).
void SetValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size,
              HKEY root = HKEY_CURRENT_USER);
inline void SetDword(const wchar_t* key, const wchar_t* name, DWORD value) {
  SetValue(key, name, REG_DWORD, &value, sizeof value);
}
inline void SetString(const wchar_t* key, const wchar_t* name, const std::wstring& value,
                      HKEY root = HKEY_CURRENT_USER) {
  SetValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2), root);
}
std::optional<DWORD> GetDword(const wchar_t* key, const wchar_t* name);
std::optional<std::wstring> GetString(const wchar_t* key, const wchar_t* name, HKEY root = HKEY_CURRENT_USER);
inline void DeleteValue(const wchar_t* key, const wchar_t* name) { RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name); }
inline constexpr const wchar_t* kDesktop = L"Control Panel\\Desktop";

// A value of any key set until the end of the scope, then put back as it
// was (removed where there was none).
class ScopedValue {
 public:
  ScopedValue(const wchar_t* key, const wchar_t* name, DWORD value, HKEY root = HKEY_CURRENT_USER)
      : ScopedValue(key, name, REG_DWORD, &value, sizeof value, root) {}
  ScopedValue(const wchar_t* key, const wchar_t* name, const std::wstring& value, HKEY root = HKEY_CURRENT_USER)
      : ScopedValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2), root) {}
  ScopedValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size, HKEY root);
  ~ScopedValue();
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;

 private:
  HKEY root_;
  const wchar_t *key_, *name_;
  std::optional<std::pair<DWORD, std::vector<BYTE>>> original_;  // its type and data
};

// The saver's settings key, deleted before and after each scenario (the
// user's own is kept and put back around the whole run).
struct ScratchRegistry {
  static constexpr const wchar_t* kKeyPath = L"Software\\Orvane\\Lumidial";
  ScratchRegistry() { Clear(); }
  ~ScratchRegistry() { Clear(); }
  static void Clear() { RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath); }
  static bool Exists();
  void SetDword(const wchar_t* name, DWORD value) { e2e::SetDword(kKeyPath, name, value); }
  void SetString(const wchar_t* name, const std::wstring& value) { e2e::SetString(kKeyPath, name, value); }
  void SetBinary(const wchar_t* name, const std::vector<BYTE>& value) {
    SetValue(kKeyPath, name, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
  }
  std::optional<DWORD> GetDword(const wchar_t* name) const { return e2e::GetDword(kKeyPath, name); }
  std::optional<std::wstring> GetString(const wchar_t* name) const { return e2e::GetString(kKeyPath, name); }
  std::optional<DWORD> GetType(const wchar_t* name) const;
};

// The owner, group and access list of an HKCU key, in the platform's own
// notation (SDDL); empty when they cannot be read.
std::wstring Rights(const wchar_t* key);
// Gives an HKCU key the rights `sddl` names, its owner and group too when
// it names them; empty, or what went wrong (the owner and group it has,
// when they are not those).
std::string SetRights(const wchar_t* key, const std::wstring& sddl);

// An HKCU key as it is now, its subkeys too, one line a fact: its rights,
// and each value's name, type and data ("...: absent" when there is none).
std::string DescribeKey(const wchar_t* key);

namespace user_state {
// True when a copy is waiting to be put back.
bool Kept();

// Puts back what a run stopped half-way left (and forgets it), then keeps a
// copy of the state now. Empty when all went well; else what did not.
std::string Keep();

// Puts the kept state back. `forget` then removes the copy and every trace
// of the run (its scratch folder, the tests' own registry key). Empty when
// all went well; else what could not be put back.
std::string PutBack(bool forget);

// The state as it is now, one line a fact, to compare before and after.
std::string Describe();

// The copy of the package of the installed Lumidial `productCode`, if one
// is kept.
bool HoldsPackageOf(const std::wstring& productCode);

// A folder for a scenario's files (%TEMP%\Lumidial tests\NAME), made
// empty; the run removes it with every trace when it forgets the copy.
std::wstring ScratchFolder(const wchar_t* name);

}  // namespace user_state
}  // namespace e2e
