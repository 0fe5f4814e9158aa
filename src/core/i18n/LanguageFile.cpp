#include "core/i18n/LanguageFile.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Text.h"

namespace quillane {

LanguageFile::LanguageFile(const std::string& languageDir, const std::string& language)
{
    for (const std::string& path : {languageDir + language + ".lng", languageDir + "english.lng"}) {
        if (!FileExists(path)) {
            continue;
        }
        try {
            ini_ = std::make_unique<IniFile>(path);
            path_ = path;
            return;
        } catch (const Error&) {
            // Only read, never written: the texts fall back as for a missing file.
        }
    }
}

std::string LanguageFile::GetTranslation(std::string_view section, std::string_view key, std::string_view def) const
{
    const std::size_t bar = key.find('|');
    if (bar != std::string_view::npos && bar > 0) {
        section = key.substr(0, bar);
        key = key.substr(bar + 1);
        key = key.substr(0, key.find('|'));
    }
    if (!ini_) {
        return std::string(def);
    }
    return ini_->ReadString(section, key, def);
}

std::vector<std::pair<std::string, std::string>> LanguageFile::SectionValues(std::string_view section) const
{
    return ini_ ? ini_->ReadSectionValues(section) : std::vector<std::pair<std::string, std::string>>{};
}

TextTables LoadTextTables(const LanguageFile& file)
{
    TextTables t;
    auto fill = [&file](std::vector<std::string>& table, std::string_view section) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            table[i] = file.GetTranslation(section, std::to_string(i), "");
        }
    };
    fill(t.MsgBoxTexts, "MsgBox");
    fill(t.StatusTexts, "Status");
    fill(t.ComboTexts, "ComboText");
    fill(t.EbayTexts, "eBayText");
    const std::string price = file.GetTranslation("Rechnung", "price", "");
    t.PriceCaptions[0] = price + " (" + file.GetTranslation("Rechnung", "gross", "") + "):";
    t.PriceCaptions[1] = price + " (" + file.GetTranslation("Rechnung", "net", "") + "):";
    t.OrderTextParts = Split('|', file.GetTranslation("Misc", "Bestellungstext", ""));
    t.ConfirmTextParts = Split('|', file.GetTranslation("Misc", "Confirmstatus", ""));
    t.ButtonYes = file.GetTranslation("Buttons", "Ja", t.ButtonYes);
    t.ButtonNo = file.GetTranslation("Buttons", "Nein", t.ButtonNo);
    t.ButtonOk = file.GetTranslation("Buttons", "OK", t.ButtonOk);
    t.ButtonCancel = file.GetTranslation("Buttons", "Abbrechen", t.ButtonCancel);
    for (auto& [key, value] : file.SectionValues("Notices")) {
        t.Notices.emplace(key, value);
    }
    for (auto& [key, value] : file.SectionValues("Messages")) {
        t.Messages.emplace(key, value);
    }
    return t;
}

std::string TextTables::Notice(std::string_view key, std::string_view def) const
{
    const auto it = Notices.find(key);
    return it == Notices.end() || it->second.empty() ? std::string(def) : it->second;
}

std::string TextTables::Say(const Message& message) const
{
    return SayMessage(message, [this](MessageKey key) -> std::string_view {
        const auto it = Messages.find(key.Name);
        return it == Messages.end() ? std::string_view{} : std::string_view(it->second);
    });
}

std::string LanguageCode(std::string_view language)
{
    static const std::pair<std::string_view, std::string_view> kCodes[] = {
        {"balgarski", "bg"}, {"cesky", "cs"},       {"dansk", "da"},     {"deutsch", "de"},  {"eesti", "et"},
        {"ellinika", "el"},  {"english", "en"},     {"espanol", "es"},   {"francais", "fr"}, {"hrvatski", "hr"},
        {"islenska", "is"},  {"italiano", "it"},    {"latviesu", "lv"},  {"lietuviu", "lt"}, {"magyar", "hu"},
        {"malti", "mt"},     {"nederlands", "nl"},  {"norsk", "nb"},     {"polski", "pl"},   {"portugues", "pt"},
        {"romana", "ro"},    {"slovenscina", "sl"}, {"slovensky", "sk"}, {"suomi", "fi"},    {"svenska", "sv"},
    };
    const std::string name = LowerCase(TrimBlanks(language));
    for (const auto& [lang, code] : kCodes) {
        if (name == lang) {
            return std::string(code);
        }
    }
    return {};
}

std::string MessageLines(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c == '|') {
            c = '\n';
        }
    }
    return out;
}

std::string FormatPrice(std::string_view priceText, int index, const TCountry& country)
{
    const int slot = index == 1 ? 1 : 0;
    return FormatDecimals(2, ParseNumber(priceText) * country.Rate[slot]) + " " + country.Currency[slot];
}

} // namespace quillane
