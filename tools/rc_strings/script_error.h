// A fault in a resource script or a header it includes, named by file and line.
#pragma once

#include <stdexcept>
#include <string>

namespace rcstrings {

struct Location {
  std::string file;
  int line = 0;
};

class ScriptError : public std::runtime_error {
 public:
  ScriptError(const Location& where, const std::string& what)
      : std::runtime_error(where.file + ":" + std::to_string(where.line) + ": " + what) {}
};

}  // namespace rcstrings
