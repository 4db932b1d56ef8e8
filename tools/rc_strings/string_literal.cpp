#include "string_literal.h"

namespace rcstrings {

std::string DecodeLiteral(const std::string& literal, const Location& where) {
  if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') {
    throw ScriptError(where, "expected a string literal, found " + literal);
  }
  std::string bytes;
  const std::size_t end = literal.size() - 1;
  for (std::size_t i = 1; i < end; ++i) {
    const unsigned char c = static_cast<unsigned char>(literal[i]);
    if (c >= 0x80 || (c < 0x20 && c != '\t')) {
      throw ScriptError(where,
                        "string literal holds a byte outside printable ASCII (use an escape)");
    }
    if (c == '"') {
      // LiteralEnd only lets a quote through when it is doubled.
      bytes += '"';
      ++i;
    } else if (c == '\\') {
      const char next = literal[i + 1];
      switch (next) {
        case 'n':
          bytes += '\n';
          break;
        case 't':
          bytes += '\t';
          break;
        case 'r':
          bytes += '\r';
          break;
        case '\\':
          bytes += '\\';
          break;
        case '"':
          throw ScriptError(where,
                            "escape \\\" is not accepted: write a quote inside a literal as \"\"");
        case 'a':
          // Resource compilers turn \a into 0x08, the menu's right-align mark, not C's bell.
          throw ScriptError(where,
                            "escape \\a is not accepted: resource compilers read it as 0x08");
        default:
          throw ScriptError(where, std::string("escape \\") + next + " is not supported");
      }
      ++i;
    } else {
      bytes += static_cast<char>(c);
    }
  }
  return bytes;
}

}  // namespace rcstrings
