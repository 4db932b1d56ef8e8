// The readable report of a PE file that pe-inspect prints.
#pragma once

#include <ostream>
#include <vector>

#include "map_file.h"
#include "pe_image.h"

namespace pe {

struct ReportOptions {
  bool brief = false;              // only size, entry point, sections and imports
  std::vector<MapSymbol> symbols;  // from the link map, to name the entry point; may be empty
};

void PrintReport(std::ostream& out, const Image& image, const ReportOptions& options);

}  // namespace pe
