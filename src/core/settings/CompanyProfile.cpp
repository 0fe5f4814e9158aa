#include "core/settings/CompanyProfile.h"

#include "core/common/Files.h"
#include "core/common/IniFile.h"

namespace quillane {

const std::array<const char*, 11> CompanyProfile::kContactKeys = {"Firma", "Name",     "Strasse", "PLZ", "Ort",  "Land",
                                                                  "EMail", "Homepage", "Telefon", "FAX", "Mobil"};

std::string CompanyProfilePath(const std::string& programDir)
{
    return programDir + "userprofil.ini";
}

IniFile OpenCompanyProfile(const std::string& programDir)
{
    IniFile ini(CompanyProfilePath(programDir));
    ini.SetOwnerOnly(true);
    return ini;
}

CompanyProfile ReadCompanyProfile(const std::string& programDir)
{
    const IniFile ini(CompanyProfilePath(programDir));
    CompanyProfile profile;
    for (std::size_t i = 0; i < CompanyProfile::kContactKeys.size(); ++i) {
        profile.Contact[i] = ini.ReadString("Contact", CompanyProfile::kContactKeys[i], "");
    }
    profile.Logo = ini.ReadString("Pictures", "logo", "");
    profile.Sketch = ini.ReadString("Pictures", "anfahrt", "");
    return profile;
}

std::string DirectionsValue(const std::string& programDir, const std::string& language)
{
    return IniFile(CompanyProfilePath(programDir)).ReadString("Anfahrt", language, "");
}

std::string DirectionsFilePath(const std::string& programDir, const std::string& language)
{
    return programDir + language + "_Contact.txt";
}

void WriteDirectionsFile(const std::string& programDir, const std::string& language, std::string_view text)
{
    WriteFileAtomic(DirectionsFilePath(programDir, language), text, FileAccess::OwnerOnly);
}

} // namespace quillane
