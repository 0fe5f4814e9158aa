#pragma once

#include "TestSupport.h"
#include "core/import/ImportGrid.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace quillane::test {

// Writes a spreadsheet of kind "xls", "xlsx" or "ods" with the helper
// script; cellsJson is the first worksheet as a JSON list of rows (see the
// script). Gives the file's path.
inline std::string writeSpreadsheet(const TempDir& dir, const std::string& kind, const std::string& name,
                                    const std::string& cellsJson)
{
    const std::string json = dir.write(name + ".json", cellsJson);
    const std::string out = dir.file(name);
    const std::string command = std::string("'") + QUILLANE_FIXTURE_PYTHON + "' '" + QUILLANE_SPREADSHEET_SCRIPT +
                                "' " + kind + " '" + out + "' '" + json + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return out;
}

// A grid of rows numbered from 1.
inline ImportGrid makeGrid(const std::vector<std::vector<std::string>>& rows)
{
    ImportGrid grid;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        grid.Rows.push_back(GridRow{i + 1, rows[i]});
    }
    return grid;
}

// The grid as rows of "n: a|b|c" lines, for readable comparisons.
inline std::vector<std::string> gridLines(const ImportGrid& grid)
{
    std::vector<std::string> lines;
    for (const GridRow& row : grid.Rows) {
        std::string line = std::to_string(row.Row) + ":";
        for (std::size_t c = 0; c < row.Cells.size(); ++c) {
            line += (c == 0 ? " " : "|") + row.Cells[c];
        }
        lines.push_back(line);
    }
    return lines;
}

} // namespace quillane::test
