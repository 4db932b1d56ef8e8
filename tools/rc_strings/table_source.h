// Writes the emulator's string table (emu::kStringTable, see string_table.h) as C++ source.
#pragma once

#include <string>
#include <vector>

#include "string_script.h"

namespace rcstrings {

std::string TableSource(const std::vector<StringEntry>& entries, const std::string& scriptName);

// A C++ string literal holding exactly `bytes`; a long text is split after each line feed.
std::string CppLiteral(const std::string& bytes);

}  // namespace rcstrings
