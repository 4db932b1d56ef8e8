// pe-inspect FILE.exe [--map FILE.map] [--brief]
//
// Prints what a PE file declares: machine, subsystem and versions, entry point (named from the
// link map when one is given), sections, imported DLLs and functions, and resources with the
// string table's texts and the icons' formats; --brief leaves out the headers' details and the
// resources. Exit status 1 when the file cannot be parsed.
#include <iostream>
#include <string>

#include "map_file.h"
#include "pe_image.h"
#include "report.h"

int main(int argc, char** argv) {
  std::string file, map;
  pe::ReportOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--map" && i + 1 < argc) {
      map = argv[++i];
    } else if (arg == "--brief") {
      options.brief = true;
    } else if (!arg.empty() && arg[0] != '-' && file.empty()) {
      file = arg;
    } else {
      file.clear();
      break;
    }
  }
  if (file.empty()) {
    std::cerr << "usage: pe-inspect FILE.exe [--map FILE.map] [--brief]\n";
    return 2;
  }
  try {
    if (!map.empty()) options.symbols = pe::ReadMapSymbols(map);
    pe::PrintReport(std::cout, pe::Image::Load(file), options);
  } catch (const std::exception& error) {
    std::cerr << "pe-inspect: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
