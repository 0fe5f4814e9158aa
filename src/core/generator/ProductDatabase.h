#pragma once

#include "core/generator/Generation.h"

#include <string>

namespace quillane {

// Writes the item's description script in every run language; returns
// "1" when a description text exists in any of them, else "0".
std::string CreateDescription(const GenerationRun& run, const std::string& itemKey);

// handled / total as a whole percentage, halves rounded to even.
int ProgressPercent(long long handled, long long total);

} // namespace quillane
