#include "table_source.h"

#include <cstdio>

namespace rcstrings {

std::string CppLiteral(const std::string& bytes) {
  std::string out = "\"";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
      if (i + 1 < bytes.size()) out += "\"\n        \"";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      // Always three octal digits, so a following digit cannot join the escape.
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\%03o", c);
      out += escape;
    }
  }
  return out + "\"";
}

std::string TableSource(const std::vector<StringEntry>& entries, const std::string& scriptName) {
  std::string out;
  out += "// Generated from " + scriptName + " by rc_strings at build time. Do not edit.\n";
  out += "#include \"string_table.h\"\n\n";
  out += "namespace emu {\n\n";
  out += "const StringResource kStringTable[] = {\n";
  for (const StringEntry& entry : entries) {
    out += "    {" + std::to_string(entry.id) + ",\n        " + CppLiteral(entry.text) + "},\n";
  }
  if (entries.empty())
    out += "    {0, nullptr},  // no strings: a placeholder, excluded by the size\n";
  out += "};\n\n";
  out += "const std::size_t kStringTableSize = " + std::to_string(entries.size()) + ";\n\n";
  out += "}  // namespace emu\n";
  return out;
}

}  // namespace rcstrings
