// What only Wine can stage for a scenario: a time zone given to one program
// (TZ), the password libraries' doubles (in the system folder, or through
// Wine's DLL overrides), densities (its LogPixels), the X server's monitors,
// and Unix programs. A scenario that uses any of it is of a fixture named
// "...WineOnly" (IsWineOnly, the one rule of where scenarios run): ctest
// runs only those (cmake/WindowsGTest.cmake); the bundle lists them by the
// reason they skip with there (kWineOnlySkip), the one skip results.py allows.
#pragma once

#include "Process.h"
#include "Registry.h"

#include <string>

namespace e2e {

inline constexpr char kWineOnlySkip[] = "Wine only: ";
inline bool IsWineOnly(const std::string& test) {
  const std::string suite = test.substr(0, test.find('.'));
  return suite.size() >= 8 && suite.compare(suite.size() - 8, 8, "WineOnly") == 0;
}

// True under Wine: what only Wine reads (its own registry keys) is written
// there and nowhere else.
bool UnderWine();

// The base of a fixture of scenarios only Wine can stage, e.g.
//   class RunModeWineOnly : public WineOnly<RunMode> {
//    public: RunModeWineOnly() : WineOnly("time zones set through TZ") {}
//   };
template <class Base>
class WineOnly : public Base {
 public:
  explicit WineOnly(const char* why) : why_(why) {}

 protected:
  void SetUp() override {
    if (InBundle()) GTEST_SKIP() << kWineOnlySkip << why_;
    Base::SetUp();
  }

 private:
  const char* why_;
};

// The saver in a time zone `utcOffsetMinutes` east of UTC: a Windows child
// inherits its parent's Unix TZ whatever the environment block says, so this
// starts "/usr/bin/env wine <saver>" with TZ in the block and finds the saver
// by its image name.
SaverProcess StartInTimeZone(const std::wstring& arguments, int utcOffsetMinutes);

// Runs `command` through /bin/sh and waits for the exit status it leaves in
// a marker file (in the session's Wine prefix, out of reach of other
// sessions' drivers, whose Windows process ids repeat).
::testing::AssertionResult RunUnix(const std::string& command);

// Lays out the monitors of the session's Xorg server (dummy driver): X
// geometries "WxH+X+Y ...", the primary first (scripts/monitors.sh).
::testing::AssertionResult LayOutMonitors(const std::string& geometries);

// The pixel density that programs started from now on run at (Wine reads
// HKCU\Control Panel\Desktop "LogPixels" when a program starts), until the
// end of the scope; then the prefix's own again.
struct Density : ScopedDword {
  explicit Density(int dpi) : ScopedDword(kDesktop, L"LogPixels", DWORD(dpi)) {}
};

// The file named by the environment variable `source`, copied into the
// system directory as `name` until the destructor puts any original back.
class SystemFile {
 public:
  SystemFile(const wchar_t* name, const wchar_t* source);
  ~SystemFile() { Restore(); }
  SystemFile(const SystemFile&) = delete;
  SystemFile& operator=(const SystemFile&) = delete;
  bool installed() const { return installed_; }

 private:
  void Restore();
  std::wstring path_, backup_;
  bool installed_ = false;
};

// A Wine DLL override for Lumidial.scr only ("native" loads the file in the
// system directory, "" loads nothing), removed by the destructor; outside
// Wine, nothing.
class DllOverride {
 public:
  DllOverride(const wchar_t* dll, const wchar_t* order);
  ~DllOverride();
  DllOverride(const DllOverride&) = delete;
  DllOverride& operator=(const DllOverride&) = delete;

 private:
  const wchar_t* dll_;
};

// Where the doubles of tests/doubles take their answers from and record
// their calls.
inline constexpr const wchar_t* kDoubleKey = L"Software\\Lumidial Tests\\Doubles";
std::optional<DWORD> Recorded(const wchar_t* name);

inline constexpr const wchar_t* kUsePassword = L"ScreenSaveUsePassword";

// A screen-saver password in force until the end of the scope.
struct PasswordSet {
  PasswordSet();
  ~PasswordSet();
};

// The password.cpl double in the system directory and a password in force;
// the double refuses and holds its prompt open until the scenario closes it.
struct HeldPasswordPrompt {
  HeldPasswordPrompt();
  SystemFile cpl{L"password.cpl", L"LUMIDIAL_PASSWORD_CPL_DOUBLE"};
  PasswordSet password;
};

}  // namespace e2e
