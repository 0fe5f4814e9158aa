#pragma once

#include <string>
#include <string_view>

// Folders the file dialogs start in, remembered per purpose in section
// Folders of the settings file (Pictures, Invoices ...).
namespace quillane {

// The folder last remembered for purpose, or fallback when none is stored
// or it is gone; the home folder when that is the root or missing too.
std::string RememberedFolder(const std::string& programDir, std::string_view purpose, const std::string& fallback);
// Stores folder for purpose; throws Error when the settings file cannot be written.
void RememberFolder(const std::string& programDir, std::string_view purpose, const std::string& folder);

} // namespace quillane
