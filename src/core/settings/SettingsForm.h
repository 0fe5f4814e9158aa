#pragma once

#include "core/settings/CompanyProfile.h"
#include "core/settings/UserData.h"

#include <string>
#include <vector>

namespace quillane {

// What the settings dialog shows and edits, read from and written to the
// settings file, the country table and the company profile.

// One entry of the served-country list.
struct ServedCountry {
    std::string Name;
    std::string Label; // as CountryLabel gives it for the interface language
    int FlagIndex = -1;
};

struct CountryLists {
    std::vector<ServedCountry> Served;
    std::vector<std::string> NotServed;
    // All languages of all countries, each once, in lower case.
    std::vector<std::string> Languages;
    // The home country's position in Served, else 0.
    int HomeIndex = 0;
};

// language: the interface language, whose names of the countries come first.
CountryLists RefreshCountryList(const std::string& countryTable, const std::string& homeCountry,
                                const std::string& language);

// The data fields of one country, as stored (texts).
struct CountryFields {
    std::string Language;
    std::string Currency;
    std::string EuroRate;
    std::string VAT;
    bool EU = false;
};

CountryFields ShowCountryData(const std::string& countryTable, const std::string& name);
// Writes the fields of the displayed country; empty fields leave the stored
// value; numbers typed with "," are stored with ".". Nothing for no name.
// Throws Error, writing nothing, for a rate that is no amount above 0.
void UpdateCountryData(const std::string& countryTable, const std::string& name, const CountryFields& fields);

struct SettingsForm {
    ConnectionKind Connection = ConnectionKind::Direct;
    std::string Provider;
    std::string ProxyHost;
    std::string ProxyPort;
    bool AutoConnect = false;
    bool AutoDisconnect = false;
    std::string FtpHost;
    std::string FtpPort = "21";
    std::string FtpLogin;
    std::string FtpPassword;
    std::string FtpFolder;
    // sftp://: the private key to log in with.
    std::string FtpKeyFile;
    // The server key the merchant accepted for the host and port above.
    std::string FtpTrustedKey;
    // The base address of the order service the shop sends its orders to
    // and the orders are fetched from; empty for the default one.
    std::string OrderService;
    CompanyProfile Company;
    // The directions text, lines separated by "\n".
    std::string Directions;
};

// The directions text of a language (lines separated by "\n"): its text
// file, else the home language's, with the lines the company profile holds
// for the language put in front.
std::string LoadDirections(const std::string& programDir, const std::string& language, const std::string& homeLanguage);
// Stores the directions text of a language: its text file (unless the text
// is empty) and its value in the company profile.
void SaveDirections(const std::string& programDir, const std::string& language, const std::string& text);

// LoadData: the directions text of language (else of homeLanguage), the
// connection and FTP settings, the company profile. In the setup state a
// computer without dial-up entries starts with the direct connection.
SettingsForm LoadSettingsForm(const std::string& programDir, const std::string& language,
                              const std::string& homeLanguage, bool setupState, bool hasDialUpEntries);

// Throws Error naming the value when the FTP host is one the upload refuses,
// or when a key is accepted for no host; an empty host is no server yet.
void CheckFtpServer(const SettingsForm& form);
// Throws Error naming the value when the order service's address is neither
// empty nor an http:// or https:// address with a host and no blanks.
void CheckOrderService(const SettingsForm& form);
// The key accepted for the server of the host and port typed; empty when
// none is, or the host is none the upload takes.
std::string AcceptedServerKey(const std::string& programDir, const SettingsForm& form);

// SaveData without the country data: the directions text file of language,
// the settings file (homeCountry becomes the home country unless it is
// empty; an empty order service address removes the stored one), the
// key accepted for the FTP server and the company profile. Throws "Unable to
// write to ...", and as CheckFtpServer and CheckOrderService before anything
// is written.
void SaveSettingsForm(const std::string& programDir, const SettingsForm& form, const std::string& language,
                      const std::string& homeCountry);
// Makes a country the home country in the settings file at once: its
// currency and language become those of the prices and the catalog.
void SetHomeCountry(const std::string& programDir, const std::string& name);

} // namespace quillane
