#include "encoding.h"

#include "code_page.h"

namespace machine_image {

std::string AnsiToUtf8(std::string_view ansi) {
  return emu::ToMachine(1252, ansi);
}

std::string Utf8ToAnsi(std::string_view utf8) {
  return emu::FromMachine(1252, utf8);
}

std::string Utf16leToUtf8(std::string_view bytes) {
  return emu::Utf16leToUtf8(bytes);
}

std::string Utf8ToUtf16le(std::string_view utf8) {
  return emu::Utf8ToUtf16le(utf8);
}

std::string Utf16leToAnsi(std::string_view bytes) {
  return Utf8ToAnsi(emu::Utf16leToUtf8(bytes));
}

std::string AnsiToUtf16le(std::string_view ansi) {
  return emu::Utf8ToUtf16le(AnsiToUtf8(ansi));
}

bool IsValidUtf8(std::string_view bytes) {
  return emu::IsValidUtf8(bytes);
}

bool DecodeTextFile(std::string_view bytes, DecodedText& out) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    out = {Utf16leToUtf8(bytes.substr(2)), TextEncoding::Utf16le};
    return true;
  }
  if (bytes.find('\0') != std::string_view::npos) return false;
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    out = {std::string(bytes.substr(3)), TextEncoding::Utf8Bom};
    return true;
  }
  if (IsValidUtf8(bytes)) {
    out = {std::string(bytes), TextEncoding::Utf8};
  } else {
    out = {AnsiToUtf8(bytes), TextEncoding::Ansi};
  }
  return true;
}

}  // namespace machine_image
