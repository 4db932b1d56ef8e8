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

// One input section the linker placed in an output section: with -ffunction-sections each
// function has its own (".text$Name" from GCC for PE), so the code ranges are the functions.
struct MapInputSection {
  std::string name;  // ".text$_Z17FindLastBackslashPKc", ".text" of a library member, ...
  std::uint64_t address;
  std::uint64_t size;
  std::string object;  // the object file or archive member it came from
};

// The input sections of `outputSection` whose names start with `prefix` (".text" for code),
// in address order, empty ones left out. ld writes "<space>name<spaces>0xADDR<spaces>0xSIZE
// object", or the name alone when it is long and the rest on the next line.
std::vector<MapInputSection> ReadMapInputSections(const std::filesystem::path& path,
                                                  const std::string& outputSection,
                                                  const std::string& prefix);

}  // namespace pe
