#include "map_file.h"

#include <algorithm>
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

namespace {

std::optional<std::uint64_t> ParseHex(const std::string& text) {
  if (text.size() < 3 || text.compare(0, 2, "0x") != 0) return std::nullopt;
  try {
    std::size_t used = 0;
    const std::uint64_t value = std::stoull(text.substr(2), &used, 16);
    if (used == text.size() - 2) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

}  // namespace

std::vector<MapInputSection> ReadMapInputSections(const std::filesystem::path& path,
                                                  const std::string& outputSection,
                                                  const std::string& prefix) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error(path.string() + ": cannot be read");
  std::vector<MapInputSection> sections;
  std::string line, current, pending;
  bool inLayout = false;  // the discarded sections listed before the layout are not placed
  while (std::getline(in, line)) {
    if (!inLayout) {
      inLayout = line.rfind("Linker script and memory map", 0) == 0;
      continue;
    }
    if (line.empty()) continue;
    std::istringstream fields(line);
    if (line[0] != ' ') {  // an output section (or LOAD, /DISCARD/): what follows belongs to it
      fields >> current;
      pending.clear();
      continue;
    }
    std::string name, address, size;
    const bool continuation = line.size() > 1 && line[1] == ' ';
    if (continuation) {
      if (pending.empty()) continue;  // a symbol, an assignment or a script line
      name = pending;
    } else if (!(fields >> name) || name[0] == '*') {
      continue;  // a script line echoed ("*(.text)") or a fill
    }
    pending.clear();
    if (!(fields >> address)) {
      pending = name;  // long name: the address and size follow on the next line
      continue;
    }
    fields >> size;
    std::string object;
    std::getline(fields >> std::ws, object);
    const auto at = ParseHex(address), bytes = ParseHex(size);
    if (!at || !bytes) continue;
    if (current != outputSection || name.rfind(prefix, 0) != 0 || *bytes == 0) continue;
    sections.push_back({name, *at, *bytes, object});
  }
  std::sort(
      sections.begin(), sections.end(),
      [](const MapInputSection& a, const MapInputSection& b) { return a.address < b.address; });
  return sections;
}

}  // namespace pe
