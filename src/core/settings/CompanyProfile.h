#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quillane {

// The company profile userprofil.ini of the program folder: contact data,
// the directions text per language and the logo and directions pictures.
struct CompanyProfile {
    // Firma, Name, Strasse, PLZ, Ort, Land, EMail, Homepage, Telefon, FAX, Mobil.
    static const std::array<const char*, 11> kContactKeys;

    std::array<std::string, 11> Contact;
    std::string Logo;
    std::string Sketch;
};

std::string CompanyProfilePath(const std::string& programDir);
// Opens the profile for writing; it is written readable by its owner only,
// because it holds names and addresses.
class IniFile;
IniFile OpenCompanyProfile(const std::string& programDir);
CompanyProfile ReadCompanyProfile(const std::string& programDir);
// The directions text of a language from the profile: lines joined by "|".
std::string DirectionsValue(const std::string& programDir, const std::string& language);
// The directions text file of a language: <language>_Contact.txt.
std::string DirectionsFilePath(const std::string& programDir, const std::string& language);
// Replaces the directions text file of a language, readable by its owner only.
void WriteDirectionsFile(const std::string& programDir, const std::string& language, std::string_view text);

} // namespace quillane
