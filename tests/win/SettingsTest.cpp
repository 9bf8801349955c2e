// The settings object and the password check on the real registry of the
// test prefix.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <tuple>

#include "Registry.h"
#include "ScreenSaverUtils.h"
#include "Settings.h"

using namespace lumidial;

namespace {

constexpr char kDesktopKey[] = "Control Panel\\Desktop";
const unsigned char kEightBytes[8] = {1, 0, 0, 0, 1, 0, 0, 0};

void Put(const char* name, DWORD type, const void* data, DWORD size, const char* key = kSettingsKey) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key, name, type, data, size), ERROR_SUCCESS);  // made if need be
}
void PutDword(const char* name, DWORD value, const char* key = kSettingsKey) {
    Put(name, REG_DWORD, &value, sizeof value, key);
}
void PutString(const char* name, const char* text) { Put(name, REG_SZ, text, DWORD(std::strlen(text) + 1)); }

// The lines the code in this process writes to the debug output while it
// lives: OutputDebugString raises an exception that a vectored handler sees
// first, on Windows as under Wine.
class DebugOutput {
public:
    DebugOutput() : handler_(AddVectoredExceptionHandler(1, &DebugOutput::Seen)) { text_().clear(); }
    ~DebugOutput() { RemoveVectoredExceptionHandler(handler_); }
    const std::string& Text() const { return text_(); }

private:
    static std::string& text_() {
        static std::string text;
        return text;
    }
    static LONG CALLBACK Seen(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD& r = *info->ExceptionRecord;
        if (r.ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C && r.NumberParameters >= 2) {
            const auto* text = reinterpret_cast<const wchar_t*>(r.ExceptionInformation[1]);
            text_().append(text, text + r.ExceptionInformation[0]);  // ASCII here
        } else if (r.ExceptionCode == DBG_PRINTEXCEPTION_C && r.NumberParameters >= 2) {
            text_().append(reinterpret_cast<const char*>(r.ExceptionInformation[1]));
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }
    void* handler_;
};

// Direction, speed, flash, 24-hour, count-down and its time, as loaded now.
std::tuple<int, int, bool, bool, bool, double> Loaded() {
    const TSettings s;
    return {s.ClockMoveDirection, s.ClockMoveSpeed, s.FlashSecond, s.TwentyFourHour, s.CountDown,
            s.CountDownTime};
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey); }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "ScreenSaveUsePassword");
    }
    TRegistryKey stored;  // the settings key, once a scenario opens it to read what was saved
};

TEST_F(Settings, EmptyKeyGivesDefaults) {
    EXPECT_EQ(Loaded(), std::make_tuple(0, 1, true, false, false, 0.0));
}

TEST_F(Settings, ValuesLoadUnvalidatedAndWrongTypesKeepTheirDefaults) {
    PutString("ClockMoveDirection", "3");
    Put("FlashSecond", REG_BINARY, kEightBytes, 8);  // longer than a DWORD
    PutDword("CountDownTime", 12);
    PutDword("ClockMoveSpeed", 7);  // out of range, still taken
    PutDword("TwentyFourHour", 5);  // any non-zero is true
    PutDword("CountDown", 1);
    const DebugOutput output;
    EXPECT_EQ(Loaded(), std::make_tuple(0, 7, true, true, true, 0.0));
    // Survived, and said in the debug output.
    for (const char* line : {"Lumidial: reading a setting: Invalid data type for 'ClockMoveDirection'",
                             "Lumidial: reading a setting: Failed to get data for 'FlashSecond'"})
        EXPECT_NE(output.Text().find(line), std::string::npos) << "no line \"" << line << "\" in:\n" << output.Text();
}

// Gives the settings key the rights `sddl` describes; its owner may always.
void SecureSettingsKey(const char* sddl) {
    HKEY key = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, WRITE_DAC, &key), ERROR_SUCCESS);
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
    LocalFree(descriptor);
    RegCloseKey(key);
}

// An administrator may restrict the settings: the user may read them, and
// perhaps set their values, but neither change the key's rights nor delete
// it. Saving asks for no more than it needs, and says when it cannot.
TEST_F(Settings, KeyTheUserMayNotFullyControlStillLoadsAndSavesWhereAllowed) {
    for (const auto& [sddl, writable] : {std::pair{"D:P(A;;KR;;;WD)", false},
                                         std::pair{"D:P(A;;0x2001b;;;WD)", true}}) {  // KR | KEY_SET_VALUE
        SCOPED_TRACE(sddl);
        PutDword("TwentyFourHour", 1);
        PutDword("ClockMoveDirection", 2);
        SecureSettingsKey(sddl);
        HKEY probe = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &probe), ERROR_ACCESS_DENIED)
            << "the key grants every right";
        EXPECT_EQ(Loaded(), std::make_tuple(2, 1, true, true, false, 0.0));
        TSettings changed;
        changed.ClockMoveDirection = 3;
        EXPECT_EQ(changed.Save(), writable ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_ACCESS_DENIED));
        EXPECT_EQ(std::get<0>(Loaded()), writable ? 3 : 2);
        SecureSettingsKey("D:P(A;;KA;;;WD)");  // so that it can go
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    }
}

TEST_F(Settings, UnparsableCountDownTimeIsIgnored) {
    PutString("CountDownTime", "31/31/31 99:99");
    PutDword("ClockMoveDirection", 0xFFFFFFFF);
    EXPECT_EQ(Loaded(), std::make_tuple(-1, 1, true, false, false, 0.0));
}

TEST_F(Settings, SaveWritesTypedValuesInTheUserLocaleAndLoadsBack) {
    TSettings settings;
    settings.ClockMoveDirection = 3;
    settings.ClockMoveSpeed = 2;
    settings.FlashSecond = false;
    settings.TwentyFourHour = settings.CountDown = true;
    settings.CountDownTime = 38366.5;  // 14 January 2005, noon
    ASSERT_EQ(settings.Save(), DWORD(ERROR_SUCCESS));
    for (const char* name : {"ClockMoveDirection", "ClockMoveSpeed", "FlashSecond", "TwentyFourHour",
                             "CountDown", "CountDownTime"}) {
        DWORD type = 0;
        RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY, &type, nullptr, nullptr);
        EXPECT_EQ(type, DWORD(std::strcmp(name, "CountDownTime") ? REG_DWORD : REG_SZ)) << name;
    }
    ASSERT_TRUE(stored.OpenForReading(kSettingsKey));
    EXPECT_EQ(stored.ReadString("CountDownTime"), "1/14/2005 12:00:00 PM");  // a new prefix is en-US
    EXPECT_EQ(Loaded(), std::make_tuple(3, 2, false, true, true, 38366.5));
}

// The clock on every monitor: absent or 0 is the primary only, any
// non-zero is every monitor, a wrong type keeps the default; it is written
// only when asked for, after the six others.
TEST_F(Settings, ClockOnEveryMonitorLoadsWithTheOthersAndIsWrittenOnlyWhenAsked) {
    EXPECT_FALSE(TSettings().ClockOnEveryMonitor);
    PutDword("ClockOnEveryMonitor", 2);
    EXPECT_TRUE(TSettings().ClockOnEveryMonitor);
    PutString("ClockOnEveryMonitor", "1");
    EXPECT_FALSE(TSettings().ClockOnEveryMonitor);
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);

    TSettings settings;
    settings.ClockOnEveryMonitor = true;
    ASSERT_EQ(settings.Save(), DWORD(ERROR_SUCCESS));
    ASSERT_TRUE(stored.OpenForReading(kSettingsKey));
    EXPECT_FALSE(stored.ValueExists("ClockOnEveryMonitor")) << "written without being asked to";
    ASSERT_EQ(settings.Save(true), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(stored.ReadInteger("ClockOnEveryMonitor"), 1);
    settings.ClockOnEveryMonitor = false;
    ASSERT_EQ(settings.Save(true), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(stored.ReadInteger("ClockOnEveryMonitor"), 0);
}

// The clock's look: each value checked, the wrong type or out of range
// keeping its default, and written back only where the key held it or the
// user changed it, after the others.
TEST_F(Settings, LookIsCheckedAndWrittenOnlyWhereItWasOrIsChanged) {
    const auto look = [](const TSettings& s) {
        return std::make_tuple(s.ClockColour, s.ClockSize, s.LeadingZero, s.DimAtNight, s.DimFrom, s.DimTo, s.ToWrite);
    };
    EXPECT_EQ(look(TSettings()), std::make_tuple(0x00FF00u, 0, false, false, 1320, 420, 0u));
    for (auto [name, value] : {std::pair{"ClockColour", 0x0000A5FFu}, {"ClockSize", 3u}, {"DimAtNight", 1u},
                               {"DimFrom", 1440u}, {"DimTo", 0u}})  // orange; out of range; on; out of range; 0:00
        PutDword(name, value);
    PutString("LeadingZero", "1");
    TSettings loaded;
    EXPECT_EQ(look(loaded), std::make_tuple(0x00A5FFu, 0, false, true, 1320, 0, 63u));
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    loaded.ClockSize = 2;
    loaded.ToWrite = TSettings::kClockSize;
    ASSERT_EQ(loaded.Save(), DWORD(ERROR_SUCCESS));
    ASSERT_TRUE(stored.OpenForReading(kSettingsKey));
    EXPECT_EQ(stored.ReadInteger("ClockSize"), 2);
    for (const char* other : {"ClockColour", "LeadingZero", "DimAtNight", "DimFrom", "DimTo"})
        EXPECT_FALSE(stored.ValueExists(other)) << other << " written unasked";
}

TEST_F(Settings, ReadErrorsNameTheValue) {
    PutString("Short", "ab");
    Put("Long", REG_BINARY, kEightBytes, 8);
    ASSERT_TRUE(stored.OpenForReading(kSettingsKey));
    const auto error = [&](const char* name) -> std::string {
        try {
            stored.ReadInteger(name);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(error("Short"), "Invalid data type for 'Short'");
    EXPECT_EQ(error("Long"), "Failed to get data for 'Long'");
}

TEST_F(Settings, PasswordCheckAllowsClosingWithoutAUsablePasswordSetting) {
    // Absent, zero, and stored with another type all mean no password.
    const DWORD zero = 0;
    for (const auto& [type, data, size] : {std::tuple<DWORD, const void*, DWORD>{REG_NONE, nullptr, 0},
                                           {REG_DWORD, &zero, 4}, {REG_SZ, "1", 2}, {REG_BINARY, kEightBytes, 8}}) {
        if (data) Put("ScreenSaveUsePassword", type, data, size, kDesktopKey);
        EXPECT_TRUE(VerifyPassword(nullptr)) << "stored as type " << type;
    }
    // Set, but with no verifier library in the system directory (one that
    // is there is set aside meanwhile): closing is allowed too.
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string library = std::string(system) + "\\password.cpl", aside = library + ".aside";
    const bool setAside = MoveFileExA(library.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING);
    ASSERT_EQ(GetFileAttributesA(library.c_str()), INVALID_FILE_ATTRIBUTES) << "cannot move " << library;
    PutDword("ScreenSaveUsePassword", 1, kDesktopKey);
    EXPECT_TRUE(VerifyPassword(nullptr));
    if (setAside) MoveFileExA(aside.c_str(), library.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace
