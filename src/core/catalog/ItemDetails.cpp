#include "core/catalog/ItemDetails.h"

#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"

#include <filesystem>

namespace quillane {

std::string ItemFileName(const std::string& orderNo)
{
    std::string name = orderNo;
    for (char& c : name) {
        if (c == '/' || c == '\\') {
            c = '_';
        }
    }
    if (name == "." || name == "..") {
        name = "_" + name;
    }
    return name;
}

std::string DescriptionPath(const std::string& dataDir, const std::string& language, const std::string& orderNo)
{
    return dataDir + language + "/" + ItemFileName(orderNo) + ".txt";
}

std::string ReadDescription(const std::string& dataDir, const std::string& catalogLanguage,
                            const std::string& countryLanguage, const std::string& orderNo)
{
    std::string text;
    if (!TryReadFile(DescriptionPath(dataDir, catalogLanguage, orderNo), text) &&
        !TryReadFile(DescriptionPath(dataDir, countryLanguage, orderNo), text)) {
        return {};
    }
    return text;
}

void WriteDescription(const std::string& dataDir, const std::string& language, const std::string& orderNo,
                      const std::string& text)
{
    CreateFolder(dataDir + language + "/");
    const std::string path = DescriptionPath(dataDir, language, orderNo);
    if (text.empty()) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return;
    }
    std::string out;
    for (const std::string& line : Split('\n', text)) {
        out += line.empty() || line.back() != '\r' ? line : line.substr(0, line.size() - 1);
        out += "\r\n";
    }
    WriteTextFile(path, out);
}

std::vector<std::string> DiscountLevels(const std::string& dataDir)
{
    std::vector<std::string> levels;
    for (const auto& [key, value] : IniFile(dataDir + "shopprofil.ini").ReadSectionValues("Mengenrabatt")) {
        levels.push_back(key + "=" + value);
    }
    return levels;
}

std::string DiscountLevelCaption(const std::string& level)
{
    const std::size_t equals = level.find('=');
    if (equals == std::string::npos) {
        return level;
    }
    const std::string name = level.substr(0, equals);
    const std::string value = level.substr(equals + 1);
    const std::size_t slash = value.rfind('/');
    if (slash == std::string::npos) {
        return value.empty() ? name : name + ": " + value;
    }
    const std::string rate = value.substr(slash + 1);
    return rate.empty() ? name : name + ": " + rate + " %";
}

std::vector<bool> TickedLevels(const std::string& field, std::size_t count)
{
    std::vector<bool> ticked(count, false);
    if (field.empty()) {
        return ticked;
    }
    const SplitArray parts = Split(':', field);
    if (parts.size() > count) {
        return ticked;
    }
    for (const std::string& part : parts) {
        std::int32_t position = -1;
        if (TryParseInteger(part, position) && position >= 0 && static_cast<std::size_t>(position) < count) {
            ticked[position] = true;
        }
    }
    return ticked;
}

std::string DiscountField(const std::vector<bool>& ticked)
{
    std::string field;
    for (std::size_t i = 0; i < ticked.size(); ++i) {
        if (ticked[i]) {
            field += std::to_string(i) + ":";
        }
    }
    if (!field.empty()) {
        field.pop_back();
    }
    return field;
}

} // namespace quillane
