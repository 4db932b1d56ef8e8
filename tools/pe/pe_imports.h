// The import directory: which DLLs a PE file loads and which functions it takes from each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe_image.h"

namespace pe {

struct ImportedFunction {
  std::string name;           // by name, or "#N" for an import by ordinal
  std::uint32_t slotRva = 0;  // its IAT slot, which the loader fills with the function's address
};

struct ImportedDll {
  std::string name;             // as stored, e.g. "KERNEL32.dll"
  std::uint32_t lookupRva = 0;  // its lookup table; 0 when the names are read from the IAT
  std::uint32_t iatRva = 0;     // its import address table
  std::vector<ImportedFunction> functions;
};

std::vector<ImportedDll> ReadImports(const Image& image);

}  // namespace pe
