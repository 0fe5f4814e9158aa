#pragma once

#include <string>

namespace quillane::gui {

// Puts the toolkit's own texts (file and colour dialogs, standard buttons,
// the browser's prompts) into a language file's language, in place of the
// ones loaded before. False when the system holds none for that language:
// they stay English then.
bool useToolkitLanguage(const std::string& language);

} // namespace quillane::gui
