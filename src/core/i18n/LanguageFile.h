#pragma once

#include "core/common/IniFile.h"
#include "core/common/Message.h"
#include "core/settings/Country.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillane {

// One language file of the language folder.
class LanguageFile {
public:
    // Opens languageDir + language + ".lng", or "english.lng" when that
    // file does not exist or cannot be read (not a regular file, beyond
    // kMaxFileSize, no permission); with neither, every lookup gives its
    // default.
    LanguageFile(const std::string& languageDir, const std::string& language);

    bool IsOpen() const { return ini_ != nullptr; }
    const std::string& Path() const { return path_; }

    // A key "Section|Key" (the "|" not in first place) names its own section.
    std::string GetTranslation(std::string_view section, std::string_view key, std::string_view def) const;
    // Entries of a section in file order.
    std::vector<std::pair<std::string, std::string>> SectionValues(std::string_view section) const;

private:
    std::string path_;
    std::unique_ptr<IniFile> ini_;
};

// Entries of TextTables::MsgBoxTexts that the program picks by number.
namespace msgbox {
inline constexpr std::size_t kDialUp = 0;
inline constexpr std::size_t kSaveChanges = 4;
inline constexpr std::size_t kOrderNoTaken = 7;
inline constexpr std::size_t kMergeGroups = 13;
inline constexpr std::size_t kRecover = 15;
inline constexpr std::size_t kCompleteSettings = 20;
inline constexpr std::size_t kOrderQueued = 21; // "[DATE]" is the order's queue value
inline constexpr std::size_t kDeleteOrder = 22; // asked before an order is deleted
inline constexpr std::size_t kEnterInvoiceNumber = 23;
inline constexpr std::size_t kOrdersFetched = 24;
} // namespace msgbox

// Entries of TextTables::StatusTexts.
namespace status {
inline constexpr std::size_t kReady = 0;
inline constexpr std::size_t kEnterCreatesGroup = 1;
inline constexpr std::size_t kDoubleClickToEdit = 2;
inline constexpr std::size_t kChangeAndReplace = 3;
inline constexpr std::size_t kShopCreated = 4;
inline constexpr std::size_t kItems = 6;
} // namespace status

// The message, status and other text tables that a translation fills.
struct TextTables {
    std::vector<std::string> MsgBoxTexts = std::vector<std::string>(25);
    std::vector<std::string> StatusTexts = std::vector<std::string>(7);
    std::vector<std::string> ComboTexts = std::vector<std::string>(6);
    std::vector<std::string> EbayTexts = std::vector<std::string>(4);
    std::vector<std::string> PriceCaptions = std::vector<std::string>(2);
    std::vector<std::string> OrderTextParts;
    std::vector<std::string> ConfirmTextParts;
    // The captions of the message boxes' buttons (section Buttons).
    std::string ButtonYes = "Yes";
    std::string ButtonNo = "No";
    std::string ButtonOk = "OK";
    std::string ButtonCancel = "Cancel";
    // Messages and captions named by key rather than number (section Notices).
    std::map<std::string, std::string, std::less<>> Notices;

    // The texts of the core's messages by key name (section Messages).
    std::map<std::string, std::string, std::less<>> Messages;

    // The notice of that key, or def when the language file has none.
    std::string Notice(std::string_view key, std::string_view def) const;
    // The message in this language, in English where the file lacks it.
    std::string Say(const Message& message) const;
};

TextTables LoadTextTables(const LanguageFile& file);

// The two-letter code of a language file's language ("deutsch" gives "de"),
// for the toolkit's own translations; empty for a language it does not know.
std::string LanguageCode(std::string_view language);

// A message text with "|" turned into line breaks.
std::string MessageLines(std::string_view text);

// The stored euro price shown in currency slot index of the country:
// "24.45 DM".
std::string FormatPrice(std::string_view priceText, int index, const TCountry& country);

} // namespace quillane
