#pragma once

#include <string>
#include <vector>

namespace quillane {

// An order number as the name of a file of its own (descriptions, and the
// shop's description scripts and pictures): "/" and "\" become "_", and "."
// or ".." get a "_" in front, so the file never leaves its folder.
std::string ItemFileName(const std::string& orderNo);

// Item descriptions: one text file per item and catalog language,
// DataDir/<language>/<ItemFileName>.txt, lines ended by CR LF.
std::string DescriptionPath(const std::string& dataDir, const std::string& language, const std::string& orderNo);

// The description in the catalog language, else in the country language;
// empty when neither exists.
std::string ReadDescription(const std::string& dataDir, const std::string& catalogLanguage,
                            const std::string& countryLanguage, const std::string& orderNo);

// Writes the text (lines separated by "\n" or CR LF) in the language's
// folder, which is created if needed; an empty text deletes the file.
void WriteDescription(const std::string& dataDir, const std::string& language, const std::string& orderNo,
                      const std::string& text);

// The quantity-discount levels of the shop profile, as "name=quantity/rate".
std::vector<std::string> DiscountLevels(const std::string& dataDir);

// How a level "name=quantity/rate" reads for the merchant: "name: rate %".
// A value without "/" is shown as stored; an empty rate leaves the name alone.
std::string DiscountLevelCaption(const std::string& level);

// Which of count levels an item's discount field ("0:2") ticks. A position
// that is no number or lies beyond the list ticks nothing.
std::vector<bool> TickedLevels(const std::string& field, std::size_t count);
// The discount field for the ticked levels: positions joined by ":".
std::string DiscountField(const std::vector<bool>& ticked);

} // namespace quillane
