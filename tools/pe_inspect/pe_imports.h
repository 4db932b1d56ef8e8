// The import directory: which DLLs a PE file loads and which functions it takes from each.
#pragma once

#include <string>
#include <vector>

#include "pe_image.h"

namespace pe {

struct ImportedDll {
  std::string name;                    // as stored, e.g. "KERNEL32.dll"
  std::vector<std::string> functions;  // by name, or "#N" for an import by ordinal
};

std::vector<ImportedDll> ReadImports(const Image& image);

}  // namespace pe
