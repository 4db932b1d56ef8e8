#include "symbol_names.h"

#include <algorithm>
#include <cstdio>

namespace runner {

std::string MapSymbolTable::Name(std::uint64_t address) const {
  auto after = std::upper_bound(
      symbols.begin(), symbols.end(), address,
      [](std::uint64_t value, const pe::MapSymbol& symbol) { return value < symbol.address; });
  if (after == symbols.begin()) return "";
  const pe::MapSymbol& symbol = *std::prev(after);
  char offset[24];
  std::snprintf(offset, sizeof offset, "+0x%llx",
                static_cast<unsigned long long>(address - symbol.address));
  return symbol.name + offset;
}

MapSymbolTable MapSymbolTable::ReadBeside(const std::filesystem::path& exe) {
  MapSymbolTable table;
  std::filesystem::path map = exe;
  map.replace_extension(".map");
  std::error_code error;
  if (!std::filesystem::exists(map, error)) return table;
  try {
    table.symbols = pe::ReadMapSymbols(map);
  } catch (const std::exception&) {
    return table;  // names only help a report; a map that cannot be read gives none
  }
  std::sort(table.symbols.begin(), table.symbols.end(),
            [](const pe::MapSymbol& a, const pe::MapSymbol& b) { return a.address < b.address; });
  return table;
}

}  // namespace runner
