#include "map_file.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pe {

std::vector<MapSymbol> ReadMapSymbols(const std::filesystem::path& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error(path.string() + ": cannot be read");
  std::vector<MapSymbol> symbols;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || (line[0] != ' ' && line[0] != '\t')) continue;
    std::istringstream fields(line);
    std::string address, name, rest;
    if (!(fields >> address >> name) || (fields >> rest)) continue;
    if (address.size() < 3 || address.compare(0, 2, "0x") != 0) continue;
    if (name.find_first_of("=()") != std::string::npos) continue;
    try {
      std::size_t used = 0;
      const std::uint64_t value = std::stoull(address.substr(2), &used, 16);
      if (used == address.size() - 2) symbols.push_back({name, value});
    } catch (const std::exception&) {
      // not an address: some other two-field line
    }
  }
  return symbols;
}

std::optional<std::uint64_t> FindSymbol(const std::vector<MapSymbol>& symbols,
                                        const std::string& name) {
  for (const MapSymbol& s : symbols) {
    if (s.name == name) return s.address;
  }
  return std::nullopt;
}

std::vector<std::string> SymbolsAt(const std::vector<MapSymbol>& symbols, std::uint64_t address) {
  std::vector<std::string> names;
  for (const MapSymbol& s : symbols) {
    if (s.address == address) names.push_back(s.name);
  }
  return names;
}

}  // namespace pe
