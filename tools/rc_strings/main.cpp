// rc_strings SCRIPT.rc -I DIR ... -o OUT.cpp [--depfile OUT.d]
//
// Turns the string table of a resource script into the emulator's string table, so that the
// host build shows exactly the texts that the resource compiler puts into Uninstall.exe. The
// depfile lists the headers the script included, for the build to rerun when an ID changes.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "string_script.h"
#include "table_source.h"

namespace {

namespace fs = std::filesystem;

// Make syntax: spaces and '#' escaped with a backslash, '$' doubled.
std::string DepfilePath(const fs::path& path) {
  std::string out;
  for (const char c : fs::absolute(path).lexically_normal().string()) {
    if (c == ' ' || c == '#') out += '\\';
    if (c == '$') out += '$';
    out += c;
  }
  return out;
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

int Usage() {
  std::cerr << "usage: rc_strings SCRIPT.rc [-I DIR]... -o OUT.cpp [--depfile OUT.d]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path script, output, depfile;
  std::vector<fs::path> includeDirs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "-I" && hasValue) {
      includeDirs.emplace_back(argv[++i]);
    } else if (arg == "-o" && hasValue) {
      output = argv[++i];
    } else if (arg == "--depfile" && hasValue) {
      depfile = argv[++i];
    } else if (!arg.empty() && arg[0] != '-' && script.empty()) {
      script = arg;
    } else {
      return Usage();
    }
  }
  if (script.empty() || output.empty()) return Usage();

  try {
    const rcstrings::StringScript table = rcstrings::ReadStringScript(script, includeDirs);
    WriteFile(output, rcstrings::TableSource(table.entries, script.filename().string()));
    if (!depfile.empty()) {
      std::string rule = DepfilePath(output) + ":";
      for (const fs::path& read : table.filesRead) rule += " \\\n  " + DepfilePath(read);
      WriteFile(depfile, rule + "\n");
    }
  } catch (const std::exception& error) {
    std::cerr << "rc_strings: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
