// The settings object and the password check on the real registry of the
// test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "LocaleText.h"
#include "Registry.h"
#include "ScreenSaverUtils.h"
#include "Settings.h"

using namespace lumidial;

namespace {

constexpr char kDesktopKey[] = "Control Panel\\Desktop";

class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey); }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
        HKEY desktop = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_ALL_ACCESS, &desktop) == ERROR_SUCCESS) {
            RegDeleteValueA(desktop, "ScreenSaveUsePassword");
            RegCloseKey(desktop);
        }
    }

    static void Put(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &handle, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(handle);
    }
    static void PutDword(const char* name, DWORD value, const char* key = kSettingsKey) {
        Put(key, name, REG_DWORD, &value, sizeof value);
    }
    static void PutString(const char* name, const char* text, DWORD type = REG_SZ) {
        Put(kSettingsKey, name, type, text, static_cast<DWORD>(std::strlen(text) + 1));
    }
    static DWORD TypeOf(const char* name) {
        DWORD type = 0;
        RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY, &type, nullptr, nullptr);
        return type;
    }
};

TEST_F(RegistryFixture, MissingKeyGivesDefaults) {
    TSettings settings;
    EXPECT_EQ(settings.ClockMoveDirection, 0);
    EXPECT_EQ(settings.ClockMoveSpeed, 1);
    EXPECT_TRUE(settings.FlashSecond);
    EXPECT_FALSE(settings.TwentyFourHour);
    EXPECT_FALSE(settings.CountDown);
    EXPECT_EQ(settings.CountDownTime, 0.0);
}

TEST_F(RegistryFixture, StoredValuesLoadUnvalidated) {
    PutDword("TwentyFourHour", 5);  // any non-zero is true
    PutDword("ClockMoveSpeed", 7);  // out of range, still taken
    PutDword("ClockMoveDirection", 0xFFFFFFFF);
    TSettings settings;
    EXPECT_TRUE(settings.TwentyFourHour);
    EXPECT_EQ(settings.ClockMoveSpeed, 7);
    EXPECT_EQ(settings.ClockMoveDirection, -1);
    EXPECT_TRUE(settings.FlashSecond);
}

TEST_F(RegistryFixture, WrongTypesKeepDefaultsAndTheRestStillLoads) {
    PutString("ClockMoveDirection", "3");                        // short text
    const unsigned char eightBytes[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    Put(kSettingsKey, "FlashSecond", REG_BINARY, eightBytes, 8);  // longer than a DWORD
    PutString("CountDownTime", "not a date at all");
    PutDword("CountDownTime", 12);                                // overwritten: wrong type
    PutDword("ClockMoveSpeed", 2);
    PutDword("CountDown", 1);
    TSettings settings;
    EXPECT_EQ(settings.ClockMoveDirection, 0);
    EXPECT_TRUE(settings.FlashSecond);
    EXPECT_EQ(settings.CountDownTime, 0.0);
    EXPECT_EQ(settings.ClockMoveSpeed, 2);
    EXPECT_TRUE(settings.CountDown);
}

TEST_F(RegistryFixture, UnparsableCountDownTimeIsIgnored) {
    PutString("CountDownTime", "31/31/31 99:99");
    PutDword("TwentyFourHour", 1);
    TSettings settings;
    EXPECT_EQ(settings.CountDownTime, 0.0);
    EXPECT_TRUE(settings.TwentyFourHour);
}

TEST_F(RegistryFixture, SaveWritesAllSixValuesWithTheirTypesAndLoadsBack) {
    TSettings settings;
    settings.ClockMoveDirection = 3;
    settings.ClockMoveSpeed = 2;
    settings.FlashSecond = false;
    settings.TwentyFourHour = true;
    settings.CountDown = true;
    settings.CountDownTime = 38366.5125117477;  // 14 January 2005, 12:18:01
    settings.Save();

    for (const char* name : {"ClockMoveDirection", "ClockMoveSpeed", "FlashSecond",
                             "TwentyFourHour", "CountDown"})
        EXPECT_EQ(TypeOf(name), static_cast<DWORD>(REG_DWORD)) << name;
    EXPECT_EQ(TypeOf("CountDownTime"), static_cast<DWORD>(REG_SZ));

    TSettings loaded;
    EXPECT_EQ(loaded.ClockMoveDirection, 3);
    EXPECT_EQ(loaded.ClockMoveSpeed, 2);
    EXPECT_FALSE(loaded.FlashSecond);
    EXPECT_TRUE(loaded.TwentyFourHour);
    EXPECT_TRUE(loaded.CountDown);
    // Milliseconds are not stored: equal to the second.
    EXPECT_NEAR(loaded.CountDownTime, 38366.5125117477, 1.0 / 86400.0);
}

TEST_F(RegistryFixture, CountDownTimeIsWrittenInTheUserLocale) {
    TSettings settings;
    settings.CountDownTime = 38366.0;  // midnight: the date alone
    settings.Save();
    TRegistryKey key;
    ASSERT_TRUE(key.Open(kSettingsKey, false));
    EXPECT_EQ(key.ReadString("CountDownTime"), FormatLocaleDateTime(38366.0));
    // A new prefix's locale is English (United States).
    EXPECT_EQ(key.ReadString("CountDownTime"), "1/14/2005");
}

TEST_F(RegistryFixture, ReadErrorsNameTheValue) {
    PutString("Short", "ab");
    const unsigned char eightBytes[8] = {};
    Put(kSettingsKey, "Long", REG_BINARY, eightBytes, 8);
    TRegistryKey key;
    ASSERT_TRUE(key.Open(kSettingsKey, false));
    try {
        key.ReadInteger("Short");
        FAIL() << "a string read as an integer";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'Short'");
    }
    try {
        key.ReadInteger("Long");
        FAIL() << "eight bytes read as an integer";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Failed to get data for 'Long'");
    }
}

TEST_F(RegistryFixture, PasswordCheckAllowsClosingWithoutAUsablePasswordSetting) {
    // Absent, zero, and stored with another type all mean no password; with
    // a non-zero value but no verifier library in the system directory,
    // closing is allowed as well.
    EXPECT_TRUE(VerifyPassword(nullptr));
    PutDword("ScreenSaveUsePassword", 0, kDesktopKey);
    EXPECT_TRUE(VerifyPassword(nullptr));
    Put(kDesktopKey, "ScreenSaveUsePassword", REG_SZ, "1", 2);
    EXPECT_TRUE(VerifyPassword(nullptr));
    const unsigned char eightBytes[8] = {1};
    Put(kDesktopKey, "ScreenSaveUsePassword", REG_BINARY, eightBytes, 8);
    EXPECT_TRUE(VerifyPassword(nullptr));
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    if (GetFileAttributesA((std::string(system) + "\\password.cpl").c_str()) == INVALID_FILE_ATTRIBUTES) {
        PutDword("ScreenSaveUsePassword", 1, kDesktopKey);
        EXPECT_TRUE(VerifyPassword(nullptr));
    }
}

}  // namespace
