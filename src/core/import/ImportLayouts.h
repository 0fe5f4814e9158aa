#pragma once

#include "core/import/ImportChoices.h"
#include "core/import/ImportGrid.h"

#include <optional>
#include <string>

namespace quillane {

// The column choices of earlier imports, one per file layout, kept in the
// program folder: a file whose first row holds the same texts as an
// earlier file's gets the columns chosen then.
std::string ImportLayoutsPath(const std::string& programDir);

// The columns last remembered for the layout of this grid, if any.
std::optional<ImportColumns> RecallColumns(const std::string& programDir, const ImportGrid& grid);

// Remembers the columns for the layout of this grid (nothing for an empty
// grid). Throws Error when the file cannot be written.
void RememberColumns(const std::string& programDir, const ImportGrid& grid, const ImportColumns& columns);

} // namespace quillane
