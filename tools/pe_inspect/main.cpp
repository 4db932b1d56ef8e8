// pe-inspect FILE.exe [--map FILE.map] [--brief]
//
// Prints what a PE file declares: machine, subsystem and versions, entry point (named from the
// link map when one is given), sections, imported DLLs and functions, and resources with the
// string table's texts and the icons' formats; --brief leaves out the headers' details and the
// resources. Exit status 1 when the file cannot be parsed, 2 on a usage error; --help prints
// the usage line.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "map_file.h"
#include "pe_image.h"
#include "report.h"

constexpr const char* kUsage = "usage: pe-inspect FILE.exe [--map FILE.map] [--brief]\n";

int main(int argc, char** argv) {
  std::string file, map;
  pe::ReportOptions options;
  CLI::App app("pe-inspect");
  app.set_help_flag();
  bool help = false;
  app.add_flag("--help", help);
  app.add_option("FILE", file);
  app.add_option("--map", map);
  app.add_flag("--brief", options.brief);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    std::cerr << "pe-inspect: " << error.what() << "\n" << kUsage;
    return 2;
  }
  if (help) {
    std::cout << kUsage;
    return 0;
  }
  if (file.empty()) {
    std::cerr << kUsage;
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
