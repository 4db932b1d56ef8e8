#include "encoding.h"

#include <array>
#include <cstdint>

namespace machine_image {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; the rest of the code page is Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t AnsiToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

char CodePointToAnsi(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at pos and advances past it; a malformed, overlong or surrogate
// sequence gives U+FFFD and advances one byte.
char32_t NextUtf8(std::string_view s, std::size_t& pos, bool& valid) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  valid = true;
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int length = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  }
  if (length == 0 || pos + length > s.size()) {
    valid = false;
    ++pos;
    return kReplacement;
  }
  for (int i = 1; i < length; ++i) {
    const unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      valid = false;
      ++pos;
      return kReplacement;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    valid = false;
    ++pos;
    return kReplacement;
  }
  pos += length;
  return cp;
}

template <typename Sink>
void ForEachUtf16le(std::string_view bytes, Sink sink) {
  const auto unit = [&](std::size_t i) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  };
  const std::size_t end = bytes.size() & ~std::size_t{1};
  for (std::size_t i = 0; i < end; i += 2) {
    const char16_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 2 < end) {
      const char16_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        sink(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    sink(u >= 0xD800 && u <= 0xDFFF ? kReplacement : static_cast<char32_t>(u));
  }
}

void AppendUtf16le(std::string& out, char32_t cp) {
  const auto put = [&](char16_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  if (cp >= 0x10000) {
    cp -= 0x10000;
    put(static_cast<char16_t>(0xD800 + (cp >> 10)));
    put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    put(static_cast<char16_t>(cp));
  }
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (const char c : ansi) AppendUtf8(out, AnsiToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    bool valid = true;
    out += CodePointToAnsi(NextUtf8(utf8, pos, valid));
  }
  return out;
}

std::string Utf16leToUtf8(std::string_view bytes) {
  std::string out;
  ForEachUtf16le(bytes, [&](char32_t cp) { AppendUtf8(out, cp); });
  return out;
}

std::string Utf8ToUtf16le(std::string_view utf8) {
  std::string out;
  for (std::size_t pos = 0; pos < utf8.size();) {
    bool valid = true;
    AppendUtf16le(out, NextUtf8(utf8, pos, valid));
  }
  return out;
}

std::string Utf16leToAnsi(std::string_view bytes) {
  std::string out;
  ForEachUtf16le(bytes, [&](char32_t cp) { out += CodePointToAnsi(cp); });
  return out;
}

std::string AnsiToUtf16le(std::string_view ansi) {
  std::string out;
  for (const char c : ansi) AppendUtf16le(out, AnsiToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    bool valid = true;
    NextUtf8(bytes, pos, valid);
    if (!valid) return false;
  }
  return true;
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
