// Symbol addresses from a GNU ld map file (-Map), to name the code an entry point leads to.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pe {

struct MapSymbol {
  std::string name;  // as the linker sees it (the build links with --no-demangle)
  std::uint64_t address;
};

// Lines of the form "<spaces>0x<hex address><spaces><symbol>", the way ld lists the symbols
// of each input section; assignments ("x = .") and section lines are not symbols.
std::vector<MapSymbol> ReadMapSymbols(const std::filesystem::path& path);

std::optional<std::uint64_t> FindSymbol(const std::vector<MapSymbol>& symbols,
                                        const std::string& name);
std::vector<std::string> SymbolsAt(const std::vector<MapSymbol>& symbols, std::uint64_t address);

}  // namespace pe
