// The text of a .reg file, as regedit writes it: the one writer of it for the machine image
// writer on the host and the registry dump that runs inside Wine. Header-only standard C++,
// so that both compilers take it as it is. Text is UTF-8; the caller encodes the whole file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace machine_image {

// The two header lines regedit writes: ANSI text, and the Unicode format of Windows 2000 on.
inline constexpr const char* kRegedit4 = "REGEDIT4";
inline constexpr const char* kRegedit5 = "Windows Registry Editor Version 5.00";

// The header and the blank line after it.
inline std::string RegFileHead(std::string_view header) {
  return std::string(header) + "\r\n\r\n";
}

inline std::string RegSectionLine(std::string_view path) {
  // Built piece by piece: GCC 12 warns falsely (-Wrestrict) on "[" + string + "]".
  std::string line = "[";
  line += path;
  return line += "]\r\n";
}

inline std::string RegQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

// A REG_SZ can be written as "..." and read back the same when its data is one line of text
// with one terminator, at the end; anything else keeps its bytes as hex(1).
inline bool IsPlainRegString(std::string_view textWithTerminator) {
  if (textWithTerminator.empty() || textWithTerminator.back() != '\0') return false;
  for (std::size_t i = 0; i + 1 < textWithTerminator.size(); ++i) {
    if (static_cast<unsigned char>(textWithTerminator[i]) < 0x20) return false;
  }
  return true;
}

// One value's line, continued over more when its hex is long. `text` is a REG_SZ's data read
// as text, terminator included ("" when it cannot be read so); `bytes` is the data as the
// file's hex carries it (a string type already in the file's encoding).
inline std::string RegValueLines(std::string_view name, std::uint32_t type, std::string_view text,
                                 std::string_view bytes) {
  constexpr std::size_t kWrapColumn = 76;  // regedit keeps hex lines within 80 columns
  std::string line = (name.empty() ? "@" : RegQuoted(name)) + "=";
  if (type == 1 && IsPlainRegString(text)) {  // REG_SZ
    return line + RegQuoted(text.substr(0, text.size() - 1)) + "\r\n";
  }
  char number[16];
  if (type == 4 && bytes.size() == 4) {  // REG_DWORD, little-endian
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[i]);
    std::snprintf(number, sizeof number, "%08lx", static_cast<unsigned long>(value));
    return line + "dword:" + number + "\r\n";
  }
  std::snprintf(number, sizeof number, "hex(%lx):", static_cast<unsigned long>(type));
  line += type == 3 ? "hex:" : number;  // REG_BINARY is plain hex
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char item[4];
    std::snprintf(item, sizeof item, "%02x%s", static_cast<unsigned char>(bytes[i]),
                  i + 1 < bytes.size() ? "," : "");
    if (line.size() + std::string_view(item).size() > kWrapColumn) {
      out += line + "\\\r\n";
      line = "  ";
    }
    line += item;
  }
  return out + line + "\r\n";
}

}  // namespace machine_image
