// The exe's own function names from its link map, to say where a fault happened.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "map_file.h"

namespace runner {

struct MapSymbolTable {
  std::vector<pe::MapSymbol> symbols;  // sorted by address

  // "_FindLastBackslash+0x1c" for an address at the preferred base, "" when none is below it.
  std::string Name(std::uint64_t address) const;
  // The map beside an exe (Uninstall.exe -> Uninstall.map), or an empty table.
  static MapSymbolTable ReadBeside(const std::filesystem::path& exe);
};

}  // namespace runner
