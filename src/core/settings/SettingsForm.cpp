#include "core/settings/SettingsForm.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/SettingsMessages.h"
#include "core/publish/Upload.h"
#include "core/settings/Country.h"
#include "core/settings/UserData.h"

#include <algorithm>

namespace quillane {

namespace {

std::vector<std::string> textLines(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    std::vector<std::string> lines;
    for (std::string line : Split('\n', text)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// The server of the FTP fields as the upload would take them.
FtpSettings ftpServer(const SettingsForm& form)
{
    FtpSettings ftp;
    ftp.Host = form.FtpHost;
    ftp.Port = form.FtpPort;
    ftp.Login = form.FtpLogin;
    ftp.Folder = form.FtpFolder;
    return ftp;
}

// A typed number keeps its text, with "." for ",".
std::string typedNumber(const std::string& text)
{
    return FormatNumber(ParseNumber(text));
}

} // namespace

CountryLists RefreshCountryList(const std::string& countryTable, const std::string& homeCountry,
                                const std::string& language)
{
    const IniFile table(countryTable);
    CountryLists lists;
    for (const std::string& section : table.ReadSections()) {
        for (const std::string& part : Split(',', table.ReadString(section, "LanguageDefault", "english"))) {
            const std::string language = LowerCase(part);
            if (std::none_of(lists.Languages.begin(), lists.Languages.end(),
                             [&](const std::string& l) { return SameText(l, language); })) {
                lists.Languages.push_back(language);
            }
        }
        if (table.ReadBool(section, "Active", false)) {
            if (section == homeCountry) {
                lists.HomeIndex = static_cast<int>(lists.Served.size());
            }
            lists.Served.push_back({section,
                                    CountryLabel(section, table.ReadString(section, "CountryNative", ""),
                                                 table.ReadString(section, "LanguageDefault", "english"), language),
                                    table.ReadInteger(section, "FlagIndex", -1)});
        } else {
            lists.NotServed.push_back(section);
        }
    }
    return lists;
}

CountryFields ShowCountryData(const std::string& countryTable, const std::string& name)
{
    const IniFile table(countryTable);
    CountryFields f;
    f.Language =
        table.ReadString(name, "LanguageSelected", Split(',', table.ReadString(name, "LanguageDefault", "english"))[0]);
    f.Currency = table.ReadString(name, "CurrencySymbol", table.ReadString(name, "CurrencyCode", kEuroSign));
    f.EuroRate = table.ReadString(name, "EuroRate", "1");
    f.VAT = table.ReadString(name, "VAT", "0");
    f.EU = table.ReadBool(name, "EU", false);
    return f;
}

void UpdateCountryData(const std::string& countryTable, const std::string& name, const CountryFields& fields)
{
    if (name.empty()) {
        return;
    }
    IniFile table(countryTable);
    // Prices are divided by the rate: 0 or text would later be read as 1.
    // A rate left as it was stored was not typed and holds nothing up.
    const bool rateTyped = !fields.EuroRate.empty() && fields.EuroRate != table.ReadString(name, "EuroRate", "1");
    double rate = 0;
    if (rateTyped && (!TryParseAmount(fields.EuroRate, rate) || rate <= 0)) {
        throw Error(msg::CountryRateRefused, {fields.EuroRate, name});
    }
    // A VAT rate of text would be stored as 0 and sold without VAT.
    const bool vatTyped = !fields.VAT.empty() && fields.VAT != table.ReadString(name, "VAT", "0");
    double vat = 0;
    if (vatTyped && (!TryParseAmount(fields.VAT, vat) || vat > 100)) {
        throw Error(msg::CountryVatRefused, {fields.VAT, name});
    }
    table.WriteBool(name, "EU", fields.EU);
    if (!fields.Language.empty()) {
        table.WriteString(name, "LanguageSelected", fields.Language);
    }
    if (!fields.Currency.empty()) {
        table.WriteString(name, "CurrencyNative", fields.Currency);
    }
    if (rateTyped) {
        table.WriteString(name, "EuroRate", typedNumber(fields.EuroRate));
    }
    if (vatTyped) {
        table.WriteString(name, "VAT", typedNumber(fields.VAT));
    }
    table.UpdateFile();
}

std::string LoadDirections(const std::string& programDir, const std::string& language, const std::string& homeLanguage)
{
    std::string directions;
    if (!TryReadFile(DirectionsFilePath(programDir, language), directions)) {
        // Neither file: no directions.
        static_cast<void>(TryReadFile(DirectionsFilePath(programDir, homeLanguage), directions));
    }
    std::vector<std::string> lines = textLines(directions);
    if (!lines.empty() && lines.back().empty() && !directions.empty() &&
        (directions.back() == '\n' || directions.back() == '\r')) {
        lines.pop_back(); // the line end of the last line
    }

    // The profile's pieces replace the lines of the text as far as it has
    // lines; a language the profile holds no text for keeps the file's text.
    const bool stored = IniFile(CompanyProfilePath(programDir)).ValueExists("Anfahrt", language);
    if (stored) {
        const SplitArray pieces = Split('|', DirectionsValue(programDir, language));
        if (lines.empty()) {
            if (!pieces[0].empty()) {
                lines.push_back(pieces[0]);
            }
        } else {
            for (std::size_t i = 0; i < pieces.size() && i < lines.size(); ++i) {
                lines[i] = pieces[i];
            }
        }
    }
    std::string directionsText;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        directionsText += (i > 0 ? "\n" : "") + lines[i];
    }
    return directionsText;
}

SettingsForm LoadSettingsForm(const std::string& programDir, const std::string& language,
                              const std::string& homeLanguage, bool setupState, bool hasDialUpEntries)
{
    SettingsForm form;
    const IniFile settings(SettingsFilePath(programDir));
    const int stored = settings.ReadInteger("Connection", "connection", 1);
    const bool known =
        stored >= static_cast<int>(ConnectionKind::Direct) && stored <= static_cast<int>(ConnectionKind::Proxy);
    form.Connection =
        known && !(setupState && !hasDialUpEntries) ? static_cast<ConnectionKind>(stored) : ConnectionKind::Direct;
    form.Provider = settings.ReadString("Connection", "provider", "");
    form.ProxyHost = settings.ReadString("Connection", "proxy_host", "");
    form.ProxyPort = settings.ReadString("Connection", "proxy_port", "");
    form.AutoConnect = settings.ReadBool("Connection", "autocon", false);
    form.AutoDisconnect = settings.ReadBool("Connection", "autodc", false);
    form.FtpHost = settings.ReadString("FTP", "host", "");
    form.FtpPort = settings.ReadString("FTP", "port", "21");
    form.FtpLogin = settings.ReadString("FTP", "login", "");
    form.FtpPassword = settings.ReadString("FTP", "pass", "");
    form.FtpFolder = settings.ReadString("FTP", "folder", "");
    form.FtpKeyFile = settings.ReadString("FTP", "keyfile", "");
    form.FtpTrustedKey = InitFTP(programDir).TrustedKey;
    form.OrderService = settings.ReadString("Services", "OrderService", "");

    form.Directions = LoadDirections(programDir, language, homeLanguage);
    form.Company = ReadCompanyProfile(programDir);
    return form;
}

void CheckFtpServer(const SettingsForm& form)
{
    if (!form.FtpHost.empty()) {
        MakeUploadTarget(ftpServer(form));
    } else if (!form.FtpTrustedKey.empty()) {
        throw Error(msg::FtpKeyWithoutServer, {form.FtpTrustedKey});
    }
}

void CheckOrderService(const SettingsForm& form)
{
    const std::string address = Trim(form.OrderService);
    if (address.empty()) {
        return;
    }
    const std::string lower = LowerCase(address);
    const std::size_t hostAt = lower.starts_with("https://") ? 8 : lower.starts_with("http://") ? 7 : 0;
    bool fine = hostAt > 0 && hostAt < address.size() && address[hostAt] != '/';
    for (char c : address) {
        fine = fine && static_cast<unsigned char>(c) > ' ' && c != 0x7F;
    }
    if (!fine) {
        throw Error(msg::OrderServiceNoAddress, {address});
    }
}

std::string AcceptedServerKey(const std::string& programDir, const SettingsForm& form)
{
    if (form.FtpHost.empty()) {
        return {};
    }
    try {
        const UploadTarget target = MakeUploadTarget(ftpServer(form));
        return IniFile(SettingsFilePath(programDir)).ReadString("TrustedKeys", TrustedKeyName(target), "");
    } catch (const Error&) {
        return {}; // no server the upload would reach
    }
}

void SaveSettingsForm(const std::string& programDir, const SettingsForm& form, const std::string& language,
                      const std::string& homeCountry)
{
    CheckFtpServer(form);
    CheckOrderService(form);
    IniFile settings = OpenSettingsFile(programDir);
    settings.WriteInteger("Connection", "connection", static_cast<int>(form.Connection));
    if (!homeCountry.empty()) {
        settings.WriteString("Account", "Country", homeCountry);
    }
    settings.WriteString("Connection", "provider", form.Provider);
    settings.WriteString("Connection", "proxy_host", form.ProxyHost);
    settings.WriteString("Connection", "proxy_port", form.ProxyPort);
    settings.WriteBool("Connection", "autocon", form.AutoConnect);
    settings.WriteBool("Connection", "autodc", form.AutoDisconnect);
    settings.WriteString("FTP", "host", form.FtpHost);
    settings.WriteString("FTP", "port", form.FtpPort);
    settings.WriteString("FTP", "login", form.FtpLogin);
    settings.WriteString("FTP", "pass", form.FtpPassword);
    settings.WriteString("FTP", "folder", form.FtpFolder);
    settings.WriteString("FTP", "keyfile", form.FtpKeyFile);
    if (const std::string orderService = Trim(form.OrderService); orderService.empty()) {
        settings.DeleteKey("Services", "OrderService");
    } else {
        settings.WriteString("Services", "OrderService", orderService);
    }
    settings.UpdateFile();
    if (!form.FtpHost.empty()) {
        SaveTrustedKey(programDir, MakeUploadTarget(ftpServer(form)), form.FtpTrustedKey);
    }

    IniFile profile = OpenCompanyProfile(programDir);
    for (std::size_t i = 0; i < CompanyProfile::kContactKeys.size(); ++i) {
        profile.WriteString("Contact", CompanyProfile::kContactKeys[i], form.Company.Contact[i]);
    }
    profile.WriteString("Pictures", "logo", form.Company.Logo);
    profile.WriteString("Pictures", "anfahrt", form.Company.Sketch);
    profile.UpdateFile();
    SaveDirections(programDir, language, form.Directions);
}

void SetHomeCountry(const std::string& programDir, const std::string& name)
{
    IniFile settings = OpenSettingsFile(programDir);
    settings.WriteString("Account", "Country", name);
    settings.UpdateFile();
}

void SaveDirections(const std::string& programDir, const std::string& language, const std::string& text)
{
    const std::vector<std::string> lines = textLines(text);
    if (!lines.empty()) {
        std::string file;
        for (const std::string& line : lines) {
            file += line + "\r\n";
        }
        WriteDirectionsFile(programDir, language, file);
    }
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        joined += (i > 0 ? "|" : "") + lines[i];
    }
    IniFile profile = OpenCompanyProfile(programDir);
    profile.WriteString("Anfahrt", language, joined);
    profile.UpdateFile();
}

} // namespace quillane
