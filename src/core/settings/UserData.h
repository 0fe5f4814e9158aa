#pragma once

#include "core/settings/Country.h"

#include <cstdint>
#include <string>

namespace quillane {

// How the computer reaches the internet (key connection of section Connection).
enum class ConnectionKind : std::int32_t { Direct = 1, DialUp = 2, Proxy = 3 };

// The merchant's user data from the settings file.
struct TUserData {
    std::string UserID;
    std::string Password;
    std::int32_t Connection = -1; // as stored: a ConnectionKind, or -1 when not set
    bool autodc = false;
    bool autocon = false;
    TCountry Country;
};

inline constexpr std::string_view kSetupStatus = "setup";

std::string SettingsFilePath(const std::string& programDir);

// Opens the settings file for writing keys; it is written readable by its
// owner only, because it holds passwords.
class IniFile;
IniFile OpenSettingsFile(const std::string& programDir);

// Throws Error naming the settings file or the country table when either
// is there but cannot be read: start-up stops rather than run on without
// them and later write over them.
void CheckUserDataFiles(const std::string& programDir);

// Fills user from the settings file and the country table of programDir and
// returns the start-up status: "setup" while the home country or the
// connection kind is missing (then the connection reads 1 and the country is
// defaultCountry), otherwise empty.
std::string ReadUserData(const std::string& programDir, const std::string& defaultCountry, TUserData& user);

// "Germany" when the first word of the system's language name is exactly
// "Deutsch", otherwise "Ireland".
std::string DefaultCountryFor(std::string_view systemLanguageName);

// The native name of the language of the process locale, such as
// "Deutsch (Deutschland)", from LC_ALL, LC_MESSAGES or LANG.
std::string SystemLanguageName();

} // namespace quillane
