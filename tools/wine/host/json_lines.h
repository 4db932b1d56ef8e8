// Reads the flat JSON objects of a transcript, one a line: strings, integers and arrays of
// strings, which is all the simulator and orbrun write.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace wine_harness {

struct JsonValue {
  std::string text;                // a string (UTF-8) or the digits of a number
  std::vector<std::string> items;  // an array of strings
};

using JsonObject = std::map<std::string, JsonValue>;

class JsonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every non-blank line of the file as an object. Throws JsonError naming the file and line.
std::vector<JsonObject> ReadJsonLines(const std::string& fileName, const std::string& text);

}  // namespace wine_harness
