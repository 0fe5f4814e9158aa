#include "CliApp.h"

#include "common/Error.h"
#include "common/Files.h"
#include "common/Text.h"
#include "settings/AppDirs.h"
#include "settings/Country.h"
#include "settings/UserData.h"

#include <algorithm>
#include <ostream>
#include <unistd.h>

namespace quillane::cli {

namespace {

constexpr const char* kUsage =
    "Usage: quillane-cli [--home DIR] COMMAND\n"
    "\n"
    "Commands:\n"
    "  info    print the settings the program starts with, one key=value per line\n"
    "\n"
    "The program folder is DIR, else $QUILLANE_HOME, else ~/.local/share/quillane.\n";

std::string utf8(std::string_view cp1252)
{
    return Cp1252ToUtf8(cp1252);
}

int info(const std::string& programDir, std::ostream& out)
{
    TUserData user;
    const std::string status = ReadUserData(programDir, DefaultCountryFor(SystemLanguageName()), user);
    std::vector<std::string> languages = GetActiveLangs(CountryTablePath(programDir));
    std::sort(languages.begin(), languages.end());
    std::string joined;
    for (const std::string& l : languages) {
        joined += (joined.empty() ? "" : ",") + l;
    }
    const TCountry& c = user.Country;
    out << "StartupStatus=" << status << '\n'
        << "Country.Name=" << utf8(c.Name) << '\n'
        << "Country.Language=" << utf8(c.Language) << '\n'
        << "Country.VAT=" << FormatNumber(c.VAT) << '\n'
        << "Country.EU=" << (c.EU ? 1 : 0) << '\n'
        << "Country.Currency0=" << utf8(c.Currency[0]) << '\n'
        << "Country.Rate0=" << FormatNumber(c.Rate[0]) << '\n'
        << "Country.Currency1=" << utf8(c.Currency[1]) << '\n'
        << "Country.Rate1=" << FormatNumber(c.Rate[1]) << '\n'
        << "Connection=" << user.Connection << '\n'
        << "ActiveLanguages=" << utf8(joined) << '\n';
    return 0;
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string home;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--home") {
            if (i + 1 >= args.size()) {
                err << "quillane-cli: --home needs a folder\n";
                return 1;
            }
            home = args[++i];
        } else if (args[i].rfind("--home=", 0) == 0) {
            home = args[i].substr(7);
        } else if (args[i] == "--help" || args[i] == "-h") {
            out << kUsage;
            return 0;
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.empty()) {
        err << kUsage;
        return 1;
    }
    const std::string programDir = IncludeTrailingSlash(home.empty() ? DefaultProgramDir() : home);
    if (!DirectoryExists(programDir)) {
        err << "quillane-cli: the program folder " << programDir << " does not exist\n";
        return 1;
    }
    if (::access(programDir.c_str(), R_OK | X_OK) != 0) {
        err << "quillane-cli: the program folder " << programDir << " cannot be read\n";
        return 1;
    }
    try {
        if (rest[0] == "info" && rest.size() == 1) {
            return info(programDir, out);
        }
        err << "quillane-cli: unknown command: " << rest[0] << "\n" << kUsage;
        return 1;
    } catch (const Error& e) {
        err << "quillane-cli: " << utf8(e.what()) << '\n';
        return 1;
    } catch (const std::exception& e) {
        err << "quillane-cli: " << e.what() << '\n';
        return 1;
    }
}

} // namespace quillane::cli
