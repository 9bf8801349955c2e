// The texts the program shows the user, but for those of its windows'
// layouts (the controls' labels, lists and tips), and the small rules that
// shape them.
#pragma once

#include <string>
#include <string_view>

namespace lumidial {

// A message gets a closing full stop unless it is empty or already ends in a
// character that sorts at or before '.' ("." "!" ")" and the like).
std::string WithFullStop(std::string message);

// Replaces the first "%s" in format with value.
std::string FormatWithValue(std::string_view format, std::string_view value);

// Each is a whole string literal, so its data() is a C string too.
namespace msg {
// The caption of the default error box, and the tail of the settings
// dialog's caption ("Configure " + the title).
inline constexpr std::string_view kApplicationTitle = "Orvane Lumidial";
inline constexpr std::string_view kConfigureCaption = "Configure ";

// Errors for the default error box; "%s" stands for a value's name or text.
inline constexpr std::string_view kInvalidDataType = "Invalid data type for '%s'";
inline constexpr std::string_view kFailedToGetData = "Failed to get data for '%s'";
inline constexpr std::string_view kFailedToSetData = "Failed to set data for '%s'";
inline constexpr std::string_view kOutOfRange = "Value out of range for '%s'";
inline constexpr std::string_view kInvalidInteger = "'%s' is not a valid integer value";
inline constexpr std::string_view kUnexpectedError = "Unexpected error";
inline constexpr std::string_view kFailedToRegisterClass = "Failed to register window class";
inline constexpr std::string_view kFailedToCreateWindow = "Failed to create window";
inline constexpr std::string_view kArtworkNotLoaded = "Failed to load the clock artwork";
inline constexpr std::string_view kArtworkNotDrawn = "Failed to draw the clock artwork";
inline constexpr std::string_view kSettingsNeverLoaded = "The settings were never loaded";

// The password change's error box: its caption, and the texts for a
// provider library (its path for "%s") that cannot be loaded or lacks the
// function. Kept word for word, the two blanks and the misspelling
// included.
inline constexpr std::string_view kPasswordChangeCaption = "Mervisk";
inline constexpr std::string_view kProviderNotLoaded = "Could not load library %s -  The password cannot be changed";
inline constexpr std::string_view kProviderWithoutEntry =
    "Libarary %s does not contain PwdChangePasswordA used to set the password!";

// The settings dialog's box when the settings key cannot be opened for
// writing: this line, then the system's reason, or kErrorCode with its
// number for "%s" when the system has none.
inline constexpr std::string_view kSettingsNotSaved = "Your settings could not be saved.";
inline constexpr std::string_view kErrorCode = "Error %s.";

// The warning when the shell cannot be asked to open the web address.
inline constexpr std::string_view kBrowserNotLaunched = "Error encountered launching your web browser";
inline constexpr std::string_view kWarningCaption = "Warning";

// The warning when the system's colour dialog cannot be loaded.
inline constexpr std::string_view kColourDialogNotOpened = "The colour dialog could not be opened";
}  // namespace msg

}  // namespace lumidial
