#include "json_lines.h"

#include <nlohmann/json.hpp>

namespace wine_harness {
namespace {

using nlohmann::json;

JsonValue ValueOf(const json& value, const std::string& where) {
  JsonValue out;
  if (value.is_string()) {
    out.text = value.get<std::string>();
  } else if (value.is_number_integer()) {
    out.text = value.dump();
  } else if (value.is_array()) {
    for (const json& item : value) {
      if (!item.is_string()) throw JsonError(where + ": an array holds strings only");
      out.items.push_back(item.get<std::string>());
    }
  } else {
    throw JsonError(where + ": expected a string, an integer or an array");
  }
  return out;
}

JsonObject ObjectOf(const std::string& line, const std::string& where) {
  json parsed;
  try {
    parsed = json::parse(line);
  } catch (const json::parse_error& error) {
    throw JsonError(where + ": " + error.what());
  }
  if (!parsed.is_object()) throw JsonError(where + ": expected an object");
  JsonObject object;
  for (const auto& [name, value] : parsed.items()) object[name] = ValueOf(value, where);
  return object;
}

}  // namespace

std::vector<JsonObject> ReadJsonLines(const std::string& fileName, const std::string& text) {
  std::vector<JsonObject> objects;
  std::size_t start = 0;
  int number = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    objects.push_back(ObjectOf(line, fileName + ":" + std::to_string(number)));
  }
  return objects;
}

}  // namespace wine_harness
