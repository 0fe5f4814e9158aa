#pragma once

// A program folder as a merchant leaves it before a shop run: settings,
// country table, language files, two layouts, the company profile and the
// project "Alpha" with two groups, descriptions in two languages and
// pictures. Used by the command-line and the window tests of the run.

#include "core/common/Files.h"

#include <filesystem>
#include <map>
#include <string>

namespace quillane::test {

// A plain PPM picture whose content depends on the seed.
inline std::string shopFixturePicture(int w, int h, int seed)
{
    std::string data = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            data += static_cast<char>((x * 255 / w + seed * 40) % 256);
            data += static_cast<char>((y * 255 / h + seed * 70) % 256);
            data += static_cast<char>((x + y + seed * 13) % 256);
        }
    }
    return data;
}

// The layout the tests build shops with: every page the run fills.
inline std::string shopFixtureLayoutDir()
{
    return QUILLANE_DATA_DIR "../tests/fixtures/layout/";
}

// Germany is the home country and is not named in the profile's country
// list: a run must add it. Austria is served but not chosen, France not served.
inline constexpr const char* kShopFixtureCountries =
    "[Germany]\r\nActive=1\r\nCountryNative=Deutschland\r\nFlagIndex=11\r\nLanguageDefault=deutsch\r\n"
    "CountryCode=DE\r\nCurrencyCode=EUR\r\nCurrencySymbol=\x80\r\nEuroRate=1\r\nVAT=19\r\nEU=1\r\n"
    "LanguageSelected=deutsch\r\n\r\n"
    "[Austria]\r\nActive=1\r\nCountryNative=\xD6sterreich\r\nFlagIndex=1\r\nLanguageDefault=deutsch\r\n"
    "CountryCode=AT\r\nCurrencyCode=EUR\r\nCurrencySymbol=\x80\r\nEuroRate=1\r\nVAT=20\r\nEU=1\r\n\r\n"
    "[Switzerland]\r\nActive=1\r\nCountryNative=Schweiz,Suisse\r\nFlagIndex=29\r\n"
    "LanguageDefault=deutsch,francais\r\nCountryCode=CH\r\nCurrencyCode=CHF\r\nCurrencySymbol=SFr\r\n"
    "EuroRate=0.94\r\nVAT=8.1\r\nEU=0\r\nLanguageSelected=deutsch\r\n\r\n"
    "[United Kingdom]\r\nActive=1\r\nCountryNative=United Kingdom\r\nFlagIndex=33\r\nLanguageDefault=english\r\n"
    "CountryCode=GB\r\nCurrencyCode=GBP\r\nCurrencySymbol=\xA3\r\nEuroRate=0.85\r\nVAT=20\r\nEU=0\r\n"
    "LanguageSelected=english\r\n\r\n"
    "[France]\r\nActive=0\r\nLanguageDefault=francais\r\nCountryCode=FR\r\nEU=1\r\n";

// Every stored value in the form the generation dialog writes it back, but
// the home country's prepayment, which only the panel's default sets.
inline constexpr const char* kShopFixtureProfile =
    "[Creation]\r\nview_std=12\r\nview_pro=6\r\nview_dtl=2\r\nPreise=1\r\nxxl=1\r\nLayout=standard\r\n"
    "Ansicht=2\r\nLaender=Switzerland,United Kingdom\r\n"
    "[Germany]\r\nnn=1\r\nShipping=4.900\r\nCodFee=2.500\r\n"
    "[Switzerland]\r\nvk=1\r\nnn=0\r\nShipping=12.000\r\nCodFee=0.000\r\n"
    "[United Kingdom]\r\nvk=1\r\nnn=0\r\nShipping=15.000\r\nCodFee=0.000\r\n"
    "[Invoice]\r\nFreihaus=100.000\r\nVerpackung=1.500\r\nBank=Testbank\r\n"
    "[Mengenrabatt]\r\nab 10=10/5\r\nab 50=50/10\r\n";

// Writes the program folder into home (a path ending in "/").
inline void makeShopHome(const std::string& home)
{
    namespace fs = std::filesystem;
    auto write = [&home](const std::string& name, const std::string& content) {
        fs::create_directories(fs::path(home + name).parent_path());
        WriteTextFile(home + name, content);
    };
    write("quillane.ini", "[Account]\r\nUserID=shop7\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
    write("countries.dat", kShopFixtureCountries);
    fs::create_directories(home + "sprache");
    for (const char* language : {"deutsch.lng", "english.lng"}) {
        fs::copy_file(QUILLANE_DATA_DIR "sprache/" + std::string(language), home + "sprache/" + language);
    }
    write("userprofil.ini", "[Contact]\r\nFirma=Wolle & Co\r\nName=Anna Berg\r\nStrasse=Hauptstr. 1\r\n"
                            "PLZ=12345\r\nOrt=Berlin\r\nLand=Deutschland\r\nEMail=anna@example.com\r\n"
                            "[Anfahrt]\r\ndeutsch=Bus 7|bis Markt\r\n");

    // "standard" is the project's layout; "classic", first by name, is the default.
    fs::create_directories(home + "layouts");
    fs::copy(shopFixtureLayoutDir(), home + "layouts/standard", fs::copy_options::recursive);
    fs::copy(shopFixtureLayoutDir(), home + "layouts/classic", fs::copy_options::recursive);
    const std::string classicIndex = home + "layouts/classic/index.html";
    std::string page = ReadFile(classicIndex);
    page.replace(page.find("Test shop"), 9, "Classic shop");
    WriteTextFile(classicIndex, page);

    write("Projekte/Alpha.shp", "[0]\r\nVersand=1.500\r\n"
                                "A1=Winterjacke|49.90|2|0:1||\r\n"
                                "A2=M\xFCtze|9.50||||\r\n"
                                "A3=Versteckt|5.00|||0|\r\n"
                                "[1]\r\nVersand=0.000\r\n"
                                "B1=Schal|12.00||||\r\n");
    const std::string data = "Projekte/Alpha/daten/";
    write(data + "groups.ini", "[deutsch]\r\n0=Kleidung|Jacken\r\n1=Kleidung|Schals\r\n"
                               "[english]\r\n0=Clothes|Jackets\r\n1=Clothes|Scarves\r\n");
    write("bilder/a1.ppm", shopFixturePicture(800, 600, 1));
    write("bilder/a2.ppm", shopFixturePicture(300, 500, 2));
    write("bilder/b1.ppm", shopFixturePicture(90, 60, 3));
    write(data + "pictures.ini", "[A1]\r\n1=" + home + "bilder/a1.ppm\r\n2=" + home + "bilder/a2.ppm\r\n" +
                                     "[B1]\r\n1=" + home + "bilder/b1.ppm\r\n");
    write(data + "shopprofil.ini", kShopFixtureProfile);
    write(data + "deutsch/A1.txt", "Warm und wasserdicht.\r\n");
    write(data + "english/A1.txt", "Warm and waterproof.\r\n");
    write(data + "deutsch/intro.txt", "Willkommen bei Wolle & Co\r\n");
}

// Every file under a folder by its path relative to it, with its bytes.
inline std::map<std::string, std::string> filesUnder(const std::string& folder)
{
    std::map<std::string, std::string> files;
    if (!std::filesystem::is_directory(folder)) {
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
        }
    }
    return files;
}

} // namespace quillane::test
