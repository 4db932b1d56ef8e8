// Reads the string table of a resource script: the STRINGTABLE blocks, the LANGUAGE statements
// and the #include'd headers whose #define's name the string IDs. Anything else in the script is
// refused, so that what this reader accepts is what the resource compiler builds.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "script_error.h"

namespace rcstrings {

struct StringEntry {
  unsigned id;
  std::string text;  // the bytes LoadStringA returns (ASCII)
  Location where;
};

struct StringScript {
  std::vector<StringEntry> entries;              // in ascending ID order
  std::vector<std::filesystem::path> filesRead;  // the script and every header it included
};

// Quoted includes are looked up next to the including file, then in includeDirs, as the
// preprocessor does. Throws ScriptError.
StringScript ReadStringScript(const std::filesystem::path& script,
                              const std::vector<std::filesystem::path>& includeDirs);

}  // namespace rcstrings
